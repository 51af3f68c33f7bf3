// White-box tests of the node pool, node conversions and printing, and
// the incremental reader.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "knl.h"
#include "lisp/lspint.h"

using namespace orin::lsp;

namespace {

const ULONGLONG kBlockBytes = 6220;

class LispNodes : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        KnlInitCP();
        KnlInitDBCSEv();
    }
    void SetUp() override { ASSERT_EQ(lspPoolNodesUsed(), 0u); }
    void TearDown() override
    {
        EXPECT_EQ(lspPoolNodesUsed(), 0u);
        EXPECT_EQ(lspPoolMemUsed(), 0u);     // every block went back to the heap
    }
};

TEST_F(LispNodes, InlineAndHeapTexts)
{
    LONG before = lspHeapBlocks();
    PLSPLIST a = lspNewText(nullptr, "abcdefghijklmno", LSP_T_SYMBOL);    // 15 characters
    EXPECT_EQ(lspHeapBlocks(), before + 1);                              // only the pool block
    PLSPLIST b = lspNewText(nullptr, "abcdefghijklmnop", LSP_T_STRING);   // 16 characters
    EXPECT_EQ(lspHeapBlocks(), before + 2);
    EXPECT_EQ(a->value.psz, a->inlineText);
    EXPECT_NE(b->value.psz, b->inlineText);
    EXPECT_STREQ(lspNodeText(a), "abcdefghijklmno");
    EXPECT_STREQ(lspNodeText(b), "abcdefghijklmnop");
    // a copy shares the heap text; a private copy has its own
    PLSPLIST c = lspNodeCopy(b);
    EXPECT_EQ(c->value.psz, b->value.psz);
    EXPECT_EQ(lspHeapBlocks(), before + 2);
    PLSPLIST d = lspChainCopyPrivate(b);
    EXPECT_NE(d->value.psz, b->value.psz);
    EXPECT_STREQ(lspNodeText(d), "abcdefghijklmnop");
    EXPECT_EQ(lspHeapBlocks(), before + 3);
    // a value set from the node's own inline text survives the release
    EXPECT_TRUE(lspSetText(a, a->value.psz + 3, LSP_T_STRING));
    EXPECT_STREQ(lspNodeText(a), "defghijklmno");
    // so does one set from its own shared heap text
    EXPECT_TRUE(lspSetText(c, c->value.psz + 1, LSP_T_STRING));
    EXPECT_STREQ(lspNodeText(c), "bcdefghijklmnop");
    EXPECT_STREQ(lspNodeText(b), "abcdefghijklmnop");
    lspNodeFree(a);
    lspNodeFree(b);
    EXPECT_STREQ(lspNodeText(c), "bcdefghijklmnop");
    lspNodeFree(c);
    lspNodeFree(d);
    EXPECT_EQ(lspHeapBlocks(), before);
}

TEST_F(LispNodes, BlocksOpenAndCloseWithTheirNodes)
{
    std::vector<PLSPLIST> nodes;
    for (int i = 0; i < 100; i++)
        nodes.push_back(lspNewLong(nullptr, i));
    EXPECT_EQ(lspPoolMemUsed(), kBlockBytes);
    nodes.push_back(lspNewLong(nullptr, 100));          // the 101st opens a second block
    EXPECT_EQ(lspPoolMemUsed(), 2 * kBlockBytes);
    EXPECT_EQ(lspPoolNodesUsed(), 101u);
    lspNodeFree(nodes[5]);
    PLSPLIST again = lspNodeAlloc();                     // a free slot is reused
    EXPECT_EQ(lspPoolMemUsed(), 2 * kBlockBytes);
    nodes[5] = again;
    lspNodeFree(nodes[100]);                             // the second block empties
    EXPECT_EQ(lspPoolMemUsed(), kBlockBytes);
    lspNodeFree(nodes[100]);                             // freeing twice is harmless
    lspNodeFree(nullptr);
    for (int i = 0; i < 100; i++)
        lspNodeFree(nodes[i]);
}

