/*
 * prf_fal_handler.cpp - PrfFalHandler, the handler of profile files: open
 * and close, and one function per message.
 *
 * Every message takes the FAL lock (shared to read, exclusive to change)
 * and brings the header up to date (prffBegin), works on the section
 * table of the name's bucket and on the key table of the section, and
 * releases the lock (prffEnd).  A change is first made to the tables in
 * memory, where running out of room (a table reaching 64 KiB) is found
 * before anything is written; then the update bracket raises the in-update
 * count on disk, the pieces and tables are written, and the count is
 * lowered again.  A failure inside the bracket leaves the count raised, so
 * the next open refuses the profile until it is repaired.
 *
 * Opening a profile that does not exist yet creates it, and a file being
 * created is briefly empty and then without its profile header.  So that
 * two processes opening the same new profile neither replace each other's
 * file nor find it half made, every open of a file runs under a named
 * mutex of that file (OPEN_MUTEX_PREFIX and the checksum of its full name
 * in upper case): the second opener waits, then finds the profile whole.
 */
#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "frame/handle_pool.h"
#include "frame/scope.h"
#include "profile/prffal.h"
#include "knl.h"
#include "knlnam.h"
#include "str.h"

#define OPEN_MUTEX_PREFIX "OrinProfileOpen-"
constexpr DWORD OPEN_MUTEX_WAIT_MS = 60000;   /* beyond this the open goes ahead unguarded */

std::atomic<BOOL> prfFalVerifyChecksums{TRUE};

void PrfFalSetVerifyChecksums(BOOL on)
{
    prfFalVerifyChecksums = on;
}

/* The threads inside an UncheckedOpen scope, each once per scope.  Kept
 * in a plain list under a lock rather than in thread-local storage: every
 * open asks, and the common answer (no such thread) costs one atomic read. */
static std::atomic<int> uncheckedScopes{0};
static std::mutex uncheckedLock;
static std::vector<DWORD> uncheckedThreads;

static bool openingUnchecked()
{
    if (uncheckedScopes.load() == 0)
        return false;
    std::lock_guard<std::mutex> guard(uncheckedLock);
    return std::find(uncheckedThreads.begin(), uncheckedThreads.end(), GetCurrentThreadId())
           != uncheckedThreads.end();
}

orin::prf::UncheckedOpen::UncheckedOpen() : previous_(false)
{
    std::lock_guard<std::mutex> guard(uncheckedLock);
    uncheckedThreads.push_back(GetCurrentThreadId());
    uncheckedScopes++;
}

orin::prf::UncheckedOpen::~UncheckedOpen()
{
    std::lock_guard<std::mutex> guard(uncheckedLock);
    auto it = std::find(uncheckedThreads.begin(), uncheckedThreads.end(), GetCurrentThreadId());
    if (it != uncheckedThreads.end())
        uncheckedThreads.erase(it);
    uncheckedScopes--;
}

/* The state of every open profile file.  The handle's word that names it
 * can be set by any caller (PrfUtlSetHandlerULongPtr), so it is checked
 * by membership before it is used.  Membership is also how a handle is
 * known to be ours: h->handler is no proof either way, since a program
 * outside the DLL hands in the handler's import thunk, not its address. */
static orin::HandlePool<PRFFAL> prffStates;

PRFFAL *prffStateOf(HPRF h)
{
    if (!prfIsValid(h))
        return NULL;
    return prffStates.get((const void *)h->handlerData);
}

static BOOL isShared(const PRFFAL *st) { return (st->openFlags & PRF_OPEN_SHARED) != 0; }

/* ---- Open and close ------------------------------------------------------------ */

static BOOL versionIs(const PRFFHEADER *hdr, const char *version)
{
    return memcmp(hdr->version, version, PRFF_VERSION_COMPARE) == 0;
}

static BOOL isOldVersion(const PRFFHEADER *hdr)
{
    return versionIs(hdr, PRFF_VERSION_200) || versionIs(hdr, PRFF_VERSION_201);
}

