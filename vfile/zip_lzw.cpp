/*
 * zip_lzw.cpp - the LZW compress format (0x1F 0x9D).
 *
 * Format.  Two magic bytes, then a mode byte: the largest code width (9
 * to 16 bits) in its low five bits, 0x80 for block mode, 0x60 reserved
 * (zero).  Then codes, least significant bit first, starting at 9 bits.
 * Codes 0-255 are the bytes themselves; in block mode 256 clears the
 * table, so the first free entry is 257, else 256.  Each code after the
 * first adds an entry: the previous code's string plus the first byte of
 * this code's string; a code equal to the next free entry stands for the
 * previous string plus its own first byte.  When the next free entry no
 * longer fits the width, the width grows by one bit, up to the largest;
 * a full table adds nothing more.
 *
 * The writer puts codes out in groups of eight, which take exactly
 * `width` bytes.  When the width changes (it grows, or a clear sets it
 * back to 9) the rest of the current group is padding: reading resumes at
 * the next group boundary with the new width.  The decoder therefore reads
 * one group at a time and drops its rest at such a change.  The file has
 * no end mark and no check value; trailing bits too few for a code are
 * padding.
 *
 * Input is refused when the mode byte is outside the format, the first
 * code is not a byte, or a code lies beyond the next free entry.
 */
#include <algorithm>
#include <memory>
#include "vfile/zipint.h"

namespace orin::zip {
namespace {

constexpr BYTE kMagic1 = 0x9D;
constexpr BYTE kWidthMask = 0x1F;
constexpr BYTE kBlockMode = 0x80;
constexpr BYTE kReservedBits = 0x60;
constexpr int kFirstWidth = 9;
constexpr int kLargestWidth = 16;
constexpr std::uint32_t kClear = 256;
constexpr std::uint32_t kBytes = 256;
constexpr std::size_t kTableSize = std::size_t{1} << kLargestWidth;
constexpr int kCodesPerGroup = 8;
constexpr std::size_t kGroupSlack = 3;   // zeros behind a group for the code reader

class Lzw {
public:
    Lzw(int largest, bool blockMode, Output &out)
        : out_(out), largest_(largest), block_(blockMode), tableEnd_(std::uint32_t{1} << largest),
          free_(blockMode ? kClear + 1 : kBytes), prefix_(new std::uint16_t[kTableSize]),
          suffix_(new BYTE[kTableSize]), stack_(new BYTE[kTableSize + 1])
    {
        setWidth(kFirstWidth);
    }

    int width() const noexcept { return width_; }

    /* Whether the next code is wider than the ones before. */
    bool widthGrows() const noexcept { return free_ > maxCode_; }
    void grow() noexcept { setWidth(width_ + 1); }

    /* Decodes one code; false when it cleared the table (the rest of the
     * group is padding). */
    bool decode(std::uint32_t code)
    {
        if (first_) {
            if (code >= kBytes)
                fail();
            first_ = false;
            last_ = code;
            lastFirstByte_ = static_cast<BYTE>(code);
            out_.put(lastFirstByte_);
            return true;
        }
        if (block_ && code == kClear) {
            free_ = kClear;     // the next code adds an entry no code can name
            setWidth(kFirstWidth);
            return false;
        }
        emit(code);
        if (free_ < tableEnd_) {
            prefix_[free_] = static_cast<std::uint16_t>(last_);
            suffix_[free_] = lastFirstByte_;
            free_++;
        }
        last_ = code;
        return true;
    }

private:
    void setWidth(int w) noexcept
    {
        width_ = w;
        maxCode_ = w == largest_ ? tableEnd_ : (std::uint32_t{1} << w) - 1;
    }

    /* Writes the string of a code; remembers its first byte. */
    void emit(std::uint32_t code)
    {
        BYTE *end = stack_.get() + kTableSize + 1;
        BYTE *sp = end;
        if (code >= free_) {
            if (code > free_)
                fail();
            *--sp = lastFirstByte_;
            code = last_;
        }
        while (code >= kBytes) {      // entries always name smaller codes
            *--sp = suffix_[code];
            code = prefix_[code];
        }
        lastFirstByte_ = static_cast<BYTE>(code);
        *--sp = lastFirstByte_;
        out_.write(sp, end - sp);
    }

    Output &out_;
    const int largest_;
    const bool block_;
    const std::uint32_t tableEnd_;
    std::uint32_t free_;
    int width_ = kFirstWidth;
    std::uint32_t maxCode_ = 0;
    bool first_ = true;
    std::uint32_t last_ = 0;
    BYTE lastFirstByte_ = 0;
    std::unique_ptr<std::uint16_t[]> prefix_;
    std::unique_ptr<BYTE[]> suffix_;
    std::unique_ptr<BYTE[]> stack_;
};

/* Up to n bytes; fewer only at the end of the file. */
std::size_t readUpTo(Input &in, BYTE *to, std::size_t n)
{
    auto s = in.peek(n);
    std::size_t k = s.size() < n ? s.size() : n;
    std::copy_n(s.data(), k, to);
    in.skip(k);
    return k;
}

/* The code of `width` bits at bit `at` of a group, low bits first. */
std::uint32_t codeAt(const BYTE *group, std::size_t at, int width) noexcept
{
    const BYTE *p = group + (at >> 3);
    std::uint32_t bits = p[0] | p[1] << 8 | p[2] << 16;
    return bits >> (at & 7) & ((std::uint32_t{1} << width) - 1);
}

}  // namespace

void readLzw(Input &in, Output &out)
{
    BYTE head[3];
    in.read(head, sizeof head);
    int largest = head[2] & kWidthMask;
    if (head[1] != kMagic1 || (head[2] & kReservedBits) != 0 || largest < kFirstWidth
        || largest > kLargestWidth)
        fail();
    Lzw lzw(largest, (head[2] & kBlockMode) != 0, out);
    BYTE group[kLargestWidth + kGroupSlack] = {};
    for (;;) {
        if (lzw.widthGrows())
            lzw.grow();
        int width = lzw.width();
        std::size_t got = readUpTo(in, group, width);
        if (got == 0)
            return;
        std::fill(group + got, group + sizeof group, BYTE{0});
        std::size_t codes = got * 8 / width;
        for (std::size_t i = 0; i < codes && i < kCodesPerGroup; i++) {
            if (i != 0 && lzw.widthGrows())
                break;
            if (!lzw.decode(codeAt(group, i * width, width)))
                break;
        }
    }
}

}  // namespace orin::zip
