/*
 * strlst.h - string lists and the reentrant tokenizer.
 *
 * A string list is one heap block of zero-terminated strings one after
 * another, closed by an empty string (a lone zero byte); an empty list is
 * a block whose first byte is 0.  Strings are numbered from 1, so an empty
 * string can never be an element.  Functions that change a list's size
 * return a new block and free the old one: continue with the returned
 * pointer.  Lists hold at most 65,535 bytes and strings and are released
 * with the C library's free.
 *
 * The tokenizer splits its own copy of a text at delimiter characters
 * (compared as DBCS characters); several tokenizers may run at once.
 */
#ifndef STRLST_H
#define STRLST_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

#define STRLST_MAX_BYTES 0xFFFF

typedef struct _STRTOKEN *HSTRTOK;

/* Tokenizer */
HSTRTOK ORINAPI StrTokOpen(const char *text) ORIN_NOEXCEPT;
char   *ORINAPI StrTokGet(HSTRTOK tok, const char *delims) ORIN_NOEXCEPT;
void    ORINAPI StrTokClose(HSTRTOK tok) ORIN_NOEXCEPT;

/* String lists */
char   *ORINAPI StrLstCreateList(const char *text, USHORT separator) ORIN_NOEXCEPT;
char   *ORINAPI StrLstAddString(char *list, const char *s) ORIN_NOEXCEPT;
char   *ORINAPI StrLstChangeString(char *list, const char *s, USHORT n) ORIN_NOEXCEPT;
char   *ORINAPI StrLstDeleteString(char *list, USHORT n) ORIN_NOEXCEPT;
USHORT  ORINAPI StrLstFindString(const char *list, const char *s, USHORT caseSensitive) ORIN_NOEXCEPT;
char   *ORINAPI StrLstGetStringNrPtr(const char *list, USHORT n) ORIN_NOEXCEPT;
USHORT  ORINAPI StrLstGetListInfo(const char *list, USHORT *size) ORIN_NOEXCEPT;
char   *ORINAPI StrLstSort(char *list, USHORT caseSensitive) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* STRLST_H */
