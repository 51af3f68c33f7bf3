/*
 * lsp_file.cpp - builtins that reach the file system, the program starter
 * and the date formats: fileexist, direxist, diskspace, splitpath,
 * mapuncfilename, runprogram, str2date, str2time, date2str, time2str,
 * datetimestamp and sound.
 *
 * File names go through the file-name family in the default name space,
 * so a '/' may stand for the platform's directory delimiter.  Date-times
 * are DTJulian values; their texts use the system's date and time
 * templates.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"
#include "knlnam.h"
#include "net.h"
#include "dat.h"
#include "opm.h"
#include "dos.h"

namespace orin::lsp {

namespace {

enum {
    F_DATE2STR = 130, F_TIME2STR, F_STR2DATE, F_STR2TIME, F_DATETIMESTAMP,
    F_SPLITPATH = 140, F_FILEEXIST, F_DISKSPACE = 161, F_DIREXIST,
    F_RUNPROGRAM = 164,             /* core table; 164 in the string table is below */
    F_SOUND = 310
};
constexpr USHORT F_MAPUNC_STRTABLE = 164;

constexpr ULONG kShowNormal = 5;        // started programs are shown normally
constexpr size_t kSysDateTimeChars = 39;   // system date-time text of an argument
constexpr size_t kDateChars = 80;

PLSPLIST made(PLSPLIST n, unsigned int *err)
{
    return lspMade(n, err);
}

PLSPLIST typeError(PLSPLIST a, unsigned int *err)
{
    lspFail(err, LSPERR_TYPE, lspNodeText(a));
    return nullptr;
}

}  // namespace

/* ---- text of a date-time argument ---- */

const char *lspDateTimeArgText(PLSPLIST n, char *buf, size_t size)
{
    char dt[kNumBufSize];
    DatDTJulian2Str(n->value.d, dt, sizeof dt);
    if (size > kSysDateTimeChars + 1)
        size = kSysDateTimeChars + 1;
    if (DatDTJulianStr2SysDateTimeStr(buf, (USHORT)(size - 1), dt) != 0)
        snprintf(buf, size, "%s", dt);
    return buf;
}

