/*
 * str_format.cpp - formatting into narrow strings and the real conversion
 * to and from UTF-16 in the ANSI code page.
 *
 * Formatting goes to the C run time's own formatter, which follows the
 * numeric locale that KnlInitCP sets (a point as decimal separator
 * whatever the user's locale).  The bounded forms count a result that
 * fills the buffer exactly as not fitting: it has no room for its
 * terminator.
 */
#include <climits>
#include <cstdio>
#include "text/strint.h"

int ORINAPI StrVSprintf(char *buf, const char *fmt, va_list ap) noexcept
{
    if (!buf || !fmt)
        return 0;
    return _vsnprintf(buf, INT_MAX, fmt, ap);
}

int __cdecl StrSprintf(char *buf, const char *fmt, ...) noexcept
{
    va_list ap;
    va_start(ap, fmt);
    int n = StrVSprintf(buf, fmt, ap);
    va_end(ap);
    return n;
}

USHORT ORINAPI StrVSNprintf(char *buf, size_t size, const char *fmt, va_list ap) noexcept
{
    if (!buf || !fmt || size == 0)
        return STR_ERR_FORMAT;
    if (size > INT_MAX)
        size = INT_MAX;
    int n = _vsnprintf(buf, size, fmt, ap);
    if (n < 0 || static_cast<size_t>(n) >= size || n >= STR_ERR_FORMAT)
        return STR_ERR_FORMAT;
    return static_cast<USHORT>(n);
}

USHORT __cdecl StrSNprintf(char *buf, size_t size, const char *fmt, ...) noexcept
{
    va_list ap;
    va_start(ap, fmt);
    USHORT n = StrVSNprintf(buf, size, fmt, ap);
    va_end(ap);
    if (buf && size)
        buf[size - 1] = 0;
    return n;
}

int ORINAPI StrWideCharToMultiByte(const WCHAR *src, char *dst, int size) noexcept
{
    if (!src)
        return 0;
    return WideCharToMultiByte(CP_ACP, 0, src, -1, dst, dst ? size : 0, nullptr, nullptr);
}

int ORINAPI StrMultiByteToWideChar(const char *src, WCHAR *dst, int size) noexcept
{
    if (!src)
        return 0;
    return MultiByteToWideChar(CP_ACP, 0, src, -1, dst, dst ? size : 0);
}
