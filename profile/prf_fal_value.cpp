/*
 * prf_fal_value.cpp - values of a profile file, cut into pieces of 16 KiB.
 *
 * Piece i of a value holds bytes i * 16384 up to (i + 1) * 16384 - 1 and
 * is one FAL block: an 18-byte piece header, the key name, then the data.
 * Every piece but the last is full.  A write computes, for each piece it
 * touches, the old and new data length and the range to write (the new
 * data plus zeros for any gap between the old end and the new data), and
 * then does the least work that gets the piece there:
 *   - a new piece is allocated with header, name and data at once;
 *   - a piece whose block is large enough is changed in place: a
 *     reallocation to the new length (which rewrites only the header and
 *     the piece header) when the length changes, and a write of the range;
 *   - otherwise the old data is read, merged with the new, and the piece
 *     reallocated whole.
 * Reads check each piece header (magic, checksum, index, section, data
 * length) before copying, so a damaged piece gives 57497, never wrong data.
 * With the cache on, a small piece read or written is kept whole with its
 * header and block length; a later read judges that header by the same
 * rules and copies from memory.  Every write or free of a piece forgets or
 * replaces what was kept of it first.
 */
#include <stdlib.h>
#include <string.h>
#include "profile/prffal.h"

static ULONG minOf(ULONG a, ULONG b) { return a < b ? a : b; }
static ULONG maxOf(ULONG a, ULONG b) { return a > b ? a : b; }

/* Data bytes held by piece i of a value of `length` bytes in `count` pieces. */
static ULONG pieceLength(ULONG length, ULONG count, ULONG i)
{
    if (i >= count)
        return 0;
    if (i + 1 < count)
        return PRFF_PIECE_SIZE;
    return length - i * PRFF_PIECE_SIZE;
}

static ULONG piecesFor(ULONG length)
{
    return length == 0 ? 1 : ((length - 1) >> PRFF_PIECE_SHIFT) + 1;
}

/* The piece checksum covers the 18 header bytes with the checksum and
 * the reserved word taken as zero. */
USHORT prffPieceChecksum(const PRFFPIECE *p)
{
    PRFFPIECE copy = *p;
    copy.checksum = 0;
    copy.reserved = 0;
    return prffChecksum(&copy, sizeof copy);
}

static void fillPieceHeader(PRFFPIECE *p, const char *name, ULONG nameLen, ULONG index,
                            ULONG sectionId)
{
    memcpy(p->magic, PRFF_VAL_MAGIC, PRFF_MAGIC_SIZE);
    p->nameChecksum = prffChecksum(name, nameLen + 1);
    p->reserved = 0;
    p->headerLength = (USHORT)PRFF_PIECEHEAD_SIZE(nameLen);
    p->pieceIndex = (USHORT)index;
    p->sectionId = sectionId;
    p->checksum = prffPieceChecksum(p);
    memcpy(p + 1, name, nameLen + 1);
}

static USHORT reserveScratch(PRFFAL *st, ULONG size)
{
    BYTE *b;
    if (size <= st->scratchSize)
        return 0;
    b = (BYTE *)realloc(st->scratch, size);
    if (!b)
        return ORIN_ERR_NO_MEMORY;
    st->scratch = b;
    st->scratchSize = size;
    return 0;
}

/* ---- Reading -------------------------------------------------------------------- */

/* Judges the header of piece `index` of a key, as read from a block of
 * `used` bytes. */
static USHORT judgePiece(const PRFFAL *st, const PRFFPIECE *p, ULONG used, ULONG index,
                         ULONG sectionId, const char *name, ULONG nameLen, ULONG expectedLength)
{
    ULONG headLen = PRFF_PIECEHEAD_SIZE(nameLen);
    if (memcmp(p->magic, PRFF_VAL_MAGIC, PRFF_MAGIC_SIZE) != 0 || p->headerLength != headLen
        || p->pieceIndex != (USHORT)index || p->sectionId != sectionId
        || used != headLen + expectedLength)
        return PRF_ERR_CHECKSUM;
    if (st->verifyChecksums && prffPieceChecksum(p) != p->checksum)
        return PRF_ERR_CHECKSUM;
    if (st->verifyNames || st->verifyChecksums) {
        if (p->nameChecksum != prffChecksum(name, nameLen + 1))
            return PRF_ERR_CHECKSUM;
    }
    return 0;
}

