/*
 * dat_julian.cpp - calendar arithmetic: the DATETIME record and the two day
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
 * A DTJulian value is the Julian value minus kDtEpoch (0001-01-01 in the
 * Gregorian reckoning), so 2000-01-01 is 730119.  A pure time of day (a
 * record with day, month and year all 0) is stored as its fraction plus
 * kDtTimeMark, so that midnight is not 0.
 */
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "text/datint.h"

namespace orin::dat {
namespace {

constexpr double kDtEpoch = 1721426.0;            // Julian value of DTJulian 0
constexpr double kDtTimeMark = 0.000001;          // added to a pure time of day
constexpr double kLastJulianDate = 15821004.1;    // yyyymmdd key of the calendar switch
constexpr double kFirstGregorianDay = 2299161.0;  // 1582-10-15
constexpr double kHundredthsPerDay = 8640000.0;
constexpr long kHundredthsPerHour = 360000;
constexpr long kHundredthsPerMinute = 6000;
constexpr long kHundredthsPerSecond = 100;
constexpr char kDtTextPrefix[] = "$DT";
constexpr std::size_t kDtTextPrefixLen = sizeof kDtTextPrefix - 1;

/* Constants of the day-number method.  Months run March (3) .. February
 * (14) so that the leap day comes last; kMonthDaysSlope * (m + 1) counts
 * the days before month m in that year.  A Julian-calendar year lasts
 * kJulianYear days; a Gregorian century lasts kGregorianCentury days, and
 * kGregorianShiftBase is where the century correction of the inverse
 * starts counting. */
constexpr double kDaysPerYear = 365.0;
constexpr double kMonthDaysSlope = 30.6001;
constexpr double kJulianYear = 365.25;
constexpr double kGregorianCentury = 36524.25;
constexpr double kGregorianShiftBase = 1867216.25;
constexpr long kYearOffset = 4716;                // years before 4713 BC, divisible by 4
constexpr long kJulianLeapBias = -1181;           // leap days of the Julian count, aligned
constexpr double kMjdBase = -679004.0 + 2400001.0;   // day 0 of year 0 (March-based)
constexpr double kInverseBaseJulian = 1524.0;
constexpr double kInverseBaseGreg = 1525.0;
constexpr double kInverseYearShift = 122.1;
constexpr double kInverseYearBase = 4715.0;
constexpr long kMonthsPerYear = 12;
constexpr long kDaysPerWeek = 7;
constexpr double kMaxYear = 0xFFFF;

constexpr std::array<BYTE, 13> kDaysInMonth = {31, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

long dateKey(const DATETIME &dt) noexcept
{
    return static_cast<long>(dt.year) * 10000L + dt.month * 100L + dt.day;
}

bool isLeap(unsigned year) noexcept
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

double timeFraction(const DATETIME &dt) noexcept
{
    return (dt.hours + dt.minutes / 60.0 + dt.seconds / 3600.0 + dt.hundredths / 360000.0) / 24.0;
}

BYTE clampByte(double v, int lo, int hi) noexcept
{
    if (v < lo)
        return static_cast<BYTE>(lo);
    if (v > hi)
        return static_cast<BYTE>(hi);
    return static_cast<BYTE>(v);
}

/* The date part of a Julian day number (integral); fills day, month, year
 * and weekday. */
void setDate(DATETIME &dt, double z) noexcept
{
    double b;
    if (z >= kFirstGregorianDay) {
        double a = std::trunc((z - kGregorianShiftBase) / kGregorianCentury);
        b = z + a - std::trunc(a * 0.25) + kInverseBaseGreg;
    } else {
        b = z + kInverseBaseJulian;
    }
    double c = std::trunc((b - kInverseYearShift) / kJulianYear);
    double d = kDaysPerYear * c + std::trunc(c * 0.25);
    double e = std::trunc((b - d) / kMonthDaysSlope);
    double day = std::trunc(b - d) - std::trunc(kMonthDaysSlope * e);
    double month = e - 1.0 - kMonthsPerYear * std::trunc(e / 14.0);
    double year = c - std::trunc((month + 7.0) / 10.0) - kInverseYearBase;

    dt.day = clampByte(day, 1, 31);
    dt.month = clampByte(month, 1, kMonthsPerYear);
    dt.year = year < 0 ? 0 : year > kMaxYear ? static_cast<USHORT>(kMaxYear) : static_cast<USHORT>(year);
    dt.weekday = static_cast<BYTE>(
        (static_cast<long long>(std::fmod(z + 1.0, kDaysPerWeek)) + kDaysPerWeek) % kDaysPerWeek);
    dt.filler = 0;
}

}  // namespace

/* Days of a month; a month outside 1..12 is taken as a 31-day month. */
USHORT DatDaysInMonthOf(unsigned month, unsigned year) noexcept
{
    if (month < 1 || month > 12)
        return 31;
    if (month == 2 && isLeap(year))
        return 29;
    return kDaysInMonth[month];
}

}  // namespace orin::dat

using namespace orin::dat;

USHORT ORINAPI DatIsLeapYear(const DATETIME *dt) noexcept
{
    return dt && isLeap(dt->year) ? 1 : 0;
}

USHORT ORINAPI DatQueryDaysInMonth(const DATETIME *dt) noexcept
{
    return dt ? DatDaysInMonthOf(dt->month, dt->year) : 0;
}

double ORINAPI DatDatetime2Julian(const DATETIME *dt) noexcept
{
    if (!dt)
        return 0.0;
    double fraction = timeFraction(*dt);
    if (dateKey(*dt) == 0)
        return fraction;

    long y = dt->year, m = dt->month, b;
    if (m < 3) {
        y -= 1;
        m += kMonthsPerYear;
    }
    if (dateKey(*dt) <= kLastJulianDate)
        b = kJulianLeapBias + static_cast<long>(std::trunc((y + kYearOffset) / 4.0));
    else
        b = static_cast<long>(std::trunc(y / 400.0)) - static_cast<long>(std::trunc(y / 100.0)) +
            static_cast<long>(std::trunc(y / 4.0));
    return kDaysPerYear * y + kMjdBase + b + std::trunc(kMonthDaysSlope * (m + 1)) + dt->day +
           fraction;
}

USHORT ORINAPI DatJulian2Datetime(DATETIME *dt, double j) noexcept
{
    if (!dt)
        return ORIN_ERR_INVALID_PARAM;
    double z = std::trunc(j);
    double f = j - z;
    setDate(*dt, z);

    double hours = std::trunc(24.0 * f);
    double r = 24.0 * f - hours;
    double minutes = std::trunc(60.0 * r);
    r = r - minutes / 60.0;
    double seconds = std::trunc(3600.0 * r);
    dt->hours = clampByte(hours, 0, 23);
    dt->minutes = clampByte(minutes, 0, 59);
    dt->seconds = clampByte(seconds, 0, 59);
    dt->hundredths = clampByte(std::trunc((r - seconds / 3600.0) * 360000.0), 0, 99);
    return 0;
}

double ORINAPI DatDatetime2DTJulian(const DATETIME *dt) noexcept
{
    if (!dt)
        return 0.0;
    if (dateKey(*dt) == 0)
        return timeFraction(*dt) + kDtTimeMark;
    return DatDatetime2Julian(dt) - kDtEpoch;
}

/* The date comes from the day count; the time is rounded to the nearest
 * hundredth of a second.  A time that rounds up to the next midnight moves
 * the date on by one day, so the record never holds hour 24. */
USHORT ORINAPI DatDTJulian2Datetime(DATETIME *dt, double x) noexcept
{
    if (!dt)
        return ORIN_ERR_INVALID_PARAM;
    double day = std::trunc(x);
    auto t = static_cast<long>(std::trunc((x - day) * kHundredthsPerDay + 0.5));
    if (t >= static_cast<long>(kHundredthsPerDay)) {
        t -= static_cast<long>(kHundredthsPerDay);
        day += 1.0;
    } else if (t < 0) {
        t = 0;
    }
    DatJulian2Datetime(dt, day + kDtEpoch);
    dt->hours = static_cast<BYTE>(t / kHundredthsPerHour);
    dt->minutes = static_cast<BYTE>((t % kHundredthsPerHour) / kHundredthsPerMinute);
    dt->seconds = static_cast<BYTE>((t % kHundredthsPerMinute) / kHundredthsPerSecond);
    dt->hundredths = static_cast<BYTE>(t % kHundredthsPerSecond);
    return 0;
}

USHORT ORINAPI DatQueryDayNrInYear(const DATETIME *dt) noexcept
{
    if (!dt)
        return 0;
    DATETIME first{};
    first.day = 1;
    first.month = 1;
    first.year = dt->year;
    return static_cast<USHORT>(std::trunc(DatDatetime2Julian(dt)) -
                               std::trunc(DatDatetime2Julian(&first)) + 1.0);
}

/* Moves by whole days; the time fields are carried over unchanged rather
 * than recomputed from the floating-point sum. */
USHORT ORINAPI DatAddDays(DATETIME *dt, LONG days) noexcept
{
    if (!dt)
        return ORIN_ERR_INVALID_PARAM;
    DATETIME time = *dt;
    DatJulian2Datetime(dt, std::trunc(DatDatetime2Julian(dt)) + days);
    dt->hours = time.hours;
    dt->minutes = time.minutes;
    dt->seconds = time.seconds;
    dt->hundredths = time.hundredths;
    return 0;
}

/* "$DT" and then a sign or a digit; the value is atof of the rest. */
USHORT ORINAPI DatStr2DTJulian(const char *text, double *out) noexcept
{
    if (!text || std::strlen(text) < kDtTextPrefixLen + 1 ||
        std::strncmp(text, kDtTextPrefix, kDtTextPrefixLen) != 0)
        return ORIN_ERR_GENERAL;
    char c = text[kDtTextPrefixLen];
    if (c != '+' && c != '-' && !(c >= '0' && c <= '9'))
        return ORIN_ERR_GENERAL;
    if (out)
        *out = std::atof(text + kDtTextPrefixLen);
    return 0;
}

/* Formats into a local buffer first (the text of a double is short) and
 * copies what fits, so the caller's buffer is never overrun whatever the
 * run time's snprintf does on truncation. */
USHORT ORINAPI DatDTJulian2Str(double value, char *buf, USHORT size) noexcept
{
    if (!buf || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    if (value < 0.0)
        value = 0.0;
    std::array<char, kNumberText> text;
    std::snprintf(text.data(), text.size(), "%s%.13lG", kDtTextPrefix, value);
    std::size_t n = std::min(std::strlen(text.data()), static_cast<std::size_t>(size) - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = 0;
    return 0;
}
