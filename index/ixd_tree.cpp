/*
 * ixd_tree.c - inserting and deleting pairs in an Ixd B-tree.
 *
 * Descent.  From the root down, each interior node is searched (binary
 * search) for the first entry whose key is >= the stored key; when there
 * is none the last entry is taken, so a key above everything ends in the
 * rightmost leaf.  The node and entry chosen at every level are kept in
 * path[] / pathIdx[].
 *
 * Insert.  A node with room takes the entry at its place.  When the entry
 * lands behind the node's last one ("append"), the node's greatest key
 * changed and the ancestors' keys for it are raised.  A full node is split:
 * a new node becomes its left half, linked in before it on the same level,
 * and the parent receives an entry for it (a split root first gets a new
 * root above it).  Ordinarily the old node keeps its highest half.  Because
 * the parent may split too and move the old node under another parent, the
 * path is then searched again from the root before the entry is placed;
 * both halves have room by then.  When appending, the node is cut where
 * the entry goes instead: the left node takes everything before it and,
 * while it has room, the entry too, and the old node keeps one entry - the
 * new key at the leaf, the rightmost child's entry above.  The parent's
 * insert counts as appending as well, so an ascending load leaves every
 * node but the last of each level full.
 *
 * Delete.  The entry is removed from its leaf; when it was the last one,
 * the ancestors' keys are lowered to the new greatest key first.  A node
 * losing its only entry is unlinked from its neighbours, put on the free
 * list and its entry deleted one level up; the root instead becomes an
 * empty leaf.  A root left with one child hands the root role to it.
 * Nodes are never merged or rebalanced.
 */
#include <stdlib.h>
#include "index/ixdint.h"

static USHORT insertAt(IX *ix, int level, const BYTE *entry, int appending);

