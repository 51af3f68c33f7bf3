/*
 * dat_format.cpp - date-time records to text.
 *
 * DatSprintf walks a bracket template: characters outside brackets are
 * copied; "[...]" is a field that formats one value.  Inside a field the
 * flag characters (blank: width 2 with blanks, '0': width 2 with zeros,
 * '@': abbreviated names) are collected and each value letter replaces the
 * field's text, so when a field holds several letters the last one wins.
 * ']' writes the field's text; '[' inside a field writes a literal '[' and
 * ends the field.  A field left open at the end of the template is dropped.
 * Numbers are written as "%d", "%2d" and "%02d" would write them (every
 * value here is non-negative), without the C library's formatter.
 *
 * Output goes through a small writer that counts against the caller's
 * maximum and never splits a double-byte character, so a locale's month
 * name cut at the limit still leaves valid text.  The other calls here are
 * DatSprintf with the system templates, the fixed DatToStr layout and the
 * time-span and "$DT" display forms.
 */
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include "text/datint.h"
#include "frame/knl_dbcs.h"
#include "frame/knlint.h"
#include "str.h"

namespace orin::dat {
namespace {

constexpr int kHoursPerHalfDay = 12;
constexpr double kFirstDateValue = 577734.0;   // DTJulian of 1582-10-04: dates from here
constexpr char kDefaultTimeSep = ':';
constexpr std::size_t kSysText = 512;           // one system date or time text
constexpr double kHundredthsPerDay = 8640000.0;
constexpr long long kHundredthsPerHour = 360000;
constexpr long long kHundredthsPerMinute = 6000;
constexpr unsigned kYearWidth = 4;
constexpr unsigned kPaddedWidth = 2;

using FieldText = std::array<char, kNumberText>;

/* The caller's buffer with its maximum of characters (the terminator not
 * counted). */
class Writer {
public:
    Writer(char *buf, std::size_t max) noexcept : buf_(buf), max_(max) {}

    /* Appends one character of len bytes if it fits; false at the limit. */
    bool put(const char *p, std::size_t len) noexcept
    {
        if (len_ + len > max_)
            return false;
        std::memcpy(buf_ + len_, p, len);
        len_ += len;
        return true;
    }

    /* Appends text up to the limit, whole characters only. */
    bool write(const char *text) noexcept
    {
        for (std::size_t step; *text; text += step) {
            step = orin::knl::charBytes(text);
            if (!put(text, step))
                return false;
        }
        return true;
    }

    void terminate() noexcept { buf_[len_] = 0; }

private:
    char *buf_;
    std::size_t max_;
    std::size_t len_ = 0;
};

/* Field flags collected before the value letter. */
enum class Pad { None, Blank, Zero };

/* value in decimal, padded on the left with fill to width characters. */
void formatUnsigned(char *out, unsigned value, unsigned width, char fill) noexcept
{
    char digits[12];
    unsigned n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    for (; width > n; width--)
        *out++ = fill;
    while (n)
        *out++ = digits[--n];
    *out = 0;
}

void formatNumber(char *out, unsigned value, Pad pad) noexcept
{
    switch (pad) {
    case Pad::Blank: formatUnsigned(out, value, kPaddedWidth, ' '); break;
    case Pad::Zero:  formatUnsigned(out, value, kPaddedWidth, '0'); break;
    case Pad::None:  formatUnsigned(out, value, 0, '0'); break;
    }
}

unsigned clampTo(unsigned v, unsigned lo, unsigned hi) noexcept
{
    return v < lo ? lo : v > hi ? hi : v;
}

/* Names of the record's month and weekday, limited to their ranges. */
const char *monthName(const DATETIME &dt, bool abbreviated) noexcept
{
    return DatMonthName(clampTo(dt.month, 1, kMonths), abbreviated);
}

const char *dayName(const DATETIME &dt, bool abbreviated) noexcept
{
    return DatDayName(clampTo(dt.weekday, 0, kWeekdays - 1), abbreviated);
}

/* Sets the field's text for one value letter; other characters leave it
 * unchanged. */
void formatLetter(FieldText &field, char letter, Pad pad, bool abbreviated,
                  const DATETIME &dt) noexcept
{
    char *out = field.data();
    switch (letter) {
    case 'D': formatNumber(out, clampTo(dt.day, 1, 31), pad); break;
    case 'M': formatNumber(out, clampTo(dt.month, 1, kMonths), pad); break;
    case 'N': StrNCpy(out, monthName(dt, abbreviated), field.size() - 1); break;
    case 'V': StrNCpy(out, dayName(dt, abbreviated), field.size() - 1); break;
    case 'W': formatNumber(out, dt.weekday % kWeekdays, pad); break;
    case 'Y': formatUnsigned(out, dt.year, kYearWidth, '0'); break;
    case 'Z': formatNumber(out, dt.year % 100, pad == Pad::Blank ? Pad::Blank : Pad::Zero); break;
    case 'h': {
        unsigned hour12 = dt.hours % kHoursPerHalfDay;
        formatNumber(out, hour12 == 0 ? kHoursPerHalfDay : hour12, pad);
        break;
    }
    case 'i': formatNumber(out, dt.hours, pad); break;
    case 'm': formatNumber(out, dt.minutes, pad); break;
    case 's': formatNumber(out, dt.seconds, pad); break;
    case 'A': std::strcpy(out, dt.hours < kHoursPerHalfDay ? "AM" : "PM"); break;
    case 'a': std::strcpy(out, dt.hours < kHoursPerHalfDay ? "am" : "pm"); break;
    default: break;
    }
}

/* Walks the template (see the head of the file) into the writer. */
void formatTemplate(Writer &w, const char *tmpl, const DATETIME &dt) noexcept
{
    FieldText field;
    bool inField = false, abbreviated = false;
    Pad pad = Pad::None;

    for (const char *p = tmpl; *p; p++) {
        if (!inField) {
            if (*p == '[') {
                inField = true;
                pad = Pad::None;
                abbreviated = false;
                field[0] = 0;
                continue;
            }
            std::size_t len = orin::knl::charBytes(p);
            if (!w.put(p, len))
                return;
            p += len - 1;
            continue;
        }
        if (*p == ']' || *p == '[') {
            inField = false;
            if (!w.write(*p == '[' ? "[" : field.data()))
                return;
            continue;
        }
        if (*p == ' ')
            pad = Pad::Blank;
        else if (*p == '0')
            pad = Pad::Zero;
        else if (*p == '@')
            abbreviated = true;
        else
            formatLetter(field, *p, pad, abbreviated, dt);
    }
}

/* Copies a finished text into a buffer of size bytes; StrNCpy keeps
 * double-byte characters whole. */
char *copyBounded(char *buf, USHORT size, const char *text) noexcept
{
    if (!buf || size == 0)
        return buf;
    return StrNCpy(buf, text, static_cast<std::size_t>(size) - 1);
}

}  // namespace
}  // namespace orin::dat

