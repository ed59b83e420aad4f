// The geomagnetic field model through the C surface. The core allocates on
// the way (the file's path, the parse of the file), so each entry runs
// through the guard.
#include "ostrel_magnetic.h"

#include "ostrel_internal.h"

#include <tivra/geo/XGeomagnetism.h>

using namespace Pelmora::Tivra;
using Pelmora::Ostrel::Native::Guarded;

extern "C" {

int32_t ostrel_magnetic_declination(double lat, double lon, double alt, int32_t year, int32_t month, int32_t day,
                                    double* decl, double* ddot)
{
    return Guarded([&] { return Xfn::CalcMagneticDeclination(lat, lon, alt, year, month, day, *decl, *ddot) ? 1 : 0; },
                   [] { return 0; });
}

int32_t ostrel_magnetic_declination_decimal(double lat, double lon, double alt, double year, double* decl, double* ddot)
{
    return Guarded([&] { return Xfn::CalcMagneticDeclination(lat, lon, alt, year, *decl, *ddot) ? 1 : 0; },
                   [] { return 0; });
}

} // extern "C"
