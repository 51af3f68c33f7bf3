/*
 * msg_send.cpp - PM messages on their way to a window: WinSendMsg,
 * WinPostMsg, WinBroadcastMsg.
 *
 * A PM window's procedure is called directly.  A PM message posted to a PM
 * window travels as native kNmPosted whose lParam is a posted-message
 * record.  The records are owned by a store keyed by their address, under
 * a lock (WinPostMsg may be called from any thread); the front end only
 * delivers a record it finds in the store, so a stale or forged lParam is
 * ignored, and a window's records are dropped when the window is
 * destroyed.  Messages for native windows are translated to the native
 * message of the same meaning, or not sent at all when there is none.
 *
 * A send looks first at the window this thread reached last (no native
 * call), then reads the window's class once: that one call tells a dead
 * handle, a class that cannot hold PM windows, and the control kind that
 * the control-message translation needs.
 */
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_map>
#include <vector>
#include "frame/boundary.h"
#include "frame/scope.h"
#include "pm/pmint.h"

namespace orin::pm {
namespace {

constexpr LONG kOuterHeightFlip = 1;

struct PostedMessage {
    HWND hwnd;
    USHORT msg;
    MPARAM mp1;
    MPARAM mp2;
};

/* Messages posted to PM windows and not yet delivered.  Shared by every
 * thread that posts, so each call takes the lock. */
class PostedStore {
public:
    /* Keeps a copy of m; its address is the key.  Throws without memory. */
    const PostedMessage *add(const PostedMessage &m)
    {
        auto rec = std::make_unique<PostedMessage>(m);
        const PostedMessage *key = rec.get();
        std::lock_guard<SlimLock> hold(lock_);
        live_.emplace(key, std::move(rec));
        return key;
    }

    /* Takes the record with this key out of the store, if it is there. */
    std::optional<PostedMessage> take(const void *key) noexcept
    {
        std::unique_ptr<PostedMessage> rec;
        {
            std::lock_guard<SlimLock> hold(lock_);
            auto it = live_.find(static_cast<const PostedMessage *>(key));
            if (it == live_.end())
                return std::nullopt;
            rec = std::move(it->second);
            live_.erase(it);
        }
        return *rec;
    }

    void forget(HWND hwnd) noexcept
    {
        std::lock_guard<SlimLock> hold(lock_);
        std::erase_if(live_, [hwnd](const auto &entry) { return entry.second->hwnd == hwnd; });
    }

