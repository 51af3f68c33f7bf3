// Entry-field and multi-line-edit messages: selections, flags, lines and
// the import/export buffer, checked against the native edit control and a
// model of its text kept in the test.
#include <cstring>
#include "ctltest.h"

using namespace pmtest;
using namespace ctltest;

namespace {

constexpr ULONG kMleVScroll = 0x8;

// Line starts and lengths of a text whose lines end in CR LF.
struct Lines {
    std::vector<size_t> starts;
    std::vector<size_t> lengths;
    explicit Lines(const std::string &text)
    {
        size_t start = 0;
        for (;;) {
            size_t end = text.find("\r\n", start);
            starts.push_back(start);
            lengths.push_back((end == std::string::npos ? text.size() : end) - start);
            if (end == std::string::npos)
                break;
            start = end + 2;
        }
    }
    size_t lineOf(size_t pos) const
    {
        size_t line = 0;
        while (line + 1 < starts.size() && starts[line + 1] <= pos)
            line++;
        return line;
    }
};

class EditMessages : public ControlTest {
protected:
    HWND entry(ULONG style = 0) { return make("EDIT", style, 10, 200, 24); }
    HWND mle() { return make("MLE", kMleVScroll, 11, 200, 120); }
    static std::pair<DWORD, DWORD> nativeSel(HWND h)
    {
        DWORD s = 0, e = 0;
        SendMessageA(h, EM_GETSEL, (WPARAM)&s, (LPARAM)&e);
        return {s, e};
    }
};

TEST_F(EditMessages, ReadOnlyFollowsTheNativeStyle)
{
    HWND ro = entry(PM_ES_READONLY);
    HWND rw = entry();
    EXPECT_EQ(asLong(WinSendMsg(ro, PM_EM_QUERYREADONLY, 0, 0)), 1);
    EXPECT_EQ(asLong(WinSendMsg(rw, PM_EM_QUERYREADONLY, 0, 0)), 0);
    WinSendMsg(rw, PM_EM_SETREADONLY, MPFROMLONG(1), 0);
    EXPECT_TRUE(GetWindowLongA(rw, GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(asLong(WinSendMsg(rw, PM_EM_QUERYREADONLY, 0, 0)), 1);
    WinSendMsg(ro, PM_EM_SETREADONLY, MPFROMLONG(0), 0);
    EXPECT_FALSE(GetWindowLongA(ro, GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(asLong(WinSendMsg(ro, PM_EM_QUERYREADONLY, 0, 0)), 0);
}

TEST_F(EditMessages, EntryFieldSelectionLimitChangedAndClear)
{
    HWND e = entry();
    SetWindowTextA(e, "hello world");
    WinSendMsg(e, PM_EM_SETSEL, MPFROM2SHORT(2, 7), 0);
    EXPECT_EQ(nativeSel(e), std::make_pair((DWORD)2, (DWORD)7));
    EXPECT_EQ((ULONG_PTR)WinSendMsg(e, PM_EM_QUERYSEL, 0, 0), (ULONG_PTR)MAKELONG(2, 7));
    WinSendMsg(e, PM_EM_SETSEL, MPFROM2SHORT(0, 6), 0);
    WinSendMsg(e, PM_EM_CLEAR, 0, 0);
    EXPECT_EQ(windowText(e), "world");

    WinSendMsg(e, PM_EM_SETTEXTLIMIT, MPFROM2SHORT(9, 0), 0);
    EXPECT_EQ(SendMessageA(e, EM_GETLIMITTEXT, 0, 0), 9);
    SendMessageA(e, EM_SETMODIFY, TRUE, 0);
    EXPECT_NE(asLong(WinSendMsg(e, PM_EM_QUERYCHANGED, 0, 0)), 0);
    SendMessageA(e, EM_SETMODIFY, FALSE, 0);
    EXPECT_EQ(asLong(WinSendMsg(e, PM_EM_QUERYCHANGED, 0, 0)), 0);
}

TEST_F(EditMessages, MultiLineSelectionSelectors)
{
    HWND m = mle();
    SetWindowTextA(m, "abcdef\r\nghij");
    WinSendMsg(m, PM_MLM_SETSEL, (MPARAM)3, (MPARAM)9);
    EXPECT_EQ(nativeSel(m), std::make_pair((DWORD)3, (DWORD)9));
    EXPECT_EQ((ULONG_PTR)WinSendMsg(m, PM_MLM_QUERYSEL, MPFROMLONG(PM_MLFQS_MINMAXSEL), 0),
              (ULONG_PTR)MAKELONG(3, 9));
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYSEL, MPFROMLONG(PM_MLFQS_MINSEL), 0)), 3);
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYSEL, MPFROMLONG(PM_MLFQS_MAXSEL), 0)), 9);
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYSEL, MPFROMLONG(PM_MLFQS_ANCHORSEL), 0)), 3);
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYSEL, MPFROMLONG(PM_MLFQS_CURSORSEL), 0)), 9);
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYSEL, MPFROMLONG(5), 0)), 0);
}

