/*
 * countvbf.h - the in-memory back-end (memvbf.h) with every call that a
 * file system would see noted: lock and unlock requests, and each read
 * and write with its offset and length.  Tests count what one profile or
 * block-file call costs in system calls with it.
 */
#ifndef COUNTVBF_H
#define COUNTVBF_H

#include <vector>
#include "memvbf.h"

namespace countvbf {

struct Access {
    ULONG offset, length;
};

struct Counts {
    long locks = 0;                  /* lock requests */
    long unlocks = 0;                /* unlock requests */
    std::vector<Access> reads, writes;
};

inline Counts &counts()
{
    static Counts c;
    return c;
}

inline void reset() { counts() = Counts{}; }

/* Reads of [offset, offset + length) that overlap a range. */
inline long readsTouching(ULONG offset, ULONG length)
{
    long n = 0;
    for (const Access &a : counts().reads)
        n += a.offset < offset + length && offset < a.offset + a.length;
    return n;
}

inline USHORT read(void *h, void *buf, ULONG n, ULONG *done)
{
    counts().reads.push_back({memvbf::H(h)->pos, n});
    return memvbf::read(h, buf, n, done);
}

inline USHORT write(void *h, const void *buf, ULONG n, ULONG *done)
{
    counts().writes.push_back({memvbf::H(h)->pos, n});
    return memvbf::write(h, buf, n, done);
}

inline USHORT locks(void *h, FILELOCK *unlockRange, FILELOCK *lockRange)
{
    counts().unlocks += unlockRange && unlockRange->length;
    counts().locks += lockRange && lockRange->length;
    return memvbf::locks(h, unlockRange, lockRange);
}

inline VBFFUNCS *table()
{
    static VBFFUNCS t;
    t = *memvbf::table();
    t.Read = read;
    t.ReadDirect = read;
    t.Write = write;
    t.FileLocks = locks;
    t.FileLocksEx = locks;
    return &t;
}

}  // namespace countvbf

#endif
