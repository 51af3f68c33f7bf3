// Standard frames on real windows: layout of scroll bars and client, the
// elements each frame-creation flag asks for (native style bits, menu,
// icon, accelerators), visibility, the standard-window list with the main
// window hand-over, and destruction of all frames.
#include <string>
#include "frametest.h"

using namespace frametest;

namespace {

class Frame : public FrameTest {};

// Bars at the right and bottom edges, one pixel beyond the frame's client
// area outside, and the client filling the rest: computed here from the
// frame's client rectangle and the system's bar sizes.
void expectLayout(HWND frame, HWND client)
{
    RECT fc = clientRect(frame);
    LONG w = fc.right, h = fc.bottom;
    int cxV = GetSystemMetrics(SM_CXVSCROLL), cyH = GetSystemMetrics(SM_CYHSCROLL);
    HWND vbar = GetDlgItem(frame, PM_FID_VERTSCROLL);
    HWND hbar = GetDlgItem(frame, PM_FID_HORZSCROLL);
    ASSERT_TRUE(vbar && hbar);
    RECT v = rectInParent(vbar), hr = rectInParent(hbar), c = rectInParent(client);
    EXPECT_EQ(v.left, w - cxV + 1);
    EXPECT_EQ(v.top, -1);
    EXPECT_EQ(v.right - v.left, cxV);
    EXPECT_EQ(v.bottom, h + 1 - cyH);
    EXPECT_EQ(hr.left, -1);
    EXPECT_EQ(hr.top, h - cyH + 1);
    EXPECT_EQ(hr.right, w + 1 - cxV);
    EXPECT_EQ(hr.bottom - hr.top, cyH);
    EXPECT_EQ(c.left, 0);
    EXPECT_EQ(c.top, 0);
    EXPECT_EQ(c.right, w - cxV);
    EXPECT_EQ(c.bottom, h - cyH);
}

TEST_F(Frame, BarsAndClientFollowTheFrameSize)
{
    HWND client = NULL;
    HWND frame = makeFrame(PM_FCF_TITLEBAR | PM_FCF_SIZEBORDER | PM_FCF_VERTSCROLL |
                               PM_FCF_HORZSCROLL, &client);
    ASSERT_NE(frame, (HWND)NULL);
    ASSERT_NE(client, (HWND)NULL);
    EXPECT_EQ(GetParent(client), frame);
    EXPECT_EQ(GetDlgCtrlID(client), PM_FID_CLIENT);
    EXPECT_TRUE(OwmIsPMWindow(client));
    EXPECT_EQ(WinQueryWindow(client, PM_QW_OWNER), frame);
    expectLayout(frame, client);
    const SIZE sizes[] = {{500, 400}, {180, 130}, {640, 90}};
    for (SIZE s : sizes) {
        SetWindowPos(frame, NULL, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER);
        SCOPED_TRACE(s.cx);
        expectLayout(frame, client);
    }
    // the client's PM procedure heard of its last size in PM terms
    auto sized = received(PM_WM_SIZE, client);
    ASSERT_FALSE(sized.empty());
    RECT c = clientRect(client);
    EXPECT_EQ(sized.back().mp1, (ULONG_PTR)MPFROM2SHORT(c.right, c.bottom));
}

TEST_F(Frame, WithoutBarsTheClientFillsTheFrame)
{
    HWND client = NULL;
    HWND frame = makeFrame(PM_FCF_TITLEBAR | PM_FCF_VERTSCROLL, &client);
    ASSERT_NE(frame, (HWND)NULL);
    EXPECT_EQ(GetDlgItem(frame, PM_FID_HORZSCROLL), (HWND)NULL);
    SetWindowPos(frame, NULL, 0, 0, 300, 250, SWP_NOMOVE | SWP_NOZORDER);
    RECT fc = clientRect(frame), c = rectInParent(client);
    EXPECT_EQ(c.right, fc.right - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(c.bottom, fc.bottom);
    HWND plain = makeFrame(PM_FCF_TITLEBAR, &client);
    SetWindowPos(plain, NULL, 0, 0, 260, 210, SWP_NOMOVE | SWP_NOZORDER);
    fc = clientRect(plain);
    c = rectInParent(client);
    EXPECT_EQ(c.right, fc.right);
    EXPECT_EQ(c.bottom, fc.bottom);
}

TEST_F(Frame, EachFlagGivesItsNativeStyleBit)
{
    struct Case {
        ULONG fcf;
        LONG native;
    };
    const Case cases[] = {
        {PM_FCF_TITLEBAR, WS_CAPTION},     {PM_FCF_SYSMENU, WS_SYSMENU | WS_CAPTION},
        {PM_FCF_SIZEBORDER, WS_THICKFRAME}, {PM_FCF_MINBUTTON, WS_MINIMIZEBOX},
        {PM_FCF_MAXBUTTON, WS_MAXIMIZEBOX},
    };
    const LONG all = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    HWND client;
    HWND bare = makeFrame(0, &client, 0);
    ASSERT_NE(bare, (HWND)NULL);
    EXPECT_TRUE(GetWindowLongA(bare, GWL_STYLE) & WS_CLIPCHILDREN);
    // child frames show exactly the bits asked for (the system gives every
    // top-level overlapped window a caption)
    HWND bareChild = makeFrame(0, &client, 0, top);
    ASSERT_NE(bareChild, (HWND)NULL);
    EXPECT_EQ(GetWindowLongA(bareChild, GWL_STYLE) & all, 0);
    for (const Case &c : cases) {
        // the system menu needs a caption to show: ask for both
        ULONG fcf = c.fcf == PM_FCF_SYSMENU ? (c.fcf | PM_FCF_TITLEBAR) : c.fcf;
        HWND f = makeFrame(fcf, &client, 0, top);
        ASSERT_NE(f, (HWND)NULL);
        EXPECT_EQ(GetWindowLongA(f, GWL_STYLE) & c.native, c.native) << std::hex << c.fcf;
        EXPECT_EQ(GetWindowLongA(f, GWL_STYLE) & (all & ~c.native), 0) << std::hex << c.fcf;
    }
    // a child frame is a clipping child of its parent window
    HWND inner = makeFrame(PM_FCF_TITLEBAR, &client, PM_WS_VISIBLE, top);
    ASSERT_NE(inner, (HWND)NULL);
    EXPECT_EQ(GetParent(inner), top);
    EXPECT_EQ((ULONG)GetWindowLongA(inner, GWL_STYLE) & 0x46000000UL, 0x46000000UL);
}

TEST_F(Frame, VisibleAndMinimisedStyles)
{
    HWND client;
    HWND hidden = makeFrame(PM_FCF_TITLEBAR, &client, 0);
    ASSERT_NE(hidden, (HWND)NULL);
    pump();
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_TRUE(GetWindowLongA(client, GWL_STYLE) & WS_VISIBLE);   // shown inside its frame
    WinShowWindow(hidden, TRUE);
    EXPECT_TRUE(IsWindowVisible(hidden));
    EXPECT_TRUE(IsWindowVisible(client));

    HWND shown = makeFrame(PM_FCF_TITLEBAR, &client, PM_WS_VISIBLE);
    EXPECT_TRUE(IsWindowVisible(shown));
    EXPECT_FALSE(IsIconic(shown));
    HWND icon = makeFrame(PM_FCF_TITLEBAR | PM_FCF_MINBUTTON, &client,
                          PM_WS_VISIBLE | PM_WS_MINIMIZED);
    EXPECT_TRUE(IsWindowVisible(icon));
    EXPECT_TRUE(IsIconic(icon));
}

TEST_F(Frame, MenuFromTheModuleAndAMissingMenuFails)
{
    HWND client;
    HWND frame = makeFrame(PM_FCF_TITLEBAR | PM_FCF_MENU, &client);
    ASSERT_NE(frame, (HWND)NULL);
    HMENU bar = GetMenu(frame);
    ASSERT_NE(bar, (HMENU)NULL);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    char text[64];
    GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&File");
    GetMenuStringA(bar, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Help");
    GetMenuStringA(bar, 102, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "E&xit");
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 0)), 2);

