using System;

namespace Pelmora.Ostrel;

/// <summary>The geomagnetic main field: magnetic declination and its annual change from the
/// spherical-harmonic models of the coefficient file WMM.cof in the library's resource
/// directory.</summary>
public static partial class Xfn
{
    /// <summary>The magnetic declination and its annual change at a geodetic position on a
    /// calendar day.</summary>
    /// <remarks>
    /// <para>The coefficient file is <c>Resource/WMM.cof</c> below the installation home, which a
    /// program names with the environment variable <c>TIVRA_HOME</c> (or <c>PELMORATIVRA_1_1</c>):
    /// a .NET program runs under the <c>dotnet</c> host, so the fallback home (the parent of the
    /// host's directory) is not the library's. The file is read once and read again when it
    /// changes; calls may come from several threads at once.</para>
    /// <para>The day becomes the decimal year year + d / (365 or 366), where 1 January is d = 1.
    /// The model used is the first in the file whose end year lies after that date, else the last
    /// one, carried along its secular variation; dates outside its years are extrapolated. The
    /// annual change is the declination one year later minus the declination on the day.</para>
    /// </remarks>
    /// <param name="lat">Geodetic latitude, degrees in [-90, 90].</param>
    /// <param name="lon">Longitude, degrees east; any finite value.</param>
    /// <param name="alt">Height above the WGS 84 ellipsoid, metres; any finite value.</param>
    /// <param name="year">Year of the Gregorian calendar, 1 to 9999.</param>
    /// <param name="month">Month, 1 to 12.</param>
    /// <param name="day">Day of the month, 1 to the month's last.</param>
    /// <param name="decl">Receives the declination in degrees, east of true north positive; not a
    /// number within 0.001 degree of a geographic pole and where the horizontal field is under
    /// 100 nT (near the magnetic poles). Untouched when the result is false.</param>
    /// <param name="ddot">Receives the annual change of the declination in minutes of arc per
    /// year, in (-10800, 10800]; not a number where <paramref name="decl"/> is not. Untouched when
    /// the result is false.</param>
    /// <returns>True on success; false when WMM.cof cannot be read or is malformed.</returns>
    /// <exception cref="ArgumentOutOfRangeException">A latitude outside [-90, 90] or not a number,
    /// a longitude or height that is not finite, or a date that is not a calendar day.</exception>
    public static unsafe bool CalcMagneticDeclination(double lat, double lon, double alt, int year, int month, int day,
                                                      ref double decl, ref double ddot)
    {
        CheckMagneticPosition(lat, lon, alt);
        ArgumentOutOfRangeException.ThrowIfLessThan(year, 1);
        ArgumentOutOfRangeException.ThrowIfGreaterThan(year, 9999);
        ArgumentOutOfRangeException.ThrowIfLessThan(month, 1);
        ArgumentOutOfRangeException.ThrowIfGreaterThan(month, 12);
        ArgumentOutOfRangeException.ThrowIfLessThan(day, 1);
        ArgumentOutOfRangeException.ThrowIfGreaterThan(day, DateTime.DaysInMonth(year, month));
        double d = decl, dd = ddot;
        bool ok = Native.Magnetic.Declination(lat, lon, alt, year, month, day, &d, &dd) != 0;
        decl = d;
        ddot = dd;
        return ok;
    }

    /// <summary>The magnetic declination and its annual change at a geodetic position and a
    /// decimal year (2025.5 is the middle of 2025); otherwise as the calendar form.</summary>
    /// <param name="lat">Geodetic latitude, degrees in [-90, 90].</param>
    /// <param name="lon">Longitude, degrees east; any finite value.</param>
    /// <param name="alt">Height above the WGS 84 ellipsoid, metres; any finite value.</param>
    /// <param name="decimalYear">The date as a decimal year; any finite value.</param>
    /// <param name="decl">Receives the declination in degrees, east positive (see the calendar
    /// form).</param>
    /// <param name="ddot">Receives its annual change in minutes of arc per year.</param>
    /// <returns>True on success; false when WMM.cof cannot be read or is malformed.</returns>
    /// <exception cref="ArgumentOutOfRangeException">A latitude outside [-90, 90] or not a number,
    /// or a longitude, height or date that is not finite.</exception>
    public static unsafe bool CalcMagneticDeclination(double lat, double lon, double alt, double decimalYear,
                                                      ref double decl, ref double ddot)
    {
        CheckMagneticPosition(lat, lon, alt);
        if (!double.IsFinite(decimalYear))
            throw new ArgumentOutOfRangeException(nameof(decimalYear), decimalYear,
                                                  "The date must be a finite decimal year.");
        double d = decl, dd = ddot;
        bool ok = Native.Magnetic.DeclinationDecimal(lat, lon, alt, decimalYear, &d, &dd) != 0;
        decl = d;
        ddot = dd;
        return ok;
    }

    private static void CheckMagneticPosition(double lat, double lon, double alt)
    {
        if (!(lat >= -90.0 && lat <= 90.0))
            throw new ArgumentOutOfRangeException(nameof(lat), lat,
                                                  "The latitude must lie between -90 and 90 degrees.");
        if (!double.IsFinite(lon))
            throw new ArgumentOutOfRangeException(nameof(lon), lon, "The longitude must be finite.");
        if (!double.IsFinite(alt))
            throw new ArgumentOutOfRangeException(nameof(alt), alt, "The height must be finite.");
    }
}
