/*
 * test_brc_sweep.cpp - a document archive written through a back-end that
 * dies or fails at a chosen point, for spread points over a workload that
 * adds and deletes documents and sets and deletes fields of an archive
 * with an index, opened exclusively or shared.  After each fault the file
 * is checked as arccrash.h says: what finished operations stored is
 * there, the operation under way is wholly there or absent, the index
 * agrees with the documents, and `orin arc check` finds nothing else.
 */
#include <gtest/gtest.h>
#include "arccrash.h"
#include "arcops.h"
#include "faultsweep.h"
#include "faultvbf.h"

namespace {

using namespace killwork;

constexpr int kOperations = 24;
constexpr unsigned kSeed = 11;
constexpr const char *kBase = "sweep0.arc";   // the starting archive, made once
constexpr const char *kFile = "sweep.arc";
// A point costs a whole workload and an archive check: a sweep visits
// kSpread points spread over the workload (every point with
// ORIN_LONG_SWEEPS=1).  `orin arc check` is a process start under Wine on
// top: it looks at one point in kToolEvery (every one when long).
constexpr long kSpread = 30;
constexpr unsigned kToolEvery = 8;

USHORT gMode = 0;   // the archive's open mode in the workload

/* Runs the workload on a copy of the starting archive, through the fault
 * back-end under the armed plan. */
arccrash::Expect runWorkload()
{
    arccrash::Expect e;
    CopyFileA(kBase, kFile, FALSE);
    BrcArchive *a = nullptr;
    USHORT rc = BrcOpenOnVbf(nullptr, &a, kFile, gMode, faultvbf::table());
    if (rc || faultvbf::dead()) {
        if (a)
            BrcClose(a);
        return e;
    }
    ArcWork work(kSeed);
    ArcModel model;
    for (int j = 0; j < kOperations; j++) {
        ArcOp op = work.next();
        bool failedBefore = faultvbf::failed();
        unsigned number = 0;
        rc = arcops::apply(a, op, &number);
        // Index errors are not the document calls' to report: an operation
        // that met the fault is under way whatever it returned.
        if (faultvbf::dead() || (!failedBefore && faultvbf::failed())) {
            e.inFlight = op;
            break;
        }
        EXPECT_EQ(rc, 0) << "operation " << j;
        EXPECT_EQ(number, op.doc) << "operation " << j;
        if (rc)
            break;
        model.apply(op);
    }
    BrcClose(a);
    e.before = e.after = model;
    if (e.inFlight)
        e.after.apply(*e.inFlight);
    return e;
}

bool longSweeps()
{
    const char *all = getenv("ORIN_LONG_SWEEPS");
    return all != nullptr && *all == '1';
}

void checkFile(const arccrash::Expect &e, const faultvbf::Plan &plan)
{
    static unsigned points = 0;
    SCOPED_TRACE(faultsweep::describe(plan));
    arccrash::Expect with = e;
    with.torn = plan.tear;
    with.callFailed = plan.failAtCall != 0;
    arccrash::check(kFile, with, longSweeps() || points++ % kToolEvery == 0);
}

class ArchiveSweep : public ::testing::TestWithParam<USHORT> {
protected:
    void SetUp() override
    {
        gMode = GetParam();
        DeleteFileA(kBase);
        ASSERT_EQ(arcops::create(kBase), 0);
    }
    void TearDown() override
    {
        faultvbf::disarm();
        DeleteFileA(kFile);
        DeleteFileA(kBase);
    }
    void sweep(const std::vector<faultvbf::Plan> &plans)
    {
        faultsweep::sweep(plans, runWorkload, checkFile, kSpread);
    }
};

TEST_P(ArchiveSweep, AKillAtAnyWriteLosesNothingFinished)
{
    long total = faultsweep::measure(0, runWorkload);
    printf("[ sweep ] %ld writes\n", total);
    ASSERT_GT(total, 200);
    sweep(faultsweep::killPlans(total, true, kSpread));
}

TEST_P(ArchiveSweep, AFailedCallLeavesAWholeArchive)
{
    long total = faultsweep::measure(faultsweep::kAllCalls, runWorkload);
    printf("[ sweep ] %ld calls\n", total);
    ASSERT_GT(total, 200);
    sweep(faultsweep::failurePlans(total, kSpread));
}

INSTANTIATE_TEST_SUITE_P(Modes, ArchiveSweep, ::testing::Values(USHORT(0), USHORT(1)),
                         [](const auto &info) { return info.param ? "Shared" : "Exclusive"; });

}  // namespace

