/*
 * win_create.cpp - creating PM windows on native windows, and the popup
 * list.
 *
 * WinCreateWindowEx turns the PM creation arguments into a native
 * CreateWindowEx call: a base style from the parent (top level, popup or
 * child), class-specific bits for the native control classes, the general
 * PM bits (visible, disabled, clipping, group, tab stop, minimised), and a
 * native y measured from the top of the parent.  PM classes get a tagged
 * creation record as create parameter; the front end builds the window
 * record from it when the native create message arrives (win_record.cpp).
 *
 * Windows created with the native popup style are also kept in the popup
 * list, which the dialog layer walks when it disables an application.
 */
#include <algorithm>
#include <array>
#include <new>
#include <vector>
#include "pm/pmint.h"

namespace orin::pm {
namespace {

struct StyleBit {
    ULONG pm;
    ULONG native;
};

/* General PM style bits and their native twins. */
constexpr std::array<StyleBit, 7> kGeneralBits = {{
    {PM_WS_VISIBLE, WS_VISIBLE},
    {PM_WS_DISABLED, WS_DISABLED},
    {PM_WS_CLIPCHILDREN, WS_CLIPCHILDREN},
    {PM_WS_CLIPSIBLINGS, WS_CLIPSIBLINGS},
    {PM_WS_TABSTOP, WS_TABSTOP},
    {PM_WS_GROUP, WS_GROUP},
    {PM_WS_MINIMIZED, WS_MINIMIZE},
}};

/* PM button kinds (low three style bits) -> native button types. */
constexpr std::array<ULONG, 8> kButtonTypes = {
    BS_PUSHBUTTON, BS_CHECKBOX, BS_AUTOCHECKBOX, BS_RADIOBUTTON,
    BS_AUTORADIOBUTTON, BS_3STATE, BS_AUTO3STATE, BS_OWNERDRAW,
};
constexpr ULONG kPmBsKindMask = 0x7;
constexpr ULONG kPmBsDefault = 0x400;

constexpr ULONG kPmEsCenter = 0x01;
constexpr ULONG kPmEsRight = 0x02;
constexpr ULONG kPmEsAutoScroll = 0x04;
constexpr ULONG kPmEsMargin = 0x08;
constexpr ULONG kPmEsReadOnly = 0x20;
constexpr ULONG kPmEsUnreadable = 0x40;

constexpr ULONG kPmMlsBorder = 0x02;
constexpr ULONG kPmMlsHScroll = 0x04;
constexpr ULONG kPmMlsVScroll = 0x08;

constexpr ULONG kPmCbsKindMask = 0x7;
constexpr ULONG kPmCbsSort = 0x10;
constexpr ULONG kPmCbsAutoHScroll = 0x40;
constexpr ULONG kComboSorted = 0x210;
constexpr ULONG kComboSimple = WS_VSCROLL | CBS_SIMPLE;
constexpr ULONG kComboDropDown = WS_VSCROLL | CBS_DROPDOWN;
constexpr ULONG kComboDropDownList = WS_VSCROLL | CBS_DROPDOWNLIST;

constexpr ULONG kPmLsMultipleSel = 0x01;
constexpr ULONG kPmLsOwnerDraw = 0x02;
constexpr ULONG kPmLsHorzScroll = 0x08;
constexpr ULONG kPmLsNoVScroll = 0x10;
constexpr ULONG kListBoxBase = 0x801001;      // notify, border, scroll-bar base
constexpr ULONG kListBoxOwnerDraw = 0x50;     // owner-draw with strings

constexpr ULONG kPmSbsVert = 0x01;

constexpr ULONG kPmExsClientEdge = 0x200;
constexpr ULONG kPmExsTopmost = 0x001;
constexpr ULONG kPmExsNoParentNotify = 0x004;

ULONG nativeGeneralBits(ULONG pm) noexcept
{
    ULONG native = 0;
    for (const StyleBit &b : kGeneralBits)
        if (pm & b.pm)
            native |= b.native;
    return native;
}

/* What a PM control class asks of its native window. */
struct NativeShape {
    const char *className;              // MLE becomes EDIT
    ULONG style = 0;
    DWORD exStyle = 0;
};

bool isClass(const char *name, const char *native) noexcept
{
    return _stricmp(name, native) == 0;
}

ULONG entryFieldStyle(ULONG fl) noexcept
{
    ULONG ns = 0;
    if (fl & kPmEsCenter)     ns |= ES_CENTER;
    if (fl & kPmEsRight)      ns |= ES_RIGHT;
    if (fl & kPmEsAutoScroll) ns |= ES_AUTOHSCROLL;
    if (fl & kPmEsMargin)     ns |= WS_BORDER;
    if (fl & kPmEsUnreadable) ns |= ES_PASSWORD;
    if (fl & kPmEsReadOnly)   ns |= ES_READONLY;
    return ns;
}

ULONG multiLineEditStyle(ULONG fl) noexcept
{
    ULONG ns = ES_MULTILINE;
    if (fl & kPmMlsBorder)  ns |= WS_BORDER;
    if (fl & kPmMlsVScroll) ns |= WS_VSCROLL | ES_AUTOVSCROLL;
    if (fl & kPmMlsHScroll) ns |= WS_HSCROLL | ES_AUTOHSCROLL;
    return ns;
}

ULONG comboBoxStyle(ULONG fl) noexcept
{
    ULONG ns = 0;
    switch (fl & kPmCbsKindMask) {
    case 1: ns = kComboSimple; break;
    case 2: ns = kComboDropDown; break;
    case 4: ns = kComboDropDownList; break;
    }
    if (fl & kPmCbsSort)        ns |= kComboSorted;
    if (fl & kPmCbsAutoHScroll) ns |= CBS_AUTOHSCROLL;
    return ns;
}

ULONG listBoxStyle(ULONG fl) noexcept
{
    ULONG ns = kListBoxBase;
    if (fl & kPmLsMultipleSel)    ns |= LBS_MULTIPLESEL;
    if (fl & kPmLsOwnerDraw)      ns |= kListBoxOwnerDraw;
    if (!(fl & kPmLsNoVScroll))   ns |= WS_VSCROLL;
    if (fl & kPmLsHorzScroll)     ns |= WS_HSCROLL;
    return ns;
}

/* Class-specific native bits of the native control classes. */
NativeShape controlShape(const char *name, ULONG fl) noexcept
{
    NativeShape shape{name};
    if (IS_INTRESOURCE(name))
        return shape;
    if (isClass(name, "BUTTON")) {
        ULONG kind = fl & kPmBsKindMask;
        shape.style = kind == 0 && (fl & kPmBsDefault) ? BS_DEFPUSHBUTTON : kButtonTypes[kind];
    } else if (isClass(name, "EDIT")) {
        shape.style = entryFieldStyle(fl);
    } else if (isClass(name, "MLE")) {
        shape.className = "EDIT";
        shape.style = multiLineEditStyle(fl);
    } else if (isClass(name, "COMBOBOX")) {
        shape.style = comboBoxStyle(fl);
    } else if (isClass(name, "LISTBOX")) {
        shape.style = listBoxStyle(fl);
        shape.exStyle = WS_EX_CLIENTEDGE;
    } else if (isClass(name, "SCROLLBAR")) {
        shape.style = fl & kPmSbsVert;
    }
    return shape;
}

/* Top level, popup (desktop parent with an owner) or child. */
ULONG baseStyle(HWND parent, HWND owner) noexcept
{
    if (parent == PM_HWND_DESKTOP)
        return owner ? WS_POPUP : 0;
    if (!parent)
        return WS_CLIPSIBLINGS;
    return WS_CHILD | WS_CLIPSIBLINGS;
}

DWORD nativeExStyle(ULONG flExStyle) noexcept
{
    DWORD ex = 0;
    if (flExStyle & kPmExsClientEdge)     ex |= WS_EX_CLIENTEDGE;
    if (flExStyle & kPmExsTopmost)        ex |= WS_EX_TOPMOST;
    if (flExStyle & kPmExsNoParentNotify) ex |= WS_EX_NOPARENTNOTIFY;
    return ex;
}

/* The native parent: none for top-level windows, the owner for popups. */
HWND nativeParentOf(HWND parent, HWND owner, ULONG style) noexcept
{
    HWND native;
    if ((style & WS_POPUP) || parent == PM_HWND_DESKTOP)
        native = (style & WS_POPUP) ? owner : nullptr;
    else
        native = parent;
    native = OwmMapDesktop(native);
    return native == GetDesktopWindow() ? nullptr : native;
}

void placeInZOrder(HWND hwnd, HWND behind) noexcept
{
    HWND after = behind == PM_HWND_TOP      ? HWND_TOP
               : behind == PM_HWND_BOTTOM ? HWND_BOTTOM
                                          : behind;
    SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

/* Windows created with the popup style; belongs to the GUI thread. */
constinit Lasting<std::vector<HWND>> popupList;

std::vector<HWND> &popups() noexcept
{
    return popupList.value;
}

}  // namespace

ULONG OwmPMStyleFromNative(ULONG native) noexcept
{
    ULONG pm = 0;
    for (const StyleBit &b : kGeneralBits)
        if (native & b.native)
            pm |= b.pm;
    return pm;
}

LONG OwmClientHeight(HWND hwnd) noexcept
{
    RECT rc;
    if (!hwnd || hwnd == PM_HWND_DESKTOP)
        hwnd = GetDesktopWindow();
    if (!GetClientRect(hwnd, &rc))
        return 0;
    return rc.bottom - rc.top;
}

void OwmPopupListAdd(HWND hwnd) noexcept
{
    // native popups never pass the front end's destroy handler: prune them
    std::erase_if(popups(), [](HWND w) { return !IsWindow(w); });
    try {
        popups().push_back(hwnd);
    } catch (const std::bad_alloc &) {
        // without memory the window is simply not listed
    }
}

void OwmPopupListRemove(HWND hwnd) noexcept
{
    auto it = std::find(popups().begin(), popups().end(), hwnd);
    if (it != popups().end())
        popups().erase(it);
}

size_t OwmPopupListCount() noexcept
{
    return popups().size();
}

HWND OwmPopupListAt(size_t i) noexcept
{
    return i < popups().size() ? popups()[i] : nullptr;
}

void OwmPopupListFree() noexcept
{
    std::vector<HWND>().swap(popups());
}

}  // namespace orin::pm

using namespace orin::pm;

HWND ORINAPI WinCreateWindowEx(HWND hwndParent, const char *pszClass, const char *pszName,
                               ULONG flStyle, ULONG flExStyle, LONG x, LONG y, LONG cx,
                               LONG cy, HWND hwndOwner, HWND hwndInsertBehind, ULONG id,
                               PVOID pCtlData, PVOID pPresParams) noexcept
{
    if (!pszClass) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    ClassRef cls = OwmFindClass(pszClass);
    NativeShape shape = controlShape(pszClass, flStyle);
    ULONG style = baseStyle(hwndParent, hwndOwner) | shape.style;
    if ((flStyle & PM_WS_CLIPCHILDREN) || (cls && (cls->flStyle & PM_WS_CLIPCHILDREN)))
        style |= WS_CLIPCHILDREN;
    style |= nativeGeneralBits(flStyle);
    DWORD exStyle = shape.exStyle | nativeExStyle(flExStyle);

    HWND nativeParent = nativeParentOf(hwndParent, hwndOwner, style);
    LONG nativeY = OwmClientHeight((style & WS_POPUP) ? nullptr : nativeParent) - y - cy;
    HMENU idOrMenu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(id))
                                        : nullptr;
    HINSTANCE hinst = cls ? cls->hinst : GetModuleHandleA(nullptr);

