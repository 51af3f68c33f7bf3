/*
 * str_replace.cpp - building narrow and wide strings into a bounded
 * destination: a pattern repeated to fill a buffer, find-and-replace of a
 * substring, and character-for-character replacement.
 *
 * The bounded builders keep a count of the room left (in units) and
 * append a character of b units only while more than b units remain, so
 * the terminator always fits and nothing is ever written past the size
 * the caller gave.  Narrow text steps over DBCS pairs, wide text one unit
 * at a time (str_units.h).
 */
#include <algorithm>
#include <string>
#include "frame/boundary.h"
#include "text/str_units.h"

namespace orin::str {
namespace {

/* Fills dst with size - 1 units of the repeated pattern and a terminator:
 * whole copies while they fit, then whole characters from the pattern's
 * start while they fit in front of the terminator's unit. */
template <class P>
CharOf<P> *repeatPattern(CharOf<P> *dst, const CharOf<P> *pattern, std::size_t size) noexcept
{
    if (!dst || size == 0)
        return dst;
    if (!pattern || !*pattern) {
        *dst = 0;
        return dst;
    }
    std::size_t patLen = P::libLength(pattern), room = size;
    CharOf<P> *w = dst;
    while (room > patLen) {
        w = std::copy_n(pattern, patLen, w);
        room -= patLen;
    }
    for (const CharOf<P> *p = pattern; room >= 2 && *p;) {
        std::size_t len = P::step(p);
        if (len > room - 1)
            break;
        w = std::copy_n(p, len, w);
        room -= len;
        p += len;
    }
    *w = 0;
    return dst;
}

/* Whether the characters of find follow at s. */
template <class P>
bool followsAt(const CharOf<P> *s, const CharOf<P> *find) noexcept
{
    while (*find) {
        std::size_t len = P::step(find);
        if (P::step(s) != len || !std::equal(find, find + len, s))
            return false;
        s += len;
        find += len;
    }
    return true;
}

/* The destination of a bounded build: appends only while the terminator
 * still fits behind what it appends. */
template <class C>
class BoundedOut {
public:
    BoundedOut(C *dst, std::size_t size) noexcept : w_(dst), room_(size) {}

    /* Appends len units when more than len units of room remain. */
    bool append(const C *units, std::size_t len) noexcept
    {
        if (room_ <= len)
            return false;
        w_ = std::copy_n(units, len, w_);
        room_ -= len;
        return true;
    }
    bool roomForTerminator() const noexcept { return room_ >= 1; }
    void terminate() noexcept { *w_ = 0; }

private:
    C *w_;
    std::size_t room_;
};

/* Copies src to dst replacing every occurrence of find by repl; null when
 * the result and its terminator do not fit in size units (dst then holds
 * a partial result) or find is empty. */
template <class P>
CharOf<P> *replaceText(const CharOf<P> *src, CharOf<P> *dst, std::size_t size,
                       const CharOf<P> *find, const CharOf<P> *repl) noexcept
{
    static constexpr CharOf<P> kEmpty[1] = {0};
    if (!src || !dst || !find || !*find) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    if (!repl)
        repl = kEmpty;
    std::size_t findLen = P::libLength(find), replLen = P::libLength(repl);
    BoundedOut<CharOf<P>> out(dst, size);
    while (*src) {
        if (followsAt<P>(src, find)) {
            /* An empty replacement still needs room for the terminator. */
            if (replLen ? !out.append(repl, replLen) : !out.roomForTerminator())
                return nullptr;
            src += findLen;
        } else {
            std::size_t len = P::step(src);
            if (!out.append(src, len))
                return nullptr;
            src += len;
        }
    }
    if (!out.roomForTerminator())
        return nullptr;
    out.terminate();
    return dst;
}

/* Writes s with every from replaced by to into out, which may be s itself
 * when no character grows; replacing by 0 ends the result there. */
template <class P>
void replaceInto(CharOf<P> *out, const CharOf<P> *s, USHORT from, USHORT to) noexcept
{
    while (*s) {
        std::size_t len = P::step(s);
        if (P::value(s) == from) {
            if (to == 0)
                break;
            out = P::put(out, to);
        } else {
            moveUnits(out, s, len);
            out += len;
        }
        s += len;
    }
    *out = 0;
}

/* Replaces into dst, or in place when dst is null.  A narrow text whose
 * characters grow (a single byte replaced by a pair) is built aside and
 * copied back: s must have room for one more byte per match.  Throws
 * std::bad_alloc when that copy cannot be made. */
template <class P>
CharOf<P> *replaceChar(CharOf<P> *s, CharOf<P> *dst, USHORT from, USHORT to)
{
    using Text = std::basic_string<CharOf<P>>;
    if (!s)
        return dst;
    from = norm(from);
    to = norm(to);
    if (dst) {
        replaceInto<P>(dst, s, from, to);
        return dst;
    }
    if (P::width(to) <= P::width(from)) {
        replaceInto<P>(s, s, from, to);
        return s;
    }
    std::size_t length = P::libLength(s), matches = 0;
    for (const CharOf<P> *p = s; *p; p += P::step(p))
        matches += P::value(p) == from;
    Text built(length + matches, CharOf<P>{});
    replaceInto<P>(built.data(), s, from, to);
    std::copy_n(built.c_str(), P::libLength(built.c_str()) + 1, s);
    return s;
}

}  // namespace
}  // namespace orin::str

using namespace orin::str;

char *ORINAPI StrRepeatString(char *dst, const char *pattern, size_t size) noexcept
{
    return repeatPattern<Narrow>(dst, pattern, size);
}

WCHAR *ORINAPI WStrRepeatString(WCHAR *dst, const WCHAR *pattern, size_t size) noexcept
{
    return repeatPattern<Wide>(dst, pattern, size);
}

char *ORINAPI StrReplace(const char *src, char *dst, size_t size,
                         const char *find, const char *repl) noexcept
{
    return replaceText<Narrow>(src, dst, size, find, repl);
}

WCHAR *ORINAPI WStrReplace(const WCHAR *src, WCHAR *dst, size_t size,
                           const WCHAR *find, const WCHAR *repl) noexcept
{
    return replaceText<Wide>(src, dst, size, find, repl);
}

char *ORINAPI StrReplaceChar(char *s, char *dst, USHORT from, USHORT to) noexcept
{
    return orin::guardValue<char *>(nullptr, [&] { return replaceChar<Narrow>(s, dst, from, to); });
}

/* One unit per character: the result never grows, so in place is safe. */
WCHAR *ORINAPI WStrReplaceChar(WCHAR *s, WCHAR *dst, WCHAR from, WCHAR to) noexcept
{
    return orin::guardValue<WCHAR *>(nullptr, [&] { return replaceChar<Wide>(s, dst, from, to); });
}