TEST_F(LispNodes, FreeSlotsAreTakenFromTheHintOnwardThenFromTheStart)
{
    std::vector<PLSPLIST> nodes;
    for (int i = 0; i < 100; i++)
        nodes.push_back(lspNewLong(nullptr, i));
    for (int i : { 70, 5, 64, 63 })
        lspNodeFree(nodes[i]);
    // the hint stands after slot 99: the search wraps to the lowest free slot
    nodes[5] = lspNodeAlloc();
    EXPECT_EQ(nodes[5], nodes[0] + 5);
    // from there on it goes up from the slot after the last one taken
    nodes[63] = lspNodeAlloc();
    EXPECT_EQ(nodes[63], nodes[0] + 63);
    nodes[64] = lspNodeAlloc();
    EXPECT_EQ(nodes[64], nodes[0] + 64);
    nodes[70] = lspNodeAlloc();
    EXPECT_EQ(nodes[70], nodes[0] + 70);
    EXPECT_EQ(lspPoolMemUsed(), kBlockBytes);
    PLSPLIST extra = lspNodeAlloc();                     // full again: a second block
    EXPECT_EQ(lspPoolMemUsed(), 2 * kBlockBytes);
    lspNodeFree(nodes[99]);
    PLSPLIST back = lspNodeAlloc();                      // the first block with room
    EXPECT_EQ(back, nodes[0] + 99);
    nodes[99] = back;
    lspNodeFree(extra);
    for (PLSPLIST n : nodes)
        lspNodeFree(n);
}

TEST_F(LispNodes, FreeingLongChainsAndDeepTreesUsesNoRecursion)
{
    PLSPLIST head = lspNewLong(nullptr, 0), last = head;
    for (int i = 1; i < 200000; i++)
        last = lspNewLong(last, i);
    EXPECT_EQ(lspCountChain(head), 200000u);
    lspFreeTree(head);
    EXPECT_EQ(lspPoolNodesUsed(), 0u);

    PLSPLIST root = lspNewList(nullptr), cur = root;
    for (int i = 0; i < 100000; i++) {
        PLSPLIST inner = lspNewList(cur);
        lspNewLong(inner, i);                       // inner: (i), then closed below
        lspListClose(cur);
        cur = inner;
    }
    lspListClose(cur);
    lspFreeTree(root);
}

TEST_F(LispNodes, TruthAndNumbers)
{
    const char *falseTexts[] = { "0" };
    const char *trueTexts[] = { "00", "0.0", "", "0.5", "nil" };
    for (const char *t : falseTexts) {
        PLSPLIST n = lspNewText(nullptr, t, LSP_T_STRING);
        EXPECT_FALSE(lspNodeTruth(n)) << t;
        lspNodeFree(n);
    }
    for (const char *t : trueTexts) {
        PLSPLIST n = lspNewText(nullptr, t, LSP_T_STRING);
        EXPECT_TRUE(lspNodeTruth(n)) << '"' << t << '"';
        lspNodeFree(n);
    }
    PLSPLIST dt = lspNewDouble(nullptr, 0.4, LSP_T_DATETIME);
    EXPECT_FALSE(lspNodeTruth(dt));
    PLSPLIST fl = lspNewDouble(nullptr, 0.4, LSP_T_FLOAT);
    EXPECT_TRUE(lspNodeTruth(fl));
    PLSPLIST empty = lspNewList(nullptr);
    lspListClose(empty);
    EXPECT_FALSE(lspNodeTruth(empty));
    EXPECT_FALSE(lspNodeTruth(nullptr));
    lspNodeFree(dt);
    lspNodeFree(fl);
    lspNodeFree(empty);

    PLSPLIST t = lspNewText(nullptr, "T", LSP_T_STRING);
    PLSPLIST f = lspNewText(nullptr, "3.9", LSP_T_STRING);
    PLSPLIST big = lspNewDouble(nullptr, 1e12, LSP_T_FLOAT);
    EXPECT_EQ(lspNodeLong(t), 1);
    EXPECT_EQ(lspNodeLong(f), 3);
    EXPECT_EQ(lspNodeLong(big), 2147483647);          // clamped, not undefined
    EXPECT_DOUBLE_EQ(lspNodeDouble(f), 3.9);
    lspNodeFree(t);
    lspNodeFree(f);
    lspNodeFree(big);
}

