// Lines, mixes, boxes, patterns, areas and points on a memory PS, checked
// pixel by pixel against models written here: the flip rule, the boolean
// meaning of each mix and the 8x8 pattern rows.
#include <set>
#include <vector>
#include "gpitest.h"

using namespace gpitest;

namespace {

constexpr COLORREF BACKGROUND = RGB(0x33, 0xCC, 0x55);
constexpr LONG RED = PM_CLR_RED;            // native 0x0000FF
constexpr COLORREF RED_RGB = RGB(255, 0, 0);

// What a line pixel becomes under each mix, from its boolean meaning.
COLORREF lineMix(LONG mix, COLORREF p, COLORREF d)
{
    switch (mix) {
    case 1: return p | d;
    case 3: case 12: return ~p & 0xFFFFFF;
    case 4: return p ^ d;
    case 6: return p & d;
    case 10: return ~p & d;
    case 11: return ~(p ^ d) & 0xFFFFFF;
    case 16: return ~(p | d) & 0xFFFFFF;
    default: return p;
    }
}

// What a filled box pixel becomes under each mix.
COLORREF fillMix(LONG mix, COLORREF p, COLORREF d)
{
    switch (mix) {
    case 1: return p | d;
    case 3: case 12: return ~p & 0xFFFFFF;
    case 4: return p ^ d;
    case 6: return p & d;
    case 10: return ~p & d;
    case 11: return ~(p & d) & 0xFFFFFF;
    case 16: return ~(p | d) & 0xFFFFFF;
    default: return p;
    }
}

// Pattern rows (low byte, top row first); a 1 bit shows the background.
const BYTE kRows[16][8] = {
    {0}, {0},
    {0x88, 0x22, 0x88, 0x22, 0x88, 0x22, 0x88, 0x22},
    {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55},
    {0xDD, 0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD, 0x77},
    {0xFF, 0xDD, 0xFF, 0x77, 0xFF, 0xDD, 0xFF, 0x77},
    {0xFF, 0xF7, 0xFF, 0x7F, 0xFF, 0xF7, 0xFF, 0x7F},
    {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xF7},
    {0xFF, 0xFF, 0xFF, 0xF7, 0xFF, 0xFF, 0xFF, 0xFF},
    {0xBB, 0xBB, 0xBB, 0xBB, 0xBB, 0xBB, 0xBB, 0xBB},
    {0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF},
    {0x77, 0xBB, 0xDD, 0xEE, 0x77, 0xBB, 0xDD, 0xEE},
    {0x7F, 0xBF, 0xDF, 0xEF, 0xF7, 0xFB, 0xFD, 0xFE},
    {0xEE, 0xDD, 0xBB, 0x77, 0xEE, 0xDD, 0xBB, 0x77},
    {0xFE, 0xFD, 0xFB, 0xF7, 0xEF, 0xDF, 0xBF, 0x7F},
    {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};


} // namespace

TEST(GpiLines, IncludeTheEndPointAndFlipToTheBottomRow)
{
    Canvas c(40, 100);
    GpiSetColor(c.ps(), PM_CLR_BLACK);
    moveTo(c.ps(), 0, 0);
    lineTo(c.ps(), 10, 0);
    for (LONG x = 0; x <= 10; x++)
        EXPECT_EQ(c.at(x, 99), BLACK) << x;
    EXPECT_EQ(c.at(11, 99), WHITE);
    EXPECT_EQ(c.countNot(WHITE), 11);

    // a vertical line upwards, then a polyline; every pixel by the flip rule
    c.clear(WHITE);
    moveTo(c.ps(), 5, 5);
    lineTo(c.ps(), 5, 20);
    for (LONG y = 5; y <= 20; y++)
        EXPECT_EQ(c.pm(5, y), BLACK) << y;
    EXPECT_EQ(c.countNot(WHITE), 16);
    c.clear(WHITE);
    moveTo(c.ps(), 0, 50);
    PM_POINTL poly[3] = {pt(8, 50), pt(8, 58), pt(20, 58)};
    ASSERT_EQ(GpiPolyLine(c.ps(), 3, poly), PM_GPI_OK);
    EXPECT_EQ(c.countNot(WHITE), 9 + 8 + 12);
    EXPECT_EQ(c.pm(20, 58), BLACK);
    EXPECT_EQ(c.pm(0, 50), BLACK);
    POINT native;
    PM_POINTL p = pt(7, 0);
    OwmHpsPMPoint2W3Point(c.ps(), &p, &native);
    EXPECT_EQ(native.x, 7);
    EXPECT_EQ(native.y, 99);
}

TEST(GpiLines, EachMixAgainstAKnownBackground)
{
    Canvas c(40, 20);
    for (LONG mix = 0; mix <= 17; mix++) {
        c.clear(BACKGROUND);
        ASSERT_TRUE(GpiSetColor(c.ps(), RED));
        ASSERT_TRUE(GpiSetMix(c.ps(), mix));
        EXPECT_EQ(GpiQueryMix(c.ps()), mix);
        moveTo(c.ps(), 2, 5);
        lineTo(c.ps(), 30, 5);
        EXPECT_EQ(c.pm(10, 5), lineMix(mix, RED_RGB, BACKGROUND)) << "mix " << mix;
        // the end pixel is set under the same raster operation
        EXPECT_EQ(c.pm(30, 5), lineMix(mix, RED_RGB, BACKGROUND)) << "end pixel, mix " << mix;
        EXPECT_EQ(c.pm(10, 6), BACKGROUND);
    }
    EXPECT_FALSE(GpiSetMix(c.ps(), 18));
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_PARAM);
}

