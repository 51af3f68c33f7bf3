/*
 * lsp_node.c - the node pool, node and chain operations, and the
 * conversions between a node and text, numbers and truth.
 *
 * Nodes are never allocated one at a time: they come from blocks of 100
 * slots, kept in one doubly linked list.  Allocation searches the current
 * block from its hint (the slot after the last one handed out) and wraps
 * round; a full current block sends the search to the first block with a
 * free slot, and a new block is appended when none has one.  Freeing a
 * node zeroes its slot and decrements its block's count; a block whose
 * count reaches 0 goes back to the heap at once, so an idle interpreter
 * holds no blocks.
 *
 * Texts shorter than 16 bytes live inside the node (value.psz points at
 * inlineText); longer ones live on the heap behind a count of the nodes
 * that share them (LSPTEXT), so copying a node copies no text.  Texts
 * are never changed once a second node shares them.
 *
 * Lists are built open (type 0x8001): attaching to an open list without
 * elements makes the new node its first element; attaching to any other
 * node makes it that node's `next`.  Closing turns 0x8001 into 0x8000.
 *
 * Sharing.  Values behave as if every binding and every read took a
 * private copy, but copying a closed list does not copy its elements: the
 * copy is a new list node whose `down` refers to the same element chain.
 * `inUse` counts the references to a node (from a `down`, a `next`, or a
 * holder such as a symbol record or a caller); a node referred to more
 * than once is shared and is never changed again, and freeing releases
 * one reference, so a shared chain goes when its last referrer does.
 * `prev` and `up` describe a node's only referrer; they are cleared when
 * a node becomes shared, so code that unlinks by them (freeing a tree,
 * detaching a first node) only ever does so in structure it built itself.
 * The top nodes of every value handed to a caller are its own; host
 * module functions get private copies throughout (see lsp_mod.c).
 *
 * A closed list may carry LSP_LIST_CLEAN in its otherwise unused value:
 * its elements hold no empty list at any depth, so a variable can take it
 * over without walking it (records never hold empty lists).
 *
 * Walks that recurse (private copies, printing, the clean check) stop at
 * LSP_MAX_DEPTH levels; freeing a tree is iterative and handles any depth.
 */
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <math.h>
#include "lisp/lspint.h"
#include "frame/knlint.h"
#include "str.h"
#include "dat.h"

size_t lspCharLen(const char *p)
{
    return MbsLen(p) == 2 && p[1] ? 2 : 1;
}

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
_Static_assert(sizeof(LSPLIST) == 62, "a node fills one 62-byte slot");
_Static_assert(sizeof(LSPBLOCK) == LSP_BLOCK_BYTES, "a block is header + 100 slots");

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
    LSPBLOCK *b = lspCalloc(1, sizeof(LSPPOOLBLOCK));
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

/* A heap text and the number of nodes whose value points at it. */
typedef struct _LSPTEXT {
    ULONG refs;
    char text[1];
} LSPTEXT;

#define LSP_TEXT_HEADER offsetof(LSPTEXT, text)

static LSPTEXT *heapTextOf(PLSPLIST n)
{
    if (!LSP_IS_TEXT(n) || !n->value.psz || n->value.psz == n->inlineText)
        return NULL;
    return (LSPTEXT *)(n->value.psz - LSP_TEXT_HEADER);
}

