// Rich-text painting under the double-byte code page 932: line breaks and
// width tables keep double-byte characters whole, and the ideographic space
// breaks lines.  Expected widths are measured natively on the test's own
// context.  Pixel checks live in test_rt_paint (font rendering differs
// between the prefixes of the two code pages).
#include "rtpainttest.h"

using namespace rtpainttest;

static textinit::Init init;

TEST(RtPaintDbcs, WrapKeepsDoubleByteCharactersWhole)
{
    if (!textinit::cp932())
        GTEST_SKIP() << "needs code page 932";
    Page p;
    // ten double-byte characters, a blank, one more
    std::string word;
    for (int i = 0; i < 10; i++)
        word += "\x82\xa0";
    std::string s = word + " \x82\xa0";
    LONG three = p.extent(1, word.substr(0, 6));
    const char *next = RtStrFindWrapPos(p.ps(), p.fs, s.c_str(), three, 0);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next - s.c_str(), 21);        // the word stays whole
    EXPECT_EQ(RtStrQueryWidthTable(p.ps(), p.fs, s.c_str(), nullptr, 0), 12u);
    LONG widths[12] = {};
    ASSERT_EQ(RtStrQueryWidthTable(p.ps(), p.fs, s.c_str(), widths, 12), 12u);
    EXPECT_EQ(widths[0], p.extent(1, "\x82\xa0"));
    // the ideographic space breaks a line like a blank
    std::string t = "\x82\xa0\x82\xa0\x81\x40\x82\xa0\x82\xa0";
    next = RtStrFindWrapPos(p.ps(), p.fs, t.c_str(), p.extent(1, t.substr(0, 8)), 0);
    EXPECT_EQ(next - t.c_str(), 6);
}
