/*
 * test_brd_model.cpp - documents and fields against an in-memory model.
 *
 * Random steps add and delete documents and set and delete fields: small
 * values, values of tens of kilobytes, compressed copies of disk files and
 * "[path]" file references, with two indexes open on NAME and DATE.
 * After every step the document touched is compared with the model (its
 * field list in order, every value, the compressed flags) and each index's
 * document order with a sort of the model's keys; every 25 steps and at
 * the end the whole archive is; then the archive is closed, reopened and
 * compared again, and the profile's own check must pass.  Indexed fields
 * are set but never deleted, so every live document has exactly one pair
 * per index.
 */
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>
#include "arctest.h"
#include "vbf.h"

using namespace arctest;

namespace {

struct Field {
    std::string value;
    bool compressed = false;
};

/* A document: field names in list order, and their contents. */
struct ModelDoc {
    std::vector<std::string> order;
    std::map<std::string, Field> fields;
};

struct Segment {
    const char *field;
    size_t width;
    char justify;
};

const std::vector<Segment> kNameIndex = {{"NAME", 8, 'L'}};
const std::vector<Segment> kDateIndex = {{"DATE", 4, 'R'}, {"NAME", 6, 'C'}};
constexpr const char *kNameText = "NAME,8,L";
constexpr const char *kDateText = "DATE,4,R;NAME,6,C";
const char *const kFreeFields[] = {"Body", "Packed", "Ref", "Note"};

/* Fields that hold files have type 'F', as the copies give a new field. */
USHORT typeOf(const std::string &field)
{
    return field == "Packed" || field == "Ref" ? 'F' : 'T';
}

std::string keyOf(const ModelDoc &d, const std::vector<Segment> &segments)
{
    std::string key;
    for (const Segment &s : segments) {
        auto it = d.fields.find(s.field);
        std::string v = it == d.fields.end() ? "" : it->second.value.substr(0, s.width);
        size_t pad = s.width - v.size();
        size_t before = s.justify == 'R' ? pad : s.justify == 'C' ? pad / 2 : 0;
        key += std::string(before, '\0') + v + std::string(pad - before, '\0');
    }
    return key;
}

std::string readAll(HVBF f)
{
    std::string out;
    char buf[8192];
    ULONG got = 0;
    while (VbfRead(f, buf, sizeof buf, &got) == 0 && got > 0)
        out.append(buf, got);
    return out;
}

class DocumentModel : public ::testing::TestWithParam<USHORT> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(BrcCreate(nullptr, arc.out(), file.c_str(), GetParam()), 0);
        openIndexes();
    }
    void openIndexes()
    {
        ASSERT_EQ(BrcIxOpenStr(arc, kNameText, &byName), 0);
        ASSERT_EQ(BrcIxOpenStr(arc, kDateText, &byDate), 0);
    }
    void reopen()
    {
        ASSERT_EQ(arc.close(), 0);
        ASSERT_EQ(BrcOpen(nullptr, arc.out(), file.c_str(), GetParam()), 0);
        openIndexes();
    }

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }
    std::string letters(size_t length)
    {
        std::string v(length, ' ');
        for (char &c : v)
            c = char('a' + pick(26));
        return v;
    }

    void setModel(USHORT n, const std::string &name, Field f)
    {
        ModelDoc &d = docs[n];
        if (!d.fields.count(name))
            d.order.push_back(name);
        d.fields[name] = std::move(f);
    }

    void addDocument()
    {
        Doc d;
        ASSERT_EQ(BrdAddDocument(arc, d.out(), "site", "id", TRUE, FALSE), 0);
        USHORT n = BrdGetDocNumber(d);
        ASSERT_EQ(docs.count(n), 0u);
        docs[n];
        for (const char *f : {"NAME", "DATE"}) {
            std::string v = letters(1 + pick(9));
            ASSERT_EQ(setText(d, f, v), 0);
            setModel(n, f, {v, false});
        }
        touched = n;
    }

    void deleteDocument(USHORT n)
    {
        Doc d;
        ASSERT_EQ(BrdOpenDocument(arc, d.out(), n, FALSE), 0);
        ASSERT_EQ(BrdDeleteDocument(d.release()), 0);
        docs.erase(n);
    }

    void changeField(USHORT n)
    {
        Doc d;
        ASSERT_EQ(BrdOpenDocument(arc, d.out(), n, TRUE), 0);
        touched = n;
        switch (pick(6)) {
        case 0: {   // an indexed field, through BrdFldSet or SetString
            const char *f = pick(2) ? "NAME" : "DATE";
            std::string v = letters(pick(12));
            if (pick(2))
                ASSERT_EQ(setText(d, f, v), 0);
            else
                ASSERT_EQ(BrdFldSetString(d, f, v.c_str()), 0);
            setModel(n, f, {v, false});
            break;
        }
        case 1: {   // a small or a large value
            std::string v = letters(pick(2) ? 1 + pick(100) : 20000 + pick(60000));
            ASSERT_EQ(setText(d, "Body", v), 0);
            setModel(n, "Body", {v, false});
            break;
        }
        case 2: {   // a disk file copied in compressed
            std::string v = letters(1 + pick(30000)) + std::string(pick(5000), 'z');
            ASSERT_TRUE(writeFile(source, v));
            ASSERT_EQ(BrdFldCopyFromDisk(d, "Packed", source.c_str(), TRUE), 0);
            setModel(n, "Packed", {v, true});
            break;
        }
        case 3: {   // a file reference, compressed or not
            std::string v = letters(1 + pick(3000));
            ASSERT_TRUE(writeFile(source, v));
            bool compress = pick(2) != 0;
            std::string ref = "[" + source + "]";
            if (docs[n].fields.count("Ref")) {
                ASSERT_EQ(BrdFldDelete(d, "Ref"), 0);
                auto &order = docs[n].order;
                order.erase(std::find(order.begin(), order.end(), "Ref"));
                docs[n].fields.erase("Ref");
            }
            ASSERT_EQ(BrdFldSet(d, "Ref", 'F', ref.data(), ULONG(ref.size()), compress), 0);
            setModel(n, "Ref", {v, compress});
            break;
        }
        default: {  // a free field set small or deleted
            const char *f = kFreeFields[pick(4)];
            ModelDoc &m = docs[n];
            if (m.fields.count(f) && pick(2)) {
                ASSERT_EQ(BrdFldDelete(d, f), 0);
                m.order.erase(std::find(m.order.begin(), m.order.end(), f));
                m.fields.erase(f);
            } else if (!m.fields.count(f) || !m.fields[f].compressed) {
                std::string v = letters(pick(50));
                ASSERT_EQ(setText(d, f, v, typeOf(f)), 0);
                setModel(n, f, {v, false});
            }
        }
        }
    }

    void checkDocument(USHORT n)
    {
        SCOPED_TRACE("document " + std::to_string(n));
        const ModelDoc &m = docs.at(n);
        Doc d;
        ASSERT_EQ(BrdOpenDocument(arc, d.out(), n, FALSE), 0);
        USHORT count = 0;
        ASSERT_EQ(BrdGetNrFields(d, &count), 0);
        ASSERT_EQ(count, m.order.size());
        for (USHORT i = 0; i < count; i++) {
            char name[64];
            ASSERT_EQ(BrdFldGetName(d, i, name, sizeof name), 0);
            ASSERT_EQ(name, m.order[i]);
            const Field &f = m.fields.at(name);
            USHORT compressed = 9;
            ASSERT_EQ(BrdFldGetCompressed(d, name, &compressed), 0);
            ASSERT_EQ(compressed != 0, f.compressed) << name;
            HVBF file = nullptr;
            ASSERT_EQ(BrdFldGetVbf(d, name, FALSE, FALSE, &file), 0) << name;
            std::string got = readAll(file);
            VbfClose(file);
            ASSERT_EQ(got.size(), f.value.size()) << name;
            ASSERT_TRUE(got == f.value) << name;
        }
    }

    std::vector<USHORT> walk(BrcIndexEntry *e)
    {
        std::vector<USHORT> out;
        USHORT n = 0;
        if (BrcIxFirst(arc, e, &n) != 0)
            return out;
        out.push_back(n);
        while (BrcIxNextPrev(arc, e, n, 1, &n) == 0)
            out.push_back(n);
        return out;
    }

    void checkIndexes()
    {
        for (auto [entry, segments] : {std::pair{byName, &kNameIndex}, std::pair{byDate, &kDateIndex}}) {
            std::vector<std::string> pairs;
            for (const auto &[n, d] : docs) {
                ULONG le = n;
                pairs.push_back(keyOf(d, *segments) + std::string(reinterpret_cast<char *>(&le), 4));
            }
            std::sort(pairs.begin(), pairs.end());
            std::vector<USHORT> want;
            for (const std::string &p : pairs) {
                ULONG n;
                memcpy(&n, p.data() + p.size() - 4, 4);
                want.push_back(USHORT(n));
            }
            ASSERT_EQ(BrcIxQueryNrKeys(arc, entry), ULONG(docs.size()));
            ASSERT_EQ(walk(entry), want);
        }
    }

    void checkAll()
    {
        USHORT count = 0;
        ASSERT_EQ(BrcGetNrDocs(arc, &count), 0);
        ASSERT_EQ(count, docs.size());
        for (const auto &[n, d] : docs)
            checkDocument(n);
        checkIndexes();
    }

    ScratchDir dir{"arc_model_" + std::to_string(GetParam())};
    std::string file = dir.path("model.arc");
    std::string source = dir.path("source.bin");
    Archive arc;
    BrcIndexEntry *byName = nullptr, *byDate = nullptr;
    std::map<USHORT, ModelDoc> docs;
    std::mt19937 rng{20261206u + GetParam()};
    USHORT touched = 0;
};

