/*
 * arccrash.h - what the archive crash tests check after a fault (a faked
 * kill, power cut or failed call, or a real kill of a helper process):
 *
 *  - the profile opens, or is refused as left in an update (or torn) and
 *    repair brings it back; then it passes its own check;
 *  - the archive opens exclusively on the real back-end;
 *  - every document and field the finished operations stored is there,
 *    with its value, and nothing else; the operation under way is wholly
 *    there or wholly absent (after a repair its document is left out:
 *    repair salvages a value cut short as it finds its pieces);
 *  - the index holds one pair per document, with the key the document
 *    gives, in key order; the document of the operation under way may
 *    have no pair, or the pair of its key before or after the operation;
 *  - `orin arc check` finds nothing the operation under way does not
 *    explain;
 *  - the archive takes a new document afterwards.
 */
#ifndef ARCCRASH_H
#define ARCCRASH_H

#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include "brc.h"
#include "ixd.h"
#include "killwork.h"
#include "prf.h"
#include "profile/prfdisk.h"
#include "testutil.h"

namespace arccrash {

using killwork::ArcDocs;
using killwork::ArcFields;
using killwork::ArcModel;
using killwork::ArcOp;

constexpr USHORT kExclusive = 0;
constexpr USHORT kIndexNumber = 0;
constexpr USHORT kKeyLength = USHORT(killwork::kArcTitleWidth + killwork::kArcNumWidth);
constexpr char kTreeNameFormat[] = "@PRFHANDLE@%016llx;Index_%u~Tree";

struct Expect {
    ArcModel before, after;             // without and with the operation under way
    std::optional<ArcOp> inFlight;
    bool inCreate = false;              // the fault may have come before the archive was whole
    bool torn = false;                  // a write may have landed in part
    // A failed call (not a kill): index errors are not the document calls'
    // to report, so a removal that failed may leave the old pair beside
    // the new one.
    bool callFailed = false;
};

inline std::string describe(const ArcDocs &docs)
{
    std::ostringstream out;
    for (const auto &[n, fields] : docs) {
        out << " " << n << "{";
        for (const auto &[name, value] : fields)
            out << name << "=" << value.substr(0, 12) << (value.size() > 12 ? "..." : "") << ";";
        out << "}";
    }
    return out.str();
}

inline std::string printable(const std::string &key)
{
    std::string out;
    for (unsigned char c : key)
        out += c ? std::string(1, char(c)) : std::string("\\0");
    return out;
}

/* The documents below the slot count, with their listed fields' values. */
inline ArcDocs readDocs(BrcArchive *a)
{
    ArcDocs docs;
    USHORT slots = 0;
    EXPECT_EQ(BrcGetMaxNrDocs(a, &slots), 0);
    HPRF h = BrcGetPrfHandle(a);
    for (USHORT n = 0; n < slots; n++) {
        if (!BrcQueryDocExist(a, n))
            continue;
        BrdDocument *d = nullptr;
        USHORT rc = BrdOpenDocument(a, &d, n, FALSE);
        EXPECT_EQ(rc, 0) << "document " << n;
        if (rc)
            continue;
        ArcFields &fields = docs[n];
        USHORT count = 0;
        EXPECT_EQ(BrdGetNrFields(d, &count), 0);
        for (USHORT i = 0; i < count; i++) {
            char name[BRC_FIELD_NAME_MAX + 1] = {};
            EXPECT_EQ(BrdFldGetName(d, i, name, sizeof name), 0);
            fields[name] = prfdisk::value(h, "Doc_" + std::to_string(n), std::string("Value.") + name);
        }
        BrdCloseDocument(d);
    }
    return docs;
}

using Pairs = std::vector<std::pair<std::string, ULONG>>;   // key and document, as stored

/* The index's pairs in stored order, read through a tree handle of our
 * own on a read-only profile. */
inline USHORT readPairs(const char *file, Pairs *out)
{
    prfdisk::DiskProfile p(file, PRF_OPEN_READONLY);
    if (p.rc)
        return p.rc;
    char name[64];
    snprintf(name, sizeof name, kTreeNameFormat, (unsigned long long)(ULONG_PTR)p.h,
             unsigned(kIndexNumber));
    VBFFUNCS *funcs = PrfFileAllocVbfFuncStruct(nullptr);
    ULONG error = 0;
    PIX ix = IxdOpen(name, kKeyLength, 0, funcs, &error);
    if (ix) {
        char key[kKeyLength];
        ULONG record = 0;
        USHORT rc = IxdFirst(ix, key, &record, &error);
        while (rc == 0) {
            out->emplace_back(std::string(key, kKeyLength), record);
            rc = IxdNext(ix, key, &record, &error);
        }
        if (error == IXD_ERR_NOT_FOUND)
            error = 0;
        IxdClose(ix);
    }
    free(funcs);
    return USHORT(error);
}

/* The problem lines `orin arc check` prints (orin.exe next to the test). */
inline std::vector<std::string> toolProblems(const char *file, int *status)
{
    testutil::CommandResult r = testutil::runCommand(std::string("orin.exe arc check ") + file);
    *status = r.status;
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < r.out.size()) {
        size_t end = r.out.find('\n', at);
        if (end == std::string::npos)
            end = r.out.size();
        std::string line = r.out.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find("no damage found") == std::string::npos &&
            line.find(" found") == std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

/* Whether a problem line is about document n ("document 7", "Doc_7"). */
inline bool mentions(const std::string &line, unsigned n)
{
    for (std::string word : {std::string("document ") + std::to_string(n),
                             std::string("Doc_") + std::to_string(n)}) {
        for (size_t at = line.find(word); at != std::string::npos; at = line.find(word, at + 1)) {
            size_t end = at + word.size();
            if (end == line.size() || !isdigit(static_cast<unsigned char>(line[end])))
                return true;
        }
    }
    return false;
}

inline ArcDocs without(ArcDocs docs, const std::optional<ArcOp> &op)
{
    if (op)
        docs.erase(op->doc);
    return docs;
}

/* The index against the documents it was read with. */
inline void checkPairs(const Pairs &pairs, const ArcDocs &docs, const Expect &e, bool repaired)
{
    // A tree orders its pairs by the bytes of key and little-endian record.
    auto stored = [](const std::pair<std::string, ULONG> &p) {
        std::string s = p.first;
        for (int b = 0; b < 4; b++)
            s += char((p.second >> (8 * b)) & 0xFF);
        return s;
    };
    for (size_t i = 1; i < pairs.size(); i++)
        EXPECT_LT(stored(pairs[i - 1]), stored(pairs[i]))
            << "pairs " << i - 1 << " and " << i << " out of order";
    std::optional<unsigned> loose;
    if (e.inFlight)
        loose = e.inFlight->doc;
    std::map<ULONG, std::vector<std::string>> keys;
    for (const auto &[key, doc] : pairs)
        keys[doc].push_back(key);
    for (const auto &[n, fields] : docs) {
        if (n == loose)
            continue;
        auto it = keys.find(n);
        ASSERT_TRUE(it != keys.end()) << "document " << n << " has no pair";
        EXPECT_EQ(it->second.size(), 1u) << "document " << n;
        EXPECT_EQ(printable(it->second.front()), printable(ArcModel::keyOf(fields)))
            << "document " << n;
    }
    for (const auto &[n, list] : keys) {
        if (n == loose) {
            EXPECT_LE(list.size(), e.callFailed ? 2u : 1u) << "document " << n << " under way";
            std::vector<std::string> allowed;
            if (repaired)
                continue;   // the document holds what repair salvaged
            for (const ArcModel *m : {&e.before, &e.after})
                if (m->docs.count(n))
                    allowed.push_back(ArcModel::keyOf(m->docs.at(n)));
            for (const std::string &key : list)
                EXPECT_TRUE(std::find(allowed.begin(), allowed.end(), key) != allowed.end())
                    << "document " << n << " under way has the key " << printable(key)
                    << ", of neither state; before:" << describe(e.before.docs)
                    << "; after:" << describe(e.after.docs);
            continue;
        }
        EXPECT_TRUE(docs.count(unsigned(n))) << "a pair for document " << n << ", which is not there";
    }
}

/* Opens the profile, repairing it when it was left in an update; false
 * when nothing is there to check. */
inline bool openProfile(const char *file, const Expect &e, bool *repaired)
{
    HPRF h = nullptr;
    USHORT rc = PrfOpenProfile(nullptr, &h, file, PRF_OPEN_READONLY);
    *repaired = false;
    if (rc == PRF_ERR_INUPDATE || (rc == PRF_ERR_CHECKSUM && (e.inCreate || e.torn))) {
        USHORT fixed = PrfFalRepair(nullptr, file);
        if (fixed != 0 && e.inCreate)
            return false;
        EXPECT_EQ(fixed, 0) << "open gave " << rc;
        *repaired = true;
        rc = PrfOpenProfile(nullptr, &h, file, PRF_OPEN_READONLY);
    }
    if (rc != 0 && e.inCreate)
        return false;   // refused, not crashed
    EXPECT_EQ(rc, 0);
    if (rc)
        return false;
    EXPECT_EQ(PrfCheckConsistent(h), 0);
    PrfCloseProfile(h);
    return true;
}

inline void check(const char *file, const Expect &e, bool runTool = true)
{
    bool repaired = false;
    if (!openProfile(file, e, &repaired))
        return;
    BrcArchive *a = nullptr;
    USHORT rc = BrcOpen(nullptr, &a, file, kExclusive);
    if (rc && e.inCreate)
        return;   // the header was never whole: refused, not crashed
    ASSERT_EQ(rc, 0) << "the archive does not open";
    ArcDocs docs = readDocs(a);
    USHORT slots = 0;
    BrcGetMaxNrDocs(a, &slots);
    EXPECT_EQ(BrcClose(a), 0);
    if (repaired) {
        EXPECT_EQ(describe(without(docs, e.inFlight)), describe(without(e.before.docs, e.inFlight)))
            << "after repair";
    } else {
        EXPECT_TRUE(docs == e.before.docs || docs == e.after.docs)
            << "the archive holds" << describe(docs) << "\nbefore the operation under way:"
            << describe(e.before.docs) << "\nafter it:" << describe(e.after.docs);
    }
    EXPECT_TRUE(slots == e.before.slots || slots == e.after.slots) << "slot count " << slots;

    Pairs pairs;
    EXPECT_EQ(readPairs(file, &pairs), 0);
    checkPairs(pairs, docs, e, repaired);

    if (runTool) {
        int status = 0;
        for (const std::string &line : toolProblems(file, &status))
            EXPECT_TRUE(e.inFlight && mentions(line, e.inFlight->doc)) << "orin arc check: " << line;
    }

    // The archive goes on working.
    ASSERT_EQ(BrcOpen(nullptr, &a, file, kExclusive), 0);
    BrdDocument *d = nullptr;
    EXPECT_EQ(BrdAddDocument(a, &d, "after", "crash", TRUE, FALSE), 0);
    if (d) {
        EXPECT_EQ(BrdCloseDocument(d), 0);
    }
    EXPECT_EQ(BrcClose(a), 0);
}

}  // namespace arccrash

#endif
