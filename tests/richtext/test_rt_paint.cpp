// Rich-text painting on memory PSs: every expectation is read back from
// the pixels drawn or measured with the native text calls on the test's
// own context (GetTextExtentPoint32 with the font id selected), never
// taken from the library's own measuring.
#include "rtpainttest.h"

using namespace rtpainttest;

TEST(RtPaintFonts, FourIdsPerEntryAndReleaseDeletesThem)
{
    Page p;
    ASSERT_NE(p.fs, nullptr);
    for (LONG id = 1; id <= 8; id++)
        EXPECT_TRUE(GpiSetCharSet(p.ps(), id)) << id;
    EXPECT_FALSE(GpiSetCharSet(p.ps(), 9));
    // id 7 = entry 1 bold: heavier than 5 and as tall; entry 1 taller than entry 0
    TEXTMETRICA normal = p.metrics(5), bold = p.metrics(7), small = p.metrics(1);
    EXPECT_GT(bold.tmWeight, normal.tmWeight);
    EXPECT_EQ(bold.tmHeight, normal.tmHeight);
    EXPECT_GT(normal.tmHeight, small.tmHeight + 5);
    EXPECT_TRUE(p.metrics(6).tmItalic);
    EXPECT_FALSE(p.metrics(7).tmItalic);
    EXPECT_TRUE(p.metrics(8).tmItalic);
    // 20 points at the context's resolution
    int ppi = GetDeviceCaps(p.canvas.dc(), LOGPIXELSY);
    EXPECT_EQ(normal.tmHeight, MulDiv(20, ppi, 72));

    ASSERT_TRUE(RtStrReleaseContextFromPS(p.ps(), p.fs, p.ctx.h));
    EXPECT_FALSE(GpiSetCharSet(p.ps(), 7));
    EXPECT_EQ(GpiQueryCharSet(p.ps()), 0);
    // the released set is dead now
    EXPECT_FALSE(RtStrCharStringAt(p.ps(), p.fs, nullptr, "x"));
    PM_POINTL at{10, 10};
    EXPECT_FALSE(RtStrCharStringAt(p.ps(), p.fs, &at, "x"));
    EXPECT_EQ(GetLastError(), 6u);
    p.fs = RtStrPutContextIntoPS(p.ps(), p.ctx.h);   // for the destructor
}

TEST(RtPaintMeasure, WidthTableMatchesNativeExtents)
{
    Page p;
    const char *s = "Ab" ESC "b1;Wi" ESC "f1;" ESC "i1;mQ" ESC "b0;" ESC "i0; x";
    // font ids of each visible character: 1 1 3 3 8 8 5 5
    const LONG ids[] = {1, 1, 3, 3, 8, 8, 5, 5};
    const char chars[] = "AbWimQ x";
    LONG widths[16] = {};
    ASSERT_EQ(RtStrQueryWidthTable(p.ps(), p.fs, s, widths, 16), 8u);
    EXPECT_EQ(RtStrQueryWidthTable(p.ps(), p.fs, s, nullptr, 0), 8u);
    LONG total = 0;
    for (int i = 0; i < 8; i++) {
        LONG expected = p.extent(ids[i], std::string(1, chars[i]));
        EXPECT_EQ(widths[i], expected) << i;
        total += expected;
    }
    RTSTRBOX box{};
    ASSERT_TRUE(RtStrQueryBox(p.ps(), p.fs, s, &box));
    EXPECT_EQ(box.cx, total);
    EXPECT_EQ(box.yTop, p.metrics(5).tmAscent);
    EXPECT_EQ(box.yBottom, -p.metrics(5).tmDescent);
    RTSTRINFO info{};
    ASSERT_TRUE(RtStrQueryInfo(p.ps(), p.fs, s, &info));
    EXPECT_EQ(info.cChars, 8u);
    EXPECT_EQ(info.cRuns, 4u);
}