TEST_F(EditMessages, MultiLineLinesAndLengthsMatchTheText)
{
    HWND m = mle();
    const std::string text = "first line\r\nsecond\r\n\r\nlast one here";
    SetWindowTextA(m, text.c_str());
    Lines lines(text);
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYLINECOUNT, 0, 0)), (LONG_PTR)lines.starts.size());
    for (size_t i = 0; i < lines.starts.size(); i++) {
        EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_CHARFROMLINE, MPFROMLONG(i), 0)),
                  (LONG_PTR)lines.starts[i]) << "line " << i;
        size_t pos = lines.starts[i];
        EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_LINEFROMCHAR, MPFROMLONG(pos), 0)), (LONG_PTR)i);
        EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYLINELENGTH, MPFROMLONG(pos), 0)),
                  (LONG_PTR)lines.lengths[i]) << "line " << i;
        EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYFORMATLINELENGTH, MPFROMLONG(pos), 0)),
                  (LONG_PTR)lines.lengths[i]);
    }
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYTEXTLENGTH, 0, 0)), (LONG_PTR)text.size());
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYTEXTLIMIT, 0, 0)), (LONG_PTR)text.size());
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYFORMATTEXTLENGTH, MPFROMLONG(4), 0)),
              (LONG_PTR)text.size() - 4);
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYFIRSTCHAR, 0, 0)), 0);
}

TEST_F(EditMessages, MultiLineChangedFlagLimitAndUndo)
{
    HWND m = mle();
    SetWindowTextA(m, "abc");
    WinSendMsg(m, PM_MLM_SETCHANGED, MPFROMLONG(1), 0);
    EXPECT_NE(SendMessageA(m, EM_GETMODIFY, 0, 0), 0);
    EXPECT_NE(asLong(WinSendMsg(m, PM_MLM_QUERYCHANGED, 0, 0)), 0);
    WinSendMsg(m, PM_MLM_SETCHANGED, MPFROMLONG(0), 0);
    EXPECT_EQ(SendMessageA(m, EM_GETMODIFY, 0, 0), 0);
    WinSendMsg(m, PM_MLM_SETTEXTLIMIT, MPFROMLONG(500), 0);
    EXPECT_EQ(SendMessageA(m, EM_GETLIMITTEXT, 0, 0), 500);

    SendMessageA(m, EM_SETSEL, 3, 3);
    SendMessageA(m, EM_REPLACESEL, TRUE, (LPARAM) "def");
    EXPECT_EQ(windowText(m), "abcdef");
    EXPECT_NE(asLong(WinSendMsg(m, PM_MLM_QUERYUNDO, 0, 0)), 0);
    WinSendMsg(m, PM_MLM_UNDO, 0, 0);
    EXPECT_EQ(windowText(m), "abc");
    SendMessageA(m, EM_REPLACESEL, TRUE, (LPARAM) "x");
    WinSendMsg(m, PM_MLM_RESETUNDO, 0, 0);
    EXPECT_EQ(SendMessageA(m, EM_CANUNDO, 0, 0), 0);
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_QUERYUNDO, 0, 0)), 0);
}

