using System;
using System.Collections.Concurrent;
using System.IO;
using System.Linq;
using System.Runtime.CompilerServices;
using System.Threading;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XGridTests
{
    private const double NaN64 = XGrid.NAN_REAL64;

    private static XGrid Row(eDataType type, params double[] values)
    {
        var g = new XGrid(1, values.Length, type);
        for (int c = 0; c < values.Length; ++c) g.SetValue(0, c, values[c]);
        return g;
    }

    private static double[] Values(XGrid g) =>
        Enumerable.Range(0, g.RSize * g.CSize).Select(i => g.GetAsReal64(i / g.CSize, i % g.CSize)).ToArray();

    [Fact]
    public void SamplesConvertClampAndPackThroughTheBoundary()
    {
        using var u8 = Row(eDataType.UINT08, 300, -5, 254.9);
        Assert.Equal(new[] { 255.0, 0, 254 }, Values(u8));
        using var u32 = Row(eDataType.PINT32, 4294967295.0);
        Assert.Equal((4294967295.0, 4294967295.0f), (u32.GetAsReal64(0, 0), u32.GetAsReal32(0, 0)));

        // Channels in and out; outputs a type lacks stay NaN64.
        using var rgb565 = new XGrid(1, 1, eDataType.RGB565);
        rgb565.SetValue(0, 0, 255, 255, 255);
        Assert.True(rgb565.GetValue(0, 0, out double a, out double b, out double c, out double d));
        Assert.Equal((248.0, 252.0, 248.0, NaN64), (a, b, c, d));
        using var argb = new XGrid(1, 1, eDataType.ARGB1555);
        argb.SetValue(0, 0, 1, 255, 0, 255);
        argb.GetValue(0, 0, out a, out b, out c, out d);
        Assert.Equal((1.0, 248.0, 0.0, 248.0), (a, b, c, d));
        using var rgb = new XGrid(1, 1, eDataType.RGB);
        rgb.SetValue(0, 0, 1, 2);
        rgb.GetValue(0, 0, out a, out b, out c);
        Assert.Equal((1.0, 2.0, 2.0), (a, b, c));
    }

    [Fact]
    public void ShapeAllocationAndTypes()
    {
        using var g = new XGrid();
        Assert.Equal((false, (eDataType)0), (g.IsValid(), g.DataType));
        Assert.False(g.Alloc(0, 10, eDataType.REAL32));
        Assert.False(g.Alloc(10, 10, (eDataType)0));
        Assert.False(g.Alloc(10, 10, (eDataType)77));
        Assert.True(g.Alloc(10, 10, eDataType.UINT08));
        Assert.Equal((10, 10, eDataType.PINT08, 1), (g.RSize, g.CSize, g.DataType, g.DataSize));
        Assert.Equal((true, false), (g.Reform(20, 5), g.Reform(21, 5)));
        Assert.True(g.AllocExact(3, 4, eDataType.SINT32C));
        Assert.Equal(8, g.DataSize);
        g.Free();
        Assert.False(g.IsValid());
        using var bad = new XGrid(-1, 5, eDataType.UINT08);
        Assert.False(bad.IsValid());
    }

    [Fact]
    public void SubsetsFlipsAndVectors()
    {
        using var g = new XGrid(3, 4, eDataType.SINT16);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) g.SetValue(r, c, 10 * r + c);

        Assert.True(g.Subset(out XGrid sub, 1, 2, 2, 3));
        using (sub) Assert.Equal(new[] { 12.0, 13, 22, 23 }, Values(sub));
        Assert.False(g.Subset(out XGrid none, 2, 1, 0, 0));
        using (none) Assert.False(none.IsValid());

        Assert.True(g.GetRowVector(out XGrid row, 2));
        using (row) Assert.Equal(new[] { 20.0, 21, 22, 23 }, Values(row));
        Assert.True(g.GetColVector(out XGrid col, 3));
        using (col) Assert.Equal(new[] { 3.0, 13, 23 }, Values(col));
        Assert.True(g.FlipVert(out XGrid fv));
        using (fv) Assert.Equal(new[] { 20.0, 21, 22, 23 }, Values(fv).Take(4));
        Assert.True(g.FlipHorz(out XGrid fh));
        using (fh) Assert.Equal(new[] { 3.0, 2, 1, 0 }, Values(fh).Take(4));
    }

    [Fact]
    public void ShiftMovesContentAndFillsWithZero()
    {
        foreach (var (by, expected) in new[] { (1, new[] { 0.0, 5, 6 }), (-1, new[] { 6.0, 7, 0 }) })
        {
            using var g = Row(eDataType.UINT08, 5, 6, 7);
            Assert.True(g.Shift(by, 0));
            Assert.Equal(expected, Values(g));
            // A shift by the width or more is refused and changes nothing.
            Assert.False(g.Shift(3 * by, 0));
            Assert.False(g.Shift(int.MinValue, 0));
            Assert.Equal(expected, Values(g));
        }

        using var sq = new XGrid(3, 3, eDataType.REAL64);
        for (int i = 0; i < 9; ++i) sq.SetValue(i / 3, i % 3, i + 1);
        Assert.True(sq.Shift(1, 1));
        Assert.Equal(new[] { 0.0, 0, 0, 0, 1, 2, 0, 4, 5 }, Values(sq));
        Assert.True(sq.Shift(-1, -2)); // the scratch grid is reused
        Assert.Equal(new[] { 4.0, 5, 0, 0, 0, 0, 0, 0, 0 }, Values(sq));
    }

    [Fact]
    public void CopySubsetWritesCallerBytesAndRejectsShortArrays()
    {
        using var g = new XGrid(2, 3, eDataType.UINT16);
        g.FillValue(9);
        byte[] src = { 0xAA, 1, 0, 2, 0, 0, 0 }; // offset 1: words 1, 2 and 0 (noData-free)
        Assert.True(g.CopySubset(src, 1, 1, 1, 0, 2, eDataType.UINT08));
        Assert.Equal(new[] { 9.0, 9, 9, 1, 0, 2 }, Values(g));
        Assert.True(g.CopySubset(src, 1, 0, 0, 0, 2, eDataType.UINT16));
        Assert.Equal(new[] { 1.0, 2, 0 }, Values(g).Take(3));

        Assert.False(g.CopySubset(src, 0, 1, 0, 0, 0, eDataType.UINT08));
        Assert.Throws<ArgumentNullException>(() => g.CopySubset(null!, 0, 0, 0, 0, 0, eDataType.UINT08));
        Assert.Throws<ArgumentException>(() => g.CopySubset(src, 2, 0, 1, 0, 2, eDataType.UINT16));
        Check.Throws<ArgumentOutOfRangeException>(() => g.CopySubset(src, 8, 0, 0, 0, 0, eDataType.UINT08),
                                                  () => g.CopySubset(src, 0, 0, 0, 0, 0, (eDataType)40));
    }

    [Fact]
    public void StatisticsOfARectangleAndTheHistogramArray()
    {
        var rng = new Random(4);
        using var g = new XGrid(5, 7, eDataType.SINT16);
        var values = new double[5, 7];
        for (int i = 0; i < 35; ++i)
        {
            values[i / 7, i % 7] = i == 2 * 7 + 3 ? 0 : rng.Next(-300, 300);
            g.SetValue(i / 7, i % 7, values[i / 7, i % 7]);
        }

        // Rows 1..3, columns 2..6, zero left out, against a two-pass reference.
        var sel = (from r in Enumerable.Range(1, 3) from c in Enumerable.Range(2, 5)
                   where values[r, c] != 0 select values[r, c]).ToArray();
        double m = sel.Average();
        double sd = Math.Sqrt(sel.Sum(v => (v - m) * (v - m)) / (sel.Length - 1));
        g.GetStatistics(1, 3, 2, 6, 0, out ulong n, out double min, out double max, out double mean, out double std);
        Assert.Equal(((ulong)sel.Length, sel.Min(), sel.Max()), (n, min, max));
        Assert.Equal(m, mean, 1e-12);
        Assert.Equal(sd, std, 1e-9);

        // A byte grid's histogram counts each value in its own bin; entries past 255 are left alone.
        using var u = Row(eDataType.UINT08, 4, 4, 9, 0, 255, 4);
        var hist = new ulong[300];
        hist[299] = 77;
        u.GetStatistics(1, 0, 1, 0, 0, out n, out min, out max, out mean, out _, hist);
        Assert.Equal((5ul, 4.0, 255.0), (n, min, max));
        Assert.Equal(276.0 / 5, mean, 1e-12);
        Assert.Equal((3ul, 1ul, 1ul, 0ul, 77ul), (hist[4], hist[9], hist[255], hist[0], hist[299]));
        Assert.Equal(5ul, hist.Take(256).Aggregate(0ul, (a, b) => a + b));

        Assert.Throws<ArgumentNullException>(() => u.GetStatistics(0, 1, 0, 1, 0, out _, out _, out _, out _, out _, null!));
        Assert.Throws<ArgumentException>(() => u.GetStatistics(0, 1, 0, 1, 0, out _, out _, out _, out _, out _, new ulong[255]));
    }

    [Fact]
    public void StatisticsOptionsSkipNaNAndCompareNoDataAsTheSamplesHoldIt()
    {
        // A Float32 raster with NaN holes and two samples of the float nearest 0.1.
        using var f = Row(eDataType.REAL32, 1, double.NaN, 0.1, 2, double.NaN, 0.1, 6);
        f.GetStatistics(1, 0, 1, 0, double.NaN, out ulong n, out _, out _, out double mean, out double sd);
        Assert.Equal(7ul, n);  // without options NaN counts, and spoils the figures
        Assert.True(double.IsNaN(mean));
        f.GetStatistics(1, 0, 1, 0, double.NaN, eStatisticsOptions.SkipNaN, out n, out double min, out double max,
                        out mean, out sd);
        Assert.Equal((5ul, (double)0.1f, 6.0), (n, min, max));
        Assert.Equal((1 + 2 + 6 + 2 * (double)0.1f) / 5, mean, 1e-12);
        f.GetStatistics(1, 0, 1, 0, 0.1, eStatisticsOptions.SkipNaN, out n, out _, out _, out _, out _);
        Assert.Equal(5ul, n);  // the double 0.1 is not the float sample
        var hist = new ulong[256];
        f.GetStatistics(1, 0, 1, 0, 0.1, eStatisticsOptions.SkipNaN | eStatisticsOptions.NoDataInSamplePrecision,
                        out n, out min, out max, out mean, out sd, hist);
        Assert.Equal((3ul, 1.0, 6.0, 3.0), (n, min, max, mean));
        Assert.Equal(Math.Sqrt(7), sd, 1e-12);
        Assert.Equal((1ul, 1ul, 1ul, 3ul), (hist[0], hist[51], hist[255], hist.Aggregate(0ul, (a, b) => a + b)));

        // -3.4e38, as rasters mark Float32 no-data, is found in float precision only.
        using var low = Row(eDataType.REAL32, -3.4e38, 5, 7);
        low.GetStatistics(1, 0, 1, 0, -3.4e38, eStatisticsOptions.None, out n, out _, out _, out _, out _);
        Assert.Equal(3ul, n);
        low.GetStatistics(1, 0, 1, 0, -3.4e38, eStatisticsOptions.NoDataInSamplePrecision, out n, out _, out _,
                          out mean, out _);
        Assert.Equal((2ul, 6.0), (n, mean));

        // Bits that are no option are refused before anything is read.
        foreach (var bad in new[] { (eStatisticsOptions)4, (eStatisticsOptions)(-1), (eStatisticsOptions)0x103 })
            Check.Throws<ArgumentOutOfRangeException>(() => f.GetStatistics(1, 0, 1, 0, 0, bad, out _, out _, out _, out _, out _),
                                                      () => f.GetStatistics(1, 0, 1, 0, 0, bad, out _, out _, out _, out _, out _, hist));
        Assert.Equal("options", Assert.Throws<ArgumentOutOfRangeException>(
            () => f.GetStatistics(1, 0, 1, 0, 0, (eStatisticsOptions)4, out _, out _, out _, out _, out _)).ParamName);
        Assert.Throws<ArgumentNullException>(
            () => f.GetStatistics(1, 0, 1, 0, 0, eStatisticsOptions.SkipNaN, out _, out _, out _, out _, out _, null!));
    }

    [Fact]
    public void BadInputThrowsInsteadOfCrashing()
    {
        var g = new XGrid(2, 2, eDataType.REAL32);
        Assert.Equal("Row", Assert.Throws<ArgumentOutOfRangeException>(() => g.GetAsReal64(2, 0)).ParamName);
        Assert.Equal("Col", Assert.Throws<ArgumentOutOfRangeException>(() => g.SetValue(0, -1, 1.0)).ParamName);
        using var empty = new XGrid();
        Check.Throws<ArgumentOutOfRangeException>(() => g.GetValue(int.MaxValue, int.MaxValue, out double _),
                                                  () => empty.GetAsReal32(0, 0));
        Check.Throws<ArgumentNullException>(() => new XGrid((XGrid)null!), () => new XGrid(IntPtr.Zero));

        g.Dispose();
        g.Dispose();
        Check.Throws<ObjectDisposedException>(
            () => _ = g.RSize, () => g.FillValue(1), () => g.Shift(1, 0), () => g.Subset(out _, 0, 0, 0, 0),
            () => _ = new XGrid(g), () => g.GetStatistics(0, 1, 0, 1, 0, out _, out _, out _, out _, out _));
    }

    [Fact]
    public void CopyConstructorsCopySamplesAndStayIndependent()
    {
        using var a = Row(eDataType.REAL64, 1.25, -8);
        using var b = new XGrid(a);
        using var c = new XGrid(b.Handle.DangerousGetHandle());
        a.SetValue(0, 0, 99);
        Assert.Equal(new[] { 1.25, -8 }, Values(b));
        Assert.Equal(new[] { 1.25, -8 }, Values(c));
    }
}

