/*
 * lsp_dll.cpp - the dllfunc builtin: calls a procedure of a dynamic library
 * named at run time.
 *
 *   (dllfunc library procedure count  kw1 value1 ... kwN valueN)
 *
 * The library is loaded with LoadLibraryA and the procedure found with
 * GetProcAddress; if either fails the value is nil.  Then the argument
 * chain must hold all count pairs (else LSPERR_TOOFEW, "%d instead of
 * %d": arguments given, arguments needed); pairs beyond count are
 * ignored.  Each pair gives one procedure
 * argument, in order:
 *
 *   SHORT        the value as a 16-bit integer (sign-extended)
 *   LONG         the value as a 32-bit integer; 2^31..2^32-1 pass as the
 *                unsigned bit pattern
 *   STRING       a pointer to a private copy of the value's text; a text
 *                "NIL" in any case (and nil itself) passes a null pointer
 *   STRRESULT    a pointer to a result buffer of the session's buffer size
 *   WORDRESULT   holding, before the call, the value's text (STRRESULT) or
 *   SHORTRESULT  its number (the others), so the procedure may read it as
 *   LONGRESULT   an in/out argument
 *
 * Keywords are matched without regard to case; any other keyword fails
 * with LSPERR_PARAMS and the keyword as text.  The value of dllfunc comes
 * from the first result argument, as a string: its text (STRRESULT) or
 * the number it holds formatted "%u" (unsigned 16-bit, WORDRESULT), "%d"
 * (signed 16-bit, SHORTRESULT) or "%ld" (32-bit, LONGRESULT).  Without a
 * result argument the value is the procedure's own return value, its low
 * 32 bits as an integer.  The library is freed after the call, and on
 * every error path once it was loaded.
 *
 * Calling convention: the x64 one, the only one a 64-bit process has.
 * Every argument occupies one 64-bit slot, so the procedure is called
 * through a pointer taking kMaxArgs slots: the unused trailing
 * slots are zero, and since the caller owns and cleans the stack under
 * this convention, a procedure taking fewer arguments never sees them.
 * A count above kMaxArgs fails with LSPERR_TOOMANY, a negative one
 * with LSPERR_TYPE.  What the procedure does with its arguments is beyond
 * the interpreter's control: a procedure given the wrong types can still
 * fault, as it would from any caller.
 */
#include <array>
#include <cstdio>
#include <cstring>
#include "lisp/lspint.h"
#include "frame/scope.h"

