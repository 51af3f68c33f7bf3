// The older input formats: LZW files of the host's compress, of the test
// writer (9-bit tables, no block mode) and hand-assembled codes; pack files from
// the test writer and assembled by hand; one-entry archives of the host's
// zip, stored, deflated and streamed; and the variants each refuses.
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "lzw_writer.h"
#include "pack_writer.h"
#include "ziptest.h"

using namespace ziptest;

namespace {

class ZipFormats : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixturesReady()) << "zip_fixtures.sh did not run"; }
};

/* An LZW file: the mode byte, then groups of 9-bit codes, each group
 * padded to 9 bytes as a width change or clear leaves it. */
std::string lzwFile(unsigned char mode, const std::vector<std::vector<unsigned>> &groups)
{
    std::string out = std::string("\x1f\x9d", 2) + static_cast<char>(mode);
    for (std::size_t g = 0; g < groups.size(); g++) {
        std::string bits(9, '\0');
        for (std::size_t i = 0; i < groups[g].size(); i++)
            for (std::size_t b = 0; b < 9; b++)
                if (groups[g][i] >> b & 1)
                    bits[(i * 9 + b) / 8] |= static_cast<char>(1 << ((i * 9 + b) % 8));
        out += g + 1 < groups.size() ? bits : bits.substr(0, (groups[g].size() * 9 + 7) / 8);
    }
    return out;
}

std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s.push_back(static_cast<char>(b));
    return s;
}

std::string plainOf(const std::string &name)
{
    return fixture(name.substr(0, name.find('.', name.find('.') + 1)));
}

}  // namespace

TEST_F(ZipFormats, LzwOfTheHostCompress)
{
    std::string plain;
    for (std::string name : {"mixed.dat.b10.Z", "mixed.dat.b11.Z", "mixed.dat.b12.Z", "mixed.dat.b13.Z",
                             "mixed.dat.b14.Z", "mixed.dat.b15.Z", "mixed.dat.b16.Z", "text.txt.b10.Z",
                             "text.txt.Z", "bin.dat.Z", "small.txt.b9.Z", "small.txt.Z", "empty.txt.Z"}) {
        ASSERT_EQ(inflateFixture(name, &plain), 0) << name;
        EXPECT_TRUE(plain == plainOf(name)) << name;
    }
}

TEST_F(ZipFormats, LzwOfNineBitsAndWithoutBlockModeFromTheTestWriter)
{
    std::string plain;
    for (const std::string &sample : {fixture("text.txt"), fixture("mixed.dat")})
        for (int width : {9, 12, 16})
            for (bool block : {true, false}) {
                ASSERT_EQ(inflateBytes(lzwwriter::compress(sample, width, block), &plain), 0)
                    << width << block;
                EXPECT_TRUE(plain == sample) << width << block;
            }
}

TEST_F(ZipFormats, LzwCodesAssembledByHand)
{
    std::string plain;
    // 257 = "ab", then 258 names the entry being made: "b" + "b".
    ASSERT_EQ(inflateBytes(lzwFile(0x90, {{'a', 'b', 258}}), &plain), 0);
    EXPECT_EQ(plain, "abbb");
    // A clear ends its group; decoding goes on at the next one.
    ASSERT_EQ(inflateBytes(lzwFile(0x90, {{'a', 256}, {'b', 'c', 257}}), &plain), 0);
    EXPECT_EQ(plain, "abcbc");
    // Without block mode 256 is the first entry.
    ASSERT_EQ(inflateBytes(lzwFile(0x10, {{'a', 'b', 256}}), &plain), 0);
    EXPECT_EQ(plain, "abab");
    EXPECT_EQ(inflateBytes(lzwFile(0x90, {{'a', 'b', 259}}), &plain), kRefused);   // beyond the table
    EXPECT_EQ(inflateBytes(lzwFile(0x90, {{300}}), &plain), kRefused);             // first code not a byte
    for (int mode : {0x88, 0x91, 0xB0, 0xD0})
        EXPECT_EQ(inflateBytes(lzwFile(static_cast<unsigned char>(mode), {{'a'}}), &plain), kRefused)
            << mode;
}

