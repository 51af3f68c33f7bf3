/*
 * knlnam_norm.cpp - normal forms of names: normalisation in place, the
 * full, long and short forms, the same-file test, display names and the
 * search along a path list.
 *
 * Normalisation turns every '/' into '\', drops stray colons, collapses
 * runs of '\' (a leading "\\" of a network name stays), deletes one-point
 * components and a trailing '\' (except of a root), and finally replaces a
 * mapped network drive by its universal name.
 *
 * The same-file test cannot rely on names (links, mapped drives, 8.3
 * aliases): it locks one byte at 4 GiB, where no real data lies, through
 * the first handle and watches whether the second handle sees the lock.
 */
#include <string.h>
#include <string>
#include "frame/boundary.h"
#include "frame/knl_hooks.h"
#include "frame/knlnamint.h"
#include "dos.h"

namespace orin::knlnam {
namespace {

constexpr auto PROBE_OFFSET = 0x100000000ULL;   /* 4 GiB */
constexpr auto PROBE_LENGTH = 1;
constexpr char ELLIPSIS[] = "...";
constexpr auto DISPLAY_MIN_CUT = 6;
constexpr auto ENV_LIST_MAX = 1023;
constexpr char kPathDelim = ';';

void deleteBytes(char *at, size_t n)
{
    memmove(at, at + n, strlen(at + n) + 1);
}

void shortFormWithoutBlanks(char *name)
{
    char shortName[KNLNAM_MAXPATH];
    char *src, *dst;
    DWORD len = GetShortPathNameA(name, shortName, sizeof shortName);
    if (len == 0 || len >= sizeof shortName)
        knlNamCopy(shortName, name, sizeof shortName);
    for (src = dst = shortName; *src; src++)
        if (*src != ' ')
            *dst++ = *src;
    *dst = 0;
    CharUpperBuffA(shortName, (DWORD)strlen(shortName));
    strcpy(name, shortName);
}

void removeStrayColons(char *name)
{
    char *p = name, *first = NULL;
    while (*p) {
        if (*p == ':') {
            if (!first) {
                first = p;
                if (p - name != 1) {       /* not a drive colon: drop them all */
                    deleteBytes(p, 1);
                    continue;
                }
            } else {
                deleteBytes(p, 1);
                continue;
            }
        }
        p = orin::knl::charNext(p);
    }
}

/* '/' becomes '\'; a '\' that follows another is dropped from position 2
 * on, so the leading pair of a network name stays. */
void unifySeparators(char *name)
{
    char *src = name, *dst = name;
    int prevSep = 0;
    while (*src) {
        char *next = orin::knl::charNext(src);
        size_t n = (size_t)(next - src);
        int isSep = n == 1 && (*src == '\\' || *src == '/');
        if (!(isSep && prevSep && src - name >= 2)) {
            if (isSep)
                *dst++ = '\\';
            else {
                memmove(dst, src, n);
                dst += n;
            }
        }
        prevSep = isSep;
        src = next;
    }
    *dst = 0;
}

void removePointComponents(char *name)
{
    char *p = name, *prev = NULL;
    while (*p) {
        int atStart = prev == NULL || *prev == '\\';
        if (*p == '.' && atStart && (p[1] == '\\' || p[1] == 0)) {
            deleteBytes(p, p[1] ? 2 : 1);
            continue;
        }
        prev = p;
        p = orin::knl::charNext(p);
    }
}

void removeTrailingSeparator(char *name)
{
    size_t n = strlen(name);
    const char *p, *last = NULL;
    for (p = name; *p; p = orin::knl::charNext(p))
        last = p;
    if (!last || *last != '\\')
        return;
    if (n == 1 || (n == 3 && name[1] == ':'))
        return;                             /* "\" or "C:\" */
    name[n - 1] = 0;
}

BOOL sameTextIgnoringCase(const char *a, const char *b)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

BOOL sameByLockProbe(HANDLE a, HANDLE b)
{
    BOOL same = FALSE;
    if (!knlNamLockRaw(a, PROBE_OFFSET, PROBE_LENGTH, TRUE))
        return FALSE;
    if (knlNamLockRaw(b, PROBE_OFFSET, PROBE_LENGTH, TRUE)) {
        knlNamUnlockRaw(b, PROBE_OFFSET, PROBE_LENGTH);
        knlNamUnlockRaw(a, PROBE_OFFSET, PROBE_LENGTH);
        return FALSE;
    }
    knlNamUnlockRaw(a, PROBE_OFFSET, PROBE_LENGTH);
    if (knlNamLockRaw(b, PROBE_OFFSET, PROBE_LENGTH, TRUE)) {
        same = !knlNamLockRaw(a, PROBE_OFFSET, PROBE_LENGTH, TRUE);
        if (!same)
            knlNamUnlockRaw(a, PROBE_OFFSET, PROBE_LENGTH);
        knlNamUnlockRaw(b, PROBE_OFFSET, PROBE_LENGTH);
    }
    return same;
}

void dropExtension(char *component)
{
    char *dot = KnlNamQueryExt(KnlNamGetDefaultNS(), component);
    if (dot)
        *dot = 0;
}

USHORT copyFound(const char *found, char *out, USHORT size)
{
    if (!out || strlen(found) >= size)
        return ORIN_ERR_BUFFER_TOO_SMALL;
    strcpy(out, found);
    return 0;
}

/* Calls visit with each entry of a ';'-separated list, in place, until it
 * answers true.  Runs of ';' are skipped; the list ends with the entry
 * that reaches its end or is followed by a last ';' ("" yields one empty
 * entry, "a;;" yields "a" and an empty one). */
template <class Visit>
bool visitEntries(char *text, Visit &&visit)
{
    for (char *pos = text; pos;) {
        char *p = pos;
        while (*p == kPathDelim)
            p++;
        char *entry = p;
        while (*p && *p != kPathDelim)
            p = orin::knl::charNext(p);
        if (!*p) {
            pos = nullptr;
        } else {
            *p = 0;
            pos = p[1] ? p + 1 : nullptr;
        }
        if (visit(entry))
            return true;
    }
    return false;
}

}  // namespace
}  // namespace orin::knlnam

