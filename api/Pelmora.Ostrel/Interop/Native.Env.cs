using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>The shared record's environment and the process memory figure (ostrel_env_*).
    /// Every call that can meet a C++ exception reports it as <see cref="NativeException"/>.</summary>
    internal static unsafe partial class Env
    {
        /// <summary>Result of a call that a C++ exception ended.</summary>
        internal const int NativeException = -2;

        /// <summary>1 when the shared record exists (built on first use), else 0.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_env_has_global")]
        internal static partial int HasGlobal();

        /// <summary>Replaces the configuration path with zero-terminated text: 1, or 0 without a
        /// record.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_env_set_config_path")]
        internal static partial int SetConfigPath(byte* path);

        /// <summary>Copies the resource path into the buffer; returns its full length in
        /// bytes.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_env_get_resource_path")]
        internal static partial int GetResourcePath(byte* buffer, int size);

        /// <summary>Creates the temporary directory and copies its path into the buffer; returns
        /// its full length in bytes.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_env_get_temporary_path")]
        internal static partial int GetTemporaryPath(byte* buffer, int size);

        /// <summary>Tears the shared record down: 1, or <see cref="NativeException"/>.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_env_uninitialize")]
        internal static partial int Uninitialize();

        /// <summary>The process's private memory in bytes.</summary>
        [LibraryImport(Library, EntryPoint = "ostrel_env_get_process_private_memory")]
        internal static partial ulong GetProcessPrivateMemory();
    }
}
