// Pop-up menus on real windows: a second thread plays the user, finding
// the open menu window (class "#32768"), reading the menu it shows and
// typing the keys that choose an item; the test checks the command that
// arrives.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include "pm/pmtest.h"
#include "owmpopup.h"

using namespace pmtest;

namespace {

constexpr UINT kGetMenuOfWindow = 0x01E1;      // asks a menu window for its menu

// Menu items as the user sees them: "-" for a separator, else the id.
std::vector<std::string> itemsOf(HMENU m)
{
    std::vector<std::string> out;
    for (int i = 0; i < GetMenuItemCount(m); i++) {
        MENUITEMINFOA mii = {sizeof mii, MIIM_FTYPE | MIIM_ID};
        GetMenuItemInfoA(m, i, TRUE, &mii);
        out.push_back((mii.fType & MFT_SEPARATOR) ? "-" : std::to_string(mii.wID));
    }
    return out;
}

class User {
public:
    // Waits for a visible menu window, notes its items, types the keys.
    void start(std::vector<WPARAM> keys, int waitMs = 3000)
    {
        thread_ = std::thread([this, keys, waitMs] {
            auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
            while (std::chrono::steady_clock::now() < until) {
                HWND menu = FindWindowA("#32768", NULL);
                if (menu && IsWindowVisible(menu)) {
                    seen = itemsOf((HMENU)SendMessageA(menu, kGetMenuOfWindow, 0, 0));
                    opened = true;
                    for (WPARAM k : keys) {
                        PostMessageA(menu, WM_KEYDOWN, k, 1);
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    }
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    void join() { thread_.join(); }
    std::atomic<bool> opened{false};
    std::vector<std::string> seen;
private:
    std::thread thread_;
};

// Contributions of the two windows to a context menu.
HWND inner = NULL, outer = NULL;
MRESULT menuProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    log().push_back({hwnd, msg, (ULONG_PTR)mp1, (ULONG_PTR)mp2});
    if (msg != PM_WM_CONTEXTMENU)
        return WinDefWindowProc(hwnd, msg, mp1, mp2);
    if (hwnd == inner) {
        OWMPOPUPITEM items[] = {{hwnd, 11, 0, "Inner one"}, {hwnd, 12, 0, "Inner two"},
                                {hwnd, 0, 0, NULL}};
        for (auto &it : items)
            EXPECT_EQ(OwmPopUpAppend(&it), 0);
        // The request travels on to the parent, as the native default would.
        SendMessageA(outer, WM_CONTEXTMENU, (WPARAM)hwnd, (LPARAM)mp2);
    } else {
        OWMPOPUPITEM items[] = {{hwnd, 21, 0, "Outer one"}, {hwnd, 22, 0, "Outer two"}};
        for (auto &it : items)
            EXPECT_EQ(OwmPopUpAppend(&it), 0);
    }
    return 0;
}

class PopupTest : public PMWindowTest {
protected:
    void SetUp() override
    {
        PMWindowTest::SetUp();
        OwmPopUpClear();
        ASSERT_TRUE(WinRegisterClass(hab, "OrinMenuTest", menuProc, 0, 32));
        outer = WinCreateWindow(NULL, "OrinMenuTest", "outer", PM_WS_VISIBLE, 0, 0, 300, 200,
                                NULL, NULL, 0, NULL, NULL);
        inner = child("OrinMenuTest", PM_WS_VISIBLE, 5, 10, 10, 100, 100, outer);
        ASSERT_TRUE(outer && inner);
        pump();
        log().clear();
    }
    void TearDown() override
    {
        OwmPopUpClear();
        WinDestroyWindow(outer);
        PMWindowTest::TearDown();
    }
    std::vector<Msg> commands(HWND hwnd)
    {
        pump();
        return received(PM_WM_COMMAND, hwnd);
    }
};

TEST_F(PopupTest, ItemsOfTwoWindowsMakeOneMenuAndTheCommandFindsItsWindow)
{
    User user;
    user.start({VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    SendMessageA(inner, WM_CONTEXTMENU, (WPARAM)inner, MAKELPARAM(20, 20));
    user.join();
    ASSERT_TRUE(user.opened);
    std::vector<std::string> expected = {"16000", "16001", "-", "16002", "16003"};
    EXPECT_EQ(user.seen, expected);
    auto toOuter = commands(outer);
    ASSERT_EQ(toOuter.size(), 1u);
    EXPECT_EQ(toOuter[0].mp1, 21u);
    EXPECT_EQ(toOuter[0].mp2, 0x10002u);
    EXPECT_TRUE(received(PM_WM_COMMAND, inner).empty());
    EXPECT_EQ(OwmPopUpQueryItemsNumber(), 0);   // cleared by the delivery
}

TEST_F(PopupTest, ProcessShowsOwnIdsWithoutOuterSeparators)
{
    OWMPOPUPITEM items[] = {{top, 0, 0, NULL}, {top, 0, 0, NULL}, {top, 31, 0, "A"},
                            {top, 0, 0, NULL}, {top, 0, 0, NULL}, {top, 32, 0, "B"},
                            {top, 0, 0, NULL}};
    for (auto &it : items)
        ASSERT_EQ(OwmPopUpAppend(&it), 0);
    EXPECT_EQ(OwmPopUpQueryItemsNumber(), 2);
    User user;
    user.start({VK_DOWN, VK_DOWN, VK_RETURN});
    EXPECT_EQ(OwmPopUpProcess(top), 0);
    user.join();
    std::vector<std::string> expected = {"31", "-", "32"};
    EXPECT_EQ(user.seen, expected);
    auto got = commands(top);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].mp1, 32u);
    EXPECT_EQ(OwmPopUpQueryItemsNumber(), 2);   // the direct call keeps the list
}

TEST_F(PopupTest, EmptyListShowsNothing)
{
    User user;
    user.start({VK_ESCAPE}, 400);
    EXPECT_EQ(OwmPopUpProcess(top), 0);
    SendMessageA(inner, WM_NULL, 0, 0);
    user.join();
    EXPECT_FALSE(user.opened);
    // Only separators is as empty.
    OWMPOPUPITEM sep = {top, 0, 0, NULL};
    OwmPopUpAppend(&sep);
    OwmPopUpAppend(&sep);
    User again;
    again.start({VK_ESCAPE}, 400);
    EXPECT_EQ(OwmPopUpProcess(top), 0);
    again.join();
    EXPECT_FALSE(again.opened);
    EXPECT_EQ(OwmPopUpAppend(NULL), ORIN_ERR_INVALID_PARAM);
}

// A model of separator removal over a pattern: '-' separator, letters items.
std::string modelRemove(std::string s, bool afterSeparator)
{
    std::string out;
    for (char c : s) {
        bool prevSep = !out.empty() && out.back() == '-';
        if (prevSep && (afterSeparator || c == '-'))
            continue;
        out += c;
    }
    while (!out.empty() && out.front() == '-') out.erase(0, 1);
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out;
}

std::string menuPattern(HMENU m)
{
    std::string out;
    for (const std::string &it : itemsOf(m))
        out += it == "-" ? '-' : char('a' + std::stoi(it) - 1);
    return out;
}

TEST(PopupMenu, RemoveSeparatorsMatchesTheModel)
{
    const char *patterns[] = {"", "-", "---", "a", "-a-", "--a--b--", "a-b", "a--b-c---d",
                              "-a-b-", "ab--c"};
    for (const char *p : patterns) {
        for (BOOL after : {FALSE, TRUE}) {
            SCOPED_TRACE(std::string(p) + (after ? " after" : ""));
            HMENU m = OwmCreatePopupMenu();
            for (const char *c = p; *c; c++)
                ASSERT_TRUE(OwmAppendPopupMenu(m, *c == '-' ? OWM_MIA_SEPARATOR : 0,
                                               *c == '-' ? 0 : USHORT(*c - 'a' + 1), "x"));
            std::string want = modelRemove(p, after);
            EXPECT_EQ(OwmPopupMenuRemoveSeparators(m, after), (int)want.size());
            EXPECT_EQ(menuPattern(m), want);
            EXPECT_TRUE(OwmDestroyPopupMenu(m));
        }
    }
}

TEST(PopupMenu, ItemFlagsBecomeNativeStates)
{
    HMENU m = OwmCreatePopupMenu();
    ASSERT_TRUE(OwmAppendPopupMenu(m, OWM_MIA_CHECKED, 1, "checked"));
    ASSERT_TRUE(OwmAppendPopupMenu(m, OWM_MIA_DISABLED, 2, "disabled"));
    ASSERT_TRUE(OwmAppendPopupMenu(m, OWM_MIA_BREAK, 3, "break"));
    ASSERT_TRUE(OwmAppendPopupMenu(m, 0, 4, "plain"));
    EXPECT_EQ(GetMenuState(m, 1, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED), (UINT)MF_CHECKED);
    EXPECT_EQ(GetMenuState(m, 2, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED | MF_DISABLED),
              (UINT)(MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(GetMenuState(m, 3, MF_BYCOMMAND) & MF_MENUBREAK, (UINT)MF_MENUBREAK);
    EXPECT_EQ(GetMenuState(m, 4, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED | MF_MENUBREAK), 0u);
    EXPECT_EQ(OwmProcessPopupMenu(NULL, NULL), OWM_POPUP_ERROR);
    EXPECT_TRUE(OwmDestroyPopupMenu(m));
    EXPECT_FALSE(OwmDestroyPopupMenu(NULL));
    EXPECT_FALSE(OwmAppendPopupMenu(NULL, 0, 1, "x"));
    EXPECT_EQ(OwmPopupMenuRemoveSeparators(NULL, FALSE), 0);
}

} // namespace
