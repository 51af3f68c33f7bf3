/*
 * lsp_eval.cpp - the evaluator: nodes to values, calls by name, user
 * functions with dynamic scope, error handling and the text driver.
 *
 * Every call takes an error word and does nothing while it is non-zero.
 * A failing list evaluation runs "handle error" where the error surfaced:
 * the `*error*` function (when defined with defun) or the host's error
 * function gets the code, a traceback built from the call stack and the
 * last-error text, and decides whether the error stands, is cleared
 * (evaluation resumes with the handler's value in place of the failed
 * expression) or unwinds quietly (LSPERR_REPORTED).  While a handler runs,
 * a further error yields LSPERR_INHANDLER instead of entering it again;
 * while the trace function runs, the calls it makes are not traced.
 *
 * User functions bind their parameters by pushing symbol records and pop
 * them afterwards, also after an error, so scope is dynamic.  Parameters
 * after "/" are locals bound to nil; "&rest" binds the next name to a list
 * of all remaining arguments.  A call unbinds exactly the names it bound:
 * when binding stops partway, the callers' bindings of the others stay.
 *
 * Evaluation recurses on the machine stack.  The nesting of list
 * evaluations is counted per session and bounded by kMaxDepth: a runaway
 * recursion fails with LSPERR_NOMEM instead of overflowing.
 *
 * The globals here (last-error text, callbacks, trace switch, the active
 * session and the reentry flags) belong to the interpreter's one thread.
 */
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include "lisp/lspint.h"

namespace orin::lsp {

char lspLastErr[kLastErrSize];
LSPSESSION *lspActive;
LSPERRORFUNC lspErrorFn;
LSPTRACEFUNC lspTraceFn = lspDefaultTrace;
ULONG lspTraceSwitch;

namespace {

constexpr char kErrorHook[] = "*error*";
constexpr char kParamLocals[] = "/";
constexpr char kParamRest[] = "&rest";

bool handlingError;              // an error handler is running
bool tracing;                    // the trace function is running

/* Sets a flag for the life of a scope. */
class ScopedFlag {
public:
    explicit ScopedFlag(bool &flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag &) = delete;
    ScopedFlag &operator=(const ScopedFlag &) = delete;

private:
    bool &flag_;
};

void setLastErr(const char *text)
{
    size_t n = text ? strlen(text) : 0;
    if (n > kLastErrSize - 1)
        n = kLastErrSize - 1;
    if (text && text != lspLastErr)
        memmove(lspLastErr, text, n);
    lspLastErr[n] = 0;
}

}  // namespace

int lspDefaultTrace(void *, void *, const char *, PLSPLIST, unsigned int *)
{
    return 1;
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
    char text[kLastErrSize];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    return lspFail(err, code, text);
}

unsigned int lspFailNoMem(unsigned int *err)
{
    return lspFail(err, LSPERR_NOMEM, "");
}

unsigned int lspFailException(unsigned int *err) noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return lspFailNoMem(err);
    } catch (const std::length_error &) {
        return lspFailNoMem(err);
    } catch (const std::exception &e) {
        return lspFail(err, ORIN_ERR_GENERAL, e.what());
    } catch (...) {
        return lspFail(err, ORIN_ERR_GENERAL, "");
    }
}

/* ---- call stack ---- */

