// tivra geodesic inverse LAT1 LON1 LAT2 LON2
// tivra geodesic direct LAT1 LON1 AZ DIST
// tivra geodesic inverse|direct -
// Geodesics on WGS 84; angles in decimal degrees, distances in metres. With
// "-", problems are read from standard input, four numbers a line, solved
// in batches on every core, and each answer is printed on one line:
// "DISTANCE AZIMUTH1 AZIMUTH2" for inverse, "LAT2 LON2 AZIMUTH2" for direct.
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

/// False with a message for values out of range.
bool Check(int form, const double v[4], std::string& error)
{
    const auto latOk = [](double lat) { return lat >= -90.0 && lat <= 90.0; };
    if (!latOk(v[0]) || (form == 0 && !latOk(v[2]))) {
        error = "latitudes lie between -90 and 90 degrees";
        return false;
    }
    if (form == 1 && v[3] < 0) {
        error = "DISTANCE must not be negative";
        return false;
    }
    return true;
}

/// Solves one problem; false with a message for values out of range.
/// compact prints the one-line answer of the standard input form.
bool Solve(int form, const double v[4], bool compact, std::string& error)
{
    if (!Check(form, v, error)) return false;
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

// Problems of the standard input form solved together: enough to keep every
// core busy for a while, small enough that answers follow the input closely.
constexpr size_t kBatch = 65536;

/// Solves the collected problems (columns of degrees and metres) on every
/// core and prints one answer a line, in order; the batch calls give each
/// answer bit for bit as the single calls would.
void SolveBatch(int form, std::vector<double> (&cols)[4])
{
    const size_t n = cols[0].size();
    std::vector<double> rad[3], out[3];
    for (int k = 0; k < 3; ++k) {
        rad[k].resize(n);
        out[k].resize(n);
    }
    for (size_t i = 0; i < n; ++i) {
        rad[0][i] = XAngle::FromDegree(cols[0][i]).rad();
        rad[1][i] = XAngle::FromDegree(ReduceLongitude(cols[1][i])).rad();
        rad[2][i] = XAngle::FromDegree(cols[2][i]).rad();
    }
    if (form == 0) {
        std::vector<double> lon2(n);
        for (size_t i = 0; i < n; ++i) lon2[i] = XAngle::FromDegree(ReduceLongitude(cols[3][i])).rad();
        // Check refused everything the robust inverse would fail on.
        Xfn::CalArcDistAndAngleRobust(rad[1].data(), rad[0].data(), lon2.data(), rad[2].data(), n, out[0].data(),
                                      out[1].data(), out[2].data(), 0);
        for (size_t i = 0; i < n; ++i)
            std::printf("%.3f %.9f %.9f\n", out[0][i], Azimuth360(XAngle(out[1][i]).deg()),
                        Azimuth360(XAngle(out[2][i]).deg() - 180.0));
    } else {
        Xfn::CalcPosByBearingAndDist(rad[1].data(), rad[0].data(), rad[2].data(), cols[3].data(), n, out[0].data(),
                                     out[1].data(), out[2].data(), 0);
        for (size_t i = 0; i < n; ++i)
            std::printf("%.9f %.9f %.9f\n", XAngle(out[1][i]).deg(), XAngle(out[0][i]).deg(),
                        Azimuth360(XAngle(out[2][i]).deg()));
    }
    for (auto& c : cols) c.clear();
}

} // namespace

/// The standard input form: one problem a line (blank lines and lines
/// starting with # are skipped), solved in batches; stops at the first bad
/// line, after answering the lines before it.
int SolveGeodesicLines(bool direct, std::istream& in)
{
    const int form = direct ? 1 : 0;
    std::string line, error;
    std::vector<double> cols[4];
    for (long number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string w; words >> w;) fields.push_back(w);
        if (fields.empty() || fields[0][0] == '#') continue;
        const std::string where = "standard input line " + std::to_string(number) + ": ";
        double v[4];
        if (fields.size() != 4) error = "expected four numbers, found " + std::to_string(fields.size());
        for (int k = 0; k < 4 && error.empty(); ++k)
            if (!ParseDouble(fields[k], v[k]))
                error = std::string(kNames[form][k]) + " '" + fields[k].substr(0, 40) + "' is not a number";
        if (!error.empty() || !Check(form, v, error)) {
            SolveBatch(form, cols);
            return Fail(where + error);
        }
        for (int k = 0; k < 4; ++k) cols[k].push_back(v[k]);
        if (cols[0].size() == kBatch) SolveBatch(form, cols);
    }
    SolveBatch(form, cols);
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
