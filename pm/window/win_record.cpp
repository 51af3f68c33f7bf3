/*
 * win_record.cpp - the window record of every PM window: made when the
 * native window receives its create message, found again from a window
 * handle, and freed when the window receives its destroy message.
 *
 * Records live in a handle pool.  The window words (byte 8) hold a
 * record's address and byte 16 the PM marker, but a window's words are
 * open to anyone who calls SetWindowLongPtr, so an address read there is
 * used only when the pool says it is a live record and the record names
 * the same window back.  Each thread remembers the last window it looked
 * up; every release of a record bumps a generation counter that makes all
 * those memories stale at once, so a remembered record is never one that
 * has been freed.
 *
 * The create handler copies style, owner, parent and control data from
 * the tagged creation record that WinCreateWindowEx passes, or rebuilds
 * them from the native style for windows created natively, and sends PM
 * WM_CREATE; a non-zero reply (or an exception) undoes the record and
 * fails the native creation.  The destroy handler sends PM WM_DESTROY and
 * forgets the window in every table of the emulation.
 */
#include <atomic>
#include <cstring>
#include "frame/handle_pool.h"
#include "frame/scope.h"
#include "pm/pmint.h"

namespace orin::pm {
namespace {

constexpr int kMaxClassName = 256;

/* The records of all PM windows; any thread may look one up. */
constinit HandlePool<OWMWND> windowRecords;

/* Bumped whenever a record leaves its window. */
constinit std::atomic<LONG> recordGeneration{0};

/* The last window this thread looked up; valid while its generation is. */
struct RecordCache {
    HWND hwnd = nullptr;
    OWMWND *rec = nullptr;
    LONG generation = 0;
};
thread_local RecordCache lastLookup;

/* The validated record in a window's words, without the cache. */
OWMWND *readRecord(HWND hwnd) noexcept
{
    if (GetClassLongPtrA(hwnd, GCL_CBWNDEXTRA) < kWndExtraBytes)
        return nullptr;
    if (static_cast<ULONG>(GetWindowLongA(hwnd, kMarkerWord)) != kPMMarker)
        return nullptr;
    auto word = reinterpret_cast<const void *>(GetWindowLongPtrA(hwnd, kRecordWord));
    OWMWND *rec = windowRecords.get(word);
    // Invariant: a record is attached to exactly one window.
    return rec && rec->hwnd == hwnd ? rec : nullptr;
}

void attach(HWND hwnd, OWMWND *rec) noexcept
{
    SetWindowLongPtrA(hwnd, kRecordWord, reinterpret_cast<LONG_PTR>(rec));
    SetWindowLongA(hwnd, kMarkerWord, static_cast<LONG>(kPMMarker));
}

void detach(HWND hwnd) noexcept
{
    recordGeneration.fetch_add(1, std::memory_order_acq_rel);
    SetWindowLongPtrA(hwnd, kRecordWord, 0);
    SetWindowLongA(hwnd, kMarkerWord, 0);
}

/* Memory readable for size bytes from p. */
bool isReadable(const void *p, size_t size) noexcept
{
    MEMORY_BASIC_INFORMATION mbi;
    if (!p || VirtualQuery(p, &mbi, sizeof mbi) == 0)
        return false;
    if (mbi.State != MEM_COMMIT || (mbi.Protect & (PAGE_NOACCESS | PAGE_GUARD)))
        return false;
    auto begin = static_cast<const BYTE *>(p);
    return begin + size <= static_cast<const BYTE *>(mbi.BaseAddress) + mbi.RegionSize;
}

/* Static-control types of the library's own control class. */
ULONG staticStyle(ULONG type) noexcept
{
    switch (type) {
    case 14: return 4;          // bitmap
    case 19: return 11;
    case 21: return 12;
    default: return 1;          // text
    }
}

/* PM bits of the library's own control classes, rebuilt from native ones. */
ULONG ownControlStyle(const char *cls, ULONG native) noexcept
{
    static constexpr ULONG kFromButton[12] = {0, 0x400, 1, 2, 3, 5, 6, 0, 0, 4, 0, 7};
    constexpr ULONG kTypeMask = 0x1F;
    ULONG type = native & kTypeMask;
    if (std::strcmp(cls, "opmBut") == 0)
        return type < std::size(kFromButton) ? kFromButton[type] : 0;
    if (std::strcmp(cls, "OPMSTATIC") == 0)
        return staticStyle(type);
    return 0;
}

/* Style, owner, parent and control data of a window being created. */
void takeCreationParams(OWMWND &rec, const CREATESTRUCTA &cs, const char *className) noexcept
{
    auto cr = static_cast<const OWMCREATEREC *>(cs.lpCreateParams);
    if (isReadable(cr, sizeof *cr) && cr->tag == kCreateTag) {
        rec.flStyle = cr->flStyle;
        rec.hwndOwner = cr->hwndOwner;
        rec.hwndParent = cr->hwndParent;
        rec.pCtlData = cr->pCtlData;
        return;
    }
    constexpr ULONG kRebuiltBits = WS_VISIBLE | WS_DISABLED | WS_GROUP | WS_TABSTOP;
    rec.flStyle = OwmPMStyleFromNative(cs.style & kRebuiltBits) |
                  ownControlStyle(className, cs.style);
    rec.hwndOwner = rec.hwndParent = cs.hwndParent;
    rec.pCtlData = cs.lpCreateParams;
}

/* The PM y of a new window: measured one above the native bottom edge. */
LONG pmCreateY(const CREATESTRUCTA &cs) noexcept
{
    LONG height;
    if (cs.hwndParent && !(cs.style & WS_POPUP)) {      // a popup's PM parent is the desktop
        height = OwmClientHeight(cs.hwndParent);
    } else {
        RECT rc = {};
        GetWindowRect(GetDesktopWindow(), &rc);
        height = rc.bottom - rc.top;
    }
    return height - cs.y - cs.cy + 1;
}

PM_CREATESTRUCT pmCreateStruct(const OWMWND &rec, const CREATESTRUCTA &cs) noexcept
{
    PM_CREATESTRUCT pmcs = {};
    pmcs.pCtlData = rec.pCtlData;
    pmcs.id = (cs.style & WS_CHILD) ? static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(cs.hMenu)) : 0;
    pmcs.hwndOwner = rec.hwndOwner;
    pmcs.cx = cs.cx;
    pmcs.cy = cs.cy;
    pmcs.x = cs.x;
    pmcs.y = pmCreateY(cs);
    pmcs.flStyle = rec.flStyle;
    pmcs.pszText = IS_INTRESOURCE(cs.lpszName) ? nullptr : cs.lpszName;
    pmcs.pszClass = rec.cls->name.c_str();
    pmcs.hwndParent = rec.hwndParent;
    return pmcs;
}

}  // namespace