/* Creates a new, empty profile file. */
static USHORT createProfile(PRFFAL *st, const PRFFALOPEN *rec)
{
    USHORT rc = FalCreate(rec->nameSpace, rec->fileName, &st->fal,
                          (USHORT)(rec->falFlags & ~PRFF_FAL_FLAGS_CLEAR), PRFF_HEADER_SIZE,
                          0, rec->openFlags, rec->funcStruct);
    if (rc)
        return rc;
    prffInitHeader(&st->hdr);
    rc = FalWriteBlock(st->fal, 0, 0, &st->hdr, sizeof st->hdr);
    if (rc) {
        FalClose(st->fal);
        st->fal = NULL;
        if (!rec->funcStruct)
            KnlNamDelete(rec->nameSpace, rec->fileName);
    }
    return rc;
}

/* Reads and judges the header of an existing profile.  An old version
 * whose checksum is wrong is refused with 57497 and *rebuild set: packing
 * it without checksums makes it whole. */
static USHORT acceptHeader(PRFFAL *st, BOOL *rebuild)
{
    BOOL readOnly = (st->openFlags & PRF_OPEN_READONLY) != 0;
    USHORT rc = prffReadHeader(st);

    *rebuild = FALSE;
    if (rc == FAL_ERR_BEYONDEND)
        rc = PRF_ERR_CHECKSUM;            /* the header was cut off */

    if (rc == PRF_ERR_CHECKSUM) {
        /* Too short to be a profile header of this kind at all. */
        ULONG used = 0;
        char version[8] = "";
        if (FalQueryBlockSize(st->fal, 0, &used) == 0 && used >= PRFF_VERSION_COMPARE
            && FalReadBlock(st->fal, 0, 0, version, PRFF_VERSION_COMPARE) == 0
            && memcmp(version, PRFF_VERSION_100, PRFF_VERSION_COMPARE) == 0)
            return PRF_ERR_OLDVERSION;
        return rc;
    }
    if (rc)
        return rc;
    if (versionIs(&st->hdr, PRFF_VERSION_100))
        return PRF_ERR_OLDVERSION;
    if (st->verifyChecksums && !prffHeaderSound(&st->hdr)) {
        *rebuild = isOldVersion(&st->hdr);
        return PRF_ERR_CHECKSUM;
    }
    if (st->verifyChecksums) {
        if (isOldVersion(&st->hdr)) {
            memcpy(st->hdr.version, PRFF_VERSION_CURRENT, sizeof PRFF_VERSION_CURRENT);
            if (!readOnly) {
                rc = prffWriteHeader(st, TRUE);
                if (rc)
                    return rc;
            }
        } else if (!versionIs(&st->hdr, PRFF_VERSION_CURRENT)) {
            return PRF_ERR_VERSION;
        }
    } else if (!isOldVersion(&st->hdr)) {
        return PRF_ERR_VERSION;
    }
    if (st->hdr.inUpdate != 0)
        return PRF_ERR_INUPDATE;
    return 0;
}

/* Judges the header and notes the update count it belongs to, both under
 * one lock, or another process could change the file between. */
static USHORT acceptHeaderLocked(PRFFAL *st, BOOL *rebuild)
{
    USHORT rc = FalLock(st->fal, FALSE);
    *rebuild = FALSE;
    if (rc)
        return rc;
    rc = acceptHeader(st, rebuild);
    if (!rc)
        rc = FalQueryUpdateCount(st->fal, &st->seenCount);
    FalUnlock(st->fal);
    return rc;
}

/* Opens an existing profile file; an old one with wrong checksums is
 * rebuilt once by packing and opened again. */
static USHORT openExisting(PRFFAL *st, const PRFFALOPEN *rec)
{
    BOOL rebuild;
    USHORT rc = acceptHeaderLocked(st, &rebuild);
    if (!rebuild || rec->funcStruct)
        return rc;
    FalClose(st->fal);
    st->fal = NULL;
    if (PrfFalConvert20Xto202(rec->nameSpace, rec->fileName) != 0)
        return PRF_ERR_CHECKSUM;
    rc = FalOpenEx(rec->nameSpace, rec->fileName, &st->fal, rec->openFlags, NULL);
    if (!rc)
        rc = acceptHeaderLocked(st, &rebuild);
    return rc;
}

_PRFFAL::~_PRFFAL()
{
    free(sec.bytes);
    free(key.bytes);
    free(scratch);
}

