/*
 * pack_writer.h - a writer of the Huffman pack format (0x1F 0x1E) for the
 * tests, since no packer can be installed on the host.  It is built from
 * the published layout and shares nothing with the library's decoder: it
 * builds a Huffman tree with a priority queue, moves the end mark to the
 * deepest level, and gives every leaf an explicit code value.
 *
 * Layout: magic, plain length (big-endian), depth D, leaves per level
 * 1..D (the last less 2), the leaf bytes level by level without the end
 * mark (the last leaf of level D), codes most significant bit first.  On
 * each level the inner nodes hold the lowest code values and the leaves
 * follow in the order written.
 */
#ifndef PACK_WRITER_H
#define PACK_WRITER_H

#include <algorithm>
#include <cstdint>
#include <map>
#include <queue>
#include <string>
#include <vector>

namespace packwriter {

constexpr int kEndMark = 256;

/* Code lengths of every symbol present (bytes and the end mark). */
inline std::map<int, int> codeLengths(const std::string &plain)
{
    std::map<int, std::uint64_t> weight;
    for (unsigned char c : plain)
        weight[c]++;
    weight[kEndMark] = 1;
    struct Node {
        std::uint64_t w;
        std::vector<int> symbols;
    };
    auto heavier = [](const Node &a, const Node &b) { return a.w > b.w; };
    std::priority_queue<Node, std::vector<Node>, decltype(heavier)> q(heavier);
    for (auto [s, w] : weight)
        q.push({w, {s}});
    std::map<int, int> length;
    while (q.size() > 1) {          // every merge puts its symbols one level deeper
        Node a = q.top();
        q.pop();
        Node b = q.top();
        q.pop();
        a.symbols.insert(a.symbols.end(), b.symbols.begin(), b.symbols.end());
        for (int s : a.symbols)
            length[s]++;
        q.push({a.w + b.w, a.symbols});
    }
    int deepest = 0;
    for (auto [s, l] : length)
        deepest = std::max(deepest, l);
    if (length[kEndMark] != deepest) {      // swap lengths with a deepest byte
        for (auto &[s, l] : length)
            if (l == deepest) {
                std::swap(l, length[kEndMark]);
                break;
            }
    }
    return length;
}

inline std::string pack(const std::string &plain)
{
    std::map<int, int> length = codeLengths(plain);
    int depth = 0;
    for (auto [s, l] : length)
        depth = std::max(depth, l);
    std::vector<std::vector<int>> levels(depth + 1);    // leaves by level, end mark last
    for (auto [s, l] : length)
        if (s != kEndMark)
            levels[l].push_back(s);
    levels[depth].push_back(kEndMark);

    std::vector<std::uint32_t> inner(depth + 1, 0);
    for (int l = depth; l > 1; l--)
        inner[l - 1] = (inner[l] + static_cast<std::uint32_t>(levels[l].size())) / 2;
    std::map<int, std::uint32_t> code;
    for (int l = 1; l <= depth; l++)
        for (std::size_t i = 0; i < levels[l].size(); i++)
            code[levels[l][i]] = inner[l] + static_cast<std::uint32_t>(i);

    std::string out = "\x1f\x1e";
    auto n = static_cast<std::uint32_t>(plain.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>(n >> shift));
    out.push_back(static_cast<char>(depth));
    for (int l = 1; l <= depth; l++)
        out.push_back(static_cast<char>(levels[l].size() - (l == depth ? 2 : 0)));
    for (int l = 1; l <= depth; l++)
        for (int s : levels[l])
            if (s != kEndMark)
                out.push_back(static_cast<char>(s));

    unsigned char acc = 0;
    int used = 0;
    auto emit = [&](int symbol) {
        int len = length[symbol];
        for (int b = len - 1; b >= 0; b--) {
            acc = static_cast<unsigned char>(acc << 1 | (code[symbol] >> b & 1));
            if (++used == 8) {
                out.push_back(static_cast<char>(acc));
                acc = 0;
                used = 0;
            }
        }
    };
    for (unsigned char c : plain)
        emit(c);
    emit(kEndMark);
    if (used != 0)
        out.push_back(static_cast<char>(acc << (8 - used)));
    return out;
}

}  // namespace packwriter

#endif  // PACK_WRITER_H
