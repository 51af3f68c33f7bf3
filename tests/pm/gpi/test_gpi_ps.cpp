// Presentation spaces: on windows (WinGetPS, WinBeginPaint inside a PM
// paint message) and on device contexts (GpiCreatePS, DevOpenDC), their
// clean-up, and what every call answers for null, closed and made-up
// handles.
#include <functional>
#include <string>
#include <vector>
#include "gpitest.h"
#include "pm/pmtest.h"

using namespace gpitest;
using namespace pmtest;

namespace {

class GpiWindow : public PMWindowTest {};

} // namespace

TEST_F(GpiWindow, GetPSDrawsFlippedAgainstTheClientHeight)
{
    HPS hps = WinGetPS(top);
    ASSERT_NE(hps, (HPS)NULL);
    LONG h = clientHeight(top);
    ASSERT_GT(h, 20);
    PM_POINTL p = pt(3, 0);
    POINT native;
    OwmHpsPMPoint2W3Point(hps, &p, &native);
    EXPECT_EQ(native.y, h - 1);
    GpiSetColor(hps, PM_CLR_RED);
    moveTo(hps, 0, 0);
    lineTo(hps, 10, 0);
    EXPECT_EQ(GpiQueryPel(hps, &p), 0xFF0000);
    HDC hdc = GetDC(top);   // the same pixels through the native context
    EXPECT_EQ(GetPixel(hdc, 10, h - 1), RGB(255, 0, 0));
    ReleaseDC(top, hdc);
    EXPECT_FALSE(GpiDestroyPS(hps));         // a window PS is released, not destroyed
    EXPECT_TRUE(WinReleasePS(hps));
    SetLastError(0);
    EXPECT_FALSE(WinReleasePS(hps));
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_HPS);
    EXPECT_EQ(WinGetPS((HWND)(ULONG_PTR)0x1234), (HPS)NULL);
}

TEST_F(GpiWindow, BeginPaintAnswersTheUpdateRectangleInPMCoordinates)
{
    static PM_RECTL seen;
    static bool painted;
    static LONG paintHeight;
    painted = false;
    replies()[PM_WM_PAINT] = [](HWND hwnd, MPARAM, MPARAM) -> MRESULT {
        HPS hps = WinBeginPaint(hwnd, NULL, &seen);
        painted = hps != NULL;
        PM_POINTL p = pt(0, 0);
        POINT native;
        OwmHpsPMPoint2W3Point(hps, &p, &native);
        paintHeight = native.y + 1;
        WinEndPaint(hps);
        return 0;
    };
    ASSERT_TRUE(WinValidateRect(top, NULL, FALSE));
    PM_RECTL rcl{5, 7, 24, 30};
    ASSERT_TRUE(WinInvalidateRect(top, &rcl, FALSE));
    UpdateWindow(top);
    ASSERT_TRUE(painted);
    EXPECT_EQ(seen.xLeft, 5);
    EXPECT_EQ(seen.yBottom, 7);
    EXPECT_EQ(seen.xRight, 24);
    EXPECT_EQ(seen.yTop, 30);
    EXPECT_EQ(paintHeight, clientHeight(top));
    RECT rc;
    EXPECT_FALSE(GetUpdateRect(top, &rc, FALSE));   // the paint validated it
}

