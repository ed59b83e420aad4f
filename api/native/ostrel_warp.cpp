// Polynomial warp coefficients and fitted warps through the C surface.
#include "ostrel_warp.h"
#include "ostrel_internal.h"

#include <cstddef>

#include <tivra/mt/XGCP.h>
#include <tivra/mt/XWarp2D.h>
#include <tivra/mt/XWarpCoeff.h>

using Pelmora::Tivra::tagXGCP;
using Pelmora::Tivra::XWarpCoeff;
using Pelmora::Tivra::MT::XWarp2D;

// The .NET layer reads control point records with this layout.
static_assert(offsetof(tagXGCP, ID) == 0 && offsetof(tagXGCP, Used) == 4 && offsetof(tagXGCP, imgCoord) == 8 &&
              offsetof(tagXGCP, refCoord) == 24 && sizeof(tagXGCP) == 48);
using namespace Pelmora::Ostrel::Native;

namespace {

XWarpCoeff* W(ostrel_warp* p) { return reinterpret_cast<XWarpCoeff*>(p); }
const XWarpCoeff* W(const ostrel_warp* p) { return reinterpret_cast<const XWarpCoeff*>(p); }
ostrel_warp* H(XWarpCoeff* p) { return reinterpret_cast<ostrel_warp*>(p); }

// A fitted warp travels as its XWarpCoeff base, so that every ostrel_warp_*
// function takes it; the ostrel_warp2d_* functions find the derived object
// again, and treat a plain mapping as a warp without cells.
XWarp2D* W2(ostrel_warp* p) { return p ? dynamic_cast<XWarp2D*>(W(p)) : nullptr; }
const XWarp2D* W2(const ostrel_warp* p) { return p ? dynamic_cast<const XWarp2D*>(W(p)) : nullptr; }

} // namespace

extern "C" {

ostrel_warp* ostrel_warp_new(void) { return H(NewCounted<XWarpCoeff>()); }

ostrel_warp* ostrel_warp_new_copy(const ostrel_warp* src)
{
    XWarpCoeff* w = NewCounted<XWarpCoeff>();
    if (w && src) *w = *W(src);
    return H(w);
}

void ostrel_warp_delete(ostrel_warp* warp) { DeleteCounted(W(warp)); }

int32_t ostrel_warp_is_unchanged(const ostrel_warp* warp) { return W(warp)->IsUnchanged(); }

int32_t ostrel_warp_warp_point(ostrel_warp* warp, double x, double y, double* xo, double* yo)
{
    return W(warp)->WarpPoint(x, y, *xo, *yo);
}

void ostrel_warp_create_rotation(ostrel_warp* warp, double angle, double center_x, double center_y)
{
    W(warp)->CreateRotation(angle, center_x, center_y);
}

int32_t ostrel_warp_method(const ostrel_warp* warp) { return W(warp)->m_nMethod; }

void ostrel_warp_get_coeffs(const ostrel_warp* warp, double* coeff_x, double* coeff_y, double* rms_x, double* rms_y)
{
    const XWarpCoeff& w = *W(warp);
    for (int i = 0; i < 10; ++i) {
        if (coeff_x) coeff_x[i] = w.m_CoeffX[i];
        if (coeff_y) coeff_y[i] = w.m_CoeffY[i];
    }
    if (rms_x) *rms_x = w.m_RmsX;
    if (rms_y) *rms_y = w.m_RmsY;
}

void ostrel_warp_map_points(ostrel_warp* warp, int32_t n, double* x, double* y, uint8_t* ok)
{
    if (!x || !y) return;
    XWarpCoeff& w = *W(warp);
    for (int32_t i = 0; i < n; ++i) {
        const bool mapped = w.WarpPoint(x[i], y[i]);
        if (ok) ok[i] = mapped ? 1 : 0;
    }
}

ostrel_warp* ostrel_warp2d_new(void) { return H(NewCounted<XWarp2D>()); }

ostrel_warp* ostrel_warp2d_new_from(const ostrel_warp* src)
{
    XWarp2D* w = NewCounted<XWarp2D>();
    if (!w || !src) return H(w);
    // Copying the cells allocates through new; a failure is reported as no object.
    const bool copied = Guarded(
        [&] {
            if (const XWarp2D* full = W2(src)) *w = *full;
            else static_cast<XWarpCoeff&>(*w) = *W(src);
            return true;
        },
        [] { return false; });
    if (copied) return H(w);
    DeleteCounted(w);
    return nullptr;
}

int32_t ostrel_warp2d_fit(ostrel_warp* warp, int32_t method, int32_t n, const double* src_x, const double* src_y,
                          const double* dst_x, const double* dst_y, const uint8_t* mask, int32_t grid_cols,
                          int32_t grid_rows)
{
    XWarp2D* w = W2(warp);
    if (!w) return 0;
    // The least-squares systems live in matrices whose storage may run out.
    return Guarded(
        [&]() -> int32_t {
            if (n < 0 || (n > 0 && (!src_x || !src_y || !dst_x || !dst_y)) ||
                !w->Fit(method, n, src_x, src_y, dst_x, dst_y, mask, grid_cols, grid_rows)) {
                w->Reset();
                return 0;
            }
            return 1;
        },
        [&]() -> int32_t {
            w->Reset();
            return 0;
        });
}

int32_t ostrel_warp2d_cell_rows(const ostrel_warp* warp)
{
    const XWarp2D* w = W2(warp);
    return w ? w->GetCellRows() : 0;
}

int32_t ostrel_warp2d_cell_cols(const ostrel_warp* warp)
{
    const XWarp2D* w = W2(warp);
    return w ? w->GetCellCols() : 0;
}

ostrel_warp* ostrel_warp2d_new_cell(const ostrel_warp* warp, int32_t row, int32_t col)
{
    const XWarp2D* w = W2(warp);
    if (!w || row < 0 || col < 0 || row >= w->GetCellRows() || col >= w->GetCellCols()) return nullptr;
    XWarpCoeff* cell = NewCounted<XWarpCoeff>(w->GetCell(row, col));
    return H(cell);
}

void ostrel_warp2d_get_bounds(const ostrel_warp* warp, double* bounds)
{
    if (!bounds) return;
    const XWarp2D* w = W2(warp);
    for (int i = 0; i < 4; ++i) bounds[i] = w ? w->m_Bound[i] : 0.0;
}

} // extern "C"
