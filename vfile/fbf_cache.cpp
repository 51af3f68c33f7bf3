/*
 * fbf_cache.c - the read cache of the buffered file family: 53 page slots
 * of 4096 bytes shared by every open file, and the reads that go through
 * them (FbfRead, FbfGetch, FbfGets) plus flushing.
 *
 * Method.  Each open file keeps the indices of the slots it owns in its
 * own list, most recently used first.  A read first tries the fast path:
 * when the file's first page holds every byte asked for, it is one copy.
 * Otherwise it repeats page fills until the count is met or a fill gives
 * nothing (end of file).  A fill looks for the position's page in the
 * file's list; on a miss it takes a slot (the file's own least recently
 * used one when it already holds all 53, else a free slot, else the slot
 * with the oldest stamp of the 16-bit LRU clock), reads the whole page from
 * the operating system and puts the slot at the front of the file's list.
 * A slot that holds fewer bytes than the position's offset in the page
 * does not count as a hit, so a page cached before the file grew is read
 * again.
 *
 * Writes never allocate: they go through to the operating system and copy
 * their bytes into whatever cached pages they cover (FbfPatchPages), so the
 * cache never holds data that differs from what this process wrote.
 */
#include <stdlib.h>
#include <string.h>
#include "vfile/fbfint.h"

#define FBF_CLOCK_LIMIT  60000   /* when the clock passes this ... */
#define FBF_CLOCK_SHIFT  6       /* ... every stamp is divided by 64 */

#define CR  '\r'
#define LF  '\n'

FBFPAGE fbfPages[FBF_CACHE_PAGES];
static USHORT fbfClock;
static FBFCACHESTATS fbfStats;

void FbfQueryCacheStats(FBFCACHESTATS *stats)
{
    *stats = fbfStats;
}

void FbfResetCacheStats(void)
{
    memset(&fbfStats, 0, sizeof fbfStats);
}

static void stampPage(FBFPAGE *p)
{
    int i;

    p->lruStamp = fbfClock++;
    if (fbfClock > FBF_CLOCK_LIMIT) {
        for (i = 0; i < FBF_CACHE_PAGES; i++)
            fbfPages[i].lruStamp >>= FBF_CLOCK_SHIFT;
        fbfClock >>= FBF_CLOCK_SHIFT;
    }
}

/* Removes slot `slot` from its owner's list and marks it free, keeping its
 * buffer for the next page read into it. */
static void detachSlot(ULONG slot)
{
    FBFPAGE *p = &fbfPages[slot];
    FBFENTRY *e = &fbfFiles[p->owner];
    ULONG64 i;

    if (p->validLength != 0) {
        for (i = 0; i < e->pageCount; i++) {
            if (e->pages[i] == slot) {
                memmove(&e->pages[i], &e->pages[i + 1],
                        (size_t)(e->pageCount - i - 1) * sizeof e->pages[0]);
                e->pageCount--;
                break;
            }
        }
    }
    p->validLength = 0;
}

static void releaseSlot(ULONG slot)
{
    detachSlot(slot);
    free(fbfPages[slot].buffer);
    fbfPages[slot].buffer = NULL;
}

void FbfReleaseFilePages(USHORT fileIndex)
{
    FBFENTRY *e = &fbfFiles[fileIndex];

    while (e->pageCount > 0)
        releaseSlot((ULONG)e->pages[0]);
}

static void moveToFront(FBFENTRY *e, ULONG64 at)
{
    ULONG64 slot = e->pages[at];

    memmove(&e->pages[1], &e->pages[0], (size_t)at * sizeof e->pages[0]);
    e->pages[0] = slot;
}

/* The slot a missed page goes into, detached from any list (its buffer, if
 * any, kept).  Prefers the file's own oldest page when it holds a full
 * set, then a free slot, then the oldest slot of the whole cache. */
static ULONG chooseSlot(FBFENTRY *e)
{
    ULONG slot, oldest = FBF_CACHE_PAGES;
    int i;

    if (e->pageCount == FBF_CACHE_PAGES) {
        slot = (ULONG)e->pages[FBF_CACHE_PAGES - 1];
        detachSlot(slot);
        return slot;
    }
    for (i = FBF_CACHE_PAGES - 1; i >= 0; i--) {
        FBFPAGE *p = &fbfPages[i];
        if (p->validLength == 0)
            return (ULONG)i;
        if (p->buffer == NULL) {
            releaseSlot((ULONG)i);
            return (ULONG)i;
        }
        if (oldest == FBF_CACHE_PAGES || p->lruStamp < fbfPages[oldest].lruStamp)
            oldest = (ULONG)i;
    }
    detachSlot(oldest);
    return oldest;
}

