/*
 * str_replace.c - building strings into a bounded destination: a pattern
 * repeated to fill a buffer, find-and-replace of a substring, and
 * character-for-character replacement.
 *
 * The bounded functions keep a count of the room left and append a
 * character of b bytes only while more than b bytes remain, so the
 * terminator always fits and nothing is ever written past the size the
 * caller gave.
 */
#include <stdlib.h>
#include "text/strint.h"

char *ORINAPI StrRepeatString(char *dst, const char *pattern, size_t size) noexcept
{
    size_t patLen, room = size;
    char *w = dst;
    const char *p;

    if (!dst || size == 0)
        return dst;
    if (!pattern || !*pattern) {
        *dst = 0;
        return dst;
    }
    patLen = strlen(pattern);
    while (room > patLen) {
        memcpy(w, pattern, patLen);
        w += patLen;
        room -= patLen;
    }
    /* The tail: whole characters from the pattern's start while they fit
     * in front of the last byte, which is the terminator's. */
    for (p = pattern; room >= 2 && *p; ) {
        size_t len = strCharBytes(p);
        if (len > room - 1)
            break;
        memcpy(w, p, len);
        w += len;
        room -= len;
        p += len;
    }
    *w = 0;
    return dst;
}

/* Whether the characters of find follow at s. */
static int followsAt(const char *s, const char *find)
{
    while (*find) {
        size_t len = strCharBytes(find);
        if (strCharBytes(s) != len || memcmp(s, find, len) != 0)
            return 0;
        s += len;
        find += len;
    }
    return 1;
}

/* Appends len bytes when more than len bytes of room remain. */
static int appendBytes(char **w, size_t *room, const char *bytes, size_t len)
{
    if (*room <= len)
        return 0;
    memcpy(*w, bytes, len);
    *w += len;
    *room -= len;
    return 1;
}

char *ORINAPI StrReplace(const char *src, char *dst, size_t size,
                         const char *find, const char *repl) noexcept
{
    size_t room = size, findLen, replLen;
    char *w = dst;

    if (!src || !dst || !find || !*find) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    findLen = strlen(find);
    if (!repl)
        repl = "";
    replLen = strlen(repl);
    while (*src) {
        if (followsAt(src, find)) {
            /* An empty replacement still needs room for the terminator. */
            if (replLen ? !appendBytes(&w, &room, repl, replLen) : room < 1)
                return NULL;
            src += findLen;
        } else {
            size_t len = strCharBytes(src);
            if (!appendBytes(&w, &room, src, len))
                return NULL;
            src += len;
        }
    }
    if (room < 1)
        return NULL;
    *w = 0;
    return dst;
}

/* Writes s with every from replaced by to into out, which may be s itself
 * when no character grows. */
static void replaceInto(char *out, const char *s, USHORT from, USHORT to)
{
    while (*s) {
        size_t len = strCharBytes(s);
        if (strCharValue(s) == from) {
            if (to == 0)
                break;
            out = strPutRaw(out, to);
        } else {
            memmove(out, s, len);
            out += len;
        }
        s += len;
    }
    *out = 0;
}

char *ORINAPI StrReplaceChar(char *s, char *dst, USHORT from, USHORT to) noexcept
{
    size_t grow;
    char *tmp;

    if (!s)
        return dst;
    from = chrNorm(from);
    to = chrNorm(to);
    if (dst) {
        replaceInto(dst, s, from, to);
        return dst;
    }
    grow = chrBytes(to) > chrBytes(from) ? StrCnt(s, from) : 0;
    if (grow == 0) {
        replaceInto(s, s, from, to);
        return s;
    }
    /* Growing in place would overwrite bytes not yet read: build the
     * result aside and copy it back (s has room for one byte per match). */
    tmp = (char *)malloc(strlen(s) + grow + 1);
    if (!tmp) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return NULL;
    }
    replaceInto(tmp, s, from, to);
    strcpy(s, tmp);
    free(tmp);
    return s;
}
