/*
 * mutate.h - the mutation harness shared by the damaged-file sweeps: seeded
 * mutants of known-good files, a watchdog over every call, and replay of one
 * mutant by number.
 *
 * A sweep starts from a few seed files whose content a model in the test
 * knows.  Mutant n of sweep seed s is made by a generator seeded with (s, n)
 * alone, so ORIN_MUTATE_SEED=s ORIN_MUTATE_CASE=n makes exactly that mutant
 * again and runs only it.  Each mutant gets one to three mutations: bit
 * flips, random bytes, truncation (anywhere, or at a structure's edge +-1),
 * junk appended, zeroed ranges, one structure copied over another, two
 * ranges swapped, and a length/count/offset field set to 0, 1, its maximum,
 * the file size +-1 or another structure's offset.  The seed tells where its
 * structures (`units`) and fields lie.
 *
 * Every call of the store under test runs inside `Guard::call`: a watchdog
 * thread ends the process with the seed, mutant and call printed when one
 * call runs over two seconds; a crash or an exception escaping noexcept
 * prints the same before the process ends.  ORIN_LONG_SWEEPS=1 multiplies
 * the mutant count by ten.
 */
#ifndef MUTATE_H
#define MUTATE_H

#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace mutate {

using Bytes = std::vector<unsigned char>;

/* A structure of a seed file (a block, node, page, table) by place. */
struct Unit {
    size_t offset, length;
};

/* A little-endian integer field of a seed file (a length, count, offset). */
struct Field {
    size_t offset;
    unsigned width;     // 1, 2 or 4
};

struct Seed {
    Bytes bytes;
    std::vector<Unit> units;
    std::vector<Field> fields;
};

/* The plain seeds of a format's seed records (each with a `seed` member),
 * as the sweep takes them. */
template <class FormatSeed>
std::vector<Seed> plainSeeds(const std::vector<FormatSeed> &all)
{
    std::vector<Seed> plain;
    for (const FormatSeed &f : all)
        plain.push_back(f.seed);
    return plain;
}

constexpr DWORD kCallLimitMs = 2000;
constexpr unsigned kMutantsPerFormat = 10000;
constexpr unsigned kLongFactor = 10;

/* ---- What is running now, for the watchdog and the crash report -------- */

struct Current {
    std::atomic<unsigned> seed{0};
    std::atomic<unsigned> mutant{0};
    std::atomic<const char *> call{nullptr};
    std::atomic<DWORD> since{0};
    std::string mutations;          // what was done to the seed, for the report
};

inline Current &current()
{
    static Current c;
    return c;
}

inline void report(const char *what)
{
    Current &c = current();
    const char *call = c.call.load();
    fprintf(stderr, "\n*** mutant %s in %s: ORIN_MUTATE_SEED=%u ORIN_MUTATE_CASE=%u (%s)\n", what,
            call ? call : "(between calls)", c.seed.load(), c.mutant.load(),
            c.mutations.c_str());
    fflush(stderr);
}