TEST_P(DocumentModel, RandomStepsMatchTheModel)
{
    // Shared mode pays a lock round trip per call: fewer steps there.
    const int steps = GetParam() ? 120 : 300;
    for (int step = 0; step < steps; step++) {
        SCOPED_TRACE("step " + std::to_string(step));
        size_t what = pick(10);
        if (docs.size() < 3 || what < 2) {
            ASSERT_NO_FATAL_FAILURE(addDocument());
        } else {
            auto it = std::next(docs.begin(), long(pick(docs.size())));
            if (what == 2) {
                ASSERT_NO_FATAL_FAILURE(deleteDocument(it->first));
                ASSERT_NO_FATAL_FAILURE(checkIndexes());
                continue;
            }
            ASSERT_NO_FATAL_FAILURE(changeField(it->first));
        }
        ASSERT_NO_FATAL_FAILURE(checkDocument(touched));
        ASSERT_NO_FATAL_FAILURE(checkIndexes());
        if (step % 25 == 24) {
            ASSERT_NO_FATAL_FAILURE(checkAll());
        }
    }
    ASSERT_NO_FATAL_FAILURE(checkAll());
    ASSERT_NO_FATAL_FAILURE(reopen());
    ASSERT_NO_FATAL_FAILURE(checkAll());
    EXPECT_EQ(PrfCheckConsistent(BrcGetPrfHandle(arc)), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, DocumentModel, ::testing::Values(USHORT(0), USHORT(1)),
                         [](const auto &info) { return info.param ? "Shared" : "Exclusive"; });

}  // namespace