/* Checks piece `index` of a key on disk: its header (returned in *p) and,
 * during a consistency check, the name it carries. */
static USHORT checkPiece(PRFFAL *st, ULONG id, ULONG index, ULONG sectionId, const char *name,
                         ULONG expectedLength, PRFFPIECE *p, ULONG *used)
{
    ULONG nameLen = (ULONG)strlen(name);
    USHORT rc;

    *used = 0;
    if (id == 0)
        return PRF_ERR_CHECKSUM;
    rc = FalQueryBlockSize(st->fal, id, used);
    if (!rc)
        rc = FalReadBlock(st->fal, id, 0, p, sizeof *p);
    if (!rc)
        rc = judgePiece(st, p, *used, index, sectionId, name, nameLen, expectedLength);
    if (rc)
        return rc;
    if (st->verifyNames) {
        rc = reserveScratch(st, nameLen + 1);
        if (!rc)
            rc = FalReadBlock(st->fal, id, sizeof *p, st->scratch, nameLen + 1);
        if (!rc && memcmp(st->scratch, name, nameLen + 1) != 0)
            rc = PRF_ERR_CHECKSUM;
        if (rc)
            return rc;
    }
    return 0;
}

/* Piece `index` of a key from the cache, or read whole from disk and
 * kept; *out is null when it could not be kept (then the caller reads
 * from disk). */
static USHORT cachedPiece(PRFFAL *st, ULONG id, ULONG index, ULONG sectionId, const char *name,
                          ULONG expectedLength, const orin::prf::CachedPiece **out)
{
    const orin::prf::CachedPiece *c = st->cache.piece(id);
    PRFFPIECE p;
    ULONG used;
    USHORT rc;

    *out = NULL;
    if (c) {
        rc = judgePiece(st, (const PRFFPIECE *)c->head, c->used, index, sectionId, name,
                        (ULONG)strlen(name), expectedLength);
        if (!rc)
            *out = c;
        return rc;
    }
    rc = checkPiece(st, id, index, sectionId, name, expectedLength, &p, &used);
    if (rc || reserveScratch(st, expectedLength) != 0)
        return rc;
    rc = FalReadBlock(st->fal, id, p.headerLength, st->scratch, expectedLength);
    if (!rc)
        *out = st->cache.putPiece(id, &p, used, st->scratch, expectedLength);
    return rc;
}

/* Copies `chunk` bytes from `in` of piece i of a key into buf. */
static USHORT copyFromPiece(PRFFAL *st, ULONG id, ULONG i, ULONG sectionId, const char *name,
                            ULONG pieceLen, ULONG in, BYTE *buf, ULONG chunk)
{
    PRFFPIECE p;
    ULONG used;
    USHORT rc;
    if (st->cache.on() && !st->verifyNames && pieceLen <= orin::prf::kPieceKeepMax) {
        const orin::prf::CachedPiece *c;
        rc = cachedPiece(st, id, i, sectionId, name, pieceLen, &c);
        if (rc || c) {
            if (c)
                memcpy(buf, c->data.data() + in, chunk);
            return rc;
        }
    }
    rc = checkPiece(st, id, i, sectionId, name, pieceLen, &p, &used);
    if (!rc)
        rc = FalReadBlock(st->fal, id, p.headerLength + in, buf, chunk);
    return rc;
}

