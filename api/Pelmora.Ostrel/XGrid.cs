using System;

namespace Pelmora.Ostrel;

/// <summary>
/// A raster grid: a two-dimensional array of samples of one <see cref="eDataType"/>, owned by
/// this object in native memory. Every sample is read and written as up to four double
/// channels (a, b, c, d); channels a type lacks read as <see cref="NAN_REAL64"/>, and writing
/// clamps and converts to the grid's sample type.
/// </summary>
/// <remarks>
/// <para>The object owns one native grid, created by every constructor and released by
/// <see cref="Dispose()"/> or, if that is forgotten, by the finaliser. The bytes of the native
/// sample blocks are reported to the garbage collector, so abandoned grids are collected before
/// native memory runs out.</para>
/// <para>Rows and columns are checked: a position outside the grid throws
/// <see cref="ArgumentOutOfRangeException"/>; any call after disposal throws
/// <see cref="ObjectDisposedException"/>. Several threads may read one grid at once; writing
/// needs exclusive access. Disposal on another thread never frees the native grid under a call
/// that uses it (a resampling run, a statistics pass): the grid is released when the last such
/// call returns.</para>
/// </remarks>
public partial class XGrid : IDisposable
{
    /// <summary>The no-value marker of double channels (1.7e+308, compared exactly).</summary>
    public const double NAN_REAL64 = XDataRange.MAX_REAL64;

    /// <summary>The no-value marker of single-precision results (3.4e+38f, compared exactly).</summary>
    public const float NAN_REAL32 = XDataRange.MAX_REAL32;

    private readonly NativeObject m_grid;
    private NativeObject? m_gridTmp;
    private long m_nReportedBytes;

    /// <summary>Creates an empty grid.</summary>
    public XGrid() => m_grid = Adopt(Native.Grid.New());

    /// <summary>Creates a grid of <paramref name="RSize"/> rows and <paramref name="CSize"/> columns
    /// of <paramref name="dataType"/>; the samples are undefined until written. A size or type the
    /// grid cannot take leaves it empty, as <see cref="Alloc"/> would.</summary>
    /// <param name="RSize">Number of rows.</param>
    /// <param name="CSize">Number of columns.</param>
    /// <param name="dataType">Sample type.</param>
    public XGrid(int RSize, int CSize, eDataType dataType) =>
        m_grid = Adopt(Native.Grid.NewSized(RSize, CSize, (int)dataType));

    /// <summary>Creates a grid holding a copy of <paramref name="a"/>'s samples and geo-reference.</summary>
    /// <param name="a">The grid to copy.</param>
    /// <exception cref="ArgumentNullException"><paramref name="a"/> is null.</exception>
    /// <exception cref="ObjectDisposedException"><paramref name="a"/> has been disposed.</exception>
    public XGrid(XGrid a)
    {
        ArgumentNullException.ThrowIfNull(a);
        m_grid = Adopt(Native.Grid.NewAssigned(a.Handle));
    }

    /// <summary>Creates a grid holding a copy of a native grid's samples and geo-reference; the
    /// native grid stays the caller's.</summary>
    /// <param name="pGrid">Address of a native grid.</param>
    /// <exception cref="ArgumentNullException"><paramref name="pGrid"/> is zero.</exception>
    public XGrid(IntPtr pGrid)
    {
        if (pGrid == IntPtr.Zero) throw new ArgumentNullException(nameof(pGrid));
        m_grid = Adopt(Native.Grid.NewAssigned(pGrid));
    }

    /// <summary>Releases the native grids if <see cref="Dispose()"/> was not called.</summary>
    ~XGrid() => Dispose(false);

    // ---- lifetime ------------------------------------------------------------------------

    /// <summary>Releases the native grids now, or when the last call still using them on another
    /// thread returns; later calls on this object throw <see cref="ObjectDisposedException"/>.
    /// Calling it again does nothing.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Releases the native grids. Disposal (<paramref name="disposing"/> true) and
    /// finalisation (false) do the same: both handles are closed, and each native grid is
    /// destroyed once no call uses it.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>, false from the finaliser.</param>
    protected virtual void Dispose(bool disposing)
    {
        if (m_grid is null) return;  // a constructor that threw leaves nothing to release
        lock (m_grid)
        {
            m_grid.Dispose();
            m_gridTmp?.Dispose();
            ReportNativeBytes(0);
        }
    }

