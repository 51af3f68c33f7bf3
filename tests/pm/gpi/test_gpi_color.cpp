// Colours of a presentation space: PM colour values drawn and read back
// as pixels, system colours against the host's own values, palettes, and
// the nearest PM colour of an RGB triple.
#include "gpitest.h"

using namespace gpitest;

namespace {

COLORREF drawnColor(Canvas &c, LONG pmColor)
{
    EXPECT_TRUE(GpiSetColor(c.ps(), pmColor));
    PM_POINTL p = pt(3, 4);
    EXPECT_EQ(GpiSetPel(c.ps(), &p), PM_GPI_OK);
    return c.pm(3, 4);
}

LONG nearest(BYTE r, BYTE g, BYTE b)
{
    PM_RGB rgb{b, g, r};
    return har_Rgb2NearestColor(&rgb);
}

// The sixteen PM colours as their names say (red, green, blue).
const COLORREF kNamed[16] = {
    RGB(0, 0, 0),       RGB(0, 0, 255),     RGB(255, 0, 0),     RGB(255, 0, 255),
    RGB(0, 255, 0),     RGB(0, 255, 255),   RGB(255, 255, 0),   RGB(255, 255, 255),
    RGB(128, 128, 128), RGB(0, 0, 128),     RGB(128, 0, 0),     RGB(128, 0, 128),
    RGB(0, 128, 0),     RGB(0, 128, 128),   RGB(128, 65, 0),    RGB(192, 192, 192)};

} // namespace

TEST(GpiColor, IndicesWhiteBlackAndOutOfRangeValues)
{
    Canvas c(16, 16);
    ASSERT_NE(c.ps(), (HPS)NULL);
    for (LONG i = 1; i < 16; i++)
        EXPECT_EQ(drawnColor(c, i), kNamed[i]) << "colour " << i;
    EXPECT_EQ(drawnColor(c, 7), WHITE);
    EXPECT_EQ(drawnColor(c, 0), BLACK);
    c.clear(RGB(1, 2, 3));
    for (LONG white : {-2L, -3L, -4L, -255L})
        EXPECT_EQ(drawnColor(c, white), WHITE) << white;
    for (LONG black : {-1L, 16L, -5L, -9L, -49L, 0x123456L})
        EXPECT_EQ(drawnColor(c, black), BLACK) << black;
    EXPECT_TRUE(GpiSetColor(c.ps(), 9));
    EXPECT_EQ(GpiQueryColor(c.ps()), 9);
    EXPECT_TRUE(GpiSetBackColor(c.ps(), 4));
    EXPECT_EQ(GpiQueryBackColor(c.ps()), 4);
}

TEST(GpiColor, SystemColoursComeFromTheHost)
{
    Canvas c(16, 16);
    // defaults: foreground -20 (host colour 15), background -19 (host colour 6)
    PM_POINTL p = pt(1, 1);
    ASSERT_EQ(GpiSetPel(c.ps(), &p), PM_GPI_OK);
    EXPECT_EQ(c.pm(1, 1), GetSysColor(15));
    EXPECT_EQ(GpiQueryColor(c.ps()), -20);
    EXPECT_EQ(GpiQueryBackColor(c.ps()), -19);
    EXPECT_TRUE(GpiErase(c.ps()));
    EXPECT_EQ(c.countNot(GetSysColor(6)), 0);
    struct { LONG pm; int host; } samples[] = {
        {-48, 23}, {-47, 24}, {-42, 1}, {-40, 15}, {-31, 3}, {-25, 0}, {-20, 15},
        {-18, 7}, {-14, 11}, {-13, 15}, {-10, 14}};
    for (auto s : samples)
        EXPECT_EQ(drawnColor(c, s.pm), GetSysColor(s.host)) << s.pm;
}

TEST(GpiColor, SelectedPaletteTurnsValuesIntoIndices)
{
    Canvas c(16, 16);
    const ULONG table[3] = {0x000000, 0x0A141E, 0x28323C};   // 0x00RRGGBB
    PM_HPAL pal = GpiCreatePalette(NULL, 0, 0, 3, table);
    ASSERT_NE(pal, (PM_HPAL)NULL);
    EXPECT_EQ(GpiSelectPalette(c.ps(), pal), (PM_HPAL)NULL);
    EXPECT_GE(GpiRealizePalette(c.ps()), 0);
    EXPECT_EQ(drawnColor(c, 1), RGB(10, 20, 30));
    EXPECT_EQ(drawnColor(c, 2), RGB(40, 50, 60));
    EXPECT_EQ(drawnColor(c, -20), GetSysColor(15));   // system colours stay
    EXPECT_EQ(GpiSelectPalette(c.ps(), NULL), pal);
    EXPECT_EQ(drawnColor(c, 1), kNamed[1]);
    EXPECT_TRUE(GpiDestroyPalette(pal));
    EXPECT_EQ(GpiCreatePalette(NULL, 0, 0, 0, table), (PM_HPAL)NULL);
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_PARAM);
}

TEST(GpiNearestColor, ExamplesAndTheNamedColoursComeBack)
{
    EXPECT_EQ(nearest(255, 255, 255), 7);
    EXPECT_EQ(nearest(200, 0, 0), 2);
    EXPECT_EQ(nearest(100, 0, 0), 10);
    EXPECT_EQ(nearest(200, 40, 0), 14);     // reddish with a little green: brown
    EXPECT_EQ(nearest(0, 0, 0), 0);
    // every named colour but brown (its green is too weak) maps to itself
    for (LONG i = 1; i < 14; i++)
        EXPECT_EQ(nearest(GetRValue(kNamed[i]), GetGValue(kNamed[i]), GetBValue(kNamed[i])), i)
            << "colour " << i;
    EXPECT_EQ(nearest(30, 40, 50), 8);       // nothing reaches 85: the dark grey base
    EXPECT_EQ(nearest(90, 200, 90), 15);     // three on, one bright: stays dark
    // two on, one of them bright: half the channels that are on are bright -> bright variant
    EXPECT_EQ(nearest(200, 100, 0), 6);
    EXPECT_EQ(nearest(0, 100, 200), 5);
    EXPECT_EQ(nearest(100, 100, 0), 14);     // two on, none bright: dark
    EXPECT_EQ(har_Rgb2NearestColor(NULL), -1);
}

TEST(GpiNearestColor, GreysSweep)
{
    int dark = 0, black = 0, light = 0, white = 0;
    for (int v = 0; v < 256; v++) {
        LONG c = nearest(BYTE(v), BYTE(v), BYTE(v));
        // darker greys never map to a lighter class than brighter ones
        LONG expected = v < 20 ? 0 : v > 210 ? 7 : v < 140 ? 8 : 15;
        EXPECT_EQ(c, expected) << "grey " << v;
        black += c == 0, dark += c == 8, light += c == 15, white += c == 7;
    }
    EXPECT_EQ(black, 20);
    EXPECT_EQ(dark, 120);
    EXPECT_EQ(light, 71);
    EXPECT_EQ(white, 45);
}
