using System;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>The XObject protocol of the VC, FT and Generic registries (ostrel_object_*). Both
    /// functions ignore a null pointer.</summary>
    internal static partial class Registry
    {
        /// <summary>The object's reference count; 0 for a null pointer.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_object_get_refer_count")]
        internal static partial int GetReferCount(IntPtr obj);

        /// <summary>Destroys the object through its virtual destructor, which frees it.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_object_delete")]
        internal static partial void Delete(IntPtr obj);
    }
}
