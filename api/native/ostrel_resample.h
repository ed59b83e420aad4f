/* The C surface: resampling a grid through a mapping on a pool of workers,
 * and convolution. */
#ifndef OSTREL_RESAMPLE_H
#define OSTREL_RESAMPLE_H

#include "ostrel_base.h"
#include "ostrel_grid.h"
#include "ostrel_projective.h"
#include "ostrel_warp.h"

OSTREL_EXTERN_C_BEGIN

typedef struct ostrel_resampler ostrel_resampler;

/* Receives the mean percent of destination rows done, each value once and in
 * rising order, from a worker thread of the pool (one at a time). It must
 * return quickly and must not call back into the resampler. */
typedef void (*ostrel_progress_fn)(void* user, int32_t percent);

/* A new resampler with one worker per processor; NULL when it cannot be made. */
OSTREL_API ostrel_resampler* ostrel_resampler_new(void);
OSTREL_API void ostrel_resampler_delete(ostrel_resampler* resampler);

/* Recreates the pool with n workers (0: runs on the calling thread; below 0
 * or above the processor count: one per processor). Returns the count. */
OSTREL_API int32_t ostrel_resampler_set_threads(ostrel_resampler* resampler, int32_t n);
OSTREL_API int32_t ostrel_resampler_threads(const ostrel_resampler* resampler);

/* The store rule for integer destinations: 0 truncates toward zero (the
 * default), 1 rounds to the nearest integer, halves away from zero. */
OSTREL_API void ostrel_resampler_set_rounding(ostrel_resampler* resampler, int32_t round);
OSTREL_API int32_t ostrel_resampler_rounding(const ostrel_resampler* resampler);

/* Source no-data: with enable 1, source samples equal to value (compared in
 * the source's precision) and NaN samples take no part in any interpolated
 * value; with 0 every sample does (the default). */
OSTREL_API void ostrel_resampler_set_source_nodata(ostrel_resampler* resampler, int32_t enable, double value);
/* 1 and the value in *value when source no-data is on, else 0. */
OSTREL_API int32_t ostrel_resampler_source_nodata(const ostrel_resampler* resampler, double* value);

/* Sets (1) or clears (0) the cancel request. May be called from any thread
 * while a run is going on: each worker stops after its current row and the
 * run returns 0. A request made before a run makes that run stop before its
 * first row. The caller clears it before the next run. */
OSTREL_API void ostrel_resampler_cancel(ostrel_resampler* resampler, int32_t cancel);

/* Each run fills dst with the background first, then every destination pixel
 * (c, r) maps to a source position through the mapping (destination pixels
 * to source pixels) and takes the source's interpolated value there (method
 * 0 nearest, 1 bilinear, 2 radial cubic, 3 separable cubic). Returns 1; 0 when an argument is NULL,
 * the method is unknown, the coordinate map does not have the destination's
 * shape, or the run was cancelled (rows not done keep the background).
 * progress may be NULL. */
OSTREL_API int32_t ostrel_resampler_by_warp(ostrel_resampler* resampler, const ostrel_grid* src, ostrel_grid* dst,
                                            ostrel_warp* warp, int32_t method, double background,
                                            ostrel_progress_fn progress, void* user);
OSTREL_API int32_t ostrel_resampler_by_projective(ostrel_resampler* resampler, const ostrel_grid* src,
                                                  ostrel_grid* dst, const ostrel_projective* warp, int32_t method,
                                                  double background, ostrel_progress_fn progress, void* user);
/* map holds rows x cols (x, y) pairs, element r * cols + c for destination
 * pixel (r, c); a coordinate of 1.7e308 leaves the pixel at the background. */
OSTREL_API int32_t ostrel_resampler_by_coord_map(ostrel_resampler* resampler, const ostrel_grid* src,
                                                 ostrel_grid* dst, const double* map, int32_t rows, int32_t cols,
                                                 int32_t method, double background, ostrel_progress_fn progress,
                                                 void* user);

/* Correlates src with the kernel_rows x kernel_cols row-major kernel into dst,
 * allocated with the source's shape and output_type; edge_mode 0 leaves terms
 * outside the source out, 1 repeats the nearest edge. Returns 1, or 0 for an
 * empty kernel, an output or source type without a filter, an unknown edge
 * mode or an allocation failure. */
OSTREL_API int32_t ostrel_convolve(const ostrel_grid* src, const double* kernel, int32_t kernel_rows,
                                   int32_t kernel_cols, ostrel_grid* dst, int32_t edge_mode, int32_t output_type);

OSTREL_EXTERN_C_END

#endif /* OSTREL_RESAMPLE_H */
