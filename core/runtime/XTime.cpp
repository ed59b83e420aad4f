// XTime, XTimeSpan and the calendar functions of Xfn.
#include <tivra/runtime/XTime.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/XClock.h"

namespace Pelmora::Tivra {

namespace {

/// Seconds of a day, an hour and a minute.
constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerMinute = 60;

/// Local calendar fields to seconds through mktime. mktime's -1 for a time
/// it cannot represent is kept as the result.
int64_t LocalToTime(int nYear1900, int nMonth0, int nDay, int nHour, int nMin, int nSec, int nDST)
{
    tm t{};
    t.tm_year = nYear1900;
    t.tm_mon = nMonth0;
    t.tm_mday = nDay;
    t.tm_hour = nHour;
    t.tm_min = nMin;
    t.tm_sec = nSec;
    t.tm_isdst = nDST;
    return static_cast<int64_t>(std::mktime(&t));
}

int64_t SystemTimeToTime(const tagXSystemTime& st)
{
    // Years before 1900 are outside what the time functions are asked for.
    if (st.wYear < 1900) return 0;
    return LocalToTime(st.wYear - 1900, st.wMonth - 1, st.wDay, st.wHour, st.wMinute, st.wSecond, -1);
}

/// Copies the nine standard fields (the C library's record may carry more).
void CopyTm(const tm& src, tm& dst)
{
    dst.tm_sec = src.tm_sec;
    dst.tm_min = src.tm_min;
    dst.tm_hour = src.tm_hour;
    dst.tm_mday = src.tm_mday;
    dst.tm_mon = src.tm_mon;
    dst.tm_year = src.tm_year;
    dst.tm_wday = src.tm_wday;
    dst.tm_yday = src.tm_yday;
    dst.tm_isdst = src.tm_isdst;
}

/// The broken-down time, local or UTC; false when it cannot be converted.
bool BreakDown(int64_t nTime, bool bLocal, tm& t)
{
    const time_t tt = static_cast<time_t>(nTime);
    return (bLocal ? localtime_r(&tt, &t) : gmtime_r(&tt, &t)) != nullptr;
}

tm* GetTm(int64_t nTime, bool bLocal, tm* ptm)
{
    // Without a record of the caller's, the result goes to one private to
    // the calling thread, valid until that thread's next call.
    thread_local tm s_tm;
    tm t{};
    if (!BreakDown(nTime, bLocal, t)) return nullptr;
    if (ptm == nullptr) {
        s_tm = t;
        return &s_tm;
    }
    CopyTm(t, *ptm);
    return ptm;
}

XString FormatTime(int64_t nTime, bool bLocal, const char* pszFormat)
{
    // strftime writes into 128 bytes; its 0 for an output that does not fit
    // (or an empty one) gives an empty string.
    constexpr size_t kBuffer = 128;
    tm t{};
    if (pszFormat == nullptr || !BreakDown(nTime, bLocal, t)) return XString();
    char aBuffer[kBuffer];
    const size_t n = std::strftime(aBuffer, kBuffer, pszFormat, &t);
    return XString(aBuffer, static_cast<int>(n));
}

} // namespace

// --- XTimeSpan -----------------------------------------------------------------

XTimeSpan::XTimeSpan(int32_t lDays, int nHours, int nMins, int nSecs)
{
    // The sum is formed in 32 bits: unsigned arithmetic wraps as the 32-bit
    // signed sum would, without the undefined behaviour of signed overflow.
    const uint32_t u = ((uint32_t(lDays) * 24u + uint32_t(nHours)) * 60u + uint32_t(nMins)) * 60u + uint32_t(nSecs);
    m_timeSpan = static_cast<int32_t>(u);
}

XString XTimeSpan::Format(const char* pszFormat) const
{
    constexpr size_t kBuffer = 128; // output of at most 127 bytes and the terminator
    char aBuffer[kBuffer];
    size_t nOut = 0;
    auto put = [&](const char* p, size_t n) {
        n = std::min(n, kBuffer - 1 - nOut);
        std::memcpy(aBuffer + nOut, p, n);
        nOut += n;
    };
    auto putNumber = [&](const char* pszNumberFormat, long long n) {
        char aNumber[24]; // a 64-bit value in decimal with sign: 20 bytes
        const int nLength = std::snprintf(aNumber, sizeof(aNumber), pszNumberFormat, n);
        put(aNumber, size_t(std::max(nLength, 0)));
    };

    const char* p = pszFormat != nullptr ? pszFormat : "";
    while (*p != '\0') {
        if (*p == '%') {
            ++p;
            switch (*p) {
            case '\0': continue; // a trailing percent sign gives nothing
            case 'D': putNumber("%lld", GetDays()); break;
            case 'H': putNumber("%02lld", GetHours()); break;
            case 'M': putNumber("%02lld", GetMinutes()); break;
            case 'S': putNumber("%02lld", GetSeconds()); break;
            default:
                // "%%" and a percent sign before any other character give
                // that character; a two-byte character comes whole.
                if (static_cast<unsigned char>(*p) >= 128 && p[1] != '\0') {
                    put(p, 2);
                    ++p;
                } else {
                    put(p, 1);
                }
                break;
            }
            ++p;
        } else if (static_cast<unsigned char>(*p) >= 128 && p[1] != '\0') {
            put(p, 2); // the two bytes of a two-byte character stay together
            p += 2;
        } else {
            put(p++, 1);
        }
    }
    return XString(aBuffer, static_cast<int>(nOut));
}

// --- XTime ---------------------------------------------------------------------

XTime XTime::GetCurrentTime()
{
    return XTime(static_cast<int64_t>(std::time(nullptr)));
}

XTime::XTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec)
    : m_time(LocalToTime(nYear - 1900, nMonth - 1, nDay, nHour, nMin, nSec, -1))
{
}

