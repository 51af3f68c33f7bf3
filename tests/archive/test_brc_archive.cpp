/*
 * test_brc_archive.cpp - archives as a whole: create and open in both
 * flavours, the header, slot counts, comment, password, delete, header
 * lock and bad handles.
 */
#include <gtest/gtest.h>
#include <cctype>
#include <cstring>
#include "arctest.h"
#include "memvbf.h"

using namespace arctest;

namespace {

class ArchiveTest : public ::testing::Test {
protected:
    ScratchDir dir{"arc_archive"};
    std::string file = dir.path("docs.arc");
};

TEST_F(ArchiveTest, NewArchiveHasTheHeaderOfItsFlavour)
{
    for (bool flavour : {false, true}) {
        std::string name = dir.path(flavour ? "a.arc" : "p.arc");
        Archive a;
        ASSERT_EQ(flavour ? BrcCreateArchive(nullptr, a.out(), name.c_str(), 0)
                          : BrcCreate(nullptr, a.out(), name.c_str(), 0), 0);
        HPRF p = BrcGetPrfHandle(a);
        EXPECT_EQ(ushort(p, "BrcHeader", "Version"), 100);
        EXPECT_EQ(ushort(p, "BrcHeader", "NrDocs"), 0);
        EXPECT_EQ(ushort(p, "BrcHeader", "NrIndex"), 0);
        EXPECT_EQ(ushort(p, "BrcHeader", "NrViews"), 0);
        EXPECT_EQ(ushort(p, "BrcHeader", "Ansi"), 1);
        EXPECT_EQ(ushort(p, "BrcHeader", "Archive"), flavour ? 1 : -1);
        std::string id = str(p, "BrcHeader", "ID");
        ASSERT_GE(id.size(), 14u);
        for (int i = 0; i < 14; i++)
            EXPECT_TRUE(isdigit((unsigned char)id[i])) << id;
        char got[BRC_ID_SIZE];
        ASSERT_EQ(BrcGetID(a, got, sizeof got), 0);
        EXPECT_EQ(id, got);
        EXPECT_EQ(PrfCheckConsistent(p), 0);
    }
}

TEST_F(ArchiveTest, EachOpenDemandsItsFlavour)
{
    std::string plain = dir.path("p.arc"), arch = dir.path("a.arc");
    {
        Archive a, b;
        ASSERT_EQ(BrcCreate(nullptr, a.out(), plain.c_str(), 0), 0);
        ASSERT_EQ(BrcCreateArchive(nullptr, b.out(), arch.c_str(), 0), 0);
    }
    Archive h;
    EXPECT_EQ(BrcOpenArchive(nullptr, h.out(), plain.c_str(), 0), BRC_ERR_NOT_ARCHIVE);
    EXPECT_EQ(h.a, nullptr);
    EXPECT_EQ(BrcOpen(nullptr, h.out(), arch.c_str(), 0), BRC_ERR_IS_ARCHIVE);
    EXPECT_EQ(BrcOpenReadonly(nullptr, h.out(), arch.c_str(), 0), BRC_ERR_IS_ARCHIVE);
    EXPECT_EQ(BrcOpenArchiveReadonly(nullptr, h.out(), plain.c_str(), 0), BRC_ERR_NOT_ARCHIVE);
    EXPECT_EQ(BrcOpen(nullptr, h.out(), plain.c_str(), 0), 0);
    EXPECT_EQ(BrcOpenArchive(nullptr, h.out(), arch.c_str(), 1), 0);
    EXPECT_EQ(BrcOpenArchiveReadonly(nullptr, h.out(), arch.c_str(), 0), 0);
}

TEST_F(ArchiveTest, MissingAndExistingFiles)
{
    Archive h;
    EXPECT_EQ(BrcOpen(nullptr, h.out(), file.c_str(), 0), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_FALSE(fileExists(file));
    ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
    h.close();
    EXPECT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(BrcCreateArchive(nullptr, h.out(), file.c_str(), 1), ORIN_ERR_ACCESS_DENIED);
}

TEST_F(ArchiveTest, WrongVersionAndNoAnsiKey)
{
    {
        Archive h;
        ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
        ASSERT_EQ(PrfWriteProfileUShort(BrcGetPrfHandle(h), "BrcHeader", "Ansi", 0), 0);
    }
    {
        Archive h;
        ASSERT_EQ(BrcOpen(nullptr, h.out(), file.c_str(), 0), 0);
        EXPECT_EQ(PrfGetOemMode(BrcGetPrfHandle(h)), 7);
        ASSERT_EQ(PrfWriteProfileUShort(BrcGetPrfHandle(h), "BrcHeader", "Version", 99), 0);
    }
    Archive h;
    EXPECT_EQ(BrcOpen(nullptr, h.out(), file.c_str(), 0), BRC_ERR_VERSION);
    EXPECT_EQ(h.a, nullptr);
}

TEST_F(ArchiveTest, CreateSharedReopensTheFileShared)
{
    Archive h;
    ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 1), 0);
    // A second shared handle gets in and sees what the first adds at once.
    Archive second;
    ASSERT_EQ(BrcOpen(nullptr, second.out(), file.c_str(), 1), 0);
    Doc d;
    ASSERT_EQ(BrdAddDocument(h, d.out(), "site", "id", TRUE, TRUE), 0);
    ASSERT_EQ(setText(d, "F", "v"), 0);
    Doc seen;
    ASSERT_EQ(BrdOpenDocument(second, seen.out(), 0, FALSE), 0);
    USHORT n = 0;
    EXPECT_EQ(BrdGetNrFields(seen, &n), 0);
    EXPECT_EQ(n, 1);
    // The first holds the document's lock.
    Doc locked;
    EXPECT_NE(BrdOpenDocument(second, locked.out(), 0, TRUE), 0);
    EXPECT_EQ(locked.d, nullptr);
    EXPECT_EQ(BrcLockHeader(h, TRUE), 0);
    EXPECT_EQ(BrcLockHeader(h, FALSE), 0);
}

