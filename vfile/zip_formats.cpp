/*
 * zip_formats.cpp - one coding run from handle to handle, the choice of
 * input format by the first bytes, and the exported calls that compress
 * and decompress whole files.
 *
 * A run makes its reader and writer, either deflates the source into one
 * gzip member or hands the source to the decoder its first bytes name,
 * and flushes the writer.  A CoderError from anywhere inside becomes the
 * result; so does any other exception (out of memory), as ZIP_ERR_FAILED.
 * After inflating, the target is cut behind the bytes written and gets
 * the source's file times; a back-end that has no such calls (50) keeps
 * what it has.
 */
#include <array>
#include <cstring>
#include "vfile/zipint.h"

namespace orin::zip {
namespace {

struct Format {
    std::array<BYTE, 4> magic;
    std::size_t size;
    void (*read)(Input &, Output &);
};

constexpr Format kFormats[] = {
    {{0x1F, 0x8B}, 2, readGzip},
    {{0x1F, 0x9E}, 2, readGzip},
    {{0x1F, 0x9D}, 2, readLzw},
    {{0x1F, 0x1E}, 2, readPack},
    {{'P', 'K', 0x03, 0x04}, 4, readPkzip},
};
constexpr std::size_t kLongestMagic = 4;

void readAny(Input &in, Output &out)
{
    auto head = in.peek(kLongestMagic);
    for (const Format &f : kFormats) {
        if (head.size() >= f.size && std::memcmp(head.data(), f.magic.data(), f.size) == 0) {
            f.read(in, out);
            return;
        }
    }
    fail();
}

/* Gives the target the source's file times. */
USHORT copyFileTimes(HVBF source, HVBF target) noexcept
{
    VBFFILESTATUS st;
    USHORT rc = VbfQFileInfo(source, VBF_INFO_LEVEL_STANDARD, &st, sizeof st);
    if (rc == 0)
        rc = VbfSetFileInfo(target, VBF_INFO_LEVEL_STANDARD, &st, sizeof st);
    return rc == ORIN_ERR_NOT_SUPPORTED ? 0 : rc;
}

}  // namespace

USHORT cutBehindWritten(HVBF target) noexcept
{
    ULONG end = 0;
    USHORT rc = VbfChgFilePtr(target, 0, VBF_FILE_CURRENT, &end);
    if (rc == 0)
        rc = VbfNewSize(target, end);
    return rc == ORIN_ERR_NOT_SUPPORTED ? 0 : rc;
}

USHORT runCoder(HVBF source, HVBF target, bool decompress) noexcept
{
    try {
        Input in(source);
        Output out(target);
        if (decompress)
            readAny(in, out);
        else
            writeGzip(in, out, unixWriteTime(source));
        out.flush();
    } catch (const CoderError &e) {
        return e.code;
    } catch (...) {
        return ZIP_ERR_FAILED;
    }
    if (!decompress)
        return 0;
    USHORT rc = cutBehindWritten(target);
    return rc != 0 ? rc : copyFileTimes(source, target);
}

}  // namespace orin::zip

using namespace orin::zip;

USHORT ORINAPI ZipCompressVbfFiles(HVBF source, HVBF target, ULONG decompress) noexcept
{
    return runCoder(source, target, decompress != 0);
}

/* The target is cut behind the member in both directions: a file already
 * open in this process keeps its old length when opened again. */
USHORT ORINAPI ZipCompress(void *nameSpace, const char *sourceName, const char *targetName,
                           ULONG decompress) noexcept
{
    if (sourceName == nullptr || targetName == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    if (KnlNamIsTheSameFile(sourceName, targetName))
        return ORIN_ERR_ACCESS_DENIED;
    HVBF in = nullptr;
    HVBF out = nullptr;
    ULONG action = 0;
    USHORT rc = VbfOpen(nameSpace, sourceName, &in, &action, 0, VBF_ATTR_NORMAL,
                        VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_WRITE, nullptr);
    if (rc != 0)
        return rc;
    orin::UniqueVbf source(in);
    rc = VbfOpen(nameSpace, targetName, &out, &action, 0, VBF_ATTR_NORMAL, VBF_CREATE_OR_REPLACE,
                 VBF_MODE_WRITE | VBF_SHARE_DENY_ALL, nullptr);
    if (rc != 0)
        return rc;
    orin::UniqueVbf target(out);
    rc = runCoder(in, out, decompress != 0);
    if (rc == 0 && decompress == 0)
        rc = cutBehindWritten(out);
    USHORT closed = VbfClose(target.release());
    if (rc == 0)
        rc = closed;
    if (rc != 0)
        KnlNamDelete(nameSpace, targetName);    // no half-written files
    return rc;
}
