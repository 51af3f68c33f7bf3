// Native messages posted or sent to a standard frame (and to its client)
// reach the client's PM procedure as the PM messages of the routing table,
// with the PM parameters worked out here from the native ones; a frame
// whose input is disabled swallows mouse clicks and close requests.
#include "frametest.h"

using namespace frametest;

namespace {

class FrameRouting : public FrameTest {
protected:
    HWND frame = NULL, client = NULL;

    void SetUp() override
    {
        FrameTest::SetUp();
        frame = makeFrame(PM_FCF_TITLEBAR | PM_FCF_SIZEBORDER | PM_FCF_VERTSCROLL |
                              PM_FCF_HORZSCROLL, &client);
        ASSERT_NE(frame, (HWND)NULL);
        SetWindowPos(frame, NULL, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER);
        pump();
        log().clear();
    }

    // The one message of this number the client received.
    Msg only(USHORT msg)
    {
        auto got = received(msg, client);
        EXPECT_EQ(got.size(), 1u) << "message 0x" << std::hex << msg;
        return got.empty() ? Msg{} : got[0];
    }
};

TEST_F(FrameRouting, UserMessagesAndPostedPMMessagesReachTheClient)
{
    PostMessageA(frame, 0x1234, 11, 22);
    PostMessageA(frame, PM_WM_HELP, 5, 6);
    WinPostMsg(frame, PM_WM_USER + 7, MPFROMLONG(70), MPFROMLONG(71));
    pump();
    Msg user = only(0x1234);
    EXPECT_EQ(user.mp1, 11u);
    EXPECT_EQ(user.mp2, 22u);
    Msg help = only(PM_WM_HELP);
    EXPECT_EQ(help.mp1, 5u);
    Msg posted = only(PM_WM_USER + 7);
    EXPECT_EQ(posted.mp1, 70u);
    EXPECT_EQ(posted.mp2, 71u);
    EXPECT_TRUE(received(0x1234, frame).empty());   // the client, not the frame
}

TEST_F(FrameRouting, CommandsAndScrollingFromTheFrame)
{
    HWND vbar = GetDlgItem(frame, PM_FID_VERTSCROLL), hbar = GetDlgItem(frame, PM_FID_HORZSCROLL);
    PostMessageA(frame, WM_COMMAND, MAKEWPARAM(101, 0), 0);              // menu
    PostMessageA(frame, WM_COMMAND, MAKEWPARAM(102, 1), 0);              // accelerator
    PostMessageA(frame, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), (LPARAM)vbar);
    PostMessageA(frame, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 37), (LPARAM)hbar);
    PostMessageA(frame, WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), (LPARAM)vbar);   // untranslated
    pump();
    auto cmds = received(PM_WM_COMMAND, client);
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].mp1, 101u);
    EXPECT_EQ(cmds[0].mp2, (ULONG_PTR)MPFROM2SHORT(PM_CMDSRC_MENU, 1));
    EXPECT_EQ(cmds[1].mp1, 102u);
    EXPECT_EQ(cmds[1].mp2, (ULONG_PTR)MPFROM2SHORT(PM_CMDSRC_ACCELERATOR, 1));
    Msg v = only(PM_WM_VSCROLL);
    EXPECT_EQ(v.mp1, (ULONG_PTR)PM_FID_VERTSCROLL);
    EXPECT_EQ(v.mp2, (ULONG_PTR)MPFROM2SHORT(0, PM_SB_LINEDOWN));
    Msg h = only(PM_WM_HSCROLL);
    EXPECT_EQ(h.mp1, (ULONG_PTR)PM_FID_HORZSCROLL);
    EXPECT_EQ(h.mp2, (ULONG_PTR)MPFROM2SHORT(37, PM_SB_SLIDERTRACK));
}

TEST_F(FrameRouting, CloseEndSessionAndOpenGoToTheClient)
{
    replies()[PM_WM_CLOSE] = [](HWND, MPARAM, MPARAM) -> MRESULT { return (MRESULT)0; };
    replies()[PM_WM_QUERYENDSESSION] = [](HWND, MPARAM, MPARAM) -> MRESULT {
        return (MRESULT)7;
    };
    PostMessageA(frame, WM_CLOSE, 0, 0);
    pump();
    only(PM_WM_CLOSE);
    EXPECT_EQ(SendMessageA(frame, WM_QUERYENDSESSION, 0, 0), 7);
    SendMessageA(frame, WM_ENDSESSION, TRUE, 0);
    SendMessageA(frame, WM_ENDSESSION, FALSE, 0);
    only(PM_WM_ENDSESSION);

    // opening from the icon: the client may take the maximise bit away
    EXPECT_TRUE(SendMessageA(frame, WM_QUERYOPEN, 0, 0));
    Msg open = only(PM_WM_QUERYOPEN);
    EXPECT_NE(open.mp1, 0u);
    replies()[PM_WM_QUERYOPEN] = [](HWND, MPARAM mp1, MPARAM) -> MRESULT {
        ((PM_SWP *)mp1)->fl &= ~PM_SWP_MAXIMIZE;
        return (MRESULT)1;
    };
    EXPECT_FALSE(SendMessageA(frame, WM_QUERYOPEN, 0, 0));
}

