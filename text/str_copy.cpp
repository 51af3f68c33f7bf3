/*
 * str_copy.c - copying, concatenating and filling narrow strings, heap
 * copies in the other code page, formatting, and the real conversion to
 * and from UTF-16.
 *
 * Byte-counted copies (StrNCpy) cut wherever n falls and then drop a
 * dangling lead byte, so a double-byte character is never left half
 * copied.  Character-counted copies (StrCNCpy, StrCNCat) step whole
 * characters.  Formatting goes to the C run time's own formatter, which
 * follows the numeric locale that KnlInitCP sets (a point as decimal
 * separator whatever the user's locale).
 */
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include "text/strint.h"

char *ORINAPI StrNCpy(char *dst, const char *src, size_t n) noexcept
{
    size_t i = 0;
    if (!dst)
        return NULL;
    if (src)
        for (; i < n && src[i]; i++)
            dst[i] = src[i];
    dst[i] = 0;
    StrValidateDBCS(dst);
    return dst;
}

/* Copies at most n whole characters of src to dst and terminates. */
static void copyChars(char *dst, const char *src, size_t n)
{
    if (src)
        for (; n > 0 && *src; n--) {
            size_t len = strCharBytes(src);
            memcpy(dst, src, len);
            dst += len;
            src += len;
        }
    *dst = 0;
}

char *ORINAPI StrCNCpy(char *dst, const char *src, size_t n) noexcept
{
    if (dst)
        copyChars(dst, src, n);
    return dst;
}

char *ORINAPI StrCNCat(char *dst, const char *src, size_t n) noexcept
{
    if (dst)
        copyChars(dst + strlen(dst), src, n);
    return dst;
}

/* Overwrites at most n characters of s: a single-byte character covers n
 * bytes up to the terminator; a double-byte character is written as byte
 * pairs while at least two bytes of the string remain.  Answers 0 when a
 * double-byte fill met an odd byte before the end of s. */
static int fillChars(char *s, USHORT ch, size_t n)
{
    ch = chrNorm(ch);
    if (chrBytes(ch) == 1) {
        for (; n > 0 && *s; n--)
            *s++ = (char)ch;
        return 1;
    }
    for (; n > 0 && *s; n--) {
        if (!s[1])
            return 0;
        s = strPutRaw(s, ch);
    }
    return 1;
}

char *ORINAPI StrCNSet(char *s, USHORT ch, size_t n) noexcept
{
    if (s)
        fillChars(s, ch, n);
    return s;
}

char *ORINAPI StrSet(char *s, USHORT ch) noexcept
{
    if (!s)
        return NULL;
    return fillChars(s, ch, (size_t)-1) ? s : NULL;
}

static char *dupTranslated(const char *s, char *(ORINAPI *translate)(const char *, char *))
{
    char *copy;
    if (!s)
        return NULL;
    copy = (char *)malloc(strlen(s) + 1);
    if (!copy) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return NULL;
    }
    return translate(s, copy);
}

char *ORINAPI StrDupToOem(const char *s) noexcept
{
    return dupTranslated(s, KnlAnsiToOem);
}

char *ORINAPI StrDupToAnsi(const char *s) noexcept
{
    return dupTranslated(s, KnlOemToAnsi);
}

/* The C library's tokenizer with its single hidden state. */
char *ORINAPI StrTok(char *s, const char *delims) noexcept
{
    return strtok(s, delims ? delims : "");
}

/* ---- Formatting -------------------------------------------------------- */

int ORINAPI StrVSprintf(char *buf, const char *fmt, va_list ap) noexcept
{
    if (!buf || !fmt)
        return 0;
    return _vsnprintf(buf, INT_MAX, fmt, ap);
}

int __cdecl StrSprintf(char *buf, const char *fmt, ...) noexcept
{
    va_list ap;
    int n;
    va_start(ap, fmt);
    n = StrVSprintf(buf, fmt, ap);
    va_end(ap);
    return n;
}

/* Writes at most size bytes; a result that fills the buffer exactly has
 * no room for its terminator and counts as not fitting. */
USHORT ORINAPI StrVSNprintf(char *buf, size_t size, const char *fmt, va_list ap) noexcept
{
    int n;
    if (!buf || !fmt || size == 0)
        return STR_ERR_FORMAT;
    if (size > INT_MAX)
        size = INT_MAX;
    n = _vsnprintf(buf, size, fmt, ap);
    if (n < 0 || (size_t)n >= size || n >= STR_ERR_FORMAT)
        return STR_ERR_FORMAT;
    return (USHORT)n;
}

USHORT __cdecl StrSNprintf(char *buf, size_t size, const char *fmt, ...) noexcept
{
    va_list ap;
    USHORT n;
    va_start(ap, fmt);
    n = StrVSNprintf(buf, size, fmt, ap);
    va_end(ap);
    if (buf && size)
        buf[size - 1] = 0;
    return n;
}

/* ---- UTF-16 ------------------------------------------------------------ */

int ORINAPI StrWideCharToMultiByte(const WCHAR *src, char *dst, int size) noexcept
{
    if (!src)
        return 0;
    return WideCharToMultiByte(CP_ACP, 0, src, -1, dst, dst ? size : 0, NULL, NULL);
}

int ORINAPI StrMultiByteToWideChar(const char *src, WCHAR *dst, int size) noexcept
{
    if (!src)
        return 0;
    return MultiByteToWideChar(CP_ACP, 0, src, -1, dst, dst ? size : 0);
}