    client = (HWND)1;
    size_t frames = 0;
    EXPECT_EQ(makeFrame(PM_FCF_MENU, &client, PM_WS_VISIBLE, PM_HWND_DESKTOP, 99), (HWND)NULL);
    EXPECT_EQ(client, (HWND)NULL);
    // nothing of the failed frame stays: its client class saw no window
    for (const Msg &m : log())
        if (m.msg == PM_WM_CREATE)
            frames++;
    EXPECT_EQ(frames, 1u);      // the first frame's client only
}

TEST_F(Frame, IconIsTheClassIconWithASmallImage)
{
    HWND client;
    HWND frame = makeFrame(PM_FCF_TITLEBAR | PM_FCF_ICON, &client);
    ASSERT_NE(frame, (HWND)NULL);
    HICON expected = LoadIconA(exe, MAKEINTRESOURCEA(kRes));   // shared: the same handle
    ASSERT_NE(expected, (HICON)NULL);
    EXPECT_EQ((HICON)GetClassLongPtrA(frame, GCLP_HICON), expected);
    EXPECT_EQ((HICON)SendMessageA(frame, WM_GETICON, ICON_BIG, 0), expected);
    EXPECT_EQ((HICON)SendMessageA(frame, WM_QUERYDRAGICON, 0, 0), expected);
    HICON small = (HICON)GetClassLongPtrA(frame, GCLP_HICONSM);
    ASSERT_NE(small, (HICON)NULL);
    ICONINFO ii = {};
    ASSERT_TRUE(GetIconInfo(small, &ii));
    BITMAP bm = {};
    GetObjectA(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 16);
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    if (ii.hbmMask) DeleteObject(ii.hbmMask);
    // a frame without the flag answers no drag icon
    HWND plain = makeFrame(PM_FCF_TITLEBAR, &client);
    EXPECT_EQ(SendMessageA(plain, WM_QUERYDRAGICON, 0, 0), 0);
}

