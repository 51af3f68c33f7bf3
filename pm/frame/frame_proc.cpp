/*
 * frame_proc.cpp - OWMFrontEndStdWinProc, the native procedure of the
 * three frame classes.
 *
 * The frame passes what concerns the application to a target PM
 * procedure: the client's.  A standard frame (kind 1) and an MDI document
 * frame (kind 3) call it with the client window; the MDI desktop frame
 * (kind 2), whose client is the native MDI client, calls it with the frame
 * itself.  The frame lays out its children on every size change, moves the
 * focus to the client, swallows mouse clicks while its input is disabled,
 * relays palette requests to the windows that may realise one, and
 * translates keys with its accelerator table.  Whatever it does not take
 * goes to the native default of its kind: the frame default of the MDI
 * desktop, the MDI child default of documents, the window default
 * otherwise.  A window of these classes without a frame record gets the
 * window default.
 *
 * As for every native procedure of the library, nothing escapes: an
 * exception answers 0 (a failed creation for the create messages).
 */
#include <vector>
#include "frame/boundary.h"
#include "pm/frame/frame_int.h"

namespace orin::pm::frame {
namespace {

constexpr ULONG kHelpFromButton = 0x10001;
constexpr LRESULT kCreateFailed = -1;
constexpr LONG_PTR kMenuBarHit = HTMENU;

/* The common dialogs' help message, registered once for the process. */
UINT commonDialogHelp() noexcept
{
    static const UINT message = RegisterWindowMessageA("commdlg_help");
    return message;
}

/* Application activation state seen by the main window; GUI thread. */
HWND activationOwner;
bool applicationActive;

struct Frame {
    HWND hwnd;
    FRAMEREC &rec;

    HWND targetWindow() const noexcept
    {
        return rec.kind == Kind::MdiDesktop ? hwnd : rec.hwndClient;
    }

    MRESULT toTarget(USHORT msg, MPARAM mp1, MPARAM mp2) const
    {
        return rec.pfnClient ? rec.pfnClient(targetWindow(), msg, mp1, mp2) : nullptr;
    }

