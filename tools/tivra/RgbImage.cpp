#include "RgbImage.h"

namespace Pelmora::Tivra::Tool {

RgbImage::RgbImage(int w, int h, uint8_t r, uint8_t g, uint8_t b)
    : width(w), height(h), pixels(size_t(w) * size_t(h) * 3)
{
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = r;
        pixels[i + 1] = g;
        pixels[i + 2] = b;
    }
}

void RgbImage::Set(int x, int y, uint8_t r, uint8_t g, uint8_t b)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = &pixels[(size_t(y) * width + x) * 3];
    p[0] = r;
    p[1] = g;
    p[2] = b;
}

Raster RgbImage::ToRaster() const
{
    Raster raster;
    raster.bands.resize(3);
    raster.noData.resize(3);
    for (int ch = 0; ch < 3; ++ch) {
        XGrid& band = raster.bands[ch];
        band.AllocExact(height, width, XDT_UINT08);
        uint8_t* out = band.GetData();
        for (size_t i = 0, n = size_t(width) * height; i < n; ++i) out[i] = pixels[i * 3 + ch];
    }
    return raster;
}

} // namespace Pelmora::Tivra::Tool
