// Reading and writing rasters for the tivra program, through GDAL and the
// Tivra::io module: every format GDAL reads; the output format from --of or
// the output name's extension, with creation options.
#pragma once

#include <tivra/grid/XGrid.h>
#include <tivra/io/XGdalGrid.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class GDALDataset;

namespace Pelmora::Tivra::Tool {

class ProgressBar;

/// A part of the progress bar: fractions 0..1 of a phase land on
/// base..base+span of the bar. A null bar shows nothing.
struct ProgressSpan {
    ProgressBar* bar = nullptr;
    double base = 0, span = 0;
    void Update(double fraction) const;
    ProgressSpan Part(double from, double to) const { return {bar, base + span * from, span * (to - from)}; }
};

/// A raster: bands of the same shape and sample type, an optional north-up
/// geo-reference, a coordinate reference system and a no-data value per band.
/// The header fields are set before the bands are read; the geo-reference is
/// also set on every band grid.
struct Raster {
    std::vector<XGrid> bands;
    int width = 0, height = 0, dataType = XDT_NONE, bandCount = 0;
    bool hasGeo = false;
    double top = 0, left = 0;              ///< map position of the outer upper-left corner
    double rowSpacing = 1, colSpacing = 1; ///< pixel height and width in map units
    std::string crs;                       ///< WKT of the reference system; empty when unknown
    /// A geo-transform with rotation or shear, which a grid cannot carry
    /// (hasGeo is then false): kept so that an output on the same pixel grid
    /// (colorize) is placed where its input is.
    std::optional<std::array<double, 6>> rotated;
    std::vector<std::optional<double>> noData; ///< per band

    int Rows() const { return bands.empty() ? height : bands[0].GetRSize(); }
    int Cols() const { return bands.empty() ? width : bands[0].GetCSize(); }
    int DataType() const { return bands.empty() ? dataType : bands[0].GetDataType(); }
    int BandCount() const { return bands.empty() ? bandCount : static_cast<int>(bands.size()); }
    /// The no-data value of band b (0-based), if it has one.
    std::optional<double> NoData(int b) const { return b < static_cast<int>(noData.size()) ? noData[b] : std::nullopt; }
    /// "EPSG:32618" when the system has an EPSG code, else its name; empty when unknown.
    std::string CrsName() const;
    /// Copies the geo-reference fields onto every band grid.
    void ApplyGeo();
};

/// An open raster file whose bands, or a window of them, are read on demand.
class RasterReader {
public:
    RasterReader();
    ~RasterReader();
    /// Opens the file and reads its header. False with GDAL's message. A file
    /// of 64-bit integers is read as Float64, with a note on standard error
    /// (integers beyond 2^53 in magnitude are then rounded).
    bool Open(const std::string& path, std::string& error);
    const Raster& Header() const { return m_header; }
    /// Reads every band, or the window of every band, into raster (the header
    /// with the window's geo-reference). False with a message.
    bool Read(Raster& raster, std::string& error, const IO::XWindow* window = nullptr,
              const ProgressSpan& progress = {}) const;

private:
    std::string m_path;
    std::unique_ptr<GDALDataset, void (*)(GDALDataset*)> m_dataset;
    Raster m_header;
    /// The type the bands are read as: the file's, or Float64 for 64-bit
    /// integers, which the statistics and the resampler do not take.
    int m_readType = XDT_NONE;
};

/// Opens and reads a whole raster.
bool ReadRaster(const std::string& path, Raster& raster, std::string& error, const ProgressSpan& progress = {});

/// How an output is written: a GDAL driver name (empty: from the extension)
/// and creation options NAME=VALUE.
struct WriteOptions {
    std::string format;
    std::vector<std::string> creationOptions;
};

/// Checks, before any work, that the output can be written: the format is
/// known and writable, and holds the sample type (XDT_NONE: not checked).
bool CheckOutput(const std::string& path, const WriteOptions& options, int dataType, std::string& error);

/// Writes the raster to path through a temporary name that is renamed, with
/// any side files GDAL wrote, only when the file is complete.
bool WriteRaster(const std::string& path, const Raster& raster, const WriteOptions& options, std::string& error,
                 const ProgressSpan& progress = {});

/// Short text for a sample type: "UInt8", "Int16", "Float32", ...
const char* SampleTypeName(int dataType);

/// Text of the version of GDAL in use, e.g. "GDAL 3.6.2".
std::string GdalVersion();

} // namespace Pelmora::Tivra::Tool
