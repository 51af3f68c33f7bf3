// Two processes on one shared index file: the helper program and this test
// take turns changing it and each checks that it sees the other's changes
// (counts, the whole ordered content, the tree-changed flag); then the
// helper changes the index while this process reads it, and the final
// content must equal the model of both change sequences.  Last, the helper
// is killed while it changes a file, which must then be refused while read
// locks are allowed and be readable without crashing when they are not.
#include <gtest/gtest.h>
#include <windows.h>
#include "ixdshare.h"
#include "ixdcheck.h"
#include "ixdprobe.h"
#include "testutil.h"

using namespace ixdshare;

namespace {

std::string helperPath()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir(self);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + "ixd_share_helper.exe";
}

::testing::AssertionResult contentIs(PIX ix, const std::set<std::string> &model)
{
    std::string k(KEY_LEN, '\0');
    ULONG rec, err;
    auto it = model.begin();
    for (USHORT rc = IxdFirst(ix, &k[0], &rec, &err); rc == 0;
         rc = IxdNext(ix, &k[0], &rec, &err), ++it)
        if (it == model.end() || stored(k, rec) != *it)
            return ::testing::AssertionFailure() << "content differs";
    if (it != model.end())
        return ::testing::AssertionFailure() << "content ends early";
    return ::testing::AssertionSuccess();
}

/* Reads while another process writes: every walk must be ascending. */
bool ascendingWalk(PIX ix, int steps)
{
    std::string k(KEY_LEN, '\0'), prev;
    ULONG rec, err;
    if (IxdFirst(ix, &k[0], &rec, &err) != 0)
        return err == IXD_ERR_NOT_FOUND;
    prev = stored(k, rec);
    for (int i = 0; i < steps && IxdNext(ix, &k[0], &rec, &err) == 0; i++) {
        if (!(prev < stored(k, rec)))
            return false;
        prev = stored(k, rec);
    }
    return true;
}

} // namespace

TEST(IxdShared, TwoProcessesSeeEachOthersChanges)
{
    testutil::ScratchFile file("ixd_shared.ixd");
    ULONG err = 1;
    PIX ix = IxdCreate(file.name.c_str(), KEY_LEN, 1, NODE_SIZE, 0, nullptr, &err);
    ASSERT_NE(ix, nullptr) << err;

    std::string id = std::to_string(GetCurrentProcessId());
    std::string helperTurnName = "orin_ixd_helper_" + id, testTurnName = "orin_ixd_test_" + id;
    HANDLE helperTurn = CreateEventA(nullptr, FALSE, FALSE, helperTurnName.c_str());
    HANDLE testTurn = CreateEventA(nullptr, FALSE, FALSE, testTurnName.c_str());
    std::string cmd = "\"" + helperPath() + "\" " + file.name + " " + helperTurnName + " " +
                      testTurnName;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));

    auto mine = ops('t', TEST_SEED, ROUNDS * PER_ROUND);
    auto theirs = ops('h', HELPER_SEED, ROUNDS * PER_ROUND + CONCURRENT);
    std::set<std::string> model;
    ULONG changed = 0;
    for (unsigned r = 0; r < ROUNDS; r++) {
        for (unsigned i = r * PER_ROUND; i < (r + 1) * PER_ROUND; i++)
            ASSERT_EQ(change(ix, mine[i]), 0u) << i;
        apply(model, mine, r * PER_ROUND, (r + 1) * PER_ROUND);
        IxdQueryTreeChanged(ix, &changed, &err);   // forget our own changes
        SetEvent(helperTurn);
        ASSERT_EQ(WaitForSingleObject(testTurn, 60000), WAIT_OBJECT_0) << "round " << r;
        apply(model, theirs, r * PER_ROUND, (r + 1) * PER_ROUND);

        ASSERT_EQ(IxdQueryTreeChanged(ix, &changed, &err), 0);
        EXPECT_EQ(changed, 1u);
        ULONG n = 0;
        ASSERT_EQ(IxdGetNrRecords(ix, "h", &n), 0);
        EXPECT_EQ(n, live(theirs, (r + 1) * PER_ROUND)) << "round " << r;
        ASSERT_EQ(IxdQueryNrKeys(ix, &n, &err), 0);
        EXPECT_EQ(n, model.size());
        ASSERT_TRUE(contentIs(ix, model)) << "round " << r;
        ASSERT_EQ(IxdQueryTreeChanged(ix, &changed, &err), 0);
        EXPECT_EQ(changed, 0u);
    }

    // the helper writes while this process reads
    SetEvent(helperTurn);
    int walks = 0;
    while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        EXPECT_TRUE(ascendingWalk(ix, 40));
        walks++;
        Sleep(3);
    }
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_GT(walks, 0);
    apply(model, theirs, ROUNDS * PER_ROUND, theirs.size());
    EXPECT_TRUE(contentIs(ix, model));
    IxdClose(ix);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(helperTurn);
    CloseHandle(testTurn);
    EXPECT_EQ(ixdcheck::verify(testutil::readFile(file.name)), "");
}

