/*
 * lsp_mem.h - the interpreter's heap: counted allocation (lspMalloc and
 * kin, lsp_pool.cpp), an allocator that routes standard containers
 * through it, owners for heap buffers and node trees, and the test seam
 * that makes a chosen allocation fail.
 *
 * Every heap block of the interpreter, container storage included, goes
 * through lspMalloc, so the live-block count (LspQueryHeapBlocks) sees all
 * of it and an injected failure can hit any of it.  lspMalloc answers null
 * when memory runs out; Allocator<T> turns that into std::bad_alloc, which
 * the code using a container catches right where it grows it.
 */
#ifndef ORIN_LISP_LSP_MEM_H
#define ORIN_LISP_LSP_MEM_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include "frame/failure_seam.h"
#include "lsp.h"

namespace orin::lsp {

void *lspMalloc(std::size_t size) noexcept;
void *lspCalloc(std::size_t count, std::size_t size) noexcept;
void  lspMemFree(void *p) noexcept;
LONG  lspHeapBlocks() noexcept;

/* A standard allocator over lspMalloc. */
template <class T>
struct Allocator {
    using value_type = T;
    constexpr Allocator() noexcept = default;
    template <class U>
    constexpr Allocator(const Allocator<U> &) noexcept {}

    T *allocate(std::size_t n)
    {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        void *p = lspMalloc(n * sizeof(T));
        if (p == nullptr)
            throw std::bad_alloc();
        return static_cast<T *>(p);
    }
    void deallocate(T *p, std::size_t) noexcept { lspMemFree(p); }

    template <class U>
    friend constexpr bool operator==(const Allocator &, const Allocator<U> &) noexcept
    {
        return true;
    }
};

/* A heap buffer from lspMalloc, freed when its owner goes. */
struct MemFreer {
    void operator()(void *p) const noexcept { lspMemFree(p); }
};
using Buffer = std::unique_ptr<char[], MemFreer>;

/* size bytes (at least one), or an empty owner when memory is out. */
inline Buffer makeBuffer(std::size_t size) noexcept
{
    return Buffer(static_cast<char *>(lspMalloc(size ? size : 1)));
}

/* A node chain the holder must free (lspFreeTree, lsp_node.cpp). */
void lspFreeTree(PLSPLIST node) noexcept;
struct TreeFreer {
    void operator()(PLSPLIST n) const noexcept { lspFreeTree(n); }
};
using Tree = std::unique_ptr<LSPLIST, TreeFreer>;

/* A process-wide object that is built on first use and never destroyed:
 * the holder itself is constant-initialised, so the interpreter works
 * from any static initialiser on and while other objects are destroyed at
 * exit; what it holds then goes with the process. */
template <class T>
class Immortal {
public:
    constexpr Immortal() noexcept = default;
    Immortal(const Immortal &) = delete;
    Immortal &operator=(const Immortal &) = delete;
    T &operator*()
    {
        if (!built_) [[unlikely]] {
            ::new (static_cast<void *>(storage_)) T();
            built_ = true;
        }
        return *std::launder(reinterpret_cast<T *>(storage_));
    }
    T *operator->() { return &**this; }

private:
    alignas(T) unsigned char storage_[sizeof(T)] = {};
    bool built_ = false;
};

/* Test seam: the nth allocation from now on (heap block or pool node)
 * fails, once (allocationSeam.inject(n); 0 switches it off). */
extern FailureSeam allocationSeam;

}  // namespace orin::lsp

#endif  // ORIN_LISP_LSP_MEM_H