    /// <summary>The owned native grid, for a binding to hold during its call; throws once the
    /// object is disposed.</summary>
    internal NativeObject Handle => m_grid.Live;

    private NativeObject Adopt(IntPtr pGrid)
    {
        var grid = new NativeObject(pGrid, static p => Native.Grid.Delete(p), nameof(XGrid));
        ReportNativeBytes(Native.Grid.AllocSize(grid));
        return grid;
    }

    /// <summary>Keeps the bytes reported to the collector equal to the native blocks owned.</summary>
    internal void UpdateMemoryPressure()
    {
        lock (m_grid)
        {
            if (m_grid.IsClosed) return;  // disposed meanwhile, and already reported as 0
            long bytes = Native.Grid.AllocSize(m_grid);
            if (m_gridTmp is { } tmp) bytes += Native.Grid.AllocSize(tmp);
            ReportNativeBytes(bytes);
        }
    }

    private void ReportNativeBytes(long bytes)
    {
        if (bytes > m_nReportedBytes) GC.AddMemoryPressure(bytes - m_nReportedBytes);
        else if (bytes < m_nReportedBytes) GC.RemoveMemoryPressure(m_nReportedBytes - bytes);
        m_nReportedBytes = bytes;
    }

    // ---- shape and storage --------------------------------------------------------------

    /// <summary>Number of rows.</summary>
    public int RSize
    {
        get
        {
            int n = Native.Grid.RSize(Handle);
            GC.KeepAlive(this);
            return n;
        }
    }

    /// <summary>Number of columns.</summary>
    public int CSize
    {
        get
        {
            int n = Native.Grid.CSize(Handle);
            GC.KeepAlive(this);
            return n;
        }
    }

    /// <summary>Sample type; (eDataType)0 for an empty grid.</summary>
    public eDataType DataType
    {
        get
        {
            int type = Native.Grid.DataType(Handle);
            GC.KeepAlive(this);
            return (eDataType)type;
        }
    }

    /// <summary>Bytes per sample.</summary>
    public int DataSize
    {
        get
        {
            int n = Native.Grid.DataSize(Handle);
            GC.KeepAlive(this);
            return n;
        }
    }

    /// <summary>True when the grid has at least one row and one column of samples.</summary>
    public bool IsValid()
    {
        bool valid = Native.Grid.IsValid(Handle) != 0;
        GC.KeepAlive(this);
        return valid;
    }

    /// <summary>Empties the grid, releasing its samples.</summary>
    public void Init() => Free();

    /// <summary>Empties the grid, releasing its samples.</summary>
    public void Free()
    {
        Native.Grid.Free(Handle);
        UpdateMemoryPressure();
    }

    /// <summary>Gives the grid a new shape and type. The block is reused when it is large enough
    /// (its old bytes stay), else replaced by a new one with undefined bytes; the geo-reference is
    /// reset.</summary>
    /// <param name="RSize">Number of rows.</param>
    /// <param name="CSize">Number of columns.</param>
    /// <param name="dataType">Sample type.</param>
    /// <returns>False, with the grid unchanged, for a size that is not positive or a type that is
    /// not a sample type; false with an empty grid when memory runs out.</returns>
    public bool Alloc(int RSize, int CSize, eDataType dataType)
    {
        bool ok = Native.Grid.Alloc(Handle, RSize, CSize, (int)dataType) != 0;
        UpdateMemoryPressure();
        return ok;
    }

    /// <summary>Like <see cref="Alloc"/>, but releases the old block first, so the new block has
    /// exactly the size needed.</summary>
    /// <param name="RSize">Number of rows.</param>
    /// <param name="CSize">Number of columns.</param>
    /// <param name="dataType">Sample type.</param>
    /// <returns>True when the grid was allocated.</returns>
    public bool AllocExact(int RSize, int CSize, eDataType dataType)
    {
        bool ok = Native.Grid.AllocExact(Handle, RSize, CSize, (int)dataType) != 0;
        UpdateMemoryPressure();
        return ok;
    }

    /// <summary>Gives the grid a new shape over the same samples and type.</summary>
    /// <param name="RSize">Number of rows.</param>
    /// <param name="CSize">Number of columns.</param>
    /// <returns>False, with the grid unchanged, when the new shape has more samples than the
    /// current one (or a negative size).</returns>
    public bool Reform(int RSize, int CSize)
    {
        bool ok = Native.Grid.Reform(Handle, RSize, CSize) != 0;
        GC.KeepAlive(this);
        return ok;
    }

