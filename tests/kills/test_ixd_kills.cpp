/*
 * test_ixd_kills.cpp - a process entering and removing pairs of an index
 * file, unshared or shared, is killed at random moments.  The index it
 * leaves must either be refused as inconsistent (57548: an update had not
 * ended; unshared, that is so from the first change until the close) or
 * hold exactly the pairs of the finished operations, with the one under
 * way wholly there or wholly absent, in a tree the independent reader of
 * the raw file finds sound.  A shared index is refused only when the kill
 * came inside an update: never after an operation returned.
 */
#include <gtest/gtest.h>
#include <set>
#include <string>
#include "ixd.h"
#include "ixdcheck.h"
#include "killrun.h"
#include "killwork.h"
#include "testutil.h"

namespace {

using namespace killwork;

constexpr const char *kFile = "kill.ixd";
constexpr DWORD kMaxDelay = 250;

struct Counts {
    int opened = 0, refused = 0;
};

void checkFile(const killrun::Finished &f, const killrun::Round &r, Counts &counts)
{
    IxdWork work(r.seed);
    std::set<std::string> before;
    for (int j = 0; j < f.count; j++)
        IxdWork::apply(work.next(), before);
    std::set<std::string> after = before;
    IxdWork::apply(work.next(), after);

    ULONG error = 0;
    PIX ix = IxdOpen(kFile, kIxdKeyLength, 0, nullptr, &error);
    if (ix == nullptr) {
        counts.refused++;
        if (f.early && f.count == 0 && error != IXD_ERR_BAD_FILE)
            return;   // killed while the file was being made
        EXPECT_EQ(error, ULONG(IXD_ERR_BAD_FILE));
        return;
    }
    counts.opened++;
    std::set<std::string> got;
    char key[kIxdKeyLength];
    ULONG record = 0;
    if (IxdFirst(ix, key, &record, &error) == 0)
        do
            got.insert(IxdWork::pairOf({true, std::string(key, kIxdKeyLength), record}));
        while (IxdNext(ix, key, &record, &error) == 0);
    ULONG count = 0;
    EXPECT_EQ(IxdQueryNrKeys(ix, &count, &error), 0);
    IxdClose(ix);
    EXPECT_EQ(count, got.size());
    EXPECT_EQ(ixdcheck::verify(testutil::readFile(kFile)), "");
    EXPECT_TRUE(got == before || got == after)
        << "the index holds " << got.size() << " pairs; after " << f.count
        << " finished operations the model has " << before.size();
}

class IxdKills : public ::testing::TestWithParam<const char *> {};

TEST_P(IxdKills, AKilledWriterLeavesTheFinishedPairsOrARefusal)
{
    Counts counts;
    killrun::sweep(GetParam(), kFile, kMaxDelay,
                   [&](const killrun::Finished &f, const killrun::Round &r) {
                       checkFile(f, r, counts);
                   });
    printf("[ kills ] %d opened, %d refused as inconsistent\n", counts.opened, counts.refused);
    if (std::string(GetParam()) == "ixd-shared") {
        EXPECT_GT(counts.opened, counts.refused) << "a shared index is consistent between updates";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, IxdKills, ::testing::Values("ixd", "ixd-shared"),
                         [](const auto &info) {
                             return std::string(info.param) == "ixd" ? "Exclusive" : "Shared";
                         });

}  // namespace
