// The resampler's vector row kernels on four lanes, for processors with AVX2,
// and the run-time choice between them and the eight-lane ones. Other
// processors have no vector kernels and take the scalar ones.
#include "mt/XResampleRows.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TIVRA_RESAMPLE_X86 1
#endif

#ifdef TIVRA_RESAMPLE_X86
// Everything up to the matching pop is compiled for AVX2; FindVectorRowKernel
// below stays baseline, so nothing runs on a processor without AVX2 before
// the run-time check.
#pragma GCC push_options
#pragma GCC target("avx2")
#include "mt/XResampleRowsSimd.h"
#pragma GCC pop_options
#endif

namespace Pelmora::Tivra::MT::ResampleRows {

#ifdef TIVRA_RESAMPLE_X86

template <class Mapper>
RowKernel<Mapper> FindVectorRowKernel(int type, int method, const RowRule& rule, bool bWidest)
{
    static const bool available = __builtin_cpu_supports("avx2");
    if (!available) return nullptr;
    if (bWidest)
        if (const RowKernel<Mapper> wide = FindVector8RowKernel<Mapper>(type, method, rule)) return wide;
    return FindRowKernelOn<Lanes4, Mapper>(type, method, rule);
}
#else
template <class Mapper>
RowKernel<Mapper> FindVectorRowKernel(int, int, const RowRule&, bool)
{
    return nullptr;
}
#endif

template RowKernel<PixelMapper> FindVectorRowKernel<PixelMapper>(int, int, const RowRule&, bool);
template RowKernel<CoordMapMapper> FindVectorRowKernel<CoordMapMapper>(int, int, const RowRule&, bool);
template RowKernel<ProjectiveMapper> FindVectorRowKernel<ProjectiveMapper>(int, int, const RowRule&, bool);
template RowKernel<AffineMapper> FindVectorRowKernel<AffineMapper>(int, int, const RowRule&, bool);

} // namespace Pelmora::Tivra::MT::ResampleRows
