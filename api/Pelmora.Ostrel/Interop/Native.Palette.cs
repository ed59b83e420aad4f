using System;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the palette catalogue (ostrel_palette_*).</summary>
    internal static unsafe partial class Palette
    {
        /// <summary>Number of palettes in the catalogue.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_palette_count")]
        internal static partial int Count();

        /// <summary>
        /// Copies a palette's name, zero-terminated and cut to <paramref name="size"/> - 1 bytes,
        /// into <paramref name="buf"/>; returns the name's full length in bytes.
        /// </summary>
        [LibraryImport(Library, EntryPoint = "ostrel_palette_name")]
        internal static partial int Name(int index, byte* buf, int size);

        /// <summary>Writes the palette's 256 entries into three arrays; 1, or 0 when the index has no palette.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_palette_get")]
        internal static partial int Get(int index, byte* r, byte* g, byte* b);

        /// <summary>Renders a grid's first channel through a palette into an RGB grid; 1, or 0
        /// when nothing was rendered.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_grid_colorize")]
        internal static partial int Colorize(NativeObject src, int palette, double low, double high, double noData,
                                             NativeObject dst);
    }
}
