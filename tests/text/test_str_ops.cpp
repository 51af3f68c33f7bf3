// Whole-string operations: searching and comparing, bounded copies,
// edits in place, building into a bounded destination (checked with guard
// bytes behind the buffer), double-byte text under code page 932.
#include "textinit.h"

namespace {

textinit::Init init;
using textinit::Guarded;

TEST(StrSearch, CharactersAndTerminator)
{
    const char s[] = "banana";
    EXPECT_EQ(StrChr(s, 'n'), s + 2);
    EXPECT_EQ(StrRChr(s, 'n'), s + 4);
    EXPECT_EQ(StrChr(s, 'x'), nullptr);
    EXPECT_EQ(StrChr(s, 0), s + 6);
    EXPECT_EQ(StrRChr(s, 0), nullptr);
    EXPECT_EQ(StrRChr("", 'a'), nullptr);
    EXPECT_EQ(StrCnt(s, 'a'), 3u);
    size_t off = 99;
    EXPECT_EQ(StrIndex(s, 'n', &off), 1);
    EXPECT_EQ(off, 2u);
    EXPECT_EQ(StrIndex(s, 'z', &off), 0);
    EXPECT_EQ(StrMultIndex(s, "xyn", &off), 1);
    EXPECT_EQ(off, 2u);
    EXPECT_EQ(StrMultIndex("", "a", &off), 0);
    EXPECT_EQ(StrPbrk(s, "zb"), s);
    EXPECT_EQ(StrPbrk(s, "xyz"), nullptr);
    EXPECT_EQ(StrPbrk("", "a"), nullptr);
}

TEST(StrSearch, Substrings)
{
    const char s[] = "Hello World";
    EXPECT_EQ(StrStr(s, "World"), s + 6);
    EXPECT_EQ(StrStr(s, "world"), nullptr);
    EXPECT_EQ(StrStr(s, ""), s);
    EXPECT_EQ(StrStr("", ""), nullptr);
    EXPECT_EQ(StrStr("ab", "abc"), nullptr);
    EXPECT_EQ(StrIStr(s, "WORLD"), s + 6);
    EXPECT_EQ(StrIStr(s, "o w"), s + 4);
    EXPECT_EQ(StrIStr(s, "worlds"), nullptr);
    EXPECT_EQ(StrIStr(s, nullptr), s);
    EXPECT_EQ(StrIStr(s, ""), s);
    const char t[] = "aaab";
    EXPECT_EQ(StrIStr(t, "AAB"), t + 1);
}

TEST(StrSearch, TrailBytesAreNeverFound)
{
    NEED_CP932();
    // 0x83 0x41 is one katakana character whose trail byte is 'A';
    // 0x95 0x5C one whose trail byte is the backslash.
    const char s[] = "\x83\x41" "A\x95\x5C\\";
    EXPECT_EQ(StrChr(s, 'A'), s + 2);
    EXPECT_EQ(StrRChr(s, 'A'), s + 2);
    EXPECT_EQ(StrCnt(s, 'A'), 1u);
    EXPECT_EQ(StrChr(s, '\\'), s + 5);
    EXPECT_EQ(StrRChr(s, '\\'), s + 5);
    EXPECT_EQ(StrChr(s, 0x5C95), s + 3);
    EXPECT_EQ(StrPbrk(s, "\\A"), s + 2);
    EXPECT_EQ(StrStr(s, "AA"), nullptr);
    EXPECT_EQ(StrStr(s, "A\x95"), s + 2);
    EXPECT_EQ(StrIStr(s, "a"), s + 2);
    size_t off = 0;
    EXPECT_EQ(StrIndex(s, '\\', &off), 1);
    EXPECT_EQ(off, 5u);
}

TEST(StrCompare, CountedCharacters)
{
    EXPECT_EQ(StrCNCmp("abc", "abd", 2), 0);
    EXPECT_LT(StrCNCmp("abc", "abd", 3), 0);
    EXPECT_EQ(StrCNCmp("a", "b", 1), -1);
    EXPECT_EQ(StrCNCmp("abc", "abc", 10), 0);
    EXPECT_GT(StrCNCmp("abc", "ab", 10), 0);
    EXPECT_EQ(StrCNICmp("Hello", "hELLO there", 5), 0);
    EXPECT_NE(StrCNICmp("Hello", "hELLO there", 6), 0);
    EXPECT_LT(StrCNICmp("ABC", "abd", 3), 0);
    EXPECT_EQ(StrCNCmp("x", "y", 0), 0);
    if (GetACP() == 1252) {
        // Case folding beyond ASCII comes from the code page's table.
        EXPECT_EQ(StrCNICmp("CAF\xC9", "caf\xE9", 4), 0);
        const char s[] = "x caf\xE9";
        EXPECT_EQ(StrIStr(s, "CAF\xC9"), s + 2);
    }
}

TEST(StrCompare, DoubleByteCharactersCompareAsValues)
{
    NEED_CP932();
    EXPECT_EQ(StrCNCmp("\x81\x40", "\x81\x41", 1), (SHORT)(0x4081 - 0x4181));
    EXPECT_EQ(StrCNCmp("\x81\x40" "a", "\x81\x40" "b", 1), 0);
    EXPECT_EQ(StrCNICmp("\x81\x40" "A", "\x81\x40" "a", 2), 0);
    EXPECT_NE(StrCNICmp("\x83\x41", "\x83\x61", 1), 0);   // trails are not letters
}

TEST(StrCopy, ByteCountedCopyNeverSplitsAPair)
{
    Guarded<4> d;
    EXPECT_EQ(StrNCpy(d.buf, "abcdef", 3), d.buf);
    EXPECT_STREQ(d.buf, "abc");
    EXPECT_TRUE(d.guardIntact());
    char small[8];
    EXPECT_STREQ(StrNCpy(small, "ab", 5), "ab");
    EXPECT_STREQ(StrNCpy(small, nullptr, 5), "");
    if (textinit::cp932()) {
        Guarded<4> k;
        EXPECT_STREQ(StrNCpy(k.buf, "ab\x81\x40", 3), "ab");
        EXPECT_TRUE(k.guardIntact());
        EXPECT_STREQ(StrNCpy(k.buf, "\x81\x40\x81\x40", 3), "\x81\x40");
    }
}

TEST(StrCopy, CharacterCountedCopyAndConcatenation)
{
    char d[16];
    EXPECT_STREQ(StrCNCpy(d, "abcdef", 0), "");
    EXPECT_STREQ(StrCNCpy(d, "abcdef", 2), "ab");
    EXPECT_STREQ(StrCNCat(d, "cdef", 3), "abcde");
    EXPECT_STREQ(StrCNCat(d, "", 3), "abcde");
    if (textinit::cp932()) {
        EXPECT_STREQ(StrCNCpy(d, "\x81\x40" "ab", 2), "\x81\x40" "a");
        EXPECT_STREQ(StrCNCat(d, "\x82\xA0\x82\xA2x", 2), "\x81\x40" "a\x82\xA0\x82\xA2");
    }
}

TEST(StrCopy, SetFillsCharacters)
{
    char s[] = "abcdef";
    EXPECT_STREQ(StrCNSet(s, '*', 3), "***def");
    EXPECT_STREQ(StrCNSet(s, '-', 50), "------");
    EXPECT_STREQ(StrSet(s, 'x'), "xxxxxx");
    if (textinit::cp932()) {
        char odd[] = "abcde";
        EXPECT_STREQ(StrCNSet(odd, 0x4081, 5), "\x81\x40\x81\x40" "e");
        char odd2[] = "abcde";
        EXPECT_EQ(StrSet(odd2, 0x4081), nullptr);
        EXPECT_STREQ(odd2, "\x81\x40\x81\x40" "e");
        char even[] = "abcd";
        EXPECT_EQ(StrSet(even, 0x4081), even);
        EXPECT_STREQ(even, "\x81\x40\x81\x40");
    }
}

TEST(StrCopy, OemCopiesMatchTheSystem)
{
    if (textinit::cp932())
        GTEST_SKIP() << "the system converts double-byte text by characters";
    const char text[] = "Caf\xE9 \xC4rger";
    char ref[sizeof text];
    CharToOemA(text, ref);
    char *oem = StrDupToOem(text);
    ASSERT_NE(oem, nullptr);
    EXPECT_STREQ(oem, ref);
    char *back = StrDupToAnsi(oem);
    ASSERT_NE(back, nullptr);
    char ref2[sizeof text];
    OemToCharA(oem, ref2);
    EXPECT_STREQ(back, ref2);
    free(oem);
    free(back);
    EXPECT_EQ(StrDupToOem(nullptr), nullptr);
}

TEST(StrEdit, Trimming)
{
    char a[] = "  \t text \t ";
    EXPECT_STREQ(StrRTrim(a), "  \t text");
    EXPECT_STREQ(StrLTrim(a), "text");
    char b[] = " \t both  ";
    EXPECT_STREQ(StrLRTrim(b), "both");
    char c[] = "   ";
    EXPECT_STREQ(StrRTrim(c), "");
    char d[] = "   ";
    EXPECT_STREQ(StrLTrim(d), "");
    if (textinit::cp932()) {
        // The ideographic space is white space; a trail byte 0x40 is not.
        char e[] = "\x81\x40" "a\x81\x40";
        EXPECT_STREQ(StrLRTrim(e), "a");
        char f[] = " \x83\x40";
        EXPECT_STREQ(StrRTrim(f), " \x83\x40");
    }
}

TEST(StrEdit, InsertAndDelete)
{
    char s[16] = "acd";
    EXPECT_EQ(StrInsertChar(s + 1, 'b'), s + 1);
    EXPECT_STREQ(s, "abcd");
    EXPECT_EQ(StrDeleteChar(s + 3), s + 3);
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(StrInsertChar(nullptr, 'x'), nullptr);
    EXPECT_STREQ(StrInsertStr(s, 1, "XY"), "aXYbc");
    EXPECT_STREQ(StrInsertStr(s, 99, "!"), "aXYbc!");
    EXPECT_STREQ(StrReplaceStr(s, 1, "xy"), "axybc!");
    EXPECT_STREQ(StrReplaceStr(s, 4, "12345"), "axyb12345");
    if (textinit::cp932()) {
        char k[16] = "ab";
        StrInsertChar(k + 1, 0x4081);
        EXPECT_STREQ(k, "a\x81\x40" "b");
        StrDeleteChar(k + 1);
        EXPECT_STREQ(k, "ab");
    }
}

TEST(StrEdit, EraseKeepAndCollapse)
{
    char a[] = "a,b,,c";
    EXPECT_STREQ(StrEraseChar(a, ','), "abc");
    char b[] = "a-b_c-";
    EXPECT_STREQ(StrEraseMultChars(b, "-_"), "abc");
    char c[] = "a1b2c3";
    EXPECT_STREQ(StrIntersectStr(c, "123"), "123");
    char d[] = "a   b  c ";
    EXPECT_STREQ(StrDeleteDupChar(d, ' '), "a b c ");
    if (textinit::cp932()) {
        char k[] = "x\x83\x41" "1A";
        EXPECT_STREQ(StrIntersectStr(k, "1"), "\x83\x41" "1");
        char m[] = "\x83\x41" "A\x83\x41";
        EXPECT_STREQ(StrEraseChar(m, 'A'), "\x83\x41\x83\x41");
        EXPECT_STREQ(StrEraseChar(m, 0x4183), "");
    }
}

TEST(StrEdit, MakeLength)
{
    char a[8] = "abc";
    EXPECT_STREQ(StrMakeLen(a, 5), "abc  ");
    EXPECT_STREQ(StrMakeLen(a, 2), "ab");
    char b[8] = "abc";
    EXPECT_STREQ(StrMakeLenCh(b, 6, '*'), "abc***");
    EXPECT_STREQ(StrMakeLenCh(b, 2, '*'), "ab");
    if (textinit::cp932()) {
        Guarded<7> g;
        strcpy(g.buf, "ab");
        EXPECT_STREQ(StrMakeLenCh(g.buf, 4, 0x4081), "ab\x81\x40\x81\x40");
        EXPECT_TRUE(g.guardIntact());
        char c[8] = "\x81\x40" "abc";
        EXPECT_STREQ(StrMakeLenCh(c, 2, ' '), "\x81\x40" "a");
    }
}

TEST(StrBuild, RepeatStaysInsideTheBuffer)
{
    Guarded<6> g;
    EXPECT_STREQ(StrRepeatString(g.buf, "abc", 6), "abcab");
    EXPECT_TRUE(g.guardIntact());
    Guarded<1> one;
    EXPECT_STREQ(StrRepeatString(one.buf, "abc", 1), "");
    EXPECT_TRUE(one.guardIntact());
    Guarded<4> e;
    EXPECT_STREQ(StrRepeatString(e.buf, "", 4), "");
    Guarded<4> z;
    StrRepeatString(z.buf, "abc", 0);
    EXPECT_EQ(z.buf[0], 'G');                          // size 0 writes nothing
}

TEST(StrBuild, RepeatWithDoubleByteCharacters)
{
    NEED_CP932();
    Guarded<6> six;
    EXPECT_STREQ(StrRepeatString(six.buf, "\x81\x40" "a", 6), "\x81\x40" "a\x81\x40");
    EXPECT_TRUE(six.guardIntact());
    // The second copy's pair would take the last byte: one byte shorter.
    Guarded<5> five;
    EXPECT_STREQ(StrRepeatString(five.buf, "\x81\x40" "a", 5), "\x81\x40" "a");
    EXPECT_TRUE(five.guardIntact());
    Guarded<2> two;
    EXPECT_STREQ(StrRepeatString(two.buf, "\x81\x40", 2), "");
    EXPECT_TRUE(two.guardIntact());
}

TEST(StrBuild, ReplaceSubstrings)
{
    Guarded<16> g;
    EXPECT_STREQ(StrReplace("a-b-c", g.buf, 16, "-", "--"), "a--b--c");
    EXPECT_STREQ(StrReplace("a--b", g.buf, 16, "--", ""), "ab");
    EXPECT_STREQ(StrReplace("xyz", g.buf, 16, "q", "r"), "xyz");
    EXPECT_TRUE(g.guardIntact());
    EXPECT_EQ(StrReplace("abc", g.buf, 16, "", "x"), nullptr);
    // Exactly fitting (7 bytes + terminator) and one byte short.
    Guarded<8> fit;
    EXPECT_STREQ(StrReplace("a-b-c", fit.buf, 8, "-", "--"), "a--b--c");
    EXPECT_TRUE(fit.guardIntact());
    Guarded<7> tight;
    EXPECT_EQ(StrReplace("a-b-c", tight.buf, 7, "-", "--"), nullptr);
    EXPECT_TRUE(tight.guardIntact());
    Guarded<3> shortBuf;
    EXPECT_EQ(StrReplace("abc", shortBuf.buf, 3, "x", "y"), nullptr);
    EXPECT_TRUE(shortBuf.guardIntact());
    if (textinit::cp932()) {
        // A trail byte equal to the pattern is not a match.
        Guarded<8> k;
        EXPECT_STREQ(StrReplace("\x83\x41" "A", k.buf, 8, "A", "b"), "\x83\x41" "b");
        Guarded<3> k3;
        EXPECT_EQ(StrReplace("a\x81\x40", k3.buf, 3, "z", "y"), nullptr);
        EXPECT_TRUE(k3.guardIntact());
    }
}

TEST(StrBuild, ReplaceCharacters)
{
    char s[16] = "a,b,c";
    char d[16];
    EXPECT_STREQ(StrReplaceChar(s, d, ',', ';'), "a;b;c");
    EXPECT_STREQ(s, "a,b,c");
    EXPECT_STREQ(StrReplaceChar(s, nullptr, ',', ' '), "a b c");
    EXPECT_STREQ(StrReplaceChar(s, nullptr, 'b', 0), "a ");
}

TEST(StrBuild, ReplaceCharacterGrowsInPlace)
{
    NEED_CP932();
    Guarded<8> g;
    strcpy(g.buf, "a,b,c");                            // 5 bytes + room for 2 more
    EXPECT_EQ(StrReplaceChar(g.buf, nullptr, ',', 0x4081), g.buf);
    EXPECT_STREQ(g.buf, "a\x81\x40" "b\x81\x40" "c");
    EXPECT_TRUE(g.guardIntact());
    EXPECT_STREQ(StrReplaceChar(g.buf, nullptr, 0x4081, '-'), "a-b-c");
}

TEST(StrTokCompat, SplitsLikeTheCLibrary)
{
    char s[] = "a, b,,c";
    EXPECT_STREQ(StrTok(s, ", "), "a");
    EXPECT_STREQ(StrTok(nullptr, ", "), "b");
    EXPECT_STREQ(StrTok(nullptr, ", "), "c");
    EXPECT_EQ(StrTok(nullptr, ", "), nullptr);
}

TEST(StrWide, RoundTripThroughUtf16)
{
    WCHAR w[16];
    EXPECT_EQ(StrMultiByteToWideChar("abc", w, 16), 4);
    EXPECT_EQ(std::wstring(w), std::wstring(L"abc"));
    char n[16];
    EXPECT_EQ(StrWideCharToMultiByte(L"xyz", n, 16), 4);
    EXPECT_STREQ(n, "xyz");
    EXPECT_EQ(StrMultiByteToWideChar("abc", w, 2), 0);  // too small
    if (textinit::cp932()) {
        EXPECT_EQ(StrMultiByteToWideChar("\x82\xA0", w, 16), 2);
        EXPECT_EQ(w[0], 0x3042);
        EXPECT_EQ(StrWideCharToMultiByte(w, n, 16), 3);
        EXPECT_STREQ(n, "\x82\xA0");
    }
}

} // namespace
