/*
 * brd_compare.cpp - comparing a field's value with a value in memory.
 *
 * The result is 0 (equal), 1 (stored value greater) or 65535 (smaller),
 * from the bytes both have in common; when those are equal the lengths
 * decide, except that in prefix mode a given value that is a prefix of the
 * stored one counts as equal.  Only the first 260 bytes of a stored value
 * take part.  A value "[path]" compares the field with that disk file.
 */
#include "archive/arcint.h"

#include <algorithm>
#include <cstring>

#include "frame/boundary.h"

namespace orin::arc {

constexpr USHORT kGreater = 1;
constexpr USHORT kSmaller = 0xFFFF;

USHORT compareBytes(const void *stored, ULONG storedLength, const void *given, ULONG givenLength,
                    USHORT mode) noexcept
{
    ULONG common = std::min(storedLength, givenLength);
    int c = common ? memcmp(stored, given, common) : 0;
    if (c != 0)
        return c > 0 ? kGreater : kSmaller;
    if (storedLength == givenLength)
        return 0;
    if (mode == BRD_COMPARE_PREFIX)
        return givenLength < storedLength ? 0 : kSmaller;
    return storedLength > givenLength ? kGreater : kSmaller;
}

}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrdFldCompare(BrdDocument *document, const char *name, const void *value,
                             ULONG length, USHORT mode, USHORT *result) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (name == nullptr || result == nullptr || (value == nullptr && length != 0))
        return ORIN_ERR_INVALID_PARAM;
    if (findField(*d, name, 0, nullptr) != 0)
        return BRC_ERR_NO_FIELD;
    return guardCode([&]() -> USHORT {
        std::string path;
        if (length && isFileReference(value, length, &path))
            return BrdFldCompareWithDisk(d, name, path.c_str(), 0, result);
        std::string_view given = length ? stripQuotes(value, length) : std::string_view();
        char stored[kFieldValueSlice];
        ULONG storedLength = 0;
        USHORT rc = readFieldValue(*d, name, stored, sizeof stored, &storedLength);
        if (rc && rc != ORIN_ERR_BUFFER_TOO_SMALL)
            return rc;
        *result = compareBytes(stored, storedLength, given.data(), ULONG(given.size()), mode);
        return 0;
    });
}