using namespace orin::knlnam;


/* ---- normalisation ------------------------------------------------------ */

USHORT ORINAPI KnlNamNormalizePathEx(void *ns, char *name, ULONG flags) noexcept
{
    char drive[KNLNAM_MAXPATH], unc[KNLNAM_MAXPATH];

    if (!name)
        return ORIN_ERR_INVALID_PARAM;
    if (strlen(name) > KNLNAM_MAXNAME)
        return ORIN_ERR_INVALID_NAME;
    if (KnlNamGetDriveName(name, drive, sizeof drive) && !KnlNamQuerySupportLFN(ns, drive))
        shortFormWithoutBlanks(name);
    removeStrayColons(name);
    unifySeparators(name);
    removePointComponents(name);
    removeTrailingSeparator(name);
    if (!(flags & KNLNAM_NORM_NO_UNC) && *name && orin::knl::nameHooks().universalName(unc, name) == 0)
        strcpy(name, unc);
    return 0;
}

/* ---- full, long and short forms --------------------------------------------- */

USHORT ORINAPI KnlNamGetFullPathName(char *out, const char *name) noexcept
{
    char full[KNLNAM_MAXPATH];
    DWORD len;
    if (!out || !name)
        return 0;
    len = GetFullPathNameA(name, sizeof full, full, NULL);
    if (len == 0 || len >= sizeof full) {
        knlNamCopy(out, name, KNLNAM_MAXPATH);
        return 0;
    }
    len = GetLongPathNameA(full, out, KNLNAM_MAXPATH);
    if (len == 0 || len >= KNLNAM_MAXPATH)
        strcpy(out, full);
    return 1;
}

USHORT ORINAPI KnlNamGetLongPathName(char *out, const char *name) noexcept
{
    char drive[KNLNAM_MAXPATH];
    DWORD len;
    if (!out || !name)
        return 0;
    KnlNamGetDriveName(name, drive, sizeof drive);
    if (KnlNamQFileExist(KnlNamGetDefaultNS(), name)
        && KnlNamQuerySupportLFN(KnlNamGetDefaultNS(), drive[0] ? drive : NULL)) {
        len = GetLongPathNameA(name, out, KNLNAM_MAXPATH);
        if (len && len < KNLNAM_MAXPATH)
            return 1;
    }
    knlNamCopy(out, name, KNLNAM_MAXPATH);
    return 0;
}

