/*
 * stu_match.cpp - the match scanner's cursor: opening on text, a caller's
 * buffer or a file, stepping over characters, literal and whole-word
 * matches, blanks and numbers.  (The forward search is in stu_find.cpp.)
 *
 * A text cursor reads a zero-terminated string in memory: its own copy,
 * or the caller's buffer in place.  A file cursor reads the file through a
 * window of kWindow bytes with one spare byte behind it that always holds
 * a zero, so the window reads like a string: a window shorter than kWindow
 * is the end of the file, and its terminator is the end of the text.  When
 * the position reaches the end of a full window, the window is reloaded
 * from the file at the position's offset; an operation that needs several
 * bytes at once (a literal, a double-byte character) first asks ensure()
 * for them, which reloads the window starting at the position.  Positions
 * that must survive reloads are kept as offsets (Mark).
 *
 * Every test that fails leaves the position where it was: it looks first
 * (looksAt) and only then consumes (advance).
 *
 * The cursors behind handles live in a handle pool: a handle that is not
 * a live cursor (made up, of another family, or closed) gets the answer of
 * a null cursor and 87 (invalid parameter) in the last error, without
 * being read through.  Each cursor belongs to one thread at a time.
 */
#include <climits>
#include <cstring>
#include "frame/boundary.h"
#include "frame/handle_pool.h"
#include "text/stuint.h"
#include "str.h"

