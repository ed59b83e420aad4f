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
    private readonly NativeObject m_record;

    /// <summary>Creates a record holding <see cref="eHitFlag.Null"/> and index -1.</summary>
    /// <exception cref="OutOfMemoryException">The native record could not be created.</exception>
    public XHitFlag() => m_record = Owned(Native.Geo.HitFlagNew());

    /// <summary>Creates a record holding a copy of the 8 bytes of a native record; the given
    /// record stays the caller's.</summary>
    /// <param name="pHitFlag">Address of a native hit-test record (flag, then index, both 32-bit).</param>
    /// <exception cref="ArgumentNullException"><paramref name="pHitFlag"/> is zero.</exception>
    /// <exception cref="OutOfMemoryException">The native record could not be created.</exception>
    public XHitFlag(IntPtr pHitFlag)
    {
        if (pHitFlag == IntPtr.Zero) throw new ArgumentNullException(nameof(pHitFlag));
        m_record = Owned(Native.Geo.HitFlagNewCopy((Native.Geo.HitFlagRecord*)pHitFlag));
    }

    /// <summary>Creates a record holding a copy of <paramref name="other"/>'s flag and index; the
    /// two objects are independent afterwards.</summary>
    /// <param name="other">The record to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="other"/> is null.</exception>
    /// <exception cref="ObjectDisposedException"><paramref name="other"/> has been disposed.</exception>
    /// <exception cref="OutOfMemoryException">The native record could not be created.</exception>
    public XHitFlag(XHitFlag other)
    {
        ArgumentNullException.ThrowIfNull(other);
        using NativeObject.Lease record = other.m_record.Use();
        m_record = Owned(Native.Geo.HitFlagNewCopy((Native.Geo.HitFlagRecord*)record.Pointer));
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
            using NativeObject.Lease record = m_record.Use();
            return (eHitFlag)((Native.Geo.HitFlagRecord*)record.Pointer)->flag;
        }
        set
        {
            if (value < eHitFlag.Null || value > eHitFlag.RightBottom)
                throw new ArgumentOutOfRangeException(nameof(value), value, "Not a hit flag.");
            using NativeObject.Lease record = m_record.Use();
            ((Native.Geo.HitFlagRecord*)record.Pointer)->flag = (int)value;
        }
    }

    /// <summary>Index of the part hit; -1 when there is none.</summary>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    public int Index
    {
        get
        {
            using NativeObject.Lease record = m_record.Use();
            return ((Native.Geo.HitFlagRecord*)record.Pointer)->index;
        }
        set
        {
            using NativeObject.Lease record = m_record.Use();
            ((Native.Geo.HitFlagRecord*)record.Pointer)->index = value;
        }
    }

    /// <summary>Frees the native record now, or when a read or write of it on another thread
    /// has ended; calling it again does nothing.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Frees the native record; disposal and finalisation do the same.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>, false from the finaliser.</param>
    protected virtual void Dispose(bool disposing) => m_record?.Dispose();  // null after a constructor threw

    private static NativeObject Owned(Native.Geo.HitFlagRecord* p) =>
        new((IntPtr)p, static r => Native.Geo.HitFlagDelete((Native.Geo.HitFlagRecord*)r), nameof(XHitFlag));
}
