/*
 * print_ps.cpp - printer presentation spaces: a PS record (pm/gpi) whose
 * context is a printer context made from the selection, as large as the
 * printable page in device pixels, with the printing defaults (foreground
 * -1, background -2, overpaint, solid pattern).  On a monochrome device
 * (one that reports 2 colours) the INI setting decides whether all lines
 * are black; the colour count is asked through a replaceable query.
 *
 * The PS owns its printer context: WinDestroyPrinterPS gives the context
 * its stock objects back, deletes the cached objects and the record, then
 * the context (ending first any document still open on it).
 */
#include <cstring>
#include "pm/gpi/gpiint.h"
#include "pm/print/printint.h"
#include "pm/print/printdoc.h"

namespace orin::pm::print {
namespace {

using gpi::GpiPS;

constexpr LONG kPrintFore = -1;
constexpr LONG kPrintBack = -2;
constexpr USHORT kPrintMix = 2;
constexpr USHORT kPrintPattern = 0;

int systemDeviceColors(HDC hdc) { return GetDeviceCaps(hdc, NUMCOLORS); }
DeviceColorsFn deviceColors = &systemDeviceColors;

HPS handleOf(GpiPS *ps) noexcept { return reinterpret_cast<HPS>(ps); }

/* A context made from the selection's names and device mode. */
OwnedDC contextFromSelection()
{
    Selection &sel = selection();
    if (!sel.filled && takeDefaultPrinter() != 0)
        return nullptr;
    return OwnedDC(CreateDCA(sel.driver.c_str(), sel.device.c_str(),
                             sel.port.empty() ? nullptr : sel.port.c_str(), sel.mode()));
}

/* The printer context for the request: the dialog's own, or one made from
 * the selection. */
OwnedDC printerContext()
{
    Selection &sel = selection();
    if (sel.dialogDC)
        return std::move(sel.dialogDC);
    return contextFromSelection();
}

void prepareContext(GpiPS &ps) noexcept
{
    ps.defaultFont = GetCurrentObject(ps.hdc, OBJ_FONT);
    SetBkMode(ps.hdc, TRANSPARENT);
    ps.mode = gpi::kModeNone;
}

void applyPrintDefaults(GpiPS &ps) noexcept
{
    ps.charFore = ps.lineFore = ps.areaFore = kPrintFore;
    ps.charBack = ps.lineBack = ps.areaBack = kPrintBack;
    ps.mix = kPrintMix;
    ps.pattern = kPrintPattern;
    ps.width = GetDeviceCaps(ps.hdc, HORZRES);
    ps.height = GetDeviceCaps(ps.hdc, VERTRES);
    prepareContext(ps);
}

void applyLinesBlack(GpiPS &ps)
{
    std::string value;
    bool present = printColorsAsBlack(&value);
    ps.allLinesBlack = linesBlackFor(deviceColors(ps.hdc),
                                     present ? value.c_str() : nullptr);
}

HPS makePrinterPS(HWND owner, const PM_PRINTERPSREQ *request)
{
    if (request && request->flDialog) {
        DWORD rc = runPrintDialog(owner, request->flDialog | PD_RETURNDC);
        if (rc != 0)
            return gpi::fail<HPS>(rc, nullptr);
    } else if (!selection().filled) {
        takeDefaultPrinter();
    }
    OwnedDC dc = printerContext();
    if (!dc)
        return gpi::fail<HPS>(kErrNoPrinter, nullptr);
    GpiPS *ps = gpi::gpiMake();
    if (!ps)
        return nullptr;
    ps->hdc = dc.release();
    ps->origin = gpi::Origin::Printer;
    applyPrintDefaults(*ps);
    applyLinesBlack(*ps);
    return handleOf(ps);
}

}  // namespace

DeviceColorsFn setDeviceColorsQuery(DeviceColorsFn fn) noexcept
{
    DeviceColorsFn old = deviceColors;
    deviceColors = fn ? fn : &systemDeviceColors;
    return old;
}

bool renewPrinterContext(GpiPS &ps) noexcept
{
    try {
        OwnedDC fresh = contextFromSelection();
        if (!fresh)
            return false;
        HDC old = ps.hdc;
        gpi::gpiDropCachedObjects(ps);
        if (ps.defaultFont)
            SelectObject(old, ps.defaultFont);
        DeleteDC(old);
        ps.hdc = fresh.release();
        prepareContext(ps);
        return true;
    } catch (...) {
        return false;
    }
}

GpiPS *findPrinterPS(HPS hps) noexcept
{
    GpiPS *ps = gpi::gpiFind(hps);
    if (ps && ps->origin != gpi::Origin::Printer)
        return gpi::fail<GpiPS *>(PMERR_GPI_INV_HPS, nullptr);
    return ps;
}

}  // namespace orin::pm::print

using namespace orin::pm::print;

HPS ORINAPI VM_WinGetPrinterPS(HWND hwndOwner, const PM_PRINTERPSREQ *request) noexcept
{
    if (request && request->cb < sizeof(PM_PRINTERPSREQ))
        return orin::pm::gpi::fail<HPS>(PMERR_GPI_INV_PARAM, nullptr);
    try {
        return makePrinterPS(hwndOwner, request);
    } catch (...) {
        return orin::pm::gpi::fail<HPS>(PMERR_GPI_NO_MEMORY, nullptr);
    }
}

HPS ORINAPI WinGetPrinterPS(HWND hwndOwner, ULONG flags) noexcept
{
    PM_PRINTERPSREQ request{sizeof request, flags};
    return VM_WinGetPrinterPS(hwndOwner, &request);
}

BOOL ORINAPI WinDestroyPrinterPS(HPS hps) noexcept
{
    orin::pm::gpi::GpiPS *ps = findPrinterPS(hps);
    if (!ps)
        return FALSE;
    abandonDocumentOf(hps);
    HDC hdc = ps->hdc;
    orin::pm::gpi::gpiRelease(ps);
    DeleteDC(hdc);
    return TRUE;
}

USHORT ORINAPI WinPrnTextOut(HPS hps, LONG x, LONG y, const char *text, LONG count) noexcept
{
    orin::pm::gpi::GpiPS *ps = findPrinterPS(hps);
    if (!ps || !text)
        return kPrnError;
    size_t length = std::strlen(text);
    size_t n = count < 0 ? length : std::min<size_t>(static_cast<size_t>(count), length);
    if (n == 0)
        return kPrnOk;
    return TextOutA(ps->hdc, x, y, text, static_cast<int>(n)) ? kPrnOk : kPrnError;
}
