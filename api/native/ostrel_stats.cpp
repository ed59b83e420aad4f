// Grid statistics through the C surface.
#include "ostrel_stats.h"
#include "ostrel_internal.h"

#include <tivra/grid/XGrid.h>
#include <tivra/grid/XStatistics.h>

using namespace Pelmora::Tivra;
using Pelmora::Ostrel::Native::Guarded;

extern "C" {

int32_t ostrel_grid_get_statistics(const ostrel_grid* grid, int32_t r1, int32_t r2, int32_t c1, int32_t c2,
                                   double no_data, uint64_t* count, double* stats, uint64_t* hist)
{
    return ostrel_grid_get_statistics_ex(grid, r1, r2, c1, c2, no_data, 0, count, stats, hist);
}

int32_t ostrel_grid_get_statistics_ex(const ostrel_grid* grid, int32_t r1, int32_t r2, int32_t c1, int32_t c2,
                                      double no_data, int32_t options, uint64_t* count, double* stats, uint64_t* hist)
{
    static_assert(int(OSTREL_STATS_SKIP_NAN) == int(XSTAT_SKIP_NAN) &&
                      int(OSTREL_STATS_NODATA_IN_SAMPLE_PRECISION) == int(XSTAT_NODATA_IN_SAMPLE_PRECISION),
                  "the C option bits are the core's");
    if (!grid || !count || !stats || (options & ~int32_t(XSTAT_ALL)) != 0) return 0;
    // A failed allocation of the scratch rows throws; it is reported as no result.
    return Guarded(
        [&]() -> int32_t {
            const XGrid& g = *reinterpret_cast<const XGrid*>(grid);
            return int32_t(Xfn::GetStatistics(g, r1, r2, c1, c2, no_data, options, *count, stats[0], stats[1],
                                              stats[2], stats[3], hist));
        },
        [] { return int32_t(0); });
}

} // extern "C"
