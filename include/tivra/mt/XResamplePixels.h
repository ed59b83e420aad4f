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
/// source position and interpolating the source there (nearest, bilinear,
/// radial or separable cubic, as XGrid::GetValueInterpolated does). The mapping is a coordinate
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
/// per type, method, mapping, store rule and no-data screen (four pixels at
/// a time on processors with AVX2); they compute the very same values as the
/// general path through GetValueInterpolated (or, with source no-data, the
/// same interpolation over GetValue) and SetValue, which every other grid
/// takes. A grid file (XGridFile) serves one thread at a time, so each worker
/// reads and writes it through views of its own (XGridFile::OpenView), and
/// writes a destination grid file a row at a time; a class derived from
/// XGridFile has no views, so one worker does every row then. None of the
/// pointers is owned; the source, destination and mapping must not change
/// during a run.
class XResamplePixels : public XParallelProcess {
public:
    XResamplePixels();
    ~XResamplePixels() override;

    void Process(int nIndex) override;

    // One run each on this object's pool. False, with nothing written, when
    // a pointer is null, the method is not one of the four, or a coordinate
    // map does not have the destination's shape.
    bool ResampleByCoordMap(const XGrid* pSrc, XGrid* pDst, const XCoordMap* pMap, int nInterpolation,
                            double dBackground);
    bool ResampleByProjective(const XGrid* pSrc, XGrid* pDst, const XProjectiveWarp* pWarp, int nInterpolation,
                              double dBackground);
    bool ResampleByWarp(const XGrid* pSrc, XGrid* pDst, XWarpCoeff* pWarp, int nInterpolation,
                        double dBackground);

    /// The fastest code Process may use: the general path alone, also the
    /// scalar row kernels, also the vector ones on the widest lanes the
    /// processor has (the default), or also vector ones but on four lanes
    /// (AVX2) even where wider ones exist. Every choice gives the same image,
    /// bit for bit; the narrower ones are the references that the faster ones
    /// are tested against.
    enum eKernels { KERNELS_GENERAL, KERNELS_SCALAR, KERNELS_VECTOR, KERNELS_VECTOR4 };
    void SetKernels(eKernels nKernels) { m_nKernels = nKernels; }

    /// How interpolated values are stored into a destination of an integer
    /// type (the integer scalars, their complex pairs and the colour types).
    /// Off (the default), SetValue's own rule: clamp to the type's range and
    /// truncate toward zero, so 254.9 becomes 254. On, each channel is first
    /// rounded to the nearest integer, halves away from zero (2.5 gives 3,
    /// -2.5 gives -3), and then clamped as before, so 254.9 becomes 255 and a
    /// flat area keeps its value where rounding errors of the interpolation
    /// fall just below it. Real destinations are stored as they are either
    /// way. Every kernel choice applies the same rule.
    void SetRounding(bool bRound) { m_bRounding = bRound; }
    bool GetRounding() const { return m_bRounding; }

    /// Source no-data. Off (the default), every source sample takes part in
    /// the interpolation. On, the source samples equal to dValue and the
    /// samples holding a non-number (NaN) never contribute to a destination
    /// pixel. A sample equals dValue when each of its channels does, compared
    /// in the source's own precision: for REAL32 sources as floats, so a
    /// no-data of 0.1 matches the samples that hold the float nearest 0.1;
    /// every other type compares the decoded sample with dValue exactly. A
    /// dValue of NaN screens out the non-numbers alone.
    ///
    /// The rule, as gdalwarp applies it: a destination pixel whose kernel
    /// touches no-data is computed from the valid samples, or keeps the
    /// background when there are too few.
    ///  - nearest: a no-data sample leaves the background;
    ///  - bilinear: the bilinear weights of the valid samples among the four,
    ///    divided by their sum; when that sum is below 1e-6 (the position lies
    ///    on a no-data sample) the background stays;
    ///  - both cubics: a 4 x 4 window of valid samples is interpolated as
    ///    usual; a window holding any no-data sample falls back to the
    ///    bilinear rule above over its middle four samples, since spreading a
    ///    cubic's negative weights over a few valid samples can amplify them
    ///    without bound.
    /// A pixel whose window holds no no-data sample comes out exactly as
    /// without the option. Give the background the destination's own no-data
    /// value to keep the holes recognisable.
    void SetSourceNoData(bool bEnable, double dValue)
    {
        m_bSrcNoData = bEnable;
        m_dSrcNoData = dValue;
    }
    /// True when source no-data is on; dValue then receives its value.
    bool GetSourceNoData(double& dValue) const
    {
        if (m_bSrcNoData) dValue = m_dSrcNoData;
        return m_bSrcNoData;
    }

    /// Fills destination rows nFirstRow .. nEndRow - 1 of pDst (the
    /// destination itself when null, else a worker's own grid over it) with
    /// the pass's background. Process calls it for its own rows when
    /// WorkersFillBackground() is true (a destination in memory, or a grid
    /// file, which each worker fills through its own view); otherwise the
    /// destination was filled whole before the workers started.
    void FillBackground(int nFirstRow, int nEndRow, XGrid* pDst = nullptr);
    bool WorkersFillBackground() const { return m_bWorkersFill; }
    /// The background of the pass.
    double GetBackground() const { return m_dBackground; }

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
    bool m_bWorkersFill;
    double m_dBackground;
    bool m_bRounding;
    bool m_bSrcNoData;
    double m_dSrcNoData;
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
