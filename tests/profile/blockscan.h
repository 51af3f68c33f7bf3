/*
 * blockscan.h - the tests' own reading of a damaged profile file: where
 * the blocks are that a scan for block headers believes, and what the
 * used ones hold.  It knows the byte layout by itself (no library
 * declaration is shared) and serves as the model that repair results are
 * judged against.
 *
 * A block header is 8 bytes: type 'U' or 'F', the signature AA 55 00, the
 * used length (u16) and the total size (u16, header included).  A header
 * is believed when its total size is at least 8 and the block ends at the
 * end of the file or where another such header starts.
 */
#ifndef BLOCKSCAN_H
#define BLOCKSCAN_H

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace blockscan {

using Bytes = std::vector<unsigned char>;

inline unsigned get16(const Bytes &b, size_t at) { return b[at] | b[at + 1] << 8; }
inline unsigned long get32(const Bytes &b, size_t at)
{
    return (unsigned long)get16(b, at) | (unsigned long)get16(b, at + 2) << 16;
}

struct Block {
    size_t pos;                        // of the header
    char type;
    unsigned used, total;
};

inline bool signedHeaderAt(const Bytes &b, size_t pos)
{
    return pos + 8 <= b.size() && (b[pos] == 'U' || b[pos] == 'F') && b[pos + 1] == 0xAA
        && b[pos + 2] == 0x55 && b[pos + 3] == 0x00 && get16(b, pos + 6) >= 8;
}

/* The blocks a scan from the first byte believes, in file order. */
inline std::vector<Block> scan(const Bytes &b)
{
    std::vector<Block> out;
    size_t pos = 0;
    while (pos + 8 <= b.size()) {
        if (signedHeaderAt(b, pos)) {
            size_t end = pos + get16(b, pos + 6);
            if (end == b.size() || signedHeaderAt(b, end)) {
                out.push_back({pos, (char)b[pos], get16(b, pos + 4), get16(b, pos + 6)});
                pos = end;
                continue;
            }
        }
        pos++;
    }
    return out;
}

/* A value piece as stored in a used block. */
struct Piece {
    unsigned long sectionId;
    std::string key;
    unsigned index;
    std::string data;
};

/* What a set of used blocks tells: section names by id, and pieces. */
struct Findings {
    std::map<unsigned long, std::string> sectionNames;
    std::vector<Piece> pieces;
};

inline bool magicAt(const Bytes &b, size_t at, const char *magic)
{
    return at + 4 <= b.size() && memcmp(&b[at], magic, 4) == 0;
}

inline std::string cString(const Bytes &b, size_t at, size_t end)
{
    std::string s;
    while (at < end && b[at])
        s += (char)b[at++];
    return s;
}

/* Reads the used blocks among `blocks`; keep(block) chooses which count. */
template <class Keep>
Findings read(const Bytes &b, const std::vector<Block> &blocks, Keep keep)
{
    Findings f;
    for (const Block &k : blocks) {
        if (k.type != 'U' || !keep(k) || k.used > k.total - 8u)
            continue;
        size_t data = k.pos + 8, end = data + k.used;
        if (magicAt(b, data, "@Sec")) {
            for (size_t r = data + 6; r + 12 < end;) {
                unsigned len = get16(b, r);
                if (len < 13)
                    break;
                f.sectionNames.emplace(get32(b, r + 4), cString(b, r + 12, end));
                r += len;
            }
        } else if (magicAt(b, data, "@Key")) {
            f.sectionNames.emplace(get32(b, data + 8), cString(b, data + 12, end));
        } else if (magicAt(b, data, "@Val")) {
            unsigned headerLength = get16(b, data + 10);
            Piece p;
            p.index = get16(b, data + 12);
            p.sectionId = get32(b, data + 14);
            p.key = cString(b, data + 18, end);
            p.data.assign((const char *)&b[data + headerLength], k.used - headerLength);
            f.pieces.push_back(p);
        }
    }
    return f;
}

} // namespace blockscan

#endif
