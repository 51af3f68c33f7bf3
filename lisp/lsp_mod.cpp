/*
 * lsp_mod.c - module registrations: tables of functions that a module
 * (the builtins, or the host) serves through one dispatcher function.
 *
 * Registrations form a process-wide list, newest first, so a later
 * registration shadows an earlier one of the same name.  Each keeps its
 * own copy of the descriptor table, sorted by name without regard to case
 * once at registration, so every lookup is a binary search; the names are
 * kept lowered beside it, so the search compares plain bytes against a
 * name lowered once per lookup.  Registration
 * numbers count from 1 for the oldest; a function reference "#XXXX-YYYY"
 * names registration XXXX and function id YYYY directly.
 *
 * A dispatcher that returns NULL without setting an error declines the
 * call, and the search goes on with older registrations.
 *
 * The builtins take their arguments as they are, lists sharing elements
 * with variables included.  A host's function gets a private copy in
 * which every back link holds and nothing it changes can reach a
 * variable.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"
#include "knl.h"

#define LSP_FUNCREF_LEN   10     /* "#XXXX-YYYY" */
#define LSP_FUNCREF_DASH  5

static LSPMODREG *modHead;       /* newest */

static BYTE foldAscii(BYTE c)
{
    return c >= 'A' && c <= 'Z' ? (BYTE)(c + ('a' - 'A')) : c;
}

/* A name lowered as the table order sees it (ASCII letters only),
 * truncated to the longest name a table holds. */
static void lowerKey(const char *name, char *out)
{
    size_t i;
    for (i = 0; name[i] && i < LSP_MODFUNC_NAME - 1; i++)
        out[i] = (char)foldAscii((BYTE)name[i]);
    out[i] = 0;
}

/* Orders names without regard to the case of ASCII letters; other bytes
 * compare by value.  Sorting and searching use the same order. */
static int __cdecl compareDesc(const void *a, const void *b)
{
    const BYTE *x = (const BYTE *)((const LSPMODFUNCDESC *)a)->name;
    const BYTE *y = (const BYTE *)((const LSPMODFUNCDESC *)b)->name;
    for (;; x++, y++) {
        int cx = foldAscii(*x), cy = foldAscii(*y);
        if (cx != cy || !cx)
            return cx - cy;
    }
}

USHORT lspModRegister(USHORT count, const LSPMODFUNCDESC *table, LSPMODFUNC fn,
                      BOOL builtin)
{
    LSPMODREG *r;
    USHORT i;
    if (!count || !table)
        return ORIN_ERR_GENERAL;
    r = (LSPMODREG*)lspCalloc(1, sizeof *r);
    if (!r)
        return LSPERR_NOMEM;
    r->table = (LSPMODFUNCDESC*)lspMalloc(count * sizeof *table);
    r->lower = (char (*)[56])lspMalloc(count * sizeof *r->lower);
    if (!r->table || !r->lower) {
        lspMemFree(r->table);
        lspMemFree(r->lower);
        lspMemFree(r);
        return LSPERR_NOMEM;
    }
    memcpy(r->table, table, count * sizeof *table);
    for (i = 0; i < count; i++)
        r->table[i].name[LSP_MODFUNC_NAME - 1] = 0;
    KnlQSort(r->table, count, sizeof *table, compareDesc);
    for (i = 0; i < count; i++)
        lowerKey(r->table[i].name, r->lower[i]);
    r->count = count;
    r->fn = fn;
    r->builtin = builtin;
    r->next = modHead;
    modHead = r;
    return 0;
}

USHORT lspModUnregister(LSPMODFUNC fn)
{
    LSPMODREG **pp = &modHead, *r;
    while ((r = *pp) != NULL) {
        if (r->fn == fn) {
            *pp = r->next;
            lspMemFree(r->table);
            lspMemFree(r->lower);
            lspMemFree(r);
        } else {
            pp = &r->next;
        }
    }
    return 0;
}

void lspModClear(void)
{
    while (modHead) {
        LSPMODREG *r = modHead;
        modHead = r->next;
        lspMemFree(r->table);
        lspMemFree(r->lower);
        lspMemFree(r);
    }
}

static USHORT regNumber(const LSPMODREG *target)
{
    USHORT total = 0, pos = 0;
    const LSPMODREG *r;
    for (r = modHead; r; r = r->next) {
        total++;
        if (r == target)
            pos = total;
    }
    return (USHORT)(total - pos + 1);
}

/* Binary search of one registration for a lowered name (lowerKey). */
static LSPMODFUNCDESC *searchTable(const LSPMODREG *r, const char *low)
{
    int lo = 0, hi = (int)r->count - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2, c = strcmp(low, r->lower[mid]);
        if (c == 0)
            return &r->table[mid];
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return NULL;
}

static int hexValue(const char *p, int digits)
{
    int v = 0, i;
    for (i = 0; i < digits; i++) {
        char c = p[i];
        v <<= 4;
        if (c >= '0' && c <= '9') v |= c - '0';
        else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
        else return -1;
    }
    return v;
}

/* Resolves "#XXXX-YYYY"; FALSE when the name is no reference or names
 * nothing registered. */
