using System;

namespace Pelmora.Ostrel;

/// <summary>
/// The window message numbers of the Windows platform as 32-bit constants, and helpers that
/// split a message parameter into its 16-bit halves. Every constant equals the number of the
/// platform message of the same name without the leading X; range markers share their number
/// with a real message. The class holds no state; it exists for its constants and static
/// functions.
/// </summary>
public class XWndMsg
{
    /// <summary>Creates an instance. The class has no state; use its members directly.</summary>
    public XWndMsg()
    {
    }

    /// <summary>Window message WM_NULL. Number 0 (0x0000).</summary>
    public const int XWM_NULL = 0x0000;

    /// <summary>Window message WM_CREATE. Number 1 (0x0001).</summary>
    public const int XWM_CREATE = 0x0001;

    /// <summary>Window message WM_DESTROY. Number 2 (0x0002).</summary>
    public const int XWM_DESTROY = 0x0002;

    /// <summary>Window message WM_MOVE. Number 3 (0x0003).</summary>
    public const int XWM_MOVE = 0x0003;

    /// <summary>Window message WM_SIZE. Number 5 (0x0005).</summary>
    public const int XWM_SIZE = 0x0005;

    /// <summary>Window message WM_ACTIVATE. Number 6 (0x0006).</summary>
    public const int XWM_ACTIVATE = 0x0006;

    /// <summary>Window message WM_SETFOCUS. Number 7 (0x0007).</summary>
    public const int XWM_SETFOCUS = 0x0007;

    /// <summary>Window message WM_KILLFOCUS. Number 8 (0x0008).</summary>
    public const int XWM_KILLFOCUS = 0x0008;

    /// <summary>Window message WM_ENABLE. Number 10 (0x000A).</summary>
    public const int XWM_ENABLE = 0x000A;

    /// <summary>Window message WM_SETREDRAW. Number 11 (0x000B).</summary>
    public const int XWM_SETREDRAW = 0x000B;

    /// <summary>Window message WM_SETTEXT. Number 12 (0x000C).</summary>
    public const int XWM_SETTEXT = 0x000C;

    /// <summary>Window message WM_GETTEXT. Number 13 (0x000D).</summary>
    public const int XWM_GETTEXT = 0x000D;

    /// <summary>Window message WM_GETTEXTLENGTH. Number 14 (0x000E).</summary>
    public const int XWM_GETTEXTLENGTH = 0x000E;

    /// <summary>Window message WM_PAINT. Number 15 (0x000F).</summary>
    public const int XWM_PAINT = 0x000F;

    /// <summary>Window message WM_CLOSE. Number 16 (0x0010).</summary>
    public const int XWM_CLOSE = 0x0010;

    /// <summary>Window message WM_QUERYENDSESSION. Number 17 (0x0011).</summary>
    public const int XWM_QUERYENDSESSION = 0x0011;

    /// <summary>Window message WM_QUERYOPEN. Number 19 (0x0013).</summary>
    public const int XWM_QUERYOPEN = 0x0013;

    /// <summary>Window message WM_ENDSESSION. Number 22 (0x0016).</summary>
    public const int XWM_ENDSESSION = 0x0016;

    /// <summary>Window message WM_QUIT. Number 18 (0x0012).</summary>
    public const int XWM_QUIT = 0x0012;

    /// <summary>Window message WM_ERASEBKGND. Number 20 (0x0014).</summary>
    public const int XWM_ERASEBKGND = 0x0014;

    /// <summary>Window message WM_SYSCOLORCHANGE. Number 21 (0x0015).</summary>
    public const int XWM_SYSCOLORCHANGE = 0x0015;

    /// <summary>Window message WM_SHOWWINDOW. Number 24 (0x0018).</summary>
    public const int XWM_SHOWWINDOW = 0x0018;

    /// <summary>The system-settings change message (same number as <see cref="XWM_SETTINGCHANGE"/>). Number 26 (0x001A).</summary>
    public const int XWM_WININICHANGE = 0x001A;

    /// <summary>The system-settings change message (same number as <see cref="XWM_WININICHANGE"/>). Number 26 (0x001A).</summary>
    public const int XWM_SETTINGCHANGE = 0x001A;

    /// <summary>Window message WM_DEVMODECHANGE. Number 27 (0x001B).</summary>
    public const int XWM_DEVMODECHANGE = 0x001B;

    /// <summary>Window message WM_ACTIVATEAPP. Number 28 (0x001C).</summary>
    public const int XWM_ACTIVATEAPP = 0x001C;

    /// <summary>Window message WM_FONTCHANGE. Number 29 (0x001D).</summary>
    public const int XWM_FONTCHANGE = 0x001D;

