/*
 * dat_julian.c - calendar arithmetic: the DATETIME record and the two day
 * counts built on it, plus the "$DT" text form of a DTJulian value.
 *
 * A Julian value is the chronological Julian day number (a day begins at
 * midnight, 2000-01-01 is 2451545) plus the time of day as a fraction.
 * Dates up to 1582-10-04 count in the Julian calendar and later ones in the
 * Gregorian calendar, so the two meet without a gap: 1582-10-04 is 2299160
 * and the next day, 1582-10-15, is 2299161.
 *
 * Record to day number: months are shifted so that the year starts in March
 * (January and February count as months 13 and 14 of the year before); then
 * the days before the month are trunc(30.6001 * (m + 1)), the days before
 * the year 365 * y plus the leap days, which the two calendars count
 * differently.  Day number to record runs the same steps backwards.
 *
 * A DTJulian value is the Julian value minus DT_EPOCH (0001-01-01 in the
 * Gregorian reckoning), so 2000-01-01 is 730119.  A pure time of day (a
 * record with day, month and year all 0) is stored as its fraction plus
 * DT_TIME_MARK, so that midnight is not 0.
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "text/datint.h"

#define DT_EPOCH            1721426.0   /* Julian value of DTJulian 0 */
#define DT_TIME_MARK        0.000001    /* added to a pure time of day */
#define LAST_JULIAN_DATE    15821004.1  /* yyyymmdd key of the calendar switch */
#define FIRST_GREGORIAN_DAY 2299161.0   /* 1582-10-15 */
#define HUNDREDTHS_PER_DAY  8640000.0
#define DT_TEXT_PREFIX      "$DT"
#define DT_TEXT_PREFIX_LEN  3

/* Constants of the day-number method.  Months run March (3) .. February
 * (14) so that the leap day comes last; MONTH_DAYS_SLOPE * (m + 1) counts
 * the days before month m in that year.  A Julian-calendar year lasts
 * JULIAN_YEAR days; a Gregorian century lasts GREGORIAN_CENTURY days, and
 * GREGORIAN_SHIFT_BASE is where the century correction of the inverse
 * starts counting. */
#define DAYS_PER_YEAR        365.0
#define MONTH_DAYS_SLOPE     30.6001
#define JULIAN_YEAR          365.25
#define GREGORIAN_CENTURY    36524.25
#define GREGORIAN_SHIFT_BASE 1867216.25
#define YEAR_OFFSET          4716      /* years before 4713 BC, divisible by 4 */
#define JULIAN_LEAP_BIAS     (-1181)   /* leap days of the Julian count, aligned */
#define MJD_BASE             (-679004.0 + 2400001.0)   /* day 0 of year 0 (March-based) */
#define INVERSE_BASE_JULIAN  1524.0
#define INVERSE_BASE_GREG    1525.0
#define INVERSE_YEAR_SHIFT   122.1
#define INVERSE_YEAR_BASE    4715.0
#define MONTHS_PER_YEAR      12
#define DAYS_PER_WEEK        7
#define MAX_YEAR             0xFFFF

static const BYTE daysInMonth[13] = { 31, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };

static long dateKey(const DATETIME *dt)
{
    return (long)dt->year * 10000L + dt->month * 100L + dt->day;
}

