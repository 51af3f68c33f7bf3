/*
 * dat_tables.c - the date family's process-wide tables: system date and
 * time templates, month and day names, and the two-digit-year pivot.
 *
 * Everything starts with English defaults held in constant storage.  Names
 * handed in through DatSetMonthNames/DatSetDayNames become the library's:
 * they are freed when replaced or when NULL restores the defaults.
 */
#include <stdlib.h>
#include <string.h>
#include "text/datint.h"
#include "str.h"

#define MONTHS      12
#define WEEKDAYS    7
#define DEFAULT_PIVOT 29

char datSysDateFmt[DAT_FMT_SIZE] = "[0M]/[0D]/[Y]";
char datSysTimeFmt[DAT_FMT_SIZE] = "[i]:[0m]";
USHORT datTwoDigitPivot = DEFAULT_PIVOT;

static const char *const defaultMonths[2 * MONTHS] = {
    "January", "February", "March", "April", "May", "June", "July",
    "August", "September", "October", "November", "December",
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct",
    "Nov", "Dec"
};
static const char *const defaultDays[2 * WEEKDAYS] = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
    "Saturday", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"
};

/* NULL while the defaults are in force, else the library-owned array. */
static char **ownMonths;
static char **ownDays;

void ORINAPI DatSetSysDateTimeFmt(const char *dateFmt, const char *timeFmt) noexcept
{
    /* StrNCpy cuts at size-1 bytes, never inside a double-byte pair. */
    StrNCpy(datSysDateFmt, dateFmt, sizeof datSysDateFmt - 1);
    StrNCpy(datSysTimeFmt, timeFmt, sizeof datSysTimeFmt - 1);
}

static void freeNames(char **names, int count)
{
    int i;
    if (!names) return;
    for (i = 0; i < count; i++)
        free(names[i]);
    free(names);
}

/* Takes ownership of count heap strings (the array itself is the caller's
 * and is copied), or drops back to the defaults on NULL. */
static USHORT replaceNames(char ***own, char **names, int count)
{
    char **copy = NULL;
    if (names) {
        copy = (char **)malloc(count * sizeof *copy);
        if (!copy) return ORIN_ERR_NO_MEMORY;
        memcpy(copy, names, count * sizeof *copy);
    }
    freeNames(*own, count);
    *own = copy;
    return 0;
}

USHORT ORINAPI DatSetMonthNames(char **names) noexcept
{
    return replaceNames(&ownMonths, names, 2 * MONTHS);
}

USHORT ORINAPI DatSetDayNames(char **names) noexcept
{
    return replaceNames(&ownDays, names, 2 * WEEKDAYS);
}

const char *DatMonthName(unsigned month, int abbreviated)
{
    unsigned i;
    if (month < 1) month = 1;
    if (month > MONTHS) month = MONTHS;
    i = (month - 1) + (abbreviated ? MONTHS : 0);
    return ownMonths ? ownMonths[i] : defaultMonths[i];
}

const char *DatDayName(unsigned weekday, int abbreviated)
{
    unsigned i;
    if (weekday >= WEEKDAYS) weekday = WEEKDAYS - 1;
    i = weekday + (abbreviated ? WEEKDAYS : 0);
    return ownDays ? ownDays[i] : defaultDays[i];
}

void ORINAPI DatSetTwoDigitYearMax(USHORT year) noexcept
{
    USHORT v = year >= 2000 ? (USHORT)(year - 2000) : year;
    datTwoDigitPivot = v <= 99 ? v : DEFAULT_PIVOT;
}

USHORT ORINAPI DatGetTwoDigitYearMax(void) noexcept
{
    return datTwoDigitPivot;
}

char DatTemplateSeparator(const char *tmpl, char dflt)
{
    const char *close = strchr(tmpl, ']');
    return close && close[1] ? close[1] : dflt;
}

char ORINAPI DatQuerySysDateSeparator(void) noexcept
{
    return DatTemplateSeparator(datSysDateFmt, '/');
}

char ORINAPI DatQuerySysTimeSeparator(void) noexcept
{
    return DatTemplateSeparator(datSysTimeFmt, ':');
}

/* The value letter that closes the first field tells the order: a month
 * first, a day first, or (anything else) a year first. */
USHORT ORINAPI DatQuerySysDateOrder(void) noexcept
{
    const char *close = strchr(datSysDateFmt, ']');
    if (!close || close == datSysDateFmt)
        return DAT_ORDER_MDY;
    switch (close[-1]) {
    case 'M': return DAT_ORDER_MDY;
    case 'D': return DAT_ORDER_DMY;
    default:  return DAT_ORDER_YMD;
    }
}

USHORT ORINAPI DatIsYear4Digits(void) noexcept
{
    return strchr(datSysDateFmt, 'Y') ? 1 : 0;
}
