// Inserting, deleting and navigating in index files: split and free-list
// behaviour seen in the file image, ordering of equal keys, positions at
// the ends and across nodes, re-positioning after a removal, prefix
// counting, and forwarding through a foreign operation table.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <set>
#include "ixd.h"
#include "memvbf.h"
#include "ixdcheck.h"

namespace {

const char *const NAME = "tree.ixd";

std::string key(const std::string &text, size_t len)
{
    std::string k = text;
    k.resize(len, '\0');
    return k;
}

std::string numKey(unsigned n, size_t len)
{
    char buf[16];
    snprintf(buf, sizeof buf, "%08u", n);
    return key(buf, len);
}

struct Index {
    PIX ix = nullptr;
    size_t keyLen;
    Index(size_t kl, USHORT nodeSize, ULONG shared = 0) : keyLen(kl)
    {
        ULONG err = 1;
        ix = IxdCreate(NAME, (USHORT)kl, shared, nodeSize, 0, memvbf::table(), &err);
        EXPECT_NE(ix, nullptr);
        EXPECT_EQ(err, 0u);
    }
    ~Index() { close(); }
    void close()
    {
        if (ix)
            IxdClose(ix);
        ix = nullptr;
    }
    ULONG enter(const std::string &k, ULONG rec)
    {
        ULONG err = 0;
        USHORT rc = IxdEnter(ix, key(k, keyLen).data(), rec, &err);
        EXPECT_EQ(rc == 0, err == 0);
        return err;
    }
    ULONG remove(const std::string &k, ULONG rec)
    {
        ULONG err = 0;
        IxdRemove(ix, key(k, keyLen).data(), rec, &err);
        return err;
    }
};

struct Pair {
    ULONG err = 0;
    USHORT rc = 0;
    std::string k;
    ULONG rec = 0;
};

template <class F> Pair call(size_t keyLen, F f)
{
    Pair p;
    p.k.assign(keyLen, '?');
    p.rc = f(&p.k[0], &p.rec, &p.err);
    return p;
}

} // namespace

TEST(IxdTree, DuplicatePairRefusedSameKeyOtherRecordAccepted)
{
    Index t(6, 0);
    EXPECT_EQ(t.enter("abc", 7), 0u);
    EXPECT_EQ(t.enter("abc", 7), (ULONG)IXD_ERR_DUPLICATE);
    EXPECT_EQ(t.enter("abc", 8), 0u);
    ULONG n = 0, err = 1;
    EXPECT_EQ(IxdQueryNrKeys(t.ix, &n, &err), 0);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(t.remove("abc", 9), (ULONG)IXD_ERR_NOT_FOUND);

    std::string stored = key("abc", 6) + std::string("\x08\0\0\0", 4);   // record 8
    EXPECT_EQ(IxdRemoveKey(t.ix, stored.data(), &err), 0);
    EXPECT_EQ(IxdRemoveKey(t.ix, stored.data(), &err), IXD_FAILED);
    EXPECT_EQ(err, (ULONG)IXD_ERR_NOT_FOUND);
    EXPECT_EQ(IxdQueryNrKeys(t.ix, &n, &err), 0);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(IxdRetrieve(t.ix, key("abc", 6).data(), 7, &err), 0);
}

TEST(IxdTree, AscendingLoadLeavesFullNodes)
{
    const size_t kl = 8;
    {
        Index t(kl, 100);   // (100 - 10) / 16 = 5 entries per node
        for (unsigned i = 0; i < 777; i++)
            ASSERT_EQ(t.enter(numKey(i, kl), i), 0u);
    }
    const std::string &img = memvbf::bytes(NAME);
    auto h = ixdcheck::header(img);
    EXPECT_EQ(h.maxEntries, 5);
    EXPECT_EQ(h.nKeys, 777u);
    EXPECT_EQ(ixdcheck::verify(img), "");
    auto rows = ixdcheck::levels(img, h);
    ASSERT_GE(rows.size(), 4u);
    for (auto &row : rows)
        for (size_t i = 0; i + 1 < row.size(); i++)
            EXPECT_EQ(ixdcheck::node(img, h, row[i]).keys.size(), 5u) << "node " << row[i];
}

