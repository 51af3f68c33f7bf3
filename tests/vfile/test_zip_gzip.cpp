// gzip in both directions: the member the library writes (checked against
// zlib's own gzip decoder and, after the run, the host's gzip), and the
// members the host's gzip writes at every level, with and without names,
// in a row, with optional header fields, and the headers that are refused.
#include <gtest/gtest.h>
#include <string>
#include "ziptest.h"

using namespace ziptest;

namespace {

constexpr std::size_t kMethodAt = 2, kFlagsAt = 3, kTimeAt = 4, kExtraFlagsAt = 8, kOsAt = 9;
constexpr std::size_t kHeaderSize = 10;

std::string withFlags(std::string gz, unsigned char flags)
{
    gz[kFlagsAt] = static_cast<char>(flags);
    return gz;
}

/* A member without a name, given optional fields between header and data. */
std::string withFields(const std::string &gz, unsigned char flags, const std::string &fields)
{
    std::string out = gz.substr(0, kHeaderSize) + fields + gz.substr(kHeaderSize);
    out[kFlagsAt] = static_cast<char>(flags);
    return out;
}

USHORT fileTimeOf(const std::string &name, FILETIME *t)
{
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 2;
    BOOL ok = GetFileTime(h, nullptr, nullptr, t);
    CloseHandle(h);
    return ok ? 0 : 5;
}

void setFileTime(const std::string &name, const FILETIME &t)
{
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);
}

class ZipGzip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixturesReady()) << "zip_fixtures.sh did not run"; }
};

}  // namespace

TEST_F(ZipGzip, WrittenMemberHasTheFixedHeaderAndATrailerOfThePlainBytes)
{
    std::string plain = sampleData(300000, 1), gz;
    ASSERT_EQ(deflateBytes(plain, &gz), 0);
    ASSERT_GT(gz.size(), 18u);
    EXPECT_EQ(gz.substr(0, 4), std::string("\x1f\x8b\x08\x00", 4));
    EXPECT_EQ(gz[kExtraFlagsAt], 0);          // neither the fastest nor the slowest level
    EXPECT_EQ(gz[kOsAt], 3);
    EXPECT_EQ(le32At(gz, gz.size() - 8), crcOf(plain));
    EXPECT_EQ(le32At(gz, gz.size() - 4), plain.size());
    std::string back;
    ASSERT_TRUE(referenceGunzip(gz, &back));
    EXPECT_TRUE(back == plain);
    ASSERT_EQ(inflateBytes(gz, &back), 0);
    EXPECT_TRUE(back == plain);
}