static void releaseValue(PLSPLIST n)
{
    LSPTEXT *t = heapTextOf(n);
    if (t && --t->refs == 0)
        lspMemFree(t);
    n->value.psz = NULL;
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
    releaseValue(n);
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

/* ---- values ---- */


BOOL lspSetText(PLSPLIST n, const char *text, USHORT type)
{
    size_t len = strlen(text);
    LSPTEXT *copy;
    if (len < LSP_INLINE_TEXT) {
        /* text may live in this very node: copy before releasing */
        char tmp[LSP_INLINE_TEXT];
        memcpy(tmp, text, len + 1);
        releaseValue(n);
        memcpy(n->inlineText, tmp, len + 1);
        n->value.psz = n->inlineText;
    } else {
        copy = lspMalloc(LSP_TEXT_HEADER + len + 1);
        if (!copy)
            return FALSE;
        copy->refs = 1;
        memcpy(copy->text, text, len + 1);
        releaseValue(n);
        n->value.psz = copy->text;
    }
    n->type = type;
    return TRUE;
}

BOOL lspSetLong(PLSPLIST n, LONG v)
{
    releaseValue(n);
    n->type = LSP_T_INTEGER;
    n->value.d = 0;
    n->value.l = v;
    return TRUE;
}

static BOOL setReal(PLSPLIST n, double v, USHORT type)
{
    releaseValue(n);
    n->type = type;
    n->value.d = v;
    return TRUE;
}

BOOL lspSetDouble(PLSPLIST n, double v)   { return setReal(n, v, LSP_T_FLOAT); }
BOOL lspSetDateTime(PLSPLIST n, double v) { return setReal(n, v, LSP_T_DATETIME); }

BOOL lspSetNil(PLSPLIST n)
{
    releaseValue(n);
    n->type = LSP_T_NIL;
    return TRUE;
}

BOOL lspSetTruth(PLSPLIST n, int truth)
{
    return truth ? lspSetText(n, "T", LSP_T_SYMBOL) : lspSetNil(n);
}

/* A text accepted whole as a number (the reader's rule for atoms). */
BOOL lspParseNumber(const char *text, double *out)
{
    return text && *text && StrToDoubleEx(text, out) == 0;
}

static double textToDouble(const char *text)
{
    double d;
    if (!*text)
        return 0.0;
    if ((text[0] == 'T' || text[0] == 't') && !text[1])
        return 1.0;
    if (lspParseNumber(text, &d))
        return d;
    return StrToDouble(text);    /* leading number, else 0 */
}

static LONG truncToLong(double d)
{
    if (d != d)
        return 0;
    if (d >= 2147483647.0)
        return 2147483647L;
    if (d <= -2147483648.0)
        return (LONG)(-2147483647L - 1);
    return (LONG)d;
}

BOOL lspValueFromText(PLSPLIST n, const char *text, USHORT type)
{
    switch (type) {
    case LSP_T_INTEGER:  return lspSetLong(n, truncToLong(textToDouble(text)));
    case LSP_T_FLOAT:    return lspSetDouble(n, textToDouble(text));
    case LSP_T_DATETIME: {
        double d = 0.0;
        if (DatStr2DTJulian(text, &d) != 0)
            d = 0.0;
        return lspSetDateTime(n, d);
    }
    case LSP_T_SYMBOL:
    case LSP_T_STRING:   return lspSetText(n, text, type);
    case LSP_T_LIST:
    case LSP_T_OPENLIST:
        releaseValue(n);
        n->type = type;
        return TRUE;
    default:             return lspSetNil(n);
    }
}

/* ---- making and linking ---- */

PLSPLIST lspShare(PLSPLIST n)
{
    if (n) {
        n->inUse++;
        n->prev = NULL;
        n->up = NULL;
    }
    return n;
}

/* Links node behind parent.  A shared parent is never changed; the back
 * links of a shared node stay clear. */
PLSPLIST lspAttach(PLSPLIST parent, PLSPLIST node)
{
    if (!parent)
        return node;
    if (parent->inUse > 1)
        return NULL;
    if (parent->type == LSP_T_OPENLIST && !parent->down) {
        parent->down = node;
        if (node->inUse == 1)
            node->up = parent;
        return node;
    }
    if (!parent->next) {
        parent->next = node;
        if (node->inUse == 1)
            node->prev = parent;
        return node;
    }
    return NULL;
}

static PLSPLIST attachOrFree(PLSPLIST parent, PLSPLIST n)
{
    if (!lspAttach(parent, n)) {
        lspNodeFree(n);
        return NULL;
    }
    return n;
}

PLSPLIST lspNodeMake(PLSPLIST parent, const char *text, USHORT type)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return NULL;
    if (!lspValueFromText(n, text ? text : "", type)) {
        lspNodeFree(n);
        return NULL;
    }
    return attachOrFree(parent, n);
}

