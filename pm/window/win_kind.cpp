/*
 * win_kind.cpp - what a native window is, as the message layer needs it on
 * every send: its control kind, whether it is a plain scroll bar, and
 * whether it could be a PM window at all.
 *
 * All three follow from the window's class alone (the entry field / MLE
 * split also reads the window style, which can change, so it is read on
 * every query).  One native call, the class atom, both proves that the
 * handle names a live window and identifies the class; each thread keeps
 * a small table from atom to class facts, so the class name is read and
 * compared once per class and thread rather than on every send.  Keying by
 * class instead of by window handle makes a reused handle harmless: a new
 * window at an old handle is looked up by its own class.
 *
 * A class atom can come back with another class once its class is
 * unregistered, and a PM class may be registered under a name that plain
 * native windows used before; every registration or removal of a PM class
 * bumps a generation counter that empties all the tables at once.  A native
 * class unregistered and replaced by the application under the same atom is
 * also seen correctly, because the facts kept for it depend only on its
 * name and (for "could be PM") on the PM class table, which only a PM
 * registration changes.  "Could be PM" is only a filter: such windows still
 * go through the full record look-up.
 */
#include <atomic>
#include <cstring>
#include "pm/pmint.h"

namespace orin::pm {
namespace {

constexpr int kMaxClassName = 256;
constexpr size_t kCachedClasses = 16;          // a power of two

/* Bumped by every change to the set of PM classes. */
constinit std::atomic<LONG> classGeneration{0};

struct ClassFacts {
    ATOM atom = 0;                  // 0: empty slot
    USHORT kind = OWM_CTL_NONE;     // OWM_CTL_ENTRY stands for entry or MLE
    bool scrollBar = false;
    bool maybePM = false;
};

struct ClassTable {
    LONG generation = 0;
    ClassFacts slot[kCachedClasses];
};
thread_local ClassTable classTable;

/* The control kind named by a native class name, without the MLE split. */
USHORT kindOfClassName(const char *name) noexcept
{
    struct Kind {
        const char *className;
        USHORT kind;
    };
    static constexpr Kind kKinds[] = {
        {"BUTTON", OWM_CTL_BUTTON}, {"COMBOBOX", OWM_CTL_COMBOBOX}, {"EDIT", OWM_CTL_ENTRY},
        {"LISTBOX", OWM_CTL_LISTBOX}, {"STATIC", OWM_CTL_STATIC}, {"VLIST", OWM_CTL_VLIST},
    };
    for (const Kind &k : kKinds)
        if (_stricmp(name, k.className) == 0)
            return k.kind;
    return OWM_CTL_NONE;
}

/* Reads the facts of hwnd's class natively (the slow way). */
bool readFacts(HWND hwnd, ATOM atom, ClassFacts *facts) noexcept
{
    char name[kMaxClassName];
    if (!GetClassNameA(hwnd, name, sizeof name))
        return false;
    facts->atom = atom;
    facts->kind = kindOfClassName(name);
    facts->scrollBar = _stricmp(name, "SCROLLBAR") == 0;
    // Classes of one name in two modules share an atom: either may be PM.
    // A native control class is PM only when registered as such (a native
    // scroll bar's words alone are as large as a PM window's).
    bool control = facts->kind != OWM_CTL_NONE || facts->scrollBar;
    facts->maybePM = OwmFindClass(name) != nullptr ||
                     (!control && GetClassLongPtrA(hwnd, GCL_CBWNDEXTRA) >= kWndExtraBytes);
    return true;
}

USHORT finalKind(HWND hwnd, USHORT kind) noexcept
{
    if (kind == OWM_CTL_ENTRY && (GetWindowLongA(hwnd, GWL_STYLE) & ES_MULTILINE))
        return OWM_CTL_MLE;
    return kind;
}

}  // namespace

bool OwmNativeClass(HWND hwnd, NativeClass *out) noexcept
{
    auto atom = static_cast<ATOM>(GetClassLongPtrA(hwnd, GCW_ATOM));
    if (!atom)
        return false;               // not a window (the last error says so)
    ClassTable &table = classTable;
    LONG generation = classGeneration.load(std::memory_order_acquire);
    if (table.generation != generation)
        table = ClassTable{generation, {}};
    ClassFacts &facts = table.slot[atom & (kCachedClasses - 1)];
    if (facts.atom != atom) {
        ClassFacts fresh;
        if (!readFacts(hwnd, atom, &fresh))
            return false;
        facts = fresh;
    }
    // Invariant: a slot holds the facts of the atom it is named by.
    *out = {finalKind(hwnd, facts.kind), facts.scrollBar, facts.maybePM};
    return true;
}

void OwmClassesChanged() noexcept
{
    classGeneration.fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace orin::pm

USHORT ORINAPI OwmQueryControlKind(HWND hwnd) noexcept
{
    orin::pm::NativeClass nc;
    return orin::pm::OwmNativeClass(hwnd, &nc) ? nc.kind : OWM_CTL_UNKNOWN;
}
