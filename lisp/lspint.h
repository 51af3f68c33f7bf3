/*
 * lspint.h - internal interface of the Lisp interpreter: the node pool and
 * node operations, the symbol table, the reader, the evaluator, the module
 * registrations and the builtin dispatchers.  Not exported.
 *
 * Ownership is strict throughout: every function returning a node chain
 * hands it to the caller, who frees it with lspFreeTree.  The top nodes
 * of such a chain are the caller's alone; the elements of its lists may
 * be shared with other values (see lsp_node.c) and are never changed in
 * place.  Every evaluator call takes an error word and does nothing once
 * it is non-zero.
 */
#ifndef LSPINT_H
#define LSPINT_H

#include "lsp.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- limits ---- */
#define LSP_POOL_SLOTS      100      /* nodes per pool block */
#define LSP_NUM_BUFS        6        /* rotating conversion buffers */
#define LSP_NUM_BUFSIZE     56
#define LSP_SYMNAME_MAX     127      /* symbol names are compared up to this */
#define LSP_LASTERR_SIZE    1000
#define LSP_CALLSTACK_MAX   25
#define LSP_CALLSTACK_DROP  5        /* entries discarded when the stack is full */

/* Nesting bound.  Evaluation, copying and printing recurse on the machine
 * stack, so a runaway recursion or a deeply nested input would overflow
 * it.  Every recursive walk counts its depth and fails with LSPERR_NOMEM
 * beyond LSP_MAX_DEPTH.  One level of Lisp function call costs about three
 * evaluation levels (the call, its body form, the argument form); with
 * frames of well under 1 KB per level the bound keeps the interpreter
 * inside 512 KB of stack, half the smallest default thread stack. */
#define LSP_MAX_DEPTH       1500

/* ---- session ---- */
typedef struct _LSPSESSION {
    ULONGLONG bufferSize;
    void *userData;
    PLSPLIST callStack[LSP_CALLSTACK_MAX];
    ULONGLONG depth;
    /* internal */
    ULONG evalDepth;                 /* current nesting of lspEval */
    BOOL discardNext;                /* the next lspEval's value will be dropped */
    BOOL callDiscard;                /* the running dispatcher's value will be dropped */
} LSPSESSION;

/* Bytes of the character at p: 2 for a lead byte followed by a trail
 * byte of the ANSI code page, else 1.  Texts are walked with this so that
 * a trail byte equal to '\\' is never taken for an escape. */
size_t lspCharLen(const char *p);

/* ---- heap (lsp_pool.c) ----
 * Every heap block of the interpreter goes through these, which keep a
 * count of live blocks so that leak checks can see the heap as well as
 * the node pool. */
void *lspMalloc(size_t size);
void *lspCalloc(size_t count, size_t size);
void  lspMemFree(void *p);
LONG  lspHeapBlocks(void);

/* ---- node pool (lsp_pool.c), nodes (lsp_node.c), conversions (lsp_conv.c) ---- */
PLSPLIST lspNodeAlloc(void);
void     lspNodeFree(PLSPLIST node);
void     lspReleaseValue(PLSPLIST n);         /* drops a node's text, if any */
PLSPLIST lspAttach(PLSPLIST parent, PLSPLIST node);
PLSPLIST lspNodeMake(PLSPLIST parent, const char *text, USHORT type);
PLSPLIST lspNewLong(PLSPLIST parent, LONG v);
PLSPLIST lspNewDouble(PLSPLIST parent, double v, USHORT type);
PLSPLIST lspNewNil(PLSPLIST parent);
PLSPLIST lspNewTruth(PLSPLIST parent, int truth);
PLSPLIST lspNewText(PLSPLIST parent, const char *text, USHORT type);
PLSPLIST lspNewList(PLSPLIST parent);          /* open, empty */
BOOL     lspListClose(PLSPLIST list);
/* A closed list over the elements of closed list `list` after its first
 * (which must exist), shared with it. */
PLSPLIST lspListRest(PLSPLIST list);
/* A closed list of `first` followed by the elements of `tail` (nil or a
 * list); both are the caller's and pass to the new list, tail's elements
 * moving out of it. */
