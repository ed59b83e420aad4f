using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XGeoPointTests
{
    private static void AssertNear(double x, double y, double z, XVertex3d v, double tol)
    {
        Assert.InRange(v.x, x - tol, x + tol);
        Assert.InRange(v.y, y - tol, y + tol);
        Assert.InRange(v.z, z - tol, z + tol);
    }

    [Fact]
    public void ConstructionMatchesReferencePositions()
    {
        var o = new XGeoPoint();
        Assert.True(o.ecr.IsEqual(new XVertex3d(6378137, 0, 0)));
        Assert.True(o.eec.IsEqual(new XVertex3d(0, 0, 0)));

        // Reference ecr from an independent geodesy library (WGS 84).
        var p = XGeoPoint.FromDegree(151.2153, -33.8568, 512.25);
        AssertNear(-4647341.4633833431, 2553281.7533905753, -3533552.5117251957, p.ecr, 1e-6);
        Assert.Equal(151.2153 * XConstants.Deg2Rad, p.lonr);
        Assert.Equal(151.2153 * XConstants.Deg2Rad * 6378137.0, p.eec.x, 6);
        Assert.Equal(-33.8568 * XConstants.Deg2Rad * 6356752.3142, p.eec.y, 6);

        var r = XGeoPoint.FromRadian(p.lonr, p.latr, p.hgt);
        Assert.True(r.IsEqual(p));
        var fromEcr = XGeoPoint.FromEcr(-2694045.0, -4293642.0, 3857878.0);
        Assert.Equal(-122.10620920760212, fromEcr.lond, 10);
        Assert.Equal(37.460237130918294, fromEcr.latd, 10);
        Assert.Equal(-302.49552769157629, fromEcr.hgt, 6);

        var fromEec = XGeoPoint.FromEec(p.eec.x, p.eec.y, p.eec.z);
        Assert.Equal(151.2153, fromEec.lond, 10);
        Assert.Equal(-33.8568, fromEec.latd, 10);
        Assert.Equal(512.25, fromEec.hgt, 6);
        AssertNear(p.ecr.x, p.ecr.y, p.ecr.z, fromEec.ecr, 1e-6);

        Assert.True(XGeoPoint.FromAngle(XAngle.FromDegree(151.2153), XAngle.FromDegree(-33.8568), 512.25).IsEqual(p));
        Assert.True(new XGeoPoint(p).IsEqual(p));
        Assert.False(p.IsEqual(null));
        Assert.False(p.IsEqual(o));
    }

    [Fact]
    public void SettersReplaceOneComponentAndRecompute()
    {
        var p = XGeoPoint.FromDegree(10, 20, 300);
        var ecr = p.ecr;
        p.lond = 127;
        Assert.Same(ecr, p.ecr);  // written in place
        Assert.Equal(20, p.latd, 12);
        Assert.Equal(300, p.hgt);
        Assert.True(p.ecr.IsEqual(XGeoPoint.FromDegree(127, 20, 300).ecr));
        Assert.True(p.eec.IsEqual(XGeoPoint.FromDegree(127, 20, 300).eec));

        p.hgt = -50;
        Assert.True(p.ecr.IsEqual(XGeoPoint.FromDegree(127, 20, -50).ecr));
        p.latr = 0.5;
        p.lonr = -1.0;
        Assert.True(p.IsEqual(XGeoPoint.FromRadian(-1.0, 0.5, -50)));
        p.lat = new XAngle(0.25);
        Assert.True(p.IsEqual(XGeoPoint.FromRadian(-1.0, 0.25, -50)));
        Assert.Equal(new[] { -1.0, 0.25, -50 }, new[] { p.llhr().x, p.llhr().y, p.llhr().z });
        Assert.Equal(-57.29577951308232, p.llhd().x);
    }

    [Fact]
    public void PointKeepsTheObjectsItIsGiven()
    {
        var lon = XAngle.FromDegree(30);
        var lat = XAngle.FromDegree(40);
        var p = XGeoPoint.FromAngle(lon, lat, 0);
        Assert.Same(lon, p.lon);
        Assert.Same(lat, p.lat);

        // Changing a shared angle changes the point without recomputing ecr.
        var before = new XVertex3d(p.ecr);
        p.lon.deg = 50;
        Assert.Equal(50, p.lond, 12);
        Assert.True(p.ecr.IsEqual(before));

        // A second point sharing the angle sees the change as well.
        var q = XGeoPoint.FromAngle(lon, XAngle.FromDegree(-10), 0);
        lon.deg = 60;
        Assert.Equal(60, p.lond, 12);
        Assert.Equal(60, q.lond, 12);

        // Degree and radian setters write into the member angle in place.
        p.lond = 70;
        Assert.Equal(70, lon.deg, 12);
        Assert.Equal(70, q.lond, 12);
        p.llhd(80, 10, 5);
        Assert.Equal(80, lon.deg, 12);
        Assert.Equal(10, lat.deg, 12);
        Assert.True(p.ecr.IsEqual(XGeoPoint.FromDegree(80, 10, 5).ecr));

        // Setting an angle holds the new object; the old one is let go.
        var other = new XAngle(0.1);
        p.lat = other;
        Assert.Same(other, p.lat);
        lat.deg = 33;
        Assert.Equal(0.1, p.latr);

        // The ecr setter holds the vertex and writes derived angles into the members.
        var v = new XVertex3d(6378137 + 1000, 0, 0);
        p.ecr = v;
        Assert.Same(v, p.ecr);
        Assert.Same(other, p.lat);
        Assert.Equal(0.0, other.rad);
        Assert.Equal(1000, p.hgt, 6);
        v.z = 1e6;
        Assert.Equal(0.0, p.latd);

        var e = new XVertex3d(XGeoPoint.FromDegree(5, 6, 7).eec);
        p.eec = e;
        Assert.Same(e, p.eec);
        Assert.Equal(6, p.latd, 10);
        Assert.Same(v, p.ecr);  // written in place
        Assert.True(XGeoPoint.FromEcr(v).IsEqual(p));

        // The copy constructor makes angles and vectors of its own.
        var copy = new XGeoPoint(p);
        Assert.NotSame(p.lon, copy.lon);
        Assert.NotSame(p.ecr, copy.ecr);
        copy.lond = 100;
        Assert.Equal(5, p.lond, 10);
    }

    [Fact]
    public void CoreFormsAndBadInput()
    {
        var p = XGeoPoint.FromDegree(-45, 12, 99);
        XGeoPoint.Unmanaged u = p.GetUnmanObj();
        Assert.Equal((p.lonr, p.latr, p.hgt), (u.lon, u.lat, u.hgt));
        Assert.Equal(p.ecr.x, u.ecr.x);
        Assert.Equal(p.eec.z, u.eec.z);

        // The core form is taken as it is, with no recomputation.
        u.ecr.x = 1.0;
        var q = new XGeoPoint(u);
        Assert.Equal(1.0, q.ecr.x);
        Assert.Equal(p.lonr, q.lonr);
        // GetUnmanObj recomputes from longitude, latitude and height.
        Assert.Equal(p.ecr.x, q.GetUnmanObj().ecr.x);

        Assert.Throws<ArgumentNullException>(() => p.llh(null!, new XAngle(), 0));
        Assert.Throws<ArgumentNullException>(() => p.lon = null!);
        Assert.Throws<ArgumentNullException>(() => p.ecr = null!);
        Assert.Throws<ArgumentNullException>(() => p.eec = null!);
        Assert.Throws<ArgumentNullException>(() => XGeoPoint.FromEcr(null!));
        Assert.Throws<ArgumentNullException>(() => new XGeoPoint((XGeoPoint)null!));
    }
}
