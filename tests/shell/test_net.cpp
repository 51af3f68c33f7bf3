// Network identity and drive mapping, white-box: the host's enumeration of
// mapped drives and its identity queries are replaced by known answers
// (this host has no network drives), then the translations, the
// workstation identifier, the user name and the network type are checked.
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>
#include "knlnam.h"
#include "net.h"
#include "shell/netint.h"

namespace {

const NETMAPPING mappings[] = {
    { 'M', "\\\\srv\\share" },
    { 'n', "srv2\\data" },                  // remote without its backslashes
    { 'M', "\\\\srv\\share\\deeper" },      // a letter twice: the longest wins
    { 0, "\\\\nolocal\\x" },                // skipped: no local name
    { 'R', "" },                            // skipped: no remote name
};

class Mapped : public ::testing::Test {
protected:
    void SetUp() override { NetSetMappingSource(mappings, sizeof mappings / sizeof mappings[0]); }
    void TearDown() override { NetSetMappingSource(nullptr, 0); }
};

std::string universal(const char *in, USHORT expect)
{
    char out[KNLNAM_MAXPATH];
    EXPECT_EQ(NetGetUniversalName(out, in), expect) << in;
    return out;
}

std::string mapped(const char *in, USHORT expect)
{
    char out[KNLNAM_MAXPATH];
    EXPECT_EQ(NetGetMappedName(out, in), expect) << in;
    return out;
}

TEST_F(Mapped, DrivePathsBecomeUniversalNames)
{
    EXPECT_EQ(universal("m:\\dir\\file.txt", 0), "\\\\SRV\\SHARE\\DEEPER\\DIR\\FILE.TXT");
    EXPECT_EQ(universal("N:\\a\\..\\b", 0), "\\\\SRV2\\DATA\\B");
    EXPECT_EQ(universal("N:\\", 0), "\\\\SRV2\\DATA\\");
    EXPECT_EQ(universal("q:\\x\\y", NET_NOT_MAPPED), "q:\\x\\y");     // unmapped drive
    EXPECT_EQ(universal("r:\\x", NET_NOT_MAPPED), "r:\\x");           // skipped entry
    EXPECT_EQ(universal("rel.txt", NET_NOT_MAPPED), "rel.txt");       // current drive unmapped
    EXPECT_EQ(universal("\\\\srv\\share\\x", NET_NOT_MAPPED), "\\\\srv\\share\\x");
    char out[KNLNAM_MAXPATH];
    EXPECT_EQ(NetGetUniversalName(nullptr, "m:\\x"), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(NetGetUniversalName(out, nullptr), ORIN_ERR_INVALID_PARAM);
    // a result that would pass 259 bytes is not formed
    std::string longPath = "m:\\" + std::string(250, 'p');
    EXPECT_EQ(universal(longPath.c_str(), NET_NOT_MAPPED), longPath);
}

TEST_F(Mapped, UniversalNamesBecomeDrivePaths)
{
    EXPECT_EQ(mapped("\\\\SRV\\share\\a\\b", 0), "M:\\a\\b");
    EXPECT_EQ(mapped("\\\\srv\\share\\deeper\\x", 0), "M:\\x");       // longest prefix
    EXPECT_EQ(mapped("\\\\srv\\share/y", 0), "M:/y");
    EXPECT_EQ(mapped("\\\\srv2\\data", 0), "N:");
    EXPECT_EQ(mapped("\\\\srv\\shareX\\y", NET_NOT_MAPPED), "\\\\srv\\shareX\\y");
    EXPECT_EQ(mapped("\\\\other\\x", NET_NOT_MAPPED), "\\\\other\\x");
    EXPECT_EQ(mapped("\\\\nolocal\\x", NET_NOT_MAPPED), "\\\\nolocal\\x");
    EXPECT_EQ(mapped("c:\\local", NET_NOT_MAPPED), "c:\\local");
    char out[KNLNAM_MAXPATH];
    EXPECT_EQ(NetGetMappedName(out, nullptr), ORIN_ERR_INVALID_PARAM);
}

TEST_F(Mapped, NormalisationUsesTheUniversalName)
{
    char name[KNLNAM_MAXPATH] = "m:/dir//x/";
    ASSERT_EQ(KnlNamNormalizePathEx(KnlNamGetDefaultNS(), name, 0), 0);
    EXPECT_STREQ(name, "\\\\SRV\\SHARE\\DEEPER\\DIR\\X");
    strcpy(name, "m:/dir//x/");
    ASSERT_EQ(KnlNamNormalizePathEx(KnlNamGetDefaultNS(), name, KNLNAM_NORM_NO_UNC), 0);
    EXPECT_STREQ(name, "m:\\dir\\x");
}

TEST(NetMappingTable, HoldsAtMost28Entries)
{
    std::vector<std::string> remotes;
    std::vector<NETMAPPING> list;
    for (int i = 0; i < 30; i++)
        remotes.push_back("\\\\s\\e" + std::to_string(i));
    for (int i = 0; i < 30; i++)
        list.push_back({ 'P', remotes[i].c_str() });
    NetSetMappingSource(list.data(), (int)list.size());
    EXPECT_EQ(mapped("\\\\s\\e27\\x", 0), "P:\\x");
    EXPECT_EQ(mapped("\\\\s\\e28\\x", NET_NOT_MAPPED), "\\\\s\\e28\\x");
    NetSetMappingSource(nullptr, 0);
}

// ---- two threads querying at once ------------------------------------------

// Every mapping's universal name to drive path, last entry first, and one
// drive path to universal name: what one thread sees of the table.
std::string queryAll(const std::vector<std::string> &remotes)
{
    std::string seen;
    char out[KNLNAM_MAXPATH];
    for (size_t i = remotes.size(); i-- > 0;) {
        NetGetMappedName(out, (remotes[i] + "\\f").c_str());
        seen += std::string(out) + ";";
    }
    NetGetUniversalName(out, "Q:\\f");
    return seen + out;
}

// The first queries build the table; two threads making them at once must
// both see all of it, as one thread alone does.
TEST(NetThreads, FirstQueriesFromTwoThreadsSeeTheWholeTable)
{
    std::vector<std::string> remotes;
    std::vector<NETMAPPING> list;
    for (int i = 0; i < 28; i++)
        remotes.push_back("\\\\host\\vol" + std::to_string(i));
    for (int i = 0; i < 28; i++)
        list.push_back({ static_cast<char>('D' + i % 23), remotes[i].c_str() });
    NetSetMappingSource(list.data(), (int)list.size());
    const std::string alone = queryAll(remotes);
    ASSERT_EQ(alone.find("\\\\"), alone.rfind("\\\\"));   // only the last answer is a UNC
    for (int round = 0; round < 300; round++) {
        NetSetMappingSource(list.data(), (int)list.size());
        std::atomic<int> ready{0};
        std::string a, b;
        auto work = [&](std::string &seen) {
            ready++;
            while (ready.load() < 2) {
            }
            seen = queryAll(remotes);
        };
        std::thread ta(work, std::ref(a)), tb(work, std::ref(b));
        ta.join();
        tb.join();
        ASSERT_EQ(a, alone) << round;
        ASSERT_EQ(b, alone) << round;
    }
    NetSetMappingSource(nullptr, 0);
}

// ---- identity with known host answers ---------------------------------------

struct FakeHost {
    static DWORD netStatus;
    static std::string user, computer;
    static DWORD userError;
    static DWORD globalNetStatus() { return netStatus; }
    static DWORD userName(char *buf, DWORD *size)
    {
        if (userError)
            return userError;
        if (user.size() + 1 > *size)
            return ERROR_MORE_DATA;
        strcpy(buf, user.c_str());
        return 0;
    }
    static BOOL computerName(char *buf, DWORD *size)
    {
        if (computer.size() + 1 > *size)
            return FALSE;
        strcpy(buf, computer.c_str());
        *size = (DWORD)computer.size();
        return TRUE;
    }
};
DWORD FakeHost::netStatus, FakeHost::userError;
std::string FakeHost::user, FakeHost::computer;

class Identity : public ::testing::Test {
protected:
    NETHOSTAPI api = { FakeHost::globalNetStatus, FakeHost::userName, FakeHost::computerName };
    void SetUp() override
    {
        FakeHost::netStatus = 0;
        FakeHost::userError = 0;
        FakeHost::user = "bob";
        FakeHost::computer = "PC1";
        NetSetHostApi(&api);
    }
    void TearDown() override { NetSetHostApi(nullptr); }
    std::string station(USHORT expect = 0)
    {
        char buf[NET_NAME_BUFFER] = "untouched";
        EXPECT_EQ(NetGetNetworkStationID(buf), expect);
        return buf;
    }
};

TEST_F(Identity, StationIdentifierFromComputerAndUser)
{
    EXPECT_EQ(station(), "CN:PC1:::::::::-bob:::::");
    FakeHost::user = "averylongusername";
    EXPECT_EQ(station(), "CN:PC1:::::::::-averylon");
    FakeHost::computer = "  ABCDEFGHIJKLMNO ";              // blanks trimmed, cut to 12
    EXPECT_EQ(station(), "CN:ABCDEFGHIJKL-averylon");
    FakeHost::userError = ERROR_NO_NETWORK;                // no user: all padding
    EXPECT_EQ(station(), "CN:ABCDEFGHIJKL-::::::::");
}

TEST_F(Identity, HardwareFormWithoutAComputerName)
{
    FakeHost::computer = "   ";
    std::string id = station();
    EXPECT_EQ(id.substr(0, 3), "HW:");
    EXPECT_EQ(id.substr(id.size() - 9), "-bob:::::");
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    char arch[8];
    snprintf(arch, sizeof arch, "%02X", si.wProcessorArchitecture);
    EXPECT_EQ(id.substr(3, 2), arch);
}

TEST_F(Identity, NoNetworkLeavesTheBufferAlone)
{
    FakeHost::netStatus = ERROR_NO_NETWORK;
    EXPECT_EQ(station(NET_ERR_FAILURE), "untouched");
    EXPECT_EQ(NetQueryNetworkType(), NET_TYPE_NONE);
    FakeHost::netStatus = 0;
    EXPECT_EQ(NetQueryNetworkType(), NET_TYPE_HOST);
    EXPECT_EQ(NetGetNetworkStationID(nullptr), ORIN_ERR_INVALID_PARAM);
}

TEST_F(Identity, UserNames)
{
    char buf[NET_NAME_BUFFER] = "";
    EXPECT_EQ(NetGetNetworkUserName(buf), 0);
    EXPECT_STREQ(buf, "bob");
    EXPECT_EQ(NetGetNetworkUserNameForNet(buf, 1), 0);
    EXPECT_STREQ(buf, "bob");
    // without the directory client only the host's name exists
    EXPECT_EQ(NetGetNetworkUserNameForNet(buf, NET_USER_DIRECTORY), NET_ERR_FAILURE);
    FakeHost::userError = ERROR_NOT_CONNECTED;
    strcpy(buf, "keep");
    EXPECT_EQ(NetGetNetworkUserName(buf), NET_ERR_FAILURE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_CONNECTED);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(NetGetNetworkUserName(nullptr), ORIN_ERR_INVALID_PARAM);
}

TEST(NetClient, AbsentClientLibraries)
{
    EXPECT_EQ(NetInitNetworking(), 0);
    EXPECT_EQ(NetIsNovell(), 0);
    EXPECT_FALSE(NetNovellLoaded());
    BOOL handled = TRUE;
    EXPECT_EQ(NetNovellLockRecord(INVALID_HANDLE_VALUE, 0, 1, TRUE, &handled), 0);
    EXPECT_FALSE(handled);
    NetDeinitNetworking();
    EXPECT_EQ(NetIsNovell(), 0);
}

TEST(NetPrinter, CaptureReportsTheHostAnswer)
{
    NETRESOURCEA res = {};
    res.dwType = RESOURCETYPE_PRINT;
    res.lpLocalName = (char *)"LPT1";
    res.lpRemoteName = (char *)"\\\\nosuchserver\\printer";
    DWORD host = WNetAddConnection2A(&res, nullptr, nullptr, 0);
    if (host == NO_ERROR)
        WNetCancelConnection2A("LPT1", 0, TRUE);
    EXPECT_EQ(NetCapturePrinter(nullptr, "\\\\nosuchserver\\printer"), (USHORT)host);
    DWORD cancel = WNetCancelConnection2A("LPT1", 0, TRUE);
    EXPECT_EQ(NetDecapturePrinter(), (USHORT)cancel);
    EXPECT_EQ(NetCapturePrinter("LPT2", nullptr), ORIN_ERR_INVALID_PARAM);
}

} // namespace
