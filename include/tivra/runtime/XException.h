// The core's exceptions: file, archive and memory failures. They are thrown
// by value and caught by reference; copies keep the cause and the file name.
// Everything else in the core reports failure through its result.
#pragma once

#include <cstdint>

#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

/// The root of the exceptions. Not an XObject: an exception must not need
/// the shared record or a reference count to exist.
class XException {
public:
    XException() = default;
    explicit XException(int32_t nCause) : m_cause(nCause) {}
    virtual ~XException() = default;
    XException(const XException&) = default;
    XException& operator=(const XException&) = default;

    /// A text for the user; empty for the root.
    virtual XString GetErrorText() const;

    int32_t m_cause = -1;
};

/// A failure of a file operation: the cause code and the file's name.
///
/// Causes 2..14 are the file-system conditions below, into which the
/// system's error numbers are translated (Xfn::FileCauseFromErrno); 15..39
/// are reported by remote files (the "rf-" names). The untranslated error
/// number is kept in m_lOsError (-1 when there was none).
class XFileException : public XException {
public:
    enum : int32_t {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
        // 15..37: the remote-file causes, named by CauseName
        rfTivraGlobalNotInited = 38,   ///< a remote name, but no shared record
        rfTivransGlobalNotInited = 39, ///< the shared record lacks a remote-file entry
    };

    XFileException() = default;
    explicit XFileException(int32_t nCause, const XString& strFileName = XString(), int32_t lOsError = -1)
        : XException(nCause), m_strFileName(strFileName), m_lOsError(lOsError)
    {
    }

    /// The file's base name (no directory, no extension), "> " and the cause
    /// name: "scene> fileNotFound".
    XString GetErrorText() const override;

    /// The name of a cause code; "Unknown" outside 0..39.
    static const char* CauseName(int32_t nCause);
    /// Throws an XFileException with the cause translated from the error
    /// number and the file name.
    [[noreturn]] static void ThrowErrno(int nErrno, const XString& strFileName);

    XString m_strFileName;
    int32_t m_lOsError = -1;
};

/// A failure of an archive: a malformed or truncated stream, or an object
/// graph the archive cannot take.
class XArchiveException : public XException {
public:
    enum : int32_t {
        none = 0,
        badSchema = 1, ///< a stored schema of 0, or newer than the class's own
        badIndex = 2,  ///< an object or class index the archive cannot resolve or give
        badClass = 3,  ///< an unknown class name, an unexpected tag or object class
        endOfFile = 4, ///< the stream ended inside a value
    };

    XArchiveException() = default;
    explicit XArchiveException(int32_t nCause, const XString& strFileName = XString())
        : XException(nCause), m_strFileName(strFileName)
    {
    }

    /// The file's base name, "> " and the cause name: "scene> badClass".
    XString GetErrorText() const override;

    /// The name of a cause code; "Unknown" outside 0..4.
    static const char* CauseName(int32_t nCause);

    XString m_strFileName;
};

/// Memory exhaustion, and an archive asking for an object of a class that
/// cannot be created.
class XMemoryException : public XException {
public:
    XMemoryException() = default;
    /// "Memory Exception".
    XString GetErrorText() const override;
};

namespace Xfn {

/// The file-exception cause for a system error number: ENOENT fileNotFound,
/// ENOTDIR, ENAMETOOLONG and ELOOP badPath, EMFILE and ENFILE
/// tooManyOpenFiles, EACCES, EPERM, EROFS and EISDIR accessDenied, EBADF
/// invalidFile, EINVAL, ESPIPE and EOVERFLOW badSeek, EIO hardIO, EBUSY and
/// ETXTBSY sharingViolation, EAGAIN and EDEADLK lockViolation, ENOSPC, EDQUOT
/// and EFBIG diskFull; 0 none; any other number genericException.
/// (removeCurrentDir, directoryFull and endOfFile have no error number of
/// their own here.)
int32_t FileCauseFromErrno(int nErrno);

} // namespace Xfn

} // namespace Pelmora::Tivra
