/*
 * lsp_node.cpp - node values, making and linking nodes, copying and
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
 * module functions get private copies throughout (see lsp_mod.cpp).
 *
 * A closed list may carry kListClean in its otherwise unused value:
 * its elements hold no empty list at any depth, so a variable can take it
 * over without walking it (records never hold empty lists).
 *
 * Walks that recurse (private copies, printing, the clean check) stop at
 * kMaxDepth levels; freeing a tree is iterative and handles any depth.
 */
#include <cstddef>
#include <cstring>
#include "lisp/lspint.h"

namespace orin::lsp {

/* ---- values ---- */

namespace {

/* A heap text and the number of nodes whose value points at it. */
struct LSPTEXT {
    ULONG refs;
    char text[1];
};

constexpr size_t kTextHeader = offsetof(LSPTEXT, text);

LSPTEXT *heapTextOf(PLSPLIST n)
{
    if (!isText(n) || !n->value.psz || n->value.psz == n->inlineText)
        return nullptr;
    return reinterpret_cast<LSPTEXT *>(n->value.psz - kTextHeader);
}

}  // namespace

void lspReleaseValue(PLSPLIST n)
{
    LSPTEXT *t = heapTextOf(n);
    if (t && --t->refs == 0)
        lspMemFree(t);
    n->value.psz = nullptr;
}

bool lspSetText(PLSPLIST n, const char *text, USHORT type)
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
        copy = static_cast<LSPTEXT *>(lspMalloc(kTextHeader + len + 1));
        if (!copy)
            return false;
        copy->refs = 1;
        memcpy(copy->text, text, len + 1);
        lspReleaseValue(n);
        n->value.psz = copy->text;
    }
    n->type = type;
    return true;
}

void lspSetLong(PLSPLIST n, LONG v)
{
    lspReleaseValue(n);
    n->type = LSP_T_INTEGER;
    n->value.d = 0;
    n->value.l = v;
}

namespace {

void setReal(PLSPLIST n, double v, USHORT type)
{
    lspReleaseValue(n);
    n->type = type;
    n->value.d = v;
}

}  // namespace

void lspSetDouble(PLSPLIST n, double v)   { setReal(n, v, LSP_T_FLOAT); }
void lspSetDateTime(PLSPLIST n, double v) { setReal(n, v, LSP_T_DATETIME); }

void lspSetNil(PLSPLIST n)
{
    lspReleaseValue(n);
    n->type = LSP_T_NIL;
}

bool lspSetTruth(PLSPLIST n, int truth)
{
    if (truth)
        return lspSetText(n, "T", LSP_T_SYMBOL);
    lspSetNil(n);
    return true;
}

/* ---- making and linking ---- */

PLSPLIST lspShare(PLSPLIST n)
{
    if (n) {
        n->inUse++;
        n->prev = nullptr;
        n->up = nullptr;
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
        return nullptr;
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
    return nullptr;
}

namespace {

PLSPLIST attachOrFree(PLSPLIST parent, PLSPLIST n)
{
    if (!lspAttach(parent, n)) {
        lspNodeFree(n);
        return nullptr;
    }
    return n;
}

}  // namespace

PLSPLIST lspNodeMake(PLSPLIST parent, const char *text, USHORT type)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return nullptr;
    if (!lspValueFromText(n, text ? text : "", type)) {
        lspNodeFree(n);
        return nullptr;
    }
    return attachOrFree(parent, n);
}

PLSPLIST lspNewLong(PLSPLIST parent, LONG v)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return nullptr;
    lspSetLong(n, v);
    return attachOrFree(parent, n);
}

PLSPLIST lspNewDouble(PLSPLIST parent, double v, USHORT type)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return nullptr;
    setReal(n, v, type);
    return attachOrFree(parent, n);
}

PLSPLIST lspNewNil(PLSPLIST parent)
{
    PLSPLIST n = lspNodeAlloc();
    return n ? attachOrFree(parent, n) : nullptr;
}

PLSPLIST lspNewTruth(PLSPLIST parent, int truth)
{
    return truth ? lspNewText(parent, "T", LSP_T_SYMBOL) : lspNewNil(parent);
}

PLSPLIST lspNewText(PLSPLIST parent, const char *text, USHORT type)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return nullptr;
    if (!lspSetText(n, text ? text : "", type)) {
        lspNodeFree(n);
        return nullptr;
    }
    return attachOrFree(parent, n);
}

