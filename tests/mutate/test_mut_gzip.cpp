// Damaged gzip input: ten thousand mutants of three one-member gzip files
// (text with repeats, bytes that do not compress, an empty file), each
// inflated from one in-memory virtual file into another.
//
// A gzip member ends with the CRC-32 and the length of what it holds, over
// every byte of the data, so the promise is whole: inflation answers 0 or
// 65535 (or a code of the virtual files), and when it answers 0 the output
// is exactly the plain bytes the member was made from.
#include <gtest/gtest.h>
#include <string>
#include "mutate.h"
#include "memvbf.h"
#include "vbf.h"
#include "zip.h"

using namespace mutate;

namespace {

const char *const kIn = "mut.gz";
const char *const kOut = "mut.plain";

struct GzSeed {
    Seed seed;
    std::string plain;
};

HVBF openMem(const char *name, ULONG flags)
{
    HVBF h = nullptr;
    ULONG action = 0;
    USHORT rc = VbfOpen(nullptr, name, &h, &action, 0, VBF_ATTR_NORMAL, flags,
                        VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE, memvbf::table());
    return rc ? nullptr : h;
}

/* Inflates (or deflates) kIn into kOut; the code of the call. */
USHORT convert(ULONG decompress)
{
    memvbf::files().erase(kOut);
    HVBF in = openMem(kIn, VBF_OPEN_EXISTING), out = openMem(kOut, VBF_OPEN_OR_CREATE);
    EXPECT_NE(in, nullptr);
    EXPECT_NE(out, nullptr);
    USHORT rc = ZipCompressVbfFiles(in, out, decompress);
    VbfClose(in);
    VbfClose(out);
    return rc;
}

std::string outBytes()
{
    const Bytes &b = memvbf::files()[kOut].data;
    return std::string(b.begin(), b.end());
}

GzSeed build(const std::string &plain)
{
    GzSeed g;
    g.plain = plain;
    memvbf::files()[kIn].data.assign(plain.begin(), plain.end());
    EXPECT_EQ(convert(0), 0);
    std::string gz = outBytes();
    g.seed.bytes.assign(gz.begin(), gz.end());
    size_t n = gz.size();
    // the fixed header, the deflate data and the trailer (CRC-32, length)
    g.seed.units = {{0, 10}, {10, n - 18}, {n - 8, 4}, {n - 4, 4}};
    g.seed.fields = {{4, 4}, {n - 8, 4}, {n - 4, 4}, {3, 1}, {10, 2}};
    return g;
}

std::string textSample(size_t n)
{
    static const char *const kWords[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon "};
    std::string s;
    for (unsigned i = 0; s.size() < n; i++)
        s += kWords[(i * 7 + i / 5) % 5];
    s.resize(n);
    return s;
}

std::string noiseSample(size_t n)
{
    std::string s(n, '\0');
    unsigned x = 12345;
    for (auto &c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

std::vector<GzSeed> &seeds()
{
    static std::vector<GzSeed> all = [] {
        std::vector<GzSeed> v;
        v.push_back(build(textSample(20000)));
        v.push_back(build(noiseSample(3000)));
        v.push_back(build(std::string()));
        return v;
    }();
    return all;
}

bool exercise(const Bytes &mutant, size_t which, std::mt19937_64 &)
{
    memvbf::files()[kIn].data = mutant;
    USHORT rc = call("ZipCompressVbfFiles", [] { return convert(1); });
    trace("ZipCompressVbfFiles", rc);
    EXPECT_TRUE(rc == 0 || rc == ZIP_ERR_FAILED) << "answered " << rc << " for " << where();
    if (rc == 0) {
        std::string out = outBytes();
        EXPECT_TRUE(out == seeds()[which].plain)
            << "inflated " << out.size() << " bytes that were not written, " << where();
    }
    return rc == 0;
}

TEST(MutateGzip, TenThousandMutantsAreRefusedOrInflateToWhatWasWritten)
{
    unsigned accepted = 0, runs = 0;
    sweep(4, plainSeeds(seeds()), [&](const Bytes &mutant, size_t which, std::mt19937_64 &rng) {
        runs++;
        accepted += exercise(mutant, which, rng);
    });
    // Junk appended, or changes to the header's time and flags bytes, leave
    // files that still inflate; most damage is refused.
    EXPECT_GT(accepted, 0u);
    EXPECT_LT(accepted, runs / 2);
}

} // namespace