    /// <summary>Window message WM_TIMECHANGE. Number 30 (0x001E).</summary>
    public const int XWM_TIMECHANGE = 0x001E;

    /// <summary>Window message WM_CANCELMODE. Number 31 (0x001F).</summary>
    public const int XWM_CANCELMODE = 0x001F;

    /// <summary>Window message WM_SETCURSOR. Number 32 (0x0020).</summary>
    public const int XWM_SETCURSOR = 0x0020;

    /// <summary>Window message WM_MOUSEACTIVATE. Number 33 (0x0021).</summary>
    public const int XWM_MOUSEACTIVATE = 0x0021;

    /// <summary>Window message WM_CHILDACTIVATE. Number 34 (0x0022).</summary>
    public const int XWM_CHILDACTIVATE = 0x0022;

    /// <summary>Window message WM_QUEUESYNC. Number 35 (0x0023).</summary>
    public const int XWM_QUEUESYNC = 0x0023;

    /// <summary>Window message WM_GETMINMAXINFO. Number 36 (0x0024).</summary>
    public const int XWM_GETMINMAXINFO = 0x0024;

    /// <summary>Window message WM_PAINTICON. Number 38 (0x0026).</summary>
    public const int XWM_PAINTICON = 0x0026;

    /// <summary>Window message WM_ICONERASEBKGND. Number 39 (0x0027).</summary>
    public const int XWM_ICONERASEBKGND = 0x0027;

    /// <summary>Window message WM_NEXTDLGCTL. Number 40 (0x0028).</summary>
    public const int XWM_NEXTDLGCTL = 0x0028;

    /// <summary>Window message WM_SPOOLERSTATUS. Number 42 (0x002A).</summary>
    public const int XWM_SPOOLERSTATUS = 0x002A;

    /// <summary>Window message WM_DRAWITEM. Number 43 (0x002B).</summary>
    public const int XWM_DRAWITEM = 0x002B;

    /// <summary>Window message WM_MEASUREITEM. Number 44 (0x002C).</summary>
    public const int XWM_MEASUREITEM = 0x002C;

    /// <summary>Window message WM_DELETEITEM. Number 45 (0x002D).</summary>
    public const int XWM_DELETEITEM = 0x002D;

    /// <summary>Window message WM_VKEYTOITEM. Number 46 (0x002E).</summary>
    public const int XWM_VKEYTOITEM = 0x002E;

    /// <summary>Window message WM_CHARTOITEM. Number 47 (0x002F).</summary>
    public const int XWM_CHARTOITEM = 0x002F;

    /// <summary>Window message WM_SETFONT. Number 48 (0x0030).</summary>
    public const int XWM_SETFONT = 0x0030;

    /// <summary>Window message WM_GETFONT. Number 49 (0x0031).</summary>
    public const int XWM_GETFONT = 0x0031;

    /// <summary>Window message WM_SETHOTKEY. Number 50 (0x0032).</summary>
    public const int XWM_SETHOTKEY = 0x0032;

    /// <summary>Window message WM_GETHOTKEY. Number 51 (0x0033).</summary>
    public const int XWM_GETHOTKEY = 0x0033;

    /// <summary>Window message WM_QUERYDRAGICON. Number 55 (0x0037).</summary>
    public const int XWM_QUERYDRAGICON = 0x0037;

    /// <summary>Window message WM_COMPAREITEM. Number 57 (0x0039).</summary>
    public const int XWM_COMPAREITEM = 0x0039;

    /// <summary>Window message WM_GETOBJECT. Number 61 (0x003D).</summary>
    public const int XWM_GETOBJECT = 0x003D;

    /// <summary>Window message WM_COMPACTING. Number 65 (0x0041).</summary>
    public const int XWM_COMPACTING = 0x0041;

    /// <summary>Window message WM_COMMNOTIFY. Number 68 (0x0044).</summary>
    public const int XWM_COMMNOTIFY = 0x0044;

    /// <summary>Window message WM_WINDOWPOSCHANGING. Number 70 (0x0046).</summary>
    public const int XWM_WINDOWPOSCHANGING = 0x0046;

    /// <summary>Window message WM_WINDOWPOSCHANGED. Number 71 (0x0047).</summary>
    public const int XWM_WINDOWPOSCHANGED = 0x0047;

    /// <summary>Window message WM_POWER. Number 72 (0x0048).</summary>
    public const int XWM_POWER = 0x0048;

    /// <summary>Window message WM_COPYDATA. Number 74 (0x004A).</summary>
    public const int XWM_COPYDATA = 0x004A;

