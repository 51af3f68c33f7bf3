// What one Ixd call costs in calls below it: index-lock round trips,
// bytes read and written through the virtual file, and the operating-
// system seeks, reads and writes the buffered files make for it.  A
// shared handle whose nodes all sit in its cache must do per call exactly
// one lock and one unlock and read just the two version bytes, as long as
// nobody changed the file; a change writes the header twice and each node
// once; a change by another handle costs one header read and no more.
// Unshared handles never lock and, with the nodes cached, make no
// operating-system call at all.  Every answer is checked against a model
// set of pairs, so a cheaper but wrong path fails as well.
#include <gtest/gtest.h>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include "index/ixdint.h"
#include "vfile/fbfint.h"
#include "knlnam.h"
#include "testutil.h"

using testutil::ScratchFile;

namespace {

constexpr USHORT kKeyLen = 8;
constexpr unsigned kKeys = 1500;        // few enough that the tree fits the node cache
constexpr unsigned kCalls = 200;

/* What the counting table saw since the last reset. */
struct VbfCounts {
    unsigned locks = 0, unlocks = 0;
    unsigned long readBytes = 0, directBytes = 0, writtenBytes = 0;
};
VbfCounts counts;
PFNVBFREAD realRead, realReadDirect;
PFNVBFWRITE realWrite;
PFNVBFFILELOCKS realLocks, realLocksEx;

USHORT countRead(void *h, void *buf, ULONG n, ULONG *done)
{
    ULONG got = 0;
    USHORT rc = realRead(h, buf, n, &got);
    counts.readBytes += got;
    if (done != nullptr)
        *done = got;
    return rc;
}

USHORT countReadDirect(void *h, void *buf, ULONG n, ULONG *done)
{
    ULONG got = 0;
    USHORT rc = realReadDirect(h, buf, n, &got);
    counts.directBytes += got;
    if (done != nullptr)
        *done = got;
    return rc;
}

USHORT countWrite(void *h, const void *buf, ULONG n, ULONG *done)
{
    ULONG put = 0;
    USHORT rc = realWrite(h, buf, n, &put);
    counts.writtenBytes += put;
    if (done != nullptr)
        *done = put;
    return rc;
}

void countRanges(const FILELOCK *unlockRange, const FILELOCK *lockRange)
{
    counts.unlocks += unlockRange != nullptr;
    counts.locks += lockRange != nullptr;
}

USHORT countLocks(void *h, FILELOCK *unlockRange, FILELOCK *lockRange)
{
    countRanges(unlockRange, lockRange);
    return realLocks(h, unlockRange, lockRange);
}

USHORT countLocksEx(void *h, FILELOCK *unlockRange, FILELOCK *lockRange)
{
    countRanges(unlockRange, lockRange);
    return realLocksEx(h, unlockRange, lockRange);
}

/* The buffered files' own table with the counting calls in its slots. */
struct CountingTable {
    VBFFUNCS *t = FbfAllocVbfFuncStruct(KnlNamGetDefaultNS());
    CountingTable()
    {
        realRead = t->Read;
        realReadDirect = t->ReadDirect;
        realWrite = t->Write;
        realLocks = t->FileLocks;
        realLocksEx = t->FileLocksEx;
        t->Read = countRead;
        t->ReadDirect = countReadDirect;
        t->Write = countWrite;
        t->FileLocks = countLocks;
        t->FileLocksEx = countLocksEx;
    }
    ~CountingTable() { std::free(t); }
    CountingTable(const CountingTable &) = delete;
    CountingTable &operator=(const CountingTable &) = delete;
};

orin::fbf::FBFCACHESTATS osCalls()
{
    orin::fbf::FBFCACHESTATS st;
    FbfQueryCacheStats(&st);
    return st;
}

void resetCounts()
{
    counts = VbfCounts{};
    FbfResetCacheStats();
}

std::string keyOf(unsigned v)
{
    char k[kKeyLen + 1];
    std::snprintf(k, sizeof k, "%08u", v);
    return std::string(k, kKeyLen);
}

/* The pairs as the index orders them: the key, then the record number's
 * little-endian bytes. */
std::string storedOf(const std::string &key, ULONG record)
{
    std::string s = key;
    for (int i = 0; i < 4; i++)
        s += static_cast<char>(record >> (8 * i));
    return s;
}
ULONG recordOf(const std::string &stored)
{
    ULONG r = 0;
    for (int i = 3; i >= 0; i--)
        r = r << 8 | static_cast<BYTE>(stored[kKeyLen + i]);
    return r;
}
using Model = std::set<std::string>;

class IxdCalls : public ::testing::Test {
protected:
    void build(ULONG shared)
    {
        ULONG err = 0;
        ix = IxdCreate(file.name.c_str(), kKeyLen, shared, 0, 0, table.t, &err);
        ASSERT_NE(ix, nullptr) << err;
        std::mt19937 rng(7);
        for (unsigned i = 0; i < kKeys; i++) {
            unsigned v = rng() % 100000;
            std::string k = keyOf(v);
            USHORT rc = IxdEnter(ix, k.data(), i, &err);
            ASSERT_EQ(rc, 0) << err;
            model.insert(storedOf(k, i));
        }
        lookups(kKeys, 11);    // every node once into the cache
    }
    void TearDown() override
    {
        if (ix != nullptr)
            IxdClose(ix);
    }

