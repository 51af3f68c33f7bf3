/*
 * octable.cpp - OcTable: (name, value) slots in one heap array.
 *
 * A slot with a null name is empty.  Look-ups walk the slots in order and
 * compare names with StrCNICmp; a new name takes the first empty slot, and
 * when there is none the array is reallocated 10 slots larger.  The first
 * NameAdd allocates the initial slots.
 */
#include <cstdlib>
#include <cstring>
#include <cassert>
#include "octable.h"
#include "str.h"

namespace orin::classes {

constexpr ULONG kDefaultSlots = 100;
constexpr ULONG kGrowSlots = 10;
constexpr size_t kWholeName = static_cast<size_t>(-1);

inline bool sameName(const char *a, const char *b)
{
    return StrCNICmp(a, b, kWholeName) == 0;
}

}  // namespace orin::classes

using namespace orin::classes;

OcTable::OcTable(ULONG initialSlots, ULONG entrySize)
    : m_slots(nullptr), m_slotCount(0), m_used(0),
      m_initialSlots(initialSlots == 0 ? kDefaultSlots : initialSlots), m_entrySize(entrySize)
{
}

OcTable::~OcTable()
{
    Free();
}

OcTable::Slot *OcTable::Find(const char *name) const
{
    for (ULONG i = 0; i < m_slotCount; i++)
        if (m_slots[i].name != nullptr && sameName(m_slots[i].name, name))
            return &m_slots[i];
    return nullptr;
}

OcTable::Slot *OcTable::FirstEmpty()
{
    for (ULONG i = 0; i < m_slotCount; i++)
        if (m_slots[i].name == nullptr)
            return &m_slots[i];
    return nullptr;
}

bool OcTable::GrowBy(ULONG slots)
{
    ULONG total = m_slotCount + slots;
    void *grown = realloc(m_slots, sizeof(Slot) * static_cast<size_t>(total));
    if (grown == nullptr)
        return false;
    m_slots = static_cast<Slot *>(grown);
    memset(m_slots + m_slotCount, 0, sizeof(Slot) * slots);
    m_slotCount = total;
    return true;
}

/* The slot's value becomes `value`, or a copy of its first entry-size
 * bytes when the table copies values; false when the copy cannot be made
 * (the old value stays). */
bool OcTable::StoreValue(Slot &slot, void *value)
{
    void *stored = value;
    if (m_entrySize != 0 && value != nullptr) {
        stored = malloc(m_entrySize);
        if (stored == nullptr)
            return false;
        memcpy(stored, value, m_entrySize);
    }
    ReleaseValue(slot);
    slot.value = stored;
    return true;
}

void OcTable::ReleaseValue(Slot &slot)
{
    if (m_entrySize != 0)
        free(slot.value);
    slot.value = nullptr;
}

int OcTable::NameAdd(const char *name, void *value)
{
    if (name == nullptr)
        return 0;
    if (Slot *existing = Find(name))
        return StoreValue(*existing, value) ? 1 : 0;
    if (m_slots == nullptr && !GrowBy(m_initialSlots))
        return 0;
    Slot *slot = FirstEmpty();
    if (slot == nullptr) {
        if (!GrowBy(kGrowSlots))
            return 0;
        slot = FirstEmpty();
    }
    // Invariant: a table that could grow has an empty slot.
    assert(slot != nullptr);
    char *copy = static_cast<char *>(malloc(strlen(name) + 1));
    if (copy == nullptr)
        return 0;
    strcpy(copy, name);
    if (!StoreValue(*slot, value)) {
        free(copy);
        return 0;
    }
    slot->name = copy;
    m_used++;
    return 1;
}

void *OcTable::NameLookup(const char *name) const
{
    if (name == nullptr)
        return nullptr;
    Slot *slot = Find(name);
    return slot != nullptr ? slot->value : nullptr;
}

int OcTable::NameDelete(const char *name)
{
    if (name == nullptr)
        return 0;
    Slot *slot = Find(name);
    if (slot == nullptr)
        return 0;
    free(slot->name);
    ReleaseValue(*slot);
    slot->name = nullptr;
    m_used--;
    return 1;
}

void OcTable::Free()
{
    for (ULONG i = 0; i < m_slotCount; i++) {
        free(m_slots[i].name);
        ReleaseValue(m_slots[i]);
    }
    free(m_slots);
    m_slots = nullptr;
    m_slotCount = 0;
    m_used = 0;
}