    void clear() noexcept
    {
        std::lock_guard<SlimLock> hold(lock_);
        live_.clear();
    }

private:
    SlimLock lock_;
    std::unordered_map<const PostedMessage *, std::unique_ptr<PostedMessage>> live_;
};

Lasting<PostedStore> postedStore;

PostedStore &posted() noexcept
{
    return postedStore.value;
}

BOOL postRecord(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2)
{
    const PostedMessage *key = posted().add({hwnd, static_cast<USHORT>(msg), mp1, mp2});
    if (PostMessageA(hwnd, kNmPosted, 0, reinterpret_cast<LPARAM>(key)))
        return TRUE;
    posted().take(key);
    return FALSE;
}

/* ---- translation for native windows ---- */

WPARAM nativeCommand(MPARAM mp1, MPARAM mp2) noexcept
{
    USHORT notify = SHORT1FROMMP(mp2) == PM_CMDSRC_ACCELERATOR ? 1 : 0;
    return MAKEWPARAM(SHORT1FROMMP(mp1), notify);
}

LPARAM nativeMousePoint(HWND hwnd, MPARAM mp1) noexcept
{
    RECT wr = {};
    GetWindowRect(hwnd, &wr);
    LONG outer = wr.bottom - wr.top;
    return MAKELPARAM(static_cast<SHORT>(SHORT1FROMMP(mp1)),
                      static_cast<SHORT>(outer - static_cast<SHORT>(SHORT2FROMMP(mp1)) -
                                         kOuterHeightFlip));
}

MRESULT sendNative(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    return reinterpret_cast<MRESULT>(SendMessageA(hwnd, msg, wParam, lParam));
}

MRESULT sendToNative(HWND hwnd, const NativeClass &nc, ULONG msg, MPARAM mp1, MPARAM mp2)
{
    MRESULT result;
    if (OwmHookCtlMessage(hwnd, nc, msg, mp1, mp2, &result))
        return result;
    auto w1 = reinterpret_cast<WPARAM>(mp1), w2 = reinterpret_cast<WPARAM>(mp2);
    auto l1 = reinterpret_cast<LPARAM>(mp1), l2 = reinterpret_cast<LPARAM>(mp2);
    switch (msg) {
    case PM_WM_CREATE:
    case PM_WM_DESTROY:
        return sendNative(hwnd, msg, w1, l2);
    case PM_WM_SETWINDOWPARAMS:
    case PM_WM_QUERYWINDOWPARAMS:
        OwmWindowParams(hwnd, msg, static_cast<PM_WNDPARAMS *>(mp1), false);
        return reinterpret_cast<MRESULT>(1);
    case PM_WM_COMMAND:
        return sendNative(hwnd, WM_COMMAND, nativeCommand(mp1, mp2), 0);
    case PM_WM_SYSCOMMAND:
        return sendNative(hwnd, WM_SYSCOMMAND, SHORT1FROMMP(mp1), 0);
    case PM_WM_PAINT:
        return sendNative(hwnd, WM_PAINT, 0, 0);
    case PM_WM_SETACCELTABLE:
        return sendNative(hwnd, kNmSetAccel, w2, l1);
    case PM_WM_QUERYACCELTABLE:
        return sendNative(hwnd, kNmQueryAccel, w2, l1);
    case PM_WM_TRANSLATEACCEL:
        return sendNative(hwnd, kNmTranslateAccel, w2, l1);
    case PM_WM_CHAR:
        return OwmSendPMCharToNative(hwnd, mp1, mp2);
    case kPmButtonClick:
        return nullptr;
    case kNmHelp:
        return sendNative(hwnd, msg, w1, l2);
    }
    if (msg >= PM_WM_MOUSEMOVE && msg <= PM_WM_BUTTON3DBLCLK)
        return sendNative(hwnd, WM_MOUSEMOVE + (msg - PM_WM_MOUSEMOVE), 0,
                          nativeMousePoint(hwnd, mp1));
    if (msg >= WM_USER)
        return sendNative(hwnd, msg, w1, l2);
    return nullptr;
}

MRESULT sendMessage(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2)
{
    MRESULT result;
    if (OwmHookDlgMessage(hwnd, msg, mp1, mp2, &result))
        return result;
    if (const OWMWND *rec = OwmRememberedWndRec(hwnd))
        return OwmCallPM(hwnd, *rec, static_cast<USHORT>(msg & 0xFFFF), mp1, mp2);
    NativeClass nc;
    if (!OwmNativeClass(hwnd, &nc))
        return nullptr;             // not a window
    if (const OWMWND *rec = nc.maybePM ? OwmQueryWndRec(hwnd) : nullptr)
        return OwmCallPM(hwnd, *rec, static_cast<USHORT>(msg & 0xFFFF), mp1, mp2);
    return sendToNative(hwnd, nc, msg, mp1, mp2);
}

/* The direct children of a window, collected before any of them receives
 * a message (receivers may destroy windows).  Without memory the list
 * ends where it ends and the broadcast reaches fewer windows. */
std::vector<HWND> childrenOf(HWND hwnd) noexcept
{
    std::vector<HWND> list;
    try {
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            list.push_back(c);
    } catch (const std::bad_alloc &) {
    }
    return list;
}

void deliver(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, ULONG fl) noexcept
{
    if (fl & PM_BMSG_SEND)
        WinSendMsg(hwnd, msg, mp1, mp2);
    else
        WinPostMsg(hwnd, msg, mp1, mp2);
}

void broadcast(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, ULONG fl, bool self) noexcept
{
    if (self)
        deliver(hwnd, msg, mp1, mp2, fl);
    for (HWND child : childrenOf(hwnd)) {
        if (!IsWindow(child))
            continue;
        if (fl & PM_BMSG_DESCENDANTS)
            broadcast(child, msg, mp1, mp2, fl, true);
        else
            deliver(child, msg, mp1, mp2, fl);
    }
}

}  // namespace

void OwmPostedDeliver(LPARAM lParam)
{
    std::optional<PostedMessage> m = posted().take(reinterpret_cast<const void *>(lParam));
    if (m && IsWindow(m->hwnd))
        WinSendMsg(m->hwnd, m->msg, m->mp1, m->mp2);
}

bool OwmPostedTake(LPARAM lParam, HWND *hwnd, USHORT *msg, MPARAM *mp1, MPARAM *mp2) noexcept
{
    std::optional<PostedMessage> m = posted().take(reinterpret_cast<const void *>(lParam));
    if (!m)
        return false;
    *hwnd = m->hwnd;
    *msg = m->msg;
    *mp1 = m->mp1;
    *mp2 = m->mp2;
    return true;
}

void OwmPostedForget(HWND hwnd) noexcept
{
    posted().forget(hwnd);
}

void OwmPostedFreeAll() noexcept
{
    posted().clear();
}

/* ---- window parameters (text and control data) ---- */

void OwmWindowParams(HWND hwnd, ULONG msg, PM_WNDPARAMS *wp, bool pmWindow) noexcept
{
    if (!wp)
        return;
    OWMWND *rec = pmWindow ? OwmQueryWndRec(hwnd) : nullptr;
    if (msg == PM_WM_SETWINDOWPARAMS) {
        if ((wp->fsStatus & PM_WPM_TEXT) && wp->pszText)
            SetWindowTextA(hwnd, wp->pszText);
        if ((wp->fsStatus & PM_WPM_CTLDATA) && rec)
            rec->pCtlData = wp->pCtlData;
        return;
    }
    if ((wp->fsStatus & PM_WPM_TEXT) && wp->pszText && wp->cchText > 0)
        GetWindowTextA(hwnd, wp->pszText, static_cast<int>(wp->cchText));
    if (wp->fsStatus & PM_WPM_CCHTEXT)
        wp->cchText = static_cast<ULONG>(GetWindowTextLengthA(hwnd));
    if ((wp->fsStatus & PM_WPM_CTLDATA) && rec)
        wp->pCtlData = rec->pCtlData;
}

}  // namespace orin::pm

