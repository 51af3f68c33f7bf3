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

#include "frame/failure_seam.h"

namespace orin::fal {

/* Every write, change of length and block-buffer allocation of the block
 * files takes a step here (stepSeam.fails()); a test sets stepSeam.inject(n)
 * to make the nth of them fail. */
extern FailureSeam stepSeam;

}  // namespace orin::fal

#endif  // ORIN_PROFILE_FAL_SEAM_H
