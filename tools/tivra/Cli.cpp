#include "Cli.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Pelmora::Tivra::Tool {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "tivra: %s\n", message.c_str());
    return 1;
}

int UsageError(const std::string& command, const std::string& message)
{
    std::fprintf(stderr, "tivra %s: %s\n%s", command.c_str(), message.c_str(), CommandUsage(command));
    return 2;
}

bool ParseDouble(const std::string& text, double& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    // strtod sets ERANGE on underflow as well, with a result of at most the
    // smallest normal magnitude: that result is kept.
    const bool overflow = errno == ERANGE && std::fabs(v) > 1.0;
    if (*end != '\0' || overflow || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool ParseNumberOrNan(const std::string& text, double& value)
{
    if (text.size() == 3 && std::tolower(static_cast<unsigned char>(text[0])) == 'n' &&
        std::tolower(static_cast<unsigned char>(text[1])) == 'a' && std::tolower(static_cast<unsigned char>(text[2])) == 'n') {
        value = std::nan("");
        return true;
    }
    return ParseDouble(text, value);
}

bool ParseInt(const std::string& text, int& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < -2147483647L || v > 2147483647L) return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseIntPair(const std::string& text, char separator, int& a, int& b)
{
    const size_t at = text.find(separator);
    return at != std::string::npos && ParseInt(text.substr(0, at), a) && ParseInt(text.substr(at + 1), b);
}

bool ParseDoublePair(const std::string& text, double& a, double& b)
{
    const size_t at = text.find(',');
    return at != std::string::npos && ParseDouble(text.substr(0, at), a) && ParseDouble(text.substr(at + 1), b);
}

bool ParseWindow(const std::string& text, IO::XWindow& w)
{
    // Two pairs around the second comma.
    const size_t at = text.find(',', text.find(',') + 1);
    return at != std::string::npos && ParseIntPair(text.substr(0, at), ',', w.xOff, w.yOff) &&
           ParseIntPair(text.substr(at + 1), ',', w.xSize, w.ySize) && w.Inside(INT_MAX, INT_MAX);
}

double ReduceLongitude(double degrees) { return std::remainder(degrees, 360.0); }

std::string FormatNumber(double v)
{
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool TakeWriteOption(int argc, char** argv, int& i, WriteOptions& options, std::string& message)
{
    const std::string arg = argv[i];
    if (arg != "--of" && arg != "--co") return false;
    if (i + 1 >= argc) {
        message = arg == "--of" ? "--of needs a GDAL format name, e.g. GTiff" : "--co needs NAME=VALUE";
        return true;
    }
    const std::string v = argv[++i];
    if (arg == "--of") options.format = v;
    else if (v.find('=') == std::string::npos || v[0] == '=') message = "--co takes NAME=VALUE, not '" + v + "'";
    else options.creationOptions.push_back(v);
    return true;
}

} // namespace Pelmora::Tivra::Tool
