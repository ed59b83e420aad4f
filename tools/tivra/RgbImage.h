// An 8-bit RGB drawing surface for the palette sheet, written out as a
// three-band raster in any format GDAL writes.
#pragma once

#include "RasterIO.h"

#include <cstdint>
#include <vector>

namespace Pelmora::Tivra::Tool {

/// An 8-bit RGB image, rows top to bottom, three bytes per pixel.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    RgbImage(int w, int h, uint8_t r, uint8_t g, uint8_t b);
    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b);
    /// Three UInt8 bands (red, green, blue), no geo-reference.
    Raster ToRaster() const;
};

} // namespace Pelmora::Tivra::Tool
