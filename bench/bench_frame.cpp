// bench_frame.cpp - standard frames made and destroyed per second, next to
// the same windows made natively with CreateWindowExA in the same run.
//
// A standard frame here is WinCreateStdWindow with a title bar, system
// menu, sizing border and both scroll bars around a client of a PM class:
// four native windows (frame, two scroll bars, client) plus the frame and
// window records, the standard-window list and the PM creation messages.
// The native peer makes the same four windows (a frame of a plain native
// class with the same style, two SCROLLBAR children and a client child)
// and destroys them.  Each figure is the best of several rounds.
#include <cstdio>
#include "win.h"

namespace {

constexpr int kFrames = 400;
constexpr int kRounds = 3;
constexpr const char *kPMClient = "BenchFrameClient";
constexpr const char *kNativeFrame = "BenchNativeFrame";
constexpr const char *kNativeClient = "BenchNativeClient";
constexpr DWORD kFrameStyle = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

MRESULT clientProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    return WinDefWindowProc(hwnd, msg, mp1, mp2);
}

void drain()
{
    MSG m;
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
}

double pmFrames()
{
    static ULONG fcf = PM_FCF_TITLEBAR | PM_FCF_SYSMENU | PM_FCF_SIZEBORDER |
                       PM_FCF_VERTSCROLL | PM_FCF_HORZSCROLL;
    double t0 = now();
    for (int i = 0; i < kFrames; i++) {
        HWND client;
        HWND frame = WinCreateStdWindow(PM_HWND_DESKTOP, 0, &fcf, kPMClient, "bench", 0, NULL,
                                        0, &client);
        if (!frame) {
            fprintf(stderr, "WinCreateStdWindow failed\n");
            return 0;
        }
        WinDestroyWindow(frame);
    }
    double t = now() - t0;
    drain();
    return kFrames / t;
}

double nativeFrames()
{
    HINSTANCE inst = GetModuleHandleA(NULL);
    double t0 = now();
    for (int i = 0; i < kFrames; i++) {
        HWND frame = CreateWindowExA(0, kNativeFrame, "bench", kFrameStyle, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL,
                                     inst, NULL);
        if (!frame) {
            fprintf(stderr, "CreateWindowExA failed\n");
            return 0;
        }
        RECT rc;
        GetClientRect(frame, &rc);
        int cxV = GetSystemMetrics(SM_CXVSCROLL), cyH = GetSystemMetrics(SM_CYHSCROLL);
        CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | SBS_VERT, rc.right - cxV, 0,
                        cxV, rc.bottom - cyH, frame, (HMENU)0x8006, inst, NULL);
        CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | SBS_HORZ, 0,
                        rc.bottom - cyH, rc.right - cxV, cyH, frame, (HMENU)0x8007, inst, NULL);
        CreateWindowExA(0, kNativeClient, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                        rc.right - cxV, rc.bottom - cyH, frame, (HMENU)0x8008, inst, NULL);
        DestroyWindow(frame);
    }
    double t = now() - t0;
    drain();
    return kFrames / t;
}

double best(double (*run)())
{
    double top = 0;
    for (int r = 0; r < kRounds; r++) {
        double v = run();
        if (v > top)
            top = v;
    }
    return top;
}

}  // namespace

int main()
{
    HAB hab = WinInitialize(0);
    if (!WinRegisterClass(hab, kPMClient, clientProc, 0, 0))
        return 1;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = kNativeFrame;
    RegisterClassA(&wc);
    wc.lpszClassName = kNativeClient;
    RegisterClassA(&wc);

    double pm = best(pmFrames);
    double native = best(nativeFrames);
    printf("frames made and destroyed per second (frame, 2 scroll bars, client):\n");
    printf("  WinCreateStdWindow + WinDestroyWindow   %10.0f /s\n", pm);
    printf("  CreateWindowExA x4 + DestroyWindow      %10.0f /s\n", native);
    if (native > 0)
        printf("  PM frames run at %.0f%% of the native rate\n", 100.0 * pm / native);
    WinTerminate(hab);
    return 0;
}
