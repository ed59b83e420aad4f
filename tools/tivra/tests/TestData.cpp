// tivra_test_data: makes inputs for the tivra program's end-to-end tests and
// reads results back through GDAL directly, independently of the program's
// own code.
//
//   pattern OUT COLS ROWS TYPE [BANDS [OPTION=VALUE...]]
//                                    a GeoTIFF (creation options after the
//                                    band count, e.g. TILED=YES) with
//                                    v(b, c, r) = 100 + 3c + 2r + 10b, or
//                                    (7c + 3r + 40b) mod 251 for Byte;
//                                    upper left (0, 0), pixels of 1, EPSG:32611
//   spike OUT N VALUE                an N x N Float32 raster of zeros with VALUE
//                                    (a number or nan) at the centre
//   dem OUT                          a 60 x 50 Int16 ramp 500 + c + r with a
//                                    6 x 6 hole of -9999, its no-data value
//   info FILE                        cols rows bands type left top dx dy epsg
//   nodata FILE                      each band's no-data value, or "none"
//   probe FILE ROW COL               the band values and the pixel centre X Y
//   libstats FILE                    Xfn::GetStatistics of every band
//   diff A B                         samples differing, samples compared, the
//                                    largest difference, and the samples differing
//                                    where neither is A's no-data value (exit 2
//                                    if the shapes differ)
//   cameragcps OUT.csv N SIGMA SEED  N control points of a known aerial frame
//                                    camera, image noise SIGMA px; prints
//                                    the camera's nine parameters
#include <tivra/grid/XGrid.h>
#include <tivra/grid/XStatistics.h>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

int Die(const std::string& message)
{
    std::fprintf(stderr, "tivra_test_data: %s\n", message.c_str());
    return 1;
}

using Dataset = std::unique_ptr<GDALDataset, void (*)(GDALDataset*)>;

void Close(GDALDataset* d)
{
    if (d) GDALClose(d);
}

Dataset Open(const char* path)
{
    Dataset d(GDALDataset::Open(path, GDAL_OF_RASTER | GDAL_OF_READONLY), Close);
    if (!d) Die(std::string("cannot open ") + path + ": " + CPLGetLastErrorMsg());
    return d;
}

/// One band as doubles, row after row.
std::vector<double> Samples(GDALDataset& d, int band)
{
    const int cols = d.GetRasterXSize(), rows = d.GetRasterYSize();
    std::vector<double> v(static_cast<size_t>(cols) * rows);
    if (d.GetRasterBand(band)->RasterIO(GF_Read, 0, 0, cols, rows, v.data(), cols, rows, GDT_Float64, 0, 0) != CE_None)
        v.clear();
    return v;
}

const char* TypeName(GDALDataType t) { return t == GDT_Byte ? "UInt8" : GDALGetDataTypeName(t); }

int Pattern(int argc, char** argv)
{
    const int cols = std::atoi(argv[3]), rows = std::atoi(argv[4]);
    const std::string typeName = std::string(argv[5]) == "UInt8" ? "Byte" : argv[5];
    const GDALDataType type = GDALGetDataTypeByName(typeName.c_str());
    const int bands = argc > 6 ? std::atoi(argv[6]) : 1;
    CPLStringList options;
    for (int i = 7; i < argc; ++i) options.AddString(argv[i]);
    GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    Dataset d(gtiff->Create(argv[2], cols, rows, bands, type, options.List()), Close);
    if (!d) return Die(std::string("cannot create ") + argv[2] + ": " + CPLGetLastErrorMsg());
    double t[6] = {0, 1, 0, 0, 0, -1};
    d->SetGeoTransform(t);
    OGRSpatialReference srs;
    srs.importFromEPSG(32611);
    d->SetSpatialRef(&srs);
    std::vector<double> v(static_cast<size_t>(cols) * rows);
    for (int b = 0; b < bands; ++b) {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                v[static_cast<size_t>(r) * cols + c] =
                    type == GDT_Byte ? double((7 * c + 3 * r + 40 * b) % 251) : 100.0 + 3.0 * c + 2.0 * r + 10.0 * b;
        if (d->GetRasterBand(b + 1)->RasterIO(GF_Write, 0, 0, cols, rows, v.data(), cols, rows, GDT_Float64, 0, 0) !=
            CE_None)
            return Die(CPLGetLastErrorMsg());
    }
    return 0;
}

/// A GeoTIFF of the given samples: upper left (0, 0), pixels of 1, EPSG:32611.
int Write(const char* path, int cols, int rows, GDALDataType type, const std::vector<double>& v, const double* noData)
{
    GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    Dataset d(gtiff->Create(path, cols, rows, 1, type, nullptr), Close);
    if (!d) return Die(std::string("cannot create ") + path + ": " + CPLGetLastErrorMsg());
    double t[6] = {0, 1, 0, 0, 0, -1};
    d->SetGeoTransform(t);
    OGRSpatialReference srs;
    srs.importFromEPSG(32611);
    d->SetSpatialRef(&srs);
    if (noData) d->GetRasterBand(1)->SetNoDataValue(*noData);
    std::vector<double> copy = v;
    if (d->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, cols, rows, copy.data(), cols, rows, GDT_Float64, 0, 0) != CE_None)
        return Die(CPLGetLastErrorMsg());
    return 0;
}

