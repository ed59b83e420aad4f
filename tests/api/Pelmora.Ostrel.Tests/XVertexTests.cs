using System;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XVertexTests
{
    private static (double, double) Xy(XVertex2d v) => (v.x, v.y);
    private static (int, int) Xy(XVertex2i v) => (v.x, v.y);
    private static (double, double, double) Xyz(XVertex3d v) => (v.x, v.y, v.z);
    private static (double, double, double, double) Xyzw(XVertex4d v) => (v.x, v.y, v.z, v.w);

    [Fact]
    public void Vertex2dArithmeticNormsAndCopies()
    {
        var a = new XVertex2d(3, 4);
        var b = new XVertex2d(-1, 2);
        Assert.Equal(new[] { (2.0, 6.0), (4.0, 2.0), (-3.0, -4.0), (1.5, 2.0), (1.5, 2.0), (1.5, 2.0), (0.6, 0.8) },
                     new[] { a + b, a - b, -a, a * 0.5, 0.5 * a, a / 2, a.GetNormalize() }.Select(Xy));
        Assert.Equal((5.0, 5.0, 5.0, 25.0, 5.0), (a.dotProduct(b), XVertex2d.dotProduct(a, b), a.norm(), a.norm2(), a.Length));
        var copy = new XVertex2d(a);
        a.Normalize();
        Assert.Equal((0.6, 0.8), Xy(a));
        Assert.Equal((3.0, 4.0), Xy(copy));  // GetNormalize and the copy left the source alone
        Assert.Equal((3.0, 4.0), (copy.GetUnmanObj().x, copy.GetUnmanObj().y));
        Assert.True(new XVertex2d(new XVertex2d.Unmanaged(3, 4)).IsEqual(copy));
        Assert.False(a.IsEqual(null));
        Assert.Throws<ArgumentNullException>(() => XVertex2d.dotProduct(a, null!));
    }

    [Fact]
    public void Vertex2iScalingRoundsDifferentlyOnEachSide()
    {
        var v = new XVertex2i(3, 3);
        var n = new XVertex2i(-3, 0);
        // v * t adds 0.5 and truncates toward zero (not rounding for negatives); t * v only truncates.
        Assert.Equal(new[] { (2, 2), (1, 1), (2, 2), (1, 1), (-1, 0), (-2, 0), (int.MaxValue, 0) },
                     new[] { v * 0.5, 0.5 * v, v / 2, v / 3.5, n * 0.7, 0.7 * n, new XVertex2i(1, 0) / 0.0 }.Select(Xy));
    }

    [Fact]
    public void Vertex2iSumsWrapInThirtyTwoBitsAndNormalizeTruncates()
    {
        var a = new XVertex2i(3, 4);
        var b = new XVertex2i(-1, 2);
        var big = new XVertex2i(65536, 65536);
        Assert.Equal((5.0, 25.0, 5.0, 5.0, 5.0), (a.norm(), a.norm2(), a.Length, a.dotProduct(b), XVertex2i.dotProduct(a, b)));
        Assert.Equal((0.0, 0.0), (big.norm2(), XVertex2i.dotProduct(big, big)));  // 2 × 65536² wraps to 0
        var c = new XVertex2i(-9, 0);
        c.Normalize();
        Assert.Equal(new[] { (0, 0), (1, 0), (-1, 0), (2, 6), (4, 2), (-3, -4), (int.MinValue, 0) },
                     new[] { a.GetNormalize(), new XVertex2i(7, 0).GetNormalize(), c, a + b, a - b, -a,
                             new XVertex2i(int.MaxValue, 0) + new XVertex2i(1, 0) }.Select(Xy));
        var copy = new XVertex2i(a);
        copy.x = 0;
        Assert.Equal((3, 4, 4), (a.x, a.y, a.GetUnmanObj().y));
        Assert.True(a.IsEqual(new XVertex2i(new XVertex2i.Unmanaged(3, 4))));
        Assert.False(a.IsEqual(null));
        Assert.Throws<ArgumentNullException>(() => -(XVertex2i)null!);
    }

    [Fact]
    public void Vertex3dArithmeticProductsNormsAndCopies()
    {
        var a = new XVertex3d(1, 2, 3);
        var b = new XVertex3d(4, -5, 6);
        var ex = new XVertex3d(1, 0, 0);
        var ey = new XVertex3d(0, 1, 0);
        Assert.Equal(new[] { (5.0, -3.0, 9.0), (-3.0, 7.0, -3.0), (-1.0, -2.0, -3.0), (2.0, 4.0, 6.0), (2.0, 4.0, 6.0),
                             (0.5, 1.0, 1.5), (0.0, 0.0, 1.0), (0.0, 0.0, -1.0) },
                     new[] { a + b, a - b, -a, a * 2, 2 * a, a / 2, ex.crossProduct(ey), XVertex3d.crossProduct(ey, ex) }
                         .Select(Xyz));
        Assert.Equal((12.0, 12.0), (a.dotProduct(b), XVertex3d.dotProduct(a, b)));
        Assert.Equal(Math.PI / 2, XVertex3d.GetAngle(ex, ey).rad, 15);
        Assert.True(double.IsNaN(XVertex3d.GetAngle(ex, new XVertex3d()).rad));

        var c = new XVertex3d(2, 3, 6);
        var unit = c.GetNormalize();
        var copy = new XVertex3d(c);
        Assert.Equal((7.0, 49.0, 7.0), (c.norm(), c.norm2(), c.Length));
        Assert.Equal((2.0 / 7, 3.0 / 7, 6.0 / 7), Xyz(unit));
        c.Normalize();
        Assert.True(c.IsEqual(unit));
        Assert.Equal((2.0, 3.0, 6.0), Xyz(copy));  // GetNormalize and the copy left the source alone
        var zero = new XVertex3d();
        zero.Normalize();
        Assert.True(double.IsNaN(zero.x));

        Assert.True(new XVertex3d(a.GetUnmanObj()).IsEqual(a));
        Assert.False(a.IsEqual(null));
        Assert.False(a.IsEqual(copy));
        Assert.False(new XVertex3d(double.NaN, 0, 0).IsEqual(new XVertex3d(double.NaN, 0, 0)));
        Assert.Throws<ArgumentNullException>(() => new XVertex3d((XVertex3d)null!));
        Assert.Throws<ArgumentNullException>(() => a + null!);
        Assert.Throws<ArgumentNullException>(() => a.crossProduct(null!));
    }

    [Fact]
    public void Vertex4dArithmeticNormsAndCopies()
    {
        var a = new XVertex4d(1, 1, 1, 1);
        var b = new XVertex4d(1, 2, 3, 4);
        Assert.Equal(new[] { (2.0, 3.0, 4.0, 5.0), (0.0, 1.0, 2.0, 3.0), (2.0, 4.0, 6.0, 8.0), (2.0, 4.0, 6.0, 8.0),
                             (0.5, 1.0, 1.5, 2.0), (0.5, 0.5, 0.5, 0.5) },
                     new[] { a + b, b - a, b * 2, 2 * b, b / 2, a.GetNormalize() }.Select(Xyzw));
        Assert.Equal((2.0, 4.0, 2.0), (a.norm(), a.norm2(), a.Length));
        var c = new XVertex4d(b);
        c.w = 0;
        a.Normalize();
        Assert.Equal((0.5, 4.0), (a.w, b.w));
        Assert.False(b.IsEqual(c));
        Assert.False(b.IsEqual(null));
        Assert.Equal(Xyzw(b), Xyzw(new XVertex4d(b.GetUnmanObj())));
        Assert.Throws<ArgumentNullException>(() => (XVertex4d)null! * 2);
    }

    [Fact]
    public void VerticesAreDisposableAndKeepTheirComponents()
    {
        var v2 = new XVertex2d(3, 4);
        var v3 = new XVertex3d(2, 3, 6);
        var v4 = new XVertex4d(1, 1, 1, 1);
        var vi = new XVertex2i(3, 4);
        foreach (IDisposable d in new IDisposable[] { v2, v3, v4, vi, v2, v3, v4, vi }) d.Dispose();  // twice: nothing
        Assert.Equal((5.0, 7.0, 2.0, 5.0), (v2.norm(), v3.norm(), v4.norm(), vi.norm()));
        v2.Normalize();  // still usable in place
        vi.x = -3;
        Assert.Equal(((0.6, 0.8), (1.0, 1.5, 3.0), (0.5, 0.5, 0.5, 0.5), (-3, 4)),
                     (Xy(v2), Xyz(v3 / 2), Xyzw(v4.GetNormalize()), Xy(vi)));
    }

    [Fact]
    public void AttitudeHoldsItsAnglesByReference()
    {
        var att = new XAttitude(0.1, 0.2, 0.3);
        Assert.Equal((0.1, 0.2, 0.3), (att.yaw.rad, att.pitch.rad, att.roll.rad));
        var yaw = new XAngle(1.0);
        att.yaw = yaw;
        yaw.deg = 90;
        Assert.Equal(Math.PI / 2, att.yaw.rad, 15);
        Assert.Throws<ArgumentNullException>(() => att.roll = null!);
        att.Dispose();
        att.Dispose();
        Assert.Same(yaw, att.yaw);  // disposal releases nothing
    }
}
