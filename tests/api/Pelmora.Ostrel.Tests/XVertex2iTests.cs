using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XVertex2iTests
{
    private static (int, int) Xy(XVertex2i v) => (v.x, v.y);

    [Fact]
    public void ScalingRoundsDifferentlyOnEachSide()
    {
        var v = new XVertex2i(3, 3);
        Assert.Equal((2, 2), Xy(v * 0.5));
        Assert.Equal((1, 1), Xy(0.5 * v));
        Assert.Equal((2, 2), Xy(v / 2));
        Assert.Equal((1, 1), Xy(new XVertex2i(3, 3) / 3.5));
        // Adding 0.5 and truncating toward zero is not rounding for negatives.
        Assert.Equal((-1, 0), Xy(new XVertex2i(-3, 0) * 0.7));
        Assert.Equal((-2, 0), Xy(0.7 * new XVertex2i(-3, 0)));
        Assert.Equal((int.MaxValue, 0), Xy(new XVertex2i(1, 0) / 0.0));
    }

    [Fact]
    public void IntegerSumsNormsAndNormalize()
    {
        var a = new XVertex2i(3, 4);
        Assert.Equal((5.0, 25.0, 5.0), (a.norm(), a.norm2(), a.Length));
        Assert.Equal(5.0, a.dotProduct(new XVertex2i(-1, 2)));
        Assert.Equal(5.0, XVertex2i.dotProduct(a, new XVertex2i(-1, 2)));
        // Summed in 32 bits: 2 × 65536² wraps to 0.
        Assert.Equal(0.0, new XVertex2i(65536, 65536).norm2());
        Assert.Equal(0.0, XVertex2i.dotProduct(new XVertex2i(65536, 65536), new XVertex2i(65536, 65536)));

        Assert.Equal((0, 0), Xy(a.GetNormalize()));  // 0.6 and 0.8 truncate
        Assert.Equal((1, 0), Xy(new XVertex2i(7, 0).GetNormalize()));
        var b = new XVertex2i(-9, 0);
        b.Normalize();
        Assert.Equal((-1, 0), Xy(b));

        Assert.Equal((2, 6), Xy(a + new XVertex2i(-1, 2)));
        Assert.Equal((4, 2), Xy(a - new XVertex2i(-1, 2)));
        Assert.Equal((-3, -4), Xy(-a));
        Assert.Equal((int.MinValue, 0), Xy(new XVertex2i(int.MaxValue, 0) + new XVertex2i(1, 0)));

        var c = new XVertex2i(a);
        c.x = 0;
        Assert.Equal(3, a.x);
        Assert.True(a.IsEqual(new XVertex2i(new XVertex2i.Unmanaged(3, 4))));
        Assert.False(a.IsEqual(null));
        Assert.Equal(4, a.GetUnmanObj().y);
        Assert.Throws<ArgumentNullException>(() => -(XVertex2i)null!);
    }
}
