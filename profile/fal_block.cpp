/*
 * fal_block.cpp - blocks of a FAL file: reading, allocating, reallocating,
 * writing and freeing.
 *
 * Allocation in variable mode rounds the request to the granularity and
 * looks for a free block on the lists whose size class can hold it, with
 * the fit strategy the file was created with (first, best, exact, worst);
 * a block much larger than needed is split and its tail goes back on a
 * free list.  When no free block fits, the block is appended at the end of
 * the file.  In fixed mode every block has the same size and list 0 is a
 * simple stack.  Freeing the last block of the file shortens the file.
 * The free lists themselves are kept in fal_freelist.cpp.
 *
 * Reallocation rewrites a block in place when the new length fits (and
 * always in fixed mode).  A block that must grow gets its new place first
 * (a free block, or the end of the file, where a block ending the file
 * simply grows) and the old block is freed only after the new content is
 * written; the growth runs under an undo journal (fal_journal.h), so any
 * failing step leaves the file, the free lists and the id as they were.
 *
 * Every call takes the header lock (shared to read, exclusive to change)
 * and refreshes first, and publishes the header after a change.
 */
#include <stdlib.h>
#include <string.h>
#include "frame/scope.h"
#include "profile/falint.h"
#include "profile/fal_journal.h"
#include "profile/fal_seam.h"

static ULONG minOf(ULONG a, ULONG b) { return a < b ? a : b; }

/* Writes a block's header and forgets what the cache held for it. */
USHORT falWriteBlockHeader(HFAL h, ULONG id, FALDESC *d)
{
    falForget(h, id);
    return falWriteAt(h, d->headerOffset, &d->hdr, d->headerLength);
}

void falFillHeader(FALDESC *d, BYTE type, ULONG used, ULONG total)
{
    d->hdr.type = type;
    d->hdr.sig[0] = FAL_SIG1;
    d->hdr.sig[1] = FAL_SIG2;
    d->hdr.sig[2] = FAL_SIG3;
    d->hdr.usedLength = (USHORT)used;
    d->hdr.totalSize = (USHORT)total;
}

static ULONG idOf(HFAL h, ULONG dataOffset)
{
    ULONG hl = falHeaderLength(h);
    if (!falIsFixed(h))
        return dataOffset;
    return (dataOffset - hl - h->hdr.firstBlockOffset) / (h->hdr.blockSize + hl) + 1;
}

/* The answer for a block that must be in use, given what describing it
 * gave: the type decides first, so a non-zero id whose header does not
 * say 'U' - a free block, or no block at all, such as an id inside
 * another block - is of the wrong type (57486); a 'U' header with a bad
 * signature stays damaged (57489).  Id 0, the user header, always counts
 * as in use.  d->hdr.type must be 0 before describing. */
static USHORT usedBlockAnswer(ULONG id, const FALDESC *d, USHORT rc)
{
    if (id != 0 && (rc == 0 || rc == FAL_ERR_SIGNATURE) && d->hdr.type != FAL_TYPE_USED)
        return FAL_ERR_BLOCKTYPE;
    return rc;
}

/* Describes block id, which must be in use, before a change to it: its
 * extent must end where a block begins. */
static USHORT describeUsed(HFAL h, ULONG id, FALDESC *d)
{
    d->hdr.type = 0;
    USHORT rc = usedBlockAnswer(id, d, falDescribe(h, id, d));
    return rc ? rc : falCheckExtentEnd(h, d);
}

/* ---- Reading -------------------------------------------------------------- */

USHORT FalReadBlock(HFAL h, ULONG id, ULONG offset, void *buffer, ULONG length)
{
    FALDESC d;
    USHORT rc;
    orin::fal::Bracket bracket(h, FALSE);
    if ((rc = bracket.status()) != 0)
        return rc;
    d.hdr.type = 0;
    rc = falDescribe(h, id, &d);
    if (!rc && offset < d.hdr.usedLength && length) {
        if (!buffer)
            rc = ORIN_ERR_INVALID_PARAM;
        else
            rc = falReadAt(h, d.dataOffset + offset, buffer,
                           minOf(length, d.hdr.usedLength - offset));
    }
    rc = usedBlockAnswer(id, &d, rc);          // the type is judged after the read
    return bracket.end(rc, FALSE);
}

USHORT ORINAPI FalGetBlock(HFAL h, ULONG id, void *buffer, ULONG length) noexcept
{
    return FalReadBlock(h, id, 0, buffer, length);
}

