// A tour of the public raster grid: create, fill, read back, subset, flip and shift,
// printing each step.
using System;
using System.Text;
using Pelmora.Ostrel;

namespace Pelmora.Ostrel.Samples;

internal static class Program
{
    private static string Show(XGrid g)
    {
        var sb = new StringBuilder();
        for (int r = 0; r < g.RSize; ++r)
        {
            sb.Append("    ");
            for (int c = 0; c < g.CSize; ++c) sb.Append($"{g.GetAsReal64(r, c),6}");
            sb.AppendLine();
        }
        return sb.ToString();
    }

    private static int Main()
    {
        using var grid = new XGrid(4, 5, eDataType.SINT16);
        Console.WriteLine($"created a {grid.RSize} x {grid.CSize} grid of {Xfn.GetDataTypeString(grid.DataType)} " +
                          $"({grid.DataSize} bytes per sample)");

        grid.FillValue(7);
        Console.WriteLine($"filled with 7; sample (3, 4) reads back {grid.GetAsReal64(3, 4)}");

        for (int r = 0; r < grid.RSize; ++r)
            for (int c = 0; c < grid.CSize; ++c) grid.SetValue(r, c, 10 * r + c);
        grid.SetValue(0, 0, 99999);
        Console.WriteLine($"wrote 10 * row + column, then 99999 at (0, 0), which clamps to {grid.GetAsReal64(0, 0)}:");
        Console.Write(Show(grid));

        grid.Subset(out XGrid sub, 1, 2, 1, 3);
        using (sub)
        {
            Console.WriteLine($"subset rows 1..2, columns 1..3 ({sub.RSize} x {sub.CSize}):");
            Console.Write(Show(sub));
        }

        grid.FlipVert(out XGrid flipped);
        using (flipped)
        {
            Console.WriteLine("flipped upside down:");
            Console.Write(Show(flipped));
        }

        grid.FlipHorz(out XGrid mirrored);
        using (mirrored)
        {
            Console.WriteLine("mirrored left to right:");
            Console.Write(Show(mirrored));
        }

        bool shifted = grid.Shift(2, 1);
        Console.WriteLine($"shifted 2 columns right and 1 row down ({(shifted ? "done" : "refused")}):");
        Console.Write(Show(grid));

        Console.WriteLine($"a shift by the full width is refused: {!grid.Shift(grid.CSize, 0)}");

        using var colour = new XGrid(1, 1, eDataType.RGB565);
        colour.SetValue(0, 0, 255, 128, 64);
        colour.GetValue(0, 0, out double red, out double green, out double blue);
        Console.WriteLine($"an RGB565 sample written as (255, 128, 64) reads back ({red}, {green}, {blue})");
        return 0;
    }
}
