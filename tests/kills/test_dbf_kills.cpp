/*
 * test_dbf_kills.cpp - a process appending, overwriting and deleting
 * records of a table is killed at random moments.  A record is one write
 * and the count in the header is written after it, so a kill can leave
 * the last record appended without its count, which the open recomputes
 * from the file's size.  The table must open and hold exactly the records
 * of the finished operations, the one under way wholly there or absent,
 * and the count must be one of the two.
 */
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "dbfkill.h"
#include "killrun.h"
#include "killwork.h"
#include "ocdbf.h"

namespace {

using namespace killwork;

constexpr const char *kFile = "kill.dbf";
constexpr DWORD kMaxDelay = 250;

std::string fieldOf(OcDbf &t, const char *name)
{
    char buf[32] = {};
    EXPECT_TRUE(t.QueryField(t.QueryFieldHandle(name), buf, sizeof buf));
    return buf;
}

std::vector<DbfRecord> readTable(OcDbf &t)
{
    std::vector<DbfRecord> out;
    ULONG count = t.QueryNrRecords();
    for (ULONG r = 1; r <= count; r++) {
        EXPECT_TRUE(t.ReadFast(r)) << "record " << r;
        out.push_back({fieldOf(t, kDbfName), fieldOf(t, kDbfNum), t.IsDeleted(r) != 0});
    }
    return out;
}

std::string describe(const std::vector<DbfRecord> &records)
{
    std::string out;
    for (const DbfRecord &r : records)
        out += " [" + r.name + "|" + r.num + (r.deleted ? "|*" : "") + "]";
    return out;
}

void checkFile(const killrun::Finished &f, const killrun::Round &r)
{
    DbfWork work(r.seed);
    std::vector<DbfRecord> before;
    for (int j = 0; j < f.count; j++) {
        DbfOp op = work.next();
        ASSERT_EQ(f.ids[size_t(j)], op.record) << "operation " << j << " worked on another record";
        DbfWork::apply(op, before);
    }
    std::vector<DbfRecord> after = before;
    DbfWork::apply(work.next(), after);

    OcDbf t;
    if (!t.Open(kFile, 0, 0, 1)) {
        EXPECT_TRUE(f.early && f.count == 0) << "the table does not open: " << t.GetLastError();
        return;   // killed while the table was being made: refused, not crashed
    }
    std::vector<DbfRecord> got = readTable(t);
    t.Close();
    EXPECT_TRUE(got == before || got == after)
        << "after " << f.count << " finished operations the table holds" << describe(got)
        << "\nbefore the operation under way:" << describe(before)
        << "\nafter it:" << describe(after);
}

TEST(DbfKills, AKilledWriterLosesNoFinishedRecord)
{
    killrun::sweep("dbf", kFile, kMaxDelay, checkFile);
}

}  // namespace