USHORT prffReadValue(PRFFAL *st, const PRFFSECREC *sec, PRFFKEYREC *key, PRFREQUEST *rq)
{
    ULONG offset = rq->offsetMode ? rq->offset : 0;
    ULONG length = key->valueLength, count = key->blockCount;
    ULONG remaining = offset < length ? length - offset : 0;
    ULONG want, done = 0, pos = offset;
    const ULONG *ids = prffKeyPieces(key);
    USHORT rc;

    if (!rq->data) {
        rq->length = remaining;
        return 0;
    }
    want = minOf(rq->size, remaining);
    if (want == 0) {
        rq->length = 0;
        if (rq->size)
            *(char *)rq->data = 0;
        return 0;
    }
    if (piecesFor(length) != count)
        return PRF_ERR_CHECKSUM;
    while (done < want) {
        ULONG i = pos >> PRFF_PIECE_SHIFT, in = pos & PRFF_PIECE_MASK;
        ULONG chunk = minOf(want - done, PRFF_PIECE_SIZE - in);
        rc = copyFromPiece(st, ids[i], i, sec->sectionId, prffKeyName(key),
                           pieceLength(length, count, i), in, (BYTE *)rq->data + done, chunk);
        if (rc)
            return rc;
        done += chunk;
        pos += chunk;
    }
    rq->length = done;
    return 0;
}

/* Verifies every piece of a key (the consistency check). */
USHORT prffCheckPieces(PRFFAL *st, ULONG sectionId, PRFFKEYREC *key)
{
    ULONG i, used;
    PRFFPIECE p;
    const ULONG *ids = prffKeyPieces(key);
    USHORT rc;

    if (key->blockCount == 0)
        return key->valueLength == 0 ? 0 : PRF_ERR_CHECKSUM;
    if (piecesFor(key->valueLength) != key->blockCount)
        return PRF_ERR_CHECKSUM;
    for (i = 0; i < key->blockCount; i++) {
        rc = checkPiece(st, ids[i], i, sectionId, prffKeyName(key),
                        pieceLength(key->valueLength, key->blockCount, i), &p, &used);
        if (rc)
            return rc;
    }
    return 0;
}

/* ---- Writing ---------------------------------------------------------------- */

typedef struct {
    ULONG start, end;                     /* value bytes written */
    const BYTE *data;                     /* null: zeros */
    ULONG nameLen, headLen, sectionId;
    ULONG oldLength, oldCount, newLength, newCount;
} WRITEPLAN;

/* Puts the piece's new bytes [from, to) at buf: zeros, then the data that
 * falls inside. */
static void pieceContent(const WRITEPLAN *w, ULONG i, ULONG from, ULONG to, BYTE *buf)
{
    ULONG base = i * PRFF_PIECE_SIZE;
    ULONG ds = maxOf(w->start, base + from), de = minOf(w->end, base + to);
    memset(buf, 0, to - from);
    if (w->data && ds < de)
        memcpy(buf + (ds - base - from), w->data + (ds - w->start), de - ds);
}

static USHORT writePiece(PRFFAL *st, const WRITEPLAN *w, const char *name, ULONG i, ULONG *id)
{
    ULONG base = i * PRFF_PIECE_SIZE;
    ULONG oldLen = pieceLength(w->oldLength, w->oldCount, i);
    ULONG newLen = pieceLength(w->newLength, w->newCount, i);
    ULONG ds = maxOf(w->start, base), de = minOf(w->end, base + PRFF_PIECE_SIZE);
    BOOL hasData = ds < de;
    ULONG from, to, capacity = 0;
    PRFFPIECE *head = (PRFFPIECE *)st->scratch;
    BYTE *content = st->scratch + w->headLen;
    USHORT rc;

    if (*id && newLen == oldLen && !hasData)
        return 0;                                  /* untouched */
    fillPieceHeader(head, name, w->nameLen, i, w->sectionId);
    if (*id == 0) {
        pieceContent(w, i, 0, newLen, content);
        rc = FalAllocBlock(st->fal, id, w->headLen + newLen, st->scratch, w->headLen + newLen);
        if (!rc)
            st->cache.putPiece(*id, head, w->headLen + newLen, content, newLen);
        return rc;
    }
    st->cache.forgetPiece(*id);
    /* The bytes that change: the new data and any zeros past the old end. */
    from = hasData ? ds - base : newLen;
    to = hasData ? de - base : 0;
    if (newLen > oldLen) {
        from = minOf(from, oldLen);
        to = newLen;
    }
    to = minOf(to, newLen);
    rc = FalQueryTotalBlockSize(st->fal, *id, &capacity);
    if (rc)
        return rc;
    if (w->headLen + newLen <= capacity) {
        if (newLen != oldLen)
            rc = FalReallocBlock(st->fal, id, w->headLen + newLen, st->scratch, w->headLen);
        if (!rc && to > from) {
            pieceContent(w, i, from, to, content);
            rc = FalWriteBlock(st->fal, *id, w->headLen + from, content, to - from);
        }
        return rc;
    }
    /* Too small: merge the old data with the new in one buffer. */
    rc = FalReadBlock(st->fal, *id, w->headLen, content, minOf(oldLen, newLen));
    if (!rc && to > from)
        pieceContent(w, i, from, to, content + from);
    if (!rc)
        rc = FalReallocBlock(st->fal, id, w->headLen + newLen, st->scratch, w->headLen + newLen);
    if (!rc)
        st->cache.putPiece(*id, head, w->headLen + newLen, content, newLen);
    return rc;
}

