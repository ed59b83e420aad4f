// Polynomial plane-to-plane coordinate mappings.
#pragma once

#include <cstdint>

#include <tivra/geo/XVertex.h>

namespace Pelmora::Tivra {

/// Forms of the polynomial mapping; the public eWarpMethod uses the same numbers.
enum _XWARPMETHOD : int32_t {
    XWARP_NULL = -1,         ///< no valid mapping
    XWARP_NOCHANGE = 0,      ///< identity
    XWARP_LINEAR = 1,        ///< x' = a0 x + a1, y' = b0 y + b1
    XWARP_AFFINE = 2,        ///< x' = a0 x + a1 y + a2
    XWARP_PSEUDOAFFINE = 3,  ///< x' = a0 x + a1 y + a2 xy + a3
    XWARP_SECONDORDER = 4,   ///< x' = a0 x^2 + a1 y^2 + a2 xy + a3 x + a4 y + a5
    XWARP_THIRDORDER = 5,    ///< x' = a0 x^3 + a1 y^3 + a2 x^2 y + a3 x y^2 + a4 x^2 + a5 y^2 + a6 xy + a7 x + a8 y + a9
};

/// Number of coefficients per axis of a method (0 for Null, NoChange and unknown values).
int GetWarpTermCount(int nMethod);

/// A polynomial mapping (x, y) -> (x', y') of one of the eWarpMethod forms,
/// with the root-mean-square residuals of the fit that produced it.
///
/// Coefficients are stored highest degree first, pure powers of x then y
/// before mixed terms, the constant last; entries beyond the method's term
/// count are 0. Every mapping operation reaches the in-place
/// WarpPoint(double&, double&) through the virtual table, so a derived class
/// changes all of them by overriding that one. A fitted object is only read by
/// its mapping operations, so several threads may map through it at once.
class XWarpCoeff {
public:
    XWarpCoeff();
    XWarpCoeff(const XWarpCoeff& src) = default;
    XWarpCoeff& operator=(XWarpCoeff src);
    virtual ~XWarpCoeff();

    // Virtual operations in slot order (after the destructor).
    /// Method Null, coefficients 0; the residuals are kept.
    virtual void Reset();
    /// Maps the vertices in place; true only if every mapping succeeded (a
    /// count below 1 is true). Every element is mapped even after a failure.
    virtual bool WarpPoints(XVertex2<double>* pPoints, int nCount);
    virtual bool WarpPoint(XVertex2<double> in, XVertex2<double>& out);
    virtual bool WarpPoint(XVertex2<double>& p);
    virtual bool WarpPoints(double* pXs, double* pYs, int nCount);
    virtual bool WarpPoint(double x, double y, double& xo, double& yo);
    /// The evaluation: false (x, y untouched) for Null or an unknown method.
    virtual bool WarpPoint(double& x, double& y);
    /// True for Null and NoChange.
    virtual bool IsUnchanged() const;

    /// A rotation by dAngle degrees about (dCenterX, dCenterY), counter-clockwise
    /// in a y-up frame; the method becomes Affine and the residuals 0.
    void CreateRotation(double dAngle, double dCenterX, double dCenterY);

    /// The polynomial of this object's own method, whatever a derived class
    /// overrides: the in-place evaluation of this class.
    bool Evaluate(double& x, double& y) const;

    int32_t m_nMethod;
    double m_CoeffX[10];
    double m_CoeffY[10];
    double m_RmsX;
    double m_RmsY;
};

} // namespace Pelmora::Tivra
