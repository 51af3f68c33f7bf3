// Random list programs checked against a model of Lisp values.
//
// Lists are shared between variables inside the interpreter, so every
// variable must still behave as if it held a copy of its own.  Each run
// applies a few thousand random assignments built from cons, cdr, car,
// list, append, &rest parameters and locals to six variables, mirrors them
// on a plain C++ model, and compares every variable's printed value and
// pairwise equality with the model's.  Some assignments fail halfway,
// after copies of variables have been taken, and must change nothing.
// Afterwards the node pool and the heap must be back where they started.
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include "knl.h"
#include "lsp.h"
#include "lsp_fixture.h"

namespace {

// A model value: nil, an integer, or a list of values.  Stored values
// never hold empty lists (they become nil), so the model has none either.
struct Val;
using ValP = std::shared_ptr<const Val>;
struct Val {
    enum Kind { NIL, INT, LIST } kind = NIL;
    long n = 0;
    std::vector<ValP> items;
};

ValP nil() { return std::make_shared<Val>(); }

ValP integer(long n)
{
    auto v = std::make_shared<Val>();
    v->kind = Val::INT;
    v->n = n;
    return v;
}

ValP listOf(std::vector<ValP> items)
{
    if (items.empty())
        return nil();
    auto v = std::make_shared<Val>();
    v->kind = Val::LIST;
    v->items = std::move(items);
    return v;
}

bool isListOrNil(const ValP &v) { return v->kind != Val::INT; }

std::string print(const ValP &v)
{
    if (v->kind == Val::NIL)
        return "NIL";
    if (v->kind == Val::INT)
        return std::to_string(v->n);
    std::string s = "(";
    for (size_t i = 0; i < v->items.size(); i++)
        s += (i ? " " : "") + print(v->items[i]);
    return s + ")";
}

size_t size(const ValP &v)
{
    size_t total = 1;
    for (const ValP &e : v->items)
        total += size(e);
    return total;
}

const int kVars = 6;
const size_t kMaxSize = 300;      // keeps every printed value well inside the buffer

class LispValues : public LispSessionTest {
protected:
    std::vector<char> out = std::vector<char>(16384);

    void SetUp() override { startSession(16384, nullptr); }
    std::string eval(const std::string &text)
    {
        USHORT rc = LspParseExpressions(s, text.c_str(), out.data(), (USHORT)out.size(), nullptr);
        EXPECT_EQ(rc, 0) << text;
        return out.data();
    }
};

// One random assignment: its source text and the model value it gives,
// or no text when the operation does not apply to the current values.
struct Step {
    std::string text;
    ValP result;          // null: the assignment fails and changes nothing
};

Step randomStep(std::mt19937 &rng, const std::vector<ValP> &vars)
{
    std::uniform_int_distribution<int> pick(0, kVars - 1), op(0, 12), num(-50, 50);
    int k = pick(rng), i = pick(rng), j = pick(rng);
    std::string vi = "v" + std::to_string(i), vj = "v" + std::to_string(j);
    const ValP &a = vars[i], &b = vars[j];
    Step st;
    switch (op(rng)) {
    case 0: {
        long n = num(rng);
        if (!isListOrNil(b))
            return st;
        std::vector<ValP> items{ integer(n) };
        items.insert(items.end(), b->items.begin(), b->items.end());
        st = { "(cons " + std::to_string(n) + " " + vj + ")", listOf(items) };
        break;
    }
    case 1: {
        if (!isListOrNil(b))
            return st;
        std::vector<ValP> items{ a };
        items.insert(items.end(), b->items.begin(), b->items.end());
        st = { "(cons " + vi + " " + vj + ")", listOf(items) };
        break;
    }
    case 2:
        if (!isListOrNil(a))
            return st;
        st = { "(cdr " + vi + ")",
               a->items.size() < 2 ? nil()
                                   : listOf(std::vector<ValP>(a->items.begin() + 1, a->items.end())) };
        break;
    case 3:
        if (!isListOrNil(a))
            return st;
        st = { "(car " + vi + ")", a->items.empty() ? nil() : a->items[0] };
        break;
    case 4:
        st = { "(list " + vi + " " + vj + ")", listOf({ a, b }) };
        break;
    case 5: {
        if (!isListOrNil(a) || !isListOrNil(b))
            return st;
        std::vector<ValP> items = a->items;
        items.insert(items.end(), b->items.begin(), b->items.end());
        st = { "(append " + vi + " " + vj + ")", listOf(items) };
        break;
    }
    case 6:
        st = { vi, a };
        break;
    case 7:
        st = { "nil", nil() };
        break;
    case 8:                       // &rest builds its list from the arguments
        st = { "(rst " + vi + " 7 " + vj + ")", listOf({ a, integer(7), b }) };
        break;
    case 9: {                     // a local grown with cons inside a function
        if (!isListOrNil(a))
            return st;
        std::vector<ValP> items{ b, b };
        items.insert(items.end(), a->items.begin(), a->items.end());
        st = { "(twice " + vj + " " + vi + ")", listOf(items) };
        break;
    }
    case 10:                      // an empty list read from text is stored as nil
        st = { "(read-from-string \"(())\")", listOf({ nil() }) };
        break;
    case 11:                      // fails after both variables were read
        st = { "(cons (list " + vi + " " + vj + ") (car 5))", nullptr };
        break;
    default:                      // fails inside a function holding a local copy
        st = { "(broken " + vi + ")", nullptr };
        break;
    }
    if (st.result && size(st.result) > kMaxSize)
        return Step();
    st.text = "(setq v" + std::to_string(k) + " " + st.text + ")";
    return st;
}

TEST_F(LispValues, RandomAssignmentsKeepEveryVariableIndependent)
{
    eval("(defun rst (&rest xs) xs)");
    eval("(defun twice (x l / acc) (setq acc l) (setq acc (cons x acc)) (cons x acc))");
    eval("(defun broken (x / acc) (setq acc (list x x)) (setq acc (cons 1 acc)) (car 5))");
    for (unsigned seed = 1; seed <= 4; seed++) {
        std::mt19937 rng(seed);
        std::vector<ValP> vars(kVars, nil());
        std::string init;
        for (int k = 0; k < kVars; k++)
            init += "(setq v" + std::to_string(k) + " nil)";
        eval(init);
        for (int round = 0; round < 1500; round++) {
            Step st;
            while (st.text.empty())
                st = randomStep(rng, vars);
            int k = std::stoi(st.text.substr(7));
            if (!st.result) {
                EXPECT_EQ(LspParseExpressions(s, st.text.c_str(), out.data(), (USHORT)out.size(),
                                              nullptr), 0xE03A) << st.text;
                continue;
            }
            eval(st.text);
            vars[k] = st.result;
            if (round % 10)
                continue;
            for (int v = 0; v < kVars; v++)
                ASSERT_EQ(eval("v" + std::to_string(v)), print(vars[v]))
                    << "seed " << seed << " round " << round << " after " << st.text;
            int x = (int)(rng() % kVars), y = (int)(rng() % kVars);
            bool same = print(vars[x]) == print(vars[y]);
            ASSERT_EQ(eval("(eql v" + std::to_string(x) + " v" + std::to_string(y) + ")"),
                      same ? "T" : "NIL");
        }
    }
}

}  // namespace
