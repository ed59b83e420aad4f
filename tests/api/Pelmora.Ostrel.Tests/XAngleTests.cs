using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XAngleTests
{
    [Fact]
    public void DmsSignRulesDifferBetweenFromDmsAndSetDms()
    {
        Assert.Equal(10.5, XAngle.FromDms(-10, 30, 0).deg, 12);
        Assert.Equal(0.5 + 10 + 1.0 / 3600, XAngle.FromDms(10, -30, -1).deg, 12);

        var a = new XAngle();
        a.SetDms(-10, 30, 0);
        Assert.Equal(-10.5, a.deg, 12);
        a.SetDms(10, -30, 0);
        Assert.Equal(-10.5, a.deg, 12);
        a.SetDms(0, 0, -36);
        Assert.Equal(-0.01, a.deg, 12);
        a.SetDms(int.MinValue, 0, 0);  // no overflow on the magnitude
        Assert.Equal(-2147483648.0, a.deg, 3);
        Assert.Equal(2147483648.0, XAngle.FromDms(int.MinValue, 0, 0).deg, 3);

        XAngle.FromDegree(-10.5).GetDms(out int d, out int m, out double s);
        Assert.Equal((10, 30), (d, m));
        Assert.Equal(0.0, s, 9);
        XAngle.FromDegree(-0.25).GetDms(out d, out m, out s);
        Assert.Equal((0, 15), (d, m));
    }

    [Fact]
    public void DmsStringCarriesTheSignOnTheDegreesOnly()
    {
        Assert.StartsWith("-10°30'", XAngle.FromDegree(-10.5).GetDmsString());
        Assert.Equal("0°30'0.000\"", XAngle.FromDegree(-0.5).GetDmsString());
        Assert.Equal("37°30'15.000\"", XAngle.FromDms(37, 30, 15).GetDmsString());
        Assert.Equal("0°0'0.000\"", new XAngle().GetDmsString());
        Assert.Equal("-1°0'36.000\"", XAngle.FromDegree(-1.01).GetDmsString());
        _ = new XAngle(double.NaN).GetDmsString();  // no exception for a non-number
    }

    [Fact]
    public void PublicNormalizeRemovesOneTurnAtMost()
    {
        var a = new XAngle(13.0);
        a.Normalize();
        Assert.Equal(13.0 - XConstants.TwoPI, a.rad);  // still above 2π
        a = new XAngle(-7.0);
        a.Normalize();
        Assert.Equal(-7.0 + XConstants.TwoPI, a.rad);
        a = new XAngle(XConstants.TwoPI);
        a.Normalize();
        Assert.Equal(XConstants.TwoPI, a.rad);
        a = new XAngle(-1.0);
        a.Normalize();
        Assert.Equal(-1.0, a.rad);
    }

    [Fact]
    public void UnitsOperatorsAndComparisons()
    {
        Assert.Equal(Math.PI, XAngle.FromDegree(180).rad);
        Assert.Equal(57.29577951308232, new XAngle(1).deg);
        var a = new XAngle { deg = 90 };
        Assert.Equal(90 * 0.017453292519943295, a.rad);

        var x = new XAngle(1.5);
        var y = new XAngle(0.5);
        Assert.Equal(2.0, (x + y).rad);
        Assert.Equal(1.0, (x - y).rad);
        Assert.Equal(1.0, x.Subtract(y).rad);
        Assert.Equal(2.5, (x + 1.0).rad);
        Assert.Equal(-0.5, (1.0 - x).rad);
        Assert.Equal(0.75, (x * y).rad);
        Assert.Equal(3.0, (2.0 * x).rad);
        Assert.Equal(3.0, (x / y).rad);
        Assert.Equal(2.0, (1.0 / y).rad);
        Assert.NotSame(x, x + 0.0);
        Assert.Equal(1.5, x.rad);  // operands untouched

        Assert.True(y < x);
        Assert.True(x > y);
        var nan = new XAngle(double.NaN);
        Assert.False(nan < x);
        Assert.False(nan > x);
        Assert.True(XAngle.IsNaN(nan));
        Assert.False(nan.IsEqual(nan));
        Assert.False(x.IsEqual(null));
        Assert.True(x.IsEqual(new XAngle(1.5)));
        Assert.Equal(2.5, XAngle.Abs(new XAngle(-2.5)).rad);

        Assert.Equal(1.5, x.GetUnmanObj().rad);
        Assert.Equal(-3.0, new XAngle(new XAngle.Unmanaged(-3.0)).rad);

        Assert.Throws<ArgumentNullException>(() => x + (XAngle)null!);
        Assert.Throws<ArgumentNullException>(() => XAngle.Abs(null!));
    }
}
