using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XWarpCoeffTests
{
    [Fact]
    public void NewMappingPassesPointsThroughAndRotationMovesThem()
    {
        using var w = new XWarpCoeff();
        Assert.True(w.IsUnchanged());
        w.WarpPoint(3, 4, out double x, out double y);
        Assert.Equal((3.0, 4.0), (x, y));

        w.CreateRotation(90, 0, 0);
        Assert.False(w.IsUnchanged());
        w.WarpPoint(1, 0, out x, out y);
        Assert.Equal(0, x, 15);
        Assert.Equal(1, y, 15);

        w.CreateRotation(-30, 100, 50);
        double px = 100, py = 50;
        w.WarpPoint(ref px, ref py);
        Assert.Equal(100, px, 12);
        Assert.Equal(50, py, 12);
        px = 110;
        w.WarpPoint(ref px, ref py);
        Assert.Equal(100 + 10 * Math.Cos(-Math.PI / 6), px, 12);
        Assert.Equal(50 + 10 * Math.Sin(-Math.PI / 6), py, 12);
    }

    [Fact]
    public void CopiesAndAssignmentAreIndependent()
    {
        using var a = new XWarpCoeff();
        a.CreateRotation(45, 0, 0);
        using var b = new XWarpCoeff(a);
        using var c = new XWarpCoeff(a.Handle);
        using var d = new XWarpCoeff();
        Assert.Same(d, d.op_Assign(a));
        a.CreateRotation(0, 0, 0);
        foreach (var m in new[] { b, c, d })
        {
            m.WarpPoint(1, 0, out double x, out double y);
            Assert.Equal(Math.Sqrt(0.5), x, 14);
            Assert.Equal(Math.Sqrt(0.5), y, 14);
        }
        Assert.Same(d, d.op_Assign(d));
        Assert.False(d.IsUnchanged());
    }

    [Fact]
    public void BadInputThrows()
    {
        var w = new XWarpCoeff();
        Assert.Throws<ArgumentNullException>(() => new XWarpCoeff((XWarpCoeff)null!));
        Assert.Throws<ArgumentNullException>(() => new XWarpCoeff(IntPtr.Zero));
        Assert.Throws<ArgumentNullException>(() => w.op_Assign(null!));
        w.Dispose();
        w.Dispose();
        Assert.Throws<ObjectDisposedException>(() => w.IsUnchanged());
        Assert.Throws<ObjectDisposedException>(() => w.WarpPoint(1, 2, out _, out _));
        using var other = new XWarpCoeff();
        Assert.Throws<ObjectDisposedException>(() => other.op_Assign(w));
    }
}
