namespace Pelmora.Ostrel;

/// <summary>The reference frame in which a sensor's pointing is expressed.</summary>
public enum eEarthSensorFrame
{
    /// <summary>Local frame on the geodetic normal (the ellipsoid's north-east-down).</summary>
    GeoDetic = 0,
    /// <summary>Local frame on the geocentric direction (down toward the earth's centre).</summary>
    GeoCentric = 1,
    /// <summary>Frame whose x axis follows the platform's velocity.</summary>
    VelX = 2,
}
