// Reading and writing rasters for the tivra program: TIFF and GeoTIFF through
// libtiff and libgeotiff, PNG through libpng and JPEG through libjpeg. The
// format follows the file name's extension (.tif/.tiff, .png, .jpg/.jpeg).
#pragma once

#include <tivra/grid/XGrid.h>

#include <string>
#include <vector>

namespace Pelmora::Tivra::Tool {

/// A raster of one or three bands, each a grid of the same shape and sample
/// type, with an optional geo-reference (north up, no rotation) and no-data
/// value. The geo-reference is also set on every band grid.
struct Raster {
    std::vector<XGrid> bands;
    bool hasGeo = false;
    double top = 0, left = 0;              ///< map position of the outer upper-left corner
    double rowSpacing = 1, colSpacing = 1; ///< pixel height and width in map units
    int epsg = 0;                          ///< projected or geographic EPSG code; 0 when unknown
    bool geographic = false;               ///< the EPSG code names a geographic system
    bool hasNoData = false;
    double noData = 0;

    int Rows() const { return bands.empty() ? 0 : bands[0].GetRSize(); }
    int Cols() const { return bands.empty() ? 0 : bands[0].GetCSize(); }
    int DataType() const { return bands.empty() ? 0 : bands[0].GetDataType(); }
    /// Copies the geo-reference fields onto every band grid.
    void ApplyGeo();
};

/// Reads a raster. False with a one-line message when the file is missing or
/// unreadable, its format or sample type is not supported.
bool ReadRaster(const std::string& path, Raster& raster, std::string& error);

/// Writes a raster to exactly this path (the caller handles temporary names).
/// The format follows formatName's extension, so a temporary file can carry
/// the format of its final name. PNG and JPEG take 8-bit images only.
bool WriteRaster(const std::string& path, const std::string& formatName, const Raster& raster, std::string& error);

/// True when the name's extension is one WriteRaster knows.
bool IsWritableFormat(const std::string& name, std::string& error);

/// Short text for a sample type: "UInt8", "Int16", "Float32", ...
const char* SampleTypeName(int dataType);

} // namespace Pelmora::Tivra::Tool
