/*
 * ixdprobe.h - drives every kind of index call over a possibly damaged
 * index and checks only what must hold for any file: each failed call
 * reports one of the family's error codes, and every walk over the index
 * ends (with a code) within as many steps as the file can hold pairs.
 */
#ifndef IXDPROBE_H
#define IXDPROBE_H

#include <gtest/gtest.h>
#include <string>
#include "ixd.h"

namespace ixdprobe {

inline bool familyCode(ULONG err)
{
    return err >= IXD_ERR_NO_MEMORY && err <= IXD_ERR_UNLOCK;
}

/* One call's result: success, or failure with a family code. */
inline bool answered(USHORT rc, ULONG err)
{
    return rc == 0 || (rc == IXD_FAILED && familyCode(err));
}

/* Steps through the whole index from one end; fails when a call answers
 * without a code or the walk goes on beyond maxPairs. */
inline ::testing::AssertionResult walk(PIX ix, bool backwards, USHORT keyLen, ULONG maxPairs)
{
    std::string k(keyLen + 1u, '\0');
    ULONG rec = 0, err = 0, steps = 0;
    USHORT rc = backwards ? IxdLast(ix, &k[0], &rec, &err) : IxdFirst(ix, &k[0], &rec, &err);
    while (rc == 0) {
        if (++steps > maxPairs)
            return ::testing::AssertionFailure() << "walk did not end after " << steps;
        rc = backwards ? IxdPrev(ix, &k[0], &rec, &err) : IxdNext(ix, &k[0], &rec, &err);
    }
    if (!familyCode(err))
        return ::testing::AssertionFailure() << "walk ended with code " << err;
    return ::testing::AssertionSuccess();
}

/* Searches, walks both ways, a prefix count, a long skip, then enters and
 * removes the given keys (keyLen bytes each). */
inline ::testing::AssertionResult exercise(PIX ix, USHORT keyLen, ULONG maxPairs,
                                           const std::string *keys, size_t nKeys)
{
    std::string out(keyLen + 1u, '\0');
    ULONG rec = 0, err = 0, n = 0;
    for (size_t i = 0; i < nKeys; i++) {
        const char *key = keys[i].data();
        USHORT rcs[] = {IxdSearch(ix, key, &out[0], &rec, &err),
                        IxdSearchBack(ix, key, &out[0], &rec, &err),
                        IxdRetrieve(ix, key, (ULONG)i, &err)};
        for (USHORT rc : rcs)
            if (!answered(rc, err))
                return ::testing::AssertionFailure() << "search answered " << err;
    }
    for (bool backwards : {false, true}) {
        auto r = walk(ix, backwards, keyLen, maxPairs);
        if (!r)
            return r;
    }
    if (IxdFirst(ix, &out[0], &rec, &err) == 0) {
        USHORT rc = IxdSkipkey(ix, 32767, &out[0], &rec, &err);
        if (!answered(rc, err) || (rc == 0 && maxPairs < 32767))
            return ::testing::AssertionFailure() << "skip answered " << err;
    }
    IxdGetNrRecords(ix, std::string(keys[0], 0, 1).c_str(), &n);
    if (n > maxPairs)
        return ::testing::AssertionFailure() << "prefix count " << n;
    for (size_t i = 0; i < nKeys; i++) {
        const char *key = keys[i].data();
        USHORT rc = (i % 3 == 2) ? IxdRemove(ix, key, (ULONG)i, &err)
                                 : IxdEnter(ix, key, (ULONG)i, &err);
        if (!answered(rc, err))
            return ::testing::AssertionFailure() << "change " << i << " answered " << err;
    }
    return walk(ix, false, keyLen, maxPairs + nKeys);
}

} // namespace ixdprobe

#endif
