/*
 * prf_fal_tables.cpp - the profile header, the update bracket and the
 * section and key tables of a profile file.
 *
 * The handler works on one section table and one key table at a time;
 * the others it has loaded wait in its cache (prf_fal_cache.cpp), parked
 * when it moves on and taken back while the header or the section record
 * still names the same block.  All of them stay valid while the FAL
 * update count is the one seen when the header was last read or written;
 * any change by another process bumps that count, and the next message
 * drops every table and reads the header again.  Key names are found
 * through the key table's index when the cache is on, by walking the
 * records otherwise.  Tables are edited in memory (records appended,
 * resized or removed with memmove) and written back whole with
 * FalReallocBlock at granularity 128, so that small growth keeps the
 * same block.
 *
 * The update bracket raises the header's in-update count on disk before
 * the first block of a change is written and lowers it after the last.
 * For a profile that is not shared the FAL file header (free lists) is
 * written just before the count goes back to 0, so a process that dies
 * between two changes leaves both headers consistent, and one that dies
 * within a change leaves the count raised for the next open to see.  A
 * shared profile writes the FAL file header with its own header at both
 * ends of every update (the first write moves the count other processes
 * watch); in between, the free lists and the count wait in memory behind
 * the raised in-update count (falDeferPublish, falMarkedChange).
 */
#include <array>
#include <stdlib.h>
#include <string.h>
#include "profile/prffal.h"
#include "knl.h"

constexpr int HASH_MASK = 0xFFFF;
constexpr int HASH_HIGH_BITS = 0xC000;
constexpr int HASH_FOLD = 12;
constexpr int HASH_LIMIT = 16383;

USHORT prffChecksum(const void *bytes, ULONG length)
{
    return KnlCrc16(bytes, (USHORT)length);
}

int prffBucketOf(const char *name)
{
    int h = 0;
    const signed char *p = (const signed char *)name;
    for (; *p; p++) {
        h = (h * 4 + *p) & HASH_MASK;
        if (h > HASH_LIMIT)
            h = h ^ ((h & HASH_HIGH_BITS) >> HASH_FOLD) ^ (h & HASH_HIGH_BITS);
    }
    return h % PRFF_BUCKETS;
}

/* ---- Header --------------------------------------------------------------- */

void prffInitHeader(PRFFHEADER *hdr)
{
    memset(hdr, 0, sizeof *hdr);
    memcpy(hdr->version, PRFF_VERSION_CURRENT, sizeof PRFF_VERSION_CURRENT);
    prffSealHeader(hdr);
}

void prffSealHeader(PRFFHEADER *hdr)
{
    hdr->checksum = 0;
    hdr->checksum = prffChecksum(hdr, sizeof *hdr);
}

BOOL prffHeaderSound(const PRFFHEADER *hdr)
{
    PRFFHEADER copy = *hdr;
    prffSealHeader(&copy);
    return copy.checksum == hdr->checksum;
}

USHORT prffReadHeader(PRFFAL *st)
{
    ULONG used = 0;
    USHORT rc = FalQueryBlockSize(st->fal, 0, &used);
    if (rc)
        return rc;
    if (used < sizeof st->hdr)
        return PRF_ERR_CHECKSUM;
    return FalReadBlock(st->fal, 0, 0, &st->hdr, sizeof st->hdr);
}

/* The checksum is an affine function of the header's bits, so flipping
 * bits of inUpdate alone flips, for each of them, a fixed set of checksum
 * bits: those of a header that is zero but for that bit, against those of
 * the zero header. */
static USHORT inUpdateFlips(USHORT delta)
{
    static const std::array<USHORT, 16> flips = [] {
        std::array<USHORT, 16> f{};
        PRFFHEADER h;
        memset(&h, 0, sizeof h);
        USHORT zero = prffChecksum(&h, sizeof h);
        for (int b = 0; b < 16; b++) {
            h.inUpdate = (USHORT)(1u << b);
            f[b] = (USHORT)(prffChecksum(&h, sizeof h) ^ zero);
        }
        return f;
    }();
    USHORT x = 0;
    for (int b = 0; b < 16; b++)
        if (delta & (1u << b))
            x ^= flips[b];
    return x;
}

