/*
 * fbf_cache.cpp - the read cache of the buffered file family: 53 page
 * slots of 4096 bytes shared by every open file, and the reads that go
 * through them (FbfRead, FbfGetch, FbfGets) plus flushing.
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
 * Misses take fast paths (fillFast) that keep the system calls per read
 * at or below those of a plain seek and read: a long run of missing bytes
 * goes straight into the caller's buffer; sequential reading reads
 * several pages ahead with one call; a scattered miss is read straight
 * into the caller's buffer too, unless its pages were missed lately (a
 * small table per file remembers them), in which case its pages are read
 * into the cache with one call, so that data read twice gets cached and
 * data read once does not push out what is.  Since writes go through and
 * patch the cache, bytes read past the cache equal those a fill would
 * have cached.  The fast paths can be switched off (setFastPaths) to get
 * the page-by-page fill alone; the results are the same.
 *
 * Writes never allocate: they go through to the operating system and copy
 * their bytes into whatever cached pages they cover (patchPages), so the
 * cache never holds data that differs from what this process wrote.
 *
 * Every operation here (readBytes, readChar, readLine, forgetPages) takes
 * tableLock once for all its work; the functions below them expect it
 * held.  The exported calls are checked wrappers over the operations.
 */
#include <emmintrin.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include "vfile/fbfint.h"

namespace orin::fbf {

FBFPAGE fbfPages[FBF_CACHE_PAGES];
FBFCACHESTATS stats;

namespace {

constexpr USHORT kClockLimit = 60000;   // when the clock passes this ...
constexpr int kClockShift = 6;          // ... every stamp is divided by 64

constexpr char kCr = '\r';
constexpr char kLf = '\n';

/* A missed run of this many pages or more is read straight into the
 * caller's buffer; a shorter one, or a sequential read's next pages, is
 * read into the cache with one system call. */
constexpr ULONG kSpanPages = 16;
constexpr ULONG kSpanBytes = kSpanPages * FBF_PAGE_SIZE;
/* Reads past the cache in a row, each starting where the last ended,
 * before a stream is taken for sequential reading: two in a row are also
 * what a record's header and then its body look like. */
constexpr ULONG kStreamReadsBeforeReadAhead = 2;

std::atomic<bool> fastPathsOn{true};

USHORT lruClock;                        /* tableLock */
BYTE spanBuffer[kSpanBytes];            /* tableLock */

void stampPage(FBFPAGE &p)
{
    p.lruStamp = lruClock++;
    if (lruClock > kClockLimit) {
        for (FBFPAGE &q : fbfPages)
            q.lruStamp >>= kClockShift;
        lruClock >>= kClockShift;
    }
}

/* The file's page list: pages[] and pageNumbers[] move together. */
void removeFromList(FBFENTRY &e, ULONG64 at)
{
    auto after = static_cast<size_t>(e.pageCount - at - 1);
    std::memmove(&e.pages[at], &e.pages[at + 1], after * sizeof e.pages[0]);
    std::memmove(&e.pageNumbers[at], &e.pageNumbers[at + 1], after * sizeof e.pageNumbers[0]);
    e.pageCount--;
}

/* Moves list items [0, n) up by one, four at a time from the top (each
 * group is loaded before it is stored, and lies below what was stored
 * before it), then the rest one by one.  The lists are short (at most 53
 * items): this beats two calls of the library's memmove, which the
 * compiler would otherwise make of a plain loop. */
__attribute__((optimize("no-tree-loop-distribute-patterns")))
void shiftUp(FBFENTRY &e, ULONG64 n)
{
    ULONG64 i = n;
    for (; i >= 4; i -= 4) {
        auto *slots = reinterpret_cast<__m128i *>(&e.pages[i - 4]);
        __m128i lowSlots = _mm_loadu_si128(slots);
        __m128i highSlots = _mm_loadu_si128(slots + 1);
        __m128i numbers = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&e.pageNumbers[i - 4]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(&e.pages[i - 3]), lowSlots);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(&e.pages[i - 1]), highSlots);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(&e.pageNumbers[i - 3]), numbers);
    }
    for (; i > 0; i--) {
        e.pages[i] = e.pages[i - 1];
        e.pageNumbers[i] = e.pageNumbers[i - 1];
    }
}

