// What one profile call costs the file system, counted through a back-end
// that notes every lock, read and write.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "countvbf.h"
#include "prf.h"

namespace {

void dump(const char *what)
{
    auto &c = countvbf::counts();
    printf("%s: locks %ld unlocks %ld reads %zu writes %zu\n", what, c.locks, c.unlocks,
           c.reads.size(), c.writes.size());
    for (auto &a : c.reads)
        printf("   r %lu+%lu\n", a.offset, a.length);
    for (auto &a : c.writes)
        printf("   w %lu+%lu\n", a.offset, a.length);
}

TEST(PrfCalls, Trace)
{
    for (USHORT flags : {(USHORT)PRF_OPEN_SHARED, (USHORT)0}) {
        memvbf::files().erase("t.prf");
        HPRF h = nullptr;
        ASSERT_EQ(PrfOpenProfileOnVbf(nullptr, &h, "t.prf", flags, countvbf::table()), 0);
        for (int i = 0; i < 50; i++) {
            std::string k = "k" + std::to_string(i);
            ASSERT_EQ(PrfWriteProfileString(h, "s", k.c_str(), "value"), 0);
        }
        countvbf::reset();
        ASSERT_EQ(PrfWriteProfileString(h, "s", "k7", "other"), 0);
        dump(flags ? "shared write" : "write");
        countvbf::reset();
        ASSERT_EQ(PrfWriteProfileString(h, "s", "k77", "new"), 0);
        dump(flags ? "shared new write" : "new write");
        char buf[64];
        countvbf::reset();
        ASSERT_EQ(PrfQueryProfileString(h, "s", "k9", nullptr, buf, sizeof buf), 9 - 9);
        dump(flags ? "shared read" : "read");
        PrfCloseProfile(h);
    }
}

}  // namespace
