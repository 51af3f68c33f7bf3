/*
 * str_search.c - finding characters and substrings, counting them, and
 * comparing strings character by character.
 *
 * Searches only ever stop at character starts, so a trail byte that
 * happens to equal the byte sought is never found.  When the DBCS flag is
 * 0 every byte is a character and the searches fall through to the C
 * library's byte functions, which are as fast as this machine allows.
 */
#include "text/strint.h"

char *ORINAPI StrChr(const char *s, USHORT ch) noexcept
{
    if (!s)
        return NULL;
    ch = chrNorm(ch);
    if (!knlDbcsEnabled)
        return ch <= CHR_SINGLE_MAX ? strchr(s, ch) : NULL;
    for (;; s += strCharBytes(s)) {
        if (strCharValue(s) == ch)
            return (char *)s;
        if (!*s)
            return NULL;
    }
}

char *ORINAPI StrRChr(const char *s, USHORT ch) noexcept
{
    const char *found = NULL;
    if (!s)
        return NULL;
    ch = chrNorm(ch);
    if (ch == 0)
        return NULL;
    if (!knlDbcsEnabled)
        return ch <= CHR_SINGLE_MAX ? strrchr(s, ch) : NULL;
    for (; *s; s += strCharBytes(s))
        if (strCharValue(s) == ch)
            found = s;
    return (char *)found;
}

char *ORINAPI StrStr(const char *s, const char *pattern) noexcept
{
    size_t patLen, left;
    if (!s || !*s)
        return NULL;
    if (!pattern || !*pattern)
        return (char *)s;
    if (!knlDbcsEnabled)
        return strstr(s, pattern);
    patLen = strlen(pattern);
    left = strlen(s);
    while (left >= patLen) {
        size_t step = strCharBytes(s);
        if (*s == *pattern && memcmp(s, pattern, patLen) == 0)
            return (char *)s;
        s += step;
        left -= step;
    }
    return NULL;
}

/* Whether pattern follows at s, comparing characters after ChrToLower. */
static int matchesIgnoringCase(const char *s, const char *pattern)
{
    while (*pattern) {
        if (!*s || chrLower(strCharValue(s)) != chrLower(strCharValue(pattern)))
            return 0;
        s += strCharBytes(s);
        pattern += strCharBytes(pattern);
    }
    return 1;
}

/* The same byte by byte, for text without lead bytes. */
static int bytesMatchIgnoringCase(const BYTE *s, const BYTE *pattern)
{
    for (; *pattern; s++, pattern++)
        if (chrLower(*s) != chrLower(*pattern))
            return 0;                   /* also at the end of s */
    return 1;
}

char *ORINAPI StrIStr(const char *s, const char *pattern) noexcept
{
    USHORT first;
    if (!s)
        return NULL;
    if (!pattern || !*pattern)
        return (char *)s;
    first = chrLower(strCharValue(pattern));
    if (!knlDbcsEnabled) {
        const BYTE *p = (const BYTE *)s;
        for (; *p; p++)
            if (chrLower(*p) == first
                && bytesMatchIgnoringCase(p + 1, (const BYTE *)pattern + 1))
                return (char *)p;
        return NULL;
    }
    for (; *s; s += strCharBytes(s))
        if (chrLower(strCharValue(s)) == first && matchesIgnoringCase(s, pattern))
            return (char *)s;
    return NULL;
}

char *ORINAPI StrPbrk(const char *s, const char *set) noexcept
{
    if (!s || !set)
        return NULL;
    if (!knlDbcsEnabled)
        return strpbrk(s, set);
    for (; *s; s += strCharBytes(s))
        if (strSetHas(set, strCharValue(s)))
            return (char *)s;
    return NULL;
}

/* Stores the offset of p in s when both exist; answers whether p does. */
static USHORT reportOffset(const char *s, const char *p, size_t *offset)
{
    if (!p)
        return 0;
    if (offset)
        *offset = (size_t)(p - s);
    return 1;
}

USHORT ORINAPI StrIndex(const char *s, USHORT ch, size_t *offset) noexcept
{
    return reportOffset(s, StrChr(s, ch), offset);
}

USHORT ORINAPI StrMultIndex(const char *s, const char *set, size_t *offset) noexcept
{
    return reportOffset(s, StrPbrk(s, set), offset);
}

size_t ORINAPI StrCnt(const char *s, USHORT ch) noexcept
{
    size_t n = 0;
    if (!s)
        return 0;
    ch = chrNorm(ch);
    if (ch == 0)
        return 0;
    for (; *s; s += strCharBytes(s))
        if (strCharValue(s) == ch)
            n++;
    return n;
}

/* Compares at most n characters of a and b, lowering both first when
 * ignoreCase is set. */
static SHORT compareChars(const char *a, const char *b, size_t n, int ignoreCase)
{
    if (!a) a = "";
    if (!b) b = "";
    for (; n > 0; n--) {
        USHORT ca = strCharValue(a), cb = strCharValue(b);
        if (ignoreCase) {
            ca = chrLower(ca);
            cb = chrLower(cb);
        }
        if (ca != cb)
            return (SHORT)(ca - cb);
        if (!ca)
            return 0;
        a += strCharBytes(a);
        b += strCharBytes(b);
    }
    return 0;
}

SHORT ORINAPI StrCNCmp(const char *a, const char *b, size_t n) noexcept
{
    return compareChars(a, b, n, 0);
}

SHORT ORINAPI StrCNICmp(const char *a, const char *b, size_t n) noexcept
{
    return compareChars(a, b, n, 1);
}
