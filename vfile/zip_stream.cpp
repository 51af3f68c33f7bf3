/*
 * zip_stream.cpp - raw deflate streams (RFC 1951) through zlib, between
 * the buffered reader and writer, with the CRC-32 and length of the plain
 * side counted on the way.
 *
 * Both loops hand zlib the reader's buffered bytes and the writer's free
 * room directly, so no byte is copied in between.  The inflater stops at
 * the stream's last block and gives back the input behind it, which is
 * where the gzip and PKZIP trailers begin.  A stream that ends before its
 * last block, or that zlib finds damaged, ends the run as damaged input.
 */
#include <zlib.h>
#include "vfile/zipint.h"

namespace orin::zip {
namespace {

constexpr int kRawWindowBits = -MAX_WBITS;    // no zlib or gzip wrapper
constexpr int kMemLevel = 8;                  // zlib's default

/* The end of a deflate stream, however the run leaves. */
struct DeflateOwner {
    z_stream z = {};
    explicit DeflateOwner(int level)
    {
        if (deflateInit2(&z, level, Z_DEFLATED, kRawWindowBits, kMemLevel, Z_DEFAULT_STRATEGY)
            != Z_OK)
            fail();
    }
    ~DeflateOwner() { deflateEnd(&z); }
    DeflateOwner(const DeflateOwner &) = delete;
    DeflateOwner &operator=(const DeflateOwner &) = delete;
};

}  // namespace

void addPlain(PlainSum &sum, const BYTE *data, std::size_t n) noexcept
{
    sum.crc = static_cast<std::uint32_t>(crc32(sum.crc, data, static_cast<uInt>(n)));
    sum.length += n;
}

struct Inflater::State {
    z_stream z = {};
    State()
    {
        if (inflateInit2(&z, kRawWindowBits) != Z_OK)
            fail();
    }
    ~State() { inflateEnd(&z); }
    State(const State &) = delete;
    State &operator=(const State &) = delete;
};

Inflater::Inflater() : s_(std::make_unique<State>()) {}

Inflater::~Inflater() = default;

PlainSum Inflater::run(Input &in, Output &out)
{
    z_stream &z = s_->z;
    if (inflateReset(&z) != Z_OK)
        fail();
    PlainSum sum;
    for (;;) {
        auto src = in.peek();
        auto dst = out.space();
        z.next_in = const_cast<BYTE *>(src.data());
        z.avail_in = static_cast<uInt>(src.size());
        z.next_out = dst.data();
        z.avail_out = static_cast<uInt>(dst.size());
        int rc = inflate(&z, Z_NO_FLUSH);
        std::size_t produced = dst.size() - z.avail_out;
        std::size_t consumed = src.size() - z.avail_in;
        in.skip(consumed);
        addPlain(sum, dst.data(), produced);
        out.commit(produced);
        if (rc == Z_STREAM_END)
            return sum;
        /* Z_BUF_ERROR without progress: the input ended inside the stream. */
        if (rc != Z_OK && !(rc == Z_BUF_ERROR && produced + consumed != 0))
            fail();
    }
}

PlainSum deflateAll(Input &in, Output &out, int level)
{
    DeflateOwner d(level);
    z_stream &z = d.z;
    PlainSum sum;
    for (;;) {
        auto src = in.peek();
        int flush = src.empty() ? Z_FINISH : Z_NO_FLUSH;
        addPlain(sum, src.data(), src.size());
        z.next_in = const_cast<BYTE *>(src.data());
        z.avail_in = static_cast<uInt>(src.size());
        int rc;
        do {
            auto dst = out.space();
            z.next_out = dst.data();
            z.avail_out = static_cast<uInt>(dst.size());
            rc = deflate(&z, flush);
            if (rc == Z_STREAM_ERROR)
                fail();
            out.commit(dst.size() - z.avail_out);
        } while (z.avail_out == 0 || z.avail_in != 0);
        in.skip(src.size());
        if (flush == Z_FINISH) {
            if (rc != Z_STREAM_END)
                fail();
            return sum;
        }
    }
}

}  // namespace orin::zip
