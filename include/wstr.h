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
WCHAR *ORINAPI WStrMultiByteToWideChar(WCHAR *out, const char *in);
char  *ORINAPI WStrWideCharToMultiByte(char *out, const WCHAR *in);

/* Wide characters */
USHORT ORINAPI WChrIsSpace(WCHAR ch);
USHORT ORINAPI WChrIsAlpha(WCHAR ch);
USHORT ORINAPI WChrIsAscii(WCHAR ch);
USHORT ORINAPI WChrIsAlnum(WCHAR ch);
USHORT ORINAPI WChrIsLower(WCHAR ch);
USHORT ORINAPI WChrIsUpper(WCHAR ch);
USHORT ORINAPI WChrIsDigit(WCHAR ch);
USHORT ORINAPI WChrIsHexDigit(WCHAR ch);
USHORT ORINAPI WChrIsPrint(WCHAR ch);
WCHAR  ORINAPI WChrToLower(WCHAR ch);
WCHAR  ORINAPI WChrToUpper(WCHAR ch);
USHORT ORINAPI WChrToHex(WCHAR ch);

/* Lengths, comparison, search */
size_t ORINAPI WStrLen(const WCHAR *s);            /* bytes */
size_t ORINAPI WStrCLen(const WCHAR *s);           /* units */
SHORT  ORINAPI WStrCmp(const WCHAR *a, const WCHAR *b);
SHORT  ORINAPI WStrNCmp(const WCHAR *a, const WCHAR *b, size_t n);
SHORT  ORINAPI WStrNICmp(const WCHAR *a, const WCHAR *b, size_t n);
SHORT  ORINAPI WStrICmp(const WCHAR *a, const WCHAR *b);
WCHAR *ORINAPI WStrChr(const WCHAR *s, WCHAR ch);
WCHAR *ORINAPI WStrRChr(const WCHAR *s, WCHAR ch);
WCHAR *ORINAPI WStrStr(const WCHAR *s, const WCHAR *pattern);
WCHAR *ORINAPI WStrIStr(const WCHAR *s, const WCHAR *pattern);
USHORT ORINAPI WStrIndex(const WCHAR *s, WCHAR ch, size_t *offset);
USHORT ORINAPI WStrMultIndex(const WCHAR *s, const WCHAR *set, size_t *offset);
size_t ORINAPI WStrCnt(const WCHAR *s, WCHAR ch);

/* Copying */
WCHAR *ORINAPI WStrCpy(WCHAR *dst, const WCHAR *src);
WCHAR *ORINAPI WStrNCpy(WCHAR *dst, const WCHAR *src, size_t n);
WCHAR *ORINAPI WStrCat(WCHAR *dst, const WCHAR *src);
WCHAR *ORINAPI WStrNCat(WCHAR *dst, const WCHAR *src, size_t n);
WCHAR *ORINAPI WStrSet(WCHAR *s, WCHAR ch);
WCHAR *ORINAPI WStrNSet(WCHAR *s, WCHAR ch, size_t n);
WCHAR *ORINAPI WStrDup(const WCHAR *s);

/* Changing in place */
WCHAR *ORINAPI WStrLwr(WCHAR *s);
WCHAR *ORINAPI WStrUpr(WCHAR *s);
WCHAR *ORINAPI WStrLwrFirstUpr(WCHAR *s);
WCHAR *ORINAPI WStrLwrFirstUprAll(WCHAR *s);
WCHAR *ORINAPI WStrLTrim(WCHAR *s);
WCHAR *ORINAPI WStrRTrim(WCHAR *s);
WCHAR *ORINAPI WStrLRTrim(WCHAR *s);
WCHAR *ORINAPI WStrDeleteChar(WCHAR *pos);
WCHAR *ORINAPI WStrInsertChar(WCHAR *pos, WCHAR ch);
WCHAR *ORINAPI WStrInsertStr(WCHAR *s, size_t offset, const WCHAR *text);
WCHAR *ORINAPI WStrEraseChar(WCHAR *s, WCHAR ch);
WCHAR *ORINAPI WStrEraseMultChars(WCHAR *s, const WCHAR *set);
WCHAR *ORINAPI WStrIntersectStr(WCHAR *s, const WCHAR *set);
WCHAR *ORINAPI WStrDeleteDupChar(WCHAR *s, WCHAR ch);
WCHAR *ORINAPI WStrMakeLenCh(WCHAR *s, size_t n, WCHAR fill);
WCHAR *ORINAPI WStrMakeLen(WCHAR *s, size_t n);
WCHAR *ORINAPI WStrRepeatString(WCHAR *dst, const WCHAR *pattern, size_t size);
WCHAR *ORINAPI WStrReplace(const WCHAR *src, WCHAR *dst, size_t size,
                           const WCHAR *find, const WCHAR *repl);
WCHAR *ORINAPI WStrReplaceChar(WCHAR *s, WCHAR *dst, WCHAR from, WCHAR to);

/* Number parsing */
SHORT  ORINAPI WStrToShort(const WCHAR *s);
USHORT ORINAPI WStrToUShort(const WCHAR *s);
LONG   ORINAPI WStrToLong(const WCHAR *s);
ULONG  ORINAPI WStrToULong(const WCHAR *s);
double ORINAPI WStrToDouble(const WCHAR *s);
USHORT ORINAPI WStrToDoubleEx(const WCHAR *s, double *value);
SHORT  ORINAPI WStrToNShort(const WCHAR *s, size_t n);
USHORT ORINAPI WStrToNUShort(const WCHAR *s, size_t n);
LONG   ORINAPI WStrToNHexLong(const WCHAR *s, size_t n);
LONG   ORINAPI WStrToHexLong(const WCHAR *s);
SHORT  ORINAPI WStrToHexShort(const WCHAR *s);
USHORT ORINAPI WStrToHexUShort(const WCHAR *s);
SHORT  ORINAPI WStrToNHexShort(const WCHAR *s, size_t n);
USHORT ORINAPI WStrToNHexUShort(const WCHAR *s, size_t n);

ORIN_END_DECLS

#endif /* WSTR_H */
