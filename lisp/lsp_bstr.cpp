/*
 * lsp_bstr.c - string and path-text builtins (the text functions of the
 * core table and the string table).
 *
 * Case changes, trimming and plain searches are the string family's
 * DBCS-aware calls.  The case-insensitive character search, counting and
 * replacing walk the text here character by character (a lead byte and
 * its trail byte form one character, so no match starts or ends inside a
 * double-byte character), folding single bytes with ChrToLower.
 * Positions and lengths are counted in bytes, 1-based where the Lisp
 * level sees them.  Results are bounded by the session's buffer size.
 */
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"
#include "str.h"

enum {
    B_CHR = 100, B_ASC, B_STRCAT, B_SUBSTR, B_STRREPL, B_STRIREPL, B_RIGHTSTR, B_LEFTSTR,
    B_STRCHR, B_STRICHR, B_STRSTR, B_STRISTR, B_STRCNT, B_STRICNT, B_STRCMP, B_STRICMP,
    B_STRUPR, B_STRLWR, B_LTRIM, B_RTRIM, B_LRTRIM, B_TRIM, B_STRLEN, B_STRCAPITALIZE,
    B_CUTEXT = 153, B_CUTPATH, B_DOS2ACAD, B_ACAD2DOS
};

#define LSP_SUBSTR_ALL 65535

static size_t charLen(const char *p)
{
    return MbsLen(p) == 2 && p[1] ? 2 : 1;
}

static char foldLower(char c)
{
    return (char)ChrToLower((BYTE)c);
}

/* Does needle match at p (whole characters, optionally folding case)? */
static BOOL matchAt(const char *p, const char *needle, BOOL fold)
{
    while (*needle) {
        size_t n = charLen(needle), i;
        if (n == 1) {
            char x = fold ? foldLower(*p) : *p, y = fold ? foldLower(*needle) : *needle;
            if (x != y || charLen(p) != 1)
                return FALSE;
        } else {
            for (i = 0; i < n; i++)
                if (p[i] != needle[i])
                    return FALSE;
        }
        p += n;
        needle += n;
    }
    return TRUE;
}

/* Byte offset of the first match at a character boundary, or -1. */
static long findText(const char *hay, const char *needle, BOOL fold)
{
    const char *p;
    if (!*needle)
        return -1;
    for (p = hay; *p; p += charLen(p))
        if (matchAt(p, needle, fold))
            return (long)(p - hay);
    return -1;
}

static long countText(const char *hay, const char *needle, BOOL fold)
{
    long count = 0;
    size_t n = strlen(needle);
    const char *p = hay;
    if (!n)
        return 0;
    while (*p) {
        if (matchAt(p, needle, fold)) {
            count++;
            p += n;
        } else {
            p += charLen(p);
        }
    }
    return count;
}

/* The text a string builtin sees for an argument: lists in printed form,
 * everything else as its node text. */
const char *lspArgText(LSPSESSION *s, PLSPLIST n, char *buf, size_t size)
{
    if (LSP_IS_LIST(n)) {
        lspPrint(n, buf, size);
        return buf;
    }
    if (n->type == LSP_T_DATETIME)
        return lspDateTimeArgText(n, buf, size);
    return lspNodeText(n);
}

static PLSPLIST textResult(const char *text, unsigned int *err)
{
    PLSPLIST n = lspNewText(NULL, text, LSP_T_STRING);
    if (!n)
        lspFail(err, LSPERR_NOMEM, "");
    return n;
}

static PLSPLIST longResult(long v, unsigned int *err)
{
    PLSPLIST n = lspNewLong(NULL, v);
    if (!n)
        lspFail(err, LSPERR_NOMEM, "");
    return n;
}

/* A heap copy of the argument's text, cut to the session's buffer. */
static char *bufferedText(LSPSESSION *s, PLSPLIST n, unsigned int *err)
{
    size_t size = (size_t)s->bufferSize;
    char *buf = (char*)lspMalloc(size);
    const char *t;
    size_t len;
    if (!buf) {
        lspFail(err, LSPERR_NOMEM, "");
        return NULL;
    }
    t = lspArgText(s, n, buf, size);
    if (t != buf) {
        len = strlen(t);
        if (len >= size)
            len = size - 1;
        memcpy(buf, t, len);
        buf[len] = 0;
    }
    return buf;
}

static PLSPLIST ownedResult(char *buf, unsigned int *err)
{
    PLSPLIST n;
    if (!buf)
        return NULL;
    n = textResult(buf, err);
    lspMemFree(buf);
    return n;
}

