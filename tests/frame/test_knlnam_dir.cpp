// Directories, whole files and volumes through the exported interface:
// existence tests, create/remove/delete/rename, copies (replace, append,
// refusal onto the source), comparison, enumeration with attribute
// filtering, volume queries checked against the system's own answers.
#include <gtest/gtest.h>
#include <set>
#include <string>
#include "knlnam.h"
#include "dos.h"
#include "testutil.h"

namespace {

using testutil::ScratchFile;
using testutil::readFile;
using testutil::writeFile;

void *ns() { return KnlNamGetDefaultNS(); }

const USHORT ERR_FILE_EXISTS = 80;

struct ScratchDir {
    std::string name;
    explicit ScratchDir(std::string n) : name(std::move(n)) { CreateDirectoryA(name.c_str(), nullptr); }
    ~ScratchDir() { RemoveDirectoryA(name.c_str()); }
};

TEST(KnlNamDir, ExistenceOfFilesAndDirectories)
{
    ScratchDir d("nam_exist.dir");
    ScratchFile f(d.name + "\\one.txt");
    ASSERT_TRUE(writeFile(f.name, "1"));
    EXPECT_EQ(KnlNamQFileExist(ns(), f.name.c_str()), 1);
    EXPECT_EQ(KnlNamQFileExist(ns(), d.name.c_str()), 0);          // a directory is no file
    EXPECT_EQ(KnlNamQFileExist(ns(), (d.name + "\\*.txt").c_str()), 1);
    EXPECT_EQ(KnlNamQFileExist(ns(), (d.name + "\\*.doc").c_str()), 0);
    EXPECT_EQ(KnlNamQFileExist(ns(), "nam_none.txt"), 0);
    EXPECT_EQ(KnlNamQFileExist(ns(), nullptr), 0);
    EXPECT_EQ(KnlNamQFileExist(ns(), std::string(300, 'x').c_str()), 0);
    EXPECT_EQ(KnlNamQDirExist(ns(), d.name.c_str()), 1);
    EXPECT_EQ(KnlNamQDirExist(ns(), (d.name + "\\").c_str()), 1);
    EXPECT_EQ(KnlNamQDirExist(ns(), f.name.c_str()), 0);
    EXPECT_EQ(KnlNamQDirExist(ns(), "nam_nodir"), 0);
}

TEST(KnlNamDir, CreateRemoveDeleteRename)
{
    RemoveDirectoryA("nam_mk.dir");
    EXPECT_EQ(KnlNamMkDir(ns(), "nam_mk.dir"), 0);
    EXPECT_NE(KnlNamMkDir(ns(), "nam_mk.dir"), 0);
    EXPECT_EQ(KnlNamMkDir(ns(), "nam_no\\such\\dir"), ORIN_ERR_PATH_NOT_FOUND);
    ScratchFile a("nam_mk.dir\\a.txt"), b("nam_mk.dir\\b.txt");
    ASSERT_TRUE(writeFile(a.name, "data"));
    EXPECT_NE(KnlNamRmDir(ns(), "nam_mk.dir"), 0);                // not empty
    EXPECT_EQ(KnlNamMove(ns(), a.name.c_str(), b.name.c_str()), 0);
    EXPECT_FALSE(testutil::fileExists(a.name));
    EXPECT_EQ(readFile(b.name), "data");
    EXPECT_EQ(KnlNamMove(ns(), a.name.c_str(), b.name.c_str()), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(KnlNamDelete(ns(), b.name.c_str()), 0);
    EXPECT_EQ(KnlNamDelete(ns(), b.name.c_str()), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(KnlNamRmDir(ns(), "nam_mk.dir"), 0);
    EXPECT_EQ(KnlNamDelete(ns(), nullptr), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamDelete(ns(), std::string(300, 'x').c_str()), ORIN_ERR_INVALID_NAME);
}

TEST(KnlNamDir, MoveDevReplacesTheTarget)
{
    ScratchFile a("nam_md_a.txt"), b("nam_md_b.txt");
    ASSERT_TRUE(writeFile(a.name, "new"));
    ASSERT_TRUE(writeFile(b.name, "old"));
    EXPECT_EQ(KnlNamMoveDev(ns(), a.name.c_str(), b.name.c_str()), 0);
    EXPECT_FALSE(testutil::fileExists(a.name));
    EXPECT_EQ(readFile(b.name), "new");
    // a change of case only keeps the file
    EXPECT_EQ(KnlNamMoveDev(ns(), b.name.c_str(), "NAM_MD_B.TXT"), 0);
    EXPECT_EQ(readFile(b.name), "new");
}

TEST(KnlNamDir, CopyReplaceAppendAndRefusals)
{
    ScratchFile src("nam_cp_src.txt"), dst("nam_cp_dst.txt");
    ASSERT_TRUE(writeFile(src.name, std::string(70000, 's')));    // more than one block
    EXPECT_EQ(KnlNamCopy(ns(), src.name.c_str(), dst.name.c_str(), 0, 0), 0);
    EXPECT_EQ(readFile(dst.name), readFile(src.name));
    EXPECT_EQ(KnlNamCopy(ns(), src.name.c_str(), dst.name.c_str(), 0, 0), ERR_FILE_EXISTS);
    ASSERT_TRUE(writeFile(src.name, "abc"));
    EXPECT_EQ(KnlNamCopy(ns(), src.name.c_str(), dst.name.c_str(), KNLNAM_COPY_REPLACE, 0), 0);
    EXPECT_EQ(readFile(dst.name), "abc");
    EXPECT_EQ(KnlNamCopy(ns(), src.name.c_str(), dst.name.c_str(), KNLNAM_COPY_APPEND, 0), 0);
    EXPECT_EQ(readFile(dst.name), "abcabc");
    // copying a file onto itself loses nothing
    EXPECT_EQ(KnlNamCopy(ns(), src.name.c_str(), "NAM_CP_SRC.TXT", KNLNAM_COPY_REPLACE, 0),
              ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(readFile(src.name), "abc");
    EXPECT_EQ(KnlNamCopy(ns(), "nam_cp_none.txt", dst.name.c_str(), KNLNAM_COPY_REPLACE, 0),
              ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(readFile(dst.name), "abcabc");
    EXPECT_EQ(KnlNamCopy(ns(), nullptr, dst.name.c_str(), 0, 0), ORIN_ERR_INVALID_PARAM);
    // with the copy sound on, the copy still completes
    USHORT before = DosCopySoundOn(1);
    EXPECT_EQ(KnlNamCopy(ns(), src.name.c_str(), dst.name.c_str(), KNLNAM_COPY_REPLACE, 0), 0);
    EXPECT_EQ(readFile(dst.name), "abc");
    DosCopySoundOn(before);
}

TEST(KnlNamDir, CompareFiles)
{
    ScratchFile a("nam_cmp_a.txt"), b("nam_cmp_b.txt");
    ULONG equal = 7;
    std::string big(100000, 'q');
    ASSERT_TRUE(writeFile(a.name, big));
    ASSERT_TRUE(writeFile(b.name, big));
    EXPECT_EQ(KnlNamCompareFile(ns(), a.name.c_str(), b.name.c_str(), &equal), 0);
    EXPECT_EQ(equal, 1u);
    big[99999] = 'r';                                              // differs in the second block
    ASSERT_TRUE(writeFile(b.name, big));
    EXPECT_EQ(KnlNamCompareFile(ns(), a.name.c_str(), b.name.c_str(), &equal), 0);
    EXPECT_EQ(equal, 0u);
    ASSERT_TRUE(writeFile(b.name, big.substr(1)));                 // differs in length
    EXPECT_EQ(KnlNamCompareFile(ns(), a.name.c_str(), b.name.c_str(), &equal), 0);
    EXPECT_EQ(equal, 0u);
    EXPECT_EQ(KnlNamCompareFile(ns(), a.name.c_str(), "nam_cmp_none", &equal),
              ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(KnlNamCompareFile(ns(), a.name.c_str(), b.name.c_str(), nullptr),
              ORIN_ERR_INVALID_PARAM);
}

std::set<std::string> enumerate(const std::string &pattern, ULONG mask)
{
    std::set<std::string> names;
    KNLFINDBUF buf;
    ULONG_PTR h = 0;
    USHORT err = KnlNamFindFirst(ns(), pattern.c_str(), mask, &h, &buf, sizeof buf);
    while (err == 0) {
        EXPECT_EQ(buf.cchName, strlen(buf.achName));
        names.insert(buf.achName);
        err = KnlNamFindNext(ns(), h, &buf, sizeof buf);
    }
    EXPECT_EQ(err, KNLNAM_ERR_NO_MORE_FILES);
    if (h) {
        EXPECT_EQ(KnlNamFindClose(ns(), h), 0);
    }
    return names;
}

TEST(KnlNamDir, EnumerationFiltersByAttributes)
{
    ScratchDir d("nam_find.dir");
    ScratchDir sub(d.name + "\\sub");
    ScratchFile a(d.name + "\\a.txt"), b(d.name + "\\b.doc"), h(d.name + "\\h.txt");
    ASSERT_TRUE(writeFile(a.name, "12345"));
    ASSERT_TRUE(writeFile(b.name, "b"));
    ASSERT_TRUE(writeFile(h.name, "h"));
    SetFileAttributesA(h.name.c_str(), FILE_ATTRIBUTE_HIDDEN);

    EXPECT_EQ(enumerate(d.name + "\\*", 0), (std::set<std::string>{ "a.txt", "b.doc" }));
    EXPECT_EQ(enumerate(d.name + "\\*.txt", KNLNAM_ATTR_HIDDEN),
              (std::set<std::string>{ "a.txt", "h.txt" }));
    std::set<std::string> withDirs = enumerate(d.name + "\\*", KNLNAM_ATTR_DIRECTORY);
    EXPECT_TRUE(withDirs.count("sub"));
    EXPECT_FALSE(withDirs.count("h.txt"));

    // entry details: size and DOS date of the last write
    KNLFINDBUF buf;
    ULONG_PTR hf;
    ASSERT_EQ(KnlNamFindFirst(ns(), a.name.c_str(), 0, &hf, &buf, sizeof buf), 0);
    EXPECT_EQ(buf.cbFile, 5u);
    EXPECT_NE(buf.fdateLastWrite, 0);
    EXPECT_EQ(buf.attrFile & KNLNAM_ATTR_DIRECTORY, 0u);
    KnlNamFindClose(ns(), hf);

    SetFileAttributesA(h.name.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(KnlNamDir, EnumerationBadInput)
{
    KNLFINDBUF buf;
    ULONG_PTR h = 99;
    EXPECT_EQ(KnlNamFindFirst(ns(), "nam_nothing_*.zz", 0, &h, &buf, sizeof buf),
              KNLNAM_ERR_NO_MORE_FILES);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(KnlNamFindFirst(ns(), "nam_no_dir\\*", 0, &h, &buf, sizeof buf),
              ORIN_ERR_PATH_NOT_FOUND);
    EXPECT_EQ(KnlNamFindFirst(ns(), "*", 0, &h, &buf, sizeof buf - 1), ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(KnlNamFindFirst(ns(), nullptr, 0, &h, &buf, sizeof buf), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamFindFirst(ns(), "*", 0, nullptr, &buf, sizeof buf), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamFindNext(ns(), 0x1234, &buf, sizeof buf), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(KnlNamFindClose(ns(), 0x1234), ORIN_ERR_INVALID_HANDLE);
    ASSERT_EQ(KnlNamFindFirst(ns(), "*", KNLNAM_ATTR_DIRECTORY, &h, &buf, sizeof buf), 0);
    EXPECT_EQ(KnlNamFindClose(ns(), h), 0);
    EXPECT_EQ(KnlNamFindClose(ns(), h), ORIN_ERR_INVALID_HANDLE);   // already closed
    EXPECT_EQ(KnlNamFindNext(ns(), h, &buf, sizeof buf), ORIN_ERR_INVALID_HANDLE);
    // the address of something else, and a value inside a live record
    ULONG_PTR live = 0;
    ASSERT_EQ(KnlNamFindFirst(ns(), "*", KNLNAM_ATTR_DIRECTORY, &live, &buf, sizeof buf), 0);
    for (ULONG_PTR other : {reinterpret_cast<ULONG_PTR>(&buf), live + 1, live + sizeof(void *)}) {
        EXPECT_EQ(KnlNamFindNext(ns(), other, &buf, sizeof buf), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(KnlNamFindClose(ns(), other), ORIN_ERR_INVALID_HANDLE);
    }
    EXPECT_EQ(KnlNamFindClose(ns(), live), 0);
}

TEST(KnlNamDisk, WorkingDirectoryAndCurrentDrive)
{
    char before[KNLNAM_MAXPATH], now[KNLNAM_MAXPATH];
    ASSERT_EQ(KnlNamGetCwd(ns(), before, sizeof before), 0);
    char sys[MAX_PATH];
    GetCurrentDirectoryA(sizeof sys, sys);
    EXPECT_STREQ(before, sys);
    ScratchDir d("nam_cwd.dir");
    ASSERT_EQ(KnlNamSetCwd(ns(), d.name.c_str()), 0);
    ASSERT_EQ(KnlNamGetCwd(ns(), now, sizeof now), 0);
    EXPECT_EQ(std::string(now), std::string(before) + "\\" + d.name);
    EXPECT_EQ(KnlNamSetCwd(ns(), before), 0);
    EXPECT_NE(KnlNamSetCwd(ns(), "nam_no_such_dir"), 0);
    char tiny[3];
    EXPECT_EQ(KnlNamGetCwd(ns(), tiny, sizeof tiny), ORIN_ERR_BUFFER_TOO_SMALL);

    ULONG drive = 0;
    ASSERT_EQ(KnlNamQCurDisk(ns(), &drive), 0);
    EXPECT_EQ(drive, (ULONG)((before[0] | 0x20) - 'a' + 1));
    EXPECT_EQ(KnlNamQDiskExist(ns(), drive), 1);
    EXPECT_EQ(KnlNamQDiskExist(ns(), 0), 0);
    EXPECT_EQ(KnlNamQDiskExist(ns(), 27), 0);
    EXPECT_EQ(KnlNamQDiskRemote(ns(), 3), GetDriveTypeA("C:\\") == DRIVE_REMOTE);
    EXPECT_EQ(KnlNamQDiskIsCDRom(ns(), 3), GetDriveTypeA("C:\\") == DRIVE_CDROM);
    EXPECT_EQ(KnlNamQDiskChangeable(ns(), 3), GetDriveTypeA("C:\\") == DRIVE_REMOVABLE);
}

TEST(KnlNamDisk, VolumeInformation)
{
    KNLFSALLOCATE alloc;
    DWORD spc, bps, freeC, totalC;
    ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &spc, &bps, &freeC, &totalC));
    ASSERT_EQ(KnlNamQFSPathInfo(ns(), "C:\\windows", KNLNAM_FSINFO_ALLOCATION, &alloc,
                                sizeof alloc), 0);
    EXPECT_EQ(alloc.idFileSystem, 2u);                              // 0 = A
    EXPECT_EQ(alloc.cSectorUnit, spc);
    EXPECT_EQ(alloc.cbSector, bps);
    EXPECT_EQ(alloc.cUnit, totalC);

    KNLFSVOLUME vol;
    DWORD serial = 0;
    char label[MAX_PATH] = "";
    ASSERT_TRUE(GetVolumeInformationA("C:\\", label, sizeof label, &serial, nullptr, nullptr,
                                      nullptr, 0));
    ASSERT_EQ(KnlNamQFSPathInfo(ns(), "c:", KNLNAM_FSINFO_VOLUME, &vol, 17), 0);
    EXPECT_EQ(vol.ulVSN, serial);
    EXPECT_EQ(std::string(vol.szVolLabel), std::string(label).substr(0, 11));
    EXPECT_EQ(vol.cch, strlen(vol.szVolLabel));
    EXPECT_EQ(offsetof(KNLFSVOLUME, szVolLabel), 5u);

    EXPECT_EQ(KnlNamQFSPathInfo(ns(), "C:\\", 3, &alloc, sizeof alloc), 125);
    EXPECT_EQ(KnlNamQFSPathInfo(ns(), "relative", 1, &alloc, sizeof alloc),
              ORIN_ERR_INVALID_DRIVE);
    EXPECT_EQ(KnlNamQFSPathInfo(ns(), "C:\\", 1, &alloc, 17), ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(KnlNamQFSPathInfo(ns(), "C:\\", 2, &vol, 16), ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(KnlNamQFSPathInfo(ns(), nullptr, 1, &alloc, sizeof alloc), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(KnlNamQFSPathInfo(ns(), "C:\\", 1, nullptr, sizeof alloc), ORIN_ERR_INVALID_PARAM);

    EXPECT_EQ(KnlNamQuerySupportLFN(ns(), "C:\\"), 1);
    EXPECT_EQ(KnlNamEnableDisconnectedResources(1), 0);
    EXPECT_EQ(KnlNamEnableDisconnectedResources(0), 1);
}

} // namespace
