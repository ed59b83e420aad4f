using System;
using System.Collections.Generic;

namespace Pelmora.Ostrel;

/// <summary>Physical camera models fitted to ground control points: the collinearity equations
/// of a frame camera and of a line scanner, their Levenberg–Marquardt refinement, and a frame
/// camera start from the direct linear transformation (DLT).</summary>
/// <remarks>
/// <para>Conventions: (U, V, W) = M(ω, φ, κ)·(X − X0, Y − Y0, Z − Z0) with
/// M = Rx(ω)·Ry(φ)·Rz(κ); the frame camera images a ground point at
/// x = x0 − f·U / W, y = y0 − f·V / W. With f &gt; 0 the camera looks along its −W axis. The
/// line scanner's exterior orientation varies with the image row t (the point's image y); its
/// equations are x = −f·U / W and 0 = −f·V / W. Angles are radians.</para>
/// <para>Control points are <see cref="XGCP"/> objects: <see cref="XGCP.refCoord"/> is the
/// ground point (X, Y, Z), <see cref="XGCP.imgCoord"/> the image point (x, y) and
/// <see cref="XGCP.Used"/> says whether it takes part in a fit. Each used point gives two
/// equations, its x equation first. The functions keep no state between calls, so fits may run
/// on several threads at once.</para>
/// </remarks>
public static partial class Xfn
{
    /// <summary><see cref="RefineCameraModel"/>: χ² reached the tolerance.</summary>
    public const int CameraConverged = 0;
    /// <summary><see cref="RefineCameraModel"/>: the iteration stopped above the tolerance, at
    /// the iteration limit or because no step lowered χ² any more (the usual end for data with
    /// noise and a tolerance of 0).</summary>
    public const int CameraNotConverged = 1;
    /// <summary><see cref="RefineCameraModel"/> and <see cref="EstimateCameraByDlt"/>: a system
    /// of equations was singular.</summary>
    public const int CameraSingular = -1;
    /// <summary><see cref="EstimateCameraByDlt"/>: a camera was estimated.</summary>
    public const int CameraDltOk = 1;

    /// <summary>The rotation M(ω, φ, κ) = Rx(ω)·Ry(φ)·Rz(κ) that takes ground differences into
    /// the camera frame.</summary>
    /// <param name="omega">ω, radians.</param>
    /// <param name="phi">φ, radians.</param>
    /// <param name="kappa">κ, radians.</param>
    /// <returns>A new 3 × 3 matrix, indexed [row, column].</returns>
    public static unsafe double[,] BuildRotation(double omega, double phi, double kappa)
    {
        var m = new double[3, 3];
        fixed (double* p = m) Native.Camera.BuildRotation(omega, phi, kappa, p);
        return m;
    }

    /// <summary>The model value of one collinearity equation and its partial derivatives with
    /// respect to every parameter.</summary>
    /// <param name="model">The sensor model.</param>
    /// <param name="parameters">The model's parameters (9 or 19, see
    /// <see cref="eCameraModel"/>).</param>
    /// <param name="points">The control points; only the ground point (and, for the line
    /// scanner, the image y) of the equation's point is read, and <see cref="XGCP.Used"/> is
    /// ignored.</param>
    /// <param name="equation">The equation: 2·i for the x equation of point i, 2·i + 1 for its
    /// y equation.</param>
    /// <param name="derivatives">Receives a new array with one partial derivative per
    /// parameter.</param>
    /// <returns>The right side of the equation: x0 − f·U / W or y0 − f·V / W for the frame
    /// camera, −f·U / W or −f·V / W for the line scanner; not finite for a point in the camera's
    /// principal plane (W = 0).</returns>
    /// <exception cref="ArgumentNullException"><paramref name="parameters"/> or
    /// <paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="model"/> is not a member of
    /// <see cref="eCameraModel"/>, or <paramref name="equation"/> lies outside 0 to
    /// 2·points.Count − 1.</exception>
    /// <exception cref="ArgumentException"><paramref name="parameters"/> does not have the
    /// model's length, or the equation's point is null.</exception>
    public static unsafe double EvalCollinearity(eCameraModel model, double[] parameters, IReadOnlyList<XGCP> points,
                                                 int equation, out double[] derivatives)
    {
        CheckParameters(model, parameters);
        ArgumentNullException.ThrowIfNull(points);
        if (equation < 0 || equation / 2 >= points.Count)
            throw new ArgumentOutOfRangeException(nameof(equation), equation,
                $"The equation must lie between 0 and {2 * points.Count - 1} (two per point).");
        XGCP p = points[equation / 2] ??
                 throw new ArgumentException($"Control point {equation / 2} is null.", nameof(points));
        double X = p.refCoord.x, Y = p.refCoord.y, Z = p.refCoord.z, y = p.imgCoord.y;
        derivatives = new double[parameters.Length];
        fixed (double* a = parameters, d = derivatives)
            return Native.Camera.EvalCollinearity(equation % 2, 1, &X, &Y, &Z, &y, a, parameters.Length, d);
    }