TEST(IxdTree, RemovingEverythingFreesNodesThatLaterInsertsReuse)
{
    const size_t kl = 4;
    std::vector<unsigned> order(600);
    for (unsigned i = 0; i < order.size(); i++)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    ixdcheck::Header full;
    size_t fullLength;
    {
        Index t(kl, 64);
        for (unsigned v : order)
            ASSERT_EQ(t.enter(numKey(v, kl + 4).substr(4), v), 0u);
        t.close();
        full = ixdcheck::header(memvbf::bytes(NAME));
        fullLength = memvbf::bytes(NAME).size();
        ULONG err;
        t.ix = IxdOpen(NAME, kl, 0, memvbf::table(), &err);
        ASSERT_NE(t.ix, nullptr);
        std::shuffle(order.begin(), order.end(), std::mt19937(6));
        for (unsigned v : order)
            ASSERT_EQ(t.remove(numKey(v, kl + 4).substr(4), v), 0u) << v;
    }
    const std::string &img = memvbf::bytes(NAME);
    auto h = ixdcheck::header(img);
    EXPECT_EQ(h.height, 1);
    EXPECT_EQ(h.nKeys, 0u);
    EXPECT_TRUE(ixdcheck::node(img, h, h.root).keys.empty());
    auto freed = ixdcheck::freeList(img, h);
    std::set<uint32_t> distinct(freed.begin(), freed.end());
    EXPECT_EQ(freed.size(), h.nNodes - 1);
    EXPECT_EQ(distinct.size(), freed.size());
    EXPECT_EQ(distinct.count(h.root), 0u);
    EXPECT_EQ(h.nNodes, full.nNodes);

    // the same load again needs no more nodes than are free
    ULONG err;
    PIX ix = IxdOpen(NAME, kl, 0, memvbf::table(), &err);
    ASSERT_NE(ix, nullptr);
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    for (unsigned v : order)
        ASSERT_EQ(IxdEnter(ix, numKey(v, kl + 4).substr(4).data(), v, &err), 0);
    IxdClose(ix);
    auto again = ixdcheck::header(memvbf::bytes(NAME));
    EXPECT_EQ(again.nNodes, full.nNodes);
    EXPECT_EQ(memvbf::bytes(NAME).size(), fullLength);
    EXPECT_EQ(ixdcheck::verify(memvbf::bytes(NAME)), "");
}

TEST(IxdTree, SearchesFindNeighboursAndReportMisses)
{
    Index t(4, 0);
    for (const char *k : {"b", "d", "f"})
        ASSERT_EQ(t.enter(k, 1), 0u);
    auto search = [&](const char *k) {
        return call(4, [&](void *o, ULONG *r, ULONG *e) {
            return IxdSearch(t.ix, key(k, 4).data(), o, r, e); });
    };
    auto back = [&](const char *k) {
        return call(4, [&](void *o, ULONG *r, ULONG *e) {
            return IxdSearchBack(t.ix, key(k, 4).data(), o, r, e); });
    };
    EXPECT_EQ(search("c").k, key("d", 4));
    EXPECT_EQ(search("a").k, key("b", 4));
    EXPECT_EQ(search("g").err, (ULONG)IXD_ERR_NOT_FOUND);
    EXPECT_EQ(search("g").rc, IXD_FAILED);
    EXPECT_EQ(back("e").k, key("d", 4));
    EXPECT_EQ(back("f").k, key("f", 4));
    EXPECT_EQ(back("a").err, (ULONG)IXD_ERR_NOT_FOUND);

    ULONG err = 0;
    EXPECT_EQ(IxdRetrieve(t.ix, key("d", 4).data(), 1, &err), 0);
    Pair p = call(4, [&](void *o, ULONG *r, ULONG *e) { return IxdNext(t.ix, o, r, e); });
    EXPECT_EQ(p.k, key("f", 4));
    EXPECT_EQ(IxdRetrieve(t.ix, key("d", 4).data(), 2, &err), IXD_FAILED);
    EXPECT_EQ(err, (ULONG)IXD_ERR_NOT_FOUND);
    char cur[4];
    EXPECT_EQ(IxdQueryCurrentKey(t.ix, cur, sizeof cur), 0);
    EXPECT_EQ(std::string(cur, 4), key("f", 4));   // a failed search keeps the position
}

