/*
 * chr.c - one character: classification, case and hex conversion.
 *
 * A single-byte character is classified by one read of the character
 * table (flag byte, other-case byte).  A double-byte character is handed
 * to the system's character-type query for the user's default locale; a
 * failed query, or one that reports a second character (the two bytes did
 * not make one character), answers 0.  Case conversion and the digit
 * classes leave double-byte characters alone.
 */
#include "text/strint.h"

#define NO_OTHER_CASE  '?'
#define UPPER_HALF     128
#define HEX_LETTER_VALUE 10

/* Flag byte of a single-byte character. */
static BYTE singleFlags(USHORT ch)
{
    return knlCharTable[ch].flags;
}

/* CT_CTYPE1 flags of a double-byte character, 0 when the system does not
 * see exactly one character in its two bytes. */
static WORD doubleType(USHORT ch)
{
    char bytes[2] = { (char)(ch & 0xFF), (char)(ch >> 8) };
    WORD types[2] = { 0, 0 };

    if (!GetStringTypeExA(LOCALE_USER_DEFAULT, CT_CTYPE1, bytes, 2, types))
        return 0;
    if (types[1] != 0)
        return 0;
    return types[0];
}

/* Answers a class: table flags for a single byte, system flags for a
 * double-byte character. */
static USHORT classify(USHORT ch, BYTE tableFlags, WORD systemFlags)
{
    ch = chrNorm(ch);
    if (ch <= CHR_SINGLE_MAX)
        return (USHORT)(singleFlags(ch) & tableFlags);
    return systemFlags ? (USHORT)((doubleType(ch) & systemFlags) != 0) : 0;
}

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

USHORT ORINAPI ChrIsLower(USHORT ch) noexcept
{
    return classify(ch, KNL_CT_LOWER, C1_LOWER);
}

USHORT ORINAPI ChrIsUpper(USHORT ch) noexcept
{
    return classify(ch, KNL_CT_UPPER, C1_UPPER);
}

USHORT ORINAPI ChrIsAscii(USHORT ch) noexcept
{
    return classify(ch, KNL_CT_ASCII, 0);
}

USHORT ORINAPI ChrIsDigit(USHORT ch) noexcept
{
    return classify(ch, KNL_CT_DIGIT, 0);
}

USHORT ORINAPI ChrIsHexDigit(USHORT ch) noexcept
{
    return classify(ch, KNL_CT_XDIGIT, 0);
}

/* Every double-byte character counts as printable. */
USHORT ORINAPI ChrIsPrint(USHORT ch) noexcept
{
    ch = chrNorm(ch);
    if (ch > CHR_SINGLE_MAX)
        return 1;
    return (USHORT)(singleFlags(ch) & KNL_CT_PRINT);
}

USHORT ORINAPI ChrToLower(USHORT ch) noexcept
{
    return chrLower(chrNorm(ch));
}

USHORT ORINAPI ChrToUpper(USHORT ch) noexcept
{
    ch = chrNorm(ch);
    if (ch <= CHR_SINGLE_MAX && (singleFlags(ch) & KNL_CT_LOWER))
        return knlCharTable[ch].other;
    return ch;
}

USHORT ORINAPI ChrToHex(USHORT ch) noexcept
{
    ch = chrNorm(ch);
    if (ch > CHR_SINGLE_MAX || !(singleFlags(ch) & KNL_CT_XDIGIT))
        return 0;
    ch = ChrToLower(ch);
    if (ch >= '0' && ch <= '9')
        return (USHORT)(ch - '0');
    if (ch >= 'a' && ch <= 'f')
        return (USHORT)(ch - 'a' + HEX_LETTER_VALUE);
    return 0;
}

USHORT ORINAPI ChrIsDBCSLeadByte(BYTE b) noexcept
{
    return (USHORT)(knlLeadByte[b] & 1);
}

void ORINAPI ChrSetConvModeOff(void) noexcept
{
    int c;
    for (c = UPPER_HALF; c < 256; c++) {
        knlCharTable[c].flags = KNL_CT_PRINT;
        knlCharTable[c].other = NO_OTHER_CASE;
    }
}
