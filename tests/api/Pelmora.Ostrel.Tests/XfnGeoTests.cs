using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>The earth, geodesic and sensor functions of <see cref="Xfn"/>: argument order, results
/// written into the caller's objects, and bad arguments. Their numerics are proven natively.</summary>
public class XfnGeoTests
{
    private static XAngle Deg(double d) => XAngle.FromDegree(d);

    private static void AssertVec(XVertex3d expected, XVertex3d actual, int digits)
    {
        Assert.Equal(expected.x, actual.x, digits);
        Assert.Equal(expected.y, actual.y, digits);
        Assert.Equal(expected.z, actual.z, digits);
    }

    private static (XVertex3d N, XVertex3d E, XVertex3d D) Ned(XVertex3d pos)
    {
        XVertex3d? n = null, e = null, d = null;
        Xfn.GetFrameNED(pos, ref n, ref e, ref d);
        return (n, e, d);
    }

    [Fact]
    public void GeoToEcrAndBackWriteIntoTheGivenObjects()
    {
        var p = XGeoPoint.FromDegree(151.2153, -33.8568, 512.25);
        var ecr = new XVertex3d();
        var keep = ecr;
        Xfn.GeoToEcr(p, ref ecr);
        Assert.Same(keep, ecr);
        XGeoPointTests.AssertNear(-4647341.4633833431, 2553281.7533905753, -3533552.5117251957, ecr, 1e-6);
        XVertex3d? fresh = null;
        Xfn.GeoToEcr(p, ref fresh);
        Assert.True(fresh.IsEqual(ecr));

        var target = new XGeoPoint();
        var lon = target.lon;
        Xfn.EcrToGeo(new XVertex3d(-2694045.0, -4293642.0, 3857878.0), ref target);
        Assert.Same(lon, target.lon);  // set through llhd, in place
        XGeoPointTests.AssertLlh(-122.10620920760212, 37.460237130918294, -302.49552769157629, target);
        XGeoPoint? back = null;
        Xfn.EcrToGeo(ecr, ref back);
        XGeoPointTests.AssertLlh(151.2153, -33.8568, 512.25, back);

        Assert.Throws<ArgumentNullException>(() => Xfn.GeoToEcr(null!, ref ecr));
        Assert.Throws<ArgumentNullException>(() => Xfn.EcrToGeo(null!, ref target));
    }

    [Fact]
    public void LocalFramesComeBackInTheirOrder()
    {
        XVertex3d? e = null, n = null, u = null;
        Xfn.GetFrameENU(new XVertex3d(6378137, 0, 0), ref e, ref n, ref u);
        AssertVec(new XVertex3d(0, 1, 0), e, 9);
        AssertVec(new XVertex3d(0, 0, 1), n, 9);
        AssertVec(new XVertex3d(1, 0, 0), u, 9);

        var pos = XGeoPoint.FromDegree(33, 45, 100).ecr;
        XVertex3d vn = new(), ve = new(), vd = new();
        var keep = vn;
        Xfn.GetFrameNED(pos, ref vn, ref ve, ref vd);
        Assert.Same(keep, vn);
        Assert.True((vn.crossProduct(ve) - vd).norm() < 1e-12);
        Xfn.GetFrameENU(pos, ref e, ref n, ref u);
        Assert.True(e.IsEqual(ve) && n.IsEqual(vn) && u.IsEqual(-vd));
        Assert.Throws<ArgumentNullException>(() => Xfn.GetFrameNED(null!, ref e, ref n, ref u));
    }

