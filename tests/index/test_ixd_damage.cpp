// Damaged index files: a neighbour link or a free-list link that points
// back into its own chain is reported instead of walked forever or handed
// out twice, and a long deterministic run of mutated files (bits flipped,
// bytes zeroed, links pointed at other nodes, files cut short) where every
// call must answer with one of the family's codes and every walk must end.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <set>
#include "ixd.h"
#include "memvbf.h"
#include "ixdcheck.h"
#include "ixdprobe.h"

namespace {

const char *const NAME = "damage.ixd";
const USHORT KEY_LEN = 6;
const USHORT NODE_SIZE = 64;     /* small nodes: many levels and leaves */
const size_t HEADER_BYTES = 48;

std::string &image() { return memvbf::bytes(NAME); }

std::string keyOf(unsigned v)
{
    char k[16];
    snprintf(k, sizeof k, "k%05u", v % 100000);
    return std::string(k, KEY_LEN);
}

/* Stores v at at; bytes beyond the end of b (a file cut short) are dropped. */
void put32(std::string &b, size_t at, uint32_t v)
{
    for (size_t i = 0; i < 4 && at + i < b.size(); i++)
        b[at + i] = (char)(v >> (8 * i));
}

size_t nodeAt(const ixdcheck::Header &h, uint32_t n)
{
    return h.node0 + (size_t)n * h.nodeSize;
}

/* A sound image with n pairs entered in a shuffled order, every third of
 * them removed again so that the file has free nodes. */
std::string buildImage(unsigned n, unsigned seed)
{
    ULONG err = 0;
    PIX ix = IxdCreate(NAME, KEY_LEN, 0, NODE_SIZE, 0, memvbf::table(), &err);
    EXPECT_NE(ix, nullptr);
    if (!ix)
        return std::string();
    std::vector<unsigned> order(n);
    for (unsigned i = 0; i < n; i++)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(seed));
    for (unsigned v : order)
        EXPECT_EQ(IxdEnter(ix, keyOf(v).data(), v, &err), 0);
    for (unsigned v = 0; v < n; v += 3)
        EXPECT_EQ(IxdRemove(ix, keyOf(v).data(), v, &err), 0);
    IxdClose(ix);
    EXPECT_EQ(ixdcheck::verify(image()), "");
    return image();
}

PIX openImage(const std::string &bytes, ULONG *err)
{
    memvbf::files()[NAME] = std::make_shared<memvbf::File>();
    image() = bytes;
    return IxdOpen(NAME, KEY_LEN, 0, memvbf::table(), err);
}

/* Walks the whole index one way; the code that ended it. */
ULONG walkEnd(PIX ix, bool backwards, ULONG limit)
{
    char k[KEY_LEN];
    ULONG rec, err = 0, steps = 0;
    USHORT rc = backwards ? IxdLast(ix, k, &rec, &err) : IxdFirst(ix, k, &rec, &err);
    while (rc == 0 && steps++ < limit)
        rc = backwards ? IxdPrev(ix, k, &rec, &err) : IxdNext(ix, k, &rec, &err);
    return rc ? err : 0;
}

} // namespace

TEST(IxdDamage, NeighbourLinksIntoTheirOwnChainAreReported)
{
    const std::string good = buildImage(300, 1);
    auto h = ixdcheck::header(good);
    auto leaves = ixdcheck::levels(good, h).back();
    ASSERT_GE(leaves.size(), 6u);
    ULONG err = 0;

    // sound file: both walks end at the ends of the index
    PIX ix = openImage(good, &err);
    ASSERT_NE(ix, nullptr);
    EXPECT_EQ(walkEnd(ix, false, 1000), (ULONG)IXD_ERR_NOT_FOUND);
    EXPECT_EQ(walkEnd(ix, true, 1000), (ULONG)IXD_ERR_NOT_FOUND);
    IxdClose(ix);

    struct { const char *what; uint32_t leaf; size_t link; uint32_t to; bool backwards; } cases[] = {
        {"next link to itself", leaves[2], 4, leaves[2], false},
        {"next link back to the first leaf", leaves[4], 4, leaves[0], false},
        {"prev link to itself", leaves[3], 0, leaves[3], true},
        {"prev link forward to the last leaf", leaves[1], 0, leaves.back(), true},
    };
    for (auto &c : cases) {
        std::string bad = good;
        put32(bad, nodeAt(h, c.leaf) + c.link, c.to);
        ix = openImage(bad, &err);
        ASSERT_NE(ix, nullptr) << c.what;
        EXPECT_EQ(walkEnd(ix, c.backwards, 1000), (ULONG)IXD_ERR_BAD_FILE) << c.what;
        // counting and skipping follow the same links
        char k[KEY_LEN];
        ULONG rec, n = 0;
        ASSERT_EQ(c.backwards ? IxdLast(ix, k, &rec, &err) : IxdFirst(ix, k, &rec, &err), 0);
        EXPECT_EQ(IxdSkipkey(ix, c.backwards ? -32767 : 32767, k, &rec, &err), IXD_FAILED);
        EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE) << c.what;
        if (!c.backwards) {
            EXPECT_EQ(IxdGetNrRecords(ix, "k", &n), IXD_FAILED) << c.what;
        }
        IxdClose(ix);
    }
}

