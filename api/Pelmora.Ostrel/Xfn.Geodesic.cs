using System;
using System.Diagnostics.CodeAnalysis;

namespace Pelmora.Ostrel;

/// <summary>Geodesics on the default earth (WGS 84): the inverse problem after Vincenty's
/// formulae, an inverse problem that also solves nearly antipodal points, the direct problem,
/// batches of the robust inverse and of the direct problem on every core, and the azimuth and
/// elevation of a target seen from an oriented platform.</summary>
public static partial class Xfn
{
    /// <summary>The inverse geodesic problem: the distance between two points on the ellipsoid
    /// and the azimuths at both ends.</summary>
    /// <param name="lon1">Longitude of point 1, radians.</param>
    /// <param name="lat1">Latitude of point 1, radians.</param>
    /// <param name="lon2">Longitude of point 2, radians.</param>
    /// <param name="lat2">Latitude of point 2, radians.</param>
    /// <param name="dist">Receives the distance in metres; 0 on failure.</param>
    /// <param name="fwdAz">Receives, in its <see cref="XAngle.rad"/>, the azimuth at point 1
    /// toward point 2 in [0, 2π); 0 on failure. A null variable gets a new angle.</param>
    /// <param name="revAz">Receives the azimuth at point 2 back toward point 1 in [0, 2π); 0 on
    /// failure. A null variable gets a new angle.</param>
    /// <returns>True on success; false for coincident points, for points a quarter of a great
    /// circle apart where the iteration meets cos σ exactly 0, and for nearly antipodal points
    /// on which the iteration does not converge within 1000 passes
    /// (<see cref="CalArcDistAndAngleRobust(XAngle, XAngle, XAngle, XAngle, ref double, ref XAngle?, ref XAngle?)"/>
    /// solves all of them).</returns>
    /// <exception cref="ArgumentNullException">An input angle is null.</exception>
    public static bool CalArcDistAndAngle(XAngle lon1, XAngle lat1, XAngle lon2, XAngle lat2, ref double dist,
                                                 [NotNull] ref XAngle? fwdAz, [NotNull] ref XAngle? revAz)
        => Inverse(false, lon1, lat1, lon2, lat2, ref dist, ref fwdAz, ref revAz);

    /// <summary>The inverse geodesic problem for every pair of points, nearly antipodal ones
    /// included: the distance between two points on the ellipsoid and the azimuths at both
    /// ends.</summary>
    /// <remarks>Where <see cref="CalArcDistAndAngle"/> succeeds and the points are not within one
    /// degree of antipodal (|lat1 + lat2| and π − |lon2 − lon1| both at most 1°), the result is
    /// exactly that function's. Within that degree, where Vincenty's iteration fails or loses
    /// accuracy in the azimuths, and wherever it fails, the problem is solved by Newton's method on
    /// the starting azimuth over the auxiliary sphere. Either way the distance is good to 0.1 mm and
    /// the azimuths to 1e-9 rad. Where several shortest geodesics exist (exactly antipodal points,
    /// for instance) one of them is returned. Coincident points give the distance 0, the azimuth 0
    /// at point 1 and π at point 2.</remarks>
    /// <param name="lon1">Longitude of point 1, radians; any finite value.</param>
    /// <param name="lat1">Latitude of point 1, radians in [-π/2, π/2].</param>
    /// <param name="lon2">Longitude of point 2, radians; any finite value.</param>
    /// <param name="lat2">Latitude of point 2, radians in [-π/2, π/2].</param>
    /// <param name="dist">Receives the length of the shortest geodesic in metres; 0 on
    /// failure.</param>
    /// <param name="fwdAz">Receives, in its <see cref="XAngle.rad"/>, the azimuth at point 1
    /// toward point 2, clockwise from north in [0, 2π); 0 on failure. A null variable gets a new
    /// angle.</param>
    /// <param name="revAz">Receives the azimuth at point 2 back toward point 1 in [0, 2π); 0 on
    /// failure. A null variable gets a new angle.</param>
    /// <returns>True on success; false only for a longitude that is not finite or a latitude that
    /// is not a number or lies outside [-π/2, π/2].</returns>
    /// <exception cref="ArgumentNullException">An input angle is null.</exception>
    public static bool CalArcDistAndAngleRobust(XAngle lon1, XAngle lat1, XAngle lon2, XAngle lat2,
                                                       ref double dist, [NotNull] ref XAngle? fwdAz,
                                                       [NotNull] ref XAngle? revAz)
        => Inverse(true, lon1, lat1, lon2, lat2, ref dist, ref fwdAz, ref revAz);

