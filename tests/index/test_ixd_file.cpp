// Index files as files: the header and layout written at creation, the
// node-size and key-length limits, what opening refuses (wrong magic, key
// length, an unclean file while read locks are allowed, damaged headers
// and nodes), the user area, process-wide settings, and a failing disk.
#include <gtest/gtest.h>
#include "ixd.h"
#include "memvbf.h"
#include "ixdcheck.h"
#include "testutil.h"

namespace {

const char *const NAME = "file.ixd";

PIX create(USHORT keyLen, USHORT nodeSize, ULONG userSize, ULONG *err)
{
    return IxdCreate(NAME, keyLen, 0, nodeSize, userSize, memvbf::table(), err);
}

PIX open(USHORT keyLen, ULONG *err)
{
    return IxdOpen(NAME, keyLen, 0, memvbf::table(), err);
}

std::string &image() { return memvbf::bytes(NAME); }

void put16(std::string &b, size_t at, uint16_t v)
{
    b[at] = (char)v;
    b[at + 1] = (char)(v >> 8);
}

void put32(std::string &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (char)(v >> (8 * i));
}

} // namespace

TEST(IxdFile, CreationWritesHeaderLayoutAndEmptyRoot)
{
    struct { USHORT keyLen, node; ULONG user; uint32_t userOff, node0; } cases[] = {
        {10, 0, 0, 4096, 8192},
        {10, 4096, 5000, 4096, 12288},
        {10, 512, 511, 512, 1024},
        {0, 26, 0, 52, 78},       // the header block spans two nodes of 26 bytes
        {0, 26, 45, 52, 104},
    };
    for (auto &c : cases) {
        ULONG err = 1;
        PIX ix = create(c.keyLen, c.node, c.user, &err);
        ASSERT_NE(ix, nullptr) << c.node;
        EXPECT_EQ(err, 0u);
        IxdClose(ix);
        auto h = ixdcheck::header(image());
        USHORT size = c.node ? c.node : 4096;
        EXPECT_EQ(h.magic, std::string("ABT0100", 8));
        EXPECT_EQ(h.version, 0);
        EXPECT_EQ(h.root, 0u);
        EXPECT_EQ(h.freeHead, 0xFFFFFFFFu);
        EXPECT_EQ(h.height, 1);
        EXPECT_EQ(h.storedKeyLen, c.keyLen + 4);
        EXPECT_EQ(h.maxEntries, (size - 10) / (c.keyLen + 8));
        EXPECT_EQ(h.nodeSize, size);
        EXPECT_EQ(h.consistent, 1);
        EXPECT_EQ(h.nKeys, 0u);
        EXPECT_EQ(h.nNodes, 1u);
        EXPECT_EQ(h.userOff, c.userOff) << size;
        EXPECT_EQ(h.node0, c.node0) << size;
        EXPECT_EQ(h.userSize, c.user);
        EXPECT_EQ(image().size(), (size_t)c.node0 + size);
        auto root = ixdcheck::node(image(), h, 0);
        EXPECT_EQ(root.prev, ixdcheck::NONE);
        EXPECT_EQ(root.next, ixdcheck::NONE);
        EXPECT_TRUE(root.keys.empty());
    }
}

TEST(IxdFile, NodeSizeAndKeyLengthLimits)
{
    ULONG err = 0;
    EXPECT_EQ(create(4, 16, 0, &err), nullptr);
    EXPECT_EQ(err, (ULONG)IXD_ERR_NODE_SIZE);
    EXPECT_EQ(create(2036, 4096, 0, &err), nullptr);
    EXPECT_EQ(err, (ULONG)IXD_ERR_NODE_SIZE);
    EXPECT_EQ(create(2, 27, 0, &err), nullptr);          // one entry of 10 bytes in 17
    EXPECT_EQ(err, (ULONG)IXD_ERR_NODE_SIZE);
    PIX ix = create(2035, 4096, 0, &err);
    ASSERT_NE(ix, nullptr);
    EXPECT_EQ(IxdQueryKeyBufLength(ix), 2039);
    EXPECT_EQ(IxdQueryKeyLength(ix), 2035);
    std::string big(2035, 'x');
    for (ULONG rec = 0; rec < 5; rec++)       // two entries per node: splits at once
        ASSERT_EQ(IxdEnter(ix, big.data(), rec, &err), 0);
    IxdClose(ix);
    auto h = ixdcheck::header(image());
    EXPECT_EQ(h.maxEntries, 2);
    EXPECT_EQ(ixdcheck::verify(image()), "");
}

