/*
 * rt_scan.cpp - the scanning rule of rich-text strings: which bytes form an
 * escape sequence and how each code changes the formatting state; finding
 * the n-th visible character; the small helpers every RtStr file uses.
 *
 * An escape sequence is the escape byte, a code letter (b c f g i p s u x),
 * the decimal digits that follow (none: 0; the value saturates at 65535)
 * and one ';' if present.
 */
#include <cstdlib>
#include <cstring>
#include "richtext/rtint.h"

namespace orin::rt {
namespace {

constexpr char kCodeLetters[] = "bcfgipsux";

bool isDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

/* Sets or clears bits of the word. */
USHORT withBits(USHORT word, USHORT bits, bool on) noexcept
{
    return static_cast<USHORT>(on ? (word | bits) : (word & ~bits));
}

/* A three-way choice (underline, position): 0 clears both bits, 2 picks
 * the second, anything else the first. */
USHORT withChoice(USHORT word, USHORT first, USHORT second, unsigned n) noexcept
{
    word = static_cast<USHORT>(word & ~(first | second));
    if (n == 0)
        return word;
    return static_cast<USHORT>(word | (n == 2 ? second : first));
}

void applyLetter(char letter, unsigned n, Format &f) noexcept
{
    switch (letter) {
    case 'b': f.word = withBits(f.word, RT_FMT_BOLD, n != 0); break;
    case 'i': f.word = withBits(f.word, RT_FMT_ITALIC, n != 0); break;
    case 's': f.word = withBits(f.word, RT_FMT_STRIKEOUT, n != 0); break;
    case 'u': f.word = withChoice(f.word, RT_FMT_UNDERLINE, RT_FMT_DUNDERLINE, n); break;
    case 'p': f.word = withChoice(f.word, RT_FMT_SMALL, RT_FMT_RAISED, n); break;
    case 'f':
        f.word = static_cast<USHORT>((f.word & ~RT_FMT_FONT) |
                                     ((n & kFontMax) << RT_FMT_FONT_SHIFT));
        break;
    case 'c': f.color = static_cast<USHORT>(n); break;
    case 'g': f.back = n >= kBackgroundLimit ? RT_NO_BACKGROUND : static_cast<USHORT>(n); break;
    case 'x': f.word = static_cast<USHORT>(f.word | RT_FMT_RULE); break;
    default: break;
    }
}

/* Reads the number behind a code letter; returns the bytes read
 * (digits and the closing ';'). */
std::size_t readNumber(const char *p, unsigned &n) noexcept
{
    const char *q = p;
    n = 0;
    for (; isDigit(*q); q++) {
        n = n * 10 + static_cast<unsigned>(*q - '0');
        if (n > kNumberMax)
            n = kNumberMax;
    }
    if (*q == kNumberEnd)
        q++;
    return static_cast<std::size_t>(q - p);
}

}  // namespace

bool isCodeLetter(char c) noexcept
{
    return c != 0 && std::strchr(kCodeLetters, c) != nullptr;
}

std::size_t codeLength(const char *p) noexcept
{
    if (p[0] != kEscape || !isCodeLetter(p[1]))
        return 0;
    unsigned n;
    return 2 + readNumber(p + 2, n);
}

std::size_t applyCode(const char *p, Format &f) noexcept
{
    if (p[0] != kEscape || !isCodeLetter(p[1]))
        return 0;
    unsigned n;
    std::size_t len = 2 + readNumber(p + 2, n);
    applyLetter(p[1], n, f);
    return len;
}

bool findVisibleChar(const char *s, std::size_t n, VisiblePos &out) noexcept
{
    Scanner sc(s);
    for (std::size_t i = 0;; i++) {
        const char *before = sc.pos();
        bool more = sc.skipCodes();
        if (i == n) {
            out.before = before;
            out.at = sc.pos();
            out.format = sc.format();
            return true;
        }
        if (!more)
            return false;
        sc.step();
    }
}

char *heapCopy(const char *p, std::size_t n) noexcept
{
    auto *copy = static_cast<char *>(std::malloc(n + 1));
    if (!copy)
        return fail(ORIN_ERR_NO_MEMORY);
    std::memcpy(copy, p, n);
    copy[n] = 0;
    return copy;
}

std::nullptr_t fail(DWORD code) noexcept
{
    SetLastError(code);
    return nullptr;
}

}  // namespace orin::rt
