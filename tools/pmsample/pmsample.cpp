/*
 * pmsample.cpp - a small PM program on orin.dll.  Its main window is a
 * standard frame (title bar, system menu, sizing border, menu bar, icon,
 * accelerator table and both scroll bars) whose client holds a push
 * button, an entry field and a list box; next to it runs an MDI desktop
 * with two documents, each with a menu bar of its own that replaces the
 * desktop's while the document is active.  The program runs the PM
 * message loop and closes itself from a timer.
 *
 * Everything goes through the PM calls: the client's procedure sees PM
 * messages (WM_CREATE, WM_COMMAND, WM_CONTROL, WM_TIMER, WM_CLOSE) in PM
 * coordinates, and the program prints what arrives.  The entry field and
 * list box are driven with PM control messages.  The button is
 * "pressed" with a native click, and F5 is pressed through the frame's
 * accelerator table, so both commands travel the whole way from native
 * input to the PM procedure.  Before it ends, the program writes a picture
 * of its main window (PrintWindow into a DIB, then each child that draws
 * itself on a print request, which the system's request may leave out) to
 * pmsample.bmp next to the program.
 *
 * Help/About (posted as the menu would send it) opens a modal dialog whose
 * entry field gets a typed Enter, which presses its default button; a
 * context-menu request on the client collects the client's items and shows
 * them as a pop-up menu, where a helper thread plays the user and picks
 * the second item with the arrow and Enter keys.
 *
 * Usage: pmsample [TICKS]   (timer ticks of 50 ms before it closes, default 5)
 */
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>
#include "knl.h"
#include "opmmdi.h"
#include "owmpopup.h"
#include "win.h"
#include "windlg.h"

