/*
 * memvbf.h - an in-memory virtual-file back-end for the index tests.
 *
 * Files live in a process-wide map by name; every handle has its own
 * position, as with the buffered file back-end.  Writes can be made to
 * fail after a set number of calls, which lets the tests see how the index
 * reports a failing disk; reads and writes can also fail now and then
 * (every n-th call), so that work goes on after a failure.  Locks always
 * succeed (one process only); releasing one can be made to fail.
 */
#ifndef MEMVBF_H
#define MEMVBF_H

#include <map>
#include <memory>
#include <string>
#include <cstring>
#include "vbf.h"
#include "vbftable.h"

namespace memvbf {

struct File { std::string data; };
struct Handle { std::shared_ptr<File> file; ULONG pos = 0; };

inline std::map<std::string, std::shared_ptr<File>> &files()
{
    static std::map<std::string, std::shared_ptr<File>> all;
    return all;
}

inline long &writesLeft()   /* -1: writes never fail */
{
    static long left = -1;
    return left;
}

/* Every readEvery-th read and every writeEvery-th write fails (0: none),
 * counted over all files. */
struct Faults {
    long readEvery = 0, writeEvery = 0;
    long reads = 0, writes = 0;
};

inline Faults &faults()
{
    static Faults f;
    return f;
}

inline bool faultDue(long every, long *calls)
{
    return every > 0 && ++*calls % every == 0;
}

inline USHORT open(ULONG_PTR, const char *name, void **backend, ULONG *action, ULONG,
                   ULONG, ULONG flags, ULONG, ULONG_PTR)
{
    auto it = files().find(name);
    if (flags == VBF_CREATE_OR_REPLACE) {
        files()[name] = std::make_shared<File>();
    } else if (it == files().end()) {
        return ORIN_ERR_FILE_NOT_FOUND;
    }
    auto *h = new Handle;
    h->file = files()[name];
    *backend = h;
    if (action)
        *action = 1;
    return 0;
}

inline USHORT close(void *h)
{
    delete static_cast<Handle *>(h);
    return 0;
}

inline USHORT seek(void *hv, LONG distance, ULONG method, ULONG *newPos)
{
    auto *h = static_cast<Handle *>(hv);
    long long base = method == VBF_FILE_BEGIN ? 0
                   : method == VBF_FILE_CURRENT ? h->pos
                                                : (long long)h->file->data.size();
    long long pos = base + distance;
    h->pos = pos < 0 ? 0 : (ULONG)pos;
    if (newPos)
        *newPos = h->pos;
    return 0;
}

inline USHORT read(void *hv, void *buf, ULONG count, ULONG *done)
{
    auto *h = static_cast<Handle *>(hv);
    if (faultDue(faults().readEvery, &faults().reads))
        return ORIN_ERR_ACCESS_DENIED;
    const std::string &d = h->file->data;
    ULONG n = h->pos >= d.size() ? 0 : (ULONG)std::min<size_t>(count, d.size() - h->pos);
    memcpy(buf, d.data() + h->pos, n);
    h->pos += n;
    if (done)
        *done = n;
    return 0;
}

inline USHORT write(void *hv, const void *buf, ULONG count, ULONG *done)
{
    auto *h = static_cast<Handle *>(hv);
    if (writesLeft() == 0 || faultDue(faults().writeEvery, &faults().writes))
        return ORIN_ERR_DISK_FULL;
    if (writesLeft() > 0)
        writesLeft()--;
    std::string &d = h->file->data;
    if (d.size() < (size_t)h->pos + count)
        d.resize((size_t)h->pos + count);
    memcpy(&d[h->pos], buf, count);
    h->pos += count;
    if (done)
        *done = count;
    return 0;
}

inline bool &unlockFails()
{
    static bool fails = false;
    return fails;
}

inline USHORT flush(void *) { return 0; }
inline USHORT locks(void *, FILELOCK *unlock, FILELOCK *)
{
    return unlock && unlockFails() ? ORIN_ERR_LOCK_VIOLATION : 0;
}

inline USHORT length(void *hv, ULONG *len)
{
    *len = (ULONG) static_cast<Handle *>(hv)->file->data.size();
    return 0;
}

inline USHORT newSize(void *hv, ULONG len)
{
    static_cast<Handle *>(hv)->file->data.resize(len);
    return 0;
}

/* The table handed to IxdCreate / IxdOpen. */
inline VBFFUNCS *table()
{
    static VBFFUNCS t =
        testvbf::table({open, close, seek, read, write, flush, locks, nullptr, length, newSize});
    return &t;
}

inline std::string &bytes(const std::string &name) { return files()[name]->data; }

} // namespace memvbf

#endif
