// Two-dimensional convolution (correlation) of a grid with a kernel matrix.
#pragma once

#include <tivra/grid/XGrid.h>
#include <tivra/mt/XMatrix.h>

namespace Pelmora::Tivra::MT {

/// Edge modes of Convolve.
enum _XCONVOLVE_EDGE : int32_t {
    XCONV_EDGE_SKIP = 0,   ///< terms outside the source are left out of the sum
    XCONV_EDGE_CLAMP = 1,  ///< rows and columns outside the source repeat the nearest edge
};

/// Filters pSrc with pKernel into pDst, which is allocated with the source's
/// shape and nOutputType. Output (y, x) is the sum over kernel rows j and
/// columns i of k(j, i) * s(y - kh/2 + j, x - kw/2 + i), accumulated in that
/// order; the kernel is not mirrored and its centre is element (kh/2, kw/2).
///
/// Output types: SINT08, SINT16, SINT32, SINT64, REAL32 and REAL64. Source
/// types: UINT08, SINT08, UINT16, SINT16, UINT32, SINT32, REAL32, REAL64.
/// Arithmetic is done in the output type: the kernel elements are converted
/// to it (integers truncate toward zero), each source sample is converted to
/// it and multiplied by the element, and the running sum is kept in it, with
/// integer outputs wrapping modulo 2 to their width. A floating source with an
/// integer output forms the product in the source's floating type and
/// truncates it toward zero.
///
/// False when the kernel is null or empty, the output type is not one of the
/// six, the destination cannot be allocated, or the source type is not one of
/// the eight. Rows are computed on every processor; the result does not
/// depend on how many.
bool Convolve(const XGrid* pSrc, const XMatrix* pKernel, XGrid* pDst, int nEdgeMode, int nOutputType);

} // namespace Pelmora::Tivra::MT
