/*
 * str_search.cpp - finding characters and substrings, counting them, and
 * comparing strings character by character, for narrow (Str) and wide
 * (WStr) text alike.
 *
 * Each search is one template over a text policy (str_units.h).  Searches
 * only ever stop at character starts, so a trail byte that happens to
 * equal the byte sought is never found.  When every character is one unit
 * (narrow text with the DBCS flag at 0, wide text always) the searches
 * hand over to the C library's functions, which are as fast as this
 * machine allows.
 *
 * Where the families differ on purpose, the exports say so: StrChr finds
 * the terminator when asked for 0, WStrChr never does; StrIndex and
 * StrMultIndex count bytes, their wide twins units.
 */
#include "text/str_units.h"

namespace orin::str {
namespace {

/* First position holding ch (normalised); a search for 0 finds the
 * terminator. */
template <class P>
const CharOf<P> *findChar(const CharOf<P> *s, USHORT ch) noexcept
{
    if (P::oneUnitEach())
        return P::libFind(s, ch);
    for (std::size_t len;; s += len) {
        if (P::read(s, len) == ch)
            return s;
        if (!*s)
            return nullptr;
    }
}

/* Last position holding ch; never the terminator. */
template <class P>
const CharOf<P> *findLast(const CharOf<P> *s, USHORT ch) noexcept
{
    if (ch == 0)
        return nullptr;
    if (P::oneUnitEach())
        return P::libFindLast(s, ch);
    const CharOf<P> *found = nullptr;
    for (std::size_t len; *s; s += len)
        if (P::read(s, len) == ch)
            found = s;
    return found;
}

/* First character position where the units of pattern follow; an empty
 * text holds nothing, an empty pattern matches at the start. */
template <class P>
const CharOf<P> *search(const CharOf<P> *s, const CharOf<P> *pattern) noexcept
{
    if (!s || !*s)
        return nullptr;
    if (!pattern || !*pattern)
        return s;
    if (P::oneUnitEach())
        return P::libSearch(s, pattern);
    std::size_t patLen = P::libLength(pattern), left = P::libLength(s);
    while (left >= patLen) {
        std::size_t step = P::step(s);
        if (*s == *pattern && std::memcmp(s, pattern, patLen * sizeof *s) == 0)
            return s;
        s += step;
        left -= step;
    }
    return nullptr;
}

/* Whether pattern follows at s, character by character after folding.
 * Out of line: the scan for the first character around it stays small. */
template <class P>
[[gnu::noinline]] bool followsFolded(const CharOf<P> *s, const CharOf<P> *pattern) noexcept
{
    for (std::size_t ls, lp; *pattern; s += ls, pattern += lp)
        if (!*s || P::fold(P::read(s, ls)) != P::fold(P::read(pattern, lp)))
            return false;
    return true;
}

/* The case-insensitive search (pattern not empty).  Two characters that
 * fold alike are alike in width, so after the first character matched the
 * rest is compared behind it. */
template <class P>
const CharOf<P> *searchFolded(const CharOf<P> *s, const CharOf<P> *pattern) noexcept
{
    std::size_t len;
    USHORT first = P::fold(P::read(pattern, len));
    const CharOf<P> *rest = pattern + len;
    for (; *s; s += len)
        if (P::fold(P::read(s, len)) == first && followsFolded<P>(s + len, rest))
            return s;
    return nullptr;
}

/* First position whose character occurs in the set. */
template <class P>
const CharOf<P> *findAny(const CharOf<P> *s, const CharOf<P> *set) noexcept
{
    if (!s || !set)
        return nullptr;
    if (P::oneUnitEach())
        return P::libFindAny(s, set);
    for (std::size_t len; *s; s += len)
        if (P::inSet(set, P::read(s, len)))
            return s;
    return nullptr;
}

/* Occurrences of ch (normalised, not 0). */
template <class P>
std::size_t countChar(const CharOf<P> *s, USHORT ch) noexcept
{
    std::size_t n = 0;
    for (std::size_t len; *s; s += len)
        n += P::read(s, len) == ch;
    return n;
}

/* Compares at most n characters: the difference of the first unequal
 * pair, 0 when equal that far or up to a common terminator.  A null text
 * compares as empty. */
template <class P, bool Folded>
SHORT compareChars(const CharOf<P> *a, const CharOf<P> *b, std::size_t n) noexcept
{
    static constexpr CharOf<P> kEmpty[1] = {0};
    if (!a)
        a = kEmpty;
    if (!b)
        b = kEmpty;
    for (std::size_t la, lb; n > 0; n--, a += la, b += lb) {
        USHORT ca = P::read(a, la), cb = P::read(b, lb);
        if constexpr (Folded) {
            ca = P::fold(ca);
            cb = P::fold(cb);
        }
        if (ca != cb)
            return static_cast<SHORT>(ca - cb);
        if (!ca)
            return 0;
    }
    return 0;
}

/* Stores the offset of p in s when both exist; answers whether p does. */
template <class C>
USHORT reportOffset(const C *s, const C *p, std::size_t *offset) noexcept
{
    if (!p)
        return 0;
    if (offset)
        *offset = static_cast<std::size_t>(p - s);
    return 1;
}

}  // namespace
}  // namespace orin::str

