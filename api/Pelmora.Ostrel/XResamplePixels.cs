using System;
using System.Runtime.CompilerServices;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Threading;

namespace Pelmora.Ostrel;

/// <summary>
/// Fills a destination grid from a source grid through a coordinate mapping, on a pool of native
/// worker threads (one per processor by default), owned in native memory.
/// </summary>
/// <remarks>
/// <para>Every run first fills the destination with the background value, then maps each
/// destination pixel (column c, row r) to a source position (x = column, y = row) and stores the
/// source's value interpolated there (<see cref="Nearest"/>, <see cref="Bilinear"/>,
/// <see cref="Cubic"/> or <see cref="CubicSeparable"/>). Pixels whose source position falls outside the source keep the
/// background; a mapping that does not map a pixel (a Null polynomial, a projective w of 0)
/// leaves it at its own position. The mapping goes from destination pixels to source pixels. The destination keeps
/// its shape and type; allocate it before the run. The whole run happens in native code; only
/// the progress reports come back.</para>
/// <para>Progress is reported through <see cref="IProgress{T}"/> as the percent of rows done
/// (each value once, rising, from a worker thread; <see cref="Progress{T}"/> passes it on to the
/// caller's context). A <see cref="CancellationToken"/> stops the workers after their current
/// row: the run then returns false and every destination row holds either its resampled values
/// or the background.</para>
/// <para>Runs on one object are serialised; use several objects to run at once. Release it with
/// <see cref="Dispose()"/>; a forgotten object is released by its finaliser. Disposing the
/// resampler, a grid or the mapping while a run uses them (on another thread) does not stop the
/// run: each native object is released when the run returns, and later calls on a disposed object
/// throw <see cref="ObjectDisposedException"/>.</para>
/// </remarks>
public class XResamplePixels : IDisposable
{
    /// <summary>Interpolation method: the source sample whose cell holds the position (column
    /// ⌊x⌋, row ⌊y⌋).</summary>
    public const int Nearest = 0;

    /// <summary>Interpolation method: bilinear over the 2 × 2 neighbourhood.</summary>
    public const int Bilinear = 1;

    /// <summary>Interpolation method: a radial cubic kernel over the 4 × 4 neighbourhood (each
    /// sample weighted by its distance from the position).</summary>
    public const int Cubic = 2;

    /// <summary>Interpolation method: the separable cubic convolution (a = −0.5) over the 4 × 4
    /// neighbourhood, one cubic along each axis; it reproduces planes and quadratics
    /// exactly.</summary>
    public const int CubicSeparable = 3;

    private readonly NativeObject m_resampler;
    /// <summary>Serialises runs and the settings, which a run reads.</summary>
    private readonly object m_lock = new();

    /// <summary>Creates a resampler with one worker per processor.</summary>
    /// <exception cref="OutOfMemoryException">The native resampler could not be created.</exception>
    public XResamplePixels()
    {
        m_resampler = new NativeObject(Native.Resample.New(), static p => Native.Resample.Delete(p),
                                       nameof(XResamplePixels));
    }

    /// <summary>Releases the native resampler if <see cref="Dispose()"/> was not called.</summary>
    ~XResamplePixels() => Dispose(false);

    /// <summary>Releases the native resampler and its workers now, or when a run in progress on
    /// another thread returns; calling it again does nothing.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Releases the native resampler; disposal and finalisation do the same.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>, false from the finaliser.</param>
    protected virtual void Dispose(bool disposing) => m_resampler?.Dispose();  // null after a constructor threw

    /// <summary>The owned native resampler; throws once the object is disposed.</summary>
    internal NativeObject Handle => m_resampler.Live;

