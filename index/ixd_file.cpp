/*
 * ixd_file.c - creating, opening and closing Ixd index files, and the
 * header they start with.
 *
 * The header is kept in memory as an IXDHEADER and converted to and from
 * its 48 little-endian bytes by one pair of functions, so the byte layout
 * of ixdint.h is written down once.  Creation lays out the file (header
 * block, user area, node area with one empty leaf as root), closes it and
 * opens it again the ordinary way.  Opening checks the header before
 * trusting any of it: magic, key length, consistency flag, and a geometry
 * that agrees with itself, so that a damaged file is refused with
 * IXD_ERR_BAD_FILE instead of steering the tree code out of its buffers.
 */
#include <stdlib.h>
#include "index/ixdint.h"
#include "knlnam.h"

#define IXD_OPEN_SHARE(shared)  ((shared) ? VBF_SHARE_DENY_NONE : VBF_SHARE_DENY_ALL)

static USHORT defaultCacheSlots = IXD_DEFAULT_CACHE;

void ixdHeaderDecode(IXDHEADER *h, const BYTE *raw)
{
    h->version = ixdGet16(raw + IXD_HDR_VERSION);
    h->root = ixdGet32(raw + IXD_HDR_ROOT);
    h->freeHead = ixdGet32(raw + IXD_HDR_FREE);
    h->height = ixdGet16(raw + IXD_HDR_HEIGHT);
    h->storedKeyLen = ixdGet16(raw + IXD_HDR_KEYLEN);
    h->maxEntries = ixdGet16(raw + IXD_HDR_MAXENTRIES);
    h->nodeSize = ixdGet16(raw + IXD_HDR_NODESIZE);
    h->consistent = ixdGet16(raw + IXD_HDR_CONSISTENT);
    h->nKeys = ixdGet32(raw + IXD_HDR_NKEYS);
    h->nNodes = ixdGet32(raw + IXD_HDR_NNODES);
    h->node0Offset = ixdGet32(raw + IXD_HDR_NODE0);
    h->userOffset = ixdGet32(raw + IXD_HDR_USEROFF);
    h->userSize = ixdGet32(raw + IXD_HDR_USERSIZE);
}

void ixdHeaderEncode(const IXDHEADER *h, BYTE *raw)
{
    memset(raw, 0, IXD_HDR_SIZE);
    memcpy(raw + IXD_HDR_MAGIC, IXD_MAGIC, IXD_MAGIC_LEN);
    ixdPut16(raw + IXD_HDR_VERSION, h->version);
    ixdPut32(raw + IXD_HDR_ROOT, h->root);
    ixdPut32(raw + IXD_HDR_FREE, h->freeHead);
    ixdPut16(raw + IXD_HDR_HEIGHT, h->height);
    ixdPut16(raw + IXD_HDR_KEYLEN, h->storedKeyLen);
    ixdPut16(raw + IXD_HDR_MAXENTRIES, h->maxEntries);
    ixdPut16(raw + IXD_HDR_NODESIZE, h->nodeSize);
    ixdPut16(raw + IXD_HDR_CONSISTENT, h->consistent);
    ixdPut32(raw + IXD_HDR_NKEYS, h->nKeys);
    ixdPut32(raw + IXD_HDR_NNODES, h->nNodes);
    ixdPut32(raw + IXD_HDR_NODE0, h->node0Offset);
    ixdPut32(raw + IXD_HDR_USEROFF, h->userOffset);
    ixdPut32(raw + IXD_HDR_USERSIZE, h->userSize);
}

USHORT ixdReadAt(IX *ix, ULONG offset, void *buf, ULONG len)
{
    ULONG got = 0;

    if (VbfChgFilePtr(ix->vbf, (LONG)offset, VBF_FILE_BEGIN, NULL) != 0 ||
        VbfRead(ix->vbf, buf, len, &got) != 0 || got != len)
        return IXD_ERR_IO;
    return 0;
}

