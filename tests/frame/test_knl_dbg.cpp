// The debug channel: where its setting comes from, how it is parsed, what
// the file output keeps and drops, levels, and the timing prints.
#include <gtest/gtest.h>
#include <string>
#include "frame/knlint.h"
#include "testutil.h"

namespace {

using testutil::readFile;
using testutil::ScratchFile;

const std::string HEADER = "----------Debug channel:\n";

class KnlDbg : public ::testing::Test {
protected:
    void use(const char *setting)
    {
        KnlDbgClose();
        SetEnvironmentVariableA("ORINDBG", setting);
    }
    void TearDown() override
    {
        KnlDbgClose();
        SetEnvironmentVariableA("ORINDBG", NULL);
    }
};

TEST_F(KnlDbg, ParsesOutputsFileNameAndLevel)
{
    ScratchFile f("dbg_parse.out");
    use("  file:dbg_parse.out,3 ; window");
    KnlDbgWrite(1, "x");
    EXPECT_EQ(KnlDbgQueryOutputMask(), (ULONG)(KNL_DBG_FILE | KNL_DBG_WINDOW));
    EXPECT_EQ(KnlDbgQueryLevelMask(), 3u);
    EXPECT_STREQ(KnlDbgQueryFileName(), "dbg_parse.out");
}

TEST_F(KnlDbg, KeywordsAreCaseInsensitiveAndOtherTextIsSkipped)
{
    use("?? WINDOW;Mono,ff0");
    KnlDbgWrite(1, "");
    EXPECT_EQ(KnlDbgQueryOutputMask(), (ULONG)(KNL_DBG_WINDOW | KNL_DBG_MONO));
    EXPECT_EQ(KnlDbgQueryLevelMask(), 0xFF0u);
}

TEST_F(KnlDbg, NoSettingMeansSilence)
{
    use(NULL);
    KnlDbgWrite(1, "nothing");
    EXPECT_EQ(KnlDbgQueryOutputMask(), 0u);
    EXPECT_STREQ(KnlDbgQueryFileName(), ".\\KNLDBG.OUT");
}

TEST_F(KnlDbg, FileDropsScreenControlsAndKeepsLineEnds)
{
    ScratchFile f("dbg_filter.out");
    use("file:dbg_filter.out");
    KnlDbgWrite(1, "a\tb\x1b[2Jc\r\n\x08\x0B\x0C\x0E\x0F\x1A\x1E" "d\n");
    KnlDbgWrite(1, "end\x1b[");             // a cut-off sequence at the end
    KnlDbgClose();
    EXPECT_EQ(readFile(f.name), HEADER + "a\tbc\r\nd\nend");
}

TEST_F(KnlDbg, LevelMaskSelectsTexts)
{
    ScratchFile f("dbg_level.out");
    use("file:dbg_level.out,6");
    KnlDbgWrite(1, "one\n");                // level 1 not in 6: header dropped too
    KnlDbgWrite(2, "two\n");
    KnlDbgWrite(4, "four\n");
    KnlDbgWrite(8, "eight\n");
    KnlDbgPrintfLevel(0x0C, "%s\n", "either");
    KnlDbgClose();
    EXPECT_EQ(readFile(f.name), "two\nfour\neither\n");
}

TEST_F(KnlDbg, LevelZeroTurnsEverythingOff)
{
    ScratchFile f("dbg_zero.out");
    use("file:dbg_zero.out,0;window,0");
    KnlDbgPrintf("hidden %d\n", 1);
    KnlDbgClose();
    EXPECT_EQ(readFile(f.name), "");
}

TEST_F(KnlDbg, FileIsAppendedAndPrintfNoFileSkipsIt)
{
    ScratchFile f("dbg_append.out");
    testutil::writeFile(f.name, "before\n");
    use("file:dbg_append.out;window");
    KnlDbgPrintf("n=%d\n", 7);
    KnlDbgPrintfNoFile("not in file\n");
    KnlDbgPrintf("after\n");
    KnlDbgClose();
    EXPECT_EQ(readFile(f.name), "before\n" + HEADER + "n=7\nafter\n");
}

TEST_F(KnlDbg, RegistryComesBeforeTheEnvironment)
{
    ScratchFile f("dbg_reg.out");
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Orin", 0, NULL, 0,
                              KEY_ALL_ACCESS, NULL, &key, NULL), ERROR_SUCCESS);
    const char value[] = "file:dbg_reg.out,2";
    RegSetValueExA(key, "ORINDBG", 0, REG_SZ, (const BYTE *)value, sizeof value);
    use("window");
    KnlDbgWrite(2, "from registry\n");
    EXPECT_EQ(KnlDbgQueryOutputMask(), (ULONG)KNL_DBG_FILE);
    RegDeleteValueA(key, "ORINDBG");
    RegCloseKey(key);
    KnlDbgClose();
    EXPECT_EQ(readFile(f.name), "from registry\n");
}

TEST_F(KnlDbg, FormattedTextIsCutAt511Characters)
{
    ScratchFile f("dbg_long.out");
    use("file:dbg_long.out,2");
    std::string big(1000, 'y');
    KnlDbgPrintfLevel(2, "%s", big.c_str());
    KnlDbgClose();
    EXPECT_EQ(readFile(f.name), std::string(511, 'y'));
}

TEST_F(KnlDbg, TimingAndAssertionTexts)
{
    ScratchFile f("dbg_time.out");
    use("file:dbg_time.out,1");
    KnlDbgDiffTime(NULL, 0, 1005);
    KnlDbgDiffTime("load", 100, 1350);
    KnlDbgAssert("p != NULL", "fal.c", 42);
    KnlDbgTimerStart();
    KnlDbgTimeSpend("step");
    KnlDbgClose();
    std::string text = readFile(f.name);
    std::string expected = HEADER + "DiffTime=1.05\nload, DiffTime=1.250\n"
                           "Assertion failed: p != NULL, file fal.c, line 42\r\n"
                           "step, TimeSpend=0.";
    EXPECT_EQ(text.substr(0, expected.size()), expected);
}

TEST_F(KnlDbg, AbsentMonochromeDeviceIsDropped)
{
    use("mono");
    KnlDbgPrintf("to the void\n");
    EXPECT_EQ(KnlDbgMonoWrite("x"), 0);
    EXPECT_EQ(KnlDbgMonoWriteW(L"x"), 0);
    EXPECT_EQ(KnlDbgMonoWrite(NULL), 0);
}

TEST_F(KnlDbg, UnopenableFileIsSilent)
{
    use("file:Q:\\missing\\dir\\x.out;window");
    KnlDbgPrintf("still fine\n");
    EXPECT_EQ(KnlDbgQueryOutputMask(), (ULONG)(KNL_DBG_FILE | KNL_DBG_WINDOW));
}

} // namespace
