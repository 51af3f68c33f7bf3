/*
 * arc_handles.cpp - the pools behind archive and document handles.
 *
 * A caller's handle is checked against its pool before anything is read
 * through it; index entries are checked against the open-index table of
 * their archive.
 */
#include "archive/arcint.h"

#include <cstdio>

#include "frame/handle_pool.h"

namespace orin::arc {
namespace {

HandlePool<BrcArchive> archives;
HandlePool<BrdDocument> documents;

}  // namespace

BrcArchive *liveArchive(BrcArchive *archive) noexcept
{
    return archives.get(archive);
}

BrdDocument *liveDocument(BrdDocument *document) noexcept
{
    BrdDocument *d = documents.get(document);
    // A document outlives nothing: its archive must still be open.
    return d != nullptr && archives.live(d->archive) ? d : nullptr;
}

BrcArchive *newArchive()
{
    return archives.make().release();
}

void freeArchive(BrcArchive *archive) noexcept
{
    archives.destroy(archive);
}

BrdDocument *newDocument(BrcArchive *archive, USHORT number)
{
    BrdDocument *d = documents.make().release();
    d->archive = archive;
    d->number = number;
    if (number == BRC_TEMPLATE_NUMBER)
        snprintf(d->section, sizeof d->section, "%s", kTemplate);
    else
        snprintf(d->section, sizeof d->section, "Doc_%u", number);
    return d;
}

void freeDocument(BrdDocument *document) noexcept
{
    documents.destroy(document);
}

BrcIndexEntry *liveEntry(BrcArchive *archive, BrcIndexEntry *entry) noexcept
{
    if (archive == nullptr || entry == nullptr)
        return nullptr;
    for (const auto &e : archive->indexes)
        if (e.get() == entry)
            return entry;
    return nullptr;
}

}  // namespace orin::arc
