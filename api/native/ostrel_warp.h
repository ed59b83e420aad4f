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

OSTREL_EXTERN_C_END

#endif /* OSTREL_WARP_H */