static void replaceChar(char *t, char from, char to)
{
    for (; *t; t += charLen(t))
        if (*t == from)
            *t = to;
}

/* Start of the last path component (after '\' or '/'). */
static char *lastComponent(char *t)
{
    char *p, *start = t;
    for (p = t; *p; p += charLen(p))
        if (*p == '\\' || *p == '/')
            start = p + 1;
    return start;
}

static void cutExtension(char *t)
{
    char *p, *dot = NULL;
    for (p = lastComponent(t); *p; p += charLen(p))
        if (*p == '.')
            dot = p;
    if (dot)
        *dot = 0;
}

static const char *cutPath(const char *t)
{
    const char *p, *back = NULL, *slash = NULL, *colon = NULL;
    for (p = t; *p; p += charLen(p)) {
        if (*p == '\\') back = p;
        else if (*p == '/') slash = p;
        else if (*p == ':') colon = p;
    }
    if (back) return back + 1;
    if (slash) return slash + 1;
    if (colon) return colon + 1;
    return t;
}

static PLSPLIST strCat(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    size_t size = (size_t)s->bufferSize, len = 0, n;
    char *out = (char*)lspMalloc(size), *tmp = (char*)lspMalloc(size);
    if (!out || !tmp) {
        lspMemFree(out);
        lspMemFree(tmp);
        lspFail(err, LSPERR_NOMEM, "");
        return NULL;
    }
    out[0] = 0;
    for (; a; a = a->next) {
        const char *t = lspArgText(s, a, tmp, size);
        n = strlen(t);
        if (len + n + 1 > size) {
            lspMemFree(out);
            lspMemFree(tmp);
            lspFail(err, LSPERR_TOOLONG, "");
            return NULL;
        }
        memcpy(out + len, t, n + 1);
        len += n;
    }
    lspMemFree(tmp);
    return ownedResult(out, err);
}

static PLSPLIST subStr(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    char *t = bufferedText(s, a, err);
    LONG start = lspNodeLong(a->next);
    LONG count = a->next->next ? lspNodeLong(a->next->next) : LSP_SUBSTR_ALL;
    size_t len;
    if (!t)
        return NULL;
    len = strlen(t);
    if (start < 1 || (size_t)start > len || count <= 0) {
        t[0] = 0;
    } else {
        size_t from = (size_t)start - 1, n = len - from;
        if ((size_t)count < n)
            n = (size_t)count;
        memmove(t, t + from, n);
        t[n] = 0;
    }
    return ownedResult(t, err);
}

static PLSPLIST strRepl(LSPSESSION *s, PLSPLIST a, BOOL fold, unsigned int *err)
{
    size_t size = (size_t)s->bufferSize, len = 0;
    char *t = bufferedText(s, a, err), *what = NULL, *with = NULL, *out = NULL;
    const char *p;
    size_t nWhat, nWith;

    if (t) what = bufferedText(s, a->next, err);
    if (what) with = bufferedText(s, a->next->next, err);
    if (with) out = (char*)lspMalloc(size);
    if (!out) {
        lspMemFree(t); lspMemFree(what); lspMemFree(with);
        if (!*err)
            lspFail(err, LSPERR_NOMEM, "");
        return NULL;
    }
    nWhat = strlen(what);
    nWith = strlen(with);
    for (p = t; *p && len + 1 < size;) {
        if (nWhat && matchAt(p, what, fold)) {
            size_t n = nWith < size - 1 - len ? nWith : size - 1 - len;
            memcpy(out + len, with, n);
            len += n;
            p += nWhat;
        } else {
            size_t n = charLen(p);
            if (len + n + 1 > size)
                break;
            memcpy(out + len, p, n);
            len += n;
            p += n;
        }
    }
    out[len] = 0;
    lspMemFree(t); lspMemFree(what); lspMemFree(with);
    return ownedResult(out, err);
}

static PLSPLIST sideStr(LSPSESSION *s, PLSPLIST a, BOOL right, unsigned int *err)
{
    char *t = bufferedText(s, a, err);
    LONG n = lspNodeLong(a->next);
    size_t len;
    if (!t)
        return NULL;
    len = strlen(t);
    if (n <= 0)
        t[0] = 0;
    else if ((size_t)n < len && right)
        memmove(t, t + len - (size_t)n, (size_t)n + 1);
    else if ((size_t)n < len)
        t[n] = 0;
    return ownedResult(t, err);
}

