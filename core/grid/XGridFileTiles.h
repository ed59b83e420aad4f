// A per-thread cache of small tiles of a grid file, for readers that jump
// about the grid (interpolation through a warp) (internal).
//
// Reading a grid file one sample at a time costs a seek and a guarded copy
// per sample. A warp reads each source sample several times, from positions
// that move along slanted lines, so the cache keeps the tiles along such a
// line in memory: tiles of kTileRows x kTileCols samples, each loaded by one
// row span copy per tile row, in a direct-mapped table indexed by tile row
// modulo kSlotRows and tile column modulo a power of two that covers the
// grid's width where memory allows. A destination row then loads each tile
// it crosses once, and the next destination rows, which cross nearly the
// same tiles, find them again.
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
    /// Tile rows held per tile column: a line less steep than 45 degrees
    /// crosses one or two tile rows per tile column, and a bilinear or cubic
    /// window may reach into the next.
    static constexpr int kSlotRows = 4;  // a power of two
    /// Memory of one cache at most, which bounds the tile columns held for
    /// wide grids of large samples; narrower grids take less.
    static constexpr size_t kMaxBytes = size_t(32) << 20;

    /// The grid file must outlive the cache and be used by this thread only.
    explicit GridFileTiles(const XGridFile& file)
        : m_file(file), m_nSize(file.GetDataSize()), m_nTileCount((file.GetCSize() + kTileCols - 1) >> kTileColsLog2)
    {
        const size_t tileBytes = size_t(kTileRows) * kTileCols * size_t(m_nSize);
        m_nSlotCols = 1;
        while (m_nSlotCols < m_nTileCount && size_t(m_nSlotCols) * 2 * kSlotRows * tileBytes <= kMaxBytes)
            m_nSlotCols *= 2;
        m_tags.assign(size_t(kSlotRows) * m_nSlotCols, -1);
        m_samples.resize(m_tags.size() * tileBytes);
    }

    /// The stored bytes of sample (r, c), inside the grid; null when its tile
    /// cannot be read.
    [[gnu::always_inline]] const uint8_t* Sample(int r, int c)
    {
        const int tr = r >> kTileRowsLog2, tc = c >> kTileColsLog2;
        const int slot = (tr & (kSlotRows - 1)) * m_nSlotCols + (tc & (m_nSlotCols - 1));
        const int64_t tag = int64_t(tr) * m_nTileCount + tc;
        uint8_t* tile = m_samples.data() + size_t(slot) * kTileRows * kTileCols * size_t(m_nSize);
        if (m_tags[slot] != tag && !Load(tile, tr, tc, slot, tag)) return nullptr;
        return tile + (size_t((r & (kTileRows - 1)) << kTileColsLog2) + size_t(c & (kTileCols - 1))) * size_t(m_nSize);
    }

private:
    [[gnu::noinline]] bool Load(uint8_t* tile, int tr, int tc, int slot, int64_t tag)
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
    int m_nSlotCols;   ///< tile columns held, a power of two
    std::vector<int64_t> m_tags;
    std::vector<uint8_t> m_samples;
};

/// Reads samples of type S through a tile cache, as XGridFile::GetValue
/// decodes them.
template <class S>
struct TileReader {
    GridFileTiles* pTiles;
    [[gnu::always_inline]] bool operator()(int r, int c, double* v) const
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
