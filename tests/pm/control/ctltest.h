// Shared by the control-message tests: a PM owner window (from pmtest.h)
// with native controls made through WinCreateWindow, and readers that ask
// the native controls directly.
#ifndef CTLTEST_H
#define CTLTEST_H

#include <string>
#include <vector>
#include "pm/pmtest.h"

namespace ctltest {

inline LONG_PTR asLong(MRESULT r)
{
    return (LONG_PTR)r;
}

class ControlTest : public pmtest::PMWindowTest {
protected:
    HWND make(const char *cls, ULONG pmStyle, ULONG id, LONG cx = 120, LONG cy = 100)
    {
        HWND h = child(cls, pmStyle | PM_WS_VISIBLE, id, 5, 5, cx, cy);
        EXPECT_NE(h, (HWND)NULL) << cls;
        return h;
    }
};

// What a native list box or combo box holds, read with its own messages.
inline bool isListBox(HWND h)
{
    return OwmQueryControlKind(h) == OWM_CTL_LISTBOX;
}

inline LRESULT nativeCount(HWND h)
{
    return SendMessageA(h, isListBox(h) ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
}

inline LRESULT nativeSelection(HWND h)
{
    return SendMessageA(h, isListBox(h) ? LB_GETCURSEL : CB_GETCURSEL, 0, 0);
}

inline std::vector<std::string> nativeItems(HWND h)
{
    std::vector<std::string> items;
    bool lb = isListBox(h);
    for (LRESULT i = 0; i < nativeCount(h); i++) {
        char buf[256] = {};
        SendMessageA(h, lb ? LB_GETTEXT : CB_GETLBTEXT, (WPARAM)i, (LPARAM)buf);
        items.push_back(buf);
    }
    return items;
}

inline void nativeFill(HWND h, const std::vector<std::string> &items)
{
    for (const std::string &s : items)
        SendMessageA(h, isListBox(h) ? LB_ADDSTRING : CB_ADDSTRING, 0, (LPARAM)s.c_str());
}

inline std::string windowText(HWND h)
{
    char buf[1024] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

} // namespace ctltest

#endif