PLSPLIST lspNewLong(PLSPLIST parent, LONG v)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return NULL;
    lspSetLong(n, v);
    return attachOrFree(parent, n);
}

PLSPLIST lspNewDouble(PLSPLIST parent, double v, USHORT type)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return NULL;
    setReal(n, v, type);
    return attachOrFree(parent, n);
}

PLSPLIST lspNewNil(PLSPLIST parent)
{
    PLSPLIST n = lspNodeAlloc();
    return n ? attachOrFree(parent, n) : NULL;
}

PLSPLIST lspNewTruth(PLSPLIST parent, int truth)
{
    return truth ? lspNewText(parent, "T", LSP_T_SYMBOL) : lspNewNil(parent);
}

PLSPLIST lspNewText(PLSPLIST parent, const char *text, USHORT type)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return NULL;
    if (!lspSetText(n, text ? text : "", type)) {
        lspNodeFree(n);
        return NULL;
    }
    return attachOrFree(parent, n);
}

PLSPLIST lspNewList(PLSPLIST parent)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return NULL;
    n->type = LSP_T_OPENLIST;
    return attachOrFree(parent, n);
}

BOOL lspListClose(PLSPLIST list)
{
    if (!list || list->type != LSP_T_OPENLIST)
        return FALSE;
    list->type = LSP_T_LIST;
    return TRUE;
}

BOOL lspListReopen(PLSPLIST list)
{
    if (!list || list->type != LSP_T_LIST || list->inUse > 1)
        return FALSE;
    list->type = LSP_T_OPENLIST;
    list->value.l = 0;                 /* elements may change: not known clean */
    return TRUE;
}

/* ---- copying and freeing ---- */

/* A copy of one node without its links; a heap text is shared unless
 * the copy must be private. */
static PLSPLIST nodeCopy(PLSPLIST n, BOOL private)
{
    PLSPLIST c = lspNodeAlloc();
    LSPTEXT *t = heapTextOf(n);
    if (!c)
        return NULL;
    c->type = n->type;
    if (t && !private) {
        t->refs++;
        c->value.psz = n->value.psz;
    } else if (LSP_IS_TEXT(n)) {
        if (!lspSetText(c, n->value.psz ? n->value.psz : "", n->type)) {
            lspNodeFree(c);
            return NULL;
        }
    } else if (!LSP_IS_LIST(n)) {
        c->value = n->value;
    }
    return c;
}

PLSPLIST lspNodeCopy(PLSPLIST n)
{
    return nodeCopy(n, FALSE);
}

/* ---- copies ---- */

#define COPY_NILEMPTY 1      /* empty lists become nil, as a variable holds them */
#define COPY_PRIVATE  2      /* nothing of the copy is shared with the original */

/* TRUE when no element of the closed list n, at any depth, is an empty
 * list; the answer is kept in the list (and in the lists below it) so the
 * next question costs nothing.  A list nested too deep counts as not
 * clean. */
static BOOL listClean(PLSPLIST n, int depth)
{
    PLSPLIST e;
    if (n->value.l & LSP_LIST_CLEAN)
        return TRUE;
    if (n->type != LSP_T_LIST || depth > LSP_MAX_DEPTH)
        return FALSE;
    for (e = n->down; e; e = e->next)
        if (LSP_IS_LIST(e) && (!e->down || !listClean(e, depth + 1)))
            return FALSE;
    n->value.l |= LSP_LIST_CLEAN;
    return TRUE;
}

BOOL lspListIsClean(PLSPLIST n)
{
    return LSP_IS_LIST(n) && n->down && listClean(n, 0);
}

