/*
 * lsp_host.cpp - the exported host interface: sessions, evaluation of
 * source text, callbacks, module functions, result and argument nodes,
 * and variables set from outside.
 *
 * A session is a small record (buffer size, host pointer, call stack)
 * kept in a handle pool, so a closed or made-up handle is refused with
 * LSPERR_HANDLE without being read.  The node pool, the symbol table, the
 * module registrations, the reader state, the last-error text and the
 * callbacks are process-wide, so a second session shares them and ending
 * either clears them for both.  Starting a session registers the builtin
 * tables and evaluates the prelude, which defines t, prog1, the c...r
 * compositions, m-eval and cond in Lisp.
 *
 * Functions that evaluate or change the session check its handle;
 * building result nodes needs a live session too.  Reading and freeing
 * nodes do not consult the session at all.
 *
 * Every export is a boundary: nothing thrown inside goes further, and
 * std::bad_alloc answers LSPERR_NOMEM.  The whole family belongs to one
 * thread (lspint.h).
 */
#include <cstring>
#include "lisp/lspint.h"
#include "frame/handle_pool.h"
#include "frame/scope.h"

namespace orin::lsp {

namespace {

constinit HandlePool<LSPSESSION> sessions;

constexpr char kEndHook[] = "*endsession*";

constexpr char kPrelude[] =
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
static_assert(sizeof kPrelude - 1 == 763, "the prelude is 763 characters");

/* Runs f, which answers an error code; an exception answers its code. */
template <class F>
USHORT guarded(F &&f) noexcept
{
    try {
        return f();
    } catch (...) {
        unsigned int err = 0;
        return static_cast<USHORT>(lspFailException(&err));
    }
}

/* One evaluation entered from outside.  The session becomes the active
 * one (and stays so afterwards: the active session is the one used
 * last), a host pointer given for the call stands in for the session's
 * own while it runs, and the session's evaluation state (call stack,
 * nesting, discard flags) is put back as it was when it ends, so an
 * evaluation a host function starts inside another leaves the outer one
 * intact.  While it runs the session counts as busy and cannot be
 * ended. */
class EvaluationScope {
public:
    EvaluationScope(LSPSESSION *s, void *userData)
        : s_(s), userData_(s->userData), depth_(s->depth), evalDepth_(s->evalDepth),
          discardNext_(s->discardNext), callDiscard_(s->callDiscard)
    {
        lspActive = s;
        if (userData)
            s->userData = userData;
        s->running++;
    }
    ~EvaluationScope()
    {
        s_->running--;
        s_->userData = userData_;
        s_->depth = depth_;
        s_->evalDepth = evalDepth_;
        s_->discardNext = discardNext_;
        s_->callDiscard = callDiscard_;
    }
    EvaluationScope(const EvaluationScope &) = delete;
    EvaluationScope &operator=(const EvaluationScope &) = delete;

private:
    LSPSESSION *s_;
    void *userData_;
    ULONGLONG depth_;
    ULONG evalDepth_;
    BOOL discardNext_;
    BOOL callDiscard_;
};

/* Copies text into work (the session's buffer size) and evaluates it
 * there; work ends up holding the result text. */
void evalIntoBuffer(LSPSESSION *s, const char *text, char *work, unsigned int *err)
{
    size_t n = strlen(text), size = static_cast<size_t>(s->bufferSize);
    if (n > size - 1)
        n = size - 1;
    memcpy(work, text, n);
    work[n] = 0;
    lspEvalText(s, work, err);
}

/* Copies a text into a caller's buffer of size bytes, cut to fit. */
void copyOut(const char *text, char *buffer, size_t size)
{
    if (!buffer || !size)
        return;
    size_t n = strlen(text);
    if (n >= size)
        n = size - 1;
    memcpy(buffer, text, n);
    buffer[n] = 0;
}

void runEndHook(LSPSESSION *s)
{
    LSPSYM *hook = lspSymFind(kEndHook);
    if (!hook || hook->kind != LSP_SYM_DEFUN)
        return;
    EvaluationScope scope(s, nullptr);
    unsigned int err = 0;
    lspFreeTree(lspCallByName(s, kEndHook, nullptr, &err));
}

/* Puts the process-wide state back as no session had run: no symbols, no
 * registrations, default callbacks, an idle reader. */
void resetInterpreter()
{
    lspSymClear();
    lspBuiltinsUnregister();
    lspModClear();
    lspTraceFn = lspDefaultTrace;
    lspErrorFn = nullptr;
    lspReaderReset();
}

}  // namespace

LSPSESSION *lspSessionOf(const void *handle) noexcept
{
    return sessions.get(handle);
}

}  // namespace orin::lsp

using namespace orin::lsp;

/* ---- sessions ---- */

