/*
 * msg_command.c - native command messages as PM WM_COMMAND / WM_CONTROL.
 *
 * Menus and accelerators become WM_COMMAND with the source (menu or
 * accelerator) in mp2.  Notifications of a control that belongs to the
 * window become WM_CONTROL with the PM notification code for the control's
 * kind (push buttons become WM_COMMAND, as PM push buttons command their
 * owner).  A control that is neither a child of the window nor a sibling
 * of it with that id becomes WM_COMMAND with all bits above the id set.
 * Notification codes the tables do not list go to the native default.
 */
#include "pm/pmint.h"

#define ACCEL_NOTIFICATION  1
#define NO_CODE             0xFFFF
#define HELP_BUTTON_ID      9
#define PM_BN_CLICKED       1
#define PM_BN_DBLCLICKED    2
#define COMMAND_FROM_BUTTON 0x10001
#define FOREIGN_ID_BITS     (~(ULONG_PTR)0xFFFF)

typedef struct { USHORT native, pm; } CODEMAP;

static const CODEMAP comboCodes[] = {
    { 1, 104 }, { 2, 107 }, { 9, 107 }, { 3, 1 }, { 4, 2 }, { 5, 101 }, { 6, 101 },
    { 7, 106 }, { 8, 108 }, { 10, 109 },
};
static const CODEMAP entryCodes[] = {
    { 0x100, 1 }, { 0x200, 2 }, { 0x300, 4 }, { 0x500, 0x10 }, { 0x501, 0x20 },
    { 0x601, 8 }, { 0x602, 8 },
};
static const CODEMAP listCodes[] = {
    { 1, 1 }, { 2, 5 }, { 4, 2 }, { 5, 3 },
};
static const CODEMAP mleCodes[] = {
    { 0x100, 8 }, { 0x200, 9 }, { 0x300, 7 }, { 0x500, 12 }, { 0x501, 1 },
    { 0x601, 6 }, { 0x602, 5 },
};
#define MAP(t) t, sizeof t / sizeof t[0]

static USHORT lookup(const CODEMAP *map, size_t n, USHORT native)
{
    size_t i;
    for (i = 0; i < n; i++)
        if (map[i].native == native)
            return map[i].pm;
    return NO_CODE;
}

static BOOL isPushButton(HWND ctl)
{
    ULONG type = (ULONG)GetWindowLongA(ctl, GWL_STYLE) & 0xF;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

static MRESULT callPM(HWND hwnd, OWMWND *rec, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    return rec->pfnWndProc ? rec->pfnWndProc(hwnd, msg, mp1, mp2) : 0;
}

/* Sends the button's PM message; returns FALSE when not translated. */
static BOOL buttonCommand(HWND hwnd, OWMWND *rec, HWND ctl, USHORT id, USHORT code,
                          MRESULT *reply)
{
    if (code == BN_CLICKED && isPushButton(ctl)) {
        *reply = callPM(hwnd, rec, id == HELP_BUTTON_ID ? OWM_NM_HELP : PM_WM_COMMAND,
                        MPFROMLONG(id), MPFROMLONG(COMMAND_FROM_BUTTON));
        return TRUE;
    }
    if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
        USHORT pm = code == BN_CLICKED ? PM_BN_CLICKED : PM_BN_DBLCLICKED;
        *reply = callPM(hwnd, rec, PM_WM_CONTROL, MPFROM2SHORT(id, pm), ctl);
        return TRUE;
    }
    return FALSE;
}

LRESULT OwmCommandMessage(HWND hwnd, OWMWND *rec, WPARAM wParam, LPARAM lParam)
{
    USHORT id = LOWORD(wParam), code = HIWORD(wParam), pm = NO_CODE;
    HWND ctl = (HWND)lParam;
    MRESULT reply;

    if (!ctl) {
        if (id >= OWM_POPUP_CMD_BASE) {
            OwmHookPopupCommand(hwnd, (USHORT)(id - OWM_POPUP_CMD_BASE));
            return 0;
        }
        reply = callPM(hwnd, rec, PM_WM_COMMAND, MPFROMLONG(id),
                       MPFROM2SHORT(code == ACCEL_NOTIFICATION ? PM_CMDSRC_ACCELERATOR
                                                               : PM_CMDSRC_MENU, 1));
    } else if (GetDlgItem(hwnd, id) != ctl &&
               !(GetParent(hwnd) && GetDlgItem(GetParent(hwnd), id) == ctl)) {
        reply = callPM(hwnd, rec, PM_WM_COMMAND, (MPARAM)(FOREIGN_ID_BITS | id), ctl);
    } else {
        switch (OwmQueryControlKind(ctl)) {
        case OWM_CTL_BUTTON:
            if (!buttonCommand(hwnd, rec, ctl, id, code, &reply))
                return DefWindowProcA(hwnd, WM_COMMAND, wParam, lParam);
            return reply ? DefWindowProcA(hwnd, WM_COMMAND, wParam, lParam) : 0;
        case OWM_CTL_COMBOBOX: pm = lookup(MAP(comboCodes), code); break;
        case OWM_CTL_ENTRY:    pm = lookup(MAP(entryCodes), code); break;
        case OWM_CTL_LISTBOX:
        case OWM_CTL_VLIST:    pm = lookup(MAP(listCodes), code); break;
        case OWM_CTL_MLE:      pm = lookup(MAP(mleCodes), code); break;
        }
        if (pm == NO_CODE)
            return DefWindowProcA(hwnd, WM_COMMAND, wParam, lParam);
        reply = callPM(hwnd, rec, PM_WM_CONTROL, MPFROM2SHORT(id, pm), ctl);
    }
    return reply ? DefWindowProcA(hwnd, WM_COMMAND, wParam, lParam) : 0;
}
