/*
 * brc_ixmaint.cpp - keeping the open indexes current while documents and
 * their fields change, and opening and closing the indexes together with
 * the archive.
 *
 * Around every value change the document calls keysBefore (each index
 * whose key uses the field builds the document's current key into its
 * old-key buffer) and keysAfter (each such index builds the new key and,
 * when it differs, moves the document's pair from the old key to the new
 * one).  A key that cannot be built (a required field is missing) means
 * no pair.  Index file errors are not the document calls' concern and are
 * dropped here.  The template is no document and has no keys.
 */
#include "archive/brc_ixint.h"

#include <cstring>
#include <new>

namespace orin::arc {
namespace {

bool concerned(const BrcIndexEntry &entry, const char *field) noexcept
{
    return field == nullptr || ix::usesField(entry.segments, field);
}

bool sameKeys(const BrcIndexEntry &entry) noexcept
{
    return std::memcmp(entry.oldKey.data(), entry.newKey.data(), entry.keyLength) == 0;
}

}  // namespace

void keysBefore(BrdDocument &document, const char *field) noexcept
{
    if (document.isTemplate())
        return;
    for (const auto &e : document.archive->indexes)
        if (concerned(*e, field))
            e->oldKeyCaptured = ix::entryKey(document, *e, e->oldKey.data()) == 0;
}

void keysAfter(BrdDocument &document, const char *field) noexcept
{
    if (document.isTemplate())
        return;
    for (const auto &e : document.archive->indexes) {
        if (!concerned(*e, field))
            continue;
        bool had = e->oldKeyCaptured;
        bool has = ix::entryKey(document, *e, e->newKey.data()) == 0;
        e->oldKeyCaptured = false;
        if (had && has && sameKeys(*e))
            continue;
        ULONG error = 0;
        if (had)
            IxdRemove(e->ix, e->oldKey.data(), document.number, &error);
        if (has)
            IxdEnter(e->ix, e->newKey.data(), document.number, &error);
    }
}

void removeDocumentKeys(BrdDocument &document) noexcept
{
    if (document.isTemplate())
        return;
    for (const auto &e : document.archive->indexes) {
        ULONG error = 0;
        if (ix::entryKey(document, *e, e->newKey.data()) == 0)
            IxdRemove(e->ix, e->newKey.data(), document.number, &error);
    }
}

USHORT openListedIndexes(BrcArchive &archive) noexcept
{
    USHORT slots = 0;
    USHORT rc = readHeaderCount(archive, kKeyNrIndex, &slots);
    if (rc)
        return rc;
    try {
        ix::Segments stored;
        for (USHORT n = 0; n < slots; n++) {
            BrcIndexEntry *entry = nullptr;
            rc = ix::readDefinition(archive, n, &stored);
            if (rc == 0)
                rc = ix::openIndex(archive, n, stored, &entry);
            if (rc && rc != BRC_ERR_NO_INDEX)
                return rc;
        }
        return 0;
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}

USHORT closeAllIndexes(BrcArchive &archive) noexcept
{
    USHORT first = 0;
    // Each call releases one use; an entry leaves the table at its last.
    while (!archive.indexes.empty()) {
        USHORT rc = ix::closeEntry(archive, archive.indexes.back().get(), false);
        if (first == 0)
            first = rc;
    }
    return first;
}

}  // namespace orin::arc
