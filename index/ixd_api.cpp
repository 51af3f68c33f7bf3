/*
 * ixd_api.c - the exported Ixd calls: handle checks, forwarding through a
 * foreign operation table, and the lock/synchronise frame around the tree
 * and navigation code.
 *
 * Handles made here are kept in a process-wide list (the family is not
 * thread-safe, like the rest of the storage stack), so a call can tell its
 * own handles from others.  Any other non-null handle is taken to belong
 * to another implementation: its first field points to an IXDFUNCS table,
 * and a call whose slot the table covers is forwarded there with the same
 * arguments (a null slot answers IXD_FAILED, or 0 for the length and
 * counter queries).  A foreign handle whose table is too short for a call
 * cannot be served here and gets ORIN_ERR_NOT_SUPPORTED (IxdQueryCurrentKey
 * alone has a fallback for such tables).
 *
 * Own handles run each operation as: take the index lock (exclusive for
 * changes, shared or probing for reads), synchronise with other processes,
 * do the work, release the lock.  Outside shared mode the lock calls do
 * nothing.
 */
#include <stddef.h>
#include <stdlib.h>
#include "index/ixdint.h"

#define SLOT_PRESENT(t, slot) ((t)->cb >= offsetof(IXDFUNCS, slot) + sizeof((t)->slot))

static IX **openHandles;
static size_t openCount, openCap;

static int isOwn(PIX ix)
{
    for (size_t i = 0; i < openCount; i++)
        if (openHandles[i] == ix)
            return 1;
    return 0;
}

/* Registers a handle just made; on failure the handle is closed again. */
static PIX registerHandle(PIX ix, ULONG *error)
{
    if (!ix)
        return NULL;
    if (openCount == openCap) {
        size_t cap = openCap ? openCap * 2 : 16;
        IX **grown = (IX**)realloc(openHandles, cap * sizeof *grown);
        if (!grown) {
            ixdCloseHandle(ix);
            ixdSetErr(error, IXD_ERR_NO_MEMORY);
            return NULL;
        }
        openHandles = grown;
        openCap = cap;
    }
    openHandles[openCount++] = ix;
    return ix;
}

static void unregisterHandle(PIX ix)
{
    for (size_t i = 0; i < openCount; i++)
        if (openHandles[i] == ix) {
            openHandles[i] = openHandles[--openCount];
            return;
        }
}

/* The table of a foreign handle, or null for an own or null handle. */
static const IXDFUNCS *foreignTable(PIX ix)
{
    return ix && !isOwn(ix) ? ix->funcs : NULL;
}

int ixdIsOwnHandle(PIX ix)
{
    return ix && isOwn(ix);
}

/* Own handle, or a code for a call that cannot run on this one. */
static USHORT ownHandle(PIX ix)
{
    if (!ix)
        return ORIN_ERR_INVALID_HANDLE;
    return isOwn(ix) ? 0 : ix->funcs ? ORIN_ERR_NOT_SUPPORTED : ORIN_ERR_INVALID_HANDLE;
}

/* Forwarding: when the table covers the slot, run it (or fail on a null
 * slot); the macro returns from the calling function. */
#define FORWARD(ix, slot, nullResult, ...)                                      \
    do {                                                                        \
        const IXDFUNCS *t_ = foreignTable(ix);                                  \
        if (t_ && SLOT_PRESENT(t_, slot))                                       \
            return t_->slot ? t_->slot(__VA_ARGS__) : (nullResult);             \
    } while (0)

static USHORT beginOp(IX *ix, int update)
{
    USHORT rc = update ? ixdLockUpdate(ix) : ixdLockRead(ix);

    if (rc)
        return IXD_ERR_LOCK;
    rc = ixdSync(ix);
    if (rc)
        ixdUnlock(ix);
    return rc;
}

static USHORT endOp(IX *ix, USHORT rc)
{
    USHORT urc = ixdUnlock(ix);

    return rc ? rc : urc;
}

PIX ORINAPI IxdCreate(const char *fileName, USHORT keyLength, ULONG shared, USHORT nodeSize,
                      ULONG userAreaSize, VBFFUNCS *funcs, ULONG *error) noexcept
{
    return registerHandle(
        ixdCreateHandle(fileName, keyLength, shared, nodeSize, userAreaSize, funcs, error),
        error);
}

PIX ORINAPI IxdOpen(const char *fileName, USHORT keyLength, ULONG shared, VBFFUNCS *funcs,
                    ULONG *error) noexcept
{
    return registerHandle(ixdOpenHandle(fileName, keyLength, shared, funcs, error), error);
}

