/*
 * stu.h - the match scanner: a forward-reading cursor over a string, a
 * caller's buffer or a file, for small hand-made parsers.  Every test
 * either consumes what it matched or leaves the cursor where it was.
 * Characters are DBCS-aware; the I variants compare after ChrToLower.
 */
#ifndef STU_H
#define STU_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

typedef struct _STUMATCH STUMATCH;     /* owned by the family */

/* StuMatchFindEx flags */
#define STU_FIND_ICASE     0x01   /* compare ignoring case */
#define STU_FIND_QUOTES    0x02   /* honour quotes, brackets and backslashes */
#define STU_FIND_STAYATEND 0x04   /* not found: stay at the end of the text */
#define STU_FIND_MARKERS   0x08   /* honour the marker pair */

#define STU_OVERFLOW       0xFFFF /* copy buffer overflow flag */

/* Opening and closing: 0, 8 (no memory), 87 (null argument) or the error
 * of opening the file. */
USHORT ORINAPI StuMatchOpen(const char *text, STUMATCH **cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchOpenRealBuffer(const char *buffer, STUMATCH **cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchOpenFile(void *ns, const char *name, STUMATCH **cursor, ULONG openMode) ORIN_NOEXCEPT;
void   ORINAPI StuMatchClose(STUMATCH *cursor) ORIN_NOEXCEPT;
void   ORINAPI StuMatchRewind(STUMATCH *cursor) ORIN_NOEXCEPT;

/* Position and characters */
char  *ORINAPI StuMatchPtr(STUMATCH *cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchIndex(STUMATCH *cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchEom(STUMATCH *cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchQueryChar(STUMATCH *cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchGetChar(STUMATCH *cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchGetStr(STUMATCH *cursor, USHORT count, char *buf) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchIsAlpha(STUMATCH *cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchIsNumber(STUMATCH *cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchIsHexNumber(STUMATCH *cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchBlanks(STUMATCH *cursor) ORIN_NOEXCEPT;

/* Literals: 1 and consumed, or 0 and unchanged */
USHORT ORINAPI StuMatchMatch(STUMATCH *cursor, const char *literal) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchIMatch(STUMATCH *cursor, const char *literal) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchBMatch(STUMATCH *cursor, const char *literal) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchBIMatch(STUMATCH *cursor, const char *literal) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchMatchName(STUMATCH *cursor, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchIMatchName(STUMATCH *cursor, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchFindEx(STUMATCH *cursor, const char *pattern, USHORT flags,
                              char *buf, USHORT size, USHORT *overflow,
                              const char *const *markers) ORIN_NOEXCEPT;

/* Numbers (32-bit, wrapping; the short forms keep the low 16 bits) */
LONG   ORINAPI StuMatchLongN(STUMATCH *cursor, USHORT maxDigits) ORIN_NOEXCEPT;
SHORT  ORINAPI StuMatchShortN(STUMATCH *cursor, USHORT maxDigits) ORIN_NOEXCEPT;
LONG   ORINAPI StuMatchLong(STUMATCH *cursor) ORIN_NOEXCEPT;
SHORT  ORINAPI StuMatchShort(STUMATCH *cursor) ORIN_NOEXCEPT;
ULONG  ORINAPI StuMatchULongN(STUMATCH *cursor, USHORT maxDigits) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchUShortN(STUMATCH *cursor, USHORT maxDigits) ORIN_NOEXCEPT;
ULONG  ORINAPI StuMatchULong(STUMATCH *cursor) ORIN_NOEXCEPT;
USHORT ORINAPI StuMatchUShort(STUMATCH *cursor) ORIN_NOEXCEPT;
LONG   ORINAPI StuMatchHexLong(STUMATCH *cursor) ORIN_NOEXCEPT;
SHORT  ORINAPI StuMatchHexShort(STUMATCH *cursor) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* STU_H */
