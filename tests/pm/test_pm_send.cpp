// PM messages on their way out: sent to PM windows and translated for
// native windows and controls, posted records delivered once and freed,
// messages to destroyed windows dropped, and broadcasting.
#include <cstring>
#include "pmtest.h"

using namespace pmtest;

namespace {

// A plain native window class that records what it receives.
std::vector<MSG> &nativeLog()
{
    static std::vector<MSG> l;
    return l;
}

LRESULT CALLBACK nativeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg >= WM_USER || msg == WM_COMMAND || (msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK))
        nativeLog().push_back({hwnd, msg, wParam, lParam, 0, {0, 0}});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class PMSend : public PMWindowTest {
protected:
    HWND native = NULL;
    void SetUp() override
    {
        PMWindowTest::SetUp();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = nativeProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "OrinTestNative";
        RegisterClassA(&wc);
        native = CreateWindowExA(0, "OrinTestNative", "", WS_CHILD | WS_VISIBLE, 0, 0, 40, 60,
                                 top, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(native, (HWND)NULL);
        nativeLog().clear();
    }
    std::vector<MSG> nativeReceived(UINT msg)
    {
        std::vector<MSG> out;
        for (const MSG &m : nativeLog())
            if (m.message == msg)
                out.push_back(m);
        return out;
    }
};

TEST_F(PMSend, SendCallsThePMProcedureDirectly)
{
    replies()[0x1234] = [](HWND, MPARAM mp1, MPARAM mp2) -> MRESULT {
        return (MRESULT)((ULONG_PTR)mp1 + (ULONG_PTR)mp2);
    };
    EXPECT_EQ((ULONG_PTR)WinSendMsg(top, 0x1234, (MPARAM)40, (MPARAM)2), 42u);
    ASSERT_EQ(received(0x1234).size(), 1u);
    EXPECT_EQ(WinSendMsg(NULL, 0x1234, 0, 0), (MRESULT)0);
    // the owner gets WinSendOwnerMsg
    HWND c = child(RECORDER, 0, 1);
    log().clear();
    WinSendOwnerMsg(c, PM_WM_USER, (MPARAM)7, 0);
    auto got = received(PM_WM_USER);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].hwnd, top);
}

TEST_F(PMSend, NativeWindowsGetTranslatedMessages)
{
    RECT wr;
    GetWindowRect(native, &wr);
    LONG outer = wr.bottom - wr.top;
    WinSendMsg(native, PM_WM_BUTTON1DOWN, MPFROM2SHORT(5, 10), 0);
    auto down = nativeReceived(WM_LBUTTONDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(LOWORD(down[0].lParam), 5);
    EXPECT_EQ(HIWORD(down[0].lParam), outer - 10 - 1);

    WinSendMsg(native, PM_WM_COMMAND, (MPARAM)33, MPFROM2SHORT(PM_CMDSRC_ACCELERATOR, 0));
    WinSendMsg(native, PM_WM_COMMAND, (MPARAM)34, MPFROM2SHORT(PM_CMDSRC_MENU, 0));
    auto cmds = nativeReceived(WM_COMMAND);
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].wParam, MAKEWPARAM(33, 1));
    EXPECT_EQ(cmds[1].wParam, MAKEWPARAM(34, 0));

    nativeLog().clear();
    EXPECT_EQ(WinSendMsg(native, 0x3FF, 0, 0), (MRESULT)0);
    WinSendMsg(native, 0x400, (MPARAM)1, (MPARAM)2);
    ASSERT_EQ(nativeLog().size(), 1u);
    EXPECT_EQ(nativeLog()[0].message, 0x400u);
    EXPECT_EQ(nativeLog()[0].wParam, 1u);
    EXPECT_EQ(nativeLog()[0].lParam, 2);

    // posting: below the user range nothing goes, 0x400 goes unchanged
    nativeLog().clear();
    EXPECT_FALSE(WinPostMsg(native, 0x3FF, 0, 0));
    EXPECT_TRUE(WinPostMsg(native, 0x400, (MPARAM)3, 0));
    EXPECT_TRUE(WinPostMsg(native, PM_WM_COMMAND, (MPARAM)35, MPFROM2SHORT(PM_CMDSRC_ACCELERATOR, 0)));
    pump();
    ASSERT_EQ(nativeLog().size(), 2u);
    EXPECT_EQ(nativeLog()[0].message, 0x400u);
    EXPECT_EQ(nativeLog()[1].wParam, MAKEWPARAM(35, 1));
}

