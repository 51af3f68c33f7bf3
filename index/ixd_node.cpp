/*
 * ixd_node.cpp - the per-handle node cache of the Ixd index files.
 *
 * Every node read and write of the tree goes through here.  The cache is a
 * small vector of slots, each holding one node (slots * nodeSize bytes, at
 * most IXD_CACHE_BYTES).  A read looks for the node among the slots in
 * use; on a hit the slot is stamped with the clock.  A miss takes the
 * first unused slot, else the one with the smallest stamp (ties: the
 * lowest slot), writing it back first when it is dirty.  The clock is a
 * u16 advanced at every stamping; before it would wrap, every stamp and the
 * clock are divided by 8, which keeps their order.
 *
 * The slots in use are found through a hash table from node number to slot
 * (open addressing, linear probing, at most half full), kept up to date
 * whenever a slot takes or loses a node.  A read hands out the slot's own
 * bytes (nodeFetch); only callers that keep a node across further cache
 * calls copy it, and a write of those same bytes back into their slot
 * copies nothing.  With the fast paths off the slots are scanned and every
 * read is copied into the handle's node view, as the cache behaves without
 * these shortcuts; the slots chosen, the stamps and the counters are the
 * same either way.
 *
 * Writes land in the cache.  Outside shared mode they stay dirty until the
 * slot is evicted or the cache written back (write-back); in shared mode
 * they go to the file at once (write-through) so other processes see them
 * as soon as the index lock is released.  A free-list link changes only the
 * first 4 bytes of a node: such a slot may be "partial", holding only
 * those bytes; reading it later fills in the rest from the file.  With no
 * slots at all, nodes are read and written directly.
 */
#include <algorithm>
#include <bit>
#include <new>
#include "index/ixdint.h"