    /// <summary>Sets every byte of the grid's block to zero.</summary>
    public void Zerorize()
    {
        Native.Grid.Zerorize(Handle);
        GC.KeepAlive(this);
    }

    /// <summary>Writes <paramref name="val"/> into every channel of every sample, with the
    /// clamping and conversion of <see cref="SetValue(int, int, double)"/>.</summary>
    /// <param name="val">The value.</param>
    public void FillValue(double val)
    {
        Native.Grid.Fill(Handle, val, NAN_REAL64, NAN_REAL64, NAN_REAL64);
        GC.KeepAlive(this);
    }

    // ---- sample access --------------------------------------------------------------------

    /// <summary>Reads the sample at (<paramref name="Row"/>, <paramref name="Col"/>).</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="a">First channel.</param>
    /// <param name="b">Second channel, or <see cref="NAN_REAL64"/> when the type has none.</param>
    /// <param name="c">Third channel, or <see cref="NAN_REAL64"/>.</param>
    /// <param name="d">Fourth channel, or <see cref="NAN_REAL64"/>.</param>
    /// <returns>True when the sample was read; on false every output is
    /// <see cref="NAN_REAL64"/>.</returns>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public unsafe bool GetValue(int Row, int Col, out double a, out double b, out double c, out double d)
    {
        double* v = stackalloc double[4] { NAN_REAL64, NAN_REAL64, NAN_REAL64, NAN_REAL64 };
        int rc = Native.Grid.GetValue(Handle, Row, Col, v);
        GC.KeepAlive(this);
        if (rc == Native.Grid.OutOfRange) throw OutsideGrid(Row, Col);
        a = v[0];
        b = v[1];
        c = v[2];
        d = v[3];
        return rc != 0;
    }

    /// <summary>Reads the first three channels of a sample.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="a">First channel.</param>
    /// <param name="b">Second channel.</param>
    /// <param name="c">Third channel.</param>
    /// <returns>True when the sample was read.</returns>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public bool GetValue(int Row, int Col, out double a, out double b, out double c) =>
        GetValue(Row, Col, out a, out b, out c, out _);

    /// <summary>Reads the first two channels of a sample.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="a">First channel.</param>
    /// <param name="b">Second channel.</param>
    /// <returns>True when the sample was read.</returns>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public bool GetValue(int Row, int Col, out double a, out double b) =>
        GetValue(Row, Col, out a, out b, out _, out _);

    /// <summary>Reads the first channel of a sample.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="a">First channel.</param>
    /// <returns>True when the sample was read.</returns>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public bool GetValue(int Row, int Col, out double a) => GetValue(Row, Col, out a, out _, out _, out _);

    /// <summary>The first channel of a sample, or <see cref="NAN_REAL64"/> when it cannot be read.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <returns>The value.</returns>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public double GetAsReal64(int Row, int Col) => GetValue(Row, Col, out double a) ? a : NAN_REAL64;

    /// <summary>The first channel of a sample narrowed to single precision, or
    /// <see cref="NAN_REAL32"/> when it cannot be read.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <returns>The value.</returns>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public float GetAsReal32(int Row, int Col) => GetValue(Row, Col, out double a) ? (float)a : NAN_REAL32;

    /// <summary>Writes a sample. A channel given as <see cref="NAN_REAL64"/> takes the previous
    /// channel's value; every channel is clamped to the type's range and converted (integers
    /// truncate toward zero, colour channels keep their low 8 bits).</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="a">First channel.</param>
    /// <param name="b">Second channel.</param>
    /// <param name="c">Third channel.</param>
    /// <param name="d">Fourth channel.</param>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public void SetValue(int Row, int Col, double a, double b, double c, double d)
    {
        int rc = Native.Grid.SetValue(Handle, Row, Col, a, b, c, d);
        GC.KeepAlive(this);
        if (rc == Native.Grid.OutOfRange) throw OutsideGrid(Row, Col);
    }

    /// <summary>Writes the first three channels; the fourth repeats the third.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="a">First channel.</param>
    /// <param name="b">Second channel.</param>
    /// <param name="c">Third channel.</param>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public void SetValue(int Row, int Col, double a, double b, double c) => SetValue(Row, Col, a, b, c, NAN_REAL64);

    /// <summary>Writes the first two channels; the others repeat the second.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="a">First channel.</param>
    /// <param name="b">Second channel.</param>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public void SetValue(int Row, int Col, double a, double b) => SetValue(Row, Col, a, b, NAN_REAL64, NAN_REAL64);

