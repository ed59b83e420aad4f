// tivra demo [OUTDIR]: the program's worked example on the bundled data.
//
// The bundled satellite image is already north up, so the demo first
// distorts a copy with a known rotation and second-order warp, as a scanned
// or oblique image would be, moves the image positions of the bundled
// control points through the same distortion, and rectifies the copy back
// with a second-order fit. Because the distortion is itself a second-order
// polynomial from original to distorted positions, the fit can reproduce it
// exactly, and what remains between the rectified image and the original is
// the cost of resampling twice. It then colourises the two elevation models.
#include "Cli.h"
#include "Commands.h"
#include "Gcps.h"
#include "Progress.h"
#include "Stats.h"
#include "Warp.h"

#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XWarp2D.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#ifndef TIVRA_TOOL_DATA_DIR
#define TIVRA_TOOL_DATA_DIR ""
#endif

namespace Pelmora::Tivra::Tool {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLandsat = "landsat7_rgb_byte.tif";
constexpr const char* kLandsatGcps = "landsat7_rgb_byte.gcps.csv";
constexpr const char* kTujunga = "srtm30m_tujunga_int16.tif";
constexpr const char* kBigSur = "dem10m_bigsur_float32.tif";

// The bundled data: $TIVRA_DATA, the installed share/tivra/data beside the
// program, or the source tree the program was built from.
std::string FindDataDir()
{
    std::vector<fs::path> candidates;
    if (const char* env = std::getenv("TIVRA_DATA")) candidates.emplace_back(env);
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) candidates.push_back(exe.parent_path().parent_path() / "share" / "tivra" / "data");
    candidates.emplace_back(TIVRA_TOOL_DATA_DIR);
    for (const fs::path& dir : candidates)
        if (!dir.empty() && fs::exists(dir / kLandsat, ec)) return dir.string();
    return std::string();
}

// The known distortion, original sample position -> distorted sample
// position: a 10 degree rotation about the image centre plus a shear that
// grows across the image and a stretch that grows down it.
struct Distortion {
    double cx0, cy0;  // centre of the original
    double cxd, cyd;  // centre of the distorted canvas
    double cosA = std::cos(10.0 * M_PI / 180.0), sinA = std::sin(10.0 * M_PI / 180.0);
    static constexpr double kShear = 1.2e-4, kStretch = 1.0e-4;

    void Forward(double x, double y, double& xd, double& yd) const
    {
        const double dx = x - cx0, dy = y - cy0;
        xd = cxd + cosA * dx - sinA * dy + kShear * dx * dy;
        yd = cyd + sinA * dx + cosA * dy + kStretch * dy * dy;
    }

    // Newton's method from the inverse rotation; false when it does not
    // settle (far outside the image, where the polynomial folds over).
    bool Inverse(double xd, double yd, double& x, double& y) const
    {
        const double u = xd - cxd, v = yd - cyd;
        x = cx0 + cosA * u + sinA * v;
        y = cy0 - sinA * u + cosA * v;
        for (int it = 0; it < 20; ++it) {
            double fx, fy;
            Forward(x, y, fx, fy);
            fx -= xd;
            fy -= yd;
            if (std::fabs(fx) < 1e-9 && std::fabs(fy) < 1e-9) return true;
            const double dx = x - cx0, dy = y - cy0;
            const double a = cosA + kShear * dy, b = -sinA + kShear * dx;
            const double c = sinA, d = cosA + 2 * kStretch * dy;
            const double det = a * d - b * c;
            if (std::fabs(det) < 1e-6) return false;
            x -= (d * fx - b * fy) / det;
            y -= (a * fy - c * fx) / det;
        }
        return false;
    }
};

bool Save(const fs::path& path, const Raster& raster, std::vector<std::string>& written, std::string& error)
{
    if (!WriteRaster(path.string(), raster, WriteOptions(), error)) return false;
    written.push_back(path.string());
    return true;
}

} // namespace

