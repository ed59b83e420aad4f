#include <tivra/io/XGdalGrid.h>

#include <gdal_priv.h>

#include <array>
#include <utility>

namespace Pelmora::Tivra::IO {

namespace {

/// GDAL data types and the grid types holding them. GDAL's complex types are
/// (real, imaginary) pairs, the layout of the library's complex types.
constexpr std::array<std::pair<GDALDataType, int>, 14> kTypes = {{
    {GDT_Byte, XDT_UINT08},
    {GDT_UInt16, XDT_UINT16},
    {GDT_Int16, XDT_SINT16},
    {GDT_UInt32, XDT_UINT32},
    {GDT_Int32, XDT_SINT32},
    {GDT_UInt64, XDT_UINT64},
    {GDT_Int64, XDT_SINT64},
    {GDT_Float32, XDT_REAL32},
    {GDT_Float64, XDT_REAL64},
    {GDT_CInt16, XDT_SINT16C},
    {GDT_CInt32, XDT_SINT32C},
    {GDT_CFloat32, XDT_REAL32C},
    {GDT_CFloat64, XDT_REAL64C},
#if GDAL_VERSION_NUM >= 3070000
    {GDT_Int8, XDT_SINT08},
#else
    {GDT_Unknown, XDT_NONE},
#endif
}};

/// The window, or the whole band when none is given.
XWindow WholeOr(const XWindow* window, int cols, int rows)
{
    return window ? *window : XWindow{0, 0, cols, rows};
}

/// The extra argument of RasterIO that reports progress to progress.
GDALRasterIOExtraArg ProgressArgument(GDALProgressFunc progress, void* progressData)
{
    GDALRasterIOExtraArg extra;
    INIT_RASTERIO_EXTRA_ARG(extra);
    extra.pfnProgress = progress;
    extra.pProgressData = progressData;
    return extra;
}


} // namespace

int DataTypeFromGdal(int gdalType)
{
    for (const auto& [g, x] : kTypes)
        if (g != GDT_Unknown && g == gdalType) return x;
    return XDT_NONE;
}

int GdalFromDataType(int dataType)
{
    for (const auto& [g, x] : kTypes)
        if (x != XDT_NONE && x == dataType) return g;
    return GDT_Unknown;
}

int BandDataType(GDALRasterBand* band)
{
    const GDALDataType type = band->GetRasterDataType();
    const char* pixelType = band->GetMetadataItem("PIXELTYPE", "IMAGE_STRUCTURE");
    if (type == GDT_Byte && pixelType && EQUAL(pixelType, "SIGNEDBYTE")) return XDT_SINT08;
    return DataTypeFromGdal(type);
}

int GdalBufferType(int dataType)
{
    const int gdalType = GdalFromDataType(dataType);
    return gdalType == GDT_Unknown && dataType == XDT_SINT08 ? GDT_Byte : gdalType;
}

std::string LastGdalError(const std::string& fallback)
{
    const char* text = CPLGetLastErrorMsg();
    return text && *text ? std::string(text) : fallback;
}

bool ApplyGeoTransform(GDALDataset* dataset, XGrid& grid, const XWindow* window)
{
    double t[6];
    if (!dataset || dataset->GetGeoTransform(t) != CE_None || t[2] != 0 || t[4] != 0 || !(t[1] > 0) || !(t[5] < 0))
        return false;
    const XWindow w = WholeOr(window, dataset->GetRasterXSize(), dataset->GetRasterYSize());
    grid.SetGeoOrigin(t[3] + w.yOff * t[5], t[0] + w.xOff * t[1]);
    grid.SetGeoSpacing(-t[5], t[1]);
    return true;
}

bool ReadGrid(GDALRasterBand* band, XGrid& grid, std::string& error, const XWindow* window,
              GDALProgressFunc progress, void* progressData, int asType)
{
    if (!band) {
        error = "no band to read";
        return false;
    }
    const XWindow w = WholeOr(window, band->GetXSize(), band->GetYSize());
    if (!w.Inside(band->GetXSize(), band->GetYSize())) {
        error = "window outside the band";
        return false;
    }
    const int type = asType != XDT_NONE ? asType : BandDataType(band);
    const GDALDataType gdalType = static_cast<GDALDataType>(GdalBufferType(type));
    if (type == XDT_NONE || gdalType == GDT_Unknown) {
        error = std::string("unsupported sample type ") + GDALGetDataTypeName(band->GetRasterDataType());
        return false;
    }
    // The size is checked before any allocation, so a header claiming a
    // huge raster is refused with a message instead of an allocation failure.
    const double bytes = static_cast<double>(w.xSize) * w.ySize * DATASIZE[type];
    if (bytes > kMaxGridBytes) {
        error = std::to_string(w.xSize) + " x " + std::to_string(w.ySize) + " samples of " +
                GDALGetDataTypeName(gdalType) + " exceed the 2 GiB a grid can hold; read it in windows";
        return false;
    }
    if (!grid.AllocExact(w.ySize, w.xSize, type)) {
        error = "out of memory for " + std::to_string(w.xSize) + " x " + std::to_string(w.ySize) + " samples";
        return false;
    }
    GDALRasterIOExtraArg extra = ProgressArgument(progress, progressData);
    CPLErrorReset();
    if (band->RasterIO(GF_Read, w.xOff, w.yOff, w.xSize, w.ySize, grid.GetData(), w.xSize, w.ySize, gdalType, 0, 0,
                       &extra) != CE_None) {
        error = LastGdalError("read failed");
        grid.Free();
        return false;
    }
    ApplyGeoTransform(band->GetDataset(), grid, &w);
    return true;
}

bool WriteGrid(const XGrid& grid, GDALRasterBand* band, std::string& error, int xOff, int yOff,
               GDALProgressFunc progress, void* progressData)
{
    if (!band) {
        error = "no band to write";
        return false;
    }
    const int gdalType = GdalBufferType(grid.GetDataType());
    if (gdalType == GDT_Unknown) {
        error = "GDAL has no sample type for grid type " + std::to_string(grid.GetDataType());
        return false;
    }
    const int cols = grid.GetCSize(), rows = grid.GetRSize();
    if (!XWindow{xOff, yOff, cols, rows}.Inside(band->GetXSize(), band->GetYSize())) {
        error = "grid outside the band";
        return false;
    }
    GDALRasterIOExtraArg extra = ProgressArgument(progress, progressData);
    CPLErrorReset();
    if (band->RasterIO(GF_Write, xOff, yOff, cols, rows, grid.GetData(), cols, rows,
                       static_cast<GDALDataType>(gdalType), 0, 0, &extra) != CE_None) {
        error = LastGdalError("write failed");
        return false;
    }
    return true;
}

} // namespace Pelmora::Tivra::IO