    /// <summary>The two inverse solutions behind one argument check.</summary>
    private static unsafe bool Inverse(bool bRobust, XAngle lon1, XAngle lat1, XAngle lon2, XAngle lat2,
                                       ref double dist, [NotNull] ref XAngle? fwdAz, [NotNull] ref XAngle? revAz)
    {
        ArgumentNullException.ThrowIfNull(lon1);
        ArgumentNullException.ThrowIfNull(lat1);
        ArgumentNullException.ThrowIfNull(lon2);
        ArgumentNullException.ThrowIfNull(lat2);
        double d = 0, f = 0, r = 0;
        bool ok = (bRobust ? Native.Geodesic.InverseRobust(lon1.rad, lat1.rad, lon2.rad, lat2.rad, &d, &f, &r)
                           : Native.Geodesic.Inverse(lon1.rad, lat1.rad, lon2.rad, lat2.rad, &d, &f, &r)) != 0;
        fwdAz ??= new XAngle();
        revAz ??= new XAngle();
        // The native outputs stay 0 on failure, so both paths store them.
        dist = d;
        fwdAz.rad = f;
        revAz.rad = r;
        return ok;
    }

    /// <summary>The direct geodesic problem: the point reached from a start point along an
    /// azimuth after a distance.</summary>
    /// <param name="lon1">Longitude of the start, radians.</param>
    /// <param name="lat1">Latitude of the start, radians.</param>
    /// <param name="bearing">Azimuth at the start, radians clockwise from north.</param>
    /// <param name="dist">Distance along the geodesic, metres.</param>
    /// <param name="lon2">Receives the longitude of the destination in [-π, π), for any finite start
    /// longitude and distance; a null variable gets a new angle.</param>
    /// <param name="lat2">Receives the latitude of the destination; a null variable gets a new
    /// angle.</param>
    /// <returns>A new angle: the azimuth of the geodesic at the destination.</returns>
    /// <exception cref="ArgumentNullException">An input angle is null.</exception>
    public static unsafe XAngle CalcPosByBearingAndDist(XAngle lon1, XAngle lat1, XAngle bearing, double dist,
                                                        [NotNull] ref XAngle? lon2, [NotNull] ref XAngle? lat2)
    {
        ArgumentNullException.ThrowIfNull(lon1);
        ArgumentNullException.ThrowIfNull(lat1);
        ArgumentNullException.ThrowIfNull(bearing);
        double lo, la;
        double az = Native.Geodesic.Direct(lon1.rad, lat1.rad, bearing.rad, dist, &lo, &la);
        lon2 ??= new XAngle();
        lat2 ??= new XAngle();
        lon2.rad = lo;
        lat2.rad = la;
        return new XAngle(az);
    }

    /// <summary><see cref="CalArcDistAndAngleRobust(XAngle, XAngle, XAngle, XAngle, ref double, ref XAngle?, ref XAngle?)"/>
    /// over arrays of point pairs, spread over worker threads.</summary>
    /// <remarks>Element i of each output is bit for bit what the single call gives for element i
    /// of the inputs; a pair the single call refuses gets NaN in all three outputs.</remarks>
    /// <param name="lon1">Longitudes of the points 1, radians.</param>
    /// <param name="lat1">Latitudes of the points 1, radians.</param>
    /// <param name="lon2">Longitudes of the points 2, radians.</param>
    /// <param name="lat2">Latitudes of the points 2, radians.</param>
    /// <param name="dist">Receives the distances in metres.</param>
    /// <param name="fwdAz">Receives the azimuths at the points 1, radians in [0, 2π).</param>
    /// <param name="revAz">Receives the azimuths at the points 2 back toward the points 1.</param>
    /// <param name="workers">Worker threads; 0 (or more than the processors) means one per
    /// processor.</param>
    /// <returns>The number of pairs solved.</returns>
    /// <exception cref="ArgumentException">The spans differ in length, or an output overlaps
    /// another span.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="workers"/> is negative.</exception>
    /// <exception cref="OutOfMemoryException">The workers could not be set up.</exception>
    public static unsafe long CalArcDistAndAngleRobust(ReadOnlySpan<double> lon1, ReadOnlySpan<double> lat1,
                                                       ReadOnlySpan<double> lon2, ReadOnlySpan<double> lat2,
                                                       Span<double> dist, Span<double> fwdAz, Span<double> revAz,
                                                       int workers = 0)
    {
        fixed (double* a = lon1, b = lat1, c = lon2, d = lat2, o1 = dist, o2 = fwdAz, o3 = revAz)
        {
            CheckBatch(workers, [lon1.Length, lat1.Length, lon2.Length, lat2.Length, dist.Length, fwdAz.Length,
                                 revAz.Length], [(nint)a, (nint)b, (nint)c, (nint)d, (nint)o1, (nint)o2, (nint)o3]);
            long solved = Native.Geodesic.InverseRobustBatch(a, b, c, d, lon1.Length, o1, o2, o3, workers);
            return solved >= 0 ? solved : throw new OutOfMemoryException("the geodesic workers could not be set up");
        }
    }

