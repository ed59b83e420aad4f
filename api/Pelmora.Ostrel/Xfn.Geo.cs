using System;
using System.Diagnostics.CodeAnalysis;

namespace Pelmora.Ostrel;

/// <summary>Geodesy on the default earth (WGS 84): geodetic and earth-centred positions, and the
/// local north-east-down and east-north-up frames.</summary>
public static partial class Xfn
{
    /// <summary>The earth-centred rotating (ecr) position of a geographic point, written into
    /// the given vector.</summary>
    /// <param name="geo">The point; its longitude, latitude (degrees) and height are
    /// converted.</param>
    /// <param name="ecr">Receives x, y, z in metres; a null variable gets a new vector.</param>
    /// <exception cref="ArgumentNullException"><paramref name="geo"/> is null.</exception>
    public static unsafe void GeoToEcr(XGeoPoint geo, [NotNull] ref XVertex3d? ecr)
    {
        ArgumentNullException.ThrowIfNull(geo);
        XVertex3d.Unmanaged v;
        Native.Geo.GeoToEcr(geo.lond, geo.latd, geo.hgt, &v);
        ecr ??= new XVertex3d();
        ecr.x = v.x;
        ecr.y = v.y;
        ecr.z = v.z;
    }

    /// <summary>The geodetic position of an ecr position, set on the given point with
    /// <see cref="XGeoPoint.llhd(double, double, double)"/> (so its member angles change in
    /// place).</summary>
    /// <param name="ecr">x, y, z in metres.</param>
    /// <param name="geo">Receives the position; a null variable gets a new point.</param>
    /// <exception cref="ArgumentNullException"><paramref name="ecr"/> is null.</exception>
    public static unsafe void EcrToGeo(XVertex3d ecr, [NotNull] ref XGeoPoint? geo)
    {
        ArgumentNullException.ThrowIfNull(ecr);
        XVertex3d.Unmanaged v = new(ecr.x, ecr.y, ecr.z), llh;
        Native.Geo.EcrToGeo(&v, &llh);
        geo ??= new XGeoPoint();
        geo.llhd(llh.x, llh.y, llh.z);
    }

    /// <summary>Unit north, east and down vectors (in ecr) at an ecr position, written into the
    /// given vectors. The frame follows the ellipsoid normal; on the polar axis north points
    /// along longitude 180 at the north pole.</summary>
    /// <param name="vPos">The ecr position, metres.</param>
    /// <param name="vN">Receives north; a null variable gets a new vector.</param>
    /// <param name="vE">Receives east; a null variable gets a new vector.</param>
    /// <param name="vD">Receives down; a null variable gets a new vector.</param>
    /// <exception cref="ArgumentNullException"><paramref name="vPos"/> is null.</exception>
    public static unsafe void GetFrameNED(XVertex3d vPos, [NotNull] ref XVertex3d? vN, [NotNull] ref XVertex3d? vE,
                                          [NotNull] ref XVertex3d? vD)
    {
        ArgumentNullException.ThrowIfNull(vPos);
        XVertex3d.Unmanaged p = new(vPos.x, vPos.y, vPos.z), n, e, d;
        Native.Geo.FrameNED(&p, &n, &e, &d);
        Put(ref vN, n);
        Put(ref vE, e);
        Put(ref vD, d);
    }

    /// <summary>Unit east, north and up vectors (in ecr) at an ecr position, written into the
    /// given vectors: the frame of <see cref="GetFrameNED"/> with up = -down.</summary>
    /// <param name="vPos">The ecr position, metres.</param>
    /// <param name="vE">Receives east; a null variable gets a new vector.</param>
    /// <param name="vN">Receives north; a null variable gets a new vector.</param>
    /// <param name="vU">Receives up; a null variable gets a new vector.</param>
    /// <exception cref="ArgumentNullException"><paramref name="vPos"/> is null.</exception>
    public static unsafe void GetFrameENU(XVertex3d vPos, [NotNull] ref XVertex3d? vE, [NotNull] ref XVertex3d? vN,
                                          [NotNull] ref XVertex3d? vU)
    {
        ArgumentNullException.ThrowIfNull(vPos);
        XVertex3d.Unmanaged p = new(vPos.x, vPos.y, vPos.z), e, n, u;
        Native.Geo.FrameENU(&p, &e, &n, &u);
        Put(ref vE, e);
        Put(ref vN, n);
        Put(ref vU, u);
    }

    private static void Put([NotNull] ref XVertex3d? dst, in XVertex3d.Unmanaged src)
    {
        dst ??= new XVertex3d();
        dst.x = src.x;
        dst.y = src.y;
        dst.z = src.z;
    }
}
