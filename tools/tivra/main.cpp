// tivra: the command-line program of the library. The first argument names a
// subcommand; the rest belong to it.
//
//   tivra palettes OUT.png    swatch sheet of the built-in colour palettes
//   tivra warp, stats, colorize, geodesic, magdec, camera, demo (see the command table)
//   tivra help                the list of subcommands
//   tivra                     with no arguments runs the demo
#include "Commands.h"

#include <cstdio>
#include <cstring>

namespace {

using namespace Pelmora::Tivra::Tool;

struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"palettes", "OUT.png", "write a PNG sheet with one labelled 256 x 12 strip per colour palette", RunPalettes},
    {"warp", "IN OUT --gcps FILE", "rectify a raster onto a north-up grid from ground control points", RunWarp},
    {"stats", "IN", "count, extremes, mean, deviation, stretch range and histogram of each band", RunStats},
    {"colorize", "IN OUT.png", "render a single-band raster through a stretch and a palette", RunColorize},
    {"geodesic", "inverse|direct ...", "distance and azimuths, or destination, on WGS 84", RunGeodesic},
    {"magdec", "LAT LON H DATE", "magnetic declination and its annual change from WMM.cof", RunMagdec},
    {"camera", "GCPS.csv", "fit a frame camera to control points with ground heights", RunCamera},
    {"demo", "[OUTDIR]", "the worked example on the bundled data (also: tivra with no arguments)", RunDemo},
};

int Usage(FILE* out)
{
    std::fprintf(out, "usage: tivra COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  %-9s %-19s %s\n", c.name, c.arguments, c.summary);
    std::fprintf(out, "  %-9s %-19s %s\n", "help", "", "show this list");
    return out == stdout ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    // With no arguments the program shows what it does on the bundled data.
    if (argc < 2) return RunDemo(0, argv + 1);
    const char* name = argv[1];
    if (!std::strcmp(name, "help") || !std::strcmp(name, "--help") || !std::strcmp(name, "-h")) return Usage(stdout);
    for (const Command& c : kCommands)
        if (!std::strcmp(name, c.name)) return c.run(argc - 2, argv + 2);
    std::fprintf(stderr, "tivra: unknown command '%s'\n\n", name);
    return Usage(stderr);
}