TEST_F(ArchiveTest, ReadOnlyArchiveRefusesWrites)
{
    {
        Archive h;
        ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
        ASSERT_EQ(BrcSetComment(h, "kept"), 0);
    }
    Archive h;
    ASSERT_EQ(BrcOpenReadonly(nullptr, h.out(), file.c_str(), 1), 0);
    EXPECT_NE(BrcSetComment(h, "changed"), 0);
    Doc d;
    EXPECT_NE(BrdAddDocument(h, d.out(), "site", "id", TRUE, FALSE), 0);
    char buf[16];
    ULONG size = sizeof buf;
    EXPECT_EQ(BrcGetComment(h, buf, &size), 0);
    EXPECT_STREQ(buf, "kept");
    // A read-only open is not a shared one: the header lock is a no-op.
    EXPECT_EQ(BrcLockHeader(h, TRUE), 0);
}

TEST_F(ArchiveTest, CommentSizesAndMissingComment)
{
    Archive h;
    ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
    ULONG size = 77;
    EXPECT_EQ(BrcGetComment(h, nullptr, &size), ORIN_ERR_NO_KEY);
    EXPECT_EQ(size, 1u);
    char buf[8] = "xxxxxxx";
    size = sizeof buf;
    EXPECT_EQ(BrcGetComment(h, buf, &size), ORIN_ERR_NO_KEY);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(size, 1u);

    ASSERT_EQ(BrcSetComment(h, "a longer comment"), 0);
    size = 0;
    EXPECT_EQ(BrcGetComment(h, nullptr, &size), 0);
    EXPECT_EQ(size, strlen("a longer comment") + 1);
    size = sizeof buf;
    BrcGetComment(h, buf, &size);
    EXPECT_STREQ(buf, "a longe");
    EXPECT_EQ(size, 8u);
    ASSERT_EQ(BrcSetComment(h, nullptr), 0);
    EXPECT_EQ(BrcGetComment(h, nullptr, &size), ORIN_ERR_NO_KEY);
}

