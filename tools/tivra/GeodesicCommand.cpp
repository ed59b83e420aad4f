// tivra geodesic inverse LAT1 LON1 LAT2 LON2
// tivra geodesic direct LAT1 LON1 AZ DIST
// Geodesics on WGS 84; angles in decimal degrees, distances in metres.
// Azimuths are clockwise from north; longitudes come out in [-180, 180).
#include "Cli.h"
#include "Commands.h"

#include <tivra/geo/XAngle.h>
#include <tivra/geo/XGeodesic.h>

#include <cmath>
#include <cstdio>

namespace Pelmora::Tivra::Tool {

namespace {

constexpr const char* kUsage =
    "usage: tivra geodesic inverse LAT1 LON1 LAT2 LON2\n"
    "       tivra geodesic direct LAT1 LON1 AZIMUTH DISTANCE\n"
    "(WGS 84; decimal degrees, azimuths clockwise from north, metres)\n";

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "tivra geodesic: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// An azimuth in degrees folded into [0, 360).
double Azimuth360(double deg)
{
    double a = std::fmod(deg, 360.0);
    if (a < 0) a += 360.0;
    return a >= 360.0 ? 0.0 : a;
}

} // namespace

int RunGeodesic(int argc, char** argv)
{
    if (argc != 5) return UsageError("expected a problem (inverse or direct) and four numbers");
    const std::string problem = argv[0];
    if (problem != "inverse" && problem != "direct") return UsageError("unknown problem '" + problem + "'");
    double v[4];
    const char* names[2][4] = {{"LAT1", "LON1", "LAT2", "LON2"}, {"LAT1", "LON1", "AZIMUTH", "DISTANCE"}};
    const int form = problem == "inverse" ? 0 : 1;
    for (int k = 0; k < 4; ++k)
        if (!ParseDouble(argv[k + 1], v[k]))
            return UsageError(std::string(names[form][k]) + " '" + argv[k + 1] + "' is not a number");
    const auto latOk = [](double lat) { return lat >= -90.0 && lat <= 90.0; };
    if (!latOk(v[0]) || (form == 0 && !latOk(v[2]))) return Fail("latitudes lie between -90 and 90 degrees");

    const XAngle lat1 = XAngle::FromDegree(v[0]), lon1 = XAngle::FromDegree(v[1]);
    if (form == 0) {
        const XAngle lat2 = XAngle::FromDegree(v[2]), lon2 = XAngle::FromDegree(v[3]);
        double dist = 0;
        XAngle fwd, rev;
        // Nearly antipodal points are solved too, and coincident points come
        // back with the distance 0 and the azimuths 0 and 180 degrees. Only
        // non-finite numbers or latitudes beyond the poles fail, and both are
        // refused above.
        if (!Xfn::CalArcDistAndAngleRobust(lon1, lat1, lon2, lat2, dist, fwd, rev))
            return Fail("no geodesic between these points");
        // revAz points from point 2 back to point 1; the azimuth of the line
        // at point 2, continuing forward, is its opposite.
        std::printf("distance     %.3f m\n", dist);
        std::printf("azimuth 1    %.9f deg (at point 1 toward point 2)\n", Azimuth360(fwd.deg()));
        std::printf("azimuth 2    %.9f deg (at point 2, continuing forward)\n", Azimuth360(rev.deg() - 180.0));
        std::printf("back azimuth %.9f deg (at point 2 toward point 1)\n", Azimuth360(rev.deg()));
        return 0;
    }
    if (v[3] < 0) return Fail("DISTANCE must not be negative");
    XAngle lon2, lat2;
    const XAngle az2 = Xfn::CalcPosByBearingAndDist(lon1, lat1, XAngle::FromDegree(v[2]), v[3], lon2, lat2);
    std::printf("latitude 2   %.9f deg\n", lat2.deg());
    std::printf("longitude 2  %.9f deg\n", lon2.deg());
    std::printf("azimuth 2    %.9f deg (at point 2, continuing forward)\n", Azimuth360(az2.deg()));
    return 0;
}

} // namespace Pelmora::Tivra::Tool
