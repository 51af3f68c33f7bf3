// One character at a time: classification against the C library and the
// system, case and hex conversion, stepping over double-byte characters,
// dangling lead bytes.  The double-byte cases run for real in the code
// page 932 pass of this program.
#include <cctype>
#include <clocale>
#include "textinit.h"

namespace {

textinit::Init init;

TEST(ChrClass, AsciiAgreesWithTheCLibrary)
{
    // The C library's own classes are taken from its "C" locale (its
    // double-byte locales call the tab printable); KnlInitCP restores ours.
    setlocale(LC_ALL, "C");
    for (int c = 0; c < 128; c++) {
        EXPECT_EQ(ChrIsAlpha(c) != 0, isalpha(c) != 0) << c;
        EXPECT_EQ(ChrIsAlnum(c) != 0, isalnum(c) != 0) << c;
        EXPECT_EQ(ChrIsDigit(c) != 0, isdigit(c) != 0) << c;
        EXPECT_EQ(ChrIsHexDigit(c) != 0, isxdigit(c) != 0) << c;
        EXPECT_EQ(ChrIsSpace(c) != 0, isspace(c) != 0) << c;
        EXPECT_EQ(ChrIsLower(c) != 0, islower(c) != 0) << c;
        EXPECT_EQ(ChrIsUpper(c) != 0, isupper(c) != 0) << c;
        EXPECT_EQ(ChrIsPrint(c) != 0, isprint(c) != 0) << c;
        EXPECT_NE(ChrIsAscii(c), 0) << c;
        EXPECT_EQ(ChrToLower(c), tolower(c)) << c;
        EXPECT_EQ(ChrToUpper(c), toupper(c)) << c;
    }
    KnlInitCP();
}

TEST(ChrClass, UpperHalfAgreesWithTheSystem)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "checked in code page 1252";
    for (int c = 128; c < 256; c++) {
        EXPECT_EQ(ChrIsAscii(c), 0) << c;
        EXPECT_EQ(ChrIsLower(c) != 0, IsCharLowerA((CHAR)c) != 0) << c;
        EXPECT_EQ(ChrIsUpper(c) != 0, IsCharUpperA((CHAR)c) != 0) << c;
        if (IsCharUpperA((CHAR)c)) {
            EXPECT_EQ(ChrToLower(c), (BYTE)(ULONG_PTR)CharLowerA((LPSTR)(ULONG_PTR)c)) << c;
        }
    }
    EXPECT_EQ(ChrToUpper(0xE9), 0xC9);               // e acute
}

TEST(ChrClass, SignExtendedCharsAreTheirLowByte)
{
    char minus = (char)0xB1;                          // single byte in 1252 and 932
    EXPECT_EQ(ChrToLower((USHORT)(SHORT)minus), ChrToLower(0xB1));
    EXPECT_EQ(ChrIsPrint((USHORT)(SHORT)minus), ChrIsPrint(0xB1));
    const char s[] = "ab\xB1z";
    EXPECT_EQ(StrChr(s, (USHORT)(SHORT)minus), s + 2);
    EXPECT_EQ(StrCnt(s, (USHORT)(SHORT)minus), 1u);
    if (GetACP() == 1252) {
        EXPECT_EQ(ChrToUpper((USHORT)(SHORT)(char)0xE9), 0xC9);
    }
}

TEST(ChrClass, HexDigitValues)
{
    const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(ChrToHex(digits[i]), i);
        EXPECT_EQ(ChrToHex(toupper(digits[i])), i);
    }
    EXPECT_EQ(ChrToHex('g'), 0);
    EXPECT_EQ(ChrToHex(' '), 0);
    EXPECT_EQ(ChrToHex(0x4181), 0);
}

TEST(ChrClass, TwoBytesThatAreNotOneCharacterAnswerNothing)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "checked in code page 1252";
    // 'a' and 'b' as one value: the system sees two characters.
    EXPECT_EQ(ChrIsAlpha(0x6261), 0);
    EXPECT_EQ(ChrIsAlnum(0x6261), 0);
    EXPECT_EQ(ChrToUpper(0x6261), 0x6261);
}

