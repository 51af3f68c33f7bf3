/*
 * gpi_owner.cpp - owner-drawn controls drawn by PM code: the native
 * draw-item request becomes PM WM_DRAWITEM with a presentation space over
 * the request's device context.
 *
 * The PS is flipped against the control's client height, so the item
 * rectangle and whatever the PM procedure draws are in the control's PM
 * coordinates.  While the procedure draws, the context holds the null pen
 * and brush; its own pen and brush are put back afterwards and whatever
 * the PS made is deleted with it.  A focus change alone (with the focus
 * state) is not offered to PM code; a drawn item that has the focus gets a
 * dotted box around it.  Menu items are left to the native default.
 * Installed into the window layer's owner-draw hook, so PM windows,
 * standard frames and dialogs all use it.
 */
#include "gpi.h"
#include "pm/gpi/gpiint.h"
#include "pm/pmint.h"

namespace orin::pm::gpi {
namespace {

constexpr LONG kSelectedFore = -33;
constexpr LONG kSelectedBack = -32;
constexpr LONG kItemFore = -17;
constexpr LONG kItemBack = -34;
constexpr USHORT kSelectedState = ODS_SELECTED;     // the only state PM code sees

/* A PS over a native context for one request. */
class TemporaryPS {
public:
    TemporaryPS(HDC hdc, LONG width, LONG height) noexcept
    {
        PM_SIZEL size = {width, height};
        hps_ = GpiCreatePS(nullptr, hdc, &size, PM_GPIA_ASSOC);
    }
    ~TemporaryPS()
    {
        if (hps_)
            GpiDestroyPS(hps_);
    }
    TemporaryPS(const TemporaryPS &) = delete;
    TemporaryPS &operator=(const TemporaryPS &) = delete;
    HPS get() const noexcept { return hps_; }
private:
    HPS hps_ = nullptr;
};

/* The item rectangle in PM coordinates of a control of client height h. */
PM_RECTL pmItemRect(const RECT &rc, LONG h) noexcept
{
    return PM_RECTL{rc.left, h - rc.bottom, rc.right - 1, h - rc.top - 1};
}

void drawFocusBox(HPS hps, const PM_RECTL &rc) noexcept
{
    PM_POINTL lowerLeft = {rc.xLeft, rc.yBottom}, upperRight = {rc.xRight, rc.yTop};
    GpiSetPattern(hps, PM_PATSYM_DENSE3);
    GpiMove(hps, &lowerLeft);
    GpiBox(hps, PM_DRO_OUTLINE, &upperRight, 0, 0);
}

LRESULT drawItem(HWND owner, DRAWITEMSTRUCT *dis) noexcept
{
    if (static_cast<int>(dis->itemID) < 0 || dis->CtlType == ODT_MENU)
        return 0;
    RECT client = {};
    GetClientRect(dis->hwndItem, &client);
    const LONG h = client.bottom - client.top;
    bool selected = dis->itemState & ODS_SELECTED;
    bool focus = dis->itemState & ODS_FOCUS;
    if (dis->itemAction == ODA_FOCUS && focus)
        return 0;

    ScopedSelect pen(dis->hDC, GetStockObject(NULL_PEN));
    ScopedSelect brush(dis->hDC, GetStockObject(NULL_BRUSH));
    TemporaryPS ps(dis->hDC, client.right - client.left, h);
    if (!ps.get())
        return 0;
    GpiSetColor(ps.get(), selected ? kSelectedFore : kItemFore);
    GpiSetBackColor(ps.get(), selected ? kSelectedBack : kItemBack);
    GpiSetMix(ps.get(), PM_FM_OVERPAINT);
    GpiSetPattern(ps.get(), PM_PATSYM_DEFAULT);

    auto state = static_cast<USHORT>(dis->itemState & kSelectedState);
    PM_OWNERITEM item = {dis->hwndItem, ps.get(), state, state,
                         pmItemRect(dis->rcItem, h), static_cast<LONG>(dis->itemID), 0};
    auto reply = static_cast<USHORT>(reinterpret_cast<ULONG_PTR>(
        WinSendMsg(owner, PM_WM_DRAWITEM, MPFROMLONG(dis->CtlID), &item)));
    if (reply && focus)
        drawFocusBox(ps.get(), item.rclItem);
    return reply;
}

[[maybe_unused]] const bool installed = (OwmInstallDrawItemHook(drawItem), true);

}  // namespace
}  // namespace orin::pm::gpi
