/*
 * knl_dbg.c - the debug channel: texts sent at a level go to any of three
 * outputs (a monochrome display device, the debugger, a file), switched on
 * from outside by the ORINDBG setting.
 *
 * The setting is read on first output, from the registry, then the Windows
 * profile file, then the environment.  It is a list of items separated by
 * ';': "mono", "window" or "file[:name]", each optionally followed by ','
 * and a hexadecimal level mask.  File output drops the control characters
 * a monochrome screen uses (and four-character escape sequences), so the
 * file stays readable.  All output is best effort and never fails.
 */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include "frame/knlint.h"
#include "dos.h"

#define SETTING_NAME     "ORINDBG"
#define SETTING_KEY      "Software\\Orin"
#define SETTING_MAX      128
#define DEFAULT_FILE     ".\\KNLDBG.OUT"
#define FORMAT_MAX       512           /* formatted texts: 511 characters */
#define ESC              0x1B
#define ESC_SEQUENCE_LEN 4             /* escape plus three characters */
#define MONO_IOCTL_WRITE 1

enum { MONO_NOT_TRIED = 0, MONO_UNAVAILABLE = 1, MONO_DRIVER = 2, MONO_FILE = 3 };

static BOOL channelReady;
static ULONG outputMask;
static ULONG levelMask = 0xFFFFFFFFUL;
static char fileName[KNL_MAX_PATH] = DEFAULT_FILE;
static FILE *outFile;
static HANDLE monoHandle = INVALID_HANDLE_VALUE;
static int monoState = MONO_NOT_TRIED;
static clock_t timerStart;

/* Characters allowed in a file name given after "file:". */
static int isFileNameChar(char c)
{
    return isalnum((unsigned char)c) || (c && strchr("\\.!@$-_+:", c));
}

/* Reads the setting from the three places in turn; "" when absent. */
static void readSetting(char *buf, DWORD size)
{
    HKEY key;
    DWORD type, len = size - 1;

    buf[0] = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTING_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key, SETTING_NAME, NULL, &type, (BYTE *)buf, &len) == ERROR_SUCCESS
            && type == REG_SZ)
            buf[len < size ? len : size - 1] = 0;
        else
            buf[0] = 0;
        RegCloseKey(key);
    }
    if (!buf[0])
        GetProfileStringA(SETTING_NAME, SETTING_NAME, "", buf, size);
    if (!buf[0]) {
        const char *value;
        if (DosScanEnv(SETTING_NAME, &value) == 0 && strlen(value) < size)
            strcpy(buf, value);
    }
}

void KnlDbgParseSetting(const char *p)
{
    while (p && *p) {
        int c;
        while (*p && isspace((unsigned char)*p))
            p++;
        c = tolower((unsigned char)*p);
        if (c != 'm' && c != 'w' && c != 'f') {
            if (*p)
                p++;
            continue;
        }
        while (isalpha((unsigned char)*p))
            p++;
        if (c == 'm') outputMask |= KNL_DBG_MONO;
        if (c == 'w') outputMask |= KNL_DBG_WINDOW;
        if (c == 'f') {
            outputMask |= KNL_DBG_FILE;
            if (*p == ':') {
                size_t n = 0;
                p++;
                while (isFileNameChar(*p)) {
                    if (n < sizeof fileName - 1)
                        fileName[n++] = *p;
                    p++;
                }
                fileName[n] = 0;
            }
        }
        if (*p == ',') {
            char *end;
            p++;
            levelMask = strtoul(p, &end, 16);
            p = end;
        }
    }
}

void KnlDbgInitChannel(void)
{
    char setting[SETTING_MAX + 1];

    channelReady = TRUE;
    readSetting(setting, sizeof setting);
    KnlDbgParseSetting(setting);
    if (outputMask & KNL_DBG_FILE)
        outFile = fopen(fileName, "ab");
    if (outputMask) {
        char header[32];
        snprintf(header, sizeof header, "%s%s",
                 outputMask == KNL_DBG_MONO ? "\x1b[2J" : "----------",
                 "Debug channel:\n");
        KnlDbgWrite(1, header);
    }
}

/* Writes text to the file, leaving out screen-control characters. */
static void writeFiltered(FILE *f, const char *text)
{
    const unsigned char *p = (const unsigned char *)text;
    while (*p) {
        switch (*p) {
        case 0x08: case 0x0B: case 0x0C: case 0x0E: case 0x0F:
        case 0x1A: case 0x1E:
            p++;
            break;
        case ESC: {
            int i;
            for (i = 0; i < ESC_SEQUENCE_LEN && *p; i++)
                p++;
            break;
        }
        default:
            fputc(*p++, f);
        }
    }
    fflush(f);
}

void KnlDbgWrite(ULONG level, const char *text)
{
    if (!channelReady)
        KnlDbgInitChannel();
    if (!text || !outputMask || !(levelMask & level))
        return;
    if ((outputMask & KNL_DBG_FILE) && outFile)
        writeFiltered(outFile, text);
    if (outputMask & KNL_DBG_MONO)
        KnlDbgMonoWrite(text);
    if (outputMask & KNL_DBG_WINDOW)
        OutputDebugStringA(text);
}