    /// <summary>Window message WM_CANCELJOURNAL. Number 75 (0x004B).</summary>
    public const int XWM_CANCELJOURNAL = 0x004B;

    /// <summary>Window message WM_NOTIFY. Number 78 (0x004E).</summary>
    public const int XWM_NOTIFY = 0x004E;

    /// <summary>Window message WM_INPUTLANGCHANGEREQUEST. Number 80 (0x0050).</summary>
    public const int XWM_INPUTLANGCHANGEREQUEST = 0x0050;

    /// <summary>Window message WM_INPUTLANGCHANGE. Number 81 (0x0051).</summary>
    public const int XWM_INPUTLANGCHANGE = 0x0051;

    /// <summary>Window message WM_TCARD. Number 82 (0x0052).</summary>
    public const int XWM_TCARD = 0x0052;

    /// <summary>Window message WM_HELP. Number 83 (0x0053).</summary>
    public const int XWM_HELP = 0x0053;

    /// <summary>Window message WM_USERCHANGED. Number 84 (0x0054).</summary>
    public const int XWM_USERCHANGED = 0x0054;

    /// <summary>Window message WM_NOTIFYFORMAT. Number 85 (0x0055).</summary>
    public const int XWM_NOTIFYFORMAT = 0x0055;

    /// <summary>Window message WM_CONTEXTMENU. Number 123 (0x007B).</summary>
    public const int XWM_CONTEXTMENU = 0x007B;

    /// <summary>Window message WM_STYLECHANGING. Number 124 (0x007C).</summary>
    public const int XWM_STYLECHANGING = 0x007C;

    /// <summary>Window message WM_STYLECHANGED. Number 125 (0x007D).</summary>
    public const int XWM_STYLECHANGED = 0x007D;

    /// <summary>Window message WM_DISPLAYCHANGE. Number 126 (0x007E).</summary>
    public const int XWM_DISPLAYCHANGE = 0x007E;

    /// <summary>Window message WM_GETICON. Number 127 (0x007F).</summary>
    public const int XWM_GETICON = 0x007F;

    /// <summary>Window message WM_SETICON. Number 128 (0x0080).</summary>
    public const int XWM_SETICON = 0x0080;

    /// <summary>Window message WM_NCCREATE. Number 129 (0x0081).</summary>
    public const int XWM_NCCREATE = 0x0081;

    /// <summary>Window message WM_NCDESTROY. Number 130 (0x0082).</summary>
    public const int XWM_NCDESTROY = 0x0082;

    /// <summary>Window message WM_NCCALCSIZE. Number 131 (0x0083).</summary>
    public const int XWM_NCCALCSIZE = 0x0083;

    /// <summary>Window message WM_NCHITTEST. Number 132 (0x0084).</summary>
    public const int XWM_NCHITTEST = 0x0084;

    /// <summary>Window message WM_NCPAINT. Number 133 (0x0085).</summary>
    public const int XWM_NCPAINT = 0x0085;

    /// <summary>Window message WM_NCACTIVATE. Number 134 (0x0086).</summary>
    public const int XWM_NCACTIVATE = 0x0086;

    /// <summary>Window message WM_GETDLGCODE. Number 135 (0x0087).</summary>
    public const int XWM_GETDLGCODE = 0x0087;

    /// <summary>Window message WM_SYNCPAINT. Number 136 (0x0088).</summary>
    public const int XWM_SYNCPAINT = 0x0088;

    /// <summary>Window message WM_NCMOUSEMOVE. Number 160 (0x00A0).</summary>
    public const int XWM_NCMOUSEMOVE = 0x00A0;

    /// <summary>Window message WM_NCLBUTTONDOWN. Number 161 (0x00A1).</summary>
    public const int XWM_NCLBUTTONDOWN = 0x00A1;

    /// <summary>Window message WM_NCLBUTTONUP. Number 162 (0x00A2).</summary>
    public const int XWM_NCLBUTTONUP = 0x00A2;

    /// <summary>Window message WM_NCLBUTTONDBLCLK. Number 163 (0x00A3).</summary>
    public const int XWM_NCLBUTTONDBLCLK = 0x00A3;

    /// <summary>Window message WM_NCRBUTTONDOWN. Number 164 (0x00A4).</summary>
    public const int XWM_NCRBUTTONDOWN = 0x00A4;

    /// <summary>Window message WM_NCRBUTTONUP. Number 165 (0x00A5).</summary>
    public const int XWM_NCRBUTTONUP = 0x00A5;

    /// <summary>Window message WM_NCRBUTTONDBLCLK. Number 166 (0x00A6).</summary>
    public const int XWM_NCRBUTTONDBLCLK = 0x00A6;