TEST_F(ZipFormats, PackAssembledByHand)
{
    std::string plain;
    // One level: 'a' = 0, end mark = 1.
    ASSERT_EQ(inflateBytes(bytes({0x1f, 0x1e, 0, 0, 0, 4, 1, 0, 'a', 0x08}), &plain), 0);
    EXPECT_EQ(plain, "aaaa");
    // 'a' = 1 on level 1; 'b' = 00 and the end mark 01 on level 2.
    ASSERT_EQ(inflateBytes(bytes({0x1f, 0x1e, 0, 0, 0, 3, 2, 1, 0, 'a', 'b', 0xc4}), &plain), 0);
    EXPECT_EQ(plain, "aab");
}

TEST_F(ZipFormats, PackFromTheTestWriter)
{
    std::string deep;     // weights 1, 2, 4, 8, ...: a tree of 20 levels
    for (int i = 0; i < 20; i++)
        deep += std::string(std::size_t{1} << i, static_cast<char>('A' + i));
    std::string plain;
    for (std::string sample : {fixture("text.txt"), fixture("bin.dat"), fixture("mixed.dat"),
                               std::string("x"), deep}) {
        std::string packed = packwriter::pack(sample);
        ASSERT_EQ(inflateBytes(packed, &plain), 0) << sample.size();
        EXPECT_TRUE(plain == sample) << sample.size();
    }
    EXPECT_EQ(packwriter::pack(deep)[6], 20);   // the tree is that deep
}

TEST_F(ZipFormats, PackWithABadTreeOrLengthIsRefused)
{
    const std::string good = packwriter::pack(fixture("small.txt"));
    std::string plain, bad;
    auto refused = [&](std::string file) { return inflateBytes(file, &plain) == kRefused; };
    bad = good;
    bad[6] = 0;                   // no levels
    EXPECT_TRUE(refused(bad));
    bad[6] = 25;                  // deeper than the format allows
    EXPECT_TRUE(refused(bad));
    bad = good;
    bad[7] ^= 1;                  // leaves that make no full tree
    EXPECT_TRUE(refused(bad));
    for (int delta : {1, -1}) {
        bad = good;
        bad[5] = static_cast<char>(bad[5] + delta);
        EXPECT_TRUE(refused(bad)) << delta;
    }
    EXPECT_TRUE(refused(good + "x"));
    EXPECT_TRUE(refused(good.substr(0, good.size() - 1)));
    EXPECT_EQ(inflateBytes(good, &plain), 0);
}

TEST_F(ZipFormats, OneEntryArchivesOfTheHostZip)
{
    std::string plain;
    for (std::string name : {"text.txt.zip", "text.txt.0.zip", "bin.dat.zip", "text.txt.pipe.zip",
                             "text.txt.pipe32.zip", "text.txt.seek.zip", "text.txt.seek0.zip",
                             "text.txt.desc0.zip", "empty.txt.zip"}) {
        ASSERT_EQ(inflateFixture(name, &plain), 0) << name;
        EXPECT_TRUE(plain == plainOf(name)) << name;
    }
    EXPECT_TRUE(fixture("text.txt.pipe.zip")[6] & 0x08);          // data descriptor
    EXPECT_TRUE(fixture("text.txt.desc0.zip")[6] & 0x08);         // stored, sizes given too
    EXPECT_EQ(le32At(fixture("text.txt.seek0.zip"), 18), 0xFFFFFFFFu);   // sizes in the 64-bit field
}

TEST_F(ZipFormats, ArchivesThatCannotBeReadWhole)
{
    std::string plain;
    EXPECT_EQ(inflateFixture("two.zip", &plain), kRefused);
    EXPECT_EQ(inflateFixture("broken.zip", &plain), kRefused);
    const std::string zip = fixture("text.txt.0.zip");
    std::string bad = zip;
    bad[6] |= 0x01;               // encrypted
    EXPECT_EQ(inflateBytes(bad, &plain), kRefused);
    bad = zip;
    bad[8] = 12;                  // another method
    EXPECT_EQ(inflateBytes(bad, &plain), kRefused);
    bad = zip;
    bad[6] |= 0x08;               // stored behind a descriptor, size unknown
    bad.replace(14, 12, std::string(12, '\0'));
    EXPECT_EQ(inflateBytes(bad, &plain), kRefused);
    bad = zip;
    bad[14] ^= 1;                 // CRC
    EXPECT_EQ(inflateBytes(bad, &plain), kRefused);
}
