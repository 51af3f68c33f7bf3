/*
 * test_prf_file_kills.cpp - a process writing a file kept in a profile
 * value (chunks of varying size, seeks back to overwrite, cuts) is killed
 * at random moments.  The profile it leaves must open with the value as
 * the file stood after the finished calls, or with the call under way done
 * too, and pass its check; or be refused as left in an update, and then
 * repair must give a profile that passes its check (the value of the call
 * under way comes back as repair finds its pieces).
 */
#include <gtest/gtest.h>
#include <string>
#include "killrun.h"
#include "killwork.h"
#include "prf.h"
#include "prfdisk.h"

namespace {

using namespace killwork;

constexpr const char *kFile = "kill_file.prf";
constexpr DWORD kMaxDelay = 300;

void checkFile(const killrun::Finished &f, const killrun::Round &r)
{
    FileWork work(r.seed);
    FileModel before;
    for (int j = 0; j < f.count; j++)
        before.apply(work.next());
    FileModel after = before;
    after.apply(work.next());

    HPRF h = nullptr;
    USHORT rc = PrfOpenProfile(nullptr, &h, kFile, PRF_OPEN_READONLY);
    bool repaired = false;
    if (rc == PRF_ERR_INUPDATE || (rc == PRF_ERR_CHECKSUM && f.early && f.count == 0)) {
        USHORT fixed = PrfFalRepair(nullptr, kFile);
        if (fixed == PRF_ERR_NOBLOCKS && before.bytes.empty())
            return;   // nothing of the file had reached it
        ASSERT_EQ(fixed, 0) << "open gave " << rc;
        rc = PrfOpenProfile(nullptr, &h, kFile, PRF_OPEN_READONLY);
        repaired = true;
    }
    if (rc == ORIN_ERR_FILE_NOT_FOUND && f.early && f.count == 0)
        return;   // killed before the profile was made
    ASSERT_EQ(rc, 0);
    std::string got = prfdisk::value(h, "files", "doc");
    EXPECT_EQ(PrfCheckConsistent(h), 0);
    PrfCloseProfile(h);
    if (got == "<missing>")
        got.clear();
    if (repaired)
        return;   // the value under way comes back as repair finds it
    EXPECT_TRUE(got == before.bytes || got == after.bytes)
        << "the file holds " << got.size() << " bytes; after " << f.count
        << " finished calls it had " << before.bytes.size() << ", with the next one "
        << after.bytes.size();
}

TEST(PrfFileKills, AKilledWriterLeavesTheFileOfAFinishedCall)
{
    killrun::sweep("prffile", kFile, kMaxDelay, checkFile);
}

}  // namespace
