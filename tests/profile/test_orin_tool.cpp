// The orin command-line tool on real profile files: exit codes, messages
// naming the error code, and an export/import round trip that keeps every
// value, including ones with escapes and binary data.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include "prf.h"
#include "prf100file.h"
#include "testutil.h"

namespace {

// Runs a command line; returns the exit status and fills `out` with what
// it printed (stdout and stderr).
int run(const std::string &cmd, std::string *out = nullptr)
{
    testutil::CommandResult r = testutil::runCommand(cmd);
    if (out)
        *out = r.out;
    return r.status;
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

// An ordinary INI file (CRLF lines, Windows paths, blanks, '=' and ';'
// inside values, empty values, cp1252 letters, sections in no sorted
// order) goes in and comes out byte for byte, and the system's own INI
// reader finds the same values in the exported file as in the original.
TEST(OrinTool, OrdinaryIniFilesPassThroughLiterally)
{
    testutil::ScratchFile prf("ini_round.prf"), in("ini_in.ini"), out("ini_out.ini");
    const std::string paths =
        "[Paths]\r\n"
        "path=C:\\orin\\res\\new\r\n"
        "share=\\\\server\\vol\\tab\r\n"
        "empty=\r\n"
        "\r\n";
    const std::string text =
        "[Text]\r\n"
        "words=two  blanks inside\r\n"
        "formula=a=b; not a comment\r\n"
        "name=Caf\xE9 \xC4rger \xDF\r\n"
        "\r\n";
    const std::string more =
        "[zeta]\r\n"
        "last=1\r\n"
        "\r\n"
        "[Alpha]\r\n"
        "first=C:\\Program Files\\Orin\\orin.dll\r\n"
        "\r\n";
    testutil::writeFile(in.name, text + more + paths);
    ASSERT_EQ(run("orin.exe prf import ini_round.prf < ini_in.ini"), 0);
    ASSERT_EQ(run("orin.exe prf export ini_round.prf > ini_out.ini"), 0);
    EXPECT_EQ(testutil::readFile(out.name), text + more + paths);

    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, "ini_round.prf", PRF_OPEN_READONLY), 0);
    char buf[256];
    ULONG size = sizeof buf;
    ASSERT_EQ(PrfQueryProfileData(h, "Paths", "path", buf, &size), 0);
    EXPECT_EQ(std::string(buf, size), "C:\\orin\\res\\new");     // backslashes are not escapes
    PrfCloseProfile(h);

    const char *keys[][2] = {{"Paths", "path"}, {"Paths", "share"}, {"Paths", "empty"},
                             {"Text", "words"}, {"Text", "formula"}, {"Text", "name"},
                             {"zeta", "last"}, {"Alpha", "first"}};
    for (const auto &k : keys) {
        char original[256], exported[256];
        GetPrivateProfileStringA(k[0], k[1], "<none>", original, sizeof original, ".\\ini_in.ini");
        GetPrivateProfileStringA(k[0], k[1], "<none>", exported, sizeof exported, ".\\ini_out.ini");
        EXPECT_STREQ(exported, original) << k[1];
        EXPECT_STRNE(exported, "<none>") << k[1];
    }
}

