namespace Pelmora.Ostrel;

/// <summary>The sensor model of a camera fit. The value of each member is the length of its
/// parameter array.</summary>
public enum eCameraModel
{
    /// <summary>A frame camera, 9 parameters: f, x0, y0 (principal distance and point, pixels),
    /// X0, Y0, Z0 (projection centre, ground units), ω, φ, κ (radians).</summary>
    Frame = 9,
    /// <summary>A line scanner, 19 parameters: f; the constant terms of X0, Y0, Z0 and of ω, φ,
    /// κ; then their linear terms in the same order; then their quadratic terms. Each exterior
    /// value at image row t (the point's image y) is constant + linear·t + quadratic·t².</summary>
    LineScanner = 19,
}
