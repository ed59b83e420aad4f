// Angles, geographic points and the default earth through the C surface.
// The structures of ostrel_geo.h have the core's layouts (checked below), but
// values are copied field by field so that nothing depends on it beyond the
// hit-test record, which the .NET layer reads in place.
#include "ostrel_geo.h"
#include "ostrel_internal.h"
#include "ostrel_vertex.h"

#include <tivra/geo/XEllipsoidEarth.h>
#include <tivra/geo/XGeoPoint.h>
#include <tivra/geo/XHitFlag.h>

#include <cstddef>

using namespace Pelmora::Tivra;
using namespace Pelmora::Ostrel::Native;

static_assert(sizeof(ostrel_vec3) == sizeof(XVertex3d));
static_assert(sizeof(ostrel_geopoint) == sizeof(XGeoPoint));
static_assert(sizeof(ostrel_hitflag) == sizeof(tagXHitFlag));
static_assert(offsetof(ostrel_hitflag, index) == offsetof(tagXHitFlag, index));

namespace {

// The point's overload beside the vector's.
using Pelmora::Ostrel::Native::Put;

void Put(const XGeoPoint& g, ostrel_geopoint* p)
{
    p->lon = g.lonr();
    p->lat = g.latr();
    p->hgt = g.hgt();
    Put(g.ecr(), &p->ecr);
    Put(g.eec(), &p->eec);
}

tagXHitFlag* R(ostrel_hitflag* p) { return reinterpret_cast<tagXHitFlag*>(p); }
ostrel_hitflag* H(tagXHitFlag* p) { return reinterpret_cast<ostrel_hitflag*>(p); }

} // namespace

extern "C" {

double ostrel_geo_dms_to_deg(int32_t d, int32_t m, double s)
{
    double deg;
    Xfn::DmsToDeg(d, m, s, deg);
    return deg;
}

void ostrel_geo_deg_to_dms(double deg, int32_t* d, int32_t* m, double* s)
{
    int dd, mm;
    double ss;
    Xfn::DegToDms(deg, dd, mm, ss);
    *d = dd;
    *m = mm;
    *s = ss;
}

double ostrel_geo_deg_to_packed_dms(double deg) { return Xfn::DegToPackedDms(deg); }
double ostrel_geo_packed_dms_to_deg(double v) { return Xfn::PackedDmsToDeg(v); }

void ostrel_geo_point_from_radian(double lon, double lat, double hgt, ostrel_geopoint* out)
{
    Put(XGeoPoint::FromRadian(lon, lat, hgt), out);
}

void ostrel_geo_point_from_ecr(const ostrel_vec3* ecr, ostrel_geopoint* out)
{
    Put(XGeoPoint::FromEcr(V(ecr)), out);
}

void ostrel_geo_point_from_eec(const ostrel_vec3* eec, ostrel_geopoint* out)
{
    Put(XGeoPoint::FromEec(V(eec)), out);
}

void ostrel_geo_geo_to_ecr(double lon, double lat, double hgt, ostrel_vec3* ecr)
{
    Xfn::m_earth.GeoToEcr(lon, lat, hgt, ecr->x, ecr->y, ecr->z);
}

void ostrel_geo_ecr_to_geo(const ostrel_vec3* ecr, ostrel_vec3* llh)
{
    double lon, lat, hgt;
    Xfn::m_earth.EcrToGeo(ecr->x, ecr->y, ecr->z, lon, lat, hgt);
    llh->x = lon;
    llh->y = lat;
    llh->z = hgt;
}

void ostrel_geo_frame_ned(const ostrel_vec3* pos, ostrel_vec3* n, ostrel_vec3* e, ostrel_vec3* d)
{
    XVertex3d N, E, D;
    Xfn::m_earth.GetFrameNED(V(pos), N, E, D);
    Put(N, n);
    Put(E, e);
    Put(D, d);
}

void ostrel_geo_frame_enu(const ostrel_vec3* pos, ostrel_vec3* e, ostrel_vec3* n, ostrel_vec3* u)
{
    XVertex3d E, N, U;
    Xfn::m_earth.GetFrameENU(V(pos), E, N, U);
    Put(E, e);
    Put(N, n);
    Put(U, u);
}

ostrel_hitflag* ostrel_hitflag_new(void) { return H(NewCounted<tagXHitFlag>()); }

ostrel_hitflag* ostrel_hitflag_new_copy(const ostrel_hitflag* src)
{
    tagXHitFlag* p = NewCounted<tagXHitFlag>();
    if (p && src) *p = *reinterpret_cast<const tagXHitFlag*>(src);
    return H(p);
}

void ostrel_hitflag_delete(ostrel_hitflag* rec) { DeleteCounted(R(rec)); }

} // extern "C"
