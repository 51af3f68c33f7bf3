/*
 * wstr.c - wide strings of 16-bit character values: conversion from and
 * to the narrow form, wide character classes, lengths, comparison, search
 * and copies.
 *
 * One unit holds one character exactly as the narrow family's character
 * value (lead byte low, trail byte high), so the wide functions are the
 * narrow ones with every step one unit long.  A unit whose high byte is
 * 0x00 or 0xFF is a single byte and is classified by the character table;
 * any other unit is a double-byte character with fixed answers, so no
 * wide function ever calls the system.
 */
#include <stdlib.h>
#include "text/strint.h"
#include "wstr.h"

#define DOUBLE_BYTE_ANSWER 1

/* ---- Narrow and wide forms of the same text ---------------------------- */

WCHAR *ORINAPI WStrMultiByteToWideChar(WCHAR *out, const char *in) noexcept
{
    WCHAR *w = out;
    if (!out)
        return NULL;
    if (in)
        for (; *in; in += strCharBytes(in))
            *w++ = strCharValue(in);
    *w = 0;
    return out;
}

char *ORINAPI WStrWideCharToMultiByte(char *out, const WCHAR *in) noexcept
{
    char *w = out;
    if (!out)
        return NULL;
    if (in)
        for (; *in; in++)
            w = strPutRaw(w, chrNorm(*in));
    *w = 0;
    return out;
}

/* ---- Wide characters --------------------------------------------------- */

/* A unit with high byte 0x00 or 0xFF stands for its low byte. */
int WChrIsSingle(WCHAR ch)
{
    BYTE high = (BYTE)(ch >> 8);
    return high == 0 || high == 0xFF;
}

USHORT ORINAPI WChrIsSpace(WCHAR ch) noexcept    { return WChrIsSingle(ch) ? ChrIsSpace(ch & 0xFF) : 0; }
USHORT ORINAPI WChrIsAscii(WCHAR ch) noexcept    { return WChrIsSingle(ch) ? ChrIsAscii(ch & 0xFF) : 0; }
USHORT ORINAPI WChrIsLower(WCHAR ch) noexcept    { return WChrIsSingle(ch) ? ChrIsLower(ch & 0xFF) : 0; }
USHORT ORINAPI WChrIsUpper(WCHAR ch) noexcept    { return WChrIsSingle(ch) ? ChrIsUpper(ch & 0xFF) : 0; }
USHORT ORINAPI WChrIsDigit(WCHAR ch) noexcept    { return WChrIsSingle(ch) ? ChrIsDigit(ch & 0xFF) : 0; }
USHORT ORINAPI WChrIsHexDigit(WCHAR ch) noexcept { return WChrIsSingle(ch) ? ChrIsHexDigit(ch & 0xFF) : 0; }
USHORT ORINAPI WChrToHex(WCHAR ch) noexcept      { return WChrIsSingle(ch) ? ChrToHex(ch & 0xFF) : 0; }

USHORT ORINAPI WChrIsAlpha(WCHAR ch) noexcept
{
    return WChrIsSingle(ch) ? ChrIsAlpha(ch & 0xFF) : DOUBLE_BYTE_ANSWER;
}

USHORT ORINAPI WChrIsAlnum(WCHAR ch) noexcept
{
    return WChrIsSingle(ch) ? ChrIsAlnum(ch & 0xFF) : DOUBLE_BYTE_ANSWER;
}

USHORT ORINAPI WChrIsPrint(WCHAR ch) noexcept
{
    return WChrIsSingle(ch) ? ChrIsPrint(ch & 0xFF) : DOUBLE_BYTE_ANSWER;
}

WCHAR ORINAPI WChrToLower(WCHAR ch) noexcept { return WChrIsSingle(ch) ? ChrToLower(ch & 0xFF) : ch; }
WCHAR ORINAPI WChrToUpper(WCHAR ch) noexcept { return WChrIsSingle(ch) ? ChrToUpper(ch & 0xFF) : ch; }

/* ---- Lengths and comparison -------------------------------------------- */

size_t ORINAPI WStrCLen(const WCHAR *s) noexcept
{
    size_t n = 0;
    if (!s)
        return 0;
    while (s[n])
        n++;
    return n;
}

size_t ORINAPI WStrLen(const WCHAR *s) noexcept
{
    return WStrCLen(s) * sizeof(WCHAR);
}

SHORT ORINAPI WStrCmp(const WCHAR *a, const WCHAR *b) noexcept
{
    size_t la = WStrCLen(a), lb = WStrCLen(b), i;
    size_t n = la < lb ? la : lb;
    for (i = 0; i < n; i++)
        if (a[i] != b[i])
            return (SHORT)(a[i] - b[i]);
    return (SHORT)((la > lb) - (la < lb));
}

typedef WCHAR (ORINAPI *WCHRMAPFN)(WCHAR);

static SHORT compareUnits(const WCHAR *a, const WCHAR *b, size_t n, WCHRMAPFN map)
{
    static const WCHAR empty[1] = { 0 };
    size_t i;
    if (!a) a = empty;
    if (!b) b = empty;
    for (i = 0; i < n; i++) {
        WCHAR ca = map ? map(a[i]) : a[i], cb = map ? map(b[i]) : b[i];
        if (ca != cb)
            return (SHORT)(ca - cb);
        if (!ca)
            return 0;
    }
    return 0;
}

