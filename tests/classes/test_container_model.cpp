// Random operations on the three containers, checked step by step against
// models built on std::deque, std::vector and std::map that follow the
// containers' rules independently (ring drop, growth by one slot, table
// growth by ten, case-blind names).
#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>
#include "ocarray.h"
#include "ocstack.h"
#include "octable.h"

namespace {

struct StackModel {
    ULONG elementSize, capacity;
    bool ring;
    std::deque<std::string> items;  // front = bottom

    void push(const std::string *data, ULONG size)
    {
        if (capacity == 0)
            capacity = 1;
        else if (items.size() == capacity) {
            if (ring)
                items.pop_front();
            else
                capacity++;
        }
        std::string e(elementSize, '\0');
        if (data) {
            ULONG n = size == 0 || size > elementSize ? elementSize : size;
            e.replace(0, n, data->substr(0, n));
        }
        items.push_back(e);
    }
    const std::string *at(long index) const
    {
        long pos = index >= 1 ? index : (long)items.size() + index;
        if (pos < 1 || pos > (long)items.size())
            return nullptr;
        return &items[pos - 1];
    }
    void sort(bool cs, bool desc)
    {
        auto key = [&](const std::string &s) {
            std::string k = s;
            if (!cs)
                for (auto &c : k)
                    c = (char)tolower((unsigned char)c);
            return k;
        };
        std::stable_sort(items.begin(), items.end(), [&](const std::string &a, const std::string &b) {
            int r = key(a).compare(key(b));  // unsigned bytes: char_traits<char> compares as unsigned
            return desc ? r > 0 : r < 0;
        });
    }
};

std::string randomData(std::mt19937 &rng, size_t n)
{
    static const char kAlphabet[] = "aAbBzZ09";
    std::string s(n, '\0');
    for (auto &c : s)
        c = kAlphabet[rng() % 8];
    return s;
}

void expectSame(const OcStack &s, const StackModel &m, int step)
{
    ASSERT_EQ(s.TopElement(), m.items.size()) << "step " << step;
    ASSERT_EQ(s.Size(), m.capacity) << "step " << step;
    std::string out(m.elementSize, 'x');
    for (size_t i = 0; i < m.items.size(); i++) {
        ASSERT_EQ(s.GetAt((LONG)i + 1, out.data(), 0), 1);
        ASSERT_EQ(out, m.items[i]) << "step " << step << " element " << i + 1;
    }
}

void runStack(ULONG elementSize, ULONG capacity, bool ring, unsigned seed)
{
    SCOPED_TRACE("element " + std::to_string(elementSize) + " capacity " +
                 std::to_string(capacity) + (ring ? " ring" : ""));
    std::mt19937 rng(seed);
    OcStack s(elementSize, capacity, ring);
    StackModel m{elementSize, capacity, ring, {}};
    std::string out(elementSize + 8, 'x');
    for (int step = 0; step < 1500; step++) {
        unsigned op = rng() % 100;
        if (op < 50) {
            ULONG size = rng() % 3 == 0 ? 0 : rng() % (elementSize + 4);
            std::string data = randomData(rng, elementSize + 4);
            bool null = rng() % 16 == 0;
            ASSERT_EQ(s.Push(null ? nullptr : data.data(), size), 1);
            m.push(null ? nullptr : &data, size);
        } else if (op < 75) {
            ULONG size = rng() % (elementSize + 2);
            out.assign(elementSize + 8, 'x');
            std::string expect = out;
            bool had = !m.items.empty();
            if (had) {
                ULONG n = size == 0 || size > elementSize ? elementSize : size;
                expect.replace(0, n, m.items.back().substr(0, n));
                m.items.pop_back();
            }
            ASSERT_EQ(s.Pop(out.data(), size), had ? 1 : 0);
            ASSERT_EQ(out, expect) << "step " << step;
        } else if (op < 90) {
            long index = (long)(rng() % (2 * m.items.size() + 5)) - (long)m.items.size() - 2;
            const std::string *e = m.at(index);
            ASSERT_EQ(s.GetAt(index, out.data(), 0), e ? 1 : 0) << "index " << index;
            if (e) {
                ASSERT_EQ(out.substr(0, elementSize), *e);
            }
        } else if (op < 93) {
            ASSERT_EQ(s.Invert(), 1);
            std::reverse(m.items.begin(), m.items.end());
        } else if (op < 96) {
            bool cs = rng() % 2, desc = rng() % 2;
            ASSERT_EQ(s.Sort(cs, desc) != 0, m.items.size() >= 2);
            if (m.items.size() >= 2)
                m.sort(cs, desc);
        } else if (op < 98) {
            OcStack copy(s);  // a copy's capacity is the element count
            m.capacity = (ULONG)m.items.size();
            s = copy;
        } else if (op < 99) {
            s.Clear();
            m.items.clear();
        } else {
            s.Free();
            m.items.clear();
            m.capacity = 0;
        }
        expectSame(s, m, step);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

}  // namespace

TEST(ContainerModel, StackAgainstDeque)
{
    runStack(4, 3, true, 1);
    runStack(12, 0, false, 2);
    runStack(7, 5, true, 3);
    runStack(1024, 2, false, 4);  // indirect storage
    runStack(2000, 4, true, 5);
    runStack(300, 300, false, 6);  // indirect by total size
}

TEST(ContainerModel, ArrayAgainstVector)
{
    std::mt19937 rng(11);
    static int cells[64];
    OcArray a(3);
    std::vector<void *> m;
    for (int step = 0; step < 4000; step++) {
        unsigned op = rng() % 10;
        void *p = rng() % 20 == 0 ? nullptr : &cells[rng() % 64];
        ULONG i = rng() % (m.size() + 3), j = rng() % (m.size() + 3);
        if (op < 3) {
            ASSERT_EQ(a.Append(p), p ? 1 : 0);
            if (p)
                m.push_back(p);
        } else if (op < 5) {
            ASSERT_EQ(a.Insert(i, p), p ? 1 : 0);
            if (p)
                m.insert(m.begin() + std::min<size_t>(i, m.size()), p);
        } else if (op < 7) {
            bool in = i < m.size();
            ASSERT_EQ(rng() % 2 ? a.Remove(i) : a.Delete(i), in ? 1 : 0);
            if (in)
                m.erase(m.begin() + i);
        } else if (op < 8) {
            bool in = i < m.size() && j < m.size();
            ASSERT_EQ(a.Swap(i, j), in ? 1 : 0);
            if (in)
                std::swap(m[i], m[j]);
        } else if (op < 9) {
            ASSERT_EQ(a.GetAt(i), i < m.size() ? m[i] : nullptr);
        } else if (rng() % 50 == 0) {
            a.RemoveAll();
            m.clear();
        }
        ASSERT_EQ(a.Count(), m.size()) << "step " << step;
    }
    for (size_t i = 0; i < m.size(); i++)
        ASSERT_EQ(a.GetAt((ULONG)i), m[i]);
}

TEST(ContainerModel, TableAgainstMap)
{
    std::mt19937 rng(21);
    const char *names[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta",
                           "iota", "kappa", "lambda", "mu", "nu", "xi", "omicron", "pi"};
    static int cells[8];
    const ULONG kInitial = 4;
    OcTable t(kInitial);
    std::map<std::string, void *> m;
    ULONG slots = 0;
    for (int step = 0; step < 3000; step++) {
        std::string name = names[rng() % 16];
        std::string lower = name;
        for (auto &c : name)
            if (rng() % 2)
                c = (char)toupper((unsigned char)c);
        unsigned op = rng() % 10;
        if (op < 4) {
            void *v = &cells[rng() % 8];
            ASSERT_EQ(t.NameAdd(name.c_str(), v), 1);
            if (!m.count(lower)) {
                if (slots == 0)
                    slots = kInitial;
                else if (m.size() == slots)
                    slots += 10;
            }
            m[lower] = v;
        } else if (op < 7) {
            bool in = m.erase(lower) != 0;
            ASSERT_EQ(t.NameDelete(name.c_str()), in ? 1 : 0);
        } else {
            auto it = m.find(lower);
            ASSERT_EQ(t.NameLookup(name.c_str()), it == m.end() ? nullptr : it->second);
        }
        ASSERT_EQ(t.Count(), m.size()) << "step " << step;
        ASSERT_EQ(t.Slots(), slots) << "step " << step;
    }
}
