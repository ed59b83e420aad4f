// Ground control points: pairs of corresponding image and reference positions.
#pragma once

#include <cstdint>

#include <tivra/geo/XVertex.h>

namespace Pelmora::Tivra {

/// A control point: the caller's identifier, whether it takes part in a fit,
/// its position in the image plane (pixels) and in the reference system.
struct tagXGCP {
    int32_t ID = 0;
    bool Used = true;
    XVertex2<double> imgCoord;
    XVertex3<double> refCoord;
};

} // namespace Pelmora::Tivra
