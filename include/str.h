/*
 * str.h - DBCS-aware narrow strings: one character (Chr), strings (Str)
 * and number parsing (StrTo).
 *
 * Narrow strings are zero-terminated text in the ANSI code page, which may
 * be a double-byte character set.  A character is a 16-bit value: a single
 * byte, or a double-byte character with its lead byte in the low and its
 * trail byte in the high 8 bits (the two bytes as they lie in memory, read
 * little-endian).  A lead byte directly before the terminator is a
 * "dangling" lead byte and counts as a single-byte character.
 *
 * Character arguments whose high byte is 0xFF (a signed char widened with
 * its sign) are taken as their low byte, so a plain char may be passed.
 * Functions with C in their name (StrCLen, StrCNCpy, ...) count characters;
 * all others count bytes.  Counts are unsigned and pointer-sized.
 *
 * Null string arguments never crash: a function given a null string
 * returns null, 0 or an empty result.
 */
#ifndef STR_H
#define STR_H

#include <stdarg.h>
#include "orinbase.h"

ORIN_BEGIN_DECLS

#define STR_ERR_FORMAT 0xFFFF     /* StrSNprintf: output did not fit / failed */

/* Character classification and conversion (results non-zero / zero) */
USHORT ORINAPI ChrIsSpace(USHORT ch);
USHORT ORINAPI ChrIsAlpha(USHORT ch);
USHORT ORINAPI ChrIsAlnum(USHORT ch);
USHORT ORINAPI ChrIsLower(USHORT ch);
USHORT ORINAPI ChrIsUpper(USHORT ch);
USHORT ORINAPI ChrIsAscii(USHORT ch);
USHORT ORINAPI ChrIsDigit(USHORT ch);
USHORT ORINAPI ChrIsHexDigit(USHORT ch);
USHORT ORINAPI ChrIsPrint(USHORT ch);
USHORT ORINAPI ChrToLower(USHORT ch);
USHORT ORINAPI ChrToUpper(USHORT ch);
USHORT ORINAPI ChrToHex(USHORT ch);
USHORT ORINAPI ChrIsDBCSLeadByte(BYTE b);
void   ORINAPI ChrSetConvModeOff(void);

/* Character stepping and access */
USHORT ORINAPI MbsLen(const char *pos);
char  *ORINAPI StrCharNext(const char *pos);
char  *ORINAPI StrCharPrev(const char *start, const char *pos);
USHORT ORINAPI StrGetChar(const char *pos);
char  *ORINAPI StrGetCharNext(const char *pos, USHORT *ch);
char  *ORINAPI StrGetCharPrev(const char *start, const char *pos, USHORT *ch);
char  *ORINAPI StrPutChar(char *pos, USHORT ch);
char  *ORINAPI StrPutCharNext(char *pos, USHORT ch);
char  *ORINAPI StrGetCharPos(const char *s, size_t n);
size_t ORINAPI StrCLen(const char *s);
USHORT ORINAPI StrIsValidDBCS(const char *s);
USHORT ORINAPI StrValidateDBCS(char *s);

/* Searching and counting */
char  *ORINAPI StrChr(const char *s, USHORT ch);
char  *ORINAPI StrRChr(const char *s, USHORT ch);
char  *ORINAPI StrStr(const char *s, const char *pattern);
char  *ORINAPI StrIStr(const char *s, const char *pattern);
char  *ORINAPI StrPbrk(const char *s, const char *set);
USHORT ORINAPI StrIndex(const char *s, USHORT ch, size_t *offset);
USHORT ORINAPI StrMultIndex(const char *s, const char *set, size_t *offset);
size_t ORINAPI StrCnt(const char *s, USHORT ch);

/* Comparing, copying and concatenating */
SHORT  ORINAPI StrCNCmp(const char *a, const char *b, size_t n);
SHORT  ORINAPI StrCNICmp(const char *a, const char *b, size_t n);
char  *ORINAPI StrNCpy(char *dst, const char *src, size_t n);
char  *ORINAPI StrCNCpy(char *dst, const char *src, size_t n);
char  *ORINAPI StrCNCat(char *dst, const char *src, size_t n);
char  *ORINAPI StrCNSet(char *s, USHORT ch, size_t n);
char  *ORINAPI StrSet(char *s, USHORT ch);
char  *ORINAPI StrDupToOem(const char *s);
char  *ORINAPI StrDupToAnsi(const char *s);
char  *ORINAPI StrTok(char *s, const char *delims);

/* Formatting: C library syntax, always a point as decimal separator */
int    __cdecl StrSprintf(char *buf, const char *fmt, ...);
int    ORINAPI StrVSprintf(char *buf, const char *fmt, va_list ap);
USHORT __cdecl StrSNprintf(char *buf, size_t size, const char *fmt, ...);
USHORT ORINAPI StrVSNprintf(char *buf, size_t size, const char *fmt, va_list ap);

/* Changing in place */
char  *ORINAPI StrLwr(char *s);
char  *ORINAPI StrUpr(char *s);
char  *ORINAPI StrLwrFirstUpr(char *s);
char  *ORINAPI StrLwrFirstUprAll(char *s);
char  *ORINAPI StrLTrim(char *s);
char  *ORINAPI StrRTrim(char *s);
char  *ORINAPI StrLRTrim(char *s);
char  *ORINAPI StrDeleteChar(char *pos);
char  *ORINAPI StrInsertChar(char *pos, USHORT ch);
char  *ORINAPI StrInsertStr(char *s, size_t offset, const char *text);
char  *ORINAPI StrReplaceStr(char *s, size_t offset, const char *text);
char  *ORINAPI StrEraseChar(char *s, USHORT ch);
char  *ORINAPI StrEraseMultChars(char *s, const char *set);
char  *ORINAPI StrIntersectStr(char *s, const char *set);
char  *ORINAPI StrDeleteDupChar(char *s, USHORT ch);
char  *ORINAPI StrMakeLenCh(char *s, size_t n, USHORT fill);
char  *ORINAPI StrMakeLen(char *s, size_t n);
char  *ORINAPI StrRepeatString(char *dst, const char *pattern, size_t size);
char  *ORINAPI StrReplace(const char *src, char *dst, size_t size,
                          const char *find, const char *repl);
char  *ORINAPI StrReplaceChar(char *s, char *dst, USHORT from, USHORT to);

/* Real conversion to and from wide (UTF-16) text, ANSI code page */
int    ORINAPI StrWideCharToMultiByte(const WCHAR *src, char *dst, int size);
int    ORINAPI StrMultiByteToWideChar(const char *src, WCHAR *dst, int size);

/* Number parsing */
SHORT  ORINAPI StrToShort(const char *s);
USHORT ORINAPI StrToUShort(const char *s);
LONG   ORINAPI StrToLong(const char *s);
ULONG  ORINAPI StrToULong(const char *s);
double ORINAPI StrToDouble(const char *s);
USHORT ORINAPI StrToDoubleEx(const char *s, double *value);
USHORT ORINAPI StrToNUShort(const char *s, size_t n);
SHORT  ORINAPI StrToNShort(const char *s, size_t n);
LONG   ORINAPI StrToNHexLong(const char *s, size_t n);
LONG   ORINAPI StrToHexLong(const char *s);
SHORT  ORINAPI StrToHexShort(const char *s);
USHORT ORINAPI StrToHexUShort(const char *s);
SHORT  ORINAPI StrToNHexShort(const char *s, size_t n);
USHORT ORINAPI StrToNHexUShort(const char *s, size_t n);
LONG   ORINAPI StrToNBinLong(const char *s, size_t n);

ORIN_END_DECLS

#endif /* STR_H */