    /// <summary>Window message WM_NCMBUTTONDOWN. Number 167 (0x00A7).</summary>
    public const int XWM_NCMBUTTONDOWN = 0x00A7;

    /// <summary>Window message WM_NCMBUTTONUP. Number 168 (0x00A8).</summary>
    public const int XWM_NCMBUTTONUP = 0x00A8;

    /// <summary>Window message WM_NCMBUTTONDBLCLK. Number 169 (0x00A9).</summary>
    public const int XWM_NCMBUTTONDBLCLK = 0x00A9;

    /// <summary>Window message WM_NCXBUTTONDOWN. Number 171 (0x00AB).</summary>
    public const int XWM_NCXBUTTONDOWN = 0x00AB;

    /// <summary>Window message WM_NCXBUTTONUP. Number 172 (0x00AC).</summary>
    public const int XWM_NCXBUTTONUP = 0x00AC;

    /// <summary>Window message WM_NCXBUTTONDBLCLK. Number 173 (0x00AD).</summary>
    public const int XWM_NCXBUTTONDBLCLK = 0x00AD;

    /// <summary>Window message WM_INPUT. Number 255 (0x00FF).</summary>
    public const int XWM_INPUT = 0x00FF;

    /// <summary>First number of the keyboard message range (same number as <see cref="XWM_KEYDOWN"/>). Number 256 (0x0100).</summary>
    public const int XWM_KEYFIRST = 0x0100;

    /// <summary>Window message WM_KEYDOWN. Number 256 (0x0100).</summary>
    public const int XWM_KEYDOWN = 0x0100;

    /// <summary>Window message WM_KEYUP. Number 257 (0x0101).</summary>
    public const int XWM_KEYUP = 0x0101;

    /// <summary>Window message WM_CHAR. Number 258 (0x0102).</summary>
    public const int XWM_CHAR = 0x0102;

    /// <summary>Window message WM_DEADCHAR. Number 259 (0x0103).</summary>
    public const int XWM_DEADCHAR = 0x0103;

    /// <summary>Window message WM_SYSKEYDOWN. Number 260 (0x0104).</summary>
    public const int XWM_SYSKEYDOWN = 0x0104;

    /// <summary>Window message WM_SYSKEYUP. Number 261 (0x0105).</summary>
    public const int XWM_SYSKEYUP = 0x0105;

    /// <summary>Window message WM_SYSCHAR. Number 262 (0x0106).</summary>
    public const int XWM_SYSCHAR = 0x0106;

    /// <summary>Window message WM_SYSDEADCHAR. Number 263 (0x0107).</summary>
    public const int XWM_SYSDEADCHAR = 0x0107;

    /// <summary>Window message WM_UNICHAR. Number 265 (0x0109).</summary>
    public const int XWM_UNICHAR = 0x0109;

    /// <summary>Last number of the keyboard message range (same number as <see cref="XWM_UNICHAR"/>). Number 265 (0x0109).</summary>
    public const int XWM_KEYLAST = 0x0109;

    /// <summary>Window message WM_IME_STARTCOMPOSITION. Number 269 (0x010D).</summary>
    public const int XWM_IME_STARTCOMPOSITION = 0x010D;

    /// <summary>Window message WM_IME_ENDCOMPOSITION. Number 270 (0x010E).</summary>
    public const int XWM_IME_ENDCOMPOSITION = 0x010E;

    /// <summary>Window message WM_IME_COMPOSITION. Number 271 (0x010F).</summary>
    public const int XWM_IME_COMPOSITION = 0x010F;

    /// <summary>Last number of the input-method composition range (same number as <see cref="XWM_IME_COMPOSITION"/>). Number 271 (0x010F).</summary>
    public const int XWM_IME_KEYLAST = 0x010F;

    /// <summary>Window message WM_INITDIALOG. Number 272 (0x0110).</summary>
    public const int XWM_INITDIALOG = 0x0110;

    /// <summary>Window message WM_COMMAND. Number 273 (0x0111).</summary>
    public const int XWM_COMMAND = 0x0111;

    /// <summary>Window message WM_SYSCOMMAND. Number 274 (0x0112).</summary>
    public const int XWM_SYSCOMMAND = 0x0112;

    /// <summary>Window message WM_TIMER. Number 275 (0x0113).</summary>
    public const int XWM_TIMER = 0x0113;

    /// <summary>Window message WM_HSCROLL. Number 276 (0x0114).</summary>
    public const int XWM_HSCROLL = 0x0114;

    /// <summary>Window message WM_VSCROLL. Number 277 (0x0115).</summary>
    public const int XWM_VSCROLL = 0x0115;

