/*
 * lsp_read.cpp - the reader: source text to node chains.
 *
 * The tokenizer is incremental.  Text arrives in pieces (feeds); the
 * characters of the token being assembled wait in a token buffer, and the
 * in-string and in-comment flags carry over from one feed to the next.
 * Whenever a token is complete (a delimiter was seen, or a string's
 * closing quote), the buffer is converted: each token becomes a node
 * created at the insertion point, the last node reached by walking along
 * the chain and down into open lists.  `(` makes an open list, `)` closes
 * the nearest one, and `'` makes an open list holding the symbol "'",
 * which "quote completion" renames to quote and closes as soon as the
 * quoted form is complete.
 *
 * The insertion point and the open lists on the path to it are kept
 * between conversions, so reading a long list costs linear time: finding
 * the list a node belongs to never walks back along its siblings.  The nesting of open lists is bounded by
 * kMaxDepth; deeper input fails with LSPERR_NOMEM rather than building
 * a tree that later walks could not handle.
 *
 * The reader state is process-wide and belongs to the interpreter's one
 * thread (lspint.h).
 *
 * Also here: LspFindExprEnd and the expression splitter that the
 * evaluation driver uses to take one top-level expression at a time.
 */
#include <cassert>
#include <cstring>
#include "lisp/lspint.h"

