// A host program's view of the interpreter: its own module functions
// (one shadowing a builtin), result lists, argument reading, variables
// set from outside, error and trace callbacks, and the guarantees a host
// relies on (no leaks, no crash on hostile input).
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include "knl.h"
#include "lsp.h"
#include "dat.h"
#include "lsp_fixture.h"

namespace {

enum { F_ADD = 1, F_STRLEN, F_MKLIST, F_SPECIAL, F_DECLINE, F_FAIL, F_COUNT, F_USER, F_MUTATE,
       F_ECHO, F_FIRSTOF };

// Walks a list argument back to front by its back links, then appends to
// it in place; answers how many elements it reached both ways, or -1.
PLSPLIST mutateArg(void *s, PLSPLIST list, unsigned int *err)
{
    if (!list || !(list->type & LSP_T_LIST) || !list->down)
        return LspResAddLong(s, nullptr, -1, err);
    PLSPLIST last = list->down;
    long forward = 1, backward = 1;
    while (last->next) {
        last = last->next;
        forward++;
    }
    PLSPLIST first = last;
    while (first->prev) {
        first = first->prev;
        backward++;
    }
    if (first != list->down || first->up != list || forward != backward)
        return LspResAddLong(s, nullptr, -1, err);
    LspResAddString(s, last, "host", err);
    return LspResAddLong(s, nullptr, LspCountParams(s, list->down), err);
}

struct HostCtx {
    int calls = 0;
    int endCalls = 0;
    std::string specialArg;
};

PLSPLIST hostFn(void *s, void *userData, unsigned short id, PLSPLIST args, unsigned int *err)
{
    HostCtx *ctx = static_cast<HostCtx *>(userData);
    if (ctx)
        ctx->calls++;
    switch (id) {
    case F_ADD:
        return LspResAddLong(s, nullptr, LspNodeGetLong(s, args) + LspNodeGetLong(s, args->next), err);
    case F_STRLEN:
        return LspResAddLong(s, nullptr, 42, err);
    case F_MKLIST: {
        PLSPLIST list = LspResAddList(s, nullptr, err);
        PLSPLIST e = LspResAddLong(s, list, LspCountParams(s, args), err);
        e = LspResAddString(s, e, "two", err);
        e = LspResAddDouble(s, e, 3.5, err);
        e = LspResAddBool(s, e, 1, err);
        e = LspResAddNil(s, e, err);
        e = LspResAddDateTime(s, e, 730119.5, err);
        return LspResEndList(s, list, err);
    }
    case F_SPECIAL: {
        char buf[100];
        LspNodeGetString(s, args, buf, sizeof buf);
        if (ctx)
            ctx->specialArg = buf;
        return LspResAddBool(s, nullptr, 1, err);
    }
    case F_DECLINE:
        return nullptr;
    case F_FAIL:
        *err = LspSetLastErr(s, 0xE03A, "host says no");
        return nullptr;
    case F_COUNT:
        if (ctx)
            ctx->endCalls++;
        return LspResAddNil(s, nullptr, err);
    case F_USER:
        return LspResAddString(s, nullptr, ctx ? "ctx" : "none", err);
    case F_MUTATE:
        return mutateArg(s, args, err);
    case F_ECHO:                      // hands back its own arguments
        return args;
    case F_FIRSTOF:                   // hands back a node inside an argument
        return args->down;
    }
    return nullptr;
}

PLSPLIST olderFn(void *s, void *userData, unsigned short id, PLSPLIST args, unsigned int *err)
{
    return LspResAddString(s, nullptr, "older", err);
}

const LSPMODFUNCDESC hostTable[] = {
    { "hostadd", F_ADD, 0, 2, 2 },
    { "STRLEN", F_STRLEN, 0, 1, 1 },
    { "mklist", F_MKLIST, 0, 0, LSP_ARGS_NOMAX },
    { "special", F_SPECIAL, LSP_MF_SPECIAL, 1, 1 },
    { "decline", F_DECLINE, 0, 0, LSP_ARGS_NOMAX },
    { "hostfail", F_FAIL, 0, 0, LSP_ARGS_NOMAX },
    { "countend", F_COUNT, 0, 0, LSP_ARGS_NOMAX },
    { "whoami", F_USER, 0, 0, 0 },
    { "mutate", F_MUTATE, 0, 1, 1 },
    { "echo", F_ECHO, 0, 1, LSP_ARGS_NOMAX },
    { "firstof", F_FIRSTOF, 0, 1, 1 },
};
const LSPMODFUNCDESC olderTable[] = { { "decline", 1, 0, 0, LSP_ARGS_NOMAX } };

class LispHost : public LispSessionTest {
protected:
    HostCtx ctx;
    char out[4096];

