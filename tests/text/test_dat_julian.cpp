// Calendar arithmetic checked against independent references: Win32's
// FILETIME day count for Gregorian dates (with the weekday and day of the
// year that the system reports), a day-by-day calendar walk for the
// Julian-calendar years, and exact round trips through both day counts and
// the "$DT" text.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <string>
#include "dat.h"
#include "dattest.h"

namespace {

using dattest::makeDate;

const double JD_1601_01_01 = 2305814.0;      // chronological Julian day of 1601-01-01
const double JD_LAST_JULIAN = 2299160.0;     // 1582-10-04
const double DT_EPOCH = 1721426.0;
const ULONGLONG TICKS_PER_DAY = 864000000000ULL;

// The system's calendar for day number n counted from 1601-01-01.
SYSTEMTIME systemDay(ULONGLONG n)
{
    ULARGE_INTEGER u;
    u.QuadPart = n * TICKS_PER_DAY;
    FILETIME ft = { u.LowPart, u.HighPart };
    SYSTEMTIME st;
    EXPECT_TRUE(FileTimeToSystemTime(&ft, &st));
    return st;
}

ULONGLONG systemDayNumber(int y, int m, int d)
{
    SYSTEMTIME st = {};
    st.wYear = (WORD)y;
    st.wMonth = (WORD)m;
    st.wDay = (WORD)d;
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft)) << y << "-" << m << "-" << d;
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return u.QuadPart / TICKS_PER_DAY;
}

std::string show(const DATETIME &dt)
{
    char b[80];
    snprintf(b, sizeof b, "%04u-%02u-%02u %02u:%02u:%02u.%02u wd%u", dt.year, dt.month, dt.day,
             dt.hours, dt.minutes, dt.seconds, dt.hundredths, dt.weekday);
    return b;
}

void expectSameDate(const DATETIME &a, const DATETIME &b)
{
    EXPECT_EQ(a.year, b.year) << show(a) << " vs " << show(b);
    EXPECT_EQ(a.month, b.month) << show(a) << " vs " << show(b);
    EXPECT_EQ(a.day, b.day) << show(a) << " vs " << show(b);
}

void expectSameTime(const DATETIME &a, const DATETIME &b)
{
    EXPECT_EQ(a.hours, b.hours) << show(a) << " vs " << show(b);
    EXPECT_EQ(a.minutes, b.minutes) << show(a) << " vs " << show(b);
    EXPECT_EQ(a.seconds, b.seconds) << show(a) << " vs " << show(b);
    EXPECT_EQ(a.hundredths, b.hundredths) << show(a) << " vs " << show(b);
}

// ---- Gregorian dates against the system's FILETIME calendar ----

TEST(DatGregorian, DayNumbersMatchTheSystemCalendarAcrossItsRange)
{
    // Last representable day of SYSTEMTIME is 30827-12-31.
    const ULONGLONG lastDay = systemDayNumber(30827, 12, 31);
    for (ULONGLONG n = 0; n <= lastDay; n += 37) {
        SYSTEMTIME st = systemDay(n);
        DATETIME dt = makeDate(st.wYear, st.wMonth, st.wDay);
        ASSERT_EQ(DatDatetime2Julian(&dt), JD_1601_01_01 + n) << show(dt);

        DATETIME back;
        memset(&back, 0x55, sizeof back);
        ASSERT_EQ(DatJulian2Datetime(&back, JD_1601_01_01 + n), 0);
        expectSameDate(back, dt);
        ASSERT_EQ(back.weekday, st.wDayOfWeek) << show(dt);
        ASSERT_EQ(back.timezone, 0x5555) << "timezone is left alone";
    }
}

TEST(DatGregorian, CenturyYearsAndLeapDaysMatchTheSystem)
{
    for (int y = 1601; y <= 30827; y += (y < 2500 ? 1 : 97)) {
        const int days[][2] = { {1, 1}, {2, 28}, {3, 1}, {12, 31} };
        for (auto &md : days) {
            DATETIME dt = makeDate(y, md[0], md[1]);
            ASSERT_EQ(DatDatetime2Julian(&dt), JD_1601_01_01 + systemDayNumber(y, md[0], md[1]))
                << show(dt);
        }
        bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        DATETIME feb = makeDate(y, 2, 1);
        EXPECT_EQ(DatIsLeapYear(&feb), leap ? 1 : 0) << y;
        EXPECT_EQ(DatQueryDaysInMonth(&feb), leap ? 29 : 28) << y;
        if (leap) {
            DATETIME d29 = makeDate(y, 2, 29);
            ASSERT_EQ(DatDatetime2Julian(&d29), JD_1601_01_01 + systemDayNumber(y, 2, 29)) << y;
        }
    }
}

