/*
 * lsp_mod.cpp - module registrations: tables of functions that a module
 * (the builtins, or the host) serves through one dispatcher function.
 *
 * Registrations are kept oldest first, so a registration's number (1 for
 * the oldest) is its position, and lookups go from the newest down: a
 * later registration shadows an earlier one of the same name.  Each keeps
 * its own copy of the descriptor table, sorted by name without regard to
 * case once at registration, with every name lowered beside it, so a
 * lookup is a binary search comparing plain bytes against a name lowered
 * once.  A function reference "#XXXX-YYYY" names registration XXXX and
 * function id YYYY directly.
 *
 * A dispatcher that returns null without setting an error declines the
 * call, and the search goes on with older registrations.  A dispatcher
 * may register or unregister modules while it runs (its arguments are
 * evaluated first, and may run anything), so a call copies what it needs
 * of its registration before evaluating, and the search continues by
 * position.
 *
 * Every dispatcher call is a boundary: an exception from a builtin or a
 * host's function stops there and becomes the error word (std::bad_alloc
 * the out-of-memory code).  The builtins take their arguments as they
 * are, lists sharing elements with variables included.  A host's function
 * gets a private copy in which every back link holds and nothing it
 * changes can reach a variable.
 *
 * The registrations belong to the interpreter's one thread (lspint.h).
 */
#include <array>
#include <cstring>
#include <vector>
#include "lisp/lspint.h"
#include "knl.h"

