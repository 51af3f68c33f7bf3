/*
 * test_brc_shared.cpp - one archive opened shared by two processes: a
 * second process adds documents and renames earlier ones under their lock
 * while this one walks the index and reads fields; afterwards every value
 * is there and the index matches the documents.  A document locked by the
 * other process cannot be locked here.
 */
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>
#include "arc_worker.h"
#include "arctest.h"

using namespace arctest;
using namespace arcworker;

namespace {

constexpr unsigned kSeed = 20261206;
constexpr int kDocs = 300;
constexpr int kFirstRun = 20;   // written before the reader starts
constexpr USHORT kKeyLength = 12;

struct Helper {
    PROCESS_INFORMATION pi = {};
    bool start(const std::string &args)
    {
        STARTUPINFOA si = {sizeof si};
        std::string cmd = "arc_helper.exe " + args;
        return CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                              &pi) != 0;
    }
    bool running() const { return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    DWORD wait()
    {
        DWORD code = 99;
        WaitForSingleObject(pi.hProcess, 180000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        return code;
    }
};

/* The writer renames only documents of its own run. */
std::string finalName(int i)
{
    for (int j = i; j < kDocs; j++) {
        int runFirst = j < kFirstRun ? 0 : kFirstRun;
        if (renamedBy(j) == i && i >= runFirst)
            return nameOf(kSeed, i, 1);
    }
    return nameOf(kSeed, i, 0);
}

std::string field(BrdDocument *d, const char *name)
{
    char buf[512] = {};
    USHORT rc = BrdFldGetString(d, name, buf, sizeof buf);
    return rc == 0 || rc == ORIN_ERR_NO_KEY ? std::string(buf) : "<error " + std::to_string(rc) + ">";
}

class SharedArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Archive a;
        ASSERT_EQ(BrcCreate(nullptr, a.out(), file.c_str(), 1), 0);
        BrcIndexEntry *e = nullptr;
        ASSERT_EQ(BrcIxOpenStr(a, kIndex, &e), 0);
    }
    ScratchDir dir{"arc_shared"};
    std::string file = dir.path("shared.arc");
};

