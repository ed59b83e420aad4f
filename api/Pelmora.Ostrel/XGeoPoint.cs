using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

/// <summary>
/// A geographic point held in three representations kept in step on the default WGS 84 earth:
/// longitude, geodetic latitude and height above the ellipsoid; the earth-centred rotating
/// cartesian position (ecr, metres); and the earth equidistant-cylindrical coordinates (eec).
/// </summary>
/// <remarks>
/// <para>The point keeps references, not copies. The <see cref="XAngle"/> objects given to
/// <see cref="llh"/>, <see cref="FromAngle"/> or the <see cref="lon"/> and <see cref="lat"/>
/// setters, and the <see cref="XVertex3d"/> given to the <see cref="ecr"/> and <see cref="eec"/>
/// setters or to <see cref="FromEcr(XVertex3d)"/> and <see cref="FromEec(XVertex3d)"/>, become the
/// point's own members, and the getters return the members themselves. Setters in degrees or
/// radians, and every recomputation, write into the member objects in place. Changing a shared
/// object afterwards therefore changes the point without recomputing the other
/// representations.</para>
/// <para>The state lives in the fields of this object; the core is called only to convert.</para>
/// </remarks>
public class XGeoPoint : IDisposable
{
    /// <summary>The core's geographic point: longitude and latitude in radians, height in metres,
    /// then the ecr and eec vectors.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Unmanaged
    {
        /// <summary>Longitude, radians.</summary>
        public double lon;
        /// <summary>Geodetic latitude, radians.</summary>
        public double lat;
        /// <summary>Height above the ellipsoid, metres.</summary>
        public double hgt;
        /// <summary>Earth-centred rotating cartesian position, metres.</summary>
        public XVertex3d.Unmanaged ecr;
        /// <summary>Earth equidistant-cylindrical coordinates.</summary>
        public XVertex3d.Unmanaged eec;
    }

    private XAngle m_lat;
    private XAngle m_lon;
    private double m_hgt;
    private XVertex3d m_ecr;
    private XVertex3d m_eec;

    /// <summary>Creates the point at longitude, latitude and height 0: ecr (6378137, 0, 0), eec
    /// (0, 0, 0).</summary>
    public XGeoPoint() : this(Blank.Value) => llh(m_lon, m_lat, 0.0);

    /// <summary>Creates a point at the position of <paramref name="point"/>, with angles and
    /// vectors of its own.</summary>
    /// <param name="point">The point to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="point"/> is null.</exception>
    public XGeoPoint(XGeoPoint point) : this(Blank.Value)
    {
        ArgumentNullException.ThrowIfNull(point);
        llhr(point.m_lon.rad, point.m_lat.rad, point.m_hgt);
    }

    /// <summary>Creates a point holding the fields of a core point as they are.</summary>
    /// <param name="point">The core point.</param>
    public XGeoPoint(Unmanaged point)
    {
        m_lat = new XAngle(point.lat);
        m_lon = new XAngle(point.lon);
        m_hgt = point.hgt;
        m_ecr = new XVertex3d(point.ecr);
        m_eec = new XVertex3d(point.eec);
    }

    // Fresh members, nothing computed: the factories fill them with one conversion.
    private enum Blank { Value }

    private XGeoPoint(Blank _)
    {
        m_lat = new XAngle();
        m_lon = new XAngle();
        m_ecr = new XVertex3d();
        m_eec = new XVertex3d();
    }

    /// <summary>A new point holding the given angles (see <see cref="llh"/>).</summary>
    /// <param name="lon">Longitude; becomes the point's member.</param>
    /// <param name="lat">Latitude; becomes the point's member.</param>
    /// <param name="alt">Height, metres.</param>
    /// <returns>The new point.</returns>
    /// <exception cref="ArgumentNullException">An angle is null.</exception>
    public static XGeoPoint FromAngle(XAngle lon, XAngle lat, double alt)
    {
        var p = new XGeoPoint(Blank.Value);
        p.llh(lon, lat, alt);
        return p;
    }

    /// <summary>A new point from radians.</summary>
    /// <param name="lon">Longitude, radians.</param>
    /// <param name="lat">Latitude, radians.</param>
    /// <param name="alt">Height, metres.</param>
    /// <returns>The new point.</returns>
    public static XGeoPoint FromRadian(double lon, double lat, double alt)
    {
        var p = new XGeoPoint(Blank.Value);
        p.llhr(lon, lat, alt);
        return p;
    }

