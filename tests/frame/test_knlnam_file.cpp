// Open files through the exported interface: the open flags, sharing
// modes and actions, reads, writes, seeks and lengths, file information in
// DOS form (checked against the system's own conversion), attributes, and
// temporary files.
#include <gtest/gtest.h>
#include <string>
#include "knlnam.h"
#include "testutil.h"

namespace {

using testutil::ScratchFile;
using testutil::readFile;
using testutil::writeFile;

void *ns() { return KnlNamGetDefaultNS(); }

const ULONG READ_ONLY = 0x00, READ_WRITE = KNLNAM_ACCESS_READWRITE;
const USHORT SHARING_VIOLATION = 32;

struct OpenCase {
    ULONG flags;
    ULONG size;
    bool exists;
    USHORT err;
    ULONG action;
    const char *contentAfter;   // nullptr when the file must not exist
};

TEST(KnlNamOpen, FlagsAndActionsOnExistingAndMissingFiles)
{
    const OpenCase cases[] = {
        { KNLNAM_OPEN_EXISTING, 0, true, 0, KNLNAM_ACTION_EXISTED, "hello" },
        { KNLNAM_OPEN_EXISTING, 0, false, ORIN_ERR_FILE_NOT_FOUND, 0, nullptr },
        { KNLNAM_OPEN_ALWAYS, 0, true, 0, KNLNAM_ACTION_EXISTED, "hello" },
        { KNLNAM_OPEN_ALWAYS, 0, false, 0, KNLNAM_ACTION_CREATED, "" },
        { KNLNAM_OPEN_CREATE, 0, true, 0, KNLNAM_ACTION_CREATED, "" },
        { KNLNAM_OPEN_CREATE, 0, false, 0, KNLNAM_ACTION_CREATED, "" },
        { KNLNAM_OPEN_REPLACE, 0, true, 0, KNLNAM_ACTION_REPLACED, "" },
        { KNLNAM_OPEN_REPLACE, 0, false, ORIN_ERR_FILE_NOT_FOUND, 0, nullptr },
        { KNLNAM_OPEN_REPLACE, 3, true, 0, KNLNAM_ACTION_EXISTED, "hel" },
    };
    for (const OpenCase &c : cases) {
        SCOPED_TRACE("flags " + std::to_string(c.flags) + " exists " + std::to_string(c.exists));
        ScratchFile f("nam_open_case.dat");
        if (c.exists) {
            ASSERT_TRUE(writeFile(f.name, "hello"));
        }
        KNLHFILE h = 0;
        ULONG action = 99;
        USHORT err = KnlNamOpen(ns(), f.name.c_str(), &h, &action, c.size, 0, c.flags,
                                READ_WRITE | KNLNAM_SHARE_DENYNONE, 0);
        EXPECT_EQ(err, c.err);
        if (err == 0) {
            EXPECT_EQ(action, c.action);
            EXPECT_EQ(KnlNamClose(ns(), h), 0);
        }
        if (c.contentAfter)
            EXPECT_EQ(readFile(f.name), c.contentAfter);
        else
            EXPECT_FALSE(testutil::fileExists(f.name));
    }
}

// Opens the same file a second time while a first handle with the given
// mode is open; returns the second open's result.
USHORT secondOpen(const std::string &name, ULONG firstMode, ULONG secondMode)
{
    KNLHFILE a = 0, b = 0;
    ULONG action;
    if (KnlNamOpen(ns(), name.c_str(), &a, &action, 0, 0, KNLNAM_OPEN_EXISTING, firstMode, 0))
        return 0xEEEE;
    USHORT err = KnlNamOpen(ns(), name.c_str(), &b, &action, 0, 0, KNLNAM_OPEN_EXISTING,
                            secondMode, 0);
    if (!err)
        KnlNamClose(ns(), b);
    KnlNamClose(ns(), a);
    return err;
}

TEST(KnlNamOpen, SharingModes)
{
    ScratchFile f("nam_share.dat");
    ASSERT_TRUE(writeFile(f.name, "x"));
    const ULONG shareRead = KNLNAM_SHARE_DENYNONE;
    // deny all: nobody else gets in
    EXPECT_EQ(secondOpen(f.name, READ_WRITE | KNLNAM_SHARE_DENYALL, READ_ONLY | shareRead),
              SHARING_VIOLATION);
    EXPECT_EQ(secondOpen(f.name, READ_ONLY | KNLNAM_SHARE_DENYALL2, READ_ONLY | shareRead),
              SHARING_VIOLATION);
    // deny write: readers yes, writers no
    EXPECT_EQ(secondOpen(f.name, READ_ONLY | KNLNAM_SHARE_DENYWRITE, READ_ONLY | shareRead), 0);
    EXPECT_EQ(secondOpen(f.name, READ_ONLY | KNLNAM_SHARE_DENYWRITE, READ_WRITE | shareRead),
              SHARING_VIOLATION);
    // deny none: a writer joins a writer
    EXPECT_EQ(secondOpen(f.name, READ_WRITE | shareRead, READ_WRITE | shareRead), 0);
    // no sharing bits: a reader lets readers in, a writer nobody
    EXPECT_EQ(secondOpen(f.name, READ_ONLY, READ_ONLY | shareRead), 0);
    EXPECT_EQ(secondOpen(f.name, READ_ONLY, READ_WRITE | shareRead), SHARING_VIOLATION);
    EXPECT_EQ(secondOpen(f.name, KNLNAM_ACCESS_WRITE, READ_ONLY | shareRead), SHARING_VIOLATION);
}

TEST(KnlNamOpen, WriteOnlyAccessCannotRead)
{
    ScratchFile f("nam_wronly.dat");
    KNLHFILE h;
    ULONG action, done;
    char buf[4];
    ASSERT_EQ(KnlNamOpen(ns(), f.name.c_str(), &h, &action, 0, 0, KNLNAM_OPEN_ALWAYS,
                         KNLNAM_ACCESS_WRITE, 0), 0);
    EXPECT_EQ(KnlNamWrite(ns(), h, "abc", 3, &done), 0);
    EXPECT_EQ(KnlNamChgFilePtr(ns(), h, 0, KNLNAM_SEEK_BEGIN, &done), 0);
    EXPECT_EQ(KnlNamRead(ns(), h, buf, 3, &done), ORIN_ERR_ACCESS_DENIED);
    KnlNamClose(ns(), h);
}

TEST(KnlNamOpen, BadArgumentsAndNonFiles)
{
    KNLHFILE h = 123;
    ULONG action;
    std::string longName(KNLNAM_MAXPATH, 'a');
    EXPECT_EQ(KnlNamOpen(ns(), longName.c_str(), &h, &action, 0, 0, KNLNAM_OPEN_ALWAYS, 0, 0),
              ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(KnlNamOpen(ns(), nullptr, &h, &action, 0, 0, KNLNAM_OPEN_ALWAYS, 0, 0),
              ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamOpen(ns(), "x.dat", nullptr, &action, 0, 0, KNLNAM_OPEN_ALWAYS, 0, 0),
              ORIN_ERR_INVALID_PARAM);
    // a volume label is never opened
    EXPECT_EQ(KnlNamOpen(ns(), "label.dat", &h, &action, 0, KNLNAM_ATTR_VOLUME,
                         KNLNAM_OPEN_ALWAYS, 0, 0), ORIN_ERR_ACCESS_DENIED);
    EXPECT_FALSE(testutil::fileExists("label.dat"));
    // a device is not a disk file
    EXPECT_EQ(KnlNamOpen(ns(), "NUL", &h, &action, 0, 0, KNLNAM_OPEN_EXISTING, 0, 0),
              ORIN_ERR_ACCESS_DENIED);
    // a directory is refused as a file
    CreateDirectoryA("nam_dir_as_file", nullptr);
    EXPECT_NE(KnlNamOpen(ns(), "nam_dir_as_file", &h, &action, 0, 0, KNLNAM_OPEN_EXISTING, 0, 0),
              0);
    RemoveDirectoryA("nam_dir_as_file");
}

TEST(KnlNamOpen, DirectoryAttributeCreatesADirectory)
{
    KNLHFILE h;
    ULONG action = 0;
    RemoveDirectoryA("nam_made_dir");
    EXPECT_EQ(KnlNamOpen(ns(), "nam_made_dir", &h, &action, 0, KNLNAM_ATTR_DIRECTORY,
                         KNLNAM_OPEN_EXISTING, 0, 0), ORIN_ERR_INVALID_PARAM);
    ASSERT_EQ(KnlNamOpen(ns(), "nam_made_dir", &h, &action, 0, KNLNAM_ATTR_DIRECTORY,
                         KNLNAM_OPEN_CREATE, 0, 0), 0);
    EXPECT_EQ(action, (ULONG)KNLNAM_ACTION_CREATED);
    DWORD attrs = GetFileAttributesA("nam_made_dir");
    EXPECT_NE(attrs, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attrs & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryA("nam_made_dir");
}

// The calls keep the system's error boxes off while they touch the disk
// and give the caller's error mode back on every path, failures included.
TEST(KnlNamOpen, CallersErrorModeIsBackAfterSuccessAndFailure)
{
    const UINT callers = SEM_NOGPFAULTERRORBOX;
    UINT saved = SetErrorMode(callers);
    KNLHFILE h;
    ULONG action = 0;
    EXPECT_EQ(KnlNamOpen(ns(), "nam_no_such_dir\\x.dat", &h, &action, 0, 0,
                         KNLNAM_OPEN_EXISTING, 0, 0), ORIN_ERR_PATH_NOT_FOUND);
    EXPECT_EQ(GetErrorMode(), callers);
    EXPECT_NE(KnlNamSetFileMode(ns(), "nam_no_such_file.dat", 0), 0);
    EXPECT_EQ(GetErrorMode(), callers);
    EXPECT_NE(KnlNamMove(ns(), "nam_no_such_file.dat", "nam_other.dat"), 0);
    EXPECT_EQ(GetErrorMode(), callers);
    RemoveDirectoryA("nam_mode_dir");
    ASSERT_EQ(KnlNamOpen(ns(), "nam_mode_dir", &h, &action, 0, KNLNAM_ATTR_DIRECTORY,
                         KNLNAM_OPEN_CREATE, 0, 0), 0);
    EXPECT_EQ(GetErrorMode(), callers);
    RemoveDirectoryA("nam_mode_dir");
    SetErrorMode(saved);
}

TEST(KnlNamOpen, CreatedFileGetsAttributes)
{
    ScratchFile f("nam_hidden.dat");
    KNLHFILE h;
    ULONG action, mode = 0;
    ASSERT_EQ(KnlNamOpen(ns(), f.name.c_str(), &h, &action, 0, KNLNAM_ATTR_HIDDEN,
                         KNLNAM_OPEN_ALWAYS, READ_WRITE, 0), 0);
    KnlNamClose(ns(), h);
    ASSERT_EQ(KnlNamQFileMode(ns(), f.name.c_str(), &mode), 0);
    EXPECT_TRUE(mode & KNLNAM_ATTR_HIDDEN);
    SetFileAttributesA(f.name.c_str(), FILE_ATTRIBUTE_NORMAL);
}

class OpenFile : public ::testing::Test {
protected:
    ScratchFile file{"nam_rw.dat"};
    KNLHFILE h = 0;
    void SetUp() override
    {
        ULONG action;
        ASSERT_EQ(KnlNamOpen(ns(), file.name.c_str(), &h, &action, 0, 0, KNLNAM_OPEN_ALWAYS,
                             READ_WRITE | KNLNAM_SHARE_DENYNONE, 0), 0);
    }
    void TearDown() override { KnlNamClose(ns(), h); }
    ULONG position()
    {
        ULONG pos = 0;
        EXPECT_EQ(KnlNamChgFilePtr(ns(), h, 0, KNLNAM_SEEK_CURRENT, &pos), 0);
        return pos;
    }
};

TEST_F(OpenFile, ReadWriteAndSeek)
{
    ULONG done = 0, pos = 0;
    char buf[16] = {};
    ASSERT_EQ(KnlNamWrite(ns(), h, "0123456789", 10, &done), 0);
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(KnlNamChgFilePtr(ns(), h, 2, KNLNAM_SEEK_BEGIN, &pos), 0);
    EXPECT_EQ(pos, 2u);
    EXPECT_EQ(KnlNamChgFilePtr(ns(), h, 3, KNLNAM_SEEK_CURRENT, &pos), 0);
    EXPECT_EQ(pos, 5u);
    ASSERT_EQ(KnlNamRead(ns(), h, buf, 3, &done), 0);
    EXPECT_EQ(std::string(buf, done), "567");
    EXPECT_EQ(KnlNamChgFilePtr(ns(), h, -4, KNLNAM_SEEK_END, &pos), 0);
    EXPECT_EQ(pos, 6u);
    // reading past the end reports fewer bytes, not an error
    ASSERT_EQ(KnlNamRead(ns(), h, buf, sizeof buf, &done), 0);
    EXPECT_EQ(std::string(buf, done), "6789");
    EXPECT_EQ(KnlNamChgFilePtr(ns(), h, 0, 3, &pos), ORIN_ERR_INVALID_PARAM);
    EXPECT_NE(KnlNamChgFilePtr(ns(), h, -1, KNLNAM_SEEK_BEGIN, &pos), 0);
    EXPECT_EQ(KnlNamRead(ns(), h, nullptr, 4, &done), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamWrite(ns(), h, nullptr, 4, &done), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamBufReset(ns(), h), 0);
    EXPECT_EQ(readFile(file.name), "0123456789");
}

TEST_F(OpenFile, NewSizeKeepsThePosition)
{
    ULONG done, size = 0;
    ASSERT_EQ(KnlNamWrite(ns(), h, "abcdefgh", 8, &done), 0);
    ASSERT_EQ(KnlNamChgFilePtr(ns(), h, 5, KNLNAM_SEEK_BEGIN, &done), 0);
    EXPECT_EQ(KnlNamNewSize(ns(), h, 100), 0);
    EXPECT_EQ(position(), 5u);
    EXPECT_EQ(KnlNamQFileSize(ns(), h, &size), 0);
    EXPECT_EQ(size, 100u);
    EXPECT_EQ(KnlNamNewSize(ns(), h, 3), 0);
    EXPECT_EQ(position(), 5u);
    EXPECT_EQ(KnlNamQFileSize(ns(), h, &size), 0);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(KnlNamQFileSize(ns(), h, nullptr), ORIN_ERR_INVALID_PARAM);
}

TEST_F(OpenFile, DuplicateSharesThePosition)
{
    KNLHFILE dup = 0;
    ULONG done;
    ASSERT_EQ(KnlNamDupHandle(ns(), h, &dup), 0);
    ASSERT_EQ(KnlNamWrite(ns(), h, "ab", 2, &done), 0);
    ASSERT_EQ(KnlNamWrite(ns(), dup, "cd", 2, &done), 0);
    KnlNamClose(ns(), dup);
    EXPECT_EQ(position(), 4u);
    KnlNamBufReset(ns(), h);
    EXPECT_EQ(readFile(file.name), "abcd");
}

TEST(KnlNamFile, WrongHandlesGiveErrors)
{
    ULONG done, size;
    char buf[4];
    KNLHFILE dup;
    KNLFILESTATUS st;
    const KNLHFILE bogus = 0x12345670;
    EXPECT_EQ(KnlNamRead(ns(), bogus, buf, 4, &done), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(KnlNamWrite(ns(), bogus, buf, 4, &done), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(KnlNamQFileSize(ns(), bogus, &size), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(KnlNamClose(ns(), bogus), ORIN_ERR_INVALID_HANDLE);
    EXPECT_NE(KnlNamDupHandle(ns(), bogus, &dup), 0);
    EXPECT_NE(KnlNamQFileInfo(ns(), bogus, 1, &st, sizeof st), 0);
    EXPECT_NE(KnlNamNewSize(ns(), bogus, 10), 0);
}

// Every call that takes a file handle refuses a made-up one and one already
// closed with a code, and touches no other file.
TEST(KnlNamFile, MadeUpAndClosedHandlesAreRefusedByEveryCall)
{
    ScratchFile f("nam_closed.txt");
    ASSERT_TRUE(writeFile(f.name, "keep"));
    KNLHFILE closed = 0;
    ULONG action;
    ASSERT_EQ(KnlNamOpen(ns(), f.name.c_str(), &closed, &action, 0, 0, KNLNAM_OPEN_EXISTING,
                         READ_WRITE | KNLNAM_SHARE_DENYNONE, 0), 0);
    ASSERT_EQ(KnlNamClose(ns(), closed), 0);

    for (KNLHFILE h : {closed, (KNLHFILE)0x12345670, (KNLHFILE)0}) {
        ULONG done = 0, size = 0, pos = 0;
        char buf[4] = "abc";
        KNLHFILE dup = 0;
        KNLFILESTATUS st = {};
        FILELOCK range = {0, 1, 1};
        EXPECT_NE(KnlNamRead(ns(), h, buf, 4, &done), 0) << h;
        EXPECT_NE(KnlNamWrite(ns(), h, buf, 4, &done), 0) << h;
        EXPECT_NE(KnlNamChgFilePtr(ns(), h, 0, KNLNAM_SEEK_END, &pos), 0) << h;
        EXPECT_NE(KnlNamNewSize(ns(), h, 0), 0) << h;
        EXPECT_NE(KnlNamQFileSize(ns(), h, &size), 0) << h;
        EXPECT_NE(KnlNamDupHandle(ns(), h, &dup), 0) << h;
        EXPECT_NE(KnlNamBufReset(ns(), h), 0) << h;
        EXPECT_NE(KnlNamQFileInfo(ns(), h, KNLNAM_INFO_LEVEL1, &st, sizeof st), 0) << h;
        EXPECT_NE(KnlNamSetFileInfo(ns(), h, KNLNAM_INFO_LEVEL1, &st, sizeof st), 0) << h;
        EXPECT_NE(KnlNamFileLocksEx(ns(), h, nullptr, &range), 0) << h;
        EXPECT_NE(KnlNamFileLocksEx(ns(), h, &range, nullptr), 0) << h;
        EXPECT_NE(KnlNamClose(ns(), h), 0) << h;
    }
    EXPECT_EQ(readFile(f.name), "keep");
}

// The library's DOS date counts years from 1900; the system's from 1980.
USHORT systemToLibraryDate(WORD sysDate)
{
    return (USHORT)(sysDate + (80 << 9));
}

TEST_F(OpenFile, FileInformationInDosForm)
{
    ULONG done;
    KNLFILESTATUS st;
    ASSERT_EQ(KnlNamWrite(ns(), h, "12345", 5, &done), 0);
    EXPECT_EQ(sizeof(KNLFILESTATUS), 34u);
    EXPECT_EQ(KnlNamQFileInfo(ns(), h, 2, &st, sizeof st), ORIN_ERR_INVALID_LEVEL);
    EXPECT_EQ(KnlNamQFileInfo(ns(), h, 1, &st, sizeof st - 1), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamQFileInfo(ns(), h, 1, nullptr, sizeof st), ORIN_ERR_INVALID_PARAM);
    ASSERT_EQ(KnlNamQFileInfo(ns(), h, 1, &st, sizeof st), 0);
    EXPECT_EQ(st.cbFile, 5u);
    EXPECT_GE(st.cbFileAlloc, 5u);

    // compare with the system's own DOS conversion of the last-write time
    FILETIME write, local;
    WORD sysDate, sysTime;
    ASSERT_TRUE(GetFileTime((HANDLE)(LONG_PTR)(LONG)h, nullptr, nullptr, &write));
    FileTimeToLocalFileTime(&write, &local);
    FileTimeToDosDateTime(&local, &sysDate, &sysTime);
    EXPECT_EQ(st.fdateLastWrite, systemToLibraryDate(sysDate));
    EXPECT_EQ(st.ftimeLastWrite, sysTime);

    // set a known last-write time and read it back through both
    KNLFILESTATUS set = {};
    set.fdateLastWrite = (USHORT)(((2024 - 1900) << 9) | (2 << 5) | 29);   // 2024-02-29
    set.ftimeLastWrite = (USHORT)((13 << 11) | (45 << 5) | (58 / 2));        // 13:45:58
    ASSERT_EQ(KnlNamSetFileInfo(ns(), h, 1, &set, sizeof set), 0);
    ASSERT_EQ(KnlNamQFileInfo(ns(), h, 1, &st, sizeof st), 0);
    EXPECT_EQ(st.fdateLastWrite, set.fdateLastWrite);
    EXPECT_EQ(st.ftimeLastWrite, set.ftimeLastWrite);
    ASSERT_TRUE(GetFileTime((HANDLE)(LONG_PTR)(LONG)h, nullptr, nullptr, &write));
    FileTimeToLocalFileTime(&write, &local);
    SYSTEMTIME sys;
    FileTimeToSystemTime(&local, &sys);
    EXPECT_EQ(sys.wYear, 2024);
    EXPECT_EQ(sys.wMonth, 2);
    EXPECT_EQ(sys.wDay, 29);
    EXPECT_EQ(sys.wHour, 13);
    EXPECT_EQ(sys.wMinute, 45);
    EXPECT_EQ(sys.wSecond, 58);
    EXPECT_EQ(KnlNamSetFileInfo(ns(), h, 3, &set, sizeof set), ORIN_ERR_INVALID_LEVEL);
}

TEST_F(OpenFile, TimesOutsideTheDosRangeAreZero)
{
    SYSTEMTIME sys = {};
    FILETIME ft;
    KNLFILESTATUS st;
    for (WORD year : {1975, 2110}) {
        sys.wYear = year;
        sys.wMonth = 6;
        sys.wDay = 15;
        sys.wHour = 12;
        ASSERT_TRUE(SystemTimeToFileTime(&sys, &ft));
        ASSERT_TRUE(SetFileTime((HANDLE)(LONG_PTR)(LONG)h, nullptr, nullptr, &ft));
        ASSERT_EQ(KnlNamQFileInfo(ns(), h, 1, &st, sizeof st), 0);
        EXPECT_EQ(st.fdateLastWrite, 0) << year;
        EXPECT_EQ(st.ftimeLastWrite, 0) << year;
    }
}

TEST(KnlNamFile, AttributesByName)
{
    ScratchFile f("nam_mode.dat");
    ASSERT_TRUE(writeFile(f.name, "x"));
    ULONG mode = 0;
    ASSERT_EQ(KnlNamSetFileMode(ns(), f.name.c_str(), KNLNAM_ATTR_READONLY), 0);
    ASSERT_EQ(KnlNamQFileMode(ns(), f.name.c_str(), &mode), 0);
    EXPECT_EQ(mode & (KNLNAM_ATTR_READONLY | KNLNAM_ATTR_HIDDEN), (ULONG)KNLNAM_ATTR_READONLY);
    EXPECT_TRUE(GetFileAttributesA(f.name.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(KnlNamSetFileMode(ns(), f.name.c_str(), KNLNAM_ATTR_VOLUME), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamSetFileMode(ns(), f.name.c_str(), KNLNAM_ATTR_DIRECTORY),
              ORIN_ERR_INVALID_PARAM);
    ASSERT_EQ(KnlNamSetFileMode(ns(), f.name.c_str(), 0), 0);
    ASSERT_EQ(KnlNamQFileMode(ns(), f.name.c_str(), &mode), 0);
    EXPECT_EQ(mode & KNLNAM_ATTR_READONLY, 0u);
    EXPECT_EQ(KnlNamQFileMode(ns(), "nam_no_such_file.dat", &mode), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(KnlNamQFileMode(ns(), f.name.c_str(), nullptr), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamQFileMode(ns(), std::string(300, 'b').c_str(), &mode), ORIN_ERR_INVALID_NAME);
}

TEST(KnlNamFile, TemporaryFilesAreUniqueAndExclusive)
{
    char dir[MAX_PATH], a[KNLNAM_MAXPATH], b[KNLNAM_MAXPATH];
    GetCurrentDirectoryA(sizeof dir, dir);
    KNLHFILE ha, hb;
    ASSERT_EQ(KnlNamCreateTempFile(ns(), dir, 0, &ha, a, sizeof a), 0);
    ASSERT_EQ(KnlNamCreateTempFile(ns(), dir, 0, &hb, b, sizeof b), 0);
    EXPECT_STRNE(a, b);
    EXPECT_EQ(std::string(a).rfind(dir, 0), 0u);
    ULONG done;
    EXPECT_EQ(KnlNamWrite(ns(), ha, "tmp", 3, &done), 0);
    KNLHFILE other;
    ULONG action;
    EXPECT_EQ(KnlNamOpen(ns(), a, &other, &action, 0, 0, KNLNAM_OPEN_EXISTING,
                         KNLNAM_SHARE_DENYNONE, 0), SHARING_VIOLATION);
    KnlNamClose(ns(), ha);
    KnlNamClose(ns(), hb);
    EXPECT_EQ(readFile(a), "tmp");
    DeleteFileA(a);
    DeleteFileA(b);

    // without a directory the system's temporary directory is used
    ASSERT_EQ(KnlNamCreateTempFile(ns(), nullptr, 0, &ha, a, sizeof a), 0);
    KnlNamClose(ns(), ha);
    EXPECT_TRUE(testutil::fileExists(a));
    DeleteFileA(a);
    // a short buffer gets a cut name, never an overrun
    CreateDirectoryA("nam_tmp.dir", nullptr);
    char tiny[5] = "zzzz";
    ASSERT_EQ(KnlNamCreateTempFile(ns(), "nam_tmp.dir", 0, &ha, tiny, 4), 0);
    EXPECT_EQ(strlen(tiny), 3u);
    EXPECT_EQ(tiny[4], 0);
    KnlNamClose(ns(), ha);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA("nam_tmp.dir\\*.tmp", &fd);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    DeleteFileA((std::string("nam_tmp.dir\\") + fd.cFileName).c_str());
    FindClose(find);
    EXPECT_TRUE(RemoveDirectoryA("nam_tmp.dir"));
    EXPECT_EQ(KnlNamCreateTempFile(ns(), dir, 0, nullptr, a, sizeof a), ORIN_ERR_INVALID_PARAM);
}

} // namespace
