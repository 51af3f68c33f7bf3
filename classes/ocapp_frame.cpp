/*
 * ocapp_frame.cpp - OcApp's main window: the default frame, the default
 * client procedure, the message loop and the default handlers.
 *
 * The default client class "OcAppDefClass" keeps the OcApp in window
 * word 0 (set by CreateFrame once the window exists); until then, and
 * after WM_DESTROY, its messages go to the PM default procedure.
 */
#include <algorithm>
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <string.h>
#include "ocapp.h"

namespace {

constexpr ULONG kDefaultClassStyle = PM_WS_CLIPCHILDREN | PM_WS_CLIPSIBLINGS;
constexpr USHORT kDefaultClassWords = 8;
constexpr LONG kAppWord = 0;
constexpr USHORT kMsgDlgActivate = 0x01FF;
constexpr USHORT kMsgDropFiles = 0x02F0;
constexpr size_t kTextMax = 128;

OcApp *appOf(HWND hwnd)
{
    return static_cast<OcApp *>(WinQueryWindowPtr(hwnd, kAppWord));
}

/* "All files\0*.*\0\0" from the system module's text. */
void buildFilter(char *filter, size_t size)
{
    char allFiles[kTextMax] = "";
    OpmLoadString(OCL_IDS_ALLFILES, allFiles, sizeof allFiles);
    memset(filter, 0, size);
    size_t nameLength = strnlen(allFiles, std::min(sizeof allFiles, size - 6));
    memcpy(filter, allFiles, nameLength);
    memcpy(filter + nameLength + 1, "*.*", 3);
}

}  // namespace

MRESULT OcApp::DefaultProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    if (msg == PM_WM_CREATE) {
        WinSetWindowPtr(hwnd, kAppWord, nullptr);
        DragAcceptFiles(hwnd, TRUE);
        return nullptr;
    }
    OcApp *app = appOf(hwnd);
    if (app == nullptr)
        return WinDefWindowProc(hwnd, msg, mp1, mp2);
    switch (msg) {
    case PM_WM_DESTROY: {
        MRESULT result = app->OnWM_DESTROY();
        WinSetWindowPtr(hwnd, kAppWord, nullptr);
        DragAcceptFiles(hwnd, FALSE);
        return result;
    }
    case PM_WM_SIZE:
        return app->OnWM_SIZE(mp1, mp2);
    case PM_WM_COMMAND:
        return app->OnWM_COMMAND(mp1, mp2);
    case PM_WM_PAINT: {
        HPS hps = WinBeginPaint(hwnd, nullptr, nullptr);
        MRESULT result = app->OnWM_PAINT(hps);
        WinEndPaint(hps);
        return result;
    }
    case PM_WM_TRANSLATEACCEL: {
        auto *qmsg = static_cast<PM_QMSG *>(mp1);
        HACCEL table = WinQueryAccelTable(app->hab_, nullptr);
        if (table == nullptr || qmsg == nullptr || app->frame_ == nullptr)
            return nullptr;
        MSG native = qmsg->native;
        return TranslateAcceleratorA(app->frame_, table, &native) ? MPFROMLONG(1) : nullptr;
    }
    case PM_WM_NOTIFY:
        return app->OnWM_NOTIFY(mp1, mp2);
    case kMsgDlgActivate:
    case kMsgDropFiles:
        return nullptr;
    default:
        return WinDefWindowProc(hwnd, msg, mp1, mp2);
    }
}

BOOL OcApp::CreateFrame(const char *clientClass, ULONG idResources, ULONG frameFlags,
                        const char *title)
{
    if (frame_ != nullptr)
        return FALSE;
    ULONG flags = frameFlags != 0 ? frameFlags : OCAPP_DEFAULT_FRAME_FLAGS;
    if (clientClass == nullptr || clientClass[0] == '\0') {
        if (!WinRegisterClass(hab_, OCAPP_DEFAULT_CLASS, DefaultProc, kDefaultClassStyle,
                              kDefaultClassWords))
            return FALSE;
        clientClass = OCAPP_DEFAULT_CLASS;
    }
    HMODULE module = resource_;
    if (idResources == 0) {
        idResources = OCAPP_DEFAULT_RESOURCES;
        module = WinGetSystemResourceModule();
        if (module == nullptr)
            return FALSE;
        systemModuleUses_++;
    }
    HWND client = nullptr;
    HWND frame = WinCreateStdWindow(PM_HWND_DESKTOP, PM_WS_VISIBLE, &flags, clientClass,
                                    title != nullptr ? title : "", 0, module, idResources, &client);
    if (frame == nullptr)
        return FALSE;
    frame_ = frame;
    client_ = client;
    frameFlags_ = flags;
    if (client_ != nullptr)
        WinSetWindowPtr(client_, kAppWord, this);
    return TRUE;
}

int OcApp::Dispatch()
{
    PM_QMSG qmsg = {};
    while (WinGetMsg(&qmsg, nullptr))
        WinDispatchMsg(&qmsg);
    return static_cast<int>(reinterpret_cast<ULONG_PTR>(qmsg.mp1));
}

int OcApp::Run()
{
    return Dispatch();
}

MRESULT OcApp::OnWM_PAINT(HPS hps)
{
    return nullptr;
}

MRESULT OcApp::OnWM_SIZE(MPARAM mp1, MPARAM mp2)
{
    return nullptr;
}

/* Exit closes the frame; Open offers the system's file-open dialog with the
 * system module's "All files" filter and "Open file" title, and shows the
 * chosen name (or "No file") in the title bar. */
MRESULT OcApp::OnWM_COMMAND(MPARAM mp1, MPARAM mp2)
{
    USHORT command = SHORT1FROMMP(mp1);
    if (command == OCL_IDM_EXIT && frame_ != nullptr) {
        WinPostMsg(frame_, PM_WM_CLOSE, nullptr, nullptr);
    } else if (command == OCL_IDM_OPEN) {
        char filter[kTextMax + 8], title[kTextMax] = "", file[MAX_PATH] = "";
        buildFilter(filter, sizeof filter);
        OpmLoadString(OCL_IDS_OPENFILE, title, sizeof title);
        OPENFILENAMEA ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = frame_;
        ofn.lpstrFilter = filter;
        ofn.lpstrFile = file;
        ofn.nMaxFile = sizeof file;
        ofn.lpstrTitle = title;
        ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
        if (!GetOpenFileNameA(&ofn))
            OpmLoadString(OCL_IDS_NOFILE, file, sizeof file);
        SetTitle(file);
    }
    return nullptr;
}

MRESULT OcApp::OnWM_DESTROY()
{
    return nullptr;
}

MRESULT OcApp::OnWM_NOTIFY(MPARAM mp1, MPARAM mp2)
{
    return nullptr;
}
