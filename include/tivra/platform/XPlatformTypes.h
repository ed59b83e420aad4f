// Records of the platform's clock and calendar interface, kept with the field
// order and widths of the original platform so that code and data written
// against it carry over unchanged.
#pragma once

#include <cstdint>

namespace Pelmora::Tivra {

/// A calendar date and time of day, as the system clock reports it.
struct tagXSystemTime {
    uint16_t wYear;         // full year, e.g. 2003
    uint16_t wMonth;        // 1..12
    uint16_t wDayOfWeek;    // 0..6, Sunday = 0
    uint16_t wDay;          // 1..31
    uint16_t wHour;         // 0..23
    uint16_t wMinute;       // 0..59
    uint16_t wSecond;       // 0..59
    uint16_t wMilliseconds; // 0..999
};

/// A file time: the count of 100-nanosecond ticks since 1601-01-01 00:00:00
/// UTC, split into two 32-bit halves.
struct tagXFileTime {
    uint32_t dwLowDateTime;
    uint32_t dwHighDateTime;
};

} // namespace Pelmora::Tivra
