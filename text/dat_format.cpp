/*
 * dat_format.c - date-time records to text.
 *
 * DatSprintf walks a bracket template: characters outside brackets are
 * copied; "[...]" is a field that formats one value.  Inside a field the
 * flag characters (blank: width 2 with blanks, '0': width 2 with zeros,
 * '@': abbreviated names) are collected and each value letter replaces the
 * field's text, so when a field holds several letters the last one wins.
 * ']' writes the field's text; '[' inside a field writes a literal '[' and
 * ends the field.  A field left open at the end of the template is dropped.
 *
 * Output goes through a small writer that counts against the caller's
 * maximum and never splits a double-byte character, so a locale's month
 * name cut at the limit still leaves valid text.  The other calls here are
 * DatSprintf with the system templates, the fixed DatToStr layout and the
 * time-span and "$DT" display forms.
 */
#include <math.h>
#include <stdio.h>
#include <string.h>
#include "text/datint.h"
#include "frame/knlint.h"
#include "str.h"

#define HOURS_PER_HALF_DAY 12
#define FIELD_TEXT         DAT_NUMBER_TEXT
#define FIRST_DATE_VALUE   577734.0     /* DTJulian of 1582-10-04: dates from here */
#define DEFAULT_TIME_SEP   ':'
#define SYS_TEXT           512          /* one system date or time text */
#define HUNDREDTHS_PER_DAY 8640000.0
#define HUNDREDTHS_PER_HOUR 360000L
#define HUNDREDTHS_PER_MIN 6000L

typedef struct _DATWRITER {
    char  *buf;
    size_t max;      /* characters that may be written, terminator not counted */
    size_t len;
} DATWRITER;

/* Appends text up to the limit; a double-byte character goes in whole or
 * not at all.  Returns 0 once the limit is reached. */
static int writeText(DATWRITER *w, const char *text)
{
    while (*text) {
        size_t step = (KNL_ISLEAD(*text) && text[1]) ? 2 : 1;
        if (w->len + step > w->max)
            return 0;
        memcpy(w->buf + w->len, text, step);
        w->len += step;
        text += step;
    }
    return 1;
}

/* Field flags collected before the value letter. */
enum { PAD_NONE, PAD_BLANK, PAD_ZERO };

static void formatNumber(char *out, int value, int pad)
{
    if (pad == PAD_BLANK)
        sprintf(out, "%2d", value);
    else if (pad == PAD_ZERO)
        sprintf(out, "%02d", value);
    else
        sprintf(out, "%d", value);
}

static int clampInt(int v, int lo, int hi)
{
    return v < lo ? lo : v > hi ? hi : v;
}

/* Names of the record's month and weekday, limited to their ranges. */
static const char *monthName(const DATETIME *dt, int abbreviated)
{
    return DatMonthName(clampInt(dt->month, 1, 12), abbreviated);
}

static const char *dayName(const DATETIME *dt, int abbreviated)
{
    return DatDayName(clampInt(dt->weekday, 0, 6), abbreviated);
}

/* Sets the field's text for one value letter; other characters leave it
 * unchanged. */
static void formatLetter(char *out, char letter, int pad, int abbreviated,
                         const DATETIME *dt)
{
    int hour12;

    switch (letter) {
    case 'D': formatNumber(out, clampInt(dt->day, 1, 31), pad); break;
    case 'M': formatNumber(out, clampInt(dt->month, 1, 12), pad); break;
    case 'N': StrNCpy(out, monthName(dt, abbreviated), FIELD_TEXT - 1); break;
    case 'V': StrNCpy(out, dayName(dt, abbreviated), FIELD_TEXT - 1); break;
    case 'W': formatNumber(out, dt->weekday % 7, pad); break;
    case 'Y': sprintf(out, "%04d", dt->year); break;
    case 'Z': formatNumber(out, dt->year % 100, pad == PAD_BLANK ? PAD_BLANK : PAD_ZERO); break;
    case 'h':
        hour12 = dt->hours % HOURS_PER_HALF_DAY;
        formatNumber(out, hour12 == 0 ? HOURS_PER_HALF_DAY : hour12, pad);
        break;
    case 'i': formatNumber(out, dt->hours, pad); break;
    case 'm': formatNumber(out, dt->minutes, pad); break;
    case 's': formatNumber(out, dt->seconds, pad); break;
    case 'A': strcpy(out, dt->hours < HOURS_PER_HALF_DAY ? "AM" : "PM"); break;
    case 'a': strcpy(out, dt->hours < HOURS_PER_HALF_DAY ? "am" : "pm"); break;
    default: break;
    }
}

