/*
 * ixd_nav.cpp - ordered navigation in an Ixd index and prefix counting.
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
 * A node is looked at where the cache keeps it (nodeFetch), so whatever is
 * needed from it is taken before the next node is read.
 *
 * The caller holds the read lock and has synchronised the handle.
 */
#include "index/ixdint.h"

namespace orin::ixd {
namespace {

/* Makes (node, idx) of the leaf in buf the position and hands out its pair.
 * A leaf's pointer repeats the record number that ends its stored key; when
 * the two differ the leaf is damaged and no pair is handed out. */
USHORT settle(IX *ix, ULONG node, const BYTE *buf, ULONG idx, void *outKey, ULONG *record)
{
    const BYTE *e = entryAt(ix, buf, idx);

    ix->curNode = node;
    ix->curIndex = static_cast<LONG>(idx);
    ix->curKeyValid = 1;
    std::memcpy(ix->curKey.data(), e, ix->hdr.storedKeyLen);
    ULONG rec = entryPtr(ix, buf, idx);
    if (rec != get32(e + keyLength(ix)))
        return IXD_ERR_BAD_FILE;
    if (outKey)
        std::memcpy(outKey, e, keyLength(ix));
    if (record)
        *record = rec;
    return 0;
}

/* The leftmost or rightmost leaf; its number in *node, its bytes in *buf. */
USHORT edgeLeaf(IX *ix, bool last, ULONG *node, const BYTE **found)
{
    ULONG n = ix->hdr.root;

    for (int level = ix->hdr.height - 1;; level--) {
        BYTE *buf;
        USHORT rc = nodeFetch(ix, n, &buf);
        ULONG count;
        if (rc)
            return rc;
        *found = buf;
        count = countOf(buf);
        if (count == 0)
            return level == 0 ? IXD_ERR_NOT_FOUND : IXD_ERR_BAD_FILE;
        if (level == 0) {
            *node = n;
            return 0;
        }
        n = entryPtr(ix, buf, last ? count - 1 : 0);
    }
}

/* Remembers the stored key at idx, which a step is about to leave, in
 * work1; a search that ended behind a leaf's last entry leaves none. */
void noteLeft(IX *ix, const BYTE *buf, ULONG idx, bool *have)
{
    *have = idx < countOf(buf);
    if (*have)
        std::memcpy(ix->work1.data(), entryAt(ix, buf, idx), ix->hdr.storedKeyLen);
}

/* 0 when the entry a step reached lies strictly beyond the one it left in
 * the direction of travel, else the damage code. */
USHORT checkOrder(const IX *ix, bool have, const BYTE *reached, bool backwards)
{
    int c;

    if (!have)
        return 0;
    c = compareKeys(ix, reached, ix->work1.data());
    return (backwards ? c < 0 : c > 0) ? 0 : IXD_ERR_BAD_FILE;
}

/* Moves *buf to the bytes of the neighbouring leaf `to`; 0 when it has
 * entries. */
USHORT enterLeaf(IX *ix, ULONG to, const BYTE **buf)
{
    BYTE *bytes;
    USHORT rc = nodeFetch(ix, to, &bytes);

    if (rc)
        return rc;
    *buf = bytes;
    return countOf(bytes) == 0 ? IXD_ERR_BAD_FILE : 0;
}

/* The leaf entry before (node, idx): idx - 1, or the previous leaf's last. */
USHORT entryBefore(IX *ix, ULONG *node, const BYTE **buf, ULONG *idx)
{
    ULONG prev;
    USHORT rc;
    bool have;

    noteLeft(ix, *buf, *idx, &have);
    if (*idx > 0) {
        (*idx)--;
        return checkOrder(ix, have, entryAt(ix, *buf, *idx), true);
    }
    prev = get32(*buf + kNodePrev);
    if (prev == kNone)
        return IXD_ERR_NOT_FOUND;
    if ((rc = enterLeaf(ix, prev, buf)) != 0)
        return rc;
    *node = prev;
    *idx = countOf(*buf) - 1u;
    return checkOrder(ix, have, entryAt(ix, *buf, *idx), true);
}

/* The leaf entry after (node, idx). */
USHORT entryAfter(IX *ix, ULONG *node, const BYTE **buf, ULONG *idx)
{
    ULONG next;
    USHORT rc;
    bool have;

    noteLeft(ix, *buf, *idx, &have);
    if (*idx + 1 < countOf(*buf)) {
        (*idx)++;
        return checkOrder(ix, have, entryAt(ix, *buf, *idx), false);
    }
    next = get32(*buf + kNodeNext);
    if (next == kNone)
        return IXD_ERR_NOT_FOUND;
    if ((rc = enterLeaf(ix, next, buf)) != 0)
        return rc;
    *node = next;
    *idx = 0;
    return checkOrder(ix, have, entryAt(ix, *buf, *idx), false);
}

/* Finds the leaf entry for stored by mode; node, its bytes and index out. */
USHORT locate(IX *ix, const BYTE *stored, FindMode mode, ULONG *node, const BYTE **buf,
              ULONG *idx)
{
    ULONG pos;
    USHORT rc;

    if (mode == kFindFirst || mode == kFindLast) {
        rc = edgeLeaf(ix, mode == kFindLast, node, buf);
        *idx = rc ? 0 : (mode == kFindLast ? countOf(*buf) - 1u : 0);
        return rc;
    }
    BYTE *leaf;
    rc = descend(ix, stored, 0, &leaf, &pos);
    if (rc)
        return rc;
    *buf = leaf;
    *node = ix->path[0];
    *idx = pos;
    if (mode == kFindLe) {
        if (pos < countOf(leaf) && compareKeys(ix, entryAt(ix, leaf, pos), stored) == 0)
            return 0;
        return entryBefore(ix, node, buf, idx);
    }
    if (pos >= countOf(leaf))
        return IXD_ERR_NOT_FOUND;
    if (mode == kFindExact && compareKeys(ix, entryAt(ix, leaf, pos), stored) != 0)
        return IXD_ERR_NOT_FOUND;
    return 0;
}

}  // namespace

USHORT navSearch(IX *ix, const BYTE *stored, FindMode mode, void *outKey, ULONG *record)
{
    ULONG node, idx;
    const BYTE *buf;
    USHORT rc = locate(ix, stored, mode, &node, &buf, &idx);

    if (rc == 0)
        rc = settle(ix, node, buf, idx, outKey, record);
    return rc;
}

/* Brings back the position after a change.  When the key is still there
 * the position is simply refound (*stepped false); otherwise the neighbour
 * in the direction of travel becomes the position (*stepped true). */
namespace {

USHORT refind(IX *ix, bool backwards, ULONG *node, const BYTE **buf, ULONG *idx,
              bool *stepped)
{
    BYTE *leaf;
    ULONG pos;
    USHORT rc = descend(ix, ix->curKey.data(), 0, &leaf, &pos);

    if (rc)
        return rc;
    *buf = leaf;
    *node = ix->path[0];
    *idx = pos;
    *stepped = false;
    if (pos < countOf(leaf) && compareKeys(ix, entryAt(ix, leaf, pos), ix->curKey.data()) == 0)
        return 0;
    *stepped = true;
    if (backwards)
        return entryBefore(ix, node, buf, idx);
    return pos < countOf(leaf) ? 0 : IXD_ERR_NOT_FOUND;
}

}  // namespace

USHORT navStep(IX *ix, LONG count, void *outKey, ULONG *record, ULONG *warning)
{
    const BYTE *buf;
    ULONG node, idx;
    bool backwards = count < 0, stepped = false;
    LONG left = backwards ? -count : count;
    USHORT rc = 0;

    *warning = 0;
    if (!ix->curKeyValid)
        return IXD_ERR_NOT_FOUND;
    if (ix->curIndex < 0) {
        rc = refind(ix, backwards, &node, &buf, &idx, &stepped);
        if (rc)
            return rc;
    } else {
        BYTE *bytes;
        node = ix->curNode;
        idx = static_cast<ULONG>(ix->curIndex);
        if ((rc = nodeFetch(ix, node, &bytes)) != 0)
            return rc;
        buf = bytes;
        if (idx >= countOf(buf))
            return IXD_ERR_BAD_FILE;
    }
    if (stepped) {
        *warning = IXD_ERR_KEY_VANISHED;
        if (left > 0)
            left--;
    }
    while (left > 0 && rc == 0) {
        rc = backwards ? entryBefore(ix, &node, &buf, &idx) : entryAfter(ix, &node, &buf, &idx);
        if (rc == 0)
            left--;
    }
    if (rc == IXD_ERR_NOT_FOUND) {
        /* stopped at an end: the last pair reached stays the position */
        settle(ix, node, buf, idx, nullptr, nullptr);
        return rc;
    }
    if (rc == 0)
        rc = settle(ix, node, buf, idx, outKey, record);
    return rc;
}

USHORT navCountPrefix(IX *ix, std::span<const BYTE> prefix, ULONG *count)
{
    BYTE *probe = ix->work2.data();
    const BYTE *buf;
    ULONG node, idx;
    USHORT rc;

    *count = 0;
    if (prefix.size() > keyLength(ix))
        return 0;
    std::memset(probe, 0, ix->hdr.storedKeyLen);
    std::memcpy(probe, prefix.data(), prefix.size());
    rc = locate(ix, probe, kFindGe, &node, &buf, &idx);
    while (rc == 0 && std::memcmp(entryAt(ix, buf, idx), prefix.data(), prefix.size()) == 0) {
        (*count)++;
        rc = entryAfter(ix, &node, &buf, &idx);
    }
    return rc == IXD_ERR_NOT_FOUND ? 0 : rc;
}

}  // namespace orin::ixd
