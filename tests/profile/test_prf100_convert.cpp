// Converting first-format profiles into the current format, on real files,
// each test in a folder of its own: the new profile holds every section
// with keys and every value, the old file stays byte for byte under the
// "BAK" name, and every failure leaves the profile file as it was with no
// "$$$" or "BAK" file beside it.
#include <gtest/gtest.h>
#include <random>
#include "prf100test.h"
#include "prfdisk.h"
#include "fal.h"
#include "profile/fal_seam.h"
#include "testutil.h"

using namespace prfdisk;
using prf100file::Key;
using prf100file::Layout;
using prf100file::Section;
using testutil::readFile;
using testutil::writeFile;

namespace {

std::string text(const prf100file::Bytes &b) { return std::string(b.begin(), b.end()); }

// What the converted profile should hold: sections with keys, every key's
// value (a key without a value block becomes an empty value).
Contents expected(const Layout &layout)
{
    Contents c;
    for (const Section &s : layout)
        for (const Key &k : s.keys)
            c[s.name][k.name] = k.value.value_or("");
    return c;
}

Layout sample()
{
    std::string big(60000, '\0');
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (char)(i * 31 + i / 1000);
    return {
        Section{"Paths", {Key{"root", "C:\\orin"}, Key{"bin", std::string("\0\1\2\xff", 4)},
                          Key{"empty", ""}, Key{"noblock", std::nullopt}}},
        Section{"Empty section", {}},
        Section{"Large", {Key{"60000 bytes", big}}},
        Section{"paths", {Key{"lower", "case"}}},
    };
}

void writeBytes(const std::string &file, const prf100file::Bytes &b)
{
    ASSERT_TRUE(writeFile(file, text(b)));
}

TEST(Prf100Convert, CopiesEveryValueAndDropsEmptySections)
{
    ScratchDir dir("prf100_convert");
    std::string file = dir.path("old.prf");
    Layout layout = sample();
    prf100file::Bytes original = prf100file::build(layout);
    writeBytes(file, original);
    ASSERT_EQ(PrfFalConvert100to200(nullptr, file.c_str()), 0);
    EXPECT_EQ(dir.files(), (std::set<std::string>{"old.BAK", "old.prf"}));
    EXPECT_EQ(readFile(dir.path("old.BAK")), text(original));
    Contents got = contentsOf(file);
    EXPECT_EQ(differences(expected(layout), got), "");
    EXPECT_EQ(got.count("Empty section"), 0u);
    DiskProfile p(file);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
}

// A profile made by the handler itself, with values of many sizes, and the
// file the handler leaves after deletions.
TEST(Prf100Convert, ConvertsWhatTheHandlerWrote)
{
    ScratchDir dir("prf100_convert_written");
    std::string file = dir.path("made.prf");
    std::mt19937 rng(77);
    Contents want;
    {
        HPRF h = nullptr;
        ASSERT_EQ(Prf100OpenProfile(nullptr, &h, file.c_str(), 0), 0);
        for (int i = 0; i < 300; i++) {
            std::string s = "Section " + std::to_string(rng() % 9), k = "key " + std::to_string(rng() % 13);
            std::string v(rng() % (i % 10 == 0 ? 30000 : 200), '\0');
            for (char &c : v)
                c = (char)rng();
            ASSERT_EQ(prf100test::write(h, s.c_str(), k.c_str(), v), 0);
            want[s][k] = v;
            if (i % 17 == 16) {
                ASSERT_EQ(PrfWriteProfileData(h, s.c_str(), k.c_str(), nullptr, 0), 0);
                want[s].erase(k);
            }
        }
        ASSERT_EQ(PrfCreateSection(h, "Nothing in it"), 0);
        Prf100CloseProfile(h);
    }
    for (auto it = want.begin(); it != want.end();)
        it = it->second.empty() ? want.erase(it) : std::next(it);
    std::string original = readFile(file);
    ASSERT_EQ(PrfFalConvert100to200(nullptr, file.c_str()), 0);
    EXPECT_EQ(readFile(dir.path("made.BAK")), original);
    EXPECT_EQ(differences(want, contentsOf(file)), "");
    // Converted once, the file is no longer of the first format.
    EXPECT_EQ(PrfFalConvert100to200(nullptr, file.c_str()), PRF_ERR_NOTFIRSTFORMAT);
}

// Every failure: the profile file unchanged, nothing beside it.
class Prf100ConvertFailure : public ::testing::Test {
protected:
    Prf100ConvertFailure() : dir_("prf100_convert_fail"), file_(dir_.path("p.prf"))
    {
        original_ = text(prf100file::build(sample()));
        writeFile(file_, original_);
    }
    void expectUntouched(USHORT rc, const char *what, std::set<std::string> others = {})
    {
        EXPECT_NE(rc, 0) << what;
        EXPECT_EQ(readFile(file_), original_) << what;
        others.insert("p.prf");
        EXPECT_EQ(dir_.files(), others) << what;
    }
    ScratchDir dir_;
    std::string file_, original_;
};

TEST_F(Prf100ConvertFailure, MissingOrOtherFiles)
{
    EXPECT_EQ(PrfFalConvert100to200(nullptr, dir_.path("missing.prf").c_str()), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(PrfFalConvert100to200(nullptr, nullptr), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(PrfFalConvert100to200(nullptr, ""), ORIN_ERR_INVALID_NAME);
    expectUntouched(ORIN_ERR_FILE_NOT_FOUND, "missing");

    original_ = std::string(500, 'x');
    writeFile(file_, original_);
    expectUntouched(PrfFalConvert100to200(nullptr, file_.c_str()), "not a block file");

    DeleteFileA(file_.c_str());
    store(file_, {{"S", {{"k", "v"}}}});
    original_ = readFile(file_);
    USHORT rc = PrfFalConvert100to200(nullptr, file_.c_str());
    EXPECT_EQ(rc, PRF_ERR_NOTFIRSTFORMAT);
    expectUntouched(rc, "current format");
}

TEST_F(Prf100ConvertFailure, DamagedValue)
{
    // The value of the last key names a free block.
    prf100file::Writer w;
    unsigned long value = w.block("fine"), freed = w.block("gone", 'F');
    unsigned long keys = w.block(prf100file::record("a", value) + prf100file::record("b", freed));
    w.header("PRFF100", w.block(prf100file::record("S", keys)));
    original_ = text(w.bytes());
    writeFile(file_, original_);
    USHORT rc = PrfFalConvert100to200(nullptr, file_.c_str());
    EXPECT_EQ(rc, FAL_ERR_BLOCKTYPE);
    expectUntouched(rc, "damaged value");
}

TEST_F(Prf100ConvertFailure, TheFileIsInUse)
{
    // Held by another program that lets others read it only.
    HANDLE other = CreateFileA(file_.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    USHORT rc = PrfFalConvert100to200(nullptr, file_.c_str());
    CloseHandle(other);
    EXPECT_EQ(rc, 32);                       // sharing violation
    expectUntouched(rc, "open elsewhere");

    // Open for shared use by a handle of this process: the conversion
    // cannot have the file to itself either, and the handle reads on.
    HPRF h = nullptr;
    ASSERT_EQ(Prf100OpenProfile(nullptr, &h, file_.c_str(), PRF_OPEN_SHARED), 0);
    rc = PrfFalConvert100to200(nullptr, file_.c_str());
    EXPECT_EQ(prf100test::list(h), "Paths~Empty section~Large~paths~");
    Prf100CloseProfile(h);
    expectUntouched(rc, "open here");
}

TEST_F(Prf100ConvertFailure, TheNewOrBackupNameIsTaken)
{
    // A folder where the new file would be built.
    ASSERT_TRUE(CreateDirectoryA(dir_.path("p.$$$").c_str(), NULL));
    USHORT rc = PrfFalConvert100to200(nullptr, file_.c_str());
    RemoveDirectoryA(dir_.path("p.$$$").c_str());
    expectUntouched(rc, "$$$ taken");

    // A folder where the old file would be kept: the new file is not put
    // in place either.
    ASSERT_TRUE(CreateDirectoryA(dir_.path("p.BAK").c_str(), NULL));
    rc = PrfFalConvert100to200(nullptr, file_.c_str());
    RemoveDirectoryA(dir_.path("p.BAK").c_str());
    expectUntouched(rc, "BAK taken");
}

// Each write step of the conversion made to fail in turn.
TEST_F(Prf100ConvertFailure, AnyFailingStep)
{
    int failures = 0;
    for (std::uint64_t nth = 1; nth < 2000; nth++) {
        orin::fal::stepSeam.inject(nth);
        USHORT rc = PrfFalConvert100to200(nullptr, file_.c_str());
        orin::fal::stepSeam.inject(0);
        if (rc == 0)
            break;
        failures++;
        expectUntouched(rc, ("step " + std::to_string(nth)).c_str());
        if (HasFailure())
            break;
    }
    EXPECT_GT(failures, 10);
    EXPECT_EQ(readFile(dir_.path("p.BAK")), original_);
    EXPECT_EQ(differences(expected(sample()), contentsOf(file_)), "");
}

}  // namespace
