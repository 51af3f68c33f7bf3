// Two threads, each with its own profiles, through the DLL.  Profiles and
// block files are safe on several threads as long as each handle stays on
// one thread at a time: two threads working at once must give the same
// results and the same file bytes as the same work done one after the
// other.  Two handles on one shared file, one per thread, must both see
// every change and leave a consistent file.
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>
#include "prf.h"
#include "testutil.h"

using testutil::readFile;
using testutil::ScratchFile;

namespace {

// A value of a length that sends it through small and several-piece
// blocks and makes the section and key tables grow.
std::string valueFor(int seed, int section, int key, int round)
{
    size_t length = (size_t)((seed * 7919 + section * 131 + key * 17 + round * 29) % 977);
    if (key % 9 == 0)
        length += 20000;                              // two pieces
    std::string v(length, ' ');
    for (size_t i = 0; i < length; i++)
        v[i] = (char)('a' + (i + seed + key) % 26);
    return v;
}

std::string read(HPRF h, const std::string &section, const std::string &key)
{
    ULONG size = 0;
    if (PrfQueryProfileSize(h, section.c_str(), key.c_str(), &size) != 0)
        return "<missing>";
    std::string v(size, '\0');
    if (PrfQueryProfileData(h, section.c_str(), key.c_str(), v.data(), &size) != 0)
        return "<unreadable>";
    v.resize(size);
    return v;
}

// Writes, rewrites, deletes (and writes again) and checks sections of one
// profile; counts every call that failed or read back something else.
int work(HPRF h, int seed, const std::string &prefix, int sections)
{
    int faults = 0;
    for (int round = 0; round < 3; round++)
        for (int s = 0; s < sections; s++) {
            std::string section = prefix + "section" + std::to_string(s);
            for (int k = 0; k < 12; k++) {
                std::string key = "key" + std::to_string(k);
                std::string v = valueFor(seed, s, k, round);
                faults += PrfWriteProfileData(h, section.c_str(), key.c_str(), v.data(),
                                              (ULONG)v.size()) != 0;
                faults += read(h, section, key) != v;
            }
            if (round == 1 && s % 3 == 0)
                faults += PrfWriteProfileString(h, section.c_str(), "key4", NULL) != 0;
        }
    for (int s = 0; s < sections; s++) {
        std::string section = prefix + "section" + std::to_string(s);
        for (int k = 0; k < 12; k++)
            faults += read(h, section, "key" + std::to_string(k)) != valueFor(seed, s, k, 2);
    }
    faults += PrfCheckConsistent(h) != 0;
    return faults;
}

int workOnOwnFile(const std::string &name, int seed)
{
    HPRF h = nullptr;
    if (PrfOpenProfile(NULL, &h, name.c_str(), 0) != 0)
        return 1000;
    int faults = work(h, seed, "", 12);
    return faults + (PrfCloseProfile(h) != 0);
}

// Runs f(0) and f(1) on two threads released at the same moment.
template <class F>
void together(F f)
{
    std::atomic<int> ready{0};
    auto body = [&](int i) {
        ready++;
        while (ready.load() < 2)
            std::this_thread::yield();
        f(i);
    };
    std::thread a(body, 0), b(body, 1);
    a.join();
    b.join();
}

TEST(PrfThreads, TwoThreadsOnTheirOwnProfilesMatchOneAfterTheOther)
{
    ScratchFile one("threads_one.prf"), two("threads_two.prf");
    const std::string *names[2] = {&one.name, &two.name};

    int faults[2] = {};
    for (int i = 0; i < 2; i++)
        faults[i] = workOnOwnFile(*names[i], i + 1);
    EXPECT_EQ(faults[0] + faults[1], 0);
    std::string alone[2] = {readFile(one.name), readFile(two.name)};
    ASSERT_GT(alone[0].size(), 100000u);
    ASSERT_NE(alone[0], alone[1]);

    for (int attempt = 0; attempt < 3; attempt++) {
        for (auto *n : names)
            DeleteFileA(n->c_str());
        together([&](int i) { faults[i] = workOnOwnFile(*names[i], i + 1); });
        EXPECT_EQ(faults[0], 0);
        EXPECT_EQ(faults[1], 0);
        EXPECT_TRUE(readFile(one.name) == alone[0]) << "attempt " << attempt;
        EXPECT_TRUE(readFile(two.name) == alone[1]) << "attempt " << attempt;
    }
}

TEST(PrfThreads, TwoHandlesOnOneSharedProfile)
{
    ScratchFile shared("threads_shared.prf");
    int faults[2] = {};
    together([&](int i) {
        HPRF h = nullptr;
        if (USHORT rc = PrfOpenProfile(NULL, &h, shared.name.c_str(), PRF_OPEN_SHARED)) {
            faults[i] = 100000 + rc;
            return;
        }
        faults[i] = work(h, i + 1, i ? "b-" : "a-", 6);
        faults[i] += PrfCloseProfile(h) != 0;
    });
    EXPECT_EQ(faults[0], 0);
    EXPECT_EQ(faults[1], 0);

    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, shared.name.c_str(), PRF_OPEN_READONLY), 0);
    for (int i = 0; i < 2; i++)
        for (int s = 0; s < 6; s++)
            for (int k = 0; k < 12; k++)
                EXPECT_EQ(read(h, (i ? "b-section" : "a-section") + std::to_string(s),
                               "key" + std::to_string(k)),
                          valueFor(i + 1, s, k, 2));
    EXPECT_EQ(PrfCheckConsistent(h), 0);
    EXPECT_EQ(PrfCloseProfile(h), 0);
}

}  // namespace