PLSPLIST lspNewList(PLSPLIST parent)
{
    PLSPLIST n = lspNodeAlloc();
    if (!n)
        return nullptr;
    n->type = LSP_T_OPENLIST;
    return attachOrFree(parent, n);
}

bool lspListClose(PLSPLIST list)
{
    if (!list || list->type != LSP_T_OPENLIST)
        return false;
    list->type = LSP_T_LIST;
    return true;
}

bool lspListReopen(PLSPLIST list)
{
    if (!list || list->type != LSP_T_LIST || list->inUse > 1)
        return false;
    list->type = LSP_T_OPENLIST;
    list->value.l = 0;                 /* elements may change: not known clean */
    return true;
}

/* ---- copies ---- */

namespace {

/* A copy of one node without its links; a heap text is shared unless
 * the copy must be private. */
PLSPLIST nodeCopy(PLSPLIST n, bool isPrivate)
{
    PLSPLIST c = lspNodeAlloc();
    LSPTEXT *t = heapTextOf(n);
    if (!c)
        return nullptr;
    c->type = n->type;
    if (t && !isPrivate) {
        t->refs++;
        c->value.psz = n->value.psz;
    } else if (isText(n)) {
        if (!lspSetText(c, n->value.psz ? n->value.psz : "", n->type)) {
            lspNodeFree(c);
            return nullptr;
        }
    } else if (!isList(n)) {
        c->value = n->value;
    }
    return c;
}

constexpr int COPY_NILEMPTY = 1;      // empty lists become nil, as a variable holds them
constexpr int COPY_PRIVATE = 2;       // nothing of the copy is shared with the original

/* True when no element of the closed list n, at any depth, is an empty
 * list; the answer is kept in the list (and in the lists below it) so the
 * next question costs nothing.  A list nested too deep counts as not
 * clean. */
bool listClean(PLSPLIST n, int depth)
{
    if (n->value.l & kListClean)
        return true;
    if (n->type != LSP_T_LIST || depth > kMaxDepth)
        return false;
    for (PLSPLIST e = n->down; e; e = e->next)
        if (isList(e) && (!e->down || !listClean(e, depth + 1)))
            return false;
    n->value.l |= kListClean;
    return true;
}

/* A new closed list node over the element chain `elements` (one more
 * reference to it), carrying the clean mark when `clean` is set. */
PLSPLIST listOver(PLSPLIST elements, bool clean)
{
    PLSPLIST c = lspNodeAlloc();
    if (!c)
        return nullptr;
    c->type = LSP_T_LIST;
    c->value.l = clean ? kListClean : 0;
    c->down = lspShare(elements);
    return c;
}

/* A new closed list node over the same elements as list n. */
PLSPLIST shareList(PLSPLIST n)
{
    return listOver(n->down, (n->value.l & kListClean) != 0);
}

/* Whether an element is known to hold no empty list, from its mark alone. */
bool knownClean(PLSPLIST e)
{
    return !isList(e) || (e->down && (e->value.l & kListClean));
}

/* Whether a copy may take list n's elements as they are.  An open list
 * is still being built, so its elements are copied. */
bool mayShare(PLSPLIST n, int flags)
{
    return !(flags & COPY_PRIVATE) && n->type == LSP_T_LIST && n->down &&
           (!(flags & COPY_NILEMPTY) || listClean(n, 0));
}

PLSPLIST copyChain(PLSPLIST chain, PLSPLIST parent, int flags, int depth);

/* Copies one node and what is below it (not its siblings) and attaches
 * the copy to parent as lspAttach does.  A list whose elements cannot be
 * shared gets a new element chain, copied by the same rules. */
PLSPLIST copyTree(PLSPLIST n, PLSPLIST parent, int flags, int depth)
{
    PLSPLIST c;
    if (!isList(n)) {
        c = nodeCopy(n, (flags & COPY_PRIVATE) != 0);
    } else if (!n->down && (flags & COPY_NILEMPTY)) {
        c = lspNewNil(nullptr);
    } else if (mayShare(n, flags)) {
        c = shareList(n);
    } else {
        if (depth > kMaxDepth)
            return nullptr;
        c = lspNewList(nullptr);
        if (c && n->down && !copyChain(n->down, c, flags, depth + 1)) {
            lspFreeTree(c);
            return nullptr;
        }
        lspListClose(c);
    }
    if (c && !lspAttach(parent, c)) {
        lspFreeTree(c);
        c = nullptr;
    }
    return c;
}

PLSPLIST copyChain(PLSPLIST chain, PLSPLIST parent, int flags, int depth)
{
    PLSPLIST first = nullptr, last = parent;
    for (PLSPLIST n = chain; n; n = n->next) {
        PLSPLIST c = copyTree(n, last, flags, depth);
        if (!c) {
            lspFreeTree(first);
            return nullptr;
        }
        if (!first)
            first = c;
        last = c;
    }
    return first;
}

/* Unlinks a node that has a single referrer from its predecessor or
 * owning list. */
void detach(PLSPLIST n)
{
    if (n->prev && n->prev->next == n)
        n->prev->next = nullptr;
    else if (n->up && n->up->down == n)
        n->up->down = nullptr;
    n->prev = nullptr;
    n->up = nullptr;
}

}  // namespace

