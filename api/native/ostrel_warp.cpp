// Polynomial warp coefficients through the C surface.
#include "ostrel_warp.h"
#include "ostrel_internal.h"

#include <cstddef>

#include <tivra/mt/XGCP.h>
#include <tivra/mt/XWarpCoeff.h>

using Pelmora::Tivra::tagXGCP;
using Pelmora::Tivra::XWarpCoeff;

// The .NET layer reads control point records with this layout.
static_assert(offsetof(tagXGCP, ID) == 0 && offsetof(tagXGCP, Used) == 4 && offsetof(tagXGCP, imgCoord) == 8 &&
              offsetof(tagXGCP, refCoord) == 24 && sizeof(tagXGCP) == 48);
using namespace Pelmora::Ostrel::Native;

namespace {

XWarpCoeff* W(ostrel_warp* p) { return reinterpret_cast<XWarpCoeff*>(p); }
const XWarpCoeff* W(const ostrel_warp* p) { return reinterpret_cast<const XWarpCoeff*>(p); }
ostrel_warp* H(XWarpCoeff* p) { return reinterpret_cast<ostrel_warp*>(p); }

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

} // extern "C"
