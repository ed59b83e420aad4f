namespace Pelmora.Ostrel;

/// <summary>
/// Physical, angular and earth-model constants used throughout the library. The class holds no
/// state; it exists for its constants.
/// </summary>
public class XConstants
{
    /// <summary>Creates an instance. The class has no state; use its constants directly.</summary>
    public XConstants()
    {
    }

    /// <summary>Speed of light in vacuum, metres per second.</summary>
    public const double LightSpeed = 299792458.0;

    /// <summary>The ratio of a circle's circumference to its diameter.</summary>
    public const double PI = 3.141592653589793;

    /// <summary>Half of <see cref="PI"/>: a right angle in radians.</summary>
    public const double HalfPI = 1.5707963267948966;

    /// <summary>Twice <see cref="PI"/>: a full turn in radians.</summary>
    public const double TwoPI = 6.283185307179586;

    /// <summary>Degrees per radian; multiply radians by it to get degrees.</summary>
    public const double Rad2Deg = 57.29577951308232;

    /// <summary>Radians per degree; multiply degrees by it to get radians.</summary>
    public const double Deg2Rad = 0.017453292519943295;

    /// <summary>Seconds in a day.</summary>
    public const double SecPerDay = 86400.0;

    /// <summary>Equatorial radius (semi-major axis) of the default earth ellipsoid, metres.</summary>
    public const double EarthR1 = 6378137.0;

    /// <summary>Polar radius (semi-minor axis) of the default earth ellipsoid, metres (rounded).</summary>
    public const double EarthR2 = 6356752.0;

    /// <summary>First eccentricity of the default earth ellipsoid.</summary>
    public const double EarthEccen = 0.081819190842622;

    /// <summary>Square of the first eccentricity of the default earth ellipsoid.</summary>
    public const double EarthEccen2 = 0.00669437999014;

    /// <summary>Flattening of the default earth ellipsoid.</summary>
    public const double EarthFlattening = 0.0033528106647;
}
