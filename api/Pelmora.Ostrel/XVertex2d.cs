using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

/// <summary>A two-component double vector.</summary>
/// <remarks>A reference type whose state lives in its public fields; operators return new
/// vectors, while <see cref="Normalize"/> changes this one.</remarks>
public class XVertex2d : IDisposable
{
    /// <summary>The core's vertex: x, y in this order.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Unmanaged
    {
        /// <summary>First component.</summary>
        public double x;
        /// <summary>Second component.</summary>
        public double y;

        /// <summary>Creates a core vertex.</summary>
        /// <param name="x">First component.</param>
        /// <param name="y">Second component.</param>
        public Unmanaged(double x, double y)
        {
            this.x = x;
            this.y = y;
        }
    }

    /// <summary>First component.</summary>
    public double x;
    /// <summary>Second component.</summary>
    public double y;

    /// <summary>Creates the zero vector.</summary>
    public XVertex2d() { }

    /// <summary>Creates a vector from its components.</summary>
    /// <param name="x">First component.</param>
    /// <param name="y">Second component.</param>
    public XVertex2d(double x, double y)
    {
        this.x = x;
        this.y = y;
    }

    /// <summary>Creates a copy of another vector.</summary>
    /// <param name="v">The vector to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="v"/> is null.</exception>
    public XVertex2d(XVertex2d v) : this(Chk(v).x, v.y) { }

    /// <summary>Creates a vector holding the components of a core vertex.</summary>
    /// <param name="v">The core vertex.</param>
    public XVertex2d(Unmanaged v) : this(v.x, v.y) { }

    /// <summary>The core vertex with the same components.</summary>
    /// <returns>The core vertex.</returns>
    public Unmanaged GetUnmanObj() => new Unmanaged(x, y);

    /// <summary>Euclidean length.</summary>
    public double Length => norm();

    /// <summary>Euclidean length.</summary>
    /// <returns>sqrt(x² + y²).</returns>
    public double norm() => Math.Sqrt(norm2());

    /// <summary>Squared length.</summary>
    /// <returns>x² + y².</returns>
    public double norm2() => x * x + y * y;

    /// <summary>Divides every component by the length, in place; a zero vector becomes
    /// non-numbers.</summary>
    public void Normalize()
    {
        double n = norm();
        x /= n;
        y /= n;
    }

    /// <summary>A new vector: this one divided by its length.</summary>
    /// <returns>The unit vector (non-numbers for the zero vector).</returns>
    public XVertex2d GetNormalize()
    {
        double n = norm();
        return new XVertex2d(x / n, y / n);
    }

    /// <summary>Dot product of this vector and <paramref name="v"/>.</summary>
    /// <param name="v">The other vector.</param>
    /// <returns>The dot product.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="v"/> is null.</exception>
    public double dotProduct(XVertex2d v) => dotProduct(this, v);

    /// <summary>Dot product of two vectors.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>The dot product.</returns>
    /// <exception cref="ArgumentNullException">A vector is null.</exception>
    public static double dotProduct(XVertex2d a, XVertex2d b)
    {
        Chk(a);
        Chk(b);
        return a.x * b.x + a.y * b.y;
    }

    /// <summary>Whether <paramref name="v"/> has exactly the same components.</summary>
    /// <param name="v">The other vector.</param>
    /// <returns>False when <paramref name="v"/> is null or any component differs.</returns>
    public bool IsEqual(XVertex2d? v) => v is not null && x == v.x && y == v.y;

    /// <summary>Component-wise sum.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2d operator +(XVertex2d a, XVertex2d b)
    {
        Chk(a);
        Chk(b);
        return new XVertex2d(a.x + b.x, a.y + b.y);
    }

    /// <summary>Component-wise difference.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2d operator -(XVertex2d a, XVertex2d b)
    {
        Chk(a);
        Chk(b);
        return new XVertex2d(a.x - b.x, a.y - b.y);
    }

    /// <summary>The opposite vector.</summary>
    /// <param name="a">The vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2d operator -(XVertex2d a) => new XVertex2d(-Chk(a).x, -a.y);

    /// <summary>The vector scaled by <paramref name="t"/>.</summary>
    /// <param name="a">The vector.</param>
    /// <param name="t">The factor.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2d operator *(XVertex2d a, double t) => new XVertex2d(Chk(a).x * t, a.y * t);

    /// <summary>The vector scaled by <paramref name="t"/>.</summary>
    /// <param name="t">The factor.</param>
    /// <param name="a">The vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2d operator *(double t, XVertex2d a) => new XVertex2d(t * Chk(a).x, t * a.y);

    /// <summary>The vector divided by <paramref name="t"/>.</summary>
    /// <param name="a">The vector.</param>
    /// <param name="t">The divisor.</param>
    /// <returns>A new vector.</returns>
    public static XVertex2d operator /(XVertex2d a, double t) => new XVertex2d(Chk(a).x / t, a.y / t);

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

    private static XVertex2d Chk(XVertex2d v, [CallerArgumentExpression(nameof(v))] string? name = null) =>
        v ?? throw new ArgumentNullException(name);
}
