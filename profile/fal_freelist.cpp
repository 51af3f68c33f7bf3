/*
 * fal_freelist.cpp - the free lists of a FAL file: pushing a freed block,
 * finding a free block for a new one with the file's fit strategy,
 * unlinking it and splitting off a tail that is worth keeping.
 *
 * Each list is a chain through the first four data bytes of its free
 * blocks, newest first; its head and length live in the file header.  A
 * search walks a chain block by block, reading each header and link.
 *
 * Long lists get a mirror in memory (fal_freeindex.h) that names the block
 * a walk would pick without reading the blocks before it.  A list is
 * mirrored once walking it has read as many blocks as building the mirror
 * reads (each block once), so a file that is opened for a few changes
 * never pays for one and a busy file pays at most twice what walking
 * costs.  The mirror changes with every push and unlink, in step with the
 * header in memory.  The chosen block and its predecessor are still read
 * and must agree with it; a disagreement, an undo (the journal puts the
 * old header back) or another process's change (a moved update counter on
 * a shared handle) drops the mirror, and the lists are walked until they
 * earn a new one.  The blocks picked, the writes and the file bytes are
 * the same with and without it.
 */
#include <string.h>
#include <vector>
#include "frame/boundary.h"
#include "profile/falint.h"
#include "profile/fal_freeindex.h"

using orin::fal::FreeIndex;

constexpr ULONG SPLIT_SLACK = 247;              /* split when round_down(g + 247, g) remains */

/* Reads the link word of a free block. */
static USHORT readLink(HFAL h, const FALDESC *d, ULONG *next)
{
    return falReadAt(h, d->dataOffset, next, sizeof *next);
}

static USHORT writeLink(HFAL h, ULONG dataOffset, ULONG next)
{
    return falWriteAt(h, dataOffset, &next, sizeof next);
}

/* Writes block d (id) as free with `next` as its link.  The link word
 * follows the header directly, so a lean handle writes both at once. */
static USHORT writeFreeBlock(HFAL h, ULONG id, FALDESC *d, ULONG next)
{
    if (!h->lean || d->headerLength == 0 || d->dataOffset != d->headerOffset + d->headerLength) {
        USHORT rc = falWriteBlockHeader(h, id, d);
        return rc ? rc : writeLink(h, d->dataOffset, next);
    }
    BYTE bytes[sizeof d->hdr + sizeof next];
    memcpy(bytes, &d->hdr, d->headerLength);
    memcpy(bytes + d->headerLength, &next, sizeof next);
    falForget(h, id);
    return falWriteAt(h, d->headerOffset, bytes, d->headerLength + sizeof next);
}

/* Turns block d (id) into a free block at the head of its list. */
USHORT falPushFree(HFAL h, ULONG id, FALDESC *d)
{
    int list = falIsFixed(h) ? 0 : falListFor(d->totalSize);
    USHORT rc;
    falFillHeader(d, FAL_TYPE_FREE, d->hdr.usedLength < FAL_MIN_USED_FREE
               ? FAL_MIN_USED_FREE : d->hdr.usedLength, d->hdr.totalSize);
    rc = writeFreeBlock(h, id, d, h->hdr.freeHead[list]);
    if (!rc) {
        h->hdr.freeHead[list] = id;
        h->hdr.freeCount[list]++;
        FreeIndex *ix = h->freeIndex.get();
        if (ix && ix->mirrored(list) && !ix->push(list, id, d->totalSize))
            orin::fal::dropFreeIndex(h);
    }
    return rc;
}

/* Reads free block id: its description and its link.  A block that is
 * not free, lies past the end or is damaged answers 57487. */
static USHORT readFree(HFAL h, ULONG id, FALDESC *d, ULONG *next)
{
    USHORT rc = falDescribe(h, id, d);
    if (!rc && d->hdr.type != FAL_TYPE_FREE)
        rc = FAL_ERR_FREELIST;
    if (!rc)
        rc = falCheckExtentEnd(h, d);
    if (!rc)
        rc = readLink(h, d, next);
    return rc == FAL_ERR_BEYONDEND || rc == FAL_ERR_SIGNATURE ? FAL_ERR_FREELIST : rc;
}

/* Walks list i from its head, reading each block, until visit(id, prev,
 * next, d) answers true or the chain ends; a chain longer than the
 * list's count is corrupt.  *seen counts the blocks read. */
template <class Visit>
static USHORT walkList(HFAL h, int i, ULONG *seen, Visit visit)
{
    ULONG prev = 0, cur = h->hdr.freeHead[i];
    *seen = 0;
    while (cur) {
        FALDESC d;
        ULONG next;
        USHORT rc;
        if (++*seen > h->hdr.freeCount[i])
            return FAL_ERR_FREELIST;
        if ((rc = readFree(h, cur, &d, &next)) != 0)
            return rc;
        if (visit(cur, prev, next, d))
            break;
        prev = cur;
        cur = next;
    }
    return 0;
}

/* The largest total size that ends a best or exact fit search at once. */
static ULONG closeLimit(HFAL h, ULONG needed)
{
    ULONG g = h->granularity, hl = falHeaderLength(h);
    return falRoundUp(needed + hl, g) - hl;
}

