using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

[Collection(nameof(NativeLifetimeCollection))]
public class XHitFlagTests
{
    [Fact]
    public void RecordStartsEmptyAndCopiesEightBytes()
    {
        using var h = new XHitFlag();
        Assert.Equal((eHitFlag.Null, -1), (h.Flag, h.Index));
        h.Flag = eHitFlag.RightBottom;
        h.Index = 42;
        Assert.Equal((eHitFlag.RightBottom, 42), (h.Flag, h.Index));

        IntPtr raw = Marshal.AllocHGlobal(8);
        try
        {
            Marshal.WriteInt32(raw, 0, (int)eHitFlag.LineSeg);
            Marshal.WriteInt32(raw, 4, 7);
            using var copy = new XHitFlag(raw);
            Marshal.WriteInt32(raw, 4, 8);  // the copy is independent of the source
            Assert.Equal((eHitFlag.LineSeg, 7), (copy.Flag, copy.Index));
            Assert.NotEqual(raw, copy.Handle);
        }
        finally
        {
            Marshal.FreeHGlobal(raw);
        }

        Assert.Throws<ArgumentNullException>(() => new XHitFlag(IntPtr.Zero));
        Assert.Throws<ArgumentOutOfRangeException>(() => h.Flag = (eHitFlag)8);
        Assert.Throws<ArgumentOutOfRangeException>(() => h.Flag = (eHitFlag)(-1));
        Assert.Equal(eHitFlag.RightBottom, h.Flag);
    }

    [MethodImpl(MethodImplOptions.NoInlining)]
    private static void Abandon(int count)
    {
        for (int i = 0; i < count; ++i) _ = new XHitFlag { Index = i };
    }

    [Fact]
    public void DisposalAndFinalisationFreeTheRecordOnce()
    {
        GC.Collect();
        GC.WaitForPendingFinalizers();
        long before = Xfn.LiveNativeObjects;
        Abandon(20);
        Assert.Equal(before + 20, Xfn.LiveNativeObjects);
        GC.Collect();
        GC.WaitForPendingFinalizers();
        Assert.Equal(before, Xfn.LiveNativeObjects);

        var h = new XHitFlag();
        Assert.Equal(before + 1, Xfn.LiveNativeObjects);
        h.Dispose();
        h.Dispose();
        Assert.Equal(before, Xfn.LiveNativeObjects);
        Assert.Throws<ObjectDisposedException>(() => h.Flag);
        Assert.Throws<ObjectDisposedException>(() => h.Index = 1);
    }
}
