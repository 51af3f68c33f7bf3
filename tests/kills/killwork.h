/*
 * killwork.h - the store workloads that the kill tests run in a helper
 * process and replay in the test.  Every workload is an endless sequence
 * of operations that depends only on a seed: operation j of seed s is the
 * same on both sides, so the test rebuilds what the helper stored from the
 * number of operations the helper reported finished.
 *
 * Each generator is a small state machine (`next()` gives the following
 * operation) over a model of what the operations have done so far; the
 * helper applies each operation to the real store, the test to a model.
 */
#ifndef KILLWORK_H
#define KILLWORK_H

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace killwork {

/* A small deterministic generator (the same on both sides of the pipe). */
class Rng {
public:
    explicit Rng(unsigned seed) : x_(seed * 2654435761u + 0x9E3779B9u) {}
    unsigned operator()()
    {
        x_ = x_ * 6364136223846793005ull + 1442695040888963407ull;
        return unsigned(x_ >> 33);
    }
    std::string letters(size_t n)
    {
        std::string s(n, ' ');
        for (char &c : s)
            c = char('a' + (*this)() % 26);
        return s;
    }

private:
    uint64_t x_;
};

/* ---- block file: allocate, overwrite, resize and free blocks in slots ---- */

struct FalOp {
    enum Kind { kAlloc, kWrite, kRealloc, kFree } kind;
    int slot;
    std::string data;   // for a write: the bytes written at offset 0
};

class FalWork {
public:
    static constexpr int kSlots = 24;
    explicit FalWork(unsigned seed) : rng_(seed) {}
    FalOp next()
    {
        int slot = int(rng_() % kSlots);
        std::string d = rng_.letters(1 + rng_() % (rng_() % 8 == 0 ? 5000 : 600));
        if (!live_[slot]) {
            live_[slot] = true;
            size_[slot] = d.size();
            return {FalOp::kAlloc, slot, d};
        }
        unsigned what = rng_() % 3;
        if (what == 0) {
            d.resize(std::min(d.size(), size_[slot]));
            return {FalOp::kWrite, slot, d};
        }
        if (what == 1) {
            size_[slot] = d.size();
            return {FalOp::kRealloc, slot, d};
        }
        live_[slot] = false;
        return {FalOp::kFree, slot, ""};
    }

private:
    Rng rng_;
    bool live_[kSlots] = {};
    size_t size_[kSlots] = {};
};

/* ---- profile: values of one to three pieces, deleted keys, dropped sections ---- */

struct PrfOp {
    std::string section;
    std::string key;     // empty: the whole section goes
    bool erase = false;  // the key goes
    std::string value;
};

using Contents = std::map<std::string, std::map<std::string, std::string>>;

class PrfWork {
public:
    explicit PrfWork(unsigned seed) : rng_(seed) {}
    PrfOp next()
    {
        PrfOp op;
        op.section = "s" + std::to_string(rng_() % 5);
        op.key = "k" + std::to_string(rng_() % 12);
        unsigned what = rng_() % 40;
        if (what == 0)
            op.key.clear();
        else if (what < 7)
            op.erase = true;
        else
            op.value = rng_.letters(what < 11 ? 16000 + rng_() % 24000 : 1 + rng_() % 300);
        return op;
    }
    /* What the operation does to a model; sections without keys are left
     * out, since a profile may keep or drop them. */
    static void apply(const PrfOp &op, Contents &c)
    {
        if (op.key.empty())
            c.erase(op.section);
        else if (op.erase) {
            auto s = c.find(op.section);
            if (s != c.end() && s->second.erase(op.key) && s->second.empty())
                c.erase(s);
        } else
            c[op.section][op.key] = op.value;
    }

private:
    Rng rng_;
};

/* ---- index: enter and remove (key, record) pairs ---- */

constexpr unsigned short kIxdKeyLength = 8;

struct IxdOp {
    bool enter;
    std::string key;   // kIxdKeyLength bytes
    uint32_t record;
};

class IxdWork {
public:
    explicit IxdWork(unsigned seed) : rng_(seed) {}
    IxdOp next()
    {
        if (!live_.empty() && rng_() % 3 == 0) {
            size_t at = rng_() % live_.size();
            IxdOp op = live_[at];
            op.enter = false;
            live_.erase(live_.begin() + long(at));
            return op;
        }
        for (;;) {
            char key[kIxdKeyLength + 1];
            snprintf(key, sizeof key, "k%07u", rng_() % 400);
            IxdOp op{true, std::string(key, kIxdKeyLength), rng_() % 100000};
            // A pair that is already in the index is not entered twice.
            if (std::none_of(live_.begin(), live_.end(), [&](const IxdOp &o) {
                    return o.key == op.key && o.record == op.record;
                })) {
                live_.push_back(op);
                return op;
            }
        }
    }
    static std::string pairOf(const IxdOp &op)
    {
        char rec[4] = {char(op.record), char(op.record >> 8), char(op.record >> 16),
                       char(op.record >> 24)};
        return op.key + std::string(rec, 4);
    }
    static void apply(const IxdOp &op, std::set<std::string> &pairs)
    {
        if (op.enter)
            pairs.insert(pairOf(op));
        else
            pairs.erase(pairOf(op));
    }

private:
    Rng rng_;
    std::vector<IxdOp> live_;
};

/* ---- file kept in a profile value: writes, seeks back and cuts ---- */

struct FileOp {
    enum Kind { kWrite, kSeek, kCut } kind;
    uint32_t at;        // seek target or new size
    std::string data;   // written at the position
};

/* The file and its position, as the calls define them. */
struct FileModel {
    std::string bytes;
    size_t pos = 0;
    void apply(const FileOp &op)
    {
        if (op.kind == FileOp::kSeek) {
            pos = std::min<size_t>(op.at, bytes.size());
        } else if (op.kind == FileOp::kCut) {
            if (op.at < bytes.size())
                bytes.resize(op.at);
        } else {
            if (bytes.size() < pos + op.data.size())
                bytes.resize(pos + op.data.size());
            bytes.replace(pos, op.data.size(), op.data);
            pos += op.data.size();
        }
    }
};

class FileWork {
public:
    static constexpr size_t kMaxSize = 120000;   // cut back when it grows past this
    explicit FileWork(unsigned seed) : rng_(seed) {}
    FileOp next()
    {
        FileOp op{FileOp::kWrite, 0, ""};
        unsigned what = rng_() % 10;
        size_t size = model_.bytes.size();
        if (model_.pos > size)   // a cut leaves the position behind the end: seek to it
            op = {FileOp::kSeek, uint32_t(size), ""};
        else if (what == 0 && size > 0)
            op = {FileOp::kSeek, uint32_t(rng_() % size), ""};
        else if ((what == 1 && size > 1000) || size > kMaxSize)
            op = {FileOp::kCut, uint32_t(rng_() % (size / 2 + 1)), ""};
        else
            op.data = rng_.letters(1 + rng_() % 6000);
        model_.apply(op);
        return op;
    }

private:
    Rng rng_;
    FileModel model_;
};

/* ---- document archive: add and delete documents, set and delete fields ---- */

/* The archive's index is kArcIndex: TITLE left-justified in 6 bytes, then
 * NUM right-justified in 3 (both padded with zero bytes); NOTE is not in
 * it, and only NOTE is ever deleted, since deleting a field leaves the
 * index alone. */
constexpr const char *kArcIndex = "TITLE,6,L;NUM,3,R";
constexpr size_t kArcTitleWidth = 6, kArcNumWidth = 3;

struct ArcOp {
    enum Kind { kAdd, kSet, kDeleteField, kDeleteDoc } kind;
    unsigned doc;        // the document; for an add, the number it gets
    std::string field;   // TITLE, NUM or NOTE
    std::string value;   // for an add: the document id
};

using ArcFields = std::map<std::string, std::string>;
using ArcDocs = std::map<unsigned, ArcFields>;

/* What the operations leave: the documents and the slot count. */
struct ArcModel {
    ArcDocs docs;
    unsigned slots = 0;   // a new document takes this number

    void apply(const ArcOp &op)
    {
        switch (op.kind) {
        case ArcOp::kAdd:
            docs[op.doc];
            slots = op.doc + 1;
            break;
        case ArcOp::kSet: docs[op.doc][op.field] = op.value; break;
        case ArcOp::kDeleteField: docs[op.doc].erase(op.field); break;
        case ArcOp::kDeleteDoc:
            docs.erase(op.doc);
            if (op.doc + 1 == slots)   // only the highest slot is given back
                slots = op.doc;
            break;
        }
    }

    /* The index key a document's fields give. */
    static std::string keyOf(const ArcFields &f)
    {
        auto field = [&](const char *name) {
            auto it = f.find(name);
            return it == f.end() ? std::string() : it->second;
        };
        std::string title = field("TITLE").substr(0, kArcTitleWidth);
        std::string num = field("NUM").substr(0, kArcNumWidth);
        title.resize(kArcTitleWidth, '\0');
        return title + std::string(kArcNumWidth - num.size(), '\0') + num;
    }
};

class ArcWork {
public:
    explicit ArcWork(unsigned seed) : rng_(seed) {}
    ArcOp next()
    {
        ArcOp op = choose();
        model_.apply(op);
        return op;
    }

private:
    ArcOp choose()
    {
        unsigned what = rng_() % 24;
        if (model_.docs.size() < 3 || what < 3)
            return {ArcOp::kAdd, model_.slots, "", "id" + std::to_string(rng_() % 100000)};
        auto doc = model_.docs.begin();
        std::advance(doc, long(rng_() % model_.docs.size()));
        if (what == 3)
            return {ArcOp::kDeleteDoc, doc->first, "", ""};
        if (what < 7 && doc->second.count("NOTE"))
            return {ArcOp::kDeleteField, doc->first, "NOTE", ""};
        unsigned which = rng_() % 3;
        if (which == 0)
            return {ArcOp::kSet, doc->first, "TITLE", rng_.letters(1 + rng_() % 8)};
        if (which == 1)
            return {ArcOp::kSet, doc->first, "NUM", std::to_string(rng_() % 1000)};
        // Now and then a value of several profile pieces.
        return {ArcOp::kSet, doc->first, "NOTE",
                rng_.letters(rng_() % 10 == 0 ? 12000 + rng_() % 12000 : 1 + rng_() % 400)};
    }

    Rng rng_;
    ArcModel model_;
};

/* ---- record table: append, overwrite and delete records ---- */

constexpr size_t kDbfNameWidth = 10, kDbfNumWidth = 6;

/* A record as its fields hold it (padded to the field widths). */
struct DbfRecord {
    std::string name, num;
    bool deleted = false;
    bool operator==(const DbfRecord &o) const
    {
        return name == o.name && num == o.num && deleted == o.deleted;
    }
};

struct DbfOp {
    enum Kind { kAppend, kUpdate, kDelete } kind;
    unsigned record;   // 1-based; for an append, the number it gets
    DbfRecord values;  // for an append or update
};

class DbfWork {
public:
    explicit DbfWork(unsigned seed) : rng_(seed) {}
    DbfOp next()
    {
        unsigned what = rng_() % 8;
        DbfOp op{DbfOp::kAppend, unsigned(records_.size() + 1), {}};
        if (!records_.empty() && what >= 5) {
            op.record = 1 + rng_() % unsigned(records_.size());
            // A deleted record cannot be deleted again: it is overwritten.
            bool deleted = records_[op.record - 1].deleted;
            op.kind = what == 7 && !deleted ? DbfOp::kDelete : DbfOp::kUpdate;
        }
        if (op.kind != DbfOp::kDelete) {
            std::string name = rng_.letters(1 + rng_() % kDbfNameWidth);
            std::string num = std::to_string(rng_() % 1000000);
            op.values.name = name + std::string(kDbfNameWidth - name.size(), ' ');
            op.values.num = std::string(kDbfNumWidth - num.size(), ' ') + num;
        }
        apply(op, records_);
        return op;
    }
    static void apply(const DbfOp &op, std::vector<DbfRecord> &records)
    {
        if (op.kind == DbfOp::kAppend)
            records.push_back(op.values);
        else if (op.kind == DbfOp::kUpdate)
            records[op.record - 1] = DbfRecord{op.values.name, op.values.num,
                                               records[op.record - 1].deleted};
        else
            records[op.record - 1].deleted = true;
    }

private:
    Rng rng_;
    std::vector<DbfRecord> records_;
};

}  // namespace killwork

#endif
