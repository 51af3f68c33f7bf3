/*
 * lsp_sysvar.c - the system variables behind getsysvar and setsysvar.
 *
 * Each variable is one row of a table: its name (matched without regard
 * to case), a reader and an optional writer.  Reading a variable without
 * a row fails with LSPERR_SYSVAR; writing one that has no writer fails
 * with LSPERR_SYSVARRO.  TRACE and SEARCHPATH can be written.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "lisp/lspint.h"
#include "frame/knlint.h"
#include "dat.h"
#include "dos.h"

#define LSP_STACKFREE   65535
#define LSP_PATH_MAX    260
#define LSP_PLATFORM_DOS 5

enum { OS_WINNT = 1, OS_WIN95 = 2, OS_WIN = 3 };

static char searchPath[LSP_PATH_MAX];

typedef PLSPLIST (*SYSREAD)(LSPSESSION *s);
typedef BOOL (*SYSWRITE)(const char *text);

static PLSPLIST readTrace(LSPSESSION *s)     { return lspNewLong(NULL, (LONG)lspTraceSwitch); }
static PLSPLIST readNodes(LSPSESSION *s)     { return lspNewLong(NULL, (LONG)lspPoolNodesUsed()); }
static PLSPLIST readMem(LSPSESSION *s)       { return lspNewLong(NULL, (LONG)lspPoolMemUsed()); }
static PLSPLIST readStack(LSPSESSION *s)     { return lspNewLong(NULL, LSP_STACKFREE); }
static PLSPLIST readWin32(LSPSESSION *s)     { return lspNewTruth(NULL, 1); }

static PLSPLIST readOsVersion(LSPSESSION *s)
{
    USHORT version = 0;
    KnlQueryOS(&version);
    return lspNewLong(NULL, version);
}

static PLSPLIST readOs(LSPSESSION *s)
{
    USHORT version;
    const char *name = "";
    if (KnlQueryPlatform() == LSP_PLATFORM_DOS) {
        name = "DOS";
    } else {
        switch (KnlQueryOS(&version)) {
        case OS_WINNT: name = "WinNT"; break;
        case OS_WIN95: name = "Win95"; break;
        case OS_WIN:   name = "Win";   break;
        }
    }
    return lspNewText(NULL, name, LSP_T_STRING);
}

static PLSPLIST readSearchPath(LSPSESSION *s)
{
    char copy[LSP_PATH_MAX];
    char *p;
    strcpy(copy, searchPath);
    for (p = copy; *p; p++)
        if (*p == '\\')
            *p = '/';
    return lspNewText(NULL, copy, LSP_T_STRING);
}

static BOOL writeSearchPath(const char *text)
{
    char *p;
    snprintf(searchPath, sizeof searchPath, "%s", text);
    for (p = searchPath; *p; p++)
        if (*p == '/')
            *p = '\\';
    return TRUE;
}

static BOOL writeTrace(const char *text)
{
    lspTraceSwitch = (ULONG)strtoul(text, NULL, 10);
    return TRUE;
}

static PLSPLIST readSymbolList(LSPSESSION *s)
{
    PLSPLIST list = lspNewList(NULL), last = list;
    LSPSYM *sym;
    if (!list)
        return NULL;
    for (sym = lspSymNewest(); sym; sym = sym->older) {
        last = lspNewText(last, sym->name, LSP_T_SYMBOL);
        if (!last) {
            lspFreeTree(list);
            return NULL;
        }
    }
    if (!list->down)
        lspSetNil(list);
    else
        lspListClose(list);
    return list;
}

static PLSPLIST readInfo(LSPSESSION *s)
{
    char text[200];
    snprintf(text, sizeof text,
             "VelaLISP II \n\n\tVersion: %s\n\tNode pool: %d nodes per block\n"
             "\tNesting limit: %d\n", __DATE__, LSP_POOL_SLOTS, LSP_MAX_DEPTH);
    return lspNewText(NULL, text, LSP_T_STRING);
}

/* The clock, read through the process services and turned into a
 * DTJulian value by the date family. */
static double nowDTJulian(void)
{
    DATETIME dt;
    memset(&dt, 0, sizeof dt);
    DosGetDateTime(&dt);
    return DatDatetime2DTJulian(&dt);
}

static PLSPLIST readDateTime(LSPSESSION *s) { return lspNewDouble(NULL, nowDTJulian(), LSP_T_DATETIME); }

static PLSPLIST readDate(LSPSESSION *s)
{
    return lspNewDouble(NULL, (double)(long long)nowDTJulian(), LSP_T_DATETIME);
}

/* The time of day alone: a DATETIME without a date gives the fraction. */
static PLSPLIST readTime(LSPSESSION *s)
{
    DATETIME dt;
    memset(&dt, 0, sizeof dt);
    DosGetDateTime(&dt);
    dt.day = dt.month = 0;
    dt.year = 0;
    return lspNewDouble(NULL, DatDatetime2DTJulian(&dt), LSP_T_DATETIME);
}

static const struct {
    const char *name;
    SYSREAD read;
    SYSWRITE write;
} sysVars[] = {
    { "CURRENTDATE", readDate, NULL },
    { "CURRENTTIME", readTime, NULL },
    { "CURRENTDATETIME", readDateTime, NULL },
    { "TRACE", readTrace, writeTrace },
    { "VELALISPINFO", readInfo, NULL },
    { "MEMUSED", readMem, NULL },
    { "NODESUSED", readNodes, NULL },
    { "STACKFREE", readStack, NULL },
    { "SEARCHPATH", readSearchPath, writeSearchPath },
    { "SYMBOLLIST", readSymbolList, NULL },
    { "OSVERSION", readOsVersion, NULL },
    { "OS", readOs, NULL },
    { "WIN32", readWin32, NULL },
};

#define BI_GETSYSVAR 180

PLSPLIST lspBiSysVar(LSPSESSION *s, USHORT id, PLSPLIST a, unsigned int *err)
{
    size_t i;
    const char *name;
    PLSPLIST r;
    if (a->type != LSP_T_STRING) {
        lspFail(err, LSPERR_TYPE, lspNodeText(a));
        return NULL;
    }
    name = a->value.psz;
    for (i = 0; i < sizeof sysVars / sizeof sysVars[0]; i++)
        if (_stricmp(sysVars[i].name, name) == 0)
            break;
    if (i == sizeof sysVars / sizeof sysVars[0]) {
        lspFail(err, LSPERR_SYSVAR, name);
        return NULL;
    }
    if (id == BI_GETSYSVAR) {
        r = sysVars[i].read(s);
    } else {
        if (!sysVars[i].write || !sysVars[i].write(lspNodeText(a->next))) {
            lspFail(err, LSPERR_SYSVARRO, name);
            return NULL;
        }
        r = lspNewNil(NULL);
    }
    if (!r)
        lspFail(err, LSPERR_NOMEM, "");
    return r;
}