bool OwmIsWindow(HWND hwnd) noexcept
{
    if (hwnd && IsWindow(hwnd))
        return true;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
}

OWMWND *OwmQueryWndRec(HWND hwnd) noexcept
{
    if (!hwnd || hwnd == PM_HWND_DESKTOP)
        return nullptr;
    if (OWMWND *remembered = OwmRememberedWndRec(hwnd))
        return remembered;
    LONG generation = recordGeneration.load(std::memory_order_acquire);
    OWMWND *rec = readRecord(hwnd);
    if (rec)
        lastLookup = {hwnd, rec, generation};
    return rec;
}

OWMWND *OwmRememberedWndRec(HWND hwnd) noexcept
{
    const RecordCache &cache = lastLookup;
    LONG generation = recordGeneration.load(std::memory_order_acquire);
    return hwnd && hwnd == cache.hwnd && cache.generation == generation ? cache.rec : nullptr;
}

LRESULT OwmWndCreate(HWND hwnd, const CREATESTRUCTA &cs)
{
    constexpr LRESULT kFail = -1;
    if (OwmQueryWndRec(hwnd))
        return kFail;               // a window has one record; a repeated create is refused
    char className[kMaxClassName];
    if (!GetClassNameA(hwnd, className, sizeof className))
        return kFail;
    ClassRef cls = OwmFindClass(className);
    if (!cls)
        return kFail;

    auto rec = windowRecords.make();
    rec->hwnd = hwnd;
    rec->pfnWndProc = cls->pfnWndProc;
    rec->cbData = cls->cbWindowData;
    if (rec->cbData)
        rec->data = std::make_unique<BYTE[]>(rec->cbData);
    rec->cls = std::move(cls);
    takeCreationParams(*rec, cs, className);

    attach(hwnd, rec.get());
    auto undo = scopeExit([hwnd] { detach(hwnd); });
    PM_CREATESTRUCT pmcs = pmCreateStruct(*rec, cs);
    if (OwmCallPM(hwnd, *rec, PM_WM_CREATE, rec->pCtlData, &pmcs))
        return kFail;
    undo.dismiss();
    rec.release();      // the window owns it now
    return 0;
}

void OwmWndDestroy(HWND hwnd)
{
    auto forget = scopeExit([hwnd] {
        OwmPopupListRemove(hwnd);
        OwmPostedForget(hwnd);
        OwmRedirectRemove(hwnd);
        OwmInputForget(hwnd);
    });
    OWMWND *rec = OwmQueryWndRec(hwnd);
    if (!rec)
        return;
    auto release = scopeExit([hwnd, rec] {
        detach(hwnd);
        windowRecords.destroy(rec);
    });
    OwmCallPM(hwnd, *rec, PM_WM_DESTROY, nullptr, nullptr);
}

}  // namespace orin::pm

using namespace orin::pm;

BOOL ORINAPI OwmIsPMWindow(HWND hwnd) noexcept
{
    hwnd = OwmMapDesktop(hwnd);
    if (OwmIsDlgWindowPM(hwnd))
        return FALSE;
    return OwmQueryWndRec(hwnd) != nullptr;
}
