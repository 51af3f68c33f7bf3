/*
 * datint.h - the date family's process-wide tables, shared inside the
 * library (formatting, parsing, the frame's locale set-up).
 */
#ifndef DATINT_H
#define DATINT_H

#include "dat.h"

#ifdef __cplusplus
extern "C" {
#endif

extern char datSysDateFmt[DAT_FMT_SIZE];
extern char datSysTimeFmt[DAT_FMT_SIZE];
extern USHORT datTwoDigitPivot;                  /* 0..99 */

#define DAT_NUMBER_TEXT 64   /* room for any one formatted number */

const char *DatMonthName(unsigned month, int abbreviated);   /* 1..12 */
const char *DatDayName(unsigned weekday, int abbreviated);   /* 0..6 */

/* Days of a month (29 for a leap February); 31 outside 1..12. */
USHORT DatDaysInMonthOf(unsigned month, unsigned year);

/* The character after the first ']' of a template, or dflt without one. */
char DatTemplateSeparator(const char *tmpl, char dflt);

#ifdef __cplusplus
}
#endif

#endif /* DATINT_H */
