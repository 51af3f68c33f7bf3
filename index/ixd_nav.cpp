/*
 * ixd_nav.c - ordered navigation in an Ixd index and prefix counting.
 *
 * A handle remembers its position as the leaf node, the entry index in it
 * and a copy of the stored key found there.  Searches position from the
 * root: "first >=" descends as for an insert and takes the leaf entry the
 * descent points at; "last <=" takes the entry before the first one that
 * is greater, stepping into the previous leaf when the descent ends at a
 * leaf's first entry.  Steps follow the leaf level's neighbour links.
 *
 * A step must land on a stored key strictly beyond the one it left (above
 * it forwards, below it backwards).  In a sound tree that always holds; in
 * a damaged one a neighbour link may point back into the walk, and the
 * order check turns what would be an endless walk into IXD_ERR_BAD_FILE.
 *
 * Every change (this handle's or, in shared mode, another process's) marks
 * the position stale while keeping the key.  The next step searches that
 * key again; when it has been removed meanwhile, moving to its neighbour
 * counts as the first step and the call reports IXD_ERR_KEY_VANISHED along
 * with the pair it reached.
 *
 * The caller holds the read lock and has synchronised the handle.
 */
#include "index/ixdint.h"

static ULONG keyLength(const IX *ix)
{
    return ix->hdr.storedKeyLen - IXD_RECNO_LEN;
}

/* Makes (node, idx) of the leaf in buf the position and hands out its pair. */
static void settle(IX *ix, ULONG node, BYTE *buf, ULONG idx, void *outKey, ULONG *record)
{
    const BYTE *e = ixdEntry(ix, buf, idx);

    ix->curNode = node;
    ix->curIndex = (LONG)idx;
    ix->curKeyValid = 1;
    memcpy(ix->curKey, e, ix->hdr.storedKeyLen);
    if (outKey)
        memcpy(outKey, e, keyLength(ix));
    if (record)
        *record = ixdEntryPtr(ix, buf, idx);
}

/* The leftmost or rightmost leaf; its number in *node, content in buf. */
static USHORT edgeLeaf(IX *ix, int last, ULONG *node, BYTE *buf)
{
    ULONG n = ix->hdr.root;

    for (int level = ix->hdr.height - 1;; level--) {
        USHORT rc = ixdNodeRead(ix, n, buf);
        ULONG count;
        if (rc)
            return rc;
        count = ixdCount(buf);
        if (count == 0)
            return level == 0 ? IXD_ERR_NOT_FOUND : IXD_ERR_BAD_FILE;
        if (level == 0) {
            *node = n;
            return 0;
        }
        n = ixdEntryPtr(ix, buf, last ? count - 1 : 0);
    }
}

/* Remembers the stored key at idx, which a step is about to leave, in
 * work1; a search that ended behind a leaf's last entry leaves none. */
static void noteLeft(IX *ix, BYTE *buf, ULONG idx, int *have)
{
    *have = idx < ixdCount(buf);
    if (*have)
        memcpy(ix->work1, ixdEntry(ix, buf, idx), ix->hdr.storedKeyLen);
}

/* 0 when the entry a step reached lies strictly beyond the one it left in
 * the direction of travel, else the damage code. */
static USHORT checkOrder(const IX *ix, int have, const BYTE *reached, int backwards)
{
    int c;

    if (!have)
        return 0;
    c = ixdCmp(ix, reached, ix->work1);
    return (backwards ? c < 0 : c > 0) ? 0 : IXD_ERR_BAD_FILE;
}

/* The leaf entry before (node, idx): idx - 1, or the previous leaf's last. */
static USHORT entryBefore(IX *ix, ULONG *node, BYTE *buf, ULONG *idx)
{
    ULONG prev;
    USHORT rc;
    int have;

    noteLeft(ix, buf, *idx, &have);
    if (*idx > 0) {
        (*idx)--;
        return checkOrder(ix, have, ixdEntry(ix, buf, *idx), 1);
    }
    prev = ixdGet32(buf + IXD_NODE_PREV);
    if (prev == IXD_NONE)
        return IXD_ERR_NOT_FOUND;
    if ((rc = ixdNodeRead(ix, prev, buf)) != 0)
        return rc;
    if (ixdCount(buf) == 0)
        return IXD_ERR_BAD_FILE;
    *node = prev;
    *idx = ixdCount(buf) - 1u;
    return checkOrder(ix, have, ixdEntry(ix, buf, *idx), 1);
}

/* The leaf entry after (node, idx). */
static USHORT entryAfter(IX *ix, ULONG *node, BYTE *buf, ULONG *idx)
{
    ULONG next;
    USHORT rc;
    int have;

    noteLeft(ix, buf, *idx, &have);
    if (*idx + 1 < ixdCount(buf)) {
        (*idx)++;
        return checkOrder(ix, have, ixdEntry(ix, buf, *idx), 0);
    }
    next = ixdGet32(buf + IXD_NODE_NEXT);
    if (next == IXD_NONE)
        return IXD_ERR_NOT_FOUND;
    if ((rc = ixdNodeRead(ix, next, buf)) != 0)
        return rc;
    if (ixdCount(buf) == 0)
        return IXD_ERR_BAD_FILE;
    *node = next;
    *idx = 0;
    return checkOrder(ix, have, ixdEntry(ix, buf, *idx), 0);
}

