/*
 * lsp_var.cpp - assignment along a path "var:key1:key2" inside the
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
#include <cstring>
#include "lisp/lspint.h"

namespace orin::lsp {

namespace {

/* Builds into `list` (open) the entries of `entries` with `keys` set. */
bool setEntries(PLSPLIST list, PLSPLIST entries, const char *keys, PLSPLIST value, int depth);

bool buildEntry(PLSPLIST list, PLSPLIST *last, const char *key, size_t keyLen,
                PLSPLIST oldRest, const char *moreKeys, PLSPLIST value, int depth)
{
    char name[kSymNameMax + 1];
    if (keyLen > kSymNameMax)
        keyLen = kSymNameMax;
    memcpy(name, key, keyLen);
    name[keyLen] = 0;
    Tree entry(lspNewList(nullptr));
    PLSPLIST sym = entry ? lspNewText(entry.get(), name, LSP_T_SYMBOL) : nullptr;
    if (!sym)
        return false;
    if (moreKeys) {
        /* the rest of this entry is the next level's association list */
        Tree sub(lspNewList(nullptr));
        if (!sub || !setEntries(sub.get(), oldRest, moreKeys, value, depth + 1))
            return false;
        if (PLSPLIST chain = sub->down) {
            sub->down = nullptr;
            chain->up = nullptr;
            sym->next = chain;
            chain->prev = sym;
        }
    } else {
        Tree tail(lspTreeCopy(value));
        if (!tail || !lspAttach(sym, tail.get()))
            return false;
        tail.release();
    }
    lspListClose(entry.get());
    lspAttach(*last ? *last : list, entry.get());
    *last = entry.release();
    return true;
}

bool setEntries(PLSPLIST list, PLSPLIST entries, const char *keys, PLSPLIST value, int depth)
{
    const char *colon = strchr(keys, ':');
    size_t keyLen = colon ? (size_t)(colon - keys) : strlen(keys);
    const char *more = colon ? colon + 1 : nullptr;
    PLSPLIST e, last = nullptr, c;
    bool done = false;

    if (depth > kMaxDepth)
        return false;
    if (entries && !entries->next && isList(entries) && entries->down &&
        isList(entries->down))
        entries = entries->down;        /* a single list holding the entries */
    if (entries && !entries->next && entries->type == LSP_T_NIL)
        entries = nullptr;                 /* nil: no entries yet */
    for (e = entries; e; e = e->next) {
        bool match = !done && isList(e) && e->down && isText(e->down) &&
                     strlen(e->down->value.psz) == keyLen &&
                     _strnicmp(e->down->value.psz, keys, keyLen) == 0;
        if (match) {
            if (!buildEntry(list, &last, keys, keyLen, e->down->next, more, value, depth))
                return false;
            done = true;
            continue;
        }
        c = lspTreeCopy(e);
        if (!c)
            return false;
        lspAttach(last ? last : list, c);
        last = c;
    }
    if (!done)
        return buildEntry(list, &last, keys, keyLen, nullptr, more, value, depth);
    return true;
}

}  // namespace

bool lspPathAssign(const char *path, PLSPLIST value, unsigned int *err)
{
    char var[kSymNameMax + 1];
    const char *colon = strchr(path, ':');
    size_t n = static_cast<size_t>(colon - path);

    if (n > kSymNameMax)
        n = kSymNameMax;
    memcpy(var, path, n);
    var[n] = 0;
    LSPSYM *sym = lspSymFind(var);
    if (sym && (sym->kind != LSP_SYM_VAR || !sym->value)) {
        lspFail(err, LSPERR_ASSIGN, var);
        return false;
    }
    /* only memory (or keys nested beyond kMaxDepth) can stop the rest */
    Tree list(lspNewList(nullptr));
    if (!list || !setEntries(list.get(), sym ? sym->value : nullptr, colon + 1, value, 0)) {
        lspFailNoMem(err);
        return false;
    }
    lspListClose(list.get());
    if (!lspSymAssign(var, list.get())) {
        lspFailNoMem(err);
        return false;
    }
    return true;
}

}  // namespace orin::lsp
