// PM windows on native windows: class registration, creation and the
// WM_CREATE record, style translation for the native controls, coordinate
// conversion, window words, relations and positions.
#include <algorithm>
#include <cstddef>
#include <string>
#include "pmtest.h"

using namespace pmtest;

namespace {

constexpr ULONG NATIVE_BS_MASK = 0xF;

class PMWindow : public PMWindowTest {};

MRESULT quietProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    return WinDefWindowProc(hwnd, msg, mp1, mp2);
}

TEST_F(PMWindow, RegisteringTwiceKeepsOneEntryAndTheTableHoldsAHundred)
{
    // The recorder class is already in the table; "Twice" goes in twice.
    ASSERT_TRUE(WinRegisterClass(hab, "Twice", quietProc, 0, 0));
    ASSERT_TRUE(WinRegisterClass(hab, "Twice", quietProc, 0, 0));
    std::vector<std::string> names;
    int added = 0;
    for (int i = 0; i < 120; i++) {
        std::string name = "Fill" + std::to_string(i);
        if (!WinRegisterClass(hab, name.c_str(), quietProc, 0, 0))
            break;
        names.push_back(name);
        added++;
    }
    EXPECT_EQ(added, 98);       // 100 minus the recorder and "Twice"
    EXPECT_TRUE(WinRegisterClass(hab, "Twice", quietProc, 0, 0));   // present: still TRUE
    for (const std::string &n : names)
        EXPECT_TRUE(WinUnRegisterClass(hab, n.c_str()));
    EXPECT_TRUE(WinUnRegisterClass(hab, "Twice"));
    EXPECT_FALSE(WinUnRegisterClass(hab, "Twice"));
    // after removal the freed slots can be used again
    EXPECT_TRUE(WinRegisterClass(hab, "Again", quietProc, 0, 0));
    EXPECT_TRUE(WinUnRegisterClass(hab, "Again"));
    EXPECT_FALSE(WinRegisterClass(hab, NULL, quietProc, 0, 0));
}

TEST_F(PMWindow, CreateSendsTheCreationRecord)
{
    static PM_CREATESTRUCT seen;
    static std::string text, cls;
    static ULONG_PTR mp1;
    int ctlData = 7;
    HWND owner = child(RECORDER, 0, 1);
    replies()[PM_WM_CREATE] = [](HWND, MPARAM m1, MPARAM m2) -> MRESULT {
        seen = *(PM_CREATESTRUCT *)m2;
        text = seen.pszText;
        cls = seen.pszClass;
        mp1 = (ULONG_PTR)m1;
        return 0;
    };
    HWND w = WinCreateWindow(top, RECORDER, "title", PM_WS_VISIBLE | 0x4, 5, 7, 30, 20,
                             owner, PM_HWND_TOP, 42, &ctlData, NULL);
    ASSERT_NE(w, (HWND)NULL);
    EXPECT_EQ(mp1, (ULONG_PTR)&ctlData);
    EXPECT_EQ(seen.pCtlData, &ctlData);
    EXPECT_EQ(seen.pPresParams, nullptr);
    EXPECT_EQ(seen.id, 42u);
    EXPECT_EQ(seen.hwndOwner, owner);
    EXPECT_EQ(seen.hwndParent, top);
    EXPECT_EQ(seen.cx, 30);
    EXPECT_EQ(seen.cy, 20);
    EXPECT_EQ(seen.x, 5);
    EXPECT_EQ(seen.y, 8);           // measured one above the PM y of 7
    EXPECT_EQ(seen.flStyle, PM_WS_VISIBLE | 0x4);
    EXPECT_EQ(text, "title");
    EXPECT_EQ(cls, RECORDER);
    // the native window sits where the PM y puts it: bottom edge 7 above the
    // bottom of the parent's client area
    RECT rc;
    GetWindowRect(w, &rc);
    MapWindowPoints(NULL, top, (POINT *)&rc, 2);
    EXPECT_EQ(rc.bottom, clientHeight(top) - 7);
    EXPECT_EQ(GetDlgCtrlID(w), 42);
    EXPECT_EQ(WinQueryWindow(w, PM_QW_OWNER), owner);
    EXPECT_EQ(WinQueryWindowULong(w, PM_QWL_STYLE) & 0x4, 0x4u);   // PM-only bit kept
}

