// XFile, the core's unbuffered binary file, local or remote; XFileStatus, the
// status record of a file; the remote-file entries a sibling module installs
// in the shared record.
#pragma once

#include <cstddef>
#include <cstdint>

#include <tivra/runtime/XException.h>
#include <tivra/runtime/XObject.h>
#include <tivra/runtime/XString.h>
#include <tivra/runtime/XTime.h>

namespace Pelmora::Tivra {

struct tagTivraGlobal;

/// Room for a full path in a status record, terminator included; longer
/// full paths are refused.
constexpr int XMAX_PATH = 260;

/// Attribute bits of a status record. A regular file has the archive bit
/// (as a freshly written file does), a directory the directory bit; the
/// read-only bit stands for a missing owner write permission and the hidden
/// bit for a name starting with '.'; normal is set alone, on files of no
/// other kind that have none of the other bits.
enum : uint8_t {
    XFILE_ATTRIBUTE_READONLY = 0x01,
    XFILE_ATTRIBUTE_HIDDEN = 0x02,
    XFILE_ATTRIBUTE_DIRECTORY = 0x10,
    XFILE_ATTRIBUTE_ARCHIVE = 0x20,
    XFILE_ATTRIBUTE_NORMAL = 0x80,
};

/// The status of a file. Times are instants (shown in local time by XTime);
/// m_ctime is the birth time where the file system keeps one, else the time
/// of the last status change.
struct XFileStatus {
    XTime m_ctime;
    XTime m_mtime;
    XTime m_atime;
    uint64_t m_size;
    uint8_t m_attribute;
    char m_szFullName[XMAX_PATH];
};

// ---- remote files ------------------------------------------------------------------
//
// A name beginning with "rfsp" is a remote file. A sibling module serves it
// through nine entries installed in the first nine reserved words of the
// shared record, in the order of XRemoteEntry. The last argument of each is
// reserved and passed as 0, except for write, which receives a string for a
// message. The first eight must all be present for a remote file to open;
// remove is optional.

using XRemoteOpenFn = void* (*)(const XString& strName, const XString& strMode, int nReserved);
using XRemoteCloseFn = bool (*)(void* hRemote, int nReserved);
/// The offset comes in two halves: the low 32 bits, and the high 32 bits as
/// a signed number.
using XRemoteSeekFn = bool (*)(void* hRemote, uint32_t nOffsetLow, int32_t nOffsetHigh, uint32_t nFrom,
                               int nReserved);
using XRemoteGetLengthFn = uint64_t (*)(void* hRemote, int nReserved);
/// Element size and count, as for fread; true only when every element was read.
using XRemoteReadFn = bool (*)(void* pBuffer, size_t nSize, size_t nCount, void* hRemote, int nReserved);
using XRemoteWriteFn = bool (*)(const void* pBuffer, size_t nSize, size_t nCount, void* hRemote,
                                XString* pstrMessage);
using XRemoteGetPositionFn = uint64_t (*)(void* hRemote, int nReserved);
using XRemoteRemoveFn = bool (*)(const XString& strName, int nReserved);

/// Indices of the remote-file entries among the reserved words.
enum XRemoteEntry : int {
    XREMOTE_OPEN = 0,
    XREMOTE_CLOSE = 1,
    XREMOTE_SEEK = 2,
    XREMOTE_GETLENGTH = 3,
    XREMOTE_RESERVED = 4, ///< must be present; never called by XFile
    XREMOTE_READ = 5,
    XREMOTE_WRITE = 6,
    XREMOTE_GETPOSITION = 7,
    XREMOTE_REMOVE = 8, ///< optional
};

// ---- XFile ----------------------------------------------------------------------------

/// An unbuffered binary file with 64-bit positions.
///
/// Local failures throw XFileException with the cause translated from the
/// system's error number and the file's name; Open never throws and reports
/// through its error object instead. Remote operations do not throw: they
/// report through their results.
///
/// Sharing. The share mode of an open is honoured between XFile objects (of
/// this and other processes) with open-file-description locks on four marker
/// bytes at the top of the offset range, one each for "open for reading",
/// "open for writing", "denies reading" and "denies writing": an open fails
/// with sharingViolation when it wants what an open file denies, or denies
/// what an open file has. Other programs do not see the markers, so the
/// share modes are advisory for them. A write-only file holds its markers
/// through a second, read-only descriptor; where the file cannot be read it
/// holds none and is not seen by later opens. Opens with no access take no
/// part in sharing.
///
/// Byte-range locks are open-file-description locks too, so two XFile
/// objects exclude each other even within one process, while a duplicate
/// shares its original's locks. A file open for writing takes exclusive
/// locks; a read-only file takes shared ones (they exclude exclusive locks
/// only). The locks are advisory: reads and writes of other programs are not
/// stopped. Ranges are cut at the marker bytes, so locking "to the end of
/// the offset range" works.
class XFile : public XObject {
    XDECLARE_DYNAMIC(XFile)
public:
    /// Open flags: the access in bits 0-1, the sharing in bits 4-6, then
    /// inheritance and creation.
    enum OpenFlags : uint32_t {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeNoAccess = 0x0003,    ///< status and length only (with modeCreate the file is created)
        shareNone = 0x0010,       ///< (0x00 and values beyond 0x40 too) others may not open it
        shareRead = 0x0020,       ///< others may read
        shareWrite = 0x0030,      ///< others may write
        shareReadWrite = 0x0040,  ///< others may read and write
        modeNoInherit = 0x0080,   ///< closed in programs this process starts
        modeCreate = 0x1000,      ///< create; without modeKeepContent an existing file is truncated
        modeKeepContent = 0x2000, ///< with modeCreate: open an existing file as it is
        modeIgnored = 0x8000,     ///< cleared on entry
    };
    /// Seek origins.
    enum SeekPosition : uint32_t { begin = 0, current = 1, end = 2 };
    /// GetBufferPtr's question whether the file offers its own buffer.
    enum BufferCommand : uint32_t { bufferRead = 0, bufferWrite = 1, bufferCommit = 2, bufferCheck = 3 };

