using System;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

/// <summary>
/// A ground control point: a position in the image plane (pixels) paired with its position in
/// the reference system, an identifier, and whether the point takes part in a fit. A plain value
/// holder; it owns no native memory.
/// </summary>
public class XGCP : IDisposable
{
    /// <summary>The native control point record, field for field.</summary>
    [StructLayout(LayoutKind.Sequential)]
    internal struct Native
    {
        internal int ID;
        internal byte Used;
        internal XVertex2d.Unmanaged imgCoord;
        internal XVertex3d.Unmanaged refCoord;
    }

    private XVertex2d m_imgCoord;
    private XVertex3d m_refCoord;

    /// <summary>A used point with identifier 0 at the origin of both systems.</summary>
    public XGCP()
    {
        m_imgCoord = new XVertex2d();
        m_refCoord = new XVertex3d();
        Used = true;
    }

    /// <summary>Copies a native control point record (all four fields, the reference z
    /// included).</summary>
    /// <param name="pGCP">Address of the native record.</param>
    /// <exception cref="ArgumentNullException"><paramref name="pGCP"/> is zero.</exception>
    public XGCP(IntPtr pGCP)
    {
        if (pGCP == IntPtr.Zero) throw new ArgumentNullException(nameof(pGCP));
        Native n = Marshal.PtrToStructure<Native>(pGCP);
        ID = n.ID;
        Used = n.Used != 0;
        m_imgCoord = new XVertex2d(n.imgCoord);
        m_refCoord = new XVertex3d(n.refCoord);
    }

    /// <summary>Copies another point's identifier, flag and coordinates into new vertices of
    /// this object's own.</summary>
    /// <param name="other">The point to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="other"/> is null.</exception>
    public XGCP(XGCP other)
    {
        ArgumentNullException.ThrowIfNull(other);
        m_imgCoord = new XVertex2d();
        m_refCoord = new XVertex3d();
        op_Assign(other);
    }

    /// <summary>Copies another point's identifier, flag and coordinate values into this object's
    /// own vertices.</summary>
    /// <param name="other">The point to copy.</param>
    /// <returns>This object.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="other"/> is null.</exception>
    public XGCP op_Assign(XGCP other)
    {
        ArgumentNullException.ThrowIfNull(other);
        ID = other.ID;
        Used = other.Used;
        m_imgCoord.x = other.m_imgCoord.x;
        m_imgCoord.y = other.m_imgCoord.y;
        m_refCoord.x = other.m_refCoord.x;
        m_refCoord.y = other.m_refCoord.y;
        m_refCoord.z = other.m_refCoord.z;
        return this;
    }

    /// <summary>Position in the image plane, in pixels.</summary>
    /// <exception cref="ArgumentNullException">Set to null.</exception>
    public XVertex2d imgCoord
    {
        get => m_imgCoord;
        set => m_imgCoord = value ?? throw new ArgumentNullException(nameof(value));
    }

    /// <summary>Position in the reference system (x, y and z).</summary>
    /// <exception cref="ArgumentNullException">Set to null.</exception>
    public XVertex3d refCoord
    {
        get => m_refCoord;
        set => m_refCoord = value ?? throw new ArgumentNullException(nameof(value));
    }

    /// <summary>Whether the point takes part in a fit.</summary>
    public bool Used { get; set; }

    /// <summary>The caller's identifier of the point.</summary>
    public int ID { get; set; }

    /// <summary>Releases nothing: a control point owns no native memory. Present so that control
    /// points are disposed like the library's other objects.</summary>
    public void Dispose() => GC.SuppressFinalize(this);
}