TEST_F(PMWindow, NonZeroCreateReplyAbortsTheCreation)
{
    replies()[PM_WM_CREATE] = [](HWND, MPARAM, MPARAM) -> MRESULT { return (MRESULT)1; };
    EXPECT_EQ(child(RECORDER, 0, 3), (HWND)NULL);
    EXPECT_TRUE(received(PM_WM_DESTROY).empty());
    replies().clear();
    HWND ok = child(RECORDER, 0, 3);
    ASSERT_NE(ok, (HWND)NULL);
    WinDestroyWindow(ok);
    EXPECT_EQ(received(PM_WM_DESTROY, ok).size(), 1u);
    EXPECT_FALSE(OwmIsPMWindow(ok));
}

TEST_F(PMWindow, NativelyCreatedPMWindowRebuildsItsStyle)
{
    HWND w = CreateWindowExA(0, RECORDER, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10, 10,
                             top, (HMENU)5, (HINSTANCE)hab, NULL);
    ASSERT_NE(w, (HWND)NULL);
    EXPECT_TRUE(OwmIsPMWindow(w));
    ULONG style = (ULONG)WinQueryWindowULong(w, PM_QWL_STYLE);
    EXPECT_EQ(style & (PM_WS_VISIBLE | PM_WS_TABSTOP | PM_WS_GROUP | PM_WS_DISABLED),
              PM_WS_VISIBLE | PM_WS_TABSTOP);
    EXPECT_EQ(WinQueryWindow(w, PM_QW_OWNER), top);
    EXPECT_EQ(WinQueryWindow(w, PM_QW_PARENT), top);
    // a plain native window is not a PM window
    HWND btn = child("BUTTON", 0, 6);
    EXPECT_FALSE(OwmIsPMWindow(btn));
    EXPECT_FALSE(OwmIsPMWindow(NULL));
}

ULONG nativeStyle(HWND w)
{
    return (ULONG)GetWindowLongA(w, GWL_STYLE);
}

TEST_F(PMWindow, ButtonStylesFollowThePMKind)
{
    const struct { ULONG pm; ULONG native; } cases[] = {
        {0, BS_PUSHBUTTON}, {0x400, BS_DEFPUSHBUTTON}, {1, BS_CHECKBOX},
        {2, BS_AUTOCHECKBOX}, {3, BS_RADIOBUTTON}, {4, BS_AUTORADIOBUTTON},
        {5, BS_3STATE}, {6, BS_AUTO3STATE}, {7, BS_OWNERDRAW},
    };
    for (const auto &c : cases) {
        HWND b = child("BUTTON", c.pm, 10);
        ASSERT_NE(b, (HWND)NULL);
        EXPECT_EQ(nativeStyle(b) & NATIVE_BS_MASK, c.native) << "PM kind " << c.pm;
        // the style word gives the PM kind back
        EXPECT_EQ(WinQueryWindowULong(b, PM_QWL_STYLE) & 0x407, c.pm) << "PM kind " << c.pm;
        EXPECT_EQ(OwmQueryControlKind(b), OWM_CTL_BUTTON);
        WinDestroyWindow(b);
    }
}

TEST_F(PMWindow, GeneralBitsAndParentKinds)
{
    HWND b = child("BUTTON", PM_WS_VISIBLE | PM_WS_DISABLED | PM_WS_TABSTOP | PM_WS_GROUP |
                   PM_WS_CLIPCHILDREN, 11);
    ULONG s = nativeStyle(b);
    EXPECT_EQ(s & (WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE | WS_DISABLED | WS_TABSTOP |
                   WS_GROUP | WS_CLIPCHILDREN | WS_POPUP),
              (ULONG)(WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE | WS_DISABLED | WS_TABSTOP |
                      WS_GROUP | WS_CLIPCHILDREN));
    // desktop parent with an owner: a popup owned by the owner
    HWND pop = WinCreateWindow(PM_HWND_DESKTOP, RECORDER, "", 0, 0, 0, 10, 10, top, NULL, 0,
                               NULL, NULL);
    ASSERT_NE(pop, (HWND)NULL);
    EXPECT_TRUE(nativeStyle(pop) & WS_POPUP);
    EXPECT_FALSE(nativeStyle(pop) & WS_CHILD);
    EXPECT_EQ(GetWindow(pop, GW_OWNER), top);
    EXPECT_EQ(WinQueryWindow(pop, PM_QW_FRAMEOWNER), top);
    WinDestroyWindow(pop);
}

