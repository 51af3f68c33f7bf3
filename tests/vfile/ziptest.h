/*
 * ziptest.h - helpers of the compressed-file tests: the fixture files the
 * host's gzip, compress and zip made before the run (zip_fixtures.sh, in
 * zipfix\ beside the test programs), in-memory Vbf handles over OLE
 * streams, a reference gzip decoder (zlib's own gzip wrapper, which shares
 * no code with the library's framing), and the folder whose files the host
 * checks with gzip after the run (zip_host_check.sh).
 */
#ifndef ZIPTEST_H
#define ZIPTEST_H

#include <windows.h>
#include <objbase.h>
#include <zlib.h>
#include <cstdint>
#include <string>
#include "knlnam.h"
#include "testutil.h"
#include "vbf.h"
#include "zip.h"

namespace ziptest {

constexpr USHORT kRefused = ZIP_ERR_FAILED;

inline std::string fixturePath(const std::string &name)
{
    return "zipfix\\" + name;
}

/* Files for the host's check: NAME.gz must pass gzip -t and unpack to NAME. */
inline std::string hostCheckPath(const std::string &name)
{
    return "zipfix\\out\\" + name;
}

inline std::string fixture(const std::string &name)
{
    return testutil::readFile(fixturePath(name));
}

inline bool fixturesReady()
{
    return testutil::fileExists(fixturePath("ready"));
}

/* A Vbf handle over an in-memory stream holding `bytes`, positioned at 0. */
class MemVbf {
public:
    explicit MemVbf(const std::string &bytes = std::string())
    {
        CreateStreamOnHGlobal(nullptr, TRUE, &stream_);
        ULONG done = 0;
        if (!bytes.empty())
            stream_->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &done);
        LARGE_INTEGER zero = {};
        stream_->Seek(zero, STREAM_SEEK_SET, nullptr);
        handle_ = VbfCreateOnStream(stream_);
    }
    ~MemVbf()
    {
        if (handle_)
            VbfClose(handle_);
        stream_->Release();
    }
    MemVbf(const MemVbf &) = delete;
    MemVbf &operator=(const MemVbf &) = delete;

    HVBF get() const { return handle_; }

    std::string bytes() const
    {
        STATSTG st;
        stream_->Stat(&st, STATFLAG_NONAME);
        std::string out(st.cbSize.LowPart, '\0');
        LARGE_INTEGER zero = {};
        stream_->Seek(zero, STREAM_SEEK_SET, nullptr);
        ULONG got = 0;
        if (!out.empty())
            stream_->Read(&out[0], static_cast<ULONG>(out.size()), &got);
        return out;
    }

private:
    IStream *stream_ = nullptr;
    HVBF handle_ = nullptr;
};

/* Inflates or deflates bytes held in memory. */
inline USHORT inflateBytes(const std::string &compressed, std::string *plain)
{
    MemVbf in(compressed), out;
    USHORT rc = ZipCompressVbfFiles(in.get(), out.get(), 1);
    *plain = out.bytes();
    return rc;
}

inline USHORT deflateBytes(const std::string &plain, std::string *compressed)
{
    MemVbf in(plain), out;
    USHORT rc = ZipCompressVbfFiles(in.get(), out.get(), 0);
    *compressed = out.bytes();
    return rc;
}

/* Inflates a fixture file into a file through ZipCompress. */
inline USHORT inflateFixture(const std::string &name, std::string *plain)
{
    std::string target = hostCheckPath(name + ".plain");
    USHORT rc = ZipCompress(KnlNamGetDefaultNS(), fixturePath(name).c_str(), target.c_str(), 1);
    *plain = testutil::readFile(target);
    DeleteFileA(target.c_str());
    return rc;
}

/* zlib's gzip decoder: every member, checked; false when it refuses. */
inline bool referenceGunzip(const std::string &gz, std::string *plain)
{
    z_stream z = {};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return false;
    plain->clear();
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gz.data()));
    z.avail_in = static_cast<uInt>(gz.size());
    char buf[65536];
    int rc = Z_OK;
    while (rc != Z_STREAM_END || z.avail_in != 0) {
        if (rc == Z_STREAM_END && inflateReset(&z) != Z_OK)
            break;
        z.next_out = reinterpret_cast<Bytef *>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        plain->append(buf, sizeof buf - z.avail_out);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END && z.avail_in == 0;
}

inline std::uint32_t le32At(const std::string &s, std::size_t at)
{
    auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

inline std::uint32_t crcOf(const std::string &s)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef *>(s.data()), static_cast<uInt>(s.size())));
}

/* A fixed pseudo-random sequence (xorshift), so damage is the same every run. */
class Random {
public:
    explicit Random(std::uint32_t seed) : x_(seed ? seed : 1) {}
    std::uint32_t next()
    {
        x_ ^= x_ << 13;
        x_ ^= x_ >> 17;
        x_ ^= x_ << 5;
        return x_;
    }
    std::uint32_t below(std::uint32_t n) { return next() % n; }

private:
    std::uint32_t x_;
};

/* Text with repeats and bytes of every value, `size` bytes. */
inline std::string sampleData(std::size_t size, std::uint32_t seed)
{
    Random r(seed);
    static const char *const kWords[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta "};
    std::string s;
    s.reserve(size);
    while (s.size() < size) {
        if (r.below(4) == 0) {
            for (int i = 0; i < 64 && s.size() < size; i++)
                s.push_back(static_cast<char>(r.next()));
        } else {
            s += kWords[r.below(6)];
        }
    }
    s.resize(size);
    return s;
}

}  // namespace ziptest

#endif  // ZIPTEST_H