namespace {

/* One list expression on the session's call stack while it is
 * evaluated. */
class CallFrame {
public:
    CallFrame(LSPSESSION *s, PLSPLIST list) : s_(s)
    {
        if (s->depth >= kCallStackMax) {
            memmove(s->callStack, s->callStack + kCallStackDrop,
                    (kCallStackMax - kCallStackDrop) * sizeof(PLSPLIST));
            s->depth = kCallStackMax - kCallStackDrop;
        }
        s->callStack[s->depth++] = list;
    }
    ~CallFrame()
    {
        if (s_->depth)
            s_->depth--;
    }
    CallFrame(const CallFrame &) = delete;
    CallFrame &operator=(const CallFrame &) = delete;

private:
    LSPSESSION *s_;
};

/* ---- symbols and paths ---- */

PLSPLIST copyValue(PLSPLIST value)
{
    if (!value->next)
        return lspChainCopy(value, nullptr);
    return lspWrapChain(value);
}

PLSPLIST evalSymbol(PLSPLIST node, unsigned int *err)
{
    const char *name = node->value.psz;
    USHORT reg, id;
    PLSPLIST r;

    if (strchr(name, ':'))
        return lspPathLookup(name, err);
    if (LSPSYM *sym = lspSymFind(name)) {
        if (!sym->value) {
            lspFail(err, LSPERR_HANDLE, name);
            return nullptr;
        }
        r = sym->kind == LSP_SYM_VAR ? copyValue(sym->value) : lspWrapChain(sym->value);
    } else if (lspModExists(name, &reg, &id)) {
        char ref[16];
        snprintf(ref, sizeof ref, "#%04X-%04X", reg, id);
        r = lspNewText(nullptr, ref, LSP_T_SYMBOL);
    } else {
        r = lspNodeCopy(node);
    }
    return lspMade(r, err);
}

/* The elements of an association list: the list's elements when the
 * chain is one list of lists, else the chain itself. */
PLSPLIST assocEntries(PLSPLIST cur)
{
    if (cur && !cur->next && isList(cur) && cur->down && isList(cur->down))
        return cur->down;
    return cur;
}

bool wellFormedEntry(PLSPLIST e)
{
    return isList(e) && e->down && e->down->type == LSP_T_SYMBOL && e->down->next;
}

/* Follows key after key through nested association lists.  Returns the
 * chain of the last entry's remaining elements, or null on a mismatch. */
PLSPLIST followPath(PLSPLIST cur, const char *keys)
{
    char key[kSymNameMax + 1];
    while (*keys) {
        const char *colon = strchr(keys, ':');
        size_t n = colon ? static_cast<size_t>(colon - keys) : strlen(keys);
        PLSPLIST e;
        if (n > kSymNameMax)
            n = kSymNameMax;
        memcpy(key, keys, n);
        key[n] = 0;
        for (e = assocEntries(cur); e; e = e->next) {
            if (!wellFormedEntry(e))
                return nullptr;
            if (_stricmp(e->down->value.psz, key) == 0)
                break;
        }
        if (!e)
            return nullptr;
        cur = e->down->next;
        keys = colon ? colon + 1 : keys + strlen(keys);
    }
    return cur;
}

}  // namespace

PLSPLIST lspPathLookup(const char *path, unsigned int *err)
{
    char var[kSymNameMax + 1];
    const char *colon = strchr(path, ':');
    size_t n = static_cast<size_t>(colon - path);
    PLSPLIST r;

    if (n > kSymNameMax)
        n = kSymNameMax;
    memcpy(var, path, n);
    var[n] = 0;
    LSPSYM *sym = lspSymFind(var);
    if (!sym || sym->kind != LSP_SYM_VAR) {
        r = lspNewText(nullptr, var, LSP_T_SYMBOL);
    } else if (!sym->value) {
        lspFail(err, LSPERR_HANDLE, var);
        return nullptr;
    } else {
        PLSPLIST found = followPath(sym->value, colon + 1);
        r = found ? copyValue(found) : lspNewNil(nullptr);
    }
    return lspMade(r, err);
}

/* ---- user functions ---- */

