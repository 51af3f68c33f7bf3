/*
 * ixdint.h - internals of the Ixd index files: the on-disk layout (declared
 * once here and used by every reader and writer), the handle record, the
 * pool of handles, the guards of an operation, and the functions the index
 * sources share.
 *
 * File layout.  A 48-byte header at offset 0 (fields at the kHdr* offsets,
 * little-endian), the user area after the first block, and the node area:
 * node n lies at node0Offset + n * nodeSize.  A node holds the links to its
 * neighbours on the same level, an entry count, and entries of (stored key,
 * u32 pointer); in a leaf the pointer is the record number, in an interior
 * node it is the child node and the key is the greatest stored key of the
 * child's subtree.  A free node's first u32 links the free list.
 *
 * Levels are numbered from the leaves: level 0 is the leaf level and level
 * height - 1 holds the root.  path[level] is the node visited at that level
 * by the last descent and pathIdx[level] the entry taken there.
 *
 * Node access.  nodeFetch hands out the node's bytes where they lie - the
 * cache slot itself - instead of copying them, and such a pointer may be
 * edited and handed back to nodeWrite for the same node.  It stays valid
 * only until the next call into the node cache, which may give the slot to
 * another node; code that keeps a node across cache calls copies it into
 * one of the handle's node buffers.  The cache finds a node's slot through
 * a hash table, and keys are compared a machine word at a time.
 * setFastPaths(false) turns these back into a scan of the slots, a copy per
 * access and memcmp, which the tests use to show that both ways give the
 * same answers, counters and file bytes.
 *
 * Threads.  A handle belongs to one thread at a time; different handles
 * may be used on different threads at once.  The process-wide settings
 * and the count of held index locks are atomic.
 */
#ifndef IXDINT_H
#define IXDINT_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>
#include "ixd.h"
#include "frame/handle_pool.h"

/* The operation table of a foreign implementation is an interface record:
 * its size word and 23 slots keep their places. */
static_assert(sizeof(IXDFUNCS) == 24 * sizeof(void *), "IXDFUNCS is 24 pointer-sized words");
static_assert(offsetof(IXDFUNCS, Close) == 8 && offsetof(IXDFUNCS, SequenceNumber) == 168 &&
                  offsetof(IXDFUNCS, QueryPerformanceCounter) == 184,
              "IXDFUNCS slots keep their places");

