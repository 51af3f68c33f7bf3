/*
 * str_edit.cpp - changing narrow and wide strings in place: case,
 * trimming, inserting and deleting characters, erasing and keeping
 * character sets, collapsing runs, making a string a given length.
 *
 * Each edit is one template over a text policy (str_units.h): narrow text
 * steps over DBCS pairs, wide text one unit at a time.  Filters walk the
 * string once with a read and a write position; the write position never
 * overtakes the read position, so a string can be filtered onto itself.
 * Case conversion passes a double-byte character as one value and writes
 * it back unchanged in width.  Offsets are in bytes for narrow text and in
 * units for wide text.
 */
#include <algorithm>
#include "text/str_units.h"

namespace orin::str {
namespace {

constexpr char kBlank = ' ';

enum class CaseRule { Lower, Upper, FirstUpper, WordStartsUpper };

/* Maps every character of s by the rule: the first character (and with
 * WordStartsUpper each one after white space) to upper case, all others
 * to lower case; Lower and Upper map every character alike. */
template <class P, CaseRule Rule>
CharOf<P> *mapCase(CharOf<P> *s) noexcept
{
    if (!s)
        return nullptr;
    bool atStart = true;
    for (CharOf<P> *p = s; *p;) {
        USHORT ch = P::value(p);
        std::size_t len = P::step(p);
        USHORT out;
        if constexpr (Rule == CaseRule::Lower)
            out = P::toLower(ch);
        else if constexpr (Rule == CaseRule::Upper)
            out = P::toUpper(ch);
        else
            out = atStart ? P::toUpper(ch) : P::toLower(ch);
        P::put(p, out);
        atStart = Rule == CaseRule::WordStartsUpper && P::isSpace(ch);
        p += len;
    }
    return s;
}

/* Moves the text from src (terminator included) to dst. */
template <class P>
void moveText(CharOf<P> *dst, const CharOf<P> *src) noexcept
{
    moveUnits(dst, src, P::libLength(src) + 1);
}

template <class P>
CharOf<P> *trimLeft(CharOf<P> *s) noexcept
{
    if (!s)
        return nullptr;
    std::size_t skip = 0;
    while (s[skip] && P::isSpace(P::value(s + skip)))
        skip += P::step(s + skip);
    if (skip)
        moveText<P>(s, s + skip);
    return s;
}

/* Walks back from the end character by character, cutting white space. */
template <class P>
CharOf<P> *trimRight(CharOf<P> *s) noexcept
{
    if (!s || !*s)
        return s;
    auto *p = const_cast<CharOf<P> *>(P::prev(s, s + P::libLength(s)));
    while (P::isSpace(P::value(p))) {
        *p = 0;
        if (p == s)
            break;
        p = const_cast<CharOf<P> *>(P::prev(s, p));
    }
    return s;
}

template <class P>
CharOf<P> *deleteChar(CharOf<P> *pos) noexcept
{
    if (!pos || !*pos)
        return pos;
    moveText<P>(pos, pos + P::step(pos));
    return pos;
}

template <class P>
CharOf<P> *insertChar(CharOf<P> *pos, USHORT ch) noexcept
{
    if (!pos)
        return nullptr;
    ch = norm(ch);
    moveText<P>(pos + P::width(ch), pos);
    P::put(pos, ch);
    return pos;
}

/* An offset beyond the end of s is taken as the end. */
template <class P>
std::size_t clampOffset(const CharOf<P> *s, std::size_t offset) noexcept
{
    return std::min(offset, P::libLength(s));
}

template <class P>
CharOf<P> *insertText(CharOf<P> *s, std::size_t offset, const CharOf<P> *text) noexcept
{
    if (!s || !text)
        return s;
    offset = clampOffset<P>(s, offset);
    std::size_t add = P::libLength(text);
    moveText<P>(s + offset + add, s + offset);
    std::copy_n(text, add, s + offset);
    return s;
}

/* Filters s onto itself, keeping the characters keep() accepts. */
template <class P, class Keep>
CharOf<P> *filterChars(CharOf<P> *s, Keep keep) noexcept
{
    if (!s)
        return nullptr;
    CharOf<P> *r = s, *w = s;
    while (*r) {
        std::size_t len = P::step(r);
        if (keep(P::value(r))) {
            // Invariant: w <= r, so a forward copy never overwrites unread text.
            std::copy_n(r, len, w);
            w += len;
        }
        r += len;
    }
    *w = 0;
    return s;
}

template <class P>
CharOf<P> *eraseChar(CharOf<P> *s, USHORT ch) noexcept
{
    ch = norm(ch);
    return filterChars<P>(s, [ch](USHORT c) { return c != ch; });
}

template <class P>
CharOf<P> *eraseSet(CharOf<P> *s, const CharOf<P> *set) noexcept
{
    return filterChars<P>(s, [set](USHORT c) { return !P::inSet(set, c); });
}

/* Double-byte characters are always kept. */
template <class P>
CharOf<P> *keepSet(CharOf<P> *s, const CharOf<P> *set) noexcept
{
    return filterChars<P>(s, [set](USHORT c) { return P::isDouble(c) || P::inSet(set, c); });
}

/* Each run of ch becomes a single ch. */
template <class P>
CharOf<P> *collapseRuns(CharOf<P> *s, USHORT ch) noexcept
{
    ch = norm(ch);
    bool lastWasCh = false;
    return filterChars<P>(s, [ch, &lastWasCh](USHORT c) {
        bool isCh = c == ch;
        bool keep = !(isCh && lastWasCh);
        lastWasCh = isCh;
        return keep;
    });
}

/* Cuts s after n characters or pads it with the fill character to n
 * characters (a fill of 0 only cuts); the buffer must hold the result. */
template <class P>
CharOf<P> *makeLengthWith(CharOf<P> *s, std::size_t n, USHORT fill) noexcept
{
    if (!s)
        return nullptr;
    fill = norm(fill);
    CharOf<P> *p = s;
    std::size_t count = 0;
    for (; *p && count < n; p += P::step(p))
        count++;
    if (fill == 0)
        count = n;
    for (; count < n; count++)
        p = P::put(p, fill);
    *p = 0;
    return s;
}

/* Unit-wise: a terminator at unit n, then blanks up to it. */
template <class P>
CharOf<P> *makeLength(CharOf<P> *s, std::size_t n) noexcept
{
    if (!s)
        return nullptr;
    s[n] = 0;
    std::fill(s + P::libLength(s), s + n, static_cast<CharOf<P>>(kBlank));
    return s;
}

}  // namespace
}  // namespace orin::str

