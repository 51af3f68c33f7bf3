// Shared by the PM test programs: a PM class whose procedure records every
// message it receives, a message pump over the PM loop, and window helpers.
#ifndef PMTEST_H
#define PMTEST_H

#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <vector>
#include "win.h"

namespace pmtest {

struct Msg {
    HWND hwnd;
    USHORT msg;
    ULONG_PTR mp1;
    ULONG_PTR mp2;
};

inline std::vector<Msg> &log()
{
    static std::vector<Msg> messages;
    return messages;
}

// Optional per-message answer; otherwise the PM default procedure answers.
inline std::map<USHORT, std::function<MRESULT(HWND, MPARAM, MPARAM)>> &replies()
{
    static std::map<USHORT, std::function<MRESULT(HWND, MPARAM, MPARAM)>> r;
    return r;
}

inline MRESULT recordingProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    log().push_back({hwnd, msg, (ULONG_PTR)mp1, (ULONG_PTR)mp2});
    auto it = replies().find(msg);
    if (it != replies().end())
        return it->second(hwnd, mp1, mp2);
    return WinDefWindowProc(hwnd, msg, mp1, mp2);
}

inline std::vector<Msg> received(USHORT msg, HWND hwnd = NULL)
{
    std::vector<Msg> out;
    for (const Msg &m : log())
        if (m.msg == msg && (!hwnd || m.hwnd == hwnd))
            out.push_back(m);
    return out;
}

// Runs the PM loop until the queue is empty.
inline void pump()
{
    PM_QMSG q;
    for (int i = 0; i < 10000 && WinPeekMsg(&q, NULL, 0, 0, PM_PM_REMOVE); i++) {
        if (q.msg == PM_WM_QUIT)
            break;
        WinDispatchMsg(&q);
    }
}

inline LONG clientHeight(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    return rc.bottom - rc.top;
}

constexpr const char *RECORDER = "OrinTestRecorder";

// Registers the recording class and makes a top-level PM window; the
// window is destroyed and the log cleared on tear-down.
class PMWindowTest : public ::testing::Test {
protected:
    HAB hab = NULL;
    HWND top = NULL;

    void SetUp() override
    {
        hab = WinInitialize(0);
        ASSERT_TRUE(WinRegisterClass(hab, RECORDER, recordingProc, 0, 32));
        top = WinCreateWindow(NULL, RECORDER, "top", PM_WS_VISIBLE, 0, 0, 300, 200,
                              NULL, NULL, 0, NULL, NULL);
        ASSERT_NE(top, (HWND)NULL);
        pump();
        log().clear();
    }
    void TearDown() override
    {
        replies().clear();
        if (IsWindow(top))
            WinDestroyWindow(top);
        pump();
        log().clear();
    }
    HWND child(const char *cls, ULONG style, ULONG id, LONG x = 0, LONG y = 0,
               LONG cx = 50, LONG cy = 100, HWND parent = NULL)
    {
        return WinCreateWindow(parent ? parent : top, cls, "", style, x, y, cx, cy,
                               parent ? parent : top, NULL, id, NULL, NULL);
    }
};

} // namespace pmtest

#endif