void KnlDbgVPrintfLevel(ULONG level, const char *fmt, va_list ap)
{
    char text[FORMAT_MAX];
    if (!fmt)
        return;
    vsnprintf(text, sizeof text, fmt, ap);
    KnlDbgWrite(level, text);
}

void __cdecl KnlDbgPrintf(const char *fmt, ...) noexcept
{
    va_list ap;
    va_start(ap, fmt);
    KnlDbgVPrintfLevel(1, fmt, ap);
    va_end(ap);
}

void __cdecl KnlDbgPrintfLevel(ULONG level, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    KnlDbgVPrintfLevel(level, fmt, ap);
    va_end(ap);
}

void __cdecl KnlDbgPrintfNoFile(const char *fmt, ...)
{
    va_list ap;
    ULONG saved;
    if (!channelReady)
        KnlDbgInitChannel();
    saved = outputMask;
    outputMask &= ~(ULONG)KNL_DBG_FILE;
    va_start(ap, fmt);
    KnlDbgVPrintfLevel(1, fmt, ap);
    va_end(ap);
    outputMask = saved;
}

/* ---- Time measurement and assertions ---------------------------------- */

void KnlDbgTimerStart(void)
{
    timerStart = clock();
}

/* Milliseconds printed as seconds "." (ms mod 1000) with at least two
 * digits, as the channel has always printed them (1005 ms -> 1.05). */
static void printElapsed(const char *label, const char *what, long ms)
{
    if (label)
        KnlDbgPrintf("%s, %s=%ld.%02d\n", label, what, ms / 1000, (int)(ms % 1000));
    else
        KnlDbgPrintf("%s=%ld.%02d\n", what, ms / 1000, (int)(ms % 1000));
}

void KnlDbgTimeSpend(const char *label)
{
    long ms = (long)((clock() - timerStart) * 1000 / CLOCKS_PER_SEC);
    printElapsed(label, "TimeSpend", ms);
}

void KnlDbgDiffTime(const char *label, long start, long end)
{
    printElapsed(label, "DiffTime", end - start);
}

void KnlDbgAssert(const char *expr, const char *file, int line)
{
    KnlDbgPrintf("Assertion failed: %s, file %s, line %d\r\n",
                 expr ? expr : "", file ? file : "", line);
}

void KnlDbgClose(void)
{
    if (outFile)
        fclose(outFile);
    outFile = NULL;
    KnlDbgMonoClose();
    channelReady = FALSE;
    outputMask = 0;
    levelMask = 0xFFFFFFFFUL;
    strcpy(fileName, DEFAULT_FILE);
}

ULONG KnlDbgQueryOutputMask(void) { return outputMask; }
ULONG KnlDbgQueryLevelMask(void) { return levelMask; }
const char *KnlDbgQueryFileName(void) { return fileName; }

/* ---- Monochrome display device ---------------------------------------- */

USHORT KnlDbgMonoOpen(void)
{
    if (monoState != MONO_NOT_TRIED)
        return monoState != MONO_UNAVAILABLE;
    monoHandle = CreateFileA("\\\\.\\MONO", GENERIC_READ | GENERIC_WRITE, 0, NULL,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (monoHandle != INVALID_HANDLE_VALUE) {
        monoState = MONO_FILE;
        return 1;
    }
    monoHandle = CreateFileA("\\\\.\\MONO.VXD", 0, 0, NULL, OPEN_ALWAYS,
                             FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (monoHandle != INVALID_HANDLE_VALUE) {
        monoState = MONO_DRIVER;
        return 1;
    }
    monoState = MONO_UNAVAILABLE;
    return 0;
}

USHORT KnlDbgMonoWrite(const char *text)
{
    DWORD done = 0, len;
    if (!text || !KnlDbgMonoOpen())
        return 0;
    len = (DWORD)strlen(text);
    if (monoState == MONO_FILE)
        return WriteFile(monoHandle, text, len, &done, NULL) ? 1 : 0;
    return DeviceIoControl(monoHandle, MONO_IOCTL_WRITE, (void *)text, len,
                           NULL, 0, &done, NULL) ? 1 : 0;
}

USHORT KnlDbgMonoWriteW(const WCHAR *text)
{
    char *narrow;
    int len;
    USHORT rc;
    if (!text)
        return 0;
    len = WideCharToMultiByte(CP_ACP, 0, text, -1, NULL, 0, NULL, NULL);
    narrow = len > 0 ? (char *)malloc(len) : NULL;
    if (!narrow)
        return 0;
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, len, NULL, NULL);
    rc = KnlDbgMonoWrite(narrow);
    free(narrow);
    return rc;
}

void KnlDbgMonoClose(void)
{
    if (monoHandle != INVALID_HANDLE_VALUE)
        CloseHandle(monoHandle);
    monoHandle = INVALID_HANDLE_VALUE;
    monoState = MONO_NOT_TRIED;
}