TEST(IxdShared, TreeChangedSeesAnotherHandle)
{
    testutil::ScratchFile file("ixd_changed.ixd");
    ULONG err = 1, changed = 9;
    PIX a = IxdCreate(file.name.c_str(), 4, 1, 0, 0, nullptr, &err);
    ASSERT_NE(a, nullptr);
    PIX b = IxdOpen(file.name.c_str(), 4, 1, nullptr, &err);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(IxdQueryTreeChanged(a, &changed, &err), 0);
    EXPECT_EQ(changed, 0u);
    ASSERT_EQ(IxdEnter(b, "abcd", 1, &err), 0);
    ASSERT_EQ(IxdQueryTreeChanged(a, &changed, &err), 0);
    EXPECT_EQ(changed, 1u);
    ASSERT_EQ(IxdQueryTreeChanged(a, &changed, &err), 0);
    EXPECT_EQ(changed, 0u);

    // a's position on a key that b removes
    char k[4];
    ULONG rec;
    ASSERT_EQ(IxdEnter(b, "abce", 2, &err), 0);
    ASSERT_EQ(IxdFirst(a, k, &rec, &err), 0);
    ASSERT_EQ(IxdRemove(b, "abcd", 1, &err), 0);
    ASSERT_EQ(IxdNext(a, k, &rec, &err), 0);
    EXPECT_EQ(err, (ULONG)IXD_ERR_KEY_VANISHED);
    EXPECT_EQ(rec, 2u);
    USHORT va = 0, vb = 0;
    IxdQueryTreeVersion(a, &va, &err);
    IxdQueryTreeVersion(b, &vb, &err);
    EXPECT_EQ(va, vb);
    IxdClose(b);
    IxdClose(a);
}

TEST(IxdShared, ReadersWithoutReadLocksOnlyProbe)
{
    testutil::ScratchFile file("ixd_probe.ixd");
    ULONG err = 1;
    PIX ix = IxdCreate(file.name.c_str(), 4, 1, 0, 0, nullptr, &err);
    ASSERT_NE(ix, nullptr);
    ASSERT_EQ(IxdEnter(ix, "abcd", 1, &err), 0);

    // another holder of the index lock range, on its own system handle
    HANDLE other = CreateFileA(file.name.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    OVERLAPPED at = {};
    at.Offset = 0x8000000;
    ASSERT_TRUE(LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 12, 0,
                           &at));
    ULONG before = IxdAllowReadlock(0);
    char k[4];
    ULONG rec = 0, n = 0;
    EXPECT_EQ(IxdFirst(ix, k, &rec, &err), 0);
    EXPECT_EQ(rec, 1u);
    EXPECT_EQ(IxdGetNrRecords(ix, "ab", &n), 0);
    EXPECT_EQ(n, 1u);
    IxdAllowReadlock(before);
    UnlockFileEx(other, 0, 12, 0, &at);
    CloseHandle(other);
    IxdClose(ix);
}

TEST(IxdShared, ProcessKilledDuringChangesLeavesAnUncleanFile)
{
    testutil::ScratchFile file("ixd_killed.ixd");
    ULONG err = 1;
    PIX ix = IxdCreate(file.name.c_str(), KEY_LEN, 0, NODE_SIZE, 0, nullptr, &err);
    ASSERT_NE(ix, nullptr);
    for (const Op &op : ops('s', TEST_SEED, 200))
        ASSERT_EQ(change(ix, op), 0u);
    IxdClose(ix);
    ASSERT_EQ(ixdcheck::header(testutil::readFile(file.name)).consistent, 1);

    // the helper changes the file until it is killed in the middle
    std::string readyName = "orin_ixd_churn_" + std::to_string(GetCurrentProcessId());
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    std::string cmd = "\"" + helperPath() + "\" churn " + file.name + " " + readyName;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    DWORD waited = WaitForSingleObject(ready, 120000);
    Sleep(50);
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(ready);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "helper never got going";

    std::string bytes = testutil::readFile(file.name);
    auto h = ixdcheck::header(bytes);
    EXPECT_EQ(h.consistent, 0);
    ULONG before = IxdAllowReadlock(1);
    EXPECT_EQ(IxdOpen(file.name.c_str(), KEY_LEN, 0, nullptr, &err), nullptr);
    EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE);
    EXPECT_EQ(IxdOpen(file.name.c_str(), KEY_LEN, 1, nullptr, &err), nullptr);
    EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE);

    // without read locks the file opens and every call answers
    IxdAllowReadlock(0);
    for (ULONG shared : {0u, 1u}) {
        ix = IxdOpen(file.name.c_str(), KEY_LEN, shared, nullptr, &err);
        ASSERT_NE(ix, nullptr) << err;
        const std::string keys[] = {"s0000000", "c5000000", "c9999999", "h0000001"};
        ULONG maxPairs = (ULONG)(bytes.size() / NODE_SIZE + 8) * h.maxEntries;
        EXPECT_TRUE(ixdprobe::exercise(ix, KEY_LEN, maxPairs, keys, 4)) << shared;
        IxdClose(ix);
    }
    IxdAllowReadlock(before);
}
