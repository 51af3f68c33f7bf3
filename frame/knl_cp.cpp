/*
 * knl_cp.cpp - code pages: the character-class table, the DBCS lead-byte
 * table, the OEM/ANSI translation tables, and locale set-up (KnlInitCP).
 *
 * The character table has one two-byte entry per byte value: a flag byte
 * (KNL_CT_*) and the other-case byte.  Its lower half is fixed ASCII; its
 * upper half starts as the case pairs of code page 850 and is rebuilt by
 * KnlInitCP from the system's ANSI code page.  String functions read these
 * tables directly, so classification never calls the system.
 */
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "frame/knl_hooks.h"
#include "frame/knlint.h"

/* The character table is handed out (KnlQueryCharTable): two bytes an entry. */
static_assert(sizeof(KNLCHARENTRY) == 2);

namespace orin::knl {
namespace {

constexpr auto SM_DBCSENABLED_METRIC = 42;
constexpr char NO_OTHER_CASE = '?';
constexpr auto LOCALE_ITEM_MAX = 80;
constexpr char YEARMAX_KEY[] = "Control Panel\\International\\Calendars\\TwoDigitYearMax";
constexpr auto YEARMAX_VALUE_MAX = 128;

/* Locale items read by KnlInitCP (GetLocaleInfo numbering). */
enum {
    LI_DATE_SEP = 0x1D, LI_TIME_SEP = 0x1E, LI_DATE_ORDER = 0x21,
    LI_TIME_FMT = 0x23, LI_CENTURY = 0x24, LI_HOUR_LZERO = 0x25,
    LI_DAY_LZERO = 0x26, LI_MON_LZERO = 0x27
};

/* Case pairs of code page 850: lower-case letter, upper-case partner. */
const BYTE cp850Pairs[][2] = {
    {0x81,0x9A}, {0x82,0x90}, {0x83,0xB6}, {0x84,0x8E}, {0x85,0xB7},
    {0x86,0x8F}, {0x87,0x80}, {0x88,0xD2}, {0x89,0xD3}, {0x8A,0xD4},
    {0x8B,0xD8}, {0x8C,0xD7}, {0x8D,0xDE}, {0x91,0x92}, {0x93,0xE2},
    {0x94,0x99}, {0x95,0xE3}, {0x96,0xEA}, {0x97,0xEB}, {0x9B,0x9D},
    {0xA0,0xB5}, {0xA1,0xD6}, {0xA2,0xE0}, {0xA3,0xE9}, {0xA4,0xA5},
    {0xC6,0xC7}, {0xD0,0xD1}, {0xE4,0xE5}, {0xE7,0xE8}, {0xEC,0xED}
};
constexpr auto CP850_LOWER_SELF = 0x98;   /* y diaeresis: lower case, its own partner */
constexpr auto CP850_UPPER_SELF = 0xE1;   /* sharp s: upper case, its own partner */

BYTE asciiFlags(int c)
{
    if (c < 0x09 || (c >= 0x0E && c <= 0x1F) || c == 0x7F) return 0x90;
    if (c <= 0x0D) return 0x98;
    if (c == ' ') return 0xC8;
    if (c >= '0' && c <= '9') return 0xE4;
    if (c >= 'A' && c <= 'F') return 0xE2;
    if (c >= 'G' && c <= 'Z') return 0xC2;
    if (c >= 'a' && c <= 'f') return 0xE1;
    if (c >= 'g' && c <= 'z') return 0xC1;
    return 0xC0;
}

void setEntry(int c, BYTE flags, BYTE other)
{
    knlCharTable[c].flags = flags;
    knlCharTable[c].other = other;
}

int itemIsZero(const char *v)
{
    return v && v[0] == '0' && v[1] == 0;
}

/* Reads a locale item of the user's default locale into buf (at most
 * size bytes, size >= 1); an unreadable item becomes the empty string. */
void readItem(LCTYPE item, char *buf, int size)
{
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buf, size))
        buf[0] = 0;
}

