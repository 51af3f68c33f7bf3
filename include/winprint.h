/*
 * winprint.h - printing through printer presentation spaces (Win family).
 *
 * PM drawing code prints by drawing into a printer PS: a presentation space
 * (gpi.h) around a printer device context, as big as the page in device
 * pixels, flipped like any PS.  The printer is the one the user chose with
 * WinPrinterSetup (or the dialog of WinGetPrinterPS), else the system's
 * default printer.  Documents and pages are bracketed with WinPrnStartDoc /
 * WinPrnStartPage / WinPrnEndPage / WinPrnEndDoc; WinPrnAbortDoc drops the
 * document.
 *
 * On a local printer the document is written straight into a job the
 * spooler reserves for it (its spool file) and the job is scheduled at the
 * end; the 32-bit value "NoPrintingHack" = 0 under
 * HKLM\SOFTWARE\Orin\Glimmer\Settings sends documents through the normal
 * spooler path instead.  A failed or aborted document leaves neither job
 * nor spool file behind.
 *
 * On a monochrome printer (2 colours) the value "PrintColorsAsBlack" of
 * section "System" of the application INI file decides whether all lines
 * are drawn black: "0" no, any other value yes, no value no.  The
 * application INI file is the one the application object (OcApp) found,
 * else the executable's path with the extension ".ini".
 *
 * Results: WinPrinterSetup and WinPrinterInitDefault answer 0, 1223 when
 * the dialog was cancelled, or 2 when there is no default printer.
 * WinGetPrinterPS / VM_WinGetPrinterPS give null when there is no
 * printer, the dialog was cancelled or the context cannot be made (last
 * error: 2 no printer, 1223 cancelled, else the system's code).  The
 * document and page calls answer 0 or 0xFFFF (a bad PS handle, a failing
 * native call, or a page call with no document started).
 *
 * Choices made here:
 *   - The print dialog is the system's common print dialog; the selection
 *     keeps its device names, device mode and print-to-file flag.
 *   - Printing to a file asks for the file name in the dialog's own way:
 *     WinPrinterSetFileName names it (without one, "PRINT.PRN" in the
 *     current folder).
 *   - WinPrnTextOut with a negative count draws the whole text.
 *   - VM_WinGetPrinterPS with a null request shows no dialog.
 *   - With "NoPrintingHack" = 0 no job is reserved at all (rather than
 *     reserved and left unused).
 *   - A driver that cannot abort a document itself: the PS gets a fresh
 *     context and the old one is deleted unprinted.
 *   - One document is printed at a time: WinPrnStartDoc while another
 *     document is open answers 0xFFFF.
 *   - A monochrome printer is one whose context reports 2 colours.  Wine's
 *     PostScript driver reports -1 colours for every printer (also for one
 *     with a grey-only PPD), so under Wine no printer PS gets all lines black.
 *
 * Records exchanged with callers use 2-byte packing.
 */
#ifndef WINPRINT_H
#define WINPRINT_H

#include "gpi.h"

ORIN_BEGIN_DECLS

#pragma pack(push, 2)
/* What VM_WinGetPrinterPS is asked for.  flDialog non-zero shows the print
 * dialog first; its value is passed on as the dialog's option flags
 * (PD_* values; 1 alone means "no special options"). */
typedef struct _PM_PRINTERPSREQ {
    ULONG cb;            /* sizeof(PM_PRINTERPSREQ) */
    ULONG flDialog;
} PM_PRINTERPSREQ;
#pragma pack(pop)

#define PM_PRN_ERROR 0xFFFF

USHORT ORINAPI WinPrinterSetup(HWND hwndOwner) ORIN_NOEXCEPT;
USHORT ORINAPI WinPrinterInitDefault(HWND hwndOwner) ORIN_NOEXCEPT;
USHORT ORINAPI WinPrinterSetFileName(const char *fileName) ORIN_NOEXCEPT;

HPS    ORINAPI WinGetPrinterPS(HWND hwndOwner, ULONG flags) ORIN_NOEXCEPT;
HPS    ORINAPI VM_WinGetPrinterPS(HWND hwndOwner, const PM_PRINTERPSREQ *request) ORIN_NOEXCEPT;
BOOL   ORINAPI WinDestroyPrinterPS(HPS hps) ORIN_NOEXCEPT;

USHORT ORINAPI WinPrnStartDoc(HPS hps, const char *docName) ORIN_NOEXCEPT;
USHORT ORINAPI WinPrnStartPage(HPS hps) ORIN_NOEXCEPT;
USHORT ORINAPI WinPrnEndPage(HPS hps) ORIN_NOEXCEPT;
USHORT ORINAPI WinPrnEndDoc(HPS hps) ORIN_NOEXCEPT;
USHORT ORINAPI WinPrnAbortDoc(HPS hps) ORIN_NOEXCEPT;
USHORT ORINAPI WinPrnTextOut(HPS hps, LONG x, LONG y, const char *text, LONG count) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif  /* WINPRINT_H */