TEST(IxdFile, OpenRefusesForeignAndUncleanFiles)
{
    ULONG err = 0;
    EXPECT_EQ(IxdOpen("missing.ixd", 4, 0, memvbf::table(), &err), nullptr);
    EXPECT_EQ(err, (ULONG)IXD_ERR_OPEN);

    PIX ix = create(6, 0, 0, &err);
    ASSERT_NE(ix, nullptr);
    IxdClose(ix);
    EXPECT_EQ(open(7, &err), nullptr);
    EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE);

    std::string clean = image();
    image()[6] = '1';
    EXPECT_EQ(open(6, &err), nullptr);
    EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE);

    // an update that never reached close leaves the flag at 0
    image() = clean;
    ix = open(6, &err);
    ASSERT_NE(ix, nullptr);
    ASSERT_EQ(IxdEnter(ix, "abcdef", 1, &err), 0);
    std::string crashed = image();
    IxdClose(ix);
    EXPECT_EQ(ixdcheck::header(crashed).consistent, 0);
    EXPECT_EQ(ixdcheck::header(image()).consistent, 1);
    image() = crashed;
    EXPECT_EQ(open(6, &err), nullptr);
    EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE);
    EXPECT_EQ(IxdAllowReadlock(0), 1u);
    ix = open(6, &err);
    EXPECT_NE(ix, nullptr);
    IxdClose(ix);
    EXPECT_EQ(IxdAllowReadlock(1), 0u);
}

TEST(IxdFile, DamagedHeadersAndNodesGiveErrors)
{
    ULONG err = 0;
    PIX ix = create(4, 64, 0, &err);
    ASSERT_NE(ix, nullptr);
    for (ULONG i = 0; i < 50; i++)
        ASSERT_EQ(IxdEnter(ix, "abcd", i, &err), 0);
    IxdClose(ix);
    const std::string good = image();
    auto h = ixdcheck::header(good);

    struct Damage { const char *what; size_t at; int width; uint32_t value; } damages[] = {
        {"root beyond the nodes", 10, 4, 1000},
        {"height 0", 18, 2, 0},
        {"height 65", 18, 2, 65},
        {"node size", 24, 2, 10},
        {"max entries", 22, 2, 200},
        {"node 0 inside the header", 36, 4, 8},
    };
    for (auto &d : damages) {
        image() = good;
        d.width == 2 ? put16(image(), d.at, (uint16_t)d.value) : put32(image(), d.at, d.value);
        EXPECT_EQ(open(4, &err), nullptr) << d.what;
        EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE) << d.what;
    }

    // damaged nodes: a child pointer out of range, an entry count too large
    auto rows = ixdcheck::levels(good, h);
    ASSERT_GE(rows.size(), 2u);
    size_t rootAt = h.node0 + (size_t)h.root * h.nodeSize;
    size_t leafAt = h.node0 + (size_t)rows.back()[1] * h.nodeSize;
    struct { size_t at; int width; uint32_t value; } nodeDamage[] = {
        {rootAt + 10 + h.storedKeyLen, 4, 99999},
        {leafAt + 8, 2, 500},
        {rootAt + 8, 2, 0},
    };
    for (auto &d : nodeDamage) {
        image() = good;
        d.width == 2 ? put16(image(), d.at, (uint16_t)d.value) : put32(image(), d.at, d.value);
        ix = open(4, &err);
        ASSERT_NE(ix, nullptr);
        char k[4];
        ULONG rec, n = 0;
        USHORT rc = 0;
        for (USHORT r = IxdFirst(ix, k, &rec, &err); r == 0 && n < 100; n++)
            r = IxdNext(ix, k, &rec, &err), rc = r;
        EXPECT_TRUE(rc != 0 || n < 50);
        IxdEnter(ix, "zzzz", 1, &err);
        IxdRemove(ix, "abcd", 3, &err);
        IxdGetNrRecords(ix, "ab", &n);
        IxdClose(ix);
    }
}

