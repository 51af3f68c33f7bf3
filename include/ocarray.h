/*
 * ocarray.h - OcArray: a growable array of non-null pointers.
 *
 * Indexes count from 0.  The array holds the caller's pointers and does
 * not own what they point to, except that Delete frees an element with the
 * run-time heap's free() after handing it to the callback it is given.
 * The buffer grows by the growth step (2 unless SetExtent or the
 * constructor says otherwise), or by half the count when that is more, so
 * long runs of appends stay cheap.  Members that change the array return 1,
 * or 0 for a null element, an index out of range or memory running out;
 * the array is then unchanged.  The destructor frees the pointer buffer
 * only.
 */
#ifndef OCARRAY_H
#define OCARRAY_H

#include "orinbase.h"

#ifdef __cplusplus

typedef void (*OCARRAYDELETEFN)(void *element);

class ORIN_CLASS OcArray {
public:
    explicit OcArray(ULONG step = 0);
    OcArray(const OcArray &) = delete;
    OcArray &operator=(const OcArray &) = delete;
    virtual ~OcArray();

    int Append(void *element);
    int Insert(ULONG index, void *element);
    int Delete(ULONG index, OCARRAYDELETEFN callback = NULL);
    int Remove(ULONG index);
    void *GetAt(ULONG index) const;
    int Swap(ULONG i, ULONG j);
    void SetExtent(ULONG step);
    void RemoveAll();

    ULONG Count() const { return m_count; }
    ULONG Extent() const { return m_step; }

private:
    bool Grow();

    void **m_items;   // pointer buffer
    ULONG m_count;    // elements held
    ULONG m_capacity; // pointers the buffer has room for
    ULONG m_step;     // growth step
};

#endif /* __cplusplus */

#endif /* OCARRAY_H */
