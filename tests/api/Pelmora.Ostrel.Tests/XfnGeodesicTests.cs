using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XfnGeodesicTests
{
    private static XAngle Deg(double d) => XAngle.FromDegree(d);

    [Fact]
    public void InverseWritesIntoTheGivenAnglesAndZeroesThemOnFailure()
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

        // Identical points, then a nearly antipodal pair: false and zeros.
        Assert.False(Xfn.CalArcDistAndAngle(Deg(5), Deg(6), Deg(5), Deg(6), ref dist, ref fwd, ref rev));
        Assert.Equal((0.0, 0.0, 0.0), (dist, fwd.rad, rev.rad));
        dist = fwd.rad = rev.rad = 1;
        Assert.False(Xfn.CalArcDistAndAngle(Deg(0), Deg(0), Deg(179.7), Deg(0.5), ref dist, ref fwd, ref rev));
        Assert.Equal((0.0, 0.0, 0.0), (dist, fwd.rad, rev.rad));

        Assert.Throws<ArgumentNullException>(() => Xfn.CalArcDistAndAngle(null!, Deg(0), Deg(1), Deg(1), ref dist,
                                                                           ref fwd, ref rev));
    }

    [Fact]
    public void DirectInvertsTheInverseAndWrapsAcrossTheAntimeridian()
    {
        var rng = new Random(17);
        XAngle? lon2 = null, lat2 = null, fwd = null, rev = null;
        double dist = 0;
        for (int i = 0; i < 200; i++)
        {
            XAngle lo1 = Deg(rng.NextDouble() * 360 - 180), la1 = Deg(rng.NextDouble() * 170 - 85);
            XAngle lo2 = Deg(rng.NextDouble() * 360 - 180), la2 = Deg(rng.NextDouble() * 170 - 85);
            if (!Xfn.CalArcDistAndAngle(lo1, la1, lo2, la2, ref dist, ref fwd, ref rev))
                continue;  // near the antipode
            Xfn.CalcPosByBearingAndDist(lo1, la1, fwd, dist, ref lon2, ref lat2);
            Assert.InRange(Math.Abs(Math.IEEERemainder(lon2.rad - lo2.rad, 2 * Math.PI)), 0, 1e-12);
            Assert.InRange(Math.Abs(lat2.rad - la2.rad), 0, 1e-12);
        }

        var lon = new XAngle();
        var keep = lon;
        XAngle az = Xfn.CalcPosByBearingAndDist(Deg(179.5), Deg(10), new XAngle(Math.PI / 2), 2e5, ref lon, ref lat2);
        Assert.Same(keep, lon);
        Assert.InRange(lon.rad, -Math.PI, -178 * Math.PI / 180);
        Assert.InRange(az.rad, Math.PI / 2, Math.PI);  // leaving due east north of the equator, it arrives heading south of east
        Assert.Throws<ArgumentNullException>(() => Xfn.CalcPosByBearingAndDist(Deg(0), Deg(0), null!, 1, ref lon,
                                                                                ref lat2));
    }

    [Fact]
    public void AzimuthAndElevationOfTargetsAroundALevelPlatform()
    {
        var pos = XGeoPoint.FromDegree(10, 45, 1000).ecr;
        XVertex3d? n = null, e = null, d = null;
        Xfn.GetFrameNED(pos, ref n, ref e, ref d);
        XAngle zero = new(), yaw = new(Math.PI / 2);  // nose east
        XAngle? az = null, el = null;

        Xfn.CalcAzimuthElevationOfTarget(pos, yaw, zero, zero, pos + e * 100.0, ref az, ref el);
        Assert.Equal(0.0, az.rad, 9);
        Assert.Equal(0.0, el.rad, 9);
        Xfn.CalcAzimuthElevationOfTarget(pos, yaw, zero, zero, pos - n * 100.0, ref az, ref el);  // south is right
        Assert.Equal(Math.PI / 2, az.rad, 9);
        Xfn.CalcAzimuthElevationOfTarget(pos, yaw, zero, zero, pos - e * 100.0, ref az, ref el);
        Assert.Equal(Math.PI, az.rad, 9);
        Assert.Equal(Math.PI, Math.Abs(el.rad), 9);
        Xfn.CalcAzimuthElevationOfTarget(pos, yaw, zero, zero, pos + (e - d) * 100.0, ref az, ref el);
        Assert.Equal(Math.PI / 4, el.rad, 9);  // 45 degrees up
        Xfn.CalcAzimuthElevationOfTarget(pos, yaw, zero, zero, pos + d * 100.0, ref az, ref el);
        Assert.Equal(-Math.PI / 2, el.rad, 9);  // straight down

        Assert.Throws<ArgumentNullException>(() => Xfn.CalcAzimuthElevationOfTarget(pos, yaw, zero, zero, null!,
                                                                                     ref az, ref el));
    }
}
