/*
 * test_brc_kills.cpp - a process adding and deleting documents and setting
 * and deleting fields of a document archive with an index, opened
 * exclusively or shared, is killed at random moments.  What it leaves is
 * checked as arccrash.h says (every finished operation's documents and
 * fields there, the one under way wholly there or absent, the index in
 * step with the documents, `orin arc check` finding nothing else), and
 * every document number the helper reported must be the one the model
 * gave the operation.
 */
#include <gtest/gtest.h>
#include <string>
#include "arccrash.h"
#include "killrun.h"
#include "killwork.h"

namespace {

using namespace killwork;

constexpr const char *kFile = "kill.arc";
constexpr DWORD kMaxDelay = 400;
// `orin arc check` is one more process start: it looks after every
// kToolEvery-th round (every round with ORIN_LONG_SWEEPS=1).
constexpr int kToolEvery = 3;
// A round checks the archive three ways: 30 rounds a mode unless long.
constexpr int kRounds = 30;

void checkFile(const killrun::Finished &f, const killrun::Round &r)
{
    ArcWork work(r.seed);
    arccrash::Expect e;
    for (int j = 0; j < f.count; j++) {
        ArcOp op = work.next();
        ASSERT_EQ(f.ids[size_t(j)], op.doc) << "operation " << j << " worked on another document";
        e.before.apply(op);
    }
    e.after = e.before;
    e.inFlight = work.next();
    e.after.apply(*e.inFlight);
    e.inCreate = f.early && f.count == 0;
    bool tool = killrun::envNumber("ORIN_LONG_SWEEPS", 0) == 1 || r.number % kToolEvery == 0;
    arccrash::check(kFile, e, tool);
}

class BrcKills : public ::testing::TestWithParam<const char *> {};

TEST_P(BrcKills, AKilledWriterLosesNothingFinished)
{
    killrun::sweep(GetParam(), kFile, kMaxDelay, checkFile, kRounds);
}

INSTANTIATE_TEST_SUITE_P(Modes, BrcKills, ::testing::Values("arc", "arc-shared"),
                         [](const auto &info) {
                             return std::string(info.param) == "arc" ? "Exclusive" : "Shared";
                         });

}  // namespace
