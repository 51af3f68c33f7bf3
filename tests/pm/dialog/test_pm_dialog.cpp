// Dialogs on real windows: templates from the test program's resources,
// the modal loop driven by posted keys as a user would type them.
#include <algorithm>
#include <cstring>
#include "pm/pmtest.h"
#include "windlg.h"

using namespace pmtest;

namespace {

constexpr ULONG kPlain = 100;
constexpr ULONG kExtended = 101;
constexpr ULONG kEdit = 201;

HMODULE exe()
{
    return GetModuleHandleA(NULL);
}

void postKey(HWND hwnd, WPARAM vk)
{
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1);
    PostMessageA(hwnd, WM_KEYUP, vk, 0xC0000001);
}

// What a dialog procedure saw; the procedures below fill it.
struct Seen {
    std::vector<USHORT> msgs;
    ULONG_PTR initParams = 0;
    HWND modalAtInit = NULL;
    HWND focusAtHelp = NULL;
    ULONG_PTR helpMp1 = 1, helpMp2 = 0;
    bool shown = false;
    bool count(USHORT m) const
    {
        return std::find(msgs.begin(), msgs.end(), m) != msgs.end();
    }
};
Seen seen;

MRESULT dismissAtInit(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    seen.msgs.push_back(msg);
    if (msg == PM_WM_INITDLG) {
        seen.initParams = (ULONG_PTR)mp2;
        WinDismissDlg(hwnd, 42);
        return (MRESULT)FALSE;
    }
    if (msg == PM_WM_SHOW && mp1)
        seen.shown = true;
    return WinDefDlgProc(hwnd, msg, mp1, mp2);
}

MRESULT keysDialog(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    seen.msgs.push_back(msg);
    if (msg == PM_WM_INITDLG) {
        seen.modalAtInit = WinQueryModalDialogActive();
    }
    if (msg == PM_WM_HELP) {
        seen.focusAtHelp = GetFocus();
        seen.helpMp1 = (ULONG_PTR)mp1;
        seen.helpMp2 = (ULONG_PTR)mp2;
        return 0;
    }
    return WinDefDlgProc(hwnd, msg, mp1, mp2);
}

int listenerStarts = 0, listenerEnds = 0;
bool ownerEnabledInLoop = true;
HWND listenerOwner = NULL;
HWND otherPopup = NULL;
bool otherEnabledInLoop = true;
void listener(PVOID ctx, HWND dlg, BOOL start)
{
    (start ? listenerStarts : listenerEnds) += *(int *)ctx;
    if (start && listenerOwner)
        ownerEnabledInLoop = IsWindowEnabled(listenerOwner) != 0;
    if (start && otherPopup)
        otherEnabledInLoop = IsWindowEnabled(otherPopup) != 0;
}
int listenerWeight = 1;

class DialogTest : public PMWindowTest {
protected:
    void SetUp() override
    {
        PMWindowTest::SetUp();
        seen = Seen();
        static bool added = OwmAddModalLoopNotifyer(listener, &listenerWeight);
        ASSERT_TRUE(added);
        listenerStarts = listenerEnds = 0;
        listenerOwner = top;
        otherPopup = NULL;
    }
};

std::vector<BYTE> templateBytes(ULONG id)
{
    HRSRC r = FindResourceA(exe(), MAKEINTRESOURCEA(id), (LPCSTR)RT_DIALOG);
    if (!r)
        return {};
    auto p = (const BYTE *)LockResource(LoadResource(exe(), r));
    return std::vector<BYTE>(p, p + SizeofResource(exe(), r));
}

TEST_F(DialogTest, DismissFromInitReturnsAtOnceWithoutShowing)
{
    int params = 0;
    ULONG r = WinDlgBox(PM_HWND_DESKTOP, top, dismissAtInit, exe(), kPlain, &params);
    EXPECT_EQ(r, 42u);
    EXPECT_EQ(seen.initParams, (ULONG_PTR)&params);
    EXPECT_FALSE(seen.shown);
    EXPECT_EQ(listenerStarts, 0);     // the loop never ran
    EXPECT_TRUE(seen.count(PM_WM_DESTROY));
    EXPECT_TRUE(IsWindowEnabled(top));
    EXPECT_EQ(WinQueryModalDialogActive(), (HWND)NULL);
}

