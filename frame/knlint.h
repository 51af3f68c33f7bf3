/*
 * knlint.h - the frame's process-wide state and internal calls, shared by
 * the library's own families.  Not part of the exported interface.
 */
#ifndef KNLINT_H
#define KNLINT_H

#include "knl.h"
#include <stdarg.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Code-page tables, written by KnlInitCP / KnlInitDBCSEv, read everywhere. */
extern KNLCHARENTRY knlCharTable[256];
extern BYTE knlLeadByte[256];      /* 1 for a DBCS lead byte of the ANSI code page */
extern BYTE knlDbcsEnabled;        /* any lead byte at all */
extern BYTE knlOemToAnsi[256];
extern BYTE knlAnsiToOem[256];

/* Builds the system date and time templates from locale item values
 * (the strings GetLocaleInfo returns); split out of KnlInitCP so the rule
 * can be driven with chosen values. */
typedef struct _KNLLOCALEFMT {
    const char *dateSep;    /* item 0x1D */
    const char *timeSep;    /* item 0x1E */
    const char *dateOrder;  /* item 0x21: "0" MDY, "1" DMY, "2" YMD */
    const char *timeFmt;    /* item 0x23: "0" 12-hour clock */
    const char *century;    /* item 0x24 */
    const char *hourLZero;  /* item 0x25 */
    const char *dayLZero;   /* item 0x26 */
    const char *monLZero;   /* item 0x27 */
} KNLLOCALEFMT;
void KnlBuildSysFormats(const KNLLOCALEFMT *lf, char *dateFmt, size_t dateSize,
                        char *timeFmt, size_t timeSize);

/* Debug channel. */
#define KNL_DBG_MONO    0x01
#define KNL_DBG_FILE    0x04
#define KNL_DBG_WINDOW  0x08

void   KnlDbgInitChannel(void);
void   KnlDbgWrite(ULONG levelMask, const char *text);
void   __cdecl KnlDbgPrintfLevel(ULONG levelMask, const char *fmt, ...);
void   __cdecl KnlDbgPrintfNoFile(const char *fmt, ...);
void   KnlDbgVPrintfLevel(ULONG levelMask, const char *fmt, va_list ap);
void   KnlDbgTimerStart(void);
void   KnlDbgTimeSpend(const char *label);
void   KnlDbgDiffTime(const char *label, long start, long end);
void   KnlDbgAssert(const char *expr, const char *file, int line);
void   KnlDbgClose(void);
ULONG  KnlDbgQueryOutputMask(void);
ULONG  KnlDbgQueryLevelMask(void);
const char *KnlDbgQueryFileName(void);
void   KnlDbgParseSetting(const char *setting);
USHORT KnlDbgMonoOpen(void);
USHORT KnlDbgMonoWrite(const char *text);
USHORT KnlDbgMonoWriteW(const WCHAR *text);
void   KnlDbgMonoClose(void);

/* Error log: unformatted line, written whether active or not. */
void   KnlErrLogWriteLine(const char *text);

#ifdef __cplusplus
}
#endif

#endif /* KNLINT_H */
