/*
 * lsp_eval.c - the evaluator: nodes to values, calls by name, user
 * functions with dynamic scope, error handling and the text driver.
 *
 * Every call takes an error word and does nothing while it is non-zero.
 * A failing list evaluation runs "handle error" where the error surfaced:
 * the `*error*` function (when defined with defun) or the host's error
 * function gets the code, a traceback built from the call stack and the
 * last-error text, and decides whether the error stands, is cleared
 * (evaluation resumes with the handler's value in place of the failed
 * expression) or unwinds quietly (LSPERR_REPORTED).
 *
 * User functions bind their parameters by pushing symbol records and pop
 * them afterwards, also after an error, so scope is dynamic.  Parameters
 * after "/" are locals bound to nil; "&rest" binds the next name to a list
 * of all remaining arguments.
 *
 * Evaluation recurses on the machine stack.  The nesting of list
 * evaluations is counted per session and bounded by LSP_MAX_DEPTH: a
 * runaway recursion fails with LSPERR_NOMEM instead of overflowing.
 */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"

#define LSP_ERROR_HOOK   "*error*"
#define LSP_PARAM_LOCALS "/"
#define LSP_PARAM_REST   "&rest"

char lspLastErr[LSP_LASTERR_SIZE];
LSPSESSION *lspActive;
LSPERRORFUNC lspErrorFn;
LSPTRACEFUNC lspTraceFn = lspDefaultTrace;
ULONG lspTraceSwitch;
static BOOL inHandler;

int lspDefaultTrace(void *session, void *userData, const char *fn, PLSPLIST args,
                    unsigned int *error)
{
    return 1;
}

static void setLastErr(const char *text)
{
    size_t n = text ? strlen(text) : 0;
    if (n > LSP_LASTERR_SIZE - 1)
        n = LSP_LASTERR_SIZE - 1;
    if (text && text != lspLastErr)
        memmove(lspLastErr, text, n);
    lspLastErr[n] = 0;
}

unsigned int lspFail(unsigned int *err, unsigned int code, const char *text)
{
    if (*err == 0) {
        *err = code;
        setLastErr(text);
    }
    return *err;
}

unsigned int lspFailf(unsigned int *err, unsigned int code, const char *fmt, ...)
{
    char text[LSP_LASTERR_SIZE];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    return lspFail(err, code, text);
}

/* ---- call stack ---- */

static void pushCall(LSPSESSION *s, PLSPLIST list)
{
    if (s->depth >= LSP_CALLSTACK_MAX) {
        memmove(s->callStack, s->callStack + LSP_CALLSTACK_DROP,
                (LSP_CALLSTACK_MAX - LSP_CALLSTACK_DROP) * sizeof(PLSPLIST));
        s->depth = LSP_CALLSTACK_MAX - LSP_CALLSTACK_DROP;
    }
    s->callStack[s->depth++] = list;
}

static void popCall(LSPSESSION *s)
{
    if (s->depth)
        s->depth--;
}

/* ---- symbols and paths ---- */

static PLSPLIST copyValue(PLSPLIST value)
{
    if (!value->next)
        return lspChainCopy(value, NULL);
    return lspWrapChain(value);
}

static PLSPLIST evalSymbol(PLSPLIST node, unsigned int *err)
{
    const char *name = node->value.psz;
    LSPSYM *sym;
    USHORT reg, id;
    PLSPLIST r;

    if (strchr(name, ':'))
        return lspPathLookup(name, err);
    sym = lspSymFind(name);
    if (sym) {
        if (!sym->value) {
            lspFail(err, LSPERR_HANDLE, name);
            return NULL;
        }
        r = sym->kind == LSP_SYM_VAR ? copyValue(sym->value) : lspWrapChain(sym->value);
    } else if (lspModExists(name, &reg, &id)) {
        char ref[16];
        snprintf(ref, sizeof ref, "#%04X-%04X", reg, id);
        r = lspNewText(NULL, ref, LSP_T_SYMBOL);
    } else {
        r = lspNodeCopy(node);
    }
    if (!r)
        lspFail(err, LSPERR_NOMEM, "");
    return r;
}

/* The elements of an association list: the list's elements when the
 * chain is one list of lists, else the chain itself. */
static PLSPLIST assocEntries(PLSPLIST cur)
{
    if (cur && !cur->next && LSP_IS_LIST(cur) && cur->down && LSP_IS_LIST(cur->down))
        return cur->down;
    return cur;
}

