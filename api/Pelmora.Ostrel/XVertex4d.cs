using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

/// <summary>A four-component double vector.</summary>
/// <remarks>A reference type whose state lives in its public fields; operators return new
/// vectors, while <see cref="Normalize"/> changes this one. It has no unary minus and no dot
/// product.</remarks>
public class XVertex4d : IDisposable
{
    /// <summary>The core's vertex: x, y, z, w in this order.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Unmanaged
    {
        /// <summary>First component.</summary>
        public double x;
        /// <summary>Second component.</summary>
        public double y;
        /// <summary>Third component.</summary>
        public double z;
        /// <summary>Fourth component.</summary>
        public double w;

        /// <summary>Creates a core vertex.</summary>
        /// <param name="x">First component.</param>
        /// <param name="y">Second component.</param>
        /// <param name="z">Third component.</param>
        /// <param name="w">Fourth component.</param>
        public Unmanaged(double x, double y, double z, double w)
        {
            this.x = x;
            this.y = y;
            this.z = z;
            this.w = w;
        }
    }

    /// <summary>First component.</summary>
    public double x;
    /// <summary>Second component.</summary>
    public double y;
    /// <summary>Third component.</summary>
    public double z;
    /// <summary>Fourth component.</summary>
    public double w;

    /// <summary>Creates the zero vector.</summary>
    public XVertex4d() { }

    /// <summary>Creates a vector from its components.</summary>
    /// <param name="x">First component.</param>
    /// <param name="y">Second component.</param>
    /// <param name="z">Third component.</param>
    /// <param name="w">Fourth component.</param>
    public XVertex4d(double x, double y, double z, double w)
    {
        this.x = x;
        this.y = y;
        this.z = z;
        this.w = w;
    }

    /// <summary>Creates a copy of another vector.</summary>
    /// <param name="v">The vector to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="v"/> is null.</exception>
    public XVertex4d(XVertex4d v) : this(Chk(v).x, v.y, v.z, v.w) { }

    /// <summary>Creates a vector holding the components of a core vertex.</summary>
    /// <param name="v">The core vertex.</param>
    public XVertex4d(Unmanaged v) : this(v.x, v.y, v.z, v.w) { }

    /// <summary>The core vertex with the same components.</summary>
    /// <returns>The core vertex.</returns>
    public Unmanaged GetUnmanObj() => new Unmanaged(x, y, z, w);

    /// <summary>Euclidean length.</summary>
    public double Length => norm();

    /// <summary>Euclidean length.</summary>
    /// <returns>sqrt(x² + y² + z² + w²).</returns>
    public double norm() => Math.Sqrt(norm2());

    /// <summary>Squared length.</summary>
    /// <returns>x² + y² + z² + w².</returns>
    public double norm2() => x * x + y * y + z * z + w * w;

    /// <summary>Divides every component by the length, in place; a zero vector becomes
    /// non-numbers.</summary>
    public void Normalize()
    {
        double n = norm();
        x /= n;
        y /= n;
        z /= n;
        w /= n;
    }

    /// <summary>A new vector: this one divided by its length.</summary>
    /// <returns>The unit vector (non-numbers for the zero vector).</returns>
    public XVertex4d GetNormalize()
    {
        double n = norm();
        return new XVertex4d(x / n, y / n, z / n, w / n);
    }

    /// <summary>Whether <paramref name="v"/> has exactly the same components.</summary>
    /// <param name="v">The other vector.</param>
    /// <returns>False when <paramref name="v"/> is null or any component differs.</returns>
    public bool IsEqual(XVertex4d? v) => v is not null && x == v.x && y == v.y && z == v.z && w == v.w;

    /// <summary>Component-wise sum.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex4d operator +(XVertex4d a, XVertex4d b)
    {
        Chk(a);
        Chk(b);
        return new XVertex4d(a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w);
    }

    /// <summary>Component-wise difference.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex4d operator -(XVertex4d a, XVertex4d b)
    {
        Chk(a);
        Chk(b);
        return new XVertex4d(a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w);
    }

    /// <summary>The vector scaled by <paramref name="t"/>.</summary>
    /// <param name="a">The vector.</param>
    /// <param name="t">The factor.</param>
    /// <returns>A new vector.</returns>
    public static XVertex4d operator *(XVertex4d a, double t) =>
        new XVertex4d(Chk(a).x * t, a.y * t, a.z * t, a.w * t);

    /// <summary>The vector scaled by <paramref name="t"/>.</summary>
    /// <param name="t">The factor.</param>
    /// <param name="a">The vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex4d operator *(double t, XVertex4d a) =>
        new XVertex4d(t * Chk(a).x, t * a.y, t * a.z, t * a.w);

    /// <summary>The vector divided by <paramref name="t"/>.</summary>
    /// <param name="a">The vector.</param>
    /// <param name="t">The divisor.</param>
    /// <returns>A new vector.</returns>
    public static XVertex4d operator /(XVertex4d a, double t) =>
        new XVertex4d(Chk(a).x / t, a.y / t, a.z / t, a.w / t);

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

    private static XVertex4d Chk(XVertex4d v, [CallerArgumentExpression(nameof(v))] string? name = null) =>
        v ?? throw new ArgumentNullException(name);
}
