using System;

namespace Pelmora.Ostrel;

/// <summary>
/// The result of a hit test: what was hit (<see cref="Flag"/>) and the index of the part hit
/// (<see cref="Index"/>), held in a native record that this object owns.
/// </summary>
/// <remarks>The record is freed by <see cref="Dispose()"/> or, if that is forgotten, by the
/// finaliser; after disposal the properties throw <see cref="ObjectDisposedException"/>.</remarks>
public unsafe class XHitFlag : IDisposable
{
    private Native.Geo.HitFlagRecord* m_pHitFlag;

    /// <summary>Creates a record holding <see cref="eHitFlag.Null"/> and index -1.</summary>
    /// <exception cref="OutOfMemoryException">The native record could not be created.</exception>
    public XHitFlag() => Adopt(Native.Geo.HitFlagNew());

    /// <summary>Creates a record holding a copy of the 8 bytes of a native record; the given
    /// record stays the caller's.</summary>
    /// <param name="pHitFlag">Address of a native hit-test record (flag, then index, both 32-bit).</param>
    /// <exception cref="ArgumentNullException"><paramref name="pHitFlag"/> is zero.</exception>
    /// <exception cref="OutOfMemoryException">The native record could not be created.</exception>
    public XHitFlag(IntPtr pHitFlag)
    {
        if (pHitFlag == IntPtr.Zero) throw new ArgumentNullException(nameof(pHitFlag));
        Adopt(Native.Geo.HitFlagNewCopy((Native.Geo.HitFlagRecord*)pHitFlag));
    }

    /// <summary>Creates a record holding a copy of <paramref name="other"/>'s flag and index; the
    /// two objects are independent afterwards.</summary>
    /// <param name="other">The hit-test result to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="other"/> is null.</exception>
    /// <exception cref="ObjectDisposedException"><paramref name="other"/> has been disposed.</exception>
    /// <exception cref="OutOfMemoryException">The native record could not be created.</exception>
    public XHitFlag(XHitFlag other)
    {
        ArgumentNullException.ThrowIfNull(other);
        Adopt(Native.Geo.HitFlagNewCopy(other.Record));
        GC.KeepAlive(other);
    }

    /// <summary>Frees the native record if <see cref="Dispose()"/> was not called.</summary>
    ~XHitFlag() => Dispose(false);

    /// <summary>What was hit. Any value read from a native record is returned as it is.</summary>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    /// <exception cref="ArgumentOutOfRangeException">Set to a value that is not an
    /// <see cref="eHitFlag"/> member.</exception>
    public eHitFlag Flag
    {
        get
        {
            int flag = Record->flag;
            GC.KeepAlive(this);
            return (eHitFlag)flag;
        }
        set
        {
            if (value < eHitFlag.Null || value > eHitFlag.RightBottom)
                throw new ArgumentOutOfRangeException(nameof(value), value, "Not a hit flag.");
            Record->flag = (int)value;
            GC.KeepAlive(this);
        }
    }

    /// <summary>Index of the part hit; -1 when there is none.</summary>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    public int Index
    {
        get
        {
            int index = Record->index;
            GC.KeepAlive(this);
            return index;
        }
        set
        {
            Record->index = value;
            GC.KeepAlive(this);
        }
    }

    /// <summary>Frees the native record now. Calling it again does nothing.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Frees the native record once and clears the pointer; disposal
    /// (<paramref name="disposing"/> true) and finalisation (false) do the same.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>, false from the finaliser.</param>
    protected virtual void Dispose(bool disposing)
    {
        if (m_pHitFlag != null)
        {
            Native.Geo.HitFlagDelete(m_pHitFlag);
            m_pHitFlag = null;
        }
    }

    /// <summary>Address of the owned record, for callers that hand it to native code.</summary>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    internal IntPtr Handle => (IntPtr)Record;

    /// <summary>The owned record; throws once the object is disposed.</summary>
    /// <remarks>Every access through the pointer is followed by a use of its owner
    /// (<see cref="GC.KeepAlive"/>): the collector could otherwise finalise the owner as soon as
    /// the pointer is read, and the finaliser would free the record before the access.</remarks>
    private Native.Geo.HitFlagRecord* Record =>
        m_pHitFlag != null ? m_pHitFlag : throw new ObjectDisposedException(nameof(XHitFlag));

    private void Adopt(Native.Geo.HitFlagRecord* p)
    {
        if (p == null) throw new OutOfMemoryException("The native hit-test record could not be created.");
        m_pHitFlag = p;
    }
}
