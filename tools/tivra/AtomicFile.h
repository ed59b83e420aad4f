// Output files that appear only when complete: the content is written to a
// temporary name in the same directory and renamed over the final name on
// success; a failure, an exception, an early return or an interruption by
// SIGINT, SIGTERM or SIGHUP removes the temporary.
#pragma once

#include <string>

namespace Pelmora::Tivra::Tool {

class AtomicFile {
public:
    /// A symbolic link at finalPath is followed: the file it names is the one
    /// replaced, and the link stays.
    explicit AtomicFile(const std::string& finalPath);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// False with a message when path cannot be written through a temporary
    /// and a rename: what stands there (after following links) is not a
    /// regular file (a device, a FIFO, a folder), or the temporary's name
    /// would be longer than the folder allows. Called before any work.
    static bool CheckTarget(const std::string& path, std::string& error);

    /// The name to write to now: ".NAME.tmpPID-N.EXT" beside NAME.EXT, so a
    /// writer that derives side files from it by replacing the extension
    /// (NAME.hdr) or by adding one (NAME.EXT.aux.xml) keeps them in the
    /// temporary's family, and they follow it on Commit and on removal.
    const std::string& TempPath() const { return m_temp; }
    const std::string& FinalPath() const { return m_final; }
    /// True when path is the temporary or one of its side files.
    bool Owns(const std::string& path) const;
    /// Renames the temporary and its side files onto the final name. A side
    /// file the final name had from an earlier run and this one lacks is
    /// removed, so stale metadata does not outlive its file. False with a
    /// message when the rename fails (the temporary is then removed).
    bool Commit(std::string& error);

private:
    std::string m_final;
    std::string m_family;  ///< the temporary's name without its extension
    std::string m_temp;
    bool m_done = false;
};

/// Makes SIGINT, SIGTERM and SIGHUP (unless the program started with SIGHUP
/// ignored, as nohup does) remove every temporary output with its side files
/// and end the process with status 128 + the signal. Also ignores SIGXFSZ, so
/// that a write beyond the file-size limit fails with EFBIG and is reported
/// like a full disk instead of killing the process. Called once at the start
/// of main, before any thread is created: the signals are blocked in every
/// thread and taken by one watcher thread, so they are handled in ordinary
/// code, never inside a signal handler.
void InstallInterruptCleanup();

} // namespace Pelmora::Tivra::Tool