PLSPLIST lspListCons(PLSPLIST first, PLSPLIST tail);
BOOL     lspListReopen(PLSPLIST list);
BOOL     lspSetLong(PLSPLIST n, LONG v);
BOOL     lspSetDouble(PLSPLIST n, double v);
BOOL     lspSetDateTime(PLSPLIST n, double v);
BOOL     lspSetNil(PLSPLIST n);
BOOL     lspSetTruth(PLSPLIST n, int truth);
BOOL     lspSetText(PLSPLIST n, const char *text, USHORT type);
PLSPLIST lspShare(PLSPLIST n);              /* one more reference to n */
PLSPLIST lspNodeCopy(PLSPLIST n);
PLSPLIST lspChainCopy(PLSPLIST chain, PLSPLIST parent);
PLSPLIST lspChainCopyNilEmpty(PLSPLIST chain, PLSPLIST parent);
PLSPLIST lspChainCopyPrivate(PLSPLIST chain);   /* deep, nothing shared */
PLSPLIST lspWrapChain(PLSPLIST chain);
PLSPLIST lspTreeCopy(PLSPLIST n);           /* node and its elements, not siblings */
PLSPLIST lspTreeCopyNilEmpty(PLSPLIST n);
BOOL     lspNilEmptyOwned(PLSPLIST chain);
BOOL     lspListIsClean(PLSPLIST n);
void     lspFreeTree(PLSPLIST node);
void     lspFreeRest(PLSPLIST node);
ULONG    lspCountChain(PLSPLIST node);
PLSPLIST lspLastOf(PLSPLIST node);
PLSPLIST lspDetachFirst(PLSPLIST *chain);

/* Mark in the value of a closed list: no element at any depth is an
 * empty list (lsp_node.c). */
#define LSP_LIST_CLEAN   1

#define LSP_IS_LIST(n)   ((n) && ((n)->type & LSP_T_LIST))
#define LSP_IS_TEXT(n)   ((n) && ((n)->type == LSP_T_SYMBOL || (n)->type == LSP_T_STRING))

/* conversions */
BOOL        lspValueFromText(PLSPLIST n, const char *text, USHORT type);
const char *lspNodeText(PLSPLIST n);
double      lspNodeDouble(PLSPLIST n);
LONG        lspNodeLong(PLSPLIST n);
int         lspNodeTruth(PLSPLIST n);
size_t      lspPrint(PLSPLIST n, char *buf, size_t size);
size_t      lspEscape(const char *src, char *dst, size_t size);
void        lspUnescape(char *text);
const char *lspTypeName(USHORT type);
USHORT      lspTypeCode(const char *name);
BOOL        lspParseNumber(const char *text, double *out);

/* pool statistics */
ULONG     lspPoolNodesUsed(void);
ULONGLONG lspPoolMemUsed(void);

/* ---- symbol table (lsp_sym.c) ---- */
#define LSP_SYM_VAR     100
#define LSP_SYM_DEFUN   110
#define LSP_SYM_MACRO   120

typedef struct _LSPSYM {
    char *name;
    PLSPLIST value;
    struct _LSPSYM *newer;
    struct _LSPSYM *older;
    USHORT kind;
    struct _LSPSYM *sameHash;        /* next older record in its hash bucket */
} LSPSYM;

LSPSYM *lspSymFind(const char *name);
LSPSYM *lspSymNewest(void);
BOOL    lspSymBind(const char *name, PLSPLIST chain, USHORT kind);
BOOL    lspSymBindOwned(const char *name, PLSPLIST chain, USHORT kind);
BOOL    lspSymDefine(const char *name, PLSPLIST chain, USHORT kind);
BOOL    lspSymAssign(const char *name, PLSPLIST chain);
BOOL    lspSymAssignOwned(const char *name, PLSPLIST owned);
BOOL    lspSymUnbind(const char *name);
void    lspSymClear(void);
ULONGLONG lspSymMemUsed(void);
void    lspSymHold(void);
void    lspSymRelease(void);
void    lspLowerName(const char *name, char *out);   /* out: LSP_SYMNAME_MAX+1 */

