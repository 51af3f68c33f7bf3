/*
 * stu_match.c - the match scanner's cursor: opening on text, a caller's
 * buffer or a file, stepping over characters, literal and whole-word
 * matches, blanks and numbers.  (The forward search is in stu_find.c.)
 *
 * A text cursor reads a zero-terminated string in memory: its own copy,
 * or the caller's buffer in place.  A file cursor reads the file through a
 * window of STU_WINDOW bytes with one spare byte behind it that always
 * holds a zero, so the window reads like a string: a window shorter than
 * STU_WINDOW is the end of the file, and its terminator is the end of the
 * text.  When the position reaches the end of a full window, the window is
 * reloaded from the file at the position's offset; an operation that needs
 * several bytes at once (a literal, a double-byte character) first asks
 * StuEnsure for them, which reloads the window starting at the position.
 * Positions that must survive reloads are kept as file offsets (STUMARK).
 *
 * Every test that fails leaves the position where it was: it looks first
 * (StuLooksAt) and only then consumes (StuAdvance).
 */
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include "text/stuint.h"
#include "frame/knlint.h"
#include "str.h"
#include "knlnam.h"

#define STU_FILE_ATTRIBUTE 0x80       /* normal file */
#define STU_ALL_DIGITS     0xFFFF     /* digit limit of the unbounded readers */
#define DECIMAL_BASE       10
#define HEX_BASE           16

static int isFile(const STUMATCH *c)
{
    return c->file != STU_NO_FILE;
}

/* Loads the window from the file at offset; a failed seek or read leaves
 * an empty window, which reads as the end of the text. */
static void loadWindow(STUMATCH *c, ULONG offset)
{
    ULONG got = 0, newPos;

    c->winOffset = offset;
    c->winLen = 0;
    if (KnlNamChgFilePtr(c->ns, (KNLHFILE)c->file, (LONG)offset, KNLNAM_SEEK_BEGIN, &newPos) == 0 &&
        KnlNamRead(c->ns, (KNLHFILE)c->file, c->buffer, STU_WINDOW, &got) == 0 &&
        got <= STU_WINDOW)
        c->winLen = (USHORT)got;
    c->buffer[c->winLen] = 0;
    c->pos = c->buffer;
}

static size_t bytesInWindow(const STUMATCH *c)
{
    return (size_t)(c->buffer + c->winLen - c->pos);
}

size_t StuEnsure(STUMATCH *c, size_t n)
{
    size_t avail;

    if (!isFile(c))
        return n;
    avail = bytesInWindow(c);
    if (avail >= n)
        return n;
    if (c->winLen == STU_WINDOW && c->pos > c->buffer)
        loadWindow(c, c->winOffset + (ULONG)(c->pos - c->buffer));
    avail = bytesInWindow(c);
    return avail < n ? avail : n;
}

void StuAdvance(STUMATCH *c, size_t n)
{
    c->pos += n;
    if (isFile(c) && c->winLen == STU_WINDOW && c->pos >= c->buffer + STU_WINDOW)
        loadWindow(c, c->winOffset + (ULONG)(c->pos - c->buffer));
}

USHORT StuCharAt(STUMATCH *c, size_t *len)
{
    BYTE lead;

    StuEnsure(c, 1);
    lead = c->pos[0];
    if (lead == 0) {
        *len = 0;
        return 0;
    }
    if (KNL_ISLEAD(lead) && StuEnsure(c, 2) == 2 && c->pos[1]) {
        *len = 2;
        return (USHORT)(c->pos[0] | (c->pos[1] << 8));
    }
    *len = 1;
    return c->pos[0];
}

STUMARK StuMark(const STUMATCH *c)
{
    return (STUMARK)c->winOffset + (STUMARK)(c->pos - c->buffer);
}

void StuRestore(STUMATCH *c, STUMARK mark)
{
    if (!isFile(c)) {
        c->pos = c->buffer + mark;
        return;
    }
    if (mark >= c->winOffset && mark - c->winOffset < c->winLen)
        c->pos = c->buffer + (mark - c->winOffset);
    else
        loadWindow(c, (ULONG)mark);
}

/* Character value and byte length of the literal's character at s. */
static USHORT literalChar(const char *s, size_t *len)
{
    if (KNL_ISLEAD(s[0]) && s[1]) {
        *len = 2;
        return (USHORT)((BYTE)s[0] | ((BYTE)s[1] << 8));
    }
    *len = 1;
    return (BYTE)s[0];
}