int RunDemo(int argc, char** argv)
{
    if (argc > 1) return UsageError("demo", "one output folder at most");
    if (argc == 1 && argv[0][0] == '-') return UsageError("demo", std::string("unknown option ") + argv[0]);
    const fs::path outDir = argc == 1 ? fs::path(argv[0]) : fs::path("tivra-demo");
    const std::string dataDir = FindDataDir();
    if (dataDir.empty())
        return Fail("cannot find the bundled data (set TIVRA_DATA to the folder holding " + std::string(kLandsat) +
                    ")");
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec) return Fail("cannot create " + outDir.string() + ": " + ec.message());
    const fs::path data(dataDir);
    std::vector<std::string> written;
    std::string error;

    std::printf("tivra demo: data from %s\n\n", dataDir.c_str());

    // 1. The satellite image and its control points.
    Raster original;
    std::vector<tagXGCP> gcps;
    if (!ReadRaster((data / kLandsat).string(), original, error)) return Fail(error);
    if (!ReadGcps((data / kLandsatGcps).string(), gcps, error)) return Fail(error);
    std::printf("1. Rectification from control points\n");
    std::printf("   %s: %d x %d, %d bands %s, pixel %.3f x %.3f m, %s, %zu control points\n", kLandsat,
                original.Cols(), original.Rows(), original.BandCount(), SampleTypeName(original.DataType()),
                original.colSpacing, original.rowSpacing, original.CrsName().c_str(), gcps.size());

    // 2. Distort a copy: every distorted pixel looks up its original position.
    Distortion dist;
    dist.cx0 = (original.Cols() - 1) / 2.0;
    dist.cy0 = (original.Rows() - 1) / 2.0;
    const int dCols = 960, dRows = 900;
    dist.cxd = (dCols - 1) / 2.0;
    dist.cyd = (dRows - 1) / 2.0;
    std::vector<XVertex2<double>> lookup(static_cast<size_t>(dCols) * dRows);
    for (int r = 0; r < dRows; ++r)
        for (int c = 0; c < dCols; ++c) {
            double x, y;
            if (!dist.Inverse(c, r, x, y)) x = y = NAN_REAL64;
            lookup[static_cast<size_t>(r) * dCols + c] = XVertex2<double>(x, y);
        }
    MT::XCoordMap map;
    map.m_pData = lookup.data();
    map.m_nRows = dRows;
    map.m_nCols = dCols;
    Raster distorted;
    distorted.bands.resize(original.bands.size());
    MT::XResamplePixels resampler;
    resampler.SetRounding(true);
    for (size_t b = 0; b < original.bands.size(); ++b) {
        distorted.bands[b].AllocExact(dRows, dCols, original.DataType());
        resampler.ResampleByCoordMap(&original.bands[b], &distorted.bands[b], &map, XINTERP_BILINEAR, 0.0);
    }
    std::vector<tagXGCP> distortedGcps = gcps;
    for (tagXGCP& p : distortedGcps) {
        double xd, yd;
        dist.Forward(p.imgCoord.x - 0.5, p.imgCoord.y - 0.5, xd, yd);
        p.imgCoord = XVertex2<double>(xd + 0.5, yd + 0.5);
    }
    if (!Save(outDir / "original.png", original, written, error) ||
        !Save(outDir / "distorted.png", distorted, written, error))
        return Fail(error);
    if (!WriteGcps((outDir / "distorted.gcps.csv").string(), distortedGcps, error)) return Fail(error);
    written.push_back((outDir / "distorted.gcps.csv").string());
    std::printf("   distorted a copy: rotation 10 deg, shear 1.2e-4, stretch 1.0e-4 (second order) onto %d x %d\n",
                dCols, dRows);

    // How far a first-order fit is from the distortion, for comparison.
    {
        std::vector<XVertex2<double>> src, dst;
        for (const tagXGCP& p : distortedGcps) {
            src.emplace_back(p.refCoord.x, p.refCoord.y);
            dst.emplace_back(p.imgCoord.x, p.imgCoord.y);
        }
        MT::XWarp2D affine;
        double rx = 0, ry = 0;
        if (affine.Fit(XWARP_AFFINE, static_cast<int>(src.size()), src.data(), dst.data(), nullptr, 1, 1))
            MT::XWarp2D::CalcRms(affine, static_cast<int>(src.size()), src.data(), dst.data(), nullptr, rx, ry);
        std::printf("   an affine fit to the moved points would leave RMS x %.2f px, y %.2f px\n", rx, ry);
    }

    // 3. Rectify the copy back onto the original's grid.
    WarpOptions options;
    options.method = XWARP_SECONDORDER;
    options.hasExtent = true;
    options.xmin = original.left;
    options.xmax = original.left + original.Cols() * original.colSpacing;
    options.ymax = original.top;
    options.ymin = original.top - original.Rows() * original.rowSpacing;
    options.width = original.Cols();
    options.height = original.Rows();
    distorted.crs = original.crs;
    Raster rectified;
    WarpResult result;
    ProgressBar bar("rectifying");
    if (!WarpRaster(distorted, distortedGcps, options, rectified, result, error, bar.All())) return Fail(error);
    bar.Finish();
    if (!Save(outDir / "rectified.tif", rectified, written, error) ||
        !Save(outDir / "rectified.png", rectified, written, error))
        return Fail(error);
    double worst = 0;
    for (const PointResidual& r : result.residuals) worst = std::max(worst, std::hypot(r.dx, r.dy));
    std::printf("   second-order fit: %d points, RMS x %.2e px, y %.2e px, largest %.2e px\n", result.used,
                result.rmsX, result.rmsY, worst);

    // 4. Compare inside the valid area: original pixels whose 3 x 3
    // neighbourhood is all inside the footprint (not black in every band),
    // so that edges blended with the black surround do not count.
    const int rows = original.Rows(), cols = original.Cols(), nb = static_cast<int>(original.bands.size());
    auto blank = [&](const Raster& r, int y, int x) {
        for (int b = 0; b < nb; ++b)
            if (r.bands[b].GetData()[static_cast<size_t>(y) * cols + x] != 0) return false;
        return true;
    };
    uint64_t compared = 0, footprint = 0;
    double sumAbs[3] = {}, maxAbs = 0;
    for (int y = 1; y + 1 < rows; ++y)
        for (int x = 1; x + 1 < cols; ++x) {
            if (!blank(original, y, x)) ++footprint;
            bool inside = true;
            for (int j = -1; j <= 1 && inside; ++j)
                for (int i = -1; i <= 1 && inside; ++i) inside = !blank(original, y + j, x + i);
            if (!inside || blank(rectified, y, x)) continue;
            ++compared;
            for (int b = 0; b < nb; ++b) {
                const size_t at = static_cast<size_t>(y) * cols + x;
                const double d = std::fabs(double(original.bands[b].GetData()[at]) - rectified.bands[b].GetData()[at]);
                sumAbs[b] += d;
                maxAbs = std::max(maxAbs, d);
            }
        }
    if (compared == 0) return Fail("the rectified image has no valid pixels");
    std::printf("   rectified vs original: %llu pixels compared (%.1f %% of the footprint)\n",
                static_cast<unsigned long long>(compared), 100.0 * compared / std::max<uint64_t>(footprint, 1));
    std::printf("   mean absolute difference R %.2f, G %.2f, B %.2f (of 255), largest %.0f\n", sumAbs[0] / compared,
                sumAbs[1] / compared, sumAbs[2] / compared, maxAbs);
    std::printf("   result time: fit %.3f s, resample %.3f s\n\n", result.fitSeconds, result.resampleSeconds);

    // 5. The elevation models: statistics and a colour rendering.
    std::printf("2. Elevation models\n");
    struct Dem {
        const char* file;
        const char* out;
        _XCOLORTABLE palette;
    } dems[] = {{kTujunga, "tujunga_elevation.png", XCT_ELEVATION}, {kBigSur, "bigsur_elevation.png", XCT_ELEVATION}};
    for (const Dem& d : dems) {
        Raster dem;
        if (!ReadRaster((data / d.file).string(), dem, error)) return Fail(error);
        BandStats stats;
        if (!ComputeBandStats(dem.bands[0], dem.NoData(0).value_or(NAN_REAL64), stats))
            return Fail(std::string(d.file) + ": no valid samples");
        Raster rgb;
        if (!Colorize(dem, d.palette, stats.stretchLow, stats.stretchHigh, rgb, error) ||
            !Save(outDir / d.out, rgb, written, error))
            return Fail(error);
        std::printf("   %s: %d x %d %s, pixel %.0f m, %s\n", d.file, dem.Cols(), dem.Rows(),
                    SampleTypeName(dem.DataType()), dem.colSpacing, dem.CrsName().c_str());
        PrintBandStats(stats, false, "     ");
        std::printf("   -> %s, palette %s, stretch %.1f to %.1f m\n", d.out,
                    static_cast<const char*>(Xfn::GetPaletteName(d.palette)), stats.stretchLow, stats.stretchHigh);
    }

    std::printf("\nwrote into %s:\n", outDir.string().c_str());
    for (const std::string& f : written) std::printf("   %s\n", f.c_str());
    // The command gives the same grid, reference system and method as step 3,
    // so its output equals rectified.tif sample for sample.
    const std::string crs = original.CrsName();
    std::printf("\nto repeat the rectification by hand (the result equals rectified.tif):\n"
                "   tivra warp %s/distorted.png rectified2.tif --gcps %s/distorted.gcps.csv --method second \\\n"
                "       --extent %s,%s,%s,%s --size %dx%d%s%s\n",
                outDir.string().c_str(), outDir.string().c_str(), FormatNumber(options.xmin).c_str(),
                FormatNumber(options.ymin).c_str(), FormatNumber(options.xmax).c_str(),
                FormatNumber(options.ymax).c_str(), options.width, options.height, crs.empty() ? "" : " --a-srs ",
                crs.c_str());
    return 0;
}

} // namespace Pelmora::Tivra::Tool