HLSPSESSION ORINAPI LspSessionStart(unsigned short bufferSize, void *userData) noexcept
{
    if (!bufferSize)
        return nullptr;
    auto owned = sessions.tryMake();
    if (!owned)
        return nullptr;
    LSPSESSION *s = owned.get();
    s->bufferSize = bufferSize;
    s->userData = userData;
    Buffer work = makeBuffer(bufferSize);
    if (!work || !lspBuiltinsRegister())
        return nullptr;
    guarded([&]() -> USHORT {
        EvaluationScope scope(s, nullptr);
        unsigned int err = 0;          // the prelude's result and errors are discarded
        evalIntoBuffer(s, kPrelude, work.get(), &err);
        return 0;
    });
    return owned.release();
}

USHORT ORINAPI LspSessionEnd(HLSPSESSION session) noexcept
{
    LSPSESSION *s = lspSessionOf(session);
    if (!s || s->running)
        return LSPERR_HANDLE;
    guarded([&]() -> USHORT {
        runEndHook(s);
        return 0;
    });
    resetInterpreter();
    if (lspActive == s)
        lspActive = nullptr;
    sessions.destroy(s);
    return 0;
}

USHORT ORINAPI LspParseExpressions(HLSPSESSION session, const char *text, char *result,
                                   unsigned short resultSize, void *userData) noexcept
{
    LSPSESSION *s = lspSessionOf(session);
    if (!s)
        return LSPERR_HANDLE;
    if (!text || !*text) {
        copyOut("", result, resultSize);
        return 0;
    }
    return guarded([&]() -> USHORT {
        EvaluationScope scope(s, userData);
        Buffer work = makeBuffer(static_cast<size_t>(s->bufferSize));
        if (!work)
            return LSPERR_NOMEM;
        unsigned int err = 0;
        size_t len = strlen(text);
        if (len >= 2 && len < s->bufferSize && text[0] == '"' && text[len - 1] == '"') {
            memcpy(work.get(), text, len + 1);     // a string literal: not evaluated
            lspUnescape(work.get());
        } else {
            evalIntoBuffer(s, text, work.get(), &err);
        }
        copyOut(work.get(), result, resultSize);
        return static_cast<USHORT>(err);
    });
}

USHORT ORINAPI LspSession(const char *text, char *result, unsigned short bufferSize,
                          void *userData) noexcept
{
    HLSPSESSION s = LspSessionStart(bufferSize, userData);
    if (!s)
        return LSPERR_HANDLE;
    USHORT rc = LspParseExpressions(s, text, result, bufferSize, userData);
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
    if (!lspSessionOf(session))
        return LSPERR_HANDLE;
    lspErrorFn = fn;
    return 0;
}

USHORT ORINAPI LspSetTraceFunction(HLSPSESSION session, LSPTRACEFUNC fn) noexcept
{
    if (!lspSessionOf(session))
        return LSPERR_HANDLE;
    lspTraceFn = fn ? fn : lspDefaultTrace;
    return 0;
}

void ORINAPI LspGetLastErr(HLSPSESSION, char *buffer, unsigned short size) noexcept
{
    copyOut(lspLastErr, buffer, size);
}

unsigned int ORINAPI LspSetLastErr(HLSPSESSION, unsigned int code, const char *text) noexcept
{
    unsigned int err = 0;
    lspFail(&err, code, text ? text : "");
    return code;
}

/* ---- module functions ---- */

USHORT ORINAPI LspModFuncRegister(HLSPSESSION session, unsigned short count,
                                  const LSPMODFUNCDESC *table, LSPMODFUNC fn) noexcept
{
    if (!lspSessionOf(session))
        return LSPERR_HANDLE;
    if (!count || !table || !fn)
        return ORIN_ERR_GENERAL;
    return guarded([&] { return lspModRegister(count, table, fn, false); });
}

USHORT ORINAPI LspModFuncUnregister(HLSPSESSION session, LSPMODFUNC fn) noexcept
{
    if (!lspSessionOf(session))
        return LSPERR_HANDLE;
    return lspModUnregister(fn);
}

/* ---- result building ---- */

namespace {

/* Places a new standalone node after prev's chain (or as the first
 * element of an open, empty list at its end). */
PLSPLIST placeResult(HLSPSESSION session, PLSPLIST prev, PLSPLIST n, unsigned int *error)
{
    Tree node(n);
    unsigned int ignored = 0;
    if (!error)
        error = &ignored;
    if (!lspSessionOf(session)) {
        *error = LSPERR_HANDLE;
        return nullptr;
    }
    if (!node) {
        *error = LSPERR_NOMEM;
        return nullptr;
    }
    if (!prev)
        return node.release();
    PLSPLIST last = lspLastOf(prev);
    if (last->type == LSP_T_OPENLIST && last->down) {
        *error = LSPERR_NOMEM;
        return nullptr;
    }
    lspAttach(last, node.get());
    return node.release();
}

}  // namespace

PLSPLIST ORINAPI LspResAddString(HLSPSESSION s, PLSPLIST prev, const char *text, unsigned int *error) noexcept
{
    return placeResult(s, prev, lspNewText(nullptr, text ? text : "", LSP_T_STRING), error);
}

PLSPLIST ORINAPI LspResAddLong(HLSPSESSION s, PLSPLIST prev, long value, unsigned int *error) noexcept
{
    return placeResult(s, prev, lspNewLong(nullptr, static_cast<LONG>(value)), error);
}

