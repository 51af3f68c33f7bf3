// Start-up, command-line splitting, executable name, last error, OS
// queries and the export table of orin.dll.
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include "knl.h"
#include "net.h"

namespace {

struct Args {
    USHORT argc = 0;
    char *argv[KNL_MAX_ARGS] = {};
    USHORT rc;
    explicit Args(const char *cmd, LONG show = SW_SHOWNORMAL)
    {
        rc = KnlInit(GetModuleHandleA(NULL), NULL, cmd, show, &argc, argv);
    }
};

TEST(KnlInit, SplitsQuotedAndEmptyArguments)
{
    KnlSetExecutableFileName("C:\\apps\\viewer\\viewer.exe");
    Args a("first \"second word\" \"\" last");
    ASSERT_EQ(a.rc, 0);
    ASSERT_EQ(a.argc, 4);
    EXPECT_STREQ(a.argv[0], "C:\\apps\\viewer\\viewer.exe");
    EXPECT_STREQ(a.argv[1], "first");
    EXPECT_STREQ(a.argv[2], "second word");
    EXPECT_STREQ(a.argv[3], "last");
}

TEST(KnlInit, OnlyBlankEndsAnUnquotedToken)
{
    Args a("  a\tb  \t c");
    ASSERT_EQ(a.argc, 3);
    EXPECT_STREQ(a.argv[1], "a\tb");
    EXPECT_STREQ(a.argv[2], "c");
}

TEST(KnlInit, UnclosedQuoteRunsToTheEnd)
{
    Args a("x \"open quote text");
    ASSERT_EQ(a.argc, 3);
    EXPECT_STREQ(a.argv[2], "open quote text");
}

TEST(KnlInit, StopsAtTwentyArguments)
{
    std::string cmd;
    for (int i = 1; i <= 25; i++)
        cmd += "w" + std::to_string(i) + " ";
    Args a(cmd.c_str());
    ASSERT_EQ(a.argc, KNL_MAX_ARGS);
    EXPECT_STREQ(a.argv[19], "w19");
}

TEST(KnlInit, NullOrBlankCommandLineGivesOnlyTheProgram)
{
    Args a(nullptr);
    EXPECT_EQ(a.argc, 1);
    Args b("   ");
    EXPECT_EQ(b.argc, 1);
    Args c("\"\" \"\"");
    EXPECT_EQ(c.argc, 1);
}

TEST(KnlInit, EachCallSplitsAFreshCopy)
{
    char cmd[] = "one two";
    Args a(cmd);
    cmd[0] = 'X';                       // the library keeps its own copy
    EXPECT_STREQ(a.argv[1], "one");
    Args b("three");
    EXPECT_EQ(b.argc, 2);
    EXPECT_STREQ(b.argv[1], "three");
}

TEST(KnlInit, AnotherThreadIsRefused)
{
    Args mine("a b");
    ASSERT_EQ(mine.rc, 0);
    USHORT rc = 0, argc = 99;
    char *argv[KNL_MAX_ARGS] = {};
    std::thread t([&] { rc = KnlInit(NULL, NULL, "x y z", SW_SHOWMINIMIZED, &argc, argv); });
    t.join();
    EXPECT_EQ(rc, 0xFFFF);
    EXPECT_EQ(argc, 99);                // nothing changed
    EXPECT_EQ(KnlQueryStartIconised(), 0);
}

TEST(KnlInit, StartIconisedFollowsTheShowCommand)
{
    { Args a("", SW_MINIMIZE); EXPECT_EQ(KnlQueryStartIconised(), 0); }
    { Args a("", SW_SHOWMINIMIZED); EXPECT_EQ(KnlQueryStartIconised(), 1); }
    { Args a("", SW_SHOWMINNOACTIVE); EXPECT_EQ(KnlQueryStartIconised(), 1); }
    { Args a("", SW_SHOWNORMAL); EXPECT_EQ(KnlQueryStartIconised(), 0); }
}

// Start-up and shutdown run the network layer's: with the optional client's
// stand-in libraries on the search path, KnlInit loads them and
// KnlTerminate lets them go.
TEST(KnlInit, StartsAndStopsTheNetworkLayer)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir(self);
    dir = dir.substr(0, dir.find_last_of("\\/") + 1) + "fakenovell";
    ASSERT_TRUE(SetDllDirectoryA(dir.c_str()));
    EXPECT_EQ(NetIsNovell(), 0);
    { Args a("x"); ASSERT_EQ(a.rc, 0); }
    EXPECT_EQ(NetIsNovell(), 1);
    KnlTerminate(0);
    EXPECT_EQ(NetIsNovell(), 0);
    SetDllDirectoryA(nullptr);
}