namespace {

bool paramsValid(PLSPLIST params)
{
    if (!params || params->type == LSP_T_NIL)
        return true;
    if (!isList(params))
        return false;
    for (PLSPLIST p = params->down; p; p = p->next)
        if (p->type != LSP_T_SYMBOL)
            return false;
    return true;
}

enum class Role { Plain, Rest, Local };

bool isLocalsMark(const char *name)
{
    return name[0] == kParamLocals[0] && name[1] == 0;
}

bool isRestMark(const char *name)
{
    return name[0] == kParamRest[0] && _stricmp(name, kParamRest) == 0;
}

/* Calls f(name, role) for every name of a parameter list that a call
 * binds, in order, until f answers false.  "/" starts the locals; the
 * first "&rest" before them makes the next name take the remaining
 * arguments, and the names after that one are locals. */
template <class F>
void forEachBinding(PLSPLIST params, F &&f)
{
    Role mode = Role::Plain;
    for (PLSPLIST p = isList(params) ? params->down : nullptr; p; p = p->next) {
        const char *name = p->value.psz;
        if (isLocalsMark(name)) {
            mode = Role::Local;
            continue;
        }
        if (mode == Role::Plain && isRestMark(name)) {
            mode = Role::Rest;
            continue;
        }
        if (!f(name, mode))
            return;
        if (mode == Role::Rest)
            mode = Role::Local;
    }
}

/* The parameter and local bindings of one user call.  It unbinds exactly
 * the names it bound, when asked or when it goes: a call whose binding
 * stopped partway leaves the callers' bindings of the names it did not
 * reach alone.  The names of a short parameter list are remembered; a
 * longer list is walked again. */
class ScopedBindings {
public:
    explicit ScopedBindings(PLSPLIST params) : params_(params) {}
    ~ScopedBindings()
    {
        if (bound_)
            unbind();
    }
    ScopedBindings(const ScopedBindings &) = delete;
    ScopedBindings &operator=(const ScopedBindings &) = delete;

    /* Binds the parameters to the (owned) argument chain and frees what
     * is left of it; false when memory ran out. */
    bool bind(PLSPLIST argChain)
    {
        Tree args(argChain);
        bool ok = true;
        forEachBinding(params_, [&](const char *name, Role role) {
            Tree v(valueFor(role, args));
            if (v && isList(v.get()) && !v->down)
                lspSetNil(v.get());
            ok = v && lspSymBindOwned(name, v.get(), LSP_SYM_VAR);
            if (ok) {
                v.release();
                if (bound_ < kRemembered)
                    names_[bound_] = name;
                bound_++;
            }
            return ok;
        });
        return ok;
    }

    /* Undoes the bindings; false when a name had no binding left. */
    bool unbind()
    {
        bool ok = true;
        if (bound_ <= kRemembered) {
            for (ULONG i = 0; i < bound_; i++)
                ok = lspSymUnbind(names_[i]) && ok;
        } else {
            ULONG left = bound_;
            forEachBinding(params_, [&](const char *name, Role) {
                if (left == 0)
                    return false;
                left--;
                ok = lspSymUnbind(name) && ok;
                return true;
            });
        }
        bound_ = 0;
        return ok;
    }

private:
    /* The value one name is bound to, taken from the arguments. */
    static PLSPLIST valueFor(Role role, Tree &args)
    {
        if (role == Role::Rest) {
            PLSPLIST list = lspNewList(nullptr);
            if (list && args)
                lspAttach(list, args.release());
            lspListClose(list);
            return list;
        }
        if (role == Role::Local || !args)
            return lspNewNil(nullptr);
        PLSPLIST rest = args.release();
        PLSPLIST first = lspDetachFirst(&rest);
        args.reset(rest);
        return first;
    }

    static constexpr ULONG kRemembered = 8;

