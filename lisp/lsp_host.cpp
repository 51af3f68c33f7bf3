/*
 * lsp_host.c - the exported host interface: sessions, evaluation of
 * source text, callbacks, module functions, result and argument nodes,
 * and variables set from outside.
 *
 * A session is a small record (buffer size, host pointer, call stack);
 * the node pool, the symbol table, the module registrations, the reader
 * state, the last-error text and the callbacks are process-wide, so a
 * second session shares them and ending either clears them for both.
 * Starting a session registers the builtin tables and evaluates the
 * prelude, which defines t, prog1, the c...r compositions, m-eval and
 * cond in Lisp.
 */
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"

#define LSP_END_HOOK "*endsession*"

static const char prelude[] =
    "(progn\t(setq t (not nil))\t(defun prog1 (p) p)\t(defun caar (x) (car (car x)))\t"
    "(defun cadr (x) (car (cdr x)))\t(defun cdar (x) (cdr (car x)))\t"
    "(defun cddr (x) (cdr (cdr x)))\t(defun caaar (x) (car (car (car x))))\t"
    "(defun cadar (x) (car (cdr (car x))))\t(defun cdaar (x) (cdr (car (car x))))\t"
    "(defun cddar (x) (cdr (cdr (car x))))\t(defun caadr (x) (car (car (cdr x))))\t"
    "(defun caddr (x) (car (cdr (cdr x))))\t(defun cdadr (x) (cdr (car (cdr x))))\t"
    "(defun cdddr (x) (cdr (cdr (cdr x))))  (defun m-eval (expr) (if (typep expr 'string) expr (eval expr)))\t"
    "(defmacro cond (&rest p / todo res) (setq todo p) (setq res nil)\t"
    "\t(while todo (setq res (eval (caar todo))) (if res (progn (if\t"
    "\t(cadar todo) (setq res (m-eval (cadar todo)))) (setq todo nil))\t"
    "\t(setq todo (cdr todo)))) res))";

/* ---- sessions ---- */

static void evalIntoBuffer(LSPSESSION *s, const char *text, char *work, unsigned int *err)
{
    size_t n = strlen(text), size = (size_t)s->bufferSize;
    if (n > size - 1)
        n = size - 1;
    memcpy(work, text, n);
    work[n] = 0;
    lspEvalText(s, work, err);
}

HLSPSESSION ORINAPI LspSessionStart(unsigned short bufferSize, void *userData) noexcept
{
    LSPSESSION *s;
    char *work;
    unsigned int err = 0;

    if (!bufferSize)
        return NULL;
    s = (LSPSESSION*)lspCalloc(1, sizeof *s);
    if (!s)
        return NULL;
    s->bufferSize = bufferSize;
    s->userData = userData;
    lspBuiltinsRegister();
    lspActive = s;
    work = (char*)lspMalloc(bufferSize);
    if (work) {
        evalIntoBuffer(s, prelude, work, &err);
        lspMemFree(work);
    }
    s->depth = 0;
    s->evalDepth = 0;
    return s;
}

USHORT ORINAPI LspSessionEnd(HLSPSESSION session) noexcept
{
    LSPSESSION *s = (LSPSESSION*)session;
    LSPSYM *hook;
    if (!s)
        return LSPERR_HANDLE;
    hook = lspSymFind(LSP_END_HOOK);
    if (hook && hook->kind == LSP_SYM_DEFUN) {
        unsigned int err = 0;
        lspFreeTree(lspCallByName(s, LSP_END_HOOK, NULL, &err));
    }
    lspSymClear();
    lspBuiltinsUnregister();
    lspModClear();
    lspTraceFn = lspDefaultTrace;
    lspErrorFn = NULL;
    lspReaderReset();
    lspMemFree(s);
    if (lspActive == s)
        lspActive = NULL;
    return 0;
}

USHORT ORINAPI LspParseExpressions(HLSPSESSION session, const char *text, char *result,
                                   unsigned short resultSize, void *userData) noexcept
{
    LSPSESSION *s = (LSPSESSION*)session;
    void *savedUser;
    char *work;
    unsigned int err = 0;
    size_t len;

    if (!s)
        return LSPERR_HANDLE;
    if (!text || !*text) {
        if (result && resultSize)
            result[0] = 0;
        return 0;
    }
    lspActive = s;
    work = (char*)lspMalloc((size_t)s->bufferSize);
    if (!work)
        return LSPERR_NOMEM;
    savedUser = s->userData;
    if (userData)
        s->userData = userData;
    len = strlen(text);
    if (len >= 2 && len < s->bufferSize && text[0] == '"' && text[len - 1] == '"') {
        memcpy(work, text, len + 1);
        lspUnescape(work);
    } else {
        evalIntoBuffer(s, text, work, &err);
    }
    if (result && resultSize) {
        len = strlen(work);
        if (len >= resultSize)
            len = resultSize - 1u;
        memcpy(result, work, len);
        result[len] = 0;
    }
    lspMemFree(work);
    s->userData = savedUser;
    s->depth = 0;
    s->evalDepth = 0;
    return (USHORT)err;
}

