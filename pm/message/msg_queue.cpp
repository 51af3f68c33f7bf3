/*
 * msg_queue.cpp - the PM message loop over the native queue: WinGetMsg,
 * WinPeekMsg, WinDispatchMsg, quit requests, the queue status and the
 * keyboard/mouse redirect table.
 *
 * Queue messages keep the native message they came from; the PM message
 * number is derived from it (quit, keys, mouse).  A quit posted through
 * WinPostMsg goes to the library's main thread and sets a flag that is
 * never cleared: once the queue runs dry WinPeekMsg then hands out
 * synthesised quit messages, at most kMaxSynthQuits in the life of the
 * process, so loops that peek instead of waiting still end.
 */
#include <algorithm>
#include <atomic>
#include <new>
#include <vector>
#include "pm/pmint.h"
#include "pm/pmbreak.h"

namespace orin::pm {
namespace {

constexpr int kMaxSynthQuits = 20;
constexpr UINT kMouseLast = 0x20E;
constexpr UINT kNativeButtonToPM = WM_LBUTTONDOWN - PM_WM_BUTTON1DOWN;

struct Redirect {
    HWND from;
    HWND to;
};

/* Keyboard and mouse redirects; belong to the GUI thread. */
constinit Lasting<std::vector<Redirect>> redirectTable;

std::vector<Redirect> &redirects() noexcept
{
    return redirectTable.value;
}

/* Set once by the first WinInitialize; read by WinPostMsg on any thread. */
constinit std::atomic<DWORD> mainThread{0};
/* Quit bookkeeping: posting may happen on any thread. */
constinit std::atomic<bool> quitPosted{false};
constinit std::atomic<int> synthQuits{0};
/* The previous status word; the Lisp break check may ask from any thread. */
constinit std::atomic<ULONG> lastQueueStatus{0};
/* A mouse activation waits here for the button message it precedes;
 * belongs to the GUI thread. */
bool activationClick;

bool isKeyMessage(UINT m) noexcept
{
    return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP;
}

bool isInputMessage(UINT m) noexcept
{
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= kMouseLast);
}

void applyRedirect(MSG &m) noexcept
{
    if (!redirects().empty() && isInputMessage(m.message))
        m.hwnd = OwmRedirectTarget(m.hwnd);
}

/* One more synthesised quit, unless all have been handed out. */
bool takeSynthesisedQuit() noexcept
{
    int n = synthQuits.load(std::memory_order_relaxed);
    while (n < kMaxSynthQuits)
        if (synthQuits.compare_exchange_weak(n, n + 1, std::memory_order_relaxed))
            return true;
    return false;
}

MPARAM mouseParam(const MSG &m) noexcept
{
    POINT pt = {static_cast<SHORT>(LOWORD(m.lParam)), static_cast<SHORT>(HIWORD(m.lParam))};
    PM_POINTL ptl;
    OwmW3Point2PMPoint(m.hwnd, &pt, &ptl);
    return MPFROM2SHORT(ptl.x, ptl.y);
}

void fillQueueMessage(PM_QMSG &q, const MSG &m) noexcept
{
    q.hwnd = m.hwnd;
    q.native = m;
    q.msg = 0;
    q.mp1 = q.mp2 = nullptr;
    if (m.message == WM_QUIT) {
        q.msg = PM_WM_QUIT;
        q.mp1 = reinterpret_cast<MPARAM>(m.wParam);
    } else if (m.message == WM_MOUSEACTIVATE) {
        activationClick = true;
    } else if (isKeyMessage(m.message)) {
        q.msg = PM_WM_CHAR;
        q.mp1 = reinterpret_cast<MPARAM>(m.wParam);
        q.mp2 = reinterpret_cast<MPARAM>(m.lParam);
    } else if (m.message >= WM_MOUSEMOVE && m.message <= WM_MBUTTONDBLCLK) {
        q.mp1 = mouseParam(m);
        if (m.message == WM_MOUSEMOVE) {
            q.msg = PM_WM_MOUSEMOVE;
        } else {
            q.msg = static_cast<USHORT>(m.message - kNativeButtonToPM);
            q.mp2 = reinterpret_cast<MPARAM>(static_cast<ULONG_PTR>(activationClick));
            activationClick = false;
        }
    }
}

struct NativeRange {
    UINT first, last;
};

/* The PM filters WinPeekMsg knows; anything else peeks at everything. */
NativeRange nativeFilter(ULONG first, ULONG last) noexcept
{
    if (first == PM_WM_CHAR && last == PM_WM_CHAR)
        return {WM_KEYFIRST, WM_KEYLAST};
    if (first == PM_WM_MOUSEMOVE && last == PM_WM_BUTTON3DBLCLK)
        return {WM_MOUSEFIRST, kMouseLast};
    return {0, 0};
}

/* The window that pre-translates keyboard messages for the focus window. */
HWND keyHandler(HWND focus) noexcept
{
    if (OwmIsPMWindow(focus) || OwmIsStdWindow(focus) || OwmIsDlgWindowPM(focus))
        return focus;
    HWND owner = WinQueryWindow(focus, PM_QW_OWNER);
    if (owner && (OwmIsStdWindow(owner) || OwmIsPMWindow(owner)))
        return owner;
    return nullptr;
}

/* Offers a key message to the MDI accelerators and the focus window's
 * handler; true when one of them consumed it. */
bool keyConsumed(const PM_QMSG &q, MSG &m) noexcept
{
    HWND focus = GetFocus();
    if (!focus)
        focus = GetActiveWindow();
    if (!focus)
        return false;
    if (OwmHookMdiAccel(&focus, &m))
        return true;
    HWND handler = keyHandler(focus);
    return handler && SendMessageA(handler, kNmTranslateAccel, 0, reinterpret_cast<LPARAM>(&q));
}

bool keyDown(int vk) noexcept
{
    return (GetAsyncKeyState(vk) & 0x8000) || GetKeyState(vk) < 0;
}

}  // namespace