TEST_F(DialogTest, EnterPressesDefaultButtonAndLoopDisablesOwner)
{
    HWND dlg = WinLoadDlg(PM_HWND_DESKTOP, top, keysDialog, exe(), kPlain, NULL);
    ASSERT_NE(dlg, (HWND)NULL);
    EXPECT_TRUE(OwmIsDlgWindowPM(dlg));
    EXPECT_FALSE(OwmIsPMWindow(dlg));
    EXPECT_EQ(WinQueryWindow(dlg, PM_QW_OWNER), top);
    EXPECT_EQ(WinQueryModalDialogActive(), dlg);
    HWND edit = WinWindowFromID(dlg, kEdit);
    ASSERT_NE(edit, (HWND)NULL);
    postKey(edit, VK_RETURN);
    ownerEnabledInLoop = true;
    EXPECT_EQ(WinProcessDlg(dlg), (ULONG)PM_DID_OK);
    EXPECT_FALSE(ownerEnabledInLoop);
    EXPECT_TRUE(IsWindowEnabled(top));
    EXPECT_EQ(listenerStarts, 1);
    EXPECT_EQ(listenerEnds, 1);
    EXPECT_FALSE(IsWindowVisible(dlg));
    // Once dismissed, the loop answers the result again without running.
    EXPECT_EQ(WinProcessDlg(dlg), (ULONG)PM_DID_OK);
    EXPECT_EQ(listenerStarts, 1);
    EXPECT_TRUE(WinDestroyWindow(dlg));
    EXPECT_FALSE(OwmIsDlgWindowPM(dlg));
    EXPECT_EQ(WinProcessDlg(dlg), (ULONG)PM_DID_ERROR);
    EXPECT_EQ(WinProcessDlg(top), (ULONG)PM_DID_ERROR);
}

// The owner's native procedure, watched for the enter-idle message.
WNDPROC ownerNative = NULL;
std::vector<LPARAM> idleFrom;
LRESULT CALLBACK idleWatcher(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX)
        idleFrom.push_back(lParam);
    return CallWindowProcA(ownerNative, hwnd, msg, wParam, lParam);
}

UINT_PTR escapeTimer = 0;
HWND escapeTarget = NULL;
void CALLBACK pressEscape(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(NULL, id);
    postKey(escapeTarget, VK_ESCAPE);
}

TEST_F(DialogTest, OwnerHearsOfIdleLoopOncePerIdlePeriod)
{
    HWND dlg = WinLoadDlg(PM_HWND_DESKTOP, top, keysDialog, exe(), kPlain, NULL);
    ASSERT_NE(dlg, (HWND)NULL);
    ownerNative = (WNDPROC)SetWindowLongPtrA(top, GWLP_WNDPROC, (LONG_PTR)idleWatcher);
    idleFrom.clear();
    escapeTarget = WinWindowFromID(dlg, kEdit);
    // The loop goes idle, the timer wakes it once, Escape ends it.
    escapeTimer = SetTimer(NULL, 0, 100, pressEscape);
    EXPECT_EQ(WinProcessDlg(dlg), (ULONG)PM_DID_CANCEL);
    SetWindowLongPtrA(top, GWLP_WNDPROC, (LONG_PTR)ownerNative);
    ASSERT_FALSE(idleFrom.empty());
    EXPECT_LE(idleFrom.size(), 4u);     // not once per wait
    for (LPARAM l : idleFrom)
        EXPECT_EQ((HWND)l, dlg);
    WinDestroyWindow(dlg);
}

TEST_F(DialogTest, F1FocusesHelpButtonThenEscapeCancels)
{
    HWND dlg = WinLoadDlg(PM_HWND_DESKTOP, top, keysDialog, exe(), kPlain, NULL);
    ASSERT_NE(dlg, (HWND)NULL);
    HWND edit = WinWindowFromID(dlg, kEdit);
    postKey(edit, VK_F1);
    postKey(edit, VK_ESCAPE);
    EXPECT_EQ(WinProcessDlg(dlg), (ULONG)PM_DID_CANCEL);
    EXPECT_EQ(seen.focusAtHelp, WinWindowFromID(dlg, PM_DID_HELP));
    EXPECT_EQ(seen.helpMp1, (ULONG_PTR)GetDlgCtrlID(dlg));
    EXPECT_EQ(seen.helpMp2, 0x10001u);
    WinDestroyWindow(dlg);
}

// The outer dialog opens the inner one when its posted message arrives.
constexpr USHORT kOpenInner = PM_WM_USER + 1;
ULONG innerResult = 0;
HWND activeAfterInner = NULL;
bool outerEnabledAfterInner = false;

MRESULT innerProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == PM_WM_INITDLG)
        postKey(WinWindowFromID(hwnd, kEdit), VK_ESCAPE);
    return keysDialog(hwnd, msg, mp1, mp2);
}

MRESULT outerProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == kOpenInner) {
        listenerOwner = hwnd;
        innerResult = WinDlgBox(PM_HWND_DESKTOP, hwnd, innerProc, exe(), kExtended, NULL);
        activeAfterInner = GetActiveWindow();
        outerEnabledAfterInner = IsWindowEnabled(hwnd) != 0;
        WinDismissDlg(hwnd, 7);
        return 0;
    }
    return WinDefDlgProc(hwnd, msg, mp1, mp2);
}

