using System;
using System.Collections.Generic;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>Control points generated from known mappings, shared by the fitting and resampling
/// tests.</summary>
internal static class AnalyticPoints
{
    // x' = 1e-3 x² − 2e-3 y² + 5e-4 xy + 1.1 x + 0.2 y + 5, y' = −4e-4 x² + 1e-3 y² + 3e-4 xy − 0.1 x + 0.95 y + 7:
    // the coefficients in the order of eWarpMethod.SecondOrder.
    internal static readonly double[] SecondX = { 1e-3, -2e-3, 5e-4, 1.1, 0.2, 5 };
    internal static readonly double[] SecondY = { -4e-4, 1e-3, 3e-4, -0.1, 0.95, 7 };

    internal static (double X, double Y) Second(double x, double y) =>
        (SecondX[0] * x * x + SecondX[1] * y * y + SecondX[2] * x * y + SecondX[3] * x + SecondX[4] * y + SecondX[5],
         SecondY[0] * x * x + SecondY[1] * y * y + SecondY[2] * x * y + SecondY[3] * x + SecondY[4] * y + SecondY[5]);

    /// <summary>An n × n lattice of image positions over 0..span and their images under
    /// <paramref name="map"/> as reference positions.</summary>
    internal static List<XGCP> Lattice(int n, double span, Func<double, double, (double X, double Y)> map)
    {
        var points = new List<XGCP>();
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
            {
                double x = span * i / (n - 1), y = span * j / (n - 1);
                var (rx, ry) = map(x, y);
                points.Add(new XGCP
                {
                    ID = points.Count, imgCoord = new XVertex2d(x, y), refCoord = new XVertex3d(rx, ry, 0),
                });
            }
        return points;
    }
}

public class XWarp2DTests
{
    [Fact]
    public void FitReproducesAKnownSecondOrderMappingInBothDirections()
    {
        var points = AnalyticPoints.Lattice(5, 400, AnalyticPoints.Second);
        // An outlier that takes no part: it must not disturb the fit, yet gets its residual.
        points.Add(new XGCP { ID = 99, Used = false, imgCoord = new XVertex2d(10, 10), refCoord = new XVertex3d(0, 0, 0) });

        using var w = new XWarp2D();
        Assert.Equal(eWarpMethod.Null, w.Method);
        Assert.Empty(w.Residuals);
        Assert.True(w.Fit(eWarpMethod.SecondOrder, points));
        Assert.Equal(eWarpMethod.SecondOrder, w.Method);
        double[] cx = w.GetCoeffX(), cy = w.GetCoeffY();
        Assert.Equal(10, cx.Length);
        for (int k = 0; k < 6; ++k)
        {
            Assert.Equal(AnalyticPoints.SecondX[k], cx[k], 1e-9);
            Assert.Equal(AnalyticPoints.SecondY[k], cy[k], 1e-9);
        }
        Assert.All(cx.Skip(6).Concat(cy.Skip(6)), c => Assert.Equal(0.0, c));
        Assert.InRange(w.RmsX, 0, 1e-9);
        Assert.InRange(w.RmsY, 0, 1e-9);

        // Residuals in list order, the unused point included: target minus mapped source.
        Assert.Equal(points.Count, w.Residuals.Count);
        Assert.All(w.Residuals.Take(25), r => Assert.True(Math.Abs(r.x) < 1e-9 && Math.Abs(r.y) < 1e-9));
        var (ox, oy) = AnalyticPoints.Second(10, 10);
        Assert.Equal(-ox, w.Residuals[25].x, 1e-9);
        Assert.Equal(-oy, w.Residuals[25].y, 1e-9);

        w.WarpPoint(123.0, 321.0, out double mx, out double my);
        var (ex, ey) = AnalyticPoints.Second(123, 321);
        Assert.Equal(ex, mx, 1e-9);
        Assert.Equal(ey, my, 1e-9);

        // The reverse direction of an affine mapping is affine: it maps reference back to image.
        var affine = AnalyticPoints.Lattice(3, 100, (x, y) => (2 * x + 0.5 * y + 10, -0.5 * x + 2 * y - 4));
        using var back = new XWarp2D();
        Assert.True(back.FitReferenceToImage(eWarpMethod.Affine, affine));
        back.WarpPoint(2 * 30 + 0.5 * 40 + 10, -0.5 * 30 + 2 * 40 - 4, out double ix, out double iy);
        Assert.Equal(30, ix, 1e-9);
        Assert.Equal(40, iy, 1e-9);
    }

