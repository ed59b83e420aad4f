using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XVertex3dTests
{
    private static void AssertXyz(double x, double y, double z, XVertex3d v) => Assert.Equal((x, y, z), (v.x, v.y, v.z));

    [Fact]
    public void ArithmeticProductsAndNorms()
    {
        var a = new XVertex3d(1, 2, 3);
        var b = new XVertex3d(4, -5, 6);
        AssertXyz(5, -3, 9, a + b);
        AssertXyz(-3, 7, -3, a - b);
        AssertXyz(-1, -2, -3, -a);
        AssertXyz(2, 4, 6, a * 2);
        AssertXyz(2, 4, 6, 2 * a);
        AssertXyz(0.5, 1, 1.5, a / 2);
        Assert.Equal(12.0, a.dotProduct(b));
        Assert.Equal(12.0, XVertex3d.dotProduct(a, b));

        var ex = new XVertex3d(1, 0, 0);
        var ey = new XVertex3d(0, 1, 0);
        AssertXyz(0, 0, 1, ex.crossProduct(ey));
        AssertXyz(0, 0, -1, XVertex3d.crossProduct(ey, ex));
        Assert.Equal(Math.PI / 2, XVertex3d.GetAngle(ex, ey).rad, 15);
        Assert.True(double.IsNaN(XVertex3d.GetAngle(ex, new XVertex3d()).rad));

        var c = new XVertex3d(2, 3, 6);
        Assert.Equal(7.0, c.norm());
        Assert.Equal(49.0, c.norm2());
        Assert.Equal(7.0, c.Length);
        var n = c.GetNormalize();
        AssertXyz(2, 3, 6, c);
        AssertXyz(2.0 / 7, 3.0 / 7, 6.0 / 7, n);
        c.Normalize();
        Assert.True(c.IsEqual(n));
        var zero = new XVertex3d();
        zero.Normalize();
        Assert.True(double.IsNaN(zero.x));
    }

    [Fact]
    public void CopiesEqualityAndBadInput()
    {
        var a = new XVertex3d(1, 2, 3);
        var copy = new XVertex3d(a);
        copy.x = 9;
        Assert.Equal(1.0, a.x);
        Assert.False(a.IsEqual(null));
        Assert.False(a.IsEqual(copy));
        Assert.False(new XVertex3d(double.NaN, 0, 0).IsEqual(new XVertex3d(double.NaN, 0, 0)));
        var u = a.GetUnmanObj();
        Assert.True(new XVertex3d(u).IsEqual(a));

        Assert.Throws<ArgumentNullException>(() => new XVertex3d((XVertex3d)null!));
        Assert.Throws<ArgumentNullException>(() => a + null!);
        Assert.Throws<ArgumentNullException>(() => a.crossProduct(null!));
    }
}
