// The MDI layer on the native MDI windows: the desktop and its
// registration, documents with and without their own menu bars, menu
// switching on activation and on closing, close refusals, close-all
// stopping at the first refusal, the window operations, the default
// procedures and the MDI accelerator hook.
#include <algorithm>
#include <string>
#include "../pmtest.h"
#include "opmmdi.h"

using namespace pmtest;

namespace {

constexpr const char *DESKTOP = "OrinTestMdiDesktop";
constexpr const char *DOCUMENT = "OrinTestMdiDocument";
constexpr ULONG kDesktopMenu = 10;
constexpr ULONG kDocumentMenu = 20;

// Documents whose client is in this set refuse to close.
std::vector<HWND> &refusing()
{
    static std::vector<HWND> r;
    return r;
}

MRESULT desktopProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    log().push_back({hwnd, msg, (ULONG_PTR)mp1, (ULONG_PTR)mp2});
    return OpmMdiDefDesktopProc(hwnd, msg, mp1, mp2);
}

MRESULT documentProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    log().push_back({hwnd, msg, (ULONG_PTR)mp1, (ULONG_PTR)mp2});
    if (msg == PM_WM_QUERYENDSESSION)
        return (MRESULT)(ULONG_PTR)(std::find(refusing().begin(), refusing().end(), hwnd) ==
                                    refusing().end());
    return OpmMdiDefDocumentProc(hwnd, msg, mp1, mp2);
}

std::string menuText(HMENU menu, UINT pos)
{
    char text[64] = "";
    GetMenuStringA(menu, pos, text, sizeof text, MF_BYPOSITION);
    return text;
}

class Mdi : public ::testing::Test {
protected:
    HAB hab = NULL;
    HMODULE exe = GetModuleHandleA(NULL);
    HWND desk = NULL, mdiClient = NULL;
    HMENU deskMenu = NULL;

    void SetUp() override
    {
        hab = WinInitialize(0);
        ASSERT_TRUE(WinRegisterClass(hab, DESKTOP, desktopProc, 0, 0));
        ASSERT_TRUE(WinRegisterClass(hab, DOCUMENT, documentProc, 0, 16));
        static ULONG fcf = PM_FCF_TITLEBAR | PM_FCF_SYSMENU | PM_FCF_SIZEBORDER | PM_FCF_MENU;
        desk = OpmMdiCreateDesktopWindow(PM_HWND_DESKTOP, PM_WS_VISIBLE, &fcf, DESKTOP,
                                         "desktop", 0, exe, kDesktopMenu, &mdiClient, 1);
        ASSERT_NE(desk, (HWND)NULL);
        deskMenu = GetMenu(desk);
        pump();
        log().clear();
    }
    void TearDown() override
    {
        refusing().clear();
        StdWinDestroyAllStdWindows();
        pump();
        log().clear();
        EXPECT_EQ(OpmMdiQueryDesktopFrame(), (HWND)NULL);
    }
    HWND document(bool ownMenu, const char *title = "doc", ULONG clientStyle = 0)
    {
        static ULONG fcf;
        fcf = PM_FCF_TITLEBAR | PM_FCF_SIZEBORDER | (ownMenu ? PM_FCF_MENU : 0);
        HWND client = (HWND)1;
        HWND r = OpmMdiCreateDocumentWindow(mdiClient, PM_WS_VISIBLE, &fcf, DOCUMENT, title,
                                            clientStyle, exe, kDocumentMenu, 2, NULL, NULL,
                                            &client);
        EXPECT_EQ(r, client);
        return r;
    }
    std::string shownMenu() { return menuText(GetMenu(desk), 0); }
};

TEST_F(Mdi, DesktopRegistrationAndOnlyOneDesktop)
{
    char cls[32];
    GetClassNameA(mdiClient, cls, sizeof cls);
    EXPECT_STREQ(cls, "MDIClient") << "the native MDI client";
    EXPECT_EQ(GetParent(mdiClient), desk);
    EXPECT_EQ(OpmMdiQueryDesktopFrame(), desk);
    EXPECT_EQ(OpmMdiQueryDesktopClient(), mdiClient);
    EXPECT_TRUE(OwmIsStdWindow(desk));
    ASSERT_NE(deskMenu, (HMENU)NULL);
    EXPECT_EQ(menuText(deskMenu, 0), "&File");
    EXPECT_EQ(menuText(deskMenu, 1), "&Window");

    static ULONG fcf = PM_FCF_TITLEBAR;
    HWND second = OpmMdiCreateDesktopWindow(PM_HWND_DESKTOP, 0, &fcf, DESKTOP, "again", 0, exe,
                                            0, NULL, 0);
    EXPECT_EQ(second, (HWND)NULL);

    // the registration goes with the desktop frame, and a new one may come
    WinDestroyWindow(desk);
    EXPECT_EQ(OpmMdiQueryDesktopFrame(), (HWND)NULL);
    EXPECT_EQ(OpmMdiQueryDesktopClient(), (HWND)NULL);
    HWND again = OpmMdiCreateDesktopWindow(PM_HWND_DESKTOP, 0, &fcf, DESKTOP, "again", 0, exe,
                                           0, &mdiClient, 0);
    EXPECT_NE(again, (HWND)NULL);
    EXPECT_EQ(OpmMdiQueryDesktopFrame(), again);
}

