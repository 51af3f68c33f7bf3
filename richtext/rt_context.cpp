/*
 * rt_context.cpp - contexts: the font tables whose entries the f code of a
 * rich-text string selects, and their text form.
 *
 * A context lives in a handle pool, so a null, destroyed or made-up
 * handle is refused without reading through it.  The table holds at most
 * 256 entries; a face name is copied whole when added and cut to 39 bytes
 * (never inside a double-byte character) when read from context text.
 * Context text is "name,size;" per entry; reading it stops when only
 * blanks are left.
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "richtext/rtint.h"

namespace orin::rt {
namespace {

HandlePool<Context> contexts;

constexpr char kNameEnd = ',';

PRTCONTEXT handleOf(Context *c) noexcept
{
    return reinterpret_cast<PRTCONTEXT>(c);
}

/* The byte count of at most max bytes of s that ends on a character
 * boundary. */
std::size_t wholeCharsWithin(const char *s, std::size_t bytes, std::size_t max) noexcept
{
    std::size_t n = 0;
    while (n < bytes) {
        std::size_t len = str::charBytes(s + n);
        if (n + len > max || n + len > bytes)
            break;
        n += len;
    }
    return n;
}

bool onlyBlanks(const char *p) noexcept
{
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
        p++;
    return *p == 0;
}

/* Reads one "name,size;" entry at p into c (unless full); returns the
 * position behind it. */
const char *readEntry(Context &c, const char *p)
{
    const char *comma = StrChr(p, static_cast<BYTE>(kNameEnd));
    std::size_t nameBytes = comma ? static_cast<std::size_t>(comma - p) : std::strlen(p);
    std::size_t kept = wholeCharsWithin(p, nameBytes, kFaceBytesRead);
    const char *q = p + nameBytes;
    SHORT size = 0;
    if (*q == kNameEnd) {
        q++;
        size = StrToShort(q);
        const char *semi = StrChr(q, static_cast<BYTE>(kNumberEnd));
        q = semi ? semi + 1 : q + std::strlen(q);
    }
    if (c.entries.size() < RT_CONTEXT_CAPACITY) {
        UniqueMalloc<char> face(heapCopy(p, kept));
        if (!face)
            throw std::bad_alloc();
        c.entries.push_back(ContextEntry{std::move(face), size});
    }
    return q;
}

}  // namespace

Context *liveContext(PRTCONTEXT ctx) noexcept
{
    if (!ctx)
        return fail(ORIN_ERR_INVALID_PARAM);
    Context *c = contexts.get(ctx);
    return c ? c : fail(ORIN_ERR_INVALID_HANDLE);
}

std::string contextText(const Context &c)
{
    std::string out;
    char size[16];
    for (const ContextEntry &e : c.entries) {
        out += e.face.get();
        std::snprintf(size, sizeof size, ",%d;", static_cast<int>(e.size));
        out += size;
    }
    return out;
}

}  // namespace orin::rt

using namespace orin;
using namespace orin::rt;

PRTCONTEXT ORINAPI RtStrCreateContext(void) noexcept
{
    auto made = contexts.tryMake();
    if (!made)
        return fail(ORIN_ERR_NO_MEMORY);
    try {
        made->entries.reserve(RT_CONTEXT_CAPACITY);
    } catch (...) {
        return fail(ORIN_ERR_NO_MEMORY);
    }
    return handleOf(made.release());
}

void ORINAPI RtStrDestroyContext(PRTCONTEXT ctx) noexcept
{
    if (Context *c = contexts.get(ctx))
        contexts.destroy(c);
}

USHORT ORINAPI RtStrAddContextEntry(PRTCONTEXT ctx, const char *face, SHORT size) noexcept
{
    Context *c = contexts.get(ctx);
    if (!c || !face || c->entries.size() >= RT_CONTEXT_CAPACITY)
        return RT_ERR_CONTEXT;
    UniqueMalloc<char> name(heapCopy(face, std::strlen(face)));
    if (!name)
        return RT_ERR_CONTEXT;
    // Invariant: room was reserved for every entry, so this cannot throw.
    c->entries.push_back(ContextEntry{std::move(name), size});
    return ORIN_OK;
}

USHORT ORINAPI RtStrDeleteContextEntry(PRTCONTEXT ctx, USHORT index) noexcept
{
    Context *c = contexts.get(ctx);
    if (!c || index >= c->entries.size())
        return RT_ERR_CONTEXT;
    c->entries.erase(c->entries.begin() + index);
    return ORIN_OK;
}

USHORT ORINAPI RtStrQueryContextEntry(PRTCONTEXT ctx, USHORT index, const char **face,
                                      SHORT *size) noexcept
{
    Context *c = contexts.get(ctx);
    if (!c || index >= c->entries.size())
        return RT_ERR_CONTEXT;
    if (face)
        *face = c->entries[index].face.get();
    if (size)
        *size = c->entries[index].size;
    return ORIN_OK;
}

char *ORINAPI RtStrStoreContext(PRTCONTEXT ctx) noexcept
{
    Context *c = liveContext(ctx);
    if (!c)
        return nullptr;
    try {
        std::string text = contextText(*c);
        return heapCopy(text.data(), text.size());
    } catch (...) {
        return fail(ORIN_ERR_NO_MEMORY);
    }
}

PRTCONTEXT ORINAPI RtStrRetrieveContext(const char *text) noexcept
{
    if (!text)
        return fail(ORIN_ERR_INVALID_PARAM);
    PRTCONTEXT made = RtStrCreateContext();
    if (!made)
        return nullptr;
    Context *c = contexts.get(made);
    try {
        for (const char *p = text; !onlyBlanks(p);)
            p = readEntry(*c, p);
    } catch (...) {
        RtStrDestroyContext(made);
        return fail(ORIN_ERR_NO_MEMORY);
    }
    return made;
}