/* Finds the leaf entry for stored by mode; node, buffer and index out. */
static USHORT locate(IX *ix, const BYTE *stored, int mode, ULONG *node, BYTE *buf, ULONG *idx)
{
    ULONG pos;
    USHORT rc;

    if (mode == IXD_FIND_FIRST || mode == IXD_FIND_LAST) {
        rc = edgeLeaf(ix, mode == IXD_FIND_LAST, node, buf);
        *idx = rc ? 0 : (mode == IXD_FIND_LAST ? ixdCount(buf) - 1u : 0);
        return rc;
    }
    rc = ixdDescend(ix, stored, 0, buf, &pos);
    if (rc)
        return rc;
    *node = ix->path[0];
    *idx = pos;
    if (mode == IXD_FIND_LE) {
        if (pos < ixdCount(buf) && ixdCmp(ix, ixdEntry(ix, buf, pos), stored) == 0)
            return 0;
        return entryBefore(ix, node, buf, idx);
    }
    if (pos >= ixdCount(buf))
        return IXD_ERR_NOT_FOUND;
    if (mode == IXD_FIND_EXACT && ixdCmp(ix, ixdEntry(ix, buf, pos), stored) != 0)
        return IXD_ERR_NOT_FOUND;
    return 0;
}

USHORT ixdNavSearch(IX *ix, const BYTE *stored, int mode, void *outKey, ULONG *record)
{
    ULONG node, idx;
    USHORT rc = locate(ix, stored, mode, &node, ix->nodeA, &idx);

    if (rc == 0)
        settle(ix, node, ix->nodeA, idx, outKey, record);
    return rc;
}

/* Brings back the position after a change.  When the key is still there
 * the position is simply refound (*stepped = 0); otherwise the neighbour
 * in the direction of travel becomes the position (*stepped = 1). */
static USHORT refind(IX *ix, int backwards, ULONG *node, ULONG *idx, int *stepped)
{
    BYTE *buf = ix->nodeA;
    ULONG pos;
    USHORT rc = ixdDescend(ix, ix->curKey, 0, buf, &pos);

    if (rc)
        return rc;
    *node = ix->path[0];
    *idx = pos;
    *stepped = 0;
    if (pos < ixdCount(buf) && ixdCmp(ix, ixdEntry(ix, buf, pos), ix->curKey) == 0)
        return 0;
    *stepped = 1;
    if (backwards)
        return entryBefore(ix, node, buf, idx);
    return pos < ixdCount(buf) ? 0 : IXD_ERR_NOT_FOUND;
}

USHORT ixdNavStep(IX *ix, LONG count, void *outKey, ULONG *record, ULONG *warning)
{
    BYTE *buf = ix->nodeA;
    ULONG node, idx;
    int backwards = count < 0, stepped = 0;
    LONG left = backwards ? -count : count;
    USHORT rc = 0;

    *warning = 0;
    if (!ix->curKeyValid)
        return IXD_ERR_NOT_FOUND;
    if (ix->curIndex < 0) {
        rc = refind(ix, backwards, &node, &idx, &stepped);
        if (rc)
            return rc;
    } else {
        node = ix->curNode;
        idx = (ULONG)ix->curIndex;
        if ((rc = ixdNodeRead(ix, node, buf)) != 0)
            return rc;
        if (idx >= ixdCount(buf))
            return IXD_ERR_BAD_FILE;
    }
    if (stepped) {
        *warning = IXD_ERR_KEY_VANISHED;
        if (left > 0)
            left--;
    }
    while (left > 0 && rc == 0) {
        rc = backwards ? entryBefore(ix, &node, buf, &idx) : entryAfter(ix, &node, buf, &idx);
        if (rc == 0)
            left--;
    }
    if (rc == IXD_ERR_NOT_FOUND) {
        /* stopped at an end: the last pair reached stays the position */
        settle(ix, node, buf, idx, NULL, NULL);
        return rc;
    }
    if (rc == 0)
        settle(ix, node, buf, idx, outKey, record);
    return rc;
}

USHORT ixdNavCountPrefix(IX *ix, const BYTE *prefix, ULONG prefixLen, ULONG *count)
{
    BYTE *buf = ix->nodeA, *probe = ix->work2;
    ULONG node, idx;
    USHORT rc;

    *count = 0;
    if (prefixLen > keyLength(ix))
        return 0;
    memset(probe, 0, ix->hdr.storedKeyLen);
    memcpy(probe, prefix, prefixLen);
    rc = locate(ix, probe, IXD_FIND_GE, &node, buf, &idx);
    while (rc == 0 && memcmp(ixdEntry(ix, buf, idx), prefix, prefixLen) == 0) {
        (*count)++;
        rc = entryAfter(ix, &node, buf, &idx);
    }
    return rc == IXD_ERR_NOT_FOUND ? 0 : rc;
}