TEST_F(Frame, AcceleratorTableIsLoadedAndFires)
{
    HWND client;
    HWND frame = makeFrame(PM_FCF_TITLEBAR | PM_FCF_ACCELTABLE, &client);
    ASSERT_NE(frame, (HWND)NULL);
    HACCEL table = (HACCEL)SendMessageA(frame, OWM_NM_QUERYFRAMEACCEL, 0, 0);
    ASSERT_NE(table, (HACCEL)NULL);
    ACCEL entries[4];
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 4), 2);
    EXPECT_EQ(entries[0].key, VK_F5);
    EXPECT_EQ(entries[0].cmd, 501);

    // a key message handed to the frame becomes the client's command
    PM_QMSG q = {};
    q.hwnd = client;
    q.native = {client, WM_KEYDOWN, VK_F5, 1, 0, {0, 0}};
    log().clear();
    EXPECT_EQ(SendMessageA(frame, OWM_NM_TRANSLATEFRAMEACCEL, 0, (LPARAM)&q), 1);
    auto cmds = received(PM_WM_COMMAND, client);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].mp1, 501u);
    EXPECT_EQ(cmds[0].mp2, (ULONG_PTR)MPFROM2SHORT(PM_CMDSRC_ACCELERATOR, 1));
    q.native.wParam = VK_F7;        // not in the table
    EXPECT_EQ(SendMessageA(frame, OWM_NM_TRANSLATEFRAMEACCEL, 0, (LPARAM)&q), 0);

    // through the message loop: the focused client passes the key up
    WinSetFocus(PM_HWND_DESKTOP, client);
    log().clear();
    PostMessageA(client, WM_KEYDOWN, VK_F6, 1);
    pump();
    cmds = received(PM_WM_COMMAND, client);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].mp1, 502u);

    // a replaced table answers instead
    ACCEL one = {FVIRTKEY, VK_F7, 777};
    HACCEL mine = CreateAcceleratorTableA(&one, 1);
    SendMessageA(frame, OWM_NM_SETFRAMEACCEL, 0, (LPARAM)mine);
    EXPECT_EQ((HACCEL)SendMessageA(frame, OWM_NM_QUERYFRAMEACCEL, 0, 0), mine);
    log().clear();
    EXPECT_EQ(SendMessageA(frame, OWM_NM_TRANSLATEFRAMEACCEL, 0, (LPARAM)&q), 1);
    ASSERT_EQ(received(PM_WM_COMMAND, client).size(), 1u);
    EXPECT_EQ(received(PM_WM_COMMAND, client)[0].mp1, 777u);
}

// The main window is the only frame that hears of application activation,
// and only of a change: the opposite state goes first.
bool hearsActivation(HWND frame, HWND client, BOOL state)
{
    SendMessageA(frame, WM_ACTIVATEAPP, !state, 0);
    log().clear();
    SendMessageA(frame, WM_ACTIVATEAPP, state, 0);
    auto heard = received(PM_WM_ACTIVATEAPP, client);
    return heard.size() == 1 && heard[0].mp1 == (ULONG_PTR)state;
}

