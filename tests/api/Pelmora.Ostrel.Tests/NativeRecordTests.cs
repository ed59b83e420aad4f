using System;
using System.Runtime.InteropServices;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XGCPTests
{
    [Fact]
    public void ReadsTheNativeRecordAndCopiesByValue()
    {
        // The native record: ID at 0, Used at 4, imgCoord at 8, refCoord at 24; 48 bytes.
        Assert.Equal(48, Marshal.SizeOf<XGCP.Native>());
        IntPtr mem = Marshal.AllocHGlobal(48);
        try
        {
            Marshal.WriteInt32(mem, 0, 42);
            Marshal.WriteInt32(mem, 4, 1);
            double[] coords = { 1, 2, 3, 4, 5 };
            for (int i = 0; i < coords.Length; ++i) Marshal.WriteInt64(mem, 8 + 8 * i, BitConverter.DoubleToInt64Bits(coords[i]));
            var n = new XGCP(mem);
            Assert.Equal((42, true, 1.0, 2.0, 3.0, 4.0, 5.0),
                         (n.ID, n.Used, n.imgCoord.x, n.imgCoord.y, n.refCoord.x, n.refCoord.y, n.refCoord.z));
        }
        finally
        {
            Marshal.FreeHGlobal(mem);
        }

        var p = new XGCP { ID = 7, Used = false, imgCoord = new XVertex2d(10.5, 20.25), refCoord = new XVertex3d(5, 4, 12) };
        var q = new XGCP(p);
        p.imgCoord.x = 99;
        Assert.Equal((7, false, 10.5, 20.25, 12.0), (q.ID, q.Used, q.imgCoord.x, q.imgCoord.y, q.refCoord.z));
        var r = new XGCP();
        XVertex2d own = r.imgCoord;
        r.op_Assign(p);
        Assert.Same(own, r.imgCoord);  // values copied into the object's own vertex
        Assert.Equal(99, r.imgCoord.x);

        Check.Throws<ArgumentNullException>(() => new XGCP(IntPtr.Zero), () => new XGCP((XGCP)null!), () => p.imgCoord = null!);
        p.Dispose();
        Assert.Equal(7, p.ID);  // disposal releases nothing
    }
}

[Collection(nameof(NativeLifetimeCollection))]
public class XHitFlagTests
{
    [Fact]
    public void RecordStartsEmptyAndCopiesEightBytes()
    {
        using var h = new XHitFlag();
        Assert.Equal((eHitFlag.Null, -1), (h.Flag, h.Index));
        IntPtr raw = Marshal.AllocHGlobal(8);
        try
        {
            Marshal.WriteInt32(raw, 0, (int)eHitFlag.LineSeg);
            Marshal.WriteInt32(raw, 4, 7);
            using var copy = new XHitFlag(raw);
            Marshal.WriteInt32(raw, 4, 8);  // the copy is independent of the source
            Assert.Equal((eHitFlag.LineSeg, 7), (copy.Flag, copy.Index));
        }
        finally
        {
            Marshal.FreeHGlobal(raw);
        }

        // A copy of another object owns a record of its own.
        h.Flag = eHitFlag.Vertex;
        h.Index = 12;
        long live = Xfn.LiveNativeObjects;
        var dup = new XHitFlag(h);
        Assert.Equal(live + 1, Xfn.LiveNativeObjects);
        h.Index = 3;
        Assert.Equal((eHitFlag.Vertex, 12), (dup.Flag, dup.Index));
        dup.Dispose();
        Assert.Equal(live, Xfn.LiveNativeObjects);
        Check.Throws<ObjectDisposedException>(() => new XHitFlag(dup), () => _ = dup.Flag, () => dup.Index = 1);
        Check.Throws<ArgumentNullException>(() => new XHitFlag((XHitFlag)null!), () => new XHitFlag(IntPtr.Zero));

        h.Flag = eHitFlag.RightBottom;
        Check.Throws<ArgumentOutOfRangeException>(() => h.Flag = (eHitFlag)8, () => h.Flag = (eHitFlag)(-1));
        Assert.Equal(eHitFlag.RightBottom, h.Flag);
    }
}

public class XWarpCoeffTests
{
    [Fact]
    public void NewMappingPassesPointsThroughAndRotationTurnsAboutTheCentre()
    {
        using var w = new XWarpCoeff();
        Assert.True(w.IsUnchanged());
        w.WarpPoint(3, 4, out double x, out double y);
        Assert.Equal((3.0, 4.0), (x, y));

        w.CreateRotation(-30, 100, 50);
        Assert.False(w.IsUnchanged());
        double px = 110, py = 50;
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
        using var c = new XWarpCoeff(a.Handle.DangerousGetHandle());
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
        using var other = new XWarpCoeff();
        Check.Throws<ArgumentNullException>(() => new XWarpCoeff((XWarpCoeff)null!), () => new XWarpCoeff(IntPtr.Zero),
                                            () => w.op_Assign(null!));
        w.Dispose();
        w.Dispose();
        Check.Throws<ObjectDisposedException>(() => w.IsUnchanged(), () => w.WarpPoint(1, 2, out _, out _),
                                              () => other.op_Assign(w));
    }
}
