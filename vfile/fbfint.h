/*
 * fbfint.h - the process-wide state of the buffered file family: the
 * open-file table, the page cache and the Fbf handle record.  Shared by
 * fbf.c (files) and fbf_cache.c (pages); not part of the exported
 * interface.
 */
#ifndef FBFINT_H
#define FBFINT_H

#include "fbf.h"

#ifdef __cplusplus
extern "C" {
#endif

#define FBF_PAGE_SHIFT    12                      /* FBF_PAGE_SIZE == 1 << 12 */
#define FBF_PAGE_MASK     (FBF_PAGE_SIZE - 1)
#define FBF_NO_ENTRY      (-1)                    /* empty free list */
#define FBF_LENGTH_UNKNOWN (-1)

/* Error flags of a page fill. */
#define FBF_FILL_SEEK_FAILED  1
#define FBF_FILL_READ_FAILED  2

/* One open file name.  While the entry is free (useCount 0) osHandle holds
 * the index of the next free entry. */
typedef struct FBFENTRY {
    ULONG64 useCount;                  /* Fbf handles open on this name */
    char    name[FBF_MAX_NAME + 1];
    ULONG   osHandle;
    ULONG64 pages[FBF_CACHE_PAGES];    /* slot indices, most recently used first */
    ULONG64 pageCount;
    LONG    knownLength;               /* FBF_LENGTH_UNKNOWN when not asked yet */
    void   *view;
    HANDLE  mapping;
} FBFENTRY;

/* One cache slot; validLength 0 marks a free slot. */
typedef struct FBFPAGE {
    ULONG   pageNumber;                /* file offset >> FBF_PAGE_SHIFT */
    ULONG64 validLength;               /* bytes of the page holding file data */
    BYTE   *buffer;                    /* FBF_PAGE_SIZE bytes, or null */
    ULONG64 lruStamp;
    USHORT  owner;                     /* index of the owning FBFENTRY */
} FBFPAGE;

/* The Fbf handle. */
struct _FBF {
    USHORT   fileIndex;
    USHORT   openMode;
    ULONG    position;
    ULONG_PTR user;                    /* name space from the table's context word */
};

extern FBFENTRY fbfFiles[FBF_MAX_FILES];
extern FBFPAGE  fbfPages[FBF_CACHE_PAGES];

/* Counters of how reads were served, for benchmarks and white-box tests. */
typedef struct FBFCACHESTATS {
    ULONG64 fastHits;      /* served by the most recent page without a fill */
    ULONG64 slowHits;      /* found in the file's page list by a fill */
    ULONG64 misses;        /* read from the operating system into a slot */
} FBFCACHESTATS;
void FbfQueryCacheStats(FBFCACHESTATS *stats);
void FbfResetCacheStats(void);

/* Cache operations used by the file functions (fbf_cache.c). */
void   FbfReleaseFilePages(USHORT fileIndex);
void   FbfPatchPages(USHORT fileIndex, ULONG position, const BYTE *data, ULONG count);
/* Operating-system reads for the cache (fbf.c). */
USHORT FbfOsReadAt(HFBF h, ULONG offset, void *buffer, ULONG count, ULONG *done, int *flag);
HANDLE FbfOsHandle(const FBFENTRY *e);

#ifdef __cplusplus
}
#endif

#endif /* FBFINT_H */
