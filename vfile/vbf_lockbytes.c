/*
 * vbf_lockbytes.c - any Vbf handle seen as an OLE ILockBytes, so that the
 * system's compound-file code can keep a storage inside a virtual file.
 *
 * The object is a plain C COM object: the interface pointer (its vtable
 * word) comes first, followed by the reference count and the Vbf handle,
 * which the object uses but does not own.  ReadAt and WriteAt position
 * the handle from the file's start with the low 32 bits of the offset
 * (this layer is 32-bit) and move the data in pieces of at most
 * PIECE_SIZE bytes, so that back-ends with 16-bit inner counts are never
 * handed more than they can take.  Any failure or short piece ends the
 * transfer with E_FAIL and the count of what was moved.  Region locks are
 * accepted and ignored: the Vbf layer has its own locking protocol.
 */
#define COBJMACROS
#include <stdlib.h>
#include <string.h>
#include "vfile/vbfint.h"

#define PIECE_SIZE  16384

typedef struct VbfLockBytes {
    ILockBytes iface;
    LONG refs;
    HVBF vbf;
} VbfLockBytes;

static VbfLockBytes *impl(ILockBytes *iface)
{
    return (VbfLockBytes *)iface;
}

static HRESULT STDMETHODCALLTYPE lbQueryInterface(ILockBytes *iface, REFIID riid, void **out)
{
    if (out == NULL)
        return E_POINTER;
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_ILockBytes)) {
        *out = iface;
        ILockBytes_AddRef(iface);
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE lbAddRef(ILockBytes *iface)
{
    return (ULONG)InterlockedIncrement(&impl(iface)->refs);
}

static ULONG STDMETHODCALLTYPE lbRelease(ILockBytes *iface)
{
    LONG left = InterlockedDecrement(&impl(iface)->refs);

    if (left == 0)
        free(impl(iface));
    return (ULONG)left;
}

/* One direction of a transfer: a Vbf read or write of one piece. */
typedef USHORT (*PIECEFN)(HVBF h, BYTE *buffer, ULONG count, ULONG *done);

static USHORT readPiece(HVBF h, BYTE *buffer, ULONG count, ULONG *done)
{
    return VbfRead(h, buffer, count, done);
}

static USHORT writePiece(HVBF h, BYTE *buffer, ULONG count, ULONG *done)
{
    return VbfWrite(h, buffer, count, done);
}

static HRESULT transferAt(VbfLockBytes *lb, ULARGE_INTEGER offset, BYTE *buffer, ULONG count,
                          ULONG *moved, PIECEFN piece)
{
    ULONG total = 0;
    HRESULT hr = S_OK;

    if (VbfChgFilePtr(lb->vbf, (LONG)offset.LowPart, VBF_FILE_BEGIN, NULL) != 0) {
        hr = E_FAIL;
    } else {
        while (total < count) {
            ULONG want = count - total < PIECE_SIZE ? count - total : PIECE_SIZE;
            ULONG done = 0;
            USHORT rc = piece(lb->vbf, buffer + total, want, &done);
            total += done <= want ? done : want;
            if (rc != 0 || done != want) {
                hr = E_FAIL;
                break;
            }
        }
    }
    if (moved)
        *moved = total;
    return hr;
}

static HRESULT STDMETHODCALLTYPE lbReadAt(ILockBytes *iface, ULARGE_INTEGER offset, void *pv,
                                          ULONG cb, ULONG *read)
{
    if (pv == NULL && cb != 0)
        return STG_E_INVALIDPOINTER;
    return transferAt(impl(iface), offset, pv, cb, read, readPiece);
}

static HRESULT STDMETHODCALLTYPE lbWriteAt(ILockBytes *iface, ULARGE_INTEGER offset,
                                           const void *pv, ULONG cb, ULONG *written)
{
    if (pv == NULL && cb != 0)
        return STG_E_INVALIDPOINTER;
    return transferAt(impl(iface), offset, (BYTE *)pv, cb, written, writePiece);
}

static HRESULT STDMETHODCALLTYPE lbFlush(ILockBytes *iface)
{
    return VbfFlush(impl(iface)->vbf) ? E_FAIL : S_OK;
}

static HRESULT STDMETHODCALLTYPE lbSetSize(ILockBytes *iface, ULARGE_INTEGER size)
{
    return VbfNewSize(impl(iface)->vbf, size.LowPart) ? E_FAIL : S_OK;
}

static HRESULT STDMETHODCALLTYPE lbLockRegion(ILockBytes *iface, ULARGE_INTEGER offset,
                                              ULARGE_INTEGER cb, DWORD type)
{
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE lbUnlockRegion(ILockBytes *iface, ULARGE_INTEGER offset,
                                                ULARGE_INTEGER cb, DWORD type)
{
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE lbStat(ILockBytes *iface, STATSTG *st, DWORD flags)
{
    VBFFILESTATUS fs;

    if (st == NULL)
        return STG_E_INVALIDPOINTER;
    memset(st, 0, sizeof *st);
    if (VbfQFileInfo(impl(iface)->vbf, VBF_INFO_LEVEL_STANDARD, &fs, sizeof fs) != 0)
        return E_FAIL;
    st->type = STGTY_LOCKBYTES;
    st->cbSize.QuadPart = fs.cbFile;
    VbfFatToFileTime(fs.fdateLastWrite, fs.ftimeLastWrite, &st->mtime);
    VbfFatToFileTime(fs.fdateLastAccess, fs.ftimeLastAccess, &st->atime);
    VbfFatToFileTime(fs.fdateCreation, fs.ftimeCreation, &st->ctime);
    return S_OK;
}

static const ILockBytesVtbl lockBytesVtbl = {
    lbQueryInterface, lbAddRef, lbRelease, lbReadAt, lbWriteAt,
    lbFlush, lbSetSize, lbLockRegion, lbUnlockRegion, lbStat,
};

HRESULT ORINAPI VbfCreateILockBytesOnVbf(HVBF handle, ILockBytes **lockBytes)
{
    VbfLockBytes *lb;

    if (lockBytes == NULL)
        return E_POINTER;
    *lockBytes = NULL;
    if (handle == NULL)
        return E_INVALIDARG;
    lb = calloc(1, sizeof *lb);
    if (lb == NULL)
        return E_OUTOFMEMORY;
    lb->iface.lpVtbl = (ILockBytesVtbl *)&lockBytesVtbl;
    lb->refs = 1;
    lb->vbf = handle;
    *lockBytes = &lb->iface;
    return S_OK;
}
