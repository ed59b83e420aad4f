using System;
using System.Collections.Generic;
using System.Linq;
using System.Threading;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XResamplePixelsTests
{
    /// <summary>A REAL64 grid of v(c, r) = 2c + 3r + 1, a plane that every method reproduces.</summary>
    internal static XGrid Ramp(int rows, int cols, eDataType type = eDataType.REAL64)
    {
        var bytes = new byte[rows * cols * 8];
        var values = new Span<double>(new double[rows * cols]);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) values[r * cols + c] = 2 * c + 3 * r + 1;
        System.Runtime.InteropServices.MemoryMarshal.AsBytes(values).CopyTo(bytes);
        var g = new XGrid(rows, cols, type);
        Assert.True(g.CopySubset(bytes, 0, 0, rows - 1, 0, cols - 1, eDataType.REAL64));
        return g;
    }

    // Destination pixel (c, r) -> source (0.5 c + 0.25 r + 3.1, −0.2 c + 0.8 r + 10.3): no position
    // falls on a whole sample, where nearest would depend on the last bit of the mapping.
    private static (double X, double Y) DstToSrc(double c, double r) =>
        (0.5 * c + 0.25 * r + 3.1, -0.2 * c + 0.8 * r + 10.3);

    private static double[] Values(XGrid g) =>
        Enumerable.Range(0, g.RSize * g.CSize).Select(i => g.GetAsReal64(i / g.CSize, i % g.CSize)).ToArray();

    /// <summary>Collects the reports on the reporting thread itself.</summary>
    private sealed class Recorder(Action<int>? onReport = null) : IProgress<int>
    {
        internal readonly List<int> Seen = new();
        public void Report(int value)
        {
            lock (Seen) Seen.Add(value);
            onReport?.Invoke(value);
        }
    }

    [Fact]
    public void EveryMappingAndMethodReproducesTheAnalyticPlane()
    {
        const int n = 48;
        using var src = Ramp(64, 64);
        using var warp = new XWarp2D();
        using var proj = new XProjectiveWarp();
        var points = AnalyticPoints.Lattice(4, n - 1, DstToSrc);
        Assert.True(warp.Fit(eWarpMethod.Affine, points));
        Assert.True(proj.Fit(points));
        var map = Enumerable.Range(0, n * n).Select(i => DstToSrc(i % n, i / n))
            .Select(p => new XVertex2d.Unmanaged(p.X, p.Y)).ToArray();
        map[5] = new XVertex2d.Unmanaged(XGrid.NAN_REAL64, 1);

        using var rp = new XResamplePixels();
        foreach (int method in new[] { XResamplePixels.Nearest, XResamplePixels.Bilinear, XResamplePixels.Cubic,
                                       XResamplePixels.CubicSeparable })
        {
            using var byWarp = new XGrid(n, n, eDataType.REAL64);
            using var byProj = new XGrid(n, n, eDataType.REAL64);
            using var byMap = new XGrid(n, n, eDataType.REAL64);
            Assert.True(rp.ResampleByWarp(src, byWarp, warp, method, -5));
            Assert.True(rp.ResampleByProjective(src, byProj, proj, method, -5));
            Assert.True(rp.ResampleByCoordMap(src, byMap, map, method, -5));
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c)
                {
                    var (x, y) = DstToSrc(c, r);
                    // Nearest takes the sample whose cell holds the position (the floor);
                    // bilinear and the separable cubic are exact on a plane inside the source.
                    // The radial cubic does not reproduce a plane, so it is only compared across
                    // the three mappings.
                    double expected = method == XResamplePixels.Nearest
                        ? 2 * Math.Floor(x) + 3 * Math.Floor(y) + 1
                        : 2 * x + 3 * y + 1;
                    bool inside = x >= 2 && y >= 2 && x <= 61 && y <= 61;
                    bool outside = x < -1 || y < -1;
                    double w = byWarp.GetAsReal64(r, c);
                    if (inside && method != XResamplePixels.Cubic) Assert.Equal(expected, w, 1e-9);
                    if (outside) Assert.Equal(-5, w);
                    Assert.Equal(w, byProj.GetAsReal64(r, c), 1e-9);
                    Assert.Equal(r * n + c == 5 ? -5 : w, byMap.GetAsReal64(r, c), 1e-9);
                }
        }
    }

    [Fact]
    public void RoundingAndSourceNoDataChangeTheStoredValues()
    {
        // Columns 10 + c; half a column to the right of each sample lies 10.5 + c.
        using var src = new XGrid(4, 4, eDataType.SINT16);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) src.SetValue(r, c, r == 3 ? -3 + c : 10 + c);
        var map = new XVertex2d.Unmanaged[2 * 3];
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c) map[r * 3 + c] = new XVertex2d.Unmanaged(c + 0.5, r == 0 ? 1 : 3);
        using var dst = new XGrid(2, 3, eDataType.SINT16);
        using var rp = new XResamplePixels();
        Assert.False(rp.Rounding);
        Assert.True(rp.ResampleByCoordMap(src, dst, map, XResamplePixels.Bilinear, 0));
        Assert.Equal(new double[] { 10, 11, 12, -2, -1, 0 }, Values(dst));
        rp.Rounding = true;
        Assert.True(rp.ResampleByCoordMap(src, dst, map, XResamplePixels.Bilinear, 0));
        Assert.Equal(new double[] { 11, 12, 13, -3, -2, -1 }, Values(dst));
        rp.Rounding = false;

        // Sample (1, 1) is no data: bilinear between it and (1, 2) takes (1, 2) alone, nearest
        // leaves the background.
        src.SetValue(1, 1, -999);
        Assert.Null(rp.SourceNoData);
        rp.SourceNoData = -999;
        Assert.True(rp.ResampleByCoordMap(src, dst, map, XResamplePixels.Bilinear, 77));
        Assert.Equal(12, dst.GetAsReal64(0, 1));
        Assert.True(rp.ResampleByCoordMap(src, dst, map, XResamplePixels.Nearest, 77));
        Assert.Equal(77, dst.GetAsReal64(0, 1));
        rp.SourceNoData = null;
        Assert.True(rp.ResampleByCoordMap(src, dst, map, XResamplePixels.Nearest, 77));
        Assert.Equal(-999, dst.GetAsReal64(0, 1));
        rp.Dispose();
        Check.Throws<ObjectDisposedException>(() => _ = rp.Rounding, () => rp.SourceNoData = 1);
    }

    [Fact]
    public void ThreadCountsGiveTheSameImageAndProgressRisesTo100()
    {
        using var src = Ramp(200, 200, eDataType.UINT16);
        using var warp = new XWarpCoeff();
        warp.CreateRotation(17, 100, 100);
        using var rp = new XResamplePixels();
        int all = rp.NumberOfThreads;
        Assert.InRange(all, 1, Environment.ProcessorCount * 2);
        double[]? reference = null;
        foreach (int threads in new[] { 0, 1, 2, 64 })
        {
            rp.NumberOfThreads = threads;
            Assert.Equal(Math.Min(threads, all), rp.NumberOfThreads);
            using var dst = new XGrid(150, 180, eDataType.UINT16);
            var progress = new Recorder();
            Assert.True(rp.ResampleByWarp(src, dst, warp, XResamplePixels.Cubic, 0, progress));
            double[] v = Values(dst);
            reference ??= v;
            Assert.Equal(reference, v);
            Assert.Equal(100, progress.Seen[^1]);
            Assert.Equal(progress.Seen.OrderBy(p => p).Distinct(), progress.Seen);
        }
        Assert.Throws<ArgumentOutOfRangeException>(() => rp.NumberOfThreads = -1);
    }

    [Fact]
    public void CancellationStopsBetweenRowsAndLeavesTheDestinationDefined()
    {
        const int n = 600;
        using var src = Ramp(n, n);
        using var warp = new XWarpCoeff();
        warp.CreateRotation(3, n / 2.0, n / 2.0);
        using var rp = new XResamplePixels { NumberOfThreads = 1 };
        using var full = new XGrid(n, n, eDataType.REAL64);
        Assert.True(rp.ResampleByWarp(src, full, warp, XResamplePixels.Bilinear, -7));
        double[] complete = Values(full);

        // Cancelled before the call: no row is done, every pixel holds the background.
        using var dst = new XGrid(n, n, eDataType.REAL64);
        dst.FillValue(42);
        Assert.False(rp.ResampleByWarp(src, dst, warp, XResamplePixels.Bilinear, -7, null, new CancellationToken(true)));
        Assert.All(Values(dst), v => Assert.Equal(-7, v));

        // Cancelled from the progress report at 30 %: the rows done are complete, the rest background.
        using var cts = new CancellationTokenSource();
        var progress = new Recorder(p => { if (p >= 30) cts.Cancel(); });
        Assert.False(rp.ResampleByWarp(src, dst, warp, XResamplePixels.Bilinear, -7, progress, cts.Token));
        Assert.True(progress.Seen.Max() < 100);
        double[] part = Values(dst);
        int done = 0;
        for (int r = 0; r < n; ++r)
        {
            var row = part.AsSpan(r * n, n);
            bool isDone = row.SequenceEqual(complete.AsSpan(r * n, n));
            Assert.True(isDone || row.ToArray().All(v => v == -7), $"row {r} is partly written");
            if (isDone) ++done;
        }
        Assert.InRange(done, n * 30 / 100, n - 1);

        // The request does not outlive its call.
        Assert.True(rp.ResampleByWarp(src, dst, warp, XResamplePixels.Bilinear, -7));
        Assert.Equal(complete, Values(dst));
    }

    [Fact]
    public void AnExceptionFromTheProgressReachesTheCaller()
    {
        using var src = Ramp(300, 300);
        using var dst = new XGrid(300, 300, eDataType.REAL64);
        using var warp = new XWarpCoeff();
        warp.CreateRotation(1, 0, 0);
        using var rp = new XResamplePixels();
        var failing = new Recorder(p => { if (p >= 10) throw new InvalidOperationException("stop here"); });
        var e = Assert.Throws<InvalidOperationException>(() => rp.ResampleByWarp(src, dst, warp, 1, 0, failing));
        Assert.Equal("stop here", e.Message);
        Assert.True(rp.ResampleByWarp(src, dst, warp, 1, 0));
    }

    [Fact]
    public void BadInputThrows()
    {
        using var src = Ramp(8, 8);
        using var dst = new XGrid(8, 8, eDataType.REAL64);
        using var warp = new XWarpCoeff();
        using var proj = new XProjectiveWarp();
        var map = new XVertex2d.Unmanaged[64];
        var rp = new XResamplePixels();
        Check.Throws<ArgumentNullException>(
            () => rp.ResampleByWarp(null!, dst, warp, 0, 0), () => rp.ResampleByWarp(src, null!, warp, 0, 0),
            () => rp.ResampleByWarp(src, dst, null!, 0, 0), () => rp.ResampleByProjective(src, dst, null!, 0, 0));
        Check.Throws<ArgumentException>(() => rp.ResampleByWarp(src, src, warp, 0, 0),
                                        () => rp.ResampleByCoordMap(src, dst, map.AsSpan(1), 0, 0));
        Check.Throws<ArgumentOutOfRangeException>(() => rp.ResampleByWarp(src, dst, warp, 4, 0),
                                                  () => rp.ResampleByProjective(src, dst, proj, -1, 0));
        // An unfitted projective mapping maps nothing: each pixel takes the source at its own place.
        Assert.True(rp.ResampleByProjective(src, dst, proj, 0, 9));
        Assert.Equal(Values(src), Values(dst));

        var gone = new XGrid(8, 8, eDataType.REAL64);
        gone.Dispose();
        Assert.Throws<ObjectDisposedException>(() => rp.ResampleByCoordMap(src, gone, map, 0, 0));
        rp.Dispose();
        rp.Dispose();
        Check.Throws<ObjectDisposedException>(() => rp.ResampleByWarp(src, dst, warp, 0, 0), () => _ = rp.NumberOfThreads);
    }
}

