// The profile calls through orin.dll on the in-memory back-end: names,
// lists, buffers that are too small, strings with defaults, numbers, the
// OEM mode, key spellings and handle reference counts.
#include <gtest/gtest.h>
#include <string>
#include "prftest.h"
#include "knl.h"

using namespace prftest;

namespace {

// The application's start-up: code-page and DBCS tables.
struct CodePages : ::testing::Environment {
    void SetUp() override
    {
        KnlInitCP();
        KnlInitDBCSEv();
    }
};
const auto *codePages = ::testing::AddGlobalTestEnvironment(new CodePages);

TEST(PrfNames, AreTrimmedAndChecked)
{
    MemProfile p("names.prf");
    ASSERT_EQ(PrfWriteProfileString(p.h, "  sec ", " key  ", "v"), 0);
    EXPECT_EQ(p.get("sec", "key"), "v");
    EXPECT_EQ(p.list(), "sec~");
    EXPECT_EQ(PrfWriteProfileString(p.h, "sec", "a~b", "v"), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(PrfWriteProfileString(p.h, "s~", "k", "v"), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(PrfWriteProfileString(p.h, "   ", "k", "v"), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(PrfWriteProfileString(p.h, "sec", "", "v"), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(PrfWriteProfileString(p.h, NULL, "k", "v"), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(p.list(), "sec~");
    EXPECT_EQ(p.list("sec"), "key~");
    // Names longer than the handle's first buffer.
    std::string longSec(700, 'S'), longKey(900, 'K');
    ASSERT_EQ(PrfWriteProfileString(p.h, longSec.c_str(), longKey.c_str(), "long"), 0);
    EXPECT_EQ(p.get(longSec.c_str(), longKey.c_str()), "long");
}

TEST(PrfNames, DbcsTrailByteIsNoSeparator)
{
    MemProfile p("dbcs.prf");
    const char name[] = "\x81\x7E";
    USHORT rc = PrfWriteProfileString(p.h, "s", name, "v");
    if (GetACP() == 932) {
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(p.get("s", name), "v");
    } else if (GetACP() == 1252) {
        EXPECT_EQ(rc, ORIN_ERR_INVALID_NAME);
    }
}

TEST(PrfHandles, BadHandlesGiveInvalidHandle)
{
    char buf[8];
    ULONG size = 8;
    EXPECT_EQ(PrfWriteProfileString(NULL, "s", "k", "v"), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(PrfQueryProfileData(NULL, "s", "k", buf, &size), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(PrfLockSection(NULL, "s", TRUE, TRUE), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(PrfCloseProfile(NULL), 0);
    EXPECT_EQ(PrfQueryProfileString(NULL, "s", "k", "dflt", buf, sizeof buf),
              ORIN_ERR_INVALID_HANDLE);
    EXPECT_STREQ(buf, "");
}

TEST(PrfHandles, ReferenceCountKeepsTheProfileOpen)
{
    MemProfile p("ref.prf");
    EXPECT_EQ(PrfUtlQueryHandlerLockCount(p.h), 1);
    EXPECT_EQ(PrfLockHandler(p.h, TRUE), 2);
    EXPECT_EQ(PrfCloseProfile(p.h), 0);
    EXPECT_EQ(PrfUtlQueryHandlerLockCount(p.h), 1);
    EXPECT_EQ(PrfWriteProfileString(p.h, "s", "k", "still open"), 0);
    EXPECT_EQ(PrfLockHandler(p.h, FALSE), 0);                // closes
    p.h = nullptr;
    ASSERT_EQ(p.open(), 0);
    EXPECT_EQ(p.get("s", "k"), "still open");
}

TEST(PrfLists, NamesEachFollowedByTilde)
{
    MemProfile p("lists.prf");
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "one", "1"), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "two", "2"), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "three", "3"), 0);
    EXPECT_EQ(p.list("s"), "one~two~three~");
    ULONG size = 0;
    ASSERT_EQ(PrfQueryProfileSize(p.h, "s", NULL, &size), 0);
    EXPECT_EQ(size, 15u);                                        // 14 + 1
    ASSERT_EQ(PrfQueryProfileSize(p.h, NULL, NULL, &size), 0);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(PrfQueryProfileSize(p.h, "none", NULL, &size), ORIN_ERR_NO_KEY);
    // A buffer that holds only the first names.
    char buf[10];
    size = sizeof buf;
    EXPECT_EQ(PrfQueryProfileData(p.h, "s", NULL, buf, &size), ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::string(buf, size), "one~two~");
    size = 14;
    char exact[14];
    EXPECT_EQ(PrfQueryProfileData(p.h, "s", NULL, exact, &size), 0);
    EXPECT_EQ(std::string(exact, size), "one~two~three~");
}

TEST(PrfQueries, BufferTooSmallFillsWhatFits)
{
    MemProfile p("small.prf");
    ASSERT_EQ(PrfWriteProfileData(p.h, "s", "k", "0123456789", 10), 0);
    ULONG size = 0;
    ASSERT_EQ(PrfQueryProfileSize(p.h, "s", "k", &size), 0);
    EXPECT_EQ(size, 11u);
    char buf[16] = {};
    size = 4;
    EXPECT_EQ(PrfQueryProfileData(p.h, "s", "k", buf, &size), ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::string(buf, size), "0123");
    size = 10;
    EXPECT_EQ(PrfQueryProfileData(p.h, "s", "k", buf, &size), 0);
    EXPECT_EQ(size, 10u);
    size = 16;
    EXPECT_EQ(PrfQueryProfileData(p.h, "s", "missing", buf, &size), ORIN_ERR_NO_KEY);
    EXPECT_EQ(size, 0u);
    char str[6];
    EXPECT_EQ(PrfQueryProfileString(p.h, "s", "k", NULL, str, sizeof str),
              ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_STREQ(str, "01234");
}

TEST(PrfQueries, StringDefaultsAreCutToTheBuffer)
{
    MemProfile p("dflt.prf");
    char buf[3] = { 'x', 'x', 'x' };
    EXPECT_EQ(PrfQueryProfileString(p.h, "s", "k", "none", buf, sizeof buf), ORIN_ERR_NO_KEY);
    EXPECT_STREQ(buf, "no");
    char big[16];
    EXPECT_EQ(PrfQueryProfileString(p.h, "s", "k", NULL, big, sizeof big), ORIN_ERR_NO_KEY);
    EXPECT_STREQ(big, "");
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "empty", ""), 0);
    EXPECT_EQ(PrfQueryProfileString(p.h, "s", "empty", "dflt", big, sizeof big), 0);
    EXPECT_STREQ(big, "");
    EXPECT_EQ(PrfQueryProfileString(p.h, "s", "k", "d", big, 0), ORIN_ERR_INVALID_PARAM);
}

TEST(PrfQueries, NumbersAreDecimalText)
{
    MemProfile p("num.prf");
    ASSERT_EQ(PrfWriteProfileShort(p.h, "n", "short", -5), 0);
    ASSERT_EQ(PrfWriteProfileUShort(p.h, "n", "ushort", 65531), 0);
    ASSERT_EQ(PrfWriteProfileLong(p.h, "n", "long", -2000000000L), 0);
    ASSERT_EQ(PrfWriteProfileULong(p.h, "n", "ulong", 4000000000UL), 0);
    EXPECT_EQ(p.get("n", "short"), "-5");
    EXPECT_EQ(p.get("n", "ushort"), "65531");
    SHORT s = 0;
    USHORT us = 0;
    LONG l = 0;
    ULONG ul = 0;
    EXPECT_EQ(PrfQueryProfileShort(p.h, "n", "short", &s), 0);
    EXPECT_EQ(s, -5);
    EXPECT_EQ(PrfQueryProfileUShort(p.h, "n", "ushort", &us), 0);
    EXPECT_EQ(us, 65531);
    EXPECT_EQ(PrfQueryProfileLong(p.h, "n", "long", &l), 0);
    EXPECT_EQ(l, -2000000000L);
    EXPECT_EQ(PrfQueryProfileULong(p.h, "n", "ulong", &ul), 0);
    EXPECT_EQ(ul, 4000000000UL);
    // Only the first 19 characters of a longer value count.
    ASSERT_EQ(PrfWriteProfileString(p.h, "n", "digits", "000000000000000001234"), 0);
    l = 7;
    EXPECT_EQ(PrfQueryProfileLong(p.h, "n", "digits", &l), 0);
    EXPECT_EQ(l, 12);
    l = 7;
    EXPECT_EQ(PrfQueryProfileLong(p.h, "n", "missing", &l), ORIN_ERR_NO_KEY);
    EXPECT_EQ(l, 7);
}

TEST(PrfOem, ValuesAndNamesAreStoredInTheOemCodePage)
{
    MemProfile p("oem.prf");
    if (GetACP() != 1252 || GetOEMCP() != 437)
        GTEST_SKIP() << "expectations for code pages 1252 and 437 only";
    const char ansi[] = "caf\xE9 \xFC";
    const char oem[] = "caf\x82 \x81";
    EXPECT_EQ(PrfSetOemMode(p.h, PRF_OEM_VALUES | PRF_OEM_KEYS | PRF_OEM_SECTIONS), 0);
    EXPECT_EQ(PrfGetOemMode(p.h), PRF_OEM_VALUES | PRF_OEM_KEYS | PRF_OEM_SECTIONS);
    ASSERT_EQ(PrfWriteProfileString(p.h, ansi, ansi, ansi), 0);
    ASSERT_EQ(PrfWriteProfileData(p.h, ansi, "bin", ansi, sizeof ansi - 1), 0);
    char buf[32];
    EXPECT_EQ(PrfQueryProfileString(p.h, ansi, ansi, NULL, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, ansi);
    EXPECT_EQ(p.list(), std::string(ansi) + "~");
    EXPECT_EQ(p.list(ansi), std::string(ansi) + "~bin~");
    // Without the mode the stored forms show.
    EXPECT_EQ(PrfSetOemMode(p.h, 0), PRF_OEM_VALUES | PRF_OEM_KEYS | PRF_OEM_SECTIONS);
    EXPECT_EQ(p.list(), std::string(oem) + "~");
    EXPECT_EQ(p.get(oem, oem), oem);
    EXPECT_EQ(p.get(oem, "bin"), ansi);                        // binary data unchanged
}

TEST(PrfKeys, SpellingFoundIgnoringCase)
{
    MemProfile p("spell.prf");
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "FileName", "v"), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "Other", "v"), 0);
    const char *exact = "FileName";
    EXPECT_EQ(PrfQueryProfileKey(p.h, "s", exact, FALSE), exact);
    const char *found = PrfQueryProfileKey(p.h, "s", "filename", FALSE);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found, "FileName");
    EXPECT_EQ(PrfQueryProfileKey(p.h, "s", "filename", TRUE), nullptr);
    EXPECT_EQ(PrfQueryProfileKey(p.h, "s", "nothing", FALSE), nullptr);
    EXPECT_EQ(PrfQueryProfileKey(p.h, "s", "a~b", FALSE), nullptr);
    EXPECT_EQ(PrfQueryProfileKey(p.h, "s", "", FALSE), nullptr);
}

} // namespace