/* Walks list i for a block of at least `needed` bytes with the file's fit
 * strategy.  Returns 0 with pick->id 0 when nothing qualifies. */
static USHORT walkForFit(HFAL h, int i, ULONG needed, BOOL worstPass, FALPICK *pick, ULONG *seen)
{
    USHORT flags = h->hdr.falFlags;
    FALPICK cand;

    memset(&cand, 0, sizeof cand);
    pick->id = 0;
    USHORT rc = walkList(h, i, seen, [&](ULONG cur, ULONG prev, ULONG next, const FALDESC &d) {
        if (d.totalSize < needed)
            return false;
        BOOL better = !cand.id
            || ((flags & FAL_BEST_FIT) && d.totalSize < cand.d.totalSize)
            || (worstPass && (flags & FAL_WORST_FIT) && d.totalSize > cand.d.totalSize);
        if (!worstPass && (flags & FAL_FIRST_FIT)) {
            better = TRUE;
        } else if (!worstPass && (flags & (FAL_BEST_FIT | FAL_EXACT_FIT))
                   && d.totalSize <= closeLimit(h, needed)) {
            cand.id = cur; cand.prev = prev; cand.next = next; cand.d = d;
            return true;
        }
        if (better) {
            cand.id = cur; cand.prev = prev; cand.next = next; cand.d = d;
            if (!worstPass && (flags & FAL_FIRST_FIT))
                return true;
        }
        return false;
    });
    if (rc)
        return rc;
    *pick = cand;
    return 0;
}

/* ---- Searching through the mirror ------------------------------------------ */

/* A list is mirrored once plain walks of it have read as many blocks as
 * it holds (building the mirror reads each once more), and only when it
 * holds enough blocks for a walk to cost more than the mirror's upkeep. */
constexpr ULONG MIRROR_MIN_LENGTH = 16;

/* Mirrors list i when its walks have earned it.  A list that cannot be
 * mirrored (damaged, or no memory) is walked again until it earns
 * another try. */
static void mirrorIfEarned(HFAL h, FreeIndex *ix, int i)
{
    ULONG length = h->hdr.freeCount[i];
    if (ix->mirrored(i) || length < MIRROR_MIN_LENGTH || ix->walked(i) < length)
        return;
    std::vector<FreeIndex::Block> blocks;
    ULONG seen = 0;
    USHORT rc = orin::guardCode([&] {
        blocks.reserve(length);
        return walkList(h, i, &seen, [&](ULONG cur, ULONG, ULONG, const FALDESC &d) {
            blocks.push_back(FreeIndex::Block{cur, d.totalSize});
            return false;
        });
    });
    if (rc != 0 || !ix->mirror(i, blocks))
        ix->forgetWalked(i);
}

/* The block of mirrored list i that a walk with the file's strategy
 * would pick: in list order, the first of at least `needed` bytes (first
 * fit); the first close enough, else the first of the smallest size (best
 * fit) or the first that is large enough (exact fit); the first of the
 * largest size (worst fit, whose pass runs only when the others found
 * nothing). */
static FreeIndex::Slot mirrorChoice(HFAL h, const FreeIndex *ix, int i, ULONG needed,
                                    BOOL worstPass)
{
    USHORT flags = h->hdr.falFlags;
    FreeIndex::Slot s;
    if (worstPass) {
        s = ix->firstOfLargest(i);
        return s != FreeIndex::kNone && ix->entry(s).totalSize >= needed ? s : FreeIndex::kNone;
    }
    if (flags & FAL_FIRST_FIT)
        return ix->firstBetween(i, needed, FAL_MAX_TOTAL);
    s = ix->firstBetween(i, needed, closeLimit(h, needed));
    if (s != FreeIndex::kNone)
        return s;
    return (flags & FAL_BEST_FIT) ? ix->firstOfSmallest(i, needed)
                                  : ix->firstBetween(i, needed, FAL_MAX_TOTAL);
}

/* Reads the chosen block and its predecessor as a walk would have read
 * them and fills the pick; false when the file does not agree with the
 * mirror. */
static bool confirmChoice(HFAL h, int i, const FreeIndex::Entry &e, FALPICK *pick)
{
    FALDESC d, pd;
    ULONG next, link;
    if (readFree(h, e.id, &d, &next) != 0 || d.totalSize != e.totalSize || next != e.next)
        return false;
    if (e.prev ? readFree(h, e.prev, &pd, &link) != 0 || link != e.id
               : h->hdr.freeHead[i] != e.id)
        return false;
    pick->id = e.id;
    pick->prev = e.prev;
    pick->next = next;
    pick->d = d;
    return true;
}

enum class MirrorAnswer { Picked, Nothing, Unsure };

/* Searches mirrored list i; Unsure when the mirror cannot answer for the
 * file (a count that a walk would find exceeded, or bytes that disagree). */
