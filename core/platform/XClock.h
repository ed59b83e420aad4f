// The clock and calendar services of the platform, on POSIX.
#pragma once

#include <cstdint>
#include <ctime>

#include <tivra/platform/XPlatformTypes.h>

namespace Pelmora::Tivra::XPlatform {

/// The record of a broken-down time with the given milliseconds; false when
/// its year does not fit the record's 16 bits.
bool TmToSystemTime(const tm& t, int nMilliseconds, tagXSystemTime& st);

/// The current local date and time with milliseconds; false when the system
/// cannot tell it.
bool GetLocalSystemTime(tagXSystemTime& st);

/// The current date and time in UTC with milliseconds.
bool GetUtcSystemTime(tagXSystemTime& st);

/// The local date and time of the instant a file time stands for. False for
/// a tick count beyond 2^63 - 1 or an instant the C library cannot convert.
bool FileTimeToLocalSystemTime(const tagXFileTime& ft, tagXSystemTime& st);

/// A monotonic high-resolution counter and its frequency in counts per
/// second; false when the system has none.
bool ReadCounter(int64_t& nCount, int64_t& nFrequency);

} // namespace Pelmora::Tivra::XPlatform
