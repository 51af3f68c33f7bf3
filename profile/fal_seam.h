/*
 * fal_seam.h - test seam of the block files: one step of an operation, a
 * change of the file (a write or a new length) or the allocation of a
 * block buffer, can be made to fail, so that a test walks a failure
 * through every step of an operation and checks what is left behind.
 *
 * The seam is two atomic counters and costs one relaxed load per step
 * while no injection is set.
 */
#ifndef ORIN_PROFILE_FAL_SEAM_H
#define ORIN_PROFILE_FAL_SEAM_H

#include <cstdint>

namespace orin::fal {

namespace seam {

/* The nth step from now on fails, once; 0 switches the injection off.
 * Steps are counted while an injection is set, so a count far beyond the
 * work measures it. */
void injectFailure(std::uint64_t nth) noexcept;
std::uint64_t stepsCounted() noexcept;

}  // namespace seam

/* Whether the step being taken is the one a test asked to fail. */
bool stepFails() noexcept;

}  // namespace orin::fal

#endif  // ORIN_PROFILE_FAL_SEAM_H