/* Takes the open mutex of a file; NULL when the system has none to give
 * or another opener holds it too long (waiting for the file lock of a
 * process that is itself waiting here, say), in which case the open goes
 * ahead unguarded.  A mutex abandoned by a process that died while opening
 * is taken over: the file is judged afresh. */
static HANDLE lockOpen(const char *fileName)
{
    char full[KNLNAM_MAXPATH], name[sizeof OPEN_MUTEX_PREFIX + 8];
    HANDLE m;

    KnlNamGetFullPathName(full, fileName);
    StrUpr(full);
    snprintf(name, sizeof name, OPEN_MUTEX_PREFIX "%08lX",
             (unsigned long)KnlCrc32(full, (USHORT)strlen(full), 0));
    m = CreateMutexA(NULL, FALSE, name);
    if (m) {
        DWORD got = WaitForSingleObject(m, OPEN_MUTEX_WAIT_MS);
        if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
            CloseHandle(m);
            m = NULL;
        }
    }
    return m;
}

static void unlockOpen(HANDLE m)
{
    if (m) {
        ReleaseMutex(m);
        CloseHandle(m);
    }
}

static USHORT openProfile(HPRF h, const PRFFALOPEN *rec)
{
    PRFFAL *st;
    USHORT rc;

    if (!rec || !rec->fileName)
        return ORIN_ERR_INVALID_PARAM;
    auto owned = prffStates.tryMake();
    if (!owned)
        return ORIN_ERR_NO_MEMORY;
    st = owned.get();
    HANDLE openLock = lockOpen(rec->fileName);
    auto unlock = orin::scopeExit([openLock] { unlockOpen(openLock); });
    st->openFlags = rec->openFlags;
    st->nameSpace = rec->nameSpace;
    st->verifyChecksums = prfFalVerifyChecksums && !openingUnchecked();
    st->cache.setup(orin::prf::caching(), orin::prf::cacheLimit());
    rc = FalOpenEx(rec->nameSpace, rec->fileName, &st->fal, rec->openFlags, rec->funcStruct);
    if (rc == ORIN_ERR_FILE_NOT_FOUND && !(rec->openFlags & PRF_OPEN_READONLY)) {
        rc = createProfile(st, rec);
        if (!rc)
            rc = FalQueryUpdateCount(st->fal, &st->seenCount);
    } else if (!rc) {
        rc = openExisting(st, rec);
    }
    if (rc) {
        if (st->fal)
            FalClose(st->fal);
        return rc;
    }
    /* Every message holds the lock around its block calls, and every
     * change is bracketed by the in-update count. */
    falDeferPublish(st->fal, TRUE);
    PrfUtlSetHandlerULongPtr(h, (ULONG_PTR)owned.release());
    return 0;
}

static USHORT closeProfile(HPRF h, PRFFAL *st)
{
    USHORT rc = FalClose(st->fal);
    prffStates.destroy(st);
    PrfUtlSetHandlerULongPtr(h, 0);
    return rc;
}

/* ---- Sections --------------------------------------------------------------- */

/* Loads the section table of a name's bucket and finds the section. */
static USHORT findSection(PRFFAL *st, const char *name, PRFFSECREC **sec)
{
    USHORT rc = prffLoadSections(st, prffBucketOf(name));
    *sec = rc ? NULL : prffFindSection(st, name);
    return rc;
}

/* Writes the changed section table inside an update bracket. */
static USHORT saveSectionsInUpdate(PRFFAL *st)
{
    USHORT rc = prffUpdateBegin(st);
    if (!rc) {
        rc = prffSaveSections(st);
        if (!rc)
            rc = prffUpdateEnd(st);
    }
    return rc;
}

static USHORT createSection(PRFFAL *st, const char *name)
{
    PRFFSECREC *sec;
    USHORT rc = findSection(st, name, &sec);
    if (!rc && sec)
        rc = PRF_ERR_EXISTS;
    if (!rc)
        rc = prffAddSection(st, name, 0, &sec);
    if (!rc)
        rc = saveSectionsInUpdate(st);
    return rc;
}