TEST_F(PMSend, ControlsTakeTextAndKeys)
{
    HWND edit = child("EDIT", 0, 20, 0, 0, 200, 30);
    PM_WNDPARAMS wp = {};
    char text[] = "ab";
    wp.fsStatus = PM_WPM_TEXT;
    wp.pszText = text;
    EXPECT_TRUE(WinSendMsg(edit, PM_WM_SETWINDOWPARAMS, &wp, 0));
    char buf[32] = "";
    GetWindowTextA(edit, buf, sizeof buf);
    EXPECT_STREQ(buf, "ab");

    // a character goes in at the caret; virtual keys move and delete
    SendMessageA(edit, EM_SETSEL, 2, 2);
    WinSendMsg(edit, PM_WM_CHAR, MPFROMLONG(PM_KC_CHAR | (1 << 16)), MPFROM2SHORT('c', 0));
    WinSendMsg(edit, PM_WM_CHAR, MPFROMLONG(PM_KC_VIRTUALKEY | (1 << 16)), MPFROM2SHORT(0, PM_VK_HOME));
    WinSendMsg(edit, PM_WM_CHAR, MPFROMLONG(PM_KC_VIRTUALKEY | (1 << 16)), MPFROM2SHORT(0, PM_VK_DELETE));
    GetWindowTextA(edit, buf, sizeof buf);
    EXPECT_STREQ(buf, "bc");

    memset(buf, 0, sizeof buf);
    wp.fsStatus = PM_WPM_TEXT | PM_WPM_CCHTEXT;
    wp.pszText = buf;
    wp.cchText = sizeof buf;
    EXPECT_TRUE(WinSendMsg(edit, PM_WM_QUERYWINDOWPARAMS, &wp, 0));
    EXPECT_STREQ(buf, "bc");
    EXPECT_EQ(wp.cchText, 2u);

    // a small buffer is never overrun
    char small[4];
    memset(small, 'x', sizeof small);
    SetWindowTextA(edit, "longer text");
    wp.fsStatus = PM_WPM_TEXT;
    wp.pszText = small;
    wp.cchText = 3;
    WinSendMsg(edit, PM_WM_QUERYWINDOWPARAMS, &wp, 0);
    EXPECT_EQ(small[3], 'x');
    EXPECT_EQ(strlen(small), 2u);

    // an unmapped system message is not sent
    EXPECT_EQ(WinSendMsg(edit, PM_WM_MOVE, 0, 0), (MRESULT)0);
}

TEST_F(PMSend, PostedRecordsAreDeliveredOnceAndDroppedForDeadWindows)
{
    HWND c = child(RECORDER, 0, 2);
    log().clear();
    EXPECT_TRUE(WinPostMsg(c, PM_WM_USER + 1, (MPARAM)11, (MPARAM)22));
    EXPECT_TRUE(received(PM_WM_USER + 1).empty());   // not before the loop runs
    pump();
    auto got = received(PM_WM_USER + 1, c);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].mp1, 11u);
    EXPECT_EQ(got[0].mp2, 22u);

    // system-range PM messages also travel to PM windows
    EXPECT_TRUE(WinPostMsg(c, PM_WM_COMMAND, (MPARAM)5, 0));
    pump();
    EXPECT_EQ(received(PM_WM_COMMAND, c).size(), 1u);

    // posted, then the window goes: nothing arrives, nothing breaks
    log().clear();
    EXPECT_TRUE(WinPostMsg(c, PM_WM_USER + 2, 0, 0));
    WinDestroyWindow(c);
    pump();
    EXPECT_TRUE(received(PM_WM_USER + 2).empty());
    EXPECT_FALSE(WinPostMsg(c, PM_WM_USER + 2, 0, 0));
    EXPECT_EQ(WinSendMsg(c, PM_WM_USER + 2, 0, 0), (MRESULT)0);

    // a forged posted-message notice is ignored
    PostMessageA(top, 0x7FFE, 0, (LPARAM)0x12345678);
    PostMessageA(top, 0x7FFE, 0, 0);
    pump();
    EXPECT_TRUE(received(PM_WM_USER + 2).empty());
}