    [Fact]
    public void GeodesicInverseWritesIntoTheGivenAnglesAndZeroesThemOnFailure()
    {
        double dist = 0;
        var fwd = new XAngle();
        XAngle? rev = null;
        var keep = fwd;
        Assert.True(Xfn.CalArcDistAndAngle(Deg(0), Deg(0), Deg(0), Deg(1), ref dist, ref fwd, ref rev));
        Assert.Same(keep, fwd);
        Assert.Equal(110574.389, dist, 3);
        Assert.Equal(0.0, fwd.rad);
        Assert.Equal(Math.PI, rev.rad, 14);
        Assert.True(Xfn.CalArcDistAndAngle(Deg(0), Deg(0), Deg(1), Deg(0), ref dist, ref fwd, ref rev));
        Assert.Equal(111319.491, dist, 3);
        Assert.Equal(Math.PI / 2, fwd.rad, 14);

        // A nearly antipodal pair has no solution: false, and zeros over the previous values.
        dist = fwd.rad = rev.rad = 1;
        Assert.False(Xfn.CalArcDistAndAngle(Deg(0), Deg(0), Deg(179.7), Deg(0.5), ref dist, ref fwd, ref rev));
        Assert.Equal((0.0, 0.0, 0.0), (dist, fwd.rad, rev.rad));
        Assert.Throws<ArgumentNullException>(() => Xfn.CalArcDistAndAngle(null!, Deg(0), Deg(1), Deg(1), ref dist,
                                                                           ref fwd, ref rev));
    }

    [Fact]
    public void RobustGeodesicInverseSolvesNearlyAntipodalPointsAndOtherwiseIsThePlainOne()
    {
        // (lat 0, lon 0) to (lat 0, lon 179.5): Vincenty's iteration does not converge. Two
        // mirror-image geodesics are shortest; the reference (GeographicLib) takes the northern one.
        double dist = 0, plainDist = 0;
        XAngle? fwd = null, rev = null, plainFwd = null, plainRev = null;
        Assert.False(Xfn.CalArcDistAndAngle(Deg(0), Deg(0), Deg(179.5), Deg(0), ref plainDist, ref plainFwd,
                                            ref plainRev));
        Assert.True(Xfn.CalArcDistAndAngleRobust(Deg(0), Deg(0), Deg(179.5), Deg(0), ref dist, ref fwd, ref rev));
        Assert.Equal(19980861.90887, dist, 4);
        Assert.Equal(55.9664949612, Math.Min(fwd.deg, 180 - fwd.deg), 8);
        Assert.Equal(180 - fwd.deg, rev.deg - 180, 8);  // symmetric about the midpoint meridian

        // An ordinary pair: the plain function's values to the bit, in the caller's objects.
        var keep = fwd;
        Assert.True(Xfn.CalArcDistAndAngle(Deg(-40), Deg(35), Deg(25), Deg(-20), ref plainDist, ref plainFwd,
                                           ref plainRev));
        Assert.True(Xfn.CalArcDistAndAngleRobust(Deg(-40), Deg(35), Deg(25), Deg(-20), ref dist, ref fwd, ref rev));
        Assert.Same(keep, fwd);
        Assert.Equal((plainDist, plainFwd.rad, plainRev.rad), (dist, fwd.rad, rev.rad));

        // A null input angle throws in both, naming the same argument; a latitude beyond the pole
        // fails with zeros over the previous values, as the plain function's failures do.
        for (int i = 0; i < 4; i++)
        {
            var args = new[] { Deg(1), Deg(2), Deg(3), Deg(4) };
            args[i] = null!;
            var plain = Assert.Throws<ArgumentNullException>(
                () => Xfn.CalArcDistAndAngle(args[0], args[1], args[2], args[3], ref dist, ref fwd, ref rev));
            var robust = Assert.Throws<ArgumentNullException>(
                () => Xfn.CalArcDistAndAngleRobust(args[0], args[1], args[2], args[3], ref dist, ref fwd, ref rev));
            Assert.Equal(plain.ParamName, robust.ParamName);
        }
        dist = fwd.rad = rev.rad = 1;
        Assert.False(Xfn.CalArcDistAndAngleRobust(Deg(0), Deg(90.5), Deg(1), Deg(0), ref dist, ref fwd, ref rev));
        Assert.Equal((0.0, 0.0, 0.0), (dist, fwd.rad, rev.rad));
    }

