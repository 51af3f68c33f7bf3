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
USHORT ORINAPI ChrIsSpace(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrIsAlpha(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrIsAlnum(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrIsLower(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrIsUpper(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrIsAscii(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrIsDigit(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrIsHexDigit(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrIsPrint(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrToLower(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrToUpper(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrToHex(USHORT ch) ORIN_NOEXCEPT;
USHORT ORINAPI ChrIsDBCSLeadByte(BYTE b) ORIN_NOEXCEPT;
void   ORINAPI ChrSetConvModeOff(void) ORIN_NOEXCEPT;

/* Character stepping and access */
USHORT ORINAPI MbsLen(const char *pos) ORIN_NOEXCEPT;
char  *ORINAPI StrCharNext(const char *pos) ORIN_NOEXCEPT;
char  *ORINAPI StrCharPrev(const char *start, const char *pos) ORIN_NOEXCEPT;
USHORT ORINAPI StrGetChar(const char *pos) ORIN_NOEXCEPT;
char  *ORINAPI StrGetCharNext(const char *pos, USHORT *ch) ORIN_NOEXCEPT;
char  *ORINAPI StrGetCharPrev(const char *start, const char *pos, USHORT *ch) ORIN_NOEXCEPT;
char  *ORINAPI StrPutChar(char *pos, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI StrPutCharNext(char *pos, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI StrGetCharPos(const char *s, size_t n) ORIN_NOEXCEPT;
size_t ORINAPI StrCLen(const char *s) ORIN_NOEXCEPT;
USHORT ORINAPI StrIsValidDBCS(const char *s) ORIN_NOEXCEPT;
USHORT ORINAPI StrValidateDBCS(char *s) ORIN_NOEXCEPT;

/* Searching and counting */
char  *ORINAPI StrChr(const char *s, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI StrRChr(const char *s, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI StrStr(const char *s, const char *pattern) ORIN_NOEXCEPT;
char  *ORINAPI StrIStr(const char *s, const char *pattern) ORIN_NOEXCEPT;
char  *ORINAPI StrPbrk(const char *s, const char *set) ORIN_NOEXCEPT;
USHORT ORINAPI StrIndex(const char *s, USHORT ch, size_t *offset) ORIN_NOEXCEPT;
USHORT ORINAPI StrMultIndex(const char *s, const char *set, size_t *offset) ORIN_NOEXCEPT;
size_t ORINAPI StrCnt(const char *s, USHORT ch) ORIN_NOEXCEPT;

/* Comparing, copying and concatenating */
SHORT  ORINAPI StrCNCmp(const char *a, const char *b, size_t n) ORIN_NOEXCEPT;
SHORT  ORINAPI StrCNICmp(const char *a, const char *b, size_t n) ORIN_NOEXCEPT;
char  *ORINAPI StrNCpy(char *dst, const char *src, size_t n) ORIN_NOEXCEPT;
char  *ORINAPI StrCNCpy(char *dst, const char *src, size_t n) ORIN_NOEXCEPT;
char  *ORINAPI StrCNCat(char *dst, const char *src, size_t n) ORIN_NOEXCEPT;
char  *ORINAPI StrCNSet(char *s, USHORT ch, size_t n) ORIN_NOEXCEPT;
char  *ORINAPI StrSet(char *s, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI StrDupToOem(const char *s) ORIN_NOEXCEPT;
char  *ORINAPI StrDupToAnsi(const char *s) ORIN_NOEXCEPT;
char  *ORINAPI StrTok(char *s, const char *delims) ORIN_NOEXCEPT;

/* Formatting: C library syntax, always a point as decimal separator */
int    __cdecl StrSprintf(char *buf, const char *fmt, ...) ORIN_NOEXCEPT;
int    ORINAPI StrVSprintf(char *buf, const char *fmt, va_list ap) ORIN_NOEXCEPT;
USHORT __cdecl StrSNprintf(char *buf, size_t size, const char *fmt, ...) ORIN_NOEXCEPT;
USHORT ORINAPI StrVSNprintf(char *buf, size_t size, const char *fmt, va_list ap) ORIN_NOEXCEPT;

/* Changing in place */
char  *ORINAPI StrLwr(char *s) ORIN_NOEXCEPT;
char  *ORINAPI StrUpr(char *s) ORIN_NOEXCEPT;
char  *ORINAPI StrLwrFirstUpr(char *s) ORIN_NOEXCEPT;
char  *ORINAPI StrLwrFirstUprAll(char *s) ORIN_NOEXCEPT;
char  *ORINAPI StrLTrim(char *s) ORIN_NOEXCEPT;
char  *ORINAPI StrRTrim(char *s) ORIN_NOEXCEPT;
char  *ORINAPI StrLRTrim(char *s) ORIN_NOEXCEPT;
char  *ORINAPI StrDeleteChar(char *pos) ORIN_NOEXCEPT;
char  *ORINAPI StrInsertChar(char *pos, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI StrInsertStr(char *s, size_t offset, const char *text) ORIN_NOEXCEPT;
char  *ORINAPI StrReplaceStr(char *s, size_t offset, const char *text) ORIN_NOEXCEPT;
char  *ORINAPI StrEraseChar(char *s, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI StrEraseMultChars(char *s, const char *set) ORIN_NOEXCEPT;
char  *ORINAPI StrIntersectStr(char *s, const char *set) ORIN_NOEXCEPT;
char  *ORINAPI StrDeleteDupChar(char *s, USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI StrMakeLenCh(char *s, size_t n, USHORT fill) ORIN_NOEXCEPT;
char  *ORINAPI StrMakeLen(char *s, size_t n) ORIN_NOEXCEPT;
char  *ORINAPI StrRepeatString(char *dst, const char *pattern, size_t size) ORIN_NOEXCEPT;
char  *ORINAPI StrReplace(const char *src, char *dst, size_t size,
                          const char *find, const char *repl) ORIN_NOEXCEPT;
char  *ORINAPI StrReplaceChar(char *s, char *dst, USHORT from, USHORT to) ORIN_NOEXCEPT;

/* Real conversion to and from wide (UTF-16) text, ANSI code page */
int    ORINAPI StrWideCharToMultiByte(const WCHAR *src, char *dst, int size) ORIN_NOEXCEPT;
int    ORINAPI StrMultiByteToWideChar(const char *src, WCHAR *dst, int size) ORIN_NOEXCEPT;

/* Number parsing */
SHORT  ORINAPI StrToShort(const char *s) ORIN_NOEXCEPT;
USHORT ORINAPI StrToUShort(const char *s) ORIN_NOEXCEPT;
LONG   ORINAPI StrToLong(const char *s) ORIN_NOEXCEPT;
ULONG  ORINAPI StrToULong(const char *s) ORIN_NOEXCEPT;
double ORINAPI StrToDouble(const char *s) ORIN_NOEXCEPT;
USHORT ORINAPI StrToDoubleEx(const char *s, double *value) ORIN_NOEXCEPT;
USHORT ORINAPI StrToNUShort(const char *s, size_t n) ORIN_NOEXCEPT;
SHORT  ORINAPI StrToNShort(const char *s, size_t n) ORIN_NOEXCEPT;
LONG   ORINAPI StrToNHexLong(const char *s, size_t n) ORIN_NOEXCEPT;
LONG   ORINAPI StrToHexLong(const char *s) ORIN_NOEXCEPT;
SHORT  ORINAPI StrToHexShort(const char *s) ORIN_NOEXCEPT;
USHORT ORINAPI StrToHexUShort(const char *s) ORIN_NOEXCEPT;
SHORT  ORINAPI StrToNHexShort(const char *s, size_t n) ORIN_NOEXCEPT;
USHORT ORINAPI StrToNHexUShort(const char *s, size_t n) ORIN_NOEXCEPT;
LONG   ORINAPI StrToNBinLong(const char *s, size_t n) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* STR_H */
