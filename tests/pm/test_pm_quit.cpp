// The quit path: a posted PM quit ends WinGetMsg, and once a quit has been
// posted an empty queue yields synthesised quits, at most twenty in the
// life of the process.  A program of its own, as the limit never resets.
#include "pmtest.h"

using namespace pmtest;

namespace {

TEST(PMQuit, GetMsgEndsOnQuitAndPeekSynthesisesTwenty)
{
    WinInitialize(0);
    PM_QMSG q;
    EXPECT_FALSE(WinPeekMsg(&q, NULL, 0, 0, PM_PM_REMOVE));   // nothing posted yet

    ASSERT_TRUE(WinPostMsg(NULL, PM_WM_QUIT, (MPARAM)3, 0));
    ASSERT_TRUE(WinPostMsg(NULL, PM_WM_QUIT, (MPARAM)4, 0));
    EXPECT_FALSE(WinGetMsg(&q, NULL));
    EXPECT_EQ(q.msg, PM_WM_QUIT);
    EXPECT_EQ(q.native.message, (UINT)WM_QUIT);
    EXPECT_EQ(q.native.wParam, 3u);
    EXPECT_FALSE(WinGetMsg(&q, NULL));
    EXPECT_EQ(q.native.wParam, 4u);

    int quits = 0;
    for (int i = 0; i < 25; i++) {
        if (WinPeekMsg(&q, NULL, 0, 0, PM_PM_REMOVE)) {
            EXPECT_EQ(q.msg, PM_WM_QUIT);
            quits++;
        }
    }
    EXPECT_EQ(quits, 20);
}

TEST(PMQuit, OrdinaryMessagesStillFlowAndFiltersApply)
{
    HAB hab = WinInitialize(0);
    ASSERT_TRUE(WinRegisterClass(hab, RECORDER, recordingProc, 0, 0));
    HWND w = WinCreateWindow(NULL, RECORDER, "", 0, 0, 0, 100, 100, NULL, NULL, 0, NULL, NULL);
    ASSERT_NE(w, (HWND)NULL);
    PM_QMSG q;
    PostMessageA(w, WM_USER + 1, 0, 0);
    PostMessageA(w, WM_KEYDOWN, VK_F3, 1);
    // the keyboard filter skips the user message
    ASSERT_TRUE(WinPeekMsg(&q, w, PM_WM_CHAR, PM_WM_CHAR, PM_PM_REMOVE));
    EXPECT_EQ(q.msg, PM_WM_CHAR);
    EXPECT_EQ(q.native.message, (UINT)WM_KEYDOWN);
    ASSERT_TRUE(WinGetMsg(&q, NULL));
    EXPECT_EQ(q.native.message, (UINT)WM_USER + 1);
    EXPECT_EQ(q.msg, 0);
    log().clear();
    WinDispatchMsg(&q);
    EXPECT_EQ(received(WM_USER + 1, w).size(), 1u);
    // mouse filter and the PM number of a button
    PostMessageA(w, WM_USER + 2, 0, 0);
    PostMessageA(w, WM_RBUTTONDOWN, 0, MAKELPARAM(3, 4));
    ASSERT_TRUE(WinPeekMsg(&q, w, PM_WM_MOUSEMOVE, PM_WM_BUTTON3DBLCLK, PM_PM_REMOVE));
    EXPECT_EQ(q.msg, PM_WM_BUTTON2DOWN);

    // a native close reaches the PM procedure, whose default answer quits
    log().clear();
    PostMessageA(w, WM_CLOSE, 0, 0);
    int loops = 0;
    while (WinGetMsg(&q, NULL) && loops++ < 100)
        WinDispatchMsg(&q);
    EXPECT_EQ(q.msg, PM_WM_QUIT);
    EXPECT_EQ(received(PM_WM_CLOSE, w).size(), 1u);
    WinDestroyWindow(w);
    EXPECT_TRUE(WinTerminate(hab));
    EXPECT_FALSE(WinUnRegisterClass(hab, RECORDER));      // the table was emptied
}

} // namespace
