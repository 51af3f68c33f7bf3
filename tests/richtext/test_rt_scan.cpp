// Scanning and runs: which bytes are escape sequences, what each code does
// to the formatting word (bit values written out from the word's layout),
// how a string splits into runs, into a caller's array and a grown one,
// and what bad arguments answer.
#include "rttest.h"

namespace {

textinit::Init init;
using namespace rttest;

// The state after s, read from the (single) last run of s + "a".
RunRecord stateAfter(const std::string &codes)
{
    std::string s = codes + "a";
    std::vector<RunRecord> runs = runsOf(s.c_str());
    return runs.empty() ? RunRecord{0xDEAD, 0, 0, ""} : runs.back();
}

TEST(RtScan, EachCodeSetsItsBits)
{
    struct Case { const char *codes; unsigned word, color, back; };
    const Case cases[] = {
        {"", 0, 0, 0xFFFF},
        {ESC "i1", 0x0001, 0, 0xFFFF},
        {ESC "i", 0x0000, 0, 0xFFFF},            // a missing number is 0
        {ESC "b7;", 0x0002, 0, 0xFFFF},
        {ESC "s1", 0x0400, 0, 0xFFFF},
        {ESC "u1", 0x0800, 0, 0xFFFF},
        {ESC "u5", 0x0800, 0, 0xFFFF},           // anything but 0 and 2: single
        {ESC "u2", 0x1000, 0, 0xFFFF},
        {ESC "u2" ESC "u1", 0x0800, 0, 0xFFFF},  // single replaces double
        {ESC "u1" ESC "u0", 0x0000, 0, 0xFFFF},
        {ESC "p7", 0x2000, 0, 0xFFFF},           // anything but 0 and 2: position 1
        {ESC "p2", 0x4000, 0, 0xFFFF},
        {ESC "p2" ESC "p0", 0x0000, 0, 0xFFFF},
        {ESC "f1", 1 << 2, 0, 0xFFFF},
        {ESC "f255", 255 << 2, 0, 0xFFFF},
        {ESC "f3" ESC "b1" ESC "f2", (2 << 2) | 0x0002, 0, 0xFFFF},
        {ESC "x", 0x8000, 0, 0xFFFF},
        {ESC "x0" ESC "b1", 0x8002, 0, 0xFFFF},  // x ignores its number
        {ESC "c65535", 0, 65535, 0xFFFF},
        {ESC "c12" ESC "c3", 0, 3, 0xFFFF},
        {ESC "g0", 0, 0, 0},
        {ESC "g255", 0, 0, 255},
        {ESC "g300", 0, 0, 0xFFFF},              // 256 or more: no background
        {ESC "g5" ESC "g256", 0, 0, 0xFFFF},
        {ESC "i1" ESC "b1" ESC "s1" ESC "u2" ESC "p1" ESC "f9" ESC "x",
         0x0001 | 0x0002 | 0x0400 | 0x1000 | 0x2000 | (9 << 2) | 0x8000, 0, 0xFFFF},
    };
    for (const Case &c : cases) {
        RunRecord r = stateAfter(c.codes);
        EXPECT_EQ(r, (RunRecord{c.word, c.color, c.back, "a"})) << "codes " << c.codes + (c.codes[0] ? 1 : 0);
    }
}

TEST(RtScan, NumbersSemicolonsAndTextEscapes)
{
    // One ';' ends the number; a second one is text.
    EXPECT_EQ(runsOf(ESC "b1;;x"), (std::vector<RunRecord>{{2, 0, 0xFFFF, ";x"}}));
    // Digits run to the first non-digit.
    EXPECT_EQ(runsOf(ESC "c12x3"), (std::vector<RunRecord>{{0, 12, 0xFFFF, "x3"}}));
    // The escape byte before a letter that is no code is visible text.
    EXPECT_EQ(RtStrLen("a" ESC "zb"), 4u);
    EXPECT_EQ(runsOf("a" ESC "zb"), (std::vector<RunRecord>{{0, 0, 0xFFFF, "a" ESC "zb"}}));
    EXPECT_EQ(RtStrLen(ESC "B1"), 3u);           // code letters are lower case
    // An escape byte right before the terminator ends the string.
    EXPECT_EQ(RtStrLen("ab" ESC), 2u);
    EXPECT_EQ(runsOf("ab" ESC), (std::vector<RunRecord>{{0, 0, 0xFFFF, "ab"}}));
}

TEST(RtScan, CallerArrayKeepsTheFirstRuns)
{
    const char s[] = "a" ESC "b1b" ESC "b0c" ESC "i1d";
    RTSTRRUN array[3];
    memset(array, 0x5A, sizeof array);
    PRTSTRRUN p = array;
    EXPECT_EQ(RtStrSplit(s, &p, 2), 2u);
    EXPECT_EQ(p, array);
    EXPECT_STREQ(array[0].pszText, "a");
    EXPECT_EQ(array[1].usFormat, 2);
    EXPECT_STREQ(array[1].pszText, "b");
    const unsigned char *third = reinterpret_cast<const unsigned char *>(&array[2]);
    for (size_t i = 0; i < sizeof(RTSTRRUN); i++)
        ASSERT_EQ(third[i], 0x5A) << "the third record was written";
    free(array[0].pszText);
    free(array[1].pszText);
    EXPECT_EQ(sizeof(RTSTRRUN), 14u);
}

TEST(RtScan, GrownArrayHoldsManyRuns)
{
    std::string s, visible;
    for (int i = 0; i < 1000; i++) {
        s += ESC "c" + std::to_string(i) + ";" + char('a' + i % 26);
        visible += char('a' + i % 26);
    }
    std::vector<RunRecord> runs = runsOf(s.c_str());
    ASSERT_EQ(runs.size(), 1000u);
    for (int i = 0; i < 1000; i++)
        ASSERT_EQ(runs[i], (RunRecord{0, unsigned(i), 0xFFFF, std::string(1, char('a' + i % 26))}));
    EXPECT_EQ(RtStrLen(s.c_str()), 1000u);
    std::string out(s.size() + 1, '#');
    EXPECT_EQ(RtStrToStr(s.c_str(), &out[0]), &out[0]);
    EXPECT_EQ(std::string(out.c_str()), visible);
}

TEST(RtScan, BadArgumentsGetCodes)
{
    PRTSTRRUN runs = nullptr;
    SetLastError(0);
    EXPECT_EQ(RtStrSplit(nullptr, &runs, 0), 0u);
    EXPECT_EQ(KnlGetLastError(), 87);
    SetLastError(0);
    EXPECT_EQ(RtStrSplit("abc", nullptr, 0), 0u);
    EXPECT_EQ(KnlGetLastError(), 87);
    SetLastError(0);
    EXPECT_EQ(RtStrSplit("abc", &runs, 4), 0u);    // no caller array behind it
    EXPECT_EQ(KnlGetLastError(), 87);
    EXPECT_EQ(RtStrLen(nullptr), 0u);
    SetLastError(0);
    EXPECT_EQ(RtStrToStr(nullptr, nullptr), nullptr);
    EXPECT_EQ(KnlGetLastError(), 87);
    EXPECT_EQ(RtStripFromFormatting(nullptr), nullptr);
    EXPECT_EQ(RtStrSplitAndPaste(nullptr), 87);
}

}  // namespace
