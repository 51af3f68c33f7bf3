/*
 * brc_index.cpp - the archive's open indexes: defining an index, opening it
 * by definition or number, counting its uses, closing and deleting it.
 *
 * Each open index has one entry in the archive's table, owned there and
 * never moved, so the pointer a caller holds stays valid until the entry's
 * last use is released; opening an index that is open already only counts
 * one more use.  The tree is an Ixd file inside the profile, in the value
 * "Tree" of the section "Index_<n>", reached through the archive's
 * profile-file back-end and shared (Ixd's own lock) exactly when the
 * archive is.  A tree that does not exist yet is created and built from
 * all documents.  So is, when the archive is open exclusively, a tree
 * refused as inconsistent: its last update never ended (the process was
 * killed, or a write failed), and an unshared tree is marked so from its
 * first change until it closes.  The tree holds nothing the documents do
 * not, and in exclusive mode no other process can be using it, so it is
 * dropped and built anew; shared (another process may be inside an
 * update) or read-only (nothing may be written) the refusal stands.  The
 * first index opened while the archive has no default
 * index becomes the default.
 *
 * Slot numbers are handed out under the header lock: the lowest free
 * "Index_<n>" or NrIndex, which then grows by one.  Deleting the highest
 * slot gives it back.
 */
#include "archive/brc_ixint.h"

#include <algorithm>
#include <new>

#include "frame/scope.h"

