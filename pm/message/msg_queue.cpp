/*
 * msg_queue.c - the PM message loop over the native queue: WinGetMsg,
 * WinPeekMsg, WinDispatchMsg, quit requests, the queue status and the
 * keyboard/mouse redirect table.
 *
 * Queue messages keep the native message they came from; the PM message
 * number is derived from it (quit, keys, mouse).  A quit posted through
 * WinPostMsg goes to the library's main thread and sets a flag that is
 * never cleared: once the queue runs dry WinPeekMsg then hands out
 * synthesised quit messages, at most OWM_MAX_SYNTH_QUITS in the life of
 * the process, so loops that peek instead of waiting still end.
 */
#include <stdlib.h>
#include <string.h>
#include "pm/pmint.h"
#include "pm/pmbreak.h"

#define OWM_MAX_SYNTH_QUITS  20
#define MOUSE_LAST           0x20E
#define NATIVE_BUTTON_TO_PM  (WM_LBUTTONDOWN - PM_WM_BUTTON1DOWN)

typedef struct { HWND from, to; } REDIRECT;

static REDIRECT *redirects;
static size_t redirectCount;
static volatile LONG quitPosted;
static int synthQuits;
static BOOL activationClick;
static ULONG lastQueueStatus;
static DWORD mainThread;

void OwmMessageInit(void)
{
    if (!mainThread)
        mainThread = GetCurrentThreadId();
}

void OwmMessageTerm(void)
{
    free(redirects);
    redirects = NULL;
    redirectCount = 0;
    OwmPostedFreeAll();
}

/* ---- redirect table ---- */

void OwmRedirectAdd(HWND from, HWND to)
{
    REDIRECT *grown;
    size_t i;
    for (i = 0; i < redirectCount; i++)
        if (redirects[i].from == from) {
            redirects[i].to = to;
            return;
        }
    grown = (REDIRECT*)realloc(redirects, (redirectCount + 1) * sizeof *redirects);
    if (!grown)
        return;
    redirects = grown;
    redirects[redirectCount].from = from;
    redirects[redirectCount].to = to;
    redirectCount++;
}

void OwmRedirectRemove(HWND hwnd)
{
    size_t i = 0;
    while (i < redirectCount) {
        if (redirects[i].from == hwnd || redirects[i].to == hwnd) {
            redirects[i] = redirects[--redirectCount];
        } else {
            i++;
        }
    }
}

HWND OwmRedirectTarget(HWND hwnd)
{
    size_t i;
    for (i = 0; i < redirectCount; i++)
        if (redirects[i].from == hwnd)
            return redirects[i].to;
    return hwnd;
}

HWND OwmRedirectSource(HWND to)
{
    size_t i;
    for (i = 0; i < redirectCount; i++)
        if (redirects[i].to == to)
            return redirects[i].from;
    return NULL;
}

static BOOL isKeyMessage(UINT m)
{
    return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP;
}

static void applyRedirect(MSG *m)
{
    if (!redirectCount)
        return;
    if ((m->message >= WM_KEYFIRST && m->message <= WM_KEYLAST) ||
        (m->message >= WM_MOUSEFIRST && m->message <= MOUSE_LAST))
        m->hwnd = OwmRedirectTarget(m->hwnd);
}

/* ---- quit ---- */

BOOL OwmPostQuit(MPARAM mp1)
{
    WPARAM code = SHORT1FROMMP(mp1);
    if (!mainThread || !PostThreadMessageA(mainThread, WM_QUIT, code, 0))
        PostQuitMessage((int)code);
    InterlockedExchange(&quitPosted, 1);
    return TRUE;
}

/* ---- getting messages ---- */

static void fillQueueMessage(PM_QMSG *q, const MSG *m)
{
    q->hwnd = m->hwnd;
    q->native = *m;
    q->mp1 = q->mp2 = 0;
    if (m->message == WM_QUIT) {
        q->msg = PM_WM_QUIT;
        q->mp1 = (MPARAM)m->wParam;
    } else if (m->message == WM_MOUSEACTIVATE) {
        activationClick = TRUE;
        q->msg = 0;
    } else if (isKeyMessage(m->message)) {
        q->msg = PM_WM_CHAR;
        q->mp1 = (MPARAM)m->wParam;
        q->mp2 = (MPARAM)m->lParam;
    } else if (m->message >= WM_MOUSEMOVE && m->message <= WM_MBUTTONDBLCLK) {
        POINT pt = { (SHORT)LOWORD(m->lParam), (SHORT)HIWORD(m->lParam) };
        PM_POINTL ptl;
        OwmW3Point2PMPoint(m->hwnd, &pt, &ptl);
        q->mp1 = MPFROM2SHORT(ptl.x, ptl.y);
        if (m->message == WM_MOUSEMOVE) {
            q->msg = PM_WM_MOUSEMOVE;
        } else {
            q->msg = (USHORT)(m->message - NATIVE_BUTTON_TO_PM);
            q->mp2 = (MPARAM)(ULONG_PTR)activationClick;
            activationClick = FALSE;
        }
    } else {
        q->msg = 0;
    }
}

