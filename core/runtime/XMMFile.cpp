// The window is an mmap of the file descriptor; the system needs no separate
// mapping object, so growth only resizes the file and maps the window again.
#include <tivra/runtime/XMMFile.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

#include <tivra/env/XPaths.h>
#include <tivra/runtime/XFile.h>

#include "platform/XFaultGuard.h"

namespace Pelmora::Tivra {

namespace {

/// How many suffixed names CreateTemp tries after the plain one; each
/// millisecond gives a new plain name, so this only bounds a burst.
constexpr int kTempNameAttempts = 1000;

/// "dir/XMMFileTempDDhhmmssmmm.tmp" with "_n" before the extension.
XString SuffixedName(const XString& strName, int n)
{
    XString strSuffix;
    strSuffix.Format("_%d", n);
    const int dot = strName.ReverseFind('.');
    if (dot < 0) return strName + strSuffix;
    return strName.Left(dot) + strSuffix + strName.Mid(dot);
}

/// a + b in rSum when the sum is a valid file length (at most the largest
/// off_t); false when it is not.
bool FileSum(uint64_t a, uint64_t b, uint64_t& rSum)
{
    return !__builtin_add_overflow(a, b, &rSum) && rSum <= uint64_t(INT64_MAX);
}

/// What the objects of this process that have one file open know about it
/// together: each object keeps its own logical length, so the spare window
/// one object added may hold data another object wrote there.
struct XSharedFile {
    int nOpen = 0;
    /// The largest logical end any of them opened or wrote.
    uint64_t nDataEnd = 0;
    /// The file's length as the last growth through them left it; 0 once
    /// trimmed or when none has grown it.
    uint64_t nLeftAt = 0;
};

/// Files open through XMMFile objects in this process, by device and inode.
struct XSharedFiles {
    std::mutex mutex;
    std::map<std::pair<uint64_t, uint64_t>, XSharedFile> files;
};

XSharedFiles& SharedFiles()
{
    static XSharedFiles s_files;
    return s_files;
}

} // namespace

XMMFile::XMMFile()
    : m_hFile(-1), m_pView(nullptr), m_nFileSize(0), m_nMappedSize(0), m_nPosition(0), m_nViewStart(0),
      m_nViewSize(kGranularity), m_nGranularity(kGranularity), m_nWindowSize(kGranularity), m_nProtect(PROT_READ),
      m_nFlags(0), m_nDevice(0), m_nInode(0)
{
}

XMMFile::~XMMFile()
{
    try {
        Close();
    } catch (...) {
        // A scratch file that cannot be removed stays behind; a destructor
        // cannot report it.
    }
}

bool XMMFile::Fail(const char* pszMessage)
{
    m_strError = pszMessage;
    return false;
}

uint32_t XMMFile::WindowLength(uint64_t nStart) const
{
    return nStart >= m_nFileSize ? 0 : uint32_t(std::min<uint64_t>(m_nWindowSize, m_nFileSize - nStart));
}

bool XMMFile::MapWindow()
{
    m_nViewSize = WindowLength(m_nViewStart);
    if (m_nViewSize == 0) return true;
    void* p = mmap(nullptr, m_nViewSize, m_nProtect, MAP_SHARED, m_hFile, off_t(m_nViewStart));
    if (p == MAP_FAILED) {
        m_pView = nullptr;
        return false;
    }
    m_pView = static_cast<uint8_t*>(p);
    return true;
}

void XMMFile::UnmapWindow()
{
    if (m_pView) munmap(m_pView, m_nViewSize);
    m_pView = nullptr;
}

bool XMMFile::Open(const char* pszFileName, uint32_t nFlags)
{
    Close();
    const bool bWrite = nFlags & (modeReadWrite | modeReadWriteAlt);
    const int hFile = open(pszFileName ? pszFileName : "", (bWrite ? O_RDWR : O_RDONLY) | O_CREAT | O_CLOEXEC, 0666);
    if (hFile < 0) return Fail(kOpenFailed);
    m_strFileName = pszFileName;
    return Attach(hFile, nFlags);
}

bool XMMFile::Attach(int hFile, uint32_t nFlags)
{
    struct stat st {};
    if (fstat(hFile, &st) != 0) {
        close(hFile);
        return Fail(kOpenFailed);
    }
    if (st.st_size == 0) {
        close(hFile);
        return Fail(kZeroByteFile);
    }
    posix_fadvise(hFile, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_hFile = hFile;
    m_nFlags = nFlags;
    m_nProtect = IsWritable() ? PROT_READ | PROT_WRITE : PROT_READ;
    m_nDevice = uint64_t(st.st_dev);
    m_nInode = uint64_t(st.st_ino);
    m_nFileSize = m_nMappedSize = uint64_t(st.st_size);
    {
        XSharedFiles& shared = SharedFiles();
        std::lock_guard<std::mutex> lock(shared.mutex);
        XSharedFile& file = shared.files[{m_nDevice, m_nInode}];
        // A spare window another object added is not part of the content.
        if (file.nOpen > 0 && file.nLeftAt == m_nMappedSize) m_nFileSize = file.nDataEnd;
        file.nDataEnd = std::max(file.nDataEnd, m_nFileSize);
        ++file.nOpen;
    }
    m_nPosition = m_nViewStart = 0;
    if (!MapWindow()) {
        Release();
        return Fail(kMapViewFailed);
    }
    return true;
}

bool XMMFile::Create(const char* pszFileName, uint64_t nSize)
{
    Close();
    if (nSize > uint64_t(INT64_MAX)) return Fail(kTooLarge);
    const int hFile = open(pszFileName ? pszFileName : "", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (hFile < 0) return Fail(kCreateFailed);
    if (ftruncate(hFile, off_t(nSize)) != 0) {
        close(hFile);
        return Fail(kSetEndFailed);
    }
    m_strFileName = pszFileName;
    return Attach(hFile, modeReadWrite);
}

bool XMMFile::CreateTemp(uint64_t nSize)
{
    Close();
    if (nSize > uint64_t(INT64_MAX)) return Fail(kTooLarge);
    const XString strBase = Xfn::MakeTempFileName("XMMFileTemp");
    XString strName = strBase;
    int hFile = -1;
    for (int n = 1; n <= kTempNameAttempts; ++n) {
        hFile = open(strName, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (hFile >= 0 || errno != EEXIST) break;
        strName = SuffixedName(strBase, n);
    }
    if (hFile < 0) return Fail(kCreateFailed);
    // The file is a hole of nSize bytes: no block is written until a page is.
    if (ftruncate(hFile, off_t(nSize)) != 0) {
        close(hFile);
        unlink(strName);
        return Fail(kSetEndFailed);
    }
    m_strFileName = strName;
    m_strTempName = strName;
    if (Attach(hFile, modeReadWrite)) return true;
    const XString strError = m_strError;
    Close();  // removes the scratch file
    m_strError = strError;
    return false;
}

void XMMFile::Release()
{
    UnmapWindow();
    if (m_hFile >= 0) {
        XSharedFiles& shared = SharedFiles();
        std::lock_guard<std::mutex> lock(shared.mutex);
        const auto it = shared.files.find({m_nDevice, m_nInode});
        if (it != shared.files.end() && --it->second.nOpen <= 0) shared.files.erase(it);
        close(m_hFile);
    }
    m_hFile = -1;
    m_nFileSize = m_nMappedSize = m_nPosition = m_nViewStart = 0;
    m_nViewSize = m_nWindowSize;
}

void XMMFile::Close()
{
    if (m_hFile >= 0) {
        // A scratch file is removed below: writing its pages out would be wasted.
        if (m_strTempName.IsEmpty()) Flush();
        UnmapWindow();
        if (IsWritable()) TrimSpare();
    }
    Release();
    m_strFileName.Empty();
    m_nFlags = 0;
    if (!m_strTempName.IsEmpty()) {
        const XString strName = m_strTempName;
        m_strTempName.Empty();
        XFile::Remove(strName);
    }
}

void XMMFile::TrimSpare()
{
    XSharedFiles& shared = SharedFiles();
    std::lock_guard<std::mutex> lock(shared.mutex);
    const auto it = shared.files.find({m_nDevice, m_nInode});
    struct stat st {};
    if (it == shared.files.end() || fstat(m_hFile, &st) != 0) return;
    XSharedFile& file = it->second;
    // Only a spare window growth left at the end of the file is cut, and
    // never below what any object of this process wrote or found there;
    // a file that someone else has resized since is left as it is.
    if (file.nLeftAt != 0 && uint64_t(st.st_size) == file.nLeftAt && file.nDataEnd < file.nLeftAt)
        (void)!ftruncate(m_hFile, off_t(file.nDataEnd));
    file.nLeftAt = 0;
}

bool XMMFile::Seek(uint64_t nPosition)
{
    if (nPosition >= m_nFileSize) return Fail(kSeekOutside);
    if (m_pView && nPosition >= m_nViewStart && nPosition - m_nViewStart < m_nViewSize) {
        m_nPosition = nPosition;
        return true;
    }
    // Inside the file, so the file is open and the new window is not empty.
    UnmapWindow();
    m_nViewStart = nPosition / m_nGranularity * m_nGranularity;
    if (!MapWindow()) return Fail(kMapViewFailed);
    m_nPosition = nPosition;
    return true;
}

uint8_t* XMMFile::GetPointer(uint64_t nPosition, uint32_t& nAvailable)
{
    nAvailable = 0;
    if (!Seek(nPosition) || !m_pView) return nullptr;
    nAvailable = uint32_t(m_nViewStart + m_nViewSize - nPosition);
    return m_pView + (nPosition - m_nViewStart);
}

uint32_t XMMFile::Read(void* pBuffer, uint32_t nCount)
{
    if (nCount == 0 || m_nPosition >= m_nFileSize) return 0;
    const uint32_t nTotal = uint32_t(std::min<uint64_t>(nCount, m_nFileSize - m_nPosition));
    const uint64_t nStartPosition = m_nPosition;
    auto* pOut = static_cast<uint8_t*>(pBuffer);
    uint32_t nDone = 0;
    while (nDone < nTotal) {
        if (!Seek(m_nPosition) || !m_pView) return 0;
        const uint32_t nOffset = uint32_t(m_nPosition - m_nViewStart);
        const uint32_t n = std::min(nTotal - nDone, m_nViewSize - nOffset);
        if (!XPlatform::GuardedCopy(pOut + nDone, m_pView + nOffset, n)) {
            Recover(nStartPosition);
            return 0;
        }
        nDone += n;
        m_nPosition += n;
    }
    // Ending exactly at the end of the window: map the next one now, as a
    // sequential reader will want it next.
    if (m_nPosition < m_nFileSize && m_nPosition == m_nViewStart + m_nViewSize) Seek(m_nPosition);
    return nTotal;
}

uint32_t XMMFile::Write(const void* pBuffer, uint32_t nCount)
{
    if (nCount == 0) return 0;
    if (m_hFile < 0) return Fail(kNotOpen), 0;
    if (!IsWritable()) return Fail(kReadOnly), 0;
    const uint64_t nStartPosition = m_nPosition;
    uint64_t nEnd = 0;
    if (!FileSum(m_nPosition, nCount, nEnd)) return Fail(kTooLarge), 0;
    if (nEnd > m_nFileSize && !Grow(nEnd)) return 0;
    const auto* pIn = static_cast<const uint8_t*>(pBuffer);
    uint32_t nDone = 0;
    while (nDone < nCount) {
        if (!Seek(m_nPosition) || !m_pView) return 0;
        const uint32_t nOffset = uint32_t(m_nPosition - m_nViewStart);
        const uint32_t n = std::min(nCount - nDone, m_nViewSize - nOffset);
        if (!XPlatform::GuardedCopy(m_pView + nOffset, pIn + nDone, n)) {
            Recover(nStartPosition);
            return 0;
        }
        nDone += n;
        m_nPosition += n;
    }
    if (m_nPosition < m_nFileSize && m_nPosition == m_nViewStart + m_nViewSize) Seek(m_nPosition);
    return nCount;
}

bool XMMFile::Visit(uint64_t nPosition, uint32_t nCount, XVisitFn pfn, void* pContext, void* pScratch)
{
    if (!Seek(nPosition) || !m_pView) return false;
    const uint32_t n = uint32_t(std::min<uint64_t>(nCount, m_nFileSize - nPosition));
    const uint32_t nOffset = uint32_t(nPosition - m_nViewStart);
    if (n > m_nViewSize - nOffset) {
        // Across windows: a copy, then the reader on the copy.
        if (Read(pScratch, n) != n) return false;
        pfn(static_cast<const uint8_t*>(pScratch), n, pContext);
        return true;
    }
    struct Call {
        XVisitFn pfn;
        const uint8_t* p;
        uint32_t n;
        void* pContext;
        static void Run(void* pCall)
        {
            const Call& c = *static_cast<const Call*>(pCall);
            c.pfn(c.p, c.n, c.pContext);
        }
    } call{pfn, m_pView + nOffset, n, pContext};
    if (!XPlatform::GuardedCall(&Call::Run, &call)) {
        Recover(nPosition);
        return false;
    }
    m_nPosition = nPosition + n;
    return true;
}

bool XMMFile::Grow(uint64_t nNewSize)
{
    uint64_t nPhysical = 0;
    if (!FileSum(nNewSize, m_nGranularity, nPhysical)) return Fail(kTooLarge);
    UnmapWindow();
    {
        XSharedFiles& shared = SharedFiles();
        std::lock_guard<std::mutex> lock(shared.mutex);
        XSharedFile& file = shared.files[{m_nDevice, m_nInode}];
        // The file's own length decides, not this object's idea of it:
        // another object may have grown it (or trimmed its spare) since.
        struct stat st {};
        if (fstat(m_hFile, &st) != 0) return Fail(kSetEndFailed);
        m_nMappedSize = uint64_t(st.st_size);
        if (nNewSize > m_nMappedSize) {
            if (ftruncate(m_hFile, off_t(nPhysical)) != 0)
                return Fail(errno == EFBIG || errno == EINVAL ? kPointerFailed : kSetEndFailed);
            m_nMappedSize = file.nLeftAt = nPhysical;
        }
        file.nDataEnd = std::max(file.nDataEnd, nNewSize);
    }
    m_nFileSize = nNewSize;
    // The window at the old end may have been short; map it at full length.
    if (!MapWindow()) return Fail(kMappingFailed);
    return true;
}

void XMMFile::Recover(uint64_t nPosition)
{
    // The file name and flags survive the release; a scratch file stays a
    // scratch file (Close removes it later).
    const XString strName = m_strFileName;
    const uint32_t nFlags = m_nFlags;
    Release();
    const int hFile = open(strName, (nFlags & (modeReadWrite | modeReadWriteAlt) ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (hFile >= 0 && Attach(hFile, nFlags) && nPosition < m_nFileSize) Seek(nPosition);
    // Whatever the reopen reported, the message names the fault.
    m_strError = kPageFault;
}

void XMMFile::SetWindowSize(uint32_t nBytes)
{
    const uint64_t n = (uint64_t(std::clamp(nBytes, m_nGranularity, kMaxWindow)) + m_nGranularity - 1) /
                       m_nGranularity * m_nGranularity;
    m_nWindowSize = uint32_t(n);
}

bool XMMFile::Flush()
{
    if (!m_pView) return true;
    return msync(m_pView, m_nViewSize, MS_SYNC) == 0;
}

} // namespace Pelmora::Tivra
