/*
 * rt_edit.cpp - copying rich-text strings and changing their visible text
 * in place: case, fill, deleting and inserting at a visible position,
 * trimming white space.  Escape sequences are never changed or removed.
 *
 * A visible position n is the n-th visible character (0-based; the
 * visible character count means the end of the string).  Inserting at n
 * puts the text directly in front of the character, behind the escape
 * sequences before it, so it takes the character's formatting;
 * RtStrPreInsertStr puts it in front of those sequences instead (at the
 * end it appends).  A position past the end is refused with 87.  Inserts
 * need room in the caller's buffer for the bytes added.
 *
 * RtStrSet with a double-byte character writes it over every double-byte
 * visible character and a blank over every single-byte one, so the
 * string keeps its bytes; a single-byte character overwrites every
 * visible byte, as StrSet does.
 */
#include <cstring>
#include "richtext/rtint.h"

namespace orin::rt {
namespace {

constexpr char kBlank = ' ';

/* Opens a gap of n bytes at pos and copies text into it. */
void insertBytes(char *pos, const char *text, std::size_t n) noexcept
{
    std::memmove(pos + n, pos, std::strlen(pos) + 1);
    std::memcpy(pos, text, n);
}

/* Calls change(position, bytes) for each visible character of s. */
template <class F>
void forEachVisible(char *s, F &&change) noexcept
{
    Scanner sc(s);
    for (; sc.skipCodes(); sc.step())
        change(const_cast<char *>(sc.pos()), sc.charLen());
}

template <class Map>
char *mapVisible(char *s, Map map) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    forEachVisible(s, [&map](char *p, std::size_t) { str::putRaw(p, map(str::charValue(p))); });
    return s;
}

bool isSpaceAt(const char *p) noexcept
{
    return ChrIsSpace(str::charValue(p)) != 0;
}

/* Where text is put for an insert at visible position pos, or null. */
char *insertPoint(char *s, std::size_t pos, bool beforeCodes) noexcept
{
    VisiblePos vp;
    if (!findVisibleChar(s, pos, vp))
        return fail(ORIN_ERR_INVALID_PARAM);
    bool atTheEnd = atEnd(vp.at);
    return const_cast<char *>(beforeCodes && !atTheEnd ? vp.before : vp.at);
}

char *insertText(char *s, std::size_t pos, const char *text, bool beforeCodes) noexcept
{
    if (!s || !text)
        return fail(ORIN_ERR_INVALID_PARAM);
    char *at = insertPoint(s, pos, beforeCodes);
    if (!at)
        return nullptr;
    insertBytes(at, text, std::strlen(text));
    return s;
}

/* Removes the visible characters from p on until stop(position) holds or
 * the string ends, keeping every escape sequence, and moves the rest up;
 * returns where the rest now starts. */
template <class Stop>
char *dropVisibleWhile(char *p, Stop stop) noexcept
{
    char *w = p;
    while (!atEnd(p) && !stop(p)) {
        std::size_t n = codeLength(p);
        if (n != 0) {
            std::memmove(w, p, n);
            w += n;
            p += n;
        } else {
            p += str::charBytes(p);
        }
    }
    std::memmove(w, p, std::strlen(p) + 1);
    return w;
}

}  // namespace
}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

char *ORINAPI RtStrCat(char *dst, const char *src) noexcept
{
    if (!dst || !src)
        return fail(ORIN_ERR_INVALID_PARAM);
    return std::strcat(dst, src);
}

char *ORINAPI RtStrCpy(char *dst, const char *src) noexcept
{
    if (!dst || !src)
        return fail(ORIN_ERR_INVALID_PARAM);
    return std::strcpy(dst, src);
}

char *ORINAPI RtStrNCpy(char *dst, const char *src, size_t n) noexcept
{
    if (!dst || !src)
        return fail(ORIN_ERR_INVALID_PARAM);
    return StrNCpy(dst, src, n);
}

char *ORINAPI RtStrDup(const char *s) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    return heapCopy(s, std::strlen(s));
}

char *ORINAPI RtStrUpr(char *s) noexcept
{
    return mapVisible(s, [](USHORT ch) { return ChrToUpper(ch); });
}

char *ORINAPI RtStrLwr(char *s) noexcept
{
    return mapVisible(s, [](USHORT ch) { return ChrToLower(ch); });
}

char *ORINAPI RtStrSet(char *s, USHORT ch) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    ch = str::norm(ch);
    bool pairFill = str::chrBytes(ch) == 2;
    forEachVisible(s, [&](char *p, std::size_t len) {
        if (pairFill)
            str::putRaw(p, len == 2 ? ch : static_cast<USHORT>(kBlank));
        else
            std::memset(p, static_cast<BYTE>(ch), len);
    });
    return s;
}

char *ORINAPI RtStrDeleteChar(char *s, size_t pos) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    VisiblePos vp;
    if (!findVisibleChar(s, pos, vp) || atEnd(vp.at))
        return fail(ORIN_ERR_INVALID_PARAM);
    char *at = const_cast<char *>(vp.at);
    std::size_t len = str::charBytes(at);
    std::memmove(at, at + len, std::strlen(at + len) + 1);
    return s;
}

char *ORINAPI RtStrInsertChar(char *s, size_t pos, USHORT ch) noexcept
{
    ch = str::norm(ch);
    if (ch == 0)
        return fail(ORIN_ERR_INVALID_PARAM);
    char bytes[3] = {};
    str::putRaw(bytes, ch);
    return insertText(s, pos, bytes, false);
}

char *ORINAPI RtStrInsertStr(char *s, size_t pos, const char *text) noexcept
{
    return insertText(s, pos, text, false);
}

char *ORINAPI RtStrPreInsertStr(char *s, size_t pos, const char *text) noexcept
{
    return insertText(s, pos, text, true);
}

char *ORINAPI RtStrLTrim(char *s) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    dropVisibleWhile(s, [](const char *p) { return codeLength(p) == 0 && !isSpaceAt(p); });
    return s;
}

char *ORINAPI RtStrRTrim(char *s) noexcept
{
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    char *keepEnd = s;                       // behind the last visible non-blank
    Scanner sc(s);
    for (; sc.skipCodes(); sc.step())
        if (!isSpaceAt(sc.pos()))
            keepEnd = const_cast<char *>(sc.pos()) + sc.charLen();
    dropVisibleWhile(keepEnd, [](const char *) { return false; });
    return s;
}

char *ORINAPI RtStrLRTrim(char *s) noexcept
{
    return RtStrLTrim(RtStrRTrim(s));
}
