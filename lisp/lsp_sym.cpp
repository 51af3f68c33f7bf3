/*
 * lsp_sym.c - the symbol table: variables and user functions.
 *
 * One process-wide doubly linked list of records, newest at the head.
 * Names are stored in lower case and compared byte-wise after the name
 * looked for is lowered the same way, so lookup ignores case.  Several
 * records may carry the same name; the newest one wins.  Binding a
 * parameter pushes a record, unbinding pops the newest of that name,
 * which is how dynamic scope works.
 *
 * A record owns a copy of its value chain; every empty list in the copy
 * becomes nil, so no record ever holds an empty list node.  Copies share
 * the elements of lists with the original (lsp_node.c), so binding and
 * reading a long list cost the same as a short one.
 *
 * Lookup goes through a hash index beside the list: each bucket chains its
 * records newest first, so the first match in a bucket is the newest
 * record of that name, as a walk of the whole list would find it.  The
 * index matters because every call of a builtin looks its name up here
 * first, behind all the parameters bound by the calls in progress.
 *
 * A running user function walks its definition chain in place.  If the
 * function is redefined or unbound while it runs, the old chain must stay
 * valid, so replaced values are parked in a graveyard while any user call
 * holds the table (lspSymHold) and freed when the last one lets go.
 */
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"
#include "str.h"

#define LSP_SYMREC_BYTES 34      /* accounted size of one record */
#define LSP_SYM_BUCKETS  256      /* hash index size, a power of two */

typedef struct _LSPGRAVE {
    struct _LSPGRAVE *next;
    PLSPLIST chain;
} LSPGRAVE;

static LSPSYM *symHead;          /* newest */
static LSPGRAVE *graveyard;
static ULONG holds;
static LSPSYM *symTail;          /* oldest */
static LSPSYM *buckets[LSP_SYM_BUCKETS];

/* FNV-1a over a lower-case name, folded to a bucket. */
static unsigned bucketOf(const char *low)
{
    unsigned h = 2166136261u;
    for (; *low; low++)
        h = (h ^ (BYTE)*low) * 16777619u;
    return h & (LSP_SYM_BUCKETS - 1);
}

/* Lower-cases a name into out (LSP_SYMNAME_MAX + 1 bytes), truncated to
 * LSP_SYMNAME_MAX bytes. */
void lspLowerName(const char *name, char *out)
{
    size_t n;
    BOOL ascii = TRUE;
    for (n = 0; name[n] && n < LSP_SYMNAME_MAX; n++) {
        char c = name[n];
        if ((BYTE)c >= 0x80)
            ascii = FALSE;
        out[n] = c >= 'A' && c <= 'Z' ? (char)(c + ('a' - 'A')) : c;
    }
    out[n] = 0;
    if (!ascii) {                 /* the string family knows the code page */
        memcpy(out, name, n);
        StrLwr(out);
    }
}

LSPSYM *lspSymNewest(void)
{
    return symHead;
}

LSPSYM *lspSymFind(const char *name)
{
    char low[LSP_SYMNAME_MAX + 1];
    LSPSYM *s;
    lspLowerName(name, low);
    for (s = buckets[bucketOf(low)]; s; s = s->sameHash)
        if (strcmp(s->name, low) == 0)
            return s;
    return NULL;
}

/* Pushes a record that takes over `owned` (already a private copy).  The
 * record and its name are one heap block. */
BOOL lspSymBindOwned(const char *name, PLSPLIST owned, USHORT kind)
{
    char low[LSP_SYMNAME_MAX + 1];
    size_t len;
    LSPSYM *s;
    unsigned b;

    lspLowerName(name, low);
    len = strlen(low);
    s = (LSPSYM*)lspMalloc(sizeof *s + len + 1);
    if (!s)
        return FALSE;
    memset(s, 0, sizeof *s);
    s->name = (char *)(s + 1);
    memcpy(s->name, low, len + 1);
    s->value = owned;
    s->kind = kind;
    s->older = symHead;
    if (symHead)
        symHead->newer = s;
    symHead = s;
    if (!symTail)
        symTail = s;
    b = bucketOf(low);
    s->sameHash = buckets[b];
    buckets[b] = s;
    return TRUE;
}

