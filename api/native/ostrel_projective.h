/* The C surface: the projective (eight-parameter) plane-to-plane mapping. */
#ifndef OSTREL_PROJECTIVE_H
#define OSTREL_PROJECTIVE_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

typedef struct ostrel_projective ostrel_projective;

/* A new unfitted mapping (its matrix is zero, so it maps nothing). */
OSTREL_API ostrel_projective* ostrel_projective_new(void);
OSTREL_API ostrel_projective* ostrel_projective_new_copy(const ostrel_projective* src);
OSTREL_API void ostrel_projective_delete(ostrel_projective* warp);

/* Fits the mapping to n point pairs (src_x[i], src_y[i]) -> (dst_x[i],
 * dst_y[i]) over the pairs whose mask byte is non-zero (all when mask is
 * NULL), each side normalised on its own centroid and spread. Returns 1, or 0
 * with the mapping unfitted when fewer than four points are used, the points
 * of a side coincide or the decomposition fails. */
OSTREL_API int32_t ostrel_projective_fit(ostrel_projective* warp, int32_t n, const double* src_x,
                                         const double* src_y, const double* dst_x, const double* dst_y,
                                         const uint8_t* mask);
/* Maps (x, y) into (*xo, *yo); 0, with the input copied, where the mapping is
 * undefined (w = 0, or an unfitted mapping). */
OSTREL_API int32_t ostrel_projective_warp_point(const ostrel_projective* warp, double x, double y, double* xo,
                                                double* yo);
/* Copies the row-major 3 x 3 matrix into h[9] and the root-mean-square x and
 * y differences of the last successful fit (0 before any); any output may be
 * NULL. */
OSTREL_API void ostrel_projective_get(const ostrel_projective* warp, double* h, double* rms_x, double* rms_y);

OSTREL_EXTERN_C_END

#endif /* OSTREL_PROJECTIVE_H */