TEST_F(DialogTest, NestedDialogsReactivateTheOuterOne)
{
    HWND outer = WinLoadDlg(PM_HWND_DESKTOP, top, outerProc, exe(), kPlain, NULL);
    ASSERT_NE(outer, (HWND)NULL);
    ASSERT_TRUE(WinPostMsg(outer, kOpenInner, NULL, NULL));
    activeAfterInner = NULL;
    ownerEnabledInLoop = true;
    EXPECT_EQ(WinProcessDlg(outer), 7u);
    EXPECT_EQ(innerResult, (ULONG)PM_DID_CANCEL);
    // Inside the inner dialog the inner one was the active modal dialog and
    // the outer one was disabled.
    EXPECT_NE(seen.modalAtInit, outer);
    EXPECT_NE(seen.modalAtInit, (HWND)NULL);
    EXPECT_FALSE(ownerEnabledInLoop);
    EXPECT_EQ(activeAfterInner, outer);
    EXPECT_TRUE(outerEnabledAfterInner);
    EXPECT_EQ(listenerStarts, 2);
    EXPECT_EQ(WinQueryModalDialogActive(), outer);
    WinDestroyWindow(outer);
    EXPECT_EQ(WinQueryModalDialogActive(), (HWND)NULL);
}

TEST_F(DialogTest, QuitEndsTheLoopAndReachesTheApplication)
{
    HWND dlg = WinLoadDlg(PM_HWND_DESKTOP, top, keysDialog, exe(), kPlain, NULL);
    ASSERT_NE(dlg, (HWND)NULL);
    ASSERT_TRUE(WinPostMsg(NULL, PM_WM_QUIT, MPFROMLONG(3), NULL));
    EXPECT_EQ(WinProcessDlg(dlg), 0u);
    EXPECT_TRUE(IsWindowEnabled(top));
    EXPECT_EQ(listenerEnds, 1);
    PM_QMSG q;
    bool quit = false;
    for (int i = 0; i < 1000 && WinPeekMsg(&q, NULL, 0, 0, PM_PM_REMOVE); i++) {
        if (q.msg == PM_WM_QUIT) {
            quit = true;
            EXPECT_EQ(q.native.wParam, 3u);
            break;
        }
        WinDispatchMsg(&q);
    }
    EXPECT_TRUE(quit);
    WinDestroyWindow(dlg);
}

TEST_F(DialogTest, TemplateInMemoryAndApplicationTopOwner)
{
    // An owned top-level PM window is a pop-up of the library's popup list.
    HWND other = WinCreateWindow(PM_HWND_DESKTOP, RECORDER, "other", PM_WS_VISIBLE, 0, 0, 100, 100,
                                 top, NULL, 0, NULL, NULL);
    ASSERT_NE(other, (HWND)NULL);
    WinSetActiveWindow(PM_HWND_DESKTOP, top);
    std::vector<BYTE> bytes = templateBytes(kExtended);
    ASSERT_FALSE(bytes.empty());
    HWND dlg = WinCreateDlg(PM_HWND_DESKTOP, PM_HWND_APPTOP, keysDialog, bytes.data(), NULL);
    ASSERT_NE(dlg, (HWND)NULL);
    bytes.assign(bytes.size(), 0);      // the dialog no longer needs its template
    EXPECT_TRUE(OwmIsDlgWindowPM(dlg));
    EXPECT_NE(WinWindowFromID(dlg, kEdit), (HWND)NULL);
    EXPECT_EQ(WinQueryWindow(dlg, PM_QW_OWNER), top);    // the active window then
    // Owned by the application's top window: every other PM pop-up is
    // disabled while the loop runs, and enabled again afterwards.
    otherPopup = other;
    otherEnabledInLoop = true;
    postKey(WinWindowFromID(dlg, kEdit), VK_ESCAPE);
    EXPECT_EQ(WinProcessDlg(dlg), (ULONG)PM_DID_CANCEL);
    EXPECT_FALSE(otherEnabledInLoop);
    EXPECT_TRUE(IsWindowEnabled(other));
    EXPECT_TRUE(IsWindowEnabled(top));
    WinDestroyWindow(dlg);
    WinDestroyWindow(other);
}