TEST(GpiBoxes, FillEachMixAgainstAKnownBackground)
{
    Canvas c(40, 40);
    for (LONG mix = 0; mix <= 17; mix++) {
        c.clear(BACKGROUND);
        GpiSetColor(c.ps(), RED);
        GpiSetMix(c.ps(), mix);
        box(c.ps(), PM_DRO_FILL, 5, 5, 9, 9);
        EXPECT_EQ(c.pm(7, 7), fillMix(mix, RED_RGB, BACKGROUND)) << "mix " << mix;
        EXPECT_EQ(c.pm(10, 7), BACKGROUND);
    }
}

TEST(GpiBoxes, FillAndOutlineExtentsAndTheKeptPosition)
{
    Canvas c(60, 50);
    GpiSetColor(c.ps(), PM_CLR_BLACK);
    // corners given in the reverse order still make the same box
    box(c.ps(), PM_DRO_FILL, 30, 20, 10, 10);
    for (LONG y = 0; y < 50; y++)
        for (LONG x = 0; x < 60; x++) {
            bool inside = x >= 10 && x <= 30 && y >= 10 && y <= 20;
            ASSERT_EQ(c.pm(x, y), inside ? BLACK : WHITE) << x << "," << y;
        }
    c.clear(WHITE);
    box(c.ps(), PM_DRO_OUTLINE, 10, 10, 30, 20);
    for (LONG y = 0; y < 50; y++)
        for (LONG x = 0; x < 60; x++) {
            bool inBox = x >= 10 && x <= 30 && y >= 10 && y <= 20;
            bool edge = inBox && (x == 10 || x == 30 || y == 10 || y == 20);
            ASSERT_EQ(c.pm(x, y), edge ? BLACK : WHITE) << x << "," << y;
        }
    // the position stays where GpiMove put it: the next line starts there
    c.clear(WHITE);
    lineTo(c.ps(), 10, 30);
    for (LONG y = 10; y <= 30; y++)
        EXPECT_EQ(c.pm(10, y), BLACK) << y;
    EXPECT_EQ(c.countNot(WHITE), 21);
    // degenerate box: one line; frame box answers the PM rectangle
    c.clear(WHITE);
    box(c.ps(), PM_DRO_OUTLINE, 3, 40, 12, 40);
    EXPECT_EQ(c.countNot(WHITE), 10);
    c.clear(WHITE);
    moveTo(c.ps(), 40, 30);
    PM_POINTL corner = pt(35, 25);
    PM_RECTL rcl{};
    ASSERT_EQ(GpiFrameBox(c.ps(), 0, &corner, &rcl), PM_GPI_OK);
    EXPECT_EQ(rcl.xLeft, 35);
    EXPECT_EQ(rcl.yBottom, 25);
    EXPECT_EQ(rcl.xRight, 40);
    EXPECT_EQ(rcl.yTop, 30);
    EXPECT_EQ(c.countNot(WHITE), 2 * 6 + 2 * 4);
    EXPECT_EQ(GpiBox(c.ps(), 0, &corner, 0, 0), PM_GPI_ERROR);
}

