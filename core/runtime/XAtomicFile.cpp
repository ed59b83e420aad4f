#include <tivra/runtime/XAtomicFile.h>
#include <tivra/runtime/XException.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace Pelmora::Tivra {

XIMPLEMENT_DYNAMIC(XAtomicFile, XFile)

namespace {

/// Permissions of a new file under the process's mask, read from
/// /proc/self/status: umask() itself would change the mask for every thread
/// while it is read.
mode_t NewFileMode()
{
    mode_t mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char aLine[256];
        while (std::fgets(aLine, sizeof aLine, f) != nullptr) {
            unsigned int u = 0;
            if (std::sscanf(aLine, "Umask: %o", &u) == 1) {
                mask = mode_t(u);
                break;
            }
        }
        std::fclose(f);
    }
    return 0666 & ~mask;
}

/// The directory part of a name, "." for a name without one.
std::string DirectoryOf(const char* pszName)
{
    const char* pSlash = std::strrchr(pszName, '/');
    if (pSlash == nullptr) return ".";
    if (pSlash == pszName) return "/";
    return std::string(pszName, pSlash);
}

} // namespace

XAtomicFile::XAtomicFile() = default;

XAtomicFile::~XAtomicFile() { XAtomicFile::Abort(); }

bool XAtomicFile::Open(const char* pszFileName, uint32_t nOpenFlags, XFileException* pError)
{
    Abort(); // a pending file of an earlier open is given up
    auto fail = [&](int32_t nCause, int nErrno = -1) {
        if (pError != nullptr) *pError = XFileException(nCause, XString(pszFileName), nErrno);
        return false;
    };
    if (pszFileName == nullptr || *pszFileName == '\0') return fail(XFileException::badPath);
    if (std::strncmp(pszFileName, "rfsp", 4) == 0) return fail(XFileException::badPath);

    std::string temp = std::string(pszFileName) + ".XXXXXX";
    const int hTemp = mkstemp(temp.data());
    if (hTemp < 0) return fail(Xfn::FileCauseFromErrno(errno), errno);
    struct stat st {};
    const mode_t mode = stat(pszFileName, &st) == 0 ? (st.st_mode & 07777) : NewFileMode();
    const bool bModeSet = fchmod(hTemp, mode) == 0;
    const int nModeErrno = errno;
    close(hTemp);
    if (!bModeSet) {
        unlink(temp.c_str());
        return fail(Xfn::FileCauseFromErrno(nModeErrno), nModeErrno);
    }

    // At least write access; the temporary file exists, so it is opened as
    // it is rather than created.
    uint32_t nFlags = nOpenFlags & ~uint32_t(modeCreate | modeKeepContent | modeIgnored);
    if ((nFlags & 3) == modeRead || (nFlags & 3) == modeNoAccess) nFlags = (nFlags & ~3u) | modeWrite;
    if (!XFile::Open(temp.c_str(), nFlags, pError)) {
        unlink(temp.c_str());
        if (pError != nullptr) pError->m_strFileName = pszFileName;
        return false;
    }
    m_strTarget = pszFileName;
    m_strTemp = XString(temp.c_str());
    return true;
}

void XAtomicFile::Commit()
{
    if (m_strTarget.IsEmpty()) throw XFileException(XFileException::fileNotFound); // nothing open
    const XString strTemp = m_strTemp;
    try {
        XFile::Flush();
        XFile::Close();
        if (rename(strTemp, m_strTarget) != 0) XFileException::ThrowErrno(errno, strTemp);
    } catch (...) {
        Abort();
        throw;
    }
    m_strTarget.Empty();
    m_strTemp.Empty();

    // The move is an entry of the directory; writing the directory to the
    // device keeps it through a crash. A directory that cannot be opened or
    // synced (some file systems refuse) leaves the move done.
    const int hDir = open(DirectoryOf(strTemp).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (hDir >= 0) {
        fsync(hDir);
        close(hDir);
    }
}

void XAtomicFile::Abort()
{
    XFile::Abort();
    if (!m_strTemp.IsEmpty()) unlink(m_strTemp);
    m_strTarget.Empty();
    m_strTemp.Empty();
}

void XAtomicFile::Close() { Abort(); }

} // namespace Pelmora::Tivra
