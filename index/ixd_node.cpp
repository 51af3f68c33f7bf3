/*
 * ixd_node.cpp - the per-handle node cache of the Ixd index files.
 *
 * Every node read and write of the tree goes through here.  The cache is a
 * small vector of slots, each holding one node (slots * nodeSize bytes, at
 * most IXD_CACHE_BYTES).  A read looks for the node among the slots in
 * use; on a hit the slot is stamped with the clock and the node copied
 * out.  A miss takes the first unused slot, else the one with the smallest
 * stamp (ties: the lowest slot), writing it back first when it is dirty.
 * The clock is a u16 advanced at every stamping; before it would wrap,
 * every stamp and the clock are divided by 8, which keeps their order.
 *
 * Writes land in the cache.  Outside shared mode they stay dirty until the
 * slot is evicted or the cache written back (write-back); in shared mode
 * they go to the file at once (write-through) so other processes see them
 * as soon as the index lock is released.  A free-list link changes only the
 * first 4 bytes of a node: such a slot may be "partial", holding only
 * those bytes; reading it later fills in the rest from the file.  With no
 * slots at all, nodes are read and written directly.
 */
#include <new>
#include "index/ixdint.h"

namespace orin::ixd {
namespace {

constexpr int kClockShift = 3;    // divide stamps by 8 when the clock runs out
constexpr USHORT kClockLast = 0xFFFF;

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

int findSlot(const IX *ix, ULONG node)
{
    for (int i = 0; i < slotCount(ix); i++)
        if (ix->slots[i].inUse && ix->slots[i].node == node)
            return i;
    return -1;
}

/* Chooses the slot for a node not in the cache and writes its old content
 * back when needed; -1 when that write failed (the node then bypasses the
 * cache and the failure is counted). */
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
        return -1;
    }
    ix->slots[victim].inUse = 0;
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

/* A hit: the slot's node into buf, completing a partial slot first. */
USHORT readFromSlot(IX *ix, int i, ULONG node, BYTE *buf)
{
    CacheSlot &s = ix->slots[i];
    if (s.partial) {
        /* only the link is cached: the rest comes from the file */
        USHORT rc = fileReadNode(ix, node, buf);
        if (rc != 0)
            return rc;
        std::memcpy(buf, slotData(ix, i), kLinkLen);
        std::memcpy(slotData(ix, i), buf, ix->hdr.nodeSize);
        s.partial = 0;
    } else {
        ix->cacheHits++;
        std::memcpy(buf, slotData(ix, i), ix->hdr.nodeSize);
    }
    stamp(ix, i);
    return checkCount(ix, buf);
}

/* Stores len bytes of a node into slot i and writes them through in
 * shared mode, else marks the slot dirty. */
USHORT storeInSlot(IX *ix, int i, const BYTE *data, ULONG len)
{
    CacheSlot &s = ix->slots[i];
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
    if (i < 0) {
        if (slotCount(ix) == 0 || (i = placeSlot(ix)) < 0)
            return fileWriteNode(ix, node, data, len);
        ix->slots[i].node = node;
        ix->slots[i].inUse = 1;
        ix->slots[i].partial = len < ix->hdr.nodeSize;
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

    cacheFree(ix);
    try {
        ix->slots.assign(n, CacheSlot{});
        ix->slotBuf.resize(static_cast<size_t>(n) * ix->hdr.nodeSize);
    } catch (const std::bad_alloc &) {
        cacheFree(ix);
        return IXD_ERR_NO_MEMORY;
    }
    return 0;
}

void cacheFree(IX *ix)
{
    ix->slots = {};
    ix->slotBuf = {};
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
}

USHORT nodeRead(IX *ix, ULONG node, BYTE *buf)
{
    USHORT rc = checkNode(ix, node);
    if (rc != 0)
        return rc;
    int i = findSlot(ix, node);
    if (i >= 0)
        return readFromSlot(ix, i, node, buf);
    if (slotCount(ix) == 0 || (i = placeSlot(ix)) < 0) {
        rc = fileReadNode(ix, node, buf);
        return rc != 0 ? rc : checkCount(ix, buf);
    }
    rc = fileReadNode(ix, node, slotData(ix, i));
    if (rc != 0)
        return rc;
    ix->slots[i] = CacheSlot{node, 0, 1, 0, 0};
    stamp(ix, i);
    std::memcpy(buf, slotData(ix, i), ix->hdr.nodeSize);
    return checkCount(ix, buf);
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