/* A new closed list node over the same elements as list n. */
static PLSPLIST shareList(PLSPLIST n)
{
    PLSPLIST c = lspNodeAlloc();
    if (!c)
        return NULL;
    c->type = LSP_T_LIST;
    c->value.l = n->value.l & LSP_LIST_CLEAN;
    c->down = lspShare(n->down);
    return c;
}

/* Whether a copy may take list n's elements as they are.  An open list
 * is still being built, so its elements are copied. */
static BOOL mayShare(PLSPLIST n, int flags)
{
    return !(flags & COPY_PRIVATE) && n->type == LSP_T_LIST && n->down &&
           (!(flags & COPY_NILEMPTY) || listClean(n, 0));
}

static PLSPLIST copyChain(PLSPLIST chain, PLSPLIST parent, int flags, int depth);

/* Copies one node and what is below it (not its siblings) and attaches
 * the copy to parent as lspAttach does.  A list whose elements cannot be
 * shared gets a new element chain, copied by the same rules. */
static PLSPLIST copyTree(PLSPLIST n, PLSPLIST parent, int flags, int depth)
{
    PLSPLIST c;
    if (!LSP_IS_LIST(n)) {
        c = nodeCopy(n, (flags & COPY_PRIVATE) != 0);
    } else if (!n->down && (flags & COPY_NILEMPTY)) {
        c = lspNewNil(NULL);
    } else if (mayShare(n, flags)) {
        c = shareList(n);
    } else {
        if (depth > LSP_MAX_DEPTH)
            return NULL;
        c = lspNewList(NULL);
        if (c && n->down && !copyChain(n->down, c, flags, depth + 1)) {
            lspFreeTree(c);
            return NULL;
        }
        lspListClose(c);
    }
    if (c && !lspAttach(parent, c)) {
        lspFreeTree(c);
        c = NULL;
    }
    return c;
}

static PLSPLIST copyChain(PLSPLIST chain, PLSPLIST parent, int flags, int depth)
{
    PLSPLIST first = NULL, last = parent, c, n;

    for (n = chain; n; n = n->next) {
        c = copyTree(n, last, flags, depth);
        if (!c) {
            lspFreeTree(first);
            return NULL;
        }
        if (!first)
            first = c;
        last = c;
    }
    return first;
}

PLSPLIST lspTreeCopy(PLSPLIST n)
{
    return n ? copyTree(n, NULL, 0, 0) : NULL;
}

PLSPLIST lspTreeCopyNilEmpty(PLSPLIST n)
{
    return n ? copyTree(n, NULL, COPY_NILEMPTY, 0) : NULL;
}

PLSPLIST lspChainCopy(PLSPLIST chain, PLSPLIST parent)
{
    return copyChain(chain, parent, 0, 0);
}

PLSPLIST lspChainCopyNilEmpty(PLSPLIST chain, PLSPLIST parent)
{
    return copyChain(chain, parent, COPY_NILEMPTY, 0);
}

PLSPLIST lspChainCopyPrivate(PLSPLIST chain)
{
    return copyChain(chain, NULL, COPY_PRIVATE, 0);
}

PLSPLIST lspWrapChain(PLSPLIST chain)
{
    PLSPLIST list = lspNewList(NULL);
    if (!list)
        return NULL;
    if (chain && !lspChainCopy(chain, list)) {
        lspNodeFree(list);
        return NULL;
    }
    lspListClose(list);
    return list;
}

/* Makes every empty list in an owned chain nil, as a variable must hold
 * it.  The chain's own nodes are changed in place; a list whose shared
 * elements hold an empty list gets private, cleaned elements instead. */
