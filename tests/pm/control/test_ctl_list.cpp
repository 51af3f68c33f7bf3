// List-box messages on native list boxes and combo boxes: the contents,
// selection and owner notifications are read back from the native control
// and compared with a model of what the PM messages mean.
#include <cstring>
#include "ctltest.h"

using namespace pmtest;
using namespace ctltest;

namespace {

constexpr ULONG kComboDropDownList = 4;
constexpr USHORT kId = 77;

class ListMessages : public ControlTest, public ::testing::WithParamInterface<const char *> {
protected:
    HWND ctl = NULL;
    bool listBox = false;
    void SetUp() override
    {
        ControlTest::SetUp();
        listBox = std::strcmp(GetParam(), "LISTBOX") == 0;
        ctl = make(GetParam(), listBox ? 0 : kComboDropDownList, kId, 150, 160);
        ASSERT_NE(ctl, (HWND)NULL);
        log().clear();
    }
    MRESULT send(ULONG msg, MPARAM mp1 = 0, MPARAM mp2 = 0)
    {
        return WinSendMsg(ctl, msg, mp1, mp2);
    }
    USHORT selectCode() const { return listBox ? 1 : 104; }
    // WM_CONTROL messages the owner received from this control
    std::vector<Msg> notifications()
    {
        std::vector<Msg> out;
        for (const Msg &m : received(PM_WM_CONTROL, top))
            if (m.mp2 == (ULONG_PTR)ctl)
                out.push_back(m);
        return out;
    }
};

TEST_P(ListMessages, InsertAppendsForTheEndCodesAndInsertsElsewhere)
{
    std::vector<std::string> model;
    const char *words[] = {"one", "two", "three", "four"};
    USHORT appendCodes[] = {PM_LIT_END, PM_LIT_SORTASCENDING, PM_LIT_SORTDESCENDING, PM_LIT_END};
    for (int i = 0; i < 4; i++) {
        LONG_PTR at = asLong(send(PM_LM_INSERTITEM, MPFROM2SHORT(appendCodes[i], 0), (MPARAM)words[i]));
        EXPECT_EQ(at, i);
        model.push_back(words[i]);
    }
    EXPECT_EQ(asLong(send(PM_LM_INSERTITEM, MPFROM2SHORT(3, 0), (MPARAM) "new3")), 3);
    model.insert(model.begin() + 3, "new3");
    EXPECT_EQ(asLong(send(PM_LM_INSERTITEM, MPFROM2SHORT(0, 0), (MPARAM) "first")), 0);
    model.insert(model.begin(), "first");
    EXPECT_EQ(nativeItems(ctl), model);
    EXPECT_EQ(asLong(send(PM_LM_QUERYITEMCOUNT)), (LONG_PTR)model.size());
    // a null text inserts an empty item instead of failing
    send(PM_LM_INSERTITEM, MPFROM2SHORT(PM_LIT_END, 0), NULL);
    model.push_back("");
    EXPECT_EQ(nativeItems(ctl), model);
    EXPECT_EQ(asLong(send(PM_LM_QUERYITEMTEXTLENGTH, MPFROM2SHORT(1, 0))), 3);
    send(PM_LM_DELETEALL);
    EXPECT_EQ(nativeCount(ctl), 0);
}

TEST_P(ListMessages, DeleteSelectsThePreviousItemAndNotifiesTheOwner)
{
    nativeFill(ctl, {"a", "b", "c", "d"});
    // item 0: the new first item is selected
    LONG_PTR left = asLong(send(PM_LM_DELETEITEM, MPFROM2SHORT(0, 0)));
    EXPECT_EQ(left, 3);
    EXPECT_EQ(nativeItems(ctl), (std::vector<std::string>{"b", "c", "d"}));
    EXPECT_EQ(nativeSelection(ctl), 0);
    auto n = notifications();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].mp1, (ULONG_PTR)kId | ((ULONG_PTR)selectCode() << 16));
    // item 2 of 3: item 1 is selected
    log().clear();
    send(PM_LM_DELETEITEM, MPFROM2SHORT(2, 0));
    EXPECT_EQ(nativeItems(ctl), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(nativeSelection(ctl), 1);
    EXPECT_EQ(notifications().size(), 1u);
    // the last item: nothing left to select, so no notification
    send(PM_LM_DELETEITEM, MPFROM2SHORT(0, 0));
    send(PM_LM_DELETEITEM, MPFROM2SHORT(0, 0));
    log().clear();
    EXPECT_EQ(asLong(send(PM_LM_DELETEITEM, MPFROM2SHORT(0, 0))), -1);
    EXPECT_EQ(notifications().size(), 0u);
}

