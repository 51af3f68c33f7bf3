/*
 * dat_scan.cpp - text to date-time records, driven by the same bracket
 * templates that DatSprintf writes, and the time-span reader.
 *
 * DatScanf runs a match cursor (stuint.h) over the caller's text in place;
 * the cursor lives on the stack, so parsing allocates nothing.  Outside
 * brackets each template character must be the next text character,
 * except that a template blank may be missing from the text.  Inside a
 * field each value letter reads a number of at most a fixed count of
 * digits (blanks before it are skipped, so blank-padded output reads back)
 * and checks its range; flag characters and name letters have no effect.
 * Years of two digits are placed by the two-digit-year window: above the
 * pivot in the 1900s, else in the 2000s.  Once the whole template matched,
 * a day that was read must exist in its month.
 */
#include <cmath>
#include <cstring>
#include "text/datint.h"
#include "text/stuint.h"
#include "str.h"

namespace orin::dat {
namespace {

using stu::Cursor;

constexpr ULONG kMaxDay = 31;
constexpr ULONG kMaxMonth = 12;
constexpr ULONG kMaxWeekday = 7;
constexpr ULONG kMaxHour = 23;
constexpr ULONG kHourWrap = 24;          // read as hour 0
constexpr ULONG kMaxMinSec = 59;
constexpr ULONG kMaxSpanMinutes = 60;
constexpr ULONG kFirstFullYear = 1582;   // smaller years of 3+ digits are refused
constexpr ULONG kTwoDigitLimit = 100;
constexpr ULONG kMaxYear = 0xFFFF;
constexpr BYTE kNoon = 12;
constexpr unsigned kYearDigits = 4;
constexpr unsigned kFieldDigits = 2;
constexpr unsigned kWeekdayDigits = 1;
constexpr unsigned kAllDigits = 0xFFFF;

bool digitAt(Cursor &cur) noexcept
{
    return ChrIsDigit(cur.queryChar()) != 0;
}

/* Reads up to maxDigits digits after optional blanks; at least one digit
 * must be there. */
bool readNumber(Cursor &cur, unsigned maxDigits, ULONG &value) noexcept
{
    cur.blanks();
    if (!digitAt(cur))
        return false;
    value = cur.readDigits(maxDigits, stu::kDecimalBase);
    return true;
}

bool readInRange(Cursor &cur, unsigned maxDigits, ULONG lo, ULONG hi, ULONG &value) noexcept
{
    return readNumber(cur, maxDigits, value) && value >= lo && value <= hi;
}

/* The parse of one text against one template. */
class Scanner {
public:
    Scanner(const char *text, DATETIME &dt) noexcept : cur_(text), dt_(dt) {}

    USHORT run(const char *tmpl) noexcept;
    const char *end() const noexcept { return cur_.ptr(); }
    /* A day that was read must exist in its month. */
    bool dayExists() const noexcept
    {
        return !dayRead_ || dt_.day <= DatDaysInMonthOf(dt_.month, dt_.year);
    }

private:
    bool scanLetter(char letter) noexcept;
    bool applyYearRule(ULONG year) noexcept;
    bool readShortYear() noexcept;
    bool readHour() noexcept;
    bool readDayHalf() noexcept;
    bool readByte(unsigned maxDigits, ULONG lo, ULONG hi, BYTE &field) noexcept
    {
        ULONG v;
        if (!readInRange(cur_, maxDigits, lo, hi, v))
            return false;
        field = static_cast<BYTE>(v);
        return true;
    }

