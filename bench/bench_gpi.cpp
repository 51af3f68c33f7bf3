// bench_gpi.cpp - drawing through a presentation space next to the native
// GDI calls it turns into, on the same memory context in the same run.
//
// GpiMove + GpiLine against MoveToEx + LineTo + SetPixel (PM lines include
// their end pixel); GpiMove + GpiBox (fill) against MoveToEx + PatBlt;
// GpiCharStringAt against MoveToEx + SetTextAlign + TextOutA.  Each figure
// is the best of several rounds, in nanoseconds per call, with the ratio
// PS / native (the aim is at most 1.3).
#include <algorithm>
#include <cstdio>
#include <functional>
#include "gpi.h"

namespace {

constexpr LONG kSize = 256;
constexpr int kRounds = 9;

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

void report(const char *what, double ps, double native);

// Time per call of one round.
double roundNs(int calls, const std::function<void(int)> &body)
{
    double t0 = now();
    for (int i = 0; i < calls; i++)
        body(i);
    GdiFlush();
    return (now() - t0) * 1e9 / calls;
}

// Best time per call of each side; the rounds alternate so that both
// sides meet the same load on a shared machine.
void compare(const char *what, int calls, const std::function<void(int)> &ps,
             const std::function<void(int)> &native)
{
    double bestPS = 1e30, bestNative = 1e30;
    for (int r = 0; r < kRounds; r++) {
        bestPS = std::min(bestPS, roundNs(calls, ps));
        bestNative = std::min(bestNative, roundNs(calls, native));
    }
    report(what, bestPS, bestNative);
}

void report(const char *what, double ps, double native)
{
    printf("%-34s %10.0f ns   native %10.0f ns   ratio %.2f\n", what, ps, native, ps / native);
}

}  // namespace

int main()
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kSize;
    bi.bmiHeader.biHeight = -kSize;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HDC hdc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(hdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBmp = SelectObject(hdc, dib);
    PM_SIZEL size{kSize, kSize};
    HPS hps = GpiCreatePS(WinInitialize(0), hdc, &size, PM_GPIA_ASSOC);
    if (!hps) {
        printf("no presentation space\n");
        return 1;
    }
    GpiSetColor(hps, PM_CLR_RED);
    const COLORREF red = RGB(255, 0, 0);

    // lines: PS first (it leaves its red pen selected for the native run too)
    constexpr int kLines = 20000;
    compare("GpiMove + GpiLine (50x50)", kLines, [&](int i) {
        PM_POINTL a{i % 200, 10}, b{i % 200 + 50, 60};
        GpiMove(hps, &a);
        GpiLine(hps, &b);
    }, [&](int i) {
        int x = i % 200;
        MoveToEx(hdc, x, kSize - 11, nullptr);
        LineTo(hdc, x + 50, kSize - 61);
        SetPixel(hdc, x + 50, kSize - 61, red);
    });

    constexpr int kBoxes = 20000;
    compare("GpiMove + GpiBox fill (41x31)", kBoxes, [&](int i) {
        PM_POINTL a{i % 100, 20}, b{i % 100 + 40, 50};
        GpiMove(hps, &a);
        GpiBox(hps, PM_DRO_FILL, &b, 0, 0);
    }, [&](int i) {
        int x = i % 100;
        MoveToEx(hdc, x, kSize - 21, nullptr);
        PatBlt(hdc, x, kSize - 51, 41, 31, PATCOPY);
    });

    constexpr int kTexts = 5000;
    const char *text = "The quick brown fox";
    const int len = 19;
    compare("GpiCharStringAt (19 chars)", kTexts, [&](int i) {
        PM_POINTL at{i % 50, 100};
        GpiCharStringAt(hps, &at, len, text);
    }, [&](int i) {
        MoveToEx(hdc, i % 50, kSize - 100, nullptr);
        SetTextAlign(hdc, TA_BASELINE | TA_LEFT | TA_UPDATECP);
        TextOutA(hdc, 0, 0, text, len);
    });

    GpiDestroyPS(hps);
    SelectObject(hdc, oldBmp);
    DeleteObject(dib);
    DeleteDC(hdc);
    return 0;
}
