// Damaged stored queries: ten thousand mutants of two seed files, each
// loaded by a Lisp session, the variables the seed sets then looked at.
//
// What the format guards: nothing but its 14-byte magic.  The counts, the
// string table and the 6-byte pre-order records carry no checksum, and a
// record has no length, so a change to one record can reshape every form
// after it.  So the sweep holds the loader to this:
//   - every load answers 0 or a code of the interpreter (an error of the
//     stored-query reader, or of evaluating whatever forms the damaged
//     records make);
//   - a load that fails while reading (damaged record, string table,
//     unclosed list, not a stored query) leaves no node or heap block
//     behind;
//   - after a load that succeeds, a top-level form whose bytes, and all
//     bytes before them, are as written has set its variable to the
//     written value (unless a later damaged record names that variable).
// Seed forms are `(setq vN 'data)`: damage can only make other data or
// calls of unknown functions, nothing that loops or touches files.
#include <gtest/gtest.h>
#include <cstdint>
#include <set>
#include <string>
#include <vector>
#include "mutate.h"
#include "lisp/lsp_fixture.h"
#include "lisp/lsq_testfiles.h"

using namespace mutate;

namespace {

constexpr size_t kHeader = 32;
constexpr size_t kRecord = 6;
constexpr uint16_t kElements = 1, kNext = 2;
constexpr unsigned kInterpreterCodes = 0x100;       // LSPERR_BASE + 1 .. + 255
const char *const kFile = "mut_lsq.lsq";
const char *const kSource = "mut_lsq.lsp";

unsigned get16(const Bytes &b, size_t at)
{
    return b[at] | b[at + 1] << 8;
}

/* One `(setq vN 'data)` form: its variable, the printed value as the
 * source reader makes it, and where its records end in the seed. */
struct Form {
    std::string var;
    std::string printed;
    size_t end = 0;
    unsigned varIndex = 0;             // the string index of its variable
};

struct LsqSeed {
    Seed seed;
    std::vector<Form> forms;
    size_t tableEnd = 0;
};

const std::set<unsigned> kReadCodes = {ORIN_ERR_INVALID_DATA, LSPERR_NOTLSQ, LSPERR_STRTABLE,
                                       LSPERR_UNCLOSED};

class Session {
public:
    Session() : s_(LspSessionStart(4096, nullptr)) { EXPECT_NE(s_, nullptr); }
    ~Session() { LspSessionEnd(s_); }
    std::string eval(const std::string &text, unsigned *code)
    {
        char result[8192];
        *code = LspParseExpressions(s_, text.c_str(), result, sizeof result, nullptr);
        return result;
    }

private:
    HLSPSESSION s_;
};

Session &session()
{
    static Session *s = [] {
        KnlInitCP();
        KnlInitDBCSEv();
        return new Session;
    }();
    return *s;
}

/* Where each top-level form's records end: follows the element and next
 * flags as the format lays them out, closing lists at a chain's end. */
std::vector<size_t> formEnds(const Bytes &b, size_t tableEnd)
{
    std::vector<size_t> ends;
    std::vector<bool> open;            // for each open list: has a next sibling
    for (size_t at = tableEnd; at + kRecord <= b.size(); at += kRecord) {
        unsigned flags = get16(b, at + 2);
        if (flags & kElements) {
            open.push_back(flags & kNext);
            continue;
        }
        if (flags & kNext) {
            if (open.empty())
                ends.push_back(at + kRecord);
            continue;
        }
        bool sibling = false;
        while (!open.empty() && !sibling) {
            sibling = open.back();
            open.pop_back();
        }
        if (open.empty())
            ends.push_back(at + kRecord);
    }
    return ends;
}

/* The string index of a text in the table (1-based), 0 if absent. */
unsigned indexOf(const Bytes &b, size_t tableEnd, const std::string &text)
{
    unsigned index = 1;
    for (size_t at = kHeader; at < tableEnd; index++) {
        std::string s(reinterpret_cast<const char *>(&b[at]));
        if (s == text)
            return index;
        at += s.size() + 1;
    }
    return 0;
}

LsqSeed build(const std::vector<std::string> &data)
{
    LsqSeed p;
    unsigned code;
    std::string source;
    for (size_t i = 0; i < data.size(); i++) {
        Form f;
        f.var = "v" + std::to_string(i + 1);
        std::string form = "(setq " + f.var + " '" + data[i] + ")";
        source += form + "\n";
        session().eval(form, &code);
        EXPECT_EQ(code, 0u) << form;
        f.printed = session().eval(f.var, &code);
        p.forms.push_back(f);
    }
    writeFile(kSource, source);
    session().eval(std::string("(lsp2lsq \"") + kSource + "\" \"" + kFile + "\")", &code);
    EXPECT_EQ(code, 0u);
    std::string raw = readFile(kFile);
    Seed &s = p.seed;
    s.bytes.assign(raw.begin(), raw.end());
    const Bytes &b = s.bytes;
    p.tableEnd = kHeader + (b[20] | b[21] << 8 | b[22] << 16 | (size_t)b[23] << 24);
    std::vector<size_t> ends = formEnds(b, p.tableEnd);
    EXPECT_EQ(ends.size(), p.forms.size());
    for (size_t i = 0; i < p.forms.size() && i < ends.size(); i++) {
        p.forms[i].end = ends[i];
        p.forms[i].varIndex = indexOf(b, p.tableEnd, p.forms[i].var);
        EXPECT_NE(p.forms[i].varIndex, 0u);
    }
    s.units.push_back({0, kHeader});
    s.units.push_back({kHeader, p.tableEnd - kHeader});
    addU16(s, 18);
    addU32(s, 20);
    for (size_t at = p.tableEnd; at + kRecord <= b.size(); at += kRecord) {
        s.units.push_back({at, kRecord});
        addU16(s, at);
        addU16(s, at + 2);
        addU16(s, at + 4);
    }
    return p;
}

std::vector<LsqSeed> &seeds()
{
    static std::vector<LsqSeed> all = [] {
        std::vector<LsqSeed> v;
        v.push_back(build({"(alpha (\"beta\" 3) 4.5 nil)", "\"text\"", "(1 (2 (3 (4))) 5)"}));
        v.push_back(build({"(one two three)", "((a . \"b\") (c 1.25) ())", "-77",
                           "(((((((deep)))))) tail)", "(\"alpha\" alpha 3 \"3\" nil \"NIL\")",
                           "(x (y (z w) v) u)", "2.5e10", "(list of \"strings\" \"here\")",
                           "sym"}));
        return v;
    }();
    return all;
}

/* True when no record from `from` on names the text index. */
bool unnamedAfter(const Bytes &m, size_t tableEnd, size_t from, unsigned index)
{
    for (size_t at = from; at + kRecord <= m.size(); at += kRecord)
        if (at >= tableEnd && get16(m, at + 4) == index)
            return false;
    return true;
}

/* Forms found intact after a load, and loads failed while reading. */
unsigned formsChecked = 0, readFailures = 0, loaded = 0;

void exercise(const Bytes &mutant, size_t which)
{
    const LsqSeed &p = seeds()[which];
    unsigned code;
    for (const Form &f : p.forms) {
        session().eval("(setq " + f.var + " 'unset)", &code);
        ASSERT_EQ(code, 0u);
    }
    writeFile(kFile, std::string(mutant.begin(), mutant.end()));
    ULONG nodes = LspQueryNodesUsed();
    LONG heap = LspQueryHeapBlocks();
    call("load", [&] { session().eval(std::string("(load \"") + kFile + "\")", &code); });
    trace("load", code);
    bool interpreterCode = code > LSPERR_BASE && code < LSPERR_BASE + kInterpreterCodes;
    EXPECT_TRUE(code == 0 || code == ORIN_ERR_INVALID_DATA || interpreterCode)
        << "load answered " << code << ", " << where();
    if (kReadCodes.count(code)) {
        readFailures++;
        EXPECT_EQ(LspQueryNodesUsed(), nodes) << "nodes left by a failed load, " << where();
        EXPECT_EQ(LspQueryHeapBlocks(), heap) << "heap left by a failed load, " << where();
    }
    unsigned sane;
    EXPECT_EQ(session().eval("(+ 1 2)", &sane), "3") << "the session after the load, " << where();
    if (code != 0)
        return;
    loaded++;
    for (const Form &f : p.forms) {
        if (!same(mutant, p.seed.bytes, 0, f.end) ||
            !unnamedAfter(mutant, p.tableEnd, f.end, f.varIndex))
            break;
        formsChecked++;
        unsigned rc;
        std::string got = session().eval(f.var, &rc);
        EXPECT_EQ(rc, 0u) << f.var << ", " << where();
        EXPECT_EQ(got, f.printed) << f.var << ", " << where();
    }
}

TEST(MutateLsq, TenThousandMutantsLoadToAValueOrAnErrorAndKeepIntactForms)
{
    ASSERT_GT(seeds()[1].seed.bytes.size(), 100u);
    unsigned runs = 0;
    sweep(6, plainSeeds(seeds()), [&](const Bytes &mutant, size_t which, std::mt19937_64 &) {
        runs++;
        exercise(mutant, which);
    });
    EXPECT_GT(loaded, runs / 10);
    // the damage was both survived and refused, and intact forms checked
    EXPECT_GT(formsChecked, runs / 10);
    EXPECT_GT(readFailures, runs / 10);
    printf("%u mutants: %u loaded, %u failed while reading, %u intact forms checked\n", runs,
           loaded, readFailures, formsChecked);
    DeleteFileA(kFile);
    DeleteFileA(kSource);
}

} // namespace
