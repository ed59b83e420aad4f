// Conversions between the C surface's vector record and the core's vertex,
// shared by the translation units that pass vectors (internal).
#pragma once

#include <tivra/geo/XVertex.h>

#include "ostrel_geo.h"

namespace Pelmora::Ostrel::Native {

inline Tivra::XVertex3d V(const ostrel_vec3* p) { return Tivra::XVertex3d(p->x, p->y, p->z); }

inline void Put(const Tivra::XVertex3d& v, ostrel_vec3* p)
{
    p->x = v.x;
    p->y = v.y;
    p->z = v.z;
}

} // namespace Pelmora::Ostrel::Native
