// A test fixture holding one Lisp session.  When the test ends the
// session is ended (unless the test ended it and cleared `s`), and the
// node pool and the interpreter's heap blocks must be back at the counts
// they had before it started.
#ifndef LSP_FIXTURE_H
#define LSP_FIXTURE_H

#include <gtest/gtest.h>
#include "knl.h"
#include "lsp.h"

class LispSessionTest : public ::testing::Test {
protected:
    HLSPSESSION s = nullptr;
    ULONG baseline = 0;
    LONG heapBaseline = 0;

    static void SetUpTestSuite()
    {
        KnlInitCP();
        KnlInitDBCSEv();
    }
    void startSession(unsigned short bufferSize, void *userData)
    {
        baseline = LspQueryNodesUsed();
        heapBaseline = LspQueryHeapBlocks();
        s = LspSessionStart(bufferSize, userData);
        ASSERT_NE(s, nullptr);
    }
    void TearDown() override
    {
        if (s) {
            EXPECT_EQ(LspSessionEnd(s), 0);
        }
        EXPECT_EQ(LspQueryNodesUsed(), baseline);
        EXPECT_EQ(LspQueryHeapBlocks(), heapBaseline);
    }
};

#endif
