/*
 * ixdcheck.h - an independent reader of index file images for the tests:
 * decodes the header and nodes from raw bytes (its own offsets, written
 * from the file format rather than taken from the library) and checks the
 * tree's structure.
 */
#ifndef IXDCHECK_H
#define IXDCHECK_H

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace ixdcheck {

inline uint32_t u32(const std::string &b, size_t at)
{
    return (uint8_t)b[at] | (uint8_t)b[at + 1] << 8 | (uint8_t)b[at + 2] << 16 |
           (uint32_t)(uint8_t)b[at + 3] << 24;
}
inline uint16_t u16(const std::string &b, size_t at)
{
    return (uint16_t)((uint8_t)b[at] | (uint8_t)b[at + 1] << 8);
}

const uint32_t NONE = 0xFFFFFFFFu;

struct Header {
    std::string magic;
    uint16_t version, height, storedKeyLen, maxEntries, nodeSize, consistent;
    uint32_t root, freeHead, nKeys, nNodes, node0, userOff, userSize;
};

inline Header header(const std::string &b)
{
    Header h = {};
    if (b.size() < 48)
        return h;
    h.magic = b.substr(0, 8);
    h.version = u16(b, 8);
    h.root = u32(b, 10);
    h.freeHead = u32(b, 14);
    h.height = u16(b, 18);
    h.storedKeyLen = u16(b, 20);
    h.maxEntries = u16(b, 22);
    h.nodeSize = u16(b, 24);
    h.consistent = u16(b, 26);
    h.nKeys = u32(b, 28);
    h.nNodes = u32(b, 32);
    h.node0 = u32(b, 36);
    h.userOff = u32(b, 40);
    h.userSize = u32(b, 44);
    return h;
}

struct Node {
    uint32_t prev, next;
    std::vector<std::string> keys;     /* stored keys */
    std::vector<uint32_t> ptrs;
};

inline Node node(const std::string &b, const Header &h, uint32_t n)
{
    size_t at = h.node0 + (size_t)n * h.nodeSize;
    Node nd;
    nd.prev = u32(b, at);
    nd.next = u32(b, at + 4);
    uint16_t count = u16(b, at + 8);
    for (uint16_t i = 0; i < count; i++) {
        size_t e = at + 10 + (size_t)i * (h.storedKeyLen + 4);
        nd.keys.push_back(b.substr(e, h.storedKeyLen));
        nd.ptrs.push_back(u32(b, e + h.storedKeyLen));
    }
    return nd;
}

/* Nodes of each level from left to right, root level first, found by
 * descending the leftmost pointers and following the next links. */
inline std::vector<std::vector<uint32_t>> levels(const std::string &b, const Header &h)
{
    std::vector<std::vector<uint32_t>> out;
    uint32_t first = h.root;
    for (int level = h.height - 1; level >= 0; level--) {
        std::vector<uint32_t> row;
        for (uint32_t n = first; n < h.nNodes && row.size() <= h.nNodes; n = node(b, h, n).next)
            row.push_back(n);
        out.push_back(row);
        Node f = node(b, h, first);
        if (level > 0)
            first = f.ptrs.empty() ? NONE : f.ptrs[0];
        if (first >= h.nNodes)
            break;
    }
    return out;
}

inline std::vector<uint32_t> freeList(const std::string &b, const Header &h)
{
    std::vector<uint32_t> out;
    for (uint32_t n = h.freeHead; n != NONE && out.size() <= h.nNodes;
         n = u32(b, h.node0 + (size_t)n * h.nodeSize))
        out.push_back(n);
    return out;
}

/* Checks what every reader relies on: interior keys are the greatest key
 * of their child, keys ascend along each level, back links mirror forward
 * links, and the leaves hold nKeys entries.  Returns "" when sound. */
inline std::string verify(const std::string &b)
{
    if (b.size() < 48)
        return "no header";
    Header h = header(b);
    if (h.nodeSize == 0 || b.size() < h.node0 + (size_t)h.nNodes * h.nodeSize)
        return "file shorter than its nodes";
    auto rows = levels(b, h);
    uint64_t leafEntries = 0;
    for (size_t r = 0; r < rows.size(); r++) {
        std::string last;
        uint32_t prev = NONE;
        for (uint32_t n : rows[r]) {
            Node nd = node(b, h, n);
            if (nd.prev != prev)
                return "back link broken at node " + std::to_string(n);
            if (nd.keys.empty() && !(r + 1 == rows.size() && rows[r].size() == 1))
                return "empty node " + std::to_string(n);
            for (size_t i = 0; i < nd.keys.size(); i++) {
                if (!last.empty() && !(last < nd.keys[i]))
                    return "keys out of order in node " + std::to_string(n);
                last = nd.keys[i];
                if (r + 1 < rows.size()) {
                    Node child = node(b, h, nd.ptrs[i]);
                    if (child.keys.empty() || child.keys.back() != nd.keys[i])
                        return "interior key differs from child's greatest";
                }
            }
            if (r + 1 == rows.size())
                leafEntries += nd.keys.size();
            prev = n;
        }
    }
    if (leafEntries != h.nKeys)
        return "leaf entries " + std::to_string(leafEntries) + " != key count";
    return "";
}

} // namespace ixdcheck

#endif
