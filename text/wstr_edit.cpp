/*
 * wstr_edit.c - changing wide strings in place, building them into a
 * bounded destination, and parsing numbers from them.
 *
 * Every character is one unit, so edits are plain unit moves; filters
 * keep a read and a write index with the write index never ahead.  The
 * bounded builders append a unit only while more than one unit of room
 * is left, keeping the last unit for the terminator.  The counted number
 * parsers share the narrow family's scanners; the plain ones copy the
 * leading units below 256 into a temporary narrow string for the C
 * library's converters.
 */
#include <stdlib.h>
#include "text/strint.h"
#include "wstr.h"

#define BLANK        ' '
#define SINGLE_LIMIT 256      /* units copied for the C library's parsers */

typedef WCHAR (ORINAPI *WCHRMAPFN)(WCHAR);

static WCHAR *mapCase(WCHAR *s, WCHRMAPFN map, WCHRMAPFN firstMap, int wordStarts)
{
    size_t i;
    int atStart = 1;
    if (!s)
        return NULL;
    for (i = 0; s[i]; i++) {
        WCHAR ch = s[i];
        s[i] = (atStart && firstMap) ? firstMap(ch) : map(ch);
        atStart = wordStarts && WChrIsSpace(ch);
    }
    return s;
}

WCHAR *ORINAPI WStrLwr(WCHAR *s) noexcept            { return mapCase(s, WChrToLower, NULL, 0); }
WCHAR *ORINAPI WStrUpr(WCHAR *s) noexcept            { return mapCase(s, WChrToUpper, NULL, 0); }
WCHAR *ORINAPI WStrLwrFirstUpr(WCHAR *s) noexcept    { return mapCase(s, WChrToLower, WChrToUpper, 0); }
WCHAR *ORINAPI WStrLwrFirstUprAll(WCHAR *s) noexcept { return mapCase(s, WChrToLower, WChrToUpper, 1); }

/* Moves the units from src (terminator included) to dst. */
static void moveUnits(WCHAR *dst, const WCHAR *src)
{
    memmove(dst, src, (WStrCLen(src) + 1) * sizeof(WCHAR));
}

WCHAR *ORINAPI WStrLTrim(WCHAR *s) noexcept
{
    size_t skip = 0;
    if (!s)
        return NULL;
    while (s[skip] && WChrIsSpace(s[skip]))
        skip++;
    if (skip)
        moveUnits(s, s + skip);
    return s;
}

WCHAR *ORINAPI WStrRTrim(WCHAR *s) noexcept
{
    size_t n = WStrCLen(s);
    while (n > 0 && WChrIsSpace(s[n - 1]))
        s[--n] = 0;
    return s;
}

WCHAR *ORINAPI WStrLRTrim(WCHAR *s) noexcept
{
    return WStrLTrim(WStrRTrim(s));
}

WCHAR *ORINAPI WStrDeleteChar(WCHAR *pos) noexcept
{
    if (pos && *pos)
        moveUnits(pos, pos + 1);
    return pos;
}

WCHAR *ORINAPI WStrInsertChar(WCHAR *pos, WCHAR ch) noexcept
{
    if (!pos)
        return NULL;
    moveUnits(pos + 1, pos);
    *pos = chrNorm(ch);
    return pos;
}

/* An offset beyond the end is taken as the end. */
WCHAR *ORINAPI WStrInsertStr(WCHAR *s, size_t offset, const WCHAR *text) noexcept
{
    size_t len, add;
    if (!s || !text)
        return s;
    len = WStrCLen(s);
    if (offset > len)
        offset = len;
    add = WStrCLen(text);
    moveUnits(s + offset + add, s + offset);
    memcpy(s + offset, text, add * sizeof(WCHAR));
    return s;
}

typedef int (*WKEEPFN)(WCHAR ch, const void *arg);

static WCHAR *filterUnits(WCHAR *s, WKEEPFN keep, const void *arg)
{
    size_t r, w = 0;
    if (!s)
        return NULL;
    for (r = 0; s[r]; r++)
        if (keep(s[r], arg))
            s[w++] = s[r];
    s[w] = 0;
    return s;
}

