/*
 * octable.h - OcTable: a table of named values.
 *
 * Names are copied and compared without regard to case (StrCNICmp, so DBCS
 * characters compare whole).  A name added again gets the new value; a new
 * name takes the first empty slot, and a full table grows by 10 slots.
 *
 * The constructor takes the initial slot count (100 when 0), allocated on
 * the first NameAdd, and an entry size: 0 stores the value pointers the
 * caller gives (the caller owns what they point to); a non-zero size makes
 * the table copy that many bytes from each value into a block it owns, and
 * NameLookup answers the copy.  Deleting a name frees its name and copy and
 * clears the whole slot.  Members return 1, or 0 for a null name, a name
 * not found or memory running out (the table is then unchanged).
 */
#ifndef OCTABLE_H
#define OCTABLE_H

#include "orinbase.h"

#ifdef __cplusplus

class ORIN_CLASS OcTable {
public:
    explicit OcTable(ULONG initialSlots = 0, ULONG entrySize = 0);
    OcTable(const OcTable &) = delete;
    OcTable &operator=(const OcTable &) = delete;
    virtual ~OcTable();

    int NameAdd(const char *name, void *value);
    void *NameLookup(const char *name) const;
    int NameDelete(const char *name);
    void Free();

    ULONG Slots() const { return m_slotCount; }
    ULONG Count() const { return m_used; }

private:
    struct Slot {
        char *name;   // null: the slot is empty
        void *value;
    };
    Slot *Find(const char *name) const;
    Slot *FirstEmpty();
    bool GrowBy(ULONG slots);
    bool StoreValue(Slot &slot, void *value);
    void ReleaseValue(Slot &slot);

    Slot *m_slots;
    ULONG m_slotCount;
    ULONG m_used;
    ULONG m_initialSlots;
    ULONG m_entrySize;
};

#endif /* __cplusplus */

#endif /* OCTABLE_H */