BOOL lspNilEmptyOwned(PLSPLIST chain)
{
    PLSPLIST n, body;
    for (n = chain; n; n = n->next) {
        if (!LSP_IS_LIST(n))
            continue;
        if (n->inUse > 1)
            return FALSE;               /* not the caller's to change */
        if (!n->down) {
            lspSetNil(n);
            continue;
        }
        if (n->type == LSP_T_LIST && listClean(n, 0))
            continue;
        body = copyChain(n->down, NULL, COPY_NILEMPTY, 1);
        if (!body)
            return FALSE;
        lspFreeTree(n->down);
        n->down = body;
        body->up = n;
        n->type = LSP_T_LIST;
        n->value.l = 0;
    }
    return TRUE;
}

/* Unlinks a node that has a single referrer from its predecessor or
 * owning list. */
static void detach(PLSPLIST n)
{
    if (n->prev && n->prev->next == n)
        n->prev->next = NULL;
    else if (n->up && n->up->down == n)
        n->up->down = NULL;
    n->prev = NULL;
    n->up = NULL;
}

/* Releases the node, everything below it and everything after it in its
 * chain, without recursion.  A node still referred to elsewhere only
 * loses one reference, and the walk goes no further along it.  A node
 * whose elements must go first is parked on a stack threaded through its
 * own `prev` (it is about to be freed, so the field is free to use) and
 * taken up again, elements gone, when they are. */
void lspFreeTree(PLSPLIST start)
{
    PLSPLIST n, stack = NULL, after, elements;
    if (!start || !start->inUse)
        return;
    if (start->inUse == 1)
        detach(start);

    n = start;
    for (;;) {
        while (n) {
            if (n->inUse > 1) {
                n->inUse--;
                break;
            }
            if (n->down) {
                elements = n->down;
                n->down = NULL;
                n->prev = stack;
                stack = n;
                n = elements;
                continue;
            }
            after = n->next;
            lspNodeFree(n);
            n = after;
        }
        if (!stack)
            return;
        n = stack;
        stack = n->prev;
        n->prev = NULL;
    }
}

/* Cuts the chain after n and frees what followed. */
void lspFreeRest(PLSPLIST n)
{
    PLSPLIST rest;
    if (!n || !n->next)
        return;
    rest = n->next;
    n->next = NULL;
    if (rest->prev == n)
        rest->prev = NULL;
    lspFreeTree(rest);
}

ULONG lspCountChain(PLSPLIST n)
{
    ULONG count = 0;
    for (; n; n = n->next)
        count++;
    return count;
}

PLSPLIST lspLastOf(PLSPLIST n)
{
    if (!n)
        return NULL;
    while (n->next)
        n = n->next;
    return n;
}

/* Takes the first node off a chain the caller owns; *chain moves to the
 * rest. */
PLSPLIST lspDetachFirst(PLSPLIST *chain)
{
    PLSPLIST n = *chain;
    if (!n)
        return NULL;
    *chain = n->next;
    if (n->next) {
        if (n->next->inUse == 1) {
            n->next->prev = NULL;
            n->next->up = n->up;
        }
        if (n->up)
            n->up->down = n->next;
    } else if (n->up) {
        n->up->down = NULL;
    }
    n->next = NULL;
    n->up = NULL;
    n->prev = NULL;
    return n;
}

/* ---- conversions ---- */

static char numBufs[LSP_NUM_BUFS][LSP_NUM_BUFSIZE];
static int numNext;

static char *nextNumBuf(void)
{
    char *b = numBufs[numNext];
    numNext = (numNext + 1) % LSP_NUM_BUFS;
    return b;
}

const char *lspNodeText(PLSPLIST n)
{
    char *b;
    if (LSP_IS_TEXT(n))
        return n->value.psz ? n->value.psz : "";
    b = nextNumBuf();
    if (!n || n->type == LSP_T_NIL)
        strcpy(b, "NIL");
    else if (n->type == LSP_T_INTEGER)
        snprintf(b, LSP_NUM_BUFSIZE, "%ld", (long)n->value.l);
    else if (n->type == LSP_T_FLOAT)
        snprintf(b, LSP_NUM_BUFSIZE, "%.13G", n->value.d);
    else if (n->type == LSP_T_DATETIME)
        DatDTJulian2Str(n->value.d, b, LSP_NUM_BUFSIZE);
    else if (LSP_IS_LIST(n))
        strcpy(b, "(...)");
    else
        strcpy(b, "NIL");
    return b;
}

