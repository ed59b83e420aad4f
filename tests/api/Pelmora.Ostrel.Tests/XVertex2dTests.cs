using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XVertex2dTests
{
    [Fact]
    public void ArithmeticNormsCopiesAndEquality()
    {
        var a = new XVertex2d(3, 4);
        var b = new XVertex2d(-1, 2);
        Assert.True((a + b).IsEqual(new XVertex2d(2, 6)));
        Assert.True((a - b).IsEqual(new XVertex2d(4, 2)));
        Assert.True((-a).IsEqual(new XVertex2d(-3, -4)));
        Assert.True((a * 0.5).IsEqual(new XVertex2d(1.5, 2)));
        Assert.True((0.5 * a).IsEqual(new XVertex2d(1.5, 2)));
        Assert.True((a / 2).IsEqual(new XVertex2d(1.5, 2)));
        Assert.Equal(5.0, a.dotProduct(b));
        Assert.Equal(5.0, XVertex2d.dotProduct(a, b));
        Assert.Equal((5.0, 25.0, 5.0), (a.norm(), a.norm2(), a.Length));
        Assert.True(a.GetNormalize().IsEqual(new XVertex2d(0.6, 0.8)));
        a.Normalize();
        Assert.True(a.IsEqual(new XVertex2d(0.6, 0.8)));

        var c = new XVertex2d(a);
        c.y = 0;
        Assert.Equal(0.8, a.y);
        Assert.False(a.IsEqual(null));
        Assert.True(new XVertex2d(new XVertex2d.Unmanaged(7, 8)).IsEqual(new XVertex2d(7, 8)));
        Assert.Equal(8.0, new XVertex2d(7, 8).GetUnmanObj().y);
        Assert.Throws<ArgumentNullException>(() => XVertex2d.dotProduct(a, null!));
    }
}
