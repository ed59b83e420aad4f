using System;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the grid statistics (ostrel_grid_get_statistics and its form with options).</summary>
    internal static unsafe partial class Stats
    {
        /// <summary>
        /// Statistics of a grid rectangle: <paramref name="count"/> receives the accepted samples,
        /// <paramref name="stats"/> minimum, maximum, mean and standard deviation, and
        /// <paramref name="hist"/> (may be null) 256 bin counts. Returns 1, or 0 when nothing
        /// was written.
        /// </summary>
        [LibraryImport(Library, EntryPoint = "ostrel_grid_get_statistics")]
        internal static partial int GetStatistics(NativeObject grid, int r1, int r2, int c1, int c2, double noData,
                                                  ulong* count, double* stats, ulong* hist);

        /// <summary>
        /// <see cref="GetStatistics"/> with the options of <see cref="eStatisticsOptions"/>
        /// (ostrel_grid_get_statistics_ex). Returns 1, or 0 when nothing was written (also for
        /// an unknown option bit).
        /// </summary>
        [LibraryImport(Library, EntryPoint = "ostrel_grid_get_statistics_ex")]
        internal static partial int GetStatisticsEx(NativeObject grid, int r1, int r2, int c1, int c2, double noData,
                                                    int options, ulong* count, double* stats, ulong* hist);
    }
}