    /// <summary>Refines a camera model by Levenberg–Marquardt least squares (all weights 1) over
    /// the used control points.</summary>
    /// <remarks>λ starts at 0.001; each step solves (α with its diagonal multiplied by 1 + λ)·δ =
    /// β, α = JᵀJ and β = Jᵀr over the free parameters (r = observed − model), and accepts the
    /// trial parameters when their χ² is lower (λ × 0.1), else keeps the old ones (λ × 10). The
    /// evaluation at the start is iteration 1 and every step one more. The iteration stops when
    /// χ² is at or below <paramref name="tolerance"/>, when λ reaches 1e51 or after
    /// <paramref name="maxIterations"/> iterations.</remarks>
    /// <param name="model">The sensor model.</param>
    /// <param name="parameters">The start on entry, the refined parameters on return (also after
    /// a singular system: the last accepted values).</param>
    /// <param name="freeParameters">One flag per parameter, true for a parameter that is fitted;
    /// held parameters keep their values. Null fits all.</param>
    /// <param name="points">The control points; those with <see cref="XGCP.Used"/> false take no
    /// part. The list is not changed.</param>
    /// <param name="tolerance">The χ² (sum of squared residuals, pixels²) at which the fit has
    /// converged; 0 iterates until no step lowers χ².</param>
    /// <param name="maxIterations">The most iterations, at least 1; with 1 no step is taken and
    /// only a start that already meets the tolerance converges.</param>
    /// <param name="chi2">Receives χ² at the returned parameters.</param>
    /// <param name="covariance">Receives (JᵀJ)⁻¹ of the free parameters at the returned
    /// parameters, as a parameters × parameters matrix whose rows and columns of held parameters
    /// are 0: the covariance for image errors of unit variance; multiply by χ² / (equations −
    /// free parameters) for the a-posteriori covariance. An empty (0 × 0) matrix when the result
    /// is <see cref="CameraSingular"/>.</param>
    /// <returns><see cref="CameraConverged"/>, <see cref="CameraNotConverged"/>, or
    /// <see cref="CameraSingular"/> when a system of normal equations is singular (a free
    /// parameter without effect, too few used points, or a start at which the model cannot be
    /// evaluated).</returns>
    /// <exception cref="ArgumentNullException"><paramref name="parameters"/> or
    /// <paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="model"/> is not a member of
    /// <see cref="eCameraModel"/>, <paramref name="tolerance"/> is negative or NaN, or
    /// <paramref name="maxIterations"/> is below 1.</exception>
    /// <exception cref="ArgumentException"><paramref name="parameters"/> does not have the
    /// model's length, <paramref name="freeParameters"/> not the same length, or a point is
    /// null.</exception>
    public static unsafe int RefineCameraModel(eCameraModel model, double[] parameters, bool[]? freeParameters,
                                               IReadOnlyList<XGCP> points, double tolerance, int maxIterations,
                                               out double chi2, out double[,] covariance)
    {
        CheckParameters(model, parameters);
        byte[]? free = MaskBytes(freeParameters, parameters.Length, nameof(freeParameters));
        var pts = new CameraPoints(points);
        if (!(tolerance >= 0))
            throw new ArgumentOutOfRangeException(nameof(tolerance), tolerance, "The tolerance must be 0 or more.");
        ArgumentOutOfRangeException.ThrowIfLessThan(maxIterations, 1);

        int n = parameters.Length, iterations;
        var covar = new double[n, n];
        double c2, lambda;
        int result;
        fixed (double* a = parameters, cv = covar, X = pts.X, Y = pts.Y, Z = pts.Z, x = pts.x, y = pts.y)
        fixed (byte* f = free)
        fixed (int* use = pts.Use)
            result = Native.Camera.Refine(a, n, f, pts.Count, X, Y, Z, x, y, use, tolerance, maxIterations, &c2,
                                          &iterations, &lambda, cv);
        chi2 = c2;
        covariance = result == CameraSingular ? new double[0, 0] : covar;
        return result;
    }