TEST(IxdDamage, FreeListCyclesAndStrayLinksAreRefused)
{
    const std::string good = buildImage(300, 2);
    auto h = ixdcheck::header(good);
    auto freeNodes = ixdcheck::freeList(good, h);
    ASSERT_GE(freeNodes.size(), 2u);

    struct { const char *what; uint32_t node, link; } cases[] = {
        {"head links to itself", freeNodes[0], freeNodes[0]},
        {"tail links back to the head", freeNodes.back(), freeNodes[0]},
        {"link beyond the nodes", freeNodes[1], h.nNodes + 5},
    };
    for (auto &c : cases) {
        std::string bad = good;
        put32(bad, nodeAt(h, c.node), c.link);
        ULONG err = 0;
        PIX ix = openImage(bad, &err);
        ASSERT_NE(ix, nullptr) << c.what;
        // ascending keys behind everything split the last leaf again and
        // again, so a node is soon wanted from the free list
        USHORT rc = 0;
        for (unsigned v = 90000; v < 91000 && rc == 0; v++)
            rc = IxdEnter(ix, keyOf(v).data(), v, &err);
        EXPECT_EQ(rc, IXD_FAILED) << c.what;
        EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE) << c.what;
        IxdClose(ix);
    }

    // the sound file hands out every free node once and stays sound
    ULONG err = 0;
    PIX ix = openImage(good, &err);
    ASSERT_NE(ix, nullptr);
    for (unsigned v = 90000; v < 91000; v++)
        ASSERT_EQ(IxdEnter(ix, keyOf(v).data(), v, &err), 0) << v;
    IxdClose(ix);
    EXPECT_EQ(ixdcheck::verify(image()), "");
    EXPECT_TRUE(ixdcheck::freeList(image(), ixdcheck::header(image())).empty());
}

TEST(IxdDamage, MutatedFilesAnswerEveryCallWithACode)
{
    const std::string bases[] = {buildImage(40, 3), buildImage(400, 4)};
    const std::string keys[] = {keyOf(0), keyOf(17), keyOf(55), keyOf(199), keyOf(250),
                                keyOf(399), keyOf(90001), keyOf(7)};
    const size_t nKeys = sizeof keys / sizeof keys[0];
    std::mt19937 rng(12345);
    unsigned opened = 0, runs = 0;

    for (int i = 0; i < 3000; i++) {
        const std::string &base = bases[i % 2];
        auto h = ixdcheck::header(base);
        uint32_t nodes = (uint32_t)((base.size() - h.node0) / h.nodeSize);
        std::string bad = base;
        int mutations = 1 + (int)(rng() % 3);
        for (int m = 0; m < mutations; m++) {
            if (bad.size() <= h.node0)
                break;   // already cut short into the header or user area
            bool inHeader = rng() % 4 == 0;
            size_t at = inHeader ? rng() % HEADER_BYTES
                                 : h.node0 + rng() % (bad.size() - h.node0);
            switch (rng() % 5) {
            case 0:   // one bit
                bad[at] = (char)(bad[at] ^ (1 << (rng() % 8)));
                break;
            case 1:   // a run of zero bytes
                for (size_t j = at, end = at + 1 + rng() % 12; j < end && j < bad.size(); j++)
                    bad[j] = 0;
                break;
            case 2:   // a link or child pointer to another node of the file
                put32(bad, at & ~(size_t)1, rng() % (nodes + 2));
                break;
            case 3:   // a neighbour link of a node to another node
                if (!inHeader) {
                    size_t node = (at - h.node0) / h.nodeSize;
                    put32(bad, nodeAt(h, (uint32_t)node) + (rng() % 2) * 4, rng() % nodes);
                }
                break;
            default:  // the file cut short
                bad.resize(rng() % bad.size());
                break;
            }
        }
        bool readLocks = i % 5 != 0;
        ULONG before = IxdAllowReadlock(readLocks);
        ULONG err = 0;
        PIX ix = openImage(bad, &err);
        if (!ix) {
            EXPECT_TRUE(ixdprobe::familyCode(err)) << "run " << i << " open " << err;
        } else {
            opened++;
            ULONG maxPairs = (ULONG)(bad.size() / NODE_SIZE + nKeys + 2) * h.maxEntries;
            EXPECT_TRUE(ixdprobe::exercise(ix, KEY_LEN, maxPairs, keys, nKeys)) << "run " << i;
            IxdClose(ix);
        }
        IxdAllowReadlock(before);
        runs++;
        if (HasFatalFailure() || HasFailure())
            break;
    }
    EXPECT_EQ(runs, 3000u);
    // most mutations leave a file that opens, so the calls were exercised
    EXPECT_GT(opened, 1500u);
}