TEST(IxdTree, EmptyIndexAndBothEnds)
{
    const size_t kl = 8;
    Index t(kl, 60);   // two entries per node: many leaves
    auto first = [&] { return call(kl, [&](void *o, ULONG *r, ULONG *e) {
        return IxdFirst(t.ix, o, r, e); }); };
    auto last = [&] { return call(kl, [&](void *o, ULONG *r, ULONG *e) {
        return IxdLast(t.ix, o, r, e); }); };
    auto next = [&] { return call(kl, [&](void *o, ULONG *r, ULONG *e) {
        return IxdNext(t.ix, o, r, e); }); };
    auto prev = [&] { return call(kl, [&](void *o, ULONG *r, ULONG *e) {
        return IxdPrev(t.ix, o, r, e); }); };
    EXPECT_EQ(first().err, (ULONG)IXD_ERR_NOT_FOUND);
    EXPECT_EQ(last().err, (ULONG)IXD_ERR_NOT_FOUND);
    EXPECT_EQ(next().err, (ULONG)IXD_ERR_NOT_FOUND);

    const unsigned n = 41;
    for (unsigned i = 0; i < n; i++)
        ASSERT_EQ(t.enter(numKey(i * 7 % n, kl), i), 0u);
    EXPECT_EQ(first().k, numKey(0, kl));
    EXPECT_EQ(prev().err, (ULONG)IXD_ERR_NOT_FOUND);
    EXPECT_EQ(next().k, numKey(1, kl));        // the failed step kept the first pair
    EXPECT_EQ(last().k, numKey(n - 1, kl));
    EXPECT_EQ(next().err, (ULONG)IXD_ERR_NOT_FOUND);
    EXPECT_EQ(prev().k, numKey(n - 2, kl));

    // full walks in both directions cross every leaf boundary
    first();
    for (unsigned i = 1; i < n; i++)
        ASSERT_EQ(next().k, numKey(i, kl));
    for (unsigned i = n - 1; i-- > 0;)
        ASSERT_EQ(prev().k, numKey(i, kl));

    auto skip = [&](SHORT c) { return call(kl, [&](void *o, ULONG *r, ULONG *e) {
        return IxdSkipkey(t.ix, c, o, r, e); }); };
    EXPECT_EQ(skip(17).k, numKey(17, kl));
    EXPECT_EQ(skip(-9).k, numKey(8, kl));
    EXPECT_EQ(skip(0).k, numKey(8, kl));
    EXPECT_EQ(skip(100).err, (ULONG)IXD_ERR_NOT_FOUND);
    EXPECT_EQ(skip(0).k, numKey(n - 1, kl));   // stopped at the end
}

TEST(IxdTree, PrefixCounting)
{
    Index t(5, 60);
    for (const char *k : {"AB1", "AB2", "AB", "AC1", "A", "B"})
        ASSERT_EQ(t.enter(k, 3), 0u);
    ASSERT_EQ(t.enter("AB1", 4), 0u);
    ULONG n = 99;
    EXPECT_EQ(IxdGetNrRecords(t.ix, "AB", &n), 0);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(IxdGetNrRecords(t.ix, "A", &n), 0);
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(IxdGetNrRecords(t.ix, "C", &n), 0);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(IxdGetNrRecords(t.ix, "ABCDEF", &n), 0);   // longer than the key
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(IxdGetNrRecords(t.ix, "", &n), IXD_FAILED);
}

