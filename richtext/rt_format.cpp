/*
 * rt_format.cpp - formatting into rich-text strings: the format string
 * uses the caret convention of the stored form ("^b1;" switches bold on,
 * "^^" is a literal caret), is turned into the in-memory form first and
 * then formatted by the Str family's formatter, so results and return
 * values are those of StrSprintf and its twins.  Arguments are inserted
 * as they are (a %s argument is taken in its in-memory form).
 *
 * Also here: the codes that restore a formatting state, which the
 * painting layer writes in front of each continuation line.
 */
#include <cstdio>
#include "richtext/rtint.h"

namespace orin::rt {
namespace {

/* The format with its carets turned into escape bytes; false when memory
 * ran out. */
bool inMemoryFormat(const char *fmt, std::string &out) noexcept
{
    try {
        appendFromStoreForm(out, fmt);
        return true;
    } catch (...) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return false;
    }
}

/* The number of the three-way codes (underline, position): 0, 1, or 2
 * for the second bit. */
unsigned choiceNumber(USHORT word, USHORT first, USHORT second) noexcept
{
    return (word & second) ? 2 : (word & first) ? 1 : 0;
}

}  // namespace

std::string restoreCodes(const Format &f)
{
    char buf[96];
    int n = std::snprintf(buf, sizeof buf, "%cf%u;%cc%u;%cb%u;%cu%u;%ci%u;%cs%u;%cp%u;",
                          kEscape, static_cast<unsigned>(f.font()),
                          kEscape, static_cast<unsigned>(f.color),
                          kEscape, (f.word & RT_FMT_BOLD) ? 1u : 0u,
                          kEscape, choiceNumber(f.word, RT_FMT_UNDERLINE, RT_FMT_DUNDERLINE),
                          kEscape, (f.word & RT_FMT_ITALIC) ? 1u : 0u,
                          kEscape, (f.word & RT_FMT_STRIKEOUT) ? 1u : 0u,
                          kEscape, choiceNumber(f.word, RT_FMT_SMALL, RT_FMT_RAISED));
    return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

int ORINAPI RtStrVSprintf(char *buf, const char *fmt, va_list ap) noexcept
{
    if (!buf || !fmt) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return 0;
    }
    std::string format;
    if (!inMemoryFormat(fmt, format))
        return -1;
    return StrVSprintf(buf, format.c_str(), ap);
}

int __cdecl RtStrSprintf(char *buf, const char *fmt, ...) noexcept
{
    va_list ap;
    va_start(ap, fmt);
    int n = RtStrVSprintf(buf, fmt, ap);
    va_end(ap);
    return n;
}

USHORT ORINAPI RtStrVSNprintf(char *buf, size_t size, const char *fmt, va_list ap) noexcept
{
    if (!buf || !fmt || size == 0)
        return RT_ERR_FORMAT;
    std::string format;
    if (!inMemoryFormat(fmt, format))
        return RT_ERR_FORMAT;
    return StrVSNprintf(buf, size, format.c_str(), ap);
}

USHORT __cdecl RtStrSNprintf(char *buf, size_t size, const char *fmt, ...) noexcept
{
    va_list ap;
    va_start(ap, fmt);
    USHORT n = RtStrVSNprintf(buf, size, fmt, ap);
    va_end(ap);
    if (buf && size)
        buf[size - 1] = 0;
    return n;
}
