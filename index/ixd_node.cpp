/*
 * ixd_node.c - the per-handle node cache of the Ixd index files.
 *
 * Every node read and write of the tree goes through here.  The cache is a
 * small array of slots, each holding one node (slotCount * nodeSize bytes,
 * at most IXD_CACHE_BYTES).  A read looks for the node among the slots in
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
#include <stdlib.h>
#include "index/ixdint.h"

#define IXD_CLOCK_SHIFT  3    /* divide stamps by 8 when the clock runs out */

static ULONG nodeOffset(const IX *ix, ULONG node)
{
    return ix->hdr.node0Offset + node * (ULONG)ix->hdr.nodeSize;
}

static BYTE *slotData(IX *ix, int i)
{
    return ix->slotBuf + (size_t)i * ix->hdr.nodeSize;
}

static USHORT fileReadNode(IX *ix, ULONG node, BYTE *buf)
{
    ix->nodeReads++;
    return ixdReadAt(ix, nodeOffset(ix, node), buf, ix->hdr.nodeSize);
}

static USHORT fileWriteNode(IX *ix, ULONG node, const BYTE *buf, ULONG len)
{
    ix->nodeWrites++;
    return ixdWriteAt(ix, nodeOffset(ix, node), buf, len);
}

static void stamp(IX *ix, int i)
{
    if (ix->clock == 0xFFFF) {
        for (int s = 0; s < ix->slotCount; s++)
            ix->slots[s].stamp >>= IXD_CLOCK_SHIFT;
        ix->clock >>= IXD_CLOCK_SHIFT;
    }
    ix->slots[i].stamp = ++ix->clock;
}

USHORT ixdCacheInit(IX *ix, USHORT requested)
{
    USHORT fit = (USHORT)(IXD_CACHE_BYTES / ix->hdr.nodeSize);
    USHORT n = requested < fit ? requested : fit;

    ix->slotCount = 0;
    ix->clock = 0;
    ix->slots = NULL;
    ix->slotBuf = NULL;
    if (n == 0)
        return 0;
    ix->slots = (IXDSLOT*)calloc(n, sizeof *ix->slots);
    ix->slotBuf = (BYTE*)malloc((size_t)n * ix->hdr.nodeSize);
    if (!ix->slots || !ix->slotBuf) {
        ixdCacheFree(ix);
        return IXD_ERR_NO_MEMORY;
    }
    ix->slotCount = n;
    return 0;
}

void ixdCacheFree(IX *ix)
{
    free(ix->slots);
    free(ix->slotBuf);
    ix->slots = NULL;
    ix->slotBuf = NULL;
    ix->slotCount = 0;
}

static USHORT writeBackSlot(IX *ix, int i)
{
    IXDSLOT *s = &ix->slots[i];
    USHORT rc;

    if (!s->inUse || !s->dirty)
        return 0;
    rc = fileWriteNode(ix, s->node, slotData(ix, i),
                       s->partial ? IXD_LINK_LEN : ix->hdr.nodeSize);
    if (rc == 0)
        s->dirty = 0;
    return rc;
}

/* Writes every dirty slot; the first failure is reported, the rest are
 * still tried so that as much as possible reaches the file. */
USHORT ixdCacheWriteBack(IX *ix)
{
    USHORT first = 0;

    for (int i = 0; i < ix->slotCount; i++) {
        USHORT rc = writeBackSlot(ix, i);
        if (rc && !first)
            first = rc;
    }
    return first;
}

void ixdCacheDrop(IX *ix)
{
    for (int i = 0; i < ix->slotCount; i++)
        ix->slots[i].inUse = 0;
}

static int findSlot(IX *ix, ULONG node)
{
    for (int i = 0; i < ix->slotCount; i++)
        if (ix->slots[i].inUse && ix->slots[i].node == node)
            return i;
    return -1;
}

/* Chooses the slot for a node not in the cache and writes its old content
 * back when needed; -1 when that write failed (the node then bypasses the
 * cache and the failure is counted). */