namespace orin::lsp {

namespace {

constexpr char kQuoteMark[] = "'";
constexpr char kDelims[] = "\"\n\r\f\t ()";

struct Reader {
    Buffer tok;          // token buffer, session buffer size
    size_t len;
    size_t cap;
    bool inString;
    bool inComment;
    PLSPLIST ins;        // insertion point, null before the first node
    ULONG openDepth;     // open lists on the path to the insertion point
    // Invariant: open[0..openDepth) are those lists, outermost first; a
    // node placed at the insertion point belongs to open[openDepth - 1].
    PLSPLIST open[kMaxDepth];
};

constinit Reader rd{};

/* The innermost open list, or null at the top level. */
PLSPLIST innermostOpen()
{
    return rd.openDepth ? rd.open[rd.openDepth - 1] : nullptr;
}

void pushOpen(PLSPLIST list)
{
    assert(rd.openDepth < static_cast<ULONG>(kMaxDepth));
    rd.open[rd.openDepth++] = list;
}

bool isSpace(char c)
{
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool isDelim(char c)
{
    return c && strchr(kDelims, c) != nullptr;
}

bool appendTok(LSPSESSION *s, const char *text, size_t n, unsigned int *err)
{
    if (!rd.tok) {
        rd.cap = static_cast<size_t>(s->bufferSize);
        rd.tok = makeBuffer(rd.cap);
        if (!rd.tok) {
            lspFailNoMem(err);
            return false;
        }
        rd.len = 0;
    }
    if (rd.len + n + 1 > rd.cap) {
        lspFail(err, LSPERR_TOOLONG, "");
        return false;
    }
    memcpy(rd.tok.get() + rd.len, text, n);
    rd.len += n;
    rd.tok[rd.len] = 0;
    return true;
}

/* Walks from the chain's first node along next and down into open lists
 * with elements to the last node, which becomes the insertion point; the
 * open lists passed on the way are recorded.  False when they nest deeper
 * than the reader allows. */
bool seekInsertionPoint(PLSPLIST chain)
{
    PLSPLIST n = chain;
    rd.openDepth = 0;
    rd.ins = nullptr;
    if (!n)
        return true;
    for (;;) {
        while (n->next)
            n = n->next;
        if (n->type == LSP_T_OPENLIST) {
            if (rd.openDepth >= static_cast<ULONG>(kMaxDepth))
                return false;
            pushOpen(n);
            if (n->down) {
                n = n->down;
                continue;
            }
        }
        rd.ins = n;
        return true;
    }
}

/* Creates node at the insertion point; the first node starts the chain. */
bool placeNode(PLSPLIST *chain, PLSPLIST n)
{
    if (!rd.ins) {
        if (*chain)                /* a chain is resumed through lspReadFeed */
            return false;
        *chain = n;
    } else if (!lspAttach(rd.ins, n)) {
        return false;
    }
    rd.ins = n;
    return true;
}

/* Renames and closes every quote list that the form just completed (n,
 * the last node placed or closed) finishes, innermost first. */
void quoteCompletion()
{
    for (PLSPLIST owner = innermostOpen(); owner; owner = innermostOpen()) {
        PLSPLIST first = owner->down;
        if (!first || first->type != LSP_T_SYMBOL || strcmp(first->value.psz, kQuoteMark) != 0
            || first == rd.ins)
            return;
        lspSetText(first, "quote", LSP_T_SYMBOL);
        lspListClose(owner);
        rd.openDepth--;
        rd.ins = owner;
    }
}

bool closeList(unsigned int *err)
{
    PLSPLIST list = innermostOpen();
    if (!list || list->type != LSP_T_OPENLIST) {
        lspFail(err, LSPERR_NOOPEN, "");
        return false;
    }
    lspListClose(list);
    rd.openDepth--;
    rd.ins = list;
    quoteCompletion();
    return true;
}

bool openList(PLSPLIST *chain, bool quoted, unsigned int *err)
{
    PLSPLIST list;
    if (rd.openDepth >= kMaxDepth) {
        lspFail(err, LSPERR_NOMEM, "nesting too deep");
        return false;
    }
    list = lspNewList(nullptr);
    if (!list || !placeNode(chain, list)) {
        lspNodeFree(list);
        lspFailNoMem(err);
        return false;
    }
    pushOpen(list);
    if (quoted) {
        PLSPLIST mark = lspNewText(list, kQuoteMark, LSP_T_SYMBOL);
        if (!mark) {
            lspFailNoMem(err);
            return false;
        }
        rd.ins = mark;
    }
    return true;
}

/* Classifies an atom's text and makes its node (standalone). */
PLSPLIST makeAtom(const char *text)
{
    double d;
    if (text[0] == '"') {
        PLSPLIST n = lspNewText(nullptr, text, LSP_T_STRING);
        if (n)
            lspUnescape(n->value.psz);
        return n;
    }
    if (_stricmp(text, "nil") == 0)
        return lspNewNil(nullptr);
    if (lspParseNumber(text, &d)) {
        if (d >= -2147483648.0 && d <= 2147483647.0 && d == (double)(LONG)d)
            return lspNewLong(nullptr, (LONG)d);
        return lspNewDouble(nullptr, d, LSP_T_FLOAT);
    }
    return lspNewText(nullptr, text, LSP_T_SYMBOL);
}

/* Index just past the closing quote of the string starting at i, or 0. */
size_t stringEnd(const char *t, size_t i)
{
    size_t j, slashes = 0;
    for (j = i + 1; t[j]; j += lspCharLen(t + j)) {
        if (t[j] == '"' && (slashes & 1) == 0)
            return j + 1;
        slashes = t[j] == '\\' && lspCharLen(t + j) == 1 ? slashes + 1 : 0;
    }
    return 0;
}

/* Is the quote at tok[q] escaped?  Counts the single-byte backslashes
 * right before it, walking from the opening quote by characters. */
bool quoteEscaped(const char *tok, size_t q)
{
    size_t j, slashes = 0;
    for (j = 1; j < q; j += lspCharLen(tok + j))
        slashes = tok[j] == '\\' && lspCharLen(tok + j) == 1 ? slashes + 1 : 0;
    return (slashes & 1) != 0;
}

bool convertAtom(PLSPLIST *chain, size_t *i, unsigned int *err)
{
    char *t = rd.tok.get();
    size_t start = *i, end;
    char saved;
    PLSPLIST n;

    if (t[start] == '"') {
        end = stringEnd(t, start);
        if (!end) {
            lspFail(err, LSPERR_TOOLONG, "");
            return false;
        }
    } else {
        for (end = start; t[end] && !isDelim(t[end]); end++)
            ;
    }
    saved = t[end];
    t[end] = 0;
    n = makeAtom(t + start);
    t[end] = saved;
    if (!n || !placeNode(chain, n)) {
        lspNodeFree(n);
        lspFailNoMem(err);
        return false;
    }
    if (isSpace(t[end]))
        end++;
    *i = end;
    quoteCompletion();
    return true;
}

/* Converts every token in the token buffer, then empties it. */
bool processTokens(PLSPLIST *chain, unsigned int *err)
{
    size_t i = 0;
    bool ok = true;
    if (!rd.tok)
        return true;
    while (ok && i < rd.len) {
        char c = rd.tok[i];
        if (isSpace(c)) {
            i++;
        } else if (c == ';') {
            while (i < rd.len && rd.tok[i] != '\n')
                i++;
        } else if (c == ')') {
            ok = closeList(err);
            i++;
        } else if (c == '(' || c == '\'') {
            ok = openList(chain, c == '\'', err);
            i++;
        } else {
            ok = convertAtom(chain, &i, err);
        }
    }
    rd.len = 0;
    rd.tok[0] = 0;
    return ok;
}

/* An unescaped line break before the closing quote (or the end) fails. */
bool lineBreakEscaped(const char *text, const char *lf)
{
    if (lf > text && lf[-1] == '\\')
        return true;
    return lf > text + 1 && lf[-1] == '\r' && lf[-2] == '\\';
}

bool feedString(LSPSESSION *s, const char *text, size_t *pos, bool *complete,
                unsigned int *err)
{
    const char *p = text + *pos;
    const char *quote = strchr(p, '"');
    const char *lf;
    size_t n;

    for (lf = strchr(p, '\n'); lf && (!quote || lf < quote); lf = strchr(lf + 1, '\n')) {
        if (!lineBreakEscaped(text, lf)) {
            lspFail(err, LSPERR_LINEBREAK, p);
            return false;
        }
    }
    if (!quote) {
        n = strlen(p);
        *pos += n;
        return appendTok(s, p, n, err);
    }
    n = (size_t)(quote - p) + 1;
    if (!appendTok(s, p, n, err))
        return false;
    *pos += n;
    if (rd.len < 3 || !quoteEscaped(rd.tok.get(), rd.len - 1)) {
        rd.inString = false;
        *complete = true;
    }
    return true;
}

}  // namespace

void lspReaderReset()
{
    rd.tok.reset();
    rd.len = rd.cap = 0;
    rd.inString = rd.inComment = false;
    rd.ins = nullptr;
    rd.openDepth = 0;              /* the open-list slots above it are dead */
}

namespace {

void failReset(PLSPLIST *chain)
{
    lspFreeTree(*chain);
    *chain = nullptr;
    lspReaderReset();
}

}  // namespace

PLSPLIST lspReadFeed(LSPSESSION *s, PLSPLIST chain, const char *text, size_t *pos,
                     bool flush, unsigned int *err)
{
    if (*err)
        return chain;
    if (chain && !rd.ins && !seekInsertionPoint(chain)) {
        lspFail(err, LSPERR_NOMEM, "nesting too deep");
        failReset(&chain);
        return nullptr;
    }

    while (text[*pos]) {
        bool complete = false;
        const char *p = text + *pos;
        if (rd.inString) {
            if (!feedString(s, text, pos, &complete, err)) {
                failReset(&chain);
                return nullptr;
            }
        } else if (rd.inComment) {
            const char *lf = strchr(p, '\n');
            *pos += lf ? (size_t)(lf - p) + 1 : strlen(p);
            if (lf)
                rd.inComment = false;
        } else if (*p == ';') {
            rd.inComment = true;
            (*pos)++;
        } else if (*p == '"') {
            rd.inString = true;
            (*pos)++;
            if (!appendTok(s, p, 1, err)) {
                failReset(&chain);
                return nullptr;
            }
        } else if (isSpace(*p) || *p == '(' || *p == ')') {
            if (!appendTok(s, p, 1, err)) {
                failReset(&chain);
                return nullptr;
            }
            (*pos)++;
            while (isSpace(text[*pos]))
                (*pos)++;
            complete = true;
        } else {
            size_t n = 0;
            while (p[n] && !isDelim(p[n]))
                n++;
            if (!appendTok(s, p, n, err)) {
                failReset(&chain);
                return nullptr;
            }
            *pos += n;
            complete = p[n] != 0;
        }
        if (complete && !processTokens(&chain, err)) {
            failReset(&chain);
            return nullptr;
        }
    }
    if (flush) {
        rd.inString = false;
        rd.inComment = false;
        if (!processTokens(&chain, err)) {
            failReset(&chain);
            return nullptr;
        }
        rd.tok.reset();
        rd.len = rd.cap = 0;
        rd.ins = nullptr;
        rd.openDepth = 0;
    }
    return chain;
}

PLSPLIST lspParseText(LSPSESSION *s, const char *text, unsigned int *err)
{
    size_t pos = 0;
    if (*err)
        return nullptr;
    lspReaderReset();
    PLSPLIST first = lspReadFeed(s, nullptr, text, &pos, false, err);
    pos = 0;
    Tree chain(lspReadFeed(s, first, " ", &pos, true, err));
    if (*err)
        return nullptr;
    for (PLSPLIST n = chain.get(); n; n = n->next) {
        if (n->type == LSP_T_OPENLIST) {
            lspFail(err, LSPERR_UNCLOSED, "");
            return nullptr;
        }
    }
    return chain.release();
}

/* Copies the next top-level expression of *source into work (size bytes
 * with the terminator) and advances *source past it.  Trims the source's
 * leading and trailing whitespace in place first.  Returns the length. */
size_t lspSplitExpr(LSPSESSION *s, char **source, char *work, size_t size)
{
    char *src = *source, *end;
    size_t n = 0, slashes = 0;
    int depth = 0;
    bool inString = false, inComment = false, seenOpen = false;

    while (isSpace(*src))
        src++;
    end = src + strlen(src);
    while (end > src && isSpace(end[-1]))
        *--end = 0;

    while (*src && n + 1 < size) {
        char c = *src++;
        work[n++] = c;
        if (inString && lspCharLen(src - 1) == 2) {
            if (n + 1 < size)
                work[n++] = *src++;       /* the trail byte, never an escape */
            slashes = 0;
        } else if (inString) {
            if (c == '"' && (slashes & 1) == 0)
                inString = false;
            slashes = c == '\\' ? slashes + 1 : 0;
        } else if (inComment) {
            if (c == '\n')
                inComment = false;
        } else if (c == ';') {
            inComment = true;
        } else if (c == '"') {
            inString = true;
            slashes = 0;
        } else if (c == '(') {
            depth++;
            seenOpen = true;
        } else if (c == ')') {
            depth--;
            if (seenOpen && depth < 1)
                break;
        }
    }
    if (size)
        work[n < size ? n : size - 1] = 0;
    *source = src;
    return n;
}

}  // namespace orin::lsp

const char *ORINAPI LspFindExprEnd(const char *text) noexcept
{
    const char *p;
    int depth = 0;
    bool inString = false;
    size_t slashes = 0;

    if (!text)
        return nullptr;
    for (p = text; *p; p++) {
        if (inString) {
            if (orin::lsp::lspCharLen(p) == 2) {
                p++;
                slashes = 0;
                continue;
            }
            if (*p == '"' && (slashes & 1) == 0)
                inString = false;
            slashes = *p == '\\' ? slashes + 1 : 0;
            continue;
        }
        if (*p == ';') {
            const char *lf = strchr(p, '\n');
            if (!lf)
                return p + strlen(p);
            p = lf;
        } else if (*p == '"') {
            inString = true;
            slashes = 0;
        } else if (*p == '(') {
            depth++;
        } else if (*p == ')') {
            if (--depth < 1)
                return p + 1;
        }
    }
    return p;
}
