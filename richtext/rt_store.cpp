/*
 * rt_store.cpp - the stored form of rich-text strings, alone
 * (RtStrMakeStore, RtStrRetrieveStore) and behind the context text of its
 * fonts (RtMakeRtTxt, RtSplitRtTxt).
 *
 * In the stored form the escape byte is '^' and a literal '^' is "^^".
 * Both directions step over double-byte characters, whose trail byte may
 * be a '^' that is copied as it is.  A rich text with context is the
 * context text ("name,size;" per font) followed directly by the stored
 * string; reading it back takes the text before the first '^' as context
 * text only when its last non-blank character is ';'.
 */
#include <cstdlib>
#include <cstring>
#include "richtext/rtint.h"

namespace orin::rt {

namespace {

constexpr std::size_t kRoomForCarets = 64;   // growth the stored form usually needs

/* Bytes from p on that both forms copy unchanged: up to the next '^' or
 * escape byte that is a character of its own, or the terminator. */
std::size_t plainBytes(const char *p) noexcept
{
    const char *q = p;
    if (!knlDbcsEnabled) {
        while (*q && *q != kCaret && *q != kEscape)
            q++;
        return static_cast<std::size_t>(q - p);
    }
    while (*q && !((*q == kCaret || *q == kEscape) && str::charBytes(q) == 1))
        q += str::charBytes(q);
    return static_cast<std::size_t>(q - p);
}

}  // namespace

void appendStoreForm(std::string &out, const char *s)
{
    out.reserve(out.size() + std::strlen(s) + kRoomForCarets);
    for (;;) {
        std::size_t plain = plainBytes(s);
        out.append(s, plain);
        s += plain;
        if (*s == kEscape)
            out += kCaret;
        else if (*s == kCaret)
            out.append(2, kCaret);
        else
            return;
        s++;
    }
}

namespace {

bool isEscapeUnit(const char *p) noexcept
{
    return (*p == kCaret || *p == kEscape) && str::charBytes(p) == 1;
}

/* Blank for the context test: blanks, tabs and line ends. */
bool isBlank(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/* Where the context text before the first caret ends (just behind its
 * last ';'), or null when the text holds no context text. */
const char *contextTextEnd(const char *text, const char *caret) noexcept
{
    const char *end = caret;
    while (end > text && isBlank(end[-1]))
        end--;
    return end > text && end[-1] == kNumberEnd ? end : nullptr;
}

/* A heap copy of s (null when memory runs out). */
char *heapString(const std::string &s) noexcept
{
    return heapCopy(s.data(), s.size());
}

}  // namespace

void appendFromStoreForm(std::string &out, const char *stored)
{
    out.reserve(out.size() + std::strlen(stored));
    for (;;) {
        std::size_t plain = plainBytes(stored);
        out.append(stored, plain);
        stored += plain;
        if (!*stored)
            return;
        // Invariant: plainBytes stopped at a '^' or escape byte of its own.
        bool pair = isEscapeUnit(stored + 1);
        out += pair ? kCaret : kEscape;
        stored += pair ? 2 : 1;
    }
}

}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

char *ORINAPI RtStrMakeStore(const char *s, ULONG *length) noexcept
{
    if (length)
        *length = 0;
    if (!s)
        return fail(ORIN_ERR_INVALID_PARAM);
    try {
        std::string stored;
        appendStoreForm(stored, s);
        char *out = heapString(stored);
        if (out && length)
            *length = static_cast<ULONG>(stored.size());
        return out;
    } catch (...) {
        return fail(ORIN_ERR_NO_MEMORY);
    }
}

char *ORINAPI RtStrRetrieveStore(const char *stored) noexcept
{
    if (!stored)
        return fail(ORIN_ERR_INVALID_PARAM);
    try {
        std::string s;
        appendFromStoreForm(s, stored);
        return heapString(s);
    } catch (...) {
        return fail(ORIN_ERR_NO_MEMORY);
    }
}

ULONG ORINAPI RtMakeRtTxt(PRTCONTEXT ctx, const char *s, char **text) noexcept
{
    if (text)
        *text = nullptr;
    if (!s || !text) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return 0;
    }
    const Context *c = nullptr;
    if (ctx && !(c = liveContext(ctx)))
        return 0;
    try {
        std::string out = c ? contextText(*c) : std::string();
        appendStoreForm(out, s);
        *text = heapString(out);
        return *text ? static_cast<ULONG>(out.size() + 1) : 0;
    } catch (...) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return 0;
    }
}

USHORT ORINAPI RtSplitRtTxt(const char *text, PRTCONTEXT *ctx, char **s) noexcept
{
    if (ctx)
        *ctx = nullptr;
    if (s)
        *s = nullptr;
    if (!text || !ctx || !s) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return 0;
    }
    const char *caret = StrChr(text, static_cast<BYTE>(kCaret));
    const char *end = caret ? contextTextEnd(text, caret) : nullptr;
    try {
        std::string contextPart = end ? std::string(text, end) : std::string();
        UniqueMalloc<char> rich(end ? RtStrRetrieveStore(caret) : RtStrDup(text));
        if (!rich)
            return 0;
        PRTCONTEXT made = RtStrRetrieveContext(contextPart.c_str());
        if (!made)
            return 0;
        *ctx = made;
        *s = rich.release();
        return 1;
    } catch (...) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return 0;
    }
}
