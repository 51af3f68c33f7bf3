// Every message of 0x120...0x3FF sent to every kind of native control (and
// to a plain native window): nothing crashes, and the messages that have
// no native meaning reach the control not at all.  Each control is
// subclassed so that the test counts the native messages it receives.
#include <set>
#include "ctltest.h"

using namespace pmtest;
using namespace ctltest;

namespace {

struct Range {
    ULONG first, last;
};

// Messages that make no native call, from the documented behaviour.
const Range kSilent[] = {
    {0x120, 0x120}, {0x127, 0x13F}, {0x144, 0x145}, {0x147, 0x147}, {0x149, 0x149},
    {0x14C, 0x15E}, {0x16C, 0x16C}, {0x16F, 0x16F}, {0x171, 0x173}, {0x176, 0x19F},
    {0x1A7, 0x1AF}, {0x1B2, 0x1B5}, {0x1B7, 0x1B9}, {0x1C2, 0x1C2}, {0x1C5, 0x1C6},
    {0x1C9, 0x1C9}, {0x1CC, 0x1CC}, {0x1D0, 0x1D5}, {0x1D7, 0x3FF},
};
// Messages that reach the control through functions rather than messages,
// or only with a buffer: not counted either way.
const Range kUncounted[] = {{0x14A, 0x14A}, {0x1A0, 0x1A6}, {0x1C3, 0x1C4}};

bool in(const Range *ranges, size_t n, ULONG msg)
{
    for (size_t i = 0; i < n; i++)
        if (msg >= ranges[i].first && msg <= ranges[i].last)
            return true;
    return false;
}

bool silentFor(ULONG msg, USHORT kind)
{
    if (in(kSilent, std::size(kSilent), msg))
        return true;
    // top index only exists for list boxes
    return kind != OWM_CTL_LISTBOX && (msg == 0x162 || msg == 0x16D);
}

ULONG_PTR expectedSilentResult(ULONG msg)
{
    return msg == 0x1B4 || msg == 0x1C2 ? 1 : 0;
}

int received = 0;
WNDPROC original = NULL;

LRESULT CALLBACK counting(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    received++;
    return CallWindowProcA(original, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK plainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class Sweep : public ControlTest {
protected:
    std::vector<char> scratch = std::vector<char>(1 << 18, 0);
    void SetUp() override
    {
        ControlTest::SetUp();
        for (const char *name : {"VLIST", "OrinPlainWindow"}) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = plainProc;
            wc.hInstance = GetModuleHandleA(NULL);
            wc.lpszClassName = name;
            wc.style = CS_GLOBALCLASS;
            RegisterClassA(&wc);
        }
    }

    // Sends every message twice (null parameters, then pointers into a
    // large zeroed scratch area) and checks the silent ones.
    void sweep(HWND ctl, const char *what)
    {
        USHORT kind = OwmQueryControlKind(ctl);
        bool translated = kind != OWM_CTL_NONE || std::string(what) == "SCROLLBAR";
        original = (WNDPROC)SetWindowLongPtrA(ctl, GWLP_WNDPROC, (LONG_PTR)counting);
        MPARAM pointers[2][2] = {{NULL, NULL},
                                 {scratch.data(), scratch.data() + scratch.size() / 2}};
        for (auto &mp : pointers) {
            for (ULONG msg = 0x120; msg <= 0x3FF; msg++) {
                received = 0;
                MRESULT r = WinSendMsg(ctl, msg, mp[0], mp[1]);
                ASSERT_TRUE(IsWindow(ctl)) << what << " " << std::hex << msg;
                bool silent = !translated || silentFor(msg, kind);
                if (silent) {
                    EXPECT_EQ(received, 0) << what << " message " << std::hex << msg;
                    ULONG_PTR want = translated ? expectedSilentResult(msg) : 0;
                    EXPECT_EQ((ULONG_PTR)r, want) << what << " message " << std::hex << msg;
                } else if (!in(kUncounted, std::size(kUncounted), msg)) {
                    EXPECT_GT(received, 0) << what << " message " << std::hex << msg;
                }
            }
            WinSendMsg(ctl, PM_MLM_SETIMPORTEXPORT, NULL, 0);
        }
        SetWindowLongPtrA(ctl, GWLP_WNDPROC, (LONG_PTR)original);
    }
};

TEST_F(Sweep, EveryControlKindSurvivesEveryMessage)
{
    struct Kind {
        const char *cls;
        ULONG style;
        USHORT expectKind;
    };
    const Kind kinds[] = {
        {"BUTTON", 0, OWM_CTL_BUTTON},     {"BUTTON", 1, OWM_CTL_BUTTON},
        {"EDIT", 0, OWM_CTL_ENTRY},        {"MLE", 0x8, OWM_CTL_MLE},
        {"LISTBOX", 0, OWM_CTL_LISTBOX},   {"COMBOBOX", 4, OWM_CTL_COMBOBOX},
        {"COMBOBOX", 1, OWM_CTL_COMBOBOX}, {"STATIC", 0, OWM_CTL_STATIC},
        {"VLIST", 0, OWM_CTL_VLIST},       {"SCROLLBAR", 1, OWM_CTL_NONE},
        {"OrinPlainWindow", 0, OWM_CTL_NONE},
    };
    int id = 100;
    for (const Kind &k : kinds) {
        HWND ctl = make(k.cls, k.style, id++);
        ASSERT_NE(ctl, (HWND)NULL) << k.cls;
        ASSERT_EQ(OwmQueryControlKind(ctl), k.expectKind) << k.cls;
        if (k.expectKind == OWM_CTL_LISTBOX || k.expectKind == OWM_CTL_COMBOBOX)
            nativeFill(ctl, {"one", "two", "three"});
        else
            SetWindowTextA(ctl, "some text\r\nand more");
        sweep(ctl, k.cls);
        if (HasFatalFailure())
            return;
        WinDestroyWindow(ctl);
    }
}

TEST_F(Sweep, DestroyedAndNullWindowsAnswerZero)
{
    HWND lb = make("LISTBOX", 0, 3);
    WinDestroyWindow(lb);
    for (ULONG msg = 0x120; msg <= 0x1DF; msg++) {
        EXPECT_EQ(WinSendMsg(lb, msg, NULL, NULL), (MRESULT)0) << std::hex << msg;
        EXPECT_EQ(WinSendMsg(NULL, msg, NULL, NULL), (MRESULT)0) << std::hex << msg;
    }
}

} // namespace
