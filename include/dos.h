/*
 * dos.h - process services with OS/2 argument conventions: polled
 * countdown timers, threads, environment variables, search along a path
 * list, temporary names, version, date-time and time-zone queries, and a
 * few conveniences.  Calls return 0 or an error code unless stated.
 */
#ifndef DOS_H
#define DOS_H

#include "orinbase.h"
#include "dat.h"

ORIN_BEGIN_DECLS

#define DOS_TIMER_COUNT          100
#define DOS_ERR_NO_TIMER         324   /* all timers in use */
#define DOS_ERR_INVALID_TIMER    326   /* id 0 or a timer not in use */
#define DOS_ERR_ENV_NOT_FOUND    203   /* variable absent, empty or too long */
#define DOS_ENV_BUFFER           1024  /* values must be shorter than this */

/* DosWaitThread options. */
#define DOS_WAIT_THREAD          0     /* wait until the thread ends */
#define DOS_WAIT_NOWAIT          1     /* close the handle without waiting */
#define DOS_WAIT_DISPATCH        2     /* wait while dispatching messages */

/* DosSearchPath flags. */
#define DOS_SEARCH_CUR_DIRECTORY 0x01
#define DOS_SEARCH_ENVIRONMENT   0x02

/* Copy sound: a short beep after each block KnlNamCopy copies. */
#define DOS_COPY_SOUND_FREQ      230
#define DOS_COPY_SOUND_MS        50

typedef DWORD (WINAPI *DOSTHREADFN)(void *arg);

/* Timers */
USHORT ORINAPI DosTimerInit(void) ORIN_NOEXCEPT;
USHORT ORINAPI DosTimerReinit(void) ORIN_NOEXCEPT;
USHORT ORINAPI DosTimerTerm(void) ORIN_NOEXCEPT;
USHORT ORINAPI DosTimerStart(ULONG ms, USHORT *id) ORIN_NOEXCEPT;
USHORT ORINAPI DosTimerStop(USHORT id) ORIN_NOEXCEPT;
USHORT ORINAPI DosTimerRead(USHORT id, ULONG *ms) ORIN_NOEXCEPT;
USHORT ORINAPI DosTimerExpired(USHORT id) ORIN_NOEXCEPT;
USHORT ORINAPI DosTimerQueryFirst(ULONG *ms) ORIN_NOEXCEPT;

/* Threads */
USHORT ORINAPI DosCreateThread(HANDLE *thread, DOSTHREADFN start, void *arg, ULONG flags,
                               ULONG stackSize) ORIN_NOEXCEPT;
USHORT ORINAPI DosSuspendThread(HANDLE thread) ORIN_NOEXCEPT;
USHORT ORINAPI DosResumeThread(HANDLE thread) ORIN_NOEXCEPT;
USHORT ORINAPI DosKillThread(HANDLE thread) ORIN_NOEXCEPT;
USHORT ORINAPI DosWaitThread(HANDLE *thread, ULONG option) ORIN_NOEXCEPT;

/* Environment and search */
USHORT ORINAPI DosScanEnv(const char *name, const char **value) ORIN_NOEXCEPT;
USHORT ORINAPI DosSetEnvVal(const char *name, const char *value) ORIN_NOEXCEPT;
USHORT ORINAPI DosSearchPath(ULONG flags, const char *list, const char *file, char *out,
                             USHORT size) ORIN_NOEXCEPT;
USHORT ORINAPI DosGetTempFileName(const char *dir, const char *prefix, char *out, USHORT size) ORIN_NOEXCEPT;

/* Version, time and the rest */
USHORT ORINAPI DosGetVersion(USHORT *version) ORIN_NOEXCEPT;
USHORT ORINAPI DosGetDateTime(DATETIME *dt) ORIN_NOEXCEPT;
ULONG  ORINAPI DosGetTimeZoneInformation(ULONG *bias) ORIN_NOEXCEPT;
UINT   ORINAPI DosSetErrorMode(UINT mode) ORIN_NOEXCEPT;
USHORT ORINAPI DosBeep(ULONG frequency, ULONG duration) ORIN_NOEXCEPT;
USHORT ORINAPI DosSleep(ULONG ms) ORIN_NOEXCEPT;
void   ORINAPI DosExit(ULONG action, ULONG code) ORIN_NOEXCEPT;
USHORT ORINAPI DosCopySoundOn(USHORT on) ORIN_NOEXCEPT;
USHORT ORINAPI GetFileSizeDateTime(void *ns, const char *name, ULONG *size, DATETIME *dt) ORIN_NOEXCEPT;
void  *ORINAPI MemReplaceByte(void *buf, BYTE oldByte, BYTE newByte, ULONG count) ORIN_NOEXCEPT;

/* Resource modules: libraries named language code + module name + ".dll"
 * (engocl.dll is the library's own).  The language is "eng" until set; a
 * code that is not exactly 3 characters sets "eng" again.  The resource
 * path (expanded, at most 260 bytes) is searched after the host's search
 * order.  A module that cannot be found asks the user once with the box
 * "Can't find file" (OK retries, Cancel stops all later boxes).
 * _DosLoadInternalModule gives 0 or 0xFFFF.  DosGetResource2 finds, loads
 * and locks a raw resource (type and id are numbers; a null module is the
 * application's); resources go with their module, so the two free calls
 * only check that they were given a resource (87 for null). */
void   ORINAPI DosSetResourceLanguage(const char *code) ORIN_NOEXCEPT;
const char *ORINAPI DosGetResourceLanguage(void) ORIN_NOEXCEPT;
USHORT ORINAPI DosSetResourcePath(const char *path) ORIN_NOEXCEPT;
const char *ORINAPI DosGetResourcePath(void) ORIN_NOEXCEPT;
USHORT ORINAPI _DosLoadInternalModule(const char *name, HMODULE *module) ORIN_NOEXCEPT;
USHORT ORINAPI DosFreeModule(HMODULE module) ORIN_NOEXCEPT;
USHORT ORINAPI DosGetResource2(HMODULE module, ULONG type, ULONG id, void **resource) ORIN_NOEXCEPT;
USHORT ORINAPI DosFreeResource(void *resource) ORIN_NOEXCEPT;
USHORT ORINAPI DosFreeResource2(HMODULE module, void *resource) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* DOS_H */
