/*
 * ixdint.h - internals of the Ixd index files: the on-disk layout (declared
 * once here and used by every reader and writer), the handle record, and
 * the functions the index sources share.
 *
 * File layout.  A 48-byte header at offset 0 (fields at the IXD_HDR_*
 * offsets, little-endian), the user area after the first block, and the
 * node area: node n lies at node0Offset + n * nodeSize.  A node holds the
 * links to its neighbours on the same level, an entry count, and entries of
 * (stored key, u32 pointer); in a leaf the pointer is the record number,
 * in an interior node it is the child node and the key is the greatest
 * stored key of the child's subtree.  A free node's first u32 links the
 * free list.
 *
 * Levels are numbered from the leaves: level 0 is the leaf level and level
 * height - 1 holds the root.  path[level] is the node visited at that level
 * by the last descent and pathIdx[level] the entry taken there.
 */
#ifndef IXDINT_H
#define IXDINT_H

#include <string.h>
#include "ixd.h"

/* ---- header: 48 bytes at offset 0 ---- */
#define IXD_MAGIC              "ABT0100"
#define IXD_MAGIC_LEN          8          /* terminating zero included */
#define IXD_HDR_MAGIC          0
#define IXD_HDR_VERSION        8          /* u16 */
#define IXD_HDR_ROOT           10         /* u32 */
#define IXD_HDR_FREE           14         /* u32 */
#define IXD_HDR_HEIGHT         18         /* u16 */
#define IXD_HDR_KEYLEN         20         /* u16 stored key length */
#define IXD_HDR_MAXENTRIES     22         /* u16 */
#define IXD_HDR_NODESIZE       24         /* u16 */
#define IXD_HDR_CONSISTENT     26         /* u16 */
#define IXD_HDR_NKEYS          28         /* u32 */
#define IXD_HDR_NNODES         32         /* u32 */
#define IXD_HDR_NODE0          36         /* u32 */
#define IXD_HDR_USEROFF        40         /* u32 */
#define IXD_HDR_USERSIZE       44         /* u32 */
#define IXD_HDR_SIZE           48

/* ---- node ---- */
#define IXD_NODE_PREV          0          /* u32 */
#define IXD_NODE_NEXT          4          /* u32 */
#define IXD_NODE_COUNT         8          /* u16 */
#define IXD_NODE_ENTRIES       10
#define IXD_NONE               0xFFFFFFFFUL   /* no node: list ends, free list empty */
#define IXD_RECNO_LEN          4          /* record number bytes in a stored key */
#define IXD_PTR_LEN            4          /* pointer after each stored key */
#define IXD_LINK_LEN           4          /* bytes of a free-list link */

/* ---- locking ---- */
#define IXD_LOCK_OFFSET        0x8000000UL
#define IXD_LOCK_LENGTH        12
#define IXD_PROBE_TRIES        30
#define IXD_PROBE_WAIT_MS      700

/* In-memory copy of the header. */
typedef struct {
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
} IXDHEADER;

/* One cache slot: which node it holds and its state. */
typedef struct {
    ULONG  node;
    USHORT stamp;
    ULONG  inUse;
    ULONG  dirty;
    ULONG  partial;    /* only the first IXD_LINK_LEN bytes are valid */
} IXDSLOT;

struct _IX {
    const IXDFUNCS *funcs;          /* always null here */
    HVBF      vbf;
    BYTE     *curKey;               /* stored key of the position */
    ULONG     curNode;
    LONG      curIndex;             /* -1: position to be searched again */
    ULONG     curKeyValid;          /* curKey holds a key at all */
    IXDHEADER hdr;
    ULONG     path[IXD_MAX_HEIGHT];
    USHORT    pathIdx[IXD_MAX_HEIGHT];
    ULONG     userPos;
    USHORT    slotCount;
    USHORT    clock;
    IXDSLOT  *slots;
    BYTE     *slotBuf;              /* slotCount * nodeSize bytes */
    USHORT    changedVersion;       /* version seen by IxdQueryTreeChanged */
    ULONG     headerWritten;
    ULONG     shared;
    USHORT    cacheVersion;         /* version the cache is valid for */
    ULONG     foreignChange;        /* synchronisation saw another writer */
    ULONG     lockHeld;
    ULONG     freeListChecked;      /* free list walked since the header was read */
    ULONG     cacheHits, cacheFails, nodeReads, nodeWrites;
    BYTE     *work1, *work2;        /* one entry (stored key + pointer) each */
    BYTE     *nodeA, *nodeB, *nodeC; /* node work buffers */
};

