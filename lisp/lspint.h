/*
 * lspint.h - internal interface of the Lisp interpreter: the session
 * record, the node pool and node operations, the symbol table, the
 * reader, the evaluator, the module registrations and the builtin
 * dispatchers.  Not exported.
 *
 * Ownership is strict throughout: every function returning a node chain
 * hands it to the caller, who frees it with lspFreeTree (or holds it in a
 * Tree).  The top nodes of such a chain are the caller's alone; the
 * elements of its lists may be shared with other values (see
 * lsp_node.cpp) and are never changed in place.  Every evaluator call
 * takes an error word and does nothing once it is non-zero.
 *
 * Threads: the interpreter's state is process-wide by design - one node
 * pool, one symbol table, one list of module registrations, one reader,
 * one last-error text, one set of callbacks and one active session,
 * shared by every session.  The Lisp family belongs to one thread: only
 * one thread may use it at a time, and none of that state is locked.
 */
#ifndef ORIN_LISP_LSPINT_H
#define ORIN_LISP_LSPINT_H

#include <cstddef>
#include <cstdint>
#include "lsp.h"
#include "lisp/lsp_mem.h"

namespace orin::lsp {

/* ---- limits ---- */
inline constexpr int kPoolSlots = 100;           // nodes per pool block
inline constexpr int kNumBufs = 6;               // rotating conversion buffers
inline constexpr std::size_t kNumBufSize = 56;
inline constexpr std::size_t kSymNameMax = 127;  // symbol names are compared up to this
inline constexpr std::size_t kLastErrSize = 1000;
inline constexpr int kCallStackMax = 25;
inline constexpr int kCallStackDrop = 5;         // entries discarded when the stack is full

/* Nesting bound.  Evaluation, copying and printing recurse on the machine
 * stack, so a runaway recursion or a deeply nested input would overflow
 * it.  Every recursive walk counts its depth and fails with LSPERR_NOMEM
 * beyond kMaxDepth.  One level of Lisp function call costs about three
 * evaluation levels (the call, its body form, the argument form); with
 * frames of well under 1 KB per level the bound keeps the interpreter
 * inside 512 KB of stack, half the smallest default thread stack. */
inline constexpr int kMaxDepth = 1500;

/* ---- the node and the descriptor: their layouts are interface ---- */
static_assert(sizeof(LSPLIST) == 62, "a node fills one 62-byte slot");
static_assert(offsetof(LSPLIST, up) == 4 && offsetof(LSPLIST, down) == 12 &&
              offsetof(LSPLIST, prev) == 20 && offsetof(LSPLIST, next) == 28 &&
              offsetof(LSPLIST, type) == 36 && offsetof(LSPLIST, value) == 38 &&
              offsetof(LSPLIST, inlineText) == 46, "packed node fields");
static_assert(sizeof(LSPMODFUNCDESC) == 64, "a module-function descriptor is 64 bytes");
static_assert(offsetof(LSPMODFUNCDESC, id) == 56 && offsetof(LSPMODFUNCDESC, flags) == 58 &&
              offsetof(LSPMODFUNCDESC, minArgs) == 60 && offsetof(LSPMODFUNCDESC, maxArgs) == 62,
              "descriptor fields");

/* ---- session ---- */
struct LSPSESSION {
    ULONGLONG bufferSize;            // every text buffer of the session has this size
    void *userData;                  // handed to module functions and the trace function
    PLSPLIST callStack[kCallStackMax];
    ULONGLONG depth;
    /* internal */
    ULONG evalDepth;                 // current nesting of lspEval
    BOOL discardNext;                // the next lspEval's value will be dropped
    BOOL callDiscard;                // the running dispatcher's value will be dropped
    ULONG running;                   // evaluations in progress: the session cannot end
};
static_assert(offsetof(LSPSESSION, userData) == 8 && offsetof(LSPSESSION, callStack) == 16 &&
              offsetof(LSPSESSION, depth) == 16 + kCallStackMax * sizeof(PLSPLIST),
              "the session record starts with the fields a host may know");

/* The live session behind a handle, or null for a null, closed or
 * made-up value (lsp_host.cpp).  Reads nothing through the handle. */
LSPSESSION *lspSessionOf(const void *handle) noexcept;

/* Bytes of the character at p: 2 for a lead byte followed by a trail
 * byte of the ANSI code page, else 1.  Texts are walked with this so that
 * a trail byte equal to '\\' is never taken for an escape. */
size_t lspCharLen(const char *p);

/* ---- node pool (lsp_pool.cpp), nodes (lsp_node.cpp), conversions (lsp_conv.cpp) ---- */
PLSPLIST lspNodeAlloc() noexcept;
void     lspNodeFree(PLSPLIST node) noexcept;
void     lspReleaseValue(PLSPLIST n);         // drops a node's text, if any
PLSPLIST lspAttach(PLSPLIST parent, PLSPLIST node);
PLSPLIST lspNodeMake(PLSPLIST parent, const char *text, USHORT type);
PLSPLIST lspNewLong(PLSPLIST parent, LONG v);
PLSPLIST lspNewDouble(PLSPLIST parent, double v, USHORT type);
PLSPLIST lspNewNil(PLSPLIST parent);
PLSPLIST lspNewTruth(PLSPLIST parent, int truth);
PLSPLIST lspNewText(PLSPLIST parent, const char *text, USHORT type);
PLSPLIST lspNewList(PLSPLIST parent);          // open, empty
bool     lspListClose(PLSPLIST list);
/* A closed list over the elements of closed list `list` after its first
 * (which must exist), shared with it. */
PLSPLIST lspListRest(PLSPLIST list);
/* A closed list of `first` followed by the elements of `tail` (nil or a
 * list); both are the caller's and pass to the new list, tail's elements
 * moving out of it. */
PLSPLIST lspListCons(PLSPLIST first, PLSPLIST tail);
bool     lspListReopen(PLSPLIST list);
void     lspSetLong(PLSPLIST n, LONG v);
void     lspSetDouble(PLSPLIST n, double v);
void     lspSetDateTime(PLSPLIST n, double v);
void     lspSetNil(PLSPLIST n);
bool     lspSetTruth(PLSPLIST n, int truth);
bool     lspSetText(PLSPLIST n, const char *text, USHORT type);
PLSPLIST lspShare(PLSPLIST n);              // one more reference to n
PLSPLIST lspNodeCopy(PLSPLIST n);
PLSPLIST lspChainCopy(PLSPLIST chain, PLSPLIST parent);
PLSPLIST lspChainCopyNilEmpty(PLSPLIST chain, PLSPLIST parent);
PLSPLIST lspChainCopyPrivate(PLSPLIST chain);   // deep, nothing shared
PLSPLIST lspWrapChain(PLSPLIST chain);
PLSPLIST lspTreeCopy(PLSPLIST n);           // node and its elements, not siblings
PLSPLIST lspTreeCopyNilEmpty(PLSPLIST n);
bool     lspNilEmptyOwned(PLSPLIST chain);
bool     lspListIsClean(PLSPLIST n);
void     lspFreeRest(PLSPLIST node);
ULONG    lspCountChain(PLSPLIST node);
PLSPLIST lspLastOf(PLSPLIST node);
PLSPLIST lspDetachFirst(PLSPLIST *chain);

/* Mark in the value of a closed list: no element at any depth is an
 * empty list (lsp_node.cpp). */
inline constexpr LONG kListClean = 1;

inline bool isList(const LSPLIST *n) { return n && (n->type & LSP_T_LIST); }
inline bool isText(const LSPLIST *n)
{
    return n && (n->type == LSP_T_SYMBOL || n->type == LSP_T_STRING);
}

/* conversions */
bool        lspValueFromText(PLSPLIST n, const char *text, USHORT type);
const char *lspNodeText(PLSPLIST n);
double      lspNodeDouble(PLSPLIST n);
LONG        lspNodeLong(PLSPLIST n);
int         lspNodeTruth(PLSPLIST n);
size_t      lspPrint(PLSPLIST n, char *buf, size_t size);
size_t      lspEscape(const char *src, char *dst, size_t size);
void        lspUnescape(char *text);
const char *lspTypeName(USHORT type);
USHORT      lspTypeCode(const char *name);
bool        lspParseNumber(const char *text, double *out);

/* pool statistics */
ULONG     lspPoolNodesUsed() noexcept;
ULONGLONG lspPoolMemUsed() noexcept;

/* ---- symbol table (lsp_sym.cpp) ---- */
inline constexpr USHORT LSP_SYM_VAR = 100;
inline constexpr USHORT LSP_SYM_DEFUN = 110;
inline constexpr USHORT LSP_SYM_MACRO = 120;

/* One binding: a variable's value or a function's definition chain. */
struct LSPSYM {
    const char *name;                // lower case; the table keeps the text
    PLSPLIST value;
    USHORT kind;
};

LSPSYM *lspSymFind(const char *name);
bool    lspSymBind(const char *name, PLSPLIST chain, USHORT kind);
bool    lspSymBindOwned(const char *name, PLSPLIST chain, USHORT kind);
bool    lspSymDefine(const char *name, PLSPLIST chain, USHORT kind);
bool    lspSymAssign(const char *name, PLSPLIST chain);
bool    lspSymAssignOwned(const char *name, PLSPLIST owned);
bool    lspSymUnbind(const char *name);
void    lspSymClear();
ULONGLONG lspSymMemUsed();
/* The names of all records, newest first, as symbols in a closed list
 * (nil when there are none); null when memory runs out. */
PLSPLIST lspSymNameList();

/* ---- reader (lsp_read.cpp) ---- */
PLSPLIST lspReadFeed(LSPSESSION *s, PLSPLIST chain, const char *text, size_t *pos,
                     bool flush, unsigned int *err);
PLSPLIST lspParseText(LSPSESSION *s, const char *text, unsigned int *err);
size_t   lspSplitExpr(LSPSESSION *s, char **source, char *work, size_t size);
void     lspReaderReset();

/* ---- evaluator (lsp_eval.cpp) ---- */
extern char lspLastErr[kLastErrSize];
extern LSPSESSION *lspActive;
extern LSPERRORFUNC lspErrorFn;
extern LSPTRACEFUNC lspTraceFn;
extern ULONG lspTraceSwitch;

unsigned int lspFail(unsigned int *err, unsigned int code, const char *text);
unsigned int lspFailf(unsigned int *err, unsigned int code, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));
unsigned int lspFailNoMem(unsigned int *err);
/* The error word for the exception being handled (call inside a catch):
 * out of memory for std::bad_alloc, else a general failure. */