TEST_F(ArchiveTest, PasswordIsScrambledAndVerified)
{
    Archive h;
    ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
    EXPECT_EQ(BrcVerifyPassword(h, ""), 0);
    EXPECT_EQ(BrcVerifyPassword(h, "anything"), 0);
    ASSERT_EQ(BrcSetPassword(h, "Secret42"), 0);
    std::string stored = prfdisk::value(BrcGetPrfHandle(h), "BrcHeader", "KPpW");
    EXPECT_EQ(stored.size(), strlen("Secret42") + 1);
    EXPECT_EQ(stored.find("Secret"), std::string::npos);
    EXPECT_EQ(stored.back(), '\0');
    EXPECT_EQ(BrcVerifyPassword(h, "Secret42"), 0);
    EXPECT_EQ(BrcVerifyPassword(h, "secret42"), BRC_ERR_PASSWORD);
    EXPECT_EQ(BrcVerifyPassword(h, "Secret4"), BRC_ERR_PASSWORD);
    EXPECT_EQ(BrcVerifyPassword(h, "Secret421"), BRC_ERR_PASSWORD);
    EXPECT_EQ(BrcVerifyPassword(h, ""), BRC_ERR_PASSWORD);
    EXPECT_EQ(BrcVerifyPassword(h, nullptr), BRC_ERR_PASSWORD);
    h.close();
    // The key is a constant: another handle verifies the same password.
    ASSERT_EQ(BrcOpen(nullptr, h.out(), file.c_str(), 0), 0);
    EXPECT_EQ(BrcVerifyPassword(h, "Secret42"), 0);
    ASSERT_EQ(BrcSetPassword(h, nullptr), 0);
    EXPECT_EQ(BrcVerifyPassword(h, "whatever"), 0);
}

TEST_F(ArchiveTest, PasswordInOemModeAcceptsConvertedText)
{
    {
        Archive h;
        ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
        PrfWriteProfileData(BrcGetPrfHandle(h), "BrcHeader", "Ansi", nullptr, 0);
    }
    Archive h;
    ASSERT_EQ(BrcOpen(nullptr, h.out(), file.c_str(), 0), 0);
    const char *pw = "M\xfc" "ller\xe9";
    ASSERT_EQ(BrcSetPassword(h, pw), 0);
    EXPECT_EQ(BrcVerifyPassword(h, pw), 0);
    EXPECT_EQ(BrcVerifyPassword(h, "Muller"), BRC_ERR_PASSWORD);
}

TEST_F(ArchiveTest, CountsFollowDocumentsAndDeleteNeedsNoActiveDocument)
{
    {
        Archive h;
        ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
        Doc d1, d2;
        ASSERT_EQ(BrdAddDocument(h, d1.out(), "site", "one", TRUE, FALSE), 0);
        ASSERT_EQ(BrdAddDocument(h, d2.out(), "site", "two", FALSE, FALSE), 0);
        BrcHeaderInfo info;
        ASSERT_EQ(BrcGetHeaderInfo(h, &info), 0);
        EXPECT_EQ(info.version, 100);
        EXPECT_EQ(info.maxDocs, 2);
        EXPECT_EQ(info.docs, 2);
        EXPECT_EQ(info.activeDocs, 1);
        EXPECT_EQ(info.maxIndexes, 0);
        EXPECT_EQ(info.views, 0);
        EXPECT_EQ(info.profile, BrcGetPrfHandle(h));
        EXPECT_EQ(strncmp(info.id, str(info.profile, "BrcHeader", "ID").c_str(), 14), 0);
        EXPECT_EQ(BrcQueryDocExist(h, 1), 1);
        EXPECT_EQ(BrcQueryDocExist(h, 2), 0);
    }
    EXPECT_EQ(BrcDelete(nullptr, file.c_str()), BRC_ERR_ACTIVE_DOCS);
    EXPECT_TRUE(fileExists(file));
    {
        Archive h;
        ASSERT_EQ(BrcOpen(nullptr, h.out(), file.c_str(), 0), 0);
        Doc d;
        ASSERT_EQ(BrdOpenDocument(h, d.out(), 0, FALSE), 0);
        ASSERT_EQ(BrdSetActive(d, FALSE), 0);
        USHORT n = 9;
        d.close();
        EXPECT_EQ(BrcGetNrActiveDocs(h, &n), 0);
        EXPECT_EQ(n, 0);
    }
    EXPECT_EQ(BrcDelete(nullptr, file.c_str()), 0);
    EXPECT_FALSE(fileExists(file));
    EXPECT_EQ(BrcDelete(nullptr, file.c_str()), ORIN_ERR_FILE_NOT_FOUND);
}