void insertAtFront(FBFENTRY &e, ULONG slot, ULONG page)
{
    shiftUp(e, e.pageCount);
    e.pages[0] = slot;
    e.pageNumbers[0] = page;
    e.pageCount++;
}

void moveToFront(FBFENTRY &e, ULONG64 at)
{
    ULONG64 slot = e.pages[at];
    ULONG page = e.pageNumbers[at];
    shiftUp(e, at);
    e.pages[0] = slot;
    e.pageNumbers[0] = page;
}

/* Removes slot `slot` from its owner's list and marks it free, keeping its
 * buffer for the next page read into it. */
void detachSlot(ULONG slot)
{
    FBFPAGE &p = fbfPages[slot];
    FBFENTRY &e = fbfFiles[p.owner];

    if (p.validLength != 0) {
        for (ULONG64 i = 0; i < e.pageCount; i++) {
            if (e.pages[i] == slot) {
                removeFromList(e, i);
                break;
            }
        }
    }
    p.validLength = 0;
}

void releaseSlot(ULONG slot)
{
    detachSlot(slot);
    std::free(fbfPages[slot].buffer);
    fbfPages[slot].buffer = nullptr;
}


/* The slot a missed page goes into, detached from any list (its buffer, if
 * any, kept).  Prefers the file's own oldest page when it holds a full
 * set, then a free slot, then the oldest slot of the whole cache. */
ULONG chooseSlot(FBFENTRY &e)
{
    if (e.pageCount == FBF_CACHE_PAGES) {
        auto slot = static_cast<ULONG>(e.pages[FBF_CACHE_PAGES - 1]);
        detachSlot(slot);
        return slot;
    }
    ULONG oldest = FBF_CACHE_PAGES;
    for (int i = FBF_CACHE_PAGES - 1; i >= 0; i--) {
        const FBFPAGE &p = fbfPages[i];
        if (p.validLength == 0)
            return static_cast<ULONG>(i);
        if (p.buffer == nullptr) {
            releaseSlot(static_cast<ULONG>(i));
            return static_cast<ULONG>(i);
        }
        if (oldest == FBF_CACHE_PAGES || p.lruStamp < fbfPages[oldest].lruStamp)
            oldest = static_cast<ULONG>(i);
    }
    detachSlot(oldest);
    return oldest;
}

ULONG copyOut(const FBFPAGE &p, ULONG offset, BYTE *dst, ULONG n)
{
    auto avail = static_cast<ULONG>(p.validLength) - offset;
    ULONG take = n < avail ? n : avail;

    std::memcpy(dst, p.buffer + offset, take);
    return take;
}

/* The index in the file's list of the slot holding `page` with at least
 * `offset` valid bytes, or pageCount when there is none. */
ULONG64 findPage(const FBFENTRY &e, ULONG page, ULONG offset)
{
    /* Four page numbers per comparison; entries past pageCount are left
     * over from earlier use and are never taken. */
    const __m128i key = _mm_set1_epi32(static_cast<int>(page));
    for (ULONG64 base = 0; base < e.pageCount; base += 4) {
        __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&e.pageNumbers[base]));
        auto hits = static_cast<unsigned>(
            _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(four, key))));
        for (; hits != 0; hits &= hits - 1) {
            ULONG64 i = base + static_cast<ULONG64>(__builtin_ctz(hits));
            if (i >= e.pageCount)
                return e.pageCount;
            if (fbfPages[e.pages[i]].validLength >= offset)
                return i;
        }
    }
    return e.pageCount;
}

/* A slot for a new page of the file, detached from any list and holding a
 * buffer; null when no buffer can be had (the slot is then left free). */
FBFPAGE *freshSlot(FBFENTRY &e, ULONG *slot)
{
    *slot = chooseSlot(e);
    FBFPAGE &p = fbfPages[*slot];
    if (p.buffer == nullptr)
        p.buffer = static_cast<BYTE *>(std::malloc(FBF_PAGE_SIZE));
    return p.buffer != nullptr ? &p : nullptr;
}

