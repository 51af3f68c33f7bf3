/*
 * strint.h - the character model shared by the string families: how wide a
 * narrow character is at a position, its 16-bit value, how it is written
 * back, and the single-byte case folding the searches use.
 *
 * Everything here reads only the frame's tables (knlLeadByte and the DBCS
 * flag through the frame's stepping, knlCharTable), never the system, so stepping costs one table read
 * per byte at most and nothing when no lead byte exists.  The tables are
 * written by KnlInitCP/KnlInitDBCSEv at start-up and only read here.
 */
#ifndef ORIN_TEXT_STRINT_H
#define ORIN_TEXT_STRINT_H

#include <cstddef>
#include <cstring>
#include "frame/handle_pool.h"
#include "frame/knl_dbcs.h"
#include "frame/knlint.h"
#include "str.h"
#include "wstr.h"

namespace orin::str {

inline constexpr USHORT kSignExtended = 0xFF00;   // high byte of a widened negative char
inline constexpr USHORT kSingleMax = 0xFF;
inline constexpr unsigned kDecRadix = 10;
inline constexpr unsigned kHexRadix = 16;
inline constexpr unsigned kBinRadix = 2;

/* Takes a sign-extended char (0xFFxx) as its low byte. */
constexpr USHORT norm(USHORT ch) noexcept
{
    return (ch & kSignExtended) == kSignExtended ? static_cast<USHORT>(ch & 0xFF) : ch;
}

/* Stepping is the frame's (frame/knl_dbcs.h). */
using knl::charBytes;
using knl::isLeadByte;
using knl::isPair;

/* 16-bit value of the character at p (0 at the terminator). */
inline USHORT charValue(const char *p) noexcept
{
    const auto *b = reinterpret_cast<const BYTE *>(p);
    return isPair(p) ? static_cast<USHORT>(b[0] | (b[1] << 8)) : b[0];
}

/* Value and bytes of the character at p in one look (0 and 1 at the
 * terminator): the step of the search loops.  Single bytes are the common
 * case even in double-byte text, so the loops are laid out for them. */
inline USHORT readChar(const char *p, std::size_t &len) noexcept
{
    const auto *b = reinterpret_cast<const BYTE *>(p);
    if (__builtin_expect(isPair(p), 0)) {
        len = 2;
        return static_cast<USHORT>(b[0] | (b[1] << 8));
    }
    len = 1;
    return b[0];
}

/* Bytes a (normalised) character value takes in a string: two for a lead
 * byte with a non-zero trail, else one. */
inline std::size_t chrBytes(USHORT ch) noexcept
{
    return (ch > kSingleMax && isLeadByte(static_cast<BYTE>(ch & 0xFF))) ? 2 : 1;
}

/* Writes a character's bytes at p and returns the position behind them. */
inline char *putRaw(char *p, USHORT ch) noexcept
{
    p[0] = static_cast<char>(ch & 0xFF);
    if (chrBytes(ch) == 2) {
        p[1] = static_cast<char>(ch >> 8);
        return p + 2;
    }
    return p + 1;
}

/* ChrToLower without the call and without normalising: the table's
 * other-case byte for an upper-case single byte, anything else unchanged. */
inline USHORT lowerSingle(USHORT ch) noexcept
{
    if (ch <= kSingleMax) {
        /* Chosen by a mask rather than a branch: in mixed-case text the
         * branch would be guessed wrong half of the time.  The mask is all
         * ones for an upper-case letter, else 0. */
        auto upper = static_cast<USHORT>((knlCharTable[ch].flags & KNL_CT_UPPER) != 0);
        auto mask = static_cast<USHORT>(0u - upper);
        return static_cast<USHORT>(ch ^ ((ch ^ knlCharTable[ch].other) & mask));
    }
    return ch;
}

/* The record behind a text handle (tokenizer, match cursor) when pool
 * holds it live; null for null, and for a handle that is not live, which
 * also leaves 87 in the last error. */
template <class T>
T *liveRecord(const HandlePool<T> &pool, const void *h) noexcept
{
    if (!h)
        return nullptr;
    T *record = pool.get(h);
    if (!record)
        SetLastError(ORIN_ERR_INVALID_PARAM);
    return record;
}

/* Whether the character ch occurs in the narrow set (compared as
 * characters); a null set holds nothing. */
inline bool setHas(const char *set, USHORT ch) noexcept
{
    if (!set)
        return false;
    for (; *set; set += charBytes(set))
        if (charValue(set) == ch)
            return true;
    return false;
}

/* A wide unit whose high byte is 0x00 or 0xFF stands for its low byte. */
constexpr bool isSingleUnit(WCHAR ch) noexcept
{
    auto high = static_cast<BYTE>(ch >> 8);
    return high == 0 || high == 0xFF;
}

/* Whether the unit occurs in a zero-terminated set of units (null: no). */
inline bool wideSetHas(const WCHAR *set, WCHAR ch) noexcept
{
    if (!set)
        return false;
    for (; *set; set++)
        if (*set == ch)
            return true;
    return false;
}

}  // namespace orin::str

#endif  // ORIN_TEXT_STRINT_H
