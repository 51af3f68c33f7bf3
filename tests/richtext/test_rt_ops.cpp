// String operations on the visible text: searches across formatting
// changes and under a formatting mask, the formatting at a position, case
// and fill, inserting and deleting at visible positions, trimming, the
// caret-convention formatter and the run codes of RtStrSplitAndPaste.
#include "rttest.h"

namespace {

textinit::Init init;
using namespace rttest;

TEST(RtOps, SearchesSeeOnlyVisibleText)
{
    const char s[] = "ab" ESC "b1;cd" ESC "b0;cb" ESC "c2b";
    EXPECT_EQ(RtStrChr(s, 'c'), s + 6);
    EXPECT_EQ(RtStrChr(s, 'b'), s + 1);
    EXPECT_EQ(RtStrRChr(s, 'b'), s + 17);
    EXPECT_EQ(RtStrChr(s, 'z'), nullptr);
    EXPECT_EQ(RtStrRChr(s, 'z'), nullptr);
    EXPECT_EQ(RtStrChr(s, 0), s + strlen(s));
    // Code letters and numbers are not text.
    EXPECT_EQ(RtStrChr(ESC "b1x", '1'), nullptr);
    EXPECT_EQ(RtStrStr(ESC "i1;x", "i"), nullptr);
    // A match runs across codes and is reported at its first character.
    EXPECT_EQ(RtStrStr(s, "bcd"), s + 1);
    EXPECT_EQ(RtStrStr(s, "dcbb"), s + 7);
    EXPECT_EQ(RtStrStr(s, "bb"), s + 13);
    EXPECT_EQ(RtStrStr(s, "ba"), nullptr);
    EXPECT_EQ(RtStrIStr(s, "BCD"), s + 1);
    EXPECT_EQ(RtStrStr(s, "BCD"), nullptr);
    EXPECT_EQ(RtStrStr(s, ""), s);
    EXPECT_EQ(RtStrStr(ESC "b1", ""), nullptr);        // no visible text
    // Under a mask: bold (0x0002) matches only in the bold part.
    EXPECT_EQ(RtStrStrAttr(s, "c", 0x0002, 0x0002), s + 6);
    EXPECT_EQ(RtStrStrAttr(s, "c", 0x0002, 0), s + 12);
    EXPECT_EQ(RtStrStrAttr(s, "bc", 0x0002, 0x0002), nullptr);   // b is not bold
    EXPECT_EQ(RtStrIStrAttr(s, "CB", 0x0002, 0), s + 12);
    EXPECT_EQ(RtStrIStrAttr(s, "D", 0x0002, 0x0002), s + 7);
    EXPECT_EQ(RtStrStr(nullptr, "a"), nullptr);
    EXPECT_EQ(RtStrStr(s, nullptr), nullptr);
}

TEST(RtOps, FormattingAtAVisiblePosition)
{
    const char s[] = "ab" ESC "b1;" ESC "f3;" ESC "c5;cd" ESC "g7;" ESC "x;e";
    USHORT font = 0, attr = 0, color = 0, back = 0;
    // Codes directly in front of the character reached are in force.
    EXPECT_EQ(RtStrNAttr(s, 2, &font, &attr, &color, &back), s + 14);
    EXPECT_EQ(font, 3);
    EXPECT_EQ(attr, 0x0002);
    EXPECT_EQ(color, 5);
    EXPECT_EQ(back, 0);          // the given background was the start state
    font = 0; attr = 0; color = 0; back = 0xFFFF;
    RtStrNAttr(s, 1, &font, &attr, &color, &back);
    EXPECT_EQ(font, 0);
    EXPECT_EQ(attr, 0);
    EXPECT_EQ(back, 0xFFFF);
    font = 0; attr = 0; color = 0; back = 0xFFFF;
    EXPECT_EQ(RtStrNAttr(s, 99, &font, &attr, &color, &back), s + strlen(s));
    EXPECT_EQ(attr, 0x8002);
    EXPECT_EQ(back, 7);
    // Given outputs supply the starting state; missing ones are optional.
    font = 200; attr = 0x0001 | 0x03FC; color = 9;
    RtStrNAttr("xy", 1, &font, &attr, &color, nullptr);
    EXPECT_EQ(font, 200);
    EXPECT_EQ(attr, 0x0001);     // the font bits are not attributes
    EXPECT_EQ(color, 9);
    // Counting characters.
    attr = 0;
    EXPECT_EQ(RtStrNCAttr(s, 3, nullptr, &attr, nullptr, nullptr), s + 15);
    EXPECT_EQ(attr, 0x0002);
    EXPECT_EQ(RtStrNBytesToNChr(s, 3), 3u);
    EXPECT_EQ(RtStrNAttr(nullptr, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST(RtOps, CaseAndFillLeaveCodesAlone)
{
    char s[] = "ab" ESC "b1;Cd" ESC "i1e";
    EXPECT_EQ(RtStrUpr(s), s);
    EXPECT_STREQ(s, "AB" ESC "b1;CD" ESC "i1E");
    RtStrLwr(s);
    EXPECT_STREQ(s, "ab" ESC "b1;cd" ESC "i1e");
    RtStrSet(s, '*');
    EXPECT_STREQ(s, "**" ESC "b1;**" ESC "i1*");
    EXPECT_EQ(RtStrUpr(nullptr), nullptr);
    EXPECT_EQ(RtStrSet(nullptr, 'a'), nullptr);
}

TEST(RtOps, InsertAndDeleteAtVisiblePositions)
{
    char buf[64];
    strcpy(buf, "ab" ESC "b1;cd");
    EXPECT_EQ(RtStrInsertStr(buf, 2, "XY"), buf);       // takes c's formatting
    EXPECT_STREQ(buf, "ab" ESC "b1;XYcd");
    strcpy(buf, "ab" ESC "b1;cd");
    EXPECT_EQ(RtStrPreInsertStr(buf, 2, "XY"), buf);    // takes b's formatting
    EXPECT_STREQ(buf, "abXY" ESC "b1;cd");
    strcpy(buf, "ab" ESC "b1;cd" ESC "b0");
    RtStrPreInsertStr(buf, 4, "!");                      // at the end: appends
    EXPECT_STREQ(buf, "ab" ESC "b1;cd" ESC "b0!");
    strcpy(buf, "ab" ESC "b1;cd" ESC "b0");
    RtStrInsertStr(buf, 4, "!");
    EXPECT_STREQ(buf, "ab" ESC "b1;cd" ESC "b0!");
    strcpy(buf, ESC "u1;ab");
    RtStrInsertChar(buf, 0, 'Z');
    EXPECT_STREQ(buf, ESC "u1;Zab");
    RtStrDeleteChar(buf, 1);
    EXPECT_STREQ(buf, ESC "u1;Zb");
    strcpy(buf, "a" ESC "b1;" ESC "i1;b");
    RtStrDeleteChar(buf, 1);                             // codes stay
    EXPECT_STREQ(buf, "a" ESC "b1;" ESC "i1;");
    SetLastError(0);
    EXPECT_EQ(RtStrDeleteChar(buf, 1), nullptr);        // nothing there
    EXPECT_EQ(KnlGetLastError(), 87);
    EXPECT_EQ(RtStrInsertStr(buf, 3, "x"), nullptr);     // past the end
    EXPECT_STREQ(buf, "a" ESC "b1;" ESC "i1;");
    EXPECT_EQ(RtStrInsertStr(nullptr, 0, "x"), nullptr);
    EXPECT_EQ(RtStrInsertStr(buf, 0, nullptr), nullptr);
    EXPECT_EQ(RtStrInsertChar(buf, 0, 0), nullptr);
}

TEST(RtOps, TrimsKeepCodes)
{
    char buf[64];
    strcpy(buf, " " ESC "b1; \tab c " ESC "b0; " ESC "i1");
    RtStrLTrim(buf);
    EXPECT_STREQ(buf, ESC "b1;ab c " ESC "b0; " ESC "i1");
    RtStrRTrim(buf);
    EXPECT_STREQ(buf, ESC "b1;ab c" ESC "b0;" ESC "i1");
    strcpy(buf, "  " ESC "c3  ");
    RtStrLRTrim(buf);
    EXPECT_STREQ(buf, ESC "c3");
    strcpy(buf, "x");
    RtStrLRTrim(buf);
    EXPECT_STREQ(buf, "x");
    EXPECT_EQ(RtStrLTrim(nullptr), nullptr);
}

TEST(RtOps, CopiesAreByteWise)
{
    char buf[32] = "a" ESC "b1";
    EXPECT_EQ(RtStrCat(buf, "x^"), buf);
    EXPECT_STREQ(buf, "a" ESC "b1x^");
    RtStrCpy(buf, ESC "i1z");
    EXPECT_STREQ(buf, ESC "i1z");
    RtStrNCpy(buf, "abcdef", 3);
    EXPECT_STREQ(buf, "abc");
    Heap d(RtStrDup(ESC "c1q"));
    EXPECT_EQ(str(d), ESC "c1q");
    EXPECT_EQ(RtStrCat(nullptr, "a"), nullptr);
    EXPECT_EQ(RtStrDup(nullptr), nullptr);
}

TEST(RtOps, FormatterUsesCarets)
{
    char buf[64];
    EXPECT_EQ(RtStrSprintf(buf, "^b1;%d^^%s^b0;", 42, "x"), 12);
    EXPECT_STREQ(buf, ESC "b1;42^x" ESC "b0;");
    EXPECT_EQ(RtStrLen(buf), 4u);
    EXPECT_EQ(RtStrSNprintf(buf, sizeof buf, "^c%u;%s", 7u, "ok"), 6);
    EXPECT_STREQ(buf, ESC "c7;ok");
    memset(buf, 'G', sizeof buf);
    EXPECT_EQ(RtStrSNprintf(buf, 4, "^b1;abc"), 0xFFFF);
    EXPECT_EQ(std::string(buf, 4), std::string(ESC "b1\0", 4));
    EXPECT_EQ(buf[4], 'G');
    EXPECT_EQ(RtStrSNprintf(nullptr, 4, "a"), 0xFFFF);
    EXPECT_EQ(RtStrSprintf(buf, nullptr), 0);
}

}  // namespace