void ORINAPI IxdClose(PIX ix) noexcept
{
    const IXDFUNCS *t = foreignTable(ix);

    if (t && SLOT_PRESENT(t, Close)) {
        if (t->Close)
            t->Close(ix);
        return;
    }
    if (ownHandle(ix) != 0)
        return;
    unregisterHandle(ix);
    ixdCloseHandle(ix);
}

/* Builds the stored key: key bytes, then the record number. */
static BYTE *storedKey(IX *ix, const void *key, ULONG record, BYTE *buf)
{
    ULONG k = ix->hdr.storedKeyLen - IXD_RECNO_LEN;

    memcpy(buf, key, k);
    ixdPut32(buf + k, record);
    return buf;
}

static USHORT change(PIX ix, const BYTE *stored, int enter, ULONG *error)
{
    USHORT rc = beginOp(ix, 1);

    if (rc == 0)
        rc = endOp(ix, enter ? ixdTreeEnter(ix, stored) : ixdTreeRemove(ix, stored));
    return ixdResult(error, rc);
}

USHORT ORINAPI IxdEnter(PIX ix, const void *key, ULONG record, ULONG *error) noexcept
{
    USHORT rc;

    FORWARD(ix, Enter, IXD_FAILED, ix, key, record, error);
    if ((rc = ownHandle(ix)) != 0 || (rc = key ? 0 : ORIN_ERR_INVALID_PARAM) != 0)
        return ixdResult(error, rc);
    return change(ix, storedKey(ix, key, record, ix->work2), 1, error);
}

USHORT ORINAPI IxdRemove(PIX ix, const void *key, ULONG record, ULONG *error) noexcept
{
    USHORT rc;

    FORWARD(ix, Remove, IXD_FAILED, ix, key, record, error);
    if ((rc = ownHandle(ix)) != 0 || (rc = key ? 0 : ORIN_ERR_INVALID_PARAM) != 0)
        return ixdResult(error, rc);
    return change(ix, storedKey(ix, key, record, ix->work2), 0, error);
}

USHORT ORINAPI IxdRemoveKey(PIX ix, const void *stored, ULONG *error) noexcept
{
    USHORT rc;

    FORWARD(ix, RemoveKey, IXD_FAILED, ix, stored, error);
    if ((rc = ownHandle(ix)) != 0 || (rc = stored ? 0 : ORIN_ERR_INVALID_PARAM) != 0)
        return ixdResult(error, rc);
    memcpy(ix->work2, stored, ix->hdr.storedKeyLen);
    return change(ix, ix->work2, 0, error);
}

/* Positions by one of the search modes under the read lock. */
static USHORT search(PIX ix, const BYTE *stored, int mode, void *outKey, ULONG *record,
                     ULONG *error)
{
    USHORT rc = beginOp(ix, 0);

    if (rc == 0)
        rc = endOp(ix, ixdNavSearch(ix, stored, mode, outKey, record));
    return ixdResult(error, rc);
}

static USHORT searchKey(PIX ix, const void *key, BYTE recordFill, int mode, void *outKey,
                        ULONG *record, ULONG *error)
{
    ULONG k;
    USHORT rc;

    if ((rc = ownHandle(ix)) != 0 || (rc = key ? 0 : ORIN_ERR_INVALID_PARAM) != 0)
        return ixdResult(error, rc);
    k = ix->hdr.storedKeyLen - IXD_RECNO_LEN;
    memcpy(ix->work2, key, k);
    memset(ix->work2 + k, recordFill, IXD_RECNO_LEN);
    return search(ix, ix->work2, mode, outKey, record, error);
}

USHORT ORINAPI IxdSearch(PIX ix, const void *key, void *outKey, ULONG *record, ULONG *error) noexcept
{
    FORWARD(ix, Search, IXD_FAILED, ix, key, outKey, record, error);
    return searchKey(ix, key, 0x00, IXD_FIND_GE, outKey, record, error);
}

USHORT ORINAPI IxdSearchBack(PIX ix, const void *key, void *outKey, ULONG *record,
                             ULONG *error) noexcept
{
    FORWARD(ix, SearchBack, IXD_FAILED, ix, key, outKey, record, error);
    return searchKey(ix, key, 0xFF, IXD_FIND_LE, outKey, record, error);
}

USHORT ORINAPI IxdSearchID(PIX ix, const void *key, ULONG record, void *outKey,
                           ULONG *outRecord, ULONG *error) noexcept
{
    USHORT rc;

    FORWARD(ix, SearchID, IXD_FAILED, ix, key, record, outKey, outRecord, error);
    if ((rc = ownHandle(ix)) != 0 || (rc = key ? 0 : ORIN_ERR_INVALID_PARAM) != 0)
        return ixdResult(error, rc);
    return search(ix, storedKey(ix, key, record, ix->work2), IXD_FIND_GE, outKey, outRecord,
                  error);
}

