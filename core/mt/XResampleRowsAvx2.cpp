// The resampler's vector row kernels on four lanes, for processors with AVX2,
// and the choice, by XPlatform::GetCpuLevel(), between them and the
// eight-lane ones. Other processors have no vector kernels and take the
// scalar ones.
#include "mt/XResampleRows.h"

#include "platform/XCpu.h"

#ifdef TIVRA_CPU_X86
#include <immintrin.h>

// Everything up to the matching pop is compiled for AVX2; FindVectorRowKernel
// below stays baseline, so nothing runs on a processor without AVX2 before
// the level is checked.
#pragma GCC push_options
#pragma GCC target("avx2")
#include "mt/XResampleRowsSimd.h"
#pragma GCC pop_options
#endif

namespace Pelmora::Tivra::MT::ResampleRows {

template <class Mapper>
RowKernel<Mapper> FindVectorRowKernel(int type, int method, const RowRule& rule, bool bWidest)
{
#ifdef TIVRA_CPU_X86
    using XPlatform::CpuLevel;
    const CpuLevel level = XPlatform::GetCpuLevel();
    if (bWidest && level >= CpuLevel::Avx512)
        if (const RowKernel<Mapper> wide = FindVector8RowKernel<Mapper>(type, method, rule)) return wide;
    if (level >= CpuLevel::Avx2) return FindRowKernelOn<Lanes4, Mapper>(type, method, rule);
#endif
    return nullptr;
}

template RowKernel<PixelMapper> FindVectorRowKernel<PixelMapper>(int, int, const RowRule&, bool);
template RowKernel<CoordMapMapper> FindVectorRowKernel<CoordMapMapper>(int, int, const RowRule&, bool);
template RowKernel<ProjectiveMapper> FindVectorRowKernel<ProjectiveMapper>(int, int, const RowRule&, bool);
template RowKernel<AffineMapper> FindVectorRowKernel<AffineMapper>(int, int, const RowRule&, bool);

} // namespace Pelmora::Tivra::MT::ResampleRows
