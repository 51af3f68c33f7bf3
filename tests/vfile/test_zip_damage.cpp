// Damaged input: hundreds of variants of files in every format, with bytes
// changed or the end cut off.  None may crash or answer anything but 0 or
// 65535; formats with a check value (gzip, PKZIP) never yield wrong bytes
// with 0 and mostly refuse; cut files of those and of pack (which stores
// its length) are refused.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "lzw_writer.h"
#include "pack_writer.h"
#include "ziptest.h"

using namespace ziptest;

namespace {

constexpr int kVariants = 150;

struct Sample {
    const char *format;
    std::string file;
    bool checkValue;     // a CRC shows changed bytes
    bool knownEnd;       // a CRC or a stored length shows a cut
};

/* Changes 1 to 3 bytes; every fourth variant hits the first 40 bytes,
 * where headers and trees are. */
std::string damaged(const std::string &file, Random &r, int variant)
{
    std::string bad = file;
    int changes = 1 + static_cast<int>(r.below(3));
    for (int i = 0; i < changes; i++) {
        std::size_t span = variant % 4 == 0 ? std::min<std::size_t>(40, bad.size()) : bad.size();
        bad[r.below(static_cast<std::uint32_t>(span))] ^= static_cast<char>(1 + r.below(255));
    }
    return bad;
}

class ZipDamage : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string zipped;
        ASSERT_EQ(deflateBytes(plain, &zipped), 0);
        samples = {{"gzip", zipped, true, true},
                   {"pkzip", fixture("part.txt.zip"), true, true},
                   {"pack", packwriter::pack(plain), false, true},
                   {"lzw", lzwwriter::compress(plain, 12, true), false, false}};
    }

    std::string plain = sampleData(6000, 7);
    std::vector<Sample> samples;
};

}  // namespace

TEST_F(ZipDamage, ChangedBytesAreRefusedOrHarmless)
{
    Random r(99);
    for (const Sample &s : samples) {
        std::string expected;
        ASSERT_EQ(inflateBytes(s.file, &expected), 0) << s.format;
        int refused = 0;
        for (int v = 0; v < kVariants; v++) {
            std::string out;
            USHORT rc = inflateBytes(damaged(s.file, r, v), &out);
            ASSERT_TRUE(rc == 0 || rc == kRefused) << s.format << " variant " << v << " rc " << rc;
            if (rc == kRefused) {
                refused++;
            } else if (s.checkValue) {
                EXPECT_TRUE(out == expected) << s.format << " variant " << v;
            }
        }
        if (s.checkValue) {
            EXPECT_GT(refused, kVariants / 2) << s.format;
        }
    }
}

TEST_F(ZipDamage, CutFilesAreRefused)
{
    for (const Sample &s : samples) {
        std::size_t step = s.file.size() / 97 + 1;
        for (std::size_t keep = 0; keep < s.file.size(); keep += step) {
            std::string out;
            USHORT rc = inflateBytes(s.file.substr(0, keep), &out);
            if (s.knownEnd || keep < 3) {
                EXPECT_EQ(rc, kRefused) << s.format << " cut at " << keep;
            } else {
                EXPECT_TRUE(rc == 0 || rc == kRefused) << s.format << " cut at " << keep;
            }
        }
    }
}