    PLSPLIST params_;
    ULONG bound_ = 0;
    const char *names_[kRemembered];
};

/* Keeps a stored definition chain alive while a call walks it: the
 * function may be redefined or unbound meanwhile, which then drops only
 * the record's reference. */
class HeldChain {
public:
    explicit HeldChain(PLSPLIST head) : head_(lspShare(head)) {}
    ~HeldChain() { lspFreeTree(head_); }
    HeldChain(const HeldChain &) = delete;
    HeldChain &operator=(const HeldChain &) = delete;

private:
    PLSPLIST head_;
};

/* Calls a defun (arguments evaluated) or defmacro (passed as written). */
PLSPLIST userCall(LSPSESSION *s, const char *name, PLSPLIST def, USHORT kind,
                  PLSPLIST args, unsigned int *err)
{
    if (!def) {
        lspFail(err, LSPERR_DEFINE, name);
        return nullptr;
    }
    PLSPLIST params = def;
    if (!paramsValid(params)) {
        lspFail(err, LSPERR_PARAMS, name);
        return nullptr;
    }
    HeldChain hold(def);
    Tree argv;
    if (kind == LSP_SYM_DEFUN) {
        argv.reset(lspEvalArgs(s, args, err));
    } else if (args) {
        argv.reset(lspChainCopy(args, nullptr));
        if (!argv)
            lspFailNoMem(err);
    }
    if (*err)
        return nullptr;

    ScopedBindings bindings(params);
    Tree result;
    if (!bindings.bind(argv.release())) {
        lspFailNoMem(err);
    } else {
        for (PLSPLIST form = def->next; form && !*err; form = form->next) {
            result.reset();
            s->discardNext = form->next != nullptr;   // only the last value counts
            result.reset(lspEval(s, form, err));
        }
    }
    if (!bindings.unbind())
        lspFail(err, LSPERR_PARAMS, name);
    if (*err)
        return nullptr;
    if (!result)
        result.reset(lspMade(lspNewNil(nullptr), err));
    return result.release();
}

/* The trace function's verdict on a call: false stops it. */
bool traceAllows(LSPSESSION *s, const char *name, PLSPLIST args, unsigned int *err)
{
    if (!lspTraceSwitch || !lspTraceFn || tracing)
        return true;
    ScopedFlag busy(tracing);
    int go;
    try {
        go = lspTraceFn(s, s->userData, name, args, err);
    } catch (...) {
        lspFailException(err);
        return false;
    }
    if (!go) {
        lspFail(err, LSPERR_TRACESTOP, name);
        return false;
    }
    return *err == 0;
}

}  // namespace

/* ---- evaluation ---- */

PLSPLIST lspEvalArgs(LSPSESSION *s, PLSPLIST chain, unsigned int *err)
{
    Tree first;
    PLSPLIST last = nullptr;
    for (PLSPLIST n = chain; n && !*err; n = n->next) {
        Tree v(lspEval(s, n, err));
        if (*err)
            return nullptr;
        if (!v) {
            lspFailNoMem(err);
            return nullptr;
        }
        lspFreeRest(v.get());            // a value is one node
        PLSPLIST node = v.release();
        if (last)
            lspAttach(last, node);
        else
            first.reset(node);
        last = node;
    }
    if (*err)
        return nullptr;
    return first.release();
}

PLSPLIST lspCallByName(LSPSESSION *s, const char *name, PLSPLIST args, unsigned int *err)
{
    if (*err)
        return nullptr;
    if (lspBreakPending()) {
        lspFail(err, LSPERR_BREAK, "");
        return nullptr;
    }
    if (!traceAllows(s, name, args, err))
        return nullptr;
    LSPSYM *sym = lspSymFind(name);
    if (sym && (sym->kind == LSP_SYM_DEFUN || sym->kind == LSP_SYM_MACRO))
        return userCall(s, name, sym->value, sym->kind, args, err);
    bool found = false;
    PLSPLIST r = lspModCall(s, name, args, &found, err);
    if (!found && !*err)
        lspFail(err, LSPERR_UNKNOWNFN, name);
    return r;
}

PLSPLIST lspEval(LSPSESSION *s, PLSPLIST node, unsigned int *err)
{
    bool discard = s->discardNext;

    s->discardNext = FALSE;
    if (!node || *err)
        return nullptr;
    switch (node->type) {
    case LSP_T_SYMBOL:
        return evalSymbol(node, err);
    case LSP_T_LIST:
    case LSP_T_OPENLIST:
        break;
    default:
        return lspMade(lspNodeCopy(node), err);
    }
    PLSPLIST head = node->down;
    if (!head)
        return lspMade(lspNewNil(nullptr), err);

    CallFrame frame(s, node);
    if (head->type != LSP_T_SYMBOL) {
        lspFail(err, LSPERR_NOTSYMBOL, lspNodeText(head));
        return lspHandleError(s, err);
    }
    Tree r;
    if (s->evalDepth >= static_cast<ULONG>(kMaxDepth)) {
        lspFail(err, LSPERR_NOMEM, "nesting too deep");
    } else {
        s->evalDepth++;
        s->callDiscard = discard;
        r.reset(lspCallByName(s, head->value.psz, head->next, err));
        s->evalDepth--;
    }
    if (*err) {
        r.reset();
        return lspHandleError(s, err);
    }
    return r.release();
}

