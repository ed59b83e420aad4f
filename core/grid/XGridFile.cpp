#include <tivra/grid/XGridFile.h>

#include <algorithm>
#include <typeinfo>

#include "grid/XGridSamples.h"

namespace Pelmora::Tivra {

using namespace GridSamples;

namespace {

bool IsKnownType(int type) { return type >= XDT_FIRST && type <= XDT_LAST; }

/// The largest sample, a complex pair of 64-bit numbers.
constexpr int kMaxSampleBytes = 16;
/// Bytes per XMMFile call of the row path: a row of 16-byte samples may be
/// longer than the 32-bit counts of Read and Write.
constexpr uint64_t kMaxCopy = uint64_t(1) << 30;
/// Window length of a grid file's backing file: sweeps over the samples
/// (statistics, subsets, the resampler's reads) move a long window rarely,
/// and its pages stay mapped between passes; it costs address space only.
constexpr uint32_t kWindowBytes = XMMFile::kMaxWindow;

} // namespace

XGridFile::XGridFile() : m_pMMFile(nullptr) {}

XGridFile::XGridFile(int nRows, int nCols, int nDataType) : XGridFile() { XGridFile::Alloc(nRows, nCols, nDataType); }

XGridFile::XGridFile(const XGridFile& src) : XGridFile() { *this = src; }

XGridFile::~XGridFile() { delete m_pMMFile; }

const XGridFile* XGridFile::AsRowGrid(const XGrid* pGrid)
{
    return pGrid && typeid(*pGrid) == typeid(XGridFile) ? static_cast<const XGridFile*>(pGrid) : nullptr;
}

XGridFile* XGridFile::AsRowGrid(XGrid* pGrid)
{
    return const_cast<XGridFile*>(AsRowGrid(static_cast<const XGrid*>(pGrid)));
}

bool XGridFile::IsValid() const
{
    return m_nRSize >= 1 && m_nCSize >= 1 && m_pMMFile != nullptr && m_pMMFile->IsOpen();
}

bool XGridFile::Alloc(int nRows, int nCols, int nDataType)
{
    if (!IsKnownType(nDataType) || nRows <= 0 || nCols <= 0) return false;
    // The byte count must fit a file offset (signed 64 bits); checked, as
    // a wrapped count would make a short file that claims every sample.
    int64_t nSamples = 0, nBytes = 0;
    if (__builtin_mul_overflow(int64_t(nRows), int64_t(nCols), &nSamples) ||
        __builtin_mul_overflow(nSamples, int64_t(DATASIZE[nDataType]), &nBytes))
        return false;
    Free();
    m_pMMFile = new XMMFile;
    m_pMMFile->SetWindowSize(kWindowBytes);
    // On failure the file object stays, holding its message, and the grid
    // is not valid until the next Alloc or Free.
    if (!m_pMMFile->CreateTemp(uint64_t(nBytes))) return false;
    m_nRSize = nRows;
    m_nCSize = nCols;
    m_nDataType = nDataType;
    ResetGeoReference();
    return true;
}

void XGridFile::Free()
{
    XGrid::Free();
    delete m_pMMFile;
    m_pMMFile = nullptr;
}

uint64_t XGridFile::Offset(int nRow, int nCol) const
{
    return (uint64_t(nRow) * uint64_t(m_nCSize) + uint64_t(nCol)) * uint64_t(DATASIZE[m_nDataType]);
}

bool XGridFile::Inside(int nRow, int nCol) const
{
    return IsValid() && nRow >= 0 && nRow < m_nRSize && nCol >= 0 && nCol < m_nCSize;
}

bool XGridFile::GetValue(int nRow, int nCol, double& a, double& b, double& c, double& d) const
{
    double v[4] = {NAN_REAL64, NAN_REAL64, NAN_REAL64, NAN_REAL64};
    bool ok = false;
    if (Inside(nRow, nCol) && m_pMMFile->Seek(Offset(nRow, nCol))) {
        uint8_t sample[kMaxSampleBytes];
        const uint32_t size = uint32_t(DATASIZE[m_nDataType]);
        if (m_pMMFile->Read(sample, size) == size)
            ok = DispatchSampleType(m_nDataType, [&]<class S>() { S::Get(sample, v); });
    }
    a = v[0];
    b = v[1];
    c = v[2];
    d = v[3];
    return ok;
}

void XGridFile::SetValue(int nRow, int nCol, double a, double b, double c, double d)
{
    if (!Inside(nRow, nCol)) return;
    double v[4] = {a, b, c, d};
    PrepareForStore(m_nDataType, v);
    uint8_t sample[kMaxSampleBytes];
    DispatchSampleType(m_nDataType, [&]<class S>() { S::Put(sample, v); });
    if (m_pMMFile->Seek(Offset(nRow, nCol))) m_pMMFile->Write(sample, uint32_t(DATASIZE[m_nDataType]));
}

bool XGridFile::SeekSpan(int nRow, int nCol, int nCount) const
{
    if (!IsValid() || nRow < 0 || nRow >= m_nRSize || nCol < 0 || nCount < 0 || nCount > m_nCSize - nCol)
        return false;
    return nCount == 0 || m_pMMFile->Seek(Offset(nRow, nCol));
}

bool XGridFile::ReadRow(int nRow, int nCol, int nCount, void* pBuffer) const
{
    if (!SeekSpan(nRow, nCol, nCount)) return false;
    auto* p = static_cast<uint8_t*>(pBuffer);
    for (uint64_t nLeft = uint64_t(nCount) * uint64_t(DATASIZE[m_nDataType]); nLeft > 0;) {
        const uint32_t n = uint32_t(std::min<uint64_t>(nLeft, kMaxCopy));
        if (m_pMMFile->Read(p, n) != n) return false;
        p += n;
        nLeft -= n;
    }
    return true;
}

bool XGridFile::VisitRow(int nRow, int nCol, int nCount, XMMFile::XVisitFn pfn, void* pContext,
                         void* pScratch) const
{
    const uint64_t nBytes = uint64_t(nCount) * uint64_t(DATASIZE[m_nDataType]);
    if (!SeekSpan(nRow, nCol, nCount) || nBytes > kMaxVisitBytes) return false;
    if (nBytes == 0) return true;
    // The mapped file clips a visit to the file's end, but readers of a row
    // take it whole: a file found shorter (cut by someone else, and reopened
    // after the fault that showed it) fails the row instead.
    if (Offset(nRow, nCol) + nBytes > m_pMMFile->GetLength()) return false;
    return m_pMMFile->Visit(Offset(nRow, nCol), uint32_t(nBytes), pfn, pContext, pScratch);
}

bool XGridFile::WriteRow(int nRow, int nCol, int nCount, const void* pBuffer)
{
    if (!SeekSpan(nRow, nCol, nCount)) return false;
    const auto* p = static_cast<const uint8_t*>(pBuffer);
    for (uint64_t nLeft = uint64_t(nCount) * uint64_t(DATASIZE[m_nDataType]); nLeft > 0;) {
        const uint32_t n = uint32_t(std::min<uint64_t>(nLeft, kMaxCopy));
        if (m_pMMFile->Write(p, n) != n) return false;
        p += n;
        nLeft -= n;
    }
    return true;
}

XGrid& XGridFile::operator=(const XGrid& src)
{
    if (this == &src) return *this;
    // GetSubset allocates a new scratch file of src's shape and type and
    // copies the geo-reference; an empty source only passes its geo-reference,
    // as for an in-memory grid.
    if (!src.IsValid() || !src.GetSubset(this, 0, src.GetRSize() - 1, 0, src.GetCSize() - 1)) {
        m_dTop = src.GetGeoTop();
        m_dLeft = src.GetGeoLeft();
        m_dRowSpacing = src.GetRowSpacing();
        m_dColSpacing = src.GetColSpacing();
    }
    return *this;
}

XGridFile& XGridFile::operator=(const XGridFile& src)
{
    operator=(static_cast<const XGrid&>(src));
    return *this;
}

XGridFile* XGridFile::Adopt(XGridFile* pOther)
{
    if (!pOther || pOther == this) return this;
    // Only the backing file changes hands: this grid keeps its shape, type
    // and geo-reference.
    delete m_pMMFile;
    m_pMMFile = pOther->m_pMMFile;
    pOther->m_pMMFile = nullptr;
    pOther->Free();
    return this;
}

bool XGridFile::OpenView(XGridFile& rView, bool bWritable) const
{
    if (&rView == this || !IsValid()) return false;
    rView.Free();
    rView.m_pMMFile = new XMMFile;
    rView.m_pMMFile->SetWindowSize(kWindowBytes);
    if (!rView.m_pMMFile->Open(m_pMMFile->GetFileName(), bWritable ? XMMFile::modeReadWrite : XMMFile::modeRead) ||
        rView.m_pMMFile->GetLength() != m_pMMFile->GetLength()) {
        rView.Free();
        return false;
    }
    rView.m_nRSize = m_nRSize;
    rView.m_nCSize = m_nCSize;
    rView.m_nDataType = m_nDataType;
    rView.m_dTop = m_dTop;
    rView.m_dLeft = m_dLeft;
    rView.m_dRowSpacing = m_dRowSpacing;
    rView.m_dColSpacing = m_dColSpacing;
    return true;
}

} // namespace Pelmora::Tivra