static int notThisUnit(WCHAR ch, const void *arg)
{
    return ch != *(const WCHAR *)arg;
}

static int notInSet(WCHAR ch, const void *arg)
{
    return !WStrSetHas((const WCHAR *)arg, ch);
}

/* Double-byte characters are always kept, as in the narrow twin. */
static int inSetOrDouble(WCHAR ch, const void *arg)
{
    return !WChrIsSingle(ch) || WStrSetHas((const WCHAR *)arg, ch);
}

WCHAR *ORINAPI WStrEraseChar(WCHAR *s, WCHAR ch) noexcept
{
    ch = chrNorm(ch);
    return filterUnits(s, notThisUnit, &ch);
}

WCHAR *ORINAPI WStrEraseMultChars(WCHAR *s, const WCHAR *set) noexcept
{
    return filterUnits(s, notInSet, set);
}

WCHAR *ORINAPI WStrIntersectStr(WCHAR *s, const WCHAR *set) noexcept
{
    return filterUnits(s, inSetOrDouble, set);
}

WCHAR *ORINAPI WStrDeleteDupChar(WCHAR *s, WCHAR ch) noexcept
{
    size_t r, w = 0;
    if (!s)
        return NULL;
    ch = chrNorm(ch);
    for (r = 0; s[r]; r++)
        if (!(s[r] == ch && w > 0 && s[w - 1] == ch))
            s[w++] = s[r];
    s[w] = 0;
    return s;
}

WCHAR *ORINAPI WStrMakeLenCh(WCHAR *s, size_t n, WCHAR fill) noexcept
{
    size_t len;
    if (!s)
        return NULL;
    fill = chrNorm(fill);
    len = WStrCLen(s);
    if (len > n || fill == 0)
        len = len > n ? n : len;
    else
        for (; len < n; len++)
            s[len] = fill;
    s[len] = 0;
    return s;
}

WCHAR *ORINAPI WStrMakeLen(WCHAR *s, size_t n) noexcept
{
    size_t len;
    if (!s)
        return NULL;
    s[n] = 0;
    for (len = WStrCLen(s); len < n; len++)
        s[len] = BLANK;
    return s;
}

/* ---- Bounded builders -------------------------------------------------- */

WCHAR *ORINAPI WStrRepeatString(WCHAR *dst, const WCHAR *pattern, size_t size) noexcept
{
    size_t i, patLen;
    if (!dst || size == 0)
        return dst;
    patLen = WStrCLen(pattern);
    if (patLen == 0) {
        *dst = 0;
        return dst;
    }
    for (i = 0; i + 1 < size; i++)
        dst[i] = pattern[i % patLen];
    dst[i] = 0;
    return dst;
}

/* Appends len units when more than len units of room remain. */
static int appendUnits(WCHAR **w, size_t *room, const WCHAR *units, size_t len)
{
    if (*room <= len)
        return 0;
    memcpy(*w, units, len * sizeof(WCHAR));
    *w += len;
    *room -= len;
    return 1;
}

WCHAR *ORINAPI WStrReplace(const WCHAR *src, WCHAR *dst, size_t size,
                           const WCHAR *find, const WCHAR *repl) noexcept
{
    static const WCHAR empty[1] = { 0 };
    size_t room = size, findLen, replLen;
    WCHAR *w = dst;

    if (!src || !dst || !find || !*find) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    if (!repl)
        repl = empty;
    findLen = WStrCLen(find);
    replLen = WStrCLen(repl);
    while (*src) {
        if (WStrNCmp(src, find, findLen) == 0) {
            if (replLen ? !appendUnits(&w, &room, repl, replLen) : room < 1)
                return NULL;
            src += findLen;
        } else if (!appendUnits(&w, &room, src++, 1)) {
            return NULL;
        }
    }
    if (room < 1)
        return NULL;
    *w = 0;
    return dst;
}