    OWMCREATEREC rec = {};
    rec.tag = kCreateTag;
    rec.pCtlData = pCtlData;
    rec.flStyle = flStyle;
    rec.hwndOwner = OwmMapDesktop(hwndOwner);
    rec.hwndParent = OwmMapDesktop(hwndParent);
    HWND hwnd = CreateWindowExA(exStyle, shape.className, pszName ? pszName : "", style, x,
                                nativeY, cx, cy, nativeParent, idOrMenu, hinst,
                                cls ? static_cast<PVOID>(&rec) : pCtlData);
    if (!hwnd) {
        DWORD err = GetLastError();
        SetLastError(err ? err : ORIN_ERR_GENERAL);
        return nullptr;
    }
    if (!IS_INTRESOURCE(shape.className) && isClass(shape.className, "EDIT") &&
        (GetWindowLongA(hwnd, GWL_STYLE) & ES_MULTILINE))
        SendMessageA(hwnd, EM_LIMITTEXT, 0, 0);
    if (style & WS_POPUP)
        OwmPopupListAdd(hwnd);
    if (hwndInsertBehind)
        placeInZOrder(hwnd, hwndInsertBehind);
    return hwnd;
}

HWND ORINAPI WinCreateWindow(HWND hwndParent, const char *pszClass, const char *pszName,
                             ULONG flStyle, LONG x, LONG y, LONG cx, LONG cy,
                             HWND hwndOwner, HWND hwndInsertBehind, ULONG id,
                             PVOID pCtlData, PVOID pPresParams) noexcept
{
    return WinCreateWindowEx(hwndParent, pszClass, pszName, flStyle, 0, x, y, cx, cy,
                             hwndOwner, hwndInsertBehind, id, pCtlData, pPresParams);
}
