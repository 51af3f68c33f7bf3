/*
 * frame_create.cpp - making standard frames: WinCreateStdWindow, the
 * frame's children and their layout.
 *
 * A frame is a native window of one of the frame classes.  Its style comes
 * from the frame-creation flags (caption, system menu, sizing border,
 * minimise and maximise boxes) and from where it lives (top level or
 * child); its record travels as the native create parameter (inside the
 * MDI create record for document frames, which the native MDI client
 * makes).  The native create message attaches the record and makes the
 * children: icon and accelerator table from resources, the scroll bars
 * (ids 0x8006 vertical, 0x8007 horizontal) and the client window of the
 * caller's PM class (id 0x8008), or for an MDI desktop the native MDI
 * client.  Any failure there fails the native creation, so the call
 * returns null and nothing stays behind.
 *
 * Layout keeps the vertical bar at the right edge and the horizontal bar
 * along the bottom, each one pixel beyond the frame's client area at its
 * outer sides, and gives the client the rest: the frame's client area less
 * one bar width and one bar height.
 */
#include <algorithm>
#include "frame/scope.h"
#include "pm/frame/frame_int.h"

namespace orin::pm::frame {
namespace {

constexpr ULONG kTopLevelStyle = WS_CLIPCHILDREN;
constexpr ULONG kChildFrameStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr ULONG kPmClientMaximized = 0x00800000UL;
constexpr ULONG kPmClientMinimized = 0x01000000UL;
constexpr ULONG kPmClientClipChildren = 0x20000000UL;
constexpr ULONG kMdiClientStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

struct FlagBit {
    ULONG fcf;
    ULONG native;
};
constexpr FlagBit kFrameBits[] = {
    {PM_FCF_TITLEBAR, WS_CAPTION},       {PM_FCF_SYSMENU, WS_SYSMENU},
    {PM_FCF_SIZEBORDER, WS_THICKFRAME},  {PM_FCF_MINBUTTON, WS_MINIMIZEBOX},
    {PM_FCF_MAXBUTTON, WS_MAXIMIZEBOX},
};

struct MenuDestroyer {
    void operator()(HMENU m) const noexcept { DestroyMenu(m); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

ULONG nativeFrameStyle(const FrameRequest &r, ULONG fcf) noexcept
{
    ULONG style = StdIsTopLevel(r.hwndParent) ? kTopLevelStyle : kChildFrameStyle;
    for (const FlagBit &b : kFrameBits)
        if (fcf & b.fcf)
            style |= b.native;
    if (r.flStyle & PM_WS_MINIMIZED)
        style |= WS_MINIMIZE;
    return style;
}

HWND nativeParent(HWND parent) noexcept
{
    return StdIsTopLevel(parent) ? nullptr : parent;
}

/* Kinds 1 and 2: an ordinary native window with the record as parameter. */
HWND createFrameWindow(const FrameRequest &r, FRAMEREC *rec, ULONG fcf, HMENU menu) noexcept
{
    ULONG style = nativeFrameStyle(r, fcf);
    const char *cls = r.kind == Kind::MdiDesktop ? kDesktopClass : kStdWinClass;
    return CreateWindowExA(0, cls, r.title ? r.title : "", style, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nativeParent(r.hwndParent),
                           (style & WS_CHILD) ? nullptr : menu, OwmLibInstance(), rec);
}

/* Kind 3: the native MDI client makes the document frame; the client's
 * maximised, minimised and clip-children bits become the frame's. */
HWND createDocumentFrame(const FrameRequest &r, FRAMEREC *rec, CreateInfo &info) noexcept
{
    ULONG style = 0;
    if (info.flClientStyle & kPmClientMaximized)    style |= WS_MAXIMIZE;
    if (info.flClientStyle & kPmClientMinimized)    style |= WS_MINIMIZE;
    if (info.flClientStyle & kPmClientClipChildren) style |= WS_CLIPCHILDREN;
    info.flClientStyle &= ~(kPmClientMaximized | kPmClientMinimized | kPmClientClipChildren);
    MDICREATESTRUCTA mcs = {};
    mcs.szClass = kDocumentClass;
    mcs.szTitle = r.title ? r.title : "";
    mcs.hOwner = OwmLibInstance();
    mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
    mcs.style = style;
    mcs.lParam = reinterpret_cast<LPARAM>(rec);
    return reinterpret_cast<HWND>(SendMessageA(r.hwndParent, WM_MDICREATE, 0,
                                               reinterpret_cast<LPARAM>(&mcs)));
}

void showNewFrame(HWND hwnd, ULONG flStyle) noexcept
{
    if (!(flStyle & PM_WS_VISIBLE))
        return;
    if (flStyle & PM_WS_MINIMIZED) {
        ShowWindow(hwnd, SW_SHOWMINNOACTIVE);
    } else {
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
    }
}

struct BarSizes {
    int cxV = 0;        // width of the vertical bar, 0 without one
    int cyH = 0;        // height of the horizontal bar, 0 without one
};

BarSizes barSizes(const FRAMEREC &rec) noexcept
{
    return {rec.hwndVScroll ? GetSystemMetrics(SM_CXVSCROLL) : 0,
            rec.hwndHScroll ? GetSystemMetrics(SM_CYHSCROLL) : 0};
}

HWND makeScrollBar(HWND frame, ULONG vertical, USHORT id) noexcept
{
    return CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | vertical, 0, 0, 0, 0,
                           frame, reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(id)),
                           OwmLibInstance(), nullptr);
}

/* The client of kinds 1 and 3: a window of the caller's class filling the
 * frame less the bars, owned by the frame. */
bool makeClient(HWND hwnd, FRAMEREC &rec, const CreateInfo &ci) noexcept
{
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    BarSizes bars = barSizes(rec);
    LONG cx = std::max<LONG>(0, rc.right - rc.left - bars.cxV);
    LONG cy = std::max<LONG>(0, rc.bottom - rc.top - bars.cyH);
    HWND client = WinCreateWindow(hwnd, ci.clientClass, "", ci.flClientStyle, 0, bars.cyH, cx,
                                  cy, hwnd, PM_HWND_TOP, PM_FID_CLIENT, ci.pCtlData, nullptr);
    if (!client)
        return false;
    rec.hwndClient = client;
    if (OwmIsPMWindow(client)) {
        rec.pfnClient = reinterpret_cast<PFNWP>(WinQueryWindowULong(client, PM_QWP_PFNWP));
        WinSetOwner(client, hwnd);
    }
    return true;
}

/* The client of an MDI desktop: the native MDI client. */
bool makeMdiClient(HWND hwnd, FRAMEREC &rec, const CreateInfo &ci) noexcept
{
    CLIENTCREATESTRUCT ccs = {GetMenu(hwnd), ci.idFirstChild};
    ULONG style = kMdiClientStyle;
    if (ci.flCreate & PM_FCF_VERTSCROLL) style |= WS_VSCROLL;
    if (ci.flCreate & PM_FCF_HORZSCROLL) style |= WS_HSCROLL;
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    HWND mdi = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", "", style, 0, 0,
                               rc.right - rc.left, rc.bottom - rc.top, hwnd,
                               reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(PM_FID_CLIENT)),
                               OwmLibInstance(), &ccs);
    if (!mdi)
        return false;
    rec.hwndClient = mdi;
    rec.idFirstChild = ci.idFirstChild;
    if (ClassRef cls = OwmFindClass(ci.clientClass))
        rec.pfnClient = cls->pfnWndProc;
    Mdi()->desktopCreated(hwnd, mdi);
    return true;
}

}  // namespace