using namespace orin::str;

/* ---- Characters ---------------------------------------------------------- */

char *ORINAPI StrChr(const char *s, USHORT ch) noexcept
{
    if (!s)
        return nullptr;
    return const_cast<char *>(findChar<Narrow>(s, norm(ch)));
}

/* The terminator is never found: searching for 0 gives null. */
WCHAR *ORINAPI WStrChr(const WCHAR *s, WCHAR ch) noexcept
{
    ch = norm(ch);
    if (!s || !ch)
        return nullptr;
    return const_cast<WCHAR *>(findChar<Wide>(s, ch));
}

char *ORINAPI StrRChr(const char *s, USHORT ch) noexcept
{
    if (!s)
        return nullptr;
    return const_cast<char *>(findLast<Narrow>(s, norm(ch)));
}

WCHAR *ORINAPI WStrRChr(const WCHAR *s, WCHAR ch) noexcept
{
    if (!s)
        return nullptr;
    return const_cast<WCHAR *>(findLast<Wide>(s, norm(ch)));
}

USHORT ORINAPI StrIndex(const char *s, USHORT ch, size_t *offset) noexcept
{
    return reportOffset(s, StrChr(s, ch), offset);
}

USHORT ORINAPI WStrIndex(const WCHAR *s, WCHAR ch, size_t *offset) noexcept
{
    return reportOffset(s, WStrChr(s, ch), offset);
}

size_t ORINAPI StrCnt(const char *s, USHORT ch) noexcept
{
    ch = norm(ch);
    return s && ch ? countChar<Narrow>(s, ch) : 0;
}

size_t ORINAPI WStrCnt(const WCHAR *s, WCHAR ch) noexcept
{
    ch = norm(ch);
    return s && ch ? countChar<Wide>(s, ch) : 0;
}

/* ---- Substrings and sets ------------------------------------------------- */

char *ORINAPI StrStr(const char *s, const char *pattern) noexcept
{
    return const_cast<char *>(search<Narrow>(s, pattern));
}

WCHAR *ORINAPI WStrStr(const WCHAR *s, const WCHAR *pattern) noexcept
{
    return const_cast<WCHAR *>(search<Wide>(s, pattern));
}

char *ORINAPI StrIStr(const char *s, const char *pattern) noexcept
{
    if (!s)
        return nullptr;
    if (!pattern || !*pattern)
        return const_cast<char *>(s);
    if (Narrow::oneUnitEach())
        return const_cast<char *>(searchFolded<Bytes>(s, pattern));
    return const_cast<char *>(searchFolded<Narrow>(s, pattern));
}

WCHAR *ORINAPI WStrIStr(const WCHAR *s, const WCHAR *pattern) noexcept
{
    if (!s)
        return nullptr;
    if (!pattern || !*pattern)
        return const_cast<WCHAR *>(s);
    return const_cast<WCHAR *>(searchFolded<Wide>(s, pattern));
}

char *ORINAPI StrPbrk(const char *s, const char *set) noexcept
{
    return const_cast<char *>(findAny<Narrow>(s, set));
}

USHORT ORINAPI StrMultIndex(const char *s, const char *set, size_t *offset) noexcept
{
    return reportOffset(s, findAny<Narrow>(s, set), offset);
}

USHORT ORINAPI WStrMultIndex(const WCHAR *s, const WCHAR *set, size_t *offset) noexcept
{
    return reportOffset(s, findAny<Wide>(s, set), offset);
}

/* ---- Comparing ----------------------------------------------------------- */

/* Without lead bytes the comparison steps byte by byte unchecked. */
SHORT ORINAPI StrCNCmp(const char *a, const char *b, size_t n) noexcept
{
    if (Narrow::oneUnitEach())
        return compareChars<Bytes, false>(a, b, n);
    return compareChars<Narrow, false>(a, b, n);
}

SHORT ORINAPI StrCNICmp(const char *a, const char *b, size_t n) noexcept
{
    if (Narrow::oneUnitEach())
        return compareChars<Bytes, true>(a, b, n);
    return compareChars<Narrow, true>(a, b, n);
}

SHORT ORINAPI WStrNCmp(const WCHAR *a, const WCHAR *b, size_t n) noexcept
{
    return compareChars<Wide, false>(a, b, n);
}

SHORT ORINAPI WStrNICmp(const WCHAR *a, const WCHAR *b, size_t n) noexcept
{
    return compareChars<Wide, true>(a, b, n);
}

/* Unit by unit over the shorter length; with a common prefix the longer
 * string is the greater. */
SHORT ORINAPI WStrCmp(const WCHAR *a, const WCHAR *b) noexcept
{
    std::size_t la = WStrCLen(a), lb = WStrCLen(b);
    std::size_t n = la < lb ? la : lb;
    for (std::size_t i = 0; i < n; i++)
        if (a[i] != b[i])
            return static_cast<SHORT>(a[i] - b[i]);
    return static_cast<SHORT>((la > lb) - (la < lb));
}

SHORT ORINAPI WStrICmp(const WCHAR *a, const WCHAR *b) noexcept
{
    std::size_t la = WStrCLen(a), lb = WStrCLen(b);
    return WStrNICmp(a, b, la > lb ? la : lb);
}
