// Profiles on real files with a second process (writers killed at random
// moments are in tests/kills): two processes share a profile; a transaction
// keeps the other process out until it ends; a process opening a profile
// that another is still creating waits for it instead of replacing it.
#include <gtest/gtest.h>
#include <string>
#include "prf.h"
#include "profile/falint.h"
#include "prf_worker.h"
#include "testutil.h"

using namespace prfworker;

namespace {

struct Helper {
    PROCESS_INFORMATION pi = {};
    bool start(const std::string &args)
    {
        STARTUPINFOA si = {sizeof si};
        std::string cmd = "prf_helper.exe " + args;
        return CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
    }
    DWORD wait()
    {
        DWORD code = 99;
        WaitForSingleObject(pi.hProcess, 120000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        return code;
    }
};

USHORT falCheckFile(const char *name)
{
    HFAL f = nullptr;
    USHORT rc = FalOpen(NULL, name, &f, FAL_OPEN_READONLY);
    if (!rc)
        rc = FalCheck(f);
    FalClose(f);
    return rc;
}

std::string valueAt(HPRF h, const std::string &s, const std::string &k, USHORT *rc)
{
    ULONG size = 0;
    *rc = PrfQueryProfileSize(h, s.c_str(), k.c_str(), &size);
    if (*rc)
        return "";
    std::string v(size, '\0');
    ULONG n = size;
    *rc = PrfQueryProfileData(h, s.c_str(), k.c_str(), &v[0], &n);
    v.resize(n);
    return v;
}

// Two processes write different keys of one shared profile at the same
// time; afterwards every key holds its last value and the file is sound.
TEST(PrfShared, TwoProcessesWriteDifferentKeys)
{
    const char *file = "shared.prf";
    testutil::ScratchFile f(file);
    const int count = 400;
    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, file, PRF_OPEN_SHARED), 0);
    Helper b;
    ASSERT_TRUE(b.start(std::string("share ") + file + " b 22 " + std::to_string(count)));
    std::string buf(50000, '\0');
    for (int j = 0; j < count; j++) {
        std::string v = valueOf(11, j);
        ASSERT_EQ(PrfWriteProfileData(h, sectionOf(j).c_str(), keyOf("a", j).c_str(), v.data(),
                                      (ULONG)v.size()), 0) << j;
        ULONG size = (ULONG)buf.size();
        USHORT rc = PrfQueryProfileData(h, sectionOf(j).c_str(), keyOf("b", j).c_str(),
                                        &buf[0], &size);
        EXPECT_TRUE(rc == 0 || rc == ORIN_ERR_NO_KEY) << rc;
    }
    EXPECT_EQ(b.wait(), 0u);
    // Every key of both sides holds its last value.
    for (int k = 0; k < KEYS; k++) {
        int lastJ = count - KEYS + k;
        USHORT rc;
        EXPECT_EQ(valueAt(h, sectionOf(k), keyOf("a", k), &rc), valueOf(11, lastJ)) << k;
        EXPECT_EQ(valueAt(h, sectionOf(k), keyOf("b", k), &rc), valueOf(22, lastJ)) << k;
    }
    EXPECT_EQ(PrfCheckConsistent(h), 0);
    PrfCloseProfile(h);
    EXPECT_EQ(falCheckFile(file), 0);
}

TEST(PrfShared, OpeningAProfileBeingCreatedWaitsForIt)
{
    const char *file = "creating.prf";
    testutil::ScratchFile f(file);
    std::string event = "OrinTestCreating-" + std::to_string(GetCurrentProcessId());
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, event.c_str());
    ASSERT_NE(ready, nullptr);
    Helper c;
    ASSERT_TRUE(c.start(std::string("create-slow ") + file + " " + event));
    ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);
    CloseHandle(ready);
    // The helper has made the file and stopped before writing anything.
    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, file, PRF_OPEN_SHARED), 0);
    EXPECT_EQ(PrfWriteProfileString(h, "made", "by-test", "yes"), 0);
    EXPECT_EQ(c.wait(), 0u);
    USHORT rc;
    EXPECT_EQ(valueAt(h, "made", "by-helper", &rc), "yes");
    EXPECT_EQ(valueAt(h, "made", "by-test", &rc), "yes");
    PrfCloseProfile(h);
    EXPECT_EQ(falCheckFile(file), 0);
}

TEST(PrfShared, TransactionKeepsTheOtherProcessOut)
{
    const char *file = "trans.prf", *result = "trans.out";
    testutil::ScratchFile f(file), r(result);
    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, file, PRF_OPEN_SHARED), 0);
    ASSERT_EQ(PrfTransaction(h, TRUE), 0);
    ASSERT_EQ(PrfWriteProfileString(h, "try", "key", "inside"), 0);
    Helper t;
    ASSERT_TRUE(t.start(std::string("try ") + file + " " + result));
    EXPECT_EQ(t.wait(), 0u);
    EXPECT_EQ(testutil::readFile(result), "33\n");
    ASSERT_EQ(PrfTransaction(h, FALSE), 0);
    Helper t2;
    ASSERT_TRUE(t2.start(std::string("try ") + file + " " + result));
    EXPECT_EQ(t2.wait(), 0u);
    EXPECT_EQ(testutil::readFile(result), "0\n");
    USHORT rc;
    EXPECT_EQ(valueAt(h, "try", "key", &rc), "helper");
    PrfCloseProfile(h);
}

} // namespace