/* Seals the header for a write.  When it differs from the one sealed last
 * only in inUpdate, as between the two ends of every update, the checksum
 * follows from the last one without going over the 3980 bytes again. */
static void sealForWrite(PRFFAL *st)
{
    if (st->cache.on() && st->sealedKnown
        && memcmp(&st->hdr, &st->sealed, PRFF_INUPDATE_OFFSET) == 0)
        st->hdr.checksum = (USHORT)(st->sealed.checksum
                                    ^ inUpdateFlips((USHORT)(st->hdr.inUpdate ^ st->sealed.inUpdate)));
    else
        prffSealHeader(&st->hdr);
    st->sealed = st->hdr;
    st->sealedKnown = TRUE;
}

/* The part of the header a write sends: all of it, or the in-update count
 * and the checksum alone.  The short form is sound only while the rest of
 * the header in memory is what the file holds.  A new section moves
 * nextSectionId (and may move a bucket) before the update begins: then
 * the whole header goes, or a process killed right after would leave a
 * header whose checksum is wrong instead of one marked as left in an
 * update. */
static void headerRange(const PRFFAL *st, BOOL full, ULONG *offset, ULONG *length)
{
    if (full || st->bucketChanged || st->fullWritePending) {
        *offset = 0;
        *length = sizeof st->hdr;
    } else {
        *offset = PRFF_INUPDATE_OFFSET;
        *length = PRFF_INUPDATE_BYTES;
    }
}

static BOOL isShared(const PRFFAL *st);

/* A header write inside an update.  A shared profile's change must move
 * the block file's count before any block changes and leave it moved at
 * the end, so there the file header goes with it in one write. */
USHORT prffWriteHeader(PRFFAL *st, BOOL full)
{
    ULONG offset, length;
    sealForWrite(st);
    headerRange(st, full, &offset, &length);
    if (isShared(st))
        return FalSyncHeaderWithUser(st->fal, &st->hdr, offset, length);
    return FalWriteBlock(st->fal, 0, offset, (const BYTE *)&st->hdr + offset, length);
}

/* The header write that ends the outermost update of a profile that is not
 * shared: the FAL file header (free lists) goes first, with it in one
 * write when it is due. */
static USHORT writeClosingHeader(PRFFAL *st, BOOL full)
{
    ULONG offset, length;
    sealForWrite(st);
    headerRange(st, full, &offset, &length);
    return FalSyncHeaderWithUser(st->fal, &st->hdr, offset, length);
}

/* ---- Lock, refresh and the update bracket ---------------------------------- */

static BOOL isShared(const PRFFAL *st) { return (st->openFlags & PRF_OPEN_SHARED) != 0; }

void prffDropTables(PRFFAL *st)
{
    st->sec.loaded = FALSE;
    st->key.loaded = FALSE;
    st->cache.clear();
}

static USHORT refresh(PRFFAL *st)
{
    USHORT count = 0;
    USHORT rc = FalQueryUpdateCount(st->fal, &count);
    if (rc || count == st->seenCount)
        return rc;
    prffDropTables(st);
    rc = prffReadHeader(st);
    if (!rc && st->verifyChecksums && !prffHeaderSound(&st->hdr))
        rc = PRF_ERR_CHECKSUM;
    if (!rc)
        st->seenCount = count;
    else
        st->seenCount = (USHORT)(count + 1);   /* read again next time */
    return rc;
}

USHORT prffBegin(PRFFAL *st, BOOL exclusive)
{
    USHORT rc;
    if (exclusive && (st->openFlags & PRF_OPEN_READONLY))
        return ORIN_ERR_ACCESS_DENIED;
    rc = FalLock(st->fal, exclusive);
    if (rc)
        return rc;
    st->updateBegun = FALSE;
    rc = refresh(st);
    if (rc)
        FalUnlock(st->fal);
    return rc;
}