TEST_P(ListMessages, SelectAndDeselectNotifyUnlessTheControlRefuses)
{
    nativeFill(ctl, {"a", "b", "c"});
    EXPECT_EQ(asLong(send(PM_LM_SELECTITEM, MPFROM2SHORT(2, 0), (MPARAM)TRUE)), 1);
    EXPECT_EQ(nativeSelection(ctl), 2);
    EXPECT_EQ(asLong(send(PM_LM_QUERYSELECTION)), 2);
    EXPECT_EQ(notifications().size(), 1u);
    // FALSE clears the selection whatever the index, and still notifies
    log().clear();
    EXPECT_EQ(asLong(send(PM_LM_SELECTITEM, MPFROM2SHORT(2, 0), (MPARAM)FALSE)), 1);
    EXPECT_EQ(nativeSelection(ctl), -1);
    EXPECT_EQ(notifications().size(), 1u);
    // an index past the end fails natively: 0 and no notification
    log().clear();
    EXPECT_EQ(asLong(send(PM_LM_SELECTITEM, MPFROM2SHORT(9, 0), (MPARAM)TRUE)), 0);
    EXPECT_EQ(notifications().size(), 0u);
}

TEST_P(ListMessages, SetItemTextReplacesInPlaceAndKeepsTheSelection)
{
    nativeFill(ctl, {"a", "b", "c"});
    SendMessageA(ctl, listBox ? LB_SETCURSEL : CB_SETCURSEL, 2, 0);
    EXPECT_EQ(asLong(send(PM_LM_SETITEMTEXT, MPFROM2SHORT(1, 0), (MPARAM) "B")), 1);
    EXPECT_EQ(nativeItems(ctl), (std::vector<std::string>{"a", "B", "c"}));
    EXPECT_EQ(nativeSelection(ctl), 2);
    // replacing the selected item itself keeps it selected
    SendMessageA(ctl, listBox ? LB_SETCURSEL : CB_SETCURSEL, 0, 0);
    send(PM_LM_SETITEMTEXT, MPFROM2SHORT(0, 0), (MPARAM) "A");
    EXPECT_EQ(nativeItems(ctl), (std::vector<std::string>{"A", "B", "c"}));
    EXPECT_EQ(nativeSelection(ctl), 0);
    // an index past the end changes nothing
    EXPECT_EQ(asLong(send(PM_LM_SETITEMTEXT, MPFROM2SHORT(7, 0), (MPARAM) "x")), 0);
    EXPECT_EQ(nativeCount(ctl), 3);
}

TEST_P(ListMessages, QueryItemTextCopiesAtMostTheBufferSize)
{
    nativeFill(ctl, {"hello world", "x"});
    char buf[32];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(asLong(send(PM_LM_QUERYITEMTEXT, MPFROM2SHORT(0, sizeof buf), buf)), 11);
    EXPECT_STREQ(buf, "hello world");
    // six bytes: five characters and a terminating zero, nothing beyond
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(asLong(send(PM_LM_QUERYITEMTEXT, MPFROM2SHORT(0, 6), buf)), 11);
    EXPECT_STREQ(buf, "hello");
    EXPECT_EQ(buf[6], '#');
    // exactly the text and its zero
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(asLong(send(PM_LM_QUERYITEMTEXT, MPFROM2SHORT(0, 12), buf)), 11);
    EXPECT_STREQ(buf, "hello world");
    EXPECT_EQ(buf[12], '#');
    // a missing item or a null buffer: 0
    EXPECT_EQ(asLong(send(PM_LM_QUERYITEMTEXT, MPFROM2SHORT(5, sizeof buf), buf)), 0);
    SetLastError(0);
    EXPECT_EQ(asLong(send(PM_LM_QUERYITEMTEXT, MPFROM2SHORT(0, 10), NULL)), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ORIN_ERR_INVALID_PARAM);
}