TEST_F(LispNodes, PrintingIsEscapedAndBounded)
{
    PLSPLIST s = lspNewText(nullptr, "a\tb\"c\\d\ne\rf\fg", LSP_T_STRING);
    char buf[64];
    lspPrint(s, buf, sizeof buf);
    EXPECT_STREQ(buf, "\"a\\tb\\\"c\\\\d\\ne\\rf\\fg\"");
    std::string round(buf);
    lspUnescape(&round[0]);
    EXPECT_STREQ(round.c_str(), "a\tb\"c\\d\ne\rf\fg");
    PLSPLIST e = lspNewText(nullptr, "", LSP_T_STRING);
    lspPrint(e, buf, sizeof buf);
    EXPECT_STREQ(buf, "\"\"");
    lspNodeFree(s);
    lspNodeFree(e);

    PLSPLIST list = lspNewList(nullptr), last = nullptr;
    for (int i = 0; i < 50; i++)
        last = lspNewLong(last ? last : list, 1000 + i);
    lspListClose(list);
    for (size_t size = 1; size < 40; size++) {
        std::vector<char> small(size + 8, '#');
        size_t n = lspPrint(list, small.data(), size);
        EXPECT_LT(n, size);
        EXPECT_EQ(std::string(small.data() + size, 8), std::string(8, '#')) << size;   // no overrun
        if (size >= 8) {
            std::string text(small.data());
            EXPECT_EQ(text.substr(0, 1), "(");
            EXPECT_EQ(text.substr(text.size() - 3), "...") << text;
        }
    }
    lspFreeTree(list);
}

TEST_F(LispNodes, TypeNamesAndCopies)
{
    EXPECT_EQ(lspTypeCode("LIST"), LSP_T_LIST);
    EXPECT_EQ(lspTypeCode("DateTime"), LSP_T_DATETIME);
    EXPECT_EQ(lspTypeCode("bogus"), LSP_T_NIL);
    EXPECT_STREQ(lspTypeName(LSP_T_OPENLIST), "list");
    EXPECT_STREQ(lspTypeName(0x1234), "unknown");

    // an empty list inside a value becomes nil when copied for storage
    PLSPLIST list = lspNewList(nullptr);
    PLSPLIST inner = lspNewList(list);
    lspListClose(inner);
    lspNewLong(inner, 7);
    lspListClose(list);
    PLSPLIST kept = lspTreeCopy(list), stored = lspTreeCopyNilEmpty(list);
    EXPECT_EQ(kept->down->type, LSP_T_LIST);
    EXPECT_EQ(stored->down->type, LSP_T_NIL);
    EXPECT_EQ(stored->down->next->value.l, 7);
    lspFreeTree(list);
    lspFreeTree(kept);
    lspFreeTree(stored);
}

// (1 2 (3 4)), closed.
static PLSPLIST makeSample()
{
    PLSPLIST list = lspNewList(nullptr);
    PLSPLIST e = lspNewLong(list, 1);
    e = lspNewLong(e, 2);
    PLSPLIST inner = lspNewList(e);
    lspNewLong(lspNewLong(inner, 3), 4);
    lspListClose(inner);
    lspListClose(list);
    return list;
}

static std::string printed(PLSPLIST n)
{
    char buf[256];
    lspPrint(n, buf, sizeof buf);
    return buf;
}

