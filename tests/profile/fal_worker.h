/*
 * fal_worker.h - one side of the two-process block-file test: for a given
 * time, allocate blocks filled with this worker's tag, rewrite some and
 * free others on a block file opened shared, checking after every read
 * that a block still holds what this worker wrote.  Both the test and its
 * helper process run it at once on the same file.
 */
#ifndef FAL_WORKER_H
#define FAL_WORKER_H

#include <map>
#include <random>
#include <string>
#include "profile/falint.h"
#include "knlnam.h"

namespace falworker {

struct Result {
    USHORT error = 0;                 /* first failing call's code */
    std::string what;
    int operations = 0;
    std::map<ULONG, std::string> live; /* id -> content */
};

inline std::string content(const std::string &tag, int n, size_t len)
{
    std::string s = tag + "-" + std::to_string(n) + ":";
    while (s.size() < len)
        s += (char)('a' + s.size() % 26);
    return s.substr(0, len);
}

inline Result run(const char *file, const std::string &tag, unsigned seed, DWORD millis)
{
    Result r;
    HFAL h = nullptr;
    std::mt19937 rng(seed);
    r.error = FalOpen(KnlNamGetDefaultNS(), file, &h, FAL_OPEN_SHARED);
    if (r.error) {
        r.what = "open";
        return r;
    }
    DWORD end = GetTickCount() + millis;
    for (int n = 0; GetTickCount() < end && !r.error; n++, r.operations++) {
        int op = rng() % 10;
        if (op < 5 || r.live.size() < 3) {
            std::string c = content(tag, n, 8 + rng() % 300);
            ULONG id = 0;
            r.error = FalAllocBlock(h, &id, (ULONG)c.size(), c.data(), (ULONG)c.size());
            if (!r.error && r.live.count(id)) {
                r.error = ORIN_ERR_GENERAL;
                r.what = "block handed out twice";
            }
            if (!r.error)
                r.live[id] = c;
            else if (r.what.empty())
                r.what = "alloc";
        } else {
            auto it = r.live.begin();
            std::advance(it, rng() % r.live.size());
            std::string buf(it->second.size(), '\0');
            r.error = FalGetBlock(h, it->first, &buf[0], (ULONG)buf.size());
            if (!r.error && buf != it->second) {
                r.error = ORIN_ERR_GENERAL;
                r.what = "block changed by the other process";
            } else if (r.error) {
                r.what = "read";
            } else if (op < 8) {
                r.error = FalFreeBlock(h, it->first);
                r.what = "free";
                if (!r.error) {
                    r.live.erase(it);
                    r.what.clear();
                }
            } else {
                ULONG id = it->first;
                std::string c = content(tag, n, 8 + rng() % 300);
                r.error = FalReallocBlock(h, &id, (ULONG)c.size(), c.data(), (ULONG)c.size());
                r.what = "realloc";
                if (!r.error) {
                    r.live.erase(it);
                    if (r.live.count(id))
                        r.error = ORIN_ERR_GENERAL;
                    r.live[id] = c;
                    r.what.clear();
                }
            }
        }
    }
    USHORT rc = FalClose(h);
    if (!r.error && rc) {
        r.error = rc;
        r.what = "close";
    }
    return r;
}

} // namespace falworker

#endif
