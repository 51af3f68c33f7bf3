// The files of a rebuilt profile: the "$$$" work name, the backup, and the
// final moves, including a last move that fails and must bring the
// original back.
#include <gtest/gtest.h>
#include <windows.h>
#include "profile/prf_rebuild.h"
#include "prfdisk.h"
#include "testutil.h"

using orin::prf::RebuildFiles;
using prfdisk::ScratchDir;
using testutil::readFile;
using testutil::writeFile;

namespace {

TEST(PrfRebuildFiles, AFailedLastMoveBringsTheOriginalBack)
{
    ScratchDir dir("rebuild_fail");
    std::string file = dir.path("p.prf");
    for (bool keep : {false, true}) {
        ASSERT_TRUE(writeFile(file, "old"));
        {
            RebuildFiles files(nullptr, file.c_str());
            ASSERT_EQ(files.prepare(), 0);
            ASSERT_TRUE(writeFile(files.builtName(), "new"));
            // Held open without sharing, the new file cannot be moved.
            HANDLE held = CreateFileA(files.builtName(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
            EXPECT_NE(files.install(keep), 0);
            CloseHandle(held);
            EXPECT_EQ(readFile(file), "old") << keep;
        }
        // The unused new file went with the object; a backup stays only
        // when one was asked for.
        std::set<std::string> left = dir.files();
        left.erase("p.BAK");
        EXPECT_EQ(left, std::set<std::string>{"p.prf"}) << keep;
        DeleteFileA(dir.path("p.BAK").c_str());
    }
}

}  // namespace
