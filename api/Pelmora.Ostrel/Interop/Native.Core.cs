using System;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Library-wide entry points: diagnostics and sample types.</summary>
    internal static partial class Core
    {
        /// <summary>Number of native objects created through the C surface and not yet deleted.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_live_objects")]
        internal static partial long LiveObjects();

        /// <summary>
        /// The descriptive name of a sample type as zero-terminated 8-bit text owned by the
        /// native library (static storage, never freed by the caller); "" for unknown codes.
        /// </summary>
        [LibraryImport(Library, EntryPoint = "ostrel_datatype_string")]
        internal static partial IntPtr DataTypeString(int type);

        /// <summary>Bytes per sample of a sample type; 0 for unknown codes.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_datatype_size")]
        internal static partial int DataTypeSize(int type);
    }
}