static BOOL resolveRef(const char *name, LSPMODREG **reg, LSPMODFUNCDESC **desc)
{
    int regNo, id;
    LSPMODREG *r;
    USHORT i;
    if (name[0] != '#' || strlen(name) != LSP_FUNCREF_LEN || name[LSP_FUNCREF_DASH] != '-')
        return FALSE;
    regNo = hexValue(name + 1, 4);
    id = hexValue(name + LSP_FUNCREF_DASH + 1, 4);
    if (regNo < 1 || id < 0)
        return FALSE;
    for (r = modHead; r; r = r->next) {
        if (regNumber(r) != regNo)
            continue;
        for (i = 0; i < r->count; i++) {
            if (r->table[i].id == id) {
                *reg = r;
                *desc = &r->table[i];
                return TRUE;
            }
        }
    }
    return FALSE;
}

BOOL lspModExists(const char *name, USHORT *regNo, USHORT *id)
{
    char low[LSP_MODFUNC_NAME];
    LSPMODREG *r;
    LSPMODFUNCDESC *d;
    if (resolveRef(name, &r, &d)) {
        *regNo = regNumber(r);
        *id = d->id;
        return TRUE;
    }
    lowerKey(name, low);
    for (r = modHead; r; r = r->next) {
        if ((d = searchTable(r, low)) != NULL) {
            *regNo = regNumber(r);
            *id = d->id;
            return TRUE;
        }
    }
    return FALSE;
}

static BOOL arityOk(const LSPMODFUNCDESC *d, PLSPLIST args, unsigned int *err)
{
    ULONG count;
    if (d->minArgs == 0 && d->maxArgs == LSP_ARGS_NOMAX)
        return TRUE;
    if (d->minArgs == 1 && d->maxArgs == LSP_ARGS_NOMAX) {
        if (!args) {
            lspFail(err, LSPERR_TOOFEW, "0 instead of 1");
            return FALSE;
        }
        return TRUE;
    }
    count = lspCountChain(args);
    if (count < d->minArgs) {
        lspFailf(err, LSPERR_TOOFEW, "%lu instead of %u", (unsigned long)count, d->minArgs);
        return FALSE;
    }
    if (d->maxArgs != LSP_ARGS_NOMAX && count > d->maxArgs) {
        lspFailf(err, LSPERR_TOOMANY, "%lu instead of %u", (unsigned long)count, d->maxArgs);
        return FALSE;
    }
    return TRUE;
}

/* TRUE when n is one of the nodes of chain or lies below one of them. */
static BOOL chainHolds(PLSPLIST chain, PLSPLIST n, int depth)
{
    for (; chain; chain = chain->next) {
        if (chain == n)
            return TRUE;
        if (chain->down && depth < LSP_MAX_DEPTH && chainHolds(chain->down, n, depth + 1))
            return TRUE;
    }
    return FALSE;
}

/* Calls a host's function on a private copy of the arguments.  A host may
 * hand back (part of) what it was given; such a result gets nodes of its
 * own before the copy goes. */
static PLSPLIST callHost(LSPSESSION *s, LSPMODREG *r, LSPMODFUNCDESC *d, PLSPLIST argv,
                         unsigned int *err)
{
    PLSPLIST own = lspChainCopyPrivate(argv), result;
    if (!own) {
        lspFail(err, LSPERR_NOMEM, "");
        return NULL;
    }
    result = r->fn(s, s->userData, d->id, own, err);
    if (result && chainHolds(own, result, 0)) {
        result = lspChainCopyPrivate(result);
        if (!result)
            lspFail(err, LSPERR_NOMEM, "");
    }
    lspFreeTree(own);
    return result;
}

/* Calls one descriptor; evaluated arguments are made once and reused if
 * the call is declined and an older registration takes it. */
static PLSPLIST callDesc(LSPSESSION *s, LSPMODREG *r, LSPMODFUNCDESC *d, PLSPLIST args,
                         PLSPLIST *evaluated, BOOL *haveEvaluated, unsigned int *err)
{
    PLSPLIST argv = args;
    BOOL discard = s->callDiscard;     /* argument evaluation resets it */
    if (!arityOk(d, args, err))
        return NULL;
    if (!(d->flags & LSP_MF_SPECIAL)) {
        if (!*haveEvaluated) {
            *evaluated = lspEvalArgs(s, args, err);
            *haveEvaluated = TRUE;
            if (*err)
                return NULL;
        }
        argv = *evaluated;
    }
    s->callDiscard = discard;
    if (!r->builtin && argv)
        return callHost(s, r, d, argv, err);
    return r->fn(s, s->userData, d->id, argv, err);
}

PLSPLIST lspModCall(LSPSESSION *s, const char *name, PLSPLIST args, BOOL *found,
                    unsigned int *err)
{
    char low[LSP_MODFUNC_NAME];
    LSPMODREG *r;
    LSPMODFUNCDESC *d;
    PLSPLIST result = NULL, evaluated = NULL;
    BOOL haveEvaluated = FALSE;

    *found = FALSE;
    if (resolveRef(name, &r, &d)) {
        result = callDesc(s, r, d, args, &evaluated, &haveEvaluated, err);
        *found = result || *err;
    } else {
        lowerKey(name, low);
        for (r = modHead; r && !*found && !*err; r = r->next) {
            if ((d = searchTable(r, low)) == NULL)
                continue;
            result = callDesc(s, r, d, args, &evaluated, &haveEvaluated, err);
            *found = result || *err;
        }
    }
    lspFreeTree(evaluated);
    return result;
}
