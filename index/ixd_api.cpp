/*
 * ixd_api.cpp - the exported Ixd calls: handle checks, forwarding through
 * a foreign operation table, and the lock/synchronise frame around the
 * tree and navigation code.
 *
 * Handles made here are records of orin::ixd::handles, so a call tells by
 * the handle's value alone whether it is one of this family's live
 * handles (served), one it made and closed since (the invalid-handle code
 * 6, nothing read through it), or none of its own at all.  Such a handle
 * is taken to belong to another implementation: its first field points to
 * an IXDFUNCS table, and a call whose slot the table covers is forwarded
 * there with the same arguments (a null slot answers IXD_FAILED, or 0 for
 * the length and counter queries).  A foreign handle whose table is too
 * short for a call cannot be served here and gets ORIN_ERR_NOT_SUPPORTED
 * (IxdQueryCurrentKey alone has a fallback for such tables).
 *
 * Own handles run each operation in an Operation frame: take the index
 * lock (exclusive for changes, shared or probing for reads), synchronise
 * with other processes, do the work, release the lock.  Outside shared
 * mode the lock calls do nothing.
 */
#include <cstdint>
#include <optional>
#include "index/ixdint.h"

namespace orin::ixd {
namespace {

constexpr BYTE kLowestRecord = 0x00;    // record bytes of "first with this key"
constexpr BYTE kHighestRecord = 0xFF;   // record bytes of "last with this key"

/* No object lives in the lowest 64 KiB of a process: a value there is
 * made up, never a foreign implementation's handle. */
constexpr std::uintptr_t kLowestObject = 0x10000;

/* Whether the table's length word covers slot `Slot`. */
template <auto Slot>
bool slotPresent(const IXDFUNCS *t)
{
    auto at = reinterpret_cast<std::uintptr_t>(&(t->*Slot)) - reinterpret_cast<std::uintptr_t>(t);
    return t->cb >= at + sizeof(t->*Slot);
}

/* The table of a foreign handle, or null for a null or made-up handle or a
 * record of this family or of any other family of the library, live or
 * closed. */
const IXDFUNCS *foreignTable(PIX ix)
{
    auto at = reinterpret_cast<std::uintptr_t>(ix);
    if (at < kLowestObject || at % alignof(ForeignHead) != 0 || handles.owns(ix) ||
        inHandleChunk(ix))
        return nullptr;
    return reinterpret_cast<const ForeignHead *>(ix)->funcs;
}

/* The record of an own live handle in *out, or the code for a call that
 * cannot run on this handle. */
USHORT ownHandle(PIX h, IX **out)
{
    *out = handles.get(h);
    if (*out != nullptr)
        return 0;
    return foreignTable(h) != nullptr ? ORIN_ERR_NOT_SUPPORTED : ORIN_ERR_INVALID_HANDLE;
}

/* The result of the foreign implementation when the handle's table covers
 * slot `Slot` (nullResult for a null slot); empty when the call is ours. */
template <auto Slot, class R, class... Args>
std::optional<R> forward(PIX ix, R nullResult, Args... args)
{
    const IXDFUNCS *t = foreignTable(ix);
    if (t == nullptr || !slotPresent<Slot>(t))
        return std::nullopt;
    auto fn = t->*Slot;
    return fn != nullptr ? static_cast<R>(fn(ix, args...)) : nullResult;
}

/* Builds the stored key in the handle's work2: key bytes, then the
 * record number. */
BYTE *storedKey(IX *ix, const void *key, ULONG record)
{
    BYTE *buf = ix->work2.data();
    ULONG k = keyLength(ix);
    std::memcpy(buf, key, k);
    put32(buf + k, record);
    return buf;
}

/* The same with every record byte set to fill. */
BYTE *boundKey(IX *ix, const void *key, BYTE fill)
{
    BYTE *buf = ix->work2.data();
    ULONG k = keyLength(ix);
    std::memcpy(buf, key, k);
    std::memset(buf + k, fill, kRecnoLen);
    return buf;
}

/* The handle checks of a call taking a key; the record in *ix. */
USHORT checkKeyCall(PIX h, const void *key, IX **ix)
{
    USHORT rc = ownHandle(h, ix);
    if (rc == 0 && key == nullptr)
        rc = ORIN_ERR_INVALID_PARAM;
    return rc;
}

/* Runs work() in an Operation frame with the given lock; the code of the
 * frame or of the work goes to the caller's error word as well. */
template <class Work>
USHORT runLocked(IX *ix, IndexLock::Kind kind, ULONG *error, Work &&work)
{
    Operation op(ix, kind);
    if (op.code() != 0)
        return result(error, op.code());
    return result(error, op.finish(work()));
}

enum ChangeKind { kRemove, kEnter };

USHORT change(IX *ix, const BYTE *stored, ChangeKind kind, ULONG *error)
{
    return runLocked(ix, IndexLock::kUpdate, error, [&] {
        return kind == kEnter ? treeEnter(ix, stored) : treeRemove(ix, stored);
    });
}

/* Positions by one of the search modes under the read lock. */
USHORT search(IX *ix, const BYTE *stored, FindMode mode, void *outKey, ULONG *record,
              ULONG *error)
{
    return runLocked(ix, IndexLock::kRead, error,
                     [&] { return navSearch(ix, stored, mode, outKey, record); });
}

USHORT edge(PIX h, FindMode mode, void *outKey, ULONG *record, ULONG *error)
{
    IX *ix;
    USHORT rc = ownHandle(h, &ix);
    return rc != 0 ? result(error, rc) : search(ix, nullptr, mode, outKey, record, error);
}

/* Steps count pairs; a vanished current key is reported through the error
 * word while the call still succeeds. */
USHORT step(PIX h, LONG count, void *outKey, ULONG *record, ULONG *error)
{
    IX *ix;
    USHORT rc = ownHandle(h, &ix);
    if (rc != 0)
        return result(error, rc);
    Operation op(ix, IndexLock::kRead);
    if (op.code() != 0)
        return result(error, op.code());
    ULONG warning = 0;
    rc = op.finish(navStep(ix, count, outKey, record, &warning));
    if (rc != 0)
        return result(error, rc);
    setError(error, warning);
    return 0;
}

/* An older foreign table may end before the current-key slot but hold the
 * key-length one: such a handle shares this family's record layout up to
 * the current-key buffer (ForeignHead), so the key is copied from there
 * with the length its table reports. */
USHORT foreignCurrentKey(const IXDFUNCS *t, PIX ix, void *buffer, USHORT size)
{
    const BYTE *curKey = reinterpret_cast<const ForeignHead *>(ix)->curKey;
    if (!slotPresent<&IXDFUNCS::QueryKeyLength>(t) || t->QueryKeyLength == nullptr ||
        curKey == nullptr || buffer == nullptr)
        return IXD_FAILED;
    USHORT n = t->QueryKeyLength(ix);
    std::memcpy(buffer, curKey, size < n ? size : n);
    return 0;
}

/* Writes the cache back and sets it up anew with cacheSize slots, as a
 * change of the tree: the version moves on and the position is lost. */
USHORT resetCache(IX *ix, USHORT cacheSize)
{
    USHORT rc = cacheWriteBack(ix);
    if (rc == 0)
        rc = cacheInit(ix, cacheSize);
    if (rc == 0) {
        ix->hdr.version++;
        ix->cacheVersion = ix->hdr.version;
        ix->headerWritten = 1;
        ix->curIndex = -1;
        rc = writeHeader(ix);
    }
    return rc;
}

ULONG takeCounter(ULONG *counter, bool reset)
{
    ULONG value = *counter;
    if (reset)
        *counter = 0;
    return value;
}

}  // namespace
}  // namespace orin::ixd