/* One unit per character: the result never grows, so in place is safe. */
WCHAR *ORINAPI WStrReplaceChar(WCHAR *s, WCHAR *dst, WCHAR from, WCHAR to) noexcept
{
    WCHAR *out;
    size_t i;
    if (!s)
        return dst;
    from = chrNorm(from);
    to = chrNorm(to);
    out = dst ? dst : s;
    for (i = 0; s[i]; i++) {
        if (s[i] == from) {
            if (to == 0)
                break;
            out[i] = to;
        } else {
            out[i] = s[i];
        }
    }
    out[i] = 0;
    return out;
}

/* ---- Numbers ----------------------------------------------------------- */

/* The leading units below 256 as a heap narrow string, or NULL. */
static char *narrowCopy(const WCHAR *s)
{
    size_t n = 0, i;
    char *copy;
    if (!s)
        s = L"";
    while (s[n] && s[n] < SINGLE_LIMIT)
        n++;
    copy = (char *)malloc(n + 1);
    if (!copy) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return NULL;
    }
    for (i = 0; i < n; i++)
        copy[i] = (char)s[i];
    copy[n] = 0;
    return copy;
}

/* Parses the narrow copy with one of the C-library-based twins. */
#define PARSE_NARROW(type, twin, failValue)            \
    char *copy = narrowCopy(s);                        \
    type value;                                        \
    if (!copy)                                         \
        return failValue;                              \
    value = twin(copy);                                \
    free(copy);                                        \
    return value

SHORT  ORINAPI WStrToShort(const WCHAR *s) noexcept  { PARSE_NARROW(SHORT, StrToShort, (SHORT)ORIN_ERR_GENERAL); }
USHORT ORINAPI WStrToUShort(const WCHAR *s) noexcept { PARSE_NARROW(USHORT, StrToUShort, ORIN_ERR_GENERAL); }
LONG   ORINAPI WStrToLong(const WCHAR *s) noexcept   { PARSE_NARROW(LONG, StrToLong, ORIN_ERR_GENERAL); }
ULONG  ORINAPI WStrToULong(const WCHAR *s) noexcept  { PARSE_NARROW(ULONG, StrToULong, ORIN_ERR_GENERAL); }
double ORINAPI WStrToDouble(const WCHAR *s) noexcept { PARSE_NARROW(double, StrToDouble, 0.0); }

USHORT ORINAPI WStrToDoubleEx(const WCHAR *s, double *value) noexcept
{
    char *copy = narrowCopy(s);
    USHORT rc;
    if (!copy)
        return ORIN_ERR_GENERAL;
    rc = StrToDoubleEx(copy, value);
    free(copy);
    return rc;
}

SHORT ORINAPI WStrToNShort(const WCHAR *s, size_t n) noexcept
{
    return StrScanShort(StrScanWide(s, n));
}

USHORT ORINAPI WStrToNUShort(const WCHAR *s, size_t n) noexcept
{
    return StrScanUShort(StrScanWide(s, n));
}

LONG ORINAPI WStrToNHexLong(const WCHAR *s, size_t n) noexcept
{
    return (LONG)StrScanRadix(StrScanWide(s, n), HEX_RADIX);
}

LONG ORINAPI WStrToHexLong(const WCHAR *s) noexcept           { return WStrToNHexLong(s, WStrCLen(s)); }
SHORT ORINAPI WStrToHexShort(const WCHAR *s) noexcept         { return (SHORT)WStrToNHexLong(s, WStrCLen(s)); }
USHORT ORINAPI WStrToHexUShort(const WCHAR *s) noexcept       { return (USHORT)WStrToNHexLong(s, WStrCLen(s)); }
SHORT ORINAPI WStrToNHexShort(const WCHAR *s, size_t n) noexcept   { return (SHORT)WStrToNHexLong(s, n); }
USHORT ORINAPI WStrToNHexUShort(const WCHAR *s, size_t n) noexcept { return (USHORT)WStrToNHexLong(s, n); }
