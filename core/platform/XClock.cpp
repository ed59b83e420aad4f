// Clock and calendar services on POSIX: clock_gettime, localtime_r and gmtime_r.
#include "platform/XClock.h"

#include <ctime>

namespace Pelmora::Tivra::XPlatform {

namespace {

/// Seconds from 1601-01-01 (the file-time epoch) to 1970-01-01 (the Unix
/// epoch): 369 years with 89 leap days, 134774 days of 86400 seconds.
constexpr int64_t kFileTimeToUnixSeconds = 11644473600LL;
/// File-time ticks per second (one tick is 100 ns).
constexpr int64_t kTicksPerSecond = 10000000LL;

bool ToSystemTime(time_t nSeconds, int nMilliseconds, tagXSystemTime& st)
{
    tm t{};
    return localtime_r(&nSeconds, &t) != nullptr && TmToSystemTime(t, nMilliseconds, st);
}

} // namespace

bool TmToSystemTime(const tm& t, int nMilliseconds, tagXSystemTime& st)
{
    if (t.tm_year + 1900 < 0 || t.tm_year + 1900 > 65535) return false;
    st.wYear = static_cast<uint16_t>(t.tm_year + 1900);
    st.wMonth = static_cast<uint16_t>(t.tm_mon + 1);
    st.wDayOfWeek = static_cast<uint16_t>(t.tm_wday);
    st.wDay = static_cast<uint16_t>(t.tm_mday);
    st.wHour = static_cast<uint16_t>(t.tm_hour);
    st.wMinute = static_cast<uint16_t>(t.tm_min);
    st.wSecond = static_cast<uint16_t>(t.tm_sec);
    st.wMilliseconds = static_cast<uint16_t>(nMilliseconds);
    return true;
}

bool GetLocalSystemTime(tagXSystemTime& st)
{
    timespec ts{};
    if (clock_gettime(CLOCK_REALTIME, &ts) != 0) return false;
    return ToSystemTime(ts.tv_sec, static_cast<int>(ts.tv_nsec / 1000000), st);
}

bool GetUtcSystemTime(tagXSystemTime& st)
{
    timespec ts{};
    if (clock_gettime(CLOCK_REALTIME, &ts) != 0) return false;
    tm t{};
    const time_t nSeconds = ts.tv_sec;
    return gmtime_r(&nSeconds, &t) != nullptr && TmToSystemTime(t, static_cast<int>(ts.tv_nsec / 1000000), st);
}

bool FileTimeToLocalSystemTime(const tagXFileTime& ft, tagXSystemTime& st)
{
    const uint64_t uTicks = (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    if (uTicks > uint64_t(INT64_MAX)) return false;
    const int64_t nTicks = static_cast<int64_t>(uTicks);
    const int64_t nSeconds = nTicks / kTicksPerSecond - kFileTimeToUnixSeconds;
    const int nMilliseconds = static_cast<int>(nTicks % kTicksPerSecond / 10000);
    return ToSystemTime(static_cast<time_t>(nSeconds), nMilliseconds, st);
}

bool ReadCounter(int64_t& nCount, int64_t& nFrequency)
{
    // The monotonic clock in 100-ns counts: a frequency of 10 MHz keeps
    // count x 1000 within 64 bits for 29 years of uptime, where nanosecond
    // counts would overflow after 106 days.
    timespec ts{};
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return false;
    nFrequency = kTicksPerSecond;
    nCount = int64_t(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100;
    return true;
}

} // namespace Pelmora::Tivra::XPlatform