unsigned int lspFailException(unsigned int *err) noexcept;
PLSPLIST lspEval(LSPSESSION *s, PLSPLIST node, unsigned int *err);
PLSPLIST lspEvalArgs(LSPSESSION *s, PLSPLIST chain, unsigned int *err);
PLSPLIST lspCallByName(LSPSESSION *s, const char *name, PLSPLIST args, unsigned int *err);
PLSPLIST lspHandleError(LSPSESSION *s, unsigned int *err);
void     lspEvalText(LSPSESSION *s, char *text, unsigned int *err);
PLSPLIST lspEvalString(LSPSESSION *s, const char *text, unsigned int *err);
PLSPLIST lspPathLookup(const char *path, unsigned int *err);
bool     lspPathAssign(const char *path, PLSPLIST value, unsigned int *err);
int      lspDefaultTrace(void *session, void *userData, const char *fn,
                         PLSPLIST args, unsigned int *error);

/* ---- break check (lsp_brk.cpp) ---- */
bool lspBreakPending();
void lspBreakTimerStop();
bool lspWinBreakKeyPressed();

/* ---- module registrations (lsp_mod.cpp) ---- */
USHORT lspModRegister(USHORT count, const LSPMODFUNCDESC *table, LSPMODFUNC fn, bool builtin);
USHORT lspModUnregister(LSPMODFUNC fn);
void   lspModDropNewest();
void   lspModClear();
bool   lspModExists(const char *name, USHORT *regNo, USHORT *id);
PLSPLIST lspModCall(LSPSESSION *s, const char *name, PLSPLIST args, bool *found,
                    unsigned int *err);

