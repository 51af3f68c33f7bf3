// Window handles the emulation must refuse: destroyed windows, made-up
// values and windows whose words were forged to look like PM windows get
// the failure value of every call, and an exception thrown by a PM window
// procedure never leaves the library.
#include <cstring>
#include <new>
#include <stdexcept>
#include "pmtest.h"

using namespace pmtest;

namespace {

class PMHandles : public PMWindowTest {};

// Every Win call on h answers its failure value and touches no output.
void expectRefused(HAB hab, HWND h)
{
    SCOPED_TRACE(testing::Message() << "window " << h);
    char buf[16] = "unchanged";
    const PM_RECTL sentinel = {7, 7, 7, 7};
    PM_RECTL rcl = sentinel;
    PM_POINTL pt = {3, 4};
    PM_SWP swp = {};

    SetLastError(0);
    EXPECT_FALSE(WinShowWindow(h, TRUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(WinEnableWindow(h, TRUE));
    EXPECT_FALSE(WinIsWindowEnabled(h));
    EXPECT_FALSE(WinIsWindowVisible(h));
    EXPECT_FALSE(WinIsWindow(hab, h));
    EXPECT_FALSE(OwmIsPMWindow(h));
    EXPECT_EQ(OwmQueryControlKind(h), OWM_CTL_UNKNOWN);
    EXPECT_FALSE(WinSetParent(h, PM_HWND_DESKTOP, FALSE));
    EXPECT_FALSE(WinSetOwner(h, PM_HWND_DESKTOP));
    EXPECT_FALSE(WinIsChild(h, PM_HWND_DESKTOP));
    EXPECT_FALSE(WinSetFocus(PM_HWND_DESKTOP, h));
    EXPECT_FALSE(WinSetActiveWindow(PM_HWND_DESKTOP, h));
    EXPECT_FALSE(WinSetCapture(PM_HWND_DESKTOP, h));
    EXPECT_FALSE(WinSetPresParam(h, 1, 0, nullptr));

    EXPECT_EQ(WinQueryClassName(h, sizeof buf, buf), 0);
    EXPECT_EQ(WinQueryWindowText(h, sizeof buf, buf), 0);
    EXPECT_EQ(WinQueryWindowTextLength(h), 0);
    EXPECT_FALSE(WinSetWindowText(h, "x"));
    EXPECT_EQ(WinWindowFromID(h, 1), (HWND)NULL);

    for (LONG cmd : {PM_QW_NEXT, PM_QW_PREV, PM_QW_TOP, PM_QW_BOTTOM, PM_QW_OWNER, PM_QW_PARENT,
                     PM_QW_FRAMEOWNER})
        EXPECT_EQ(WinQueryWindow(h, cmd), (HWND)NULL) << "relation " << cmd;
    for (LONG index : {0, 8, PM_QWL_STYLE, PM_QWP_PFNWP})
        EXPECT_EQ(WinQueryWindowULong(h, index), 0u) << "word " << index;
    EXPECT_EQ(WinQueryWindowUShort(h, 0), 0);
    EXPECT_EQ(WinQueryWindowPtr(h, 0), nullptr);
    for (LONG index : {0, PM_QWL_STYLE, PM_QWP_PFNWP})
        EXPECT_FALSE(WinSetWindowULong(h, index, 1)) << "word " << index;
    EXPECT_FALSE(WinSetWindowUShort(h, 0, 1));
    EXPECT_FALSE(WinSetWindowPtr(h, 0, nullptr));

    EXPECT_FALSE(WinSetWindowPos(h, NULL, 0, 0, 10, 10, PM_SWP_SIZE | PM_SWP_MOVE | PM_SWP_SHOW));
    EXPECT_FALSE(WinQueryWindowPos(h, &swp));
    EXPECT_FALSE(WinMapWindowPoints(h, NULL, &pt, 1));
    EXPECT_EQ(pt.x, 3);
    EXPECT_EQ(pt.y, 4);
    EXPECT_FALSE(WinUpdateWindow(h));
    EXPECT_FALSE(WinInvalidateRect(h, NULL, FALSE));
    EXPECT_FALSE(WinValidateRect(h, NULL, FALSE));
    EXPECT_FALSE(WinQueryWindowRect(h, &rcl));
    EXPECT_FALSE(WinQueryUpdateRect(h, &rcl));
    EXPECT_EQ(WinScrollWindow(h, 1, 1, NULL, NULL, NULL, &rcl, 0), ERROR);
    EXPECT_EQ(memcmp(&rcl, &sentinel, sizeof rcl), 0);

    EXPECT_EQ(WinSendMsg(h, PM_WM_USER, 0, 0), (MRESULT)0);
    EXPECT_FALSE(WinPostMsg(h, PM_WM_USER, 0, 0));
    EXPECT_EQ(WinSendOwnerMsg(h, PM_WM_USER, 0, 0), (MRESULT)0);
    EXPECT_FALSE(WinBroadcastMsg(h, PM_WM_USER, 0, 0, PM_BMSG_SEND | PM_BMSG_DESCENDANTS));
    EXPECT_EQ(WinDefWindowProc(h, PM_WM_USER, 0, 0), (MRESULT)0);
    EXPECT_EQ(WinStartTimer(hab, h, 1, 10), 0u);
    EXPECT_FALSE(WinStopTimer(hab, h, 1));
    EXPECT_TRUE(WinEnableWindowInput(h, FALSE));     // nothing stored: input stays on
    EXPECT_TRUE(WinQueryEnableWindowInput(h));
    EXPECT_FALSE(WinDestroyWindow(h));
}

TEST_F(PMHandles, DestroyedAndMadeUpWindowsAreRefusedByEveryCall)
{
    HWND gone = child(RECORDER, PM_WS_VISIBLE, 1);
    ASSERT_TRUE(WinSetWindowULong(gone, 0, 5));
    ASSERT_EQ(WinQueryWindowULong(gone, 0), 5u);     // its record is the one remembered
    WinDestroyWindow(gone);
    expectRefused(hab, gone);
    expectRefused(hab, (HWND)(ULONG_PTR)0xDEAD0);
    expectRefused(hab, (HWND)(ULONG_PTR)0x12345678ABCULL);
    EXPECT_TRUE(received(PM_WM_USER).empty());
}

TEST_F(PMHandles, DefaultCloseOfANonWindowPostsNoQuit)
{
    MSG m;
    while (PeekMessageA(&m, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    EXPECT_EQ(WinDefWindowProc((HWND)(ULONG_PTR)0xDEAD0, PM_WM_CLOSE, 0, 0), (MRESULT)0);
    EXPECT_FALSE(PeekMessageA(&m, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// A native class laid out like a PM class: 24 extra bytes, so the PM
// marker and a record address can be written into its words.
constexpr const char *LOOKALIKE = "OrinTestLookalike";

LRESULT CALLBACK lookalikeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg >= WM_USER)
        return 77;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int forgedCalls;

MRESULT forgedProc(HWND, USHORT, MPARAM, MPARAM)
{
    forgedCalls++;
    return (MRESULT)1;
}

TEST_F(PMHandles, ForgedWindowWordsAreNotTakenForARecord)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = lookalikeProc;
    wc.cbWndExtra = 24;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = LOOKALIKE;
    RegisterClassA(&wc);
    HWND fake = CreateWindowExA(0, LOOKALIKE, "", WS_CHILD, 0, 0, 10, 10, top, NULL,
                                GetModuleHandleA(NULL), NULL);
    ASSERT_NE(fake, (HWND)NULL);

    // a record-shaped block whose first word is a window procedure
    struct { PFNWP proc; void *rest[16]; } bogus = {forgedProc, {}};
    SetWindowLongPtrA(fake, 8, (LONG_PTR)&bogus);
    SetWindowLongA(fake, 16, 0x29051961);
    forgedCalls = 0;
    EXPECT_FALSE(OwmIsPMWindow(fake));
    EXPECT_EQ((LONG_PTR)WinSendMsg(fake, PM_WM_USER, 0, 0), 77);   // native path
    EXPECT_EQ(WinQueryWindowULong(fake, PM_QWP_PFNWP), (ULONG_PTR)lookalikeProc);
    EXPECT_EQ(forgedCalls, 0);

    // a real record copied into another PM window's words names its own window
    HWND a = child(RECORDER, 0, 2);
    HWND b = child(RECORDER, 0, 3, 0, 0, 10, 10, a);
    LONG_PTR ownRecord = GetWindowLongPtrA(b, 8);
    SetWindowLongPtrA(b, 8, GetWindowLongPtrA(a, 8));
    EXPECT_TRUE(OwmIsPMWindow(a));                    // b is no longer the window looked up last
    EXPECT_FALSE(OwmIsPMWindow(b));
    EXPECT_EQ(WinQueryWindow(b, PM_QW_PARENT), a);    // native answer, not a's parent
    log().clear();
    WinSendMsg(b, PM_WM_USER, 0, 0);
    EXPECT_TRUE(received(PM_WM_USER).empty());
    SetWindowLongPtrA(b, 8, ownRecord);
    EXPECT_TRUE(OwmIsPMWindow(b));
    WinSendMsg(b, PM_WM_USER, 0, 0);
    EXPECT_EQ(received(PM_WM_USER, b).size(), 1u);
    DestroyWindow(fake);
}

// A PM procedure that throws on chosen messages.
USHORT throwOn;
bool throwBadAlloc;

MRESULT throwingProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == throwOn) {
        if (throwBadAlloc)
            throw std::bad_alloc();
        throw std::runtime_error("procedure failed");
    }
    return recordingProc(hwnd, msg, mp1, mp2);
}

TEST_F(PMHandles, ExceptionsFromPMProceduresStopAtTheLibrary)
{
    ASSERT_TRUE(WinRegisterClass(hab, "OrinTestThrower", throwingProc, 0, 8));
    throwOn = PM_WM_CREATE;
    throwBadAlloc = true;
    EXPECT_EQ(child("OrinTestThrower", 0, 4), (HWND)NULL);   // the creation fails
    EXPECT_TRUE(received(PM_WM_DESTROY).empty());

    throwOn = PM_WM_USER + 1;
    HWND w = child("OrinTestThrower", PM_WS_VISIBLE, 5);
    ASSERT_NE(w, (HWND)NULL);
    SetLastError(0);
    EXPECT_EQ(WinSendMsg(w, PM_WM_USER + 1, 0, 0), (MRESULT)0);
    EXPECT_EQ(GetLastError(), (DWORD)ORIN_ERR_NO_MEMORY);
    throwBadAlloc = false;
    EXPECT_EQ(WinSendMsg(w, PM_WM_USER + 1, 0, 0), (MRESULT)0);
    EXPECT_EQ(GetLastError(), (DWORD)ORIN_ERR_GENERAL);
    // through the native procedure and through the queue
    EXPECT_EQ(SendMessageA(w, PM_WM_USER + 1, 0, 0), 0);
    EXPECT_TRUE(WinPostMsg(w, PM_WM_USER + 1, 0, 0));
    pump();
    // the window still works, and its destroy still frees it
    WinSendMsg(w, PM_WM_USER + 2, 0, 0);
    EXPECT_EQ(received(PM_WM_USER + 2, w).size(), 1u);
    throwOn = PM_WM_DESTROY;
    WinDestroyWindow(w);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(OwmIsPMWindow(w));
    throwOn = 0;
    EXPECT_TRUE(WinUnRegisterClass(hab, "OrinTestThrower"));
}

TEST_F(PMHandles, AWindowOutlivesTheUnregisteringOfItsClass)
{
    ASSERT_TRUE(WinRegisterClass(hab, "OrinTestShortLived", recordingProc, 0, 16));
    HWND w = child("OrinTestShortLived", 0, 6);
    ASSERT_NE(w, (HWND)NULL);
    EXPECT_TRUE(WinUnRegisterClass(hab, "OrinTestShortLived"));
    // re-registered with other data: the old window keeps what it was made with
    ASSERT_TRUE(WinRegisterClass(hab, "OrinTestShortLived", recordingProc, 0, 0));
    HWND fresh = child("OrinTestShortLived", 0, 7);
    ASSERT_NE(fresh, (HWND)NULL);
    EXPECT_TRUE(WinSetWindowULong(w, 8, 9));
    EXPECT_EQ(WinQueryWindowULong(w, 8), 9u);
    EXPECT_FALSE(WinSetWindowULong(fresh, 8, 9));
    log().clear();
    WinDestroyWindow(w);
    WinDestroyWindow(fresh);
    EXPECT_EQ(received(PM_WM_DESTROY).size(), 2u);
    EXPECT_TRUE(WinUnRegisterClass(hab, "OrinTestShortLived"));
}

} // namespace
