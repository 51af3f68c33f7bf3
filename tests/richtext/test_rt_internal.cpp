// The rules the painting layer takes from the string layer: font ids of
// the four fonts per context entry, point sizes of context entries, the
// drawing attributes of a word, and runs handed out as slices of the
// string itself.
#include <gtest/gtest.h>
#include "richtext/rtint.h"

namespace {

using namespace orin::rt;

// The word of a run from the escape-sequence table: font index in bits
// 2..9, bold bit 1, italic bit 0.
unsigned wordOf(unsigned font, bool bold, bool italic)
{
    return font << 2 | (bold ? 2u : 0u) | (italic ? 1u : 0u);
}

TEST(RtPaintRules, FontIdsNumberFourFontsPerEntry)
{
    EXPECT_EQ(fontId(USHORT(wordOf(1, true, false))), 7);
    for (unsigned font = 0; font < 256; font++)
        for (int style = 0; style < 4; style++) {
            bool bold = style & 2, italic = style & 1;
            unsigned expected = 4 * font + (bold && italic ? 4 : bold ? 3 : italic ? 2 : 1);
            // Other bits of the word do not change the font.
            USHORT word = USHORT(wordOf(font, bold, italic) | 0xFC00);
            ASSERT_EQ(fontId(word), expected) << font << " " << style;
        }
    EXPECT_EQ(drawAttributes(0xFFFF), 0x7C00);
    EXPECT_EQ(drawAttributes(0x83FF), 0);
}

TEST(RtPaintRules, PointSizesOfContextEntries)
{
    EXPECT_EQ(pointSize(0, 96), 12);
    EXPECT_EQ(pointSize(-10, 96), 10);
    EXPECT_EQ(pointSize(16, 96), 12);       // 16 pixels at 96 per inch
    EXPECT_EQ(pointSize(25, 120), 15);
    EXPECT_EQ(pointSize(30, 0), 12);        // no resolution known
}

TEST(RtPaintRules, RunsAreSlicesOfTheString)
{
    const char s[] = "ab\x7f" "b1;" "cd\x7f" "f2\x7f" "c7;e";
    struct Seen { const char *text; size_t bytes; Format f; };
    std::vector<Seen> seen;
    forEachRun(s, [&](const Format &f, const char *text, size_t bytes) {
        seen.push_back({text, bytes, f});
    });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].text, s);
    EXPECT_EQ(seen[0].bytes, 2u);
    EXPECT_EQ(seen[1].text, s + 6);
    EXPECT_EQ(seen[1].bytes, 2u);
    EXPECT_EQ(seen[1].f.word, 2);
    EXPECT_EQ(seen[2].text, s + 15);
    EXPECT_EQ(seen[2].f.word, 2 | 2 << 2);
    EXPECT_EQ(seen[2].f.font(), 2);
    EXPECT_EQ(seen[2].f.color, 7);
    EXPECT_EQ(fontId(seen[2].f.word), 11);
}

}  // namespace

namespace {

// The state a string's last run ends in.
Format finalState(const std::string &s)
{
    Format last;
    forEachRun(s.c_str(), [&](const Format &f, const char *, size_t) { last = f; });
    return last;
}

TEST(RtPaintRules, RestoreCodesBringBackTheState)
{
    Format f;
    f.word = 0x0002 | 0x1000 | 0x0400 | 0x4000 | (5 << 2);
    f.color = 12;
    f.back = 3;
    EXPECT_EQ(restoreCodes(f), "\x7f" "f5;\x7f" "c12;\x7f" "b1;\x7f" "u2;\x7f" "i0;\x7f" "s1;\x7f" "p2;");
    // Any state without the rule flag comes back (the background stays off).
    unsigned long seed = 1;
    for (int i = 0; i < 2000; i++) {
        seed = seed * 1103515245UL + 12345UL;
        Format g;
        g.word = USHORT((seed >> 8) & 0x7FFF);       // no rule flag: codes cannot clear it
        if ((g.word & 0x1800) == 0x1800)
            g.word &= USHORT(~0x0800);            // one underline kind at a time
        if ((g.word & 0x6000) == 0x6000)
            g.word &= USHORT(~0x2000);            // one position at a time
        g.color = USHORT(seed >> 3);
        std::string codes = restoreCodes(g);
        // From a state with every switch on, the codes lead to g.
        Format got = finalState("\x7f" "b1\x7f" "i1\x7f" "u1\x7f" "s1\x7f" "p1\x7f" "f9\x7f" "c3" + codes);
        ASSERT_EQ(got.word, g.word) << std::hex << g.word;
        ASSERT_EQ(got.color, g.color);
        ASSERT_EQ(got.back, 0xFFFF);
    }
}

}  // namespace