TEST(RtPaintMeasure, WrapPositions)
{
    Page p;
    auto wrapAt = [&](const char *s, LONG max, USHORT word = 0) {
        const char *r = RtStrFindWrapPos(p.ps(), p.fs, s, max, word);
        return r ? (long)(r - s) : -1L;
    };
    // the line passes the maximum inside "bbb": it ends after the blank
    EXPECT_EQ(wrapAt("aaa bbb ccc", p.extent(1, "aaa bb")), 4);
    // everything fits: the end of the string
    EXPECT_EQ(wrapAt("aaa bbb", p.extent(1, "aaa bbb")), 7);
    // a word wider than the line stays whole; the next line starts after it
    EXPECT_EQ(wrapAt("xxxxxxxxxxxx yy", p.extent(1, "xxx")), 13);
    // a hyphen stays at the line end
    EXPECT_EQ(wrapAt("well-known fact", p.extent(1, "well-kn")), 5);
    // blanks at the break are not carried over
    EXPECT_EQ(wrapAt("aaa    bbb", p.extent(1, "aaa  b")), 7);
    // the starting word sets the font: in the big bold font "aaa bbb" does not fit
    LONG small = p.extent(1, "aaa bbb");
    EXPECT_EQ(wrapAt("aaa bbb", small, 0), 7);
    EXPECT_EQ(wrapAt("aaa bbb", small, 4 | RT_FMT_BOLD), 4);
    // codes between the blank and the next word are skipped too
    EXPECT_EQ(wrapAt("aaa " ESC "b1;bbb", p.extent(1, "aaa b")), 8);
}

TEST(RtPaintDraw, ColourUnderlineStrikeAndBackground)
{
    Page p;
    PM_POINTL at{20, 150};
    ASSERT_TRUE(RtStrCharStringAt(p.ps(), p.fs, &at, ESC "c2;" ESC "u1;Under" ESC "u0; " ESC "s1;Strike"));
    LONG underWidth = p.extent(1, "Under");
    // a red line one unit below the baseline, exactly under the word
    LONG underRow = nativeRow(150 - 1);
    Ink under = inkOf(p.canvas, 0, underRow, W, underRow + 1, RED);
    EXPECT_EQ(under.left, 20);
    EXPECT_EQ(under.width(), underWidth);
    // the strike-out crosses "Strike" a third of the ascent above the baseline
    LONG strikeLeft = 20 + underWidth + p.extent(1, " ");
    LONG strikeRow = nativeRow(150 + p.metrics(1).tmAscent / 3);
    Ink strike = inkOf(p.canvas, strikeLeft, strikeRow, W, strikeRow + 1, RED);
    EXPECT_EQ(strike.left, strikeLeft);
    EXPECT_EQ(strike.width(), p.extent(1, "Strike"));
    // all ink is red
    EXPECT_EQ(inkOf(p.canvas).count, inkOf(p.canvas, 0, 0, W, H, RED).count);

    // double underline: a second line two units lower; background fills the box
    p.canvas.clear(WHITE);
    PM_POINTL at2{30, 100};
    ASSERT_TRUE(RtStrCharStringAt(p.ps(), p.fs, &at2, ESC "u2;Dd " ESC "u0;" ESC "g4;Dd"));
    LONG w = p.extent(1, "Dd");
    Ink u1 = inkOf(p.canvas, 0, nativeRow(99), W, nativeRow(99) + 1, RGB(0, 0, 0));
    Ink u2 = inkOf(p.canvas, 0, nativeRow(97), W, nativeRow(97) + 1, RGB(0, 0, 0));
    EXPECT_EQ(u1.left, 30);
    EXPECT_EQ(u1.width(), p.extent(1, "Dd "));
    EXPECT_EQ(u2.left, 30);
    EXPECT_EQ(u2.width(), p.extent(1, "Dd "));
        // the background fills the run's box: ascent above, descent below the baseline
    Ink back = inkOf(p.canvas, 0, 0, W, H, GREEN);
    TEXTMETRICA tm = p.metrics(1);
    LONG backLeft = 30 + p.extent(1, "Dd ");
    EXPECT_EQ(back.left, backLeft);
    EXPECT_TRUE(inkOf(p.canvas, 0, nativeRow(98), backLeft, nativeRow(98) + 1).empty());

    EXPECT_EQ(back.right, backLeft + w - 1);
    EXPECT_EQ(back.top, nativeRow(100 + tm.tmAscent - 1));
    EXPECT_EQ(back.bottom, nativeRow(100 - tm.tmDescent));
}

