using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XWndMsgTests
{
    // The declared order of the message names.
    private const string DeclaredOrder =
        "NULL CREATE DESTROY MOVE SIZE ACTIVATE SETFOCUS KILLFOCUS ENABLE SETREDRAW SETTEXT GETTEXT " +
        "GETTEXTLENGTH PAINT CLOSE QUERYENDSESSION QUERYOPEN ENDSESSION QUIT ERASEBKGND SYSCOLORCHANGE " +
        "SHOWWINDOW WININICHANGE SETTINGCHANGE DEVMODECHANGE ACTIVATEAPP FONTCHANGE TIMECHANGE CANCELMODE " +
        "SETCURSOR MOUSEACTIVATE CHILDACTIVATE QUEUESYNC GETMINMAXINFO PAINTICON ICONERASEBKGND NEXTDLGCTL " +
        "SPOOLERSTATUS DRAWITEM MEASUREITEM DELETEITEM VKEYTOITEM CHARTOITEM SETFONT GETFONT SETHOTKEY " +
        "GETHOTKEY QUERYDRAGICON COMPAREITEM GETOBJECT COMPACTING COMMNOTIFY WINDOWPOSCHANGING " +
        "WINDOWPOSCHANGED POWER COPYDATA CANCELJOURNAL NOTIFY INPUTLANGCHANGEREQUEST INPUTLANGCHANGE TCARD " +
        "HELP USERCHANGED NOTIFYFORMAT CONTEXTMENU STYLECHANGING STYLECHANGED DISPLAYCHANGE GETICON SETICON " +
        "NCCREATE NCDESTROY NCCALCSIZE NCHITTEST NCPAINT NCACTIVATE GETDLGCODE SYNCPAINT NCMOUSEMOVE " +
        "NCLBUTTONDOWN NCLBUTTONUP NCLBUTTONDBLCLK NCRBUTTONDOWN NCRBUTTONUP NCRBUTTONDBLCLK NCMBUTTONDOWN " +
        "NCMBUTTONUP NCMBUTTONDBLCLK NCXBUTTONDOWN NCXBUTTONUP NCXBUTTONDBLCLK INPUT KEYFIRST KEYDOWN KEYUP " +
        "CHAR DEADCHAR SYSKEYDOWN SYSKEYUP SYSCHAR SYSDEADCHAR UNICHAR KEYLAST IME_STARTCOMPOSITION " +
        "IME_ENDCOMPOSITION IME_COMPOSITION IME_KEYLAST INITDIALOG COMMAND SYSCOMMAND TIMER HSCROLL VSCROLL " +
        "INITMENU INITMENUPOPUP MENUSELECT MENUCHAR ENTERIDLE MENURBUTTONUP MENUDRAG MENUGETOBJECT " +
        "UNINITMENUPOPUP MENUCOMMAND CHANGEUISTATE UPDATEUISTATE QUERYUISTATE CTLCOLORMSGBOX CTLCOLOREDIT " +
        "CTLCOLORLISTBOX CTLCOLORBTN CTLCOLORDLG CTLCOLORSCROLLBAR CTLCOLORSTATIC MOUSEFIRST MOUSEMOVE " +
        "LBUTTONDOWN LBUTTONUP LBUTTONDBLCLK RBUTTONDOWN RBUTTONUP RBUTTONDBLCLK MBUTTONDOWN MBUTTONUP " +
        "MBUTTONDBLCLK MOUSEWHEEL XBUTTONDOWN XBUTTONUP XBUTTONDBLCLK MOUSELAST PARENTNOTIFY ENTERMENULOOP " +
        "EXITMENULOOP NEXTMENU SIZING CAPTURECHANGED MOVING POWERBROADCAST DEVICECHANGE MDICREATE MDIDESTROY " +
        "MDIACTIVATE MDIRESTORE MDINEXT MDIMAXIMIZE MDITILE MDICASCADE MDIICONARRANGE MDIGETACTIVE MDISETMENU " +
        "ENTERSIZEMOVE EXITSIZEMOVE DROPFILES MDIREFRESHMENU IME_SETCONTEXT IME_NOTIFY IME_CONTROL " +
        "IME_COMPOSITIONFULL IME_SELECT IME_CHAR IME_REQUEST IME_KEYDOWN IME_KEYUP MOUSEHOVER MOUSELEAVE " +
        "NCMOUSEHOVER NCMOUSELEAVE WTSSESSION_CHANGE TABLET_FIRST TABLET_LAST CUT COPY PASTE CLEAR UNDO " +
        "RENDERFORMAT RENDERALLFORMATS DESTROYCLIPBOARD DRAWCLIPBOARD PAINTCLIPBOARD VSCROLLCLIPBOARD " +
        "SIZECLIPBOARD ASKCBFORMATNAME CHANGECBCHAIN HSCROLLCLIPBOARD QUERYNEWPALETTE PALETTEISCHANGING " +
        "PALETTECHANGED HOTKEY PRINT PRINTCLIENT APPCOMMAND THEMECHANGED HANDHELDFIRST HANDHELDLAST AFXFIRST " +
        "AFXLAST PENWINFIRST PENWINLAST APP USER";

    private static FieldInfo[] MessageFields() =>
        typeof(XWndMsg).GetFields(BindingFlags.Public | BindingFlags.Static);

    [Fact]
    public void Declares220Int32ConstantsInOrder()
    {
        FieldInfo[] fields = MessageFields();
        Assert.Equal(220, fields.Length);
        Assert.All(fields, f =>
        {
            Assert.True(f.IsLiteral, f.Name);
            Assert.Equal(typeof(int), f.FieldType);
        });
        string[] expected = DeclaredOrder.Split(' ').Select(n => "XWM_" + n).ToArray();
        Assert.Equal(expected, fields.Select(f => f.Name).ToArray());

        // A stateless class with a public parameterless constructor.
        Assert.Empty(typeof(XWndMsg).GetFields(BindingFlags.Instance | BindingFlags.Public | BindingFlags.NonPublic));
        Assert.NotNull(new XWndMsg());
    }

    [Fact]
    public void MessageNumbersMatchThePlatform()
    {
        var expected = new Dictionary<string, int>
        {
            ["NULL"] = 0, ["CREATE"] = 1, ["SIZE"] = 5, ["ENABLE"] = 0x0A, ["PAINT"] = 15, ["CLOSE"] = 0x10,
            ["QUERYENDSESSION"] = 0x11, ["QUIT"] = 0x12, ["QUERYOPEN"] = 0x13, ["ENDSESSION"] = 0x16,
            ["SHOWWINDOW"] = 0x18, ["GETMINMAXINFO"] = 0x24, ["PAINTICON"] = 0x26, ["SPOOLERSTATUS"] = 0x2A,
            ["QUERYDRAGICON"] = 0x37, ["COMPAREITEM"] = 0x39, ["GETOBJECT"] = 0x3D, ["COMPACTING"] = 0x41,
            ["COMMNOTIFY"] = 0x44, ["POWER"] = 0x48, ["COPYDATA"] = 0x4A, ["NOTIFY"] = 0x4E,
            ["INPUTLANGCHANGEREQUEST"] = 0x50, ["NOTIFYFORMAT"] = 0x55, ["CONTEXTMENU"] = 0x7B,
            ["SETICON"] = 0x80, ["NCCREATE"] = 0x81, ["SYNCPAINT"] = 0x88, ["NCMOUSEMOVE"] = 0xA0,
            ["NCMBUTTONDBLCLK"] = 0xA9, ["NCXBUTTONDOWN"] = 0xAB, ["NCXBUTTONDBLCLK"] = 0xAD, ["INPUT"] = 0xFF,
            ["KEYDOWN"] = 256, ["SYSDEADCHAR"] = 0x107, ["UNICHAR"] = 0x109, ["IME_STARTCOMPOSITION"] = 0x10D,
            ["IME_COMPOSITION"] = 0x10F, ["INITDIALOG"] = 0x110, ["INITMENUPOPUP"] = 0x117,
            ["MENUSELECT"] = 0x11F, ["MENUCOMMAND"] = 0x126, ["QUERYUISTATE"] = 0x129,
            ["CTLCOLORMSGBOX"] = 0x132, ["CTLCOLORSTATIC"] = 0x138, ["MOUSEMOVE"] = 512,
            ["MOUSEWHEEL"] = 0x20A, ["XBUTTONDBLCLK"] = 0x20D, ["PARENTNOTIFY"] = 0x210, ["MOVING"] = 0x216,
            ["POWERBROADCAST"] = 0x218, ["DEVICECHANGE"] = 0x219, ["MDICREATE"] = 0x220,
            ["MDIGETACTIVE"] = 0x229, ["MDISETMENU"] = 0x230, ["MDIREFRESHMENU"] = 0x234,
            ["IME_SETCONTEXT"] = 0x281, ["IME_REQUEST"] = 0x288, ["IME_KEYDOWN"] = 0x290,
            ["IME_KEYUP"] = 0x291, ["NCMOUSEHOVER"] = 0x2A0, ["MOUSEHOVER"] = 0x2A1, ["NCMOUSELEAVE"] = 0x2A2,
            ["MOUSELEAVE"] = 0x2A3, ["WTSSESSION_CHANGE"] = 0x2B1, ["TABLET_FIRST"] = 0x2C0,
            ["TABLET_LAST"] = 0x2DF, ["CUT"] = 0x300, ["HSCROLLCLIPBOARD"] = 0x30E, ["HOTKEY"] = 0x312,
            ["PRINT"] = 0x317, ["APPCOMMAND"] = 0x319, ["THEMECHANGED"] = 0x31A, ["HANDHELDFIRST"] = 0x358,
            ["HANDHELDLAST"] = 0x35F, ["AFXFIRST"] = 0x360, ["AFXLAST"] = 0x37F, ["PENWINFIRST"] = 0x380,
            ["PENWINLAST"] = 0x38F, ["USER"] = 1024, ["APP"] = 32768,
        };
        Dictionary<string, int> actual = MessageFields().ToDictionary(f => f.Name, f => (int)f.GetRawConstantValue()!);
        foreach (KeyValuePair<string, int> pair in expected)
            Assert.True(actual["XWM_" + pair.Key] == pair.Value, $"XWM_{pair.Key}: expected 0x{pair.Value:X}, got 0x{actual["XWM_" + pair.Key]:X}");

        // Only the range markers share a number with a message; any other duplicate is a typo.
        var shared = actual.GroupBy(p => p.Value).Where(g => g.Count() > 1)
            .Select(g => string.Join("=", g.Select(p => p.Key).Order())).Order().ToArray();
        Assert.Equal(new[]
        {
            "XWM_IME_COMPOSITION=XWM_IME_KEYLAST", "XWM_KEYDOWN=XWM_KEYFIRST", "XWM_KEYLAST=XWM_UNICHAR",
            "XWM_MOUSEFIRST=XWM_MOUSEMOVE", "XWM_MOUSELAST=XWM_XBUTTONDBLCLK", "XWM_SETTINGCHANGE=XWM_WININICHANGE",
        }.Order().ToArray(), shared);
        Assert.Equal(265, XWndMsg.XWM_KEYLAST);
        Assert.Equal(271, XWndMsg.XWM_IME_KEYLAST);
        Assert.Equal(525, XWndMsg.XWM_MOUSELAST);
        Assert.Equal(26, XWndMsg.XWM_SETTINGCHANGE);
    }

    [Fact]
    public void LowAndHighValueSplitTheLow32Bits()
    {
        Assert.Equal(0x5678, XWndMsg.GetLowValue(new IntPtr(0x12345678)));
        Assert.Equal(0x1234, XWndMsg.GetHighValue(new IntPtr(0x12345678)));
        Assert.Equal(0, XWndMsg.GetLowValue(IntPtr.Zero));
        Assert.Equal(0, XWndMsg.GetHighValue(IntPtr.Zero));

        // Bit 31 set: the high half stays unsigned.
        Assert.Equal(0x8000, XWndMsg.GetHighValue(new IntPtr(unchecked((int)0x80000000))));
        Assert.Equal(0, XWndMsg.GetLowValue(new IntPtr(unchecked((int)0x80000000))));
        Assert.Equal(0xFFFF, XWndMsg.GetHighValue(new IntPtr(-1)));
        Assert.Equal(0xFFFF, XWndMsg.GetLowValue(new IntPtr(-1)));
        Assert.Equal(0xFEDC, XWndMsg.GetHighValue(new IntPtr(unchecked((int)0xFEDCBA98))));
        Assert.Equal(0xBA98, XWndMsg.GetLowValue(new IntPtr(unchecked((int)0xFEDCBA98))));

        // Bits above 31 are dropped before splitting.
        Assert.Equal(0xABCD, XWndMsg.GetLowValue(new IntPtr(0x7_2345_ABCDL)));
        Assert.Equal(0x2345, XWndMsg.GetHighValue(new IntPtr(0x7_2345_ABCDL)));
        Assert.Equal(0, XWndMsg.GetHighValue(new IntPtr(0x1_0000_FFFFL)));
    }
}
