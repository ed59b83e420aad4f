using System;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the grid statistics (ostrel_grid_get_statistics).</summary>
    internal static unsafe partial class Stats
    {
        /// <summary>
        /// Statistics of a grid rectangle: <paramref name="count"/> receives the accepted samples,
        /// <paramref name="stats"/> minimum, maximum, mean and standard deviation, and
        /// <paramref name="hist"/> (may be null) 256 bin counts. Returns 1, or 0 when nothing
        /// was written.
        /// </summary>
        [LibraryImport(Library, EntryPoint = "ostrel_grid_get_statistics")]
        internal static partial int GetStatistics(IntPtr grid, int r1, int r2, int c1, int c2, double noData,
                                                  ulong* count, double* stats, ulong* hist);
    }
}