namespace orin::stu {

namespace {

constexpr ULONG kFileAttribute = 0x80;       // normal file
constexpr unsigned kAllDigits = 0xFFFF;      // digit limit of the unbounded decimal readers
constexpr unsigned kHexDigits = UINT_MAX;    // hexadecimal numbers have no digit limit

/* Character value and byte length of the literal's character at s. */
USHORT literalChar(const char *s, std::size_t &len) noexcept
{
    if (knlLeadByte[static_cast<BYTE>(s[0])] && s[1]) {
        len = 2;
        return static_cast<USHORT>(static_cast<BYTE>(s[0]) | (static_cast<BYTE>(s[1]) << 8));
    }
    len = 1;
    return static_cast<BYTE>(s[0]);
}

}  // namespace

Cursor::~Cursor()
{
    if (isFile())
        KnlNamClose(ns_, static_cast<KNLHFILE>(file_));
}

void Cursor::attachFile(KNLHFILE file) noexcept
{
    file_ = file;
    loadWindow(0);
}

/* ---- The file window ---- */

/* Loads the window from the file at offset; a failed seek or read leaves
 * an empty window, which reads as the end of the text. */
void Cursor::loadWindow(ULONG offset) noexcept
{
    ULONG got = 0, newPos;
    winOffset_ = offset;
    winLen_ = 0;
    if (KnlNamChgFilePtr(ns_, static_cast<KNLHFILE>(file_), static_cast<LONG>(offset),
                         KNLNAM_SEEK_BEGIN, &newPos) == 0 &&
        KnlNamRead(ns_, static_cast<KNLHFILE>(file_), buffer_, kWindow, &got) == 0 &&
        got <= kWindow)
        winLen_ = static_cast<USHORT>(got);
    // Invariant: the byte behind the valid ones is a zero, so the window reads as a string.
    buffer_[winLen_] = 0;
    pos_ = buffer_;
}

std::size_t Cursor::ensureInFile(std::size_t n) noexcept
{
    if (bytesInWindow() >= n)
        return n;
    if (winLen_ == kWindow && pos_ > buffer_)
        loadWindow(winOffset_ + static_cast<ULONG>(pos_ - buffer_));
    std::size_t avail = bytesInWindow();
    return avail < n ? avail : n;
}

/* At the end of a full window the next one is loaded. */
void Cursor::followWindow() noexcept
{
    if (winLen_ == kWindow && pos_ >= buffer_ + kWindow)
        loadWindow(winOffset_ + static_cast<ULONG>(pos_ - buffer_));
}

void Cursor::restore(Mark m) noexcept
{
    if (!isFile()) {
        pos_ = buffer_ + m;
        return;
    }
    if (m >= winOffset_ && m - winOffset_ < winLen_)
        pos_ = buffer_ + (m - winOffset_);
    else
        loadWindow(static_cast<ULONG>(m));
}

bool Cursor::looksAt(const char *literal, std::size_t len, bool ignoreCase) noexcept
{
    if (isFile() && ensure(len) < len)
        return false;
    const auto *text = reinterpret_cast<const char *>(pos_);
    if (!ignoreCase)
        return std::strncmp(text, literal, len) == 0;   // the text's terminator ends it early
    for (std::size_t i = 0, tl, ll; i < len; i += ll) {
        if (text[i] == 0)
            return false;
        USHORT lc = literalChar(literal + i, ll);
        USHORT tc = literalChar(text + i, tl);
        if (tl != ll || ChrToLower(tc) != ChrToLower(lc))
            return false;
    }
    return true;
}

/* ---- Position and characters ---- */

void Cursor::rewind() noexcept
{
    if (isFile())
        loadWindow(0);
    else
        pos_ = buffer_;
}

bool Cursor::atEnd() noexcept
{
    std::size_t len;
    charAt(len);
    return len == 0;
}

USHORT Cursor::queryChar() noexcept
{
    std::size_t len;
    return charAt(len);
}

USHORT Cursor::getChar() noexcept
{
    std::size_t len;
    USHORT ch = charAt(len);
    advance(len);
    return ch;
}

/* Takes up to count characters, copied (with a terminator) into buf when
 * it is given; whether count characters were there. */
bool Cursor::getStr(USHORT count, char *buf) noexcept
{
    USHORT taken = 0;
    std::size_t len, out = 0;
    while (taken < count) {
        charAt(len);
        if (len == 0)
            break;
        if (buf) {
            std::memcpy(buf + out, pos_, len);
            out += len;
        }
        advance(len);
        taken++;
    }
    if (buf)
        buf[out] = 0;
    return taken == count;
}

bool Cursor::isAlpha() noexcept
{
    std::size_t len;
    USHORT ch = charAt(len);
    return len && ChrIsAlpha(ch);
}

bool Cursor::blanks() noexcept
{
    bool skipped = false;
    for (std::size_t len;;) {
        USHORT ch = charAt(len);
        if (!len || !ChrIsSpace(ch))
            return skipped;
        advance(len);
        skipped = true;
    }
}

/* Whether a digit follows the signs and blanks at the position; the
 * position is restored either way. */
bool Cursor::digitFollows(bool hex) noexcept
{
    Mark start = mark();
    std::size_t len;
    USHORT ch;
    for (;;) {
        ch = charAt(len);
        if (len == 1 && (ch == '+' || ch == '-' || ChrIsSpace(ch)))
            advance(len);
        else
            break;
    }
    ch = charAt(len);
    restore(start);
    if (len == 0)
        return false;
    return (hex ? ChrIsHexDigit(ch) : ChrIsDigit(ch)) != 0;
}

/* ---- Literals ---- */

bool Cursor::match(const char *literal, bool ignoreCase) noexcept
{
    std::size_t len = std::strlen(literal);
    if (!looksAt(literal, len, ignoreCase))
        return false;
    advance(len);
    return true;
}

/* A literal that must end a word: the character behind it may not be a
 * letter, a digit or '_'.  When a file window cannot hold that character
 * too, the name counts as matched but stays unconsumed. */
bool Cursor::matchName(const char *name, bool ignoreCase) noexcept
{
    std::size_t len = std::strlen(name);
    if (!looksAt(name, len, ignoreCase))
        return false;
    ensure(len + 1);
    std::size_t tail = static_cast<std::size_t>(pos_ - buffer_) + len;
    if (isFile() && winLen_ == kWindow && tail >= kWindow)
        return true;
    BYTE next = pos_[len];
    USHORT ch = next;
    if (next && knlLeadByte[next] && ensure(len + 2) == len + 2 && pos_[len + 1])
        ch = static_cast<USHORT>(next | (pos_[len + 1] << 8));
    if (ch && (ChrIsAlnum(ch) || ch == '_'))
        return false;
    advance(len);
    return true;
}

/* ---- Numbers ---- */

/* Skips blanks and reports whether the single-byte character ch follows;
 * consumes it when it does. */
bool Cursor::takeSign(char ch) noexcept
{
    std::size_t len;
    blanks();
    if (charAt(len) == static_cast<BYTE>(ch) && len == 1) {
        advance(len);
        return true;
    }
    return false;
}

bool Cursor::takeMinusSigns() noexcept
{
    bool negative = false;
    while (takeSign('-'))
        negative = !negative;
    return negative;
}

ULONG Cursor::readDigits(unsigned maxDigits, unsigned base) noexcept
{
    while (takeSign('+'))
        ;
    blanks();
    if (base == kHexBase) {
        if (looksAt("0x", 2, false))
            advance(2);
        if (looksAt("0X", 2, false))
            advance(2);
    }
    ULONG value = 0;
    std::size_t len;
    for (unsigned taken = 0; taken < maxDigits; taken++) {
        USHORT ch = charAt(len);
        if (len != 1)
            break;
        if (base == kHexBase) {
            if (!ChrIsHexDigit(ch))
                break;
            value = value * kHexBase + ChrToHex(ch);
        } else {
            if (!ChrIsDigit(ch))
                break;
            value = value * kDecimalBase + static_cast<ULONG>(ch - '0');
        }
        advance(len);
    }
    return value;
}

LONG Cursor::readSigned(unsigned maxDigits, unsigned base) noexcept
{
    bool negative = takeMinusSigns();
    ULONG value = readDigits(maxDigits, base);
    return static_cast<LONG>(negative ? 0UL - value : value);
}

/* ---- Handles ---- */

namespace {

constinit HandlePool<_STUMATCH> cursors;

/* The cursor of a live handle; null for null, and for a handle that is not
 * live, which also leaves 87 in the last error. */
_STUMATCH *live(STUMATCH *h) noexcept
{
    if (!h)
        return nullptr;
    _STUMATCH *c = cursors.get(h);
    if (!c)
        SetLastError(ORIN_ERR_INVALID_PARAM);
    return c;
}

/* Hands out a new cursor made from args; 8 when memory runs out. */
template <class... Args>
USHORT handOut(STUMATCH **out, Args &&...args) noexcept
{
    return guardCode([&] {
        *out = cursors.make(std::forward<Args>(args)...).release();
        return USHORT{0};
    });
}

}  // namespace
}  // namespace orin::stu