static BOOL wellFormedEntry(PLSPLIST e)
{
    return LSP_IS_LIST(e) && e->down && e->down->type == LSP_T_SYMBOL && e->down->next;
}

/* Follows key after key through nested association lists.  Returns the
 * chain of the last entry's remaining elements, or NULL on a mismatch. */
static PLSPLIST followPath(PLSPLIST cur, const char *keys)
{
    char key[LSP_SYMNAME_MAX + 1];
    while (*keys) {
        const char *colon = strchr(keys, ':');
        size_t n = colon ? (size_t)(colon - keys) : strlen(keys);
        PLSPLIST e;
        if (n > LSP_SYMNAME_MAX)
            n = LSP_SYMNAME_MAX;
        memcpy(key, keys, n);
        key[n] = 0;
        for (e = assocEntries(cur); e; e = e->next) {
            if (!wellFormedEntry(e))
                return NULL;
            if (_stricmp(e->down->value.psz, key) == 0)
                break;
        }
        if (!e)
            return NULL;
        cur = e->down->next;
        keys = colon ? colon + 1 : keys + strlen(keys);
    }
    return cur;
}

PLSPLIST lspPathLookup(const char *path, unsigned int *err)
{
    char var[LSP_SYMNAME_MAX + 1];
    const char *colon = strchr(path, ':');
    size_t n = (size_t)(colon - path);
    LSPSYM *sym;
    PLSPLIST r, found;

    if (n > LSP_SYMNAME_MAX)
        n = LSP_SYMNAME_MAX;
    memcpy(var, path, n);
    var[n] = 0;
    sym = lspSymFind(var);
    if (!sym || sym->kind != LSP_SYM_VAR) {
        r = lspNewText(NULL, var, LSP_T_SYMBOL);
    } else if (!sym->value) {
        lspFail(err, LSPERR_HANDLE, var);
        return NULL;
    } else {
        found = followPath(sym->value, colon + 1);
        r = found ? copyValue(found) : lspNewNil(NULL);
    }
    if (!r)
        lspFail(err, LSPERR_NOMEM, "");
    return r;
}

/* ---- user functions ---- */

static BOOL paramsValid(PLSPLIST params)
{
    PLSPLIST p;
    if (!params || params->type == LSP_T_NIL)
        return TRUE;
    if (!LSP_IS_LIST(params))
        return FALSE;
    for (p = params->down; p; p = p->next)
        if (p->type != LSP_T_SYMBOL)
            return FALSE;
    return TRUE;
}

static void nilIfEmpty(PLSPLIST n)
{
    if (LSP_IS_LIST(n) && !n->down)
        lspSetNil(n);
}

/* Binds the parameters to the (owned) argument chain; frees what is left. */
static BOOL bindParams(PLSPLIST params, PLSPLIST args)
{
    enum { PLAIN, REST, LOCAL } mode = PLAIN;
    PLSPLIST p, v;
    BOOL ok = TRUE;

    for (p = LSP_IS_LIST(params) ? params->down : NULL; p && ok; p = p->next) {
        const char *name = p->value.psz;
        if (strcmp(name, LSP_PARAM_LOCALS) == 0) {
            mode = LOCAL;
            continue;
        }
        if (_stricmp(name, LSP_PARAM_REST) == 0 && mode == PLAIN) {
            mode = REST;
            continue;
        }
        if (mode == REST) {
            v = lspNewList(NULL);
            if (v && args) {
                lspAttach(v, args);
                args = NULL;
            }
            lspListClose(v);
            mode = LOCAL;
        } else if (mode == LOCAL || !args) {
            v = lspNewNil(NULL);
        } else {
            v = lspDetachFirst(&args);
        }
        if (v)
            nilIfEmpty(v);
        ok = v && lspSymBindOwned(name, v, LSP_SYM_VAR);
        if (!ok)
            lspFreeTree(v);
    }
    lspFreeTree(args);
    return ok;
}

static BOOL unbindParams(PLSPLIST params)
{
    PLSPLIST p;
    BOOL ok = TRUE;
    for (p = LSP_IS_LIST(params) ? params->down : NULL; p; p = p->next) {
        const char *name = p->value.psz;
        if (strcmp(name, LSP_PARAM_LOCALS) == 0 || _stricmp(name, LSP_PARAM_REST) == 0)
            continue;
        if (!lspSymUnbind(name))
            ok = FALSE;
    }
    return ok;
}

