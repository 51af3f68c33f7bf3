// Code pages as the system reports them: the character table after
// KnlInitCP, OEM/ANSI translation, code-page conversion, the locale
// formats and the two-digit-year window from the registry.  This program
// also runs under ANSI code page 932.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "knl.h"
#include "dat.h"

namespace {

const char *YEARMAX_KEY = "Control Panel\\International\\Calendars\\TwoDigitYearMax";

class KnlCp : public ::testing::Test {
protected:
    static void SetUpTestSuite() { KnlInitCP(); KnlInitDBCSEv(); }
};

TEST_F(KnlCp, LowerHalfIsFixedAscii)
{
    const KNLCHARENTRY *t = KnlQueryCharTable();
    struct { int c; BYTE flags; BYTE other; } expect[] = {
        {0x00, 0x90, '?'}, {0x09, 0x98, '?'}, {0x0D, 0x98, '?'}, {0x1F, 0x90, '?'},
        {' ', 0xC8, '?'},  {'!', 0xC0, '?'},  {'0', 0xE4, '?'},  {'9', 0xE4, '?'},
        {'A', 0xE2, 'a'},  {'F', 0xE2, 'f'},  {'G', 0xC2, 'g'},  {'Z', 0xC2, 'z'},
        {'a', 0xE1, 'A'},  {'g', 0xC1, 'G'},  {'~', 0xC0, '?'},  {0x7F, 0x90, '?'},
    };
    for (auto &e : expect) {
        EXPECT_EQ(t[e.c].flags, e.flags) << "char " << e.c;
        EXPECT_EQ(t[e.c].other, e.other) << "char " << e.c;
    }
}

TEST_F(KnlCp, UpperHalfFollowsTheAnsiCodePage)
{
    const KNLCHARENTRY *t = KnlQueryCharTable();
    if (GetACP() == 1252) {
        EXPECT_EQ(t[0xE9].flags, 0x41);          // e acute
        EXPECT_EQ(t[0xE9].other, 0xC9);
        EXPECT_EQ(t[0xC9].flags, 0x42);
        EXPECT_EQ(t[0xC9].other, 0xE9);
        EXPECT_EQ(t[0xD7].flags, 0x40);          // multiplication sign
        EXPECT_EQ(t[0xD7].other, '?');
    } else if (GetACP() == 932) {
        // Half-width katakana are letters without case on a DBCS system.
        if (GetSystemMetrics(SM_DBCSENABLED)) {
            EXPECT_EQ(t[0xB1].flags & 0x03, 0x03);
            EXPECT_EQ(t[0xB1].other, 0xB1);
        }
    } else {
        GTEST_SKIP() << "no expectations for code page " << GetACP();
    }
    for (int c = 128; c < 256; c++)
        EXPECT_TRUE(t[c].flags & 0x40) << c;
}

TEST_F(KnlCp, OemTranslation)
{
    if (GetOEMCP() == 437 && GetACP() == 1252) {
        EXPECT_EQ(KnlAnsiToOemChar(0xE9), 0x82);
        EXPECT_EQ(KnlOemToAnsiChar(0x82), 0xE9);
        EXPECT_EQ(KnlOemToAnsiChar(0x182), 0xE9);   // only the low byte counts
    }
    // Round trip of a string, in place and into a buffer.
    char text[] = "Caf\xE9 au lait";
    char oem[sizeof text];
    KnlAnsiToOem(text, oem);
    EXPECT_EQ(strlen(oem), strlen(text));
    char back[sizeof text];
    EXPECT_EQ(KnlOemToAnsi(oem, back), back);
    if (GetACP() == 1252) {
        EXPECT_STREQ(back, text);
    }
    char inplace[] = "plain ascii";
    EXPECT_EQ(KnlAnsiToOem(inplace, NULL), inplace);
    EXPECT_STREQ(inplace, "plain ascii");

    char buf[4] = {'a', 'b', 'c', 'd'};
    char out[4] = {0, 0, 0, 'x'};
    EXPECT_EQ(KnlAnsiToOemBuff(buf, out, 3), out + 3);
    EXPECT_EQ(out[3], 'x');                       // exactly count bytes
    EXPECT_EQ(KnlOemToAnsiBuff(buf, NULL, 2), buf + 2);
}

TEST_F(KnlCp, ConvertCodePage)
{
    const char e1252[] = "\xE9t\xE9";
    char out[16] = {};
    EXPECT_EQ(KnlNlsConvertCodePage(1252, CP_UTF8, e1252, 3, NULL, 0), 5u);   // measure
    EXPECT_EQ(KnlNlsConvertCodePage(1252, CP_UTF8, e1252, 3, out, sizeof out), 5u);
    EXPECT_EQ(std::string(out, 5), "\xC3\xA9t\xC3\xA9");

    const char sjis[] = "\x93\xFA\x96\x7B";       // two kanji in code page 932
    EXPECT_EQ(KnlNlsConvertCodePage(932, CP_UTF8, sjis, 4, out, sizeof out), 6u);
    EXPECT_EQ(std::string(out, 6), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(KnlNlsConvertCodePage(CP_UTF8, 932, out, 6, out + 8, 8), 4u);
    EXPECT_EQ(std::string(out + 8, 4), sjis);

    EXPECT_EQ(KnlNlsConvertCodePage(1252, CP_UTF8, NULL, 3, out, 16), 0u);
    EXPECT_EQ(KnlNlsConvertCodePage(1252, CP_UTF8, e1252, 0, out, 16), 0u);
    EXPECT_EQ(KnlNlsConvertCodePage(1252, CP_UTF8, e1252, 3, NULL, 16), 0u);
    EXPECT_EQ(KnlNlsConvertCodePage(1252, CP_UTF8, e1252, 3, out, 2), 0u);  // too small
}

TEST_F(KnlCp, LocaleInfo)
{
    char buf[16];
    EXPECT_GT(KnlGetSystemLocaleInfo(LOCALE_IDATE, buf, sizeof buf), 0);
    SetLastError(0);
    EXPECT_EQ(KnlGetSystemLocaleInfo(LOCALE_SMONTHNAME1, buf, 1), 0);   // too small
    EXPECT_NE(KnlGetLastError(), 0);
}

// The two-digit-year window comes from the current user's registry.
class KnlYearWindow : public ::testing::Test {
protected:
    void setYearMax(const char *value)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, YEARMAX_KEY, 0, NULL, 0,
                                  KEY_ALL_ACCESS, NULL, &key, NULL), ERROR_SUCCESS);
        RegSetValueExA(key, "1", 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1);
        RegCloseKey(key);
    }
    void TearDown() override
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, YEARMAX_KEY);
        DatSetTwoDigitYearMax(0xFFFF);            // back to the default pivot
    }
};

