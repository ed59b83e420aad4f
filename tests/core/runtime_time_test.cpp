#include <gtest/gtest.h>

#include <tivra/runtime/XTime.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <thread>

using namespace Pelmora::Tivra;

namespace {

std::string Str(const XString& s) { return std::string(static_cast<const char*>(s), size_t(s.GetLength())); }

/// Central European rules as a POSIX TZ string, so no zone database is needed.
class RuntimeTimeZone : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* psz = std::getenv("TZ")) m_strTZ = psz;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override
    {
        m_strTZ ? setenv("TZ", m_strTZ->c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> m_strTZ;
};

constexpr int64_t kJan2003 = 1041379200; // 2003-01-01 00:00:00 UTC
constexpr int64_t kJul2003 = 1057017600; // 2003-07-01 00:00:00 UTC

} // namespace

TEST(RuntimeCalendar, JulianDayNumbersOfEveryDateFromYear1To3000)
{
    EXPECT_EQ(Xfn::DateToJulianDay(2000, 1, 1), 2451545);
    EXPECT_EQ(Xfn::DateToJulianDay(1858, 11, 17), 2400001); // modified Julian day 0 starts at its midnight
    EXPECT_EQ(Xfn::DateToJulianDay(1582, 10, 15), 2299161); // first Gregorian day
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int32_t nPrevious = Xfn::DateToJulianDay(1, 1, 1) - 1;
    for (int y = 1; y <= 3000; ++y) {
        const bool bLeap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= kDays[m - 1] + (m == 2 && bLeap); ++d) {
                const int32_t j = Xfn::DateToJulianDay(y, m, d);
                ASSERT_EQ(j, ++nPrevious) << y << "-" << m << "-" << d; // consecutive, no gaps
                int yy = 0, mm = 0, dd = 0;
                Xfn::JulianDayToDate(j, yy, mm, dd);
                ASSERT_TRUE(yy == y && mm == m && dd == d) << y << "-" << m << "-" << d;
            }
    }
}

TEST(RuntimeCalendar, JulianDatesAndSeconds)
{
    // Anchors of the forward conversion; the round trips then pin the inverse.
    EXPECT_EQ(Xfn::DateTimeToJulianDate(2000, 1, 1, 12, 0, 0), 2451545.0);
    EXPECT_NEAR(Xfn::DateTimeToJulianDate(2000, 1, 1, 18, 30, 36), 2451545.0 + 6.51 / 24, 1e-9);
    EXPECT_EQ(Xfn::JulianDaysToSeconds(2451545.0, 2451545.5), 43200.0);

    // Random round trips come back within a microsecond, possibly as 59.999...
    // of the minute before.
    std::mt19937 rng(3);
    int y, mo, d, h, mi;
    double s;
    for (int i = 0; i < 2000; ++i) {
        const int y0 = 1900 + int(rng() % 200), m0 = 1 + int(rng() % 12), d0 = 1 + int(rng() % 28);
        const int h0 = int(rng() % 24), mi0 = int(rng() % 60), s0 = int(rng() % 60);
        const double jd = Xfn::DateTimeToJulianDate(y0, m0, d0, h0, mi0, s0);
        Xfn::JulianDateToDateTime(jd, y, mo, d, h, mi, s);
        ASSERT_NEAR(Xfn::JulianDaysToSeconds(jd, Xfn::DateTimeToJulianDate(y, mo, d, h, mi, s)), 0.0, 1e-4);
        ASSERT_TRUE(s >= 0.0 && s < 60.0 && mi >= 0 && mi < 60 && h >= 0 && h < 24);
        if (s < 59.99) {
            ASSERT_TRUE(y == y0 && mo == m0 && d == d0 && h == h0 && mi == mi0) << jd;
        }
    }
}

TEST(RuntimeTimeSpan, PartsArithmeticAndFormat)
{
    // Parts truncate toward zero: every part of a negative span is negative.
    const XTimeSpan a(1, 2, 3, 4), n(-93784);
    EXPECT_EQ(a.GetTotalSeconds(), 93784);
    EXPECT_TRUE(a.GetTotalHours() == 26 && a.GetTotalMinutes() == 1563);
    EXPECT_EQ(Str(a.Format("%D|%H|%M|%S")), "1|02|03|04");
    EXPECT_EQ(Str(n.Format("%D %H:%M:%S")), "-1 -2:-3:-4");
    EXPECT_EQ(Str(XTimeSpan(-1, 0, 0, 0).Format("%D %H")), "-1 00");
    EXPECT_EQ(XTimeSpan(0, -1, 30, 0).GetTotalSeconds(), -1800);
    // The constructor sums in 32 bits: 24856 days wrap around.
    EXPECT_EQ(XTimeSpan(24856, 0, 0, 0).GetTotalSeconds(), int64_t(24856) * 86400 - (int64_t(1) << 32));

    XTimeSpan c = a;
    EXPECT_TRUE((c += n) == XTimeSpan(0) && (c -= a) == n && a - n == a + a && a + n == XTimeSpan(0));
    EXPECT_TRUE(n < a && a > n && n <= n && a >= a && a != n && !(a == n));

    EXPECT_EQ(Str(a.Format("100%% %x%")), "100% x");
    EXPECT_EQ(Str(a.Format("\xC3\xA9%D\xE2%%")), "\xC3\xA9" "1\xE2%");
    EXPECT_EQ(Str(a.Format(nullptr)), "");
    EXPECT_EQ(XTimeSpan(1).Format(std::string(300, 'x').c_str()).GetLength(), 127);
}