PLSPLIST ORINAPI LspResAddDouble(HLSPSESSION s, PLSPLIST prev, double value, unsigned int *error) noexcept
{
    return placeResult(s, prev, lspNewDouble(nullptr, value, LSP_T_FLOAT), error);
}

PLSPLIST ORINAPI LspResAddDateTime(HLSPSESSION s, PLSPLIST prev, double julian, unsigned int *error) noexcept
{
    return placeResult(s, prev, lspNewDouble(nullptr, julian, LSP_T_DATETIME), error);
}

PLSPLIST ORINAPI LspResAddBool(HLSPSESSION s, PLSPLIST prev, int value, unsigned int *error) noexcept
{
    return placeResult(s, prev, lspNewTruth(nullptr, value), error);
}

PLSPLIST ORINAPI LspResAddNil(HLSPSESSION s, PLSPLIST prev, unsigned int *error) noexcept
{
    return placeResult(s, prev, lspNewNil(nullptr), error);
}

/* The new list stands alone; prev is not used (lists are not nested
 * through this interface). */
PLSPLIST ORINAPI LspResAddList(HLSPSESSION s, PLSPLIST, unsigned int *error) noexcept
{
    return placeResult(s, nullptr, lspNewList(nullptr), error);
}

PLSPLIST ORINAPI LspResEndList(HLSPSESSION s, PLSPLIST list, unsigned int *error) noexcept
{
    if (!lspSessionOf(s) || !list) {
        if (error)
            *error = LSPERR_HANDLE;
        return nullptr;
    }
    lspListClose(list);
    return list;
}

void ORINAPI LspResFree(HLSPSESSION, PLSPLIST node) noexcept
{
    lspFreeTree(node);
}

/* ---- reading nodes ---- */

USHORT ORINAPI LspCountParams(HLSPSESSION, PLSPLIST node) noexcept
{
    ULONG n = lspCountChain(node);
    return static_cast<USHORT>(n > 0xFFFF ? 0xFFFF : n);
}

char *ORINAPI LspNodeGetValuePsz(HLSPSESSION, PLSPLIST node) noexcept
{
    return const_cast<char *>(lspNodeText(node));
}

void ORINAPI LspNodeGetString(HLSPSESSION, PLSPLIST node, char *buffer, unsigned short size) noexcept
{
    copyOut("", buffer, size);
    if (!node || !buffer || !size)
        return;
    if (isList(node))
        lspPrint(node, buffer, size);
    else
        copyOut(lspNodeText(node), buffer, size);
}

long ORINAPI LspNodeGetLong(HLSPSESSION, PLSPLIST node) noexcept
{
    return lspNodeLong(node);
}

double ORINAPI LspNodeGetDouble(HLSPSESSION, PLSPLIST node) noexcept
{
    return lspNodeDouble(node);
}

int ORINAPI LspNodeGetBool(HLSPSESSION, PLSPLIST node) noexcept
{
    return lspNodeTruth(node) ? 1 : 0;
}

USHORT ORINAPI LspMakeListString(HLSPSESSION, PLSPLIST node, char *buffer, unsigned short size) noexcept
{
    copyOut("", buffer, size);
    if (!node)
        return ORIN_ERR_GENERAL;
    if (buffer && size)
        lspPrint(node, buffer, size);
    return 0;
}

USHORT ORINAPI LspListEvalToString(HLSPSESSION session, PLSPLIST node, char *buffer,
                                   unsigned short size) noexcept
{
    LSPSESSION *s = lspSessionOf(session);
    copyOut("", buffer, size);
    if (!s || !node)
        return LSPERR_HANDLE;
    return guarded([&]() -> USHORT {
        unsigned int err = 0;
        s->running++;
        auto idle = orin::scopeExit([s] { s->running--; });
        Tree v(lspEval(s, node, &err));
        if (!err)
            LspNodeGetString(s, v.get(), buffer, size);
        return static_cast<USHORT>(err);
    });
}

/* ---- variables ---- */

USHORT ORINAPI LspSetVarString(HLSPSESSION session, const char *name, const char *value) noexcept
{
    if (!lspSessionOf(session) || !name || !*name)
        return LSPERR_HANDLE;
    return guarded([&]() -> USHORT {
        unsigned int err = 0;
        Tree v(lspNewText(nullptr, value ? value : "", LSP_T_STRING));
        if (!v)
            return LSPERR_NOMEM;
        if (strchr(name, ':')) {
            lspPathAssign(name, v.get(), &err);
        } else {
            LSPSYM *sym = lspSymFind(name);
            if (sym && sym->kind != LSP_SYM_VAR)
                lspFail(&err, LSPERR_ASSIGN, name);
            else if (!lspSymAssign(name, v.get()))
                lspFailNoMem(&err);
        }
        return static_cast<USHORT>(err);
    });
}

ULONG ORINAPI LspQueryNodesUsed(void) noexcept
{
    return lspPoolNodesUsed();
}

LONG ORINAPI LspQueryHeapBlocks(void) noexcept
{
    return lspHeapBlocks();
}