namespace orin::arc::ix {
namespace {

constexpr USHORT kMaxUses = 0xFFFF;

BrcIndexEntry *entryNumbered(BrcArchive &a, USHORT number) noexcept
{
    for (const auto &e : a.indexes)
        if (e->number == number)
            return e.get();
    return nullptr;
}

/* The lowest slot whose section does not exist, or `slots`. */
USHORT freeSlot(BrcArchive &a, USHORT slots)
{
    for (USHORT n = 0; n < slots; n++)
        if (!sectionExists(a.profile, indexSection(n).c_str()))
            return n;
    return slots;
}

/* The number of the index with this definition; a new slot holding it
 * when there is none (*defined set).  The look-up runs under the header
 * lock too, so that two sharing processes do not define it twice. */
USHORT findOrDefine(BrcArchive &a, const Segments &segments, USHORT *number, bool *defined)
{
    *defined = false;
    std::string text;
    USHORT rc = formatDefinition(segments, &text);
    if (rc)
        return rc;
    rc = lockHeader(a, true);
    if (rc)
        return rc;
    auto unlock = scopeExit([&] { lockHeader(a, false); });
    rc = findDefinition(a, segments, number);
    if (rc != BRC_ERR_NO_INDEX)
        return rc;
    USHORT slots = 0;
    rc = readHeaderCount(a, kKeyNrIndex, &slots);
    if (rc && rc != ORIN_ERR_NO_KEY)
        return rc;
    USHORT n = freeSlot(a, slots);
    if (n == kNoNumber)
        return ORIN_ERR_GENERAL;           // every slot number is taken
    std::string section = indexSection(n);
    rc = PrfWriteProfileString(a.profile, section.c_str(), kKeyIxFields, text.c_str());
    if (rc == 0 && n == slots) {
        rc = writeHeaderCount(a, kKeyNrIndex, USHORT(slots + 1));
        if (rc)
            PrfDestroySection(a.profile, section.c_str());
    }
    if (rc == 0) {
        *number = n;
        *defined = true;
    }
    return rc;
}

/* Destroys "Index_<n>" and gives the slot back when it was the highest. */
USHORT deleteIndex(BrcArchive &a, USHORT number)
{
    USHORT rc = PrfDestroySection(a.profile, indexSection(number).c_str());
    if (rc)
        return rc;
    USHORT slots = 0;
    if (readHeaderCount(a, kKeyNrIndex, &slots) != 0 || number + 1 != slots)
        return 0;
    if (lockHeader(a, true) != 0)
        return 0;
    auto unlock = scopeExit([&] { lockHeader(a, false); });
    // Another process may have taken a new slot since the first look.
    if (readHeaderCount(a, kKeyNrIndex, &slots) == 0 && number + 1 == slots)
        return writeHeaderCount(a, kKeyNrIndex, number);
    return 0;
}

void takeOut(BrcArchive &a, BrcIndexEntry *entry) noexcept
{
    if (a.defaultIndex == entry)
        a.defaultIndex = nullptr;
    auto &table = a.indexes;
    for (size_t i = 0; i < table.size(); i++)
        if (table[i].get() == entry) {
            std::swap(table[i], table.back());   // the last entry takes its place
            table.pop_back();
            return;
        }
}

/* Drops a tree left inconsistent when the archive is open exclusively;
 * whether it is gone. */
bool dropInconsistentTree(BrcArchive &a, USHORT number)
{
    if (a.shared())
        return false;
    // A read-only profile refuses the write.
    return PrfWriteProfileData(a.profile, indexSection(number).c_str(), kKeyTree, nullptr, 0) == 0;
}

USHORT openTree(BrcArchive &a, BrcIndexEntry &e, bool *created)
{
    std::string name = treeName(a, e.number);
    ULONG error = 0;
    *created = false;
    e.ix = IxdOpen(name.c_str(), e.keyLength, a.openMode, a.prfFileFuncs, &error);
    if (e.ix == nullptr && error == IXD_ERR_BAD_FILE && dropInconsistentTree(a, e.number))
        error = IXD_ERR_OPEN;
    if (e.ix == nullptr && error == IXD_ERR_OPEN) {
        e.ix = IxdCreate(name.c_str(), e.keyLength, a.openMode, 0, 0, a.prfFileFuncs, &error);
        *created = e.ix != nullptr;
    }
    if (e.ix != nullptr)
        return 0;
    return error ? USHORT(error) : ORIN_ERR_GENERAL;
}

USHORT openEntry(BrcArchive &a, USHORT number, const Segments &segments, bool defined,
                 BrcIndexEntry **entry)
{
    auto undefine = scopeExit([&] {
        if (!defined)
            return;
        try {
            deleteIndex(a, number);
        } catch (const std::bad_alloc &) {
        }
    });
    ULONG keyLength = keyLengthOf(segments);
    if (keyLength > kMaxKeyLength)
        return BRC_ERR_DEFINITION;
    auto e = std::make_unique<BrcIndexEntry>();
    e->segments = segments;
    e->number = number;
    e->uses = 1;
    e->keyLength = USHORT(keyLength);
    // A key of length 0 still needs an address for the Ixd calls.
    e->newKey.assign(std::max(keyLength, 1UL), 0);
    e->oldKey.assign(std::max(keyLength, 1UL), 0);
    a.indexes.reserve(a.indexes.size() + 1);   // the push below cannot fail
    bool created = false;
    USHORT rc = openTree(a, *e, &created);
    if (rc)
        return rc;
    undefine.dismiss();
    BrcIndexEntry *opened = e.get();
    a.indexes.push_back(std::move(e));
    if (a.defaultIndex == nullptr)
        a.defaultIndex = opened;
    if (created) {
        rc = rebuildIndex(a, *opened);
        if (rc) {
            closeEntry(a, opened, !a.shared());
            return rc;
        }
    }
    *entry = opened;
    return 0;
}

}  // namespace

BrcIndexEntry *resolveEntry(BrcArchive &archive, BrcIndexEntry *entry) noexcept
{
    return liveEntry(&archive, entry != nullptr ? entry : archive.defaultIndex);
}

std::string treeName(const BrcArchive &archive, USHORT number)
{
    return profileFileName(archive.profile, indexSection(number), kKeyTree);
}

USHORT openIndex(BrcArchive &archive, USHORT number, const Segments &segments,
                 BrcIndexEntry **entry) noexcept
{
    try {
        bool defined = false;
        if (number == kNoNumber) {
            USHORT rc = findOrDefine(archive, segments, &number, &defined);
            if (rc)
                return rc;
        }
        if (BrcIndexEntry *open = entryNumbered(archive, number)) {
            if (open->uses == kMaxUses)
                return ORIN_ERR_GENERAL;
            open->uses++;
            *entry = open;
            return 0;
        }
        return openEntry(archive, number, segments, defined, entry);
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}

USHORT closeEntry(BrcArchive &archive, BrcIndexEntry *entry, bool deleting) noexcept
{
    BrcIndexEntry *e = liveEntry(&archive, entry);
    if (e == nullptr || e->uses == 0)
        return ORIN_ERR_GENERAL;
    if (--e->uses > 0)
        return deleting ? BRC_ERR_INDEX_IN_USE : 0;
    USHORT number = e->number;
    IxdClose(e->ix);
    e->ix = nullptr;
    takeOut(archive, e);   // frees the entry
    if (!deleting)
        return 0;
    try {
        return deleteIndex(archive, number);
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}

}  // namespace orin::arc::ix

using namespace orin::arc;
using namespace orin::arc::ix;

USHORT ORINAPI BrcIxOpen(BrcArchive *archive, const BrcIxSegment *segments, USHORT count,
                         BrcIndexEntry **entry) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (entry == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *entry = nullptr;
    Segments wanted;
    USHORT rc = normalizeSegments(segments, count, &wanted);
    return rc ? rc : openIndex(*a, kNoNumber, wanted, entry);
}

USHORT ORINAPI BrcIxOpenStr(BrcArchive *archive, const char *text, BrcIndexEntry **entry) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (entry == nullptr || text == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *entry = nullptr;
    Segments wanted;
    USHORT rc = parseDefinition(text, &wanted);
    return rc ? rc : openIndex(*a, kNoNumber, wanted, entry);
}

USHORT ORINAPI BrcIxOpenNr(BrcArchive *archive, USHORT number, BrcIndexEntry **entry) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    BrcIndexEntry *ignored = nullptr;
    if (entry == nullptr)
        entry = &ignored;
    *entry = nullptr;
    Segments stored;
    USHORT rc = readDefinition(*a, number, &stored);
    return rc ? rc : openIndex(*a, number, stored, entry);
}

USHORT ORINAPI BrcIxClose(BrcArchive *archive, BrcIndexEntry *entry) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    return closeEntry(*a, entry, false);
}

USHORT ORINAPI BrcIxDelete(BrcArchive *archive, BrcIndexEntry *entry) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    return closeEntry(*a, entry, !a->shared());
}

USHORT ORINAPI BrcIxDeleteNr(BrcArchive *archive, USHORT number) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (a->shared())
        return ORIN_ERR_ACCESS_DENIED;
    try {
        if (!sectionExists(a->profile, indexSection(number).c_str()))
            return 0;
        if (entryNumbered(*a, number) != nullptr)
            return BRC_ERR_INDEX_IN_USE;
        return deleteIndex(*a, number);
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}
