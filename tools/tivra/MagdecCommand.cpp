// tivra magdec LAT LON HEIGHT_M DATE [--json]
// The magnetic declination and its annual change from the magnetic model
// file WMM.cof of the installation home. Latitude and longitude in decimal
// degrees, height in metres above the WGS 84 ellipsoid, the date as
// YYYY-MM-DD or as a decimal year.
#include "Cli.h"
#include "Commands.h"

#include <tivra/geo/XGeomagnetism.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace Pelmora::Tivra::Tool {

namespace {

int UsageError(const std::string& message) { return Tool::UsageError("magdec", message); }

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
}

/// The date argument: a calendar day YYYY-MM-DD (bCalendar) or a decimal
/// year. False when it is neither form.
bool ParseDate(const std::string& text, bool& bCalendar, int& year, int& month, int& day, double& decimal)
{
    int nRead = 0;
    bCalendar = text.size() == 10 && text[4] == '-' && text[7] == '-' &&
                std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &nRead) == 3 && nRead == 10;
    if (bCalendar) return true;
    return ParseDouble(text, decimal);
}

/// A number with its unit for the text output; "undefined" when it is not
/// one.
std::string Quantity(double v, int decimals, const char* unit)
{
    if (!std::isfinite(v)) return "undefined";
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.*f %s", decimals, v, unit);
    return buf;
}

/// A JSON number (printf format fmt), or null when it is not one.
std::string JsonNumber(double v, const char* fmt)
{
    if (!std::isfinite(v)) return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) continue; // no control characters in the output
        out += c;
    }
    return out + "\"";
}

} // namespace

int RunMagdec(int argc, char** argv)
{
    bool json = false;
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") json = true;
        else if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') return UsageError("unknown option " + arg);
        else args.push_back(arg);
    }
    if (args.size() != 4) return UsageError("expected LAT LON HEIGHT_M DATE");
    double v[3];
    const char* names[3] = {"LAT", "LON", "HEIGHT_M"};
    for (int k = 0; k < 3; ++k)
        if (!ParseDouble(args[size_t(k)], v[k]))
            return UsageError(std::string(names[k]) + " '" + args[size_t(k)] + "' is not a number");
    bool bCalendar = false;
    int year = 0, month = 0, day = 0;
    double date = 0;
    if (!ParseDate(args[3], bCalendar, year, month, day, date))
        return UsageError("DATE '" + args[3] + "' is neither YYYY-MM-DD nor a decimal year");
    const double lat = v[0], lon = ReduceLongitude(v[1]), height = v[2];
    if (lat < -90.0 || lat > 90.0) return Fail("LAT must lie between -90 and 90 degrees");
    if (bCalendar) {
        if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
            return Fail("DATE " + args[3] + " is not a day of the calendar");
        date = Xfn::MagneticDecimalDate(year, month, day);
    }

    const XString strFile = Xfn::GetMagneticModelFile();
    tagXMagneticField field;
    if (!Xfn::CalcMagneticField(strFile, lat, lon, height, date, field)) {
        const std::string why = static_cast<const char*>(Xfn::DescribeMagneticModelFile(strFile));
        return Fail("cannot use the magnetic model " + std::string(strFile) + ": " +
                    (why.empty() ? "it has no model for this date" : why) +
                    " (TIVRA_HOME names the installation home)");
    }
    const std::string model = static_cast<const char*>(field.strModel);
    if (date < field.dModelFrom || date >= field.dModelTo)
        std::fprintf(stderr,
                     "tivra magdec: warning: %.6f lies outside the years of %s (%.1f to %.1f); the model is "
                     "extrapolated\n",
                     date, model.c_str(), field.dModelFrom, field.dModelTo);

    const double decl = field.now.d, ddot = field.ddot;
    if (json) {
        std::printf("{\"latitude\": %s, \"longitude\": %s, \"height_m\": %s, ", JsonNumber(lat, "%.10g").c_str(),
                    JsonNumber(lon, "%.10g").c_str(), JsonNumber(height, "%.10g").c_str());
        if (bCalendar) std::printf("\"date\": %s, ", JsonString(args[3]).c_str());
        std::printf("\"decimal_year\": %s, \"model\": %s, \"declination_deg\": %s, "
                    "\"annual_change_arcmin_per_year\": %s, \"inclination_deg\": %s, \"horizontal_nT\": %s, "
                    "\"total_nT\": %s}\n",
                    JsonNumber(date, "%.6f").c_str(), JsonString(model).c_str(), JsonNumber(decl, "%.6f").c_str(),
                    JsonNumber(ddot, "%.4f").c_str(), JsonNumber(field.now.i, "%.6f").c_str(),
                    JsonNumber(field.now.h, "%.1f").c_str(), JsonNumber(field.now.f, "%.1f").c_str());
        return 0;
    }
    std::printf("model          %s (%.1f to %.1f)\n", model.c_str(), field.dModelFrom, field.dModelTo);
    std::printf("date           %s%.6f (decimal year)\n", bCalendar ? (args[3] + " = ").c_str() : "", date);
    std::printf("declination    %s\n", std::isfinite(decl)
                                           ? Quantity(decl, 4, "deg (east of true north positive)").c_str()
                                           : "undefined (within 0.001 degree of a geographic pole, or a horizontal "
                                             "field under 100 nT)");
    std::printf("annual change  %s%s\n", Quantity(ddot, 2, "arcmin/year").c_str(),
                std::isfinite(ddot) ? (" (" + Quantity(ddot / 60.0, 4, "deg/year") + ")").c_str() : "");
    std::printf("inclination    %s\n", Quantity(field.now.i, 4, "deg (down positive)").c_str());
    std::printf("intensity      %s horizontal, %s total\n", Quantity(field.now.h, 1, "nT").c_str(),
                Quantity(field.now.f, 1, "nT").c_str());
    return 0;
}

} // namespace Pelmora::Tivra::Tool
