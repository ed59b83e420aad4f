// XMMFile: a file of any size read and written through a sliding
// memory-mapped window.
#pragma once

#include <cstdint>

#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

/// Reads and writes a file through one mapped window at a time. The window
/// starts at a multiple of the mapping granularity (65536 bytes, a multiple of
/// the page size) and is one granularity long (or what SetWindowSize chose),
/// shortened at the end of the file; it moves when the position leaves it, so moving costs one unmap and
/// one map. Writing past the end grows the file, with one window of spare
/// length so that small appends do not resize the file every time; Close
/// trims the spare length again, so a closed file is exactly as long as what
/// was written.
///
/// Several objects of one process on one file (matched by device and inode)
/// share what they know of its length: a growth extends the file only when
/// the file itself is shorter than the new end, and Close trims the spare
/// window only while the file still ends where the last growth left it, and
/// then to the largest end any of these objects opened or wrote. So closing
/// one object never cuts off data another one wrote, in whatever order they
/// close. An object opened while another's spare window is in place does
/// not count the spare as content. Objects in different processes do not
/// coordinate their growth.
///
/// Lengths and positions are 64-bit but a file length must fit in off_t: a
/// size or a write whose end (with the spare window) does not fit is
/// refused with kTooLarge.
///
/// Failures return false or 0 and leave their message in the object
/// (GetErrorMessage), replacing the previous one; nothing throws except the
/// removal of a scratch file in Close, which reports as XFile::Remove does.
///
/// A page of the window that cannot be read or written (the file was
/// truncated through another descriptor, or a hole of a sparse file cannot be
/// filled because the disk is full) raises SIGBUS on this system. Read and
/// Write copy through a guard that catches it: the call returns 0 with the
/// message kPageFault, the file is reopened with the name and flags it was
/// opened with, and the position is restored to where the call started when
/// that still lies in the (now shorter) file. The object stays usable. Memory
/// reached through GetPointer is not guarded: a caller dereferencing it
/// bears the fault itself. (A ThreadSanitizer build does not hand the fault to
/// the guard: there the process ends by the signal.)
///
/// Scratch files (CreateTemp) are created exclusively in the temporary
/// directory. Names made by Xfn::MakeTempFileName repeat within one
/// millisecond, so when the name is taken the next free one of "name_1.tmp",
/// "name_2.tmp", ... is used; two objects never share a scratch file. The
/// scratch file is removed by Close and by the destructor.
///
/// One thread per object. Several objects may map one file (each with its own
/// window); writes through one are seen by the others, as all share the
/// system's page cache.
class XMMFile {
public:
    /// Open flags: 0x2 or 0x1 read and write, neither read-only.
    enum OpenFlags : uint32_t { modeRead = 0x0, modeReadWriteAlt = 0x1, modeReadWrite = 0x2 };

    // Message texts kept in the object.
    static constexpr const char* kOpenFailed = "Error encountered during file open.";
    static constexpr const char* kZeroByteFile = "Cannot open zero byte file.";
    static constexpr const char* kMapViewFailed = "Failed to map view of file.";
    static constexpr const char* kCreateFailed = "Failed to create file.";
    static constexpr const char* kPointerFailed = "The file pointer cannot be set to specified location.";
    static constexpr const char* kSeekOutside = "Seek request lies outside file boundary.";
    static constexpr const char* kSetEndFailed = "Failed to set end of file.";
    /// Mapping the window again after growth failed.
    static constexpr const char* kMappingFailed = "Failed to create file mapping.";
    static constexpr const char* kPageFault =
        "A page of the mapped file could not be read or written; the file was reopened.";
    static constexpr const char* kNotOpen = "No file is open.";
    static constexpr const char* kReadOnly = "The file is open for reading only.";
    static constexpr const char* kTooLarge = "The size does not fit in a file length.";

    /// The mapping granularity: the unit of window offsets and the window length.
    static constexpr uint32_t kGranularity = 65536;

    XMMFile();
    virtual ~XMMFile();
    XMMFile(const XMMFile&) = delete;
    XMMFile& operator=(const XMMFile&) = delete;

    /// Opens (creating it when missing) and maps the first window. An open
    /// object is closed first. Fails on an empty file.
    bool Open(const char* pszFileName, uint32_t nFlags);
    /// Creates or opens a file for reading and writing, sets its length to
    /// nSize (new bytes read as zero) and opens it.
    bool Create(const char* pszFileName, uint64_t nSize);
    /// Creates a zero-filled scratch file of nSize bytes in the temporary
    /// directory (prefix "XMMFileTemp") and opens it for reading and writing.
    bool CreateTemp(uint64_t nSize);
    /// Flushes and unmaps the window, trims spare length, closes the file and
    /// removes a scratch file.
    void Close();

