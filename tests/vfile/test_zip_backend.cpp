// The compressed-file back-end: its table, lazy inflation (counted through
// a buffered-file table chained in word 21), positions noted before
// inflating, the length from a gzip trailer, writing back at close only
// when changed, new files, read-only handles, and a handle whose
// inflation failed.
#include <gtest/gtest.h>
#include <cstdlib>
#include <memory>
#include <string>
#include "fbf.h"
#include "memvbf.h"
#include "ziptest.h"

using namespace ziptest;

namespace {

/* What the back-end did to the compressed file: counted by a table over
 * the buffered-file calls that it reaches through word 21. */
struct Counts {
    ULONG64 bytesRead = 0;
    int changes = 0;               // writes and size changes
} counts;

USHORT countRead(void *h, void *buffer, ULONG n, ULONG *done)
{
    ULONG got = 0;
    USHORT rc = FbfRead(static_cast<HFBF>(h), buffer, n, &got);
    counts.bytesRead += got;
    if (done)
        *done = got;
    return rc;
}

USHORT countReadDirect(void *h, void *buffer, ULONG n, ULONG *done)
{
    ULONG got = 0;
    USHORT rc = FbfReadDirect(static_cast<HFBF>(h), buffer, n, &got);
    counts.bytesRead += got;
    if (done)
        *done = got;
    return rc;
}

USHORT countWrite(void *h, const void *buffer, ULONG n, ULONG *done)
{
    counts.changes++;
    return FbfWrite(static_cast<HFBF>(h), buffer, n, done);
}

USHORT countNewSize(void *h, ULONG length)
{
    counts.changes++;
    return FbfNewSize(static_cast<HFBF>(h), length);
}

struct TableFree {
    void operator()(VBFFUNCS *t) const { std::free(t); }
};
using Table = std::unique_ptr<VBFFUNCS, TableFree>;

ULONG diskSize(const std::string &name)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    return GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &d) ? d.nFileSizeLow : 0xFFFFFFFF;
}

FILETIME writeTime(const std::string &name)
{
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &d);
    return d.ftLastWriteTime;
}

class ZipBackend : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fixturesReady()) << "zip_fixtures.sh did not run";
        inner.reset(FbfAllocVbfFuncStruct(KnlNamGetDefaultNS()));
        inner->Read = countRead;
        inner->ReadDirect = countReadDirect;
        inner->Write = countWrite;
        inner->NewSize = countNewSize;
        zip.reset(ZipVbfAllocVbfFuncStruct(KnlNamGetDefaultNS()));
        zip->extra = reinterpret_cast<ULONG_PTR>(inner.get());
        counts = Counts();
    }

    HVBF open(const std::string &name, ULONG flags = VBF_OPEN_EXISTING,
              ULONG mode = VBF_MODE_READWRITE | VBF_SHARE_DENY_WRITE, USHORT *rc = nullptr)
    {
        HVBF h = nullptr;
        USHORT r = VbfOpen(KnlNamGetDefaultNS(), name.c_str(), &h, nullptr, 0, VBF_ATTR_NORMAL,
                           flags, mode, zip.get());
        if (rc)
            *rc = r;
        return h;
    }

    std::string read(HVBF h, ULONG n)
    {
        std::string s(n, '\0');
        ULONG got = 0;
        EXPECT_EQ(VbfRead(h, &s[0], n, &got), 0);
        s.resize(got);
        return s;
    }

    std::string tempName(HVBF h)
    {
        char name[MAX_PATH] = {};
        EXPECT_EQ(VbfQueryFilename(h, name, sizeof name), 0);
        return name;
    }

    Table inner, zip;
};

}  // namespace

TEST_F(ZipBackend, FullTableWithoutLocksOrViews)
{
    EXPECT_EQ(zip->cb, VBF_FUNCS_SIZE);
    EXPECT_EQ(zip->context, reinterpret_cast<ULONG_PTR>(KnlNamGetDefaultNS()));
    Table fresh(ZipVbfAllocVbfFuncStruct(nullptr));
    EXPECT_EQ(fresh->extra, 0u);
    testutil::ScratchFile f("zb_table.gz");
    ASSERT_TRUE(testutil::writeFile(f.name, fixture("small.txt.gz")));
    HVBF h = open(f.name);
    ASSERT_NE(h, nullptr);
    FILELOCK range = {0, 1, 1};
    EXPECT_EQ(VbfFileLocks(h, nullptr, &range), ORIN_ERR_NOT_SUPPORTED);
    void *view = nullptr;
    EXPECT_EQ(VbfMapViewOfFile(h, &view, 1, 0, 0), ORIN_ERR_NOT_SUPPORTED);
    EXPECT_EQ(VbfClose(h), 0);
    BYTE b;
    EXPECT_EQ(zip->Getch(reinterpret_cast<void *>(zip.get()), &b), ORIN_ERR_INVALID_HANDLE);
}