static PLSPLIST chrOf(PLSPLIST a, unsigned int *err)
{
    char t[2];
    if (a->type != LSP_T_INTEGER && a->type != LSP_T_FLOAT) {
        lspFail(err, LSPERR_TYPE, lspNodeText(a));
        return NULL;
    }
    t[0] = (char)(lspNodeLong(a) & 0xFF);
    t[1] = 0;
    return textResult(t, err);
}

static PLSPLIST ascOf(PLSPLIST a, unsigned int *err)
{
    const BYTE *t;
    if (a->type != LSP_T_STRING) {
        lspFail(err, LSPERR_TYPE, lspNodeText(a));
        return NULL;
    }
    t = (const BYTE *)a->value.psz;
    if (charLen((const char *)t) == 2)
        return longResult(t[0] | (t[1] << 8), err);
    return longResult(t[0], err);
}

static PLSPLIST strChr(PLSPLIST a, BOOL fold, unsigned int *err)
{
    char needle[3] = { 0 };
    const char *hay = lspNodeText(a), *c = lspNodeText(a->next), *at;
    if (!*c)
        return longResult(0, err);
    if (!fold) {
        at = StrChr(hay, StrGetChar(c));
        return longResult(at ? (long)(at - hay) + 1 : 0, err);
    }
    memcpy(needle, c, charLen(c));
    return longResult(findText(hay, needle, TRUE) + 1, err);
}

static int sign(int v)
{
    return v < 0 ? -1 : v > 0;
}

static int foldCompare(const char *x, const char *y)
{
    while (*x && foldLower(*x) == foldLower(*y)) {
        x++;
        y++;
    }
    return (BYTE)foldLower(*x) - (BYTE)foldLower(*y);
}

PLSPLIST lspBiStr(LSPSESSION *s, USHORT id, PLSPLIST a, unsigned int *err)
{
    char *t;
    switch (id) {
    case B_CHR:      return chrOf(a, err);
    case B_ASC:      return ascOf(a, err);
    case B_STRCAT:   return strCat(s, a, err);
    case B_SUBSTR:   return subStr(s, a, err);
    case B_STRREPL:  return strRepl(s, a, FALSE, err);
    case B_STRIREPL: return strRepl(s, a, TRUE, err);
    case B_RIGHTSTR: return sideStr(s, a, TRUE, err);
    case B_LEFTSTR:  return sideStr(s, a, FALSE, err);
    case B_STRCHR:   return strChr(a, FALSE, err);
    case B_STRICHR:  return strChr(a, TRUE, err);
    case B_STRSTR:
    case B_STRISTR: {
        const char *hay = lspNodeText(a), *pat = lspNodeText(a->next);
        const char *at = !*pat ? NULL : id == B_STRSTR ? StrStr(hay, pat) : StrIStr(hay, pat);
        return longResult(at ? (long)(at - hay) + 1 : 0, err);
    }
    case B_STRCNT:
    case B_STRICNT:
        return longResult(countText(lspNodeText(a), lspNodeText(a->next), id == B_STRICNT), err);
    case B_STRCMP: {
        char *x = bufferedText(s, a, err);
        int r = x ? sign(strcmp(x, lspNodeText(a->next))) : 0;
        lspMemFree(x);
        return *err ? NULL : longResult(r, err);
    }
    case B_STRICMP: {
        char *x = bufferedText(s, a, err);
        int r = x ? sign(foldCompare(x, lspNodeText(a->next))) : 0;
        lspMemFree(x);
        return *err ? NULL : longResult(r, err);
    }
    case B_STRLEN:   return longResult((long)strlen(lspNodeText(a)), err);
    default:
        break;
    }
    t = bufferedText(s, a, err);
    if (!t)
        return NULL;
    switch (id) {
    case B_STRUPR:        StrUpr(t); break;
    case B_STRLWR:        StrLwr(t); break;
    case B_STRCAPITALIZE: StrLwrFirstUprAll(t); break;
    case B_LTRIM:         StrLTrim(t); break;
    case B_RTRIM:         StrRTrim(t); break;
    case B_LRTRIM:
    case B_TRIM:          StrLRTrim(t); break;
    case B_CUTEXT:        cutExtension(t); break;
    case B_CUTPATH:       memmove(t, cutPath(t), strlen(cutPath(t)) + 1); break;
    case B_DOS2ACAD:      replaceChar(t, '\\', '/'); break;
    case B_ACAD2DOS:      replaceChar(t, '/', '\\'); break;
    default:
        lspMemFree(t);
        lspFailf(err, LSPERR_UNKNOWNFN, "#%u", id);
        return NULL;
    }
    return ownedResult(t, err);
}
