using System;
using System.Collections.Generic;

namespace Pelmora.Ostrel;

/// <summary>
/// A polynomial mapping fitted by least squares to control points, optionally refined by a grid
/// of local fits (cells) over the fitted points' bounding box.
/// </summary>
/// <remarks>
/// <para>Direction: <see cref="Fit"/> builds the mapping from image positions
/// (<see cref="XGCP.imgCoord"/>, pixels) to reference positions (the x and y of
/// <see cref="XGCP.refCoord"/>); <see cref="FitReferenceToImage"/> builds the reverse, reference
/// to image, which is the direction <see cref="XResamplePixels.ResampleByWarp"/> needs when the
/// destination grid is laid out in reference coordinates (it maps destination pixels to source
/// pixels).</para>
/// <para>The inherited members read the global polynomial (<see cref="XWarpCoeff.Method"/>,
/// coefficients, and residuals of the whole piecewise mapping); <see cref="XWarpCoeff.WarpPoint(double, double, out double, out double)"/>
/// maps through the cell a point falls in (points outside the covered rectangle through the
/// nearest edge cell; a cell without a fit of its own through the global polynomial). Release it
/// with <see cref="XWarpCoeff.Dispose()"/>; a forgotten object is released by its
/// finaliser.</para>
/// </remarks>
public class XWarp2D : XWarpCoeff
{
    /// <summary>The largest number of cells a fit may ask for (<c>gridCols × gridRows</c>).</summary>
    public const int MaxCells = 65536;

    private XVertex2d.Unmanaged[] m_residuals = Array.Empty<XVertex2d.Unmanaged>();

    /// <summary>Creates a mapping in the Null state, without cells.</summary>
    public XWarp2D() : base(Native.Warp.New2D(), true) { }

    /// <summary>Creates a copy of <paramref name="other"/>: everything, cells and residuals
    /// included, of an <see cref="XWarp2D"/>; the method, coefficients and residuals of any other
    /// mapping, without cells.</summary>
    /// <param name="other">The mapping to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="other"/> is null.</exception>
    /// <exception cref="ObjectDisposedException"><paramref name="other"/> has been disposed.</exception>
    public XWarp2D(XWarpCoeff other) : base(Native.Warp.New2DFrom(SourceHandle(other)), true)
    {
        if (other is XWarp2D w) m_residuals = w.m_residuals;
        GC.KeepAlive(other);
    }

    private static NativeObject SourceHandle(XWarpCoeff other)
    {
        ArgumentNullException.ThrowIfNull(other);
        return other.Handle;
    }

    private protected override IntPtr NewCopyOf(NativeObject source) => Native.Warp.New2DFrom(source);

    private protected override void OnAssigned(XWarpCoeff other) =>
        m_residuals = other is XWarp2D w ? w.m_residuals : Array.Empty<XVertex2d.Unmanaged>();

    /// <summary>Fits the mapping from image positions to reference positions (see the class
    /// remarks) over the points whose <see cref="XGCP.Used"/> is true, with a
    /// <paramref name="gridCols"/> × <paramref name="gridRows"/> grid of local fits when that
    /// product is at least 2.</summary>
    /// <param name="method">The polynomial form.</param>
    /// <param name="points">The control points.</param>
    /// <param name="gridCols">Cells along x (0: no grid).</param>
    /// <param name="gridRows">Cells along y (0: no grid).</param>
    /// <returns>True when the global fit succeeded (Null and NoChange always succeed and leave the
    /// mapping Null); false, with the mapping Null and no residuals, when it failed: fewer used
    /// points than the method has terms, or points that do not determine it (collinear or
    /// repeated). A cell whose own fit fails defers to the global polynomial.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentException">An element of <paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="method"/> is not an
    /// <see cref="eWarpMethod"/>, or the grid size is negative or above <see cref="MaxCells"/>
    /// cells.</exception>
    /// <exception cref="ObjectDisposedException">The mapping has been disposed.</exception>
    public bool Fit(eWarpMethod method, IReadOnlyList<XGCP> points, int gridCols = 0, int gridRows = 0) =>
        FitDirected(method, points, gridCols, gridRows, true);

    /// <summary>Fits the reverse mapping, from reference positions (x and y of
    /// <see cref="XGCP.refCoord"/>) to image positions; otherwise as <see cref="Fit"/>.</summary>
    /// <param name="method">The polynomial form.</param>
    /// <param name="points">The control points.</param>
    /// <param name="gridCols">Cells along x (0: no grid).</param>
    /// <param name="gridRows">Cells along y (0: no grid).</param>
    /// <returns>As <see cref="Fit"/>.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentException">An element of <paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentOutOfRangeException">As <see cref="Fit"/>.</exception>
    /// <exception cref="ObjectDisposedException">The mapping has been disposed.</exception>
    public bool FitReferenceToImage(eWarpMethod method, IReadOnlyList<XGCP> points, int gridCols = 0,
                                    int gridRows = 0) =>
        FitDirected(method, points, gridCols, gridRows, false);

