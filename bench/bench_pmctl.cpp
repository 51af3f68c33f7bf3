// bench_pmctl.cpp - PM control messages to native controls next to the
// native control messages they become, in the same run.
//
// Each pair sends the same request to the same control: WinSendMsg with
// the PM message (control-kind look-up, table row, native call, result
// shaping) against SendMessageA (or the scroll-bar function) with the
// native one.  Selecting a list item also notifies the owner, so its
// native peer is the selection plus the notification its owner (the
// control's parent) receives.
// Copying an item's text into a buffer of a given size takes two native
// messages (LB_GETTEXT has no size limit, so the length comes first), and
// that pair is the peer of the PM text query.
// Each figure is the best of several rounds, in messages per second; the
// rounds of the two sides alternate.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <type_traits>
#include "win.h"

namespace {

constexpr int kSends = 50000;
constexpr int kRounds = 8;

volatile LONG_PTR sink;

struct PMWindowDestroyer {
    void operator()(HWND hwnd) const noexcept { WinDestroyWindow(hwnd); }
};
using PMWindow = std::unique_ptr<std::remove_pointer_t<HWND>, PMWindowDestroyer>;

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

MRESULT ownerProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == PM_WM_CONTROL) {
        sink = sink + (LONG_PTR)mp1;
        return 0;
    }
    return WinDefWindowProc(hwnd, msg, mp1, mp2);
}

/* One request, sent both ways. */
struct Pair {
    const char *what;
    HWND hwnd;
    ULONG pmMsg;
    MPARAM mp1, mp2;
    UINT nativeMsg;             // 0: the native side is nativeCall
    WPARAM w;
    LPARAM l;
    LONG_PTR (*nativeCall)(HWND hwnd);
};

/* Messages per second of one timed batch. */
double batchRate(const Pair &p, bool pm)
{
    double t0 = now();
    LONG_PTR acc = 0;
    for (int i = 0; i < kSends; i++) {
        if (pm)
            acc += (LONG_PTR)WinSendMsg(p.hwnd, p.pmMsg, p.mp1, p.mp2);
        else if (p.nativeMsg)
            acc += SendMessageA(p.hwnd, p.nativeMsg, p.w, p.l);
        else
            acc += p.nativeCall(p.hwnd);
    }
    sink = sink + acc;
    return kSends / (now() - t0);
}

/* Best rates of both sides; the rounds alternate between them so that a
 * busy moment of the machine weighs on both alike. */
struct Rates {
    double pm = 0, native = 0;
};
Rates bestRates(const Pair &p)
{
    Rates best;
    for (int round = 0; round < kRounds; round++) {
        best.native = std::max(best.native, batchRate(p, false));
        best.pm = std::max(best.pm, batchRate(p, true));
    }
    return best;
}

LONG_PTR nativeSelectAndNotify(HWND lb)
{
    LRESULT r = SendMessageA(lb, LB_SETCURSEL, 1, 0);
    HWND owner = GetParent(lb);     // a native control's owner is its parent
    WinSendMsg(owner, PM_WM_CONTROL, MPFROM2SHORT(GetDlgCtrlID(lb), PM_LN_SELECT), lb);
    return r;
}

static char text[64];

LONG_PTR nativeBoundedItemText(HWND lb)
{
    LRESULT length = SendMessageA(lb, LB_GETTEXTLEN, 2, 0);
    if (length < 0 || length >= (LRESULT)sizeof text)
        return 0;
    return SendMessageA(lb, LB_GETTEXT, 2, (LPARAM)text);
}

LONG_PTR nativeScrollPos(HWND sb)
{
    return GetScrollPos(sb, SB_CTL);
}

}  // namespace

int main()
{
    HAB hab = WinInitialize(0);
    if (!WinRegisterClass(hab, "BenchCtlOwner", ownerProc, 0, 0)) {
        printf("cannot register the owner class\n");
        return 1;
    }
    PMWindow owner(WinCreateWindow(NULL, "BenchCtlOwner", "", 0, 0, 0, 400, 300, NULL, NULL, 0,
                                   NULL, NULL));
    if (!owner) {
        printf("cannot create the owner\n");
        return 1;
    }
    auto control = [&](const char *cls, ULONG style, ULONG id) {
        return WinCreateWindow(owner.get(), cls, "", style, 0, 0, 150, 100, owner.get(), NULL,
                               id, NULL, NULL);
    };
    HWND lb = control("LISTBOX", 0, 1);
    HWND cb = control("COMBOBOX", 4, 2);
    HWND mle = control("MLE", 0, 3);
    HWND btn = control("BUTTON", 1, 4);
    HWND sb = control("SCROLLBAR", 1, 5);
    if (!lb || !cb || !mle || !btn || !sb) {
        printf("cannot create the controls\n");
        return 1;
    }
    for (const char *s : {"alpha", "beta", "gamma", "delta"}) {
        SendMessageA(lb, LB_ADDSTRING, 0, (LPARAM)s);
        SendMessageA(cb, CB_ADDSTRING, 0, (LPARAM)s);
    }
    SetWindowTextA(mle, "first line\r\nsecond line\r\nthird");
    SetScrollRange(sb, SB_CTL, 0, 100, FALSE);
    SetScrollPos(sb, SB_CTL, 40, FALSE);
    const Pair pairs[] = {
        {"list item count", lb, PM_LM_QUERYITEMCOUNT, 0, 0, LB_GETCOUNT, 0, 0, nullptr},
        {"combo item count", cb, PM_LM_QUERYITEMCOUNT, 0, 0, CB_GETCOUNT, 0, 0, nullptr},
        {"list item text", lb, PM_LM_QUERYITEMTEXT, MPFROM2SHORT(2, sizeof text), text, 0, 0, 0,
         nativeBoundedItemText},
        {"list item text length", lb, PM_LM_QUERYITEMTEXTLENGTH, MPFROM2SHORT(1, 0), 0,
         LB_GETTEXTLEN, 1, 0, nullptr},
        {"list select + notify", lb, PM_LM_SELECTITEM, MPFROM2SHORT(1, 0), (MPARAM)TRUE, 0, 0, 0,
         nativeSelectAndNotify},
        {"MLE line from char", mle, PM_MLM_LINEFROMCHAR, MPFROMLONG(15), 0, EM_LINEFROMCHAR, 15,
         0, nullptr},
        {"MLE selection", mle, PM_MLM_QUERYSEL, MPFROMLONG(PM_MLFQS_MINMAXSEL), 0, EM_GETSEL, 0,
         0, nullptr},
        {"button check", btn, PM_BM_QUERYCHECK, 0, 0, BM_GETCHECK, 0, 0, nullptr},
        {"scroll-bar position", sb, PM_SBM_QUERYPOS, 0, 0, 0, 0, 0, nativeScrollPos},
    };
    printf("%-24s %14s %14s %10s\n", "request", "PM msg/s", "native msg/s", "native/PM");
    for (const Pair &p : pairs) {
        Rates r = bestRates(p);
        printf("%-24s %14.0f %14.0f %10.2f\n", p.what, r.pm, r.native, r.native / r.pm);
    }
    printf("(target: PM within 1.5x of native, i.e. native/PM <= 1.50)\n");
    owner.reset();
    WinTerminate(hab);
    return (int)(sink & 0);
}
