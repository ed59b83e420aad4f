// tivra geodesic inverse LAT1 LON1 LAT2 LON2
// tivra geodesic direct LAT1 LON1 AZ DIST
// tivra geodesic inverse|direct -
// Geodesics on WGS 84; angles in decimal degrees, distances in metres. With
// "-", problems are read from standard input, four numbers a line, and each
// answer is printed on one line: "DISTANCE AZIMUTH1 AZIMUTH2" for inverse,
// "LAT2 LON2 AZIMUTH2" for direct.
// Azimuths are clockwise from north; longitudes come out in [-180, 180).
#include "Cli.h"
#include "Commands.h"

#include <tivra/geo/XAngle.h>
#include <tivra/geo/XGeodesic.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace Pelmora::Tivra::Tool {

namespace {

int UsageError(const std::string& message) { return Tool::UsageError("geodesic", message); }

// An azimuth in degrees folded into [0, 360). A negative zero (the line due
// north between antipodes, for one) becomes 0, which would otherwise print
// as "-0.000".
double Azimuth360(double deg)
{
    double a = std::fmod(deg, 360.0);
    if (a < 0) a += 360.0;
    return a >= 360.0 || a == 0.0 ? 0.0 : a;
}

const char* const kNames[2][4] = {{"LAT1", "LON1", "LAT2", "LON2"}, {"LAT1", "LON1", "AZIMUTH", "DISTANCE"}};

/// Solves one problem; false with a message for values out of range.
/// compact prints the one-line answer of the standard input form.
bool Solve(int form, const double v[4], bool compact, std::string& error)
{
    const auto latOk = [](double lat) { return lat >= -90.0 && lat <= 90.0; };
    if (!latOk(v[0]) || (form == 0 && !latOk(v[2]))) {
        error = "latitudes lie between -90 and 90 degrees";
        return false;
    }
    const XAngle lat1 = XAngle::FromDegree(v[0]), lon1 = XAngle::FromDegree(ReduceLongitude(v[1]));
    if (form == 0) {
        const XAngle lat2 = XAngle::FromDegree(v[2]), lon2 = XAngle::FromDegree(ReduceLongitude(v[3]));
        double dist = 0;
        XAngle fwd, rev;
        // Nearly antipodal points are solved too, and coincident points come
        // back with the distance 0 and the azimuths 0 and 180 degrees. Only
        // non-finite numbers or latitudes beyond the poles fail, and both are
        // refused above.
        if (!Xfn::CalArcDistAndAngleRobust(lon1, lat1, lon2, lat2, dist, fwd, rev)) {
            error = "no geodesic between these points";
            return false;
        }
        // revAz points from point 2 back to point 1; the azimuth of the line
        // at point 2, continuing forward, is its opposite.
        if (compact) {
            std::printf("%.3f %.9f %.9f\n", dist, Azimuth360(fwd.deg()), Azimuth360(rev.deg() - 180.0));
            return true;
        }
        std::printf("distance     %.3f m\n", dist);
        std::printf("azimuth 1    %.9f deg (at point 1 toward point 2)\n", Azimuth360(fwd.deg()));
        std::printf("azimuth 2    %.9f deg (at point 2, continuing forward)\n", Azimuth360(rev.deg() - 180.0));
        std::printf("back azimuth %.9f deg (at point 2 toward point 1)\n", Azimuth360(rev.deg()));
        return true;
    }
    if (v[3] < 0) {
        error = "DISTANCE must not be negative";
        return false;
    }
    XAngle lon2, lat2;
    const XAngle az2 = Xfn::CalcPosByBearingAndDist(lon1, lat1, XAngle::FromDegree(v[2]), v[3], lon2, lat2);
    if (compact) {
        std::printf("%.9f %.9f %.9f\n", lat2.deg(), lon2.deg(), Azimuth360(az2.deg()));
        return true;
    }
    std::printf("latitude 2   %.9f deg\n", lat2.deg());
    std::printf("longitude 2  %.9f deg\n", lon2.deg());
    std::printf("azimuth 2    %.9f deg (at point 2, continuing forward)\n", Azimuth360(az2.deg()));
    return true;
}

} // namespace

int SolveGeodesicLines(bool direct, std::istream& in)
{
    const int form = direct ? 1 : 0;
    std::string line, error;
    for (long number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string w; words >> w;) fields.push_back(w);
        if (fields.empty() || fields[0][0] == '#') continue;
        const std::string where = "standard input line " + std::to_string(number) + ": ";
        if (fields.size() != 4) return Fail(where + "expected four numbers, found " + std::to_string(fields.size()));
        double v[4];
        for (int k = 0; k < 4; ++k)
            if (!ParseDouble(fields[k], v[k]))
                return Fail(where + kNames[form][k] + " '" + fields[k].substr(0, 40) + "' is not a number");
        if (!Solve(form, v, true, error)) return Fail(where + error);
    }
    return 0;
}

int RunGeodesic(int argc, char** argv)
{
    if (argc < 1) return UsageError("expected a problem (inverse or direct)");
    const std::string problem = argv[0];
    if (problem != "inverse" && problem != "direct") return UsageError("unknown problem '" + problem + "'");
    const int form = problem == "inverse" ? 0 : 1;
    if (argc == 2 && std::string(argv[1]) == "-") return SolveGeodesicLines(form == 1, std::cin);
    if (argc != 5) return UsageError("expected four numbers, or - to read them from standard input");
    double v[4];
    for (int k = 0; k < 4; ++k)
        if (!ParseDouble(argv[k + 1], v[k]))
            return UsageError(std::string(kNames[form][k]) + " '" + argv[k + 1] + "' is not a number");
    std::string error;
    return Solve(form, v, false, error) ? 0 : Fail(error);
}

} // namespace Pelmora::Tivra::Tool
