// The control kind behind WinSendMsg to native controls while windows come
// and go: controls destroyed and replaced by ones of other classes (in the
// same handle slot), an entry field whose style makes it multi-line, a
// native class replaced by a PM class of the same name, and two threads
// sending at once.  Answers are checked against the native control's own
// answer to the native message, or against a kind table kept here.
#include <atomic>
#include <cstring>
#include <thread>
#include "ctltest.h"

using namespace pmtest;
using namespace ctltest;

namespace {

constexpr ULONG kComboDropDownList = 4;
constexpr USHORT kUntranslatedMsg = 0x0110;    // below WM_USER, no native twin
constexpr LONG_PTR kPMReply = 77;

struct Expected {
    const char *cls;
    USHORT kind;
    UINT countMsg;      // native item count, 0: none
};
constexpr Expected kListBox = {"LISTBOX", OWM_CTL_LISTBOX, LB_GETCOUNT};
constexpr Expected kCombo = {"COMBOBOX", OWM_CTL_COMBOBOX, CB_GETCOUNT};
constexpr Expected kButton = {"BUTTON", OWM_CTL_BUTTON, 0};
constexpr Expected kScrollBar = {"SCROLLBAR", OWM_CTL_NONE, 0};

void addItems(HWND h, const Expected &e, int n)
{
    UINT add = e.kind == OWM_CTL_LISTBOX ? LB_ADDSTRING : CB_ADDSTRING;
    for (int i = 0; i < n; i++)
        SendMessageA(h, add, 0, (LPARAM) "item");
}

MRESULT pmReplyProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == kUntranslatedMsg)
        return (MRESULT)kPMReply;
    return WinDefWindowProc(hwnd, msg, mp1, mp2);
}

std::atomic<int> nativeProbeCalls{0};
LRESULT CALLBACK nativeProbeProc(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == kUntranslatedMsg)
        nativeProbeCalls++;
    return DefWindowProcA(h, msg, w, l);
}

class ControlKind : public ControlTest {};

TEST_F(ControlKind, ReplacedControlsAreTranslatedForTheirOwnClass)
{
    const Expected order[] = {kListBox, kCombo, kListBox, kButton, kScrollBar, kCombo, kListBox};
    int items = 1;
    for (const Expected &e : order) {
        HWND h = make(e.cls, e.kind == OWM_CTL_COMBOBOX ? kComboDropDownList : 0, 10);
        ASSERT_NE(h, (HWND)NULL);
        EXPECT_EQ(OwmQueryControlKind(h), e.kind) << e.cls;
        if (e.countMsg) {
            addItems(h, e, items);
            EXPECT_EQ(asLong(WinSendMsg(h, PM_LM_QUERYITEMCOUNT, 0, 0)), items) << e.cls;
            EXPECT_EQ(SendMessageA(h, e.countMsg, 0, 0), items) << e.cls;
        }
        // Only scroll bars answer the scroll-position query from a set position.
        SetScrollRange(h, SB_CTL, 0, 100, FALSE);
        SetScrollPos(h, SB_CTL, 33, FALSE);
        LONG_PTR pos = asLong(WinSendMsg(h, PM_SBM_QUERYPOS, 0, 0));
        EXPECT_EQ(pos, (LONG_PTR)(USHORT)GetScrollPos(h, SB_CTL)) << e.cls;
        if (e.cls == kScrollBar.cls) {
            EXPECT_EQ(pos, 33);
        }
        WinDestroyWindow(h);
        EXPECT_EQ(OwmQueryControlKind(h), OWM_CTL_UNKNOWN) << e.cls;
        EXPECT_EQ(asLong(WinSendMsg(h, PM_LM_QUERYITEMCOUNT, 0, 0)), 0) << e.cls;
        items++;
    }
}

TEST_F(ControlKind, WindowOfAnotherClassIsNotTranslated)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = nativeProbeProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "OrinKindPlain";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND h = CreateWindowA("OrinKindPlain", "", 0, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
    ASSERT_NE(h, (HWND)NULL);
    SetScrollRange(h, SB_CTL, 0, 100, FALSE);
    EXPECT_EQ(OwmQueryControlKind(h), OWM_CTL_NONE);
    EXPECT_EQ(asLong(WinSendMsg(h, PM_LM_QUERYITEMCOUNT, 0, 0)), 0);
    EXPECT_EQ(asLong(WinSendMsg(h, PM_SBM_QUERYRANGE, 0, 0)), 0);
    DestroyWindow(h);
    UnregisterClassA("OrinKindPlain", wc.hInstance);
}

