/*
 * strlst.cpp - string lists: several zero-terminated strings in one heap
 * block, closed by an empty string.
 *
 * A list is the caller's: a block of the run-time heap that the caller
 * releases with free(), so the blocks made here come from malloc.  Every
 * operation first walks the list once to learn its string count and byte
 * size (strings, their terminators and the closing zero byte).  A change of
 * size builds a new block from the pieces before and after the changed
 * string and frees the old block only once the new one exists, so a failed
 * call leaves the caller's list as it was.  Sizes and counts are 16-bit: a
 * change that would pass 65,535 bytes or strings fails with
 * ORIN_ERR_INVALID_PARAM.
 */
#include <cstdlib>
#include <vector>
#include "frame/scope.h"
#include "text/strint.h"
#include "strlst.h"

namespace orin::str {
namespace {

constexpr std::size_t kListEnd = 1;         // the closing zero byte
constexpr std::size_t kMaxStrings = 0xFFFF;

using Block = UniqueMalloc<char>;

/* The string behind s in a list. */
const char *nextString(const char *s) noexcept
{
    return s + std::strlen(s) + 1;
}

struct ListShape {
    std::size_t count = 0;                  // strings in the list
    std::size_t bytes = kListEnd;           // block bytes in use, closing byte included
};

ListShape listShape(const char *list) noexcept
{
    ListShape sh;
    for (const char *s = list; *s; s = nextString(s)) {
        sh.count++;
        sh.bytes += std::strlen(s) + 1;
    }
    return sh;
}

/* Start of string n (1-based), or null when the list is shorter. */
char *stringNr(const char *list, std::size_t n) noexcept
{
    if (!list || n == 0)
        return nullptr;
    for (const char *s = list; *s; s = nextString(s))
        if (--n == 0)
            return const_cast<char *>(s);
    return nullptr;
}

/* A new block of the given size, or null with the last error set. */
Block allocList(std::size_t bytes, std::size_t count) noexcept
{
    if (bytes > STRLST_MAX_BYTES || count > kMaxStrings) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    Block block(static_cast<char *>(std::malloc(bytes)));
    if (!block)
        SetLastError(ORIN_ERR_NO_MEMORY);
    return block;
}

char *emptyList() noexcept
{
    Block block = allocList(kListEnd, 0);
    if (block)
        block.get()[0] = 0;
    return block.release();
}

/* Hands the new block out in place of the old list, which is freed. */
char *replaceList(char *old, Block block) noexcept
{
    std::free(old);
    return block.release();
}

/* Builds a new block from list with the len bytes at cut replaced by the
 * string s (s null: the bytes are dropped). */
Block splice(const char *list, ListShape sh, const char *cut, std::size_t len,
             const char *s, std::size_t count) noexcept
{
    std::size_t before = static_cast<std::size_t>(cut - list), add = s ? std::strlen(s) + 1 : 0;
    std::size_t after = sh.bytes - before - len;
    Block block = allocList(sh.bytes - len + add, count);
    if (!block)
        return nullptr;
    std::memcpy(block.get(), list, before);
    if (s)
        std::memcpy(block.get() + before, s, add);
    std::memcpy(block.get() + before + add, cut + len, after);
    return block;
}

int __cdecl compareBytes(const void *a, const void *b)
{
    return std::strcmp(*static_cast<const char *const *>(a), *static_cast<const char *const *>(b));
}

int __cdecl compareNoCase(const void *a, const void *b)
{
    return _stricmp(*static_cast<const char *const *>(a), *static_cast<const char *const *>(b));
}

/* The strings of list in sorted order as a new block (sh.count >= 2).
 * Throws std::bad_alloc when the order cannot be kept. */
Block sortedCopy(const char *list, ListShape sh, bool caseSensitive)
{
    std::vector<const char *> order;
    order.reserve(sh.count);
    for (const char *s = list; *s; s = nextString(s))
        order.push_back(s);
    KnlQSort(order.data(), order.size(), sizeof order[0],
             caseSensitive ? compareBytes : compareNoCase);
    Block block(static_cast<char *>(std::malloc(sh.bytes)));
    if (!block)
        return nullptr;
    char *w = block.get();
    for (const char *s : order) {
        std::size_t len = std::strlen(s) + 1;
        std::memcpy(w, s, len);
        w += len;
    }
    *w = 0;
    return block;
}

}  // namespace
}  // namespace orin::str

