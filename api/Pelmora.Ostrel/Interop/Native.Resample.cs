using System;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the resampler and the convolution (ostrel_resampler_*,
    /// ostrel_convolve).</summary>
    /// <remarks>The runs take the progress callback as an unmanaged function pointer
    /// <c>void (void* user, int percent)</c>, called on the pool's worker threads.</remarks>
    internal static unsafe partial class Resample
    {
        [LibraryImport(Library, EntryPoint = "ostrel_resampler_new")]
        internal static partial IntPtr New();

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_delete")]
        internal static partial void Delete(IntPtr resampler);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_set_threads")]
        internal static partial int SetThreads(NativeObject resampler, int n);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_threads")]
        internal static partial int Threads(NativeObject resampler);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_set_rounding")]
        internal static partial void SetRounding(NativeObject resampler, int round);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_rounding")]
        internal static partial int Rounding(NativeObject resampler);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_set_source_nodata")]
        internal static partial void SetSourceNoData(NativeObject resampler, int enable, double value);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_source_nodata")]
        internal static partial int SourceNoData(NativeObject resampler, out double value);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_cancel")]
        internal static partial void Cancel(IntPtr resampler, int cancel);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_by_warp")]
        internal static partial int ByWarp(IntPtr resampler, NativeObject src, NativeObject dst, NativeObject warp, int method,
                                           double background, delegate* unmanaged<IntPtr, int, void> progress,
                                           IntPtr user);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_by_projective")]
        internal static partial int ByProjective(IntPtr resampler, NativeObject src, NativeObject dst, NativeObject warp, int method,
                                                 double background, delegate* unmanaged<IntPtr, int, void> progress,
                                                 IntPtr user);

        [LibraryImport(Library, EntryPoint = "ostrel_resampler_by_coord_map")]
        internal static partial int ByCoordMap(IntPtr resampler, NativeObject src, NativeObject dst, double* map, int rows,
                                               int cols, int method, double background,
                                               delegate* unmanaged<IntPtr, int, void> progress, IntPtr user);

        [LibraryImport(Library, EntryPoint = "ostrel_convolve")]
        internal static partial int Convolve(NativeObject src, double* kernel, int kernelRows, int kernelCols, NativeObject dst,
                                             int edgeMode, int outputType);
    }
}