    void SetUp() override
    {
        startSession(4096, &ctx);
        ASSERT_EQ(LspModFuncRegister(s, 1, olderTable, olderFn), 0);
        ASSERT_EQ(LspModFuncRegister(s, sizeof hostTable / sizeof hostTable[0], hostTable, hostFn), 0);
    }
    USHORT run(const char *text)
    {
        return LspParseExpressions(s, text, out, sizeof out, nullptr);
    }
    std::string lastErr()
    {
        char buf[1000];
        LspGetLastErr(s, buf, sizeof buf);
        return buf;
    }
};

TEST_F(LispHost, ModuleFunctionsReadArgumentsAndShadowBuiltins)
{
    EXPECT_EQ(run("(hostadd 2 (+ 1 2))"), 0);
    EXPECT_STREQ(out, "5");
    EXPECT_EQ(run("(strlen \"abc\")"), 0);
    EXPECT_STREQ(out, "42");                       // the host shadows the builtin
    EXPECT_EQ(run("(special (a \"b\"))"), 0);
    EXPECT_EQ(ctx.specialArg, "(a \"b\")");        // passed as written
    EXPECT_EQ(run("(decline 1)"), 0);
    EXPECT_STREQ(out, "older");                     // declined: the older module serves it
    EXPECT_EQ(run("(hostadd 1)"), 0xE021);
    EXPECT_EQ(lastErr(), "1 instead of 2");
    EXPECT_EQ(run("(hostfail)"), 0xE03A);
    EXPECT_EQ(lastErr(), "host says no");

    EXPECT_EQ(LspModFuncUnregister(s, hostFn), 0);
    EXPECT_EQ(run("(strlen \"abc\")"), 0);
    EXPECT_STREQ(out, "3");
    EXPECT_EQ(run("(hostadd 1 2)"), 0xE039);
}

TEST_F(LispHost, ModuleFunctionsGetArgumentsOfTheirOwn)
{
    // the variable's list is shared inside the interpreter; the host gets
    // a copy whose back links hold and whose changes reach no variable
    EXPECT_EQ(run("(setq v '(1 (2) 3)) (setq w (cdr v)) (mutate v)"), 0);
    EXPECT_STREQ(out, "4");
    EXPECT_EQ(run("(mutate w)"), 0);
    EXPECT_STREQ(out, "3");
    EXPECT_EQ(run("(list v w)"), 0);
    EXPECT_STREQ(out, "((1 (2) 3) ((2) 3))");

    // what a host hands back of its own arguments outlives them
    EXPECT_EQ(run("(list (echo v 7) (firstof w) (echo \"a long text of some length\"))"), 0);
    EXPECT_STREQ(out, "((1 (2) 3) (2) \"a long text of some length\")");
    EXPECT_EQ(run("(setq e (echo v)) (firstof v)"), 0);
    EXPECT_STREQ(out, "1");
    EXPECT_EQ(run("e"), 0);
    EXPECT_STREQ(out, "(1 (2) 3)");
}

TEST_F(LispHost, UserDataReachesModuleFunctions)
{
    EXPECT_EQ(run("(whoami)"), 0);
    EXPECT_STREQ(out, "ctx");
    int before = ctx.calls;
    HostCtx other;
    EXPECT_EQ(LspParseExpressions(s, "(whoami)", out, sizeof out, &other), 0);
    EXPECT_EQ(other.calls, 1);
    EXPECT_EQ(ctx.calls, before);
    EXPECT_EQ(run("(whoami)"), 0);                 // restored afterwards
    EXPECT_EQ(ctx.calls, before + 1);
}

TEST_F(LispHost, ResultListsFromTheHost)
{
    EXPECT_EQ(run("(mklist 'a 'b)"), 0);
    EXPECT_STREQ(out, "(2 \"two\" 3.5 T NIL $DT730119.5)");
    EXPECT_EQ(run("(length (mklist))"), 0);
    EXPECT_STREQ(out, "6");

    unsigned int err = 0;
    PLSPLIST list = LspResAddList(s, nullptr, &err);
    PLSPLIST first = LspResAddLong(s, list, 1, &err);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(LspResAddString(s, list, "x", &err), nullptr);   // open list already has an element
    EXPECT_EQ(err, 0xE015u);
    err = 0;
    EXPECT_NE(LspResAddString(s, first, "x", &err), nullptr);
    EXPECT_EQ(LspResEndList(s, list, &err), list);
    EXPECT_EQ(LspMakeListString(s, list, out, sizeof out), 0);
    EXPECT_STREQ(out, "(1 \"x\")");
    EXPECT_EQ(LspCountParams(s, list->down), 2);
    LspResFree(s, list);
    EXPECT_EQ(LspResEndList(s, nullptr, &err), nullptr);
    EXPECT_EQ(err, 0xE014u);
    EXPECT_EQ(LspMakeListString(s, nullptr, out, sizeof out), 0xFFFF);
    EXPECT_STREQ(out, "");
}

TEST_F(LispHost, ReadingNodes)
{
    unsigned int err = 0;
    PLSPLIST str = LspResAddString(s, nullptr, "3.9", &err);
    PLSPLIST t = LspResAddString(s, str, "T", &err);
    PLSPLIST zero = LspResAddString(s, t, "0", &err);
    EXPECT_EQ(LspNodeGetLong(s, str), 3);
    EXPECT_DOUBLE_EQ(LspNodeGetDouble(s, str), 3.9);
    EXPECT_EQ(LspNodeGetLong(s, t), 1);
    EXPECT_EQ(LspNodeGetBool(s, zero), 0);
    EXPECT_EQ(LspNodeGetBool(s, str), 1);
    EXPECT_EQ(LspCountParams(s, str), 3);
    EXPECT_EQ(LspCountParams(s, nullptr), 0);
    LspNodeGetString(s, nullptr, out, sizeof out);
    EXPECT_STREQ(out, "");
    EXPECT_STREQ(LspNodeGetValuePsz(s, nullptr), "NIL");
    LspResFree(s, str);

    // the conversion buffers rotate: the seventh conversion reuses the first
    std::vector<PLSPLIST> nums;
    PLSPLIST prev = nullptr;
    for (int i = 0; i < 7; i++)
        nums.push_back(prev = LspResAddLong(s, prev, 100 + i, &err));
    char *first = LspNodeGetValuePsz(s, nums[0]);
    EXPECT_STREQ(first, "100");
    for (int i = 1; i < 7; i++)
        LspNodeGetValuePsz(s, nums[i]);
    EXPECT_STREQ(first, "106");
    LspResFree(s, nums[0]);

    // a list is evaluated as an expression
    PLSPLIST expr = LspResAddList(s, nullptr, &err);
    PLSPLIST e = LspResAddString(s, expr, "x", &err);
    LspResEndList(s, expr, &err);
    (void)e;
    EXPECT_EQ(LspListEvalToString(s, expr, out, sizeof out), 0xE038);
    EXPECT_STREQ(out, "");
    LspResFree(s, expr);
}

TEST_F(LispHost, DateTextsFollowTheSystemFormats)
{
    DATETIME dt = {};
    char date[80], time[80];
    ASSERT_EQ(DatDTJulian2Datetime(&dt, 730119.75), 0);
    DatToSysDateStr(date, sizeof date - 1, &dt);
    DatToSysTimeStr(time, sizeof time - 1, &dt);
    EXPECT_EQ(run("(date2str (coerce \"$DT730119.75\" 'datetime))"), 0);
    EXPECT_STREQ(out, date);
    EXPECT_EQ(run("(time2str (coerce \"$DT730119.75\" 'datetime))"), 0);
    EXPECT_STREQ(out, time);
}

TEST_F(LispHost, VariablesSetFromOutside)
{
    EXPECT_EQ(LspSetVarString(s, "greeting", "hello"), 0);
    EXPECT_EQ(run("(strcat greeting \"!\")"), 0);
    EXPECT_STREQ(out, "hello!");
    EXPECT_EQ(LspSetVarString(s, "cfg:user:name", "bob"), 0);
    EXPECT_EQ(LspSetVarString(s, "cfg:user:id", "7"), 0);
    EXPECT_EQ(run("cfg"), 0);
    EXPECT_STREQ(out, "((user (name \"bob\") (id \"7\")))");
    EXPECT_EQ(run("cfg:user:name"), 0);
    EXPECT_STREQ(out, "bob");
    EXPECT_EQ(run("(defun fn () 1)"), 0);
    EXPECT_EQ(LspSetVarString(s, "fn", "x"), 0xE036);
    EXPECT_EQ(lastErr(), "fn");
    EXPECT_EQ(LspSetVarString(s, "fn:k", "x"), 0xE036);
    EXPECT_EQ(LspSetVarString(nullptr, "a", "b"), 0xE014);
}

struct ErrLog {
    unsigned code = 0;
    std::string traceback, message;
    unsigned reply = 0;
    int calls = 0;
} errLog;

unsigned int hostErrorFn(void *s, unsigned int code, const char *tb, const char *msg)
{
    errLog.calls++;
    errLog.code = code;
    errLog.traceback = tb;
    errLog.message = msg;
    return errLog.reply;
}

TEST_F(LispHost, ErrorFunctionDecidesTheOutcome)
{
    ASSERT_EQ(LspSetErrorFunction(s, hostErrorFn), 0);
    errLog = ErrLog();
    errLog.reply = 0;                                   // resume
    EXPECT_EQ(run("(list 1 (nosuch 2) 3)"), 0);
    EXPECT_STREQ(out, "(1 0 3)");
    EXPECT_EQ(errLog.code, 0xE039u);
    EXPECT_EQ(errLog.message, "nosuch");
    EXPECT_EQ(errLog.traceback, "(nosuch 2)\n(list 1 (nosuch 2) 3)");

    errLog = ErrLog();
    errLog.reply = 0xE049;                              // reported: unwind quietly
    EXPECT_EQ(run("(list 1 (list (nosuch)))"), 0xE049);
    EXPECT_EQ(errLog.calls, 1);

    EXPECT_EQ(run("(defun *error* (n tb msg) 0) (car 5)"), 0);   // *error* comes first
    EXPECT_EQ(errLog.calls, 1);
    EXPECT_EQ(LspSetErrorFunction(nullptr, hostErrorFn), 0xE014);
    LspSetErrorFunction(s, nullptr);
}

struct TraceLog {
    std::vector<std::string> names;
    std::string stopAt;
    std::string firstArgs;
} traceLog;

int hostTraceFn(void *s, void *userData, const char *fn, PLSPLIST args, unsigned int *err)
{
    traceLog.names.push_back(fn);
    if (traceLog.firstArgs.empty() && args) {
        char buf[200];
        LspNodeGetString(s, args, buf, sizeof buf);
        traceLog.firstArgs = buf;
    }
    return traceLog.stopAt != fn;
}

TEST_F(LispHost, TraceFunctionSeesCallsAndCanStop)
{
    traceLog = TraceLog();
    ASSERT_EQ(LspSetTraceFunction(s, hostTraceFn), 0);
    EXPECT_EQ(run("(+ 1 (* 2 3))"), 0);
    EXPECT_TRUE(traceLog.names.empty());              // TRACE is off
    EXPECT_EQ(run("(setsysvar \"TRACE\" \"1\")"), 0);
    traceLog = TraceLog();
    EXPECT_EQ(run("(+ (* 2 3) 1)"), 0);
    ASSERT_EQ(traceLog.names.size(), 2u);
    EXPECT_EQ(traceLog.names[0], "+");
    EXPECT_EQ(traceLog.firstArgs, "(* 2 3)");         // unevaluated

    traceLog = TraceLog();
    traceLog.stopAt = "stopme";
    EXPECT_EQ(run("(defun stopme () 1) (setq done nil) (stopme) (setq done t)"), 0xE046);
    EXPECT_EQ(run("done"), 0);
    EXPECT_STREQ(out, "NIL");
    EXPECT_EQ(LspSetTraceFunction(s, nullptr), 0);   // the default lets every call run
    EXPECT_EQ(run("(stopme)"), 0);
    run("(setsysvar \"TRACE\" \"0\")");
}

TEST_F(LispHost, SessionCallsAndLiterals)
{
    EXPECT_EQ(run("\"abc\""), 0);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(run("\"(+ 1 2)\""), 0);
    EXPECT_STREQ(out, "(+ 1 2)");                    // a string literal is not evaluated
    EXPECT_EQ(run("(strcat \"a\" \"b\")"), 0);
    EXPECT_STREQ(out, "ab");
    EXPECT_EQ(run(""), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(LspQueryActiveSession(), s);
    EXPECT_EQ(LspParseExpressions(nullptr, "1", out, sizeof out, nullptr), 0xE014);
    EXPECT_EQ(LspSessionEnd(nullptr), 0xE014);

    // the result is cut to the caller's buffer
    char small[4];
    EXPECT_EQ(LspParseExpressions(s, "(strcat \"abcdef\")", small, sizeof small, nullptr), 0);
    EXPECT_STREQ(small, "abc");

    char one[64];
    EXPECT_EQ(LspSession("(+ 40 2)", one, sizeof one, nullptr), 0);
    EXPECT_STREQ(one, "42");
}

TEST_F(LispHost, EndSessionHookRunsOnce)
{
    EXPECT_EQ(run("(defun *endsession* () (countend))"), 0);
    EXPECT_EQ(LspSessionEnd(s), 0);
    s = nullptr;
    EXPECT_EQ(ctx.endCalls, 1);
    EXPECT_EQ(LspQueryActiveSession(), nullptr);
}

TEST_F(LispHost, FindExprEnd)
{
    const char *t = "(a \")\" (b)) (c)";
    EXPECT_EQ(LspFindExprEnd(t), t + 11);
    const char *plain = "abc def";
    EXPECT_EQ(LspFindExprEnd(plain), plain + 7);
    const char *empty = "";
    EXPECT_EQ(LspFindExprEnd(empty), empty);
    const char *comment = "; (x\n(y) z";
    EXPECT_EQ(LspFindExprEnd(comment), comment + 8);
    const char *escaped = "(\"a\\\")\" b) c";
    EXPECT_EQ(LspFindExprEnd(escaped), escaped + 10);
}

// ---- robustness and leaks ----

TEST_F(LispHost, DeepInputFailsCleanly)
{
    EXPECT_EQ(LspSessionEnd(s), 0);      // one session at a time
    s = nullptr;
    HLSPSESSION big = LspSessionStart(65535, nullptr);
    ASSERT_NE(big, nullptr);
    std::vector<char> res(65535);
    std::string deep(30000, '(');
    deep += std::string(30000, ')');
    EXPECT_EQ(LspParseExpressions(big, deep.c_str(), res.data(), (unsigned short)res.size(), nullptr),
              0xE015);
    std::string quotes(60000, '\'');
    quotes += "a";
    EXPECT_EQ(LspParseExpressions(big, quotes.c_str(), res.data(), (unsigned short)res.size(), nullptr),
              0xE015);
    // just inside the bound reads and evaluates
    std::string ok = "(car ";
    for (int i = 0; i < 600; i++)
        ok += "'(";
    ok += "x";
    ok += std::string(601, ')');
    EXPECT_EQ(LspParseExpressions(big, ok.c_str(), res.data(), (unsigned short)res.size(), nullptr), 0);
    EXPECT_EQ(LspSessionEnd(big), 0);
}

TEST_F(LispHost, RandomAndTruncatedInputNeverCrashes)
{
    std::mt19937 rng(12345);
    const char *program =
        "(defun f (a &rest r / l) (setq l (list a r)) (if (> a 0) (f (- a 1)) l))\n"
        "(setq s \"a \\\"q\\\" \\\\ b\") ; comment\n(f 3 'x '(y \"z\")) 'q ''(1 2.5 -3)";
    std::string text(program);
    for (size_t cut = 0; cut <= text.size(); cut++)
        run(text.substr(0, cut).c_str());
    const char alphabet[] = "()'\";\\ \n\tab1.-:&/\r";
    for (int round = 0; round < 1500; round++) {
        std::string junk;
        size_t len = rng() % 120;
        for (size_t i = 0; i < len; i++)
            junk += (round % 2) ? alphabet[rng() % (sizeof alphabet - 1)]
                                : (char)(1 + rng() % 255);
        run(junk.c_str());
    }
    EXPECT_EQ(run("(+ 1 1)"), 0);
    EXPECT_STREQ(out, "2");
}

TEST_F(LispHost, PoolAndHeapReturnToBaseline)
{
    // Warm up once so lazily allocated buffers exist before measuring.
    const char *work[] = {
        "(defun fib (n) (if (< n 2) n (+ (fib (- n 1)) (fib (- n 2)))))",
        "(setq l nil) (setq i 0) (while (< i 50) (setq l (cons i l)) (setq i (+ i 1))) (length l)",
        "(fib 8)",
        "(list 1 (car 5) 3)",
        "(defun g (a) (nosuch a)) (g '(1 2 \"long string that lives on the heap\"))",
        "(strcat \"a somewhat longer text\" (strrepl \"x-y-z\" \"-\" \"++\"))",
        "(setq cfg:a:b \"c\") cfg:a:b",
        "(eval \"(+ 1\")",
        "(read-from-string \"(a b\")",
        "(defmacro m (x) (eval x)) (m (car '(1)))",
        "(setassoc 'k '((k 1) (j 2)) 5)",
    };
    for (const char *w : work)
        run(w);
    run("(free 'l) (free 'i) (free 'cfg)");
    ULONG nodes = LspQueryNodesUsed();
    LONG heap = LspQueryHeapBlocks();
    for (int round = 0; round < 300; round++) {
        for (const char *w : work)
            run(w);
        run("(free 'l) (free 'i) (free 'cfg)");
    }
    EXPECT_EQ(LspQueryNodesUsed(), nodes);
    EXPECT_EQ(LspQueryHeapBlocks(), heap);
}

// The break check asks the window layer: a Ctrl+C or Ctrl+Break newly
// held while this program's window is active and in the foreground stops
// a running loop with the user-break code.  The loops end by themselves
// after a while (timed with dllfunc), so a check that never fires fails
// the test instead of hanging it.
class LispBreak : public LispHost {
protected:
    HWND wnd = nullptr;
    void SetUp() override
    {
        LispHost::SetUp();
        holdKeys({});
        wnd = CreateWindowExA(0, "STATIC", "break test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              10, 10, 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
        ASSERT_NE(wnd, nullptr);
        SetForegroundWindow(wnd);
        SetActiveWindow(wnd);
        pump();
    }
    void TearDown() override
    {
        holdKeys({});
        if (wnd)
            DestroyWindow(wnd);
        pump();
        LispHost::TearDown();
    }
    static void pump()
    {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    }
    static void holdKeys(std::initializer_list<int> keys)
    {
        BYTE state[256] = {};
        for (int k : keys)
            state[k] = 0x80;
        SetKeyboardState(state);
    }
    // Counts until ms milliseconds have passed; the value is the count.
    USHORT loopFor(int ms)
    {
        std::string text =
            "(setq n 0) (setq start (dllfunc \"kernel32.dll\" \"GetTickCount\" 0))"
            "(while (< (- (dllfunc \"kernel32.dll\" \"GetTickCount\" 0) start) " +
            std::to_string(ms) + ") (setq n (+ n 1))) n";
        return run(text.c_str());
    }
};

TEST_F(LispBreak, NewlyPressedKeysStopTheActiveWindowsEvaluation)
{
    ASSERT_EQ(GetActiveWindow(), wnd);
    ASSERT_EQ(GetForegroundWindow(), wnd);
    EXPECT_EQ(loopFor(300), 0) << lastErr();     // no key: runs to its end

    holdKeys({VK_CONTROL, 'C'});
    EXPECT_EQ(loopFor(5000), LSPERR_BREAK);
    // the key is still down but no longer new: the next loop is not stopped
    EXPECT_EQ(loopFor(300), 0) << lastErr();

    holdKeys({});
    loopFor(200);                                // the release is seen
    holdKeys({VK_CANCEL});
    EXPECT_EQ(loopFor(5000), LSPERR_BREAK);
}

TEST_F(LispBreak, KeysDoNotCountWithoutAnActiveWindow)
{
    DestroyWindow(wnd);
    wnd = nullptr;
    pump();
    ASSERT_EQ(GetActiveWindow(), nullptr);
    holdKeys({VK_CONTROL, 'C'});
    EXPECT_EQ(loopFor(300), 0) << lastErr();
}

} // namespace