char *ORINAPI DatSprintf(char *buf, USHORT maxChars, const char *tmpl, const DATETIME *dt) noexcept
{
    DATWRITER w;
    char field[FIELD_TEXT];
    int inField = 0, pad = PAD_NONE, abbreviated = 0;
    const char *p;

    if (!buf)
        return NULL;
    w.buf = buf;
    w.max = maxChars;
    w.len = 0;
    if (!tmpl || !dt) {
        buf[0] = 0;
        return buf;
    }

    for (p = tmpl; *p; p++) {
        if (!inField) {
            char one[3] = { *p, 0, 0 };
            if (*p == '[') {
                inField = 1;
                pad = PAD_NONE;
                abbreviated = 0;
                field[0] = 0;
                continue;
            }
            if (KNL_ISLEAD(*p) && p[1])
                one[1] = *++p;
            if (!writeText(&w, one))
                break;
            continue;
        }
        if (*p == ']' || *p == '[') {
            inField = 0;
            if (!writeText(&w, *p == '[' ? "[" : field))
                break;
            continue;
        }
        if (*p == ' ')
            pad = PAD_BLANK;
        else if (*p == '0')
            pad = PAD_ZERO;
        else if (*p == '@')
            abbreviated = 1;
        else
            formatLetter(field, *p, pad, abbreviated, dt);
    }
    buf[w.len] = 0;
    return buf;
}

char *ORINAPI DatToSysDateStr(char *buf, USHORT maxChars, const DATETIME *dt) noexcept
{
    return DatSprintf(buf, maxChars, datSysDateFmt, dt);
}

char *ORINAPI DatToSysTimeStr(char *buf, USHORT maxChars, const DATETIME *dt) noexcept
{
    return DatSprintf(buf, maxChars, datSysTimeFmt, dt);
}

/* Copies a finished text into a buffer of size bytes; StrNCpy keeps
 * double-byte characters whole. */
static char *copyBounded(char *buf, USHORT size, const char *text)
{
    if (!buf || size == 0)
        return buf;
    return StrNCpy(buf, text, (size_t)size - 1);
}

char *ORINAPI DatToSysDateTimeStr(char *buf, USHORT size, const DATETIME *dt) noexcept
{
    char date[SYS_TEXT], time[SYS_TEXT];
    char both[sizeof date + sizeof time + 2];

    DatToSysDateStr(date, sizeof date - 1, dt);
    DatToSysTimeStr(time, sizeof time - 1, dt);
    sprintf(both, "%s %s", date, time);
    return copyBounded(buf, size, both);
}

char *ORINAPI DatToStr(char *buf, USHORT size, const DATETIME *dt) noexcept
{
    char text[2 * FIELD_TEXT + DAT_NUMBER_TEXT];
    char day[FIELD_TEXT], month[FIELD_TEXT];

    if (!dt)
        return copyBounded(buf, size, "");
    StrNCpy(day, dayName(dt, 1), sizeof day - 1);
    StrNCpy(month, monthName(dt, 1), sizeof month - 1);
    snprintf(text, sizeof text, "%s %s %d %02d:%02d:%02d %d", day, month,
             dt->day, dt->hours, dt->minutes, dt->seconds, dt->year);
    text[sizeof text - 1] = 0;
    return copyBounded(buf, size, text);
}

USHORT ORINAPI DatDTJulianStr2SysDateTimeStr(char *buf, USHORT size, const char *text) noexcept
{
    double v;
    DATETIME dt;
    char out[DAT_NUMBER_TEXT];

    if (DatStr2DTJulian(text, &v) != 0)
        return ORIN_ERR_GENERAL;
    if (!buf)
        return ORIN_ERR_INVALID_PARAM;
    memset(&dt, 0, sizeof dt);
    if (v >= FIRST_DATE_VALUE)
        DatDTJulian2Datetime(&dt, v);
    if (size == 0)
        return 0;
    if (v >= FIRST_DATE_VALUE) {
        DatToSysDateStr(buf, (USHORT)(size - 1), &dt);
        return 0;
    }
    if (v < 0.0) {
        sprintf(out, "%.13lG", v);
    } else {
        /* Whole hours of the span, the days included; rounding to the
         * hundredth as the record conversion does. */
        long long t = (long long)trunc(v * HUNDREDTHS_PER_DAY + 0.5);
        sprintf(out, "%lld:%02d", t / HUNDREDTHS_PER_HOUR,
                (int)((t % HUNDREDTHS_PER_HOUR) / HUNDREDTHS_PER_MIN));
    }
    copyBounded(buf, size, out);
    return 0;
}

USHORT ORINAPI DatDTJulian2TimespanStr(double value, char *buf, USHORT size) noexcept
{
    char out[DAT_NUMBER_TEXT];
    USHORT hours = (USHORT)(long long)trunc(24.0 * value);
    USHORT minutes = (USHORT)((long long)trunc(1440.0 * value) % 60);
    char sep = DatTemplateSeparator(datSysTimeFmt, DEFAULT_TIME_SEP);

    if (!buf || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    sprintf(out, strstr(datSysTimeFmt, "0m") ? "%d%c%02d" : "%d%c%d", hours, sep, minutes);
    copyBounded(buf, size, out);
    return 0;
}