namespace orin::ixd {
namespace {

constexpr int kClockShift = 3;    // divide stamps by 8 when the clock runs out
constexpr USHORT kClockLast = 0xFFFF;
constexpr size_t kIndexPerSlot = 2;          // the hash table is at most half full
constexpr std::uint32_t kHashFactor = 0x9E3779B1u;   // 2^32 / golden ratio, odd

int slotCount(const IX *ix)
{
    return static_cast<int>(ix->slots.size());
}

ULONG nodeOffset(const IX *ix, ULONG node)
{
    return ix->hdr.node0Offset + node * ULONG{ix->hdr.nodeSize};
}

BYTE *slotData(IX *ix, int i)
{
    return ix->slotBuf.data() + static_cast<size_t>(i) * ix->hdr.nodeSize;
}

/* ---- the hash table node -> slot ----
 * Every probe run is bounded by the table size, so that even a table that
 * lost its invariant ends a search instead of going round for ever. */

size_t homeOf(const IX *ix, ULONG node)
{
    return static_cast<std::uint32_t>(node * kHashFactor) >> ix->slotIndexShift;
}

size_t nextBucket(const IX *ix, size_t b)
{
    return (b + 1) & (ix->slotIndex.size() - 1);
}

/* The bucket holding node's entry, else the empty bucket ending its probe
 * run (or the table size when there is neither). */
size_t probe(const IX *ix, ULONG node)
{
    size_t b = homeOf(ix, node);
    for (size_t n = ix->slotIndex.size(); n > 0; n--, b = nextBucket(ix, b)) {
        int i = ix->slotIndex[b];
        if (i == kNoSlot || ix->slots[i].node == node)
            return b;
    }
    return ix->slotIndex.size();
}

int indexFind(const IX *ix, ULONG node)
{
    size_t b = probe(ix, node);
    return b < ix->slotIndex.size() ? ix->slotIndex[b] : kNoSlot;
}

void indexAdd(IX *ix, ULONG node, int slot)
{
    size_t b = probe(ix, node);
    if (b < ix->slotIndex.size())
        ix->slotIndex[b] = slot;
}

/* Removes the node's entry and moves later entries of its probe run back
 * into the gap, so that every entry stays reachable from its home. */
void indexRemove(IX *ix, ULONG node)
{
    size_t gap = probe(ix, node), n = ix->slotIndex.size();
    if (gap == n || ix->slotIndex[gap] == kNoSlot)
        return;
    for (size_t b = nextBucket(ix, gap); ix->slotIndex[b] != kNoSlot && --n > 0;
         b = nextBucket(ix, b)) {
        size_t home = homeOf(ix, ix->slots[ix->slotIndex[b]].node);
        bool homeInGapToB = gap <= b ? (home > gap && home <= b) : (home > gap || home <= b);
        if (!homeInGapToB) {
            ix->slotIndex[gap] = ix->slotIndex[b];
            gap = b;
        }
    }
    ix->slotIndex[gap] = kNoSlot;
}

void indexClear(IX *ix)
{
    std::fill(ix->slotIndex.begin(), ix->slotIndex.end(), kNoSlot);
}

/* Slot i takes node (it was not in use). */
void occupy(IX *ix, int i, ULONG node, ULONG partial)
{
    ix->slots[i] = CacheSlot{node, 0, 1, 0, partial};
    indexAdd(ix, node, i);
}

/* Slot i gives its node up. */
void vacate(IX *ix, int i)
{
    indexRemove(ix, ix->slots[i].node);
    ix->slots[i].inUse = 0;
}

/* ---- slots ---- */

USHORT fileReadNode(IX *ix, ULONG node, BYTE *buf)
{
    ix->nodeReads++;
    return readAt(ix, nodeOffset(ix, node), buf, ix->hdr.nodeSize);
}

USHORT fileWriteNode(IX *ix, ULONG node, const BYTE *buf, ULONG len)
{
    ix->nodeWrites++;
    return writeAt(ix, nodeOffset(ix, node), buf, len);
}

void stamp(IX *ix, int i)
{
    if (ix->clock == kClockLast) {
        for (CacheSlot &s : ix->slots)
            s.stamp >>= kClockShift;
        ix->clock >>= kClockShift;
    }
    ix->slots[i].stamp = ++ix->clock;
}

USHORT writeBackSlot(IX *ix, int i)
{
    CacheSlot &s = ix->slots[i];
    if (!s.inUse || !s.dirty)
        return 0;
    USHORT rc = fileWriteNode(ix, s.node, slotData(ix, i), s.partial ? kLinkLen : ix->hdr.nodeSize);
    if (rc == 0)
        s.dirty = 0;
    return rc;
}

int scanSlots(const IX *ix, ULONG node)
{
    for (int i = 0; i < slotCount(ix); i++)
        if (ix->slots[i].inUse && ix->slots[i].node == node)
            return i;
    return kNoSlot;
}

int findSlot(const IX *ix, ULONG node)
{
    if (slotCount(ix) == 0)
        return kNoSlot;
    return fastPaths() ? indexFind(ix, node) : scanSlots(ix, node);
}

/* Chooses the slot for a node not in the cache and writes its old content
 * back when needed; kNoSlot when that write failed (the node then bypasses
 * the cache and the failure is counted). */
int placeSlot(IX *ix)
{
    int victim = 0;
    for (int i = 0; i < slotCount(ix); i++) {
        if (!ix->slots[i].inUse)
            return i;
        if (ix->slots[i].stamp < ix->slots[victim].stamp)
            victim = i;
    }
    if (writeBackSlot(ix, victim) != 0) {
        ix->cacheFails++;
        return kNoSlot;
    }
    vacate(ix, victim);
    return victim;
}

USHORT checkNode(const IX *ix, ULONG node)
{
    return node < ix->hdr.nNodes ? 0 : IXD_ERR_BAD_FILE;
}

USHORT checkCount(const IX *ix, const BYTE *buf)
{
    return countOf(buf) <= ix->hdr.maxEntries ? 0 : IXD_ERR_BAD_FILE;
}

/* A hit on slot i: a partial slot (only its link is cached) first gets the
 * rest of the node from the file. */
USHORT hitSlot(IX *ix, int i, ULONG node)
{
    CacheSlot &s = ix->slots[i];
    if (s.partial) {
        BYTE *data = slotData(ix, i);
        BYTE link[kLinkLen];
        std::memcpy(link, data, kLinkLen);
        USHORT rc = fileReadNode(ix, node, data);
        std::memcpy(data, link, kLinkLen);   // the cached link wins, also on failure
        if (rc != 0)
            return rc;
        s.partial = 0;
    } else {
        ix->cacheHits++;
    }
    stamp(ix, i);
    return 0;
}

/* Where the node's bytes are after a read: its slot (found or newly
 * filled), or `spare` when it bypasses the cache. */
USHORT locateNode(IX *ix, ULONG node, BYTE *spare, BYTE **where)
{
    USHORT rc = checkNode(ix, node);
    if (rc != 0)
        return rc;
    int i = findSlot(ix, node);
    if (i != kNoSlot) {
        rc = hitSlot(ix, i, node);
        *where = slotData(ix, i);
        return rc;
    }
    if (slotCount(ix) == 0 || (i = placeSlot(ix)) == kNoSlot) {
        *where = spare;
        return fileReadNode(ix, node, spare);
    }
    rc = fileReadNode(ix, node, slotData(ix, i));
    if (rc != 0)
        return rc;
    occupy(ix, i, node, 0);
    stamp(ix, i);
    *where = slotData(ix, i);
    return 0;
}

/* Stores len bytes of a node into slot i (nothing to copy when they are
 * the slot's own) and writes them through in shared mode, else marks the
 * slot dirty. */
USHORT storeInSlot(IX *ix, int i, const BYTE *data, ULONG len)
{
    CacheSlot &s = ix->slots[i];
    if (data != slotData(ix, i))
        std::memcpy(slotData(ix, i), data, len);
    stamp(ix, i);
    if (ix->shared) {
        USHORT rc = fileWriteNode(ix, s.node, slotData(ix, i), s.partial ? kLinkLen : ix->hdr.nodeSize);
        s.dirty = rc != 0;
        return rc;
    }
    s.dirty = 1;
    return 0;
}

USHORT writeNodeBytes(IX *ix, ULONG node, const BYTE *data, ULONG len)
{
    USHORT rc = checkNode(ix, node);
    if (rc != 0)
        return rc;
    int i = findSlot(ix, node);
    if (i == kNoSlot) {
        if (slotCount(ix) == 0 || (i = placeSlot(ix)) == kNoSlot)
            return fileWriteNode(ix, node, data, len);
        occupy(ix, i, node, len < ix->hdr.nodeSize);
    } else if (len == ix->hdr.nodeSize) {
        ix->slots[i].partial = 0;
    }
    return storeInSlot(ix, i, data, len);
}

}  // namespace

USHORT cacheInit(IX *ix, USHORT requested)
{
    auto fit = static_cast<USHORT>(IXD_CACHE_BYTES / ix->hdr.nodeSize);
    USHORT n = requested < fit ? requested : fit;
    size_t buckets = std::bit_ceil(kIndexPerSlot * (n > 0 ? n : 1));

    cacheFree(ix);
    try {
        ix->slots.assign(n, CacheSlot{});
        ix->slotBuf.resize(static_cast<size_t>(n) * ix->hdr.nodeSize);
        ix->slotIndex.assign(buckets, kNoSlot);
    } catch (const std::bad_alloc &) {
        cacheFree(ix);
        return IXD_ERR_NO_MEMORY;
    }
    ix->slotIndexShift = 32 - std::countr_zero(buckets);
    return 0;
}

void cacheFree(IX *ix)
{
    ix->slots = {};
    ix->slotBuf = {};
    ix->slotIndex = {};
    ix->clock = 0;
}

/* Writes every dirty slot; the first failure is reported, the rest are
 * still tried so that as much as possible reaches the file. */
USHORT cacheWriteBack(IX *ix)
{
    USHORT first = 0;
    for (int i = 0; i < slotCount(ix); i++) {
        USHORT rc = writeBackSlot(ix, i);
        if (rc != 0 && first == 0)
            first = rc;
    }
    return first;
}

void cacheDrop(IX *ix)
{
    for (CacheSlot &s : ix->slots)
        s.inUse = 0;
    indexClear(ix);
}

/* The node's bytes in place: its cache slot, or the handle's node view
 * when it has none or the fast paths are off.  They may be edited and
 * written back with nodeWrite before the next cache call. */
USHORT nodeFetch(IX *ix, ULONG node, BYTE **bytes)
{
    BYTE *view = ix->nodeView.data();
    USHORT rc = locateNode(ix, node, view, bytes);
    if (rc != 0)
        return rc;
    if (!fastPaths() && *bytes != view) {
        std::memcpy(view, *bytes, ix->hdr.nodeSize);
        *bytes = view;
    }
    return checkCount(ix, *bytes);
}

USHORT nodeWrite(IX *ix, ULONG node, const BYTE *buf)
{
    return writeNodeBytes(ix, node, buf, ix->hdr.nodeSize);
}

USHORT nodeWriteLink(IX *ix, ULONG node, ULONG link)
{
    BYTE raw[kLinkLen];
    put32(raw, link);
    return writeNodeBytes(ix, node, raw, kLinkLen);
}

}  // namespace orin::ixd
