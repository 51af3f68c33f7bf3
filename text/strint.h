/*
 * strint.h - the character model shared by the string families: how wide a
 * character is at a position, its 16-bit value, how it is written back.
 *
 * Everything here reads only the frame's tables (knlLeadByte and the DBCS
 * flag), never the system, so stepping costs one table read per byte at
 * most and nothing when no lead byte exists.
 */
#ifndef STRINT_H
#define STRINT_H

#include <string.h>
#include "frame/knlint.h"
#include "str.h"

#ifdef __cplusplus
extern "C" {
#endif

#define CHR_SIGN_EXTENDED 0xFF00   /* high byte of a widened negative char */
#define CHR_SINGLE_MAX    0xFF

/* Takes a sign-extended char (0xFFxx) as its low byte. */
static inline USHORT chrNorm(USHORT ch)
{
    return (ch & CHR_SIGN_EXTENDED) == CHR_SIGN_EXTENDED ? (USHORT)(ch & 0xFF) : ch;
}

/* 1 when a double-byte character starts at p: a lead byte followed by
 * anything but the terminator. */
static inline int strIsPair(const char *p)
{
    const BYTE *b = (const BYTE *)p;
    return knlDbcsEnabled && knlLeadByte[b[0]] && b[1];
}

/* Bytes of the character at p (1 at the terminator). */
static inline size_t strCharBytes(const char *p)
{
    return strIsPair(p) ? 2 : 1;
}

/* 16-bit value of the character at p (0 at the terminator). */
static inline USHORT strCharValue(const char *p)
{
    const BYTE *b = (const BYTE *)p;
    return strIsPair(p) ? (USHORT)(b[0] | (b[1] << 8)) : b[0];
}

/* Bytes a (normalised) character value takes in a string: two for a lead
 * byte with a non-zero trail, else one. */
static inline size_t chrBytes(USHORT ch)
{
    return (ch > CHR_SINGLE_MAX && knlLeadByte[ch & 0xFF]) ? 2 : 1;
}

/* Writes a character's bytes at p and returns the position behind them. */
static inline char *strPutRaw(char *p, USHORT ch)
{
    p[0] = (char)(ch & 0xFF);
    if (chrBytes(ch) == 2) {
        p[1] = (char)(ch >> 8);
        return p + 2;
    }
    return p + 1;
}

/* ChrToLower without the call: the table's other-case byte for an
 * upper-case single byte, anything else unchanged (ch normalised). */
static inline USHORT chrLower(USHORT ch)
{
    if (ch <= CHR_SINGLE_MAX) {
        /* Chosen by a mask rather than a branch: in mixed-case text the
         * branch would be guessed wrong half of the time.  The mask is all
         * ones for an upper-case letter, else 0. */
        USHORT upper = (USHORT)((knlCharTable[ch].flags & KNL_CT_UPPER) != 0);
        USHORT mask = (USHORT)(0u - upper);
        return (USHORT)((knlCharTable[ch].other & mask) | (ch & ~mask));
    }
    return ch;
}

/* Whether the character ch occurs in the set (compared as characters). */
static inline int strSetHas(const char *set, USHORT ch)
{
    if (!set)
        return 0;
    for (; *set; set += strCharBytes(set))
        if (strCharValue(set) == ch)
            return 1;
    return 0;
}

/* The counted number parsers, shared by the narrow and wide families: a
 * scan over at most n characters of a narrow string (p) or n units of a
 * wide one (w). */
typedef struct {
    const char *p;
    const WCHAR *w;
    size_t left;
} STRSCAN;

#define HEX_RADIX 16
#define BIN_RADIX 2

STRSCAN StrScanNarrow(const char *s, size_t n);
STRSCAN StrScanWide(const WCHAR *s, size_t n);
USHORT  StrScanUShort(STRSCAN sc);              /* StrToNUShort rules */
SHORT   StrScanShort(STRSCAN sc);               /* StrToNShort rules */
ULONG   StrScanRadix(STRSCAN sc, unsigned radix);  /* hex or binary */

/* Wide units: whether a unit stands for a single byte (high byte 0x00 or
 * 0xFF), and whether it occurs in a zero-terminated set of units. */
int WChrIsSingle(WCHAR ch);
int WStrSetHas(const WCHAR *set, WCHAR ch);

#ifdef __cplusplus
}
#endif

#endif /* STRINT_H */