    [Fact]
    public void GeodesicDirectInvertsTheInverseAndWrapsAcrossTheAntimeridian()
    {
        double dist = 0;
        XAngle? lon2 = null, lat2 = null, fwd = null, rev = null;
        Assert.True(Xfn.CalArcDistAndAngle(Deg(-40), Deg(35), Deg(25), Deg(-20), ref dist, ref fwd, ref rev));
        Xfn.CalcPosByBearingAndDist(Deg(-40), Deg(35), fwd, dist, ref lon2, ref lat2);
        Assert.Equal((25.0, -20.0), (Math.Round(lon2.deg, 9), Math.Round(lat2.deg, 9)));

        // Leaving due east north of the equator, it curves south and arrives heading south of east.
        var lon = new XAngle();
        var keep = lon;
        XAngle az = Xfn.CalcPosByBearingAndDist(Deg(179.5), Deg(10), new XAngle(Math.PI / 2), 2e5, ref lon, ref lat2);
        Assert.Same(keep, lon);
        Assert.InRange(lon.rad, -Math.PI, -178 * Math.PI / 180);
        Assert.InRange(lat2.deg, 9.9, 10);
        Assert.InRange(az.rad, Math.PI / 2, Math.PI);
        Assert.Throws<ArgumentNullException>(() => Xfn.CalcPosByBearingAndDist(Deg(0), Deg(0), null!, 1, ref lon,
                                                                                ref lat2));
    }

    [Fact]
    public void GeodesicBatchesEqualTheSingleCallsAndRefuseMismatchedSpans()
    {
        // Pair 2 is nearly antipodal, pair 3 has a latitude beyond the pole (NaN out).
        double[] lon1 = [0.1, -2.0, 0.3, 1.0], lat1 = [0.5, -0.7, 0.2, 2.0];
        double[] lon2 = [1.2, 3.0, 0.3 + Math.PI - 0.004, 0.0], lat2 = [-0.3, 1.1, -0.201, 0.0];
        double[] d = new double[4], f = new double[4], r = new double[4];
        foreach (int workers in new[] { 0, 1, 2 })
        {
            Assert.Equal(3, Xfn.CalArcDistAndAngleRobust(lon1, lat1, lon2, lat2, d, f, r, workers));
            for (int i = 0; i < 4; ++i)
            {
                double dist = 0;
                XAngle? fwd = null, rev = null;
                bool ok = Xfn.CalArcDistAndAngleRobust(new XAngle(lon1[i]), new XAngle(lat1[i]), new XAngle(lon2[i]),
                                                       new XAngle(lat2[i]), ref dist, ref fwd, ref rev);
                Assert.Equal(ok ? (dist, fwd.rad, rev.rad) : (double.NaN, double.NaN, double.NaN), (d[i], f[i], r[i]));
            }
            Xfn.CalcPosByBearingAndDist(lon1, lat1, lon2, [1e3, 2e7, 5e6, 0], d, f, r, workers);
            for (int i = 0; i < 4; ++i)
            {
                XAngle? lo = null, la = null;
                double az = Xfn.CalcPosByBearingAndDist(new XAngle(lon1[i]), new XAngle(lat1[i]), new XAngle(lon2[i]),
                                                        new[] { 1e3, 2e7, 5e6, 0 }[i], ref lo, ref la).rad;
                Assert.Equal((lo.rad, la.rad, az), (d[i], f[i], r[i]));
            }
        }
        Assert.Equal(0, Xfn.CalArcDistAndAngleRobust([], [], [], [], [], [], []));
        Assert.Throws<ArgumentException>(() => Xfn.CalArcDistAndAngleRobust(lon1, lat1, lon2, lat2[..3], d, f, r));
        Assert.Throws<ArgumentException>(() => Xfn.CalcPosByBearingAndDist(lon1, lat1, lon2, lat2, d, lon1, r));
        Assert.Throws<ArgumentException>(() => Xfn.CalcPosByBearingAndDist(lon1, lat1, lon2, lat2, d, d.AsSpan(),
                                                                            r));
        Assert.Throws<ArgumentOutOfRangeException>(() => Xfn.CalArcDistAndAngleRobust(lon1, lat1, lon2, lat2, d, f,
                                                                                        r, -1));
    }