TEST_F(Mdi, DocumentMenusSwitchWithActivationAndCloseRestoresTheDesktopMenu)
{
    HWND withMenu = document(true, "one");
    ASSERT_NE(withMenu, (HWND)NULL);
    HWND frame = OpmMdiQueryDocumentFrame(withMenu);
    EXPECT_EQ(frame, GetParent(withMenu));
    EXPECT_EQ(GetParent(frame), mdiClient);
    EXPECT_EQ(GetDlgCtrlID(withMenu), PM_FID_CLIENT);
    char cls[32];
    GetClassNameA(frame, cls, sizeof cls);
    EXPECT_STREQ(cls, "OwmStdMDIDocument");
    EXPECT_EQ(OpmMdiQueryActiveDocumentWindow(mdiClient), withMenu);
    HMENU docMenu = OpmMdiQueryDocumentWindowMenu(mdiClient, withMenu);
    ASSERT_NE(docMenu, (HMENU)NULL);
    EXPECT_EQ(GetMenu(desk), docMenu);
    EXPECT_EQ(shownMenu(), "&Edit");

    HWND plain = document(false, "two");
    ASSERT_NE(plain, (HWND)NULL);
    EXPECT_EQ(OpmMdiQueryActiveDocumentWindow(mdiClient), plain);
    EXPECT_EQ(OpmMdiQueryDocumentWindowMenu(mdiClient, plain), (HMENU)NULL);
    EXPECT_EQ(GetMenu(desk), deskMenu);     // no menu of its own: the desktop's
    EXPECT_EQ(OpmMdiSetActiveDocumentWindow(mdiClient, withMenu), 0);
    EXPECT_EQ(OpmMdiQueryActiveDocumentWindow(mdiClient), withMenu);
    EXPECT_EQ(GetMenu(desk), docMenu);

    EXPECT_EQ(OpmMdiCloseDocumentWindow(mdiClient, plain), 0);
    EXPECT_FALSE(IsWindow(plain));
    EXPECT_EQ(GetMenu(desk), docMenu);
    EXPECT_EQ(OpmMdiCloseDocumentWindow(mdiClient, withMenu), 0);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(GetMenu(desk), deskMenu);     // the last one gone: the desktop's again
    EXPECT_EQ(shownMenu(), "&File");
    EXPECT_EQ(OpmMdiQueryActiveDocumentWindow(mdiClient), (HWND)NULL);
    EXPECT_FALSE(IsMenu(docMenu));          // loaded by the layer, destroyed with it
}

TEST_F(Mdi, AReplacedDocumentMenuShowsAtOnce)
{
    HWND doc = document(false);
    HMENU mine = LoadMenuA(exe, MAKEINTRESOURCEA(1));
    EXPECT_EQ(OpmMdiSetDocumentWindowMenu(mdiClient, doc, mine, 0), 0);
    EXPECT_EQ(OpmMdiQueryDocumentWindowMenu(mdiClient, doc), mine);
    EXPECT_EQ(GetMenu(desk), mine);
    EXPECT_EQ(OpmMdiSetDocumentWindowMenu(mdiClient, desk, mine, 0), OPMMDI_ERROR);
    OpmMdiCloseDocumentWindow(mdiClient, doc);
    EXPECT_EQ(GetMenu(desk), deskMenu);
    EXPECT_TRUE(IsMenu(mine));              // the caller's menu stays the caller's
    DestroyMenu(mine);
}

