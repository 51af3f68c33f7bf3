/*
 * str_edit.c - changing narrow strings in place: case, trimming, inserting
 * and deleting characters, erasing and keeping character sets, making a
 * string a given length.
 *
 * Most edits walk the string once with a read and a write position: the
 * write position never overtakes the read position, so a string can be
 * filtered onto itself.  Case conversion passes a double-byte character as
 * one value and writes it back unchanged in width.
 */
#include <stdlib.h>
#include "text/strint.h"

#define BLANK ' '

typedef USHORT (ORINAPI *CHRMAPFN)(USHORT);

/* Maps every character of s; the first through firstMap when it is given,
 * and each character after white space too when wordStarts is set. */
static char *mapCase(char *s, CHRMAPFN map, CHRMAPFN firstMap, int wordStarts)
{
    char *p;
    int atStart = 1;
    if (!s)
        return NULL;
    for (p = s; *p; ) {
        USHORT ch = strCharValue(p);
        size_t len = strCharBytes(p);
        USHORT out = (atStart && firstMap) ? firstMap(ch) : map(ch);
        if (len == 1)
            *p = (char)out;
        else
            strPutRaw(p, out);
        atStart = wordStarts && ChrIsSpace(ch);
        p += len;
    }
    return s;
}

char *ORINAPI StrLwr(char *s) noexcept
{
    return mapCase(s, ChrToLower, NULL, 0);
}

char *ORINAPI StrUpr(char *s) noexcept
{
    return mapCase(s, ChrToUpper, NULL, 0);
}

char *ORINAPI StrLwrFirstUpr(char *s) noexcept
{
    return mapCase(s, ChrToLower, ChrToUpper, 0);
}

char *ORINAPI StrLwrFirstUprAll(char *s) noexcept
{
    return mapCase(s, ChrToLower, ChrToUpper, 1);
}

char *ORINAPI StrLTrim(char *s) noexcept
{
    size_t skip = 0;
    if (!s)
        return NULL;
    while (s[skip] && ChrIsSpace(strCharValue(s + skip)))
        skip += strCharBytes(s + skip);
    if (skip)
        memmove(s, s + skip, strlen(s + skip) + 1);
    return s;
}

char *ORINAPI StrRTrim(char *s) noexcept
{
    char *p;
    if (!s || !*s)
        return s;
    p = StrCharPrev(s, s + strlen(s));
    while (ChrIsSpace(strCharValue(p))) {
        *p = 0;
        if (p == s)
            break;
        p = StrCharPrev(s, p);
    }
    return s;
}

char *ORINAPI StrLRTrim(char *s) noexcept
{
    return StrLTrim(StrRTrim(s));
}

char *ORINAPI StrDeleteChar(char *pos) noexcept
{
    size_t len;
    if (!pos || !*pos)
        return pos;
    len = strCharBytes(pos);
    memmove(pos, pos + len, strlen(pos + len) + 1);
    return pos;
}

char *ORINAPI StrInsertChar(char *pos, USHORT ch) noexcept
{
    size_t len;
    if (!pos)
        return NULL;
    ch = chrNorm(ch);
    len = chrBytes(ch);
    memmove(pos + len, pos, strlen(pos) + 1);
    strPutRaw(pos, ch);
    return pos;
}

/* An offset beyond the end of s is taken as the end. */
static size_t clampOffset(const char *s, size_t offset)
{
    size_t len = strlen(s);
    return offset < len ? offset : len;
}

char *ORINAPI StrInsertStr(char *s, size_t offset, const char *text) noexcept
{
    size_t add;
    if (!s || !text)
        return s;
    offset = clampOffset(s, offset);
    add = strlen(text);
    memmove(s + offset + add, s + offset, strlen(s + offset) + 1);
    memcpy(s + offset, text, add);
    return s;
}

/* Overwrites bytes from the offset; only when the text runs past the end
 * does the string grow, and then it is terminated behind the text. */
char *ORINAPI StrReplaceStr(char *s, size_t offset, const char *text) noexcept
{
    size_t len, add;
    if (!s || !text)
        return s;
    len = strlen(s);
    offset = clampOffset(s, offset);
    add = strlen(text);
    memcpy(s + offset, text, add);
    if (offset + add > len)
        s[offset + add] = 0;
    return s;
}

typedef int (*KEEPFN)(USHORT ch, const void *arg);

/* Filters s onto itself, keeping the characters keep() accepts. */
static char *filterChars(char *s, KEEPFN keep, const void *arg)
{
    char *r, *w;
    if (!s)
        return NULL;
    for (r = w = s; *r; ) {
        size_t len = strCharBytes(r);
        if (keep(strCharValue(r), arg)) {
            memmove(w, r, len);
            w += len;
        }
        r += len;
    }
    *w = 0;
    return s;
}

static int notThisChar(USHORT ch, const void *arg)
{
    return ch != *(const USHORT *)arg;
}

static int notInSet(USHORT ch, const void *arg)
{
    return !strSetHas((const char *)arg, ch);
}

static int inSetOrDouble(USHORT ch, const void *arg)
{
    return ch > CHR_SINGLE_MAX || strSetHas((const char *)arg, ch);
}

char *ORINAPI StrEraseChar(char *s, USHORT ch) noexcept
{
    ch = chrNorm(ch);
    return filterChars(s, notThisChar, &ch);
}

char *ORINAPI StrEraseMultChars(char *s, const char *set) noexcept
{
    return filterChars(s, notInSet, set ? set : "");
}

char *ORINAPI StrIntersectStr(char *s, const char *set) noexcept
{
    return filterChars(s, inSetOrDouble, set ? set : "");
}

char *ORINAPI StrDeleteDupChar(char *s, USHORT ch) noexcept
{
    char *r, *w;
    int lastWasCh = 0;
    if (!s)
        return NULL;
    ch = chrNorm(ch);
    for (r = w = s; *r; ) {
        size_t len = strCharBytes(r);
        int isCh = strCharValue(r) == ch;
        if (!(isCh && lastWasCh)) {
            memmove(w, r, len);
            w += len;
        }
        lastWasCh = isCh;
        r += len;
    }
    *w = 0;
    return s;
}

/* Cuts s after n characters or pads it with the fill character to n
 * characters; the buffer must hold the padded result. */
char *ORINAPI StrMakeLenCh(char *s, size_t n, USHORT fill) noexcept
{
    char *p;
    size_t count = 0;
    if (!s)
        return NULL;
    fill = chrNorm(fill);
    for (p = s; *p && count < n; p += strCharBytes(p))
        count++;
    if (fill == 0)
        count = n;
    for (; count < n; count++)
        p = strPutRaw(p, fill);
    *p = 0;
    return s;
}

char *ORINAPI StrMakeLen(char *s, size_t n) noexcept
{
    size_t len;
    if (!s)
        return NULL;
    s[n] = 0;
    len = strlen(s);
    memset(s + len, BLANK, n - len);
    return s;
}
