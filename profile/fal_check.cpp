/*
 * fal_check.c - consistency check of a FAL file.
 *
 * First every free list is walked and the extent of each free block
 * (header offset to header offset + total size - 1) collected; a chain
 * longer than its count or extents that overlap mean a corrupt free list.
 * Then the blocks are walked from the first block to the end of the file:
 * each header must carry a known type and the signature, a free block must
 * be exactly one of the collected extents, and a used block must be none
 * and must not overlap one.  A block cut off by the end of the file ends
 * the walk.
 */
#include <stdlib.h>
#include "profile/falint.h"

typedef struct {
    ULONG first, last;
} EXTENT;

typedef struct {
    EXTENT *items;
    ULONG count, capacity;
} EXTENTS;

static int compareExtents(const void *a, const void *b)
{
    const EXTENT *x = (const EXTENT *)a, *y = (const EXTENT *)b;
    return x->first < y->first ? -1 : x->first > y->first;
}

static USHORT addExtent(EXTENTS *e, ULONG first, ULONG last)
{
    if (e->count == e->capacity) {
        ULONG cap = e->capacity ? e->capacity * 2 : 64;
        EXTENT *p = (EXTENT *)realloc(e->items, cap * sizeof *p);
        if (!p)
            return ORIN_ERR_NO_MEMORY;
        e->items = p;
        e->capacity = cap;
    }
    e->items[e->count].first = first;
    e->items[e->count].last = last;
    e->count++;
    return 0;
}

static USHORT collectFreeExtents(HFAL h, EXTENTS *e)
{
    int lists = (h->hdr.falFlags & FAL_FIXED) ? 1 : FAL_LIST_COUNT;
    int i;
    for (i = 0; i < lists; i++) {
        ULONG id = h->hdr.freeHead[i], seen = 0;
        while (id) {
            FALDESC d;
            ULONG next;
            USHORT rc;
            if (++seen > h->hdr.freeCount[i])
                return FAL_ERR_FREELIST;
            rc = falDescribe(h, id, &d);
            if (!rc && d.hdr.type != FAL_TYPE_FREE)
                rc = FAL_ERR_FREELIST;
            if (!rc)
                rc = falReadAt(h, d.dataOffset, &next, sizeof next);
            if (!rc)
                rc = addExtent(e, d.headerOffset, d.headerOffset + d.totalSize - 1);
            if (rc)
                return rc == ORIN_ERR_NO_MEMORY ? rc : FAL_ERR_FREELIST;
            id = next;
        }
    }
    qsort(e->items, e->count, sizeof *e->items, compareExtents);
    for (i = 1; i < (int)e->count; i++)
        if (e->items[i].first <= e->items[i - 1].last)
            return FAL_ERR_FREELIST;
    return 0;
}

/* Index of the first extent whose last byte is at or after `offset`. */
static ULONG firstExtentFrom(const EXTENTS *e, ULONG offset)
{
    ULONG lo = 0, hi = e->count;
    while (lo < hi) {
        ULONG mid = (lo + hi) / 2;
        if (e->items[mid].last < offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

static USHORT walkBlocks(HFAL h, const EXTENTS *e)
{
    ULONG hl = falHeaderLength(h), offset = h->hdr.firstBlockOffset, fileLength;
    USHORT rc = falFileLength(h, &fileLength);

    while (!rc && offset + hl <= fileLength) {
        FALBLOCKHEADER b;
        ULONG total, last, k;
        BOOL exact = FALSE;

        rc = falReadAt(h, offset, &b, hl);
        if (rc)
            break;
        if (b.sig[0] != FAL_SIG1 || b.sig[1] != FAL_SIG2 || b.sig[2] != FAL_SIG3
            || (b.type != FAL_TYPE_USED && b.type != FAL_TYPE_FREE))
            return FAL_ERR_SIGNATURE;
        total = (h->hdr.falFlags & FAL_FIXED) ? h->hdr.blockSize + hl : b.totalSize;
        if (total < hl + FAL_MIN_USED_FREE)
            return FAL_ERR_SIGNATURE;
        if ((ULONGLONG)offset + total > fileLength)
            break;                                 /* cut off: the end */
        last = offset + total - 1;
        k = firstExtentFrom(e, offset);
        if (k < e->count && e->items[k].first <= last) {
            exact = e->items[k].first == offset && e->items[k].last == last;
            if (!exact)
                return FAL_ERR_SIGNATURE;
        }
        if ((b.type == FAL_TYPE_FREE) != exact)
            return FAL_ERR_BLOCKTYPE;
        offset += total;
    }
    return rc == FAL_ERR_BEYONDEND ? 0 : rc;
}

USHORT FalCheck(HFAL h)
{
    EXTENTS e = { NULL, 0, 0 };
    USHORT rc;
    orin::fal::Bracket bracket(h, FALSE);
    if ((rc = bracket.status()) != 0)
        return rc;
    falClearCache(h);
    rc = collectFreeExtents(h, &e);
    if (!rc)
        rc = walkBlocks(h, &e);
    free(e.items);
    return bracket.end(rc, FALSE);
}