TEST_F(PMWindow, EntryFieldAndMultiLineEditStyles)
{
    HWND e = child("EDIT", 0x1 | 0x4 | 0x8 | 0x40, 12);
    ULONG s = nativeStyle(e);
    EXPECT_TRUE(s & ES_CENTER);
    EXPECT_TRUE(s & ES_AUTOHSCROLL);
    // (edit controls take the border bit out of their style and draw it)
    EXPECT_TRUE(s & ES_PASSWORD);
    EXPECT_FALSE(s & ES_MULTILINE);
    EXPECT_EQ(OwmQueryControlKind(e), OWM_CTL_ENTRY);
    HWND r = child("EDIT", 0x2, 13);
    EXPECT_TRUE(nativeStyle(r) & ES_RIGHT);

    HWND m = child("MLE", 0x2 | 0x4 | 0x8, 14);
    ASSERT_NE(m, (HWND)NULL);
    char cls[32] = "";
    GetClassNameA(m, cls, sizeof cls);
    EXPECT_STREQ(_strupr(cls), "EDIT");
    s = nativeStyle(m);
    EXPECT_TRUE(s & ES_MULTILINE);
    EXPECT_EQ(s & (WS_VSCROLL | ES_AUTOVSCROLL | WS_HSCROLL | ES_AUTOHSCROLL),
              (ULONG)(WS_VSCROLL | ES_AUTOVSCROLL | WS_HSCROLL | ES_AUTOHSCROLL));
    EXPECT_EQ(OwmQueryControlKind(m), OWM_CTL_MLE);
    // the multi-line edit has no text limit left
    EXPECT_GT((ULONG)SendMessageA(m, EM_GETLIMITTEXT, 0, 0), 0x10000u);
    HWND plain = child("MLE", 0, 15);
    EXPECT_FALSE(nativeStyle(plain) & (WS_VSCROLL | WS_HSCROLL));
}

