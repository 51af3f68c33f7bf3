/*
 * frame_list.cpp - the standard-window list and the main window.
 *
 * Every frame enters the list in its native create message, marked top
 * level when it has no parent or the desktop as parent, and leaves it when
 * it is destroyed.  The main window is the first top-level frame; when it
 * is destroyed the next remaining top-level entry (in creation order)
 * becomes the main window, or none when there is none.
 *
 * The window layer asks this list whether a window is a standard window
 * and calls StdWinDestroyAllStdWindows from WinTerminate through hooks
 * installed here by a static initialiser; WinCreateStdWindow refers to the
 * list, so the installer is linked wherever frames can be made.
 */
#include <algorithm>
#include <new>
#include <vector>
#include "frame/boundary.h"
#include "pm/frame/frame_int.h"

namespace orin::pm::frame {
namespace {

struct StdEntry {
    HWND frame;
    bool topLevel;
    bool valid;             // 1 while the frame lives
};

/* Belongs to the GUI thread that makes the frames. */
constinit Lasting<std::vector<StdEntry>> stdList;
HWND mainWindow;

std::vector<StdEntry> &entries() noexcept
{
    return stdList.value;
}

HWND nextTopLevel() noexcept
{
    for (const StdEntry &e : entries())
        if (e.topLevel && e.valid)
            return e.frame;
    return nullptr;
}

BOOL isStdWindow(HWND hwnd) noexcept
{
    if (!hwnd)
        return FALSE;
    return std::any_of(entries().begin(), entries().end(),
                       [hwnd](const StdEntry &e) { return e.frame == hwnd && e.valid; });
}

void destroyAll() noexcept
{
    // Copy first: each destruction edits the list (and may destroy others).
    std::vector<HWND> frames;
    try {
        for (const StdEntry &e : entries())
            frames.push_back(e.frame);
    } catch (const std::bad_alloc &) {
        while (!entries().empty() && DestroyWindow(entries().front().frame)) {
        }
    }
    for (HWND f : frames)
        if (IsWindow(f))
            DestroyWindow(f);
    std::vector<StdEntry>().swap(entries());
    mainWindow = nullptr;
}

const bool installed = (OwmInstallStdWindowHooks(isStdWindow, destroyAll), true);

}  // namespace

void StdListAdd(HWND frame, bool topLevel) noexcept
{
    // Invariant: the list is what the hooks answer from.
    [[maybe_unused]] bool hooks = installed;
    try {
        entries().push_back({frame, topLevel, true});
    } catch (const std::bad_alloc &) {
        return;                 // the frame works, unlisted
    }
    if (topLevel && !mainWindow)
        mainWindow = frame;
}

void StdListRemove(HWND frame) noexcept
{
    std::erase_if(entries(), [frame](const StdEntry &e) { return e.frame == frame; });
    if (mainWindow == frame)
        mainWindow = nextTopLevel();
}

HWND StdMainWindow() noexcept
{
    return mainWindow;
}

}  // namespace orin::pm::frame

void ORINAPI StdWinDestroyAllStdWindows() noexcept
{
    orin::pm::frame::destroyAll();
}
