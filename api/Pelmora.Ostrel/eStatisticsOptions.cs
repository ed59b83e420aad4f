using System;

namespace Pelmora.Ostrel;

/// <summary>
/// Options of <see cref="XGrid.GetStatistics(int, int, int, int, double, eStatisticsOptions, out ulong, out double, out double, out double, out double)"/>,
/// combined with <c>|</c>. They concern the real sample types (<see cref="eDataType.REAL32"/>,
/// <see cref="eDataType.REAL64"/> and their complex pairs); integer samples are compared exactly
/// either way.
/// </summary>
[Flags]
public enum eStatisticsOptions : int
{
    /// <summary>No option: every sample other than the no-data value (compared as a double) counts,
    /// NaN samples included, which makes the mean and deviation NaN.</summary>
    None = 0,

    /// <summary>Leave out the samples holding a NaN (complex samples with a NaN part), so that
    /// <see cref="double.NaN"/> holes in a raster do not spoil its figures.</summary>
    SkipNaN = 1,

    /// <summary>Compare the samples with the no-data value in the sample type's own precision:
    /// <see cref="eDataType.REAL32"/> samples (and the magnitudes of
    /// <see cref="eDataType.REAL32C"/> ones) with the no-data value rounded to float, so that a
    /// no-data value of 0.1 or -3.4e38 leaves out the float samples nearest it, which the double
    /// never equals.</summary>
    NoDataInSamplePrecision = 2,
}