    /// <summary>Window message WM_INITMENU. Number 278 (0x0116).</summary>
    public const int XWM_INITMENU = 0x0116;

    /// <summary>Window message WM_INITMENUPOPUP. Number 279 (0x0117).</summary>
    public const int XWM_INITMENUPOPUP = 0x0117;

    /// <summary>Window message WM_MENUSELECT. Number 287 (0x011F).</summary>
    public const int XWM_MENUSELECT = 0x011F;

    /// <summary>Window message WM_MENUCHAR. Number 288 (0x0120).</summary>
    public const int XWM_MENUCHAR = 0x0120;

    /// <summary>Window message WM_ENTERIDLE. Number 289 (0x0121).</summary>
    public const int XWM_ENTERIDLE = 0x0121;

    /// <summary>Window message WM_MENURBUTTONUP. Number 290 (0x0122).</summary>
    public const int XWM_MENURBUTTONUP = 0x0122;

    /// <summary>Window message WM_MENUDRAG. Number 291 (0x0123).</summary>
    public const int XWM_MENUDRAG = 0x0123;

    /// <summary>Window message WM_MENUGETOBJECT. Number 292 (0x0124).</summary>
    public const int XWM_MENUGETOBJECT = 0x0124;

    /// <summary>Window message WM_UNINITMENUPOPUP. Number 293 (0x0125).</summary>
    public const int XWM_UNINITMENUPOPUP = 0x0125;

    /// <summary>Window message WM_MENUCOMMAND. Number 294 (0x0126).</summary>
    public const int XWM_MENUCOMMAND = 0x0126;

    /// <summary>Window message WM_CHANGEUISTATE. Number 295 (0x0127).</summary>
    public const int XWM_CHANGEUISTATE = 0x0127;

    /// <summary>Window message WM_UPDATEUISTATE. Number 296 (0x0128).</summary>
    public const int XWM_UPDATEUISTATE = 0x0128;

    /// <summary>Window message WM_QUERYUISTATE. Number 297 (0x0129).</summary>
    public const int XWM_QUERYUISTATE = 0x0129;

    /// <summary>Window message WM_CTLCOLORMSGBOX. Number 306 (0x0132).</summary>
    public const int XWM_CTLCOLORMSGBOX = 0x0132;

    /// <summary>Window message WM_CTLCOLOREDIT. Number 307 (0x0133).</summary>
    public const int XWM_CTLCOLOREDIT = 0x0133;

    /// <summary>Window message WM_CTLCOLORLISTBOX. Number 308 (0x0134).</summary>
    public const int XWM_CTLCOLORLISTBOX = 0x0134;

    /// <summary>Window message WM_CTLCOLORBTN. Number 309 (0x0135).</summary>
    public const int XWM_CTLCOLORBTN = 0x0135;

    /// <summary>Window message WM_CTLCOLORDLG. Number 310 (0x0136).</summary>
    public const int XWM_CTLCOLORDLG = 0x0136;

    /// <summary>Window message WM_CTLCOLORSCROLLBAR. Number 311 (0x0137).</summary>
    public const int XWM_CTLCOLORSCROLLBAR = 0x0137;

    /// <summary>Window message WM_CTLCOLORSTATIC. Number 312 (0x0138).</summary>
    public const int XWM_CTLCOLORSTATIC = 0x0138;

    /// <summary>First number of the mouse message range (same number as <see cref="XWM_MOUSEMOVE"/>). Number 512 (0x0200).</summary>
    public const int XWM_MOUSEFIRST = 0x0200;

    /// <summary>Window message WM_MOUSEMOVE. Number 512 (0x0200).</summary>
    public const int XWM_MOUSEMOVE = 0x0200;

    /// <summary>Window message WM_LBUTTONDOWN. Number 513 (0x0201).</summary>
    public const int XWM_LBUTTONDOWN = 0x0201;

    /// <summary>Window message WM_LBUTTONUP. Number 514 (0x0202).</summary>
    public const int XWM_LBUTTONUP = 0x0202;

    /// <summary>Window message WM_LBUTTONDBLCLK. Number 515 (0x0203).</summary>
    public const int XWM_LBUTTONDBLCLK = 0x0203;

    /// <summary>Window message WM_RBUTTONDOWN. Number 516 (0x0204).</summary>
    public const int XWM_RBUTTONDOWN = 0x0204;

    /// <summary>Window message WM_RBUTTONUP. Number 517 (0x0205).</summary>
    public const int XWM_RBUTTONUP = 0x0205;

    /// <summary>Window message WM_RBUTTONDBLCLK. Number 518 (0x0206).</summary>
    public const int XWM_RBUTTONDBLCLK = 0x0206;

