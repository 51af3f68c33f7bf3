/*
 * strtok.c - the reentrant tokenizer: each handle owns a copy of its text
 * and a position in it, so any number of texts can be split at once.
 *
 * StrTokGet skips a run of delimiters, takes the token up to the next
 * delimiter character and terminates it there (over the delimiter's first
 * byte).  When the text ends inside the token, or right behind its
 * delimiter, the position becomes NULL and the next call answers NULL.
 * Delimiters are compared as characters, so a trail byte never splits.
 */
#include <stdlib.h>
#include "text/strint.h"
#include "strlst.h"

struct _STRTOKEN {
    char *text;                 /* the owned copy */
    char *pos;                  /* where the next token search starts */
};

HSTRTOK ORINAPI StrTokOpen(const char *text) noexcept
{
    HSTRTOK tok;
    if (!text) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    tok = (HSTRTOK)malloc(sizeof *tok);
    if (tok)
        tok->text = (char *)malloc(strlen(text) + 1);
    if (!tok || !tok->text) {
        free(tok);
        SetLastError(ORIN_ERR_NO_MEMORY);
        return NULL;
    }
    strcpy(tok->text, text);
    tok->pos = tok->text;
    return tok;
}

char *ORINAPI StrTokGet(HSTRTOK tok, const char *delims) noexcept
{
    char *p, *start;
    if (!tok || !tok->pos)
        return NULL;
    p = tok->pos;
    while (*p && strSetHas(delims, strCharValue(p)))
        p += strCharBytes(p);
    start = p;
    while (*p && !strSetHas(delims, strCharValue(p)))
        p += strCharBytes(p);
    if (!*p) {
        tok->pos = NULL;
        return start;
    }
    tok->pos = p + strCharBytes(p);
    *p = 0;
    if (!*tok->pos)
        tok->pos = NULL;
    return start;
}

void ORINAPI StrTokClose(HSTRTOK tok) noexcept
{
    if (!tok)
        return;
    free(tok->text);
    free(tok);
}