TEST_F(Mdi, ARefusingDocumentStaysOpen)
{
    HWND doc = document(true);
    refusing().push_back(doc);
    HWND frame = OpmMdiQueryDocumentFrame(doc);
    EXPECT_EQ(OpmMdiCloseDocumentWindow(mdiClient, doc), OPMMDI_ERROR);
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_EQ(received(PM_WM_QUERYENDSESSION, doc).size(), 1u);
    EXPECT_TRUE(received(PM_WM_DESTROY, doc).empty());
    refusing().clear();
    // PM WM_CLOSE through the default document procedure closes it
    WinSendMsg(doc, PM_WM_CLOSE, NULL, NULL);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(GetMenu(desk), deskMenu);
    EXPECT_EQ(OpmMdiCloseDocumentWindow(mdiClient, doc), OPMMDI_ERROR);   // gone
}

TEST_F(Mdi, CloseAllStopsAtTheFirstRefusal)
{
    HWND a = document(true, "a"), b = document(false, "b"), c = document(true, "c");
    ASSERT_TRUE(a && b && c);
    // the refusing document on top: nothing closes
    refusing().push_back(c);
    EXPECT_EQ(OpmMdiCloseAllDocuments(mdiClient), OPMMDI_ERROR);
    for (HWND d : {a, b, c})
        EXPECT_TRUE(IsWindow(d));
    EXPECT_TRUE(received(PM_WM_QUERYENDSESSION, a).empty());   // never asked
    EXPECT_TRUE(received(PM_WM_QUERYENDSESSION, b).empty());

    // the refusing document at the bottom: the ones above it close first
    refusing() = {a};
    HWND bottom = GetWindow(OpmMdiQueryDocumentFrame(c), GW_HWNDLAST);
    ASSERT_EQ(bottom, OpmMdiQueryDocumentFrame(a));
    EXPECT_EQ(OpmMdiCloseAllDocuments(mdiClient), OPMMDI_ERROR);
    EXPECT_FALSE(IsWindow(b));
    EXPECT_FALSE(IsWindow(c));
    EXPECT_TRUE(IsWindow(a));
    EXPECT_EQ(GetMenu(desk), OpmMdiQueryDocumentWindowMenu(mdiClient, a));

    refusing().clear();
    EXPECT_EQ(OpmMdiCloseAllDocuments(mdiClient), 0);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_EQ(GetMenu(desk), deskMenu);
    EXPECT_EQ(OpmMdiCloseAllDocuments(mdiClient), 0);       // none left: nothing to do
}

TEST_F(Mdi, WindowOperations)
{
    HWND a = document(false, "a"), b = document(false, "b");
    HWND fa = OpmMdiQueryDocumentFrame(a), fb = OpmMdiQueryDocumentFrame(b);
    ASSERT_TRUE(fa && fb);
    EXPECT_EQ(OpmMdiMaximizeDocumentWindow(mdiClient, b), 0);
    EXPECT_TRUE(IsZoomed(fb));
    EXPECT_EQ(OpmMdiRestoreDocumentWindow(mdiClient, b), 0);
    EXPECT_FALSE(IsZoomed(fb));
    EXPECT_EQ(OpmMdiMinimizeDocumentWindow(mdiClient, a), 0);
    EXPECT_TRUE(IsIconic(fa));
    EXPECT_EQ(OpmMdiRestoreDocumentWindow(mdiClient, a), 0);
    EXPECT_FALSE(IsIconic(fa));

    HWND before = OpmMdiQueryActiveDocumentWindow(mdiClient);
    EXPECT_EQ(OpmMdiNextDocumentWindow(mdiClient), 0);
    HWND after = OpmMdiQueryActiveDocumentWindow(mdiClient);
    EXPECT_NE(before, after);
    EXPECT_EQ(OpmMdiPrevDocumentWindow(mdiClient), 0);
    EXPECT_EQ(OpmMdiQueryActiveDocumentWindow(mdiClient), before);

    EXPECT_EQ(OpmMdiTile(mdiClient, MDITILE_VERTICAL), 0);
    RECT ra, rb, overlap;
    GetWindowRect(fa, &ra);
    GetWindowRect(fb, &rb);
    EXPECT_FALSE(IntersectRect(&overlap, &ra, &rb));
    EXPECT_EQ(OpmMdiCascade(mdiClient, 0), 0);
    GetWindowRect(fa, &ra);
    GetWindowRect(fb, &rb);
    EXPECT_TRUE(IntersectRect(&overlap, &ra, &rb));
    EXPECT_EQ(OpmMdiIconArrange(mdiClient), 0);

    // windows that are not documents
    HWND loose = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    EXPECT_EQ(OpmMdiMinimizeDocumentWindow(mdiClient, loose), OPMMDI_ERROR);
    EXPECT_FALSE(IsIconic(loose));
    EXPECT_EQ(OpmMdiMinimizeDocumentWindow(mdiClient, NULL), OPMMDI_ERROR);
    EXPECT_EQ(OpmMdiMaximizeDocumentWindow(mdiClient, desk), OPMMDI_ERROR);
    EXPECT_EQ(OpmMdiSetActiveDocumentWindow(mdiClient, (HWND)0x1234), OPMMDI_ERROR);
    EXPECT_EQ(OpmMdiQueryDocumentFrame(loose), (HWND)NULL);
    DestroyWindow(loose);
}

