using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XfnSensorTests
{
    private static void AssertVec(XVertex3d expected, XVertex3d actual, int digits)
    {
        Assert.Equal(expected.x, actual.x, digits);
        Assert.Equal(expected.y, actual.y, digits);
        Assert.Equal(expected.z, actual.z, digits);
    }

    [Fact]
    public void PointingVectorAndPlatformAttitude()
    {
        var x = new XVertex3d(1, 0, 0);
        var y = new XVertex3d(0, 1, 0);
        var z = new XVertex3d(0, 0, 1);
        XAngle zero = new();
        AssertVec(z, Xfn.GetSensorPointingVector(x, y, z, new XAngle(0.8), zero, zero), 15);
        AssertVec(new XVertex3d(0, -Math.Sin(0.3), Math.Cos(0.3)),
                  Xfn.GetSensorPointingVector(x, y, z, zero, new XAngle(0.3), zero), 15);

        var pt = XGeoPoint.FromDegree(-12.4, 51.3, 2500);
        XVertex3d? n = null, e = null, d = null;
        Xfn.GetFrameNED(pt.ecr, ref n, ref e, ref d);
        var yaw = new XAngle(9);
        var keep = yaw;
        XAngle? pitch = null, roll = null;
        XVertex3d down = Xfn.CalcGlobalSensorAttitudeInPlatform(pt, new XAngle(0.4), new XAngle(0.1),
                                                                new XAngle(-0.05), zero, zero, zero, ref yaw,
                                                                ref pitch, ref roll);
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
        Assert.Equal(0.0, yaw.rad);
        Assert.Equal(Math.PI / 2, pitch.rad, 7);
        Assert.Equal(0.0, roll.rad, 15);

        Assert.Throws<ArgumentNullException>(() => Xfn.CalcGlobalSensorAttitudeInPlatform(null!, zero, zero, zero,
            zero, zero, zero, ref yaw, ref pitch, ref roll));
        Assert.Throws<ArgumentNullException>(() => Xfn.GetSensorPointingVector(x, null!, z, zero, zero, zero));
    }

    [Fact]
    public void TargetOnEarthBothSidesOfTheTrackAndFailure()
    {
        var pos = XGeoPoint.FromDegree(37.3, 21.7, 7e5).ecr;
        XVertex3d? n = null, e = null, d = null;
        Xfn.GetFrameNED(pos, ref n, ref e, ref d);
        var vel = (n * 0.95 + e * 0.31) * 7500.0;
        foreach (eEarthSensorFrame frame in Enum.GetValues<eEarthSensorFrame>())
            foreach (double deg in new[] { -30.0, 30.0 })
            {
                XVertex3d? tar = null;
                var inc = XAngle.FromDegree(deg);
                var given = inc;
                Assert.True(Xfn.GetSPTargetOnWGS84ByDist(pos, vel, 0, ref tar, ref inc, false, frame));
                Assert.NotSame(given, inc);  // replaced, the caller's angle untouched
                Assert.Equal(deg * Math.PI / 180, given.rad);
                Assert.Equal(30.0, inc.deg, 8);
                // Right of the track (east of a north-bound pass) for a positive angle.
                Assert.Equal(deg > 0, Xfn.DotProduct(tar - pos, e) > 0);

                var llh = new XVertex3d();
                var keep = llh;
                XVertex3d? llhRef = llh;
                var inc2 = XAngle.FromDegree(deg);
                Assert.True(Xfn.GetSPTargetOnWGS84ByDist(pos, vel, 12345, ref llhRef, ref inc2, true, frame));
                Assert.Same(keep, llhRef);
                XVertex3d? back = null;
                Xfn.GeoToEcr(XGeoPoint.FromDegree(llh.x, llh.y, llh.z), ref back);
                Assert.InRange((back - tar).norm(), 0, 1e-6);
            }

        // From the earth's centre there is nothing to find: false, both left alone.
        var t = new XVertex3d(1, 2, 3);
        XVertex3d? tRef = t;
        var a = new XAngle(0.3);
        var aRef = a;
        Assert.False(Xfn.GetSPTargetOnWGS84ByDist(new XVertex3d(), vel, 0, ref tRef, ref aRef, false,
                                                  eEarthSensorFrame.GeoCentric));
        Assert.Same(t, tRef);
        Assert.Same(a, aRef);
        Assert.Equal((1.0, 2.0, 3.0, 0.3), (t.x, t.y, t.z, a.rad));

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
