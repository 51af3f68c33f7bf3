/*
 * lsp.h - the embedded Lisp interpreter, VelaLISP: sessions, evaluation of
 * source text, module functions registered by the host, result and
 * argument nodes, variables, and the error and trace callbacks.
 *
 * Every value is a tree of LSPLIST nodes.  A chain is a run of siblings
 * linked by next/prev; a list node's elements are the chain at `down`.
 * Evaluation errors arrive as an error word (0 = success) plus a
 * process-wide last-error text (LspGetLastErr).  A closed or unknown
 * session handle is refused with LSPERR_HANDLE.
 *
 * The interpreter's state (node pool, symbol table, module registrations,
 * callbacks, active session) is process-wide and shared by all sessions;
 * the family must be used from one thread at a time.
 */
#ifndef LSP_H
#define LSP_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

/* Node types. */
#define LSP_T_NIL       0
#define LSP_T_SYMBOL    1
#define LSP_T_STRING    2
#define LSP_T_INTEGER   3
#define LSP_T_FLOAT     4
#define LSP_T_DATETIME  5
#define LSP_T_LIST      0x8000
#define LSP_T_OPENLIST  0x8001

#define LSP_INLINE_TEXT 16   /* texts shorter than this live in the node */

/* One node: a packed 62-byte record that fills one pool slot. */
#pragma pack(push, 1)
typedef struct _LSPLIST {
    ULONG inUse;                 /* 1 while the slot holds a live node */
    struct _LSPLIST *up;         /* first element only: the owning list */
    struct _LSPLIST *down;       /* list node: its first element */
    struct _LSPLIST *prev;
    struct _LSPLIST *next;
    USHORT type;
    union {
        LONG l;
        double d;
        char *psz;
    } value;
    char inlineText[LSP_INLINE_TEXT];
} LSPLIST, *PLSPLIST;
#pragma pack(pop)

/* One entry of a module-function table (64 bytes). */
#define LSP_MODFUNC_NAME   56
#define LSP_MF_SPECIAL     0x0001   /* arguments passed unevaluated */
#define LSP_ARGS_NOMAX     0xFFFF
typedef struct _LSPMODFUNCDESC {
    char   name[LSP_MODFUNC_NAME];
    USHORT id;
    USHORT flags;
    USHORT minArgs;
    USHORT maxArgs;
} LSPMODFUNCDESC, *PLSPMODFUNCDESC;

/* Error codes; the Lisp-level error number is the code minus LSPERR_BASE. */
#define LSPERR_BASE          0xE013
#define LSPERR_HANDLE        0xE014   /* bad handle, missing argument, unbound value */
#define LSPERR_NOMEM         0xE015   /* out of memory; also nesting too deep */
#define LSPERR_TOOLONG       0xE017
#define LSPERR_UNCLOSED      0xE01F
#define LSPERR_NOOPEN        0xE020
#define LSPERR_TOOFEW        0xE021
#define LSPERR_TOOMANY       0xE022
#define LSPERR_LINEBREAK     0xE023
#define LSPERR_NOTFOUND      0xE028   /* program file not found, also not along the search path */
#define LSPERR_OPEN          0xE029   /* program file could not be opened or created */
#define LSPERR_NOTLSQ        0xE02A   /* not a stored query file (short header or wrong magic) */
#define LSPERR_WRITE         0xE02B   /* writing a stored query file failed */
#define LSPERR_STRTABLE      0xE02C   /* stored query string table shorter than its header or records say */
#define LSPERR_BADFILE       0xE02D
#define LSPERR_SYSVAR        0xE032
#define LSPERR_SYSVARRO      0xE033
#define LSPERR_DEFINE        0xE034
#define LSPERR_PARAMS        0xE035
#define LSPERR_ASSIGN        0xE036
#define LSPERR_DIVZERO       0xE037
#define LSPERR_NOTSYMBOL     0xE038
#define LSPERR_UNKNOWNFN     0xE039
#define LSPERR_TYPE          0xE03A
#define LSPERR_TRACESTOP     0xE046
#define LSPERR_BREAK         0xE047
#define LSPERR_INHANDLER     0xE048
#define LSPERR_REPORTED      0xE049

typedef void *HLSPSESSION;

typedef PLSPLIST (*LSPMODFUNC)(void *session, void *userData, unsigned short id,
                               PLSPLIST args, unsigned int *error);
typedef unsigned int (*LSPERRORFUNC)(void *session, unsigned int code,
                                     const char *traceback, const char *message);
typedef int (*LSPTRACEFUNC)(void *session, void *userData, const char *functionName,
                            PLSPLIST args, unsigned int *error);