TEST_F(ArchiveTest, CorruptFlagRefusesTheNextOpen)
{
    {
        Archive h;
        ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
        ASSERT_EQ(BrcSetCorrupt(h, TRUE), 0);
    }
    Archive h;
    EXPECT_NE(BrcOpen(nullptr, h.out(), file.c_str(), 0), 0);
    EXPECT_EQ(h.a, nullptr);
}

TEST_F(ArchiveTest, DateTimeStamps)
{
    DATETIME dt{};
    dt.year = 2026; dt.month = 3; dt.day = 7; dt.hours = 9; dt.minutes = 5; dt.seconds = 1;
    char buf[32];
    EXPECT_STREQ(BrcGetDateTimeStamp(&dt, buf, sizeof buf), "20260307090501");
    EXPECT_STREQ(BrcGetDateTimeStamp(&dt, buf, 9), "20260307");
    char *shared = BrcGetDateTimeStamp(&dt, nullptr, 0);
    EXPECT_STREQ(shared, "20260307090501");
    EXPECT_EQ(BrcGetDateTimeStamp(nullptr, nullptr, 0), shared);
    EXPECT_EQ(strlen(shared), 14u);
}

TEST_F(ArchiveTest, BusyFunctionIsSwapped)
{
    Archive h;
    ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
    PFNBRCBUSY f = [](BrcArchive *, USHORT, USHORT, USHORT, ULONGLONG) -> USHORT { return 0; };
    EXPECT_EQ(BrcSetBusyFunc(h, f, 7, 10), nullptr);
    EXPECT_EQ(BrcSetBusyFunc(h, nullptr, 0, 0), f);
}

TEST_F(ArchiveTest, ArchiveOnTheCallersVirtualFiles)
{
    const char *name = "memory.arc";
    memvbf::files().erase(name);
    for (USHORT mode : {USHORT(0), USHORT(1)}) {
        memvbf::files().erase(name);
        Archive h;
        ASSERT_EQ(BrcCreateOnVbf(nullptr, h.out(), name, mode, memvbf::table()), 0);
        BrcIndexEntry *e = nullptr;
        ASSERT_EQ(BrcIxOpenStr(h, "NAME,4,L", &e), 0);
        for (const char *v : {"bbb", "aaa"}) {
            Doc d;
            ASSERT_EQ(BrdAddDocument(h, d.out(), "site", v, TRUE, FALSE), 0);
            ASSERT_EQ(setText(d, "NAME", v), 0);
        }
        ASSERT_EQ(h.close(), 0);
        EXPECT_FALSE(fileExists(name));
        EXPECT_GT(memvbf::files()[name].data.size(), 0u);

        EXPECT_EQ(BrcOpenArchiveOnVbf(nullptr, h.out(), name, 0, memvbf::table()), BRC_ERR_NOT_ARCHIVE);
        ASSERT_EQ(BrcOpenReadonlyOnVbf(nullptr, h.out(), name, 0, memvbf::table()), 0);
        USHORT first = 9;
        ASSERT_EQ(BrcIxFirst(h, nullptr, &first), 0);
        EXPECT_EQ(first, 1);
        Doc d;
        ASSERT_EQ(BrdOpenDocument(h, d.out(), 0, FALSE), 0);
        char v[8];
        ASSERT_EQ(BrdFldGetString(d, "NAME", v, sizeof v), 0);
        EXPECT_STREQ(v, "bbb");
    }
    Archive h;
    EXPECT_NE(BrcOpenOnVbf(nullptr, h.out(), "absent.arc", 0, memvbf::table()), 0);
    memvbf::files().erase(name);
}

TEST_F(ArchiveTest, ClosedAndMadeUpHandlesAreRefused)
{
    Archive h;
    ASSERT_EQ(BrcCreate(nullptr, h.out(), file.c_str(), 0), 0);
    BrcArchive *stale = h.a;
    h.close();
    USHORT n;
    EXPECT_EQ(BrcClose(stale), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrcGetNrDocs(stale, &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrcGetNrDocs(reinterpret_cast<BrcArchive *>(&n), &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrcSetComment(nullptr, "x"), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrcGetPrfHandle(stale), nullptr);
    Doc d;
    EXPECT_EQ(BrdAddDocument(stale, d.out(), "s", "i", TRUE, FALSE), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrcOpen(nullptr, nullptr, file.c_str(), 0), ORIN_ERR_INVALID_PARAM);
}

}  // namespace
