using System;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XGridStatisticsTests
{
    [Fact]
    public void StatisticsAndHistogramOfRectangles()
    {
        var rng = new Random(4);
        using var g = new XGrid(5, 7, eDataType.SINT16);
        var values = new double[5, 7];
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 7; ++c)
            {
                values[r, c] = rng.Next(-300, 300);
                g.SetValue(r, c, values[r, c]);
            }
        g.SetValue(2, 3, 0);
        values[2, 3] = 0;

        // Rows 1..3, columns 2..6, zero left out, against a two-pass reference.
        var sel = (from r in Enumerable.Range(1, 3) from c in Enumerable.Range(2, 5)
                   where values[r, c] != 0 select values[r, c]).ToArray();
        double m = sel.Average();
        double sd = Math.Sqrt(sel.Sum(v => (v - m) * (v - m)) / (sel.Length - 1));
        g.GetStatistics(1, 3, 2, 6, 0, out ulong n, out double min, out double max, out double mean, out double std);
        Assert.Equal((ulong)sel.Length, n);
        Assert.Equal(sel.Min(), min);
        Assert.Equal(sel.Max(), max);
        Assert.Equal(m, mean, 1e-12);
        Assert.Equal(sd, std, 1e-9);

        // R1 > R2 and C1 > C2 select everything; other rectangles are clipped.
        g.GetStatistics(1, 0, 1, 0, XGrid.NAN_REAL64, out n, out _, out _, out _, out _);
        Assert.Equal(35ul, n);
        g.GetStatistics(-10, 100, 5, 100, XGrid.NAN_REAL64, out n, out _, out _, out _, out _);
        Assert.Equal(10ul, n);
        g.GetStatistics(7, 9, 0, 3, XGrid.NAN_REAL64, out n, out min, out max, out mean, out std);
        Assert.Equal((0ul, 1.7e308, -1.7e308), (n, min, max));
        Assert.True(double.IsNaN(mean) && double.IsNaN(std));

        // A byte grid's histogram counts each value in its own bin.
        using var u = new XGrid(2, 3, eDataType.UINT08);
        double[] px = { 4, 4, 9, 0, 255, 4 };
        for (int i = 0; i < 6; ++i) u.SetValue(i / 3, i % 3, px[i]);
        var hist = new ulong[300];
        hist[299] = 77;
        u.GetStatistics(1, 0, 1, 0, 0, out n, out min, out max, out mean, out std, hist);
        Assert.Equal((5ul, 4.0, 255.0), (n, min, max));
        Assert.Equal(276.0 / 5, mean, 1e-12);
        Assert.Equal((3ul, 1ul, 1ul, 0ul), (hist[4], hist[9], hist[255], hist[0]));
        Assert.Equal(5ul, hist.Take(256).Aggregate(0ul, (a, b) => a + b));
        Assert.Equal(77ul, hist[299]);

        // A complex sample counts its magnitude; 64-bit integers are not supported.
        using var cx = new XGrid(1, 1, eDataType.REAL32C);
        cx.SetValue(0, 0, 3, -4);
        cx.GetStatistics(0, 0, 0, 0, XGrid.NAN_REAL64, out n, out min, out _, out _, out _);
        Assert.Equal((1ul, 5.0), (n, min));
        using var big = new XGrid(2, 2, eDataType.UINT64);
        big.FillValue(3);
        big.GetStatistics(1, 0, 1, 0, XGrid.NAN_REAL64, out n, out _, out _, out _, out _);
        Assert.Equal(0ul, n);
    }

    [Fact]
    public void BadArgumentsRaiseClearErrors()
    {
        var g = new XGrid(2, 2, eDataType.REAL64);
        Assert.Throws<ArgumentNullException>(() => g.GetStatistics(0, 1, 0, 1, 0, out _, out _, out _, out _, out _, null!));
        Assert.Throws<ArgumentException>(() => g.GetStatistics(0, 1, 0, 1, 0, out _, out _, out _, out _, out _, new ulong[255]));
        g.Dispose();
        Assert.Throws<ObjectDisposedException>(() => g.GetStatistics(0, 1, 0, 1, 0, out _, out _, out _, out _, out _));
    }
}
