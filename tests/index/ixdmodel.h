/*
 * ixdmodel.h - randomized comparison of an index with an ordered set.
 *
 * The model is a std::set of stored keys (key bytes + little-endian record
 * number, compared like memcmp) plus the remembered current key.  Each
 * step enters, removes or navigates with random arguments and compares the
 * index's answer (result, error word, key, record) with the model's.  The
 * navigation rules the model encodes: a failed search keeps the position;
 * a successful enter makes the new key current; a removal keeps the
 * current key even when it was the one removed, and the next step then
 * moves to its neighbour, counts that as one step and reports 57553;
 * stepping past an end stops at the last pair reached and reports 57552.
 */
#ifndef IXDMODEL_H
#define IXDMODEL_H

#include <gtest/gtest.h>
#include <random>
#include <set>
#include <string>
#include "ixd.h"

namespace ixdmodel {

struct Answer {
    USHORT rc = 0;
    ULONG err = 0;
    std::string key;
    ULONG rec = 0;
    bool operator==(const Answer &o) const
    {
        return rc == o.rc && err == o.err && (rc != 0 || (key == o.key && rec == o.rec));
    }
};

inline std::ostream &operator<<(std::ostream &os, const Answer &a)
{
    return os << "{rc " << a.rc << " err " << a.err << " rec " << a.rec << "}";
}

class Runner {
public:
    Runner(PIX ix, size_t keyLen, unsigned seed, unsigned keySpace, bool zeroPad)
        : ix_(ix), kl_(keyLen), rng_(seed), space_(keySpace), zeroPad_(zeroPad) {}

    std::set<std::string> model;

    std::string randomKey()
    {
        unsigned n = rng_() % space_;
        std::string k(kl_, zeroPad_ ? '\0' : 'z');
        for (size_t i = 0; i < kl_ && i < 4; i++, n /= 16)
            k[std::min<size_t>(kl_, 4) - 1 - i] = (char)('a' + n % 16);
        return k;
    }
    ULONG randomRecord()
    {
        static const ULONG recs[] = {0, 1, 2, 255, 256, 65536, 0x01000000, 0xFFFFFFFF};
        return recs[rng_() % 8];
    }
    static std::string stored(const std::string &k, ULONG rec)
    {
        std::string s = k;
        for (int i = 0; i < 4; i++)
            s += (char)(rec >> (8 * i));
        return s;
    }
    Answer found(const std::string &s, ULONG err = 0) const
    {
        Answer a;
        a.err = err;
        a.key = s.substr(0, kl_);
        a.rec = (ULONG)(uint8_t)s[kl_] | (ULONG)(uint8_t)s[kl_ + 1] << 8 |
                (ULONG)(uint8_t)s[kl_ + 2] << 16 | (ULONG)(uint8_t)s[kl_ + 3] << 24;
        return a;
    }
    static Answer failed(ULONG err)
    {
        Answer a;
        a.rc = IXD_FAILED;
        a.err = err;
        return a;
    }

    /* One random operation; false (with a message) on the first mismatch. */
    ::testing::AssertionResult step()
    {
        unsigned op = rng_() % 100;
        std::string k = randomKey();
        ULONG rec = randomRecord();
        Answer got, want;
        const char *what;
        if (op < 40) {
            what = "enter";
            std::string s = stored(k, rec);
            got.rc = IxdEnter(ix_, k.data(), rec, &got.err);
            if (model.insert(s).second) {
                want = Answer();
                cur_ = s;
                hasCur_ = true;
            } else {
                want = failed(IXD_ERR_DUPLICATE);
            }
            got.key = want.key, got.rec = want.rec;
        } else if (op < 65) {
            what = "remove";
            if (op < 55 && !model.empty()) {   // mostly pairs that exist
                auto it = model.lower_bound(stored(k, 0));
                if (it == model.end())
                    it = model.begin();
                if (op < 45 && hasCur_ && model.count(cur_))
                    it = model.find(cur_);
                k = it->substr(0, kl_);
                rec = found(*it).rec;
            }
            got.rc = IxdRemove(ix_, k.data(), rec, &got.err);
            want = model.erase(stored(k, rec)) ? Answer() : failed(IXD_ERR_NOT_FOUND);
        } else if (op >= 96) {
            what = "count";
            // all but the last letter: a handful of keys, often across nodes
            size_t letters = std::min<size_t>(kl_, 4);
            std::string prefix = k.substr(0, letters > 1 ? letters - 1 : 1);
            got.rc = IxdGetNrRecords(ix_, prefix.c_str(), &got.rec);
            for (auto it = model.lower_bound(prefix);
                 it != model.end() && it->compare(0, prefix.size(), prefix) == 0; ++it)
                want.rec++;
        } else {
            what = navigate(op, k, rec, got, want);
        }
        if (got == want)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << what << " got " << got << " want " << want;
    }

