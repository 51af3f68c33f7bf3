// Native input reaching PM procedures: keys and characters (with shift
// states, the numeric pad, dropped keys and DBCS pairs), mouse, commands
// from menus and each control kind, scrolling, timers and input enabling.
// Input is posted with PostMessageA and runs through the PM message loop.
#include "knl.h"
#include "pmtest.h"

using namespace pmtest;

namespace {

constexpr LPARAM SCAN_A = 0x1E;

LPARAM keyParam(LPARAM scan, bool up = false, bool alt = false)
{
    LPARAM l = 1 | (scan << 16);
    if (alt)
        l |= 1L << 29;
    if (up)
        l |= (LPARAM)0xC0000000UL;
    return l;
}

ULONG_PTR charMp1(ULONG flags, ULONG repeat, ULONG scan)
{
    return flags | (repeat << 16) | (scan << 24);
}

class PMInput : public PMWindowTest {
protected:
    void SetUp() override
    {
        PMWindowTest::SetUp();
        holdKeys({});
    }
    void TearDown() override
    {
        holdKeys({});
        PMWindowTest::TearDown();
    }
    // Sets the thread's keyboard state to exactly these keys held.
    static void holdKeys(std::initializer_list<int> keys)
    {
        BYTE state[256] = {};
        for (int k : keys)
            state[k] = 0x80;
        SetKeyboardState(state);
    }
    std::vector<Msg> press(UINT msg, WPARAM vk, LPARAM lParam)
    {
        log().clear();
        PostMessageA(top, msg, vk, lParam);
        pump();
        return received(PM_WM_CHAR, top);
    }
};

TEST_F(PMInput, KeyDownAndItsCharacterMakeOneWmChar)
{
    auto chars = press(WM_KEYDOWN, 'A', keyParam(SCAN_A));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1, charMp1(PM_KC_CHAR, 1, SCAN_A));
    EXPECT_EQ(chars[0].mp2, (ULONG_PTR)'a');

    chars = press(WM_KEYUP, 'A', keyParam(SCAN_A, true));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1, charMp1(PM_KC_KEYUP, 1, SCAN_A));
    EXPECT_EQ(chars[0].mp2, 0u);

    // a character message on its own passes through
    chars = press(WM_CHAR, 'z', keyParam(0x2C));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1, charMp1(PM_KC_CHAR, 1, 0x2C));
    EXPECT_EQ(chars[0].mp2, (ULONG_PTR)'z');
}

TEST_F(PMInput, ShiftStatesAndVirtualKeys)
{
    holdKeys({VK_SHIFT});
    auto chars = press(WM_KEYDOWN, VK_SHIFT, keyParam(0x2A));
    EXPECT_TRUE(chars.empty());                 // shift alone says nothing

    chars = press(WM_KEYDOWN, VK_TAB, keyParam(0x0F));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1 & 0xFFFF, (ULONG_PTR)(PM_KC_CHAR | PM_KC_SHIFT | PM_KC_VIRTUALKEY));
    EXPECT_EQ(chars[0].mp2 >> 16, (ULONG_PTR)PM_VK_BACKTAB);

    holdKeys({VK_CONTROL});
    chars = press(WM_KEYDOWN, VK_F1, keyParam(0x3B));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1, charMp1(PM_KC_CTRL | PM_KC_VIRTUALKEY, 1, 0x3B));
    EXPECT_EQ(chars[0].mp2, (ULONG_PTR)PM_VK_F1 << 16);
    EXPECT_TRUE(press(WM_KEYDOWN, VK_ESCAPE, keyParam(0x01)).empty());  // ctrl+esc dropped
    KnlInitCP();                                   // the character table lowers
    chars = press(WM_CHAR, 'Q', keyParam(0x10));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1 & 0xFFFF, (ULONG_PTR)(PM_KC_CHAR | PM_KC_CTRL));
    EXPECT_EQ(chars[0].mp2, (ULONG_PTR)'q');

    holdKeys({});
    chars = press(WM_SYSKEYDOWN, 'X', keyParam(0x2D, false, true));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1 & 0xFFFF, (ULONG_PTR)PM_KC_ALT);
    EXPECT_TRUE(press(WM_SYSKEYDOWN, VK_TAB, keyParam(0x0F, false, true)).empty());

    chars = press(WM_KEYDOWN, VK_LEFT, keyParam(0x4B));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1 & 0xFFFF, (ULONG_PTR)PM_KC_VIRTUALKEY);
    EXPECT_EQ(chars[0].mp2, (ULONG_PTR)PM_VK_LEFT << 16);
}