void initSysFormats(void)
{
    char dsep[4], tsep[4], order[LOCALE_ITEM_MAX], tfmt[LOCALE_ITEM_MAX];
    char century[LOCALE_ITEM_MAX], hlz[LOCALE_ITEM_MAX];
    char dlz[LOCALE_ITEM_MAX], mlz[LOCALE_ITEM_MAX];
    char dateFmt[orin::knl::kSysFormatSize], timeFmt[orin::knl::kSysFormatSize];
    KNLLOCALEFMT lf;

    readItem(LI_DATE_SEP, dsep, sizeof dsep);
    readItem(LI_TIME_SEP, tsep, sizeof tsep);
    readItem(LI_DATE_ORDER, order, sizeof order);
    readItem(LI_TIME_FMT, tfmt, sizeof tfmt);
    readItem(LI_CENTURY, century, sizeof century);
    readItem(LI_HOUR_LZERO, hlz, sizeof hlz);
    readItem(LI_DAY_LZERO, dlz, sizeof dlz);
    readItem(LI_MON_LZERO, mlz, sizeof mlz);
    lf.dateSep = dsep; lf.timeSep = tsep; lf.dateOrder = order;
    lf.timeFmt = tfmt; lf.century = century; lf.hourLZero = hlz;
    lf.dayLZero = dlz; lf.monLZero = mlz;
    KnlBuildSysFormats(&lf, dateFmt, sizeof dateFmt, timeFmt, sizeof timeFmt);
    orin::knl::dateHooks().setSysFormats(dateFmt, timeFmt);
}

/* Reads count locale items as heap strings (length first, then text).
 * Returns 0 and fills names, or frees what it read and returns an error. */
USHORT readNames(const LCTYPE *items, int count, char **names)
{
    int i;
    for (i = 0; i < count; i++) {
        int len = GetLocaleInfoA(LOCALE_USER_DEFAULT, items[i], NULL, 0);
        names[i] = len > 0 ? (char *)malloc(len) : NULL;
        if (!names[i] || !GetLocaleInfoA(LOCALE_USER_DEFAULT, items[i], names[i], len)) {
            USHORT err = names[i] ? (USHORT)GetLastError() : ORIN_ERR_NO_MEMORY;
            while (i >= 0)
                free(names[i--]);
            return err ? err : ORIN_ERR_GENERAL;
        }
    }
    return 0;
}

void initNames(void)
{
    LCTYPE months[orin::knl::kMonthNames], days[orin::knl::kDayNames];
    char *names[orin::knl::kMonthNames];
    int i;

    for (i = 0; i < 12; i++) {
        months[i] = LOCALE_SMONTHNAME1 + i;          /* 0x38.. */
        months[12 + i] = LOCALE_SABBREVMONTHNAME1 + i; /* 0x44.. */
    }
    /* Sunday first: the locale numbers Monday as day 1 and Sunday as 7. */
    days[0] = LOCALE_SDAYNAME7;                      /* 0x30 */
    days[7] = LOCALE_SABBREVDAYNAME7;                /* 0x37 */
    for (i = 0; i < 6; i++) {
        days[1 + i] = LOCALE_SDAYNAME1 + i;          /* 0x2A.. */
        days[8 + i] = LOCALE_SABBREVDAYNAME1 + i;    /* 0x31.. */
    }
    if (readNames(months, orin::knl::kMonthNames, names) == 0)
        orin::knl::dateHooks().setMonthNames(names);
    if (readNames(days, orin::knl::kDayNames, names) == 0)
        orin::knl::dateHooks().setDayNames(names);
}

/* Rebuilds the OEM/ANSI tables and the upper half of the character table
 * from the system's code pages. */
void initCodePageTables(BOOL dbcsSystem)
{
    int c;
    /* A byte the system cannot translate alone (a DBCS lead byte when both
     * code pages are the same DBCS code page) maps to itself. */
    for (c = 0; c < 256; c++) {
        char in[2] = { (char)c, 0 }, out[2] = { 0, 0 };
        OemToCharBuffA(in, out, 1);
        knlOemToAnsi[c] = (c && !out[0]) ? (BYTE)c : (BYTE)out[0];
        out[0] = 0;
        CharToOemBuffA(in, out, 1);
        knlAnsiToOem[c] = (c && !out[0]) ? (BYTE)c : (BYTE)out[0];
    }
    for (c = 128; c < 256; c++) {
        BYTE flags = KNL_CT_PRINT, other = NO_OTHER_CASE;
        WORD type = 0;
        char ch = (char)c;
        if (IsCharLowerA(ch)) {
            flags |= KNL_CT_LOWER;
            other = (BYTE)(ULONG_PTR)CharUpperA((LPSTR)(ULONG_PTR)(BYTE)c);
        }
        if (IsCharUpperA(ch)) {
            flags |= KNL_CT_UPPER;
            other = (BYTE)(ULONG_PTR)CharLowerA((LPSTR)(ULONG_PTR)(BYTE)c);
        }
        if (dbcsSystem && !(flags & (KNL_CT_LOWER | KNL_CT_UPPER))
            && GetStringTypeExA(LOCALE_USER_DEFAULT, CT_CTYPE1, &ch, 1, &type)
            && (type & C1_ALPHA)) {
            flags |= KNL_CT_LOWER | KNL_CT_UPPER;
            other = (BYTE)c;
        }
        setEntry(c, flags, other);
    }
}