/* Calls a defun (arguments evaluated) or defmacro (passed as written). */
static PLSPLIST userCall(LSPSESSION *s, const char *name, PLSPLIST def, USHORT kind,
                         PLSPLIST args, unsigned int *err)
{
    PLSPLIST params, argv, form, result = NULL;

    if (!def) {
        lspFail(err, LSPERR_DEFINE, name);
        return NULL;
    }
    params = def;
    if (!paramsValid(params)) {
        lspFail(err, LSPERR_PARAMS, name);
        return NULL;
    }
    lspSymHold();
    if (kind == LSP_SYM_DEFUN) {
        argv = lspEvalArgs(s, args, err);
    } else {
        argv = args ? lspChainCopy(args, NULL) : NULL;
        if (args && !argv)
            lspFail(err, LSPERR_NOMEM, "");
    }
    if (*err) {
        lspFreeTree(argv);
        lspSymRelease();
        return NULL;
    }
    if (!bindParams(params, argv)) {
        lspFail(err, LSPERR_PARAMS, name);
    } else {
        for (form = def->next; form && !*err; form = form->next) {
            lspFreeTree(result);
            s->discardNext = form->next != NULL;   /* only the last value counts */
            result = lspEval(s, form, err);
        }
    }
    if (!unbindParams(params))
        lspFail(err, LSPERR_PARAMS, name);
    lspSymRelease();
    if (*err) {
        lspFreeTree(result);
        return NULL;
    }
    if (!result && !(result = lspNewNil(NULL)))
        lspFail(err, LSPERR_NOMEM, "");
    return result;
}

/* ---- evaluation ---- */

PLSPLIST lspEvalArgs(LSPSESSION *s, PLSPLIST chain, unsigned int *err)
{
    PLSPLIST first = NULL, last = NULL, v, n;
    for (n = chain; n && !*err; n = n->next) {
        v = lspEval(s, n, err);
        if (*err) {
            lspFreeTree(v);
            break;
        }
        if (!v) {
            lspFail(err, LSPERR_NOMEM, "");
            break;
        }
        lspFreeRest(v);            /* a value is one node */
        if (last)
            lspAttach(last, v);
        else
            first = v;
        last = v;
    }
    if (*err) {
        lspFreeTree(first);
        return NULL;
    }
    return first;
}

PLSPLIST lspCallByName(LSPSESSION *s, const char *name, PLSPLIST args, unsigned int *err)
{
    LSPSYM *sym;
    PLSPLIST r;
    BOOL found = FALSE;

    if (*err)
        return NULL;
    if (lspBreakPending()) {
        lspFail(err, LSPERR_BREAK, "");
        return NULL;
    }
    if (lspTraceSwitch && lspTraceFn) {
        if (!lspTraceFn(s, s->userData, name, args, err)) {
            lspFail(err, LSPERR_TRACESTOP, name);
            return NULL;
        }
        if (*err)
            return NULL;
    }
    sym = lspSymFind(name);
    if (sym && (sym->kind == LSP_SYM_DEFUN || sym->kind == LSP_SYM_MACRO))
        return userCall(s, name, sym->value, sym->kind, args, err);
    r = lspModCall(s, name, args, &found, err);
    if (!found && !*err)
        lspFail(err, LSPERR_UNKNOWNFN, name);
    return r;
}

PLSPLIST lspEval(LSPSESSION *s, PLSPLIST node, unsigned int *err)
{
    PLSPLIST head, r;
    BOOL discard = s->discardNext;

    s->discardNext = FALSE;
    if (!node || *err)
        return NULL;
    switch (node->type) {
    case LSP_T_SYMBOL:
        return evalSymbol(node, err);
    case LSP_T_LIST:
    case LSP_T_OPENLIST:
        break;
    default:
        r = lspNodeCopy(node);
        if (!r)
            lspFail(err, LSPERR_NOMEM, "");
        return r;
    }
    head = node->down;
    if (!head) {
        r = lspNewNil(NULL);
        if (!r)
            lspFail(err, LSPERR_NOMEM, "");
        return r;
    }
    pushCall(s, node);
    if (head->type != LSP_T_SYMBOL) {
        lspFail(err, LSPERR_NOTSYMBOL, lspNodeText(head));
        r = lspHandleError(s, err);
        popCall(s);
        return r;
    }
    if (s->evalDepth >= LSP_MAX_DEPTH) {
        lspFail(err, LSPERR_NOMEM, "nesting too deep");
        r = NULL;
    } else {
        s->evalDepth++;
        s->callDiscard = discard;
        r = lspCallByName(s, head->value.psz, head->next, err);
        s->evalDepth--;
    }
    if (*err) {
        lspFreeTree(r);
        r = lspHandleError(s, err);
    }
    popCall(s);
    return r;
}

