/*
 * fal_file.cpp - FAL block files as a whole: create, open, close, the header
 * lock, the refresh protocol and the descriptor cache.
 *
 * Sharing between processes works with two things in the file itself.
 * Bytes 0..11 are the header lock: readers lock them shared, writers
 * exclusive (only at the outermost lock level, only for handles opened
 * shared).  The 16-bit update counter at offset 8 changes whenever a
 * shared writer publishes its header; the first operation under a lock
 * taken anew has a shared read/write handle read the counter directly
 * from the file and, when it differs from its copy, drop every cached
 * byte and the mirror of the free lists and read the header again.  While
 * the lock stays held no other process can change the file, so the
 * operations nested in that hold trust the check made at its start.
 * Handles that are not shared keep the header in memory and write it
 * once, at close.
 *
 * A shared writer counts every change in the header's counter and writes
 * the header after it, unless its caller asked for deferred publishing
 * (falDeferPublish) and holds the lock around the operation: then a
 * header that moved only in its count since it was last written waits
 * for the outermost unlock.  The first change of a hold and every change
 * of the free lists are still written at once, so other processes see the
 * count move before any block changes, and the free lists on disk always
 * match the blocks; the bytes on disk end the same, with fewer writes on
 * the way.  Only a caller whose own mark on disk makes the file refuse to
 * open until its change is ended (falMarkedChange) lets the free lists
 * wait as well, for the one header write that ends its change.
 */
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <vector>
#include "frame/boundary.h"
#include "frame/handle_pool.h"
#include "profile/falint.h"
#include "profile/fal_freeindex.h"
#include "profile/fal_journal.h"
#include "profile/fal_seam.h"
#include "knl.h"
#include "knlnam.h"

/* The allocation granularity files take when they are opened; each open
 * file then has its own (falSetHandleGranularity), so that a profile
 * raising it around its table writes touches no other file. */
static std::atomic<USHORT> falGranularity{FAL_DEFAULT_GRANULARITY};

namespace orin::fal {
FailureSeam stepSeam;   // fal_seam.h

namespace {
std::atomic<bool> leanForNew{true};
}
void setLeanIo(bool on) { leanForNew = on; }
bool leanIo() { return leanForNew; }
}  // namespace orin::fal

const ULONG falListClass[FAL_LIST_COUNT] = {
    32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 65535
};

/* Granularities below the default are raised to it. */
static USHORT usableGranularity(USHORT g)
{
    return g < FAL_DEFAULT_GRANULARITY ? FAL_DEFAULT_GRANULARITY : g;
}

void FalSetGranularity(USHORT g)
{
    falGranularity = usableGranularity(g);
}

USHORT FalQueryGranularity(void)
{
    return falGranularity;
}

USHORT falSetHandleGranularity(HFAL h, USHORT g)
{
    USHORT previous = h->granularity;
    h->granularity = usableGranularity(g);
    return previous;
}

ULONG falRoundUp(ULONG x, ULONG g)
{
    return (x + g - 1) / g * g;
}

/* Every open block file: a handle is checked by membership, never by
 * reading through it. */
static orin::HandlePool<FALFILE> falHandles;

BOOL falIsValid(HFAL h)
{
    return falHandles.live(h) && h->vbf;
}

ULONG falHeaderLength(const FALFILE *h)
{
    return (h->hdr.falFlags & FAL_FIXED) ? FAL_HDR_FIXED : FAL_HDR_VARIABLE;
}

int falListFor(ULONG totalSize)
{
    int i;
    for (i = 0; i < FAL_LIST_COUNT - 1; i++)
        if (totalSize <= falListClass[i])
            return i;
    return FAL_LIST_COUNT - 1;
}

/* ---- Byte access -------------------------------------------------------- */

/* Virtual-file positions are signed 32-bit: a file offset above this comes
 * from a damaged size or link, never from a sound file. */
constexpr ULONG kMaxOffset = 0x7FFFFFFFUL;