// Values with blanks at their ends or in quotes are exported in quotes, so
// the system's reader gets them whole; values INI text cannot hold go out
// behind ";orin:hex", which that reader passes over as a comment.
TEST(OrinTool, ValuesBeyondIniTextKeepTheirBytes)
{
    testutil::ScratchFile prf("ini_odd.prf"), out("ini_odd.ini");
    const std::string spaced = "  blanks at both ends ", quoted = "\"quoted\"";
    const std::string lines("one\r\ntwo\0three", 14);
    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, "ini_odd.prf", 0), 0);
    ASSERT_EQ(PrfWriteProfileData(h, "S", "spaced", spaced.data(), (ULONG)spaced.size()), 0);
    ASSERT_EQ(PrfWriteProfileData(h, "S", "quoted", quoted.data(), (ULONG)quoted.size()), 0);
    ASSERT_EQ(PrfWriteProfileData(h, "S", "lines", lines.data(), (ULONG)lines.size()), 0);
    PrfCloseProfile(h);
    ASSERT_EQ(run("orin.exe prf export ini_odd.prf > ini_odd.ini"), 0);
    std::string text = testutil::readFile(out.name);
    EXPECT_NE(text.find(";orin:hex\r\n6c696e6573=6f6e650d0a74776f00746872656"), std::string::npos)
        << text;

    char got[128];
    GetPrivateProfileStringA("S", "spaced", "", got, sizeof got, ".\\ini_odd.ini");
    EXPECT_EQ(std::string(got), spaced);
    GetPrivateProfileStringA("S", "quoted", "", got, sizeof got, ".\\ini_odd.ini");
    EXPECT_EQ(std::string(got), quoted);
    GetPrivateProfileStringA("S", "lines", "<none>", got, sizeof got, ".\\ini_odd.ini");
    EXPECT_STREQ(got, "<none>");

    testutil::ScratchFile back("ini_odd_back.prf");
    ASSERT_EQ(run("orin.exe prf import ini_odd_back.prf < ini_odd.ini"), 0);
    ASSERT_EQ(PrfOpenProfile(NULL, &h, "ini_odd_back.prf", PRF_OPEN_READONLY), 0);
    for (const auto &[key, value] : {std::pair{"spaced", spaced}, std::pair{"quoted", quoted},
                                     std::pair{"lines", lines}}) {
        ULONG size = sizeof got;
        EXPECT_EQ(PrfQueryProfileData(h, "S", key, got, &size), 0) << key;
        EXPECT_EQ(std::string(got, size), value) << key;
    }
    PrfCloseProfile(h);

    testutil::writeFile("ini_bad.ini", "[S]\r\n;orin:hex\r\n6b=zz\r\n");
    std::string msg;
    EXPECT_EQ(run("orin.exe prf import ini_odd_back.prf < ini_bad.ini", &msg), 1);
    EXPECT_NE(msg.find("line 3"), std::string::npos) << msg;
    DeleteFileA("ini_bad.ini");
}

// A value longer than any command line comes from standard input or a file,
// byte for byte.
TEST(OrinTool, LongValuesFromStandardInputOrAFile)
{
    testutil::ScratchFile prf("long.prf"), value("long_value.bin");
    std::string big;
    for (int i = 0; big.size() < 40000; i++)
        big += "line " + std::to_string(i) + "\r\n\x01";
    testutil::writeFile(value.name, big);
    ASSERT_EQ(run("orin.exe prf set long.prf S fromstdin - < long_value.bin"), 0);
    ASSERT_EQ(run("orin.exe prf set long.prf S fromfile @long_value.bin"), 0);
    std::string msg;
    EXPECT_EQ(run("orin.exe prf set long.prf S missing @no_such_file.bin", &msg), 1);
    EXPECT_NE(msg.find("no_such_file.bin"), std::string::npos) << msg;

    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, "long.prf", PRF_OPEN_READONLY), 0);
    for (const char *key : {"fromstdin", "fromfile"}) {
        std::string got(big.size() + 16, '\0');
        ULONG size = (ULONG)got.size();
        EXPECT_EQ(PrfQueryProfileData(h, "S", key, got.data(), &size), 0) << key;
        got.resize(size);
        EXPECT_EQ(got, big) << key;
    }
    ULONG size = 0;
    EXPECT_NE(PrfQueryProfileSize(h, "S", "missing", &size), 0);
    PrfCloseProfile(h);
}

// gzip and gunzip: a round trip through FILE.gz, and the exit status and
// message for a missing file, damaged data and wrong command lines.
TEST(OrinTool, GzipAndGunzip)
{
    testutil::ScratchFile plain("tool_zip.txt"), packed("tool_zip.txt.gz"), bad("tool_bad.gz");
    std::string text;
    for (int i = 0; i < 2000; i++)
        text += "row " + std::to_string(i % 37) + "\n";
    ASSERT_TRUE(testutil::writeFile(plain.name, text));
    ASSERT_EQ(run("orin.exe gzip tool_zip.txt"), 0);
    std::string gz = testutil::readFile(packed.name);
    ASSERT_GT(gz.size(), 18u);
    EXPECT_EQ(gz.substr(0, 2), "\x1f\x8b");
    EXPECT_LT(gz.size(), text.size() / 4);
    DeleteFileA(plain.name.c_str());
    ASSERT_EQ(run("orin.exe gunzip tool_zip.txt.gz"), 0);
    EXPECT_EQ(testutil::readFile(plain.name), text);

    std::string msg;
    EXPECT_EQ(run("orin.exe gzip no_such_file.txt", &msg), 1);
    EXPECT_NE(msg.find("orin: no_such_file.txt: error 2 (file not found)"), std::string::npos) << msg;
    ASSERT_TRUE(testutil::writeFile(bad.name, "not compressed"));
    EXPECT_EQ(run("orin.exe gunzip tool_bad.gz", &msg), 1);
    EXPECT_NE(msg.find("error 65535"), std::string::npos) << msg;
    EXPECT_FALSE(testutil::fileExists("tool_bad"));           // no half-written file
    EXPECT_EQ(run("orin.exe gunzip tool_zip.txt", &msg), 2);   // not a .gz name
    EXPECT_EQ(run("orin.exe gzip", &msg), 2);
    EXPECT_EQ(run("orin.exe gzip a b", &msg), 2);
    EXPECT_EQ(run("orin.exe --help", &msg), 0);
    EXPECT_NE(msg.find("gunzip"), std::string::npos);
}

} // namespace

