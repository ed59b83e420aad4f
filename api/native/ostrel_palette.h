/* The C surface: the palette catalogue. */
#ifndef OSTREL_PALETTE_H
#define OSTREL_PALETTE_H

#include "ostrel_base.h"
#include "ostrel_grid.h"

OSTREL_EXTERN_C_BEGIN

/* Number of palettes (68). */
OSTREL_API int32_t ostrel_palette_count(void);

/* Copies the palette's name ("Default" for an index without a palette) as
 * zero-terminated 8-bit text into buf, truncated to size - 1 bytes; buf may
 * be NULL when size is 0. Returns the full length of the name in bytes,
 * terminator not counted, so a result >= size means the copy was cut. */
OSTREL_API int32_t ostrel_palette_name(int32_t index, char* buf, int32_t size);

/* Writes entries 0..255 of the palette into r, g and b (256 bytes each).
 * Returns 1, or 0 (nothing written) for an index without a palette or a NULL
 * array. */
OSTREL_API int32_t ostrel_palette_get(int32_t index, uint8_t* r, uint8_t* g, uint8_t* b);

/* Renders the first channel of src into dst, allocated as an RGB grid of
 * src's shape: values map linearly from [low, high] to the palette's entries
 * 0..255 (rounded, clamped); samples equal to no_data (1.7e308: none) and
 * NaN become black. Returns 1; 0 for a NULL grid, src == dst, an index
 * without a palette, an empty source or an allocation failure. */
OSTREL_API int32_t ostrel_grid_colorize(const ostrel_grid* src, int32_t palette, double low, double high,
                                        double no_data, ostrel_grid* dst);

OSTREL_EXTERN_C_END

#endif /* OSTREL_PALETTE_H */