public class ConvolveTests
{
    [Fact]
    public void ConvolutionMatchesTheDefiningSumOnEveryEdgeMode()
    {
        using var src = XResamplePixelsTests.Ramp(9, 11);
        double[,] k = { { 1, 0, -1 }, { 2, 0.5, -2 }, { 1, 0, -1.5 } };
        foreach (eConvolveEdge edge in new[] { eConvolveEdge.Skip, eConvolveEdge.Clamp })
        {
            using var dst = new XGrid();
            Assert.True(Xfn.Convolve(src, k, dst, edge, eDataType.REAL64));
            Assert.Equal((9, 11, eDataType.REAL64), (dst.RSize, dst.CSize, dst.DataType));
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 11; ++x)
                {
                    double sum = 0;
                    for (int j = 0; j < 3; ++j)
                        for (int i = 0; i < 3; ++i)
                        {
                            int sy = y - 1 + j, sx = x - 1 + i;
                            if (edge == eConvolveEdge.Clamp)
                            {
                                sy = Math.Clamp(sy, 0, 8);
                                sx = Math.Clamp(sx, 0, 10);
                            }
                            else if (sy < 0 || sy > 8 || sx < 0 || sx > 10) continue;
                            sum += k[j, i] * (2 * sx + 3 * sy + 1);
                        }
                    Assert.Equal(sum, dst.GetAsReal64(y, x), 1e-12);
                }
        }