using orin::stu::Cursor;
using orin::stu::live;

/* ---- Opening and closing ---- */

USHORT ORINAPI StuMatchOpen(const char *text, STUMATCH **cursor) noexcept
{
    if (!text || !cursor)
        return ORIN_ERR_INVALID_PARAM;
    return orin::guardCode([&] {
        std::size_t n = std::strlen(text) + 1;
        auto copy = std::make_unique_for_overwrite<BYTE[]>(n);
        std::memcpy(copy.get(), text, n);
        return orin::stu::handOut(cursor, std::move(copy));
    });
}

USHORT ORINAPI StuMatchOpenRealBuffer(const char *buffer, STUMATCH **cursor) noexcept
{
    if (!buffer || !cursor)
        return ORIN_ERR_INVALID_PARAM;
    return orin::stu::handOut(cursor, buffer);
}

/* The window and the record are made first; a file that does not open
 * leaves a null cursor and its error. */
USHORT ORINAPI StuMatchOpenFile(void *ns, const char *name, STUMATCH **cursor, ULONG openMode) noexcept
{
    if (!name || !cursor)
        return ORIN_ERR_INVALID_PARAM;
    return orin::guardCode([&] {
        auto window = std::make_unique_for_overwrite<BYTE[]>(orin::stu::kWindow + 1);
        auto c = orin::stu::cursors.make(std::move(window), ns);
        KNLHFILE h;
        ULONG action;
        USHORT rc = KnlNamOpen(ns, name, &h, &action, 0, orin::stu::kFileAttribute,
                               KNLNAM_OPEN_EXISTING, openMode, 0);
        if (rc) {
            *cursor = nullptr;
            return rc;
        }
        c->attachFile(h);
        *cursor = c.release();
        return USHORT{0};
    });
}

void ORINAPI StuMatchClose(STUMATCH *c) noexcept
{
    if (_STUMATCH *cur = live(c))
        orin::stu::cursors.destroy(cur);
}

void ORINAPI StuMatchRewind(STUMATCH *c) noexcept
{
    if (Cursor *cur = live(c))
        cur->rewind();
}

/* ---- Position and characters ---- */

char *ORINAPI StuMatchPtr(STUMATCH *c) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->ptr() : nullptr;
}

USHORT ORINAPI StuMatchIndex(STUMATCH *c) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->index() : 0;
}

/* No cursor is at its end. */
USHORT ORINAPI StuMatchEom(STUMATCH *c) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->atEnd() : 1;
}

USHORT ORINAPI StuMatchQueryChar(STUMATCH *c) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->queryChar() : 0;
}

USHORT ORINAPI StuMatchGetChar(STUMATCH *c) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->getChar() : 0;
}

USHORT ORINAPI StuMatchGetStr(STUMATCH *c, USHORT count, char *buf) noexcept
{
    Cursor *cur = live(c);
    if (!cur) {
        if (buf)
            buf[0] = 0;
        return 0;
    }
    return cur->getStr(count, buf);
}