TEST_F(PMInput, FocusWindowCanConsumeKeysBeforeTranslation)
{
    static UINT seenNative;
    SetForegroundWindow(top);
    SetActiveWindow(top);
    SetFocus(top);
    if (GetFocus() != top && GetActiveWindow() != top)
        GTEST_SKIP() << "the window cannot take the focus here";
    seenNative = 0;
    replies()[PM_WM_TRANSLATEACCEL] = [](HWND, MPARAM mp1, MPARAM) -> MRESULT {
        const PM_QMSG *q = (const PM_QMSG *)mp1;
        seenNative = q ? q->native.message : 0;
        return (MRESULT)(ULONG_PTR)(q && q->native.wParam == VK_F9);
    };
    EXPECT_TRUE(press(WM_KEYDOWN, VK_F9, keyParam(0x43)).empty());   // consumed
    EXPECT_EQ(seenNative, (UINT)WM_KEYDOWN);
    EXPECT_EQ(press(WM_KEYDOWN, VK_F8, keyParam(0x42)).size(), 1u);  // passed on
}

TEST_F(PMInput, FocusChangesNameTheOtherWindow)
{
    HWND a = child(RECORDER, PM_WS_VISIBLE, 70), b = child(RECORDER, PM_WS_VISIBLE, 71);
    SetForegroundWindow(top);
    SetFocus(a);
    if (GetFocus() != a)
        GTEST_SKIP() << "the window cannot take the focus here";
    log().clear();
    EXPECT_TRUE(WinSetFocus(PM_HWND_DESKTOP, b));
    EXPECT_EQ(WinQueryFocus(PM_HWND_DESKTOP), b);
    auto lost = received(PM_WM_SETFOCUS, a), gained = received(PM_WM_SETFOCUS, b);
    ASSERT_EQ(lost.size(), 1u);
    ASSERT_EQ(gained.size(), 1u);
    EXPECT_EQ(lost[0].mp1, (ULONG_PTR)b);
    EXPECT_EQ(lost[0].mp2, (ULONG_PTR)FALSE);
    EXPECT_EQ(gained[0].mp1, (ULONG_PTR)a);
    EXPECT_EQ(gained[0].mp2, (ULONG_PTR)TRUE);
}

TEST_F(PMInput, NumericPadAndDroppedKeys)
{
    auto chars = press(WM_KEYDOWN, VK_NUMPAD5, keyParam(0x4C));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1 & PM_KC_CHAR, (ULONG_PTR)PM_KC_CHAR);
    EXPECT_EQ(chars[0].mp2, (ULONG_PTR)'5');
    chars = press(WM_KEYDOWN, VK_MULTIPLY, keyParam(0x37));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp2 & 0xFFFF, (ULONG_PTR)'*');
    chars = press(WM_KEYDOWN, VK_SUBTRACT, keyParam(0x4A));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp2 >> 16, (ULONG_PTR)PM_VK_MINUS);
    for (WPARAM vk : {0x5B, 0x5C, 0x5D})
        EXPECT_TRUE(press(WM_KEYDOWN, vk, keyParam(0x5B)).empty()) << vk;
    EXPECT_TRUE(press(WM_DEADCHAR, '^', keyParam(0x29)).empty());
}

TEST_F(PMInput, DbcsLeadAndTrailArriveAsOneCharacter)
{
    KnlInitCP();
    KnlInitDBCSEv();
    if (!IsDBCSLeadByte(0x82))
        GTEST_SKIP() << "not a DBCS code page";
    log().clear();
    PostMessageA(top, WM_CHAR, 0x82, keyParam(0));
    PostMessageA(top, WM_CHAR, 0xA0, keyParam(0));
    pump();
    auto chars = received(PM_WM_CHAR, top);
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp1 & 0xFFFFFF, (ULONG_PTR)(0x0005 | (1 << 16)));
    EXPECT_EQ(chars[0].mp2, 0xA082u);
    // a single-byte character still arrives on its own
    chars = press(WM_CHAR, 'k', keyParam(0));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].mp2, (ULONG_PTR)'k');
}

