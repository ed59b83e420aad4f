// Grids through GDAL: one band of a GDAL dataset, or a window of it, read
// into an XGrid and an XGrid written into a band. Part of the optional
// module Tivra::io, built when GDAL is found.
#pragma once

#include <tivra/grid/XGrid.h>

#include <cpl_progress.h>

#include <string>

class GDALDataset;
class GDALRasterBand;

namespace Pelmora::Tivra::IO {

/// A rectangle of a band in pixels: columns xOff..xOff+xSize-1, rows
/// yOff..yOff+ySize-1.
struct XWindow {
    int xOff = 0, yOff = 0, xSize = 0, ySize = 0;
};

/// The grid sample type holding a GDAL data type (a GDALDataType value);
/// XDT_NONE when the library has none.
int DataTypeFromGdal(int gdalType);
/// The GDAL data type of a grid sample type; GDT_Unknown (0) when GDAL has
/// none.
int GdalFromDataType(int dataType);

/// Largest block of samples one grid can own, in bytes: XGrid keeps its
/// allocation size in 32 bits.
inline constexpr double kMaxGridBytes = 2147483647.0;

/// Reads a window of a band (the whole band when window is null) into grid,
/// which gets the window's shape and the sample type DataTypeFromGdal gives.
/// The grid's geo-reference is that of the window when the band's dataset has
/// a north-up geo-transform, else it is left unset. progress (may be null)
/// follows the read; when it returns false the read stops. False with a
/// message, GDAL's own where it gave one, on failure.
bool ReadGrid(GDALRasterBand* band, XGrid& grid, std::string& error, const XWindow* window = nullptr,
              GDALProgressFunc progress = nullptr, void* progressData = nullptr);

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
