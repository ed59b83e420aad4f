using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XVertex4dTests
{
    [Fact]
    public void ArithmeticNormsCopiesAndEquality()
    {
        var a = new XVertex4d(1, 1, 1, 1);
        var b = new XVertex4d(1, 2, 3, 4);
        Assert.True((a + b).IsEqual(new XVertex4d(2, 3, 4, 5)));
        Assert.True((b - a).IsEqual(new XVertex4d(0, 1, 2, 3)));
        Assert.True((b * 2).IsEqual(new XVertex4d(2, 4, 6, 8)));
        Assert.True((2 * b).IsEqual(new XVertex4d(2, 4, 6, 8)));
        Assert.True((b / 2).IsEqual(new XVertex4d(0.5, 1, 1.5, 2)));
        Assert.Equal((2.0, 4.0, 2.0), (a.norm(), a.norm2(), a.Length));
        Assert.True(a.GetNormalize().IsEqual(new XVertex4d(0.5, 0.5, 0.5, 0.5)));
        a.Normalize();
        Assert.Equal(0.5, a.w);

        var c = new XVertex4d(b);
        c.w = 0;
        Assert.Equal(4.0, b.w);
        Assert.False(b.IsEqual(null));
        Assert.False(b.IsEqual(c));
        Assert.Equal(4.0, new XVertex4d(b.GetUnmanObj()).w);
        Assert.Throws<ArgumentNullException>(() => (XVertex4d)null! * 2);
    }
}
