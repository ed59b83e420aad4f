#include <tivra/env/XMemoryStatus.h>

#include <cstdio>
#include <cstring>

namespace Pelmora::Tivra::Xfn {

namespace {

/// User address space of a 64-bit process with 47-bit addresses.
constexpr uint64_t kUserAddressSpace = uint64_t(1) << 47;

/// The value in kB of a "Name:   123 kB" line of a /proc file, in bytes; 0
/// when the file or the line is missing.
uint64_t ReadProcBytes(const char* pszFile, const char* pszName)
{
    FILE* f = std::fopen(pszFile, "r");
    if (f == nullptr) return 0;
    const size_t nName = std::strlen(pszName);
    char aLine[256];
    uint64_t nBytes = 0;
    while (std::fgets(aLine, sizeof aLine, f) != nullptr) {
        unsigned long long nKb = 0;
        if (std::strncmp(aLine, pszName, nName) == 0 && aLine[nName] == ':' &&
            std::sscanf(aLine + nName + 1, "%llu", &nKb) == 1) {
            nBytes = uint64_t(nKb) * 1024;
            break;
        }
    }
    std::fclose(f);
    return nBytes;
}

} // namespace

uint64_t GetTotalPhysicalMemory() { return ReadProcBytes("/proc/meminfo", "MemTotal"); }
uint64_t GetAvailablePhysicalMemory() { return ReadProcBytes("/proc/meminfo", "MemAvailable"); }

uint32_t GetMemoryLoad()
{
    const uint64_t nTotal = GetTotalPhysicalMemory(), nAvail = GetAvailablePhysicalMemory();
    if (nTotal == 0 || nAvail > nTotal) return 0;
    return uint32_t((nTotal - nAvail) * 100 / nTotal);
}

double GetAvailablePhysicalMemoryPercent()
{
    const uint64_t nTotal = GetTotalPhysicalMemory();
    return nTotal == 0 ? 0.0 : 100.0 * double(GetAvailablePhysicalMemory()) / double(nTotal);
}

uint64_t GetTotalPageFile() { return GetTotalPhysicalMemory() + ReadProcBytes("/proc/meminfo", "SwapTotal"); }
uint64_t GetAvailablePageFile()
{
    return GetAvailablePhysicalMemory() + ReadProcBytes("/proc/meminfo", "SwapFree");
}

uint64_t GetTotalVirtualMemory() { return kUserAddressSpace; }

uint64_t GetAvailableVirtualMemory()
{
    const uint64_t nUsed = ReadProcBytes("/proc/self/status", "VmSize");
    return nUsed < kUserAddressSpace ? kUserAddressSpace - nUsed : 0;
}

uint64_t GetProcessPrivateMemory() { return ReadProcBytes("/proc/self/status", "RssAnon"); }

} // namespace Pelmora::Tivra::Xfn
