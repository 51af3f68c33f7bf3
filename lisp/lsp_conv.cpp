/*
 * lsp_conv.c - conversions between a node and text, numbers and truth,
 * the printed form of a node, and the type-name table.
 *
 * Non-text nodes are formatted into one of six rotating buffers, so a
 * returned text stays valid until six further conversions.  Printing is
 * bounded by the caller's buffer and by LSP_MAX_DEPTH levels of lists.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"
#include "frame/knlint.h"
#include "str.h"
#include "dat.h"

/* ---- characters, numbers and values from text ---- */

size_t lspCharLen(const char *p)
{
    return MbsLen(p) == 2 && p[1] ? 2 : 1;
}

/* A text accepted whole as a number (the reader's rule for atoms). */
BOOL lspParseNumber(const char *text, double *out)
{
    return text && *text && StrToDoubleEx(text, out) == 0;
}

static double textToDouble(const char *text)
{
    double d;
    if (!*text)
        return 0.0;
    if ((text[0] == 'T' || text[0] == 't') && !text[1])
        return 1.0;
    if (lspParseNumber(text, &d))
        return d;
    return StrToDouble(text);    /* leading number, else 0 */
}

static LONG truncToLong(double d)
{
    if (d != d)
        return 0;
    if (d >= 2147483647.0)
        return 2147483647L;
    if (d <= -2147483648.0)
        return (LONG)(-2147483647L - 1);
    return (LONG)d;
}

BOOL lspValueFromText(PLSPLIST n, const char *text, USHORT type)
{
    switch (type) {
    case LSP_T_INTEGER:  return lspSetLong(n, truncToLong(textToDouble(text)));
    case LSP_T_FLOAT:    return lspSetDouble(n, textToDouble(text));
    case LSP_T_DATETIME: {
        double d = 0.0;
        if (DatStr2DTJulian(text, &d) != 0)
            d = 0.0;
        return lspSetDateTime(n, d);
    }
    case LSP_T_SYMBOL:
    case LSP_T_STRING:   return lspSetText(n, text, type);
    case LSP_T_LIST:
    case LSP_T_OPENLIST:
        lspReleaseValue(n);
        n->type = type;
        return TRUE;
    default:             return lspSetNil(n);
    }
}

/* ---- conversions ---- */

static char numBufs[LSP_NUM_BUFS][LSP_NUM_BUFSIZE];
static int numNext;

static char *nextNumBuf(void)
{
    char *b = numBufs[numNext];
    numNext = (numNext + 1) % LSP_NUM_BUFS;
    return b;
}

const char *lspNodeText(PLSPLIST n)
{
    char *b;
    if (LSP_IS_TEXT(n))
        return n->value.psz ? n->value.psz : "";
    b = nextNumBuf();
    if (!n || n->type == LSP_T_NIL)
        strcpy(b, "NIL");
    else if (n->type == LSP_T_INTEGER)
        snprintf(b, LSP_NUM_BUFSIZE, "%ld", (long)n->value.l);
    else if (n->type == LSP_T_FLOAT)
        snprintf(b, LSP_NUM_BUFSIZE, "%.13G", n->value.d);
    else if (n->type == LSP_T_DATETIME)
        DatDTJulian2Str(n->value.d, b, LSP_NUM_BUFSIZE);
    else if (LSP_IS_LIST(n))
        strcpy(b, "(...)");
    else
        strcpy(b, "NIL");
    return b;
}

double lspNodeDouble(PLSPLIST n)
{
    if (!n)
        return 0.0;
    switch (n->type) {
    case LSP_T_FLOAT:
    case LSP_T_DATETIME: return n->value.d;
    case LSP_T_INTEGER:  return (double)n->value.l;
    case LSP_T_SYMBOL:
    case LSP_T_STRING:   return textToDouble(n->value.psz ? n->value.psz : "");
    default:             return 0.0;
    }
}

LONG lspNodeLong(PLSPLIST n)
{
    if (!n)
        return 0;
    switch (n->type) {
    case LSP_T_INTEGER:  return n->value.l;
    case LSP_T_FLOAT:
    case LSP_T_DATETIME: return truncToLong(n->value.d);
    case LSP_T_SYMBOL:
    case LSP_T_STRING:   return truncToLong(textToDouble(n->value.psz ? n->value.psz : ""));
    default:             return 0;
    }
}

int lspNodeTruth(PLSPLIST n)
{
    if (!n)
        return 0;
    switch (n->type) {
    case LSP_T_FLOAT:    return n->value.d != 0.0;
    case LSP_T_INTEGER:  return n->value.l != 0;
    case LSP_T_DATETIME: return truncToLong(n->value.d) != 0;
    case LSP_T_LIST:
    case LSP_T_OPENLIST: return n->down != NULL;
    case LSP_T_SYMBOL:
    case LSP_T_STRING:   return !(n->value.psz && strcmp(n->value.psz, "0") == 0);
    default:             return 0;
    }
}

/* ---- printing ---- */

/* Escapes for the printed form of a string, applied in this order. */
static const struct { char raw; char esc; } escapes[] = {
    { '\\', '\\' }, { '\n', 'n' }, { '\f', 'f' }, { '\t', 't' }, { '\r', 'r' }, { '"', '"' }
};

/* Writes the quoted, escaped form of src; returns the length it needs
 * (like snprintf), writing at most size bytes including the terminator. */
