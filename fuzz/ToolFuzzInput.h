// The fuzz inputs of the tivra program's readers, shared by the fuzz targets:
// the control-point CSV (the bytes are the file) and raster input through
// GDAL (the bytes are a file in GDAL's in-memory file system). The program's
// end-to-end tests replay the seeds and findings through the program itself
// (tools/tivra/tests/fuzz_replay.sh).
#pragma once

#include "../tools/tivra/Gcps.h"
#include "../tools/tivra/RasterIO.h"

#include <cpl_vsi.h>
#include <gdal_priv.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace TivraFuzz {

/// Control points: the bytes are a CSV file, written to a scratch file since
/// the reader takes a path. Every file gives points or a message.
inline void ReadGcpsInput(const uint8_t* pData, size_t nSize)
{
    const char* pszDir = std::getenv("TMPDIR");
    const std::string path = std::string(pszDir != nullptr && *pszDir != '\0' ? pszDir : "/tmp") +
                             "/tivra-gcps-fuzz-" + std::to_string(getpid()) + ".csv";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort(); // the harness itself cannot run
    if (nSize != 0 && std::fwrite(pData, 1, nSize, f) != nSize) std::abort();
    std::fclose(f);
    std::vector<Pelmora::Tivra::tagXGCP> points;
    std::string error;
    const bool ok = Pelmora::Tivra::Tool::ReadGcps(path, points, error);
    unlink(path.c_str());
    if (!ok && error.empty()) std::abort(); // a failure always says why
}

/// Largest raster the harness reads: the program reads rasters of up to
/// 2 GiB whole, which is its design, not a fault; larger headers would only
/// measure the allocator.
constexpr uint64_t kMaxRasterBytes = 64u << 20;

/// Raster input: the bytes are a file that GDAL opens from memory, with only
/// the drivers of the formats the program's users hand it most (GeoTIFF,
/// PNG, JPEG, BMP), so that the fuzzer spends its time on the program's
/// reader and not on GDAL's hundred other formats. The header is read, and
/// the samples when they fit the harness's bound.
inline void ReadRasterInput(const uint8_t* pData, size_t nSize)
{
    static const bool bDrivers = [] {
        GDALAllRegister();
        GDALDriverManager* manager = GetGDALDriverManager();
        for (int i = manager->GetDriverCount() - 1; i >= 0; --i) {
            GDALDriver* driver = manager->GetDriver(i);
            const std::string name = driver->GetDescription();
            if (name != "GTiff" && name != "PNG" && name != "JPEG" && name != "BMP") {
                manager->DeregisterDriver(driver);
                delete driver;
            }
        }
        CPLSetErrorHandler(CPLQuietErrorHandler);
        return true;
    }();
    (void)bDrivers;
    const std::string path = "/vsimem/tivra-raster-fuzz";
    VSILFILE* f = VSIFileFromMemBuffer(path.c_str(), const_cast<GByte*>(pData), vsi_l_offset(nSize), FALSE);
    if (f == nullptr) std::abort();
    VSIFCloseL(f);
    {
        Pelmora::Tivra::Tool::RasterReader reader;
        std::string error;
        if (reader.Open(path, error)) {
            const auto& h = reader.Header();
            const uint64_t nBytes = uint64_t(h.width) * uint64_t(h.height) * uint64_t(h.bandCount) * 16u;
            Pelmora::Tivra::Tool::Raster raster;
            if (nBytes <= kMaxRasterBytes && !reader.Read(raster, error) && error.empty()) std::abort();
        } else if (error.empty()) {
            std::abort(); // a failure always says why
        }
    }
    VSIUnlink(path.c_str());
}

} // namespace TivraFuzz