TEST_F(DialogTest, DismissingAForeignNativeDialogEndsIt)
{
    std::vector<BYTE> bytes = templateBytes(kPlain);
    HWND native = CreateDialogIndirectParamA(exe(), (LPCDLGTEMPLATEA)bytes.data(), NULL,
                                             [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR {
                                                 return FALSE;
                                             }, 0);
    ASSERT_NE(native, (HWND)NULL);
    ShowWindow(native, SW_SHOW);
    EXPECT_FALSE(OwmIsDlgWindowPM(native));
    EXPECT_TRUE(WinDismissDlg(native, 5));
    EXPECT_FALSE(IsWindowVisible(native));
    EXPECT_EQ(WinProcessDlg(native), (ULONG)PM_DID_ERROR);
    DestroyWindow(native);
}

TEST_F(DialogTest, MissingTemplateAndBadHandles)
{
    EXPECT_EQ(WinLoadDlg(PM_HWND_DESKTOP, top, keysDialog, exe(), 999, NULL), (HWND)NULL);
    EXPECT_EQ(WinDlgBox(PM_HWND_DESKTOP, top, keysDialog, exe(), 999, NULL), (ULONG)PM_DID_ERROR);
    EXPECT_EQ(WinCreateDlg(PM_HWND_DESKTOP, top, keysDialog, NULL, NULL), (HWND)NULL);
    EXPECT_EQ(WinProcessDlg(NULL), (ULONG)PM_DID_ERROR);
    EXPECT_FALSE(WinSetDlgItemText(NULL, 1, "x"));
    EXPECT_EQ(WinEnumDlgItem((HWND)0x1234, NULL, PM_EDI_FIRSTTABITEM), (HWND)NULL);
    EXPECT_FALSE(WinMapDlgPoints(NULL, NULL, 0, TRUE));
    EXPECT_FALSE(OwmIsDlgWindowPM(top));
}

TEST_F(DialogTest, ItemCallsAndDefaultProcedureWords)
{
    HWND dlg = WinLoadDlg(PM_HWND_DESKTOP, top, keysDialog, exe(), kPlain, NULL);
    ASSERT_NE(dlg, (HWND)NULL);
    // Numbers round-trip through the item text, signed and unsigned.
    struct { USHORT v; BOOL sign; const char *text; } cases[] = {
        {0xFFFF, TRUE, "-1"}, {0xFFFF, FALSE, "65535"}, {1234, TRUE, "1234"}};
    for (auto &c : cases) {
        ASSERT_TRUE(WinSetDlgItemShort(dlg, kEdit, c.v, c.sign));
        char text[16] = "";
        EXPECT_EQ(WinQueryDlgItemText(dlg, kEdit, sizeof text, text), strlen(c.text));
        EXPECT_STREQ(text, c.text);
        SHORT back = 0;
        EXPECT_TRUE(WinQueryDlgItemShort(dlg, kEdit, &back, c.sign));
        EXPECT_EQ((USHORT)back, c.v);
    }
    WinSetDlgItemText(dlg, kEdit, "70000");
    SHORT v;
    EXPECT_FALSE(WinQueryDlgItemShort(dlg, kEdit, &v, FALSE));
    WinSetDlgItemText(dlg, kEdit, "12x");
    EXPECT_FALSE(WinQueryDlgItemShort(dlg, kEdit, &v, TRUE));
    // Tab order follows the template: edit, OK, Cancel, Help.
    HWND first = WinEnumDlgItem(dlg, NULL, PM_EDI_FIRSTTABITEM);
    EXPECT_EQ(first, WinWindowFromID(dlg, kEdit));
    EXPECT_EQ(WinEnumDlgItem(dlg, first, PM_EDI_NEXTTABITEM), WinWindowFromID(dlg, PM_DID_OK));
    EXPECT_EQ(WinEnumDlgItem(dlg, NULL, PM_EDI_LASTTABITEM), WinWindowFromID(dlg, PM_DID_HELP));
    // Dialog units to pixels and back.
    PM_POINTL p[2] = {{40, 16}, {4, 8}};
    RECT r = {0, 0, 40, 16};
    MapDialogRect(dlg, &r);
    ASSERT_TRUE(WinMapDlgPoints(dlg, p, 2, TRUE));
    EXPECT_EQ(p[0].x, r.right);
    EXPECT_EQ(p[0].y, r.bottom);
    ASSERT_TRUE(WinMapDlgPoints(dlg, p, 2, FALSE));
    EXPECT_EQ(p[0].x, 40);
    EXPECT_EQ(p[1].y, 8);
    // The accelerator table lives in dialog word 16.
    ACCEL a = {FVIRTKEY, VK_F5, 555};
    HACCEL acc = CreateAcceleratorTableA(&a, 1);
    WinSendMsg(dlg, PM_WM_SETACCELTABLE, acc, NULL);
    EXPECT_EQ(WinSendMsg(dlg, PM_WM_QUERYACCELTABLE, NULL, NULL), (MRESULT)acc);
    EXPECT_EQ(WinQueryWindowULong(dlg, 16), (ULONG_PTR)acc);
    // F5 through the modal loop becomes command 555, which dismisses.
    postKey(WinWindowFromID(dlg, kEdit), VK_F5);
    EXPECT_EQ(WinProcessDlg(dlg), 555u);
    WinDestroyWindow(dlg);
    DestroyAcceleratorTable(acc);
}

} // namespace