/// <summary>Tests that watch process-wide counters; they must not overlap with other tests.</summary>
[CollectionDefinition(nameof(NativeLifetimeCollection), DisableParallelization = true)]
public class NativeLifetimeCollection
{
}

[Collection(nameof(NativeLifetimeCollection))]
public class XGridLifetimeTests
{
    [MethodImpl(MethodImplOptions.NoInlining)]
    private static void Abandon(Func<IDisposable[]> make, int count)
    {
        for (int i = 0; i < count; ++i) make();
    }

    private static void Settle()
    {
        GC.Collect();
        GC.WaitForPendingFinalizers();
    }

    /// <summary>Per class, objects left unreachable are freed by a collection, exactly those; and
    /// disposing (twice) frees them at once. The count is native objects per call of the maker.</summary>
    [Fact]
    public void FinalisationAndDisposalReleaseTheNativeObjectsOnce()
    {
        var fitPoints = AnalyticPoints.Lattice(3, 10, (x, y) => (x + 1, y));
        var rows = new (string Name, int Rounds, int Count, Func<IDisposable[]> Make)[]
        {
            ("XGrid and its shift scratch", 50, 2, () =>
            {
                var g = new XGrid(8, 8, eDataType.UINT08);
                Assert.True(g.Shift(1, 1));
                return new IDisposable[] { g };
            }),
            ("XThread", 20, 1, () => { var t = new XThread(); t.SetPercentRange(1, 2); return new IDisposable[] { t }; }),
            ("XResamplePixels", 5, 1, () => new IDisposable[] { new XResamplePixels { NumberOfThreads = 1 } }),
            ("XWarp2D and a cell", 20, 2, () =>
            {
                var w = new XWarp2D();
                Assert.True(w.Fit(eWarpMethod.Affine, fitPoints, 2, 2));
                return new IDisposable[] { w, w.GetCell(0, 0) };
            }),
            ("XProjectiveWarp", 20, 1, () => { var p = new XProjectiveWarp(); Assert.True(p.Fit(fitPoints)); return new IDisposable[] { p }; }),
            ("XHitFlag", 20, 1, () => new IDisposable[] { new XHitFlag { Index = 3 } }),
        };
        foreach (var (name, rounds, count, make) in rows)
        {
            Settle();
            long before = Xfn.LiveNativeObjects;
            Abandon(make, rounds);
            Assert.Equal((name, before + rounds * count), (name, Xfn.LiveNativeObjects));
            Settle();
            Assert.Equal((name, before), (name, Xfn.LiveNativeObjects));

            IDisposable[] objects = make();
            Assert.Equal((name, before + count), (name, Xfn.LiveNativeObjects));
            foreach (IDisposable o in objects)
            {
                o.Dispose();
                o.Dispose();
            }
            Assert.Equal((name, before), (name, Xfn.LiveNativeObjects));
        }
    }