TEST_F(ZipGzip, DeflateStreamIsZlibsAtLevelFive)
{
    std::string plain = fixture("text.txt").substr(0, 200000), gz;
    ASSERT_EQ(deflateBytes(plain, &gz), 0);
    std::string raw(compressBound(static_cast<uLong>(plain.size())), '\0');
    z_stream z = {};
    ASSERT_EQ(deflateInit2(&z, 5, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    z.next_in = reinterpret_cast<Bytef *>(plain.data());
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef *>(raw.data());
    z.avail_out = static_cast<uInt>(raw.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    raw.resize(z.total_out);
    deflateEnd(&z);
    EXPECT_TRUE(gz.substr(kHeaderSize, gz.size() - kHeaderSize - 8) == raw);
}

TEST_F(ZipGzip, TimeFieldIsTheSourcesLastWriteTime)
{
    testutil::ScratchFile src("zip_time.txt"), dst("zip_time.txt.gz");
    ASSERT_TRUE(testutil::writeFile(src.name, "some words to compress\n"));
    SYSTEMTIME st = {2021, 3, 0, 4, 5, 6, 8, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    setFileTime(src.name, ft);
    ASSERT_EQ(ZipCompress(KnlNamGetDefaultNS(), src.name.c_str(), dst.name.c_str(), 0), 0);
    std::string gz = testutil::readFile(dst.name);
    ULONGLONG ticks = (ULONGLONG)ft.dwHighDateTime << 32 | ft.dwLowDateTime;
    EXPECT_EQ(le32At(gz, kTimeAt), (ticks - 116444736000000000ULL) / 10000000);
}

// zip_host_check.sh runs gzip -t and gzip -dc on every NAME.gz left here.
TEST_F(ZipGzip, FilesForTheHostsGzip)
{
    for (std::string name : {"text.txt", "bin.dat", "mixed.dat", "small.txt", "empty.txt"}) {
        std::string gz = hostCheckPath(name + ".gz");
        ASSERT_EQ(ZipCompress(KnlNamGetDefaultNS(), fixturePath(name).c_str(), gz.c_str(), 0), 0);
        ASSERT_TRUE(testutil::writeFile(hostCheckPath(name), fixture(name)));
        std::string back;
        ASSERT_TRUE(referenceGunzip(testutil::readFile(gz), &back)) << name;
        EXPECT_TRUE(back == fixture(name)) << name;
    }
}

TEST_F(ZipGzip, HostMembersOfEveryLevelAndNameVariant)
{
    std::string text = fixture("text.txt"), plain;
    for (int level = 1; level <= 9; level++) {
        std::string name = "text.txt.g" + std::to_string(level) + ".gz";
        ASSERT_EQ(inflateFixture(name, &plain), 0) << name;
        EXPECT_TRUE(plain == text) << name;
    }
    EXPECT_EQ(fixture("text.txt.N.gz")[kFlagsAt], 0x08);     // the name is there
    EXPECT_EQ(fixture("text.txt.n.gz")[kFlagsAt], 0);
    for (std::string name : {"text.txt.n.gz", "text.txt.N.gz", "text.txt.pipe.gz", "bin.dat.gz",
                             "mixed.dat.gz", "small.txt.gz", "empty.txt.gz"}) {
        ASSERT_EQ(inflateFixture(name, &plain), 0) << name;
        EXPECT_TRUE(plain == fixture(name.substr(0, name.find(".", name.find(".") + 1)))) << name;
    }
}

TEST_F(ZipGzip, MembersInARowAreAllInflated)
{
    std::string plain;
    ASSERT_EQ(inflateFixture("members.plain.gz", &plain), 0);
    EXPECT_TRUE(plain == fixture("members.plain"));
}

TEST_F(ZipGzip, OptionalHeaderFieldsAreSkipped)
{
    std::string gz = fixture("small.txt.gz"), bare = withFlags(gz, 0), plain;
    bare.erase(kHeaderSize, gz.find('\0', kHeaderSize) + 1 - kHeaderSize);   // drop the name
    std::string extra = std::string("\x2c\x01", 2) + std::string(300, '\0');  // 300 bytes, zeros inside
    std::string comment = "a comment\n";
    comment.push_back('\0');
    for (const auto &[flags, fields] : std::initializer_list<std::pair<int, std::string>>{
             {0x00, ""}, {0x01, ""}, {0x04, extra}, {0x10, comment},
             {0x1C, extra + std::string("name", 5) + comment}}) {
        ASSERT_EQ(inflateBytes(withFields(bare, static_cast<unsigned char>(flags), fields), &plain), 0)
            << flags;
        EXPECT_EQ(plain, "hello, world\n") << flags;
    }
    std::string old = gz;
    old[1] = '\x9e';
    ASSERT_EQ(inflateBytes(old, &plain), 0);
    EXPECT_EQ(plain, "hello, world\n");
}

TEST_F(ZipGzip, RefusedHeadersAndTrailers)
{
    const std::string gz = fixture("text.txt.n.gz");
    std::string plain, bad = gz;
    bad[kMethodAt] = 7;
    EXPECT_EQ(inflateBytes(bad, &plain), kRefused);
    for (unsigned char flag : {0x02, 0x20, 0x40, 0x80})
        EXPECT_EQ(inflateBytes(withFlags(gz, flag), &plain), kRefused) << int(flag);
    for (std::size_t back : {8, 5, 4, 1}) {     // CRC and length bytes
        bad = gz;
        bad[gz.size() - back] ^= 0x10;
        EXPECT_EQ(inflateBytes(bad, &plain), kRefused) << back;
    }
    EXPECT_EQ(inflateBytes(gz + "x", &plain), kRefused);
    EXPECT_EQ(inflateBytes(gz + std::string(4, '\0'), &plain), kRefused);
    for (std::string junk : {std::string(), std::string("\x1f"), std::string("plain text")})
        EXPECT_EQ(inflateBytes(junk, &plain), kRefused);
}

TEST_F(ZipGzip, InflatedTargetIsCutBehindThePlainBytesAndGetsTheSourcesTimes)
{
    testutil::ScratchFile src("zip_cut.gz"), dst("zip_cut.txt");
    ASSERT_TRUE(testutil::writeFile(src.name, fixture("small.txt.gz")));
    ASSERT_TRUE(testutil::writeFile(dst.name, std::string(5000, 'z')));
    SYSTEMTIME st = {2019, 7, 0, 14, 10, 20, 30, 0};
    FILETIME when;
    SystemTimeToFileTime(&st, &when);
    setFileTime(src.name, when);
    HVBF in = nullptr, out = nullptr;
    ASSERT_EQ(VbfOpen(KnlNamGetDefaultNS(), src.name.c_str(), &in, nullptr, 0, VBF_ATTR_NORMAL,
                      VBF_OPEN_EXISTING, VBF_MODE_READ, nullptr), 0);
    ASSERT_EQ(VbfOpen(KnlNamGetDefaultNS(), dst.name.c_str(), &out, nullptr, 0, VBF_ATTR_NORMAL,
                      VBF_OPEN_EXISTING, VBF_MODE_READWRITE, nullptr), 0);
    EXPECT_EQ(ZipCompressVbfFiles(in, out, 1), 0);
    VbfClose(out);
    VbfClose(in);
    EXPECT_EQ(testutil::readFile(dst.name), "hello, world\n");
    FILETIME got;
    ASSERT_EQ(fileTimeOf(dst.name, &got), 0);
    EXPECT_EQ(CompareFileTime(&got, &when), 0);
}