    /// <summary>Writes <paramref name="a"/> into every channel of a sample.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="a">The value.</param>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public void SetValue(int Row, int Col, double a) => SetValue(Row, Col, a, NAN_REAL64, NAN_REAL64, NAN_REAL64);

    /// <summary>Writes a single-precision value into every channel of a sample.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="val">The value.</param>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public void SetFromReaL32(int Row, int Col, float val) => SetValue(Row, Col, val);

    /// <summary>Writes a double value into every channel of a sample.</summary>
    /// <param name="Row">Row index.</param>
    /// <param name="Col">Column index.</param>
    /// <param name="val">The value.</param>
    /// <exception cref="ArgumentOutOfRangeException">The position lies outside the grid.</exception>
    public void SetFromReal64(int Row, int Col, double val) => SetValue(Row, Col, val);

    private ArgumentOutOfRangeException OutsideGrid(int Row, int Col)
    {
        int rows = RSize, cols = CSize;
        return Row < 0 || Row >= rows
            ? new ArgumentOutOfRangeException(nameof(Row), Row, $"Row {Row} lies outside the grid of {rows} rows.")
            : new ArgumentOutOfRangeException(nameof(Col), Col, $"Column {Col} lies outside the grid of {cols} columns.");
    }

    // ---- subsets, flips and shifts -----------------------------------------------------------

    /// <summary>Copies rows <paramref name="R1"/>..<paramref name="R2"/> and columns
    /// <paramref name="C1"/>..<paramref name="C2"/> (inclusive) into a new grid of the same type,
    /// whose geo-reference starts at the rectangle's corner.</summary>
    /// <param name="gridNew">Receives the new grid, also when the copy fails (then empty).</param>
    /// <param name="R1">First row.</param>
    /// <param name="R2">Last row.</param>
    /// <param name="C1">First column.</param>
    /// <param name="C2">Last column.</param>
    /// <returns>False when the rectangle is reversed or reaches outside the grid.</returns>
    public bool Subset(out XGrid gridNew, int R1, int R2, int C1, int C2)
    {
        NativeObject self = Handle;
        gridNew = new XGrid();
        bool ok = Native.Grid.GetSubset(self, gridNew.m_grid, R1, R2, C1, C2) != 0;
        gridNew.UpdateMemoryPressure();
        return ok;
    }

    /// <summary>Copies one row into a new grid of one row.</summary>
    /// <param name="gridNew">Receives the new grid.</param>
    /// <param name="Row">The row.</param>
    /// <returns>False when the row lies outside the grid.</returns>
    public bool GetRowVector(out XGrid gridNew, int Row) => Subset(out gridNew, Row, Row, 0, CSize - 1);

    /// <summary>Copies one column into a new grid of one column.</summary>
    /// <param name="gridNew">Receives the new grid.</param>
    /// <param name="Col">The column.</param>
    /// <returns>False when the column lies outside the grid.</returns>
    public bool GetColVector(out XGrid gridNew, int Col) => Subset(out gridNew, 0, RSize - 1, Col, Col);

    /// <summary>Copies the grid upside down into a new grid (default geo-reference).</summary>
    /// <param name="gridNew">Receives the new grid.</param>
    /// <returns>False when this grid is empty.</returns>
    public bool FlipVert(out XGrid gridNew)
    {
        NativeObject self = Handle;
        gridNew = new XGrid();
        bool ok = Native.Grid.FlipVert(self, gridNew.m_grid) != 0;
        gridNew.UpdateMemoryPressure();
        return ok;
    }

    /// <summary>Copies the grid mirrored left to right into a new grid (default geo-reference).</summary>
    /// <param name="gridNew">Receives the new grid.</param>
    /// <returns>False when this grid is empty.</returns>
    public bool FlipHorz(out XGrid gridNew)
    {
        NativeObject self = Handle;
        gridNew = new XGrid();
        bool ok = Native.Grid.FlipHorz(self, gridNew.m_grid) != 0;
        gridNew.UpdateMemoryPressure();
        return ok;
    }