TEST_F(Frame, MainWindowHandOverAndTheList)
{
    HWND ca, cb, cc, cchild;
    HWND a = makeFrame(PM_FCF_TITLEBAR, &ca);
    HWND b = makeFrame(PM_FCF_TITLEBAR, &cb);
    HWND inner = makeFrame(PM_FCF_TITLEBAR, &cchild, PM_WS_VISIBLE, top);
    HWND c = makeFrame(PM_FCF_TITLEBAR, &cc);
    ASSERT_TRUE(a && b && c && inner);
    for (HWND f : {a, b, c, inner})
        EXPECT_TRUE(OwmIsStdWindow(f));
    EXPECT_FALSE(OwmIsStdWindow(ca));
    EXPECT_FALSE(OwmIsStdWindow(top));
    EXPECT_FALSE(OwmIsStdWindow(NULL));

    EXPECT_FALSE(hearsActivation(b, cb, TRUE));
    EXPECT_FALSE(hearsActivation(inner, cchild, TRUE));
    EXPECT_TRUE(hearsActivation(a, ca, TRUE));
    log().clear();
    SendMessageA(a, WM_ACTIVATEAPP, TRUE, 0);       // no change of state
    EXPECT_TRUE(received(PM_WM_ACTIVATEAPP, ca).empty());
    EXPECT_TRUE(hearsActivation(a, ca, FALSE));

    WinDestroyWindow(a);
    EXPECT_FALSE(OwmIsStdWindow(a));
    EXPECT_TRUE(hearsActivation(b, cb, TRUE));      // the next top-level frame
    EXPECT_FALSE(hearsActivation(c, cc, TRUE));
    WinDestroyWindow(b);
    EXPECT_FALSE(hearsActivation(inner, cchild, TRUE));   // a child frame never is
    EXPECT_TRUE(hearsActivation(c, cc, TRUE));

    StdWinDestroyAllStdWindows();
    for (HWND f : {a, b, c, inner}) {
        EXPECT_FALSE(IsWindow(f));
        EXPECT_FALSE(OwmIsStdWindow(f));
    }
    EXPECT_FALSE(IsWindow(cc));
    EXPECT_EQ(received(PM_WM_DESTROY, cc).size(), 1u);
    // a new frame is the main window again
    HWND d = makeFrame(PM_FCF_TITLEBAR, &cc);
    EXPECT_TRUE(hearsActivation(d, cc, TRUE));
}

TEST_F(Frame, WinTerminateDestroysTheRemainingFrames)
{
    HWND c1, c2;
    HWND a = makeFrame(PM_FCF_TITLEBAR, &c1);
    HWND b = makeFrame(PM_FCF_TITLEBAR | PM_FCF_VERTSCROLL, &c2);
    ASSERT_TRUE(a && b);
    WinTerminate(hab);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_FALSE(IsWindow(c2));
    // the frame classes come back with the next frame
    hab = WinInitialize(0);
    ASSERT_TRUE(WinRegisterClass(hab, RECORDER, recordingProc, 0, 32));
    top = WinCreateWindow(NULL, RECORDER, "top", PM_WS_VISIBLE, 0, 0, 300, 200, NULL, NULL,
                          0, NULL, NULL);
    HWND again = makeFrame(PM_FCF_TITLEBAR, &c1);
    EXPECT_NE(again, (HWND)NULL);
    EXPECT_TRUE(OwmIsStdWindow(again));
}

TEST_F(Frame, BadArgumentsFailCleanly)
{
    HWND client = (HWND)1;
    EXPECT_EQ(WinCreateStdWindow(PM_HWND_DESKTOP, 0, NULL, RECORDER, "x", 0, exe, 1, &client),
              (HWND)NULL);
    EXPECT_EQ(client, (HWND)NULL);
    ULONG fcf = PM_FCF_TITLEBAR;
    EXPECT_EQ(WinCreateStdWindow(PM_HWND_DESKTOP, 0, &fcf, NULL, "x", 0, exe, 1, &client),
              (HWND)NULL);
    EXPECT_EQ(WinCreateStdWindow(PM_HWND_DESKTOP, 0, &fcf, "NoSuchClientClass", "x", 0, exe,
                                 1, &client),
              (HWND)NULL);
    // a frame made natively without a record gets default handling only
    HWND stray = CreateWindowExA(0, "OwmStdWin", "", 0, 0, 0, 50, 50, NULL, NULL, NULL,
                                 (LPVOID)0x1234);
    if (stray) {
        EXPECT_FALSE(OwmIsStdWindow(stray));
        SendMessageA(stray, OWM_NM_FRAMEPOSTED, 0, 0x5678);
        SendMessageA(stray, WM_SIZE, 0, 0);
        DestroyWindow(stray);
    }
}

} // namespace