static ULONG copyOut(const FBFPAGE *p, ULONG offset, BYTE *dst, ULONG n)
{
    ULONG avail = (ULONG)p->validLength - offset;
    ULONG take = n < avail ? n : avail;

    memcpy(dst, p->buffer + offset, take);
    return take;
}

/* Delivers up to n bytes at the handle's position into dst through the
 * cache (the position is not moved).  Returns the count; 0 means end of
 * file unless *errFlag was set. */
static ULONG fillPage(HFBF h, BYTE *dst, ULONG n, int *errFlag)
{
    USHORT fileIndex = h->fileIndex;
    FBFENTRY *e = &fbfFiles[fileIndex];
    ULONG page = h->position >> FBF_PAGE_SHIFT;
    ULONG offset = h->position & FBF_PAGE_MASK;
    ULONG64 i;
    ULONG slot, got = 0;
    FBFPAGE *p;

    for (i = 0; i < e->pageCount; i++) {
        p = &fbfPages[e->pages[i]];
        if (p->pageNumber != page || p->validLength < offset)
            continue;
        if (p->buffer == NULL) {
            releaseSlot((ULONG)e->pages[i]);
            break;
        }
        fbfStats.slowHits++;
        if (i != 0)
            moveToFront(e, i);
        stampPage(p);
        return copyOut(p, offset, dst, n);
    }

    fbfStats.misses++;
    slot = chooseSlot(e);
    p = &fbfPages[slot];
    if (p->buffer == NULL)
        p->buffer = (BYTE*)malloc(FBF_PAGE_SIZE);
    if (p->buffer == NULL) {
        /* No memory for a page: read straight into the caller's buffer. */
        FbfOsReadAt(h, h->position, dst, n, &got, errFlag);
        return got;
    }
    if (FbfOsReadAt(h, page << FBF_PAGE_SHIFT, p->buffer, FBF_PAGE_SIZE, &got, errFlag) != 0
        || got == 0) {
        releaseSlot(slot);
        return 0;
    }
    p->pageNumber = page;
    p->validLength = got;
    p->owner = fileIndex;
    stampPage(p);
    memmove(&e->pages[1], &e->pages[0], (size_t)e->pageCount * sizeof e->pages[0]);
    e->pages[0] = slot;
    e->pageCount++;
    if (got <= offset)
        return 0;
    return copyOut(p, offset, dst, n);
}

/* The file's most recent page when it holds `count` bytes at the handle's
 * position, else null. */
static const BYTE *fastPathBytes(HFBF h, ULONG count)
{
    const FBFENTRY *e = &fbfFiles[h->fileIndex];
    const FBFPAGE *p;
    ULONG offset = h->position & FBF_PAGE_MASK;

    if (e->pageCount == 0)
        return NULL;
    p = &fbfPages[e->pages[0]];
    if (p->buffer == NULL || p->pageNumber != h->position >> FBF_PAGE_SHIFT
        || (ULONG64)offset + count > p->validLength)
        return NULL;
    fbfStats.fastHits++;
    return p->buffer + offset;
}

/* Reads through the cache and advances the position; *done gets the count
 * delivered.  Returns 5 when the operating system failed. */
static USHORT readCached(HFBF h, BYTE *dst, ULONG count, ULONG *done)
{
    const BYTE *fast = fastPathBytes(h, count);
    ULONG total = 0;
    int errFlag = 0;

    if (fast != NULL) {
        memcpy(dst, fast, count);
        h->position += count;
        *done = count;
        return 0;
    }
    while (total < count) {
        ULONG got = fillPage(h, dst + total, count - total, &errFlag);
        if (errFlag != 0 || got == 0)
            break;
        total += got;
        h->position += got;
    }
    *done = total;
    return errFlag != 0 ? ORIN_ERR_ACCESS_DENIED : 0;
}

