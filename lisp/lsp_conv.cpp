/*
 * lsp_conv.cpp - conversions between a node and text, numbers and truth,
 * the printed form of a node, and the type-name table.
 *
 * Non-text nodes are formatted into one of six rotating buffers, so a
 * returned text stays valid until six further conversions.  Printing is
 * bounded by the caller's buffer and by kMaxDepth levels of lists.
 */
#include <cstdio>
#include <cstring>
#include "lisp/lspint.h"
#include "frame/knlint.h"
#include "str.h"
#include "dat.h"

namespace orin::lsp {

/* ---- characters, numbers and values from text ---- */

size_t lspCharLen(const char *p)
{
    return MbsLen(p) == 2 && p[1] ? 2 : 1;
}

/* A text accepted whole as a number (the reader's rule for atoms). */
bool lspParseNumber(const char *text, double *out)
{
    return text && *text && StrToDoubleEx(text, out) == 0;
}

namespace {

double textToDouble(const char *text)
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

/* Truncation toward zero, clamped to 32 bits; NaN gives 0. */
LONG truncToLong(double d)
{
    if (d != d)
        return 0;
    if (d >= 2147483647.0)
        return 2147483647L;
    if (d <= -2147483648.0)
        return static_cast<LONG>(-2147483647L - 1);
    return static_cast<LONG>(d);
}

/* The rotating buffers that non-text nodes are formatted into; they
 * belong to the interpreter's one thread (lspint.h). */
struct NumberTexts {
    char buf[kNumBufs][kNumBufSize];
    int next;
};
constinit NumberTexts numberTexts{};

char *nextNumBuf()
{
    char *b = numberTexts.buf[numberTexts.next];
    numberTexts.next = (numberTexts.next + 1) % kNumBufs;
    return b;
}

}  // namespace

bool lspValueFromText(PLSPLIST n, const char *text, USHORT type)
{
    switch (type) {
    case LSP_T_INTEGER:
        lspSetLong(n, truncToLong(textToDouble(text)));
        return true;
    case LSP_T_FLOAT:
        lspSetDouble(n, textToDouble(text));
        return true;
    case LSP_T_DATETIME: {
        double d = 0.0;
        if (DatStr2DTJulian(text, &d) != 0)
            d = 0.0;
        lspSetDateTime(n, d);
        return true;
    }
    case LSP_T_SYMBOL:
    case LSP_T_STRING:
        return lspSetText(n, text, type);
    case LSP_T_LIST:
    case LSP_T_OPENLIST:
        lspReleaseValue(n);
        n->type = type;
        return true;
    default:
        lspSetNil(n);
        return true;
    }
}

/* ---- conversions ---- */

const char *lspNodeText(PLSPLIST n)
{
    char *b;
    if (isText(n))
        return n->value.psz ? n->value.psz : "";
    b = nextNumBuf();
    if (!n || n->type == LSP_T_NIL)
        strcpy(b, "NIL");
    else if (n->type == LSP_T_INTEGER)
        snprintf(b, kNumBufSize, "%ld", (long)n->value.l);
    else if (n->type == LSP_T_FLOAT)
        snprintf(b, kNumBufSize, "%.13G", n->value.d);
    else if (n->type == LSP_T_DATETIME)
        DatDTJulian2Str(n->value.d, b, kNumBufSize);
    else if (isList(n))
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
    case LSP_T_OPENLIST: return n->down != nullptr;
    case LSP_T_SYMBOL:
    case LSP_T_STRING:   return !(n->value.psz && strcmp(n->value.psz, "0") == 0);
    default:             return 0;
    }
}

/* ---- printing ---- */

namespace {

/* Escapes for the printed form of a string, applied in this order. */
struct Escape {
    char raw;
    char esc;
};
constexpr Escape escapes[] = {
    { '\\', '\\' }, { '\n', 'n' }, { '\f', 'f' }, { '\t', 't' }, { '\r', 'r' }, { '"', '"' }
};

/* The escape letter of a raw character, or 0. */
char escapeOf(char raw)
{
    for (const Escape &e : escapes)
        if (e.raw == raw)
            return e.esc;
    return 0;
}

/* Output of lspEscape: counts every byte, stores those that fit before
 * the terminator. */
struct BoundedOut {
    char *dst;
    size_t size;
    size_t len = 0;
    void put(char c)
    {
        if (len + 1 < size)
            dst[len] = c;
        len++;
    }
};

}  // namespace

