// Button and scroll-bar messages on native buttons and scroll bars, read
// back with the native queries.
#include "ctltest.h"

using namespace pmtest;
using namespace ctltest;

namespace {

constexpr ULONG kPmCheckBox = 1;
constexpr ULONG kPmThreeState = 5;
constexpr ULONG kPmVertical = 1;

TEST_F(ControlTest, CheckStateAnswersThePreviousState)
{
    HWND b = make("BUTTON", kPmCheckBox, 20, 80, 20);
    EXPECT_EQ(asLong(WinSendMsg(b, PM_BM_SETCHECK, MPFROMLONG(1), 0)), 0);
    EXPECT_EQ(SendMessageA(b, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(asLong(WinSendMsg(b, PM_BM_QUERYCHECK, 0, 0)), 1);
    EXPECT_EQ(asLong(WinSendMsg(b, PM_BM_SETCHECK, MPFROMLONG(0), 0)), 1);
    EXPECT_EQ(SendMessageA(b, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(asLong(WinSendMsg(b, PM_BM_QUERYCHECKINDEX, 0, 0)), 0);

    // a three-state box: the raw state, and 1 for "not unchecked"
    HWND t = make("BUTTON", kPmThreeState, 21, 80, 20);
    WinSendMsg(t, PM_BM_SETCHECK, MPFROMLONG(BST_INDETERMINATE), 0);
    EXPECT_EQ(SendMessageA(t, BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    EXPECT_EQ(asLong(WinSendMsg(t, PM_BM_QUERYCHECK, 0, 0)), BST_INDETERMINATE);
    EXPECT_EQ(asLong(WinSendMsg(t, PM_BM_QUERYCHECKINDEX, 0, 0)), 1);
    EXPECT_EQ(asLong(WinSendMsg(t, PM_BM_SETCHECK, MPFROMLONG(0), 0)), BST_INDETERMINATE);
}

TEST_F(ControlTest, HiliteAndDefaultChangeTheNativeButton)
{
    HWND b = make("BUTTON", 0, 22, 80, 20);
    EXPECT_EQ(asLong(WinSendMsg(b, PM_BM_SETHILITE, MPFROMLONG(1), 0)), 0);
    EXPECT_TRUE(SendMessageA(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    EXPECT_EQ(asLong(WinSendMsg(b, PM_BM_QUERYHILITE, 0, 0)), 1);
    EXPECT_EQ(asLong(WinSendMsg(b, PM_BM_SETHILITE, MPFROMLONG(0), 0)), 1);
    EXPECT_FALSE(SendMessageA(b, BM_GETSTATE, 0, 0) & BST_PUSHED);

    EXPECT_EQ(asLong(WinSendMsg(b, PM_BM_SETDEFAULT, MPFROMLONG(1), 0)), 0);
    EXPECT_EQ(GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    WinSendMsg(b, PM_BM_SETDEFAULT, MPFROMLONG(0), 0);
    EXPECT_EQ(GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    // a click is not translated
    EXPECT_EQ(asLong(WinSendMsg(b, PM_BM_CLICK, 0, 0)), 0);
}

TEST_F(ControlTest, ScrollBarRangePositionAndThumb)
{
    HWND s = make("SCROLLBAR", kPmVertical, 23, 16, 120);
    ASSERT_TRUE(GetWindowLongA(s, GWL_STYLE) & SBS_VERT);
    EXPECT_EQ(asLong(WinSendMsg(s, PM_SBM_SETSCROLLBAR, MPFROMLONG(30), MPFROM2SHORT(10, 90))), 1);
    INT lo = -1, hi = -1;
    GetScrollRange(s, SB_CTL, &lo, &hi);
    EXPECT_EQ(lo, 10);
    EXPECT_EQ(hi, 90);
    EXPECT_EQ(GetScrollPos(s, SB_CTL), 30);
    EXPECT_EQ(asLong(WinSendMsg(s, PM_SBM_QUERYPOS, 0, 0)), 30);
    EXPECT_EQ((ULONG_PTR)WinSendMsg(s, PM_SBM_QUERYRANGE, 0, 0), (ULONG_PTR)MAKELONG(10, 90));

    EXPECT_EQ(asLong(WinSendMsg(s, PM_SBM_SETPOS, MPFROMLONG(55), 0)), 1);
    EXPECT_EQ(GetScrollPos(s, SB_CTL), 55);
    for (ULONG msg = 0x1A4; msg <= PM_SBM_SETTHUMBSIZE; msg++) {
        UINT page = 5 + (msg - 0x1A4) * 7;
        EXPECT_EQ(asLong(WinSendMsg(s, msg, MPFROMLONG(page), 0)), 1);
        SCROLLINFO si = {sizeof si, SIF_ALL};
        GetScrollInfo(s, SB_CTL, &si);
        EXPECT_EQ(si.nPage, page);
        EXPECT_EQ(si.nMin, 10);          // range and position survive
        EXPECT_EQ(si.nMax, 90);
        EXPECT_EQ(si.nPos, 55);
    }
    // negative values travel as signed 16-bit numbers
    WinSendMsg(s, PM_SBM_SETSCROLLBAR, MPFROMLONG((USHORT)-5), MPFROM2SHORT(-20, 20));
    GetScrollRange(s, SB_CTL, &lo, &hi);
    EXPECT_EQ(lo, -20);
    EXPECT_EQ(GetScrollPos(s, SB_CTL), -5);
    EXPECT_EQ(asLong(WinSendMsg(s, PM_SBM_QUERYPOS, 0, 0)), 0xFFFB);
}

} // namespace
