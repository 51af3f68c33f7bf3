// Clipping, paths and bitmaps on memory PS: what a fill changes inside and
// outside a graphics field, a polygon region or a clip path; block
// transfers between PS in PM coordinates; bitmap bits and drawn bitmaps.
#include <vector>
#include "gpitest.h"

using namespace gpitest;

namespace {

// Fills the whole PS black, then counts the changed pixels inside a test.
template <class Inside>
void expectFillOnly(Canvas &c, Inside inside)
{
    c.clear(WHITE);
    GpiSetColor(c.ps(), PM_CLR_BLACK);
    box(c.ps(), PM_DRO_FILL, 0, 0, c.width() - 1, c.height() - 1);
    for (LONG y = 0; y < c.height(); y++)
        for (LONG x = 0; x < c.width(); x++)
            ASSERT_EQ(c.pm(x, y), inside(x, y) ? BLACK : WHITE) << x << "," << y;
}

} // namespace

TEST(GpiClip, GraphicsFieldAndClipBoxAreInclusivePMRectangles)
{
    Canvas c(40, 30);
    PM_RECTL field{10, 5, 19, 14};
    ASSERT_TRUE(GpiSetGraphicsField(c.ps(), &field));
    PM_RECTL box{};
    EXPECT_EQ(GpiQueryClipBox(c.ps(), &box), PM_RGN_RECT);
    EXPECT_EQ(box.xLeft, 10);
    EXPECT_EQ(box.yBottom, 5);
    EXPECT_EQ(box.xRight, 19);
    EXPECT_EQ(box.yTop, 14);
    expectFillOnly(c, [](LONG x, LONG y) { return x >= 10 && x <= 19 && y >= 5 && y <= 14; });
    ASSERT_TRUE(GpiResetGraphicsField(c.ps()));
    expectFillOnly(c, [](LONG, LONG) { return true; });
    EXPECT_EQ(GpiQueryClipBox(c.ps(), &box), PM_RGN_RECT);
    EXPECT_EQ(box.xRight, 39);
    EXPECT_EQ(box.yTop, 29);
}

TEST(GpiClip, PolygonRegionsAndRegionModes)
{
    Canvas c(40, 40);
    // a rectangle as polygon: native polygon regions leave out the right and bottom edges
    PM_POINTL quad[4] = {pt(5, 5), pt(25, 5), pt(25, 25), pt(5, 25)};
    EXPECT_NE(GpiSetPolygonRgnClip(c.ps(), 4, quad, 0), PM_RGN_ERROR);
    expectFillOnly(c, [](LONG x, LONG y) { return x >= 5 && x < 25 && y > 5 && y <= 25; });
    HRGN extra = GpiCreatePolygonRgn(c.ps(), 4, quad, 0);
    ASSERT_NE(extra, (HRGN)NULL);
    HRGN band = CreateRectRgn(0, 0, 40, 20);   // native top half
    EXPECT_NE(GpiExtSetClipRegion(c.ps(), band, RGN_AND), PM_RGN_ERROR);
    expectFillOnly(c, [](LONG x, LONG y) { return x >= 5 && x < 25 && y >= 20 && y <= 25; });
    EXPECT_NE(GpiResetClipRegion(c.ps()), PM_RGN_ERROR);
    expectFillOnly(c, [](LONG, LONG) { return true; });
    DeleteObject(band);
    DeleteObject(extra);
    EXPECT_EQ(GpiCreatePolygonRgn(c.ps(), 2, quad, 0), (HRGN)NULL);
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_PARAM);
}

TEST(GpiPaths, ClipPathAndFillAndStroke)
{
    Canvas c(40, 40);
    PM_POINTL square[5] = {pt(10, 10), pt(30, 10), pt(30, 30), pt(10, 30), pt(10, 10)};
    ASSERT_TRUE(GpiBeginPath(c.ps(), 1));
    ASSERT_EQ(GpiDrawPathPolyline(c.ps(), 5, square), PM_GPI_OK);
    EXPECT_EQ(c.countNot(WHITE), 0);            // a path draws nothing by itself
    ASSERT_TRUE(GpiSelectClipPath(c.ps(), 1, PM_SCP_AND));
    expectFillOnly(c, [](LONG x, LONG y) { return x >= 10 && x < 30 && y > 10 && y <= 30; });
    ASSERT_TRUE(GpiSelectClipPath(c.ps(), 0, PM_SCP_RESET));
    expectFillOnly(c, [](LONG, LONG) { return true; });

    c.clear(WHITE);
    GpiSetColorBundle(c.ps(), PM_PRIM_LINE, PM_CLR_RED);
    GpiSetColorBundle(c.ps(), PM_PRIM_AREA, PM_CLR_BLUE);
    ASSERT_TRUE(GpiBeginPath(c.ps(), 1));
    ASSERT_EQ(GpiDrawPathPolyline(c.ps(), 5, square), PM_GPI_OK);
    ASSERT_EQ(GpiFillAndStrokePath(c.ps(), 1, 0), PM_GPI_OK);
    EXPECT_EQ(c.pm(20, 20), RGB(0, 0, 255));
    EXPECT_EQ(c.pm(10, 20), RGB(255, 0, 0));
    EXPECT_EQ(c.pm(20, 30), RGB(255, 0, 0));
    EXPECT_EQ(c.pm(5, 5), WHITE);
    EXPECT_FALSE(GpiBeginPath(c.ps(), 2));
    EXPECT_FALSE(GpiEndPath(c.ps()));
}

