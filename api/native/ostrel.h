/* The flat C surface of the core for the .NET public layer.
 *
 * Every function starts with ostrel_. Objects are opaque pointers created by
 * an ostrel_*_new function and destroyed by the matching ostrel_*_delete.
 * No C++ exception crosses this boundary. Functions that take an index check
 * it and report OSTREL_OUT_OF_RANGE instead of touching memory outside the
 * object; booleans are returned as int 0 or 1. One header per area. */
#ifndef OSTREL_H
#define OSTREL_H

#include "ostrel_base.h"
#include "ostrel_core.h"
#include "ostrel_grid.h"
#include "ostrel_warp.h"
#include "ostrel_projective.h"
#include "ostrel_resample.h"
#include "ostrel_geo.h"
#include "ostrel_stats.h"
#include "ostrel_palette.h"
#include "ostrel_thread.h"
#include "ostrel_sensor.h"
#include "ostrel_geodesic.h"
#include "ostrel_camera.h"
#include "ostrel_magnetic.h"
#include "ostrel_registry.h"
#include "ostrel_env.h"

#endif /* OSTREL_H */
