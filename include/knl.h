/*
 * knl.h - the library frame: start-up and shutdown, the last error, code
 * pages and the character and lead-byte tables, operating-system queries,
 * sorting, checksums, the debug channel and the error log.
 */
#ifndef KNL_H
#define KNL_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

#define KNL_MAX_ARGS   20   /* argv entries KnlInit fills at most */
#define KNL_MAX_PATH   260  /* name buffers, terminator included */

/* Character-table flag bits (entry = flag byte, other-case byte). */
#define KNL_CT_LOWER   0x01
#define KNL_CT_UPPER   0x02
#define KNL_CT_DIGIT   0x04
#define KNL_CT_SPACE   0x08
#define KNL_CT_CNTRL   0x10
#define KNL_CT_XDIGIT  0x20
#define KNL_CT_PRINT   0x40
#define KNL_CT_ASCII   0x80

typedef struct _KNLCHARENTRY {
    BYTE flags;
    BYTE other;             /* other-case form, or '?' */
} KNLCHARENTRY;

/* Start-up and shutdown */
USHORT ORINAPI KnlInit(HINSTANCE hInst, HANDLE hSecond, const char *cmdLine,
                       LONG showCmd, USHORT *argc, char **argv) ORIN_NOEXCEPT;
USHORT ORINAPI KnlTerminate(USHORT code) ORIN_NOEXCEPT;
void   ORINAPI KnlSetExecutableFileName(const char *name) ORIN_NOEXCEPT;
const char *ORINAPI KnlQueryExecutableName(void) ORIN_NOEXCEPT;
const char *ORINAPI KnlQueryExecutablePath(void) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQExecutableName(void *ns, char *buf, USHORT size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQExecutablePath(void *ns, char *buf, USHORT size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlQueryStartIconised(void) ORIN_NOEXCEPT;
USHORT ORINAPI KnlInitCP(void) ORIN_NOEXCEPT;
void   ORINAPI KnlInitDBCSEv(void) ORIN_NOEXCEPT;

/* Last error and operating-system queries */
USHORT ORINAPI KnlGetLastError(void) ORIN_NOEXCEPT;
void   ORINAPI KnlSetLastError(ULONG code) ORIN_NOEXCEPT;
USHORT ORINAPI KnlQueryOS(USHORT *version) ORIN_NOEXCEPT;
USHORT ORINAPI KnlQueryPlatform(void) ORIN_NOEXCEPT;
USHORT ORINAPI KnlIsNewShell(void) ORIN_NOEXCEPT;
int    ORINAPI KnlGetSystemLocaleInfo(ULONG item, char *buf, int size) ORIN_NOEXCEPT;
USHORT ORINAPI DosSetMaxFH(ULONG count) ORIN_NOEXCEPT;

/* Code pages */
KNLCHARENTRY *ORINAPI KnlQueryCharTable(void) ORIN_NOEXCEPT;
BYTE   ORINAPI KnlAnsiToOemChar(USHORT ch) ORIN_NOEXCEPT;
BYTE   ORINAPI KnlOemToAnsiChar(USHORT ch) ORIN_NOEXCEPT;
char  *ORINAPI KnlAnsiToOem(const char *src, char *dst) ORIN_NOEXCEPT;
char  *ORINAPI KnlOemToAnsi(const char *src, char *dst) ORIN_NOEXCEPT;
char  *ORINAPI KnlAnsiToOemBuff(const char *src, char *dst, ULONG count) ORIN_NOEXCEPT;
char  *ORINAPI KnlOemToAnsiBuff(const char *src, char *dst, ULONG count) ORIN_NOEXCEPT;
ULONG  ORINAPI KnlNlsConvertCodePage(UINT srcCP, UINT dstCP, const char *src,
                                     ULONG srcLen, char *dst, ULONG dstSize) ORIN_NOEXCEPT;

/* Sorting and checksums */
typedef int (__cdecl *KNLCOMPAREFN)(const void *, const void *);
void   ORINAPI KnlQSort(void *base, size_t count, size_t size, KNLCOMPAREFN cmp) ORIN_NOEXCEPT;
void  *ORINAPI KnlBSearch(const void *key, const void *base, size_t count,
                          size_t size, KNLCOMPAREFN cmp) ORIN_NOEXCEPT;
ULONG  ORINAPI KnlCrc32(const void *bytes, USHORT len, ULONG start) ORIN_NOEXCEPT;
USHORT ORINAPI KnlCrc32Check(const void *bytes, USHORT len, ULONG expected) ORIN_NOEXCEPT;
USHORT ORINAPI KnlCrc16(const void *bytes, USHORT len) ORIN_NOEXCEPT;
USHORT ORINAPI KnlCrc16Check(const void *bytes, USHORT len, USHORT expected) ORIN_NOEXCEPT;

/* Debug channel (level 1) and error log.  The error-log calls are
 * exported by ordinal only: 2124 Printf, 2125 Open, 2126 Stop,
 * 2127 Resume, 2128 Close. */
void   __cdecl KnlDbgPrintf(const char *fmt, ...) ORIN_NOEXCEPT;
USHORT ORINAPI KnlErrLogOpen(const char *name, BOOL append) ORIN_NOEXCEPT;
USHORT __cdecl KnlErrLogPrintf(const char *fmt, ...) ORIN_NOEXCEPT;
void   ORINAPI KnlErrLogStop(void) ORIN_NOEXCEPT;
void   ORINAPI KnlErrLogResume(void) ORIN_NOEXCEPT;
USHORT ORINAPI KnlErrLogClose(void) ORIN_NOEXCEPT;

#define KNL_ORD_DBGPRINTF      2121
#define KNL_ORD_ERRLOGPRINTF   2124
#define KNL_ORD_ERRLOGOPEN     2125
#define KNL_ORD_ERRLOGSTOP     2126
#define KNL_ORD_ERRLOGRESUME   2127
#define KNL_ORD_ERRLOGCLOSE    2128

ORIN_END_DECLS

#endif /* KNL_H */
