// tivra_test_data: makes inputs for the tivra program's end-to-end tests and
// reads results back, independently of the program's own subcommands.
//
//   pattern OUT.tif COLS ROWS TYPE   a raster with v(c, r) = 100 + 3c + 2r
//                                    (Float32) or (7c + 3r) mod 251 (UInt8)
//   rawtiff OUT.tif BANDS BITS       a TIFF of a layout the program refuses
//   info FILE                        cols rows bands type left top dx dy epsg
//   probe FILE ROW COL               the band values and the pixel centre X Y
//   libstats FILE                    Xfn::GetStatistics of every band
#include "../RasterIO.h"

#include <tivra/grid/XStatistics.h>

#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::Tool;

namespace {

int Die(const std::string& message)
{
    std::fprintf(stderr, "tivra_test_data: %s\n", message.c_str());
    return 1;
}

bool Read(const char* path, Raster& raster)
{
    std::string error;
    if (ReadRaster(path, raster, error)) return true;
    Die(error);
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return Die("usage: pattern|rawtiff|info|probe|libstats ...");
    const std::string cmd = argv[1];
    std::string error;
    if (cmd == "pattern" && argc == 6) {
        const int cols = std::atoi(argv[3]), rows = std::atoi(argv[4]);
        const bool real = std::string(argv[5]) == "Float32";
        Raster r;
        r.bands.resize(1);
        r.bands[0].AllocExact(rows, cols, real ? XDT_REAL32 : XDT_UINT08);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < cols; ++x)
                r.bands[0].SetFromREAL64(y, x, real ? 100.0 + 3.0 * x + 2.0 * y : double((7 * x + 3 * y) % 251));
        r.hasGeo = true;
        r.left = 0;
        r.top = 0;
        r.epsg = 32611;
        r.ApplyGeo();
        return WriteRaster(argv[2], argv[2], r, error) ? 0 : Die(error);
    }
    if (cmd == "rawtiff" && argc == 5) {
        const int bands = std::atoi(argv[3]), bits = std::atoi(argv[4]);
        TIFF* t = TIFFOpen(argv[2], "w");
        if (!t) return Die("cannot create file");
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 16u);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, 16u);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(bands));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(bits));
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        std::vector<uint8_t> line(TIFFScanlineSize(t));
        for (uint32_t y = 0; y < 16; ++y) TIFFWriteScanline(t, line.data(), y, 0);
        TIFFClose(t);
        return 0;
    }
    Raster r;
    if (!Read(argv[2], r)) return 1;
    if (cmd == "info") {
        std::printf("%d %d %zu %s %.6f %.6f %.6f %.6f %d\n", r.Cols(), r.Rows(), r.bands.size(),
                    SampleTypeName(r.DataType()), r.left, r.top, r.colSpacing, r.rowSpacing, r.epsg);
        return 0;
    }
    if (cmd == "probe" && argc == 5) {
        const int row = std::atoi(argv[3]), col = std::atoi(argv[4]);
        if (row < 0 || col < 0 || row >= r.Rows() || col >= r.Cols()) return Die("outside the raster");
        for (const XGrid& b : r.bands) std::printf("%.9g ", b.GetAsREAL64(row, col));
        std::printf("%.9f %.9f\n", r.left + (col + 0.5) * r.colSpacing, r.top - (row + 0.5) * r.rowSpacing);
        return 0;
    }
    if (cmd == "libstats") {
        const double noData = r.hasNoData ? r.noData : NAN_REAL64;
        for (size_t b = 0; b < r.bands.size(); ++b) {
            uint64_t n = 0;
            double mn, mx, mean, sd;
            Xfn::GetStatistics(r.bands[b], 1, 0, 1, 0, noData, n, mn, mx, mean, sd);
            std::printf("band %zu count %llu min %.6g max %.6g mean %.6g std %.6g\n", b + 1,
                        static_cast<unsigned long long>(n), mn, mx, mean, sd);
        }
        return 0;
    }
    return Die("unknown command or wrong arguments: " + cmd);
}
