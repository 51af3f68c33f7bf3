/*
 * print_select.cpp - the process-wide printer selection: filled by the
 * print dialog (WinPrinterSetup, or the dialog of a printer PS request) or
 * with the system's default printer (WinPrinterInitDefault), and the
 * settings that decide how a printer PS and its documents behave.
 *
 * The dialog is reached through a replaceable function (the system's
 * PrintDlgA by default) so that a program without a user can answer it.
 * The application INI file the settings come from is the executable's
 * unless the application object named its own.
 */
#include <cstring>
#include "pm/print/printint.h"

namespace orin::pm::print {
namespace {

constexpr int kProfileText = 512;           // one "device" entry
constexpr DWORD kIniValueChars = 8;         // at most 7 characters and the zero
constexpr const char *kMissing = "\x01";    // no INI value (never a real one)
constexpr const char *kHackKey = "SOFTWARE\\Orin\\Glimmer\\Settings";
constexpr const char *kHackValue = "NoPrintingHack";

Selection theSelection;
PrintDialogFn dialogFn = &PrintDlgA;
std::string namedIniFile;                   // empty: the executable's

std::string iniBesideExecutable()
{
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    size_t slash = s.find_last_of("\\/");
    size_t dot = s.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        s.erase(dot);
    return s + ".ini";
}

/* Owner of a global memory block the dialog hands back. */
struct GlobalBlock {
    HGLOBAL h;
    ~GlobalBlock() { if (h) GlobalFree(h); }
};

/* Locks a global block for the life of the object. */
struct GlobalView {
    HGLOBAL h;
    void *p;
    explicit GlobalView(HGLOBAL block) : h(block), p(block ? GlobalLock(block) : nullptr) {}
    ~GlobalView() { if (p) GlobalUnlock(h); }
};

/* A DEVNAMES block's three names. */
void takeDevNames(HGLOBAL block, Selection &sel)
{
    GlobalView view(block);
    if (!view.p)
        return;
    const auto *names = static_cast<const DEVNAMES *>(view.p);
    const char *base = static_cast<const char *>(view.p);
    sel.driver = base + names->wDriverOffset;
    sel.device = base + names->wDeviceOffset;
    sel.port = base + names->wOutputOffset;
}

/* A DEVMODE block, copied whole (public part and driver extra). */
void takeDevMode(HGLOBAL block, Selection &sel)
{
    GlobalView view(block);
    sel.devMode.clear();
    if (!view.p)
        return;
    const auto *dm = static_cast<const DEVMODEA *>(view.p);
    size_t size = static_cast<size_t>(dm->dmSize) + dm->dmDriverExtra;
    const BYTE *bytes = static_cast<const BYTE *>(view.p);
    sel.devMode.assign(bytes, bytes + size);
}

/* A global copy of the selection's device mode, for a dialog to start from. */
HGLOBAL devModeBlock(const Selection &sel)
{
    if (sel.devMode.empty())
        return nullptr;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, sel.devMode.size());
    GlobalView view(h);
    if (view.p)
        std::memcpy(view.p, sel.devMode.data(), sel.devMode.size());
    return h;
}

}  // namespace

Selection &selection() noexcept { return theSelection; }

PrintDialogFn setPrintDialog(PrintDialogFn fn) noexcept
{
    PrintDialogFn old = dialogFn;
    dialogFn = fn ? fn : &PrintDlgA;
    return old;
}

DWORD runPrintDialog(HWND owner, DWORD flags) noexcept
{
    try {
        Selection &sel = theSelection;
        PRINTDLGA pd{};
        pd.lStructSize = sizeof pd;
        pd.hwndOwner = owner;
        pd.Flags = flags;
        GlobalBlock mode{devModeBlock(sel)};
        pd.hDevMode = mode.h;
        BOOL ok = dialogFn(&pd);
        mode.h = pd.hDevMode;                 // the dialog may have replaced it
        GlobalBlock names{pd.hDevNames};
        if (!ok) {
            if (pd.hDC)
                DeleteDC(pd.hDC);
            return kErrCancelled;
        }
        takeDevNames(names.h, sel);
        takeDevMode(mode.h, sel);
        sel.printToFile = (pd.Flags & PD_PRINTTOFILE) != 0;
        sel.dialogDC.reset(pd.hDC);
        sel.filled = true;
        return 0;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

bool parseDeviceEntry(const char *text, DeviceEntry *out)
{
    std::string s = text ? text : "";
    size_t first = s.find(',');
    size_t second = first == std::string::npos ? first : s.find(',', first + 1);
    if (first == 0 || second == std::string::npos)
        return false;
    out->device = s.substr(0, first);
    out->driver = s.substr(first + 1, second - first - 1);
    out->port = s.substr(second + 1);
    return !out->driver.empty();
}

DWORD takeDefaultPrinter() noexcept
{
    try {
        char text[kProfileText] = "";
        GetProfileStringA("windows", "device", "", text, sizeof text);
        DeviceEntry entry;
        if (!parseDeviceEntry(text, &entry))
            return kErrNoPrinter;
        Selection &sel = theSelection;
        sel.device = entry.device;
        sel.driver = entry.driver;
        sel.port = entry.port;
        sel.devMode.clear();
        sel.printToFile = false;
        sel.dialogDC.reset();
        sel.filled = true;
        return 0;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

std::string appIniFile()
{
    return namedIniFile.empty() ? iniBesideExecutable() : namedIniFile;
}

void setAppIniFile(const char *name) noexcept
{
    try {
        namedIniFile = name ? name : "";
    } catch (...) {
        namedIniFile.clear();               // the executable's, rather than a wrong one
    }
}

bool linesBlackFor(int numColors, const char *iniValue) noexcept
{
    constexpr int kMonochrome = 2;
    if (numColors != kMonochrome || !iniValue)
        return false;
    return std::strcmp(iniValue, "0") != 0;
}

bool printColorsAsBlack(std::string *value)
{
    char buf[kIniValueChars] = "";
    std::string ini = appIniFile();
    GetPrivateProfileStringA("System", "PrintColorsAsBlack", kMissing, buf, kIniValueChars,
                             ini.c_str());
    if (std::strcmp(buf, kMissing) == 0)
        return false;
    *value = buf;
    return true;
}

bool normalSpoolingForced() noexcept
{
    DWORD value = 1, size = sizeof value, type = 0;
    LSTATUS rc = RegGetValueA(HKEY_LOCAL_MACHINE, kHackKey, kHackValue, RRF_RT_REG_DWORD, &type,
                              &value, &size);
    return rc == ERROR_SUCCESS && value == 0;
}

}  // namespace orin::pm::print

using namespace orin::pm::print;

USHORT ORINAPI WinPrinterSetup(HWND hwndOwner) noexcept
{
    return static_cast<USHORT>(runPrintDialog(hwndOwner, PD_PRINTSETUP));
}

USHORT ORINAPI WinPrinterInitDefault(HWND) noexcept
{
    return static_cast<USHORT>(takeDefaultPrinter());
}

USHORT ORINAPI WinPrinterSetFileName(const char *fileName) noexcept
{
    try {
        selection().fileName = fileName ? fileName : "";
        return 0;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}
