using System;
using System.Diagnostics.CodeAnalysis;

namespace Pelmora.Ostrel;

/// <summary>Platform attitude and sensor pointing on the default earth (WGS 84). Positions and
/// vectors are earth-centred rotating (ecr) metres, angles radians; an attitude is yaw about
/// the local down axis, pitch about the yawed east axis and roll about the resulting forward
/// axis.</summary>
public static partial class Xfn
{
    /// <summary>The line of sight of a sensor looking along its Z axis after it has been turned
    /// by yaw about Z, pitch about X and roll about -Y.</summary>
    /// <param name="vXsf">The sensor frame's X axis.</param>
    /// <param name="vYsf">The sensor frame's Y axis.</param>
    /// <param name="vZsf">The sensor frame's Z axis (the unsteered line of sight).</param>
    /// <param name="yaw">Rotation about Z, radians.</param>
    /// <param name="pitch">Rotation about X, radians.</param>
    /// <param name="roll">Rotation about -Y, radians.</param>
    /// <returns>A new vector: Z turned by the three rotations.</returns>
    /// <exception cref="ArgumentNullException">An argument is null.</exception>
    public static unsafe XVertex3d GetSensorPointingVector(XVertex3d vXsf, XVertex3d vYsf, XVertex3d vZsf, XAngle yaw,
                                                           XAngle pitch, XAngle roll)
    {
        ArgumentNullException.ThrowIfNull(vXsf);
        ArgumentNullException.ThrowIfNull(vYsf);
        ArgumentNullException.ThrowIfNull(vZsf);
        ArgumentNullException.ThrowIfNull(yaw);
        ArgumentNullException.ThrowIfNull(pitch);
        ArgumentNullException.ThrowIfNull(roll);
        XVertex3d.Unmanaged x = vXsf.GetUnmanObj(), y = vYsf.GetUnmanObj(), z = vZsf.GetUnmanObj(), r;
        Native.Sensor.PointingVector(&x, &y, &z, yaw.rad, pitch.rad, roll.rad, &r);
        return new XVertex3d(r);
    }

    /// <summary>The global attitude of a down-looking sensor mounted on a platform: turned by
    /// <paramref name="angSensorTopToHeading"/> about the platform's down axis and steered by
    /// <paramref name="azimuth"/> and <paramref name="elev"/>.</summary>
    /// <remarks>With azimuth, elevation and mount angle all exactly 0 the platform's angles are
    /// returned with the local down vector (not the platform's rotated down axis). With platform
    /// roll, azimuth and mount angle exactly 0 the elevation is added to the platform's
    /// pitch.</remarks>
    /// <param name="ptPos">The platform's position; its ecr vector is used.</param>
    /// <param name="yawPlatform">Platform yaw, radians.</param>
    /// <param name="pitchPlatform">Platform pitch, radians.</param>
    /// <param name="rollPlatform">Platform roll, radians.</param>
    /// <param name="azimuth">Sensor azimuth about its down axis, radians.</param>
    /// <param name="elev">Sensor elevation about its right axis, radians.</param>
    /// <param name="angSensorTopToHeading">Mount rotation about the platform's down axis,
    /// radians.</param>
    /// <param name="yaw">Receives the sensor's yaw; a null variable gets a new angle.</param>
    /// <param name="pitch">Receives the sensor's pitch; a null variable gets a new angle.</param>
    /// <param name="roll">Receives the sensor's roll; a null variable gets a new angle.</param>
    /// <returns>A new vector: the sensor's down axis (its line of sight) in ecr.</returns>
    /// <exception cref="ArgumentNullException">An input is null.</exception>
    public static unsafe XVertex3d CalcGlobalSensorAttitudeInPlatform(XGeoPoint ptPos, XAngle yawPlatform,
        XAngle pitchPlatform, XAngle rollPlatform, XAngle azimuth, XAngle elev, XAngle angSensorTopToHeading,
        [NotNull] ref XAngle? yaw, [NotNull] ref XAngle? pitch, [NotNull] ref XAngle? roll)
    {
        ArgumentNullException.ThrowIfNull(ptPos);
        ArgumentNullException.ThrowIfNull(yawPlatform);
        ArgumentNullException.ThrowIfNull(pitchPlatform);
        ArgumentNullException.ThrowIfNull(rollPlatform);
        ArgumentNullException.ThrowIfNull(azimuth);
        ArgumentNullException.ThrowIfNull(elev);
        ArgumentNullException.ThrowIfNull(angSensorTopToHeading);
        XVertex3d.Unmanaged p = ptPos.ecr.GetUnmanObj(), r;
        double y, pt, rl;
        Native.Sensor.GlobalAttitude(&p, yawPlatform.rad, pitchPlatform.rad, rollPlatform.rad, azimuth.rad, elev.rad,
                                     angSensorTopToHeading.rad, &y, &pt, &rl, &r);
        SetAngles(ref yaw, ref pitch, ref roll, y, pt, rl);
        return new XVertex3d(r);
    }

