/*
 * test_brc_ixmodel.cpp - archive indexes against a model: random document
 * adds and deletes and field sets and deletes with three indexes open,
 * each index's pairs compared after every step with the model's, then
 * again after the archive is closed and reopened; finally a rebuild.
 *
 * The model keeps the documents' fields and, per index, the set of pairs
 * the maintenance rules leave: around a value change the pair of the key
 * before (the field counting as present, its value empty when new) moves
 * to the key after; a new document enters its key, a deleted one removes
 * its current key; deleting a field leaves the pairs alone.  A pair is
 * the key bytes followed by the document number as a little-endian u32,
 * so the set's order is the index's.  The indexes are walked with the Ixd
 * calls on each entry's own tree (white-box: the entry record).
 */
#include <gtest/gtest.h>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/arcint.h"
#include "archive/ixtest.h"

namespace {

struct Seg {
    const char *name;
    size_t length;
    char justify;   // 'L', 'R' or 'C'
    bool required;
};

struct Definition {
    const char *text;
    std::vector<Seg> segments;
};

const std::array<Definition, 3> kIndexes = {{
    {"A,3,L;B,2,R", {{"A", 3, 'L', false}, {"B", 2, 'R', false}}},
    {"B,4,CN", {{"B", 4, 'C', true}}},
    {"C,2,R;A,2,LN", {{"C", 2, 'R', false}, {"A", 2, 'L', true}}},
}};
const char *const kFieldNames[] = {"A", "B", "C"};

using FieldMap = std::map<std::string, std::string>;
using Pairs = std::set<std::string>;

/* The key the rules give, built here independently of the library. */
std::optional<std::string> modelKey(const FieldMap &fields, const Definition &def)
{
    std::string key;
    for (const Seg &s : def.segments) {
        auto it = fields.find(s.name);
        if (it == fields.end() && s.required)
            return std::nullopt;
        std::string value = it == fields.end() ? "" : it->second.substr(0, s.length);
        size_t pad = s.length - value.size();
        size_t before = s.justify == 'R' ? pad : s.justify == 'C' ? pad / 2 : 0;
        key += std::string(before, '\0') + value + std::string(pad - before, '\0');
    }
    return key;
}

std::string pair(const std::string &key, USHORT number)
{
    std::string p = key;
    for (int i = 0; i < 4; i++)
        p += char((ULONG(number) >> (8 * i)) & 0xFF);
    return p;
}

/* The pairs of an entry's tree in its order. */
std::vector<std::string> treePairs(BrcIndexEntry *entry)
{
    std::vector<std::string> out;
    std::string key(entry->keyLength, '\0');
    ULONG record = 0, error = 0;
    USHORT rc = IxdFirst(entry->ix, key.data(), &record, &error);
    while (rc == 0 && out.size() < 100000) {
        out.push_back(pair(key, USHORT(record)));
        rc = IxdNext(entry->ix, key.data(), &record, &error);
    }
    EXPECT_EQ(error, ULONG(IXD_ERR_NOT_FOUND));
    return out;
}

class IndexModel : public ixtest::ArchiveTest, public ::testing::WithParamInterface<USHORT> {
protected:
    std::mt19937 random{20240611u + GetParam()};
    std::map<USHORT, FieldMap> docs;
    USHORT nrDocs = 0;
    std::array<Pairs, 3> pairs;
    std::array<BrcIndexEntry *, 3> entries{};
    std::string lastStep;

    void SetUp() override
    {
        ArchiveTest::SetUp();
        if (GetParam() != 0)
            reopen(GetParam());
        openIndexes();
    }

    void openIndexes()
    {
        for (size_t i = 0; i < kIndexes.size(); i++) {
            entries[i] = nullptr;
            if (i == 1) {   // one of them through segments
                BrcIxSegment s{};
                strcpy(s.name, "B");
                s.length = 4;
                s.flags = BRC_SEG_CENTER | BRC_SEG_REQUIRED;
                ASSERT_EQ(BrcIxOpen(a, &s, 1, &entries[i]), 0);
            } else {
                ASSERT_EQ(BrcIxOpenStr(a, kIndexes[i].text, &entries[i]), 0);
            }
            ASSERT_NE(entries[i], nullptr);
        }
    }

    size_t pick(size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); }

    USHORT anyDoc()
    {
        auto it = docs.begin();
        std::advance(it, pick(docs.size()));
        return it->first;
    }

    std::string anyValue()
    {
        std::string v;
        size_t length = pick(6);
        for (size_t i = 0; i < length; i++)
            v += "abz"[pick(3)];
        return v;
    }

    void keyChange(USHORT number, const FieldMap &before, const FieldMap &after)
    {
        for (size_t i = 0; i < kIndexes.size(); i++) {
            auto oldKey = modelKey(before, kIndexes[i]);
            auto newKey = modelKey(after, kIndexes[i]);
            if (oldKey && newKey && *oldKey == *newKey)
                continue;
            if (oldKey)
                pairs[i].erase(pair(*oldKey, number));
            if (newKey)
                pairs[i].insert(pair(*newKey, number));
        }
    }