using namespace orin::str;

/* Every separator character becomes a terminator. */
char *ORINAPI StrLstCreateList(const char *text, USHORT separator) noexcept
{
    if (!text) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    separator = norm(separator);
    Block block = allocList(std::strlen(text) + 2 * kListEnd, 0);
    if (!block)
        return nullptr;
    char *w = block.get();
    for (; *text; text += charBytes(text)) {
        std::size_t len = charBytes(text);
        if (charValue(text) == separator) {
            *w++ = 0;
        } else {
            std::memcpy(w, text, len);
            w += len;
        }
    }
    w[0] = 0;                   // ends the last string
    w[1] = 0;                   // closes the list
    return block.release();
}

char *ORINAPI StrLstAddString(char *list, const char *s) noexcept
{
    if (!s || !*s)
        return list ? list : emptyList();
    if (!list || !*list) {
        std::size_t len = std::strlen(s) + 1;
        Block block = allocList(len + kListEnd, 1);
        if (!block)
            return nullptr;
        std::memcpy(block.get(), s, len);
        block.get()[len] = 0;
        return replaceList(list, std::move(block));
    }
    ListShape sh = listShape(list);
    Block block = splice(list, sh, list + sh.bytes - kListEnd, 0, s, sh.count + 1);
    return block ? replaceList(list, std::move(block)) : nullptr;
}

/* In place when the new string is as long as the old one. */
char *ORINAPI StrLstChangeString(char *list, const char *s, USHORT n) noexcept
{
    if (!list || !s) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    if (!*s)
        return list;
    char *old = stringNr(list, n);
    if (!old) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    std::size_t oldLen = std::strlen(old);
    if (oldLen == std::strlen(s)) {
        std::memcpy(old, s, oldLen);
        return list;
    }
    Block block = splice(list, listShape(list), old, oldLen + 1, s, 0);
    return block ? replaceList(list, std::move(block)) : nullptr;
}

char *ORINAPI StrLstDeleteString(char *list, USHORT n) noexcept
{
    char *old = stringNr(list, n);
    if (!old) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    Block block = splice(list, listShape(list), old, std::strlen(old) + 1, nullptr, 0);
    return block ? replaceList(list, std::move(block)) : nullptr;
}

USHORT ORINAPI StrLstFindString(const char *list, const char *s, USHORT caseSensitive) noexcept
{
    if (!list || !s)
        return 0;
    USHORT n = 0;
    for (const char *p = list; *p; p = nextString(p)) {
        n++;
        if ((caseSensitive ? std::strcmp(p, s) : _stricmp(p, s)) == 0)
            return n;
    }
    return 0;
}

char *ORINAPI StrLstGetStringNrPtr(const char *list, USHORT n) noexcept
{
    return stringNr(list, n);
}

/* The size of an empty (or null) list is 0, not the closing byte. */
USHORT ORINAPI StrLstGetListInfo(const char *list, USHORT *size) noexcept
{
    ListShape sh{0, 0};
    if (list && *list)
        sh = listShape(list);
    if (size)
        *size = static_cast<USHORT>(sh.bytes);
    return static_cast<USHORT>(sh.count);
}

/* Sorts the string addresses and writes the strings into a new block in
 * that order; on any allocation failure the list is returned unchanged. */
char *ORINAPI StrLstSort(char *list, USHORT caseSensitive) noexcept
{
    if (!list)
        return nullptr;
    ListShape sh = listShape(list);
    if (sh.count < 2)
        return list;
    try {
        Block block = sortedCopy(list, sh, caseSensitive != 0);
        return block ? replaceList(list, std::move(block)) : list;
    } catch (...) {             // the order array could not be made
        return list;
    }
}
