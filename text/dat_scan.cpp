/*
 * dat_scan.c - text to date-time records, driven by the same bracket
 * templates that DatSprintf writes, and the time-span reader.
 *
 * DatScanf runs a match cursor (stu.h) over the caller's text in place.
 * Outside brackets each template character must be the next text
 * character, except that a template blank may be missing from the text.
 * Inside a field each value letter reads a number of at most a fixed count
 * of digits (blanks before it are skipped, so blank-padded output reads
 * back) and checks its range; flag characters and name letters have no
 * effect.  Years of two digits are placed by the two-digit-year window:
 * above the pivot in the 1900s, else in the 2000s.  Once the whole
 * template matched, a day that was read must exist in its month.
 */
#include <math.h>
#include <string.h>
#include "text/datint.h"
#include "stu.h"
#include "str.h"

#define MAX_DAY          31
#define MAX_MONTH        12
#define MAX_WEEKDAY      7
#define MAX_HOUR         23
#define HOUR_WRAP        24      /* read as hour 0 */
#define MAX_MIN_SEC      59
#define MAX_SPAN_MINUTES 60
#define FIRST_FULL_YEAR  1582    /* smaller years of 3+ digits are refused */
#define TWO_DIGIT_LIMIT  100
#define NOON             12
#define YEAR_DIGITS      4
#define FIELD_DIGITS     2
#define ALL_DIGITS       0xFFFF

typedef struct _SCANSTATE {
    STUMATCH *cur;
    DATETIME *dt;
    int       dayRead;
} SCANSTATE;

/* Reads up to maxDigits digits after optional blanks; at least one digit
 * must be there. */
static int readNumber(STUMATCH *cur, USHORT maxDigits, ULONG *value)
{
    StuMatchBlanks(cur);
    if (!ChrIsDigit(StuMatchQueryChar(cur)))
        return 0;
    *value = StuMatchULongN(cur, maxDigits);
    return 1;
}

static int readInRange(STUMATCH *cur, USHORT maxDigits, ULONG lo, ULONG hi, ULONG *value)
{
    return readNumber(cur, maxDigits, value) && *value >= lo && *value <= hi;
}

/* Places a year that was read: two-digit years by the window, and years
 * between 100 and the calendar switch are refused. */
static int applyYearRule(ULONG year, DATETIME *dt)
{
    if (year < FIRST_FULL_YEAR && year >= TWO_DIGIT_LIMIT)
        return 0;
    if (year > 0xFFFF)
        return 0;
    if (year < TWO_DIGIT_LIMIT)
        year += year > datTwoDigitPivot ? 1900 : 2000;
    dt->year = (USHORT)year;
    return 1;
}

/* Two digits, and two more when a digit follows: then the first pair is
 * the century. */
static int readShortYear(STUMATCH *cur, DATETIME *dt)
{
    ULONG first, second;

    if (!readNumber(cur, FIELD_DIGITS, &first))
        return 0;
    if (ChrIsDigit(StuMatchQueryChar(cur))) {
        second = StuMatchULongN(cur, FIELD_DIGITS);
        first = first * 100 + second;
    }
    return applyYearRule(first, dt);
}

static int readHour(STUMATCH *cur, DATETIME *dt)
{
    ULONG v;

    if (!readNumber(cur, FIELD_DIGITS, &v))
        return 0;
    if (v == HOUR_WRAP)
        v = 0;
    if (v > MAX_HOUR)
        return 0;
    dt->hours = (BYTE)v;
    return 1;
}

/* "pm" moves a morning hour to the afternoon; "am" with an afternoon hour
 * is a contradiction. */
static int readDayHalf(STUMATCH *cur, DATETIME *dt)
{
    if (StuMatchIMatch(cur, "pm")) {
        if (dt->hours < NOON)
            dt->hours += NOON;
        return 1;
    }
    if (StuMatchIMatch(cur, "am"))
        return dt->hours < NOON;
    return 0;
}

/* One value letter of a field; answers 0 when the text does not fit. */
static int scanLetter(SCANSTATE *st, char letter)
{
    ULONG v;
    DATETIME *dt = st->dt;

    switch (letter) {
    case 'D':
        if (!readInRange(st->cur, FIELD_DIGITS, 1, MAX_DAY, &v)) return 0;
        dt->day = (BYTE)v;
        st->dayRead = 1;
        return 1;
    case 'M':
        if (!readInRange(st->cur, FIELD_DIGITS, 1, MAX_MONTH, &v)) return 0;
        dt->month = (BYTE)v;
        return 1;
    case 'W':
        if (!readInRange(st->cur, 1, 0, MAX_WEEKDAY, &v)) return 0;
        dt->weekday = (BYTE)v;
        return 1;
    case 'Y':
        return readNumber(st->cur, YEAR_DIGITS, &v) && applyYearRule(v, dt);
    case 'Z':
        return readShortYear(st->cur, dt);
    case 'h':
    case 'i':
        return readHour(st->cur, dt);
    case 'm':
        if (!readInRange(st->cur, FIELD_DIGITS, 0, MAX_MIN_SEC, &v)) return 0;
        dt->minutes = (BYTE)v;
        return 1;
    case 's':
        if (!readInRange(st->cur, FIELD_DIGITS, 0, MAX_MIN_SEC, &v)) return 0;
        dt->seconds = (BYTE)v;
        return 1;
    case 'A':
    case 'a':
        return readDayHalf(st->cur, dt);
    default:
        return 1;   /* flags and letters without a reading */
    }
}

