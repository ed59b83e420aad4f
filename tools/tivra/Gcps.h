// Ground control points from CSV: a header naming the columns
// id,used,img_x,img_y,ref_x,ref_y and optionally ref_z, then one point per
// line. img_x, img_y are image column and row with (0, 0) at the outer
// upper-left corner of the image; ref_x, ref_y are map coordinates.
#pragma once

#include <tivra/mt/XGCP.h>

#include <string>
#include <vector>

namespace Pelmora::Tivra::Tool {

/// Reads the points. Blank lines and lines starting with '#' are skipped; a
/// used field of 1/0 (also true/false, yes/no) marks points that take part in
/// fits and check points. False with a message naming the file and line on
/// the first malformed line, a missing or wrong header, or no points.
bool ReadGcps(const std::string& path, std::vector<tagXGCP>& points, std::string& error);

/// Writes points in the same layout (with ref_z only when any is non-zero).
bool WriteGcps(const std::string& path, const std::vector<tagXGCP>& points, std::string& error);

} // namespace Pelmora::Tivra::Tool
