// Grids through GDAL: one band of a GDAL dataset, or a window of it, read
// into an XGrid and an XGrid written into a band. Part of the optional
// module Tivra::io, built when GDAL is found.
#pragma once

#include <tivra/grid/XGrid.h>

#include <cpl_progress.h>

#include <cstdint>
#include <string>

class GDALDataset;
class GDALRasterBand;

namespace Pelmora::Tivra::IO {

/// A rectangle of a band in pixels: columns xOff..xOff+xSize-1, rows
/// yOff..yOff+ySize-1.
struct XWindow {
    int xOff = 0, yOff = 0, xSize = 0, ySize = 0;
    /// True when the window is not empty and lies inside cols x rows; the
    /// ends are summed in 64 bits, so offsets near INT_MAX do not wrap.
    bool Inside(int cols, int rows) const
    {
        return xOff >= 0 && yOff >= 0 && xSize >= 1 && ySize >= 1 && int64_t{xOff} + xSize <= cols &&
               int64_t{yOff} + ySize <= rows;
    }
};

/// The grid sample type holding a GDAL data type (a GDALDataType value);
/// XDT_NONE when the library has none.
int DataTypeFromGdal(int gdalType);
/// The GDAL data type of a grid sample type; GDT_Unknown (0) when GDAL has
/// none.
int GdalFromDataType(int dataType);

/// The grid sample type holding a band's samples: DataTypeFromGdal of its
/// data type, except that a Byte band marked PIXELTYPE=SIGNEDBYTE (the
/// signed bytes of GDAL releases before its Int8 type) holds XDT_SINT08.
int BandDataType(GDALRasterBand* band);

/// The GDAL type a buffer of grid samples is passed to GDAL as:
/// GdalFromDataType, except signed bytes where GDAL has no Int8 type, which
/// pass as Byte with their bits unchanged (the band carries the sign as
/// PIXELTYPE=SIGNEDBYTE). GDT_Unknown when GDAL has none.
int GdalBufferType(int dataType);

/// Largest block of samples one grid can own, in bytes: XGrid keeps its
/// allocation size in 32 bits.
inline constexpr double kMaxGridBytes = 2147483647.0;

/// Reads a window of a band (the whole band when window is null) into grid,
/// which gets the window's shape and the sample type asType, GDAL converting
/// the samples (XDT_NONE: BandDataType, the samples as they are).
/// The grid's geo-reference is that of the window when the band's dataset has
/// a north-up geo-transform, else it is left unset. progress (may be null)
/// follows the read; when it returns false the read stops. False with a
/// message, GDAL's own where it gave one, on failure.
bool ReadGrid(GDALRasterBand* band, XGrid& grid, std::string& error, const XWindow* window = nullptr,
              GDALProgressFunc progress = nullptr, void* progressData = nullptr, int asType = XDT_NONE);

/// Writes grid into band with its upper-left sample at (xOff, yOff),
/// converting to the band's sample type as GDAL does. False with a message
/// on failure.
bool WriteGrid(const XGrid& grid, GDALRasterBand* band, std::string& error, int xOff = 0, int yOff = 0,
               GDALProgressFunc progress = nullptr, void* progressData = nullptr);

/// Sets grid's geo-reference from the dataset's geo-transform for the window
/// (whole raster when null). False, with the grid's geo-reference untouched,
/// when the dataset has none or it is rotated (a grid has no rotation).
bool ApplyGeoTransform(GDALDataset* dataset, XGrid& grid, const XWindow* window = nullptr);

/// GDAL's last error message, or fallback when GDAL gave none.
std::string LastGdalError(const std::string& fallback);

} // namespace Pelmora::Tivra::IO
