// Names and paths through the exported interface: drive parts, split and
// join, extensions, wild cards, validity, normalisation, expansion, display
// names, the path-list search and the same-file test.  Runs in code page
// 1252 and again in 932, where a trail byte may equal '\'.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "knl.h"
#include "knlnam.h"
#include "dos.h"
#include "testutil.h"

namespace {

using testutil::ScratchFile;
using testutil::writeFile;

void *ns() { return KnlNamGetDefaultNS(); }

// The default and the code-page 932 runs of this program may run at the
// same time: each works in a directory of its own.
std::string ownDirName()
{
    return "nam_path_" + std::to_string(GetCurrentProcessId());
}

struct OwnDirectory : ::testing::Environment {
    void SetUp() override
    {
        CreateDirectoryA(ownDirName().c_str(), nullptr);
        SetCurrentDirectoryA(ownDirName().c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryA("..");
        RemoveDirectoryA(ownDirName().c_str());
    }
};
const auto *ownDirectory = ::testing::AddGlobalTestEnvironment(new OwnDirectory);

std::string fullPath(const std::string &name)
{
    char buf[MAX_PATH];
    GetFullPathNameA(name.c_str(), sizeof buf, buf, nullptr);
    return buf;
}

struct ScratchDir {
    std::string name;
    explicit ScratchDir(std::string n) : name(std::move(n)) { CreateDirectoryA(name.c_str(), nullptr); }
    ~ScratchDir() { RemoveDirectoryA(name.c_str()); }
};

TEST(KnlNamNames, DriveParts)
{
    struct { const char *name; size_t skip; } cases[] = {
        { "\\\\srv\\share\\x", 11 },      // up to the backslash after the share
        { "\\\\srv\\share", 11 },         // no backslash after it: the whole name
        { "C:\\dir\\file", 2 },
        { "c:file", 2 },
        { ":abc", 0 },                    // colon at position 0: no drive part
        { "1:abc", 0 },                   // not behind a letter
        { "VOL:dir\\x", 4 },              // network volume up to its colon
        { "dir\\file", 0 },
        { "", 0 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KnlNamSkipDriveName(c.name), c.name + c.skip);
        char buf[KNLNAM_MAXPATH];
        EXPECT_EQ(KnlNamGetDriveName(c.name, buf, sizeof buf), c.skip);
        EXPECT_EQ(std::string(buf), std::string(c.name, c.skip));
    }
    char small[4] = "zzz";
    EXPECT_EQ(KnlNamGetDriveName("\\\\srv\\share\\x", small, sizeof small), 3);
    EXPECT_STREQ(small, "\\\\s");
    EXPECT_EQ(KnlNamSkipDriveName(nullptr), nullptr);

    EXPECT_EQ(KnlNamQPathAbsolute(ns(), "\\x"), 1);
    EXPECT_EQ(KnlNamQPathAbsolute(ns(), "/x"), 1);
    EXPECT_EQ(KnlNamQPathAbsolute(ns(), "C:\\x"), 1);
    EXPECT_EQ(KnlNamQPathAbsolute(ns(), "C:/x"), 1);
    EXPECT_EQ(KnlNamQPathAbsolute(ns(), "C:x"), 0);
    EXPECT_EQ(KnlNamQPathAbsolute(ns(), "x\\y"), 0);
    EXPECT_EQ(KnlNamQPathAbsolute(ns(), nullptr), 0);
}

struct Split {
    std::string drive, dir, fname, ext;
};

Split split(const char *name)
{
    char d[KNLNAM_MAXPART], p[KNLNAM_MAXPART], f[KNLNAM_MAXPART], e[KNLNAM_MAXPART];
    EXPECT_EQ(KnlNamSplitPath(ns(), name, d, p, f, e), 0);
    return { d, p, f, e };
}

TEST(KnlNamNames, SplitPath)
{
    Split s = split("C:\\dir\\file.tar.gz");
    EXPECT_EQ(s.drive, "C:");
    EXPECT_EQ(s.dir, "\\dir\\");
    EXPECT_EQ(s.fname, "file.tar");
    EXPECT_EQ(s.ext, ".gz");

    s = split("a/b/noext");
    EXPECT_EQ(s.dir, "a/b/");
    EXPECT_EQ(s.fname, "noext");
    EXPECT_EQ(s.ext, "");

    s = split("C:\\nosuch\\x\\..");       // not an existing directory
    EXPECT_EQ(s.dir, "\\nosuch\\x\\..\\");
    EXPECT_EQ(s.fname, "");
    s = split("x\\.");
    EXPECT_EQ(s.dir, "x\\");
    EXPECT_EQ(s.fname, "");

    s = split("\\\\srv\\share\\d\\f.txt");
    EXPECT_EQ(s.drive, "\\\\srv\\share");
    EXPECT_EQ(s.dir, "\\d\\");
    EXPECT_EQ(s.fname, "f");

    // an existing directory is all directory
    ScratchDir d("nam_split.dir");
    std::string full = fullPath(d.name);
    s = split(full.c_str());
    EXPECT_EQ(s.drive, full.substr(0, 2));
    EXPECT_EQ(s.dir, full.substr(2));
    EXPECT_EQ(s.fname, "");
    EXPECT_EQ(s.ext, "");

    // outputs are optional; a null name is refused
    EXPECT_EQ(KnlNamSplitPath(ns(), "C:\\a\\b.c", nullptr, nullptr, nullptr, nullptr), 0);
    char f[KNLNAM_MAXPART] = "junk";
    EXPECT_EQ(KnlNamSplitPath(ns(), nullptr, nullptr, nullptr, f, nullptr), ORIN_ERR_INVALID_PARAM);
    EXPECT_STREQ(f, "");
    // long parts are cut at 255 bytes
    std::string longName = std::string(257, 'f') + ".e";
    s = split(longName.c_str());
    EXPECT_EQ(s.fname.size(), 255u);
}

// A name space the library did not hand out (a made-up or stale pointer)
// is not read: the calls follow the Win32 rules, as for the library's own.
TEST(KnlNamNames, MadeUpNameSpacesAreNotRead)
{
    void *const bogus[] = {reinterpret_cast<void *>(0x10),
                           reinterpret_cast<void *>(0x7FFF12345670)};
    for (void *space : bogus) {
        char drive[KNLNAM_MAXPART], dir[KNLNAM_MAXPART], fname[KNLNAM_MAXPART],
            ext[KNLNAM_MAXPART];
        ASSERT_EQ(KnlNamSplitPath(space, "C:\\dir/sub\\file.txt", drive, dir, fname, ext), 0);
        EXPECT_STREQ(dir, "\\dir/sub\\");
        EXPECT_STREQ(fname, "file");
        EXPECT_STREQ(KnlNamQueryExt(space, "a\\b.c\\name.ext"), ".ext");
        char name[KNLNAM_MAXPATH] = "dir.x\\name";
        EXPECT_EQ(KnlNamSetExt(space, name, "txt"), 0);
        EXPECT_STREQ(name, "dir.x\\name.txt");
    }
}

TEST(KnlNamNames, MakePath)
{
    char out[KNLNAM_MAXPATH];
    KnlNamMakePath(ns(), out, "C:", "\\dir", "file", "txt");
    EXPECT_STREQ(out, "C:\\dir\\file.txt");
    KnlNamMakePath(ns(), out, "C:", "\\dir\\", "file", ".txt");
    EXPECT_STREQ(out, "C:\\dir\\file.txt");
    KnlNamMakePath(ns(), out, nullptr, "", "file", "");
    EXPECT_STREQ(out, "file");
    KnlNamMakePath(ns(), out, "D:", nullptr, nullptr, "e");
    EXPECT_STREQ(out, "D:.e");

    KnlNamMakePathFromDF(ns(), out, "", "f.txt");
    EXPECT_STREQ(out, "f.txt");
    KnlNamMakePathFromDF(ns(), out, "C:\\d", "f.txt");
    EXPECT_STREQ(out, "C:\\d\\f.txt");
    KnlNamMakePathFromDF(ns(), out, "C:\\d\\", "f.txt");
    EXPECT_STREQ(out, "C:\\d\\f.txt");
    std::string longDir(255, 'd');
    KnlNamMakePathFromDF(ns(), out, longDir.c_str(), "0123456789");
    EXPECT_STREQ(out, "0123456789");     // 255 + 1 + 10 > 260: the file alone

    char dir[KNLNAM_MAXPATH], file[KNLNAM_MAXPATH];
    KnlNamSplitPathInDF(ns(), "C:\\a\\b\\c.txt", dir, file);
    EXPECT_STREQ(dir, "C:\\a\\b\\");
    EXPECT_STREQ(file, "c.txt");
    KnlNamSplitPathInDF(ns(), "c.txt", dir, file);
    EXPECT_STREQ(dir, "");
    EXPECT_STREQ(file, "c.txt");
    ScratchDir d("nam_df.dir");
    KnlNamSplitPathInDF(ns(), d.name.c_str(), dir, file);
    EXPECT_EQ(dir, d.name);
    EXPECT_STREQ(file, "");
    KnlNamSplitPathInDF(ns(), (d.name + "\\*.txt").c_str(), dir, file);
    EXPECT_EQ(dir, d.name + "\\");
    EXPECT_STREQ(file, "*.txt");
}

TEST(KnlNamNames, Extensions)
{
    EXPECT_STREQ(KnlNamQueryExt(ns(), "dir\\a.txt"), ".txt");
    EXPECT_EQ(KnlNamQueryExt(ns(), "dir.x\\a"), nullptr);     // point of a directory
    EXPECT_EQ(KnlNamQueryExt(ns(), "a."), nullptr);           // only a point
    EXPECT_EQ(KnlNamQueryExt(ns(), "noext"), nullptr);
    EXPECT_STREQ(KnlNamQueryExt(ns(), "a.b.c"), ".c");

    char name[KNLNAM_MAXPATH] = "dir.x\\file.old";
    EXPECT_EQ(KnlNamSetExt(ns(), name, "new"), 0);
    EXPECT_STREQ(name, "dir.x\\file.new");
    EXPECT_EQ(KnlNamSetExt(ns(), name, ".n2"), 0);
    EXPECT_STREQ(name, "dir.x\\file.n2");
    EXPECT_EQ(KnlNamSetExt(ns(), name, nullptr), 0);
    EXPECT_STREQ(name, "dir.x\\file");
    EXPECT_EQ(KnlNamSetExt(ns(), name, "e"), 0);
    EXPECT_STREQ(name, "dir.x\\file.e");
    EXPECT_EQ(KnlNamSetExt(ns(), name, ""), 0);
    EXPECT_STREQ(name, "dir.x\\file");

    EXPECT_EQ(KnlNamDefaultExt(ns(), name, "def"), 0);
    EXPECT_STREQ(name, "dir.x\\file.def");
    EXPECT_EQ(KnlNamDefaultExt(ns(), name, "other"), 0);
    EXPECT_STREQ(name, "dir.x\\file.def");

    // the name is kept within 259 bytes and unchanged when it would not fit
    std::string base(255, 'n');
    char longName[KNLNAM_MAXPATH];
    strcpy(longName, base.c_str());
    EXPECT_EQ(KnlNamSetExt(ns(), longName, "txt"), 0);         // 255 + 4 = 259 bytes
    EXPECT_EQ(strlen(longName), 259u);
    strcpy(longName, (base + "x").c_str());
    EXPECT_EQ(KnlNamSetExt(ns(), longName, "txt"), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(std::string(longName), base + "x");
    EXPECT_EQ(KnlNamSetExt(ns(), nullptr, "txt"), ORIN_ERR_INVALID_PARAM);
}

TEST(KnlNamNames, WildCards)
{
    struct { const char *name, *pattern; USHORT match; } cases[] = {
        { "abc", "a*.*", 1 },
        { "abc", "*.txt", 0 },
        { "a.doc", "*.txt", 0 },
        { "abc.txt", "a*.t?t", 1 },
        { "ABC.TXT", "abc.txt", 1 },        // case-insensitive
        { "noext", "*.*", 1 },
        { "abc", "a?c", 1 },
        { "ab", "a?c", 0 },
        { "ab", "ab?", 1 },                 // '?' at the end of the text, pattern ends
        { "abc", "ab", 0 },
        { "ab", "abc", 0 },
        { "", "", 1 },
        { "", "x", 1 },
        { "", "x*", 1 },
        { "", "xy", 0 },
        { "c:\\dir\\file.txt", "f*.txt", 1 },  // only the last component is compared
        { "c:\\dir\\file.txt", "c:\\dir\\f*", 1 },
        { "c:\\dir\\file.txt", "c:\\other\\f*", 0 },
        { "a.b.c", "*.c", 1 },
        { "a.b.c", "*.b", 0 },
    };
    for (auto &c : cases)
        EXPECT_EQ(KnlNamWildCompare(ns(), c.name, c.pattern), c.match)
            << c.name << " ~ " << c.pattern;
    EXPECT_EQ(KnlNamWildCompare(ns(), nullptr, "*"), 0);

    EXPECT_EQ(KnlNamFnameHasWildCards(ns(), "dir\\a*.txt"), 1);
    EXPECT_EQ(KnlNamFnameHasWildCards(ns(), "dir\\a?.txt"), 1);
    EXPECT_EQ(KnlNamFnameHasWildCards(ns(), "d*r\\a.txt"), 0);
    EXPECT_EQ(KnlNamFnameHasWildCards(ns(), nullptr), 0);
}

TEST(KnlNamNames, ValidCharacterTables)
{
    const BYTE *shortT = KnlNamQueryValidFileChars(FALSE);
    const BYTE *longT = KnlNamQueryValidFileChars(TRUE);
    for (char c : std::string("aZ09$#&@!%()-_{}'~^")) {
        EXPECT_TRUE(shortT[(BYTE)c]) << c;
        EXPECT_TRUE(longT[(BYTE)c]) << c;
    }
    for (char c : std::string("[]+=., `")) {
        EXPECT_FALSE(shortT[(BYTE)c]) << c;
        EXPECT_TRUE(longT[(BYTE)c]) << c;
    }
    for (char c : std::string("*?<>|\"\\/:;"))
        EXPECT_FALSE(longT[(BYTE)c]) << c;
    EXPECT_TRUE(shortT[0x80] && shortT[0xFE] && longT[0x80] && longT[0xFA]);
    EXPECT_FALSE(longT[0xFB] || longT[0xFE] || shortT[0xFF] || shortT[0x7F]);
}

TEST(KnlNamNames, ValidNamesAndPaths)
{
    // this volume has long names
    EXPECT_EQ(KnlNamIsValidName("long file name.text", FALSE), 1);
    EXPECT_EQ(KnlNamIsValidName("a*c", FALSE), 0);
    EXPECT_EQ(KnlNamIsValidName("a*c", TRUE), 1);
    EXPECT_EQ(KnlNamIsValidName("a?c", FALSE), 0);
    EXPECT_EQ(KnlNamIsValidName("", FALSE), 0);
    EXPECT_EQ(KnlNamIsValidName(nullptr, FALSE), 0);
    EXPECT_EQ(KnlNamIsValidName(std::string(260, 'a').c_str(), FALSE), 0);
    EXPECT_EQ(KnlNamIsValidName(std::string(259, 'a').c_str(), TRUE), 1);

    EXPECT_EQ(KnlNamIsValidPath("c:\\a\\b;d:\\x", FALSE), 1);
    EXPECT_EQ(KnlNamIsValidPath("c:\\a:b", FALSE), 0);         // colon past position 1
    EXPECT_EQ(KnlNamIsValidPath("c::\\a", FALSE), 0);          // second colon
    EXPECT_EQ(KnlNamIsValidPath("c:\\a\\\\b", FALSE), 0);      // doubled backslash inside
    EXPECT_EQ(KnlNamIsValidPath("\\\\srv\\share\\x", FALSE), 1);
    EXPECT_EQ(KnlNamIsValidPath("..\\.\\x", FALSE), 1);
    EXPECT_EQ(KnlNamIsValidPath("a\\*\\b", TRUE), 0);          // wild card before the end
    EXPECT_EQ(KnlNamIsValidPath("a\\b\\*.txt", TRUE), 1);
    EXPECT_EQ(KnlNamIsValidPath("a\\b\\*.txt", FALSE), 0);
    EXPECT_EQ(KnlNamIsValidPath("ok;c:\\bad:x", FALSE), 0);    // every entry counts
}

TEST(KnlNamNames, PathFilterWithAndWithoutLongNames)
{
    EXPECT_EQ(KnlNamIsValidPathFilter(FALSE, "c:\\dos\\abc.txt;readme", FALSE, nullptr), 1);
    EXPECT_EQ(KnlNamIsValidPathFilter(FALSE, "abcdefghi.txt", FALSE, nullptr), 0);   // 9 + 3
    EXPECT_EQ(KnlNamIsValidPathFilter(FALSE, "abc.text", FALSE, nullptr), 0);        // 8 + 4
    EXPECT_EQ(KnlNamIsValidPathFilter(FALSE, "a.b.c", FALSE, nullptr), 0);           // two points
    EXPECT_EQ(KnlNamIsValidPathFilter(FALSE, "a b", FALSE, nullptr), 0);             // blank
    EXPECT_EQ(KnlNamIsValidPathFilter(FALSE, "a[1]", FALSE, nullptr), 0);            // not 8.3 chars
    EXPECT_EQ(KnlNamIsValidPathFilter(TRUE, "abcdefghi.text;a b;a.b.c;a[1]", FALSE, nullptr), 1);
    EXPECT_EQ(KnlNamIsValidPathFilter(TRUE, "a<b", FALSE, nullptr), 0);
    EXPECT_EQ(KnlNamIsValidPathFilter(FALSE, "dir\\*.txt", TRUE, nullptr), 1);
    EXPECT_EQ(KnlNamIsValidPathFilter(FALSE, "d*\\x.txt", TRUE, nullptr), 0);
    EXPECT_EQ(KnlNamIsValidPathFilter(TRUE, nullptr, FALSE, nullptr), 0);
    // a caller's table decides which characters pass
    BYTE table[256] = {};
    for (char c : std::string("abc"))
        table[(BYTE)c] = 1;
    EXPECT_EQ(KnlNamIsValidPathFilter(TRUE, "cab\\abc", FALSE, table), 1);
    EXPECT_EQ(KnlNamIsValidPathFilter(TRUE, "cab\\abd", FALSE, table), 0);
}

TEST(KnlNamNames, Devices)
{
    EXPECT_EQ(KnlNamIsDevice(ns(), "CON"), 1);
    EXPECT_EQ(KnlNamIsDevice(ns(), "c:\\dir\\con.txt"), 1);
    EXPECT_EQ(KnlNamIsDevice(ns(), "prn"), 1);
    EXPECT_EQ(KnlNamIsDevice(ns(), "Aux.x"), 1);
    EXPECT_EQ(KnlNamIsDevice(ns(), "LPT"), 1);
    EXPECT_EQ(KnlNamIsDevice(ns(), "console"), 0);
    EXPECT_EQ(KnlNamIsDevice(ns(), "con\\file"), 0);
    EXPECT_EQ(KnlNamIsDevice(ns(), nullptr), 0);
}

std::string normalized(const char *in, ULONG flags = KNLNAM_NORM_NO_UNC)
{
    char buf[KNLNAM_MAXPATH];
    strcpy(buf, in);
    EXPECT_EQ(KnlNamNormalizePathEx(ns(), buf, flags), 0) << in;
    return buf;
}

TEST(KnlNamNames, Normalisation)
{
    EXPECT_EQ(normalized("c:/a//b/./c/"), "c:\\a\\b\\c");
    EXPECT_EQ(normalized("\\\\srv\\\\share//x"), "\\\\srv\\share\\x");
    EXPECT_EQ(normalized("\\\\\\srv\\x"), "\\\\srv\\x");
    EXPECT_EQ(normalized("a:b:c"), "a:bc");              // later colons go
    EXPECT_EQ(normalized("ab:c:d"), "abcd");             // no drive colon: all go
    EXPECT_EQ(normalized(".\\x\\."), "x");
    EXPECT_EQ(normalized("..\\x\\..\\y"), "..\\x\\..\\y");  // two points stay
    EXPECT_EQ(normalized("x\\.y"), "x\\.y");             // not a one-point component
    EXPECT_EQ(normalized("C:\\"), "C:\\");
    EXPECT_EQ(normalized("\\"), "\\");
    EXPECT_EQ(normalized("C:\\dir\\"), "C:\\dir");
    // without the flag a name on an unmapped drive is left as it is
    EXPECT_EQ(normalized("c:/a//b", 0), "c:\\a\\b");
    char longName[400];
    memset(longName, 'a', 300);
    longName[300] = 0;
    EXPECT_EQ(KnlNamNormalizePathEx(ns(), longName, 1), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(strlen(longName), 300u);
    EXPECT_EQ(KnlNamNormalizePathEx(ns(), nullptr, 1), ORIN_ERR_INVALID_PARAM);
}

TEST(KnlNamNames, ExpandPath)
{
    char buf[KNLNAM_MAXPATH] = "some.file  \t";
    EXPECT_EQ(KnlNamExpandPath(ns(), buf, nullptr, sizeof buf), 0);
    EXPECT_EQ(std::string(buf), fullPath("some.file"));
    char out[KNLNAM_MAXPATH];
    EXPECT_EQ(KnlNamExpandPath(ns(), (char *)"sub\\..\\x", out, sizeof out), 0);
    EXPECT_EQ(std::string(out), fullPath("x"));
    char tiny[6];
    EXPECT_EQ(KnlNamExpandPath(ns(), (char *)"x", tiny, sizeof tiny), 0);
    EXPECT_EQ(std::string(tiny), fullPath("x").substr(0, 5));
    EXPECT_EQ(KnlNamExpandPath(ns(), nullptr, out, sizeof out), ORIN_ERR_INVALID_PARAM);
}

TEST(KnlNamNames, DisplayNames)
{
    char name[KNLNAM_MAXPATH];
    strcpy(name, "c:\\dir\\verylongname.txt");
    EXPECT_EQ(KnlNamDisplayFileName(ns(), name, 40, TRUE), 0);
    EXPECT_STREQ(name, "verylongname.txt");
    strcpy(name, "c:\\dir\\verylongname.txt");
    KnlNamDisplayFileName(ns(), name, 40, FALSE);
    EXPECT_STREQ(name, "verylongname");
    strcpy(name, "c:\\dir\\verylongname.txt");
    KnlNamDisplayFileName(ns(), name, 12, TRUE);       // fits once the extension goes
    EXPECT_STREQ(name, "verylongname");
    strcpy(name, "c:\\dir\\verylongname.txt");
    KnlNamDisplayFileName(ns(), name, 8, TRUE);
    EXPECT_STREQ(name, "very...");
    strcpy(name, "c:\\dir\\verylongname.txt");
    KnlNamDisplayFileName(ns(), name, 5, FALSE);       // too short to cut
    EXPECT_STREQ(name, "verylongname");
}

TEST(KnlNamNames, SearchAlongAPathList)
{
    ScratchDir d("nam_search.dir");
    ScratchFile f(d.name + "\\target.txt");
    ScratchFile here("searchme10");
    ASSERT_TRUE(writeFile(f.name, "t"));
    ASSERT_TRUE(writeFile(here.name, "h"));
    char out[KNLNAM_MAXPATH];

    EXPECT_EQ(KnlNamSearchPath(ns(), 0, "no.such.dir;nam_search.dir", "target.txt", out,
                               sizeof out), 0);
    EXPECT_STREQ(out, "nam_search.dir\\target.txt");
    EXPECT_EQ(KnlNamSearchPath(ns(), 0, "", "searchme10", out, sizeof out), 0);
    EXPECT_STREQ(out, "searchme10");                   // an empty list is the name alone
    EXPECT_EQ(KnlNamSearchPath(ns(), 0, ";;no.such.dir;;nam_search.dir;", "target.txt", out,
                               sizeof out), 0);
    EXPECT_STREQ(out, "nam_search.dir\\target.txt");
    std::string longEntry(255, 'e');
    EXPECT_EQ(KnlNamSearchPath(ns(), 0, longEntry.c_str(), "searchme10", out, sizeof out), 0);
    EXPECT_STREQ(out, "searchme10");                   // 255 + 10 bytes: the name alone
    EXPECT_EQ(KnlNamSearchPath(ns(), 0, "nam_search.dir", "missing.txt", out, sizeof out),
              ORIN_ERR_FILE_NOT_FOUND);
    char small[10];
    EXPECT_EQ(KnlNamSearchPath(ns(), 0, "nam_search.dir", "target.txt", small, sizeof small),
              ORIN_ERR_BUFFER_TOO_SMALL);

    // flag 1: the name as given first, returned expanded
    EXPECT_EQ(KnlNamSearchPath(ns(), KNLNAM_SEARCH_CUR, "nam_search.dir", "searchme10", out,
                               sizeof out), 0);
    EXPECT_EQ(std::string(out), fullPath("searchme10"));
    // flag 2: the list is read from an environment variable
    SetEnvironmentVariableA("ORIN_TEST_SEARCH", "x;nam_search.dir");
    EXPECT_EQ(KnlNamSearchPath(ns(), KNLNAM_SEARCH_ENV, "ORIN_TEST_SEARCH", "target.txt", out,
                               sizeof out), 0);
    EXPECT_STREQ(out, "nam_search.dir\\target.txt");
    SetEnvironmentVariableA("ORIN_TEST_SEARCH", nullptr);
    EXPECT_EQ(KnlNamSearchPath(ns(), KNLNAM_SEARCH_ENV, "ORIN_TEST_SEARCH", "target.txt", out,
                               sizeof out), DOS_ERR_ENV_NOT_FOUND);
}

TEST(KnlNamNames, FullLongAndShortForms)
{
    ScratchFile f("nam long name file.text");
    ASSERT_TRUE(writeFile(f.name, "x"));
    std::string full = fullPath(f.name);
    char sysShort[MAX_PATH], out[KNLNAM_MAXPATH];
    ASSERT_NE(GetShortPathNameA(full.c_str(), sysShort, sizeof sysShort), 0u);

    EXPECT_EQ(KnlNamGetFullPathName(out, ("sub\\..\\" + f.name).c_str()), 1);
    EXPECT_EQ(std::string(out), full);
    EXPECT_EQ(KnlNamGetShortPathName(out, full.c_str()), 1);
    EXPECT_STREQ(out, sysShort);
    EXPECT_EQ(KnlNamGetLongPathName(out, sysShort), 1);
    EXPECT_EQ(std::string(out), full);
    // a missing file is copied unchanged
    EXPECT_EQ(KnlNamGetLongPathName(out, "nam_missing_file.txt"), 0);
    EXPECT_STREQ(out, "nam_missing_file.txt");
    EXPECT_EQ(KnlNamGetShortPathName(out, "nam_missing_file.txt"), 0);
    EXPECT_STREQ(out, "nam_missing_file.txt");
    EXPECT_EQ(KnlNamGetFullPathName(nullptr, "x"), 0);
}

TEST(KnlNamNames, SameFile)
{
    ScratchFile a("nam_same_a.dat"), b("nam_same_b.dat"), link("nam_same_link.dat");
    ASSERT_TRUE(writeFile(a.name, "a"));
    ASSERT_TRUE(writeFile(b.name, "b"));
    EXPECT_EQ(KnlNamIsTheSameFile(a.name.c_str(), "NAM_SAME_A.DAT"), 1);
    EXPECT_EQ(KnlNamIsTheSameFile(a.name.c_str(), fullPath(a.name).c_str()), 1);
    EXPECT_EQ(KnlNamIsTheSameFile(a.name.c_str(), ("..\\" + ownDirName() + "\\" + a.name).c_str()), 1);
    EXPECT_EQ(KnlNamIsTheSameFile(a.name.c_str(), b.name.c_str()), 0);
    EXPECT_EQ(KnlNamIsTheSameFile(a.name.c_str(), "nam_missing.dat"), 0);
    EXPECT_EQ(KnlNamIsTheSameFile("", a.name.c_str()), 0);
    EXPECT_EQ(KnlNamIsTheSameFile(nullptr, a.name.c_str()), 0);
    // a second name for the same file is found by the lock probe
    if (CreateHardLinkA(link.name.c_str(), a.name.c_str(), nullptr)) {
        EXPECT_EQ(KnlNamIsTheSameFile(a.name.c_str(), link.name.c_str()), 1);
    }
    // the probe leaves no lock behind
    HANDLE h = CreateFileA(a.name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    OVERLAPPED ov = {};
    ov.OffsetHigh = 1;
    EXPECT_TRUE(LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov));
    UnlockFileEx(h, 0, 1, 0, &ov);
    CloseHandle(h);
}

} // namespace

namespace {

// In code page 932 the character 0x95 0x5C has '\' as its trail byte; it
// must never count as a directory delimiter.
TEST(KnlNamNames, DbcsTrailBytesAreNotDelimiters)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs code page 932";
    KnlInitDBCSEv();
    const std::string hyo = "\x95\x5C";
    Split s = split(("C:\\d\\" + hyo + ".txt").c_str());
    EXPECT_EQ(s.dir, "\\d\\");
    EXPECT_EQ(s.fname, hyo);
    EXPECT_EQ(s.ext, ".txt");
    EXPECT_EQ(normalized(("a\\" + hyo + "\\\\b\\" + hyo).c_str()), "a\\" + hyo + "\\b\\" + hyo);
    EXPECT_EQ(KnlNamWildCompare(ns(), ("x\\" + hyo + ".txt").c_str(), "*.txt"), 1);
    EXPECT_EQ(KnlNamWildCompare(ns(), (hyo + "a").c_str(), hyo.c_str()), 0);
    char name[KNLNAM_MAXPATH];
    strcpy(name, (hyo + "\\" + hyo).c_str());
    EXPECT_EQ(KnlNamSetExt(ns(), name, "e"), 0);
    EXPECT_EQ(std::string(name), hyo + "\\" + hyo + ".e");
    std::string unc = "\\\\s" + hyo + "\\share\\x";
    EXPECT_STREQ(KnlNamSkipDriveName(unc.c_str()), "\\x");
}

} // namespace
