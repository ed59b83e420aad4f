using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

/// <summary>
/// A three-component double vector: cartesian positions and velocities, frame axes, and packed
/// triples such as (longitude, latitude, height).
/// </summary>
/// <remarks>A reference type whose state lives in its public fields; operators return new
/// vectors, while <see cref="Normalize"/> changes this one.</remarks>
public class XVertex3d : IDisposable
{
    /// <summary>The core's vertex: x, y, z in this order.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Unmanaged
    {
        /// <summary>First component.</summary>
        public double x;
        /// <summary>Second component.</summary>
        public double y;
        /// <summary>Third component.</summary>
        public double z;

        /// <summary>Creates a core vertex.</summary>
        /// <param name="x">First component.</param>
        /// <param name="y">Second component.</param>
        /// <param name="z">Third component.</param>
        public Unmanaged(double x, double y, double z)
        {
            this.x = x;
            this.y = y;
            this.z = z;
        }
    }

    /// <summary>First component.</summary>
    public double x;
    /// <summary>Second component.</summary>
    public double y;
    /// <summary>Third component.</summary>
    public double z;

    /// <summary>Creates the zero vector.</summary>
    public XVertex3d() { }

    /// <summary>Creates a vector from its components.</summary>
    /// <param name="x">First component.</param>
    /// <param name="y">Second component.</param>
    /// <param name="z">Third component.</param>
    public XVertex3d(double x, double y, double z)
    {
        this.x = x;
        this.y = y;
        this.z = z;
    }

    /// <summary>Creates a copy of another vector.</summary>
    /// <param name="v">The vector to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="v"/> is null.</exception>
    public XVertex3d(XVertex3d v) : this(Chk(v).x, v.y, v.z) { }

    /// <summary>Creates a vector holding the components of a core vertex.</summary>
    /// <param name="v">The core vertex.</param>
    public XVertex3d(Unmanaged v) : this(v.x, v.y, v.z) { }

    /// <summary>The core vertex with the same components.</summary>
    /// <returns>The core vertex.</returns>
    public Unmanaged GetUnmanObj() => new Unmanaged(x, y, z);

    /// <summary>Euclidean length.</summary>
    public double Length => norm();

    /// <summary>Euclidean length.</summary>
    /// <returns>sqrt(x² + y² + z²).</returns>
    public double norm() => Math.Sqrt(norm2());

    /// <summary>Squared length.</summary>
    /// <returns>x² + y² + z².</returns>
    public double norm2() => x * x + y * y + z * z;

    /// <summary>Divides every component by the length, in place; a zero vector becomes
    /// non-numbers.</summary>
    public void Normalize()
    {
        double n = norm();
        x /= n;
        y /= n;
        z /= n;
    }

    /// <summary>A new vector: this one divided by its length.</summary>
    /// <returns>The unit vector (non-numbers for the zero vector).</returns>
    public XVertex3d GetNormalize()
    {
        double n = norm();
        return new XVertex3d(x / n, y / n, z / n);
    }

    /// <summary>Dot product of this vector and <paramref name="v"/>.</summary>
    /// <param name="v">The other vector.</param>
    /// <returns>The dot product.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="v"/> is null.</exception>
    public double dotProduct(XVertex3d v) => dotProduct(this, v);

    /// <summary>Dot product of two vectors.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>The dot product.</returns>
    /// <exception cref="ArgumentNullException">A vector is null.</exception>
    public static double dotProduct(XVertex3d a, XVertex3d b)
    {
        Chk(a);
        Chk(b);
        return a.x * b.x + a.y * b.y + a.z * b.z;
    }

    /// <summary>Cross product this × <paramref name="v"/>.</summary>
    /// <param name="v">The right-hand vector.</param>
    /// <returns>A new vector.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="v"/> is null.</exception>
    public XVertex3d crossProduct(XVertex3d v) => crossProduct(this, v);

    /// <summary>Cross product <paramref name="a"/> × <paramref name="b"/>.</summary>
    /// <param name="a">The left-hand vector.</param>
    /// <param name="b">The right-hand vector.</param>
    /// <returns>A new vector.</returns>
    /// <exception cref="ArgumentNullException">A vector is null.</exception>
    public static XVertex3d crossProduct(XVertex3d a, XVertex3d b)
    {
        Chk(a);
        Chk(b);
        return new XVertex3d(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    }

    /// <summary>The angle between two vectors: the arc cosine of their dot product over the
    /// product of their lengths. The cosine is not clamped, so rounding just outside [-1, 1], or
    /// a zero vector, gives a non-number angle.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>A new angle.</returns>
    /// <exception cref="ArgumentNullException">A vector is null.</exception>
    public static XAngle GetAngle(XVertex3d a, XVertex3d b) =>
        new XAngle(Math.Acos(dotProduct(a, b) / (a.norm() * b.norm())));

    /// <summary>Whether <paramref name="v"/> has exactly the same components.</summary>
    /// <param name="v">The other vector.</param>
    /// <returns>False when <paramref name="v"/> is null or any component differs.</returns>
    public bool IsEqual(XVertex3d? v) => v is not null && x == v.x && y == v.y && z == v.z;

    /// <summary>Component-wise sum.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex3d operator +(XVertex3d a, XVertex3d b)
    {
        Chk(a);
        Chk(b);
        return new XVertex3d(a.x + b.x, a.y + b.y, a.z + b.z);
    }

    /// <summary>Component-wise difference.</summary>
    /// <param name="a">First vector.</param>
    /// <param name="b">Second vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex3d operator -(XVertex3d a, XVertex3d b)
    {
        Chk(a);
        Chk(b);
        return new XVertex3d(a.x - b.x, a.y - b.y, a.z - b.z);
    }

    /// <summary>The opposite vector.</summary>
    /// <param name="a">The vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex3d operator -(XVertex3d a) => new XVertex3d(-Chk(a).x, -a.y, -a.z);

    /// <summary>The vector scaled by <paramref name="t"/>.</summary>
    /// <param name="a">The vector.</param>
    /// <param name="t">The factor.</param>
    /// <returns>A new vector.</returns>
    public static XVertex3d operator *(XVertex3d a, double t) => new XVertex3d(Chk(a).x * t, a.y * t, a.z * t);

    /// <summary>The vector scaled by <paramref name="t"/>.</summary>
    /// <param name="t">The factor.</param>
    /// <param name="a">The vector.</param>
    /// <returns>A new vector.</returns>
    public static XVertex3d operator *(double t, XVertex3d a) => new XVertex3d(t * Chk(a).x, t * a.y, t * a.z);

    /// <summary>The vector divided by <paramref name="t"/>.</summary>
    /// <param name="a">The vector.</param>
    /// <param name="t">The divisor.</param>
    /// <returns>A new vector.</returns>
    public static XVertex3d operator /(XVertex3d a, double t) => new XVertex3d(Chk(a).x / t, a.y / t, a.z / t);

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

    private static XVertex3d Chk(XVertex3d v, [CallerArgumentExpression(nameof(v))] string? name = null) =>
        v ?? throw new ArgumentNullException(name);
}
