// Internal tables of the PM emulation: the keyboard/mouse redirect table,
// the popup list, the per-thread record cache, and the state the Lisp break
// check reads.
#include "pm/pmint.h"
#include "pm/pmbreak.h"
#include "pmtest.h"

using namespace pmtest;
using namespace orin::pm;

namespace {

class PMInternal : public PMWindowTest {};

TEST_F(PMInternal, RedirectTableReaddressesInputOnly)
{
    HWND a = child(RECORDER, PM_WS_VISIBLE, 1), b = child(RECORDER, PM_WS_VISIBLE, 2);
    OwmRedirectAdd(a, b);
    EXPECT_EQ(OwmRedirectTarget(a), b);
    EXPECT_EQ(OwmRedirectSource(b), a);
    log().clear();
    PostMessageA(a, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
    PostMessageA(a, WM_KEYDOWN, VK_F5, 1);
    PostMessageA(a, WM_USER + 9, 0, 0);
    pump();
    EXPECT_EQ(received(PM_WM_BUTTON1DOWN, b).size(), 1u);
    EXPECT_EQ(received(PM_WM_CHAR, b).size(), 1u);
    EXPECT_TRUE(received(PM_WM_BUTTON1DOWN, a).empty());
    EXPECT_EQ(received(WM_USER + 9, a).size(), 1u);     // not an input message

    // destroying either window removes the pair
    WinDestroyWindow(b);
    EXPECT_EQ(OwmRedirectTarget(a), a);
    EXPECT_EQ(OwmRedirectSource(b), (HWND)NULL);
    log().clear();
    PostMessageA(a, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
    pump();
    EXPECT_EQ(received(PM_WM_BUTTON1DOWN, a).size(), 1u);
}

TEST_F(PMInternal, PopupWindowsJoinAndLeaveThePopupList)
{
    size_t before = OwmPopupListCount();
    HWND pop = WinCreateWindow(PM_HWND_DESKTOP, RECORDER, "", 0, 0, 0, 10, 10, top, NULL, 0,
                               NULL, NULL);
    ASSERT_NE(pop, (HWND)NULL);
    ASSERT_EQ(OwmPopupListCount(), before + 1);
    EXPECT_EQ(OwmPopupListAt(before), pop);
    HWND kid = child(RECORDER, 0, 3);
    EXPECT_EQ(OwmPopupListCount(), before + 1);           // children are not popups
    WinDestroyWindow(pop);
    EXPECT_EQ(OwmPopupListCount(), before);
    EXPECT_EQ(OwmPopupListAt(before), (HWND)NULL);
    WinDestroyWindow(kid);
}

TEST_F(PMInternal, RecordLookupForgetsDestroyedWindows)
{
    HWND a = child(RECORDER, 0, 4);
    OWMWND *rec = OwmQueryWndRec(a);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(OwmQueryWndRec(a), rec);                 // served from the cache
    EXPECT_EQ(rec->cbData, 32);
    EXPECT_EQ(rec->hwndParent, top);
    WinDestroyWindow(a);
    EXPECT_EQ(OwmQueryWndRec(a), nullptr);
    EXPECT_EQ(WinSendMsg(a, PM_WM_USER, 0, 0), (MRESULT)0);
    HWND b = child(RECORDER, 0, 5);
    EXPECT_NE(OwmQueryWndRec(b), nullptr);
    EXPECT_EQ(OwmQueryWndRec(a), nullptr);
}

TEST_F(PMInternal, BreakStateReportsWindowsAndQueue)
{
    HWND active = (HWND)1, fg = (HWND)1;
    ULONG status = 0;
    pump();
    OwmQueryBreakState(&active, &fg, &status);
    EXPECT_EQ(active, GetActiveWindow());
    EXPECT_EQ(fg, GetForegroundWindow());
    PostMessageA(top, WM_USER + 1, 0, 0);
    OwmQueryBreakState(NULL, NULL, &status);
    EXPECT_TRUE(status & PM_QSTAT_POSTMSG);
    pump();
}

} // namespace
