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

const char *DatMonthName(unsigned month, int abbreviated);   /* 1..12 */
const char *DatDayName(unsigned weekday, int abbreviated);   /* 0..6 */

#ifdef __cplusplus
}
#endif

#endif /* DATINT_H */
