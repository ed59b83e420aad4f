// tivra: the command-line program of the library. The first argument names a
// subcommand; the rest belong to it.
//
//   tivra palettes OUT.png    swatch sheet of the built-in colour palettes
//   tivra warp, stats, colorize, geodesic, magdec, camera, demo (see the command table)
//   tivra help [COMMAND]      the list of subcommands, or one command's usage
//   tivra --version           the program's and GDAL's versions
//   tivra                     with no arguments runs the demo
//
// Every subcommand answers --help (or -h) with its usage on standard output
// and exit status 0, before it looks at any other argument.
#include "AtomicFile.h"
#include "Cli.h"
#include "Commands.h"
#include "RasterIO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifndef TIVRA_VERSION
#define TIVRA_VERSION "unknown"
#endif

namespace Pelmora::Tivra::Tool {

namespace {

struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    const char* usage;
    int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"palettes", "OUT", "write a sheet with one labelled 256 x 12 strip per colour palette",
     "usage: tivra palettes OUT [--of FORMAT] [--co NAME=VALUE]...\n", RunPalettes},
    {"warp", "IN OUT --gcps FILE", "rectify a raster onto a north-up grid from ground control points",
     "usage: tivra warp IN OUT --gcps FILE [--method linear|affine|pseudoaffine|second|third|projective]\n"
     "                  [--cells CxR] [--interp nearest|bilinear|cubic|radial] [--truncate]\n"
     "                  [--srcnodata V|nan] [--background V]\n"
     "                  [--size WxH | --pixel-size S] [--extent XMIN,YMIN,XMAX,YMAX]\n"
     "                  [--window XOFF,YOFF,XSIZE,YSIZE] [--a-srs SRS] [--of FORMAT] [--co NAME=VALUE]...\n"
     "                  [--save-fit FILE] [--quiet]\n"
     "       tivra warp IN --gcps FILE [fit and grid options] --save-fit FILE   (fit only)\n"
     "       tivra warp IN OUT --load-fit FILE [--window ...] [--truncate] [--srcnodata V|nan] [--background V]\n"
     "                  [--a-srs SRS] [--of FORMAT] [--co NAME=VALUE]... [--quiet]\n",
     RunWarp},
    {"stats", "IN", "count, extremes, mean, deviation, stretch range and histogram of each band",
     "usage: tivra stats IN [--nodata V|nan] [--histogram] [--json]\n"
     "       tivra stats IN --partial [--window XOFF,YOFF,XSIZE,YSIZE] [--nodata V|nan]\n"
     "       tivra stats --merge PARTIAL... [--json]\n",
     RunStats},
    {"colorize", "IN OUT", "render a single-band raster through a stretch and a palette",
     "usage: tivra colorize IN OUT [--palette NAME|INDEX] [--stretch auto|MIN,MAX] [--nodata V]\n"
     "                      [--of FORMAT] [--co NAME=VALUE]...\n",
     RunColorize},
    {"geodesic", "inverse|direct ...", "distance and azimuths, or destination, on WGS 84",
     "usage: tivra geodesic inverse LAT1 LON1 LAT2 LON2\n"
     "       tivra geodesic direct LAT1 LON1 AZIMUTH DISTANCE\n"
     "       tivra geodesic inverse|direct -     (one problem of four numbers per line of standard input)\n"
     "(WGS 84; decimal degrees, azimuths clockwise from north, metres)\n",
     RunGeodesic},
    {"magdec", "LAT LON H DATE", "magnetic declination and its annual change from WMM.cof",
     "usage: tivra magdec LAT LON HEIGHT_M DATE [--json]\n"
     "(decimal degrees, metres above the WGS 84 ellipsoid, DATE as YYYY-MM-DD or a decimal year)\n",
     RunMagdec},
    {"camera", "GCPS.csv", "fit a frame camera to control points with ground heights",
     "usage: tivra camera GCPS.csv [--max-iterations N] [--quiet]\n", RunCamera},
    {"demo", "[OUTDIR]", "the worked example on the bundled data (also: tivra with no arguments)",
     "usage: tivra demo [OUTDIR]   (default ./tivra-demo)\n", RunDemo},
};

const Command* FindCommand(const char* name)
{
    for (const Command& c : kCommands)
        if (!std::strcmp(name, c.name)) return &c;
    return nullptr;
}

int List(FILE* out)
{
    std::fprintf(out, "usage: tivra COMMAND [ARGUMENTS]   (tivra COMMAND --help for its options)\n\ncommands:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  %-9s %-19s %s\n", c.name, c.arguments, c.summary);
    std::fprintf(out, "  %-9s %-19s %s\n", "help", "[COMMAND]", "show this list, or a command's usage");
    std::fprintf(out, "\noptions: --version, --help\n");
    return out == stdout ? 0 : 2;
}

bool AsksForHelp(int argc, char** argv)
{
    for (int i = 0; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) return true;
    return false;
}

} // namespace

const char* CommandUsage(const std::string& name)
{
    const Command* c = FindCommand(name.c_str());
    return c ? c->usage : "";
}

namespace {

/// Flushes and closes standard output: a result that could not be written
/// (a full disk, a closed pipe) turns a successful run into a failure with
/// a reason. The stream's error flag keeps any earlier failed write.
int CloseStandardOutput(int status)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
    const int flushError = errno;
    const bool closed = std::fclose(stdout) == 0;
    if (flushed && closed) return status;
    const int why = flushError ? flushError : errno;
    std::fprintf(stderr, "tivra: cannot write standard output%s%s\n", why ? ": " : "", why ? std::strerror(why) : "");
    return status == 0 ? 1 : status;
}

int Run(int argc, char** argv)
{
    // With no arguments the program shows what it does on the bundled data.
    if (argc < 2) return RunDemo(0, argv + 1);
    const char* name = argv[1];
    if (!std::strcmp(name, "--version")) {
        std::printf("tivra %s (%s)\n", TIVRA_VERSION, GdalVersion().c_str());
        return 0;
    }
    if (!std::strcmp(name, "help") || !std::strcmp(name, "--help") || !std::strcmp(name, "-h")) {
        if (argc < 3) return List(stdout);
        const Command* c = FindCommand(argv[2]);
        if (!c) {
            std::fprintf(stderr, "tivra: unknown command '%s'\n\n", argv[2]);
            return List(stderr);
        }
        std::printf("%s: %s\n%s", c->name, c->summary, c->usage);
        return 0;
    }
    const Command* c = FindCommand(name);
    if (!c) {
        std::fprintf(stderr, "tivra: unknown command '%s'\n\n", name);
        return List(stderr);
    }
    if (AsksForHelp(argc - 2, argv + 2)) {
        std::printf("%s: %s\n%s", c->name, c->summary, c->usage);
        return 0;
    }
    return c->run(argc - 2, argv + 2);
}

} // namespace

} // namespace Pelmora::Tivra::Tool

int main(int argc, char** argv)
{
    using namespace Pelmora::Tivra::Tool;
    InstallInterruptCleanup();
    return CloseStandardOutput(Run(argc, argv));
}