/* Frees every key's pieces and the key table of a section. */
static USHORT dropKeys(PRFFAL *st, PRFFSECREC *sec, const char *name)
{
    ULONG pos;
    PRFFKEYREC *key;
    USHORT rc = prffLoadKeys(st, sec, name);
    if (rc)
        return rc;
    pos = prffKeysStart(&st->key);
    while ((rc = prffNextKey(&st->key, &pos, &key)) == 0 && key) {
        rc = prffFreePieces(st, key);
        if (rc)
            return rc;
    }
    if (rc)
        return rc;
    if (sec->keyTable) {
        rc = FalFreeBlock(st->fal, sec->keyTable);
        if (rc)
            return rc;
    }
    sec->keyTable = 0;
    st->key.loaded = FALSE;
    return 0;
}

static USHORT destroySection(PRFFAL *st, const char *name)
{
    PRFFSECREC *sec;
    USHORT rc = findSection(st, name, &sec);
    if (!rc && !sec)
        rc = ORIN_ERR_NO_KEY;
    if (!rc)
        rc = prffUpdateBegin(st);
    if (rc)
        return rc;
    rc = dropKeys(st, sec, name);
    if (!rc) {
        prffRemoveSection(st, sec);
        rc = prffSaveSections(st);
    }
    if (!rc)
        rc = prffUpdateEnd(st);
    return rc;
}

static USHORT lockSection(PRFFAL *st, PRFREQUEST *rq)
{
    BOOL lock = (rq->offsetMode & PRF_LOCK_SET) != 0;
    PRFFSECREC *sec;
    USHORT rc = findSection(st, rq->section, &sec);
    if (rc)
        return rc;
    if (!sec) {
        if (!(rq->offsetMode & PRF_LOCK_CREATE))
            return ORIN_ERR_NO_KEY;
        rc = prffAddSection(st, rq->section, lock ? PRFF_SECTION_LOCKED : 0, &sec);
    } else if (((sec->flags & PRFF_SECTION_LOCKED) != 0) == lock) {
        return ORIN_ERR_LOCK_VIOLATION;
    } else {
        sec->flags = (USHORT)(lock ? sec->flags | PRFF_SECTION_LOCKED
                                   : sec->flags & ~PRFF_SECTION_LOCKED);
    }
    if (!rc)
        rc = saveSectionsInUpdate(st);
    return rc;
}

/* ---- Lists -------------------------------------------------------------------- */

static void appendName(PRFREQUEST *rq, const char *name)
{
    ULONG len = (ULONG)strlen(name);
    if (!rq->data) {
        rq->length += len + 1;
        return;
    }
    if (rq->length + len + 1 > rq->size)
        return;
    memcpy((char *)rq->data + rq->length, name, len);
    ((char *)rq->data)[rq->length + len] = PRF_LIST_SEPARATOR;
    rq->length += len + 1;
}

static USHORT listSections(PRFFAL *st, PRFREQUEST *rq)
{
    int b;
    rq->length = 0;
    for (b = 0; b < PRFF_BUCKETS; b++) {
        ULONG pos = sizeof(PRFFSECHEAD);
        PRFFSECREC *sec;
        USHORT rc;
        if (!st->hdr.bucket[b])
            continue;
        rc = prffLoadSections(st, b);
        while (!rc && (rc = prffNextSection(&st->sec, &pos, &sec)) == 0 && sec)
            appendName(rq, prffSectionName(sec));
        if (rc)
            return rc;
    }
    return 0;
}

static USHORT listKeys(PRFFAL *st, PRFREQUEST *rq)
{
    PRFFSECREC *sec;
    PRFFKEYREC *key;
    ULONG pos;
    USHORT rc = findSection(st, rq->section, &sec);
    rq->length = 0;
    if (!rc && !sec)
        rc = ORIN_ERR_NO_KEY;
    if (rc || !sec->keyTable)
        return rc;
    rc = prffLoadKeys(st, sec, rq->section);
    if (rc)
        return rc;
    pos = prffKeysStart(&st->key);
    while ((rc = prffNextKey(&st->key, &pos, &key)) == 0 && key)
        appendName(rq, prffKeyName(key));
    return rc;
}

/* ---- Values ------------------------------------------------------------------ */

