/*
 * vbf_stream.cpp - a Vbf back-end over an OLE IStream.
 *
 * The back-end handle is the stream itself (AddRef'ed when the Vbf handle
 * is made, released by Close).  Each slot maps one operation onto the
 * stream: positioning onto Seek, transfers onto Read and Write (a short
 * transfer counts as a failure, because callers of this layer expect the
 * whole count or an error), Flush onto Commit, lengths onto Stat and
 * SetSize.  Streams have no lines, locks, attributes or views, so Gets,
 * FileLocksEx, SetFileInfo and the mapping slots stay empty and FileLocks
 * succeeds without locking.  Every failure of the stream answers 65535.
 * The slots are COM callers: they only call the stream's methods and
 * never let anything escape but a code.
 */
#include <cstring>
#include "vfile/vbfint.h"

namespace orin::vbf {
namespace {

constexpr DWORD kCommitFlags = STGC_ONLYIFCURRENT;    // commit flag 2

IStream *streamOf(void *h) noexcept
{
    return static_cast<IStream *>(h);
}

USHORT streamCode(HRESULT hr) noexcept
{
    return FAILED(hr) ? VBF_ERR_STREAM : 0;
}

USHORT streamClose(void *h) noexcept
{
    streamOf(h)->Release();
    return 0;
}

USHORT streamSeek(IStream *s, LONGLONG distance, DWORD origin, ULONG *newPos) noexcept
{
    LARGE_INTEGER move;
    ULARGE_INTEGER pos;

    move.QuadPart = distance;
    if (FAILED(s->Seek(move, origin, &pos)))
        return VBF_ERR_STREAM;
    if (newPos != nullptr)
        *newPos = pos.LowPart;
    return 0;
}

USHORT streamChgFilePtr(void *h, LONG distance, ULONG method, ULONG *newPos) noexcept
{
    DWORD origin;

    switch (method) {
    case VBF_FILE_BEGIN:   origin = STREAM_SEEK_SET; break;
    case VBF_FILE_CURRENT: origin = STREAM_SEEK_CUR; break;
    case VBF_FILE_END:     origin = STREAM_SEEK_END; break;
    default:               return VBF_ERR_STREAM;
    }
    return streamSeek(streamOf(h), distance, origin, newPos);
}

USHORT streamRead(void *h, void *buffer, ULONG count, ULONG *done) noexcept
{
    if (buffer == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    ULONG got = 0;
    HRESULT hr = streamOf(h)->Read(buffer, count, &got);
    if (done != nullptr)
        *done = got;
    return FAILED(hr) || got != count ? VBF_ERR_STREAM : 0;
}

USHORT streamWrite(void *h, const void *buffer, ULONG count, ULONG *done) noexcept
{
    if (buffer == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    ULONG put = 0;
    HRESULT hr = streamOf(h)->Write(buffer, count, &put);
    if (done != nullptr)
        *done = put;
    return FAILED(hr) || put != count ? VBF_ERR_STREAM : 0;
}

USHORT streamGetch(void *h, BYTE *ch) noexcept
{
    if (ch == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return streamRead(h, ch, 1, nullptr);
}

USHORT streamFlush(void *h) noexcept
{
    return streamCode(streamOf(h)->Commit(kCommitFlags));
}

USHORT streamFileLocks(void *, FILELOCK *, FILELOCK *) noexcept
{
    return 0;
}

ULONG streamTell(void *h) noexcept
{
    ULONG pos = 0;
    return streamSeek(streamOf(h), 0, STREAM_SEEK_CUR, &pos) != 0 ? VBF_ERR_STREAM : pos;
}

USHORT streamStat(void *h, STATSTG *st) noexcept
{
    return streamCode(streamOf(h)->Stat(st, STATFLAG_NONAME));
}

USHORT streamQueryLength(void *h, ULONG *length) noexcept
{
    if (length == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    STATSTG st;
    USHORT rc = streamStat(h, &st);
    if (rc == 0)
        *length = st.cbSize.LowPart;
    return rc;
}

USHORT streamNewSize(void *h, ULONG newLength) noexcept
{
    ULARGE_INTEGER size;
    size.QuadPart = newLength;
    return streamCode(streamOf(h)->SetSize(size));
}

USHORT streamQueryFilename(void *, char *, ULONG) noexcept
{
    return VBF_ERR_STREAM;
}

USHORT streamQFileInfo(void *h, ULONG level, void *buffer, ULONG size) noexcept
{
    if (level != VBF_INFO_LEVEL_STANDARD)
        return ORIN_ERR_INVALID_LEVEL;
    if (buffer == nullptr || size < VBF_FILESTATUS_SIZE)
        return ORIN_ERR_INVALID_PARAM;
    STATSTG st;
    USHORT rc = streamStat(h, &st);
    if (rc != 0)
        return rc;
    VBFFILESTATUS fs = {};
    fileTimeToFat(st.ctime, &fs.fdateCreation, &fs.ftimeCreation);
    fileTimeToFat(st.atime, &fs.fdateLastAccess, &fs.ftimeLastAccess);
    fileTimeToFat(st.mtime, &fs.fdateLastWrite, &fs.ftimeLastWrite);
    fs.cbFile = st.cbSize.LowPart;
    fs.cbFileAlloc = st.cbSize.LowPart;
    fs.attrFile = 0;
    std::memcpy(buffer, &fs, VBF_FILESTATUS_SIZE);
    return 0;
}

/* The slots of every stream handle. */
constexpr VBFFUNCS makeStreamTable() noexcept
{
    VBFFUNCS t = {};
    t.cb = sizeof t;
    t.Close = streamClose;
    t.ChgFilePtr = streamChgFilePtr;
    t.Read = streamRead;
    t.ReadDirect = streamRead;
    t.Write = streamWrite;
    t.Getch = streamGetch;
    t.Flush = streamFlush;
    t.FileLocks = streamFileLocks;
    t.Tell = streamTell;
    t.QueryLength = streamQueryLength;
    t.NewSize = streamNewSize;
    t.QueryFilename = streamQueryFilename;
    t.QFileInfo = streamQFileInfo;
    return t;
}

constexpr VBFFUNCS kStreamTable = makeStreamTable();

}  // namespace
}  // namespace orin::vbf

HVBF ORINAPI VbfCreateOnStream(IStream *stream) noexcept
{
    if (stream == nullptr) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    HVBF h = orin::vbf::wrapBackend(&orin::vbf::kStreamTable, stream);
    if (h == nullptr) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return nullptr;
    }
    stream->AddRef();
    return h;
}
