// Packing profile files, the conversion of old versions on open, and the
// consistency check.  Pack works on closed files by name: these tests use
// real files, each test in a folder of its own, and look at what the
// folder holds afterwards as well as at the profile's contents.
#include <gtest/gtest.h>
#include <random>
#include "prfdisk.h"
#include "prftest.h"
#include "knl.h"
#include "testutil.h"

using namespace prfdisk;
using testutil::readFile;
using testutil::writeFile;

namespace {

const size_t kHeader = 96;              // file offset of the profile header
const size_t kInUpdate = kHeader + 3976;
const size_t kHeaderChecksum = kHeader + 3978;

// Sections with and without keys, an empty value, binary values and a
// value of several pieces.
Contents sample()
{
    Contents c;
    c["Paths"]["root"] = "C:\\orin\\res";
    c["Paths"]["empty"] = "";
    c["Paths"]["bin"] = std::string("\0\1\2\xff\r\n", 6);
    c["Empty section"];
    std::string big(40000, '\0');
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (char)(i * 7 + i / 300);
    c["Large"]["three pieces"] = big;
    for (int i = 0; i < 40; i++)
        c["Many " + std::to_string(i % 7)]["key " + std::to_string(i)] = std::string(i * 13, 'a' + i % 26);
    return c;
}

void setVersion(const std::string &file, const char *version)
{
    std::string b = readFile(file);
    memcpy(&b[kHeader], version, 8);
    ASSERT_TRUE(writeFile(file, b));
}

// Gives the profile header the checksum of its present bytes.
void resealHeader(std::string &b)
{
    b[kHeaderChecksum] = b[kHeaderChecksum + 1] = 0;
    USHORT c = KnlCrc16(&b[kHeader], 3980);
    b[kHeaderChecksum] = (char)c;
    b[kHeaderChecksum + 1] = (char)(c >> 8);
}

void spoilHeaderChecksum(const std::string &file)
{
    std::string b = readFile(file);
    b[kHeaderChecksum] ^= 0x5A;
    ASSERT_TRUE(writeFile(file, b));
}

struct PackRecorder {
    static inline std::vector<USHORT> seen;
    static inline size_t stopAt = 0;     // 1-based call that answers "stop"; 0 never
    static ULONG ORINAPI cancel(USHORT *percent)
    {
        seen.push_back(percent ? *percent : 0xFFFF);
        return seen.size() == stopAt;
    }
    static void reset(size_t stop)
    {
        seen.clear();
        stopAt = stop;
    }
};

// ---- Pack ---------------------------------------------------------------------

TEST(PrfPack, CopiesEverySectionKeyAndValueIntoASmallerFile)
{
    ScratchDir dir("pack_all");
    std::string file = dir.path("all.prf");
    Contents c = sample();
    store(file, c);
    {
        // Leave free space behind: rewrite and delete some values.
        DiskProfile p(file);
        ASSERT_EQ(p.rc, 0);
        for (int i = 0; i < 40; i += 2) {
            std::string s = "Many " + std::to_string(i % 7), k = "key " + std::to_string(i);
            ASSERT_EQ(PrfWriteProfileData(p.h, s.c_str(), k.c_str(), nullptr, 0), 0);
            c[s].erase(k);
        }
    }
    size_t before = readFile(file).size();

    ASSERT_EQ(PrfFalPack(nullptr, file.c_str(), FALSE), 0);

    EXPECT_EQ(differences(c, contentsOf(file)), "");
    EXPECT_LT(readFile(file).size(), before);
    EXPECT_EQ(dir.files(), std::set<std::string>{"all.prf"});
    DiskProfile p(file);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
}

TEST(PrfPack, LockedSectionComesOutUnlocked)
{
    ScratchDir dir("pack_lock");
    std::string file = dir.path("lock.prf");
    store(file, sample());
    {
        DiskProfile p(file);
        ASSERT_EQ(p.rc, 0);
        ASSERT_EQ(PrfLockSection(p.h, "Paths", FALSE, TRUE), 0);
    }
    auto flagsOf = [&](const char *name) {
        std::string image = readFile(file);
        prftest::bytesOf("lock image").assign(image.begin(), image.end());
        auto layout = prftest::readLayout("lock image");
        const prftest::Section *s = prftest::findSection(layout, name);
        return s ? s->flags : 0xFFFFu;
    };
    ASSERT_NE(flagsOf("Paths"), 0u);

    ASSERT_EQ(PrfFalPack(nullptr, file.c_str(), FALSE), 0);

    EXPECT_EQ(flagsOf("Paths"), 0u);
    EXPECT_EQ(differences(sample(), contentsOf(file)), "");
}

TEST(PrfPack, BackupHoldsTheOriginalBytes)
{
    ScratchDir dir("pack_bak");
    std::string file = dir.path("keep.prf");
    store(file, sample());
    std::string original = readFile(file);

    ASSERT_EQ(PrfFalPack(nullptr, file.c_str(), TRUE), 0);

    EXPECT_EQ(readFile(dir.path("keep.BAK")), original);
    EXPECT_EQ(differences(sample(), contentsOf(file)), "");
    EXPECT_EQ(dir.files(), (std::set<std::string>{"keep.BAK", "keep.prf"}));
}

TEST(PrfPack, CancelLeavesTheFileAsItWas)
{
    ScratchDir dir("pack_cancel");
    std::string file = dir.path("cancel.prf");
    store(file, sample());
    std::string original = readFile(file);
    for (size_t stop : {1, 5, 30}) {
        PackRecorder::reset(stop);
        USHORT percent = 0;
        EXPECT_EQ(PrfFalPackQueryCancel(nullptr, file.c_str(), TRUE, PackRecorder::cancel, &percent),
                  PRF_ERR_CANCELLED) << stop;
        EXPECT_EQ(PackRecorder::seen.size(), stop);
        EXPECT_EQ(readFile(file), original) << stop;
        EXPECT_EQ(dir.files(), std::set<std::string>{"cancel.prf"}) << stop;
    }
}

TEST(PrfPack, PercentClimbsToAHundred)
{
    ScratchDir dir("pack_percent");
    std::string file = dir.path("percent.prf");
    store(file, sample());
    PackRecorder::reset(0);
    USHORT percent = 0;
    ASSERT_EQ(PrfFalPackQueryCancel(nullptr, file.c_str(), FALSE, PackRecorder::cancel, &percent), 0);
    EXPECT_EQ(percent, 100);
    // One call per chunk: every value is at least one, the big one three.
    size_t values = 0;
    for (const auto &s : sample())
        values += s.second.size();
    EXPECT_EQ(PackRecorder::seen.size(), values + 2);
    for (size_t i = 1; i < PackRecorder::seen.size(); i++)
        EXPECT_LE(PackRecorder::seen[i - 1], PackRecorder::seen[i]);
    EXPECT_LT(PackRecorder::seen.back(), 100);
}

TEST(PrfPack, DollarExtensionBuildsUnderATemporaryName)
{
    ScratchDir dir("pack_dollar");
    std::string file = dir.path("odd.$$$");
    store(file, sample());
    std::string original = readFile(file);

    ASSERT_EQ(PrfFalPackQueryCancel(nullptr, file.c_str(), TRUE, nullptr, nullptr), 0);
    EXPECT_EQ(differences(sample(), contentsOf(file)), "");
    EXPECT_EQ(readFile(dir.path("odd.BAK")), original);
    EXPECT_EQ(dir.files(), (std::set<std::string>{"odd.$$$", "odd.BAK"}));

    // The backup cannot be kept when it would have the profile's own name.
    std::string bak = dir.path("self.BAK");
    store(bak, sample());
    ASSERT_EQ(PrfFalPackQueryCancel(nullptr, bak.c_str(), TRUE, nullptr, nullptr), 0);
    EXPECT_EQ(differences(sample(), contentsOf(bak)), "");
    EXPECT_EQ(dir.files(), (std::set<std::string>{"odd.$$$", "odd.BAK", "self.BAK"}));
}

TEST(PrfPack, StaleWorkFileIsReplaced)
{
    ScratchDir dir("pack_stale");
    std::string file = dir.path("stale.prf");
    store(file, sample());
    ASSERT_TRUE(writeFile(dir.path("stale.$$$"), "left over from a killed pack"));
    ASSERT_EQ(PrfFalPack(nullptr, file.c_str(), FALSE), 0);
    EXPECT_EQ(differences(sample(), contentsOf(file)), "");
    EXPECT_EQ(dir.files(), std::set<std::string>{"stale.prf"});
}

TEST(PrfPack, RefusesWhatItCannotReadWithoutTouchingIt)
{
    ScratchDir dir("pack_refuse");
    std::string file = dir.path("refuse.prf");
    EXPECT_EQ(PrfFalPack(nullptr, file.c_str(), FALSE), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(PrfFalPack(nullptr, nullptr, FALSE), ORIN_ERR_INVALID_NAME);
    EXPECT_TRUE(dir.files().empty());

    store(file, sample());
    std::string b = readFile(file);
    b[kInUpdate] = 1;                   // left in the middle of an update
    resealHeader(b);
    ASSERT_TRUE(writeFile(file, b));
    EXPECT_EQ(PrfFalPack(nullptr, file.c_str(), TRUE), PRF_ERR_INUPDATE);
    EXPECT_EQ(readFile(file), b);
    EXPECT_EQ(dir.files(), std::set<std::string>{"refuse.prf"});

    // A profile held open elsewhere is not packed under its holder's feet.
    store(file + "2", sample());
    DiskProfile open(file + "2");
    ASSERT_EQ(open.rc, 0);
    std::string held = readFile(file + "2");
    EXPECT_NE(PrfFalPack(nullptr, (file + "2").c_str(), FALSE), 0);
    EXPECT_EQ(readFile(file + "2"), held);
}

// ---- Old versions ---------------------------------------------------------------

TEST(PrfConvert, OldVersionWithWrongChecksumIsRebuiltOnOpen)
{
    ScratchDir dir("pack_convert");
    for (const char *version : {"PRFF200", "PRFF201"}) {
        for (USHORT flags : {USHORT(0), USHORT(PRF_OPEN_READONLY)}) {
            std::string file = dir.path("old.prf");
            DeleteFileA(file.c_str());
            store(file, sample());
            setVersion(file, version);
            spoilHeaderChecksum(file);
            {
                DiskProfile p(file, flags);
                ASSERT_EQ(p.rc, 0) << version;
                EXPECT_EQ(differences(sample(), contents(p.h)), "");
                EXPECT_EQ(PrfCheckConsistent(p.h), 0);
            }
            EXPECT_EQ(readFile(file).substr(kHeader, 7), "PRFF203");
            EXPECT_EQ(dir.files(), std::set<std::string>{"old.prf"});
        }
    }
}

TEST(PrfConvert, CurrentVersionWithWrongChecksumStaysRefused)
{
    ScratchDir dir("pack_current");
    std::string file = dir.path("cur.prf");
    store(file, sample());
    spoilHeaderChecksum(file);
    std::string damaged = readFile(file);
    DiskProfile p(file);
    EXPECT_EQ(p.rc, PRF_ERR_CHECKSUM);
    EXPECT_EQ(readFile(file), damaged);
}

TEST(PrfConvert, ExplicitConversionTakesOnlyOldVersions)
{
    ScratchDir dir("pack_explicit");
    std::string file = dir.path("sound.prf");
    store(file, sample());
    std::string current = readFile(file);
    EXPECT_EQ(PrfFalConvert20Xto202(nullptr, file.c_str()), PRF_ERR_VERSION);
    EXPECT_EQ(readFile(file), current);

    setVersion(file, "PRFF200");
    spoilHeaderChecksum(file);
    ASSERT_EQ(PrfFalConvert20Xto202(nullptr, file.c_str()), 0);
    EXPECT_EQ(readFile(file).substr(kHeader, 7), "PRFF203");
    EXPECT_EQ(differences(sample(), contentsOf(file)), "");
    EXPECT_EQ(dir.files(), std::set<std::string>{"sound.prf"});
}

// ---- Check --------------------------------------------------------------------

USHORT checkImage(const std::string &name)
{
    HPRF h = nullptr;
    USHORT rc = PrfOpenProfileOnVbf(NULL, &h, name.c_str(), 0, memvbf::table());
    if (rc)
        return rc;
    rc = PrfCheckConsistent(h);
    PrfCloseProfile(h);
    return rc;
}

TEST(PrfCheck, FindsEveryDamagedTableAndPieceHeader)
{
    const std::string name = "check.prf";
    std::vector<unsigned char> sound;
    {
        prftest::MemProfile p(name);
        for (const auto &[s, keys] : sample()) {
            if (keys.empty()) {
                ASSERT_EQ(PrfCreateSection(p.h, s.c_str()), 0);
            }
            for (const auto &[k, v] : keys)
                ASSERT_EQ(PrfWriteProfileData(p.h, s.c_str(), k.c_str(), v.data(), (ULONG)v.size()), 0);
        }
        EXPECT_EQ(PrfCheckConsistent(p.h), 0);
        p.close();
        sound = prftest::bytesOf(name);
    }
    auto layout = prftest::readLayout(name);
    std::vector<std::pair<std::string, unsigned long>> spots;   // what, byte offset
    const auto &image = sound;
    for (int b = 0; b < prftest::BUCKETS; b++) {
        unsigned long table = prftest::u32(image, prftest::FAL_HEADER + 8 + 4 * b);
        if (table)
            spots.push_back({"section table of bucket " + std::to_string(b), table + 10});
    }
    const prftest::Piece *dataPiece = nullptr;
    for (const auto &s : layout) {
        if (s.keyTable)
            spots.push_back({"key table of " + s.name, s.keyTable + 9});
        for (const auto &k : s.keys)
            for (const auto &pc : k.pieces) {
                spots.push_back({"piece header of " + k.name, pc.id + 12});
                spots.push_back({"piece key name of " + k.name, pc.id + 18});
                if (pc.dataLength > 0)
                    dataPiece = &pc;
            }
    }
    ASSERT_GT(spots.size(), 20u);
    ASSERT_NE(dataPiece, nullptr);
    for (const auto &[what, at] : spots) {
        prftest::bytesOf(name) = sound;
        prftest::bytesOf(name)[at] ^= 0x21;
        EXPECT_EQ(checkImage(name), PRF_ERR_CHECKSUM) << what;
    }

    // A block header of the block file itself.
    prftest::bytesOf(name) = sound;
    prftest::bytesOf(name)[dataPiece->id - 7] = 0;       // the block signature
    USHORT rc = checkImage(name);
    EXPECT_NE(rc, 0);
    EXPECT_NE(rc, PRF_ERR_CHECKSUM);

    // Value data carries no checksum: changing it is not damage to the check.
    prftest::bytesOf(name) = sound;
    unsigned headerLength = prftest::u16(sound, dataPiece->id + 10);
    prftest::bytesOf(name)[dataPiece->id + headerLength + dataPiece->dataLength / 2] ^= 1;
    EXPECT_EQ(checkImage(name), 0);
}

}  // namespace
