/*
 * mdi_document.cpp - MDI documents: their records, creation and closing,
 * and their menus.
 *
 * Each document frame has a record in the document list (creation order)
 * with its menu bar, window sub-menu and a flag for a menu bar this layer
 * loaded.  A document is closed only when its frame agrees to the native
 * close query (the client's PM procedure answers PM WM_QUERYENDSESSION; 0
 * refuses); it is then activated, restored from its icon and destroyed with
 * the native MDI request.  Its frame's destruction removes the record and,
 * when it was the last document, puts the desktop's menu bar back.
 */
#include <algorithm>
#include <memory>
#include <new>
#include <vector>
#include "frame/boundary.h"
#include "pm/mdi/mdi_int.h"

namespace orin::pm::mdi {
namespace {

constexpr int kMaxCloseRounds = 0x10000;

/* The document list; belongs to the GUI thread. */
constinit Lasting<std::vector<std::unique_ptr<DocRecord>>> documentList;

std::vector<std::unique_ptr<DocRecord>> &documents() noexcept
{
    return documentList.value;
}

bool isActiveDocument(HWND frame) noexcept
{
    HWND client = desktop().client;
    return client && reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)) == frame;
}

/* The top document frame of a desktop client, or null. */
HWND topDocument(HWND desktopClient) noexcept
{
    for (HWND c = GetWindow(desktopClient, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (DocOfFrame(c))
            return c;
    return nullptr;
}

void replaceAccelerators(HWND frame, HACCEL haccel) noexcept
{
    auto old = reinterpret_cast<HACCEL>(SendMessageA(frame, OWM_NM_QUERYFRAMEACCEL, 0, 0));
    SendMessageA(frame, OWM_NM_SETFRAMEACCEL, 0, reinterpret_cast<LPARAM>(haccel));
    if (old && old != haccel)
        DestroyAcceleratorTable(old);
}

}  // namespace

DocRecord *DocAdd() noexcept
{
    try {
        documents().push_back(std::make_unique<DocRecord>());
        return documents().back().get();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void DocRemove(const DocRecord *doc) noexcept
{
    std::erase_if(documents(), [doc](const auto &d) { return d.get() == doc; });
}

DocRecord *DocOfFrame(HWND frame) noexcept
{
    if (!frame)
        return nullptr;
    for (const auto &d : documents())
        if (d->frame == frame)
            return d.get();
    return nullptr;
}

DocRecord *DocOfClient(HWND client) noexcept
{
    HWND parent = client ? GetParent(client) : nullptr;
    return parent ? DocOfFrame(parent) : nullptr;
}

size_t DocCount() noexcept
{
    return documents().size();
}

void DocForgetFrame(HWND frame) noexcept
{
    DocRecord *doc = DocOfFrame(frame);
    if (!doc)
        return;
    Desktop &d = desktop();
    bool showsItsMenu = doc->menu && d.frame && GetMenu(d.frame) == doc->menu;
    doc->frame = nullptr;           // menu switching no longer finds it
    if (DocCount() == 1 || showsItsMenu)
        _OpmMdiSetMenu(nullptr);
    if (doc->menuLoaded && doc->menu && (!d.frame || GetMenu(d.frame) != doc->menu))
        DestroyMenu(doc->menu);
    doc->menu = doc->windowMenu = nullptr;
    SetWindowLongPtrA(frame, frame::kDocumentWord, 0);
    DocRemove(doc);
}

}  // namespace orin::pm::mdi

using namespace orin::pm::mdi;
namespace fr = orin::pm::frame;

HWND ORINAPI OpmMdiCreateDocumentWindow(HWND hwndDesktopClient, ULONG flStyle,
                                        ULONG *pflCreateFlags, const char *pszClientClass,
                                        const char *pszTitle, ULONG flClientStyle, HMODULE hmod,
                                        ULONG idResources, USHORT usWindowMenuPos, HMENU hmenu,
                                        HACCEL haccel, HWND *phwndClient) noexcept
{
    if (phwndClient)
        *phwndClient = nullptr;
    HWND desk = DesktopClientOr(hwndDesktopClient);
    if (!desk || !IsWindow(desk) || !pflCreateFlags) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    DocRecord *doc = DocAdd();
    if (!doc) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return nullptr;
    }
    HWND client = nullptr;
    fr::FrameRequest r(fr::Kind::MdiDocument, desk, flStyle, pflCreateFlags, pszClientClass,
                       pszTitle, flClientStyle, hmod, idResources, &client);
    HWND frame = fr::FrameCreate(r);
    if (!frame || !client) {
        DocRemove(doc);
        return nullptr;
    }
    ULONG fcf = *pflCreateFlags;
    if (!hmenu && (fcf & PM_FCF_MENU)) {
        hmenu = LoadMenuA(fr::FrameResourceModule(hmod), MAKEINTRESOURCEA(idResources));
        doc->menuLoaded = hmenu != nullptr;
    }
    if (haccel && (fcf & PM_FCF_ACCELTABLE))
        replaceAccelerators(frame, haccel);
    doc->frame = frame;
    doc->menu = hmenu;
    doc->windowMenu = hmenu ? GetSubMenu(hmenu, usWindowMenuPos) : nullptr;
    SetWindowLongPtrA(frame, fr::kDocumentWord, reinterpret_cast<LONG_PTR>(doc));
    SendMessageA(frame, WM_MDIACTIVATE, 0, reinterpret_cast<LPARAM>(frame));
    if (phwndClient)
        *phwndClient = client;
    return client;
}

USHORT ORINAPI OpmMdiCloseDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) noexcept
{
    HWND desk = DesktopClientOr(hwndDesktopClient);
    DocRecord *doc = DocOfClient(hwndClient);
    if (!doc || !desk)
        return OPMMDI_ERROR;
    HWND frame = doc->frame;
    if (!SendMessageA(frame, WM_QUERYENDSESSION, 0, 0))
        return OPMMDI_ERROR;        // the document refuses
    SendMessageA(desk, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(frame), 0);
    if (IsIconic(frame))
        SendMessageA(desk, WM_MDIRESTORE, reinterpret_cast<WPARAM>(frame), 0);
    SendMessageA(desk, WM_MDIDESTROY, reinterpret_cast<WPARAM>(frame), 0);
    if (DocCount() == 0) {
        _OpmMdiSetMenu(nullptr);
        if (desktop().frame)
            DrawMenuBar(desktop().frame);
    }
    return 0;
}