TEST_F(LispNodes, CopiesShareElementsUntilTheLastOwnerGoes)
{
    PLSPLIST list = makeSample();
    ULONG own = lspPoolNodesUsed();
    PLSPLIST copy = lspTreeCopy(list);
    EXPECT_EQ(lspPoolNodesUsed(), own + 1);          // one new list node, no elements
    EXPECT_NE(copy, list);
    EXPECT_EQ(copy->down, list->down);
    EXPECT_EQ(list->down->inUse, 2u);
    EXPECT_EQ(list->down->up, nullptr);              // a shared node has no back links

    // a shared node is never changed: attaching behind it is refused
    PLSPLIST stray = lspNewLong(nullptr, 9);
    EXPECT_EQ(lspAttach(list->down, stray), nullptr);
    lspNodeFree(stray);

    lspFreeTree(list);                               // the copy keeps the elements
    EXPECT_EQ(printed(copy), "(1 2 (3 4))");
    EXPECT_EQ(copy->down->inUse, 1u);

    // a list over the copy's tail: (0 2 (3 4)); the tail now has two referrers
    PLSPLIST other = lspNewList(nullptr);
    lspAttach(lspNewLong(other, 0), lspShare(copy->down->next));
    lspListClose(other);
    EXPECT_EQ(printed(other), "(0 2 (3 4))");
    lspFreeTree(copy);
    EXPECT_EQ(printed(other), "(0 2 (3 4))");
    EXPECT_EQ(lspPoolNodesUsed(), 6u);               // list, 0, 2, (3 4), 3, 4
    lspFreeTree(other);
}

TEST_F(LispNodes, FreeingTheOwnerOfADeepSharedTreeUsesNoRecursion)
{
    PLSPLIST root = lspNewList(nullptr), cur = root;
    for (int i = 0; i < 100000; i++) {
        PLSPLIST inner = lspNewList(cur);
        lspListClose(cur);
        cur = inner;
    }
    lspNewLong(cur, 1);
    lspListClose(cur);
    PLSPLIST copies[3] = { lspTreeCopy(root), lspTreeCopy(root), lspTreeCopy(root) };
    lspFreeTree(root);
    lspFreeTree(copies[1]);
    EXPECT_EQ(lspPoolNodesUsed(), 100001u + 2);   // the elements and two copies
    lspFreeTree(copies[0]);
    lspFreeTree(copies[2]);
}

TEST_F(LispNodes, StoringNeverChangesASharedEmptyList)
{
    // (1 () 2) held by two owners; one of them stores its value
    PLSPLIST list = lspNewList(nullptr);
    PLSPLIST empty = lspNewList(lspNewLong(list, 1));
    lspListClose(empty);
    lspNewLong(empty, 2);
    lspListClose(list);
    EXPECT_FALSE(lspListIsClean(list));

    PLSPLIST mine = lspTreeCopy(list);
    ASSERT_TRUE(lspNilEmptyOwned(mine));
    EXPECT_EQ(printed(mine), "(1 NIL 2)");
    EXPECT_EQ(printed(list), "(1 () 2)");
    EXPECT_TRUE(lspListIsClean(mine));

    // a clean list is taken as it is, sharing its elements
    PLSPLIST again = lspTreeCopy(mine);
    ASSERT_TRUE(lspNilEmptyOwned(again));
    EXPECT_EQ(again->down, mine->down);
    PLSPLIST stored = lspTreeCopyNilEmpty(mine);
    EXPECT_EQ(stored->down, mine->down);
    PLSPLIST storedFromDirty = lspTreeCopyNilEmpty(list);
    EXPECT_NE(storedFromDirty->down, list->down);
    EXPECT_EQ(printed(storedFromDirty), "(1 NIL 2)");

    // an empty list standing alone becomes nil; a shared one is refused
    PLSPLIST alone = lspNewList(nullptr);
    lspListClose(alone);
    ASSERT_TRUE(lspNilEmptyOwned(alone));
    EXPECT_EQ(alone->type, LSP_T_NIL);
    lspShare(mine);
    EXPECT_FALSE(lspNilEmptyOwned(mine));
    lspFreeTree(mine);

    for (PLSPLIST n : { list, mine, again, stored, storedFromDirty, alone })
        lspFreeTree(n);
}

