/*
 * knl_init.cpp - library start-up and shutdown: the init thread, the
 * application's start-up arguments, the executable's name and directory,
 * and the command-line splitter.
 *
 * KnlInit copies the command line to the heap and splits the copy in
 * place: argv[0] is the recorded executable name, argv[1..] point into the
 * copy.  Only a blank ends an unquoted token (a tab inside one stays); a
 * token in double quotes runs to the next double quote; empty tokens are
 * not counted.  At most KNL_MAX_ARGS entries are filled.
 */
#include <stdlib.h>
#include <string.h>
#include "frame/knl_hooks.h"
#include "frame/knlnamint.h"

namespace orin::knl {
namespace {

constexpr auto SW_SHOWMINIMIZED_CMD = 2;
constexpr auto SW_SHOWMINNOACTIVE_CMD = 7;

DWORD initThread;
HINSTANCE appInstance;
HANDLE secondHandle;
LONG showState;
char *cmdCopy;
char exeName[KNL_MAX_PATH];
char exePath[KNL_MAX_PATH];

/* Splits text in place; returns the new argc (argv[0] is already set). */
USHORT splitCommandLine(char *text, char **argv)
{
    USHORT argc = 1;
    char *p = text;

    while (argc < KNL_MAX_ARGS && *p) {
        char *start, *end;
        while (*p && (knlCharTable[(BYTE)*p].flags & KNL_CT_SPACE))
            p++;
        if (!*p)
            break;
        if (*p == '"') {
            start = ++p;
            end = strchr(p, '"');
        } else {
            start = p;
            end = strchr(p, ' ');
        }
        argv[argc] = start;
        if (end) {
            *end = 0;
            p = end + 1;
        }
        if (*start)
            argc++;
        if (!end)
            break;
    }
    return argc;
}

USHORT copyOut(const char *src, char *buf, USHORT size)
{
    if (buf && size)
        knlNamCopy(buf, src, size);
    return 0;
}

}  // namespace
}  // namespace orin::knl

using namespace orin::knl;


USHORT ORINAPI KnlInit(HINSTANCE hInst, HANDLE hSecond, const char *cmdLine,
                       LONG showCmd, USHORT *argc, char **argv) noexcept
{
    DWORD self = GetCurrentThreadId();
    USHORT n = 1;

    if (initThread && initThread != self)
        return ORIN_ERR_GENERAL;
    initThread = self;

    orin::knl::networkHooks().start();

    free(cmdCopy);
    cmdCopy = cmdLine ? _strdup(cmdLine) : NULL;

    if (argv) {
        argv[0] = exeName;
        if (cmdCopy)
            n = splitCommandLine(cmdCopy, argv);
    }
    if (argc)
        *argc = n;
    appInstance = hInst;
    secondHandle = hSecond;
    showState = showCmd;
    return 0;
}

USHORT ORINAPI KnlTerminate(USHORT code) noexcept
{
    orin::knl::networkHooks().stop();
    free(cmdCopy);
    cmdCopy = NULL;
    orin::knl::dateHooks().setMonthNames(nullptr);
    orin::knl::dateHooks().setDayNames(nullptr);
    return code;
}

void ORINAPI KnlSetExecutableFileName(const char *name) noexcept
{
    void *ns = KnlNamGetPlatformNS();
    const char *behindDelim;

    knlNamCopy(exeName, name ? name : "", sizeof exeName);
    knlNamCopy(exePath, exeName, sizeof exePath);
    KnlNamExpandPath(ns, exePath, NULL, sizeof exePath);
    behindDelim = knlNamLastComponent(ns, exePath);
    if (behindDelim > exePath)
        exePath[behindDelim - 1 - exePath] = 0;     /* cut at the last delimiter */
    else
        exePath[0] = 0;
}

const char *ORINAPI KnlQueryExecutableName(void) noexcept { return exeName; }
const char *ORINAPI KnlQueryExecutablePath(void) noexcept { return exePath; }

USHORT ORINAPI KnlNamQExecutableName(void *ns, char *buf, USHORT size) noexcept
{
    return copyOut(exeName, buf, size);
}

USHORT ORINAPI KnlNamQExecutablePath(void *ns, char *buf, USHORT size) noexcept
{
    return copyOut(exePath, buf, size);
}

USHORT ORINAPI KnlQueryStartIconised(void) noexcept
{
    return showState == SW_SHOWMINIMIZED_CMD || showState == SW_SHOWMINNOACTIVE_CMD;
}