static USHORT seekTo(HFAL h, ULONG offset)
{
    return VbfChgFilePtr(h->vbf, (LONG)offset, VBF_FILE_BEGIN, NULL);
}

/* Reads exactly len bytes; a short read means the data lies past the end. */
USHORT falReadAt(HFAL h, ULONG offset, void *buf, ULONG len)
{
    ULONG done = 0;
    if (offset > kMaxOffset || len > kMaxOffset - offset)
        return FAL_ERR_BEYONDEND;
    USHORT rc = seekTo(h, offset);
    if (!rc)
        rc = VbfRead(h->vbf, buf, len, &done);
    if (!rc && done != len)
        rc = FAL_ERR_BEYONDEND;
    return rc;
}

USHORT falWriteRaw(HFAL h, ULONG offset, const void *buf, ULONG len)
{
    ULONG done = 0;
    if (offset > kMaxOffset || len > kMaxOffset - offset)
        return ORIN_ERR_DISK_FULL;
    USHORT rc = seekTo(h, offset);
    if (!rc && len)
        rc = VbfWrite(h->vbf, buf, len, &done);
    if (!rc && done != len)
        rc = ORIN_ERR_DISK_FULL;
    return rc;
}

USHORT falWriteAt(HFAL h, ULONG offset, const void *buf, ULONG len)
{
    USHORT rc;
    if (h->journal && (rc = h->journal->recordWrite(offset, len)) != 0)
        return rc;
    if (orin::fal::stepSeam.fails())
        return ORIN_ERR_DISK_FULL;
    return falWriteRaw(h, offset, buf, len);
}

USHORT falFileLength(HFAL h, ULONG *length)
{
    return VbfQueryLength(h->vbf, length);
}

USHORT falSetLength(HFAL h, ULONG length)
{
    USHORT rc;
    if (h->journal && (rc = h->journal->recordLength(length)) != 0)
        return rc;
    if (orin::fal::stepSeam.fails())
        return ORIN_ERR_DISK_FULL;
    return VbfNewSize(h->vbf, length);
}

/* ---- Descriptor cache ----------------------------------------------------- */

static int cacheSlot(ULONG id)
{
    ULONG x = (((id >> 4) ^ id) >> 4) ^ id;
    return (int)((x >> 4) & (FAL_CACHE_SLOTS - 1));
}

void falClearCache(HFAL h)
{
    int i;
    for (i = 0; i < FAL_CACHE_SLOTS; i++)
        h->cacheId[i] = FAL_NO_ID;
}

void falForget(HFAL h, ULONG id)
{
    int s = cacheSlot(id);
    if (h->cacheId[s] == id)
        h->cacheId[s] = FAL_NO_ID;
}

/* Fills d for block id, from the cache or the file.  Checks that the
 * header is intact and that the block lies inside the file. */
