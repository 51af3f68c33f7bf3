/*
 * faultvbf.h - a virtual-file back-end for crash and fault tests: plain
 * operating-system files (every write goes straight to the file, nothing
 * is buffered), with faults a test arms beforehand:
 *
 *   kill at write N   the Nth write of the process and everything after it
 *                     never reach a file, as when the process is killed
 *                     there; the layers above are told that all went well,
 *                     so they run on as a doomed process would.  With
 *                     `tear`, the first half of the Nth write does land.
 *   power cut at write N   as a kill, and besides every write since the
 *                     file's last flush is undone (the system lost its
 *                     cache), in reverse order.
 *   fail call N       the Nth call of the chosen kinds (read, write, lock,
 *                     size, flush) answers the chosen error and does
 *                     nothing; the calls after it work again.
 *
 * Counting runs across all files the table opens.  The layers above take
 * the table as any other (FalCreate, PrfOpenProfileOnVbf, IxdOpen, ...);
 * afterwards a test reopens the files with the real back-end and checks
 * them.  One plan at a time per process.
 */
#ifndef FAULTVBF_H
#define FAULTVBF_H

#include <windows.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "vbf.h"
#include "vbftable.h"

namespace faultvbf {

enum Kind : unsigned {
    kRead = 1,
    kWrite = 2,
    kLock = 4,
    kSize = 8,
    kFlush = 16,
};

struct Plan {
    long killAtWrite = 0;      // 1-based; 0: no kill
    bool tear = false;         // half of the killing write lands
    bool powerCut = false;     // and the writes since the last flush are undone
    long failAtCall = 0;       // 1-based among calls of failKinds; 0: none
    unsigned failKinds = 0;
    USHORT failCode = 0;
};

struct Undo {
    ULONGLONG offset;
    std::vector<char> before;   // bytes that were there (or short: past the end)
    ULONGLONG lengthBefore;
};

struct File {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::vector<Undo> sinceFlush;
};

struct State {
    Plan plan;
    long writes = 0;
    long calls = 0;
    bool dead = false;
    bool failed = false;
    std::vector<File *> open;
    std::vector<std::pair<ULONGLONG, ULONG>> log;   // offset and length of each write, to debug
};

inline State &state()
{
    static State s;
    return s;
}

/* Arms a plan and clears the counters. */
inline void arm(const Plan &plan)
{
    State &s = state();
    s.plan = plan;
    s.writes = 0;
    s.calls = 0;
    s.dead = false;
    s.failed = false;
    s.log.clear();
}

inline void disarm() { arm(Plan{}); }
inline long writes() { return state().writes; }
inline long calls() { return state().calls; }
inline bool dead() { return state().dead; }
/* Whether the planned call failure has happened. */
inline bool failed() { return state().failed; }

inline File *F(void *h) { return static_cast<File *>(h); }

inline ULONGLONG position(File *f)
{
    LARGE_INTEGER zero{}, pos{};
    SetFilePointerEx(f->h, zero, &pos, FILE_CURRENT);
    return ULONGLONG(pos.QuadPart);
}

inline ULONGLONG sizeOf(File *f)
{
    LARGE_INTEGER size{};
    GetFileSizeEx(f->h, &size);
    return ULONGLONG(size.QuadPart);
}

/* Whether this call is the one planned to fail (counting it). */
inline bool failsNow(Kind kind)
{
    State &s = state();
    if (s.plan.failAtCall == 0 || !(s.plan.failKinds & kind))
        return false;
    if (++s.calls != s.plan.failAtCall)
        return false;
    s.failed = true;
    return true;
}

/* Puts back what the writes since the file's last flush changed. */
inline void undoSinceFlush(File *f)
{
    for (auto it = f->sinceFlush.rbegin(); it != f->sinceFlush.rend(); ++it) {
        LARGE_INTEGER at;
        at.QuadPart = LONGLONG(it->offset);
        SetFilePointerEx(f->h, at, nullptr, FILE_BEGIN);
        DWORD done = 0;
        if (!it->before.empty())
            WriteFile(f->h, it->before.data(), DWORD(it->before.size()), &done, nullptr);
        at.QuadPart = LONGLONG(it->lengthBefore);
        SetFilePointerEx(f->h, at, nullptr, FILE_BEGIN);
        SetEndOfFile(f->h);
    }
    f->sinceFlush.clear();
}

inline void die()
{
    State &s = state();
    s.dead = true;
    if (s.plan.powerCut)
        for (File *f : s.open)
            undoSinceFlush(f);
}

/* Notes what [offset, offset + count) holds now, for a power cut. */
inline void remember(File *f, ULONGLONG offset, ULONG count)
{
    if (!state().plan.powerCut)
        return;
    Undo u;
    u.offset = offset;
    u.lengthBefore = sizeOf(f);
    ULONGLONG end = offset + count;
    if (offset < u.lengthBefore) {
        ULONGLONG keep = position(f);
        LARGE_INTEGER at;
        at.QuadPart = LONGLONG(offset);
        SetFilePointerEx(f->h, at, nullptr, FILE_BEGIN);
        u.before.resize(size_t(std::min(end, u.lengthBefore) - offset));
        DWORD got = 0;
        ReadFile(f->h, u.before.data(), DWORD(u.before.size()), &got, nullptr);
        u.before.resize(got);
        at.QuadPart = LONGLONG(keep);
        SetFilePointerEx(f->h, at, nullptr, FILE_BEGIN);
    }
    f->sinceFlush.push_back(std::move(u));
}

inline USHORT open(ULONG_PTR, const char *name, void **backend, ULONG *action, ULONG, ULONG,
                   ULONG openFlags, ULONG openMode, ULONG_PTR)
{
    DWORD access = (openMode & 3) == VBF_MODE_READ    ? GENERIC_READ
                 : (openMode & 3) == VBF_MODE_WRITE   ? GENERIC_WRITE
                                                      : GENERIC_READ | GENERIC_WRITE;
    DWORD share = (openMode & 0x70) == VBF_SHARE_DENY_ALL   ? 0
                : (openMode & 0x70) == VBF_SHARE_DENY_WRITE ? FILE_SHARE_READ
                                                            : FILE_SHARE_READ | FILE_SHARE_WRITE;
    bool create = (openFlags & 0x10) != 0, replace = (openFlags & 0x02) != 0,
         existing = (openFlags & 0x01) != 0;
    DWORD how = create ? (replace ? CREATE_ALWAYS : existing ? OPEN_ALWAYS : CREATE_NEW)
                       : (replace ? TRUNCATE_EXISTING : OPEN_EXISTING);
    DWORD before = GetFileAttributesA(name);
    HANDLE h = CreateFileA(name, access, share, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return USHORT(e == ERROR_SHARING_VIOLATION ? ORIN_ERR_ACCESS_DENIED : e);
    }
    if (action)
        *action = before == INVALID_FILE_ATTRIBUTES ? 2 : replace ? 3 : 1;
    File *f = new File;
    f->h = h;
    state().open.push_back(f);
    *backend = f;
    return 0;
}

inline USHORT close(void *h)
{
    File *f = F(h);
    auto &open = state().open;
    for (size_t i = 0; i < open.size(); i++)
        if (open[i] == f)
            open.erase(open.begin() + long(i));
    CloseHandle(f->h);
    delete f;
    return 0;
}

inline USHORT seek(void *h, LONG distance, ULONG method, ULONG *newPos)
{
    LARGE_INTEGER d, pos;
    d.QuadPart = distance;
    if (!SetFilePointerEx(F(h)->h, d, &pos, method))
        return ORIN_ERR_INVALID_PARAM;
    if (newPos)
        *newPos = ULONG(pos.QuadPart);
    return 0;
}

inline USHORT read(void *h, void *buffer, ULONG count, ULONG *done)
{
    *done = 0;
    if (failsNow(kRead))
        return state().plan.failCode;
    DWORD got = 0;
    if (!ReadFile(F(h)->h, buffer, count, &got, nullptr))
        return USHORT(GetLastError());
    *done = got;
    return 0;
}

inline USHORT write(void *h, const void *buffer, ULONG count, ULONG *done)
{
    State &s = state();
    File *f = F(h);
    *done = 0;
    if (failsNow(kWrite))
        return s.plan.failCode;
    if (s.dead) {
        *done = count;
        LARGE_INTEGER d, pos;
        d.QuadPart = LONGLONG(count);
        SetFilePointerEx(f->h, d, &pos, FILE_CURRENT);   // as if written
        return 0;
    }
    ++s.writes;
    ULONG landing = count;
    bool killing = s.plan.killAtWrite != 0 && s.writes == s.plan.killAtWrite;
    if (killing)
        landing = s.plan.tear ? count / 2 : 0;
    ULONGLONG at = position(f);
    s.log.emplace_back(at, count);
    remember(f, at, landing);
    DWORD put = 0;
    if (landing && !WriteFile(f->h, buffer, landing, &put, nullptr))
        return USHORT(GetLastError());
    if (killing) {
        LARGE_INTEGER d;
        d.QuadPart = LONGLONG(at + count);
        SetFilePointerEx(f->h, d, nullptr, FILE_BEGIN);
        die();
    }
    *done = count;
    return 0;
}

inline USHORT flush(void *h)
{
    if (failsNow(kFlush))
        return state().plan.failCode;
    if (state().dead)
        return 0;
    FlushFileBuffers(F(h)->h);
    F(h)->sinceFlush.clear();
    return 0;
}

inline USHORT locks(void *h, FILELOCK *unlockRange, FILELOCK *lockRange)
{
    if (failsNow(kLock))
        return state().plan.failCode;
    HANDLE fh = F(h)->h;
    if (unlockRange && unlockRange->length) {
        OVERLAPPED o{};
        o.Offset = unlockRange->offset;
        if (!UnlockFileEx(fh, 0, unlockRange->length, 0, &o))
            return ORIN_ERR_LOCK_VIOLATION;
    }
    if (lockRange && lockRange->length) {
        OVERLAPPED o{};
        o.Offset = lockRange->offset;
        DWORD flags = LOCKFILE_FAIL_IMMEDIATELY |
                      (lockRange->exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
        if (!LockFileEx(fh, flags, 0, lockRange->length, 0, &o))
            return ORIN_ERR_LOCK_VIOLATION;
    }
    return 0;
}

inline ULONG tell(void *h) { return ULONG(position(F(h))); }

inline USHORT length(void *h, ULONG *len)
{
    if (failsNow(kSize))
        return state().plan.failCode;
    *len = ULONG(sizeOf(F(h)));
    return 0;
}

inline USHORT newSize(void *h, ULONG len)
{
    if (failsNow(kSize))
        return state().plan.failCode;
    if (state().dead)
        return 0;
    File *f = F(h);
    ULONGLONG keep = position(f);
    ULONGLONG old = sizeOf(f);
    if (len < old)
        remember(f, len, ULONG(old - len));
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(len);
    SetFilePointerEx(f->h, at, nullptr, FILE_BEGIN);
    BOOL ok = SetEndOfFile(f->h);
    at.QuadPart = LONGLONG(keep);
    SetFilePointerEx(f->h, at, nullptr, FILE_BEGIN);
    return ok ? 0 : USHORT(GetLastError());
}

/* A full table (each caller may keep the pointer; the table is static). */
inline VBFFUNCS *table()
{
    static VBFFUNCS t;
    t = testvbf::table({open, close, seek, read, write, flush, locks, tell, length, newSize});
    return &t;
}

}  // namespace faultvbf

#endif