TEST(DatGregorian, DayOfYearAndDayArithmeticFollowTheSystem)
{
    const ULONGLONG lastDay = systemDayNumber(9999, 12, 1);
    for (ULONGLONG n = 0; n <= lastDay; n += 113) {
        SYSTEMTIME st = systemDay(n);
        DATETIME dt = makeDate(st.wYear, st.wMonth, st.wDay, 13, 45, 12, 34);
        ULONGLONG jan1 = systemDayNumber(st.wYear, 1, 1);
        ASSERT_EQ(DatQueryDayNrInYear(&dt), n - jan1 + 1) << show(dt);

        for (LONG step : {1L, -1L, 400L, -3000L}) {
            if ((LONGLONG)n + step < 0)
                continue;
            DATETIME moved = dt;
            ASSERT_EQ(DatAddDays(&moved, step), 0);
            SYSTEMTIME want = systemDay(n + step);
            DATETIME ref = makeDate(want.wYear, want.wMonth, want.wDay, 13, 45, 12, 34);
            expectSameDate(moved, ref);
            expectSameTime(moved, ref);
            EXPECT_EQ(moved.weekday, want.wDayOfWeek);
        }
    }
}

// ---- The Julian calendar before the switch ----

struct SimpleDate { int y, m, d; };

int julianCalendarMonthDays(int y, int m)
{
    static const int len[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return m == 2 && y % 4 == 0 ? 29 : len[m - 1];
}

void stepBack(SimpleDate &s)
{
    if (--s.d == 0) {
        if (--s.m == 0) {
            s.m = 12;
            s.y--;
        }
        s.d = julianCalendarMonthDays(s.y, s.m);
    }
}

TEST(DatJulianCalendar, WalkingBackFromTheSwitchToYearOne)
{
    // Model: a plain day-by-day walk with the Julian leap rule (every
    // fourth year), starting from the last Julian day 1582-10-04.
    SimpleDate s = { 1582, 10, 4 };
    double jd = JD_LAST_JULIAN;
    while (s.y >= 1) {
        DATETIME dt = makeDate(s.y, s.m, s.d);
        ASSERT_EQ(DatDatetime2Julian(&dt), jd) << show(dt);
        DATETIME back;
        DatJulian2Datetime(&back, jd);
        ASSERT_EQ(back.year, s.y) << jd;
        ASSERT_EQ(back.month, s.m) << jd;
        ASSERT_EQ(back.day, s.d) << jd;
        stepBack(s);
        jd -= 1.0;
    }
}

TEST(DatJulianCalendar, TheSwitchHasNoGap)
{
    DATETIME last = makeDate(1582, 10, 4), first = makeDate(1582, 10, 15);
    EXPECT_EQ(DatDatetime2Julian(&last), 2299160.0);
    EXPECT_EQ(DatDatetime2Julian(&first), 2299161.0);
    DATETIME moved = last;
    DatAddDays(&moved, 1);
    expectSameDate(moved, first);
    DatAddDays(&moved, -1);
    expectSameDate(moved, last);
}

// ---- Time of day and the DTJulian value ----

TEST(DatDTJulian, KnownValues)
{
    DATETIME y2k = makeDate(2000, 1, 1);
    EXPECT_EQ(DatDatetime2Julian(&y2k), 2451545.0);
    EXPECT_EQ(DatDatetime2DTJulian(&y2k), 730119.0);
    y2k.hours = 12;
    EXPECT_EQ(DatDatetime2Julian(&y2k), 2451545.5);
    EXPECT_EQ(DatDatetime2DTJulian(&y2k), 730119.5);

    DATETIME midnight = makeDate(0, 0, 0), noon = makeDate(0, 0, 0, 12);
    EXPECT_DOUBLE_EQ(DatDatetime2DTJulian(&midnight), 0.000001);
    EXPECT_DOUBLE_EQ(DatDatetime2DTJulian(&noon), 0.500001);
    EXPECT_DOUBLE_EQ(DatDatetime2Julian(&noon), 0.5);
}

TEST(DatDTJulian, RecordValueRecordIsExactToTheHundredth)
{
    // Dates from year 1 to 9999 with times that walk through every field.
    unsigned seed = 12345;
    for (double jd = DT_EPOCH + 2; jd < 5373484.0; jd += 211.0) {
        DATETIME date;
        DatJulian2Datetime(&date, jd);
        seed = seed * 1103515245u + 12345u;
        DATETIME dt = makeDate(date.year, date.month, date.day, (seed >> 8) % 24,
                               (seed >> 13) % 60, (seed >> 19) % 60, (seed >> 3) % 100);
        double v = DatDatetime2DTJulian(&dt);
        DATETIME back;
        ASSERT_EQ(DatDTJulian2Datetime(&back, v), 0);
        expectSameDate(back, dt);
        expectSameTime(back, dt);
        ASSERT_EQ(back.weekday, date.weekday);
    }
}

TEST(DatDTJulian, EveryHundredthOfOneDayRoundTrips)
{
    DATETIME dt = makeDate(2024, 2, 29);
    for (int t = 0; t < 8640000; t += 7) {
        dt.hours = (BYTE)(t / 360000);
        dt.minutes = (BYTE)(t / 6000 % 60);
        dt.seconds = (BYTE)(t / 100 % 60);
        dt.hundredths = (BYTE)(t % 100);
        DATETIME back;
        DatDTJulian2Datetime(&back, DatDatetime2DTJulian(&dt));
        ASSERT_EQ(back.day, 29);
        expectSameTime(back, dt);
        if (HasFailure())
            return;
    }
}

TEST(DatDTJulian, ATimeThatRoundsToMidnightMovesToTheNextDay)
{
    DATETIME back;
    DatDTJulian2Datetime(&back, 730119.0 + 0.9999999999);
    EXPECT_EQ(back.day, 2);
    EXPECT_EQ(back.hours, 0);
    EXPECT_EQ(back.hundredths, 0);
}

// ---- "$DT" text ----

// Thirteen significant digits keep a time to the hundredth of a second
// (a ten-millionth of a day) while the day count has six digits, that is
// up to the year 2738; beyond that the text keeps 13 digits of the value.
TEST(DatDTJulianText, ValueTextValueKeepsTheRecord)
{
    const double SIX_DIGIT_DAYS = 1000000.0;
    unsigned seed = 777;
    for (double day = 577734.0; day < 3652059.0; day += 97.0) {
        seed = seed * 1103515245u + 12345u;
        double v = day + ((seed >> 4) % 8640000) / 8640000.0;
        char text[40];
        ASSERT_EQ(DatDTJulian2Str(v, text, sizeof text), 0);
        ASSERT_EQ(strncmp(text, "$DT", 3), 0) << text;
        double back = -1;
        ASSERT_EQ(DatStr2DTJulian(text, &back), 0) << text;
        ASSERT_NEAR(back, v, v * 5e-13) << text;
        if (v < SIX_DIGIT_DAYS) {
            DATETIME a, b;
            DatDTJulian2Datetime(&a, v);
            DatDTJulian2Datetime(&b, back);
            expectSameDate(a, b);
            expectSameTime(a, b);
        }
        char again[40];
        DatDTJulian2Str(back, again, sizeof again);
        ASSERT_STREQ(again, text) << "text -> value -> text is stable";
    }
}

TEST(DatDTJulianText, FormsAndRejections)
{
    char text[40];
    DatDTJulian2Str(730119.5, text, sizeof text);
    EXPECT_STREQ(text, "$DT730119.5");
    DatDTJulian2Str(-3.25, text, sizeof text);
    EXPECT_STREQ(text, "$DT0");

    double v = 0;
    EXPECT_EQ(DatStr2DTJulian("$DT730119.5", &v), 0);
    EXPECT_EQ(v, 730119.5);
    EXPECT_EQ(DatStr2DTJulian("$DT-2", &v), 0);
    EXPECT_EQ(v, -2.0);
    EXPECT_EQ(DatStr2DTJulian("$DT+7", NULL), 0);
    for (const char *bad : { "$DT", "$DTx12", "$DT 12", "DT12", "$dt12", "", "$D1" })
        EXPECT_EQ(DatStr2DTJulian(bad, &v), 0xFFFF) << bad;
    EXPECT_EQ(DatStr2DTJulian(NULL, &v), 0xFFFF);
}

TEST(DatDTJulianText, ShortBuffersAreNeverOverrun)
{
    for (USHORT size = 1; size < 16; size++) {
        char buf[32];
        memset(buf, '#', sizeof buf);
        ASSERT_EQ(DatDTJulian2Str(730119.123456789, buf, size), 0);
        EXPECT_EQ(strlen(buf), size - 1u);
        for (size_t i = size; i < sizeof buf; i++)
            ASSERT_EQ(buf[i], '#') << "size " << size;
    }
    EXPECT_EQ(DatDTJulian2Str(1.0, NULL, 10), 87);
}

// ---- Bad input ----

TEST(DatBadInput, NullRecordsAndWildValues)
{
    EXPECT_EQ(DatJulian2Datetime(NULL, 2451545.0), 87);
    EXPECT_EQ(DatDTJulian2Datetime(NULL, 1.0), 87);
    EXPECT_EQ(DatAddDays(NULL, 1), 87);
    EXPECT_EQ(DatDatetime2Julian(NULL), 0.0);
    EXPECT_EQ(DatIsLeapYear(NULL), 0);
    EXPECT_EQ(DatQueryDaysInMonth(NULL), 0);
    EXPECT_EQ(DatQueryDayNrInYear(NULL), 0);

    // Results out of range are limited, never stored wild.
    for (double j : { -1e9, -1.0, 0.0, 1e9, 1e300, -1e300 }) {
        DATETIME dt;
        DatJulian2Datetime(&dt, j);
        EXPECT_GE(dt.day, 1);
        EXPECT_LE(dt.day, 31);
        EXPECT_GE(dt.month, 1);
        EXPECT_LE(dt.month, 12);
        EXPECT_LE(dt.hours, 23);
        EXPECT_LE(dt.weekday, 6);
    }
    DATETIME dt;
    DatJulian2Datetime(&dt, -1e9);
    EXPECT_EQ(dt.year, 0);
}

} // namespace
