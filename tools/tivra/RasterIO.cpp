#include "RasterIO.h"

#include "AtomicFile.h"
#include "Progress.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace Pelmora::Tivra::Tool {

namespace {

/// Registers the drivers once and keeps GDAL's own messages off standard
/// error: each failure reaches the user once, as the program's one line with
/// GDAL's message in it.
void InitGdal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        CPLSetErrorHandler(CPLQuietErrorHandler);
        // A truncated or corrupt JPEG is an error, not a warning with grey
        // blocks in the image.
        CPLSetConfigOption("GDAL_ERROR_ON_LIBJPEG_WARNING", "TRUE");
    });
}

void CloseDataset(GDALDataset* dataset)
{
    if (dataset) GDALClose(dataset);
}

int CPL_STDCALL OnGdalProgress(double fraction, const char*, void* data)
{
    static_cast<const ProgressSpan*>(data)->Update(fraction);
    return TRUE;
}

std::string Lower(std::string s)
{
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

std::string Extension(const std::string& name)
{
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return Lower(name.substr(dot + 1));
}

/// Largest magnitude below which every integer is a double: 2^53.
constexpr double kExactIntegers = 9007199254740992.0;

/// Largest ratio of decoded sample bytes to file bytes that a PNG or JPEG
/// file can reach: deflate expands at most 1032-fold, and a JPEG spends at
/// least 2 bits on each 8 x 8 block of each component (1024-fold after
/// chroma subsampling). A header claiming more than twice that is not a
/// raster the file holds, and is refused before any memory is asked for.
constexpr double kMaxExpansion = 2048;

/// False with a message when the header claims more samples than the file
/// can hold (PNG and JPEG, which code every sample in the one file).
bool PlausibleSize(GDALDataset& ds, const Raster& h, const std::string& path, std::string& error)
{
    const std::string driver = ds.GetDriver() ? ds.GetDriver()->GetDescription() : "";
    if (driver != "PNG" && driver != "JPEG") return true;
    VSIStatBufL st;
    if (VSIStatL(path.c_str(), &st) != 0) return true;
    const double decoded = static_cast<double>(h.width) * h.height * h.bandCount * DATASIZE[h.dataType];
    if (decoded <= kMaxExpansion * static_cast<double>(st.st_size)) return true;
    error = path + ": the header claims " + std::to_string(h.width) + " x " + std::to_string(h.height) + " x " +
            std::to_string(h.bandCount) + " samples, more than a " + driver + " file of " +
            std::to_string(static_cast<long long>(st.st_size)) + " bytes can hold";
    return false;
}

bool CanWrite(GDALDriver* driver)
{
    return driver->GetMetadataItem(GDAL_DCAP_RASTER) &&
           (driver->GetMetadataItem(GDAL_DCAP_CREATECOPY) || driver->GetMetadataItem(GDAL_DCAP_CREATE));
}

/// The driver named by --of, else the first raster driver able to write that
/// lists the name's extension (drivers are registered in GDAL's order of
/// preference, so .tif gives GTiff, not COG).
GDALDriver* FindDriver(const std::string& path, const WriteOptions& options, std::string& error)
{
    InitGdal();
    GDALDriverManager* manager = GetGDALDriverManager();
    if (!options.format.empty()) {
        GDALDriver* driver = manager->GetDriverByName(options.format.c_str());
        if (!driver || !driver->GetMetadataItem(GDAL_DCAP_RASTER)) {
            error = "unknown output format '" + options.format + "' (see gdalinfo --formats)";
            return nullptr;
        }
        if (!CanWrite(driver)) {
            error = "GDAL cannot write the format " + options.format;
            return nullptr;
        }
        return driver;
    }
    const std::string ext = Extension(path);
    if (!ext.empty())
        for (int i = 0; i < manager->GetDriverCount(); ++i) {
            GDALDriver* driver = manager->GetDriver(i);
            const char* list = driver->GetMetadataItem(GDAL_DMD_EXTENSIONS);
            if (!list || !CanWrite(driver)) continue;
            std::istringstream words(list);
            for (std::string word; words >> word;)
                if (Lower(word) == ext) return driver;
        }
    error = path + ": unsupported output format (no writable format has the extension '" + ext +
            "'; name one with --of)";
    return nullptr;
}

/// A MEM dataset over the raster's own sample blocks (no copy), carrying
/// the geo-reference, reference system and no-data values.
GDALDataset* WrapInMemory(const Raster& raster, std::string& error)
{
    GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
    GDALDataset* ds = mem ? mem->Create("", raster.Cols(), raster.Rows(), 0, GDT_Byte, nullptr) : nullptr;
    if (!ds) {
        error = IO::LastGdalError("cannot create an in-memory dataset");
        return nullptr;
    }
    const int gdalType = IO::GdalBufferType(raster.DataType());
    // Where GDAL has no Int8 type, signed bytes go as bytes marked signed,
    // which the GeoTIFF writer keeps.
    const bool signedBytes = raster.DataType() == XDT_SINT08 && IO::GdalFromDataType(XDT_SINT08) == GDT_Unknown;
    for (size_t b = 0; b < raster.bands.size(); ++b) {
        char pointer[64];
        std::snprintf(pointer, sizeof pointer, "DATAPOINTER=%p", static_cast<void*>(raster.bands[b].GetData()));
        char* options[] = {pointer, nullptr};
        if (gdalType == GDT_Unknown || ds->AddBand(static_cast<GDALDataType>(gdalType), options) != CE_None) {
            error = IO::LastGdalError(std::string("GDAL has no sample type for ") + SampleTypeName(raster.DataType()));
            GDALClose(ds);
            return nullptr;
        }
        GDALRasterBand* band = ds->GetRasterBand(static_cast<int>(b) + 1);
        if (signedBytes) band->SetMetadataItem("PIXELTYPE", "SIGNEDBYTE", "IMAGE_STRUCTURE");
        if (const auto v = raster.NoData(static_cast<int>(b))) band->SetNoDataValue(*v);
    }
    if (raster.hasGeo) {
        double t[6] = {raster.left, raster.colSpacing, 0, raster.top, 0, -raster.rowSpacing};
        ds->SetGeoTransform(t);
    } else if (raster.rotated) {
        double t[6];
        std::copy(raster.rotated->begin(), raster.rotated->end(), t);
        ds->SetGeoTransform(t);
    }
    if (!raster.crs.empty()) {
        OGRSpatialReference srs;
        if (srs.importFromWkt(raster.crs.c_str()) == OGRERR_NONE) ds->SetSpatialRef(&srs);
    }
    return ds;
}

} // namespace

