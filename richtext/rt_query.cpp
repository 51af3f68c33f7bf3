/*
 * rt_query.cpp - questions about the visible text of a rich-text string:
 * its length in bytes and characters, where a character or a text stands
 * (also only where the formatting matches), and the formatting in force
 * after n visible bytes or characters.
 *
 * Searches compare visible characters as 16-bit values and ignore the
 * escape sequences between them, so a text is found across a formatting
 * change; a position handed back is that of a visible character.  A
 * search pattern is plain text.  As with StrStr, an empty pattern is found
 * at the first visible character and nothing is found in a string without
 * visible text.  With a mask, every character of a match must carry
 * formatting word AND mask == value.
 */
#include "richtext/rtint.h"

namespace orin::rt {
namespace {

/* Which formatting a match must carry; mask 0 accepts everything. */
struct AttrFilter {
    USHORT mask = 0;
    USHORT value = 0;
    bool accepts(const Format &f) const noexcept { return (f.word & mask) == value; }
};

enum class Compare { Exact, IgnoreCase };

template <Compare C>
bool sameChar(USHORT a, USHORT b) noexcept
{
    if constexpr (C == Compare::IgnoreCase)
        return ChrToLower(a) == ChrToLower(b);
    else
        return a == b;
}

/* Whether the visible text from sc on starts with pattern. */
template <Compare C>
bool matchesAt(Scanner sc, const char *pattern, AttrFilter filter) noexcept
{
    for (const char *q = pattern; *q;) {
        if (!sc.skipCodes() || !filter.accepts(sc.format()))
            return false;
        std::size_t len;
        USHORT want = str::readChar(q, len);
        if (!sameChar<C>(sc.charValue(), want))
            return false;
        sc.step();
        q += len;
    }
    return true;
}

template <Compare C>
char *findText(const char *s, const char *pattern, AttrFilter filter) noexcept
{
    if (!s || !pattern)
        return fail(ORIN_ERR_INVALID_PARAM);
    Scanner sc(s);
    for (; sc.skipCodes(); sc.step())
        if (matchesAt<C>(sc, pattern, filter))
            return const_cast<char *>(sc.pos());
    return nullptr;
}

/* How a walk counts: visible bytes or visible characters. */
enum class Unit { Bytes, Chars };

/* Walks n units of visible text from the start state f and applies the
 * escape sequences in front of the character reached; returns where it
 * stands. */
template <Unit U>
const char *walkVisible(const char *s, std::size_t n, Format &f) noexcept
{
    Scanner sc(s, f);
    std::size_t done = 0;
    while (done < n && sc.skipCodes()) {
        done += U == Unit::Bytes ? sc.charLen() : 1;
        sc.step();
    }
    sc.skipCodes();
    f = sc.format();
    return sc.pos();
}

template <Unit U>
char *formatAfter(const char *s, std::size_t n, USHORT *font, USHORT *attributes, USHORT *color,
                  USHORT *background) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    Format f;
    if (font)
        f.word = static_cast<USHORT>((*font & kFontMax) << RT_FMT_FONT_SHIFT);
    if (attributes)
        f.word = static_cast<USHORT>(f.word | (*attributes & RT_FMT_ATTRIBUTES));
    if (color)
        f.color = *color;
    if (background)
        f.back = *background;
    const char *at = walkVisible<U>(s, n, f);
    if (font)
        *font = f.font();
    if (attributes)
        *attributes = static_cast<USHORT>(f.word & RT_FMT_ATTRIBUTES);
    if (color)
        *color = f.color;
    if (background)
        *background = f.back;
    return const_cast<char *>(at);
}

}  // namespace
}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

size_t ORINAPI RtStrLen(const char *s) noexcept
{
    if (!s)
        return 0;
    std::size_t len = 0;
    forEachRun(s, [&len](const Format &, const char *, std::size_t bytes) { len += bytes; });
    return len;
}

/* Counts the whole characters within the first bytes visible bytes. */
size_t ORINAPI RtStrNBytesToNChr(const char *s, size_t bytes) noexcept
{
    if (!s)
        return 0;
    Scanner sc(s);
    std::size_t done = 0, chars = 0;
    for (; sc.skipCodes() && done + sc.charLen() <= bytes; sc.step()) {
        done += sc.charLen();
        chars++;
    }
    return chars;
}

/* Character 0 is found at the terminator, as with StrChr. */
char *ORINAPI RtStrChr(const char *s, USHORT ch) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    ch = str::norm(ch);
    if (ch == 0)
        return const_cast<char *>(s) + std::strlen(s);
    Scanner sc(s);
    for (; sc.skipCodes(); sc.step())
        if (sc.charValue() == ch)
            return const_cast<char *>(sc.pos());
    return nullptr;
}

char *ORINAPI RtStrRChr(const char *s, USHORT ch) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    ch = str::norm(ch);
    const char *last = nullptr;
    Scanner sc(s);
    for (; sc.skipCodes(); sc.step())
        if (sc.charValue() == ch)
            last = sc.pos();
    return const_cast<char *>(last);
}

char *ORINAPI RtStrStr(const char *s, const char *pattern) noexcept
{
    return findText<Compare::Exact>(s, pattern, {});
}

char *ORINAPI RtStrIStr(const char *s, const char *pattern) noexcept
{
    return findText<Compare::IgnoreCase>(s, pattern, {});
}

char *ORINAPI RtStrStrAttr(const char *s, const char *pattern, USHORT mask, USHORT value) noexcept
{
    return findText<Compare::Exact>(s, pattern, {mask, value});
}

char *ORINAPI RtStrIStrAttr(const char *s, const char *pattern, USHORT mask, USHORT value) noexcept
{
    return findText<Compare::IgnoreCase>(s, pattern, {mask, value});
}

char *ORINAPI RtStrNAttr(const char *s, size_t bytes, USHORT *font, USHORT *attributes,
                         USHORT *color, USHORT *background) noexcept
{
    return formatAfter<Unit::Bytes>(s, bytes, font, attributes, color, background);
}

char *ORINAPI RtStrNCAttr(const char *s, size_t chars, USHORT *font, USHORT *attributes,
                          USHORT *color, USHORT *background) noexcept
{
    return formatAfter<Unit::Chars>(s, chars, font, attributes, color, background);
}
