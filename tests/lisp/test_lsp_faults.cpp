// The interpreter under hostile conditions: every allocation of a workload
// failing in turn, handles that are wrong or closed, exceptions thrown by a
// host's callbacks, and the window layer's break probe installed or not.
// White-box: it reaches the allocation seam and the probe table.
#include <gtest/gtest.h>
#include <windows.h>
#include <new>
#include <stdexcept>
#include <string>
#include "knl.h"
#include "lsp.h"
#include "lisp/lspint.h"
#include "lisp/lsp_probe.h"
#include "pm/pmbreak.h"
#include "lsp_fixture.h"

using namespace orin::lsp;

namespace {

constexpr unsigned short kBuf = 2048;

PLSPLIST sumFn(void *s, void *, unsigned short, PLSPLIST args, unsigned int *err)
{
    long total = 0;
    for (PLSPLIST a = args; a; a = a->next)
        total += LspNodeGetLong(s, a);
    PLSPLIST list = LspResAddList(s, nullptr, err);
    if (!list)
        return nullptr;
    if (!LspResAddLong(s, list, total, err) || !LspResAddString(s, list->down, "sum of them", err)) {
        LspResFree(s, list);
        return nullptr;
    }
    return LspResEndList(s, list, err);
}

const LSPMODFUNCDESC kSumTable[] = { { "hostsum", 1, 0, 0, LSP_ARGS_NOMAX } };

std::string evalIn(HLSPSESSION s, const char *text, USHORT *rc = nullptr)
{
    char out[kBuf];
    USHORT code = LspParseExpressions(s, text, out, sizeof out, nullptr);
    if (rc)
        *rc = code;
    return out;
}

// One step of the workload: what it needs beforehand, the evaluation
// that runs out of memory, what it answers with memory enough (text and
// code), and one more code it may answer when memory runs out (an error
// inside *error* is reported as such).
struct Step {
    const char *setup;
    const char *work;
    const char *expect;
    USHORT code = 0;
    USHORT alsoAllowed = LSPERR_NOMEM;
};

const Step kWorkload[] = {
    { "", "(defun fact (n) (if (< n 2) 1 (* n (fact (- n 1))))) (fact 6)", "720" },
    { "(defun g (a &rest r / l) (setq l (list a r)) l)",
      "(g 1 2 \"a text longer than sixteen\")", "(1 (2 \"a text longer than sixteen\"))" },
    { "(defun two (a b) (list b a))", "(two (two 1 2) 'x)", "(x (2 1))" },
    { "", "(setq cfg:user:name \"bob\") (setq cfg:user:id 7) cfg", "((user (name \"bob\") (id 7)))" },
    { "", "(strcat \"abc\" (substr \"defghij\" 2 3) (strrepl \"a-b\" \"-\" \"++\"))",
      "abcefga++b" },
    { "", "(cond ((= 1 2) 'no) (t 'yes))", "yes" },
    { "", "(setassoc 'k '((k 1) (j 2)) 5)", "((k 5) (j 2))" },
    { "", "(list (eval \"(+ 1 2)\") (read-from-string \"(a b)\") (coerce '(1 2) 'string))",
      "(3 (a b) \"(1 2)\")" },
    { "(setq v '(1 2 3))", "(list (car v) (cdr v) (cons 0 v) (append v v) (length v))",
      "(1 (2 3) (0 1 2 3) (1 2 3 1 2 3) 3)" },
    { "", "(hostsum 1 2 (+ 3 4))", "(10 \"sum of them\")" },
    { "(defun *error* (n tb msg) n)", "(list 1 (car 5) 3)", "39", LSPERR_TYPE, LSPERR_INHANDLER },
    { "(setq i 0)", "(while (< i 5) (setq i (+ i 1))) (getsysvar \"NODESUSED\") i", "5" },
    { "(setq h (fopen \"lsq_fault.lsp\" 1)) "
      "(fputs h \"(setq q '(a \\\"a text longer than sixteen\\\" 3 (4.5 nil))) (list q 7)\") (fclose h)",
      "(lsp2lsq \"lsq_fault.lsp\" \"lsq_fault.lsq\") "
      "(list (load \"lsq_fault.lsp\") (load \"lsq_fault.lsq\"))",
      "(((a \"a text longer than sixteen\" 3 (4.5 NIL)) 7) ((a \"a text longer than sixteen\" 3 (4.5 NIL)) 7))" },
};

// Runs one step in a fresh session with the nth allocation of its work
// failing.  Answers whether the failure was reached.
bool runWithFailure(const Step &st, std::uint64_t nth, const std::string &where)
{
    ULONG nodes = LspQueryNodesUsed();
    LONG heap = LspQueryHeapBlocks();
    HLSPSESSION s = LspSessionStart(kBuf, nullptr);
    EXPECT_NE(s, nullptr);
    if (!s)
        return false;
    EXPECT_EQ(LspModFuncRegister(s, 1, kSumTable, sumFn), 0);
    USHORT rc;
    evalIn(s, "(setq a 'outer)");
    evalIn(s, st.setup, &rc);
    EXPECT_EQ(rc, 0) << where;

    allocationSeam.inject(nth);
    std::string got = evalIn(s, st.work, &rc);
    bool reached = allocationSeam.counted() >= nth;
    allocationSeam.inject(0);

    if (rc == st.code) {
        EXPECT_EQ(got, st.expect) << where;
    } else if (rc != st.alsoAllowed) {
        EXPECT_EQ(rc, LSPERR_NOMEM) << where;
    }
    // the caller's binding of a name the work binds is intact, and the
    // session goes on working
    EXPECT_EQ(evalIn(s, "a"), "outer") << where;
    EXPECT_EQ(evalIn(s, st.work, &rc), st.expect) << where;
    EXPECT_EQ(rc, st.code) << where;
    EXPECT_EQ(LspSessionEnd(s), 0);
    EXPECT_EQ(LspQueryNodesUsed(), nodes) << where << ": nodes left";
    EXPECT_EQ(LspQueryHeapBlocks(), heap) << where << ": heap blocks left";
    return reached;
}

class LispFaults : public LispSessionTest {};

TEST_F(LispFaults, EveryAllocationOfAWorkloadMayFail)
{
    int failures = 0;
    for (const Step &st : kWorkload) {
        bool reached = true;
        for (std::uint64_t nth = 1; reached; nth++) {
            std::string where = std::string(st.work) + " failing allocation " + std::to_string(nth);
            reached = runWithFailure(st, nth, where);
            failures += reached;
            if (::testing::Test::HasFailure())
                return;
        }
    }
    EXPECT_GT(failures, 500);

}

TEST_F(LispFaults, StartingASessionWithoutMemoryLeavesNothing)
{
    ULONG nodes = LspQueryNodesUsed();
    LONG heap = LspQueryHeapBlocks();
    int started = 0, refused = 0;
    for (std::uint64_t nth = 1;; nth++) {
        allocationSeam.inject(nth);
        HLSPSESSION s = LspSessionStart(kBuf, nullptr);
        bool reached = allocationSeam.counted() >= nth;
        allocationSeam.inject(0);
        if (s) {
            started++;
            EXPECT_EQ(evalIn(s, "(+ 1 2)"), "3") << nth;
            EXPECT_EQ(LspSessionEnd(s), 0);
        } else {
            refused++;
        }
        EXPECT_EQ(LspQueryNodesUsed(), nodes) << nth;
        ASSERT_EQ(LspQueryHeapBlocks(), heap) << nth;
        if (!reached)
            break;
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(started, 100);     // the prelude failed partway, the session stands
}

// A call whose binding runs out of memory after its first parameter must
// unbind that one only: the caller's bindings of the others stay.
TEST_F(LispFaults, PartialBindingKeepsTheCallersBindings)
{
    startSession(kBuf, nullptr);
    evalIn(s, "(setq a 'outer-a) (setq b 'outer-b) (setq c 'outer-c) (defun f (a b c) (list a b c))");
    int bindFailures = 0;
    for (std::uint64_t nth = 1;; nth++) {
        USHORT rc;
        allocationSeam.inject(nth);
        std::string got = evalIn(s, "(f 1 2 3)", &rc);
        bool reached = allocationSeam.counted() >= nth;
        allocationSeam.inject(0);
        if (!reached)
            break;
        EXPECT_TRUE(rc == 0 || rc == LSPERR_NOMEM) << nth << ": " << std::hex << rc;
        bindFailures += rc != 0;
        EXPECT_EQ(evalIn(s, "(list a b c)"), "(outer-a outer-b outer-c)") << "failing allocation " << nth;
    }
    EXPECT_GT(bindFailures, 3);
}

// ---- handles ----

LSPSESSION fakeRecord;      // looks like a session, was never handed out

TEST_F(LispFaults, WrongAndClosedSessionsAreRefused)
{
    HLSPSESSION closed = LspSessionStart(kBuf, nullptr);
    ASSERT_NE(closed, nullptr);
    ASSERT_EQ(LspSessionEnd(closed), 0);
    startSession(kBuf, nullptr);
    HLSPSESSION made = reinterpret_cast<HLSPSESSION>(static_cast<char *>(s) + 8);
    for (HLSPSESSION bad : { closed, made, static_cast<HLSPSESSION>(&fakeRecord),
                             static_cast<HLSPSESSION>(nullptr) }) {
        char out[64] = "x";
        unsigned int err = 0;
        EXPECT_EQ(LspParseExpressions(bad, "(+ 1 2)", out, sizeof out, nullptr), LSPERR_HANDLE);
        EXPECT_EQ(LspSessionEnd(bad), LSPERR_HANDLE);
        EXPECT_EQ(LspSetErrorFunction(bad, nullptr), LSPERR_HANDLE);
        EXPECT_EQ(LspSetTraceFunction(bad, nullptr), LSPERR_HANDLE);
        EXPECT_EQ(LspModFuncRegister(bad, 1, kSumTable, sumFn), LSPERR_HANDLE);
        EXPECT_EQ(LspModFuncUnregister(bad, sumFn), LSPERR_HANDLE);
        EXPECT_EQ(LspSetVarString(bad, "v", "1"), LSPERR_HANDLE);
        EXPECT_EQ(LspResAddLong(bad, nullptr, 1, &err), nullptr);
        EXPECT_EQ(err, (unsigned)LSPERR_HANDLE);
        PLSPLIST list = LspResAddList(s, nullptr, &err);
        EXPECT_EQ(LspResEndList(bad, list, &err), nullptr);
        EXPECT_EQ(LspListEvalToString(bad, list, out, sizeof out), LSPERR_HANDLE);
        EXPECT_STREQ(out, "");
        LspResFree(bad, list);
    }
    EXPECT_EQ(evalIn(s, "(+ 1 2)"), "3");       // the live session is untouched
    EXPECT_EQ(LspSessionEnd(closed), LSPERR_HANDLE);
}

// endme: ends its own session; nested: evaluates in it.
PLSPLIST sessionFn(void *session, void *, unsigned short id, PLSPLIST, unsigned int *err)
{
    if (id == 1)
        return LspResAddLong(session, nullptr, LspSessionEnd(session), err);
    return LspResAddString(session, nullptr, evalIn(session, "(+ 40 2)").c_str(), err);
}

const LSPMODFUNCDESC kSessionTable[] = { { "endme", 1, 0, 0, 0 }, { "nested", 2, 0, 0, 0 } };

// A host function may evaluate in the session that called it, but not end it.
TEST_F(LispFaults, HostFunctionsEvaluatingInTheirOwnSession)
{
    startSession(kBuf, nullptr);
    ASSERT_EQ(LspModFuncRegister(s, 2, kSessionTable, sessionFn), 0);
    EXPECT_EQ(evalIn(s, "(list (nested) (+ 1 1))"), "(\"42\" 2)");   // the outer one goes on
    EXPECT_EQ(evalIn(s, "(list (endme) (+ 1 2))"), "(57364 3)");
    EXPECT_EQ(evalIn(s, "(defun *endsession* () (endme))"), "*endsession*");
    EXPECT_EQ(LspSessionEnd(s), 0);          // the hook's own attempt is refused
    s = nullptr;
}

// ---- exceptions from the host ----

enum { THROW_NOMEM = 1, THROW_OTHER };

PLSPLIST throwingFn(void *, void *, unsigned short id, PLSPLIST, unsigned int *)
{
    if (id == THROW_NOMEM)
        throw std::bad_alloc();
    throw std::runtime_error("host failed");
}

const LSPMODFUNCDESC kThrowTable[] = {
    { "nomem", THROW_NOMEM, 0, 0, LSP_ARGS_NOMAX }, { "boom", THROW_OTHER, 0, 0, LSP_ARGS_NOMAX },
};

int throwingTrace(void *, void *, const char *fn, PLSPLIST, unsigned int *)
{
    if (strcmp(fn, "traced") == 0)
        throw std::bad_alloc();
    return 1;
}

unsigned int throwingErrorFn(void *, unsigned int, const char *, const char *)
{
    throw std::logic_error("handler failed");
}

TEST_F(LispFaults, ExceptionsFromTheHostBecomeErrorWords)
{
    startSession(kBuf, nullptr);
    ASSERT_EQ(LspModFuncRegister(s, 2, kThrowTable, throwingFn), 0);
    USHORT rc;
    evalIn(s, "(list 1 (nomem (list 2 \"a text longer than sixteen\")))", &rc);
    EXPECT_EQ(rc, LSPERR_NOMEM);
    evalIn(s, "(boom)", &rc);
    EXPECT_EQ(rc, ORIN_ERR_GENERAL);
    char msg[100];
    LspGetLastErr(s, msg, sizeof msg);
    EXPECT_STREQ(msg, "host failed");

    ASSERT_EQ(LspSetTraceFunction(s, throwingTrace), 0);
    evalIn(s, "(setsysvar \"TRACE\" \"1\") (defun traced () 1)");
    evalIn(s, "(+ (traced) 1)", &rc);
    EXPECT_EQ(rc, LSPERR_NOMEM);
    evalIn(s, "(setsysvar \"TRACE\" \"0\")");

    ASSERT_EQ(LspSetErrorFunction(s, throwingErrorFn), 0);
    evalIn(s, "(car 5)", &rc);
    EXPECT_EQ(rc, ORIN_ERR_GENERAL);
    LspSetErrorFunction(s, nullptr);
    EXPECT_EQ(evalIn(s, "(+ 1 2)"), "3");
}

// ---- callbacks that evaluate Lisp themselves ----

std::string tracedNames;
int errorCalls;
USHORT innerCode;

int evaluatingTrace(void *s, void *, const char *fn, PLSPLIST, unsigned int *)
{
    tracedNames += std::string(fn) + " ";
    evalIn(s, "(+ 1 1)");
    return 1;
}

unsigned int evaluatingErrorFn(void *s, unsigned int code, const char *, const char *)
{
    errorCalls++;
    evalIn(s, "(car 5)", &innerCode);
    return code;
}

TEST_F(LispFaults, CallbacksThatEvaluateAreNotEnteredAgain)
{
    startSession(kBuf, nullptr);
    ASSERT_EQ(LspSetTraceFunction(s, evaluatingTrace), 0);
    evalIn(s, "(setsysvar \"TRACE\" \"1\")");
    tracedNames.clear();
    EXPECT_EQ(evalIn(s, "(list 1 (- 3 1))"), "(1 2)");
    EXPECT_EQ(tracedNames, "list - ");          // the trace's own calls are not traced
    evalIn(s, "(setsysvar \"TRACE\" \"0\")");

    ASSERT_EQ(LspSetErrorFunction(s, evaluatingErrorFn), 0);
    USHORT rc;
    evalIn(s, "(car 5)", &rc);
    EXPECT_EQ(rc, LSPERR_TYPE);
    EXPECT_EQ(errorCalls, 1);
    EXPECT_EQ(innerCode, LSPERR_INHANDLER);     // an error inside the handler
    LspSetErrorFunction(s, nullptr);
}

// ---- the break probe ----

HWND fakeWindow = reinterpret_cast<HWND>(0x1234);
ULONG fakeStatus;

void fakeBreakState(HWND *active, HWND *fg, ULONG *status)
{
    *active = *fg = fakeWindow;
    *status = fakeStatus;
}

BOOL fakeIsChild(HWND hwnd, HWND parent)
{
    return hwnd == parent;
}

constexpr WindowProbe kFakeProbe{ fakeBreakState, fakeIsChild };

TEST_F(LispFaults, BreakKeysReachTheInterpreterOnlyThroughTheProbe)
{
    EXPECT_TRUE(orin::pm::lispBreakProbeInstalled());     // the window layer put its table in
    installWindowProbe(nullptr);                   // none: no window is active
    fakeStatus = kQueueBreakBit;
    EXPECT_FALSE(lspWinBreakKeyPressed());
    installWindowProbe(&kFakeProbe);
    EXPECT_TRUE(lspWinBreakKeyPressed());
    fakeStatus = kQueueBreakBit << 16;             // held, but not newly pressed
    EXPECT_FALSE(lspWinBreakKeyPressed());
    fakeWindow = nullptr;
    fakeStatus = kQueueBreakBit;
    EXPECT_FALSE(lspWinBreakKeyPressed());

    fakeWindow = reinterpret_cast<HWND>(0x1234);
    startSession(kBuf, nullptr);
    USHORT rc;
    evalIn(s, "(setq n 0) (while (< n 20000000) (setq n (+ n 1)))", &rc);
    EXPECT_EQ(rc, LSPERR_BREAK);
    installWindowProbe(nullptr);
}

}  // namespace
