/*
 * vbf_time.cpp - conversions between system file times and the FAT date
 * and time words of the level-1 file-status record.
 *
 * The record holds local times.  Its 7-bit year field counts from 1900 and
 * wraps at 128, which the library's file calls use throughout: the years
 * 1980 to 2107 map one to one onto the 128 field values, so decoding adds
 * 128 to any year that would fall before 1980.  Times outside that span
 * are stored as 0 and decode to a zero file time.
 */
#include "vfile/vbfint.h"

namespace orin::vbf {
namespace {

constexpr int kFatYearBase = 1900;
constexpr int kFatYearWrap = 128;
constexpr int kFatFirstYear = 1980;
constexpr int kFatLastYear = 2107;

}  // namespace

void fileTimeToFat(const FILETIME &utc, ULONG *fatDate, ULONG *fatTime) noexcept
{
    FILETIME local;
    SYSTEMTIME st;

    *fatDate = 0;
    *fatTime = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st))
        return;
    if (st.wYear < kFatFirstYear || st.wYear > kFatLastYear)
        return;
    *fatDate = ULONG{st.wDay} | ULONG{st.wMonth} << 5
             | static_cast<ULONG>((st.wYear - kFatYearBase) % kFatYearWrap) << 9;
    *fatTime = ULONG{st.wSecond} / 2 | ULONG{st.wMinute} << 5 | ULONG{st.wHour} << 11;
}

FILETIME fatToFileTime(ULONG fatDate, ULONG fatTime) noexcept
{
    FILETIME utc = {};
    if (fatDate == 0)
        return utc;
    int year = kFatYearBase + static_cast<int>((fatDate >> 9) & 0x7F);
    if (year < kFatFirstYear)
        year += kFatYearWrap;
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>((fatDate >> 5) & 0x0F);
    st.wDay = static_cast<WORD>(fatDate & 0x1F);
    st.wHour = static_cast<WORD>((fatTime >> 11) & 0x1F);
    st.wMinute = static_cast<WORD>((fatTime >> 5) & 0x3F);
    st.wSecond = static_cast<WORD>((fatTime & 0x1F) * 2);
    FILETIME local;
    if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc))
        utc = FILETIME{};
    return utc;
}

}  // namespace orin::vbf
