// Byte-range locks through KnlNamFileLocksEx: shared and exclusive locks
// as the system defines them (checked with the system's own lock call on a
// second handle), unlock results, and a range held by another process,
// which fails with 33 after the retries and is taken once released.
#include <gtest/gtest.h>
#include <string>
#include "knlnam.h"
#include "testutil.h"

namespace {

using testutil::ScratchFile;

void *ns() { return KnlNamGetDefaultNS(); }

KNLHFILE openShared(const std::string &name)
{
    KNLHFILE h = 0;
    ULONG action;
    EXPECT_EQ(KnlNamOpen(ns(), name.c_str(), &h, &action, 0, 0, KNLNAM_OPEN_ALWAYS,
                         KNLNAM_ACCESS_READWRITE | KNLNAM_SHARE_DENYNONE, 0), 0);
    return h;
}

// One immediate attempt with the system's call: does the range conflict?
bool systemCanLock(HANDLE h, DWORD offset, DWORD length, bool exclusive)
{
    OVERLAPPED ov = {};
    ov.Offset = offset;
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (!LockFileEx(h, flags, 0, length, 0, &ov))
        return false;
    UnlockFileEx(h, 0, length, 0, &ov);
    return true;
}

class TwoHandles : public ::testing::Test {
protected:
    ScratchFile file{"nam_lock.dat"};
    KNLHFILE mine = 0;
    HANDLE other = INVALID_HANDLE_VALUE;
    void SetUp() override
    {
        ASSERT_TRUE(testutil::writeFile(file.name, std::string(100, 'x')));
        mine = openShared(file.name);
        other = CreateFileA(file.name.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
    }
    void TearDown() override
    {
        KnlNamClose(ns(), mine);
        CloseHandle(other);
    }
};

TEST_F(TwoHandles, ExclusiveLockKeepsEveryoneOut)
{
    FILELOCK lock = { 10, 10, 1 };
    ASSERT_EQ(KnlNamFileLocksEx(ns(), mine, nullptr, &lock), 0);
    EXPECT_FALSE(systemCanLock(other, 15, 1, false));
    EXPECT_FALSE(systemCanLock(other, 19, 5, true));
    EXPECT_TRUE(systemCanLock(other, 20, 5, true));    // just behind the range
    EXPECT_TRUE(systemCanLock(other, 0, 10, true));    // just before it
    ASSERT_EQ(KnlNamFileLocksEx(ns(), mine, &lock, nullptr), 0);
    EXPECT_TRUE(systemCanLock(other, 10, 10, true));
}

TEST_F(TwoHandles, SharedLocksOverlapButExcludeWriters)
{
    FILELOCK lock = { 10, 10, 0 };
    ASSERT_EQ(KnlNamFileLocksEx(ns(), mine, nullptr, &lock), 0);
    EXPECT_TRUE(systemCanLock(other, 12, 4, false));
    EXPECT_FALSE(systemCanLock(other, 12, 4, true));
    // a second shared lock through the library on the same handle overlaps too
    FILELOCK again = { 15, 10, 0 };
    EXPECT_EQ(KnlNamFileLocksEx(ns(), mine, nullptr, &again), 0);
    EXPECT_EQ(KnlNamFileLocksEx(ns(), mine, &again, nullptr), 0);
    EXPECT_EQ(KnlNamFileLocksEx(ns(), mine, &lock, nullptr), 0);
    EXPECT_TRUE(systemCanLock(other, 10, 20, true));
}

TEST_F(TwoHandles, UnlockAndLockInOneCallReportTheRightError)
{
    FILELOCK lock = { 0, 4, 1 }, notHeld = { 50, 4, 0 };
    // unlocking a range that is not locked fails (the system's code for
    // it differs between hosts); the lock still happens
    EXPECT_NE(KnlNamFileLocksEx(ns(), mine, &notHeld, &lock), 0);
    EXPECT_FALSE(systemCanLock(other, 0, 4, false));
    // move the lock: release the old range and take a new one
    FILELOCK moved = { 60, 4, 1 };
    EXPECT_EQ(KnlNamFileLocksEx(ns(), mine, &lock, &moved), 0);
    EXPECT_TRUE(systemCanLock(other, 0, 4, true));
    EXPECT_FALSE(systemCanLock(other, 60, 4, false));
    EXPECT_EQ(KnlNamFileLocksEx(ns(), mine, nullptr, nullptr), 0);
    EXPECT_EQ(KnlNamFileLocksEx(ns(), mine, &moved, nullptr), 0);
}

TEST(KnlNamLock, WrongHandle)
{
    FILELOCK lock = { 0, 4, 1 };
    EXPECT_EQ(KnlNamFileLocksEx(ns(), 0x12345670, nullptr, &lock), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(KnlNamFileLocksEx(ns(), 0x12345670, &lock, nullptr), ORIN_ERR_INVALID_HANDLE);
}

std::string helperPath()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir(self);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + "lock_helper.exe";
}

TEST(KnlNamLock, RangeHeldByAnotherProcess)
{
    ScratchFile file("nam_lock_2proc.dat");
    ASSERT_TRUE(testutil::writeFile(file.name, std::string(100, 'x')));
    std::string id = std::to_string(GetCurrentProcessId());
    std::string readyName = "orin_lock_ready_" + id, releaseName = "orin_lock_release_" + id;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
    std::string cmd = "\"" + helperPath() + "\" " + file.name + " 20 10 1 " + readyName + " "
                      + releaseName;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    ASSERT_EQ(WaitForSingleObject(ready, 30000), WAIT_OBJECT_0);

    KNLHFILE h = openShared(file.name);
    FILELOCK overlapping = { 25, 10, 0 }, beside = { 30, 5, 1 };
    EXPECT_EQ(KnlNamFileLocksEx(ns(), h, nullptr, &overlapping), ORIN_ERR_LOCK_VIOLATION);
    EXPECT_EQ(KnlNamFileLocksEx(ns(), h, nullptr, &beside), 0);

    // once the helper lets go, the retries pick the range up
    SetEvent(release);
    EXPECT_EQ(KnlNamFileLocksEx(ns(), h, nullptr, &overlapping), 0);
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    KnlNamFileLocksEx(ns(), h, &overlapping, nullptr);
    KnlNamFileLocksEx(ns(), h, &beside, nullptr);
    KnlNamClose(ns(), h);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(ready);
    CloseHandle(release);
}

} // namespace
