/*
 * strlst.c - string lists: several zero-terminated strings in one heap
 * block, closed by an empty string.
 *
 * Every operation first walks the list once to learn its string count and
 * byte size (strings, their terminators and the closing zero byte).  A
 * change of size builds a new block from the pieces before and after the
 * changed string and frees the old block only once the new one exists,
 * so a failed call leaves the caller's list as it was.  Sizes and counts
 * are 16-bit: a change that would pass 65,535 bytes or strings fails with
 * ORIN_ERR_INVALID_PARAM.
 */
#include <stdlib.h>
#include "text/strint.h"
#include "strlst.h"

#define LIST_END     1          /* the closing zero byte */
#define MAX_STRINGS  0xFFFF

typedef struct {
    size_t count;               /* strings in the list */
    size_t bytes;               /* block bytes in use, closing byte included */
} LISTSHAPE;

static LISTSHAPE listShape(const char *list)
{
    LISTSHAPE sh = { 0, LIST_END };
    while (*list) {
        size_t len = strlen(list) + 1;
        sh.count++;
        sh.bytes += len;
        list += len;
    }
    return sh;
}

/* Start of string n (1-based), or NULL when the list is shorter. */
static char *stringNr(const char *list, size_t n)
{
    if (!list || n == 0)
        return NULL;
    while (*list) {
        if (--n == 0)
            return (char *)list;
        list += strlen(list) + 1;
    }
    return NULL;
}

/* A new block of the given size, or NULL with the last error set. */
static char *allocList(size_t bytes, size_t count)
{
    char *block;
    if (bytes > STRLST_MAX_BYTES || count > MAX_STRINGS) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    block = (char *)malloc(bytes);
    if (!block)
        SetLastError(ORIN_ERR_NO_MEMORY);
    return block;
}

static char *emptyList(void)
{
    char *block = allocList(LIST_END, 0);
    if (block)
        block[0] = 0;
    return block;
}

/* Builds a new block from list with the len bytes at cut replaced by the
 * string s (s NULL: the bytes are dropped). */
static char *splice(const char *list, LISTSHAPE sh, const char *cut, size_t len,
                    const char *s, size_t count)
{
    size_t before = (size_t)(cut - list), add = s ? strlen(s) + 1 : 0;
    size_t after = sh.bytes - before - len;
    char *block = allocList(sh.bytes - len + add, count);
    if (!block)
        return NULL;
    memcpy(block, list, before);
    if (s)
        memcpy(block + before, s, add);
    memcpy(block + before + add, cut + len, after);
    return block;
}

char *ORINAPI StrLstCreateList(const char *text, USHORT separator) noexcept
{
    char *block, *w;
    if (!text) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    separator = chrNorm(separator);
    block = allocList(strlen(text) + 2 * LIST_END, 0);
    if (!block)
        return NULL;
    for (w = block; *text; text += strCharBytes(text)) {
        size_t len = strCharBytes(text);
        if (strCharValue(text) == separator) {
            *w++ = 0;
        } else {
            memcpy(w, text, len);
            w += len;
        }
    }
    w[0] = 0;                   /* ends the last string */
    w[1] = 0;                   /* closes the list */
    return block;
}

char *ORINAPI StrLstAddString(char *list, const char *s) noexcept
{
    LISTSHAPE sh;
    char *block;

    if (!s || !*s)
        return list ? list : emptyList();
    if (!list || !*list) {
        block = allocList(strlen(s) + 1 + LIST_END, 1);
        if (!block)
            return NULL;
        strcpy(block, s);
        block[strlen(s) + 1] = 0;
        free(list);
        return block;
    }
    sh = listShape(list);
    block = splice(list, sh, list + sh.bytes - LIST_END, 0, s, sh.count + 1);
    if (!block)
        return NULL;
    free(list);
    return block;
}

char *ORINAPI StrLstChangeString(char *list, const char *s, USHORT n) noexcept
{
    char *old, *block;
    size_t oldLen;

    if (!list || !s) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    if (!*s)
        return list;
    old = stringNr(list, n);
    if (!old) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    oldLen = strlen(old);
    if (oldLen == strlen(s)) {
        memcpy(old, s, oldLen);
        return list;
    }
    block = splice(list, listShape(list), old, oldLen + 1, s, 0);
    if (!block)
        return NULL;
    free(list);
    return block;
}

char *ORINAPI StrLstDeleteString(char *list, USHORT n) noexcept
{
    char *old = stringNr(list, n), *block;
    if (!old) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    block = splice(list, listShape(list), old, strlen(old) + 1, NULL, 0);
    if (!block)
        return NULL;
    free(list);
    return block;
}

static int __cdecl compareBytes(const void *a, const void *b)
{
    return strcmp(*(const char *const *)a, *(const char *const *)b);
}

static int __cdecl compareNoCase(const void *a, const void *b)
{
    return _stricmp(*(const char *const *)a, *(const char *const *)b);
}

USHORT ORINAPI StrLstFindString(const char *list, const char *s, USHORT caseSensitive) noexcept
{
    USHORT n = 0;
    if (!list || !s)
        return 0;
    for (; *list; list += strlen(list) + 1) {
        n++;
        if ((caseSensitive ? strcmp(list, s) : _stricmp(list, s)) == 0)
            return n;
    }
    return 0;
}

char *ORINAPI StrLstGetStringNrPtr(const char *list, USHORT n) noexcept
{
    return stringNr(list, n);
}

USHORT ORINAPI StrLstGetListInfo(const char *list, USHORT *size) noexcept
{
    LISTSHAPE sh = { 0, 0 };
    if (list && *list)
        sh = listShape(list);
    if (size)
        *size = (USHORT)sh.bytes;
    return (USHORT)sh.count;
}

/* Sorts the string addresses and writes the strings into a new block in
 * that order; on any allocation failure the list is returned unchanged. */
char *ORINAPI StrLstSort(char *list, USHORT caseSensitive) noexcept
{
    LISTSHAPE sh;
    const char **order;
    char *block, *w, *p;
    size_t i;

    if (!list)
        return NULL;
    sh = listShape(list);
    if (sh.count < 2)
        return list;
    order = (const char **)malloc(sh.count * sizeof *order);
    if (!order)
        return list;
    for (i = 0, p = list; i < sh.count; i++, p += strlen(p) + 1)
        order[i] = p;
    KnlQSort(order, sh.count, sizeof *order, caseSensitive ? compareBytes : compareNoCase);
    block = (char *)malloc(sh.bytes);
    if (!block) {
        free(order);
        return list;
    }
    for (i = 0, w = block; i < sh.count; i++) {
        size_t len = strlen(order[i]) + 1;
        memcpy(w, order[i], len);
        w += len;
    }
    *w = 0;
    free(order);
    free(list);
    return block;
}