namespace {

constexpr const char *kClassName = "PmSample";
constexpr ULONG kIdButton = 101;
constexpr ULONG kIdEntry = 102;
constexpr ULONG kIdList = 103;
constexpr ULONG kIdTimer = 1;
constexpr ULONG kTickMs = 50;
constexpr LONG kWindowCx = 320;
constexpr LONG kWindowCy = 200;
constexpr USHORT kDataBytes = 8;        /* window word 0: ticks seen */
constexpr ULONG kPmEsMargin = 0x8;      /* entry field with a border */
constexpr const char *kDesktopClass = "PmSampleDesktop";
constexpr const char *kDocumentClass = "PmSampleDocument";
constexpr ULONG kIdMainResources = 1;
constexpr ULONG kIdDesktopMenu = 10;
constexpr ULONG kIdLetterMenu = 20;
constexpr ULONG kIdTableMenu = 30;
constexpr USHORT kWindowMenuPos = 1;
constexpr WORD kBitsPerPixel = 24;
constexpr USHORT kIdAbout = 203;
constexpr ULONG kIdAboutDialog = 40;
constexpr ULONG kIdAboutEntry = 402;
constexpr USHORT kIdCopy = 501;
constexpr USHORT kIdPaste = 502;
constexpr int kMenuWaitMs = 3000;

int ticksToRun = 5;


/* Drives the native entry field and list box with PM control messages,
 * which the library turns into native control messages, and prints the
 * answers.  Selecting an item makes the list box report WM_CONTROL. */
void driveControls(HWND entry, HWND list)
{
    constexpr USHORT kTextLimit = 40;
    WinSendMsg(entry, PM_EM_SETTEXTLIMIT, MPFROM2SHORT(kTextLimit, 0), 0);
    WinSendMsg(entry, PM_EM_SETSEL, MPFROM2SHORT(0, 5), 0);
    MRESULT sel = WinSendMsg(entry, PM_EM_QUERYSEL, 0, 0);
    printf("entry field: limit %u, selection %u..%u\n", kTextLimit, SHORT1FROMMP(sel),
           SHORT2FROMMP(sel));

    const char *items[] = {"pears", "apples", "plums"};
    for (const char *item : items) {
        MRESULT at = WinSendMsg(list, PM_LM_INSERTITEM, MPFROM2SHORT(PM_LIT_END, 0), (MPARAM)item);
        printf("list box: \"%s\" inserted at %ld\n", item, (long)(LONG_PTR)at);
    }
    WinSendMsg(list, PM_LM_INSERTITEM, MPFROM2SHORT(0, 0), (MPARAM) "figs");
    char text[16] = "";
    MRESULT len = WinSendMsg(list, PM_LM_QUERYITEMTEXT, MPFROM2SHORT(2, sizeof text), text);
    printf("list box: %ld items, item 2 is \"%s\" (%ld characters)\n",
           (long)(LONG_PTR)WinSendMsg(list, PM_LM_QUERYITEMCOUNT, 0, 0), text,
           (long)(LONG_PTR)len);
    WinSendMsg(list, PM_LM_SELECTITEM, MPFROM2SHORT(1, 0), (MPARAM)TRUE);
    printf("list box: selection %ld\n",
           (long)(LONG_PTR)WinSendMsg(list, PM_LM_QUERYSELECTION, MPFROM2SHORT(PM_LIT_FIRST, 0), 0));
}

/* Makes the controls; returns the button, or null when one is missing. */
HWND makeControls(HWND hwnd)
{
    HWND button = WinCreateWindow(hwnd, "BUTTON", "Press", PM_WS_VISIBLE, 10, 150, 80, 24,
                                  hwnd, PM_HWND_TOP, kIdButton, NULL, NULL);
    HWND entry = WinCreateWindow(hwnd, "EDIT", "", PM_WS_VISIBLE | kPmEsMargin, 100, 150, 150,
                                 24, hwnd, PM_HWND_TOP, kIdEntry, NULL, NULL);
    HWND list = WinCreateWindow(hwnd, "LISTBOX", "", PM_WS_VISIBLE, 10, 10, 240, 130,
                                hwnd, PM_HWND_TOP, kIdList, NULL, NULL);
    if (!button || !entry || !list)
        return NULL;

    char typed[] = "typed through PM";
    char text[32];
    PM_WNDPARAMS wp = {};
    wp.fsStatus = PM_WPM_TEXT;
    wp.pszText = typed;
    WinSendMsg(entry, PM_WM_SETWINDOWPARAMS, &wp, 0);
    wp.fsStatus = PM_WPM_TEXT | PM_WPM_CCHTEXT;
    wp.pszText = text;
    wp.cchText = sizeof text;
    WinSendMsg(entry, PM_WM_QUERYWINDOWPARAMS, &wp, 0);
    printf("entry field holds \"%s\" (%lu characters)\n", text, (unsigned long)wp.cchText);
    driveControls(entry, list);
    return button;
}

MRESULT aboutProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == PM_WM_INITDLG) {
        WinSetDlgItemText(hwnd, kIdAboutEntry, "typed Enter");
        HWND entry = WinWindowFromID(hwnd, kIdAboutEntry);
        PostMessageA(entry, WM_KEYDOWN, VK_RETURN, 1);
    }
    if (msg == PM_WM_COMMAND)
        printf("dialog WM_COMMAND: id %u\n", SHORT1FROMMP(mp1));
    return WinDefDlgProc(hwnd, msg, mp1, mp2);
}

/* Plays the user in an open pop-up menu: down twice, then Enter. */
void pickSecondMenuItem()
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMenuWaitMs);
    while (std::chrono::steady_clock::now() < until) {
        HWND menu = FindWindowA("#32768", NULL);
        if (menu && IsWindowVisible(menu)) {
            for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN})
                PostMessageA(menu, WM_KEYDOWN, key, 1);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::thread menuUser;

void addContextItems(HWND hwnd)
{
    OWMPOPUPITEM items[] = {{hwnd, kIdCopy, 0, "&Copy"}, {hwnd, 0, 0, NULL},
                            {hwnd, kIdPaste, 0, "&Paste"}};
    for (const OWMPOPUPITEM &it : items)
        OwmPopUpAppend(&it);
    printf("WM_CONTEXTMENU: %u items offered\n", OwmPopUpQueryItemsNumber());
}