    /// <summary>Window message WM_MBUTTONDOWN. Number 519 (0x0207).</summary>
    public const int XWM_MBUTTONDOWN = 0x0207;

    /// <summary>Window message WM_MBUTTONUP. Number 520 (0x0208).</summary>
    public const int XWM_MBUTTONUP = 0x0208;

    /// <summary>Window message WM_MBUTTONDBLCLK. Number 521 (0x0209).</summary>
    public const int XWM_MBUTTONDBLCLK = 0x0209;

    /// <summary>Window message WM_MOUSEWHEEL. Number 522 (0x020A).</summary>
    public const int XWM_MOUSEWHEEL = 0x020A;

    /// <summary>Window message WM_XBUTTONDOWN. Number 523 (0x020B).</summary>
    public const int XWM_XBUTTONDOWN = 0x020B;

    /// <summary>Window message WM_XBUTTONUP. Number 524 (0x020C).</summary>
    public const int XWM_XBUTTONUP = 0x020C;

    /// <summary>Window message WM_XBUTTONDBLCLK. Number 525 (0x020D).</summary>
    public const int XWM_XBUTTONDBLCLK = 0x020D;

    /// <summary>Last number of the mouse message range (same number as <see cref="XWM_XBUTTONDBLCLK"/>). Number 525 (0x020D).</summary>
    public const int XWM_MOUSELAST = 0x020D;

    /// <summary>Window message WM_PARENTNOTIFY. Number 528 (0x0210).</summary>
    public const int XWM_PARENTNOTIFY = 0x0210;

    /// <summary>Window message WM_ENTERMENULOOP. Number 529 (0x0211).</summary>
    public const int XWM_ENTERMENULOOP = 0x0211;

    /// <summary>Window message WM_EXITMENULOOP. Number 530 (0x0212).</summary>
    public const int XWM_EXITMENULOOP = 0x0212;

    /// <summary>Window message WM_NEXTMENU. Number 531 (0x0213).</summary>
    public const int XWM_NEXTMENU = 0x0213;

    /// <summary>Window message WM_SIZING. Number 532 (0x0214).</summary>
    public const int XWM_SIZING = 0x0214;

    /// <summary>Window message WM_CAPTURECHANGED. Number 533 (0x0215).</summary>
    public const int XWM_CAPTURECHANGED = 0x0215;

    /// <summary>Window message WM_MOVING. Number 534 (0x0216).</summary>
    public const int XWM_MOVING = 0x0216;

    /// <summary>Window message WM_POWERBROADCAST. Number 536 (0x0218).</summary>
    public const int XWM_POWERBROADCAST = 0x0218;

    /// <summary>Window message WM_DEVICECHANGE. Number 537 (0x0219).</summary>
    public const int XWM_DEVICECHANGE = 0x0219;

    /// <summary>Window message WM_MDICREATE. Number 544 (0x0220).</summary>
    public const int XWM_MDICREATE = 0x0220;

    /// <summary>Window message WM_MDIDESTROY. Number 545 (0x0221).</summary>
    public const int XWM_MDIDESTROY = 0x0221;

    /// <summary>Window message WM_MDIACTIVATE. Number 546 (0x0222).</summary>
    public const int XWM_MDIACTIVATE = 0x0222;

    /// <summary>Window message WM_MDIRESTORE. Number 547 (0x0223).</summary>
    public const int XWM_MDIRESTORE = 0x0223;

    /// <summary>Window message WM_MDINEXT. Number 548 (0x0224).</summary>
    public const int XWM_MDINEXT = 0x0224;

    /// <summary>Window message WM_MDIMAXIMIZE. Number 549 (0x0225).</summary>
    public const int XWM_MDIMAXIMIZE = 0x0225;

    /// <summary>Window message WM_MDITILE. Number 550 (0x0226).</summary>
    public const int XWM_MDITILE = 0x0226;

    /// <summary>Window message WM_MDICASCADE. Number 551 (0x0227).</summary>
    public const int XWM_MDICASCADE = 0x0227;

    /// <summary>Window message WM_MDIICONARRANGE. Number 552 (0x0228).</summary>
    public const int XWM_MDIICONARRANGE = 0x0228;

    /// <summary>Window message WM_MDIGETACTIVE. Number 553 (0x0229).</summary>
    public const int XWM_MDIGETACTIVE = 0x0229;

    /// <summary>Window message WM_MDISETMENU. Number 560 (0x0230).</summary>
    public const int XWM_MDISETMENU = 0x0230;

