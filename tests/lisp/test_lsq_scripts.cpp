// Every step of the script corpus (lsp_corpus.h), converted to a stored
// query with lsp2lsq, must give the same results loaded as source and
// loaded as the stored query.
//
// Per case: a converter session writes each step's source to a file and
// converts it; then one session loads the steps' sources step by step and
// a second session loads their stored queries step by step.  The two runs
// must agree step by step in code and result text; a step whose source
// cannot be converted (the reader refuses it) is loaded as source in both
// runs, so the sessions stay in step.  Both runs must leave the node pool
// and the interpreter's heap as they found them.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "knl.h"
#include "lsp.h"
#include "lsq_testfiles.h"
#include "lsp_corpus.h"

namespace {

// One step: its source text and the stored query lsp2lsq made of it
// (empty when the reader refused the source).
struct StepFiles {
    std::string source;
    std::string stored;
};

struct Outcome {
    unsigned code;
    std::string result;
};

// Both runs load a step under the same name, so that nothing a step can
// see (the traceback shows the load call) tells the runs apart: a file
// that is no stored query is read as source.
std::string stepName(size_t step)
{
    return "lsq_rt_" + std::to_string(step) + ".lsq";
}

std::string evalIn(HLSPSESSION s, const std::string &text, unsigned *code, unsigned short buf)
{
    std::vector<char> result(buf + 1);
    *code = LspParseExpressions(s, text.c_str(), result.data(), (unsigned short)result.size(),
                                nullptr);
    return result.data();
}

std::vector<StepFiles> convertSteps(const corpus::Case &c)
{
    static const char kSource[] = "lsq_rt_source.lsp", kTarget[] = "lsq_rt_target.lsq";
    std::vector<StepFiles> files;
    HLSPSESSION s = LspSessionStart(c.buf, nullptr);
    EXPECT_NE(s, nullptr);
    for (const corpus::Step &st : c.steps) {
        StepFiles f;
        f.source = st.source;
        writeFile(kSource, st.source);
        DeleteFileA(kTarget);
        unsigned code;
        evalIn(s, std::string("(lsp2lsq \"") + kSource + "\" \"" + kTarget + "\")", &code, c.buf);
        if (code == 0)
            f.stored = readFile(kTarget);
        else
            EXPECT_EQ(GetFileAttributesA(kTarget), INVALID_FILE_ATTRIBUTES)
                << "a failed conversion leaves no file";
        files.push_back(f);
    }
    LspSessionEnd(s);
    DeleteFileA(kSource);
    DeleteFileA(kTarget);
    return files;
}

std::vector<Outcome> loadAll(const corpus::Case &c, const std::vector<StepFiles> &files,
                             bool stored)
{
    for (size_t i = 0; i < files.size(); i++)
        writeFile(stepName(i), stored && !files[i].stored.empty() ? files[i].stored
                                                                    : files[i].source);
    ULONG baseline = LspQueryNodesUsed();
    LONG heapBaseline = LspQueryHeapBlocks();
    std::vector<Outcome> out;
    HLSPSESSION s = LspSessionStart(c.buf, nullptr);
    EXPECT_NE(s, nullptr);
    for (size_t i = 0; i < files.size(); i++) {
        Outcome o{};
        o.result = evalIn(s, "(load \"" + stepName(i) + "\")", &o.code, c.buf);
        out.push_back(o);
    }
    EXPECT_EQ(LspSessionEnd(s), 0);
    EXPECT_EQ(LspQueryNodesUsed(), baseline) << c.file << ":" << c.line << " leaked nodes";
    EXPECT_EQ(LspQueryHeapBlocks(), heapBaseline) << c.file << ":" << c.line << " leaked heap";
    for (size_t i = 0; i < files.size(); i++)
        DeleteFileA(stepName(i).c_str());
    return out;
}

class StoredQueryCorpus : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        KnlInitCP();
        KnlInitDBCSEv();
        corpus::makeProbeFiles();
    }
    static void TearDownTestSuite() { corpus::removeProbeFiles(); }
};

TEST_F(StoredQueryCorpus, EveryStepLoadsAlikeFromSourceAndFromItsStoredQuery)
{
    std::vector<std::string> names = corpus::corpusFiles();
    ASSERT_FALSE(names.empty()) << "no scripts in " LSP_SCRIPT_DIR;
    bool dbcs = GetACP() == 932;
    int steps = 0, converted = 0;
    for (const std::string &name : names) {
        for (const corpus::Case &c :
             corpus::parseFile(std::string(LSP_SCRIPT_DIR "/") + name, name)) {
            if (c.cp932 && !dbcs)
                continue;
            std::vector<StepFiles> files = convertSteps(c);
            std::vector<Outcome> fromSource = loadAll(c, files, false);
            std::vector<Outcome> fromStored = loadAll(c, files, true);
            for (size_t i = 0; i < files.size(); i++) {
                std::string where = name + ":" + std::to_string(c.steps[i].line) + " (" +
                                    c.name + ")";
                EXPECT_EQ(fromSource[i].code, fromStored[i].code) << where;
                EXPECT_EQ(fromSource[i].result, fromStored[i].result) << where;
                steps++;
                converted += !files[i].stored.empty();
            }
        }
    }
    std::printf("%d steps, %d converted to stored queries\n", steps, converted);
    EXPECT_GT(steps, 300);
    // Only steps the reader refuses (unclosed lists, stray parentheses,
    // broken strings, tokens beyond the buffer) stay unconverted.
    EXPECT_GT(converted * 10, steps * 9);
}

} // namespace
