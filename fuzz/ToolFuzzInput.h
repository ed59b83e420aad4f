// The fuzz inputs of the tivra program's readers, shared by the fuzz targets:
// the control-point CSV, the fit file of warp --load-fit, the partial sums of
// stats --merge and the problems of geodesic - (the bytes are the file or the
// standard input), and raster input through GDAL (the bytes are a file in
// GDAL's in-memory file system). The program's end-to-end tests replay the
// seeds and findings through the program itself
// (tools/tivra/tests/fuzz_replay.sh).
#pragma once

#include "../tools/tivra/Commands.h"
#include "../tools/tivra/Gcps.h"
#include "../tools/tivra/RasterIO.h"
#include "../tools/tivra/Stats.h"
#include "../tools/tivra/Warp.h"

#include <cpl_vsi.h>
#include <gdal_priv.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace TivraFuzz {

/// The bytes in a scratch file of this process, for the readers that take a
/// path.
inline std::string ScratchFile(const uint8_t* pData, size_t nSize, const char* pszName)
{
    const char* pszDir = std::getenv("TMPDIR");
    const std::string path = std::string(pszDir != nullptr && *pszDir != '\0' ? pszDir : "/tmp") + "/tivra-" +
                             pszName + "-fuzz-" + std::to_string(getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort(); // the harness itself cannot run
    if (nSize != 0 && std::fwrite(pData, 1, nSize, f) != nSize) std::abort();
    std::fclose(f);
    return path;
}

/// Control points: the bytes are a CSV file. Every file gives points or a
/// message.
inline void ReadGcpsInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = ScratchFile(pData, nSize, "gcps");
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

/// The source size the fit seeds were made for (fuzz/corpus/fit, and the
/// replay's source in tools/tivra/tests/fuzz_replay.sh).
constexpr int kFitSourceCols = 40, kFitSourceRows = 30;

/// A fit file of warp --save-fit: loaded for a 40 x 30 source with a one-pixel
/// window of the output, so that a loaded mapping is also used (the window's
/// source window is found through it). Every file gives a plan or a message.
inline void ReadFitInput(const uint8_t* pData, size_t nSize)
{
    using namespace Pelmora::Tivra::Tool;
    const std::string path = ScratchFile(pData, nSize, "fit");
    Raster header;
    header.width = kFitSourceCols;
    header.height = kFitSourceRows;
    header.bandCount = 1;
    WarpOptions options;
    options.hasWindow = true;
    options.window = {0, 0, 1, 1};
    WarpPlan plan;
    WarpResult result;
    int nPoints = 0;
    std::string error;
    const bool ok = LoadWarpFit(path, header, options, plan, result, nPoints, error);
    unlink(path.c_str());
    if (!ok && error.empty()) std::abort(); // a failure always says why
    // A loaded grid is one the program can allocate.
    if (ok && !(plan.width >= 1 && plan.height >= 1 && double(plan.width) * plan.height <= 1e9)) std::abort();
}

/// Partial statistics of stats --partial: the bytes are one file, merged
/// twice (as two windows of one raster). Every file gives sums or a message,
/// and merged sums keep the minimum at or below the maximum.
inline void ReadPartialInput(const uint8_t* pData, size_t nSize)
{
    using namespace Pelmora::Tivra;
    const std::string path = ScratchFile(pData, nSize, "partial");
    std::vector<XStatAccum> acc;
    std::string type, error;
    bool ok = Tool::MergePartialFile(path, acc, type, error);
    ok = ok && Tool::MergePartialFile(path, acc, type, error);
    unlink(path.c_str());
    if (!ok && error.empty()) std::abort();
    for (const XStatAccum& a : acc)
        if (ok && a.count != 0 && !(a.min0 <= a.max0)) std::abort();
}

/// The standard input of geodesic -: the first byte chooses the problem
/// (inverse or direct), the rest are its lines. Answers go to /dev/null, and
/// so do the messages for the run (the fuzzer's own report stays on standard
/// error); every input is solved or refused with status 1.
inline void SolveGeodesicInput(const uint8_t* pData, size_t nSize)
{
    static const int nNull = open("/dev/null", O_WRONLY);
    static const bool bQuiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    if (nNull < 0 || !bQuiet) std::abort();
    if (nSize == 0) return;
    std::istringstream in(std::string(reinterpret_cast<const char*>(pData) + 1, nSize - 1));
    const int nStderr = dup(STDERR_FILENO);
    dup2(nNull, STDERR_FILENO);
    const int status = Pelmora::Tivra::Tool::SolveGeodesicLines((pData[0] & 1) != 0, in);
    dup2(nStderr, STDERR_FILENO);
    close(nStderr);
    if (status != 0 && status != 1) std::abort();
}

} // namespace TivraFuzz
