using System;
using System.Collections.Generic;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>The camera fits of <see cref="Xfn"/> through the public layer: points and arrays
/// cross the boundary in the right order, results come back into the caller's arrays, and bad
/// arguments raise .NET exceptions. The numerics are proven natively.</summary>
public class XfnCameraTests
{
    private static readonly double[] Frame = { 1500, 512.25, 384.75, 1200, -800, 2500, 0.05, -0.08, 0.6 };

    /// <summary>Points of a frame camera over rough terrain, projected through
    /// <see cref="Xfn.BuildRotation"/> (proven natively against the elementary turns).</summary>
    private static List<XGCP> FramePoints(double[] p, int n, int seed)
    {
        var rng = new Random(seed);
        double[,] m = Xfn.BuildRotation(p[6], p[7], p[8]);
        var points = new List<XGCP>();
        for (int i = 0; i < n; ++i)
        {
            double[] g = { p[3] + 3000 * rng.NextDouble() - 1500, p[4] + 3000 * rng.NextDouble() - 1500,
                           400 * rng.NextDouble() };
            double[] q = new double[3];
            for (int r = 0; r < 3; ++r) q[r] = m[r, 0] * (g[0] - p[3]) + m[r, 1] * (g[1] - p[4]) + m[r, 2] * (g[2] - p[5]);
            points.Add(new XGCP
            {
                ID = i + 1,
                imgCoord = new XVertex2d(p[1] - p[0] * q[0] / q[2], p[2] - p[0] * q[1] / q[2]),
                refCoord = new XVertex3d(g[0], g[1], g[2]),
            });
        }
        return points;
    }

    [Fact]
    public void RotationComesBackRowByRow()
    {
        // Rx(ω) alone and Rz(κ) alone: the sines sit above or below the diagonal.
        double[,] w = Xfn.BuildRotation(0.3, 0, 0), k = Xfn.BuildRotation(0, 0, 0.7);
        Near(1e-15, (-Math.Sin(0.3), w[1, 2]), (Math.Sin(0.3), w[2, 1]), (1, w[0, 0]));
        Near(1e-15, (-Math.Sin(0.7), k[0, 1]), (Math.Sin(0.7), k[1, 0]), (1, k[2, 2]));
        Assert.Equal(Math.Sin(-1.2), Xfn.BuildRotation(0.3, -1.2, 2.9)[0, 2], 15);  // sin φ, whatever ω and κ
    }

    [Fact]
    public void DltStartAndRefinementRecoverAFrameCamera()
    {
        List<XGCP> points = FramePoints(Frame, 30, 1);
        // An unused point far off the model changes nothing.
        points.Add(new XGCP { ID = 99, Used = false, imgCoord = new XVertex2d(-5000, 9000), refCoord = new XVertex3d(1, 2, 3) });
        var a = new double[9];
        Assert.Equal(Xfn.CameraDltOk, Xfn.EstimateCameraByDlt(a, null, points));
        for (int j = 0; j < 9; ++j) Assert.Equal(Frame[j], a[j], 6);

        // Hold f; move the rest off and refine back.
        double[] start = Frame.Select((v, j) => j == 0 ? v : v + (j < 6 ? 20 : 0.02)).ToArray();
        bool[] free = Enumerable.Range(0, 9).Select(j => j != 0).ToArray();
        int result = Xfn.RefineCameraModel(eCameraModel.Frame, start, free, points, 1e-18, 100, out double chi2,
                                           out double[,] covar);
        Assert.Equal(Xfn.CameraConverged, result);
        Assert.InRange(chi2, 0, 1e-18);
        for (int j = 0; j < 9; ++j) Assert.Equal(Frame[j], start[j], 8);
        Assert.Equal((9, 9), (covar.GetLength(0), covar.GetLength(1)));
        for (int j = 0; j < 9; ++j) Assert.Equal(0.0, covar[0, j]);
        for (int j = 1; j < 9; ++j) Assert.True(covar[j, j] > 0, $"variance {j}");
        Assert.Equal(covar[3, 5], covar[5, 3]);
        Assert.Equal(-5000, points[30].imgCoord.x);  // the points are left as they were

        // One iteration takes no step.
        double[] once = Frame.Select(v => v * 1.001).ToArray(), copy = (double[])once.Clone();
        Assert.Equal(Xfn.CameraNotConverged,
                     Xfn.RefineCameraModel(eCameraModel.Frame, once, null, points, 1e-18, 1, out _, out _));
        Assert.Equal(copy, once);
    }