TEST_F(EditMessages, TabStopInPixelsBecomesDialogUnits)
{
    HWND m = mle();
    LONG base = LOWORD(GetDialogBaseUnits());
    ASSERT_GT(base, 0);
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_SETTABSTOP, MPFROMLONG(10 * base + base / 2), 0)), 10);
}

TEST_F(EditMessages, ImportInsertsAtThePointAndMovesIt)
{
    HWND m = mle();
    std::string model = "line1\r\nline2";
    SetWindowTextA(m, model.c_str());
    char buf[8];
    std::memcpy(buf, "ABCDEFGH", 8);
    ASSERT_EQ(asLong(WinSendMsg(m, PM_MLM_SETIMPORTEXPORT, buf, MPFROMLONG(sizeof buf))), 1);

    ULONG point = 5;
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_IMPORT, &point, MPFROMLONG(3))), 3);
    model.insert(5, "ABC");
    EXPECT_EQ(windowText(m), model);
    EXPECT_EQ(point, 8u);
    EXPECT_EQ(std::string(buf, 8), "ABCDEFGH");   // the borrowed byte is back
    // the count is cut to the usable size (7 of 8 bytes)
    point = 0;
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_IMPORT, &point, MPFROMLONG(100))), 7);
    model.insert(0, "ABCDEFG");
    EXPECT_EQ(windowText(m), model);
    EXPECT_EQ(point, 7u);
    // 0xFFFFFFFF inserts at the current selection
    SendMessageA(m, EM_SETSEL, 2, 2);
    point = 0xFFFFFFFF;
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_IMPORT, &point, MPFROMLONG(1))), 1);
    model.insert(2, "A");
    EXPECT_EQ(windowText(m), model);
    EXPECT_EQ(point, 3u);
    // a null point is refused and changes nothing
    SetLastError(0);
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_IMPORT, NULL, MPFROMLONG(1))), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(windowText(m), model);
    WinSendMsg(m, PM_MLM_SETIMPORTEXPORT, NULL, 0);
}

TEST_F(EditMessages, ExportCopiesFromTheStartPointAndReportsLineCrossing)
{
    HWND m = mle();
    const std::string text = "alpha\r\nbeta\r\ngamma";
    SetWindowTextA(m, text.c_str());
    Lines lines(text);
    for (ULONG bytes : {6u, 64u}) {
        std::vector<char> buf(bytes, '#');
        WinSendMsg(m, PM_MLM_SETIMPORTEXPORT, buf.data(), MPFROMLONG(bytes));
        ULONG usable = bytes - 1;
        for (ULONG s : {0u, 3u, 5u, 14u, 17u}) {
            for (ULONG c : {1u, 4u, 100u}) {
                ULONG start = s, count = c;
                ULONG k = std::min<ULONG>(std::min(usable, c), (ULONG)text.size() - s);
                SCOPED_TRACE("bytes " + std::to_string(bytes) + " s " + std::to_string(s) +
                             " c " + std::to_string(c));
                EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_EXPORT, &start, &count)), (LONG_PTR)k);
                EXPECT_EQ(std::string(buf.data()), text.substr(s, k));
                EXPECT_EQ(start, s + k);
                ULONG crossed = k && lines.lineOf(s) != lines.lineOf(s + k - 1);
                EXPECT_EQ(count, crossed);
            }
        }
    }
    // 0xFFFFFFFF starts at the selection
    std::vector<char> buf(32, '#');
    WinSendMsg(m, PM_MLM_SETIMPORTEXPORT, buf.data(), MPFROMLONG(32));
    SendMessageA(m, EM_SETSEL, 7, 9);
    ULONG start = 0xFFFFFFFF, count = 4;
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_EXPORT, &start, &count)), 4);
    EXPECT_STREQ(buf.data(), "beta");
    EXPECT_EQ(start, 11u);
    EXPECT_EQ(count, 0u);
    WinSendMsg(m, PM_MLM_SETIMPORTEXPORT, NULL, 0);
    start = 0;
    count = 4;
    EXPECT_EQ(asLong(WinSendMsg(m, PM_MLM_EXPORT, &start, &count)), 0);
}

} // namespace
