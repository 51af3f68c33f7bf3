/*
 * frame_int.h - what the standard-frame files share with each other and
 * with the MDI layer above them: the three frame classes and their kinds,
 * the frame record kept in a frame's extra bytes, the creation request,
 * the standard-window list, and the hooks through which the MDI layer
 * joins in (desktop registration, menu switching, document bookkeeping).
 * Not part of the exported interface.
 *
 * Frame extra bytes: 8-15 the frame record, 16-19 the frame marker
 * 0x04071964; the two MDI classes have 32 bytes, and a document frame keeps
 * its MDI document record at byte 24.
 */
#ifndef ORIN_PM_FRAME_FRAME_INT_H
#define ORIN_PM_FRAME_FRAME_INT_H

#include <string>
#include "pm/pmint.h"

namespace orin::pm::frame {

inline constexpr int kFrameExtraBytes = 24;
inline constexpr int kMdiFrameExtraBytes = 32;
inline constexpr int kFrameRecordWord = 8;
inline constexpr int kFrameMarkerWord = 16;
inline constexpr int kDocumentWord = 24;
inline constexpr ULONG kFrameMarker = 0x04071964UL;

inline constexpr const char *kStdWinClass = "OwmStdWin";
inline constexpr const char *kDesktopClass = "OwmStdMDIDesktop";
inline constexpr const char *kDocumentClass = "OwmStdMDIDocument";

enum class Kind : USHORT { Standard = 1, MdiDesktop = 2, MdiDocument = 3 };

/* What the caller asked for; lives on the creating call's stack and is
 * reachable from the record only while the frame is being created. */
struct CreateInfo {
    USHORT idResources = 0;
    USHORT idFirstChild = 0;            // first window-list id of an MDI client
    HMODULE hmod = nullptr;
    ULONG flCreate = 0;
    ULONG flClientStyle = 0;
    const char *clientClass = nullptr;
    HWND *phwndClient = nullptr;
    PVOID pCtlData = nullptr;
    bool adopted = false;               // the frame window took the record
};

/* The record of one frame, from its native creation to its destruction. */
struct FRAMEREC {
    HWND hwndClient = nullptr;
    PFNWP pfnClient = nullptr;
    ULONG *pflCreate = nullptr;         // the caller's flags
    HWND hwndVScroll = nullptr;
    HWND hwndHScroll = nullptr;
    HACCEL haccel = nullptr;
    HICON hicon = nullptr;
    Kind kind = Kind::Standard;
    CreateInfo *create = nullptr;       // only while the frame is created
    HICON hiconSmall = nullptr;
    HWND hwnd = nullptr;                // the frame whose words hold it
    USHORT idFirstChild = 0;            // kind 2: the MDI window-list ids
};

/* One frame to make: the arguments of WinCreateStdWindow and its MDI
 * variants. */
struct FrameRequest {
    /* The arguments every frame-making call takes, in WinCreateStdWindow's order. */
    FrameRequest(Kind k, HWND parent, ULONG style, ULONG *pfl, const char *cls,
                 const char *text, ULONG clientStyle, HMODULE module, ULONG id,
                 HWND *client) noexcept
        : kind(k), hwndParent(parent), flStyle(style), pflCreate(pfl), clientClass(cls),
          title(text), flClientStyle(clientStyle), hmod(module),
          idResources(static_cast<USHORT>(id)), phwndClient(client) {}

    Kind kind = Kind::Standard;
    HWND hwndParent = nullptr;          // kind 3: the MDI client
    ULONG flStyle = 0;
    ULONG *pflCreate = nullptr;
    const char *clientClass = nullptr;
    const char *title = nullptr;
    ULONG flClientStyle = 0;
    HMODULE hmod = nullptr;
    USHORT idResources = 0;
    HWND *phwndClient = nullptr;
    PVOID pCtlData = nullptr;
    USHORT idFirstChild = 0;
};

/* Makes a frame (frame_create.cpp); null on failure, nothing left over. */
HWND FrameCreate(const FrameRequest &request) noexcept;

/* The record of a live frame, or null for any other window. */
FRAMEREC *FrameQueryRec(HWND hwnd) noexcept;
bool      FrameAttach(HWND hwnd, FRAMEREC *rec) noexcept;    // native create
void      FrameRelease(HWND hwnd) noexcept;                  // native final destroy
void      FrameRegisterClasses() noexcept;
FRAMEREC *FrameNewRecord() noexcept;                         // null without memory
void      FrameDropRecord(FRAMEREC *rec) noexcept;           // one never attached
bool      FrameLoadIcon(HWND hwnd, FRAMEREC &rec, HMODULE hmod, USHORT id) noexcept;
HINSTANCE FrameResourceModule(HMODULE hmod) noexcept;        // the library's for null

/* The frame's native create message: icon, accelerators, scroll bars or
 * MDI client, and the client window.  False fails the creation. */
bool FrameMakeChildren(HWND hwnd, FRAMEREC &rec) noexcept;
/* Places the scroll bars at the right and bottom edges and the client in
 * what remains. */
void FrameLayout(HWND hwnd, const FRAMEREC &rec) noexcept;

/* ---- the standard-window list (frame_list.cpp) ---- */
void StdListAdd(HWND frame, bool topLevel) noexcept;
void StdListRemove(HWND frame) noexcept;
HWND StdMainWindow() noexcept;
bool StdIsTopLevel(HWND parent) noexcept;

/* ---- what the MDI layer installs (nothing happens without it) ---- */
struct MdiHooks {
    void (*desktopCreated)(HWND frame, HWND mdiClient) noexcept;
    void (*desktopDestroyed)(HWND frame) noexcept;
    void (*setMenu)(HWND documentFrame) noexcept;           // null: the desktop's
    void (*documentActivated)(HWND documentFrame) noexcept;
    void (*documentDestroyed)(HWND documentFrame) noexcept;
    HWND (*desktopFrame)() noexcept;
    HWND (*activeDocumentClient)() noexcept;
};
void InstallMdiHooks(const MdiHooks *hooks) noexcept;
const MdiHooks *Mdi() noexcept;     // never null

}  // namespace orin::pm::frame

#endif  // ORIN_PM_FRAME_FRAME_INT_H
