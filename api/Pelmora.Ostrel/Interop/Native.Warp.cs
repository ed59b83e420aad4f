using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the polynomial warp coefficients (ostrel_warp_*).</summary>
    internal static partial class Warp
    {
        [LibraryImport(Library, EntryPoint = "ostrel_warp_new")]
        internal static partial IntPtr New();

        [LibraryImport(Library, EntryPoint = "ostrel_warp_new_copy")]
        internal static partial IntPtr NewCopy(IntPtr src);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_delete")]
        internal static partial void Delete(IntPtr warp);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_is_unchanged"), SuppressGCTransition]
        internal static partial int IsUnchanged(IntPtr warp);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_warp_point"), SuppressGCTransition]
        internal static partial int WarpPoint(IntPtr warp, double x, double y, out double xo, out double yo);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_create_rotation"), SuppressGCTransition]
        internal static partial void CreateRotation(IntPtr warp, double angle, double centerX, double centerY);
    }
}
