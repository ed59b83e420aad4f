using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the public thread's native progress holder (ostrel_thread_*). Every
    /// function tolerates a null handle. The calls that take the holder's internal lock
    /// (is_valid, set_priority) keep the GC transition.</summary>
    internal static partial class Thread
    {
        [LibraryImport(Library, EntryPoint = "ostrel_thread_new")]
        internal static partial IntPtr New();

        [LibraryImport(Library, EntryPoint = "ostrel_thread_delete")]
        internal static partial void Delete(IntPtr thread);

        [LibraryImport(Library, EntryPoint = "ostrel_thread_run"), SuppressGCTransition]
        internal static partial int Run(NativeObject thread);

        [LibraryImport(Library, EntryPoint = "ostrel_thread_stop"), SuppressGCTransition]
        internal static partial int Stop(NativeObject thread);

        [LibraryImport(Library, EntryPoint = "ostrel_thread_is_valid")]
        internal static partial int IsValid(NativeObject thread);

        [LibraryImport(Library, EntryPoint = "ostrel_thread_get_percent"), SuppressGCTransition]
        internal static partial int GetPercent(NativeObject thread);

        [LibraryImport(Library, EntryPoint = "ostrel_thread_set_percent"), SuppressGCTransition]
        internal static partial void SetPercent(NativeObject thread, int percent);

        [LibraryImport(Library, EntryPoint = "ostrel_thread_set_percent_range"), SuppressGCTransition]
        internal static partial void SetPercentRange(NativeObject thread, int min, int max);

        [LibraryImport(Library, EntryPoint = "ostrel_thread_get_percent_range"), SuppressGCTransition]
        internal static partial void GetPercentRange(NativeObject thread, out int min, out int max);

        [LibraryImport(Library, EntryPoint = "ostrel_thread_set_priority")]
        internal static partial int SetPriority(NativeObject thread, int priority);

        [LibraryImport(Library, EntryPoint = "ostrel_thread_get_priority"), SuppressGCTransition]
        internal static partial int GetPriority(NativeObject thread);
    }
}