/* Sessions and evaluation */
HLSPSESSION ORINAPI LspSessionStart(unsigned short bufferSize, void *userData) ORIN_NOEXCEPT;
USHORT ORINAPI LspSessionEnd(HLSPSESSION session) ORIN_NOEXCEPT;
USHORT ORINAPI LspSession(const char *text, char *result, unsigned short bufferSize,
                          void *userData) ORIN_NOEXCEPT;
USHORT ORINAPI LspParseExpressions(HLSPSESSION session, const char *text, char *result,
                                   unsigned short resultSize, void *userData) ORIN_NOEXCEPT;
HLSPSESSION ORINAPI LspQueryActiveSession(void) ORIN_NOEXCEPT;
const char *ORINAPI LspFindExprEnd(const char *text) ORIN_NOEXCEPT;

/* Callbacks and errors */
USHORT ORINAPI LspSetErrorFunction(HLSPSESSION session, LSPERRORFUNC fn) ORIN_NOEXCEPT;
USHORT ORINAPI LspSetTraceFunction(HLSPSESSION session, LSPTRACEFUNC fn) ORIN_NOEXCEPT;
void   ORINAPI LspGetLastErr(HLSPSESSION session, char *buffer, unsigned short size) ORIN_NOEXCEPT;
unsigned int ORINAPI LspSetLastErr(HLSPSESSION session, unsigned int code, const char *text) ORIN_NOEXCEPT;

/* Module functions */
USHORT ORINAPI LspModFuncRegister(HLSPSESSION session, unsigned short count,
                                  const LSPMODFUNCDESC *table, LSPMODFUNC fn) ORIN_NOEXCEPT;
USHORT ORINAPI LspModFuncUnregister(HLSPSESSION session, LSPMODFUNC fn) ORIN_NOEXCEPT;

/* Result building */
PLSPLIST ORINAPI LspResAddString(HLSPSESSION s, PLSPLIST prev, const char *text, unsigned int *error) ORIN_NOEXCEPT;
PLSPLIST ORINAPI LspResAddLong(HLSPSESSION s, PLSPLIST prev, long value, unsigned int *error) ORIN_NOEXCEPT;
PLSPLIST ORINAPI LspResAddDouble(HLSPSESSION s, PLSPLIST prev, double value, unsigned int *error) ORIN_NOEXCEPT;
PLSPLIST ORINAPI LspResAddDateTime(HLSPSESSION s, PLSPLIST prev, double julian, unsigned int *error) ORIN_NOEXCEPT;
PLSPLIST ORINAPI LspResAddBool(HLSPSESSION s, PLSPLIST prev, int value, unsigned int *error) ORIN_NOEXCEPT;
PLSPLIST ORINAPI LspResAddNil(HLSPSESSION s, PLSPLIST prev, unsigned int *error) ORIN_NOEXCEPT;
PLSPLIST ORINAPI LspResAddList(HLSPSESSION s, PLSPLIST prev, unsigned int *error) ORIN_NOEXCEPT;
PLSPLIST ORINAPI LspResEndList(HLSPSESSION s, PLSPLIST list, unsigned int *error) ORIN_NOEXCEPT;
void     ORINAPI LspResFree(HLSPSESSION s, PLSPLIST node) ORIN_NOEXCEPT;

/* Reading nodes */
USHORT ORINAPI LspCountParams(HLSPSESSION s, PLSPLIST node) ORIN_NOEXCEPT;
char  *ORINAPI LspNodeGetValuePsz(HLSPSESSION s, PLSPLIST node) ORIN_NOEXCEPT;
void   ORINAPI LspNodeGetString(HLSPSESSION s, PLSPLIST node, char *buffer, unsigned short size) ORIN_NOEXCEPT;
long   ORINAPI LspNodeGetLong(HLSPSESSION s, PLSPLIST node) ORIN_NOEXCEPT;
double ORINAPI LspNodeGetDouble(HLSPSESSION s, PLSPLIST node) ORIN_NOEXCEPT;
int    ORINAPI LspNodeGetBool(HLSPSESSION s, PLSPLIST node) ORIN_NOEXCEPT;
USHORT ORINAPI LspMakeListString(HLSPSESSION s, PLSPLIST node, char *buffer, unsigned short size) ORIN_NOEXCEPT;
USHORT ORINAPI LspListEvalToString(HLSPSESSION s, PLSPLIST node, char *buffer, unsigned short size) ORIN_NOEXCEPT;

/* Variables */
USHORT ORINAPI LspSetVarString(HLSPSESSION s, const char *name, const char *value) ORIN_NOEXCEPT;

/* Diagnostics for leak checks: live nodes in the process-wide node pool,
 * and live heap blocks held by the interpreter (texts, symbol records,
 * module tables, buffers). */
ULONG  ORINAPI LspQueryNodesUsed(void) ORIN_NOEXCEPT;
LONG   ORINAPI LspQueryHeapBlocks(void) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* LSP_H */