namespace orin::lsp {

namespace {

constexpr size_t kFuncRefLen = 10;     // "#XXXX-YYYY"
constexpr size_t kFuncRefDash = 5;

using LowerName = std::array<char, LSP_MODFUNC_NAME>;

/* The descriptors sorted by name, and their names lowered (ASCII letters)
 * in a packed array of their own, which the binary search walks. */
struct Registration {
    LSPMODFUNC fn;
    std::vector<LSPMODFUNCDESC, Allocator<LSPMODFUNCDESC>> table;
    std::vector<LowerName, Allocator<LowerName>> lower;
    bool builtin;                    // ours: takes arguments as they are
};


using Registrations = std::vector<Registration, Allocator<Registration>>;
constinit Immortal<Registrations> regs;   // oldest first

/* What a call needs of its descriptor and registration, copied so that
 * the registration may go while the call runs. */
struct Target {
    LSPMODFUNC fn;
    USHORT id;
    USHORT flags;
    USHORT minArgs;
    USHORT maxArgs;
    bool builtin;
};

BYTE foldAscii(BYTE c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<BYTE>(c + ('a' - 'A')) : c;
}

/* A name lowered as the table order sees it (ASCII letters only),
 * truncated to the longest name a table holds. */
void lowerKey(const char *name, char *out)
{
    size_t i;
    for (i = 0; name[i] && i < LSP_MODFUNC_NAME - 1; i++)
        out[i] = static_cast<char>(foldAscii(static_cast<BYTE>(name[i])));
    out[i] = 0;
}

/* Orders names without regard to the case of ASCII letters; other bytes
 * compare by value.  Sorting and searching use the same order. */
int __cdecl compareDesc(const void *a, const void *b)
{
    auto x = reinterpret_cast<const BYTE *>(static_cast<const LSPMODFUNCDESC *>(a)->name);
    auto y = reinterpret_cast<const BYTE *>(static_cast<const LSPMODFUNCDESC *>(b)->name);
    for (;; x++, y++) {
        int cx = foldAscii(*x), cy = foldAscii(*y);
        if (cx != cy || !cx)
            return cx - cy;
    }
}

/* strcmp of two lowered names; most differ in the first byte, which is
 * compared here. */
int compareLowered(const char *a, const char *b)
{
    int c = static_cast<BYTE>(*a) - static_cast<BYTE>(*b);
    if (c != 0 || *a == 0)
        return c;
    return strcmp(a + 1, b + 1);
}

/* Binary search of one registration for a lowered name (lowerKey). */
const LSPMODFUNCDESC *searchTable(const Registration &r, const char *low)
{
    int lo = 0, hi = static_cast<int>(r.lower.size()) - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2, c = compareLowered(low, r.lower[mid].data());
        if (c == 0)
            return &r.table[mid];
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return nullptr;
}

int hexValue(const char *p, int digits)
{
    int v = 0;
    for (int i = 0; i < digits; i++) {
        char c = p[i];
        v <<= 4;
        if (c >= '0' && c <= '9') v |= c - '0';
        else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
        else return -1;
    }
    return v;
}

/* Resolves "#XXXX-YYYY" to a registration index and entry; false when
 * the name is no reference or names nothing registered. */
bool resolveRef(const char *name, size_t *index, const LSPMODFUNCDESC **entry)
{
    if (name[0] != '#' || strlen(name) != kFuncRefLen || name[kFuncRefDash] != '-')
        return false;
    int regNo = hexValue(name + 1, 4);
    int id = hexValue(name + kFuncRefDash + 1, 4);
    if (regNo < 1 || id < 0 || static_cast<size_t>(regNo) > regs->size())
        return false;
    const Registration &r = (*regs)[regNo - 1];
    for (const LSPMODFUNCDESC &e : r.table) {
        if (e.id == id) {
            *index = regNo - 1;
            *entry = &e;
            return true;
        }
    }
    return false;
}

/* The newest registration below position `from` that serves a lowered
 * name.  On the path of every call: kept inline. */
[[gnu::always_inline]] inline bool findFrom(size_t from, const char *low, size_t *index,
                                            const LSPMODFUNCDESC **entry)
{
    for (size_t i = from; i-- > 0;) {
        if (const LSPMODFUNCDESC *e = searchTable((*regs)[i], low)) {
            *index = i;
            *entry = e;
            return true;
        }
    }
    return false;
}

bool arityOk(const Target &d, PLSPLIST args, unsigned int *err)
{
    if (d.minArgs == 0 && d.maxArgs == LSP_ARGS_NOMAX)
        return true;
    if (d.minArgs == 1 && d.maxArgs == LSP_ARGS_NOMAX) {
        if (!args) {
            lspFail(err, LSPERR_TOOFEW, "0 instead of 1");
            return false;
        }
        return true;
    }
    ULONG count = lspCountChain(args);
    if (count < d.minArgs) {
        lspFailf(err, LSPERR_TOOFEW, "%lu instead of %u", static_cast<unsigned long>(count),
                 d.minArgs);
        return false;
    }
    if (d.maxArgs != LSP_ARGS_NOMAX && count > d.maxArgs) {
        lspFailf(err, LSPERR_TOOMANY, "%lu instead of %u", static_cast<unsigned long>(count),
                 d.maxArgs);
        return false;
    }
    return true;
}

/* True when n is one of the nodes of chain or lies below one of them. */
bool chainHolds(PLSPLIST chain, PLSPLIST n, int depth)
{
    for (; chain; chain = chain->next) {
        if (chain == n)
            return true;
        if (chain->down && depth < kMaxDepth && chainHolds(chain->down, n, depth + 1))
            return true;
    }
    return false;
}

/* Runs one dispatcher; nothing it throws goes further. */
[[gnu::always_inline]] inline PLSPLIST dispatch(const Target &t, LSPSESSION *s, PLSPLIST argv, unsigned int *err)
{
    try {
        return t.fn(s, s->userData, t.id, argv, err);
    } catch (...) {
        lspFailException(err);
        return nullptr;
    }
}

/* Calls a host's function on a private copy of the arguments.  A host may
 * hand back (part of) what it was given; such a result gets nodes of its
 * own before the copy goes. */
PLSPLIST callHost(const Target &t, LSPSESSION *s, PLSPLIST argv, unsigned int *err)
{
    Tree own(lspChainCopyPrivate(argv));
    if (!own) {
        lspFailNoMem(err);
        return nullptr;
    }
    PLSPLIST result = dispatch(t, s, own.get(), err);
    if (result && chainHolds(own.get(), result, 0))
        result = lspMade(lspChainCopyPrivate(result), err);
    return result;
}

/* The arguments of one call by name: evaluated once, when the first
 * descriptor that takes them evaluated asks, and reused if the call is
 * declined and an older registration takes it. */
struct CallArgs {
    PLSPLIST written;
    Tree evaluated;
    bool haveEvaluated = false;
};

PLSPLIST callTarget(const Target &t, LSPSESSION *s, CallArgs &args, unsigned int *err)
{
    PLSPLIST argv = args.written;
    bool discard = s->callDiscard;     // argument evaluation resets it
    if (!arityOk(t, args.written, err))
        return nullptr;
    if (!(t.flags & LSP_MF_SPECIAL)) {
        if (!args.haveEvaluated) {
            args.evaluated.reset(lspEvalArgs(s, args.written, err));
            args.haveEvaluated = true;
            if (*err)
                return nullptr;
        }
        argv = args.evaluated.get();
    }
    s->callDiscard = discard;
    if (!t.builtin && argv)
        return callHost(t, s, argv, err);
    return dispatch(t, s, argv, err);
}

/* An interpreter without registrations holds no heap for them. */
void releaseIfEmpty()
{
    if (regs->empty())
        Registrations().swap(*regs);
}

Target targetOf(size_t index, const LSPMODFUNCDESC &e)
{
    const Registration &r = (*regs)[index];
    return Target{ r.fn, e.id, e.flags, e.minArgs, e.maxArgs, r.builtin };
}

}  // namespace

USHORT lspModRegister(USHORT count, const LSPMODFUNCDESC *table, LSPMODFUNC fn, bool builtin)
{
    if (!count || !table)
        return ORIN_ERR_GENERAL;
    try {
        Registration r{ fn, {}, {}, builtin };
        r.table.assign(table, table + count);
        for (LSPMODFUNCDESC &d : r.table)
            d.name[LSP_MODFUNC_NAME - 1] = 0;
        KnlQSort(r.table.data(), count, sizeof(LSPMODFUNCDESC), compareDesc);
        r.lower.resize(count);
        for (USHORT i = 0; i < count; i++)
            lowerKey(r.table[i].name, r.lower[i].data());
        regs->push_back(std::move(r));
    } catch (const std::bad_alloc &) {
        return LSPERR_NOMEM;
    }
    return 0;
}

USHORT lspModUnregister(LSPMODFUNC fn)
{
    std::erase_if(*regs, [fn](const Registration &r) { return r.fn == fn; });
    releaseIfEmpty();
    return 0;
}

void lspModDropNewest()
{
    if (!regs->empty())
        regs->pop_back();
    releaseIfEmpty();
}

void lspModClear()
{
    Registrations().swap(*regs);
}

bool lspModExists(const char *name, USHORT *regNo, USHORT *id)
{
    char low[LSP_MODFUNC_NAME];
    size_t index;
    const LSPMODFUNCDESC *e;
    if (!resolveRef(name, &index, &e)) {
        lowerKey(name, low);
        if (!findFrom(regs->size(), low, &index, &e))
            return false;
    }
    *regNo = static_cast<USHORT>(index + 1);
    *id = e->id;
    return true;
}

PLSPLIST lspModCall(LSPSESSION *s, const char *name, PLSPLIST args, bool *found,
                    unsigned int *err)
{
    char low[LSP_MODFUNC_NAME];
    CallArgs callArgs{ args, Tree() };
    PLSPLIST result = nullptr;
    size_t index;
    const LSPMODFUNCDESC *e;

    *found = false;
    if (resolveRef(name, &index, &e)) {
        result = callTarget(targetOf(index, *e), s, callArgs, err);
        *found = result || *err;
        return result;
    }
    lowerKey(name, low);
    for (size_t from = regs->size(); !*found && !*err && findFrom(from, low, &index, &e);
         from = index) {
        result = callTarget(targetOf(index, *e), s, callArgs, err);
        *found = result || *err;
        if (index > regs->size())
            index = regs->size();      // registrations went while it ran
    }
    return result;
}

}  // namespace orin::lsp