    /// <summary>Number of worker threads. Setting recreates the pool: 0 runs on the calling
    /// thread, a count above the number of processors gives one worker per processor.</summary>
    /// <exception cref="ArgumentOutOfRangeException">Set to a negative count.</exception>
    /// <exception cref="ObjectDisposedException">The resampler has been disposed.</exception>
    public int NumberOfThreads
    {
        get
        {
            lock (m_lock)
            {
                int n = Native.Resample.Threads(Handle);
                GC.KeepAlive(this);
                return n;
            }
        }
        set
        {
            if (value < 0)
                throw new ArgumentOutOfRangeException(nameof(value), value, "The thread count cannot be negative.");
            lock (m_lock)
            {
                Native.Resample.SetThreads(Handle, value);
                GC.KeepAlive(this);
            }
        }
    }

    /// <summary>How interpolated values are stored into a destination of an integer type (the
    /// integer scalars, their complex pairs and the colour types). False (the default): clamped to
    /// the type's range and truncated toward zero, so 254.9 becomes 254. True: each channel is
    /// first rounded to the nearest integer, halves away from zero (2.5 gives 3, −2.5 gives −3),
    /// so a flat area keeps its value where the interpolation's rounding errors fall just below
    /// it. Real destinations are stored as computed either way.</summary>
    /// <exception cref="ObjectDisposedException">The resampler has been disposed.</exception>
    public bool Rounding
    {
        get
        {
            lock (m_lock)
            {
                bool round = Native.Resample.Rounding(Handle) != 0;
                GC.KeepAlive(this);
                return round;
            }
        }
        set
        {
            lock (m_lock)
            {
                Native.Resample.SetRounding(Handle, value ? 1 : 0);
                GC.KeepAlive(this);
            }
        }
    }

    /// <summary>The source's no-data value, or null (the default) when every source sample takes
    /// part. When set, source samples equal to it (each channel compared in the source's own
    /// precision: as floats for REAL32 sources) and NaN samples never contribute: nearest leaves
    /// the background where it would take one; bilinear renormalises its weights over the valid
    /// samples (the background stays when they weigh almost nothing); the cubics fall back to that
    /// bilinear rule where their window holds one. <see cref="double.NaN"/> screens out the
    /// non-numbers alone.</summary>
    /// <exception cref="ObjectDisposedException">The resampler has been disposed.</exception>
    public double? SourceNoData
    {
        get
        {
            lock (m_lock)
            {
                bool on = Native.Resample.SourceNoData(Handle, out double value) != 0;
                GC.KeepAlive(this);
                return on ? value : null;
            }
        }
        set
        {
            lock (m_lock)
            {
                Native.Resample.SetSourceNoData(Handle, value.HasValue ? 1 : 0, value ?? 0);
                GC.KeepAlive(this);
            }
        }
    }

    /// <summary>Resamples <paramref name="src"/> into <paramref name="dst"/> through a polynomial
    /// mapping from destination pixels to source pixels (an <see cref="XWarp2D"/> maps through
    /// its cells).</summary>
    /// <param name="src">The source grid.</param>
    /// <param name="dst">The destination grid, allocated with the wanted shape and type.</param>
    /// <param name="warp">Destination pixel → source pixel.</param>
    /// <param name="method"><see cref="Nearest"/>, <see cref="Bilinear"/>, <see cref="Cubic"/> or
    /// <see cref="CubicSeparable"/>.</param>
    /// <param name="background">Value of destination pixels without a source sample.</param>
    /// <param name="progress">Receives the percent of rows done; may be null.</param>
    /// <param name="cancel">Stops the run between rows.</param>
    /// <returns>True when every row was done; false when the run was cancelled (or, with an empty
    /// destination or source, nothing was written).</returns>
    /// <exception cref="ArgumentNullException">A grid or the mapping is null.</exception>
    /// <exception cref="ArgumentException"><paramref name="src"/> and <paramref name="dst"/> are the
    /// same grid.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="method"/> is not a
    /// method.</exception>
    /// <exception cref="ObjectDisposedException">This object, a grid or the mapping has been
    /// disposed.</exception>
    public unsafe bool ResampleByWarp(XGrid src, XGrid dst, XWarpCoeff warp, int method, double background,
                               IProgress<int>? progress = null, CancellationToken cancel = default)
    {
        CheckGrids(src, dst, method);
        ArgumentNullException.ThrowIfNull(warp);
        NativeObject s = src.Handle, d = dst.Handle, w = warp.Handle;
        return Run(progress, cancel,
                   (self, fn, user) => Native.Resample.ByWarp(self, s, d, w, method, background, fn, user));
    }

