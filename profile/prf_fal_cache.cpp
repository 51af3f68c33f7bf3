/*
 * prf_fal_cache.cpp - the tables, key indexes and value pieces a profile
 * file's handler keeps in memory (see prf_fal_cache.h).
 *
 * Tables are kept per kind (section tables by bucket, key tables by
 * section id) in slots that outlive their content: parking a table moves
 * its buffer into the slot of its owner, taking it moves the buffer back,
 * so going back and forth between sections allocates nothing.  A slot's
 * table is only handed out for the block id the caller expects, which is
 * the id the header or the section record names now.
 *
 * The key index is a linear-probing hash table of record offsets (plus
 * one, 0 marking an empty slot), at most half full, hashed by FNV-1a over
 * the key name.
 */
#include <atomic>
#include <stdlib.h>
#include <string.h>
#include "profile/prffal.h"

namespace orin::prf {

namespace {

constexpr ULONG kFnvBasis = 2166136261u;
constexpr ULONG kFnvPrime = 16777619u;
constexpr size_t kMinSlots = 16;
/* What a kept table or piece costs beyond its bytes: the map's node and
 * bucket and the entry itself, counted against the limit. */
constexpr size_t kEntryOverhead = 64;

std::atomic<size_t> limitForNew{kDefaultCacheLimit};
std::atomic<bool> cachingForNew{true};

ULONG hashName(const char *name)
{
    ULONG h = kFnvBasis;
    for (const BYTE *p = (const BYTE *)name; *p; p++)
        h = (h ^ *p) * kFnvPrime;
    return h;
}

const char *nameAt(const BYTE *bytes, ULONG offset)
{
    return prffKeyName((const PRFFKEYREC *)(bytes + offset));
}

}  // namespace

void setCacheLimit(size_t bytes) { limitForNew = bytes; }
size_t cacheLimit() { return limitForNew; }
void setCaching(bool on) { cachingForNew = on; }
bool caching() { return cachingForNew; }

/* ---- Key index -------------------------------------------------------------- */

bool KeyIndex::insert(const BYTE *bytes, ULONG offset)
{
    const char *name = nameAt(bytes, offset);
    size_t mask = slots_.size() - 1;
    for (size_t i = hashName(name) & mask;; i = (i + 1) & mask) {
        if (slots_[i] == 0) {
            slots_[i] = offset + 1;
            count_++;
            return true;
        }
        if (strcmp(nameAt(bytes, slots_[i] - 1), name) == 0)
            return false;                  /* the first of a name wins */
    }
}

void KeyIndex::grow(const BYTE *bytes)
{
    std::vector<ULONG> old;
    old.swap(slots_);
    slots_.assign(old.size() * 2, 0);
    count_ = 0;
    for (ULONG s : old)
        if (s)
            insert(bytes, s - 1);
}

void KeyIndex::build(const BYTE *bytes, ULONG start, ULONG length)
{
    size_t n = kMinSlots;
    ULONG records = 0;
    ready_ = false;
    for (ULONG pos = start; pos < length; pos += ((const PRFFKEYREC *)(bytes + pos))->recordLength)
        records++;
    while (n < 2 * (size_t)records)
        n *= 2;
    try {
        slots_.assign(n, 0);
    } catch (...) {
        return;                            /* lookups walk the table instead */
    }
    count_ = 0;
    for (ULONG pos = start; pos < length; pos += ((const PRFFKEYREC *)(bytes + pos))->recordLength)
        insert(bytes, pos);
    ready_ = true;
}

ULONG KeyIndex::find(const BYTE *bytes, const char *name) const
{
    size_t mask = slots_.size() - 1;
    for (size_t i = hashName(name) & mask; slots_[i]; i = (i + 1) & mask)
        if (strcmp(nameAt(bytes, slots_[i] - 1), name) == 0)
            return slots_[i] - 1;
    return 0;
}

void KeyIndex::added(const BYTE *bytes, ULONG offset)
{
    if (!ready_)
        return;
    try {
        if (2 * (size_t)(count_ + 1) > slots_.size())
            grow(bytes);
    } catch (...) {
        ready_ = false;
        return;
    }
    insert(bytes, offset);
}

void KeyIndex::shifted(ULONG offset, long delta)
{
    if (!ready_)
        return;
    for (ULONG &s : slots_)
        if (s > offset + 1)
            s = (ULONG)((long)s + delta);
}

/* ---- Tables ------------------------------------------------------------------ */

void FalCache::setup(bool on, size_t limit)
{
    clear();
    on_ = on;
    limit_ = limit;
}

void FalCache::park(Kind kind, PRFFTABLE *t)
{
    if (!on_ || !t->loaded || t->id == 0)
        return;
    Parked *found;
    try {
        found = &tables_[kind][t->owner];
    } catch (...) {
        return;                            /* not kept: the table is read again */
    }
    Parked &slot = *found;
    if (slot.bytes) {
        bytes_ -= slot.cost;
        free(slot.bytes);
    }
    slot.id = t->id;
    slot.bytes = t->bytes;
    slot.length = t->length;
    slot.capacity = t->capacity;
    std::swap(slot.index, t->index);
    slot.cost = sizeof slot + kEntryOverhead + slot.capacity + slot.index.bytes();
    bytes_ += slot.cost;
    t->loaded = FALSE;
    t->bytes = NULL;
    t->length = t->capacity = 0;
    t->index.clear();
    keepWithinLimit();
}

bool FalCache::take(Kind kind, ULONG owner, ULONG id, PRFFTABLE *t)
{
    auto it = tables_[kind].find(owner);
    if (!on_ || it == tables_[kind].end() || !it->second.bytes)
        return false;
    Parked &slot = it->second;
    bytes_ -= slot.cost;
    if (slot.id != id) {
        free(slot.bytes);
        slot.bytes = nullptr;
        slot.index = KeyIndex();
        return false;
    }
    free(t->bytes);
    t->bytes = slot.bytes;
    t->length = slot.length;
    t->capacity = slot.capacity;
    std::swap(t->index, slot.index);
    t->id = id;
    t->owner = owner;
    t->loaded = TRUE;
    slot.bytes = nullptr;
    slot.index = KeyIndex();              /* an empty slot holds no memory */
    return true;
}

void FalCache::clearTables()
{
    for (auto &kind : tables_) {
        for (auto &entry : kind)
            free(entry.second.bytes);
        kind.clear();
    }
}

/* ---- Pieces -------------------------------------------------------------------- */

size_t FalCache::pieceCost(size_t dataLength)
{
    return sizeof(CachedPiece) + kEntryOverhead + dataLength;
}

const CachedPiece *FalCache::piece(ULONG id) const
{
    auto it = pieces_.find(id);
    return it == pieces_.end() ? nullptr : &it->second;
}

const CachedPiece *FalCache::putPiece(ULONG id, const PRFFPIECE *head, ULONG used,
                                      const BYTE *data, ULONG dataLength)
{
    static_assert(sizeof(CachedPiece::head) == sizeof(PRFFPIECE), "piece header copy");
    if (!on_)
        return nullptr;
    forgetPiece(id);
    if (dataLength > kPieceKeepMax)
        return nullptr;
    size_t cost = pieceCost(dataLength);
    if (bytes_ + cost > limit_) {
        clearPieces();
        if (bytes_ + cost > limit_)
            return nullptr;
    }
    try {
        CachedPiece &p = pieces_[id];
        memcpy(p.head, head, sizeof p.head);
        p.used = used;
        p.data.assign(data, data + dataLength);
        bytes_ += cost;
        return &p;
    } catch (...) {
        forgetPiece(id);
        return nullptr;
    }
}

void FalCache::forgetPiece(ULONG id)
{
    auto it = pieces_.find(id);
    if (it == pieces_.end())
        return;
    bytes_ -= pieceCost(it->second.data.size());
    pieces_.erase(it);
}

void FalCache::clearPieces()
{
    for (auto &entry : pieces_)
        bytes_ -= pieceCost(entry.second.data.size());
    pieces_.clear();
}

void FalCache::keepWithinLimit()
{
    if (bytes_ <= limit_)
        return;
    clearPieces();
    if (bytes_ > limit_) {
        clearTables();
        bytes_ = 0;
    }
}

void FalCache::clear()
{
    clearTables();
    pieces_.clear();
    bytes_ = 0;
}

}  // namespace orin::prf
