#include <tivra/runtime/XException.h>

#include <cerrno>
#include <cstddef>

#include <tivra/runtime/XPathName.h>

namespace Pelmora::Tivra {

namespace {

/// File-exception cause names, indexed by cause code.
constexpr const char* kFileCauseNames[] = {
    "none",
    "genericException",
    "fileNotFound",
    "badPath",
    "tooManyOpenFiles",
    "accessDenied",
    "invalidFile",
    "removeCurrentDir",
    "directoryFull",
    "badSeek",
    "hardIO",
    "sharingViolation",
    "lockViolation",
    "diskFull",
    "endOfFile",
    "rf-UserAreadyExists",
    "rf-NoUserExist",
    "rf-IncorrectPassword",
    "rf-AccessDenied",
    "rf-PathNotFound",
    "rf-NetworkConnection",
    "rf-OutOfMemory",
    "rf-InvalidPubKeyLen",
    "rf-BadDBConnection",
    "rf-FileAlreadyExists",
    "rf-FileDoesntExists",
    "rf-RootDoesntExists",
    "rf-GroupDoesntExists",
    "rf-GroupAlreadyExists",
    "rf-ConnectionNotExists",
    "rf-InvalidFileHandle",
    "rf-InvalidFileParam",
    "rf-MaxConnectionExceeded",
    "rf-IPNotAuthorized",
    "rf-InvalidPacketParam",
    "rf-FailedIOContextAllocation",
    "rf-FailedCreatingIODev",
    "rf-VersionMismatch",
    "rf-TivraGlobalNotInited",
    "rf-TivransGlobalNotInited",
};

constexpr const char* kArchiveCauseNames[] = {"none", "badSchema", "badIndex", "badClass", "endOfFile"};

template <size_t N>
const char* NameOf(const char* const (&aNames)[N], int32_t nCause)
{
    return nCause >= 0 && size_t(nCause) < N ? aNames[nCause] : "Unknown";
}

/// The base name of the file, "> " and the cause name.
XString ErrorText(const XString& strFileName, const char* pszCause)
{
    return Xfn::GetPathFileTitle(strFileName) + "> " + pszCause;
}

} // namespace

XString XException::GetErrorText() const { return XString(); }

XString XFileException::GetErrorText() const { return ErrorText(m_strFileName, CauseName(m_cause)); }

const char* XFileException::CauseName(int32_t nCause) { return NameOf(kFileCauseNames, nCause); }

void XFileException::ThrowErrno(int nErrno, const XString& strFileName)
{
    throw XFileException(Xfn::FileCauseFromErrno(nErrno), strFileName, nErrno);
}

XString XArchiveException::GetErrorText() const { return ErrorText(m_strFileName, CauseName(m_cause)); }

const char* XArchiveException::CauseName(int32_t nCause) { return NameOf(kArchiveCauseNames, nCause); }

XString XMemoryException::GetErrorText() const { return "Memory Exception"; }

int32_t Xfn::FileCauseFromErrno(int nErrno)
{
    switch (nErrno) {
    case 0: return XFileException::none;
    case ENOENT: return XFileException::fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return XFileException::badPath;
    case EMFILE:
    case ENFILE: return XFileException::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return XFileException::accessDenied;
    case EBADF: return XFileException::invalidFile;
    case EINVAL:
    case ESPIPE:
    case EOVERFLOW: return XFileException::badSeek;
    case EIO: return XFileException::hardIO;
    case EBUSY:
    case ETXTBSY: return XFileException::sharingViolation;
    case EAGAIN:
    case EDEADLK: return XFileException::lockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return XFileException::diskFull;
    default: return XFileException::genericException;
    }
}

} // namespace Pelmora::Tivra