TEST(GpiPatterns, AreaFillsShowThePatternRows)
{
    Canvas c(24, 24);
    GpiSetColor(c.ps(), PM_CLR_BLACK);
    GpiSetBackColor(c.ps(), PM_CLR_NEUTRAL);
    for (LONG p = 0; p <= 16; p++) {
        c.clear(BACKGROUND);
        ASSERT_TRUE(GpiSetPattern(c.ps(), p));
        if (p == 11)
            continue;   // 11 keeps the brush already selected
        box(c.ps(), PM_DRO_FILL, 0, 0, 15, 15);
        for (LONG y = 8; y < 24; y++)             // native rows of the box
            for (LONG x = 0; x < 16; x++) {
                bool back = p >= 2 && p <= 15 && ((kRows[p][y % 8] >> (7 - x % 8)) & 1);
                ASSERT_EQ(c.at(x, y), back ? WHITE : BLACK) << "pattern " << p << " at " << x
                                                            << "," << y;
            }
    }
    ASSERT_TRUE(GpiSetPattern(c.ps(), 40));
    EXPECT_EQ(GpiQueryPattern(c.ps()), 16);
    EXPECT_FALSE(GpiSetPattern(c.ps(), -1));
    EXPECT_EQ(GpiQueryPattern(c.ps()), 16);
}

TEST(GpiPatterns, PatternThreeDrawsDottedLinesThatCarryOn)
{
    Canvas c(40, 20);
    GpiSetColor(c.ps(), PM_CLR_BLACK);
    GpiSetBackColor(c.ps(), PM_CLR_RED);
    GpiSetPattern(c.ps(), 3);
    moveTo(c.ps(), 0, 10);
    lineTo(c.ps(), 14, 10);
    moveTo(c.ps(), 0, 5);
    lineTo(c.ps(), 20, 5);
    std::vector<COLORREF> seq;
    for (LONG x = 0; x <= 14; x++)
        seq.push_back(c.pm(x, 10));
    for (LONG x = 0; x <= 20; x++)
        seq.push_back(c.pm(x, 5));
    std::set<COLORREF> seen(seq.begin(), seq.end());
    EXPECT_EQ(seen, (std::set<COLORREF>{BLACK, RED_RGB}));
    for (size_t i = 1; i < seq.size(); i++)
        ASSERT_NE(seq[i], seq[i - 1]) << "pixel " << i << " breaks the alternation";
    EXPECT_EQ(c.countNot(WHITE), 15 + 21);
    // a box outline is dotted too
    c.clear(WHITE);
    box(c.ps(), PM_DRO_OUTLINE, 2, 2, 8, 2);
    for (LONG x = 3; x <= 8; x++)
        EXPECT_NE(c.pm(x, 2), c.pm(x - 1, 2));
}

