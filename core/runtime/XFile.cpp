#include <tivra/runtime/XFile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <tivra/env/XGlobal.h>
#include <tivra/runtime/XPathName.h>

namespace Pelmora::Tivra {

XIMPLEMENT_DYNAMIC(XFile, XObject)

namespace {

// ---- sharing markers --------------------------------------------------------------
//
// Four bytes at the top of the offset range, far beyond any data: an open
// file holds a shared lock on each byte that describes it, and an open
// checks the bytes that concern it for locks of other open files. All
// marker locks are shared, so holding them never fails; a probe for an
// exclusive lock finds any holder.

constexpr off_t kMarkerBase = INT64_MAX - 3;
enum Marker : off_t { kReading = 0, kWriting = 1, kDenyingRead = 2, kDenyingWrite = 3 };

bool HoldMarker(int hFile, Marker nMarker)
{
    struct flock fl {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kMarkerBase + nMarker;
    fl.l_len = 1;
    return fcntl(hFile, F_OFD_SETLK, &fl) == 0;
}

/// True when another open file holds the marker.
bool MarkerHeld(int hFile, Marker nMarker)
{
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kMarkerBase + nMarker;
    fl.l_len = 1;
    return fcntl(hFile, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

/// What an open asks for and what it leaves to others.
struct XShare {
    bool bRead, bWrite;            // access
    bool bShareRead, bShareWrite;  // what others may do
};

XShare TranslateShare(uint32_t nFlags)
{
    const uint32_t nAccess = nFlags & 0x3;
    XShare share{};
    share.bRead = nAccess == XFile::modeRead || nAccess == XFile::modeReadWrite;
    share.bWrite = nAccess == XFile::modeWrite || nAccess == XFile::modeReadWrite;
    switch (nFlags & 0x70) {
    case XFile::shareRead: share.bShareRead = true; break;
    case XFile::shareWrite: share.bShareWrite = true; break;
    case XFile::shareReadWrite: share.bShareRead = share.bShareWrite = true; break;
    default: break;  // 0x00, 0x10 and the values beyond 0x40: no sharing
    }
    return share;
}

/// Announces the open through hMarks, the descriptor holding its markers,
/// and checks it against the other open files. False on a conflict. Without
/// a marker descriptor (hMarks null) the open checks through hFile only.
bool ClaimShare(int hFile, int hMarks, const XShare& share)
{
    if (hMarks != XFile::hFileNull) {
        // Announced before checking, so that of two opens racing each other
        // at least one sees the other (both may fail, neither wrongly
        // succeeds).
        if (share.bRead) HoldMarker(hMarks, kReading);
        if (share.bWrite) HoldMarker(hMarks, kWriting);
        if (!share.bShareRead) HoldMarker(hMarks, kDenyingRead);
        if (!share.bShareWrite) HoldMarker(hMarks, kDenyingWrite);
    }
    // The probe goes through the holder, whose own markers do not count.
    if (hMarks != XFile::hFileNull) hFile = hMarks;
    return !((share.bRead && MarkerHeld(hFile, kDenyingRead)) || (share.bWrite && MarkerHeld(hFile, kDenyingWrite)) ||
             (!share.bShareRead && MarkerHeld(hFile, kReading)) ||
             (!share.bShareWrite && MarkerHeld(hFile, kWriting)));
}

// ---- status -----------------------------------------------------------------------

uint8_t Attributes(uint32_t nMode, const char* pszName)
{
    uint8_t nAttr = 0;
    if (S_ISDIR(nMode)) nAttr |= XFILE_ATTRIBUTE_DIRECTORY;
    if (S_ISREG(nMode)) nAttr |= XFILE_ATTRIBUTE_ARCHIVE;
    if ((nMode & S_IWUSR) == 0) nAttr |= XFILE_ATTRIBUTE_READONLY;
    const XString strName = Xfn::GetPathFileName(pszName);
    if (strName.GetLength() > 0 && strName[0] == '.' && strName != "." && strName != "..")
        nAttr |= XFILE_ATTRIBUTE_HIDDEN;
    return nAttr != 0 ? nAttr : uint8_t(XFILE_ATTRIBUTE_NORMAL);
}

/// Fills times, size and attributes from a statx record.
void FillStatus(const struct statx& stx, const char* pszName, XFileStatus& rStatus)
{
    const bool bBirth = (stx.stx_mask & STATX_BTIME) != 0 && stx.stx_btime.tv_sec != 0;
    rStatus.m_ctime = XTime(bBirth ? stx.stx_btime.tv_sec : stx.stx_ctime.tv_sec);
    rStatus.m_mtime = XTime(stx.stx_mtime.tv_sec);
    rStatus.m_atime = XTime(stx.stx_atime.tv_sec);
    rStatus.m_size = stx.stx_size;
    rStatus.m_attribute = pszName != nullptr && *pszName != '\0' ? Attributes(stx.stx_mode, pszName) : 0;
    // An unset creation or access time reads as the modification time.
    if (rStatus.m_ctime.GetTime() == 0) rStatus.m_ctime = rStatus.m_mtime;
    if (rStatus.m_atime.GetTime() == 0) rStatus.m_atime = rStatus.m_mtime;
}

/// Copies at most XMAX_PATH - 1 bytes and the terminator.
void CopyPath(char* pszOut, const char* pszIn)
{
    std::snprintf(pszOut, XMAX_PATH, "%s", pszIn != nullptr ? pszIn : "");
}

/// The absolute form of a path with "." and ".." resolved on its text; empty
/// when the current directory cannot be read.
XString AbsolutePath(const char* pszName)
{
    XString strIn(pszName);
    if (strIn.GetLength() == 0 || strIn[0] != '/') {
        char aCwd[PATH_MAX + 1];
        if (getcwd(aCwd, sizeof aCwd) == nullptr) return XString();
        strIn = XString(aCwd) + "/" + strIn;
    }
    // Levels are separated by '/' only: a backslash is part of a file name
    // on this system.
    XString strOut;
    int nFirst = 1;
    const int nLength = strIn.GetLength();
    while (nFirst <= nLength) {
        int nEnd = strIn.Find('/', nFirst);
        if (nEnd < 0) nEnd = nLength;
        const XString strLevel = strIn.Mid(nFirst, nEnd - nFirst);
        if (strLevel == "..") {
            const int nCut = strOut.ReverseFind('/');
            strOut = strOut.Left(nCut < 0 ? 0 : nCut);
        } else if (strLevel.GetLength() > 0 && strLevel != ".") {
            strOut += '/';
            strOut += strLevel;
        }
        nFirst = nEnd + 1;
    }
    if (strOut.IsEmpty() || (nLength > 1 && strIn[nLength - 1] == '/')) strOut += '/';
    return strOut;
}

} // namespace

// ---- construction -----------------------------------------------------------------------

XFile::XFile()
    : m_hFile(hFileNull), m_bCloseOnDelete(false), m_bRemote(false), m_hRemote(nullptr), m_pGlobal(nullptr),
      m_hShareMarks(hFileNull)
{
}

XFile::XFile(const char* pszFileName, uint32_t nOpenFlags) : XFile()
{
    XFileException e;
    if (!Open(pszFileName, nOpenFlags, &e)) throw XFileException(e.m_cause, XString(), e.m_lOsError);
}

XFile::~XFile()
{
    const bool bOpen = m_hFile != hFileNull || (m_bRemote && m_hRemote != nullptr);
    if (bOpen && m_bCloseOnDelete) XFile::Close();
}

void XFile::ThrowErrno(int nErrno) const { XFileException::ThrowErrno(nErrno, m_strFileName); }

void XFile::ThrowAccessErrno(int nErrno) const
{
    // An open descriptor refuses a read or write it was not opened for with
    // EBADF: for the caller, access is denied.
    if (nErrno == EBADF && m_hFile != hFileNull)
        throw XFileException(XFileException::accessDenied, m_strFileName, nErrno);
    ThrowErrno(nErrno);
}

// ---- open and close --------------------------------------------------------------------------

bool XFile::Open(const char* pszFileName, uint32_t nOpenFlags, XFileException* pError)
{
    m_bCloseOnDelete = false;
    m_hFile = hFileNull;
    m_hShareMarks = hFileNull;
    nOpenFlags &= ~uint32_t(modeIgnored);
    m_strFileName.Empty();

    m_strFileName = pszFileName;
    m_bRemote = std::strncmp(m_strFileName, "rfsp", 4) == 0;
    return m_bRemote ? OpenRemote(nOpenFlags, pError) : OpenLocal(pszFileName, nOpenFlags, pError);
}

bool XFile::OpenLocal(const char* pszFileName, uint32_t nOpenFlags, XFileException* pError)
{
    const XShare share = TranslateShare(nOpenFlags);
    const bool bAccess = share.bRead || share.bWrite;
    int nFlags = !bAccess ? O_PATH : share.bWrite ? (share.bRead ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (nOpenFlags & modeNoInherit) nFlags |= O_CLOEXEC;
    if (nOpenFlags & modeCreate) nFlags |= O_CREAT;
    // Truncation waits until the sharing check has passed, so that an open
    // refused for sharing leaves the content alone.
    const bool bTruncate = (nOpenFlags & modeCreate) && !(nOpenFlags & modeKeepContent);

    auto fail = [&](int nErrno, int hFile) {
        if (hFile != hFileNull) close(hFile);
        if (m_hShareMarks != hFileNull) close(m_hShareMarks);
        m_hShareMarks = hFileNull;
        if (pError != nullptr) {
            pError->m_cause = Xfn::FileCauseFromErrno(nErrno);
            pError->m_lOsError = nErrno;
        }
        return false;
    };

    // A descriptor without access cannot create: the file is made first by
    // an exclusive create, which leaves an existing file alone.
    if (!bAccess && (nOpenFlags & modeCreate)) {
        const int hNew = open(pszFileName != nullptr ? pszFileName : "", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (hNew < 0 && errno != EEXIST) return fail(errno, hFileNull);
        if (hNew >= 0) close(hNew);
    }
    const int hFile = open(pszFileName != nullptr ? pszFileName : "", nFlags, 0666);
    if (hFile < 0) return fail(errno, hFileNull);
    struct stat st {};
    if (fstat(hFile, &st) != 0) return fail(errno, hFile);
    // A directory opens on this system but is no file to read or write.
    if (S_ISDIR(st.st_mode)) return fail(EISDIR, hFile);

    if (bAccess) {
        // A write-only descriptor cannot hold shared locks; a second,
        // read-only one holds its markers where the file can be read.
        int hMarks = hFile;
        if (!share.bRead) hMarks = m_hShareMarks = open(pszFileName, O_RDONLY | O_CLOEXEC);
        if (!ClaimShare(hFile, hMarks, share)) return fail(EBUSY, hFile);
    }
    if (bTruncate) {
        const int r = share.bWrite ? ftruncate(hFile, 0) : truncate(pszFileName, 0);
        if (r != 0) return fail(errno, hFile);
    }
    if (bAccess) posix_fadvise(hFile, 0, 0, POSIX_FADV_SEQUENTIAL);

    m_hFile = hFile;
    m_bCloseOnDelete = true;
    return true;
}

bool XFile::OpenRemote(uint32_t nOpenFlags, XFileException* pError)
{
    m_pGlobal = Xfn::GetGlobal();
    if (m_pGlobal == nullptr) {
        if (pError != nullptr) pError->m_cause = XFileException::rfTivraGlobalNotInited;
        return false;
    }
    for (int i = XREMOTE_OPEN; i <= XREMOTE_GETPOSITION; ++i) {
        if (m_pGlobal->m_pReserved[i] == nullptr) {
            if (pError != nullptr) pError->m_cause = XFileException::rfTivransGlobalNotInited;
            return false;
        }
    }
    // Only the write bit decides: read-and-write (2) opens for reading.
    const XString strMode = (nOpenFlags & modeWrite) ? "wb+" : "rb";
    void* h = reinterpret_cast<XRemoteOpenFn>(RemoteEntry(XREMOTE_OPEN))(m_strFileName, strMode, 0);
    if (h == nullptr) return false;
    m_hRemote = h;
    m_bCloseOnDelete = true;
    return true;
}

void* XFile::RemoteEntry(XRemoteEntry nEntry) const
{
    return m_pGlobal != nullptr ? m_pGlobal->m_pReserved[nEntry] : nullptr;
}

void XFile::CloseLocal()
{
    if (m_hFile != hFileNull) close(m_hFile);  // nothing to do about a failure
    if (m_hShareMarks != hFileNull) close(m_hShareMarks);
    m_hFile = hFileNull;
    m_hShareMarks = hFileNull;
}

void XFile::Close()
{
    if (m_bRemote && m_hRemote != nullptr) {
        auto pfn = reinterpret_cast<XRemoteCloseFn>(RemoteEntry(XREMOTE_CLOSE));
        if (pfn == nullptr || !pfn(m_hRemote, 0)) return;  // still open
        m_hRemote = nullptr;
    }
    CloseLocal();
    m_bCloseOnDelete = false;
    m_strFileName.Empty();
}

void XFile::Abort()
{
    // The remote handle is left as it is: the destructor still closes it.
    CloseLocal();
    m_strFileName.Empty();
}

XFile* XFile::Duplicate() const
{
    const int hFile = fcntl(m_hFile, F_DUPFD_CLOEXEC, 0);
    if (hFile < 0) ThrowErrno(errno);
    auto* pFile = new XFile;
    pFile->m_hFile = hFile;
    if (m_hShareMarks != hFileNull) pFile->m_hShareMarks = fcntl(m_hShareMarks, F_DUPFD_CLOEXEC, 0);
    pFile->m_strFileName = m_strFileName;
    pFile->m_bCloseOnDelete = true;
    return pFile;
}

// ---- names ---------------------------------------------------------------------------------

XString XFile::GetFilePath() const { return m_strFileName; }

void XFile::SetFilePath(const char* pszNewName) { m_strFileName = pszNewName; }

XString XFile::GetFileName() const
{
    XFileStatus status;
    GetStatus(status);
    return Xfn::GetPathFileName(status.m_szFullName);
}

XString XFile::GetFileTitle() const
{
    XFileStatus status;
    GetStatus(status);
    return Xfn::GetPathFileTitle(status.m_szFullName);
}

// ---- positions and data ------------------------------------------------------------------------

uint64_t XFile::Seek(int64_t lOff, uint32_t nFrom)
{
    if (m_bRemote) {
        auto pfn = reinterpret_cast<XRemoteSeekFn>(RemoteEntry(XREMOTE_SEEK));
        const bool bDone = pfn != nullptr && pfn(m_hRemote, uint32_t(uint64_t(lOff)), int32_t(lOff >> 32), nFrom, 0);
        return bDone ? uint64_t(lOff) : UINT64_MAX;
    }
    const off_t nPos = lseek(m_hFile, lOff, int(nFrom));
    if (nPos < 0) ThrowErrno(errno);
    return uint64_t(nPos);
}

uint64_t XFile::GetPosition() const
{
    if (m_bRemote) {
        auto pfn = reinterpret_cast<XRemoteGetPositionFn>(RemoteEntry(XREMOTE_GETPOSITION));
        return pfn != nullptr ? pfn(m_hRemote, 0) : UINT64_MAX;
    }
    const off_t nPos = lseek(m_hFile, 0, SEEK_CUR);
    if (nPos < 0) ThrowErrno(errno);
    return uint64_t(nPos);
}

uint64_t XFile::GetLength() const
{
    if (m_bRemote) {
        auto pfn = reinterpret_cast<XRemoteGetLengthFn>(RemoteEntry(XREMOTE_GETLENGTH));
        return pfn != nullptr ? pfn(m_hRemote, 0) : UINT64_MAX;
    }
    struct stat st {};
    if (fstat(m_hFile, &st) != 0) ThrowErrno(errno);
    return uint64_t(st.st_size);
}

void XFile::SetLength(uint64_t nNewLen)
{
    // Through the virtual Seek; a remote file then fails at the local
    // handle, which it does not have.
    Seek(int64_t(nNewLen), begin);
    if (ftruncate(m_hFile, off_t(nNewLen)) != 0) ThrowErrno(errno);
}

uint32_t XFile::Read(void* pBuffer, uint32_t nCount)
{
    if (nCount == 0) return 0;
    if (m_bRemote) {
        auto pfn = reinterpret_cast<XRemoteReadFn>(RemoteEntry(XREMOTE_READ));
        return pfn != nullptr && pfn(pBuffer, 1, nCount, m_hRemote, 0) ? nCount : 0;
    }
    // The system may hand over less than asked (a signal, a very large
    // request): read on until the count or the end of the file.
    auto* pb = static_cast<char*>(pBuffer);
    uint32_t nDone = 0;
    while (nDone < nCount) {
        ssize_t r;
        do r = ::read(m_hFile, pb + nDone, nCount - nDone);
        while (r < 0 && errno == EINTR);
        if (r < 0) ThrowAccessErrno(errno);
        if (r == 0) break;  // end of file
        nDone += uint32_t(r);
    }
    return nDone;
}

void XFile::Write(const void* pBuffer, uint32_t nCount)
{
    if (nCount == 0) return;
    if (m_bRemote) {
        XString strMessage;  // the module's text; nothing is reported
        if (auto pfn = reinterpret_cast<XRemoteWriteFn>(RemoteEntry(XREMOTE_WRITE)))
            pfn(pBuffer, 1, nCount, m_hRemote, &strMessage);
        return;
    }
    auto* pb = static_cast<const char*>(pBuffer);
    uint32_t nDone = 0;
    while (nDone < nCount) {
        ssize_t r;
        do r = ::write(m_hFile, pb + nDone, nCount - nDone);
        while (r < 0 && errno == EINTR);
        if (r < 0) ThrowAccessErrno(errno);
        if (r == 0) throw XFileException(XFileException::diskFull, m_strFileName);
        nDone += uint32_t(r);
    }
}

// ---- locks and flushing ----------------------------------------------------------------------------

namespace {

/// Locks or unlocks a byte range; the range is cut below the sharing markers.
int LockBytes(int hFile, short nType, uint64_t nPos, uint64_t nCount)
{
    if (nPos >= uint64_t(kMarkerBase) || nCount == 0) {
        // Nothing to lock; still an error on a descriptor that is no file.
        struct stat st {};
        return fstat(hFile, &st) == 0 ? 0 : errno;
    }
    struct flock fl {};
    fl.l_type = nType;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(nPos);
    fl.l_len = off_t(nCount < uint64_t(kMarkerBase) - nPos ? nCount : uint64_t(kMarkerBase) - nPos);
    if (fcntl(hFile, F_OFD_SETLK, &fl) == 0) return 0;
    // A conflicting lock shows as EAGAIN or EACCES, depending on the system.
    return errno == EACCES ? EAGAIN : errno;
}

} // namespace

void XFile::LockRange(uint64_t nPos, uint64_t nCount)
{
    const int nAccess = m_hFile != hFileNull ? fcntl(m_hFile, F_GETFL) & O_ACCMODE : O_RDONLY;
    const short nType = nAccess == O_RDONLY ? F_RDLCK : F_WRLCK;
    if (const int nErr = LockBytes(m_hFile, nType, nPos, nCount)) ThrowErrno(nErr);
}

void XFile::UnlockRange(uint64_t nPos, uint64_t nCount)
{
    if (const int nErr = LockBytes(m_hFile, F_UNLCK, nPos, nCount)) ThrowErrno(nErr);
}

void XFile::Flush()
{
    if (m_hFile == hFileNull) return;
    if (fsync(m_hFile) != 0) ThrowErrno(errno);
}

uint32_t XFile::GetBufferPtr(uint32_t, uint32_t, void**, void**) { return 0; }

// ---- status ---------------------------------------------------------------------------------------

bool XFile::GetStatus(XFileStatus& rStatus) const
{
    rStatus = XFileStatus{};
    CopyPath(rStatus.m_szFullName, m_strFileName);
    if (m_hFile == hFileNull) return false;
    struct statx stx {};
    if (statx(m_hFile, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) return false;
    FillStatus(stx, m_strFileName, rStatus);
    return true;
}

bool XFile::GetStatus(const char* pszFileName, XFileStatus& rStatus)
{
    rStatus = XFileStatus{};
    if (!FullPath(rStatus.m_szFullName, pszFileName)) return false;
    struct statx stx {};
    if (statx(AT_FDCWD, pszFileName, 0, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) return false;
    FillStatus(stx, pszFileName, rStatus);
    return true;
}

void XFile::SetStatus(const char* pszFileName, const XFileStatus& status)
{
    struct stat st {};
    if (stat(pszFileName, &st) != 0) XFileException::ThrowErrno(errno, pszFileName);
    constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
    const bool bReadOnly = (status.m_attribute & XFILE_ATTRIBUTE_READONLY) != 0;
    // A file to be made writable is made so first, as a read-only file may
    // refuse the other changes.
    if (!bReadOnly && (st.st_mode & S_IWUSR) == 0) {
        st.st_mode |= S_IWUSR;
        if (chmod(pszFileName, st.st_mode & 07777) != 0) XFileException::ThrowErrno(errno, pszFileName);
    }
    timespec aTimes[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};  // access, modification
    if (status.m_atime.GetTime() != 0) aTimes[0] = {time_t(status.m_atime.GetTime()), 0};
    if (status.m_mtime.GetTime() != 0) aTimes[1] = {time_t(status.m_mtime.GetTime()), 0};
    if (utimensat(AT_FDCWD, pszFileName, aTimes, 0) != 0) XFileException::ThrowErrno(errno, pszFileName);
    if (bReadOnly && (st.st_mode & kWriteBits) != 0) {
        if (chmod(pszFileName, st.st_mode & 07777 & ~kWriteBits) != 0) XFileException::ThrowErrno(errno, pszFileName);
    }
}

bool XFile::FullPath(char* pszPathOut, const char* pszFileIn)
{
    const XString strFull = AbsolutePath(pszFileIn);
    if (strFull.IsEmpty() || strFull.GetLength() >= XMAX_PATH) {
        CopyPath(pszPathOut, pszFileIn);
        return false;
    }
    CopyPath(pszPathOut, strFull);
    // Names here keep their case and are stored as the bytes given, so the
    // path needs no case folding nor a look-up of the stored name; only the
    // file system holding it must answer.
    const XString strRoot = Xfn::GetPathVolumeRoot(strFull);
    struct statvfs vfs {};
    if (statvfs(strRoot, &vfs) != 0) {
        Xfn::Trace("Warning: could not get volume information '%s'.\n", static_cast<const char*>(strRoot));
        return false;
    }
    return true;
}

// ---- rename and remove ---------------------------------------------------------------------------

void XFile::Rename(const char* pszOldName, const char* pszNewName)
{
    // A move never replaces a file. Where the file system cannot refuse a
    // replacement itself (EINVAL), the file gets its new name as a second
    // link, which fails when the name exists, and then loses the old one.
    if (renameat2(AT_FDCWD, pszOldName, AT_FDCWD, pszNewName, RENAME_NOREPLACE) == 0) return;
    if (errno != EINVAL) XFileException::ThrowErrno(errno, pszOldName);
    if (link(pszOldName, pszNewName) != 0) XFileException::ThrowErrno(errno, pszOldName);
    if (unlink(pszOldName) != 0) {
        const int nErrno = errno;
        unlink(pszNewName);  // back to the one name it had
        XFileException::ThrowErrno(nErrno, pszOldName);
    }
}

void XFile::Remove(const char* pszFileName)
{
    if (pszFileName != nullptr && std::strncmp(pszFileName, "rfsp://", 7) == 0) {
        const tagTivraGlobal* g = Xfn::GetGlobal();
        if (g != nullptr && g->m_pReserved[XREMOTE_REMOVE] != nullptr)
            reinterpret_cast<XRemoteRemoveFn>(g->m_pReserved[XREMOTE_REMOVE])(pszFileName, 0);
        return;
    }
    if (unlink(pszFileName != nullptr ? pszFileName : "") != 0) XFileException::ThrowErrno(errno, pszFileName);
}

} // namespace Pelmora::Tivra
