// Index handles after their close, and two index files worked on by two
// threads at once.
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include "ixd.h"
#include "memvbf.h"
#include "testutil.h"

namespace {

const USHORT kKeyLen = 24;    // long keys: the files outgrow the page cache

std::string keyOf(unsigned n)
{
    char k[kKeyLen + 1];
    snprintf(k, sizeof k, "%0*u", (int)kKeyLen, n);
    return std::string(k, kKeyLen);
}

// Enters and removes seeded keys on a real file through the buffered
// back-end, then walks the index; returns every call's result and pair.
std::string indexWork(const std::string &file, unsigned seed)
{
    ULONG err = 0;
    PIX ix = IxdCreate(file.c_str(), kKeyLen, 0, 512, 0, nullptr, &err);
    if (ix == nullptr)
        return "create failed " + std::to_string(err);
    std::string log;
    unsigned state = seed;
    for (int i = 0; i < 12000; i++) {
        state = state * 1103515245u + 12345u;
        std::string k = keyOf((state >> 8) % 20000);
        USHORT rc = (state >> 4) % 4 == 0 ? IxdRemove(ix, k.data(), 1, &err)
                                            : IxdEnter(ix, k.data(), 1, &err);
        log += std::to_string(rc) + ":" + std::to_string(err) + " ";
    }
    char k[kKeyLen];
    ULONG rec = 0;
    for (USHORT rc = IxdFirst(ix, k, &rec, &err); rc == 0; rc = IxdNext(ix, k, &rec, &err))
        log += std::string(k, kKeyLen) + ",";
    ULONG count = 0;
    IxdQueryNrKeys(ix, &count, &err);
    log += " keys " + std::to_string(count);
    IxdClose(ix);
    return log;
}

} // namespace

// A closed handle is none of the live ones and not another implementation's
// either: every call answers the invalid-handle code without reading the
// freed record, and closing it again does nothing.
TEST(IxdHandles, ClosedHandleAnswersInvalidHandle)
{
    ULONG err = 0;
    PIX ix = IxdCreate("closed.ixd", 4, 0, 0, 64, memvbf::table(), &err);
    ASSERT_NE(ix, nullptr);
    ASSERT_EQ(IxdEnter(ix, "abcd", 1, &err), 0);
    IxdClose(ix);
    std::string image = memvbf::bytes("closed.ixd");

    char k[4];
    ULONG rec = 0, n = 0;
    USHORT version = 0;
    auto invalid = [&err](USHORT rc) {
        return rc == IXD_FAILED && err == (ULONG)ORIN_ERR_INVALID_HANDLE;
    };
    err = 0;
    EXPECT_TRUE(invalid(IxdEnter(ix, "abcd", 2, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdRemove(ix, "abcd", 1, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdRemoveKey(ix, "abcd\1\0\0\0", &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdSearch(ix, "abcd", k, &rec, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdSearchBack(ix, "abcd", k, &rec, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdSearchID(ix, "abcd", 1, k, &rec, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdRetrieve(ix, "abcd", 1, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdFirst(ix, k, &rec, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdLast(ix, k, &rec, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdNext(ix, k, &rec, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdPrev(ix, k, &rec, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdSkipkey(ix, 2, k, &rec, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdQueryNrKeys(ix, &n, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdQueryTreeChanged(ix, &n, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdQueryTreeVersion(ix, &version, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdUserRead(ix, k, 4, &n, &err)));
    err = 0;
    EXPECT_TRUE(invalid(IxdUserSetPos(ix, 0, IXD_USER_BEGIN, &n, &err)));
    EXPECT_EQ(IxdGetNrRecords(ix, "ab", &n), IXD_FAILED);
    EXPECT_EQ(IxdQueryKeyLength(ix), 0);
    EXPECT_EQ(IxdQueryKeyBufLength(ix), 0);
    EXPECT_EQ(IxdQueryCurrentKey(ix, k, sizeof k), IXD_FAILED);
    EXPECT_EQ(IxdChandeIndexMode(ix, 1, 10), IXD_FAILED);
    EXPECT_EQ(IxdQueryPerformanceCounter(ix, 15, 1), 0u);
    EXPECT_EQ(IxdUserQuerySize(ix), 0u);
    IxdClose(ix);
    EXPECT_EQ(memvbf::bytes("closed.ixd"), image) << "the closed file was not touched";

    // The file itself is sound and opens again.
    PIX again = IxdOpen("closed.ixd", 4, 0, memvbf::table(), &err);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(IxdFirst(again, k, &rec, &err), 0);
    EXPECT_EQ(rec, 1u);
    IxdClose(again);
}

// Each thread builds its own index file; the shared buffered-file cache
// (a small node cache makes the index read its file often) must not mix
// them up: the results and the files equal a run of one after the other.
TEST(IxdHandles, TwoIndexFilesOnTwoThreadsMatchOneAfterTheOther)
{
    testutil::ScratchFile seqA("ixdt_seq_a.ixd"), seqB("ixdt_seq_b.ixd");
    testutil::ScratchFile parA("ixdt_par_a.ixd"), parB("ixdt_par_b.ixd");
    USHORT cacheBefore = IxdSetCacheSize(2);
    std::string logSeqA = indexWork(seqA.name, 5);
    std::string logSeqB = indexWork(seqB.name, 6);
    std::string logParA, logParB;
    std::thread a([&] { logParA = indexWork(parA.name, 5); });
    std::thread b([&] { logParB = indexWork(parB.name, 6); });
    a.join();
    b.join();
    IxdSetCacheSize(cacheBefore);

    EXPECT_TRUE(logParA == logSeqA) << logParA.substr(0, 200);
    EXPECT_TRUE(logParB == logSeqB) << logParB.substr(0, 200);
    EXPECT_TRUE(testutil::readFile(parA.name) == testutil::readFile(seqA.name));
    EXPECT_TRUE(testutil::readFile(parB.name) == testutil::readFile(seqB.name));
    EXPECT_NE(logSeqA, logSeqB);
}