BOOL ORINAPI WinGetMsg(PM_QMSG *pqmsg, HWND hwndFilter) noexcept
{
    MSG m;
    BOOL rc;
    if (!pqmsg)
        return FALSE;
    rc = GetMessageA(&m, hwndFilter == PM_HWND_DESKTOP ? NULL : hwndFilter, 0, 0);
    if (rc == -1) {
        memset(pqmsg, 0, sizeof *pqmsg);
        return FALSE;
    }
    applyRedirect(&m);
    pqmsg->hwnd = m.hwnd;
    pqmsg->native = m;
    pqmsg->msg = m.message == WM_QUIT ? PM_WM_QUIT : 0;
    pqmsg->mp1 = m.message == WM_QUIT ? (MPARAM)m.wParam : 0;
    pqmsg->mp2 = 0;
    return rc;
}

static void nativeFilter(ULONG first, ULONG last, UINT *nFirst, UINT *nLast)
{
    if (first == PM_WM_CHAR && last == PM_WM_CHAR) {
        *nFirst = WM_KEYFIRST;
        *nLast = WM_KEYLAST;
    } else if (first == PM_WM_MOUSEMOVE && last == PM_WM_BUTTON3DBLCLK) {
        *nFirst = WM_MOUSEFIRST;
        *nLast = MOUSE_LAST;
    } else {
        *nFirst = *nLast = 0;
    }
}

BOOL ORINAPI WinPeekMsg(PM_QMSG *pqmsg, HWND hwnd, ULONG msgFirst, ULONG msgLast, ULONG fl) noexcept
{
    MSG m;
    UINT first, last;
    if (!pqmsg)
        return FALSE;
    nativeFilter(msgFirst, msgLast, &first, &last);
    if (!PeekMessageA(&m, hwnd == PM_HWND_DESKTOP ? NULL : hwnd, first, last,
                      (fl & PM_PM_REMOVE) ? PM_REMOVE : PM_NOREMOVE)) {
        if (!quitPosted || synthQuits >= OWM_MAX_SYNTH_QUITS)
            return FALSE;
        synthQuits++;
        memset(&m, 0, sizeof m);
        m.message = WM_QUIT;
        m.time = GetMessageTime();
    }
    applyRedirect(&m);
    fillQueueMessage(pqmsg, &m);
    return TRUE;
}

BOOL ORINAPI WinWaitMsg(HAB hab, ULONG msgFirst, ULONG msgLast) noexcept
{
    (void)hab; (void)msgFirst; (void)msgLast;
    return WaitMessage();
}

BOOL ORINAPI WinQueryMsgPos(HAB hab, PM_POINTL *pptl) noexcept
{
    (void)hab;
    return WinQueryPointerPos(PM_HWND_DESKTOP, pptl);
}

/* ---- dispatching ---- */

/* The window that pre-translates keyboard messages for the focus window. */
static HWND keyHandler(HWND focus)
{
    HWND owner;
    if (OwmIsPMWindow(focus) || OwmIsStdWindow(focus) || OwmIsDlgWindowPM(focus))
        return focus;
    owner = WinQueryWindow(focus, PM_QW_OWNER);
    if (owner && (OwmIsStdWindow(owner) || OwmIsPMWindow(owner)))
        return owner;
    return NULL;
}

MRESULT ORINAPI WinDispatchMsg(const PM_QMSG *pqmsg) noexcept
{
    MSG m;
    if (!pqmsg)
        return 0;
    m = pqmsg->native;
    if (isKeyMessage(m.message)) {
        HWND focus = GetFocus(), handler;
        if (!focus)
            focus = GetActiveWindow();
        if (focus) {
            if (OwmHookMdiAccel(&focus, &m))
                return 0;
            handler = keyHandler(focus);
            if (handler && SendMessageA(handler, OWM_NM_TRANSLATEACCEL, 0, (LPARAM)pqmsg))
                return 0;
        }
    }
    TranslateMessage(&m);
    return (MRESULT)DispatchMessageA(&m);
}

/* ---- queue status ---- */

static BOOL keyDown(int vk)
{
    return (GetAsyncKeyState(vk) & 0x8000) || GetKeyState(vk) < 0;
}

ULONG ORINAPI WinQueryQueueStatus(HWND hwndDesktop) noexcept
{
    static const struct { UINT native; ULONG pm; } bits[] = {
        { QS_KEY, PM_QSTAT_KEY }, { QS_MOUSEBUTTON, PM_QSTAT_MOUSEBUTTON },
        { QS_MOUSEMOVE, PM_QSTAT_MOUSEMOVE }, { QS_TIMER, PM_QSTAT_TIMER },
        { QS_PAINT, PM_QSTAT_PAINT }, { QS_POSTMESSAGE, PM_QSTAT_POSTMSG },
    };
    DWORD native = GetQueueStatus(QS_ALLINPUT);
    ULONG current = 0, fresh;
    size_t i;
    (void)hwndDesktop;
    for (i = 0; i < sizeof bits / sizeof bits[0]; i++)
        if (HIWORD(native) & bits[i].native)
            current |= bits[i].pm;
    if (keyDown(VK_CANCEL) || (keyDown(VK_CONTROL) && keyDown('C')))
        current |= PM_QSTAT_BREAK;
    if (keyDown(VK_ESCAPE))
        current |= PM_QSTAT_ESCAPE;
    fresh = current & ~lastQueueStatus;
    lastQueueStatus = current;
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
