/*
 * test_prf_sweep.cpp - a profile written through a back-end that dies or
 * fails at a chosen point, for every point of a workload.
 *
 * The workload writes small and multi-piece values, deletes keys and
 * destroys sections, on a profile opened exclusively and on one opened
 * shared.  Kill sweep: the process "dies" at write N (nothing
 * from that write on reaches the file; with tearing, half of write N
 * does), for evenly spread N over every write the workload makes.  Error
 * sweep: call N (read, write, size, lock or flush) fails with "disk full"
 * and the workload goes on.  Each time the file is then opened with the
 * real back-end and must hold exactly what the finished operations wrote,
 * with the operation under way either wholly there or wholly absent, and
 * pass the profile's check; or be refused as left in an update, in which
 * case repair must bring back such a state.  ORIN_LONG_SWEEPS=1 sweeps
 * every point instead of a spread of them.
 */
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>
#include "faultsweep.h"
#include "faultvbf.h"
#include "fal.h"
#include "prfdisk.h"

namespace {

using prfdisk::Contents;

constexpr int kOperations = 160;
constexpr const char *kFile = "sweep.prf";

std::string valueOf(int j)
{
    unsigned x = 2654435761u * unsigned(j + 7);
    size_t length = j % 9 == 4 ? 9000 + x % 20000 : 1 + x % 300;
    std::string v(length, ' ');
    for (char &c : v) {
        x = x * 1103515245u + 12345u;
        c = char('a' + (x >> 16) % 26);
    }
    return v;
}

/* One step of the workload, applied to the profile and to a model. */
struct Step {
    std::function<USHORT(HPRF)> run;
    std::function<void(Contents &)> apply;
    std::string section;
    std::string key;   // empty: the whole section
};

Step stepOf(int j)
{
    std::string section = "s" + std::to_string(j % 4);
    std::string key = "k" + std::to_string((j * 7) % 15);
    if (j % 23 == 22)
        return {[=](HPRF h) { return PrfDestroySection(h, section.c_str()); },
                [=](Contents &c) { c.erase(section); }, section, ""};
    if (j % 6 == 5)
        return {[=](HPRF h) { return PrfWriteProfileData(h, section.c_str(), key.c_str(), nullptr, 0); },
                [=](Contents &c) {
                    if (c.count(section))
                        c[section].erase(key);
                },
                section, key};
    std::string v = valueOf(j);
    return {[=](HPRF h) {
                return PrfWriteProfileData(h, section.c_str(), key.c_str(), v.data(), ULONG(v.size()));
            },
            [=](Contents &c) { c[section][key] = v; }, section, key};
}

/* A section left without keys still exists in the profile; the model
 * drops them from both sides before comparing. */
Contents withoutEmpty(Contents c)
{
    for (auto it = c.begin(); it != c.end();)
        it = it->second.empty() ? c.erase(it) : std::next(it);
    return c;
}

struct Result {
    std::vector<Contents> allowed;   // the states the file may be in
    bool inCreate = false;           // the fault hit while the file was made
    std::optional<Step> inFlight;    // the step the fault hit
};

/* Repair salvages what it finds of a value whose writing was cut short
 * (lost pieces come back as zeros): after a repair, the keys of the step
 * under way are left out of the comparison; every other one must match. */
Contents withoutStep(Contents c, const Step &step)
{
    if (step.key.empty())
        c.erase(step.section);
    else if (c.count(step.section))
        c[step.section].erase(step.key);
    return withoutEmpty(c);
}

USHORT gOpenFlags = 0;   // the sweep's open mode: 0, or shared

/* Runs the workload on the fault back-end under the armed plan. */
Result runWorkload()
{
    DeleteFileA(kFile);
    Result r;
    Contents model;
    std::vector<Contents> candidates{model};
    HPRF h = nullptr;
    USHORT rc = PrfOpenProfileOnVbf(nullptr, &h, kFile, gOpenFlags, faultvbf::table());
    if (rc || faultvbf::dead()) {
        if (h)
            PrfCloseProfile(h);
        r.allowed = {Contents{}};
        r.inCreate = true;
        return r;
    }
    for (int j = 0; j < kOperations; j++) {
        Step s = stepOf(j);
        bool failedBefore = faultvbf::failed();
        rc = s.run(h);
        if (faultvbf::dead()) {
            r.inFlight = s;
            // The step under way may have reached the file or not.
            std::vector<Contents> next = candidates;
            for (Contents &c : next)
                s.apply(c);
            candidates.insert(candidates.end(), next.begin(), next.end());
            break;
        }
        if (rc == 0) {
            for (Contents &c : candidates)
                s.apply(c);
        } else if (!failedBefore && faultvbf::failed()) {
            r.inFlight = s;
            // The failing step is either wholly done or wholly undone.
            std::vector<Contents> next = candidates;
            for (Contents &c : next)
                s.apply(c);
            candidates.insert(candidates.end(), next.begin(), next.end());
        }
    }
    PrfCloseProfile(h);
    for (Contents &c : candidates)
        c = withoutEmpty(c);
    r.allowed = candidates;
    return r;
}

/* Opens the file for real and checks it against the allowed states. */
void checkFile(const Result &r, const faultvbf::Plan &plan)
{
    SCOPED_TRACE(faultsweep::describe(plan));
    HPRF h = nullptr;
    USHORT rc = PrfOpenProfile(nullptr, &h, kFile, 0);
    USHORT refused = rc;
    // Refused as left in an update - or with a header that is not whole,
    // when the fault tore a write or hit while the file was being made:
    // repair brings it back.
    if (rc == PRF_ERR_INUPDATE || (rc == PRF_ERR_CHECKSUM && (r.inCreate || plan.tear))) {
        USHORT repaired = PrfFalRepair(nullptr, kFile);
        bool nothingStored = std::find(r.allowed.begin(), r.allowed.end(), Contents{}) !=
                             r.allowed.end();
        if (repaired == PRF_ERR_NOBLOCKS && nothingStored)
            return;   // no value had reached the file
        ASSERT_EQ(repaired, 0) << "open gave " << rc;
        rc = PrfOpenProfile(nullptr, &h, kFile, 0);
    }
    ASSERT_EQ(rc, 0);
    Contents got = withoutEmpty(prfdisk::contents(h));
    EXPECT_EQ(PrfCheckConsistent(h), 0);
    PrfCloseProfile(h);
    auto comparable = [&](const Contents &c) {
        return refused && r.inFlight ? withoutStep(c, *r.inFlight) : c;
    };
    got = comparable(got);
    for (const Contents &c : r.allowed)
        if (got == comparable(c))
            return;
    std::string report;
    for (const Contents &c : r.allowed)
        report += "\n  " + prfdisk::differences(comparable(c), got);
    ADD_FAILURE() << "the profile (opened " << (refused ? "after repair" : "at once")
                  << ") holds none of the " << r.allowed.size()
                  << " allowed states; against each:" << report;
}

class ProfileSweep : public ::testing::TestWithParam<USHORT> {
protected:
    void SetUp() override { gOpenFlags = GetParam(); }
    void TearDown() override
    {
        faultvbf::disarm();
        DeleteFileA(kFile);
    }
    void sweep(const std::vector<faultvbf::Plan> &plans)
    {
        faultsweep::sweep(plans, runWorkload, checkFile);
    }
};

TEST_P(ProfileSweep, AKillAtAnyWriteLosesNothingFinished)
{
    long total = faultsweep::measure(0, runWorkload);
    ASSERT_GT(total, 200);
    sweep(faultsweep::killPlans(total, true));
}

TEST_P(ProfileSweep, AFailedCallLeavesAWholeProfile)
{
    long total = faultsweep::measure(faultsweep::kAllCalls, runWorkload);
    ASSERT_GT(total, 200);
    sweep(faultsweep::failurePlans(total));
}

// Two handles share a profile.  One dies at each write of a change that
// takes a block off a free list; the other, open all along, then makes a
// change that wants a block of the same size.  The free lists on disk may
// still name the block the dead writer took: the survivor's call must then
// refuse with the free-list code rather than take it a second time, and
// when it succeeds both values read back as written.  Afterwards the file
// (after repair, when refused as left in an update) holds every finished
// value and the survivor's value when its call succeeded.
TEST(ProfileSharedKill, TheSurvivorNeverTakesTheDeadWritersBlock)
{
    const char *seedFile = "sweep_seed.prf";
    const std::string big(40000, 'b'), dead(20000, 'd'), live(20000, 'l');
    DeleteFileA(seedFile);
    {
        HPRF h = nullptr;
        ASSERT_EQ(PrfOpenProfile(nullptr, &h, seedFile, PRF_OPEN_SHARED), 0);
        ASSERT_EQ(PrfWriteProfileData(h, "s", "big", big.data(), ULONG(big.size())), 0);
        ASSERT_EQ(PrfWriteProfileString(h, "s", "k1", "x"), 0);
        ASSERT_EQ(PrfSetProfileDataSize(h, "s", "big", 10), 0);   // two pieces go free
        PrfCloseProfile(h);
    }
    auto doomedCall = [&](HPRF h) {
        return PrfWriteProfileData(h, "s", "dead", dead.data(), ULONG(dead.size()));
    };
    long total = 0;
    {
        ASSERT_TRUE(CopyFileA(seedFile, kFile, FALSE));
        HPRF d = nullptr;
        ASSERT_EQ(PrfOpenProfileOnVbf(nullptr, &d, kFile, PRF_OPEN_SHARED, faultvbf::table()), 0);
        faultvbf::disarm();
        ASSERT_EQ(doomedCall(d), 0);
        total = faultvbf::writes();
        PrfCloseProfile(d);
    }
    ASSERT_GE(total, 4);
    for (long n = 1; n <= total; n++) {
        SCOPED_TRACE("dies at write " + std::to_string(n) + " of " + std::to_string(total));
        ASSERT_TRUE(CopyFileA(seedFile, kFile, FALSE));
        HPRF h = nullptr, d = nullptr;
        ASSERT_EQ(PrfOpenProfile(nullptr, &h, kFile, PRF_OPEN_SHARED), 0);
        EXPECT_EQ(prfdisk::value(h, "s", "k1"), "x");
        ASSERT_EQ(PrfOpenProfileOnVbf(nullptr, &d, kFile, PRF_OPEN_SHARED, faultvbf::table()), 0);
        faultvbf::Plan plan;
        plan.killAtWrite = n;
        faultvbf::arm(plan);
        doomedCall(d);
        ASSERT_TRUE(faultvbf::dead());
        USHORT liveRc = PrfWriteProfileData(h, "s", "live", live.data(), ULONG(live.size()));
        // Either the survivor's list walk found the dead writer's block no
        // longer free and refused, or it took a block that is its own:
        // then both values read back as written, or the dead one not at all.
        EXPECT_TRUE(liveRc == 0 || liveRc == FAL_ERR_FREELIST) << liveRc;
        if (liveRc == 0) {
            EXPECT_EQ(prfdisk::value(h, "s", "live"), live);
            std::string deadValue = prfdisk::value(h, "s", "dead");
            EXPECT_TRUE(deadValue == "<missing>" || deadValue == dead) << deadValue.size() << " bytes";
        }
        PrfCloseProfile(h);
        PrfCloseProfile(d);
        faultvbf::disarm();

        USHORT rc = PrfOpenProfile(nullptr, &h, kFile, 0);
        if (rc == PRF_ERR_INUPDATE) {
            ASSERT_EQ(PrfFalRepair(nullptr, kFile), 0);
            rc = PrfOpenProfile(nullptr, &h, kFile, 0);
        }
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(PrfCheckConsistent(h), 0);
        Contents got = prfdisk::contents(h);
        PrfCloseProfile(h);
        EXPECT_EQ(got["s"]["big"], std::string(10, 'b'));
        EXPECT_EQ(got["s"]["k1"], "x");
        if (liveRc == 0) {
            EXPECT_EQ(got["s"]["live"], live);
        }
        // Repair keeps what it found of the dead writer's value: its own
        // bytes (zeros for a lost piece), never the survivor's.
        if (got["s"].count("dead")) {
            const std::string &v = got["s"]["dead"];
            EXPECT_LE(v.size(), dead.size());
            EXPECT_EQ(size_t(std::count(v.begin(), v.end(), 'd') + std::count(v.begin(), v.end(), '\0')),
                      v.size());
        }
    }
    DeleteFileA(seedFile);
    DeleteFileA(kFile);
}

INSTANTIATE_TEST_SUITE_P(Modes, ProfileSweep,
                         ::testing::Values(USHORT(0), USHORT(PRF_OPEN_SHARED)),
                         [](const auto &info) { return info.param ? "Shared" : "Exclusive"; });

}  // namespace
