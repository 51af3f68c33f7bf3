/*
 * knl_errlog.c - the error log: a text file that records failures for
 * support staff.  Three states: closed; open and active; open and stopped
 * (formatted lines are dropped while stopped).  Each change of state is
 * marked in the file.
 */
#include <stdio.h>
#include <string.h>
#include "frame/knlint.h"
#include "knlnam.h"

#define DEFAULT_LOG   "C:\\ORIN.ERR"
#define LOG_EXT       "err"
#define FORMAT_MAX    512
#define LINE_END      "\r\n"

static HANDLE logFile = INVALID_HANDLE_VALUE;
static BOOL logOpen, logActive;
static char logName[KNL_MAX_PATH] = DEFAULT_LOG;

static void logWrite(const char *text)
{
    DWORD done;
    if (logOpen && text)
        WriteFile(logFile, text, (DWORD)strlen(text), &done, NULL);
}

USHORT ORINAPI KnlErrLogOpen(const char *name, BOOL append) noexcept
{
    if (logOpen)
        return 1;
    if (name) {
        size_t n = strlen(name);
        if (n > sizeof logName - 1)
            n = sizeof logName - 1;
        memcpy(logName, name, n);
        logName[n] = 0;
    }
    KnlNamSetExt(KnlNamGetDefaultNS(), logName, LOG_EXT);
    logFile = CreateFileA(logName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          NULL, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, NULL);
    if (logFile == INVALID_HANDLE_VALUE)
        return 0;
    if (append)
        SetFilePointer(logFile, 0, NULL, FILE_END);
    logOpen = logActive = TRUE;
    logWrite(LINE_END " *** Error Logging Started ***" LINE_END);
    return 1;
}

USHORT __cdecl KnlErrLogPrintf(const char *fmt, ...) noexcept
{
    char text[FORMAT_MAX];
    va_list ap;

    if (!logActive)
        return 0;
    if (fmt && logOpen) {
        va_start(ap, fmt);
        vsnprintf(text, sizeof text, fmt, ap);
        va_end(ap);
        logWrite(text);
        logWrite(LINE_END);
    }
    return (USHORT)logActive;
}

void ORINAPI KnlErrLogStop(void) noexcept
{
    if (logOpen && logActive) {
        logWrite(LINE_END " *** Error Logging Stopped ***" LINE_END);
        logActive = FALSE;
    }
}

void ORINAPI KnlErrLogResume(void) noexcept
{
    if (logOpen && !logActive) {
        logActive = TRUE;
        logWrite(LINE_END " *** Error Logging Resumed ***" LINE_END);
    }
}

USHORT ORINAPI KnlErrLogClose(void) noexcept
{
    if (logOpen) {
        logWrite(LINE_END " *** Error Logging Closed ***" LINE_END);
        CloseHandle(logFile);
    }
    logFile = INVALID_HANDLE_VALUE;
    logOpen = logActive = FALSE;
    return 0;
}

void KnlErrLogWriteLine(const char *text)
{
    if (logOpen && text) {
        logWrite(text);
        logWrite(LINE_END);
    }
}
