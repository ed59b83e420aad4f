using System;

namespace Pelmora.Ostrel;

public static partial class Xfn
{
    /// <summary>Number of built-in colour palettes: 68.</summary>
    /// <returns>The number of palettes.</returns>
    public static int GetNumberOfPalette() => Native.Palette.Count();

    /// <summary>
    /// The native name of a palette, for example "Grey" for <see cref="eColorTable.Gray"/> or
    /// "16 LEVEL" for <see cref="eColorTable.Level16"/>.
    /// </summary>
    /// <param name="index">A palette; any value is accepted.</param>
    /// <returns>The name; "Default" for <see cref="eColorTable.Default"/> and for every value that
    /// names no palette.</returns>
    public static unsafe string GetPaletteName(eColorTable index)
    {
        byte* buf = stackalloc byte[64];
        int length = Native.Palette.Name((int)index, buf, 64);
        if (length >= 64)
        {
            byte[] big = new byte[length + 1];
            fixed (byte* p = big)
            {
                Native.Palette.Name((int)index, p, big.Length);
                return AnsiString.FromAnsi((IntPtr)p) ?? string.Empty;
            }
        }
        return AnsiString.FromAnsi((IntPtr)buf) ?? string.Empty;
    }

    /// <summary>Copies the 256 colours of a palette into three arrays.</summary>
    /// <param name="index">The palette.</param>
    /// <param name="r">Receives the red values of entries 0..255.</param>
    /// <param name="g">Receives the green values.</param>
    /// <param name="b">Receives the blue values.</param>
    /// <returns>True when the palette was copied; false, with the arrays untouched, for
    /// <see cref="eColorTable.Default"/> and every value that names no palette.</returns>
    /// <exception cref="ArgumentNullException">An array is null.</exception>
    /// <exception cref="ArgumentException">An array has fewer than 256 entries.</exception>
    public static unsafe bool GetPalette(eColorTable index, byte[] r, byte[] g, byte[] b)
    {
        ArgumentNullException.ThrowIfNull(r);
        ArgumentNullException.ThrowIfNull(g);
        ArgumentNullException.ThrowIfNull(b);
        if (r.Length < 256) throw new ArgumentException("The array needs 256 entries.", nameof(r));
        if (g.Length < 256) throw new ArgumentException("The array needs 256 entries.", nameof(g));
        if (b.Length < 256) throw new ArgumentException("The array needs 256 entries.", nameof(b));
        fixed (byte* pr = r, pg = g, pb = b)
            return Native.Palette.Get((int)index, pr, pg, pb) != 0;
    }
}
