/*
 * ocstack.h - OcStack: a stack of fixed-size elements, optionally a ring of
 * the newest entries, that can be inverted and sorted.
 *
 * Element 1 is the bottom, element TopElement() the top.  Elements of 1024
 * bytes or more, or stacks whose element size times capacity passes 65,520
 * bytes, keep each element in a block of its own and a pointer in the slot
 * ("indirect" storage); all others keep the element in the slot.  A full
 * stack grows by one slot per push (Size() tells the slot count), unless it
 * was made as a ring, which then drops its bottom element instead.
 *
 * Sizes given to Push, Pop and GetAt: 0, or more than the element size,
 * means the whole element; a smaller size moves that many leading bytes
 * (Push zero-fills the rest of the element).  A null data pointer pushes a
 * zero-filled element.  Everything is allocated with the run-time heap; an
 * allocation that fails makes the member answer 0 and leaves the stack as
 * it was (except that a ring which already dropped its bottom element to
 * make room stays one element shorter).  Copies that cannot be allocated
 * are empty.
 *
 * Sort orders by the whole element, byte by byte (unsigned), either exactly
 * or after folding each byte with ChrToLower; elements that compare equal
 * keep their previous order, also when sorting descending.
 */
#ifndef OCSTACK_H
#define OCSTACK_H

#include "orinbase.h"

#ifdef __cplusplus

class ORIN_CLASS OcStack {
public:
    OcStack(ULONG elementSize, ULONG capacity = 0, BOOL ring = FALSE);
    OcStack(const OcStack &other);
    OcStack &operator=(const OcStack &other);
    virtual ~OcStack();

    int Push(const void *data, ULONG size = 0);
    int Pop(void *out = NULL, ULONG size = 0);
    int GetAt(LONG index, void *out, ULONG size = 0) const;
    void Clear();
    void Free();
    int Invert();
    int Sort(BOOL caseSensitive = TRUE, BOOL descending = FALSE);

    ULONG Size() const { return m_capacity; }
    ULONG TopElement() const { return m_top; }
    ULONG DataSize() const { return m_elementSize; }
    BOOL IsIndirect() const { return m_indirect; }
    BOOL IsRing() const { return m_ring; }

private:
    BYTE *Slot(ULONG position) const;          // position 1 = bottom
    BYTE *Element(ULONG position) const;       // the element's bytes, or null
    bool MakeRoom();
    bool Reserve(ULONG slots);
    void ReleaseElements();
    void CopyFrom(const OcStack &other);

    BYTE *m_slots;        // slot buffer
    ULONG m_capacity;     // slots in use as capacity
    ULONG m_slotSize;     // bytes per slot: the element, or a pointer
    ULONG m_elementSize;  // data size given at construction
    ULONG m_top;          // elements held
    BOOL  m_indirect;     // slots hold pointers to separate elements
    BOOL  m_ring;         // a full stack drops its bottom element on push
    ULONG m_allocated;    // slots the buffer has room for (>= capacity)
    ULONG m_first;        // buffer slot of element 1 (moved by a full ring)
};

#endif /* __cplusplus */

#endif /* OCSTACK_H */
