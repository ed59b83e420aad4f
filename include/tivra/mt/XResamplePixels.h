// Resampling a grid through a coordinate mapping on every processor.
#pragma once

#include <cstdint>

#include <tivra/geo/XVertex.h>
#include <tivra/grid/XGrid.h>
#include <tivra/mt/XMatrix.h>
#include <tivra/mt/XProjectiveWarp.h>
#include <tivra/mt/XWarpCoeff.h>
#include <tivra/runtime/XParallelProcess.h>

namespace Pelmora::Tivra::MT {

/// A per-destination-pixel map of source positions: element r * m_nCols + c
/// holds the source position (x = column, y = row) of destination pixel
/// (r, c). The caller owns the storage.
struct XCoordMap {
    const XVertex2<double>* m_pData = nullptr;
    int32_t m_nRows = 0;
    int32_t m_nCols = 0;
};

/// Fills a destination grid by mapping each destination pixel (c, r) to a
/// source position and interpolating the source there (nearest, bilinear or
/// cubic, as XGrid::GetValueInterpolated does). The mapping is a coordinate
/// map, a projective warp or a polynomial warp (an XWarp2D maps piecewise);
/// it maps destination pixel coordinates to source pixel coordinates.
///
/// The destination is first filled with the background value; pixels whose
/// source position is marked NAN_REAL64 in either coordinate, or falls
/// outside the source, keep it. Destination row r is computed by worker
/// r mod n of the pool, so the image does not depend on the worker count.
/// Each worker reports its share of rows done through OnMessagePercent, so
/// GetPercent() follows the job from another thread. Stop() (or a subclass
/// setting m_bStop during the pass) ends every worker after its current row:
/// the run then returns false and each destination row holds either its
/// resampled values or the background.
///
/// In-memory grids of one of the common one-channel types (UINT08, UINT16,
/// SINT16, REAL32, REAL64), the same on both sides, take row kernels compiled
/// per type, method and mapping (four pixels at a time on processors with
/// AVX2); they compute the very same values as the general path through
/// GetValueInterpolated and SetValue, which every other grid takes. None of the pointers is owned; the source, destination and
/// mapping must not change during a run.
class XResamplePixels : public XParallelProcess {
public:
    XResamplePixels();
    ~XResamplePixels() override;

    void Process(int nIndex) override;

    // One run each on this object's pool. False, with nothing written, when
    // a pointer is null, the method is not one of the three, or a coordinate
    // map does not have the destination's shape.
    bool ResampleByCoordMap(const XGrid* pSrc, XGrid* pDst, const XCoordMap* pMap, int nInterpolation,
                            double dBackground);
    bool ResampleByProjective(const XGrid* pSrc, XGrid* pDst, const XProjectiveWarp* pWarp, int nInterpolation,
                              double dBackground);
    bool ResampleByWarp(const XGrid* pSrc, XGrid* pDst, XWarpCoeff* pWarp, int nInterpolation,
                        double dBackground);

    /// The fastest code Process may use: the general path alone, also the
    /// scalar row kernels, or also the vector ones where the processor has
    /// them (the default). Every choice gives the same image, bit for bit; the
    /// narrower ones are the references that the faster ones are tested
    /// against.
    enum eKernels { KERNELS_GENERAL, KERNELS_SCALAR, KERNELS_VECTOR };
    void SetKernels(eKernels nKernels) { m_nKernels = nKernels; }

    const XGrid* m_pSrc;
    XGrid* m_pDst;
    const XCoordMap* m_pCoordMap;
    const XProjectiveWarp* m_pProjective;
    XWarpCoeff* m_pWarp;
    int32_t m_nInterpolation;

private:
    /// Checks the arguments, sets the members (one mapping) and runs.
    bool Begin(const XGrid* pSrc, XGrid* pDst, const XCoordMap* pMap, const XProjectiveWarp* pProjective,
               XWarpCoeff* pWarp, int nInterpolation, double dBackground);
    bool Start(double dBackground);
    eKernels m_nKernels;
};

// Entry functions that build a pool for the call. A matrix destination is
// seen as a REAL64 grid of the matrix's shape over the matrix's storage.
bool ResampleByCoordMap(const XGrid* pSrc, XGrid* pDst, const XCoordMap* pMap, int nInterpolation,
                        double dBackground);
bool ResampleByCoordMap(const XGrid* pSrc, XMatrix* pDst, const XCoordMap* pMap, int nInterpolation,
                        double dBackground);
bool ResampleByProjective(const XGrid* pSrc, XGrid* pDst, const XProjectiveWarp* pWarp, int nInterpolation,
                          double dBackground);
bool ResampleByProjective(const XGrid* pSrc, XMatrix* pDst, const XProjectiveWarp* pWarp, int nInterpolation,
                          double dBackground);
bool ResampleByWarp(const XGrid* pSrc, XGrid* pDst, XWarpCoeff* pWarp, int nInterpolation, double dBackground);
bool ResampleByWarp(const XGrid* pSrc, XMatrix* pDst, XWarpCoeff* pWarp, int nInterpolation, double dBackground);

} // namespace Pelmora::Tivra::MT
