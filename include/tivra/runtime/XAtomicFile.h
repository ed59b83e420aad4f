// XAtomicFile: a file that replaces its target only once it is complete.
//
// The data goes to a temporary file beside the target ("NAME.XXXXXX" in the
// same directory, so that the final move never crosses file systems), and
// Commit moves it over the target in one step. Whatever happens before
// Commit (a full disk, a file-size limit, an exception of the writer, a
// program that ends), a reader of the target sees either the previous file,
// whole, or the new one, whole; and no half-written file is left behind,
// because every path that does not commit removes the temporary file.
#pragma once

#include <tivra/runtime/XFile.h>

namespace Pelmora::Tivra {

class XAtomicFile : public XFile {
    XDECLARE_DYNAMIC(XAtomicFile)
public:
    XAtomicFile();
    /// Removes the temporary file when nothing was committed.
    ~XAtomicFile() override;

    /// Creates the temporary file for the target pszFileName, exclusively,
    /// with the target's permissions when it exists (else those a new file
    /// gets under the process's mask), and opens it with nOpenFlags' access
    /// and sharing (write access at least). GetFilePath names the
    /// temporary file until Commit. False, with the cause in pError, when
    /// the temporary file cannot be made; a remote name is refused
    /// (badPath), since a remote file cannot be moved into place.
    bool Open(const char* pszFileName, uint32_t nOpenFlags, XFileException* pError = nullptr) override;

    /// Writes the data to the device, closes the file and moves it over the
    /// target, then writes the directory to the device so that the move
    /// outlives a crash. Throws XFileException (with the cause and the
    /// temporary file's name) when any step fails; the temporary file is
    /// then removed and the target is as it was.
    void Commit();

    /// Closes and removes the temporary file, leaving the target as it was;
    /// never throws. Close does the same: only Commit replaces the target.
    void Abort() override;
    void Close() override;

    /// The target's name, as given to Open.
    const XString& GetTargetPath() const { return m_strTarget; }

private:
    XString m_strTarget; // empty when nothing is pending
    XString m_strTemp;
};

} // namespace Pelmora::Tivra
