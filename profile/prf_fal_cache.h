/*
 * prf_fal_cache.h - what a profile file's handler keeps in memory beyond
 * the one section table and one key table it works on: the other tables
 * it has loaded, an index of key names per key table, and the pieces of
 * values it has read or written.
 *
 * Everything here is a copy of bytes that are on disk, taken after they
 * were checked or written; none of it is ever written back.  The handler
 * clears it all whenever it can no longer vouch for it: when the FAL
 * update count moved (another process changed the file), after a failed
 * change, and before a consistency check.  The tables and pieces held
 * count against a limit (64 MiB unless a caller sets another), with what
 * their entries cost besides; going over drops the pieces, then the
 * tables.
 */
#ifndef PRF_FAL_CACHE_H
#define PRF_FAL_CACHE_H

#include <cstddef>
#include <unordered_map>
#include <vector>
#include "orinbase.h"

typedef struct _PRFFTABLE PRFFTABLE;
typedef struct _PRFFPIECE PRFFPIECE;

namespace orin::prf {

/* Open-addressed hash of the key records of one key table: name to the
 * offset of the first record of that name.  Kept by the table it indexes
 * and told of every edit; an edit it cannot follow makes it unready, and
 * the next lookup builds it again. */
class KeyIndex {
public:
    bool ready() const { return ready_; }
    void clear() { ready_ = false; }
    /* Indexes the records of a table whose records were checked. */
    void build(const BYTE *bytes, ULONG start, ULONG length);
    /* Offset of the first record named `name`, or 0. */
    ULONG find(const BYTE *bytes, const char *name) const;
    /* A record was appended at `offset`. */
    void added(const BYTE *bytes, ULONG offset);
    /* The records after `offset` moved by `delta` bytes. */
    void shifted(ULONG offset, long delta);
    size_t bytes() const { return slots_.capacity() * sizeof(ULONG); }

private:
    bool insert(const BYTE *bytes, ULONG offset);   /* false when the name is there */
    void grow(const BYTE *bytes);
    std::vector<ULONG> slots_;            /* offset + 1 of a record; 0 empty */
    ULONG count_ = 0;
    bool ready_ = false;
};

/* One value piece as it is on disk: its header, its block's used length
 * and its data. */
struct CachedPiece {
    BYTE head[18];                        /* the PRFFPIECE header */
    ULONG used;
    std::vector<BYTE> data;
};

class FalCache {
public:
    enum Kind { SECTIONS = 0, KEYS = 1 };

    bool on() const { return on_; }
    /* Turns the cache on or off (emptying it) with a limit in bytes. */
    void setup(bool on, size_t limit);

    /* Keeps a loaded on-disk table under its owner; *t is left empty. */
    void park(Kind kind, PRFFTABLE *t);
    /* Moves the kept table of `owner` into the empty *t when it is block
     * `id`; false (and a stale copy dropped) otherwise. */
    bool take(Kind kind, ULONG owner, ULONG id, PRFFTABLE *t);

    const CachedPiece *piece(ULONG id) const;
    /* Keeps a piece; answers it, or null when it does not fit the limit. */
    const CachedPiece *putPiece(ULONG id, const PRFFPIECE *head, ULONG used, const BYTE *data,
                                ULONG dataLength);
    void forgetPiece(ULONG id);

    void clear();
    size_t bytes() const { return bytes_; }
    ~FalCache() { clear(); }

private:
    void clearTables();
    void clearPieces();
    void keepWithinLimit();
    static size_t pieceCost(size_t dataLength);

    /* A kept table; bytes null when the slot is empty. */
    struct Parked {
        ULONG id = 0;
        BYTE *bytes = nullptr;
        ULONG length = 0, capacity = 0;
        size_t cost = 0;                  /* counted against the limit */
        KeyIndex index;
    };
    bool on_ = false;
    size_t limit_ = 0;
    size_t bytes_ = 0;
    std::unordered_map<ULONG, Parked> tables_[2];
    std::unordered_map<ULONG, CachedPiece> pieces_;
};

/* The most a profile's cache holds, in bytes, for profiles opened from
 * now on; and whether profiles opened from now on cache at all (on by
 * default; the differential tests turn it off). */
constexpr size_t kDefaultCacheLimit = 64u << 20;
/* Pieces with more data than this are not kept: copying and holding them
 * costs more than reading them again, and the room is better spent on
 * many small values. */
constexpr ULONG kPieceKeepMax = 4096;
void setCacheLimit(size_t bytes);
size_t cacheLimit();
void setCaching(bool on);
bool caching();

}  // namespace orin::prf

#endif /* PRF_FAL_CACHE_H */