USHORT ORINAPI IxdRetrieve(PIX ix, const void *key, ULONG record, ULONG *error) noexcept
{
    USHORT rc;

    FORWARD(ix, Retrieve, IXD_FAILED, ix, key, record, error);
    if ((rc = ownHandle(ix)) != 0 || (rc = key ? 0 : ORIN_ERR_INVALID_PARAM) != 0)
        return ixdResult(error, rc);
    return search(ix, storedKey(ix, key, record, ix->work2), IXD_FIND_EXACT, NULL, NULL,
                  error);
}

static USHORT edge(PIX ix, int mode, void *outKey, ULONG *record, ULONG *error)
{
    USHORT rc = ownHandle(ix);

    return rc ? ixdResult(error, rc) : search(ix, NULL, mode, outKey, record, error);
}

USHORT ORINAPI IxdFirst(PIX ix, void *outKey, ULONG *record, ULONG *error) noexcept
{
    FORWARD(ix, First, IXD_FAILED, ix, outKey, record, error);
    return edge(ix, IXD_FIND_FIRST, outKey, record, error);
}

USHORT ORINAPI IxdLast(PIX ix, void *outKey, ULONG *record, ULONG *error) noexcept
{
    FORWARD(ix, Last, IXD_FAILED, ix, outKey, record, error);
    return edge(ix, IXD_FIND_LAST, outKey, record, error);
}

/* Steps count pairs; a vanished current key is reported through the error
 * word while the call still succeeds. */
static USHORT step(PIX ix, LONG count, void *outKey, ULONG *record, ULONG *error)
{
    ULONG warning = 0;
    USHORT rc = ownHandle(ix);

    if (rc == 0 && (rc = beginOp(ix, 0)) == 0)
        rc = endOp(ix, ixdNavStep(ix, count, outKey, record, &warning));
    if (rc)
        return ixdResult(error, rc);
    ixdSetErr(error, warning);
    return 0;
}

USHORT ORINAPI IxdNext(PIX ix, void *outKey, ULONG *record, ULONG *error) noexcept
{
    FORWARD(ix, Next, IXD_FAILED, ix, outKey, record, error);
    return step(ix, 1, outKey, record, error);
}

USHORT ORINAPI IxdPrev(PIX ix, void *outKey, ULONG *record, ULONG *error) noexcept
{
    FORWARD(ix, Prev, IXD_FAILED, ix, outKey, record, error);
    return step(ix, -1, outKey, record, error);
}

USHORT ORINAPI IxdSkipkey(PIX ix, SHORT count, void *outKey, ULONG *record, ULONG *error) noexcept
{
    FORWARD(ix, Skipkey, IXD_FAILED, ix, count, outKey, record, error);
    return step(ix, count, outKey, record, error);
}

USHORT ORINAPI IxdGetNrRecords(PIX ix, const char *prefix, ULONG *count) noexcept
{
    ULONG n = 0;
    USHORT rc;

    FORWARD(ix, GetNrRecords, IXD_FAILED, ix, prefix, count);
    if (ownHandle(ix) != 0 || !prefix || !*prefix)
        return IXD_FAILED;
    rc = beginOp(ix, 0);
    if (rc == 0)
        rc = endOp(ix, ixdNavCountPrefix(ix, (const BYTE *)prefix, (ULONG)strlen(prefix), &n));
    if (count)
        *count = n;
    return rc ? IXD_FAILED : 0;
}

USHORT ORINAPI IxdQueryNrKeys(PIX ix, ULONG *count, ULONG *error) noexcept
{
    USHORT rc;

    FORWARD(ix, QueryNrKeys, IXD_FAILED, ix, count, error);
    if ((rc = ownHandle(ix)) == 0 && (rc = beginOp(ix, 0)) == 0) {
        if (count)
            *count = ix->hdr.nKeys;
        rc = endOp(ix, 0);
    }
    return ixdResult(error, rc);
}

USHORT ORINAPI IxdQueryTreeChanged(PIX ix, ULONG *changed, ULONG *error) noexcept
{
    USHORT rc;

    FORWARD(ix, QueryTreeChanged, IXD_FAILED, ix, changed, error);
    if ((rc = ownHandle(ix)) != 0)
        return ixdResult(error, rc);
    ix->foreignChange = 0;
    if ((rc = beginOp(ix, 0)) == 0) {
        ULONG flag = ix->foreignChange || ix->hdr.version != ix->changedVersion;
        ix->changedVersion = ix->hdr.version;
        if (changed)
            *changed = flag;
        rc = endOp(ix, 0);
    }
    return ixdResult(error, rc);
}