TEST(RtPaintDraw, RuleLineAndRaisedText)
{
    Page p;
    PM_POINTL at{50, 100};
    ASSERT_TRUE(RtStrCharStringAt(p.ps(), p.fs, &at, ESC "x;"));
    Ink rule = inkOf(p.canvas);
    EXPECT_EQ(rule.top, H - 100 - 1);
    EXPECT_EQ(rule.height(), 1);
    EXPECT_EQ(rule.left, 0);
    EXPECT_EQ(rule.right, W - 1);
    EXPECT_EQ(inkOf(p.canvas, 0, 0, W, H, PALE).count, rule.count);

    // raised text sits higher and is smaller than normal text
    p.canvas.clear(WHITE);
    PM_POINTL n{20, 100}, r{200, 100};
    ASSERT_TRUE(RtStrCharStringAt(p.ps(), p.fs, &n, ESC "f1;HH"));
    ASSERT_TRUE(RtStrCharStringAt(p.ps(), p.fs, &r, ESC "f1;" ESC "p2;HH"));
    Ink normal = inkOf(p.canvas, 0, 0, 190, H), raised = inkOf(p.canvas, 190, 0, W, H);
    ASSERT_FALSE(raised.empty());
    EXPECT_LT(raised.height(), normal.height() * 2 / 3);
    EXPECT_LT(raised.bottom, normal.bottom - 3);
    // the advance after a run is its width
    EXPECT_EQ(r.x, 200);   // the argument is not changed
}

TEST(RtPaintWrap, LinesBreakAtWordsAndBlanksAreNotCarried)
{
    Page p;
    const char *s = "aaa     bbb ccc";
    LONG width = p.extent(1, "aaa     bb");
    PM_RECTL r = rect(10, 0, 10 + width - 1, H - 11);
    EXPECT_EQ(RtStrCharStringWrapRect(p.ps(), p.fs, s, &r), 2);
    auto bands = lineBands(p.canvas);
    ASSERT_EQ(bands.size(), 2u);
    // line 2 ("bbb ccc") starts at the left edge, as wide as its ink
    Ink l2 = bands[1];
    EXPECT_LE(l2.left - 10, 2);
    // the first line's box starts at the rectangle's top edge
    EXPECT_GE(bands[0].top, 10);
    EXPECT_LE(bands[0].top, 10 + p.metrics(1).tmAscent);
    // the line pitch is the box height plus one
    TEXTMETRICA tm = p.metrics(1);
    EXPECT_EQ(bands[1].bottom - bands[0].bottom, tm.tmAscent + tm.tmDescent + 1);

    // a word wider than the rectangle stays whole and runs past the edge
    p.canvas.clear(WHITE);
    PM_RECTL narrow = rect(10, 0, 10 + p.extent(1, "xx"), H - 11);
    EXPECT_EQ(RtPaintStrWrapRect(p.ps(), p.fs, "xxxxxxxx yy", &narrow, 0, 0), 2);
    bands = lineBands(p.canvas);
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_GT(bands[0].right, narrow.xRight + 10);
    EXPECT_LE(bands[1].right, 10 + p.extent(1, "yy"));
    // line feeds end paragraphs
    p.canvas.clear(WHITE);
    EXPECT_EQ(RtPaintStrWrapRect(p.ps(), p.fs, "a\nb\r\nc", &r, 0, 0), 3);
    EXPECT_EQ(lineBands(p.canvas).size(), 3u);
}

TEST(RtPaintWrap, ContinuationLinesKeepFormattingButNotBackground)
{
    Page p;
    // red bold big text with a green background wraps onto the second line
    const char *s = "first " ESC "f1;" ESC "b1;" ESC "c2;" ESC "g4;Wide Wide";
    LONG width = p.extent(7, "first Wide W");
    PM_RECTL r = rect(0, 0, width, H - 1);
    ASSERT_EQ(RtPaintStrWrapRect(p.ps(), p.fs, s, &r, 0, 0), 2);
    LONG split = 0;
    {
        auto bands = lineBands(p.canvas);
        ASSERT_EQ(bands.size(), 2u);
        split = bands[1].top;
    }
    // line 1 has green, line 2 none: the background is not carried over
    EXPECT_FALSE(inkOf(p.canvas, 0, 0, W, split, GREEN).empty());
    EXPECT_TRUE(inkOf(p.canvas, 0, split, W, H, GREEN).empty());
    // line 2 is red, as tall and as wide as "Wide" in the big bold font
    Ink line2 = inkOf(p.canvas, 0, split, W, H);
    Ink red2 = inkOf(p.canvas, 0, split, W, H, RED);
    EXPECT_GT(red2.count, line2.count / 2);
    Canvas ref(W, H);
    {
        // the same word drawn natively in entry 1 bold on a fresh canvas
        Context c2;
        RtStrAddContextEntry(c2.h, "Tahoma", -10);
        RtStrAddContextEntry(c2.h, "Tahoma", -20);
        PRTFONTSET fs2 = RtStrPutContextIntoPS(ref.ps(), c2.h);
        GpiSetCharSet(ref.ps(), 7);
        SetBkMode(ref.dc(), TRANSPARENT);
        TextOutA(ref.dc(), 0, 100, "Wide", 4);
        RtStrReleaseContextFromPS(ref.ps(), fs2, c2.h);
    }
    Ink want = inkOf(ref);
    EXPECT_EQ(line2.width(), want.width());
    EXPECT_EQ(line2.height(), want.height());
}