static int isLeap(unsigned year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

USHORT ORINAPI DatIsLeapYear(const DATETIME *dt) noexcept
{
    return dt && isLeap(dt->year) ? 1 : 0;
}

/* Days of a month; a month outside 1..12 is taken as a 31-day month. */
USHORT DatDaysInMonthOf(unsigned month, unsigned year)
{
    if (month < 1 || month > 12)
        return 31;
    if (month == 2 && isLeap(year))
        return 29;
    return daysInMonth[month];
}

USHORT ORINAPI DatQueryDaysInMonth(const DATETIME *dt) noexcept
{
    return dt ? DatDaysInMonthOf(dt->month, dt->year) : 0;
}

static double timeFraction(const DATETIME *dt)
{
    return (dt->hours + dt->minutes / 60.0 + dt->seconds / 3600.0 +
            dt->hundredths / 360000.0) / 24.0;
}

double ORINAPI DatDatetime2Julian(const DATETIME *dt) noexcept
{
    double fraction;
    long y, m, b;

    if (!dt)
        return 0.0;
    fraction = timeFraction(dt);
    if (dateKey(dt) == 0)
        return fraction;

    y = dt->year;
    m = dt->month;
    if (m < 3) {
        y -= 1;
        m += MONTHS_PER_YEAR;
    }
    if (dateKey(dt) <= LAST_JULIAN_DATE)
        b = JULIAN_LEAP_BIAS + (long)trunc((y + YEAR_OFFSET) / 4.0);
    else
        b = (long)trunc(y / 400.0) - (long)trunc(y / 100.0) + (long)trunc(y / 4.0);
    return DAYS_PER_YEAR * y + MJD_BASE + b + trunc(MONTH_DAYS_SLOPE * (m + 1)) +
           dt->day + fraction;
}

static BYTE clampByte(double v, int lo, int hi)
{
    if (v < lo) return (BYTE)lo;
    if (v > hi) return (BYTE)hi;
    return (BYTE)v;
}

/* The date part of a Julian day number (integral); fills day, month, year
 * and weekday. */
static void setDate(DATETIME *dt, double z)
{
    double a, b, c, d, e, day, month, year;

    if (z >= FIRST_GREGORIAN_DAY) {
        a = trunc((z - GREGORIAN_SHIFT_BASE) / GREGORIAN_CENTURY);
        b = z + a - trunc(a * 0.25) + INVERSE_BASE_GREG;
    } else {
        b = z + INVERSE_BASE_JULIAN;
    }
    c = trunc((b - INVERSE_YEAR_SHIFT) / JULIAN_YEAR);
    d = DAYS_PER_YEAR * c + trunc(c * 0.25);
    e = trunc((b - d) / MONTH_DAYS_SLOPE);
    day = trunc(b - d) - trunc(MONTH_DAYS_SLOPE * e);
    month = e - 1.0 - MONTHS_PER_YEAR * trunc(e / 14.0);
    year = c - trunc((month + 7.0) / 10.0) - INVERSE_YEAR_BASE;

    dt->day = clampByte(day, 1, 31);
    dt->month = clampByte(month, 1, MONTHS_PER_YEAR);
    dt->year = year < 0 ? 0 : year > MAX_YEAR ? MAX_YEAR : (USHORT)year;
    dt->weekday = (BYTE)(((long long)fmod(z + 1.0, DAYS_PER_WEEK) + DAYS_PER_WEEK) % DAYS_PER_WEEK);
    dt->filler = 0;
}

USHORT ORINAPI DatJulian2Datetime(DATETIME *dt, double j) noexcept
{
    double z, f, r, hours, minutes, seconds;

    if (!dt)
        return ORIN_ERR_INVALID_PARAM;
    z = trunc(j);
    f = j - z;
    setDate(dt, z);

    hours = trunc(24.0 * f);
    r = 24.0 * f - hours;
    minutes = trunc(60.0 * r);
    r = r - minutes / 60.0;
    seconds = trunc(3600.0 * r);
    dt->hours = clampByte(hours, 0, 23);
    dt->minutes = clampByte(minutes, 0, 59);
    dt->seconds = clampByte(seconds, 0, 59);
    dt->hundredths = clampByte(trunc((r - seconds / 3600.0) * 360000.0), 0, 99);
    return 0;
}

double ORINAPI DatDatetime2DTJulian(const DATETIME *dt) noexcept
{
    if (!dt)
        return 0.0;
    if (dateKey(dt) == 0)
        return timeFraction(dt) + DT_TIME_MARK;
    return DatDatetime2Julian(dt) - DT_EPOCH;
}

/* The date comes from the day count; the time is rounded to the nearest
 * hundredth of a second.  A time that rounds up to the next midnight moves
 * the date on by one day, so the record never holds hour 24. */
USHORT ORINAPI DatDTJulian2Datetime(DATETIME *dt, double x) noexcept
{
    double day;
    long t;

    if (!dt)
        return ORIN_ERR_INVALID_PARAM;
    day = trunc(x);
    t = (long)trunc((x - day) * HUNDREDTHS_PER_DAY + 0.5);
    if (t >= (long)HUNDREDTHS_PER_DAY) {
        t -= (long)HUNDREDTHS_PER_DAY;
        day += 1.0;
    } else if (t < 0) {
        t = 0;
    }
    DatJulian2Datetime(dt, day + DT_EPOCH);
    dt->hours = (BYTE)(t / 360000);
    dt->minutes = (BYTE)((t % 360000) / 6000);
    dt->seconds = (BYTE)((t % 6000) / 100);
    dt->hundredths = (BYTE)(t % 100);
    return 0;
}

USHORT ORINAPI DatQueryDayNrInYear(const DATETIME *dt) noexcept
{
    DATETIME first;

    if (!dt)
        return 0;
    memset(&first, 0, sizeof first);
    first.day = 1;
    first.month = 1;
    first.year = dt->year;
    return (USHORT)(trunc(DatDatetime2Julian(dt)) - trunc(DatDatetime2Julian(&first)) + 1.0);
}

/* Moves by whole days; the time fields are carried over unchanged rather
 * than recomputed from the floating-point sum. */
USHORT ORINAPI DatAddDays(DATETIME *dt, LONG days) noexcept
{
    BYTE h, m, s, hs;

    if (!dt)
        return ORIN_ERR_INVALID_PARAM;
    h = dt->hours;
    m = dt->minutes;
    s = dt->seconds;
    hs = dt->hundredths;
    DatJulian2Datetime(dt, trunc(DatDatetime2Julian(dt)) + days);
    dt->hours = h;
    dt->minutes = m;
    dt->seconds = s;
    dt->hundredths = hs;
    return 0;
}

USHORT ORINAPI DatStr2DTJulian(const char *text, double *out) noexcept
{
    char c;

    if (!text || strlen(text) < DT_TEXT_PREFIX_LEN + 1 ||
        strncmp(text, DT_TEXT_PREFIX, DT_TEXT_PREFIX_LEN) != 0)
        return ORIN_ERR_GENERAL;
    c = text[DT_TEXT_PREFIX_LEN];
    if (c != '+' && c != '-' && !(c >= '0' && c <= '9'))
        return ORIN_ERR_GENERAL;
    if (out)
        *out = atof(text + DT_TEXT_PREFIX_LEN);
    return 0;
}

/* Formats into a local buffer first (the text of a double is short) and
 * copies what fits, so the caller's buffer is never overrun whatever the
 * run time's snprintf does on truncation. */
USHORT ORINAPI DatDTJulian2Str(double value, char *buf, USHORT size) noexcept
{
    char text[DAT_NUMBER_TEXT];
    size_t n;

    if (!buf || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    if (value < 0.0)
        value = 0.0;
    sprintf(text, DT_TEXT_PREFIX "%.13lG", value);
    n = strlen(text);
    if (n > (size_t)size - 1)
        n = (size_t)size - 1;
    memcpy(buf, text, n);
    buf[n] = 0;
    return 0;
}
