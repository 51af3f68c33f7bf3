/*
 * brc_ixbuild.cpp - rebuilding an index from all documents of the archive.
 *
 * The index is emptied pair by pair, then every document slot below
 * NrDocs is opened without lock, its key built and entered.  Empty slots
 * are passed over; a document without a key (a required field missing)
 * ends the rebuild with 65535, as does any other failure with its own
 * code.  The archive's busy function, when one is installed, hears of the
 * start (phase 1, value 10), of progress in percent (phase 3) and of the
 * end (phase 2, value 0, whatever happened); a non-zero answer to the
 * start or a progress call cancels with 65535.  Progress is reported for
 * every document whose number is a multiple of the busy interval; an
 * interval of 0 reports every document.
 */
#include "archive/brc_ixint.h"

namespace orin::arc::ix {
namespace {

class Busy {
public:
    Busy(BrcArchive &archive, USHORT total) : archive_(archive), total_(total) {}

    /* Whether the caller asked to cancel. */
    bool start() const { return call(kStartValue, BRC_BUSY_START); }
    bool progress(USHORT number) const
    {
        if (!due(number))
            return false;
        return call(USHORT(ULONG(number) * 100 / total_), BRC_BUSY_PROGRESS);
    }
    void end() const { call(0, BRC_BUSY_END); }

private:
    static constexpr USHORT kStartValue = 10;

    bool due(USHORT number) const
    {
        USHORT every = archive_.busyInterval;
        return every == 0 || number % every == 0;
    }
    bool call(USHORT value, USHORT phase) const
    {
        if (archive_.busy == nullptr)
            return false;
        return archive_.busy(&archive_, total_, value, phase, archive_.busyUser) != 0;
    }

    BrcArchive &archive_;
    USHORT total_;
};

/* Removes the first pair until there is none. */
USHORT emptyIndex(BrcIndexEntry &entry)
{
    BYTE *key = entry.newKey.data();
    for (;;) {
        ULONG record = 0, error = 0;
        if (IxdFirst(entry.ix, key, &record, &error) != 0)
            return error == IXD_ERR_NOT_FOUND ? 0 : USHORT(error);
        if (IxdRemove(entry.ix, key, record, &error) != 0)
            return USHORT(error);
    }
}

USHORT enterAll(BrcArchive &archive, BrcIndexEntry &entry, USHORT slots, const Busy &busy)
{
    BYTE *key = entry.newKey.data();
    for (USHORT n = 0; n < slots; n++) {
        if (busy.progress(n))
            return BRC_ERR_GENERAL;
        USHORT rc = entryKeyOf(archive, entry, n, key);
        if (rc == BRC_ERR_NO_DOC)
            continue;
        if (rc)
            return rc;
        ULONG error = 0;
        if (IxdEnter(entry.ix, key, n, &error) != 0)
            return error ? USHORT(error) : BRC_ERR_GENERAL;
    }
    return 0;
}

}  // namespace

USHORT rebuildIndex(BrcArchive &archive, BrcIndexEntry &entry) noexcept
{
    USHORT rc = emptyIndex(entry);
    if (rc)
        return rc;
    USHORT slots = 0;
    rc = readHeaderCount(archive, kKeyNrDocs, &slots);
    if (rc && rc != ORIN_ERR_NO_KEY)
        return rc;
    Busy busy(archive, slots);
    rc = busy.start() ? BRC_ERR_GENERAL : enterAll(archive, entry, slots, busy);
    busy.end();
    return rc;
}

}  // namespace orin::arc::ix

using namespace orin::arc;

USHORT ORINAPI BrcIxBuildIx(BrcArchive *archive, BrcIndexEntry *entry) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    BrcIndexEntry *e = ix::resolveEntry(*a, entry);
    if (e == nullptr)
        return BRC_ERR_GENERAL;
    return ix::rebuildIndex(*a, *e);
}