namespace {

// Check, pack and repair on a profile file by name: messages, exit
// statuses, the progress line, and the files left beside the profile.
TEST(OrinTool, CheckPackAndRepair)
{
    testutil::ScratchFile prf("maint.prf"), bak("maint.BAK");
    std::string out;
    {
        HPRF h = nullptr;
        ASSERT_EQ(PrfOpenProfile(NULL, &h, "maint.prf", 0), 0);
        for (int i = 0; i < 30; i++)
            ASSERT_EQ(PrfWriteProfileString(h, "Sec", ("k" + std::to_string(i)).c_str(), "some value"), 0);
        PrfCloseProfile(h);
    }
    EXPECT_EQ(run("orin.exe prf check maint.prf", &out), 0);
    EXPECT_NE(out.find("no damage"), std::string::npos) << out;

    // Spoil the header of the last value piece: check names the checksum.
    std::string bytes = testutil::readFile(prf.name);
    size_t piece = bytes.rfind("@Val");
    ASSERT_NE(piece, std::string::npos);
    bytes[piece + 12] ^= 1;
    testutil::writeFile(prf.name, bytes);
    EXPECT_EQ(run("orin.exe prf check maint.prf", &out), 1);
    EXPECT_NE(out.find("error 57497"), std::string::npos) << out;

    EXPECT_EQ(run("orin.exe prf repair maint.prf", &out), 0);
    EXPECT_NE(out.find("scanning 100%"), std::string::npos) << out;
    EXPECT_NE(out.find("rebuilding 100%"), std::string::npos) << out;
    EXPECT_EQ(testutil::readFile(bak.name), bytes);
    EXPECT_EQ(run("orin.exe prf check maint.prf", &out), 0);
    EXPECT_EQ(run("orin.exe prf keys maint.prf Sec", &out), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 29) << out;

    DeleteFileA(bak.name.c_str());
    std::string repaired = testutil::readFile(prf.name);
    EXPECT_EQ(run("orin.exe prf pack maint.prf --backup", &out), 0);
    EXPECT_NE(out.find("packing 100%"), std::string::npos) << out;
    EXPECT_EQ(testutil::readFile(bak.name), repaired);
    EXPECT_EQ(run("orin.exe prf get maint.prf Sec k7", &out), 0);
    EXPECT_EQ(out, "some value\r\n");

    EXPECT_EQ(run("orin.exe prf pack maint.prf --keep", &out), 2);
    EXPECT_EQ(run("orin.exe prf repair maint.prf extra", &out), 2);
    EXPECT_EQ(run("orin.exe prf pack missing.prf", &out), 1);
    EXPECT_NE(out.find("error 2 "), std::string::npos) << out;
    testutil::writeFile(prf.name, std::string(5000, 'x'));
    EXPECT_EQ(run("orin.exe prf repair maint.prf", &out), 1);
    EXPECT_NE(out.find("error 65535"), std::string::npos) << out;
    EXPECT_EQ(testutil::readFile(prf.name), std::string(5000, 'x'));
}

}  // namespace

