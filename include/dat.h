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

/* Process-wide formats and names */
void   ORINAPI DatSetSysDateTimeFmt(const char *dateFmt, const char *timeFmt);
USHORT ORINAPI DatSetMonthNames(char **names);   /* 24 heap strings or NULL */
USHORT ORINAPI DatSetDayNames(char **names);     /* 14 heap strings or NULL */
void   ORINAPI DatSetTwoDigitYearMax(USHORT year);
USHORT ORINAPI DatGetTwoDigitYearMax(void);

ORIN_END_DECLS

#endif /* DAT_H */
