// Exact byte sums: the plain loop, and the choice of a vector kernel
// (XByteSumsSimd.h) for the leading whole vectors.
#include "grid/XByteSums.h"

#include <algorithm>

#include "platform/XCpu.h"

namespace Pelmora::Tivra::ByteSums {

namespace {

void Plain(const uint8_t* p, int64_t n, int skip, Result& r)
{
    for (int64_t i = 0; i < n; ++i) {
        const uint32_t x = p[i];
        r.sum += x;
        r.sumSq += x * x;
        if (int(x) == skip) {
            ++r.skipped;
            continue;
        }
        r.min = std::min<uint8_t>(r.min, uint8_t(x));
        r.max = std::max<uint8_t>(r.max, uint8_t(x));
    }
}

/// The widest kernel the level allows over the leading whole vectors; the
/// bytes it took, 0 without one.
int64_t Vectors(const uint8_t* p, int64_t n, int skip, Result& r)
{
#ifdef TIVRA_CPU_X86
    using XPlatform::CpuLevel;
    const CpuLevel level = XPlatform::GetCpuLevel();
    if (level >= CpuLevel::Avx2) return SumVectorsAvx2(p, n, skip, r);
    if (level >= CpuLevel::Sse2) return SumVectorsSse2(p, n, skip, r);
#endif
    return 0;
}

} // namespace

Result Sum(const uint8_t* p, int64_t n, int skip)
{
    Result r{0, 0, 0, 255, 0};
    const int64_t done = Vectors(p, n, skip, r);
    Plain(p + done, n - done, skip, r);
    return r;
}

} // namespace Pelmora::Tivra::ByteSums
