// The subcommands of the tivra program. Each takes the arguments after its
// own name and returns the process exit code.
#pragma once

#include <iosfwd>

namespace Pelmora::Tivra::Tool {

/// tivra palettes OUT.png: writes the swatch sheet of every palette.
int RunPalettes(int argc, char** argv);

/// tivra warp IN OUT --gcps FILE [...]: rectification from control points.
int RunWarp(int argc, char** argv);

/// tivra stats IN [--nodata V] [--histogram]: per-band statistics.
int RunStats(int argc, char** argv);

/// tivra colorize IN OUT [--palette P] [--stretch auto|MIN,MAX]: pseudo-colour.
int RunColorize(int argc, char** argv);

/// tivra geodesic inverse|direct ...: geodesics on WGS 84.
int RunGeodesic(int argc, char** argv);

/// The standard input form of tivra geodesic: one problem of four numbers a
/// line of in (blank lines and lines starting with # skipped), each answer
/// on a line of standard output; status 1 with a message at the first bad
/// line.
int SolveGeodesicLines(bool direct, std::istream& in);

/// tivra magdec LAT LON HEIGHT_M DATE [--json]: magnetic declination.
int RunMagdec(int argc, char** argv);

/// tivra camera GCPS.csv: a frame camera fitted to control points.
int RunCamera(int argc, char** argv);

/// tivra demo [OUTDIR]: the worked example on the bundled data.
int RunDemo(int argc, char** argv);

} // namespace Pelmora::Tivra::Tool
