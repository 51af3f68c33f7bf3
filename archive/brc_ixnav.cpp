/*
 * brc_ixnav.cpp - walking an archive index in key order, the queries on an
 * open entry, and raw Ixd handles on an index's tree for sharing callers.
 *
 * A null entry stands for the archive's default index.  Steps from a
 * document start at its pair (its current key and its number); a step
 * that runs past an end stops on the boundary pair - the first stepping
 * back, the last stepping on - and reports 57552 with that document.
 */
#include "archive/brc_ixint.h"

#include <new>
#include <vector>

namespace orin::arc::ix {
namespace {

constexpr USHORT kNoDocument = 0xFFFF;

using EdgeCall = USHORT(ORINAPI *)(PIX, void *, ULONG *, ULONG *);

USHORT edge(BrcArchive *archive, BrcIndexEntry *entry, USHORT *number, EdgeCall call)
{
    if (number == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *number = kNoDocument;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    BrcIndexEntry *e = resolveEntry(*a, entry);
    if (e == nullptr)
        return BRC_ERR_GENERAL;
    ULONG record = 0, error = 0;
    if (call(e->ix, nullptr, &record, &error) != 0)
        return error ? USHORT(error) : BRC_ERR_GENERAL;
    *number = USHORT(record);
    return 0;
}

/* Positions the entry's tree on document `number`'s pair. */
USHORT seekDocument(BrcArchive &a, BrcIndexEntry &e, USHORT number)
{
    std::vector<BYTE> key(e.newKey.size());
    if (entryKeyOf(a, e, number, key.data()) != 0)
        return BRC_ERR_NO_DOC;
    ULONG found = 0, error = 0;
    if (IxdSearchID(e.ix, key.data(), number, nullptr, &found, &error) != 0)
        return error ? USHORT(error) : BRC_ERR_GENERAL;
    return 0;
}

/* Opens the tree of index `number` (segments as stored) for a caller. */
USHORT openRaw(BrcArchive &a, USHORT number, const Segments &segments, PIX *ix)
{
    ULONG keyLength = keyLengthOf(segments);
    if (keyLength > kMaxKeyLength)
        return BRC_ERR_DEFINITION;
    ULONG error = 0;
    const ULONG kShared = 1;
    *ix = IxdOpen(treeName(a, number).c_str(), USHORT(keyLength), kShared, a.prfFileFuncs, &error);
    return USHORT(error);
}

}  // namespace
}  // namespace orin::arc::ix

using namespace orin::arc;
using namespace orin::arc::ix;

ULONG ORINAPI BrcIxQueryNrKeys(BrcArchive *archive, BrcIndexEntry *entry) noexcept
{
    BrcArchive *a = liveArchive(archive);
    BrcIndexEntry *e = a != nullptr ? resolveEntry(*a, entry) : nullptr;
    ULONG count = 0, error = 0;
    if (e == nullptr || IxdQueryNrKeys(e->ix, &count, &error) != 0)
        return 0;
    return count;
}

USHORT ORINAPI BrcIxFirst(BrcArchive *archive, BrcIndexEntry *entry, USHORT *number) noexcept
{
    return edge(archive, entry, number, IxdFirst);
}

USHORT ORINAPI BrcIxLast(BrcArchive *archive, BrcIndexEntry *entry, USHORT *number) noexcept
{
    return edge(archive, entry, number, IxdLast);
}

USHORT ORINAPI BrcIxNextPrev(BrcArchive *archive, BrcIndexEntry *entry, USHORT number, SHORT steps,
                             USHORT *reached) noexcept
{
    if (reached == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *reached = kNoDocument;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    BrcIndexEntry *e = resolveEntry(*a, entry);
    if (e == nullptr)
        return BRC_ERR_GENERAL;
    try {
        USHORT rc = seekDocument(*a, *e, number);
        if (rc)
            return rc;
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
    ULONG record = 0, error = 0;
    if (IxdSkipkey(e->ix, steps, nullptr, &record, &error) == 0) {
        *reached = USHORT(record);
        return USHORT(error);   // 0, or 57553 when the pair had gone meanwhile
    }
    if (error != IXD_ERR_NOT_FOUND)
        return error ? USHORT(error) : BRC_ERR_GENERAL;
    ULONG boundaryError = 0;
    USHORT rc = steps < 0 ? IxdFirst(e->ix, nullptr, &record, &boundaryError)
                          : IxdLast(e->ix, nullptr, &record, &boundaryError);
    if (rc != 0)
        return boundaryError ? USHORT(boundaryError) : BRC_ERR_GENERAL;
    *reached = USHORT(record);
    return IXD_ERR_NOT_FOUND;
}

USHORT ORINAPI BrcIxQueryNumber(BrcArchive *archive, BrcIndexEntry *entry) noexcept
{
    BrcArchive *a = liveArchive(archive);
    BrcIndexEntry *e = a != nullptr ? resolveEntry(*a, entry) : nullptr;
    return e != nullptr ? e->number : kNoNumber;
}

USHORT ORINAPI BrcIxQueryKeyLength(BrcArchive *archive, BrcIndexEntry *entry) noexcept
{
    BrcArchive *a = liveArchive(archive);
    BrcIndexEntry *e = a != nullptr ? resolveEntry(*a, entry) : nullptr;
    return e != nullptr ? e->keyLength : 0;
}

USHORT ORINAPI BrcOpenHixNr(BrcArchive *archive, USHORT number, PIX *ix) noexcept
{
    if (ix == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *ix = nullptr;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (!a->shared())
        return ORIN_ERR_ACCESS_DENIED;
    try {
        Segments stored;
        USHORT rc = readDefinition(*a, number, &stored);
        return rc ? rc : openRaw(*a, number, stored, ix);
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}

USHORT ORINAPI BrcOpenHixStr(BrcArchive *archive, const char *text, PIX *ix) noexcept
{
    if (ix == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *ix = nullptr;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (!a->shared())
        return ORIN_ERR_ACCESS_DENIED;
    if (text == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    try {
        Segments wanted;
        USHORT number = kNoNumber;
        USHORT rc = parseDefinition(text, &wanted);
        if (rc == 0)
            rc = findDefinition(*a, wanted, &number);
        return rc ? rc : openRaw(*a, number, wanted, ix);
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}
