// The format fuzz input, shared by the fuzz target and the replay of its
// findings in the test suite: the bytes up to the first zero (at most 512)
// are a format, handed to XString::Format with a fixed argument list that
// every directive can read safely: sixteen pointers to a zeroed, writable
// page mapped at address 65536 (read as integers they give 65536, a width or
// precision that keeps outputs small; as narrow or wide texts they give the
// empty text; %n writes into the page) followed by eight doubles of every
// kind. The format may name at most fifteen arguments, so no directive reads
// past the list, whichever way the reads mix integers and doubles. Formats
// with the letter n are skipped: %n would write its count into the page that
// later texts of the same call are read from, a change the estimate (made
// before the call) cannot know of and no real call makes.
//
// Formats whose estimate exceeds a megabyte are skipped (a width may ask for
// gigabytes, which is allowed and only costs memory). The estimate must never
// be below the output: Format would then have to write twice.
#pragma once

#include <tivra/runtime/XString.h>

#include <cfloat>
#include <cmath>
#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>

namespace TivraFuzz {

/// The length of the longest format tried and the most arguments it may read.
constexpr size_t kMaxFormat = 512;
constexpr int kMaxArguments = 15;
/// Widths in the format can ask for outputs of up to 2 GiB, which are
/// legitimate but only cost memory; formats estimated above this are skipped.
constexpr int64_t kMaxOutput = 1 << 20;

/// Formats with the fixed argument list and checks the estimate against the
/// output; the va_list form lets one list serve both calls.
inline void CheckFormat(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    const int64_t nEstimate = Pelmora::Tivra::XString::EstimateFormatLength(pszFormat, copy);
    va_end(copy);
    if (nEstimate > kMaxOutput) {
        va_end(args);
        return;
    }
    Pelmora::Tivra::XString s;
    s.FormatV(pszFormat, args);
    va_end(args);
    if (nEstimate >= 0 && s.GetLength() > nEstimate) std::abort();
}

inline void ReadFormatInput(const uint8_t* pData, size_t nSize)
{
    const size_t n = strnlen(reinterpret_cast<const char*>(pData), std::min(nSize, kMaxFormat));
    const std::string format(reinterpret_cast<const char*>(pData), n);
    // Every '%' may start a directive that reads up to three arguments
    // (width, precision, value); count them pessimistically.
    int nPercent = 0;
    for (char ch : format) nPercent += ch == '%';
    if (3 * nPercent > kMaxArguments || format.find('n') != std::string::npos) return;

    // The lowest address a process may map, so that the pointer read as an
    // int is small; zeroed before each input, so every text read from it is
    // empty.
    static char* const p = [] {
        void* q = mmap(reinterpret_cast<void*>(uintptr_t(65536)), 4096, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (q != reinterpret_cast<void*>(uintptr_t(65536))) std::abort(); // the harness itself cannot run
        return static_cast<char*>(q);
    }();
    std::memset(p, 0, 4096);
    CheckFormat(format.c_str(), p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, 0.0, -1.5, DBL_MAX, -DBL_MAX,
                DBL_MIN, std::nan(""), INFINITY, 1e-300);
}

} // namespace TivraFuzz
