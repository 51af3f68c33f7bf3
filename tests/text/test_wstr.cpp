// Wide strings of 16-bit character values: packing double-byte text into
// units and back, fixed classes of double-byte units, comparison rules,
// bounded builders with guard units, and the number parsers unit by unit.
#include <vector>
#include "textinit.h"
#include "wstr.h"

namespace {

textinit::Init init;

using W = std::vector<WCHAR>;

W units(const WCHAR *s)
{
    W out;
    for (; *s; s++)
        out.push_back(*s);
    return out;
}

// A wide buffer with guard units behind its usable size.
template <size_t N>
struct WGuarded {
    static const size_t GUARD = 8;
    static const WCHAR MARK = 0x4747;
    WCHAR buf[N + GUARD];
    WGuarded() { for (auto &u : buf) u = MARK; }
    bool guardIntact() const
    {
        for (size_t i = N; i < N + GUARD; i++)
            if (buf[i] != MARK)
                return false;
        return true;
    }
};

TEST(WStrForm, PacksDoubleByteCharactersIntoOneUnit)
{
    WCHAR w[8];
    char n[8];
    WStrMultiByteToWideChar(w, "\x81\x40\x41");
    if (textinit::cp932()) {
        EXPECT_EQ(units(w), (W{0x4081, 0x0041}));
        EXPECT_STREQ(WStrWideCharToMultiByte(n, w), "\x81\x40\x41");
        WStrMultiByteToWideChar(w, "a\x82");            // dangling lead byte
        EXPECT_EQ(units(w), (W{'a', 0x0082}));
        EXPECT_STREQ(WStrWideCharToMultiByte(n, w), "a\x82");
    } else {
        EXPECT_EQ(units(w), (W{0x0081, 0x0040, 0x0041}));
        EXPECT_STREQ(WStrWideCharToMultiByte(n, w), "\x81\x40\x41");
    }
    EXPECT_EQ(WStrCLen(w), textinit::cp932() ? 2u : 3u);
    EXPECT_EQ(WStrMultiByteToWideChar(nullptr, "x"), nullptr);
}

TEST(WChr, DoubleByteUnitsHaveFixedAnswers)
{
    EXPECT_EQ(WChrIsAlpha(0x4081), 1);
    EXPECT_EQ(WChrIsAlnum(0x4081), 1);
    EXPECT_EQ(WChrIsPrint(0x4081), 1);
    EXPECT_EQ(WChrIsDigit(0x4081), 0);
    EXPECT_EQ(WChrIsSpace(0x4081), 0);
    EXPECT_EQ(WChrIsUpper(0x4181), 0);
    EXPECT_EQ(WChrToHex(0x4181), 0);
    EXPECT_EQ(WChrToLower(0x4181), 0x4181);
    // Units with high byte 0x00 or 0xFF follow the narrow twin.
    EXPECT_NE(WChrIsAlpha('a'), 0);
    EXPECT_EQ(WChrIsAlpha('1'), 0);
    EXPECT_EQ(WChrToLower('Q'), 'q');
    EXPECT_EQ(WChrToUpper((WCHAR)0xFF61), 'A');          // sign-extended 'a'
    EXPECT_EQ(WChrToHex('F'), 15);
    EXPECT_NE(WChrIsSpace((WCHAR)0xFF09), 0);
}

TEST(WStrCompare, LengthsAndOrder)
{
    EXPECT_EQ(WStrLen(L"abc"), 6u);
    EXPECT_EQ(WStrCLen(L"abc"), 3u);
    EXPECT_EQ(WStrCLen(nullptr), 0u);
    EXPECT_GT(WStrCmp(L"abc", L"ab"), 0);
    EXPECT_LT(WStrCmp(L"ab", L"abc"), 0);
    EXPECT_GT(WStrCmp(L"abc", L""), 0);
    EXPECT_EQ(WStrCmp(L"abc", L"abc"), 0);
    EXPECT_EQ(WStrCmp(L"abd", L"abc"), 1);
    EXPECT_EQ(WStrNCmp(L"abc", L"abd", 2), 0);
    EXPECT_LT(WStrNCmp(L"abc", L"abd", 3), 0);
    EXPECT_EQ(WStrNICmp(L"HeLLo", L"hello!", 5), 0);
    EXPECT_EQ(WStrICmp(L"HeLLo", L"hello"), 0);
    EXPECT_NE(WStrICmp(L"HeLLo", L"hello!"), 0);
    const WCHAR dbcs1[] = {0x4081, 'A', 0}, dbcs2[] = {0x4081, 'a', 0};
    EXPECT_EQ(WStrICmp(dbcs1, dbcs2), 0);
}

TEST(WStrSearch, UnitsAndPatterns)
{
    const WCHAR s[] = {'a', 0x4081, 'b', 'a', 0};
    EXPECT_EQ(WStrChr(s, 'a'), s);
    EXPECT_EQ(WStrRChr(s, 'a'), s + 3);
    EXPECT_EQ(WStrChr(s, 0x4081), s + 1);
    EXPECT_EQ(WStrChr(s, 0), nullptr);                    // never the terminator
    EXPECT_EQ(WStrRChr(L"", 'a'), nullptr);
    const WCHAR pat[] = {0x4081, 'B', 0};
    EXPECT_EQ(WStrStr(s, pat), nullptr);
    EXPECT_EQ(WStrIStr(s, pat), s + 1);
    EXPECT_EQ(WStrStr(s, L""), s);
    EXPECT_EQ(WStrStr(L"", L""), nullptr);
    EXPECT_EQ(WStrCnt(s, 'a'), 2u);
    size_t off = 0;
    EXPECT_EQ(WStrIndex(s, 'b', &off), 1);
    EXPECT_EQ(off, 2u);
    EXPECT_EQ(WStrMultIndex(s, L"xb", &off), 1);
    EXPECT_EQ(off, 2u);
    EXPECT_EQ(WStrMultIndex(s, L"xyz", &off), 0);
}

TEST(WStrCopy, CountedCopiesTerminate)
{
    WGuarded<4> g;
    EXPECT_EQ(units(WStrNCpy(g.buf, L"abcdef", 3)), units(L"abc"));
    EXPECT_TRUE(g.guardIntact());
    WCHAR d[16];
    WStrCpy(d, L"ab");
    EXPECT_EQ(units(WStrNCat(d, L"cde", 2)), units(L"abcd"));
    EXPECT_EQ(units(WStrCat(d, L"xy")), units(L"abcdxy"));
    EXPECT_EQ(units(WStrNSet(d, '*', 2)), units(L"**cdxy"));
    EXPECT_EQ(units(WStrSet(d, '-')), units(L"------"));
    WCHAR *dup = WStrDup(L"dup");
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(units(dup), units(L"dup"));
    free(dup);
    EXPECT_EQ(WStrDup(nullptr), nullptr);
}

TEST(WStrEdit, CaseTrimAndFilters)
{
    WCHAR a[] = L"hELLO\twORLD";
    EXPECT_EQ(units(WStrLwrFirstUprAll(a)), units(L"Hello\tWorld"));
    EXPECT_EQ(units(WStrLwrFirstUpr(a)), units(L"Hello\tworld"));
    EXPECT_EQ(units(WStrUpr(a)), units(L"HELLO\tWORLD"));
    WCHAR b[] = L" \t x y \t ";
    EXPECT_EQ(units(WStrLRTrim(b)), units(L"x y"));
    WCHAR c[] = L"a,b,,c";
    EXPECT_EQ(units(WStrEraseChar(c, ',')), units(L"abc"));
    WCHAR d[] = L"a-b_c";
    EXPECT_EQ(units(WStrEraseMultChars(d, L"-_")), units(L"abc"));
    WCHAR e[] = {'a', '1', 0x4081, 'b', '2', 0};
    EXPECT_EQ(units(WStrIntersectStr(e, L"12")), (W{'1', 0x4081, '2'}));
    WCHAR f[] = L"a   b  c";
    EXPECT_EQ(units(WStrDeleteDupChar(f, ' ')), units(L"a b c"));
    WCHAR g[16] = L"acd";
    WStrInsertChar(g + 1, 'b');
    EXPECT_EQ(units(g), units(L"abcd"));
    WStrDeleteChar(g);
    EXPECT_EQ(units(g), units(L"bcd"));
    EXPECT_EQ(units(WStrInsertStr(g, 1, L"XY")), units(L"bXYcd"));
    EXPECT_EQ(units(WStrInsertStr(g, 50, L"!")), units(L"bXYcd!"));
}

TEST(WStrEdit, MakeLength)
{
    WCHAR a[8] = L"abc";
    EXPECT_EQ(units(WStrMakeLen(a, 5)), units(L"abc  "));
    EXPECT_EQ(units(WStrMakeLen(a, 2)), units(L"ab"));
    WCHAR b[8] = L"ab";
    EXPECT_EQ(units(WStrMakeLenCh(b, 4, 0x4081)), (W{'a', 'b', 0x4081, 0x4081}));
    EXPECT_EQ(units(WStrMakeLenCh(b, 1, '*')), units(L"a"));
}

TEST(WStrBuild, BoundedBuildersStayInside)
{
    WGuarded<6> r;
    EXPECT_EQ(units(WStrRepeatString(r.buf, L"abc", 6)), units(L"abcab"));
    EXPECT_TRUE(r.guardIntact());
    WGuarded<1> one;
    EXPECT_EQ(units(WStrRepeatString(one.buf, L"abc", 1)), units(L""));
    EXPECT_TRUE(one.guardIntact());

    WGuarded<8> fit;
    EXPECT_EQ(units(WStrReplace(L"a-b-c", fit.buf, 8, L"-", L"--")), units(L"a--b--c"));
    EXPECT_TRUE(fit.guardIntact());
    WGuarded<7> tight;
    EXPECT_EQ(WStrReplace(L"a-b-c", tight.buf, 7, L"-", L"--"), nullptr);
    EXPECT_TRUE(tight.guardIntact());
    EXPECT_EQ(WStrReplace(L"abc", fit.buf, 8, L"", L"x"), nullptr);
    EXPECT_EQ(units(WStrReplace(L"a--b", fit.buf, 8, L"--", L"")), units(L"ab"));

    WCHAR s[] = L"a,b,c";
    EXPECT_EQ(units(WStrReplaceChar(s, nullptr, ',', 0x4081)),
              (W{'a', 0x4081, 'b', 0x4081, 'c'}));
    WCHAR d[8];
    EXPECT_EQ(units(WStrReplaceChar(s, d, 'b', 0)), (W{'a', 0x4081}));
}

TEST(WStrTo, PlainAndCountedParsers)
{
    EXPECT_EQ(WStrToShort(L" -123x"), -123);
    EXPECT_EQ(WStrToUShort(L"70000"), 4464);
    EXPECT_EQ(WStrToLong(L"-70000"), -70000);
    EXPECT_EQ(WStrToULong(L"42"), 42u);
    EXPECT_DOUBLE_EQ(WStrToDouble(L"2.5"), 2.5);
    const WCHAR stop[] = {'1', '2', 0x4081, '3', 0};    // parsing stops at the unit
    EXPECT_EQ(WStrToLong(stop), 12);
    double v = 0;
    EXPECT_EQ(WStrToDoubleEx(L"1.25", &v), 0);
    EXPECT_DOUBLE_EQ(v, 1.25);
    EXPECT_EQ(WStrToDoubleEx(stop, &v), 0);             // the copy "12" is whole
    EXPECT_EQ(WStrToDoubleEx(L"1.25 ", &v), 0xFFFF);
    EXPECT_EQ(WStrToNShort(L" -12", 4), -12);
    EXPECT_EQ(WStrToNUShort(L"1 2", 3), 12);
    EXPECT_EQ(WStrToNUShort(L"65536", 5), 0);
    EXPECT_EQ(WStrToNHexLong(L"0x", 2), 0);
    EXPECT_EQ(WStrToNHexLong(L"-1F", 3), -31);
    EXPECT_EQ(WStrToHexLong(L"0x1f"), 31);
    EXPECT_EQ(WStrToHexShort(L"FFFF"), -1);
    EXPECT_EQ(WStrToHexUShort(L"FFFF"), 0xFFFF);
    EXPECT_EQ(WStrToNHexShort(L"8000", 4), (SHORT)0x8000);
    EXPECT_EQ(WStrToNHexUShort(L"abcd", 2), 0xAB);
    EXPECT_EQ(WStrToNHexLong(stop, 5), 0x12);
    EXPECT_EQ(WStrToShort(nullptr), 0);
}

} // namespace