    private unsafe bool FitDirected(eWarpMethod method, IReadOnlyList<XGCP> points, int gridCols, int gridRows,
                                    bool imageToReference)
    {
        var pts = new ControlPointArrays(points, imageToReference, nameof(points));
        if (!Enum.IsDefined(method))
            throw new ArgumentOutOfRangeException(nameof(method), method, "Not a warp method.");
        if (gridCols < 0)
            throw new ArgumentOutOfRangeException(nameof(gridCols), gridCols, "The cell count cannot be negative.");
        if (gridRows < 0)
            throw new ArgumentOutOfRangeException(nameof(gridRows), gridRows, "The cell count cannot be negative.");
        if ((long)gridCols * gridRows > MaxCells)
            throw new ArgumentOutOfRangeException(nameof(gridRows), gridRows,
                                                  $"{gridCols} x {gridRows} cells exceed the limit of {MaxCells}.");
        NativeObject self = Handle;
        int n = pts.Count;
        bool ok;
        fixed (double* sx = pts.SrcX, sy = pts.SrcY, dx = pts.DstX, dy = pts.DstY)
        fixed (byte* mask = pts.Mask)
        {
            ok = Native.Warp.Fit2D(self, (int)method, n, sx, sy, dx, dy, mask, gridCols, gridRows) != 0;
            m_residuals = ok ? ComputeResiduals(self, n, sx, sy, dx, dy) : Array.Empty<XVertex2d.Unmanaged>();
        }
        GC.KeepAlive(this);
        return ok;
    }

    /// <summary>Target minus mapped source of every point, NAN_REAL64 where a point does not map.</summary>
    private static unsafe XVertex2d.Unmanaged[] ComputeResiduals(NativeObject warp, int n, double* sx, double* sy,
                                                                double* dx, double* dy)
    {
        var mx = new double[n];
        var my = new double[n];
        var mapped = new byte[n];
        new ReadOnlySpan<double>(sx, n).CopyTo(mx);
        new ReadOnlySpan<double>(sy, n).CopyTo(my);
        fixed (double* px = mx, py = my)
        fixed (byte* ok = mapped)
            Native.Warp.MapPoints(warp, n, px, py, ok);
        var residuals = new XVertex2d.Unmanaged[n];
        for (int i = 0; i < n; ++i)
            residuals[i] = mapped[i] != 0
                ? new XVertex2d.Unmanaged(dx[i] - mx[i], dy[i] - my[i])
                : new XVertex2d.Unmanaged(XGrid.NAN_REAL64, XGrid.NAN_REAL64);
        return residuals;
    }

    /// <summary>The residual of every point of the last successful fit, in the order of the list
    /// given to it, unused points included: the target minus the mapped source (x and y, in
    /// target units), or <see cref="XGrid.NAN_REAL64"/> in both where the point does not map.
    /// Empty before a fit and after a failed one.</summary>
    public IReadOnlyList<XVertex2d.Unmanaged> Residuals
    {
        get
        {
            _ = Handle;
            return Array.AsReadOnly(m_residuals);
        }
    }

    /// <summary>Rows (along y) of the cell grid; 0 without a grid.</summary>
    public int CellRows
    {
        get
        {
            int n = Native.Warp.CellRows(Handle);
            GC.KeepAlive(this);
            return n;
        }
    }

    /// <summary>Columns (along x) of the cell grid; 0 without a grid.</summary>
    public int CellCols
    {
        get
        {
            int n = Native.Warp.CellCols(Handle);
            GC.KeepAlive(this);
            return n;
        }
    }

    /// <summary>A copy of the local polynomial of cell (<paramref name="row"/>,
    /// <paramref name="col"/>): row along y, column along x, counted from the covered rectangle's
    /// minimum corner. A cell whose own fit failed is Null. The caller disposes it.</summary>
    /// <param name="row">Cell row, 0..<see cref="CellRows"/> − 1.</param>
    /// <param name="col">Cell column, 0..<see cref="CellCols"/> − 1.</param>
    /// <returns>A new mapping.</returns>
    /// <exception cref="ArgumentOutOfRangeException">The cell lies outside the grid.</exception>
    /// <exception cref="ObjectDisposedException">The mapping has been disposed.</exception>
    public XWarpCoeff GetCell(int row, int col)
    {
        int rows = CellRows, cols = CellCols;
        if (row < 0 || row >= rows)
            throw new ArgumentOutOfRangeException(nameof(row), row, $"Row {row} lies outside the {rows} cell rows.");
        if (col < 0 || col >= cols)
            throw new ArgumentOutOfRangeException(nameof(col), col, $"Column {col} lies outside the {cols} cell columns.");
        IntPtr cell = Native.Warp.NewCell(Handle, row, col);
        GC.KeepAlive(this);
        return new XWarpCoeff(cell, true);
    }

    /// <summary>The rectangle the cell grid covers: the bounding box of the points of the fit
    /// (±1.7e308, unbounded, without a grid).</summary>
    /// <param name="minX">Smallest x.</param>
    /// <param name="minY">Smallest y.</param>
    /// <param name="maxX">Largest x.</param>
    /// <param name="maxY">Largest y.</param>
    /// <exception cref="ObjectDisposedException">The mapping has been disposed.</exception>
    public unsafe void GetCellBounds(out double minX, out double minY, out double maxX, out double maxY)
    {
        double* b = stackalloc double[4];
        Native.Warp.GetBounds(Handle, b);
        GC.KeepAlive(this);
        (minX, minY, maxX, maxY) = (b[0], b[1], b[2], b[3]);
    }
}
