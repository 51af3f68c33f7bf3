/*
 * dbx_nav.cpp - navigation of the built-in engine in index order.
 *
 * Every move goes through the Ixd index and then checks the record found:
 * a normal record is read (without lock) and returned; a deleted or frozen
 * one is stale in the index: its pair is removed, the index is positioned
 * at that place again and the record found there is checked the same way.
 * Running off the end answers 0 for forward moves and DBX_NO_RECORD for
 * first/last/search misses, with the record buffer cleared.
 */
#include <cstring>
#include "str.h"
#include "table/dbx_engine.h"

namespace orin::dbx {
namespace {

enum class Dir { Forward, Backward, Positioning };

ULONG noRecord(PDBXGROUP t, Dir dir)
{
    t->table->clearBuffer();
    t->lastError = IXD_ERR_NOT_FOUND;
    return dir == Dir::Forward ? 0 : DBX_NO_RECORD;
}

bool dead(PDBXGROUP t, const BYTE *record)
{
    char s = t->table->stateOf(record);
    return record[0] == DBX_STATE_DELETED || s == DBX_STATE_DELETED || s == DBX_STATE_FROZEN;
}

/* Removes the stale pair at the index position and finds the pair that
 * now stands at that place (its successor; its predecessor going back). */
USHORT dropStale(PDBXGROUP t, PDBFIX ix, ULONG record, Dir dir, ULONG *next)
{
    std::vector<BYTE> key(ix->keyLength);
    ULONG err = 0;
    IxdQueryCurrentKey(ix->ix, key.data(), ix->keyLength);
    if (IxdRemove(ix->ix, key.data(), record, &err) != 0)
        return dir == Dir::Backward ? IxdPrev(ix->ix, nullptr, next, &err)
                                    : IxdNext(ix->ix, nullptr, next, &err);
    USHORT rc = IxdSearchID(ix->ix, key.data(), record, nullptr, next, &err);
    if (dir == Dir::Backward)
        return rc == 0 ? IxdPrev(ix->ix, nullptr, next, &err) : IxdLast(ix->ix, nullptr, next, &err);
    return rc;
}

ULONG land(PDBXGROUP t, PDBFIX ix, USHORT rc, ULONG record, Dir dir)
{
    auto *table = t->table;
    while (rc == 0) {
        if (table->read(record, false) == 0) {
            ++t->counters[COUNTER_READS];
            if (!dead(t, table->buffer.data())) {
                t->lastError = 0;
                return record;
            }
        }
        ULONG next = 0;
        rc = dropStale(t, ix, record, dir, &next);
        if (rc == 0 && next == record)
            break;
        record = next;
    }
    return noRecord(t, dir);
}

PDBFIX usable(PDBXGROUP t, PDBFIX ix)
{
    ix = resolve(t, ix);
    if (ix == nullptr)
        t->lastError = ORIN_ERR_INVALID_PARAM;
    return ix;
}

/* The search key: the given bytes, upper-cased unless the index keeps
 * case, padded with fill to the key length. */
std::vector<BYTE> searchBytes(PDBFIX ix, const void *key, USHORT length, BYTE fill)
{
    std::vector<BYTE> k(ix->keyLength, fill);
    USHORT n = key ? std::min(length, ix->keyLength) : 0;
    if (n)
        std::memcpy(k.data(), key, n);
    if (!(ix->flags & DBX_IXF_CASE))
        for (USHORT i = 0; i < n; ++i) {
            if (ChrIsDBCSLeadByte(k[i]) && i + 1 < n)
                ++i;
            else
                k[i] = BYTE(ChrToUpper(k[i]));
        }
    return k;
}

}  // namespace

#define NAV(ix, failure) \
    PDBFIX use = usable(t, ix); \
    if (use == nullptr) return failure; \
    ULONG err = 0, rec = 0

ULONG nextRec(PDBXGROUP t, PDBFIX ix)
{
    NAV(ix, 0);
    USHORT rc = IxdNext(use->ix, nullptr, &rec, &err);
    return land(t, use, rc, rec, Dir::Forward);
}

ULONG prevRec(PDBXGROUP t, PDBFIX ix)
{
    NAV(ix, 0);
    USHORT rc = IxdPrev(use->ix, nullptr, &rec, &err);
    return land(t, use, rc, rec, Dir::Backward);
}

ULONG firstRec(PDBXGROUP t, PDBFIX ix)
{
    NAV(ix, DBX_NO_RECORD);
    USHORT rc = IxdFirst(use->ix, nullptr, &rec, &err);
    return land(t, use, rc, rec, Dir::Positioning);
}

ULONG lastRec(PDBXGROUP t, PDBFIX ix)
{
    NAV(ix, DBX_NO_RECORD);
    USHORT rc = IxdLast(use->ix, nullptr, &rec, &err);
    return land(t, use, rc, rec, Dir::Backward);
}

ULONG currRec(PDBXGROUP t, PDBFIX ix)
{
    NAV(ix, DBX_NO_RECORD);
    USHORT rc = IxdSkipkey(use->ix, 0, nullptr, &rec, &err);
    return land(t, use, rc, rec, Dir::Positioning);
}

ULONG nextPrevNRec(PDBXGROUP t, PDBFIX ix, LONG count)
{
    NAV(ix, 0);
    LONG step = std::max<LONG>(-32768, std::min<LONG>(32767, count));
    USHORT rc = IxdSkipkey(use->ix, SHORT(step), nullptr, &rec, &err);
    return land(t, use, rc, rec, count < 0 ? Dir::Backward : Dir::Forward);
}

ULONG searchKey(PDBXGROUP t, PDBFIX ix, const void *key, USHORT length)
{
    NAV(ix, DBX_NO_RECORD);
    auto k = searchBytes(use, key, length, 0x00);
    USHORT rc = IxdSearch(use->ix, k.data(), nullptr, &rec, &err);
    return land(t, use, rc, rec, Dir::Positioning);
}

/* Found only when the index key begins with the given bytes. */
ULONG searchKeyExact(PDBXGROUP t, PDBFIX ix, const void *key, USHORT length)
{
    NAV(ix, DBX_NO_RECORD);
    USHORT n = std::min(length, use->keyLength);
    auto k = searchBytes(use, key, length, 0x00);
    std::vector<BYTE> found(use->keyLength);
    USHORT rc = IxdSearch(use->ix, k.data(), found.data(), &rec, &err);
    if (rc == 0 && std::memcmp(found.data(), k.data(), n) != 0)
        rc = IXD_ERR_NOT_FOUND;
    ULONG r = land(t, use, rc, rec, Dir::Positioning);
    if (r == DBX_NO_RECORD || r == 0)
        return r;
    std::vector<BYTE> now(use->keyLength);
    IxdQueryCurrentKey(use->ix, now.data(), use->keyLength);
    return std::memcmp(now.data(), k.data(), n) == 0 ? r : noRecord(t, Dir::Positioning);
}

ULONG searchKeyBack(PDBXGROUP t, PDBFIX ix, const void *key, USHORT length)
{
    NAV(ix, DBX_NO_RECORD);
    auto k = searchBytes(use, key, length, 0xFF);
    USHORT rc = IxdSearchBack(use->ix, k.data(), nullptr, &rec, &err);
    return land(t, use, rc, rec, Dir::Backward);
}

ULONG checkRec(PDBXGROUP t, PDBFIX ix, ULONG record, ULONG *other)
{
    if (other)
        *other = 0;
    if (t->table->read(record, false) != 0)
        return noRecord(t, Dir::Positioning);
    ++t->counters[COUNTER_READS];
    if (!dead(t, t->table->buffer.data()))
        return record;
    PDBFIX use = usable(t, ix);
    if (use == nullptr)
        return DBX_NO_RECORD;
    std::vector<BYTE> key(use->keyLength);
    buildKey(t, use, t->table->buffer.data(), key.data());
    ULONG err = 0, rec = 0;
    if (other)
        *other = 1;
    USHORT rc = IxdSearchID(use->ix, key.data(), record, nullptr, &rec, &err);
    return land(t, use, rc, rec, Dir::Positioning);
}

}  // namespace orin::dbx