double lspNodeDouble(PLSPLIST n)
{
    if (!n)
        return 0.0;
    switch (n->type) {
    case LSP_T_FLOAT:
    case LSP_T_DATETIME: return n->value.d;
    case LSP_T_INTEGER:  return (double)n->value.l;
    case LSP_T_SYMBOL:
    case LSP_T_STRING:   return textToDouble(n->value.psz ? n->value.psz : "");
    default:             return 0.0;
    }
}

LONG lspNodeLong(PLSPLIST n)
{
    if (!n)
        return 0;
    switch (n->type) {
    case LSP_T_INTEGER:  return n->value.l;
    case LSP_T_FLOAT:
    case LSP_T_DATETIME: return truncToLong(n->value.d);
    case LSP_T_SYMBOL:
    case LSP_T_STRING:   return truncToLong(textToDouble(n->value.psz ? n->value.psz : ""));
    default:             return 0;
    }
}

int lspNodeTruth(PLSPLIST n)
{
    if (!n)
        return 0;
    switch (n->type) {
    case LSP_T_FLOAT:    return n->value.d != 0.0;
    case LSP_T_INTEGER:  return n->value.l != 0;
    case LSP_T_DATETIME: return truncToLong(n->value.d) != 0;
    case LSP_T_LIST:
    case LSP_T_OPENLIST: return n->down != NULL;
    case LSP_T_SYMBOL:
    case LSP_T_STRING:   return !(n->value.psz && strcmp(n->value.psz, "0") == 0);
    default:             return 0;
    }
}

/* ---- printing ---- */

/* Escapes for the printed form of a string, applied in this order. */
static const struct { char raw; char esc; } escapes[] = {
    { '\\', '\\' }, { '\n', 'n' }, { '\f', 'f' }, { '\t', 't' }, { '\r', 'r' }, { '"', '"' }
};

/* Writes the quoted, escaped form of src; returns the length it needs
 * (like snprintf), writing at most size bytes including the terminator. */
size_t lspEscape(const char *src, char *dst, size_t size)
{
    size_t len = 0, i;
    const char *p;

#define PUT(c) do { if (len + 1 < size) dst[len] = (c); len++; } while (0)
    PUT('"');
    for (p = src; *p; p++) {
        char esc = 0;
        if (lspCharLen(p) == 2) {        /* a double-byte character is never escaped */
            PUT(p[0]);
            PUT(p[1]);
            p++;
            continue;
        }
        for (i = 0; i < sizeof escapes / sizeof escapes[0]; i++)
            if (*p == escapes[i].raw)
                esc = escapes[i].esc;
        if (esc) {
            PUT('\\');
            PUT(esc);
        } else {
            PUT(*p);
        }
    }
    PUT('"');
#undef PUT
    if (size)
        dst[len < size ? len : size - 1] = 0;
    return len;
}

void lspUnescape(char *text)
{
    size_t len = strlen(text);
    char *r, *w;
    if (len >= 2 && text[0] == '"' && text[len - 1] == '"') {
        memmove(text, text + 1, len - 2);
        text[len - 2] = 0;
    }
    for (r = w = text; *r; r++) {
        if (lspCharLen(r) == 2) {
            *w++ = *r++;
            *w++ = *r;
        } else if (*r == '\\' && r[1]) {
            r++;
            switch (*r) {
            case 'f': *w++ = '\f'; break;
            case 'n': *w++ = '\n'; break;
            case 'r': *w++ = '\r'; break;
            case 't': *w++ = '\t'; break;
            default:  *w++ = *r;   break;
            }
        } else {
            *w++ = *r;
        }
    }
    *w = 0;
}