USHORT ORINAPI StuMatchIsAlpha(STUMATCH *c) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->isAlpha() : 0;
}

USHORT ORINAPI StuMatchBlanks(STUMATCH *c) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->blanks() : 0;
}

USHORT ORINAPI StuMatchIsNumber(STUMATCH *c) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->digitFollows(false) : 0;
}

USHORT ORINAPI StuMatchIsHexNumber(STUMATCH *c) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->digitFollows(true) : 0;
}

/* ---- Literals ---- */

namespace {

USHORT matchLiteral(STUMATCH *c, const char *literal, bool ignoreCase, bool blanksFirst) noexcept
{
    Cursor *cur = live(c);
    if (!cur)
        return 0;
    if (blanksFirst)
        cur->blanks();
    return literal && cur->match(literal, ignoreCase);
}

USHORT matchName(STUMATCH *c, const char *name, bool ignoreCase) noexcept
{
    Cursor *cur = live(c);
    return cur && name && cur->matchName(name, ignoreCase);
}

}  // namespace

USHORT ORINAPI StuMatchMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, false, false);
}

USHORT ORINAPI StuMatchIMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, true, false);
}

/* The blanks stay skipped when the literal does not follow. */
USHORT ORINAPI StuMatchBMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, false, true);
}

USHORT ORINAPI StuMatchBIMatch(STUMATCH *c, const char *literal) noexcept
{
    return matchLiteral(c, literal, true, true);
}

USHORT ORINAPI StuMatchMatchName(STUMATCH *c, const char *name) noexcept
{
    return matchName(c, name, false);
}

USHORT ORINAPI StuMatchIMatchName(STUMATCH *c, const char *name) noexcept
{
    return matchName(c, name, true);
}

/* ---- Numbers: the short forms keep the low 16 bits ---- */

namespace {

LONG readSigned(STUMATCH *c, unsigned maxDigits, unsigned base) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->readSigned(maxDigits, base) : 0;
}

ULONG readUnsigned(STUMATCH *c, unsigned maxDigits) noexcept
{
    Cursor *cur = live(c);
    return cur ? cur->readDigits(maxDigits, orin::stu::kDecimalBase) : 0;
}

}  // namespace

LONG ORINAPI StuMatchLongN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return readSigned(c, maxDigits, orin::stu::kDecimalBase);
}

SHORT ORINAPI StuMatchShortN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return static_cast<SHORT>(readSigned(c, maxDigits, orin::stu::kDecimalBase));
}

LONG ORINAPI StuMatchLong(STUMATCH *c) noexcept
{
    return readSigned(c, orin::stu::kAllDigits, orin::stu::kDecimalBase);
}

SHORT ORINAPI StuMatchShort(STUMATCH *c) noexcept
{
    return static_cast<SHORT>(readSigned(c, orin::stu::kAllDigits, orin::stu::kDecimalBase));
}

ULONG ORINAPI StuMatchULongN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return readUnsigned(c, maxDigits);
}

USHORT ORINAPI StuMatchUShortN(STUMATCH *c, USHORT maxDigits) noexcept
{
    return static_cast<USHORT>(readUnsigned(c, maxDigits));
}

ULONG ORINAPI StuMatchULong(STUMATCH *c) noexcept
{
    return readUnsigned(c, orin::stu::kAllDigits);
}

USHORT ORINAPI StuMatchUShort(STUMATCH *c) noexcept
{
    return static_cast<USHORT>(readUnsigned(c, orin::stu::kAllDigits));
}

LONG ORINAPI StuMatchHexLong(STUMATCH *c) noexcept
{
    return readSigned(c, orin::stu::kHexDigits, orin::stu::kHexBase);
}

SHORT ORINAPI StuMatchHexShort(STUMATCH *c) noexcept
{
    return static_cast<SHORT>(readSigned(c, orin::stu::kHexDigits, orin::stu::kHexBase));
}

/* The forward search; a null cursor or pattern finds nothing and leaves
 * an empty copy. */
USHORT ORINAPI StuMatchFindEx(STUMATCH *c, const char *pattern, USHORT flags, char *buf,
                              USHORT size, USHORT *overflow, const char *const *markers) noexcept
{
    Cursor *cur = live(c);
    if (!cur || !pattern) {
        if (overflow)
            *overflow = 0;
        if (size && buf)
            buf[0] = 0;
        return 0;
    }
    return cur->find(pattern, flags, buf, size, overflow, markers);
}
