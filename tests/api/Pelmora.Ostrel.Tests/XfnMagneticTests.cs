using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>The magnetic declination of <see cref="Xfn"/>: the coefficient file found through the
/// installation home, both date forms, the poles and bad arguments. The model's numerics are
/// proven natively.</summary>
public class XfnMagneticTests
{
    // Rows of the WMM2020 and WMM2025 reports' test-value tables (NOAA NCEI and BGS): date,
    // height (km), latitude, longitude, declination (deg), its annual change (deg/year).
    [Theory]
    [InlineData(2020.0, 0, 80, 0, -1.28, 0.51)]
    [InlineData(2022.5, 100, -80, 240, 68.55, -0.09)]
    [InlineData(2025.0, 0, 0, 120, -0.16, -0.03)]
    [InlineData(2027.5, 100, 80, 0, 2.16, 0.52)]
    public void ReportTestValues(double date, double heightKm, double lat, double lon, double d, double ddotDeg)
    {
        double decl = double.NaN, ddot = double.NaN;
        Assert.True(Xfn.CalcMagneticDeclination(lat, lon, heightKm * 1000.0, date, ref decl, ref ddot));
        Assert.InRange(decl, d - 0.01, d + 0.01);
        Assert.InRange(ddot / 60.0, ddotDeg - 0.01, ddotDeg + 0.01);
    }

    [Fact]
    public void CalendarDayIsItsDecimalYear()
    {
        // 31 December 2024 is day 366 of 366, exactly 2025.0; 29 February 2024 is day 60.
        foreach (var (y, m, d, date) in new[] { (2024, 12, 31, 2025.0), (2024, 2, 29, 2024 + 60.0 / 366) })
        {
            double d1 = 0, dd1 = 0, d2 = 1, dd2 = 1;
            Assert.True(Xfn.CalcMagneticDeclination(-33.86, 151.21, 50.0, y, m, d, ref d1, ref dd1));
            Assert.True(Xfn.CalcMagneticDeclination(-33.86, 151.21, 50.0, date, ref d2, ref dd2));
            Assert.Equal(d2, d1);
            Assert.Equal(dd2, dd1);
        }
    }

    [Fact]
    public void GeographicPolesGiveNotANumber()
    {
        foreach (double lat in new[] { 90.0, -90.0 })
        {
            double decl = 0, ddot = 0;
            Assert.True(Xfn.CalcMagneticDeclination(lat, 0.0, 0.0, 2026, 1, 1, ref decl, ref ddot));
            Assert.True(double.IsNaN(decl) && double.IsNaN(ddot));
        }
    }

    [Theory]
    [InlineData(90.5, 0, 0, 2025, 1, 1, "lat")]
    [InlineData(double.NaN, 0, 0, 2025, 1, 1, "lat")]
    [InlineData(0, double.PositiveInfinity, 0, 2025, 1, 1, "lon")]
    [InlineData(0, 0, double.NaN, 2025, 1, 1, "alt")]
    [InlineData(0, 0, 0, 0, 1, 1, "year")]
    [InlineData(0, 0, 0, 2025, 13, 1, "month")]
    [InlineData(0, 0, 0, 2025, 2, 29, "day")]
    [InlineData(0, 0, 0, 2025, 4, 0, "day")]
    public void BadArgumentsThrowAndLeaveTheOutputs(double lat, double lon, double alt, int y, int m, int d,
                                                    string name)
    {
        double decl = 7, ddot = 8;
        var e = Assert.Throws<ArgumentOutOfRangeException>(
            () => Xfn.CalcMagneticDeclination(lat, lon, alt, y, m, d, ref decl, ref ddot));
        Assert.Equal(name, e.ParamName);
        Assert.Equal((7.0, 8.0), (decl, ddot));
        if (name != "year" && name != "month" && name != "day")
            Assert.Throws<ArgumentOutOfRangeException>(
                () => Xfn.CalcMagneticDeclination(lat, lon, alt, 2025.0, ref decl, ref ddot));
        var f = Assert.Throws<ArgumentOutOfRangeException>(
            () => Xfn.CalcMagneticDeclination(0, 0, 0, double.NaN, ref decl, ref ddot));
        Assert.Equal("decimalYear", f.ParamName);
    }
}
