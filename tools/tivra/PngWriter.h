// A minimal PNG writer over libpng: 8-bit RGB images, no interlacing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Pelmora::Tivra::Tool {

/// An 8-bit RGB image, rows top to bottom, three bytes per pixel.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    RgbImage(int w, int h, uint8_t r, uint8_t g, uint8_t b);
    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b);
};

/// Writes the image as a PNG file. Returns false and a message in error when
/// the file cannot be created or libpng reports a failure.
bool WritePng(const std::string& path, const RgbImage& image, std::string& error);

} // namespace Pelmora::Tivra::Tool