int StuLooksAt(STUMATCH *c, const char *literal, size_t len, int ignoreCase)
{
    const char *text;
    size_t i, tl, ll;

    if (isFile(c) && StuEnsure(c, len) < len)
        return 0;
    text = (const char *)c->pos;
    if (!ignoreCase) {
        for (i = 0; i < len; i++)
            if (text[i] != literal[i])
                return 0;
        return 1;
    }
    for (i = 0; i < len; i += ll) {
        USHORT lc, tc;
        if (text[i] == 0)
            return 0;
        lc = literalChar(literal + i, &ll);
        tc = literalChar(text + i, &tl);
        if (tl != ll || ChrToLower(tc) != ChrToLower(lc))
            return 0;
    }
    return 1;
}

/* ---- Opening and closing ---- */

static USHORT newCursor(STUMATCH **out, BYTE *buffer, ULONG owns)
{
    STUMATCH *c = (STUMATCH *)calloc(1, sizeof *c);
    if (!c)
        return ORIN_ERR_NO_MEMORY;
    c->buffer = buffer;
    c->pos = buffer;
    c->file = STU_NO_FILE;
    c->ownsBuffer = owns;
    *out = c;
    return 0;
}

USHORT ORINAPI StuMatchOpen(const char *text, STUMATCH **cursor) noexcept
{
    size_t n;
    BYTE *copy;
    USHORT rc;

    if (!text || !cursor)
        return ORIN_ERR_INVALID_PARAM;
    n = strlen(text);
    copy = (BYTE *)malloc(n + 1);
    if (!copy)
        return ORIN_ERR_NO_MEMORY;
    memcpy(copy, text, n + 1);
    rc = newCursor(cursor, copy, 1);
    if (rc)
        free(copy);
    return rc;
}

USHORT ORINAPI StuMatchOpenRealBuffer(const char *buffer, STUMATCH **cursor) noexcept
{
    if (!buffer || !cursor)
        return ORIN_ERR_INVALID_PARAM;
    return newCursor(cursor, (BYTE *)buffer, 0);
}

USHORT ORINAPI StuMatchOpenFile(void *ns, const char *name, STUMATCH **cursor, ULONG openMode) noexcept
{
    BYTE *window;
    KNLHFILE h;
    ULONG action;
    USHORT rc;

    if (!name || !cursor)
        return ORIN_ERR_INVALID_PARAM;
    window = (BYTE *)malloc(STU_WINDOW + 1);
    if (!window)
        return ORIN_ERR_NO_MEMORY;
    rc = newCursor(cursor, window, 1);
    if (rc) {
        free(window);
        return rc;
    }
    rc = KnlNamOpen(ns, name, &h, &action, 0, STU_FILE_ATTRIBUTE, KNLNAM_OPEN_EXISTING, openMode, 0);
    if (rc) {
        free(window);
        free(*cursor);
        *cursor = NULL;
        return rc;
    }
    (*cursor)->file = h;
    (*cursor)->ns = ns;
    loadWindow(*cursor, 0);
    return 0;
}

void ORINAPI StuMatchClose(STUMATCH *c) noexcept
{
    if (!c)
        return;
    if (isFile(c))
        KnlNamClose(c->ns, (KNLHFILE)c->file);
    if (c->ownsBuffer)
        free(c->buffer);
    free(c);
}

void ORINAPI StuMatchRewind(STUMATCH *c) noexcept
{
    if (!c)
        return;
    if (isFile(c))
        loadWindow(c, 0);
    else
        c->pos = c->buffer;
}

/* ---- Position and characters ---- */

char *ORINAPI StuMatchPtr(STUMATCH *c) noexcept
{
    return c ? (char *)c->pos : NULL;
}

USHORT ORINAPI StuMatchIndex(STUMATCH *c) noexcept
{
    return c ? (USHORT)(c->pos - c->buffer) : 0;
}

USHORT ORINAPI StuMatchEom(STUMATCH *c) noexcept
{
    size_t len;
    if (!c)
        return 1;
    StuCharAt(c, &len);
    return len == 0;
}

