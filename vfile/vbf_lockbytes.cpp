/*
 * vbf_lockbytes.cpp - any Vbf handle seen as an OLE ILockBytes, so that the
 * system's compound-file code can keep a storage inside a virtual file.
 *
 * VbfLockBytes is a COM object: it holds the reference count and the Vbf
 * handle, which it uses but does not own.  ReadAt and WriteAt position
 * the handle from the file's start with the low 32 bits of the offset
 * (this layer is 32-bit) and move the data in pieces of at most
 * kPieceSize bytes, so that back-ends with 16-bit inner counts are never
 * handed more than they can take.  Any failure or short piece ends the
 * transfer with E_FAIL and the count of what was moved.  Region locks are
 * accepted and ignored: the Vbf layer has its own locking protocol.  A
 * handle that is not live is refused when the object is made; one closed
 * while the object still uses it makes each call fail with E_FAIL.
 */
#include <algorithm>
#include <cstring>
#include <new>
#include "vfile/vbfint.h"

namespace orin::vbf {
namespace {

constexpr ULONG kPieceSize = 16384;

class VbfLockBytes final : public ILockBytes {
public:
    explicit VbfLockBytes(HVBF vbf) noexcept : vbf_(vbf) {}
    VbfLockBytes(const VbfLockBytes &) = delete;
    VbfLockBytes &operator=(const VbfLockBytes &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) noexcept override
    {
        if (out == nullptr)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ILockBytes)) {
            *out = static_cast<ILockBytes *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override
    {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }

    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void *pv, ULONG cb,
                                     ULONG *read) noexcept override
    {
        if (pv == nullptr && cb != 0)
            return STG_E_INVALIDPOINTER;
        return transferAt(offset, static_cast<BYTE *>(pv), cb, read, VbfRead);
    }

    HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER offset, const void *pv, ULONG cb,
                                      ULONG *written) noexcept override
    {
        if (pv == nullptr && cb != 0)
            return STG_E_INVALIDPOINTER;
        return transferAt(offset, static_cast<BYTE *>(const_cast<void *>(pv)), cb, written,
                          writePiece);
    }

    HRESULT STDMETHODCALLTYPE Flush() noexcept override
    {
        return VbfFlush(vbf_) ? E_FAIL : S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) noexcept override
    {
        return VbfNewSize(vbf_, size.LowPart) ? E_FAIL : S_OK;
    }

    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override
    {
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER,
                                           DWORD) noexcept override
    {
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG *st, DWORD) noexcept override
    {
        VBFFILESTATUS fs;

        if (st == nullptr)
            return STG_E_INVALIDPOINTER;
        std::memset(st, 0, sizeof *st);
        if (VbfQFileInfo(vbf_, VBF_INFO_LEVEL_STANDARD, &fs, sizeof fs) != 0)
            return E_FAIL;
        st->type = STGTY_LOCKBYTES;
        st->cbSize.QuadPart = fs.cbFile;
        st->mtime = fatToFileTime(fs.fdateLastWrite, fs.ftimeLastWrite);
        st->atime = fatToFileTime(fs.fdateLastAccess, fs.ftimeLastAccess);
        st->ctime = fatToFileTime(fs.fdateCreation, fs.ftimeCreation);
        return S_OK;
    }

private:
    /* One direction of a transfer: a Vbf read or write of one piece. */
    using PieceFn = USHORT (*)(HVBF h, void *buffer, ULONG count, ULONG *done);

    static USHORT writePiece(HVBF h, void *buffer, ULONG count, ULONG *done)
    {
        return VbfWrite(h, buffer, count, done);
    }

    HRESULT transferAt(ULARGE_INTEGER offset, BYTE *buffer, ULONG count, ULONG *moved,
                       PieceFn piece)
    {
        ULONG total = 0;
        HRESULT hr = S_OK;

        if (VbfChgFilePtr(vbf_, static_cast<LONG>(offset.LowPart), VBF_FILE_BEGIN, nullptr) != 0) {
            hr = E_FAIL;
        } else {
            while (total < count) {
                ULONG want = std::min(count - total, kPieceSize);
                ULONG done = 0;
                USHORT rc = piece(vbf_, buffer + total, want, &done);
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

    LONG refs_ = 1;
    HVBF vbf_;
};

}  // namespace
}  // namespace orin::vbf

HRESULT ORINAPI VbfCreateILockBytesOnVbf(HVBF handle, ILockBytes **lockBytes) noexcept
{
    if (lockBytes == nullptr)
        return E_POINTER;
    *lockBytes = nullptr;
    if (!orin::vbf::handles.live(handle))
        return E_INVALIDARG;
    auto *lb = new (std::nothrow) orin::vbf::VbfLockBytes(handle);
    if (lb == nullptr)
        return E_OUTOFMEMORY;
    *lockBytes = lb;
    return S_OK;
}