TEST_F(FrameRouting, NativeInputOnTheClientArrivesInPMTerms)
{
    WinSetFocus(PM_HWND_DESKTOP, client);
    LONG h = clientHeight(client);
    PostMessageA(client, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 30));
    PostMessageA(client, WM_RBUTTONUP, 0, MAKELPARAM(40, 2));
    PostMessageA(client, WM_KEYDOWN, 'A', 0x001E0001);   // its character follows it
    pump();
    Msg down = only(PM_WM_BUTTON1DOWN);
    EXPECT_EQ(down.mp1, (ULONG_PTR)MPFROM2SHORT(12, h - 30 - 1));
    Msg up = only(PM_WM_BUTTON2UP);
    EXPECT_EQ(up.mp1, (ULONG_PTR)MPFROM2SHORT(40, h - 2 - 1));
    Msg ch = only(PM_WM_CHAR);
    EXPECT_TRUE(ch.mp1 & PM_KC_CHAR);
    EXPECT_EQ(ch.mp2 & 0xFFFF, (ULONG_PTR)'a');
    EXPECT_EQ((ch.mp1 >> 24) & 0xFF, 0x1Eu);        // scan code
    log().clear();
    PostMessageA(client, WM_CHAR, 'z', 0x002C0001);
    pump();
    EXPECT_EQ(only(PM_WM_CHAR).mp2 & 0xFFFF, (ULONG_PTR)'z');
}

TEST_F(FrameRouting, ClicksOnTheFrameTellTheFocusedClient)
{
    WinSetFocus(PM_HWND_DESKTOP, client);
    log().clear();
    SendMessageA(frame, WM_NCLBUTTONDOWN, HTNOWHERE, 0);
    Msg told = only(PM_WM_FOCUSCHILD);
    EXPECT_EQ(told.mp1, 1u);
    PostMessageA(frame, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
    pump();
    EXPECT_EQ(received(PM_WM_FOCUSCHILD, client).size(), 2u);
}

TEST_F(FrameRouting, DisabledInputSwallowsMouseAndClose)
{
    WinSetFocus(PM_HWND_DESKTOP, client);
    replies()[PM_WM_CLOSE] = [](HWND, MPARAM, MPARAM) -> MRESULT { return (MRESULT)0; };
    EXPECT_FALSE(WinEnableWindowInput(frame, FALSE));
    EXPECT_FALSE(WinQueryEnableWindowInput(client));     // the children follow
    log().clear();
    EXPECT_EQ(SendMessageA(frame, WM_NCLBUTTONDOWN, HTNOWHERE, 0), 0);
    EXPECT_EQ(SendMessageA(frame, WM_NCRBUTTONDOWN, HTNOWHERE, 0), 0);
    PostMessageA(frame, WM_LBUTTONDOWN, 0, 0);
    PostMessageA(client, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
    PostMessageA(frame, WM_CLOSE, 0, 0);
    pump();
    EXPECT_TRUE(received(PM_WM_FOCUSCHILD, client).empty());
    EXPECT_TRUE(received(PM_WM_BUTTON1DOWN, client).empty());
    EXPECT_TRUE(received(PM_WM_CLOSE, client).empty());

    EXPECT_TRUE(WinEnableWindowInput(frame, TRUE));
    PostMessageA(client, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
    PostMessageA(frame, WM_CLOSE, 0, 0);
    pump();
    SendMessageA(frame, WM_NCLBUTTONDOWN, HTNOWHERE, 0);
    EXPECT_EQ(received(PM_WM_FOCUSCHILD, client).size(), 1u);
    EXPECT_EQ(received(PM_WM_BUTTON1DOWN, client).size(), 1u);
    EXPECT_EQ(received(PM_WM_CLOSE, client).size(), 1u);
}

TEST_F(FrameRouting, PaletteRequestsAreRelayedToTheClient)
{
    static HPALETTE none = NULL;
    replies()[PM_WM_QUERYPALETTE] = [](HWND, MPARAM, MPARAM) -> MRESULT { return &none; };
    WinSetFocus(PM_HWND_DESKTOP, client);
    log().clear();
    EXPECT_EQ(SendMessageA(frame, WM_QUERYNEWPALETTE, 0, 0), 0);   // nothing realised
    // asked first as the focus window, then offered the change
    EXPECT_EQ(received(PM_WM_QUERYPALETTE, client).size(), 2u);
    log().clear();
    SendMessageA(frame, WM_PALETTECHANGED, (WPARAM)client, 0);
    // the window that changed the palette is not asked to realise again
    EXPECT_EQ(received(PM_WM_QUERYPALETTE, client).size(), 1u);
}

TEST_F(FrameRouting, AChildFrameIsBoundedByItsParent)
{
    HWND inner_client;
    HWND inner = makeFrame(PM_FCF_TITLEBAR | PM_FCF_SIZEBORDER | PM_FCF_VERTSCROLL,
                           &inner_client, PM_WS_VISIBLE, top);
    ASSERT_NE(inner, (HWND)NULL);
    MINMAXINFO mmi = {};
    SendMessageA(inner, WM_GETMINMAXINFO, 0, (LPARAM)&mmi);
    RECT pr = clientRect(top);
    EXPECT_EQ(mmi.ptMaxSize.x, pr.right + 2 * GetSystemMetrics(SM_CXFRAME) -
                                   GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(mmi.ptMaxSize.y, pr.bottom + 2 * GetSystemMetrics(SM_CYFRAME));
}

} // namespace
