// Profile files on the in-memory back-end: the layout of new profiles,
// values in 16 KiB pieces, sections and keys, section locks, and a random
// sequence of writes checked against a simple model.
#include <gtest/gtest.h>
#include <map>
#include <random>
#include "prftest.h"
#include "profile/falint.h"
#include "knl.h"

using namespace prftest;

namespace {

const unsigned long PIECE = 16384;

TEST(PrfFileLayout, NewProfileIsTheHeaderAlone)
{
    MemProfile p("new.prf");
    p.close();
    const auto &b = bytesOf("new.prf");
    ASSERT_EQ(b.size(), 4080u);
    EXPECT_EQ(std::string((const char *)&b[96], 8), std::string("PRFF203\0", 8));
    EXPECT_EQ(u16(b, 14), 3980u);                          // FAL user header size
    EXPECT_EQ(u16(b, 96 + 3976), 0u);                      // not in update
    std::vector<unsigned char> h(b.begin() + 96, b.begin() + 96 + 3980);
    unsigned stored = u16(h, 3978);
    h[3978] = h[3979] = 0;
    EXPECT_EQ(KnlCrc16(h.data(), 3980), stored);
}

TEST(PrfFileLayout, ReadOnlyOpenOfAMissingFileFails)
{
    memvbf::files().erase("none.prf");
    HPRF h = nullptr;
    EXPECT_EQ(PrfOpenProfileOnVbf(NULL, &h, "none.prf", PRF_OPEN_READONLY, memvbf::table()),
              ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(memvbf::files().count("none.prf"), 0u);
}

TEST(PrfFileLayout, ProfileHeaderRecordsSectionIdsAndBuckets)
{
    MemProfile p("ids.prf");
    ASSERT_EQ(PrfCreateSection(p.h, "one"), 0);
    ASSERT_EQ(PrfCreateSection(p.h, "two"), 0);
    EXPECT_EQ(PrfCreateSection(p.h, "one"), PRF_ERR_EXISTS);
    p.close();
    auto l = readLayout("ids.prf");
    ASSERT_EQ(l.size(), 2u);
    ASSERT_TRUE(findSection(l, "one") && findSection(l, "two"));
    EXPECT_NE(findSection(l, "one")->id, findSection(l, "two")->id);
    EXPECT_EQ(u32(bytesOf("ids.prf"), 96 + 3972), 2u);     // next section id
    EXPECT_EQ(findSection(l, "one")->keyTable, 0u);
}

// Writing a 40000-byte value makes pieces of 16384, 16384 and 7232 bytes.
TEST(PrfPieces, LargeValueIsCutIntoPieces)
{
    MemProfile p("pieces.prf");
    std::string v(40000, 0);
    for (size_t i = 0; i < v.size(); i++)
        v[i] = (char)(i * 7 + i / 251);
    ASSERT_EQ(PrfWriteProfileData(p.h, "s", "k", v.data(), (ULONG)v.size()), 0);
    EXPECT_EQ(p.get("s", "k"), v);
    p.close();
    auto l = readLayout("pieces.prf");
    const Section *s = findSection(l, "s");
    ASSERT_TRUE(s && s->keys.size() == 1);
    const Key &k = s->keys[0];
    EXPECT_EQ(k.length, 40000u);
    ASSERT_EQ(k.pieces.size(), 3u);
    unsigned expect[3] = { 16384, 16384, 7232 };
    for (unsigned i = 0; i < 3; i++) {
        EXPECT_EQ(k.pieces[i].dataLength, expect[i]);
        EXPECT_EQ(k.pieces[i].index, i);
        EXPECT_EQ(k.pieces[i].sectionId, s->id);
        EXPECT_EQ(pieceData("pieces.prf", k.pieces[i]), v.substr(i * PIECE, expect[i]));
    }
}

// Writing at offset 50000 of a 10-byte value zero-fills pieces 0 to 2.
TEST(PrfPieces, OffsetWritePastTheEndFillsTheGapWithZeros)
{
    MemProfile p("gap.prf");
    ASSERT_EQ(PrfWriteProfileData(p.h, "s", "k", "0123456789", 10), 0);
    ASSERT_EQ(PrfWriteProfileDataOffset(p.h, "s", "k", 50000, "tail", 4), 0);
    std::string expect = "0123456789" + std::string(50000 - 10, '\0') + "tail";
    EXPECT_EQ(p.get("s", "k"), expect);
    p.close();
    auto layout = readLayout("gap.prf");
    ASSERT_TRUE(findSection(layout, "s"));
    const Key &k = findSection(layout, "s")->keys[0];
    ASSERT_EQ(k.pieces.size(), 4u);
    for (unsigned i = 0; i < 3; i++)
        EXPECT_EQ(pieceData("gap.prf", k.pieces[i]), expect.substr(i * PIECE, PIECE));
    EXPECT_EQ(k.pieces[3].dataLength, 50004 - 3 * PIECE);
}

TEST(PrfPieces, CuttingToZeroKeepsPieceZero)
{
    MemProfile p("cut.prf");
    std::string v(40000, 'x');
    ASSERT_EQ(PrfWriteProfileData(p.h, "s", "k", v.data(), (ULONG)v.size()), 0);
    ASSERT_EQ(PrfSetProfileDataSize(p.h, "s", "k", 0), 0);
    ULONG size = 99;
    EXPECT_EQ(PrfQueryProfileSize(p.h, "s", "k", &size), 0);
    EXPECT_EQ(size, 1u);
    p.close();
    auto layout = readLayout("cut.prf");
    ASSERT_TRUE(findSection(layout, "s"));
    const Key &k = findSection(layout, "s")->keys[0];
    EXPECT_EQ(k.length, 0u);
    ASSERT_EQ(k.pieces.size(), 1u);
    EXPECT_EQ(k.pieces[0].dataLength, 0u);
    HFAL f = nullptr;
    ASSERT_EQ(FalOpenEx(NULL, "cut.prf", &f, 0, memvbf::table()), 0);
    EXPECT_EQ(FalCheck(f), 0);
    FalClose(f);
}

TEST(PrfPieces, SetSizeExtendsWithZerosAndCutsInsideAPiece)
{
    MemProfile p("size.prf");
    ASSERT_EQ(PrfWriteProfileData(p.h, "s", "k", "abcdef", 6), 0);
    ASSERT_EQ(PrfSetProfileDataSize(p.h, "s", "k", 20000), 0);
    EXPECT_EQ(p.get("s", "k"), "abcdef" + std::string(20000 - 6, '\0'));
    ASSERT_EQ(PrfSetProfileDataSize(p.h, "s", "k", 3), 0);
    EXPECT_EQ(p.get("s", "k"), "abc");
    EXPECT_EQ(PrfSetProfileDataSize(p.h, "s", "missing", 3), 0);  // creates the key
    EXPECT_EQ(p.get("s", "missing"), std::string(3, '\0'));
}

TEST(PrfPieces, PartialReadsFromAnOffset)
{
    MemProfile p("partial.prf");
    std::string v(33000, 0);
    for (size_t i = 0; i < v.size(); i++)
        v[i] = (char)(i % 253);
    ASSERT_EQ(PrfWriteProfileData(p.h, "s", "k", v.data(), (ULONG)v.size()), 0);
    char buf[5000];
    ULONG n = sizeof buf;
    ASSERT_EQ(PrfQueryProfileDataOffset(p.h, "s", "k", 16000, buf, &n), 0);
    EXPECT_EQ(n, sizeof buf);                               // crosses a piece boundary
    EXPECT_EQ(std::string(buf, n), v.substr(16000, n));
    n = sizeof buf;
    ASSERT_EQ(PrfQueryProfileDataOffset(p.h, "s", "k", 32000, buf, &n), 0);
    EXPECT_EQ(std::string(buf, n), v.substr(32000));
    n = 0;
    EXPECT_EQ(PrfQueryProfileDataOffset(p.h, "s", "k", 40000, NULL, &n), 0);
    EXPECT_EQ(n, 0u);
}

// A random sequence of writes, offset writes, cuts and deletions, checked
// against a map of strings, across reopenings; the block file stays sound.
TEST(PrfPieces, RandomOperationsMatchAModel)
{
    std::mt19937 rng(1234);
    std::map<std::string, std::string> model;
    MemProfile p("model.prf");
    const char *sections[] = { "a", "b", "c" };
    const char *keys[] = { "k1", "k2", "key three", "k4" };
    for (int step = 0; step < 400; step++) {
        const char *s = sections[rng() % 3], *k = keys[rng() % 4];
        std::string id = std::string(s) + "/" + k;
        int op = rng() % 10;
        ULONG len = rng() % 5 == 0 ? rng() % 50000 : rng() % 300;
        std::string data(len, 0);
        for (auto &c : data)
            c = (char)(rng() & 0xFF);
        if (op < 4) {
            ASSERT_EQ(PrfWriteProfileData(p.h, s, k, data.data(), len), 0);
            model[id] = data;
        } else if (op < 7) {
            ULONG off = rng() % 40000;
            ASSERT_EQ(PrfWriteProfileDataOffset(p.h, s, k, off, data.data(), len), 0);
            std::string &m = model[id];
            if (m.size() < off + len)
                m.resize(off + len, '\0');
            m.replace(off, len, data);
        } else if (op < 8) {
            ULONG size = rng() % 40000;
            ASSERT_EQ(PrfSetProfileDataSize(p.h, s, k, size), 0);
            model[id].resize(size, '\0');
        } else if (op < 9) {
            USHORT rc = PrfWriteProfileData(p.h, s, k, NULL, 0);
            EXPECT_EQ(rc, model.erase(id) ? 0 : ORIN_ERR_NO_KEY) << id;
        } else {
            ASSERT_EQ(p.reopen(), 0);
        }
    }
    for (const auto &m : model) {
        std::string s = m.first.substr(0, m.first.find('/'));
        std::string k = m.first.substr(m.first.find('/') + 1);
        EXPECT_EQ(p.get(s.c_str(), k.c_str()), m.second) << m.first;
    }
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
    p.close();
    HFAL f = nullptr;
    ASSERT_EQ(FalOpenEx(NULL, "model.prf", &f, 0, memvbf::table()), 0);
    EXPECT_EQ(FalCheck(f), 0);
    FalClose(f);
}

TEST(PrfSections, DeletingTheLastKeyFreesTheKeyTable)
{
    MemProfile p("lastkey.prf");
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k", "v"), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k", NULL), 0);
    EXPECT_EQ(p.list(), "s~");
    EXPECT_EQ(p.list("s"), "");
    EXPECT_EQ(PrfWriteProfileString(p.h, "s", "k", NULL), ORIN_ERR_NO_KEY);
    p.close();
    auto layout = readLayout("lastkey.prf");
    const Section *s = findSection(layout, "s");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->keyTable, 0u);
}