    /// <summary>The global attitude of a forward-looking sensor on a gimbal of the platform,
    /// steered by an attitude rotation of the platform's body frame.</summary>
    /// <param name="ptPos">The platform's position; its ecr vector is used.</param>
    /// <param name="yawPlatform">Platform yaw, radians.</param>
    /// <param name="pitchPlatform">Platform pitch, radians.</param>
    /// <param name="rollPlatform">Platform roll, radians.</param>
    /// <param name="azimuthRelative">Gimbal azimuth, radians.</param>
    /// <param name="elevRelative">Gimbal elevation, radians.</param>
    /// <param name="rollRelative">Gimbal roll, radians.</param>
    /// <param name="yaw">Receives the yaw of the camera frame (down axis along the line of
    /// sight, forward axis the platform's up); a null variable gets a new angle.</param>
    /// <param name="pitch">Receives the camera frame's pitch; a null variable gets a new
    /// angle.</param>
    /// <param name="roll">Receives the camera frame's roll; a null variable gets a new
    /// angle.</param>
    /// <returns>A new vector: the line of sight in ecr.</returns>
    /// <exception cref="ArgumentNullException">An input is null.</exception>
    public static unsafe XVertex3d CalcGlobalSensorAttitudeInPlatformUAS(XGeoPoint ptPos, XAngle yawPlatform,
        XAngle pitchPlatform, XAngle rollPlatform, XAngle azimuthRelative, XAngle elevRelative, XAngle rollRelative,
        [NotNull] ref XAngle? yaw, [NotNull] ref XAngle? pitch, [NotNull] ref XAngle? roll)
    {
        ArgumentNullException.ThrowIfNull(ptPos);
        ArgumentNullException.ThrowIfNull(yawPlatform);
        ArgumentNullException.ThrowIfNull(pitchPlatform);
        ArgumentNullException.ThrowIfNull(rollPlatform);
        ArgumentNullException.ThrowIfNull(azimuthRelative);
        ArgumentNullException.ThrowIfNull(elevRelative);
        ArgumentNullException.ThrowIfNull(rollRelative);
        XVertex3d.Unmanaged p = ptPos.ecr.GetUnmanObj(), r;
        double y, pt, rl;
        Native.Sensor.GlobalAttitudeUAS(&p, yawPlatform.rad, pitchPlatform.rad, rollPlatform.rad, azimuthRelative.rad,
                                        elevRelative.rad, rollRelative.rad, &y, &pt, &rl, &r);
        SetAngles(ref yaw, ref pitch, ref roll, y, pt, rl);
        return new XVertex3d(r);
    }

