// White-box checks of the page cache: which slot a miss takes, the order
// of a file's page list, the fast path, the clock's rescaling and pages
// patched by writes that leave a gap.  Reads are compared with the file's
// bytes as the C library sees them.  These pin the page-by-page fill, so
// they run with the miss fast paths (reads past the cache, several pages
// per call) switched off; test_fbf_fastpath checks those.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "vfile/fbfint.h"
#include "knlnam.h"
#include "testutil.h"

using testutil::ScratchFile;

namespace {

std::string pages(int count, char base)
{
    std::string s;
    for (int i = 0; i < count; i++)
        s += std::string(FBF_PAGE_SIZE, (char)(base + i % 20));
    return s;
}

HFBF open(const std::string &name)
{
    HFBF h = nullptr;
    EXPECT_EQ(FbfOpen((ULONG_PTR)KnlNamGetDefaultNS(), name.c_str(), &h, nullptr, 0, 128, 1,
                      VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE, 0), 0);
    return h;
}

char byteAt(HFBF h, ULONG pos)
{
    BYTE ch = 0;
    EXPECT_EQ(FbfChgFilePtr(h, (LONG)pos, VBF_FILE_BEGIN, nullptr), 0);
    EXPECT_EQ(FbfGetch(h, &ch), 0);
    return (char)ch;
}

orin::fbf::FBFENTRY &entryOf(HFBF h)
{
    return orin::fbf::fbfFiles[h->fileIndex];
}

ULONG pageAt(HFBF h, int listIndex)
{
    return orin::fbf::fbfPages[entryOf(h).pages[listIndex]].pageNumber;
}

// Runs a test on the page-by-page fill.
class PageByPage : public ::testing::Test {
protected:
    void SetUp() override { orin::fbf::setFastPaths(false); }
    void TearDown() override { orin::fbf::setFastPaths(true); }
};

class FbfCacheSlots : public PageByPage {};
class FbfCachePatch : public PageByPage {};

} // namespace

TEST_F(FbfCacheSlots, AFileHoldsAtMost53PagesMostRecentFirst)
{
    ScratchFile fa("fbfc_a.dat"), fb("fbfc_b.dat");
    std::string a = pages(60, 'A'), b = pages(2, 'a');
    ASSERT_TRUE(testutil::writeFile(fa.name, a));
    ASSERT_TRUE(testutil::writeFile(fb.name, b));
    HFBF ha = open(fa.name), hb = open(fb.name);
    FbfResetCacheStats();

    for (ULONG p = 0; p < 60; p++)
        ASSERT_EQ(byteAt(ha, p * FBF_PAGE_SIZE + 7), a[p * FBF_PAGE_SIZE + 7]);
    FBFCACHESTATS st;
    FbfQueryCacheStats(&st);
    EXPECT_EQ(st.misses, 60u);
    ASSERT_EQ(entryOf(ha).pageCount, (ULONG64)FBF_CACHE_PAGES);
    for (int i = 0; i < FBF_CACHE_PAGES; i++)
        ASSERT_EQ(pageAt(ha, i), 59u - i) << i;

    // A hit deep in the list moves that page to the front.
    EXPECT_EQ(byteAt(ha, 10 * FBF_PAGE_SIZE), a[10 * FBF_PAGE_SIZE]);
    FbfQueryCacheStats(&st);
    EXPECT_EQ(st.slowHits, 1u);
    EXPECT_EQ(pageAt(ha, 0), 10u);
    EXPECT_EQ(pageAt(ha, 1), 59u);

    // A miss of a file that holds all 53 pages reuses its own oldest one
    // (page 7 now), keeping the count.
    EXPECT_EQ(byteAt(ha, 0), a[0]);
    EXPECT_EQ(entryOf(ha).pageCount, (ULONG64)FBF_CACHE_PAGES);
    EXPECT_EQ(pageAt(ha, 0), 0u);
    EXPECT_EQ(pageAt(ha, FBF_CACHE_PAGES - 1), 8u);

    // Another file's miss takes the oldest slot of the whole cache, which
    // belongs to the first file.
    EXPECT_EQ(byteAt(hb, 5000), b[5000]);
    EXPECT_EQ(entryOf(hb).pageCount, 1u);
    EXPECT_EQ(entryOf(ha).pageCount, (ULONG64)FBF_CACHE_PAGES - 1);
    EXPECT_EQ(pageAt(ha, FBF_CACHE_PAGES - 2), 9u);

    // Closing a file gives its slots back.
    FbfClose(hb);
    int freeSlots = 0;
    for (auto &p : orin::fbf::fbfPages)
        freeSlots += p.validLength == 0;
    EXPECT_EQ(freeSlots, 1);
    FbfClose(ha);
    for (auto &p : orin::fbf::fbfPages) {
        EXPECT_EQ(p.validLength, 0u);
        EXPECT_EQ(p.buffer, nullptr);
    }
}