MRESULT sampleProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    switch (msg) {
    case PM_WM_CONTEXTMENU:
        addContextItems(hwnd);
        return 0;
    case PM_WM_CREATE: {
        auto cs = static_cast<const PM_CREATESTRUCT *>(mp2);
        printf("WM_CREATE: %ld x %ld at (%ld, %ld), class %s\n", (long)cs->cx, (long)cs->cy,
               (long)cs->x, (long)cs->y, cs->pszClass);
        return 0;
    }
    case PM_WM_COMMAND:
        printf("WM_COMMAND: id %u, source %u\n", SHORT1FROMMP(mp1), SHORT1FROMMP(mp2));
        if (SHORT1FROMMP(mp1) == kIdAbout) {
            ULONG r = WinDlgBox(PM_HWND_DESKTOP, hwnd, aboutProc, GetModuleHandleA(NULL),
                                kIdAboutDialog, NULL);
            printf("About dialog ended with %lu\n", (unsigned long)r);
            /* Then a context-menu request, with the helper playing the user. */
            menuUser = std::thread(pickSecondMenuItem);
            PostMessageA(hwnd, WM_CONTEXTMENU, (WPARAM)hwnd, MAKELPARAM(100, 100));
        }
        return 0;
    case PM_WM_SIZE:
        printf("WM_SIZE: client %u x %u\n", SHORT1FROMMP(mp1), SHORT2FROMMP(mp1));
        return 0;
    case PM_WM_CONTROL:
        printf("WM_CONTROL: id %u, code %u\n", SHORT1FROMMP(mp1), SHORT2FROMMP(mp1));
        return 0;
    case PM_WM_TIMER: {
        ULONG_PTR ticks = WinQueryWindowULong(hwnd, 0) + 1;
        WinSetWindowULong(hwnd, 0, ticks);
        printf("WM_TIMER: tick %lu\n", (unsigned long)ticks);
        if ((int)ticks >= ticksToRun) {
            WinStopTimer(_WinGetHab(), hwnd, kIdTimer);
            WinPostMsg(hwnd, PM_WM_CLOSE, 0, 0);
        }
        return 0;
    }
    case PM_WM_CLOSE:
        printf("WM_CLOSE: leaving the message loop\n");
        WinPostMsg(NULL, PM_WM_QUIT, 0, 0);
        return 0;
    case PM_WM_DESTROY:
        printf("WM_DESTROY\n");
        return 0;
    }
    return WinDefWindowProc(hwnd, msg, mp1, mp2);
}

MRESULT desktopProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    return OpmMdiDefDesktopProc(hwnd, msg, mp1, mp2);
}

MRESULT documentProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == PM_WM_COMMAND)
        printf("document command %u\n", SHORT1FROMMP(mp1));
    return OpmMdiDefDocumentProc(hwnd, msg, mp1, mp2);
}

std::string menuBarText(HWND frame)
{
    std::string text;
    HMENU bar = GetMenu(frame);
    int n = bar ? GetMenuItemCount(bar) : 0;
    for (int i = 0; i < n; i++) {
        char item[64] = "";
        GetMenuStringA(bar, i, item, sizeof item, MF_BYPOSITION);
        text += (i ? " | " : "") + std::string(item);
    }
    return text;
}

/* The MDI desktop with two documents; prints the menu bar as the active
 * document changes. */