TEST(GpiPS, CreatedOnADeviceContextTakesItsSize)
{
    HAB hab = WinInitialize(0);
    HDC mem = DevOpenDC(hab, PM_OD_MEMORY, "*", 0, NULL, NULL);
    ASSERT_NE(mem, (HDC)NULL);
    HBITMAP bmp = CreateBitmap(37, 23, 1, 32, NULL);
    HGDIOBJ old = SelectObject(mem, bmp);
    LONG caps[PM_CAPS_COUNT];
    ASSERT_TRUE(DevQueryCaps(mem, 0, PM_CAPS_COUNT, caps));
    EXPECT_EQ(caps[PM_CAPS_WIDTH], 37);
    EXPECT_EQ(caps[PM_CAPS_HEIGHT], 23);
    EXPECT_EQ(caps[PM_CAPS_COLOR_BITCOUNT], GetDeviceCaps(mem, BITSPIXEL));
    EXPECT_FALSE(DevQueryCaps(mem, 10, PM_CAPS_COUNT, caps));
    PM_SIZEL zero{0, 0};
    HPS hps = GpiCreatePS(hab, mem, &zero, PM_GPIA_ASSOC);
    ASSERT_NE(hps, (HPS)NULL);
    PM_POINTL p = pt(0, 0);
    POINT native;
    OwmHpsPMPoint2W3Point(hps, &p, &native);
    EXPECT_EQ(native.y, 22);
    // drawing leaves cached objects in the context; destroying gives the stock ones back
    GpiSetColor(hps, PM_CLR_RED);
    moveTo(hps, 0, 0);
    lineTo(hps, 5, 5);
    box(hps, 1, 0, 0, 3, 3);
    EXPECT_NE(GetCurrentObject(mem, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_TRUE(GpiDestroyPS(hps));
    EXPECT_EQ(GetCurrentObject(mem, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetCurrentObject(mem, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    EXPECT_FALSE(GpiDestroyPS(hps));
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_HPS);
    // a PS without the association has no context to draw into
    HPS loose = GpiCreatePS(hab, mem, &zero, 0);
    ASSERT_NE(loose, (HPS)NULL);
    EXPECT_TRUE(GpiSetColor(loose, 3));
    EXPECT_EQ(GpiQueryColor(loose), 3);
    EXPECT_FALSE(GpiMove(loose, &p));
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_HPS);
    EXPECT_TRUE(GpiDestroyPS(loose));
    SelectObject(mem, old);
    DeleteObject(bmp);
    EXPECT_EQ(DevCloseDC(mem), (HDC)NULL);
    EXPECT_EQ(DevOpenDC(hab, 77, "*", 0, NULL, NULL), (HDC)NULL);
    HDC info = DevOpenDC(hab, PM_OD_INFO, "*", 0, NULL, NULL);
    ASSERT_NE(info, (HDC)NULL);
    ASSERT_TRUE(DevQueryCaps(info, PM_CAPS_WIDTH, 1, caps));
    EXPECT_EQ(caps[0], GetDeviceCaps(info, HORZRES));
    EXPECT_EQ(DevCloseDC(info), (HDC)NULL);
}

TEST(GpiPS, BadHandlesGetTheErrorValueAndNoCrash)
{
    Canvas closed(8, 8);
    HPS dead = GpiCreatePS(NULL, closed.dc(), NULL, PM_GPIA_ASSOC);
    ASSERT_TRUE(GpiDestroyPS(dead));
    static int local;
    PM_POINTL p = pt(1, 1), pts[3] = {pt(0, 0), pt(1, 1), pt(2, 0)};
    PM_RECTL r{0, 0, 1, 1};
    PM_SIZEL s{1, 1};
    PM_FATTRS f{};
    PM_FONTMETRICS fm;
    BYTE buf[64];
    BITMAPINFO bmi{};
    // each call with its failure value
    std::vector<std::pair<std::string, std::function<bool(HPS)>>> calls = {
        {"WinEndPaint", [](HPS h) { return !WinEndPaint(h); }},
        {"WinReleasePS", [](HPS h) { return !WinReleasePS(h); }},
        {"GpiDestroyPS", [](HPS h) { return !GpiDestroyPS(h); }},
        {"GpiSetColor", [](HPS h) { return !GpiSetColor(h, 1); }},
        {"GpiSetBackColor", [](HPS h) { return !GpiSetBackColor(h, 1); }},
        {"GpiSetColorBundle", [](HPS h) { return !GpiSetColorBundle(h, 1, 1); }},
        {"GpiSetMix", [](HPS h) { return !GpiSetMix(h, 1); }},
        {"GpiSetPattern", [](HPS h) { return !GpiSetPattern(h, 1); }},
        {"GpiSetPenWidth", [](HPS h) { return !GpiSetPenWidth(h, 1); }},
        {"GpiSetLineWidthFactor", [](HPS h) { return !GpiSetLineWidthFactor(h, 1); }},
        {"GpiSetAllLinesAreBlack", [](HPS h) { return !GpiSetAllLinesAreBlack(h, 1); }},
        {"GpiSetMarkerBox", [&](HPS h) { return !GpiSetMarkerBox(h, &s); }},
        {"GpiQueryColor", [](HPS h) { return GpiQueryColor(h) == PM_CLR_ERROR; }},
        {"GpiQueryBackColor", [](HPS h) { return GpiQueryBackColor(h) == PM_CLR_ERROR; }},
        {"GpiQueryMix", [](HPS h) { return GpiQueryMix(h) == -1; }},
        {"GpiQueryPattern", [](HPS h) { return GpiQueryPattern(h) == -1; }},
        {"GpiMove", [&](HPS h) { return !GpiMove(h, &p); }},
        {"GpiLine", [&](HPS h) { return GpiLine(h, &p) == PM_GPI_ERROR; }},
        {"GpiPolyLine", [&](HPS h) { return GpiPolyLine(h, 3, pts) == PM_GPI_ERROR; }},
        {"GpiBox", [&](HPS h) { return GpiBox(h, 3, &p, 0, 0) == PM_GPI_ERROR; }},
        {"GpiFrameBox", [&](HPS h) { return GpiFrameBox(h, 0, &p, &r) == PM_GPI_ERROR; }},
        {"GpiPoint", [&](HPS h) { return GpiPoint(h, &p) == PM_GPI_ERROR; }},
        {"GpiSetPel", [&](HPS h) { return GpiSetPel(h, &p) == PM_GPI_ERROR; }},
        {"GpiQueryPel", [&](HPS h) { return GpiQueryPel(h, &p) == PM_CLR_ERROR; }},
        {"GpiErase", [](HPS h) { return !GpiErase(h); }},
        {"GpiBeginArea", [](HPS h) { return !GpiBeginArea(h, 0); }},
        {"GpiEndArea", [](HPS h) { return GpiEndArea(h) == PM_GPI_ERROR; }},
        {"GpiCharString", [](HPS h) { return GpiCharString(h, 1, "a") == PM_GPI_ERROR; }},
        {"GpiCharStringAt", [&](HPS h) { return GpiCharStringAt(h, &p, 1, "a") == PM_GPI_ERROR; }},
        {"GpiQueryTextBox", [&](HPS h) { return !GpiQueryTextBox(h, 1, "a", 1, &p); }},
        {"GpiCreateLogFontSov", [&](HPS h) { return GpiCreateLogFontSov(h, NULL, 1, &f) == 0; }},
        {"GpiDeleteSetId", [](HPS h) { return !GpiDeleteSetId(h, 1); }},
        {"GpiSetCharSet", [](HPS h) { return !GpiSetCharSet(h, 0); }},
        {"GpiQueryCharSet", [](HPS h) { return GpiQueryCharSet(h) == -1; }},
        {"GpiQueryFontMetrics", [&](HPS h) { return !GpiQueryFontMetrics(h, sizeof fm, &fm); }},
        {"GpiBeginPath", [](HPS h) { return !GpiBeginPath(h, 1); }},
        {"GpiEndPath", [](HPS h) { return !GpiEndPath(h); }},
        {"GpiDrawPathPolyline", [&](HPS h) { return GpiDrawPathPolyline(h, 3, pts) == 0; }},
        {"GpiSelectClipPath", [](HPS h) { return !GpiSelectClipPath(h, 1, PM_SCP_AND); }},
        {"GpiFillAndStrokePath", [](HPS h) { return GpiFillAndStrokePath(h, 1, 0) == 0; }},
        {"GpiCreatePolygonRgn", [&](HPS h) { return !GpiCreatePolygonRgn(h, 3, pts, 0); }},
        {"GpiSetPolygonRgnClip", [&](HPS h) { return GpiSetPolygonRgnClip(h, 3, pts, 0) == 0; }},
        {"GpiExtSetClipRegion", [](HPS h) { return GpiExtSetClipRegion(h, NULL, RGN_COPY) == 0; }},
        {"GpiResetClipRegion", [](HPS h) { return GpiResetClipRegion(h) == 0; }},
        {"GpiSetGraphicsField", [&](HPS h) { return !GpiSetGraphicsField(h, &r); }},
        {"GpiResetGraphicsField", [](HPS h) { return !GpiResetGraphicsField(h); }},
        {"GpiQueryClipBox", [&](HPS h) { return GpiQueryClipBox(h, &r) == 0; }},
        {"GpiSelectPalette", [](HPS h) { return !GpiSelectPalette(h, NULL); }},
        {"GpiRealizePalette", [](HPS h) { return GpiRealizePalette(h) == 0; }},
        {"GpiCreateBitmap", [&](HPS h) { return !GpiCreateBitmap(h, &bmi.bmiHeader, 0, NULL, NULL); }},
        {"GpiLoadBitmap", [](HPS h) { return !GpiLoadBitmap(h, NULL, 1, 0, 0); }},
        {"GpiSetBitmap", [](HPS h) { return !GpiSetBitmap(h, NULL); }},
        {"GpiBitBlt", [&](HPS h) { return GpiBitBlt(h, h, 3, pts, PM_ROP_SRCCOPY, 0) == 0; }},
        {"GpiQueryBitmapBits", [&](HPS h) { return GpiQueryBitmapBits(h, 0, 1, buf, &bmi) == -1; }},
        {"GpiSetBitmapBits", [&](HPS h) { return GpiSetBitmapBits(h, 0, 1, buf, &bmi) == -1; }},
        {"WinDrawBitmap", [&](HPS h) { return !WinDrawBitmap(h, NULL, NULL, &p, 0, 0, 0); }},
        {"WinDrawTransparentBitmap", [&](HPS h) { return !WinDrawTransparentBitmap(h, NULL, &p, 0); }},
    };
    const HPS bad[] = {NULL, dead, (HPS)&local, (HPS)(ULONG_PTR)0x10, (HPS)(ULONG_PTR)-1};
    for (const auto &call : calls)
        for (HPS h : bad) {
            SetLastError(0);
            EXPECT_TRUE(call.second(h)) << call.first << " answered success for " << h;
            EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_HPS) << call.first << " with " << h;
        }
    POINT native{-5, -5};
    OwmHpsPMPoint2W3Point(dead, &p, &native);   // nothing written
    EXPECT_EQ(native.x, -5);
    EXPECT_EQ(GpiCreatePS(NULL, NULL, NULL, PM_GPIA_ASSOC), (HPS)NULL);
}
