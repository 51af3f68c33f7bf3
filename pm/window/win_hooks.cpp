/*
 * win_hooks.cpp - the points where the layers built on top of windows and
 * messages join in: dialogs, standard frames, the MDI accelerators, pop-up
 * menus, control-message translation and owner drawing.
 *
 * Each hook is one small function so that its layer can take it over;
 * the standard frames, the MDI, dialog, pop-up and presentation-space
 * layers install theirs (function pointers kept here) from their own
 * folders.
 * Until then they answer as an application without that layer sees it: no
 * window is a dialog or a standard frame, no control message is
 * translated, owner drawing is left to the native default, and context
 * menus show nothing.
 */
#include <atomic>
#include "pm/pmint.h"

namespace orin::pm {
namespace {

/* Installed once by the layers' static initialisers; read on any thread. */
constinit std::atomic<StdWindowTest> stdWindowTest{nullptr};
constinit std::atomic<StdWindowsDestroyer> stdWindowsDestroyer{nullptr};
constinit std::atomic<MdiAccelTranslator> mdiAccelTranslator{nullptr};
constinit std::atomic<DrawItemTranslator> drawItemTranslator{nullptr};
constinit std::atomic<const DialogHooks *> dialogHooks{nullptr};
constinit std::atomic<const PopupHooks *> popupHooks{nullptr};

}  // namespace

void OwmInstallStdWindowHooks(StdWindowTest test, StdWindowsDestroyer destroyAll) noexcept
{
    stdWindowTest.store(test);
    stdWindowsDestroyer.store(destroyAll);
}

void OwmInstallMdiAccelHook(MdiAccelTranslator translate) noexcept
{
    mdiAccelTranslator.store(translate);
}

void OwmInstallDrawItemHook(DrawItemTranslator translate) noexcept
{
    drawItemTranslator.store(translate);
}

bool OwmInstallDialogHooks(const DialogHooks *hooks) noexcept
{
    dialogHooks.store(hooks);
    return true;
}

bool OwmInstallPopupHooks(const PopupHooks *hooks) noexcept
{
    popupHooks.store(hooks);
    return true;
}

}  // namespace orin::pm

BOOL ORINAPI OwmIsDlgWindowPM(HWND hwnd) noexcept
{
    auto hooks = orin::pm::dialogHooks.load();
    return hooks && hwnd ? hooks->isDialog(orin::pm::OwmMapDesktop(hwnd)) : FALSE;
}

BOOL ORINAPI OwmIsStdWindow(HWND hwnd) noexcept
{
    auto test = orin::pm::stdWindowTest.load();
    return test ? test(orin::pm::OwmMapDesktop(hwnd)) : FALSE;
}

namespace orin::pm {

bool OwmHookDlgMessage(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, MRESULT *result)
{
    auto hooks = dialogHooks.load();
    return hooks && hooks->message(hwnd, msg, mp1, mp2, result);
}

HWND OwmHookDlgRelation(HWND hwnd, LONG cmd)
{
    auto hooks = dialogHooks.load();
    return hooks ? hooks->relation(hwnd, cmd) : GetParent(hwnd);
}

bool OwmHookDlgWindowWord(HWND hwnd, LONG index, ULONG_PTR *value)
{
    auto hooks = dialogHooks.load();
    return hooks && hooks->windowWord(hwnd, index, value);
}

bool OwmHookDlgInput(HWND hwnd, USHORT **cEnable, USHORT **cDisable)
{
    auto hooks = dialogHooks.load();
    return hooks && hooks->input(hwnd, cEnable, cDisable);
}

HWND OwmHookModalDialog()
{
    auto hooks = dialogHooks.load();
    return hooks ? hooks->modalDialog() : nullptr;
}

namespace {
std::atomic<CtlMessageFn> ctlTranslator{nullptr};
}

bool OwmInstallCtlTranslator(CtlMessageFn fn) noexcept
{
    ctlTranslator.store(fn, std::memory_order_release);
    return true;
}

bool OwmHookCtlMessage(HWND hwnd, const NativeClass &nc, ULONG msg, MPARAM mp1, MPARAM mp2,
                       MRESULT *result)
{
    CtlMessageFn fn = ctlTranslator.load(std::memory_order_acquire);
    return fn && fn(hwnd, nc, msg, mp1, mp2, result);
}

bool OwmHookMdiAccel(HWND *hwnd, MSG *msg)
{
    auto translate = mdiAccelTranslator.load();
    return translate && translate(hwnd, msg);
}

LRESULT OwmHookDrawItem(HWND hwnd, DRAWITEMSTRUCT *dis)
{
    auto translate = drawItemTranslator.load();
    return translate && dis ? translate(hwnd, dis) : 0;
}

void OwmHookPopupClear()
{
    if (auto hooks = popupHooks.load())
        hooks->clear();
}

void OwmHookPopupShow(HWND hwnd)
{
    if (auto hooks = popupHooks.load())
        hooks->show(hwnd);
}

void OwmHookPopupCommand(HWND hwnd, USHORT item)
{
    if (auto hooks = popupHooks.load())
        hooks->command(hwnd, item);
}

USHORT OwmHookMenuPopupId(HWND hwnd, HMENU menu, USHORT item)
{
    return item;
}

void OwmHookDriveChange()
{
}

void OwmHookDestroyStdWindows()
{
    if (auto destroyAll = stdWindowsDestroyer.load())
        destroyAll();
}

}  // namespace orin::pm