namespace orin::ixd {

/* ---- header: 48 bytes at offset 0 ---- */
inline constexpr char kMagic[] = "ABT0100";
constexpr ULONG kMagicLen = sizeof kMagic;     /* terminating zero included */
constexpr ULONG kHdrMagic = 0;
constexpr ULONG kHdrVersion = 8;               /* u16 */
constexpr ULONG kHdrRoot = 10;                 /* u32 */
constexpr ULONG kHdrFree = 14;                 /* u32 */
constexpr ULONG kHdrHeight = 18;               /* u16 */
constexpr ULONG kHdrKeyLen = 20;               /* u16 stored key length */
constexpr ULONG kHdrMaxEntries = 22;           /* u16 */
constexpr ULONG kHdrNodeSize = 24;             /* u16 */
constexpr ULONG kHdrConsistent = 26;           /* u16 */
constexpr ULONG kHdrNKeys = 28;                /* u32 */
constexpr ULONG kHdrNNodes = 32;               /* u32 */
constexpr ULONG kHdrNode0 = 36;                /* u32 */
constexpr ULONG kHdrUserOff = 40;              /* u32 */
constexpr ULONG kHdrUserSize = 44;             /* u32 */
constexpr ULONG kHeaderSize = 48;
static_assert(kMagicLen == kHdrVersion && kHdrVersion + 2 == kHdrRoot &&
                  kHdrRoot + 4 == kHdrFree && kHdrFree + 4 == kHdrHeight &&
                  kHdrHeight + 2 == kHdrKeyLen && kHdrKeyLen + 2 == kHdrMaxEntries &&
                  kHdrMaxEntries + 2 == kHdrNodeSize && kHdrNodeSize + 2 == kHdrConsistent &&
                  kHdrConsistent + 2 == kHdrNKeys && kHdrNKeys + 4 == kHdrNNodes &&
                  kHdrNNodes + 4 == kHdrNode0 && kHdrNode0 + 4 == kHdrUserOff &&
                  kHdrUserOff + 4 == kHdrUserSize && kHdrUserSize + 4 == kHeaderSize,
              "the header fields tile its 48 bytes without gaps");

/* ---- node ---- */
constexpr ULONG kNodePrev = 0;                 /* u32 */
constexpr ULONG kNodeNext = 4;                 /* u32 */
constexpr ULONG kNodeCount = 8;                /* u16 */
constexpr ULONG kNodeEntries = 10;
static_assert(kNodePrev + 4 == kNodeNext && kNodeNext + 4 == kNodeCount &&
                  kNodeCount + 2 == kNodeEntries,
              "the node head is two links and a count, 10 bytes");
constexpr ULONG kNone = 0xFFFFFFFFUL;          /* no node: list ends, free list empty */
constexpr ULONG kRecnoLen = 4;                 /* record number bytes in a stored key */
constexpr ULONG kPtrLen = 4;                   /* pointer after each stored key */
constexpr ULONG kLinkLen = 4;                  /* bytes of a free-list link */
constexpr int kNoSlot = -1;                    /* a node without a cache slot */

/* ---- locking ---- */
constexpr ULONG kLockOffset = 0x8000000UL;
constexpr ULONG kLockLength = 12;
constexpr int kProbeTries = 30;
constexpr DWORD kProbeWaitMs = 700;

/* In-memory copy of the header. */
struct Header {
    USHORT version;
    ULONG  root;
    ULONG  freeHead;
    USHORT height;
    USHORT storedKeyLen;
    USHORT maxEntries;
    USHORT nodeSize;
    USHORT consistent;
    ULONG  nKeys;
    ULONG  nNodes;
    ULONG  node0Offset;
    ULONG  userOffset;
    ULONG  userSize;
};

/* One cache slot: which node it holds and its state. */
struct CacheSlot {
    ULONG  node;
    USHORT stamp;
    ULONG  inUse;
    ULONG  dirty;
    ULONG  partial;    /* only the first kLinkLen bytes are valid */
};

/* What a foreign handle shares with this family's record: the table, the
 * file, and (for older tables) the current-key buffer. */
struct ForeignHead {
    const IXDFUNCS *funcs;
    void           *file;
    const BYTE     *curKey;
};

/* The index file's virtual file, closed when its owner ends. */
struct VbfCloser {
    void operator()(HVBF h) const noexcept { VbfClose(h); }
};
using UniqueVbf = std::unique_ptr<_VBF, VbfCloser>;

}  // namespace orin::ixd

/* The handle record.  Its buffers are sized at open from the header. */
struct _IX {
    const IXDFUNCS *funcs = nullptr;   /* always null here: marks an own handle */
    orin::ixd::UniqueVbf vbf;
    std::vector<BYTE> curKey;          /* stored key of the position */
    ULONG     curNode = 0;
    LONG      curIndex = -1;           /* -1: position to be searched again */
    ULONG     curKeyValid = 0;         /* curKey holds a key at all */
    orin::ixd::Header hdr = {};
    ULONG     path[IXD_MAX_HEIGHT] = {};
    USHORT    pathIdx[IXD_MAX_HEIGHT] = {};
    ULONG     userPos = 0;
    USHORT    clock = 0;
    std::vector<orin::ixd::CacheSlot> slots;
    std::vector<BYTE> slotBuf;         /* slots.size() * nodeSize bytes */
    std::vector<int> slotIndex;        /* hash table node -> slot, kNoSlot empty */
    int       slotIndexShift = 0;      /* 32 - log2(slotIndex.size()) */
    USHORT    changedVersion = 0;      /* version seen by IxdQueryTreeChanged */
    ULONG     headerWritten = 0;
    ULONG     brokenChange = 0;        /* a change failed part way: no more changes */
    ULONG     shared = 0;
    USHORT    cacheVersion = 0;        /* version the cache is valid for */
    ULONG     foreignChange = 0;       /* synchronisation saw another writer */
    ULONG     lockHeld = 0;
    ULONG     freeListChecked = 0;     /* free list walked since the header was read */
    ULONG     cacheHits = 0, cacheFails = 0, nodeReads = 0, nodeWrites = 0;
    std::vector<BYTE> work1, work2;    /* one entry (stored key + pointer) each */
    std::vector<BYTE> nodeA, nodeB, nodeC;   /* node work buffers */
    std::vector<BYTE> nodeView;        /* a fetched node without a slot (or any, fast paths off) */
};