USHORT ORINAPI StuMatchQueryChar(STUMATCH *c) noexcept
{
    size_t len;
    return c ? StuCharAt(c, &len) : 0;
}

USHORT ORINAPI StuMatchGetChar(STUMATCH *c) noexcept
{
    size_t len;
    USHORT ch;

    if (!c)
        return 0;
    ch = StuCharAt(c, &len);
    StuAdvance(c, len);
    return ch;
}

USHORT ORINAPI StuMatchGetStr(STUMATCH *c, USHORT count, char *buf) noexcept
{
    USHORT taken = 0;
    size_t len, out = 0;

    if (!c) {
        if (buf)
            buf[0] = 0;
        return 0;
    }
    while (taken < count) {
        StuCharAt(c, &len);
        if (len == 0)
            break;
        if (buf) {
            memcpy(buf + out, c->pos, len);
            out += len;
        }
        StuAdvance(c, len);
        taken++;
    }
    if (buf)
        buf[out] = 0;
    return taken == count;
}

USHORT ORINAPI StuMatchIsAlpha(STUMATCH *c) noexcept
{
    size_t len;
    USHORT ch;

    if (!c)
        return 0;
    ch = StuCharAt(c, &len);
    return len && ChrIsAlpha(ch) ? 1 : 0;
}

static int isSpaceAt(STUMATCH *c, size_t *len)
{
    USHORT ch = StuCharAt(c, len);
    return *len && ChrIsSpace(ch);
}

USHORT ORINAPI StuMatchBlanks(STUMATCH *c) noexcept
{
    size_t len;
    int skipped = 0;

    if (!c)
        return 0;
    while (isSpaceAt(c, &len)) {
        StuAdvance(c, len);
        skipped = 1;
    }
    return (USHORT)skipped;
}

/* Whether a digit follows the signs and blanks at the position; the
 * position is restored either way. */
static USHORT digitFollows(STUMATCH *c, int hex)
{
    STUMARK start;
    size_t len;
    USHORT ch;

    if (!c)
        return 0;
    start = StuMark(c);
    for (;;) {
        ch = StuCharAt(c, &len);
        if (len == 1 && (ch == '+' || ch == '-' || ChrIsSpace(ch)))
            StuAdvance(c, len);
        else
            break;
    }
    ch = StuCharAt(c, &len);
    StuRestore(c, start);
    if (len == 0)
        return 0;
    return (hex ? ChrIsHexDigit(ch) : ChrIsDigit(ch)) ? 1 : 0;
}

USHORT ORINAPI StuMatchIsNumber(STUMATCH *c) noexcept
{
    return digitFollows(c, 0);
}

USHORT ORINAPI StuMatchIsHexNumber(STUMATCH *c) noexcept
{
    return digitFollows(c, 1);
}

/* ---- Literals ---- */

static USHORT matchLiteral(STUMATCH *c, const char *literal, int ignoreCase)
{
    size_t len;

    if (!c || !literal)
        return 0;
    len = strlen(literal);
    if (!StuLooksAt(c, literal, len, ignoreCase))
        return 0;
    StuAdvance(c, len);
    return 1;
}

/* A literal that must end a word: the character behind it may not be a
 * letter, a digit or '_'.  When a file window cannot hold that character
 * too, the name counts as matched but stays unconsumed. */
static USHORT matchName(STUMATCH *c, const char *name, int ignoreCase)
{
    size_t len, tail;
    BYTE next;
    USHORT ch;

    if (!c || !name)
        return 0;
    len = strlen(name);
    if (!StuLooksAt(c, name, len, ignoreCase))
        return 0;
    StuEnsure(c, len + 1);
    tail = (size_t)(c->pos - c->buffer) + len;
    if (isFile(c) && c->winLen == STU_WINDOW && tail >= STU_WINDOW)
        return 1;
    next = c->pos[len];
    ch = next;
    if (next && KNL_ISLEAD(next) && StuEnsure(c, len + 2) == len + 2 && c->pos[len + 1])
        ch = (USHORT)(next | (c->pos[len + 1] << 8));
    if (ch && (ChrIsAlnum(ch) || ch == '_'))
        return 0;
    StuAdvance(c, len);
    return 1;
}

USHORT ORINAPI StuMatchMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, 0);
}

USHORT ORINAPI StuMatchIMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, 1);
}

