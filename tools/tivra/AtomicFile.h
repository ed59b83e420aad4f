// Output files that appear only when complete: the content is written to a
// temporary name in the same directory and renamed over the final name on
// success; a failure, an exception, an early return or an interruption by
// SIGINT, SIGTERM or SIGHUP removes the temporary.
#pragma once

#include <string>

namespace Pelmora::Tivra::Tool {

class AtomicFile {
public:
    explicit AtomicFile(std::string finalPath);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// The name to write to now. Side files that a writer adds beside it
    /// (TEMP.aux.xml and the like) follow it on Commit and on removal.
    const std::string& TempPath() const { return m_temp; }
    const std::string& FinalPath() const { return m_final; }
    /// Renames the temporary and its side files onto the final name. A side
    /// file the final name had from an earlier run and this one lacks is
    /// removed, so stale metadata does not outlive its file. False with a
    /// message when the rename fails (the temporary is then removed).
    bool Commit(std::string& error);

private:
    std::string m_final;
    std::string m_temp;
    bool m_done = false;
};

/// Makes SIGINT, SIGTERM and SIGHUP (unless the program started with SIGHUP
/// ignored, as nohup does) remove every temporary output with its side files
/// and end the process with status 128 + the signal. Called once at the start
/// of main, before any thread is created: the signals are blocked in every
/// thread and taken by one watcher thread, so they are handled in ordinary
/// code, never inside a signal handler.
void InstallInterruptCleanup();

} // namespace Pelmora::Tivra::Tool
