// Geodesy over arrays: geodesics, earth-centred and local frames, the
// geomagnetic field. The Python layer broadcasts the arguments; here each is
// a 1-D float64 array of the same length, processed in parts on worker
// threads without the GIL.
#include "common.h"
#include <tivra/geo/XEllipsoidEarth.h>
#include <tivra/geo/XGeodesic.h>
#include <tivra/geo/XGeomagnetism.h>
#include <atomic>
#include <cmath>
#include <limits>

namespace Pelmora::Tivra::Python {

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

/// The arguments as pointers, all checked to have the length of the first.
std::vector<Array> Args(const std::vector<std::pair<py::handle, const char*>>& args)
{
    std::vector<Array> out;
    for (const auto& [h, name] : args) {
        out.push_back(Doubles(h, name));
        if (out.back().shape(0) != out[0].shape(0))
            throw py::value_error(std::string(name) + " has another length than " + args[0].second);
    }
    return out;
}

/// ValueError naming the first element of a that is not finite or lies outside [lo, hi].
void CheckRange(const Array& a, const char* name, double lo, double hi)
{
    const double* p = a.data();
    for (py::ssize_t i = 0; i < a.shape(0); ++i)
        if (!(p[i] >= lo && p[i] <= hi))
            throw py::value_error(std::string(name) + "[" + std::to_string(i) + "] is " + std::to_string(p[i]) +
                                  (std::isfinite(lo) ? ": expected a number from " + std::to_string(lo) + " to " +
                                                           std::to_string(hi)
                                                     : ": expected a finite number"));
}
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<Array> Outputs(int count, py::ssize_t n)
{
    std::vector<Array> out;
    for (int i = 0; i < count; ++i) out.emplace_back(n);
    return out;
}

/// Raw pointers of the arrays, taken while the GIL is held.
std::vector<const double*> Ptrs(const std::vector<Array>& a)
{
    std::vector<const double*> p;
    for (const Array& x : a) p.push_back(x.data());
    return p;
}
std::vector<double*> Ptrs(std::vector<Array>& a)
{
    std::vector<double*> p;
    for (Array& x : a) p.push_back(x.mutable_data());
    return p;
}

py::tuple Tuple(const std::vector<Array>& a)
{
    py::tuple t(a.size());
    for (size_t i = 0; i < a.size(); ++i) t[i] = a[i];
    return t;
}

/// Azimuths in degrees from 0 up to 360.
double Azimuth360(double deg)
{
    const double a = std::fmod(deg, 360.0);
    return a < 0 ? a + 360.0 : a;
}

py::tuple Inverse(const py::handle& lat1, const py::handle& lon1, const py::handle& lat2, const py::handle& lon2,
                  bool robust, int workers)
{
    auto in = Args({{lat1, "lat1"}, {lon1, "lon1"}, {lat2, "lat2"}, {lon2, "lon2"}});
    CheckRange(in[0], "lat1", -90, 90), CheckRange(in[2], "lat2", -90, 90);
    CheckRange(in[1], "lon1", -kInf, kInf), CheckRange(in[3], "lon2", -kInf, kInf);
    auto out = Outputs(3, in[0].shape(0));
    const double *a = in[0].data(), *b = in[1].data(), *c = in[2].data(), *d = in[3].data();
    double *dist = out[0].mutable_data(), *az1 = out[1].mutable_data(), *az2 = out[2].mutable_data();
    ParallelFor(in[0].shape(0), workers, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            XAngle fwd, rev;
            double s = 0;
            const XAngle la1 = XAngle::FromDegree(a[i]), lo1 = XAngle::FromDegree(b[i]);
            const XAngle la2 = XAngle::FromDegree(c[i]), lo2 = XAngle::FromDegree(d[i]);
            const bool ok = robust ? Xfn::CalArcDistAndAngleRobust(lo1, la1, lo2, la2, s, fwd, rev)
                                   : Xfn::CalArcDistAndAngle(lo1, la1, lo2, la2, s, fwd, rev);
            dist[i] = ok ? s : kNan;
            az1[i] = ok ? Azimuth360(fwd.deg()) : kNan;
            // revAz points from point 2 back to point 1; the line continues forward opposite to it.
            az2[i] = ok ? Azimuth360(rev.deg() - 180.0) : kNan;
        }
    });
    return Tuple(out);
}

