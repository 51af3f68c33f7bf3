/*
 * knl_dbg.cpp - the debug channel: texts sent at a level go to any of three
 * outputs (a monochrome display device, the debugger, a file), switched on
 * from outside by the ORINDBG setting.
 *
 * The setting is read on first output, from the registry, then the Windows
 * profile file, then the environment.  It is a list of items separated by
 * ';': "mono", "window" or "file[:name]", each optionally followed by ','
 * and a hexadecimal level mask.  File output drops the control characters
 * a monochrome screen uses (and four-character escape sequences), so the
 * file stays readable.  All output is best effort and never fails.
 *
 * The channel's state is one object behind one lock that every entry
 * takes (the internal steps below expect it held), so threads may write at
 * once: each text goes out whole.
 */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <mutex>
#include "frame/knlint.h"
#include "frame/scope.h"
#include "dos.h"

constexpr char SETTING_NAME[] = "ORINDBG";
constexpr char SETTING_KEY[] = "Software\\Orin";
#define DEFAULT_FILE     ".\\KNLDBG.OUT"

namespace orin::knl {
namespace {

constexpr DWORD kSettingMax = 128;
constexpr std::size_t kFormatMax = 512;   // formatted texts: 511 characters
constexpr unsigned char kEsc = 0x1B;
constexpr int kEscSequenceLen = 4;        // escape plus three characters
constexpr DWORD kMonoIoctlWrite = 1;
constexpr ULONG kAllLevels = 0xFFFFFFFFUL;

enum class Mono { NotTried, Unavailable, Driver, File };

struct Channel {
    SlimLock lock;
    bool ready = false;
    ULONG outputMask = 0;
    ULONG levelMask = kAllLevels;
    char fileName[KNL_MAX_PATH] = DEFAULT_FILE;
    FILE *outFile = nullptr;
    UniqueHandle mono;                    // the display device, when open
    Mono monoState = Mono::NotTried;
    clock_t timerStart = 0;
};

constinit Channel channel;

using Held = std::lock_guard<SlimLock>;

/* Characters allowed in a file name given after "file:". */
bool isFileNameChar(char c)
{
    return isalnum((unsigned char)c) || (c && strchr("\\.!@$-_+:", c));
}

/* Reads the setting from the three places in turn; "" when absent. */
void readSetting(char *buf, DWORD size)
{
    HKEY key;
    DWORD type, len = size - 1;

    buf[0] = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTING_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        UniqueRegKey owned(key);
        if (RegQueryValueExA(key, SETTING_NAME, NULL, &type, (BYTE *)buf, &len) == ERROR_SUCCESS
            && type == REG_SZ)
            buf[len < size ? len : size - 1] = 0;
        else
            buf[0] = 0;
    }
    if (!buf[0])
        GetProfileStringA(SETTING_NAME, SETTING_NAME, "", buf, size);
    if (!buf[0]) {
        const char *value;
        if (DosScanEnv(SETTING_NAME, &value) == 0 && strlen(value) < size)
            strcpy(buf, value);
    }
}

void parseSetting(const char *p)
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
        if (c == 'm') channel.outputMask |= KNL_DBG_MONO;
        if (c == 'w') channel.outputMask |= KNL_DBG_WINDOW;
        if (c == 'f') {
            channel.outputMask |= KNL_DBG_FILE;
            if (*p == ':') {
                size_t n = 0;
                p++;
                while (isFileNameChar(*p)) {
                    if (n < sizeof channel.fileName - 1)
                        channel.fileName[n++] = *p;
                    p++;
                }
                channel.fileName[n] = 0;
            }
        }
        if (*p == ',') {
            char *end;
            p++;
            channel.levelMask = strtoul(p, &end, 16);
            p = end;
        }
    }
}

/* Writes text to the file, leaving out screen-control characters. */
void writeFiltered(FILE *f, const char *text)
{
    const unsigned char *p = (const unsigned char *)text;
    while (*p) {
        switch (*p) {
        case 0x08: case 0x0B: case 0x0C: case 0x0E: case 0x0F:
        case 0x1A: case 0x1E:
            p++;
            break;
        case kEsc:
            for (int i = 0; i < kEscSequenceLen && *p; i++)
                p++;
            break;
        default:
            fputc(*p++, f);
        }
    }
    fflush(f);
}