/* Byte length of the template character at p (a double-byte character
 * is matched whole). */
static size_t templateCharLen(const char *p)
{
    return p[1] ? MbsLen(p) : 1;
}

static USHORT scanTemplate(SCANSTATE *st, const char *tmpl)
{
    const char *p = tmpl;
    int inField = 0;

    while (*p) {
        if (inField) {
            if (*p == ']') {
                inField = 0;
            } else if (*p == '[') {
                StuMatchGetChar(st->cur);
                inField = 0;
            } else if (!scanLetter(st, *p)) {
                return ORIN_ERR_INVALID_DATA;
            }
            p++;
        } else if (*p == '[') {
            inField = 1;
            p++;
        } else {
            char one[3] = { 0, 0, 0 };
            size_t len = templateCharLen(p);
            memcpy(one, p, len);
            if (!StuMatchMatch(st->cur, one) && *p != ' ')
                return ORIN_ERR_INVALID_DATA;
            p += len;
        }
    }
    return 0;
}

USHORT ORINAPI DatScanf(DATETIME *dt, const char *tmpl, const char *text, const char **end) noexcept
{
    SCANSTATE st;
    USHORT rc;

    if (!dt || !tmpl)
        return ORIN_ERR_INVALID_PARAM;
    memset(dt, 0, sizeof *dt);
    if (!text)
        return ORIN_ERR_INVALID_DATA;
    rc = StuMatchOpenRealBuffer(text, &st.cur);
    if (rc)
        return rc;
    st.dt = dt;
    st.dayRead = 0;
    rc = scanTemplate(&st, tmpl);
    if (end)
        *end = StuMatchPtr(st.cur);
    StuMatchClose(st.cur);
    if (rc == 0 && st.dayRead && dt->day > DatDaysInMonthOf(dt->month, dt->year))
        rc = ORIN_ERR_INVALID_DATA;
    return rc;
}

USHORT ORINAPI DatSysDateStr2Datetime(DATETIME *dt, const char *text, const char **end) noexcept
{
    return DatScanf(dt, datSysDateFmt, text, end);
}

USHORT ORINAPI DatSysTimeStr2Datetime(DATETIME *dt, const char *text, const char **end) noexcept
{
    return DatScanf(dt, datSysTimeFmt, text, end);
}

/* Hours, the time separator, minutes; either number may be left out but
 * not both.  Nothing but blanks may follow. */
static USHORT scanTimespan(STUMATCH *cur, double *out)
{
    char sep[2] = { DatTemplateSeparator(datSysTimeFmt, ':'), 0 };
    ULONG hours = 0, minutes = 0;
    int haveHours, haveMinutes = 0;

    StuMatchBlanks(cur);
    haveHours = ChrIsDigit(StuMatchQueryChar(cur)) != 0;
    if (haveHours)
        hours = StuMatchUShortN(cur, ALL_DIGITS);
    StuMatchBlanks(cur);
    if (!StuMatchMatch(cur, sep))
        return ORIN_ERR_INVALID_DATA;
    StuMatchBlanks(cur);
    if (!StuMatchEom(cur)) {
        if (!ChrIsDigit(StuMatchQueryChar(cur)))
            return ORIN_ERR_INVALID_DATA;
        minutes = StuMatchULongN(cur, ALL_DIGITS);
        haveMinutes = 1;
        if (minutes > MAX_SPAN_MINUTES)
            return ORIN_ERR_INVALID_DATA;
        StuMatchBlanks(cur);
        if (!StuMatchEom(cur))
            return ORIN_ERR_INVALID_DATA;
    }
    if (!haveHours && !haveMinutes)
        return ORIN_ERR_INVALID_DATA;
    if (out)
        *out = trunc(hours / 24.0) + ((hours % 24) + minutes / 60.0) / 24.0;
    return 0;
}

USHORT ORINAPI DatTimespanStr2DTJulian(const char *text, double *out) noexcept
{
    STUMATCH *cur;
    USHORT rc;

    if (!text)
        return ORIN_ERR_INVALID_DATA;
    rc = StuMatchOpenRealBuffer(text, &cur);
    if (rc)
        return rc;
    rc = scanTimespan(cur, out);
    StuMatchClose(cur);
    return rc;
}