    /// <summary>Estimates a frame camera from the eleven-parameter direct linear transformation
    /// x = (L1·X + L2·Y + L3·Z + L4) / (L9·X + L10·Y + L11·Z + 1), y = (L5·X + L6·Y + L7·Z + L8) /
    /// (L9·X + L10·Y + L11·Z + 1), solved by least squares over the used points and decomposed
    /// into f, x0, y0, the projection centre and ω, φ, κ consistently with
    /// <see cref="BuildRotation"/> (a proper rotation with f &gt; 0). A start for
    /// <see cref="RefineCameraModel"/>.</summary>
    /// <param name="parameters">Nine frame camera parameters; receives the estimate of each
    /// parameter whose mask flag is true.</param>
    /// <param name="mask">Nine flags, true for the parameters to write; null writes all.</param>
    /// <param name="points">The control points; those with <see cref="XGCP.Used"/> false take no
    /// part. At least 6 used points, not all in one plane, are needed.</param>
    /// <returns><see cref="CameraDltOk"/>, or <see cref="CameraSingular"/> with nothing written
    /// when fewer than 6 points are used, the ground points lie in one plane, or the solution is
    /// not a camera.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="parameters"/> or
    /// <paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentException"><paramref name="parameters"/> or
    /// <paramref name="mask"/> does not have 9 entries, or a point is null.</exception>
    public static unsafe int EstimateCameraByDlt(double[] parameters, bool[]? mask, IReadOnlyList<XGCP> points)
    {
        CheckParameters(eCameraModel.Frame, parameters);
        byte[]? m = MaskBytes(mask, parameters.Length, nameof(mask));
        var pts = new CameraPoints(points);
        byte[] use = Array.ConvertAll(pts.Use, u => (byte)u);
        fixed (double* a = parameters, X = pts.X, Y = pts.Y, Z = pts.Z, x = pts.x, y = pts.y)
        fixed (byte* pm = m, pu = use)
            return Native.Camera.EstimateDlt(a, pm, pts.Count, X, Y, Z, x, y, pu);
    }

    private static void CheckParameters(eCameraModel model, double[] parameters)
    {
        if (model != eCameraModel.Frame && model != eCameraModel.LineScanner)
            throw new ArgumentOutOfRangeException(nameof(model), model, "Unknown camera model.");
        ArgumentNullException.ThrowIfNull(parameters);
        if (parameters.Length != (int)model)
            throw new ArgumentException(
                $"The {model} model has {(int)model} parameters; the array has {parameters.Length}.",
                nameof(parameters));
    }

    private static byte[]? MaskBytes(bool[]? flags, int length, string name)
    {
        if (flags == null) return null;
        if (flags.Length != length)
            throw new ArgumentException($"Expected {length} flags, one per parameter; found {flags.Length}.", name);
        return Array.ConvertAll(flags, b => b ? (byte)1 : (byte)0);
    }

    /// <summary>Control points as the parallel arrays of the native fits.</summary>
    private sealed class CameraPoints
    {
        internal readonly double[] X, Y, Z, x, y;
        internal readonly int[] Use;
        internal int Count => X.Length;

        internal CameraPoints(IReadOnlyList<XGCP> points)
        {
            ArgumentNullException.ThrowIfNull(points);
            int n = points.Count;
            X = new double[n];
            Y = new double[n];
            Z = new double[n];
            x = new double[n];
            y = new double[n];
            Use = new int[n];
            for (int i = 0; i < n; ++i)
            {
                XGCP p = points[i] ?? throw new ArgumentException($"Control point {i} is null.", nameof(points));
                X[i] = p.refCoord.x;
                Y[i] = p.refCoord.y;
                Z[i] = p.refCoord.z;
                x[i] = p.imgCoord.x;
                y[i] = p.imgCoord.y;
                Use[i] = p.Used ? 1 : 0;
            }
        }
    }
}