/* ---- errors ---- */

static char *buildTraceback(LSPSESSION *s)
{
    size_t size = (size_t)s->bufferSize, len = 0;
    char *tb = (char*)lspMalloc(size ? size : 1);
    ULONGLONG i;
    if (!tb)
        return NULL;
    tb[0] = 0;
    for (i = s->depth; i > 0 && len + 1 < size; i--) {
        if (len) {
            tb[len++] = '\n';
            tb[len] = 0;
        }
        len += lspPrint(s->callStack[i - 1], tb + len, size - len);
    }
    return tb;
}

static PLSPLIST callErrorHook(LSPSESSION *s, LSPSYM *hook, const char *tb, const char *msg,
                              unsigned int *err)
{
    unsigned int code = *err, hookErr = 0;
    PLSPLIST args, v;

    args = lspNewLong(NULL, (LONG)(code - LSPERR_BASE));
    if (!args || !lspNewText(args, tb, LSP_T_STRING) ||
        !lspNewText(args->next, msg, LSP_T_STRING)) {
        lspFreeTree(args);
        return NULL;
    }
    inHandler = TRUE;
    v = userCall(s, LSP_ERROR_HOOK, hook->value, LSP_SYM_DEFUN, args, &hookErr);
    inHandler = FALSE;
    lspFreeTree(args);
    if (hookErr) {
        lspFreeTree(v);
        *err = hookErr == LSPERR_INHANDLER ? hookErr : LSPERR_INHANDLER;
        return NULL;
    }
    if (v) {
        unsigned long n = strtoul(lspNodeText(v), NULL, 10);
        *err = n ? (unsigned int)(LSPERR_BASE + n) : 0;
    } else {
        *err = code;
    }
    return v;
}

PLSPLIST lspHandleError(LSPSESSION *s, unsigned int *err)
{
    char msg[LSP_LASTERR_SIZE];
    char *tb;
    LSPSYM *hook;
    PLSPLIST v = NULL;

    if (*err == 0 || *err == LSPERR_REPORTED)
        return NULL;
    if (inHandler) {
        *err = LSPERR_INHANDLER;
        return NULL;
    }
    strcpy(msg, lspLastErr);
    tb = buildTraceback(s);
    hook = lspSymFind(LSP_ERROR_HOOK);
    if (hook && hook->kind == LSP_SYM_DEFUN) {
        v = callErrorHook(s, hook, tb ? tb : "", msg, err);
    } else if (lspErrorFn) {
        *err = lspErrorFn(s, *err, tb ? tb : "", msg);
        v = lspNewLong(NULL, (LONG)*err);
    }
    lspMemFree(tb);
    if (!v && !(v = lspNewNil(NULL)))
        *err = LSPERR_NOMEM;
    return v;
}

/* ---- the text driver ---- */

static void printResult(PLSPLIST v, char *out, size_t size)
{
    if (!v) {
        out[0] = 0;
    } else if (v->type == LSP_T_STRING) {
        size_t n = strlen(v->value.psz);
        if (n >= size)
            n = size - 1;
        memcpy(out, v->value.psz, n);
        out[n] = 0;
    } else {
        lspPrint(v, out, size);
    }
}

void lspEvalText(LSPSESSION *s, char *text, unsigned int *err)
{
    size_t size = (size_t)s->bufferSize;
    char *work = (char*)lspMalloc(size ? size : 1), *res = (char*)lspMalloc(size ? size : 1), *src = text;
    PLSPLIST chain, v;

    if (!work || !res || !size) {
        lspMemFree(work);
        lspMemFree(res);
        lspFail(err, LSPERR_NOMEM, "");
        return;
    }
    res[0] = 0;
    while (*src) {
        lspSplitExpr(s, &src, work, size);
        if (*err || !work[0])
            continue;
        chain = lspParseText(s, work, err);
        if (*err) {
            lspFreeTree(lspHandleError(s, err));
            continue;
        }
        if (!chain) {
            res[0] = 0;
            continue;
        }
        v = lspEval(s, chain, err);
        lspFreeTree(chain);
        printResult(v, res, size);
        lspFreeTree(v);
    }
    strcpy(text, res);
    lspMemFree(work);
    lspMemFree(res);
}
