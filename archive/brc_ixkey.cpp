/*
 * brc_ixkey.cpp - index keys and display lines built from a document's
 * field values.
 *
 * Each segment takes its width (its length, or what is left of the
 * output) and holds the raw stored bytes of the field, at most 260 of
 * them, cut to the width and padded: R pads before the value, C half
 * (rounded down) before and the rest after, L after.  Index keys pad with
 * zero bytes and fill the key length whole; display lines pad with spaces
 * and end with a zero byte.  A missing field reads as an empty value,
 * except that an index key with a required (N) segment for it does not
 * exist at all (65535): such a document stays out of the index.
 */
#include "archive/brc_ixint.h"

#include <algorithm>
#include <cstring>

#include "frame/scope.h"

namespace orin::arc::ix {
namespace {

constexpr BYTE kKeyPad = 0;
constexpr BYTE kLinePad = ' ';

/* Up to `size` bytes of the field's value; a value that cannot be read
 * is empty. */
ULONG readValue(BrdDocument &d, std::string_view name, BYTE *value, ULONG size) noexcept
{
    char field[BRC_FIELD_NAME_MAX + 1] = {};
    std::memcpy(field, name.data(), std::min(name.size(), size_t(BRC_FIELD_NAME_MAX)));
    ULONG got = 0;
    USHORT rc = readFieldValue(d, field, value, size, &got);
    if (rc != 0 && rc != ORIN_ERR_BUFFER_TOO_SMALL)
        return 0;
    return std::min(got, size);
}

void place(BYTE *out, size_t width, const BYTE *value, size_t length, USHORT flags, BYTE pad)
{
    length = std::min(length, width);
    size_t padding = width - length, before = 0;
    if (flags & BRC_SEG_RIGHT)
        before = padding;
    else if (flags & BRC_SEG_CENTER)
        before = padding / 2;
    std::memset(out, pad, before);
    std::memcpy(out + before, value, length);
    std::memset(out + before + length, pad, padding - before);
}

}  // namespace

USHORT buildKey(BrdDocument &document, std::span<const BrcIxSegment> segments, bool forIndex,
                BYTE *buffer, USHORT length) noexcept
{
    if (forIndex && length == 0)
        return 0;   // the first segment's width is 0: an empty key
    if (buffer == nullptr || (!forIndex && length == 0))
        return ORIN_ERR_INVALID_PARAM;
    const size_t space = forIndex ? length : length - 1u;
    const BYTE pad = forIndex ? kKeyPad : kLinePad;
    size_t at = 0;
    for (const BrcIxSegment &s : segments) {
        size_t width = std::min(size_t(s.length), space - at);
        if (width == 0)
            break;
        std::string_view name = segmentName(s);
        BYTE value[kFieldValueSlice];
        ULONG got = 0;
        if (hasField(document, name))
            got = readValue(document, name, value, ULONG(std::min(width, sizeof value)));
        else if (forIndex && (s.flags & BRC_SEG_REQUIRED))
            return BRC_ERR_GENERAL;
        place(buffer + at, width, value, got, s.flags, pad);
        at += width;
    }
    if (forIndex)
        std::memset(buffer + at, kKeyPad, length - at);
    else
        buffer[at] = 0;
    return 0;
}

USHORT entryKey(BrdDocument &document, const BrcIndexEntry &entry, BYTE *buffer) noexcept
{
    return buildKey(document, entry.segments, true, buffer, entry.keyLength);
}

USHORT entryKeyOf(BrcArchive &archive, const BrcIndexEntry &entry, USHORT number,
                  BYTE *buffer) noexcept
{
    BrdDocument *document = nullptr;
    USHORT rc = BrdOpenDocument(&archive, &document, number, FALSE);
    if (rc)
        return rc;
    auto close = scopeExit([&] { BrdCloseDocument(document); });
    return entryKey(*document, entry, buffer);
}

}  // namespace orin::arc::ix

using namespace orin::arc;
using namespace orin::arc::ix;

USHORT ORINAPI BrcIxVwQueryKeyFromDoc(BrdDocument *document, const BrcIxSegment *segments,
                                      USHORT count, BOOL forIndex, void *buffer,
                                      USHORT bufferLength) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (segments == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    return buildKey(*d, std::span<const BrcIxSegment>(segments, count), forIndex != FALSE,
                    static_cast<BYTE *>(buffer), bufferLength);
}

USHORT ORINAPI BrcIxQueryKeyFromDocNr(BrcArchive *archive, BrcIndexEntry *entry, USHORT number,
                                      void *buffer) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    BrcIndexEntry *e = resolveEntry(*a, entry);
    if (e == nullptr)
        return BRC_ERR_GENERAL;
    if (buffer == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return entryKeyOf(*a, *e, number, static_cast<BYTE *>(buffer));
}
