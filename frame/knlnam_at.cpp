/*
 * knlnam_at.cpp - transfers at a file offset (see knlnam_at.h).
 *
 * The native read and write calls of the system library are looked up
 * once.  Each is called with the offset, no event and no completion
 * routine.  On an ordinary handle it completes before it returns.  On an
 * overlapped one (openForTransfersAt) the system may answer "pending"
 * although a disk file's transfer is already done: the status block,
 * marked pending before the call, then holds the outcome, and only while
 * it still says pending does the call wait on the handle, which the system
 * signals when the transfer ends.  A status is turned into the system
 * error code the plain calls would have left, and that code becomes the
 * last error too.
 */
#include "frame/knlnam_at.h"
#include "frame/knlnamint.h"

namespace orin::knlnam {
namespace {

using NtStatus = LONG;
constexpr NtStatus kStatusPending = 0x00000103;
constexpr NtStatus kStatusEndOfFile = static_cast<NtStatus>(0xC0000011);
/* The plain calls reach files through a signed 32-bit seek: an offset
 * beyond this is refused as a negative seek, and so it is here. */
constexpr ULONG kLastSeekable = 0x7FFFFFFF;

struct IoStatus {
    union {
        NtStatus status;
        void *pointer;
    };
    ULONG_PTR information;
};

using NtTransfer = NtStatus(NTAPI *)(HANDLE file, HANDLE event, void *apcRoutine,
                                     void *apcContext, IoStatus *io, void *buffer, ULONG length,
                                     LARGE_INTEGER *offset, ULONG *key);
using StatusToError = ULONG(NTAPI *)(NtStatus status);

/* The native calls, or nulls where the system library lacks them. */
struct NativeCalls {
    NtTransfer read = nullptr;
    NtTransfer write = nullptr;
    StatusToError toError = nullptr;

    NativeCalls() noexcept
    {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (ntdll == nullptr)
            return;
        read = reinterpret_cast<NtTransfer>(GetProcAddress(ntdll, "NtReadFile"));
        write = reinterpret_cast<NtTransfer>(GetProcAddress(ntdll, "NtWriteFile"));
        toError = reinterpret_cast<StatusToError>(GetProcAddress(ntdll, "RtlNtStatusToDosError"));
        if (read == nullptr || write == nullptr || toError == nullptr)
            read = write = nullptr;
    }
};

const NativeCalls &native() noexcept
{
    static const NativeCalls calls;
    return calls;
}

/* One native transfer; a failure's status becomes the last error. */
USHORT transfer(NtTransfer call, KNLHFILE h, ULONG offset, void *buffer, ULONG count, ULONG *done)
{
    if (offset > kLastSeekable) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return ERROR_NEGATIVE_SEEK;
    }
    HANDLE file = KNLNAM_TO_HANDLE(h);
    volatile IoStatus io{};
    io.status = kStatusPending;
    LARGE_INTEGER at;
    at.QuadPart = offset;
    NtStatus status = call(file, nullptr, nullptr, nullptr, const_cast<IoStatus *>(&io), buffer,
                           count, &at, nullptr);
    if (status == kStatusPending) {
        if (io.status == kStatusPending)
            WaitForSingleObject(file, INFINITE);
        status = io.status;
    }
    if (status >= 0) {
        *done = static_cast<ULONG>(io.information);
        return 0;
    }
    if (status == kStatusEndOfFile)
        return 0;
    SetLastError(native().toError(status));
    return knlNamLastError();
}

}  // namespace

USHORT readAt(KNLHFILE h, ULONG offset, void *buffer, ULONG count, ULONG *done) noexcept
{
    *done = 0;
    if (buffer == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    if (native().read != nullptr)
        return transfer(native().read, h, offset, buffer, count, done);
    USHORT rc = KnlNamChgFilePtr(nullptr, h, static_cast<LONG>(offset), KNLNAM_SEEK_BEGIN, nullptr);
    return rc != 0 ? rc : KnlNamRead(nullptr, h, buffer, count, done);
}

USHORT writeAt(KNLHFILE h, ULONG offset, const void *buffer, ULONG count, ULONG *done) noexcept
{
    *done = 0;
    if (buffer == nullptr && count != 0)
        return ORIN_ERR_INVALID_PARAM;
    if (native().write != nullptr)
        return transfer(native().write, h, offset, const_cast<void *>(buffer), count, done);
    USHORT rc = KnlNamChgFilePtr(nullptr, h, static_cast<LONG>(offset), KNLNAM_SEEK_BEGIN, nullptr);
    return rc != 0 ? rc : KnlNamWrite(nullptr, h, buffer, count, done);
}

USHORT openForTransfersAt(const char *name, KNLHFILE *handle, ULONG *action, ULONG size,
                          ULONG attribute, ULONG openFlags, ULONG openMode, bool *atOnly) noexcept
{
    *atOnly = native().read != nullptr;
    return openFile(name, handle, action, size, attribute, openFlags, openMode,
                    *atOnly ? FILE_FLAG_OVERLAPPED : 0);
}

}  // namespace orin::knlnam
