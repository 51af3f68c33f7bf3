// Two threads, each on its own buffered files, at the same time: the
// process-wide open-file table and page cache are shared, and both files
// are larger than the cache, so every miss of one thread may take a page
// slot of the other.  The reads, lines and final files of the concurrent
// run must equal those of the same work done one file after the other.
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include "fbf.h"
#include "knlnam.h"
#include "testutil.h"

using testutil::ScratchFile;

namespace {

const ULONG kFileSize = 80 * 4096;    // more pages than the whole cache holds
const int kSteps = 3000;

std::string pattern(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; i++)
        s[i] = (i % 61 == 60) ? '\n' : (char)('a' + (i * 7 + seed) % 26);
    return s;
}

HVBF openVbf(const std::string &name)
{
    HVBF h = nullptr;
    EXPECT_EQ(VbfOpen(KnlNamGetDefaultNS(), name.c_str(), &h, nullptr, 0, VBF_ATTR_NORMAL,
                      VBF_OPEN_EXISTING, VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE, nullptr), 0);
    return h;
}

// Seeded reads, line reads, writes, size changes and flushes through two
// handles on one file; returns everything read, with each call's result.
std::string work(const std::string &name, unsigned seed)
{
    HVBF h[2] = {openVbf(name), openVbf(name)};
    std::string log;
    unsigned state = seed;
    auto next = [&state](unsigned range) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % range;
    };
    for (int step = 0; step < kSteps; step++) {
        HVBF v = h[next(2)];
        unsigned op = next(100);
        ULONG at = next(kFileSize + 2000), n = 0;
        ULONG len = next(5) == 0 ? next(9000) : next(200);
        USHORT rc = VbfChgFilePtr(v, (LONG)at, VBF_FILE_BEGIN, nullptr);
        if (op < 60) {
            std::string buf(len, '\0');
            rc |= VbfRead(v, &buf[0], len, &n);
            log += buf.substr(0, n);
        } else if (op < 70) {
            char line[100];
            rc |= VbfGets(v, line, sizeof line, &n);
            log += line;
        } else if (op < 95) {
            std::string data = pattern(len, step);
            rc |= VbfWrite(v, data.data(), len, &n);
        } else if (op < 97) {
            rc |= VbfNewSize(v, kFileSize - next(4096));
        } else {
            rc |= VbfFlush(v);
        }
        log += "|" + std::to_string(rc) + ":" + std::to_string(n) + "|";
    }
    VbfClose(h[0]);
    VbfClose(h[1]);
    return log;
}

} // namespace

TEST(FbfThreads, TwoFilesAtOnceMatchOneAfterTheOther)
{
    ScratchFile seqA("fbft_seq_a.dat"), seqB("fbft_seq_b.dat");
    ScratchFile parA("fbft_par_a.dat"), parB("fbft_par_b.dat");
    for (auto *f : {&seqA, &parA})
        ASSERT_TRUE(testutil::writeFile(f->name, pattern(kFileSize, 1)));
    for (auto *f : {&seqB, &parB})
        ASSERT_TRUE(testutil::writeFile(f->name, pattern(kFileSize, 2)));

    std::string logSeqA = work(seqA.name, 11);
    std::string logSeqB = work(seqB.name, 22);
    std::string logParA, logParB;
    std::thread a([&] { logParA = work(parA.name, 11); });
    std::thread b([&] { logParB = work(parB.name, 22); });
    a.join();
    b.join();

    EXPECT_TRUE(logParA == logSeqA) << "reads of the first file differ";
    EXPECT_TRUE(logParB == logSeqB) << "reads of the second file differ";
    EXPECT_TRUE(testutil::readFile(parA.name) == testutil::readFile(seqA.name));
    EXPECT_TRUE(testutil::readFile(parB.name) == testutil::readFile(seqB.name));
    EXPECT_NE(logSeqA, logSeqB);
}