    [Fact]
    public void CollinearityOfTheLineScannerReadsTheRowFromTheImageY()
    {
        // f, X0, Y0, Z0, angles; the position moves 2 units per row along Y.
        var p = new double[19];
        p[0] = 1000;
        p[3] = 500;
        p[8] = 2;
        var pt = new List<XGCP> { new() { imgCoord = new XVertex2d(0, 10), refCoord = new XVertex3d(50, 20, 0) } };
        double x = Xfn.EvalCollinearity(eCameraModel.LineScanner, p, pt, 0, out double[] dx);
        double y = Xfn.EvalCollinearity(eCameraModel.LineScanner, p, pt, 1, out double[] dy);
        // At row 10 the centre is (0, 20, 500): U = 50, V = 0, W = -500.
        Near(1e-12, (100, x), (0, y));
        Assert.Equal(19, dx.Length);
        Assert.Equal(0.1, dx[0], 12);                 // -U / W
        Assert.Equal(dy[2] * 10, dy[8], 12);          // linear term = constant term times the row
        Assert.Equal(dy[2] * 100, dy[14], 12);        // quadratic: times the row squared
    }

    [Fact]
    public void SingularFitsReturnMinusOneWithAnEmptyCovariance()
    {
        List<XGCP> points = FramePoints(Frame, 4, 2);
        double[] a = Frame.Select(v => v * 1.01).ToArray();
        Assert.Equal(Xfn.CameraSingular,
                     Xfn.RefineCameraModel(eCameraModel.Frame, a, null, points, 0, 50, out _, out double[,] covar));
        Assert.Empty(covar);
        double[] keep = (double[])a.Clone();
        Assert.Equal(Xfn.CameraSingular, Xfn.EstimateCameraByDlt(a, null, points));
        Assert.Equal(keep, a);
    }

    [Fact]
    public void BadArgumentsRaiseDotNetExceptions()
    {
        List<XGCP> pts = FramePoints(Frame, 8, 3);
        double[] a = (double[])Frame.Clone();
        var cases = new (Type, Action)[]
        {
            (typeof(ArgumentNullException), () => Xfn.RefineCameraModel(eCameraModel.Frame, null!, null, pts, 0, 10, out _, out _)),
            (typeof(ArgumentNullException), () => Xfn.RefineCameraModel(eCameraModel.Frame, a, null, null!, 0, 10, out _, out _)),
            (typeof(ArgumentException), () => Xfn.RefineCameraModel(eCameraModel.LineScanner, a, null, pts, 0, 10, out _, out _)),
            (typeof(ArgumentException), () => Xfn.RefineCameraModel(eCameraModel.Frame, a, new bool[8], pts, 0, 10, out _, out _)),
            (typeof(ArgumentException), () => Xfn.RefineCameraModel(eCameraModel.Frame, a, null, new List<XGCP> { pts[0], null! }, 0, 10, out _, out _)),
            (typeof(ArgumentOutOfRangeException), () => Xfn.RefineCameraModel((eCameraModel)10, new double[10], null, pts, 0, 10, out _, out _)),
            (typeof(ArgumentOutOfRangeException), () => Xfn.RefineCameraModel(eCameraModel.Frame, a, null, pts, double.NaN, 10, out _, out _)),
            (typeof(ArgumentOutOfRangeException), () => Xfn.RefineCameraModel(eCameraModel.Frame, a, null, pts, -1, 10, out _, out _)),
            (typeof(ArgumentOutOfRangeException), () => Xfn.RefineCameraModel(eCameraModel.Frame, a, null, pts, 0, 0, out _, out _)),
            (typeof(ArgumentNullException), () => Xfn.EstimateCameraByDlt(null!, null, pts)),
            (typeof(ArgumentException), () => Xfn.EstimateCameraByDlt(new double[19], null, pts)),
            (typeof(ArgumentException), () => Xfn.EstimateCameraByDlt(a, new bool[3], pts)),
            (typeof(ArgumentNullException), () => Xfn.EstimateCameraByDlt(a, null, null!)),
            (typeof(ArgumentOutOfRangeException), () => Xfn.EvalCollinearity(eCameraModel.Frame, a, pts, 16, out _)),
            (typeof(ArgumentOutOfRangeException), () => Xfn.EvalCollinearity(eCameraModel.Frame, a, pts, -1, out _)),
            (typeof(ArgumentOutOfRangeException), () => Xfn.EvalCollinearity((eCameraModel)0, a, pts, 0, out _)),
            (typeof(ArgumentException), () => Xfn.EvalCollinearity(eCameraModel.Frame, new double[8], pts, 0, out _)),
            (typeof(ArgumentException), () => Xfn.EvalCollinearity(eCameraModel.Frame, a, new XGCP[] { null! }, 1, out _)),
        };
        foreach (var (type, call) in cases) Assert.Throws(type, call);
        Assert.Equal(Frame, a);  // nothing reached the native side
    }

    private static void Near(double tolerance, params (double Expected, double Actual)[] pairs)
    {
        foreach (var (e, a) in pairs) Assert.InRange(a, e - tolerance, e + tolerance);
    }
}