TEST(KnlExecutable, NameAndDirectory)
{
    KnlSetExecutableFileName("C:\\apps\\viewer\\viewer.exe");
    EXPECT_STREQ(KnlQueryExecutableName(), "C:\\apps\\viewer\\viewer.exe");
    EXPECT_STREQ(KnlQueryExecutablePath(), "C:\\apps\\viewer");

    char buf[8];
    memset(buf, 'z', sizeof buf);
    EXPECT_EQ(KnlNamQExecutableName(NULL, buf, 8), 0);
    EXPECT_STREQ(buf, "C:\\apps");             // size-1 bytes and a terminator
    EXPECT_EQ(KnlNamQExecutablePath(NULL, NULL, 10), 0);
    char big[KNL_MAX_PATH];
    EXPECT_EQ(KnlNamQExecutablePath(NULL, big, sizeof big), 0);
    EXPECT_STREQ(big, "C:\\apps\\viewer");
}

TEST(KnlExecutable, RelativeNameIsExpanded)
{
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    KnlSetExecutableFileName("tool.exe");
    EXPECT_STREQ(KnlQueryExecutableName(), "tool.exe");
    EXPECT_STREQ(KnlQueryExecutablePath(), cwd);
}

TEST(KnlExecutable, OverlongNameIsCut)
{
    std::string longName = "C:\\" + std::string(400, 'n');
    KnlSetExecutableFileName(longName.c_str());
    EXPECT_EQ(strlen(KnlQueryExecutableName()), (size_t)KNL_MAX_PATH - 1);
}

TEST(KnlLastError, KeepsTheLowSixteenBits)
{
    SetLastError(0x20005);
    EXPECT_EQ(KnlGetLastError(), 5);
    KnlSetLastError(0xE0C8);
    EXPECT_EQ(GetLastError(), 0xE0C8u);
    EXPECT_EQ(KnlGetLastError(), 0xE0C8);
    KnlSetLastError(0);
    EXPECT_EQ(KnlGetLastError(), 0);
}

TEST(KnlOs, ReportsTheNtFamily)
{
    USHORT version = 0;
    EXPECT_EQ(KnlQueryOS(&version), 1);
    EXPECT_GE(version, 0x0600);
    EXPECT_EQ(KnlQueryOS(NULL), 1);
    EXPECT_EQ(KnlQueryPlatform(), 1);
    EXPECT_EQ(KnlIsNewShell(), 1);
    EXPECT_EQ(DosSetMaxFH(100), 0);
}

// The ordinals are a binding part of the interface: applications import
// the error-log calls by number only.
TEST(KnlExports, OrdinalsAndNames)
{
    HMODULE dll = GetModuleHandleA("orin.dll");
    ASSERT_NE(dll, nullptr);
    struct { const char *name; int ordinal; bool named; } table[] = {
        {"KnlDbgPrintf", 2121, true},     {"KnlErrLogPrintf", 2124, false},
        {"KnlErrLogOpen", 2125, false},   {"KnlErrLogStop", 2126, false},
        {"KnlErrLogResume", 2127, false}, {"KnlErrLogClose", 2128, false},
        {"KnlCrc16", 5101, true},         {"KnlCrc16Check", 5102, true},
        {"KnlCrc32", 5103, true},         {"KnlCrc32Check", 5104, true},
    };
    for (auto &e : table) {
        FARPROC byOrdinal = GetProcAddress(dll, MAKEINTRESOURCEA(e.ordinal));
        FARPROC byName = GetProcAddress(dll, e.name);
        EXPECT_NE(byOrdinal, nullptr) << e.name;
        if (e.named)
            EXPECT_EQ(byName, byOrdinal) << e.name;
        else
            EXPECT_EQ(byName, nullptr) << e.name << " must be exported by ordinal only";
    }
    // Internal helpers stay internal.
    EXPECT_EQ(GetProcAddress(dll, "KnlDbgWrite"), nullptr);
    EXPECT_EQ(GetProcAddress(dll, "KnlBuildSysFormats"), nullptr);
    auto crc32 = (ULONG(*)(const void *, USHORT, ULONG))GetProcAddress(dll, MAKEINTRESOURCEA(5103));
    EXPECT_EQ(crc32("123456789", 9, 0xFFFFFFFF), 0xCBF43926u);
}

} // namespace