bool monoOpen()
{
    if (channel.monoState != Mono::NotTried)
        return channel.monoState != Mono::Unavailable;
    channel.mono = adoptFileHandle(CreateFileA("\\\\.\\MONO", GENERIC_READ | GENERIC_WRITE, 0,
                                               NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (channel.mono) {
        channel.monoState = Mono::File;
        return true;
    }
    channel.mono = adoptFileHandle(CreateFileA("\\\\.\\MONO.VXD", 0, 0, NULL, OPEN_ALWAYS,
                                               FILE_FLAG_DELETE_ON_CLOSE, NULL));
    if (channel.mono) {
        channel.monoState = Mono::Driver;
        return true;
    }
    channel.monoState = Mono::Unavailable;
    return false;
}

USHORT monoWrite(const char *text)
{
    DWORD done = 0, len;
    if (!text || !monoOpen())
        return 0;
    len = (DWORD)strlen(text);
    if (channel.monoState == Mono::File)
        return WriteFile(channel.mono.get(), text, len, &done, NULL) ? 1 : 0;
    return DeviceIoControl(channel.mono.get(), kMonoIoctlWrite, (void *)text, len,
                           NULL, 0, &done, NULL) ? 1 : 0;
}

void monoClose()
{
    channel.mono.reset();
    channel.monoState = Mono::NotTried;
}

/* Sends text to the outputs of mask that are on. */
void writeTo(ULONG outputs, ULONG level, const char *text)
{
    if (!text || !outputs || !(channel.levelMask & level))
        return;
    if ((outputs & KNL_DBG_FILE) && channel.outFile)
        writeFiltered(channel.outFile, text);
    if (outputs & KNL_DBG_MONO)
        monoWrite(text);
    if (outputs & KNL_DBG_WINDOW)
        OutputDebugStringA(text);
}

void initChannel()
{
    char setting[kSettingMax + 1];

    channel.ready = true;
    readSetting(setting, sizeof setting);
    parseSetting(setting);
    if (channel.outputMask & KNL_DBG_FILE)
        channel.outFile = fopen(channel.fileName, "ab");
    if (channel.outputMask) {
        char header[32];
        snprintf(header, sizeof header, "%s%s",
                 channel.outputMask == KNL_DBG_MONO ? "\x1b[2J" : "----------",
                 "Debug channel:\n");
        writeTo(channel.outputMask, 1, header);
    }
}

void ensureChannel()
{
    if (!channel.ready)
        initChannel();
}

/* Formats and sends a text to the given outputs (or all that are on). */
void vprintTo(bool withFile, ULONG level, const char *fmt, va_list ap)
{
    char text[kFormatMax];
    if (!fmt)
        return;
    vsnprintf(text, sizeof text, fmt, ap);
    Held held(channel.lock);
    ensureChannel();
    ULONG outputs = channel.outputMask;
    if (!withFile)
        outputs &= ~(ULONG)KNL_DBG_FILE;
    writeTo(outputs, level, text);
}

/* Milliseconds printed as seconds "." (ms mod 1000) with at least two
 * digits, as the channel has always printed them (1005 ms -> 1.05). */
void printElapsed(const char *label, const char *what, long ms)
{
    if (label)
        KnlDbgPrintf("%s, %s=%ld.%02d\n", label, what, ms / 1000, (int)(ms % 1000));
    else
        KnlDbgPrintf("%s=%ld.%02d\n", what, ms / 1000, (int)(ms % 1000));
}

}  // namespace
}  // namespace orin::knl

using namespace orin::knl;

void KnlDbgParseSetting(const char *setting)
{
    Held held(channel.lock);
    parseSetting(setting);
}

void KnlDbgInitChannel(void)
{
    Held held(channel.lock);
    initChannel();
}

void KnlDbgWrite(ULONG level, const char *text)
{
    Held held(channel.lock);
    ensureChannel();
    writeTo(channel.outputMask, level, text);
}

void KnlDbgVPrintfLevel(ULONG level, const char *fmt, va_list ap)
{
    vprintTo(true, level, fmt, ap);
}

void __cdecl KnlDbgPrintf(const char *fmt, ...) noexcept
{
    va_list ap;
    va_start(ap, fmt);
    vprintTo(true, 1, fmt, ap);
    va_end(ap);
}

void __cdecl KnlDbgPrintfLevel(ULONG level, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vprintTo(true, level, fmt, ap);
    va_end(ap);
}

void __cdecl KnlDbgPrintfNoFile(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vprintTo(false, 1, fmt, ap);
    va_end(ap);
}

/* ---- Time measurement and assertions ---------------------------------- */

void KnlDbgTimerStart(void)
{
    Held held(channel.lock);
    channel.timerStart = clock();
}

void KnlDbgTimeSpend(const char *label)
{
    clock_t start;
    {
        Held held(channel.lock);
        start = channel.timerStart;
    }
    long ms = (long)((clock() - start) * 1000 / CLOCKS_PER_SEC);
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
    Held held(channel.lock);
    if (channel.outFile)
        fclose(channel.outFile);
    channel.outFile = NULL;
    monoClose();
    channel.ready = false;
    channel.outputMask = 0;
    channel.levelMask = kAllLevels;
    strcpy(channel.fileName, DEFAULT_FILE);
}

ULONG KnlDbgQueryOutputMask(void)
{
    Held held(channel.lock);
    return channel.outputMask;
}

ULONG KnlDbgQueryLevelMask(void)
{
    Held held(channel.lock);
    return channel.levelMask;
}

/* The name stays valid until the channel is closed or set up again. */
const char *KnlDbgQueryFileName(void) { return channel.fileName; }

/* ---- Monochrome display device ---------------------------------------- */

USHORT KnlDbgMonoOpen(void)
{
    Held held(channel.lock);
    return monoOpen() ? 1 : 0;
}

USHORT KnlDbgMonoWrite(const char *text)
{
    Held held(channel.lock);
    return monoWrite(text);
}

USHORT KnlDbgMonoWriteW(const WCHAR *text)
{
    if (!text)
        return 0;
    int len = WideCharToMultiByte(CP_ACP, 0, text, -1, NULL, 0, NULL, NULL);
    orin::UniqueMalloc<char> narrow(len > 0 ? (char *)malloc(len) : NULL);
    if (!narrow)
        return 0;
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.get(), len, NULL, NULL);
    return KnlDbgMonoWrite(narrow.get());
}

void KnlDbgMonoClose(void)
{
    Held held(channel.lock);
    monoClose();
}
