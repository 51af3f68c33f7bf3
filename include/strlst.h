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
HSTRTOK ORINAPI StrTokOpen(const char *text);
char   *ORINAPI StrTokGet(HSTRTOK tok, const char *delims);
void    ORINAPI StrTokClose(HSTRTOK tok);

/* String lists */
char   *ORINAPI StrLstCreateList(const char *text, USHORT separator);
char   *ORINAPI StrLstAddString(char *list, const char *s);
char   *ORINAPI StrLstChangeString(char *list, const char *s, USHORT n);
char   *ORINAPI StrLstDeleteString(char *list, USHORT n);
USHORT  ORINAPI StrLstFindString(const char *list, const char *s, USHORT caseSensitive);
char   *ORINAPI StrLstGetStringNrPtr(const char *list, USHORT n);
USHORT  ORINAPI StrLstGetListInfo(const char *list, USHORT *size);
char   *ORINAPI StrLstSort(char *list, USHORT caseSensitive);

ORIN_END_DECLS

#endif /* STRLST_H */