namespace {

// A first-format profile: refused by the other commands with a hint, and
// converted in place with the old file kept as BAK.
TEST(OrinTool, ConvertAFirstFormatProfile)
{
    testutil::ScratchFile prf("first.prf"), bak("first.BAK");
    using prf100file::Key;
    prf100file::Bytes bytes = prf100file::build(
        {prf100file::Section{"Sec", {Key{"k1", "one"}, Key{"k2", "two"}}}, prf100file::Section{"Bare", {}}});
    std::string original(bytes.begin(), bytes.end());
    ASSERT_TRUE(testutil::writeFile(prf.name, original));
    std::string out;
    EXPECT_EQ(run("orin.exe --help", &out), 0);
    EXPECT_NE(out.find("convert FILE"), std::string::npos) << out;
    EXPECT_EQ(run("orin.exe prf get first.prf Sec k1", &out), 1);
    EXPECT_NE(out.find("error 57496"), std::string::npos) << out;
    EXPECT_NE(out.find("orin prf convert"), std::string::npos) << out;
    EXPECT_EQ(run("orin.exe prf convert first.prf extra", &out), 2);
    EXPECT_EQ(testutil::readFile(prf.name), original);

    EXPECT_EQ(run("orin.exe prf convert first.prf", &out), 0);
    EXPECT_NE(out.find("converted"), std::string::npos) << out;
    EXPECT_EQ(testutil::readFile(bak.name), original);
    EXPECT_EQ(run("orin.exe prf get first.prf Sec k2", &out), 0);
    EXPECT_EQ(out, "two\r\n");
    EXPECT_EQ(run("orin.exe prf sections first.prf", &out), 0);
    EXPECT_EQ(out, "Sec\r\n");

    // Converted already: named as what it is not, and left alone.
    std::string converted = testutil::readFile(prf.name);
    EXPECT_EQ(run("orin.exe prf convert first.prf", &out), 1);
    EXPECT_NE(out.find("error 57494 (not a first-format profile)"), std::string::npos) << out;
    EXPECT_EQ(testutil::readFile(prf.name), converted);
    EXPECT_EQ(run("orin.exe prf convert missing.prf", &out), 1);
    EXPECT_NE(out.find("error 2 "), std::string::npos) << out;
}

}  // namespace

namespace {

// The registry and INI files through the same commands: an INI file goes
// into the registry and comes out again, and the system's readers see it.
TEST(OrinTool, RegistryAndIniStores)
{
    testutil::ScratchFile in("stores_in.ini"), out("stores_out.ini"), ini("stores_target.ini");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Orin\\OrinToolTest");
    const std::string text =
        "[Paths]\r\n"
        "root=C:\\orin\\res\r\n"
        "\r\n"
        "[View]\r\n"
        "zoom=120\r\n"
        "\r\n";
    ASSERT_TRUE(testutil::writeFile(in.name, text));
    std::string got;
    ASSERT_EQ(run("orin.exe prf import reg:OrinToolTest < stores_in.ini", &got), 0) << got;
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Orin\\OrinToolTest\\Paths", 0, KEY_READ, &k),
              ERROR_SUCCESS);
    char value[64];
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(k, "root", NULL, NULL, (BYTE *)value, &size), ERROR_SUCCESS);
    EXPECT_STREQ(value, "C:\\orin\\res");
    RegCloseKey(k);
    ASSERT_EQ(run("orin.exe prf export reg:OrinToolTest > stores_out.ini"), 0);
    std::string exported = testutil::readFile(out.name);
    EXPECT_NE(exported.find("[Paths]\r\n"), std::string::npos) << exported;
    EXPECT_NE(exported.find("root=C:\\orin\\res\r\n"), std::string::npos) << exported;
    EXPECT_NE(exported.find("zoom=120\r\n"), std::string::npos) << exported;

    ASSERT_EQ(run("orin.exe prf import ini:stores_target.ini < stores_in.ini", &got), 0) << got;
    GetPrivateProfileStringA("View", "zoom", "", value, sizeof value, ".\\stores_target.ini");
    EXPECT_STREQ(value, "120");
    EXPECT_EQ(run("orin.exe prf get ini:stores_target.ini Paths root", &got), 0);
    EXPECT_EQ(got, "C:\\orin\\res\r\n");
    EXPECT_EQ(run("orin.exe prf keys ini:stores_target.ini View", &got), 0);
    EXPECT_EQ(got, "zoom\r\n");
    EXPECT_EQ(run("orin.exe prf sections ini:stores_target.ini", &got), 1);
    EXPECT_EQ(run("orin.exe prf get reg: a b", &got), 1);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Orin\\OrinToolTest");
}

}  // namespace
