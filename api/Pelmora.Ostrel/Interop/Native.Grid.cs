using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the raster grid (ostrel_grid_*).</summary>
    /// <remarks>
    /// The short accessors run without a GC transition: they neither block nor call back, and
    /// they are the calls a host makes once per sample.
    /// </remarks>
    internal static unsafe partial class Grid
    {
        /// <summary>Result of a checked accessor whose position lies outside the grid.</summary>
        internal const int OutOfRange = -1;

        [LibraryImport(Library, EntryPoint = "ostrel_grid_new")]
        internal static partial IntPtr New();

        [LibraryImport(Library, EntryPoint = "ostrel_grid_new_sized")]
        internal static partial IntPtr NewSized(int rows, int cols, int type);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_new_assigned")]
        internal static partial IntPtr NewAssigned(NativeObject src);

        /// <summary><see cref="NewAssigned(NativeObject)"/> from a native grid the caller owns.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_grid_new_assigned")]
        internal static partial IntPtr NewAssigned(IntPtr src);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_new_copy")]
        internal static partial IntPtr NewCopy(NativeObject src);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_delete")]
        internal static partial void Delete(IntPtr grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_free")]
        internal static partial void Free(NativeObject grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_alloc")]
        internal static partial int Alloc(NativeObject grid, int rows, int cols, int type);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_alloc_exact")]
        internal static partial int AllocExact(NativeObject grid, int rows, int cols, int type);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_reform")]
        internal static partial int Reform(NativeObject grid, int rows, int cols);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_is_valid"), SuppressGCTransition]
        internal static partial int IsValid(NativeObject grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_rsize"), SuppressGCTransition]
        internal static partial int RSize(NativeObject grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_csize"), SuppressGCTransition]
        internal static partial int CSize(NativeObject grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_datatype"), SuppressGCTransition]
        internal static partial int DataType(NativeObject grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_datasize"), SuppressGCTransition]
        internal static partial int DataSize(NativeObject grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_alloc_size"), SuppressGCTransition]
        internal static partial int AllocSize(NativeObject grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_data"), SuppressGCTransition]
        internal static partial IntPtr Data(NativeObject grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_get_value"), SuppressGCTransition]
        internal static partial int GetValue(NativeObject grid, int row, int col, double* abcd);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_set_value"), SuppressGCTransition]
        internal static partial int SetValue(NativeObject grid, int row, int col, double a, double b, double c, double d);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_zerorize")]
        internal static partial void Zerorize(NativeObject grid);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_fill")]
        internal static partial void Fill(NativeObject grid, double a, double b, double c, double d);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_get_subset")]
        internal static partial int GetSubset(NativeObject grid, NativeObject dst, int r1, int r2, int c1, int c2);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_set_subset_memory")]
        internal static partial int SetSubsetMemory(NativeObject grid, void* src, int type, int r1, int r2, int c1, int c2,
                                                     double noData);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_flip_vert")]
        internal static partial int FlipVert(NativeObject grid, NativeObject dst);

        [LibraryImport(Library, EntryPoint = "ostrel_grid_flip_horz")]
        internal static partial int FlipHorz(NativeObject grid, NativeObject dst);
    }
}
