// A first-format profile under many random changes, checked against a
// plain model of sections and keys in their order, reopened now and then
// and decoded by the tests' own reader; and damaged files, made by hand
// and by random mutation, which must give error codes and never a crash.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include "prf100test.h"
#include "fal.h"

using namespace prf100test;
using prf100file::Key;
using prf100file::Layout;
using prf100file::Section;

namespace {

// What the profile should hold: sections and keys in list order.
class Model {
public:
    USHORT write(const std::string &s, const std::string &k, const std::string &v)
    {
        Section &sec = sectionOrNew(s);
        auto key = findKey(sec, k);
        if (key == sec.keys.end())
            sec.keys.push_back(Key{k, v});
        else
            key->value = v;
        return 0;
    }
    USHORT deleteKey(const std::string &s, const std::string &k)
    {
        auto sec = find(s);
        if (sec == layout_.end())
            return ORIN_ERR_NO_KEY;
        auto key = findKey(*sec, k);
        if (key == sec->keys.end())
            return ORIN_ERR_NO_KEY;
        sec->keys.erase(key);
        return 0;
    }
    USHORT deleteAllKeys(const std::string &s)
    {
        auto sec = find(s);
        if (sec == layout_.end())
            return ORIN_ERR_NO_KEY;
        sec->keys.clear();
        return 0;
    }
    USHORT create(const std::string &s)
    {
        if (find(s) != layout_.end())
            return PRF_ERR_EXISTS;
        layout_.push_back(Section{s, {}});
        return 0;
    }
    USHORT destroy(const std::string &s)
    {
        auto sec = find(s);
        if (sec == layout_.end())
            return ORIN_ERR_NO_KEY;
        layout_.erase(sec);
        return 0;
    }
    const Layout &layout() const { return layout_; }

private:
    Layout::iterator find(const std::string &s)
    {
        return std::find_if(layout_.begin(), layout_.end(), [&](const Section &x) { return x.name == s; });
    }
    static std::vector<Key>::iterator findKey(Section &sec, const std::string &k)
    {
        return std::find_if(sec.keys.begin(), sec.keys.end(), [&](const Key &x) { return x.name == k; });
    }
    Section &sectionOrNew(const std::string &s)
    {
        auto sec = find(s);
        if (sec != layout_.end())
            return *sec;
        layout_.push_back(Section{s, {}});
        return layout_.back();
    }
    Layout layout_;
};

std::string joined(const std::vector<std::string> &names)
{
    std::string out;
    for (const std::string &n : names)
        out += n + "~";
    return out;
}

// The whole profile read through the handler matches the model.
void expectSame(HPRF h, const Model &m, int step)
{
    std::vector<std::string> sections;
    for (const Section &s : m.layout())
        sections.push_back(s.name);
    ASSERT_EQ(list(h), joined(sections)) << "step " << step;
    for (const Section &s : m.layout()) {
        std::vector<std::string> keys;
        for (const Key &k : s.keys) {
            keys.push_back(k.name);
            ASSERT_EQ(value(h, s.name.c_str(), k.name.c_str()), *k.value)
                << "step " << step << " [" << s.name << "] " << k.name;
        }
        ASSERT_EQ(list(h, s.name.c_str()), joined(keys)) << "step " << step;
    }
}

TEST(Prf100Model, RandomChangesMatchAModel)
{
    const unsigned seed = 20240611;
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
    const char *sections[] = {"Alpha", "alpha", "Beta", "Gamma section", "D", "Epsilon"};
    const char *keys[] = {"k", "K", "key two", "a much longer key name", "x1", "x2", "x3", "y"};
    MemProfile p("model.prf");
    ASSERT_EQ(p.rc, 0);
    Model m;
    for (int step = 0; step < 2000; step++) {
        std::string s = sections[pick(6)], k = keys[pick(8)];
        int op = pick(100);
        if (op < 60) {
            int size = pick(100) < 70 ? pick(65) : pick(100) < 85 ? pick(3000) : pick(65399);
            std::string v(size, '\0');
            for (char &c : v)
                c = (char)rng();
            ASSERT_EQ(write(p.h, s.c_str(), k.c_str(), v), m.write(s, k, v)) << "step " << step;
        } else if (op < 80) {
            ASSERT_EQ(PrfWriteProfileData(p.h, s.c_str(), k.c_str(), nullptr, 0), m.deleteKey(s, k))
                << "step " << step;
        } else if (op < 85) {
            ASSERT_EQ(PrfWriteProfileData(p.h, s.c_str(), nullptr, nullptr, 0), m.deleteAllKeys(s))
                << "step " << step;
        } else if (op < 93) {
            ASSERT_EQ(PrfCreateSection(p.h, s.c_str()), m.create(s)) << "step " << step;
        } else {
            ASSERT_EQ(PrfDestroySection(p.h, s.c_str()), m.destroy(s)) << "step " << step;
        }
        if (step % 50 == 49)
            expectSame(p.h, m, step);
        if (step % 250 == 249) {
            prf100file::Decoded d = p.decodeClosed();
            ASSERT_EQ(d.layout, m.layout()) << "step " << step << ", seed " << seed;
            ASSERT_NE(p.h, nullptr);
        }
    }
    expectSame(p.h, m, -1);
}

// ---- Damaged files ------------------------------------------------------------

// A file of one list block made from raw bytes, and a good section after it.
struct DamagedCase {
    const char *what;
    Bytes file;
};

std::vector<DamagedCase> damagedSectionLists()
{
    std::vector<DamagedCase> out;
    auto make = [&](const char *what, const std::string &raw) {
        prf100file::Writer w;
        w.header("PRFF100", w.block(raw));
        out.push_back({what, w.bytes()});
    };
    std::string good = prf100file::record("S", 0);
    make("record past the block", good + std::string("\x09\x00" "abc", 5));
    make("length past the block", good + prf100file::record("T", 0).substr(0, 6));
    make("bytes left over", good + "\x01");
    make("empty name", prf100file::record("", 0) + good);
    return out;
}

TEST(Prf100Damage, BrokenSectionListsGiveCursorErrors)
{
    for (DamagedCase &c : damagedSectionLists()) {
        MemProfile p("broken.prf", &c.file);
        ASSERT_EQ(p.rc, 0) << c.what;
        char buf[16];
        ULONG size = sizeof buf;
        EXPECT_EQ(PrfQueryProfileData(p.h, nullptr, nullptr, buf, &size), PRF_ERR_CURSOR) << c.what;
        EXPECT_EQ(PrfQueryProfileData(p.h, "S", nullptr, buf, &size), PRF_ERR_CURSOR) << c.what;
        EXPECT_EQ(PrfQueryProfileData(p.h, "S", "k", buf, &size), PRF_ERR_CURSOR) << c.what;
        EXPECT_EQ(write(p.h, "S", "k", "v"), PRF_ERR_CURSOR) << c.what;
        EXPECT_EQ(PrfCreateSection(p.h, "New"), PRF_ERR_CURSOR) << c.what;
        EXPECT_EQ(PrfDestroySection(p.h, "S"), PRF_ERR_CURSOR) << c.what;
        p.close();
        EXPECT_EQ(bytesOf("broken.prf"), c.file) << c.what;
    }
}

// Lists whose targets name no used block: the block file's codes, and the
// intact parts still readable.
TEST(Prf100Damage, TargetsOutOfRangeGiveBlockErrors)
{
    prf100file::Writer w;
    unsigned long valueBlock = w.block("value"), freed = w.block("free", 'F');
    std::string keys = prf100file::record("ok", valueBlock) + prf100file::record("past", 0x7FFFFFF0)
                     + prf100file::record("header", 40) + prf100file::record("free", freed)
                     + prf100file::record("middle", valueBlock + 2);
    unsigned long keyList = w.block(keys);
    std::string sections = prf100file::record("S", keyList) + prf100file::record("Past", 0x00FFFFFF)
                         + prf100file::record("Free", freed) + prf100file::record("Value list", valueBlock);
    w.header("PRFF100", w.block(sections));
    Bytes file = w.bytes();
    MemProfile p("targets.prf", &file);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(value(p.h, "S", "ok"), "value");
    EXPECT_EQ(value(p.h, "S", "past"), "<error " + std::to_string(FAL_ERR_BEYONDEND) + ">");
    EXPECT_EQ(value(p.h, "S", "header"), "<error " + std::to_string(FAL_ERR_SIGNATURE) + ">");
    EXPECT_EQ(value(p.h, "S", "free"), "<error " + std::to_string(FAL_ERR_BLOCKTYPE) + ">");
    EXPECT_EQ(value(p.h, "S", "middle"), "<error " + std::to_string(FAL_ERR_SIGNATURE) + ">");
    EXPECT_EQ(list(p.h, "Past"), "<error " + std::to_string(FAL_ERR_BEYONDEND) + ">");
    EXPECT_EQ(list(p.h, "Free"), "<error " + std::to_string(FAL_ERR_BLOCKTYPE) + ">");
    // A value block read as a key list: "value" is no list of records.
    EXPECT_EQ(list(p.h, "Value list"), "<error " + std::to_string(PRF_ERR_CURSOR) + ">");
    EXPECT_EQ(write(p.h, "S", "past", "new"), FAL_ERR_BEYONDEND);
    EXPECT_EQ(PrfWriteProfileData(p.h, "S", "free", nullptr, 0), FAL_ERR_BLOCKTYPE);
    EXPECT_EQ(PrfDestroySection(p.h, "Past"), FAL_ERR_BEYONDEND);
    EXPECT_EQ(list(p.h), "S~Past~Free~Value list~");
}

}  // namespace
