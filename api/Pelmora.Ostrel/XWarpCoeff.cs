using System;

namespace Pelmora.Ostrel;

/// <summary>
/// A polynomial plane-to-plane coordinate mapping (see <see cref="eWarpMethod"/>), owned in
/// native memory. A new object maps nothing (method Null); <see cref="CreateRotation"/> builds a
/// rotation, and <see cref="XWarp2D"/> fits one to control points.
/// </summary>
/// <remarks>
/// Release it with <see cref="Dispose()"/>; a forgotten object is released by its finaliser. Any
/// call after disposal throws <see cref="ObjectDisposedException"/>. A mapping may be read by
/// several threads at once; changing it needs exclusive access.
/// </remarks>
public class XWarpCoeff : IDisposable
{
    private NativeObject m_warp;

    /// <summary>Creates a mapping in the Null state.</summary>
    public XWarpCoeff() => m_warp = Owned(Native.Warp.New());

    /// <summary>Creates a copy of <paramref name="other"/> (method, coefficients, residuals). Of an
    /// <see cref="XWarp2D"/> only the global polynomial is copied, not its cells.</summary>
    /// <param name="other">The mapping to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="other"/> is null.</exception>
    /// <exception cref="ObjectDisposedException"><paramref name="other"/> has been disposed.</exception>
    public XWarpCoeff(XWarpCoeff other)
    {
        ArgumentNullException.ThrowIfNull(other);
        m_warp = Owned(Native.Warp.NewCopy(other.Handle));
    }

    /// <summary>Creates a copy of a native mapping; the native object stays the caller's.</summary>
    /// <param name="pWC">Address of a native mapping.</param>
    /// <exception cref="ArgumentNullException"><paramref name="pWC"/> is zero.</exception>
    public XWarpCoeff(IntPtr pWC)
    {
        if (pWC == IntPtr.Zero) throw new ArgumentNullException(nameof(pWC));
        m_warp = Owned(Native.Warp.NewCopy(pWC));
    }

    /// <summary>Takes ownership of a new native mapping (made by a derived class or a copy
    /// function of the C surface).</summary>
    /// <param name="pWC">The new native mapping; zero means it could not be made.</param>
    /// <param name="adopt">Marks this constructor apart from the copying one.</param>
    /// <exception cref="OutOfMemoryException"><paramref name="pWC"/> is zero.</exception>
    internal XWarpCoeff(IntPtr pWC, bool adopt)
    {
        _ = adopt;
        m_warp = Owned(pWC);
    }

    /// <summary>Releases the native mapping if <see cref="Dispose()"/> was not called.</summary>
    ~XWarpCoeff() => Dispose(false);

    /// <summary>Replaces this object's native mapping by a new copy of
    /// <paramref name="other"/>'s.</summary>
    /// <param name="other">The mapping to copy.</param>
    /// <returns>This object.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="other"/> is null.</exception>
    /// <exception cref="ObjectDisposedException">Either object has been disposed.</exception>
    public XWarpCoeff op_Assign(XWarpCoeff other)
    {
        ArgumentNullException.ThrowIfNull(other);
        NativeObject self = Handle, source = other.Handle;
        if (self == source) return this;
        // A call still using the old mapping on another thread keeps it until it returns.
        m_warp = Owned(NewCopyOf(source));
        self.Dispose();
        OnAssigned(other);
        return this;
    }

    /// <summary>A new native mapping of this object's own kind holding a copy of
    /// <paramref name="source"/>; zero when memory runs out.</summary>
    /// <param name="source">The native mapping to copy.</param>
    /// <returns>The new native mapping.</returns>
    private protected virtual IntPtr NewCopyOf(NativeObject source) => Native.Warp.NewCopy(source);

    /// <summary>Copies what a derived class keeps beside the native mapping after
    /// <see cref="op_Assign"/>.</summary>
    /// <param name="other">The mapping assigned from.</param>
    private protected virtual void OnAssigned(XWarpCoeff other) { }

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
        new(p, static w => Native.Warp.Delete(w), nameof(XWarpCoeff));