TEST(IxdTree, AFailedUnlockIsReportedAndTheNextCallStillWorks)
{
    const size_t kl = 8;
    Index t(kl, 0, 1);
    ASSERT_EQ(t.enter(numKey(1, kl), 1), 0u);
    memvbf::unlockFails() = true;
    EXPECT_EQ(t.enter(numKey(2, kl), 2), (ULONG)IXD_ERR_UNLOCK);   // entered, lock kept
    ULONG err = 0, rec = 0, count = 0;
    char k[8];
    EXPECT_EQ(IxdFirst(t.ix, k, &rec, &err), IXD_FAILED);
    EXPECT_EQ(err, (ULONG)IXD_ERR_UNLOCK);
    memvbf::unlockFails() = false;
    EXPECT_EQ(IxdQueryNrKeys(t.ix, &count, &err), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(IxdLast(t.ix, k, &rec, &err), 0);
    EXPECT_EQ(rec, 2u);
}

TEST(IxdTree, WriteBackOutsideSharedModeWriteThroughInside)
{
    const size_t kl = 8;
    for (ULONG shared : {0u, 1u}) {
        Index t(kl, 0, shared);
        IxdQueryPerformanceCounter(t.ix, 15, 1);
        for (unsigned i = 0; i < 20; i++)
            ASSERT_EQ(t.enter(numKey(i, kl), i), 0u);
        ULONG writes = IxdQueryPerformanceCounter(t.ix, IXD_COUNT_NODE_WRITES, 0);
        if (shared)
            EXPECT_GE(writes, 20u);
        else
            EXPECT_EQ(writes, 0u);
        ULONG err;
        char k[8];
        ULONG rec;
        for (int i = 0; i < 5; i++)
            IxdFirst(t.ix, k, &rec, &err);
        EXPECT_GE(IxdQueryPerformanceCounter(t.ix, IXD_COUNT_CACHE_HITS, 1), 5u);
        EXPECT_EQ(IxdQueryPerformanceCounter(t.ix, IXD_COUNT_CACHE_HITS, 0), 0u);
        EXPECT_LE(IxdQueryPerformanceCounter(t.ix, IXD_COUNT_NODE_READS, 0), 1u);
        t.close();
        auto h = ixdcheck::header(memvbf::bytes(NAME));
        EXPECT_EQ(h.nKeys, 20u);
        EXPECT_EQ(h.consistent, 1);
        EXPECT_EQ(ixdcheck::verify(memvbf::bytes(NAME)), "");
    }
}

TEST(IxdTree, WithoutCacheNodesGoStraightToTheFile)
{
    USHORT before = IxdSetCacheSize(0);
    {
        Index t(8, 0);
        IxdQueryPerformanceCounter(t.ix, 15, 1);
        ASSERT_EQ(t.enter(numKey(1, 8), 1), 0u);
        EXPECT_EQ(IxdQueryPerformanceCounter(t.ix, IXD_COUNT_NODE_WRITES, 0), 1u);
        EXPECT_GE(IxdQueryPerformanceCounter(t.ix, IXD_COUNT_NODE_READS, 0), 1u);
        EXPECT_EQ(IxdQueryPerformanceCounter(t.ix, IXD_COUNT_CACHE_HITS, 0), 0u);
    }
    IxdSetCacheSize(before);
}

TEST(IxdTree, ModeChangeFlushesAndCountsAsAChange)
{
    Index t(8, 0);
    ASSERT_EQ(t.enter(numKey(1, 8), 1), 0u);
    USHORT v1 = 0, v2 = 0;
    ULONG err;
    ASSERT_EQ(IxdQueryTreeVersion(t.ix, &v1, &err), 0);
    ASSERT_EQ(IxdChandeIndexMode(t.ix, 1, 2000), 0);
    ASSERT_EQ(IxdQueryTreeVersion(t.ix, &v2, &err), 0);   // shared: read from the file
    EXPECT_EQ(v2, (USHORT)(v1 + 1));
    // the dirty leaf reached the file with the switch
    auto h = ixdcheck::header(memvbf::bytes(NAME));
    EXPECT_EQ(ixdcheck::node(memvbf::bytes(NAME), h, h.root).keys.size(), 1u);
    EXPECT_EQ(h.consistent, 1);
}

namespace {
int forwardedEnters;
USHORT fwdEnter(PIX, const void *, ULONG record, ULONG *error)
{
    forwardedEnters++;
    if (error)
        *error = record;
    return 0;
}
USHORT fwdKeyLength(PIX) { return 3; }
struct Foreign {               // begins like an index handle
    const IXDFUNCS *funcs;
    void *file;
    const char *currentKey;
};
} // namespace

TEST(IxdTree, ForeignHandlesAreServedByTheirTable)
{
    IXDFUNCS t;
    memset(&t, 0, sizeof t);
    t.Enter = fwdEnter;
    t.cb = offsetof(IXDFUNCS, Remove) + sizeof(void *);   // covers close..remove
    Foreign f{&t, nullptr, "keyXYZ"};
    PIX ix = reinterpret_cast<PIX>(&f);
    ULONG err = 0;
    EXPECT_EQ(IxdEnter(ix, "x", 42, &err), 0);
    EXPECT_EQ(err, 42u);
    EXPECT_EQ(forwardedEnters, 1);
    EXPECT_EQ(IxdRemove(ix, "x", 1, &err), IXD_FAILED);       // covered, null slot
    EXPECT_EQ(IxdSearch(ix, "x", nullptr, nullptr, &err), IXD_FAILED);   // not covered
    EXPECT_EQ(err, (ULONG)ORIN_ERR_NOT_SUPPORTED);
    IxdClose(ix);   // covered null slot: nothing happens

    // a table ending at the key-length slot: the current key is copied
    // from the handle with the length the table reports
    t.QueryKeyLength = fwdKeyLength;
    t.cb = offsetof(IXDFUNCS, QueryKeyLength) + sizeof(void *);
    char cur[8] = "-------";
    EXPECT_EQ(IxdQueryCurrentKey(ix, cur, sizeof cur), 0);
    EXPECT_EQ(std::string(cur), "key----");

    t.QueryKeyLength = nullptr;
    t.cb = sizeof t;
    EXPECT_EQ(IxdQueryKeyLength(ix), 0);
    EXPECT_EQ(IxdQueryPerformanceCounter(ix, 15, 0), 0u);
    EXPECT_EQ(IxdQueryNrKeys(ix, nullptr, &err), IXD_FAILED);

    EXPECT_EQ(IxdEnter(nullptr, "x", 1, &err), IXD_FAILED);
    EXPECT_EQ(err, (ULONG)ORIN_ERR_INVALID_HANDLE);
}
