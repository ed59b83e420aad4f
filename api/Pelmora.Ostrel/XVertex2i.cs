using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

/// <summary>A two-component 32-bit integer vector.</summary>
/// <remarks>
/// <para>Sums of products (<see cref="dotProduct(XVertex2i)"/>, <see cref="norm2"/>,
/// <see cref="norm"/>) are formed in 32-bit integer arithmetic, wrapping on overflow, and
/// converted to double afterwards.</para>
/// <para>Scaling goes through double and back with two rounding rules: vector × t and
/// vector ÷ t add 0.5 and truncate toward zero, while t × vector truncates toward zero without
/// adding 0.5; so (3, 3) × 0.5 is (2, 2) but 0.5 × (3, 3) is (1, 1). A result outside the 32-bit
/// range saturates, and a non-number becomes 0.</para>
/// </remarks>
public class XVertex2i : IDisposable
{
    /// <summary>The core's integer vertex: x, y in this order.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Unmanaged
    {
        /// <summary>First component.</summary>
        public int x;
        /// <summary>Second component.</summary>
        public int y;

        /// <summary>Creates a core vertex.</summary>
        /// <param name="x">First component.</param>
        /// <param name="y">Second component.</param>
        public Unmanaged(int x, int y)
        {
            this.x = x;
            this.y = y;
        }
    }

    /// <summary>First component.</summary>
    public int x;
    /// <summary>Second component.</summary>
    public int y;

    /// <summary>Creates the zero vector.</summary>
    public XVertex2i() { }

    /// <summary>Creates a vector from its components.</summary>
    /// <param name="x">First component.</param>
    /// <param name="y">Second component.</param>
    public XVertex2i(int x, int y)
    {
        this.x = x;
        this.y = y;
    }

    /// <summary>Creates a copy of another vector.</summary>
    /// <param name="v">The vector to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="v"/> is null.</exception>
    public XVertex2i(XVertex2i v) : this(Chk(v).x, v.y) { }

    /// <summary>Creates a vector holding the components of a core vertex.</summary>
    /// <param name="v">The core vertex.</param>
    public XVertex2i(Unmanaged v) : this(v.x, v.y) { }

    /// <summary>The core vertex with the same components.</summary>
    /// <returns>The core vertex.</returns>
    public Unmanaged GetUnmanObj() => new Unmanaged(x, y);

    /// <summary>Euclidean length.</summary>
    public double Length => norm();

    /// <summary>Euclidean length: the square root of <see cref="norm2"/>.</summary>
    /// <returns>The length.</returns>
    public double norm() => Math.Sqrt(norm2());

    /// <summary>Squared length, summed in 32-bit integers.</summary>
    /// <returns>x² + y² converted to double.</returns>
    public double norm2() => unchecked(x * x + y * y);

    /// <summary>Divides every component by the length in double and truncates toward zero, in
    /// place.</summary>
    public void Normalize()
    {
        double n = norm();
        x = (int)(x / n);
        y = (int)(y / n);
    }

    /// <summary>A new vector: this one divided by its length, each component truncated toward
    /// zero.</summary>
    /// <returns>The new vector.</returns>
    public XVertex2i GetNormalize()
    {
        double n = norm();
        return new XVertex2i((int)(x / n), (int)(y / n));
    }

    /// <summary>Dot product of this vector and <paramref name="v"/>, summed in 32-bit
    /// integers.</summary>
    /// <param name="v">The other vector.</param>
    /// <returns>The dot product converted to double.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="v"/> is null.</exception>
    public double dotProduct(XVertex2i v) => dotProduct(this, v);

    /// <summary>Dot product of two vectors, summed in 32-bit integers.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>The dot product converted to double.</returns>
    /// <exception cref="ArgumentNullException">A vector is null.</exception>
    public static double dotProduct(XVertex2i a, XVertex2i b)
    {
        Chk(a);
        Chk(b);
        return unchecked(a.x * b.x + a.y * b.y);
    }

    /// <summary>Whether <paramref name="v"/> has the same components.</summary>
    /// <param name="v">The other vector.</param>
    /// <returns>False when <paramref name="v"/> is null or any component differs.</returns>
    public bool IsEqual(XVertex2i? v) => v is not null && x == v.x && y == v.y;

    /// <summary>Component-wise sum (wrapping on overflow).</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2i operator +(XVertex2i a, XVertex2i b)
    {
        Chk(a);
        Chk(b);
        return new XVertex2i(unchecked(a.x + b.x), unchecked(a.y + b.y));
    }

    /// <summary>Component-wise difference (wrapping on overflow).</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2i operator -(XVertex2i a, XVertex2i b)
    {
        Chk(a);
        Chk(b);
        return new XVertex2i(unchecked(a.x - b.x), unchecked(a.y - b.y));
    }

    /// <summary>The opposite vector.</summary>
    /// <param name="a">The vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2i operator -(XVertex2i a) => new XVertex2i(unchecked(-Chk(a).x), unchecked(-a.y));

    /// <summary>The vector scaled by <paramref name="t"/>: each component × t + 0.5, truncated
    /// toward zero.</summary>
    /// <param name="a">The vector.</param>
    /// <param name="t">The factor.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2i operator *(XVertex2i a, double t) =>
        new XVertex2i((int)(Chk(a).x * t + 0.5), (int)(a.y * t + 0.5));

    /// <summary>The vector scaled by <paramref name="t"/>: t × each component, truncated toward
    /// zero (no 0.5 added).</summary>
    /// <param name="t">The factor.</param>
    /// <param name="a">The vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2i operator *(double t, XVertex2i a) => new XVertex2i((int)(t * Chk(a).x), (int)(t * a.y));

    /// <summary>The vector divided by <paramref name="t"/>: each component ÷ t + 0.5, truncated
    /// toward zero.</summary>
    /// <param name="a">The vector.</param>
    /// <param name="t">The divisor.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2i operator /(XVertex2i a, double t) =>
        new XVertex2i((int)(Chk(a).x / t + 0.5), (int)(a.y / t + 0.5));

    /// <summary>Ends the use of the vector. It releases nothing, since the vector owns no native
    /// memory: its components stay readable and writable afterwards, and calling it again does
    /// nothing.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Releases what the object owns: nothing here, since its state lives in managed
    /// fields. A derived class that owns resources overrides it. The class has no finaliser: with
    /// nothing to release, one would only make every vector costlier to collect.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>, false from a derived class's
    /// finaliser.</param>
    protected virtual void Dispose(bool disposing) { }

    private static XVertex2i Chk(XVertex2i v, [CallerArgumentExpression(nameof(v))] string? name = null) =>
        v ?? throw new ArgumentNullException(name);
}
