/*
 * fal_seam.cpp - the failure injection of the block files (fal_seam.h):
 * a target step number and a count of steps seen, both atomic so that
 * threads working on other files never tear them.
 */
#include <atomic>
#include "profile/fal_seam.h"

namespace orin::fal {

namespace {

std::atomic<std::uint64_t> failAt{0};   // 0: off
std::atomic<std::uint64_t> seen{0};

}  // namespace

bool stepFails() noexcept
{
    std::uint64_t target = failAt.load(std::memory_order_relaxed);
    if (target == 0) [[likely]]
        return false;
    return seen.fetch_add(1, std::memory_order_relaxed) + 1 == target;
}

namespace seam {

void injectFailure(std::uint64_t nth) noexcept
{
    seen.store(0, std::memory_order_relaxed);
    failAt.store(nth, std::memory_order_relaxed);
}

std::uint64_t stepsCounted() noexcept
{
    return seen.load(std::memory_order_relaxed);
}

}  // namespace seam

}  // namespace orin::fal
