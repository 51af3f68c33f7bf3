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
 */
#include <stdlib.h>
#include <string.h>
#include "vfile/vbfint.h"

#define STREAM_COMMIT_FLAGS  STGC_ONLYIFCURRENT   /* commit flag 2 */

static USHORT streamClose(void *h)
{
    static_cast<IStream *>(h)->Release();
    return 0;
}

static USHORT streamSeek(IStream *s, LONGLONG distance, DWORD origin, ULONG *newPos)
{
    LARGE_INTEGER move;
    ULARGE_INTEGER pos;

    move.QuadPart = distance;
    if (FAILED(s->Seek(move, origin, &pos)))
        return VBF_ERR_STREAM;
    if (newPos)
        *newPos = pos.LowPart;
    return 0;
}

static USHORT streamChgFilePtr(void *h, LONG distance, ULONG method, ULONG *newPos)
{
    DWORD origin;

    switch (method) {
    case VBF_FILE_BEGIN:   origin = STREAM_SEEK_SET; break;
    case VBF_FILE_CURRENT: origin = STREAM_SEEK_CUR; break;
    case VBF_FILE_END:     origin = STREAM_SEEK_END; break;
    default:               return VBF_ERR_STREAM;
    }
    return streamSeek((IStream *)h, distance, origin, newPos);
}

static USHORT streamRead(void *h, void *buffer, ULONG count, ULONG *done)
{
    ULONG got = 0;
    HRESULT hr;

    if (buffer == NULL && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    hr = static_cast<IStream *>(h)->Read(buffer, count, &got);
    if (done)
        *done = got;
    return (FAILED(hr) || got != count) ? VBF_ERR_STREAM : 0;
}

static USHORT streamWrite(void *h, const void *buffer, ULONG count, ULONG *done)
{
    ULONG put = 0;
    HRESULT hr;

    if (buffer == NULL && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    hr = static_cast<IStream *>(h)->Write(buffer, count, &put);
    if (done)
        *done = put;
    return (FAILED(hr) || put != count) ? VBF_ERR_STREAM : 0;
}

static USHORT streamGetch(void *h, BYTE *ch)
{
    if (ch == NULL)
        return ORIN_ERR_INVALID_PARAM;
    return streamRead(h, ch, 1, NULL);
}

static USHORT streamFlush(void *h)
{
    return FAILED(static_cast<IStream *>(h)->Commit(STREAM_COMMIT_FLAGS)) ? VBF_ERR_STREAM : 0;
}

static USHORT streamFileLocks(void *h, FILELOCK *unlockRange, FILELOCK *lockRange)
{
    return 0;
}

static ULONG streamTell(void *h)
{
    ULONG pos;

    return streamSeek((IStream *)h, 0, STREAM_SEEK_CUR, &pos) ? VBF_ERR_STREAM : pos;
}

static USHORT streamStat(void *h, STATSTG *st)
{
    return FAILED(static_cast<IStream *>(h)->Stat(st, STATFLAG_NONAME)) ? VBF_ERR_STREAM : 0;
}

static USHORT streamQueryLength(void *h, ULONG *length)
{
    STATSTG st;
    USHORT rc;

    if (length == NULL)
        return ORIN_ERR_INVALID_PARAM;
    rc = streamStat(h, &st);
    if (rc == 0)
        *length = st.cbSize.LowPart;
    return rc;
}

static USHORT streamNewSize(void *h, ULONG newLength)
{
    ULARGE_INTEGER size;

    size.QuadPart = newLength;
    return FAILED(static_cast<IStream *>(h)->SetSize(size)) ? VBF_ERR_STREAM : 0;
}

static USHORT streamQueryFilename(void *h, char *buffer, ULONG size)
{
    return VBF_ERR_STREAM;
}

static USHORT streamQFileInfo(void *h, ULONG level, void *buffer, ULONG size)
{
    VBFFILESTATUS fs = {0};
    STATSTG st;
    USHORT rc;

    if (level != VBF_INFO_LEVEL_STANDARD)
        return ORIN_ERR_INVALID_LEVEL;
    if (buffer == NULL || size < VBF_FILESTATUS_SIZE)
        return ORIN_ERR_INVALID_PARAM;
    rc = streamStat(h, &st);
    if (rc != 0)
        return rc;
    VbfFileTimeToFat(&st.ctime, &fs.fdateCreation, &fs.ftimeCreation);
    VbfFileTimeToFat(&st.atime, &fs.fdateLastAccess, &fs.ftimeLastAccess);
    VbfFileTimeToFat(&st.mtime, &fs.fdateLastWrite, &fs.ftimeLastWrite);
    fs.cbFile = st.cbSize.LowPart;
    fs.cbFileAlloc = st.cbSize.LowPart;
    fs.attrFile = 0;
    memcpy(buffer, &fs, VBF_FILESTATUS_SIZE);
    return 0;
}

HVBF ORINAPI VbfCreateOnStream(IStream *stream) noexcept
{
    VBFFUNCS *t;
    HVBF h;

    if (stream == NULL) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    t = (VBFFUNCS*)calloc(1, sizeof *t);
    if (t == NULL) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return NULL;
    }
    t->cb = sizeof *t;
    t->Close = streamClose;
    t->ChgFilePtr = streamChgFilePtr;
    t->Read = streamRead;
    t->ReadDirect = streamRead;
    t->Write = streamWrite;
    t->Getch = streamGetch;
    t->Flush = streamFlush;
    t->FileLocks = streamFileLocks;
    t->Tell = streamTell;
    t->QueryLength = streamQueryLength;
    t->NewSize = streamNewSize;
    t->QueryFilename = streamQueryFilename;
    t->QFileInfo = streamQFileInfo;
    h = VbfWrapBackend(t, stream);
    if (h == NULL) {
        free(t);
        SetLastError(ORIN_ERR_NO_MEMORY);
        return NULL;
    }
    stream->AddRef();
    return h;
}
