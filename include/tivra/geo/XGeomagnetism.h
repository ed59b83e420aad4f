// The geomagnetic main field from the spherical-harmonic models of the
// coefficient file "WMM.cof" in the resource directory: the magnetic
// declination and its annual change at a geodetic position and a date, and
// the field components behind them.
//
// The coefficient file is text, one or more models one after the other. Every
// line is exactly 80 characters and a newline (a line that ends in a carriage
// return and a newline counts as well); any other length makes the whole file
// unusable. A line that starts with three spaces is a model header:
//   name epoch max1 max2 max3 yrmin yrmax altmin altmax
// (max1 the degree of the main field, max2 that of its secular variation, 0
// when the model has none; yrmin and yrmax the years the model is made for).
// The lines below a header are its coefficients, one (n, m) pair a line in
// the order n = 1, 2, ..., m = 0 .. n:
//   n m g(n,m) h(n,m) dg(n,m)/dt dh(n,m)/dt text line-number
// At most 30 models and degree 13. A model's lines are exactly its
// coefficients to degree max(max1, max2), in order, each with six numbers
// (finite), a text and a line number; a header alone, a repeated, missing or
// extra line, or a NaN refuses the whole file.
//
// A date is turned into a decimal year, year + day of the year / (365 or 366),
// where 1 January is day 1 (so 1 January 2025 is 2025 + 1/365, and
// 31 December 2024 is exactly 2025.0). The model used is the first whose yrmax
// lies after the date, else the last one; the date is not compared with
// yrmin. A model with secular variation is carried to the date along it, so
// dates outside its years are extrapolated; a model without is blended with
// the next model in the file between their yrmin. The annual change is the
// declination one year later (same model) minus the declination at the date.
//
// Declination and annual change are not numbers where the horizontal field is
// under 100 nT (near the magnetic poles) and within 0.001 degree of the
// geographic poles, where the north and east components are not numbers
// either.
//
// Calls may run on any number of threads at once. The file is parsed once and
// kept while its path, size, modification time and inode stay the same;
// _XMAGNETIC_READ_EACH_CALL reads it again on every call instead, from the
// start and then once more for each coefficient set, and prints
// "\nError on opening file PATH" to standard output when a second opening
// fails. Both ways give the same results, bit for bit, for the same file.
#pragma once

#include <cstdint>

#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

/// How the coefficient file is read.
enum _XMAGNETIC_READ : int32_t {
    /// Parsed once, reused while the file stays the same.
    _XMAGNETIC_READ_CACHED = 0,
    /// Read from disk on every call.
    _XMAGNETIC_READ_EACH_CALL = 1,
};

/// The field at one time: north, east and down components, horizontal and
/// total intensity (nT), declination (east of true north positive) and
/// inclination (down positive), both in degrees.
struct tagXMagneticElements {
    double x;
    double y;
    double z;
    double h;
    double f;
    double d;
    double i;
};

/// What a field computation gives.
struct tagXMagneticField {
    /// The decimal year of the date.
    double dDate;
    /// The model used: its name, the years it is made for, the degree of its
    /// field.
    XString strModel;
    double dModelFrom;
    double dModelTo;
    int nDegree;
    /// At the date, with the pole rules applied (see the top of this file).
    tagXMagneticElements now;
    /// One year later, as computed (no pole rules).
    tagXMagneticElements later;
    /// Annual change of the declination, minutes of arc per year, in
    /// (-10800, 10800]; not a number where the declination is not.
    double ddot;
};

namespace Xfn {

/// The coefficient file: the resource directory, a separator unless it
/// already ends in one, and "WMM.cof".
XString GetMagneticModelFile();

/// year + day_in_year / (365 + leap), day_in_year counting 1 January as 1
/// and 29 February as 60; leap years are those divisible by 4 and not by
/// 100, or by 400. The day is not checked against the month. Not a number
/// for a month outside 1..12.
double MagneticDecimalDate(int year, int month, int day);

/// Declination decl (degrees, east positive) and its annual change ddot
/// (minutes of arc per year) at latitude lat and longitude lon (degrees,
/// geodetic), alt metres above the WGS 84 ellipsoid, on the given day, from
/// GetMagneticModelFile(). False, with decl and ddot untouched, when the file
/// cannot be read or is malformed (see the top of this file), when it holds
/// no model, when a model without secular variation has no next model to
/// blend with, when the model's degrees lie outside 0..13, and for a month
/// outside 1..12. Near the poles decl and ddot are not numbers and the result
/// is true.
bool CalcMagneticDeclination(double lat, double lon, double alt, int year, int month, int day, double& decl,
                             double& ddot, _XMAGNETIC_READ eRead = _XMAGNETIC_READ_CACHED);

/// The same at a decimal year (2025.5 is the middle of 2025).
bool CalcMagneticDeclination(double lat, double lon, double alt, double dDate, double& decl, double& ddot,
                             _XMAGNETIC_READ eRead = _XMAGNETIC_READ_CACHED);

/// The full field at a decimal year from the coefficient file pszFile; the
/// failures of CalcMagneticDeclination, and field is untouched on failure.
bool CalcMagneticField(const char* pszFile, double lat, double lon, double alt, double dDate, tagXMagneticField& field,
                       _XMAGNETIC_READ eRead = _XMAGNETIC_READ_CACHED);

/// Why the coefficient file pszFile cannot be used as a whole ("line 12:
/// expected the coefficients 2 1 of WMM2020, found 2 0"), or the system's
/// message when it cannot be opened; empty when every line is in order. The
/// calls above refuse exactly the files this names.
XString DescribeMagneticModelFile(const char* pszFile);

} // namespace Xfn

} // namespace Pelmora::Tivra
