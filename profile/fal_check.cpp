/*
 * fal_check.cpp - consistency check of a FAL file.
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
#include <algorithm>
#include <new>
#include <vector>
#include "frame/boundary.h"
#include "profile/falint.h"

namespace {

struct Extent {
    ULONG first, last;
};

using Extents = std::vector<Extent>;

USHORT collectFreeExtents(HFAL h, Extents &e)
{
    int lists = (h->hdr.falFlags & FAL_FIXED) ? 1 : FAL_LIST_COUNT;
    for (int i = 0; i < lists; i++) {
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
            if (rc)
                return FAL_ERR_FREELIST;
            e.push_back({d.headerOffset, d.headerOffset + d.totalSize - 1});
            id = next;
        }
    }
    std::sort(e.begin(), e.end(), [](const Extent &x, const Extent &y) { return x.first < y.first; });
    for (size_t i = 1; i < e.size(); i++)
        if (e[i].first <= e[i - 1].last)
            return FAL_ERR_FREELIST;
    return 0;
}

/* Index of the first extent whose last byte is at or after `offset`. */
size_t firstExtentFrom(const Extents &e, ULONG offset)
{
    return std::partition_point(e.begin(), e.end(),
                                [offset](const Extent &x) { return x.last < offset; })
           - e.begin();
}

USHORT walkBlocks(HFAL h, const Extents &e)
{
    ULONG hl = falHeaderLength(h), offset = h->hdr.firstBlockOffset, fileLength;
    USHORT rc = falFileLength(h, &fileLength);

    while (!rc && offset + hl <= fileLength) {
        FALBLOCKHEADER b;
        ULONG total, last;
        size_t k;
        BOOL exact = FALSE;

        rc = falReadAt(h, offset, &b, hl);
        if (rc)
            break;
        if (!falHeaderSigned(&b))
            return FAL_ERR_SIGNATURE;
        total = (h->hdr.falFlags & FAL_FIXED) ? h->hdr.blockSize + hl : b.totalSize;
        if (total < hl + FAL_MIN_USED_FREE)
            return FAL_ERR_SIGNATURE;
        if ((ULONGLONG)offset + total > fileLength)
            break;                                 /* cut off: the end */
        last = offset + total - 1;
        k = firstExtentFrom(e, offset);
        if (k < e.size() && e[k].first <= last) {
            exact = e[k].first == offset && e[k].last == last;
            if (!exact)
                return FAL_ERR_SIGNATURE;
        }
        if ((b.type == FAL_TYPE_FREE) != exact)
            return FAL_ERR_BLOCKTYPE;
        offset += total;
    }
    return rc == FAL_ERR_BEYONDEND ? 0 : rc;
}

}  // namespace

USHORT FalCheck(HFAL h)
{
    Extents e;
    USHORT rc;
    orin::fal::Bracket bracket(h, FALSE);
    if ((rc = bracket.status()) != 0)
        return rc;
    falClearCache(h);
    rc = orin::guardCode([&] { return collectFreeExtents(h, e); });
    if (!rc)
        rc = walkBlocks(h, e);
    return bracket.end(rc, FALSE);
}