static USHORT querySize(HFAL h, ULONG id, ULONG *out, BOOL capacity)
{
    FALDESC d;
    USHORT rc;
    if (!out)
        return ORIN_ERR_INVALID_PARAM;
    orin::fal::Bracket bracket(h, FALSE);
    if ((rc = bracket.status()) != 0)
        return rc;
    rc = falDescribe(h, id, &d);
    if (!rc)
        *out = capacity ? d.capacity : d.hdr.usedLength;
    return bracket.end(rc, FALSE);
}

USHORT FalQueryBlockSize(HFAL h, ULONG id, ULONG *usedLength)
{
    return querySize(h, id, usedLength, FALSE);
}

USHORT ORINAPI FalQueryTotalBlockSize(HFAL h, ULONG id, ULONG *capacity) noexcept
{
    return querySize(h, id, capacity, TRUE);
}

/* ---- Allocation -------------------------------------------------------------- */

/* Capacity and total size of a new block for `length` bytes. */
static USHORT sizeFor(HFAL h, ULONG length, ULONG *capacity, ULONG *total)
{
    ULONG g = h->granularity, hl = falHeaderLength(h);
    if (falIsFixed(h)) {
        *capacity = h->hdr.blockSize;
    } else {
        ULONG r = length;
        if (r < g - FAL_HDR_VARIABLE)
            r = g - FAL_HDR_VARIABLE;
        if (r > 0x10007UL - g)
            r = 0x10007UL - g;
        *capacity = falRoundUp(r + FAL_HDR_VARIABLE, g) - FAL_HDR_VARIABLE;
    }
    *total = *capacity + hl;
    return *total > FAL_MAX_TOTAL ? ORIN_ERR_INVALID_PARAM : 0;
}

/* Places a new block: reuses a free one or appends at the end. */
static USHORT placeBlock(HFAL h, ULONG length, FALDESC *d, ULONG *id, BOOL *appended)
{
    ULONG capacity, total, fileLength, hl = falHeaderLength(h);
    FALPICK pick;
    USHORT rc = sizeFor(h, length, &capacity, &total);

    if (rc)
        return rc;
    memset(&pick, 0, sizeof pick);
    if (falIsFixed(h)) {
        rc = falPopFixed(h, &pick);
    } else {
        rc = falFindFree(h, total, &pick);
        if (!rc && pick.id)
            rc = falSplitTail(h, &pick, total);
    }
    if (rc)
        return rc;
    *appended = pick.id == 0;
    if (pick.id) {
        *d = pick.d;
        *id = pick.id;
        return 0;
    }
    rc = falFileLength(h, &fileLength);
    if (rc)
        return rc;
    memset(d, 0, sizeof *d);
    d->headerLength = hl;
    d->headerOffset = fileLength;
    d->dataOffset = fileLength + hl;
    d->capacity = capacity;
    d->totalSize = total;
    *id = idOf(h, d->dataOffset);
    return 0;
}

/* Marks d used for `length` bytes and writes its header and data with one
 * write (the header lies just before the data).  A block appended at the
 * end of the file is written out to its full capacity, the unused part as
 * zeros, which sets the file's new length without a separate resize (a
 * resize would make the buffered back-end drop its cached pages). */
constexpr ULONG FILL_STACK = 2048;
static USHORT fillBlock(HFAL h, ULONG id, FALDESC *d, ULONG length, const void *data,
                        ULONG dataLength, BOOL toCapacity)
{
    BYTE stackBuf[FILL_STACK], *buf = stackBuf;
    orin::UniqueMalloc<BYTE> heapBuf;
    ULONG used = minOf(d->capacity, length);
    ULONG n = data ? minOf(used, dataLength) : 0;
    ULONG total = d->headerLength + (toCapacity ? d->capacity : n);

    falFillHeader(d, FAL_TYPE_USED, used, falIsFixed(h) ? 0 : d->totalSize);
    if (total > sizeof stackBuf) {
        if (!orin::fal::stepSeam.fails())
            heapBuf.reset((BYTE *)malloc(total));
        if (!heapBuf)
            return ORIN_ERR_NO_MEMORY;
        buf = heapBuf.get();
    }
    memcpy(buf, &d->hdr, d->headerLength);
    if (n)
        memcpy(buf + d->headerLength, data, n);
    memset(buf + d->headerLength + n, 0, total - d->headerLength - n);
    falForget(h, id);
    return falWriteAt(h, d->headerOffset, buf, total);
}

static USHORT allocLocked(HFAL h, ULONG *id, ULONG length, const void *data, ULONG dataLength)
{
    FALDESC d;
    BOOL appended = FALSE;
    USHORT rc = placeBlock(h, length, &d, id, &appended);
    if (!rc)
        rc = fillBlock(h, *id, &d, length, data, dataLength, appended);
    return rc;
}