/* ---- errors ---- */

namespace {

/* The printed call stack, most recent first, one entry a line. */
Buffer buildTraceback(LSPSESSION *s)
{
    size_t size = static_cast<size_t>(s->bufferSize), len = 0;
    Buffer tb = makeBuffer(size);
    if (!tb)
        return tb;
    tb[0] = 0;
    for (ULONGLONG i = s->depth; i > 0 && len + 1 < size; i--) {
        if (len) {
            tb[len++] = '\n';
            tb[len] = 0;
        }
        len += lspPrint(s->callStack[i - 1], tb.get() + len, size - len);
    }
    return tb;
}

PLSPLIST callErrorHook(LSPSESSION *s, LSPSYM *hook, const char *tb, const char *msg,
                       unsigned int *err)
{
    unsigned int code = *err, hookErr = 0;
    Tree args(lspNewLong(nullptr, static_cast<LONG>(code - LSPERR_BASE)));
    if (!args || !lspNewText(args.get(), tb, LSP_T_STRING) ||
        !lspNewText(args->next, msg, LSP_T_STRING)) {
        *err = LSPERR_NOMEM;         // the handler cannot even be told
        return nullptr;
    }
    Tree v;
    {
        ScopedFlag busy(handlingError);
        v.reset(userCall(s, kErrorHook, hook->value, LSP_SYM_DEFUN, args.get(), &hookErr));
    }
    if (hookErr) {
        *err = LSPERR_INHANDLER;
        return nullptr;
    }
    if (v) {
        unsigned long n = strtoul(lspNodeText(v.get()), nullptr, 10);
        *err = n ? static_cast<unsigned int>(LSPERR_BASE + n) : 0;
    } else {
        *err = code;
    }
    return v.release();
}

/* The host's error function: its answer is the new error word. */
PLSPLIST callHostErrorFn(LSPSESSION *s, const char *tb, const char *msg, unsigned int *err)
{
    ScopedFlag busy(handlingError);
    try {
        *err = lspErrorFn(s, *err, tb, msg);
    } catch (...) {
        *err = 0;
        lspFailException(err);
        return nullptr;
    }
    return lspNewLong(nullptr, static_cast<LONG>(*err));
}

}  // namespace

PLSPLIST lspHandleError(LSPSESSION *s, unsigned int *err)
{
    if (*err == 0 || *err == LSPERR_REPORTED)
        return nullptr;
    if (handlingError) {
        *err = LSPERR_INHANDLER;
        return nullptr;
    }
    char msg[kLastErrSize];
    strcpy(msg, lspLastErr);
    Buffer tb = buildTraceback(s);
    const char *traceback = tb ? tb.get() : "";
    PLSPLIST v = nullptr;
    LSPSYM *hook = lspSymFind(kErrorHook);
    if (hook && hook->kind == LSP_SYM_DEFUN)
        v = callErrorHook(s, hook, traceback, msg, err);
    else if (lspErrorFn)
        v = callHostErrorFn(s, traceback, msg, err);
    if (!v && !(v = lspNewNil(nullptr)))
        *err = LSPERR_NOMEM;
    return v;
}

/* ---- the text driver ---- */

namespace {

void printResult(PLSPLIST v, char *out, size_t size)
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

}  // namespace

void lspEvalText(LSPSESSION *s, char *text, unsigned int *err)
{
    size_t size = static_cast<size_t>(s->bufferSize);
    Buffer work = makeBuffer(size), res = makeBuffer(size);
    if (!work || !res || !size) {
        lspFailNoMem(err);
        return;
    }
    res[0] = 0;
    char *src = text;
    while (*src) {
        lspSplitExpr(s, &src, work.get(), size);
        if (*err || !work[0])
            continue;
        Tree chain(lspParseText(s, work.get(), err));
        if (*err) {
            lspFreeTree(lspHandleError(s, err));
            continue;
        }
        if (!chain) {
            res[0] = 0;
            continue;
        }
        Tree v(lspEval(s, chain.get(), err));
        chain.reset();
        printResult(v.get(), res.get(), size);
    }
    strcpy(text, res.get());
}

}  // namespace orin::lsp