SHORT ORINAPI WStrNCmp(const WCHAR *a, const WCHAR *b, size_t n) noexcept
{
    return compareUnits(a, b, n, NULL);
}

SHORT ORINAPI WStrNICmp(const WCHAR *a, const WCHAR *b, size_t n) noexcept
{
    return compareUnits(a, b, n, WChrToLower);
}

SHORT ORINAPI WStrICmp(const WCHAR *a, const WCHAR *b) noexcept
{
    size_t la = WStrCLen(a), lb = WStrCLen(b);
    return WStrNICmp(a, b, la > lb ? la : lb);
}

/* ---- Search ------------------------------------------------------------ */

/* The terminator is never found: searching for 0 gives NULL. */
WCHAR *ORINAPI WStrChr(const WCHAR *s, WCHAR ch) noexcept
{
    ch = chrNorm(ch);
    if (!s || !ch)
        return NULL;
    for (; *s; s++)
        if (*s == ch)
            return (WCHAR *)s;
    return NULL;
}

WCHAR *ORINAPI WStrRChr(const WCHAR *s, WCHAR ch) noexcept
{
    const WCHAR *found = NULL;
    ch = chrNorm(ch);
    if (!s || !ch)
        return NULL;
    for (; *s; s++)
        if (*s == ch)
            found = s;
    return (WCHAR *)found;
}

static int unitsFollow(const WCHAR *s, const WCHAR *pattern, WCHRMAPFN map)
{
    for (; *pattern; s++, pattern++)
        if (!*s || (map ? map(*s) != map(*pattern) : *s != *pattern))
            return 0;
    return 1;
}

WCHAR *ORINAPI WStrStr(const WCHAR *s, const WCHAR *pattern) noexcept
{
    if (!s || !*s)
        return NULL;
    if (!pattern || !*pattern)
        return (WCHAR *)s;
    for (; *s; s++)
        if (unitsFollow(s, pattern, NULL))
            return (WCHAR *)s;
    return NULL;
}

WCHAR *ORINAPI WStrIStr(const WCHAR *s, const WCHAR *pattern) noexcept
{
    if (!s)
        return NULL;
    if (!pattern || !*pattern)
        return (WCHAR *)s;
    for (; *s; s++)
        if (unitsFollow(s, pattern, WChrToLower))
            return (WCHAR *)s;
    return NULL;
}

/* Whether the unit occurs in the set. */
int WStrSetHas(const WCHAR *set, WCHAR ch)
{
    if (!set)
        return 0;
    for (; *set; set++)
        if (*set == ch)
            return 1;
    return 0;
}

USHORT ORINAPI WStrIndex(const WCHAR *s, WCHAR ch, size_t *offset) noexcept
{
    WCHAR *p = WStrChr(s, ch);
    if (!p)
        return 0;
    if (offset)
        *offset = (size_t)(p - s);
    return 1;
}

USHORT ORINAPI WStrMultIndex(const WCHAR *s, const WCHAR *set, size_t *offset) noexcept
{
    size_t i;
    if (!s)
        return 0;
    for (i = 0; s[i]; i++)
        if (WStrSetHas(set, s[i])) {
            if (offset)
                *offset = i;
            return 1;
        }
    return 0;
}

size_t ORINAPI WStrCnt(const WCHAR *s, WCHAR ch) noexcept
{
    size_t n = 0;
    ch = chrNorm(ch);
    if (!s || !ch)
        return 0;
    for (; *s; s++)
        n += *s == ch;
    return n;
}

/* ---- Copies ------------------------------------------------------------ */

WCHAR *ORINAPI WStrNCpy(WCHAR *dst, const WCHAR *src, size_t n) noexcept
{
    size_t i = 0;
    if (!dst)
        return NULL;
    if (src)
        for (; i < n && src[i]; i++)
            dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

WCHAR *ORINAPI WStrCpy(WCHAR *dst, const WCHAR *src) noexcept
{
    return WStrNCpy(dst, src, WStrCLen(src));
}

WCHAR *ORINAPI WStrNCat(WCHAR *dst, const WCHAR *src, size_t n) noexcept
{
    if (dst)
        WStrNCpy(dst + WStrCLen(dst), src, n);
    return dst;
}

WCHAR *ORINAPI WStrCat(WCHAR *dst, const WCHAR *src) noexcept
{
    return WStrNCat(dst, src, WStrCLen(src));
}

WCHAR *ORINAPI WStrNSet(WCHAR *s, WCHAR ch, size_t n) noexcept
{
    size_t i;
    if (!s)
        return NULL;
    ch = chrNorm(ch);
    for (i = 0; i < n && s[i]; i++)
        s[i] = ch;
    return s;
}

WCHAR *ORINAPI WStrSet(WCHAR *s, WCHAR ch) noexcept
{
    return WStrNSet(s, ch, WStrCLen(s));
}

WCHAR *ORINAPI WStrDup(const WCHAR *s) noexcept
{
    size_t bytes;
    WCHAR *copy;
    if (!s)
        return NULL;
    bytes = WStrLen(s) + sizeof(WCHAR);
    copy = (WCHAR *)malloc(bytes);
    if (!copy) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return NULL;
    }
    memcpy(copy, s, bytes);
    return copy;
}