USHORT ORINAPI OpmMdiCloseAllDocuments(HWND hwndDesktopClient) noexcept
{
    HWND desk = DesktopClientOr(hwndDesktopClient);
    if (!desk || !IsWindow(desk))
        return OPMMDI_ERROR;
    for (int round = 0; round < kMaxCloseRounds; round++) {
        HWND frame = topDocument(desk);
        if (!frame)
            return 0;
        HWND client = GetDlgItem(frame, PM_FID_CLIENT);
        if (!client || OpmMdiCloseDocumentWindow(desk, client) != 0)
            return OPMMDI_ERROR;
    }
    return OPMMDI_ERROR;
}

USHORT ORINAPI OpmMdiSetDocumentWindowMenu(HWND hwndDesktopClient, HWND hwndClient, HMENU hmenu,
                                           USHORT usWindowMenuPos) noexcept
{
    DocRecord *doc = DocOfClient(hwndClient);
    if (!doc)
        return OPMMDI_ERROR;
    HMENU old = doc->menu;
    bool oldLoaded = doc->menuLoaded;
    doc->menu = hmenu;
    doc->windowMenu = hmenu ? GetSubMenu(hmenu, usWindowMenuPos) : nullptr;
    doc->menuLoaded = false;
    if (isActiveDocument(doc->frame))
        _OpmMdiSetMenu(doc->frame);
    if (oldLoaded && old && old != hmenu &&
        (!desktop().frame || GetMenu(desktop().frame) != old))
        DestroyMenu(old);
    return 0;
}

HMENU ORINAPI OpmMdiQueryDocumentWindowMenu(HWND hwndDesktopClient, HWND hwndClient) noexcept
{
    DocRecord *doc = DocOfClient(hwndClient);
    return doc ? doc->menu : nullptr;
}
