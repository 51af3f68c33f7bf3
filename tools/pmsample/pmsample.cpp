/*
 * pmsample.c - a small PM program on orin.dll: it registers a window
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
#include <stdio.h>
#include <stdlib.h>
#include "knl.h"
#include "win.h"

#define CLASS_NAME   "PmSample"
#define ID_BUTTON    101
#define ID_ENTRY     102
#define ID_LIST      103
#define ID_TIMER     1
#define TICK_MS      50
#define WINDOW_CX    320
#define WINDOW_CY    200
#define DATA_BYTES   8             /* window word 0: ticks seen */

static int ticksToRun = 5;

static HWND makeControls(HWND hwnd)
{
    HWND button, entry, list;
    PM_WNDPARAMS wp = { 0 };
    char text[32];

    button = WinCreateWindow(hwnd, "BUTTON", "Press", PM_WS_VISIBLE, 10, 150, 80, 24,
                             hwnd, PM_HWND_TOP, ID_BUTTON, NULL, NULL);
    entry = WinCreateWindow(hwnd, "EDIT", "", PM_WS_VISIBLE | 0x8, 100, 150, 150, 24,
                            hwnd, PM_HWND_TOP, ID_ENTRY, NULL, NULL);
    list = WinCreateWindow(hwnd, "LISTBOX", "", PM_WS_VISIBLE, 10, 10, 240, 130,
                           hwnd, PM_HWND_TOP, ID_LIST, NULL, NULL);
    if (!button || !entry || !list)
        return NULL;

    wp.fsStatus = PM_WPM_TEXT;
    wp.pszText = const_cast<char *>("typed through PM");
    WinSendMsg(entry, PM_WM_SETWINDOWPARAMS, &wp, 0);
    wp.fsStatus = PM_WPM_TEXT | PM_WPM_CCHTEXT;
    wp.pszText = text;
    wp.cchText = sizeof text;
    WinSendMsg(entry, PM_WM_QUERYWINDOWPARAMS, &wp, 0);
    printf("entry field holds \"%s\" (%lu characters)\n", text, (unsigned long)wp.cchText);
    return button;
}

static MRESULT sampleProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    switch (msg) {
    case PM_WM_CREATE: {
        const PM_CREATESTRUCT *cs = (const PM_CREATESTRUCT*)mp2;
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
            WinStopTimer(_WinGetHab(), hwnd, ID_TIMER);
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

int main(int argc, char **argv)
{
    char module[MAX_PATH];
    HAB hab;
    HWND hwnd, button;
    PM_QMSG qmsg;
    PM_SWP swp;
    int messages = 0;

    if (argc > 1)
        ticksToRun = atoi(argv[1]) > 0 ? atoi(argv[1]) : ticksToRun;
    GetModuleFileNameA(NULL, module, sizeof module);
    KnlSetExecutableFileName(module);
    KnlInit(GetModuleHandleA(NULL), NULL, GetCommandLineA(), SW_SHOWNORMAL, NULL, NULL);
    KnlInitCP();
    KnlInitDBCSEv();

    hab = WinInitialize(0);
    if (!WinRegisterClass(hab, CLASS_NAME, sampleProc, 0, DATA_BYTES)) {
        fprintf(stderr, "cannot register the class\n");
        return 1;
    }
    hwnd = WinCreateWindow(PM_HWND_DESKTOP, CLASS_NAME, "PM sample", PM_WS_VISIBLE,
                           50, 50, WINDOW_CX, WINDOW_CY, NULL, NULL, 0, NULL, NULL);
    if (!hwnd || !(button = makeControls(hwnd))) {
        fprintf(stderr, "cannot create the window\n");
        return 1;
    }
    WinQueryWindowPos(hwnd, &swp);
    printf("client area %ld x %ld\n", (long)swp.cx, (long)swp.cy);

    PostMessageA(button, BM_CLICK, 0, 0);
    WinStartTimer(hab, hwnd, ID_TIMER, TICK_MS);
    while (WinGetMsg(&qmsg, NULL)) {
        WinDispatchMsg(&qmsg);
        messages++;
    }
    printf("message loop ended after %d messages\n", messages);
    WinDestroyWindow(hwnd);
    WinTerminate(hab);
    return KnlTerminate(0);
}
