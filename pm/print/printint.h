/*
 * printint.h - what the printing files share: the process-wide printer
 * selection, the seams through which the print dialog and the settings
 * are reached, and the reserved job of the document being printed.
 * Not part of the exported interface.
 *
 * The selection holds what a print dialog answers: driver, device and
 * port names, the device mode (raw bytes, as long as its dmSize +
 * dmDriverExtra say), the print-to-file flag and the printer context the
 * dialog made (owned here until a printer PS takes it).
 */
#ifndef ORIN_PM_PRINT_PRINTINT_H
#define ORIN_PM_PRINT_PRINTINT_H

#include <memory>
#include <string>
#include <type_traits>
#include <vector>
#include "winprint.h"
#include <commdlg.h>

namespace orin::pm::print {

inline constexpr USHORT kPrnOk = 0;
inline constexpr USHORT kPrnError = PM_PRN_ERROR;
inline constexpr DWORD kErrNoPrinter = ERROR_FILE_NOT_FOUND;
inline constexpr DWORD kErrCancelled = ERROR_CANCELLED;

/* Owner of a native device context made with CreateDC. */
struct DcDeleter {
    void operator()(HDC h) const noexcept { DeleteDC(h); }
};
using OwnedDC = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct Selection {
    bool filled = false;
    std::string driver, device, port;
    std::vector<BYTE> devMode;          // empty: the driver's defaults
    bool printToFile = false;
    std::string fileName;               // for print-to-file
    OwnedDC dialogDC;                   // made by the dialog, not yet used

    const DEVMODEA *mode() const noexcept
    {
        return devMode.empty() ? nullptr : reinterpret_cast<const DEVMODEA *>(devMode.data());
    }
};

/* The process-wide selection (empty until a dialog ran or the default
 * printer was taken). */
Selection &selection() noexcept;

/* The print dialog: fills pd (as PrintDlgA would) and answers whether the
 * user confirmed.  The system dialog by default; tests put their own. */
using PrintDialogFn = BOOL(WINAPI *)(PRINTDLGA *pd);
PrintDialogFn setPrintDialog(PrintDialogFn fn) noexcept;   // answers the previous one

/* Runs the dialog on the selection; flags are PD_* values.  Answers 0, or
 * kErrCancelled when the user cancelled. */
DWORD runPrintDialog(HWND owner, DWORD flags) noexcept;
/* Fills the selection with the system's default printer; kErrNoPrinter
 * when there is none. */
DWORD takeDefaultPrinter() noexcept;

/* The "device" entry of section "windows": device, driver, port. */
struct DeviceEntry {
    std::string device, driver, port;
};
bool parseDeviceEntry(const char *text, DeviceEntry *out);

/* The application INI file: the one the application named (setAppIniFile),
 * else the executable's path with the extension ".ini". */
std::string appIniFile();
/* Names the application INI file; null or "" goes back to the
 * executable's.  The application object (OcApp) sets the INI file it found,
 * so the print settings come from the same file as its own. */
void setAppIniFile(const char *name) noexcept;

/* How many colours a printer context's device has: GetDeviceCaps NUMCOLORS
 * by default (2 on a monochrome printer).  Wine's PostScript driver answers
 * -1 for every printer, also for one whose PPD says it has no colour, so a
 * test that needs a monochrome device puts its own answer in.  Answers the
 * previous query; null restores the default. */
using DeviceColorsFn = int (*)(HDC hdc);
DeviceColorsFn setDeviceColorsQuery(DeviceColorsFn fn) noexcept;

/* The all-lines-are-black decision for a device with numColors colours and
 * the INI value (null when the value is missing). */
bool linesBlackFor(int numColors, const char *iniValue) noexcept;
/* The INI value "PrintColorsAsBlack" (at most 7 characters) into value;
 * false when it is missing. */
bool printColorsAsBlack(std::string *value);

/* "NoPrintingHack": true when the value exists and is 0. */
bool normalSpoolingForced() noexcept;

/* The reserved job of the document being printed (for tests: is one
 * pending, and where is its spool file). */
struct JobView {
    bool active = false;
    bool reserved = false;
    DWORD jobId = 0;
    std::string spoolFile;
};
JobView currentJob() noexcept;

}  // namespace orin::pm::print

#endif  // ORIN_PM_PRINT_PRINTINT_H