TEST_F(ZipBackend, ReadingOnlyNeverRewritesTheFile)
{
    testutil::ScratchFile f("zb_read.gz");
    const std::string gz = fixture("text.txt.g6.gz"), text = fixture("text.txt");
    ASSERT_TRUE(testutil::writeFile(f.name, gz));
    FILETIME before = writeTime(f.name);
    Sleep(20);
    HVBF h = open(f.name, VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_WRITE);
    ASSERT_NE(h, nullptr);
    std::string temp = tempName(h);
    EXPECT_TRUE(read(h, static_cast<ULONG>(text.size()) + 10) == text);
    ASSERT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_BEGIN, nullptr), 0);
    char line[200];
    ULONG used = 0;
    ASSERT_EQ(VbfGets(h, line, sizeof line, &used), 0);
    EXPECT_EQ(std::string(line) + "\n", text.substr(0, used));
    BYTE c = 0;
    ASSERT_EQ(VbfGetch(h, &c), 0);
    EXPECT_EQ(c, static_cast<BYTE>(text[used]));
    EXPECT_TRUE(testutil::fileExists(temp));
    EXPECT_EQ(VbfClose(h), 0);
    EXPECT_FALSE(testutil::fileExists(temp));
    EXPECT_EQ(counts.changes, 0);
    EXPECT_TRUE(testutil::readFile(f.name) == gz);
    FILETIME after = writeTime(f.name);
    EXPECT_EQ(CompareFileTime(&before, &after), 0);
}

TEST_F(ZipBackend, SeekThenReadInflatesOnceAndReadsAtTheOffset)
{
    testutil::ScratchFile f("zb_seek.gz");
    const std::string gz = fixture("text.txt.g1.gz"), text = fixture("text.txt");
    ASSERT_TRUE(testutil::writeFile(f.name, gz));
    HVBF h = open(f.name);
    ASSERT_NE(h, nullptr);
    ULONG pos = 0;
    ASSERT_EQ(VbfChgFilePtr(h, 1000, VBF_FILE_BEGIN, &pos), 0);
    EXPECT_EQ(pos, 1000u);
    EXPECT_EQ(VbfTell(h), 1000u);
    EXPECT_EQ(counts.bytesRead, 0u);           // only noted
    EXPECT_EQ(read(h, 100), text.substr(1000, 100));
    EXPECT_EQ(counts.bytesRead, gz.size());
    EXPECT_EQ(read(h, 100), text.substr(1100, 100));
    ASSERT_EQ(VbfChgFilePtr(h, -50, VBF_FILE_END, &pos), 0);
    EXPECT_EQ(pos, text.size() - 50);
    EXPECT_EQ(read(h, 100), text.substr(text.size() - 50));
    EXPECT_EQ(counts.bytesRead, gz.size());    // still the one inflation
    EXPECT_EQ(VbfClose(h), 0);
    EXPECT_EQ(counts.changes, 0);
}

TEST_F(ZipBackend, LengthFromTheTrailerOfOneMemberOnly)
{
    testutil::ScratchFile one("zb_len1.gz"), many("zb_len2.gz");
    ASSERT_TRUE(testutil::writeFile(one.name, fixture("text.txt.g9.gz")));
    ASSERT_TRUE(testutil::writeFile(many.name, fixture("members.plain.gz")));
    HVBF h = open(one.name);
    ASSERT_NE(h, nullptr);
    ULONG length = 0;
    ASSERT_EQ(VbfQueryLength(h, &length), 0);
    EXPECT_EQ(length, fixture("text.txt").size());
    EXPECT_EQ(diskSize(tempName(h)), 0u);        // not inflated
    EXPECT_EQ(VbfTell(h), 0u);
    EXPECT_EQ(VbfClose(h), 0);

    // The last member's trailer counts only that member: inflate instead.
    h = open(many.name);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(VbfQueryLength(h, &length), 0);
    EXPECT_EQ(length, fixture("members.plain").size());
    EXPECT_EQ(diskSize(tempName(h)), length);
    EXPECT_EQ(VbfClose(h), 0);
}

