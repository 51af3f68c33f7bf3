/*
 * str_to.c - number parsing: the C library's converters for the plain
 * forms, and the library's own counted parsers for 16-bit decimal,
 * 32-bit hexadecimal and binary numbers.
 *
 * The counted parsers look at no more than n characters, each step
 * (skipped blank, sign, prefix byte, digit) using up one.  They never
 * fail: a string without digits gives 0, and the 16-bit decimal forms
 * wrap like the 16-bit registers they were written for.  A double-byte
 * character ends every scan.  The same scanners serve the wide family:
 * a scan reads either narrow characters or wide units.
 */
#include <stdlib.h>
#include "text/strint.h"

#define DEC_RADIX   10
#define HEX_PREFIX_CHARS 3   /* "0x" and at least one more character */

SHORT ORINAPI StrToShort(const char *s) noexcept   { return s ? (SHORT)atoi(s) : 0; }
USHORT ORINAPI StrToUShort(const char *s) noexcept { return s ? (USHORT)atoi(s) : 0; }
LONG ORINAPI StrToLong(const char *s) noexcept     { return s ? (LONG)atol(s) : 0; }
ULONG ORINAPI StrToULong(const char *s) noexcept   { return s ? (ULONG)atol(s) : 0; }
double ORINAPI StrToDouble(const char *s) noexcept { return s ? atof(s) : 0.0; }

USHORT ORINAPI StrToDoubleEx(const char *s, double *value) noexcept
{
    char *end = NULL;
    double v;
    if (!s) {
        if (value) *value = 0.0;
        return ORIN_ERR_GENERAL;
    }
    v = strtod(s, &end);
    if (!value)
        return ORIN_ERR_GENERAL;
    *value = v;
    return (end && *end == 0 && end != s) ? 0 : ORIN_ERR_GENERAL;
}

static USHORT scanChar(const STRSCAN *sc)
{
    if (!sc->left)
        return 0;
    return sc->w ? chrNorm(*sc->w) : strCharValue(sc->p);
}

static void scanStep(STRSCAN *sc)
{
    if (sc->w)
        sc->w++;
    else
        sc->p += strCharBytes(sc->p);
    sc->left--;
}

/* The raw unit or byte k places ahead (k = 0 or 1, behind a non-zero). */
static USHORT scanPeek(const STRSCAN *sc, size_t k)
{
    return sc->w ? sc->w[k] : (BYTE)sc->p[k];
}

static int isWhite(USHORT ch)
{
    return ch && ch <= CHR_SINGLE_MAX && (knlCharTable[ch].flags & KNL_CT_SPACE);
}

static void skipWhite(STRSCAN *sc)
{
    while (isWhite(scanChar(sc)))
        scanStep(sc);
}

STRSCAN StrScanNarrow(const char *s, size_t n)
{
    STRSCAN sc = { s, NULL, s ? n : 0 };
    return sc;
}

STRSCAN StrScanWide(const WCHAR *s, size_t n)
{
    STRSCAN sc = { NULL, s, s ? n : 0 };
    return sc;
}

USHORT StrScanUShort(STRSCAN sc)
{
    USHORT value = 0;
    for (;;) {
        USHORT ch = scanChar(&sc);
        if (ch == '\t' || ch == ' ' || ch == '+') {
            scanStep(&sc);
        } else if (ch >= '0' && ch <= '9') {
            value = (USHORT)(value * DEC_RADIX + (ch - '0'));
            scanStep(&sc);
        } else {
            return value;
        }
    }
}

SHORT StrScanShort(STRSCAN sc)
{
    USHORT value = 0;
    int negative = 0;
    for (;;) {
        USHORT ch = scanChar(&sc);
        if (isWhite(ch) || ch == '+') {
            scanStep(&sc);
        } else if (ch == '-') {
            negative = !negative;
            scanStep(&sc);
        } else if (ch >= '0' && ch <= '9') {
            value = (USHORT)(value * DEC_RADIX + (ch - '0'));
            scanStep(&sc);
        } else {
            return (SHORT)(negative ? (USHORT)(0u - value) : value);
        }
    }
}

/* Digit value of ch in the radix, or -1. */
static int digitValue(USHORT ch, unsigned radix)
{
    if (radix == BIN_RADIX)
        return (ch == '0' || ch == '1') ? ch - '0' : -1;
    if (ch > CHR_SINGLE_MAX || !ChrIsHexDigit(ch))
        return -1;
    return ChrToHex(ch);
}

/* Whether "0x" (either case) follows. */
static int atHexPrefix(const STRSCAN *sc)
{
    return scanChar(sc) == '0' && (scanPeek(sc, 1) == 'x' || scanPeek(sc, 1) == 'X');
}

/* The frame shared by the hexadecimal and binary parsers: blanks, a minus
 * (which negates the parse of the rest), any mix of plus and blanks, the
 * prefix when allowed, then digits until another character or n. */
ULONG StrScanRadix(STRSCAN sc, unsigned radix)
{
    ULONG value = 0;
    int digit;

    skipWhite(&sc);
    if (scanChar(&sc) == '-') {
        scanStep(&sc);
        return 0u - StrScanRadix(sc, radix);
    }
    while (scanChar(&sc) == '+' || isWhite(scanChar(&sc)))
        scanStep(&sc);
    if (radix == HEX_RADIX && atHexPrefix(&sc)) {
        if (sc.left < HEX_PREFIX_CHARS)
            return 0;
        scanStep(&sc);
        scanStep(&sc);
        skipWhite(&sc);
    }
    if (digitValue(scanChar(&sc), radix) < 0)
        return 0;
    while ((digit = digitValue(scanChar(&sc), radix)) >= 0) {
        value = value * radix + (ULONG)digit;
        scanStep(&sc);
    }
    return value;
}

USHORT ORINAPI StrToNUShort(const char *s, size_t n) noexcept
{
    return StrScanUShort(StrScanNarrow(s, n));
}

SHORT ORINAPI StrToNShort(const char *s, size_t n) noexcept
{
    return StrScanShort(StrScanNarrow(s, n));
}

LONG ORINAPI StrToNHexLong(const char *s, size_t n) noexcept
{
    return (LONG)StrScanRadix(StrScanNarrow(s, n), HEX_RADIX);
}

LONG ORINAPI StrToNBinLong(const char *s, size_t n) noexcept
{
    return (LONG)StrScanRadix(StrScanNarrow(s, n), BIN_RADIX);
}
LONG ORINAPI StrToHexLong(const char *s) noexcept
{
    return StrToNHexLong(s, StrCLen(s));
}

SHORT ORINAPI StrToHexShort(const char *s) noexcept
{
    return (SHORT)StrToNHexLong(s, s ? strlen(s) : 0);
}

USHORT ORINAPI StrToHexUShort(const char *s) noexcept
{
    return (USHORT)StrToNHexLong(s, s ? strlen(s) : 0);
}

SHORT ORINAPI StrToNHexShort(const char *s, size_t n) noexcept
{
    return (SHORT)StrToNHexLong(s, n);
}

USHORT ORINAPI StrToNHexUShort(const char *s, size_t n) noexcept
{
    return (USHORT)StrToNHexLong(s, n);
}