USHORT ORINAPI KnlNamGetShortPathName(char *out, const char *name) noexcept
{
    DWORD len;
    if (!out || !name)
        return 0;
    len = GetShortPathNameA(name, out, KNLNAM_MAXPATH);
    if (len && len < KNLNAM_MAXPATH)
        return 1;
    knlNamCopy(out, name, KNLNAM_MAXPATH);
    return 0;
}

/* ---- same file ------------------------------------------------------------- */

USHORT ORINAPI KnlNamIsTheSameFile(const char *a, const char *b) noexcept
{
    void *ns = KnlNamGetDefaultNS();
    char fullA[KNLNAM_MAXPATH], fullB[KNLNAM_MAXPATH];
    KNLHFILE ha, hb;
    ULONG action;
    BOOL same;

    if (!a || !b || !*a || !*b)
        return 0;
    if (sameTextIgnoringCase(a, b))
        return 1;
    if (KnlNamGetFullPathName(fullA, a) && KnlNamGetFullPathName(fullB, b)
        && sameTextIgnoringCase(fullA, fullB))
        return 1;
    if (KnlNamOpen(ns, a, &ha, &action, 0, 0, KNLNAM_OPEN_EXISTING, KNLNAM_SHARE_DENYNONE, 0))
        return 0;
    if (KnlNamOpen(ns, b, &hb, &action, 0, 0, KNLNAM_OPEN_EXISTING, KNLNAM_SHARE_DENYNONE, 0)) {
        KnlNamClose(ns, ha);
        return 0;
    }
    same = sameByLockProbe(KNLNAM_TO_HANDLE(ha), KNLNAM_TO_HANDLE(hb));
    KnlNamClose(ns, ha);
    KnlNamClose(ns, hb);
    return (USHORT)same;
}

/* ---- display names ------------------------------------------------------------ */

USHORT ORINAPI KnlNamDisplayFileName(void *ns, char *name, USHORT maxLen, BOOL withExt) noexcept
{
    char full[KNLNAM_MAXPATH], shown[KNLNAM_MAXPATH];

    if (!name)
        return ORIN_ERR_INVALID_PARAM;
    if (KnlNamExpandPath(ns, name, full, sizeof full))
        knlNamCopy(full, name, sizeof full);
    knlNamCopy(shown, knlNamLastComponent(ns, full), sizeof shown);
    if (!withExt)
        dropExtension(shown);
    if (strlen(shown) > maxLen) {
        if (withExt)
            dropExtension(shown);
        if (strlen(shown) > maxLen && maxLen >= DISPLAY_MIN_CUT) {
            knlNamCutBytes(shown, (size_t)maxLen - 4);
            strcat(shown, ELLIPSIS);
            knlNamCutBytes(shown, maxLen);
        }
    }
    strcpy(name, shown);
    return 0;
}

/* ---- search along a path list ------------------------------------------------------ */

USHORT knlNamSearchList(void *ns, const char *list, const char *file, char *out, USHORT size)
{
    return orin::guardCode([&]() -> USHORT {
        std::string entries(list);
        char candidate[KNLNAM_MAXPATH];
        USHORT err = ORIN_ERR_FILE_NOT_FOUND;
        visitEntries(entries.data(), [&](const char *entry) {
            KnlNamMakePathFromDF(ns, candidate, entry, file);
            if (!KnlNamQFileExist(ns, candidate))
                return false;
            err = copyFound(candidate, out, size);
            return true;
        });
        return err;
    });
}

USHORT ORINAPI KnlNamSearchPath(void *ns, ULONG flags, const char *list, const char *file,
                                char *out, USHORT size) noexcept
{
    char listCopy[ENV_LIST_MAX + 1];
    USHORT err;

    if (!file || !list)
        return ORIN_ERR_INVALID_PARAM;
    if (out && size)
        out[0] = 0;
    if ((flags & KNLNAM_SEARCH_CUR) && KnlNamQFileExist(ns, file)) {
        char full[KNLNAM_MAXPATH];
        if ((err = KnlNamExpandPath(ns, (char *)file, full, sizeof full)) != 0)
            return err;
        return copyFound(full, out, size);
    }
    if (flags & KNLNAM_SEARCH_ENV) {
        const char *value;
        if ((err = DosScanEnv(list, &value)) != 0)
            return err;
        knlNamCopy(listCopy, value, sizeof listCopy);
        list = listCopy;
    }
    return knlNamSearchList(ns, list, file, out, size);
}
