// Degrees, minutes and seconds: splitting decimal degrees, joining the parts,
// and the packed form ddd.mmss. A negative angle carries its sign on the
// first non-zero part, so -0.5 degrees is (0, -30, 0) and -10.5 degrees is
// (-10, 30, 0).
#pragma once

namespace Pelmora::Tivra::Xfn {

/// deg = |d| + |m|/60 + |s|/3600, negative when d, or else m, or else s is
/// negative.
void DmsToDeg(int d, int m, double s, double& deg);

/// Splits |deg| into whole degrees, whole minutes and the seconds left
/// (seconds are never carried into a further minute), then puts the sign of
/// a negative deg on the first non-zero part. A non-number gives (0, 0, NaN);
/// magnitudes beyond the 32-bit range saturate the integer parts.
void DegToDms(double deg, int& d, int& m, double& s);

/// The angle as ddd.mmss: 12 degrees 34 minutes 56 seconds gives 12.3456.
double DegToPackedDms(double deg);

/// Inverse of DegToPackedDms: the integer part is degrees, the next two
/// decimal places minutes, the rest seconds.
double PackedDmsToDeg(double v);

} // namespace Pelmora::Tivra::Xfn