TEST_F(PMWindow, ComboListAndScrollBarStyles)
{
    const struct { ULONG pm; ULONG kind; } combos[] = {
        {1, CBS_SIMPLE}, {2, CBS_DROPDOWN}, {4, CBS_DROPDOWNLIST},
    };
    for (const auto &c : combos) {
        HWND cb = child("COMBOBOX", c.pm, 20);
        ASSERT_NE(cb, (HWND)NULL);
        EXPECT_EQ(nativeStyle(cb) & 3, c.kind);
        EXPECT_EQ(WinQueryWindowULong(cb, PM_QWL_STYLE) & 7, c.pm);
        EXPECT_EQ(OwmQueryControlKind(cb), OWM_CTL_COMBOBOX);
        WinDestroyWindow(cb);
    }
    HWND sorted = child("COMBOBOX", 2 | 0x10 | 0x40, 21);
    EXPECT_EQ(nativeStyle(sorted) & 0x250u, 0x250u);

    HWND lb = child("LISTBOX", 0, 22);
    ULONG s = nativeStyle(lb);
    EXPECT_EQ(s & 0x801001u, 0x801001u);
    EXPECT_TRUE(s & WS_VSCROLL);
    EXPECT_FALSE(s & (LBS_MULTIPLESEL | WS_HSCROLL));
    EXPECT_TRUE(GetWindowLongA(lb, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    HWND multi = child("LISTBOX", 0x1 | 0x2 | 0x8 | 0x10, 23);
    s = nativeStyle(multi);
    EXPECT_TRUE(s & LBS_MULTIPLESEL);
    EXPECT_EQ(s & 0x50u, 0x50u);
    EXPECT_TRUE(s & WS_HSCROLL);
    EXPECT_EQ(WinQueryWindowULong(multi, PM_QWL_STYLE) & 0x1, 0x1u);

    HWND vert = child("SCROLLBAR", 0x1, 24);
    HWND horz = child("SCROLLBAR", 0, 25);
    EXPECT_EQ(nativeStyle(vert) & SBS_VERT, (ULONG)SBS_VERT);
    EXPECT_EQ(nativeStyle(horz) & SBS_VERT, 0u);
}

TEST_F(PMWindow, CoordinatesFlipAgainstTheClientHeight)
{
    HWND w = child(RECORDER, PM_WS_VISIBLE, 30, 0, 0, 50, 100);
    ASSERT_EQ(clientHeight(w), 100);
    PM_POINTL ptl = {3, 0};
    POINT pt;
    OwmPMPoint2W3Point(w, &ptl, &pt);
    EXPECT_EQ(pt.x, 3);
    EXPECT_EQ(pt.y, 99);
    PM_POINTL back;
    OwmW3Point2PMPoint(w, &pt, &back);
    EXPECT_EQ(back.x, 3);
    EXPECT_EQ(back.y, 0);

    PM_RECTL prc = {0, 0, 9, 9};
    RECT rc;
    OwmPMRect2W3Rectl(w, &prc, &rc);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 90);
    EXPECT_EQ(rc.right, 10);
    EXPECT_EQ(rc.bottom, 100);
    PM_RECTL round;
    OwmW3Rect2PMRectl(w, &rc, &round);
    EXPECT_EQ(round.xLeft, 0);
    EXPECT_EQ(round.yBottom, 0);
    EXPECT_EQ(round.xRight, 9);
    EXPECT_EQ(round.yTop, 9);

    // invalidating a PM rectangle marks the flipped native area
    pump();
    ASSERT_TRUE(WinInvalidateRect(w, &prc, FALSE));
    RECT upd;
    ASSERT_TRUE(GetUpdateRect(w, &upd, FALSE));
    EXPECT_EQ(upd.top, 90);
    EXPECT_EQ(upd.bottom, 100);
    PM_RECTL pmUpd;
    ASSERT_TRUE(WinQueryUpdateRect(w, &pmUpd));
    EXPECT_EQ(pmUpd.yBottom, 0);
    EXPECT_EQ(pmUpd.yTop, 9);
    EXPECT_TRUE(WinValidateRect(w, NULL, FALSE));
    EXPECT_FALSE(WinQueryUpdateRect(w, NULL));

    // the whole client area as a PM rectangle
    PM_RECTL all;
    ASSERT_TRUE(WinQueryWindowRect(w, &all));
    EXPECT_EQ(all.xRight, 49);
    EXPECT_EQ(all.yTop, 99);
    EXPECT_EQ(all.yBottom, 0);
}

TEST_F(PMWindow, MapWindowPointsBetweenSiblings)
{
    // two siblings, the second 30 to the right and 40 higher (PM)
    HWND a = child(RECORDER, PM_WS_VISIBLE, 31, 10, 10, 50, 100);
    HWND b = child(RECORDER, PM_WS_VISIBLE, 32, 40, 50, 50, 100);
    PM_POINTL pts[2] = {{30, 40}, {0, 0}};
    ASSERT_TRUE(WinMapWindowPoints(a, b, pts, 2));
    EXPECT_EQ(pts[0].x, 0);
    EXPECT_EQ(pts[0].y, 0);
    EXPECT_EQ(pts[1].x, -30);
    EXPECT_EQ(pts[1].y, -40);
}

TEST_F(PMWindow, WindowWordsByIndex)
{
    HWND w = child(RECORDER, 0, 33);      // 32 bytes of window data
    HWND other = child(RECORDER, 0, 34);
    EXPECT_TRUE(WinSetWindowULong(w, 0, 0x1122334455667788ULL));
    EXPECT_TRUE(WinSetWindowULong(w, 24, 0xAABBCCDDULL));
    EXPECT_TRUE(WinSetWindowUShort(w, 10, 0xBEEF));
    EXPECT_EQ(WinQueryWindowULong(w, 0), 0x1122334455667788ULL);
    EXPECT_EQ(WinQueryWindowUShort(w, 0), 0x7788);
    EXPECT_EQ(WinQueryWindowUShort(w, 10), 0xBEEF);
    EXPECT_EQ(WinQueryWindowULong(w, 24), 0xAABBCCDDULL);
    EXPECT_EQ(WinQueryWindowULong(w, 25), 0u);          // beyond cbWindowData - 8
    EXPECT_FALSE(WinSetWindowULong(w, 25, 1));
    EXPECT_FALSE(WinSetWindowUShort(w, 31, 1));
    EXPECT_EQ(WinQueryWindowULong(w, -4), 0u);
    EXPECT_EQ(WinQueryWindowULong(w, 0x7FFFFFFF), 0u);
    EXPECT_FALSE(WinSetWindowULong(w, 0x7FFFFFFC, 1));
    EXPECT_EQ(WinQueryWindowUShort(w, 0x7FFFFFFF), 0);
    EXPECT_EQ(WinQueryWindowULong(other, 0), 0u);       // zero-filled, not shared
    EXPECT_EQ(WinQueryWindowULong(w, PM_QWP_PFNWP), (ULONG_PTR)recordingProc);
    EXPECT_EQ(WinQueryWindowULong(NULL, 0), 0u);

    // the style word follows the native visibility and keeps PM-only bits
    ASSERT_TRUE(WinSetWindowULong(w, PM_QWL_STYLE, PM_WS_VISIBLE | 0x10));
    EXPECT_TRUE(IsWindowVisible(w));
    WinShowWindow(w, FALSE);
    EXPECT_EQ(WinQueryWindowULong(w, PM_QWL_STYLE), 0x10u);
}

TEST_F(PMWindow, RelationsIncludingTheFrameOwner)
{
    HWND c1 = child(RECORDER, 0, 40), c2 = child(RECORDER, 0, 41), c3 = child(RECORDER, 0, 42);
    HWND topChild = WinQueryWindow(top, PM_QW_TOP);
    HWND bottomChild = WinQueryWindow(top, PM_QW_BOTTOM);
    EXPECT_EQ(topChild, GetWindow(top, GW_CHILD));
    EXPECT_EQ(WinQueryWindow(topChild, PM_QW_PREV), (HWND)NULL);
    EXPECT_EQ(WinQueryWindow(bottomChild, PM_QW_NEXT), (HWND)NULL);
    HWND middle = WinQueryWindow(topChild, PM_QW_NEXT);
    EXPECT_EQ(WinQueryWindow(middle, PM_QW_NEXT), bottomChild);
    EXPECT_EQ(WinQueryWindow(bottomChild, PM_QW_PREV), middle);
    std::vector<HWND> got = {topChild, middle, bottomChild}, made = {c1, c2, c3};
    std::sort(got.begin(), got.end());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(got, made);

    // owner and parent come from the record; WinSetOwner changes the owner
    EXPECT_EQ(WinQueryWindow(c1, PM_QW_PARENT), top);
    EXPECT_TRUE(WinSetOwner(c1, c2));
    EXPECT_EQ(WinQueryWindow(c1, PM_QW_OWNER), c2);
    EXPECT_EQ(WinQueryWindow(c1, PM_QW_PARENT), top);
    HWND btn = child("BUTTON", 0, 43, 0, 0, 10, 10, c3);
    EXPECT_EQ(WinQueryWindow(btn, PM_QW_OWNER), c3);
    EXPECT_FALSE(WinSetOwner(btn, c1));

    // frame owner: nearest ancestor that is not a child window
    EXPECT_EQ(WinQueryWindow(btn, PM_QW_FRAMEOWNER), top);
    EXPECT_EQ(WinQueryWindow(c1, PM_QW_FRAMEOWNER), top);
    EXPECT_EQ(WinQueryWindow(top, PM_QW_FRAMEOWNER), (HWND)NULL);
    EXPECT_EQ(WinQueryWindow(NULL, PM_QW_PARENT), (HWND)NULL);
    EXPECT_EQ(WinWindowFromID(top, 41), c2);
}

TEST_F(PMWindow, SetWindowPosAsksTheProcedureAndMovesInPMCoordinates)
{
    static int asked;
    asked = 0;
    HWND w = child(RECORDER, PM_WS_VISIBLE, 50, 0, 0, 20, 20);
    replies()[PM_WM_ADJUSTWINDOWPOS] = [](HWND, MPARAM mp1, MPARAM) -> MRESULT {
        PM_SWP *swp = (PM_SWP *)mp1;
        if (!swp || swp->cx != 30)    // only the call's own request
            return 0;
        asked++;
        swp->cx = 33;                 // the procedure widens the window
        return (MRESULT)1;
    };
    ASSERT_TRUE(WinSetWindowPos(w, NULL, 10, 20, 30, 40, PM_SWP_SIZE | PM_SWP_MOVE));
    EXPECT_EQ(asked, 1);
    RECT rc;
    GetWindowRect(w, &rc);
    MapWindowPoints(NULL, top, (POINT *)&rc, 2);
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.right - rc.left, 33);
    EXPECT_EQ(rc.bottom - rc.top, 40);
    EXPECT_EQ(rc.bottom, clientHeight(top) - 20);

    // no-adjust skips the procedure; move alone keeps the size
    asked = 0;
    ASSERT_TRUE(WinSetWindowPos(w, NULL, 0, 0, 0, 0, PM_SWP_MOVE | PM_SWP_NOADJUST));
    EXPECT_EQ(asked, 0);
    GetWindowRect(w, &rc);
    MapWindowPoints(NULL, top, (POINT *)&rc, 2);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.bottom, clientHeight(top));
    EXPECT_EQ(rc.right - rc.left, 33);

    // hide alone ends the call
    ASSERT_TRUE(WinSetWindowPos(w, NULL, 0, 0, 0, 0, PM_SWP_HIDE));
    EXPECT_FALSE(IsWindowVisible(w));

    PM_SWP swp;
    ASSERT_TRUE(WinQueryWindowPos(w, &swp));
    EXPECT_EQ(swp.cx, 33);
    EXPECT_EQ(swp.cy, 40);
    EXPECT_EQ(swp.fl, 0);
    EXPECT_EQ(swp.hwnd, w);
    EXPECT_EQ(swp.hwndInsertBehind, GetWindow(w, GW_HWNDPREV));
    EXPECT_FALSE(WinQueryWindowPos(NULL, &swp));
}