    Cursor cur_;
    DATETIME &dt_;
    bool dayRead_ = false;
};

/* Places a year that was read: two-digit years by the window, and years
 * between 100 and the calendar switch are refused. */
bool Scanner::applyYearRule(ULONG year) noexcept
{
    if (year < kFirstFullYear && year >= kTwoDigitLimit)
        return false;
    if (year > kMaxYear)
        return false;
    if (year < kTwoDigitLimit)
        year += year > datTwoDigitPivot ? 1900 : 2000;
    dt_.year = static_cast<USHORT>(year);
    return true;
}

/* Two digits, and two more when a digit follows: then the first pair is
 * the century. */
bool Scanner::readShortYear() noexcept
{
    ULONG first;
    if (!readNumber(cur_, kFieldDigits, first))
        return false;
    if (digitAt(cur_))
        first = first * 100 + cur_.readDigits(kFieldDigits, stu::kDecimalBase);
    return applyYearRule(first);
}

bool Scanner::readHour() noexcept
{
    ULONG v;
    if (!readNumber(cur_, kFieldDigits, v))
        return false;
    if (v == kHourWrap)
        v = 0;
    if (v > kMaxHour)
        return false;
    dt_.hours = static_cast<BYTE>(v);
    return true;
}

/* "pm" moves a morning hour to the afternoon; "am" with an afternoon hour
 * is a contradiction. */
bool Scanner::readDayHalf() noexcept
{
    if (cur_.match("pm", true)) {
        if (dt_.hours < kNoon)
            dt_.hours += kNoon;
        return true;
    }
    if (cur_.match("am", true))
        return dt_.hours < kNoon;
    return false;
}

/* One value letter of a field; false when the text does not fit. */
bool Scanner::scanLetter(char letter) noexcept
{
    ULONG v;
    switch (letter) {
    case 'D':
        if (!readByte(kFieldDigits, 1, kMaxDay, dt_.day))
            return false;
        dayRead_ = true;
        return true;
    case 'M': return readByte(kFieldDigits, 1, kMaxMonth, dt_.month);
    case 'W': return readByte(kWeekdayDigits, 0, kMaxWeekday, dt_.weekday);
    case 'Y': return readNumber(cur_, kYearDigits, v) && applyYearRule(v);
    case 'Z': return readShortYear();
    case 'h':
    case 'i': return readHour();
    case 'm': return readByte(kFieldDigits, 0, kMaxMinSec, dt_.minutes);
    case 's': return readByte(kFieldDigits, 0, kMaxMinSec, dt_.seconds);
    case 'A':
    case 'a': return readDayHalf();
    default:  return true;   // flags and letters without a reading
    }
}

/* Byte length of the template character at p (a double-byte character
 * is matched whole). */
std::size_t templateCharLen(const char *p) noexcept
{
    return p[1] ? MbsLen(p) : 1;
}

USHORT Scanner::run(const char *tmpl) noexcept
{
    bool inField = false;
    for (const char *p = tmpl; *p;) {
        if (inField) {
            if (*p == ']') {
                inField = false;
            } else if (*p == '[') {
                cur_.getChar();
                inField = false;
            } else if (!scanLetter(*p)) {
                return ORIN_ERR_INVALID_DATA;
            }
            p++;
        } else if (*p == '[') {
            inField = true;
            p++;
        } else {
            char one[3] = {0, 0, 0};
            std::size_t len = templateCharLen(p);
            std::memcpy(one, p, len);
            if (!cur_.match(one, false) && *p != ' ')
                return ORIN_ERR_INVALID_DATA;
            p += len;
        }
    }
    return 0;
}

/* Hours, the time separator, minutes; either number may be left out but
 * not both.  Nothing but blanks may follow. */
USHORT scanTimespan(Cursor &cur, double *out) noexcept
{
    char sep[2] = {DatTemplateSeparator(datSysTimeFmt, ':'), 0};
    ULONG hours = 0, minutes = 0;
    bool haveMinutes = false;

    cur.blanks();
    bool haveHours = digitAt(cur);
    if (haveHours)
        hours = static_cast<USHORT>(cur.readDigits(kAllDigits, stu::kDecimalBase));
    cur.blanks();
    if (!cur.match(sep, false))
        return ORIN_ERR_INVALID_DATA;
    cur.blanks();
    if (!cur.atEnd()) {
        if (!digitAt(cur))
            return ORIN_ERR_INVALID_DATA;
        minutes = cur.readDigits(kAllDigits, stu::kDecimalBase);
        haveMinutes = true;
        if (minutes > kMaxSpanMinutes)
            return ORIN_ERR_INVALID_DATA;
        cur.blanks();
        if (!cur.atEnd())
            return ORIN_ERR_INVALID_DATA;
    }
    if (!haveHours && !haveMinutes)
        return ORIN_ERR_INVALID_DATA;
    if (out)
        *out = std::trunc(hours / 24.0) + ((hours % 24) + minutes / 60.0) / 24.0;
    return 0;
}

}  // namespace
}  // namespace orin::dat

using namespace orin::dat;

USHORT ORINAPI DatScanf(DATETIME *dt, const char *tmpl, const char *text, const char **end) noexcept
{
    if (!dt || !tmpl)
        return ORIN_ERR_INVALID_PARAM;
    *dt = DATETIME{};
    if (!text)
        return ORIN_ERR_INVALID_DATA;
    Scanner scan(text, *dt);
    USHORT rc = scan.run(tmpl);
    if (end)
        *end = scan.end();
    if (rc == 0 && !scan.dayExists())
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

USHORT ORINAPI DatTimespanStr2DTJulian(const char *text, double *out) noexcept
{
    if (!text)
        return ORIN_ERR_INVALID_DATA;
    orin::stu::Cursor cur(text);
    return scanTimespan(cur, out);
}