/* Makes a freshly filled slot the file's most recent page. */
void publishPage(const _FBF *h, ULONG slot, ULONG page, ULONG validLength)
{
    FBFPAGE &p = fbfPages[slot];
    p.pageNumber = page;
    p.validLength = validLength;
    p.owner = h->fileIndex;
    stampPage(p);
    insertAtFront(entryOf(h), slot, page);
}

/* Reads the page at `page` into a slot and puts the slot at the front of
 * the file's list; null when the page cannot be read or lies beyond the
 * end (then *dstDone may hold bytes read straight into dst because no
 * buffer could be had). */
const FBFPAGE *loadPage(const _FBF *h, ULONG page, BYTE *dst, ULONG n, ULONG *dstDone,
                        int *errFlag)
{
    stats.misses++;
    ULONG slot;
    FBFPAGE *p = freshSlot(entryOf(h), &slot);
    if (p == nullptr) {
        /* No memory for a page: read straight into the caller's buffer. */
        osReadAt(h, h->position, dst, n, dstDone, errFlag);
        return nullptr;
    }
    ULONG got = 0;
    if (osReadAt(h, page << kPageShift, p->buffer, FBF_PAGE_SIZE, &got, errFlag) != 0 ||
        got == 0) {
        releaseSlot(slot);
        return nullptr;
    }
    publishPage(h, slot, page, got);
    return p;
}

/* Delivers up to n bytes at the handle's position into dst through the
 * cache (the position is not moved), the position's page being at index
 * i of the file's list (pageCount when the file does not hold it).
 * Returns the count; 0 means end of file unless *errFlag was set. */
ULONG fillFrom(const _FBF *h, ULONG64 i, BYTE *dst, ULONG n, int *errFlag)
{
    FBFENTRY &e = entryOf(h);
    ULONG page = h->position >> kPageShift;
    ULONG offset = h->position & kPageMask;

    if (i < e.pageCount) {
        FBFPAGE &p = fbfPages[e.pages[i]];
        if (p.buffer != nullptr) {
            stats.slowHits++;
            if (i != 0)
                moveToFront(e, i);
            stampPage(p);
            return copyOut(p, offset, dst, n);
        }
        releaseSlot(static_cast<ULONG>(e.pages[i]));
    }
    ULONG direct = 0;
    const FBFPAGE *p = loadPage(h, page, dst, n, &direct, errFlag);
    if (p == nullptr)
        return direct;
    return p->validLength > offset ? copyOut(*p, offset, dst, n) : 0;
}

/* The page fill: fillFrom on the position's page looked up. */
ULONG fillPage(const _FBF *h, BYTE *dst, ULONG n, int *errFlag)
{
    return fillFrom(h, findPage(entryOf(h), h->position >> kPageShift, h->position & kPageMask),
                    dst, n, errFlag);
}

/* The bytes from `position` (at most n) that lie before the first later
 * page the file has cached. */
ULONG uncachedRun(const FBFENTRY &e, ULONG position, ULONG n)
{
    ULONG first = position >> kPageShift;
    ULONG64 end = ULONG64{position} + n;
    ULONG64 nearest = (end + kPageMask) >> kPageShift;
    if (nearest <= ULONG64{first} + 1)
        return n;                      /* one page: no later page can cut it */
    for (ULONG64 i = 0; i < e.pageCount; i++) {
        ULONG page = e.pageNumbers[i];
        if (page > first && page < nearest)
            nearest = page;
    }
    return static_cast<ULONG>(std::min(end, nearest << kPageShift) - position);
}

/* A miss on `page` is taken for sequential reading when the file's most
 * recent page is the one before it. */
bool followsRecentPage(const FBFENTRY &e, ULONG page)
{
    return e.pageCount != 0 && page != 0 && e.pageNumbers[0] == page - 1;
}

/* Reads the pages [page, page + count) that the file does not hold with
 * one system call and caches them, the first one last so that it becomes
 * the most recent.  False when nothing was cached: end of file, a failure
 * (*errFlag set) or no memory for the first page. */