    [Fact]
    public void TooFewOrDegeneratePointsFailAndLeaveTheMappingNull()
    {
        var three = AnalyticPoints.Lattice(3, 100, AnalyticPoints.Second);
        using var w = new XWarp2D();
        Assert.True(w.Fit(eWarpMethod.SecondOrder, three, 2, 2));
        Assert.Equal(2, w.CellRows);

        // Third order needs 10 points; 9 are given. The earlier fit and its cells are gone.
        Assert.False(w.Fit(eWarpMethod.ThirdOrder, three));
        Assert.Equal(eWarpMethod.Null, w.Method);
        Assert.Equal(0, w.CellRows);
        Assert.Empty(w.Residuals);
        w.WarpPoint(3, 4, out double x, out double y);
        Assert.Equal((3.0, 4.0), (x, y));

        // Enough points, but only two of them used; and three collinear points.
        three.Skip(2).ToList().ForEach(p => p.Used = false);
        Assert.False(w.Fit(eWarpMethod.Affine, three));
        var collinear = AnalyticPoints.Lattice(3, 100, (a, b) => (a, b)).Where(p => p.imgCoord.x == p.imgCoord.y).ToList();
        Assert.False(w.Fit(eWarpMethod.Affine, collinear));
        Assert.True(w.Fit(eWarpMethod.NoChange, collinear));
        Assert.Equal(eWarpMethod.Null, w.Method);
    }

    [Fact]
    public void CellGridFitsLocallyAndCopiesKeepIt()
    {
        var points = AnalyticPoints.Lattice(5, 400, AnalyticPoints.Second);
        using var w = new XWarp2D();
        Assert.True(w.Fit(eWarpMethod.Affine, points, 2, 3));
        Assert.Equal((3, 2), (w.CellRows, w.CellCols));
        w.GetCellBounds(out double x0, out double y0, out double x1, out double y1);
        Assert.Equal((0.0, 0.0, 400.0, 400.0), (x0, y0, x1, y1));

        // A local affine fit follows the quadratic mapping more closely than the global one.
        using (XWarpCoeff cell = w.GetCell(0, 1))
        {
            Assert.Equal(eWarpMethod.Affine, cell.Method);
            Assert.Equal(typeof(XWarpCoeff), cell.GetType());
        }
        var (ex, _) = AnalyticPoints.Second(350, 50);
        using var global = new XWarp2D();
        Assert.True(global.Fit(eWarpMethod.Affine, points));
        w.WarpPoint(350, 50, out double lx, out _);
        global.WarpPoint(350, 50, out double gx, out _);
        Assert.True(Math.Abs(lx - ex) < Math.Abs(gx - ex));

        using var copy = new XWarp2D(w);
        Assert.Equal((3, 2), (copy.CellRows, copy.CellCols));
        Assert.Equal(w.Residuals, copy.Residuals);
        copy.WarpPoint(350, 50, out double cx, out _);
        Assert.Equal(lx, cx);

        // A plain copy holds the global polynomial only; assigning a plain mapping drops the cells.
        using var plain = new XWarpCoeff(w);
        Assert.Equal(w.GetCoeffX(), plain.GetCoeffX());
        copy.op_Assign(plain);
        Assert.Equal(0, copy.CellRows);
        Assert.Empty(copy.Residuals);
        Assert.Equal(eWarpMethod.Affine, copy.Method);
        copy.op_Assign(w);
        Assert.Equal(3, copy.CellRows);
        Check.Throws<ArgumentOutOfRangeException>(() => w.GetCell(3, 0), () => w.GetCell(0, -1));
    }

