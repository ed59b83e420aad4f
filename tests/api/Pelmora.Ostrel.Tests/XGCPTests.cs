using System;
using System.Runtime.InteropServices;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XGCPTests
{
    [Fact]
    public void DefaultsCopiesAndNativeRecords()
    {
        var p = new XGCP();
        Assert.True(p.Used);
        Assert.Equal(0, p.ID);
        Assert.Equal(0, p.refCoord.z);

        p.ID = 7;
        p.Used = false;
        p.imgCoord = new XVertex2d(10.5, 20.25);
        p.refCoord = new XVertex3d(500000, 4100000, 12);
        var q = new XGCP(p);
        Assert.Equal((7, false, 10.5, 20.25, 12.0), (q.ID, q.Used, q.imgCoord.x, q.imgCoord.y, q.refCoord.z));
        Assert.NotSame(p.imgCoord, q.imgCoord);
        p.imgCoord.x = 99;
        Assert.Equal(10.5, q.imgCoord.x);

        var r = new XGCP();
        XVertex2d own = r.imgCoord;
        r.op_Assign(p);
        Assert.Same(own, r.imgCoord);  // values copied into the object's own vertex
        Assert.Equal(99, r.imgCoord.x);

        var n = new XGCP.Native
        {
            ID = 42,
            Used = 1,
            imgCoord = new XVertex2d.Unmanaged(1, 2),
            refCoord = new XVertex3d.Unmanaged(3, 4, 5),
        };
        Assert.Equal(48, Marshal.SizeOf<XGCP.Native>());
        IntPtr mem = Marshal.AllocHGlobal(48);
        try
        {
            Marshal.StructureToPtr(n, mem, false);
            var fromNative = new XGCP(mem);
            Assert.Equal((42, true, 2.0, 5.0), (fromNative.ID, fromNative.Used, fromNative.imgCoord.y, fromNative.refCoord.z));
        }
        finally
        {
            Marshal.FreeHGlobal(mem);
        }

        Assert.Throws<ArgumentNullException>(() => new XGCP(IntPtr.Zero));
        Assert.Throws<ArgumentNullException>(() => new XGCP((XGCP)null!));
        Assert.Throws<ArgumentNullException>(() => p.imgCoord = null!);
        p.Dispose();
        Assert.Equal(7, p.ID);
    }
}
