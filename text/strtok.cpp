/*
 * strtok.cpp - the reentrant tokenizer: each handle owns a copy of its text
 * and a position in it, so any number of texts can be split at once (each
 * handle by one thread at a time).
 *
 * StrTokGet skips a run of delimiters, takes the token up to the next
 * delimiter character and terminates it there (over the delimiter's first
 * byte).  When the text ends inside the token, or right behind its
 * delimiter, the position becomes null and the next call answers null.
 * Delimiters are compared as characters, so a trail byte never splits.
 *
 * The records live in a handle pool: a handle that is not a live
 * tokenizer (made up, of another family, or closed) is refused with 87
 * (invalid parameter) in the last error, without reading through it.
 */
#include <string>
#include "frame/boundary.h"
#include "frame/handle_pool.h"
#include "text/strint.h"
#include "strlst.h"

struct _STRTOKEN {
    explicit _STRTOKEN(const char *t) : text(t), pos(text.data()) {}

    std::string text;           // the owned copy, split in place
    char *pos;                  // where the next token search starts; null when done
};

namespace orin::str {
namespace {

constinit HandlePool<_STRTOKEN> tokenizers;

_STRTOKEN *liveTokenizer(HSTRTOK tok) noexcept
{
    return liveRecord(tokenizers, tok);
}

/* The token at the position (see the head of the file). */
char *nextToken(_STRTOKEN &t, const char *delims) noexcept
{
    char *p = t.pos;
    while (*p && setHas(delims, charValue(p)))
        p += charBytes(p);
    char *start = p;
    while (*p && !setHas(delims, charValue(p)))
        p += charBytes(p);
    if (!*p) {
        t.pos = nullptr;
        return start;
    }
    t.pos = p + charBytes(p);
    *p = 0;
    if (!*t.pos)
        t.pos = nullptr;
    return start;
}

}  // namespace
}  // namespace orin::str

using namespace orin::str;

HSTRTOK ORINAPI StrTokOpen(const char *text) noexcept
{
    if (!text) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    return orin::guardValue<HSTRTOK>(nullptr, [text] { return tokenizers.make(text).release(); });
}

char *ORINAPI StrTokGet(HSTRTOK tok, const char *delims) noexcept
{
    _STRTOKEN *t = liveTokenizer(tok);
    if (!t || !t->pos)
        return nullptr;
    return nextToken(*t, delims);
}

void ORINAPI StrTokClose(HSTRTOK tok) noexcept
{
    if (_STRTOKEN *t = liveTokenizer(tok))
        tokenizers.destroy(t);
}
