// Sample readers and writers of the raster grid (internal), shared by the
// grid's own operations, the interpolation and the resampler. The algorithms
// are written once against this small interface: the typed forms address the
// sample block directly with one codec per type, the virtual forms go through
// GetValue/SetValue so that grids keeping their samples elsewhere behave the
// same. Both give the same values, so a specialised loop elsewhere produces
// exactly what the grid's own operations produce.
#pragma once

#include <cstddef>

#include <tivra/grid/XGrid.h>

#include "grid/XGridSamples.h"

namespace Pelmora::Tivra::GridSamples {

/// Reads (r, c) into v[4]; channels the type lacks stay NAN_REAL64.
template <class S>
struct TypedReader {
    const uint8_t* pBase;
    int nCols;
    bool operator()(int r, int c, double* v) const
    {
        // Get writes the type's own channels; only the others need the marker.
        for (int k = S::kChannels; k < 4; ++k) v[k] = NAN_REAL64;
        S::Get(pBase + (std::ptrdiff_t(r) * nCols + c) * S::kSize, v);
        return true;
    }
};

struct VirtualReader {
    const XGrid* pGrid;
    bool operator()(int r, int c, double* v) const { return pGrid->GetValue(r, c, v[0], v[1], v[2], v[3]); }
};

/// Writes v[4] to (r, c) exactly as SetValue does. A one-channel type stores
/// only channel a, so only that channel needs its clamp. With kRound each
/// channel is first rounded to the nearest integer (RoundForStore), which the
/// resampler asks for when it stores into integer types.
/// Vector copy: StoreLanes in mt/XResampleRowsSimd.h, kept identical by the test
/// MtResample.RowKernelsMatchTheGeneralPathBitForBit.
template <class S, bool kRound = false>
struct TypedWriter {
    uint8_t* pBase;
    int nCols;
    void operator()(int r, int c, const double* v) const
    {
        double w[4] = {v[0], v[1], v[2], v[3]};
        if constexpr (kRound)
            for (int k = 0; k < S::kChannels; ++k) w[k] = RoundForStore(w[k]);
        if constexpr (S::kChannels == 1) {
            constexpr double lo = DATATYPE_TABLE[S::kCode].rangeMin, hi = DATATYPE_TABLE[S::kCode].rangeMax;
            if (w[0] < lo) w[0] = lo;
            else if (w[0] > hi) w[0] = hi;
        } else {
            PrepareForStore(S::kCode, w);
        }
        S::Put(pBase + (std::ptrdiff_t(r) * nCols + c) * S::kSize, w);
    }
};

struct VirtualWriter {
    XGrid* pGrid;
    void operator()(int r, int c, const double* v) const { pGrid->SetValue(r, c, v[0], v[1], v[2], v[3]); }
};

/// Channels a reader delivers: a typed reader its type's count, the virtual
/// one all four.
template <class Reader>
struct ReaderChannels {
    static constexpr int value = 4;
};
template <class S>
struct ReaderChannels<TypedReader<S>> {
    static constexpr int value = S::kChannels;
};

} // namespace Pelmora::Tivra::GridSamples
