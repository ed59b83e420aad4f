#include <tivra/grid/XColorize.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "grid/XGridReaders.h"

namespace Pelmora::Tivra::Xfn {

namespace {

/// Every row of the source through one reader; one dispatch per call.
template <class Reader>
void ColorizeRows(const Reader& read, int rows, int cols, const uint8_t (&lut)[3][256], double low, double scale,
                  double noData, uint8_t* pRgb)
{
    double v[4];
    for (int r = 0; r < rows; ++r) {
        uint8_t* out = pRgb + std::ptrdiff_t(r) * cols * 3;
        for (int c = 0; c < cols; ++c, out += 3) {
            if (!read(r, c, v) || v[0] == noData || std::isnan(v[0])) {
                out[0] = out[1] = out[2] = 0;
                continue;
            }
            const int k = static_cast<int>(std::lround(std::clamp((v[0] - low) * scale, 0.0, 255.0)));
            out[0] = lut[0][k];
            out[1] = lut[1][k];
            out[2] = lut[2][k];
        }
    }
}

} // namespace

bool Colorize(const XGrid& src, _XCOLORTABLE palette, double dLow, double dHigh, double dNoData, XGrid& dst)
{
    uint8_t lut[3][256];
    if (&src == &dst || !src.IsValid() || !GetPalette(palette, lut[0], lut[1], lut[2])) return false;
    const int rows = src.GetRSize(), cols = src.GetCSize();
    if (!dst.AllocExact(rows, cols, XDT_RGB)) return false;
    dst.SetGeoOrigin(src.GetGeoTop(), src.GetGeoLeft()).SetGeoSpacing(src.GetRowSpacing(), src.GetColSpacing());
    // A reversed or empty range maps everything to the first entry.
    const double scale = dHigh > dLow ? 255.0 / (dHigh - dLow) : 0.0;
    uint8_t* pRgb = dst.GetData();
    if (src.HasDirectSampleAccess() &&
        GridSamples::DispatchSampleType(src.GetDataType(), [&]<class S>() {
            ColorizeRows(GridSamples::TypedReader<S>{src.GetData(), cols}, rows, cols, lut, dLow, scale, dNoData,
                         pRgb);
        }))
        return true;
    ColorizeRows(GridSamples::VirtualReader{&src}, rows, cols, lut, dLow, scale, dNoData, pRgb);
    return true;
}

} // namespace Pelmora::Tivra::Xfn
