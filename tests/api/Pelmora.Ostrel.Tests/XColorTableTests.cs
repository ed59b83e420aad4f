using System;
using System.Drawing;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XColorTableTests
{
    [Fact]
    public void LoadsPalettesThroughTheBoundary()
    {
        using var t = new XColorTable();
        Assert.All(t.m_R.Concat(t.m_G).Concat(t.m_B), v => Assert.Equal(0, v));

        t.LoadColorTable(eColorTable.Gray);
        for (int i = 0; i < 256; ++i) Assert.Equal((i, i, i), (t.m_R[i], t.m_G[i], t.m_B[i]));

        t.LoadColorTable(eColorTable.BlackRed);
        t.GetCLT(255, out byte r, out byte g, out byte b);
        Assert.Equal((255, 0, 0), (r, g, b));

        using var rainbow = new XColorTable();
        using var reversed = new XColorTable();
        rainbow.LoadColorTable(eColorTable.Rainbow);
        reversed.LoadColorTable(eColorTable.RainbowReversed);
        for (int i = 0; i < 256; ++i)
            Assert.Equal((rainbow.m_R[i], rainbow.m_G[i], rainbow.m_B[i]),
                         (reversed.m_R[255 - i], reversed.m_G[255 - i], reversed.m_B[255 - i]));
        Assert.Equal((229, 0, 255), (rainbow.m_R[0], rainbow.m_G[0], rainbow.m_B[0]));

        // Index 31 keeps its established spelling; its native name does not.
        t.LoadColorTable(eColorTable.HueSatLightenss1);
        Assert.Equal((251, 0, 3), (t.m_R[0], t.m_G[0], t.m_B[0]));
        Assert.Equal("Hue Sat Lightness 1", Xfn.GetPaletteName(eColorTable.HueSatLightenss1));

        // Default names no palette: the table keeps what it held.
        t.SetCLT(7, 1, 2, 3);
        byte[] before = t.m_R.Concat(t.m_G).Concat(t.m_B).ToArray();
        t.LoadColorTable(eColorTable.Default);
        Assert.Equal(before, t.m_R.Concat(t.m_G).Concat(t.m_B).ToArray());

        Assert.Throws<ArgumentOutOfRangeException>(() => t.LoadColorTable((eColorTable)0));
        Assert.Throws<ArgumentOutOfRangeException>(() => t.LoadColorTable((eColorTable)70));
        Assert.Equal(before, t.m_R.Concat(t.m_G).Concat(t.m_B).ToArray());
    }

    [Fact]
    public void EntriesAndNames()
    {
        using var t = new XColorTable();
        t.SetCLT(5, 1, 2, 3);
        t.SetCLT(255, Color.FromArgb(9, 200, 100, 50));
        t.GetCLT(5, out byte r, out byte g, out byte b);
        Assert.Equal((1, 2, 3), (r, g, b));
        t.GetCLT(255, out r, out g, out b);
        Assert.Equal((200, 100, 50), (r, g, b));
        Assert.Equal(6, t.m_R.Sum(v => v) + t.m_G.Sum(v => v) + t.m_B.Sum(v => v) - 350);
        Assert.Throws<IndexOutOfRangeException>(() => t.SetCLT(256, 1, 1, 1));
        Assert.Throws<IndexOutOfRangeException>(() => t.GetCLT(-1, out _, out _, out _));

        Assert.Equal(68, Xfn.GetNumberOfPalette());
        string[] names = XColorTable.GetPaletteNameList();
        Assert.Equal(68, names.Length);
        Assert.Equal("Default", names[0]);
        Assert.Equal("Grey", names[1]);
        Assert.Equal("16 LEVEL", names[26]);
        Assert.Equal("Waterlevel", names[67]);
        Assert.DoesNotContain("Yellow - Blue", names);
        Assert.Equal("Yellow - Blue", Xfn.GetPaletteName(eColorTable.YellowBlue));
        Assert.Equal("Default", Xfn.GetPaletteName((eColorTable)(-1)));

        // Every named palette loads and is distinct from every other.
        var loaded = Enum.GetValues<eColorTable>().Where(c => c != eColorTable.Default).Select(c =>
        {
            var r3 = new byte[256]; var g3 = new byte[256]; var b3 = new byte[256];
            Assert.True(Xfn.GetPalette(c, r3, g3, b3));
            return Convert.ToBase64String(r3.Concat(g3).Concat(b3).ToArray());
        }).ToList();
        Assert.Equal(68, loaded.Count);
        Assert.True(loaded.Distinct().Count() >= 66);  // "Grey" and "Rt - Shade" share their colours
        Assert.Throws<ArgumentException>(() => Xfn.GetPalette(eColorTable.Gray, new byte[255], new byte[256], new byte[256]));
        Assert.Throws<ArgumentNullException>(() => Xfn.GetPalette(eColorTable.Gray, new byte[256], null!, new byte[256]));
    }
}