USHORT ixdWriteAt(IX *ix, ULONG offset, const void *buf, ULONG len)
{
    ULONG done = 0;

    if (VbfChgFilePtr(ix->vbf, (LONG)offset, VBF_FILE_BEGIN, NULL) != 0 ||
        VbfWrite(ix->vbf, buf, len, &done) != 0 || done != len)
        return IXD_ERR_IO;
    return 0;
}

USHORT ixdWriteHeader(IX *ix)
{
    BYTE raw[IXD_HDR_SIZE];

    ixdHeaderEncode(&ix->hdr, raw);
    return ixdWriteAt(ix, 0, raw, sizeof raw);
}

static USHORT maxEntriesFor(ULONG nodeSize, ULONG storedKeyLen)
{
    return (USHORT)((nodeSize - IXD_NODE_ENTRIES) / (storedKeyLen + IXD_PTR_LEN));
}

/* Every node must hold at least two entries. */
static int geometryFits(ULONG nodeSize, ULONG storedKeyLen)
{
    return nodeSize >= IXD_MIN_NODE_SIZE &&
           storedKeyLen + IXD_PTR_LEN <= (nodeSize - IXD_NODE_ENTRIES) / 2;
}

/* The user area starts at s - (48 mod s) + 48 for node size s (the first
 * block for s above the header size); node 0 comes one block after it plus
 * the user area size rounded down to whole blocks.  node0Offset stays 0
 * when the file would outgrow 32 bits. */
static void layout(IXDHEADER *h, ULONG nodeSize, ULONG userSize)
{
    unsigned long long userOff = nodeSize - IXD_HDR_SIZE % nodeSize + IXD_HDR_SIZE;
    unsigned long long node0 = userOff + nodeSize + (userSize - userSize % nodeSize);

    h->userOffset = (ULONG)userOff;
    h->userSize = userSize;
    h->node0Offset = node0 > 0xFFFFFFFFULL - nodeSize ? 0 : (ULONG)node0;
}

static void *defaultNameSpace(void)
{
    return KnlNamGetDefaultNS();
}

static USHORT openVbf(const char *name, ULONG flags, ULONG mode, VBFFUNCS *funcs, HVBF *vbf)
{
    ULONG action = 0;

    *vbf = NULL;
    if (!name)
        return ORIN_ERR_INVALID_PARAM;
    return VbfOpen(defaultNameSpace(), name, vbf, &action, 0, VBF_ATTR_NORMAL, flags, mode,
                   funcs);
}

static USHORT writeEmptyFile(HVBF vbf, const IXDHEADER *h)
{
    BYTE raw[IXD_HDR_SIZE];
    BYTE *node = (BYTE*)calloc(1, h->nodeSize);
    ULONG done = 0;
    USHORT rc = IXD_ERR_IO;

    if (!node)
        return IXD_ERR_NO_MEMORY;
    ixdHeaderEncode(h, raw);
    ixdPut32(node + IXD_NODE_PREV, IXD_NONE);
    ixdPut32(node + IXD_NODE_NEXT, IXD_NONE);
    if (VbfChgFilePtr(vbf, 0, VBF_FILE_BEGIN, NULL) == 0 &&
        VbfWrite(vbf, raw, sizeof raw, &done) == 0 && done == sizeof raw &&
        VbfNewSize(vbf, h->node0Offset) == 0 &&
        VbfChgFilePtr(vbf, (LONG)h->node0Offset, VBF_FILE_BEGIN, NULL) == 0 &&
        VbfWrite(vbf, node, h->nodeSize, &done) == 0 && done == h->nodeSize)
        rc = 0;
    free(node);
    return rc;
}