    [Fact]
    public void BadInputThrows()
    {
        var points = AnalyticPoints.Lattice(3, 10, (x, y) => (x, y));
        var w = new XWarp2D();
        Check.Throws<ArgumentNullException>(() => w.Fit(eWarpMethod.Affine, null!), () => new XWarp2D(null!));
        Assert.Throws<ArgumentException>(() => w.Fit(eWarpMethod.Affine, new XGCP[] { points[0], null! }));
        Check.Throws<ArgumentOutOfRangeException>(() => w.Fit((eWarpMethod)6, points), () => w.Fit(eWarpMethod.Affine, points, -1, 2),
                                                  () => w.Fit(eWarpMethod.Affine, points, 1000, 1000),
                                                  () => w.GetCell(0, 0));  // no cells
        w.Dispose();
        w.Dispose();
        Check.Throws<ObjectDisposedException>(() => w.Fit(eWarpMethod.Affine, points), () => _ = w.Residuals,
                                              () => _ = w.CellRows, () => _ = w.RmsX, () => new XWarp2D(w));
    }
}

public class XProjectiveWarpTests
{
    private static readonly double[] H = { 1.2, 0.1, 5, -0.05, 0.9, 3, 1e-4, 2e-4, 1 };

    private static (double X, double Y) Apply(double x, double y)
    {
        double w = H[6] * x + H[7] * y + H[8];
        return ((H[0] * x + H[1] * y + H[2]) / w, (H[3] * x + H[4] * y + H[5]) / w);
    }

    [Fact]
    public void FitRecoversAKnownHomography()
    {
        var points = AnalyticPoints.Lattice(4, 300, Apply);
        using var p = new XProjectiveWarp();
        Assert.False(p.WarpPoint(1, 2, out double ux, out double uy));
        Assert.Equal((1.0, 2.0), (ux, uy));
        Assert.All(p.GetMatrix(), v => Assert.Equal(0.0, v));

        Assert.True(p.Fit(points));
        double[] m = p.GetMatrix();
        for (int k = 0; k < 9; ++k) Assert.Equal(H[k], m[k] / m[8], 1e-9);
        Assert.InRange(p.RmsX, 0, 1e-8);
        Assert.InRange(p.RmsY, 0, 1e-8);
        Assert.True(p.WarpPoint(77, 155, out double x, out double y));
        var (ex, ey) = Apply(77, 155);
        Assert.Equal(ex, x, 1e-8);
        Assert.Equal(ey, y, 1e-8);

        using var back = new XProjectiveWarp(p);
        Assert.True(back.FitReferenceToImage(points));
        Assert.True(back.WarpPoint(ex, ey, out double ix, out double iy));
        Assert.Equal(77, ix, 1e-7);
        Assert.Equal(155, iy, 1e-7);

        using var copy = new XProjectiveWarp();
        copy.op_Assign(p);
        Assert.Equal(p.GetMatrix(), copy.GetMatrix());

        // Three used points do not determine the mapping: the object becomes unfitted.
        points.Skip(3).ToList().ForEach(g => g.Used = false);
        Assert.False(p.Fit(points));
        Assert.All(p.GetMatrix(), v => Assert.Equal(0.0, v));
        Assert.False(p.WarpPoint(77, 155, out _, out _));
        Assert.Equal(XGrid.NAN_REAL64, p.RmsX);
    }

    [Fact]
    public void BadInputThrows()
    {
        var p = new XProjectiveWarp();
        Check.Throws<ArgumentNullException>(() => p.Fit(null!), () => new XProjectiveWarp(null!), () => p.op_Assign(null!));
        Assert.Throws<ArgumentException>(() => p.Fit(new XGCP[] { null! }));
        p.Dispose();
        p.Dispose();
        Check.Throws<ObjectDisposedException>(() => p.Fit(new List<XGCP>()), () => p.WarpPoint(0, 0, out _, out _),
                                              () => p.GetMatrix());
    }
}
