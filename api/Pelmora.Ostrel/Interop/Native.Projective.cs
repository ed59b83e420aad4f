using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the projective mapping (ostrel_projective_*).</summary>
    internal static unsafe partial class Projective
    {
        [LibraryImport(Library, EntryPoint = "ostrel_projective_new")]
        internal static partial IntPtr New();

        [LibraryImport(Library, EntryPoint = "ostrel_projective_new_copy")]
        internal static partial IntPtr NewCopy(NativeObject src);

        [LibraryImport(Library, EntryPoint = "ostrel_projective_delete")]
        internal static partial void Delete(IntPtr warp);

        [LibraryImport(Library, EntryPoint = "ostrel_projective_fit")]
        internal static partial int Fit(NativeObject warp, int n, double* srcX, double* srcY, double* dstX, double* dstY,
                                        byte* mask);

        [LibraryImport(Library, EntryPoint = "ostrel_projective_warp_point"), SuppressGCTransition]
        internal static partial int WarpPoint(NativeObject warp, double x, double y, out double xo, out double yo);

        [LibraryImport(Library, EntryPoint = "ostrel_projective_get"), SuppressGCTransition]
        internal static partial void Get(NativeObject warp, double* h, double* rmsX, double* rmsY);
    }
}
