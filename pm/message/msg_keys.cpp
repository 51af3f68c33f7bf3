/*
 * msg_keys.cpp - keyboard translation between native key and character
 * messages and PM WM_CHAR.
 *
 * PM reports a key press as one WM_CHAR carrying both the virtual key and
 * the character, while the native queue reports a key-down and, after
 * translation, a separate character message.  On a key-down the front end
 * therefore peeks at the queue: a pending character is taken into the
 * key's WM_CHAR and the "key-down reported" counter is set to 1, so the
 * character message that follows is dropped (the counter only lets
 * characters through once it has reached 2 again).  A pending dead
 * character drops the key.  DBCS characters arrive as a lead and a trail
 * character message and leave as one WM_CHAR with both bytes.
 *
 * WM_CHAR mp1: flags (low 16), repeat count (bits 16-23), scan code
 * (bits 24-31); mp2: character (low 16), PM virtual key (high 16).
 */
#include <algorithm>
#include <array>
#include "pm/pmint.h"
#include "frame/knl_dbcs.h"
#include "str.h"

namespace orin::pm {
namespace {

constexpr USHORT kReportedAfterKeyDown = 1;
constexpr USHORT kReportedPass = 2;     // characters pass from this value on
constexpr int kTrailByteAttempts = 10;
constexpr LPARAM kContextAltBit = 1L << 29;
constexpr WPARAM kNativeLWin = 0x5B;
constexpr WPARAM kNativeApps = 0x5D;

struct VirtualKey {
    BYTE native;
    BYTE pm;
};

constexpr auto kVirtualKeys = std::to_array<VirtualKey>({
    {0x03, PM_VK_BREAK}, {0x08, PM_VK_BACKSPACE}, {0x09, PM_VK_TAB},
    {0x0C, PM_VK_CLEAR}, {0x0D, PM_VK_NEWLINE}, {0x12, PM_VK_ALT},
    {0x13, PM_VK_PAUSE}, {0x1B, PM_VK_ESC}, {0x21, PM_VK_PAGEUP},
    {0x22, PM_VK_PAGEDOWN}, {0x23, PM_VK_END}, {0x24, PM_VK_HOME},
    {0x25, PM_VK_LEFT}, {0x26, PM_VK_UP}, {0x27, PM_VK_RIGHT},
    {0x28, PM_VK_DOWN}, {0x2C, PM_VK_PRINTSCRN}, {0x2D, PM_VK_INSERT},
    {0x2E, PM_VK_DELETE}, {0x6B, PM_VK_PLUS}, {0x6D, PM_VK_MINUS},
    {0x70, 0x20}, {0x71, 0x21}, {0x72, 0x22}, {0x73, 0x23},
    {0x74, 0x24}, {0x75, 0x25}, {0x76, 0x26}, {0x77, 0x27},
    {0x78, 0x28}, {0x79, 0x29}, {0x7A, 0x2A}, {0x7B, 0x2B},
});

struct PadKey {
    BYTE native;
    char ch;
};

constexpr auto kNumPad = std::to_array<PadKey>({
    {0x60, '0'}, {0x61, '1'}, {0x62, '2'}, {0x63, '3'}, {0x64, '4'},
    {0x65, '5'}, {0x66, '6'}, {0x67, '7'}, {0x68, '8'}, {0x69, '9'},
    {0x6A, '*'}, {0x6E, '.'}, {0x6F, '/'},
});

/* Whether the last key-down already delivered its character; belongs to
 * the GUI thread, as the keyboard does. */
USHORT keyDownReported = kReportedPass;

USHORT pmVirtualKey(WPARAM native) noexcept
{
    auto it = std::find_if(kVirtualKeys.begin(), kVirtualKeys.end(),
                           [native](const VirtualKey &k) { return k.native == native; });
    return it == kVirtualKeys.end() ? 0 : it->pm;
}

int nativeVirtualKey(USHORT pm) noexcept
{
    if (pm == PM_VK_BACKTAB)
        pm = PM_VK_TAB;
    auto it = std::find_if(kVirtualKeys.begin(), kVirtualKeys.end(),
                           [pm](const VirtualKey &k) { return k.pm == pm; });
    return it == kVirtualKeys.end() ? -1 : it->native;
}

char numPadChar(WPARAM native) noexcept
{
    auto it = std::find_if(kNumPad.begin(), kNumPad.end(),
                           [native](const PadKey &k) { return k.native == native; });
    return it == kNumPad.end() ? 0 : it->ch;
}

bool keyHeld(int vk) noexcept
{
    return GetKeyState(vk) < 0;
}

/* Shift-state flags; control without alt lowers the character. */
USHORT shiftFlags(LPARAM lParam, bool keyUp, USHORT &ch) noexcept
{
    bool ctrl = keyHeld(VK_CONTROL);
    bool alt = keyHeld(VK_MENU) || (lParam & kContextAltBit);
    USHORT flags = 0;
    if (ctrl && !alt) {
        flags |= PM_KC_CTRL;
        if (!keyUp)
            ch = ChrToLower(ch);
    }
    if (keyHeld(VK_SHIFT))
        flags |= PM_KC_SHIFT;
    if (alt && !ctrl)
        flags |= PM_KC_ALT;
    return flags;
}

MPARAM charMp1(USHORT flags, LPARAM lParam, USHORT repeat) noexcept
{
    auto scan = static_cast<BYTE>(lParam >> 16);
    return reinterpret_cast<MPARAM>(static_cast<ULONG_PTR>(
        flags | (static_cast<ULONG>(repeat & 0xFF) << 16) | (static_cast<ULONG>(scan) << 24)));
}

/* The next key-range message queued for this window (or for the window
 * redirected to it), left in the queue. */
bool peekKeyRange(HWND hwnd, MSG &next) noexcept
{
    if (PeekMessageA(&next, hwnd, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE))
        return true;
    HWND source = OwmRedirectSource(hwnd);
    return source && PeekMessageA(&next, source, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE);
}

/* Keys that never become WM_CHAR: alt+tab, ctrl/alt+escape, shift alone. */
bool droppedKey(USHORT vk, USHORT flags) noexcept
{
    return ((vk == PM_VK_TAB || vk == PM_VK_BACKTAB) && (flags & PM_KC_ALT)) ||
           (vk == PM_VK_ESC && (flags & (PM_KC_CTRL | PM_KC_ALT))) || flags == PM_KC_SHIFT;
}

bool takeTrailByte(HWND hwnd, BYTE &trail) noexcept
{
    MSG m;
    for (int i = 0; i < kTrailByteAttempts; i++)
        if (PeekMessageA(&m, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE)) {
            trail = static_cast<BYTE>(m.wParam);
            return true;
        }
    return false;
}

}  // namespace

NativeReply OwmKeyMessage(HWND hwnd, PFNWP proc, UINT msg, WPARAM wParam, LPARAM lParam)
{
    constexpr NativeReply kSwallowed = NativeAnswer(0);
    if (!OwmInputEnabled(hwnd))
        return kSwallowed;
    bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
    USHORT flags = 0, ch = 0;
    MSG next;
    if (down && peekKeyRange(hwnd, next)) {
        if (next.message == WM_DEADCHAR || next.message == WM_SYSDEADCHAR)
            return kSwallowed;
        // a DBCS lead byte is left to the character message, which
        // delivers it together with its trail byte
        if (next.message == WM_CHAR && !orin::knl::isLeadByte(static_cast<BYTE>(next.wParam))) {
            ch = static_cast<USHORT>(next.wParam);
            flags |= PM_KC_CHAR;
            keyDownReported = kReportedAfterKeyDown;
        }
    }
    if (!down)
        flags |= PM_KC_KEYUP;
    flags |= shiftFlags(lParam, !down, ch);
    if (char pad = numPadChar(wParam)) {
        ch = static_cast<BYTE>(pad);
        flags |= PM_KC_CHAR;
    }
    if (wParam >= kNativeLWin && wParam <= kNativeApps)
        return kSwallowed;
    USHORT vk = pmVirtualKey(wParam);
    if (vk) {
        flags |= PM_KC_VIRTUALKEY;
        if (vk == PM_VK_TAB && (flags & PM_KC_SHIFT))
            vk = PM_VK_BACKTAB;
    }
    if (droppedKey(vk, flags))
        return kLeaveToNative;

    MRESULT reply = OwmCallPM(hwnd, proc, PM_WM_CHAR, charMp1(flags, lParam, LOWORD(lParam)),
                              MPFROM2SHORT(ch, vk));
    return reinterpret_cast<ULONG_PTR>(reply) == 1 ? kSwallowed : kLeaveToNative;
}

NativeReply OwmCharMessage(HWND hwnd, PFNWP proc, WPARAM wParam, LPARAM lParam)
{
    constexpr NativeReply kSwallowed = NativeAnswer(0);
    bool enabled = OwmInputEnabled(hwnd);
    auto ch = static_cast<USHORT>(wParam & 0xFFFF);
    if (enabled && orin::knl::isLeadByte(static_cast<BYTE>(ch & 0xFF))) {
        auto lead = static_cast<BYTE>(ch), trail = static_cast<BYTE>(ch >> 8);
        if (!trail && !takeTrailByte(hwnd, trail))
            return kSwallowed;
        OwmCallPM(hwnd, proc, PM_WM_CHAR, charMp1(PM_KC_CHAR | PM_KC_SCANCODE, lParam, 1),
                  MPFROM2SHORT((static_cast<USHORT>(trail) << 8) | lead, 0));
        return kSwallowed;
    }
    USHORT previous = keyDownReported;
    if (keyDownReported < kReportedPass)
        keyDownReported++;
    if (previous < kReportedPass || !enabled)
        return kSwallowed;
    USHORT flags = PM_KC_CHAR | shiftFlags(lParam, false, ch);
    OwmCallPM(hwnd, proc, PM_WM_CHAR, charMp1(flags, lParam, LOWORD(lParam)), MPFROM2SHORT(ch, 0));
    return kSwallowed;
}

MRESULT OwmSendPMCharToNative(HWND hwnd, MPARAM mp1, MPARAM mp2)
{
    ULONG m1 = LONGFROMMP(mp1);
    auto flags = static_cast<USHORT>(m1);
    auto lParam = static_cast<LPARAM>(((m1 >> 16) & 0xFF) | (((m1 >> 24) & 0xFF) << 16));
    bool up = flags & PM_KC_KEYUP;
    if (flags & PM_KC_ALT)
        lParam |= kContextAltBit;
    if (flags & PM_KC_VIRTUALKEY) {
        int native = nativeVirtualKey(SHORT2FROMMP(mp2));
        if (native < 0)
            return nullptr;
        return reinterpret_cast<MRESULT>(
            SendMessageA(hwnd, up ? WM_KEYUP : WM_KEYDOWN, static_cast<WPARAM>(native), lParam));
    }
    return reinterpret_cast<MRESULT>(
        SendMessageA(hwnd, up ? WM_KEYUP : WM_CHAR, SHORT1FROMMP(mp2), lParam));
}

}  // namespace orin::pm