TEST(PrfSections, NamesAreCaseSensitive)
{
    MemProfile p("case.prf");
    ASSERT_EQ(PrfWriteProfileString(p.h, "Alpha", "k", "upper"), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "alpha", "k", "lower"), 0);
    EXPECT_EQ(p.get("Alpha", "k"), "upper");
    EXPECT_EQ(p.get("alpha", "k"), "lower");
    p.close();
    EXPECT_EQ(readLayout("case.prf").size(), 2u);
}

TEST(PrfSections, DestroyRemovesKeysAndValues)
{
    MemProfile p("destroy.prf");
    std::string big(20000, 'b');
    ASSERT_EQ(PrfWriteProfileData(p.h, "gone", "k1", big.data(), (ULONG)big.size()), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "gone", "k2", "v"), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "kept", "k", "v"), 0);
    ASSERT_EQ(PrfDestroySection(p.h, "gone"), 0);
    EXPECT_EQ(PrfDestroySection(p.h, "gone"), ORIN_ERR_NO_KEY);
    EXPECT_EQ(p.list(), "kept~");
    EXPECT_EQ(p.get("gone", "k1"), "<missing>");
    ASSERT_EQ(PrfWriteProfileData(p.h, "kept", NULL, NULL, 0), 0);   // all keys
    EXPECT_EQ(p.list(), "kept~");
    EXPECT_EQ(p.list("kept"), "");
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
}