    /// <summary>A new point from degrees.</summary>
    /// <param name="lon">Longitude, degrees.</param>
    /// <param name="lat">Latitude, degrees.</param>
    /// <param name="alt">Height, metres.</param>
    /// <returns>The new point.</returns>
    public static XGeoPoint FromDegree(double lon, double lat, double alt)
    {
        var p = new XGeoPoint(Blank.Value);
        p.llhd(lon, lat, alt);
        return p;
    }

    /// <summary>A new point at an ecr position.</summary>
    /// <param name="x">x, metres.</param>
    /// <param name="y">y, metres.</param>
    /// <param name="z">z, metres.</param>
    /// <returns>The new point.</returns>
    public static XGeoPoint FromEcr(double x, double y, double z) => FromEcr(new XVertex3d(x, y, z));

    /// <summary>A new point at an ecr position, holding <paramref name="pos"/> as its ecr.</summary>
    /// <param name="pos">The ecr position; becomes the point's member.</param>
    /// <returns>The new point.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="pos"/> is null.</exception>
    public static XGeoPoint FromEcr(XVertex3d pos)
    {
        var p = new XGeoPoint(Blank.Value);
        p.ecr = pos;
        return p;
    }

    /// <summary>A new point at eec coordinates.</summary>
    /// <param name="x">Longitude arc scaled by the semi-major axis.</param>
    /// <param name="y">Latitude arc scaled by the semi-minor axis.</param>
    /// <param name="z">Height scaled by the parallel's radius over the semi-major axis.</param>
    /// <returns>The new point.</returns>
    public static XGeoPoint FromEec(double x, double y, double z) => FromEec(new XVertex3d(x, y, z));

    /// <summary>A new point at eec coordinates, holding <paramref name="pos"/> as its eec.</summary>
    /// <param name="pos">The eec coordinates; becomes the point's member.</param>
    /// <returns>The new point.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="pos"/> is null.</exception>
    public static XGeoPoint FromEec(XVertex3d pos)
    {
        var p = new XGeoPoint(Blank.Value);
        p.eec = pos;
        return p;
    }

    /// <summary>Holds <paramref name="lon"/>, <paramref name="lat"/> and <paramref name="hgt"/>,
    /// then writes the matching ecr and eec into the member vectors.</summary>
    /// <param name="lon">Longitude; becomes the point's member.</param>
    /// <param name="lat">Latitude; becomes the point's member.</param>
    /// <param name="hgt">Height, metres.</param>
    /// <exception cref="ArgumentNullException">An angle is null.</exception>
    public void llh(XAngle lon, XAngle lat, double hgt)
    {
        ArgumentNullException.ThrowIfNull(lon);
        ArgumentNullException.ThrowIfNull(lat);
        m_lon = lon;
        m_lat = lat;
        m_hgt = hgt;
        UpdateFromLlh();
    }

    /// <summary>Writes degrees into the member angles in place, then recomputes as
    /// <see cref="llh"/>.</summary>
    /// <param name="lon">Longitude, degrees.</param>
    /// <param name="lat">Latitude, degrees.</param>
    /// <param name="hgt">Height, metres.</param>
    public void llhd(double lon, double lat, double hgt)
    {
        m_lon.deg = lon;
        m_lat.deg = lat;
        llh(m_lon, m_lat, hgt);
    }

    /// <summary>Writes radians into the member angles in place, then recomputes as
    /// <see cref="llh"/>.</summary>
    /// <param name="lon">Longitude, radians.</param>
    /// <param name="lat">Latitude, radians.</param>
    /// <param name="hgt">Height, metres.</param>
    public void llhr(double lon, double lat, double hgt)
    {
        m_lon.rad = lon;
        m_lat.rad = lat;
        llh(m_lon, m_lat, hgt);
    }

    /// <summary>A new vector (longitude, latitude, height) with the angles in degrees.</summary>
    /// <returns>The new vector.</returns>
    public XVertex3d llhd() => new XVertex3d(m_lon.deg, m_lat.deg, m_hgt);

    /// <summary>A new vector (longitude, latitude, height) with the angles in radians.</summary>
    /// <returns>The new vector.</returns>
    public XVertex3d llhr() => new XVertex3d(m_lon.rad, m_lat.rad, m_hgt);

    /// <summary>The longitude object itself. Setting holds the given object and recomputes ecr
    /// and eec.</summary>
    /// <exception cref="ArgumentNullException">Set to null.</exception>
    public XAngle lon
    {
        get => m_lon;
        set
        {
            ArgumentNullException.ThrowIfNull(value);
            m_lon = value;
            UpdateFromLlh();
        }
    }

    /// <summary>The latitude object itself. Setting holds the given object and recomputes ecr
    /// and eec.</summary>
    /// <exception cref="ArgumentNullException">Set to null.</exception>
    public XAngle lat
    {
        get => m_lat;
        set
        {
            ArgumentNullException.ThrowIfNull(value);
            m_lat = value;
            UpdateFromLlh();
        }
    }

