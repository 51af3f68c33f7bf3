// The optional Novell client, loaded at run time: stand-in libraries in a
// directory of their own are found, their directory user name is used,
// record locks go through them, and the "DisableNovellLibrary" switch
// keeps them out.  Runs as its own program, since the lock primitive is
// chosen once per process.
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include "knlnam.h"
#include "net.h"
#include "shell/netint.h"
#include "testutil.h"

namespace {

const char *SHARED_KEY = "Software\\Orin\\Shared";

std::string fakeDir()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir(self);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + "fakenovell";
}

void setDisable(DWORD value)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, SHARED_KEY, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, "DisableNovellLibrary", 0, REG_DWORD, (const BYTE *)&value, sizeof value);
    RegCloseKey(key);
}

class FakeClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SetDllDirectoryA(fakeDir().c_str()));
        setDisable(0);
    }
    void TearDown() override
    {
        NetDeinitNetworking();
        setDisable(0);
        SetDllDirectoryA(nullptr);
    }
};

TEST_F(FakeClient, LoadedClientAnswers)
{
    ASSERT_EQ(NetInitNetworking(), 0);
    EXPECT_TRUE(NetNovellLoaded());
    EXPECT_EQ(NetIsNovell(), 1);
    char user[NET_NAME_BUFFER];
    EXPECT_EQ(NetGetNetworkUserNameForNet(user, NET_USER_DIRECTORY), 0);
    EXPECT_STREQ(user, "bob");                       // up to the first point
    EXPECT_EQ(NetGetNetworkUserName(user), 0);
    EXPECT_STREQ(user, "bob");

    // record locks go through the client
    HMODULE calls = GetModuleHandleA("calwin32.dll");
    ASSERT_NE(calls, nullptr);
    auto lockCalls = (LONG(WINAPI *)(void))GetProcAddress(calls, "FakeLockCalls");
    auto clearCalls = (LONG(WINAPI *)(void))GetProcAddress(calls, "FakeClearCalls");
    testutil::ScratchFile f("net_client_lock.dat");
    ASSERT_TRUE(testutil::writeFile(f.name, "0123456789"));
    KNLHFILE h;
    ULONG action;
    ASSERT_EQ(KnlNamOpen(KnlNamGetDefaultNS(), f.name.c_str(), &h, &action, 0, 0,
                         KNLNAM_OPEN_EXISTING, KNLNAM_ACCESS_READWRITE | KNLNAM_SHARE_DENYNONE, 0), 0);
    FILELOCK range = { 0, 4, 1 };
    LONG before = lockCalls(), clearedBefore = clearCalls();
    EXPECT_EQ(KnlNamFileLocksEx(KnlNamGetDefaultNS(), h, nullptr, &range), 0);
    EXPECT_EQ(KnlNamFileLocksEx(KnlNamGetDefaultNS(), h, &range, nullptr), 0);
    EXPECT_EQ(lockCalls(), before + 1);
    EXPECT_EQ(clearCalls(), clearedBefore + 1);
    KnlNamClose(KnlNamGetDefaultNS(), h);

    NetDeinitNetworking();
    EXPECT_EQ(NetIsNovell(), 0);
    EXPECT_EQ(NetGetNetworkUserNameForNet(user, NET_USER_DIRECTORY), NET_ERR_FAILURE);
}

// Once started, the client is only read: two threads asking for names at
// once get the answers one thread gets.
TEST_F(FakeClient, NameQueriesFromTwoThreads)
{
    ASSERT_EQ(NetInitNetworking(), 0);
    auto names = [](std::string &seen) {
        char user[NET_NAME_BUFFER];
        for (int i = 0; i < 2000; i++) {
            user[0] = 0;
            USHORT rc = NetGetNetworkUserNameForNet(user, NET_USER_DIRECTORY);
            if (rc != 0 || strcmp(user, "bob") != 0 || NetIsNovell() != 1) {
                seen = "round " + std::to_string(i) + ": " + user;
                return;
            }
        }
        seen = "bob";
    };
    std::string a, b;
    std::thread ta(names, std::ref(a)), tb(names, std::ref(b));
    ta.join();
    tb.join();
    EXPECT_EQ(a, "bob");
    EXPECT_EQ(b, "bob");
}

TEST_F(FakeClient, SwitchKeepsTheClientOut)
{
    setDisable(1);
    ASSERT_EQ(NetInitNetworking(), 0);
    EXPECT_FALSE(NetNovellLoaded());
    EXPECT_EQ(NetIsNovell(), 0);
    EXPECT_EQ(GetModuleHandleA("calwin32.dll"), nullptr);
}

} // namespace
