/*
 * failure_seam.h - a test seam that makes the nth step of some kind (an
 * allocation, a write, ...) fail, once, so that a test can walk a failure
 * through every step of an operation and check what is left behind.
 *
 * A FailureSeam is a target step number and a count of the steps seen
 * since the target was set.  While no target is set a step costs one
 * relaxed load; the counters are atomic so that threads taking steps at
 * once never tear them.  It is constant-initialised and can live at
 * namespace scope.
 */
#ifndef ORIN_FRAME_FAILURE_SEAM_H
#define ORIN_FRAME_FAILURE_SEAM_H

#include <atomic>
#include <cstdint>

namespace orin {

class FailureSeam {
public:
    constexpr FailureSeam() noexcept = default;
    FailureSeam(const FailureSeam &) = delete;
    FailureSeam &operator=(const FailureSeam &) = delete;

    /* Whether the step being taken is the one a test asked to fail. */
    bool fails() noexcept
    {
        std::uint64_t target = failAt_.load(std::memory_order_relaxed);
        if (target == 0) [[likely]]
            return false;
        return seen_.fetch_add(1, std::memory_order_relaxed) + 1 == target;
    }

    /* The nth step from now on fails; 0 switches the injection off.  Steps
     * are counted while a target is set, so a target far beyond the work
     * measures it. */
    void inject(std::uint64_t nth) noexcept
    {
        seen_.store(0, std::memory_order_relaxed);
        failAt_.store(nth, std::memory_order_relaxed);
    }

    std::uint64_t counted() const noexcept { return seen_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> failAt_{0};   // 0: off
    std::atomic<std::uint64_t> seen_{0};
};

}  // namespace orin

#endif  // ORIN_FRAME_FAILURE_SEAM_H
