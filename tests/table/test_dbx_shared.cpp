// Two processes on one shared table: each appends and updates its own
// records (locking reads, index maintenance in table transactions) while
// walking the shared NAME index, and the second deletes some of its records
// behind the engine at the end.  Afterwards every record holds what its
// writer put there and the index lists every live record once, in order,
// having dropped the stale entries while it was walked.
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include "dbx_share_worker.h"
#include "dbxtest.h"

namespace {

using dbxtest::field;

std::string trimmed(OcDbx &t, const char *name)
{
    char buf[32] = "";
    t.QueryField(name, buf, sizeof buf);
    std::string s(buf);
    return s.substr(0, s.find_last_not_of(' ') + 1);
}

TEST(DbxShared, TwoProcessesAppendUpdateAndNavigate)
{
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "SHARE", nullptr, 0);
    const DBXFIELDDES fields[] = {field("NAME", 'C', 8), field("QTY", 'N', 6)};
    {
        OcDbx t;
        ASSERT_TRUE(t.Create("SHARE", fields, 2, 1));
        ASSERT_NE(t.AttachIndex(0, nullptr, dbxshare::kName, 1, dbxshare::kAttach, 1), nullptr);
    }
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi{};
    std::string cmd = "dbx_share_helper.exe SHARE B";
    ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    int mine = dbxshare::work("SHARE", 'A');
    DWORD theirs = 99;
    WaitForSingleObject(pi.hProcess, 180000);
    GetExitCodeProcess(pi.hProcess, &theirs);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(mine, 0);
    EXPECT_EQ(theirs, 0u);

    OcDbx t;
    ASSERT_TRUE(t.Open("SHARE", nullptr, 0, 1));
    ASSERT_NE(t.AttachIndex(0, nullptr, dbxshare::kName, 1, dbxshare::kAttach, 1), nullptr);
    EXPECT_EQ(t.QueryNrRecords(), 2u * dbxshare::RECORDS);
    std::set<std::string> want;
    for (char tag : {'A', 'B'})
        for (int i = 0; i < dbxshare::RECORDS; ++i)
            if (!dbxshare::deletedLater(tag, i))
                want.insert(dbxshare::nameOf(tag, i) + "=" + dbxshare::qtyOf(i));
    std::vector<std::string> walked;
    for (ULONG r = t.FirstRec(); r != 0 && r != DBX_NO_RECORD; r = t.NextRec()) {
        walked.push_back(trimmed(t, "NAME") + "=" + trimmed(t, "QTY"));
        EXPECT_FALSE(t.QueryLocked(r)) << r;
    }
    // The records the other process deleted were skipped and their stale
    // entries removed on the way.
    EXPECT_EQ(walked, std::vector<std::string>(want.begin(), want.end()));
    EXPECT_EQ(t.QueryNrKeys(), want.size());
    EXPECT_LT(want.size(), 2u * dbxshare::RECORDS);
}

}  // namespace