    [Fact]
    public void AzimuthAndElevationOfTargetsAroundALevelPlatform()
    {
        var pos = XGeoPoint.FromDegree(10, 45, 1000).ecr;
        var (n, e, d) = Ned(pos);
        XAngle zero = new(), yaw = new(Math.PI / 2);  // nose east
        XAngle? az = null, el = null;
        // Ahead, south (to the right), 45° up ahead, straight down; NaN: not checked.
        foreach (var (dir, azimuth, elevation) in new[]
                 {
                     (e, 0.0, 0.0), (-n, Math.PI / 2, double.NaN), (e - d, double.NaN, Math.PI / 4),
                     (d, double.NaN, -Math.PI / 2),
                 })
        {
            Xfn.CalcAzimuthElevationOfTarget(pos, yaw, zero, zero, pos + dir * 100.0, ref az, ref el);
            if (!double.IsNaN(azimuth)) Assert.Equal(azimuth, az.rad, 9);
            if (!double.IsNaN(elevation)) Assert.Equal(elevation, el.rad, 9);
        }
        Assert.Throws<ArgumentNullException>(() => Xfn.CalcAzimuthElevationOfTarget(pos, yaw, zero, zero, null!,
                                                                                     ref az, ref el));
    }

    [Fact]
    public void SensorPointingVectorAndPlatformAttitude()
    {
        var x = new XVertex3d(1, 0, 0);
        var y = new XVertex3d(0, 1, 0);
        var z = new XVertex3d(0, 0, 1);
        XAngle zero = new();
        AssertVec(z, Xfn.GetSensorPointingVector(x, y, z, new XAngle(0.8), zero, zero), 15);
        AssertVec(new XVertex3d(0, -Math.Sin(0.3), Math.Cos(0.3)),
                  Xfn.GetSensorPointingVector(x, y, z, zero, new XAngle(0.3), zero), 15);

        var pt = XGeoPoint.FromDegree(-12.4, 51.3, 2500);
        var (n, _, d) = Ned(pt.ecr);
        var yaw = new XAngle(9);
        var keep = yaw;
        XAngle? pitch = null, roll = null;
        XVertex3d down = Xfn.CalcGlobalSensorAttitudeInPlatform(pt, new XAngle(0.4), new XAngle(0.1), new XAngle(-0.05),
                                                                zero, zero, zero, ref yaw, ref pitch, ref roll);
        Assert.Same(keep, yaw);
        Assert.Equal((0.4, 0.1, -0.05), (yaw.rad, pitch.rad, roll.rad));
        AssertVec(d, down, 15);

        // Elevation only on a level platform adds to the pitch; the line of sight tilts forward.
        down = Xfn.CalcGlobalSensorAttitudeInPlatform(pt, zero, zero, zero, zero, new XAngle(0.5), zero, ref yaw,
                                                      ref pitch, ref roll);
        Assert.Equal(0.5, pitch.rad);
        AssertVec(n * Math.Sin(0.5) + d * Math.Cos(0.5), down, 12);

        XVertex3d los = Xfn.CalcGlobalSensorAttitudeInPlatformUAS(pt, zero, zero, zero, zero, zero, zero, ref yaw,
                                                                  ref pitch, ref roll);
        AssertVec(n, los, 12);
        Assert.Equal((0.0, 0.0), (yaw.rad, Math.Round(roll.rad, 15)));
        Assert.Equal(Math.PI / 2, pitch.rad, 7);

        Assert.Throws<ArgumentNullException>(() => Xfn.CalcGlobalSensorAttitudeInPlatform(null!, zero, zero, zero,
            zero, zero, zero, ref yaw, ref pitch, ref roll));
        Assert.Throws<ArgumentNullException>(() => Xfn.GetSensorPointingVector(x, null!, z, zero, zero, zero));
    }

