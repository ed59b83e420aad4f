using System;

namespace Pelmora.Ostrel;

public static partial class Xfn
{
    /// <summary>
    /// Renders the first channel of <paramref name="grid"/> through a palette into a new
    /// <see cref="eDataType.RGB"/> grid of the same shape and geo-reference. Values map linearly
    /// from the stretch [<paramref name="low"/>, <paramref name="high"/>] to the palette's entries
    /// 0..255, rounded to the nearest entry and clamped at both ends; samples equal to
    /// <paramref name="noData"/>, and NaN, become black. The work runs in native code.
    /// </summary>
    /// <param name="grid">A grid of any sample type; only the first channel is used.</param>
    /// <param name="palette">The palette; <see cref="eColorTable.Default"/> names none.</param>
    /// <param name="low">Value shown with entry 0.</param>
    /// <param name="high">Value shown with entry 255; greater than <paramref name="low"/>.</param>
    /// <param name="noData">Value shown black; <see cref="XGrid.NAN_REAL64"/> (the default) leaves
    /// none out.</param>
    /// <returns>A new RGB grid, owned by the caller.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="grid"/> is null.</exception>
    /// <exception cref="ArgumentException"><paramref name="grid"/> is empty, or the stretch is
    /// not an increasing pair of finite values.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="palette"/> names no
    /// palette.</exception>
    /// <exception cref="ObjectDisposedException"><paramref name="grid"/> has been disposed.</exception>
    /// <exception cref="OutOfMemoryException">The RGB grid could not be allocated.</exception>
    public static XGrid Colorize(XGrid grid, eColorTable palette, double low, double high,
                                 double noData = XGrid.NAN_REAL64)
    {
        ArgumentNullException.ThrowIfNull(grid);
        NativeObject src = grid.Handle;
        if (!(double.IsFinite(low) && double.IsFinite(high) && high > low))
            throw new ArgumentException($"The stretch {low} to {high} is not an increasing range.", nameof(high));
        if ((int)palette < 1 || (int)palette > GetNumberOfPalette())
            throw new ArgumentOutOfRangeException(nameof(palette), palette, "Not a palette.");
        if (!grid.IsValid()) throw new ArgumentException("The grid holds no samples.", nameof(grid));
        var rgb = new XGrid();
        bool ok = Native.Palette.Colorize(src, (int)palette, low, high, noData, rgb.Handle) != 0;
        GC.KeepAlive(grid);
        rgb.UpdateMemoryPressure();
        if (ok) return rgb;
        rgb.Dispose();
        throw new OutOfMemoryException("The RGB grid could not be allocated.");
    }
}
