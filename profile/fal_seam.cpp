/*
 * fal_seam.cpp - the failure injection of the block files (fal_seam.h),
 * one FailureSeam for every write, change of length and block buffer.
 */
#include "frame/failure_seam.h"
#include "profile/fal_seam.h"

namespace orin::fal {

namespace {

FailureSeam steps;

}  // namespace

bool stepFails() noexcept
{
    return steps.fails();
}

namespace seam {

void injectFailure(std::uint64_t nth) noexcept
{
    steps.inject(nth);
}

std::uint64_t stepsCounted() noexcept
{
    return steps.counted();
}

}  // namespace seam

}  // namespace orin::fal