using namespace orin::ixd;

PIX ORINAPI IxdCreate(const char *fileName, USHORT keyLength, ULONG shared, USHORT nodeSize,
                      ULONG userAreaSize, VBFFUNCS *funcs, ULONG *error) noexcept
{
    return createHandle(fileName, keyLength, shared, nodeSize, userAreaSize, funcs, error).release();
}

PIX ORINAPI IxdOpen(const char *fileName, USHORT keyLength, ULONG shared, VBFFUNCS *funcs,
                    ULONG *error) noexcept
{
    return openHandle(fileName, keyLength, shared, funcs, error).release();
}

/* A closed or null handle is ignored. */
void ORINAPI IxdClose(PIX h) noexcept
{
    if (const IXDFUNCS *t = foreignTable(h); t != nullptr && slotPresent<&IXDFUNCS::Close>(t)) {
        if (t->Close != nullptr)
            t->Close(h);
        return;
    }
    if (IX *ix = handles.get(h)) {
        closeHandle(ix);
        handles.destroy(ix);
    }
}

USHORT ORINAPI IxdEnter(PIX h, const void *key, ULONG record, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::Enter>(h, USHORT{IXD_FAILED}, key, record, error))
        return *r;
    IX *ix;
    USHORT rc = checkKeyCall(h, key, &ix);
    return rc != 0 ? result(error, rc) : change(ix, storedKey(ix, key, record), kEnter, error);
}

USHORT ORINAPI IxdRemove(PIX h, const void *key, ULONG record, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::Remove>(h, USHORT{IXD_FAILED}, key, record, error))
        return *r;
    IX *ix;
    USHORT rc = checkKeyCall(h, key, &ix);
    return rc != 0 ? result(error, rc) : change(ix, storedKey(ix, key, record), kRemove, error);
}

