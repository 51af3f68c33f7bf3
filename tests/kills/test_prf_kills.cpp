/*
 * test_prf_kills.cpp - a process writing values (some of several pieces),
 * deleting keys and dropping sections of a profile, opened exclusively or
 * shared, is killed at random moments.  The profile it leaves must open
 * and hold exactly what the finished operations wrote, with the one under
 * way wholly there or wholly absent, and pass its own check; or be refused
 * as left in an update, and then repair must bring back every value the
 * operation under way did not touch (a value cut short comes back as
 * repair finds its pieces).
 */
#include <gtest/gtest.h>
#include <string>
#include "killrun.h"
#include "killwork.h"
#include "prf.h"
#include "prfdisk.h"

namespace {

using namespace killwork;

constexpr const char *kFile = "kill.prf";
constexpr DWORD kMaxDelay = 400;

Contents withoutEmpty(Contents c)
{
    for (auto it = c.begin(); it != c.end();)
        it = it->second.empty() ? c.erase(it) : std::next(it);
    return c;
}

Contents withoutOp(Contents c, const PrfOp &op)
{
    if (op.key.empty())
        c.erase(op.section);
    else if (c.count(op.section))
        c[op.section].erase(op.key);
    return withoutEmpty(c);
}

void checkFile(const killrun::Finished &f, const killrun::Round &r)
{
    PrfWork work(r.seed);
    Contents before;
    for (int j = 0; j < f.count; j++)
        PrfWork::apply(work.next(), before);
    PrfOp inFlight = work.next();
    Contents after = before;
    PrfWork::apply(inFlight, after);

    HPRF h = nullptr;
    USHORT rc = PrfOpenProfile(nullptr, &h, kFile, PRF_OPEN_READONLY);
    USHORT refused = rc;
    if (rc == PRF_ERR_INUPDATE || (rc == PRF_ERR_CHECKSUM && f.early && f.count == 0)) {
        USHORT repaired = PrfFalRepair(nullptr, kFile);
        if (repaired == PRF_ERR_NOBLOCKS && before.empty())
            return;   // no value had reached the file
        ASSERT_EQ(repaired, 0) << "open gave " << rc;
        rc = PrfOpenProfile(nullptr, &h, kFile, PRF_OPEN_READONLY);
    }
    if (rc == ORIN_ERR_FILE_NOT_FOUND && f.early && f.count == 0)
        return;   // killed before the file was made
    ASSERT_EQ(rc, 0);
    Contents got = withoutEmpty(prfdisk::contents(h));
    EXPECT_EQ(PrfCheckConsistent(h), 0);
    PrfCloseProfile(h);
    if (refused) {
        EXPECT_EQ(prfdisk::differences(withoutOp(before, inFlight), withoutOp(got, inFlight)), "")
            << "after repair";
        return;
    }
    if (got == before || got == after)
        return;
    ADD_FAILURE() << "after " << f.count << " finished operations the profile holds neither "
                  << "state; against the one before the operation under way: "
                  << prfdisk::differences(before, got)
                  << "; against the one after it: " << prfdisk::differences(after, got);
}

class PrfKills : public ::testing::TestWithParam<const char *> {};

TEST_P(PrfKills, AKilledWriterLosesNothingFinished)
{
    killrun::sweep(GetParam(), kFile, kMaxDelay, checkFile);
}

INSTANTIATE_TEST_SUITE_P(Modes, PrfKills, ::testing::Values("prf", "prf-shared"),
                         [](const auto &info) {
                             return std::string(info.param) == "prf" ? "Exclusive" : "Shared";
                         });

}  // namespace
