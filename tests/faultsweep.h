/*
 * faultsweep.h - what the crash and fault sweeps share: the points a
 * sweep visits, the plans for them, and the loop that runs a workload
 * under each plan and checks the file it leaves (faultvbf.h).
 *
 * A sweep first runs its workload with no fault to count the writes (or
 * the calls of the kinds it fails); then it visits kSpread points spread
 * over them (or as many as the sweep asks for), or every point with
 * ORIN_LONG_SWEEPS=1.
 */
#ifndef FAULTSWEEP_H
#define FAULTSWEEP_H

#include <gtest/gtest.h>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>
#include "faultvbf.h"

namespace faultsweep {

constexpr long kSpread = 240;
constexpr int kFailuresShown = 3;   // a sweep stops after this many failing points
constexpr unsigned kAllCalls =
    faultvbf::kRead | faultvbf::kWrite | faultvbf::kSize | faultvbf::kLock | faultvbf::kFlush;

inline std::string describe(const faultvbf::Plan &p)
{
    if (p.killAtWrite)
        return std::string(p.powerCut ? "power cut" : p.tear ? "torn kill" : "kill") +
               " at write " + std::to_string(p.killAtWrite);
    return "failure of call " + std::to_string(p.failAtCall);
}

/* The points to visit among 1..total: `spread` of them (a sweep whose
 * every point is dear may ask for fewer than kSpread). */
inline std::vector<long> points(long total, long spread = kSpread)
{
    const char *all = getenv("ORIN_LONG_SWEEPS");
    std::vector<long> out;
    if ((all != nullptr && *all == '1') || total <= spread) {
        for (long n = 1; n <= total; n++)
            out.push_back(n);
        return out;
    }
    for (long i = 0; i < spread; i++)
        out.push_back(1 + i * (total - 1) / (spread - 1));
    return out;
}

/* The writes (kinds 0) or the calls of `kinds` a fault-free run makes. */
template <class Run>
long measure(unsigned kinds, Run &&run)
{
    faultvbf::Plan count;
    count.failAtCall = LONG_MAX;
    count.failKinds = kinds;
    faultvbf::arm(count);
    run();
    long n = kinds ? faultvbf::calls() : faultvbf::writes();
    faultvbf::disarm();
    return n;
}

/* A kill at each point; with `tear`, every third kill tears its write. */
inline std::vector<faultvbf::Plan> killPlans(long total, bool tear, long spread = kSpread)
{
    std::vector<faultvbf::Plan> plans;
    for (long n : points(total, spread)) {
        faultvbf::Plan p;
        p.killAtWrite = n;
        p.tear = tear && n % 3 == 0;
        plans.push_back(p);
    }
    return plans;
}

/* A "disk full" failure of each point among the calls of every kind. */
inline std::vector<faultvbf::Plan> failurePlans(long total, long spread = kSpread)
{
    std::vector<faultvbf::Plan> plans;
    for (long n : points(total, spread)) {
        faultvbf::Plan p;
        p.failAtCall = n;
        p.failKinds = kAllCalls;
        p.failCode = ORIN_ERR_DISK_FULL;
        plans.push_back(p);
    }
    return plans;
}

/* Runs the workload under each plan and checks what it left; whatever
 * happened, the workload must have closed every file it opened. */
template <class Run, class Check>
void sweep(const std::vector<faultvbf::Plan> &plans, Run &&run, Check &&check,
           size_t fewest = 200)
{
    EXPECT_GE(plans.size(), fewest);
    int failures = 0;
    for (const faultvbf::Plan &plan : plans) {
        faultvbf::arm(plan);
        auto result = run();
        faultvbf::disarm();
        EXPECT_TRUE(faultvbf::state().open.empty()) << describe(plan) << " left a file open";
        faultvbf::state().open.clear();
        check(result, plan);
        if (::testing::Test::HasFailure() && ++failures >= kFailuresShown)
            return;
    }
}

}  // namespace faultsweep

#endif
