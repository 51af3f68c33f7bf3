/*
 * fbf.cpp - buffered files: the process-wide table of open files and the
 * operations that do not go through the read cache (open, close,
 * positioning, direct reads, write-through, locks, sizes, file
 * information, mapped views) plus the Vbf table of the family.
 *
 * Method.  The table has FBF_MAX_FILES entries, used from index 0 upward;
 * entries given back by a last close are chained into a free list through
 * their osHandle word and reused first.  Opening a name that an entry in
 * use already holds (compared ignoring case) only counts one more user and
 * hands out a new handle with its own position: the operating-system
 * handle, the cached pages, the known length and the mapped view stay
 * shared.  Every transfer therefore names the caller's position: it goes
 * to the system with the offset, one call per transfer, on a handle that
 * keeps no pointer for transfers (knlnam_at.h), so the system has none to
 * move after it.  With those positioned transfers switched off
 * (setPositionedIo, for differential tests) files opened from then on get
 * an ordinary handle and a transfer seeks it first; the entry then
 * remembers where that pointer stands after each call, so the seek is
 * left out when the pointer is already there.
 * The file length is remembered once asked and kept up to date by writes
 * and size changes, so seeks from the end cost no system call.
 *
 * Handles live in orin::fbf::handles: each exported call looks its handle
 * up (checked) and a null, closed or made-up handle answers 6 (invalid
 * handle); the operations behind the calls take the record itself, which
 * also lets the Vbf layer's direct table reach them without a lookup.  Everything an entry holds is read and
 * written under tableLock (see fbfint.h); range locks and file
 * information use only the entry's operating-system handle, which stays
 * fixed while a handle is open, and run without it, since a range lock
 * may wait.
 */
#include <cstdlib>
#include <cstring>
#include <mutex>
#include "vfile/fbfint.h"
#include "vfile/vbfint.h"
#include "knlnam.h"
#include "frame/knlnam_at.h"

