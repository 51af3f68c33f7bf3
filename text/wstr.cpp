/*
 * wstr.cpp - wide strings of 16-bit character values: conversion from and
 * to the narrow form of the same text, and lengths.
 *
 * One unit holds one character exactly as the narrow family's character
 * value (lead byte low, trail byte high), so a wide string is the narrow
 * string with every character one unit long.  The wide twins of the
 * narrow searches, edits, builders and parsers share their templates and
 * live next to them (str_search, str_edit, str_copy, str_replace, str_to);
 * the wide characters are in chr.cpp.
 */
#include <cwchar>
#include "text/strint.h"

using namespace orin::str;

WCHAR *ORINAPI WStrMultiByteToWideChar(WCHAR *out, const char *in) noexcept
{
    if (!out)
        return nullptr;
    WCHAR *w = out;
    if (in)
        for (; *in; in += charBytes(in))
            *w++ = charValue(in);
    *w = 0;
    return out;
}

char *ORINAPI WStrWideCharToMultiByte(char *out, const WCHAR *in) noexcept
{
    if (!out)
        return nullptr;
    char *w = out;
    if (in)
        for (; *in; in++)
            w = putRaw(w, norm(*in));
    *w = 0;
    return out;
}

size_t ORINAPI WStrCLen(const WCHAR *s) noexcept
{
    return s ? std::wcslen(s) : 0;
}

size_t ORINAPI WStrLen(const WCHAR *s) noexcept
{
    return WStrCLen(s) * sizeof(WCHAR);
}
