/*
 * zip_pack.cpp - the Huffman pack format (0x1F 0x1E).
 *
 * Format.  Two magic bytes; the plain length, 4 bytes big-endian; the
 * depth of the code tree D (1 to 24); D bytes counting the leaves on each
 * level from 1 to D, the last one stored less 2; the leaf bytes level by
 * level, all but the last leaf of level D, which is the end mark; then
 * the codes, most significant bit first, up to the end mark's code and
 * padded to a byte.
 *
 * Codes.  The tree is full: every inner node has two children, the two
 * codes one bit longer.  On each level the inner nodes take the smallest
 * code values and the leaves follow in the order stored, so with I(L)
 * inner nodes on level L the leaves there are I(L), I(L) + 1, ...; level
 * D has no inner nodes, and I(L - 1) is half the nodes of level L.
 *
 * The leaf counts are checked to describe exactly such a tree (each level
 * an even number of nodes, two on level 1, at most 257 leaves), so every
 * code decodes to a leaf.  The decoded length must equal the stored one
 * and the file must end with the byte that holds the end mark.
 */
#include <array>
#include "vfile/zipint.h"

namespace orin::zip {
namespace {

constexpr BYTE kMagic1 = 0x1E;
constexpr int kDeepest = 24;
constexpr int kLastLevelBias = 2;
constexpr unsigned kMostLeaves = 257;       // every byte value and the end mark

struct Tree {
    int depth = 0;
    std::array<unsigned, kDeepest + 1> leaves{};    // by level, 1..depth
    std::array<unsigned, kDeepest + 1> inner{};     // inner nodes by level
    std::array<unsigned, kDeepest + 1> first{};     // index of the level's first leaf byte
    std::array<BYTE, kMostLeaves> bytes{};
};

void readTree(Input &in, Tree &t)
{
    t.depth = in.byte();
    if (t.depth < 1 || t.depth > kDeepest)
        fail();
    unsigned total = 0;
    for (int level = 1; level <= t.depth; level++) {
        t.leaves[level] = in.byte();
        total += t.leaves[level];
    }
    t.leaves[t.depth] += kLastLevelBias;
    total += kLastLevelBias;
    if (total > kMostLeaves)
        fail();
    t.inner[t.depth] = 0;
    for (int level = t.depth; level >= 1; level--) {
        unsigned nodes = t.inner[level] + t.leaves[level];
        if (nodes % 2 != 0 || (level == 1 && nodes != 2))
            fail();
        if (level > 1)
            t.inner[level - 1] = nodes / 2;
    }
    unsigned index = 0;
    for (int level = 1; level <= t.depth; level++) {
        t.first[level] = index;
        index += t.leaves[level];
    }
    in.read(t.bytes.data(), total - 1);      // the end mark is not stored
}

class BitReader {
public:
    explicit BitReader(Input &in) : in_(in) {}
    unsigned next()
    {
        if (left_ == 0) {
            byte_ = in_.byte();
            left_ = 8;
        }
        return byte_ >> --left_ & 1;
    }

private:
    Input &in_;
    BYTE byte_ = 0;
    int left_ = 0;
};

}  // namespace

void readPack(Input &in, Output &out)
{
    BYTE magic[2];
    in.read(magic, sizeof magic);
    if (magic[1] != kMagic1)
        fail();
    std::uint32_t length = in.be32();
    Tree t;
    readTree(in, t);
    const unsigned endMark = t.leaves[t.depth] - 1;
    BitReader bits(in);
    std::uint32_t written = 0;
    for (;;) {
        unsigned code = 0;
        int level = 0;
        do {
            code = code << 1 | bits.next();
            level++;
        } while (code < t.inner[level]);
        unsigned leaf = code - t.inner[level];
        if (level == t.depth && leaf == endMark)
            break;
        if (written == length)
            fail();
        out.put(t.bytes[t.first[level] + leaf]);
        written++;
    }
    if (written != length || !in.atEnd())
        fail();
}

}  // namespace orin::zip