#define LSP_ELLIPSIS     "..."
#define LSP_ELLIPSIS_LEN 3

/* Printing writes into the caller's buffer until something does not fit.
 * Then it backs up to the end of the last complete element (keeping room
 * for the terminator) and writes "..." there, so a cut text always ends
 * in "..." and never overruns. */
typedef struct {
    char *buf;
    size_t size;
    size_t len;
    size_t boundary;      /* end of the last complete element */
    BOOL full;
} PRINTER;

static void putText(PRINTER *p, const char *text, size_t len)
{
    if (p->full)
        return;
    if (p->len + len >= p->size) {
        p->full = TRUE;
        return;
    }
    memcpy(p->buf + p->len, text, len);
    p->len += len;
    p->buf[p->len] = 0;
}

static void printNode(PRINTER *p, PLSPLIST n, int depth)
{
    PLSPLIST e;
    if (p->full)
        return;
    if (LSP_IS_LIST(n)) {
        if (depth > LSP_MAX_DEPTH) {
            p->full = TRUE;
            return;
        }
        putText(p, "(", 1);
        for (e = n->down; e && !p->full; e = e->next) {
            printNode(p, e, depth + 1);
            if (!p->full)
                p->boundary = p->len;
            if (e->next)
                putText(p, " ", 1);
        }
        putText(p, ")", 1);
    } else if (n->type == LSP_T_STRING) {
        const char *s = n->value.psz ? n->value.psz : "";
        size_t need = lspEscape(s, NULL, 0);
        if (p->len + need >= p->size) {
            p->full = TRUE;
            return;
        }
        lspEscape(s, p->buf + p->len, p->size - p->len);
        p->len += need;
    } else {
        const char *t = lspNodeText(n);
        putText(p, t, strlen(t));
    }
}

static void finishCut(PRINTER *p)
{
    size_t cut = p->boundary, room;
    if (cut + LSP_ELLIPSIS_LEN + 1 > p->size)
        cut = p->size > LSP_ELLIPSIS_LEN ? p->size - LSP_ELLIPSIS_LEN - 1 : 0;
    room = p->size - 1 - cut;
    if (room > LSP_ELLIPSIS_LEN)
        room = LSP_ELLIPSIS_LEN;
    memcpy(p->buf + cut, LSP_ELLIPSIS, room);
    p->len = cut + room;
    p->buf[p->len] = 0;
}

/* The printed form of one node into buf (size bytes, terminator
 * included).  Returns the length written. */
size_t lspPrint(PLSPLIST n, char *buf, size_t size)
{
    PRINTER p;
    if (!buf || !size)
        return 0;
    p.buf = buf;
    p.size = size;
    p.len = 0;
    p.boundary = 0;
    p.full = FALSE;
    buf[0] = 0;
    if (!n)
        putText(&p, "NIL", 3);
    else
        printNode(&p, n, 0);
    if (p.full)
        finishCut(&p);
    return p.len;
}

/* ---- type names ---- */

static const struct { USHORT code; const char *name; } typeNames[] = {
    { LSP_T_NIL, "nil" }, { LSP_T_LIST, "list" }, { LSP_T_OPENLIST, "list" },
    { LSP_T_SYMBOL, "symbol" }, { LSP_T_STRING, "string" }, { LSP_T_INTEGER, "integer" },
    { LSP_T_FLOAT, "float" }, { LSP_T_DATETIME, "datetime" }
};

const char *lspTypeName(USHORT type)
{
    size_t i;
    for (i = 0; i < sizeof typeNames / sizeof typeNames[0]; i++)
        if (typeNames[i].code == type)
            return typeNames[i].name;
    return "unknown";
}

USHORT lspTypeCode(const char *name)
{
    size_t i;
    for (i = 0; i < sizeof typeNames / sizeof typeNames[0]; i++)
        if (_stricmp(typeNames[i].name, name) == 0)
            return typeNames[i].code;
    return LSP_T_NIL;
}