bool StdIsTopLevel(HWND parent) noexcept
{
    return !parent || parent == PM_HWND_DESKTOP || parent == GetDesktopWindow();
}

bool FrameMakeChildren(HWND hwnd, FRAMEREC &rec) noexcept
{
    // Invariant: children are made only while the creating call waits.
    if (!rec.create)
        return false;
    const CreateInfo &ci = *rec.create;
    if (ci.flCreate & PM_FCF_ICON)
        FrameLoadIcon(hwnd, rec, ci.hmod, ci.idResources);
    if (ci.flCreate & PM_FCF_ACCELTABLE)
        rec.haccel = LoadAcceleratorsA(FrameResourceModule(ci.hmod),
                                       MAKEINTRESOURCEA(ci.idResources));
    if (rec.kind == Kind::MdiDesktop) {
        if (!makeMdiClient(hwnd, rec, ci))
            return false;
    } else {
        if (ci.flCreate & PM_FCF_VERTSCROLL) {
            rec.hwndVScroll = makeScrollBar(hwnd, SBS_VERT, PM_FID_VERTSCROLL);
            if (!rec.hwndVScroll)
                return false;
        }
        if (ci.flCreate & PM_FCF_HORZSCROLL) {
            rec.hwndHScroll = makeScrollBar(hwnd, SBS_HORZ, PM_FID_HORZSCROLL);
            if (!rec.hwndHScroll)
                return false;
        }
        if (!makeClient(hwnd, rec, ci))
            return false;
        FrameLayout(hwnd, rec);
    }
    if (ci.phwndClient)
        *ci.phwndClient = rec.hwndClient;
    ShowWindow(rec.hwndClient, SW_SHOWNA);
    return true;
}

