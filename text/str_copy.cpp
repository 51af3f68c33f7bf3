/*
 * str_copy.cpp - copying, concatenating and filling narrow and wide
 * strings, heap copies, and the C library's tokenizer.
 *
 * Character-counted copies (StrCNCpy, StrCNCat and the wide WStrNCpy,
 * WStrNCat, which count units, one per character) share one template that
 * steps whole characters.  The narrow byte-counted copy (StrNCpy) cuts
 * wherever n falls and then drops a dangling lead byte, so a double-byte
 * character is never left half copied; the wide one needs no such care.
 * Fills write a character over the existing text, never past its end.
 */
#include <algorithm>
#include <cstdlib>
#include "frame/scope.h"
#include "text/str_units.h"

namespace orin::str {
namespace {

/* Copies at most n whole characters of src to dst and terminates. */
template <class P>
void copyChars(CharOf<P> *dst, const CharOf<P> *src, std::size_t n) noexcept
{
    if (src)
        for (; n > 0 && *src; n--) {
            std::size_t len = P::step(src);
            std::copy_n(src, len, dst);
            dst += len;
            src += len;
        }
    *dst = 0;
}

/* Overwrites at most n characters of s with ch: a one-unit character
 * covers n units up to the terminator; a two-unit character is written as
 * pairs while at least two units of the string remain.  Answers false when
 * a two-unit fill met an odd unit before the end of s. */
template <class P>
bool fillChars(CharOf<P> *s, USHORT ch, std::size_t n) noexcept
{
    ch = norm(ch);
    if (P::width(ch) == 1) {
        for (; n > 0 && *s; n--)
            *s++ = static_cast<CharOf<P>>(ch);
        return true;
    }
    for (; n > 0 && *s; n--) {
        if (!s[1])
            return false;
        s = P::put(s, ch);
    }
    return true;
}

/* A heap copy of s in the other code page (KnlAnsiToOem/KnlOemToAnsi),
 * released by the caller with free(). */
char *dupTranslated(const char *s, char *(ORINAPI *translate)(const char *, char *)) noexcept
{
    if (!s)
        return nullptr;
    UniqueMalloc<char> copy(static_cast<char *>(std::malloc(std::strlen(s) + 1)));
    if (!copy) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return nullptr;
    }
    translate(s, copy.get());
    return copy.release();
}

}  // namespace
}  // namespace orin::str

using namespace orin::str;

/* ---- Counted copies ------------------------------------------------------ */

char *ORINAPI StrNCpy(char *dst, const char *src, size_t n) noexcept
{
    std::size_t i = 0;
    if (!dst)
        return nullptr;
    if (src)
        for (; i < n && src[i]; i++)
            dst[i] = src[i];
    dst[i] = 0;
    StrValidateDBCS(dst);
    return dst;
}

char *ORINAPI StrCNCpy(char *dst, const char *src, size_t n) noexcept
{
    if (dst)
        copyChars<Narrow>(dst, src, n);
    return dst;
}

WCHAR *ORINAPI WStrNCpy(WCHAR *dst, const WCHAR *src, size_t n) noexcept
{
    if (dst)
        copyChars<Wide>(dst, src, n);
    return dst;
}

WCHAR *ORINAPI WStrCpy(WCHAR *dst, const WCHAR *src) noexcept
{
    return WStrNCpy(dst, src, WStrCLen(src));
}

char *ORINAPI StrCNCat(char *dst, const char *src, size_t n) noexcept
{
    if (dst)
        copyChars<Narrow>(dst + std::strlen(dst), src, n);
    return dst;
}

WCHAR *ORINAPI WStrNCat(WCHAR *dst, const WCHAR *src, size_t n) noexcept
{
    if (dst)
        copyChars<Wide>(dst + WStrCLen(dst), src, n);
    return dst;
}

WCHAR *ORINAPI WStrCat(WCHAR *dst, const WCHAR *src) noexcept
{
    return WStrNCat(dst, src, WStrCLen(src));
}

/* ---- Fills --------------------------------------------------------------- */

char *ORINAPI StrCNSet(char *s, USHORT ch, size_t n) noexcept
{
    if (s)
        fillChars<Narrow>(s, ch, n);
    return s;
}

WCHAR *ORINAPI WStrNSet(WCHAR *s, WCHAR ch, size_t n) noexcept
{
    if (s)
        fillChars<Wide>(s, ch, n);
    return s;
}

/* The whole string; null when a double-byte fill met an odd byte. */
char *ORINAPI StrSet(char *s, USHORT ch) noexcept
{
    if (!s)
        return nullptr;
    return fillChars<Narrow>(s, ch, SIZE_MAX) ? s : nullptr;
}

WCHAR *ORINAPI WStrSet(WCHAR *s, WCHAR ch) noexcept
{
    return WStrNSet(s, ch, SIZE_MAX);
}

/* ---- Heap copies --------------------------------------------------------- */

char *ORINAPI StrDupToOem(const char *s) noexcept
{
    return dupTranslated(s, KnlAnsiToOem);
}

char *ORINAPI StrDupToAnsi(const char *s) noexcept
{
    return dupTranslated(s, KnlOemToAnsi);
}

WCHAR *ORINAPI WStrDup(const WCHAR *s) noexcept
{
    if (!s)
        return nullptr;
    std::size_t bytes = WStrLen(s) + sizeof(WCHAR);
    auto *copy = static_cast<WCHAR *>(std::malloc(bytes));
    if (!copy) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return nullptr;
    }
    std::memcpy(copy, s, bytes);
    return copy;
}

/* The C library's tokenizer with its hidden state, which the run time
 * keeps per thread. */
char *ORINAPI StrTok(char *s, const char *delims) noexcept
{
    return std::strtok(s, delims ? delims : "");
}