TEST(PrfSections, LocksAreStoredFlags)
{
    MemProfile p("locks.prf");
    EXPECT_EQ(PrfLockSection(p.h, "s", FALSE, TRUE), ORIN_ERR_NO_KEY);
    EXPECT_EQ(PrfLockSection(p.h, "s", TRUE, TRUE), 0);          // created locked
    EXPECT_EQ(PrfLockSection(p.h, "s", TRUE, TRUE), ORIN_ERR_LOCK_VIOLATION);
    ASSERT_EQ(p.reopen(), 0);
    EXPECT_EQ(PrfLockSection(p.h, "s", FALSE, TRUE), ORIN_ERR_LOCK_VIOLATION);
    EXPECT_EQ(PrfLockSection(p.h, "s", FALSE, FALSE), 0);
    EXPECT_EQ(PrfLockSection(p.h, "s", FALSE, FALSE), ORIN_ERR_LOCK_VIOLATION);
    EXPECT_EQ(PrfLockSection(p.h, "t", TRUE, FALSE), 0);         // created unlocked
    EXPECT_EQ(PrfLockSection(p.h, NULL, TRUE, TRUE), ORIN_ERR_INVALID_NAME);
    p.close();
    auto l = readLayout("locks.prf");
    ASSERT_TRUE(findSection(l, "s") && findSection(l, "t"));
    EXPECT_EQ(findSection(l, "s")->flags, 0u);
    EXPECT_EQ(findSection(l, "t")->flags, 0u);
    MemProfile q("locks2.prf");
    ASSERT_EQ(PrfLockSection(q.h, "x", TRUE, TRUE), 0);
    q.close();
    auto l2 = readLayout("locks2.prf");
    ASSERT_TRUE(findSection(l2, "x"));
    EXPECT_EQ(findSection(l2, "x")->flags, 1u);
}

