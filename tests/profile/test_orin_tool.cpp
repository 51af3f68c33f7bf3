// The orin command-line tool on real profile files: exit codes, messages
// naming the error code, and an export/import round trip that keeps every
// value, including ones with escapes and binary data.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "prf.h"
#include "testutil.h"

namespace {

// Runs a command line through the command interpreter; returns the exit
// status and fills `out` with what it printed (stdout and stderr).
int run(const std::string &cmd, std::string *out = nullptr)
{
    FILE *p = _popen((cmd + " 2>&1").c_str(), "rb");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    int status = _pclose(p);
    if (out)
        *out = text;
    return status;
}

TEST(OrinTool, ExitStatusAndMessages)
{
    testutil::ScratchFile f("tool.prf");
    std::string out;
    EXPECT_EQ(run("orin.exe --help", &out), 0);
    EXPECT_NE(out.find("export FILE"), std::string::npos);
    EXPECT_EQ(run("orin.exe prf frobnicate tool.prf", &out), 2);
    EXPECT_EQ(run("orin.exe prf get tool.prf s k", &out), 1);          // no such file
    EXPECT_NE(out.find("error 2"), std::string::npos) << out;
    EXPECT_EQ(run("orin.exe prf set tool.prf Sec Key \"a value\""), 0);
    EXPECT_EQ(run("orin.exe prf get tool.prf Sec Key", &out), 0);
    EXPECT_EQ(out, "a value\r\n");
    EXPECT_EQ(run("orin.exe prf get tool.prf Sec Nothing", &out), 1);
    EXPECT_NE(out.find("error 211"), std::string::npos) << out;
    EXPECT_EQ(run("orin.exe prf set tool.prf Sec \"a~b\" v", &out), 1);
    EXPECT_NE(out.find("error 123"), std::string::npos) << out;
    EXPECT_EQ(run("orin.exe prf delete tool.prf Sec Key"), 0);
    EXPECT_EQ(run("orin.exe prf keys tool.prf Sec", &out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(run("orin.exe prf delete tool.prf Sec"), 0);
    EXPECT_EQ(run("orin.exe prf sections tool.prf", &out), 0);
    EXPECT_EQ(out, "");
}

// Key names; one holds '=', which the export must escape.
std::string keyName(int i)
{
    return "key" + std::to_string(i) + (i == 2 ? "=x" : "");
}

TEST(OrinTool, ExportAndImportKeepEveryValue)
{
    testutil::ScratchFile a("round_a.prf"), b("round_b.prf"), text("round.ini");
    const std::string values[] = {
        "plain", "  spaces around  ", "back\\slash", "line\nbreak\r\ttab", "a=b]c[d",
        "hex:not binary", "", std::string("\x01\x7f\xff", 3),
    };
    const std::string binary("\0\1\2zero", 7);
    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, "round_a.prf", 0), 0);
    int i = 0;
    for (const auto &v : values) {
        std::string key = keyName(i++);
        ASSERT_EQ(PrfWriteProfileData(h, "Text", key.c_str(), v.data(), (ULONG)v.size()), 0);
    }
    ASSERT_EQ(PrfWriteProfileData(h, "Bin [1]", "data", binary.data(), (ULONG)binary.size()), 0);
    ASSERT_EQ(PrfCreateSection(h, "Empty"), 0);
    PrfCloseProfile(h);

    std::string first, second;
    ASSERT_EQ(run("orin.exe prf export round_a.prf > round.ini"), 0);
    first = testutil::readFile("round.ini");
    ASSERT_EQ(run("orin.exe prf import round_b.prf < round.ini"), 0);
    ASSERT_EQ(run("orin.exe prf export round_b.prf", &second), 0);
    EXPECT_EQ(first, second);

    ASSERT_EQ(PrfOpenProfile(NULL, &h, "round_b.prf", PRF_OPEN_READONLY), 0);
    i = 0;
    for (const auto &v : values) {
        std::string key = keyName(i++);
        char buf[64];
        ULONG size = sizeof buf;
        EXPECT_EQ(PrfQueryProfileData(h, "Text", key.c_str(), buf, &size), 0) << key;
        EXPECT_EQ(std::string(buf, size), v) << key;
    }
    char buf[16];
    ULONG size = sizeof buf;
    EXPECT_EQ(PrfQueryProfileData(h, "Bin [1]", "data", buf, &size), 0);
    EXPECT_EQ(std::string(buf, size), binary);
    size = sizeof buf;
    EXPECT_EQ(PrfQueryProfileSize(h, "Empty", NULL, &size), 0);
    EXPECT_EQ(size, 1u);
    PrfCloseProfile(h);
}

} // namespace