    /// Moves the position, mapping the window that holds it when it leaves
    /// the current one. Fails at or beyond the end of the file.
    bool Seek(uint64_t nPosition);
    uint64_t GetPosition() const { return m_nPosition; }
    uint64_t GetLength() const { return m_nFileSize; }

    /// Copies up to nCount bytes from the position, window by window; fewer at
    /// the end of the file, 0 at or beyond it and after a page fault.
    uint32_t Read(void* pBuffer, uint32_t nCount);
    /// Copies nCount bytes to the position, growing the file when they reach
    /// past its end; 0 on failure.
    uint32_t Write(const void* pBuffer, uint32_t nCount);
    /// The address of the byte at nPosition in the window (mapped first when
    /// needed), with the bytes from there to the end of the window; null and
    /// 0 when the seek fails.
    uint8_t* GetPointer(uint64_t nPosition, uint32_t& nAvailable);
    /// A reader of bytes in place: the bytes, their count, the caller's context.
    using XVisitFn = void (*)(const uint8_t* p, uint32_t nCount, void* pContext);
    /// Calls pfn with the nCount bytes at nPosition (clipped to the file):
    /// in place when they lie in one window, else after a Read into pScratch
    /// (nCount bytes). The position ends after the bytes. A page fault while
    /// pfn reads the window ends pfn at once and is handled as in Read
    /// (false, kPageFault, reopened). pfn runs under the fault guard, so it
    /// must keep no object with a non-trivial destructor on its stack while
    /// it reads (whatever it changes belongs to the caller).
    bool Visit(uint64_t nPosition, uint32_t nCount, XVisitFn pfn, void* pContext, void* pScratch);
    /// Writes the window's dirty pages to the file.
    bool Flush();
    /// Sets the window length to nBytes rounded up to a multiple of the
    /// granularity (at least one granularity, at most kMaxWindow); windows
    /// still start at multiples of the granularity. A longer window moves less
    /// often and keeps more pages mapped, for readers that sweep large files.
    /// Takes effect at the next move of the window.
    void SetWindowSize(uint32_t nBytes);
    /// The longest window SetWindowSize allows.
    static constexpr uint32_t kMaxWindow = 1u << 30;

    bool IsOpen() const { return m_hFile >= 0; }
    bool IsWritable() const { return m_nFlags & (modeReadWrite | modeReadWriteAlt); }
    const XString& GetErrorMessage() const { return m_strError; }
    const XString& GetFileName() const { return m_strFileName; }
    /// The scratch file's name; empty for an ordinary file.
    const XString& GetTempName() const { return m_strTempName; }
    /// Length of the file on disk: the logical length, plus one window after growth.
    uint64_t GetMappedSize() const { return m_nMappedSize; }
    uint64_t GetViewStart() const { return m_nViewStart; }
    uint32_t GetViewSize() const { return m_nViewSize; }
    uint32_t GetGranularity() const { return m_nGranularity; }

private:
    /// Maps the file open on hFile (steps after the open itself).
    bool Attach(int hFile, uint32_t nFlags);
    /// Unmaps and closes without trimming or removing anything.
    void Release();
    /// Maps the window at m_nViewStart with the length the file allows.
    bool MapWindow();
    void UnmapWindow();
    bool Grow(uint64_t nNewSize);
    /// Cuts the spare window of growth at Close (see the class comment).
    void TrimSpare();
    /// After a page fault: reopen and restore the position.
    void Recover(uint64_t nPosition);
    /// The length of a window starting at nStart.
    uint32_t WindowLength(uint64_t nStart) const;
    bool Fail(const char* pszMessage);

    int m_hFile;
    uint8_t* m_pView;
    uint64_t m_nFileSize;
    uint64_t m_nMappedSize;
    uint64_t m_nPosition;
    uint64_t m_nViewStart;
    uint32_t m_nViewSize;
    uint32_t m_nGranularity;
    /// Length of a full window: the granularity unless SetWindowSize chose more.
    uint32_t m_nWindowSize;
    int32_t m_nProtect;
    XString m_strError;
    XString m_strTempName;
    XString m_strFileName;
    uint32_t m_nFlags;
    /// The open file's device and inode: the key of what objects of this
    /// process share about it.
    uint64_t m_nDevice;
    uint64_t m_nInode;
};

} // namespace Pelmora::Tivra