USHORT ORINAPI FbfRead(HFBF h, void *buffer, ULONG count, ULONG *read) noexcept
{
    ULONG done = 0;
    USHORT rc;

    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (buffer == NULL && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    rc = readCached(h, (BYTE*)buffer, count, &done);
    if (read)
        *read = done;
    return rc;
}

USHORT ORINAPI FbfGetch(HFBF h, BYTE *ch) noexcept
{
    ULONG done;
    USHORT rc;

    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (ch == NULL)
        return ORIN_ERR_INVALID_PARAM;
    rc = readCached(h, ch, 1, &done);
    if (rc == 0 && done == 0)
        *ch = 0xFF;
    return rc;
}

/* Where the line in bytes[0..n) ends: the first CR LF pair or, when there
 * is none, the first LF.  Returns the line length and sets *termLen to the
 * terminator's length (0 when there is none and the line is all n). */
static ULONG findLineEnd(const char *bytes, ULONG n, ULONG *termLen)
{
    const char *lf = (const char*)memchr(bytes, LF, n);
    const char *p;

    for (p = lf; p != NULL; p = (const char*)memchr(p + 1, LF, n - (ULONG)(p + 1 - bytes))) {
        if (p > bytes && p[-1] == CR) {
            *termLen = 2;
            return (ULONG)(p - 1 - bytes);
        }
    }
    if (lf != NULL) {
        *termLen = 1;
        return (ULONG)(lf - bytes);
    }
    *termLen = 0;
    return n;
}

static int hasCrLf(const char *bytes, ULONG n)
{
    ULONG term;

    findLineEnd(bytes, n, &term);
    return term == 2;
}

USHORT ORINAPI FbfGets(HFBF h, char *buffer, ULONG size, ULONG *consumed) noexcept
{
    ULONG start, quota, firstQuota, got = 0, more = 0, lineLen, termLen;
    USHORT rc;

    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    if (buffer == NULL || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    start = h->position;
    quota = size - 1;
    firstQuota = FBF_PAGE_SIZE - (start & FBF_PAGE_MASK);
    if (firstQuota > quota)
        firstQuota = quota;

    rc = readCached(h, (BYTE *)buffer, firstQuota, &got);
    if (rc == 0 && got == firstQuota && !hasCrLf(buffer, got)) {
        rc = readCached(h, (BYTE *)buffer + got, quota - got, &more);
        got += more;
    }
    lineLen = findLineEnd(buffer, got, &termLen);
    buffer[lineLen] = '\0';
    h->position = start + lineLen + termLen;
    if (consumed)
        *consumed = lineLen + termLen;
    return rc;
}

USHORT ORINAPI FbfFlush(HFBF h) noexcept
{
    if (h == NULL)
        return ORIN_ERR_INVALID_HANDLE;
    FbfReleaseFilePages(h->fileIndex);
    fbfFiles[h->fileIndex].knownLength = FBF_LENGTH_UNKNOWN;
    return 0;
}

USHORT ORINAPI FbfFlushAll(void) noexcept
{
    USHORT i;

    for (i = 0; i < FBF_MAX_FILES; i++) {
        if (fbfFiles[i].useCount != 0) {
            FbfReleaseFilePages(i);
            fbfFiles[i].knownLength = FBF_LENGTH_UNKNOWN;
        }
    }
    return 0;
}

/* Releases the file's cached pages that end early (the file's last page
 * when it was read) and lie wholly before `position`: a write starting
 * beyond them has grown the file, so their missing tail is now part of
 * the file (zeros up to the write). */
static void releaseShortPagesBefore(FBFENTRY *e, ULONG position)
{
    ULONG64 i = e->pageCount;

    while (i-- > 0) {
        const FBFPAGE *p = &fbfPages[e->pages[i]];
        if (p->validLength < FBF_PAGE_SIZE && p->pageNumber < position >> FBF_PAGE_SHIFT)
            releaseSlot((ULONG)e->pages[i]);
    }
}

/* Copies written bytes into every cached page of the file they cover.  A
 * page whose valid part ends before the written piece gets the gap
 * cleared first: the operating system fills such a gap with zeros. */
void FbfPatchPages(USHORT fileIndex, ULONG position, const BYTE *data, ULONG count)
{
    FBFENTRY *e = &fbfFiles[fileIndex];

    releaseShortPagesBefore(e, position);
    while (count > 0 && e->pageCount > 0) {
        ULONG page = position >> FBF_PAGE_SHIFT;
        ULONG offset = position & FBF_PAGE_MASK;
        ULONG piece = FBF_PAGE_SIZE - offset;
        ULONG64 i;

        if (piece > count)
            piece = count;
        for (i = 0; i < e->pageCount; i++) {
            FBFPAGE *p = &fbfPages[e->pages[i]];
            if (p->pageNumber != page || p->buffer == NULL)
                continue;
            if (p->validLength < offset)
                memset(p->buffer + p->validLength, 0, offset - (size_t)p->validLength);
            memcpy(p->buffer + offset, data, piece);
            if (p->validLength < offset + piece)
                p->validLength = offset + piece;
        }
        position += piece;
        data += piece;
        count -= piece;
    }
}
