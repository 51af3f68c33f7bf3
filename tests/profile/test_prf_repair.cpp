// Repairing damaged profile files: what comes back, what is left alone,
// the progress reports, and a long run of random profiles damaged in
// random ways, judged against the tests' own reading of the damaged file
// (blockscan.h).
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include "blockscan.h"
#include "prfdisk.h"
#include "testutil.h"

using namespace prfdisk;
using testutil::readFile;
using testutil::writeFile;

namespace {

const size_t kPieceSize = 16384;

Contents sample()
{
    Contents c;
    c["Paths"]["root"] = "C:\\orin\\res";
    c["Paths"]["empty"] = "";
    c["Fonts"];
    std::string big(50000, '\0');
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (char)(i * 31 + i / 1000);
    c["Large"]["four pieces"] = big;
    for (int i = 0; i < 60; i++)
        c["Group " + std::to_string(i % 9)]["item " + std::to_string(i)] = std::string(i * 11 + 1, '0' + i % 40);
    return c;
}

blockscan::Bytes bytesOf(const std::string &file)
{
    std::string s = readFile(file);
    return blockscan::Bytes(s.begin(), s.end());
}

void writeBytes(const std::string &file, const blockscan::Bytes &b)
{
    ASSERT_TRUE(writeFile(file, std::string(b.begin(), b.end())));
}

struct Recorder {
    static inline std::vector<PRFREPAIRPROGRESS> seen;
    static inline std::vector<ULONG> tenths;
    static inline size_t stopAt = 0;
    static ULONG ORINAPI callback(PRFREPAIRPROGRESS *p, ULONG t)
    {
        seen.push_back(*p);
        tenths.push_back(t);
        return seen.size() == stopAt;
    }
    static void reset(size_t stop = 0)
    {
        seen.clear();
        tenths.clear();
        stopAt = stop;
    }
};

// ---- Deterministic cases ----------------------------------------------------------

TEST(PrfRepair, ZeroedHeaderAreaStillGivesBackEverything)
{
    ScratchDir dir("repair_header");
    std::string file = dir.path("zero.prf");
    store(file, sample());
    auto b = bytesOf(file);
    size_t firstBlock = blockscan::get32(b, 20);      // from the block file's header
    ASSERT_GT(firstBlock, 96u + 3980u);
    ASSERT_LT(firstBlock, b.size());
    std::fill(b.begin(), b.begin() + firstBlock, 0);
    writeBytes(file, b);
    ASSERT_NE(DiskProfile(file).rc, 0);

    ASSERT_EQ(PrfFalRepair(nullptr, file.c_str()), 0);

    EXPECT_EQ(differences(sample(), contentsOf(file)), "");
    EXPECT_EQ(bytesOf(dir.path("zero.BAK")), b);
    EXPECT_EQ(dir.files(), (std::set<std::string>{"zero.BAK", "zero.prf"}));
    DiskProfile p(file);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
}

TEST(PrfRepair, PieceWithABadHeaderLeavesZerosAtItsPlace)
{
    ScratchDir dir("repair_pieces");
    std::string file = dir.path("pieces.prf");
    store(file, sample());
    auto b = bytesOf(file);
    // The second piece of the large value: its index no longer matches
    // the piece header's checksum.
    size_t victim = 0;
    for (const auto &k : blockscan::scan(b)) {
        auto one = blockscan::read(b, {k}, [](const blockscan::Block &) { return true; });
        if (one.pieces.size() == 1 && one.pieces[0].key == "four pieces" && one.pieces[0].index == 1)
            victim = k.pos + 8;
    }
    ASSERT_NE(victim, 0u);
    b[victim + 13] ^= 0x04;                           // piece index 1 -> 1025
    writeBytes(file, b);

    ASSERT_EQ(PrfFalRepair(nullptr, file.c_str()), 0);
    Contents want = sample();
    std::string &big = want["Large"]["four pieces"];
    std::fill(big.begin() + kPieceSize, big.begin() + 2 * kPieceSize, '\0');
    EXPECT_EQ(differences(want, contentsOf(file)), "");
}

TEST(PrfRepair, ProgressReportsPhasesAndCodes)
{
    ScratchDir dir("repair_progress");
    std::string file = dir.path("progress.prf");
    store(file, sample());
    Recorder::reset();
    PRFREPAIRPROGRESS record;
    ASSERT_EQ(PrfFalRepairQueryCancel(nullptr, file.c_str(), Recorder::callback, &record), 0);
    const auto &s = Recorder::seen;
    ASSERT_GT(s.size(), 30u);

    EXPECT_EQ(s[0].phase, 1);
    EXPECT_EQ(s[0].startCode, 100);
    EXPECT_EQ(s[0].eventCode, 101);
    EXPECT_EQ(s[0].stepCode, 102);
    EXPECT_EQ(s[0].tickCode, 105);

    size_t i = 1;
    ULONG blocks = 0;
    for (; i < s.size() && s[i].phase == 2; i++) {
        blocks++;
        EXPECT_EQ(s[i].total, blocks);
        EXPECT_EQ(s[i].startCode, 100);
        EXPECT_EQ(s[i].eventCode, 0);
        EXPECT_EQ(s[i].stepCode, blocks == 1 ? 102 : 0) << blocks;
        EXPECT_EQ(s[i].tickCode, blocks % 10 == 0 ? 105 : 0) << blocks;
        EXPECT_LE(s[i].count, s[i].total);
        if (i > 1) {
            EXPECT_GE(s[i].percent, s[i - 1].percent);
        }
    }
    EXPECT_EQ(blocks, blockscan::scan(bytesOf(dir.path("progress.BAK"))).size());
    EXPECT_EQ(s[i - 1].percent, 100);

    // The rebuild: sections first, then values, one report per item.
    size_t sections = sample().size(), values = 0;
    for (const auto &sec : sample())
        values += sec.second.size();
    values += 3;                                     // the pieces after the first of the large value
    ASSERT_EQ(s.size() - i, sections + values);
    for (ULONG n = 1; i < s.size(); i++, n++) {
        EXPECT_EQ(s[i].phase, 3);
        EXPECT_EQ(s[i].count, n);
        EXPECT_EQ(s[i].total, sections + values);
        EXPECT_EQ(s[i].percent, n * 100 / (sections + values));
        EXPECT_EQ(s[i].stepCode, n == 1 ? 103 : n == sections + 1 ? 104 : 0) << n;
        EXPECT_EQ(s[i].tickCode, n % 10 == 0 ? 106 : 0) << n;
        EXPECT_EQ(Recorder::tenths[i], n / 10);
    }
    EXPECT_EQ(memcmp(&record, &s.back(), sizeof record), 0);
    EXPECT_EQ(differences(sample(), contentsOf(file)), "");
}

TEST(PrfRepair, CancelAnywhereLeavesTheFileAsItWas)
{
    ScratchDir dir("repair_cancel");
    std::string file = dir.path("cancel.prf");
    store(file, sample());
    auto b = bytesOf(file);
    std::fill(b.begin(), b.begin() + 200, 0);
    writeBytes(file, b);
    for (size_t stop : {1, 2, 40, 130}) {
        Recorder::reset(stop);
        EXPECT_EQ(PrfFalRepairQueryCancel(nullptr, file.c_str(), Recorder::callback, nullptr),
                  PRF_ERR_CANCELLED) << stop;
        EXPECT_EQ(Recorder::seen.size(), stop);
        EXPECT_EQ(bytesOf(file), b);
        EXPECT_EQ(dir.files(), std::set<std::string>{"cancel.prf"}) << stop;
    }
}

TEST(PrfRepair, FileWithoutBlocksIsLeftAlone)
{
    ScratchDir dir("repair_none");
    std::string file = dir.path("none.prf");
    std::mt19937 rng(7);
    blockscan::Bytes junk(20000);
    for (auto &c : junk)
        c = (unsigned char)(rng() % 0xAA);           // never the signature's first byte
    for (const blockscan::Bytes &b : {junk, blockscan::Bytes()}) {
        writeBytes(file, b);
        EXPECT_EQ(PrfFalRepair(nullptr, file.c_str()), PRF_ERR_NOBLOCKS);
        EXPECT_EQ(bytesOf(file), b);
        EXPECT_EQ(dir.files(), std::set<std::string>{"none.prf"});
    }
    DeleteFileA(file.c_str());
    EXPECT_EQ(PrfFalRepair(nullptr, file.c_str()), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(PrfFalRepair(nullptr, ""), ORIN_ERR_INVALID_NAME);
    EXPECT_TRUE(dir.files().empty());
}

// ---- Random damage --------------------------------------------------------------------

// Names from a plain alphabet: no two sections or keys of one section clash.
std::string randomName(std::mt19937 &rng, const char *prefix, int n)
{
    std::string s = std::string(prefix) + std::to_string(n) + "_";
    for (int i = rng() % 6; i >= 0; i--)
        s += (char)('a' + rng() % 26);
    return s;
}

std::string randomValue(std::mt19937 &rng)
{
    unsigned kind = rng() % 20;
    size_t length = kind < 14 ? rng() % 300 : kind < 19 ? 300 + rng() % 5000 : 16000 + rng() % 30000;
    std::string v(length, '\0');
    for (auto &c : v)
        c = (char)rng();
    return v;
}

Contents randomProfile(std::mt19937 &rng)
{
    Contents c;
    int sections = 1 + rng() % 10;
    for (int s = 0; s < sections; s++) {
        auto &keys = c[randomName(rng, "S", s)];
        int n = rng() % 4 == 0 ? 0 : 1 + rng() % 8;
        for (int k = 0; k < n; k++)
            keys[randomName(rng, "K", k)] = randomValue(rng);
    }
    return c;
}

// Writes the values in a shuffled order, so tables grow and move and the
// blocks of different sections interleave.
void storeShuffled(const std::string &file, const Contents &c, std::mt19937 &rng)
{
    std::vector<std::pair<std::string, std::string>> items;
    for (const auto &[s, keys] : c) {
        items.push_back({s, ""});
        for (const auto &kv : keys)
            items.push_back({s, kv.first});
    }
    std::shuffle(items.begin(), items.end(), rng);
    DiskProfile p(file);
    ASSERT_EQ(p.rc, 0);
    for (const auto &[s, k] : items) {
        if (k.empty()) {
            USHORT rc = PrfCreateSection(p.h, s.c_str());
            ASSERT_TRUE(rc == 0 || rc == PRF_ERR_EXISTS) << rc;
        } else {
            const std::string &v = c.at(s).at(k);
            ASSERT_EQ(PrfWriteProfileData(p.h, s.c_str(), k.c_str(), v.data(), (ULONG)v.size()), 0);
        }
    }
}

// Damages the file in one to four ways and notes which bytes changed.
void damage(blockscan::Bytes &b, std::vector<bool> &touched, std::mt19937 &rng)
{
    auto blocks = blockscan::scan(b);
    for (int n = 1 + rng() % 4; n > 0; n--) {
        size_t pos = rng() % b.size();
        switch (rng() % 4) {
        case 0: {                                   // a zeroed range
            size_t len = std::min<size_t>(1 + rng() % 3000, b.size() - pos);
            for (size_t i = pos; i < pos + len; i++)
                b[i] = 0, touched[i] = true;
            break;
        }
        case 1:                                     // flipped bytes
            for (int i = 1 + rng() % 20; i > 0; i--) {
                size_t at = rng() % b.size();
                b[at] ^= (unsigned char)(1 + rng() % 255);
                touched[at] = true;
            }
            break;
        case 2:                                     // a cut tail
            b.resize(b.size() / 2 + rng() % (b.size() / 2 + 1));
            break;
        default: {                                  // a destroyed block header
            const auto &k = blocks[rng() % blocks.size()];
            for (size_t i = k.pos; i < k.pos + 8 && i < b.size(); i++)
                b[i] = (unsigned char)rng(), touched[i] = true;
            break;
        }
        }
        if (b.empty())
            b.push_back(0);
    }
}

// Checks a repaired profile against the written one and the damaged bytes.
void judge(const Contents &written, const blockscan::Bytes &damaged,
           const std::vector<bool> &touched, const Contents &repaired, int round)
{
    SCOPED_TRACE("round " + std::to_string(round));
    // Nothing that was never written.
    for (const auto &[s, keys] : repaired) {
        ASSERT_TRUE(written.count(s)) << "unknown section " << s;
        for (const auto &kv : keys)
            ASSERT_TRUE(written.at(s).count(kv.first)) << "unknown key " << s << "/" << kv.first;
    }
    // Everything whose blocks are intact.
    auto blocks = blockscan::scan(damaged);
    auto intact = blockscan::read(damaged, blocks, [&](const blockscan::Block &k) {
        for (size_t i = k.pos; i < k.pos + k.total; i++)
            if (touched[i])
                return false;
        return true;
    });
    for (const auto &[id, name] : intact.sectionNames)
        ASSERT_TRUE(repaired.count(name)) << "lost section " << name;
    std::map<std::pair<std::string, std::string>, size_t> intactPieces;
    for (const auto &p : intact.pieces) {
        auto section = intact.sectionNames.find(p.sectionId);
        if (section == intact.sectionNames.end())
            continue;
        const auto &keys = repaired.at(section->second);
        auto key = keys.find(p.key);
        ASSERT_NE(key, keys.end()) << "lost key " << section->second << "/" << p.key;
        ASSERT_GE(key->second.size(), p.index * kPieceSize + p.data.size());
        ASSERT_EQ(key->second.substr(p.index * kPieceSize, p.data.size()), p.data)
            << section->second << "/" << p.key << " piece " << p.index;
        intactPieces[{section->second, p.key}]++;
    }
    // A value with every piece intact is whole.
    for (const auto &[sk, n] : intactPieces) {
        const std::string &w = written.at(sk.first).at(sk.second);
        size_t pieces = w.empty() ? 1 : (w.size() + kPieceSize - 1) / kPieceSize;
        if (n == pieces) {
            ASSERT_EQ(repaired.at(sk.first).at(sk.second), w) << sk.first << "/" << sk.second;
        }
    }
}

TEST(PrfRepair, RandomDamageNeverInventsAndKeepsWhatIsIntact)
{
    ScratchDir dir("repair_model");
    std::string file = dir.path("model.prf"), backup = dir.path("model.BAK");
    std::mt19937 rng(20261206);
    const int kRounds = 1000;
    int repaired = 0;
    for (int round = 0; round < kRounds; round++) {
        DeleteFileA(file.c_str());
        DeleteFileA(backup.c_str());
        Contents written = randomProfile(rng);
        storeShuffled(file, written, rng);
        auto b = bytesOf(file);
        std::vector<bool> touched(b.size(), false);
        damage(b, touched, rng);
        writeBytes(file, b);

        USHORT rc = PrfFalRepair(nullptr, file.c_str());
        if (blockscan::scan(b).empty()) {
            ASSERT_EQ(rc, PRF_ERR_NOBLOCKS) << "round " << round;
            ASSERT_EQ(bytesOf(file), b);
            continue;
        }
        ASSERT_EQ(rc, 0) << "round " << round;
        ASSERT_EQ(bytesOf(backup), b) << "round " << round;
        judge(written, b, touched, contentsOf(file), round);
        if (HasFatalFailure())
            return;
        repaired++;
    }
    EXPECT_GT(repaired, kRounds * 9 / 10);
    EXPECT_EQ(dir.files(), (std::set<std::string>{"model.BAK", "model.prf"}));
}

}  // namespace