TEST_F(KnlYearWindow, AppliesYearsFrom2000)
{
    setYearMax("2049");
    EXPECT_EQ(KnlInitCP(), 0);
    EXPECT_EQ(DatGetTwoDigitYearMax(), 49);
}

TEST_F(KnlYearWindow, IgnoresEarlierYearsAndEmptyValues)
{
    DatSetTwoDigitYearMax(2035);
    setYearMax("1999");
    EXPECT_EQ(KnlInitCP(), 0);
    EXPECT_EQ(DatGetTwoDigitYearMax(), 35);
    setYearMax("");
    EXPECT_EQ(KnlInitCP(), 0);
    EXPECT_EQ(DatGetTwoDigitYearMax(), 35);
}

TEST_F(KnlYearWindow, MissingKeyIsReportedAfterAllOtherWork)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, YEARMAX_KEY);
    DatSetTwoDigitYearMax(2010);
    EXPECT_EQ(KnlInitCP(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DatGetTwoDigitYearMax(), 10);
    EXPECT_EQ(KnlQueryCharTable()['a'].other, 'A');
}

TEST(KnlSortSearch, SortsAndFindsWithTheCallersComparison)
{
    auto cmp = [](const void *a, const void *b) {
        return *(const int *)a - *(const int *)b;
    };
    std::vector<int> v = {5, 3, 9, 1, 7};
    KnlQSort(v.data(), v.size(), sizeof(int), cmp);
    EXPECT_EQ(v, (std::vector<int>{1, 3, 5, 7, 9}));
    int key = 7, missing = 4;
    EXPECT_EQ(KnlBSearch(&key, v.data(), v.size(), sizeof(int), cmp), &v[3]);
    EXPECT_EQ(KnlBSearch(&missing, v.data(), v.size(), sizeof(int), cmp), nullptr);
    EXPECT_EQ(KnlBSearch(&key, v.data(), v.size(), sizeof(int), NULL), nullptr);
    std::vector<int> w = {2, 1};
    KnlQSort(w.data(), w.size(), sizeof(int), NULL);   // no comparison: untouched
    EXPECT_EQ(w, (std::vector<int>{2, 1}));
}

} // namespace
