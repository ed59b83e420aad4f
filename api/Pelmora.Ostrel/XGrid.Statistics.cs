using System;

namespace Pelmora.Ostrel;

public partial class XGrid
{
    /// <summary>
    /// Statistics of a rectangle of the grid: the number of samples counted, their minimum,
    /// maximum, mean and sample standard deviation (n - 1 in the denominator).
    /// </summary>
    /// <remarks>
    /// <para>Rows <paramref name="R1"/>..<paramref name="R2"/> and columns
    /// <paramref name="C1"/>..<paramref name="C2"/> (inclusive) are read; <paramref name="R1"/> &gt;
    /// <paramref name="R2"/> selects every row and <paramref name="C1"/> &gt; <paramref name="C2"/>
    /// every column, and any other rectangle is clipped to the grid, so no rectangle is an
    /// error. Samples equal to <paramref name="noData"/> (exact comparison) are left out.</para>
    /// <para>Scalar integer types of up to 32 bits, <see cref="eDataType.REAL32"/>,
    /// <see cref="eDataType.REAL64"/> and <see cref="eDataType.GRAY"/> contribute their value;
    /// the complex types of the same components contribute the magnitude
    /// sqrt(re² + im²). The 64-bit integer types and the colour types are not supported and
    /// count nothing.</para>
    /// <para>When no sample is counted, <paramref name="count"/> is 0,
    /// <paramref name="min"/> is 1.7e+308, <paramref name="max"/> is -1.7e+308 and
    /// <paramref name="mean"/> and <paramref name="stdDev"/> are NaN; one sample gives a
    /// <paramref name="stdDev"/> of NaN.</para>
    /// </remarks>
    /// <param name="R1">First row.</param>
    /// <param name="R2">Last row.</param>
    /// <param name="C1">First column.</param>
    /// <param name="C2">Last column.</param>
    /// <param name="noData">The value to leave out, for example <see cref="NAN_REAL64"/> to
    /// count every sample.</param>
    /// <param name="count">Number of samples counted.</param>
    /// <param name="min">Smallest value counted.</param>
    /// <param name="max">Largest value counted.</param>
    /// <param name="mean">Mean of the values counted.</param>
    /// <param name="stdDev">Sample standard deviation of the values counted.</param>
    /// <exception cref="ObjectDisposedException">The grid has been disposed.</exception>
    public unsafe void GetStatistics(int R1, int R2, int C1, int C2, double noData, out ulong count, out double min,
                                     out double max, out double mean, out double stdDev)
    {
        Collect(R1, R2, C1, C2, noData, eStatisticsOptions.None, null, out count, out min, out max, out mean,
                out stdDev);
    }

    /// <summary>
    /// Statistics of a rectangle of the grid as
    /// <see cref="GetStatistics(int, int, int, int, double, out ulong, out double, out double, out double, out double)"/>,
    /// and the counts of a 256-bin histogram of the same samples.
    /// </summary>
    /// <remarks>
    /// The histogram of <see cref="eDataType.UINT08"/>, <see cref="eDataType.GRAY"/> and
    /// <see cref="eDataType.UINT08C"/> samples covers 0..255 (one bin per value), that of
    /// <see cref="eDataType.SINT08"/> and <see cref="eDataType.SINT08C"/> samples -128..127.
    /// For every other type it covers the range of the values, widened row by row as the rows
    /// are read: bin k holds values from lo + k (hi - lo) / 256, and counts already made move
    /// to the bin holding their old bin's centre when the range widens.
    /// </remarks>
    /// <param name="R1">First row.</param>
    /// <param name="R2">Last row.</param>
    /// <param name="C1">First column.</param>
    /// <param name="C2">Last column.</param>
    /// <param name="noData">The value to leave out.</param>
    /// <param name="count">Number of samples counted.</param>
    /// <param name="min">Smallest value counted.</param>
    /// <param name="max">Largest value counted.</param>
    /// <param name="mean">Mean of the values counted.</param>
    /// <param name="stdDev">Sample standard deviation of the values counted.</param>
    /// <param name="histogram">Receives the 256 bin counts in its first 256 entries.</param>
    /// <exception cref="ArgumentNullException"><paramref name="histogram"/> is null.</exception>
    /// <exception cref="ArgumentException"><paramref name="histogram"/> has fewer than 256
    /// entries.</exception>
    /// <exception cref="ObjectDisposedException">The grid has been disposed.</exception>
    public unsafe void GetStatistics(int R1, int R2, int C1, int C2, double noData, out ulong count, out double min,
                                     out double max, out double mean, out double stdDev, ulong[] histogram)
    {
        ArgumentNullException.ThrowIfNull(histogram);
        if (histogram.Length < 256)
            throw new ArgumentException("The histogram needs 256 entries.", nameof(histogram));
        Collect(R1, R2, C1, C2, noData, eStatisticsOptions.None, histogram, out count, out min, out max, out mean,
                out stdDev);
    }

