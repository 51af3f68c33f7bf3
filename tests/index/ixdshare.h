/*
 * ixdshare.h - the change sequences of the two-process index test, shared
 * by the test and its helper program so that each side knows what the
 * other must have done by every point of their exchange.
 */
#ifndef IXDSHARE_H
#define IXDSHARE_H

#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>
#include "ixd.h"

namespace ixdshare {

const USHORT KEY_LEN = 8;
const USHORT NODE_SIZE = 256;
const unsigned ROUNDS = 6;
const unsigned PER_ROUND = 80;      /* changes per side and round */
const unsigned CONCURRENT = 60;     /* helper changes in the concurrent phase */
const unsigned CHURN_READY = 1500;  /* changes before the churning helper is killable */

struct Op {
    bool enter;
    std::string key;
    ULONG rec;
};

/* Inserts of prefix-numbered keys, with every fourth change (once enough
 * are live) removing a random live pair instead. */
inline std::vector<Op> ops(char prefix, unsigned seed, unsigned n)
{
    std::mt19937 rng(seed);
    std::vector<Op> out, live;
    while (out.size() < n) {
        if (live.size() > 10 && rng() % 4 == 0) {
            size_t at = rng() % live.size();
            Op op = live[at];
            op.enter = false;
            live[at] = live.back();
            live.pop_back();
            out.push_back(op);
        } else {
            char k[16];
            snprintf(k, sizeof k, "%c%07u", prefix, (unsigned)(rng() % 10000000));
            Op op{true, std::string(k, KEY_LEN), (ULONG)rng()};
            bool dup = false;
            for (const Op &l : live)
                dup = dup || l.key == op.key;
            if (dup)
                continue;
            live.push_back(op);
            out.push_back(op);
        }
    }
    return out;
}

inline std::string stored(const std::string &key, ULONG rec)
{
    std::string s = key;
    for (int i = 0; i < 4; i++)
        s += (char)(rec >> (8 * i));
    return s;
}

/* Applies ops [from, to) to a model set. */
inline void apply(std::set<std::string> &model, const std::vector<Op> &list, size_t from,
                  size_t to)
{
    for (size_t i = from; i < to && i < list.size(); i++) {
        if (list[i].enter)
            model.insert(stored(list[i].key, list[i].rec));
        else
            model.erase(stored(list[i].key, list[i].rec));
    }
}

inline size_t live(const std::vector<Op> &list, size_t to)
{
    std::set<std::string> m;
    apply(m, list, 0, to);
    return m.size();
}

/* Runs one change, retrying while the other process holds the lock. */
inline ULONG change(PIX ix, const Op &op)
{
    ULONG err = 0;
    for (int tries = 0; tries < 20; tries++) {
        if (op.enter)
            IxdEnter(ix, op.key.data(), op.rec, &err);
        else
            IxdRemove(ix, op.key.data(), op.rec, &err);
        if (err != IXD_ERR_LOCK)
            break;
    }
    return err;
}

const unsigned TEST_SEED = 101, HELPER_SEED = 202;

} // namespace ixdshare

#endif