/* Reads the system's two-digit-year window; returns the key's open error. */
USHORT initTwoDigitYear(void)
{
    HKEY key;
    char value[YEARMAX_VALUE_MAX + 1];
    DWORD size = YEARMAX_VALUE_MAX, type = 0;
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, YEARMAX_KEY, 0, KEY_READ, &key);

    if (rc != ERROR_SUCCESS)
        return (USHORT)rc;
    if (RegQueryValueExA(key, "1", NULL, &type, (BYTE *)value, &size) == ERROR_SUCCESS
        && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        value[size < sizeof value ? size : sizeof value - 1] = 0;
        if (value[0]) {
            USHORT year = (USHORT)strtoul(value, NULL, 10);
            if (year >= 2000)
                orin::knl::dateHooks().setTwoDigitYearMax(year);
        }
    }
    RegCloseKey(key);
    return 0;
}

char *translateBuff(const BYTE *table, const char *src, char *dst, ULONG count)
{
    ULONG i;
    if (!src)
        return dst;
    if (!dst)
        dst = (char *)src;
    for (i = 0; i < count; i++)
        dst[i] = (char)table[(BYTE)src[i]];
    return dst + count;
}

}  // namespace
}  // namespace orin::knl

using namespace orin::knl;


KNLCHARENTRY knlCharTable[256];
BYTE knlLeadByte[256];
BYTE knlDbcsEnabled;
BYTE knlOemToAnsi[256];
BYTE knlAnsiToOem[256];

/* Fills the table as it stands before KnlInitCP runs.  Called by the
 * C run time before main / DllMain (constructor), so the table is valid
 * from the first call into the library. */
__attribute__((constructor)) static void initCharTable(void)
{
    int c;
    size_t i;
    for (c = 0; c < 128; c++) {
        BYTE f = asciiFlags(c);
        BYTE other = NO_OTHER_CASE;
        if (f & KNL_CT_UPPER) other = (BYTE)(c + 32);
        if (f & KNL_CT_LOWER) other = (BYTE)(c - 32);
        setEntry(c, f, other);
    }
    for (c = 128; c < 256; c++)
        setEntry(c, KNL_CT_PRINT, NO_OTHER_CASE);
    setEntry(0xFF, 0, NO_OTHER_CASE);
    for (i = 0; i < sizeof cp850Pairs / sizeof cp850Pairs[0]; i++) {
        setEntry(cp850Pairs[i][0], KNL_CT_PRINT | KNL_CT_LOWER, cp850Pairs[i][1]);
        setEntry(cp850Pairs[i][1], KNL_CT_PRINT | KNL_CT_UPPER, cp850Pairs[i][0]);
    }
    setEntry(CP850_LOWER_SELF, KNL_CT_PRINT | KNL_CT_LOWER, CP850_LOWER_SELF);
    setEntry(CP850_UPPER_SELF, KNL_CT_PRINT | KNL_CT_UPPER, CP850_UPPER_SELF);
    for (c = 0; c < 256; c++)
        knlOemToAnsi[c] = knlAnsiToOem[c] = (BYTE)c;
}

KNLCHARENTRY *ORINAPI KnlQueryCharTable(void) noexcept
{
    return knlCharTable;
}

/* ---- System date and time templates ------------------------------------ */

