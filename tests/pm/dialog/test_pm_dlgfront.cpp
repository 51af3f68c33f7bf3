// The dialog front end on real dialogs: the accelerator tables (the
// dialog's own and the application's), and keys, scroll bars and
// owner-drawn items reaching the PM dialog procedure the way they reach a
// PM window.  A second thread plays the user, posting keys once the
// modal loop shows the dialog.
#include <atomic>
#include <chrono>
#include <thread>
#include "pm/pmtest.h"
#include "gpi.h"
#include "windlg.h"

using namespace pmtest;

namespace {

constexpr ULONG kPlain = 100;
constexpr ULONG kFrontEnd = 104;
constexpr ULONG kEdit = 201;
constexpr ULONG kScrollBar = 401;
constexpr ULONG kFixedList = 402;
constexpr ULONG kVariableList = 403;
constexpr UINT kOwnCommand = 555, kAppCommand = 777, kAppOnlyCommand = 666;
constexpr USHORT kAskFocus = PM_WM_USER + 7;

HMODULE exe()
{
    return GetModuleHandleA(NULL);
}

struct Key {
    HWND hwnd;          // null: the dialog itself
    UINT msg;
    WPARAM vk;
    LPARAM lParam;
};

LPARAM downParam(BYTE scan) { return 1 | (LPARAM)scan << 16; }
LPARAM upParam(BYTE scan) { return 1 | (LPARAM)scan << 16 | 0xC0000000; }

// Types keys into a dialog once the modal loop has shown it, one message
// at a time as a person would: after each it posts a ping and waits until
// the dialog procedure has seen it, so the loop has handled the key (and
// the character it made) before the next one comes.
constexpr UINT kPing = WM_USER + 8;
std::atomic<int> pings{0};

class User {
public:
    void start(HWND dlg, std::vector<Key> keys)
    {
        thread_ = std::thread([dlg, keys] {
            for (int i = 0; i < 300 && !IsWindowVisible(dlg); i++)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (const Key &k : keys) {
                int before = pings.load();
                PostMessageA(k.hwnd ? k.hwnd : dlg, k.msg, k.vk, k.lParam);
                PostMessageA(dlg, kPing, 0, 0);
                for (int i = 0; i < 200 && pings.load() == before && IsWindowVisible(dlg); i++)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~User()
    {
        if (thread_.joinable())
            thread_.join();
    }
private:
    std::thread thread_;
};

std::vector<Key> press(HWND hwnd, WPARAM vk, BYTE scan)
{
    return {{hwnd, WM_KEYDOWN, vk, downParam(scan)}, {hwnd, WM_KEYUP, vk, upParam(scan)}};
}

void append(std::vector<Key> &to, const std::vector<Key> &keys)
{
    to.insert(to.end(), keys.begin(), keys.end());
}

// The dialog procedure records everything; measure requests are answered
// by a rule the test sets; until the first command the WM_CHARs are kept
// apart (the Escape that ends a loop arrives after it).
std::vector<Msg> dlgLog;
bool commanded = false;
HWND focusWhenAsked = NULL;
std::function<ULONG_PTR(ULONG id, ULONG item)> measure;

// Items the dialog procedure drew: it fills each item red through the
// presentation space it was given and reads a pixel back.
struct DrawnItem {
    ULONG_PTR control;
    PM_OWNERITEM item;
    LONG pelInside;
};
std::vector<DrawnItem> drawnItems;

MRESULT drawn(MPARAM mp1, PM_OWNERITEM *oi)
{
    PM_POINTL lowerLeft = {oi->rclItem.xLeft, oi->rclItem.yBottom};
    PM_POINTL upperRight = {oi->rclItem.xRight, oi->rclItem.yTop};
    GpiSetColor(oi->hps, PM_CLR_RED);
    GpiMove(oi->hps, &lowerLeft);
    GpiBox(oi->hps, PM_DRO_FILL, &upperRight, 0, 0);
    PM_POINTL inside = {oi->rclItem.xLeft + 2, oi->rclItem.yTop - 2};
    drawnItems.push_back({(ULONG_PTR)mp1, *oi, GpiQueryPel(oi->hps, &inside)});
    return (MRESULT)1;
}

MRESULT frontProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == kPing) {
        ++pings;
        return 0;
    }
    if (msg == PM_WM_CHAR && commanded)
        return WinDefDlgProc(hwnd, msg, mp1, mp2);
    dlgLog.push_back({hwnd, msg, (ULONG_PTR)mp1, (ULONG_PTR)mp2});
    if (msg == PM_WM_COMMAND)
        commanded = true;
    if (msg == PM_WM_VSCROLL)
        return 0;
    if (msg == PM_WM_DRAWITEM)
        return drawn(mp1, (PM_OWNERITEM *)mp2);
    if (msg == PM_WM_MEASUREITEM && measure)
        return (MRESULT)measure(LONGFROMMP(mp1), LONGFROMMP(mp2));
    if (msg == kAskFocus) {
        focusWhenAsked = GetFocus();
        return 0;
    }
    return WinDefDlgProc(hwnd, msg, mp1, mp2);
}

std::vector<Msg> dlgReceived(USHORT msg)
{
    std::vector<Msg> out;
    for (const Msg &m : dlgLog)
        if (m.msg == msg)
            out.push_back(m);
    return out;
}

HACCEL table(std::initializer_list<ACCEL> entries)
{
    std::vector<ACCEL> v(entries);
    return CreateAcceleratorTableA(v.data(), (int)v.size());
}

class DlgFrontTest : public PMWindowTest {
protected:
    HACCEL own = NULL, app = NULL;
    void SetUp() override
    {
        PMWindowTest::SetUp();
        dlgLog.clear();
        commanded = false;
        focusWhenAsked = NULL;
        measure = nullptr;
        drawnItems.clear();
        // F5 is in both tables, F6 only in the application's.
        own = table({{FVIRTKEY, VK_F5, kOwnCommand}});
        app = table({{FVIRTKEY, VK_F5, kAppCommand}, {FVIRTKEY, VK_F6, kAppOnlyCommand}});
    }
    void TearDown() override
    {
        WinSetAccelTable(hab, NULL, NULL);
        DestroyAcceleratorTable(own);
        DestroyAcceleratorTable(app);
        PMWindowTest::TearDown();
    }
    HWND load(ULONG id)
    {
        return WinLoadDlg(PM_HWND_DESKTOP, top, frontProc, exe(), id, NULL);
    }
    // Runs the modal loop while the user types keys; the result.
    ULONG runTyping(HWND dlg, std::vector<Key> keys)
    {
        User user;
        user.start(dlg, std::move(keys));
        return WinProcessDlg(dlg);
    }
};

PM_QMSG keyMessage(HWND hwnd, WPARAM vk)
{
    PM_QMSG q = {};
    q.hwnd = hwnd;
    q.msg = PM_WM_CHAR;
    q.native = {hwnd, WM_KEYDOWN, vk, 1, 0, {0, 0}};
    return q;
}

TEST_F(DlgFrontTest, AccelTablesOfTheApplicationFrameAndDialog)
{
    // The application's table belongs to the calling thread.
    EXPECT_EQ(WinQueryAccelTable(hab, NULL), (HACCEL)NULL);
    EXPECT_TRUE(WinSetAccelTable(hab, app, NULL));
    EXPECT_EQ(WinQueryAccelTable(hab, NULL), app);
    HACCEL seenElsewhere = app, setElsewhere = NULL;
    std::thread other([&] {
        seenElsewhere = WinQueryAccelTable(hab, NULL);
        WinSetAccelTable(hab, own, NULL);
        setElsewhere = WinQueryAccelTable(hab, NULL);
    });
    other.join();
    EXPECT_EQ(seenElsewhere, (HACCEL)NULL);
    EXPECT_EQ(setElsewhere, own);
    EXPECT_EQ(WinQueryAccelTable(hab, NULL), app);

    // A standard frame keeps it in its record, where its own key
    // translation finds it.
    ULONG fcf = PM_FCF_TITLEBAR;
    HWND client = NULL;
    HWND frame = WinCreateStdWindow(PM_HWND_DESKTOP, 0, &fcf, RECORDER, "f", 0, NULL, 0, &client);
    ASSERT_NE(frame, (HWND)NULL);
    EXPECT_EQ(WinQueryAccelTable(hab, frame), (HACCEL)NULL);
    HACCEL frameTable = table({{FVIRTKEY, VK_F9, 901}});   // the frame frees it
    EXPECT_TRUE(WinSetAccelTable(hab, frameTable, frame));
    EXPECT_EQ(WinQueryAccelTable(hab, frame), frameTable);
    EXPECT_EQ((HACCEL)SendMessageA(frame, OWM_NM_QUERYFRAMEACCEL, 0, 0), frameTable);
    PM_QMSG q = keyMessage(client, VK_F9);
    log().clear();
    EXPECT_EQ(SendMessageA(frame, OWM_NM_TRANSLATEFRAMEACCEL, 0, (LPARAM)&q), 1);
    ASSERT_EQ(received(PM_WM_COMMAND, client).size(), 1u);
    EXPECT_EQ(received(PM_WM_COMMAND, client)[0].mp1, 901u);
    EXPECT_EQ(WinQueryAccelTable(hab, NULL), app);      // untouched by the frame's
    WinDestroyWindow(frame);

    // A dialog keeps it in dialog word 16.
    HWND dlg = load(kPlain);
    ASSERT_NE(dlg, (HWND)NULL);
    EXPECT_TRUE(WinSetAccelTable(hab, own, dlg));
    EXPECT_EQ(WinQueryAccelTable(hab, dlg), own);
    EXPECT_EQ(WinQueryWindowULong(dlg, 16), (ULONG_PTR)own);
    WinDestroyWindow(dlg);

    // Windows that keep no table.
    SetLastError(0);
    EXPECT_FALSE(WinSetAccelTable(hab, own, top));
    EXPECT_EQ(GetLastError(), (DWORD)ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(WinQueryAccelTable(hab, top), (HACCEL)NULL);
    SetLastError(0);
    EXPECT_FALSE(WinSetAccelTable(hab, own, (HWND)0x1234));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(WinQueryAccelTable(hab, dlg), (HACCEL)NULL);   // destroyed
}

TEST_F(DlgFrontTest, TranslateAccelTriesTheDialogsTableFirst)
{
    HWND dlg = load(kPlain);
    ASSERT_NE(dlg, (HWND)NULL);
    ASSERT_TRUE(WinSetAccelTable(hab, own, dlg));
    PM_QMSG f5 = keyMessage(dlg, VK_F5), f6 = keyMessage(dlg, VK_F6), f7 = keyMessage(dlg, VK_F7);
    // Without an application table only the dialog's works.
    EXPECT_EQ(WinSendMsg(dlg, PM_WM_TRANSLATEACCEL, &f6, NULL), (MRESULT)NULL);
    ASSERT_TRUE(WinSetAccelTable(hab, app, NULL));
    struct Case { PM_QMSG *q; ULONG_PTR result; ULONG_PTR command; } cases[] = {
        {&f5, 1, kOwnCommand},          // both have it: the dialog's wins
        {&f6, 1, kAppOnlyCommand},      // only the application's
        {&f7, 0, 0},                    // neither
    };
    for (const Case &c : cases) {
        dlgLog.clear();
        EXPECT_EQ((ULONG_PTR)WinSendMsg(dlg, PM_WM_TRANSLATEACCEL, c.q, NULL), c.result);
        auto cmds = dlgReceived(PM_WM_COMMAND);
        ASSERT_EQ(cmds.size(), c.command ? 1u : 0u);
        if (c.command) {
            EXPECT_EQ(cmds[0].mp1, c.command);
            EXPECT_EQ(cmds[0].mp2, (ULONG_PTR)MPFROM2SHORT(PM_CMDSRC_ACCELERATOR, 1));
        }
    }
    // The dialog's table gone, F5 falls through to the application's.
    WinSetAccelTable(hab, NULL, dlg);
    dlgLog.clear();
    EXPECT_EQ(WinSendMsg(dlg, PM_WM_TRANSLATEACCEL, &f5, NULL), (MRESULT)1);
    ASSERT_EQ(dlgReceived(PM_WM_COMMAND).size(), 1u);
    EXPECT_EQ(dlgReceived(PM_WM_COMMAND)[0].mp1, (ULONG_PTR)kAppCommand);
    WinDestroyWindow(dlg);
}

TEST_F(DlgFrontTest, TypedKeysMeetBothTablesInTheModalLoop)
{
    ASSERT_TRUE(WinSetAccelTable(hab, app, NULL));
    // A key only the application knows ends the dialog with its command.
    HWND dlg = load(kPlain);
    ASSERT_NE(dlg, (HWND)NULL);
    ASSERT_TRUE(WinSetAccelTable(hab, own, dlg));
    HWND edit = WinWindowFromID(dlg, kEdit);
    EXPECT_EQ(runTyping(dlg, press(edit, VK_F6, 0x40)), kAppOnlyCommand);
    WinDestroyWindow(dlg);
    // A key both know ends it with the dialog's.
    dlg = load(kPlain);
    ASSERT_NE(dlg, (HWND)NULL);
    ASSERT_TRUE(WinSetAccelTable(hab, own, dlg));
    commanded = false;
    EXPECT_EQ(runTyping(dlg, press(WinWindowFromID(dlg, kEdit), VK_F5, 0x3F)), kOwnCommand);
    WinDestroyWindow(dlg);
}

TEST_F(DlgFrontTest, TabStillMovesTheFocusAndReachesNoProcedure)
{
    HWND dlg = load(kPlain);
    ASSERT_NE(dlg, (HWND)NULL);
    HWND edit = WinWindowFromID(dlg, kEdit);
    std::vector<Key> keys = press(edit, VK_TAB, 0x0F);
    keys.push_back({dlg, kAskFocus, 0, 0});
    append(keys, press(WinWindowFromID(dlg, PM_DID_OK), VK_ESCAPE, 0x01));
    EXPECT_EQ(runTyping(dlg, keys), (ULONG)PM_DID_CANCEL);
    EXPECT_EQ(focusWhenAsked, WinWindowFromID(dlg, PM_DID_OK));
    EXPECT_TRUE(dlgReceived(PM_WM_CHAR).empty());
    WinDestroyWindow(dlg);
}

// What the PM key translation makes of a key typed without shift state:
// mp1 = flags | repeat << 16 | scan << 24, mp2 = character | PM key << 16.
// The key-down carries the character the key types; a numeric-pad key
// names its character on the key-up too.
struct Typed {
    WPARAM vk;
    BYTE scan;
    USHORT ch;
    USHORT pmKey;
    bool pad;
};
struct CharModel {
    ULONG_PTR mp1, mp2;
};
CharModel modelChar(const Typed &t, bool up)
{
    USHORT ch = up && !t.pad ? 0 : t.ch;
    USHORT flags = (up ? PM_KC_KEYUP : 0) | (ch ? PM_KC_CHAR : 0) |
                   (t.pmKey ? PM_KC_VIRTUALKEY : 0);
    return {(ULONG_PTR)(flags | 1u << 16 | (ULONG)t.scan << 24),
            (ULONG_PTR)(ch | (ULONG)t.pmKey << 16)};
}

TEST_F(DlgFrontTest, KeysReachTheDialogProcedureAsTheyReachAWindow)
{
    const Typed typed[] = {
        {'A', 0x1E, 'a', 0, false}, {VK_F3, 0x3D, 0, 0x22, false},
        {VK_NUMPAD5, 0x4C, '5', 0, true}, {VK_DELETE, 0x53, 0, PM_VK_DELETE, false},
    };
    std::vector<CharModel> expected;
    for (const Typed &t : typed) {
        expected.push_back(modelChar(t, false));
        expected.push_back(modelChar(t, true));
    }
    // The same keys typed into a PM window through the PM message loop ...
    log().clear();
    for (const Typed &t : typed)
        for (const Key &k : press(top, t.vk, t.scan)) {
            PostMessageA(k.hwnd, k.msg, k.vk, k.lParam);
            pump();
        }
    auto window = received(PM_WM_CHAR, top);
    // ... and into a dialog whose procedure has nothing to do with them.
    HWND dlg = load(kFrontEnd);
    ASSERT_NE(dlg, (HWND)NULL);
    std::vector<Key> keys;
    for (const Typed &t : typed)
        append(keys, press(NULL, t.vk, t.scan));
    append(keys, press(NULL, VK_ESCAPE, 0x01));
    EXPECT_EQ(runTyping(dlg, keys), (ULONG)PM_DID_CANCEL);
    auto inDialog = dlgReceived(PM_WM_CHAR);

    ASSERT_EQ(window.size(), expected.size());
    ASSERT_EQ(inDialog.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(window[i].mp1, expected[i].mp1);
        EXPECT_EQ(window[i].mp2, expected[i].mp2);
        EXPECT_EQ(inDialog[i].mp1, window[i].mp1);
        EXPECT_EQ(inDialog[i].mp2, window[i].mp2);
        EXPECT_EQ(inDialog[i].hwnd, dlg);
    }
    WinDestroyWindow(dlg);
}

TEST_F(DlgFrontTest, ScrollBarNotificationsCarryIdPositionAndCommand)
{
    HWND dlg = load(kFrontEnd);
    ASSERT_NE(dlg, (HWND)NULL);
    HWND bar = WinWindowFromID(dlg, kScrollBar);
    ASSERT_NE(bar, (HWND)NULL);
    SendMessageA(bar, SBM_SETRANGE, 0, 100);
    SendMessageA(bar, SBM_SETPOS, 40, FALSE);
    // The user presses the down arrow on the bar, then Escape.
    std::vector<Key> keys = press(bar, VK_DOWN, 0x50);
    append(keys, press(NULL, VK_ESCAPE, 0x01));
    EXPECT_EQ(runTyping(dlg, keys), (ULONG)PM_DID_CANCEL);
    auto scrolls = dlgReceived(PM_WM_VSCROLL);
    ASSERT_GE(scrolls.size(), 1u);
    EXPECT_EQ(scrolls[0].mp1, (ULONG_PTR)kScrollBar);
    EXPECT_EQ(scrolls[0].mp2, (ULONG_PTR)MPFROM2SHORT(0, PM_SB_LINEDOWN));
    EXPECT_TRUE(dlgReceived(PM_WM_CHAR).empty());     // the bar took the key

    // A dragged thumb reports where it is; the native "top" has no PM
    // command and stays with the dialog manager.
    struct { WORD code; WORD pos; ULONG_PTR mp2; LRESULT handled; } cases[] = {
        {SB_THUMBPOSITION, 37, (ULONG_PTR)MPFROM2SHORT(37, PM_SB_SLIDERPOSITION), TRUE},
        {SB_THUMBTRACK, 52, (ULONG_PTR)MPFROM2SHORT(52, PM_SB_SLIDERTRACK), TRUE},
        {SB_PAGEUP, 0, (ULONG_PTR)MPFROM2SHORT(0, PM_SB_PAGEUP), TRUE},
        {SB_ENDSCROLL, 0, (ULONG_PTR)MPFROM2SHORT(0, PM_SB_ENDSCROLL), TRUE},
        {SB_TOP, 0, 0, FALSE},
    };
    for (auto &c : cases) {
        dlgLog.clear();
        EXPECT_EQ(CallWindowProcA((WNDPROC)OwmFrontendDlgProc, dlg, WM_VSCROLL,
                                  MAKEWPARAM(c.code, c.pos), (LPARAM)bar), c.handled);
        auto got = dlgReceived(PM_WM_VSCROLL);
        ASSERT_EQ(got.size(), c.handled ? 1u : 0u) << c.code;
        if (c.handled) {
            EXPECT_EQ(got[0].mp1, (ULONG_PTR)kScrollBar);
            EXPECT_EQ(got[0].mp2, c.mp2);
        }
    }
    WinDestroyWindow(dlg);
}

TEST_F(DlgFrontTest, MeasureItemRepliesBecomeTheListBoxItemHeights)
{
    // Fixed heights are measured while the dialog is being made.
    measure = [](ULONG id, ULONG item) -> ULONG_PTR {
        if (id == kFixedList)
            return 21;
        if (id == kVariableList)
            return item == 3 ? 300 : 10 + 3 * item;     // 300 is no height
        return 0;
    };
    HWND dlg = load(kFrontEnd);
    ASSERT_NE(dlg, (HWND)NULL);
    HWND fixed = WinWindowFromID(dlg, kFixedList);
    HWND variable = WinWindowFromID(dlg, kVariableList);
    EXPECT_EQ(SendMessageA(fixed, LB_GETITEMHEIGHT, 0, 0), 21);
    auto asked = dlgReceived(PM_WM_MEASUREITEM);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0].mp1, (ULONG_PTR)kFixedList);
    auto init = std::find_if(dlgLog.begin(), dlgLog.end(),
                             [](const Msg &m) { return m.msg == PM_WM_INITDLG; });
    EXPECT_LT(std::find_if(dlgLog.begin(), dlgLog.end(),
                           [](const Msg &m) { return m.msg == PM_WM_MEASUREITEM; }),
              init);

    // Variable heights are measured item by item as they are added.
    dlgLog.clear();
    LRESULT nativeHeight = -1;
    for (int i = 0; i < 4; i++)
        SendMessageA(variable, LB_ADDSTRING, 0, (LPARAM)"item");
    asked = dlgReceived(PM_WM_MEASUREITEM);
    ASSERT_EQ(asked.size(), 4u);
    for (ULONG i = 0; i < 4; i++) {
        EXPECT_EQ(asked[i].mp1, (ULONG_PTR)kVariableList);
        EXPECT_EQ(asked[i].mp2, (ULONG_PTR)i);
    }
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(SendMessageA(variable, LB_GETITEMHEIGHT, i, 0), 10 + 3 * i);
    nativeHeight = SendMessageA(variable, LB_GETITEMHEIGHT, 3, 0);
    EXPECT_NE(nativeHeight, 300);
    EXPECT_GT(nativeHeight, 0);
    WinDestroyWindow(dlg);
}


TEST_F(DlgFrontTest, OwnerDrawnItemsAreDrawnByThePMProcedure)
{
    constexpr LONG kItemHeight = 21;
    measure = [](ULONG, ULONG) -> ULONG_PTR { return kItemHeight; };
    HWND dlg = load(kFrontEnd);
    ASSERT_NE(dlg, (HWND)NULL);
    ShowWindow(dlg, SW_SHOW);
    HWND list = WinWindowFromID(dlg, kFixedList);
    SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)"one");
    SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)"two");
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    drawnItems.clear();
    InvalidateRect(list, NULL, TRUE);
    UpdateWindow(list);
    RECT client;
    GetClientRect(list, &client);
    const LONG h = client.bottom;
    ASSERT_GE(drawnItems.size(), 2u);
    for (LONG i = 0; i < 2; i++) {
        SCOPED_TRACE(i);
        auto it = std::find_if(drawnItems.begin(), drawnItems.end(),
                               [i](const DrawnItem &d) { return d.item.idItem == i; });
        ASSERT_NE(it, drawnItems.end());
        EXPECT_EQ(it->control, (ULONG_PTR)kFixedList);
        EXPECT_EQ(it->item.hwnd, list);
        EXPECT_EQ(it->item.fsState, i == 1 ? 1 : 0);     // the selected one
        EXPECT_EQ(it->item.fsStateOld, it->item.fsState);
        RECT native;
        SendMessageA(list, LB_GETITEMRECT, i, (LPARAM)&native);
        EXPECT_EQ(native.bottom - native.top, kItemHeight);
        // PM rectangles are inclusive and count from the bottom.
        EXPECT_EQ(it->item.rclItem.xLeft, native.left);
        EXPECT_EQ(it->item.rclItem.xRight, native.right - 1);
        EXPECT_EQ(it->item.rclItem.yTop, h - 1 - i * kItemHeight);
        EXPECT_EQ(it->item.rclItem.yBottom, h - (i + 1) * kItemHeight);
        EXPECT_EQ(it->pelInside, 0xFF0000);      // red, as PM code drew it
    }
    WinDestroyWindow(dlg);
}

} // namespace
