/*
 * lsp_bstr.cpp - string and path-text builtins (the text functions of the
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


namespace orin::lsp {

namespace {

constexpr LONG kSubstrAll = 65535;      // substr without a count takes the rest

size_t charLen(const char *p)
{
    return MbsLen(p) == 2 && p[1] ? 2 : 1;
}

char foldLower(char c)
{
    return (char)ChrToLower((BYTE)c);
}

/* Does needle match at p (whole characters, optionally folding case)? */
bool matchAt(const char *p, const char *needle, bool fold)
{
    while (*needle) {
        size_t n = charLen(needle), i;
        if (n == 1) {
            char x = fold ? foldLower(*p) : *p, y = fold ? foldLower(*needle) : *needle;
            if (x != y || charLen(p) != 1)
                return false;
        } else {
            for (i = 0; i < n; i++)
                if (p[i] != needle[i])
                    return false;
        }
        p += n;
        needle += n;
    }
    return true;
}

/* Byte offset of the first match at a character boundary, or -1. */
long findText(const char *hay, const char *needle, bool fold)
{
    const char *p;
    if (!*needle)
        return -1;
    for (p = hay; *p; p += charLen(p))
        if (matchAt(p, needle, fold))
            return (long)(p - hay);
    return -1;
}

long countText(const char *hay, const char *needle, bool fold)
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

}  // namespace

/* The text a string builtin sees for an argument: lists in printed form,
 * everything else as its node text. */
const char *lspArgText(LSPSESSION *s, PLSPLIST n, char *buf, size_t size)
{
    if (isList(n)) {
        lspPrint(n, buf, size);
        return buf;
    }
    if (n->type == LSP_T_DATETIME)
        return lspDateTimeArgText(n, buf, size);
    return lspNodeText(n);
}

namespace {


PLSPLIST textResult(const char *text, unsigned int *err)
{
    return lspMade(lspNewText(nullptr, text, LSP_T_STRING), err);
}

PLSPLIST longResult(long v, unsigned int *err)
{
    return lspMade(lspNewLong(nullptr, v), err);
}

/* A buffer of the session's size, or the out-of-memory error. */
Buffer sessionBuffer(LSPSESSION *s, unsigned int *err)
{
    Buffer buf = makeBuffer(static_cast<size_t>(s->bufferSize));
    if (!buf)
        lspFailNoMem(err);
    return buf;
}

/* A heap copy of the argument's text, cut to the session's buffer. */
Buffer bufferedText(LSPSESSION *s, PLSPLIST n, unsigned int *err)
{
    size_t size = static_cast<size_t>(s->bufferSize);
    Buffer buf = sessionBuffer(s, err);
    if (!buf)
        return buf;
    const char *t = lspArgText(s, n, buf.get(), size);
    if (t != buf.get()) {
        size_t len = strlen(t);
        if (len >= size)
            len = size - 1;
        memcpy(buf.get(), t, len);
        buf[len] = 0;
    }
    return buf;
}

/* The text of a buffer as a string result. */
PLSPLIST ownedResult(const Buffer &buf, unsigned int *err)
{
    return buf ? textResult(buf.get(), err) : nullptr;
}

void replaceChar(char *t, char from, char to)
{
    for (; *t; t += charLen(t))
        if (*t == from)
            *t = to;
}

/* Start of the last path component (after '\' or '/'). */
char *lastComponent(char *t)
{
    char *p, *start = t;
    for (p = t; *p; p += charLen(p))
        if (*p == '\\' || *p == '/')
            start = p + 1;
    return start;
}

void cutExtension(char *t)
{
    char *p, *dot = nullptr;
    for (p = lastComponent(t); *p; p += charLen(p))
        if (*p == '.')
            dot = p;
    if (dot)
        *dot = 0;
}

const char *cutPath(const char *t)
{
    const char *p, *back = nullptr, *slash = nullptr, *colon = nullptr;
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

PLSPLIST strCat(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    size_t size = static_cast<size_t>(s->bufferSize), len = 0;
    Buffer out = sessionBuffer(s, err);
    Buffer tmp = out ? sessionBuffer(s, err) : Buffer();
    if (!tmp)
        return nullptr;
    out[0] = 0;
    for (; a; a = a->next) {
        const char *t = lspArgText(s, a, tmp.get(), size);
        size_t n = strlen(t);
        if (len + n + 1 > size) {
            lspFail(err, LSPERR_TOOLONG, "");
            return nullptr;
        }
        memcpy(out.get() + len, t, n + 1);
        len += n;
    }
    return ownedResult(out, err);
}

PLSPLIST subStr(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    Buffer buf = bufferedText(s, a, err);
    LONG start = lspNodeLong(a->next);
    LONG count = a->next->next ? lspNodeLong(a->next->next) : kSubstrAll;
    if (!buf)
        return nullptr;
    char *t = buf.get();
    size_t len = strlen(t);
    if (start < 1 || (size_t)start > len || count <= 0) {
        t[0] = 0;
    } else {
        size_t from = (size_t)start - 1, n = len - from;
        if ((size_t)count < n)
            n = (size_t)count;
        memmove(t, t + from, n);
        t[n] = 0;
    }
    return ownedResult(buf, err);
}

PLSPLIST strRepl(LSPSESSION *s, PLSPLIST a, bool fold, unsigned int *err)
{
    size_t size = static_cast<size_t>(s->bufferSize), len = 0;
    Buffer text = bufferedText(s, a, err), what, with, out;
    if (text)
        what = bufferedText(s, a->next, err);
    if (what)
        with = bufferedText(s, a->next->next, err);
    if (with)
        out = sessionBuffer(s, err);
    if (!out)
        return nullptr;
    size_t nWhat = strlen(what.get()), nWith = strlen(with.get());
    for (const char *p = text.get(); *p && len + 1 < size;) {
        if (nWhat && matchAt(p, what.get(), fold)) {
            size_t n = nWith < size - 1 - len ? nWith : size - 1 - len;
            memcpy(out.get() + len, with.get(), n);
            len += n;
            p += nWhat;
        } else {
            size_t n = charLen(p);
            if (len + n + 1 > size)
                break;
            memcpy(out.get() + len, p, n);
            len += n;
            p += n;
        }
    }
    out[len] = 0;
    return ownedResult(out, err);
}

PLSPLIST sideStr(LSPSESSION *s, PLSPLIST a, bool right, unsigned int *err)
{
    Buffer buf = bufferedText(s, a, err);
    LONG n = lspNodeLong(a->next);
    if (!buf)
        return nullptr;
    char *t = buf.get();
    size_t len = strlen(t);
    if (n <= 0)
        t[0] = 0;
    else if ((size_t)n < len && right)
        memmove(t, t + len - (size_t)n, (size_t)n + 1);
    else if ((size_t)n < len)
        t[n] = 0;
    return ownedResult(buf, err);
}

PLSPLIST chrOf(PLSPLIST a, unsigned int *err)
{
    char t[2];
    if (a->type != LSP_T_INTEGER && a->type != LSP_T_FLOAT) {
        lspFail(err, LSPERR_TYPE, lspNodeText(a));
        return nullptr;
    }
    t[0] = (char)(lspNodeLong(a) & 0xFF);
    t[1] = 0;
    return textResult(t, err);
}

PLSPLIST ascOf(PLSPLIST a, unsigned int *err)
{
    const BYTE *t;
    if (a->type != LSP_T_STRING) {
        lspFail(err, LSPERR_TYPE, lspNodeText(a));
        return nullptr;
    }
    t = (const BYTE *)a->value.psz;
    if (charLen((const char *)t) == 2)
        return longResult(t[0] | (t[1] << 8), err);
    return longResult(t[0], err);
}

PLSPLIST strChr(PLSPLIST a, bool fold, unsigned int *err)
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
    return longResult(findText(hay, needle, true) + 1, err);
}

int sign(int v)
{
    return v < 0 ? -1 : v > 0;
}

int foldCompare(const char *x, const char *y)
{
    while (*x && foldLower(*x) == foldLower(*y)) {
        x++;
        y++;
    }
    return (BYTE)foldLower(*x) - (BYTE)foldLower(*y);
}

}  // namespace