TEST(GpiBitmaps, BlockTransfersUsePMCorners)
{
    Canvas src(20, 20), dst(40, 40);
    GpiSetColor(src.ps(), PM_CLR_RED);
    box(src.ps(), PM_DRO_FILL, 2, 3, 5, 7);           // a 4 x 5 red block in the source
    // target (10,10)-(14,15) upper-right excluded; source lower-left (2,3)
    PM_POINTL copy[3] = {pt(10, 10), pt(14, 15), pt(2, 3)};
    ASSERT_EQ(GpiBitBlt(dst.ps(), src.ps(), 3, copy, PM_ROP_SRCCOPY, 0), PM_GPI_OK);
    for (LONG y = 0; y < 40; y++)
        for (LONG x = 0; x < 40; x++) {
            bool red = x >= 10 && x < 14 && y >= 10 && y < 15;
            ASSERT_EQ(dst.pm(x, y), red ? RGB(255, 0, 0) : WHITE) << x << "," << y;
        }
    // stretched twice as large
    dst.clear(WHITE);
    PM_POINTL stretch[4] = {pt(0, 0), pt(8, 10), pt(2, 3), pt(6, 8)};
    ASSERT_EQ(GpiBitBlt(dst.ps(), src.ps(), 4, stretch, PM_ROP_SRCCOPY, 2), PM_GPI_OK);
    EXPECT_EQ(dst.countNot(WHITE), 80);
    // no source: pattern and destination operations
    PM_POINTL invert[2] = {pt(0, 0), pt(40, 40)};
    ASSERT_EQ(GpiBitBlt(dst.ps(), NULL, 2, invert, PM_ROP_DSTINVERT, 0), PM_GPI_OK);
    EXPECT_EQ(dst.pm(1, 1), RGB(0, 255, 255));
    EXPECT_EQ(dst.pm(30, 30), BLACK);
    EXPECT_EQ(GpiBitBlt(dst.ps(), src.ps(), 2, invert, PM_ROP_SRCCOPY, 0), PM_GPI_ERROR);
}

TEST(GpiBitmaps, BitsAndDrawnBitmaps)
{
    Canvas c(32, 32);
    // a 2 x 2 monochrome bitmap: top row 1 0, bottom row 0 1 (rows padded to 16 bits)
    const WORD rows[2] = {0x80, 0x40};
    HBITMAP mono = CreateBitmap(2, 2, 1, 1, rows);
    ASSERT_NE(mono, (HBITMAP)NULL);
    PM_POINTL at = pt(4, 4);
    ASSERT_TRUE(WinDrawBitmap(c.ps(), mono, NULL, &at, PM_CLR_RED, PM_CLR_BLUE, PM_DBM_IMAGEATTRS));
    EXPECT_EQ(c.pm(4, 5), RGB(255, 0, 0));     // top-left 1 bit: foreground
    EXPECT_EQ(c.pm(5, 5), RGB(0, 0, 255));
    EXPECT_EQ(c.pm(4, 4), RGB(0, 0, 255));
    EXPECT_EQ(c.pm(5, 4), RGB(255, 0, 0));
    EXPECT_EQ(c.countNot(WHITE), 4);
    PM_RECTL into{10, 10, 17, 17};
    ASSERT_TRUE(WinDrawBitmap(c.ps(), mono, NULL, (PM_POINTL *)&into, 0, 0, PM_DBM_STRETCH));
    EXPECT_EQ(c.countNot(WHITE), 4 + 32);       // half of the 8 x 8 square is black
    DeleteObject(mono);

    // bits: written through the PS, read back bottom-up
    c.clear(WHITE);
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = 32;
    bmi.bmiHeader.biHeight = 32;                 // bottom-up, as PM counts scan lines
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> line(32, 0x00FF00);        // green, 0x00RRGGBB
    ASSERT_EQ(GpiSetBitmapBits(c.ps(), 3, 1, (const BYTE *)line.data(), &bmi), 1);
    for (LONG x = 0; x < 32; x++)
        ASSERT_EQ(c.pm(x, 3), RGB(0, 255, 0));
    EXPECT_EQ(c.countNot(WHITE), 32);
    std::vector<DWORD> back(32 * 32);
    ASSERT_EQ(GpiQueryBitmapBits(c.ps(), 0, 32, (BYTE *)back.data(), &bmi), 32);
    EXPECT_EQ(back[3 * 32 + 7] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(back[4 * 32 + 7] & 0xFFFFFF, 0xFFFFFFu);

    // a colour bitmap made through the PS, drawn with one colour left out
    BITMAPINFO info = bmi;
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 1;
    const DWORD pair[2] = {0x0000FF, 0xFF00FF};   // blue, pink
    HBITMAP hbm = GpiCreateBitmap(c.ps(), &info.bmiHeader, PM_CBM_INIT, (const BYTE *)pair, &info);
    ASSERT_NE(hbm, (HBITMAP)NULL);
    c.clear(WHITE);
    PM_POINTL spot = pt(20, 20);
    ASSERT_TRUE(WinDrawTransparentBitmap(c.ps(), hbm, &spot, RGB(255, 0, 255)));
    EXPECT_EQ(c.pm(20, 20), RGB(0, 0, 255));
    EXPECT_EQ(c.pm(21, 20), WHITE);
    EXPECT_EQ(c.countNot(WHITE), 1);
    EXPECT_TRUE(GpiDeleteBitmap(hbm));
    EXPECT_FALSE(GpiDeleteBitmap(hbm));
}
