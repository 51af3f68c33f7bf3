/*
 * dlg_create.cpp - WinLoadDlg and WinCreateDlg: resolving the parent,
 * filling the pending record, adapting the template and creating the
 * modeless native dialog whose procedure is OwmFrontendDlgProc.
 *
 * The native dialog is a pop-up owned by its PM parent, or by its PM owner
 * when the parent is the desktop, so that it stays above the window it
 * belongs to.
 */
#include "frame/boundary.h"
#include "pm/pmint.h"
#include "pm/dialog/dlg_int.h"

namespace orin::pm::dialog {
namespace {

/* PM_HWND_APPTOP, the desktop (1 or null), or the window itself. */
HWND resolveParent(HWND hwnd) noexcept
{
    if (hwnd == PM_HWND_APPTOP)
        return AppTopWindow();
    if (!hwnd || hwnd == PM_HWND_DESKTOP)
        return GetDesktopWindow();
    return hwnd;
}

HWND nativeOwner(HWND parent, HWND owner) noexcept
{
    if (parent != GetDesktopWindow())
        return parent;
    HWND o = owner == PM_HWND_APPTOP ? AppTopWindow() : owner;
    return (o && o != PM_HWND_DESKTOP && o != GetDesktopWindow() && IsWindow(o)) ? o : nullptr;
}

void fillPending(HWND owner, PFNWP proc, PVOID params, HMODULE module, HICON icon) noexcept
{
    DlgRecord &p = Pending();
    p = DlgRecord{};
    p.inCreation = true;
    p.owner = owner;
    p.proc = proc;
    p.createParams = params;
    p.anchor = _WinGetHab();
    p.frontEnd = OwmFrontendDlgProc;
    p.icon = icon;
    p.module = module;
    p.resultSlot = -1;
}

HWND createDialog(HWND hwndParent, HWND hwndOwner, PFNWP proc, HMODULE module, const BYTE *tpl,
                  size_t limit, HICON icon, PVOID params)
{
    HWND parent = resolveParent(hwndParent);
    fillPending(hwndOwner, proc, params, module, icon);
    std::vector<BYTE> adapted = AdaptForSystem(tpl, limit);
    auto use = reinterpret_cast<LPCDLGTEMPLATEA>(adapted.empty() ? tpl : adapted.data());
    HINSTANCE inst = module ? module : OwmLibInstance();
    HWND hwnd = CreateDialogIndirectParamA(inst, use, nativeOwner(parent, hwndOwner),
                                           OwmFrontendDlgProc, 0);
    Pending().inCreation = false;
    const DlgRecord *rec = hwnd ? FindRecord(hwnd) : nullptr;
    if (rec && rec->dismissed && IsWindowVisible(hwnd))
        ShowWindow(hwnd, SW_HIDE);
    return hwnd;
}

}  // namespace
}  // namespace orin::pm::dialog

using namespace orin::pm::dialog;

HWND ORINAPI WinLoadDlg(HWND hwndParent, HWND hwndOwner, PFNWP pfnDlgProc, HMODULE hmod,
                        ULONG idDlg, PVOID pCreateParams) noexcept
{
    return orin::guardValue<HWND>(nullptr, [&]() -> HWND {
        HMODULE from = hmod ? hmod : orin::pm::OwmLibInstance();
        LPCSTR name = MAKEINTRESOURCEA(idDlg);
        HRSRC res = FindResourceA(from, name, reinterpret_cast<LPCSTR>(RT_DIALOG));
        HGLOBAL loaded = res ? LoadResource(from, res) : nullptr;
        auto tpl = static_cast<const BYTE *>(loaded ? LockResource(loaded) : nullptr);
        if (!tpl) {
            SetLastError(ORIN_ERR_FILE_NOT_FOUND);
            return nullptr;
        }
        HICON icon = LoadIconA(from, name);
        return createDialog(hwndParent, hwndOwner, pfnDlgProc, from, tpl,
                            SizeofResource(from, res), icon, pCreateParams);
    });
}

HWND ORINAPI WinCreateDlg(HWND hwndParent, HWND hwndOwner, PFNWP pfnDlgProc,
                          const void *pTemplate, PVOID pCreateParams) noexcept
{
    if (!pTemplate) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    return orin::guardValue<HWND>(nullptr, [&] {
        auto tpl = static_cast<const BYTE *>(pTemplate);
        auto layout = ParseTemplate(tpl, SIZE_MAX);
        size_t size = layout ? layout->size : 0;
        return createDialog(hwndParent, hwndOwner, pfnDlgProc, nullptr, tpl, size, nullptr,
                            pCreateParams);
    });
}
