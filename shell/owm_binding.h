/*
 * owm_binding.h - a library loaded at run time on first use and freed when
 * its last use is released, with a fixed set of entry points looked up by
 * name.  The mail and telephony bindings are two of these.
 *
 * A binding is all or nothing: when the library is missing, or any one of
 * its entry points is, nothing stays loaded and no entry is set.  Loading
 * runs with the host's critical-error and open-file error boxes
 * suppressed (error mode 0x8001), restored afterwards.
 *
 * The use counter is process-wide and unguarded, as are the calls that
 * move it: one thread at a time.
 */
#ifndef ORIN_SHELL_OWM_BINDING_H
#define ORIN_SHELL_OWM_BINDING_H

#include <windows.h>
#include <array>
#include <cassert>
#include <cstddef>
#include "frame/scope.h"

namespace orin::owm {

/* SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX */
inline constexpr UINT kQuietErrorMode = 0x8001;

/* Sets the quiet error mode for its lifetime. */
class QuietErrorMode {
public:
    QuietErrorMode() noexcept : previous_(SetErrorMode(kQuietErrorMode)) {}
    ~QuietErrorMode() { SetErrorMode(previous_); }
    QuietErrorMode(const QuietErrorMode &) = delete;
    QuietErrorMode &operator=(const QuietErrorMode &) = delete;

private:
    UINT previous_;
};

template <std::size_t N>
class CountedLibrary {
public:
    using Names = std::array<const char *, N>;

    constexpr CountedLibrary(const char *file, const Names &names) noexcept
        : file_(file), names_(names) {}
    CountedLibrary(const CountedLibrary &) = delete;
    CountedLibrary &operator=(const CountedLibrary &) = delete;
    /* Left loaded when this library itself is unloaded: no library may be
     * freed from within another one's unload. */
    ~CountedLibrary() { (void)module_.release(); }

    /* One more use; loads and binds on the first.  False when the library
     * or an entry point is missing. */
    bool acquire() noexcept
    {
        if (uses_ > 0) {
            uses_++;
            return true;
        }
        {
            QuietErrorMode quiet;
            module_.reset(LoadLibraryA(file_));
        }
        if (!module_)
            return false;
        for (std::size_t i = 0; i < N; i++) {
            entries_[i] = GetProcAddress(module_.get(), names_[i]);
            if (!entries_[i]) {
                unload();
                return false;
            }
        }
        uses_ = 1;
        return true;
    }

    /* One use less; unloads when none is left.  False when there was none. */
    bool release() noexcept
    {
        if (uses_ == 0)
            return false;
        if (--uses_ == 0)
            unload();
        return true;
    }

    ULONG uses() const noexcept { return uses_; }

    /* The entry point i as a function of type F; only while a use is held. */
    template <class F>
    F *entry(std::size_t i) const noexcept
    {
        // Invariant: entry points are set exactly while a use is held.
        assert(uses_ > 0 && entries_[i] != nullptr);
        return reinterpret_cast<F *>(entries_[i]);
    }

private:
    void unload() noexcept
    {
        entries_.fill(nullptr);
        module_.reset();
        uses_ = 0;
    }

    const char *file_;
    Names names_;
    UniqueModule module_;
    std::array<FARPROC, N> entries_{};
    ULONG uses_ = 0;
};

}  // namespace orin::owm

#endif  // ORIN_SHELL_OWM_BINDING_H
