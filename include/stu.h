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
USHORT ORINAPI StuMatchOpen(const char *text, STUMATCH **cursor);
USHORT ORINAPI StuMatchOpenRealBuffer(const char *buffer, STUMATCH **cursor);
USHORT ORINAPI StuMatchOpenFile(void *ns, const char *name, STUMATCH **cursor, ULONG openMode);
void   ORINAPI StuMatchClose(STUMATCH *cursor);
void   ORINAPI StuMatchRewind(STUMATCH *cursor);

/* Position and characters */
char  *ORINAPI StuMatchPtr(STUMATCH *cursor);
USHORT ORINAPI StuMatchIndex(STUMATCH *cursor);
USHORT ORINAPI StuMatchEom(STUMATCH *cursor);
USHORT ORINAPI StuMatchQueryChar(STUMATCH *cursor);
USHORT ORINAPI StuMatchGetChar(STUMATCH *cursor);
USHORT ORINAPI StuMatchGetStr(STUMATCH *cursor, USHORT count, char *buf);
USHORT ORINAPI StuMatchIsAlpha(STUMATCH *cursor);
USHORT ORINAPI StuMatchIsNumber(STUMATCH *cursor);
USHORT ORINAPI StuMatchIsHexNumber(STUMATCH *cursor);
USHORT ORINAPI StuMatchBlanks(STUMATCH *cursor);

/* Literals: 1 and consumed, or 0 and unchanged */
USHORT ORINAPI StuMatchMatch(STUMATCH *cursor, const char *literal);
USHORT ORINAPI StuMatchIMatch(STUMATCH *cursor, const char *literal);
USHORT ORINAPI StuMatchBMatch(STUMATCH *cursor, const char *literal);
USHORT ORINAPI StuMatchBIMatch(STUMATCH *cursor, const char *literal);
USHORT ORINAPI StuMatchMatchName(STUMATCH *cursor, const char *name);
USHORT ORINAPI StuMatchIMatchName(STUMATCH *cursor, const char *name);
USHORT ORINAPI StuMatchFindEx(STUMATCH *cursor, const char *pattern, USHORT flags,
                              char *buf, USHORT size, USHORT *overflow,
                              const char *const *markers);

/* Numbers (32-bit, wrapping; the short forms keep the low 16 bits) */
LONG   ORINAPI StuMatchLongN(STUMATCH *cursor, USHORT maxDigits);
SHORT  ORINAPI StuMatchShortN(STUMATCH *cursor, USHORT maxDigits);
LONG   ORINAPI StuMatchLong(STUMATCH *cursor);
SHORT  ORINAPI StuMatchShort(STUMATCH *cursor);
ULONG  ORINAPI StuMatchULongN(STUMATCH *cursor, USHORT maxDigits);
USHORT ORINAPI StuMatchUShortN(STUMATCH *cursor, USHORT maxDigits);
ULONG  ORINAPI StuMatchULong(STUMATCH *cursor);
USHORT ORINAPI StuMatchUShort(STUMATCH *cursor);
LONG   ORINAPI StuMatchHexLong(STUMATCH *cursor);
SHORT  ORINAPI StuMatchHexShort(STUMATCH *cursor);

ORIN_END_DECLS

#endif /* STU_H */