void ProgressSpan::Update(double fraction) const
{
    if (bar) bar->Update(base + span * fraction);
}

std::string Raster::CrsName() const
{
    if (crs.empty()) return std::string();
    OGRSpatialReference srs;
    if (srs.importFromWkt(crs.c_str()) != OGRERR_NONE) return "unknown system";
    srs.AutoIdentifyEPSG();
    const char* key = srs.IsProjected() ? "PROJCS" : srs.IsGeographic() ? "GEOGCS" : nullptr;
    const char* authority = srs.GetAuthorityName(key);
    const char* code = srs.GetAuthorityCode(key);
    if (authority && code) return std::string(authority) + ":" + code;
    const char* name = srs.GetName();
    return name ? name : "unnamed system";
}

void Raster::ApplyGeo()
{
    for (XGrid& band : bands) {
        band.SetGeoOrigin(top, left);
        band.SetGeoSpacing(rowSpacing, colSpacing);
    }
}

RasterReader::RasterReader() : m_dataset(nullptr, CloseDataset) {}

RasterReader::~RasterReader() = default;

bool RasterReader::Open(const std::string& path, std::string& error)
{
    InitGdal();
    m_path = path;
    CPLErrorReset();
    m_dataset.reset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
    if (!m_dataset) {
        std::string reason = IO::LastGdalError("not a raster GDAL reads");
        // GDAL often starts with the name the line already gives.
        if (reason.compare(0, path.size() + 2, path + ": ") == 0) reason.erase(0, path.size() + 2);
        error = "cannot open " + path + ": " + reason;
        return false;
    }
    GDALDataset& ds = *m_dataset;
    Raster& h = m_header;
    h = Raster();
    h.width = ds.GetRasterXSize();
    h.height = ds.GetRasterYSize();
    h.bandCount = ds.GetRasterCount();
    if (h.bandCount < 1) {
        error = path + ": no raster bands";
        return false;
    }
    const int fileType = IO::BandDataType(ds.GetRasterBand(1));
    if (fileType == XDT_NONE) {
        error = path + ": unsupported sample type " + GDALGetDataTypeName(ds.GetRasterBand(1)->GetRasterDataType());
        return false;
    }
    for (int b = 1; b <= h.bandCount; ++b) {
        GDALRasterBand* band = ds.GetRasterBand(b);
        if (IO::BandDataType(band) != fileType) {
            error = path + ": bands of different sample types (" + SampleTypeName(fileType) + ", " +
                    SampleTypeName(IO::BandDataType(band)) + ")";
            return false;
        }
        int has = FALSE;
        const double v = band->GetNoDataValue(&has);
        h.noData.push_back(has ? std::optional<double>(v) : std::nullopt);
    }
    const bool wide = fileType == XDT_SINT64 || fileType == XDT_UINT64;
    m_readType = wide ? XDT_REAL64 : fileType;
    h.dataType = m_readType;
    if (wide)
        std::fprintf(stderr, "tivra: note: %s holds %s samples, read as Float64 (exact up to 2^53 = %.0f in magnitude)\n",
                     path.c_str(), SampleTypeName(fileType), kExactIntegers);
    if (!PlausibleSize(ds, h, path, error)) return false;
    XGrid probe;
    double t[6];
    if (IO::ApplyGeoTransform(&ds, probe)) {
        h.hasGeo = true;
        h.top = probe.GetGeoTop();
        h.left = probe.GetGeoLeft();
        h.rowSpacing = probe.GetRowSpacing();
        h.colSpacing = probe.GetColSpacing();
    } else if (ds.GetGeoTransform(t) == CE_None) {
        h.rotated = std::array<double, 6>{t[0], t[1], t[2], t[3], t[4], t[5]};
    }
    if (const OGRSpatialReference* srs = ds.GetSpatialRef()) {
        char* wkt = nullptr;
        const char* options[] = {"FORMAT=WKT2", nullptr};
        if (srs->exportToWkt(&wkt, options) == OGRERR_NONE && wkt) h.crs = wkt;
        CPLFree(wkt);
    }
    return true;
}

