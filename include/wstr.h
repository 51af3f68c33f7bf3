/*
 * wstr.h - wide strings (WStr) and wide characters (WChr): the twins of
 * the narrow Str and Chr families.
 *
 * A wide string here is an array of the library's 16-bit character values
 * ending in a 0 unit: a single-byte character is its byte value, a
 * double-byte character is lead byte + 256 x trail byte.  It is NOT UTF-16
 * (StrMultiByteToWideChar in str.h does real Unicode conversion).  Counts
 * and offsets are in units unless a function says bytes.  A unit whose
 * high byte is 0x00 or 0xFF is classified by the character table of its
 * low byte; any other unit is a double-byte character with fixed answers
 * (alphabetic, alphanumeric and printable; nothing else).
 */
#ifndef WSTR_H
#define WSTR_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

/* Narrow <-> wide form of the same text */
WCHAR *ORINAPI WStrMultiByteToWideChar(WCHAR *out, const char *in) ORIN_NOEXCEPT;
char  *ORINAPI WStrWideCharToMultiByte(char *out, const WCHAR *in) ORIN_NOEXCEPT;

/* Wide characters */
USHORT ORINAPI WChrIsSpace(WCHAR ch) ORIN_NOEXCEPT;
USHORT ORINAPI WChrIsAlpha(WCHAR ch) ORIN_NOEXCEPT;
USHORT ORINAPI WChrIsAscii(WCHAR ch) ORIN_NOEXCEPT;
USHORT ORINAPI WChrIsAlnum(WCHAR ch) ORIN_NOEXCEPT;
USHORT ORINAPI WChrIsLower(WCHAR ch) ORIN_NOEXCEPT;
USHORT ORINAPI WChrIsUpper(WCHAR ch) ORIN_NOEXCEPT;
USHORT ORINAPI WChrIsDigit(WCHAR ch) ORIN_NOEXCEPT;
USHORT ORINAPI WChrIsHexDigit(WCHAR ch) ORIN_NOEXCEPT;
USHORT ORINAPI WChrIsPrint(WCHAR ch) ORIN_NOEXCEPT;
WCHAR  ORINAPI WChrToLower(WCHAR ch) ORIN_NOEXCEPT;
WCHAR  ORINAPI WChrToUpper(WCHAR ch) ORIN_NOEXCEPT;
USHORT ORINAPI WChrToHex(WCHAR ch) ORIN_NOEXCEPT;

/* Lengths, comparison, search */
size_t ORINAPI WStrLen(const WCHAR *s) ORIN_NOEXCEPT;            /* bytes */
size_t ORINAPI WStrCLen(const WCHAR *s) ORIN_NOEXCEPT;           /* units */
SHORT  ORINAPI WStrCmp(const WCHAR *a, const WCHAR *b) ORIN_NOEXCEPT;
SHORT  ORINAPI WStrNCmp(const WCHAR *a, const WCHAR *b, size_t n) ORIN_NOEXCEPT;
SHORT  ORINAPI WStrNICmp(const WCHAR *a, const WCHAR *b, size_t n) ORIN_NOEXCEPT;
SHORT  ORINAPI WStrICmp(const WCHAR *a, const WCHAR *b) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrChr(const WCHAR *s, WCHAR ch) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrRChr(const WCHAR *s, WCHAR ch) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrStr(const WCHAR *s, const WCHAR *pattern) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrIStr(const WCHAR *s, const WCHAR *pattern) ORIN_NOEXCEPT;
USHORT ORINAPI WStrIndex(const WCHAR *s, WCHAR ch, size_t *offset) ORIN_NOEXCEPT;
USHORT ORINAPI WStrMultIndex(const WCHAR *s, const WCHAR *set, size_t *offset) ORIN_NOEXCEPT;
size_t ORINAPI WStrCnt(const WCHAR *s, WCHAR ch) ORIN_NOEXCEPT;

/* Copying */
WCHAR *ORINAPI WStrCpy(WCHAR *dst, const WCHAR *src) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrNCpy(WCHAR *dst, const WCHAR *src, size_t n) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrCat(WCHAR *dst, const WCHAR *src) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrNCat(WCHAR *dst, const WCHAR *src, size_t n) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrSet(WCHAR *s, WCHAR ch) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrNSet(WCHAR *s, WCHAR ch, size_t n) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrDup(const WCHAR *s) ORIN_NOEXCEPT;

/* Changing in place */
WCHAR *ORINAPI WStrLwr(WCHAR *s) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrUpr(WCHAR *s) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrLwrFirstUpr(WCHAR *s) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrLwrFirstUprAll(WCHAR *s) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrLTrim(WCHAR *s) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrRTrim(WCHAR *s) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrLRTrim(WCHAR *s) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrDeleteChar(WCHAR *pos) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrInsertChar(WCHAR *pos, WCHAR ch) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrInsertStr(WCHAR *s, size_t offset, const WCHAR *text) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrEraseChar(WCHAR *s, WCHAR ch) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrEraseMultChars(WCHAR *s, const WCHAR *set) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrIntersectStr(WCHAR *s, const WCHAR *set) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrDeleteDupChar(WCHAR *s, WCHAR ch) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrMakeLenCh(WCHAR *s, size_t n, WCHAR fill) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrMakeLen(WCHAR *s, size_t n) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrRepeatString(WCHAR *dst, const WCHAR *pattern, size_t size) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrReplace(const WCHAR *src, WCHAR *dst, size_t size,
                           const WCHAR *find, const WCHAR *repl) ORIN_NOEXCEPT;
WCHAR *ORINAPI WStrReplaceChar(WCHAR *s, WCHAR *dst, WCHAR from, WCHAR to) ORIN_NOEXCEPT;

/* Number parsing */
SHORT  ORINAPI WStrToShort(const WCHAR *s) ORIN_NOEXCEPT;
USHORT ORINAPI WStrToUShort(const WCHAR *s) ORIN_NOEXCEPT;
LONG   ORINAPI WStrToLong(const WCHAR *s) ORIN_NOEXCEPT;
ULONG  ORINAPI WStrToULong(const WCHAR *s) ORIN_NOEXCEPT;
double ORINAPI WStrToDouble(const WCHAR *s) ORIN_NOEXCEPT;
USHORT ORINAPI WStrToDoubleEx(const WCHAR *s, double *value) ORIN_NOEXCEPT;
SHORT  ORINAPI WStrToNShort(const WCHAR *s, size_t n) ORIN_NOEXCEPT;
USHORT ORINAPI WStrToNUShort(const WCHAR *s, size_t n) ORIN_NOEXCEPT;
LONG   ORINAPI WStrToNHexLong(const WCHAR *s, size_t n) ORIN_NOEXCEPT;
LONG   ORINAPI WStrToHexLong(const WCHAR *s) ORIN_NOEXCEPT;
SHORT  ORINAPI WStrToHexShort(const WCHAR *s) ORIN_NOEXCEPT;
USHORT ORINAPI WStrToHexUShort(const WCHAR *s) ORIN_NOEXCEPT;
SHORT  ORINAPI WStrToNHexShort(const WCHAR *s, size_t n) ORIN_NOEXCEPT;
USHORT ORINAPI WStrToNHexUShort(const WCHAR *s, size_t n) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* WSTR_H */