inline LONG WINAPI onCrash(EXCEPTION_POINTERS *info)
{
    char what[64];
    snprintf(what, sizeof what, "crashed (exception %08lX)",
             static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    report(what);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

inline void onTerminate()
{
    report("let an exception escape");
    TerminateProcess(GetCurrentProcess(), 3);
}

/* The watchdog: one thread for the process, looking at the running call. */
inline void startWatchdog()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    SetUnhandledExceptionFilter(onCrash);
    std::set_terminate(onTerminate);
    std::thread([] {
        for (;;) {
            Sleep(100);
            Current &c = current();
            if (c.call.load() && GetTickCount() - c.since.load() > kCallLimitMs) {
                report("hung (a call ran over 2 s)");
                TerminateProcess(GetCurrentProcess(), 4);
            }
        }
    }).detach();
}

/* Runs one call of the store under the watchdog. */
template <class F>
auto call(const char *name, F &&f) -> decltype(f())
{
    Current &c = current();
    c.since = GetTickCount();
    c.call = name;
    struct Clear {
        ~Clear() { current().call = nullptr; }
    } clear;
    return f();
}

/* ---- The sweep -------------------------------------------------------------- */

inline long envNumber(const char *name, long otherwise)
{
    const char *v = getenv(name);
    return v && *v ? strtol(v, nullptr, 10) : otherwise;
}

inline unsigned mutantCount()
{
    return envNumber("ORIN_LONG_SWEEPS", 0) ? kMutantsPerFormat * kLongFactor : kMutantsPerFormat;
}

/* With ORIN_MUTATE_TRACE=1 every call's answer is printed (to follow one
 * replayed mutant). */
inline void trace(const char *what, unsigned rc)
{
    static const bool on = envNumber("ORIN_MUTATE_TRACE", 0) != 0;
    if (on)
        fprintf(stderr, "  %s -> %u\n", what, rc);
}

/* The text that names a mutant in a failure message. */
inline std::string where()
{
    return "mutant ORIN_MUTATE_SEED=" + std::to_string(current().seed.load()) +
           " ORIN_MUTATE_CASE=" + std::to_string(current().mutant.load()) + " (" +
           current().mutations + ")";
}

/* Runs body(mutant bytes, seed index, rng) for every mutant of the sweep,
 * or only the one named by the environment.  Stops at the first mutant
 * that made a test failure. */
template <class Body>
void sweep(unsigned sweepSeed, const std::vector<Seed> &seeds, Body body);

/* ---- Making a mutant ------------------------------------------------------ */

class Mutator {
public:
    Mutator(const Seed &seed, std::mt19937_64 &rng) : seed_(seed), rng_(rng) {}

    Bytes make()
    {
        Bytes b = seed_.bytes;
        int n = 1 + static_cast<int>(below(3));
        for (int i = 0; i < n && !b.empty(); i++)
            once(b);
        return b;
    }

private:
    const Seed &seed_;
    std::mt19937_64 &rng_;
    std::string log_;

public:
    const std::string &log() const { return log_; }

private:

    size_t below(size_t n) { return n ? static_cast<size_t>(rng_() % n) : 0; }

    /* Offsets where something begins: structure edges and field places. */
    size_t interesting(const Bytes &b)
    {
        size_t at = b.size();
        switch (below(3)) {
        case 0:
            if (!seed_.units.empty()) {
                const Unit &u = seed_.units[below(seed_.units.size())];
                at = below(2) ? u.offset : u.offset + u.length;
            }
            break;
        case 1:
            if (!seed_.fields.empty())
                at = seed_.fields[below(seed_.fields.size())].offset;
            break;
        default:
            at = below(b.size() + 1);
            break;
        }
        at += below(3);
        return at >= 1 ? at - 1 : 0;                 // the edge -1, 0 or +1
    }

    void put(Bytes &b, size_t at, unsigned width, unsigned long long v)
    {
        for (unsigned i = 0; i < width && at + i < b.size(); i++)
            b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    }

    void note(const char *what, size_t a, size_t b = 0)
    {
        char t[64];
        snprintf(t, sizeof t, "%s%s %zu %zu", log_.empty() ? "" : "; ", what, a, b);
        log_ += t;
    }

    void once(Bytes &b)
    {
        size_t at = below(b.size());
        size_t kind = below(10);
        size_t before = b.size();
        switch (kind) {
        case 0:                                      // one bit
            b[at] ^= static_cast<unsigned char>(1u << below(8));
            break;
        case 1:                                      // random bytes
            for (size_t i = at, end = at + 1 + below(8); i < end && i < b.size(); i++)
                b[i] = static_cast<unsigned char>(rng_());
            break;
        case 2:                                      // cut short
            b.resize(std::min(b.size(), below(2) ? interesting(b) : below(b.size())));
            break;
        case 3:                                      // junk appended
            for (size_t i = 0, n = 1 + below(below(2) ? 16 : 5000); i < n; i++)
                b.push_back(static_cast<unsigned char>(below(3) ? rng_() : 0));
            break;
        case 4:                                      // a zeroed range
            std::fill(b.begin() + at, b.begin() + std::min(b.size(), at + 1 + below(64)), 0);
            break;
        case 5:                                      // one structure over another
            copyUnit(b);
            break;
        case 6:                                      // two ranges swapped
            swapRanges(b);
            break;
        default:                                     // a field set to an edge value
            setField(b);
            break;
        }
        static const char *const kNames[] = {"flip", "random", "cut", "junk", "zero"};
        if (kind < 5)
            note(kNames[kind], at, b.size() != before ? b.size() : 0);
    }

    void copyUnit(Bytes &b)
    {
        if (seed_.units.size() < 2)
            return;
        const Unit &from = seed_.units[below(seed_.units.size())];
        const Unit &to = seed_.units[below(seed_.units.size())];
        size_t n = std::min(from.length, to.length);
        if (below(2))
            n = std::max(from.length, to.length);   // spilling into what follows
        Bytes chunk;
        for (size_t i = 0; i < n && from.offset + i < b.size(); i++)
            chunk.push_back(b[from.offset + i]);
        for (size_t i = 0; i < chunk.size() && to.offset + i < b.size(); i++)
            b[to.offset + i] = chunk[i];
        note("copy", from.offset, to.offset);
    }

    void swapRanges(Bytes &b)
    {
        size_t n = 1 + below(std::min<size_t>(b.size() / 2, 256));
        if (b.size() < 2 * n)
            return;
        size_t x = below(b.size() - n + 1), y = below(b.size() - n + 1);
        if (!seed_.units.empty() && below(2)) {
            x = std::min(seed_.units[below(seed_.units.size())].offset, b.size() - n);
            y = std::min(seed_.units[below(seed_.units.size())].offset, b.size() - n);
        }
        if (x > y)
            std::swap(x, y);
        if (x + n > y)
            return;                                  // overlapping: nothing to swap
        std::swap_ranges(b.begin() + x, b.begin() + x + n, b.begin() + y);
        note("swap", x, y);
    }

    void setField(Bytes &b)
    {
        if (seed_.fields.empty()) {
            b[below(b.size())] = 0;
            return;
        }
        const Field &f = seed_.fields[below(seed_.fields.size())];
        unsigned long long max = f.width >= 4 ? 0xFFFFFFFFull : (1ull << (8 * f.width)) - 1;
        unsigned long long v = 0;
        switch (below(7)) {
        case 0: v = 0; break;
        case 1: v = 1; break;
        case 2: v = max; break;
        case 3: v = b.size() - 1; break;
        case 4: v = b.size(); break;
        case 5: v = b.size() + 1; break;
        default:
            v = seed_.units.empty() ? max / 2 : seed_.units[below(seed_.units.size())].offset;
            break;
        }
        put(b, f.offset, f.width, v & max);
        note("field", f.offset, static_cast<size_t>(v & max));
    }
};

/* Makes mutant n of a sweep and runs body on it. */
template <class Body>
void runMutant(unsigned sweepSeed, unsigned n, const std::vector<Seed> &seeds, Body &body)
{
    current().seed = sweepSeed;
    current().mutant = n;
    std::mt19937_64 rng((static_cast<unsigned long long>(sweepSeed) << 32) ^ (n * 0x9E3779B97F4A7C15ull));
    size_t which = static_cast<size_t>(rng() % seeds.size());
    Mutator mutator(seeds[which], rng);
    Bytes mutant = mutator.make();
    current().mutations = "seed file " + std::to_string(which) + ": " + mutator.log();
    body(mutant, which, rng);
}

template <class Body>
void sweep(unsigned sweepSeed, const std::vector<Seed> &seeds, Body body)
{
    startWatchdog();
    long onlySeed = envNumber("ORIN_MUTATE_SEED", -1);
    long onlyCase = envNumber("ORIN_MUTATE_CASE", -1);
    if (onlySeed >= 0 && static_cast<unsigned long>(onlySeed) != sweepSeed)
        return;
    unsigned count = mutantCount();
    for (unsigned n = 0; n < count; n++) {
        if (onlyCase >= 0 && static_cast<unsigned long>(onlyCase) != n)
            continue;
        runMutant(sweepSeed, n, seeds, body);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "first failing " << where();
            return;
        }
    }
}

/* Runs the mutants that once found a fault, kept by number. */
template <class Body>
void replay(unsigned sweepSeed, const std::vector<unsigned> &cases, const std::vector<Seed> &seeds,
            Body body)
{
    startWatchdog();
    for (unsigned n : cases) {
        runMutant(sweepSeed, n, seeds, body);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "kept " << where();
            return;
        }
    }
}

/* ---- Comparing a mutant with its seed ----------------------------------- */

/* True when bytes [at, at + n) exist in both and are equal. */
inline bool same(const Bytes &a, const Bytes &b, size_t at, size_t n)
{
    if (at + n > a.size() || at + n > b.size())
        return false;
    return std::equal(a.begin() + at, a.begin() + at + n, b.begin() + at);
}

inline void addU16(Seed &s, size_t at) { s.fields.push_back({at, 2}); }
inline void addU32(Seed &s, size_t at) { s.fields.push_back({at, 4}); }

} // namespace mutate

#endif