bool RasterReader::Read(Raster& raster, std::string& error, const IO::XWindow* window,
                        const ProgressSpan& progress) const
{
    raster = m_header;
    const IO::XWindow w = window ? *window : IO::XWindow{0, 0, m_header.width, m_header.height};
    raster.width = w.xSize;
    raster.height = w.ySize;
    raster.left += w.xOff * raster.colSpacing;
    raster.top -= w.yOff * raster.rowSpacing;
    if (auto& t = raster.rotated) {
        (*t)[0] += w.xOff * (*t)[1] + w.yOff * (*t)[2];
        (*t)[3] += w.xOff * (*t)[4] + w.yOff * (*t)[5];
    }
    // Every band is held at once, so their total is checked before the
    // first is read: a small sparse file can claim gigabytes in each band.
    const double bytes = static_cast<double>(w.xSize) * w.ySize * DATASIZE[m_readType] * m_header.bandCount;
    const double memory = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGE_SIZE));
    if (memory > 0 && bytes > memory) {
        char text[160];
        std::snprintf(text, sizeof text, "%d band(s) of %d x %d %s samples take %.3g GB, more than the %.3g GB of memory",
                      m_header.bandCount, w.xSize, w.ySize, SampleTypeName(m_readType), bytes / 1e9, memory / 1e9);
        error = "cannot read " + m_path + ": " + text + "; read a window of it";
        return false;
    }
    raster.bands.resize(m_header.bandCount);
    for (int b = 0; b < m_header.bandCount; ++b) {
        ProgressSpan part = progress.Part(static_cast<double>(b) / m_header.bandCount,
                                          static_cast<double>(b + 1) / m_header.bandCount);
        if (!IO::ReadGrid(m_dataset->GetRasterBand(b + 1), raster.bands[b], error, &w, OnGdalProgress, &part,
                          m_readType)) {
            error = "cannot read " + m_path + ": " + error;
            raster.bands.clear();
            return false;
        }
    }
    raster.ApplyGeo();
    return true;
}

bool ReadRaster(const std::string& path, Raster& raster, std::string& error, const ProgressSpan& progress)
{
    RasterReader reader;
    return reader.Open(path, error) && reader.Read(raster, error, nullptr, progress);
}

