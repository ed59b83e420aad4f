using System;
using System.Collections.Generic;
using Pelmora.Ostrel;

namespace Pelmora.Ostrel.AbuseSweep;

/// <summary>
/// Calls whose failure would end the process, which the test that started it reports: a grid
/// whose byte count overflows, and disposal during a run. The latter disposes the objects a
/// resampling run uses from the run's progress report (a worker thread, so the run is certainly
/// under way), and closes the library during a run whose grids are registered; each run must
/// return its full result.
/// </summary>
/// <remarks>Usage: Pelmora.Ostrel.AbuseSweep --lifetime-and-size. Prints one line per failed
/// check and "checks C failures F"; exit status 0 when no check failed.</remarks>
internal static class LifetimeAndSizeCases
{
    private const int Size = 600;  // 1.4 MB of REAL32: a block the allocator maps and unmaps
    private static readonly List<string> s_failures = new();
    private static int s_checks;

    /// <summary>Calls <c>act</c> once, from the first progress report at or past
    /// <c>percent</c>.</summary>
    private sealed class ActAt(int percent, Action act) : IProgress<int>
    {
        private bool m_done;

        public void Report(int value)
        {
            if (m_done || value < percent) return;
            m_done = true;
            act();
        }
    }

    private static void Check(bool ok, string what)
    {
        ++s_checks;
        if (!ok) s_failures.Add(what);
    }

    private static void ThrowsDisposed(Action call, string what)
    {
        try
        {
            call();
            Check(false, $"{what}: no ObjectDisposedException");
        }
        catch (ObjectDisposedException)
        {
            Check(true, what);
        }
    }

    private static (XGrid Src, XGrid Dst, XWarpCoeff Warp, XResamplePixels Resampler) Setup()
    {
        var src = new XGrid(Size, Size, eDataType.REAL32);
        src.FillValue(0);
        for (int r = 0; r < Size; ++r)
            for (int c = 0; c < Size; c += 7) src.SetValue(r, c, r * 0.5 + c);
        var warp = new XWarpCoeff();
        warp.CreateRotation(0.3, Size / 2.0, Size / 2.0);
        return (src, new XGrid(Size, Size, eDataType.REAL32), warp, new XResamplePixels { NumberOfThreads = 2 });
    }

    private static (ulong Count, double Mean) Summary(XGrid g)
    {
        g.GetStatistics(0, -1, 0, -1, XGrid.NAN_REAL64, out ulong count, out _, out _, out double mean, out _);
        return (count, mean);
    }

    internal static int Run()
    {
        // 8 x 1518500249 x 1518500251 bytes is 2^64 plus 277 MiB.
        using (var huge = new XGrid(1518500249, 1518500251, eDataType.REAL64))
        {
            Check(!huge.IsValid(), "a grid beyond 2^64 bytes is refused");
            try
            {
                huge.SetValue(0, 36468557, 42);
                Check(false, "a sample of a refused grid: no ArgumentOutOfRangeException");
            }
            catch (ArgumentOutOfRangeException)
            {
                Check(true, "a sample of a refused grid");
            }
        }

        long baseline = Xfn.LiveNativeObjects;
        (ulong, double) expected;
        {
            var (src, dst, warp, rp) = Setup();
            Check(rp.ResampleByWarp(src, dst, warp, XResamplePixels.Cubic, 0), "undisturbed run");
            expected = Summary(dst);
            src.Dispose();
            dst.Dispose();
            warp.Dispose();
            rp.Dispose();
        }

        foreach (string target in new[] { "source", "destination", "mapping", "resampler", "all" })
        {
            var (src, dst, warp, rp) = Setup();
            var doomed = new List<IDisposable>();
            if (target is "source" or "all") doomed.Add(src);
            if (target is "destination" or "all") doomed.Add(dst);
            if (target is "mapping" or "all") doomed.Add(warp);
            if (target is "resampler" or "all") doomed.Add(rp);
            bool ok = rp.ResampleByWarp(src, dst, warp, XResamplePixels.Cubic, 0,
                                        new ActAt(10, () => doomed.ForEach(d => d.Dispose())));
            Check(ok, $"{target} disposed: the run completes");
            if (!doomed.Contains(dst)) Check(Summary(dst) == expected, $"{target} disposed: the result is whole");
            ThrowsDisposed(() => rp.ResampleByWarp(src, dst, warp, XResamplePixels.Nearest, 0),
                           $"{target} disposed: the next run");
            foreach (IDisposable d in new IDisposable[] { src, dst, warp, rp }) d.Dispose();
        }
        Check(Xfn.LiveNativeObjects == baseline, "every native object is released after its last run");

        // The shut-down during a run disposes the registered grids; the run still completes.
        {
            var (src, dst, warp, rp) = Setup();
            Xfn.AddToGCArray(src);
            Xfn.AddToGCArray(dst);
            bool ok = rp.ResampleByWarp(src, dst, warp, XResamplePixels.Bilinear, 0, new ActAt(10, Xfn.Close));
            Check(ok, "closed during a run: the run completes");
            ThrowsDisposed(() => _ = dst.RSize, "closed during a run: a registered grid is disposed");
            warp.Dispose();
            rp.Dispose();
        }

        foreach (string failure in s_failures) Console.WriteLine(failure);
        Console.WriteLine($"checks {s_checks} failures {s_failures.Count}");
        return s_failures.Count == 0 ? 0 : 1;
    }
}