USHORT prffEnd(PRFFAL *st, USHORT rc, BOOL changed)
{
    USHORT rc2;
    /* A failed change may have left the tables it worked on half edited,
     * and once it began writing, blocks may differ from any copy kept, so
     * then everything goes.  A change that failed before writing (a
     * missing key, a full table) touched only the two tables in hand; the
     * copies kept are still what the file holds.  A failed read changed
     * nothing. */
    if (rc && (!st->cache.on() || (changed && st->updateBegun))) {
        prffDropTables(st);
    } else if (rc && changed) {
        st->sec.loaded = FALSE;
        st->key.loaded = FALSE;
    }
    if (changed)
        FalQueryUpdateCount(st->fal, &st->seenCount);
    rc2 = FalUnlock(st->fal);
    return rc ? rc : rc2;
}

USHORT prffUpdateBegin(PRFFAL *st)
{
    st->updateBegun = TRUE;
    if (st->hdr.inUpdate++ == 0 || isShared(st)) {
        USHORT rc = prffWriteHeader(st, FALSE);
        if (rc)
            st->hdr.inUpdate--;            /* the file never heard of this update */
        else if (isShared(st))
            falMarkedChange(st->fal, TRUE);
        return rc;
    }
    return 0;
}

USHORT prffUpdateEnd(PRFFAL *st)
{
    USHORT rc = 0;
    BOOL full = st->bucketChanged || st->fullWritePending;

    st->hdr.inUpdate--;
    if (st->hdr.inUpdate == 0)
        falMarkedChange(st->fal, FALSE);   /* the closing write carries the free lists */
    if (st->hdr.inUpdate == 0 || isShared(st)) {
        if (st->hdr.inUpdate == 0 && !isShared(st))
            rc = writeClosingHeader(st, full);
        else
            rc = prffWriteHeader(st, full);
        if (!rc && full)
            st->fullWritePending = FALSE;
        if (rc)
            st->fullWritePending = TRUE;   /* what changed in memory is not on disk */
    } else if (st->bucketChanged) {
        st->fullWritePending = TRUE;
    }
    st->bucketChanged = FALSE;
    return rc;
}

/* ---- Table memory ------------------------------------------------------------ */

static USHORT reserve(PRFFTABLE *t, ULONG length)
{
    BYTE *bytes;
    ULONG cap;
    if (length <= t->capacity)
        return 0;
    cap = length + length / 2 + 64;
    bytes = (BYTE *)realloc(t->bytes, cap);
    if (!bytes)
        return ORIN_ERR_NO_MEMORY;
    t->bytes = bytes;
    t->capacity = cap;
    return 0;
}

/* Makes room for `extra` more bytes at the end of a table, within the
 * largest table the block file can hold. */
static USHORT growTable(PRFFTABLE *t, ULONG extra)
{
    if (t->length + extra > PRFF_TABLE_MAX)
        return ORIN_ERR_NO_MEMORY;
    return reserve(t, t->length + extra);
}

/* Reads a table block; checks its magic, its checksum and its size. */
static USHORT readTable(PRFFAL *st, PRFFTABLE *t, ULONG id, const char *magic, ULONG minimum)
{
    ULONG used = 0;
    USHORT rc = FalQueryBlockSize(st->fal, id, &used);
    if (!rc && used < minimum)
        rc = PRF_ERR_CHECKSUM;
    if (!rc)
        rc = reserve(t, used);
    if (!rc)
        rc = FalReadBlock(st->fal, id, 0, t->bytes, used);
    if (rc)
        return rc;
    t->length = used;
    if (memcmp(t->bytes, magic, PRFF_MAGIC_SIZE) != 0)
        return PRF_ERR_CHECKSUM;
    if (st->verifyChecksums && !prffTableSound(t->bytes, used))
        return PRF_ERR_CHECKSUM;
    return 0;
}

BOOL prffTableSound(BYTE *bytes, ULONG length)
{
    PRFFSECHEAD *head = (PRFFSECHEAD *)bytes;
    USHORT stored = head->checksum;
    BOOL sound;
    head->checksum = 0;
    sound = prffChecksum(bytes, length) == stored;
    head->checksum = stored;
    return sound;
}

static void sealTable(PRFFTABLE *t)
{
    PRFFSECHEAD *head = (PRFFSECHEAD *)t->bytes;
    head->checksum = 0;
    head->checksum = prffChecksum(t->bytes, t->length);
}

