// Number parsing on odd inputs (signs, blanks between digits, prefixes
// with too few characters, 16-bit wrap) and formatting: the decimal point
// whatever the locale, bounded output checked with guard bytes.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include "textinit.h"

namespace {

textinit::Init init;
using textinit::Guarded;

TEST(StrToPlain, FollowTheCLibrary)
{
    const char *inputs[] = {"123abc", "  -45", "+7", "70000", "-70000", "x1", "", "2147483647"};
    for (const char *s : inputs) {
        EXPECT_EQ(StrToShort(s), (SHORT)atoi(s)) << s;
        EXPECT_EQ(StrToUShort(s), (USHORT)atoi(s)) << s;
        EXPECT_EQ(StrToLong(s), (LONG)atol(s)) << s;
        EXPECT_EQ(StrToULong(s), (ULONG)atol(s)) << s;
    }
    EXPECT_EQ(StrToUShort("70000"), 4464);
    EXPECT_DOUBLE_EQ(StrToDouble("2.5e3"), 2500.0);
    EXPECT_EQ(StrToShort(nullptr), 0);
}

TEST(StrToPlain, DoubleExNeedsTheWholeString)
{
    double d = 0;
    EXPECT_EQ(StrToDoubleEx("1.5 ", &d), 0xFFFF);
    EXPECT_DOUBLE_EQ(d, 1.5);
    EXPECT_EQ(StrToDoubleEx("-2.25", &d), 0);
    EXPECT_DOUBLE_EQ(d, -2.25);
    EXPECT_EQ(StrToDoubleEx("abc", &d), 0xFFFF);
    EXPECT_EQ(StrToDoubleEx("", &d), 0xFFFF);
    EXPECT_EQ(StrToDoubleEx("1", nullptr), 0xFFFF);
    EXPECT_EQ(StrToDoubleEx(nullptr, &d), 0xFFFF);
}

TEST(StrToDecimal, SignsAndBlanks)
{
    EXPECT_EQ(StrToNShort(" -12", 4), -12);
    EXPECT_EQ(StrToNShort(" -12", 3), -1);              // n cuts the digits
    EXPECT_EQ(StrToNShort("--5", 3), 5);                // each minus flips
    EXPECT_EQ(StrToNShort("+-+7", 4), -7);
    EXPECT_EQ(StrToNShort("1 2", 3), 12);
    EXPECT_EQ(StrToNShort("12x3", 4), 12);
    EXPECT_EQ(StrToNShort("-32768", 6), -32768);
    EXPECT_EQ(StrToNShort("40000", 5), (SHORT)40000);   // wraps in 16 bits
    EXPECT_EQ(StrToNUShort("1 2", 3), 12);
    EXPECT_EQ(StrToNUShort("\t+1+2 3", 7), 123);
    EXPECT_EQ(StrToNUShort("-5", 2), 0);                // a minus ends the scan
    EXPECT_EQ(StrToNUShort("65535", 5), 65535);
    EXPECT_EQ(StrToNUShort("65536", 5), 0);
    EXPECT_EQ(StrToNUShort("70000", 5), 4464);
    EXPECT_EQ(StrToNUShort("123", 0), 0);
    EXPECT_EQ(StrToNUShort(nullptr, 5), 0);
}

TEST(StrToHex, PrefixSignAndCount)
{
    EXPECT_EQ(StrToNHexLong("0x", 2), 0);
    EXPECT_EQ(StrToNHexLong("0x5", 2), 0);              // prefix needs 3 characters
    EXPECT_EQ(StrToNHexLong("0x5", 3), 5);
    EXPECT_EQ(StrToNHexLong("0X1f", 4), 31);
    EXPECT_EQ(StrToNHexLong("0x1F", 3), 1);
    EXPECT_EQ(StrToNHexLong("-1F", 3), -31);
    EXPECT_EQ(StrToNHexLong("  -  +1F", 8), -31);
    EXPECT_EQ(StrToNHexLong(" + 0x ff", 8), 255);
    EXPECT_EQ(StrToNHexLong("ffg", 3), 255);
    EXPECT_EQ(StrToNHexLong("g1", 2), 0);
    EXPECT_EQ(StrToNHexLong("   1", 3), 0);             // n used up by blanks
    EXPECT_EQ(StrToNHexLong("FFFFFFFF", 8), -1);
    EXPECT_EQ(StrToNHexLong("123456789", 9), 0x23456789);  // keeps the low 32 bits
    EXPECT_EQ(StrToHexLong("1f"), 31);
    EXPECT_EQ(StrToHexShort("FFFF"), -1);
    EXPECT_EQ(StrToHexUShort("FFFF"), 0xFFFF);
    EXPECT_EQ(StrToHexUShort("12345"), 0x2345);
    EXPECT_EQ(StrToNHexShort("8000", 4), (SHORT)0x8000);
    EXPECT_EQ(StrToNHexUShort("abcd", 2), 0xAB);
    EXPECT_EQ(StrToHexLong(nullptr), 0);
}

TEST(StrToHex, DoubleByteCharactersEndTheNumber)
{
    NEED_CP932();
    // The hex string's length in characters (2) is what StrToHexLong uses.
    EXPECT_EQ(StrToHexLong("A\x82\x60"), 10);
    EXPECT_EQ(StrToNHexLong("\x81\x40" "1", 5), 0);
}

TEST(StrToBin, Digits)
{
    EXPECT_EQ(StrToNBinLong("101", 3), 5);
    EXPECT_EQ(StrToNBinLong("-11", 3), -3);
    EXPECT_EQ(StrToNBinLong("1021", 4), 2);
    EXPECT_EQ(StrToNBinLong("111", 2), 3);
    EXPECT_EQ(StrToNBinLong(" +1", 3), 1);
    EXPECT_EQ(StrToNBinLong("0x1", 3), 0);
    EXPECT_EQ(StrToNBinLong("2", 1), 0);
}

TEST(StrFormat, DecimalPointWhateverTheLocale)
{
    char buf[64];
    if (setlocale(LC_ALL, "German")) {
        snprintf(buf, sizeof buf, "%.1f", 1.5);
        if (strcmp(buf, "1,5") != 0)
            GTEST_SKIP() << "the C run time ignores the German locale here";
        KnlInitCP();
        EXPECT_EQ(StrSprintf(buf, "%.1f|%d", 1.5, 42), 6);
        EXPECT_STREQ(buf, "1.5|42");
    } else {
        KnlInitCP();
        EXPECT_EQ(StrSprintf(buf, "%.2f", 0.25), 4);
        EXPECT_STREQ(buf, "0.25");
    }
}

TEST(StrFormat, BoundedOutputStopsAtTheSize)
{
    Guarded<4> g;
    EXPECT_EQ(StrSNprintf(g.buf, 4, "%s", "abcdef"), 0xFFFF);
    EXPECT_STREQ(g.buf, "abc");
    EXPECT_TRUE(g.guardIntact());

    Guarded<4> exact;
    EXPECT_EQ(StrSNprintf(exact.buf, 4, "%d", 123), 3);
    EXPECT_STREQ(exact.buf, "123");
    EXPECT_EQ(StrSNprintf(exact.buf, 4, "%d", 1234), 0xFFFF);
    EXPECT_STREQ(exact.buf, "123");
    EXPECT_TRUE(exact.guardIntact());

    Guarded<4> none;
    EXPECT_EQ(StrSNprintf(none.buf, 0, "%d", 1), 0xFFFF);
    EXPECT_EQ(none.buf[0], 'G');
    EXPECT_TRUE(none.guardIntact());
}

USHORT vsnWrap(char *buf, size_t size, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    USHORT n = StrVSNprintf(buf, size, fmt, ap);
    va_end(ap);
    return n;
}

TEST(StrFormat, ArgumentListFormNeedsNoForcedTerminator)
{
    Guarded<3> g;
    EXPECT_EQ(vsnWrap(g.buf, 3, "%s", "abcdef"), 0xFFFF);
    EXPECT_EQ(std::string(g.buf, 3), "abc");
    EXPECT_TRUE(g.guardIntact());
    Guarded<8> ok;
    EXPECT_EQ(vsnWrap(ok.buf, 8, "%s-%d", "ab", 7), 4);
    EXPECT_STREQ(ok.buf, "ab-7");
}

} // namespace
