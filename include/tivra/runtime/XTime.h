// XTime, an absolute point in time, and XTimeSpan, a signed duration, both
// in whole seconds; the Julian day and date functions and millisecond clocks
// of Xfn.
//
// Calendar conversions use the C library's time functions (mktime,
// localtime_r, gmtime_r, strftime), so the time zone and daylight-saving
// rules are those of the C library and its TZ setting.
#pragma once

#include <cstdint>
#include <ctime>

#include <tivra/platform/XPlatformTypes.h>
#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

/// A signed duration in seconds.
class XTimeSpan {
public:
    XTimeSpan() = default;
    XTimeSpan(int64_t nSeconds) : m_timeSpan(nSeconds) {}
    /// ((days x 24 + hours) x 60 + minutes) x 60 + seconds, computed in
    /// 32-bit arithmetic (wrapping beyond about +-24855 days) and widened.
    XTimeSpan(int32_t lDays, int nHours, int nMins, int nSecs);

    /// Whole days (divisions truncate toward zero, so the parts of a negative
    /// span are negative or zero).
    int64_t GetDays() const { return m_timeSpan / 86400; }
    int64_t GetTotalHours() const { return m_timeSpan / 3600; }
    /// Hours within the day.
    int GetHours() const { return static_cast<int>(GetTotalHours() - GetDays() * 24); }
    int64_t GetTotalMinutes() const { return m_timeSpan / 60; }
    /// Minutes within the hour.
    int GetMinutes() const { return static_cast<int>(GetTotalMinutes() - GetTotalHours() * 60); }
    int64_t GetTotalSeconds() const { return m_timeSpan; }
    /// Seconds within the minute.
    int GetSeconds() const { return static_cast<int>(m_timeSpan - GetTotalMinutes() * 60); }
    int64_t GetTimeSpan() const { return m_timeSpan; }

    XTimeSpan operator+(XTimeSpan span) const { return XTimeSpan(m_timeSpan + span.m_timeSpan); }
    XTimeSpan operator-(XTimeSpan span) const { return XTimeSpan(m_timeSpan - span.m_timeSpan); }
    XTimeSpan& operator+=(XTimeSpan span)
    {
        m_timeSpan += span.m_timeSpan;
        return *this;
    }
    XTimeSpan& operator-=(XTimeSpan span)
    {
        m_timeSpan -= span.m_timeSpan;
        return *this;
    }
    bool operator==(XTimeSpan span) const { return m_timeSpan == span.m_timeSpan; }
    bool operator!=(XTimeSpan span) const { return m_timeSpan != span.m_timeSpan; }
    bool operator<(XTimeSpan span) const { return m_timeSpan < span.m_timeSpan; }
    bool operator>(XTimeSpan span) const { return m_timeSpan > span.m_timeSpan; }
    bool operator<=(XTimeSpan span) const { return m_timeSpan <= span.m_timeSpan; }
    bool operator>=(XTimeSpan span) const { return m_timeSpan >= span.m_timeSpan; }

    /// Text of the span: "%D" days, "%H" hours, "%M" minutes and "%S" seconds
    /// (the last three two digits wide), "%%" a percent sign; a percent sign
    /// before any other character gives that character. The output is at
    /// most 127 bytes; what goes beyond is cut.
    XString Format(const char* pszFormat) const;

private:
    int64_t m_timeSpan = 0;
};

/// A point in time: seconds since 1970-01-01 00:00:00 UTC; 0 also stands for
/// an unset time.
class XTime {
public:
    /// The current time.
    static XTime GetCurrentTime();