py::tuple Direct(const py::handle& lat1, const py::handle& lon1, const py::handle& azimuth,
                 const py::handle& distance, int workers)
{
    auto in = Args({{lat1, "lat1"}, {lon1, "lon1"}, {azimuth, "azimuth"}, {distance, "distance"}});
    CheckRange(in[0], "lat1", -90, 90), CheckRange(in[1], "lon1", -kInf, kInf);
    CheckRange(in[2], "azimuth", -kInf, kInf), CheckRange(in[3], "distance", 0, kInf);
    auto out = Outputs(3, in[0].shape(0));
    const double *a = in[0].data(), *b = in[1].data(), *c = in[2].data(), *d = in[3].data();
    double *lat2 = out[0].mutable_data(), *lon2 = out[1].mutable_data(), *az2 = out[2].mutable_data();
    ParallelFor(in[0].shape(0), workers, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            XAngle lo, la;
            const XAngle az = Xfn::CalcPosByBearingAndDist(XAngle::FromDegree(b[i]), XAngle::FromDegree(a[i]),
                                                           XAngle::FromDegree(c[i]), d[i], lo, la);
            lat2[i] = la.deg(), lon2[i] = lo.deg(), az2[i] = Azimuth360(az.deg());
        }
    });
    return Tuple(out);
}

py::tuple GeodeticToEcef(const py::handle& lat, const py::handle& lon, const py::handle& height, int workers)
{
    auto in = Args({{lat, "lat"}, {lon, "lon"}, {height, "height"}});
    CheckRange(in[0], "lat", -90, 90), CheckRange(in[1], "lon", -kInf, kInf), CheckRange(in[2], "height", -kInf, kInf);
    auto out = Outputs(3, in[0].shape(0));
    const auto a = Ptrs(in);
    const auto o = Ptrs(out);
    ParallelFor(in[0].shape(0), workers, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) Xfn::m_earth.GeoToEcr(a[1][i], a[0][i], a[2][i], o[0][i], o[1][i], o[2][i]);
    });
    return Tuple(out);
}

py::tuple EcefToGeodetic(const py::handle& x, const py::handle& y, const py::handle& z, int workers)
{
    auto in = Args({{x, "x"}, {y, "y"}, {z, "z"}});
    const char* names[] = {"x", "y", "z"};
    for (int k = 0; k < 3; ++k) CheckRange(in[k], names[k], -kInf, kInf);
    auto out = Outputs(3, in[0].shape(0));
    const auto a = Ptrs(in);
    const auto o = Ptrs(out);
    ParallelFor(in[0].shape(0), workers, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) Xfn::m_earth.EcrToGeo(a[0][i], a[1][i], a[2][i], o[1][i], o[0][i], o[2][i]);
    });
    return Tuple(out);
}

/// The local frame's unit vectors (in earth-centred coordinates) at a geodetic
/// origin: east, north, up or north, east, down.
void Frame(double lat, double lon, double h, bool ned, XVertex3<double> axes[3], XVertex3<double>& origin)
{
    double x, y, z;
    Xfn::m_earth.GeoToEcr(lon, lat, h, x, y, z);
    origin = XVertex3<double>(x, y, z);
    if (ned) Xfn::m_earth.GetFrameNED(origin, axes[0], axes[1], axes[2]);
    else Xfn::m_earth.GetFrameENU(origin, axes[0], axes[1], axes[2]);
}

bool IsNed(const std::string& frame)
{
    if (frame != "enu" && frame != "ned") throw py::value_error("frame must be 'enu' or 'ned', not '" + frame + "'");
    return frame == "ned";
}

