/*
 * knlnam_path.cpp - splitting and joining names: the drive part (a letter
 * and colon, a network volume up to its colon, or \\server\share), the
 * directory, file name and extension, absolute names, extensions and the
 * expansion to a full path.
 *
 * Names are walked character by character with the lead-byte table, so a
 * DBCS trail byte equal to '\' never counts as a delimiter.  Output
 * buffers have the library's fixed sizes (256 bytes for the parts of
 * KnlNamSplitPath, 260 for whole names); nothing is written past them.
 */
#include <ctype.h>
#include <string.h>
#include "frame/knlnamint.h"

namespace orin::knlnam {
namespace {

constexpr auto DRIVE_COLON_POS = 1;

int isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/* Position of the backslash that ends \\server\share, or the end. */
const char *skipServerShare(const char *name)
{
    const char *p = name + 2;
    int seps = 0;
    for (; *p; p = orin::knl::charNext(p))
        if (*p == '\\' && ++seps == 2)
            return p;
    return p;
}

/* Copies n bytes of src into a part buffer (at most KNLNAM_MAXPART-1). */
void setPart(char *part, const char *src, size_t n)
{
    if (!part)
        return;
    if (n > KNLNAM_MAXPART - 1)
        n = KNLNAM_MAXPART - 1;
    memcpy(part, src, n);
    part[n] = 0;
}

/* Last '\' behind the drive part, or the last '/' when there is none. */
const char *lastSeparator(const char *from)
{
    const char *back = NULL, *slash = NULL, *p;
    for (p = from; *p; p = orin::knl::charNext(p)) {
        if (*p == '\\')
            back = p;
        else if (*p == '/')
            slash = p;
    }
    return back ? back : slash;
}

/* Last '.' of a component, or NULL. */
const char *lastPoint(const char *comp)
{
    const char *dot = NULL, *p;
    for (p = comp; *p; p = orin::knl::charNext(p))
        if (*p == '.')
            dot = p;
    return dot;
}

int endsWithDelim(const char *s)
{
    const char *p, *last = NULL;
    for (p = s; *p; p = orin::knl::charNext(p))
        last = p;
    return last && (*last == '\\' || *last == '/');
}

}  // namespace
}  // namespace orin::knlnam

using namespace orin::knlnam;


char *ORINAPI KnlNamSkipDriveName(const char *name) noexcept
{
    const char *p;

    if (!name)
        return NULL;
    if (name[0] == '\\' && name[1] == '\\')
        return (char *)skipServerShare(name);
    for (p = name; *p && *p != ':'; p = orin::knl::charNext(p))
        ;
    if (!*p || p == name)
        return (char *)name;
    if (p - name == DRIVE_COLON_POS)
        return (char *)(isAsciiLetter(name[0]) ? name + 2 : name);
    return (char *)(p + 1);
}

USHORT ORINAPI KnlNamGetDriveName(const char *name, char *buf, USHORT size) noexcept
{
    size_t n;
    if (!buf || !size)
        return 0;
    buf[0] = 0;
    if (!name)
        return 0;
    n = (size_t)(KnlNamSkipDriveName(name) - name);
    if (n > size - 1u)
        n = size - 1u;
    memcpy(buf, name, n);
    buf[n] = 0;
    return (USHORT)n;
}

USHORT ORINAPI KnlNamQPathAbsolute(void *ns, const char *name) noexcept
{
    if (!name)
        return 0;
    if (name[0] == '\\' || name[0] == '/')
        return 1;
    return isAsciiLetter(name[0]) && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
}

USHORT ORINAPI KnlNamFnameHasWildCards(void *ns, const char *name) noexcept
{
    const char *p;
    if (!name)
        return 0;
    for (p = knlNamLastComponent(ns, name); *p; p = orin::knl::charNext(p))
        if (*p == '*' || *p == '?')
            return 1;
    return 0;
}

USHORT ORINAPI KnlNamSplitPath(void *ns, const char *name, char *drive, char *dir,
                               char *fname, char *ext) noexcept
{
    const char *rest, *sep, *dot;
    char dirPart[KNLNAM_MAXPART];

    setPart(drive, "", 0);
    setPart(dir, "", 0);
    setPart(fname, "", 0);
    setPart(ext, "", 0);
    if (!name)
        return ORIN_ERR_INVALID_PARAM;
    rest = KnlNamSkipDriveName(name);
    setPart(drive, name, (size_t)(rest - name));
    if (!KnlNamFnameHasWildCards(ns, name) && KnlNamQDirExist(ns, name)) {
        setPart(dir, rest, strlen(rest));
        return 0;
    }
    sep = lastSeparator(rest);
    setPart(dirPart, rest, sep ? (size_t)(sep + 1 - rest) : 0);
    if (sep)
        rest = sep + 1;
    if (strcmp(rest, "..") == 0) {
        if (strlen(dirPart) + 3 < KNLNAM_MAXPART)
            strcat(dirPart, "..\\");
        rest += 2;
    } else if (strcmp(rest, ".") == 0) {
        rest++;
    }
    setPart(dir, dirPart, strlen(dirPart));
    dot = lastPoint(rest);
    if (dot) {
        setPart(fname, rest, (size_t)(dot - rest));
        setPart(ext, dot, strlen(dot));
    } else {
        setPart(fname, rest, strlen(rest));
    }
    return 0;
}

