// The projective mapping through the C surface.
#include "ostrel_projective.h"
#include "ostrel_internal.h"

#include <cmath>
#include <cstring>
#include <vector>

#include <tivra/grid/XDataType.h>
#include <tivra/mt/XProjectiveWarp.h>

using Pelmora::Tivra::NAN_REAL64;
using Pelmora::Tivra::XVertex2;
using Pelmora::Tivra::MT::XProjectiveWarp;
using namespace Pelmora::Ostrel::Native;

namespace {

XProjectiveWarp* P(ostrel_projective* p) { return reinterpret_cast<XProjectiveWarp*>(p); }
const XProjectiveWarp* P(const ostrel_projective* p) { return reinterpret_cast<const XProjectiveWarp*>(p); }
ostrel_projective* H(XProjectiveWarp* p) { return reinterpret_cast<ostrel_projective*>(p); }

/// Makes the mapping map nothing again: a zero matrix, and residuals that say
/// no point maps.
void Unfit(XProjectiveWarp& w)
{
    if (w.m_H.GetData()) std::memset(w.m_H.GetData(), 0, 9 * sizeof(double));
    w.m_dMeanSqrX = w.m_dMeanSqrY = NAN_REAL64;
}

double Rms(double meanSquare) { return meanSquare == NAN_REAL64 ? NAN_REAL64 : std::sqrt(meanSquare); }

} // namespace

extern "C" {

ostrel_projective* ostrel_projective_new(void)
{
    // The constructor sizes the matrix with malloc; a failure leaves it
    // without storage, which no call could use.
    XProjectiveWarp* w = NewCounted<XProjectiveWarp>();
    if (w && !w->m_H.GetData()) {
        DeleteCounted(w);
        return nullptr;
    }
    return H(w);
}

ostrel_projective* ostrel_projective_new_copy(const ostrel_projective* src)
{
    if (!src) return ostrel_projective_new();
    XProjectiveWarp* w = NewCounted<XProjectiveWarp>(*P(src));
    if (w && !w->m_H.GetData()) {
        DeleteCounted(w);
        return nullptr;
    }
    return H(w);
}

void ostrel_projective_delete(ostrel_projective* warp) { DeleteCounted(P(warp)); }

int32_t ostrel_projective_fit(ostrel_projective* warp, int32_t n, const double* src_x, const double* src_y,
                              const double* dst_x, const double* dst_y, const uint8_t* mask)
{
    XProjectiveWarp& w = *P(warp);
    // The point arrays and the decomposition allocate; exhaustion is a failed fit.
    const bool ok = Guarded(
        [&] {
            if (n < 1 || !src_x || !src_y || !dst_x || !dst_y) return false;
            std::vector<XVertex2<double>> src(static_cast<size_t>(n)), dst(static_cast<size_t>(n));
            for (int32_t i = 0; i < n; ++i) {
                src[i] = XVertex2<double>(src_x[i], src_y[i]);
                dst[i] = XVertex2<double>(dst_x[i], dst_y[i]);
            }
            double cx, cy, s, cx2, cy2, s2;
            XProjectiveWarp::GetNormalization(src.data(), n, mask, cx, cy, s);
            XProjectiveWarp::GetNormalization(dst.data(), n, mask, cx2, cy2, s2);
            return w.Fit(src.data(), dst.data(), n, cx, cy, s, cx2, cy2, s2, mask);
        },
        [] { return false; });
    if (!ok) Unfit(w);
    return ok ? 1 : 0;
}

int32_t ostrel_projective_warp_point(const ostrel_projective* warp, double x, double y, double* xo, double* yo)
{
    const bool ok = P(warp)->WarpPoint(x, y);
    if (xo) *xo = x;
    if (yo) *yo = y;
    return ok ? 1 : 0;
}

void ostrel_projective_get(const ostrel_projective* warp, double* h, double* rms_x, double* rms_y)
{
    const XProjectiveWarp& w = *P(warp);
    if (h) std::memcpy(h, w.m_H.GetData(), 9 * sizeof(double));
    if (rms_x) *rms_x = Rms(w.m_dMeanSqrX);
    if (rms_y) *rms_y = Rms(w.m_dMeanSqrY);
}

} // extern "C"