    /// <summary><see cref="CalcPosByBearingAndDist(XAngle, XAngle, XAngle, double, ref XAngle?, ref XAngle?)"/>
    /// over arrays of cases, spread over worker threads.</summary>
    /// <remarks>Element i of each output is bit for bit what the single call gives for element i
    /// of the inputs.</remarks>
    /// <param name="lon1">Longitudes of the starts, radians.</param>
    /// <param name="lat1">Latitudes of the starts, radians.</param>
    /// <param name="bearing">Azimuths at the starts, radians clockwise from north.</param>
    /// <param name="dist">Distances along the geodesics, metres.</param>
    /// <param name="lon2">Receives the longitudes of the destinations in [-π, π).</param>
    /// <param name="lat2">Receives the latitudes of the destinations.</param>
    /// <param name="az2">Receives the azimuths of the geodesics at the destinations.</param>
    /// <param name="workers">Worker threads; 0 (or more than the processors) means one per
    /// processor.</param>
    /// <exception cref="ArgumentException">The spans differ in length, or an output overlaps
    /// another span.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="workers"/> is negative.</exception>
    /// <exception cref="OutOfMemoryException">The workers could not be set up.</exception>
    public static unsafe void CalcPosByBearingAndDist(ReadOnlySpan<double> lon1, ReadOnlySpan<double> lat1,
                                                      ReadOnlySpan<double> bearing, ReadOnlySpan<double> dist,
                                                      Span<double> lon2, Span<double> lat2, Span<double> az2,
                                                      int workers = 0)
    {
        fixed (double* a = lon1, b = lat1, c = bearing, d = dist, o1 = lon2, o2 = lat2, o3 = az2)
        {
            CheckBatch(workers, [lon1.Length, lat1.Length, bearing.Length, dist.Length, lon2.Length, lat2.Length,
                                 az2.Length], [(nint)a, (nint)b, (nint)c, (nint)d, (nint)o1, (nint)o2, (nint)o3]);
            if (Native.Geodesic.DirectBatch(a, b, c, d, lon1.Length, o1, o2, o3, workers) < 0)
                throw new OutOfMemoryException("the geodesic workers could not be set up");
        }
    }

    /// <summary>The checks shared by the geodesic batches: a worker count that is not negative,
    /// one length for all seven spans, and outputs (the last three) that overlap no other
    /// span.</summary>
    private static void CheckBatch(int workers, ReadOnlySpan<int> lengths, ReadOnlySpan<nint> starts)
    {
        ArgumentOutOfRangeException.ThrowIfNegative(workers);
        foreach (int length in lengths)
            if (length != lengths[0])
                throw new ArgumentException("every span of a geodesic batch must have the same length");
        long bytes = (long)lengths[0] * sizeof(double);
        for (int o = starts.Length - 3; o < starts.Length; ++o)
            for (int i = 0; i < starts.Length; ++i)
                if (i != o && bytes > 0 && Math.Abs((long)starts[o] - (long)starts[i]) < bytes)
                    throw new ArgumentException("an output span of a geodesic batch overlaps another span");
    }

    /// <summary>The azimuth and elevation of a target seen from a platform with the attitude
    /// (yaw, pitch, roll) relative to its local north-east-down frame.</summary>
    /// <param name="vPos">The platform's ecr position, metres.</param>
    /// <param name="yaw">Platform yaw, radians.</param>
    /// <param name="pitch">Platform pitch, radians.</param>
    /// <param name="roll">Platform roll, radians.</param>
    /// <param name="vTarget">The target's ecr position, metres.</param>
    /// <param name="azimuth">Receives the azimuth from the platform's forward axis toward its
    /// right axis, in [0, 2π); a null variable gets a new angle.</param>
    /// <param name="elev">Receives the elevation in the forward-down plane, positive above the
    /// platform's forward-right plane, in [-π, π]; a null variable gets a new angle.</param>
    /// <exception cref="ArgumentNullException">An input is null.</exception>
    public static unsafe void CalcAzimuthElevationOfTarget(XVertex3d vPos, XAngle yaw, XAngle pitch, XAngle roll,
                                                           XVertex3d vTarget, [NotNull] ref XAngle? azimuth,
                                                           [NotNull] ref XAngle? elev)
    {
        ArgumentNullException.ThrowIfNull(vPos);
        ArgumentNullException.ThrowIfNull(yaw);
        ArgumentNullException.ThrowIfNull(pitch);
        ArgumentNullException.ThrowIfNull(roll);
        ArgumentNullException.ThrowIfNull(vTarget);
        XVertex3d.Unmanaged p = vPos.GetUnmanObj(), t = vTarget.GetUnmanObj();
        double az, el;
        Native.Geodesic.AzimuthElevation(&p, yaw.rad, pitch.rad, roll.rad, &t, &az, &el);
        azimuth ??= new XAngle();
        elev ??= new XAngle();
        azimuth.rad = az;
        elev.rad = el;
    }
}
