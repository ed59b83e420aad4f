using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XWndMsgTests
{
    private static FieldInfo[] MessageFields() =>
        typeof(XWndMsg).GetFields(BindingFlags.Public | BindingFlags.Static);

    [Fact]
    public void Declares220Int32ConstantsRisingInDeclaredOrder()
    {
        FieldInfo[] fields = MessageFields();
        Assert.Equal(220, fields.Length);
        Assert.All(fields, f => Assert.True(f.IsLiteral && f.FieldType == typeof(int), f.Name));
        // The numbers never fall except where a new block starts; a typo usually breaks the order.
        string[] falls = fields.Zip(fields.Skip(1))
            .Where(p => (int)p.Second.GetRawConstantValue()! < (int)p.First.GetRawConstantValue()!)
            .Select(p => p.Second.Name).ToArray();
        Assert.Equal(new[] { "XWM_QUIT", "XWM_NCMOUSEHOVER", "XWM_USER" }, falls);
    }

    [Fact]
    public void MessageNumbersKeepTheirEstablishedValues()
    {
        // Name=hexadecimal number, for a sample of the messages spread over every block.
        const string expected =
            "NULL=0 CREATE=1 SIZE=5 ENABLE=A PAINT=F CLOSE=10 QUERYENDSESSION=11 QUIT=12 QUERYOPEN=13 ENDSESSION=16 " +
            "SHOWWINDOW=18 WININICHANGE=1A GETMINMAXINFO=24 PAINTICON=26 SPOOLERSTATUS=2A QUERYDRAGICON=37 " +
            "COMPAREITEM=39 GETOBJECT=3D COMPACTING=41 COMMNOTIFY=44 POWER=48 COPYDATA=4A NOTIFY=4E " +
            "INPUTLANGCHANGEREQUEST=50 NOTIFYFORMAT=55 CONTEXTMENU=7B SETICON=80 NCCREATE=81 SYNCPAINT=88 " +
            "NCMOUSEMOVE=A0 NCMBUTTONDBLCLK=A9 NCXBUTTONDOWN=AB NCXBUTTONDBLCLK=AD INPUT=FF KEYDOWN=100 " +
            "SYSDEADCHAR=107 UNICHAR=109 IME_STARTCOMPOSITION=10D IME_COMPOSITION=10F INITDIALOG=110 " +
            "INITMENUPOPUP=117 MENUSELECT=11F MENUCOMMAND=126 QUERYUISTATE=129 CTLCOLORMSGBOX=132 CTLCOLORSTATIC=138 " +
            "MOUSEMOVE=200 MOUSEWHEEL=20A XBUTTONDBLCLK=20D PARENTNOTIFY=210 MOVING=216 POWERBROADCAST=218 " +
            "DEVICECHANGE=219 MDICREATE=220 MDIGETACTIVE=229 MDISETMENU=230 MDIREFRESHMENU=234 IME_SETCONTEXT=281 " +
            "IME_REQUEST=288 IME_KEYDOWN=290 IME_KEYUP=291 NCMOUSEHOVER=2A0 MOUSEHOVER=2A1 NCMOUSELEAVE=2A2 " +
            "MOUSELEAVE=2A3 WTSSESSION_CHANGE=2B1 TABLET_FIRST=2C0 TABLET_LAST=2DF CUT=300 HSCROLLCLIPBOARD=30E " +
            "HOTKEY=312 PRINT=317 APPCOMMAND=319 THEMECHANGED=31A HANDHELDFIRST=358 HANDHELDLAST=35F AFXFIRST=360 " +
            "AFXLAST=37F PENWINFIRST=380 PENWINLAST=38F USER=400 APP=8000";
        Dictionary<string, int> actual = MessageFields().ToDictionary(f => f.Name, f => (int)f.GetRawConstantValue()!);
        foreach (string[] pair in expected.Split(' ').Select(p => p.Split('=')))
            Assert.True(actual["XWM_" + pair[0]] == Convert.ToInt32(pair[1], 16),
                        $"XWM_{pair[0]}: expected 0x{pair[1]}, got 0x{actual["XWM_" + pair[0]]:X}");

        // Only the range markers share a number with a message; any other duplicate is a typo.
        var shared = actual.GroupBy(p => p.Value).Where(g => g.Count() > 1)
            .Select(g => string.Join("=", g.Select(p => p.Key).Order())).Order().ToArray();
        Assert.Equal(new[]
        {
            "XWM_IME_COMPOSITION=XWM_IME_KEYLAST", "XWM_KEYDOWN=XWM_KEYFIRST", "XWM_KEYLAST=XWM_UNICHAR",
            "XWM_MOUSEFIRST=XWM_MOUSEMOVE", "XWM_MOUSELAST=XWM_XBUTTONDBLCLK", "XWM_SETTINGCHANGE=XWM_WININICHANGE",
        }.Order().ToArray(), shared);
    }

    [Theory]
    [InlineData(0x12345678L, 0x5678, 0x1234)]
    [InlineData(0L, 0, 0)]
    [InlineData(0x80000000L, 0, 0x8000)]  // bit 31 set: the high half stays unsigned
    [InlineData(-1L, 0xFFFF, 0xFFFF)]
    [InlineData(0xFEDCBA98L, 0xBA98, 0xFEDC)]
    [InlineData(0x7_2345_ABCDL, 0xABCD, 0x2345)]  // bits above 31 are dropped before splitting
    [InlineData(0x1_0000_FFFFL, 0xFFFF, 0)]
    public void LowAndHighValueSplitTheLow32Bits(long value, int low, int high)
    {
        Assert.Equal((low, high), (XWndMsg.GetLowValue(new IntPtr(value)), XWndMsg.GetHighValue(new IntPtr(value))));
    }
}