// Tables stay below 64 KiB; the profile is still usable afterwards.
TEST(PrfSections, TableLimitGivesOutOfMemory)
{
    MemProfile p("limit.prf");
    std::string longName(65530, 's');
    EXPECT_EQ(PrfCreateSection(p.h, longName.c_str()), ORIN_ERR_NO_MEMORY);
    std::string keyName(200, 'k');
    USHORT rc = 0;
    int n = 0;
    for (; n < 400 && rc == 0; n++) {
        keyName[0] = (char)('A' + n % 26);
        keyName[1] = (char)('A' + n / 26);
        rc = PrfWriteProfileString(p.h, "s", keyName.c_str(), "v");
    }
    EXPECT_EQ(rc, ORIN_ERR_NO_MEMORY);
    EXPECT_GT(n, 250);
    ASSERT_EQ(p.reopen(), 0);                                    // not left in update
    ULONG size = 0;
    EXPECT_EQ(PrfQueryProfileSize(p.h, "s", NULL, &size), 0);
    EXPECT_EQ(size, (ULONG)(n - 1) * 201 + 1);
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
}

TEST(PrfTransactions, NestAndMustBalance)
{
    MemProfile p("trans.prf");
    EXPECT_EQ(PrfTransaction(p.h, TRUE), 0);
    EXPECT_EQ(PrfTransaction(p.h, TRUE), 0);
    EXPECT_EQ(PrfWriteProfileString(p.h, "s", "k", "v"), 0);
    EXPECT_EQ(PrfTransaction(p.h, FALSE), 0);
    EXPECT_EQ(PrfTransaction(p.h, FALSE), 0);
    EXPECT_EQ(PrfTransaction(p.h, FALSE), ORIN_ERR_LOCK_VIOLATION);
    EXPECT_EQ(p.get("s", "k"), "v");
}

TEST(PrfTransactions, SetCorruptMarksTheProfileUntilCleared)
{
    MemProfile p("corrupt.prf");
    ASSERT_EQ(PrfFalSetCorrupt(p.h, TRUE), 0);
    EXPECT_EQ(u16(bytesOf("corrupt.prf"), 96 + 3976), 1u);
    ASSERT_EQ(PrfWriteProfileString(p.h, "s", "k", "v"), 0);
    EXPECT_EQ(u16(bytesOf("corrupt.prf"), 96 + 3976), 1u);
    ASSERT_EQ(PrfFalSetCorrupt(p.h, FALSE), 0);
    EXPECT_EQ(u16(bytesOf("corrupt.prf"), 96 + 3976), 0u);
    ASSERT_EQ(p.reopen(), 0);
    EXPECT_EQ(p.get("s", "k"), "v");
}

} // namespace
