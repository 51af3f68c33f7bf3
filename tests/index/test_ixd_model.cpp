// Randomized model check: long runs of inserts, removes and navigation
// compared answer by answer with an ordered set, for several key lengths
// and node sizes (the smallest nodes hold two entries and make deep
// trees), then the whole content again after closing and reopening.
#include <gtest/gtest.h>
#include "ixd.h"
#include "memvbf.h"
#include "ixdcheck.h"
#include "ixdmodel.h"
#include "testutil.h"

namespace {

struct Config {
    USHORT keyLen, nodeSize;
    ULONG shared;
    unsigned seed, keySpace, steps;
    bool zeroPad;
};

void runModel(const Config &c, const char *name, VBFFUNCS *funcs)
{
    ULONG err = 1;
    PIX ix = IxdCreate(name, c.keyLen, c.shared, c.nodeSize, 0, funcs, &err);
    ASSERT_NE(ix, nullptr) << err;
    ixdmodel::Runner run(ix, c.keyLen, c.seed, c.keySpace, c.zeroPad);
    for (unsigned i = 0; i < c.steps; i++) {
        ASSERT_TRUE(run.step()) << "step " << i;
        if (i % 20000 == 19999) {
            ASSERT_TRUE(run.sameContent()) << "step " << i;
        }
    }
    ASSERT_TRUE(run.sameContent());
    IxdClose(ix);
    ix = IxdOpen(name, c.keyLen, c.shared, funcs, &err);
    ASSERT_NE(ix, nullptr) << err;
    run.reattach(ix);
    ASSERT_TRUE(run.sameContent());
    IxdClose(ix);
}

} // namespace

TEST(IxdModel, InMemoryFilesManySizes)
{
    const Config configs[] = {
        {1, 28, 0, 11, 16, 60000, true},        // two entries per node, few keys
        {4, 36, 0, 12, 3000, 80000, true},      // two entries per node, deep tree
        {10, 100, 1, 13, 5000, 60000, false},   // shared: written through
        {33, 4096, 0, 14, 20000, 60000, false},
        {6, 256, 0, 15, 60000, 60000, true},
    };
    for (const Config &c : configs) {
        SCOPED_TRACE(testing::Message() << "key " << c.keyLen << " node " << c.nodeSize);
        runModel(c, "model.ixd", memvbf::table());
        EXPECT_EQ(ixdcheck::verify(memvbf::bytes("model.ixd")), "");
    }
}

TEST(IxdModel, RealFileDeepTree)
{
    testutil::ScratchFile f("model_real.ixd");
    runModel({5, 40, 0, 21, 4000, 25000, false}, f.name.c_str(), nullptr);
    EXPECT_EQ(ixdcheck::verify(testutil::readFile(f.name)), "");
}

TEST(IxdModel, RealFileSharedMode)
{
    testutil::ScratchFile f("model_shared.ixd");
    runModel({12, 512, 1, 22, 3000, 4000, true}, f.name.c_str(), nullptr);
    EXPECT_EQ(ixdcheck::verify(testutil::readFile(f.name)), "");
}
