/*
 * zipint.h - what the compressed-file sources share: the buffered reader
 * and writer over Vbf handles that every coder works through, the way a
 * coder gives up, and the coders themselves.  Not part of the exported
 * interface.
 *
 * A coding run (one call of runCoder) owns everything it uses: buffers,
 * zlib streams and decoder tables live on its stack or in its own heap
 * blocks, so runs on different threads never meet.  A coder that meets
 * damaged input or a failing handle throws CoderError from wherever it
 * is; runCoder catches it and turns it into the run's result, and the
 * owners on the way up give back what they hold.  Nothing is thrown past
 * runCoder.
 */
#ifndef ZIPINT_H
#define ZIPINT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include "zip.h"
#include "vfile/vbf_owner.h"

namespace orin::zip {


/* Why a coding run ends early: a Vbf code, or ZIP_ERR_FAILED. */
struct CoderError {
    USHORT code;
};

[[noreturn]] void fail(USHORT code = ZIP_ERR_FAILED);

/* Reads a Vbf handle through a buffer, from its current position.  When
 * the handle can tell its length, reads never ask for bytes beyond the
 * end (some back-ends take a short read as an error); bulk reads bypass
 * the back-end's cache where it has one. */
class Input {
public:
    explicit Input(HVBF h);
    Input(const Input &) = delete;
    Input &operator=(const Input &) = delete;

    /* The bytes buffered and not yet taken: at least min(n, bytes left in
     * the file) of them.  Empty only at the end of the file. */
    std::span<const BYTE> peek(std::size_t n = 1);
    /* Takes n bytes of what peek showed. */
    void skip(std::size_t n) noexcept { pos_ += n; taken_ += n; }
    bool atEnd() { return peek().empty(); }

    /* Takes exactly these bytes or fails as damaged input. */
    BYTE byte();
    void read(void *out, std::size_t n);
    void discard(std::uint64_t n);
    std::uint16_t le16();
    std::uint32_t le32();
    std::uint64_t le64();
    std::uint32_t be32();

    /* Bytes taken since the reader was made. */
    std::uint64_t taken() const noexcept { return taken_; }

private:
    void refill();

    HVBF h_;
    std::unique_ptr<BYTE[]> buf_;
    std::size_t pos_ = 0;           // next byte to hand out
    std::size_t end_ = 0;           // bytes valid in buf_
    std::uint64_t left_;            // bytes of the file not yet read into buf_
    std::uint64_t taken_ = 0;
    bool direct_ = true;            // ReadDirect until the back-end says it has none
};

/* Writes a Vbf handle through a buffer, from its current position. */
class Output {
public:
    explicit Output(HVBF h);
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    /* Free room in the buffer (never empty); commit(n) keeps n bytes of it. */
    std::span<BYTE> space();
    void commit(std::size_t n) noexcept { used_ += n; written_ += n; }
    void write(const void *data, std::size_t n);
    void put(BYTE b);
    void le32(std::uint32_t v);
    /* Hands everything buffered to the handle. */
    void flush();

    std::uint64_t written() const noexcept { return written_; }

private:
    HVBF h_;
    std::unique_ptr<BYTE[]> buf_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
};

/* What a coder produced: the CRC-32 and length of the plain bytes. */
struct PlainSum {
    std::uint32_t crc = 0;
    std::uint64_t length = 0;
};

/* Counts n more plain bytes into sum. */
void addPlain(PlainSum &sum, const BYTE *data, std::size_t n) noexcept;

/* Raw deflate streams (zip_stream.cpp).  An Inflater is made once per run
 * and reset for every stream it decodes. */
class Inflater {
public:
    Inflater();
    ~Inflater();
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;

    /* Inflates one raw deflate stream from in to out, up to its last
     * block; in is left just behind it. */
    PlainSum run(Input &in, Output &out);

private:
    struct State;
    std::unique_ptr<State> s_;
};

/* Deflates all of in as one raw deflate stream into out. */
PlainSum deflateAll(Input &in, Output &out, int level);

/* The formats (one source each). */
void writeGzip(Input &in, Output &out, std::uint32_t unixTime);   // zip_gzip.cpp
void readGzip(Input &in, Output &out);                            // zip_gzip.cpp
void readPkzip(Input &in, Output &out);                           // zip_pkzip.cpp
void readPack(Input &in, Output &out);                            // zip_pack.cpp
void readLzw(Input &in, Output &out);                             // zip_lzw.cpp

/* The plain length of a compressed file that is one gzip member, from
 * its trailer and without inflating; false when the file is not known to
 * be exactly one member.  Reads the whole file; its position is left
 * anywhere. */
bool gzipPlainLength(HVBF compressed, ULONG *length) noexcept;

/* The gzip time field for a file: its last-write time in seconds since
 * 1970, or 0 (no time) when the handle cannot tell. */
std::uint32_t unixWriteTime(HVBF h) noexcept;

/* One whole run of ZipCompressVbfFiles (zip_formats.cpp). */
USHORT runCoder(HVBF source, HVBF target, bool decompress) noexcept;

/* Cuts a file behind its position, where the back-end can (zip_formats.cpp). */
USHORT cutBehindWritten(HVBF target) noexcept;

}  // namespace orin::zip

#endif /* ZIPINT_H */
