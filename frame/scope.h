/*
 * scope.h - owners for what must always be given back: operating-system
 * handles, registry keys, modules, find handles and run-time heap blocks,
 * each in a std::unique_ptr whose deleter releases it; and ScopeExit, which
 * runs a closing step when a scope ends however it ends, unless the change
 * it guards was committed (dismiss()).
 */
#ifndef ORIN_FRAME_SCOPE_H
#define ORIN_FRAME_SCOPE_H

#include <windows.h>
#include <cstdlib>
#include <memory>
#include <type_traits>
#include <utility>

namespace orin {

/* Runs f when the scope ends, unless dismissed. */
template <class F>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(F f) noexcept(std::is_nothrow_move_constructible_v<F>)
        : f_(std::move(f)) {}
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;
    ~ScopeExit()
    {
        if (armed_)
            f_();
    }
    void dismiss() noexcept { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};

template <class F>
[[nodiscard]] ScopeExit<F> scopeExit(F f)
{
    return ScopeExit<F>(std::move(f));
}

/* Kernel objects: files, events, mutexes, processes, threads, mappings. */
struct KernelHandleCloser {
    void operator()(HANDLE h) const noexcept
    {
        if (h != nullptr && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, KernelHandleCloser>;

/* A handle from a call that fails with INVALID_HANDLE_VALUE (CreateFile)
 * is stored as null, so that a test for ownership is a test for null. */
inline UniqueHandle adoptFileHandle(HANDLE h) noexcept
{
    return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

struct FindCloser {
    void operator()(HANDLE h) const noexcept
    {
        if (h != nullptr && h != INVALID_HANDLE_VALUE)
            FindClose(h);
    }
};
using UniqueFindHandle = std::unique_ptr<void, FindCloser>;

struct RegKeyCloser {
    void operator()(HKEY k) const noexcept { RegCloseKey(k); }
};
using UniqueRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegKeyCloser>;

struct ModuleFreer {
    void operator()(HMODULE m) const noexcept { FreeLibrary(m); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

struct ViewUnmapper {
    void operator()(void *view) const noexcept { UnmapViewOfFile(view); }
};
using UniqueView = std::unique_ptr<void, ViewUnmapper>;

/* Blocks of the run-time heap that callers release with free(). */
struct HeapFreer {
    void operator()(void *p) const noexcept { std::free(p); }
};
template <class T>
using UniqueMalloc = std::unique_ptr<T, HeapFreer>;

/* A critical section that lives as long as its owner. */
class CriticalSection {
public:
    CriticalSection() noexcept { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;
    void lock() noexcept { EnterCriticalSection(&cs_); }
    void unlock() noexcept { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

/* A slim lock with no constructor to run: usable at namespace scope from
 * the first call on.  Works with std::lock_guard and std::unique_lock. */
class SlimLock {
public:
    constexpr SlimLock() noexcept = default;
    SlimLock(const SlimLock &) = delete;
    SlimLock &operator=(const SlimLock &) = delete;
    void lock() noexcept { AcquireSRWLockExclusive(&l_); }
    void unlock() noexcept { ReleaseSRWLockExclusive(&l_); }
    void lock_shared() noexcept { AcquireSRWLockShared(&l_); }
    void unlock_shared() noexcept { ReleaseSRWLockShared(&l_); }

private:
    SRWLOCK l_ = SRWLOCK_INIT;
};

}  // namespace orin

#endif  // ORIN_FRAME_SCOPE_H