static USHORT readValue(PRFFAL *st, PRFREQUEST *rq)
{
    PRFFSECREC *sec;
    PRFFKEYREC *key = NULL;
    USHORT rc = findSection(st, rq->section, &sec);
    rq->length = 0;
    if (!rc && (!sec || !sec->keyTable))
        return ORIN_ERR_NO_KEY;
    if (!rc)
        rc = prffLoadKeys(st, sec, rq->section);
    if (!rc)
        key = prffFindKey(st, rq->key);
    if (!rc && !key)
        rc = ORIN_ERR_NO_KEY;
    return rc ? rc : prffReadValue(st, sec, key, rq);
}

static USHORT deleteAllKeys(PRFFAL *st, const char *name)
{
    PRFFSECREC *sec;
    USHORT rc = findSection(st, name, &sec);
    if (!rc && !sec)
        rc = ORIN_ERR_NO_KEY;
    if (rc || !sec->keyTable)
        return rc;
    rc = prffUpdateBegin(st);
    if (!rc)
        rc = dropKeys(st, sec, name);
    if (!rc)
        rc = prffSaveSections(st);
    if (!rc)
        rc = prffUpdateEnd(st);
    return rc;
}

static USHORT deleteKey(PRFFAL *st, const char *section, const char *name)
{
    PRFFSECREC *sec;
    PRFFKEYREC *key = NULL;
    USHORT rc = findSection(st, section, &sec);
    if (!rc && (!sec || !sec->keyTable))
        return ORIN_ERR_NO_KEY;
    if (!rc)
        rc = prffLoadKeys(st, sec, section);
    if (!rc && !(key = prffFindKey(st, name)))
        rc = ORIN_ERR_NO_KEY;
    if (!rc)
        rc = prffUpdateBegin(st);
    if (rc)
        return rc;
    rc = prffFreePieces(st, key);
    if (!rc) {
        prffRemoveKey(st, key);
        rc = prffSaveKeys(st, &sec, section);
    }
    if (!rc)
        rc = prffUpdateEnd(st);
    return rc;
}

/* True when a key name leaves room for a full piece in one FAL block. */
static BOOL pieceFits(const char *keyName)
{
    return PRFF_PIECEHEAD_SIZE(strlen(keyName)) + PRFF_PIECE_SIZE <= PRFF_MAX_PIECE_BLOCK;
}

namespace {

/* A key record as its table held it before a write: a write that leaves
 * the record and the table's length as they were (same length, same
 * pieces) has nothing to store in the key table. */
class RecordImage {
public:
    RecordImage(const PRFFTABLE *t, const PRFFKEYREC *rec)
        : offset_((ULONG)((const BYTE *)rec - t->bytes)), tableLength_(t->length),
          length_(rec->recordLength), kept_(rec->recordLength <= sizeof bytes_)
    {
        if (kept_)
            memcpy(bytes_, rec, length_);
    }
    bool sameIn(const PRFFTABLE *t, const PRFFKEYREC *rec) const
    {
        return kept_ && t->length == tableLength_ && (const BYTE *)rec == t->bytes + offset_
            && rec->recordLength == length_ && memcmp(bytes_, rec, length_) == 0;
    }

private:
    static constexpr size_t kMaxKept = 256;   /* longer records count as changed */
    ULONG offset_, tableLength_;
    USHORT length_;
    bool kept_;
    BYTE bytes_[kMaxKept];
};

}  // namespace

static USHORT writeValue(PRFFAL *st, PRFCMD msg, PRFREQUEST *rq)
{
    ULONG start = msg == PRF_CMD_WRITE ? 0 : rq->offset;
    ULONG size = msg == PRF_CMD_SETSIZE ? 0 : rq->size;
    PRFFSECREC *sec;
    PRFFKEYREC *key = NULL;
    PRFFPLAN plan;
    USHORT rc;
    std::optional<RecordImage> before;

    if (!rq->section || !rq->key)
        return ORIN_ERR_INVALID_NAME;
    if (!pieceFits(rq->key) || (ULONGLONG)start + size > 0xFFFFFFFFULL)
        return ORIN_ERR_NO_MEMORY;
    rc = findSection(st, rq->section, &sec);
    if (!rc && !sec)
        rc = prffAddSection(st, rq->section, 0, &sec);
    if (!rc)
        rc = prffLoadKeys(st, sec, rq->section);
    if (!rc && !(key = prffFindKey(st, rq->key)))
        rc = prffAddKey(st, rq->key, &key);
    else if (!rc && st->fal->lean)
        before.emplace(&st->key, key);
    if (!rc)
        rc = prffPlanValue(st, &key, start, start + size, msg != PRF_CMD_WRITEOFFSET, &plan);
    if (!rc)
        rc = prffUpdateBegin(st);
    if (rc)
        return rc;
    rc = prffWriteValue(st, sec->sectionId, &key, &plan,
                        msg == PRF_CMD_SETSIZE ? NULL : rq->data);
    if (!rc && !(before && before->sameIn(&st->key, key)))
        rc = prffSaveKeys(st, &sec, rq->section);
    if (!rc)
        rc = prffUpdateEnd(st);
    return rc;
}

