using System;
using System.Globalization;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

/// <summary>
/// An angle held in radians. Degrees are derived with <see cref="XConstants.Rad2Deg"/> and stored
/// with <see cref="XConstants.Deg2Rad"/>; no other unit is kept.
/// </summary>
/// <remarks>
/// A reference type: two variables may share one angle, and a <see cref="XGeoPoint"/> keeps the
/// angles it is given, so changing a shared angle changes the point. The state lives in
/// <see cref="rad"/>; only <see cref="SetDms"/> calls the core.
/// </remarks>
public class XAngle : IDisposable
{
    /// <summary>The core's angle: one double, radians.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Unmanaged
    {
        /// <summary>The angle in radians.</summary>
        public double rad;

        /// <summary>Creates a core angle.</summary>
        /// <param name="rad">The angle in radians.</param>
        public Unmanaged(double rad) => this.rad = rad;
    }

    /// <summary>The angle in radians.</summary>
    public double rad;

    /// <summary>Creates an angle of 0.</summary>
    public XAngle() { }

    /// <summary>Creates an angle.</summary>
    /// <param name="rad">The angle in radians.</param>
    public XAngle(double rad) => this.rad = rad;

    /// <summary>Creates an angle holding the value of a core angle.</summary>
    /// <param name="angle">The core angle.</param>
    public XAngle(Unmanaged angle) => rad = angle.rad;

    /// <summary>The angle in degrees: reads rad × 57.29577951308232, writes rad = value ×
    /// 0.017453292519943295.</summary>
    public double deg
    {
        get => rad * XConstants.Rad2Deg;
        set => rad = value * XConstants.Deg2Rad;
    }

    /// <summary>A new angle from radians.</summary>
    /// <param name="val">Radians.</param>
    /// <returns>The new angle.</returns>
    public static XAngle FromRadian(double val) => new XAngle(val);

    /// <summary>A new angle from degrees.</summary>
    /// <param name="val">Degrees.</param>
    /// <returns>The new angle.</returns>
    public static XAngle FromDegree(double val) => new XAngle(val * XConstants.Deg2Rad);

    /// <summary>A new angle from degrees, minutes and seconds taken as magnitudes:
    /// (|Min|/60 + |Deg| + |Sec|/3600) degrees. The result is never negative; use
    /// <see cref="SetDms"/> for signed parts.</summary>
    /// <param name="Deg">Degrees.</param>
    /// <param name="Min">Minutes.</param>
    /// <param name="Sec">Seconds.</param>
    /// <returns>The new angle.</returns>
    public static XAngle FromDms(int Deg, int Min, double Sec) =>
        new XAngle((Math.Abs((double)Min) / 60.0 + Math.Abs((double)Deg) + Math.Abs(Sec) / 3600.0) * XConstants.Deg2Rad);

    /// <summary>Sets the angle from degrees, minutes and seconds with the core's sign rule: the
    /// angle is negative when any part is negative, so (-10, 30, 0) and (10, -30, 0) both give
    /// -10.5 degrees.</summary>
    /// <param name="Deg">Degrees.</param>
    /// <param name="Min">Minutes.</param>
    /// <param name="sec">Seconds.</param>
    public void SetDms(int Deg, int Min, double sec) => rad = Native.Geo.DmsToDeg(Deg, Min, sec) * XConstants.Deg2Rad;

    /// <summary>Splits the magnitude of the angle into whole degrees, whole minutes and seconds;
    /// the sign is dropped (-10.5 degrees gives 10, 30, 0).</summary>
    /// <param name="Deg">Whole degrees of the magnitude.</param>
    /// <param name="Min">Whole minutes of what remains.</param>
    /// <param name="sec">Seconds of what remains after the minutes.</param>
    public void GetDms(out int Deg, out int Min, out double sec)
    {
        double a = Math.Abs(rad * XConstants.Rad2Deg);
        double f = (a - Math.Floor(a)) * 60.0;
        Deg = (int)a;
        Min = (int)f;
        sec = (f - Math.Floor(f)) * 60.0;
    }

    /// <summary>The angle as text: signed whole degrees, the degree sign (°), whole minutes, an
    /// apostrophe, seconds with three decimals and a double quote, for example -10°30'0.000".
    /// A negative angle below one degree shows 0 degrees without a sign (-0.5 degrees gives
    /// 0°30'0.000"). The decimal separator is always a full stop.</summary>
    /// <returns>The text.</returns>
    public string GetDmsString()
    {
        double d = rad * XConstants.Rad2Deg;
        GetDms(out int deg, out int min, out double sec);
        int signedDeg = d < 0 ? -deg : deg;
        return string.Create(CultureInfo.InvariantCulture, $"{signedDeg}°{min}'{sec:F3}\"");
    }

    /// <summary>Brings the angle one turn toward zero when it lies beyond a full turn: subtracts
    /// 2π once when rad &gt; 2π, then adds 2π once when rad &lt; -2π. Only one turn is removed, so
    /// 13 radians become 13 - 2π (still above 2π); the core's normalisation removes every whole
    /// turn.</summary>
    public void Normalize()
    {
        if (rad > XConstants.TwoPI) rad -= XConstants.TwoPI;
        if (rad < -XConstants.TwoPI) rad += XConstants.TwoPI;
    }