USHORT falDescribe(HFAL h, ULONG id, FALDESC *d)
{
    int s = cacheSlot(id);
    ULONG hl = falHeaderLength(h), fileLength;
    USHORT rc;

    // FAL_NO_ID marks an empty slot: that id is never a cached block.
    if (id != FAL_NO_ID && h->cacheId[s] == id) {
        *d = h->cache[s];
        return 0;
    }
    memset(d, 0, sizeof *d);
    if (id == 0) {
        d->hdr.type = FAL_TYPE_USERHDR;
        d->hdr.usedLength = h->hdr.userHeaderSize;
        d->capacity = falRoundUp(h->hdr.userHeaderSize, h->granularity);
        d->totalSize = d->capacity;
        d->headerOffset = d->dataOffset = FAL_HEADER_SIZE;
        return 0;
    }
    if (h->hdr.falFlags & FAL_FIXED) {
        ULONGLONG data = (ULONGLONG)h->hdr.firstBlockOffset + hl
                       + (ULONGLONG)(h->hdr.blockSize + hl) * (id - 1);
        if (data > 0xFFFFFFFFULL)
            return FAL_ERR_BEYONDEND;
        d->dataOffset = (ULONG)data;
        d->capacity = h->hdr.blockSize;
    } else {
        if (id < h->hdr.firstBlockOffset + hl)
            return FAL_ERR_SIGNATURE;
        d->dataOffset = id;
    }
    d->headerOffset = d->dataOffset - hl;
    d->headerLength = hl;
    rc = falFileLength(h, &fileLength);
    if (rc)
        return rc;
    if (d->dataOffset > fileLength)
        return FAL_ERR_BEYONDEND;
    rc = falReadAt(h, d->headerOffset, &d->hdr, hl);
    if (rc)
        return rc;
    if (!falHeaderSigned(&d->hdr))
        return FAL_ERR_SIGNATURE;
    if (h->hdr.falFlags & FAL_FIXED) {
        d->hdr.totalSize = 0;
        d->totalSize = d->capacity + hl;
    } else {
        if (d->hdr.totalSize < hl + FAL_MIN_USED_FREE)
            return FAL_ERR_SIGNATURE;
        d->totalSize = d->hdr.totalSize;
        d->capacity = d->totalSize - hl;
    }
    if (d->hdr.usedLength > d->capacity)
        return FAL_ERR_SIGNATURE;
    if ((ULONGLONG)d->headerOffset + d->totalSize > fileLength)
        return FAL_ERR_BEYONDEND;
    h->cache[s] = *d;
    h->cacheId[s] = id;
    return 0;
}

/* In variable mode a block's totalSize is all that says where it ends, and
 * nothing guards it: a changed size makes the block reach over the blocks
 * after it.  Before a block is written to, freed or reused, the place where
 * it claims to end must be the end of the file or another block's header;
 * otherwise the block is damaged (57489). */
USHORT falCheckExtentEnd(HFAL h, const FALDESC *d)
{
    ULONG end = d->headerOffset + d->totalSize, fileLength;
    FALBLOCKHEADER next;
    USHORT rc;

    if (falIsFixed(h) || d->headerLength == 0)
        return 0;
    rc = falFileLength(h, &fileLength);
    if (rc || end == fileLength)
        return rc;
    if (end + FAL_HDR_VARIABLE > fileLength)
        return FAL_ERR_SIGNATURE;
    rc = falReadAt(h, end, &next, FAL_HDR_VARIABLE);
    if (rc)
        return rc;
    if (!falHeaderSigned(&next) || next.totalSize < FAL_HDR_VARIABLE + FAL_MIN_USED_FREE)
        return FAL_ERR_SIGNATURE;
    return 0;
}

/* ---- Header lock, refresh and publishing ---------------------------------- */

static BOOL isShared(HFAL h) { return (h->openFlags & FAL_OPEN_SHARED) != 0; }
static BOOL isReadOnly(HFAL h) { return (h->openFlags & FAL_OPEN_READONLY) != 0; }

/* Handles of one file in this process must exclude each other as the
 * byte-range lock excludes processes, but that lock does not do it for
 * them: the buffered-file layer serves every handle of a file with one
 * system handle, and a shared lock may overlap an exclusive one taken
 * through the same system handle.  So each file also has a reader/writer
 * lock among this process's handles, taken before the byte-range lock
 * and given back after it. */
namespace {

constexpr DWORD kInProcessWaitMs = 30000;   // then 33, as a contended byte-range lock gives

std::mutex inProcessGuard;
std::map<std::string, std::weak_ptr<std::shared_mutex>> inProcessLocks;

std::shared_ptr<std::shared_mutex> inProcessLockOf(const std::string &fileName)
{
    char full[KNLNAM_MAXPATH];
    KnlNamGetFullPathName(full, fileName.c_str());
    std::string key = full;
    std::transform(key.begin(), key.end(), key.begin(), [](char c) { return (char)toupper((unsigned char)c); });
    std::lock_guard<std::mutex> guard(inProcessGuard);
    std::shared_ptr<std::shared_mutex> lock = inProcessLocks[key].lock();
    if (!lock) {
        lock = std::make_shared<std::shared_mutex>();
        inProcessLocks[key] = lock;
    }
    return lock;
}

bool takeInProcess(HFAL h, BOOL exclusive)
{
    if (!h->inProcess)
        h->inProcess = inProcessLockOf(h->fileName);
    for (DWORD waited = 0;; waited++) {
        if (exclusive ? h->inProcess->try_lock() : h->inProcess->try_lock_shared())
            break;
        if (waited >= kInProcessWaitMs)
            return false;
        Sleep(1);
    }
    h->heldExclusive = exclusive;
    return true;
}

void giveInProcess(HFAL h)
{
    if (h->heldExclusive)
        h->inProcess->unlock();
    else
        h->inProcess->unlock_shared();
}

}  // namespace