    /// <summary>A REAL64 grid of zeros that tells when it is finalised while a call that writes 1
    /// into every sample, the last one last, has not finished with it. Such a grid keeps its native
    /// grid (the object is resurrected into <see cref="Rescued"/>), so the call runs on to the end
    /// on live memory instead of crashing the test host.</summary>
    private sealed class WatchedGrid : XGrid
    {
        internal const int Side = 1024;
        internal static readonly byte[] Ones =
            Enumerable.Range(0, Side * Side).SelectMany(_ => BitConverter.GetBytes(1.0)).ToArray();
        internal static readonly ConcurrentQueue<WatchedGrid> Rescued = new();

        internal WatchedGrid() : base(Side, Side, eDataType.REAL64) => Zerorize();

        protected override void Dispose(bool disposing)
        {
            if (!disposing && GetAsReal64(Side - 1, Side - 1) == 0)
            {
                Rescued.Enqueue(this);
                return;
            }
            base.Dispose(disposing);
        }
    }

    // Each call leaves its grid unreachable during the native call. Compiled optimised from the
    // start, so that nothing but the public layer itself can keep the grid alive.
    [MethodImpl(MethodImplOptions.NoInlining | MethodImplOptions.AggressiveOptimization)]
    private static void FillUnreachable() => new WatchedGrid().FillValue(1);