bool CheckOutput(const std::string& path, const WriteOptions& options, int dataType, std::string& error)
{
    GDALDriver* driver = FindDriver(path, options, error);
    if (!driver || !AtomicFile::CheckTarget(path, error)) return false;
    // A virtual raster holds references to other datasets, here the
    // in-memory one that is gone when the program ends: it would hold no
    // samples.
    if (std::string(driver->GetDescription()) == "VRT") {
        error = path + ": the VRT format refers to other rasters instead of holding samples; write GTiff and "
                       "make a VRT of it with gdalbuildvrt";
        return false;
    }
    if (dataType == XDT_NONE) return true;
    const int gdalType = IO::GdalBufferType(dataType);
    const char* types = driver->GetMetadataItem(GDAL_DMD_CREATIONDATATYPES);
    bool held = gdalType != GDT_Unknown;
    if (held && types) {
        held = false;
        std::istringstream words(types);
        for (std::string word; words >> word;) held = held || word == GDALGetDataTypeName(static_cast<GDALDataType>(gdalType));
    }
    if (!held) {
        error = path + ": the " + driver->GetDescription() + " format cannot hold " + SampleTypeName(dataType) +
                " samples" + (types ? std::string(" (it holds ") + types + ")" : std::string());
        return false;
    }
    return true;
}

bool WriteRaster(const std::string& path, const Raster& raster, const WriteOptions& options, std::string& error,
                 const ProgressSpan& progress)
{
    if (!CheckOutput(path, options, raster.DataType(), error)) return false;
    GDALDriver* driver = FindDriver(path, options, error);
    std::unique_ptr<GDALDataset, void (*)(GDALDataset*)> memory(WrapInMemory(raster, error), CloseDataset);
    if (!memory) return false;
    CPLStringList creation;
    for (const std::string& o : options.creationOptions) creation.AddString(o.c_str());
    AtomicFile file(path);
    CPLErrorReset();
    errno = 0;
    ProgressSpan span = progress;
    std::unique_ptr<GDALDataset, void (*)(GDALDataset*)> out(
        driver->CreateCopy(file.TempPath().c_str(), memory.get(), FALSE, creation.List(), OnGdalProgress, &span),
        CloseDataset);
    bool ok = out != nullptr;
    if (ok) {
        // Every file of the output must be in the temporary's family, or it
        // could not be renamed with it.
        char** files = out->GetFileList();
        for (char** f = files; f && *f; ++f)
            if (!file.Owns(*f)) {
                error = path + ": the " + driver->GetDescription() + " format also writes " + *f +
                        ", which cannot be put in place with the output; choose another format";
                CSLDestroy(files);
                return false;
            }
        CSLDestroy(files);
        // Closing writes what is still buffered, so its errors count too.
        CPLErrorReset();
        out.reset();
        ok = CPLGetLastErrorType() != CE_Failure && CPLGetLastErrorType() != CE_Fatal;
    }
    if (!ok) {
        const int cause = errno;
        error = "cannot create " + path + ": " + IO::LastGdalError("GDAL gave no reason");
        // GDAL's message names what it was doing; a full disk or the
        // file-size limit is the reason behind it.
        if (cause == EFBIG || cause == ENOSPC || cause == EDQUOT) error += " (" + std::string(std::strerror(cause)) + ")";
        // Name the file the user asked for, not the temporary.
        for (size_t at; (at = error.find(file.TempPath())) != std::string::npos;)
            error.replace(at, file.TempPath().size(), path);
        return false;
    }
    return file.Commit(error);
}

const char* SampleTypeName(int dataType)
{
    switch (dataType) {
    case XDT_UINT08: return "UInt8";
    case XDT_SINT08: return "Int8";
    case XDT_UINT16: return "UInt16";
    case XDT_SINT16: return "Int16";
    case XDT_UINT32: return "UInt32";
    case XDT_SINT32: return "Int32";
    case XDT_UINT64: return "UInt64";
    case XDT_SINT64: return "Int64";
    case XDT_REAL32: return "Float32";
    case XDT_REAL64: return "Float64";
    case XDT_SINT16C: return "CInt16";
    case XDT_SINT32C: return "CInt32";
    case XDT_REAL32C: return "CFloat32";
    case XDT_REAL64C: return "CFloat64";
    default: return "unknown";
    }
}

std::string GdalVersion() { return std::string("GDAL ") + GDALVersionInfo("RELEASE_NAME"); }

} // namespace Pelmora::Tivra::Tool
