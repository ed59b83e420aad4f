// What the program's readers link against but the fuzz targets never reach:
// the usage texts live with the program's command table (main.cpp), and
// option errors are not printed here.
#include <string>

namespace Pelmora::Tivra::Tool {
const char* CommandUsage(const std::string&) { return ""; }
} // namespace Pelmora::Tivra::Tool
