/*
 * win_class.c - the PM class table and class registration.
 *
 * Every PM class is a native class whose procedure is the front end
 * OWMFrontEndWndProc, with 24 window extra bytes (the window record
 * pointer at byte 8, the PM marker at byte 16).  The library also keeps
 * its own table of at most 100 entries (name, PM procedure, window-data
 * size, PM class style) in registration order; the front end finds a
 * window's PM procedure there when the window is created.  Names compare
 * byte for byte.  Removing an entry closes the gap.
 */
#include <stdlib.h>
#include <string.h>
#include "pm/pmint.h"

#define NATIVE_CLASS_STYLE  (CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS)
#define SMALL_ICON_SIZE     16

static OWMCLASS *classTable[OWM_MAX_CLASSES];
static USHORT classCount;

HINSTANCE OwmLibInstance(void)
{
    static HINSTANCE self;
    if (!self)
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           (LPCSTR)(void *)&OwmLibInstance, &self);
    return self;
}

static int findIndex(const char *name)
{
    USHORT i;
    for (i = 0; i < classCount; i++)
        if (strcmp(classTable[i]->name, name) == 0)
            return i;
    return -1;
}

OWMCLASS *OwmFindClass(const char *name)
{
    int i;
    if (!name || IS_INTRESOURCE(name))
        return NULL;
    i = findIndex(name);
    return i < 0 ? NULL : classTable[i];
}

/* Registers the native class; an existing native class of that name is
 * accepted (it may survive a failed or repeated registration). */
static BOOL registerNative(HINSTANCE hinst, const char *name, ULONG flStyle)
{
    WNDCLASSEXA wc;
    WNDCLASSA plain;

    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = NATIVE_CLASS_STYLE | ((flStyle & PM_CS_SAVEBITS) ? CS_SAVEBITS : 0);
    wc.lpfnWndProc = (WNDPROC)OWMFrontEndWndProc;
    wc.cbWndExtra = OWM_WND_EXTRA;
    wc.hInstance = hinst;
    wc.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    wc.hIconSm = (HICON)LoadImageA(NULL, (LPCSTR)IDI_APPLICATION, IMAGE_ICON,
                                   SMALL_ICON_SIZE, SMALL_ICON_SIZE, LR_SHARED);
    wc.lpszClassName = name;
    if (RegisterClassExA(&wc))
        return TRUE;
    if (GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        return TRUE;

    memset(&plain, 0, sizeof plain);
    plain.style = wc.style;
    plain.lpfnWndProc = wc.lpfnWndProc;
    plain.cbWndExtra = OWM_WND_EXTRA;
    plain.hInstance = hinst;
    plain.hIcon = wc.hIcon;
    plain.lpszClassName = name;
    return RegisterClassA(&plain) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

BOOL ORINAPI WinRegisterClass(HAB hab, const char *pszClassName, PFNWP pfnWndProc,
                              ULONG flStyle, USHORT cbWindowData) noexcept
{
    HINSTANCE hinst = hab ? (HINSTANCE)hab : OwmLibInstance();
    OWMCLASS *cls;

    if (!pszClassName || IS_INTRESOURCE(pszClassName) || !*pszClassName) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return FALSE;
    }
    if (findIndex(pszClassName) >= 0)
        return TRUE;
    if (!registerNative(hinst, pszClassName, flStyle))
        return FALSE;
    if (classCount >= OWM_MAX_CLASSES) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return FALSE;
    }
    cls = (OWMCLASS*)calloc(1, sizeof *cls);
    if (cls)
        cls->name = _strdup(pszClassName);
    if (!cls || !cls->name) {
        free(cls);
        SetLastError(ORIN_ERR_NO_MEMORY);
        return FALSE;
    }
    cls->pfnWndProc = pfnWndProc;
    cls->cbWindowData = cbWindowData;
    cls->flStyle = flStyle;
    cls->reserved = 0;
    cls->hinst = hinst;
    classTable[classCount++] = cls;
    return TRUE;
}

static void removeAt(int i)
{
    OWMCLASS *cls = classTable[i];
    UnregisterClassA(cls->name, cls->hinst);
    memmove(&classTable[i], &classTable[i + 1],
            (classCount - i - 1) * sizeof classTable[0]);
    classCount--;
    free(cls->name);
    free(cls);
}

BOOL ORINAPI WinUnRegisterClass(HAB hab, const char *pszClassName) noexcept
{
    int i;
    (void)hab;
    if (!pszClassName || IS_INTRESOURCE(pszClassName))
        return FALSE;
    i = findIndex(pszClassName);
    if (i < 0)
        return FALSE;
    removeAt(i);
    return TRUE;
}

void OwmFreeClassTable(void)
{
    while (classCount)
        removeAt(classCount - 1);
}
