// Conversations with a server in another process (dde_server_helper):
// the full request that has to start the server first (once, with one
// retry), full pokes and executes as the server logs them, null data,
// the presence test, the plain conversation calls, advise data reaching
// this process's callback, and a window's input enabled again afterwards.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "opmdde.h"
#include "testutil.h"
#include "win.h"

namespace {

const char kService[] = "dde_server_helper";
const char kProgram[] = "dde_server_helper.exe";
const char kStarts[] = "dde_server_helper.starts";
const char kTopic[] = "Data";

std::vector<std::string> adviseData;

HDDEDATA CALLBACK client(UINT type, UINT, HCONV, HSZ, HSZ hsz2, HDDEDATA data, ULONG_PTR,
                         ULONG_PTR)
{
    if (type == XTYP_ADVDATA) {
        char buf[64] = "";
        OpmDdeGetData(data, buf, sizeof buf - 1, 0);
        adviseData.push_back(buf);
        return (HDDEDATA)DDE_FACK;
    }
    return nullptr;
}

bool serverRunning()
{
    BOOL running = FALSE;
    return OpmDdeCheckOpmServer(kService, &running) == 0 && running;
}

int startCount()
{
    std::string s = testutil::readFile(kStarts);
    int n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

std::string request(const char *item)
{
    char buf[256];
    if (OpmDdeFullRequest(nullptr, kService, kTopic, item, buf, sizeof buf) != 0)
        return "<failed>";
    return buf;
}

void pump(int ms)
{
    for (int t = 0; t < ms; t += 10) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
}

class DdeServer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(OpmDdeInitialize(client, APPCMD_CLIENTONLY), 0);
        stopServer();
        DeleteFileA(kStarts);
    }
    static void TearDownTestSuite()
    {
        stopServer();
        OpmDdeUninitialize();
        DeleteFileA(kStarts);
    }
    static void stopServer()
    {
        if (!serverRunning())
            return;
        OpmDdeFullPoke(nullptr, kService, kTopic, nullptr, "quit", 5);
        for (int i = 0; i < 100 && serverRunning(); i++)
            Sleep(50);
    }
    static void ensureServer()
    {
        if (!serverRunning()) {
            ASSERT_EQ(OpmDdeFullRequest(nullptr, kService, kTopic, "x", nullptr, 0), 0);
        }
    }
};

}  // namespace