TEST_F(SharedArchiveTest, ReaderAndWriterLoseNothing)
{
    Archive arc;
    ASSERT_EQ(BrcOpen(nullptr, arc.out(), file.c_str(), 1), 0);
    Helper first;
    ASSERT_TRUE(first.start("writer " + file + " 0 " + std::to_string(kFirstRun) + " " +
                            std::to_string(kSeed)));
    ASSERT_EQ(first.wait(), 0u);
    Helper writer;
    ASSERT_TRUE(writer.start("writer " + file + " " + std::to_string(kFirstRun) + " " +
                             std::to_string(kDocs - kFirstRun) + " " + std::to_string(kSeed)));
    int reads = 0, walks = 0;
    unsigned pick = 1;
    while (writer.running()) {
        USHORT slots = 0;
        ASSERT_EQ(BrcGetMaxNrDocs(arc, &slots), 0);
        if (slots > 0) {
            pick = pick * 1103515245u + 12345u;
            int n = int((pick >> 8) % slots);
            Doc d;
            if (BrdOpenDocument(arc, d.out(), USHORT(n), FALSE) == 0) {
                std::string name = field(d, "NAME");
                std::string body = field(d, "BODY");
                // What another process is writing is either not there yet or complete.
                EXPECT_TRUE(name.empty() || name == nameOf(kSeed, n, 0) ||
                            name == nameOf(kSeed, n, 1)) << n << " " << name;
                EXPECT_TRUE(body.empty() || body == bodyOf(kSeed, n)) << n;
                reads++;
            }
        }
        USHORT doc = 0;
        if (BrcIxFirst(arc, nullptr, &doc) == 0) {
            int steps = 0;
            while (steps < 50 && BrcIxNextPrev(arc, nullptr, doc, 1, &doc) == 0)
                steps++;
            walks++;
        }
    }
    ASSERT_EQ(writer.wait(), 0u);
    EXPECT_GT(reads, 0);
    EXPECT_GT(walks, 0);

    // Everything the writer did is there, through a fresh handle too.
    arc.close();
    ASSERT_EQ(BrcOpen(nullptr, arc.out(), file.c_str(), 1), 0);
    USHORT count = 0;
    ASSERT_EQ(BrcGetNrDocs(arc, &count), 0);
    ASSERT_EQ(count, kDocs);
    std::vector<std::vector<BYTE>> expected;
    for (int i = 0; i < kDocs; i++) {
        Doc d;
        ASSERT_EQ(BrdOpenDocument(arc, d.out(), USHORT(i), FALSE), 0);
        EXPECT_EQ(field(d, "NAME"), finalName(i)) << i;
        EXPECT_EQ(field(d, "BODY"), bodyOf(kSeed, i)) << i;
        std::vector<BYTE> key(kKeyLength + 4, 0);
        std::string name = finalName(i);
        memcpy(key.data(), name.data(), std::min<size_t>(name.size(), kKeyLength));
        memcpy(key.data() + kKeyLength, &i, 4);
        expected.push_back(key);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(BrcIxQueryNrKeys(arc, nullptr), ULONG(kDocs));
    std::vector<int> walked;
    USHORT doc = 0;
    ASSERT_EQ(BrcIxFirst(arc, nullptr, &doc), 0);
    walked.push_back(doc);
    while (BrcIxNextPrev(arc, nullptr, doc, 1, &doc) == 0)
        walked.push_back(doc);
    ASSERT_EQ(walked.size(), expected.size());
    for (size_t k = 0; k < walked.size(); k++) {
        int want;
        memcpy(&want, expected[k].data() + kKeyLength, 4);
        EXPECT_EQ(walked[k], want) << k;
    }
    EXPECT_EQ(PrfCheckConsistent(BrcGetPrfHandle(arc)), 0);
}

TEST_F(SharedArchiveTest, DocumentLockKeepsTheOtherProcessOut)
{
    {
        Archive arc;
        ASSERT_EQ(BrcOpen(nullptr, arc.out(), file.c_str(), 1), 0);
        for (int i = 0; i < 3; i++) {
            Doc d;
            ASSERT_EQ(BrdAddDocument(arc, d.out(), "test", "x", TRUE, FALSE), 0);
            ASSERT_EQ(setText(d, "NAME", "before"), 0);
        }
    }
    HANDLE locked = CreateEventA(nullptr, TRUE, FALSE, "arc_helper_locked");
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "arc_helper_release");
    ResetEvent(locked);
    ResetEvent(release);
    Helper holder;
    ASSERT_TRUE(holder.start("hold " + file + " 1"));
    ASSERT_EQ(WaitForSingleObject(locked, 60000), WAIT_OBJECT_0);

    Archive arc;
    ASSERT_EQ(BrcOpen(nullptr, arc.out(), file.c_str(), 1), 0);
    Doc d;
    EXPECT_EQ(BrdOpenDocument(arc, d.out(), 1, TRUE), ORIN_ERR_LOCK_VIOLATION);
    EXPECT_EQ(d.d, nullptr);
    // Unlocked access still reads; asking for the lock leaves the flag off.
    ASSERT_EQ(BrdOpenDocument(arc, d.out(), 1, FALSE), 0);
    EXPECT_EQ(field(d, "NAME"), "before");
    EXPECT_EQ(BrdLockDocument(d, TRUE), 0);
    d.close();
    // Other documents are free.
    ASSERT_EQ(BrdOpenDocument(arc, d.out(), 2, TRUE), 0);
    d.close();

    SetEvent(release);
    EXPECT_EQ(holder.wait(), 0u);
    ASSERT_EQ(BrdOpenDocument(arc, d.out(), 1, TRUE), 0);
    EXPECT_EQ(setText(d, "NAME", "after"), 0);
    d.close();
    CloseHandle(locked);
    CloseHandle(release);
}

}  // namespace
