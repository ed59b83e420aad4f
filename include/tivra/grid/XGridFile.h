// XGridFile: a raster grid whose samples live in a scratch file, read and
// written through a sliding memory-mapped window.
#pragma once

#include <cstdint>

#include <tivra/grid/XGrid.h>
#include <tivra/runtime/XMMFile.h>

namespace Pelmora::Tivra {

/// A grid larger than memory (or than the address space): the samples are
/// stored exactly as an in-memory grid stores them (rows after one another,
/// no padding, sample (r, c) at byte (r * columns + c) * DATASIZE[type],
/// computed in 64 bits, so the block may exceed 2^31 bytes) in a scratch file
/// of the temporary directory, and GetValue and SetValue go through the
/// window of an XMMFile, 1 GiB long (XMMFile::kMaxWindow), so that sweeps
/// move it rarely and a grid file of up to 1 GiB stays mapped between passes
/// (the window costs address space, not memory). m_pData stays null and m_nAllocSize 0; every grid
/// operation (subsets, flips, fill, half size, window mean, interpolation,
/// statistics, resampling, convolution) works on a grid file and gives the
/// same samples as on an in-memory grid with the same samples.
///
/// Row path. Statistics, the rectangle form of SetSubset (and so Fill),
/// GetSubset, the flips, copies into in-memory grids and the resampler's
/// writes move whole row spans through the window (ReadRow, WriteRow)
/// instead of one virtual call per sample, converting the samples with the
/// same per-type code as the in-memory paths. The resampler runs its row
/// kernels on the mapped bytes of a source (and destination) grid file that
/// lies whole in one window (up to 1 GiB), inside the window's fault guard,
/// and otherwise reads a source grid file through a per-worker cache of
/// small tiles loaded as row spans.
/// The results are byte for byte those of the per-sample path. A class
/// derived from XGridFile takes the per-sample path (it may override the
/// accessors). Window mean, half size and interpolation at a point read
/// row spans too (the columns they need of up to four rows at a time); the
/// memory form of SetSubset goes sample by sample.
///
/// Scratch files. Each Alloc creates a new scratch file exclusively (see
/// XMMFile::CreateTemp): the temporary names repeat within one millisecond,
/// so a grid file made right after another gets the next free suffixed name
/// rather than the other's file. Free, a new Alloc and destruction remove it,
/// also after a failed Alloc.
///
/// Threads. A grid file moves one window and one position even to read, so
/// one object must not be used by two threads at once, not even for reading.
/// For work on several threads OpenView gives each thread its own grid file
/// object over the same scratch file, with its own window (read-only, or
/// read-write for writers of disjoint samples); the resampler does this for
/// a grid-file source and destination on every worker.
///
/// Assignment from any grid copies its shape, samples and geo-reference into
/// a new scratch file; Adopt moves another grid file's backing file.
class XGridFile : public XGrid {
public:
    XGridFile();
    XGridFile(int nRows, int nCols, int nDataType);
    /// A grid file with src's shape, samples and geo-reference.
    XGridFile(const XGridFile& src);
    ~XGridFile() override;

    bool IsValid() const override;
    /// A new zero-filled scratch file of DATASIZE[type] x rows x columns
    /// bytes; the old one is removed first, and its samples are never kept.
    /// False, with nothing changed, for a size that is not positive or whose
    /// byte count does not fit a file offset (2^63 - 1); false, with the grid
    /// invalid, when the scratch file cannot be made.
    bool Alloc(int nRows, int nCols, int nDataType) override;
    void Free() override;
    using XGrid::GetValue;
    bool GetValue(int nRow, int nCol, double& a, double& b, double& c, double& d) const override;
    void SetValue(int nRow, int nCol, double a, double b, double c, double d) override;
    XGrid& operator=(const XGrid& src) override;
    XGridFile& operator=(const XGridFile& src);

    /// Takes over the other grid file's backing file (its own is removed);
    /// this grid keeps its shape, type and geo-reference, so samples are
    /// read from the adopted file as this grid lays them out, and those
    /// beyond the file's end read as failures. The other is left empty, so
    /// exactly one object owns the scratch file. Adopting itself does
    /// nothing.
    virtual XGridFile* Adopt(XGridFile* pOther);

    /// Copies nCount samples of row nRow from column nCol, as stored, into
    /// pBuffer (nCount * DATASIZE[type] bytes); false when the grid is not
    /// valid, the span leaves the grid or the file cannot be read.
    bool ReadRow(int nRow, int nCol, int nCount, void* pBuffer) const;
    /// Calls pfn with the stored bytes of nCount samples of row nRow from
    /// column nCol: in place in the window, or copied into pScratch (nCount *
    /// DATASIZE[type] bytes) when the span crosses windows; see XMMFile::Visit
    /// for what pfn may do. False as ReadRow, and for a span longer than
    /// kMaxVisitBytes (one window).
    bool VisitRow(int nRow, int nCol, int nCount, XMMFile::XVisitFn pfn, void* pContext, void* pScratch) const;
    /// The longest span VisitRow takes, in bytes: one window.
    static constexpr uint64_t kMaxVisitBytes = XMMFile::kMaxWindow;

    /// Stores nCount samples, already encoded, at row nRow from column nCol;
    /// false when the span leaves the grid or the file cannot be written.
    bool WriteRow(int nRow, int nCol, int nCount, const void* pBuffer);

    /// Makes pView a grid file over this one's scratch file with its own
    /// window, and this grid's shape, type and geo-reference; pView never
    /// removes the file, and must be freed or destroyed before this grid
    /// frees it. False when this grid is not valid or the file cannot be
    /// opened.
    bool OpenView(XGridFile& rView, bool bWritable) const;

    /// The backing file; null when the grid is empty.
    const XMMFile* GetMMFile() const { return m_pMMFile; }
    XMMFile* GetMMFile() { return m_pMMFile; }

    /// This grid as a grid file whose accessors are XGridFile's own (so the
    /// row path applies); null for any other grid.
    static const XGridFile* AsRowGrid(const XGrid* pGrid);
    static XGridFile* AsRowGrid(XGrid* pGrid);

protected:
    XMMFile* m_pMMFile;

private:
    /// Byte offset of sample (nRow, nCol).
    uint64_t Offset(int nRow, int nCol) const;
    /// True for a sample of a valid grid. The per-sample accessors check it
    /// (unlike an in-memory grid's): an offset of a position outside the
    /// grid may wrap around to another sample's.
    bool Inside(int nRow, int nCol) const;
    /// Positions the file at a sample span; false when it is out of range.
    bool SeekSpan(int nRow, int nCol, int nCount) const;
};

} // namespace Pelmora::Tivra
