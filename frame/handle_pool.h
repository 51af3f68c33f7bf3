/*
 * handle_pool.h - where a family keeps the records behind its handles, so
 * that any value a caller passes can be checked without reading through it.
 *
 * A HandlePool<T> hands out records of type T from chunks that it never
 * gives back: chunk k holds kFirstChunk << k slots, each a state word and
 * room for one T.  A handle is the address of a slot's T.  live(p) decides
 * by the value of p alone whether it names a record in use: p must lie in
 * one of the chunks, exactly at a slot's record, and the slot's state word
 * (memory the pool owns for ever) must say "live".  A closed handle, a
 * handle of another family or a made-up value is refused without touching
 * freed memory.  owns(p) tells whether p lies in the pool at all, live or
 * not, which lets a family that also accepts other implementations' handles
 * tell its own closed handles from those.  Every chunk is also noted in the
 * process-wide set of handle memory (handle_chunks.h), so such a family can
 * tell another family's handle from another implementation's object.
 *
 * Lookups take no lock: they run on every call of a family.  Making and
 * destroying records take the pool's lock.  Freed slots are reused oldest
 * first, so a handle that was just closed is not live again at once.
 *
 * The pool is constant-initialised and has a trivial destructor: it can be
 * a namespace-scope object, used before any constructor runs and after
 * static destruction has begun (records still open at exit go with the
 * process).
 */
#ifndef ORIN_FRAME_HANDLE_POOL_H
#define ORIN_FRAME_HANDLE_POOL_H

#include <windows.h>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include "frame/handle_chunks.h"

namespace orin {

template <class T>
class HandlePool {
public:
    constexpr HandlePool() noexcept = default;
    HandlePool(const HandlePool &) = delete;
    HandlePool &operator=(const HandlePool &) = delete;

    /* Deleter for records made but not yet handed out. */
    struct Destroyer {
        HandlePool *pool;
        void operator()(T *p) const noexcept { pool->destroy(p); }
    };
    using Owned = std::unique_ptr<T, Destroyer>;

    /* A new live record built from args; throws std::bad_alloc when no
     * memory is left (and whatever T's constructor throws). */
    template <class... Args>
    Owned make(Args &&...args)
    {
        Slot *s = takeSlot();
        T *p;
        try {
            p = ::new (static_cast<void *>(s->storage)) T(std::forward<Args>(args)...);
        } catch (...) {
            putSlot(s);
            throw;
        }
        s->state.store(kLive, std::memory_order_release);
        return Owned(p, Destroyer{this});
    }

    /* The same, answering null instead of throwing. */
    template <class... Args>
    Owned tryMake(Args &&...args) noexcept
    {
        try {
            return make(std::forward<Args>(args)...);
        } catch (...) {
            return Owned(nullptr, Destroyer{this});
        }
    }

    /* Ends a live record.  A value that is not live is ignored. */
    void destroy(T *p) noexcept
    {
        Slot *s = slotOf(p);
        if (s == nullptr || s->state.load(std::memory_order_acquire) != kLive)
            return;
        s->state.store(kFree, std::memory_order_release);
        p->~T();
        putSlot(s);
    }

    /* The record behind a live handle, or null.  Reads nothing through h. */
    T *get(const void *h) const noexcept
    {
        Slot *s = slotOf(h);
        return s != nullptr && s->state.load(std::memory_order_acquire) == kLive
                   ? std::launder(reinterpret_cast<T *>(s->storage))
                   : nullptr;
    }

    bool live(const void *h) const noexcept { return get(h) != nullptr; }

    /* Whether h lies at a record of this pool, in use or not. */
    bool owns(const void *h) const noexcept { return slotOf(h) != nullptr; }

    /* Records in use. */
    std::size_t count() const noexcept { return liveCount_.load(std::memory_order_relaxed); }

private:
    static constexpr std::uint32_t kFree = 0;
    static constexpr std::uint32_t kLive = 0x4C495645;   // "LIVE"
    static constexpr std::size_t kFirstChunk = 16;
    static constexpr int kMaxChunks = 40;

    struct Slot {
        std::atomic<std::uint32_t> state{kFree};
        Slot *nextFree = nullptr;
        alignas(T) unsigned char storage[sizeof(T)];
    };

    class Lock {
    public:
        explicit Lock(SRWLOCK *l) noexcept : l_(l) { AcquireSRWLockExclusive(l_); }
        ~Lock() { ReleaseSRWLockExclusive(l_); }
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;
    private:
        SRWLOCK *l_;
    };

    static constexpr std::size_t chunkSlots(int k) noexcept { return kFirstChunk << k; }

    Slot *slotOf(const void *h) const noexcept
    {
        auto p = reinterpret_cast<std::uintptr_t>(h);
        int n = chunkCount_.load(std::memory_order_acquire);
        for (int k = 0; k < n; k++) {
            Slot *base = chunks_[k].load(std::memory_order_relaxed);
            auto first = reinterpret_cast<std::uintptr_t>(base);
            std::uintptr_t bytes = chunkSlots(k) * sizeof(Slot);
            if (p < first || p - first >= bytes)
                continue;
            std::uintptr_t index = (p - first) / sizeof(Slot);
            return reinterpret_cast<std::uintptr_t>(base[index].storage) == p ? &base[index]
                                                                                : nullptr;
        }
        return nullptr;
    }

    Slot *takeSlot()
    {
        Lock lock(&lock_);
        if (freeHead_ == nullptr)
            addChunk();
        Slot *s = freeHead_;
        freeHead_ = s->nextFree;
        if (freeHead_ == nullptr)
            freeTail_ = nullptr;
        liveCount_.fetch_add(1, std::memory_order_relaxed);
        return s;
    }

    void putSlot(Slot *s) noexcept
    {
        Lock lock(&lock_);
        s->nextFree = nullptr;
        if (freeTail_ != nullptr)
            freeTail_->nextFree = s;
        else
            freeHead_ = s;
        freeTail_ = s;
        liveCount_.fetch_sub(1, std::memory_order_relaxed);
    }

    /* Called with the lock held and the free list empty. */
    void addChunk()
    {
        int k = chunkCount_.load(std::memory_order_relaxed);
        if (k == kMaxChunks)
            throw std::bad_alloc();
        std::size_t n = chunkSlots(k);
        Slot *base = static_cast<Slot *>(::operator new(n * sizeof(Slot), std::align_val_t(alignof(Slot))));
        for (std::size_t i = 0; i < n; i++) {
            ::new (static_cast<void *>(&base[i])) Slot();
            base[i].nextFree = i + 1 < n ? &base[i + 1] : nullptr;
        }
        freeHead_ = base;
        freeTail_ = &base[n - 1];
        noteHandleChunk(base, n * sizeof(Slot));
        chunks_[k].store(base, std::memory_order_relaxed);
        // Invariant: a chunk is complete before readers can see it.
        chunkCount_.store(k + 1, std::memory_order_release);
    }

    std::atomic<Slot *> chunks_[kMaxChunks] = {};
    std::atomic<int> chunkCount_{0};
    std::atomic<std::size_t> liveCount_{0};
    SRWLOCK lock_ = SRWLOCK_INIT;
    Slot *freeHead_ = nullptr;
    Slot *freeTail_ = nullptr;
};

}  // namespace orin

#endif  // ORIN_FRAME_HANDLE_POOL_H
