// The program starter with a helper program (arguments, wait flag, exit),
// application-path rewriting against registry keys made here, the URL
// handler fallback, the closer, and the Lisp runprogram builtin.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <string>
#include "testutil.h"
#include "knl.h"
#include "lsp.h"
#include "shell/opmint.h"

namespace {

const char kHelperKey[] = OPM_APP_PATHS "\\opm_helper.exe";

std::string fullName(const char *name)
{
    char buf[MAX_PATH];
    GetFullPathNameA(name, sizeof buf, buf, nullptr);
    return buf;
}

bool waitForFile(const std::string &name, int ms)
{
    for (int t = 0; t < ms; t += 50) {
        if (testutil::fileExists(name))
            return true;
        Sleep(50);
    }
    return testutil::fileExists(name);
}

std::string envValue(const char *block, const char *name)
{
    size_t n = strlen(name);
    for (const char *p = block; *p; p += strlen(p) + 1)
        if (_strnicmp(p, name, n) == 0 && p[n] == '=')
            return p + n + 1;
    return "<none>";
}

class AppPaths : public ::testing::Test {
protected:
    std::string helper = fullName("opm_helper.exe");
    void SetUp() override
    {
        ASSERT_TRUE(testutil::fileExists(helper));
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHelperKey);
    }
    void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHelperKey); }
    void registerHelper(const char *path)
    {
        HKEY h;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHelperKey, 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &h, nullptr), ERROR_SUCCESS);
        RegSetValueExA(h, nullptr, 0, REG_SZ, (const BYTE *)helper.c_str(), (DWORD)helper.size() + 1);
        if (path)
            RegSetValueExA(h, "Path", 0, REG_SZ, (const BYTE *)path, (DWORD)strlen(path) + 1);
        RegCloseKey(h);
    }
};

const char kEnv[] = "A=1\0Path=C:\\bin\0Z=2\0";
const char kEnvNoPath[] = "A=1\0PATHX=no\0";

TEST_F(AppPaths, UnregisteredProgramIsLeftAlone)
{
    char *cmd, *env;
    EXPECT_EQ(opmAppPathRewrite("opm_helper.exe a b", kEnv, &cmd, &env), 0);
    EXPECT_EQ(cmd, nullptr);
    EXPECT_EQ(env, nullptr);
}

TEST_F(AppPaths, RegisteredProgramGetsItsNameAndPath)
{
    registerHelper("C:\\opmextra");
    char *cmd, *env;
    ASSERT_EQ(opmAppPathRewrite("  opm_helper.exe out.txt 0", kEnv, &cmd, &env), 0);
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(std::string(cmd), "\"" + helper + "\" out.txt 0");
    EXPECT_EQ(envValue(env, "PATH"), "C:\\opmextra;C:\\bin");
    EXPECT_EQ(envValue(env, "Z"), "2");
    free(cmd);
    free(env);

    // found without the extension too; a caller without PATH gets one appended
    ASSERT_EQ(opmAppPathRewrite("\"opm_helper\" x", kEnvNoPath, &cmd, &env), 0);
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(std::string(cmd), "\"" + helper + "\" x");
    EXPECT_EQ(envValue(env, "PATH"), "C:\\opmextra");
    EXPECT_EQ(envValue(env, "PATHX"), "no");
    free(cmd);
    free(env);
}

TEST_F(AppPaths, PathValueEndingInSemicolonAndMissingPathValue)
{
    registerHelper("C:\\x;");
    char *cmd, *env;
    ASSERT_EQ(opmAppPathRewrite("opm_helper.exe", kEnv, &cmd, &env), 0);
    EXPECT_EQ(envValue(env, "PATH"), "C:\\x;C:\\bin");
    free(cmd);
    free(env);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHelperKey);
    registerHelper(nullptr);
    ASSERT_EQ(opmAppPathRewrite("opm_helper.exe", kEnv, &cmd, &env), 0);
    ASSERT_NE(env, nullptr);
    EXPECT_EQ(envValue(env, "PATH"), "C:\\bin");       // the caller's block, copied
    free(cmd);
    free(env);
}

TEST_F(AppPaths, ProgramGivenWithPathMustMatchTheRegistration)
{
    registerHelper("C:\\opmextra");
    char *cmd, *env;
    ASSERT_EQ(opmAppPathRewrite("C:\\elsewhere\\opm_helper.exe a", kEnv, &cmd, &env), 0);
    EXPECT_EQ(cmd, nullptr);
    std::string same = helper.substr(0, helper.size() - 4);   // without ".exe"
    ASSERT_EQ(opmAppPathRewrite((same + " a").c_str(), kEnv, &cmd, &env), 0);
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(std::string(cmd), "\"" + helper + "\" a");
    free(cmd);
    free(env);
}