TEST(RtPaintRotate, InkTurnsWithTheAngle)
{
    Page p;
    const char *s = ESC "f1;Hello";
    PM_POINTL at{200, 150};
    LONG cx = 200, cy = H - 150;     // the native pivot
    ASSERT_TRUE(RtStrCharStringAtRot(p.ps(), p.fs, &at, s, 0));
    Ink k0 = inkOf(p.canvas);
    EXPECT_GT(k0.width(), k0.height());
    EXPECT_GE(k0.left, cx);
    EXPECT_LE(k0.bottom, cy + 1);

    struct Case { LONG angle; } cases[] = {{90}, {180}, {270}};
    for (auto [angle] : cases) {
        p.canvas.clear(WHITE);
        ASSERT_TRUE(RtStrCharStringAtRot(p.ps(), p.fs, &at, s, angle)) << angle;
        Ink k = inkOf(p.canvas);
        ASSERT_FALSE(k.empty()) << angle;
        if (angle == 180) {
            EXPECT_EQ(k.width(), k0.width());
            EXPECT_EQ(k.height(), k0.height());
            EXPECT_LE(k.right, cx + 1);     // to the left, below the pivot
            EXPECT_GE(k.top, cy - 1);
        } else {
            EXPECT_EQ(k.height(), k0.width()) << angle;
            EXPECT_EQ(k.width(), k0.height()) << angle;
            if (angle == 90) {              // reads upwards, tops to the left
                EXPECT_LE(k.bottom, cy + 1);
                EXPECT_LE(k.right, cx + 1);
            } else {                        // reads downwards, tops to the right
                EXPECT_GE(k.top, cy - 1);
                EXPECT_GE(k.left, cx - 1);
            }
        }
    }
    p.canvas.clear(WHITE);
    EXPECT_FALSE(RtStrCharStringAtRot(p.ps(), p.fs, &at, s, 45));
    EXPECT_TRUE(inkOf(p.canvas).empty());
    EXPECT_EQ(RtPaintStrWrapRect(p.ps(), p.fs, s, nullptr, 0, 0), 0);

    // wrapped at 90 degrees: lines stack from the left edge to the right
    p.canvas.clear(WHITE);
    PM_RECTL r = rect(20, 20, 120, 20 + p.extent(1, "Hello W"));
    EXPECT_EQ(RtPaintStrWrapRect(p.ps(), p.fs, "Hello World", &r, 0, 90), 2);
    Ink all = inkOf(p.canvas);
    EXPECT_GE(all.left, 20);
    EXPECT_GT(all.height(), all.width() / 2);
    EXPECT_GE(all.bottom, H - 21 - 2);
    EXPECT_TRUE(inkOf(p.canvas, 0, 0, W, H - 21 - p.extent(1, "Hello W") - 2).empty());
}

TEST(RtPaintCompiled, SharedFontsDrawLikeDirectOnes)
{
    Context ctx;
    RtStrAddContextEntry(ctx.h, "Tahoma", -12);
    PRTCOMPCONTEXT cc = RtStrCreateCompContext(ctx.h, nullptr);
    ASSERT_NE(cc, nullptr);
    EXPECT_EQ(RtStrAddCompContextEntry(cc, "Tahoma", -18), 0);   // as RtStrAddContextEntry
    EXPECT_EQ(RtStrAddCompContextEntry(nullptr, "Tahoma", -18), 0xFFFF);
    Canvas a(W, H), b(W, H);
    PRTFONTSET fsa = RtStrPutCompContextIntoPS(a.ps(), cc);
    PRTFONTSET fsb = RtStrPutContextIntoPS(b.ps(), ctx.h);
    ASSERT_NE(fsa, nullptr);
    const char *s = "one " ESC "f1;" ESC "b1;two " ESC "i1;" ESC "c2;three";
    PM_POINTL pa{10, 100}, pb{10, 100};
    ASSERT_TRUE(RtStrCharStringAt(a.ps(), fsa, &pa, s));
    ASSERT_TRUE(RtStrCharStringAt(b.ps(), fsb, &pb, s));
    EXPECT_TRUE(a.sameAs(b));
    EXPECT_GT(a.countNot(WHITE), 50);
    EXPECT_TRUE(RtStrReleaseCompContextFromPS(a.ps(), cc));
    EXPECT_FALSE(RtStrReleaseCompContextFromPS(a.ps(), cc));
    EXPECT_FALSE(GpiSetCharSet(a.ps(), 1));
    RtStrReleaseContextFromPS(b.ps(), fsb, ctx.h);
    EXPECT_EQ(RtStrDestroyCompContext(cc), ctx.h);
    EXPECT_EQ(RtStrDestroyCompContext(cc), nullptr);
}

