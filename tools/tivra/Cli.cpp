#include "Cli.h"

#include "AtomicFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Pelmora::Tivra::Tool {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "tivra: %s\n", message.c_str());
    return 1;
}

bool ParseDouble(const std::string& text, double& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    value = v;
    return true;
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

bool WriteRasterAtomic(const std::string& path, const Raster& raster, std::string& error)
{
    if (!IsWritableFormat(path, error)) return false;
    AtomicFile file(path);
    if (!WriteRaster(file.TempPath(), path, raster, error)) {
        // Name the file the user asked for, not the temporary.
        for (size_t at; (at = error.find(file.TempPath())) != std::string::npos;)
            error.replace(at, file.TempPath().size(), path);
        return false;
    }
    return file.Commit(error);
}

} // namespace Pelmora::Tivra::Tool