void OwmMessageInit() noexcept
{
    DWORD none = 0;
    mainThread.compare_exchange_strong(none, GetCurrentThreadId());
    // Invariant: wherever the queue runs, Lisp's break check sees the windows.
    [[maybe_unused]] bool probe = orin::pm::lispBreakProbeInstalled();
}

void OwmMessageTerm() noexcept
{
    std::vector<Redirect>().swap(redirects());
    OwmPostedFreeAll();
}

/* ---- redirect table ---- */

bool OwmRedirectAdd(HWND from, HWND to) noexcept
{
    auto it = std::find_if(redirects().begin(), redirects().end(),
                           [from](const Redirect &r) { return r.from == from; });
    if (it != redirects().end()) {
        it->to = to;
        return true;
    }
    try {
        redirects().push_back({from, to});
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

void OwmRedirectRemove(HWND hwnd) noexcept
{
    std::erase_if(redirects(),
                  [hwnd](const Redirect &r) { return r.from == hwnd || r.to == hwnd; });
}

HWND OwmRedirectTarget(HWND hwnd) noexcept
{
    for (const Redirect &r : redirects())
        if (r.from == hwnd)
            return r.to;
    return hwnd;
}

HWND OwmRedirectSource(HWND to) noexcept
{
    for (const Redirect &r : redirects())
        if (r.to == to)
            return r.from;
    return nullptr;
}

/* ---- quit ---- */

BOOL OwmPostQuit(MPARAM mp1) noexcept
{
    WPARAM code = SHORT1FROMMP(mp1);
    DWORD main = mainThread.load();
    if (!main || !PostThreadMessageA(main, WM_QUIT, code, 0))
        PostQuitMessage(static_cast<int>(code));
    quitPosted.store(true);
    return TRUE;
}

}  // namespace orin::pm

using namespace orin::pm;

BOOL ORINAPI WinGetMsg(PM_QMSG *pqmsg, HWND hwndFilter) noexcept
{
    if (!pqmsg)
        return FALSE;
    MSG m;
    BOOL rc = GetMessageA(&m, hwndFilter == PM_HWND_DESKTOP ? nullptr : hwndFilter, 0, 0);
    if (rc == -1) {
        *pqmsg = {};
        return FALSE;
    }
    applyRedirect(m);
    bool quit = m.message == WM_QUIT;
    pqmsg->hwnd = m.hwnd;
    pqmsg->native = m;
    pqmsg->msg = quit ? PM_WM_QUIT : 0;
    pqmsg->mp1 = quit ? reinterpret_cast<MPARAM>(m.wParam) : nullptr;
    pqmsg->mp2 = nullptr;
    return rc;
}

BOOL ORINAPI WinPeekMsg(PM_QMSG *pqmsg, HWND hwnd, ULONG msgFirst, ULONG msgLast, ULONG fl) noexcept
{
    if (!pqmsg)
        return FALSE;
    NativeRange range = nativeFilter(msgFirst, msgLast);
    MSG m;
    if (!PeekMessageA(&m, hwnd == PM_HWND_DESKTOP ? nullptr : hwnd, range.first, range.last,
                      (fl & PM_PM_REMOVE) ? PM_REMOVE : PM_NOREMOVE)) {
        if (!quitPosted.load() || !takeSynthesisedQuit())
            return FALSE;
        m = {};
        m.message = WM_QUIT;
        m.time = GetMessageTime();
    }
    applyRedirect(m);
    fillQueueMessage(*pqmsg, m);
    return TRUE;
}

BOOL ORINAPI WinWaitMsg(HAB hab, ULONG msgFirst, ULONG msgLast) noexcept
{
    return WaitMessage();
}

BOOL ORINAPI WinQueryMsgPos(HAB hab, PM_POINTL *pptl) noexcept
{
    return WinQueryPointerPos(PM_HWND_DESKTOP, pptl);
}

MRESULT ORINAPI WinDispatchMsg(const PM_QMSG *pqmsg) noexcept
{
    if (!pqmsg)
        return nullptr;
    MSG m = pqmsg->native;
    if (isKeyMessage(m.message) && keyConsumed(*pqmsg, m))
        return nullptr;
    TranslateMessage(&m);
    return reinterpret_cast<MRESULT>(DispatchMessageA(&m));
}

ULONG ORINAPI WinQueryQueueStatus(HWND hwndDesktop) noexcept
{
    struct Bit {
        UINT native;
        ULONG pm;
    };
    static constexpr Bit kBits[] = {
        {QS_KEY, PM_QSTAT_KEY}, {QS_MOUSEBUTTON, PM_QSTAT_MOUSEBUTTON},
        {QS_MOUSEMOVE, PM_QSTAT_MOUSEMOVE}, {QS_TIMER, PM_QSTAT_TIMER},
        {QS_PAINT, PM_QSTAT_PAINT}, {QS_POSTMESSAGE, PM_QSTAT_POSTMSG},
    };
    DWORD native = GetQueueStatus(QS_ALLINPUT);
    ULONG current = 0;
    for (const Bit &b : kBits)
        if (HIWORD(native) & b.native)
            current |= b.pm;
    if (keyDown(VK_CANCEL) || (keyDown(VK_CONTROL) && keyDown('C')))
        current |= PM_QSTAT_BREAK;
    if (keyDown(VK_ESCAPE))
        current |= PM_QSTAT_ESCAPE;
    ULONG fresh = current & ~lastQueueStatus.exchange(current);
    return (current << 16) | fresh;
}

void OwmQueryBreakState(HWND *active, HWND *foreground, ULONG *queueStatus)
{
    if (active)
        *active = WinQueryActiveWindow(PM_HWND_DESKTOP);
    if (foreground)
        *foreground = GetForegroundWindow();
    if (queueStatus)
        *queueStatus = WinQueryQueueStatus(PM_HWND_DESKTOP);
}
