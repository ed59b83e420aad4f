using System;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class ColorizeAndBytesTests
{
    [Fact]
    public void ColorizeMapsTheStretchOntoThePaletteForEachSourceType()
    {
        byte[] r = new byte[256], g = new byte[256], b = new byte[256];
        Assert.True(Xfn.GetPalette(eColorTable.Elevation, r, g, b));
        // Values below, inside and above the stretch [100, 355], the no-data value, and one that
        // lies half way between two entries (rounds up).
        double[] values = { 50, 100, 101, 227.5, 355, 400, -9999 };
        int[] entries = { 0, 0, 1, 128, 255, 255, -1 };
        foreach (eDataType type in new[] { eDataType.SINT16, eDataType.REAL32, eDataType.REAL64 })
        {
            using var grid = new XGrid(1, values.Length, type);
            for (int c = 0; c < values.Length; ++c) grid.SetValue(0, c, values[c]);
            using XGrid rgb = Xfn.Colorize(grid, eColorTable.Elevation, 100, 355, -9999);
            Assert.Equal((eDataType.RGB, 1, values.Length), (rgb.DataType, rgb.RSize, rgb.CSize));
            byte[] bytes = new byte[rgb.ByteCount];
            Assert.Equal(3 * values.Length, rgb.CopyTo(bytes));
            for (int c = 0; c < values.Length; ++c)
            {
                // SINT16 truncates 227.5 to 227, which is entry 127.
                int k = type == eDataType.SINT16 && c == 3 ? 127 : entries[c];
                byte[] expected = k < 0 ? new byte[3] : new[] { r[k], g[k], b[k] };
                Assert.Equal(expected, bytes.Skip(3 * c).Take(3).ToArray());
            }
        }

        using var empty = new XGrid();
        using var one = new XGrid(2, 2, eDataType.REAL64);
        Assert.Throws<ArgumentNullException>(() => Xfn.Colorize(null!, eColorTable.Gray, 0, 1));
        Check.Throws<ArgumentException>(() => Xfn.Colorize(empty, eColorTable.Gray, 0, 1),
                                        () => Xfn.Colorize(one, eColorTable.Gray, 1, 1),
                                        () => Xfn.Colorize(one, eColorTable.Gray, double.NaN, 1));
        Check.Throws<ArgumentOutOfRangeException>(() => Xfn.Colorize(one, eColorTable.Default, 0, 1),
                                                  () => Xfn.Colorize(one, (eColorTable)0, 0, 1));
        one.Dispose();
        Assert.Throws<ObjectDisposedException>(() => Xfn.Colorize(one, eColorTable.Gray, 0, 1));
    }

    [Fact]
    public void ByteImagesRoundTripThroughSpansInOneCall()
    {
        var rnd = new Random(7);
        foreach (var (type, size) in new[] { (eDataType.GRAY, 1), (eDataType.UINT08, 1), (eDataType.RGB, 3), (eDataType.BGRA, 4) })
        {
            using var grid = new XGrid(5, 7, type);
            byte[] data = new byte[5 * 7 * size];
            rnd.NextBytes(data);
            grid.CopyFrom(data);
            Assert.Equal(data.Length, grid.ByteCount);
            // Row-major, channels in the type's order: sample (2, 3) of RGB reads as its three bytes.
            if (type == eDataType.RGB)
            {
                grid.GetValue(2, 3, out double red, out double green, out double blue);
                int at = (2 * 7 + 3) * 3;
                Assert.Equal((data[at], data[at + 1], data[at + 2]), ((byte)red, (byte)green, (byte)blue));
            }
            byte[] back = new byte[data.Length + 5];
            Assert.Equal(data.Length, grid.CopyTo(back.AsSpan()));
            Assert.Equal(data, back.Take(data.Length).ToArray());
            Assert.All(back.Skip(data.Length), v => Assert.Equal(0, v));

            Check.Throws<ArgumentException>(() => grid.CopyTo(new byte[data.Length - 1]), () => grid.CopyFrom(new byte[data.Length + 1]));
        }

        using var real = new XGrid(2, 2, eDataType.REAL32);
        using var empty = new XGrid();
        Assert.Equal(0, real.ByteCount);
        Check.Throws<InvalidOperationException>(() => real.CopyTo(new byte[64]), () => empty.CopyFrom(ReadOnlySpan<byte>.Empty));
        var gone = new XGrid(2, 2, eDataType.RGB);
        gone.Dispose();
        Check.Throws<ObjectDisposedException>(() => gone.CopyTo(new byte[12]), () => _ = gone.ByteCount);
    }
}