PLSPLIST lspBiStr(LSPSESSION *s, USHORT id, PLSPLIST a, unsigned int *err)
{
    switch (id) {
    case B_CHR:      return chrOf(a, err);
    case B_ASC:      return ascOf(a, err);
    case B_STRCAT:   return strCat(s, a, err);
    case B_SUBSTR:   return subStr(s, a, err);
    case B_STRREPL:  return strRepl(s, a, false, err);
    case B_STRIREPL: return strRepl(s, a, true, err);
    case B_RIGHTSTR: return sideStr(s, a, true, err);
    case B_LEFTSTR:  return sideStr(s, a, false, err);
    case B_STRCHR:   return strChr(a, false, err);
    case B_STRICHR:  return strChr(a, true, err);
    case B_STRSTR:
    case B_STRISTR: {
        const char *hay = lspNodeText(a), *pat = lspNodeText(a->next);
        const char *at = !*pat ? nullptr : id == B_STRSTR ? StrStr(hay, pat) : StrIStr(hay, pat);
        return longResult(at ? (long)(at - hay) + 1 : 0, err);
    }
    case B_STRCNT:
    case B_STRICNT:
        return longResult(countText(lspNodeText(a), lspNodeText(a->next), id == B_STRICNT), err);
    case B_STRCMP:
    case B_STRICMP: {
        Buffer x = bufferedText(s, a, err);
        if (!x)
            return nullptr;
        const char *y = lspNodeText(a->next);
        return longResult(sign(id == B_STRCMP ? strcmp(x.get(), y) : foldCompare(x.get(), y)), err);
    }
    case B_STRLEN:   return longResult((long)strlen(lspNodeText(a)), err);
    default:
        break;
    }
    Buffer buf = bufferedText(s, a, err);
    if (!buf)
        return nullptr;
    char *t = buf.get();
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
        lspFailf(err, LSPERR_UNKNOWNFN, "#%u", id);
        return nullptr;
    }
    return ownedResult(buf, err);
}

}  // namespace orin::lsp