USHORT ORINAPI StuMatchBMatch(STUMATCH *c, const char *literal) noexcept
{
    StuMatchBlanks(c);
    return matchLiteral(c, literal, 0);
}

USHORT ORINAPI StuMatchBIMatch(STUMATCH *c, const char *literal) noexcept
{
    StuMatchBlanks(c);
    return matchLiteral(c, literal, 1);
}

USHORT ORINAPI StuMatchMatchName(STUMATCH *c, const char *name) noexcept
{
    return matchName(c, name, 0);
}

USHORT ORINAPI StuMatchIMatchName(STUMATCH *c, const char *name) noexcept
{
    return matchName(c, name, 1);
}

/* ---- Numbers ---- */

/* Skips blanks and reports whether the single-byte character ch follows;
 * consumes it when it does. */
static int takeSign(STUMATCH *c, char ch)
{
    size_t len;
    StuMatchBlanks(c);
    if (StuCharAt(c, &len) == (BYTE)ch && len == 1) {
        StuAdvance(c, len);
        return 1;
    }
    return 0;
}

/* Any number of minus signs (each one negates), blanks between them. */
static int takeMinusSigns(STUMATCH *c)
{
    int negative = 0;
    while (takeSign(c, '-'))
        negative = !negative;
    return negative;
}

/* The common frame: plus signs and blanks, then up to maxDigits digits of
 * the base, accumulated in 32 bits (wrapping). */
static ULONG readDigits(STUMATCH *c, unsigned maxDigits, unsigned base)
{
    ULONG value = 0;
    unsigned taken = 0;
    size_t len;
    USHORT ch;

    while (takeSign(c, '+'))
        ;
    StuMatchBlanks(c);
    if (base == HEX_BASE) {
        if (StuLooksAt(c, "0x", 2, 0))
            StuAdvance(c, 2);
        if (StuLooksAt(c, "0X", 2, 0))
            StuAdvance(c, 2);
    }
    while (taken < maxDigits) {
        ch = StuCharAt(c, &len);
        if (len != 1)
            break;
        if (base == HEX_BASE) {
            if (!ChrIsHexDigit(ch))
                break;
            value = value * HEX_BASE + ChrToHex(ch);
        } else {
            if (!ChrIsDigit(ch))
                break;
            value = value * DECIMAL_BASE + (ULONG)(ch - '0');
        }
        StuAdvance(c, len);
        taken++;
    }
    return value;
}

static LONG readSigned(STUMATCH *c, unsigned maxDigits, unsigned base)
{
    int negative;
    ULONG value;

    if (!c)
        return 0;
    negative = takeMinusSigns(c);
    value = readDigits(c, maxDigits, base);
    return (LONG)(negative ? 0UL - value : value);
}

LONG ORINAPI StuMatchLongN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return readSigned(c, maxDigits, DECIMAL_BASE);
}

SHORT ORINAPI StuMatchShortN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return (SHORT)readSigned(c, maxDigits, DECIMAL_BASE);
}

LONG ORINAPI StuMatchLong(STUMATCH *c) noexcept
{
    return readSigned(c, STU_ALL_DIGITS, DECIMAL_BASE);
}

SHORT ORINAPI StuMatchShort(STUMATCH *c) noexcept
{
    return (SHORT)readSigned(c, STU_ALL_DIGITS, DECIMAL_BASE);
}

ULONG ORINAPI StuMatchULongN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return c ? readDigits(c, maxDigits, DECIMAL_BASE) : 0;
}

USHORT ORINAPI StuMatchUShortN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return (USHORT)StuMatchULongN(c, maxDigits);
}

ULONG ORINAPI StuMatchULong(STUMATCH *c) noexcept
{
    return StuMatchULongN(c, STU_ALL_DIGITS);
}

USHORT ORINAPI StuMatchUShort(STUMATCH *c) noexcept
{
    return (USHORT)StuMatchULongN(c, STU_ALL_DIGITS);
}

/* Hexadecimal numbers have no digit limit. */
LONG ORINAPI StuMatchHexLong(STUMATCH *c) noexcept
{
    return readSigned(c, UINT_MAX, HEX_BASE);
}

SHORT ORINAPI StuMatchHexShort(STUMATCH *c) noexcept
{
    return (SHORT)readSigned(c, UINT_MAX, HEX_BASE);
}
