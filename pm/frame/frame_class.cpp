/*
 * frame_class.cpp - the three frame classes and the frame records.
 *
 * "OwmStdWin" (standard frames), "OwmStdMDIDesktop" and
 * "OwmStdMDIDocument" are native classes of the library's module whose
 * procedure is OWMFrontEndStdWinProc.  They are registered whenever a
 * frame is made (WinTerminate unregisters the classes of the PM class
 * table, which holds "OwmStdWin" and "OwmStdMDIDocument" without a PM
 * procedure), so a later frame finds them again.
 *
 * Frame records live in a handle pool; a frame's words hold the record's
 * address and the frame marker, and an address read there is used only
 * when the pool knows it as a live record naming the same window.
 */
#include <atomic>
#include "frame/handle_pool.h"
#include "pm/frame/frame_int.h"

namespace orin::pm::frame {
namespace {

constexpr int kSmallIconSize = 16;

/* Every frame's record; looked up on each frame message. */
constinit HandlePool<FRAMEREC> frameRecords;

struct FrameClass {
    const char *name;
    int extraBytes;
    bool inClassTable;
};
constexpr FrameClass kClasses[] = {
    {kStdWinClass, kFrameExtraBytes, true},
    {kDesktopClass, kMdiFrameExtraBytes, false},
    {kDocumentClass, kMdiFrameExtraBytes, true},
};

void registerNative(const FrameClass &fc) noexcept
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = reinterpret_cast<WNDPROC>(OWMFrontEndStdWinProc);
    wc.cbWndExtra = fc.extraBytes;
    wc.hInstance = OwmLibInstance();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = fc.name;
    RegisterClassExA(&wc);      // an existing class of that name is kept
}

/* The MDI layer's hooks; answers of an application without MDI until then. */
void noDesktop(HWND, HWND) noexcept {}
void noFrame(HWND) noexcept {}
HWND noWindow() noexcept { return nullptr; }
constexpr MdiHooks kNoMdi = {noDesktop, noFrame, noFrame, noFrame, noFrame, noWindow, noWindow};
constinit std::atomic<const MdiHooks *> mdiHooks{&kNoMdi};

}  // namespace

void FrameRegisterClasses() noexcept
{
    for (const FrameClass &fc : kClasses) {
        registerNative(fc);
        if (fc.inClassTable)
            WinRegisterClass(static_cast<HAB>(OwmLibInstance()), fc.name, nullptr, 0, 0);
    }
}

HINSTANCE FrameResourceModule(HMODULE hmod) noexcept
{
    return hmod ? static_cast<HINSTANCE>(hmod) : OwmLibInstance();
}

FRAMEREC *FrameQueryRec(HWND hwnd) noexcept
{
    if (!hwnd || hwnd == PM_HWND_DESKTOP)
        return nullptr;
    if (GetClassLongPtrA(hwnd, GCL_CBWNDEXTRA) < kFrameExtraBytes)
        return nullptr;
    if (static_cast<ULONG>(GetWindowLongA(hwnd, kFrameMarkerWord)) != kFrameMarker)
        return nullptr;
    auto word = reinterpret_cast<const void *>(GetWindowLongPtrA(hwnd, kFrameRecordWord));
    FRAMEREC *rec = frameRecords.get(word);
    // Invariant: a frame record belongs to exactly one window.
    return rec && rec->hwnd == hwnd ? rec : nullptr;
}

bool FrameAttach(HWND hwnd, FRAMEREC *rec) noexcept
{
    if (!frameRecords.live(rec) || rec->hwnd || !rec->create)
        return false;           // only a record in the middle of its creation
    rec->hwnd = hwnd;
    rec->create->adopted = true;
    SetWindowLongPtrA(hwnd, kFrameRecordWord, reinterpret_cast<LONG_PTR>(rec));
    SetWindowLongA(hwnd, kFrameMarkerWord, static_cast<LONG>(kFrameMarker));
    return true;
}

void FrameRelease(HWND hwnd) noexcept
{
    FRAMEREC *rec = FrameQueryRec(hwnd);
    if (!rec)
        return;
    SetWindowLongPtrA(hwnd, kFrameRecordWord, 0);
    SetWindowLongA(hwnd, kFrameMarkerWord, 0);
    if (rec->haccel)
        DestroyAcceleratorTable(rec->haccel);
    frameRecords.destroy(rec);
}

/* Makes a record for a frame about to be created. */
FRAMEREC *FrameNewRecord() noexcept
{
    try {
        return frameRecords.make().release();
    } catch (...) {
        return nullptr;
    }
}

void FrameDropRecord(FRAMEREC *rec) noexcept
{
    frameRecords.destroy(rec);
}

/* Loads the icon of a frame: the library's module first, then the given
 * one; its 16x16 image becomes the small icon. */
bool FrameLoadIcon(HWND hwnd, FRAMEREC &rec, HMODULE hmod, USHORT id) noexcept
{
    LPCSTR name = MAKEINTRESOURCEA(id);
    HICON icon = LoadIconA(OwmLibInstance(), name);
    HINSTANCE from = OwmLibInstance();
    if (!icon) {
        from = hmod ? static_cast<HINSTANCE>(hmod) : GetModuleHandleA(nullptr);
        icon = LoadIconA(from, name);
    }
    if (!icon)
        return false;
    rec.hicon = icon;
    rec.hiconSmall = static_cast<HICON>(LoadImageA(from, name, IMAGE_ICON, kSmallIconSize,
                                                   kSmallIconSize, LR_SHARED));
    SetClassLongPtrA(hwnd, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    if (rec.hiconSmall)
        SetClassLongPtrA(hwnd, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(rec.hiconSmall));
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(rec.hiconSmall ? rec.hiconSmall : icon));
    return true;
}

void InstallMdiHooks(const MdiHooks *hooks) noexcept
{
    mdiHooks.store(hooks ? hooks : &kNoMdi);
}

const MdiHooks *Mdi() noexcept
{
    return mdiHooks.load();
}

}  // namespace orin::pm::frame