PLSPLIST lspNodeCopy(PLSPLIST n)
{
    return nodeCopy(n, false);
}

bool lspListIsClean(PLSPLIST n)
{
    return isList(n) && n->down && listClean(n, 0);
}

PLSPLIST lspListRest(PLSPLIST list)
{
    return listOver(list->down->next, (list->value.l & kListClean) != 0);
}

PLSPLIST lspListCons(PLSPLIST first, PLSPLIST tail)
{
    PLSPLIST list = lspNewList(nullptr), rest;
    if (!list)
        return nullptr;
    bool clean = knownClean(first) && (!isList(tail) || !tail->down || knownClean(tail));
    lspAttach(list, first);
    rest = isList(tail) ? tail->down : nullptr;
    if (rest) {
        tail->down = nullptr;             /* the reference moves to first */
        if (rest->up == tail)
            rest->up = nullptr;
        lspAttach(first, rest);
    }
    lspListClose(list);
    if (clean)
        list->value.l = kListClean;
    return list;
}

PLSPLIST lspTreeCopy(PLSPLIST n)
{
    return n ? copyTree(n, nullptr, 0, 0) : nullptr;
}

PLSPLIST lspTreeCopyNilEmpty(PLSPLIST n)
{
    return n ? copyTree(n, nullptr, COPY_NILEMPTY, 0) : nullptr;
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
    return copyChain(chain, nullptr, COPY_PRIVATE, 0);
}

PLSPLIST lspWrapChain(PLSPLIST chain)
{
    PLSPLIST list = lspNewList(nullptr);
    if (!list)
        return nullptr;
    if (chain && !lspChainCopy(chain, list)) {
        lspNodeFree(list);
        return nullptr;
    }
    lspListClose(list);
    return list;
}

/* Makes every empty list in an owned chain nil, as a variable must hold
 * it.  The chain's own nodes are changed in place; a list whose shared
 * elements hold an empty list gets private, cleaned elements instead. */
bool lspNilEmptyOwned(PLSPLIST chain)
{
    PLSPLIST n, body;
    for (n = chain; n; n = n->next) {
        if (!isList(n))
            continue;
        if (n->inUse > 1)
            return false;               /* not the caller's to change */
        if (!n->down) {
            lspSetNil(n);
            continue;
        }
        if (n->type == LSP_T_LIST && listClean(n, 0))
            continue;
        body = copyChain(n->down, nullptr, COPY_NILEMPTY, 1);
        if (!body)
            return false;
        lspFreeTree(n->down);
        n->down = body;
        body->up = n;
        n->type = LSP_T_LIST;
        n->value.l = 0;
    }
    return true;
}

/* Releases the node, everything below it and everything after it in its
 * chain, without recursion.  A node still referred to elsewhere only
 * loses one reference, and the walk goes no further along it.  A node
 * whose elements must go first is parked on a stack threaded through its
 * own `prev` (it is about to be freed, so the field is free to use) and
 * taken up again, elements gone, when they are. */
void lspFreeTree(PLSPLIST start) noexcept
{
    PLSPLIST n, stack = nullptr, after, elements;
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
                n->down = nullptr;
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
        n->prev = nullptr;
    }
}

/* Cuts the chain after n and frees what followed. */
void lspFreeRest(PLSPLIST n)
{
    PLSPLIST rest;
    if (!n || !n->next)
        return;
    rest = n->next;
    n->next = nullptr;
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
        return nullptr;
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
        return nullptr;
    *chain = n->next;
    if (n->next) {
        if (n->next->inUse == 1) {
            n->next->prev = nullptr;
            n->next->up = n->up;
        }
        if (n->up)
            n->up->down = n->next;
    } else if (n->up) {
        n->up->down = nullptr;
    }
    n->next = nullptr;
    n->up = nullptr;
    n->prev = nullptr;
    return n;
}

}  // namespace orin::lsp
