/*
 * ixd_tree.cpp - inserting and deleting pairs in an Ixd B-tree.
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
#include <new>
#include "index/ixdint.h"

namespace orin::ixd {
namespace {

USHORT insertAt(IX *ix, int level, const BYTE *entry, bool appending);

}  // namespace

ULONG lowerBound(const IX *ix, const BYTE *node, const BYTE *stored)
{
    ULONG lo = 0, hi = countOf(node);

    while (lo < hi) {
        ULONG mid = (lo + hi) / 2;
        if (compareKeys(ix, entryAt(ix, node, mid), stored) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

/* Descends from the root to stopLevel, filling path[] on the way; the node
 * at stopLevel is left in *found (as nodeFetch gives it) and the first
 * entry >= stored in *pos (the count when there is none). */
USHORT descend(IX *ix, const BYTE *stored, int stopLevel, BYTE **found, ULONG *pos)
{
    ULONG node = ix->hdr.root;

    for (int level = ix->hdr.height - 1; level >= stopLevel; level--) {
        BYTE *buf;
        USHORT rc = nodeFetch(ix, node, &buf);
        ULONG count, at;
        if (rc)
            return rc;
        count = countOf(buf);
        at = lowerBound(ix, buf, stored);
        ix->path[level] = node;
        if (level == stopLevel) {
            ix->pathIdx[level] = static_cast<USHORT>(at);
            *found = buf;
            *pos = at;
            return 0;
        }
        if (count == 0)
            return IXD_ERR_BAD_FILE;   /* only the root leaf may be empty */
        if (at == count)
            at = count - 1;
        ix->pathIdx[level] = static_cast<USHORT>(at);
        node = entryPtr(ix, buf, at);
    }
    return IXD_ERR_BAD_FILE;
}