TEST_F(PMInput, MouseInPMCoordinatesAndInputDisabling)
{
    HWND w = child(RECORDER, PM_WS_VISIBLE, 60, 0, 0, 50, 100);
    HWND inner = child(RECORDER, PM_WS_VISIBLE, 61, 0, 0, 10, 10, w);
    log().clear();
    PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
    PostMessageA(w, WM_RBUTTONUP, 0, MAKELPARAM(1, 99));
    PostMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(4, 0));
    pump();
    auto down = received(PM_WM_BUTTON1DOWN, w);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].mp1, (ULONG_PTR)(10 | (79 << 16)));
    EXPECT_EQ(down[0].mp2, 0u);
    auto up = received(PM_WM_BUTTON2UP, w);
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].mp1, (ULONG_PTR)1);
    auto move = received(PM_WM_MOUSEMOVE, w);
    ASSERT_EQ(move.size(), 1u);
    EXPECT_EQ(move[0].mp1, (ULONG_PTR)(4 | (99 << 16)));

    EXPECT_TRUE(WinQueryEnableWindowInput(w));
    EXPECT_FALSE(WinEnableWindowInput(w, FALSE));
    EXPECT_FALSE(WinQueryEnableWindowInput(inner));    // children follow
    log().clear();
    PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
    PostMessageA(w, WM_KEYDOWN, VK_F2, keyParam(0x3C));
    PostMessageA(w, WM_CHAR, 'q', keyParam(0x10));
    pump();
    EXPECT_TRUE(received(PM_WM_BUTTON1DOWN).empty());
    EXPECT_TRUE(received(PM_WM_CHAR).empty());
    // each call moves one count down (not below 0) and the other up; input
    // is on while disable <= enable
    EXPECT_TRUE(WinEnableWindowInput(w, TRUE));         // enable 1, disable 0
    EXPECT_TRUE(WinQueryEnableWindowInput(inner));
    EXPECT_TRUE(WinEnableWindowInput(w, TRUE));         // 2, 0
    EXPECT_TRUE(WinEnableWindowInput(w, FALSE));        // 1, 1
    EXPECT_FALSE(WinEnableWindowInput(w, FALSE));       // 0, 2
    EXPECT_FALSE(WinEnableWindowInput(w, FALSE));       // 0, 3
    EXPECT_FALSE(WinEnableWindowInput(w, TRUE));        // 1, 2
    EXPECT_FALSE(WinQueryEnableWindowInput(inner));
    EXPECT_TRUE(WinEnableWindowInput(w, TRUE));         // 2, 1
    // a native window keeps its own counts
    HWND btn = child("BUTTON", 0, 62);
    EXPECT_FALSE(WinEnableWindowInput(btn, FALSE));
    EXPECT_TRUE(WinEnableWindowInput(btn, TRUE));
}

TEST_F(PMInput, MenuAndAcceleratorCommands)
{
    log().clear();
    PostMessageA(top, WM_COMMAND, MAKEWPARAM(100, 0), 0);
    PostMessageA(top, WM_COMMAND, MAKEWPARAM(101, 1), 0);
    pump();
    auto cmds = received(PM_WM_COMMAND, top);
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].mp1, 100u);
    EXPECT_EQ(cmds[0].mp2, 0x10002u);
    EXPECT_EQ(cmds[1].mp1, 101u);
    EXPECT_EQ(cmds[1].mp2, 0x10003u);
}

struct ControlCase {
    const char *cls;
    ULONG pmStyle;
    USHORT nativeCode;
    USHORT pmMsg;
    ULONG expectedCode;       // for WM_CONTROL, or the command source
};

