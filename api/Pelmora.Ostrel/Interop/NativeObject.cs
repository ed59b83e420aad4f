using System;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

/// <summary>
/// The one native object a public class owns, counted as a <see cref="SafeHandle"/>: every
/// binding that takes it holds a reference for the length of the native call, and
/// <see cref="ReleaseHandle"/> deletes the object once it is disposed and the last such call has
/// returned. So disposing an object (or closing the library) while another thread's call still
/// uses it never frees memory under that call, and a call that starts after the disposal throws
/// <see cref="ObjectDisposedException"/>.
/// </summary>
/// <remarks>
/// Managed code that reads the object's memory itself (a sample block as a span, a record through
/// a pointer) holds a reference with <see cref="Use"/> for as long as it reads. The handle has
/// its own finaliser, so an owner that is collected without disposal still releases it. An
/// owner's finaliser closes the handle like <c>Dispose</c>; so that it cannot do so halfway
/// through one of the owner's methods (whose next call would then throw), the methods still end
/// with <see cref="GC.KeepAlive"/> of the owner.
/// </remarks>
internal sealed class NativeObject : SafeHandle
{
    private readonly Action<IntPtr> m_delete;
    private readonly string m_ownerName;

    /// <summary>Takes ownership of <paramref name="pObject"/>.</summary>
    /// <param name="pObject">The native object, not zero.</param>
    /// <param name="delete">Deletes it: the C surface's delete function of its kind.</param>
    /// <param name="ownerName">The public class, named by <see cref="ObjectDisposedException"/>.</param>
    /// <exception cref="OutOfMemoryException"><paramref name="pObject"/> is zero: the native
    /// object could not be created.</exception>
    internal NativeObject(IntPtr pObject, Action<IntPtr> delete, string ownerName) : base(IntPtr.Zero, true)
    {
        if (pObject == IntPtr.Zero) throw new OutOfMemoryException($"The native object of {ownerName} could not be created.");
        m_delete = delete;
        m_ownerName = ownerName;
        SetHandle(pObject);
    }

    /// <inheritdoc/>
    public override bool IsInvalid => handle == IntPtr.Zero;

    /// <summary>This handle, for a binding to take; throws once the owner is disposed.</summary>
    internal NativeObject Live => IsClosed ? throw new ObjectDisposedException(m_ownerName) : this;

    /// <summary>A reference on the object with its address, valid until the lease is disposed:
    /// for managed code that reads the object itself or passes its address on meanwhile.</summary>
    /// <exception cref="ObjectDisposedException">The owner has been disposed.</exception>
    internal Lease Use()
    {
        bool added = false;
        try
        {
            DangerousAddRef(ref added);
        }
        catch (ObjectDisposedException)
        {
            throw new ObjectDisposedException(m_ownerName);
        }
        return new Lease(this);
    }

    /// <inheritdoc/>
    protected override bool ReleaseHandle()
    {
        m_delete(handle);
        return true;
    }

    /// <summary>A reference held on the object; <see cref="Dispose"/> gives it back.</summary>
    internal readonly ref struct Lease
    {
        private readonly NativeObject m_owner;

        internal Lease(NativeObject owner)
        {
            m_owner = owner;
            Pointer = owner.DangerousGetHandle();
        }

        /// <summary>The object's address, valid until the lease is disposed.</summary>
        internal IntPtr Pointer { get; }

        /// <summary>Gives the reference back.</summary>
        public void Dispose() => m_owner.DangerousRelease();
    }
}
