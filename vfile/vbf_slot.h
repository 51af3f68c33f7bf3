/*
 * vbf_slot.h - the entry points of a Vbf back-end whose handles live in a
 * HandlePool.  Slot<pool, Op>::call looks the back-end handle up and runs
 * Op on the live record; a handle that is not live answers 6 (invalid
 * handle), or kTellFailed from a call that answers a position.
 */
#ifndef VBF_SLOT_H
#define VBF_SLOT_H

#include <type_traits>
#include "frame/handle_pool.h"
#include "vbf.h"

namespace orin::vbfslot {

/* What a position call answers when it has none to give. */
constexpr ULONG kTellFailed = 0xFFFFFFFF;

template <auto &Pool, auto Op>
struct Slot;

template <auto &Pool, class File, class R, class... Args, R (*Op)(File *, Args...) noexcept>
struct Slot<Pool, Op> {
    static R call(void *backend, Args... args) noexcept
    {
        File *f = Pool.get(backend);
        if (f == nullptr) {
            if constexpr (std::is_same_v<R, ULONG>)
                return kTellFailed;
            else
                return ORIN_ERR_INVALID_HANDLE;
        }
        return Op(f, args...);
    }
};

}  // namespace orin::vbfslot

#endif /* VBF_SLOT_H */