namespace {

TEST(PrfFieldInfo, StoredAsTextAndReadBack)
{
    MemProfile p("fld.prf");
    PRFFLDINFO in = {};
    in.type = 'F';
    in.updated = 1;
    in.compressed = 0;
    in.attributes = 32;
    in.created = { 14, 7, 9, 0, 5, 3, 2024, -1, 0, 0 };
    in.lastUpdate = { 23, 59, 58, 0, 31, 12, 1999, -1, 0, 0 };
    ASSERT_EQ(PrfWriteProfileFldInfo(p.h, "Info", "name", &in), 0);
    EXPECT_EQ(p.get("Info", "name"), "F;0;1;32;0;20240305140709;19991231235958;;");
    PRFFLDINFO out;
    ASSERT_EQ(PrfQueryProfileFldInfo(p.h, "Info", "name", &out), 0);
    EXPECT_EQ(out.type, 'F');
    EXPECT_EQ(out.updated, 1);
    EXPECT_EQ(out.attributes, 32);
    EXPECT_EQ(out.compressed, 0);
    EXPECT_EQ(out.created.year, 2024);
    EXPECT_EQ(out.created.month, 3);
    EXPECT_EQ(out.created.minutes, 7);
    EXPECT_EQ(out.lastUpdate.day, 31);
    EXPECT_EQ(out.lastUpdate.seconds, 58);
    // A missing key reads as "?", which lacks the fields; so does a short text.
    EXPECT_EQ(PrfQueryProfileFldInfo(p.h, "Info", "missing", &out), ORIN_ERR_NO_KEY);
    ASSERT_EQ(PrfWriteProfileString(p.h, "Info", "short", "F;0;1;"), 0);
    EXPECT_EQ(PrfQueryProfileFldInfo(p.h, "Info", "short", &out), ORIN_ERR_NO_KEY);
    ASSERT_EQ(PrfWriteProfileFldInfo(p.h, "Info", "name", NULL), 0);   // deletes
    EXPECT_EQ(p.get("Info", "name"), "<missing>");
    PRFFLDINFO now;
    PrfFldInfoInit(&now, 'T');
    EXPECT_EQ(now.type, 'T');
    EXPECT_EQ(now.updated, 1);
    EXPECT_GE(now.created.year, 2020);
    EXPECT_EQ(memcmp(&now.created, &now.lastUpdate, sizeof now.created), 0);
}

} // namespace
