// Shared by the standard-frame tests: a fixture that makes frames around a
// recording client class and destroys every standard window afterwards,
// and helpers reading native geometry in frame-client coordinates.
#ifndef FRAMETEST_H
#define FRAMETEST_H

#include "../pmtest.h"

namespace frametest {

using namespace pmtest;

constexpr ULONG kRes = 1;           // menu, icon and accelerators of pmtest.rc

// A child's window rectangle in its parent's client coordinates.
inline RECT rectInParent(HWND child)
{
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(NULL, GetParent(child), (POINT *)&rc, 2);
    return rc;
}

inline RECT clientRect(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    return rc;
}

class FrameTest : public PMWindowTest {
protected:
    HMODULE exe = GetModuleHandleA(NULL);

    HWND makeFrame(ULONG fcf, HWND *client, ULONG style = PM_WS_VISIBLE,
                   HWND parent = PM_HWND_DESKTOP, ULONG id = kRes)
    {
        static ULONG flags;
        flags = fcf;
        return WinCreateStdWindow(parent, style, &flags, RECORDER, "frame", 0, exe, id, client);
    }
    void TearDown() override
    {
        StdWinDestroyAllStdWindows();
        PMWindowTest::TearDown();
    }
};

} // namespace frametest

#endif
