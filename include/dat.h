/*
 * dat.h - dates and times: the DATETIME record, Julian and DTJulian day
 * values, bracket templates, and the process-wide system formats, month
 * and day names and two-digit-year window that KnlInitCP sets from the
 * user's locale.
 */
#ifndef DAT_H
#define DAT_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

#define DAT_FMT_SIZE 40   /* system date/time template buffers */

/* DatQuerySysDateOrder answers */
#define DAT_ORDER_MDY 0
#define DAT_ORDER_DMY 1
#define DAT_ORDER_YMD 2

#pragma pack(push, 1)
typedef struct _DATETIME {
    BYTE   hours;
    BYTE   minutes;
    BYTE   seconds;
    BYTE   hundredths;
    BYTE   day;
    BYTE   month;
    USHORT year;
    SHORT  timezone;     /* -1 when unknown */
    BYTE   weekday;      /* 0 = Sunday */
    BYTE   filler;
} DATETIME;
#pragma pack(pop)

/* Calendar arithmetic.  Julian values count days from the chronological
 * Julian day 0 (2000-01-01 is 2451545.0); DTJulian values from 0001-01-01
 * (2000-01-01 is 730119.0; a pure time of day is its fraction + 1e-6). */
USHORT ORINAPI DatIsLeapYear(const DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI DatQueryDaysInMonth(const DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI DatQueryDayNrInYear(const DATETIME *dt) ORIN_NOEXCEPT;
double ORINAPI DatDatetime2Julian(const DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI DatJulian2Datetime(DATETIME *dt, double julian) ORIN_NOEXCEPT;
double ORINAPI DatDatetime2DTJulian(const DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI DatDTJulian2Datetime(DATETIME *dt, double dtJulian) ORIN_NOEXCEPT;
USHORT ORINAPI DatAddDays(DATETIME *dt, LONG days) ORIN_NOEXCEPT;

/* "$DT" text of a DTJulian value: 0, or 0xFFFF for other text. */
USHORT ORINAPI DatStr2DTJulian(const char *text, double *value) ORIN_NOEXCEPT;
USHORT ORINAPI DatDTJulian2Str(double value, char *buf, USHORT size) ORIN_NOEXCEPT;

/* Bracket templates.  DatSprintf and the DatToSys{Date,Time}Str calls take
 * the maximum number of characters (the buffer needs one byte more); the
 * other calls take the buffer size.  Parsers answer 0 or 13. */
char  *ORINAPI DatSprintf(char *buf, USHORT maxChars, const char *tmpl, const DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI DatScanf(DATETIME *dt, const char *tmpl, const char *text, const char **end) ORIN_NOEXCEPT;
char  *ORINAPI DatToSysDateStr(char *buf, USHORT maxChars, const DATETIME *dt) ORIN_NOEXCEPT;
char  *ORINAPI DatToSysTimeStr(char *buf, USHORT maxChars, const DATETIME *dt) ORIN_NOEXCEPT;
char  *ORINAPI DatToSysDateTimeStr(char *buf, USHORT size, const DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI DatSysDateStr2Datetime(DATETIME *dt, const char *text, const char **end) ORIN_NOEXCEPT;
USHORT ORINAPI DatSysTimeStr2Datetime(DATETIME *dt, const char *text, const char **end) ORIN_NOEXCEPT;
char  *ORINAPI DatToStr(char *buf, USHORT size, const DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI DatDTJulianStr2SysDateTimeStr(char *buf, USHORT size, const char *text) ORIN_NOEXCEPT;
USHORT ORINAPI DatTimespanStr2DTJulian(const char *text, double *value) ORIN_NOEXCEPT;
USHORT ORINAPI DatDTJulian2TimespanStr(double value, char *buf, USHORT size) ORIN_NOEXCEPT;

/* Process-wide formats and names */
void   ORINAPI DatSetSysDateTimeFmt(const char *dateFmt, const char *timeFmt) ORIN_NOEXCEPT;
USHORT ORINAPI DatSetMonthNames(char **names) ORIN_NOEXCEPT;   /* 24 heap strings or NULL */
USHORT ORINAPI DatSetDayNames(char **names) ORIN_NOEXCEPT;     /* 14 heap strings or NULL */
void   ORINAPI DatSetTwoDigitYearMax(USHORT year) ORIN_NOEXCEPT;
USHORT ORINAPI DatGetTwoDigitYearMax(void) ORIN_NOEXCEPT;
char   ORINAPI DatQuerySysDateSeparator(void) ORIN_NOEXCEPT;
char   ORINAPI DatQuerySysTimeSeparator(void) ORIN_NOEXCEPT;
USHORT ORINAPI DatQuerySysDateOrder(void) ORIN_NOEXCEPT;
USHORT ORINAPI DatIsYear4Digits(void) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* DAT_H */