TEST_F(AppPaths, StarterRunsTheHelperAndHonoursWait)
{
    testutil::ScratchFile out("opm_wait.txt");
    ULONG error = 1;
    std::string cmd = "\"" + helper + "\" opm_wait.txt 300 one \"two words\"";
    ASSERT_EQ(OpmStartProgram(cmd.c_str(), SW_HIDE, TRUE, &error), 0);
    EXPECT_EQ(error, 0u);
    ASSERT_TRUE(testutil::fileExists(out.name));      // waited for the end
    std::string text = testutil::readFile(out.name);
    EXPECT_NE(text.find("arg=one\narg=two words\n"), std::string::npos) << text;

    testutil::ScratchFile later("opm_nowait.txt");
    cmd = "\"" + helper + "\" opm_nowait.txt 1500";
    ASSERT_EQ(OpmExecProgram(cmd.c_str(), SW_HIDE), 0);
    EXPECT_FALSE(testutil::fileExists(later.name));   // returned before the child ended
    EXPECT_TRUE(waitForFile(later.name, 15000));

    EXPECT_EQ(OpmStartProgram("no_such_program_here.exe", 0, TRUE, &error), 0xFFFF);
    EXPECT_EQ(error, (ULONG)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpmStartProgram(nullptr, 0, FALSE, &error), 0xFFFF);
}

TEST_F(AppPaths, StarterUsesTheRegisteredPath)
{
    registerHelper("C:\\opmextra");
    testutil::ScratchFile out("opm_reg.txt");
    ULONG error = 0;
    std::string cmd = "opm_helper opm_reg.txt 0 viareg";   // bare name, no extension
    ASSERT_EQ(OpmStartProgram(cmd.c_str(), SW_HIDE, TRUE, &error), 0) << error;
    std::string text = testutil::readFile(out.name);
    EXPECT_NE(text.find("arg=viareg\n"), std::string::npos) << text;
    EXPECT_NE(text.find("PATH=C:\\opmextra;"), std::string::npos) << text;
}

TEST_F(AppPaths, RunprogramBuiltin)
{
    testutil::ScratchFile out("opm_lisp.txt");
    KnlInitCP();
    HLSPSESSION s = LspSessionStart(2048, nullptr);
    ASSERT_NE(s, nullptr);
    char res[256];
    std::string helperLisp;
    for (char c : helper)
        helperLisp += c == '\\' ? std::string("\\\\") : std::string(1, c);
    std::string text = "(runprogram \"\\\"" + helperLisp + "\\\" opm_lisp.txt 200 fromlisp\" t)";
    EXPECT_EQ(LspParseExpressions(s, text.c_str(), res, sizeof res, nullptr), 0) << text;
    EXPECT_STREQ(res, "T");
    EXPECT_NE(testutil::readFile(out.name).find("arg=fromlisp"), std::string::npos);
    EXPECT_EQ(LspParseExpressions(s, "(runprogram \"no_such_program_here.exe\")", res, sizeof res,
                                  nullptr), 0);
    EXPECT_STREQ(res, "NIL");
    EXPECT_EQ(LspParseExpressions(s, "(runprogram 5)", res, sizeof res, nullptr), 0xE03A);
    LspSessionEnd(s);
}

// ---- closer ----

bool gotClose;

LRESULT CALLBACK closeProbe(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CLOSE) {
        gotClose = true;
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

TEST(OpmTerminate, ClosesTheFirstWindowOfTheClass)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = closeProbe;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OrinOpmCloseProbe";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND w = CreateWindowA(wc.lpszClassName, "probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                           nullptr, wc.hInstance, nullptr);
    ASSERT_NE(w, nullptr);
    gotClose = false;
    EXPECT_EQ(OpmTerminateProgram("OrinOpmCloseProbe"), 0);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    EXPECT_TRUE(gotClose);
    DestroyWindow(w);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
    EXPECT_EQ(OpmTerminateProgram("OrinOpmNoSuchClass"), 0xFFFF);
    EXPECT_EQ(OpmTerminateProgram(nullptr), 0xFFFF);
}

// ---- URL handler fallback ----

TEST(OpmUrl, HandlerCommandIsCutAtThePlaceholder)
{
    const char *clsKey = ".htm";
    const char *cmdKey = "OrinTestHtm\\shell\\open\\command";
    char saved[MAX_PATH] = "";
    LONG savedLen = sizeof saved;
    bool hadClass = RegQueryValueA(HKEY_CLASSES_ROOT, clsKey, saved, &savedLen) == ERROR_SUCCESS;

    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, clsKey, REG_SZ, "OrinTestHtm", 11), ERROR_SUCCESS);
    const char quoted[] = "\"C:\\b r\\browse.exe\" -new \"%1\" -x";
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, cmdKey, REG_SZ, quoted, sizeof quoted - 1), ERROR_SUCCESS);
    char out[512];
    EXPECT_EQ(opmUrlHandlerCommand("http://a/b", out, sizeof out), 0);
    EXPECT_STREQ(out, "\"C:\\b r\\browse.exe\" -new http://a/b");

    const char plain[] = "C:\\view.exe %1";
    RegSetValueA(HKEY_CLASSES_ROOT, cmdKey, REG_SZ, plain, sizeof plain - 1);
    EXPECT_EQ(opmUrlHandlerCommand("x.htm", out, sizeof out), 0);
    EXPECT_STREQ(out, "C:\\view.exe x.htm");
    EXPECT_EQ(opmUrlHandlerCommand("x.htm", out, 5), ORIN_ERR_BUFFER_TOO_SMALL);

    RegDeleteKeyA(HKEY_CLASSES_ROOT, cmdKey);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "OrinTestHtm\\shell\\open");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "OrinTestHtm\\shell");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "OrinTestHtm");
    if (hadClass)
        RegSetValueA(HKEY_CLASSES_ROOT, clsKey, REG_SZ, saved, (DWORD)strlen(saved));
    else
        RegDeleteKeyA(HKEY_CLASSES_ROOT, clsKey);
}

} // namespace
