/*
 * bench_pm.c - message throughput of the PM emulation next to the same
 * traffic on a plain native window, in the same run.
 *
 * Sending: WinSendMsg to a PM window (its PM procedure is called directly)
 * against SendMessageA to a native window.  Round trips through the queue:
 * WinPostMsg + WinGetMsg + WinDispatchMsg to a PM window (a posted-message
 * record travels through the native queue and the front-end procedure)
 * against PostMessageA + GetMessageA + TranslateMessage + DispatchMessageA.
 * Each figure is the best of several rounds, in messages per second.
 */
#include <stdio.h>
#include "win.h"

#define SENDS       400000
#define ROUND_TRIPS 5000
#define ROUNDS      3
#define BENCH_MSG   (WM_USER + 7)

static volatile ULONG_PTR sink;

static double now(void)
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

static MRESULT pmProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == BENCH_MSG) {
        sink = sink + (ULONG_PTR)mp1;
        return mp1;
    }
    return WinDefWindowProc(hwnd, msg, mp1, mp2);
}

static LRESULT CALLBACK nativeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == BENCH_MSG) {
        sink = sink + wParam;
        return (LRESULT)wParam;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static double pmSends(HWND pm)
{
    int i;
    double t0 = now();
    for (i = 0; i < SENDS; i++)
        WinSendMsg(pm, BENCH_MSG, (MPARAM)(ULONG_PTR)i, 0);
    return SENDS / (now() - t0);
}

static double nativeSends(HWND native)
{
    int i;
    double t0 = now();
    for (i = 0; i < SENDS; i++)
        SendMessageA(native, BENCH_MSG, (WPARAM)i, 0);
    return SENDS / (now() - t0);
}

static double pmRoundTrips(HWND pm)
{
    PM_QMSG q;
    int i;
    double t0 = now();
    for (i = 0; i < ROUND_TRIPS; i++) {
        WinPostMsg(pm, BENCH_MSG, (MPARAM)(ULONG_PTR)i, 0);
        WinGetMsg(&q, NULL);
        WinDispatchMsg(&q);
    }
    return ROUND_TRIPS / (now() - t0);
}

static double nativeRoundTrips(HWND native)
{
    MSG m;
    int i;
    double t0 = now();
    for (i = 0; i < ROUND_TRIPS; i++) {
        PostMessageA(native, BENCH_MSG, (WPARAM)i, 0);
        GetMessageA(&m, NULL, 0, 0);
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return ROUND_TRIPS / (now() - t0);
}

static double best(double (*run)(HWND), HWND hwnd)
{
    double top = 0, r;
    int i;
    for (i = 0; i < ROUNDS; i++)
        if ((r = run(hwnd)) > top)
            top = r;
    return top;
}

int main(void)
{
    HAB hab = WinInitialize(0);
    WNDCLASSA wc = { 0 };
    HWND pm, native;
    double ps, ns, pr, nr;
    MSG m;

    wc.lpfnWndProc = nativeProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "BenchNative";
    if (!RegisterClassA(&wc) || !WinRegisterClass(hab, "BenchPM", pmProc, 0, 0)) {
        printf("cannot register the classes\n");
        return 1;
    }
    pm = WinCreateWindow(NULL, "BenchPM", "", 0, 0, 0, 100, 100, NULL, NULL, 0, NULL, NULL);
    native = CreateWindowExA(0, "BenchNative", "", 0, 0, 0, 100, 100, NULL, NULL,
                             GetModuleHandleA(NULL), NULL);
    if (!pm || !native) {
        printf("cannot create the windows\n");
        return 1;
    }
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);

    ns = best(nativeSends, native);
    ps = best(pmSends, pm);
    nr = best(nativeRoundTrips, native);
    pr = best(pmRoundTrips, pm);

    printf("send to a window          : PM %10.0f msg/s   native %10.0f msg/s   native/PM %.2f\n",
           ps, ns, ns / ps);
    printf("post+get+dispatch round trip: PM %10.0f msg/s   native %10.0f msg/s   native/PM %.2f\n",
           pr, nr, nr / pr);
    printf("(target: PM within 1.5x of native, i.e. native/PM <= 1.50)\n");
    WinDestroyWindow(pm);
    DestroyWindow(native);
    WinTerminate(hab);
    return (int)(sink & 0);
}