    /// <summary>Longitude in degrees; setting writes the member angle in place and recomputes ecr
    /// and eec.</summary>
    public double lond
    {
        get => m_lon.deg;
        set
        {
            m_lon.deg = value;
            UpdateFromLlh();
        }
    }

    /// <summary>Latitude in degrees; setting writes the member angle in place and recomputes ecr
    /// and eec.</summary>
    public double latd
    {
        get => m_lat.deg;
        set
        {
            m_lat.deg = value;
            UpdateFromLlh();
        }
    }

    /// <summary>Longitude in radians; setting writes the member angle in place and recomputes ecr
    /// and eec.</summary>
    public double lonr
    {
        get => m_lon.rad;
        set
        {
            m_lon.rad = value;
            UpdateFromLlh();
        }
    }

    /// <summary>Latitude in radians; setting writes the member angle in place and recomputes ecr
    /// and eec.</summary>
    public double latr
    {
        get => m_lat.rad;
        set
        {
            m_lat.rad = value;
            UpdateFromLlh();
        }
    }

    /// <summary>Height above the ellipsoid in metres; setting recomputes ecr and eec.</summary>
    public double hgt
    {
        get => m_hgt;
        set
        {
            m_hgt = value;
            UpdateFromLlh();
        }
    }

    /// <summary>The ecr vector itself. Setting holds the given vector, derives longitude,
    /// latitude and height from it (written into the member angles in place) and writes the
    /// eec.</summary>
    /// <exception cref="ArgumentNullException">Set to null.</exception>
    public unsafe XVertex3d ecr
    {
        get => m_ecr;
        set
        {
            ArgumentNullException.ThrowIfNull(value);
            m_ecr = value;
            XVertex3d.Unmanaged v = new(value.x, value.y, value.z);
            Unmanaged u;
            Native.Geo.PointFromEcr(&v, &u);
            m_lon.rad = u.lon;
            m_lat.rad = u.lat;
            m_hgt = u.hgt;
            Put(m_eec, u.eec);
        }
    }

    /// <summary>The eec vector itself. Setting holds the given vector, derives longitude,
    /// latitude and height from it (written into the member angles in place) and writes the
    /// ecr.</summary>
    /// <exception cref="ArgumentNullException">Set to null.</exception>
    public unsafe XVertex3d eec
    {
        get => m_eec;
        set
        {
            ArgumentNullException.ThrowIfNull(value);
            m_eec = value;
            XVertex3d.Unmanaged v = new(value.x, value.y, value.z);
            Unmanaged u;
            Native.Geo.PointFromEec(&v, &u);
            m_lon.rad = u.lon;
            m_lat.rad = u.lat;
            m_hgt = u.hgt;
            Put(m_ecr, u.ecr);
        }
    }

    /// <summary>Whether <paramref name="val"/> has exactly the same ecr position.</summary>
    /// <param name="val">The other point.</param>
    /// <returns>False when <paramref name="val"/> is null or the positions differ.</returns>
    public bool IsEqual(XGeoPoint? val) => val is not null && m_ecr.IsEqual(val.m_ecr);

    /// <summary>The core point computed from this point's longitude, latitude and height.</summary>
    /// <returns>The core point.</returns>
    public unsafe Unmanaged GetUnmanObj()
    {
        Unmanaged u;
        Native.Geo.PointFromRadian(m_lon.rad, m_lat.rad, m_hgt, &u);
        return u;
    }

    /// <summary>Ends the use of the point. It releases nothing, since the point owns no native
    /// memory: its position stays readable and writable afterwards, and calling it again does
    /// nothing. The member angles and vectors are left alone too, as other objects may share
    /// them.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Releases what the object owns: nothing here, since its state lives in managed
    /// fields. A derived class that owns resources overrides it. The class has no finaliser: with
    /// nothing to release, one would only make every point costlier to collect.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>, false from a derived class's
    /// finaliser.</param>
    protected virtual void Dispose(bool disposing) { }

    private unsafe void UpdateFromLlh()
    {
        Unmanaged u;
        Native.Geo.PointFromRadian(m_lon.rad, m_lat.rad, m_hgt, &u);
        Put(m_ecr, u.ecr);
        Put(m_eec, u.eec);
    }

    [MethodImpl(MethodImplOptions.AggressiveInlining)]
    private static void Put(XVertex3d dst, in XVertex3d.Unmanaged src)
    {
        dst.x = src.x;
        dst.y = src.y;
        dst.z = src.z;
    }
}