PIX ixdCreateHandle(const char *fileName, USHORT keyLength, ULONG shared, USHORT nodeSize,
                    ULONG userAreaSize, VBFFUNCS *funcs, ULONG *error)
{
    IXDHEADER h;
    HVBF vbf;
    ULONG stored = (ULONG)keyLength + IXD_RECNO_LEN;
    USHORT rc;

    if (nodeSize == 0)
        nodeSize = IXD_DEFAULT_NODE_SIZE;
    if (!geometryFits(nodeSize, stored)) {
        ixdSetErr(error, IXD_ERR_NODE_SIZE);
        return NULL;
    }
    memset(&h, 0, sizeof h);
    h.freeHead = IXD_NONE;
    h.height = 1;
    h.storedKeyLen = (USHORT)stored;
    h.maxEntries = maxEntriesFor(nodeSize, stored);
    h.nodeSize = nodeSize;
    h.consistent = 1;
    h.nNodes = 1;
    layout(&h, nodeSize, userAreaSize);
    if (h.node0Offset == 0 ||
        openVbf(fileName, VBF_CREATE_OR_REPLACE, VBF_MODE_READWRITE | VBF_SHARE_DENY_ALL, funcs,
                &vbf) != 0) {
        ixdSetErr(error, IXD_ERR_CREATE);
        return NULL;
    }
    rc = writeEmptyFile(vbf, &h);
    VbfClose(vbf);
    if (rc) {
        ixdSetErr(error, rc);
        return NULL;
    }
    return ixdOpenHandle(fileName, keyLength, shared, funcs, error);
}

/* A header this code can work with without leaving its buffers. */
static USHORT checkHeader(const BYTE *raw, const IXDHEADER *h, ULONG keyLength)
{
    if (memcmp(raw + IXD_HDR_MAGIC, IXD_MAGIC, IXD_MAGIC_LEN) != 0)
        return IXD_ERR_BAD_FILE;
    if (h->consistent == 0 && ixdReadlocksAllowed)
        return IXD_ERR_BAD_FILE;
    if (h->storedKeyLen != keyLength + IXD_RECNO_LEN)
        return IXD_ERR_BAD_FILE;
    if (!geometryFits(h->nodeSize, h->storedKeyLen) ||
        h->maxEntries != maxEntriesFor(h->nodeSize, h->storedKeyLen) ||
        h->height < 1 || h->height > IXD_MAX_HEIGHT || h->root >= h->nNodes ||
        h->node0Offset < IXD_HDR_SIZE)
        return IXD_ERR_BAD_FILE;
    return 0;
}

static void freeHandle(IX *ix)
{
    ixdCacheFree(ix);
    free(ix->curKey);
    free(ix->work1);
    free(ix->work2);
    free(ix->nodeA);
    free(ix->nodeB);
    free(ix->nodeC);
    free(ix);
}

static USHORT allocBuffers(IX *ix)
{
    ULONG k = ix->hdr.storedKeyLen, n = ix->hdr.nodeSize;

    ix->curKey = (BYTE*)calloc(1, k);
    ix->work1 = (BYTE*)calloc(1, k + IXD_PTR_LEN);   /* a whole entry */
    ix->work2 = (BYTE*)calloc(1, k + IXD_PTR_LEN);
    ix->nodeA = (BYTE*)malloc(n);
    ix->nodeB = (BYTE*)malloc(n);
    ix->nodeC = (BYTE*)malloc(n);
    if (!ix->curKey || !ix->work1 || !ix->work2 || !ix->nodeA || !ix->nodeB || !ix->nodeC)
        return IXD_ERR_NO_MEMORY;
    return ixdCacheInit(ix, defaultCacheSlots);
}

/* The node area the header claims must lie within the file: every node is
 * written (or, with the write-back cache, its header count is raised only
 * at close, after the nodes) before the header counts it, so a larger
 * count means damage - and would send node writes far behind the data. */
USHORT ixdCheckNodeArea(IX *ix, const IXDHEADER *h)
{
    ULONG length = 0;
    unsigned long long end = h->node0Offset + (unsigned long long)h->nNodes * h->nodeSize;

    if (VbfQueryLength(ix->vbf, &length) != 0)
        return IXD_ERR_IO;
    return end <= length ? 0 : IXD_ERR_BAD_FILE;
}