/* Works out the new shape of a value and grows the key record to it.
 * Nothing is written; 8 when the key table would reach its limit. */
USHORT prffPlanValue(PRFFAL *st, PRFFKEYREC **key, ULONG start, ULONG end, BOOL truncate,
                     PRFFPLAN *plan)
{
    ULONG count;

    plan->start = start;
    plan->end = end;
    plan->truncate = truncate;
    plan->oldLength = (*key)->valueLength;
    plan->oldCount = (*key)->blockCount;
    plan->newLength = truncate ? end : maxOf(plan->oldLength, end);
    count = piecesFor(plan->newLength);
    if (count > 0xFFFF)
        return ORIN_ERR_NO_MEMORY;
    if (!truncate && count < plan->oldCount)
        count = plan->oldCount;
    plan->newCount = count;
    if (count > plan->oldCount)
        return prffResizeKey(st, key, (USHORT)count);
    return 0;
}

USHORT prffWriteValue(PRFFAL *st, ULONG sectionId, PRFFKEYREC **key, const PRFFPLAN *plan,
                      const void *data)
{
    WRITEPLAN w;
    char *name;
    ULONG i, *ids = prffKeyPieces(*key);
    USHORT rc;

    memset(&w, 0, sizeof w);
    w.start = plan->start;
    w.end = plan->end;
    w.data = (const BYTE *)data;
    w.sectionId = sectionId;
    w.oldLength = plan->oldLength;
    w.oldCount = plan->oldCount;
    w.newLength = plan->newLength;
    w.newCount = plan->newCount;
    name = _strdup(prffKeyName(*key));
    if (!name)
        return ORIN_ERR_NO_MEMORY;
    w.nameLen = (ULONG)strlen(name);
    w.headLen = PRFF_PIECEHEAD_SIZE(w.nameLen);
    rc = reserveScratch(st, w.headLen + PRFF_PIECE_SIZE);
    for (i = 0; !rc && i < w.newCount; i++)
        rc = writePiece(st, &w, name, i, &ids[i]);
    /* Pieces past a shorter value go. */
    for (i = w.newCount; !rc && i < w.oldCount; i++) {
        st->cache.forgetPiece(ids[i]);
        rc = ids[i] ? FalFreeBlock(st->fal, ids[i]) : 0;
        if (!rc)
            ids[i] = 0;
    }
    free(name);
    if (rc)
        return rc;
    if (w.newCount < w.oldCount)
        prffResizeKey(st, key, (USHORT)w.newCount);
    (*key)->valueLength = w.newLength;
    return 0;
}

USHORT prffFreePieces(PRFFAL *st, PRFFKEYREC *key)
{
    ULONG i, *ids = prffKeyPieces(key);
    USHORT rc;
    for (i = 0; i < key->blockCount; i++) {
        if (!ids[i])
            continue;
        st->cache.forgetPiece(ids[i]);
        rc = FalFreeBlock(st->fal, ids[i]);
        if (rc)
            return rc;
        ids[i] = 0;
    }
    return 0;
}
