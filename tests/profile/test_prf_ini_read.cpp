// Reading INI files directly: finding sections and keys the way the
// readers it stands in for did, including their quirks (a key found past
// the next section line; a key list ending at the first blank line).
#include <gtest/gtest.h>
#include <string>
#include "prf.h"
#include "testutil.h"

namespace {

const char *const kText =
    "; settings\r\n"
    "[Other]\r\n"
    "Name=wrong section\r\n"
    "\r\n"
    "[Main]\r\n"
    "  Name   =   Orin Viewer   \r\n"
    "; a comment between keys\r\n"
    "Two   Words = yes\r\n"
    "Path=C:\\orin\\res;C:\\more\r\n"
    "Empty=\r\n"
    "\r\n"
    "After=blank line\r\n"
    "[Later]\r\n"
    "Deep=found past the next section\r\n";

struct IniFile {
    testutil::ScratchFile file{"ini_read.ini"};
    IniFile() { EXPECT_TRUE(testutil::writeFile(file.name, kText)); }
    const char *name() const { return file.name.c_str(); }
};

std::string query(const IniFile &f, const char *section, const char *key, USHORT *rc,
                  ULONG size = 256)
{
    char buf[256] = "?";
    *rc = PrfIniQueryKey(nullptr, f.name(), section, key, buf, size);
    return buf;
}

TEST(PrfIniQueryKey, FindsKeysIgnoringCaseAndBlanks)
{
    IniFile f;
    USHORT rc;
    EXPECT_EQ(query(f, "main", "NAME", &rc), "Orin Viewer");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(query(f, "MAIN", "two   WORDS", &rc), "yes");
    EXPECT_EQ(query(f, "Main", "path", &rc), "C:\\orin\\res;C:\\more");
    EXPECT_EQ(query(f, "Main", "Empty", &rc), "");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(query(f, "Other", "name", &rc), "wrong section");
    // The search goes on past the next section line.
    EXPECT_EQ(query(f, "Main", "Deep", &rc), "found past the next section");
    EXPECT_EQ(rc, 0);
    // Only whole key names count.
    query(f, "Main", "Nam", &rc);
    EXPECT_EQ(rc, ORIN_ERR_NO_KEY);
}

TEST(PrfIniQueryKey, CutsToTheBufferAndAnswers211)
{
    IniFile f;
    USHORT rc;
    EXPECT_EQ(query(f, "Main", "Name", &rc, 5), "Orin");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(query(f, "Main", "Name", &rc, 6), "Orin");    // "Orin " right-trimmed
    query(f, "Main", "Missing", &rc);
    EXPECT_EQ(rc, ORIN_ERR_NO_KEY);
    query(f, "Nowhere", "Name", &rc);
    EXPECT_EQ(rc, ORIN_ERR_NO_KEY);
    query(f, "Main", nullptr, &rc);
    EXPECT_EQ(rc, ORIN_ERR_NO_KEY);
    char buf[8];
    EXPECT_EQ(PrfIniQueryKey(nullptr, "no_such_file.ini", "Main", "Name", buf, sizeof buf),
              ORIN_ERR_FILE_NOT_FOUND);
}

TEST(PrfIniEnumKeys, ListsUpToTheFirstBlankLine)
{
    IniFile f;
    char buf[256];
    USHORT size = sizeof buf;
    ASSERT_EQ(PrfIniEnumKeys(nullptr, f.name(), "main", buf, &size), 0);
    EXPECT_STREQ(buf, "Name~Two Words~Path~Empty~");
    EXPECT_EQ(size, strlen(buf) + 1);

    USHORT needed = 0;
    ASSERT_EQ(PrfIniEnumKeys(nullptr, f.name(), "Main", nullptr, &needed), 0);
    EXPECT_EQ(needed, strlen("Name~Two Words~Path~Empty~") + 1);

    // The first name that does not fit ends the list.
    size = 16;
    ASSERT_EQ(PrfIniEnumKeys(nullptr, f.name(), "Main", buf, &size), 0);
    EXPECT_STREQ(buf, "Name~Two Words~");
    size = 15;
    ASSERT_EQ(PrfIniEnumKeys(nullptr, f.name(), "Main", buf, &size), 0);
    EXPECT_STREQ(buf, "Name~");

    size = sizeof buf;
    EXPECT_EQ(PrfIniEnumKeys(nullptr, f.name(), "Nowhere", buf, &size), ORIN_ERR_NO_KEY);
    size = sizeof buf;
    ASSERT_EQ(PrfIniEnumKeys(nullptr, f.name(), "Later", buf, &size), 0);
    EXPECT_STREQ(buf, "Deep~");
}

TEST(PrfIniEnumKeys, LongNamesAreCut)
{
    testutil::ScratchFile file("ini_long.ini");
    std::string name(100, 'k');
    ASSERT_TRUE(testutil::writeFile(file.name, "[S]\r\n" + name + "=v\r\nshort=1\r\n"));
    char buf[256];
    USHORT size = sizeof buf;
    ASSERT_EQ(PrfIniEnumKeys(nullptr, file.name.c_str(), "S", buf, &size), 0);
    EXPECT_EQ(std::string(buf), std::string(79, 'k') + "~short~");
}

}  // namespace
