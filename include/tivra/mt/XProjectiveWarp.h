// The projective (eight-parameter) plane-to-plane mapping.
#pragma once

#include <cstdint>

#include <tivra/geo/XVertex.h>
#include <tivra/mt/XMatrix.h>

namespace Pelmora::Tivra::MT {

/// A projective mapping (x, y) -> (p / w, q / w) with (p, q, w) = H (x, y, 1),
/// fitted to control points by the normalised direct linear method: the
/// points are centred and scaled on each side, the homography of the
/// normalised points is the null vector of the stacked equations, and the
/// normalisations are undone. An unfitted object maps nothing (H is zero).
class XProjectiveWarp {
public:
    XProjectiveWarp();

    /// Fits H from the point pairs whose mask byte is non-zero (all when pMask
    /// is null). Source points are normalised as ((x - cx) s, (y - cy) s), the
    /// targets likewise with (cx2, cy2, s2). False, with the object unchanged,
    /// when a scale is 0, fewer than four points are used (the mapping would
    /// not be determined) or the decomposition fails. On success the mean
    /// squared x and y differences between mapped sources and targets over the
    /// used points are kept in m_dMeanSqrX and m_dMeanSqrY.
    bool Fit(const XVertex2<double>* pSrc, const XVertex2<double>* pDst, int n, double cx, double cy, double s,
             double cx2, double cy2, double s2, const uint8_t* pMask = nullptr);

    /// Maps (x, y) in place; false, leaving them, where w = 0.
    bool WarpPoint(double& x, double& y) const;

    /// (x, y) through the row-major 3 x 3 matrix h; false, leaving them, where w = 0.
    static bool Apply(const double* h, double& x, double& y)
    {
        const double p = h[0] * x + h[1] * y + h[2];
        const double q = h[3] * x + h[4] * y + h[5];
        const double w = h[6] * x + h[7] * y + h[8];
        if (w == 0.0) return false;
        x = p / w;
        y = q / w;
        return true;
    }

    /// A normalisation that conditions the fit well: the centroid of the used
    /// points and the scale that brings their mean distance from it to sqrt 2.
    /// s is 0 when fewer than one point is used or all coincide.
    static void GetNormalization(const XVertex2<double>* p, int n, const uint8_t* pMask, double& cx, double& cy,
                                 double& s);

    XMatrix m_H;
    /// Mean squared x and y differences of the last successful fit; 0 before any.
    double m_dMeanSqrX;
    double m_dMeanSqrY;
};

} // namespace Pelmora::Tivra::MT