static int placeSlot(IX *ix)
{
    int victim = 0;

    for (int i = 0; i < ix->slotCount; i++) {
        if (!ix->slots[i].inUse)
            return i;
        if (ix->slots[i].stamp < ix->slots[victim].stamp)
            victim = i;
    }
    if (writeBackSlot(ix, victim)) {
        ix->cacheFails++;
        return -1;
    }
    ix->slots[victim].inUse = 0;
    return victim;
}

static USHORT checkNode(const IX *ix, ULONG node)
{
    return node < ix->hdr.nNodes ? 0 : IXD_ERR_BAD_FILE;
}

static USHORT checkCount(const IX *ix, const BYTE *buf)
{
    return ixdCount(buf) <= ix->hdr.maxEntries ? 0 : IXD_ERR_BAD_FILE;
}

USHORT ixdNodeRead(IX *ix, ULONG node, BYTE *buf)
{
    USHORT rc = checkNode(ix, node);
    int i;

    if (rc)
        return rc;
    i = findSlot(ix, node);
    if (i >= 0) {
        IXDSLOT *s = &ix->slots[i];
        if (s->partial) {
            /* only the link is cached: the rest comes from the file */
            rc = fileReadNode(ix, node, buf);
            if (rc)
                return rc;
            memcpy(buf, slotData(ix, i), IXD_LINK_LEN);
            memcpy(slotData(ix, i), buf, ix->hdr.nodeSize);
            s->partial = 0;
        } else {
            ix->cacheHits++;
            memcpy(buf, slotData(ix, i), ix->hdr.nodeSize);
        }
        stamp(ix, i);
        return checkCount(ix, buf);
    }
    if (ix->slotCount == 0 || (i = placeSlot(ix)) < 0) {
        rc = fileReadNode(ix, node, buf);
        return rc ? rc : checkCount(ix, buf);
    }
    rc = fileReadNode(ix, node, slotData(ix, i));
    if (rc)
        return rc;
    ix->slots[i].node = node;
    ix->slots[i].inUse = 1;
    ix->slots[i].dirty = 0;
    ix->slots[i].partial = 0;
    stamp(ix, i);
    memcpy(buf, slotData(ix, i), ix->hdr.nodeSize);
    return checkCount(ix, buf);
}

/* Stores len bytes of a node into slot i and writes them through in
 * shared mode, else marks the slot dirty. */
static USHORT storeInSlot(IX *ix, int i, const BYTE *data, ULONG len)
{
    IXDSLOT *s = &ix->slots[i];

    memcpy(slotData(ix, i), data, len);
    stamp(ix, i);
    if (ix->shared) {
        USHORT rc = fileWriteNode(ix, s->node, slotData(ix, i),
                                  s->partial ? IXD_LINK_LEN : ix->hdr.nodeSize);
        s->dirty = rc != 0;
        return rc;
    }
    s->dirty = 1;
    return 0;
}

static USHORT writeNodeBytes(IX *ix, ULONG node, const BYTE *data, ULONG len)
{
    USHORT rc = checkNode(ix, node);
    int i;

    if (rc)
        return rc;
    i = findSlot(ix, node);
    if (i < 0) {
        if (ix->slotCount == 0 || (i = placeSlot(ix)) < 0)
            return fileWriteNode(ix, node, data, len);
        ix->slots[i].node = node;
        ix->slots[i].inUse = 1;
        ix->slots[i].partial = len < ix->hdr.nodeSize;
    } else if (len == ix->hdr.nodeSize) {
        ix->slots[i].partial = 0;
    }
    return storeInSlot(ix, i, data, len);
}

USHORT ixdNodeWrite(IX *ix, ULONG node, const BYTE *buf)
{
    return writeNodeBytes(ix, node, buf, ix->hdr.nodeSize);
}

USHORT ixdNodeWriteLink(IX *ix, ULONG node, ULONG link)
{
    BYTE raw[IXD_LINK_LEN];

    ixdPut32(raw, link);
    return writeNodeBytes(ix, node, raw, IXD_LINK_LEN);
}