/* ---- Record walking ----------------------------------------------------------- */

const char *prffSectionName(const PRFFSECREC *rec) { return (const char *)(rec + 1); }
const char *prffKeyName(const PRFFKEYREC *rec) { return (const char *)(rec + 1); }

ULONG *prffKeyPieces(PRFFKEYREC *rec)
{
    return (ULONG *)((BYTE *)rec + rec->recordLength - 4 * (ULONG)rec->blockCount);
}

ULONG prffKeysStart(const PRFFTABLE *t)
{
    return ((const PRFFKEYHEAD *)t->bytes)->headerLength;
}

/* A record is sound when it lies inside the table and its name ends
 * exactly where its fixed part says. */
static BOOL nameEndsAt(const BYTE *name, ULONG room, ULONG expected)
{
    const BYTE *nul = (const BYTE *)memchr(name, 0, room);
    return nul && (ULONG)(nul - name) == expected && expected > 0;
}

USHORT prffNextSection(const PRFFTABLE *t, ULONG *pos, PRFFSECREC **rec)
{
    PRFFSECREC *r;
    if (*pos >= t->length) {
        *rec = NULL;
        return 0;
    }
    r = (PRFFSECREC *)(t->bytes + *pos);
    if (*pos + sizeof *r > t->length || r->recordLength <= sizeof *r
        || *pos + r->recordLength > t->length
        || !nameEndsAt((const BYTE *)(r + 1), r->recordLength - sizeof *r,
                       r->recordLength - sizeof *r - 1))
        return PRF_ERR_CURSOR;
    *pos += r->recordLength;
    *rec = r;
    return 0;
}

USHORT prffNextKey(const PRFFTABLE *t, ULONG *pos, PRFFKEYREC **rec)
{
    PRFFKEYREC *r;
    ULONG fixed;
    if (*pos >= t->length) {
        *rec = NULL;
        return 0;
    }
    r = (PRFFKEYREC *)(t->bytes + *pos);
    if (*pos + sizeof *r > t->length || *pos + r->recordLength > t->length)
        return PRF_ERR_CURSOR;
    fixed = sizeof *r + 4 * (ULONG)r->blockCount;
    if (r->recordLength <= fixed + 1
        || !nameEndsAt((const BYTE *)(r + 1), r->recordLength - fixed, r->recordLength - fixed - 1))
        return PRF_ERR_CURSOR;
    *pos += r->recordLength;
    *rec = r;
    return 0;
}

static USHORT checkSectionRecords(const PRFFTABLE *t)
{
    ULONG pos = sizeof(PRFFSECHEAD);
    PRFFSECREC *r;
    USHORT rc;
    do
        rc = prffNextSection(t, &pos, &r);
    while (!rc && r);
    return rc;
}

static USHORT checkKeyRecords(const PRFFTABLE *t)
{
    ULONG pos = prffKeysStart(t);
    PRFFKEYREC *r;
    USHORT rc;
    do
        rc = prffNextKey(t, &pos, &r);
    while (!rc && r);
    return rc;
}

/* ---- Loading ------------------------------------------------------------------ */

USHORT prffLoadSections(PRFFAL *st, int bucket)
{
    PRFFTABLE *t = &st->sec;
    ULONG id = st->hdr.bucket[bucket];
    USHORT rc;

    if (t->loaded && t->owner == (ULONG)bucket && t->id == id)
        return 0;
    st->cache.park(orin::prf::FalCache::SECTIONS, t);
    if (id != 0 && st->cache.take(orin::prf::FalCache::SECTIONS, (ULONG)bucket, id, t))
        return 0;
    t->loaded = FALSE;
    if (id == 0) {
        rc = reserve(t, sizeof(PRFFSECHEAD));
        if (rc)
            return rc;
        memcpy(t->bytes, PRFF_SEC_MAGIC, PRFF_MAGIC_SIZE);
        t->length = sizeof(PRFFSECHEAD);
        sealTable(t);
    } else {
        rc = readTable(st, t, id, PRFF_SEC_MAGIC, sizeof(PRFFSECHEAD));
        if (!rc)
            rc = checkSectionRecords(t);
        if (rc)
            return rc;
    }
    t->id = id;
    t->owner = (ULONG)bucket;
    t->loaded = TRUE;
    return 0;
}

