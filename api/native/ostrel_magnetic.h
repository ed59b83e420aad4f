/* The C surface: the geomagnetic field model (the coefficient file WMM.cof
 * in the library's resource directory).
 *
 * Latitude and longitude in degrees (geodetic), height in metres above the
 * WGS 84 ellipsoid; the declination comes out in degrees (east positive), its
 * annual change in minutes of arc per year. Plain values only: nothing is
 * allocated. Safe to call from several threads at once. */
#ifndef OSTREL_MAGNETIC_H
#define OSTREL_MAGNETIC_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

/* Declination and annual change on a calendar day. 1 on success (both not a
 * number within 0.001 degree of a geographic pole and where the horizontal
 * field is under 100 nT); 0, with the outputs untouched, when the
 * coefficient file cannot be read or is malformed, and for a month outside
 * 1..12. The day is not checked against the month. */
OSTREL_API int32_t ostrel_magnetic_declination(double lat, double lon, double alt, int32_t year, int32_t month,
                                               int32_t day, double* decl, double* ddot);

/* The same at a decimal year (2025.5 is the middle of 2025). */
OSTREL_API int32_t ostrel_magnetic_declination_decimal(double lat, double lon, double alt, double year, double* decl,
                                                       double* ddot);

OSTREL_EXTERN_C_END

#endif /* OSTREL_MAGNETIC_H */
