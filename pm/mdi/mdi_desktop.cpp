/*
 * mdi_desktop.cpp - the MDI desktop: its registration, its creation, menu
 * switching, and the hooks through which the frame procedure and the
 * message loop reach this layer.
 *
 * Menu switching shows the active document's menu bar (with its window
 * sub-menu, or the sub-menu at position 0 when it names none) through the
 * native MDI set-menu request, or the desktop's own menu bar when no
 * document with a menu is active; without a desktop menu bar the menu is
 * cleared.  The desktop frame's menu bar is redrawn after each switch.
 *
 * The hooks are installed by a static initialiser that the desktop's
 * creation refers to, so they are in place wherever a desktop can be made.
 */
#include "frame/boundary.h"
#include "pm/mdi/mdi_int.h"

namespace orin::pm::mdi {
namespace {

constinit Desktop theDesktop;

void setWindowList(HMENU frameMenu, HMENU windowMenu) noexcept
{
    Desktop &d = desktop();
    SendMessageA(d.client, WM_MDISETMENU, reinterpret_cast<WPARAM>(frameMenu),
                 reinterpret_cast<LPARAM>(windowMenu));
}

/* ---- hooks for the frame procedure ---- */

void desktopCreated(HWND frame, HWND client) noexcept
{
    Desktop &d = desktop();
    d.frame = frame;
    d.client = client;
    d.menu = GetMenu(frame);
    d.windowMenu = nullptr;
}

void desktopDestroyed(HWND frame) noexcept
{
    Desktop &d = desktop();
    if (d.frame != frame)
        return;
    // a desktop menu that a document's menu replaced is no longer the
    // frame's, so it does not go with the frame
    if (d.menu && GetMenu(frame) != d.menu)
        DestroyMenu(d.menu);
    d = Desktop{};
}

void documentActivated(HWND frame) noexcept
{
    _OpmMdiSetMenu(frame);
}

HWND desktopFrame() noexcept
{
    return desktop().frame;
}

HWND activeDocumentClient() noexcept
{
    return desktop().client ? OpmMdiQueryActiveDocumentWindow(desktop().client) : nullptr;
}

bool translateAccel(HWND *hwnd, MSG *msg) noexcept
{
    return OpmMdiTranslateMDIAccel(hwnd, msg) != FALSE;
}

constexpr frame::MdiHooks kHooks = {
    desktopCreated, desktopDestroyed, _OpmMdiSetMenu, documentActivated, DocForgetFrame,
    desktopFrame, activeDocumentClient,
};

const bool installed = (frame::InstallMdiHooks(&kHooks), OwmInstallMdiAccelHook(translateAccel),
                        true);

}  // namespace

Desktop &desktop() noexcept
{
    return theDesktop;
}

HWND DesktopClientOr(HWND hwndDesktopClient) noexcept
{
    return hwndDesktopClient ? hwndDesktopClient : desktop().client;
}

bool MdiHooksInstalled() noexcept
{
    return installed;
}

}  // namespace orin::pm::mdi

using namespace orin::pm::mdi;
namespace fr = orin::pm::frame;

HWND ORINAPI OpmMdiCreateDesktopWindow(HWND hwndParent, ULONG flStyle, ULONG *pflCreateFlags,
                                       const char *pszClientClass, const char *pszTitle,
                                       ULONG flClientStyle, HMODULE hmod, ULONG idResources,
                                       HWND *phwndClient, USHORT usWindowMenuPos) noexcept
{
    // Invariant: the frame layer reaches this layer once a desktop exists.
    [[maybe_unused]] bool hooks = MdiHooksInstalled();
    if (phwndClient)
        *phwndClient = nullptr;
    if (desktop().frame && IsWindow(desktop().frame)) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    fr::FrameRequest r(fr::Kind::MdiDesktop, hwndParent, flStyle, pflCreateFlags, pszClientClass,
                       pszTitle, flClientStyle, hmod, idResources, phwndClient);
    r.idFirstChild = OPMMDI_FIRSTCHILDID;
    HWND frame = fr::FrameCreate(r);
    if (!frame)
        return nullptr;
    Desktop &d = desktop();
    if (d.menu) {
        d.windowMenu = GetSubMenu(d.menu, usWindowMenuPos);
        setWindowList(nullptr, d.windowMenu);   // the frame already shows the bar
    }
    return frame;
}

void ORINAPI _OpmMdiSetMenu(HWND hwndDocumentFrame) noexcept
{
    Desktop &d = desktop();
    if (!d.client || !IsWindow(d.client))
        return;
    DocRecord *doc = hwndDocumentFrame ? DocOfFrame(hwndDocumentFrame) : nullptr;
    if (doc && doc->menu)
        setWindowList(doc->menu, doc->windowMenu ? doc->windowMenu : GetSubMenu(doc->menu, 0));
    else if (d.menu)
        setWindowList(d.menu, d.windowMenu);
    else
        SetMenu(d.frame, nullptr);
    DrawMenuBar(d.frame);
}

void ORINAPI OpmMdiSetDesktopFrame(HWND hwndFrame) noexcept
{
    desktop().frame = hwndFrame;
}

void ORINAPI OpmMdiSetDesktopClient(HWND hwndClient) noexcept
{
    desktop().client = hwndClient;
}

HWND ORINAPI OpmMdiQueryDesktopFrame() noexcept
{
    return desktop().frame;
}

HWND ORINAPI OpmMdiQueryDesktopClient() noexcept
{
    return desktop().client;
}

BOOL ORINAPI OpmMdiTranslateMDIAccel(HWND *phwnd, MSG *pmsg) noexcept
{
    Desktop &d = desktop();
    if (!pmsg || !d.client || !IsWindow(d.client))
        return FALSE;
    if (phwnd && *phwnd == d.client)
        *phwnd = d.frame;
    return TranslateMDISysAccel(d.client, pmsg);
}
