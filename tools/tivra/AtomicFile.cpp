#include "AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Pelmora::Tivra::Tool {

namespace {

/// The temporaries in progress. The mutex also orders the watcher against
/// Commit, so an interruption sees a file either under its temporary name or
/// under its final one, never half renamed.
std::mutex g_lock;
std::vector<std::string> g_temporaries;

std::string DirOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The suffixes ("" for the file itself, ".aux.xml", ...) of the entries of
/// temp's directory whose names start with temp's name.
std::vector<std::string> SuffixesOf(const std::string& temp)
{
    std::vector<std::string> suffixes;
    const std::string dir = DirOf(temp), base = BaseOf(temp);
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return suffixes;
    while (const dirent* e = readdir(d))
        if (!std::strncmp(e->d_name, base.c_str(), base.size())) suffixes.emplace_back(e->d_name + base.size());
    closedir(d);
    return suffixes;
}

void RemoveWithSideFiles(const std::string& temp)
{
    for (const std::string& suffix : SuffixesOf(temp)) std::remove((temp + suffix).c_str());
}

void Register(const std::string& temp)
{
    const std::lock_guard lock(g_lock);
    g_temporaries.push_back(temp);
}

void Unregister(const std::string& temp)
{
    const std::lock_guard lock(g_lock);
    g_temporaries.erase(std::remove(g_temporaries.begin(), g_temporaries.end(), temp), g_temporaries.end());
}

/// Side files a format may leave beside its main file that describe it: a
/// stale one left from an earlier output of the same name would be read as
/// this output's metadata.
constexpr const char* kSideFiles[] = {".aux.xml", ".msk", ".ovr"};

} // namespace

AtomicFile::AtomicFile(std::string finalPath) : m_final(std::move(finalPath))
{
    // A hidden name beside the final one, so the rename stays on one file
    // system and a crash leaves nothing that looks like a finished output.
    m_temp = DirOf(m_final) + "." + BaseOf(m_final) + ".tmp" + std::to_string(static_cast<long>(getpid()));
    Register(m_temp);
}

AtomicFile::~AtomicFile()
{
    if (!m_done) {
        const std::lock_guard lock(g_lock);
        RemoveWithSideFiles(m_temp);
    }
    Unregister(m_temp);
}

bool AtomicFile::Commit(std::string& error)
{
    const std::lock_guard lock(g_lock);
    m_done = true;
    const std::vector<std::string> suffixes = SuffixesOf(m_temp);
    for (const char* side : kSideFiles)
        if (std::find(suffixes.begin(), suffixes.end(), side) == suffixes.end()) std::remove((m_final + side).c_str());
    // The main file last: until it appears under its final name, the output
    // does not exist.
    for (const std::string& suffix : suffixes)
        if (!suffix.empty()) std::rename((m_temp + suffix).c_str(), (m_final + suffix).c_str());
    if (std::rename(m_temp.c_str(), m_final.c_str()) != 0) {
        error = "cannot create " + m_final + ": " + std::strerror(errno);
        RemoveWithSideFiles(m_temp);
        return false;
    }
    return true;
}

void InstallInterruptCleanup()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    struct sigaction old {};
    if (sigaction(SIGHUP, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaddset(&set, SIGHUP);
    // A program started in the background of a script inherits SIGINT
    // ignored; it still has a temporary to clean up, so the watcher takes it.
    signal(SIGINT, SIG_DFL);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        int sig = 0;
        while (sigwait(&set, &sig) != 0) {
        }
        // Holding the lock to the end: no temporary is renamed or added
        // while the process goes.
        g_lock.lock();
        for (const std::string& temp : g_temporaries) RemoveWithSideFiles(temp);
        static const char kMessage[] = "\ntivra: interrupted\n";
        if (write(STDERR_FILENO, kMessage, sizeof kMessage - 1) < 0) {
        }
        _exit(128 + sig);
    }).detach();
}

} // namespace Pelmora::Tivra::Tool
