#include <tivra/mt/XConvolve.h>

#include <algorithm>
#include <type_traits>
#include <vector>

#include <tivra/runtime/XParallelProcess.h>

#include "grid/XGridSamples.h"

namespace Pelmora::Tivra::MT {

using GridSamples::TruncToInt64;

namespace {

/// The arithmetic of one output type. Integer outputs compute in the unsigned
/// type of their width, which wraps modulo 2^width without undefined
/// behaviour; the bits are those of the signed arithmetic.
template <class T, bool Integer = std::is_integral_v<T>>
struct AccumulatorOf {
    using type = T;
};
template <class T>
struct AccumulatorOf<T, true> {
    using type = std::make_unsigned_t<T>;
};

template <class OutT>
struct OutArith {
    static constexpr bool kInteger = std::is_integral_v<OutT>;
    using Acc = typename AccumulatorOf<OutT>::type;

    /// A kernel element in the output type.
    static Acc Element(double k)
    {
        if constexpr (kInteger) return static_cast<Acc>(TruncToInt64(k));
        else return static_cast<OutT>(k);
    }

    /// Source sample times kernel element, formed in the output type.
    template <class SrcT>
    static Acc Product(SrcT s, Acc k)
    {
        if constexpr (!kInteger) {
            return static_cast<OutT>(s) * k;
        } else if constexpr (std::is_floating_point_v<SrcT>) {
            // Formed in the source's floating type, truncated toward zero.
            return static_cast<Acc>(TruncToInt64(s * static_cast<SrcT>(static_cast<OutT>(k))));
        } else {
            // The sample converted to the output type, multiplied modulo 2^width.
            return static_cast<Acc>(static_cast<uint64_t>(static_cast<Acc>(static_cast<OutT>(s))) *
                                    static_cast<uint64_t>(k));
        }
    }

    static OutT Result(Acc a) { return static_cast<OutT>(a); }
};

/// One output row y of the correlation of a W-wide, H-high source.
template <class SrcT, class OutT>
void ConvolveRow(const SrcT* src, int H, int W, const typename OutArith<OutT>::Acc* k, int kh, int kw, int edge,
                 int y, typename OutArith<OutT>::Acc* acc, SrcT* pad, OutT* out)
{
    using A = OutArith<OutT>;
    std::fill(acc, acc + W, typename A::Acc{});
    for (int j = 0; j < kh; ++j) {
        int sy = y - kh / 2 + j;
        if (edge == XCONV_EDGE_CLAMP) sy = std::clamp(sy, 0, H - 1);
        else if (sy < 0 || sy >= H) continue;
        const SrcT* row = src + std::ptrdiff_t(sy) * W;
        if (edge == XCONV_EDGE_CLAMP) {
            // The row with kw/2 repeated edge samples on the left and the rest on the right.
            std::fill(pad, pad + kw / 2, row[0]);
            std::copy(row, row + W, pad + kw / 2);
            std::fill(pad + kw / 2 + W, pad + W + kw - 1, row[W - 1]);
            for (int i = 0; i < kw; ++i) {
                const auto kv = k[j * kw + i];
                const SrcT* p = pad + i;
                for (int x = 0; x < W; ++x) acc[x] += A::Product(p[x], kv);
            }
        } else {
            for (int i = 0; i < kw; ++i) {
                const auto kv = k[j * kw + i];
                const int off = i - kw / 2;
                const int xlo = std::max(0, -off), xhi = std::min(W, W - off);
                const SrcT* p = row + off;
                for (int x = xlo; x < xhi; ++x) acc[x] += A::Product(p[x], kv);
            }
        }
    }
    for (int x = 0; x < W; ++x) out[x] = A::Result(acc[x]);
}

/// Deals the rows out to the pool in contiguous bands.
template <class SrcT, class OutT>
class ConvolveRows : public XParallelProcess {
public:
    ConvolveRows(const SrcT* src, int H, int W, const XMatrix& kernel, int edge, OutT* out)
        : m_pSrc(src), m_nH(H), m_nW(W), m_nKh(kernel.GetRows()), m_nKw(kernel.GetCols()), m_nEdge(edge), m_pOut(out)
    {
        for (int i = 0; i < m_nKh * m_nKw; ++i) m_Kernel.push_back(OutArith<OutT>::Element(kernel.GetData()[i]));
    }
    ~ConvolveRows() override { CloseThreads(); }

