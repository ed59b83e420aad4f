#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace Pelmora::Tivra::Tool {

AtomicFile::AtomicFile(std::string finalPath) : m_final(std::move(finalPath))
{
    // A hidden name beside the final one, so the rename stays on one file
    // system and a crash leaves nothing that looks like a finished output.
    const size_t slash = m_final.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : m_final.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? m_final : m_final.substr(slash + 1);
    m_temp = dir + "." + base + ".tmp" + std::to_string(static_cast<long>(getpid()));
}

AtomicFile::~AtomicFile()
{
    if (!m_done) std::remove(m_temp.c_str());
}

bool AtomicFile::Commit(std::string& error)
{
    m_done = true;
    if (std::rename(m_temp.c_str(), m_final.c_str()) != 0) {
        error = "cannot create " + m_final + ": " + std::strerror(errno);
        std::remove(m_temp.c_str());
        return false;
    }
    return true;
}

} // namespace Pelmora::Tivra::Tool