TEST_F(ZipBackend, ChangesAreDeflatedBackAtClose)
{
    testutil::ScratchFile f("zb_write.gz"), big("zb_shrink.gz"), back("zb_back.txt");
    ASSERT_TRUE(testutil::writeFile(f.name, fixture("small.txt.gz")));
    HVBF h = open(f.name);
    ASSERT_NE(h, nullptr);
    ULONG done = 0;
    ASSERT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_END, nullptr), 0);
    ASSERT_EQ(VbfWrite(h, "and more\n", 9, &done), 0);
    EXPECT_EQ(VbfClose(h), 0);
    std::string plain;
    ASSERT_TRUE(referenceGunzip(testutil::readFile(f.name), &plain));
    EXPECT_EQ(plain, "hello, world\nand more\n");
    ASSERT_TRUE(testutil::writeFile(hostCheckPath("backend.txt"), plain));
    ASSERT_TRUE(testutil::writeFile(hostCheckPath("backend.txt.gz"), testutil::readFile(f.name)));

    // A shorter member replaces a longer one whole.
    ASSERT_TRUE(testutil::writeFile(big.name, fixture("text.txt.g1.gz")));
    h = open(big.name);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(VbfNewSize(h, 10), 0);
    EXPECT_EQ(VbfClose(h), 0);
    EXPECT_LT(diskSize(big.name), 100u);
    ASSERT_EQ(ZipCompress(KnlNamGetDefaultNS(), big.name.c_str(), back.name.c_str(), 1), 0);
    EXPECT_EQ(testutil::readFile(back.name), fixture("text.txt").substr(0, 10));
}

TEST_F(ZipBackend, NewFileStartsEmptyAndIsWrittenAsAMember)
{
    testutil::ScratchFile f("zb_new.gz");
    ASSERT_TRUE(testutil::writeFile(f.name, "not compressed: replaced"));
    HVBF h = open(f.name, VBF_CREATE_OR_REPLACE);
    ASSERT_NE(h, nullptr);
    ULONG length = 99, done = 0;
    ASSERT_EQ(VbfQueryLength(h, &length), 0);
    EXPECT_EQ(length, 0u);
    ASSERT_EQ(VbfWrite(h, "fresh", 5, &done), 0);
    EXPECT_EQ(VbfClose(h), 0);
    EXPECT_EQ(counts.bytesRead, 0u);
    std::string plain;
    ASSERT_TRUE(referenceGunzip(testutil::readFile(f.name), &plain));
    EXPECT_EQ(plain, "fresh");
}

TEST_F(ZipBackend, ReadOnlyHandleRefusesChanges)
{
    testutil::ScratchFile f("zb_ro.gz");
    const std::string gz = fixture("small.txt.gz");
    ASSERT_TRUE(testutil::writeFile(f.name, gz));
    HVBF h = open(f.name, VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_NONE);
    ASSERT_NE(h, nullptr);
    ULONG done = 7;
    EXPECT_EQ(VbfWrite(h, "x", 1, &done), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(VbfNewSize(h, 1), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(VbfClose(h), 0);
    EXPECT_TRUE(testutil::readFile(f.name) == gz);
}

TEST_F(ZipBackend, FailedInflationLeavesOnlyClose)
{
    testutil::ScratchFile f("zb_bad.gz");
    std::string bad = fixture("small.txt.gz");
    bad[bad.size() - 8] ^= 1;                  // CRC
    ASSERT_TRUE(testutil::writeFile(f.name, bad));
    HVBF h = open(f.name);
    ASSERT_NE(h, nullptr);
    std::string temp = tempName(h);
    char buf[16];
    ULONG done = 0;
    EXPECT_EQ(VbfRead(h, buf, sizeof buf, &done), kRefused);
    EXPECT_EQ(diskSize(temp), 0u);             // no partial plain bytes
    EXPECT_EQ(VbfRead(h, buf, sizeof buf, &done), kRefused);
    EXPECT_EQ(VbfWrite(h, "x", 1, &done), kRefused);
    EXPECT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_BEGIN, nullptr), kRefused);
    EXPECT_EQ(VbfTell(h), 0xFFFFFFFFu);
    EXPECT_EQ(VbfClose(h), 0);
    EXPECT_FALSE(testutil::fileExists(temp));
    EXPECT_TRUE(testutil::readFile(f.name) == bad);
}

TEST_F(ZipBackend, CompressedFileBehindAnotherBackEnd)
{
    std::string gz;
    ASSERT_EQ(deflateBytes("kept in memory\n", &gz), 0);
    memvbf::files()["mem.gz"].data.assign(gz.begin(), gz.end());
    zip->extra = reinterpret_cast<ULONG_PTR>(memvbf::table());
    HVBF h = open("mem.gz");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(read(h, 100), "kept in memory\n");
    ULONG done = 0;
    ASSERT_EQ(VbfWrite(h, "and changed\n", 12, &done), 0);
    EXPECT_EQ(VbfClose(h), 0);
    const auto &data = memvbf::files()["mem.gz"].data;
    std::string plain;
    ASSERT_TRUE(referenceGunzip(std::string(data.begin(), data.end()), &plain));
    EXPECT_EQ(plain, "kept in memory\nand changed\n");
}