/* Frees a value that a running call may still walk. */
static void retireValue(PLSPLIST chain, USHORT kind)
{
    LSPGRAVE *g;
    if (!chain)
        return;
    if (holds && kind != LSP_SYM_VAR) {
        /* without memory to park it the chain is leaked, never freed
         * under a running call */
        g = (LSPGRAVE*)lspMalloc(sizeof *g);
        if (g) {
            g->chain = chain;
            g->next = graveyard;
            graveyard = g;
        }
        return;
    }
    lspFreeTree(chain);   /* variables are only ever read by copying */
}

void lspSymHold(void)
{
    holds++;
}

void lspSymRelease(void)
{
    if (holds && --holds == 0) {
        while (graveyard) {
            LSPGRAVE *g = graveyard;
            graveyard = g->next;
            lspFreeTree(g->chain);
            lspMemFree(g);
        }
    }
}

static BOOL copyValue(PLSPLIST chain, PLSPLIST *out)
{
    *out = NULL;
    if (!chain)
        return TRUE;
    *out = lspChainCopyNilEmpty(chain, NULL);
    return *out != NULL;
}

BOOL lspSymBind(const char *name, PLSPLIST chain, USHORT kind)
{
    PLSPLIST copy;
    if (!copyValue(chain, &copy))
        return FALSE;
    if (!lspSymBindOwned(name, copy, kind)) {
        lspFreeTree(copy);
        return FALSE;
    }
    return TRUE;
}

BOOL lspSymDefine(const char *name, PLSPLIST chain, USHORT kind)
{
    LSPSYM *s = lspSymFind(name);
    PLSPLIST copy;
    if (!s)
        return lspSymBind(name, chain, kind);
    if (!copyValue(chain, &copy))
        return FALSE;
    retireValue(s->value, s->kind);
    s->value = copy;
    s->kind = kind;
    return TRUE;
}

/* Assigns a chain the caller hands over (no copy); on failure the chain
 * is freed. */
BOOL lspSymAssignOwned(const char *name, PLSPLIST owned)
{
    LSPSYM *s;
    if (!lspNilEmptyOwned(owned)) {
        lspFreeTree(owned);
        return FALSE;
    }
    s = lspSymFind(name);
    if (!s) {
        if (lspSymBindOwned(name, owned, LSP_SYM_VAR))
            return TRUE;
        lspFreeTree(owned);
        return FALSE;
    }
    retireValue(s->value, s->kind);
    s->value = owned;
    s->kind = LSP_SYM_VAR;
    return TRUE;
}

BOOL lspSymAssign(const char *name, PLSPLIST chain)
{
    return lspSymDefine(name, chain, LSP_SYM_VAR);
}

static void unlinkRecord(LSPSYM *s)
{
    LSPSYM **pp = &buckets[bucketOf(s->name)];
    while (*pp != s)
        pp = &(*pp)->sameHash;
    *pp = s->sameHash;
    if (s->newer) s->newer->older = s->older; else symHead = s->older;
    if (s->older) s->older->newer = s->newer; else symTail = s->newer;
    retireValue(s->value, s->kind);
    lspMemFree(s);
}

BOOL lspSymUnbind(const char *name)
{
    LSPSYM *s = lspSymFind(name);
    if (!s)
        return FALSE;
    unlinkRecord(s);
    return TRUE;
}

void lspSymClear(void)
{
    while (symHead)
        unlinkRecord(symHead);
}

ULONGLONG lspSymMemUsed(void)
{
    ULONGLONG total = 0;
    LSPSYM *s;
    for (s = symHead; s; s = s->older)
        total += LSP_SYMREC_BYTES + strlen(s->name) + 1;
    return total;
}