    /// <summary>A new angle holding the magnitude of <paramref name="a"/>.</summary>
    /// <param name="a">The angle.</param>
    /// <returns>The new angle.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="a"/> is null.</exception>
    public static XAngle Abs(XAngle a) => new XAngle(Math.Abs(Val(a)));

    /// <summary>Whether the angle of <paramref name="a"/> is not a number.</summary>
    /// <param name="a">The angle.</param>
    /// <returns>True for a non-number.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="a"/> is null.</exception>
    public static bool IsNaN(XAngle a) => double.IsNaN(Val(a));

    /// <summary>Whether <paramref name="val"/> holds exactly the same radians.</summary>
    /// <param name="val">The other angle.</param>
    /// <returns>False when <paramref name="val"/> is null or differs; non-numbers never match.</returns>
    public bool IsEqual(XAngle? val) => val is not null && rad == val.rad;

    /// <summary>This angle minus <paramref name="a"/>, as a new angle.</summary>
    /// <param name="a">The angle to subtract.</param>
    /// <returns>The new angle.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="a"/> is null.</exception>
    public XAngle Subtract(XAngle a) => new XAngle(rad - Val(a));

    /// <summary>The core angle with the same radians.</summary>
    /// <returns>The core angle.</returns>
    public Unmanaged GetUnmanObj() => new Unmanaged(rad);

    /// <summary>Sum of two angles.</summary>
    /// <param name="a">First angle.</param>
    /// <param name="b">Second angle.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator +(XAngle a, XAngle b) => new XAngle(Val(a) + Val(b));

    /// <summary>Sum of an angle and radians.</summary>
    /// <param name="a">The angle.</param>
    /// <param name="b">Radians.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator +(XAngle a, double b) => new XAngle(Val(a) + b);

    /// <summary>Sum of radians and an angle.</summary>
    /// <param name="a">Radians.</param>
    /// <param name="b">The angle.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator +(double a, XAngle b) => new XAngle(a + Val(b));

    /// <summary>Difference of two angles.</summary>
    /// <param name="a">First angle.</param>
    /// <param name="b">Second angle.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator -(XAngle a, XAngle b) => new XAngle(Val(a) - Val(b));

    /// <summary>An angle minus radians.</summary>
    /// <param name="a">The angle.</param>
    /// <param name="b">Radians.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator -(XAngle a, double b) => new XAngle(Val(a) - b);

    /// <summary>Radians minus an angle.</summary>
    /// <param name="a">Radians.</param>
    /// <param name="b">The angle.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator -(double a, XAngle b) => new XAngle(a - Val(b));

    /// <summary>Product of the radian values of two angles.</summary>
    /// <param name="a">First angle.</param>
    /// <param name="b">Second angle.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator *(XAngle a, XAngle b) => new XAngle(Val(a) * Val(b));

    /// <summary>An angle scaled by a number.</summary>
    /// <param name="a">The angle.</param>
    /// <param name="b">The factor.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator *(XAngle a, double b) => new XAngle(Val(a) * b);

    /// <summary>An angle scaled by a number.</summary>
    /// <param name="a">The factor.</param>
    /// <param name="b">The angle.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator *(double a, XAngle b) => new XAngle(a * Val(b));

    /// <summary>Quotient of the radian values of two angles.</summary>
    /// <param name="a">Dividend.</param>
    /// <param name="b">Divisor.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator /(XAngle a, XAngle b) => new XAngle(Val(a) / Val(b));

    /// <summary>An angle divided by a number.</summary>
    /// <param name="a">The angle.</param>
    /// <param name="b">The divisor.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator /(XAngle a, double b) => new XAngle(Val(a) / b);

    /// <summary>A number divided by the radians of an angle.</summary>
    /// <param name="a">The dividend.</param>
    /// <param name="b">The angle.</param>
    /// <returns>A new angle.</returns>
    public static XAngle operator /(double a, XAngle b) => new XAngle(a / Val(b));

    /// <summary>Whether <paramref name="a"/> is smaller (false when either is not a number).</summary>
    /// <param name="a">First angle.</param>
    /// <param name="b">Second angle.</param>
    /// <returns>The comparison of the radians.</returns>
    public static bool operator <(XAngle a, XAngle b) => Val(a) < Val(b);

    /// <summary>Whether <paramref name="a"/> is larger (false when either is not a number).</summary>
    /// <param name="a">First angle.</param>
    /// <param name="b">Second angle.</param>
    /// <returns>The comparison of the radians.</returns>
    public static bool operator >(XAngle a, XAngle b) => Val(a) > Val(b);

    /// <summary>Ends the use of the angle. It releases nothing, since the angle owns no native
    /// memory: its radians stay readable and writable afterwards, and calling it again does
    /// nothing.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Releases what the object owns: nothing here, since its state lives in managed
    /// fields. A derived class that owns resources overrides it. The class has no finaliser: with
    /// nothing to release, one would only make every angle costlier to collect.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>, false from a derived class's
    /// finaliser.</param>
    protected virtual void Dispose(bool disposing) { }

    // The radians of an operand, with a clear error for a null one.
    private static double Val(XAngle a, [System.Runtime.CompilerServices.CallerArgumentExpression(nameof(a))] string? name = null)
    {
        if (a is null) throw new ArgumentNullException(name);
        return a.rad;
    }
}