TEST(ChrClass, DoubleByteCharactersAskTheSystem)
{
    NEED_CP932();
    const USHORT ideoSpace = 0x4081, hiraganaA = 0xA082;
    const USHORT wideUpperA = 0x6082, wideLowerA = 0x8182, wideZero = 0x4F82;
    EXPECT_NE(ChrIsSpace(ideoSpace), 0);
    EXPECT_EQ(ChrIsAlpha(ideoSpace), 0);
    EXPECT_NE(ChrIsAlpha(hiraganaA), 0);
    EXPECT_NE(ChrIsUpper(wideUpperA), 0);
    EXPECT_EQ(ChrIsLower(wideUpperA), 0);
    EXPECT_NE(ChrIsLower(wideLowerA), 0);
    EXPECT_NE(ChrIsAlnum(wideZero), 0);
    // Digit, hex and ASCII classes never hold a double-byte character.
    EXPECT_EQ(ChrIsDigit(wideZero), 0);
    EXPECT_EQ(ChrIsHexDigit(wideUpperA), 0);
    EXPECT_EQ(ChrIsAscii(hiraganaA), 0);
    EXPECT_EQ(ChrIsPrint(ideoSpace), 1);
    EXPECT_EQ(ChrToLower(wideUpperA), wideUpperA);
    EXPECT_EQ(ChrToUpper(wideLowerA), wideLowerA);
}

TEST(ChrClass, ConvModeOffDropsUpperHalfCase)
{
    ChrSetConvModeOff();
    for (int c = 128; c < 256; c++) {
        EXPECT_EQ(ChrIsAlpha(c), 0) << c;
        EXPECT_EQ(ChrToLower(c), c) << c;
        EXPECT_NE(ChrIsPrint(c), 0) << c;
    }
    EXPECT_EQ(ChrToLower('Q'), 'q');
    KnlInitCP();                                      // restores the classes
    if (GetACP() == 1252) {
        EXPECT_EQ(ChrToLower(0xC9), 0xE9);
    }
}

TEST(StrStep, SingleByteCodePageCountsEveryByte)
{
    if (textinit::cp932())
        GTEST_SKIP() << "checked without lead bytes";
    const char s[] = "\x81\x40\x41";
    EXPECT_EQ(StrCLen(s), 3u);
    EXPECT_EQ(StrGetChar(s), 0x81);
    EXPECT_EQ(StrCharNext(s), s + 1);
    EXPECT_EQ(MbsLen(s), 1);
    EXPECT_EQ(StrCharPrev(s, s + 3), s + 2);
    EXPECT_EQ(StrGetCharPos(s, 3), s + 3);
    EXPECT_EQ(StrGetCharPos(s, 4), nullptr);
}

TEST(StrStep, LeadAndTrailArePairs)
{
    NEED_CP932();
    const char s[] = "\x81\x40\x41";
    EXPECT_EQ(StrCLen(s), 2u);
    EXPECT_EQ(StrGetChar(s), 0x4081);
    EXPECT_EQ(StrCharNext(s), s + 2);
    EXPECT_EQ(MbsLen(s), 2);
    EXPECT_EQ(StrGetCharPos(s, 0), s);
    EXPECT_EQ(StrGetCharPos(s, 1), s + 2);
    EXPECT_EQ(StrGetCharPos(s, 2), s + 3);
    EXPECT_EQ(StrGetCharPos(s, 3), nullptr);
    USHORT ch = 0;
    EXPECT_EQ(StrGetCharNext(s, &ch), s + 2);
    EXPECT_EQ(ch, 0x4081);
    EXPECT_EQ(StrGetCharNext(s + 2, &ch), s + 3);
    EXPECT_EQ(ch, 'A');
}

TEST(StrStep, BackwardsScansFromTheStart)
{
    NEED_CP932();
    // The trail byte 0x81 of the first pair is itself a lead-byte value:
    // stepping one byte back from the end would land inside that pair.
    const char s[] = "\x81\x81\x81\x40";
    EXPECT_EQ(StrCLen(s), 2u);
    EXPECT_EQ(StrCharPrev(s, s + 4), s + 2);
    EXPECT_EQ(StrCharPrev(s, s + 2), s);
    EXPECT_EQ(StrCharPrev(s, s), s);
    USHORT ch = 1;
    EXPECT_EQ(StrGetCharPrev(s, s + 4, &ch), s + 2);
    EXPECT_EQ(ch, 0x4081);
    EXPECT_EQ(StrGetCharPrev(s, s, &ch), s);
    EXPECT_EQ(ch, 0);
}

