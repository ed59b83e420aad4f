using System;
using System.Collections.Generic;

namespace Pelmora.Ostrel;

/// <summary>
/// A projective (eight-parameter) plane-to-plane mapping, (x, y) → (p / w, q / w) with
/// (p, q, w) = H · (x, y, 1), owned in native memory and fitted to control points.
/// </summary>
/// <remarks>
/// <para>Direction: <see cref="Fit"/> builds the mapping from image positions
/// (<see cref="XGCP.imgCoord"/>) to reference positions (x and y of
/// <see cref="XGCP.refCoord"/>); <see cref="FitReferenceToImage"/> the reverse, which is what
/// <see cref="XResamplePixels.ResampleByProjective"/> needs for a destination laid out in
/// reference coordinates.</para>
/// <para>A new object is unfitted: its matrix is zero and it maps nothing. Release it with
/// <see cref="Dispose()"/>; a forgotten object is released by its finaliser. Any call after
/// disposal throws <see cref="ObjectDisposedException"/>. A fitted mapping may be read by several
/// threads at once.</para>
/// </remarks>
public class XProjectiveWarp : IDisposable
{
    private NativeObject m_warp;

    /// <summary>Creates an unfitted mapping.</summary>
    public XProjectiveWarp() => m_warp = Owned(Native.Projective.New());

    /// <summary>Creates a copy of <paramref name="other"/> (matrix and residuals).</summary>
    /// <param name="other">The mapping to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="other"/> is null.</exception>
    /// <exception cref="ObjectDisposedException"><paramref name="other"/> has been disposed.</exception>
    public XProjectiveWarp(XProjectiveWarp other)
    {
        ArgumentNullException.ThrowIfNull(other);
        m_warp = Owned(Native.Projective.NewCopy(other.Handle));
    }

    /// <summary>Releases the native mapping if <see cref="Dispose()"/> was not called.</summary>
    ~XProjectiveWarp() => Dispose(false);

    /// <summary>Replaces this object's native mapping by a new copy of
    /// <paramref name="other"/>'s.</summary>
    /// <param name="other">The mapping to copy.</param>
    /// <returns>This object.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="other"/> is null.</exception>
    /// <exception cref="ObjectDisposedException">Either object has been disposed.</exception>
    public XProjectiveWarp op_Assign(XProjectiveWarp other)
    {
        ArgumentNullException.ThrowIfNull(other);
        NativeObject self = Handle, source = other.Handle;
        if (self == source) return this;
        // A call still using the old mapping on another thread keeps it until it returns.
        m_warp = Owned(Native.Projective.NewCopy(source));
        self.Dispose();
        return this;
    }

    /// <summary>Releases the native mapping now; calling it again does nothing.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Releases the native mapping; disposal and finalisation do the same.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>, false from the finaliser.</param>
    protected virtual void Dispose(bool disposing) => m_warp?.Dispose();  // null after a constructor threw

    /// <summary>The owned native mapping, for a binding to hold during its call; throws once the
    /// object is disposed.</summary>
    internal NativeObject Handle => m_warp.Live;

    private static NativeObject Owned(IntPtr p) =>
        new(p, static w => Native.Projective.Delete(w), nameof(XProjectiveWarp));

    /// <summary>Fits the mapping from image positions to reference positions over the points whose
    /// <see cref="XGCP.Used"/> is true, by the normalised direct linear method.</summary>
    /// <param name="points">The control points.</param>
    /// <returns>True when fitted; false, with the mapping unfitted, when fewer than four points
    /// are used, the used points of a side coincide, or they do not determine the
    /// mapping.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentException">An element of <paramref name="points"/> is null.</exception>
    /// <exception cref="ObjectDisposedException">The mapping has been disposed.</exception>
    public bool Fit(IReadOnlyList<XGCP> points) => FitDirected(points, true);

    /// <summary>Fits the reverse mapping, from reference positions to image positions; otherwise
    /// as <see cref="Fit"/>.</summary>
    /// <param name="points">The control points.</param>
    /// <returns>As <see cref="Fit"/>.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentException">An element of <paramref name="points"/> is null.</exception>
    /// <exception cref="ObjectDisposedException">The mapping has been disposed.</exception>
    public bool FitReferenceToImage(IReadOnlyList<XGCP> points) => FitDirected(points, false);

    private unsafe bool FitDirected(IReadOnlyList<XGCP> points, bool imageToReference)
    {
        var pts = new ControlPointArrays(points, imageToReference, nameof(points));
        bool ok;
        fixed (double* sx = pts.SrcX, sy = pts.SrcY, dx = pts.DstX, dy = pts.DstY)
        fixed (byte* mask = pts.Mask)
            ok = Native.Projective.Fit(Handle, pts.Count, sx, sy, dx, dy, mask) != 0;
        GC.KeepAlive(this);
        return ok;
    }

    /// <summary>Maps (<paramref name="xi"/>, <paramref name="yi"/>).</summary>
    /// <param name="xi">Input x.</param>
    /// <param name="yi">Input y.</param>
    /// <param name="xo">Mapped x; the input where the mapping is undefined.</param>
    /// <param name="yo">Mapped y; the input where the mapping is undefined.</param>
    /// <returns>False where the point maps to infinity (w = 0), and for an unfitted
    /// mapping.</returns>
    /// <exception cref="ObjectDisposedException">The mapping has been disposed.</exception>
    public bool WarpPoint(double xi, double yi, out double xo, out double yo)
    {
        bool ok = Native.Projective.WarpPoint(Handle, xi, yi, out xo, out yo) != 0;
        GC.KeepAlive(this);
        return ok;
    }

    /// <summary>The 3 × 3 matrix H, row by row (zero for an unfitted mapping).</summary>
    /// <returns>A new array of 9 values.</returns>
    /// <exception cref="ObjectDisposedException">The mapping has been disposed.</exception>
    public unsafe double[] GetMatrix()
    {
        var h = new double[9];
        fixed (double* p = h)
            Native.Projective.Get(Handle, p, null, null);
        GC.KeepAlive(this);
        return h;
    }

    /// <summary>Root-mean-square x difference between the targets and the mapped sources over the
    /// used points of the last successful fit; 0 before any fit, 1.7e308 after a failed one or when
    /// no point mapped.</summary>
    public double RmsX => ReadRms(true);

    /// <summary>Root-mean-square y difference, as <see cref="RmsX"/>.</summary>
    public double RmsY => ReadRms(false);

    private unsafe double ReadRms(bool x)
    {
        double rms = 0;
        Native.Projective.Get(Handle, null, x ? &rms : null, x ? null : &rms);
        GC.KeepAlive(this);
        return rms;
    }
}
