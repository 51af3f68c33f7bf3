/*
 * falint.h - the FAL block file format and the profile store's internal
 * block calls.
 *
 * File layout (little-endian):
 *   offset 0   FALFILEHEADER (96 bytes)
 *   offset 96  user header area (userHeaderSize bytes, block id 0)
 *   firstBlockOffset = 96 + userHeaderSize rounded up to the granularity
 *              blocks, tiling the file to its end without gaps; each is a
 *              FALBLOCKHEADER (8 bytes, 6 in fixed-size mode) followed by
 *              its data.
 * In variable mode a block's id is the file offset of its data; in fixed
 * mode ids count from 1.  Free blocks sit on twelve lists by total size;
 * the first four data bytes of a free block link to the next one.
 */
#ifndef FALINT_H
#define FALINT_H

#include <memory>
#include <shared_mutex>
#include <string>
#include "fal.h"
#include "vbf.h"

#ifdef __cplusplus
namespace orin::fal {
class Journal;
class FreeIndex;
struct FreeIndexDeleter {
    void operator()(FreeIndex *ix) const noexcept;
};
}

extern "C" {
#endif

#define FAL_MAGIC           "FAL100\x1A"   /* 8 bytes with the terminator */
#define FAL_MAGIC_SIZE      8
#define FAL_HEADER_SIZE     96
#define FAL_LIST_COUNT      12
#define FAL_HDR_VARIABLE    8              /* block header bytes */
#define FAL_HDR_FIXED       6
#define FAL_MIN_USED_FREE   4              /* a free block holds its link */
#define FAL_MAX_TOTAL       0xFFFF
#define FAL_LOCK_OFFSET     0              /* header lock: bytes 0..11 */
#define FAL_LOCK_LENGTH     12
#define FAL_COUNT_OFFSET    8              /* updateCount in the header */
#define FAL_DEFAULT_GRANULARITY 16
#define FAL_CACHE_SLOTS     16

/* Block types. */
#define FAL_TYPE_USED       'U'
#define FAL_TYPE_FREE       'F'
#define FAL_TYPE_USERHDR    'I'            /* id 0, no header on disk */
#define FAL_SIG1            0xAA
#define FAL_SIG2            0x55
#define FAL_SIG3            0x00

/* Creation flags (falFlags). */
#define FAL_FIXED           0x0001
#define FAL_TEMPORARY       0x0002
#define FAL_BEST_FIT        0x0010
#define FAL_FIRST_FIT       0x0020
#define FAL_WORST_FIT       0x0040
#define FAL_EXACT_FIT       0x0080

#pragma pack(push, 1)
typedef struct _FALFILEHEADER {
    char   magic[FAL_MAGIC_SIZE];
    USHORT updateCount;
    USHORT falFlags;
    USHORT blockSize;
    USHORT userHeaderSize;
    ULONG  userHeaderOffset;
    ULONG  firstBlockOffset;
    ULONG  freeHead[FAL_LIST_COUNT];
    USHORT freeCount[FAL_LIST_COUNT];
} FALFILEHEADER;

typedef struct _FALBLOCKHEADER {
    BYTE   type;
    BYTE   sig[3];
    USHORT usedLength;
    USHORT totalSize;                      /* variable mode only */
} FALBLOCKHEADER;
#pragma pack(pop)

static_assert(sizeof(FALFILEHEADER) == FAL_HEADER_SIZE, "file header is 96 bytes");

/* True for a block header of a used or free block with the signature. */
static inline BOOL falHeaderSigned(const FALBLOCKHEADER *b)
{
    return b->sig[0] == FAL_SIG1 && b->sig[1] == FAL_SIG2 && b->sig[2] == FAL_SIG3
        && (b->type == FAL_TYPE_USED || b->type == FAL_TYPE_FREE);
}
static_assert(sizeof(FALBLOCKHEADER) == FAL_HDR_VARIABLE, "variable-mode block header is 8 bytes");

/* A block as described by its header, with where it lies. */
typedef struct _FALDESC {
    FALBLOCKHEADER hdr;
    ULONG headerLength;                    /* 8, 6, or 0 for id 0 */
    ULONG capacity;
    ULONG totalSize;                       /* header plus capacity */
    ULONG headerOffset;
    ULONG dataOffset;
} FALDESC;

/* The record behind a handle; handles are checked against the pool of
 * open files (fal_file.cpp), never by reading through them. */
typedef struct _FALFILE {
    HVBF vbf;
    void *nameSpace;
    FALFILEHEADER hdr;
    std::string fileName;
    USHORT openFlags;
    SHORT lockDepth;
    BOOL headerDirty;
    FALFILEHEADER diskHdr;                 /* the header as last read or written */
    FALDESC cache[FAL_CACHE_SLOTS];
    ULONG cacheId[FAL_CACHE_SLOTS];        /* FAL_NO_ID when empty */
    orin::fal::Journal *journal;           /* undo record of the operation, or null */
    USHORT granularity;                    /* allocation rounding of this handle */
    std::shared_ptr<std::shared_mutex> inProcess;  /* the file's lock among this process's handles */
    BOOL heldExclusive;                    /* how inProcess is held while lockDepth > 0 */
    std::unique_ptr<orin::fal::FreeIndex, orin::fal::FreeIndexDeleter> freeIndex;  /* mirror of the free lists, or null */
    BOOL lean;                             /* leaves out the I/O that changes nothing (see leanIo) */
    BOOL checkedInHold;                    /* the update count was checked under the lock held now */
    BOOL publishedInHold;                  /* the header was written under the lock held now */
    BOOL deferPublish;                     /* see falDeferPublish */
    BOOL markedChange;                     /* see falMarkedChange; cleared at the outermost unlock */
} FALFILE;

#define FAL_NO_ID 0xFFFFFFFFUL

static inline BOOL falIsFixed(const FALFILE *h) { return (h->hdr.falFlags & FAL_FIXED) != 0; }

/* A free block taken for a new one: its id, its predecessor on its list
 * (0 for the head) and its link, with its description. */
typedef struct _FALPICK {
    ULONG id, prev, next;
    FALDESC d;
} FALPICK;

/* File level (fal_file.cpp). */
USHORT FalOpenEx(void *nameSpace, const char *fileName, HFAL *handle, USHORT openFlags,
                 VBFFUNCS *funcs);
USHORT FalCreate(void *nameSpace, const char *fileName, HFAL *handle, USHORT falFlags,
                 USHORT userHeaderSize, USHORT minBlockSize, USHORT openFlags,
                 VBFFUNCS *funcs);
USHORT FalLock(HFAL h, BOOL exclusive);
USHORT FalUnlock(HFAL h);
USHORT FalQueryUpdateCount(HFAL h, USHORT *count);
USHORT FalFlush(HFAL h);
USHORT FalSyncHeader(HFAL h);
/* FalSyncHeader followed by FalWriteBlock(h, 0, offset, user + offset,
 * length), where `user` holds the whole user header area as the file is
 * to hold it from its start to offset + length.  When the file header is
 * due - always for a shared writer, whose every change moves the count -
 * a lean handle writes it and that part of the user header area with one
 * write (they lie back to back from offset 0). */
USHORT FalSyncHeaderWithUser(HFAL h, const void *user, ULONG offset, ULONG length);
/* For a shared handle whose caller holds the lock around several calls:
 * the header goes to the file at the first change of the hold and at
 * every change of the free lists, as always; the changes that only move
 * the update count are counted in memory and written once, at the
 * outermost unlock.  Other processes still see the count move before any
 * block of the hold is changed, and the free lists on disk always match
 * the blocks. */
void   falDeferPublish(HFAL h, BOOL on);
/* For a caller that deferred publishing and has written a mark of its own
 * that makes the file refuse to open until the change it began is ended
 * (a profile's in-update count): until it says otherwise, or the lock is
 * given up, the free lists wait in memory too, for the caller's closing
 * FalSyncHeaderWithUser (or the outermost unlock) to write them with the
 * count in one go.  A process that dies in between leaves blocks and free
 * lists that may disagree, but behind the caller's mark, so the file goes
 * to repair, which reads blocks and not lists; until then a handle of
 * another process that walks a list naming a block since taken stops with
 * FAL_ERR_FREELIST (the block is no longer 'F') instead of handing it out
 * twice. */
void   falMarkedChange(HFAL h, BOOL on);
void   FalSetGranularity(USHORT g);           /* for files opened from now on */
USHORT FalQueryGranularity(void);
USHORT falSetHandleGranularity(HFAL h, USHORT g);   /* answers the previous one */
const char *FalQueryFileName(HFAL h);

/* Blocks (fal_block.cpp). */
USHORT FalReadBlock(HFAL h, ULONG id, ULONG offset, void *buffer, ULONG length);
USHORT FalQueryBlockSize(HFAL h, ULONG id, ULONG *usedLength);
USHORT FalAllocBlock(HFAL h, ULONG *id, ULONG length, const void *data, ULONG dataLength);
USHORT FalReallocBlock(HFAL h, ULONG *id, ULONG length, const void *data, ULONG dataLength);
USHORT FalWriteBlock(HFAL h, ULONG id, ULONG offset, const void *data, ULONG length);
USHORT FalFreeBlock(HFAL h, ULONG id);
void   falFillHeader(FALDESC *d, BYTE type, ULONG used, ULONG total);
USHORT falWriteBlockHeader(HFAL h, ULONG id, FALDESC *d);

/* Free lists (fal_freelist.cpp). */
USHORT falPushFree(HFAL h, ULONG id, FALDESC *d);          /* d becomes free, at its list's head */
USHORT falFindFree(HFAL h, ULONG needed, FALPICK *pick);   /* variable mode; pick->id 0: none */
USHORT falPopFixed(HFAL h, FALPICK *pick);                 /* fixed mode: list 0's head */
USHORT falSplitTail(HFAL h, FALPICK *pick, ULONG needed);  /* frees a tail worth keeping */

/* Consistency check (fal_check.cpp). */
USHORT FalCheck(HFAL h);

/* Shared by the three files. */
BOOL   falIsValid(HFAL h);
ULONG  falRoundUp(ULONG x, ULONG g);
USHORT falReadAt(HFAL h, ULONG offset, void *buf, ULONG len);
USHORT falWriteAt(HFAL h, ULONG offset, const void *buf, ULONG len);
/* The same write without the journal and the failure seam (an undo). */
USHORT falWriteRaw(HFAL h, ULONG offset, const void *buf, ULONG len);
USHORT falFileLength(HFAL h, ULONG *length);
USHORT falSetLength(HFAL h, ULONG length);
USHORT falBegin(HFAL h, BOOL exclusive);       /* lock + refresh */
USHORT falEnd(HFAL h, USHORT rc, BOOL changed); /* publish + unlock */
USHORT falDescribe(HFAL h, ULONG id, FALDESC *d);
USHORT falCheckExtentEnd(HFAL h, const FALDESC *d);   /* the block ends at a block or the end */
void   falForget(HFAL h, ULONG id);
void   falClearCache(HFAL h);
int    falListFor(ULONG totalSize);
ULONG  falHeaderLength(const FALFILE *h);
extern const ULONG falListClass[FAL_LIST_COUNT];

#ifdef __cplusplus
}

