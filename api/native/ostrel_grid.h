/* The C surface: the raster grid. */
#ifndef OSTREL_GRID_H
#define OSTREL_GRID_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

/* ---- raster grid ---------------------------------------------------------- */

typedef struct ostrel_grid ostrel_grid;

OSTREL_API ostrel_grid* ostrel_grid_new(void);
OSTREL_API ostrel_grid* ostrel_grid_new_sized(int32_t rows, int32_t cols, int32_t type);
/* A new empty grid assigned from src (samples and geo-reference). */
OSTREL_API ostrel_grid* ostrel_grid_new_assigned(const ostrel_grid* src);
/* A new grid built with the native copy constructor (samples only). */
OSTREL_API ostrel_grid* ostrel_grid_new_copy(const ostrel_grid* src);
OSTREL_API void ostrel_grid_delete(ostrel_grid* grid);

OSTREL_API void ostrel_grid_free(ostrel_grid* grid);
OSTREL_API int32_t ostrel_grid_alloc(ostrel_grid* grid, int32_t rows, int32_t cols, int32_t type);
OSTREL_API int32_t ostrel_grid_alloc_exact(ostrel_grid* grid, int32_t rows, int32_t cols, int32_t type);
OSTREL_API int32_t ostrel_grid_reform(ostrel_grid* grid, int32_t rows, int32_t cols);
OSTREL_API int32_t ostrel_grid_is_valid(const ostrel_grid* grid);

OSTREL_API int32_t ostrel_grid_rsize(const ostrel_grid* grid);
OSTREL_API int32_t ostrel_grid_csize(const ostrel_grid* grid);
OSTREL_API int32_t ostrel_grid_datatype(const ostrel_grid* grid);
OSTREL_API int32_t ostrel_grid_datasize(const ostrel_grid* grid);
/* Bytes of the sample block the grid owns (0 when it owns none). */
OSTREL_API int32_t ostrel_grid_alloc_size(const ostrel_grid* grid);
OSTREL_API void* ostrel_grid_data(const ostrel_grid* grid);

/* 1 and the channels in abcd[4]; 0 when the read fails (abcd untouched);
 * OSTREL_OUT_OF_RANGE for a position outside the grid. */
OSTREL_API int32_t ostrel_grid_get_value(const ostrel_grid* grid, int32_t row, int32_t col, double* abcd);
/* 0, or OSTREL_OUT_OF_RANGE for a position outside the grid. */
OSTREL_API int32_t ostrel_grid_set_value(ostrel_grid* grid, int32_t row, int32_t col,
                                         double a, double b, double c, double d);

OSTREL_API void ostrel_grid_zerorize(ostrel_grid* grid);
OSTREL_API void ostrel_grid_fill(ostrel_grid* grid, double a, double b, double c, double d);
OSTREL_API int32_t ostrel_grid_get_subset(const ostrel_grid* grid, ostrel_grid* dst,
                                          int32_t r1, int32_t r2, int32_t c1, int32_t c2);
/* Writes a densely packed block of (r2-r1+1) x (c2-c1+1) samples of type. */
OSTREL_API int32_t ostrel_grid_set_subset_memory(ostrel_grid* grid, const void* src, int32_t type,
                                                 int32_t r1, int32_t r2, int32_t c1, int32_t c2,
                                                 double no_data);
OSTREL_API int32_t ostrel_grid_flip_vert(const ostrel_grid* grid, ostrel_grid* dst);
OSTREL_API int32_t ostrel_grid_flip_horz(const ostrel_grid* grid, ostrel_grid* dst);

OSTREL_EXTERN_C_END

#endif /* OSTREL_GRID_H */
