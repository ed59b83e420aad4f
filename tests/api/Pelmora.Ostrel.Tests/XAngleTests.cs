using System;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XAngleTests
{
    [Theory]
    // FromDms adds the magnitudes; SetDms takes the sign of the first non-zero part.
    [InlineData(-10, 30, 0, 10.5, -10.5, 12)]
    [InlineData(10, -30, 0, 10.5, -10.5, 12)]
    [InlineData(0, 0, -36, 0.01, -0.01, 12)]
    [InlineData(int.MinValue, 0, 0, 2147483648.0, -2147483648.0, 3)]  // no overflow on the magnitude
    public void DmsSignRulesDifferBetweenFromDmsAndSetDms(int d, int m, double s, double fromDms, double setDms, int digits)
    {
        Assert.Equal(fromDms, XAngle.FromDms(d, m, s).deg, digits);
        var a = new XAngle();
        a.SetDms(d, m, s);
        Assert.Equal(setDms, a.deg, digits);
    }

    [Fact]
    public void DmsPartsAndStringCarryTheSignOnTheDegreesOnly()
    {
        XAngle.FromDegree(-10.5).GetDms(out int d, out int m, out double s);
        Assert.Equal((10, 30), (d, m));
        Assert.Equal(0.0, s, 9);
        XAngle.FromDegree(-0.25).GetDms(out d, out m, out _);
        Assert.Equal((0, 15), (d, m));

        Assert.Equal(new[] { "0°30'0.000\"", "37°30'15.000\"", "-1°0'36.000\"" },
                     new[] { XAngle.FromDegree(-0.5), XAngle.FromDms(37, 30, 15), XAngle.FromDegree(-1.01) }
                         .Select(a => a.GetDmsString()));
        _ = new XAngle(double.NaN).GetDmsString();  // no exception for a non-number
    }

    [Theory]
    [InlineData(13.0, 13.0 - XConstants.TwoPI)]  // one turn only: still above 2π
    [InlineData(-7.0, -7.0 + XConstants.TwoPI)]
    [InlineData(XConstants.TwoPI, XConstants.TwoPI)]
    [InlineData(-1.0, -1.0)]
    public void PublicNormalizeRemovesOneTurnAtMost(double rad, double expected)
    {
        var a = new XAngle(rad);
        a.Normalize();
        Assert.Equal(expected, a.rad);
    }

    [Fact]
    public void DisposalReleasesNothingAndKeepsTheValue()
    {
        var a = XAngle.FromDegree(45);
        a.Dispose();
        a.Dispose();
        Assert.Equal(45 * XConstants.Deg2Rad, a.rad);
        a.SetDms(-1, 30, 0);  // still usable, the core call included
        Assert.Equal(-1.5, a.deg, 12);
    }

    [Fact]
    public void UnitsOperatorsAndComparisons()
    {
        Assert.Equal(Math.PI, XAngle.FromDegree(180).rad);
        Assert.Equal(57.29577951308232, new XAngle(1).deg);
        Assert.Equal(90 * 0.017453292519943295, new XAngle { deg = 90 }.rad);

        var x = new XAngle(1.5);
        var y = new XAngle(0.5);
        Assert.Equal(new[] { 2.0, 1.0, 1.0, 2.5, -0.5, 0.75, 3.0, 3.0, 2.0, 2.5 },
                     new[] { x + y, x - y, x.Subtract(y), x + 1.0, 1.0 - x, x * y, 2.0 * x, x / y, 1.0 / y,
                             XAngle.Abs(new XAngle(-2.5)) }.Select(a => a.rad));
        Assert.NotSame(x, x + 0.0);
        Assert.Equal(1.5, x.rad);  // operands untouched

        var nan = new XAngle(double.NaN);
        Assert.Equal(new[] { true, true, false, false, true, false, false },
                     new[] { y < x, x > y, nan < x, nan > x, XAngle.IsNaN(nan), nan.IsEqual(nan), x.IsEqual(null) });
        Assert.True(x.IsEqual(new XAngle(new XAngle.Unmanaged(1.5))));
        Assert.Equal(1.5, x.GetUnmanObj().rad);
        Assert.Throws<ArgumentNullException>(() => x + (XAngle)null!);
        Assert.Throws<ArgumentNullException>(() => XAngle.Abs(null!));
    }
}
