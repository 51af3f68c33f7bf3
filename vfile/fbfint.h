/*
 * fbfint.h - the process-wide state of the buffered file family: the
 * open-file table, the page cache, the lock that guards both, and the Fbf
 * handle record.  Shared by fbf.cpp (files) and fbf_cache.cpp (pages); not
 * part of the exported interface.
 *
 * Threads.  The table, the cache, the LRU clock and the counters belong to
 * the whole process and are touched only with tableLock held, so handles
 * on different files (and different handles on one file) may be used from
 * different threads at once.  A handle's own position belongs to the one
 * thread that uses the handle.  The lock is a spin lock: under the host
 * this library runs on, a slim reader/writer lock costs about 100 ns even
 * when free, more than a cached read itself, while one atomic exchange
 * costs a few nanoseconds; every cached read takes the lock once.
 */
#ifndef FBFINT_H
#define FBFINT_H

#include <atomic>
#include "fbf.h"
#include "frame/handle_pool.h"
#include "frame/knlnamint.h"

/* The Fbf handle: the open-file entry it works on, its open mode and its
 * own position. */
struct _FBF {
    USHORT    fileIndex;
    USHORT    openMode;
    ULONG     position;
    ULONG_PTR user;                    /* name space from the table's context word */
};

namespace orin::fbf {

constexpr ULONG kPageShift = 12;
static_assert(FBF_PAGE_SIZE == 1u << kPageShift, "a page is 4 KiB");
constexpr ULONG kPageMask = FBF_PAGE_SIZE - 1;
constexpr SHORT kNoEntry = -1;               /* empty free list */
constexpr LONG kLengthUnknown = -1;
constexpr LONGLONG kOsPosUnknown = -1;
/* A file's page numbers are kept in a whole number of four-entry groups,
 * which the lookup compares at once. */
constexpr ULONG kPageNumberSlots = (FBF_CACHE_PAGES + 3) / 4 * 4;
/* Size of a file's table of pages recently read past the cache. */
constexpr ULONG kMissedPageSlots = 64;

/* Error flags of a page fill. */
constexpr int kFillSeekFailed = 1;
constexpr int kFillReadFailed = 2;

/* One open file name.  While the entry is free (useCount 0) osHandle holds
 * the index of the next free entry. */
struct FBFENTRY {
    ULONG64 useCount;                  /* Fbf handles open on this name */
    char    name[FBF_MAX_NAME + 1];
    ULONG   osHandle;
    bool    transfersAtOnly;           /* osHandle moves data only at offsets */
    ULONG64 pages[FBF_CACHE_PAGES];    /* slot indices, most recently used first */
    ULONG64 pageCount;
    ULONG   pageNumbers[kPageNumberSlots]; /* Invariant: pageNumbers[i] is the
                                          pageNumber of slot pages[i], so a
                                          lookup scans one small array */
    LONG    knownLength;               /* kLengthUnknown when not asked yet */
    void   *view;
    HANDLE  mapping;
    LONGLONG osPosition;               /* the shared handle's file pointer, or
                                          kOsPosUnknown: a seek to where it
                                          already stands is skipped (used
                                          without positioned transfers) */
    ULONG   missedPages[kMissedPageSlots]; /* page + 1 at page % kMissedPageSlots
                                          for pages lately read past the cache:
                                          a page missed twice gets cached */
    ULONG   streamEnd;                 /* where the last read past the cache
                                          ended: a miss there continues it */
    ULONG   streamReads;               /* reads past the cache in a row that
                                          each began at streamEnd */
    bool    viewable;                  /* opened to deny all sharing, for reading:
                                          may be read through a view */
    const BYTE *readView;              /* read-only view of [0, readViewLength),
                                          or null (fbf_view.cpp) */
    ULONG   readViewLength;
    ULONG   viewTriedAt;               /* file length at the last making of
                                          the view; 0 when none was tried */
};

/* One cache slot; validLength 0 marks a free slot. */
struct FBFPAGE {
    ULONG   pageNumber;                /* file offset >> kPageShift */
    ULONG64 validLength;               /* bytes of the page holding file data */
    BYTE   *buffer;                    /* FBF_PAGE_SIZE bytes from malloc, or null */
    ULONG64 lruStamp;
    USHORT  owner;                     /* index of the owning FBFENTRY */
};

/* The tables stay trivially destructible: they serve until the process
 * ends, whatever static destructors run before. */
extern FBFENTRY fbfFiles[FBF_MAX_FILES];
extern FBFPAGE  fbfPages[FBF_CACHE_PAGES];

/* A lock with no constructor to run, whose free path is one atomic
 * exchange and whose release is one store.  A waiter spins briefly and
 * then yields its processor until the holder is done. */
class SpinLock {
public:
    constexpr SpinLock() noexcept = default;
    SpinLock(const SpinLock &) = delete;
    SpinLock &operator=(const SpinLock &) = delete;
    void lock() noexcept
    {
        if (held_.exchange(true, std::memory_order_acquire))
            waitAndLock();
    }
    void unlock() noexcept { held_.store(false, std::memory_order_release); }

private:
    void waitAndLock() noexcept;
    std::atomic<bool> held_{false};
};

/* Guards fbfFiles, fbfPages, the free list, the clock and the counters. */
extern SpinLock tableLock;

/* Every live Fbf handle. */
extern HandlePool<_FBF> handles;

/* Counters of how reads were served and of the operating-system calls
 * behind all transfers (a seek left out because the pointer already stands
 * right is not counted), for benchmarks and white-box tests. */
struct FBFCACHESTATS {
    ULONG64 fastHits;      /* served by the most recent page without a fill */
    ULONG64 slowHits;      /* found in the file's page list by a fill */
    ULONG64 misses;        /* read from the operating system into a slot */
    ULONG64 directReads;   /* missed runs read straight into the caller's buffer */
    ULONG64 spanFills;     /* misses that filled several pages with one read */
    ULONG64 osSeeks;       /* pointer moves asked of the operating system */
    ULONG64 osReads;       /* reads asked of the operating system */
    ULONG64 osWrites;      /* writes asked of the operating system */
    ULONG64 viewReads;     /* reads served by a file's read view */
};
/* The counters themselves; tableLock. */
extern FBFCACHESTATS stats;
void FbfQueryCacheStats(FBFCACHESTATS *stats);
void FbfResetCacheStats();

/* The operations behind the exported calls, on a handle known to be
 * live.  The exported Fbf calls look the handle up first (checked); the
 * Vbf layer reaches them through directTable() for the handles it opens
 * itself, whose back-end handles nobody else holds. */
USHORT closeFile(_FBF *h);
USHORT movePointer(_FBF *h, LONG distance, ULONG method, ULONG *newPos);
USHORT readBytes(_FBF *h, void *buffer, ULONG count, ULONG *read) noexcept;
USHORT readDirect(_FBF *h, void *buffer, ULONG count, ULONG *read);
USHORT writeBytes(_FBF *h, const void *buffer, ULONG count, ULONG *written);
USHORT readChar(_FBF *h, BYTE *ch) noexcept;
USHORT readLine(_FBF *h, char *buffer, ULONG size, ULONG *consumed);
USHORT forgetPages(_FBF *h);
USHORT lockExclusive(_FBF *h, FILELOCK *unlockRange, FILELOCK *lockRange);
USHORT lockAsGiven(_FBF *h, FILELOCK *unlockRange, FILELOCK *lockRange);
ULONG  position(_FBF *h);
USHORT queryLength(_FBF *h, ULONG *length);
USHORT newSize(_FBF *h, ULONG newLength);
USHORT queryName(_FBF *h, char *buffer, ULONG size);
USHORT queryInfo(_FBF *h, ULONG level, void *buffer, ULONG size);
USHORT setInfo(_FBF *h, ULONG level, void *buffer, ULONG size);
USHORT mapView(_FBF *h, void **view, ULONG bytes, ULONG offsetHigh, ULONG offsetLow);
USHORT unmapView(_FBF *h);

/* Runs Op on a live handle; 6 (invalid handle) for any other value. */
template <auto Op, class... Args>
USHORT checked(HFBF handle, Args... args) noexcept
{
    _FBF *h = handles.get(handle);
    return h != nullptr ? Op(h, args...) : ORIN_ERR_INVALID_HANDLE;
}

/* The table the Vbf layer uses for the buffered files it opens: the
 * operations above without the handle lookup.  Its context word is 0;
 * the caller opens with FbfOpen and its own name space. */
const VBFFUNCS *directTable() noexcept;

/* Cache operations used by the file functions (fbf_cache.cpp); the caller
 * holds tableLock. */
void releaseFilePages(USHORT fileIndex);
void patchPages(USHORT fileIndex, ULONG position, const BYTE *data, ULONG count);
/* The file length, asked of the operating system when not yet known
 * (fbf.cpp); tableLock held. */
USHORT knownLength(const _FBF *h, ULONG *length);
/* Operating-system reads for the cache (fbf.cpp); tableLock held. */
USHORT osReadAt(const _FBF *h, ULONG offset, void *buffer, ULONG count, ULONG *done, int *flag);

/* The fast paths: long missed runs read straight into the caller's
 * buffer, and the pages of shorter ones (or the next pages of a sequential
 * reading) read with one system call.  On by default; white-box and
 * differential tests switch them off to reach the plain page-by-page
 * behaviour, which gives the same results and file bytes. */
void setFastPaths(bool on) noexcept;
bool fastPaths() noexcept;

/* Transfers at an offset in one system call each, on handles that keep
 * no transfer pointer (knlnam_at.h).  On by default; switched off, files
 * opened from then on get ordinary handles and every transfer seeks the
 * shared handle first and then reads or writes, with the same results and
 * file bytes. */
void setPositionedIo(bool on) noexcept;
bool positionedIo() noexcept;

inline FBFENTRY &entryOf(const _FBF *h)
{
    return fbfFiles[h->fileIndex];
}

/* The entry keeps the operating-system handle in a 32-bit word. */
inline HANDLE osHandleOf(const FBFENTRY &e)
{
    return reinterpret_cast<HANDLE>(LONG_PTR{static_cast<LONG>(e.osHandle)});
}

/* Read views (fbf_view.cpp).  A file on a local disk opened to deny all
 * sharing, for reading, is read through a read-only view of the system's
 * copy of it where the view holds the bytes.  On by default; switched
 * off, files are read through the cache alone, with the same results.
 * All but mayView expect tableLock held. */
constexpr ULONG64 kViewBudget = 48ull * 1024 * 1024;   /* all views together */
bool mayView(const char *name, USHORT openMode) noexcept;
void setMappedReads(bool on) noexcept;
bool mappedReads() noexcept;
/* Makes the file's view, or makes it again over a file that has grown
 * well past it, when the file may be viewed. */
void refreshReadView(const _FBF *h);
/* Unmaps the file's view: before a change of size, and at close. */
void dropReadView(FBFENTRY &e);
/* Copies count bytes at offset out of the view; false when the view does
 * not hold them all. */
bool copyFromView(const FBFENTRY &e, ULONG offset, void *dst, ULONG count);

}  // namespace orin::fbf

/* Names the read benchmark uses without qualification. */
using orin::fbf::FBFCACHESTATS;
using orin::fbf::FbfQueryCacheStats;
using orin::fbf::FbfResetCacheStats;

#endif /* FBFINT_H */
