// Formatting with bracket templates: the field letters and flags, the
// system templates and what is derived from them, the fixed text forms,
// name tables, and the limits on the caller's buffer.  Also run under
// code page 932, where names may hold double-byte characters.
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include "dat.h"
#include "dattest.h"
#include "knl.h"

namespace {

using dattest::makeDate;

std::string fmt(const char *tmpl, const DATETIME &dt, USHORT max = 200)
{
    char buf[256];
    EXPECT_EQ(DatSprintf(buf, max, tmpl, &dt), buf);
    return buf;
}

// Puts the process-wide templates and names back after each test.
class DatFormat : public ::testing::Test {
protected:
    void SetUp() override { DatSetSysDateTimeFmt("[0M]/[0D]/[Y]", "[i]:[0m]"); }
    void TearDown() override
    {
        DatSetSysDateTimeFmt("[0M]/[0D]/[Y]", "[i]:[0m]");
        DatSetMonthNames(NULL);
        DatSetDayNames(NULL);
    }
};

TEST_F(DatFormat, TemplateExamples)
{
    DATETIME d = makeDate(2024, 3, 5);
    EXPECT_EQ(fmt("[0D].[0M].[Y]", d), "05.03.2024");
    EXPECT_EQ(fmt("[@N] [D], [Y]", d), "Mar 5, 2024");
    EXPECT_EQ(fmt("[h]:[0m] [A]", makeDate(2024, 3, 5, 0, 7)), "12:07 AM");
    EXPECT_EQ(fmt("[Y][0M][0D][0i][0m][0s]", makeDate(1999, 12, 31, 23, 59, 58)), "19991231235958");
}

TEST_F(DatFormat, NumberFlagsAndYears)
{
    DATETIME d = makeDate(2007, 1, 9, 8, 5, 3);
    EXPECT_EQ(fmt("[D]|[ D]|[0D]", d), "9| 9|09");
    EXPECT_EQ(fmt("[M]|[ M]|[0M]", d), "1| 1|01");
    EXPECT_EQ(fmt("[i]:[m]:[s]|[0i]:[0m]:[0s]", d), "8:5:3|08:05:03");
    EXPECT_EQ(fmt("[Z]|[ Z]|[0Z]|[Y]|[ Y]", d), "07| 7|07|2007|2007");
    EXPECT_EQ(fmt("[Y]", makeDate(33, 6, 1)), "0033");
    EXPECT_EQ(fmt("[Z]", makeDate(2000, 6, 1)), "00");
}

TEST_F(DatFormat, TwelveHourClockAndDayHalves)
{
    struct { int h; const char *text; } cases[] = {
        {0, "12 AM am"}, {1, "1 AM am"}, {11, "11 AM am"}, {12, "12 PM pm"},
        {13, "1 PM pm"}, {23, "11 PM pm"},
    };
    for (auto &c : cases)
        EXPECT_EQ(fmt("[h] [A] [a]", makeDate(2024, 1, 1, c.h)), c.text) << c.h;
}

TEST_F(DatFormat, NamesAndWeekdays)
{
    DATETIME d = makeDate(2024, 3, 5);              // a Tuesday
    EXPECT_EQ(d.weekday, 2);
    EXPECT_EQ(fmt("[V], [N] [D]|[@V] [@N]|[W]", d), "Tuesday, March 5|Tue Mar|2");
    // Letters in one field: the last one is written; unknown letters and
    // stray characters inside a field are ignored.
    EXPECT_EQ(fmt("[DM]/[xY?]", d), "3/2024");
    // A '[' inside a field writes itself and ends the field.
    EXPECT_EQ(fmt("a[D[b]", d), "a[b]");
    // A field that is never closed is dropped.
    EXPECT_EQ(fmt("x[D", d), "x");
    EXPECT_EQ(fmt("", d), "");
}

TEST_F(DatFormat, OutOfRangeFieldsAreLimited)
{
    DATETIME d = makeDate(2024, 1, 1);
    d.day = 0;
    d.month = 13;
    d.weekday = 9;
    EXPECT_EQ(fmt("[D]/[M]/[N]/[V]/[W]", d), "1/12/December/Saturday/2");
    d.day = 40;
    d.month = 0;
    EXPECT_EQ(fmt("[D]/[M]/[@N]", d), "31/1/Jan");
}

TEST_F(DatFormat, MaximumCharactersIsHonoured)
{
    DATETIME d = makeDate(2024, 3, 5, 14, 30);
    const char *tmpl = "[V], [N] [0D], [Y] [0i]:[0m]";
    std::string full = fmt(tmpl, d);
    EXPECT_EQ(full, "Tuesday, March 05, 2024 14:30");
    for (USHORT max = 0; max <= full.size() + 2; max++) {
        char buf[64];
        memset(buf, '#', sizeof buf);
        DatSprintf(buf, max, tmpl, &d);
        size_t want = max < full.size() ? max : full.size();
        ASSERT_EQ(std::string(buf), full.substr(0, want)) << max;
        for (size_t i = want + 1; i < sizeof buf; i++)
            ASSERT_EQ(buf[i], '#') << "max " << max;
    }
}

TEST_F(DatFormat, NullArguments)
{
    DATETIME d = makeDate(2024, 3, 5);
    char buf[8] = "xxxxxxx";
    EXPECT_EQ(DatSprintf(NULL, 5, "[D]", &d), nullptr);
    EXPECT_EQ(DatSprintf(buf, 5, NULL, &d), buf);
    EXPECT_STREQ(buf, "");
    strcpy(buf, "xxxxxxx");
    EXPECT_EQ(DatSprintf(buf, 5, "[D]", NULL), buf);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(DatToStr(buf, sizeof buf, NULL), buf);
    EXPECT_STREQ(buf, "");
}

TEST_F(DatFormat, SystemTemplatesAndWhatTheyTell)
{
    DATETIME d = makeDate(2024, 3, 5, 9, 7);
    char buf[64];
    EXPECT_STREQ(DatToSysDateStr(buf, 63, &d), "03/05/2024");
    EXPECT_STREQ(DatToSysTimeStr(buf, 63, &d), "9:07");
    EXPECT_STREQ(DatToSysDateTimeStr(buf, sizeof buf, &d), "03/05/2024 9:07");
    EXPECT_EQ(DatQuerySysDateSeparator(), '/');
    EXPECT_EQ(DatQuerySysTimeSeparator(), ':');
    EXPECT_EQ(DatQuerySysDateOrder(), 0);
    EXPECT_EQ(DatIsYear4Digits(), 1);

    DatSetSysDateTimeFmt("[0D].[0M].[0Z]", "[0i].[0m]");
    EXPECT_STREQ(DatToSysDateTimeStr(buf, sizeof buf, &d), "05.03.24 09.07");
    EXPECT_EQ(DatQuerySysDateSeparator(), '.');
    EXPECT_EQ(DatQuerySysTimeSeparator(), '.');
    EXPECT_EQ(DatQuerySysDateOrder(), 1);
    EXPECT_EQ(DatIsYear4Digits(), 0);

    DatSetSysDateTimeFmt("[Y]-[M]-[D]", "[i]");
    EXPECT_EQ(DatQuerySysDateOrder(), 2);
    EXPECT_EQ(DatQuerySysTimeSeparator(), ':') << "no character after the only field";
    DatSetSysDateTimeFmt("no fields", "");
    EXPECT_EQ(DatQuerySysDateOrder(), 0);
    EXPECT_EQ(DatQuerySysDateSeparator(), '/');

    // Templates are kept to 39 bytes.
    std::string longTmpl(60, 'x');
    DatSetSysDateTimeFmt(longTmpl.c_str(), "[i]");
    EXPECT_EQ(std::string(DatToSysDateStr(buf, 63, &d)), longTmpl.substr(0, 39));

    // The combined form takes the buffer size.
    DatSetSysDateTimeFmt("[0M]/[0D]/[Y]", "[i]:[0m]");
    memset(buf, '#', sizeof buf);
    DatToSysDateTimeStr(buf, 6, &d);
    EXPECT_STREQ(buf, "03/05");
    EXPECT_EQ(buf[6], '#');
}

TEST_F(DatFormat, FixedTextForm)
{
    char buf[64];
    DATETIME d = makeDate(2024, 3, 5, 9, 7, 2);
    EXPECT_STREQ(DatToStr(buf, sizeof buf, &d), "Tue Mar 5 09:07:02 2024");
    // The same layout as the C library's asctime, without the padding.
    struct tm t = {};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 9;
    t.tm_min = 7;
    t.tm_sec = 2;
    t.tm_wday = 2;
    char ref[64];
    strftime(ref, sizeof ref, "%a %b %#d %H:%M:%S %Y", &t);
    EXPECT_STREQ(buf, ref);
    memset(buf, '#', sizeof buf);
    DatToStr(buf, 8, &d);
    EXPECT_STREQ(buf, "Tue Mar");
    EXPECT_EQ(buf[8], '#');
}

TEST_F(DatFormat, TimeSpansAndDTJulianDisplay)
{
    char buf[64];
    EXPECT_EQ(DatDTJulian2TimespanStr(0.0625, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "1:30");
    DatDTJulian2TimespanStr(1.0 + 1.0 / 24 + 5.0 / 1440 + 1e-9, buf, sizeof buf);
    EXPECT_STREQ(buf, "25:05");
    DatSetSysDateTimeFmt("[0M]/[0D]/[Y]", "[i].[m]");
    DatDTJulian2TimespanStr(1.0 / 24 + 5.0 / 1440 + 1e-9, buf, sizeof buf);
    EXPECT_STREQ(buf, "1.5") << "no zero padding without 0m";
    DatSetSysDateTimeFmt("[0M]/[0D]/[Y]", "[i]:[0m]");

    EXPECT_EQ(DatDTJulianStr2SysDateTimeStr(buf, sizeof buf, "$DT730119.5"), 0);
    EXPECT_STREQ(buf, "01/01/2000");
    EXPECT_EQ(DatDTJulianStr2SysDateTimeStr(buf, sizeof buf, "$DT1.0625"), 0);
    EXPECT_STREQ(buf, "25:30");
    EXPECT_EQ(DatDTJulianStr2SysDateTimeStr(buf, sizeof buf, "$DT0.000001"), 0);
    EXPECT_STREQ(buf, "0:00");
    EXPECT_EQ(DatDTJulianStr2SysDateTimeStr(buf, sizeof buf, "$DT-2.5"), 0);
    EXPECT_STREQ(buf, "-2.5");
    EXPECT_EQ(DatDTJulianStr2SysDateTimeStr(buf, sizeof buf, "$DT577734"), 0);
    EXPECT_STREQ(buf, "10/04/1582");
    EXPECT_EQ(DatDTJulianStr2SysDateTimeStr(buf, sizeof buf, "730119.5"), 0xFFFF);
    EXPECT_EQ(DatDTJulianStr2SysDateTimeStr(buf, sizeof buf, NULL), 0xFFFF);
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(DatDTJulianStr2SysDateTimeStr(buf, 4, "$DT730119.5"), 0);
    EXPECT_STREQ(buf, "01/");
    EXPECT_EQ(buf[4], '#');
}

char *heapString(const char *s)
{
    char *p = (char *)malloc(strlen(s) + 1);
    strcpy(p, s);
    return p;
}

TEST_F(DatFormat, ReplacedNamesAreUsedAndDefaultsComeBack)
{
    char *months[24], *days[14];
    for (int i = 0; i < 24; i++) {
        char b[16];
        snprintf(b, sizeof b, i < 12 ? "Month%d" : "M%d", i % 12 + 1);
        months[i] = heapString(b);
    }
    for (int i = 0; i < 14; i++) {
        char b[16];
        snprintf(b, sizeof b, i < 7 ? "Day%d" : "D%d", i % 7);
        days[i] = heapString(b);
    }
    EXPECT_EQ(DatSetMonthNames(months), 0);
    EXPECT_EQ(DatSetDayNames(days), 0);
    DATETIME d = makeDate(2024, 12, 7);          // a Saturday
    EXPECT_EQ(fmt("[N] [@N] [V] [@V]", d), "Month12 M12 Day6 D6");
    char buf[64];
    EXPECT_STREQ(DatToStr(buf, sizeof buf, &d), "D6 M12 7 00:00:00 2024");

    // A second set replaces (and frees) the first.
    char *months2[24];
    for (int i = 0; i < 24; i++)
        months2[i] = heapString(i == 11 ? "Twelfth" : "x");
    DatSetMonthNames(months2);
    EXPECT_EQ(fmt("[N]", d), "Twelfth");

    DatSetMonthNames(NULL);
    DatSetDayNames(NULL);
    EXPECT_EQ(fmt("[N] [@N] [V] [@V]", d), "December Dec Saturday Sat");
}

TEST_F(DatFormat, DoubleByteNamesAreNeverSplit)
{
    KnlInitDBCSEv();
    if (GetACP() != 932)
        GTEST_SKIP() << "needs a double-byte code page";
    // Month 1 named by two double-byte characters (0x8C8E 0x8C8E).
    std::string longName;
    for (int i = 0; i < 40; i++)
        longName += "\x8C\x8E";
    char *months[24];
    for (int i = 0; i < 24; i++)
        months[i] = heapString(i == 0 ? "\x8C\x8E\x8C\x8E" : i == 1 ? longName.c_str() : "m");
    DatSetMonthNames(months);
    DATETIME d = makeDate(2024, 1, 5);
    EXPECT_EQ(fmt("[N]", d, 4), "\x8C\x8E\x8C\x8E");
    EXPECT_EQ(fmt("[N]", d, 3), "\x8C\x8E");
    EXPECT_EQ(fmt("[N]", d, 1), "");
    std::string cut = fmt("[N]", makeDate(2024, 2, 5));
    EXPECT_EQ(cut, longName.substr(0, cut.size())) << "a long name is cut between characters";
    EXPECT_EQ(cut.size() % 2, 0u);
    EXPECT_GE(cut.size(), 60u);
    // A double-byte character in the template is copied whole, and a
    // trail byte that looks like a bracket does not open a field.
    EXPECT_EQ(fmt("\x81[[D]", d), "\x81[5");
    char buf[16];
    EXPECT_STREQ(DatToStr(buf, 4, &d), "Fri");
}

} // namespace
