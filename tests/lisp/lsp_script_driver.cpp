// Runs the VelaLISP script corpus in tests/lisp/scripts (format in
// lsp_corpus.h) through the exported host interface.  A case runs in a
// fresh session; its steps share it.  After every case the session is
// ended and the node pool must be back to its baseline: every case is
// also a leak check.
#include <gtest/gtest.h>
#include "knl.h"
#include "lsp.h"
#include "lsp_corpus.h"

namespace {

using corpus::Case;
using corpus::Step;
using corpus::parseFile;
using corpus::corpusFiles;

// Scratch files the file cases create live in the working directory.
void runCase(const Case &c)
{
    ULONG baseline = LspQueryNodesUsed();
    LONG heapBaseline = LspQueryHeapBlocks();
    HLSPSESSION s = LspSessionStart(c.buf, nullptr);
    ASSERT_NE(s, nullptr) << c.file << ":" << c.line;
    std::vector<char> result(c.buf + 1);
    for (const Step &st : c.steps) {
        USHORT code = LspParseExpressions(s, st.source.c_str(), result.data(),
                                          (unsigned short)result.size(), nullptr);
        char lastErr[1000];
        LspGetLastErr(s, lastErr, sizeof lastErr);
        std::string where = c.file + ":" + std::to_string(st.line) + " (" + c.name + ")";
        EXPECT_EQ(code, st.code) << where << "\n  last error: " << lastErr
                                 << "\n  result: " << result.data();
        if (!st.anyResult) {
            EXPECT_EQ(std::string(result.data()), st.expect) << where;
        }
        if (st.checkMsg) {
            EXPECT_EQ(std::string(lastErr), st.msg) << where;
        }
    }
    EXPECT_EQ(LspSessionEnd(s), 0);
    EXPECT_EQ(LspQueryNodesUsed(), baseline) << c.file << ":" << c.line << " (" << c.name
                                             << ") leaked nodes";
    EXPECT_EQ(LspQueryHeapBlocks(), heapBaseline) << c.file << ":" << c.line << " (" << c.name
                                                  << ") leaked heap blocks";
}

class LispScripts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        KnlInitCP();
        KnlInitDBCSEv();
        corpus::makeProbeFiles();
    }
    static void TearDownTestSuite()
    {
        corpus::removeProbeFiles();
    }
};

TEST_F(LispScripts, Corpus)
{
    std::vector<std::string> files = corpusFiles();
    ASSERT_FALSE(files.empty()) << "no scripts in " LSP_SCRIPT_DIR;
    int run = 0;
    bool dbcs = GetACP() == 932;
    for (const std::string &f : files) {
        for (const Case &c : parseFile(std::string(LSP_SCRIPT_DIR "/") + f, f)) {
            if (c.cp932 && !dbcs)
                continue;
            ASSERT_FALSE(c.steps.empty()) << f << ":" << c.line << " has no expectation";
            runCase(c);
            run++;
        }
    }
    EXPECT_GT(run, 50);
    std::printf("%d script cases run\n", run);
}

} // namespace