TEST_P(ListMessages, QueryItemTextTruncatesShortAndLongItemsAlike)
{
    // item lengths on both sides of any fixed-size scratch buffer
    for (size_t len : {200u, 255u, 256u, 1000u, 5000u}) {
        std::string item;
        for (size_t i = 0; i < len; i++)
            item += (char)('a' + (i * 7 + len) % 26);
        send(PM_LM_DELETEALL);
        nativeFill(ctl, {item});
        char buf[40];
        std::memset(buf, '#', sizeof buf);
        EXPECT_EQ(asLong(send(PM_LM_QUERYITEMTEXT, MPFROM2SHORT(0, 30), buf)), (LONG_PTR)len);
        EXPECT_EQ(std::string(buf), item.substr(0, 29)) << len;
        EXPECT_EQ(buf[30], '#') << len;
        std::vector<char> whole(len + 1, '#');
        EXPECT_EQ(asLong(send(PM_LM_QUERYITEMTEXT, MPFROM2SHORT(0, len + 1), whole.data())),
                  (LONG_PTR)len);
        EXPECT_EQ(std::string(whole.data()), item) << len;
    }
}

TEST_P(ListMessages, SearchStartsAfterTheGivenItem)
{
    nativeFill(ctl, {"apple", "banana", "cherry", "apricot"});
    EXPECT_EQ(asLong(send(PM_LM_SEARCHSTRING, MPFROM2SHORT(0, PM_LIT_FIRST), (MPARAM) "ban")), 1);
    EXPECT_EQ(asLong(send(PM_LM_SEARCHSTRING, MPFROM2SHORT(0, PM_LIT_FIRST), (MPARAM) "ap")), 0);
    // starting after item 0 finds the later match
    EXPECT_EQ(asLong(send(PM_LM_SEARCHSTRING, MPFROM2SHORT(0, 0), (MPARAM) "ap")), 3);
    EXPECT_EQ(asLong(send(PM_LM_SEARCHSTRING, MPFROM2SHORT(0, PM_LIT_FIRST), (MPARAM) "zzz")), -1);
}

TEST_P(ListMessages, ItemHandlesLiveInTheNativeItemData)
{
    nativeFill(ctl, {"a", "b"});
    const ULONG_PTR value = 0x5EED1234;
    send(PM_LM_SETITEMHANDLE, MPFROM2SHORT(1, 0), (MPARAM)value);
    EXPECT_EQ((ULONG_PTR)SendMessageA(ctl, listBox ? LB_GETITEMDATA : CB_GETITEMDATA, 1, 0), value);
    SendMessageA(ctl, listBox ? LB_SETITEMDATA : CB_SETITEMDATA, 0, 4242);
    EXPECT_EQ((ULONG_PTR)send(PM_LM_QUERYITEMHANDLE, MPFROM2SHORT(0, 0)), 4242u);
}

TEST_P(ListMessages, TopIndexOnlyForListBoxes)
{
    for (int i = 0; i < 40; i++)
        nativeFill(ctl, {"item " + std::to_string(i)});
    LONG_PTR set = asLong(send(PM_LM_SETTOPINDEX, MPFROM2SHORT(5, 0)));
    if (listBox) {
        EXPECT_NE(set, LB_ERR);
        EXPECT_EQ(SendMessageA(ctl, LB_GETTOPINDEX, 0, 0), 5);
        EXPECT_EQ(asLong(send(PM_LM_QUERYTOPINDEX)), 5);
    } else {
        EXPECT_EQ(set, 0);
        EXPECT_EQ(asLong(send(PM_LM_QUERYTOPINDEX)), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ListMessages, ::testing::Values("LISTBOX", "COMBOBOX"));

TEST_F(ControlTest, ListBoxExtentAndItemHeight)
{
    HWND lb = make("LISTBOX", 0, 5);
    nativeFill(lb, {"x", "y"});
    EXPECT_EQ(asLong(WinSendMsg(lb, PM_LM_SETHORZEXTENT, (MPARAM)300, 0)), 300);
    EXPECT_EQ(SendMessageA(lb, LB_GETHORIZONTALEXTENT, 0, 0), 300);
    LRESULT height = SendMessageA(lb, LB_GETITEMHEIGHT, 0, 0);
    ASSERT_GT(height, 0);
    EXPECT_EQ(asLong(WinSendMsg(lb, PM_LM_QUERYITEMHEIGHT, 0, 0)), height);
}

TEST_F(ControlTest, ComboBoxDroppedWidth)
{
    HWND cb = make("COMBOBOX", kComboDropDownList, 6, 80, 120);
    WinSendMsg(cb, PM_CBM_SETDROPPEDWIDTH, MPFROM2SHORT(260, 0), 0);
    EXPECT_EQ(SendMessageA(cb, CB_GETDROPPEDWIDTH, 0, 0), 260);
    SendMessageA(cb, CB_SETDROPPEDWIDTH, 310, 0);
    EXPECT_EQ(asLong(WinSendMsg(cb, PM_CBM_QUERYDROPPEDWIDTH, 0, 0)), 310);
}

} // namespace
