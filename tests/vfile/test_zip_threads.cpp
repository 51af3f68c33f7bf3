// Two threads compressing and decompressing different files at the same
// time: each run keeps its coder state to itself, so both get their own
// bytes back, round after round.
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>
#include "ziptest.h"

using namespace ziptest;

namespace {

constexpr int kRounds = 3;
constexpr int kInflationsPerRound = 6;

/* Deflates one file and inflates the result again and again; counts runs
 * that failed or came back wrong.  The start flag lines both threads up. */
void roundTrips(const std::string &name, const std::string &plain, std::atomic<bool> *start,
                std::atomic<int> *wrong)
{
    std::string gz = name + ".gz", back = name + ".back";
    while (!start->load())
        std::this_thread::yield();
    for (int i = 0; i < kRounds; i++) {
        if (ZipCompress(KnlNamGetDefaultNS(), name.c_str(), gz.c_str(), 0) != 0)
            (*wrong)++;
        for (int j = 0; j < kInflationsPerRound; j++)
            if (ZipCompress(KnlNamGetDefaultNS(), gz.c_str(), back.c_str(), 1) != 0
                || testutil::readFile(back) != plain)
                (*wrong)++;
    }
}

}  // namespace

TEST(ZipThreads, TwoThreadsCodeDifferentFilesAtOnce)
{
    testutil::ScratchFile a("zip_thread_a.dat"), b("zip_thread_b.dat");
    testutil::ScratchFile agz("zip_thread_a.dat.gz"), bgz("zip_thread_b.dat.gz");
    testutil::ScratchFile aback("zip_thread_a.dat.back"), bback("zip_thread_b.dat.back");
    std::string pa = sampleData(1500000, 21), pb = sampleData(1200000, 22);
    ASSERT_TRUE(testutil::writeFile(a.name, pa));
    ASSERT_TRUE(testutil::writeFile(b.name, pb));
    std::atomic<bool> start{false};
    std::atomic<int> wrong{0};
    std::thread ta(roundTrips, a.name, pa, &start, &wrong);
    std::thread tb(roundTrips, b.name, pb, &start, &wrong);
    start = true;
    ta.join();
    tb.join();
    EXPECT_EQ(wrong.load(), 0);
}