USHORT ORINAPI IxdRemoveKey(PIX h, const void *stored, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::RemoveKey>(h, USHORT{IXD_FAILED}, stored, error))
        return *r;
    IX *ix;
    USHORT rc = checkKeyCall(h, stored, &ix);
    if (rc != 0)
        return result(error, rc);
    std::memcpy(ix->work2.data(), stored, ix->hdr.storedKeyLen);
    return change(ix, ix->work2.data(), kRemove, error);
}

USHORT ORINAPI IxdSearch(PIX h, const void *key, void *outKey, ULONG *record, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::Search>(h, USHORT{IXD_FAILED}, key, outKey, record, error))
        return *r;
    IX *ix;
    USHORT rc = checkKeyCall(h, key, &ix);
    if (rc != 0)
        return result(error, rc);
    return search(ix, boundKey(ix, key, kLowestRecord), kFindGe, outKey, record, error);
}

USHORT ORINAPI IxdSearchBack(PIX h, const void *key, void *outKey, ULONG *record,
                             ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::SearchBack>(h, USHORT{IXD_FAILED}, key, outKey, record, error))
        return *r;
    IX *ix;
    USHORT rc = checkKeyCall(h, key, &ix);
    if (rc != 0)
        return result(error, rc);
    return search(ix, boundKey(ix, key, kHighestRecord), kFindLe, outKey, record, error);
}

USHORT ORINAPI IxdSearchID(PIX h, const void *key, ULONG record, void *outKey,
                           ULONG *outRecord, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::SearchID>(h, USHORT{IXD_FAILED}, key, record, outKey,
                                              outRecord, error))
        return *r;
    IX *ix;
    USHORT rc = checkKeyCall(h, key, &ix);
    if (rc != 0)
        return result(error, rc);
    return search(ix, storedKey(ix, key, record), kFindGe, outKey, outRecord, error);
}

USHORT ORINAPI IxdRetrieve(PIX h, const void *key, ULONG record, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::Retrieve>(h, USHORT{IXD_FAILED}, key, record, error))
        return *r;
    IX *ix;
    USHORT rc = checkKeyCall(h, key, &ix);
    if (rc != 0)
        return result(error, rc);
    return search(ix, storedKey(ix, key, record), kFindExact, nullptr, nullptr, error);
}

USHORT ORINAPI IxdFirst(PIX h, void *outKey, ULONG *record, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::First>(h, USHORT{IXD_FAILED}, outKey, record, error))
        return *r;
    return edge(h, kFindFirst, outKey, record, error);
}

USHORT ORINAPI IxdLast(PIX h, void *outKey, ULONG *record, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::Last>(h, USHORT{IXD_FAILED}, outKey, record, error))
        return *r;
    return edge(h, kFindLast, outKey, record, error);
}

USHORT ORINAPI IxdNext(PIX h, void *outKey, ULONG *record, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::Next>(h, USHORT{IXD_FAILED}, outKey, record, error))
        return *r;
    return step(h, 1, outKey, record, error);
}

USHORT ORINAPI IxdPrev(PIX h, void *outKey, ULONG *record, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::Prev>(h, USHORT{IXD_FAILED}, outKey, record, error))
        return *r;
    return step(h, -1, outKey, record, error);
}

USHORT ORINAPI IxdSkipkey(PIX h, SHORT count, void *outKey, ULONG *record, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::Skipkey>(h, USHORT{IXD_FAILED}, count, outKey, record, error))
        return *r;
    return step(h, count, outKey, record, error);
}

USHORT ORINAPI IxdGetNrRecords(PIX h, const char *prefix, ULONG *count) noexcept
{
    if (auto r = forward<&IXDFUNCS::GetNrRecords>(h, USHORT{IXD_FAILED}, prefix, count))
        return *r;
    IX *ix;
    if (ownHandle(h, &ix) != 0 || prefix == nullptr || *prefix == '\0')
        return IXD_FAILED;
    ULONG n = 0;
    USHORT rc;
    {
        Operation op(ix, IndexLock::kRead);
        rc = op.code();
        if (rc == 0) {
            std::span<const BYTE> bytes(reinterpret_cast<const BYTE *>(prefix), std::strlen(prefix));
            rc = op.finish(navCountPrefix(ix, bytes, &n));
        }
    }
    if (count != nullptr)
        *count = n;
    return rc != 0 ? IXD_FAILED : 0;
}

USHORT ORINAPI IxdQueryNrKeys(PIX h, ULONG *count, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::QueryNrKeys>(h, USHORT{IXD_FAILED}, count, error))
        return *r;
    IX *ix;
    USHORT rc = ownHandle(h, &ix);
    if (rc != 0)
        return result(error, rc);
    return runLocked(ix, IndexLock::kRead, error, [&] {
        if (count != nullptr)
            *count = ix->hdr.nKeys;
        return USHORT{0};
    });
}

