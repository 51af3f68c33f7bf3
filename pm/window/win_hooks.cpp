/*
 * win_hooks.c - the points where the layers built on top of windows and
 * messages join in: dialogs, standard frames, the MDI accelerators, pop-up
 * menus, control-message translation and owner drawing.
 *
 * Each hook is one small function so that its layer can take it over.
 * Until then they answer as an application without that layer sees it: no
 * window is a dialog or a standard frame, no control message is
 * translated, owner drawing is left to the native default, and context
 * menus show nothing.
 */
#include "pm/pmint.h"

BOOL ORINAPI OwmIsDlgWindowPM(HWND hwnd) noexcept
{
    (void)hwnd;
    return FALSE;
}

BOOL ORINAPI OwmIsStdWindow(HWND hwnd) noexcept
{
    (void)hwnd;
    return FALSE;
}

BOOL OwmHookDlgMessage(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, MRESULT *result)
{
    (void)hwnd; (void)msg; (void)mp1; (void)mp2; (void)result;
    return FALSE;
}

HWND OwmHookDlgRelation(HWND hwnd, LONG cmd)
{
    (void)cmd;
    return GetParent(hwnd);
}

BOOL OwmHookDlgWindowWord(HWND hwnd, LONG index, ULONG_PTR *value)
{
    (void)hwnd; (void)index; (void)value;
    return FALSE;
}

BOOL OwmHookDlgInput(HWND hwnd, USHORT **cEnable, USHORT **cDisable)
{
    (void)hwnd; (void)cEnable; (void)cDisable;
    return FALSE;
}

HWND OwmHookModalDialog(void)
{
    return NULL;
}

BOOL OwmHookCtlMessage(HWND hwnd, USHORT kind, ULONG msg, MPARAM mp1, MPARAM mp2,
                       MRESULT *result)
{
    (void)hwnd; (void)kind; (void)msg; (void)mp1; (void)mp2; (void)result;
    return FALSE;
}

BOOL OwmHookMdiAccel(HWND *hwnd, MSG *msg)
{
    (void)hwnd; (void)msg;
    return FALSE;
}

LRESULT OwmHookDrawItem(HWND hwnd, DRAWITEMSTRUCT *dis)
{
    (void)hwnd; (void)dis;
    return 0;
}

void OwmHookPopupClear(void)
{
}

void OwmHookPopupShow(HWND hwnd)
{
    (void)hwnd;
}

void OwmHookPopupCommand(HWND hwnd, USHORT item)
{
    (void)hwnd; (void)item;
}

USHORT OwmHookMenuPopupId(HWND hwnd, HMENU menu, USHORT item)
{
    (void)hwnd; (void)menu;
    return item;
}

void OwmHookDriveChange(void)
{
}

void OwmHookDestroyStdWindows(void)
{
}
