/*
 * chr.cpp - one character, narrow (Chr) and wide (WChr): classification,
 * case and hex conversion.
 *
 * A single-byte character is classified by one read of the character
 * table (flag byte, other-case byte).  A narrow double-byte character is
 * handed to the system's character-type query for the user's default
 * locale; a failed query, or one that reports a second character (the two
 * bytes did not make one character), answers 0.  Case conversion and the
 * digit classes leave double-byte characters alone.
 *
 * A wide unit whose high byte is 0x00 or 0xFF is its low byte and gets the
 * narrow answer; any other unit is a double-byte character with a fixed
 * answer, so no wide call ever reaches the system.
 */
#include "text/strint.h"

namespace orin::str {
namespace {

constexpr BYTE kNoOtherCase = '?';
constexpr int kUpperHalf = 128;
constexpr USHORT kHexLetterValue = 10;

/* Flag byte of a single-byte character. */
BYTE singleFlags(USHORT ch) noexcept
{
    return knlCharTable[ch].flags;
}

/* CT_CTYPE1 flags of a double-byte character, 0 when the system does not
 * see exactly one character in its two bytes. */
WORD doubleType(USHORT ch) noexcept
{
    char bytes[2] = {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
    WORD types[2] = {0, 0};

    if (!GetStringTypeExA(LOCALE_USER_DEFAULT, CT_CTYPE1, bytes, 2, types))
        return 0;
    if (types[1] != 0)
        return 0;
    return types[0];
}

/* Answers a class: table flags for a single byte, system flags for a
 * double-byte character (none: the class holds no double-byte one). */
USHORT classify(USHORT ch, BYTE tableFlags, WORD systemFlags) noexcept
{
    ch = norm(ch);
    if (ch <= kSingleMax)
        return static_cast<USHORT>(singleFlags(ch) & tableFlags);
    return systemFlags ? static_cast<USHORT>((doubleType(ch) & systemFlags) != 0) : 0;
}

/* The wide form of a narrow class: the narrow answer for a single-byte
 * unit, the fixed answer for a double-byte one. */
template <class R>
R wide(WCHAR ch, R (ORINAPI *narrow)(USHORT), R doubleAnswer) noexcept
{
    return isSingleUnit(ch) ? narrow(static_cast<USHORT>(ch & 0xFF)) : doubleAnswer;
}

constexpr USHORT kDoubleIsNot = 0;
constexpr USHORT kDoubleIs = 1;

}  // namespace
}  // namespace orin::str

using namespace orin::str;

/* ---- Narrow ----------------------------------------------------------------- */

USHORT ORINAPI ChrIsSpace(USHORT ch) noexcept
{
    return classify(ch, KNL_CT_SPACE, C1_SPACE);
}

USHORT ORINAPI ChrIsAlpha(USHORT ch) noexcept
{
    return classify(ch, KNL_CT_LOWER | KNL_CT_UPPER, C1_ALPHA | C1_UPPER | C1_LOWER);
}

USHORT ORINAPI ChrIsAlnum(USHORT ch) noexcept
{
    return classify(ch, KNL_CT_LOWER | KNL_CT_UPPER | KNL_CT_DIGIT,
                    C1_ALPHA | C1_UPPER | C1_LOWER | C1_DIGIT);
}

USHORT ORINAPI ChrIsLower(USHORT ch) noexcept { return classify(ch, KNL_CT_LOWER, C1_LOWER); }
USHORT ORINAPI ChrIsUpper(USHORT ch) noexcept { return classify(ch, KNL_CT_UPPER, C1_UPPER); }
USHORT ORINAPI ChrIsAscii(USHORT ch) noexcept { return classify(ch, KNL_CT_ASCII, 0); }
USHORT ORINAPI ChrIsDigit(USHORT ch) noexcept { return classify(ch, KNL_CT_DIGIT, 0); }
USHORT ORINAPI ChrIsHexDigit(USHORT ch) noexcept { return classify(ch, KNL_CT_XDIGIT, 0); }

/* Every double-byte character counts as printable. */
USHORT ORINAPI ChrIsPrint(USHORT ch) noexcept
{
    ch = norm(ch);
    if (ch > kSingleMax)
        return 1;
    return static_cast<USHORT>(singleFlags(ch) & KNL_CT_PRINT);
}

USHORT ORINAPI ChrToLower(USHORT ch) noexcept
{
    return lowerSingle(norm(ch));
}

USHORT ORINAPI ChrToUpper(USHORT ch) noexcept
{
    ch = norm(ch);
    if (ch <= kSingleMax && (singleFlags(ch) & KNL_CT_LOWER))
        return knlCharTable[ch].other;
    return ch;
}

USHORT ORINAPI ChrToHex(USHORT ch) noexcept
{
    ch = norm(ch);
    if (ch > kSingleMax || !(singleFlags(ch) & KNL_CT_XDIGIT))
        return 0;
    ch = ChrToLower(ch);
    if (ch >= '0' && ch <= '9')
        return static_cast<USHORT>(ch - '0');
    if (ch >= 'a' && ch <= 'f')
        return static_cast<USHORT>(ch - 'a' + kHexLetterValue);
    return 0;
}

USHORT ORINAPI ChrIsDBCSLeadByte(BYTE b) noexcept
{
    return static_cast<USHORT>(knlLeadByte[b] & 1);
}

/* Writes the frame's character table: like KnlInitCP, a call for start-up
 * time, not for a moment when other threads classify characters. */
void ORINAPI ChrSetConvModeOff(void) noexcept
{
    for (int c = kUpperHalf; c < 256; c++) {
        knlCharTable[c].flags = KNL_CT_PRINT;
        knlCharTable[c].other = kNoOtherCase;
    }
}

/* ---- Wide ------------------------------------------------------------------- */

USHORT ORINAPI WChrIsSpace(WCHAR ch) noexcept { return wide(ch, ChrIsSpace, kDoubleIsNot); }
USHORT ORINAPI WChrIsAscii(WCHAR ch) noexcept { return wide(ch, ChrIsAscii, kDoubleIsNot); }
USHORT ORINAPI WChrIsLower(WCHAR ch) noexcept { return wide(ch, ChrIsLower, kDoubleIsNot); }
USHORT ORINAPI WChrIsUpper(WCHAR ch) noexcept { return wide(ch, ChrIsUpper, kDoubleIsNot); }
USHORT ORINAPI WChrIsDigit(WCHAR ch) noexcept { return wide(ch, ChrIsDigit, kDoubleIsNot); }
USHORT ORINAPI WChrIsHexDigit(WCHAR ch) noexcept { return wide(ch, ChrIsHexDigit, kDoubleIsNot); }
USHORT ORINAPI WChrToHex(WCHAR ch) noexcept { return wide(ch, ChrToHex, kDoubleIsNot); }
USHORT ORINAPI WChrIsAlpha(WCHAR ch) noexcept { return wide(ch, ChrIsAlpha, kDoubleIs); }
USHORT ORINAPI WChrIsAlnum(WCHAR ch) noexcept { return wide(ch, ChrIsAlnum, kDoubleIs); }
USHORT ORINAPI WChrIsPrint(WCHAR ch) noexcept { return wide(ch, ChrIsPrint, kDoubleIs); }

/* A double-byte unit keeps its case. */
WCHAR ORINAPI WChrToLower(WCHAR ch) noexcept { return wide<USHORT>(ch, ChrToLower, ch); }
WCHAR ORINAPI WChrToUpper(WCHAR ch) noexcept { return wide<USHORT>(ch, ChrToUpper, ch); }
