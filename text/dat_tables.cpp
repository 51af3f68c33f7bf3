/*
 * dat_tables.cpp - the date family's process-wide tables: system date and
 * time templates, month and day names, and the two-digit-year pivot.
 *
 * Everything starts with English defaults held in constant storage.  The
 * tables are written only by the setters here, which KnlInitCP calls at
 * start-up and KnlTerminate at shutdown; all other calls read them, so
 * they need no lock as long as no setter runs while other threads format
 * or parse dates.  Names handed in through DatSetMonthNames/DatSetDayNames
 * become the library's: they are freed when replaced or when NULL
 * restores the defaults.
 */
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include "frame/knl_hooks.h"
#include "text/datint.h"
#include "str.h"

namespace orin::dat {
namespace {

constexpr USHORT kDefaultPivot = 29;
constexpr USHORT kCenturyStart = 2000;
constexpr USHORT kMaxPivot = 99;

constexpr std::array<const char *, 2 * kMonths> kDefaultMonths = {
    "January", "February", "March", "April", "May", "June", "July",
    "August", "September", "October", "November", "December",
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct",
    "Nov", "Dec"};
constexpr std::array<const char *, 2 * kWeekdays> kDefaultDays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
    "Saturday", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

/* Full names, then abbreviated ones: the English defaults, or heap
 * strings the library took over from a setter (written by the setters
 * only, see the head of the file). */
template <std::size_t N>
class NameTable {
public:
    explicit constexpr NameTable(const std::array<const char *, N> &defaults) noexcept
        : defaults_(defaults.data())
    {
    }

    const char *operator[](std::size_t i) const noexcept { return own_ ? names_[i] : defaults_[i]; }

    /* Takes over N heap strings (the array itself stays the caller's), or
     * goes back to the defaults on null; the names held so far are freed. */
    void replace(char *const *names) noexcept
    {
        if (own_)
            for (char *name : names_)
                std::free(name);
        own_ = names != nullptr;
        if (own_)
            std::copy_n(names, N, names_.begin());
    }

private:
    const char *const *defaults_;
    std::array<char *, N> names_{};
    bool own_ = false;
};

constinit NameTable<2 * kMonths> monthNames(kDefaultMonths);
constinit NameTable<2 * kWeekdays> dayNames(kDefaultDays);

}  // namespace

char datSysDateFmt[DAT_FMT_SIZE] = "[0M]/[0D]/[Y]";
char datSysTimeFmt[DAT_FMT_SIZE] = "[i]:[0m]";
USHORT datTwoDigitPivot = kDefaultPivot;

/* A month outside 1..12 is taken as the nearest one. */
const char *DatMonthName(unsigned month, bool abbreviated) noexcept
{
    if (month < 1)
        month = 1;
    if (month > kMonths)
        month = kMonths;
    return monthNames[(month - 1) + (abbreviated ? kMonths : 0)];
}

const char *DatDayName(unsigned weekday, bool abbreviated) noexcept
{
    if (weekday >= kWeekdays)
        weekday = kWeekdays - 1;
    return dayNames[weekday + (abbreviated ? kWeekdays : 0)];
}

char DatTemplateSeparator(const char *tmpl, char dflt) noexcept
{
    const char *close = std::strchr(tmpl, ']');
    return close && close[1] ? close[1] : dflt;
}

}  // namespace orin::dat

using namespace orin::dat;

void ORINAPI DatSetSysDateTimeFmt(const char *dateFmt, const char *timeFmt) noexcept
{
    /* StrNCpy cuts at size-1 bytes, never inside a double-byte pair. */
    StrNCpy(datSysDateFmt, dateFmt, sizeof datSysDateFmt - 1);
    StrNCpy(datSysTimeFmt, timeFmt, sizeof datSysTimeFmt - 1);
}

USHORT ORINAPI DatSetMonthNames(char **names) noexcept
{
    monthNames.replace(names);
    return 0;
}

USHORT ORINAPI DatSetDayNames(char **names) noexcept
{
    dayNames.replace(names);
    return 0;
}

/* A year of 2000 or later counts from 2000; a pivot above 99 falls back
 * to the default. */
void ORINAPI DatSetTwoDigitYearMax(USHORT year) noexcept
{
    USHORT v = year >= kCenturyStart ? static_cast<USHORT>(year - kCenturyStart) : year;
    datTwoDigitPivot = v <= kMaxPivot ? v : kDefaultPivot;
}

namespace orin::dat {
namespace {

/* The frame's locale set-up (KnlInitCP, KnlTerminate) fills these tables
 * through its date hooks; installed with this file, wherever it is linked. */
static_assert(DAT_FMT_SIZE == knl::kSysFormatSize);
static_assert(2 * kMonths == knl::kMonthNames && 2 * kWeekdays == knl::kDayNames);
constexpr knl::DateHooks kDateHooks = {DatSetSysDateTimeFmt, DatSetMonthNames, DatSetDayNames,
                                       DatSetTwoDigitYearMax};
[[maybe_unused]] const bool dateHooksInstalled = knl::installDateHooks(kDateHooks);

}  // namespace
}  // namespace orin::dat

USHORT ORINAPI DatGetTwoDigitYearMax(void) noexcept
{
    return datTwoDigitPivot;
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