void FrameLayout(HWND hwnd, const FRAMEREC &rec) noexcept
{
    constexpr UINT kPlace = SWP_NOZORDER | SWP_NOACTIVATE;
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    BarSizes bars = barSizes(rec);
    if (rec.hwndVScroll)
        SetWindowPos(rec.hwndVScroll, nullptr, rc.right - bars.cxV + 1, rc.top - 1, bars.cxV,
                     rc.bottom - rc.top + 2 - bars.cyH, kPlace);
    if (rec.hwndHScroll)
        SetWindowPos(rec.hwndHScroll, nullptr, rc.left - 1, rc.bottom - bars.cyH + 1,
                     rc.right - rc.left + 2 - bars.cxV, bars.cyH, kPlace);
    if (rec.hwndClient)
        SetWindowPos(rec.hwndClient, nullptr, rc.left, rc.top,
                     std::max<LONG>(0, rc.right - rc.left - bars.cxV),
                     std::max<LONG>(0, rc.bottom - rc.top - bars.cyH), kPlace);
}

HWND FrameCreate(const FrameRequest &r) noexcept
{
    if (!r.pflCreate || (r.kind == Kind::MdiDesktop ? false : !r.clientClass) ||
        (r.kind == Kind::MdiDocument && !IsWindow(r.hwndParent))) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    FrameRegisterClasses();
    ULONG fcf = *r.pflCreate;
    UniqueMenu menu;
    if ((fcf & PM_FCF_MENU) && r.kind != Kind::MdiDocument) {
        menu.reset(LoadMenuA(FrameResourceModule(r.hmod), MAKEINTRESOURCEA(r.idResources)));
        if (!menu)
            return nullptr;     // the loader's code stays in the last error
    }
    FRAMEREC *rec = FrameNewRecord();
    if (!rec) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return nullptr;
    }
    CreateInfo info;
    info.idResources = r.idResources;
    info.idFirstChild = r.idFirstChild;
    info.hmod = r.hmod;
    info.flCreate = fcf;
    info.flClientStyle = r.flClientStyle;
    info.clientClass = r.clientClass;
    info.phwndClient = r.phwndClient;
    info.pCtlData = r.pCtlData;
    rec->kind = r.kind;
    rec->pflCreate = r.pflCreate;
    rec->create = &info;

    bool child = !StdIsTopLevel(r.hwndParent);
    HWND hwnd = r.kind == Kind::MdiDocument ? createDocumentFrame(r, rec, info)
                                            : createFrameWindow(r, rec, fcf, menu.get());
    if (!info.adopted)
        FrameDropRecord(rec);   // the window never took it
    if (!hwnd) {
        DWORD err = GetLastError();
        SetLastError(err ? err : ORIN_ERR_GENERAL);
        return nullptr;
    }
    if (FRAMEREC *live = FrameQueryRec(hwnd))
        live->create = nullptr;
    if (!child)
        (void)menu.release();   // the window owns its menu bar now
    showNewFrame(hwnd, r.flStyle);
    return hwnd;
}

}  // namespace orin::pm::frame

using namespace orin::pm::frame;

HWND ORINAPI WinCreateStdWindow(HWND hwndParent, ULONG flStyle, ULONG *pflCreateFlags,
                                const char *pszClientClass, const char *pszTitle,
                                ULONG flClientStyle, HMODULE hmod, ULONG idResources,
                                HWND *phwndClient) noexcept
{
    if (phwndClient)
        *phwndClient = nullptr;
    return FrameCreate(FrameRequest(Kind::Standard, hwndParent, flStyle, pflCreateFlags,
                                    pszClientClass, pszTitle, flClientStyle, hmod, idResources,
                                    phwndClient));
}
