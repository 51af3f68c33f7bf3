/*
 * ixd_lock.cpp - sharing one Ixd file between processes, and the crash
 * mark of a change.
 *
 * In shared mode every operation runs under the index lock, a 12-byte
 * byte-range lock far behind the data (kLockOffset) so that it never
 * hinders reads and writes of the file itself.  Changes take it exclusive;
 * readers take it shared while read locks are allowed (the process-wide
 * switch of IxdAllowReadlock), and otherwise only probe the header,
 * retrying while the system reports a lock violation.  Outside shared mode
 * every lock call succeeds at once.
 *
 * Other processes' changes are noticed through the version at header
 * offset 8, which every change increments: before each operation the
 * version is read straight from the file, and when it differs from the one
 * in memory the file's buffers are flushed, the header is read again, the
 * node cache is dropped and the remembered position is invalidated.
 *
 * A change is framed by PendingChange: begin() (consistency flag 0,
 * version + 1, header written) and commit() (consistency 1, header written
 * again in shared mode).  Outside shared mode the header is written only
 * at the first change after open and at close, so a crash in between
 * leaves a file marked inconsistent.
 */
#include "index/ixdint.h"

namespace orin::ixd {

std::atomic<ULONG> readlocksAllowed{1};

namespace {

constexpr ULONG kLockShared = 0;
constexpr ULONG kLockExclusive = 1;

std::atomic<ULONG> heldLocks{0};      /* index locks held by this process */

USHORT takeLock(IX *ix, ULONG exclusive)
{
    FILELOCK range = {kLockOffset, kLockLength, exclusive};

    if (VbfFileLocksEx(ix->vbf.get(), nullptr, &range) != 0)
        return IXD_ERR_LOCK;
    heldLocks.fetch_add(1, std::memory_order_relaxed);
    ix->lockHeld = 1;
    return 0;
}

/* Counts one lock less; false when the count says none is held. */
bool countRelease()
{
    ULONG n = heldLocks.load(std::memory_order_relaxed);
    do {
        if (n < 1)
            return false;
    } while (!heldLocks.compare_exchange_weak(n, n - 1, std::memory_order_relaxed));
    return true;
}

/* Readers without read locks wait until the header can be read: a
 * writer's lock on the file shows as a lock violation. */
USHORT probeHeader(IX *ix)
{
    for (int tries = 0; tries < kProbeTries; tries++) {
        BYTE probe[2];
        ULONG got = 0;
        if (VbfChgFilePtr(ix->vbf.get(), kHdrConsistent, VBF_FILE_BEGIN, nullptr) != 0)
            return IXD_ERR_IO;
        USHORT rc = VbfReadDirect(ix->vbf.get(), probe, sizeof probe, &got);
        if (rc != ORIN_ERR_LOCK_VIOLATION)
            return rc == 0 && got == sizeof probe ? 0 : IXD_ERR_IO;
        Sleep(kProbeWaitMs);
    }
    return IXD_ERR_LOCK;
}

USHORT rereadHeader(IX *ix)
{
    BYTE raw[kHeaderSize];
    Header h;

    if (readAt(ix, 0, raw, sizeof raw) != 0)
        return IXD_ERR_IO;
    decodeHeader(&h, raw);
    /* the geometry never changes; a file that says otherwise is damaged */
    if (std::memcmp(raw, kMagic, kMagicLen) != 0 ||
        h.storedKeyLen != ix->hdr.storedKeyLen || h.nodeSize != ix->hdr.nodeSize ||
        h.maxEntries != ix->hdr.maxEntries || h.node0Offset != ix->hdr.node0Offset ||
        h.height < 1 || h.height > IXD_MAX_HEIGHT || h.root >= h.nNodes ||
        checkNodeArea(ix, h) != 0)
        return IXD_ERR_BAD_FILE;
    ix->hdr = h;
    ix->freeListChecked = 0;
    return 0;
}

}  // namespace

USHORT lockUpdate(IX *ix)
{
    return ix->shared ? takeLock(ix, kLockExclusive) : 0;
}

USHORT lockRead(IX *ix)
{
    if (!ix->shared)
        return 0;
    if (readlocksAllowed.load(std::memory_order_relaxed))
        return takeLock(ix, kLockShared);
    return probeHeader(ix);
}

USHORT unlock(IX *ix)
{
    FILELOCK range = {kLockOffset, kLockLength, 0};

    if (!ix->lockHeld)
        return 0;
    ix->lockHeld = 0;
    if (!countRelease())
        return IXD_ERR_UNLOCK;
    return VbfFileLocks(ix->vbf.get(), &range, nullptr) == 0 ? 0 : IXD_ERR_UNLOCK;
}

USHORT readFileVersion(IX *ix, USHORT *version)
{
    BYTE raw[2];
    ULONG got = 0;

    if (VbfChgFilePtr(ix->vbf.get(), kHdrVersion, VBF_FILE_BEGIN, nullptr) != 0 ||
        VbfReadDirect(ix->vbf.get(), raw, sizeof raw, &got) != 0 || got != sizeof raw)
        return IXD_ERR_IO;
    *version = get16(raw);
    return 0;
}

USHORT sync(IX *ix)
{
    if (!ix->shared)
        return 0;
    USHORT version;
    USHORT rc = readFileVersion(ix, &version);
    if (rc != 0)
        return rc;
    if (version == ix->hdr.version)
        return 0;
    VbfFlush(ix->vbf.get());
    rc = rereadHeader(ix);
    if (rc != 0)
        return rc;
    if (ix->hdr.version != ix->cacheVersion) {
        rc = cacheWriteBack(ix);
        cacheDrop(ix);
        ix->cacheVersion = ix->hdr.version;
        if (rc != 0)
            return rc;
    }
    ix->foreignChange = 1;
    ix->curIndex = -1;
    if (readlocksAllowed.load(std::memory_order_relaxed) && ix->hdr.consistent == 0)
        return IXD_ERR_BAD_FILE;
    return 0;
}

PendingChange::~PendingChange()
{
    if (begun_ && !committed_)
        ix_->brokenChange = 1;
}

USHORT PendingChange::begin() noexcept
{
    if (ix_->brokenChange)
        return IXD_ERR_BAD_FILE;
    begun_ = true;
    ix_->hdr.consistent = 0;
    if (ix_->shared || !ix_->headerWritten) {
        ix_->hdr.version++;
        ix_->cacheVersion = ix_->hdr.version;
        ix_->headerWritten = 1;
        return writeHeader(ix_);
    }
    return 0;
}

USHORT PendingChange::commit() noexcept
{
    committed_ = true;
    ix_->curIndex = -1;
    ix_->hdr.consistent = 1;
    return ix_->shared ? writeHeader(ix_) : 0;
}

}  // namespace orin::ixd
