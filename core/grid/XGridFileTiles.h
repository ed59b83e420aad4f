// A per-thread cache of small tiles of a grid file, for readers that jump
// about the grid (interpolation through a warp) (internal).
//
// Reading a grid file one sample at a time costs a seek and a guarded copy
// per sample. A warp reads each source sample several times, from positions
// that move along slanted lines, so the cache keeps a neighbourhood of tiles
// in memory: tiles of kTileRows x kTileCols samples, each loaded by one row
// span copy per tile row, in a direct-mapped table of kSlots x kSlots tiles
// indexed by tile row and tile column modulo kSlots. A slanted line of
// destination pixels then meets each tile once for many pixels, and the next
// destination rows find the same tiles again.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include <tivra/grid/XGridFile.h>

#include "grid/XGridReaders.h"

namespace Pelmora::Tivra::GridSamples {

class GridFileTiles {
public:
    static constexpr int kTileRowsLog2 = 5;  ///< 32 rows
    static constexpr int kTileColsLog2 = 6;  ///< 64 samples
    static constexpr int kTileRows = 1 << kTileRowsLog2;
    static constexpr int kTileCols = 1 << kTileColsLog2;
    /// 16 x 16 slots: 512 source rows by 1024 columns held at once, from
    /// 512 KiB (one-byte samples) to 8 MiB (16-byte samples) per cache.
    static constexpr int kSlots = 16;

    /// The grid file must outlive the cache and be used by this thread only.
    explicit GridFileTiles(const XGridFile& file)
        : m_file(file), m_nSize(file.GetDataSize()), m_nTileCount((file.GetCSize() + kTileCols - 1) >> kTileColsLog2),
          m_tags(size_t(kSlots) * kSlots, -1),
          m_samples(size_t(kSlots) * kSlots * kTileRows * kTileCols * size_t(file.GetDataSize()))
    {
    }

    /// The stored bytes of sample (r, c), inside the grid; null when its tile
    /// cannot be read.
    const uint8_t* Sample(int r, int c)
    {
        const int tr = r >> kTileRowsLog2, tc = c >> kTileColsLog2;
        const int slot = (tr % kSlots) * kSlots + tc % kSlots;
        const int64_t tag = int64_t(tr) * m_nTileCount + tc;
        uint8_t* tile = m_samples.data() + size_t(slot) * kTileRows * kTileCols * size_t(m_nSize);
        if (m_tags[slot] != tag && !Load(tile, tr, tc, slot, tag)) return nullptr;
        return tile + (size_t((r & (kTileRows - 1)) << kTileColsLog2) + size_t(c & (kTileCols - 1))) * size_t(m_nSize);
    }

private:
    bool Load(uint8_t* tile, int tr, int tc, int slot, int64_t tag)
    {
        const int r0 = tr << kTileRowsLog2, c0 = tc << kTileColsLog2;
        const int rows = std::min(kTileRows, m_file.GetRSize() - r0), cols = std::min(kTileCols, m_file.GetCSize() - c0);
        m_tags[slot] = -1;
        for (int i = 0; i < rows; ++i)
            if (!m_file.ReadRow(r0 + i, c0, cols, tile + size_t(i) * kTileCols * size_t(m_nSize))) return false;
        m_tags[slot] = tag;
        return true;
    }

    const XGridFile& m_file;
    int m_nSize;
    int m_nTileCount;  ///< tiles across a row
    std::vector<int64_t> m_tags;
    std::vector<uint8_t> m_samples;
};

/// Reads samples of type S through a tile cache, as XGridFile::GetValue
/// decodes them.
template <class S>
struct TileReader {
    GridFileTiles* pTiles;
    bool operator()(int r, int c, double* v) const
    {
        const uint8_t* p = pTiles->Sample(r, c);
        if (!p) return false;
        for (int k = S::kChannels; k < 4; ++k) v[k] = NAN_REAL64;
        S::Get(p, v);
        return true;
    }
};

template <class S>
struct ReaderChannels<TileReader<S>> {
    static constexpr int value = S::kChannels;
};

} // namespace Pelmora::Tivra::GridSamples