    [Fact]
    public void SensorTargetOnEarthBothSidesOfTheTrackAndFailure()
    {
        var pos = XGeoPoint.FromDegree(37.3, 21.7, 7e5).ecr;
        var (n, e, _) = Ned(pos);
        var vel = (n * 0.95 + e * 0.31) * 7500.0;
        foreach (eEarthSensorFrame frame in Enum.GetValues<eEarthSensorFrame>())
            foreach (double deg in new[] { -30.0, 30.0 })
            {
                XVertex3d? tar = null;
                var inc = Deg(deg);
                var given = inc;
                Assert.True(Xfn.GetSPTargetOnWGS84ByDist(pos, vel, 0, ref tar, ref inc, false, frame));
                Assert.NotSame(given, inc);  // replaced, the caller's angle untouched
                Assert.Equal((deg * Math.PI / 180, 30.0), (given.rad, Math.Round(inc.deg, 8)));
                // Right of the track (east of a north-bound pass) for a positive angle.
                Assert.Equal(deg > 0, Xfn.DotProduct(tar - pos, e) > 0);

                // With bLLHOut the target comes back as longitude, latitude and height, in the given vertex.
                var llh = new XVertex3d();
                XVertex3d? llhRef = llh;
                inc = Deg(deg);
                Assert.True(Xfn.GetSPTargetOnWGS84ByDist(pos, vel, 12345, ref llhRef, ref inc, true, frame));
                Assert.Same(llh, llhRef);
                XVertex3d? back = null;
                Xfn.GeoToEcr(XGeoPoint.FromDegree(llh.x, llh.y, llh.z), ref back);
                Assert.InRange((back - tar).norm(), 0, 1e-6);
            }

        // From the earth's centre, or beyond the horizon, there is nothing to find: false, both left alone.
        var t = new XVertex3d(1, 2, 3);
        XVertex3d? tRef = t;
        XAngle aRef = null!;
        foreach (var (from, a, frame) in new[] { (new XVertex3d(), new XAngle(0.3), eEarthSensorFrame.GeoCentric),
                                                 (pos, Deg(100), eEarthSensorFrame.VelX) })
        {
            aRef = a;
            double rad = a.rad;
            Assert.False(Xfn.GetSPTargetOnWGS84ByDist(from, vel, 0, ref tRef, ref aRef, false, frame));
            Assert.Same(t, tRef);
            Assert.Same(a, aRef);
            Assert.Equal((1.0, 2.0, 3.0, rad), (t.x, t.y, t.z, a.rad));
        }
        // Incidence 0 with the geocentric frame: the point straight below, toward the centre.
        XVertex3d? below = null;
        var zero = new XAngle(0);
        Assert.True(Xfn.GetSPTargetOnWGS84ByDist(pos, vel, 0, ref below, ref zero, false,
                                                 eEarthSensorFrame.GeoCentric));
        Assert.InRange(below.crossProduct(pos).norm() / pos.norm(), 0, 1e-6);
        Assert.InRange(zero.rad, 0, 1e-9);

        Assert.Throws<ArgumentOutOfRangeException>(() => Xfn.GetSPTargetOnWGS84ByDist(pos, vel, 0, ref tRef,
            ref aRef, false, (eEarthSensorFrame)7));
        XAngle nullAngle = null!;
        Assert.Throws<ArgumentNullException>(() => Xfn.GetSPTargetOnWGS84ByDist(pos, vel, 0, ref tRef,
            ref nullAngle, false, eEarthSensorFrame.VelX));
    }

    [Fact]
    public void ScaleFactorAndDotProduct()
    {
        double s0 = 0, s1 = 0;
        Xfn.GetScaleFactor(0.0, 10.0, 100.0, 200.0, ref s0, ref s1);
        Assert.Equal((100.0, 10.0), (s0, s1));
        Xfn.GetScaleFactor(4.0, 4.0, 9.0, 11.0, ref s0, ref s1);
        Assert.Equal((9.0, 0.0), (s0, s1));
        float f0 = 0, f1 = 0;
        Xfn.GetScaleFactor(0f, 10f, 100f, 200f, ref f0, ref f1);
        Assert.Equal((100f, 10f), (f0, f1));
        Assert.Equal(7.5, Xfn.DotProduct(new XVertex3d(1, 2, 3), new XVertex3d(-4, 5, 0.5)));
        Assert.Throws<ArgumentNullException>(() => Xfn.DotProduct(new XVertex3d(), null!));
    }
}
