/*
 * vbf_time.c - conversions between system file times and the FAT date and
 * time words of the level-1 file-status record.
 *
 * The record holds local times.  Its 7-bit year field counts from 1900 and
 * wraps at 128, which the library's file calls use throughout: the years
 * 1980 to 2107 map one to one onto the 128 field values, so decoding adds
 * 128 to any year that would fall before 1980.  Times outside that span
 * are stored as 0 and decode to a zero file time.
 */
#include "vfile/vbfint.h"

#define FAT_YEAR_BASE   1900
#define FAT_YEAR_WRAP   128
#define FAT_FIRST_YEAR  1980
#define FAT_LAST_YEAR   2107

void VbfFileTimeToFat(const FILETIME *utc, ULONG *fatDate, ULONG *fatTime)
{
    FILETIME local;
    SYSTEMTIME st;

    *fatDate = 0;
    *fatTime = 0;
    if (!FileTimeToLocalFileTime(utc, &local) || !FileTimeToSystemTime(&local, &st))
        return;
    if (st.wYear < FAT_FIRST_YEAR || st.wYear > FAT_LAST_YEAR)
        return;
    *fatDate = (ULONG)st.wDay | (ULONG)st.wMonth << 5
             | (ULONG)((st.wYear - FAT_YEAR_BASE) % FAT_YEAR_WRAP) << 9;
    *fatTime = (ULONG)(st.wSecond / 2) | (ULONG)st.wMinute << 5 | (ULONG)st.wHour << 11;
}

void VbfFatToFileTime(ULONG fatDate, ULONG fatTime, FILETIME *utc)
{
    SYSTEMTIME st = {0};
    FILETIME local;
    int year = FAT_YEAR_BASE + (int)((fatDate >> 9) & 0x7F);

    utc->dwLowDateTime = utc->dwHighDateTime = 0;
    if (fatDate == 0)
        return;
    if (year < FAT_FIRST_YEAR)
        year += FAT_YEAR_WRAP;
    st.wYear = (WORD)year;
    st.wMonth = (WORD)((fatDate >> 5) & 0x0F);
    st.wDay = (WORD)(fatDate & 0x1F);
    st.wHour = (WORD)((fatTime >> 11) & 0x1F);
    st.wMinute = (WORD)((fatTime >> 5) & 0x3F);
    st.wSecond = (WORD)((fatTime & 0x1F) * 2);
    if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, utc))
        utc->dwLowDateTime = utc->dwHighDateTime = 0;
}
