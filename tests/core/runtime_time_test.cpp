#include <gtest/gtest.h>

#include <tivra/runtime/XTime.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <thread>

using namespace Pelmora::Tivra;

namespace {

std::string Str(const XString& s) { return std::string(static_cast<const char*>(s), size_t(s.GetLength())); }

/// Runs the tests in a zone with daylight saving (Central European rules as
/// a POSIX TZ string, so no zone database is needed) and restores the zone.
class RuntimeTimeZone : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* psz = std::getenv("TZ");
        m_bHadTZ = psz != nullptr;
        if (m_bHadTZ) m_strTZ = psz;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override
    {
        if (m_bHadTZ)
            setenv("TZ", m_strTZ.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool m_bHadTZ = false;
    std::string m_strTZ;
};

/// Seconds of 2003-01-01 00:00:00 UTC and of 2003-07-01 00:00:00 UTC.
constexpr int64_t kJan2003 = 1041379200;
constexpr int64_t kJul2003 = 1057017600;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

} // namespace

TEST(RuntimeCalendar, JulianDayNumbersOfEveryDateFromYear1To3000)
{
    EXPECT_EQ(Xfn::DateToJulianDay(2000, 1, 1), 2451545);
    EXPECT_EQ(Xfn::DateToJulianDay(1858, 11, 17), 2400001); // modified Julian day 0 starts at its midnight
    EXPECT_EQ(Xfn::DateToJulianDay(1582, 10, 15), 2299161); // first day of the Gregorian calendar
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int32_t nPrevious = Xfn::DateToJulianDay(1, 1, 1) - 1;
    for (int y = 1; y <= 3000; ++y) {
        for (int m = 1; m <= 12; ++m) {
            const int nLast = kDays[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0);
            for (int d = 1; d <= nLast; ++d) {
                const int32_t j = Xfn::DateToJulianDay(y, m, d);
                ASSERT_EQ(j, nPrevious + 1) << y << "-" << m << "-" << d; // consecutive days, no gaps
                nPrevious = j;
                int yy = 0, mm = 0, dd = 0;
                Xfn::JulianDayToDate(j, yy, mm, dd);
                ASSERT_TRUE(yy == y && mm == m && dd == d) << y << "-" << m << "-" << d;
            }
        }
    }
}

TEST(RuntimeCalendar, JulianDatesAndSeconds)
{
    EXPECT_EQ(Xfn::DateTimeToJulianDate(2000, 1, 1, 12, 0, 0), 2451545.0);
    EXPECT_EQ(Xfn::DateTimeToJulianDate(2000, 1, 1, 0, 0, 0), 2451544.5);
    EXPECT_NEAR(Xfn::DateTimeToJulianDate(2000, 1, 1, 18, 30, 36), 2451545.0 + (6.5 + 0.01) / 24, 1e-9);
    EXPECT_EQ(Xfn::JulianDaysToSeconds(2451545.0, 2451545.5), 43200.0);
    EXPECT_EQ(Xfn::JulianDaysToSeconds(2451545.5, 2451545.0), -43200.0);

    int y, mo, d, h, mi;
    double s;
    Xfn::JulianDateToDateTime(2451545.0, y, mo, d, h, mi, s);
    EXPECT_TRUE(y == 2000 && mo == 1 && d == 1 && h == 12 && mi == 0 && s == 0.0);

    // Round trips of random instants: the seconds come back within a
    // microsecond, possibly as 59.999... of the minute before.
    std::mt19937 rng(3);
    for (int i = 0; i < 2000; ++i) {
        const int y0 = 1900 + int(rng() % 200), m0 = 1 + int(rng() % 12), d0 = 1 + int(rng() % 28);
        const int h0 = int(rng() % 24), mi0 = int(rng() % 60), s0 = int(rng() % 60);
        const double jd = Xfn::DateTimeToJulianDate(y0, m0, d0, h0, mi0, s0);
        Xfn::JulianDateToDateTime(jd, y, mo, d, h, mi, s);
        const double dBack = Xfn::DateTimeToJulianDate(y, mo, d, h, mi, s);
        ASSERT_NEAR(Xfn::JulianDaysToSeconds(jd, dBack), 0.0, 1e-4);
        ASSERT_TRUE(s >= 0.0 && s < 60.0 && mi >= 0 && mi < 60 && h >= 0 && h < 24);
        if (s < 59.99) {
            ASSERT_TRUE(y == y0 && mo == m0 && d == d0 && h == h0 && mi == mi0) << jd;
        }
    }
}

TEST(RuntimeTimeSpan, PartsArithmeticAndFormat)
{
    const XTimeSpan a(1, 2, 3, 4);
    EXPECT_EQ(a.GetTotalSeconds(), 93784);
    EXPECT_EQ(a.GetDays(), 1);
    EXPECT_EQ(a.GetTotalHours(), 26);
    EXPECT_EQ(a.GetHours(), 2);
    EXPECT_EQ(a.GetTotalMinutes(), 1563);
    EXPECT_EQ(a.GetMinutes(), 3);
    EXPECT_EQ(a.GetSeconds(), 4);
    EXPECT_EQ(Str(a.Format("%D|%H|%M|%S")), "1|02|03|04");

    const XTimeSpan b(-1, 0, 0, 0);
    EXPECT_EQ(b.GetDays(), -1);
    EXPECT_EQ(b.GetHours(), 0);
    const XTimeSpan n(-93784);
    EXPECT_TRUE(n.GetDays() == -1 && n.GetHours() == -2 && n.GetMinutes() == -3 && n.GetSeconds() == -4);
    EXPECT_EQ(n.GetTotalHours(), -26);
    EXPECT_EQ(Str(n.Format("%D %H:%M:%S")), "-1 -2:-3:-4");
    EXPECT_EQ(XTimeSpan(0, -1, 30, 0).GetTotalSeconds(), -1800);
    // The constructor sums in 32 bits: 24856 days wrap around.
    EXPECT_EQ(XTimeSpan(24856, 0, 0, 0).GetTotalSeconds(), int64_t(24856) * 86400 - (int64_t(1) << 32));

    XTimeSpan c = a + n;
    EXPECT_EQ(c.GetTotalSeconds(), 0);
    c -= a;
    EXPECT_EQ(c, n);
    c += XTimeSpan(10);
    EXPECT_EQ((c - n).GetTotalSeconds(), 10);
    EXPECT_TRUE(n < a && a > n && n <= n && a >= a && a != n && !(a == n));

    EXPECT_EQ(Str(a.Format("100%% %x%")), "100% x");
    EXPECT_EQ(Str(a.Format("\xC3\xA9%D\xE2%%")), "\xC3\xA9" "1\xE2%");
    EXPECT_EQ(Str(a.Format(nullptr)), "");
    const XString sLong = XTimeSpan(1).Format(std::string(300, 'x').c_str());
    EXPECT_EQ(sLong.GetLength(), 127);
}

TEST_F(RuntimeTimeZone, ConstructorsFromCalendarFields)
{
    // Noon local time: 11:00 UTC in winter, 10:00 UTC in summer.
    EXPECT_EQ(XTime(2003, 1, 1, 12, 0, 0).GetTime(), kJan2003 + 11 * 3600);
    EXPECT_EQ(XTime(2003, 7, 1, 12, 0, 0).GetTime(), kJul2003 + 10 * 3600);
    EXPECT_EQ(XTime(2003, 1, 32, 0, 0, 0).GetTime(), XTime(2003, 2, 1, 0, 0, 0).GetTime()); // mktime normalises

    // DOS date 0x2E21 = 2003-01-01, time 0x6000 = 12:00:00; time 0x6021 adds
    // one minute and two seconds.
    EXPECT_EQ(XTime(0x2E21, 0x6000).GetTime(), kJan2003 + 11 * 3600);
    EXPECT_EQ(XTime(0x2E21, 0x6021).GetTime(), kJan2003 + 11 * 3600 + 62);
    // 2003-07-01 (0x2EE1) read as standard time is an hour later than summer time.
    EXPECT_EQ(XTime(0x2EE1, 0x6000, 0).GetTime() - XTime(0x2EE1, 0x6000, 1).GetTime(), 3600);

    tagXSystemTime st{2003, 7, 3, 1, 12, 0, 0, 999};
    EXPECT_EQ(XTime(st).GetTime(), kJul2003 + 10 * 3600);
    st.wYear = 1899;
    EXPECT_EQ(XTime(st).GetTime(), 0);

    // File times: 100-ns ticks since 1601.
    const uint64_t uTicks = (uint64_t(kJul2003 + 10 * 3600) + 11644473600ULL) * 10000000ULL + 1234567;
    const tagXFileTime ft{uint32_t(uTicks), uint32_t(uTicks >> 32)};
    EXPECT_EQ(XTime(ft).GetTime(), kJul2003 + 10 * 3600);
    EXPECT_EQ(XTime(tagXFileTime{0, 0}).GetTime(), 0);             // 1601: before 1900
    EXPECT_EQ(XTime(tagXFileTime{0, 0x80000000u}).GetTime(), 0);   // beyond the signed tick range
}

TEST_F(RuntimeTimeZone, BrokenDownTimesAndFormats)
{
    const XTime t(kJul2003 + 10 * 3600 + 5 * 60 + 6); // 12:05:06 summer time
    tm local{}, gmt{};
    ASSERT_EQ(t.GetLocalTm(&local), &local);
    EXPECT_TRUE(local.tm_year == 103 && local.tm_mon == 6 && local.tm_mday == 1 && local.tm_hour == 12 &&
                local.tm_min == 5 && local.tm_sec == 6 && local.tm_wday == 2 && local.tm_yday == 181 && local.tm_isdst > 0);
    ASSERT_EQ(t.GetGmtTm(&gmt), &gmt);
    EXPECT_EQ(gmt.tm_hour, 10);
    EXPECT_EQ(gmt.tm_isdst, 0);
    const tm* pShared = t.GetLocalTm();
    ASSERT_NE(pShared, nullptr);
    EXPECT_EQ(pShared->tm_hour, 12);

    tagXSystemTime st{};
    ASSERT_TRUE(t.GetAsSystemTime(st));
    EXPECT_TRUE(st.wYear == 2003 && st.wMonth == 7 && st.wDayOfWeek == 2 && st.wDay == 1 && st.wHour == 12 &&
                st.wMinute == 5 && st.wSecond == 6 && st.wMilliseconds == 0);
    EXPECT_EQ(XTime(st).GetTime(), t.GetTime());

    EXPECT_EQ(Str(t.Format("%Y-%m-%d %H:%M:%S %Z")), "2003-07-01 12:05:06 CEST");
    EXPECT_EQ(Str(t.FormatGmt("%Y-%m-%d %H:%M:%S")), "2003-07-01 10:05:06");
    EXPECT_EQ(Str(t.Format(std::string(200, 'x').c_str())), ""); // does not fit 128 bytes
    EXPECT_EQ(Str(t.Format(nullptr)), "");

    // A time the C library cannot break down.
    const XTime tFar(INT64_MAX);
    EXPECT_EQ(Str(tFar.Format("%Y")), "");
    EXPECT_EQ(Str(tFar.FormatGmt("%Y")), "");
    EXPECT_EQ(tFar.GetLocalTm(&local), nullptr);
    EXPECT_FALSE(tFar.GetAsSystemTime(st));
}

TEST(RuntimeTime, OperatorsAndClocks)
{
    const XTime t0(1000), t1(1600);
    EXPECT_EQ((t1 - t0).GetTotalSeconds(), 600);
    EXPECT_EQ((t0 - t1).GetTotalSeconds(), -600);
    EXPECT_EQ((t0 + XTimeSpan(600)).GetTime(), 1600);
    EXPECT_EQ((t1 - XTimeSpan(600)).GetTime(), 1000);
    XTime t = t0;
    t += XTimeSpan(0, 0, 10, 0);
    EXPECT_EQ(t, t1);
    t -= XTimeSpan(-5);
    EXPECT_EQ(t.GetTime(), 1605);
    EXPECT_TRUE(XTime(-1) < t0 && t1 > t0 && t0 <= t0 && t1 >= t0 && t0 != t1);
    EXPECT_EQ(XTime().GetTime(), 0);

    const int64_t nNow = int64_t(std::time(nullptr));
    EXPECT_LE(std::llabs(XTime::GetCurrentTime().GetTime() - nNow), 2);

    // Local milliseconds since Julian day 0, checked against the C library's
    // local time of the same moment.
    const time_t tt = std::time(nullptr);
    const uint64_t uMsec = Xfn::GetLocalTimeMsec();
    tm lt{};
    localtime_r(&tt, &lt);
    const int64_t nExpected = (int64_t(Xfn::DateToJulianDay(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday)) * 86400 +
                               lt.tm_hour * 3600 + lt.tm_min * 60 + lt.tm_sec) * 1000;
    EXPECT_LE(std::llabs(int64_t(uMsec) - nExpected), 2000);

    const int64_t c0 = Xfn::GetCounterMsec();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int64_t c1 = Xfn::GetCounterMsec();
    EXPECT_GT(c0, 0);
    EXPECT_GE(c1 - c0, 19);
}
