// OcLisp from an application's side: the class as exported by orin.dll,
// over the Lisp host interface.  Each group checks what the object adds
// to the flat calls: the session it owns (started, replaced, ended by the
// destructor), the last-error rule (every code-returning member keeps
// its code; the result builders use it as their error word), and that
// every member reaches the session it holds.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "knl.h"
#include "lsp.h"
#include "oclisp.h"

namespace {

class OcLispTest : public ::testing::Test {
protected:
    ULONG nodes = 0;
    LONG heap = 0;
    static void SetUpTestSuite()
    {
        KnlInitCP();
        KnlInitDBCSEv();
    }
    void SetUp() override
    {
        nodes = LspQueryNodesUsed();
        heap = LspQueryHeapBlocks();
    }
    void TearDown() override
    {
        EXPECT_EQ(LspQueryActiveSession(), nullptr) << "a session outlived its object";
        EXPECT_EQ(LspQueryNodesUsed(), nodes);
        EXPECT_EQ(LspQueryHeapBlocks(), heap);
    }
};

std::string run(OcLisp &lisp, const char *text, int *ok = nullptr)
{
    char result[1024];
    char copy[1024];
    strcpy(copy, text);
    int r = lisp.ParseExpressions(copy, result, sizeof result, nullptr);
    if (ok)
        *ok = r;
    return r ? result : "";
}

std::string lastText(OcLisp &lisp)
{
    char text[200];
    lisp.GetLastError(text, sizeof text);
    return text;
}

TEST_F(OcLispTest, TheObjectOwnsOneSessionAtATime)
{
    HLSPSESSION first;
    {
        OcLisp lisp;
        EXPECT_EQ(static_cast<void *>(lisp), nullptr);
        EXPECT_EQ(lisp.GetLastError(), 0u);
        int ok;
        run(lisp, "(+ 1 2)", &ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(lisp.GetLastError(), unsigned(LSPERR_HANDLE));
        EXPECT_TRUE(lisp.SessionEnd());                 // none open: nothing to end
        EXPECT_EQ(lisp.GetLastError(), 0u);

        ASSERT_TRUE(lisp.SessionStart(2048, nullptr));
        first = lisp;
        EXPECT_NE(first, nullptr);
        EXPECT_EQ(LspQueryActiveSession(), first);
        EXPECT_EQ(run(lisp, "(setq x 41) (+ x 1)"), "42");
        EXPECT_EQ(run(lisp, "(cond ((= x 41) \"prelude read\"))"), "prelude read");

        // a second start ends the first session: its handle is refused and
        // its variables are gone
        ASSERT_TRUE(lisp.SessionStart(2048, nullptr));
        char buf[16];
        EXPECT_EQ(LspParseExpressions(first, "1", buf, sizeof buf, nullptr), LSPERR_HANDLE);
        EXPECT_EQ(run(lisp, "(boundp 'x)"), "NIL");
        first = lisp;
    }
    // the destructor ended the session
    char buf[16];
    EXPECT_EQ(LspParseExpressions(first, "1", buf, sizeof buf, nullptr), LSPERR_HANDLE);
}

TEST_F(OcLispTest, EveryCodeReturningMemberKeepsItsCode)
{
    OcLisp lisp;
    ASSERT_TRUE(lisp.SessionStart(2048, nullptr));
    int ok;
    run(lisp, "(nosuchfn 1)", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lisp.GetLastError(), 0xE039u);
    EXPECT_EQ(lastText(lisp), "nosuchfn");
    EXPECT_EQ(run(lisp, "(strcat \"a\" \"b\")", &ok), "ab");
    EXPECT_EQ(lisp.GetLastError(), 0u);

    EXPECT_FALSE(lisp.SetLastError(0xE037, "told by the host"));
    EXPECT_EQ(lisp.GetLastError(), 0xE037u);
    EXPECT_EQ(lastText(lisp), "told by the host");

    EXPECT_TRUE(lisp.SetVarString("greeting", "hello"));
    EXPECT_EQ(run(lisp, "(strcat greeting \"!\")"), "hello!");
    run(lisp, "(defun f () 1)");
    EXPECT_FALSE(lisp.SetVarString("f:key", "x"));
    EXPECT_EQ(lisp.GetLastError(), 0xE036u);

    EXPECT_FALSE(lisp.ModFuncRegister(0, nullptr, nullptr));
    EXPECT_EQ(lisp.GetLastError(), 65535u);
    EXPECT_TRUE(lisp.SessionEnd());
    EXPECT_EQ(static_cast<void *>(lisp), nullptr);
    EXPECT_FALSE(lisp.SetVarString("x", "1"));
    EXPECT_EQ(lisp.GetLastError(), unsigned(LSPERR_HANDLE));
}

// A host module function that builds its result through the object it
// is given as userData: (pair a b) gives ("pair" a+b (a b)).
PLSPLIST pairFn(void *, void *userData, unsigned short, PLSPLIST args, unsigned int *err)
{
    OcLisp &o = *static_cast<OcLisp *>(userData);
    if (o.CountParams(args) != 2) {
        *err = 0xE021;
        return nullptr;
    }
    PLSPLIST list = o.ResAddList(nullptr);
    PLSPLIST e = o.ResAddString(list, "pair");
    e = o.ResAddLong(e, o.NodeGetLong(args) + o.NodeGetLong(args->next));
    PLSPLIST inner = o.ResAddList(nullptr);
    PLSPLIST i = o.ResAddDouble(inner, o.NodeGetDouble(args));
    o.ResAddDouble(i, o.NodeGetDouble(args->next));
    o.ResEndList(inner);
    e->next = inner;
    inner->prev = e;
    return o.ResEndList(list);
}

TEST_F(OcLispTest, ModuleFunctionsBuildResultsThroughTheObject)
{
    OcLisp lisp;
    ASSERT_TRUE(lisp.SessionStart(2048, &lisp));
    LSPMODFUNCDESC table[1] = {};
    strcpy(table[0].name, "pair");
    table[0].id = 1;
    table[0].minArgs = 0;
    table[0].maxArgs = LSP_ARGS_NOMAX;
    ASSERT_TRUE(lisp.ModFuncRegister(1, table, pairFn));
    EXPECT_EQ(run(lisp, "(pair 2 3.5)"), "(\"pair\" 5 (2 3.5))");
    int ok;
    run(lisp, "(pair 1)", &ok);
    EXPECT_EQ(lisp.GetLastError(), 0xE021u);
    ASSERT_TRUE(lisp.ModFuncUnregister(pairFn));
    run(lisp, "(pair 2 3)", &ok);
    EXPECT_EQ(lisp.GetLastError(), 0xE039u);
}

TEST_F(OcLispTest, ResultBuildersUseTheLastErrorAsTheirErrorWord)
{
    OcLisp lisp;
    ASSERT_TRUE(lisp.SessionStart(2048, nullptr));
    PLSPLIST list = lisp.ResAddList(nullptr);
    ASSERT_NE(list, nullptr);
    PLSPLIST first = lisp.ResAddBool(list, 1);
    ASSERT_NE(first, nullptr);
    // an open list with an element is no place for a node
    EXPECT_EQ(lisp.ResAddNil(list), nullptr);
    EXPECT_EQ(lisp.GetLastError(), unsigned(LSPERR_NOMEM));
    PLSPLIST dt = lisp.ResAddDateTime(first, 730119.5);
    ASSERT_NE(dt, nullptr);
    EXPECT_EQ(lisp.GetLastError(), 0u);
    EXPECT_EQ(lisp.ResEndList(nullptr), nullptr);
    EXPECT_EQ(lisp.GetLastError(), unsigned(LSPERR_HANDLE));
    ASSERT_EQ(lisp.ResEndList(list), list);

    EXPECT_EQ(lisp.CountParams(list->down), 2);
    EXPECT_TRUE(lisp.NodeGetBool(first));
    EXPECT_STREQ(lisp.NodeGetValuePsz(first), "T");
    EXPECT_EQ(lisp.NodeGetLong(dt), 730119);
    EXPECT_DOUBLE_EQ(lisp.NodeGetDouble(dt), 730119.5);

    char text[100];
    ASSERT_TRUE(lisp.MakeListString(list, text, sizeof text));
    EXPECT_EQ(std::string(text).substr(0, 2), "(T");
    EXPECT_FALSE(lisp.MakeListString(nullptr, text, sizeof text));
    EXPECT_EQ(lisp.GetLastError(), 65535u);

    // an expression built from nodes, evaluated: (strcat "x" "y")
    PLSPLIST expr = lisp.ResAddList(nullptr);
    PLSPLIST head = lisp.ResAddString(expr, "strcat");
    head->type = LSP_T_SYMBOL;
    lisp.ResAddString(lisp.ResAddString(head, "x"), "y");
    lisp.ResEndList(expr);
    ASSERT_TRUE(lisp.ListEvalToString(expr, text, sizeof text));
    EXPECT_STREQ(text, "xy");
    lisp.NodeGetString(expr, text, sizeof text);
    EXPECT_STREQ(text, "(strcat \"x\" \"y\")");
    lisp.ResFree(expr);
    lisp.ResFree(list);
}

struct Calls {
    int errors = 0;
    int traced = 0;
};
Calls calls;

unsigned int resume(void *, unsigned int, const char *, const char *)
{
    calls.errors++;
    return 0;
}

int stopAtDiv(void *, void *, const char *fn, PLSPLIST, unsigned int *)
{
    calls.traced++;
    return strcmp(fn, "div") != 0;
}

TEST_F(OcLispTest, CallbacksAreInstalledForTheObjectsSession)
{
    OcLisp lisp;
    ASSERT_TRUE(lisp.SessionStart(2048, nullptr));
    calls = Calls{};
    ASSERT_TRUE(lisp.SetErrorFunction(resume));
    EXPECT_EQ(run(lisp, "(list (nosuch) 2)"), "(0 2)");
    EXPECT_EQ(calls.errors, 1);
    ASSERT_TRUE(lisp.SetErrorFunction(nullptr));
    ASSERT_TRUE(lisp.SetTraceFunction(stopAtDiv));
    run(lisp, "(setsysvar \"TRACE\" \"1\")");
    int ok;
    run(lisp, "(+ 1 (div 4 2))", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lisp.GetLastError(), unsigned(LSPERR_TRACESTOP));
    EXPECT_GE(calls.traced, 2);
    ASSERT_TRUE(lisp.SetTraceFunction(nullptr));
    EXPECT_EQ(run(lisp, "(div 4 2)"), "2");
    run(lisp, "(setsysvar \"TRACE\" \"0\")");
}

} // namespace