bool fillSpan(const _FBF *h, ULONG page, ULONG count, int *errFlag)
{
    FBFENTRY &e = entryOf(h);
    ULONG start = page << kPageShift;
    ULONG got = 0;
    if (osReadAt(h, start, spanBuffer, count << kPageShift, &got, errFlag) != 0 || got == 0)
        return false;
    stats.spanFills++;
    for (ULONG j = (got + kPageMask) >> kPageShift; j-- > 0;) {
        ULONG slot;
        FBFPAGE *p = freshSlot(e, &slot);
        if (p == nullptr)
            return j != 0;
        ULONG len = got - (j << kPageShift);
        if (len > FBF_PAGE_SIZE)
            len = FBF_PAGE_SIZE;
        std::memcpy(p->buffer, spanBuffer + (j << kPageShift), len);
        publishPage(h, slot, page + j, len);
    }
    return true;
}

/* Whether a page of [first, last] was lately read past the cache; notes
 * them all as such. */
bool missedBefore(FBFENTRY &e, ULONG first, ULONG last)
{
    bool seen = false;
    for (ULONG page = first; page <= last; page++) {
        ULONG &slot = e.missedPages[page % kMissedPageSlots];
        seen |= slot == page + 1;
        slot = page + 1;
    }
    return seen;
}

/* Reads n bytes at the handle's position straight into dst. */
ULONG readPastCache(const _FBF *h, BYTE *dst, ULONG n, int *errFlag, bool *atEnd)
{
    stats.directReads++;
    ULONG got = 0;
    osReadAt(h, h->position, dst, n, &got, errFlag);
    FBFENTRY &e = entryOf(h);
    e.streamReads = h->position == e.streamEnd ? e.streamReads + 1 : 1;
    e.streamEnd = h->position + got;
    *atEnd = got < n;
    return got;
}

/* fillPage with the fast paths.  A miss looks at the run of bytes asked
 * for that the file does not hold:
 *  - a run of kSpanBytes or more goes straight into dst (one system call);
 *  - sequential reading (the miss follows the file's most recent page, or
 *    the end of a stream of kStreamReadsBeforeReadAhead reads past the
 *    cache) reads kSpanPages pages ahead into the cache with one call;
 *  - a run touching a page missed lately, other than by the read it
 *    continues, has all its pages read into the cache with one call, so
 *    data read again soon gets cached;
 *  - any other run goes straight into dst, so scattered reads over a large
 *    file cost what a plain read costs and leave the cache alone.
 * *atEnd is set when the file ended before the request. */
ULONG fillFast(const _FBF *h, BYTE *dst, ULONG n, int *errFlag, bool *atEnd)
{
    FBFENTRY &e = entryOf(h);
    ULONG page = h->position >> kPageShift;
    ULONG64 i = findPage(e, page, h->position & kPageMask);
    if (i != e.pageCount)
        return fillFrom(h, i, dst, n, errFlag);
    ULONG run = uncachedRun(e, h->position, n);
    if (run >= kSpanBytes)
        return readPastCache(h, dst, run, errFlag, atEnd);
    ULONG pages;
    bool continues = h->position == e.streamEnd;
    if (followsRecentPage(e, page) || (continues && e.streamReads >= kStreamReadsBeforeReadAhead)) {
        pages = uncachedRun(e, page << kPageShift, kSpanBytes) >> kPageShift;
    } else {
        ULONG last = (h->position + run - 1) >> kPageShift;
        if (!missedBefore(e, page, last) || continues)
            return readPastCache(h, dst, run, errFlag, atEnd);
        pages = last - page + 1;
    }
    if (pages > 1 && !fillSpan(h, page, pages > kSpanPages ? kSpanPages : pages, errFlag)) {
        *atEnd = *errFlag == 0;
        return 0;
    }
    return fillPage(h, dst, n, errFlag);
}

/* The file's most recent page when it holds `count` bytes at the handle's
 * position, else null. */
const BYTE *fastPathBytes(const _FBF *h, ULONG count) noexcept
{
    const FBFENTRY &e = entryOf(h);
    if (e.pageCount == 0)
        return nullptr;
    const FBFPAGE &p = fbfPages[e.pages[0]];
    ULONG offset = h->position & kPageMask;
    if (p.buffer == nullptr || p.pageNumber != h->position >> kPageShift ||
        ULONG64{offset} + count > p.validLength)
        return nullptr;
    stats.fastHits++;
    return p.buffer + offset;
}

