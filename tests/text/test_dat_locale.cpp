// The system date and time formats and the month and day names that
// KnlInitCP takes from the user's locale, compared with the system's own
// short date and time forms and its name pictures.  The program runs once
// per locale; ORIN_TEST_LOCALE names the one it runs under ("en" for a
// month/day/year 12-hour locale, "de" for a day.month.year 24-hour one,
// both without leading zeros in the date as the system defines them)
// so the exact templates can be checked too.
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include "dat.h"
#include "dattest.h"
#include "knl.h"

namespace {

using dattest::makeDate;

SYSTEMTIME toSystem(const DATETIME &dt)
{
    SYSTEMTIME st = {};
    st.wYear = dt.year;
    st.wMonth = dt.month;
    st.wDay = dt.day;
    st.wDayOfWeek = dt.weekday;
    st.wHour = dt.hours;
    st.wMinute = dt.minutes;
    return st;
}

std::string systemDate(const DATETIME &dt, const char *picture)
{
    SYSTEMTIME st = toSystem(dt);
    char buf[128] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, picture ? 0 : DATE_SHORTDATE, &st, picture, buf, sizeof buf);
    return buf;
}

std::string systemTime(const DATETIME &dt)
{
    SYSTEMTIME st = toSystem(dt);
    char buf[128] = "";
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, NULL, buf, sizeof buf);
    return buf;
}

std::string localeName()
{
    const char *v = getenv("ORIN_TEST_LOCALE");
    return v ? v : "";
}

class DatLocale : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        KnlInitCP();
        KnlInitDBCSEv();
    }
};

TEST_F(DatLocale, SystemFormatsWriteWhatTheSystemWrites)
{
    char buf[128];
    for (int y = 1601; y <= 9999; y += 37) {
        DATETIME dt = makeDate(y, (y % 12) + 1, (y % 28) + 1, y % 24, y % 60);
        EXPECT_EQ(std::string(DatToSysDateStr(buf, 127, &dt)), systemDate(dt, NULL)) << y;
        EXPECT_EQ(std::string(DatToSysTimeStr(buf, 127, &dt)), systemTime(dt)) << y;
    }
    for (int h = 0; h < 24; h++) {
        DATETIME dt = makeDate(2024, 3, 5, h, 7);
        EXPECT_EQ(std::string(DatToSysTimeStr(buf, 127, &dt)), systemTime(dt)) << h;
    }
}

TEST_F(DatLocale, NamesComeFromTheLocale)
{
    for (int m = 1; m <= 12; m++) {
        DATETIME dt = makeDate(2023, m, 1);
        char buf[64];
        EXPECT_EQ(std::string(DatSprintf(buf, 63, "[N]", &dt)), systemDate(dt, "MMMM")) << m;
        EXPECT_EQ(std::string(DatSprintf(buf, 63, "[@N]", &dt)), systemDate(dt, "MMM")) << m;
    }
    for (int d = 1; d <= 7; d++) {                   // 2023-01-01 was a Sunday
        DATETIME dt = makeDate(2023, 1, d);
        ASSERT_EQ(dt.weekday, d - 1);
        char buf[64];
        EXPECT_EQ(std::string(DatSprintf(buf, 63, "[V]", &dt)), systemDate(dt, "dddd")) << d;
        EXPECT_EQ(std::string(DatSprintf(buf, 63, "[@V]", &dt)), systemDate(dt, "ddd")) << d;
    }
}

TEST_F(DatLocale, TemplatesOfTheNamedLocale)
{
    DATETIME dt = makeDate(2024, 3, 5, 14, 7);
    char date[64], time[64], month[64], day[64];
    DatToSysDateStr(date, 63, &dt);
    DatToSysTimeStr(time, 63, &dt);
    DatSprintf(month, 63, "[N]", &dt);
    DatSprintf(day, 63, "[V]", &dt);
    if (localeName() == "de") {
        EXPECT_STREQ(date, "5.3.2024");
        EXPECT_STREQ(time, "14:07");
        EXPECT_STREQ(month, "M\xE4rz");
        EXPECT_STREQ(day, "Dienstag");
        EXPECT_EQ(DatQuerySysDateOrder(), 1);
        EXPECT_EQ(DatQuerySysDateSeparator(), '.');
    } else if (localeName() == "en") {
        EXPECT_STREQ(date, "3/5/2024");
        EXPECT_STREQ(time, "2:07 PM");
        EXPECT_STREQ(month, "March");
        EXPECT_STREQ(day, "Tuesday");
        EXPECT_EQ(DatQuerySysDateOrder(), 0);
        EXPECT_EQ(DatQuerySysDateSeparator(), '/');
    } else {
        GTEST_SKIP() << "no locale named";
    }
    EXPECT_EQ(DatQuerySysTimeSeparator(), ':');
    EXPECT_EQ(DatIsYear4Digits(), 1);
}

TEST_F(DatLocale, SystemTextsReadBack)
{
    char date[64], time[64];
    for (int y = 1601; y <= 9999; y += 13) {
        DATETIME dt = makeDate(y, (y % 12) + 1, (y % 28) + 1, 1 + y % 23, y % 60), back;
        DatToSysDateStr(date, 63, &dt);
        ASSERT_EQ(DatSysDateStr2Datetime(&back, date, NULL), 0) << date;
        EXPECT_EQ(back.year, dt.year) << date;
        EXPECT_EQ(back.month, dt.month) << date;
        EXPECT_EQ(back.day, dt.day) << date;
        DatToSysTimeStr(time, 63, &dt);
        ASSERT_EQ(DatSysTimeStr2Datetime(&back, time, NULL), 0) << time;
        EXPECT_EQ(back.hours, dt.hours) << time;
        EXPECT_EQ(back.minutes, dt.minutes) << time;
    }
}

TEST_F(DatLocale, TerminateRestoresTheEnglishNames)
{
    KnlTerminate(0);
    DATETIME dt = makeDate(2024, 3, 5);
    char buf[64];
    EXPECT_STREQ(DatSprintf(buf, 63, "[N] [@N] [V] [@V]", &dt), "March Mar Tuesday Tue");
    KnlInitCP();
}

} // namespace