XTime::XTime(uint16_t wDosDate, uint16_t wDosTime, int nDST)
{
    const int nSec = (wDosTime & 0x1F) * 2;         // bits 4-0: seconds / 2
    const int nMin = (wDosTime >> 5) & 0x3F;        // bits 10-5
    const int nHour = wDosTime >> 11;               // bits 15-11
    const int nDay = wDosDate & 0x1F;               // bits 4-0
    const int nMonth0 = ((wDosDate >> 5) & 0x0F) - 1; // bits 8-5: month 1..12
    const int nYear1900 = (wDosDate >> 9) + 80;     // bits 15-9: years since 1980
    m_time = LocalToTime(nYear1900, nMonth0, nDay, nHour, nMin, nSec, nDST);
}

XTime::XTime(const tagXSystemTime& st) : m_time(SystemTimeToTime(st)) {}

XTime::XTime(const tagXFileTime& ft)
{
    // The record is read as local time, so the file time's instant is first
    // converted to its local calendar record.
    tagXSystemTime st{};
    m_time = XPlatform::FileTimeToLocalSystemTime(ft, st) ? SystemTimeToTime(st) : 0;
}

tm* XTime::GetLocalTm(tm* ptm) const
{
    return GetTm(m_time, true, ptm);
}

tm* XTime::GetGmtTm(tm* ptm) const
{
    return GetTm(m_time, false, ptm);
}

bool XTime::GetAsSystemTime(tagXSystemTime& st) const
{
    tm t{};
    return BreakDown(m_time, true, t) && XPlatform::TmToSystemTime(t, 0, st);
}

XString XTime::Format(const char* pszFormat) const
{
    return FormatTime(m_time, true, pszFormat);
}

XString XTime::FormatGmt(const char* pszFormat) const
{
    return FormatTime(m_time, false, pszFormat);
}

// --- Xfn calendar functions --------------------------------------------------------
//
// All integer divisions truncate toward zero (as C++ division does), each
// before the next step: the formulas depend on it.

int32_t Xfn::DateToJulianDay(int nYear, int nMonth, int nDay)
{
    const int k = (nMonth - 14) / 12; // -1 for January and February, else 0
    return 1461 * (nYear + 4800 + k) / 4 + 367 * (nMonth - 2 - 12 * k) / 12 - 3 * ((nYear + 4900 + k) / 100) / 4 +
           nDay - 32075;
}

void Xfn::JulianDayToDate(int32_t nJulianDay, int& nYear, int& nMonth, int& nDay)
{
    int l = nJulianDay + 68569;
    const int n = 4 * l / 146097;
    l = l - (146097 * n + 3) / 4;
    const int i = 4000 * (l + 1) / 1461001;
    l = l - 1461 * i / 4 + 31;
    const int j = 80 * l / 2447;
    nDay = l - 2447 * j / 80;
    l = j / 11;
    nMonth = j + 2 - 12 * l;
    nYear = 100 * (n - 49) + i + l;
}

double Xfn::DateTimeToJulianDate(int nYear, int nMonth, int nDay, int nHour, int nMinute, double dSecond)
{
    // The Julian day starts at noon, half a day before the civil day of the
    // same number ends; hours, minutes and seconds are fractions of the day
    // in real arithmetic.
    return DateToJulianDay(nYear, nMonth, nDay) - 0.5 + (nHour + nMinute / 60.0 + dSecond / 3600.0) / 24.0;
}

void Xfn::JulianDateToDateTime(double dJulianDate, int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute,
                               double& dSecond)
{
    const double x = dJulianDate + 0.5; // the civil day starts at midnight
    const int32_t nJulianDay = static_cast<int32_t>(x); // truncates toward zero
    JulianDayToDate(nJulianDay, nYear, nMonth, nDay);
    double f = (x - nJulianDay) * 24.0;
    nHour = static_cast<int>(f);
    f = (f - nHour) * 60.0;
    nMinute = static_cast<int>(f);
    dSecond = (f - nMinute) * 60.0;
}

double Xfn::JulianDaysToSeconds(double dJulianDate1, double dJulianDate2)
{
    return (dJulianDate2 - dJulianDate1) * double(kSecondsPerDay);
}

uint64_t Xfn::GetLocalTimeMsec()
{
    tagXSystemTime st{};
    if (!XPlatform::GetLocalSystemTime(st)) return 0;
    const int64_t nSeconds = int64_t(DateToJulianDay(st.wYear, st.wMonth, st.wDay)) * kSecondsPerDay +
                             st.wHour * kSecondsPerHour + st.wMinute * kSecondsPerMinute + st.wSecond;
    return static_cast<uint64_t>(nSeconds * 1000 + st.wMilliseconds);
}

int64_t Xfn::GetCounterMsec()
{
    int64_t nCount = 0, nFrequency = 0;
    if (!XPlatform::ReadCounter(nCount, nFrequency) || nFrequency <= 0) return 0;
    return nCount * 1000 / nFrequency;
}

} // namespace Pelmora::Tivra