#include "profile/bracket.h"

namespace orin::fal {

/* One call's hold on the header lock: taken shared or exclusive (and the
 * handle brought up to date) when made; end(rc, changed) publishes a
 * change and unlocks, answering rc or else the first error of publishing
 * or unlocking.  A bracket left without end() still unlocks, publishing
 * the header when it was exclusive, so no path keeps the lock. */
using Bracket = BasicBracket<HFAL, falBegin, falEnd, 0>;

/* Whether files opened from now on leave out the I/O that changes no byte
 * and no answer (on by default; the differential tests turn it off): a
 * shared handle checks the update count once per hold of the lock and,
 * when publishing is deferred, writes a header that moved only in its
 * count once per hold; a block
 * write does not rewrite the unchanged block header; the profile store
 * does not rewrite a key table its change left as it was. */
void setLeanIo(bool on);
bool leanIo();

/* Sets one file's granularity for a scope and puts the previous one back
 * at its end. */
class GranularityScope {
public:
    GranularityScope(HFAL h, USHORT g) noexcept : h_(h), previous_(falSetHandleGranularity(h, g))
    {
    }
    ~GranularityScope() { falSetHandleGranularity(h_, previous_); }
    GranularityScope(const GranularityScope &) = delete;
    GranularityScope &operator=(const GranularityScope &) = delete;

private:
    HFAL h_;
    USHORT previous_;
};

}  // namespace orin::fal
#endif

#endif /* FALINT_H */
