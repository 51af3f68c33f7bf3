/*
 * dlg_int.h - what the files of the dialog layer share: the dialog record,
 * the pending record filled before a native dialog is created, the dialog
 * table, and the template adaptation for DBCS systems.
 */
#ifndef ORIN_PM_DIALOG_DLG_INT_H
#define ORIN_PM_DIALOG_DLG_INT_H

#include <array>
#include <optional>
#include <string>
#include <vector>
#include "windlg.h"

namespace orin::pm::dialog {

inline constexpr int kDialogWords = 17;
inline constexpr int kAccelWord = 16;         // the dialog's accelerator table
inline constexpr ULONG kNotDialog = PM_DID_ERROR;

/* One per live dialog (and the process-wide pending one). */
struct DlgRecord {
    bool inCreation = false;                  // the pending flag
    HWND owner = nullptr;                     // as given (PM_HWND_APPTOP kept)
    PFNWP proc = nullptr;
    PVOID createParams = nullptr;
    HAB anchor = nullptr;
    DLGPROC frontEnd = nullptr;
    std::array<ULONG_PTR, kDialogWords> words{};
    USHORT cEnable = 0;
    USHORT cDisable = 0;
    bool dismissed = false;
    ULONG result = 0;
    HICON icon = nullptr;
    HMODULE module = nullptr;
    LONG resultSlot = -1;
};

/* ---- dlg_record.cpp ---- */
DlgRecord &Pending() noexcept;
DlgRecord *FindRecord(HWND hwnd) noexcept;          // registered only
DlgRecord *RecordOrPending(HWND hwnd) noexcept;     // else the pending one while pending
bool       Register(HWND hwnd) noexcept;            // copies the pending record
void       Unregister(HWND hwnd) noexcept;
HWND       LastDialog() noexcept;
/* The application's current top window for PM_HWND_APPTOP. */
HWND       AppTopWindow() noexcept;

/* ---- dlg_proc.cpp ---- */
/* Translates a key message with the dialog's own table, then with the
 * application's (WinQueryAccelTable of no window); the command goes to
 * the dialog.  True when either translated it. */
bool TranslateDialogKey(HWND dlg, HACCEL own, MSG &m);

/* ---- dlg_template.cpp ---- */
/* Where the parts of a dialog template lie. */
struct TemplateLayout {
    bool extended = false;
    DWORD style = 0;
    size_t styleOffset = 0;
    size_t fontOffset = 0;                    // point size, or where it would go
    bool hasFont = false;
    WORD pointSize = 0;
    std::u16string face;
    size_t itemsOffset = 0;                   // first item (4-byte aligned)
    size_t size = 0;                          // end of the last item
};
std::optional<TemplateLayout> ParseTemplate(const BYTE *tpl, size_t limit) noexcept;

struct FontChoice {
    std::u16string face;
    WORD points = 0;                          // for templates of size 8 or none
    BYTE charset = DEFAULT_CHARSET;
};
/* The adapted copy, or empty when the template is used unchanged. */
std::vector<BYTE> AdaptTemplate(const BYTE *tpl, size_t limit, const FontChoice &font);
/* The system's default GUI font (or the system font) as a choice. */
FontChoice SystemDialogFont() noexcept;
/* AdaptTemplate with the system font on DBCS systems; empty elsewhere. */
std::vector<BYTE> AdaptForSystem(const BYTE *tpl, size_t limit);

}  // namespace orin::pm::dialog

#endif  // ORIN_PM_DIALOG_DLG_INT_H