    static constexpr int hFileNull = -1;

    /// A closed file.
    XFile();
    /// Opens at once; throws an XFileException with Open's cause (and no file
    /// name) when it fails.
    XFile(const char* pszFileName, uint32_t nOpenFlags);
    /// Closes the file when it is open and was opened by this object.
    ~XFile() override;

    virtual uint64_t GetPosition() const;
    /// The file part of the name ("scene.tif").
    virtual XString GetFileName() const;
    /// The file part without extension ("scene").
    virtual XString GetFileTitle() const;
    virtual XString GetFilePath() const;
    virtual void SetFilePath(const char* pszNewName);

    /// Opens or creates the file. An open file's handle is abandoned, not
    /// closed: close before reopening. On failure returns false and, when
    /// pError is given, stores the cause there: the translated error number
    /// for local files, rfTivraGlobalNotInited without a shared record,
    /// rfTivransGlobalNotInited when the record lacks a remote entry (a
    /// remote open that the module refuses sets no cause).
    virtual bool Open(const char* pszFileName, uint32_t nOpenFlags, XFileException* pError = nullptr);
    /// A new file object on a duplicate of the handle, with the same name;
    /// the caller owns it. The duplicate shares position and locks.
    virtual XFile* Duplicate() const;

    /// Moves to an offset from the beginning, the current position or the
    /// end; returns the new position. Beyond the end is allowed. A remote
    /// file returns the offset as passed, or all ones when the module
    /// refuses.
    virtual uint64_t Seek(int64_t lOff, uint32_t nFrom);
    /// Moves to the length from the beginning and ends the file there (the
    /// position stays at the new end).
    virtual void SetLength(uint64_t nNewLen);
    virtual uint64_t GetLength() const;

    /// Reads up to nCount bytes; fewer at the end of the file. A remote read
    /// gives nCount or 0.
    virtual uint32_t Read(void* pBuffer, uint32_t nCount);
    /// Writes all nCount bytes; throws diskFull when the system takes fewer.
    virtual void Write(const void* pBuffer, uint32_t nCount);

    virtual void LockRange(uint64_t nPos, uint64_t nCount);
    virtual void UnlockRange(uint64_t nPos, uint64_t nCount);

    /// Closes without reporting anything; never throws.
    virtual void Abort();
    /// Writes the system's buffers of the file to the device.
    virtual void Flush();
    virtual void Close();

    /// A file that offers its own buffer gives pointers into it here; this
    /// file is unbuffered and answers 0 to every command.
    virtual uint32_t GetBufferPtr(uint32_t nCommand, uint32_t nCount = 0, void** ppBufStart = nullptr,
                                  void** ppBufMax = nullptr);

    /// Status of the open file; false when it has no local handle or the
    /// system cannot tell. m_szFullName receives the name given to Open.
    bool GetStatus(XFileStatus& rStatus) const;

    /// Moves a file; fails (throwing, with the old name) when the new name
    /// exists. On a file system that cannot refuse to replace within the
    /// move, the file is linked under the new name and then unlinked from
    /// the old one; where links are not supported either, the move fails
    /// with the system's cause rather than risk replacing a file.
    static void Rename(const char* pszOldName, const char* pszNewName);
    /// Deletes a file. A name beginning with "rfsp://" goes to the remote
    /// module's remove entry, when there is one, and reports nothing.
    static void Remove(const char* pszFileName);
    /// Status of a named file, with its full path; false when it does not
    /// exist or its full path cannot be made.
    static bool GetStatus(const char* pszFileName, XFileStatus& rStatus);
    /// Sets the modification and access times (those not 0) and the
    /// read-only bit of a file; the creation time and the other bits cannot
    /// be set on this system. Throws when the file cannot be changed.
    static void SetStatus(const char* pszFileName, const XFileStatus& status);
    /// The absolute path of a name, "." and ".." resolved lexically (links
    /// are not followed), into pszPathOut (XMAX_PATH bytes). False, with the
    /// name copied, when the current directory is unknown or the result does
    /// not fit; false, with the trace "Warning: could not get volume
    /// information", when the file system holding it cannot be queried.
    static bool FullPath(char* pszPathOut, const char* pszFileIn);

    /// The system descriptor, hFileNull when there is none.
    int GetHandle() const { return m_hFile; }

protected:
    int m_hFile;
    bool m_bCloseOnDelete;
    XString m_strFileName;
    bool m_bRemote;
    void* m_hRemote;
    tagTivraGlobal* m_pGlobal;
    /// Read-only descriptor holding the sharing markers of a write-only
    /// file; hFileNull otherwise.
    int m_hShareMarks;

private:
    bool OpenLocal(const char* pszFileName, uint32_t nOpenFlags, XFileException* pError);
    bool OpenRemote(uint32_t nOpenFlags, XFileException* pError);
    /// A remote entry of the record the file was opened with; null when
    /// absent.
    void* RemoteEntry(XRemoteEntry nEntry) const;
    void CloseLocal();
    [[noreturn]] void ThrowErrno(int nErrno) const;
    /// The same for a read or write.
    [[noreturn]] void ThrowAccessErrno(int nErrno) const;
};

} // namespace Pelmora::Tivra
