/*
 * zip_io.cpp - the buffered reader and writer the coders work through.
 *
 * Input keeps one buffer of kBufferSize bytes.  peek(n) hands out what is
 * buffered; when fewer than n bytes are left it moves them to the front
 * and reads on behind them, so a header field never straddles a refill.
 * The reader learns at the start how many bytes the file still holds
 * (length minus position) when the handle can tell, and then never asks
 * for more: the stream adapter takes a short read as an error.  It reads
 * with ReadDirect, which the buffered file back-end serves with one
 * system call per buffer instead of one per cached page, and falls back
 * to Read for back-ends without it.
 *
 * Output collects bytes in a buffer of the same size and writes it out
 * whole.  Every failure of a handle ends the run with that handle's code;
 * a write that stores fewer bytes than asked without one ends it with
 * ZIP_ERR_FAILED.
 */
#include <algorithm>
#include <cstring>
#include <limits>
#include "vfile/zipint.h"

namespace orin::zip {
namespace {

constexpr std::size_t kBufferSize = 128 * 1024;
constexpr std::uint64_t kLengthUnknown = std::numeric_limits<std::uint64_t>::max();

/* What is left of the file from the handle's position, when it can tell. */
std::uint64_t bytesLeft(HVBF h) noexcept
{
    ULONG length = 0;
    ULONG position = 0;
    if (VbfQueryLength(h, &length) != 0 || VbfChgFilePtr(h, 0, VBF_FILE_CURRENT, &position) != 0)
        return kLengthUnknown;
    return length >= position ? length - position : 0;
}

}  // namespace

void fail(USHORT code)
{
    throw CoderError{code};
}

Input::Input(HVBF h) : h_(h), buf_(new BYTE[kBufferSize]), left_(bytesLeft(h)) {}

void Input::refill()
{
    auto want = static_cast<ULONG>(std::min<std::uint64_t>(kBufferSize - end_, left_));
    ULONG got = 0;
    USHORT rc = ORIN_ERR_NOT_SUPPORTED;
    if (direct_) {
        rc = VbfReadDirect(h_, buf_.get() + end_, want, &got);
        if (rc == ORIN_ERR_NOT_SUPPORTED)
            direct_ = false;
    }
    if (!direct_)
        rc = VbfRead(h_, buf_.get() + end_, want, &got);
    if (rc != 0)
        fail(rc);
    if (got == 0 || got > want) {
        left_ = 0;
        return;
    }
    end_ += got;
    if (left_ != kLengthUnknown)
        left_ -= got;
}

std::span<const BYTE> Input::peek(std::size_t n)
{
    if (end_ - pos_ < n && left_ != 0) {
        std::memmove(buf_.get(), buf_.get() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
        while (end_ < n && left_ != 0)
            refill();
    }
    return {buf_.get() + pos_, end_ - pos_};
}

BYTE Input::byte()
{
    auto s = peek(1);
    if (s.empty())
        fail();
    skip(1);
    return s[0];
}

void Input::read(void *out, std::size_t n)
{
    auto *to = static_cast<BYTE *>(out);
    while (n != 0) {
        auto s = peek(1);
        if (s.empty())
            fail();
        std::size_t k = std::min(n, s.size());
        std::memcpy(to, s.data(), k);
        skip(k);
        to += k;
        n -= k;
    }
}

void Input::discard(std::uint64_t n)
{
    while (n != 0) {
        auto s = peek(1);
        if (s.empty())
            fail();
        auto k = static_cast<std::size_t>(std::min<std::uint64_t>(n, s.size()));
        skip(k);
        n -= k;
    }
}

std::uint16_t Input::le16()
{
    BYTE b[2];
    read(b, sizeof b);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

std::uint32_t Input::le32()
{
    BYTE b[4];
    read(b, sizeof b);
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::uint64_t Input::le64()
{
    std::uint64_t low = le32();
    return low | std::uint64_t{le32()} << 32;
}

std::uint32_t Input::be32()
{
    BYTE b[4];
    read(b, sizeof b);
    return static_cast<std::uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
}

Output::Output(HVBF h) : h_(h), buf_(new BYTE[kBufferSize]) {}

std::span<BYTE> Output::space()
{
    if (used_ == kBufferSize)
        flush();
    return {buf_.get() + used_, kBufferSize - used_};
}

void Output::write(const void *data, std::size_t n)
{
    const auto *from = static_cast<const BYTE *>(data);
    while (n != 0) {
        auto room = space();
        std::size_t k = std::min(n, room.size());
        std::memcpy(room.data(), from, k);
        commit(k);
        from += k;
        n -= k;
    }
}

void Output::put(BYTE b)
{
    space()[0] = b;
    commit(1);
}

void Output::le32(std::uint32_t v)
{
    const BYTE b[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8),
                       static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 24)};
    write(b, sizeof b);
}

void Output::flush()
{
    if (used_ == 0)
        return;
    ULONG done = 0;
    USHORT rc = VbfWrite(h_, buf_.get(), static_cast<ULONG>(used_), &done);
    if (rc != 0)
        fail(rc);
    if (done != used_)
        fail();
    used_ = 0;
}

}  // namespace orin::zip