size_t lspEscape(const char *src, char *dst, size_t size)
{
    size_t len = 0, i;
    const char *p;

#define PUT(c) do { if (len + 1 < size) dst[len] = (c); len++; } while (0)
    PUT('"');
    for (p = src; *p; p++) {
        char esc = 0;
        if (lspCharLen(p) == 2) {        /* a double-byte character is never escaped */
            PUT(p[0]);
            PUT(p[1]);
            p++;
            continue;
        }
        for (i = 0; i < sizeof escapes / sizeof escapes[0]; i++)
            if (*p == escapes[i].raw)
                esc = escapes[i].esc;
        if (esc) {
            PUT('\\');
            PUT(esc);
        } else {
            PUT(*p);
        }
    }
    PUT('"');
#undef PUT
    if (size)
        dst[len < size ? len : size - 1] = 0;
    return len;
}

void lspUnescape(char *text)
{
    size_t len = strlen(text);
    char *r, *w;
    if (len >= 2 && text[0] == '"' && text[len - 1] == '"') {
        memmove(text, text + 1, len - 2);
        text[len - 2] = 0;
    }
    for (r = w = text; *r; r++) {
        if (lspCharLen(r) == 2) {
            *w++ = *r++;
            *w++ = *r;
        } else if (*r == '\\' && r[1]) {
            r++;
            switch (*r) {
            case 'f': *w++ = '\f'; break;
            case 'n': *w++ = '\n'; break;
            case 'r': *w++ = '\r'; break;
            case 't': *w++ = '\t'; break;
            default:  *w++ = *r;   break;
            }
        } else {
            *w++ = *r;
        }
    }
    *w = 0;
}

#define LSP_ELLIPSIS     "..."
#define LSP_ELLIPSIS_LEN 3

/* Printing writes into the caller's buffer until something does not fit.
 * Then it backs up to the end of the last complete element (keeping room
 * for the terminator) and writes "..." there, so a cut text always ends
 * in "..." and never overruns. */
typedef struct {
    char *buf;
    size_t size;
    size_t len;
    size_t boundary;      /* end of the last complete element */
    BOOL full;
} PRINTER;

static void putText(PRINTER *p, const char *text, size_t len)
{
    if (p->full)
        return;
    if (p->len + len >= p->size) {
        p->full = TRUE;
        return;
    }
    memcpy(p->buf + p->len, text, len);
    p->len += len;
    p->buf[p->len] = 0;
}

static void printNode(PRINTER *p, PLSPLIST n, int depth)
{
    PLSPLIST e;
    if (p->full)
        return;
    if (LSP_IS_LIST(n)) {
        if (depth > LSP_MAX_DEPTH) {
            p->full = TRUE;
            return;
        }
        putText(p, "(", 1);
        for (e = n->down; e && !p->full; e = e->next) {
            printNode(p, e, depth + 1);
            if (!p->full)
                p->boundary = p->len;
            if (e->next)
                putText(p, " ", 1);
        }
        putText(p, ")", 1);
    } else if (n->type == LSP_T_STRING) {
        const char *s = n->value.psz ? n->value.psz : "";
        size_t need = lspEscape(s, NULL, 0);
        if (p->len + need >= p->size) {
            p->full = TRUE;
            return;
        }
        lspEscape(s, p->buf + p->len, p->size - p->len);
        p->len += need;
    } else {
        const char *t = lspNodeText(n);
        putText(p, t, strlen(t));
    }
}

static void finishCut(PRINTER *p)
{
    size_t cut = p->boundary, room;
    if (cut + LSP_ELLIPSIS_LEN + 1 > p->size)
        cut = p->size > LSP_ELLIPSIS_LEN ? p->size - LSP_ELLIPSIS_LEN - 1 : 0;
    room = p->size - 1 - cut;
    if (room > LSP_ELLIPSIS_LEN)
        room = LSP_ELLIPSIS_LEN;
    memcpy(p->buf + cut, LSP_ELLIPSIS, room);
    p->len = cut + room;
    p->buf[p->len] = 0;
}

/* The printed form of one node into buf (size bytes, terminator
 * included).  Returns the length written. */
size_t lspPrint(PLSPLIST n, char *buf, size_t size)
{
    PRINTER p;
    if (!buf || !size)
        return 0;
    p.buf = buf;
    p.size = size;
    p.len = 0;
    p.boundary = 0;
    p.full = FALSE;
    buf[0] = 0;
    if (!n)
        putText(&p, "NIL", 3);
    else
        printNode(&p, n, 0);
    if (p.full)
        finishCut(&p);
    return p.len;
}

/* ---- type names ---- */

static const struct { USHORT code; const char *name; } typeNames[] = {
    { LSP_T_NIL, "nil" }, { LSP_T_LIST, "list" }, { LSP_T_OPENLIST, "list" },
    { LSP_T_SYMBOL, "symbol" }, { LSP_T_STRING, "string" }, { LSP_T_INTEGER, "integer" },
    { LSP_T_FLOAT, "float" }, { LSP_T_DATETIME, "datetime" }
};

const char *lspTypeName(USHORT type)
{
    size_t i;
    for (i = 0; i < sizeof typeNames / sizeof typeNames[0]; i++)
        if (typeNames[i].code == type)
            return typeNames[i].name;
    return "unknown";
}

USHORT lspTypeCode(const char *name)
{
    size_t i;
    for (i = 0; i < sizeof typeNames / sizeof typeNames[0]; i++)
        if (_stricmp(typeNames[i].name, name) == 0)
            return typeNames[i].code;
    return LSP_T_NIL;
}
