/*
 * msg_keys.c - keyboard translation between native key and character
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
#include "pm/pmint.h"
#include "frame/knlint.h"
#include "str.h"

#define REPORTED_AFTER_KEYDOWN 1
#define REPORTED_PASS          2     /* characters pass from this value on */
#define TRAIL_BYTE_ATTEMPTS    10
#define CONTEXT_ALT_BIT        (1L << 29)
#define NATIVE_LWIN            0x5B
#define NATIVE_APPS            0x5D

static const struct { BYTE native; BYTE pm; } virtualKeys[] = {
    { 0x03, PM_VK_BREAK }, { 0x08, PM_VK_BACKSPACE }, { 0x09, PM_VK_TAB },
    { 0x0C, PM_VK_CLEAR }, { 0x0D, PM_VK_NEWLINE }, { 0x12, PM_VK_ALT },
    { 0x13, PM_VK_PAUSE }, { 0x1B, PM_VK_ESC }, { 0x21, PM_VK_PAGEUP },
    { 0x22, PM_VK_PAGEDOWN }, { 0x23, PM_VK_END }, { 0x24, PM_VK_HOME },
    { 0x25, PM_VK_LEFT }, { 0x26, PM_VK_UP }, { 0x27, PM_VK_RIGHT },
    { 0x28, PM_VK_DOWN }, { 0x2C, PM_VK_PRINTSCRN }, { 0x2D, PM_VK_INSERT },
    { 0x2E, PM_VK_DELETE }, { 0x6B, PM_VK_PLUS }, { 0x6D, PM_VK_MINUS },
    { 0x70, 0x20 }, { 0x71, 0x21 }, { 0x72, 0x22 }, { 0x73, 0x23 },
    { 0x74, 0x24 }, { 0x75, 0x25 }, { 0x76, 0x26 }, { 0x77, 0x27 },
    { 0x78, 0x28 }, { 0x79, 0x29 }, { 0x7A, 0x2A }, { 0x7B, 0x2B },
};
#define N_VIRTUAL_KEYS (sizeof virtualKeys / sizeof virtualKeys[0])

static const struct { BYTE native; char ch; } numPad[] = {
    { 0x60, '0' }, { 0x61, '1' }, { 0x62, '2' }, { 0x63, '3' }, { 0x64, '4' },
    { 0x65, '5' }, { 0x66, '6' }, { 0x67, '7' }, { 0x68, '8' }, { 0x69, '9' },
    { 0x6A, '*' }, { 0x6E, '.' }, { 0x6F, '/' },
};
#define N_NUMPAD (sizeof numPad / sizeof numPad[0])

static USHORT keyDownReported = REPORTED_PASS;

static USHORT pmVirtualKey(WPARAM native)
{
    size_t i;
    for (i = 0; i < N_VIRTUAL_KEYS; i++)
        if (virtualKeys[i].native == native)
            return virtualKeys[i].pm;
    return 0;
}

static int nativeVirtualKey(USHORT pm)
{
    size_t i;
    if (pm == PM_VK_BACKTAB)
        pm = PM_VK_TAB;
    for (i = 0; i < N_VIRTUAL_KEYS; i++)
        if (virtualKeys[i].pm == pm)
            return virtualKeys[i].native;
    return -1;
}

static char numPadChar(WPARAM native)
{
    size_t i;
    for (i = 0; i < N_NUMPAD; i++)
        if (numPad[i].native == native)
            return numPad[i].ch;
    return 0;
}

static BOOL keyHeld(int vk)
{
    return GetKeyState(vk) < 0;
}

/* Shift-state flags; control without alt lowers the character. */
static USHORT shiftFlags(LPARAM lParam, BOOL keyUp, USHORT *ch)
{
    BOOL ctrl = keyHeld(VK_CONTROL);
    BOOL alt = keyHeld(VK_MENU) || (lParam & CONTEXT_ALT_BIT);
    USHORT flags = 0;
    if (ctrl && !alt) {
        flags |= PM_KC_CTRL;
        if (!keyUp)
            *ch = ChrToLower(*ch);
    }
    if (keyHeld(VK_SHIFT))
        flags |= PM_KC_SHIFT;
    if (alt && !ctrl)
        flags |= PM_KC_ALT;
    return flags;
}

static MPARAM charMp1(USHORT flags, LPARAM lParam, USHORT repeat)
{
    BYTE scan = (BYTE)(lParam >> 16);
    return (MPARAM)(ULONG_PTR)((ULONG)flags | ((ULONG)(repeat & 0xFF) << 16) |
                               ((ULONG)scan << 24));
}

/* The window whose queued messages this window handles. */
static BOOL peekKeyRange(HWND hwnd, MSG *next)
{
    HWND source;
    if (PeekMessageA(next, hwnd, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE))
        return TRUE;
    source = OwmRedirectSource(hwnd);
    return source && PeekMessageA(next, source, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE);
}