TEST(StrStep, DanglingLeadByteIsOneCharacter)
{
    NEED_CP932();
    char s[] = "\x81";
    EXPECT_EQ(StrCLen(s), 1u);
    EXPECT_EQ(MbsLen(s), 2);
    EXPECT_EQ(StrCharNext(s), s + 1);
    EXPECT_EQ(StrGetChar(s), 0x81);
    USHORT ch = 0;
    EXPECT_EQ(StrGetCharNext(s, &ch), s + 1);
    EXPECT_EQ(ch, 0x81);
    EXPECT_EQ(StrIsValidDBCS(s), 0);
    EXPECT_EQ(StrValidateDBCS(s), 0);
    EXPECT_STREQ(s, "");

    char t[] = "a\x81\x40\x82";
    EXPECT_EQ(StrCLen(t), 3u);
    EXPECT_EQ(StrValidateDBCS(t), 0);
    EXPECT_STREQ(t, "a\x81\x40");
    EXPECT_EQ(StrIsValidDBCS(t), 1);
}

TEST(StrStep, PutCharWritesBothBytesOfAPair)
{
    char buf[8] = "xxxxxx";
    char *end = StrPutCharNext(buf, 'a');
    EXPECT_EQ(end, buf + 1);
    end = StrPutCharNext(end, 0x4081);
    if (textinit::cp932()) {
        EXPECT_EQ(end, buf + 3);
        EXPECT_EQ(std::string(buf, 4), std::string("a\x81\x40x"));
    } else {
        EXPECT_EQ(end, buf + 2);                       // no lead bytes: low byte only
        EXPECT_EQ(std::string(buf, 3), std::string("a\x81x"));
    }
    EXPECT_EQ(StrPutChar(buf, 'z'), buf);
    EXPECT_EQ(buf[0], 'z');
}

TEST(StrStep, NullArguments)
{
    EXPECT_EQ(StrCLen(nullptr), 0u);
    EXPECT_EQ(StrCLen(""), 0u);
    EXPECT_EQ(StrCharNext(nullptr), nullptr);
    EXPECT_EQ(StrGetChar(nullptr), 0);
    EXPECT_EQ(StrGetCharPos(nullptr, 0), nullptr);
    USHORT ch = 7;
    EXPECT_EQ(StrGetCharNext(nullptr, &ch), nullptr);
    EXPECT_EQ(ch, 0);
    const char e[] = "";
    EXPECT_EQ(StrCharNext(e), e);                      // stays on the terminator
}

TEST(StrCase, DoubleByteCharactersAreLeftAlone)
{
    NEED_CP932();
    // Trail bytes 0x41 ('A') and 0x61 ('a') must not change case.
    char up[] = "a\x83\x61" "b";
    EXPECT_STREQ(StrUpr(up), "A\x83\x61" "B");
    char low[] = "\x83\x41" "B";
    EXPECT_STREQ(StrLwr(low), "\x83\x41" "b");
    char words[] = "\x83\x41x \x83\x41Y";
    EXPECT_STREQ(StrLwrFirstUprAll(words), "\x83\x41x \x83\x41y");
}

TEST(StrCase, WordStarts)
{
    char two[] = "hELLO wORLD";
    EXPECT_STREQ(StrLwrFirstUprAll(two), "Hello World");
    char tab[] = "one\ttWO  three";
    EXPECT_STREQ(StrLwrFirstUprAll(tab), "One\tTwo  Three");
    char first[] = "hELLO wORLD";
    EXPECT_STREQ(StrLwrFirstUpr(first), "Hello world");
    char mixed[] = "MiXeD 123";
    EXPECT_STREQ(StrUpr(mixed), "MIXED 123");
    EXPECT_STREQ(StrLwr(mixed), "mixed 123");
    EXPECT_EQ(StrLwr(nullptr), nullptr);
}

} // namespace
