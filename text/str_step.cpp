/*
 * str_step.cpp - walking a narrow string character by character: next and
 * previous character, character values, character positions, lengths in
 * characters and dangling lead bytes.
 *
 * A character is two bytes when its first byte is a lead byte and the
 * next byte is not the terminator, else one.  With the DBCS flag at 0
 * every character is one byte and the lengths come from strlen.  Going
 * back is only safe by scanning forward from the string start (a trail
 * byte may look like a lead byte), so StrCharPrev does that in DBCS mode.
 */
#include "text/strint.h"

using namespace orin::str;

/* A lead byte counts 2 even before the terminator. */
USHORT ORINAPI MbsLen(const char *pos) noexcept
{
    if (!pos)
        return 0;
    return static_cast<USHORT>(knlDbcsEnabled && isLeadByte(static_cast<BYTE>(*pos)) ? 2 : 1);
}

/* At the terminator the position stays where it is. */
char *ORINAPI StrCharNext(const char *pos) noexcept
{
    if (!pos)
        return nullptr;
    return const_cast<char *>(orin::knl::charNext(pos));
}

char *ORINAPI StrCharPrev(const char *start, const char *pos) noexcept
{
    if (!start || !pos || pos <= start)
        return const_cast<char *>(start);
    if (!knlDbcsEnabled)
        return const_cast<char *>(pos) - 1;
    const char *p = start, *prev = start;
    while (p < pos && *p) {
        prev = p;
        p += charBytes(p);
    }
    /* pos lies beyond the terminator or inside a pair: the last character
     * start seen before it is the answer. */
    return const_cast<char *>(prev);
}

USHORT ORINAPI StrGetChar(const char *pos) noexcept
{
    return pos ? charValue(pos) : 0;
}

/* Stores the character (0 at the terminator) and returns the position
 * behind it; the terminator counts as one byte. */
char *ORINAPI StrGetCharNext(const char *pos, USHORT *ch) noexcept
{
    if (!pos) {
        if (ch)
            *ch = 0;
        return nullptr;
    }
    if (ch)
        *ch = charValue(pos);
    return const_cast<char *>(pos) + charBytes(pos);
}

char *ORINAPI StrGetCharPrev(const char *start, const char *pos, USHORT *ch) noexcept
{
    if (!start || !pos || pos <= start) {
        if (ch)
            *ch = 0;
        return const_cast<char *>(start);
    }
    char *prev = StrCharPrev(start, pos);
    if (ch)
        *ch = charValue(prev);
    return prev;
}

/* Writes the low byte, and the high byte as well when the low byte is a
 * lead byte. */
char *ORINAPI StrPutChar(char *pos, USHORT ch) noexcept
{
    StrPutCharNext(pos, ch);
    return pos;
}

char *ORINAPI StrPutCharNext(char *pos, USHORT ch) noexcept
{
    if (!pos)
        return nullptr;
    ch = norm(ch);
    pos[0] = static_cast<char>(ch & 0xFF);
    if (isLeadByte(static_cast<BYTE>(ch & 0xFF))) {
        pos[1] = static_cast<char>(ch >> 8);
        return pos + 2;
    }
    return pos + 1;
}

char *ORINAPI StrGetCharPos(const char *s, size_t n) noexcept
{
    if (!s)
        return nullptr;
    if (!knlDbcsEnabled)
        return n <= std::strlen(s) ? const_cast<char *>(s) + n : nullptr;
    for (; n > 0; n--) {
        if (!*s)
            return nullptr;
        s += charBytes(s);
    }
    return const_cast<char *>(s);
}

size_t ORINAPI StrCLen(const char *s) noexcept
{
    if (!s)
        return 0;
    if (!knlDbcsEnabled)
        return std::strlen(s);
    std::size_t n = 0;
    for (; *s; s += charBytes(s))
        n++;
    return n;
}

USHORT ORINAPI StrIsValidDBCS(const char *s) noexcept
{
    if (!s)
        return 1;
    return orin::knl::danglingLead(const_cast<char *>(s)) ? 0 : 1;
}

/* A dangling lead byte is overwritten by the terminator. */
USHORT ORINAPI StrValidateDBCS(char *s) noexcept
{
    if (!s)
        return 1;
    return orin::knl::cutDanglingLead(s) ? 1 : 0;
}
