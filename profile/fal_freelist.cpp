/*
 * fal_freelist.cpp - the free lists of a FAL file: pushing a freed block,
 * finding a free block for a new one with the file's fit strategy,
 * unlinking it and splitting off a tail that is worth keeping.
 *
 * Each list is a chain through the first four data bytes of its free
 * blocks, newest first; its head and length live in the file header.  A
 * search walks a chain block by block, reading each header and link.
 */
#include <string.h>
#include "profile/falint.h"

constexpr ULONG SPLIT_SLACK = 247;              /* split when round_down(g + 247, g) remains */

/* Reads the link word of a free block. */
static USHORT readLink(HFAL h, const FALDESC *d, ULONG *next)
{
    return falReadAt(h, d->dataOffset, next, sizeof *next);
}

static USHORT writeLink(HFAL h, ULONG dataOffset, ULONG next)
{
    return falWriteAt(h, dataOffset, &next, sizeof next);
}

/* Turns block d (id) into a free block at the head of its list. */
USHORT falPushFree(HFAL h, ULONG id, FALDESC *d)
{
    int list = falIsFixed(h) ? 0 : falListFor(d->totalSize);
    USHORT rc;
    falFillHeader(d, FAL_TYPE_FREE, d->hdr.usedLength < FAL_MIN_USED_FREE
               ? FAL_MIN_USED_FREE : d->hdr.usedLength, d->hdr.totalSize);
    rc = falWriteBlockHeader(h, id, d);
    if (!rc)
        rc = writeLink(h, d->dataOffset, h->hdr.freeHead[list]);
    if (!rc) {
        h->hdr.freeHead[list] = id;
        h->hdr.freeCount[list]++;
    }
    return rc;
}

/* True when a block of this total size ends the search at once. */
static BOOL closeEnough(HFAL h, ULONG total, ULONG needed)
{
    ULONG g = h->granularity, hl = falHeaderLength(h);
    return total <= falRoundUp(needed + hl, g) - hl;
}

/* Walks list i for a block of at least `needed` bytes with the file's fit
 * strategy.  Returns 0 with pick->id 0 when nothing qualifies. */
static USHORT searchList(HFAL h, int i, ULONG needed, BOOL worstPass, FALPICK *pick)
{
    USHORT flags = h->hdr.falFlags;
    ULONG prev = 0, cur = h->hdr.freeHead[i], seen = 0;
    FALPICK cand;

    memset(&cand, 0, sizeof cand);
    pick->id = 0;
    while (cur) {
        FALDESC d;
        ULONG next;
        USHORT rc;
        if (++seen > h->hdr.freeCount[i])
            return FAL_ERR_FREELIST;
        rc = falDescribe(h, cur, &d);
        if (!rc && d.hdr.type != FAL_TYPE_FREE)
            rc = FAL_ERR_FREELIST;
        if (!rc)
            rc = readLink(h, &d, &next);
        if (rc)
            return rc == FAL_ERR_BEYONDEND || rc == FAL_ERR_SIGNATURE ? FAL_ERR_FREELIST : rc;
        if (d.totalSize >= needed) {
            BOOL better = !cand.id
                || ((flags & FAL_BEST_FIT) && d.totalSize < cand.d.totalSize)
                || (worstPass && (flags & FAL_WORST_FIT) && d.totalSize > cand.d.totalSize);
            if (!worstPass && (flags & FAL_FIRST_FIT)) {
                better = TRUE;
            } else if (!worstPass && (flags & (FAL_BEST_FIT | FAL_EXACT_FIT))
                       && closeEnough(h, d.totalSize, needed)) {
                cand.id = cur; cand.prev = prev; cand.next = next; cand.d = d;
                break;
            }
            if (better) {
                cand.id = cur; cand.prev = prev; cand.next = next; cand.d = d;
                if (!worstPass && (flags & FAL_FIRST_FIT))
                    break;
            }
        }
        prev = cur;
        cur = next;
    }
    *pick = cand;
    return 0;
}

static USHORT unlink(HFAL h, int i, const FALPICK *p)
{
    if (p->prev) {
        FALDESC pd;
        USHORT rc = falDescribe(h, p->prev, &pd);
        if (!rc)
            rc = writeLink(h, pd.dataOffset, p->next);
        if (rc)
            return rc;
    } else {
        h->hdr.freeHead[i] = p->next;
    }
    h->hdr.freeCount[i]--;
    return 0;
}

/* Searches free list i (when its blocks can be large enough) and takes
 * the block it picks; *ended says whether the search is over, with a
 * block taken or an error. */
static USHORT takeFromList(HFAL h, int i, ULONG needed, BOOL worst, FALPICK *pick, bool *ended)
{
    *ended = false;
    if (falListClass[i] < needed || !h->hdr.freeHead[i])
        return 0;
    USHORT rc = searchList(h, i, needed, worst, pick);
    if (rc == 0 && pick->id == 0)
        return 0;
    *ended = true;
    return rc != 0 ? rc : unlink(h, i, pick);
}

USHORT falFindFree(HFAL h, ULONG needed, FALPICK *pick)
{
    USHORT flags = h->hdr.falFlags;
    bool ended;
    USHORT rc;

    pick->id = 0;
    if (flags & (FAL_BEST_FIT | FAL_FIRST_FIT | FAL_EXACT_FIT))
        for (int i = 0; i < FAL_LIST_COUNT; i++) {
            rc = takeFromList(h, i, needed, FALSE, pick, &ended);
            if (ended)
                return rc;
        }
    if (flags & FAL_WORST_FIT)
        for (int i = FAL_LIST_COUNT - 1; i >= 0; i--) {
            rc = takeFromList(h, i, needed, TRUE, pick, &ended);
            if (ended)
                return rc;
        }
    return 0;
}

/* Fixed mode: list 0 is a stack, its head is taken. */
USHORT falPopFixed(HFAL h, FALPICK *pick)
{
    USHORT rc;
    pick->id = h->hdr.freeHead[0];
    if (!pick->id)
        return 0;
    if (h->hdr.freeCount[0] == 0)
        return FAL_ERR_FREELIST;
    rc = falDescribe(h, pick->id, &pick->d);
    if (!rc && pick->d.hdr.type != FAL_TYPE_FREE)
        rc = FAL_ERR_FREELIST;
    if (!rc)
        rc = readLink(h, &pick->d, &pick->next);
    if (rc) {
        pick->id = 0;
        return rc == FAL_ERR_BEYONDEND || rc == FAL_ERR_SIGNATURE ? FAL_ERR_FREELIST : rc;
    }
    pick->prev = 0;
    return unlink(h, 0, pick);
}

/* Splits the tail off a taken free block when enough would remain. */
USHORT falSplitTail(HFAL h, FALPICK *p, ULONG needed)
{
    ULONG g = h->granularity;
    ULONG excess = p->d.totalSize - needed;
    FALDESC tail;

    if (excess < (g + SPLIT_SLACK) / g * g)
        return 0;
    memset(&tail, 0, sizeof tail);
    tail.headerLength = FAL_HDR_VARIABLE;
    tail.headerOffset = p->d.headerOffset + needed;
    tail.dataOffset = tail.headerOffset + FAL_HDR_VARIABLE;
    tail.totalSize = excess;
    tail.capacity = excess - FAL_HDR_VARIABLE;
    falFillHeader(&tail, FAL_TYPE_FREE, FAL_MIN_USED_FREE, excess);
    p->d.totalSize = needed;
    p->d.capacity = needed - FAL_HDR_VARIABLE;
    return falPushFree(h, tail.dataOffset, &tail);
}

