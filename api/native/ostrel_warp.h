/* The C surface: polynomial warp coefficients. */
#ifndef OSTREL_WARP_H
#define OSTREL_WARP_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

typedef struct ostrel_warp ostrel_warp;

/* A new mapping in the Null state. */
OSTREL_API ostrel_warp* ostrel_warp_new(void);
/* A new mapping assigned a copy of src (method, coefficients, residuals). */
OSTREL_API ostrel_warp* ostrel_warp_new_copy(const ostrel_warp* src);
OSTREL_API void ostrel_warp_delete(ostrel_warp* warp);

OSTREL_API int32_t ostrel_warp_is_unchanged(const ostrel_warp* warp);
/* Maps (x, y) into (*xo, *yo); both receive the input when nothing maps.
 * Returns the mapping's success flag. */
OSTREL_API int32_t ostrel_warp_warp_point(ostrel_warp* warp, double x, double y, double* xo, double* yo);
OSTREL_API void ostrel_warp_create_rotation(ostrel_warp* warp, double angle, double center_x, double center_y);

/* The method (eWarpMethod number) of the mapping's own polynomial. */
OSTREL_API int32_t ostrel_warp_method(const ostrel_warp* warp);
/* Copies the ten x and ten y coefficients (entries beyond the method's term
 * count are 0) and the two residuals; any output may be NULL. */
OSTREL_API void ostrel_warp_get_coeffs(const ostrel_warp* warp, double* coeff_x, double* coeff_y, double* rms_x,
                                       double* rms_y);
/* Maps n points in place through the mapping (a piecewise one through its
 * cells); ok[i] receives 1 where point i mapped, 0 where it kept its input. */
OSTREL_API void ostrel_warp_map_points(ostrel_warp* warp, int32_t n, double* x, double* y, uint8_t* ok);

/* ---- fitted polynomial warp with an optional grid of cells ------------------ */

/* A new fitted-warp object (a mapping whose handle every ostrel_warp_*
 * function takes) in the Null state, without cells. */
OSTREL_API ostrel_warp* ostrel_warp2d_new(void);
/* A new fitted-warp object holding src: everything, cells included, when src
 * is itself a fitted warp; else its method, coefficients and residuals, with
 * no cells. NULL when memory runs out. */
OSTREL_API ostrel_warp* ostrel_warp2d_new_from(const ostrel_warp* src);
/* Least-squares fit of the method to n point pairs (src_x[i], src_y[i]) ->
 * (dst_x[i], dst_y[i]) over the pairs whose mask byte is non-zero (all when
 * mask is NULL), with a grid_cols x grid_rows grid of local fits when that
 * product is at least 2. Returns 1, or 0 with the mapping Null when the global
 * fit fails (fewer used points than terms, collinear points, memory). */
OSTREL_API int32_t ostrel_warp2d_fit(ostrel_warp* warp, int32_t method, int32_t n, const double* src_x,
                                     const double* src_y, const double* dst_x, const double* dst_y,
                                     const uint8_t* mask, int32_t grid_cols, int32_t grid_rows);
OSTREL_API int32_t ostrel_warp2d_cell_rows(const ostrel_warp* warp);
OSTREL_API int32_t ostrel_warp2d_cell_cols(const ostrel_warp* warp);
/* A new plain mapping holding a copy of cell (row, col); NULL outside the
 * grid or when memory runs out. */
OSTREL_API ostrel_warp* ostrel_warp2d_new_cell(const ostrel_warp* warp, int32_t row, int32_t col);
/* minX, minY, maxX, maxY of the rectangle the cells cover. */
OSTREL_API void ostrel_warp2d_get_bounds(const ostrel_warp* warp, double* bounds);

OSTREL_EXTERN_C_END

#endif /* OSTREL_WARP_H */
