/*
 * datint.h - the date family's process-wide tables and shared helpers,
 * used inside the library (formatting, parsing, the frame's locale set-up
 * and its tests).
 *
 * The tables are written at start-up (KnlInitCP) and at shutdown
 * (KnlTerminate), or by the Dat setters; every other call only reads them,
 * so any number of threads may format and parse dates at once as long as
 * no setter runs at the same time.
 */
#ifndef ORIN_TEXT_DATINT_H
#define ORIN_TEXT_DATINT_H

#include <cstddef>
#include "dat.h"

/* The record's layout is fixed by the interface (DosGetDateTime fills it). */
static_assert(sizeof(DATETIME) == 12, "DATETIME is 12 bytes");
static_assert(offsetof(DATETIME, hours) == 0 && offsetof(DATETIME, hundredths) == 3);
static_assert(offsetof(DATETIME, day) == 4 && offsetof(DATETIME, month) == 5);
static_assert(offsetof(DATETIME, year) == 6 && offsetof(DATETIME, timezone) == 8);
static_assert(offsetof(DATETIME, weekday) == 10 && offsetof(DATETIME, filler) == 11);

namespace orin::dat {

inline constexpr std::size_t kNumberText = 64;   // room for any one formatted number
inline constexpr unsigned kMonths = 12;
inline constexpr unsigned kWeekdays = 7;

/* The system templates (written by DatSetSysDateTimeFmt only). */
extern char datSysDateFmt[DAT_FMT_SIZE];
extern char datSysTimeFmt[DAT_FMT_SIZE];
/* The two-digit-year pivot 0..99 (written by DatSetTwoDigitYearMax only). */
extern USHORT datTwoDigitPivot;

const char *DatMonthName(unsigned month, bool abbreviated) noexcept;   // 1..12
const char *DatDayName(unsigned weekday, bool abbreviated) noexcept;   // 0..6

/* Days of a month (29 for a leap February); 31 outside 1..12. */
USHORT DatDaysInMonthOf(unsigned month, unsigned year) noexcept;

/* The character after the first ']' of a template, or dflt without one. */
char DatTemplateSeparator(const char *tmpl, char dflt) noexcept;

}  // namespace orin::dat

/* The frame and its tests read the tables under their old names. */
using orin::dat::datSysDateFmt;
using orin::dat::datSysTimeFmt;
using orin::dat::DatMonthName;
using orin::dat::DatDayName;

#endif  // ORIN_TEXT_DATINT_H