namespace {

void setLinks(BYTE *node, ULONG prev, ULONG next)
{
    put32(node + kNodePrev, prev);
    put32(node + kNodeNext, next);
}

/* Points one link (kNodePrev or kNodeNext) of a neighbour on the same
 * level at `to`. */
USHORT setNeighbourLink(IX *ix, ULONG node, ULONG field, ULONG to)
{
    BYTE *buf;
    USHORT rc = nodeFetch(ix, node, &buf);

    if (rc)
        return rc;
    put32(buf + field, to);
    return nodeWrite(ix, node, buf);
}

/* Walks the whole free list once before the first node is taken from it:
 * every link must name a node of the file and the list cannot hold more
 * nodes than the file has, so a damaged link or a cycle is reported
 * instead of handing out a node that is still in use. */
USHORT checkFreeList(IX *ix)
{
    ULONG node = ix->hdr.freeHead, seen = 0;

    while (node != kNone) {
        BYTE *buf;
        USHORT rc;
        if (node >= ix->hdr.nNodes || ++seen > ix->hdr.nNodes)
            return IXD_ERR_BAD_FILE;
        rc = nodeFetch(ix, node, &buf);
        if (rc)
            return rc;
        node = get32(buf);
    }
    ix->freeListChecked = 1;
    return 0;
}

/* Takes a node from the free list, else adds one at the end of the node
 * area (written empty).  Uses nodeC. */
USHORT allocNode(IX *ix, ULONG *out)
{
    BYTE *buf = ix->nodeC.data();
    USHORT rc;

    if (ix->hdr.freeHead != kNone && !ix->freeListChecked &&
        (rc = checkFreeList(ix)) != 0)
        return rc;
    if (ix->hdr.freeHead != kNone) {
        ULONG node = ix->hdr.freeHead, next;
        BYTE *freed;
        rc = nodeFetch(ix, node, &freed);
        if (rc)
            return rc;
        next = get32(freed);
        if (next != kNone && next >= ix->hdr.nNodes)
            return IXD_ERR_BAD_FILE;
        ix->hdr.freeHead = next;
        *out = node;
        return 0;
    }
    if (ix->hdr.nNodes == kNone)
        return IXD_ERR_IO;
    *out = ix->hdr.nNodes++;
    std::memset(buf, 0, ix->hdr.nodeSize);
    setLinks(buf, kNone, kNone);
    return nodeWrite(ix, *out, buf);
}

USHORT freeNode(IX *ix, ULONG node)
{
    USHORT rc = nodeWriteLink(ix, node, ix->hdr.freeHead);

    if (rc == 0)
        ix->hdr.freeHead = node;
    return rc;
}

/* The entry of path[level] changed its key to key: copy it into the
 * ancestors as long as the changed entry is the last of its node (only
 * then did the node's greatest key change).  key must not lie in the
 * cache: it has to outlive the ancestors' reads. */
USHORT setAncestorKeys(IX *ix, int level, const BYTE *key)
{
    for (int l = level + 1; l < ix->hdr.height; l++) {
        BYTE *buf;
        USHORT rc = nodeFetch(ix, ix->path[l], &buf);
        ULONG at = ix->pathIdx[l];
        if (rc)
            return rc;
        if (at >= countOf(buf))
            return IXD_ERR_BAD_FILE;
        bool last = at + 1 == countOf(buf);
        std::memcpy(entryAt(ix, buf, at), key, ix->hdr.storedKeyLen);
        rc = nodeWrite(ix, ix->path[l], buf);
        if (rc)
            return rc;
        if (!last)
            break;
    }
    return 0;
}

/* Inserts entry at pos of a node with room (node is in buf, which may be
 * its fetched bytes) and writes it. */
USHORT placeEntry(IX *ix, int level, BYTE *buf, ULONG pos, const BYTE *entry)
{
    ULONG count = countOf(buf), es = entrySize(ix);
    USHORT rc;

    if (count >= ix->hdr.maxEntries)
        return IXD_ERR_BAD_FILE;
    std::memmove(entryAt(ix, buf, pos + 1), entryAt(ix, buf, pos), (count - pos) * es);
    std::memcpy(entryAt(ix, buf, pos), entry, es);
    put16(buf + kNodeCount, static_cast<USHORT>(count + 1));
    rc = nodeWrite(ix, ix->path[level], buf);
    if (rc == 0 && pos == count && level + 1 < ix->hdr.height)
        rc = setAncestorKeys(ix, level, entry);
    return rc;
}

static /* Entry i of node with its pointer replaced; empty when out of memory. */
std::vector<BYTE> copyEntry(IX *ix, BYTE *node, ULONG i, ULONG pointer) noexcept
{
    try {
        std::vector<BYTE> e(entrySize(ix));
        std::memcpy(e.data(), entryAt(ix, node, i), ix->hdr.storedKeyLen);
        put32(e.data() + ix->hdr.storedKeyLen, pointer);
        return e;
    } catch (const std::bad_alloc &) {
        return {};
    }
}

/* Puts a new root above the old one, holding the entry rootEntry. */
USHORT growRoot(IX *ix, const BYTE *rootEntry)
{
    ULONG root;
    USHORT rc;

    if (ix->hdr.height >= IXD_MAX_HEIGHT)
        return IXD_ERR_TOO_DEEP;
    rc = allocNode(ix, &root);
    if (rc)
        return rc;
    std::memset(ix->nodeC.data(), 0, ix->hdr.nodeSize);
    setLinks(ix->nodeC.data(), kNone, kNone);
    put16(ix->nodeC.data() + kNodeCount, 1);
    std::memcpy(entryAt(ix, ix->nodeC.data(), 0), rootEntry, entrySize(ix));
    rc = nodeWrite(ix, root, ix->nodeC.data());
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
USHORT splitAndInsert(IX *ix, int level, ULONG pos, const BYTE *entry, bool appending)
{
    BYTE *old = ix->nodeA.data(), *left = ix->nodeB.data();
    ULONG oldNo = ix->path[level], leftNo, count = countOf(old), es = entrySize(ix);
    ULONG moved = appending ? pos : count - ix->hdr.maxEntries / 2u;
    ULONG keep = count - moved, leftCount = moved, prev = get32(old + kNodePrev);
    bool isRoot = level == ix->hdr.height - 1, newIsOldGreatest = false;
    USHORT rc = allocNode(ix, &leftNo);

    if (rc)
        return rc;
    std::memset(left, 0, ix->hdr.nodeSize);
    setLinks(left, prev, oldNo);
    std::memcpy(entryAt(ix, left, 0), entryAt(ix, old, 0), moved * es);
    std::memmove(entryAt(ix, old, 0), entryAt(ix, old, moved), keep * es);
    std::memset(entryAt(ix, old, keep), 0, moved * es);
    if (appending && moved < ix->hdr.maxEntries) {
        std::memcpy(entryAt(ix, left, leftCount++), entry, es);
    } else if (appending) {
        std::memmove(entryAt(ix, old, 1), entryAt(ix, old, 0), keep * es);
        std::memcpy(entryAt(ix, old, 0), entry, es);
        newIsOldGreatest = keep++ == 0;
    }
    put16(left + kNodeCount, static_cast<USHORT>(leftCount));
    put16(old + kNodeCount, static_cast<USHORT>(keep));
    put32(old + kNodePrev, leftNo);
    if (prev != kNone)
        rc = setNeighbourLink(ix, prev, kNodeNext, leftNo);
    if (rc || (rc = nodeWrite(ix, leftNo, left)) || (rc = nodeWrite(ix, oldNo, old)))
        return rc;
    if (newIsOldGreatest && !isRoot && (rc = setAncestorKeys(ix, level, entry)) != 0)
        return rc;

    std::vector<BYTE> parentEntry = copyEntry(ix, left, leftCount - 1, leftNo);
    std::vector<BYTE> rootEntry;
    if (isRoot)
        rootEntry = copyEntry(ix, old, keep - 1, oldNo);
    if (parentEntry.empty() || (isRoot && rootEntry.empty()))
        return IXD_ERR_NO_MEMORY;
    if (isRoot && (rc = growRoot(ix, rootEntry.data())) != 0)
        return rc;
    rc = insertAt(ix, level + 1, parentEntry.data(), appending);
    if (rc || appending)
        return rc;

    BYTE *node;
    rc = descend(ix, entry, level, &node, &pos);
    return rc ? rc : placeEntry(ix, level, node, pos, entry);
}

/* A node with room takes the entry in place; a full one is split from a
 * copy in nodeA, as the split reads and writes other nodes meanwhile. */
USHORT insertAt(IX *ix, int level, const BYTE *entry, bool appending)
{
    BYTE *node;
    ULONG pos, count;
    USHORT rc = nodeFetch(ix, ix->path[level], &node);

    if (rc)
        return rc;
    pos = lowerBound(ix, node, entry);
    count = countOf(node);
    if (count < ix->hdr.maxEntries)
        return placeEntry(ix, level, node, pos, entry);
    std::memcpy(ix->nodeA.data(), node, ix->hdr.nodeSize);
    return splitAndInsert(ix, level, pos, entry, appending || pos == count);
}

/* True when an insert along the current path would split every node up
 * to a root that may not grow any more. */
bool wouldOverflow(IX *ix)
{
    if (ix->hdr.height < IXD_MAX_HEIGHT)
        return 0;
    for (int l = 0; l < ix->hdr.height; l++) {
        BYTE *node;
        if (nodeFetch(ix, ix->path[l], &node) != 0 || countOf(node) < ix->hdr.maxEntries)
            return 0;
    }
    return 1;
}

}  // namespace

USHORT treeEnter(IX *ix, const BYTE *stored)
{
    ULONG pos, k = ix->hdr.storedKeyLen;
    BYTE *entry = ix->work1.data(), *leaf;
    USHORT rc = descend(ix, stored, 0, &leaf, &pos);

    if (rc)
        return rc;
    if (pos < countOf(leaf) && compareKeys(ix, entryAt(ix, leaf, pos), stored) == 0)
        return IXD_ERR_DUPLICATE;
    if (wouldOverflow(ix))
        return IXD_ERR_TOO_DEEP;
    PendingChange change(ix);
    rc = change.begin();
    if (rc)
        return rc;
    std::memcpy(entry, stored, k);
    std::memcpy(entry + k, stored + k - kRecnoLen, kPtrLen);
    rc = insertAt(ix, 0, entry, false);
    if (rc)
        return rc;    // the change stays marked: the file is inconsistent
    std::memcpy(ix->curKey.data(), stored, k);
    ix->curKeyValid = 1;
    ix->hdr.nKeys++;
    return change.commit();
}

namespace {

USHORT unlinkNode(IX *ix, const BYTE *node)
{
    ULONG prev = get32(node + kNodePrev), next = get32(node + kNodeNext);
    USHORT rc;

    if (prev != kNone && (rc = setNeighbourLink(ix, prev, kNodeNext, next)) != 0)
        return rc;
    if (next != kNone && (rc = setNeighbourLink(ix, next, kNodePrev, prev)) != 0)
        return rc;
    return 0;
}

/* Removes entry pathIdx[level] from node path[level], editing the node in
 * place unless the ancestors must be read first. */
USHORT deleteAt(IX *ix, int level)
{
    BYTE *buf;
    ULONG node = ix->path[level], at = ix->pathIdx[level], count, es = entrySize(ix);
    int isRoot = level == ix->hdr.height - 1;
    USHORT rc = nodeFetch(ix, node, &buf);

    if (rc)
        return rc;
    count = countOf(buf);
    if (at >= count)
        return IXD_ERR_BAD_FILE;
    if (count == 1) {
        if (isRoot) {
            std::memset(buf, 0, ix->hdr.nodeSize);
            setLinks(buf, kNone, kNone);
            ix->hdr.height = 1;
            return nodeWrite(ix, node, buf);
        }
        if ((rc = unlinkNode(ix, buf)) != 0 || (rc = freeNode(ix, node)) != 0)
            return rc;
        return deleteAt(ix, level + 1);
    }
    if (at == count - 1 && !isRoot) {
        /* the ancestors' reads may give the node's slot away */
        std::memcpy(ix->nodeA.data(), buf, ix->hdr.nodeSize);
        buf = ix->nodeA.data();
        rc = setAncestorKeys(ix, level, entryAt(ix, buf, count - 2));
        if (rc)
            return rc;
    }
    std::memmove(entryAt(ix, buf, at), entryAt(ix, buf, at + 1), (count - at - 1) * es);
    std::memset(entryAt(ix, buf, count - 1), 0, es);
    put16(buf + kNodeCount, static_cast<USHORT>(count - 1));
    ULONG child = entryPtr(ix, buf, 0);
    rc = nodeWrite(ix, node, buf);
    if (rc == 0 && isRoot && count - 1 == 1 && ix->hdr.height >= 2) {
        rc = freeNode(ix, node);
        if (rc == 0) {
            ix->hdr.root = child;
            ix->hdr.height--;
        }
    }
    return rc;
}

}  // namespace

USHORT treeRemove(IX *ix, const BYTE *stored)
{
    ULONG pos;
    BYTE *leaf;
    USHORT rc = descend(ix, stored, 0, &leaf, &pos);

    if (rc)
        return rc;
    if (pos >= countOf(leaf) || compareKeys(ix, entryAt(ix, leaf, pos), stored) != 0)
        return IXD_ERR_NOT_FOUND;
    PendingChange change(ix);
    rc = change.begin();
    if (rc == 0)
        rc = deleteAt(ix, 0);
    if (rc)
        return rc;    // the change stays marked: the file is inconsistent
    ix->hdr.nKeys--;
    return change.commit();
}

}  // namespace orin::ixd