/* ---- builtins ---- */
bool lspBuiltinsRegister();
void lspBuiltinsUnregister();
PLSPLIST lspBiCore(void *session, void *userData, unsigned short id, PLSPLIST args,
                   unsigned int *err);
PLSPLIST lspBiStrTable(void *session, void *userData, unsigned short id, PLSPLIST args,
                       unsigned int *err);
PLSPLIST lspBiMath(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
PLSPLIST lspBiStr(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
PLSPLIST lspBiFile(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
PLSPLIST lspBiHandle(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
void     lspFilesCloseAll();
PLSPLIST lspBiFileStrTable(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
const char *lspDateTimeArgText(PLSPLIST n, char *buf, size_t size);
PLSPLIST lspBiSysVar(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
const char *lspArgText(LSPSESSION *s, PLSPLIST n, char *buf, size_t size);
PLSPLIST lspBiDllFunc(LSPSESSION *s, PLSPLIST args, unsigned int *err);
/* The mail and telephony table (lsp_mail.cpp). */
bool     lspMailRegister();
void     lspMailUnregister();
PLSPLIST lspBiMail(void *session, void *userData, unsigned short id, PLSPLIST args,
                   unsigned int *err);

/* A new node, or the out-of-memory error and null. */
inline PLSPLIST lspMade(PLSPLIST n, unsigned int *err)
{
    if (!n)
        lspFailNoMem(err);
    return n;
}

}  // namespace orin::lsp

#endif  // ORIN_LISP_LSPINT_H
