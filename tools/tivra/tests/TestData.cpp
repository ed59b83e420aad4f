// tivra_test_data: makes inputs for the tivra program's end-to-end tests and
// reads results back, independently of the program's own subcommands.
//
//   pattern OUT.tif COLS ROWS TYPE   a raster with v(c, r) = 100 + 3c + 2r
//                                    (Float32) or (7c + 3r) mod 251 (UInt8)
//   rawtiff OUT.tif BANDS BITS       a TIFF of a layout the program refuses
//   info FILE                        cols rows bands type left top dx dy epsg
//   probe FILE ROW COL               the band values and the pixel centre X Y
//   libstats FILE                    Xfn::GetStatistics of every band
//   cameragcps OUT.csv N SIGMA SEED  N control points of a known aerial frame
//                                    camera, image noise SIGMA px; prints
//                                    the camera's nine parameters
#include "../RasterIO.h"

#include <tivra/grid/XStatistics.h>

#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
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

/// A uniform double in (0, 1) from one 32-bit draw of the generator, whose
/// sequence the C++ standard fixes, so the bundled sample is reproducible
/// on any platform.
double Uniform(std::mt19937& rng) { return (double(rng()) + 0.5) / 4294967296.0; }

/// A standard normal deviate by the Box-Muller transform.
double Normal(std::mt19937& rng)
{
    const double u = Uniform(rng), v = Uniform(rng);
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
}

/// Control points of an aerial frame camera over UTM-like map coordinates:
/// f, x0, y0 in pixels of a 4000 x 3000 image, the projection centre 2350 m
/// above the map's datum, omega 2, phi -3 and kappa 95 degrees. Each point
/// is a random image position and terrain height between 150 and 650 m; the
/// ground point is where the ray of that image position meets that height.
/// The rotation is composed here from the elementary turns, independently of
/// the library. Every sixth point is a check point (used 0).
int CameraGcps(const char* path, int n, double sigma, unsigned seed)
{
    const double deg = 0.017453292519943295;
    const double p[9] = {4200.0, 2010.4, 1495.7, 500850.0, 4180420.0, 2350.0, 2.0 * deg, -3.0 * deg, 95.0 * deg};
    const double co = std::cos(p[6]), so = std::sin(p[6]), cp = std::cos(p[7]), sp = std::sin(p[7]);
    const double ck = std::cos(p[8]), sk = std::sin(p[8]);
    const double rx[3][3] = {{1, 0, 0}, {0, co, -so}, {0, so, co}};
    const double ry[3][3] = {{cp, 0, sp}, {0, 1, 0}, {-sp, 0, cp}};
    const double rz[3][3] = {{ck, -sk, 0}, {sk, ck, 0}, {0, 0, 1}};
    double rxy[3][3] = {}, m[3][3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) rxy[i][j] += rx[i][k] * ry[k][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) m[i][j] += rxy[i][k] * rz[k][j];

    FILE* f = std::fopen(path, "w");
    if (!f) return Die(std::string("cannot create ") + path);
    std::fprintf(f, "id,used,img_x,img_y,ref_x,ref_y,ref_z\n");
    std::mt19937 rng(seed);
    for (int i = 0; i < n; ++i) {
        const double u = 4000.0 * Uniform(rng), v = 3000.0 * Uniform(rng), h = 150.0 + 500.0 * Uniform(rng);
        // The ray (U, V, W) = (-(u - x0) / f, -(v - y0) / f, 1) in the camera
        // frame, turned into the ground frame by the transpose of M.
        const double cam[3] = {-(u - p[1]) / p[0], -(v - p[2]) / p[0], 1.0};
        double d[3];
        for (int r = 0; r < 3; ++r) d[r] = m[0][r] * cam[0] + m[1][r] * cam[1] + m[2][r] * cam[2];
        const double t = (h - p[5]) / d[2];
        const double nx = sigma > 0 ? sigma * Normal(rng) : 0.0, ny = sigma > 0 ? sigma * Normal(rng) : 0.0;
        std::fprintf(f, "%d,%d,%.6f,%.6f,%.6f,%.6f,%.6f\n", i + 1, i % 6 == 5 ? 0 : 1, u + nx, v + ny,
                     p[3] + t * d[0], p[4] + t * d[1], h);
    }
    if (std::fclose(f) != 0) return Die(std::string("cannot write ") + path);
    for (int j = 0; j < 9; ++j) std::printf("%.10g ", j < 6 ? p[j] : p[j] / deg);
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return Die("usage: pattern|rawtiff|info|probe|libstats|cameragcps ...");
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
    if (cmd == "cameragcps" && argc == 6)
        return CameraGcps(argv[2], std::atoi(argv[3]), std::atof(argv[4]), unsigned(std::atoi(argv[5])));
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