TEST(GpiLines, WidthBlackLinesAndPoints)
{
    Canvas c(40, 40);
    GpiSetColor(c.ps(), RED);
    GpiSetPenWidth(c.ps(), 3);
    moveTo(c.ps(), 5, 20);
    lineTo(c.ps(), 30, 20);
    EXPECT_EQ(c.pm(15, 19), RED_RGB);
    EXPECT_EQ(c.pm(15, 21), RED_RGB);
    EXPECT_EQ(c.pm(15, 23), WHITE);
    c.clear(WHITE);
    GpiSetLineWidthFactor(c.ps(), 0);
    GpiSetPenWidth(c.ps(), 0);
    ASSERT_TRUE(GpiSetAllLinesAreBlack(c.ps(), TRUE));
    GpiSetColor(c.ps(), RED);
    moveTo(c.ps(), 5, 5);
    lineTo(c.ps(), 10, 5);
    EXPECT_EQ(c.pm(7, 5), BLACK);
    EXPECT_EQ(c.pm(10, 5), BLACK);
    GpiSetAllLinesAreBlack(c.ps(), FALSE);
    GpiSetColor(c.ps(), RED);
    c.clear(WHITE);
    PM_POINTL p = pt(20, 30);
    ASSERT_EQ(GpiPoint(c.ps(), &p), PM_GPI_OK);
    EXPECT_EQ(c.countNot(WHITE), 1);
    EXPECT_EQ(GpiQueryPel(c.ps(), &p), 0xFF0000);
    PM_SIZEL marker{7, 7};
    ASSERT_TRUE(GpiSetMarkerBox(c.ps(), &marker));
    ASSERT_EQ(GpiPoint(c.ps(), &p), PM_GPI_OK);
    EXPECT_EQ(c.pm(22, 30), RED_RGB);
    EXPECT_EQ(c.pm(20, 28), RED_RGB);
    EXPECT_EQ(c.pm(26, 30), WHITE);
    EXPECT_GT(c.countNot(WHITE), 20);
}

TEST(GpiAreas, RecordedPolygonIsFilledWithoutItsLines)
{
    Canvas c(50, 50);
    GpiSetColorBundle(c.ps(), PM_PRIM_LINE, PM_CLR_RED);
    GpiSetColorBundle(c.ps(), PM_PRIM_AREA, PM_CLR_BLUE);
    ASSERT_TRUE(GpiBeginArea(c.ps(), 0));
    moveTo(c.ps(), 10, 10);
    lineTo(c.ps(), 30, 10);
    lineTo(c.ps(), 30, 30);
    PM_POINTL rest[2] = {pt(10, 30), pt(10, 10)};
    ASSERT_EQ(GpiPolyLine(c.ps(), 2, rest), PM_GPI_OK);
    EXPECT_EQ(c.countNot(WHITE), 0);          // nothing drawn before the end
    ASSERT_EQ(GpiEndArea(c.ps()), PM_GPI_OK);
    const COLORREF blue = RGB(0, 0, 255);
    EXPECT_EQ(c.pm(20, 20), blue);
    EXPECT_EQ(c.pm(12, 28), blue);
    EXPECT_EQ(c.pm(5, 20), WHITE);
    EXPECT_EQ(c.pm(35, 20), WHITE);
    for (LONG y = 0; y < 50; y++)
        for (LONG x = 0; x < 50; x++)
            ASSERT_NE(c.at(x, y), RED_RGB);
    EXPECT_EQ(GpiEndArea(c.ps()), PM_GPI_ERROR);   // no area open
    // with the boundary option the lines are drawn as well
    c.clear(WHITE);
    ASSERT_TRUE(GpiBeginArea(c.ps(), PM_BA_BOUNDARY));
    moveTo(c.ps(), 10, 10);
    lineTo(c.ps(), 30, 10);
    lineTo(c.ps(), 20, 30);
    lineTo(c.ps(), 10, 10);
    ASSERT_EQ(GpiEndArea(c.ps()), PM_GPI_OK);
    EXPECT_EQ(c.pm(30, 10), RED_RGB);
    EXPECT_EQ(c.pm(20, 15), blue);
}

TEST(GpiErase, FillsThePSWithTheAreaBackground)
{
    Canvas c(30, 20);
    GpiSetBackColorBundle(c.ps(), PM_PRIM_AREA, PM_CLR_YELLOW);
    ASSERT_TRUE(GpiErase(c.ps()));
    EXPECT_EQ(c.countNot(RGB(255, 255, 0)), 0);
    EXPECT_FALSE(GpiSetBackColorBundle(c.ps(), 8, PM_CLR_RED));
}