LRESULT OwmKeyMessage(HWND hwnd, OWMWND *rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    BOOL down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
    USHORT flags = 0, ch = 0, vk;
    char pad;
    MSG next;
    MRESULT reply;

    if (!OwmInputEnabled(hwnd))
        return 0;
    if (down && peekKeyRange(hwnd, &next)) {
        if (next.message == WM_DEADCHAR || next.message == WM_SYSDEADCHAR)
            return 0;
        /* a DBCS lead byte is left to the character message, which
         * delivers it together with its trail byte */
        if (next.message == WM_CHAR && !KNL_ISLEAD((BYTE)next.wParam)) {
            ch = (USHORT)next.wParam;
            flags |= PM_KC_CHAR;
            keyDownReported = REPORTED_AFTER_KEYDOWN;
        }
    }
    if (!down)
        flags |= PM_KC_KEYUP;
    flags |= shiftFlags(lParam, !down, &ch);
    if ((pad = numPadChar(wParam)) != 0) {
        ch = (BYTE)pad;
        flags |= PM_KC_CHAR;
    }
    if (wParam >= NATIVE_LWIN && wParam <= NATIVE_APPS)
        return 0;
    if ((vk = pmVirtualKey(wParam)) != 0) {
        flags |= PM_KC_VIRTUALKEY;
        if (vk == PM_VK_TAB && (flags & PM_KC_SHIFT))
            vk = PM_VK_BACKTAB;
    }
    if (((vk == PM_VK_TAB || vk == PM_VK_BACKTAB) && (flags & PM_KC_ALT)) ||
        (vk == PM_VK_ESC && (flags & (PM_KC_CTRL | PM_KC_ALT))) ||
        flags == PM_KC_SHIFT)
        return DefWindowProcA(hwnd, msg, wParam, lParam);

    reply = rec->pfnWndProc ? rec->pfnWndProc(hwnd, PM_WM_CHAR,
                                              charMp1(flags, lParam, LOWORD(lParam)),
                                              MPFROM2SHORT(ch, vk)) : 0;
    if ((ULONG_PTR)reply == 1)
        return 0;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static BOOL takeTrailByte(HWND hwnd, BYTE *trail)
{
    MSG m;
    int i;
    for (i = 0; i < TRAIL_BYTE_ATTEMPTS; i++)
        if (PeekMessageA(&m, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE)) {
            *trail = (BYTE)m.wParam;
            return TRUE;
        }
    return FALSE;
}

LRESULT OwmCharMessage(HWND hwnd, OWMWND *rec, WPARAM wParam, LPARAM lParam)
{
    BOOL enabled = OwmInputEnabled(hwnd);
    USHORT ch = (USHORT)(wParam & 0xFFFF), flags, previous;

    if (enabled && KNL_ISLEAD(ch & 0xFF)) {
        BYTE lead = (BYTE)ch, trail = (BYTE)(ch >> 8);
        if (!trail && !takeTrailByte(hwnd, &trail))
            return 0;
        if (rec->pfnWndProc)
            rec->pfnWndProc(hwnd, PM_WM_CHAR, charMp1(PM_KC_CHAR | PM_KC_SCANCODE, lParam, 1),
                            MPFROM2SHORT(((USHORT)trail << 8) | lead, 0));
        return 0;
    }
    previous = keyDownReported;
    if (keyDownReported < REPORTED_PASS)
        keyDownReported++;
    if (previous < REPORTED_PASS || !enabled)
        return 0;
    flags = PM_KC_CHAR | shiftFlags(lParam, FALSE, &ch);
    if (rec->pfnWndProc)
        rec->pfnWndProc(hwnd, PM_WM_CHAR, charMp1(flags, lParam, LOWORD(lParam)),
                        MPFROM2SHORT(ch, 0));
    return 0;
}

MRESULT OwmSendPMCharToNative(HWND hwnd, MPARAM mp1, MPARAM mp2)
{
    ULONG m1 = LONGFROMMP(mp1);
    USHORT flags = (USHORT)m1;
    LPARAM lParam = (LPARAM)(((m1 >> 16) & 0xFF) | (((m1 >> 24) & 0xFF) << 16));
    BOOL up = (flags & PM_KC_KEYUP) != 0;

    if (flags & PM_KC_ALT)
        lParam |= CONTEXT_ALT_BIT;
    if (flags & PM_KC_VIRTUALKEY) {
        int native = nativeVirtualKey(SHORT2FROMMP(mp2));
        if (native < 0)
            return 0;
        return (MRESULT)SendMessageA(hwnd, up ? WM_KEYUP : WM_KEYDOWN, (WPARAM)native, lParam);
    }
    return (MRESULT)SendMessageA(hwnd, up ? WM_KEYUP : WM_CHAR, SHORT1FROMMP(mp2), lParam);
}
