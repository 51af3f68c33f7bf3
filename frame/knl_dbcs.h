/*
 * knl_dbcs.h - stepping over narrow text of the ANSI code page: whether a
 * byte leads a double-byte character, how many bytes the character at a
 * position takes, the next character, and the cut of a lead byte left
 * dangling at the end; and the upper case of a single byte.  A character is two bytes when its first byte is a
 * lead byte and the next byte is not the terminator, else one.
 *
 * Only the frame's lead-byte table (knl_cp.cpp, written by KnlInitDBCSEv)
 * is read, never the system; the string families step with these too.
 */
#ifndef ORIN_FRAME_KNL_DBCS_H
#define ORIN_FRAME_KNL_DBCS_H

#include <cstddef>
#include "frame/knlint.h"

namespace orin::knl {

inline bool isLeadByte(BYTE b) noexcept
{
    return knlLeadByte[b] != 0;
}

/* Whether a double-byte character starts at p. */
inline bool isPair(const char *p) noexcept
{
    const auto *b = reinterpret_cast<const BYTE *>(p);
    return knlDbcsEnabled && isLeadByte(b[0]) && b[1];
}

/* Bytes of the character at p (1 at the terminator). */
inline std::size_t charBytes(const char *p) noexcept
{
    return isPair(p) ? 2 : 1;
}

/* The character behind p; at the terminator p itself. */
inline const char *charNext(const char *p) noexcept
{
    return *p ? p + charBytes(p) : p;
}

inline char *charNext(char *p) noexcept
{
    return *p ? p + charBytes(p) : p;
}

/* The upper-case form of a single byte (the byte itself unless it is a
 * lower-case letter), from the frame's character table. */
inline BYTE upperByte(BYTE c) noexcept
{
    return (knlCharTable[c].flags & KNL_CT_LOWER) ? knlCharTable[c].other : c;
}

/* Position of a lead byte right before the terminator of s, or null. */
inline char *danglingLead(char *s) noexcept
{
    if (!knlDbcsEnabled)
        return nullptr;
    for (; *s; s += charBytes(s))
        if (isLeadByte(static_cast<BYTE>(*s)) && !s[1])
            return s;
    return nullptr;
}

/* Overwrites a dangling lead byte with the terminator; false when there
 * was one. */
inline bool cutDanglingLead(char *s) noexcept
{
    char *lead = danglingLead(s);
    if (!lead)
        return true;
    *lead = 0;
    return false;
}

}  // namespace orin::knl

#endif  // ORIN_FRAME_KNL_DBCS_H
