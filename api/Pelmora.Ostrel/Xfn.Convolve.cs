using System;

namespace Pelmora.Ostrel;

public static partial class Xfn
{
    /// <summary>
    /// Filters <paramref name="src"/> with <paramref name="kernel"/> into <paramref name="dst"/>,
    /// which is reallocated with the source's shape and <paramref name="outputType"/>. Output
    /// (y, x) is the sum over kernel rows j and columns i of kernel[j, i] · src(y − kh/2 + j,
    /// x − kw/2 + i): a correlation, the kernel not mirrored, its centre at element (kh/2, kw/2).
    /// The work runs in native code on every processor.
    /// </summary>
    /// <remarks>Arithmetic is done in the output type: kernel elements are converted to it
    /// (integers truncate toward zero) and integer sums wrap at the type's width. Source types:
    /// UINT08, SINT08, UINT16, SINT16, UINT32, SINT32, REAL32 and REAL64.</remarks>
    /// <param name="src">The source grid.</param>
    /// <param name="kernel">The kernel, [row, column]; at least 1 × 1.</param>
    /// <param name="dst">Receives the result; a grid other than <paramref name="src"/>.</param>
    /// <param name="edge">Treatment of terms outside the source.</param>
    /// <param name="outputType">SINT08, SINT16, SINT32, SINT64, REAL32 or REAL64.</param>
    /// <returns>False when the source is empty or of a type without a filter, or memory runs
    /// out.</returns>
    /// <exception cref="ArgumentNullException">A grid or the kernel is null.</exception>
    /// <exception cref="ArgumentException">The kernel is empty, or <paramref name="src"/> and
    /// <paramref name="dst"/> are the same grid.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="edge"/> is not an edge mode,
    /// or <paramref name="outputType"/> is not one of the six output types.</exception>
    /// <exception cref="ObjectDisposedException">A grid has been disposed.</exception>
    public static unsafe bool Convolve(XGrid src, double[,] kernel, XGrid dst, eConvolveEdge edge,
                                       eDataType outputType)
    {
        ArgumentNullException.ThrowIfNull(src);
        ArgumentNullException.ThrowIfNull(kernel);
        ArgumentNullException.ThrowIfNull(dst);
        if (kernel.Length == 0) throw new ArgumentException("The kernel is empty.", nameof(kernel));
        if (ReferenceEquals(src, dst) || src.Handle == dst.Handle)
            throw new ArgumentException("The source and the destination must be different grids.", nameof(dst));
        if (edge != eConvolveEdge.Skip && edge != eConvolveEdge.Clamp)
            throw new ArgumentOutOfRangeException(nameof(edge), edge, "Not an edge mode.");
        if (outputType is not (eDataType.SINT08 or eDataType.SINT16 or eDataType.SINT32 or eDataType.SINT64
                               or eDataType.REAL32 or eDataType.REAL64))
            throw new ArgumentOutOfRangeException(nameof(outputType), outputType, "Not an output type of the filter.");
        NativeObject s = src.Handle, d = dst.Handle;
        bool ok;
        // A rectangular array is stored row by row, as the native kernel is.
        fixed (double* k = kernel)
            ok = Native.Resample.Convolve(s, k, kernel.GetLength(0), kernel.GetLength(1), d, (int)edge,
                                          (int)outputType) != 0;
        GC.KeepAlive(src);
        dst.UpdateMemoryPressure();
        return ok;
    }
}