/* Copies the bytes at the handle's position out of the file's read view
 * when it holds them all, making the view (again) first when the file has
 * none or has outgrown it. */
bool readThroughView(const _FBF *h, BYTE *dst, ULONG count) noexcept
{
    FBFENTRY &e = entryOf(h);
    if (copyFromView(e, h->position, dst, count))
        return true;
    if (!e.viewable)
        return false;
    refreshReadView(h);
    return copyFromView(e, h->position, dst, count);
}

/* Reads through the view or the cache and advances the position; *done
 * gets the count delivered.  Returns 5 when the operating system failed. */
USHORT readCached(_FBF *h, BYTE *dst, ULONG count, ULONG *done) noexcept
{
    if (readThroughView(h, dst, count)) {
        h->position += count;
        *done = count;
        return 0;
    }
    if (const BYTE *fast = fastPathBytes(h, count)) {
        std::memcpy(dst, fast, count);
        h->position += count;
        *done = count;
        return 0;
    }
    ULONG total = 0;
    int errFlag = 0;
    bool atEnd = false;
    bool fast = fastPaths();
    while (total < count && !atEnd) {
        ULONG got = fast ? fillFast(h, dst + total, count - total, &errFlag, &atEnd)
                         : fillPage(h, dst + total, count - total, &errFlag);
        if (errFlag != 0 || got == 0)
            break;
        total += got;
        h->position += got;
    }
    *done = total;
    return errFlag != 0 ? ORIN_ERR_ACCESS_DENIED : 0;
}

/* Where the line in bytes[0..n) ends: the first CR LF pair or, when there
 * is none, the first LF.  Returns the line length and sets *termLen to the
 * terminator's length (0 when there is none and the line is all n). */
ULONG findLineEnd(const char *bytes, ULONG n, ULONG *termLen)
{
    const char *end = bytes + n;
    const auto *lf = static_cast<const char *>(std::memchr(bytes, kLf, n));

    for (const char *p = lf; p != nullptr;
         p = static_cast<const char *>(std::memchr(p + 1, kLf, static_cast<size_t>(end - p - 1)))) {
        if (p > bytes && p[-1] == kCr) {
            *termLen = 2;
            return static_cast<ULONG>(p - 1 - bytes);
        }
    }
    if (lf != nullptr) {
        *termLen = 1;
        return static_cast<ULONG>(lf - bytes);
    }
    *termLen = 0;
    return n;
}

/* Reads a line in two rounds: to the end of the position's page, then,
 * when that round filled its quota without a CR LF, the rest. */
USHORT getsLocked(_FBF *h, char *buffer, ULONG size, ULONG *consumed)
{
    ULONG start = h->position, quota = size - 1;
    ULONG firstQuota = FBF_PAGE_SIZE - (start & kPageMask);
    if (firstQuota > quota)
        firstQuota = quota;

    ULONG got = 0;
    USHORT rc = readCached(h, reinterpret_cast<BYTE *>(buffer), firstQuota, &got);
    ULONG termLen;
    ULONG lineLen = findLineEnd(buffer, got, &termLen);
    if (rc == 0 && got == firstQuota && termLen != 2) {
        ULONG more = 0;
        rc = readCached(h, reinterpret_cast<BYTE *>(buffer) + got, quota - got, &more);
        got += more;
        lineLen = findLineEnd(buffer, got, &termLen);
    }
    buffer[lineLen] = '\0';
    h->position = start + lineLen + termLen;
    if (consumed != nullptr)
        *consumed = lineLen + termLen;
    return rc;
}

void forgetFile(USHORT fileIndex)
{
    releaseFilePages(fileIndex);
    fbfFiles[fileIndex].knownLength = kLengthUnknown;
}

/* Releases the file's cached pages that end early (the file's last page
 * when it was read) and lie wholly before `position`: a write starting
 * beyond them has grown the file, so their missing tail is now part of
 * the file (zeros up to the write). */
void releaseShortPagesBefore(FBFENTRY &e, ULONG position)
{
    ULONG64 i = e.pageCount;
    while (i-- > 0) {
        const FBFPAGE &p = fbfPages[e.pages[i]];
        if (p.validLength < FBF_PAGE_SIZE && p.pageNumber < position >> kPageShift)
            releaseSlot(static_cast<ULONG>(e.pages[i]));
    }
}

}  // namespace

