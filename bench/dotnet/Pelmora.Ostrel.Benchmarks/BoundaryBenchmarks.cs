// The cost of the .NET boundary: the requests of bench/api_boundary_bench.cpp made from C#.
// Keep the data, mapping and arguments of the two files equal.
//
//   dotnet run -c Release --project bench/dotnet/Pelmora.Ostrel.Benchmarks
//   build/bin/api_boundary_bench
using System;
using BenchmarkDotNet.Attributes;
using BenchmarkDotNet.Running;
using Pelmora.Ostrel;

BenchmarkRunner.Run<BoundaryBenchmarks>(args: args);

/// <summary>Runs in the benchmark's own process, so the native libraries beside the assembly are
/// the ones measured.</summary>
[InProcess]
public class BoundaryBenchmarks
{
    private const int Side = 4096;
    private XGrid m_src = null!, m_dst = null!;
    private XWarpCoeff m_warp = null!;
    private XResamplePixels m_resampler = null!;

    /// <summary>Workers of the resampler: 0 one per processor, as the native benchmark's argument.</summary>
    [Params(0, 1)]
    public int Threads { get; set; }

    [GlobalSetup]
    public void Setup()
    {
        var samples = new byte[Side * Side];
        for (int r = 0; r < Side; ++r)
            for (int c = 0; c < Side; ++c) samples[r * Side + c] = (byte)((31 * r + 17 * c) & 255);
        m_src = new XGrid(Side, Side, eDataType.UINT08);
        m_src.CopyFrom(samples);
        m_dst = new XGrid(Side, Side, eDataType.UINT08);
        m_warp = new XWarpCoeff();
        m_warp.CreateRotation(5, Side / 2.0, Side / 2.0);
        m_resampler = new XResamplePixels();
        if (Threads > 0) m_resampler.NumberOfThreads = Threads;
    }

    [GlobalCleanup]
    public void Cleanup()
    {
        m_resampler.Dispose();
        m_warp.Dispose();
        m_dst.Dispose();
        m_src.Dispose();
    }

    [Benchmark]
    public bool ResampleByWarp() => m_resampler.ResampleByWarp(m_src, m_dst, m_warp, XResamplePixels.Bilinear, 0);

    /// <summary>Statistics do not use the resampler's workers; both thread settings measure the same.</summary>
    [Benchmark]
    public double Statistics()
    {
        m_src.GetStatistics(0, -1, 0, -1, XGrid.NAN_REAL64, out _, out _, out _, out double mean, out _);
        return mean;
    }
}
