/*
 * lsp_pool.c - the node pool and the interpreter's heap accounting.
 *
 * Nodes are never allocated one at a time: they come from blocks of 100
 * slots, kept in one doubly linked list.  Allocation searches the current
 * block from its hint (the slot after the last one handed out) and wraps
 * round; a full current block sends the search to the first block with a
 * free slot, and a new block is appended when none has one.  Freeing a
 * node releases one reference (inUse counts them, see lsp_node.c); the
 * last one zeroes the slot and decrements its block's count, and a block
 * whose count reaches 0 goes back to the heap at once, so an idle
 * interpreter holds no blocks.
 *
 * Every heap block of the interpreter goes through lspMalloc and its
 * kin, which count live blocks so that leak checks see the heap as well
 * as the pool.
 */
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"

/* ---- heap accounting ---- */

static LONG heapBlocks;

void *lspMalloc(size_t size)
{
    void *p = malloc(size);
    if (p)
        heapBlocks++;
    return p;
}

void *lspCalloc(size_t count, size_t size)
{
    void *p = calloc(count, size);
    if (p)
        heapBlocks++;
    return p;
}

void lspMemFree(void *p)
{
    if (p) {
        heapBlocks--;
        free(p);
    }
}

LONG lspHeapBlocks(void)
{
    return heapBlocks;
}

/* ---- the pool ---- */

#pragma pack(push, 1)
typedef struct _LSPBLOCK {
    struct _LSPBLOCK *next;
    struct _LSPBLOCK *prev;
    USHORT used;
    USHORT hint;
    LSPLIST slot[LSP_POOL_SLOTS];
} LSPBLOCK;
#pragma pack(pop)

#define LSP_BLOCK_BYTES  6220
static_assert(sizeof(LSPLIST) == 62, "a node fills one 62-byte slot");
static_assert(sizeof(LSPBLOCK) == LSP_BLOCK_BYTES, "a block is header + 100 slots");

/* Each block is allocated with one bit per slot behind it, set while the
 * slot is in use, so the search for the first free slot from the hint
 * takes a few word operations instead of a walk over the slots.  It finds
 * the slot the walk would find. */
#define LSP_MAP_WORDS  ((LSP_POOL_SLOTS + 63) / 64)
typedef struct _LSPPOOLBLOCK {
    LSPBLOCK block;
    ULONGLONG busy[LSP_MAP_WORDS];
} LSPPOOLBLOCK;

#define BUSY_MAP(b)  (((LSPPOOLBLOCK *)(b))->busy)

static LSPBLOCK *poolFirst;
static LSPBLOCK *poolLast;
static LSPBLOCK *poolCurrent;
static ULONG blocksWithRoom;     /* blocks whose used is below 100 */

/* The first free slot at or after `from`, or -1. */
static int firstFreeFrom(const ULONGLONG *busy, int from)
{
    int w;
    for (w = from / 64; w < LSP_MAP_WORDS; w++) {
        ULONGLONG free = ~busy[w];
        if (w == from / 64)
            free &= ~0ULL << (from % 64);
        if (w == LSP_MAP_WORDS - 1 && LSP_POOL_SLOTS % 64)
            free &= (1ULL << (LSP_POOL_SLOTS % 64)) - 1;
        if (free)
            return w * 64 + __builtin_ctzll(free);
    }
    return -1;
}

static LSPBLOCK *findBlockWithRoom(void)
{
    LSPBLOCK *b;
    if (!blocksWithRoom)
        return NULL;
    for (b = poolFirst; b; b = b->next)
        if (b->used < LSP_POOL_SLOTS)
            return b;
    return NULL;
}

static LSPBLOCK *appendBlock(void)
{
    LSPBLOCK *b = (LSPBLOCK*)lspCalloc(1, sizeof(LSPPOOLBLOCK));
    if (!b)
        return NULL;
    if (!poolFirst) {
        poolFirst = b;
    } else {
        poolLast->next = b;
        b->prev = poolLast;
    }
    poolLast = b;
    blocksWithRoom++;
    return b;
}

PLSPLIST lspNodeAlloc(void)
{
    LSPBLOCK *b = poolCurrent;
    int found;

    if (!b || b->used >= LSP_POOL_SLOTS) {
        b = findBlockWithRoom();
        if (!b)
            b = appendBlock();
        if (!b)
            return NULL;
        poolCurrent = b;
    }
    found = firstFreeFrom(BUSY_MAP(b), b->hint);
    if (found < 0)
        found = firstFreeFrom(BUSY_MAP(b), 0);
    if (found < 0)
        return NULL;   /* count and map disagree: cannot happen */
    memset(&b->slot[found], 0, sizeof(LSPLIST));
    b->slot[found].inUse = 1;
    BUSY_MAP(b)[found / 64] |= 1ULL << (found % 64);
    if (++b->used == LSP_POOL_SLOTS)
        blocksWithRoom--;
    b->hint = (USHORT)(found + 1);
    return &b->slot[found];
}

static BOOL blockOwns(const LSPBLOCK *b, const LSPLIST *n)
{
    return n >= &b->slot[0] && n <= &b->slot[LSP_POOL_SLOTS - 1];
}

/* The block holding n: the current block, then its neighbours (a tree
 * is usually freed in the order it was allocated, block after block),
 * then all blocks; NULL for a node from no block. */
static LSPBLOCK *owningBlock(const LSPLIST *n)
{
    LSPBLOCK *b = poolCurrent;
    if (b && blockOwns(b, n))
        return b;
    if (b && b->next && blockOwns(b->next, n))
        return b->next;
    if (b && b->prev && blockOwns(b->prev, n))
        return b->prev;
    for (b = poolFirst; b && !blockOwns(b, n); b = b->next)
        ;
    return b;
}

/* Releases one reference; the slot is freed with the last one. */
void lspNodeFree(PLSPLIST n)
{
    LSPBLOCK *b;
    int slot;
    if (!n || !n->inUse)
        return;
    if (n->inUse > 1) {
        n->inUse--;
        return;
    }
    b = owningBlock(n);
    if (!b)
        return;        /* not a pool node */
    poolCurrent = b;
    lspReleaseValue(n);
    memset(n, 0, sizeof *n);
    slot = (int)(n - b->slot);
    BUSY_MAP(b)[slot / 64] &= ~(1ULL << (slot % 64));
    if (b->used-- == LSP_POOL_SLOTS)
        blocksWithRoom++;
    if (b->used == 0) {
        if (b->prev) b->prev->next = b->next;
        if (b->next) b->next->prev = b->prev;
        if (poolFirst == b) poolFirst = b->next;
        if (poolLast == b) poolLast = b->prev;
        if (poolCurrent == b) poolCurrent = b->next;
        blocksWithRoom--;
        lspMemFree(b);
    }
}

ULONG lspPoolNodesUsed(void)
{
    ULONG total = 0;
    LSPBLOCK *b;
    for (b = poolFirst; b; b = b->next)
        total += b->used;
    return total;
}

ULONGLONG lspPoolMemUsed(void)
{
    ULONGLONG total = 0;
    LSPBLOCK *b;
    int i;
    for (b = poolFirst; b; b = b->next) {
        total += LSP_BLOCK_BYTES;
        for (i = 0; i < LSP_POOL_SLOTS; i++)
            if (b->slot[i].inUse && LSP_IS_TEXT(&b->slot[i]) && b->slot[i].value.psz)
                total += strlen(b->slot[i].value.psz) + 1;
    }
    return total + lspSymMemUsed();
}