TEST_F(DdeServer, FullRequestStartsTheServerOnceAndAsksAgain)
{
    ASSERT_FALSE(serverRunning());
    ASSERT_EQ(startCount(), 0);
    HWND wnd = CreateWindowExA(0, "STATIC", "w", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);

    char buf[64];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(OpmDdeFullRequestEx(wnd, kProgram, kService, kTopic, "alpha", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "value of alpha");
    EXPECT_EQ(startCount(), 1);
    EXPECT_TRUE(serverRunning());

    // Now running: the plain form finds it without a start.
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(OpmDdeFullRequest(wnd, kService, kTopic, "beta", buf, 5), 0);
    EXPECT_EQ(std::string(buf, 6), "value#");  // at most size bytes
    EXPECT_EQ(startCount(), 1);

    // Each call disabled the input once and enabled it once: enabled now,
    // and one more disable of the caller's own takes effect.
    EXPECT_TRUE(WinQueryEnableWindowInput(wnd));
    EXPECT_FALSE(WinEnableWindowInput(wnd, FALSE));
    DestroyWindow(wnd);
}

TEST_F(DdeServer, FullPokeSendsPokesWithAnItemAndExecutesWithout)
{
    ensureServer();
    std::string before = request("log");
    EXPECT_EQ(OpmDdeFullPoke(nullptr, kService, kTopic, "colour", "blue", 5), 0);
    EXPECT_EQ(OpmDdeFullPoke(nullptr, kService, kTopic, nullptr, "[open]", 7), 0);
    EXPECT_EQ(OpmDdeFullPokeEx(nullptr, kProgram, kService, kTopic, "size", "12345", 3), 0);
    EXPECT_EQ(request("log"), before + "poke colour=blue fmt=1;execute [open];poke size=123 fmt=1;");
}

TEST_F(DdeServer, NullDataAnswers87AndClosesTheConversation)
{
    ensureServer();
    EXPECT_EQ(OpmDdeFullPoke(nullptr, kService, kTopic, "colour", nullptr, 5), 87);
    EXPECT_EQ(OpmDdeFullPoke(nullptr, kService, kTopic, nullptr, nullptr, 0), 87);
    pump(100);
    EXPECT_EQ(request("conversations"), "1");  // only the request's own
    // No conversation at all: the result stays 65535 even without data.
    EXPECT_EQ(OpmDdeFullPokeEx(nullptr, nullptr, kService, "NoSuchTopic", "x", nullptr, 0), 65535);
}

TEST_F(DdeServer, UnknownServicesAndTopicsFail)
{
    ensureServer();
    int starts = startCount();
    char buf[16] = "unchanged";
    EXPECT_EQ(OpmDdeFullRequest(nullptr, "NoSuchOrinService", kTopic, "a", buf, sizeof buf), 65535);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(OpmDdeFullRequestEx(nullptr, nullptr, "NoSuchOrinService", kTopic, "a", buf,
                                  sizeof buf), 65535);
    EXPECT_EQ(OpmDdeFullRequestEx(nullptr, nullptr, kService, "NoSuchTopic", "a", buf, sizeof buf),
              65535);
    BOOL running = TRUE;
    EXPECT_EQ(OpmDdeCheckOpmServer("NoSuchOrinService", &running), 0);
    EXPECT_FALSE(running);
    EXPECT_EQ(startCount(), starts);  // nothing was started
    // A topic the running server refuses: the plain form starts the
    // program (which finds its server running and ends), tries once more
    // and fails.
    EXPECT_EQ(OpmDdeFullRequest(nullptr, kService, "NoSuchTopic", "a", buf, sizeof buf), 65535);
    EXPECT_EQ(startCount(), starts + 1);
}

TEST_F(DdeServer, ConversationCalls)
{
    ensureServer();
    EXPECT_EQ(OpmDdeConnect(kService, "NoSuchTopic"), nullptr);
    HCONV conv = OpmDdeConnect(kService, kTopic);
    ASSERT_NE(conv, nullptr);
    char buf[32];
    EXPECT_EQ(OpmDdeRequest(conv, "gamma", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "value of gamma");
    // Several requests on one conversation, with and without a buffer.
    EXPECT_EQ(OpmDdeRequest(conv, "gamma", nullptr, 0), 0) << OpmDdeGetLastError();
    memset(buf, 0, sizeof buf);
    EXPECT_EQ(OpmDdeRequest(conv, "delta", buf, sizeof buf), 0) << OpmDdeGetLastError();
    EXPECT_STREQ(buf, "value of delta");
    // (The host allows one conversation per service and topic for a
    // client, so the log is read through this one.)
    char before[256] = "", after[256] = "";
    EXPECT_EQ(OpmDdeRequest(conv, "log", before, sizeof before), 0);
    EXPECT_EQ(OpmDdePoke(conv, "name", "Orin"), 0);
    EXPECT_EQ(OpmDdePoke(conv, nullptr, "run"), 0);
    EXPECT_EQ(OpmDdePoke(conv, "name", nullptr), 87);
    EXPECT_EQ(OpmDdeRequest(conv, "log", after, sizeof after), 0);
    EXPECT_EQ(std::string(after), std::string(before) + "poke name=Orin fmt=1;execute run;");
    EXPECT_EQ(OpmDdeDisconnect(conv), 0);
    EXPECT_EQ(OpmDdeDisconnect(nullptr), 65535);
    EXPECT_EQ(OpmDdeRequest(nullptr, "gamma", buf, sizeof buf), 65535);
    EXPECT_NE(OpmDdePoke(nullptr, "name", "x"), 0);
}

TEST_F(DdeServer, AdviseDataReachesTheApplicationCallback)
{
    ensureServer();
    HCONV conv = OpmDdeConnect(kService, kTopic);
    ASSERT_NE(conv, nullptr);
    HSZ tick = OpmDdeCreateStringHandle("tick");
    ASSERT_NE(DdeClientTransaction(nullptr, 0, conv, tick, CF_TEXT, XTYP_ADVSTART, 5000, nullptr),
              nullptr);
    adviseData.clear();
    EXPECT_EQ(OpmDdePoke(conv, nullptr, "advise"), 0);
    for (int i = 0; i < 200 && adviseData.empty(); i++)
        pump(10);
    ASSERT_EQ(adviseData.size(), 1u);
    EXPECT_EQ(adviseData[0], "tick 1");
    OpmDdeFreeStringHandle(tick);
    OpmDdeDisconnect(conv);
}