namespace {

/* The documents of an index in its order (stepping stops after 100: a
 * document whose key is not the one indexed sends the step elsewhere). */
std::vector<USHORT> order(BrcArchive *a, BrcIndexEntry *e)
{
    std::vector<USHORT> out;
    USHORT n = 0;
    if (BrcIxFirst(a, e, &n) == 0) {
        out.push_back(n);
        while (out.size() < 100 && BrcIxNextPrev(a, e, n, 1, &n) == 0)
            out.push_back(n);
    }
    return out;
}

TEST(FieldFileKeys, AFieldFileKeepsItsOwnKeysWhileOtherDocumentsChange)
{
    ScratchDir dir("arc_model_keys");
    std::string file = dir.path("keys.arc");
    Archive arc;
    ASSERT_EQ(BrcCreate(nullptr, arc.out(), file.c_str(), 0), 0);
    BrcIndexEntry *e = nullptr;
    ASSERT_EQ(BrcIxOpenStr(arc, "NAME,4,L", &e), 0);
    Doc d0, d1;
    ASSERT_EQ(BrdAddDocument(arc, d0.out(), "s", "0", TRUE, FALSE), 0);
    ASSERT_EQ(BrdAddDocument(arc, d1.out(), "s", "1", TRUE, FALSE), 0);
    ASSERT_EQ(setText(d0, "NAME", "bbbb"), 0);
    ASSERT_EQ(setText(d1, "NAME", "cccc"), 0);
    // Field lists reach the file on close: the walk below opens documents afresh.
    ASSERT_EQ(d0.close(), 0);
    ASSERT_EQ(d1.close(), 0);
    ASSERT_EQ(BrdOpenDocument(arc, d0.out(), 0, FALSE), 0);
    ASSERT_EQ(BrdOpenDocument(arc, d1.out(), 1, FALSE), 0);
    HVBF f = nullptr;
    ASSERT_EQ(BrdFldGetVbf(d0, "NAME", FALSE, FALSE, &f), 0);
    // Another document's change between the open and the close of the file.
    ASSERT_EQ(BrdFldSetString(d1, "NAME", "aaaa"), 0);
    ULONG done = 0;
    ASSERT_EQ(VbfWrite(f, "dddd", 4, &done), 0);
    ASSERT_EQ(VbfClose(f), 0);
    EXPECT_EQ(BrcIxQueryNrKeys(arc, e), 2u);
    EXPECT_EQ(order(arc, e), (std::vector<USHORT>{1, 0}));
}

}  // namespace