    /// <summary>Writes a densely packed block of samples of <paramref name="dataType"/>, starting
    /// at <paramref name="srcMemory"/>[<paramref name="nOffset"/>], into rows
    /// <paramref name="nR1"/>..<paramref name="nR2"/> and columns
    /// <paramref name="nC1"/>..<paramref name="nC2"/>, converting each sample through its
    /// channels.</summary>
    /// <param name="srcMemory">The source bytes.</param>
    /// <param name="nOffset">Index of the first byte of the block.</param>
    /// <param name="nR1">First row.</param>
    /// <param name="nR2">Last row.</param>
    /// <param name="nC1">First column.</param>
    /// <param name="nC2">Last column.</param>
    /// <param name="dataType">Sample type of the block.</param>
    /// <returns>False when the rectangle is reversed or reaches outside the grid.</returns>
    /// <exception cref="ArgumentNullException"><paramref name="srcMemory"/> is null.</exception>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="dataType"/> is not a sample
    /// type, or <paramref name="nOffset"/> lies outside the array.</exception>
    /// <exception cref="ArgumentException">The array ends before the block does.</exception>
    public unsafe bool CopySubset(byte[] srcMemory, int nOffset, int nR1, int nR2, int nC1, int nC2, eDataType dataType)
    {
        ArgumentNullException.ThrowIfNull(srcMemory);
        NativeObject self = Handle;
        int size = Native.Core.DataTypeSize((int)dataType);
        if (size == 0)
            throw new ArgumentOutOfRangeException(nameof(dataType), dataType, "Not a sample type.");
        if (nOffset < 0 || nOffset > srcMemory.Length)
            throw new ArgumentOutOfRangeException(nameof(nOffset), nOffset, "The offset lies outside the array.");
        int rows = RSize, cols = CSize;
        if (nR1 < 0 || nR1 > nR2 || nR2 >= rows || nC1 < 0 || nC1 > nC2 || nC2 >= cols) return false;
        long need = (long)(nR2 - nR1 + 1) * (nC2 - nC1 + 1) * size;
        if (need > srcMemory.Length - nOffset)
            throw new ArgumentException(
                $"The block needs {need} bytes from offset {nOffset}; the array holds {srcMemory.Length - nOffset}.",
                nameof(srcMemory));
        bool ok;
        fixed (byte* p = srcMemory)
            ok = Native.Grid.SetSubsetMemory(self, p + nOffset, (int)dataType, nR1, nR2, nC1, nC2, NAN_REAL64) != 0;
        GC.KeepAlive(this);
        return ok;
    }

    /// <summary>Moves the content by <paramref name="OffsetX"/> columns (positive: right) and
    /// <paramref name="OffsetY"/> rows (positive: down); vacated cells become zero bytes.</summary>
    /// <param name="OffsetX">Columns to move by.</param>
    /// <param name="OffsetY">Rows to move by.</param>
    /// <returns>False, with the grid unchanged, when an offset is as large as the grid or larger,
    /// so that nothing would remain.</returns>
    public bool Shift(int OffsetX, int OffsetY)
    {
        NativeObject self = Handle;
        NativeObject tmp;
        lock (m_grid)
            tmp = m_gridTmp ??= new NativeObject(Native.Grid.NewCopy(self), static p => Native.Grid.Delete(p), nameof(XGrid));
        long rows = Native.Grid.RSize(self), cols = Native.Grid.CSize(self);
        // Source and target rectangles, in 64-bit arithmetic so extreme offsets cannot wrap.
        long sc1 = Math.Max(-(long)OffsetX, 0), sc2 = Math.Min(cols - OffsetX - 1, cols - 1);
        long sr1 = Math.Max(-(long)OffsetY, 0), sr2 = Math.Min(rows - OffsetY - 1, rows - 1);
        long tc1 = Math.Max((long)OffsetX, 0), tc2 = Math.Min(OffsetX + cols - 1, cols - 1);
        long tr1 = Math.Max((long)OffsetY, 0), tr2 = Math.Min(OffsetY + rows - 1, rows - 1);
        if (sc1 > sc2 || sr1 > sr2) return false;

        Native.Grid.Zerorize(tmp);
        bool ok = Native.Grid.GetSubset(self, tmp, (int)sr1, (int)sr2, (int)sc1, (int)sc2) != 0;
        UpdateMemoryPressure();
        if (!ok) return false;
        Native.Grid.Zerorize(self);
        using (tmp.Use())  // the scratch block is read in place by the call below
        unsafe
        {
            Native.Grid.SetSubsetMemory(self, (void*)Native.Grid.Data(tmp), Native.Grid.DataType(tmp),
                                        (int)tr1, (int)tr2, (int)tc1, (int)tc2, NAN_REAL64);
        }
        GC.KeepAlive(this);
        return true;
    }
}