TEST_F(Mdi, TheDesktopPassesCommandsToTheActiveDocument)
{
    PostMessageA(desk, WM_COMMAND, MAKEWPARAM(111, 0), 0);      // no document yet
    pump();
    auto atDesk = received(PM_WM_COMMAND, desk);
    ASSERT_EQ(atDesk.size(), 1u);
    EXPECT_EQ(atDesk[0].mp1, 111u);
    HWND a = document(false, "a"), b = document(false, "b");
    log().clear();
    PostMessageA(desk, WM_COMMAND, MAKEWPARAM(101, 0), 0);
    pump();
    auto atDoc = received(PM_WM_COMMAND, b);
    ASSERT_EQ(atDoc.size(), 1u);
    EXPECT_EQ(atDoc[0].mp1, 101u);
    EXPECT_EQ(atDoc[0].mp2, (ULONG_PTR)MPFROM2SHORT(PM_CMDSRC_MENU, 1));
    EXPECT_TRUE(received(PM_WM_COMMAND, a).empty());
}

TEST_F(Mdi, TheMdiAcceleratorHookNamesTheDesktopFrame)
{
    MSG m = {mdiClient, WM_KEYDOWN, 'Q', 0, 0, {0, 0}};
    HWND target = mdiClient;
    EXPECT_FALSE(OpmMdiTranslateMDIAccel(&target, &m));     // not an MDI key
    EXPECT_EQ(target, desk);
    HWND other = mdiClient;
    EXPECT_FALSE(OpmMdiTranslateMDIAccel(&other, NULL));
    EXPECT_EQ(other, mdiClient);
}

TEST_F(Mdi, CtrlF4InTheMessageLoopClosesTheActiveDocument)
{
    HWND a = document(false, "a"), b = document(false, "b");
    HWND fb = OpmMdiQueryDocumentFrame(b);
    BYTE state[256] = {};
    state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
    WinSetFocus(PM_HWND_DESKTOP, b);
    PostMessageA(b, WM_KEYDOWN, VK_F4, 1);
    pump();
    BYTE none[256] = {};
    SetKeyboardState(none);
    EXPECT_FALSE(IsWindow(fb));                 // closed through its PM WM_CLOSE
    EXPECT_EQ(received(PM_WM_CLOSE, b).size(), 1u);
    EXPECT_TRUE(IsWindow(a));
    EXPECT_TRUE(received(PM_WM_CHAR, b).empty());   // the MDI keys took it first
}

TEST_F(Mdi, BadCallsAnswerTheErrorCode)
{
    static ULONG fcf = PM_FCF_TITLEBAR;
    HWND client = (HWND)1;
    HWND loose = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    EXPECT_EQ(OpmMdiCreateDocumentWindow((HWND)0x4321, 0, &fcf, DOCUMENT, "x", 0, exe, 0, 0,
                                         NULL, NULL, &client),
              (HWND)NULL);
    EXPECT_EQ(client, (HWND)NULL);
    EXPECT_EQ(OpmMdiCreateDocumentWindow(mdiClient, 0, NULL, DOCUMENT, "x", 0, exe, 0, 0, NULL,
                                         NULL, &client),
              (HWND)NULL);
    EXPECT_EQ(OpmMdiCreateDocumentWindow(mdiClient, 0, &fcf, "NoSuchClass", "x", 0, exe, 0, 0,
                                         NULL, NULL, &client),
              (HWND)NULL);
    EXPECT_EQ(GetWindow(mdiClient, GW_CHILD), (HWND)NULL);  // nothing left behind
    EXPECT_EQ(OpmMdiCloseDocumentWindow(mdiClient, loose), OPMMDI_ERROR);
    EXPECT_EQ(OpmMdiCloseAllDocuments((HWND)0x4321), OPMMDI_ERROR);
    EXPECT_EQ(OpmMdiQueryActiveDocumentWindow((HWND)0x4321), (HWND)NULL);
    DestroyWindow(loose);
}

} // namespace
