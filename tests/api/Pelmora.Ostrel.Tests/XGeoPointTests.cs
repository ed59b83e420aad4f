using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XGeoPointTests
{
    internal static void AssertNear(double x, double y, double z, XVertex3d v, double tol)
    {
        Assert.InRange(v.x, x - tol, x + tol);
        Assert.InRange(v.y, y - tol, y + tol);
        Assert.InRange(v.z, z - tol, z + tol);
    }

    internal static void AssertLlh(double lond, double latd, double hgt, XGeoPoint p)
    {
        Assert.Equal(lond, p.lond, 10);
        Assert.Equal(latd, p.latd, 10);
        Assert.Equal(hgt, p.hgt, 6);
    }

    [Fact]
    public void ConstructionMatchesReferencePositions()
    {
        var o = new XGeoPoint();
        Assert.Equal((6378137.0, 0.0, 0.0, 0.0, 0.0, 0.0), (o.ecr.x, o.ecr.y, o.ecr.z, o.eec.x, o.eec.y, o.eec.z));

        // Reference positions from an independent geodesy library (WGS 84).
        var p = XGeoPoint.FromDegree(151.2153, -33.8568, 512.25);
        AssertNear(-4647341.4633833431, 2553281.7533905753, -3533552.5117251957, p.ecr, 1e-6);
        Assert.Equal(151.2153 * XConstants.Deg2Rad * 6378137.0, p.eec.x, 6);
        Assert.Equal(-33.8568 * XConstants.Deg2Rad * 6356752.3142, p.eec.y, 6);
        AssertLlh(-122.10620920760212, 37.460237130918294, -302.49552769157629,
                  XGeoPoint.FromEcr(-2694045.0, -4293642.0, 3857878.0));

        // The other ways in arrive at the same point.
        Assert.All(new[] { XGeoPoint.FromRadian(p.lonr, p.latr, p.hgt), new XGeoPoint(p),
                           XGeoPoint.FromAngle(XAngle.FromDegree(151.2153), XAngle.FromDegree(-33.8568), 512.25) },
                   q => Assert.True(q.IsEqual(p)));
        var fromEec = XGeoPoint.FromEec(p.eec.x, p.eec.y, p.eec.z);
        AssertLlh(151.2153, -33.8568, 512.25, fromEec);
        AssertNear(p.ecr.x, p.ecr.y, p.ecr.z, fromEec.ecr, 1e-6);
        Assert.False(p.IsEqual(null));
        Assert.False(p.IsEqual(o));
    }

    [Fact]
    public void DisposalReleasesNothingAndLeavesSharedMembersAlone()
    {
        var lon = XAngle.FromDegree(10);
        var p = XGeoPoint.FromAngle(lon, XAngle.FromDegree(20), 300);
        XVertex3d ecr = p.ecr;
        lon.Dispose();  // a member shared with the caller
        p.Dispose();
        p.Dispose();
        AssertLlh(10, 20, 300, p);
        Assert.Same(lon, p.lon);
        Assert.Same(ecr, p.ecr);

        // The disposed point still converts, writing into its (disposed) members in place.
        p.lond = 127;
        Assert.Equal(127, lon.deg, 12);
        Assert.True(ecr.IsEqual(XGeoPoint.FromDegree(127, 20, 300).ecr));
    }

    [Fact]
    public void SettersChangeOneComponentAndRecomputeInPlace()
    {
        const double D = XConstants.Deg2Rad;
        var p = XGeoPoint.FromDegree(10, 20, 300);
        XVertex3d ecr = p.ecr, eec = p.eec;
        foreach (var (set, lonr, latr, hgt) in new (Action, double, double, double)[]
                 {
                     (() => p.lond = 127, 127 * D, 20 * D, 300), (() => p.hgt = -50, 127 * D, 20 * D, -50),
                     (() => p.latr = 0.5, 127 * D, 0.5, -50), (() => p.lonr = -1.0, -1.0, 0.5, -50),
                     (() => p.latd = -5, -1.0, -5 * D, -50), (() => p.lat = new XAngle(0.25), -1.0, 0.25, -50),
                 })
        {
            set();
            var expected = XGeoPoint.FromRadian(lonr, latr, hgt);
            Assert.True(p.ecr.IsEqual(expected.ecr) && p.eec.IsEqual(expected.eec));
            Assert.Equal((lonr, latr, hgt), (p.lonr, p.latr, p.hgt));
            Assert.Same(ecr, p.ecr);
            Assert.Same(eec, p.eec);
        }
        Assert.Equal((-1.0, 0.25, -50.0), (p.llhr().x, p.llhr().y, p.llhr().z));
        Assert.Equal(-57.29577951308232, p.llhd().x);
    }

    [Fact]
    public void PointKeepsTheObjectsItIsGiven()
    {
        var lon = XAngle.FromDegree(30);
        var lat = XAngle.FromDegree(40);
        var p = XGeoPoint.FromAngle(lon, lat, 0);
        var q = XGeoPoint.FromAngle(lon, XAngle.FromDegree(-10), 0);

        // Changing a shared angle changes both points without recomputing ecr.
        var before = new XVertex3d(p.ecr);
        lon.deg = 60;
        Assert.Equal((60.0, 60.0), (Math.Round(p.lond, 12), Math.Round(q.lond, 12)));
        Assert.True(p.ecr.IsEqual(before));

        // Degree setters write into the member angles in place.
        p.lond = 70;
        Assert.Equal(70, q.lond, 12);
        p.llhd(80, 10, 5);
        Assert.Equal((80.0, 10.0), (Math.Round(lon.deg, 12), Math.Round(lat.deg, 12)));
        Assert.True(p.ecr.IsEqual(XGeoPoint.FromDegree(80, 10, 5).ecr));

        // Setting an angle holds the new object; the old one is let go.
        var other = new XAngle(0.1);
        p.lat = other;
        lat.deg = 33;
        Assert.Same(other, p.lat);
        Assert.Equal(0.1, p.latr);

        // The ecr setter holds the vertex and writes the derived angles into the members.
        var v = new XVertex3d(6378137 + 1000, 0, 0);
        p.ecr = v;
        Assert.Same(v, p.ecr);
        Assert.Equal((0.0, 1000.0), (other.rad, Math.Round(p.hgt, 6)));
        v.z = 1e6;
        Assert.Equal(0.0, p.latd);

        // The eec setter likewise; ecr is written in place.
        var e = new XVertex3d(XGeoPoint.FromDegree(5, 6, 7).eec);
        p.eec = e;
        Assert.Same(e, p.eec);
        Assert.Same(v, p.ecr);
        Assert.Equal(6, p.latd, 10);
        Assert.True(XGeoPoint.FromEcr(v).IsEqual(p));

        // The copy constructor makes angles and vectors of its own.
        var copy = new XGeoPoint(p);
        Assert.NotSame(p.ecr, copy.ecr);
        copy.lond = 100;
        Assert.Equal(5, p.lond, 10);
    }

    [Fact]
    public void CoreFormsAndBadInput()
    {
        var p = XGeoPoint.FromDegree(-45, 12, 99);
        XGeoPoint.Unmanaged u = p.GetUnmanObj();
        Assert.Equal((p.lonr, p.latr, p.hgt, p.ecr.x, p.eec.z), (u.lon, u.lat, u.hgt, u.ecr.x, u.eec.z));

        // The core form is taken as it is; GetUnmanObj recomputes from longitude, latitude and height.
        u.ecr.x = 1.0;
        var q = new XGeoPoint(u);
        Assert.Equal((1.0, p.lonr), (q.ecr.x, q.lonr));
        Assert.Equal(p.ecr.x, q.GetUnmanObj().ecr.x);

        Check.Throws<ArgumentNullException>(
            () => p.llh(null!, new XAngle(), 0), () => p.lon = null!, () => p.ecr = null!, () => p.eec = null!,
            () => XGeoPoint.FromEcr(null!), () => _ = new XGeoPoint((XGeoPoint)null!));
    }
}