static MirrorAnswer searchMirror(HFAL h, FreeIndex *ix, int i, ULONG needed, BOOL worstPass,
                                 FALPICK *pick, FreeIndex::Slot *slot)
{
    if (ix->length(i) > h->hdr.freeCount[i])
        return MirrorAnswer::Unsure;
    *slot = mirrorChoice(h, ix, i, needed, worstPass);
    if (*slot == FreeIndex::kNone)
        return MirrorAnswer::Nothing;
    if (!confirmChoice(h, i, ix->entry(*slot), pick)) {
        ix->noteDisagreement();
        return MirrorAnswer::Unsure;
    }
    ix->notePick();
    return MirrorAnswer::Picked;
}

/* Finds the block list i offers: through the mirror when the list is
 * mirrored, else by walking it.  *slot names the block in the mirror. */
static USHORT searchList(HFAL h, int i, ULONG needed, BOOL worstPass, FALPICK *pick,
                         FreeIndex::Slot *slot)
{
    FreeIndex *ix = orin::fal::freeIndexOf(h);
    *slot = FreeIndex::kNone;
    pick->id = 0;
    if (ix) {
        mirrorIfEarned(h, ix, i);
        if (ix->mirrored(i)) {
            MirrorAnswer a = searchMirror(h, ix, i, needed, worstPass, pick, slot);
            if (a != MirrorAnswer::Unsure)
                return 0;
            *slot = FreeIndex::kNone;
            pick->id = 0;
            orin::fal::dropFreeIndex(h);
        }
    }
    ULONG seen = 0;
    USHORT rc = walkForFit(h, i, needed, worstPass, pick, &seen);
    if (ix)
        ix->noteWalked(i, seen);
    return rc;
}

static USHORT unlink(HFAL h, int i, const FALPICK *p)
{
    if (p->prev) {
        FALDESC pd;
        USHORT rc = falDescribe(h, p->prev, &pd);
        if (!rc)
            rc = writeLink(h, pd.dataOffset, p->next);
        if (rc)
            return rc;
    } else {
        h->hdr.freeHead[i] = p->next;
    }
    h->hdr.freeCount[i]--;
    return 0;
}

/* Searches free list i (when its blocks can be large enough) and takes
 * the block it picks; *ended says whether the search is over, with a
 * block taken or an error. */
static USHORT takeFromList(HFAL h, int i, ULONG needed, BOOL worst, FALPICK *pick, bool *ended)
{
    FreeIndex::Slot slot;
    *ended = false;
    if (falListClass[i] < needed || !h->hdr.freeHead[i])
        return 0;
    USHORT rc = searchList(h, i, needed, worst, pick, &slot);
    if (rc == 0 && pick->id == 0)
        return 0;
    *ended = true;
    if (rc == 0)
        rc = unlink(h, i, pick);
    if (rc == 0 && slot != FreeIndex::kNone)
        h->freeIndex->remove(i, slot);
    return rc;
}

USHORT falFindFree(HFAL h, ULONG needed, FALPICK *pick)
{
    USHORT flags = h->hdr.falFlags;
    bool ended;
    USHORT rc;

    pick->id = 0;
    if (flags & (FAL_BEST_FIT | FAL_FIRST_FIT | FAL_EXACT_FIT))
        for (int i = 0; i < FAL_LIST_COUNT; i++) {
            rc = takeFromList(h, i, needed, FALSE, pick, &ended);
            if (ended)
                return rc;
        }
    if (flags & FAL_WORST_FIT)
        for (int i = FAL_LIST_COUNT - 1; i >= 0; i--) {
            rc = takeFromList(h, i, needed, TRUE, pick, &ended);
            if (ended)
                return rc;
        }
    return 0;
}

/* Fixed mode: list 0 is a stack, its head is taken. */
USHORT falPopFixed(HFAL h, FALPICK *pick)
{
    USHORT rc;
    pick->id = h->hdr.freeHead[0];
    if (!pick->id)
        return 0;
    if (h->hdr.freeCount[0] == 0)
        return FAL_ERR_FREELIST;
    rc = readFree(h, pick->id, &pick->d, &pick->next);
    if (rc) {
        pick->id = 0;
        return rc;
    }
    pick->prev = 0;
    return unlink(h, 0, pick);
}

/* Splits the tail off a taken free block when enough would remain. */
USHORT falSplitTail(HFAL h, FALPICK *p, ULONG needed)
{
    ULONG g = h->granularity;
    ULONG excess = p->d.totalSize - needed;
    FALDESC tail;

    if (excess < (g + SPLIT_SLACK) / g * g)
        return 0;
    memset(&tail, 0, sizeof tail);
    tail.headerLength = FAL_HDR_VARIABLE;
    tail.headerOffset = p->d.headerOffset + needed;
    tail.dataOffset = tail.headerOffset + FAL_HDR_VARIABLE;
    tail.totalSize = excess;
    tail.capacity = excess - FAL_HDR_VARIABLE;
    falFillHeader(&tail, FAL_TYPE_FREE, FAL_MIN_USED_FREE, excess);
    p->d.totalSize = needed;
    p->d.capacity = needed - FAL_HDR_VARIABLE;
    return falPushFree(h, tail.dataOffset, &tail);
}

