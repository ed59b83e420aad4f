using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XfnGeoTests
{
    private static void AssertUnit(XVertex3d v) => Assert.Equal(1.0, v.norm(), 12);

    [Fact]
    public void GeoToEcrAndBackWriteIntoTheGivenObjects()
    {
        var p = XGeoPoint.FromDegree(151.2153, -33.8568, 512.25);
        var ecr = new XVertex3d();
        var keep = ecr;
        Xfn.GeoToEcr(p, ref ecr);
        Assert.Same(keep, ecr);
        Assert.Equal(-4647341.4633833431, ecr.x, 6);
        Assert.Equal(2553281.7533905753, ecr.y, 6);
        Assert.Equal(-3533552.5117251957, ecr.z, 6);

        XVertex3d? fresh = null;
        Xfn.GeoToEcr(p, ref fresh);
        Assert.True(fresh.IsEqual(ecr));

        var target = new XGeoPoint();
        var lon = target.lon;
        Xfn.EcrToGeo(new XVertex3d(-2694045.0, -4293642.0, 3857878.0), ref target);
        Assert.Same(lon, target.lon);  // set through llhd, in place
        Assert.Equal(-122.10620920760212, target.lond, 10);
        Assert.Equal(37.460237130918294, target.latd, 10);
        Assert.Equal(-302.49552769157629, target.hgt, 6);

        // Round trip over latitudes, longitudes and heights.
        XGeoPoint? back = null;
        for (int la = -899; la <= 899; la += 31)
            for (int lo = -180; lo <= 180; lo += 45)
                foreach (double h in new[] { -1000.0, 0.0, 1e6 })
                {
                    Xfn.GeoToEcr(XGeoPoint.FromDegree(lo, la / 10.0, h), ref ecr);
                    Xfn.EcrToGeo(ecr, ref back);
                    Assert.InRange(back.latd - la / 10.0, -1e-11, 1e-11);
                    Assert.InRange(back.hgt - h, -1e-4, 1e-4);
                }

        Assert.Throws<ArgumentNullException>(() => Xfn.GeoToEcr(null!, ref ecr));
        Assert.Throws<ArgumentNullException>(() => Xfn.EcrToGeo(null!, ref target));
    }

    [Fact]
    public void LocalFramesAtTheEquatorAndNearThePoles()
    {
        XVertex3d? e = null, n = null, u = null;
        Xfn.GetFrameENU(new XVertex3d(6378137, 0, 0), ref e, ref n, ref u);
        Assert.Equal((0.0, 1.0, 0.0), (Math.Round(e.x, 9), Math.Round(e.y, 9), Math.Round(e.z, 9)));
        Assert.Equal((0.0, 0.0, 1.0), (Math.Round(n.x, 9), Math.Round(n.y, 9), Math.Round(n.z, 9)));
        Assert.Equal((1.0, 0.0, 0.0), (Math.Round(u.x, 9), Math.Round(u.y, 9), Math.Round(u.z, 9)));

        foreach (double lat in new[] { -89.999, 0.0, 45.0, 89.999 })
        {
            var pos = XGeoPoint.FromDegree(33, lat, 100).ecr;
            XVertex3d vn = new(), ve = new(), vd = new();
            var keep = vn;
            Xfn.GetFrameNED(pos, ref vn, ref ve, ref vd);
            Assert.Same(keep, vn);
            AssertUnit(vn);
            AssertUnit(ve);
            AssertUnit(vd);
            Assert.Equal(0.0, vn.dotProduct(ve), 12);
            Assert.Equal(0.0, vn.dotProduct(vd), 12);
            Assert.Equal(0.0, ve.dotProduct(vd), 12);
            Assert.True((vn.crossProduct(ve) - vd).norm() < 1e-12);

            Xfn.GetFrameENU(pos, ref e, ref n, ref u);
            Assert.True(u.IsEqual(-vd));
            Assert.True(n.IsEqual(vn));
        }

        Assert.Throws<ArgumentNullException>(() => Xfn.GetFrameNED(null!, ref e, ref n, ref u));
    }
}