namespace orin::ixd {

/* Every live handle of this family. */
inline HandlePool<_IX> handles;
using OwnedIx = HandlePool<_IX>::Owned;

/* ---- little-endian access ---- */
inline USHORT get16(const BYTE *p) { return static_cast<USHORT>(p[0] | p[1] << 8); }
inline ULONG get32(const BYTE *p)
{
    return ULONG{p[0]} | ULONG{p[1]} << 8 | ULONG{p[2]} << 16 | ULONG{p[3]} << 24;
}
inline void put16(BYTE *p, USHORT v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
inline void put32(BYTE *p, ULONG v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}

/* ---- node buffer access ---- */
inline ULONG entrySize(const IX *ix) { return ix->hdr.storedKeyLen + kPtrLen; }
inline ULONG keyLength(const IX *ix) { return ix->hdr.storedKeyLen - kRecnoLen; }
inline USHORT countOf(const BYTE *node) { return get16(node + kNodeCount); }
inline BYTE *entryAt(const IX *ix, BYTE *node, ULONG i)
{
    return node + kNodeEntries + i * entrySize(ix);
}
inline const BYTE *entryAt(const IX *ix, const BYTE *node, ULONG i)
{
    return node + kNodeEntries + i * entrySize(ix);
}
inline ULONG entryPtr(const IX *ix, const BYTE *node, ULONG i)
{
    return get32(entryAt(ix, node, i) + ix->hdr.storedKeyLen);
}

/* The switch of the fast paths (see the head of this file); on unless a
 * test turned it off. */
inline std::atomic<bool> fastPathsOn{true};
inline bool fastPaths() { return fastPathsOn.load(std::memory_order_relaxed); }
inline void setFastPaths(bool on) { fastPathsOn.store(on, std::memory_order_relaxed); }

/* memcmp's order of n bytes (its sign: negative, 0, positive), read eight
 * bytes at a time as big-endian words. */
inline int compareBytes(const BYTE *a, const BYTE *b, size_t n)
{
    for (; n >= sizeof(std::uint64_t); n -= sizeof(std::uint64_t)) {
        std::uint64_t x, y;
        std::memcpy(&x, a, sizeof x);
        std::memcpy(&y, b, sizeof y);
        if (x != y)
            return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
        a += sizeof x;
        b += sizeof y;
    }
    if (n >= sizeof(std::uint32_t)) {
        std::uint32_t x, y;
        std::memcpy(&x, a, sizeof x);
        std::memcpy(&y, b, sizeof y);
        if (x != y)
            return __builtin_bswap32(x) < __builtin_bswap32(y) ? -1 : 1;
        a += sizeof x;
        b += sizeof y;
        n -= sizeof x;
    }
    for (; n > 0; n--, a++, b++)
        if (*a != *b)
            return *a < *b ? -1 : 1;
    return 0;
}

inline int compareKeys(const IX *ix, const BYTE *a, const BYTE *b)
{
    return fastPaths() ? compareBytes(a, b, ix->hdr.storedKeyLen)
                       : std::memcmp(a, b, ix->hdr.storedKeyLen);
}

inline void setError(ULONG *error, ULONG code)
{
    if (error != nullptr)
        *error = code;
}
inline USHORT result(ULONG *error, USHORT code)
{
    setError(error, code);
    return code != 0 ? IXD_FAILED : 0;
}

/* Process-wide settings. */
extern std::atomic<ULONG> readlocksAllowed;
USHORT setDefaultCache(USHORT slots);
USHORT defaultCache();

/* ixd_file.cpp: header, file access, opening and closing. */
void   decodeHeader(Header *h, const BYTE *raw);
void   encodeHeader(const Header &h, BYTE *raw);
USHORT writeHeader(IX *ix);
USHORT checkNodeArea(IX *ix, const Header &h);
USHORT readAt(IX *ix, ULONG offset, void *buf, ULONG len);
USHORT writeAt(IX *ix, ULONG offset, const void *buf, ULONG len);
OwnedIx createHandle(const char *fileName, USHORT keyLength, ULONG shared, USHORT nodeSize,
                     ULONG userAreaSize, VBFFUNCS *funcs, ULONG *error);
OwnedIx openHandle(const char *fileName, USHORT keyLength, ULONG shared, VBFFUNCS *funcs,
                   ULONG *error);
void   closeHandle(IX *ix);

/* ixd_lock.cpp: the index lock, synchronisation, the crash mark. */
USHORT lockUpdate(IX *ix);
USHORT lockRead(IX *ix);
USHORT unlock(IX *ix);
USHORT sync(IX *ix);
USHORT readFileVersion(IX *ix, USHORT *version);

/* The index lock for one piece of work: taken by the constructor (for a
 * change or for reading), released by release(), which reports a failed
 * release, or else by the destructor. */
class IndexLock {
public:
    enum Kind { kRead, kUpdate };
    IndexLock(IX *ix, Kind kind) noexcept
        : ix_(ix), rc_((kind == kUpdate ? lockUpdate(ix) : lockRead(ix)) != 0 ? IXD_ERR_LOCK : 0)
    {
    }
    IndexLock(const IndexLock &) = delete;
    IndexLock &operator=(const IndexLock &) = delete;
    ~IndexLock()
    {
        if (rc_ == 0 && !released_)
            unlock(ix_);
    }
    /* 0 when the lock is held, else IXD_ERR_LOCK. */
    USHORT code() const noexcept { return rc_; }
    /* Releases the lock; the work's code wins over a failed release. */
    USHORT release(USHORT workRc) noexcept
    {
        if (rc_ != 0 || released_)
            return workRc;
        released_ = true;
        USHORT urc = unlock(ix_);
        return workRc != 0 ? workRc : urc;
    }

private:
    IX *ix_;
    USHORT rc_;
    bool released_ = false;
};

/* The frame of every operation on an own handle: the index lock, then
 * synchronisation with other processes. */
class Operation {
public:
    Operation(IX *ix, IndexLock::Kind kind) noexcept : lock_(ix, kind)
    {
        rc_ = lock_.code() != 0 ? lock_.code() : sync(ix);
        if (rc_ != 0 && lock_.code() == 0)
            lock_.release(rc_);
    }
    /* 0 when the work may run. */
    USHORT code() const noexcept { return rc_; }
    USHORT finish(USHORT workRc) noexcept { return lock_.release(workRc); }

private:
    IndexLock lock_;
    USHORT rc_;
};

/* The crash mark of one change.  begin() clears the consistency flag
 * (writing the header with a new version in shared mode, or at the first
 * change since open); commit() sets it again once the change is complete.
 * Invariant: nothing else sets the flag, and the destructor leaves it as
 * it is - a change that fails part way keeps the file marked inconsistent,
 * exactly as a crash in its middle would.  It also marks the handle: its
 * tree may be half changed, so later changes are refused (57548) rather
 * than built on it and committed, which would mark the file sound again. */
class PendingChange {
public:
    explicit PendingChange(IX *ix) noexcept : ix_(ix) {}
    ~PendingChange();
    PendingChange(const PendingChange &) = delete;
    PendingChange &operator=(const PendingChange &) = delete;
    [[nodiscard]] USHORT begin() noexcept;
    [[nodiscard]] USHORT commit() noexcept;

private:
    IX *ix_;
    bool begun_ = false;
    bool committed_ = false;
};

/* ixd_node.cpp: node cache. */
USHORT cacheInit(IX *ix, USHORT requested);
void   cacheFree(IX *ix);
USHORT cacheWriteBack(IX *ix);
void   cacheDrop(IX *ix);
USHORT nodeFetch(IX *ix, ULONG node, BYTE **bytes);   /* valid until the next cache call */
USHORT nodeWrite(IX *ix, ULONG node, const BYTE *buf);
USHORT nodeWriteLink(IX *ix, ULONG node, ULONG link);

/* ixd_tree.cpp: changes. */
USHORT descend(IX *ix, const BYTE *stored, int stopLevel, BYTE **node, ULONG *pos);
USHORT treeEnter(IX *ix, const BYTE *stored);
USHORT treeRemove(IX *ix, const BYTE *stored);
ULONG  lowerBound(const IX *ix, const BYTE *node, const BYTE *stored);

/* ixd_nav.cpp: navigation (the caller holds the lock and has synchronised). */
enum FindMode { kFindGe, kFindExact, kFindLe, kFindFirst, kFindLast };
USHORT navSearch(IX *ix, const BYTE *stored, FindMode mode, void *outKey, ULONG *record);
USHORT navStep(IX *ix, LONG count, void *outKey, ULONG *record, ULONG *warning);
USHORT navCountPrefix(IX *ix, std::span<const BYTE> prefix, ULONG *count);

}  // namespace orin::ixd

#endif /* IXDINT_H */