    /// <summary>True when the mapping changes nothing: method Null or NoChange.</summary>
    /// <returns>Whether the mapping is empty or the identity.</returns>
    public bool IsUnchanged()
    {
        bool unchanged = Native.Warp.IsUnchanged(Handle) != 0;
        GC.KeepAlive(this);
        return unchanged;
    }

    /// <summary>Maps (<paramref name="xi"/>, <paramref name="yi"/>). A mapping in the Null state
    /// returns the input unchanged; use <see cref="IsUnchanged"/> to tell it from the identity.</summary>
    /// <param name="xi">Input x.</param>
    /// <param name="yi">Input y.</param>
    /// <param name="xo">Mapped x.</param>
    /// <param name="yo">Mapped y.</param>
    public void WarpPoint(double xi, double yi, out double xo, out double yo)
    {
        Native.Warp.WarpPoint(Handle, xi, yi, out xo, out yo);
        GC.KeepAlive(this);
    }

    /// <summary>Maps (<paramref name="x"/>, <paramref name="y"/>) in place.</summary>
    /// <param name="x">The x to map.</param>
    /// <param name="y">The y to map.</param>
    public void WarpPoint(ref double x, ref double y)
    {
        Native.Warp.WarpPoint(Handle, x, y, out x, out y);
        GC.KeepAlive(this);
    }

    /// <summary>Makes this mapping a rotation of the plane by <paramref name="angle"/> degrees about
    /// (<paramref name="centerX"/>, <paramref name="centerY"/>): counter-clockwise in a y-up frame,
    /// clockwise on screen where y grows downwards. The method becomes Affine and the residuals
    /// 0.</summary>
    /// <param name="angle">Angle in degrees.</param>
    /// <param name="centerX">x of the fixed point.</param>
    /// <param name="centerY">y of the fixed point.</param>
    public void CreateRotation(double angle, double centerX, double centerY)
    {
        Native.Warp.CreateRotation(Handle, angle, centerX, centerY);
        GC.KeepAlive(this);
    }

    /// <summary>The form of the mapping's polynomial; <see cref="eWarpMethod.Null"/> for a new or
    /// failed mapping.</summary>
    public eWarpMethod Method
    {
        get
        {
            int method = Native.Warp.Method(Handle);
            GC.KeepAlive(this);
            return (eWarpMethod)method;
        }
    }

    /// <summary>The ten x coefficients in the order of <see cref="eWarpMethod"/> (highest degree
    /// first, the constant of the method's last term); entries beyond the method's term count are
    /// 0.</summary>
    /// <returns>A new array of 10 values.</returns>
    public double[] GetCoeffX() => ReadCoeffs(true);

    /// <summary>The ten y coefficients, ordered as those of <see cref="GetCoeffX"/>.</summary>
    /// <returns>A new array of 10 values.</returns>
    public double[] GetCoeffY() => ReadCoeffs(false);

    /// <summary>Root-mean-square x difference between the targets and the mapped sources of the
    /// fit that produced the mapping (in target units); 0 for a rotation, 1.7e308 when no point
    /// mapped.</summary>
    public double RmsX => ReadRms(true);

    /// <summary>Root-mean-square y difference, as <see cref="RmsX"/>.</summary>
    public double RmsY => ReadRms(false);

    private unsafe double[] ReadCoeffs(bool x)
    {
        var coeffs = new double[CoeffCount];
        fixed (double* p = coeffs)
            Native.Warp.GetCoeffs(Handle, x ? p : null, x ? null : p, null, null);
        GC.KeepAlive(this);
        return coeffs;
    }

    private unsafe double ReadRms(bool x)
    {
        double rms = 0;
        Native.Warp.GetCoeffs(Handle, null, null, x ? &rms : null, x ? null : &rms);
        GC.KeepAlive(this);
        return rms;
    }

    /// <summary>Number of coefficients per axis the native mapping stores.</summary>
    private const int CoeffCount = 10;
}