    void setField(BrdDocument *d, USHORT number)
    {
        std::string name = kFieldNames[pick(3)], value = anyValue();
        lastStep = "set " + name + "='" + value + "' on " + std::to_string(number);
        FieldMap &fields = docs[number];
        FieldMap before = fields;
        before.emplace(name, "");   // a new field is in the list before its value is written
        ASSERT_EQ(BrdFldSet(d, name.c_str(), 'C', value.data(), ULONG(value.size()), FALSE), 0)
            << lastStep;
        fields[name] = value;
        keyChange(number, before, fields);
    }

    void addDocument()
    {
        BrdDocument *d = nullptr;
        ASSERT_EQ(BrdAddDocument(a, &d, "site", "id", TRUE, FALSE), 0);
        USHORT number = BrdGetDocNumber(d);
        EXPECT_EQ(number, nrDocs);
        lastStep = "add " + std::to_string(number);
        nrDocs = USHORT(number + 1);
        docs[number];
        for (size_t i = 0; i < kIndexes.size(); i++)   // the new document enters with no fields
            if (auto key = modelKey({}, kIndexes[i]))
                pairs[i].insert(pair(*key, number));
        for (size_t n = pick(3); n > 0; n--)
            setField(d, number);
        ASSERT_EQ(BrdCloseDocument(d), 0);
    }

    void deleteDocument()
    {
        USHORT number = anyDoc();
        lastStep = "delete " + std::to_string(number);
        BrdDocument *d = nullptr;
        ASSERT_EQ(BrdOpenDocument(a, &d, number, FALSE), 0);
        ASSERT_EQ(BrdDeleteDocument(d), 0);
        for (size_t i = 0; i < kIndexes.size(); i++)
            if (auto key = modelKey(docs[number], kIndexes[i]))
                pairs[i].erase(pair(*key, number));
        docs.erase(number);
        if (number + 1 == nrDocs)
            nrDocs = number;
    }

    void changeFields()
    {
        USHORT number = anyDoc();
        BrdDocument *d = nullptr;
        ASSERT_EQ(BrdOpenDocument(a, &d, number, FALSE), 0);
        FieldMap &fields = docs[number];
        if (!fields.empty() && pick(3) == 0) {
            auto it = fields.begin();
            std::advance(it, pick(fields.size()));
            lastStep = "delete field " + it->first + " of " + std::to_string(number);
            EXPECT_EQ(BrdFldDelete(d, it->first.c_str()), 0) << lastStep;
            fields.erase(it);   // the pairs stay as they are
        } else {
            setField(d, number);
        }
        ASSERT_EQ(BrdCloseDocument(d), 0);
    }

    void step()
    {
        size_t what = pick(10);
        if (docs.empty() || what < 3)
            addDocument();
        else if (what < 4)
            deleteDocument();
        else
            changeFields();
    }

    void compare(const std::string &when)
    {
        for (size_t i = 0; i < kIndexes.size(); i++) {
            std::vector<std::string> want(pairs[i].begin(), pairs[i].end());
            ASSERT_EQ(treePairs(entries[i]), want)
                << "index " << kIndexes[i].text << " " << when << " after " << lastStep;
        }
    }
};

TEST_P(IndexModel, RandomChangesKeepEveryIndexInOrder)
{
    constexpr int kSteps = 400;
    for (int s = 0; s < kSteps; s++) {
        ASSERT_NO_FATAL_FAILURE(step());
        ASSERT_NO_FATAL_FAILURE(compare("step " + std::to_string(s)));
    }
    size_t total = pairs[0].size() + pairs[1].size() + pairs[2].size();
    EXPECT_GT(total, 30u);   // the walk covered something

    reopen(GetParam());
    openIndexes();
    ASSERT_NO_FATAL_FAILURE(compare("after reopening"));
    EXPECT_EQ(PrfCheckConsistent(BrcGetPrfHandle(a)), 0);

    // A rebuild leaves exactly the documents' current keys.
    ASSERT_EQ(BrcIxBuildIx(a, entries[0]), 0);
    pairs[0].clear();
    for (const auto &[number, fields] : docs)
        pairs[0].insert(pair(*modelKey(fields, kIndexes[0]), number));
    ASSERT_NO_FATAL_FAILURE(compare("after the rebuild"));
    bool everyDocHasB = true;
    for (const auto &[number, fields] : docs)
        everyDocHasB = everyDocHasB && fields.count("B") != 0;
    EXPECT_EQ(BrcIxBuildIx(a, entries[1]), everyDocHasB ? 0 : BRC_ERR_GENERAL);
}

INSTANTIATE_TEST_SUITE_P(ExclusiveAndShared, IndexModel, ::testing::Values(USHORT(0), USHORT(1)));

}  // namespace
