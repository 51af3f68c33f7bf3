/*
 * handle_chunks.cpp - the process-wide table of handle-record ranges (see
 * handle_chunks.h): a fixed array filled under a lock and read without one.
 */
#include <windows.h>
#include <atomic>
#include <cstdint>
#include "frame/handle_chunks.h"

namespace orin {
namespace {

constexpr int kMaxRanges = 2048;

struct Range {
    std::atomic<std::uintptr_t> first{0};
    std::atomic<std::uintptr_t> bytes{0};
};

Range ranges[kMaxRanges];
std::atomic<int> rangeCount{0};
SRWLOCK writers = SRWLOCK_INIT;

}  // namespace

void noteHandleChunk(const void *base, std::size_t bytes) noexcept
{
    AcquireSRWLockExclusive(&writers);
    int n = rangeCount.load(std::memory_order_relaxed);
    if (n < kMaxRanges) {
        ranges[n].first.store(reinterpret_cast<std::uintptr_t>(base), std::memory_order_relaxed);
        ranges[n].bytes.store(bytes, std::memory_order_relaxed);
        // Invariant: a range is complete before readers can see it.
        rangeCount.store(n + 1, std::memory_order_release);
    }
    ReleaseSRWLockExclusive(&writers);
}

bool inHandleChunk(const void *p) noexcept
{
    auto at = reinterpret_cast<std::uintptr_t>(p);
    int n = rangeCount.load(std::memory_order_acquire);
    for (int i = 0; i < n; i++) {
        std::uintptr_t first = ranges[i].first.load(std::memory_order_relaxed);
        if (at >= first && at - first < ranges[i].bytes.load(std::memory_order_relaxed))
            return true;
    }
    return false;
}

}  // namespace orin