USHORT ORINAPI IxdQueryTreeVersion(PIX ix, USHORT *version, ULONG *error) noexcept
{
    USHORT rc, v = 0;

    FORWARD(ix, QueryTreeVersion, IXD_FAILED, ix, version, error);
    if ((rc = ownHandle(ix)) != 0)
        return ixdResult(error, rc);
    if (ix->shared)
        rc = ixdReadFileVersion(ix, &v);
    else
        v = ix->hdr.version;
    if (rc == 0 && version)
        *version = v;
    return ixdResult(error, rc);
}

USHORT ORINAPI IxdQueryKeyBufLength(PIX ix) noexcept
{
    FORWARD(ix, QueryKeyBufLength, 0, ix);
    return ownHandle(ix) ? 0 : ix->hdr.storedKeyLen;
}

USHORT ORINAPI IxdQueryKeyLength(PIX ix) noexcept
{
    FORWARD(ix, QueryKeyLength, 0, ix);
    return ownHandle(ix) ? 0 : (USHORT)(ix->hdr.storedKeyLen - IXD_RECNO_LEN);
}

/* An older foreign table may end before the current-key slot but hold the
 * key-length one: such a handle shares this family's record layout up to
 * the current-key buffer, so the key is copied from there with the length
 * its table reports. */
static USHORT foreignCurrentKey(const IXDFUNCS *t, PIX ix, void *buffer, USHORT size)
{
    USHORT n;

    if (!SLOT_PRESENT(t, QueryKeyLength) || !t->QueryKeyLength || !ix->curKey || !buffer)
        return IXD_FAILED;
    n = t->QueryKeyLength(ix);
    memcpy(buffer, ix->curKey, size < n ? size : n);
    return 0;
}

USHORT ORINAPI IxdQueryCurrentKey(PIX ix, void *buffer, USHORT size) noexcept
{
    const IXDFUNCS *t = foreignTable(ix);
    USHORT n;

    FORWARD(ix, QueryCurrentKey, IXD_FAILED, ix, buffer, size);
    if (t)
        return foreignCurrentKey(t, ix, buffer, size);
    if (ownHandle(ix) != 0 || !buffer || !ix->curKeyValid)
        return IXD_FAILED;
    n = (USHORT)(ix->hdr.storedKeyLen - IXD_RECNO_LEN);
    memcpy(buffer, ix->curKey, size < n ? size : n);
    return 0;
}

USHORT ORINAPI IxdChandeIndexMode(PIX ix, ULONG shared, USHORT cacheSize) noexcept
{
    USHORT rc;

    FORWARD(ix, ChangeIndexMode, IXD_FAILED, ix, shared, cacheSize);
    if (ownHandle(ix) != 0)
        return IXD_FAILED;
    if (cacheSize > IXD_MAX_CACHE)
        cacheSize = ixdDefaultCache();
    if ((rc = beginOp(ix, 1)) != 0)
        return IXD_FAILED;
    rc = ixdCacheWriteBack(ix);
    if (rc == 0) {
        ixdCacheFree(ix);
        rc = ixdCacheInit(ix, cacheSize);
    }
    if (rc == 0) {
        ix->hdr.version++;
        ix->cacheVersion = ix->hdr.version;
        ix->headerWritten = 1;
        ix->curIndex = -1;
        rc = ixdWriteHeader(ix);
    }
    rc = endOp(ix, rc);
    ix->shared = shared != 0;
    return rc ? IXD_FAILED : 0;
}

ULONG ORINAPI IxdQueryPerformanceCounter(PIX ix, ULONG mask, ULONG reset) noexcept
{
    ULONG sum = 0;

    FORWARD(ix, QueryPerformanceCounter, 0, ix, mask, reset);
    if (ownHandle(ix) != 0)
        return 0;
    if (mask & IXD_COUNT_CACHE_HITS)
        sum += ix->cacheHits;
    if (mask & IXD_COUNT_CACHE_FAILS)
        sum += ix->cacheFails;
    if (mask & IXD_COUNT_NODE_READS)
        sum += ix->nodeReads;
    if (mask & IXD_COUNT_NODE_WRITES)
        sum += ix->nodeWrites;
    if (reset) {
        if (mask & IXD_COUNT_CACHE_HITS)
            ix->cacheHits = 0;
        if (mask & IXD_COUNT_CACHE_FAILS)
            ix->cacheFails = 0;
        if (mask & IXD_COUNT_NODE_READS)
            ix->nodeReads = 0;
        if (mask & IXD_COUNT_NODE_WRITES)
            ix->nodeWrites = 0;
    }
    return sum;
}

USHORT ORINAPI IxdSetCacheSize(USHORT slots) noexcept
{
    return ixdSetDefaultCache(slots);
}

ULONG ORINAPI IxdAllowReadlock(ULONG allow) noexcept
{
    ULONG previous = ixdReadlocksAllowed;

    ixdReadlocksAllowed = allow;
    return previous;
}