using namespace orin::dat;

char *ORINAPI DatSprintf(char *buf, USHORT maxChars, const char *tmpl, const DATETIME *dt) noexcept
{
    if (!buf)
        return nullptr;
    Writer w(buf, maxChars);
    if (tmpl && dt)
        formatTemplate(w, tmpl, *dt);
    w.terminate();
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

char *ORINAPI DatToSysDateTimeStr(char *buf, USHORT size, const DATETIME *dt) noexcept
{
    std::array<char, kSysText> date, time;
    std::array<char, 2 * kSysText + 2> both;

    DatToSysDateStr(date.data(), static_cast<USHORT>(date.size() - 1), dt);
    DatToSysTimeStr(time.data(), static_cast<USHORT>(time.size() - 1), dt);
    std::snprintf(both.data(), both.size(), "%s %s", date.data(), time.data());
    return copyBounded(buf, size, both.data());
}

/* "Sun Jan 2 03:04:05 2000": abbreviated names, day, time and year. */
char *ORINAPI DatToStr(char *buf, USHORT size, const DATETIME *dt) noexcept
{
    std::array<char, 2 * kNumberText + kNumberText> text;
    FieldText day, month;

    if (!dt)
        return copyBounded(buf, size, "");
    StrNCpy(day.data(), dayName(*dt, true), day.size() - 1);
    StrNCpy(month.data(), monthName(*dt, true), month.size() - 1);
    std::snprintf(text.data(), text.size(), "%s %s %d %02d:%02d:%02d %d", day.data(), month.data(),
                  dt->day, dt->hours, dt->minutes, dt->seconds, dt->year);
    text.back() = 0;
    return copyBounded(buf, size, text.data());
}

/* A date value is written with the system date template (size as the
 * maximum of characters), a negative one as a number, a time span as
 * hours and minutes. */
USHORT ORINAPI DatDTJulianStr2SysDateTimeStr(char *buf, USHORT size, const char *text) noexcept
{
    double v;
    if (DatStr2DTJulian(text, &v) != 0)
        return ORIN_ERR_GENERAL;
    if (!buf)
        return ORIN_ERR_INVALID_PARAM;
    if (size == 0)
        return 0;
    if (v >= kFirstDateValue) {
        DATETIME dt{};
        DatDTJulian2Datetime(&dt, v);
        DatToSysDateStr(buf, static_cast<USHORT>(size - 1), &dt);
        return 0;
    }
    std::array<char, kNumberText> out;
    if (v < 0.0) {
        std::snprintf(out.data(), out.size(), "%.13lG", v);
    } else {
        /* Whole hours of the span, the days included; rounding to the
         * hundredth as the record conversion does. */
        auto t = static_cast<long long>(std::trunc(v * kHundredthsPerDay + 0.5));
        std::snprintf(out.data(), out.size(), "%lld:%02d", t / kHundredthsPerHour,
                      static_cast<int>((t % kHundredthsPerHour) / kHundredthsPerMinute));
    }
    copyBounded(buf, size, out.data());
    return 0;
}

/* Hours, the time template's separator and minutes, the minutes with two
 * digits when the template pads them. */
USHORT ORINAPI DatDTJulian2TimespanStr(double value, char *buf, USHORT size) noexcept
{
    if (!buf || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    auto hours = static_cast<USHORT>(static_cast<long long>(std::trunc(24.0 * value)));
    auto minutes = static_cast<USHORT>(static_cast<long long>(std::trunc(1440.0 * value)) % 60);
    char sep = DatTemplateSeparator(datSysTimeFmt, kDefaultTimeSep);
    std::array<char, kNumberText> out;
    std::snprintf(out.data(), out.size(), std::strstr(datSysTimeFmt, "0m") ? "%d%c%02d" : "%d%c%d",
                  hours, sep, minutes);
    copyBounded(buf, size, out.data());
    return 0;
}
