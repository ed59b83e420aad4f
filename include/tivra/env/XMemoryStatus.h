// Memory status of the machine and the process. Each function reads the
// system's figures afresh (sysinfo, /proc/meminfo, /proc/self/status).
//
// The page file is the commit limit of the machine: physical memory plus
// swap (available: what is available of memory plus free swap). Virtual
// memory is the process's user address space: 128 TiB on x86-64 (47-bit
// addresses), of which the process's mapped size (VmSize) is in use.
#pragma once

#include <cstdint>

namespace Pelmora::Tivra::Xfn {

/// Percentage of physical memory in use, 0..100.
uint32_t GetMemoryLoad();
uint64_t GetTotalPhysicalMemory();
uint64_t GetAvailablePhysicalMemory();
/// 100 x available / total physical memory.
double GetAvailablePhysicalMemoryPercent();
uint64_t GetTotalPageFile();
uint64_t GetAvailablePageFile();
uint64_t GetTotalVirtualMemory();
uint64_t GetAvailableVirtualMemory();
/// Private (anonymous resident) memory of this process in bytes: RssAnon.
uint64_t GetProcessPrivateMemory();

} // namespace Pelmora::Tivra::Xfn
