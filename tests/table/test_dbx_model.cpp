// A model test of the built-in engine: random appends, writes, deletes,
// freezes and undeletes on a table with three maintained indexes (one
// unique, one case-sensitive), each index walked after every step and
// after reopening, and compared with the order the model computes: keys
// built here from the model's fields, equal keys ordered by the bytes of
// their little-endian record numbers.
#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>
#include "ocdbx.h"
#include "dbxtest.h"

namespace {

struct Row {
    std::string name, code, qty;
    bool alive = true;
};

using dbxtest::field;

std::string pad(std::string s, size_t n) { s.resize(n, ' '); return s; }
std::string upper(std::string s)
{
    for (auto &c : s)
        c = char(std::toupper((unsigned char)c));
    return s;
}

struct Model {
    std::map<ULONG, Row> rows;

    std::string key(int index, const Row &r) const
    {
        switch (index) {
        case 0: return upper(pad(r.name, 10));
        case 1: return upper(pad(r.code, 6));
        default: return pad(r.name, 10) + pad(r.qty, 4);
        }
    }

    std::vector<ULONG> order(int index) const
    {
        std::vector<std::pair<std::string, ULONG>> pairs;
        for (auto &[rec, r] : rows)
            if (r.alive) {
                std::string k = key(index, r);
                for (int b = 0; b < 4; ++b)
                    k += char((rec >> (8 * b)) & 0xFF);
                pairs.push_back({k, rec});
            }
        std::sort(pairs.begin(), pairs.end());
        std::vector<ULONG> out;
        for (auto &p : pairs)
            out.push_back(p.second);
        return out;
    }

    bool duplicateCode(ULONG self, const std::string &code) const
    {
        if (upper(pad(code, 6)) == std::string(6, ' '))
            return false;
        for (auto &[rec, r] : rows)
            if (rec != self && r.alive && upper(pad(r.code, 6)) == upper(pad(code, 6)))
                return true;
        return false;
    }
};

const DBXFIELDDES kFields[] = {field("NAME", 'C', 10), field("CODE", 'C', 6), field("QTY", 'N', 4)};
const char *kByName[] = {"NAME"};
const char *kByCode[] = {"CODE"};
const char *kByNameQty[] = {"NAME", "QTY"};
constexpr ULONG kBase = DBX_ATTACH_CREATE | DBX_ATTACH_MAINTAIN | DBX_ATTACH_ENTERNEW;

void attachAll(OcDbx &t, PDBFIX ix[3])
{
    ix[0] = t.AttachIndex(0, nullptr, kByName, 1, kBase, 0);
    ix[1] = t.AttachIndex(1, nullptr, kByCode, 1, kBase | DBX_ATTACH_UNIQUE, 0);
    ix[2] = t.AttachIndex(2, nullptr, kByNameQty, 2, kBase | DBX_ATTACH_CASE, 0);
}

void checkAgainst(OcDbx &t, PDBFIX ix[3], const Model &m, int step)
{
    for (int i = 0; i < 3; ++i) {
        std::vector<ULONG> got;
        for (ULONG r = t.FirstRec(ix[i]); r != 0 && r != DBX_NO_RECORD; r = t.NextRec(ix[i])) {
            got.push_back(r);
            char name[16];
            t.QueryField("NAME", name, sizeof name);
            ASSERT_EQ(pad(m.rows.at(r).name, 10), name) << "step " << step;
        }
        ASSERT_EQ(got, m.order(i)) << "index " << i << " after step " << step;
        ASSERT_EQ(t.QueryNrKeys(ix[i]), got.size()) << "index " << i << " after step " << step;
    }
}

std::string pick(std::mt19937 &rng, const std::vector<std::string> &from)
{
    return from[rng() % from.size()];
}

TEST(DbxModel, RandomChangesKeepThreeIndexesInStep)
{
    DbxGetVtbl()->FileOp(DBX_FILE_DELETE, "MODEL", nullptr, 0);
    const std::vector<std::string> names = {"ann", "Ann", "ANN", "bob", "Bob", "cy", "dee", "Eve"};
    const std::vector<std::string> codes = {"", "", "", "A1", "a1", "B2", "C3", "D4", "E5"};
    const std::vector<std::string> qtys = {"1", "2", "10", "99"};
    std::mt19937 rng(20261207);
    Model m;
    OcDbx t;
    ASSERT_TRUE(t.Create("MODEL", kFields, 3));
    PDBFIX ix[3];
    attachAll(t, ix);
    ASSERT_TRUE(ix[0] && ix[1] && ix[2]);

    for (int step = 0; step < 160; ++step) {
        std::vector<ULONG> alive, dead;
        for (auto &[rec, r] : m.rows)
            (r.alive ? alive : dead).push_back(rec);
        int op = int(rng() % 10);
        if (op < 4 || alive.empty()) {
            Row r{pick(rng, names), pick(rng, codes), pick(rng, qtys)};
            t.ClearBuffer();
            t.SetField("NAME", r.name.c_str());
            t.SetField("CODE", r.code.c_str());
            t.SetField("QTY", r.qty.c_str());
            ULONG rec = t.Append(0);
            ASSERT_EQ(rec, m.rows.size() + 1);
            bool dup = m.duplicateCode(rec, r.code);
            m.rows[rec] = r;
            ASSERT_EQ(t.CheckUnique(rec) != 0, !dup) << "step " << step;
            if (dup) {
                ASSERT_TRUE(t.DeleteRecordIx(rec, 1, 0));
                m.rows[rec].alive = false;
            }
        } else if (op < 7) {
            ULONG rec = alive[rng() % alive.size()];
            Row r = m.rows[rec];
            ASSERT_TRUE(t.Read(rec, 1));
            if (rng() % 2)
                r.name = pick(rng, names);
            if (rng() % 3 == 0)
                r.code = pick(rng, codes);
            r.qty = pick(rng, qtys);
            t.SetField("NAME", r.name.c_str());
            t.SetField("CODE", r.code.c_str());
            t.SetField("QTY", r.qty.c_str());
            bool dup = m.duplicateCode(rec, r.code);
            ASSERT_EQ(t.CheckUnique(rec) != 0, !dup) << "step " << step;
            if (dup) {
                ASSERT_TRUE(t.WriteCmd(rec, DBX_WRITE_RELEASE));
            } else {
                ASSERT_TRUE(t.WriteCmd(rec, DBX_WRITE_UNLOCK));
                m.rows[rec] = r;
            }
        } else if (op < 9) {
            ULONG rec = alive[rng() % alive.size()];
            ASSERT_TRUE(t.DeleteRecordIx(rec, 1, op == 8));
            m.rows[rec].alive = false;
        } else if (!dead.empty()) {
            ULONG rec = dead[rng() % dead.size()];
            if (!m.duplicateCode(rec, m.rows[rec].code)) {
                ASSERT_TRUE(t.DeleteRecordIx(rec, 0, 0));
                m.rows[rec].alive = true;
            }
        }
        checkAgainst(t, ix, m, step);
        if (HasFatalFailure())
            return;
    }
    t.Close();
    ASSERT_TRUE(t.Open("MODEL", nullptr, 0, 0));
    attachAll(t, ix);
    ASSERT_TRUE(ix[0] && ix[1] && ix[2]);
    checkAgainst(t, ix, m, -1);
    for (auto &[rec, r] : m.rows)
        EXPECT_EQ(t.QueryDeleted(rec) || t.QueryFlags(rec, DBX_FLAG_FROZEN), !r.alive) << rec;
}

}  // namespace