    /// <summary>The point on the ellipsoid seen by a side-looking sensor at a given incidence
    /// angle, in the plane through the sensor perpendicular to its frame's X axis (across the
    /// track): right of the ground track for a positive angle, left for a negative one.</summary>
    /// <param name="Pos">The sensor's ecr position, metres.</param>
    /// <param name="Vel">The sensor's ecr velocity.</param>
    /// <param name="dist">Accepted for compatibility; it has no effect.</param>
    /// <param name="Tar">On success receives the target: ecr metres, or longitude and latitude in
    /// degrees and height in metres when <paramref name="bLLHOut"/> is set. A null variable gets
    /// a new vector. Untouched on failure.</param>
    /// <param name="angIncidence">In: the incidence angle at the target, radians, its sign
    /// choosing the side. On success replaced by a new angle holding the incidence angle
    /// measured at the target found; untouched on failure.</param>
    /// <param name="bLLHOut">Whether to return the target as longitude, latitude and
    /// height.</param>
    /// <param name="SensorFrameType">How the sensor frame is built from position and
    /// velocity.</param>
    /// <returns>True when a line of sight on the chosen side meets the ellipsoid at the requested
    /// incidence; false beyond the horizon, when the plane across the track passes too far off
    /// the earth's centre for so small an incidence, or when the sensor is not above the
    /// ellipsoid.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="Pos"/>, <paramref name="Vel"/> or
    /// <paramref name="angIncidence"/> is null.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="SensorFrameType"/> is not
    /// a defined value.</exception>
    public static unsafe bool GetSPTargetOnWGS84ByDist(XVertex3d Pos, XVertex3d Vel, double dist,
                                                       [NotNullWhen(true)] ref XVertex3d? Tar, ref XAngle angIncidence,
                                                       bool bLLHOut,
                                                       eEarthSensorFrame SensorFrameType)
    {
        ArgumentNullException.ThrowIfNull(Pos);
        ArgumentNullException.ThrowIfNull(Vel);
        ArgumentNullException.ThrowIfNull(angIncidence);
        if (!Enum.IsDefined(SensorFrameType))
            throw new ArgumentOutOfRangeException(nameof(SensorFrameType), SensorFrameType,
                                                  "Not a defined eEarthSensorFrame value.");
        XVertex3d.Unmanaged p = Pos.GetUnmanObj(), v = Vel.GetUnmanObj(), t = default;
        double inc = angIncidence.rad;
        if (Native.Sensor.TargetOnEarth(&p, &v, dist, &t, &inc, bLLHOut ? 1 : 0, (int)SensorFrameType) == 0)
            return false;
        Tar ??= new XVertex3d();
        Tar.x = t.x;
        Tar.y = t.y;
        Tar.z = t.z;
        angIncidence = new XAngle(inc);
        return true;
    }

    /// <summary>The linear map value = sf0 + sf1 × x that sends <paramref name="a"/> to
    /// <paramref name="A"/> and <paramref name="b"/> to <paramref name="B"/>; when a equals b
    /// exactly, sf0 = A and sf1 = 0.</summary>
    /// <param name="a">First source value.</param>
    /// <param name="b">Second source value.</param>
    /// <param name="A">Image of a.</param>
    /// <param name="B">Image of b.</param>
    /// <param name="sf0">Receives the offset.</param>
    /// <param name="sf1">Receives the scale.</param>
    public static void GetScaleFactor(double a, double b, double A, double B, ref double sf0, ref double sf1)
    {
        // The same few operations as the core's form, computed here to spare a native call.
        if (a != b)
        {
            sf0 = (a * B - b * A) / (a - b);
            sf1 = (A - B) / (a - b);
        }
        else
        {
            sf0 = A;
            sf1 = 0.0;
        }
    }

    /// <summary>The single-precision form of
    /// <see cref="GetScaleFactor(double, double, double, double, ref double, ref double)"/>:
    /// computed in double, stored as float.</summary>
    /// <param name="a">First source value.</param>
    /// <param name="b">Second source value.</param>
    /// <param name="A">Image of a.</param>
    /// <param name="B">Image of b.</param>
    /// <param name="sf0">Receives the offset.</param>
    /// <param name="sf1">Receives the scale.</param>
    public static void GetScaleFactor(float a, float b, float A, float B, ref float sf0, ref float sf1)
    {
        double d0 = 0, d1 = 0;
        GetScaleFactor((double)a, b, A, B, ref d0, ref d1);
        sf0 = (float)d0;
        sf1 = (float)d1;
    }

    /// <summary>The dot product x1 x2 + y1 y2 + z1 z2.</summary>
    /// <param name="V1">First vector.</param>
    /// <param name="V2">Second vector.</param>
    /// <returns>The dot product.</returns>
    /// <exception cref="ArgumentNullException">A vector is null.</exception>
    public static double DotProduct(XVertex3d V1, XVertex3d V2)
    {
        ArgumentNullException.ThrowIfNull(V1);
        ArgumentNullException.ThrowIfNull(V2);
        return V1.x * V2.x + V1.y * V2.y + V1.z * V2.z;
    }

    private static void SetAngles([NotNull] ref XAngle? yaw, [NotNull] ref XAngle? pitch, [NotNull] ref XAngle? roll,
                                  double y, double p, double r)
    {
        yaw ??= new XAngle();
        pitch ??= new XAngle();
        roll ??= new XAngle();
        yaw.rad = y;
        pitch.rad = p;
        roll.rad = r;
    }
}
