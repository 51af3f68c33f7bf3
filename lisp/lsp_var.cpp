/*
 * lsp_var.c - assignment along a path "var:key1:key2" inside the
 * association list held by var.
 *
 * An association list is a list of entries (key value...).  Setting
 * var:k1:k2 to v rebuilds var's list: the entry k1 keeps its place (or is
 * appended when missing) and its elements after the key become the
 * association list of the next level, in which k2 is set the same way;
 * at the last key the entry becomes (key v).  The rebuilt list is then
 * assigned to var.  Entries that are not (symbol ...) lists are kept as
 * they are.
 */
#include <string.h>
#include "lisp/lspint.h"

/* Builds into `list` (open) the entries of `entries` with `keys` set. */
static BOOL setEntries(PLSPLIST list, PLSPLIST entries, const char *keys, PLSPLIST value,
                       int depth);

static BOOL buildEntry(PLSPLIST list, PLSPLIST *last, const char *key, size_t keyLen,
                       PLSPLIST oldRest, const char *moreKeys, PLSPLIST value, int depth)
{
    char name[LSP_SYMNAME_MAX + 1];
    PLSPLIST entry, sym, tail;

    if (keyLen > LSP_SYMNAME_MAX)
        keyLen = LSP_SYMNAME_MAX;
    memcpy(name, key, keyLen);
    name[keyLen] = 0;
    entry = lspNewList(NULL);
    sym = entry ? lspNewText(entry, name, LSP_T_SYMBOL) : NULL;
    if (!sym) {
        lspFreeTree(entry);
        return FALSE;
    }
    if (moreKeys) {
        /* the rest of this entry is the next level's association list */
        PLSPLIST sub = lspNewList(NULL);
        if (!sub || !setEntries(sub, oldRest, moreKeys, value, depth + 1)) {
            lspFreeTree(sub);
            lspFreeTree(entry);
            return FALSE;
        }
        if (sub->down) {
            PLSPLIST chain = sub->down;
            sub->down = NULL;
            chain->up = NULL;
            sym->next = chain;
            chain->prev = sym;
        }
        lspNodeFree(sub);
    } else {
        tail = lspTreeCopy(value);
        if (!tail || !lspAttach(sym, tail)) {
            lspFreeTree(tail);
            lspFreeTree(entry);
            return FALSE;
        }
    }
    lspListClose(entry);
    lspAttach(*last ? *last : list, entry);
    *last = entry;
    return TRUE;
}

static BOOL setEntries(PLSPLIST list, PLSPLIST entries, const char *keys, PLSPLIST value,
                       int depth)
{
    const char *colon = strchr(keys, ':');
    size_t keyLen = colon ? (size_t)(colon - keys) : strlen(keys);
    const char *more = colon ? colon + 1 : NULL;
    PLSPLIST e, last = NULL, c;
    BOOL done = FALSE;

    if (depth > LSP_MAX_DEPTH)
        return FALSE;
    if (entries && !entries->next && LSP_IS_LIST(entries) && entries->down &&
        LSP_IS_LIST(entries->down))
        entries = entries->down;        /* a single list holding the entries */
    if (entries && !entries->next && entries->type == LSP_T_NIL)
        entries = NULL;                 /* nil: no entries yet */
    for (e = entries; e; e = e->next) {
        BOOL match = !done && LSP_IS_LIST(e) && e->down && LSP_IS_TEXT(e->down) &&
                     strlen(e->down->value.psz) == keyLen &&
                     _strnicmp(e->down->value.psz, keys, keyLen) == 0;
        if (match) {
            if (!buildEntry(list, &last, keys, keyLen, e->down->next, more, value, depth))
                return FALSE;
            done = TRUE;
            continue;
        }
        c = lspTreeCopy(e);
        if (!c)
            return FALSE;
        lspAttach(last ? last : list, c);
        last = c;
    }
    if (!done)
        return buildEntry(list, &last, keys, keyLen, NULL, more, value, depth);
    return TRUE;
}

BOOL lspPathAssign(const char *path, PLSPLIST value, unsigned int *err)
{
    char var[LSP_SYMNAME_MAX + 1];
    const char *colon = strchr(path, ':');
    size_t n = (size_t)(colon - path);
    LSPSYM *sym;
    PLSPLIST list;
    BOOL ok;

    if (n > LSP_SYMNAME_MAX)
        n = LSP_SYMNAME_MAX;
    memcpy(var, path, n);
    var[n] = 0;
    sym = lspSymFind(var);
    if (sym && (sym->kind != LSP_SYM_VAR || !sym->value)) {
        lspFail(err, LSPERR_ASSIGN, var);
        return FALSE;
    }
    list = lspNewList(NULL);
    ok = list && setEntries(list, sym ? sym->value : NULL, colon + 1, value, 0);
    if (ok) {
        lspListClose(list);
        ok = lspSymAssign(var, list);
    }
    lspFreeTree(list);
    if (!ok)
        lspFail(err, LSPERR_ASSIGN, var);
    return ok;
}