/* Reads and checks the header under the index lock. */
static USHORT loadHeader(IX *ix, USHORT keyLength)
{
    BYTE raw[IXD_HDR_SIZE];
    USHORT rc, urc;

    if (ixdLockRead(ix) != 0)
        return IXD_ERR_LOCK;
    rc = ixdReadAt(ix, 0, raw, sizeof raw);
    if (rc == 0) {
        ixdHeaderDecode(&ix->hdr, raw);
        rc = checkHeader(raw, &ix->hdr, keyLength);
        if (rc == 0)
            rc = ixdCheckNodeArea(ix, &ix->hdr);
    }
    urc = ixdUnlock(ix);
    return rc ? rc : urc;
}

PIX ixdOpenHandle(const char *fileName, USHORT keyLength, ULONG shared, VBFFUNCS *funcs,
                  ULONG *error)
{
    IX *ix = (IX*)calloc(1, sizeof *ix);
    USHORT rc;

    if (!ix) {
        ixdSetErr(error, IXD_ERR_NO_MEMORY);
        return NULL;
    }
    ix->shared = shared != 0;
    ix->curIndex = -1;
    if (openVbf(fileName, VBF_OPEN_EXISTING, VBF_MODE_READWRITE | IXD_OPEN_SHARE(shared), funcs,
                &ix->vbf) != 0) {
        free(ix);
        ixdSetErr(error, IXD_ERR_OPEN);
        return NULL;
    }
    rc = loadHeader(ix, keyLength);
    if (rc == 0)
        rc = allocBuffers(ix);
    if (rc) {
        VbfClose(ix->vbf);
        freeHandle(ix);
        ixdSetErr(error, rc);
        return NULL;
    }
    ix->changedVersion = ix->hdr.version;
    ix->cacheVersion = ix->hdr.version;
    ixdSetErr(error, 0);
    return ix;
}

/* In shared mode another process may have moved the header on since this
 * handle last looked: bring it up to date under the lock before writing. */
static USHORT writeFinalHeader(IX *ix)
{
    USHORT rc, urc;

    if (!ix->shared)
        return ixdWriteHeader(ix);
    if (ixdLockUpdate(ix) != 0)
        return IXD_ERR_LOCK;
    rc = ixdSync(ix);
    if (rc == 0 || rc == IXD_ERR_BAD_FILE)
        rc = ixdWriteHeader(ix);
    urc = ixdUnlock(ix);
    return rc ? rc : urc;
}

void ixdCloseHandle(IX *ix)
{
    USHORT flushed = ixdCacheWriteBack(ix);

    if (flushed)
        ix->hdr.consistent = 0;
    if (!ix->shared || ix->headerWritten || flushed)
        writeFinalHeader(ix);
    VbfClose(ix->vbf);
    freeHandle(ix);
}

USHORT ORINAPI IxdQueryKeySize(const char *fileName, ULONG *error) noexcept
{
    BYTE raw[IXD_HDR_SIZE];
    HVBF vbf;
    ULONG got = 0;
    USHORT rc = 0;

    if (openVbf(fileName, VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_NONE, NULL, &vbf)) {
        ixdSetErr(error, IXD_ERR_OPEN);
        return 0;
    }
    if (VbfChgFilePtr(vbf, 0, VBF_FILE_BEGIN, NULL) != 0 ||
        VbfRead(vbf, raw, sizeof raw, &got) != 0 || got != sizeof raw)
        rc = IXD_ERR_IO;
    else if (memcmp(raw + IXD_HDR_MAGIC, IXD_MAGIC, IXD_MAGIC_LEN) != 0 ||
             ixdGet16(raw + IXD_HDR_KEYLEN) < IXD_RECNO_LEN)
        rc = IXD_ERR_BAD_FILE;
    VbfClose(vbf);
    ixdSetErr(error, rc);
    return rc ? 0 : (USHORT)(ixdGet16(raw + IXD_HDR_KEYLEN) - IXD_RECNO_LEN);
}

USHORT ixdSetDefaultCache(USHORT slots)
{
    USHORT previous = defaultCacheSlots;

    defaultCacheSlots = slots > IXD_MAX_CACHE ? IXD_DEFAULT_CACHE : slots;
    return previous;
}

USHORT ixdDefaultCache(void)
{
    return defaultCacheSlots;
}
