/*
 * lzw_writer.h - a writer of the LZW compress format (0x1F 0x9D) for the
 * variants the host's compress writes wrongly: a largest code width of 9
 * bits with a full table, and files without block mode.  It never clears
 * the table.  Built from the published format, not from the library's
 * decoder: a map from (code, byte) to entry, codes packed low bit first
 * in groups of eight, a group padded to `width` bytes when the width
 * grows.  The reader adds an entry one code after the writer does, so the
 * width grows once the reader's next free entry no longer fits.
 */
#ifndef LZW_WRITER_H
#define LZW_WRITER_H

#include <cstdint>
#include <map>
#include <string>

namespace lzwwriter {

inline std::string compress(const std::string &plain, int largest, bool blockMode)
{
    std::string out = "\x1f\x9d";
    out.push_back(static_cast<char>(largest | (blockMode ? 0x80 : 0)));
    if (plain.empty())
        return out;
    const std::uint32_t tableEnd = 1u << largest;
    std::uint32_t free = blockMode ? 257 : 256;      // the writer's next entry
    std::uint32_t readerFree = free;                 // the reader's, one code behind
    int width = 9;
    std::string group;
    std::uint64_t acc = 0;
    int bits = 0, codesInGroup = 0;
    bool first = true;
    auto flushGroup = [&](bool pad) {
        if (bits > 0)
            group.push_back(static_cast<char>(acc));
        acc = 0;
        bits = 0;
        if (pad)
            group.resize(width, '\0');
        out += group;
        group.clear();
        codesInGroup = 0;
    };
    auto emit = [&](std::uint32_t code) {
        std::uint32_t maxCode = width == largest ? tableEnd : (1u << width) - 1;
        if (readerFree > maxCode) {
            flushGroup(codesInGroup != 0);
            width++;
        }
        acc |= std::uint64_t{code} << bits;
        bits += width;
        while (bits >= 8) {
            group.push_back(static_cast<char>(acc));
            acc >>= 8;
            bits -= 8;
        }
        if (++codesInGroup == 8)
            flushGroup(false);
        if (!first && readerFree < tableEnd)
            readerFree++;
        first = false;
    };
    std::map<std::uint32_t, std::uint32_t> table;
    std::uint32_t ent = static_cast<unsigned char>(plain[0]);
    for (std::size_t i = 1; i < plain.size(); i++) {
        auto c = static_cast<unsigned char>(plain[i]);
        auto it = table.find(ent << 8 | c);
        if (it != table.end()) {
            ent = it->second;
            continue;
        }
        emit(ent);
        if (free < tableEnd)
            table[ent << 8 | c] = free++;
        ent = c;
    }
    emit(ent);
    flushGroup(false);
    return out;
}

}  // namespace lzwwriter

#endif  // LZW_WRITER_H
