// Small helpers shared by the subcommands: strict number parsing, the error
// line, and writing a raster through a temporary file.
#pragma once

#include "RasterIO.h"

#include <string>

namespace Pelmora::Tivra::Tool {

/// Prints "tivra: MESSAGE" on standard error and returns exit status 1.
int Fail(const std::string& message);

/// Whole-string parses; false on empty text, trailing characters or overflow.
bool ParseDouble(const std::string& text, double& value);
bool ParseInt(const std::string& text, int& value);
/// "AxB" or "A,B" forms: two integers or two reals.
bool ParseIntPair(const std::string& text, char separator, int& a, int& b);
bool ParseDoublePair(const std::string& text, double& a, double& b);

/// Writes the raster to path through a temporary name that is renamed only
/// when the file is complete.
bool WriteRasterAtomic(const std::string& path, const Raster& raster, std::string& error);

} // namespace Pelmora::Tivra::Tool
