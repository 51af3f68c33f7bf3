/*
 * test_ixd_sweep.cpp - an index file written through a back-end that dies
 * or fails at a chosen point, for spread points over a whole workload.
 *
 * The workload enters and removes pairs in small nodes (splits and merges
 * come often) through a cache of three nodes (evictions write often),
 * unshared and shared.  After a kill at write N (torn for
 * every third N) or a failure of call N, the file is opened with the real
 * back-end: it must either be refused as inconsistent (57548, the flag an
 * update leaves until it ends) or hold exactly the pairs of the finished
 * operations, with the one under way wholly there or wholly absent, in a
 * tree whose structure the independent reader finds sound.
 */
#include <gtest/gtest.h>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>
#include "faultsweep.h"
#include "faultvbf.h"
#include "ixd.h"
#include "ixdcheck.h"
#include "testutil.h"

namespace {

constexpr USHORT kKeyLength = 8;
constexpr USHORT kNodeSize = 128;
constexpr int kOperations = 300;
constexpr const char *kFile = "sweep.ixd";

using Pair = std::string;   // key bytes, then the record as little-endian bytes
using Pairs = std::set<Pair>;

Pair pairOf(const std::string &key, ULONG record)
{
    return key + std::string(reinterpret_cast<const char *>(&record), 4);
}

struct Op {
    bool enter;
    std::string key;
    ULONG record;
};

/* The same operations every run: enters, and removes of pairs entered. */
std::vector<Op> workload()
{
    std::mt19937 rng(4242);
    std::vector<Op> ops;
    std::vector<std::pair<std::string, ULONG>> live;
    for (int j = 0; j < kOperations; j++) {
        if (!live.empty() && rng() % 3 == 0) {
            size_t at = rng() % live.size();
            ops.push_back({false, live[at].first, live[at].second});
            live.erase(live.begin() + long(at));
            continue;
        }
        char key[kKeyLength + 1];
        snprintf(key, sizeof key, "k%07u", unsigned(rng() % 90));
        ULONG record = rng() % 1000;
        ops.push_back({true, std::string(key, kKeyLength), record});
        live.emplace_back(std::string(key, kKeyLength), record);
    }
    return ops;
}

struct Result {
    std::vector<Pairs> allowed;
    bool inCreate = false;   // the fault hit while the file was made
};

ULONG gShared = 0;

Result run(const std::vector<Op> &ops)
{
    DeleteFileA(kFile);
    Result r;
    std::vector<Pairs> candidates{Pairs{}};
    ULONG error = 0;
    PIX ix = IxdCreate(kFile, kKeyLength, gShared, kNodeSize, 0, faultvbf::table(), &error);
    if (ix == nullptr || faultvbf::dead()) {
        if (ix)
            IxdClose(ix);
        r.allowed = candidates;
        r.inCreate = true;
        return r;
    }
    for (const Op &op : ops) {
        bool failedBefore = faultvbf::failed();
        USHORT rc = op.enter ? IxdEnter(ix, op.key.data(), op.record, &error)
                             : IxdRemove(ix, op.key.data(), op.record, &error);
        auto apply = [&](Pairs &p) {
            if (op.enter)
                p.insert(pairOf(op.key, op.record));
            else
                p.erase(pairOf(op.key, op.record));
        };
        bool inFlight = faultvbf::dead() || (rc != 0 && !failedBefore && faultvbf::failed());
        if (inFlight) {
            std::vector<Pairs> next = candidates;
            for (Pairs &p : next)
                apply(p);
            candidates.insert(candidates.end(), next.begin(), next.end());
            if (faultvbf::dead())
                break;
        } else if (rc == 0) {
            for (Pairs &p : candidates)
                apply(p);
        }
    }
    IxdClose(ix);
    r.allowed = candidates;
    return r;
}

void check(const Result &r, const faultvbf::Plan &plan)
{
    SCOPED_TRACE(faultsweep::describe(plan));
    ULONG error = 0;
    PIX ix = IxdOpen(kFile, kKeyLength, 0, nullptr, &error);
    if (ix == nullptr) {
        // Refused: the file says an update did not end, or was never made whole.
        if (!(r.inCreate && error == IXD_ERR_IO)) {
            ASSERT_EQ(error, ULONG(IXD_ERR_BAD_FILE));
        }
        return;
    }
    Pairs got;
    char key[kKeyLength];
    ULONG record = 0;
    if (IxdFirst(ix, key, &record, &error) == 0)
        do
            got.insert(pairOf(std::string(key, kKeyLength), record));
        while (IxdNext(ix, key, &record, &error) == 0);
    ULONG count = 0;
    IxdQueryNrKeys(ix, &count, &error);
    IxdClose(ix);
    EXPECT_EQ(count, got.size());
    EXPECT_EQ(ixdcheck::verify(testutil::readFile(kFile)), "");
    for (const Pairs &p : r.allowed)
        if (p == got)
            return;
    ADD_FAILURE() << "the index holds " << got.size() << " pairs, none of the "
                  << r.allowed.size() << " allowed states (first has "
                  << r.allowed.front().size() << ")";
}

constexpr USHORT kCacheSlots = 3;   // few slots: nodes go to the file often

class IndexSweep : public ::testing::TestWithParam<ULONG> {
protected:
    void SetUp() override
    {
        gShared = GetParam();
        IxdSetCacheSize(kCacheSlots);
    }
    void TearDown() override
    {
        IxdSetCacheSize(IXD_DEFAULT_CACHE);
        faultvbf::disarm();
        DeleteFileA(kFile);
    }
    long measure(unsigned kinds)
    {
        return faultsweep::measure(kinds, [&] { run(ops); });
    }
    void sweep(const std::vector<faultvbf::Plan> &plans)
    {
        faultsweep::sweep(plans, [&] { return run(ops); }, check);
    }
    std::vector<Op> ops = workload();
};

TEST_P(IndexSweep, AKillAtAnyWriteLeavesTheFinishedPairsOrARefusal)
{
    long total = measure(0);
    ASSERT_GT(total, 200);
    sweep(faultsweep::killPlans(total, true));
}

TEST_P(IndexSweep, AFailedCallLeavesTheFinishedPairsOrARefusal)
{
    long total = measure(faultsweep::kAllCalls);
    ASSERT_GT(total, 200);
    sweep(faultsweep::failurePlans(total));
}

INSTANTIATE_TEST_SUITE_P(Modes, IndexSweep, ::testing::Values(ULONG(0), ULONG(1)),
                         [](const auto &info) { return info.param ? "Shared" : "Exclusive"; });

}  // namespace
