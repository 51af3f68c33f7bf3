// Profiles that are not what they should be: older versions, a profile
// left in the middle of an update, wrong checksums, and every single byte
// of a small profile mutated in turn.
#include <gtest/gtest.h>
#include <map>
#include "prftest.h"
#include "profile/falint.h"
#include "knl.h"

using namespace prftest;

namespace {

const size_t HDR = 96;                 // the profile header's file offset

void resealHeader(const std::string &file)
{
    auto &b = bytesOf(file);
    b[HDR + 3978] = b[HDR + 3979] = 0;
    USHORT c = KnlCrc16(&b[HDR], 3980);
    b[HDR + 3978] = (unsigned char)c;
    b[HDR + 3979] = (unsigned char)(c >> 8);
}

void setVersion(const std::string &file, const char *version)
{
    memcpy(&bytesOf(file)[HDR], version, 8);
}

USHORT openOnly(const std::string &file, USHORT flags = 0)
{
    HPRF h = nullptr;
    USHORT rc = PrfOpenProfileOnVbf(NULL, &h, file.c_str(), flags, memvbf::table());
    PrfCloseProfile(h);
    return rc;
}

void makeSample(const std::string &file)
{
    MemProfile p(file);
    ASSERT_EQ(PrfWriteProfileString(p.h, "sec", "key", "value"), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "sec", "other", "second"), 0);
    std::string big(17000, 'z');
    ASSERT_EQ(PrfWriteProfileData(p.h, "more", "big", big.data(), (ULONG)big.size()), 0);
}

TEST(PrfVersions, OlderCurrentVersionsAreTakenOver)
{
    for (const char *v : { "PRFF200", "PRFF201" }) {
        makeSample("old.prf");
        setVersion("old.prf", v);
        resealHeader("old.prf");
        MemProfile p("old.prf", false);
        EXPECT_EQ(p.get("sec", "key"), "value");
        EXPECT_EQ(std::string((const char *)&bytesOf("old.prf")[HDR], 7), "PRFF203");
        p.close();
        EXPECT_EQ(openOnly("old.prf"), 0) << v;
    }
}

TEST(PrfVersions, OthersAreRefused)
{
    makeSample("v.prf");
    setVersion("v.prf", "PRFF999");
    resealHeader("v.prf");
    EXPECT_EQ(openOnly("v.prf"), PRF_ERR_VERSION);

    // An older version with a wrong checksum needs a rebuild.
    setVersion("v.prf", "PRFF201");
    EXPECT_EQ(openOnly("v.prf"), PRF_ERR_CHECKSUM);

    // A first-format profile keeps a 12-byte header.
    memvbf::files().erase("v100.prf");
    HFAL f = nullptr;
    ASSERT_EQ(FalCreate(NULL, "v100.prf", &f, FAL_FIRST_FIT, 12, 0, 0, memvbf::table()), 0);
    char hdr[12] = "PRFF100";
    ASSERT_EQ(FalWriteBlock(f, 0, 0, hdr, sizeof hdr), 0);
    FalClose(f);
    auto before = bytesOf("v100.prf");
    EXPECT_EQ(openOnly("v100.prf"), PRF_ERR_OLDVERSION);
    EXPECT_EQ(bytesOf("v100.prf"), before);

    // Not a block file at all.
    bytesOf("v100.prf")[0] = 'X';
    EXPECT_EQ(openOnly("v100.prf"), FAL_ERR_MAGIC);
}

TEST(PrfVersions, InUpdateAndBadChecksumAreRefused)
{
    makeSample("upd.prf");
    auto &b = bytesOf("upd.prf");
    b[HDR + 3976] = 1;
    resealHeader("upd.prf");
    EXPECT_EQ(openOnly("upd.prf"), PRF_ERR_INUPDATE);
    EXPECT_EQ(openOnly("upd.prf", PRF_OPEN_READONLY), PRF_ERR_INUPDATE);
    b[HDR + 100] ^= 0x40;                                    // a bucket id
    EXPECT_EQ(openOnly("upd.prf"), PRF_ERR_CHECKSUM);
}

// Each byte of a small profile is changed in turn.  Opening and reading
// then gives the right values or an error code; the only bytes whose
// change goes unnoticed are value data, which carries no checksum.
TEST(PrfDamage, EveryMutatedByteIsCaughtOrHarmless)
{
    makeSample("dmg.prf");
    const std::vector<unsigned char> good = bytesOf("dmg.prf");
    std::vector<bool> isData(good.size(), false);
    for (const auto &s : readLayout("dmg.prf"))
        for (const auto &k : s.keys)
            for (const auto &pc : k.pieces) {
                size_t start = pc.id + u16(good, pc.id + 10);
                for (size_t i = 0; i < pc.dataLength; i++)
                    isData[start + i] = true;
            }
    std::map<std::pair<std::string, std::string>, std::string> expect = {
        { { "sec", "key" }, "value" },
        { { "sec", "other" }, "second" },
        { { "more", "big" }, std::string(17000, 'z') },
    };
    int refused = 0, wrong = 0;
    for (size_t pos = 0; pos < good.size(); pos++) {
        if (isData[pos])
            continue;
        for (unsigned char flip : { 0x01, 0x80 }) {
            bytesOf("dmg.prf") = good;
            bytesOf("dmg.prf")[pos] ^= flip;
            HPRF h = nullptr;
            USHORT rc = PrfOpenProfileOnVbf(NULL, &h, "dmg.prf", PRF_OPEN_READONLY,
                                            memvbf::table());
            if (rc) {
                refused++;
                continue;
            }
            for (const auto &e : expect) {
                std::string v(20000, '\0');
                ULONG n = (ULONG)v.size();
                rc = PrfQueryProfileData(h, e.first.first.c_str(), e.first.second.c_str(),
                                         &v[0], &n);
                if (rc == 0 && std::string(v.data(), n) != e.second) {
                    wrong++;
                    ADD_FAILURE() << "byte " << pos << " flip " << (int)flip << " changed "
                                  << e.first.first << "/" << e.first.second;
                }
            }
            PrfCloseProfile(h);
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(refused, 3980);                 // at least the header is guarded
}

} // namespace
