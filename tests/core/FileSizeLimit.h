// A file-size limit for the length of a scope, standing in for a full disk:
// writes and extensions beyond it fail with EFBIG, as they would with ENOSPC
// when the disk is full. The limit's signal (SIGXFSZ, which would end the
// process) is ignored meanwhile. The limit is the process's, so the test
// that sets it must not run beside others in one process (CTest runs every
// test case in a process of its own).
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>

namespace TivraTest {

class FileSizeLimit {
public:
    explicit FileSizeLimit(uint64_t nBytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = m_old;
        small.rlim_cur = nBytes;
        m_bSet = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    /// False when the limit could not be set.
    bool IsSet() const { return m_bSet; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_bSet = false;
};

} // namespace TivraTest