ULONG ixdLowerBound(const IX *ix, BYTE *node, const BYTE *stored)
{
    ULONG lo = 0, hi = ixdCount(node);

    while (lo < hi) {
        ULONG mid = (lo + hi) / 2;
        if (ixdCmp(ix, ixdEntry(ix, node, mid), stored) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

/* Descends from the root to stopLevel, filling path[] on the way; the node
 * at stopLevel is left in buf and the first entry >= stored in *pos (the
 * count when there is none). */
USHORT ixdDescend(IX *ix, const BYTE *stored, int stopLevel, BYTE *buf, ULONG *pos)
{
    ULONG node = ix->hdr.root;

    for (int level = ix->hdr.height - 1; level >= stopLevel; level--) {
        USHORT rc = ixdNodeRead(ix, node, buf);
        ULONG count, at;
        if (rc)
            return rc;
        count = ixdCount(buf);
        at = ixdLowerBound(ix, buf, stored);
        ix->path[level] = node;
        if (level == stopLevel) {
            ix->pathIdx[level] = (USHORT)at;
            *pos = at;
            return 0;
        }
        if (count == 0)
            return IXD_ERR_BAD_FILE;   /* only the root leaf may be empty */
        if (at == count)
            at = count - 1;
        ix->pathIdx[level] = (USHORT)at;
        node = ixdEntryPtr(ix, buf, at);
    }
    return IXD_ERR_BAD_FILE;
}

static void setLinks(BYTE *node, ULONG prev, ULONG next)
{
    ixdPut32(node + IXD_NODE_PREV, prev);
    ixdPut32(node + IXD_NODE_NEXT, next);
}

/* Walks the whole free list once before the first node is taken from it:
 * every link must name a node of the file and the list cannot hold more
 * nodes than the file has, so a damaged link or a cycle is reported
 * instead of handing out a node that is still in use.  Uses nodeC. */
static USHORT checkFreeList(IX *ix)
{
    ULONG node = ix->hdr.freeHead, seen = 0;

    while (node != IXD_NONE) {
        USHORT rc;
        if (node >= ix->hdr.nNodes || ++seen > ix->hdr.nNodes)
            return IXD_ERR_BAD_FILE;
        rc = ixdNodeRead(ix, node, ix->nodeC);
        if (rc)
            return rc;
        node = ixdGet32(ix->nodeC);
    }
    ix->freeListChecked = 1;
    return 0;
}

/* Takes a node from the free list, else adds one at the end of the node
 * area (written empty).  Uses nodeC. */
static USHORT allocNode(IX *ix, ULONG *out)
{
    BYTE *buf = ix->nodeC;
    USHORT rc;

    if (ix->hdr.freeHead != IXD_NONE && !ix->freeListChecked &&
        (rc = checkFreeList(ix)) != 0)
        return rc;
    if (ix->hdr.freeHead != IXD_NONE) {
        ULONG node = ix->hdr.freeHead, next;
        rc = ixdNodeRead(ix, node, buf);
        if (rc)
            return rc;
        next = ixdGet32(buf);
        if (next != IXD_NONE && next >= ix->hdr.nNodes)
            return IXD_ERR_BAD_FILE;
        ix->hdr.freeHead = next;
        *out = node;
        return 0;
    }
    if (ix->hdr.nNodes == IXD_NONE)
        return IXD_ERR_IO;
    *out = ix->hdr.nNodes++;
    memset(buf, 0, ix->hdr.nodeSize);
    setLinks(buf, IXD_NONE, IXD_NONE);
    return ixdNodeWrite(ix, *out, buf);
}

static USHORT freeNode(IX *ix, ULONG node)
{
    USHORT rc = ixdNodeWriteLink(ix, node, ix->hdr.freeHead);

    if (rc == 0)
        ix->hdr.freeHead = node;
    return rc;
}

/* The entry of path[level] changed its key to key: copy it into the
 * ancestors as long as the changed entry is the last of its node (only
 * then did the node's greatest key change).  Uses nodeC. */
static USHORT setAncestorKeys(IX *ix, int level, const BYTE *key)
{
    for (int l = level + 1; l < ix->hdr.height; l++) {
        BYTE *buf = ix->nodeC;
        USHORT rc = ixdNodeRead(ix, ix->path[l], buf);
        ULONG at = ix->pathIdx[l];
        if (rc)
            return rc;
        if (at >= ixdCount(buf))
            return IXD_ERR_BAD_FILE;
        memcpy(ixdEntry(ix, buf, at), key, ix->hdr.storedKeyLen);
        rc = ixdNodeWrite(ix, ix->path[l], buf);
        if (rc)
            return rc;
        if (at + 1 != ixdCount(buf))
            break;
    }
    return 0;
}

/* Inserts entry at pos of a node with room (node is in buf) and writes it. */
static USHORT placeEntry(IX *ix, int level, BYTE *buf, ULONG pos, const BYTE *entry)
{
    ULONG count = ixdCount(buf), es = ixdEntrySize(ix);
    USHORT rc;

    if (count >= ix->hdr.maxEntries)
        return IXD_ERR_BAD_FILE;
    memmove(ixdEntry(ix, buf, pos + 1), ixdEntry(ix, buf, pos), (count - pos) * es);
    memcpy(ixdEntry(ix, buf, pos), entry, es);
    ixdPut16(buf + IXD_NODE_COUNT, (USHORT)(count + 1));
    rc = ixdNodeWrite(ix, ix->path[level], buf);
    if (rc == 0 && pos == count && level + 1 < ix->hdr.height)
        rc = setAncestorKeys(ix, level, entry);
    return rc;
}

static BYTE *copyEntry(IX *ix, BYTE *node, ULONG i, ULONG pointer)
{
    BYTE *e = (BYTE*)malloc(ixdEntrySize(ix));

    if (e) {
        memcpy(e, ixdEntry(ix, node, i), ix->hdr.storedKeyLen);
        ixdPut32(e + ix->hdr.storedKeyLen, pointer);
    }
    return e;
}

/* Puts a new root above the old one, holding the entry rootEntry. */
static USHORT growRoot(IX *ix, const BYTE *rootEntry)
{
    ULONG root;
    USHORT rc;

    if (ix->hdr.height >= IXD_MAX_HEIGHT)
        return IXD_ERR_TOO_DEEP;
    rc = allocNode(ix, &root);
    if (rc)
        return rc;
    memset(ix->nodeC, 0, ix->hdr.nodeSize);
    setLinks(ix->nodeC, IXD_NONE, IXD_NONE);
    ixdPut16(ix->nodeC + IXD_NODE_COUNT, 1);
    memcpy(ixdEntry(ix, ix->nodeC, 0), rootEntry, ixdEntrySize(ix));
    rc = ixdNodeWrite(ix, root, ix->nodeC);
    if (rc)
        return rc;
    ix->hdr.root = root;
    ix->path[ix->hdr.height] = root;
    ix->pathIdx[ix->hdr.height] = 0;
    ix->hdr.height++;
    return 0;
}

/* Splits the full node path[level] (in nodeA), whose new entry would go
 * to pos, and inserts the entry.
 *
 * Ordinary split: the old node keeps its highest maximum / 2 entries; the
 * entry is placed after the parent got its entry for the new left node.
 * Appending split (the insert adds behind everything, here or below):
 * the node is cut at pos and the entry placed at once - at the end of the
 * left node while that has room, else alone into the old node - so the
 * left node leaves full and the old one holds only what lies behind. */
static USHORT splitAndInsert(IX *ix, int level, ULONG pos, const BYTE *entry, int appending)
{
    BYTE *old = ix->nodeA, *left = ix->nodeB;
    ULONG oldNo = ix->path[level], leftNo, count = ixdCount(old), es = ixdEntrySize(ix);
    ULONG moved = appending ? pos : count - ix->hdr.maxEntries / 2u;
    ULONG keep = count - moved, leftCount = moved, prev = ixdGet32(old + IXD_NODE_PREV);
    int isRoot = level == ix->hdr.height - 1, newIsOldGreatest = 0;
    BYTE *parentEntry, *rootEntry = NULL;
    USHORT rc = allocNode(ix, &leftNo);

    if (rc)
        return rc;
    memset(left, 0, ix->hdr.nodeSize);
    setLinks(left, prev, oldNo);
    memcpy(ixdEntry(ix, left, 0), ixdEntry(ix, old, 0), moved * es);
    memmove(ixdEntry(ix, old, 0), ixdEntry(ix, old, moved), keep * es);
    memset(ixdEntry(ix, old, keep), 0, moved * es);
    if (appending && moved < ix->hdr.maxEntries) {
        memcpy(ixdEntry(ix, left, leftCount++), entry, es);
    } else if (appending) {
        memmove(ixdEntry(ix, old, 1), ixdEntry(ix, old, 0), keep * es);
        memcpy(ixdEntry(ix, old, 0), entry, es);
        newIsOldGreatest = keep++ == 0;
    }
    ixdPut16(left + IXD_NODE_COUNT, (USHORT)leftCount);
    ixdPut16(old + IXD_NODE_COUNT, (USHORT)keep);
    ixdPut32(old + IXD_NODE_PREV, leftNo);
    if (prev != IXD_NONE) {
        rc = ixdNodeRead(ix, prev, ix->nodeC);
        if (rc)
            return rc;
        ixdPut32(ix->nodeC + IXD_NODE_NEXT, leftNo);
        rc = ixdNodeWrite(ix, prev, ix->nodeC);
    }
    if (rc || (rc = ixdNodeWrite(ix, leftNo, left)) || (rc = ixdNodeWrite(ix, oldNo, old)))
        return rc;
    if (newIsOldGreatest && !isRoot && (rc = setAncestorKeys(ix, level, entry)) != 0)
        return rc;

    parentEntry = copyEntry(ix, left, leftCount - 1, leftNo);
    if (isRoot)
        rootEntry = copyEntry(ix, old, keep - 1, oldNo);
    if (!parentEntry || (isRoot && !rootEntry))
        rc = IXD_ERR_NO_MEMORY;
    else if (rootEntry)
        rc = growRoot(ix, rootEntry);
    if (rc == 0)
        rc = insertAt(ix, level + 1, parentEntry, appending);
    free(parentEntry);
    free(rootEntry);
    if (rc || appending)
        return rc;

    rc = ixdDescend(ix, entry, level, ix->nodeA, &pos);
    return rc ? rc : placeEntry(ix, level, ix->nodeA, pos, entry);
}

static USHORT insertAt(IX *ix, int level, const BYTE *entry, int appending)
{
    ULONG pos;
    USHORT rc = ixdNodeRead(ix, ix->path[level], ix->nodeA);

    if (rc)
        return rc;
    pos = ixdLowerBound(ix, ix->nodeA, entry);
    if (ixdCount(ix->nodeA) < ix->hdr.maxEntries)
        return placeEntry(ix, level, ix->nodeA, pos, entry);
    return splitAndInsert(ix, level, pos, entry, appending || pos == ixdCount(ix->nodeA));
}

/* True when an insert along the current path would split every node up
 * to a root that may not grow any more. */
static int wouldOverflow(IX *ix)
{
    if (ix->hdr.height < IXD_MAX_HEIGHT)
        return 0;
    for (int l = 0; l < ix->hdr.height; l++) {
        if (ixdNodeRead(ix, ix->path[l], ix->nodeC) != 0 ||
            ixdCount(ix->nodeC) < ix->hdr.maxEntries)
            return 0;
    }
    return 1;
}

USHORT ixdTreeEnter(IX *ix, const BYTE *stored)
{
    ULONG pos, k = ix->hdr.storedKeyLen;
    BYTE *entry = ix->work1;
    USHORT rc = ixdDescend(ix, stored, 0, ix->nodeA, &pos);

    if (rc)
        return rc;
    if (pos < ixdCount(ix->nodeA) && ixdCmp(ix, ixdEntry(ix, ix->nodeA, pos), stored) == 0)
        return IXD_ERR_DUPLICATE;
    if (wouldOverflow(ix))
        return IXD_ERR_TOO_DEEP;
    rc = ixdBeginChange(ix);
    if (rc)
        return rc;
    memcpy(entry, stored, k);
    memcpy(entry + k, stored + k - IXD_RECNO_LEN, IXD_PTR_LEN);
    rc = insertAt(ix, 0, entry, 0);
    if (rc)
        return rc;
    memcpy(ix->curKey, stored, k);
    ix->curKeyValid = 1;
    ix->hdr.nKeys++;
    return ixdEndChange(ix);
}

static USHORT unlinkNode(IX *ix, const BYTE *node)
{
    ULONG prev = ixdGet32(node + IXD_NODE_PREV), next = ixdGet32(node + IXD_NODE_NEXT);
    USHORT rc;

    if (prev != IXD_NONE) {
        if ((rc = ixdNodeRead(ix, prev, ix->nodeC)) != 0)
            return rc;
        ixdPut32(ix->nodeC + IXD_NODE_NEXT, next);
        if ((rc = ixdNodeWrite(ix, prev, ix->nodeC)) != 0)
            return rc;
    }
    if (next != IXD_NONE) {
        if ((rc = ixdNodeRead(ix, next, ix->nodeC)) != 0)
            return rc;
        ixdPut32(ix->nodeC + IXD_NODE_PREV, prev);
        if ((rc = ixdNodeWrite(ix, next, ix->nodeC)) != 0)
            return rc;
    }
    return 0;
}

/* Removes entry pathIdx[level] from node path[level]. */
static USHORT deleteAt(IX *ix, int level)
{
    BYTE *buf = ix->nodeA;
    ULONG node = ix->path[level], at = ix->pathIdx[level], count, es = ixdEntrySize(ix);
    int isRoot = level == ix->hdr.height - 1;
    USHORT rc = ixdNodeRead(ix, node, buf);

    if (rc)
        return rc;
    count = ixdCount(buf);
    if (at >= count)
        return IXD_ERR_BAD_FILE;
    if (count == 1) {
        if (isRoot) {
            memset(buf, 0, ix->hdr.nodeSize);
            setLinks(buf, IXD_NONE, IXD_NONE);
            ix->hdr.height = 1;
            return ixdNodeWrite(ix, node, buf);
        }
        if ((rc = unlinkNode(ix, buf)) != 0 || (rc = freeNode(ix, node)) != 0)
            return rc;
        return deleteAt(ix, level + 1);
    }
    if (at == count - 1 && !isRoot) {
        rc = setAncestorKeys(ix, level, ixdEntry(ix, buf, count - 2));
        if (rc)
            return rc;
    }
    memmove(ixdEntry(ix, buf, at), ixdEntry(ix, buf, at + 1), (count - at - 1) * es);
    memset(ixdEntry(ix, buf, count - 1), 0, es);
    ixdPut16(buf + IXD_NODE_COUNT, (USHORT)(count - 1));
    rc = ixdNodeWrite(ix, node, buf);
    if (rc == 0 && isRoot && count - 1 == 1 && ix->hdr.height >= 2) {
        ULONG child = ixdEntryPtr(ix, buf, 0);
        rc = freeNode(ix, node);
        if (rc == 0) {
            ix->hdr.root = child;
            ix->hdr.height--;
        }
    }
    return rc;
}

USHORT ixdTreeRemove(IX *ix, const BYTE *stored)
{
    ULONG pos;
    USHORT rc = ixdDescend(ix, stored, 0, ix->nodeA, &pos);

    if (rc)
        return rc;
    if (pos >= ixdCount(ix->nodeA) || ixdCmp(ix, ixdEntry(ix, ix->nodeA, pos), stored) != 0)
        return IXD_ERR_NOT_FOUND;
    rc = ixdBeginChange(ix);
    if (rc == 0)
        rc = deleteAt(ix, 0);
    if (rc)
        return rc;
    ix->hdr.nKeys--;
    return ixdEndChange(ix);
}