USHORT FalLock(HFAL h, BOOL exclusive)
{
    if (!falIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    if (h->lockDepth++ == 0 && isShared(h)) {
        USHORT taken = orin::guardCode([&]() -> USHORT {
            return takeInProcess(h, exclusive) ? 0 : ORIN_ERR_LOCK_VIOLATION;
        });
        if (taken) {
            h->lockDepth--;
            return taken;
        }
        FILELOCK range = { FAL_LOCK_OFFSET, FAL_LOCK_LENGTH, exclusive ? 1UL : 0UL };
        USHORT rc = VbfFileLocksEx(h->vbf, NULL, &range);
        if (rc) {
            giveInProcess(h);
            h->lockDepth--;
            return rc;
        }
    }
    return 0;
}

static USHORT writeHeader(HFAL h);

/* Writes the header when it differs from what the file holds. */
static USHORT writeChangedHeader(HFAL h)
{
    if (memcmp(&h->hdr, &h->diskHdr, sizeof h->hdr) == 0)
        return 0;
    return writeHeader(h);
}

USHORT FalUnlock(HFAL h)
{
    if (!falIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    if (h->lockDepth < 1)
        return ORIN_ERR_LOCK_VIOLATION;
    if (h->lockDepth == 1 && isShared(h)) {
        USHORT wrc = h->deferPublish && !isReadOnly(h) ? writeChangedHeader(h) : 0;
        FILELOCK range = { FAL_LOCK_OFFSET, FAL_LOCK_LENGTH, 1 };
        h->lockDepth = 0;
        h->checkedInHold = FALSE;
        h->publishedInHold = FALSE;
        h->markedChange = FALSE;
        USHORT rc = VbfFileLocks(h->vbf, &range, NULL);
        giveInProcess(h);
        return wrc ? wrc : rc;
    }
    h->lockDepth--;
    return 0;
}

void falDeferPublish(HFAL h, BOOL on)
{
    if (falIsValid(h))
        h->deferPublish = on;
}

void falMarkedChange(HFAL h, BOOL on)
{
    if (falIsValid(h))
        h->markedChange = on && h->lockDepth > 0;
}

static USHORT readHeader(HFAL h)
{
    FALFILEHEADER hdr;
    USHORT rc = falReadAt(h, 0, &hdr, sizeof hdr);
    if (rc == FAL_ERR_BEYONDEND)
        return FAL_ERR_MAGIC;                     /* too short to be one */
    if (rc)
        return rc;
    if (memcmp(hdr.magic, FAL_MAGIC, FAL_MAGIC_SIZE) != 0)
        return FAL_ERR_MAGIC;
    if (hdr.firstBlockOffset < FAL_HEADER_SIZE + (ULONG)hdr.userHeaderSize
        || ((hdr.falFlags & FAL_FIXED) && hdr.blockSize < FAL_MIN_USED_FREE))
        return FAL_ERR_SIGNATURE;
    h->hdr = hdr;
    h->diskHdr = hdr;
    return 0;
}

/* Brings a shared read/write handle up to date with the file, once per
 * hold of the lock. */
static USHORT refresh(HFAL h)
{
    USHORT count = 0;
    ULONG done = 0;
    USHORT rc;

    if (!isShared(h) || isReadOnly(h) || (h->lean && h->checkedInHold))
        return 0;
    rc = seekTo(h, FAL_COUNT_OFFSET);
    if (!rc)
        rc = VbfReadDirect(h->vbf, &count, sizeof count, &done);
    if (rc)
        return rc;
    if (done != sizeof count || count != h->hdr.updateCount) {
        VbfFlush(h->vbf);
        falClearCache(h);
        orin::fal::dropFreeIndex(h);
        rc = readHeader(h);
    }
    h->checkedInHold = rc == 0;
    return rc;
}

static USHORT writeHeader(HFAL h)
{
    USHORT rc = falWriteAt(h, 0, &h->hdr, sizeof h->hdr);
    if (!rc) {
        h->headerDirty = FALSE;
        h->diskHdr = h->hdr;
        h->publishedInHold = h->lockDepth > 0;
    }
    return rc;
}

/* True when the header differs from the one on disk in its count alone. */
static BOOL onlyCountMoved(HFAL h)
{
    FALFILEHEADER disk = h->diskHdr;
    disk.updateCount = h->hdr.updateCount;
    return memcmp(&disk, &h->hdr, sizeof disk) == 0;
}

/* Publishes a change: at once for shared writers (or, deferred, when the
 * caller syncs or unlocks), else at close. */
static USHORT publish(HFAL h)
{
    if (isShared(h) && !isReadOnly(h)) {
        h->hdr.updateCount++;
        if (h->lean && h->deferPublish && h->lockDepth > 1 && h->publishedInHold
            && (h->markedChange || onlyCountMoved(h)))
            return 0;
        return writeHeader(h);
    }
    h->headerDirty = TRUE;
    return 0;
}

USHORT falBegin(HFAL h, BOOL exclusive)
{
    USHORT rc;
    if (!falIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    if (exclusive && isReadOnly(h))
        return ORIN_ERR_ACCESS_DENIED;
    rc = FalLock(h, exclusive);
    if (rc)
        return rc;
    rc = refresh(h);
    if (rc)
        FalUnlock(h);
    return rc;
}

USHORT falEnd(HFAL h, USHORT rc, BOOL changed)
{
    USHORT rc2 = 0, rc3;
    if (changed)
        rc2 = publish(h);
    rc3 = FalUnlock(h);
    return rc ? rc : rc2 ? rc2 : rc3;
}

/* Writes a pending header of a handle that is not shared, so that the
 * free lists on disk match the blocks before the caller declares its own
 * structures consistent.  Shared writers publish the free lists at every
 * change anyway. */
static BOOL syncPending(HFAL h)
{
    if (!h->headerDirty || isShared(h) || isReadOnly(h))
        return FALSE;
    return memcmp(h->hdr.freeHead, h->diskHdr.freeHead, sizeof h->hdr.freeHead) != 0
        || memcmp(h->hdr.freeCount, h->diskHdr.freeCount, sizeof h->hdr.freeCount) != 0;
}

USHORT FalSyncHeader(HFAL h)
{
    if (!falIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    if (!syncPending(h))
        return 0;                          /* the lists on disk are current */
    h->hdr.updateCount++;
    return writeHeader(h);
}

/* Whether the user header range [offset, offset + length) can go out in
 * one write with the file header: a lean handle, a range inside the user
 * header area, and a file header that is due - the free lists of a handle
 * that is not shared, or, for a shared writer, the count every change
 * moves. */
static BOOL headerRidesWithUser(HFAL h, const void *user, ULONG offset, ULONG length)
{
    if (!h->lean || !user || offset + length > h->hdr.userHeaderSize)
        return FALSE;
    return isShared(h) ? !isReadOnly(h) : syncPending(h);
}

USHORT FalSyncHeaderWithUser(HFAL h, const void *user, ULONG offset, ULONG length)
{
    if (!falIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    if (!headerRidesWithUser(h, user, offset, length)) {
        USHORT rc = FalSyncHeader(h);
        return rc ? rc : FalWriteBlock(h, 0, offset, user ? (const BYTE *)user + offset : NULL,
                                       length);
    }
    USHORT rc;
    orin::fal::Bracket bracket(h, TRUE);
    if ((rc = bracket.status()) != 0)
        return rc;
    /* The user header area follows the file header directly: one write
     * carries both, the file header first in the file as in time.  For a
     * shared writer that write is the change's publication too (its count
     * moved), so the bracket ends without another. */
    ULONG total = FAL_HEADER_SIZE + offset + length;
    std::vector<BYTE> buf;
    rc = orin::guardCode([&] {
        buf.resize(total);
        return USHORT{0};
    });
    if (!rc) {
        h->hdr.updateCount++;
        memcpy(buf.data(), &h->hdr, FAL_HEADER_SIZE);
        memcpy(buf.data() + FAL_HEADER_SIZE, user, offset + length);
        rc = falWriteAt(h, 0, buf.data(), total);
        if (!rc) {
            h->diskHdr = h->hdr;
            h->headerDirty = FALSE;
            h->publishedInHold = h->lockDepth > 0;
        } else {
            h->hdr.updateCount--;
        }
    }
    return bracket.end(rc, !isShared(h) || rc != 0);
}

USHORT FalQueryUpdateCount(HFAL h, USHORT *count)
{
    USHORT rc;
    orin::fal::Bracket bracket(h, FALSE);
    if ((rc = bracket.status()) != 0)
        return rc;
    if (count)
        *count = h->hdr.updateCount;
    return bracket.end(0, FALSE);
}

USHORT FalFlush(HFAL h)
{
    if (!falIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    falClearCache(h);
    return VbfFlush(h->vbf);
}

const char *FalQueryFileName(HFAL h)
{
    return falIsValid(h) ? h->fileName.c_str() : NULL;
}

/* ---- Open, create, close -------------------------------------------------- */

USHORT FalOpenEx(void *nameSpace, const char *fileName, HFAL *handle, USHORT openFlags,
                 VBFFUNCS *funcs)
{
    ULONG action = 0, length = 0;
    ULONG mode = (openFlags & FAL_OPEN_READONLY) ? VBF_MODE_READ : VBF_MODE_READWRITE;
    USHORT rc;

    if (!handle)
        return ORIN_ERR_INVALID_PARAM;
    *handle = NULL;
    if (!fileName)
        return ORIN_ERR_INVALID_PARAM;
    if (openFlags & FAL_OPEN_SHARED)
        mode |= VBF_SHARE_DENY_NONE;
    auto owned = falHandles.tryMake();
    if (!owned)
        return ORIN_ERR_NO_MEMORY;
    HFAL h = owned.get();
    h->nameSpace = nameSpace;
    h->openFlags = openFlags;
    h->granularity = falGranularity;
    h->lean = orin::fal::leanIo();
    falClearCache(h);
    rc = orin::guardCode([&] {
        h->fileName = fileName;
        return USHORT{0};
    });
    if (rc)
        return rc;
    rc = VbfOpen(nameSpace, fileName, &h->vbf, &action, 0, VBF_ATTR_NORMAL,
                 VBF_OPEN_EXISTING, mode, funcs);
    if (rc)
        return rc;
    /* The length and the header are read under the lock together: a
     * length remembered before it could be older than the header. */
    rc = FalLock(h, FALSE);
    if (!rc) {
        rc = VbfQueryLength(h->vbf, &length);
        if (!rc && length == 0)
            rc = ORIN_ERR_FILE_NOT_FOUND;
        if (!rc)
            rc = readHeader(h);
        FalUnlock(h);
    }
    if (rc) {
        VbfClose(h->vbf);
        return rc;
    }
    *handle = owned.release();
    return 0;
}

USHORT ORINAPI FalOpen(void *nameSpace, const char *fileName, HFAL *handle, USHORT openFlags) noexcept
{
    return FalOpenEx(nameSpace, fileName, handle, openFlags, NULL);
}

/* Writes a fresh header and sizes the file to its first block. */
static USHORT initialiseFile(HVBF vbf, USHORT falFlags, USHORT userHeaderSize,
                             USHORT minBlockSize)
{
    FALFILEHEADER hdr;
    ULONG g = falGranularity, done = 0;
    ULONG hl = (falFlags & FAL_FIXED) ? FAL_HDR_FIXED : FAL_HDR_VARIABLE;
    ULONG blockSize = falRoundUp(hl + FAL_MIN_USED_FREE, g) - hl;
    USHORT rc;

    memset(&hdr, 0, sizeof hdr);
    memcpy(hdr.magic, FAL_MAGIC, FAL_MAGIC_SIZE);
    hdr.falFlags = falFlags;
    hdr.blockSize = (USHORT)(minBlockSize > blockSize ? minBlockSize : blockSize);
    hdr.userHeaderSize = userHeaderSize;
    hdr.userHeaderOffset = FAL_HEADER_SIZE;
    hdr.firstBlockOffset = falRoundUp(FAL_HEADER_SIZE + (ULONG)userHeaderSize, g);
    rc = VbfChgFilePtr(vbf, 0, VBF_FILE_BEGIN, NULL);
    if (!rc)
        rc = VbfWrite(vbf, &hdr, sizeof hdr, &done);
    if (!rc && done != sizeof hdr)
        rc = ORIN_ERR_DISK_FULL;
    if (!rc)
        rc = VbfNewSize(vbf, hdr.firstBlockOffset);
    return rc;
}

/* A fresh name in the system's temporary directory (the file is made
 * empty by the system and replaced by the create below). */
static USHORT makeTempName(void *nameSpace, char *buf, USHORT size)
{
    KNLHFILE f;
    USHORT rc = KnlNamCreateTempFile(nameSpace, NULL, VBF_ATTR_NORMAL, &f, buf, size);
    if (!rc)
        KnlNamClose(nameSpace, f);
    return rc;
}

USHORT FalCreate(void *nameSpace, const char *fileName, HFAL *handle, USHORT falFlags,
                 USHORT userHeaderSize, USHORT minBlockSize, USHORT openFlags,
                 VBFFUNCS *funcs)
{
    char tempName[KNL_MAX_PATH];
    const char *name = fileName;
    HVBF vbf = NULL;
    ULONG action = 0;
    USHORT rc, closeRc;

    if (!handle)
        return ORIN_ERR_INVALID_PARAM;
    *handle = NULL;
    if (openFlags & FAL_OPEN_READONLY)
        return ORIN_ERR_ACCESS_DENIED;
    if (falFlags & FAL_TEMPORARY) {
        rc = makeTempName(nameSpace, tempName, sizeof tempName);
        if (rc)
            return rc;
        name = tempName;
    }
    if (!name)
        return ORIN_ERR_INVALID_PARAM;
    rc = VbfOpen(nameSpace, name, &vbf, &action, 0, VBF_ATTR_NORMAL,
                 VBF_CREATE_OR_REPLACE, VBF_MODE_READWRITE, funcs);
    if (rc)
        return rc;
    rc = initialiseFile(vbf, falFlags, userHeaderSize, minBlockSize);
    closeRc = VbfClose(vbf);
    if (!rc)
        rc = closeRc;
    if (!rc)
        rc = FalOpenEx(nameSpace, name, handle, openFlags, funcs);
    if (rc && (falFlags & FAL_TEMPORARY))
        KnlNamDelete(nameSpace, name);
    return rc;
}

USHORT ORINAPI FalClose(HFAL h) noexcept
{
    USHORT rc;
    BOOL temporary;

    if (!falIsValid(h))
        return ORIN_ERR_INVALID_HANDLE;
    temporary = (h->hdr.falFlags & FAL_TEMPORARY) != 0;
    if (!temporary && h->headerDirty && !isReadOnly(h)) {
        h->hdr.updateCount++;
        writeHeader(h);
    }
    while (h->lockDepth > 0)
        FalUnlock(h);
    rc = VbfClose(h->vbf);
    if (temporary)
        KnlNamDelete(h->nameSpace, h->fileName.c_str());
    falHandles.destroy(h);
    return rc;
}