using namespace orin::str;

/* ---- Case ------------------------------------------------------------------ */

char *ORINAPI StrLwr(char *s) noexcept { return mapCase<Narrow, CaseRule::Lower>(s); }
char *ORINAPI StrUpr(char *s) noexcept { return mapCase<Narrow, CaseRule::Upper>(s); }
char *ORINAPI StrLwrFirstUpr(char *s) noexcept { return mapCase<Narrow, CaseRule::FirstUpper>(s); }
char *ORINAPI StrLwrFirstUprAll(char *s) noexcept
{
    return mapCase<Narrow, CaseRule::WordStartsUpper>(s);
}

WCHAR *ORINAPI WStrLwr(WCHAR *s) noexcept { return mapCase<Wide, CaseRule::Lower>(s); }
WCHAR *ORINAPI WStrUpr(WCHAR *s) noexcept { return mapCase<Wide, CaseRule::Upper>(s); }
WCHAR *ORINAPI WStrLwrFirstUpr(WCHAR *s) noexcept { return mapCase<Wide, CaseRule::FirstUpper>(s); }
WCHAR *ORINAPI WStrLwrFirstUprAll(WCHAR *s) noexcept
{
    return mapCase<Wide, CaseRule::WordStartsUpper>(s);
}

/* ---- Trimming ---------------------------------------------------------------- */