TEST_F(PMInput, ControlNotificationsByKind)
{
    const ControlCase cases[] = {
        {"BUTTON", 0, BN_CLICKED, PM_WM_COMMAND, 0x10001},
        {"BUTTON", 2, BN_CLICKED, PM_WM_CONTROL, 1},
        {"BUTTON", 2, BN_DOUBLECLICKED, PM_WM_CONTROL, 2},
        {"EDIT", 0, EN_CHANGE, PM_WM_CONTROL, 4},
        {"EDIT", 0, EN_SETFOCUS, PM_WM_CONTROL, 1},
        {"EDIT", 0, EN_HSCROLL, PM_WM_CONTROL, 8},
        {"MLE", 0, EN_KILLFOCUS, PM_WM_CONTROL, 9},
        {"MLE", 0, EN_MAXTEXT, PM_WM_CONTROL, 1},
        {"LISTBOX", 0, LBN_SELCHANGE, PM_WM_CONTROL, 1},
        {"LISTBOX", 0, LBN_DBLCLK, PM_WM_CONTROL, 5},
        {"LISTBOX", 0, LBN_SETFOCUS, PM_WM_CONTROL, 2},
        {"COMBOBOX", 2, CBN_SELCHANGE, PM_WM_CONTROL, 104},
        {"COMBOBOX", 2, CBN_DROPDOWN, PM_WM_CONTROL, 106},
        {"COMBOBOX", 2, CBN_SELENDCANCEL, PM_WM_CONTROL, 109},
    };
    USHORT id = 200;
    for (const ControlCase &c : cases) {
        HWND ctl = child(c.cls, c.pmStyle, id);
        ASSERT_NE(ctl, (HWND)NULL) << c.cls;
        pump();
        log().clear();
        PostMessageA(top, WM_COMMAND, MAKEWPARAM(id, c.nativeCode), (LPARAM)ctl);
        pump();
        auto got = received(c.pmMsg, top);
        ASSERT_EQ(got.size(), 1u) << c.cls << " code " << c.nativeCode;
        if (c.pmMsg == PM_WM_COMMAND) {
            EXPECT_EQ(got[0].mp1, (ULONG_PTR)id);
            EXPECT_EQ(got[0].mp2, (ULONG_PTR)c.expectedCode);
        } else {
            EXPECT_EQ(got[0].mp1, (ULONG_PTR)(id | (c.expectedCode << 16))) << c.cls;
            EXPECT_EQ(got[0].mp2, (ULONG_PTR)ctl);
        }
        WinDestroyWindow(ctl);
        id++;
    }
}

TEST_F(PMInput, UnlistedCodesAndForeignControls)
{
    HWND edit = child("EDIT", 0, 300);
    HWND other = child(RECORDER, 0, 301);
    HWND foreign = child("BUTTON", 0, 302, 0, 0, 10, 10, other);
    HWND help = child("BUTTON", 0, 9);
    pump();
    log().clear();
    PostMessageA(top, WM_COMMAND, MAKEWPARAM(300, 0x999), (LPARAM)edit);
    pump();
    EXPECT_TRUE(received(PM_WM_CONTROL).empty());
    EXPECT_TRUE(received(PM_WM_COMMAND).empty());

    PostMessageA(top, WM_COMMAND, MAKEWPARAM(302, BN_CLICKED), (LPARAM)foreign);
    PostMessageA(top, WM_COMMAND, MAKEWPARAM(9, BN_CLICKED), (LPARAM)help);
    pump();
    auto cmds = received(PM_WM_COMMAND, top);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].mp1, ~(ULONG_PTR)0xFFFF | 302);
    EXPECT_EQ(cmds[0].mp2, (ULONG_PTR)foreign);
    auto helps = received(PM_WM_HELP, top);
    ASSERT_EQ(helps.size(), 1u);
    EXPECT_EQ(helps[0].mp1, 9u);
}

TEST_F(PMInput, ScrollingAndTimers)
{
    HWND bar = child("SCROLLBAR", 1, 77);
    pump();
    log().clear();
    PostMessageA(top, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 42), (LPARAM)bar);
    PostMessageA(top, WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), (LPARAM)bar);
    PostMessageA(top, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), (LPARAM)bar);
    PostMessageA(top, WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), (LPARAM)bar);
    PostMessageA(top, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), (LPARAM)bar);
    pump();
    auto v = received(PM_WM_VSCROLL, top);
    ASSERT_EQ(v.size(), 2u);                      // top and bottom are not translated
    EXPECT_EQ(v[0].mp1, 77u);
    EXPECT_EQ(v[0].mp2, (ULONG_PTR)(42 | (PM_SB_SLIDERTRACK << 16)));
    EXPECT_EQ(v[1].mp2, (ULONG_PTR)PM_SB_ENDSCROLL << 16);
    auto h = received(PM_WM_HSCROLL, top);
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h[0].mp2, (ULONG_PTR)PM_SB_LINEDOWN << 16);

    PostMessageA(top, WM_TIMER, 5, 0);
    pump();
    auto t = received(PM_WM_TIMER, top);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].mp1, 5u);

    // a real timer through WinStartTimer
    log().clear();
    ASSERT_TRUE(WinStartTimer(hab, top, 8, 10));
    for (int i = 0; i < 200 && received(PM_WM_TIMER).empty(); i++) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
        pump();
    }
    EXPECT_TRUE(WinStopTimer(hab, top, 8));
    t = received(PM_WM_TIMER, top);
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0].mp1, 8u);
}

