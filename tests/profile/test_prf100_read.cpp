// First-format profiles read through their handler: files made byte by
// byte from the format (prf100file.h), opened, listed and read; the rules
// of opening (create, refuse, read-only) and the current handler's refusal
// of such files.
#include <gtest/gtest.h>
#include <cstring>
#include "prf100test.h"
#include "prfdisk.h"
#include "fal.h"
#include "profile/fal_seam.h"
#include "testutil.h"

using namespace prf100test;
using prf100file::Key;
using prf100file::Layout;
using prf100file::Section;

namespace {

const std::string kBinary("\0\1\2\xff\r\n~", 7);

Layout sample()
{
    return {
        Section{"Paths", {Key{"root", "C:\\orin"}, Key{"bin", kBinary}, Key{"empty", ""},
                          Key{"noblock", std::nullopt}}},
        Section{"No keys", {}},
        Section{"paths", {Key{"ten", "0123456789"}}},
    };
}

// ---- Values and lists ---------------------------------------------------------

TEST(Prf100Read, SectionsKeysAndValuesOfAHandMadeFile)
{
    Bytes file = prf100file::build(sample());
    MemProfile p("read.prf", &file);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(list(p.h), "Paths~No keys~paths~");
    EXPECT_EQ(list(p.h, "Paths"), "root~bin~empty~noblock~");
    EXPECT_EQ(list(p.h, "No keys"), "");
    EXPECT_EQ(list(p.h, "paths"), "ten~");
    EXPECT_EQ(value(p.h, "Paths", "root"), "C:\\orin");
    EXPECT_EQ(value(p.h, "Paths", "bin"), kBinary);
    EXPECT_EQ(value(p.h, "Paths", "empty"), "");
    EXPECT_EQ(value(p.h, "Paths", "noblock"), "");
    EXPECT_EQ(value(p.h, "paths", "ten"), "0123456789");
    // Reading changes nothing.
    p.close();
    EXPECT_EQ(bytesOf("read.prf"), file);
}

TEST(Prf100Read, FullLengthWhateverTheBufferAndUpToItsSize)
{
    Bytes file = prf100file::build(sample());
    MemProfile p("len.prf", &file);
    ASSERT_EQ(p.rc, 0);
    char buf[16];
    memset(buf, '#', sizeof buf);
    PRFREQUEST rq = request("paths", "ten", buf, 4);
    EXPECT_EQ(send(p.h, PRF_CMD_READ, &rq), 0u);
    EXPECT_EQ(rq.length, 10u);
    EXPECT_EQ(std::string(buf, 6), "0123##");

    rq = request("paths", "ten");                    // no buffer: the length only
    EXPECT_EQ(send(p.h, PRF_CMD_READ, &rq), 0u);
    EXPECT_EQ(rq.length, 10u);

    // Through the profile calls: the buffer is filled and the cut reported.
    ULONG size = 4;
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(PrfQueryProfileData(p.h, "paths", "ten", buf, &size), ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(std::string(buf, 5), "0123#");
    EXPECT_EQ(PrfQueryProfileSize(p.h, "paths", "ten", &size), 0);
    EXPECT_EQ(size, 11u);
}

TEST(Prf100Read, AKeyWithoutBlockIsEmptyAndZeroesTheFirstByte)
{
    Bytes file = prf100file::build(sample());
    MemProfile p("noblock.prf", &file);
    ASSERT_EQ(p.rc, 0);
    char buf[4] = {'x', 'y', 'z', 'w'};
    PRFREQUEST rq = request("Paths", "noblock", buf, sizeof buf);
    rq.length = 77;
    EXPECT_EQ(send(p.h, PRF_CMD_READ, &rq), 0u);
    EXPECT_EQ(rq.length, 0u);
    EXPECT_EQ(std::string(buf, 4), std::string("\0yzw", 4));
    // A buffer of no size is not written at all.
    buf[0] = 'x';
    rq = request("Paths", "noblock", buf, 0);
    EXPECT_EQ(send(p.h, PRF_CMD_READ, &rq), 0u);
    EXPECT_EQ(buf[0], 'x');
}

TEST(Prf100Read, NamesCompareByLengthAndBytes)
{
    Bytes file = prf100file::build(
        {Section{"ab", {Key{"k", "1"}}}, Section{"a", {Key{"K", "2"}}}, Section{"A", {Key{"k", "3"}}}});
    MemProfile p("names.prf", &file);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(value(p.h, "ab", "k"), "1");
    EXPECT_EQ(value(p.h, "a", "K"), "2");
    EXPECT_EQ(value(p.h, "A", "k"), "3");
    EXPECT_EQ(value(p.h, "a", "k"), "<error 211>");
    EXPECT_EQ(value(p.h, "abc", "k"), "<error 211>");
    EXPECT_EQ(value(p.h, "Paths", "k"), "<error 211>");
    EXPECT_EQ(list(p.h, "b"), "<error 211>");
    char buf[8];
    EXPECT_EQ(PrfQueryProfileString(p.h, "a", "missing", "none", buf, 3), ORIN_ERR_NO_KEY);
    EXPECT_STREQ(buf, "no");
}

// A name goes into the list when the text so far, the name and its '~' fit;
// the length counts every name.
TEST(Prf100Read, ListsAppendWhatFitsAndCountEverything)
{
    Bytes file = prf100file::build({Section{"abcdef", {Key{"long key", "v"}, Key{"k", "v"}}},
                                    Section{"ab", {}}, Section{"xyz", {}}});
    MemProfile p("lists.prf", &file);
    ASSERT_EQ(p.rc, 0);
    const ULONG all = 7 + 3 + 4;
    struct Case {
        ULONG size;
        std::string text;
    } cases[] = {{0, ""}, {2, ""}, {3, "ab~"}, {6, "ab~"}, {7, "abcdef~"}, {9, "abcdef~"},
                 {10, "abcdef~ab~"}, {13, "abcdef~ab~"}, {14, "abcdef~ab~xyz~"}, {20, "abcdef~ab~xyz~"}};
    for (const Case &c : cases) {
        char buf[32];
        memset(buf, '#', sizeof buf);
        PRFREQUEST rq = request(nullptr, nullptr, buf, c.size);
        EXPECT_EQ(send(p.h, PRF_CMD_LISTSECTIONS, &rq), 0u);
        EXPECT_EQ(rq.length, all) << c.size;
        EXPECT_EQ(std::string(buf, c.text.size() + 1), c.text + "#") << c.size;
    }
    PRFREQUEST rq = request(nullptr, nullptr);
    EXPECT_EQ(send(p.h, PRF_CMD_LISTSECTIONS, &rq), 0u);
    EXPECT_EQ(rq.length, all);

    char buf[8] = "#######";
    rq = request("abcdef", nullptr, buf, 5);
    EXPECT_EQ(send(p.h, PRF_CMD_LISTKEYS, &rq), 0u);
    EXPECT_EQ(rq.length, 9u + 2u);
    EXPECT_EQ(std::string(buf, 3), "k~#");
    rq = request("ab", nullptr, buf, sizeof buf);
    EXPECT_EQ(send(p.h, PRF_CMD_LISTKEYS, &rq), 0u);
    EXPECT_EQ(rq.length, 0u);
    rq = request("zz", nullptr, buf, sizeof buf);
    EXPECT_EQ(send(p.h, PRF_CMD_LISTKEYS, &rq), (ULONG)ORIN_ERR_NO_KEY);
}

// ---- Opening ------------------------------------------------------------------

TEST(Prf100Open, AMissingFileIsCreatedEmpty)
{
    MemProfile p("new.prf");
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(list(p.h), "");
    p.close();
    const Bytes &b = bytesOf("new.prf");
    ASSERT_EQ(b.size(), prf100file::kFirstBlock);
    EXPECT_EQ(std::string((const char *)b.data(), 8), std::string("FAL100\x1A\0", 8));
    EXPECT_EQ(prf100file::get16(b, 10), 0x0020u);             // first fit, nothing else
    EXPECT_EQ(prf100file::get16(b, 14), 12u);                 // the profile header's size
    EXPECT_EQ(std::string((const char *)&b[96], 8), std::string("PRFF100\0", 8));
    EXPECT_EQ(prf100file::get32(b, 104), 0ul);

    // The shared flag is not a creation flag of the block file.
    memvbf::files().erase("new2.prf");
    MemProfile q("new2.prf");
    q.close();
    PRFFALOPEN rec = {nullptr, "new3.prf", 0x0021, 0, memvbf::table()};
    memvbf::files().erase("new3.prf");
    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenHandler(PrfFal100Handler, &rec, &h), 0);
    Prf100CloseProfile(h);
    EXPECT_EQ(prf100file::get16(bytesOf("new3.prf"), 10), 0x0020u);
}

TEST(Prf100Open, ReadOnlyNeedsAnExistingFile)
{
    prfdisk::ScratchDir dir("prf100_open");
    std::string name = dir.path("ro.prf");
    HPRF h = nullptr;
    EXPECT_EQ(Prf100OpenProfile(nullptr, &h, name.c_str(), PRF_OPEN_READONLY),
              ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(h, nullptr);
    EXPECT_TRUE(dir.files().empty());
    // An empty file counts as missing: refused read-only, made whole otherwise.
    ASSERT_TRUE(testutil::writeFile(name, ""));
    EXPECT_EQ(Prf100OpenProfile(nullptr, &h, name.c_str(), PRF_OPEN_READONLY),
              ORIN_ERR_FILE_NOT_FOUND);
    ASSERT_EQ(Prf100OpenProfile(nullptr, &h, name.c_str(), 0), 0);
    EXPECT_EQ(write(h, "s", "k", "v"), 0);
    EXPECT_EQ(Prf100CloseProfile(h), 0);
    ASSERT_EQ(Prf100OpenProfile(nullptr, &h, name.c_str(), PRF_OPEN_READONLY), 0);
    EXPECT_EQ(value(h, "s", "k"), "v");
    Prf100CloseProfile(h);
}

TEST(Prf100Open, OtherVersionsAreRefusedAndLeftAlone)
{
    prf100file::Writer w;
    w.header("PRFF200", 0);
    Bytes other = w.bytes();
    MemProfile a("v200.prf", &other);
    EXPECT_EQ(a.rc, PRF_ERR_NOTFIRSTFORMAT);
    EXPECT_EQ(bytesOf("v200.prf"), other);

    // A current profile.
    memvbf::files().erase("v203.prf");
    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfileOnVbf(nullptr, &h, "v203.prf", 0, memvbf::table()), 0);
    ASSERT_EQ(write(h, "s", "k", "v"), 0);
    PrfCloseProfile(h);
    Bytes current = bytesOf("v203.prf");
    MemProfile b("v203.prf", &current);
    EXPECT_EQ(b.rc, PRF_ERR_NOTFIRSTFORMAT);
    EXPECT_EQ(bytesOf("v203.prf"), current);

    // A profile header too short to hold a version and a list.
    Bytes shortHeader = prf100file::build({});
    shortHeader[14] = 4;
    MemProfile c("short.prf", &shortHeader);
    EXPECT_EQ(c.rc, PRF_ERR_NOTFIRSTFORMAT);

    // Not a block file.
    Bytes junk(300, 'x');
    MemProfile d("junk.prf", &junk);
    EXPECT_EQ(d.rc, FAL_ERR_MAGIC);
    EXPECT_EQ(bytesOf("junk.prf"), junk);
}

TEST(Prf100Open, TheCurrentHandlerRefusesFirstFormatFiles)
{
    Bytes file = prf100file::build(sample());
    memvbf::files()["old.prf"].data = file;
    HPRF h = nullptr;
    EXPECT_EQ(PrfOpenProfileOnVbf(nullptr, &h, "old.prf", 0, memvbf::table()), PRF_ERR_OLDVERSION);
    EXPECT_EQ(bytesOf("old.prf"), file);

    prfdisk::ScratchDir dir("prf100_refused");
    std::string name = dir.path("old.prf");
    ASSERT_TRUE(testutil::writeFile(name, std::string(file.begin(), file.end())));
    EXPECT_EQ(PrfOpenProfile(nullptr, &h, name.c_str(), 0), PRF_ERR_OLDVERSION);
    EXPECT_EQ(PrfOpenProfile(nullptr, &h, name.c_str(), PRF_OPEN_READONLY), PRF_ERR_OLDVERSION);
    EXPECT_EQ(testutil::readFile(name), std::string(file.begin(), file.end()));
}

// A new file whose profile header cannot be written is not left behind.
TEST(Prf100Open, AHalfCreatedFileIsRemoved)
{
    prfdisk::ScratchDir dir("prf100_half");
    std::string name = dir.path("half.prf");
    bool failedOnce = false;
    for (std::uint64_t nth = 1; nth < 20; nth++) {
        HPRF h = nullptr;
        orin::fal::stepSeam.inject(nth);
        USHORT rc = Prf100OpenProfile(nullptr, &h, name.c_str(), 0);
        orin::fal::stepSeam.inject(0);
        if (rc == 0) {
            Prf100CloseProfile(h);
            break;
        }
        failedOnce = true;
        EXPECT_TRUE(dir.files().empty()) << "step " << nth << " failed with " << rc;
    }
    EXPECT_TRUE(failedOnce);
    EXPECT_EQ(dir.files(), std::set<std::string>{"half.prf"});
}

}  // namespace