    /// <summary>Resamples <paramref name="src"/> into <paramref name="dst"/> through a projective
    /// mapping from destination pixels to source pixels; otherwise as
    /// <see cref="ResampleByWarp"/>.</summary>
    /// <param name="src">The source grid.</param>
    /// <param name="dst">The destination grid, allocated with the wanted shape and type.</param>
    /// <param name="warp">Destination pixel → source pixel. Where it maps nothing (an unfitted
    /// mapping, or w = 0) the pixel takes the source at its own position.</param>
    /// <param name="method"><see cref="Nearest"/>, <see cref="Bilinear"/>, <see cref="Cubic"/> or
    /// <see cref="CubicSeparable"/>.</param>
    /// <param name="background">Value of destination pixels without a source sample.</param>
    /// <param name="progress">Receives the percent of rows done; may be null.</param>
    /// <param name="cancel">Stops the run between rows.</param>
    /// <returns>True when every row was done; false when the run was cancelled.</returns>
    /// <exception cref="ArgumentNullException">A grid or the mapping is null.</exception>
    /// <exception cref="ArgumentException"><paramref name="src"/> and <paramref name="dst"/> are the
    /// same grid.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="method"/> is not a
    /// method.</exception>
    /// <exception cref="ObjectDisposedException">This object, a grid or the mapping has been
    /// disposed.</exception>
    public unsafe bool ResampleByProjective(XGrid src, XGrid dst, XProjectiveWarp warp, int method, double background,
                                     IProgress<int>? progress = null, CancellationToken cancel = default)
    {
        CheckGrids(src, dst, method);
        ArgumentNullException.ThrowIfNull(warp);
        NativeObject s = src.Handle, d = dst.Handle, w = warp.Handle;
        return Run(progress, cancel,
                   (self, fn, user) => Native.Resample.ByProjective(self, s, d, w, method, background, fn, user));
    }

    /// <summary>Resamples <paramref name="src"/> into <paramref name="dst"/> through a map that
    /// holds the source position of every destination pixel: element r · columns + c for
    /// destination pixel (r, c), x = source column, y = source row. A coordinate equal to
    /// <see cref="XGrid.NAN_REAL64"/> leaves the pixel at the background. Otherwise as
    /// <see cref="ResampleByWarp"/>; an array converts to the span.</summary>
    /// <param name="src">The source grid.</param>
    /// <param name="dst">The destination grid, allocated with the wanted shape and type.</param>
    /// <param name="map">Rows × columns of the destination source positions.</param>
    /// <param name="method"><see cref="Nearest"/>, <see cref="Bilinear"/>, <see cref="Cubic"/> or
    /// <see cref="CubicSeparable"/>.</param>
    /// <param name="background">Value of destination pixels without a source sample.</param>
    /// <param name="progress">Receives the percent of rows done; may be null.</param>
    /// <param name="cancel">Stops the run between rows.</param>
    /// <returns>True when every row was done; false when the run was cancelled.</returns>
    /// <exception cref="ArgumentNullException">A grid is null.</exception>
    /// <exception cref="ArgumentException">The map does not hold one position per destination
    /// pixel, or <paramref name="src"/> and <paramref name="dst"/> are the same grid.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="method"/> is not a
    /// method.</exception>
    /// <exception cref="ObjectDisposedException">This object or a grid has been disposed.</exception>
    public unsafe bool ResampleByCoordMap(XGrid src, XGrid dst, ReadOnlySpan<XVertex2d.Unmanaged> map, int method,
                                          double background, IProgress<int>? progress = null,
                                          CancellationToken cancel = default)
    {
        CheckGrids(src, dst, method);
        NativeObject s = src.Handle, d = dst.Handle;
        int rows = dst.RSize, cols = dst.CSize;
        if (map.Length != (long)rows * cols)
            throw new ArgumentException(
                $"The map holds {map.Length} positions; the destination has {rows} x {cols} pixels.", nameof(map));
        bool ok;
        fixed (XVertex2d.Unmanaged* p = map)
        {
            double* coords = (double*)p;
            ok = Run(progress, cancel,
                     (self, fn, user) => Native.Resample.ByCoordMap(self, s, d, coords, rows, cols, method,
                                                                    background, fn, user));
        }
        GC.KeepAlive(dst);
        return ok;
    }