TEST_F(FbfCacheSlots, FastPathServesTheMostRecentPage)
{
    ScratchFile f("fbfc_fast.dat");
    std::string a = pages(3, 'K');
    ASSERT_TRUE(testutil::writeFile(f.name, a));
    HFBF h = open(f.name);
    FbfResetCacheStats();
    char buf[64];
    ULONG n;
    ASSERT_EQ(FbfRead(h, buf, 64, &n), 0);    // miss
    for (int i = 0; i < 10; i++)
        ASSERT_EQ(FbfRead(h, buf, 64, &n), 0);
    EXPECT_EQ(std::string(buf, 64), a.substr(640, 64));
    // A read reaching into the next page cannot take the fast path.
    ASSERT_EQ(FbfChgFilePtr(h, FBF_PAGE_SIZE - 10, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(FbfRead(h, buf, 20, &n), 0);
    EXPECT_EQ(std::string(buf, 20), a.substr(FBF_PAGE_SIZE - 10, 20));
    FBFCACHESTATS st;
    FbfQueryCacheStats(&st);
    EXPECT_EQ(st.fastHits, 10u);
    EXPECT_EQ(st.misses, 2u);
    EXPECT_EQ(st.slowHits, 1u);
    FbfClose(h);
}

TEST_F(FbfCacheSlots, ClockRescalesStampsAndKeepsTheirOrder)
{
    ScratchFile f("fbfc_clock.dat");
    std::string a = pages(3, 'c');
    ASSERT_TRUE(testutil::writeFile(f.name, a));
    HFBF h = open(f.name);
    // Alternate between pages so every read is a stamped list hit.
    for (int i = 0; i < 70000; i++)
        ASSERT_EQ(byteAt(h, (ULONG)(i % 3) * FBF_PAGE_SIZE), a[(i % 3) * FBF_PAGE_SIZE]);
    ULONG64 s0 = orin::fbf::fbfPages[entryOf(h).pages[0]].lruStamp;
    ULONG64 s1 = orin::fbf::fbfPages[entryOf(h).pages[1]].lruStamp;
    ULONG64 s2 = orin::fbf::fbfPages[entryOf(h).pages[2]].lruStamp;
    EXPECT_LE(s0, 60000u);
    EXPECT_GE(s0, s1);
    EXPECT_GE(s1, s2);
    EXPECT_LT(s0, 20000u) << "stamps were rescaled after the clock passed its limit";
    FbfClose(h);
}

TEST_F(FbfCachePatch, WriteBeyondTheCachedEndReadsBackAsTheFileHoldsIt)
{
    ScratchFile f("fbfc_gap.dat");
    ASSERT_TRUE(testutil::writeFile(f.name, std::string(100, 'v')));
    HFBF r = open(f.name), w = open(f.name);
    char buf[300];
    ULONG n;
    ASSERT_EQ(FbfRead(r, buf, 100, &n), 0);    // page 0 cached, 100 bytes valid
    ASSERT_EQ(FbfChgFilePtr(w, 200, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(FbfWrite(w, "0123456789", 10, &n), 0);
    EXPECT_EQ(orin::fbf::fbfPages[entryOf(r).pages[0]].validLength, 210u);
    ASSERT_EQ(FbfChgFilePtr(r, 0, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(FbfRead(r, buf, 300, &n), 0);
    EXPECT_EQ(n, 210u);
    EXPECT_EQ(std::string(buf, n), testutil::readFile(f.name));
    FbfClose(r);
    FbfClose(w);
}

// The system calls behind transfers.  With positioned transfers each
// read or write is one call that names its offset and no seek is ever
// made.  Without them the file pointer shared by every handle on a name
// is only moved when it does not already stand where a transfer starts.
// Cached reads make no call either way.  Every byte is checked against
// the file's content, kept up to date in `a`; `seeks` are the seek counts
// expected at the three checkpoints.
void countSystemCalls(bool positioned, const ULONG64 (&seeks)[3])
{
    orin::fbf::setPositionedIo(positioned);
    ScratchFile f("fbfc_seek.dat");
    std::string a = pages(8, 'S');
    ASSERT_TRUE(testutil::writeFile(f.name, a));
    HFBF h = open(f.name), other = open(f.name);
    FbfResetCacheStats();
    char buf[300];
    ULONG n = 0;

    // Ten direct reads in a row.
    ASSERT_EQ(FbfChgFilePtr(h, 1000, VBF_FILE_BEGIN, nullptr), 0);
    for (int i = 0; i < 10; i++) {
        ASSERT_EQ(FbfReadDirect(h, buf, 300, &n), 0);
        ASSERT_EQ(std::string(buf, 300), a.substr(1000 + i * 300, 300)) << i;
    }
    FBFCACHESTATS st;
    FbfQueryCacheStats(&st);
    EXPECT_EQ(st.osSeeks, seeks[0]);
    EXPECT_EQ(st.osReads, 10u);

    // A write where the pointer stands, the other handle's read somewhere
    // else, and a write after it.
    std::string patch(100, 'w');
    ASSERT_EQ(FbfWrite(h, patch.data(), 100, &n), 0);
    a.replace(4000, 100, patch);
    ASSERT_EQ(FbfChgFilePtr(other, 20000, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(FbfReadDirect(other, buf, 10, &n), 0);
    EXPECT_EQ(std::string(buf, 10), a.substr(20000, 10));
    ASSERT_EQ(FbfWrite(h, patch.data(), 100, &n), 0);
    a.replace(4100, 100, patch);
    FbfQueryCacheStats(&st);
    EXPECT_EQ(st.osSeeks, seeks[1]);
    EXPECT_EQ(st.osReads, 11u);
    EXPECT_EQ(st.osWrites, 2u);

    // A page read into the cache costs one read; reading it again costs
    // nothing.
    ASSERT_EQ(FbfChgFilePtr(h, 3 * FBF_PAGE_SIZE + 5, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(FbfRead(h, buf, 200, &n), 0);
    ASSERT_EQ(FbfChgFilePtr(h, 3 * FBF_PAGE_SIZE + 5, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(FbfRead(h, buf, 200, &n), 0);
    EXPECT_EQ(std::string(buf, 200), a.substr(3 * FBF_PAGE_SIZE + 5, 200));
    FbfQueryCacheStats(&st);
    EXPECT_EQ(st.osSeeks, seeks[2]);
    EXPECT_EQ(st.osReads, 12u);
    ASSERT_EQ(FbfChgFilePtr(h, 4000, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(FbfReadDirect(h, buf, 200, &n), 0);
    EXPECT_EQ(std::string(buf, 200), a.substr(4000, 200)) << "the writes reached the file";
    FbfClose(other);
    FbfClose(h);
    orin::fbf::setPositionedIo(true);
}

TEST_F(FbfCacheSlots, PositionedTransfersMakeNoSeeks)
{
    countSystemCalls(true, {0, 0, 0});
}

TEST_F(FbfCacheSlots, SeeksAreLeftOutWhereThePointerAlreadyStands)
{
    // One seek to the start of the direct reads; one for the other
    // handle's read and one back for the write; one for the page.
    countSystemCalls(false, {1, 3, 4});
}