USHORT prffLoadKeys(PRFFAL *st, const PRFFSECREC *sec, const char *sectionName)
{
    PRFFTABLE *t = &st->key;
    ULONG id = sec->keyTable;
    USHORT rc;

    if (t->loaded && id != 0 && t->id == id && t->owner == sec->sectionId)
        return 0;
    st->cache.park(orin::prf::FalCache::KEYS, t);
    if (id != 0 && st->cache.take(orin::prf::FalCache::KEYS, sec->sectionId, id, t))
        return 0;
    t->loaded = FALSE;
    t->index.clear();
    if (id == 0) {
        ULONG nameLen = (ULONG)strlen(sectionName);
        PRFFKEYHEAD *head;
        rc = reserve(t, PRFF_KEYHEAD_SIZE(nameLen));
        if (rc)
            return rc;
        head = (PRFFKEYHEAD *)t->bytes;
        memcpy(head->magic, PRFF_KEY_MAGIC, PRFF_MAGIC_SIZE);
        head->headerLength = (USHORT)PRFF_KEYHEAD_SIZE(nameLen);
        head->sectionId = sec->sectionId;
        memcpy(head + 1, sectionName, nameLen + 1);
        t->length = head->headerLength;
        sealTable(t);
    } else {
        const PRFFKEYHEAD *head;
        rc = readTable(st, t, id, PRFF_KEY_MAGIC, sizeof(PRFFKEYHEAD) + 1);
        if (rc)
            return rc;
        head = (const PRFFKEYHEAD *)t->bytes;
        if (head->sectionId != sec->sectionId || head->headerLength > t->length
            || !nameEndsAt((const BYTE *)(head + 1), head->headerLength - sizeof *head,
                           head->headerLength - sizeof *head - 1))
            return PRF_ERR_CHECKSUM;
        rc = checkKeyRecords(t);
        if (rc)
            return rc;
    }
    t->id = id;
    t->owner = sec->sectionId;
    t->loaded = TRUE;
    return 0;
}

PRFFSECREC *prffFindSection(PRFFAL *st, const char *name)
{
    ULONG pos = sizeof(PRFFSECHEAD);
    PRFFSECREC *r;
    while (prffNextSection(&st->sec, &pos, &r) == 0 && r)
        if (strcmp(prffSectionName(r), name) == 0)
            return r;
    return NULL;
}

PRFFKEYREC *prffFindKey(PRFFAL *st, const char *name)
{
    PRFFTABLE *t = &st->key;
    ULONG pos = prffKeysStart(t);
    PRFFKEYREC *r;
    if (st->cache.on()) {
        if (!t->index.ready())
            t->index.build(t->bytes, pos, t->length);
        if (t->index.ready()) {
            ULONG at = t->index.find(t->bytes, name);
            return at ? (PRFFKEYREC *)(t->bytes + at) : NULL;
        }
    }
    while (prffNextKey(&st->key, &pos, &r) == 0 && r)
        if (strcmp(prffKeyName(r), name) == 0)
            return r;
    return NULL;
}

/* ---- Editing records in memory ------------------------------------------------ */

USHORT prffAddSection(PRFFAL *st, const char *name, USHORT flags, PRFFSECREC **rec)
{
    PRFFTABLE *t = &st->sec;
    ULONG nameLen = (ULONG)strlen(name), size = PRFF_SECREC_SIZE(nameLen);
    PRFFSECREC *r;
    USHORT rc;

    rc = growTable(t, size);
    if (rc)
        return rc;
    r = (PRFFSECREC *)(t->bytes + t->length);
    r->recordLength = (USHORT)size;
    r->flags = flags;
    r->sectionId = st->hdr.nextSectionId++;
    r->keyTable = 0;
    memcpy(r + 1, name, nameLen + 1);
    t->length += size;
    st->bucketChanged = TRUE;              /* nextSectionId moved */
    *rec = r;
    return 0;
}

static void cutBytes(PRFFTABLE *t, BYTE *at, ULONG count)
{
    ULONG tail = t->length - (ULONG)(at + count - t->bytes);
    memmove(at, at + count, tail);
    t->length -= count;
}