static USHORT writeMessage(PRFFAL *st, PRFCMD msg, PRFREQUEST *rq)
{
    if (!rq || !rq->section)
        return ORIN_ERR_INVALID_NAME;
    if (msg == PRF_CMD_WRITE && !rq->key)
        return deleteAllKeys(st, rq->section);
    if (msg != PRF_CMD_SETSIZE && !rq->data)
        return rq->key ? deleteKey(st, rq->section, rq->key) : ORIN_ERR_INVALID_NAME;
    return writeValue(st, msg, rq);
}

/* ---- Consistency check --------------------------------------------------------- */

static USHORT checkSectionKeys(PRFFAL *st, PRFFSECREC *sec)
{
    char *name = _strdup(prffSectionName(sec));
    ULONG pos;
    PRFFKEYREC *key;
    USHORT rc;
    if (!name)
        return ORIN_ERR_NO_MEMORY;
    rc = prffLoadKeys(st, sec, name);
    free(name);
    if (rc)
        return rc;
    pos = prffKeysStart(&st->key);
    while ((rc = prffNextKey(&st->key, &pos, &key)) == 0 && key) {
        rc = prffCheckPieces(st, sec->sectionId, key);
        if (rc)
            return rc;
    }
    return rc;
}

static USHORT checkProfile(PRFFAL *st)
{
    USHORT rc = FalCheck(st->fal);
    int b;
    if (rc)
        return rc;
    st->verifyNames = TRUE;
    prffDropTables(st);
    rc = prffReadHeader(st);
    if (!rc && !prffHeaderSound(&st->hdr))
        rc = PRF_ERR_CHECKSUM;
    for (b = 0; !rc && b < PRFF_BUCKETS; b++) {
        ULONG pos = sizeof(PRFFSECHEAD);
        PRFFSECREC *sec;
        if (!st->hdr.bucket[b])
            continue;
        rc = prffLoadSections(st, b);
        while (!rc && (rc = prffNextSection(&st->sec, &pos, &sec)) == 0 && sec) {
            if (prffBucketOf(prffSectionName(sec)) != b)
                rc = PRF_ERR_CHECKSUM;
            else if (sec->keyTable)
                rc = checkSectionKeys(st, sec);
        }
    }
    st->verifyNames = FALSE;
    return rc;
}

/* ---- Dispatch -------------------------------------------------------------------- */

static BOOL isReadMessage(PRFCMD msg)
{
    return msg == PRF_CMD_READ || msg == PRF_CMD_LISTSECTIONS || msg == PRF_CMD_LISTKEYS
        || msg == PRF_CMD_READOFFSET || msg == PRF_CMD_CHECK;
}

