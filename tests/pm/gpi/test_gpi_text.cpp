// Text on a PS: strings drawn through the PS against the same strings drawn
// natively on the flipped baseline, text boxes against the font's metrics
// and extents, logical fonts and their error values.
#include <string>
#include "gpitest.h"

using namespace gpitest;

namespace {

PM_FATTRS fattrs(const char *face, LONG height, USHORT sel = 0)
{
    PM_FATTRS f{};
    f.usRecordLength = sizeof f;
    f.fsSelection = sel;
    strncpy(f.szFacename, face, sizeof f.szFacename - 1);
    f.lMaxBaselineExt = height;
    return f;
}

// Draws text natively the way the PS should: baseline at row H - y.
void nativeText(Canvas &c, HFONT font, LONG x, LONG y, const std::string &s)
{
    HGDIOBJ old = SelectObject(c.dc(), font);
    SetTextAlign(c.dc(), TA_BASELINE | TA_LEFT);
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), RGB(0, 0, 0));
    TextOutA(c.dc(), x, c.height() - y, s.c_str(), (int)s.size());
    SelectObject(c.dc(), old);
}

HFONT nativeFont(const PM_FATTRS &f)
{
    LOGFONTA lf{};
    lf.lfHeight = f.lMaxBaselineExt;
    lf.lfWeight = (f.fsSelection & PM_FATTR_SEL_BOLD) ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    strcpy(lf.lfFaceName, f.szFacename);
    return CreateFontIndirectA(&lf);
}

} // namespace

TEST(GpiText, StringsSitOnTheFlippedBaselineAndAdvance)
{
    Canvas viaPS(120, 40), direct(120, 40);
    PM_FATTRS f = fattrs("Tahoma", 16);
    ASSERT_EQ(GpiCreateLogFontSov(viaPS.ps(), NULL, 1, &f), PM_FONT_MATCH);
    ASSERT_TRUE(GpiSetCharSet(viaPS.ps(), 1));
    EXPECT_EQ(GpiQueryCharSet(viaPS.ps()), 1);
    GpiSetColor(viaPS.ps(), PM_CLR_BLACK);
    PM_POINTL at = pt(4, 12);
    ASSERT_EQ(GpiCharStringAt(viaPS.ps(), &at, 100, "Hg"), PM_GPI_OK);   // count past the end
    ASSERT_EQ(GpiCharString(viaPS.ps(), 3, "xyz-not-drawn"), PM_GPI_OK);
    // natively: "Hg" on the baseline, then "xyz" where the first one's extent ends
    HFONT font = nativeFont(f);
    nativeText(direct, font, 4, 12, "Hg");
    HGDIOBJ old = SelectObject(direct.dc(), font);
    SIZE ext;
    GetTextExtentPoint32A(direct.dc(), "Hg", 2, &ext);
    SelectObject(direct.dc(), old);
    nativeText(direct, font, 4 + ext.cx, 12, "xyz");
    DeleteObject(font);
    int differ = 0;
    for (LONG y = 0; y < 40; y++)
        for (LONG x = 0; x < 120; x++)
            differ += viaPS.at(x, y) != direct.at(x, y);
    EXPECT_EQ(differ, 0);
    EXPECT_GT(viaPS.countNot(WHITE), 20);
    EXPECT_TRUE(viaPS.sameAs(direct));
    // the ink of "H" ends on the row just above the baseline
    LONG lowest = -1;
    for (LONG y = 0; y < 40; y++)
        for (LONG x = 4; x < 8; x++)
            if (viaPS.at(x, y) != WHITE)
                lowest = y;
    EXPECT_EQ(lowest, 40 - 12 - 1);
    // count 0 draws nothing and answers FALSE
    viaPS.clear(WHITE);
    EXPECT_EQ(GpiCharStringAt(viaPS.ps(), &at, 0, "Hg"), PM_GPI_ERROR);
    EXPECT_EQ(viaPS.countNot(WHITE), 0);
}

