/*
 * str_units.h - the text policies that let one algorithm serve the narrow
 * (Str) and the wide (WStr) family.  A policy says what differs between
 * them and nothing else:
 *
 *   Char            the unit type of the text
 *   step(p)         units of the character at p
 *   value(p)        its 16-bit character value
 *   read(p, len)    value and units at once (the search loops' step)
 *   scanValue(p), raw(p, k)   the character and the raw unit k places on,
 *                   as the number parsers read them
 *   width(ch)       units a (normalised) character value takes when written
 *   put(p, ch)      writes ch at p, returns the position behind it
 *   prev(start, p)  start of the character before p
 *   fold(ch)        the case folding of the case-insensitive searches
 *   toLower/toUpper/isSpace   the family's own character calls
 *   isDouble(ch)    whether ch is a double-byte character
 *   inSet(set, ch)  whether ch occurs in a zero-terminated set of the family
 *   oneUnitEach()   true when every character is one unit, so that the C
 *                   library's functions (the lib* calls) give the answer
 *
 * Narrow text steps over DBCS pairs; with the DBCS flag at 0 it is one
 * byte a character and the searches hand over to the C library.  Bytes is
 * narrow text known to hold no pairs (used where the tables say so).  Wide
 * text is one unit a character, so its library calls are always in force.
 */
#ifndef ORIN_TEXT_STR_UNITS_H
#define ORIN_TEXT_STR_UNITS_H

#include <cstring>
#include <cwchar>
#include "text/strint.h"

namespace orin::str {

/* Narrow text in the ANSI code page, DBCS-aware. */
struct Narrow {
    using Char = char;

    static bool oneUnitEach() noexcept { return !knlDbcsEnabled; }
    static std::size_t step(const char *p) noexcept { return charBytes(p); }
    static USHORT value(const char *p) noexcept { return charValue(p); }
    static USHORT read(const char *p, std::size_t &len) noexcept { return readChar(p, len); }
    /* The raw byte k places on (number parsers peek at "0x"). */
    static USHORT raw(const char *p, std::size_t k) noexcept { return static_cast<BYTE>(p[k]); }
    /* The value the number parsers see: the character value as it is. */
    static USHORT scanValue(const char *p) noexcept { return charValue(p); }
    static std::size_t width(USHORT ch) noexcept { return chrBytes(ch); }
    static char *put(char *p, USHORT ch) noexcept { return putRaw(p, ch); }
    static const char *prev(const char *start, const char *pos) noexcept
    {
        return StrCharPrev(start, pos);
    }
    static USHORT fold(USHORT ch) noexcept { return lowerSingle(ch); }
    static USHORT toLower(USHORT ch) noexcept { return ChrToLower(ch); }
    static USHORT toUpper(USHORT ch) noexcept { return ChrToUpper(ch); }
    static bool isSpace(USHORT ch) noexcept { return ChrIsSpace(ch) != 0; }
    static bool isDouble(USHORT ch) noexcept { return ch > kSingleMax; }
    static bool inSet(const char *set, USHORT ch) noexcept { return setHas(set, ch); }

    static std::size_t libLength(const char *s) noexcept { return std::strlen(s); }
    static const char *libFind(const char *s, USHORT ch) noexcept
    {
        return ch <= kSingleMax ? std::strchr(s, ch) : nullptr;
    }
    static const char *libFindLast(const char *s, USHORT ch) noexcept
    {
        return ch <= kSingleMax ? std::strrchr(s, ch) : nullptr;
    }
    static const char *libSearch(const char *s, const char *pattern) noexcept
    {
        return std::strstr(s, pattern);
    }
    static const char *libFindAny(const char *s, const char *set) noexcept
    {
        return std::strpbrk(s, set);
    }
};

/* Narrow text while no lead byte exists: every byte a character. */
struct Bytes : Narrow {
    static constexpr bool oneUnitEach() noexcept { return true; }
    static constexpr std::size_t step(const char *) noexcept { return 1; }
    static USHORT value(const char *p) noexcept { return static_cast<BYTE>(*p); }
    static USHORT read(const char *p, std::size_t &len) noexcept
    {
        len = 1;
        return static_cast<BYTE>(*p);
    }
};

/* Wide text: one unit per character, a pair packed into one unit. */
struct Wide {
    using Char = WCHAR;

    static constexpr bool oneUnitEach() noexcept { return true; }
    static constexpr std::size_t step(const WCHAR *) noexcept { return 1; }
    static USHORT value(const WCHAR *p) noexcept { return *p; }
    static USHORT read(const WCHAR *p, std::size_t &len) noexcept
    {
        len = 1;
        return *p;
    }
    static USHORT raw(const WCHAR *p, std::size_t k) noexcept { return p[k]; }
    /* The number parsers take a sign-extended unit as its low byte. */
    static USHORT scanValue(const WCHAR *p) noexcept { return norm(*p); }
    static constexpr std::size_t width(USHORT) noexcept { return 1; }
    static WCHAR *put(WCHAR *p, USHORT ch) noexcept
    {
        *p = ch;
        return p + 1;
    }
    static const WCHAR *prev(const WCHAR *, const WCHAR *pos) noexcept { return pos - 1; }
    static USHORT fold(USHORT ch) noexcept { return WChrToLower(ch); }
    static USHORT toLower(USHORT ch) noexcept { return WChrToLower(ch); }
    static USHORT toUpper(USHORT ch) noexcept { return WChrToUpper(ch); }
    static bool isSpace(USHORT ch) noexcept { return WChrIsSpace(ch) != 0; }
    static bool isDouble(USHORT ch) noexcept { return !isSingleUnit(ch); }
    static bool inSet(const WCHAR *set, USHORT ch) noexcept { return wideSetHas(set, ch); }

    static std::size_t libLength(const WCHAR *s) noexcept { return std::wcslen(s); }
    static const WCHAR *libFind(const WCHAR *s, USHORT ch) noexcept { return std::wcschr(s, ch); }
    static const WCHAR *libFindLast(const WCHAR *s, USHORT ch) noexcept
    {
        return std::wcsrchr(s, ch);
    }
    static const WCHAR *libSearch(const WCHAR *s, const WCHAR *pattern) noexcept
    {
        return std::wcsstr(s, pattern);
    }
    static const WCHAR *libFindAny(const WCHAR *s, const WCHAR *set) noexcept
    {
        return std::wcspbrk(s, set);
    }
};

/* The unit type of a policy's text. */
template <class P>
using CharOf = typename P::Char;

/* Copies n units that may overlap (the text with its terminator, usually). */
template <class C>
void moveUnits(C *dst, const C *src, std::size_t n) noexcept
{
    std::memmove(dst, src, n * sizeof(C));
}

}  // namespace orin::str

#endif  // ORIN_TEXT_STR_UNITS_H