void prffRemoveSection(PRFFAL *st, PRFFSECREC *rec)
{
    cutBytes(&st->sec, (BYTE *)rec, rec->recordLength);
}

USHORT prffAddKey(PRFFAL *st, const char *name, PRFFKEYREC **rec)
{
    PRFFTABLE *t = &st->key;
    ULONG nameLen = (ULONG)strlen(name), size = PRFF_KEYREC_SIZE(nameLen, 0);
    PRFFKEYREC *r;
    USHORT rc;

    rc = growTable(t, size);
    if (rc)
        return rc;
    r = (PRFFKEYREC *)(t->bytes + t->length);
    r->recordLength = (USHORT)size;
    r->blockCount = 0;
    r->valueLength = 0;
    memcpy(r + 1, name, nameLen + 1);
    t->index.added(t->bytes, t->length);
    t->length += size;
    *rec = r;
    return 0;
}

/* Changes the number of piece ids at the end of a key record; new ids are
 * 0.  The record may move when the table grows. */
USHORT prffResizeKey(PRFFAL *st, PRFFKEYREC **rec, USHORT blockCount)
{
    PRFFTABLE *t = &st->key;
    ULONG offset = (ULONG)((BYTE *)*rec - t->bytes);
    ULONG oldEnd = offset + (*rec)->recordLength;
    LONG delta = 4 * ((LONG)blockCount - (LONG)(*rec)->blockCount);
    PRFFKEYREC *r;
    USHORT rc;

    if (delta > 0) {
        rc = growTable(t, (ULONG)delta);
        if (rc)
            return rc;
    }
    memmove(t->bytes + oldEnd + delta, t->bytes + oldEnd, t->length - oldEnd);
    if (delta > 0)
        memset(t->bytes + oldEnd, 0, (size_t)delta);
    t->length += delta;
    t->index.shifted(offset, delta);
    r = (PRFFKEYREC *)(t->bytes + offset);
    r->recordLength = (USHORT)(r->recordLength + delta);
    r->blockCount = blockCount;
    *rec = r;
    return 0;
}

void prffRemoveKey(PRFFAL *st, PRFFKEYREC *rec)
{
    st->key.index.clear();
    cutBytes(&st->key, (BYTE *)rec, rec->recordLength);
}

/* ---- Writing tables back ---------------------------------------------------- */

static USHORT storeTable(PRFFAL *st, PRFFTABLE *t)
{
    sealTable(t);
    orin::fal::GranularityScope granularity(st->fal, PRFF_TABLE_GRANULARITY);
    return FalReallocBlock(st->fal, &t->id, t->length, t->bytes, t->length);
}

/* Writes the key table of section *sec, or frees it when it holds no key;
 * a new block id goes into the section record, and then the section
 * table is written too. */
USHORT prffSaveKeys(PRFFAL *st, PRFFSECREC **sec, const char *sectionName)
{
    PRFFTABLE *t = &st->key;
    ULONG oldId = t->id;
    USHORT rc;

    if (t->length <= prffKeysStart(t)) {
        rc = t->id ? FalFreeBlock(st->fal, t->id) : 0;
        if (rc)
            return rc;
        t->id = 0;
        t->loaded = FALSE;
    } else {
        rc = storeTable(st, t);
        if (rc)
            return rc;
    }
    if (t->id == oldId && (*sec)->keyTable == t->id)
        return 0;
    (*sec)->keyTable = t->id;
    return prffSaveSections(st);
}

USHORT prffSaveSections(PRFFAL *st)
{
    PRFFTABLE *t = &st->sec;
    ULONG oldId = t->id;
    USHORT rc;

    if (t->length <= sizeof(PRFFSECHEAD)) {
        rc = t->id ? FalFreeBlock(st->fal, t->id) : 0;
        if (rc)
            return rc;
        t->id = 0;
    } else {
        rc = storeTable(st, t);
        if (rc)
            return rc;
    }
    if (t->id != oldId) {
        st->hdr.bucket[t->owner] = t->id;
        st->bucketChanged = TRUE;
    }
    return 0;
}