USHORT ORINAPI KnlNamMakePath(void *ns, char *out, const char *drive, const char *dir,
                              const char *fname, const char *ext) noexcept
{
    if (!out)
        return ORIN_ERR_INVALID_PARAM;
    out[0] = 0;
    if (drive)
        strcat(out, drive);
    if (dir && *dir) {
        strcat(out, dir);
        if (!endsWithDelim(dir))
            strcat(out, "\\");
    }
    if (fname)
        strcat(out, fname);
    if (ext && *ext) {
        if (*ext != '.')
            strcat(out, ".");
        strcat(out, ext);
    }
    return 0;
}

USHORT ORINAPI KnlNamSplitPathInDF(void *ns, const char *name, char *dir, char *file) noexcept
{
    const char *rest, *sep;
    size_t n;

    if (dir)
        dir[0] = 0;
    if (file)
        file[0] = 0;
    if (!name)
        return ORIN_ERR_INVALID_PARAM;
    if (!KnlNamFnameHasWildCards(ns, name) && KnlNamQDirExist(ns, name)) {
        if (dir)
            knlNamCopy(dir, name, KNLNAM_MAXPATH);
        return 0;
    }
    rest = KnlNamSkipDriveName(name);
    sep = NULL;
    for (; *rest; rest = orin::knl::charNext(rest))
        if (*rest == '\\')
            sep = rest;
    n = sep ? (size_t)(sep + 1 - name) : 0;
    if (dir) {
        if (n > KNLNAM_MAXNAME)
            n = KNLNAM_MAXNAME;
        memcpy(dir, name, n);
        dir[n] = 0;
    }
    if (file)
        knlNamCopy(file, name + n, KNLNAM_MAXPATH);
    return 0;
}

USHORT ORINAPI KnlNamMakePathFromDF(void *ns, char *out, const char *dir, const char *file) noexcept
{
    char result[KNLNAM_MAXPATH];
    size_t dlen, flen;
    int needSep;

    if (!out)
        return ORIN_ERR_INVALID_PARAM;
    if (!file)
        file = "";
    dlen = dir ? strlen(dir) : 0;
    flen = strlen(file);
    needSep = dlen && !endsWithDelim(dir);
    if (dlen == 0 || dlen + needSep + flen > KNLNAM_MAXPATH) {
        knlNamCopy(result, file, KNLNAM_MAXPATH);
    } else {
        /* dlen + needSep + flen <= 260: the terminator may be cut off. */
        size_t n = 0;
        memcpy(result, dir, dlen);
        n = dlen;
        if (needSep)
            result[n++] = '\\';
        flen = flen > KNLNAM_MAXNAME - n ? KNLNAM_MAXNAME - n : flen;
        memcpy(result + n, file, flen);
        result[n + flen] = 0;
    }
    strcpy(out, result);
    return 0;
}

/* ---- extensions --------------------------------------------------------- */

char *ORINAPI KnlNamQueryExt(void *ns, const char *name) noexcept
{
    const char *dot;
    if (!name)
        return NULL;
    dot = lastPoint(knlNamLastComponent(ns, KnlNamSkipDriveName(name)));
    if (!dot || dot[1] == 0)
        return NULL;
    return (char *)dot;
}

USHORT ORINAPI KnlNamSetExt(void *ns, char *name, const char *ext) noexcept
{
    char *dot, *at;
    size_t room;
    int addPoint;

    if (!name)
        return ORIN_ERR_INVALID_PARAM;
    if (strlen(name) > KNLNAM_MAXNAME)
        return ORIN_ERR_INVALID_NAME;
    dot = (char *)lastPoint(knlNamLastComponent(ns, KnlNamSkipDriveName(name)));
    at = dot ? dot : name + strlen(name);
    if (!ext || !*ext) {
        *at = 0;
        return 0;
    }
    addPoint = *ext != '.';
    room = KNLNAM_MAXNAME - (size_t)(at - name);
    if (strlen(ext) + addPoint > room)
        return ORIN_ERR_INVALID_NAME;       /* the name stays as it was */
    if (addPoint)
        *at++ = '.';
    strcpy(at, ext);
    return 0;
}

USHORT ORINAPI KnlNamDefaultExt(void *ns, char *name, const char *ext) noexcept
{
    if (!name)
        return ORIN_ERR_INVALID_PARAM;
    if (lastPoint(knlNamLastComponent(ns, KnlNamSkipDriveName(name))))
        return 0;
    return KnlNamSetExt(ns, name, ext);
}

/* ---- full paths ------------------------------------------------------------ */

USHORT ORINAPI KnlNamExpandPath(void *ns, char *name, char *out, USHORT size) noexcept
{
    char trimmed[KNLNAM_MAXPATH], full[KNLNAM_MAXPATH];
    char *target = out ? out : name;
    size_t n;
    DWORD len;
    USHORT err = 0;

    if (!name || !size)
        return ORIN_ERR_INVALID_PARAM;
    knlNamCopy(trimmed, name, sizeof trimmed);
    n = strlen(trimmed);
    while (n && (knlCharTable[(BYTE)trimmed[n - 1]].flags & KNL_CT_SPACE))
        trimmed[--n] = 0;
    {
        QuietErrors quiet;
        len = GetFullPathNameA(trimmed, sizeof full, full, NULL);
        if (len == 0)
            err = knlNamLastError();
        else if (len >= sizeof full)
            err = ORIN_ERR_INVALID_NAME;
    }
    knlNamCopy(target, err ? name : full, size);
    return err;
}
