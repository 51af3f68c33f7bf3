/*
 * boundary.h - the edge between the library and its callers.  Every
 * exported function is noexcept; those whose work can throw (a container
 * that grows, a record made with new) run that work through one of these
 * guards, which turn an exception into the library's code: std::bad_alloc
 * and std::length_error into 8 (out of memory), anything else into 0xFFFF.
 * The same guards serve window procedures, COM methods and Lisp module
 * functions, where an exception must not escape either.
 */
#ifndef ORIN_FRAME_BOUNDARY_H
#define ORIN_FRAME_BOUNDARY_H

#include <new>
#include <stdexcept>
#include <utility>
#include "orinbase.h"

namespace orin {

/* The code for the exception being handled; call only inside a catch. */
inline USHORT codeOfCurrentException() noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    } catch (const std::length_error &) {
        return ORIN_ERR_NO_MEMORY;
    } catch (...) {
        return ORIN_ERR_GENERAL;
    }
}

/* Runs f, which answers an error code; an exception answers its code. */
template <class F>
USHORT guardCode(F &&f) noexcept
{
    try {
        return std::forward<F>(f)();
    } catch (...) {
        return codeOfCurrentException();
    }
}

/* Runs f, which answers a value; an exception answers failure and leaves
 * its code in the thread's last error. */
template <class R, class F>
R guardValue(R failure, F &&f) noexcept
{
    try {
        return std::forward<F>(f)();
    } catch (...) {
        SetLastError(codeOfCurrentException());
        return failure;
    }
}

/* Runs f for its effect; an exception leaves its code in the last error. */
template <class F>
void guardVoid(F &&f) noexcept
{
    try {
        std::forward<F>(f)();
    } catch (...) {
        SetLastError(codeOfCurrentException());
    }
}

}  // namespace orin

#endif  // ORIN_FRAME_BOUNDARY_H