namespace orin::fbf {

FBFENTRY fbfFiles[FBF_MAX_FILES];
SpinLock tableLock;
HandlePool<_FBF> handles;

namespace {
std::atomic<bool> positionedOn{true};
}

void setPositionedIo(bool on) noexcept
{
    positionedOn.store(on, std::memory_order_relaxed);
}

bool positionedIo() noexcept
{
    return positionedOn.load(std::memory_order_relaxed);
}

namespace {

SHORT freeHead = kNoEntry;             /* tableLock */
USHORT usedCount;                      /* entries ever used (high-water mark); tableLock */

/* Result of FbfTell for a handle that is not live. */
constexpr ULONG kTellInvalid = 0xFFFFFFFF;

/* Spins this many times before each yield while another thread holds
 * the lock. */
constexpr int kSpinsBeforeYield = 64;

void *nameSpaceOf(const _FBF *h)
{
    return reinterpret_cast<void *>(h->user);
}

int findOpenEntry(const char *name)
{
    for (int i = 0; i < usedCount; i++) {
        if (fbfFiles[i].useCount != 0 && lstrcmpiA(fbfFiles[i].name, name) == 0)
            return i;
    }
    return kNoEntry;
}

/* Takes an entry for a new name: the free-list head, else the next
 * never-used one; kNoEntry when the table is full. */
int takeEntry()
{
    if (freeHead != kNoEntry) {
        int i = freeHead;
        freeHead = static_cast<SHORT>(static_cast<LONG>(fbfFiles[i].osHandle));
        return i;
    }
    if (usedCount < FBF_MAX_FILES)
        return usedCount++;
    return kNoEntry;
}

void giveBackEntry(int i)
{
    fbfFiles[i].useCount = 0;
    fbfFiles[i].osHandle = static_cast<ULONG>(static_cast<LONG>(freeHead));
    freeHead = static_cast<SHORT>(i);
}

/* Whether the entry's transfers name their offset. */
bool positioned(const FBFENTRY &e)
{
    return e.transfersAtOnly || positionedIo();
}

/* Opens `name` for a new handle: one more user of an entry holding the
 * name, else a new entry and an operating-system open (one for transfers
 * at offsets only, while those are on); `viewable` says whether a new
 * entry may be read through a view. */
USHORT attachEntry(ULONG_PTR context, const char *name, ULONG *action, ULONG initialSize,
                   ULONG attribute, ULONG openFlags, ULONG openMode, bool viewable,
                   USHORT *index)
{
    int i = findOpenEntry(name);
    if (i != kNoEntry) {
        fbfFiles[i].useCount++;
        *index = static_cast<USHORT>(i);
        return 0;
    }
    i = takeEntry();
    if (i == kNoEntry)
        return ORIN_ERR_TOO_MANY_FILES;
    KNLHFILE os;
    bool atOnly = false;
    USHORT rc = positionedIo()
                    ? knlnam::openForTransfersAt(name, &os, action, initialSize, attribute,
                                                 openFlags, openMode, &atOnly)
                    : KnlNamOpen(reinterpret_cast<void *>(context), name, &os, action,
                                 initialSize, attribute, openFlags, openMode, 0);
    if (rc != 0) {
        giveBackEntry(i);
        return rc;
    }
    FBFENTRY &e = fbfFiles[i];
    e = FBFENTRY{};
    std::strcpy(e.name, name);
    e.osHandle = os;
    e.transfersAtOnly = atOnly;
    e.viewable = viewable;
    e.useCount = 1;
    e.knownLength = kLengthUnknown;
    e.osPosition = kOsPosUnknown;
    *index = static_cast<USHORT>(i);
    return 0;
}

USHORT unmapEntryView(FBFENTRY &e)
{
    USHORT rc = 0;

    if (e.view != nullptr && !UnmapViewOfFile(e.view))
        rc = static_cast<USHORT>(GetLastError());
    if (e.mapping != nullptr)
        CloseHandle(e.mapping);
    e.view = nullptr;
    e.mapping = nullptr;
    return rc;
}

/* Ends one user of the handle's entry; the last one closes the file. */
USHORT detachEntry(const _FBF *h)
{
    FBFENTRY &e = entryOf(h);
    if (e.useCount == 0 || --e.useCount != 0)
        return 0;
    releaseFilePages(h->fileIndex);
    dropReadView(e);
    unmapEntryView(e);
    USHORT rc = KnlNamClose(nameSpaceOf(h), e.osHandle);
    giveBackEntry(h->fileIndex);
    return rc;
}

/* Puts the shared handle's pointer at `offset`. */
USHORT seekOs(const _FBF *h, ULONG offset)
{
    FBFENTRY &e = entryOf(h);
    if (e.osPosition == LONGLONG{offset})
        return 0;
    ULONG pos;
    stats.osSeeks++;
    USHORT rc = KnlNamChgFilePtr(nameSpaceOf(h), e.osHandle, static_cast<LONG>(offset),
                                 KNLNAM_SEEK_BEGIN, &pos);
    e.osPosition = rc == 0 ? LONGLONG{offset} : kOsPosUnknown;
    return rc;
}

/* Notes where the pointer stands after a transfer of `done` bytes. */
void advanceOs(FBFENTRY &e, USHORT rc, ULONG done)
{
    if (rc != 0)
        e.osPosition = kOsPosUnknown;
    else if (e.osPosition != kOsPosUnknown)
        e.osPosition += done;
}

USHORT writeLocked(_FBF *h, const void *buffer, ULONG count, ULONG *written)
{
    FBFENTRY &e = entryOf(h);
    ULONG done = 0;
    USHORT rc;
    if (positioned(e)) {
        stats.osWrites++;
        rc = knlnam::writeAt(e.osHandle, h->position, buffer, count, &done);
        e.osPosition = kOsPosUnknown;
    } else {
        if ((rc = seekOs(h, h->position)) != 0)
            return rc;
        stats.osWrites++;
        rc = KnlNamWrite(nameSpaceOf(h), e.osHandle, buffer, count, &done);
        advanceOs(e, rc, done);
    }
    if (rc != 0)
        return rc;
    if (e.knownLength != kLengthUnknown && h->position + done > static_cast<ULONG>(e.knownLength))
        e.knownLength = static_cast<LONG>(h->position + done);
    patchPages(h->fileIndex, h->position, static_cast<const BYTE *>(buffer), done);
    h->position += done;
    if (written != nullptr)
        *written = done;
    return done < count ? ORIN_ERR_DISK_FULL : 0;
}

USHORT newSizeLocked(const _FBF *h, ULONG newLength)
{
    FBFENTRY &e = entryOf(h);
    ULONG oldLength;
    USHORT rc = knownLength(h, &oldLength);
    dropReadView(e);
    if (rc == 0)
        rc = KnlNamNewSize(nameSpaceOf(h), e.osHandle, newLength);
    e.osPosition = kOsPosUnknown;
    e.knownLength = rc == 0 ? static_cast<LONG>(newLength) : kLengthUnknown;
    /* Any change of size invalidates cached pages: a shrink leaves bytes
     * past the new end, a growth leaves the old last page ending early. */
    if (rc != 0 || newLength != oldLength) {
        releaseFilePages(h->fileIndex);
        e.knownLength = kLengthUnknown;
    }
    return rc;
}

USHORT mapViewLocked(const _FBF *h, void **view, ULONG bytes, ULONG offsetHigh, ULONG offsetLow)
{
    FBFENTRY &e = entryOf(h);
    if (e.view == nullptr) {
        if (e.mapping == nullptr)
            e.mapping = CreateFileMappingA(osHandleOf(e), nullptr, PAGE_READWRITE, 0, 0, nullptr);
        if (e.mapping == nullptr)
            return static_cast<USHORT>(GetLastError());
        e.view = MapViewOfFile(e.mapping, FILE_MAP_WRITE, offsetHigh, offsetLow, bytes);
        if (e.view == nullptr)
            return static_cast<USHORT>(GetLastError());
    }
    *view = e.view;
    return 0;
}

USHORT checkInfoArgs(ULONG level, const void *buffer, ULONG size)
{
    if (level != VBF_INFO_LEVEL_STANDARD)
        return ORIN_ERR_INVALID_LEVEL;
    if (buffer == nullptr || size < VBF_FILESTATUS_SIZE)
        return ORIN_ERR_INVALID_PARAM;
    return 0;
}

}  // namespace

/* The file length, asked of the operating system when not yet known. */
USHORT knownLength(const _FBF *h, ULONG *length)
{
    FBFENTRY &e = entryOf(h);

    if (e.knownLength == kLengthUnknown) {
        ULONG len;
        stats.osSeeks++;
        USHORT rc = KnlNamChgFilePtr(nameSpaceOf(h), e.osHandle, 0, KNLNAM_SEEK_END, &len);
        e.osPosition = rc == 0 ? LONGLONG{len} : kOsPosUnknown;
        if (rc != 0)
            return rc;
        e.knownLength = static_cast<LONG>(len);
    }
    *length = static_cast<ULONG>(e.knownLength);
    return 0;
}

void SpinLock::waitAndLock() noexcept
{
    for (;;) {
        for (int i = 0; i < kSpinsBeforeYield; i++) {
            if (!held_.load(std::memory_order_relaxed) &&
                !held_.exchange(true, std::memory_order_acquire))
                return;
            YieldProcessor();
        }
        SwitchToThread();
    }
}

/* Reads at a file offset through the shared handle; *flag (when given)
 * gets kFillSeekFailed or kFillReadFailed on a failure. */
USHORT osReadAt(const _FBF *h, ULONG offset, void *buffer, ULONG count, ULONG *done, int *flag)
{
    FBFENTRY &e = entryOf(h);

    *done = 0;
    USHORT rc;
    if (positioned(e)) {
        stats.osReads++;
        rc = knlnam::readAt(e.osHandle, offset, buffer, count, done);
        e.osPosition = kOsPosUnknown;
    } else {
        if ((rc = seekOs(h, offset)) != 0) {
            if (flag != nullptr)
                *flag = kFillSeekFailed;
            return rc;
        }
        stats.osReads++;
        rc = KnlNamRead(nameSpaceOf(h), e.osHandle, buffer, count, done);
        advanceOs(e, rc, *done);
    }
    if (rc != 0 && flag != nullptr)
        *flag = kFillReadFailed;
    return rc;
}

USHORT closeFile(_FBF *h)
{
    USHORT rc;
    {
        std::lock_guard guard(tableLock);
        rc = detachEntry(h);
    }
    handles.destroy(h);
    return rc;
}

USHORT movePointer(_FBF *h, LONG distance, ULONG method, ULONG *newPos)
{
    LONGLONG base = -1;
    switch (method) {
    case VBF_FILE_BEGIN:
        base = 0;
        break;
    case VBF_FILE_CURRENT:
        base = h->position;
        break;
    case VBF_FILE_END: {
        ULONG len;
        std::lock_guard guard(tableLock);
        USHORT rc = knownLength(h, &len);
        if (rc != 0)
            return rc;
        base = len;
        break;
    }
    default:
        break;
    }
    if (base >= 0) {
        LONGLONG target = base + distance;
        h->position = target < 0 ? 0 : static_cast<ULONG>(target);
    }
    if (newPos != nullptr)
        *newPos = h->position;
    return 0;
}

USHORT readDirect(_FBF *h, void *buffer, ULONG count, ULONG *read)
{
    if (buffer == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    ULONG done = 0;
    USHORT rc = 0;
    {
        std::lock_guard guard(tableLock);
        if (copyFromView(entryOf(h), h->position, buffer, count))
            done = count;
        else
            rc = osReadAt(h, h->position, buffer, count, &done, nullptr);
    }
    h->position += done;
    if (read != nullptr)
        *read = done;
    return rc;
}

USHORT writeBytes(_FBF *h, const void *buffer, ULONG count, ULONG *written)
{
    if (written != nullptr)
        *written = 0;
    if (buffer == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    /* A handle opened for reading only may not write, even when the shared
     * operating-system handle (opened by an earlier caller) could. */
    if ((h->openMode & knlnam::kOpenAccessMask) == VBF_MODE_READ)
        return ORIN_ERR_ACCESS_DENIED;
    std::lock_guard guard(tableLock);
    return writeLocked(h, buffer, count, written);
}

/* Range locks use only the entry's operating-system handle, which stays
 * fixed while the handle is open; they run without tableLock, since a
 * lock may wait. */
USHORT lockAsGiven(_FBF *h, FILELOCK *unlockRange, FILELOCK *lockRange)
{
    return KnlNamFileLocksEx(nameSpaceOf(h), entryOf(h).osHandle, unlockRange, lockRange);
}

USHORT lockExclusive(_FBF *h, FILELOCK *unlockRange, FILELOCK *lockRange)
{
    if (lockRange != nullptr)
        lockRange->exclusive = 1;
    return lockAsGiven(h, unlockRange, lockRange);
}

ULONG position(_FBF *h)
{
    return h->position;
}

USHORT queryLength(_FBF *h, ULONG *length)
{
    if (length == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    std::lock_guard guard(tableLock);
    return knownLength(h, length);
}

USHORT newSize(_FBF *h, ULONG newLength)
{
    std::lock_guard guard(tableLock);
    return newSizeLocked(h, newLength);
}

/* The name is written once, when the entry is opened. */
USHORT queryName(_FBF *h, char *buffer, ULONG size)
{
    if (buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    lstrcpynA(buffer, entryOf(h).name,
              size > FBF_MAX_NAME + 1 ? FBF_MAX_NAME + 1 : static_cast<int>(size));
    return 0;
}

/* The file calls keep dates and times in 16-bit words; the virtual-file
 * record holds each in a 32-bit word.  Both describe the same values. */
USHORT queryInfo(_FBF *h, ULONG level, void *buffer, ULONG size)
{
    USHORT rc = checkInfoArgs(level, buffer, size);
    KNLFILESTATUS ks;
    if (rc == 0)
        rc = KnlNamQFileInfo(nameSpaceOf(h), entryOf(h).osHandle, KNLNAM_INFO_LEVEL1, &ks,
                             sizeof ks);
    if (rc != 0)
        return rc;
    VBFFILESTATUS vs = {};
    vs.fdateCreation = ks.fdateCreation;
    vs.ftimeCreation = ks.ftimeCreation;
    vs.fdateLastAccess = ks.fdateLastAccess;
    vs.ftimeLastAccess = ks.ftimeLastAccess;
    vs.fdateLastWrite = ks.fdateLastWrite;
    vs.ftimeLastWrite = ks.ftimeLastWrite;
    vs.cbFile = ks.cbFile;
    vs.cbFileAlloc = ks.cbFileAlloc;
    vs.attrFile = static_cast<USHORT>(ks.attrFile);
    std::memcpy(buffer, &vs, VBF_FILESTATUS_SIZE);
    return 0;
}

USHORT setInfo(_FBF *h, ULONG level, void *buffer, ULONG size)
{
    USHORT rc = checkInfoArgs(level, buffer, size);
    if (rc != 0)
        return rc;
    VBFFILESTATUS vs;
    std::memcpy(&vs, buffer, VBF_FILESTATUS_SIZE);
    KNLFILESTATUS ks = {};
    ks.fdateCreation = static_cast<USHORT>(vs.fdateCreation);
    ks.ftimeCreation = static_cast<USHORT>(vs.ftimeCreation);
    ks.fdateLastAccess = static_cast<USHORT>(vs.fdateLastAccess);
    ks.ftimeLastAccess = static_cast<USHORT>(vs.ftimeLastAccess);
    ks.fdateLastWrite = static_cast<USHORT>(vs.fdateLastWrite);
    ks.ftimeLastWrite = static_cast<USHORT>(vs.ftimeLastWrite);
    ks.cbFile = vs.cbFile;
    ks.cbFileAlloc = vs.cbFileAlloc;
    ks.attrFile = vs.attrFile;
    return KnlNamSetFileInfo(nameSpaceOf(h), entryOf(h).osHandle, KNLNAM_INFO_LEVEL1, &ks,
                             sizeof ks);
}

/* One view per file: a second request gets the first view whatever its
 * arguments, so every handle on the file sees the same addresses. */
USHORT mapView(_FBF *h, void **view, ULONG bytes, ULONG offsetHigh, ULONG offsetLow)
{
    if (view == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    std::lock_guard guard(tableLock);
    return mapViewLocked(h, view, bytes, offsetHigh, offsetLow);
}

USHORT unmapView(_FBF *h)
{
    std::lock_guard guard(tableLock);
    return unmapEntryView(entryOf(h));
}

namespace {

/* A table slot over an operation: the back-end handle is the _FBF. */
template <auto Op>
struct Direct;

template <class R, class... Args, R (*Op)(_FBF *, Args...)>
struct Direct<Op> {
    static R call(void *backend, Args... args) noexcept
    {
        return Op(static_cast<_FBF *>(backend), args...);
    }
};

constexpr VBFFUNCS makeDirectTable() noexcept
{
    VBFFUNCS t = {};
    t.cb = sizeof t;
    t.Close = Direct<&closeFile>::call;
    t.ChgFilePtr = Direct<&movePointer>::call;
    t.Read = Direct<&readBytes>::call;
    t.ReadDirect = Direct<&readDirect>::call;
    t.Write = Direct<&writeBytes>::call;
    t.Getch = Direct<&readChar>::call;
    t.Gets = Direct<&readLine>::call;
    t.Flush = Direct<&forgetPages>::call;
    t.FileLocks = Direct<&lockExclusive>::call;
    t.FileLocksEx = Direct<&lockAsGiven>::call;
    t.Tell = Direct<&position>::call;
    t.QueryLength = Direct<&queryLength>::call;
    t.NewSize = Direct<&newSize>::call;
    t.QueryFilename = Direct<&queryName>::call;
    t.QFileInfo = Direct<&queryInfo>::call;
    t.SetFileInfo = Direct<&setInfo>::call;
    t.MapViewOfFile = Direct<&mapView>::call;
    t.UnmapViewOfFile = Direct<&unmapView>::call;
    return t;
}

constexpr VBFFUNCS kDirectTable = makeDirectTable();

}  // namespace

const VBFFUNCS *directTable() noexcept
{
    return &kDirectTable;
}

}  // namespace orin::fbf

using namespace orin::fbf;

USHORT ORINAPI FbfOpen(ULONG_PTR context, const char *name, HFBF *handle, ULONG *action,
                       ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode,
                       ULONG_PTR extra) noexcept
{
    if (handle == nullptr || name == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *handle = nullptr;
    char shortName[FBF_MAX_NAME + 1];
    lstrcpynA(shortName, name, sizeof shortName);
    auto h = handles.tryMake();
    if (h == nullptr)
        return ORIN_ERR_NO_MEMORY;
    h->openMode = static_cast<USHORT>(openMode);
    h->position = 0;
    h->user = context;
    const bool viewable = mayView(shortName, static_cast<USHORT>(openMode));  /* asks the system */
    std::lock_guard guard(tableLock);
    USHORT rc = attachEntry(context, shortName, action, initialSize, attribute, openFlags,
                            openMode, viewable, &h->fileIndex);
    if (rc == 0)
        *handle = h.release();
    return rc;
}

/* The handle ends in all cases; the result is that of closing the file. */
USHORT ORINAPI FbfClose(HFBF h) noexcept
{
    return checked<&closeFile>(h);
}

USHORT ORINAPI FbfChgFilePtr(HFBF h, LONG distance, ULONG method, ULONG *newPos) noexcept
{
    return checked<&movePointer>(h, distance, method, newPos);
}

USHORT ORINAPI FbfReadDirect(HFBF h, void *buffer, ULONG count, ULONG *read) noexcept
{
    return checked<&readDirect>(h, buffer, count, read);
}

USHORT ORINAPI FbfWrite(HFBF h, const void *buffer, ULONG count, ULONG *written) noexcept
{
    if (written != nullptr)
        *written = 0;
    return checked<&writeBytes>(h, buffer, count, written);
}

/* Locks every range exclusively. */
USHORT ORINAPI FbfFileLocks(HFBF h, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    return checked<&lockExclusive>(h, unlockRange, lockRange);
}

/* Locks exclusively or shared as the lock range says. */
USHORT ORINAPI FbfFileLocksEx(HFBF h, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    return checked<&lockAsGiven>(h, unlockRange, lockRange);
}

ULONG ORINAPI FbfTell(HFBF handle) noexcept
{
    _FBF *h = handles.get(handle);
    return h != nullptr ? position(h) : kTellInvalid;
}

USHORT ORINAPI FbfQueryLength(HFBF h, ULONG *length) noexcept
{
    return checked<&queryLength>(h, length);
}

USHORT ORINAPI FbfNewSize(HFBF h, ULONG newLength) noexcept
{
    return checked<&newSize>(h, newLength);
}

USHORT ORINAPI FbfQueryFilename(HFBF h, char *buffer, ULONG size) noexcept
{
    return checked<&queryName>(h, buffer, size);
}

USHORT ORINAPI FbfQFileInfo(HFBF h, ULONG level, void *buffer, ULONG size) noexcept
{
    return checked<&queryInfo>(h, level, buffer, size);
}

USHORT ORINAPI FbfSetFileInfo(HFBF h, ULONG level, void *buffer, ULONG size) noexcept
{
    return checked<&setInfo>(h, level, buffer, size);
}

USHORT ORINAPI FbfMapViewOfFile(HFBF h, void **view, ULONG bytes, ULONG offsetHigh,
                                ULONG offsetLow) noexcept
{
    return checked<&mapView>(h, view, bytes, offsetHigh, offsetLow);
}

USHORT ORINAPI FbfUnmapViewOfFile(HFBF h) noexcept
{
    return checked<&unmapView>(h);
}

/* A table of the exported calls; the caller frees it with free(). */
VBFFUNCS *ORINAPI FbfAllocVbfFuncStruct(void *nameSpace) noexcept
{
    auto *t = static_cast<VBFFUNCS *>(std::calloc(1, sizeof(VBFFUNCS)));
    if (t == nullptr)
        return nullptr;
    t->cb = sizeof *t;
    t->context = reinterpret_cast<ULONG_PTR>(nameSpace);
    t->Open = reinterpret_cast<PFNVBFOPEN>(FbfOpen);
    t->Close = reinterpret_cast<PFNVBFCLOSE>(FbfClose);
    t->ChgFilePtr = reinterpret_cast<PFNVBFCHGFILEPTR>(FbfChgFilePtr);
    t->Read = reinterpret_cast<PFNVBFREAD>(FbfRead);
    t->ReadDirect = reinterpret_cast<PFNVBFREAD>(FbfReadDirect);
    t->Write = reinterpret_cast<PFNVBFWRITE>(FbfWrite);
    t->Getch = reinterpret_cast<PFNVBFGETCH>(FbfGetch);
    t->Gets = reinterpret_cast<PFNVBFGETS>(FbfGets);
    t->Flush = reinterpret_cast<PFNVBFFLUSH>(FbfFlush);
    t->FileLocks = reinterpret_cast<PFNVBFFILELOCKS>(FbfFileLocks);
    t->FileLocksEx = reinterpret_cast<PFNVBFFILELOCKS>(FbfFileLocksEx);
    t->Tell = reinterpret_cast<PFNVBFTELL>(FbfTell);
    t->QueryLength = reinterpret_cast<PFNVBFQUERYLENGTH>(FbfQueryLength);
    t->NewSize = reinterpret_cast<PFNVBFNEWSIZE>(FbfNewSize);
    t->QueryFilename = reinterpret_cast<PFNVBFQUERYFILENAME>(FbfQueryFilename);
    t->QFileInfo = reinterpret_cast<PFNVBFFILEINFO>(FbfQFileInfo);
    t->SetFileInfo = reinterpret_cast<PFNVBFFILEINFO>(FbfSetFileInfo);
    t->MapViewOfFile = reinterpret_cast<PFNVBFMAPVIEW>(FbfMapViewOfFile);
    t->UnmapViewOfFile = reinterpret_cast<PFNVBFUNMAPVIEW>(FbfUnmapViewOfFile);
    t->extra = 0;
    return t;
}