    void Process(int nIndex) override
    {
        const int n = m_nThreads > 0 ? m_nThreads : 1;
        const int y0 = int(int64_t(m_nH) * nIndex / n), y1 = int(int64_t(m_nH) * (nIndex + 1) / n);
        std::vector<typename OutArith<OutT>::Acc> acc(static_cast<size_t>(m_nW));
        std::vector<SrcT> pad(static_cast<size_t>(m_nW + m_nKw - 1));
        for (int y = y0; y < y1; ++y)
            ConvolveRow<SrcT, OutT>(m_pSrc, m_nH, m_nW, m_Kernel.data(), m_nKh, m_nKw, m_nEdge, y, acc.data(),
                                    pad.data(), m_pOut + std::ptrdiff_t(y) * m_nW);
    }

private:
    const SrcT* m_pSrc;
    int m_nH, m_nW, m_nKh, m_nKw, m_nEdge;
    OutT* m_pOut;
    std::vector<typename OutArith<OutT>::Acc> m_Kernel;
};

/// A one-number type, and one whose number is a 64-bit integer.
template <class S>
constexpr bool kScalar = DATATYPE_TABLE[S::kCode].family == XSF_SCALAR;
template <class S>
constexpr bool kWideInteger = std::is_integral_v<typename S::Element> && sizeof(typename S::Element) == 8;

/// Sources: the scalar types but the 64-bit integers.
struct SourceTypes {
    template <class S>
    static constexpr bool kKeep = kScalar<S> && !kWideInteger<S>;
};

/// Outputs: the signed scalar types, the reals included.
struct OutputTypes {
    template <class S>
    static constexpr bool kKeep = kScalar<S> && std::is_signed_v<typename S::Element>;
};

/// Calls f.template operator()<T>() with the element type T of a source type;
/// false (f not called) for the other types.
template <class F>
bool DispatchSourceType(int type, F&& f)
{
    return GridSamples::DispatchSampleTypeIf<SourceTypes>(
        type, [&]<class S>() { f.template operator()<typename S::Element>(); });
}

/// The same for the output types.
template <class F>
bool DispatchOutputType(int type, F&& f)
{
    return GridSamples::DispatchSampleTypeIf<OutputTypes>(
        type, [&]<class S>() { f.template operator()<typename S::Element>(); });
}

bool IsOutputType(int type) { return DispatchOutputType(type, []<class T>() {}); }

} // namespace

bool Convolve(const XGrid* pSrc, const XMatrix* pKernel, XGrid* pDst, int nEdgeMode, int nOutputType)
{
    if (!pSrc || !pKernel || !pDst || pSrc == pDst || !IsOutputType(nOutputType)) return false;
    if (pKernel->GetRows() < 1 || pKernel->GetCols() < 1 || !pKernel->GetData()) return false;
    const int H = pSrc->GetRSize(), W = pSrc->GetCSize();
    if (!pDst->Alloc(H, W, nOutputType)) return false;

    // The workers read and write raw typed rows. A grid whose samples are not
    // directly accessible (a grid file, a class with its own accessors) is
    // copied into memory first, or written back sample by sample afterwards.
    XGrid srcCopy, dstMemory;
    const XGrid* src = pSrc;
    if (!pSrc->HasDirectSampleAccess()) {
        if (!pSrc->GetSubset(&srcCopy, 0, H - 1, 0, W - 1)) return false;
        src = &srcCopy;
    }
    XGrid* dst = pDst;
    if (!pDst->HasDirectSampleAccess()) {
        if (!dstMemory.Alloc(H, W, nOutputType)) return false;
        dst = &dstMemory;
    }

    // Every output row is written whole by the worker whose band holds it, so
    // the destination is not cleared first.
    bool done = false;
    DispatchSourceType(src->GetDataType(), [&]<class SrcT>() {
        DispatchOutputType(nOutputType, [&]<class OutT>() {
            ConvolveRows<SrcT, OutT> rows(reinterpret_cast<const SrcT*>(src->GetData()), H, W, *pKernel, nEdgeMode,
                                          reinterpret_cast<OutT*>(dst->GetData()));
            done = rows.Run();
        });
    });
    if (!done) return false;
    if (dst != pDst) {
        double a;
        for (int r = 0; r < H; ++r)
            for (int c = 0; c < W; ++c) {
                dst->GetValue(r, c, a);
                pDst->SetFromREAL64(r, c, a);
            }
    }
    return true;
}

} // namespace Pelmora::Tivra::MT
