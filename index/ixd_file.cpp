/*
 * ixd_file.cpp - creating, opening and closing Ixd index files, and the
 * header they start with.
 *
 * The header is kept in memory as an Header and converted to and from
 * its 48 little-endian bytes by one pair of functions, so the byte layout
 * of ixdint.h is written down once.  Creation lays out the file (header
 * block, user area, node area with one empty leaf as root), closes it and
 * opens it again the ordinary way.  Opening checks the header before
 * trusting any of it: magic, key length, consistency flag, and a geometry
 * that agrees with itself, so that a damaged file is refused with
 * IXD_ERR_BAD_FILE instead of steering the tree code out of its buffers.
 *
 * A handle is made in the pool (orin::ixd::handles) and owned by an OwnedIx
 * until IxdOpen or IxdCreate hands it out; a failed open gives the record
 * and its file back on the way out.
 */
#include <new>
#include "index/ixdint.h"
#include "knlnam.h"

namespace orin::ixd {
namespace {

std::atomic<USHORT> defaultCacheSlots{IXD_DEFAULT_CACHE};

ULONG openShare(ULONG shared)
{
    return shared ? VBF_SHARE_DENY_NONE : VBF_SHARE_DENY_ALL;
}

}  // namespace

void decodeHeader(Header *h, const BYTE *raw)
{
    h->version = get16(raw + kHdrVersion);
    h->root = get32(raw + kHdrRoot);
    h->freeHead = get32(raw + kHdrFree);
    h->height = get16(raw + kHdrHeight);
    h->storedKeyLen = get16(raw + kHdrKeyLen);
    h->maxEntries = get16(raw + kHdrMaxEntries);
    h->nodeSize = get16(raw + kHdrNodeSize);
    h->consistent = get16(raw + kHdrConsistent);
    h->nKeys = get32(raw + kHdrNKeys);
    h->nNodes = get32(raw + kHdrNNodes);
    h->node0Offset = get32(raw + kHdrNode0);
    h->userOffset = get32(raw + kHdrUserOff);
    h->userSize = get32(raw + kHdrUserSize);
}

void encodeHeader(const Header &hdr, BYTE *raw)
{
    const Header *h = &hdr;
    std::memset(raw, 0, kHeaderSize);
    std::memcpy(raw + kHdrMagic, kMagic, kMagicLen);
    put16(raw + kHdrVersion, h->version);
    put32(raw + kHdrRoot, h->root);
    put32(raw + kHdrFree, h->freeHead);
    put16(raw + kHdrHeight, h->height);
    put16(raw + kHdrKeyLen, h->storedKeyLen);
    put16(raw + kHdrMaxEntries, h->maxEntries);
    put16(raw + kHdrNodeSize, h->nodeSize);
    put16(raw + kHdrConsistent, h->consistent);
    put32(raw + kHdrNKeys, h->nKeys);
    put32(raw + kHdrNNodes, h->nNodes);
    put32(raw + kHdrNode0, h->node0Offset);
    put32(raw + kHdrUserOff, h->userOffset);
    put32(raw + kHdrUserSize, h->userSize);
}

USHORT readAt(IX *ix, ULONG offset, void *buf, ULONG len)
{
    ULONG got = 0;

    if (VbfChgFilePtr(ix->vbf.get(), static_cast<LONG>(offset), VBF_FILE_BEGIN, nullptr) != 0 ||
        VbfRead(ix->vbf.get(), buf, len, &got) != 0 || got != len)
        return IXD_ERR_IO;
    return 0;
}

USHORT writeAt(IX *ix, ULONG offset, const void *buf, ULONG len)
{
    ULONG done = 0;

    if (VbfChgFilePtr(ix->vbf.get(), static_cast<LONG>(offset), VBF_FILE_BEGIN, nullptr) != 0 ||
        VbfWrite(ix->vbf.get(), buf, len, &done) != 0 || done != len)
        return IXD_ERR_IO;
    return 0;
}

USHORT writeHeader(IX *ix)
{
    BYTE raw[kHeaderSize];

    encodeHeader(ix->hdr, raw);
    return writeAt(ix, 0, raw, sizeof raw);
}

namespace {

USHORT maxEntriesFor(ULONG nodeSize, ULONG storedKeyLen)
{
    return static_cast<USHORT>((nodeSize - kNodeEntries) / (storedKeyLen + kPtrLen));
}

/* Every node must hold at least two entries. */
bool geometryFits(ULONG nodeSize, ULONG storedKeyLen)
{
    return nodeSize >= IXD_MIN_NODE_SIZE && storedKeyLen + kPtrLen <= (nodeSize - kNodeEntries) / 2;
}

/* The user area starts at s - (48 mod s) + 48 for node size s (the first
 * block for s above the header size); node 0 comes one block after it plus
 * the user area size rounded down to whole blocks.  node0Offset stays 0
 * when the file would outgrow 32 bits. */
void layout(Header *h, ULONG nodeSize, ULONG userSize)
{
    unsigned long long userOff = nodeSize - kHeaderSize % nodeSize + kHeaderSize;
    unsigned long long node0 = userOff + nodeSize + (userSize - userSize % nodeSize);

    h->userOffset = static_cast<ULONG>(userOff);
    h->userSize = userSize;
    h->node0Offset = node0 > 0xFFFFFFFFULL - nodeSize ? 0 : static_cast<ULONG>(node0);
}

USHORT openVbf(const char *name, ULONG flags, ULONG mode, VBFFUNCS *funcs, UniqueVbf *vbf)
{
    if (name == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    HVBF h = nullptr;
    ULONG action = 0;
    USHORT rc = VbfOpen(KnlNamGetDefaultNS(), name, &h, &action, 0, VBF_ATTR_NORMAL, flags, mode,
                        funcs);
    vbf->reset(h);
    return rc;
}

USHORT writeEmptyFile(HVBF vbf, const Header &h)
{
    BYTE raw[kHeaderSize];
    std::vector<BYTE> node;
    try {
        node.resize(h.nodeSize);
    } catch (const std::bad_alloc &) {
        return IXD_ERR_NO_MEMORY;
    }
    encodeHeader(h, raw);
    put32(node.data() + kNodePrev, kNone);
    put32(node.data() + kNodeNext, kNone);
    ULONG done = 0;
    if (VbfChgFilePtr(vbf, 0, VBF_FILE_BEGIN, nullptr) == 0 &&
        VbfWrite(vbf, raw, sizeof raw, &done) == 0 && done == sizeof raw &&
        VbfNewSize(vbf, h.node0Offset) == 0 &&
        VbfChgFilePtr(vbf, static_cast<LONG>(h.node0Offset), VBF_FILE_BEGIN, nullptr) == 0 &&
        VbfWrite(vbf, node.data(), h.nodeSize, &done) == 0 && done == h.nodeSize)
        return 0;
    return IXD_ERR_IO;
}

/* The header of a new, empty index. */
Header newHeader(USHORT nodeSize, ULONG storedKeyLen, ULONG userAreaSize)
{
    Header h = {};
    h.freeHead = kNone;
    h.height = 1;
    h.storedKeyLen = static_cast<USHORT>(storedKeyLen);
    h.maxEntries = maxEntriesFor(nodeSize, storedKeyLen);
    h.nodeSize = nodeSize;
    h.consistent = 1;
    h.nNodes = 1;
    layout(&h, nodeSize, userAreaSize);
    return h;
}

/* A header this code can work with without leaving its buffers. */
USHORT checkHeader(const BYTE *raw, const Header &h, ULONG keyLength)
{
    if (std::memcmp(raw + kHdrMagic, kMagic, kMagicLen) != 0)
        return IXD_ERR_BAD_FILE;
    if (h.consistent == 0 && readlocksAllowed.load(std::memory_order_relaxed))
        return IXD_ERR_BAD_FILE;
    if (h.storedKeyLen != keyLength + kRecnoLen)
        return IXD_ERR_BAD_FILE;
    if (!geometryFits(h.nodeSize, h.storedKeyLen) ||
        h.maxEntries != maxEntriesFor(h.nodeSize, h.storedKeyLen) ||
        h.height < 1 || h.height > IXD_MAX_HEIGHT || h.root >= h.nNodes ||
        h.node0Offset < kHeaderSize)
        return IXD_ERR_BAD_FILE;
    return 0;
}

/* The key and node buffers for the header's geometry, and the cache. */
USHORT allocBuffers(IX *ix)
{
    size_t k = ix->hdr.storedKeyLen, n = ix->hdr.nodeSize;
    try {
        ix->curKey.assign(k, 0);
        ix->work1.assign(k + kPtrLen, 0);   // a whole entry
        ix->work2.assign(k + kPtrLen, 0);
        ix->nodeA.resize(n);
        ix->nodeB.resize(n);
        ix->nodeC.resize(n);
        ix->nodeView.resize(n);
    } catch (const std::bad_alloc &) {
        return IXD_ERR_NO_MEMORY;
    }
    return cacheInit(ix, defaultCache());
}

/* Reads and checks the header under the index lock. */
USHORT loadHeader(IX *ix, USHORT keyLength)
{
    IndexLock lock(ix, IndexLock::kRead);
    if (lock.code() != 0)
        return lock.code();
    BYTE raw[kHeaderSize];
    USHORT rc = readAt(ix, 0, raw, sizeof raw);
    if (rc == 0) {
        decodeHeader(&ix->hdr, raw);
        rc = checkHeader(raw, ix->hdr, keyLength);
        if (rc == 0)
            rc = checkNodeArea(ix, ix->hdr);
    }
    return lock.release(rc);
}

/* In shared mode another process may have moved the header on since this
 * handle last looked: bring it up to date under the lock before writing. */
USHORT writeFinalHeader(IX *ix)
{
    if (!ix->shared)
        return writeHeader(ix);
    IndexLock lock(ix, IndexLock::kUpdate);
    if (lock.code() != 0)
        return lock.code();
    USHORT rc = sync(ix);
    if (rc == 0 || rc == IXD_ERR_BAD_FILE)
        rc = writeHeader(ix);
    return lock.release(rc);
}

}  // namespace

OwnedIx createHandle(const char *fileName, USHORT keyLength, ULONG shared, USHORT nodeSize,
                     ULONG userAreaSize, VBFFUNCS *funcs, ULONG *error)
{
    ULONG stored = ULONG{keyLength} + kRecnoLen;
    if (nodeSize == 0)
        nodeSize = IXD_DEFAULT_NODE_SIZE;
    if (!geometryFits(nodeSize, stored)) {
        setError(error, IXD_ERR_NODE_SIZE);
        return OwnedIx(nullptr, {&handles});
    }
    Header h = newHeader(nodeSize, stored, userAreaSize);
    UniqueVbf vbf;
    if (h.node0Offset == 0 ||
        openVbf(fileName, VBF_CREATE_OR_REPLACE, VBF_MODE_READWRITE | VBF_SHARE_DENY_ALL, funcs,
                &vbf) != 0) {
        setError(error, IXD_ERR_CREATE);
        return OwnedIx(nullptr, {&handles});
    }
    USHORT rc = writeEmptyFile(vbf.get(), h);
    vbf.reset();
    if (rc != 0) {
        setError(error, rc);
        return OwnedIx(nullptr, {&handles});
    }
    return openHandle(fileName, keyLength, shared, funcs, error);
}

OwnedIx openHandle(const char *fileName, USHORT keyLength, ULONG shared, VBFFUNCS *funcs,
                   ULONG *error)
{
    OwnedIx ix = handles.tryMake();
    if (ix == nullptr) {
        setError(error, IXD_ERR_NO_MEMORY);
        return ix;
    }
    ix->shared = shared != 0;
    if (openVbf(fileName, VBF_OPEN_EXISTING, VBF_MODE_READWRITE | openShare(shared), funcs,
                &ix->vbf) != 0) {
        setError(error, IXD_ERR_OPEN);
        return OwnedIx(nullptr, {&handles});
    }
    USHORT rc = loadHeader(ix.get(), keyLength);
    if (rc == 0)
        rc = allocBuffers(ix.get());
    if (rc != 0) {
        setError(error, rc);
        return OwnedIx(nullptr, {&handles});
    }
    ix->changedVersion = ix->hdr.version;
    ix->cacheVersion = ix->hdr.version;
    setError(error, 0);
    return ix;
}

/* The node area the header claims must lie within the file: every node is
 * written (or, with the write-back cache, its header count is raised only
 * at close, after the nodes) before the header counts it, so a larger
 * count means damage - and would send node writes far behind the data. */
USHORT checkNodeArea(IX *ix, const Header &h)
{
    ULONG length = 0;
    unsigned long long end = h.node0Offset + static_cast<unsigned long long>(h.nNodes) * h.nodeSize;

    if (VbfQueryLength(ix->vbf.get(), &length) != 0)
        return IXD_ERR_IO;
    return end <= length ? 0 : IXD_ERR_BAD_FILE;
}

/* Writes what the handle still holds and closes its file; a cache that
 * cannot be written back leaves the file marked inconsistent. */
void closeHandle(IX *ix)
{
    USHORT flushed = cacheWriteBack(ix);
    if (flushed != 0)
        ix->hdr.consistent = 0;
    if (!ix->shared || ix->headerWritten || flushed != 0)
        writeFinalHeader(ix);
    ix->vbf.reset();
}

USHORT setDefaultCache(USHORT slots)
{
    return defaultCacheSlots.exchange(slots > IXD_MAX_CACHE ? IXD_DEFAULT_CACHE : slots);
}

USHORT defaultCache()
{
    return defaultCacheSlots.load();
}

}  // namespace orin::ixd

using namespace orin::ixd;

USHORT ORINAPI IxdQueryKeySize(const char *fileName, ULONG *error) noexcept
{
    UniqueVbf vbf;
    if (openVbf(fileName, VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_NONE, nullptr, &vbf)) {
        setError(error, IXD_ERR_OPEN);
        return 0;
    }
    BYTE raw[kHeaderSize];
    ULONG got = 0;
    USHORT rc = 0;
    if (VbfChgFilePtr(vbf.get(), 0, VBF_FILE_BEGIN, nullptr) != 0 ||
        VbfRead(vbf.get(), raw, sizeof raw, &got) != 0 || got != sizeof raw)
        rc = IXD_ERR_IO;
    else if (std::memcmp(raw + kHdrMagic, kMagic, kMagicLen) != 0 || get16(raw + kHdrKeyLen) < kRecnoLen)
        rc = IXD_ERR_BAD_FILE;
    setError(error, rc);
    return rc != 0 ? 0 : static_cast<USHORT>(get16(raw + kHdrKeyLen) - kRecnoLen);
}