    LRESULT nativeDefault(UINT msg, WPARAM wParam, LPARAM lParam) const noexcept
    {
        switch (rec.kind) {
        case Kind::MdiDesktop:
            return DefFrameProcA(hwnd, rec.hwndClient, msg, wParam, lParam);
        case Kind::MdiDocument:
            return DefMDIChildProcA(hwnd, msg, wParam, lParam);
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    }

    bool inputEnabled() const noexcept { return OwmInputEnabled(hwnd); }
    bool iconicWithIcon() const noexcept { return rec.hicon && IsIconic(hwnd); }
    bool childFrame() const noexcept { return GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD; }
};

MPARAM asParam(WPARAM w) noexcept
{
    return reinterpret_cast<MPARAM>(w);
}

MPARAM asParam(LPARAM l) noexcept
{
    return reinterpret_cast<MPARAM>(l);
}

LRESULT asResult(MRESULT r) noexcept
{
    return reinterpret_cast<LRESULT>(r);
}

/* The focused PM window when it lies inside this frame. */
HWND focusedChild(HWND frame) noexcept
{
    HWND focus = OwmFocusedPMWindow();
    return focus && IsChild(frame, focus) ? focus : nullptr;
}

void tellFocusedChild(HWND frame, ULONG state) noexcept
{
    if (HWND child = focusedChild(frame))
        WinSendMsg(child, PM_WM_FOCUSCHILD, MPFROMLONG(state), nullptr);
}

/* ---- creation and destruction ---- */

LRESULT nativeCreate(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto cs = reinterpret_cast<const CREATESTRUCTA *>(lParam);
    if (!cs)
        return msg == WM_NCCREATE ? FALSE : kCreateFailed;
    FRAMEREC *rec = FrameQueryRec(hwnd);
    if (msg == WM_NCCREATE) {
        void *param = cs->lpCreateParams;
        if ((cs->dwExStyle & WS_EX_MDICHILD) && param)
            param = reinterpret_cast<void *>(static_cast<const MDICREATESTRUCTA *>(param)->lParam);
        if (!rec && !FrameAttach(hwnd, static_cast<FRAMEREC *>(param)))
            return DefWindowProcA(hwnd, msg, wParam, lParam);   // a frame without a record
        rec = FrameQueryRec(hwnd);
        StdListAdd(hwnd, rec->kind != Kind::MdiDocument && StdIsTopLevel(GetParent(hwnd)));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (!rec)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (!FrameMakeChildren(hwnd, *rec))
        return kCreateFailed;
    return Frame{hwnd, *rec}.nativeDefault(msg, wParam, lParam);
}

void nativeDestroy(const Frame &f)
{
    StdListRemove(f.hwnd);
    if (activationOwner == f.hwnd)
        activationOwner = nullptr;
    if (f.rec.kind == Kind::MdiDesktop) {
        f.toTarget(PM_WM_DESTROY, nullptr, nullptr);
        Mdi()->desktopDestroyed(f.hwnd);
    } else if (f.rec.kind == Kind::MdiDocument) {
        Mdi()->documentDestroyed(f.hwnd);
    }
}

/* ---- messages of the routing table ---- */

LRESULT sizeMessage(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (f.rec.kind == Kind::MdiDesktop) {
        RECT rc = {};
        GetClientRect(f.hwnd, &rc);
        if (!f.toTarget(PM_WM_SIZE, MPFROM2SHORT(rc.right - rc.left, rc.bottom - rc.top),
                        asParam(lParam)))
            return 0;
        return f.nativeDefault(msg, wParam, lParam);
    }
    FrameLayout(f.hwnd, f.rec);
    return f.rec.kind == Kind::MdiDocument ? f.nativeDefault(msg, wParam, lParam) : 0;
}

LRESULT paintMessage(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (f.iconicWithIcon()) {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(f.hwnd, &ps);
        DrawIcon(hdc, 0, 0, f.rec.hicon);
        EndPaint(f.hwnd, &ps);
        return 0;
    }
    switch (f.rec.kind) {
    case Kind::MdiDesktop:
        if (!f.toTarget(PM_WM_PAINT, nullptr, nullptr))
            return 0;
        return f.nativeDefault(msg, wParam, lParam);
    case Kind::Standard: {
        PAINTSTRUCT ps;             // the frame's own area is covered by its children
        BeginPaint(f.hwnd, &ps);
        EndPaint(f.hwnd, &ps);
        if (f.rec.hwndClient)
            UpdateWindow(f.rec.hwndClient);
        return 0;
    }
    default:
        return f.nativeDefault(msg, wParam, lParam);
    }
}

/* The reply's position record keeps the maximise bit when the window may
 * open from its icon. */
LRESULT queryOpen(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (f.rec.kind == Kind::MdiDocument && !f.rec.pfnClient) {
        Mdi()->setMenu(f.hwnd);
        return f.nativeDefault(msg, wParam, lParam);
    }
    PM_SWP swp = {PM_SWP_MAXIMIZE, 0, 0, 0, 0, nullptr, f.hwnd};
    f.toTarget(PM_WM_QUERYOPEN, &swp, nullptr);
    return (swp.fl & PM_SWP_MAXIMIZE) ? TRUE : FALSE;
}

LRESULT activateApp(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    bool active = wParam != 0;
    if (f.hwnd == StdMainWindow() && (activationOwner != f.hwnd || active != applicationActive)) {
        activationOwner = f.hwnd;
        applicationActive = active;
        if (!active)
            tellFocusedChild(f.hwnd, 0);
        HWND target = f.targetWindow();
        if (target && OwmInputEnabled(target))
            f.toTarget(PM_WM_ACTIVATEAPP, MPFROMLONG(active), nullptr);
    }
    return f.nativeDefault(msg, wParam, lParam);
}

/* A child standard frame never grows beyond its parent's client area plus
 * its borders, less the bars it carries. */
LRESULT minMaxInfo(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto mmi = reinterpret_cast<MINMAXINFO *>(lParam);
    LRESULT r = f.nativeDefault(msg, wParam, lParam);
    if (f.rec.kind != Kind::Standard || !f.childFrame() || !mmi)
        return r;
    RECT pr = {};
    GetClientRect(GetParent(f.hwnd), &pr);
    LONG cx = pr.right - pr.left + 2 * GetSystemMetrics(SM_CXFRAME);
    LONG cy = pr.bottom - pr.top + 2 * GetSystemMetrics(SM_CYFRAME);
    if (f.rec.hwndVScroll)
        cx -= GetSystemMetrics(SM_CXVSCROLL);
    if (f.rec.hwndHScroll)
        cy -= GetSystemMetrics(SM_CYHSCROLL);
    mmi->ptMaxSize.x = cx;
    mmi->ptMaxSize.y = cy;
    return 0;
}

LRESULT nonClientActivate(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (f.rec.kind == Kind::MdiDocument) {
        if (wParam)
            Mdi()->setMenu(f.hwnd);
    } else {
        auto other = reinterpret_cast<HWND>(lParam);
        if (other && IsWindow(other) && OwmIsDlgWindowPM(other))
            f.toTarget(PM_WM_DLGACTIVATE, MPFROMLONG(wParam != 0), nullptr);
    }
    return f.nativeDefault(msg, wParam, lParam);
}

/* Non-client and client mouse buttons: swallowed while input is disabled;
 * a button-1 press first tells the focused PM child. */
LRESULT mouseButton(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!f.inputEnabled())
        return 0;
    if (msg == WM_NCLBUTTONDOWN || msg == WM_LBUTTONDOWN)
        tellFocusedChild(f.hwnd, 1);
    return f.nativeDefault(msg, wParam, lParam);
}

/* A double-click on the menu bar's close box of a maximised MDI document
 * closes that document. */
LRESULT nonClientDoubleClick(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!f.inputEnabled())
        return 0;
    if (f.rec.kind == Kind::MdiDesktop && static_cast<LONG_PTR>(wParam) == kMenuBarHit) {
        HWND doc = Mdi()->activeDocumentClient();
        HWND docFrame = doc ? GetParent(doc) : nullptr;
        RECT wr = {};
        GetWindowRect(f.hwnd, &wr);
        LONG x = static_cast<SHORT>(LOWORD(lParam)) - wr.left;
        if (docFrame && IsZoomed(docFrame) && x <= GetSystemMetrics(SM_CXSIZE) + 1) {
            WinSendMsg(doc, PM_WM_CLOSE, nullptr, nullptr);
            return 0;
        }
    }
    return f.nativeDefault(msg, wParam, lParam);
}

/* A menu or accelerator command of an MDI frame; the MDI window list's
 * commands go to the native frame default first. */
LRESULT mdiCommand(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    USHORT id = LOWORD(wParam);
    if (f.rec.kind == Kind::MdiDesktop && f.rec.idFirstChild && id >= f.rec.idFirstChild)
        return f.nativeDefault(msg, wParam, lParam);
    if (lParam && f.rec.kind == Kind::MdiDocument && f.rec.hwndClient)
        return SendMessageA(f.rec.hwndClient, msg, wParam, lParam);   // from a control
    constexpr USHORT kAccelNotification = 1;
    USHORT source = HIWORD(wParam) == kAccelNotification ? PM_CMDSRC_ACCELERATOR : PM_CMDSRC_MENU;
    if (f.toTarget(PM_WM_COMMAND, MPFROMLONG(id), MPFROM2SHORT(source, 1)))
        return f.nativeDefault(msg, wParam, lParam);
    return 0;
}

LRESULT mdiMenuSelect(const Frame &f, WPARAM wParam, LPARAM lParam)
{
    constexpr USHORT kMenuClosed = 0xFFFF;
    USHORT item = LOWORD(wParam), flags = HIWORD(wParam);
    MPARAM mp1 = (flags == kMenuClosed && !lParam)
                     ? MPFROMLONG(kMenuClosed)
                     : MPFROM2SHORT(item, (flags & (MF_GRAYED | MF_DISABLED)) ? 0 : 1);
    HWND top = f.rec.kind == Kind::MdiDesktop ? f.hwnd : Mdi()->desktopFrame();
    f.toTarget(PM_WM_MENUSELECT, mp1, top ? GetMenu(top) : nullptr);
    return 0;
}

/* Commands, scrolling, menu selection and owner drawing. */
LRESULT commandFamily(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (f.rec.kind == Kind::Standard)
        return f.rec.hwndClient ? SendMessageA(f.rec.hwndClient, msg, wParam, lParam) : 0;
    switch (msg) {
    case WM_COMMAND:
        return mdiCommand(f, msg, wParam, lParam);
    case WM_MENUSELECT:
        mdiMenuSelect(f, wParam, lParam);
        return f.nativeDefault(msg, wParam, lParam);
    case WM_DRAWITEM:
        if (OwmHookDrawItem(f.hwnd, reinterpret_cast<DRAWITEMSTRUCT *>(lParam)))
            return TRUE;
        return f.nativeDefault(msg, wParam, lParam);
    default:        // scrolling: the document's client translates it
        if (f.rec.kind == Kind::MdiDocument && f.rec.hwndClient)
            return SendMessageA(f.rec.hwndClient, msg, wParam, lParam);
        return f.nativeDefault(msg, wParam, lParam);
    }
}

/* Palette requests: a child standard frame and a document pass them to
 * their client; a top-level frame and the desktop ask the focused window
 * (or the active document) first, then offer the change to every child of
 * the client and to the client itself. */
LRESULT relayPalette(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    UINT relay = msg == WM_QUERYNEWPALETTE ? kNmQueryPalette : kNmPaletteChanged;
    HWND client = f.rec.hwndClient;
    if (!client)
        return 0;
    if (f.rec.kind == Kind::MdiDocument || (f.rec.kind == Kind::Standard && f.childFrame()))
        return SendMessageA(client, relay, wParam, lParam);
    HWND first = f.rec.kind == Kind::MdiDesktop ? Mdi()->activeDocumentClient() : GetFocus();
    if (first && IsChild(f.hwnd, first) && SendMessageA(first, kNmQueryPalette, wParam, lParam))
        return 1;
    bool realised = false;
    std::vector<HWND> windows;
    for (HWND c = GetWindow(client, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        windows.push_back(c);
    if (f.rec.kind != Kind::MdiDesktop)
        windows.push_back(client);
    for (HWND w : windows)
        if (IsWindow(w) && SendMessageA(w, kNmPaletteChanged, wParam, lParam))
            realised = true;
    return realised;
}

/* Translates a queue message's key with the frame's table, then with the
 * MDI desktop frame's. */
LRESULT translateAccel(const Frame &f, LPARAM lParam)
{
    auto q = reinterpret_cast<const PM_QMSG *>(lParam);
    if (!q)
        return 0;
    MSG m = q->native;
    if (f.rec.haccel && TranslateAcceleratorA(f.hwnd, f.rec.haccel, &m))
        return 1;
    HWND desktop = Mdi()->desktopFrame();
    if (desktop && desktop != f.hwnd) {
        FRAMEREC *d = FrameQueryRec(desktop);
        if (d && d->haccel && TranslateAcceleratorA(desktop, d->haccel, &m))
            return 1;
    }
    return 0;
}

/* A posted PM message for the frame goes to the target procedure. */
bool deliverPosted(const Frame &f, LPARAM lParam)
{
    HWND hwnd;
    USHORT msg;
    MPARAM mp1, mp2;
    if (!OwmPostedTake(lParam, &hwnd, &msg, &mp1, &mp2))
        return false;
    if (IsWindow(f.hwnd))
        f.toTarget(msg, mp1, mp2);
    return true;
}

/* A posted record for a frame that has lost its record is freed. */
void dropPosted(LPARAM lParam) noexcept
{
    HWND hwnd;
    USHORT msg;
    MPARAM mp1, mp2;
    OwmPostedTake(lParam, &hwnd, &msg, &mp1, &mp2);
}

LRESULT privateMessage(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case OWM_NM_SETFRAMEACCEL:
        f.rec.haccel = reinterpret_cast<HACCEL>(lParam);
        return TRUE;
    case OWM_NM_QUERYFRAMEACCEL:
        return reinterpret_cast<LRESULT>(f.rec.haccel);
    case OWM_NM_TRANSLATEFRAMEACCEL:
        return translateAccel(f, lParam);
    case OWM_NM_FRAMEPOSTED:
        // the message loop's pre-translation arrives here too, with a queue
        // message instead of a posted record
        return deliverPosted(f, lParam) ? 0 : translateAccel(f, lParam);
    default:        // kNmPosted
        deliverPosted(f, lParam);
        return 0;
    }
}

LRESULT route(const Frame &f, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if ((msg >= WM_USER && msg <= kUserLastSent) || msg == kNmHelp)
        return asResult(f.toTarget(static_cast<USHORT>(msg), asParam(wParam), asParam(lParam)));
    switch (msg) {
    case WM_DESTROY:
        nativeDestroy(f);
        return f.nativeDefault(msg, wParam, lParam);
    case WM_MOVE:
        f.toTarget(PM_WM_MOVE, nullptr, nullptr);
        return f.nativeDefault(msg, wParam, lParam);
    case WM_SIZE:
        return sizeMessage(f, msg, wParam, lParam);
    case WM_SETFOCUS:
        if (f.rec.kind == Kind::MdiDesktop)
            return f.nativeDefault(msg, wParam, lParam);
        if (f.rec.kind == Kind::MdiDocument)
            f.nativeDefault(msg, wParam, lParam);
        if (f.rec.hwndClient)
            SetFocus(f.rec.hwndClient);
        return 0;
    case WM_PAINT:
        return paintMessage(f, msg, wParam, lParam);
    case WM_CLOSE:
        return f.inputEnabled() ? asResult(f.toTarget(PM_WM_CLOSE, nullptr, nullptr)) : 0;
    case WM_QUERYENDSESSION:
        return asResult(f.toTarget(PM_WM_QUERYENDSESSION, nullptr, nullptr));
    case WM_QUERYOPEN:
        return queryOpen(f, msg, wParam, lParam);
    case WM_ERASEBKGND:
        return f.iconicWithIcon() ? 1 : f.nativeDefault(msg, wParam, lParam);
    case WM_ENDSESSION:
        if (wParam)
            f.toTarget(PM_WM_ENDSESSION, asParam(wParam), nullptr);
        return 0;
    case WM_ACTIVATEAPP:
        return activateApp(f, msg, wParam, lParam);
    case WM_GETMINMAXINFO:
        return minMaxInfo(f, msg, wParam, lParam);
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(f.rec.hicon);
    case WM_NOTIFY:
        return asResult(f.toTarget(PM_WM_NOTIFY, asParam(wParam), asParam(lParam)));
    case WM_NCACTIVATE:
        return nonClientActivate(f, msg, wParam, lParam);
    case WM_MDIACTIVATE:
        if (f.rec.kind == Kind::MdiDocument && reinterpret_cast<HWND>(lParam) == f.hwnd)
            Mdi()->documentActivated(f.hwnd);
        return f.nativeDefault(msg, wParam, lParam);
    case WM_NCMOUSEMOVE:
        if (!f.inputEnabled())
            OwmSetPointer(false);
        return f.nativeDefault(msg, wParam, lParam);
    case WM_NCLBUTTONDBLCLK:
        return nonClientDoubleClick(f, msg, wParam, lParam);
    case WM_NCLBUTTONDOWN: case WM_NCLBUTTONUP:
    case WM_NCRBUTTONDOWN: case WM_NCRBUTTONUP: case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN: case WM_NCMBUTTONUP: case WM_NCMBUTTONDBLCLK:
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
        return mouseButton(f, msg, wParam, lParam);
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_MENUSELECT:
    case WM_DRAWITEM:
        return commandFamily(f, msg, wParam, lParam);
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
        return relayPalette(f, msg, wParam, lParam);
    case OWM_NM_SETFRAMEACCEL:
    case OWM_NM_QUERYFRAMEACCEL:
    case OWM_NM_TRANSLATEFRAMEACCEL:
    case OWM_NM_FRAMEPOSTED:
    case kNmPosted:
        return privateMessage(f, msg, wParam, lParam);
    }
    if (msg == commonDialogHelp() && msg != 0 && f.rec.kind != Kind::Standard)
        return asResult(f.toTarget(static_cast<USHORT>(kNmHelp), asParam(wParam),
                                   MPFROMLONG(kHelpFromButton)));
    return f.nativeDefault(msg, wParam, lParam);
}

LRESULT frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE || msg == WM_CREATE)
        return nativeCreate(hwnd, msg, wParam, lParam);
    FRAMEREC *rec = FrameQueryRec(hwnd);
    if (msg == WM_NCDESTROY) {
        LRESULT r = rec ? Frame{hwnd, *rec}.nativeDefault(msg, wParam, lParam)
                        : DefWindowProcA(hwnd, msg, wParam, lParam);
        FrameRelease(hwnd);
        return r;
    }
    if (!rec) {
        if (msg == kNmPosted)
            dropPosted(lParam);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return route(Frame{hwnd, *rec}, msg, wParam, lParam);
}

}  // namespace
}  // namespace orin::pm::frame

MRESULT ORINAPI OWMFrontEndStdWinProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    using namespace orin::pm::frame;
    LRESULT failure = msg == WM_CREATE ? kCreateFailed : 0;
    return orin::guardValue(reinterpret_cast<MRESULT>(failure), [&] {
        return reinterpret_cast<MRESULT>(frameProc(hwnd, msg, wParam, lParam));
    });
}