TEST_F(PMSend, PostingFromAnotherThread)
{
    HWND c = child(RECORDER, 0, 3);
    log().clear();
    HANDLE th = CreateThread(NULL, 0, [](LPVOID p) -> DWORD {
        for (int i = 0; i < 50; i++)
            WinPostMsg((HWND)p, PM_WM_USER + 3, (MPARAM)(ULONG_PTR)i, 0);
        return 0;
    }, c, 0, NULL);
    WaitForSingleObject(th, INFINITE);
    CloseHandle(th);
    pump();
    auto got = received(PM_WM_USER + 3, c);
    ASSERT_EQ(got.size(), 50u);
    for (int i = 0; i < 50; i++)
        EXPECT_EQ(got[i].mp1, (ULONG_PTR)i);
}

TEST_F(PMSend, BroadcastWithAndWithoutDescent)
{
    HWND a = child(RECORDER, 0, 4), b = child(RECORDER, 0, 5);
    HWND grand = child(RECORDER, 0, 6, 0, 0, 10, 10, a);
    log().clear();
    EXPECT_TRUE(WinBroadcastMsg(top, PM_WM_USER + 4, 0, 0, PM_BMSG_SEND));
    auto got = received(PM_WM_USER + 4);
    EXPECT_EQ(got.size(), 2u);                       // a and b; the native one below
    EXPECT_EQ(received(PM_WM_USER + 4, a).size(), 1u);
    EXPECT_EQ(received(PM_WM_USER + 4, b).size(), 1u);
    EXPECT_TRUE(received(PM_WM_USER + 4, grand).empty());
    EXPECT_TRUE(received(PM_WM_USER + 4, top).empty());
    EXPECT_EQ(nativeReceived(PM_WM_USER + 4).size(), 1u);

    log().clear();
    WinBroadcastMsg(top, PM_WM_USER + 5, 0, 0, PM_BMSG_SEND | PM_BMSG_DESCENDANTS);
    EXPECT_EQ(received(PM_WM_USER + 5, top).size(), 1u);
    EXPECT_EQ(received(PM_WM_USER + 5, grand).size(), 1u);
    EXPECT_EQ(received(PM_WM_USER + 5).size(), 4u);

    log().clear();
    WinBroadcastMsg(a, PM_WM_USER + 6, 0, 0, PM_BMSG_POST);
    EXPECT_TRUE(received(PM_WM_USER + 6).empty());
    pump();
    EXPECT_EQ(received(PM_WM_USER + 6, grand).size(), 1u);
    EXPECT_EQ(received(PM_WM_USER + 6).size(), 1u);
}

TEST_F(PMSend, DefaultProcedureForwardsCharactersAndClicksToThePMParent)
{
    HWND c = child(RECORDER, PM_WS_VISIBLE, 7, 20, 30, 50, 50);
    log().clear();
    WinSendMsg(c, PM_WM_CHAR, MPFROMLONG(PM_KC_CHAR), MPFROM2SHORT('x', 0));
    auto up = received(PM_WM_CHAR, top);
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].mp2, (ULONG_PTR)'x');

    log().clear();
    WinSendMsg(c, PM_WM_BUTTON1DBLCLK, MPFROM2SHORT(1, 2), 0);
    auto clicks = received(PM_WM_BUTTON1DBLCLK, top);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].mp1, (ULONG_PTR)MPFROM2SHORT(21, 32));
    WinSendMsg(c, PM_WM_BUTTON2DOWN, MPFROM2SHORT(1, 2), 0);
    EXPECT_TRUE(received(PM_WM_BUTTON2DOWN, top).empty());   // never forwarded
}

} // namespace
