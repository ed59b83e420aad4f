using System;
using System.Reflection;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XConstantsTests
{
    [Fact]
    public void ConstantsAreMutuallyConsistent()
    {
        Assert.Equal(12, typeof(XConstants).GetFields(BindingFlags.Public | BindingFlags.Static).Length);
        Assert.All(typeof(XConstants).GetFields(BindingFlags.Public | BindingFlags.Static),
            f => Assert.Equal(typeof(double), f.FieldType));

        // Angles: exact to the last bit of the double.
        Assert.Equal(Math.PI, XConstants.PI);
        Assert.Equal(Math.PI / 2, XConstants.HalfPI);
        Assert.Equal(Math.PI * 2, XConstants.TwoPI);
        Assert.Equal(180.0 / Math.PI, XConstants.Rad2Deg);
        Assert.Equal(Math.PI / 180.0, XConstants.Deg2Rad);

        Assert.Equal(299792458.0, XConstants.LightSpeed);
        Assert.Equal(24 * 60 * 60, XConstants.SecPerDay);

        // Earth model: eccentricity, its square and the flattening describe one ellipsoid.
        double f = XConstants.EarthFlattening;
        Assert.Equal(XConstants.EarthEccen2, XConstants.EarthEccen * XConstants.EarthEccen, 1e-13);
        Assert.Equal(XConstants.EarthEccen2, 2 * f - f * f, 1e-13);
        Assert.Equal(XConstants.EarthR2, XConstants.EarthR1 * (1 - f), 0.5);
        Assert.Equal(6378137.0, XConstants.EarthR1);
        Assert.NotNull(new XConstants());
    }
}
