/*
 * lsp_sysvar.cpp - the system variables behind getsysvar and setsysvar.
 *
 * Each variable is one row of a table: its name (matched without regard
 * to case), a reader and an optional writer.  Reading a variable without
 * a row fails with LSPERR_SYSVAR; writing one that has no writer fails
 * with LSPERR_SYSVARRO.  TRACE and SEARCHPATH can be written; both, like
 * the rest of the interpreter's state, belong to its one thread.
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "lisp/lspint.h"
#include "lisp/lsq.h"
#include "frame/knlint.h"
#include "dat.h"
#include "dos.h"

namespace orin::lsp {

namespace {

constexpr LONG kStackFree = 65535;
constexpr size_t kPathMax = 260 + 1;     // the search path holds up to 260 characters
constexpr USHORT kPlatformDos = 5;
constexpr USHORT kGetSysVar = 180;     // the core id of getsysvar

enum { OS_WINNT = 1, OS_WIN95 = 2, OS_WIN = 3 };

char searchPath[kPathMax];             // as set, with the platform's delimiter

using SysRead = PLSPLIST (*)(LSPSESSION *s);
using SysWrite = bool (*)(const char *text);

PLSPLIST readTrace(LSPSESSION *)  { return lspNewLong(nullptr, static_cast<LONG>(lspTraceSwitch)); }
PLSPLIST readNodes(LSPSESSION *)  { return lspNewLong(nullptr, static_cast<LONG>(lspPoolNodesUsed())); }
PLSPLIST readMem(LSPSESSION *)    { return lspNewLong(nullptr, static_cast<LONG>(lspPoolMemUsed())); }
PLSPLIST readStack(LSPSESSION *)  { return lspNewLong(nullptr, kStackFree); }
PLSPLIST readWin32(LSPSESSION *)  { return lspNewTruth(nullptr, 1); }
PLSPLIST readSymbolList(LSPSESSION *) { return lspSymNameList(); }

PLSPLIST readOsVersion(LSPSESSION *)
{
    USHORT version = 0;
    KnlQueryOS(&version);
    return lspNewLong(nullptr, version);
}

PLSPLIST readOs(LSPSESSION *)
{
    USHORT version;
    const char *name = "";
    if (KnlQueryPlatform() == kPlatformDos) {
        name = "DOS";
    } else {
        switch (KnlQueryOS(&version)) {
        case OS_WINNT: name = "WinNT"; break;
        case OS_WIN95: name = "Win95"; break;
        case OS_WIN:   name = "Win";   break;
        }
    }
    return lspNewText(nullptr, name, LSP_T_STRING);
}

/* DBCS-aware: a trail byte equal to `from` is left alone. */
void replaceAll(char *t, char from, char to)
{
    for (; *t; t += lspCharLen(t))
        if (*t == from)
            *t = to;
}

PLSPLIST readSearchPath(LSPSESSION *)
{
    char copy[kPathMax];
    strcpy(copy, searchPath);
    replaceAll(copy, '\\', '/');
    return lspNewText(nullptr, copy, LSP_T_STRING);
}

bool writeSearchPath(const char *text)
{
    snprintf(searchPath, sizeof searchPath, "%s", text);
    replaceAll(searchPath, '/', '\\');
    return true;
}

bool writeTrace(const char *text)
{
    lspTraceSwitch = static_cast<ULONG>(strtoul(text, nullptr, 10));
    return true;
}

PLSPLIST readInfo(LSPSESSION *)
{
    char text[200];
    snprintf(text, sizeof text,
             "VelaLISP II \n\n\tVersion: %s\n\tNode pool: %d nodes per block\n"
             "\tNesting limit: %d\n", __DATE__, kPoolSlots, kMaxDepth);
    return lspNewText(nullptr, text, LSP_T_STRING);
}

/* The clock, read through the process services and turned into a
 * DTJulian value by the date family. */
double nowDTJulian()
{
    DATETIME dt{};
    DosGetDateTime(&dt);
    return DatDatetime2DTJulian(&dt);
}

PLSPLIST readDateTime(LSPSESSION *) { return lspNewDouble(nullptr, nowDTJulian(), LSP_T_DATETIME); }

PLSPLIST readDate(LSPSESSION *)
{
    return lspNewDouble(nullptr, static_cast<double>(static_cast<long long>(nowDTJulian())),
                        LSP_T_DATETIME);
}

/* The time of day alone: a DATETIME without a date gives the fraction. */
PLSPLIST readTime(LSPSESSION *)
{
    DATETIME dt{};
    DosGetDateTime(&dt);
    dt.day = dt.month = 0;
    dt.year = 0;
    return lspNewDouble(nullptr, DatDatetime2DTJulian(&dt), LSP_T_DATETIME);
}

struct SysVar {
    const char *name;
    SysRead read;
    SysWrite write;
};

constexpr SysVar sysVars[] = {
    { "CURRENTDATE", readDate, nullptr },
    { "CURRENTTIME", readTime, nullptr },
    { "CURRENTDATETIME", readDateTime, nullptr },
    { "TRACE", readTrace, writeTrace },
    { "VELALISPINFO", readInfo, nullptr },
    { "MEMUSED", readMem, nullptr },
    { "NODESUSED", readNodes, nullptr },
    { "STACKFREE", readStack, nullptr },
    { "SEARCHPATH", readSearchPath, writeSearchPath },
    { "SYMBOLLIST", readSymbolList, nullptr },
    { "OSVERSION", readOsVersion, nullptr },
    { "OS", readOs, nullptr },
    { "WIN32", readWin32, nullptr },
};

const SysVar *findSysVar(const char *name)
{
    for (const SysVar &v : sysVars)
        if (_stricmp(v.name, name) == 0)
            return &v;
    return nullptr;
}

}  // namespace

const char *lspSearchPath()
{
    return searchPath;
}

PLSPLIST lspBiSysVar(LSPSESSION *s, USHORT id, PLSPLIST a, unsigned int *err)
{
    if (a->type != LSP_T_STRING) {
        lspFail(err, LSPERR_TYPE, lspNodeText(a));
        return nullptr;
    }
    const char *name = a->value.psz;
    const SysVar *v = findSysVar(name);
    if (!v) {
        lspFail(err, LSPERR_SYSVAR, name);
        return nullptr;
    }
    if (id == kGetSysVar)
        return lspMade(v->read(s), err);
    if (!v->write || !v->write(lspNodeText(a->next))) {
        lspFail(err, LSPERR_SYSVARRO, name);
        return nullptr;
    }
    return lspMade(lspNewNil(nullptr), err);
}

}  // namespace orin::lsp
