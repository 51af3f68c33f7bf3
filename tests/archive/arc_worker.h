/*
 * arc_worker.h - the deterministic work the two-process archive test runs
 * in a second process: document i gets a NAME and a BODY that depend only
 * on the seed and i; every third document later renames an earlier one.
 * The checking side rebuilds every final value from the same functions.
 */
#ifndef ARC_WORKER_H
#define ARC_WORKER_H

#include <string>

namespace arcworker {

constexpr const char *kIndex = "NAME,12,L";
constexpr const char *kSite = "worker";
constexpr int kRenameEvery = 3;

inline std::string nameOf(unsigned seed, int i, int version)
{
    unsigned x = seed * 2654435761u + unsigned(i) * 40503u + unsigned(version) * 977u;
    std::string v = "n";
    for (int k = 0; k < 8; k++) {
        x = x * 1103515245u + 12345u;
        v += char('a' + (x >> 16) % 26);
    }
    return v;
}

inline std::string bodyOf(unsigned seed, int i)
{
    unsigned x = seed + unsigned(i) * 7919u;
    size_t length = 10 + x % 400;
    std::string v(length, ' ');
    for (char &c : v) {
        x = x * 1103515245u + 12345u;
        c = char('A' + (x >> 16) % 26);
    }
    return v;
}

/* Document `target` is renamed by document i (one version per rename). */
inline int renamedBy(int i) { return i % kRenameEvery == kRenameEvery - 1 ? i / 2 : -1; }

}  // namespace arcworker

#endif
