/*
 * pmsample.cpp - a small PM program on orin.dll: it registers a window
 * class, creates a window with a push button, an entry field and a list
 * box, runs the PM message loop, and closes itself from a timer.
 *
 * Everything it does goes through the PM calls: the window procedure sees
 * PM messages (WM_CREATE, WM_COMMAND, WM_CONTROL, WM_TIMER, WM_CLOSE) in
 * PM coordinates, and the program prints what arrives.  The button is
 * "pressed" with a native click so the command travels the whole way from
 * the native control through the front end to the PM procedure.
 *
 * Usage: pmsample [TICKS]   (timer ticks of 50 ms before it closes, default 5)
 */
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <type_traits>
#include "knl.h"
#include "win.h"

namespace {

constexpr const char *kClassName = "PmSample";
constexpr ULONG kIdButton = 101;
constexpr ULONG kIdEntry = 102;
constexpr ULONG kIdList = 103;
constexpr ULONG kIdTimer = 1;
constexpr ULONG kTickMs = 50;
constexpr LONG kWindowCx = 320;
constexpr LONG kWindowCy = 200;
constexpr USHORT kDataBytes = 8;        /* window word 0: ticks seen */
constexpr ULONG kPmEsMargin = 0x8;      /* entry field with a border */

int ticksToRun = 5;

struct WindowDestroyer {
    void operator()(HWND hwnd) const noexcept { WinDestroyWindow(hwnd); }
};
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

/* Makes the controls; returns the button, or null when one is missing. */
HWND makeControls(HWND hwnd)
{
    HWND button = WinCreateWindow(hwnd, "BUTTON", "Press", PM_WS_VISIBLE, 10, 150, 80, 24,
                                  hwnd, PM_HWND_TOP, kIdButton, NULL, NULL);
    HWND entry = WinCreateWindow(hwnd, "EDIT", "", PM_WS_VISIBLE | kPmEsMargin, 100, 150, 150,
                                 24, hwnd, PM_HWND_TOP, kIdEntry, NULL, NULL);
    HWND list = WinCreateWindow(hwnd, "LISTBOX", "", PM_WS_VISIBLE, 10, 10, 240, 130,
                                hwnd, PM_HWND_TOP, kIdList, NULL, NULL);
    if (!button || !entry || !list)
        return NULL;

    char typed[] = "typed through PM";
    char text[32];
    PM_WNDPARAMS wp = {};
    wp.fsStatus = PM_WPM_TEXT;
    wp.pszText = typed;
    WinSendMsg(entry, PM_WM_SETWINDOWPARAMS, &wp, 0);
    wp.fsStatus = PM_WPM_TEXT | PM_WPM_CCHTEXT;
    wp.pszText = text;
    wp.cchText = sizeof text;
    WinSendMsg(entry, PM_WM_QUERYWINDOWPARAMS, &wp, 0);
    printf("entry field holds \"%s\" (%lu characters)\n", text, (unsigned long)wp.cchText);
    return button;
}

MRESULT sampleProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    switch (msg) {
    case PM_WM_CREATE: {
        auto cs = static_cast<const PM_CREATESTRUCT *>(mp2);
        printf("WM_CREATE: %ld x %ld at (%ld, %ld), class %s\n", (long)cs->cx, (long)cs->cy,
               (long)cs->x, (long)cs->y, cs->pszClass);
        return 0;
    }
    case PM_WM_COMMAND:
        printf("WM_COMMAND: id %u, source %u\n", SHORT1FROMMP(mp1), SHORT1FROMMP(mp2));
        return 0;
    case PM_WM_CONTROL:
        printf("WM_CONTROL: id %u, code %u\n", SHORT1FROMMP(mp1), SHORT2FROMMP(mp1));
        return 0;
    case PM_WM_TIMER: {
        ULONG_PTR ticks = WinQueryWindowULong(hwnd, 0) + 1;
        WinSetWindowULong(hwnd, 0, ticks);
        printf("WM_TIMER: tick %lu\n", (unsigned long)ticks);
        if ((int)ticks >= ticksToRun) {
            WinStopTimer(_WinGetHab(), hwnd, kIdTimer);
            WinPostMsg(hwnd, PM_WM_CLOSE, 0, 0);
        }
        return 0;
    }
    case PM_WM_CLOSE:
        printf("WM_CLOSE: leaving the message loop\n");
        WinPostMsg(NULL, PM_WM_QUIT, 0, 0);
        return 0;
    case PM_WM_DESTROY:
        printf("WM_DESTROY\n");
        return 0;
    }
    return WinDefWindowProc(hwnd, msg, mp1, mp2);
}

}  // namespace

int main(int argc, char **argv)
{
    char module[MAX_PATH];
    if (argc > 1)
        ticksToRun = atoi(argv[1]) > 0 ? atoi(argv[1]) : ticksToRun;
    GetModuleFileNameA(NULL, module, sizeof module);
    KnlSetExecutableFileName(module);
    KnlInit(GetModuleHandleA(NULL), NULL, GetCommandLineA(), SW_SHOWNORMAL, NULL, NULL);
    KnlInitCP();
    KnlInitDBCSEv();

    HAB hab = WinInitialize(0);
    if (!WinRegisterClass(hab, kClassName, sampleProc, 0, kDataBytes)) {
        fprintf(stderr, "cannot register the class\n");
        return 1;
    }
    Window window(WinCreateWindow(PM_HWND_DESKTOP, kClassName, "PM sample", PM_WS_VISIBLE,
                                  50, 50, kWindowCx, kWindowCy, NULL, NULL, 0, NULL, NULL));
    HWND hwnd = window.get();
    HWND button = hwnd ? makeControls(hwnd) : NULL;
    if (!button) {
        fprintf(stderr, "cannot create the window\n");
        return 1;
    }
    PM_SWP swp;
    WinQueryWindowPos(hwnd, &swp);
    printf("client area %ld x %ld\n", (long)swp.cx, (long)swp.cy);

    PostMessageA(button, BM_CLICK, 0, 0);
    WinStartTimer(hab, hwnd, kIdTimer, kTickMs);
    PM_QMSG qmsg;
    int messages = 0;
    while (WinGetMsg(&qmsg, NULL)) {
        WinDispatchMsg(&qmsg);
        messages++;
    }
    printf("message loop ended after %d messages\n", messages);
    window.reset();
    WinTerminate(hab);
    return KnlTerminate(0);
}