TEST_F(ControlKind, EntryFieldFollowsItsMultiLineStyle)
{
    HWND e = make("EDIT", 0, 11);
    ASSERT_NE(e, (HWND)NULL);
    LONG style = GetWindowLongA(e, GWL_STYLE);
    ASSERT_FALSE(style & ES_MULTILINE);
    EXPECT_EQ(OwmQueryControlKind(e), OWM_CTL_ENTRY);
    SetWindowLongA(e, GWL_STYLE, style | ES_MULTILINE);
    EXPECT_EQ(OwmQueryControlKind(e), OWM_CTL_MLE);
    SetWindowLongA(e, GWL_STYLE, style);
    EXPECT_EQ(OwmQueryControlKind(e), OWM_CTL_ENTRY);
    WinDestroyWindow(e);
}

TEST_F(ControlKind, NativeClassReplacedByPMClassOfTheSameName)
{
    constexpr const char *kName = "OrinKindSwap";
    HINSTANCE inst = GetModuleHandleA(NULL);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = nativeProbeProc;
    wc.hInstance = inst;
    wc.lpszClassName = kName;
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND native = CreateWindowA(kName, "", 0, 0, 0, 10, 10, NULL, NULL, inst, NULL);
    ASSERT_NE(native, (HWND)NULL);
    ATOM nativeAtom = (ATOM)GetClassLongPtrA(native, GCW_ATOM);
    nativeProbeCalls = 0;
    // a native window: no native twin, so nothing is sent and the answer is 0
    EXPECT_EQ(asLong(WinSendMsg(native, kUntranslatedMsg, 0, 0)), 0);
    EXPECT_EQ(nativeProbeCalls.load(), 0);
    DestroyWindow(native);
    ASSERT_TRUE(UnregisterClassA(kName, inst));

    ASSERT_TRUE(WinRegisterClass(hab, kName, pmReplyProc, 0, 0));
    HWND pm = child(kName, PM_WS_VISIBLE, 12);
    ASSERT_NE(pm, (HWND)NULL);
    RecordProperty("same_atom", (ATOM)GetClassLongPtrA(pm, GCW_ATOM) == nativeAtom ? 1 : 0);
    WinSendMsg(top, kUntranslatedMsg, 0, 0);        // another window is the last one reached
    EXPECT_EQ(asLong(WinSendMsg(pm, kUntranslatedMsg, 0, 0)), kPMReply);
    WinDestroyWindow(pm);
    EXPECT_TRUE(WinUnRegisterClass(hab, kName));
}

/* One thread's own controls, recreated with alternating classes. */
int sendFromThread(int seed, int rounds)
{
    int wrong = 0;
    for (int r = 0; r < rounds; r++) {
        const Expected &e = (r + seed) % 2 ? kListBox : kCombo;
        HWND h = CreateWindowA(e.cls, "", e.kind == OWM_CTL_COMBOBOX ? CBS_DROPDOWNLIST : 0, 0,
                               0, 100, 100, NULL, NULL, NULL, NULL);
        HWND edit = CreateWindowA("EDIT", "", (r % 3) ? ES_MULTILINE : 0, 0, 0, 100, 100, NULL,
                                  NULL, NULL, NULL);
        if (!h || !edit)
            return -1;
        int n = 1 + (r + seed) % 5;
        addItems(h, e, n);
        for (int i = 0; i < 20; i++) {
            wrong += asLong(WinSendMsg(h, PM_LM_QUERYITEMCOUNT, 0, 0)) != n;
            wrong += OwmQueryControlKind(h) != e.kind;
            USHORT editKind = (r % 3) ? OWM_CTL_MLE : OWM_CTL_ENTRY;
            wrong += OwmQueryControlKind(edit) != editKind;
        }
        DestroyWindow(edit);
        DestroyWindow(h);
        wrong += OwmQueryControlKind(h) != OWM_CTL_UNKNOWN;
    }
    return wrong;
}

TEST_F(ControlKind, TwoThreadsSendToTheirOwnChangingControls)
{
    constexpr int kRounds = 25;
    int wrongA = 0, wrongB = 0;
    std::thread a([&] { wrongA = sendFromThread(0, kRounds); });
    std::thread b([&] { wrongB = sendFromThread(1, kRounds); });
    a.join();
    b.join();
    EXPECT_EQ(wrongA, 0);
    EXPECT_EQ(wrongB, 0);
    // and this thread, whose table has seen none of those windows
    EXPECT_EQ(sendFromThread(0, 2), 0);
}

}  // namespace
