/*
 * pmint.h - what the window and message layers of the PM emulation share:
 * the class table entries, the window record kept in every PM window's
 * extra bytes, the creation record, the private native messages, and the
 * hooks through which the layers built later (dialogs, standard frames,
 * MDI, pop-up menus, control messages, presentation spaces) join in.  Not
 * part of the exported interface.
 *
 * Threads: PM code is thread-affine, as native windows are.  The class
 * table, the popup list, the redirect table and the input state belong to
 * the GUI thread that makes them (normally the one that called
 * WinInitialize); windows of other threads only read the class table.
 * What several threads really meet - posted-message records (WinPostMsg
 * runs on any thread), the window-record pool, the quit and queue-status
 * words, one-time registrations - is locked or atomic where it lives.
 */
#ifndef ORIN_PM_PMINT_H
#define ORIN_PM_PMINT_H

#include <memory>
#include <string>
#include "win.h"

namespace orin::pm {

/* Native window extra bytes of every PM class, and what lives there. */
inline constexpr int kWndExtraBytes = 24;
inline constexpr int kRecordWord = 8;           // pointer to the OWMWND record
inline constexpr int kMarkerWord = 16;          // 32-bit PM-window marker
inline constexpr ULONG kPMMarker = 0x29051961UL;
inline constexpr size_t kMaxClasses = 100;
inline constexpr USHORT kCreateTag = 0x5AA5;

/* Private native messages between the parts of the emulation. */
inline constexpr UINT kNmHelp = 0x7FF7;
inline constexpr UINT kNmQueryPalette = 0x7FF8;
inline constexpr UINT kNmPaletteChanged = 0x7FF9;
inline constexpr UINT kNmSetAccel = 0x7FFB;
inline constexpr UINT kNmQueryAccel = 0x7FFC;
inline constexpr UINT kNmTranslateAccel = 0x7FFD;
inline constexpr UINT kNmPosted = 0x7FFE;

/* Ranges and PM messages the layers share. */
inline constexpr UINT kUserLastSent = 0x7EFF;   // user messages the front end passes on
inline constexpr UINT kUserLastPosted = 0x7EFE; // user messages posted to native windows
inline constexpr ULONG kPmButtonClick = 0x0120; // button-click control message
inline constexpr ULONG kPmQueryHelpInfo = 0x003C;
inline constexpr ULONG kPmDefaultZero = 0x0182; // answered 0 by the default procedure

/* Pop-up menu command ids start here. */
inline constexpr USHORT kPopupCmdBase = 16000;

/* One class of the class table.  Its windows share it, so it outlives its
 * table slot while any of them exists. */
struct OWMCLASS {
    std::string name;
    PFNWP pfnWndProc = nullptr;
    USHORT cbWindowData = 0;
    ULONG flStyle = 0;
    ULONG reserved = 0;                 // set to 0 at registration
    HINSTANCE hinst = nullptr;          // instance the native class lives in
};
using ClassRef = std::shared_ptr<const OWMCLASS>;

/* The record of a PM window, from its native create message to its native
 * destroy message.  It lives in the window-record pool; the window words
 * hold its address, which is only used once the pool confirms it. */
struct OWMWND {
    PFNWP pfnWndProc = nullptr;
    std::unique_ptr<BYTE[]> data;       // cbData bytes, zero-filled, or null
    USHORT cbData = 0;
    HWND hwndOwner = nullptr;
    HWND hwndParent = nullptr;
    ULONG flStyle = 0;
    PVOID pCtlData = nullptr;
    ClassRef cls;
    ULONG_PTR reserved = 0;
    USHORT cEnable = 0;                 // input-enable count
    USHORT cDisable = 0;                // input-disable count
    HWND hwnd = nullptr;                // the window whose words hold it
};

#pragma pack(push, 2)
struct OWMCREATEREC {                   // native create parameter of PM classes
    USHORT tag;                         // kCreateTag
    PVOID pCtlData;
    ULONG flStyle;
    HWND hwndOwner;
    HWND hwndParent;
    ULONG_PTR reserved;
};
#pragma pack(pop)
static_assert(sizeof(OWMCREATEREC) == 2 + 4 + 4 * sizeof(void *),
              "the creation record is 2-byte packed");

/* A process-wide table that static destruction leaves alone: windows may
 * still be destroyed (and reach it) while the library is being unloaded,
 * and classes must not be unregistered from inside the unload. */
template <class T>
union Lasting {
    constexpr Lasting() : value() {}
    ~Lasting() {}
    T value;
};

/* Calls a PM window procedure; a window without one answers 0. */
inline MRESULT OwmCallPM(HWND hwnd, PFNWP proc, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    return proc ? proc(hwnd, msg, mp1, mp2) : nullptr;
}
inline MRESULT OwmCallPM(HWND hwnd, const OWMWND &rec, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    return OwmCallPM(hwnd, rec.pfnWndProc, msg, mp1, mp2);
}

/* What a native-to-PM translator made of a native message: an answer, or
 * nothing, which leaves the message to the native default - the default
 * window procedure behind a PM window, the dialog manager behind a dialog.
 * The translators are shared by the window and the dialog front ends,
 * which differ only in how they give either back. */
struct NativeReply {
    bool handled = false;
    LRESULT value = 0;
};
inline constexpr NativeReply kLeaveToNative{};
inline constexpr NativeReply NativeAnswer(LRESULT value) noexcept { return {true, value}; }

/* 1 (PM_HWND_DESKTOP) is the native desktop window. */
inline HWND OwmMapDesktop(HWND hwnd) noexcept
{
    return hwnd == PM_HWND_DESKTOP ? GetDesktopWindow() : hwnd;
}

/* ---- window layer ---- */
HINSTANCE OwmLibInstance() noexcept;
bool      OwmIsWindow(HWND hwnd) noexcept;              // sets the last error when not
OWMWND   *OwmQueryWndRec(HWND hwnd) noexcept;           // null unless a PM window
OWMWND   *OwmRememberedWndRec(HWND hwnd) noexcept;      // this thread's last look-up, or null
HWND      OwmNonPMRelation(HWND hwnd, LONG cmd) noexcept;   // owner/parent of a non-PM window

/* What a window's class makes it (win_kind.cpp): its control kind
 * (OWM_CTL_NONE for other classes), whether it is a plain native scroll
 * bar, and whether its class could hold PM windows at all. */
struct NativeClass {
    USHORT kind;
    bool scrollBar;
    bool maybePM;
};
bool      OwmNativeClass(HWND hwnd, NativeClass *out) noexcept;  // false: not a window
void      OwmClassesChanged() noexcept;                 // a PM class came or went
ClassRef  OwmFindClass(const char *name) noexcept;
void      OwmFreeClassTable() noexcept;
LONG      OwmClientHeight(HWND hwnd) noexcept;          // the desktop for null
LRESULT   OwmWndCreate(HWND hwnd, const CREATESTRUCTA &cs);   // native create
void      OwmWndDestroy(HWND hwnd);                           // native destroy
void      OwmPopupListAdd(HWND hwnd) noexcept;
void      OwmPopupListRemove(HWND hwnd) noexcept;
size_t    OwmPopupListCount() noexcept;
HWND      OwmPopupListAt(size_t i) noexcept;
void      OwmPopupListFree() noexcept;
ULONG     OwmPMStyleFromNative(ULONG native) noexcept;  // the general bits

/* ---- message layer ---- */
bool    OwmInputEnabled(HWND hwnd) noexcept;
void    OwmSetPointer(bool inputEnabled) noexcept;         // arrow, or wait when disabled
void    OwmInputForget(HWND hwnd) noexcept;
void    OwmPostedForget(HWND hwnd) noexcept;            // drop records of a window
void    OwmPostedFreeAll() noexcept;
void    OwmPostedDeliver(LPARAM lParam);                // native kNmPosted
bool    OwmRedirectAdd(HWND from, HWND to) noexcept;    // false without memory
void    OwmRedirectRemove(HWND hwnd) noexcept;          // as from or to
HWND    OwmRedirectTarget(HWND hwnd) noexcept;          // hwnd itself when none
HWND    OwmRedirectSource(HWND to) noexcept;            // null when none
void    OwmWindowParams(HWND hwnd, ULONG msg, PM_WNDPARAMS *wp, bool pmWindow) noexcept;
/* Native-to-PM translators for the procedure proc of window hwnd (a PM
 * window or a dialog): keys and characters (msg_keys.cpp), commands and
 * control notifications (msg_command.cpp), scroll bars and owner-drawn
 * items (msg_items.cpp). */
NativeReply OwmKeyMessage(HWND hwnd, PFNWP proc, UINT msg, WPARAM wParam, LPARAM lParam);
NativeReply OwmCharMessage(HWND hwnd, PFNWP proc, WPARAM wParam, LPARAM lParam);
NativeReply OwmCommandMessage(HWND hwnd, PFNWP proc, WPARAM wParam, LPARAM lParam);
NativeReply OwmScrollMessage(HWND hwnd, PFNWP proc, UINT msg, WPARAM wParam, LPARAM lParam);
NativeReply OwmMeasureItemMessage(HWND hwnd, PFNWP proc, LPARAM lParam);
NativeReply OwmDrawItemMessage(HWND hwnd, LPARAM lParam);
MRESULT OwmSendPMCharToNative(HWND hwnd, MPARAM mp1, MPARAM mp2);
BOOL    OwmPostQuit(MPARAM mp1) noexcept;
void    OwmMessageInit() noexcept;
void    OwmMessageTerm() noexcept;
HWND    OwmFocusedPMWindow() noexcept;
void    OwmNoteFocus(HWND hwnd, bool gain) noexcept;

/* ---- hooks answered here until their layers exist ---- */
bool    OwmHookDlgMessage(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, MRESULT *result);
HWND    OwmHookDlgRelation(HWND hwnd, LONG cmd);        // owner / parent of a dialog
bool    OwmHookDlgWindowWord(HWND hwnd, LONG index, ULONG_PTR *value);
bool    OwmHookDlgInput(HWND hwnd, USHORT **cEnable, USHORT **cDisable);
bool    OwmHookCtlMessage(HWND hwnd, const NativeClass &nc, ULONG msg, MPARAM mp1,
                          MPARAM mp2, MRESULT *result);
bool    OwmHookMdiAccel(HWND *hwnd, MSG *msg);
LRESULT OwmHookDrawItem(HWND hwnd, DRAWITEMSTRUCT *dis);
void    OwmHookPopupClear();
void    OwmHookPopupShow(HWND hwnd);
void    OwmHookPopupCommand(HWND hwnd, USHORT item);
USHORT  OwmHookMenuPopupId(HWND hwnd, HMENU menu, USHORT item);
void    OwmHookDriveChange();
HWND    OwmHookModalDialog();
void    OwmHookDestroyStdWindows();

/* The control-message layer installs its translator once, from a
 * namespace-scope initialiser of the file that defines it (so the DLL, and
 * any program linked from the static archive that contains it, has it).
 * OwmHookCtlMessage asks it for every native window whose class could be
 * read (OWM_CTL_NONE included: plain scroll bars have no kind); it answers
 * false for messages it does not translate. */
using CtlMessageFn = bool (*)(HWND hwnd, const NativeClass &nc, ULONG msg, MPARAM mp1,
                              MPARAM mp2, MRESULT *result) noexcept;
bool    OwmInstallCtlTranslator(CtlMessageFn fn) noexcept;
/* ---- hooks the layers above install (lower folders never call up) ----
 * The standard-frame layer answers which windows are standard windows and
 * destroys them at WinTerminate; the MDI layer offers key messages to the
 * native MDI accelerators before WinDispatchMsg does anything else.  Null
 * functions put the answer of an application without that layer back. */
using StdWindowTest = BOOL (*)(HWND hwnd) noexcept;
using StdWindowsDestroyer = void (*)() noexcept;
using MdiAccelTranslator = bool (*)(HWND *hwnd, MSG *msg) noexcept;
void    OwmInstallStdWindowHooks(StdWindowTest test, StdWindowsDestroyer destroyAll) noexcept;
void    OwmInstallMdiAccelHook(MdiAccelTranslator translate) noexcept;
/* The presentation-space layer draws owner-drawn items through PM
 * WM_DRAWITEM sent to hwnd (the owner of the item's control); the answer
 * is non-zero when the item was drawn. */
using DrawItemTranslator = LRESULT (*)(HWND hwnd, DRAWITEMSTRUCT *dis) noexcept;
void    OwmInstallDrawItemHook(DrawItemTranslator translate) noexcept;

/* The dialog layer answers which windows are its dialogs and what their
 * records hold; the pop-up layer owns the context-menu item list.  Each
 * installs one table of functions (kept for the life of the process). */
struct DialogHooks {
    BOOL (*isDialog)(HWND hwnd) noexcept;
    bool (*message)(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, MRESULT *result) noexcept;
    HWND (*relation)(HWND hwnd, LONG cmd) noexcept;
    bool (*windowWord)(HWND hwnd, LONG index, ULONG_PTR *value) noexcept;
    bool (*input)(HWND hwnd, USHORT **cEnable, USHORT **cDisable) noexcept;
    HWND (*modalDialog)() noexcept;
};
struct PopupHooks {
    void (*clear)() noexcept;
    void (*show)(HWND hwnd) noexcept;
    void (*command)(HWND hwnd, USHORT item) noexcept;
};
bool    OwmInstallDialogHooks(const DialogHooks *hooks) noexcept;
bool    OwmInstallPopupHooks(const PopupHooks *hooks) noexcept;

/* Takes a posted-message record out of the store (false when lParam names
 * none), for windows that deliver posted PM messages themselves. */
bool    OwmPostedTake(LPARAM lParam, HWND *hwnd, USHORT *msg, MPARAM *mp1, MPARAM *mp2) noexcept;

}  // namespace orin::pm

#endif  // ORIN_PM_PMINT_H