/* ---- little-endian access ---- */
static inline USHORT ixdGet16(const BYTE *p) { return (USHORT)(p[0] | p[1] << 8); }
static inline ULONG ixdGet32(const BYTE *p)
{
    return (ULONG)p[0] | (ULONG)p[1] << 8 | (ULONG)p[2] << 16 | (ULONG)p[3] << 24;
}
static inline void ixdPut16(BYTE *p, USHORT v) { p[0] = (BYTE)v; p[1] = (BYTE)(v >> 8); }
static inline void ixdPut32(BYTE *p, ULONG v)
{
    p[0] = (BYTE)v; p[1] = (BYTE)(v >> 8); p[2] = (BYTE)(v >> 16); p[3] = (BYTE)(v >> 24);
}

/* ---- node buffer access ---- */
static inline ULONG ixdEntrySize(const IX *ix) { return ix->hdr.storedKeyLen + IXD_PTR_LEN; }
static inline USHORT ixdCount(const BYTE *node) { return ixdGet16(node + IXD_NODE_COUNT); }
static inline BYTE *ixdEntry(const IX *ix, BYTE *node, ULONG i)
{
    return node + IXD_NODE_ENTRIES + i * ixdEntrySize(ix);
}
static inline ULONG ixdEntryPtr(const IX *ix, BYTE *node, ULONG i)
{
    return ixdGet32(ixdEntry(ix, node, i) + ix->hdr.storedKeyLen);
}
static inline int ixdCmp(const IX *ix, const BYTE *a, const BYTE *b)
{
    return memcmp(a, b, ix->hdr.storedKeyLen);
}

static inline void ixdSetErr(ULONG *error, ULONG code) { if (error) *error = code; }
static inline USHORT ixdResult(ULONG *error, USHORT code)
{
    ixdSetErr(error, code);
    return code ? IXD_FAILED : 0;
}

/* ixd_file.c: header, file access, locking, synchronisation. */
void   ixdHeaderDecode(IXDHEADER *h, const BYTE *raw);
void   ixdHeaderEncode(const IXDHEADER *h, BYTE *raw);
USHORT ixdWriteHeader(IX *ix);
USHORT ixdCheckNodeArea(IX *ix, const IXDHEADER *h);
USHORT ixdReadAt(IX *ix, ULONG offset, void *buf, ULONG len);
USHORT ixdWriteAt(IX *ix, ULONG offset, const void *buf, ULONG len);
USHORT ixdLockUpdate(IX *ix);
USHORT ixdLockRead(IX *ix);
USHORT ixdUnlock(IX *ix);
USHORT ixdSync(IX *ix);
USHORT ixdBeginChange(IX *ix);
USHORT ixdEndChange(IX *ix);
extern ULONG ixdReadlocksAllowed;
void   ixdCloseHandle(IX *ix);
PIX    ixdCreateHandle(const char *fileName, USHORT keyLength, ULONG shared, USHORT nodeSize,
                       ULONG userAreaSize, VBFFUNCS *funcs, ULONG *error);
PIX    ixdOpenHandle(const char *fileName, USHORT keyLength, ULONG shared, VBFFUNCS *funcs,
                     ULONG *error);
USHORT ixdReadFileVersion(IX *ix, USHORT *version);
int    ixdIsOwnHandle(PIX ix);
USHORT ixdSetDefaultCache(USHORT slots);
USHORT ixdDefaultCache(void);

/* ixd_node.c: node cache. */
USHORT ixdCacheInit(IX *ix, USHORT requested);
void   ixdCacheFree(IX *ix);
USHORT ixdCacheWriteBack(IX *ix);
void   ixdCacheDrop(IX *ix);
USHORT ixdNodeRead(IX *ix, ULONG node, BYTE *buf);
USHORT ixdNodeWrite(IX *ix, ULONG node, const BYTE *buf);
USHORT ixdNodeWriteLink(IX *ix, ULONG node, ULONG link);

/* ixd_tree.c: changes. */
USHORT ixdDescend(IX *ix, const BYTE *stored, int stopLevel, BYTE *leafBuf, ULONG *pos);
USHORT ixdTreeEnter(IX *ix, const BYTE *stored);
USHORT ixdTreeRemove(IX *ix, const BYTE *stored);
ULONG  ixdLowerBound(const IX *ix, BYTE *node, const BYTE *stored);

/* ixd_nav.c: navigation calls (locking included). */
USHORT ixdNavSearch(IX *ix, const BYTE *stored, int mode, void *outKey, ULONG *record);
USHORT ixdNavStep(IX *ix, LONG count, void *outKey, ULONG *record, ULONG *error);
USHORT ixdNavCountPrefix(IX *ix, const BYTE *prefix, ULONG prefixLen, ULONG *count);

/* search modes of ixdNavSearch */
#define IXD_FIND_GE     0   /* first stored key >= */
#define IXD_FIND_EXACT  1
#define IXD_FIND_LE     2   /* last stored key <= */
#define IXD_FIND_FIRST  3
#define IXD_FIND_LAST   4

#endif /* IXDINT_H */