USHORT ORINAPI LspSession(const char *text, char *result, unsigned short bufferSize,
                          void *userData) noexcept
{
    HLSPSESSION s = LspSessionStart(bufferSize, userData);
    USHORT rc;
    if (!s)
        return LSPERR_HANDLE;
    rc = LspParseExpressions(s, text, result, bufferSize, userData);
    LspSessionEnd(s);
    return rc;
}

HLSPSESSION ORINAPI LspQueryActiveSession(void) noexcept
{
    return lspActive;
}

/* ---- callbacks and errors ---- */

USHORT ORINAPI LspSetErrorFunction(HLSPSESSION session, LSPERRORFUNC fn) noexcept
{
    if (!session)
        return LSPERR_HANDLE;
    lspErrorFn = fn;
    return 0;
}

USHORT ORINAPI LspSetTraceFunction(HLSPSESSION session, LSPTRACEFUNC fn) noexcept
{
    if (!session)
        return LSPERR_HANDLE;
    lspTraceFn = fn ? fn : lspDefaultTrace;
    return 0;
}

void ORINAPI LspGetLastErr(HLSPSESSION session, char *buffer, unsigned short size) noexcept
{
    size_t n;
    if (!buffer || !size)
        return;
    n = strlen(lspLastErr);
    if (n >= size)
        n = size - 1u;
    memcpy(buffer, lspLastErr, n);
    buffer[n] = 0;
}

unsigned int ORINAPI LspSetLastErr(HLSPSESSION session, unsigned int code, const char *text) noexcept
{
    unsigned int err = 0;
    lspFail(&err, code, text ? text : "");
    return code;
}

/* ---- module functions ---- */

USHORT ORINAPI LspModFuncRegister(HLSPSESSION session, unsigned short count,
                                  const LSPMODFUNCDESC *table, LSPMODFUNC fn) noexcept
{
    if (!count || !table || !fn)
        return ORIN_ERR_GENERAL;
    return lspModRegister(count, table, fn, FALSE);
}

USHORT ORINAPI LspModFuncUnregister(HLSPSESSION session, LSPMODFUNC fn) noexcept
{
    return lspModUnregister(fn);
}

/* ---- result building ---- */

/* Places a new standalone node after prev's chain (or as the first
 * element of an open, empty list at its end). */
static PLSPLIST placeResult(PLSPLIST prev, PLSPLIST n, unsigned int *error)
{
    PLSPLIST last;
    unsigned int dummy = 0;
    if (!error)
        error = &dummy;
    if (!n) {
        *error = LSPERR_NOMEM;
        return NULL;
    }
    if (!prev)
        return n;
    last = lspLastOf(prev);
    if (last->type == LSP_T_OPENLIST && last->down) {
        lspNodeFree(n);
        *error = LSPERR_NOMEM;
        return NULL;
    }
    lspAttach(last, n);
    return n;
}

PLSPLIST ORINAPI LspResAddString(HLSPSESSION s, PLSPLIST prev, const char *text, unsigned int *error) noexcept
{
    return placeResult(prev, lspNewText(NULL, text ? text : "", LSP_T_STRING), error);
}

PLSPLIST ORINAPI LspResAddLong(HLSPSESSION s, PLSPLIST prev, long value, unsigned int *error) noexcept
{
    return placeResult(prev, lspNewLong(NULL, (LONG)value), error);
}

PLSPLIST ORINAPI LspResAddDouble(HLSPSESSION s, PLSPLIST prev, double value, unsigned int *error) noexcept
{
    return placeResult(prev, lspNewDouble(NULL, value, LSP_T_FLOAT), error);
}

PLSPLIST ORINAPI LspResAddDateTime(HLSPSESSION s, PLSPLIST prev, double julian, unsigned int *error) noexcept
{
    return placeResult(prev, lspNewDouble(NULL, julian, LSP_T_DATETIME), error);
}

