#include <tivra/runtime/XPathName.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Pelmora::Tivra::Xfn {

namespace {

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

bool IsDirectory(const char* pszPath)
{
    struct stat st {};
    return stat(pszPath, &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

int FindPathSeparator(const char* pszPath, int nStart, bool bReverse)
{
    if (pszPath == nullptr || nStart < 0) return -1;
    const int n = int(std::strlen(pszPath));
    if (!bReverse) {
        for (int i = nStart; i < n; ++i)
            if (IsSeparator(pszPath[i])) return i;
    } else {
        for (int i = n - 1 - nStart; i >= 0; --i)
            if (IsSeparator(pszPath[i])) return i;
    }
    return -1;
}

XString GetPathFileName(const char* pszPath)
{
    if (pszPath == nullptr) return XString();
    const int n = FindPathSeparator(pszPath, 0, true);
    return XString(pszPath + n + 1);
}

XString GetPathFileTitle(const char* pszPath)
{
    const XString strName = GetPathFileName(pszPath);
    const int n = strName.ReverseFind('.');
    return n < 0 ? strName : strName.Left(n);
}

XString GetPathVolumeRoot(const char* pszPath)
{
    // Every directory lies on one tree here; the volume that holds a name is
    // the file system of its nearest existing directory, walking up.
    XString strDir = pszPath != nullptr ? pszPath : "";
    while (!strDir.IsEmpty() && !IsDirectory(strDir)) {
        const int n = FindPathSeparator(strDir, 0, true);
        if (n <= 0) return n == 0 ? XString("/") : XString(".");
        strDir = strDir.Left(n);
    }
    return strDir.IsEmpty() ? XString(".") : strDir;
}

bool RemoveDirectory(const char* pszPath) { return pszPath != nullptr && rmdir(pszPath) == 0; }

bool CreateDirectories(const char* pszPath)
{
    if (pszPath == nullptr || *pszPath == '\0') return false;
    // Each level in turn, from the root down; a level that exists already
    // (made by another process meanwhile, too) is fine.
    // Only '/' separates levels here: a backslash is an ordinary character
    // of a file name on this system.
    const XString strPath(pszPath);
    for (int i = strPath.Find('/', 1); i >= 0; i = strPath.Find('/', i + 1)) {
        const XString strLevel = strPath.Left(i);
        if (mkdir(strLevel, 0777) != 0 && errno != EEXIST) return false;
    }
    if (mkdir(strPath, 0777) != 0 && errno != EEXIST) return false;
    return IsDirectory(strPath);
}

} // namespace Pelmora::Tivra::Xfn
