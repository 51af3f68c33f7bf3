/*
 * stu_cursor.cpp - the match scanner's cursor (stuint.h): the file window,
 * stepping over characters, literal and whole-word matches, blanks and
 * numbers.  (The forward search is in stu_find.cpp, the handles and
 * exports in stu_match.cpp.)
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
 */
#include <cstring>
#include "text/strint.h"
#include "text/stuint.h"
#include "str.h"

namespace orin::stu {

using orin::str::readChar;

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
        USHORT lc = readChar(literal + i, ll);
        USHORT tc = readChar(text + i, tl);
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
    if (next && orin::knl::isLeadByte(next) && ensure(len + 2) == len + 2 && pos_[len + 1])
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

}  // namespace orin::stu
