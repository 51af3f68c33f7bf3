/*
 * ixd_lock.c - sharing one Ixd file between processes.
 *
 * In shared mode every operation runs under the index lock, a 12-byte
 * byte-range lock far behind the data (IXD_LOCK_OFFSET) so that it never
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
 * A change is framed by ixdBeginChange (consistency flag 0, version + 1,
 * header written) and ixdEndChange (consistency 1, header written again in
 * shared mode).  Outside shared mode the header is written only at the
 * first change after open and at close, so a crash in between leaves a file
 * marked inconsistent.
 */
#include "index/ixdint.h"

#define IXD_LOCK_SHARED     0
#define IXD_LOCK_EXCLUSIVE  1

ULONG ixdReadlocksAllowed = 1;
static ULONG heldLocks;        /* index locks held by this process */

static USHORT takeLock(IX *ix, ULONG exclusive)
{
    FILELOCK range = { IXD_LOCK_OFFSET, IXD_LOCK_LENGTH, exclusive };

    if (VbfFileLocksEx(ix->vbf, NULL, &range) != 0)
        return IXD_ERR_LOCK;
    heldLocks++;
    ix->lockHeld = 1;
    return 0;
}

USHORT ixdLockUpdate(IX *ix)
{
    return ix->shared ? takeLock(ix, IXD_LOCK_EXCLUSIVE) : 0;
}

/* Readers lock shared, or without read locks wait until the header can be
 * read: a writer's lock on the file shows as a lock violation. */
USHORT ixdLockRead(IX *ix)
{
    BYTE probe[2];

    if (!ix->shared)
        return 0;
    if (ixdReadlocksAllowed)
        return takeLock(ix, IXD_LOCK_SHARED);
    for (int tries = 0; tries < IXD_PROBE_TRIES; tries++) {
        ULONG got = 0;
        USHORT rc;
        if (VbfChgFilePtr(ix->vbf, IXD_HDR_CONSISTENT, VBF_FILE_BEGIN, NULL) != 0)
            return IXD_ERR_IO;
        rc = VbfReadDirect(ix->vbf, probe, sizeof probe, &got);
        if (rc != ORIN_ERR_LOCK_VIOLATION)
            return rc == 0 && got == sizeof probe ? 0 : IXD_ERR_IO;
        Sleep(IXD_PROBE_WAIT_MS);
    }
    return IXD_ERR_LOCK;
}

USHORT ixdUnlock(IX *ix)
{
    FILELOCK range = { IXD_LOCK_OFFSET, IXD_LOCK_LENGTH, 0 };

    if (!ix->lockHeld)
        return 0;
    ix->lockHeld = 0;
    if (heldLocks < 1)
        return IXD_ERR_UNLOCK;
    heldLocks--;
    return VbfFileLocks(ix->vbf, &range, NULL) == 0 ? 0 : IXD_ERR_UNLOCK;
}

USHORT ixdReadFileVersion(IX *ix, USHORT *version)
{
    BYTE raw[2];
    ULONG got = 0;

    if (VbfChgFilePtr(ix->vbf, IXD_HDR_VERSION, VBF_FILE_BEGIN, NULL) != 0 ||
        VbfReadDirect(ix->vbf, raw, sizeof raw, &got) != 0 || got != sizeof raw)
        return IXD_ERR_IO;
    *version = ixdGet16(raw);
    return 0;
}

static USHORT rereadHeader(IX *ix)
{
    BYTE raw[IXD_HDR_SIZE];
    IXDHEADER h;

    if (ixdReadAt(ix, 0, raw, sizeof raw) != 0)
        return IXD_ERR_IO;
    ixdHeaderDecode(&h, raw);
    /* the geometry never changes; a file that says otherwise is damaged */
    if (memcmp(raw, IXD_MAGIC, IXD_MAGIC_LEN) != 0 ||
        h.storedKeyLen != ix->hdr.storedKeyLen || h.nodeSize != ix->hdr.nodeSize ||
        h.maxEntries != ix->hdr.maxEntries || h.node0Offset != ix->hdr.node0Offset ||
        h.height < 1 || h.height > IXD_MAX_HEIGHT || h.root >= h.nNodes ||
        ixdCheckNodeArea(ix, &h) != 0)
        return IXD_ERR_BAD_FILE;
    ix->hdr = h;
    ix->freeListChecked = 0;
    return 0;
}

USHORT ixdSync(IX *ix)
{
    USHORT version, rc;

    if (!ix->shared)
        return 0;
    rc = ixdReadFileVersion(ix, &version);
    if (rc)
        return rc;
    if (version == ix->hdr.version)
        return 0;
    VbfFlush(ix->vbf);
    rc = rereadHeader(ix);
    if (rc)
        return rc;
    if (ix->hdr.version != ix->cacheVersion) {
        rc = ixdCacheWriteBack(ix);
        ixdCacheDrop(ix);
        ix->cacheVersion = ix->hdr.version;
        if (rc)
            return rc;
    }
    ix->foreignChange = 1;
    ix->curIndex = -1;
    if (ixdReadlocksAllowed && ix->hdr.consistent == 0)
        return IXD_ERR_BAD_FILE;
    return 0;
}

USHORT ixdBeginChange(IX *ix)
{
    ix->hdr.consistent = 0;
    if (ix->shared || !ix->headerWritten) {
        ix->hdr.version++;
        ix->cacheVersion = ix->hdr.version;
        ix->headerWritten = 1;
        return ixdWriteHeader(ix);
    }
    return 0;
}

USHORT ixdEndChange(IX *ix)
{
    ix->curIndex = -1;
    ix->hdr.consistent = 1;
    return ix->shared ? ixdWriteHeader(ix) : 0;
}
