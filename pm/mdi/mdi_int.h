/*
 * mdi_int.h - what the MDI files share: the desktop registration, the
 * document records and their list, and menu switching.  Not part of the
 * exported interface.
 */
#ifndef ORIN_PM_MDI_MDI_INT_H
#define ORIN_PM_MDI_MDI_INT_H

#include "opmmdi.h"
#include "pm/frame/frame_int.h"

namespace orin::pm::mdi {

/* The one desktop of the process; belongs to the GUI thread. */
struct Desktop {
    HWND frame = nullptr;
    HWND client = nullptr;              // the native MDI client
    HMENU menu = nullptr;               // the desktop's menu bar
    HMENU windowMenu = nullptr;         // its window sub-menu
};
Desktop &desktop() noexcept;

/* One document; the document frame's bytes 24-31 point here too. */
struct DocRecord {
    HMENU menu = nullptr;
    HMENU windowMenu = nullptr;
    HWND frame = nullptr;
    bool menuLoaded = false;            // loaded by the layer: destroyed with the document
};

DocRecord *DocAdd() noexcept;                       // null without memory
void       DocRemove(const DocRecord *doc) noexcept;
DocRecord *DocOfFrame(HWND frame) noexcept;         // null for any other window
DocRecord *DocOfClient(HWND client) noexcept;       // through the client's parent
size_t     DocCount() noexcept;
void       DocForgetFrame(HWND frame) noexcept;     // the document frame is being destroyed

/* The desktop client a call works on: the given one, or the registered. */
HWND DesktopClientOr(HWND hwndDesktopClient) noexcept;

/* Installs the frame layer's MDI hooks and the accelerator hook. */
bool MdiHooksInstalled() noexcept;

}  // namespace orin::pm::mdi

#endif  // ORIN_PM_MDI_MDI_INT_H