PLSPLIST ORINAPI LspResAddBool(HLSPSESSION s, PLSPLIST prev, int value, unsigned int *error) noexcept
{
    return placeResult(prev, lspNewTruth(NULL, value), error);
}

PLSPLIST ORINAPI LspResAddNil(HLSPSESSION s, PLSPLIST prev, unsigned int *error) noexcept
{
    return placeResult(prev, lspNewNil(NULL), error);
}

/* The new list stands alone; prev is not used (lists are not nested
 * through this interface). */
PLSPLIST ORINAPI LspResAddList(HLSPSESSION s, PLSPLIST prev, unsigned int *error) noexcept
{
    return placeResult(NULL, lspNewList(NULL), error);
}

PLSPLIST ORINAPI LspResEndList(HLSPSESSION s, PLSPLIST list, unsigned int *error) noexcept
{
    if (!list) {
        if (error)
            *error = LSPERR_HANDLE;
        return NULL;
    }
    lspListClose(list);
    return list;
}

void ORINAPI LspResFree(HLSPSESSION s, PLSPLIST node) noexcept
{
    lspFreeTree(node);
}

/* ---- reading nodes ---- */

USHORT ORINAPI LspCountParams(HLSPSESSION s, PLSPLIST node) noexcept
{
    ULONG n = lspCountChain(node);
    return (USHORT)(n > 0xFFFF ? 0xFFFF : n);
}

char *ORINAPI LspNodeGetValuePsz(HLSPSESSION s, PLSPLIST node) noexcept
{
    return (char *)lspNodeText(node);
}

void ORINAPI LspNodeGetString(HLSPSESSION s, PLSPLIST node, char *buffer, unsigned short size) noexcept
{
    const char *t;
    size_t n;
    if (!buffer || !size)
        return;
    buffer[0] = 0;
    if (!node)
        return;
    if (LSP_IS_LIST(node)) {
        lspPrint(node, buffer, size);
        return;
    }
    t = lspNodeText(node);
    n = strlen(t);
    if (n >= size)
        n = size - 1u;
    memcpy(buffer, t, n);
    buffer[n] = 0;
}

long ORINAPI LspNodeGetLong(HLSPSESSION s, PLSPLIST node) noexcept
{
    return lspNodeLong(node);
}

double ORINAPI LspNodeGetDouble(HLSPSESSION s, PLSPLIST node) noexcept
{
    return lspNodeDouble(node);
}

int ORINAPI LspNodeGetBool(HLSPSESSION s, PLSPLIST node) noexcept
{
    return lspNodeTruth(node) ? 1 : 0;
}

USHORT ORINAPI LspMakeListString(HLSPSESSION s, PLSPLIST node, char *buffer, unsigned short size) noexcept
{
    if (buffer && size)
        buffer[0] = 0;
    if (!node)
        return ORIN_ERR_GENERAL;
    if (buffer && size)
        lspPrint(node, buffer, size);
    return 0;
}

USHORT ORINAPI LspListEvalToString(HLSPSESSION session, PLSPLIST node, char *buffer,
                                   unsigned short size) noexcept
{
    LSPSESSION *s = (LSPSESSION*)session;
    unsigned int err = 0;
    PLSPLIST v;
    if (buffer && size)
        buffer[0] = 0;
    if (!s || !node)
        return LSPERR_HANDLE;
    v = lspEval(s, node, &err);
    if (!err)
        LspNodeGetString(s, v, buffer, size);
    lspFreeTree(v);
    return (USHORT)err;
}

/* ---- variables ---- */

USHORT ORINAPI LspSetVarString(HLSPSESSION session, const char *name, const char *value) noexcept
{
    unsigned int err = 0;
    PLSPLIST v;
    LSPSYM *sym;
    if (!session || !name || !*name)
        return LSPERR_HANDLE;
    v = lspNewText(NULL, value ? value : "", LSP_T_STRING);
    if (!v)
        return LSPERR_NOMEM;
    if (strchr(name, ':')) {
        lspPathAssign(name, v, &err);
    } else {
        sym = lspSymFind(name);
        if ((sym && sym->kind != LSP_SYM_VAR) || !lspSymAssign(name, v))
            lspFail(&err, LSPERR_ASSIGN, name);
    }
    lspFreeTree(v);
    return (USHORT)err;
}

ULONG ORINAPI LspQueryNodesUsed(void) noexcept
{
    return lspPoolNodesUsed();
}

LONG ORINAPI LspQueryHeapBlocks(void) noexcept
{
    return lspHeapBlocks();
}