void KnlBuildSysFormats(const KNLLOCALEFMT *lf, char *dateFmt, size_t dateSize,
                        char *timeFmt, size_t timeSize)
{
    const char *year = itemIsZero(lf->century) ? "0Z" : "Y";
    const char *month = itemIsZero(lf->monLZero) ? "M" : "0M";
    const char *day = itemIsZero(lf->dayLZero) ? "D" : "0D";
    const char *dsep = lf->dateSep ? lf->dateSep : "";
    const char *tsep = lf->timeSep ? lf->timeSep : "";
    const char *order = lf->dateOrder ? lf->dateOrder : "0";
    const char *a = month, *b = day, *c = year;
    char hour[4];
    const char *suffix = "";

    if (order[0] == '1') {
        a = day; b = month; c = year;
    } else if (order[0] == '2') {
        a = year; b = month; c = day;
    }
    snprintf(dateFmt, dateSize, "[%s]%s[%s]%s[%s]", a, dsep, b, dsep, c);

    strcpy(hour, itemIsZero(lf->hourLZero) ? "" : "0");
    if (itemIsZero(lf->timeFmt)) {
        strcat(hour, "h");
        suffix = " [A]";
    } else {
        strcat(hour, "i");
    }
    snprintf(timeFmt, timeSize, "[%s]%s[0m]%s", hour, tsep, suffix);
}

USHORT ORINAPI KnlInitCP(void) noexcept
{
    BOOL dbcsSystem = GetSystemMetrics(SM_DBCSENABLED_METRIC) != 0;

    setlocale(LC_ALL, ".ACP");
    setlocale(LC_NUMERIC, "English");
    initSysFormats();
    initNames();
    initCodePageTables(dbcsSystem);
    return initTwoDigitYear();
}

void ORINAPI KnlInitDBCSEv(void) noexcept
{
    int b;
    memset(knlLeadByte, 0, sizeof knlLeadByte);
    knlDbcsEnabled = 0;
    for (b = 128; b < 256; b++)
        if (IsDBCSLeadByteEx(CP_ACP, (BYTE)b)) {
            knlLeadByte[b] = 1;
            knlDbcsEnabled = 1;
        }
}

/* ---- OEM/ANSI translation --------------------------------------------- */

BYTE ORINAPI KnlAnsiToOemChar(USHORT ch) noexcept { return knlAnsiToOem[ch & 0xFF]; }
BYTE ORINAPI KnlOemToAnsiChar(USHORT ch) noexcept { return knlOemToAnsi[ch & 0xFF]; }

char *ORINAPI KnlAnsiToOemBuff(const char *src, char *dst, ULONG count) noexcept
{
    return translateBuff(knlAnsiToOem, src, dst, count);
}

char *ORINAPI KnlOemToAnsiBuff(const char *src, char *dst, ULONG count) noexcept
{
    return translateBuff(knlOemToAnsi, src, dst, count);
}

char *ORINAPI KnlAnsiToOem(const char *src, char *dst) noexcept
{
    if (!src) return dst;
    translateBuff(knlAnsiToOem, src, dst, (ULONG)strlen(src) + 1);
    return dst ? dst : (char *)src;
}

char *ORINAPI KnlOemToAnsi(const char *src, char *dst) noexcept
{
    if (!src) return dst;
    translateBuff(knlOemToAnsi, src, dst, (ULONG)strlen(src) + 1);
    return dst ? dst : (char *)src;
}

ULONG ORINAPI KnlNlsConvertCodePage(UINT srcCP, UINT dstCP, const char *src,
                                    ULONG srcLen, char *dst, ULONG dstSize) noexcept
{
    int wlen, n;
    WCHAR *wide;
    /* The UTF code pages accept no conversion flags. */
    DWORD flags = (srcCP == CP_UTF8 || srcCP == CP_UTF7) ? 0 : MB_PRECOMPOSED;

    if (!src || srcLen == 0 || (dstSize && !dst))
        return 0;
    wlen = MultiByteToWideChar(srcCP, flags, src, (int)srcLen, NULL, 0);
    if (wlen <= 0)
        return 0;
    wide = (WCHAR *)calloc(1, (size_t)wlen * 2 + 2);
    if (!wide)
        return 0;
    MultiByteToWideChar(srcCP, flags, src, (int)srcLen, wide, wlen);
    n = WideCharToMultiByte(dstCP, 0, wide, wlen, dstSize ? dst : NULL,
                            (int)dstSize, NULL, NULL);
    free(wide);
    return n > 0 ? (ULONG)n : 0;
}

int ORINAPI KnlGetSystemLocaleInfo(ULONG item, char *buf, int size) noexcept
{
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buf, size);
}
