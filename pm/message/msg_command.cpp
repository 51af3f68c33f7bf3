/*
 * msg_command.cpp - native command messages as PM WM_COMMAND / WM_CONTROL.
 *
 * Menus and accelerators become WM_COMMAND with the source (menu or
 * accelerator) in mp2.  Notifications of a control that belongs to the
 * window become WM_CONTROL with the PM notification code for the control's
 * kind (push buttons become WM_COMMAND, as PM push buttons command their
 * owner).  A control that is neither a child of the window nor a sibling
 * of it with that id becomes WM_COMMAND with all bits above the id set.
 * Notification codes the tables do not list go to the native default.
 */
#include <span>
#include "pm/pmint.h"

namespace orin::pm {
namespace {

constexpr USHORT kAccelNotification = 1;
constexpr USHORT kNoCode = 0xFFFF;
constexpr USHORT kHelpButtonId = 9;
constexpr USHORT kPmBnClicked = 1;
constexpr USHORT kPmBnDblClicked = 2;
constexpr ULONG kCommandFromButton = 0x10001;
constexpr ULONG_PTR kForeignIdBits = ~static_cast<ULONG_PTR>(0xFFFF);
constexpr ULONG kNativeButtonType = 0xF;

struct CodeMap {
    USHORT native, pm;
};

constexpr CodeMap kComboCodes[] = {
    {1, 104}, {2, 107}, {9, 107}, {3, 1}, {4, 2}, {5, 101}, {6, 101}, {7, 106}, {8, 108}, {10, 109},
};
constexpr CodeMap kEntryCodes[] = {
    {0x100, 1}, {0x200, 2}, {0x300, 4}, {0x500, 0x10}, {0x501, 0x20}, {0x601, 8}, {0x602, 8},
};
constexpr CodeMap kListCodes[] = {
    {1, 1}, {2, 5}, {4, 2}, {5, 3},
};
constexpr CodeMap kMleCodes[] = {
    {0x100, 8}, {0x200, 9}, {0x300, 7}, {0x500, 12}, {0x501, 1}, {0x601, 6}, {0x602, 5},
};

USHORT lookup(std::span<const CodeMap> map, USHORT native) noexcept
{
    for (const CodeMap &m : map)
        if (m.native == native)
            return m.pm;
    return kNoCode;
}

/* The PM notification code of a control of this kind; kNoCode if none. */
USHORT controlCode(USHORT kind, USHORT native) noexcept
{
    switch (kind) {
    case OWM_CTL_COMBOBOX: return lookup(kComboCodes, native);
    case OWM_CTL_ENTRY:    return lookup(kEntryCodes, native);
    case OWM_CTL_LISTBOX:
    case OWM_CTL_VLIST:    return lookup(kListCodes, native);
    case OWM_CTL_MLE:      return lookup(kMleCodes, native);
    default:               return kNoCode;
    }
}

bool isPushButton(HWND ctl) noexcept
{
    ULONG type = static_cast<ULONG>(GetWindowLongA(ctl, GWL_STYLE)) & kNativeButtonType;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

/* Whether ctl is the window's control with that id, or its parent's. */
bool isOwnControl(HWND hwnd, HWND ctl, USHORT id) noexcept
{
    if (GetDlgItem(hwnd, id) == ctl)
        return true;
    HWND parent = GetParent(hwnd);
    return parent && GetDlgItem(parent, id) == ctl;
}

/* The PM reply 0 means handled; any other leaves the command to the
 * native default. */
NativeReply fromReply(MRESULT reply) noexcept
{
    return reply ? kLeaveToNative : NativeAnswer(0);
}

/* A button's notification: push buttons command, others are controls. */
NativeReply buttonCommand(HWND hwnd, PFNWP proc, HWND ctl, WPARAM wParam)
{
    USHORT id = LOWORD(wParam), code = HIWORD(wParam);
    if (code == BN_CLICKED && isPushButton(ctl))
        return fromReply(OwmCallPM(hwnd, proc, id == kHelpButtonId ? kNmHelp : PM_WM_COMMAND,
                                   MPFROMLONG(id), MPFROMLONG(kCommandFromButton)));
    if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
        USHORT pm = code == BN_CLICKED ? kPmBnClicked : kPmBnDblClicked;
        return fromReply(OwmCallPM(hwnd, proc, PM_WM_CONTROL, MPFROM2SHORT(id, pm), ctl));
    }
    return kLeaveToNative;
}

/* A command from a menu or an accelerator (no control). */
NativeReply menuCommand(HWND hwnd, PFNWP proc, WPARAM wParam)
{
    USHORT id = LOWORD(wParam), code = HIWORD(wParam);
    if (id >= kPopupCmdBase) {
        OwmHookPopupCommand(hwnd, static_cast<USHORT>(id - kPopupCmdBase));
        return NativeAnswer(0);
    }
    USHORT source = code == kAccelNotification ? PM_CMDSRC_ACCELERATOR : PM_CMDSRC_MENU;
    return fromReply(OwmCallPM(hwnd, proc, PM_WM_COMMAND, MPFROMLONG(id), MPFROM2SHORT(source, 1)));
}

}  // namespace

NativeReply OwmCommandMessage(HWND hwnd, PFNWP proc, WPARAM wParam, LPARAM lParam)
{
    USHORT id = LOWORD(wParam), code = HIWORD(wParam);
    auto ctl = reinterpret_cast<HWND>(lParam);
    if (!ctl)
        return menuCommand(hwnd, proc, wParam);
    if (!isOwnControl(hwnd, ctl, id)) {
        auto foreignId = reinterpret_cast<MPARAM>(kForeignIdBits | id);
        return fromReply(OwmCallPM(hwnd, proc, PM_WM_COMMAND, foreignId, ctl));
    }
    USHORT kind = OwmQueryControlKind(ctl);
    if (kind == OWM_CTL_BUTTON)
        return buttonCommand(hwnd, proc, ctl, wParam);
    USHORT pm = controlCode(kind, code);
    if (pm == kNoCode)
        return kLeaveToNative;
    return fromReply(OwmCallPM(hwnd, proc, PM_WM_CONTROL, MPFROM2SHORT(id, pm), ctl));
}

}  // namespace orin::pm