int Diff(const char* a, const char* b)
{
    Dataset da = Open(a), db = Open(b);
    if (!da || !db) return 1;
    if (da->GetRasterXSize() != db->GetRasterXSize() || da->GetRasterYSize() != db->GetRasterYSize() ||
        da->GetRasterCount() != db->GetRasterCount()) {
        std::printf("shapes differ\n");
        return 2;
    }
    unsigned long long differing = 0, compared = 0, differingValid = 0;
    double largest = 0;
    for (int band = 1; band <= da->GetRasterCount(); ++band) {
        const std::vector<double> x = Samples(*da, band), y = Samples(*db, band);
        int has = 0;
        const double noData = da->GetRasterBand(band)->GetNoDataValue(&has);
        for (size_t i = 0; i < x.size(); ++i) {
            ++compared;
            // Bit-equal samples, and NaN against NaN, are the same.
            if (x[i] == y[i] || (std::isnan(x[i]) && std::isnan(y[i]))) continue;
            ++differing;
            largest = std::max(largest, std::fabs(x[i] - y[i]));
            if (!has || (x[i] != noData && y[i] != noData)) ++differingValid;
        }
    }
    std::printf("%llu %llu %.9g %llu\n", differing, compared, largest, differingValid);
    return 0;
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
    GDALAllRegister();
    CPLSetErrorHandler(CPLQuietErrorHandler);
    if (argc < 3) return Die("usage: pattern|info|nodata|probe|libstats|diff|cameragcps ...");
    const std::string cmd = argv[1];
    if (cmd == "pattern" && argc >= 6) return Pattern(argc, argv);
    if (cmd == "diff" && argc == 4) return Diff(argv[2], argv[3]);
    if (cmd == "spike" && argc == 5) {
        const int n = std::atoi(argv[3]);
        std::vector<double> v(static_cast<size_t>(n) * n, 0.0);
        v[static_cast<size_t>(n / 2) * n + n / 2] = std::string(argv[4]) == "nan" ? std::nan("") : std::atof(argv[4]);
        return Write(argv[2], n, n, GDT_Float32, v, nullptr);
    }
    if (cmd == "dem" && argc == 3) {
        const int cols = 60, rows = 50;
        const double hole = -9999;
        std::vector<double> v(static_cast<size_t>(cols) * rows);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                v[static_cast<size_t>(r) * cols + c] = r >= 20 && r < 26 && c >= 30 && c < 36 ? hole : 500 + c + r;
        return Write(argv[2], cols, rows, GDT_Int16, v, &hole);
    }
    if (cmd == "cameragcps" && argc == 6)
        return CameraGcps(argv[2], std::atoi(argv[3]), std::atof(argv[4]), unsigned(std::atoi(argv[5])));
    Dataset d = Open(argv[2]);
    if (!d) return 1;
    const int cols = d->GetRasterXSize(), rows = d->GetRasterYSize(), bands = d->GetRasterCount();
    double t[6] = {0, 1, 0, 0, 0, 1};
    d->GetGeoTransform(t);
    if (cmd == "info") {
        int epsg = 0;
        if (const OGRSpatialReference* srs = d->GetSpatialRef()) {
            OGRSpatialReference copy(*srs);
            copy.AutoIdentifyEPSG();
            const char* code = copy.GetAuthorityCode(nullptr);
            epsg = code ? std::atoi(code) : 0;
        }
        std::printf("%d %d %d %s %.6f %.6f %.6f %.6f %d\n", cols, rows, bands,
                    TypeName(d->GetRasterBand(1)->GetRasterDataType()), t[0], t[3], t[1], -t[5], epsg);
        return 0;
    }
    if (cmd == "nodata") {
        for (int b = 1; b <= bands; ++b) {
            int has = 0;
            const double v = d->GetRasterBand(b)->GetNoDataValue(&has);
            if (has) std::printf("%.17g%s", v, b < bands ? " " : "\n");
            else std::printf("none%s", b < bands ? " " : "\n");
        }
        return 0;
    }
    if (cmd == "probe" && argc == 5) {
        const int row = std::atoi(argv[3]), col = std::atoi(argv[4]);
        if (row < 0 || col < 0 || row >= rows || col >= cols) return Die("outside the raster");
        for (int b = 1; b <= bands; ++b) {
            double v = 0;
            if (d->GetRasterBand(b)->RasterIO(GF_Read, col, row, 1, 1, &v, 1, 1, GDT_Float64, 0, 0) != CE_None)
                return Die(CPLGetLastErrorMsg());
            std::printf("%.9g ", v);
        }
        std::printf("%.9f %.9f\n", t[0] + (col + 0.5) * t[1], t[3] + (row + 0.5) * t[5]);
        return 0;
    }
    if (cmd == "libstats") {
        for (int b = 1; b <= bands; ++b) {
            std::vector<double> v = Samples(*d, b);
            XGrid grid(v.data(), rows, cols, XDT_REAL64, false);
            int has = 0;
            const double noData = d->GetRasterBand(b)->GetNoDataValue(&has);
            uint64_t n = 0;
            double mn, mx, mean, sd;
            Xfn::GetStatistics(grid, 1, 0, 1, 0, has ? noData : NAN_REAL64, n, mn, mx, mean, sd);
            std::printf("band %d count %llu min %.17g max %.17g mean %.17g std %.17g\n", b,
                        static_cast<unsigned long long>(n), mn, mx, mean, sd);
        }
        return 0;
    }
    return Die("unknown command or wrong arguments: " + cmd);
}
