/* The C surface: statistics of a grid rectangle. */
#ifndef OSTREL_STATS_H
#define OSTREL_STATS_H

#include "ostrel_base.h"
#include "ostrel_grid.h"

OSTREL_EXTERN_C_BEGIN

/* Statistics of rows r1..r2 and columns c1..c2 of a grid (r1 > r2 selects
 * every row, c1 > c2 every column; otherwise the rectangle is clipped to the
 * grid), leaving out samples equal to no_data.
 *   count   receives the number of samples accepted;
 *   stats   receives minimum, maximum, mean and standard deviation;
 *   hist    NULL, or 256 counts of the samples' 256-bin histogram.
 * Returns 1, or 0 when grid, count or stats is NULL (nothing written) or
 * the samples could not be read (results of no sample written). */
OSTREL_API int32_t ostrel_grid_get_statistics(const ostrel_grid* grid, int32_t r1, int32_t r2, int32_t c1,
                                              int32_t c2, double no_data, uint64_t* count, double* stats,
                                              uint64_t* hist);

/* Options of ostrel_grid_get_statistics_ex, combined with |. */
enum {
    /* Leave out samples holding a NaN (complex samples with a NaN part). */
    OSTREL_STATS_SKIP_NAN = 1,
    /* Compare samples with no_data in the sample type's own precision:
     * REAL32 samples (and REAL32C magnitudes) with no_data rounded to float,
     * so 0.1 or -3.4e38 leaves out the float samples nearest it. */
    OSTREL_STATS_NODATA_IN_SAMPLE_PRECISION = 2
};

/* ostrel_grid_get_statistics with options (0 for none, which gives exactly
 * ostrel_grid_get_statistics). Returns 1, or 0 with nothing written when
 * grid, count or stats is NULL or options holds a bit other than the two
 * above. */
OSTREL_API int32_t ostrel_grid_get_statistics_ex(const ostrel_grid* grid, int32_t r1, int32_t r2, int32_t c1,
                                                 int32_t c2, double no_data, int32_t options, uint64_t* count,
                                                 double* stats, uint64_t* hist);

OSTREL_EXTERN_C_END

#endif /* OSTREL_STATS_H */
