#include "RasterIO.h"

#include <tivra/grid/XDataType.h>

#include <geotiff/geotiffio.h>
#include <geotiff/geovalues.h>
#include <geotiff/xtiffio.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" {
#include <jpeglib.h>
}

namespace Pelmora::Tivra::Tool {

namespace {

enum class Format { Unknown, Tiff, Png, Jpeg };

std::string Lower(std::string s)
{
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

Format FormatOf(const std::string& name)
{
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return Format::Unknown;
    const std::string ext = Lower(name.substr(dot + 1));
    if (ext == "tif" || ext == "tiff") return Format::Tiff;
    if (ext == "png") return Format::Png;
    if (ext == "jpg" || ext == "jpeg") return Format::Jpeg;
    return Format::Unknown;
}

// The first bytes decide how a file is read, so a misnamed file still opens
// and a file of another kind gets a clear message.
Format SniffFormat(const std::string& path, std::string& error)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return Format::Unknown;
    }
    unsigned char head[8] = {};
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (n >= 4 && ((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M'))) return Format::Tiff;
    if (n >= 8 && !png_sig_cmp(head, 0, 8)) return Format::Png;
    if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return Format::Jpeg;
    error = path + ": unsupported format (TIFF, PNG and JPEG are read)";
    return Format::Unknown;
}

// libtiff reports through handlers; the last error becomes our message and
// warnings (unknown private tags and the like) are not shown.
thread_local std::string g_tiffError;

void TiffErrorHandler(const char* module, const char* fmt, va_list ap)
{
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    g_tiffError = module ? std::string(module) + ": " + buf : std::string(buf);
}

void TiffWarningHandler(const char*, const char*, va_list) {}

void InstallTiffHandlers()
{
    TIFFSetErrorHandler(TiffErrorHandler);
    TIFFSetWarningHandler(TiffWarningHandler);
    g_tiffError.clear();
}

int TypeFromTiff(uint16_t format, uint16_t bits)
{
    if (format == SAMPLEFORMAT_UINT) {
        if (bits == 8) return XDT_UINT08;
        if (bits == 16) return XDT_UINT16;
        if (bits == 32) return XDT_UINT32;
    } else if (format == SAMPLEFORMAT_INT) {
        if (bits == 8) return XDT_SINT08;
        if (bits == 16) return XDT_SINT16;
        if (bits == 32) return XDT_SINT32;
    } else if (format == SAMPLEFORMAT_IEEEFP) {
        if (bits == 32) return XDT_REAL32;
        if (bits == 64) return XDT_REAL64;
    }
    return XDT_NONE;
}

bool TiffFromType(int type, uint16_t& format, uint16_t& bits)
{
    switch (type) {
    case XDT_UINT08: format = SAMPLEFORMAT_UINT; bits = 8; return true;
    case XDT_SINT08: format = SAMPLEFORMAT_INT; bits = 8; return true;
    case XDT_UINT16: format = SAMPLEFORMAT_UINT; bits = 16; return true;
    case XDT_SINT16: format = SAMPLEFORMAT_INT; bits = 16; return true;
    case XDT_UINT32: format = SAMPLEFORMAT_UINT; bits = 32; return true;
    case XDT_SINT32: format = SAMPLEFORMAT_INT; bits = 32; return true;
    case XDT_REAL32: format = SAMPLEFORMAT_IEEEFP; bits = 32; return true;
    case XDT_REAL64: format = SAMPLEFORMAT_IEEEFP; bits = 64; return true;
    default: return false;
    }
}

struct TiffCloser {
    void operator()(TIFF* t) const { XTIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Copies a block of samples (a strip row or a tile) into the band grids.
// With planar = -1 the block holds all bands interleaved, otherwise only band
// 'planar'.
void Scatter(Raster& raster, const uint8_t* block, int blockW, int blockH, int x0, int y0, int planar)
{
    const int nb = static_cast<int>(raster.bands.size());
    const int size = DATASIZE[raster.DataType()];
    const int rows = raster.Rows(), cols = raster.Cols();
    const int perPixel = planar < 0 ? nb : 1;
    for (int j = 0; j < blockH && y0 + j < rows; ++j)
        for (int b = 0; b < nb; ++b) {
            if (planar >= 0 && b != planar) continue;
            const int offset = planar < 0 ? b : 0;
            uint8_t* dst = raster.bands[b].GetData() + (static_cast<size_t>(y0 + j) * cols + x0) * size;
            const uint8_t* src = block + (static_cast<size_t>(j) * blockW * perPixel + offset) * size;
            const int n = std::min(blockW, cols - x0);
            if (perPixel == 1) std::memcpy(dst, src, static_cast<size_t>(n) * size);
            else
                for (int i = 0; i < n; ++i) std::memcpy(dst + static_cast<size_t>(i) * size, src + static_cast<size_t>(i) * perPixel * size, size);
        }
}

bool ReadTiff(const std::string& path, Raster& raster, std::string& error)
{
    InstallTiffHandlers();
    TiffPtr tif(XTIFFOpen(path.c_str(), "r"));
    if (!tif) {
        error = "cannot read " + path + (g_tiffError.empty() ? "" : ": " + g_tiffError);
        return false;
    }
    uint32_t width = 0, height = 0;
    uint16_t spp = 1, bits = 1, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG, photometric = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    const int type = TypeFromTiff(format, bits);
    const char* kinds[] = {"", "unsigned integer", "signed integer", "floating-point"};
    if (type == XDT_NONE) {
        error = path + ": unsupported sample type (" + std::to_string(bits) + "-bit " +
                (format >= 1 && format <= 3 ? kinds[format] : "other") +
                "); 8/16/32-bit integers and 32/64-bit reals are read";
        return false;
    }
    if (spp != 1 && spp != 3) {
        error = path + ": unsupported band count " + std::to_string(spp) + " (one or three bands are read)";
        return false;
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
        error = path + ": unsupported colour-mapped TIFF (one or three bands of values are read)";
        return false;
    }
    if (photometric == PHOTOMETRIC_YCBCR) TIFFSetField(tif.get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    if (width == 0 || height == 0 || width > 1u << 20 || height > 1u << 20 ||
        static_cast<uint64_t>(width) * height * spp * (bits / 8) > (uint64_t(1) << 31) - 1) {
        error = path + ": unsupported image size " + std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    raster = Raster();
    raster.bands.resize(spp);
    for (auto& band : raster.bands)
        if (!band.AllocExact(static_cast<int>(height), static_cast<int>(width), type)) {
            error = path + ": out of memory";
            return false;
        }

    const int nPlanes = planar == PLANARCONFIG_SEPARATE ? spp : 1;
    if (TIFFIsTiled(tif.get())) {
        uint32_t tw = 0, th = 0;
        TIFFGetField(tif.get(), TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(tif.get(), TIFFTAG_TILELENGTH, &th);
        std::vector<uint8_t> buf(TIFFTileSize(tif.get()));
        for (int p = 0; p < nPlanes; ++p)
            for (uint32_t y = 0; y < height; y += th)
                for (uint32_t x = 0; x < width; x += tw) {
                    if (TIFFReadTile(tif.get(), buf.data(), x, y, 0, static_cast<uint16_t>(p)) < 0) {
                        error = "cannot read " + path + ": " + g_tiffError;
                        return false;
                    }
                    Scatter(raster, buf.data(), static_cast<int>(tw), static_cast<int>(th), static_cast<int>(x),
                            static_cast<int>(y), nPlanes > 1 ? p : -1);
                }
    } else {
        std::vector<uint8_t> buf(TIFFScanlineSize(tif.get()));
        for (int p = 0; p < nPlanes; ++p)
            for (uint32_t y = 0; y < height; ++y) {
                if (TIFFReadScanline(tif.get(), buf.data(), y, static_cast<uint16_t>(p)) < 0) {
                    error = "cannot read " + path + ": " + g_tiffError;
                    return false;
                }
                Scatter(raster, buf.data(), static_cast<int>(width), 1, 0, static_cast<int>(y), nPlanes > 1 ? p : -1);
            }
    }

    // Geo-reference: pixel scale and the tie point (raster i, j -> map X, Y).
    uint16_t count = 0;
    double* scale = nullptr;
    double* tie = nullptr;
    uint16_t tieCount = 0;
    if (TIFFGetField(tif.get(), TIFFTAG_GEOPIXELSCALE, &count, &scale) && count >= 2 &&
        TIFFGetField(tif.get(), TIFFTAG_GEOTIEPOINTS, &tieCount, &tie) && tieCount >= 6) {
        raster.hasGeo = true;
        raster.colSpacing = scale[0];
        raster.rowSpacing = scale[1];
        raster.left = tie[3] - tie[0] * scale[0];
        raster.top = tie[4] + tie[1] * scale[1];
        if (GTIF* gt = GTIFNew(tif.get())) {
            unsigned short code = 0;
            if (GTIFKeyGetSHORT(gt, GTRasterTypeGeoKey, &code, 0, 1) == 1 && code == RasterPixelIsPoint) {
                // The tie point names a pixel centre; the grid keeps corners.
                raster.left -= 0.5 * raster.colSpacing;
                raster.top += 0.5 * raster.rowSpacing;
            }
            if (GTIFKeyGetSHORT(gt, ProjectedCSTypeGeoKey, &code, 0, 1) == 1 && code != KvUserDefined)
                raster.epsg = code;
            else if (GTIFKeyGetSHORT(gt, GeographicTypeGeoKey, &code, 0, 1) == 1 && code != KvUserDefined) {
                raster.epsg = code;
                raster.geographic = true;
            }
            GTIFFree(gt);
        }
    }
    // The no-data text; libtiff may declare the tag with a count before it.
    char* noData = nullptr;
    bool gotNoData = false;
    if (const TIFFField* field = TIFFFieldWithTag(tif.get(), TIFFTAG_GDAL_NODATA)) {
        if (TIFFFieldPassCount(field)) {
            if (TIFFFieldReadCount(field) == TIFF_VARIABLE2) {
                uint32_t n = 0;
                gotNoData = TIFFGetField(tif.get(), TIFFTAG_GDAL_NODATA, &n, &noData);
            } else {
                uint16_t n = 0;
                gotNoData = TIFFGetField(tif.get(), TIFFTAG_GDAL_NODATA, &n, &noData);
            }
        } else {
            gotNoData = TIFFGetField(tif.get(), TIFFTAG_GDAL_NODATA, &noData);
        }
    }
    if (gotNoData && noData && *noData) {
        char* end = nullptr;
        const double v = std::strtod(noData, &end);
        if (end != noData) {
            raster.hasNoData = true;
            raster.noData = v;
        }
    }
    raster.ApplyGeo();
    return true;
}

bool WriteTiff(const std::string& path, const Raster& raster, std::string& error)
{
    uint16_t format = 0, bits = 0;
    if (!TiffFromType(raster.DataType(), format, bits)) {
        error = std::string("cannot write sample type ") + SampleTypeName(raster.DataType()) + " to TIFF";
        return false;
    }
    InstallTiffHandlers();
    TiffPtr tif(XTIFFOpen(path.c_str(), "w"));
    if (!tif) {
        error = "cannot create " + path + (g_tiffError.empty() ? "" : ": " + g_tiffError);
        return false;
    }
    const int nb = static_cast<int>(raster.bands.size());
    const int rows = raster.Rows(), cols = raster.Cols(), size = bits / 8;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(cols));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(nb));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    const bool rgb = nb == 3 && raster.DataType() == XDT_UINT08;
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    if (nb == 3 && !rgb) {
        const uint16_t extra[2] = {EXTRASAMPLE_UNSPECIFIED, EXTRASAMPLE_UNSPECIFIED};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 2, extra);
    }
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    if (raster.hasGeo) {
        double scale[3] = {raster.colSpacing, raster.rowSpacing, 0.0};
        double tie[6] = {0, 0, 0, raster.left, raster.top, 0};
        TIFFSetField(t, TIFFTAG_GEOPIXELSCALE, 3, scale);
        TIFFSetField(t, TIFFTAG_GEOTIEPOINTS, 6, tie);
        if (GTIF* gt = GTIFNew(t)) {
            GTIFKeySet(gt, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
            if (raster.epsg > 0) {
                GTIFKeySet(gt, GTModelTypeGeoKey, TYPE_SHORT, 1,
                           raster.geographic ? ModelTypeGeographic : ModelTypeProjected);
                GTIFKeySet(gt, raster.geographic ? GeographicTypeGeoKey : ProjectedCSTypeGeoKey, TYPE_SHORT, 1,
                           raster.epsg);
            }
            GTIFWriteKeys(gt);
            GTIFFree(gt);
        }
    }
    if (raster.hasNoData) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", raster.noData);
        const TIFFField* field = TIFFFieldWithTag(t, TIFFTAG_GDAL_NODATA);
        if (field && TIFFFieldPassCount(field))
            TIFFSetField(t, TIFFTAG_GDAL_NODATA, static_cast<int>(std::strlen(text) + 1), text);
        else
            TIFFSetField(t, TIFFTAG_GDAL_NODATA, text);
    }
    std::vector<uint8_t> line(static_cast<size_t>(cols) * nb * size);
    for (int r = 0; r < rows; ++r) {
        for (int b = 0; b < nb; ++b) {
            const uint8_t* src = raster.bands[b].GetData() + static_cast<size_t>(r) * cols * size;
            for (int c = 0; c < cols; ++c)
                std::memcpy(&line[(static_cast<size_t>(c) * nb + b) * size], src + static_cast<size_t>(c) * size, size);
        }
        if (TIFFWriteScanline(t, line.data(), static_cast<uint32_t>(r), 0) < 0) {
            error = "cannot write " + path + ": " + g_tiffError;
            return false;
        }
    }
    if (!TIFFFlush(t)) {
        error = "cannot write " + path + ": " + g_tiffError;
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, Raster& raster, std::string& error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = "cannot read " + path + ": " + image.message;
        return false;
    }
    // 8-bit grey or RGB; 16-bit samples are reduced and alpha is composed
    // onto black, which is what an 8-bit reader can keep.
    const bool colour = image.format & PNG_FORMAT_FLAG_COLOR;
    image.format = colour ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    const int nb = colour ? 3 : 1;
    std::vector<uint8_t> buf(PNG_IMAGE_SIZE(image));
    png_color black = {0, 0, 0};
    if (!png_image_finish_read(&image, &black, buf.data(), 0, nullptr)) {
        error = "cannot read " + path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    raster = Raster();
    raster.bands.resize(nb);
    for (auto& band : raster.bands) band.AllocExact(static_cast<int>(image.height), static_cast<int>(image.width), XDT_UINT08);
    Scatter(raster, buf.data(), static_cast<int>(image.width), static_cast<int>(image.height), 0, 0, nb == 1 ? 0 : -1);
    return true;
}

std::vector<uint8_t> Interleave8(const Raster& raster)
{
    const int nb = static_cast<int>(raster.bands.size());
    const size_t n = static_cast<size_t>(raster.Rows()) * raster.Cols();
    std::vector<uint8_t> buf(n * nb);
    for (int b = 0; b < nb; ++b) {
        const uint8_t* src = raster.bands[b].GetData();
        for (size_t i = 0; i < n; ++i) buf[i * nb + b] = src[i];
    }
    return buf;
}

bool WritePngFile(const std::string& path, const Raster& raster, std::string& error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(raster.Cols());
    image.height = static_cast<png_uint_32>(raster.Rows());
    image.format = raster.bands.size() == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    const std::vector<uint8_t> buf = Interleave8(raster);
    if (!png_image_write_to_file(&image, path.c_str(), 0, buf.data(), 0, nullptr)) {
        error = "cannot write " + path + ": " + image.message;
        return false;
    }
    return true;
}

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo)
{
    JpegError* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void JpegSilent(j_common_ptr, int) {}

// The libjpeg calls sit in functions that own no C++ objects with
// destructors, so the error jump skips nothing that needs cleaning up.
bool ReadJpegInto(FILE* f, std::vector<uint8_t>& buf, int& width, int& height, int& nb, std::string& message)
{
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    err.mgr.emit_message = JpegSilent;
    if (setjmp(err.jump)) {
        message = err.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    nb = cinfo.output_components;
    buf.resize(static_cast<size_t>(width) * height * nb);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = buf.data() + static_cast<size_t>(cinfo.output_scanline) * width * nb;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool WriteJpegFrom(FILE* f, const uint8_t* buf, int width, int height, int nb, std::string& message)
{
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    err.mgr.emit_message = JpegSilent;
    if (setjmp(err.jump)) {
        message = err.message;
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = nb;
    cinfo.in_color_space = nb == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 92, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(buf) + static_cast<size_t>(cinfo.next_scanline) * width * nb;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool ReadJpeg(const std::string& path, Raster& raster, std::string& error)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> buf;
    int width = 0, height = 0, nb = 0;
    std::string message;
    const bool ok = ReadJpegInto(f, buf, width, height, nb, message);
    std::fclose(f);
    if (!ok) {
        error = "cannot read " + path + ": " + message;
        return false;
    }
    raster = Raster();
    raster.bands.resize(nb);
    for (auto& band : raster.bands) band.AllocExact(height, width, XDT_UINT08);
    Scatter(raster, buf.data(), width, height, 0, 0, nb == 1 ? 0 : -1);
    return true;
}

bool WriteJpeg(const std::string& path, const Raster& raster, std::string& error)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const std::vector<uint8_t> buf = Interleave8(raster);
    std::string message;
    bool ok = WriteJpegFrom(f, buf.data(), raster.Cols(), raster.Rows(), static_cast<int>(raster.bands.size()), message);
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        message = std::strerror(errno);
    }
    if (!ok) error = "cannot write " + path + ": " + message;
    return ok;
}

} // namespace

void Raster::ApplyGeo()
{
    for (auto& band : bands) {
        band.SetGeoOrigin(top, left);
        band.SetGeoSpacing(rowSpacing, colSpacing);
    }
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
    case XDT_REAL32: return "Float32";
    case XDT_REAL64: return "Float64";
    default: return "other";
    }
}

bool ReadRaster(const std::string& path, Raster& raster, std::string& error)
{
    switch (SniffFormat(path, error)) {
    case Format::Tiff: return ReadTiff(path, raster, error);
    case Format::Png: return ReadPng(path, raster, error);
    case Format::Jpeg: return ReadJpeg(path, raster, error);
    default: return false;
    }
}

bool IsWritableFormat(const std::string& name, std::string& error)
{
    if (FormatOf(name) != Format::Unknown) return true;
    error = name + ": unsupported output format (use .tif, .png or .jpg)";
    return false;
}

bool WriteRaster(const std::string& path, const std::string& formatName, const Raster& raster, std::string& error)
{
    const Format format = FormatOf(formatName);
    if (format == Format::Unknown) return IsWritableFormat(formatName, error);
    if (raster.bands.empty()) {
        error = "nothing to write to " + formatName;
        return false;
    }
    if ((format == Format::Png || format == Format::Jpeg) && raster.DataType() != XDT_UINT08) {
        error = formatName + ": PNG and JPEG hold 8-bit images; write " + SampleTypeName(raster.DataType()) +
                " samples to .tif";
        return false;
    }
    switch (format) {
    case Format::Tiff: return WriteTiff(path, raster, error);
    case Format::Png: return WritePngFile(path, raster, error);
    default: return WriteJpeg(path, raster, error);
    }
}

} // namespace Pelmora::Tivra::Tool