USHORT FalAllocBlock(HFAL h, ULONG *id, ULONG length, const void *data, ULONG dataLength)
{
    USHORT rc;
    if (!id)
        return ORIN_ERR_INVALID_PARAM;
    orin::fal::Bracket bracket(h, TRUE);
    if ((rc = bracket.status()) != 0)
        return rc;
    rc = allocLocked(h, id, length, data, dataLength);
    return bracket.end(rc, TRUE);
}

/* ---- Freeing ---------------------------------------------------------------- */

static USHORT freeLocked(HFAL h, ULONG id)
{
    FALDESC d;
    ULONG fileLength;
    USHORT rc;

    if (id == 0)
        return 0;
    rc = describeUsed(h, id, &d);
    if (!rc)
        rc = falFileLength(h, &fileLength);
    if (rc)
        return rc;
    if (d.headerOffset + d.totalSize >= fileLength) {
        falForget(h, id);
        return falSetLength(h, d.headerOffset);
    }
    return falPushFree(h, id, &d);
}

USHORT FalFreeBlock(HFAL h, ULONG id)
{
    USHORT rc;
    orin::fal::Bracket bracket(h, TRUE);
    if ((rc = bracket.status()) != 0)
        return rc;
    rc = freeLocked(h, id);
    return bracket.end(rc, rc == 0 && id != 0);
}

/* ---- Reallocation and writing ----------------------------------------------- */

/* Puts the new content of block *id in a free block that fits or at the
 * end of the file, and only then frees the old block.  A block that ends
 * the file and finds no free block grows where it is. */
static USHORT moveLocked(HFAL h, ULONG *id, const FALDESC *old, ULONG length, const void *data,
                         ULONG dataLength)
{
    FALDESC d;
    ULONG newId = 0;
    BOOL appended = FALSE;
    USHORT rc = placeBlock(h, length, &d, &newId, &appended);
    if (rc)
        return rc;
    if (appended && old->headerOffset + old->totalSize == d.headerOffset) {
        d.headerOffset = old->headerOffset;
        d.dataOffset = old->dataOffset;
        newId = *id;
    }
    rc = fillBlock(h, newId, &d, length, data, dataLength, appended);
    if (!rc && newId != *id)
        rc = freeLocked(h, *id);
    if (!rc)
        *id = newId;
    return rc;
}

/* Grows block *id under a journal: a failure at any step puts the file,
 * the free lists and *id back as they were.  *changed tells whether the
 * header must still be published (not after a complete undo). */
static USHORT growLocked(HFAL h, ULONG *id, const FALDESC *old, ULONG length, const void *data,
                         ULONG dataLength, BOOL *changed)
{
    orin::fal::Journal journal(h);
    USHORT rc = journal.status();
    if (rc) {
        *changed = FALSE;
        return rc;
    }
    rc = moveLocked(h, id, old, length, data, dataLength);
    if (rc == 0)
        journal.commit();
    else
        *changed = journal.rollBack() != 0;
    return rc;
}

USHORT FalReallocBlock(HFAL h, ULONG *id, ULONG length, const void *data, ULONG dataLength)
{
    FALDESC d;
    BOOL changed = TRUE;
    USHORT rc;

    if (!id)
        return ORIN_ERR_INVALID_PARAM;
    orin::fal::Bracket bracket(h, TRUE);
    if ((rc = bracket.status()) != 0)
        return rc;
    if (*id == 0) {
        rc = allocLocked(h, id, length, data, dataLength);
        return bracket.end(rc, TRUE);
    }
    rc = describeUsed(h, *id, &d);
    if (!rc) {
        if (length <= d.capacity || falIsFixed(h))
            rc = fillBlock(h, *id, &d, length, data, dataLength, FALSE);
        else
            rc = growLocked(h, id, &d, length, data, dataLength, &changed);
    }
    return bracket.end(rc, changed);
}

USHORT FalWriteBlock(HFAL h, ULONG id, ULONG offset, const void *data, ULONG length)
{
    FALDESC d;
    USHORT rc;

    if (!data && length)
        return ORIN_ERR_INVALID_PARAM;
    orin::fal::Bracket bracket(h, TRUE);
    if ((rc = bracket.status()) != 0)
        return rc;
    rc = describeUsed(h, id, &d);
    if (!rc && offset < d.hdr.usedLength && length) {
        ULONG n = minOf(length, d.hdr.usedLength - offset);
        rc = falWriteAt(h, d.dataOffset + offset, data, n);
        /* The header just described is what the file holds: a lean handle
         * does not write the same bytes again. */
        if (!rc && id != 0 && !h->lean)
            rc = falWriteBlockHeader(h, id, &d);
    }
    return bracket.end(rc, TRUE);
}