TEST(GpiText, TextBoxFollowsTheFontMetrics)
{
    Canvas c(20, 20);
    for (const char *face : {"Courier New", "Tahoma"}) {
        PM_FATTRS f = fattrs(face, 20);
        LONG id = face[0] == 'C' ? 2 : 3;
        ASSERT_EQ(GpiCreateLogFontSov(c.ps(), NULL, id, &f), PM_FONT_MATCH);
        ASSERT_TRUE(GpiSetCharSet(c.ps(), id));
        TEXTMETRICA tm;
        ASSERT_TRUE(GetTextMetricsA(c.dc(), &tm));
        SIZE ext;
        ASSERT_TRUE(GetTextExtentPoint32A(c.dc(), "MMMMMMM", 7, &ext));
        PM_POINTL box[PM_TXTBOX_COUNT];
        ASSERT_TRUE(GpiQueryTextBox(c.ps(), 7, "MMMMMMM", PM_TXTBOX_COUNT, box));
        LONG cw = tm.tmAveCharWidth + (tm.tmMaxCharWidth > tm.tmAveCharWidth);
        EXPECT_EQ(box[PM_TXTBOX_TOPLEFT].x, 0);
        EXPECT_EQ(box[PM_TXTBOX_BOTTOMLEFT].x, 0);
        EXPECT_EQ(box[PM_TXTBOX_TOPRIGHT].x, 7 * cw);
        EXPECT_EQ(box[PM_TXTBOX_CONCAT].x, 7 * cw);
        EXPECT_EQ(box[PM_TXTBOX_BOTTOMLEFT].y, -tm.tmDescent);
        EXPECT_EQ(box[PM_TXTBOX_BOTTOMRIGHT].y, -tm.tmDescent);
        EXPECT_EQ(box[PM_TXTBOX_TOPLEFT].y, ext.cy + tm.tmExternalLeading - tm.tmDescent);
        if (!(tm.tmPitchAndFamily & TMPF_FIXED_PITCH)) {   // fixed pitch: the extent agrees
            EXPECT_EQ(box[PM_TXTBOX_TOPRIGHT].x,
                      ext.cx + 7 * (tm.tmMaxCharWidth > tm.tmAveCharWidth));
        }
        PM_FONTMETRICS fm{};
        ASSERT_TRUE(GpiQueryFontMetrics(c.ps(), sizeof fm, &fm));
        EXPECT_EQ(fm.lMaxBaselineExt, tm.tmHeight);
        EXPECT_EQ(fm.lMaxDescender, tm.tmDescent);
        EXPECT_EQ(fm.lAveCharWidth, tm.tmAveCharWidth);
        char faceNow[32];
        GetTextFaceA(c.dc(), sizeof faceNow, faceNow);
        EXPECT_STREQ(fm.szFacename, faceNow);
    }
    // a short metrics buffer gets only its length
    PM_FONTMETRICS part;
    memset(&part, 0x5A, sizeof part);
    ASSERT_TRUE(GpiQueryFontMetrics(c.ps(), 8, &part));
    EXPECT_EQ((BYTE)part.szFacename[0], 0x5A);
    EXPECT_FALSE(GpiQueryTextBox(c.ps(), 1, "A", PM_TXTBOX_COUNT + 1, NULL));
}

TEST(GpiFonts, LocalIdsAndErrorValues)
{
    Canvas c(20, 20);
    PM_FATTRS f = fattrs("Tahoma", 12, PM_FATTR_SEL_BOLD);
    for (LONG bad : {0L, 4095L, -1L, 5000L}) {
        SetLastError(0);
        EXPECT_EQ(GpiCreateLogFontSov(c.ps(), NULL, bad, &f), PM_GPI_ERROR);
        EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_SETID) << bad;
    }
    ASSERT_EQ(GpiCreateLogFontSov(c.ps(), NULL, 4094, &f), PM_FONT_MATCH);
    EXPECT_EQ(GpiCreateLogFontSov(c.ps(), NULL, 4094, &f), PM_GPI_ERROR);   // taken
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_SETID);
    ASSERT_TRUE(GpiSetCharSet(c.ps(), 4094));
    TEXTMETRICA tm;
    GetTextMetricsA(c.dc(), &tm);
    EXPECT_GE(tm.tmWeight, FW_BOLD);
    ASSERT_TRUE(GpiDeleteSetId(c.ps(), 4094));   // selected: the default comes back
    EXPECT_EQ(GpiQueryCharSet(c.ps()), 0);
    EXPECT_FALSE(GpiDeleteSetId(c.ps(), 4094));
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_SETID);
    EXPECT_FALSE(GpiSetCharSet(c.ps(), 17));
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_SETID);
    EXPECT_TRUE(GpiSetCharSet(c.ps(), 4095));
    EXPECT_EQ(GpiCreateLogFontSov(c.ps(), NULL, 4094, &f), PM_FONT_MATCH);   // free again
    EXPECT_EQ(GpiCreateLogFontSov(c.ps(), NULL, 5, NULL), PM_GPI_ERROR);
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_PARAM);
    // not in the text mapping mode
    SetMapMode(c.dc(), MM_LOMETRIC);
    EXPECT_EQ(GpiCreateLogFontSov(c.ps(), NULL, 6, &f), PM_GPI_ERROR);
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_NOT_TEXTMODE);
    SetMapMode(c.dc(), MM_TEXT);
    EXPECT_EQ(GpiCreateLogFontSov(c.ps(), NULL, 6, &f), PM_FONT_MATCH);
}
