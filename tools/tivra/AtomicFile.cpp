#include "AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Pelmora::Tivra::Tool {

namespace {

/// The temporaries in progress, each by its family prefix (see NewFamily). The
/// mutex also orders the watcher against Commit, so an interruption sees a
/// file either under its temporary name or under its final one, never half
/// renamed.
std::mutex g_lock;
std::vector<std::string> g_families;

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

/// Where the extension of a base name starts (its last dot, not a leading
/// one); npos when it has none.
size_t ExtensionAt(const std::string& base)
{
    const size_t dot = base.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? std::string::npos : dot;
}

/// Links followed at most, as the kernel does, before a loop is assumed.
constexpr int kMaxLinkHops = 40;

/// The file a chain of symbolic links at path ends at (path itself when it is
/// none); the last target need not exist yet.
std::string FollowLinks(std::string path)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        char target[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) break;
        const std::string t(target, static_cast<size_t>(n));
        path = t[0] == '/' ? t : DirOf(path) + t;
    }
    return path;
}

/// Temporaries made by this process so far: each gets its own number, so
/// two outputs of one stem (x.tif, x.png) never share a family.
std::atomic<unsigned> g_made{0};

/// The family prefix of a final path's temporary: "DIR/.STEM.tmpPID-N".
/// The temporary is the prefix plus the final name's extension; its side
/// files are the prefix plus any text starting with a dot.
std::string FamilyName(const std::string& finalPath, unsigned n)
{
    const std::string base = BaseOf(finalPath);
    return DirOf(finalPath) + "." + base.substr(0, ExtensionAt(base)) + ".tmp" +
           std::to_string(static_cast<long>(getpid())) + "-" + std::to_string(n);
}

std::string NewFamily(const std::string& finalPath) { return FamilyName(finalPath, g_made++); }

/// The rests (".tif", ".tif.aux.xml", ".hdr", ...) of the entries of the
/// family's folder named exactly the prefix plus a rest that is empty or
/// starts with a dot: ".x.tmp12-10" or another process's ".x.tmp123-1" is
/// no part of ".x.tmp12-1".
std::vector<std::string> RestsOf(const std::string& family)
{
    std::vector<std::string> rests;
    const std::string dir = DirOf(family), prefix = BaseOf(family);
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return rests;
    while (const dirent* e = readdir(d))
        if (!std::strncmp(e->d_name, prefix.c_str(), prefix.size()) &&
            (e->d_name[prefix.size()] == '\0' || e->d_name[prefix.size()] == '.'))
            rests.emplace_back(e->d_name + prefix.size());
    closedir(d);
    return rests;
}

void RemoveFamily(const std::string& family)
{
    for (const std::string& rest : RestsOf(family)) std::remove((family + rest).c_str());
}

void Register(const std::string& family)
{
    const std::lock_guard lock(g_lock);
    g_families.push_back(family);
}

void Unregister(const std::string& family)
{
    const std::lock_guard lock(g_lock);
    g_families.erase(std::remove(g_families.begin(), g_families.end(), family), g_families.end());
}

/// Side files a format may leave beside its main file that describe it: a
/// stale one left from an earlier output of the same name would be read as
/// this output's metadata.
constexpr const char* kSideFiles[] = {".aux.xml", ".msk", ".ovr"};

} // namespace

AtomicFile::AtomicFile(const std::string& finalPath) : m_final(FollowLinks(finalPath)), m_family(NewFamily(m_final))
{
    // A hidden name beside the final one, so the rename stays on one file
    // system and a crash leaves nothing that looks like a finished output.
    const std::string base = BaseOf(m_final);
    const size_t ext = ExtensionAt(base);
    m_temp = m_family + (ext == std::string::npos ? std::string() : base.substr(ext));
    Register(m_family);
}

AtomicFile::~AtomicFile()
{
    if (!m_done) {
        const std::lock_guard lock(g_lock);
        RemoveFamily(m_family);
    }
    Unregister(m_family);
}

bool AtomicFile::CheckTarget(const std::string& path, std::string& error)
{
    const std::string target = FollowLinks(path);
    struct stat st {};
    if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        const char* what = S_ISDIR(st.st_mode)    ? "a folder"
                           : S_ISFIFO(st.st_mode) ? "a FIFO"
                           : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                                                                          : "not a regular file";
        error = path + (target != path ? " (-> " + target + ")" : std::string()) + " is " + what +
                ": outputs are written to a new file and renamed into place; name a regular file";
        return false;
    }
    const std::string dir = DirOf(target);
    const long nameMax = pathconf(dir.empty() ? "." : dir.c_str(), _PC_NAME_MAX);
    const std::string base = BaseOf(target);
    const size_t ext = ExtensionAt(base);
    const size_t tempLength = BaseOf(FamilyName(target, g_made)).size() + (ext == std::string::npos ? 0 : base.size() - ext);
    if (nameMax > 0 && tempLength > static_cast<size_t>(nameMax)) {
        error = path + ": the name is too long: the temporary written beside it (\"." + base.substr(0, 20) +
                "....tmp" + std::to_string(static_cast<long>(getpid())) + "\") would have " +
                std::to_string(tempLength) + " characters, more than the " + std::to_string(nameMax) +
                " the file system allows";
        return false;
    }
    return true;
}

bool AtomicFile::Owns(const std::string& path) const
{
    const std::string& family = m_family;
    return path.compare(0, family.size(), family) == 0 &&
           (path.size() == family.size() || path[family.size()] == '.') && path.find('/', family.size()) == std::string::npos;
}

bool AtomicFile::Commit(std::string& error)
{
    const std::lock_guard lock(g_lock);
    m_done = true;
    const std::string& family = m_family;
    const std::string base = BaseOf(m_final);
    const size_t ext = ExtensionAt(base);
    const std::string stemPath = DirOf(m_final) + base.substr(0, ext);
    const std::string tempRest = m_temp.substr(family.size());
    const std::vector<std::string> rests = RestsOf(family);
    for (const char* side : kSideFiles)
        if (std::find(rests.begin(), rests.end(), tempRest + side) == rests.end()) std::remove((m_final + side).c_str());
    // The main file last: until it appears under its final name, the output
    // does not exist.
    for (const std::string& rest : rests)
        if (rest != tempRest && std::rename((family + rest).c_str(), (stemPath + rest).c_str()) != 0) {
            error = "cannot create " + stemPath + rest + ": " + std::strerror(errno);
            RemoveFamily(family);
            return false;
        }
    if (std::rename(m_temp.c_str(), m_final.c_str()) != 0) {
        error = "cannot create " + m_final + ": " + std::strerror(errno);
        RemoveFamily(family);
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
    // Beyond the file-size limit a write fails with EFBIG, which the writer
    // reports with the file's name and cleans up after, as on a full disk.
    signal(SIGXFSZ, SIG_IGN);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        int sig = 0;
        while (sigwait(&set, &sig) != 0) {
        }
        // Holding the lock to the end: no temporary is renamed or added
        // while the process goes.
        g_lock.lock();
        for (const std::string& family : g_families) RemoveFamily(family);
        static const char kMessage[] = "\ntivra: interrupted\n";
        if (write(STDERR_FILENO, kMessage, sizeof kMessage - 1) < 0) {
        }
        _exit(128 + sig);
    }).detach();
}

} // namespace Pelmora::Tivra::Tool