using namespace orin::pm;

MRESULT ORINAPI WinSendMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    if (!hwnd)
        return nullptr;
    hwnd = OwmMapDesktop(hwnd);
    return orin::guardValue<MRESULT>(nullptr, [&] { return sendMessage(hwnd, msg, mp1, mp2); });
}

BOOL ORINAPI WinPostMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    if (msg == PM_WM_QUIT)
        return OwmPostQuit(mp1);
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (OwmIsPMWindow(hwnd) || OwmIsStdWindow(hwnd) || OwmIsDlgWindowPM(hwnd))
        return orin::guardValue<BOOL>(FALSE, [&] { return postRecord(hwnd, msg, mp1, mp2); });
    if (msg == PM_WM_COMMAND)
        return PostMessageA(hwnd, WM_COMMAND, nativeCommand(mp1, mp2), 0);
    if (msg >= WM_USER && msg <= kUserLastPosted)
        return PostMessageA(hwnd, msg, reinterpret_cast<WPARAM>(mp1),
                            reinterpret_cast<LPARAM>(mp2));
    SetLastError(ORIN_ERR_INVALID_PARAM);
    return FALSE;
}

MRESULT ORINAPI WinSendOwnerMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    HWND owner = WinQueryWindow(hwnd, PM_QW_OWNER);
    return owner ? WinSendMsg(owner, msg, mp1, mp2) : nullptr;
}

BOOL ORINAPI WinBroadcastMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, ULONG fl) noexcept
{
    hwnd = OwmMapDesktop(hwnd);
    if (!OwmIsWindow(hwnd))
        return FALSE;
    broadcast(hwnd, msg, mp1, mp2, fl, (fl & PM_BMSG_DESCENDANTS) != 0);
    return TRUE;
}

MRESULT ORINAPI OwmSendMsgToPoint(ULONG msg, const PM_POINTL *pptl) noexcept
{
    if (!pptl)
        return nullptr;
    POINT pt;
    OwmPMPoint2W3Point(GetDesktopWindow(), pptl, &pt);
    HWND target = WindowFromPoint(pt);
    return target ? WinSendMsg(target, msg, MPFROM2SHORT(pptl->x, pptl->y), nullptr) : nullptr;
}
