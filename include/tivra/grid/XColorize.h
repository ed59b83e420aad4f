// Pseudo-colouring a single-channel grid through a palette.
#pragma once

#include <tivra/grid/XGrid.h>
#include <tivra/grid/XPalette.h>

namespace Pelmora::Tivra::Xfn {

/// Renders the first channel of every sample of src into dst, allocated as an
/// XDT_RGB grid of src's shape with src's geo-reference. Values map linearly
/// from [dLow, dHigh] to palette entries 0..255 (rounded to nearest, clamped
/// at both ends; with dHigh <= dLow every value takes entry 0). Samples equal
/// to dNoData (NAN_REAL64 leaves none out), NaN, and samples that cannot be
/// read become black. False, with dst untouched, for a palette without a
/// table, an empty source or src == dst; false when dst cannot be allocated.
bool Colorize(const XGrid& src, _XCOLORTABLE palette, double dLow, double dHigh, double dNoData, XGrid& dst);

} // namespace Pelmora::Tivra::Xfn