void setFastPaths(bool on) noexcept
{
    fastPathsOn.store(on, std::memory_order_relaxed);
}

bool fastPaths() noexcept
{
    return fastPathsOn.load(std::memory_order_relaxed);
}

void FbfQueryCacheStats(FBFCACHESTATS *out)
{
    std::lock_guard guard(tableLock);
    *out = stats;
}

void FbfResetCacheStats()
{
    std::lock_guard guard(tableLock);
    stats = FBFCACHESTATS{};
}

void releaseFilePages(USHORT fileIndex)
{
    FBFENTRY &e = fbfFiles[fileIndex];
    while (e.pageCount > 0)
        releaseSlot(static_cast<ULONG>(e.pages[0]));
}

/* Copies written bytes into every cached page of the file they cover.  A
 * page whose valid part ends before the written piece gets the gap
 * cleared first: the operating system fills such a gap with zeros. */
void patchPages(USHORT fileIndex, ULONG position, const BYTE *data, ULONG count)
{
    FBFENTRY &e = fbfFiles[fileIndex];

    releaseShortPagesBefore(e, position);
    while (count > 0 && e.pageCount > 0) {
        ULONG page = position >> kPageShift;
        ULONG offset = position & kPageMask;
        ULONG piece = FBF_PAGE_SIZE - offset;
        if (piece > count)
            piece = count;
        for (ULONG64 i = 0; i < e.pageCount; i++) {
            if (e.pageNumbers[i] != page)
                continue;
            FBFPAGE &p = fbfPages[e.pages[i]];
            if (p.buffer == nullptr)
                continue;
            if (p.validLength < offset)
                std::memset(p.buffer + p.validLength, 0, offset - static_cast<size_t>(p.validLength));
            std::memcpy(p.buffer + offset, data, piece);
            if (p.validLength < offset + piece)
                p.validLength = offset + piece;
        }
        position += piece;
        data += piece;
        count -= piece;
    }
}

USHORT readBytes(_FBF *h, void *buffer, ULONG count, ULONG *read) noexcept
{
    if (buffer == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    ULONG done = 0;
    USHORT rc;
    {
        std::lock_guard guard(tableLock);
        rc = readCached(h, static_cast<BYTE *>(buffer), count, &done);
    }
    if (read != nullptr)
        *read = done;
    return rc;
}

/* At the end of the file the byte is 0xFF and the result 0. */
USHORT readChar(_FBF *h, BYTE *ch) noexcept
{
    if (ch == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    ULONG done;
    USHORT rc;
    {
        std::lock_guard guard(tableLock);
        rc = readCached(h, ch, 1, &done);
    }
    if (rc == 0 && done == 0)
        *ch = 0xFF;
    return rc;
}

USHORT readLine(_FBF *h, char *buffer, ULONG size, ULONG *consumed)
{
    if (buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    std::lock_guard guard(tableLock);
    return getsLocked(h, buffer, size, consumed);
}

USHORT forgetPages(_FBF *h)
{
    std::lock_guard guard(tableLock);
    forgetFile(h->fileIndex);
    return 0;
}

}  // namespace orin::fbf

using namespace orin::fbf;

USHORT ORINAPI FbfRead(HFBF h, void *buffer, ULONG count, ULONG *read) noexcept
{
    return checked<&readBytes>(h, buffer, count, read);
}

USHORT ORINAPI FbfGetch(HFBF h, BYTE *ch) noexcept
{
    return checked<&readChar>(h, ch);
}

USHORT ORINAPI FbfGets(HFBF h, char *buffer, ULONG size, ULONG *consumed) noexcept
{
    return checked<&readLine>(h, buffer, size, consumed);
}

USHORT ORINAPI FbfFlush(HFBF h) noexcept
{
    return checked<&forgetPages>(h);
}

USHORT ORINAPI FbfFlushAll() noexcept
{
    std::lock_guard guard(tableLock);
    for (USHORT i = 0; i < FBF_MAX_FILES; i++) {
        if (fbfFiles[i].useCount != 0)
            forgetFile(i);
    }
    return 0;
}