    /* The whole content, walked forwards and backwards. */
    ::testing::AssertionResult sameContent()
    {
        std::string k(kl_, '\0');
        ULONG rec, err;
        auto it = model.begin();
        USHORT rc = IxdFirst(ix_, &k[0], &rec, &err);
        for (; rc == 0; rc = IxdNext(ix_, &k[0], &rec, &err), ++it)
            if (it == model.end() || stored(k, rec) != *it)
                return ::testing::AssertionFailure() << "forward walk differs";
        if (it != model.end() || err != IXD_ERR_NOT_FOUND)
            return ::testing::AssertionFailure() << "forward walk ended early, err " << err;
        auto rit = model.rbegin();
        rc = IxdLast(ix_, &k[0], &rec, &err);
        for (; rc == 0; rc = IxdPrev(ix_, &k[0], &rec, &err), ++rit)
            if (rit == model.rend() || stored(k, rec) != *rit)
                return ::testing::AssertionFailure() << "backward walk differs";
        if (rit != model.rend())
            return ::testing::AssertionFailure() << "backward walk ended early";
        ULONG n = 0;
        IxdQueryNrKeys(ix_, &n, &err);
        if (n != model.size())
            return ::testing::AssertionFailure() << "key count " << n;
        if (!model.empty()) {   // the backward walk stopped at the first pair
            cur_ = *model.begin();
            hasCur_ = true;
        }
        return ::testing::AssertionSuccess();
    }

    void reattach(PIX ix) { ix_ = ix; hasCur_ = false; }

private:
    PIX ix_;
    size_t kl_;
    std::mt19937 rng_;
    unsigned space_;
    bool zeroPad_;
    std::string cur_;
    bool hasCur_ = false;

    Answer settle(std::set<std::string>::iterator it, ULONG err = 0)
    {
        cur_ = *it;
        hasCur_ = true;
        return found(*it, err);
    }

    /* Model of a step of count pairs from the current key. */
    Answer modelStep(long count)
    {
        if (!hasCur_)
            return failed(IXD_ERR_NOT_FOUND);
        bool back = count < 0;
        long left = back ? -count : count;
        ULONG warn = 0;
        auto it = model.find(cur_);
        if (it == model.end()) {
            warn = IXD_ERR_KEY_VANISHED;
            it = model.lower_bound(cur_);
            if (back) {
                if (it == model.begin())
                    return failed(IXD_ERR_NOT_FOUND);
                --it;
            } else if (it == model.end()) {
                return failed(IXD_ERR_NOT_FOUND);
            }
            if (left > 0)
                left--;
        }
        for (; left > 0; left--) {
            if (back ? it == model.begin() : std::next(it) == model.end()) {
                cur_ = *it;
                return failed(IXD_ERR_NOT_FOUND);
            }
            back ? --it : ++it;
        }
        return settle(it, warn);
    }

    const char *navigate(unsigned op, const std::string &k, ULONG rec, Answer &got,
                         Answer &want)
    {
        got.key.assign(kl_, '?');
        void *out = &got.key[0];
        switch (op % 10) {
        case 0: {
            got.rc = IxdSearch(ix_, k.data(), out, &got.rec, &got.err);
            auto it = model.lower_bound(stored(k, 0));
            want = it == model.end() ? failed(IXD_ERR_NOT_FOUND) : settle(it);
            return "search";
        }
        case 1: {
            got.rc = IxdSearchBack(ix_, k.data(), out, &got.rec, &got.err);
            auto it = model.upper_bound(stored(k, 0xFFFFFFFF));
            want = it == model.begin() ? failed(IXD_ERR_NOT_FOUND) : settle(std::prev(it));
            return "search-back";
        }
        case 2: {
            got.rc = IxdSearchID(ix_, k.data(), rec, out, &got.rec, &got.err);
            auto it = model.lower_bound(stored(k, rec));
            want = it == model.end() ? failed(IXD_ERR_NOT_FOUND) : settle(it);
            return "search-id";
        }
        case 3: {
            got.rc = IxdRetrieve(ix_, k.data(), rec, &got.err);
            auto it = model.find(stored(k, rec));
            want = it == model.end() ? failed(IXD_ERR_NOT_FOUND) : settle(it);
            got.key = want.key, got.rec = want.rec;
            return "retrieve";
        }
        case 4:
            got.rc = IxdFirst(ix_, out, &got.rec, &got.err);
            want = model.empty() ? failed(IXD_ERR_NOT_FOUND) : settle(model.begin());
            return "first";
        case 5:
            got.rc = IxdLast(ix_, out, &got.rec, &got.err);
            want = model.empty() ? failed(IXD_ERR_NOT_FOUND) : settle(std::prev(model.end()));
            return "last";
        case 6:
        case 7:
            got.rc = IxdNext(ix_, out, &got.rec, &got.err);
            want = modelStep(1);
            return "next";
        case 8:
            got.rc = IxdPrev(ix_, out, &got.rec, &got.err);
            want = modelStep(-1);
            return "prev";
        default: {
            SHORT count = (SHORT)((int)(rng_() % 15) - 7);
            got.rc = IxdSkipkey(ix_, count, out, &got.rec, &got.err);
            want = modelStep(count);
            return "skip";
        }
        }
    }
};

} // namespace ixdmodel

#endif