    XTime() = default;
    /// Seconds since 1970 as they are. Explicit, so that XTime - 5 is not
    /// read as a difference of two times.
    explicit XTime(int64_t nTime) : m_time(nTime) {}
    /// Local calendar time (month 1..12), daylight saving decided by the C
    /// library. Fields out of range are normalised by mktime; a time it
    /// cannot represent is stored as -1.
    XTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec);
    /// Local time from a 16-bit DOS date (bits 15-9 years since 1980, 8-5
    /// month, 4-0 day) and DOS time (bits 15-11 hour, 10-5 minute, 4-0
    /// seconds / 2). nDST: 1 summer time, 0 standard time, -1 unknown.
    XTime(uint16_t wDosDate, uint16_t wDosTime, int nDST = -1);
    /// Local calendar fields of the record (milliseconds and day of week are
    /// ignored); a year before 1900 gives 0.
    XTime(const tagXSystemTime& st);
    /// The instant of a file time (100-ns ticks since 1601, UTC), through its
    /// local calendar record; 0 when it cannot be converted or lies before
    /// 1900.
    XTime(const tagXFileTime& ft);

    int64_t GetTime() const { return m_time; }

    /// The local broken-down time; when ptm is given the nine standard fields
    /// are copied into it and ptm is returned, otherwise a record private to
    /// the calling thread is returned. Null when the conversion fails.
    tm* GetLocalTm(tm* ptm = nullptr) const;
    /// The same in UTC.
    tm* GetGmtTm(tm* ptm = nullptr) const;
    /// The local time as a record with milliseconds 0; false when the local
    /// conversion fails.
    bool GetAsSystemTime(tagXSystemTime& st) const;

    /// strftime of the local time into 128 bytes; an empty string when the
    /// conversion or strftime fails.
    XString Format(const char* pszFormat) const;
    /// The same for UTC.
    XString FormatGmt(const char* pszFormat) const;

    XTimeSpan operator-(XTime time) const { return XTimeSpan(m_time - time.m_time); }
    XTime operator+(XTimeSpan span) const { return XTime(m_time + span.GetTimeSpan()); }
    XTime operator-(XTimeSpan span) const { return XTime(m_time - span.GetTimeSpan()); }
    XTime& operator+=(XTimeSpan span)
    {
        m_time += span.GetTimeSpan();
        return *this;
    }
    XTime& operator-=(XTimeSpan span)
    {
        m_time -= span.GetTimeSpan();
        return *this;
    }
    bool operator==(XTime time) const { return m_time == time.m_time; }
    bool operator!=(XTime time) const { return m_time != time.m_time; }
    bool operator<(XTime time) const { return m_time < time.m_time; }
    bool operator>(XTime time) const { return m_time > time.m_time; }
    bool operator<=(XTime time) const { return m_time <= time.m_time; }
    bool operator>=(XTime time) const { return m_time >= time.m_time; }

private:
    int64_t m_time = 0;
};

namespace Xfn {

/// Julian day number of a Gregorian date (the Fliegel and Van Flandern
/// integer formula); 2000-01-01 is day 2451545.
int32_t DateToJulianDay(int nYear, int nMonth, int nDay);
/// Gregorian date of a Julian day number.
void JulianDayToDate(int32_t nJulianDay, int& nYear, int& nMonth, int& nDay);
/// Julian date (days since noon of Julian day 0) of a date and time of day.
double DateTimeToJulianDate(int nYear, int nMonth, int nDay, int nHour, int nMinute, double dSecond);
/// Date and time of day of a Julian date. The seconds are not rounded: a
/// date built from whole seconds may come back as 59.999... seconds of the
/// minute before.
void JulianDateToDateTime(double dJulianDate, int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute,
                          double& dSecond);
/// Seconds from the first Julian date to the second.
double JulianDaysToSeconds(double dJulianDate1, double dJulianDate2);
/// The current local date and time as milliseconds counted from the start
/// (midnight) of Julian day 0; 0 when the system cannot tell the time.
uint64_t GetLocalTimeMsec();
/// Milliseconds of the system's monotonic high-resolution counter; 0 when
/// there is none.
int64_t GetCounterMsec();

} // namespace Xfn
} // namespace Pelmora::Tivra
