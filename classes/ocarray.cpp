/*
 * ocarray.cpp - OcArray: caller's pointers in one heap buffer, index 0
 * first.  Inserting and deleting move the pointers above the index with
 * one memmove; growing reallocates by the growth step or by half the count,
 * whichever is more.
 */
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cassert>
#include "ocarray.h"

namespace orin::classes {

constexpr ULONG kDefaultStep = 2;

inline ULONG stepOrDefault(ULONG step)
{
    return step == 0 ? kDefaultStep : step;
}

}  // namespace orin::classes

using namespace orin::classes;

OcArray::OcArray(ULONG step)
    : m_items(nullptr), m_count(0), m_capacity(0), m_step(stepOrDefault(step))
{
}

OcArray::~OcArray()
{
    free(m_items);
}

bool OcArray::Grow()
{
    if (m_count < m_capacity)
        return true;
    ULONG room = m_capacity + std::max(m_step, m_count / 2);
    void *grown = realloc(m_items, sizeof(void *) * static_cast<size_t>(room));
    if (grown == nullptr)
        return false;
    m_items = static_cast<void **>(grown);
    m_capacity = room;
    return true;
}

int OcArray::Append(void *element)
{
    return Insert(m_count, element);
}

int OcArray::Insert(ULONG index, void *element)
{
    if (element == nullptr || !Grow())
        return 0;
    if (index > m_count)
        index = m_count;
    memmove(m_items + index + 1, m_items + index, sizeof(void *) * (m_count - index));
    m_items[index] = element;
    m_count++;
    // Invariant: the buffer has room for every element held.
    assert(m_count <= m_capacity);
    return 1;
}

int OcArray::Remove(ULONG index)
{
    if (index >= m_count)
        return 0;
    memmove(m_items + index, m_items + index + 1, sizeof(void *) * (m_count - index - 1));
    m_count--;
    return 1;
}

int OcArray::Delete(ULONG index, OCARRAYDELETEFN callback)
{
    if (index >= m_count)
        return 0;
    void *element = m_items[index];
    Remove(index);
    if (callback != nullptr) {
        callback(element);
        free(element);
    }
    return 1;
}

void *OcArray::GetAt(ULONG index) const
{
    return index < m_count ? m_items[index] : nullptr;
}

int OcArray::Swap(ULONG i, ULONG j)
{
    if (i >= m_count || j >= m_count)
        return 0;
    std::swap(m_items[i], m_items[j]);
    return 1;
}

void OcArray::SetExtent(ULONG step)
{
    m_step = stepOrDefault(step);
}

void OcArray::RemoveAll()
{
    m_count = 0;
}