/* Writes the quoted, escaped form of src; returns the length it needs
 * (like snprintf), writing at most size bytes including the terminator. */
size_t lspEscape(const char *src, char *dst, size_t size)
{
    BoundedOut out{dst, size};
    out.put('"');
    for (const char *p = src; *p; p++) {
        if (lspCharLen(p) == 2) {        /* a double-byte character is never escaped */
            out.put(p[0]);
            out.put(p[1]);
            p++;
            continue;
        }
        if (char esc = escapeOf(*p)) {
            out.put('\\');
            out.put(esc);
        } else {
            out.put(*p);
        }
    }
    out.put('"');
    if (size)
        dst[out.len < size ? out.len : size - 1] = 0;
    return out.len;
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

namespace {

constexpr char kEllipsis[] = "...";
constexpr size_t kEllipsisLen = sizeof kEllipsis - 1;

/* Printing writes into the caller's buffer until something does not fit.
 * Then it backs up to the end of the last complete element (keeping room
 * for the terminator) and writes "..." there, so a cut text always ends
 * in "..." and never overruns. */
class Printer {
public:
    Printer(char *buf, size_t size) : buf_(buf), size_(size) { buf_[0] = 0; }

    void node(PLSPLIST n, int depth)
    {
        if (full_)
            return;
        if (isList(n))
            list(n, depth);
        else if (n->type == LSP_T_STRING)
            string(n->value.psz ? n->value.psz : "");
        else
            text(lspNodeText(n));
    }
    void text(const char *t) { put(t, strlen(t)); }

    /* Ends the output; returns its length. */
    size_t finish()
    {
        if (full_)
            cut();
        return len_;
    }

private:
    void put(const char *text, size_t len)
    {
        if (full_)
            return;
        if (len_ + len >= size_) {
            full_ = true;
            return;
        }
        memcpy(buf_ + len_, text, len);
        len_ += len;
        buf_[len_] = 0;
    }

    void list(PLSPLIST n, int depth)
    {
        if (depth > kMaxDepth) {
            full_ = true;
            return;
        }
        put("(", 1);
        for (PLSPLIST e = n->down; e && !full_; e = e->next) {
            node(e, depth + 1);
            if (!full_)
                boundary_ = len_;
            if (e->next)
                put(" ", 1);
        }
        put(")", 1);
    }

    void string(const char *s)
    {
        size_t need = lspEscape(s, nullptr, 0);
        if (len_ + need >= size_) {
            full_ = true;
            return;
        }
        lspEscape(s, buf_ + len_, size_ - len_);
        len_ += need;
    }

    void cut()
    {
        size_t at = boundary_;
        if (at + kEllipsisLen + 1 > size_)
            at = size_ > kEllipsisLen ? size_ - kEllipsisLen - 1 : 0;
        size_t room = size_ - 1 - at;
        if (room > kEllipsisLen)
            room = kEllipsisLen;
        memcpy(buf_ + at, kEllipsis, room);
        len_ = at + room;
        buf_[len_] = 0;
    }

    char *buf_;
    size_t size_;
    size_t len_ = 0;
    size_t boundary_ = 0;        // end of the last complete element
    bool full_ = false;
};

}  // namespace

/* The printed form of one node into buf (size bytes, terminator
 * included).  Returns the length written. */
size_t lspPrint(PLSPLIST n, char *buf, size_t size)
{
    if (!buf || !size)
        return 0;
    Printer p(buf, size);
    if (!n)
        p.text("NIL");
    else
        p.node(n, 0);
    return p.finish();
}

/* ---- type names ---- */

namespace {

struct TypeName {
    USHORT code;
    const char *name;
};
constexpr TypeName typeNames[] = {
    { LSP_T_NIL, "nil" }, { LSP_T_LIST, "list" }, { LSP_T_OPENLIST, "list" },
    { LSP_T_SYMBOL, "symbol" }, { LSP_T_STRING, "string" }, { LSP_T_INTEGER, "integer" },
    { LSP_T_FLOAT, "float" }, { LSP_T_DATETIME, "datetime" }
};

}  // namespace

const char *lspTypeName(USHORT type)
{
    for (const TypeName &t : typeNames)
        if (t.code == type)
            return t.name;
    return "unknown";
}

USHORT lspTypeCode(const char *name)
{
    for (const TypeName &t : typeNames)
        if (_stricmp(t.name, name) == 0)
            return t.code;
    return LSP_T_NIL;
}

}  // namespace orin::lsp