/// Earth-centred points into the local frame at origins (lat0, lon0, h0), or
/// back with inverse.
py::tuple Local(const py::handle& a, const py::handle& b, const py::handle& c, const py::handle& lat0,
                const py::handle& lon0, const py::handle& h0, const std::string& frame, bool inverse, int workers)
{
    const bool ned = IsNed(frame);
    auto in = Args({{a, "first coordinate"}, {b, "second coordinate"}, {c, "third coordinate"}, {lat0, "lat0"},
                    {lon0, "lon0"}, {h0, "h0"}});
    for (int k = 0; k < 3; ++k) CheckRange(in[k], "coordinate", -kInf, kInf);
    CheckRange(in[3], "lat0", -90, 90), CheckRange(in[4], "lon0", -kInf, kInf), CheckRange(in[5], "h0", -kInf, kInf);
    auto out = Outputs(3, in[0].shape(0));
    const auto v = Ptrs(in);
    const auto r = Ptrs(out);
    ParallelFor(in[0].shape(0), workers, [&](int64_t begin, int64_t end) {
        XVertex3<double> axes[3], o;
        for (int64_t i = begin; i < end; ++i) {
            Frame(v[3][i], v[4][i], v[5][i], ned, axes, o);
            const XVertex3<double> p(v[0][i], v[1][i], v[2][i]);
            if (!inverse) {
                // Each local coordinate is the offset from the origin along one axis.
                const XVertex3<double> d = p - o;
                for (int k = 0; k < 3; ++k) r[k][i] = d.x * axes[k].x + d.y * axes[k].y + d.z * axes[k].z;
            } else {
                r[0][i] = o.x + p.x * axes[0].x + p.y * axes[1].x + p.z * axes[2].x;
                r[1][i] = o.y + p.x * axes[0].y + p.y * axes[1].y + p.z * axes[2].y;
                r[2][i] = o.z + p.x * axes[0].z + p.y * axes[1].z + p.z * axes[2].z;
            }
        }
    });
    return Tuple(out);
}

py::dict Magnetic(const py::handle& lat, const py::handle& lon, const py::handle& height, const py::handle& date,
                  int workers)
{
    auto in = Args({{lat, "lat"}, {lon, "lon"}, {height, "height"}, {date, "date"}});
    CheckRange(in[0], "lat", -90, 90), CheckRange(in[1], "lon", -kInf, kInf);
    CheckRange(in[2], "height", -kInf, kInf), CheckRange(in[3], "date", -kInf, kInf);
    const std::string file = static_cast<const char*>(Xfn::GetMagneticModelFile());
    const char* names[] = {"declination", "annual_change", "north", "east", "down", "horizontal", "total",
                           "inclination"};
    auto out = Outputs(8, in[0].shape(0));
    const auto a = Ptrs(in);
    const auto o = Ptrs(out);
    std::atomic<bool> failed{false};
    ParallelFor(in[0].shape(0), workers, [&](int64_t begin, int64_t end) {
        tagXMagneticField f;
        for (int64_t i = begin; i < end && !failed; ++i) {
            if (!Xfn::CalcMagneticField(file.c_str(), a[0][i], a[1][i], a[2][i], a[3][i], f)) {
                failed = true;
                break;
            }
            const double v[8] = {f.now.d, f.ddot, f.now.x, f.now.y, f.now.z, f.now.h, f.now.f, f.now.i};
            for (int k = 0; k < 8; ++k) o[k][i] = v[k];
        }
    });
    if (failed)
        throw py::value_error("the geomagnetic model file " + file +
                              " is missing or malformed (TIVRA_HOME names the installation home)");
    py::dict d;
    for (int k = 0; k < 8; ++k) d[names[k]] = out[k];
    return d;
}

} // namespace

void RegisterGeo(py::module_& m)
{
    using namespace py::literals;
    m.def("_geodesic_inverse", &Inverse, "lat1"_a, "lon1"_a, "lat2"_a, "lon2"_a, "robust"_a, "workers"_a);
    m.def("_geodesic_direct", &Direct, "lat1"_a, "lon1"_a, "azimuth"_a, "distance"_a, "workers"_a);
    m.def("_geodetic_to_ecef", &GeodeticToEcef, "lat"_a, "lon"_a, "height"_a, "workers"_a);
    m.def("_ecef_to_geodetic", &EcefToGeodetic, "x"_a, "y"_a, "z"_a, "workers"_a);
    m.def("_local", &Local, "a"_a, "b"_a, "c"_a, "lat0"_a, "lon0"_a, "h0"_a, "frame"_a, "inverse"_a, "workers"_a);
    m.def("_magnetic", &Magnetic, "lat"_a, "lon"_a, "height"_a, "date"_a, "workers"_a);
    m.def("magnetic_decimal_date", &Xfn::MagneticDecimalDate, "year"_a, "month"_a, "day"_a,
          "The decimal year of a date as the geomagnetic model counts it: year + day of the year / days of the "
          "year, 1 January being day 1.");
}

} // namespace Pelmora::Tivra::Python