TEST(RtPaintBadCalls, RefusedWithCodes)
{
    Page p;
    PM_POINTL at{1, 1};
    EXPECT_FALSE(RtStrCharStringAt(p.ps(), nullptr, &at, "x"));
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_FALSE(RtStrCharStringAt(p.ps(), (PRTFONTSET)&at, &at, "x"));
    EXPECT_EQ(GetLastError(), 6u);
    EXPECT_FALSE(RtStrCharStringAt(p.ps(), p.fs, &at, nullptr));
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_FALSE(RtStrCharStringAt((HPS)&at, p.fs, &at, "x"));   // set of another PS
    EXPECT_EQ(RtStrFindWrapPos(p.ps(), p.fs, nullptr, 10, 0), nullptr);
    EXPECT_EQ(RtStrQueryWidthTable(p.ps(), p.fs, nullptr, nullptr, 0), 0u);
    EXPECT_FALSE(RtStrQueryBox(p.ps(), p.fs, "x", nullptr));
    EXPECT_FALSE(RtStrOutAt(p.ps(), p.fs, &at, 1, 0, 0, 0xFFFF, "x", -1));
    EXPECT_EQ(RtStrPutContextIntoPS(p.ps(), nullptr), nullptr);
    EXPECT_EQ(RtStrPutContextIntoPS(nullptr, p.ctx.h), nullptr);
    EXPECT_EQ(RtStrCreateCompContext(nullptr, nullptr), nullptr);
    EXPECT_EQ(inkOf(p.canvas).count, 0);
    // an unknown font id falls back to the default font and still draws
    ASSERT_TRUE(RtStrOutAt(p.ps(), p.fs, &at, 999, 0, 0, 0xFFFF, "Mm", 2));
    EXPECT_GT(at.x, 1);
}

TEST(RtPaintRect, DrawnOnceClippedAndErased)
{
    Page p;
    // at the current position
    PM_POINTL start{37, 200};
    ASSERT_TRUE(GpiMove(p.ps(), &start));
    ASSERT_TRUE(RtStrCharString(p.ps(), p.fs, "Ix"));
    Ink k = inkOf(p.canvas);
    EXPECT_GE(k.left, 37);
    EXPECT_LE(k.left, 39);
    EXPECT_LE(k.bottom, nativeRow(200));
    // the string rectangle holds every inked pixel
    PM_RECTL sr{};
    ASSERT_TRUE(RtStrQueryStringRect(p.ps(), p.fs, "Ix", &start, &sr));
    EXPECT_EQ(sr.xRight - sr.xLeft + 1, p.extent(1, "Ix"));
    EXPECT_LE(nativeRow(sr.yTop), k.top);
    EXPECT_GE(nativeRow(sr.yBottom), k.bottom);

    // clipped to the rectangle; the first line's top at the rectangle's top
    p.canvas.clear(GREEN);
    PM_RECTL r = rect(50, 100, 50 + p.extent(1, "WWW") - 1, 150);
    ASSERT_TRUE(RtPaintStrRect(p.ps(), p.fs, "WWWWWWWWWW", &r, RT_PAINT_CLIP | RT_PAINT_ERASE));
    int greenLeft = inkOf(p.canvas, 0, 0, W, H, GREEN).count;
    LONG area = (r.xRight - r.xLeft + 1) * (r.yTop - r.yBottom + 1);
    EXPECT_EQ(greenLeft, W * H - area);                  // only the rectangle changed
    Ink text = inkOf(p.canvas, r.xLeft, nativeRow(r.yTop), r.xRight + 1, nativeRow(r.yBottom) + 1);
    EXPECT_GT(text.count, 20);
    EXPECT_LE(text.top - nativeRow(r.yTop), p.metrics(1).tmInternalLeading + 1);
    // the character-string level clips too
    p.canvas.clear(WHITE);
    ASSERT_TRUE(RtStrCharStringRect(p.ps(), p.fs, "WWWWWWWWWW", &r));
    Ink c = inkOf(p.canvas);
    EXPECT_GE(c.left, r.xLeft);
    EXPECT_LE(c.right, r.xRight);
}