    /// <summary>Window message WM_ENTERSIZEMOVE. Number 561 (0x0231).</summary>
    public const int XWM_ENTERSIZEMOVE = 0x0231;

    /// <summary>Window message WM_EXITSIZEMOVE. Number 562 (0x0232).</summary>
    public const int XWM_EXITSIZEMOVE = 0x0232;

    /// <summary>Window message WM_DROPFILES. Number 563 (0x0233).</summary>
    public const int XWM_DROPFILES = 0x0233;

    /// <summary>Window message WM_MDIREFRESHMENU. Number 564 (0x0234).</summary>
    public const int XWM_MDIREFRESHMENU = 0x0234;

    /// <summary>Window message WM_IME_SETCONTEXT. Number 641 (0x0281).</summary>
    public const int XWM_IME_SETCONTEXT = 0x0281;

    /// <summary>Window message WM_IME_NOTIFY. Number 642 (0x0282).</summary>
    public const int XWM_IME_NOTIFY = 0x0282;

    /// <summary>Window message WM_IME_CONTROL. Number 643 (0x0283).</summary>
    public const int XWM_IME_CONTROL = 0x0283;

    /// <summary>Window message WM_IME_COMPOSITIONFULL. Number 644 (0x0284).</summary>
    public const int XWM_IME_COMPOSITIONFULL = 0x0284;

    /// <summary>Window message WM_IME_SELECT. Number 645 (0x0285).</summary>
    public const int XWM_IME_SELECT = 0x0285;

    /// <summary>Window message WM_IME_CHAR. Number 646 (0x0286).</summary>
    public const int XWM_IME_CHAR = 0x0286;

    /// <summary>Window message WM_IME_REQUEST. Number 648 (0x0288).</summary>
    public const int XWM_IME_REQUEST = 0x0288;

    /// <summary>Window message WM_IME_KEYDOWN. Number 656 (0x0290).</summary>
    public const int XWM_IME_KEYDOWN = 0x0290;

    /// <summary>Window message WM_IME_KEYUP. Number 657 (0x0291).</summary>
    public const int XWM_IME_KEYUP = 0x0291;

    /// <summary>Window message WM_MOUSEHOVER. Number 673 (0x02A1).</summary>
    public const int XWM_MOUSEHOVER = 0x02A1;

    /// <summary>Window message WM_MOUSELEAVE. Number 675 (0x02A3).</summary>
    public const int XWM_MOUSELEAVE = 0x02A3;

    /// <summary>Window message WM_NCMOUSEHOVER. Number 672 (0x02A0).</summary>
    public const int XWM_NCMOUSEHOVER = 0x02A0;

    /// <summary>Window message WM_NCMOUSELEAVE. Number 674 (0x02A2).</summary>
    public const int XWM_NCMOUSELEAVE = 0x02A2;

    /// <summary>Window message WM_WTSSESSION_CHANGE. Number 689 (0x02B1).</summary>
    public const int XWM_WTSSESSION_CHANGE = 0x02B1;

    /// <summary>First number of the range reserved for tablet messages. Number 704 (0x02C0).</summary>
    public const int XWM_TABLET_FIRST = 0x02C0;

    /// <summary>Last number of the range reserved for tablet messages. Number 735 (0x02DF).</summary>
    public const int XWM_TABLET_LAST = 0x02DF;

    /// <summary>Window message WM_CUT. Number 768 (0x0300).</summary>
    public const int XWM_CUT = 0x0300;

    /// <summary>Window message WM_COPY. Number 769 (0x0301).</summary>
    public const int XWM_COPY = 0x0301;

    /// <summary>Window message WM_PASTE. Number 770 (0x0302).</summary>
    public const int XWM_PASTE = 0x0302;

    /// <summary>Window message WM_CLEAR. Number 771 (0x0303).</summary>
    public const int XWM_CLEAR = 0x0303;

    /// <summary>Window message WM_UNDO. Number 772 (0x0304).</summary>
    public const int XWM_UNDO = 0x0304;

    /// <summary>Window message WM_RENDERFORMAT. Number 773 (0x0305).</summary>
    public const int XWM_RENDERFORMAT = 0x0305;

    /// <summary>Window message WM_RENDERALLFORMATS. Number 774 (0x0306).</summary>
    public const int XWM_RENDERALLFORMATS = 0x0306;

    /// <summary>Window message WM_DESTROYCLIPBOARD. Number 775 (0x0307).</summary>
    public const int XWM_DESTROYCLIPBOARD = 0x0307;

    /// <summary>Window message WM_DRAWCLIPBOARD. Number 776 (0x0308).</summary>
    public const int XWM_DRAWCLIPBOARD = 0x0308;