    /// <summary>
    /// Statistics of a rectangle of the grid as
    /// <see cref="GetStatistics(int, int, int, int, double, out ulong, out double, out double, out double, out double)"/>,
    /// with options for NaN samples and for the precision in which <paramref name="noData"/> is
    /// compared.
    /// </summary>
    /// <remarks>
    /// With <see cref="eStatisticsOptions.SkipNaN"/> the samples holding a NaN are left out, so
    /// a raster whose holes are <see cref="double.NaN"/> gets finite figures (pass
    /// <see cref="double.NaN"/> or any other value as <paramref name="noData"/>). With
    /// <see cref="eStatisticsOptions.NoDataInSamplePrecision"/> a <see cref="eDataType.REAL32"/>
    /// grid leaves out the samples equal to <paramref name="noData"/> rounded to float, as the
    /// raster stores it. <see cref="eStatisticsOptions.None"/> gives exactly the overload without
    /// options.
    /// </remarks>
    /// <param name="R1">First row.</param>
    /// <param name="R2">Last row.</param>
    /// <param name="C1">First column.</param>
    /// <param name="C2">Last column.</param>
    /// <param name="noData">The value to leave out.</param>
    /// <param name="options">Any combination of the <see cref="eStatisticsOptions"/> flags.</param>
    /// <param name="count">Number of samples counted.</param>
    /// <param name="min">Smallest value counted.</param>
    /// <param name="max">Largest value counted.</param>
    /// <param name="mean">Mean of the values counted.</param>
    /// <param name="stdDev">Sample standard deviation of the values counted.</param>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="options"/> holds a bit that
    /// is no <see cref="eStatisticsOptions"/> flag.</exception>
    /// <exception cref="ObjectDisposedException">The grid has been disposed.</exception>
    public unsafe void GetStatistics(int R1, int R2, int C1, int C2, double noData, eStatisticsOptions options,
                                     out ulong count, out double min, out double max, out double mean,
                                     out double stdDev)
    {
        CheckOptions(options);
        Collect(R1, R2, C1, C2, noData, options, null, out count, out min, out max, out mean, out stdDev);
    }

    /// <summary>
    /// Statistics with options as
    /// <see cref="GetStatistics(int, int, int, int, double, eStatisticsOptions, out ulong, out double, out double, out double, out double)"/>,
    /// and the counts of a 256-bin histogram of the same samples (the samples the options leave
    /// out count in no bin).
    /// </summary>
    /// <param name="R1">First row.</param>
    /// <param name="R2">Last row.</param>
    /// <param name="C1">First column.</param>
    /// <param name="C2">Last column.</param>
    /// <param name="noData">The value to leave out.</param>
    /// <param name="options">Any combination of the <see cref="eStatisticsOptions"/> flags.</param>
    /// <param name="count">Number of samples counted.</param>
    /// <param name="min">Smallest value counted.</param>
    /// <param name="max">Largest value counted.</param>
    /// <param name="mean">Mean of the values counted.</param>
    /// <param name="stdDev">Sample standard deviation of the values counted.</param>
    /// <param name="histogram">Receives the 256 bin counts in its first 256 entries.</param>
    /// <exception cref="ArgumentNullException"><paramref name="histogram"/> is null.</exception>
    /// <exception cref="ArgumentException"><paramref name="histogram"/> has fewer than 256
    /// entries.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="options"/> holds a bit that
    /// is no <see cref="eStatisticsOptions"/> flag.</exception>
    /// <exception cref="ObjectDisposedException">The grid has been disposed.</exception>
    public unsafe void GetStatistics(int R1, int R2, int C1, int C2, double noData, eStatisticsOptions options,
                                     out ulong count, out double min, out double max, out double mean,
                                     out double stdDev, ulong[] histogram)
    {
        CheckOptions(options);
        ArgumentNullException.ThrowIfNull(histogram);
        if (histogram.Length < 256)
            throw new ArgumentException("The histogram needs 256 entries.", nameof(histogram));
        Collect(R1, R2, C1, C2, noData, options, histogram, out count, out min, out max, out mean, out stdDev);
    }

    private static void CheckOptions(eStatisticsOptions options)
    {
        const eStatisticsOptions all = eStatisticsOptions.SkipNaN | eStatisticsOptions.NoDataInSamplePrecision;
        if ((options & ~all) != 0)
            throw new ArgumentOutOfRangeException(nameof(options), options,
                                                  $"{(int)options} holds bits that are no statistics option.");
    }

    private unsafe void Collect(int R1, int R2, int C1, int C2, double noData, eStatisticsOptions options,
                                ulong[]? histogram, out ulong count, out double min, out double max,
                                out double mean, out double stdDev)
    {
        NativeObject self = Handle;
        ulong n = 0;
        double* s = stackalloc double[4];
        int ok;
        fixed (ulong* h = histogram)
            ok = Native.Stats.GetStatisticsEx(self, R1, R2, C1, C2, noData, (int)options, &n, s, h);
        GC.KeepAlive(this);
        if (ok == 0)
            throw new OutOfMemoryException("The statistics could not be computed.");
        count = n;
        min = s[0];
        max = s[1];
        mean = s[2];
        stdDev = s[3];
    }
}