TEST_F(PMInput, OtherNativeMessagesAndTheirReplies)
{
    static ULONG_PTR answer;
    replies()[PM_WM_MEASUREITEM] = [](HWND, MPARAM, MPARAM) -> MRESULT { return (MRESULT)answer; };
    replies()[PM_WM_QUERYDLGCODE] = [](HWND, MPARAM, MPARAM) -> MRESULT { return (MRESULT)answer; };
    replies()[PM_WM_TRANSLATEACCEL] = [](HWND, MPARAM, MPARAM) -> MRESULT { return (MRESULT)answer; };

    MEASUREITEMSTRUCT mis = {};
    mis.CtlID = 12;
    mis.itemHeight = 3;
    answer = 20;
    EXPECT_EQ(SendMessageA(top, WM_MEASUREITEM, 12, (LPARAM)&mis), 1);
    EXPECT_EQ(mis.itemHeight, 20u);
    answer = 300;                                   // out of range: native default
    mis.itemHeight = 3;
    SendMessageA(top, WM_MEASUREITEM, 12, (LPARAM)&mis);
    EXPECT_EQ(mis.itemHeight, 3u);
    ASSERT_EQ(received(PM_WM_MEASUREITEM).size(), 2u);
    EXPECT_EQ(received(PM_WM_MEASUREITEM)[0].mp1, 12u);

    const struct { ULONG_PTR pm; LRESULT native; } codes[] = {
        {0x8, DLGC_STATIC}, {0x2 | 0x20, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON},
        {0x2 | 0x10 | 0x4, DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_RADIOBUTTON},
        {0x400, DLGC_WANTALLKEYS}, {0x1, 0x89}, {0, 0},
    };
    for (const auto &c : codes) {
        answer = c.pm;
        EXPECT_EQ(SendMessageA(top, WM_GETDLGCODE, VK_TAB, 0), c.native) << c.pm;
    }

    answer = 0x10001;                               // only the low 16 bits come back
    EXPECT_EQ(SendMessageA(top, 0x7FFD, 0, 1234), 1);
    EXPECT_EQ(received(PM_WM_TRANSLATEACCEL).back().mp1, 1234u);

    log().clear();
    SendMessageA(top, WM_ENABLE, TRUE, 0);
    SendMessageA(top, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    SendMessageA(top, WM_CONTEXTMENU, (WPARAM)top, MAKELPARAM(5, 6));
    EXPECT_EQ(SendMessageA(top, WM_ERASEBKGND, 0, 0), 0);
    SendMessageA(top, WM_USER + 77, 1, 2);
    ASSERT_EQ(received(PM_WM_ENABLE).size(), 1u);
    EXPECT_EQ(received(PM_WM_ENABLE)[0].mp1, 1u);
    ASSERT_EQ(received(PM_WM_MENUSELECT).size(), 1u);
    EXPECT_EQ(received(PM_WM_MENUSELECT)[0].mp1, 0xFFFFu);
    ASSERT_EQ(received(PM_WM_CONTEXTMENU).size(), 1u);
    EXPECT_EQ(received(PM_WM_CONTEXTMENU)[0].mp2, (ULONG_PTR)MAKELPARAM(5, 6));
    ASSERT_EQ(received(WM_USER + 77).size(), 1u);
    EXPECT_EQ(received(WM_USER + 77)[0].mp2, 2u);

    // close while input is disabled is swallowed
    WinEnableWindowInput(top, FALSE);
    SendMessageA(top, WM_CLOSE, 0, 0);
    EXPECT_TRUE(received(PM_WM_CLOSE).empty());
    WinEnableWindowInput(top, TRUE);
}

TEST_F(PMInput, QueueStatusReportsNewBitsOnce)
{
    pump();
    WinQueryQueueStatus(PM_HWND_DESKTOP);
    PostMessageA(top, WM_USER + 5, 0, 0);
    ULONG first = WinQueryQueueStatus(PM_HWND_DESKTOP);
    EXPECT_TRUE(first & (PM_QSTAT_POSTMSG << 16));
    EXPECT_TRUE(first & PM_QSTAT_POSTMSG);
    ULONG second = WinQueryQueueStatus(PM_HWND_DESKTOP);
    EXPECT_TRUE(second & (PM_QSTAT_POSTMSG << 16));
    EXPECT_FALSE(second & PM_QSTAT_POSTMSG);
    pump();

    holdKeys({VK_CONTROL, 'C'});
    ULONG brk = WinQueryQueueStatus(PM_HWND_DESKTOP);
    EXPECT_TRUE(brk & PM_QSTAT_BREAK);
    holdKeys({});
    EXPECT_FALSE(WinQueryQueueStatus(PM_HWND_DESKTOP) & (PM_QSTAT_BREAK << 16));
}

} // namespace
