using System;
using System.Drawing;

namespace Pelmora.Ostrel;

/// <summary>
/// An editable table of 256 colours, indexed by an 8-bit display value, that loads any of the
/// built-in palettes (<see cref="eColorTable"/>). A new table is black in every entry.
/// </summary>
/// <remarks>
/// The table lives entirely in managed memory: it owns no native object, so disposing it
/// releases nothing and it has no finaliser. Entry indices run from 0 to 255; an index outside
/// that range is rejected by the array access with <see cref="IndexOutOfRangeException"/>
/// before anything is changed.
/// </remarks>
public class XColorTable : IDisposable
{
    /// <summary>Red value of each entry.</summary>
    public readonly byte[] m_R = new byte[256];

    /// <summary>Green value of each entry.</summary>
    public readonly byte[] m_G = new byte[256];

    /// <summary>Blue value of each entry.</summary>
    public readonly byte[] m_B = new byte[256];

    /// <summary>Creates a table that is black in all 256 entries.</summary>
    public XColorTable()
    {
    }

    /// <summary>Replaces all 256 entries with the colours of a built-in palette.</summary>
    /// <param name="ColorID">The palette. <see cref="eColorTable.Default"/> names no palette
    /// and leaves the table unchanged.</param>
    /// <exception cref="ArgumentOutOfRangeException"><paramref name="ColorID"/> is not a value
    /// of <see cref="eColorTable"/>.</exception>
    public void LoadColorTable(eColorTable ColorID)
    {
        if (!Enum.IsDefined(ColorID))
            throw new ArgumentOutOfRangeException(nameof(ColorID), ColorID, $"{(int)ColorID} names no colour table.");
        byte[] r = new byte[256], g = new byte[256], b = new byte[256];
        if (!Xfn.GetPalette(ColorID, r, g, b))
            return;  // Default: no palette, the table keeps its colours
        for (int i = 0; i < 256; ++i)
        {
            m_R[i] = r[i];
            m_G[i] = g[i];
            m_B[i] = b[i];
        }
    }

    /// <summary>Sets one entry.</summary>
    /// <param name="Idx">Entry index, 0..255.</param>
    /// <param name="r">Red value.</param>
    /// <param name="g">Green value.</param>
    /// <param name="b">Blue value.</param>
    /// <exception cref="IndexOutOfRangeException"><paramref name="Idx"/> lies outside 0..255.</exception>
    public void SetCLT(int Idx, byte r, byte g, byte b)
    {
        m_R[Idx] = r;
        m_G[Idx] = g;
        m_B[Idx] = b;
    }

    /// <summary>Sets one entry from the red, green and blue of a colour; its alpha is ignored.</summary>
    /// <param name="Idx">Entry index, 0..255.</param>
    /// <param name="color">The colour.</param>
    /// <exception cref="IndexOutOfRangeException"><paramref name="Idx"/> lies outside 0..255.</exception>
    public void SetCLT(int Idx, Color color) => SetCLT(Idx, color.R, color.G, color.B);

    /// <summary>Reads one entry.</summary>
    /// <param name="Idx">Entry index, 0..255.</param>
    /// <param name="r">Red value.</param>
    /// <param name="g">Green value.</param>
    /// <param name="b">Blue value.</param>
    /// <exception cref="IndexOutOfRangeException"><paramref name="Idx"/> lies outside 0..255.</exception>
    public void GetCLT(int Idx, out byte r, out byte g, out byte b)
    {
        r = m_R[Idx];
        g = m_G[Idx];
        b = m_B[Idx];
    }

    /// <summary>
    /// The native palette names of indices 0 to 67, as many as there are palettes: entry i is
    /// the name of palette index i, so entry 0 is "Default" (index 0 names no palette), entry 1
    /// "Grey" and entry 67 "Waterlevel"; the last palette, "Yellow - Blue" (68), is not listed.
    /// </summary>
    /// <returns>A new array of <see cref="Xfn.GetNumberOfPalette"/> names.</returns>
    public static string[] GetPaletteNameList()
    {
        string[] names = new string[Xfn.GetNumberOfPalette()];
        for (int i = 0; i < names.Length; ++i)
            names[i] = Xfn.GetPaletteName((eColorTable)i);
        return names;
    }

    /// <summary>Does nothing: the table holds no native resource. Provided so that the table can
    /// be used like the library's other public classes.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Releases nothing; derived classes may override it to release their own
    /// resources.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>.</param>
    protected virtual void Dispose(bool disposing)
    {
    }
}