    private static void CheckGrids(XGrid src, XGrid dst, int method)
    {
        ArgumentNullException.ThrowIfNull(src);
        ArgumentNullException.ThrowIfNull(dst);
        if (ReferenceEquals(src, dst) || src.Handle == dst.Handle)
            throw new ArgumentException("The source and the destination must be different grids.", nameof(dst));
        if (method < Nearest || method > CubicSeparable)
            throw new ArgumentOutOfRangeException(nameof(method), method, "Not an interpolation method.");
    }

    private unsafe delegate int NativeRun(IntPtr self, delegate* unmanaged<IntPtr, int, void> progress, IntPtr user);

    /// <summary>What a run shares with its progress callback.</summary>
    private sealed class RunState(IProgress<int> progress)
    {
        internal readonly IProgress<int> Progress = progress;
        internal ExceptionDispatchInfo? Failure;
        internal IntPtr Resampler;
    }

    /// <summary>One native run with the cancel request and the progress callback attached.</summary>
    private unsafe bool Run(IProgress<int>? progress, CancellationToken cancel, NativeRun run)
    {
        lock (m_lock)
        {
            // Held for the whole run: the progress report and the cancel request use the
            // resampler's address even if another thread disposes it meanwhile.
            using NativeObject.Lease resampler = m_resampler.Use();
            IntPtr self = resampler.Pointer;
            Native.Resample.Cancel(self, cancel.IsCancellationRequested ? 1 : 0);
            RunState? state = progress is null ? null : new RunState(progress) { Resampler = self };
            GCHandle stateHandle = state is null ? default : GCHandle.Alloc(state);
            int rc;
            try
            {
                // The registration is disposed before the lock is released, and its disposal
                // waits for a callback in flight, so the request never reaches a later run.
                using (cancel.Register(static o => Native.Resample.Cancel((IntPtr)o!, 1), self))
                {
                    rc = run(self, state is null ? null : &OnProgress,
                             state is null ? IntPtr.Zero : GCHandle.ToIntPtr(stateHandle));
                }
            }
            finally
            {
                if (stateHandle.IsAllocated) stateHandle.Free();
                Native.Resample.Cancel(self, 0);
                GC.KeepAlive(this);
            }
            state?.Failure?.Throw();
            return rc != 0;
        }
    }

    /// <summary>The native progress callback: passes the percent to the caller's
    /// <see cref="IProgress{T}"/>. An exception from it cannot cross into native code; it cancels
    /// the run and is rethrown on the calling thread when the run returns.</summary>
    [UnmanagedCallersOnly]
    private static void OnProgress(IntPtr user, int percent)
    {
        var state = (RunState)GCHandle.FromIntPtr(user).Target!;
        if (state.Failure is not null) return;
        try
        {
            state.Progress.Report(percent);
        }
        catch (Exception e)
        {
            state.Failure = ExceptionDispatchInfo.Capture(e);
            Native.Resample.Cancel(state.Resampler, 1);
        }
    }
}
