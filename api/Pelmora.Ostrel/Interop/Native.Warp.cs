using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the polynomial warp coefficients (ostrel_warp_*).</summary>
    internal static unsafe partial class Warp
    {
        [LibraryImport(Library, EntryPoint = "ostrel_warp_new")]
        internal static partial IntPtr New();

        [LibraryImport(Library, EntryPoint = "ostrel_warp_new_copy")]
        internal static partial IntPtr NewCopy(NativeObject src);

        /// <summary><see cref="NewCopy(NativeObject)"/> of a native mapping the caller owns.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_warp_new_copy")]
        internal static partial IntPtr NewCopy(IntPtr src);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_delete")]
        internal static partial void Delete(IntPtr warp);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_is_unchanged"), SuppressGCTransition]
        internal static partial int IsUnchanged(NativeObject warp);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_warp_point"), SuppressGCTransition]
        internal static partial int WarpPoint(NativeObject warp, double x, double y, out double xo, out double yo);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_create_rotation"), SuppressGCTransition]
        internal static partial void CreateRotation(NativeObject warp, double angle, double centerX, double centerY);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_method"), SuppressGCTransition]
        internal static partial int Method(NativeObject warp);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_get_coeffs"), SuppressGCTransition]
        internal static partial void GetCoeffs(NativeObject warp, double* coeffX, double* coeffY, double* rmsX, double* rmsY);

        [LibraryImport(Library, EntryPoint = "ostrel_warp_map_points")]
        internal static partial void MapPoints(NativeObject warp, int n, double* x, double* y, byte* ok);

        [LibraryImport(Library, EntryPoint = "ostrel_warp2d_new")]
        internal static partial IntPtr New2D();

        [LibraryImport(Library, EntryPoint = "ostrel_warp2d_new_from")]
        internal static partial IntPtr New2DFrom(NativeObject src);

        [LibraryImport(Library, EntryPoint = "ostrel_warp2d_fit")]
        internal static partial int Fit2D(NativeObject warp, int method, int n, double* srcX, double* srcY, double* dstX,
                                          double* dstY, byte* mask, int gridCols, int gridRows);

        [LibraryImport(Library, EntryPoint = "ostrel_warp2d_cell_rows"), SuppressGCTransition]
        internal static partial int CellRows(NativeObject warp);

        [LibraryImport(Library, EntryPoint = "ostrel_warp2d_cell_cols"), SuppressGCTransition]
        internal static partial int CellCols(NativeObject warp);

        [LibraryImport(Library, EntryPoint = "ostrel_warp2d_new_cell")]
        internal static partial IntPtr NewCell(NativeObject warp, int row, int col);

        [LibraryImport(Library, EntryPoint = "ostrel_warp2d_get_bounds"), SuppressGCTransition]
        internal static partial void GetBounds(NativeObject warp, double* bounds);
    }
}