static USHORT serve(PRFFAL *st, PRFCMD msg, void *param)
{
    PRFREQUEST *rq = (PRFREQUEST *)param;
    switch (msg) {
    case PRF_CMD_CREATESECTION:
        return param ? createSection(st, (const char *)param) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_DESTROYSECTION:
        return param ? destroySection(st, (const char *)param) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_READ:
    case PRF_CMD_READOFFSET:
        return rq && rq->section && rq->key ? readValue(st, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_LISTSECTIONS:
        return rq ? listSections(st, rq) : ORIN_ERR_INVALID_PARAM;
    case PRF_CMD_LISTKEYS:
        return rq && rq->section ? listKeys(st, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_WRITE:
    case PRF_CMD_WRITEOFFSET:
    case PRF_CMD_SETSIZE:
        return writeMessage(st, msg, rq);
    case PRF_CMD_LOCKSECTION:
        return rq && rq->section ? lockSection(st, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_CHECK:
        return checkProfile(st);
    default:
        return PRF_ERR_NOTSERVED;
    }
}

ULONG ORINAPI PrfFalHandler(HPRF h, PRFCMD msg, void *param) noexcept
{
    PRFFAL *st;
    USHORT rc;

    if (msg == PRF_CMD_OPEN)
        return prfIsValid(h) ? openProfile(h, (const PRFFALOPEN *)param)
                             : ORIN_ERR_INVALID_HANDLE;
    st = prffStateOf(h);
    if (!st)
        return ORIN_ERR_INVALID_HANDLE;
    switch (msg) {
    case PRF_CMD_CLOSE:
        return closeProfile(h, st);
    case PRF_CMD_BEGINTRANS:
        return FalLock(st->fal, TRUE);
    case PRF_CMD_ENDTRANS:
        return FalUnlock(st->fal);
    default:
        break;
    }
    if ((ULONG)msg > PRF_CMD_LOCKSECTION)
        return PRF_ERR_NOTSERVED;
    if (st->broken && !isReadMessage(msg))
        return PRF_ERR_INUPDATE;
    orin::prf::Bracket bracket(st, !isReadMessage(msg));
    if ((rc = bracket.status()) != 0)
        return rc;
    USHORT depth = st->hdr.inUpdate;
    rc = serve(st, msg, param);
    if (rc && st->hdr.inUpdate != depth) {
        /* A change failed half-way.  The file says it was left in an update
         * and holds part of the change; whatever this handle wrote next
         * would build on tables that no longer match the file.  It writes
         * nothing more (57494, as the next open says) until the file has
         * been repaired. */
        st->broken = TRUE;
        st->hdr.inUpdate = depth;
    }
    return bracket.end(rc, !isReadMessage(msg));
}

/* ---- Calls on profile files -------------------------------------------------- */

USHORT ORINAPI PrfOpenProfileOnVbf(void *nameSpace, HPRF *h, const char *fileName,
                                   USHORT openFlags, VBFFUNCS *funcStruct) noexcept
{
    PRFFALOPEN rec;
    rec.nameSpace = nameSpace;
    rec.fileName = fileName;
    rec.falFlags = FAL_FIRST_FIT;
    rec.openFlags = openFlags;
    rec.funcStruct = funcStruct;
    return PrfOpenHandler(PrfFalHandler, &rec, h);
}

USHORT ORINAPI PrfOpenProfile(void *nameSpace, HPRF *h, const char *fileName, USHORT openFlags) noexcept
{
    return PrfOpenProfileOnVbf(nameSpace, h, fileName, openFlags, NULL);
}

USHORT ORINAPI PrfFalOpenHandler(HPRF h, PRFFALOPEN *openRecord) noexcept
{
    return (USHORT)PrfFalHandler(h, PRF_CMD_OPEN, openRecord);
}

USHORT ORINAPI PrfFalCloseHandler(HPRF h) noexcept
{
    return (USHORT)PrfFalHandler(h, PRF_CMD_CLOSE, NULL);
}

USHORT ORINAPI PrfFalTransaction(HPRF h, BOOL begin) noexcept
{
    return (USHORT)PrfFalHandler(h, begin ? PRF_CMD_BEGINTRANS : PRF_CMD_ENDTRANS, NULL);
}

USHORT ORINAPI PrfFalFlush(HPRF h) noexcept
{
    PRFFAL *st = prffStateOf(h);
    return st ? FalFlush(st->fal) : ORIN_ERR_INVALID_HANDLE;
}

USHORT ORINAPI PrfFalSetCorrupt(HPRF h, BOOL set) noexcept
{
    PRFFAL *st = prffStateOf(h);
    USHORT rc;
    if (!st)
        return ORIN_ERR_INVALID_HANDLE;
    if (isShared(st) || (st->openFlags & PRF_OPEN_READONLY))
        return 0;
    orin::prf::Bracket bracket(st, TRUE);
    if ((rc = bracket.status()) != 0)
        return rc;
    if (set)
        rc = prffUpdateBegin(st);
    else if (st->hdr.inUpdate > 0)
        rc = prffUpdateEnd(st);
    return bracket.end(rc, TRUE);
}
