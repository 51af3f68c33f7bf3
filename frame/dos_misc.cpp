/*
 * dos_misc.cpp - the small process services: temporary names, version,
 * date-time and time-zone queries, error mode, beeps, sleeping, exit, the
 * copy-sound flag, a file's size and last-write time as a DATETIME, and
 * byte replacement in a buffer.
 */
#include <atomic>
#include <string.h>
#include "dos.h"
#include "knlnam.h"
#include "frame/dosint.h"
#include "frame/knlint.h"

namespace orin::dos {
namespace {

constexpr auto PLATFORM_NT = 1;
constexpr auto TIMEZONE_UNKNOWN = (-1);
constexpr auto DOS_EPOCH_YEAR = 1980;
constexpr auto DOS_YEAR_BASE = 1900;
constexpr auto DOS_YEAR_WRAP = 128;
constexpr auto SIZE_DATETIME_FAILED = 0xFFFF;

/* Process-wide; any thread may switch it while copies read it. */
std::atomic<USHORT> copySound{0};

void fromSystemTime(const SYSTEMTIME *st, DATETIME *dt)
{
    memset(dt, 0, sizeof *dt);
    dt->hours = (BYTE)st->wHour;
    dt->minutes = (BYTE)st->wMinute;
    dt->seconds = (BYTE)st->wSecond;
    dt->hundredths = 0;
    dt->day = (BYTE)st->wDay;
    dt->month = (BYTE)st->wMonth;
    dt->year = st->wYear;
    dt->timezone = TIMEZONE_UNKNOWN;
    dt->weekday = (BYTE)st->wDayOfWeek;
}

/* DOS date and time (years counted from 1900 in 7 bits) to a DATETIME;
 * the weekday comes from the calendar. */
void fromDosDateTime(USHORT date, USHORT time, DATETIME *dt)
{
    SYSTEMTIME st;
    FILETIME ft;
    memset(&st, 0, sizeof st);
    st.wYear = (WORD)(DOS_YEAR_BASE + (date >> 9));
    if (st.wYear < DOS_EPOCH_YEAR)
        st.wYear += DOS_YEAR_WRAP;
    st.wMonth = (WORD)((date >> 5) & 0x0F);
    st.wDay = (WORD)(date & 0x1F);
    st.wHour = (WORD)(time >> 11);
    st.wMinute = (WORD)((time >> 5) & 0x3F);
    st.wSecond = (WORD)((time & 0x1F) * 2);
    if (SystemTimeToFileTime(&st, &ft))
        FileTimeToSystemTime(&ft, &st);
    fromSystemTime(&st, dt);
}

}  // namespace
}  // namespace orin::dos

using namespace orin::dos;


USHORT dosCopySoundFlag(void)
{
    return copySound.load(std::memory_order_relaxed);
}

USHORT ORINAPI DosCopySoundOn(USHORT on) noexcept
{
    return copySound.exchange(on);
}

USHORT ORINAPI DosGetTempFileName(const char *dir, const char *prefix, char *out, USHORT size) noexcept
{
    char where[MAX_PATH], made[MAX_PATH];
    if (!out || !size)
        return ORIN_ERR_INVALID_PARAM;
    out[0] = 0;
    if (dir && *dir) {
        if (strlen(dir) >= sizeof where)
            return ORIN_ERR_INVALID_NAME;
        strcpy(where, dir);
    } else if (!GetTempPathA(sizeof where, where)) {
        return (USHORT)GetLastError();
    }
    if (!GetTempFileNameA(where, prefix ? prefix : "", 0, made))
        return (USHORT)(GetLastError() & 0xFFFF);
    if (strlen(made) >= size) {
        DeleteFileA(made);
        return ORIN_ERR_BUFFER_TOO_SMALL;
    }
    strcpy(out, made);
    return 0;
}

USHORT ORINAPI DosGetVersion(USHORT *version) noexcept
{
    if (!version)
        return ORIN_ERR_INVALID_PARAM;
    *version = (USHORT)(GetVersion() & 0xFFFF);
    return 0;
}

USHORT ORINAPI DosGetDateTime(DATETIME *dt) noexcept
{
    SYSTEMTIME st;
    if (!dt)
        return ORIN_ERR_INVALID_PARAM;
    GetLocalTime(&st);
    fromSystemTime(&st, dt);
    return 0;
}

ULONG ORINAPI DosGetTimeZoneInformation(ULONG *bias) noexcept
{
    TIME_ZONE_INFORMATION tz;
    DWORD answer = GetTimeZoneInformation(&tz);
    if (bias)
        *bias = answer == TIME_ZONE_ID_INVALID ? 0 : (ULONG)tz.Bias;
    return answer;
}

UINT ORINAPI DosSetErrorMode(UINT mode) noexcept
{
    return SetErrorMode(mode);
}

USHORT ORINAPI DosBeep(ULONG frequency, ULONG duration) noexcept
{
    if (KnlQueryPlatform() != PLATFORM_NT)
        return 0;
    return Beep(frequency, duration) ? 0 : (USHORT)(GetLastError() & 0xFFFF);
}

USHORT ORINAPI DosSleep(ULONG ms) noexcept
{
    Sleep(ms);
    return 0;
}

void ORINAPI DosExit(ULONG action, ULONG code) noexcept
{
    ExitProcess(code);
}

USHORT ORINAPI GetFileSizeDateTime(void *ns, const char *name, ULONG *size, DATETIME *dt) noexcept
{
    KNLHFILE h;
    ULONG action, len = 0;
    KNLFILESTATUS st;
    DATETIME when;
    USHORT err;

    fromDosDateTime((USHORT)(((DOS_EPOCH_YEAR - DOS_YEAR_BASE) << 9) | (1 << 5) | 1), 0, &when);
    if (size)
        *size = 0;
    err = KnlNamOpen(ns, name, &h, &action, 0, 0, KNLNAM_OPEN_EXISTING, KNLNAM_SHARE_DENYNONE, 0);
    if (!err) {
        err = KnlNamQFileSize(ns, h, &len);
        if (!err)
            err = KnlNamQFileInfo(ns, h, KNLNAM_INFO_LEVEL1, &st, sizeof st);
        KnlNamClose(ns, h);
    }
    if (!err) {
        fromDosDateTime(st.fdateLastWrite, st.ftimeLastWrite, &when);
        if (size)
            *size = len;
    }
    if (dt)
        *dt = when;
    return err ? SIZE_DATETIME_FAILED : 0;
}

void *ORINAPI MemReplaceByte(void *buf, BYTE oldByte, BYTE newByte, ULONG count) noexcept
{
    BYTE *p = (BYTE *)buf;
    ULONG i;
    if (!p)
        return NULL;
    for (i = 0; i < count; i++)
        if (p[i] == oldByte)
            p[i] = newByte;
    return buf;
}
