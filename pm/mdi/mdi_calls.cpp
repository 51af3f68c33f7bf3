/*
 * mdi_calls.cpp - the OpmMdi calls that map onto one native MDI request
 * (activate, maximise, restore, minimise, next and previous, cascade, tile,
 * arrange icons, the active document) and the default desktop and
 * document procedures.
 *
 * A document is named by its client window; its frame is the client's
 * parent, which must be a document frame of this layer (0xFFFF otherwise).
 */
#include "pm/mdi/mdi_int.h"

namespace orin::pm::mdi {
namespace {

/* The document frame of a client, or null. */
HWND frameOf(HWND client) noexcept
{
    DocRecord *doc = DocOfClient(client);
    return doc ? doc->frame : nullptr;
}

/* Sends one native MDI request about a document's frame. */
USHORT documentRequest(HWND hwndDesktopClient, HWND hwndClient, UINT request) noexcept
{
    HWND desk = DesktopClientOr(hwndDesktopClient);
    HWND frame = frameOf(hwndClient);
    if (!desk || !frame)
        return OPMMDI_ERROR;
    SendMessageA(desk, request, reinterpret_cast<WPARAM>(frame), 0);
    return 0;
}

/* Sends one native MDI request about the whole desktop. */
USHORT desktopRequest(HWND hwndDesktopClient, UINT request, WPARAM wParam, LPARAM lParam) noexcept
{
    HWND desk = DesktopClientOr(hwndDesktopClient);
    if (desk)
        SendMessageA(desk, request, wParam, lParam);
    return 0;
}

}  // namespace
}  // namespace orin::pm::mdi

using namespace orin::pm::mdi;

USHORT ORINAPI OpmMdiSetActiveDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) noexcept
{
    return documentRequest(hwndDesktopClient, hwndClient, WM_MDIACTIVATE);
}

USHORT ORINAPI OpmMdiMaximizeDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) noexcept
{
    return documentRequest(hwndDesktopClient, hwndClient, WM_MDIMAXIMIZE);
}

USHORT ORINAPI OpmMdiRestoreDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) noexcept
{
    return documentRequest(hwndDesktopClient, hwndClient, WM_MDIRESTORE);
}

USHORT ORINAPI OpmMdiMinimizeDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) noexcept
{
    HWND frame = frameOf(hwndClient);
    if (!frame)
        return OPMMDI_ERROR;
    ShowWindow(frame, SW_MINIMIZE);
    return 0;
}

USHORT ORINAPI OpmMdiNextDocumentWindow(HWND hwndDesktopClient) noexcept
{
    return desktopRequest(hwndDesktopClient, WM_MDINEXT, 0, FALSE);
}

USHORT ORINAPI OpmMdiPrevDocumentWindow(HWND hwndDesktopClient) noexcept
{
    return desktopRequest(hwndDesktopClient, WM_MDINEXT, 0, TRUE);
}

USHORT ORINAPI OpmMdiCascade(HWND hwndDesktopClient, ULONG fl) noexcept
{
    return desktopRequest(hwndDesktopClient, WM_MDICASCADE, fl, 0);
}

USHORT ORINAPI OpmMdiTile(HWND hwndDesktopClient, ULONG fl) noexcept
{
    return desktopRequest(hwndDesktopClient, WM_MDITILE, fl, 0);
}

USHORT ORINAPI OpmMdiIconArrange(HWND hwndDesktopClient) noexcept
{
    return desktopRequest(hwndDesktopClient, WM_MDIICONARRANGE, 0, 0);
}

HWND ORINAPI OpmMdiQueryActiveDocumentWindow(HWND hwndDesktopClient) noexcept
{
    HWND desk = DesktopClientOr(hwndDesktopClient);
    if (!desk || !IsWindow(desk))
        return nullptr;
    auto active = reinterpret_cast<HWND>(SendMessageA(desk, WM_MDIGETACTIVE, 0, 0));
    return active && DocOfFrame(active) ? GetDlgItem(active, PM_FID_CLIENT) : nullptr;
}

HWND ORINAPI OpmMdiQueryDocumentFrame(HWND hwndClient) noexcept
{
    return frameOf(hwndClient);
}

MRESULT ORINAPI OpmMdiDefDesktopProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2) noexcept
{
    if (msg != PM_WM_COMMAND)
        return WinDefWindowProc(hwnd, msg, mp1, mp2);
    if (HWND doc = OpmMdiQueryActiveDocumentWindow(nullptr))
        WinSendMsg(doc, msg, mp1, mp2);
    return nullptr;
}

MRESULT ORINAPI OpmMdiEmptyDesktopFrameProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2) noexcept
{
    return OpmMdiDefDesktopProc(hwnd, msg, mp1, mp2);
}

MRESULT ORINAPI OpmMdiDefDocumentProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2) noexcept
{
    if (msg != PM_WM_CLOSE)
        return WinDefWindowProc(hwnd, msg, mp1, mp2);
    OpmMdiCloseDocumentWindow(nullptr, hwnd);
    return nullptr;
}