TEST_F(LispNodes, ReaderKeepsStateBetweenFeeds)
{
    LSPSESSION s = {};
    s.bufferSize = 256;
    unsigned int err = 0;
    size_t pos = 0;
    lspReaderReset();
    PLSPLIST chain = lspReadFeed(&s, nullptr, "(ab", &pos, FALSE, &err);
    pos = 0;
    chain = lspReadFeed(&s, chain, "c \"x y", &pos, FALSE, &err);   // token and string split
    pos = 0;
    chain = lspReadFeed(&s, chain, "\" 'q)", &pos, TRUE, &err);
    ASSERT_EQ(err, 0u);
    char buf[100];
    lspPrint(chain, buf, sizeof buf);
    EXPECT_STREQ(buf, "(abc \"x y\" (quote q))");
    lspFreeTree(chain);

    err = 0;
    EXPECT_EQ(lspParseText(&s, "(a (b) c", &err), nullptr);
    EXPECT_EQ(err, (unsigned)LSPERR_UNCLOSED);
    err = 0;
    EXPECT_EQ(lspParseText(&s, "a)", &err), nullptr);
    EXPECT_EQ(err, (unsigned)LSPERR_NOOPEN);
    err = 0;
    chain = lspParseText(&s, "''a", &err);
    lspPrint(chain, buf, sizeof buf);
    EXPECT_STREQ(buf, "(quote (quote a))");
    lspFreeTree(chain);
    lspReaderReset();
}

TEST_F(LispNodes, ResumedChainFindsItsOpenListsAgain)
{
    LSPSESSION s = {};
    s.bufferSize = 256;
    unsigned int err = 0;
    size_t pos = 0;
    lspReaderReset();
    PLSPLIST chain = lspReadFeed(&s, nullptr, "(a '(b (c ", &pos, FALSE, &err);
    lspReaderReset();                      // the insertion point is forgotten
    pos = 0;
    chain = lspReadFeed(&s, chain, "d) e) f '", &pos, FALSE, &err);
    pos = 0;
    chain = lspReadFeed(&s, chain, "g)", &pos, TRUE, &err);
    ASSERT_EQ(err, 0u);
    char buf[100];
    lspPrint(chain, buf, sizeof buf);
    EXPECT_STREQ(buf, "(a (quote (b (c d) e)) f (quote g))");
    lspFreeTree(chain);
    lspReaderReset();
}

TEST_F(LispNodes, LongListsOfQuotedFormsReadWhole)
{
    LSPSESSION s = {};
    s.bufferSize = 256;
    unsigned int err = 0;
    constexpr int kForms = 5000;
    std::string text = "(";
    for (int i = 0; i < kForms; i++)
        text += i % 2 ? "'x " : "'(y) ";
    text += ")";
    PLSPLIST chain = lspParseText(&s, text.c_str(), &err);
    ASSERT_EQ(err, 0u);
    ASSERT_NE(chain, nullptr);
    int count = 0;
    for (PLSPLIST n = chain->down; n; n = n->next, count++) {
        ASSERT_EQ(n->type, LSP_T_LIST);
        char buf[32];
        lspPrint(n, buf, sizeof buf);
        ASSERT_STREQ(buf, count % 2 ? "(quote x)" : "(quote (y))") << "form " << count;
    }
    EXPECT_EQ(count, kForms);
    EXPECT_EQ(chain->next, nullptr);
    lspFreeTree(chain);
    lspReaderReset();
}

} // namespace
