/* The C surface: angles, geographic points, the default earth and the
 * hit-test record.
 *
 * Everything here works on plain values passed by pointer to caller memory
 * (the .NET layer passes structures on its stack), so a call allocates
 * nothing; only the hit-test record is an object with new and delete.
 * Angles of geographic points are radians; the geodetic functions of the
 * default earth take and give degrees, as the core does. */
#ifndef OSTREL_GEO_H
#define OSTREL_GEO_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

/* Three doubles, laid out as the core's XVertex3<double>. */
typedef struct ostrel_vec3 {
    double x;
    double y;
    double z;
} ostrel_vec3;

/* Laid out as the core's XGeoPoint: longitude and latitude in radians,
 * height in metres, then the ecr and eec vectors. */
typedef struct ostrel_geopoint {
    double lon;
    double lat;
    double hgt;
    ostrel_vec3 ecr;
    ostrel_vec3 eec;
} ostrel_geopoint;

/* Laid out as the core's tagXHitFlag. */
typedef struct ostrel_hitflag {
    int32_t flag;
    int32_t index;
} ostrel_hitflag;

/* ---- degrees, minutes, seconds ----------------------------------------- */

OSTREL_API double ostrel_geo_dms_to_deg(int32_t d, int32_t m, double s);
OSTREL_API void ostrel_geo_deg_to_dms(double deg, int32_t* d, int32_t* m, double* s);
OSTREL_API double ostrel_geo_deg_to_packed_dms(double deg);
OSTREL_API double ostrel_geo_packed_dms_to_deg(double v);

/* ---- geographic points on the default earth --------------------------- */

/* The point of longitude lon, latitude lat (radians) and height hgt. */
OSTREL_API void ostrel_geo_point_from_radian(double lon, double lat, double hgt, ostrel_geopoint* out);
/* The point whose ecr is *ecr (kept exactly). */
OSTREL_API void ostrel_geo_point_from_ecr(const ostrel_vec3* ecr, ostrel_geopoint* out);
/* The point whose eec is *eec (kept exactly). */
OSTREL_API void ostrel_geo_point_from_eec(const ostrel_vec3* eec, ostrel_geopoint* out);

/* ---- the default earth (degrees, metres) ------------------------------- */

OSTREL_API void ostrel_geo_geo_to_ecr(double lon, double lat, double hgt, ostrel_vec3* ecr);
/* llh receives longitude, latitude (degrees) and height in x, y, z. */
OSTREL_API void ostrel_geo_ecr_to_geo(const ostrel_vec3* ecr, ostrel_vec3* llh);
OSTREL_API void ostrel_geo_frame_ned(const ostrel_vec3* pos, ostrel_vec3* n, ostrel_vec3* e, ostrel_vec3* d);
OSTREL_API void ostrel_geo_frame_enu(const ostrel_vec3* pos, ostrel_vec3* e, ostrel_vec3* n, ostrel_vec3* u);

/* ---- hit-test record ------------------------------------------------------ */

/* A new record with flag 0 and index -1; null when memory runs out. */
OSTREL_API ostrel_hitflag* ostrel_hitflag_new(void);
/* A new record holding the 8 bytes of src (flag 0 and index -1 for null). */
OSTREL_API ostrel_hitflag* ostrel_hitflag_new_copy(const ostrel_hitflag* src);
OSTREL_API void ostrel_hitflag_delete(ostrel_hitflag* rec);

OSTREL_EXTERN_C_END

#endif /* OSTREL_GEO_H */