    [MethodImpl(MethodImplOptions.NoInlining | MethodImplOptions.AggressiveOptimization)]
    private static void CopySubsetUnreachable() =>
        new WatchedGrid().CopySubset(WatchedGrid.Ones, 0, 0, WatchedGrid.Side - 1, 0, WatchedGrid.Side - 1,
                                     eDataType.REAL64);

    [Fact]
    public void NoGridIsFinalisedWhileANativeCallUsesIt()
    {
        // Collections forced on another thread throughout: a call that does not keep its grid
        // alive loses it within the first few rounds.
        var calls = new (string Name, Action Call)[]
        {
            ("FillValue", FillUnreachable), ("CopySubset", CopySubsetUnreachable),
        };
        const int rounds = 50;
        var early = new int[calls.Length];
        bool stop = false;
        var collector = new Thread(() =>
        {
            while (!Volatile.Read(ref stop))
            {
                GC.Collect();
                GC.WaitForPendingFinalizers();
            }
        });
        collector.Start();
        try
        {
            for (int k = 0; k < calls.Length; ++k)
            {
                for (int i = 0; i < rounds && WatchedGrid.Rescued.IsEmpty; ++i) calls[k].Call();
                GC.Collect();
                GC.WaitForPendingFinalizers();
                while (WatchedGrid.Rescued.TryDequeue(out WatchedGrid? g))
                {
                    ++early[k];
                    g.Dispose();
                }
            }
        }
        finally
        {
            Volatile.Write(ref stop, true);
            collector.Join();
        }
        Assert.Equal(calls.Select(c => (c.Name, 0)).ToArray(),
                     calls.Select((c, k) => (c.Name, early[k])).ToArray());
    }

    private static long ResidentBytes()
    {
        foreach (string line in File.ReadLines("/proc/self/status"))
            if (line.StartsWith("VmRSS:", StringComparison.Ordinal))
                return long.Parse(line.Split(' ', StringSplitOptions.RemoveEmptyEntries)[1]) * 1024;
        throw new InvalidOperationException("VmRSS not found");
    }

    [Fact]
    public void AbandonedGridsDoNotExhaustMemory()
    {
        // 2 000 grids of 4 MiB, each touched and then dropped without Dispose: 8 GiB in all.
        // The collector hears of the native bytes and finalises them as it goes.
        long peak = 0;
        for (int i = 0; i < 2000; ++i)
        {
            var g = new XGrid(1024, 1024, eDataType.UINT32);
            g.Zerorize();
            if (i % 100 == 0) peak = Math.Max(peak, ResidentBytes());
        }
        peak = Math.Max(peak, ResidentBytes());
        Assert.True(peak < 2L << 30, $"resident size reached {peak >> 20} MiB");
    }
}