namespace {

/* ---- dates ---- */

bool toDatetime(PLSPLIST a, DATETIME *dt)
{
    memset(dt, 0, sizeof *dt);
    return DatDTJulian2Datetime(dt, lspNodeDouble(a)) == 0;
}

PLSPLIST dateText(USHORT id, PLSPLIST a, unsigned int *err)
{
    char buf[kDateChars * 2 + 4], date[kDateChars], time[kDateChars];
    DATETIME dt;
    if (id == F_DATETIMESTAMP && a->type != LSP_T_DATETIME)
        return typeError(a, err);
    toDatetime(a, &dt);
    buf[0] = 0;
    if (id == F_DATE2STR) {
        DatToSysDateStr(buf, kDateChars - 1, &dt);
    } else if (id == F_TIME2STR) {
        DatToSysTimeStr(buf, kDateChars - 1, &dt);
    } else if (a->next) {
        DatSprintf(buf, sizeof buf - 1, lspNodeText(a->next), &dt);
    } else {
        DatToSysDateStr(date, kDateChars - 1, &dt);
        DatToSysTimeStr(time, kDateChars - 1, &dt);
        snprintf(buf, sizeof buf, "%s  %s", date, time);
    }
    return made(lspNewText(nullptr, buf, LSP_T_STRING), err);
}

PLSPLIST parseDate(USHORT id, PLSPLIST a, unsigned int *err)
{
    DATETIME dt;
    USHORT rc;
    if (a->type != LSP_T_STRING)
        return typeError(a, err);
    memset(&dt, 0, sizeof dt);
    rc = id == F_STR2DATE ? DatSysDateStr2Datetime(&dt, a->value.psz, nullptr)
                          : DatSysTimeStr2Datetime(&dt, a->value.psz, nullptr);
    if (rc)
        return made(lspNewNil(nullptr), err);
    return made(lspNewDouble(nullptr, DatDatetime2DTJulian(&dt), LSP_T_DATETIME), err);
}

/* ---- paths ---- */

PLSPLIST splitPath(PLSPLIST a, unsigned int *err)
{
    char name[KNLNAM_MAXPATH], full[KNLNAM_MAXPATH];
    char drive[KNLNAM_MAXPART], dir[KNLNAM_MAXPART], fname[KNLNAM_MAXPART], ext[KNLNAM_MAXPART];
    char out[KNLNAM_MAXPATH];
    LONG part = lspNodeLong(a->next);
    LONG sub = a->next->next ? lspNodeLong(a->next->next) : 0;
    void *ns = KnlNamGetDefaultNS();

    if (a->type != LSP_T_STRING)
        return typeError(a, err);
    snprintf(name, sizeof name, "%s", a->value.psz);
    part = part < 1 ? 1 : part > 3 ? 3 : part;
    out[0] = 0;
    drive[0] = dir[0] = fname[0] = ext[0] = 0;
    if (KnlNamExpandPath(ns, name, full, sizeof full) == 0 &&
        KnlNamSplitPath(ns, full, drive, dir, fname, ext) == 0) {
        if (part == 1) {
            snprintf(out, sizeof out, "%s", drive);
        } else if (part == 2 && sub <= 0) {
            snprintf(out, sizeof out, "%s", dir);
        } else if (part == 2) {
            /* the sub-th component of the directory */
            char *tok, *ctx = nullptr;
            LONG i = 0;
            for (tok = strtok_r(dir, "\\/", &ctx); tok; tok = strtok_r(nullptr, "\\/", &ctx))
                if (++i == sub) {
                    snprintf(out, sizeof out, "%s", tok);
                    break;
                }
        } else if (sub == 0) {
            snprintf(out, sizeof out, "%s%s", fname, ext);
        } else {
            snprintf(out, sizeof out, "%s", sub == 1 ? fname : ext);
        }
    }
    return made(lspNewText(nullptr, out, LSP_T_STRING), err);
}

PLSPLIST diskSpace(PLSPLIST a, unsigned int *err)
{
    KNLFSALLOCATE info;
    char name[KNLNAM_MAXPATH], full[KNLNAM_MAXPATH];
    void *ns = KnlNamGetDefaultNS();
    double bytes = 0.0;
    memset(&info, 0, sizeof info);
    snprintf(name, sizeof name, "%s", lspNodeText(a));
    if (KnlNamExpandPath(ns, name, full, sizeof full) == 0 &&
        KnlNamQFSPathInfo(ns, full, KNLNAM_FSINFO_ALLOCATION, &info, sizeof info) == 0)
        bytes = (double)info.cUnitAvail * info.cSectorUnit * info.cbSector;
    return made(lspNewDouble(nullptr, bytes, LSP_T_FLOAT), err);
}

PLSPLIST mapUnc(PLSPLIST a, unsigned int *err)
{
    char out[KNLNAM_MAXPATH];
    const char *t;
    if (a->type != LSP_T_STRING)
        return typeError(a, err);
    t = a->value.psz;
    if (t[0] == '\\' && t[1] == '\\' && strlen(t) < sizeof out && NetGetMappedName(out, t) == 0)
        return made(lspNewText(nullptr, out, LSP_T_STRING), err);
    return made(lspNewText(nullptr, t, LSP_T_STRING), err);
}

PLSPLIST runProgram(PLSPLIST a, unsigned int *err)
{
    ULONG error = 0;
    bool wait = a->next && lspNodeTruth(a->next);
    if (a->type != LSP_T_STRING)
        return typeError(a, err);
    return made(lspNewTruth(nullptr, OpmStartProgram(a->value.psz, kShowNormal, wait, &error) == 0),
                err);
}

}  // namespace

PLSPLIST lspBiFile(LSPSESSION *s, USHORT id, PLSPLIST a, unsigned int *err)
{
    switch (id) {
    case F_DATE2STR:
    case F_TIME2STR:
    case F_DATETIMESTAMP: return dateText(id, a, err);
    case F_STR2DATE:
    case F_STR2TIME:      return parseDate(id, a, err);
    case F_SPLITPATH:     return splitPath(a, err);
    case F_SOUND:
        DosBeep((ULONG)lspNodeLong(a), (ULONG)lspNodeLong(a->next));
        return made(lspNewTruth(nullptr, 1), err);
    case F_FILEEXIST:
        if (a->type != LSP_T_STRING)
            return typeError(a, err);
        return made(lspNewTruth(nullptr, KnlNamQFileExist(KnlNamGetDefaultNS(), a->value.psz)), err);
    case F_DIREXIST:
        return made(lspNewTruth(nullptr, KnlNamQDirExist(KnlNamGetDefaultNS(), lspNodeText(a))), err);
    case F_DISKSPACE:     return diskSpace(a, err);
    case F_RUNPROGRAM:    return runProgram(a, err);
    default:
        lspFailf(err, LSPERR_UNKNOWNFN, "#%u", id);
        return nullptr;
    }
}

/* The string table's 164 is mapuncfilename. */
PLSPLIST lspBiFileStrTable(LSPSESSION *s, USHORT id, PLSPLIST a, unsigned int *err)
{
    if (id == F_MAPUNC_STRTABLE)
        return mapUnc(a, err);
    return lspBiFile(s, id, a, err);
}

}  // namespace orin::lsp