HWND makeMdiDesktop(HMODULE exe)
{
    static ULONG deskFlags = PM_FCF_TITLEBAR | PM_FCF_SYSMENU | PM_FCF_SIZEBORDER | PM_FCF_MENU;
    static ULONG docFlags = PM_FCF_TITLEBAR | PM_FCF_SIZEBORDER | PM_FCF_MENU;
    HWND mdiClient = NULL;
    HWND desk = OpmMdiCreateDesktopWindow(PM_HWND_DESKTOP, PM_WS_VISIBLE, &deskFlags,
                                          kDesktopClass, "PM sample desktop", 0, exe,
                                          kIdDesktopMenu, &mdiClient, kWindowMenuPos);
    if (!desk)
        return NULL;
    printf("MDI desktop menu: %s\n", menuBarText(desk).c_str());
    HWND client;
    HWND letter = OpmMdiCreateDocumentWindow(mdiClient, PM_WS_VISIBLE, &docFlags, kDocumentClass,
                                             "Letter", 0, exe, kIdLetterMenu, kWindowMenuPos,
                                             NULL, NULL, &client);
    printf("document \"Letter\" active, menu: %s\n", menuBarText(desk).c_str());
    HWND table = OpmMdiCreateDocumentWindow(mdiClient, PM_WS_VISIBLE, &docFlags, kDocumentClass,
                                            "Table", 0, exe, kIdTableMenu, kWindowMenuPos,
                                            NULL, NULL, &client);
    printf("document \"Table\" active, menu: %s\n", menuBarText(desk).c_str());
    OpmMdiSetActiveDocumentWindow(mdiClient, letter);
    printf("\"Letter\" activated again, menu: %s\n", menuBarText(desk).c_str());
    OpmMdiTile(mdiClient, MDITILE_VERTICAL);
    OpmMdiCloseDocumentWindow(mdiClient, table);
    OpmMdiCloseDocumentWindow(mdiClient, letter);
    printf("both documents closed, menu: %s\n", menuBarText(desk).c_str());
    OpmMdiCreateDocumentWindow(mdiClient, PM_WS_VISIBLE, &docFlags, kDocumentClass, "Letter",
                               0, exe, kIdLetterMenu, kWindowMenuPos, NULL, NULL, &client);
    return desk;
}

struct PrintContext {
    HDC hdc;
    LONG left, top;         /* the window's screen origin */
};

BOOL CALLBACK printChild(HWND child, LPARAM lParam)
{
    auto pc = (const PrintContext *)lParam;
    if (!IsWindowVisible(child))
        return TRUE;
    RECT rc;
    GetWindowRect(child, &rc);
    POINT old;
    SetViewportOrgEx(pc->hdc, rc.left - pc->left, rc.top - pc->top, &old);
    SendMessageA(child, WM_PRINTCLIENT, (WPARAM)pc->hdc, PRF_CLIENT | PRF_ERASEBKGND);
    SetViewportOrgEx(pc->hdc, old.x, old.y, NULL);
    return TRUE;
}

/* Writes a picture of a window as a 24-bit BMP file. */
bool writeWindowPicture(HWND hwnd, const char *path)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    LONG cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof bih;
    bih.biWidth = cx;
    bih.biHeight = cy;
    bih.biPlanes = 1;
    bih.biBitCount = kBitsPerPixel;
    bih.biCompression = BI_RGB;
    void *bits = NULL;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, (BITMAPINFO *)&bih, DIB_RGB_COLORS, &bits, NULL, 0);
    ReleaseDC(NULL, screen);
    if (!mem || !dib) {
        if (mem) DeleteDC(mem);
        if (dib) DeleteObject(dib);
        return false;
    }
    HGDIOBJ old = SelectObject(mem, dib);
    RECT all = {0, 0, cx, cy};
    FillRect(mem, &all, GetSysColorBrush(COLOR_BTNFACE));
    PrintWindow(hwnd, mem, 0);
    /* the system's print request may leave child windows out: each child
     * that draws itself on request does so at its place */
    PrintContext pc = {mem, rc.left, rc.top};
    EnumChildWindows(hwnd, printChild, (LPARAM)&pc);
    GdiFlush();
    DWORD stride = ((DWORD)cx * 3 + 3) & ~3u;
    DWORD imageSize = stride * (DWORD)cy;
    BITMAPFILEHEADER bfh = {};
    bfh.bfType = 0x4D42;        /* "BM" */
    bfh.bfOffBits = sizeof bfh + sizeof bih;
    bfh.bfSize = bfh.bfOffBits + imageSize;
    bool ok = false;
    if (FILE *f = fopen(path, "wb")) {
        ok = fwrite(&bfh, sizeof bfh, 1, f) == 1 && fwrite(&bih, sizeof bih, 1, f) == 1 &&
             fwrite(bits, imageSize, 1, f) == 1;
        ok = fclose(f) == 0 && ok;
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    return ok;
}