TEST(IxdFile, UserAreaIsClampedToItsSize)
{
    ULONG err = 0, done = 0, pos = 0;
    PIX ix = create(4, 64, 100, &err);
    ASSERT_NE(ix, nullptr);
    EXPECT_EQ(IxdUserQuerySize(ix), 100u);
    std::string data(150, 'u');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (char)('a' + i % 26);
    EXPECT_EQ(IxdUserWrite(ix, data.data(), 150, &done, &err), 0);
    EXPECT_EQ(done, 100u);
    EXPECT_EQ(IxdUserWrite(ix, data.data(), 1, &done, &err), IXD_FAILED);
    EXPECT_EQ(err, (ULONG)IXD_ERR_USER_RANGE);
    std::string back(100, '\0');
    EXPECT_EQ(IxdUserRead(ix, &back[0], 100, &done, &err), 0);   // position went back to 0
    EXPECT_EQ(back, data.substr(0, 100));
    EXPECT_EQ(IxdUserSetPos(ix, 0, IXD_USER_END, &pos, &err), 0);
    EXPECT_EQ(pos, 99u);
    EXPECT_EQ(IxdUserSetPos(ix, -9, IXD_USER_CURRENT, &pos, &err), 0);
    EXPECT_EQ(pos, 90u);
    EXPECT_EQ(IxdUserRead(ix, &back[0], 50, &done, &err), 0);
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(IxdUserSetPos(ix, 100, IXD_USER_BEGIN, &pos, &err), IXD_FAILED);
    EXPECT_EQ(err, (ULONG)IXD_ERR_USER_RANGE);
    EXPECT_EQ(IxdUserSetPos(ix, -1, IXD_USER_BEGIN, &pos, &err), IXD_FAILED);
    // the area does not overlap the tree
    ASSERT_EQ(IxdEnter(ix, "abcd", 1, &err), 0);
    IxdClose(ix);
    auto h = ixdcheck::header(image());
    EXPECT_EQ(image().substr(h.userOff, 100), data.substr(0, 100));
    EXPECT_EQ(ixdcheck::verify(image()), "");
}

TEST(IxdFile, ProcessWideSettings)
{
    USHORT before = IxdSetCacheSize(2000);
    EXPECT_EQ(IxdSetCacheSize(7), IXD_DEFAULT_CACHE);
    EXPECT_EQ(IxdSetCacheSize(before), 7);
}

TEST(IxdFile, RealFilesAndKeySizeQuery)
{
    testutil::ScratchFile f("real.ixd");
    ULONG err = 1;
    PIX ix = IxdCreate(f.name.c_str(), 12, 0, 1024, 0, nullptr, &err);
    ASSERT_NE(ix, nullptr) << err;
    for (ULONG i = 0; i < 500; i++) {
        char k[13];
        snprintf(k, sizeof k, "%012lu", (unsigned long)(i * 7919 % 500));
        ASSERT_EQ(IxdEnter(ix, k, i, &err), 0);
    }
    IxdClose(ix);
    EXPECT_EQ(IxdQueryKeySize(f.name.c_str(), &err), 12);
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(IxdQueryKeySize("no_such.ixd", &err), 0);
    EXPECT_EQ(err, (ULONG)IXD_ERR_OPEN);
    std::string img = testutil::readFile(f.name);
    EXPECT_EQ(ixdcheck::header(img).nKeys, 500u);
    EXPECT_EQ(ixdcheck::verify(img), "");
    ix = IxdOpen(f.name.c_str(), 12, 0, nullptr, &err);
    ASSERT_NE(ix, nullptr);
    char k[12];
    ULONG rec;
    ASSERT_EQ(IxdLast(ix, k, &rec, &err), 0);
    EXPECT_EQ(std::string(k, 12), "000000000499");
    IxdClose(ix);
}

// A change cut off by a failing disk is reported (an I/O error) and
// leaves its crash mark: the file closes marked inconsistent, opens only
// with read locks switched off, and the keys entered before the failure
// are still there.
TEST(IxdFile, AChangeThatFailsPartWayLeavesTheFileMarked)
{
    ULONG err = 0;
    IxdSetCacheSize(0);          // every node write reaches the back-end
    PIX ix = create(8, 64, 0, &err);
    IxdSetCacheSize(IXD_DEFAULT_CACHE);
    ASSERT_NE(ix, nullptr);
    for (ULONG i = 0; i < 10; i++)
        ASSERT_EQ(IxdEnter(ix, "abcdefgh", i, &err), 0);
    memvbf::writesLeft() = 0;
    EXPECT_EQ(IxdEnter(ix, "abcdefgh", 99, &err), IXD_FAILED);
    EXPECT_EQ(err, (ULONG)IXD_ERR_IO);
    memvbf::writesLeft() = -1;
    IxdClose(ix);
    EXPECT_EQ(ixdcheck::header(image()).consistent, 0);
    EXPECT_EQ(open(8, &err), nullptr);
    EXPECT_EQ(err, (ULONG)IXD_ERR_BAD_FILE);

    ULONG before = IxdAllowReadlock(0);
    ix = open(8, &err);
    IxdAllowReadlock(before);
    ASSERT_NE(ix, nullptr);
    ULONG rec = 0, count = 0;
    char k[8];
    EXPECT_EQ(IxdSearchID(ix, "abcdefgh", 9, k, &rec, &err), 0);
    EXPECT_EQ(rec, 9u);
    EXPECT_EQ(IxdQueryNrKeys(ix, &count, &err), 0);
    EXPECT_EQ(count, 10u);
    IxdClose(ix);
}