    /// <summary>Window message WM_PAINTCLIPBOARD. Number 777 (0x0309).</summary>
    public const int XWM_PAINTCLIPBOARD = 0x0309;

    /// <summary>Window message WM_VSCROLLCLIPBOARD. Number 778 (0x030A).</summary>
    public const int XWM_VSCROLLCLIPBOARD = 0x030A;

    /// <summary>Window message WM_SIZECLIPBOARD. Number 779 (0x030B).</summary>
    public const int XWM_SIZECLIPBOARD = 0x030B;

    /// <summary>Window message WM_ASKCBFORMATNAME. Number 780 (0x030C).</summary>
    public const int XWM_ASKCBFORMATNAME = 0x030C;

    /// <summary>Window message WM_CHANGECBCHAIN. Number 781 (0x030D).</summary>
    public const int XWM_CHANGECBCHAIN = 0x030D;

    /// <summary>Window message WM_HSCROLLCLIPBOARD. Number 782 (0x030E).</summary>
    public const int XWM_HSCROLLCLIPBOARD = 0x030E;

    /// <summary>Window message WM_QUERYNEWPALETTE. Number 783 (0x030F).</summary>
    public const int XWM_QUERYNEWPALETTE = 0x030F;

    /// <summary>Window message WM_PALETTEISCHANGING. Number 784 (0x0310).</summary>
    public const int XWM_PALETTEISCHANGING = 0x0310;

    /// <summary>Window message WM_PALETTECHANGED. Number 785 (0x0311).</summary>
    public const int XWM_PALETTECHANGED = 0x0311;

    /// <summary>Window message WM_HOTKEY. Number 786 (0x0312).</summary>
    public const int XWM_HOTKEY = 0x0312;

    /// <summary>Window message WM_PRINT. Number 791 (0x0317).</summary>
    public const int XWM_PRINT = 0x0317;

    /// <summary>Window message WM_PRINTCLIENT. Number 792 (0x0318).</summary>
    public const int XWM_PRINTCLIENT = 0x0318;

    /// <summary>Window message WM_APPCOMMAND. Number 793 (0x0319).</summary>
    public const int XWM_APPCOMMAND = 0x0319;

    /// <summary>Window message WM_THEMECHANGED. Number 794 (0x031A).</summary>
    public const int XWM_THEMECHANGED = 0x031A;

    /// <summary>First number of the range reserved for handheld-device messages. Number 856 (0x0358).</summary>
    public const int XWM_HANDHELDFIRST = 0x0358;

    /// <summary>Last number of the range reserved for handheld-device messages. Number 863 (0x035F).</summary>
    public const int XWM_HANDHELDLAST = 0x035F;

    /// <summary>First number of the range reserved for application-framework messages. Number 864 (0x0360).</summary>
    public const int XWM_AFXFIRST = 0x0360;

    /// <summary>Last number of the range reserved for application-framework messages. Number 895 (0x037F).</summary>
    public const int XWM_AFXLAST = 0x037F;

    /// <summary>First number of the range reserved for pen-input messages. Number 896 (0x0380).</summary>
    public const int XWM_PENWINFIRST = 0x0380;

    /// <summary>Last number of the range reserved for pen-input messages. Number 911 (0x038F).</summary>
    public const int XWM_PENWINLAST = 0x038F;

    /// <summary>First number free for private messages of an application. Number 32768 (0x8000).</summary>
    public const int XWM_APP = 0x8000;

    /// <summary>First number free for private messages of a window class. Number 1024 (0x0400).</summary>
    public const int XWM_USER = 0x0400;

    /// <summary>
    /// The low 16 bits of a message parameter, as an unsigned number (0..65535). The value is
    /// taken as a 64-bit integer and truncated to its low 32 bits first.
    /// </summary>
    /// <param name="value">A message parameter.</param>
    /// <returns>Bits 0..15 of <paramref name="value"/>.</returns>
    public static int GetLowValue(IntPtr value)
    {
        uint low32 = unchecked((uint)value.ToInt64());
        return (int)(low32 & 0xFFFF);
    }

    /// <summary>
    /// The high 16 bits of the low 32 bits of a message parameter, as an unsigned number
    /// (0..65535). The value is taken as a 64-bit integer, truncated to 32 bits and shifted right
    /// by 16 without sign, so a set bit 31 never yields a negative result.
    /// </summary>
    /// <param name="value">A message parameter.</param>
    /// <returns>Bits 16..31 of <paramref name="value"/>.</returns>
    public static int GetHighValue(IntPtr value)
    {
        uint low32 = unchecked((uint)value.ToInt64());
        return (int)((low32 >> 16) & 0xFFFF);
    }
}
