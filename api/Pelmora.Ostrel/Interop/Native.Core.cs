using System;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Library-wide entry points: diagnostics and sample types.</summary>
    internal static partial class Core
    {
        /// <summary>Number of native objects created through the C surface and not yet deleted.</summary>
        [LibraryImport(Native.Library)]
        internal static partial long ostrel_live_objects();

        /// <summary>
        /// The descriptive name of a sample type as zero-terminated 8-bit text owned by the
        /// native library (static storage, never freed by the caller); "" for unknown codes.
        /// </summary>
        [LibraryImport(Native.Library)]
        internal static partial IntPtr ostrel_datatype_string(int type);

        /// <summary>Bytes per sample of a sample type; 0 for unknown codes.</summary>
        [LibraryImport(Native.Library)]
        internal static partial int ostrel_datatype_size(int type);
    }
}
