using System;
using System.Drawing;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XColorTableTests
{
    private static (byte, byte, byte) Entry(XColorTable t, int i)
    {
        t.GetCLT(i, out byte r, out byte g, out byte b);
        return (r, g, b);
    }

    private static byte[] All(XColorTable t) => t.m_R.Concat(t.m_G).Concat(t.m_B).ToArray();

    [Fact]
    public void LoadsPalettesThroughTheBoundary()
    {
        using var t = new XColorTable();
        t.LoadColorTable(eColorTable.Gray);
        Assert.All(Enumerable.Range(0, 256), i => Assert.Equal(((byte)i, (byte)i, (byte)i), Entry(t, i)));
        // Channels in their order.
        t.LoadColorTable(eColorTable.BlackRed);
        Assert.Equal(((byte)255, (byte)0, (byte)0), Entry(t, 255));
        t.LoadColorTable(eColorTable.Rainbow);
        Assert.Equal(((byte)229, (byte)0, (byte)255), Entry(t, 0));

        // Index 31 keeps its established spelling; its native name does not.
        t.LoadColorTable(eColorTable.HueSatLightenss1);
        Assert.Equal(((byte)251, (byte)0, (byte)3), Entry(t, 0));
        Assert.Equal("Hue Sat Lightness 1", Xfn.GetPaletteName(eColorTable.HueSatLightenss1));

        // Default names no palette: the table keeps what it held; unknown codes throw and change nothing.
        t.SetCLT(7, 1, 2, 3);
        t.SetCLT(255, Color.FromArgb(9, 200, 100, 50));
        byte[] before = All(t);
        Assert.Equal(((byte)200, (byte)100, (byte)50), Entry(t, 255));
        t.LoadColorTable(eColorTable.Default);
        Check.Throws<ArgumentOutOfRangeException>(() => t.LoadColorTable((eColorTable)0), () => t.LoadColorTable((eColorTable)70));
        Assert.Throws<IndexOutOfRangeException>(() => t.SetCLT(256, 1, 1, 1));
        Assert.Equal(before, All(t));
    }

    [Fact]
    public void NamesAndEveryPaletteByCode()
    {
        Assert.Equal(68, Xfn.GetNumberOfPalette());
        string[] names = XColorTable.GetPaletteNameList();
        Assert.Equal(68, names.Length);
        Assert.Equal(("Default", "Grey", "16 LEVEL", "Waterlevel"), (names[0], names[1], names[26], names[67]));
        Assert.DoesNotContain("Yellow - Blue", names);
        Assert.Equal("Yellow - Blue", Xfn.GetPaletteName(eColorTable.YellowBlue));
        Assert.Equal("Default", Xfn.GetPaletteName((eColorTable)(-1)));

        // Every named palette loads and is distinct from every other.
        var loaded = Enum.GetValues<eColorTable>().Where(c => c != eColorTable.Default).Select(c =>
        {
            byte[] r = new byte[256], g = new byte[256], b = new byte[256];
            Assert.True(Xfn.GetPalette(c, r, g, b));
            return Convert.ToBase64String(r.Concat(g).Concat(b).ToArray());
        }).ToList();
        Assert.Equal(68, loaded.Count);
        Assert.True(loaded.Distinct().Count() >= 66);  // "Grey" and "Rt - Shade" share their colours
        Assert.Throws<ArgumentException>(() => Xfn.GetPalette(eColorTable.Gray, new byte[255], new byte[256], new byte[256]));
        Assert.Throws<ArgumentNullException>(() => Xfn.GetPalette(eColorTable.Gray, new byte[256], null!, new byte[256]));
    }
}
