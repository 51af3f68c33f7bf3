/*
 * lsp_pool.cpp - the node pool and the interpreter's heap accounting.
 *
 * Nodes are never allocated one at a time: they come from blocks of 100
 * slots, kept in one doubly linked list.  Allocation searches the current
 * block from its hint (the slot after the last one handed out) and wraps
 * round; a full current block sends the search to the first block with a
 * free slot, and a new block is appended when none has one.  Freeing a
 * node releases one reference (inUse counts them, see lsp_node.cpp); the
 * last one zeroes the slot and decrements its block's count, and a block
 * whose count reaches 0 goes back to the heap at once, so an idle
 * interpreter holds no blocks.
 *
 * Every heap block of the interpreter goes through lspMalloc and its
 * kin, which count live blocks so that leak checks see the heap as well
 * as the pool.  They are also where a test can make an allocation fail.
 *
 * The pool, the counters and the injection belong to the interpreter's
 * one thread (lspint.h).
 */
#include <cstdlib>
#include <cstring>
#include "lisp/lspint.h"

namespace orin::lsp {

/* ---- heap accounting and failure injection ---- */

namespace {

LONG heapBlocks;

}  // namespace

FailureSeam allocationSeam;

void *lspMalloc(size_t size) noexcept
{
    if (allocationSeam.fails())
        return nullptr;
    void *p = malloc(size);
    if (p)
        heapBlocks++;
    return p;
}

void *lspCalloc(size_t count, size_t size) noexcept
{
    if (allocationSeam.fails())
        return nullptr;
    void *p = calloc(count, size);
    if (p)
        heapBlocks++;
    return p;
}

void lspMemFree(void *p) noexcept
{
    if (p) {
        heapBlocks--;
        free(p);
    }
}

LONG lspHeapBlocks() noexcept
{
    return heapBlocks;
}

/* ---- the pool ---- */

namespace {

constexpr size_t kBlockBytes = 6220;

#pragma pack(push, 1)
struct LSPBLOCK {
    LSPBLOCK *next;
    LSPBLOCK *prev;
    USHORT used;
    USHORT hint;
    LSPLIST slot[kPoolSlots];
};
#pragma pack(pop)

static_assert(sizeof(LSPBLOCK) == kBlockBytes, "a block is a 20-byte header + 100 slots");
static_assert(offsetof(LSPBLOCK, used) == 16 && offsetof(LSPBLOCK, hint) == 18 &&
              offsetof(LSPBLOCK, slot) == 20, "block header fields");

/* Each block is allocated with one bit per slot behind it, set while the
 * slot is in use, so the search for the first free slot from the hint
 * takes a few word operations instead of a walk over the slots.  It finds
 * the slot the walk would find. */
constexpr int kMapWords = (kPoolSlots + 63) / 64;
struct LSPPOOLBLOCK {
    LSPBLOCK block;
    ULONGLONG busy[kMapWords];
};

ULONGLONG *busyMap(LSPBLOCK *b)
{
    return reinterpret_cast<LSPPOOLBLOCK *>(b)->busy;
}

struct Pool {
    LSPBLOCK *first;
    LSPBLOCK *last;
    LSPBLOCK *current;
    ULONG blocksWithRoom;            // blocks whose used is below 100
};
constinit Pool pool{};

/* The first free slot at or after `from`, or -1. */
int firstFreeFrom(const ULONGLONG *busy, int from)
{
    for (int w = from / 64; w < kMapWords; w++) {
        ULONGLONG free = ~busy[w];
        if (w == from / 64)
            free &= ~0ULL << (from % 64);
        if (w == kMapWords - 1 && kPoolSlots % 64)
            free &= (1ULL << (kPoolSlots % 64)) - 1;
        if (free)
            return w * 64 + __builtin_ctzll(free);
    }
    return -1;
}

LSPBLOCK *findBlockWithRoom()
{
    if (!pool.blocksWithRoom)
        return nullptr;
    for (LSPBLOCK *b = pool.first; b; b = b->next)
        if (b->used < kPoolSlots)
            return b;
    return nullptr;
}

LSPBLOCK *appendBlock()
{
    auto *b = static_cast<LSPBLOCK *>(lspCalloc(1, sizeof(LSPPOOLBLOCK)));
    if (!b)
        return nullptr;
    if (!pool.first) {
        pool.first = b;
    } else {
        pool.last->next = b;
        b->prev = pool.last;
    }
    pool.last = b;
    pool.blocksWithRoom++;
    return b;
}

bool blockOwns(const LSPBLOCK *b, const LSPLIST *n)
{
    return n >= &b->slot[0] && n <= &b->slot[kPoolSlots - 1];
}

/* The block holding n: the current block, then its neighbours (a tree
 * is usually freed in the order it was allocated, block after block),
 * then all blocks; null for a node from no block. */
LSPBLOCK *owningBlock(const LSPLIST *n)
{
    LSPBLOCK *b = pool.current;
    if (b && blockOwns(b, n))
        return b;
    if (b && b->next && blockOwns(b->next, n))
        return b->next;
    if (b && b->prev && blockOwns(b->prev, n))
        return b->prev;
    for (b = pool.first; b && !blockOwns(b, n); b = b->next)
        ;
    return b;
}

void unlinkBlock(LSPBLOCK *b)
{
    if (b->prev) b->prev->next = b->next;
    if (b->next) b->next->prev = b->prev;
    if (pool.first == b) pool.first = b->next;
    if (pool.last == b) pool.last = b->prev;
    if (pool.current == b) pool.current = b->next;
    pool.blocksWithRoom--;
    lspMemFree(b);
}

}  // namespace

PLSPLIST lspNodeAlloc() noexcept
{
    if (allocationSeam.fails())
        return nullptr;
    LSPBLOCK *b = pool.current;
    if (!b || b->used >= kPoolSlots) {
        b = findBlockWithRoom();
        if (!b)
            b = appendBlock();
        if (!b)
            return nullptr;
        pool.current = b;
    }
    int found = firstFreeFrom(busyMap(b), b->hint);
    if (found < 0)
        found = firstFreeFrom(busyMap(b), 0);
    // Invariant: a block whose count is below 100 has a clear bit.
    if (found < 0)
        return nullptr;
    memset(&b->slot[found], 0, sizeof(LSPLIST));
    b->slot[found].inUse = 1;
    busyMap(b)[found / 64] |= 1ULL << (found % 64);
    if (++b->used == kPoolSlots)
        pool.blocksWithRoom--;
    b->hint = static_cast<USHORT>(found + 1);
    return &b->slot[found];
}

/* Releases one reference; the slot is freed with the last one. */
void lspNodeFree(PLSPLIST n) noexcept
{
    if (!n || !n->inUse)
        return;
    if (n->inUse > 1) {
        n->inUse--;
        return;
    }
    LSPBLOCK *b = owningBlock(n);
    if (!b)
        return;        // not a pool node
    pool.current = b;
    lspReleaseValue(n);
    memset(n, 0, sizeof *n);
    int slot = static_cast<int>(n - b->slot);
    busyMap(b)[slot / 64] &= ~(1ULL << (slot % 64));
    if (b->used-- == kPoolSlots)
        pool.blocksWithRoom++;
    if (b->used == 0)
        unlinkBlock(b);
}

ULONG lspPoolNodesUsed() noexcept
{
    ULONG total = 0;
    for (LSPBLOCK *b = pool.first; b; b = b->next)
        total += b->used;
    return total;
}

ULONGLONG lspPoolMemUsed() noexcept
{
    ULONGLONG total = 0;
    for (LSPBLOCK *b = pool.first; b; b = b->next) {
        total += kBlockBytes;
        for (const LSPLIST &n : b->slot)
            if (n.inUse && isText(&n) && n.value.psz)
                total += strlen(n.value.psz) + 1;
    }
    return total + lspSymMemUsed();
}

}  // namespace orin::lsp