TEST_F(RuntimeTimeZone, ConstructorsFromCalendarFields)
{
    const int64_t nWinterNoon = kJan2003 + 11 * 3600, nSummerNoon = kJul2003 + 10 * 3600;
    EXPECT_EQ(XTime(2003, 1, 1, 12, 0, 0).GetTime(), nWinterNoon);
    EXPECT_EQ(XTime(2003, 7, 1, 12, 0, 0).GetTime(), nSummerNoon);
    EXPECT_EQ(XTime(2003, 1, 32, 0, 0, 0).GetTime(), XTime(2003, 2, 1, 0, 0, 0).GetTime()); // normalised

    // DOS date 0x2E21 = 2003-01-01, time 0x6000 = 12:00:00, 0x6021 = 12:01:02.
    EXPECT_EQ(XTime(0x2E21, 0x6000).GetTime(), nWinterNoon);
    EXPECT_EQ(XTime(0x2E21, 0x6021).GetTime(), nWinterNoon + 62);
    // 2003-07-01 (0x2EE1) read as standard time is an hour later than as summer time.
    EXPECT_EQ(XTime(0x2EE1, 0x6000, 0).GetTime() - XTime(0x2EE1, 0x6000, 1).GetTime(), 3600);

    tagXSystemTime st{2003, 7, 3, 1, 12, 0, 0, 999};
    EXPECT_EQ(XTime(st).GetTime(), nSummerNoon);
    st.wYear = 1899;
    EXPECT_EQ(XTime(st).GetTime(), 0);

    // File times count 100 ns ticks since 1601.
    const uint64_t uTicks = (uint64_t(nSummerNoon) + 11644473600ULL) * 10000000ULL + 1234567;
    EXPECT_EQ(XTime(tagXFileTime{uint32_t(uTicks), uint32_t(uTicks >> 32)}).GetTime(), nSummerNoon);
    EXPECT_EQ(XTime(tagXFileTime{0, 0}).GetTime(), 0);           // before 1900
    EXPECT_EQ(XTime(tagXFileTime{0, 0x80000000u}).GetTime(), 0); // beyond the signed tick range
}

TEST_F(RuntimeTimeZone, BrokenDownTimesAndFormats)
{
    const XTime t(kJul2003 + 10 * 3600 + 5 * 60 + 6); // 12:05:06 summer time
    tm local{}, gmt{};
    ASSERT_EQ(t.GetLocalTm(&local), &local);
    EXPECT_TRUE(local.tm_year == 103 && local.tm_mon == 6 && local.tm_mday == 1 && local.tm_hour == 12 &&
                local.tm_min == 5 && local.tm_sec == 6 && local.tm_wday == 2 && local.tm_yday == 181 && local.tm_isdst > 0);
    ASSERT_EQ(t.GetGmtTm(&gmt), &gmt);
    EXPECT_TRUE(gmt.tm_hour == 10 && gmt.tm_isdst == 0);
    ASSERT_NE(t.GetLocalTm(), nullptr);
    EXPECT_EQ(t.GetLocalTm()->tm_hour, 12);

    tagXSystemTime st{};
    ASSERT_TRUE(t.GetAsSystemTime(st));
    EXPECT_TRUE(st.wYear == 2003 && st.wMonth == 7 && st.wDayOfWeek == 2 && st.wDay == 1 && st.wHour == 12 &&
                st.wMinute == 5 && st.wSecond == 6 && st.wMilliseconds == 0);
    EXPECT_EQ(XTime(st).GetTime(), t.GetTime());

    EXPECT_EQ(Str(t.Format("%Y-%m-%d %H:%M:%S %Z")), "2003-07-01 12:05:06 CEST");
    EXPECT_EQ(Str(t.FormatGmt("%Y-%m-%d %H:%M:%S")), "2003-07-01 10:05:06");
    EXPECT_EQ(Str(t.Format(std::string(200, 'x').c_str())), ""); // does not fit 128 bytes
    EXPECT_EQ(Str(t.Format(nullptr)), "");

    const XTime tFar(INT64_MAX); // beyond what the C library can break down
    EXPECT_EQ(Str(tFar.Format("%Y")) + Str(tFar.FormatGmt("%Y")), "");
    EXPECT_EQ(tFar.GetLocalTm(&local), nullptr);
    EXPECT_FALSE(tFar.GetAsSystemTime(st));
}

TEST(RuntimeTime, OperatorsAndClocks)
{
    const XTime t0(1000), t1(1600);
    EXPECT_EQ((t1 - t0).GetTotalSeconds(), 600);
    EXPECT_EQ((t0 - t1).GetTotalSeconds(), -600);
    EXPECT_TRUE(t0 + XTimeSpan(600) == t1 && t1 - XTimeSpan(600) == t0);
    XTime t = t0;
    EXPECT_EQ((t += XTimeSpan(0, 0, 10, 0)) -= XTimeSpan(-5), XTime(1605));
    EXPECT_TRUE(XTime(-1) < t0 && t1 > t0 && t0 <= t0 && t1 >= t0 && t0 != t1 && XTime().GetTime() == 0);

    // Against the C library's clock and its local time of the same moment;
    // the local milliseconds count from Julian day 0.
    const time_t tt = std::time(nullptr);
    EXPECT_LE(std::llabs(XTime::GetCurrentTime().GetTime() - int64_t(tt)), 2);
    const int64_t nMsec = int64_t(Xfn::GetLocalTimeMsec());
    tm lt{};
    localtime_r(&tt, &lt);
    const int64_t nExpected = (int64_t(Xfn::DateToJulianDay(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday)) * 86400 +
                               lt.tm_hour * 3600 + lt.tm_min * 60 + lt.tm_sec) * 1000;
    EXPECT_LE(std::llabs(nMsec - nExpected), 2000);

    const int64_t c0 = Xfn::GetCounterMsec();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GT(c0, 0);
    EXPECT_GE(Xfn::GetCounterMsec() - c0, 19);
}
