// Small helpers shared by the subcommands: strict number parsing, number
// formatting, the error line and the usage error, and the options every
// command that writes a raster takes.
#pragma once

#include "RasterIO.h"

#include <string>

namespace Pelmora::Tivra::Tool {

/// Prints "tivra: MESSAGE" on standard error and returns exit status 1, the
/// status of every run-time failure.
int Fail(const std::string& message);

/// Prints "tivra COMMAND: MESSAGE" and the command's usage on standard error
/// and returns exit status 2, the status of every wrong command line.
int UsageError(const std::string& command, const std::string& message);

/// The usage text of a subcommand (main's command table).
const char* CommandUsage(const std::string& command);

/// Whole-string parses; false on empty text, trailing characters or a value
/// out of range. ParseDouble takes a result that underflows toward zero (it
/// is the nearest double to what was written) but not one that overflows.
bool ParseDouble(const std::string& text, double& value);
bool ParseInt(const std::string& text, int& value);
/// ParseDouble, or "nan" (any case) for a NaN: a no-data value may be one.
bool ParseNumberOrNan(const std::string& text, double& value);
/// "AxB" or "A,B" forms: two integers or two reals.
bool ParseIntPair(const std::string& text, char separator, int& a, int& b);
bool ParseDoublePair(const std::string& text, double& a, double& b);
/// "XOFF,YOFF,XSIZE,YSIZE": offsets from 0, sizes from 1, and ends
/// (offset + size) that an int holds.
bool ParseWindow(const std::string& text, IO::XWindow& window);

/// A longitude in degrees reduced exactly into [-180, 180]: the remainder of
/// a division by 360 is exact in doubles, so 1e20 or 3.6e15 lands on the
/// meridian it names instead of one its radians lost.
double ReduceLongitude(double degrees);

/// The shortest text that reads back as exactly v ("0.1", "1e+308", "nan").
std::string FormatNumber(double v);

/// Takes --of FORMAT and --co NAME=VALUE at argv[i] (advancing i past the
/// value). True when argv[i] was one of them; on a missing value, message
/// is set.
bool TakeWriteOption(int argc, char** argv, int& i, WriteOptions& options, std::string& message);

} // namespace Pelmora::Tivra::Tool