/* pmsample.bmp in the program's folder. */
std::string picturePath()
{
    char module[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, module, sizeof module);
    std::string path(module, n);
    size_t slash = path.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
           "pmsample.bmp";
}

}  // namespace

int main(int argc, char **argv)
{
    char module[MAX_PATH];
    if (argc > 1)
        ticksToRun = atoi(argv[1]) > 0 ? atoi(argv[1]) : ticksToRun;
    GetModuleFileNameA(NULL, module, sizeof module);
    KnlSetExecutableFileName(module);
    KnlInit(GetModuleHandleA(NULL), NULL, GetCommandLineA(), SW_SHOWNORMAL, NULL, NULL);
    KnlInitCP();
    KnlInitDBCSEv();

    HAB hab = WinInitialize(0);
    HMODULE exe = GetModuleHandleA(NULL);
    if (!WinRegisterClass(hab, kClassName, sampleProc, 0, kDataBytes) ||
        !WinRegisterClass(hab, kDesktopClass, desktopProc, 0, 0) ||
        !WinRegisterClass(hab, kDocumentClass, documentProc, 0, 0)) {
        fprintf(stderr, "cannot register the classes\n");
        return 1;
    }
    static ULONG frameFlags = PM_FCF_TITLEBAR | PM_FCF_SYSMENU | PM_FCF_SIZEBORDER |
                              PM_FCF_MINBUTTON | PM_FCF_MAXBUTTON | PM_FCF_MENU | PM_FCF_ICON |
                              PM_FCF_ACCELTABLE | PM_FCF_VERTSCROLL | PM_FCF_HORZSCROLL;
    HWND hwnd = NULL;
    HWND frame = WinCreateStdWindow(PM_HWND_DESKTOP, 0, &frameFlags, kClassName, "PM sample",
                                    0, exe, kIdMainResources, &hwnd);
    if (!frame) {
        fprintf(stderr, "cannot create the main window\n");
        return 1;
    }
    SetWindowPos(frame, NULL, 50, 50, kWindowCx + 40, kWindowCy + 80, SWP_NOZORDER);
    WinShowWindow(frame, TRUE);
    HWND button = makeControls(hwnd);
    if (!button) {
        fprintf(stderr, "cannot create the controls\n");
        return 1;
    }
    printf("main window menu: %s\n", menuBarText(frame).c_str());
    PM_SWP swp;
    WinQueryWindowPos(hwnd, &swp);
    printf("client area %ld x %ld (the frame less its scroll bars)\n", (long)swp.cx,
           (long)swp.cy);
    if (!makeMdiDesktop(exe))
        fprintf(stderr, "cannot create the MDI desktop\n");

    PostMessageA(button, BM_CLICK, 0, 0);
    WinSetFocus(PM_HWND_DESKTOP, hwnd);
    PostMessageA(hwnd, WM_KEYDOWN, VK_F5, 1);     /* the accelerator of command 201 */
    PostMessageA(frame, WM_COMMAND, kIdAbout, 0);  /* Help/About, as the menu sends it */
    WinStartTimer(hab, hwnd, kIdTimer, kTickMs);
    PM_QMSG qmsg;
    int messages = 0;
    while (WinGetMsg(&qmsg, NULL)) {
        WinDispatchMsg(&qmsg);
        messages++;
    }
    printf("message loop ended after %d messages\n", messages);
    if (menuUser.joinable())
        menuUser.join();
    std::string picture = picturePath();
    if (writeWindowPicture(frame, picture.c_str()))
        printf("main window written to pmsample.bmp\n");
    else
        fprintf(stderr, "cannot write %s\n", picture.c_str());
    WinTerminate(hab);      /* destroys the standard windows left */
    return KnlTerminate(0);
}