TEST_F(PMWindow, NativeResizeReachesTheProcedureAsAdjustWindowPos)
{
    HWND w = child(RECORDER, PM_WS_VISIBLE, 51, 0, 0, 20, 20);
    log().clear();
    SetWindowPos(w, NULL, 0, 0, 60, 70, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    auto adj = received(PM_WM_ADJUSTWINDOWPOS, w);
    ASSERT_FALSE(adj.empty());
    auto sizes = received(PM_WM_SIZE, w);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().mp1, (ULONG_PTR)(60 | (70 << 16)));
}

TEST(PMBadHandles, AnswerWithFailureValues)
{
    HWND bogus = (HWND)(ULONG_PTR)0xDEAD0;
    PM_SWP swp;
    PM_POINTL pt = {1, 1};
    PM_QMSG q = {};
    EXPECT_FALSE(OwmIsPMWindow(bogus));
    EXPECT_EQ(WinSendMsg(bogus, PM_WM_USER, 0, 0), (MRESULT)0);
    EXPECT_FALSE(WinPostMsg(bogus, PM_WM_USER, 0, 0));
    EXPECT_FALSE(WinPostMsg(bogus, 0x400, 0, 0));
    EXPECT_EQ(WinQueryWindow(bogus, PM_QW_PARENT), (HWND)NULL);
    EXPECT_EQ(WinQueryWindowULong(bogus, 0), 0u);
    EXPECT_FALSE(WinQueryWindowPos(bogus, &swp));
    EXPECT_FALSE(WinSetWindowPos(NULL, NULL, 0, 0, 1, 1, PM_SWP_SIZE));
    EXPECT_FALSE(WinMapWindowPoints(bogus, NULL, NULL, 1));
    EXPECT_TRUE(WinMapWindowPoints(NULL, NULL, &pt, 0));
    EXPECT_FALSE(WinDestroyWindow(bogus));
    EXPECT_EQ(WinCreateWindow(NULL, NULL, "", 0, 0, 0, 1, 1, NULL, NULL, 0, NULL, NULL), (HWND)NULL);
    EXPECT_EQ(WinCreateWindow(NULL, "NoSuchClassHere", "", 0, 0, 0, 1, 1, NULL, NULL, 0,
                              NULL, NULL), (HWND)NULL);
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_FALSE(WinGetMsg(NULL, NULL));
    EXPECT_FALSE(WinPeekMsg(NULL, NULL, 0, 0, PM_PM_REMOVE));
    EXPECT_EQ(WinDispatchMsg(NULL), (MRESULT)0);
    EXPECT_EQ(WinDispatchMsg(&q), (MRESULT)0);
    EXPECT_EQ(WinDefWindowProc(NULL, PM_WM_PAINT, 0, 0), (MRESULT)0);
    EXPECT_TRUE(WinQueryEnableWindowInput(bogus));
    EXPECT_EQ(OwmQueryControlKind(bogus), OWM_CTL_UNKNOWN);
}

TEST(PMRecords, UseTwoBytePacking)
{
    EXPECT_EQ(sizeof(PM_SWP), 2u + 4 * 4 + 2 * sizeof(HWND));
    EXPECT_EQ(offsetof(PM_QMSG, mp1), sizeof(HWND) + 2);
    EXPECT_EQ(sizeof(PM_RECTL), 16u);
}

} // namespace
