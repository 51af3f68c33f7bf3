/*
 * knlnam_ns.cpp - the two name spaces, the fixed delimiters, and the small
 * helpers every file-name source shares: last error, name conversion to
 * UTF-16, the critical-error guard, DOS date/time conversion and a
 * DBCS-safe cut.
 *
 * Both name spaces describe the Windows file system (kind 4: '\' and '/'
 * both separate directories); a name space the library did not hand out
 * is never read and follows the same rules.  DOS dates keep (year - 1900) mod 128 in
 * their 7-bit year field; only 1980..2107 are representable, so other
 * times are reported as 0.
 */
#include <string.h>
#include "frame/knlnamint.h"

static_assert(sizeof(KNLNAMESPACE) == 2);

constexpr auto DOS_FIRST_YEAR = 1980;
constexpr auto DOS_LAST_YEAR = 2107;
constexpr auto DOS_YEAR_MASK = 0x7F;

namespace orin::knlnam {
namespace {

constexpr KNLNAMESPACE defaultNS = {KNLNAM_NS_WIN32};
constexpr KNLNAMESPACE platformNS = {KNLNAM_NS_WIN32};

}  // namespace
}  // namespace orin::knlnam

using namespace orin::knlnam;

/* Callers never write through a name space: it only selects rules. */
void *ORINAPI KnlNamGetDefaultNS(void) noexcept  { return const_cast<KNLNAMESPACE *>(&defaultNS); }
void *ORINAPI KnlNamGetPlatformNS(void) noexcept { return const_cast<KNLNAMESPACE *>(&platformNS); }

char ORINAPI KnlNamQDirDelimChr(void *ns) noexcept         { return '\\'; }
const char *ORINAPI KnlNamQDirDelimStr(void *ns) noexcept  { return "\\"; }
char ORINAPI KnlNamQPathDelimChr(void *ns) noexcept        { return ';'; }
const char *ORINAPI KnlNamQPathDelimStr(void *ns) noexcept { return ";"; }

USHORT knlNamLastError(void)
{
    USHORT err = (USHORT)(GetLastError() & 0xFFFF);
    return err ? err : ORIN_ERR_GENERAL;
}

USHORT knlNamToWide(const char *name, WCHAR *wide, size_t wideCount)
{
    if (!name)
        return ORIN_ERR_INVALID_PARAM;
    if (strlen(name) > KNLNAM_MAXNAME)
        return ORIN_ERR_INVALID_NAME;
    if (!MultiByteToWideChar(CP_THREAD_ACP, 0, name, -1, wide, (int)wideCount))
        return ORIN_ERR_INVALID_NAME;
    return 0;
}

void knlNamFileTimeToDos(const FILETIME *ft, USHORT *date, USHORT *time)
{
    FILETIME local;
    SYSTEMTIME st;

    *date = *time = 0;
    if (!FileTimeToLocalFileTime(ft, &local) || !FileTimeToSystemTime(&local, &st))
        return;
    if (st.wYear < DOS_FIRST_YEAR || st.wYear > DOS_LAST_YEAR)
        return;
    *date = (USHORT)((((st.wYear - KNLNAM_DOS_YEAR_BASE) & DOS_YEAR_MASK) << 9)
                     | (st.wMonth << 5) | st.wDay);
    *time = (USHORT)((st.wHour << 11) | (st.wMinute << 5) | (st.wSecond / 2));
}

BOOL knlNamDosToFileTime(USHORT date, USHORT time, FILETIME *ft)
{
    SYSTEMTIME st;
    FILETIME local;
    WORD year = (WORD)(KNLNAM_DOS_YEAR_BASE + (date >> 9));

    /* The 7-bit field wraps: 1980..2027 count from 1900, 2028..2107
     * from 2028 - 128 = 1900 + 128. */
    if (year < DOS_FIRST_YEAR)
        year += DOS_YEAR_MASK + 1;
    memset(&st, 0, sizeof st);
    st.wYear = year;
    st.wMonth = (WORD)((date >> 5) & 0x0F);
    st.wDay = (WORD)(date & 0x1F);
    st.wHour = (WORD)(time >> 11);
    st.wMinute = (WORD)((time >> 5) & 0x3F);
    st.wSecond = (WORD)((time & 0x1F) * 2);
    return SystemTimeToFileTime(&st, &local) && LocalFileTimeToFileTime(&local, ft);
}

ULONG knlNamAttrFromSystem(DWORD attrs)
{
    ULONG out = 0;
    if (attrs & FILE_ATTRIBUTE_READONLY)  out |= KNLNAM_ATTR_READONLY;
    if (attrs & FILE_ATTRIBUTE_HIDDEN)    out |= KNLNAM_ATTR_HIDDEN;
    if (attrs & FILE_ATTRIBUTE_SYSTEM)    out |= KNLNAM_ATTR_SYSTEM;
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) out |= KNLNAM_ATTR_DIRECTORY;
    if (attrs & FILE_ATTRIBUTE_ARCHIVE)   out |= KNLNAM_ATTR_ARCHIVE;
    return out;
}

/* Both name spaces the library hands out are of the Win32 kind, and any
 * other value counts as that kind without being read, so '\\' and '/'
 * delimit in every one. */
int knlNamIsDelim(const void *ns, char c)
{
    return c == '/' || c == '\\';
}

const char *knlNamLastComponent(const void *ns, const char *name)
{
    const char *last = name, *p;
    for (p = name; *p; p = orin::knl::charNext(p))
        if (knlNamIsDelim(ns, *p))
            last = p + 1;
    return last;
}

void knlNamCopy(char *dst, const char *src, size_t size)
{
    size_t n = strlen(src);
    if (n > size - 1)
        n = size - 1;
    memmove(dst, src, n);
    dst[n] = 0;
}

void knlNamCutBytes(char *text, size_t n)
{
    if (strlen(text) > n) {
        text[n] = 0;
        orin::knl::cutDanglingLead(text);
    }
}