char *ORINAPI StrLTrim(char *s) noexcept { return trimLeft<Narrow>(s); }
char *ORINAPI StrRTrim(char *s) noexcept { return trimRight<Narrow>(s); }
char *ORINAPI StrLRTrim(char *s) noexcept { return StrLTrim(StrRTrim(s)); }
WCHAR *ORINAPI WStrLTrim(WCHAR *s) noexcept { return trimLeft<Wide>(s); }
WCHAR *ORINAPI WStrRTrim(WCHAR *s) noexcept { return trimRight<Wide>(s); }
WCHAR *ORINAPI WStrLRTrim(WCHAR *s) noexcept { return WStrLTrim(WStrRTrim(s)); }

/* ---- Inserting and deleting ------------------------------------------------- */

char *ORINAPI StrDeleteChar(char *pos) noexcept { return deleteChar<Narrow>(pos); }
WCHAR *ORINAPI WStrDeleteChar(WCHAR *pos) noexcept { return deleteChar<Wide>(pos); }
char *ORINAPI StrInsertChar(char *pos, USHORT ch) noexcept { return insertChar<Narrow>(pos, ch); }
WCHAR *ORINAPI WStrInsertChar(WCHAR *pos, WCHAR ch) noexcept { return insertChar<Wide>(pos, ch); }

char *ORINAPI StrInsertStr(char *s, size_t offset, const char *text) noexcept
{
    return insertText<Narrow>(s, offset, text);
}

WCHAR *ORINAPI WStrInsertStr(WCHAR *s, size_t offset, const WCHAR *text) noexcept
{
    return insertText<Wide>(s, offset, text);
}

/* Overwrites bytes from the offset; only when the text runs past the end
 * does the string grow, and then it is terminated behind the text. */
char *ORINAPI StrReplaceStr(char *s, size_t offset, const char *text) noexcept
{
    if (!s || !text)
        return s;
    std::size_t len = std::strlen(s);
    offset = clampOffset<Narrow>(s, offset);
    std::size_t add = std::strlen(text);
    std::memcpy(s + offset, text, add);
    if (offset + add > len)
        s[offset + add] = 0;
    return s;
}

/* ---- Filters ------------------------------------------------------------------ */

char *ORINAPI StrEraseChar(char *s, USHORT ch) noexcept { return eraseChar<Narrow>(s, ch); }
WCHAR *ORINAPI WStrEraseChar(WCHAR *s, WCHAR ch) noexcept { return eraseChar<Wide>(s, ch); }

char *ORINAPI StrEraseMultChars(char *s, const char *set) noexcept
{
    return eraseSet<Narrow>(s, set);
}

WCHAR *ORINAPI WStrEraseMultChars(WCHAR *s, const WCHAR *set) noexcept
{
    return eraseSet<Wide>(s, set);
}

char *ORINAPI StrIntersectStr(char *s, const char *set) noexcept { return keepSet<Narrow>(s, set); }
WCHAR *ORINAPI WStrIntersectStr(WCHAR *s, const WCHAR *set) noexcept { return keepSet<Wide>(s, set); }
char *ORINAPI StrDeleteDupChar(char *s, USHORT ch) noexcept { return collapseRuns<Narrow>(s, ch); }
WCHAR *ORINAPI WStrDeleteDupChar(WCHAR *s, WCHAR ch) noexcept { return collapseRuns<Wide>(s, ch); }

/* ---- Lengths ------------------------------------------------------------------ */

char *ORINAPI StrMakeLenCh(char *s, size_t n, USHORT fill) noexcept
{
    return makeLengthWith<Narrow>(s, n, fill);
}

WCHAR *ORINAPI WStrMakeLenCh(WCHAR *s, size_t n, WCHAR fill) noexcept
{
    return makeLengthWith<Wide>(s, n, fill);
}

/* Byte-wise: a double-byte character may be cut. */
char *ORINAPI StrMakeLen(char *s, size_t n) noexcept { return makeLength<Narrow>(s, n); }
WCHAR *ORINAPI WStrMakeLen(WCHAR *s, size_t n) noexcept { return makeLength<Wide>(s, n); }