namespace orin::lsp {

namespace {

constexpr int kMaxArgs = 16;           // largest number of procedure arguments
constexpr int kFixedArgs = 3;          // library, procedure, count
constexpr size_t kMinResult = 8;       // a result buffer holds at least a 64-bit number

enum DLLARGKIND {
    DLL_ARG_SHORT, DLL_ARG_LONG, DLL_ARG_STRING,
    DLL_ARG_STRRESULT, DLL_ARG_WORDRESULT, DLL_ARG_SHORTRESULT, DLL_ARG_LONGRESULT,
    DLL_ARG_UNKNOWN
};

struct ArgKeyword {
    const char *name;
    DLLARGKIND kind;
};
constexpr ArgKeyword argKeywords[] = {
    { "SHORT", DLL_ARG_SHORT }, { "LONG", DLL_ARG_LONG }, { "STRING", DLL_ARG_STRING },
    { "STRRESULT", DLL_ARG_STRRESULT }, { "WORDRESULT", DLL_ARG_WORDRESULT },
    { "SHORTRESULT", DLL_ARG_SHORTRESULT }, { "LONGRESULT", DLL_ARG_LONGRESULT },
};

/* Every procedure is called through this type (see the calling convention
 * above); it must list exactly kMaxArgs slots. */
using DLLPROC16 = ULONG_PTR (WINAPI *)(ULONG_PTR, ULONG_PTR, ULONG_PTR, ULONG_PTR,
                                       ULONG_PTR, ULONG_PTR, ULONG_PTR, ULONG_PTR,
                                       ULONG_PTR, ULONG_PTR, ULONG_PTR, ULONG_PTR,
                                       ULONG_PTR, ULONG_PTR, ULONG_PTR, ULONG_PTR);

/* The prepared arguments of one call: the slots and the heap blocks
 * (string copies and result buffers) they point to. */
struct DLLCALL {
    std::array<ULONG_PTR, kMaxArgs> slot{};
    std::array<Buffer, kMaxArgs> owned;
    int resultArg = -1;              // index of the first result argument, or -1
    DLLARGKIND resultKind = DLL_ARG_UNKNOWN;
};

DLLARGKIND keywordKind(PLSPLIST kw)
{
    if (!isText(kw))
        return DLL_ARG_UNKNOWN;
    for (const ArgKeyword &k : argKeywords)
        if (_stricmp(kw->value.psz, k.name) == 0)
            return k.kind;
    return DLL_ARG_UNKNOWN;
}

bool isResultKind(DLLARGKIND k)
{
    return k >= DLL_ARG_STRRESULT && k <= DLL_ARG_LONGRESULT;
}

/* A 32-bit argument; values from 2^31 up to 2^32-1 keep their bit pattern
 * so that unsigned flags and handles pass unchanged. */
ULONG longArg(PLSPLIST v)
{
    double d = lspNodeDouble(v);
    if (d >= 2147483648.0 && d < 4294967296.0)
        return (ULONG)d;
    return (ULONG)lspNodeLong(v);
}

/* A zeroed buffer of size bytes holding (the start of) text. */
Buffer textCopy(const char *text, size_t size)
{
    Buffer p(static_cast<char *>(lspCalloc(size, 1)));
    if (p)
        snprintf(p.get(), size, "%s", text);
    return p;
}

/* Fills one slot from a keyword and its value; false when out of memory. */
bool prepareArg(DLLCALL *c, int i, DLLARGKIND kind, PLSPLIST v, size_t bufSize)
{
    const char *text = lspNodeText(v);
    switch (kind) {
    case DLL_ARG_SHORT:
        c->slot[i] = (ULONG_PTR)(LONG_PTR)(SHORT)lspNodeLong(v);
        return true;
    case DLL_ARG_LONG:
        c->slot[i] = (ULONG_PTR)(LONG_PTR)(LONG)longArg(v);
        return true;
    case DLL_ARG_STRING:
        if (_stricmp(text, "NIL") == 0) {
            c->slot[i] = 0;
            return true;
        }
        c->owned[i] = textCopy(text, strlen(text) + 1);
        break;
    case DLL_ARG_STRRESULT:
        c->owned[i] = textCopy(text, bufSize);
        break;
    default: {                       /* numeric result buffers */
        ULONG n = longArg(v);
        c->owned[i].reset(static_cast<char *>(lspCalloc(bufSize, 1)));
        if (c->owned[i])
            memcpy(c->owned[i].get(), &n, sizeof n);
        break;
    }
    }
    c->slot[i] = reinterpret_cast<ULONG_PTR>(c->owned[i].get());
    if (isResultKind(kind) && c->resultArg < 0) {
        c->resultArg = i;
        c->resultKind = kind;
    }
    return c->owned[i] != nullptr;
}

/* The value of the call: the first result buffer as a string, or the
 * procedure's return value. */
PLSPLIST callResult(const DLLCALL *c, ULONG_PTR ret, size_t bufSize)
{
    char num[kNumBufSize];
    char *buf;
    USHORT w;
    LONG l;
    if (c->resultArg < 0)
        return lspNewLong(nullptr, (LONG)(ULONG)ret);
    buf = c->owned[c->resultArg].get();
    memcpy(&w, buf, sizeof w);
    memcpy(&l, buf, sizeof l);
    switch (c->resultKind) {
    case DLL_ARG_STRRESULT:
        buf[bufSize - 1] = '\0';   /* the procedure may have filled it */
        return lspNewText(nullptr, buf, LSP_T_STRING);
    case DLL_ARG_WORDRESULT:  snprintf(num, sizeof num, "%u", (unsigned)w); break;
    case DLL_ARG_SHORTRESULT: snprintf(num, sizeof num, "%d", (int)(SHORT)w); break;
    default:                  snprintf(num, sizeof num, "%ld", (long)l); break;
    }
    return lspNewText(nullptr, num, LSP_T_STRING);
}

/* Reads the pairs into c; sets the error word on a bad keyword or when
 * memory runs out. */
void prepareCall(DLLCALL *c, PLSPLIST pairs, int count, size_t bufSize, unsigned int *err)
{
    for (int i = 0; i < count; i++, pairs = pairs->next->next) {
        DLLARGKIND kind = keywordKind(pairs);
        if (kind == DLL_ARG_UNKNOWN) {
            lspFail(err, LSPERR_PARAMS, lspNodeText(pairs));
            return;
        }
        if (!prepareArg(c, i, kind, pairs->next, bufSize)) {
            lspFailNoMem(err);
            return;
        }
    }
}

/* The count argument: a whole number from 0 to kMaxArgs, given as
 * a number or as numeric text. */
bool validCount(PLSPLIST n, int *count, unsigned int *err)
{
    double d = 0;
    bool number = n->type == LSP_T_INTEGER || n->type == LSP_T_FLOAT;
    if (number)
        d = lspNodeDouble(n);
    else if (!isText(n) || !lspParseNumber(n->value.psz, &d))
        d = -1;
    if (d < 0 || d != (double)(LONG)d) {
        lspFail(err, LSPERR_TYPE, lspNodeText(n));
        return false;
    }
    if (d > kMaxArgs) {
        lspFailf(err, LSPERR_TOOMANY, "%d instead of %d", (int)d, kMaxArgs);
        return false;
    }
    *count = (int)d;
    return true;
}

/* Checks the count and the pairs, then calls; the library stays loaded
 * throughout and is freed by the caller. */
PLSPLIST callProcedure(LSPSESSION *s, DLLPROC16 fn, PLSPLIST countArg, unsigned int *err)
{
    size_t bufSize = static_cast<size_t>(s->bufferSize);
    ULONG given = kFixedArgs - 1 + lspCountChain(countArg);
    int count;

    if (!validCount(countArg, &count, err))
        return nullptr;
    if (given < static_cast<ULONG>(2 * count + kFixedArgs)) {
        lspFailf(err, LSPERR_TOOFEW, "%lu instead of %d", static_cast<unsigned long>(given),
                 2 * count + kFixedArgs);
        return nullptr;
    }
    if (bufSize < kMinResult)
        bufSize = kMinResult;
    DLLCALL call;
    prepareCall(&call, countArg->next, count, bufSize, err);
    if (*err)
        return nullptr;
    const ULONG_PTR *v = call.slot.data();
    ULONG_PTR ret = fn(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7],
                       v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]);
    return lspMade(callResult(&call, ret, bufSize), err);
}

}  // namespace

PLSPLIST lspBiDllFunc(LSPSESSION *s, PLSPLIST a, unsigned int *err)
{
    PLSPLIST proc = a->next;
    if (!isText(a) || !isText(proc)) {
        lspFail(err, LSPERR_TYPE, lspNodeText(isText(a) ? proc : a));
        return nullptr;
    }
    UniqueModule lib(LoadLibraryA(a->value.psz));
    auto fn = lib ? reinterpret_cast<DLLPROC16>(
                        reinterpret_cast<void (*)()>(GetProcAddress(lib.get(), proc->value.psz)))
                  : nullptr;
    if (!fn)
        return lspMade(lspNewNil(nullptr), err);
    return callProcedure(s, fn, proc->next, err);
}

}  // namespace orin::lsp
