// The file classes: 1/0 results with the code kept, end-of-file tests and
// range locks, for the buffered (OcFbf) and the plain (OcFile) kind; moves
// that hand a file from one object to another.
#include <gtest/gtest.h>
#include <string>
#include <type_traits>
#include <utility>
#include "ocfile.h"
#include "testutil.h"

using testutil::ScratchFile;

namespace {

// Runs the same checks over either class.
template <class F>
void exerciseFileClass(const std::string &name)
{
    ScratchFile f(name);
    ASSERT_TRUE(testutil::writeFile(f.name, "0123456789"));
    F file;
    EXPECT_EQ(file.Read(nullptr, 0), 0) << "no file open yet";
    EXPECT_EQ(file.LastError(), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(file.Open("occlass_missing.dat"), 0);
    EXPECT_EQ(file.LastError(), ORIN_ERR_FILE_NOT_FOUND);

    ASSERT_EQ(file.Open(f.name.c_str()), 1);
    EXPECT_EQ(file.LastError(), 0);
    ULONG size = 0, pos = 0, got = 0;
    ASSERT_EQ(file.QueryFileSize(&size), 1);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(file.AtEof(), 0);
    ASSERT_EQ(file.ChgFilePtr(-3, 2, &pos), 1);
    EXPECT_EQ(pos, 7u);
    char buf[8] = {};
    ASSERT_EQ(file.Read(buf, 3, &got), 1);
    EXPECT_EQ(std::string(buf, got), "789");
    EXPECT_EQ(file.AtEof(), 1);

    // An exclusive range lock: a plain handle cannot take that range.
    ASSERT_EQ(file.LockRange(2, 4), 1);
    HANDLE plain = CreateFileA(f.name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    OVERLAPPED ov = {};
    ov.Offset = 3;
    EXPECT_FALSE(LockFileEx(plain, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov));
    FILELOCK unlock = {2, 4, 0};
    ASSERT_EQ(file.FileLocks(&unlock, nullptr), 1);
    EXPECT_TRUE(LockFileEx(plain, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov));
    UnlockFileEx(plain, 0, 1, 0, &ov);
    CloseHandle(plain);

    ASSERT_EQ(file.NewSize(20), 1);
    ASSERT_EQ(file.QueryFileSize(&size), 1);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(file.AtEof(), 0);
    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(file.LastError(), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(file.AtEof(), 1) << "no length can be read without a file";
    EXPECT_EQ(testutil::readFile(f.name).size(), 20u);
}

} // namespace

TEST(OcFbfClass, ResultsCodesEndOfFileAndLocks)
{
    exerciseFileClass<OcFbf>("occlass_fbf.dat");
}

TEST(OcFileClass, ResultsCodesEndOfFileAndLocks)
{
    exerciseFileClass<OcFile>("occlass_file.dat");
}

TEST(OcFbfClass, DestructorClosesTheFile)
{
    ScratchFile f("occlass_dtor.dat");
    ASSERT_TRUE(testutil::writeFile(f.name, "x"));
    {
        OcFbf file;
        ASSERT_EQ(file.Open(f.name.c_str(), VBF_OPEN_EXISTING,
                            VBF_MODE_READWRITE | VBF_SHARE_DENY_ALL), 1);
        EXPECT_EQ(CreateFileA(f.name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    }
    HANDLE h = CreateFileA(f.name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

// Each object owns its handle alone: a copy would close it twice.
static_assert(!std::is_copy_constructible_v<OcFbf> && !std::is_copy_assignable_v<OcFbf>);
static_assert(!std::is_copy_constructible_v<OcFile> && !std::is_copy_assignable_v<OcFile>);
static_assert(std::is_nothrow_move_constructible_v<OcFbf> && std::is_nothrow_move_assignable_v<OcFbf>);
static_assert(std::is_nothrow_move_constructible_v<OcFile> && std::is_nothrow_move_assignable_v<OcFile>);

namespace {

const ULONG kDenyAll = VBF_MODE_READWRITE | VBF_SHARE_DENY_ALL;

bool openableElsewhere(const std::string &name)
{
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

// A move hands the file over: the source answers "no file" and closes
// nothing when it ends; moving onto an object closes the file it had.
template <class F>
void moveHandsOverTheFile(const std::string &prefix)
{
    ScratchFile f(prefix + "_a.dat"), g(prefix + "_b.dat");
    ASSERT_TRUE(testutil::writeFile(f.name, "0123456789"));
    ASSERT_TRUE(testutil::writeFile(g.name, "other"));
    char buf[8] = {};
    ULONG got = 0;
    F target;
    ASSERT_EQ(target.Open(g.name.c_str(), VBF_OPEN_EXISTING, kDenyAll), 1);
    {
        F source;
        ASSERT_EQ(source.Open(f.name.c_str(), VBF_OPEN_EXISTING, kDenyAll), 1);
        F moved(std::move(source));
        EXPECT_EQ(source.Read(buf, 1, &got), 0);
        EXPECT_EQ(source.LastError(), ORIN_ERR_INVALID_HANDLE);
        ASSERT_FALSE(openableElsewhere(g.name));
        target = std::move(moved);
        EXPECT_TRUE(openableElsewhere(g.name)) << "the replaced file was closed";
        EXPECT_EQ(moved.Close(), 0);
        EXPECT_EQ(moved.LastError(), ORIN_ERR_INVALID_HANDLE);
    }
    EXPECT_FALSE(openableElsewhere(f.name)) << "the moved-from objects left the file open";
    ASSERT_EQ(target.ChgFilePtr(2), 1);
    ASSERT_EQ(target.Read(buf, 3, &got), 1);
    EXPECT_EQ(std::string(buf, got), "234");
    EXPECT_EQ(target.Close(), 1);
    EXPECT_TRUE(openableElsewhere(f.name));
}

} // namespace

TEST(OcFbfClass, MoveHandsOverTheFile)
{
    moveHandsOverTheFile<OcFbf>("ocmove_fbf");
}

TEST(OcFileClass, MoveHandsOverTheFile)
{
    moveHandsOverTheFile<OcFile>("ocmove_file");
}