namespace {

constexpr const char *kRecoverFile = "recover.arc";
constexpr size_t kTreeConsistentAt = 26;   // the tree header's consistency flag (u16)

/* An archive with documents titled cc, aa, bb (numbers 0, 1, 2), whose
 * tree is then marked as left in the middle of an update, as a writer
 * killed with the archive open exclusively leaves it. */
void makeArchiveWithTreeInUpdate()
{
    DeleteFileA(kRecoverFile);
    ASSERT_EQ(arcops::create(kRecoverFile), 0);
    BrcArchive *a = nullptr;
    ASSERT_EQ(BrcOpen(nullptr, &a, kRecoverFile, 0), 0);
    for (const char *title : {"cc", "aa", "bb"}) {
        BrdDocument *d = nullptr;
        ASSERT_EQ(BrdAddDocument(a, &d, "site", title, TRUE, FALSE), 0);
        EXPECT_EQ(BrdFldSet(d, "TITLE", 'T', title, 2, FALSE), 0);
        EXPECT_EQ(BrdCloseDocument(d), 0);
    }
    ASSERT_EQ(BrcClose(a), 0);
    prfdisk::DiskProfile p(kRecoverFile);
    ASSERT_EQ(p.rc, 0);
    std::string tree = prfdisk::value(p.h, "Index_0", "Tree");
    ASSERT_GT(tree.size(), kTreeConsistentAt + 2);
    ASSERT_EQ(tree[kTreeConsistentAt], 1) << "a tree closed cleanly is marked consistent";
    tree[kTreeConsistentAt] = 0;
    ASSERT_EQ(PrfWriteProfileData(p.h, "Index_0", "Tree", tree.data(), ULONG(tree.size())), 0);
}

TEST(ArchiveRecovery, ATreeLeftInAnUpdateIsBuiltAnewOnlyWhenOpenedExclusively)
{
    makeArchiveWithTreeInUpdate();
    BrcArchive *a = nullptr;
    // Read-only nothing may be written, and shared another process might be
    // inside the update: both refuse.
    EXPECT_EQ(BrcOpenReadonly(nullptr, &a, kRecoverFile, 2), IXD_ERR_BAD_FILE);
    EXPECT_EQ(BrcOpen(nullptr, &a, kRecoverFile, 1), IXD_ERR_BAD_FILE);
    ASSERT_EQ(BrcOpen(nullptr, &a, kRecoverFile, 0), 0);
    EXPECT_EQ(BrcIxQueryNrKeys(a, nullptr), 3u);
    USHORT n = 0;
    std::vector<USHORT> order;
    USHORT rc = BrcIxFirst(a, nullptr, &n);
    while (rc == 0 && order.size() < 5) {
        order.push_back(n);
        rc = BrcIxNextPrev(a, nullptr, n, 1, &n);
    }
    EXPECT_EQ(order, (std::vector<USHORT>{1, 2, 0})) << "aa, bb, cc";
    EXPECT_EQ(BrcClose(a), 0);
    // Built anew, the tree was closed cleanly: a read-only open takes it.
    ASSERT_EQ(BrcOpenReadonly(nullptr, &a, kRecoverFile, 2), 0);
    EXPECT_EQ(BrcIxQueryNrKeys(a, nullptr), 3u);
    EXPECT_EQ(BrcClose(a), 0);
    DeleteFileA(kRecoverFile);
}

}  // namespace

namespace {

constexpr const char *kFieldFile = "fielddel.arc";

/* Deletes field NOTE of document 0 (and closes it) through the fault
 * back-end; the archive is open exclusively, so the document's field list
 * is otherwise only written when the document closes. */
void deleteNoteFaulted()
{
    BrcArchive *a = nullptr;
    if (BrcOpenOnVbf(nullptr, &a, kFieldFile, 0, faultvbf::table()) != 0)
        return;
    BrdDocument *d = nullptr;
    if (BrdOpenDocument(a, &d, 0, TRUE) == 0) {
        BrdFldDelete(d, "NOTE");
        BrdCloseDocument(d);
    }
    BrcClose(a);
}

TEST(ArchiveRecovery, AKillWhileAFieldIsDeletedLeavesItListedWithItsValueOrGone)
{
    DeleteFileA(kFieldFile);
    ASSERT_EQ(arcops::create(kFieldFile), 0);
    BrcArchive *a = nullptr;
    ASSERT_EQ(BrcOpen(nullptr, &a, kFieldFile, 0), 0);
    BrdDocument *d = nullptr;
    ASSERT_EQ(BrdAddDocument(a, &d, "site", "doc", TRUE, FALSE), 0);
    EXPECT_EQ(BrdFldSet(d, "NOTE", 'T', "note", 4, FALSE), 0);
    EXPECT_EQ(BrdFldSet(d, "TITLE", 'T', "title", 5, FALSE), 0);
    EXPECT_EQ(BrdCloseDocument(d), 0);
    ASSERT_EQ(BrcClose(a), 0);
    const std::string pristine = testutil::readFile(kFieldFile);
    std::string base = std::string(kFieldFile) + ".base";
    testutil::writeFile(base, pristine);

    long total = faultsweep::measure(0, [] {
        deleteNoteFaulted();
    });
    ASSERT_GT(total, 0);
    for (long n = 1; n <= total; n++) {
        SCOPED_TRACE("kill at write " + std::to_string(n));
        CopyFileA(base.c_str(), kFieldFile, FALSE);
        faultvbf::Plan plan;
        plan.killAtWrite = n;
        faultvbf::arm(plan);
        deleteNoteFaulted();
        faultvbf::disarm();
        faultvbf::state().open.clear();
        arccrash::Expect e;
        bool repaired = false;
        ASSERT_TRUE(arccrash::openProfile(kFieldFile, e, &repaired));
        if (repaired)
            continue;   // the profile's own repair decides what a cut value becomes
        ASSERT_EQ(BrcOpen(nullptr, &a, kFieldFile, 0), 0);
        arccrash::ArcDocs docs = arccrash::readDocs(a);
        EXPECT_EQ(BrcClose(a), 0);
        ASSERT_EQ(docs.size(), 1u);
        const arccrash::ArcFields &f = docs[0];
        EXPECT_EQ(f.at("TITLE"), "title");
        EXPECT_TRUE(!f.count("NOTE") || f.at("NOTE") == "note") << "NOTE is " << f.at("NOTE");
    }
    DeleteFileA(base.c_str());
    DeleteFileA(kFieldFile);
}

}  // namespace
