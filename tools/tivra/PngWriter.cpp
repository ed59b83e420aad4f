#include "PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

namespace {

/// The libpng part. libpng reports errors by longjmp back to the setjmp
/// below, so nothing in this function may own a C++ object with a destructor;
/// the message goes out through a plain buffer.
bool Encode(FILE* file, const RgbImage& image, char* message, size_t size)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        std::snprintf(message, size, "libpng could not start");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        std::snprintf(message, size, "libpng failed while writing");
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, image.pixels.data() + size_t(y) * image.width * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool WritePng(const std::string& path, const RgbImage& image, std::string& error)
{
    if (image.width <= 0 || image.height <= 0) {
        error = "empty image";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    char message[128] = "";
    const bool ok = Encode(file, image, message, sizeof message);
    const bool closed = std::fclose(file) == 0;
    if (!ok) error = message;
    else if (!closed) error = "cannot finish " + path + ": " + std::strerror(errno);
    return ok && closed;
}

} // namespace Pelmora::Tivra::Tool
