/*
 * lsp_node.c - node values, making and linking nodes, copying and
 * freeing trees.
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
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"

/* ---- values ---- */

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

void lspReleaseValue(PLSPLIST n)
{
    LSPTEXT *t = heapTextOf(n);
    if (t && --t->refs == 0)
        lspMemFree(t);
    n->value.psz = NULL;
}

BOOL lspSetText(PLSPLIST n, const char *text, USHORT type)
{
    size_t len = strlen(text);
    LSPTEXT *copy;
    if (len < LSP_INLINE_TEXT) {
        /* text may live in this very node: copy before releasing */
        char tmp[LSP_INLINE_TEXT];
        memcpy(tmp, text, len + 1);
        lspReleaseValue(n);
        memcpy(n->inlineText, tmp, len + 1);
        n->value.psz = n->inlineText;
    } else {
        copy = (LSPTEXT*)lspMalloc(LSP_TEXT_HEADER + len + 1);
        if (!copy)
            return FALSE;
        copy->refs = 1;
        memcpy(copy->text, text, len + 1);
        lspReleaseValue(n);
        n->value.psz = copy->text;
    }
    n->type = type;
    return TRUE;
}

BOOL lspSetLong(PLSPLIST n, LONG v)
{
    lspReleaseValue(n);
    n->type = LSP_T_INTEGER;
    n->value.d = 0;
    n->value.l = v;
    return TRUE;
}

static BOOL setReal(PLSPLIST n, double v, USHORT type)
{
    lspReleaseValue(n);
    n->type = type;
    n->value.d = v;
    return TRUE;
}

BOOL lspSetDouble(PLSPLIST n, double v)   { return setReal(n, v, LSP_T_FLOAT); }
BOOL lspSetDateTime(PLSPLIST n, double v) { return setReal(n, v, LSP_T_DATETIME); }

BOOL lspSetNil(PLSPLIST n)
{
    lspReleaseValue(n);
    n->type = LSP_T_NIL;
    return TRUE;
}

BOOL lspSetTruth(PLSPLIST n, int truth)
{
    return truth ? lspSetText(n, "T", LSP_T_SYMBOL) : lspSetNil(n);
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

/* ---- copies ---- */

/* A copy of one node without its links; a heap text is shared unless
 * the copy must be private. */
static PLSPLIST nodeCopy(PLSPLIST n, BOOL isPrivate)
{
    PLSPLIST c = lspNodeAlloc();
    LSPTEXT *t = heapTextOf(n);
    if (!c)
        return NULL;
    c->type = n->type;
    if (t && !isPrivate) {
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

/* A new closed list node over the element chain `elements` (one more
 * reference to it), carrying the clean mark when `clean` is set. */
static PLSPLIST listOver(PLSPLIST elements, BOOL clean)
{
    PLSPLIST c = lspNodeAlloc();
    if (!c)
        return NULL;
    c->type = LSP_T_LIST;
    c->value.l = clean ? LSP_LIST_CLEAN : 0;
    c->down = lspShare(elements);
    return c;
}

/* A new closed list node over the same elements as list n. */
static PLSPLIST shareList(PLSPLIST n)
{
    return listOver(n->down, (n->value.l & LSP_LIST_CLEAN) != 0);
}

/* Whether an element is known to hold no empty list, from its mark alone. */
static BOOL knownClean(PLSPLIST e)
{
    return !LSP_IS_LIST(e) || (e->down && (e->value.l & LSP_LIST_CLEAN));
}

PLSPLIST lspListRest(PLSPLIST list)
{
    return listOver(list->down->next, (list->value.l & LSP_LIST_CLEAN) != 0);
}

PLSPLIST lspListCons(PLSPLIST first, PLSPLIST tail)
{
    PLSPLIST list = lspNewList(NULL), rest;
    BOOL clean;
    if (!list)
        return NULL;
    clean = knownClean(first) && (!LSP_IS_LIST(tail) || !tail->down || knownClean(tail));
    lspAttach(list, first);
    rest = LSP_IS_LIST(tail) ? tail->down : NULL;
    if (rest) {
        tail->down = NULL;             /* the reference moves to first */
        if (rest->up == tail)
            rest->up = NULL;
        lspAttach(first, rest);
    }
    lspListClose(list);
    if (clean)
        list->value.l = LSP_LIST_CLEAN;
    return list;
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

