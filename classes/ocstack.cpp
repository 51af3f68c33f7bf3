/*
 * ocstack.cpp - OcStack: fixed-size elements in a slot buffer, bottom first.
 *
 * Slot p (1 = bottom) is buffer slot (first + p - 1) modulo the capacity;
 * only a full ring moves `first` (one step per push, dropping its bottom
 * element in place), every other stack keeps it 0.  A direct stack keeps
 * the element bytes in the slot; an indirect one keeps a pointer to a heap
 * block of the element size there, or null for an element pushed without
 * data (read back as zeros).  The logical capacity grows one slot per push
 * of a full stack, but the buffer itself is reallocated in steps of half
 * its size, so a long run of pushes costs amortised constant time.
 */
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cassert>
#include "ocstack.h"
#include "knl.h"
#include "str.h"

namespace orin::classes {

constexpr ULONG kIndirectElementSize = 1024;  // elements this large always live apart
constexpr ULONGLONG kDirectBufferLimit = 65520;  // bigger direct buffers go indirect
constexpr ULONG kPointerSlot = sizeof(void *);

bool needsIndirect(ULONG elementSize, ULONG capacity)
{
    return elementSize >= kIndirectElementSize ||
           static_cast<ULONGLONG>(elementSize) * capacity > kDirectBufferLimit;
}

/* What the sort puts in order: one record per element. */
struct SortEntry {
    const BYTE *element;  // null: an indirect element pushed without data
    ULONG size;
    ULONG position;
};

inline BYTE byteAt(const SortEntry &e, ULONG i)
{
    return e.element ? e.element[i] : 0;
}

/* Whole elements byte by byte (unsigned), optionally after ChrToLower. */
template <bool Fold>
int compareBytes(const SortEntry &a, const SortEntry &b)
{
    if constexpr (!Fold) {
        if (a.element != nullptr && b.element != nullptr) {
            int r = memcmp(a.element, b.element, a.size);
            return (r > 0) - (r < 0);
        }
    }
    for (ULONG i = 0; i < a.size; i++) {
        unsigned x = byteAt(a, i), y = byteAt(b, i);
        if constexpr (Fold) {
            x = ChrToLower(static_cast<USHORT>(x));
            y = ChrToLower(static_cast<USHORT>(y));
        }
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

template <bool Fold, bool Descending>
int __cdecl compareEntries(const void *pa, const void *pb)
{
    const auto &a = *static_cast<const SortEntry *>(pa);
    const auto &b = *static_cast<const SortEntry *>(pb);
    int r = compareBytes<Fold>(a, b);
    if (Descending)
        r = -r;
    if (r == 0)  // equal elements keep their order
        r = (a.position > b.position) - (a.position < b.position);
    return r;
}

KNLCOMPAREFN comparatorFor(bool caseSensitive, bool descending)
{
    if (caseSensitive)
        return descending ? compareEntries<false, true> : compareEntries<false, false>;
    return descending ? compareEntries<true, true> : compareEntries<true, false>;
}

/* Bytes to move for a given size argument: 0 or too large is the whole. */
inline ULONG bytesFor(ULONG size, ULONG elementSize)
{
    return size == 0 || size > elementSize ? elementSize : size;
}

}  // namespace orin::classes

using namespace orin::classes;

OcStack::OcStack(ULONG elementSize, ULONG capacity, BOOL ring)
    : m_slots(nullptr), m_capacity(0), m_slotSize(0), m_elementSize(elementSize), m_top(0),
      m_indirect(needsIndirect(elementSize, capacity)), m_ring(ring ? TRUE : FALSE),
      m_allocated(0), m_first(0)
{
    m_slotSize = m_indirect ? kPointerSlot : elementSize;
    if (capacity != 0)
        Reserve(capacity);
}

OcStack::OcStack(const OcStack &other)
    : m_slots(nullptr), m_capacity(0), m_slotSize(0), m_elementSize(0), m_top(0),
      m_indirect(FALSE), m_ring(FALSE), m_allocated(0), m_first(0)
{
    CopyFrom(other);
}

OcStack &OcStack::operator=(const OcStack &other)
{
    if (this != &other) {
        Free();
        CopyFrom(other);
    }
    return *this;
}

OcStack::~OcStack()
{
    Free();
}

BYTE *OcStack::Slot(ULONG position) const
{
    // Invariant: slots 1..capacity lie inside the buffer.
    assert(position >= 1 && position <= m_capacity && m_first < std::max<ULONG>(1, m_capacity));
    ULONG index = m_first + position - 1;
    if (index >= m_capacity)
        index -= m_capacity;
    return m_slots + static_cast<size_t>(index) * m_slotSize;
}

BYTE *OcStack::Element(ULONG position) const
{
    BYTE *slot = Slot(position);
    if (!m_indirect)
        return slot;
    BYTE *element;
    memcpy(&element, slot, sizeof element);
    return element;
}

/* Makes the logical capacity `slots`, reallocating the buffer when it has
 * less room; grows the room by half at least. */
bool OcStack::Reserve(ULONG slots)
{
    if (slots > m_allocated) {
        ULONG room = std::max(slots, m_allocated + m_allocated / 2);
        size_t bytes = std::max<size_t>(1, static_cast<size_t>(room) * m_slotSize);
        void *grown = realloc(m_slots, bytes);
        if (grown == nullptr && room != slots) {
            room = slots;
            bytes = std::max<size_t>(1, static_cast<size_t>(room) * m_slotSize);
            grown = realloc(m_slots, bytes);
        }
        if (grown == nullptr)
            return false;
        m_slots = static_cast<BYTE *>(grown);
        m_allocated = room;
    }
    m_capacity = slots;
    return true;
}

/* Leaves a free slot above the top: the first slot of an empty stack, the
 * next one, the bottom slot recycled (ring) or one more slot. */
bool OcStack::MakeRoom()
{
    if (m_slots == nullptr)
        return Reserve(1);
    if (m_top < m_capacity)
        return true;
    if (m_ring) {
        if (m_top == 0)
            return true;
        // The bottom slot becomes the new top slot.
        if (m_indirect)
            free(Element(1));
        m_first = m_first + 1 == m_capacity ? 0 : m_first + 1;
        m_top--;
        return true;
    }
    return Reserve(m_capacity + 1);
}

int OcStack::Push(const void *data, ULONG size)
{
    if (!MakeRoom())
        return 0;
    m_top++;
    BYTE *slot = Slot(m_top);
    BYTE *element = slot;
    if (m_indirect) {
        element = nullptr;
        if (data != nullptr) {
            element = static_cast<BYTE *>(malloc(std::max<ULONG>(1, m_elementSize)));
            if (element == nullptr) {
                m_top--;
                return 0;
            }
        }
        memcpy(slot, &element, sizeof element);
        if (element == nullptr)
            return 1;
    }
    ULONG n = bytesFor(size, m_elementSize);
    if (data == nullptr || n < m_elementSize)
        memset(element, 0, m_elementSize);
    if (data != nullptr)
        memcpy(element, data, n);
    return 1;
}

int OcStack::Pop(void *out, ULONG size)
{
    if (m_top == 0)
        return 0;
    if (out != nullptr)
        GetAt(0, out, size);
    if (m_indirect) {
        free(Element(m_top));
        memset(Slot(m_top), 0, m_slotSize);
    }
    m_top--;
    return 1;
}

int OcStack::GetAt(LONG index, void *out, ULONG size) const
{
    LONGLONG position = index >= 1 ? index : static_cast<LONGLONG>(m_top) + index;
    if (position < 1 || position > static_cast<LONGLONG>(m_top))
        return 0;
    if (out == nullptr)
        return 1;
    const BYTE *element = Element(static_cast<ULONG>(position));
    ULONG n = bytesFor(size, m_elementSize);
    if (element != nullptr)
        memcpy(out, element, n);
    else
        memset(out, 0, n);
    return 1;
}

void OcStack::ReleaseElements()
{
    if (m_indirect)
        for (ULONG p = 1; p <= m_top; p++)
            free(Element(p));
    m_top = 0;
}

void OcStack::Clear()
{
    ReleaseElements();
}

void OcStack::Free()
{
    ReleaseElements();
    free(m_slots);
    m_slots = nullptr;
    m_capacity = 0;
    m_allocated = 0;
    m_first = 0;
}

int OcStack::Invert()
{
    for (ULONG lo = 1, hi = m_top; lo < hi; lo++, hi--)
        std::swap_ranges(Slot(lo), Slot(lo) + m_slotSize, Slot(hi));
    return 1;
}

int OcStack::Sort(BOOL caseSensitive, BOOL descending)
{
    if (m_top < 2)
        return 0;
    auto *entries = static_cast<SortEntry *>(malloc(sizeof(SortEntry) * m_top));
    auto *sorted = static_cast<BYTE *>(malloc(static_cast<size_t>(m_allocated) * m_slotSize));
    if (entries == nullptr || sorted == nullptr) {
        free(entries);
        free(sorted);
        return 0;
    }
    for (ULONG p = 1; p <= m_top; p++)
        entries[p - 1] = SortEntry{Element(p), m_elementSize, p};
    KnlQSort(entries, m_top, sizeof(SortEntry), comparatorFor(caseSensitive, descending));
    for (ULONG i = 0; i < m_top; i++)
        memcpy(sorted + static_cast<size_t>(i) * m_slotSize, Slot(entries[i].position), m_slotSize);
    free(entries);
    free(m_slots);
    m_slots = sorted;
    m_first = 0;
    return 1;
}

/* Takes the other stack's element size and ring flag; the capacity is its
 * element count.  Left empty when memory runs out. */
void OcStack::CopyFrom(const OcStack &other)
{
    m_elementSize = other.m_elementSize;
    m_ring = other.m_ring;
    m_indirect = needsIndirect(m_elementSize, other.m_top);
    m_slotSize = m_indirect ? kPointerSlot : m_elementSize;
    if (other.m_top == 0 || !Reserve(other.m_top))
        return;
    for (ULONG p = 1; p <= other.m_top; p++) {
        const BYTE *element = other.Element(p);
        if (!Push(element, 0)) {
            Free();
            return;
        }
    }
}