/* ---- reader (lsp_read.c) ---- */
PLSPLIST lspReadFeed(LSPSESSION *s, PLSPLIST chain, const char *text, size_t *pos,
                     BOOL flush, unsigned int *err);
PLSPLIST lspParseText(LSPSESSION *s, const char *text, unsigned int *err);
size_t   lspSplitExpr(LSPSESSION *s, char **source, char *work, size_t size);
void     lspReaderReset(void);

/* ---- evaluator (lsp_eval.c) ---- */
extern char lspLastErr[LSP_LASTERR_SIZE];
extern LSPSESSION *lspActive;
extern LSPERRORFUNC lspErrorFn;
extern LSPTRACEFUNC lspTraceFn;
extern ULONG lspTraceSwitch;

unsigned int lspFail(unsigned int *err, unsigned int code, const char *text);
unsigned int lspFailf(unsigned int *err, unsigned int code, const char *fmt, ...);
PLSPLIST lspEval(LSPSESSION *s, PLSPLIST node, unsigned int *err);
PLSPLIST lspEvalArgs(LSPSESSION *s, PLSPLIST chain, unsigned int *err);
PLSPLIST lspCallByName(LSPSESSION *s, const char *name, PLSPLIST args, unsigned int *err);
PLSPLIST lspHandleError(LSPSESSION *s, unsigned int *err);
void     lspEvalText(LSPSESSION *s, char *text, unsigned int *err);
PLSPLIST lspEvalString(LSPSESSION *s, const char *text, unsigned int *err);
PLSPLIST lspPathLookup(const char *path, unsigned int *err);
BOOL     lspPathAssign(const char *path, PLSPLIST value, unsigned int *err);
int      lspDefaultTrace(void *session, void *userData, const char *fn,
                         PLSPLIST args, unsigned int *error);
void     lspBreakTimerStop(void);
BOOL     lspBreakPending(void);

/* ---- module registrations (lsp_mod.c) ---- */
typedef struct _LSPMODREG {
    struct _LSPMODREG *next;        /* older registration */
    LSPMODFUNC fn;
    LSPMODFUNCDESC *table;          /* sorted copy */
    char (*lower)[LSP_MODFUNC_NAME];  /* its names in lower case, same order */
    USHORT count;
    BOOL builtin;                   /* ours: takes arguments as they are */
} LSPMODREG;

USHORT lspModRegister(USHORT count, const LSPMODFUNCDESC *table, LSPMODFUNC fn,
                      BOOL builtin);
USHORT lspModUnregister(LSPMODFUNC fn);
void   lspModClear(void);
BOOL   lspModExists(const char *name, USHORT *regNo, USHORT *id);
PLSPLIST lspModCall(LSPSESSION *s, const char *name, PLSPLIST args, BOOL *found,
                    unsigned int *err);

/* ---- builtins ---- */
void lspBuiltinsRegister(void);
void lspBuiltinsUnregister(void);
PLSPLIST lspBiCore(void *session, void *userData, unsigned short id, PLSPLIST args,
                   unsigned int *err);
PLSPLIST lspBiStrTable(void *session, void *userData, unsigned short id, PLSPLIST args,
                       unsigned int *err);
PLSPLIST lspBiMath(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
PLSPLIST lspBiStr(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
PLSPLIST lspBiFile(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
PLSPLIST lspBiHandle(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
void     lspFilesCloseAll(void);
PLSPLIST lspBiFileStrTable(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
const char *lspDateTimeArgText(PLSPLIST n, char *buf, size_t size);
PLSPLIST lspBiSysVar(LSPSESSION *s, USHORT id, PLSPLIST args, unsigned int *err);
const char *lspArgText(LSPSESSION *s, PLSPLIST n, char *buf, size_t size);
PLSPLIST lspBiDllFunc(LSPSESSION *s, PLSPLIST args, unsigned int *err);

/* Window-layer query used by the break check (lsp_brk.c). */
BOOL lspWinBreakKeyPressed(void);

#ifdef __cplusplus
}
#endif

#endif /* LSPINT_H */