    /* n searches of random keys, each answer checked against the model. */
    void lookups(unsigned n, unsigned seed)
    {
        std::mt19937 rng(seed);
        for (unsigned i = 0; i < n; i++) {
            std::string k = keyOf(rng() % 100000);
            char out[kKeyLen];
            ULONG rec = 0, err = 0;
            USHORT rc = IxdSearch(ix, k.data(), out, &rec, &err);
            auto it = model.lower_bound(storedOf(k, 0));
            if (it == model.end()) {
                EXPECT_EQ(err, IXD_ERR_NOT_FOUND);
                continue;
            }
            ASSERT_EQ(rc, 0) << err;
            EXPECT_EQ(std::string(out, kKeyLen), it->substr(0, kKeyLen));
            EXPECT_EQ(rec, recordOf(*it));
        }
    }

    ScratchFile file{"ixd_calls.ixd"};
    CountingTable table;
    PIX ix = nullptr;
    Model model;
};

TEST_F(IxdCalls, SharedReadsCostOneLockPairAndTheVersionBytes)
{
    build(1);
    IxdQueryPerformanceCounter(ix, ~0UL, 1);
    resetCounts();
    lookups(kCalls, 21);
    EXPECT_EQ(counts.locks, kCalls);
    EXPECT_EQ(counts.unlocks, kCalls);
    EXPECT_EQ(counts.directBytes, 2ul * kCalls) << "only the version is read";
    EXPECT_EQ(counts.readBytes, 0ul);
    EXPECT_EQ(IxdQueryPerformanceCounter(ix, IXD_COUNT_NODE_READS, 0), 0ul)
        << "the node cache stays valid while the version stands";
    orin::fbf::FBFCACHESTATS st = osCalls();
    EXPECT_EQ(st.osReads, kCalls);
    EXPECT_EQ(st.osSeeks, 0u) << "each read names its offset";
    EXPECT_EQ(st.osWrites, 0u);

    /* a walk: every step one lock pair and one version read */
    resetCounts();
    char out[kKeyLen];
    ULONG rec = 0, err = 0;
    auto it = model.begin();
    ASSERT_EQ(IxdFirst(ix, out, &rec, &err), 0);
    for (unsigned i = 0; i < kCalls; i++, ++it) {
        ASSERT_EQ(std::string(out, kKeyLen), it->substr(0, kKeyLen));
        ASSERT_EQ(rec, recordOf(*it));
        ASSERT_EQ(IxdNext(ix, out, &rec, &err), 0);
    }
    EXPECT_EQ(counts.locks, kCalls + 1);
    EXPECT_EQ(counts.unlocks, kCalls + 1);
    EXPECT_EQ(counts.directBytes, 2ul * (kCalls + 1));
    EXPECT_EQ(counts.readBytes, 0ul);
    EXPECT_EQ(osCalls().osReads, kCalls + 1);
}

TEST_F(IxdCalls, SharedChangesWriteTheHeaderTwiceAndEachNodeOnce)
{
    build(1);
    USHORT before = 0;
    ULONG err = 0;
    ASSERT_EQ(IxdQueryTreeVersion(ix, &before, &err), 0);
    IxdQueryPerformanceCounter(ix, ~0UL, 1);
    resetCounts();
    std::mt19937 rng(31);
    for (unsigned i = 0; i < kCalls; i++) {
        std::string k = keyOf(rng() % 100000);
        ASSERT_EQ(IxdEnter(ix, k.data(), kKeys + i, &err), 0) << err;
        model.insert(storedOf(k, kKeys + i));
    }
    for (unsigned i = 0; i < kCalls / 2; i++) {
        auto it = model.begin();
        std::advance(it, rng() % model.size());
        ASSERT_EQ(IxdRemove(ix, it->data(), recordOf(*it), &err), 0) << err;
        model.erase(it);
    }
    const unsigned changes = kCalls + kCalls / 2;
    ULONG nodeWrites = IxdQueryPerformanceCounter(ix, IXD_COUNT_NODE_WRITES, 0);
    EXPECT_EQ(counts.locks, changes);
    EXPECT_EQ(counts.unlocks, changes);
    EXPECT_EQ(counts.directBytes, 2ul * changes);
    EXPECT_EQ(counts.readBytes, 0ul) << "own changes need no header read";
    orin::fbf::FBFCACHESTATS st = osCalls();
    EXPECT_EQ(st.osReads, changes);
    EXPECT_EQ(st.osWrites, 2 * changes + nodeWrites);
    EXPECT_GE(nodeWrites, changes);
    EXPECT_EQ(st.osSeeks, 0u);

    USHORT after = 0;
    ASSERT_EQ(IxdQueryTreeVersion(ix, &after, &err), 0);
    EXPECT_EQ(static_cast<USHORT>(after - before), changes);
    lookups(kCalls, 41);
}

TEST_F(IxdCalls, AnotherHandlesChangeCostsOneHeaderRead)
{
    build(1);
    ULONG err = 0;
    PIX other = IxdOpen(file.name.c_str(), kKeyLen, 1, table.t, &err);
    ASSERT_NE(other, nullptr) << err;
    std::string k = keyOf(123456);
    ASSERT_EQ(IxdEnter(other, k.data(), 99, &err), 0) << err;
    model.insert(storedOf(k, 99));
    IxdClose(other);

    resetCounts();
    lookups(1, 51);
    EXPECT_EQ(counts.directBytes, 2ul);
    EXPECT_EQ(counts.readBytes % IXD_DEFAULT_NODE_SIZE, ULONG{orin::ixd::kHeaderSize})
        << "the header once, then whole nodes (the cache was dropped)";

    resetCounts();
    lookups(kCalls, 52);
    EXPECT_EQ(counts.directBytes, 2ul * kCalls);
    EXPECT_EQ(counts.readBytes % IXD_DEFAULT_NODE_SIZE, 0ul) << "no header read while it stands";
    EXPECT_EQ(counts.locks, kCalls);
}

TEST_F(IxdCalls, UnsharedCachedReadsMakeNoSystemCall)
{
    build(0);
    resetCounts();
    lookups(kCalls, 61);
    EXPECT_EQ(counts.locks + counts.unlocks, 0u);
    EXPECT_EQ(counts.readBytes + counts.directBytes + counts.writtenBytes, 0ul);
    orin::fbf::FBFCACHESTATS st = osCalls();
    EXPECT_EQ(st.osSeeks + st.osReads + st.osWrites, 0u);
}

}  // namespace
