/*
 * memvbf.h - an in-memory back-end for virtual files, for tests: a table
 * of operations whose files live in a process-wide map from name to byte
 * vector.  It lets storage tests run fast, damage files at will and count
 * what the layers above do, without the operating system.
 */
#ifndef MEMVBF_H
#define MEMVBF_H

#include <map>
#include <string>
#include <vector>
#include <cstring>
#include "vbf.h"
#include "vbftable.h"

namespace memvbf {

struct File {
    std::vector<unsigned char> data;
};

inline std::map<std::string, File> &files()
{
    static std::map<std::string, File> all;
    return all;
}

struct Handle {
    File *file;
    ULONG pos;
};

inline USHORT open(ULONG_PTR, const char *name, void **backend, ULONG *action, ULONG,
                   ULONG, ULONG openFlags, ULONG, ULONG_PTR)
{
    auto &all = files();
    auto it = all.find(name);
    if (it == all.end()) {
        if (!(openFlags & 0x10))
            return ORIN_ERR_FILE_NOT_FOUND;
        it = all.emplace(name, File()).first;
        if (action) *action = 2;
    } else {
        if ((openFlags & 0x0F) == 0)
            return 80;                             /* file exists */
        if ((openFlags & 0x0F) == 2)
            it->second.data.clear();
        if (action) *action = (openFlags & 0x0F) == 2 ? 3 : 1;
    }
    *backend = new Handle{&it->second, 0};
    return 0;
}

inline Handle *H(void *h) { return static_cast<Handle *>(h); }

inline USHORT close(void *h) { delete H(h); return 0; }

inline USHORT seek(void *h, LONG dist, ULONG method, ULONG *newPos)
{
    long long base = method == 0 ? 0 : method == 1 ? H(h)->pos : (long long)H(h)->file->data.size();
    long long p = base + dist;
    if (p < 0)
        return 131;                                /* negative seek */
    H(h)->pos = (ULONG)p;
    if (newPos) *newPos = H(h)->pos;
    return 0;
}

inline USHORT read(void *h, void *buf, ULONG n, ULONG *done)
{
    auto &d = H(h)->file->data;
    ULONG avail = H(h)->pos < d.size() ? (ULONG)d.size() - H(h)->pos : 0;
    if (n > avail) n = avail;
    if (n) std::memcpy(buf, d.data() + H(h)->pos, n);
    H(h)->pos += n;
    if (done) *done = n;
    return 0;
}

inline USHORT write(void *h, const void *buf, ULONG n, ULONG *done)
{
    auto &d = H(h)->file->data;
    if (H(h)->pos + n > d.size())
        d.resize(H(h)->pos + n);
    if (n) std::memcpy(d.data() + H(h)->pos, buf, n);
    H(h)->pos += n;
    if (done) *done = n;
    return 0;
}

inline USHORT flush(void *) { return 0; }
inline USHORT locks(void *, FILELOCK *, FILELOCK *) { return 0; }
inline ULONG tell(void *h) { return H(h)->pos; }
inline USHORT length(void *h, ULONG *len) { *len = (ULONG)H(h)->file->data.size(); return 0; }
inline USHORT newSize(void *h, ULONG len) { H(h)->file->data.resize(len); return 0; }

/* A full table; each call fills it afresh (the Vbf layer does not own it). */
inline VBFFUNCS *table()
{
    static VBFFUNCS t;
    t = testvbf::table({open, close, seek, read, write, flush, locks, tell, length, newSize});
    return &t;
}

} // namespace memvbf

#endif