USHORT ORINAPI IxdQueryTreeChanged(PIX h, ULONG *changed, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::QueryTreeChanged>(h, USHORT{IXD_FAILED}, changed, error))
        return *r;
    IX *ix;
    USHORT rc = ownHandle(h, &ix);
    if (rc != 0)
        return result(error, rc);
    ix->foreignChange = 0;
    return runLocked(ix, IndexLock::kRead, error, [&] {
        ULONG flag = ix->foreignChange || ix->hdr.version != ix->changedVersion;
        ix->changedVersion = ix->hdr.version;
        if (changed != nullptr)
            *changed = flag;
        return USHORT{0};
    });
}

USHORT ORINAPI IxdQueryTreeVersion(PIX h, USHORT *version, ULONG *error) noexcept
{
    if (auto r = forward<&IXDFUNCS::QueryTreeVersion>(h, USHORT{IXD_FAILED}, version, error))
        return *r;
    IX *ix;
    USHORT rc = ownHandle(h, &ix);
    if (rc != 0)
        return result(error, rc);
    USHORT v = 0;
    if (ix->shared)
        rc = readFileVersion(ix, &v);
    else
        v = ix->hdr.version;
    if (rc == 0 && version != nullptr)
        *version = v;
    return result(error, rc);
}

USHORT ORINAPI IxdQueryKeyBufLength(PIX h) noexcept
{
    if (auto r = forward<&IXDFUNCS::QueryKeyBufLength>(h, USHORT{0}))
        return *r;
    const IX *ix = handles.get(h);
    return ix != nullptr ? ix->hdr.storedKeyLen : 0;
}

USHORT ORINAPI IxdQueryKeyLength(PIX h) noexcept
{
    if (auto r = forward<&IXDFUNCS::QueryKeyLength>(h, USHORT{0}))
        return *r;
    const IX *ix = handles.get(h);
    return ix != nullptr ? static_cast<USHORT>(keyLength(ix)) : 0;
}

USHORT ORINAPI IxdQueryCurrentKey(PIX h, void *buffer, USHORT size) noexcept
{
    if (auto r = forward<&IXDFUNCS::QueryCurrentKey>(h, USHORT{IXD_FAILED}, buffer, size))
        return *r;
    if (const IXDFUNCS *t = foreignTable(h))
        return foreignCurrentKey(t, h, buffer, size);
    const IX *ix = handles.get(h);
    if (ix == nullptr || buffer == nullptr || !ix->curKeyValid)
        return IXD_FAILED;
    auto n = static_cast<USHORT>(keyLength(ix));
    std::memcpy(buffer, ix->curKey.data(), size < n ? size : n);
    return 0;
}

USHORT ORINAPI IxdChandeIndexMode(PIX h, ULONG shared, USHORT cacheSize) noexcept
{
    if (auto r = forward<&IXDFUNCS::ChangeIndexMode>(h, USHORT{IXD_FAILED}, shared, cacheSize))
        return *r;
    IX *ix = handles.get(h);
    if (ix == nullptr)
        return IXD_FAILED;
    if (cacheSize > IXD_MAX_CACHE)
        cacheSize = defaultCache();
    USHORT rc;
    {
        Operation op(ix, IndexLock::kUpdate);
        if (op.code() != 0)
            return IXD_FAILED;
        rc = op.finish(resetCache(ix, cacheSize));
    }
    ix->shared = shared != 0;
    return rc != 0 ? IXD_FAILED : 0;
}

ULONG ORINAPI IxdQueryPerformanceCounter(PIX h, ULONG mask, ULONG reset) noexcept
{
    if (auto r = forward<&IXDFUNCS::QueryPerformanceCounter>(h, ULONG{0}, mask, reset))
        return *r;
    IX *ix = handles.get(h);
    if (ix == nullptr)
        return 0;
    ULONG sum = 0;
    if (mask & IXD_COUNT_CACHE_HITS)
        sum += takeCounter(&ix->cacheHits, reset != 0);
    if (mask & IXD_COUNT_CACHE_FAILS)
        sum += takeCounter(&ix->cacheFails, reset != 0);
    if (mask & IXD_COUNT_NODE_READS)
        sum += takeCounter(&ix->nodeReads, reset != 0);
    if (mask & IXD_COUNT_NODE_WRITES)
        sum += takeCounter(&ix->nodeWrites, reset != 0);
    return sum;
}

USHORT ORINAPI IxdSetCacheSize(USHORT slots) noexcept
{
    return setDefaultCache(slots);
}

ULONG ORINAPI IxdAllowReadlock(ULONG allow) noexcept
{
    return readlocksAllowed.exchange(allow);
}