        // Integer output: the kernel truncates to integers (0.5 becomes 0, -1.5 becomes -1).
        using var ints = new XGrid();
        Assert.True(Xfn.Convolve(src, k, ints, eConvolveEdge.Clamp, eDataType.SINT32));
        Assert.Equal(eDataType.SINT32, ints.DataType);
        double centre = 0;
        double[,] truncated = { { 1, 0, -1 }, { 2, 0, -2 }, { 1, 0, -1 } };
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i) centre += truncated[j, i] * (2 * (4 + i) + 3 * (3 + j) + 1);
        Assert.Equal(centre, ints.GetAsReal64(4, 5));
    }

    [Fact]
    public void BadInputThrowsOrFails()
    {
        using var src = XResamplePixelsTests.Ramp(4, 4);
        using var dst = new XGrid();
        var k = new double[,] { { 1 } };
        const eConvolveEdge skip = eConvolveEdge.Skip;
        const eDataType real = eDataType.REAL64;
        Check.Throws<ArgumentNullException>(() => Xfn.Convolve(null!, k, dst, skip, real),
                                            () => Xfn.Convolve(src, null!, dst, skip, real),
                                            () => Xfn.Convolve(src, k, null!, skip, real));
        Check.Throws<ArgumentException>(() => Xfn.Convolve(src, new double[0, 3], dst, skip, real),
                                        () => Xfn.Convolve(src, k, src, skip, real));
        Check.Throws<ArgumentOutOfRangeException>(() => Xfn.Convolve(src, k, dst, (eConvolveEdge)2, real),
                                                  () => Xfn.Convolve(src, k, dst, skip, eDataType.UINT08));
        // A source type without a filter, and an empty source, fail without throwing.
        using var rgb = new XGrid(2, 2, eDataType.RGB);
        using var empty = new XGrid();
        Assert.Equal((false, false), (Xfn.Convolve(rgb, k, dst, skip, real), Xfn.Convolve(empty, k, dst, skip, real)));
        src.Dispose();
        Assert.Throws<ObjectDisposedException>(() => Xfn.Convolve(src, k, dst, skip, real));
    }
}
