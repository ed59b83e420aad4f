// Angle constants of the geodesy: pi, a full turn, and the factors between
// radians and degrees, each the double nearest its exact value.
#pragma once

namespace Pelmora::Tivra {

inline constexpr double XGEO_PI = 3.141592653589793;
inline constexpr double XGEO_TWOPI = 6.283185307179586;

/// Radians to degrees and back; degrees are always derived with these two
/// factors, never stored.
inline constexpr double XGEO_RAD2DEG = 57.29577951308232;
inline constexpr double XGEO_DEG2RAD = 0.017453292519943295;

} // namespace Pelmora::Tivra
