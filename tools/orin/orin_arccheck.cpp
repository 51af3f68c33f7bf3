/*
 * orin_arccheck.cpp - `orin arc check ARCHIVE`: looks for damage in an
 * archive without changing it, and prints one line per problem.
 *
 * The checks, in order:
 *  - the profile by itself (PrfCheckConsistent) and the header's version,
 *    read before the archive is opened, since the open would only refuse
 *    a wrong version;
 *  - the slot counts of the header cover every "Doc_", "Index_" and
 *    "View_" section, and a document's sub-sections ("Doc_<n>.MEMOS") have
 *    their document;
 *  - every field a document lists has its Info and Value keys, and its
 *    information can be read;
 *  - every open index holds exactly one pair per document that has a key,
 *    with the key built from the document now, and no pair for a document
 *    without a key or without a section.
 * The pairs of an index are read as they are stored: through a tree
 * handle of the tool's own on the index's in-profile file (prf.h names it
 * "@PRFHANDLE@<handle>;Index_<n>~Tree").  The archive is opened read-only,
 * so that handle cannot be shared (sharing takes section locks) and the
 * header it writes when it closes is refused like every other write.  The
 * exit status is 1 when a problem was found.
 */
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>
#include "orin_arc.h"
#include "orin_commands.h"

namespace orintool::arc {

namespace {

constexpr char kHeader[] = "BrcHeader";
constexpr char kVersionKey[] = "Version";
constexpr USHORT kVersion = BRC_VERSION;
constexpr char kTreeNameFormat[] = "@PRFHANDLE@%016llx;Index_%u~Tree";
constexpr ULONG kTreeShared = 0;
constexpr char kSubSection = '.';

/* Problems are printed as they are found and counted. */
class Report {
public:
    explicit Report(const char *file) : file_(file) {}

    void problem(const std::string &text)
    {
        printf("%s: %s\n", file_, text.c_str());
        count_++;
    }
    void problem(const std::string &what, USHORT rc)
    {
        problem(what + ": error " + std::to_string(rc) + " (" + meaningOf(rc) + ")");
    }
    bool clean() const { return count_ == 0; }

    int finish() const
    {
        if (clean()) {
            printf("%s: no damage found\n", file_);
            return 0;
        }
        printf("%s: %u problem%s found\n", file_, count_, count_ == 1 ? "" : "s");
        return kExitLibrary;
    }

private:
    const char *file_;
    unsigned count_ = 0;
};

struct ProfileCloser {
    void operator()(std::remove_pointer_t<HPRF> *h) const noexcept { PrfCloseProfile(h); }
};
using Profile = std::unique_ptr<std::remove_pointer_t<HPRF>, ProfileCloser>;

struct IndexCloser {
    void operator()(PIX ix) const noexcept { IxdClose(ix); }
};
using IndexFile = std::unique_ptr<IX, IndexCloser>;

struct FuncsFree {
    void operator()(VBFFUNCS *funcs) const noexcept { free(funcs); }
};
using Funcs = std::unique_ptr<VBFFUNCS, FuncsFree>;

std::string docSection(USHORT number)
{
    return "Doc_" + std::to_string(number);
}

/* ---- The profile and the header version ---------------------------------------- */

/* Whether the archive checks can follow: the file opens as a profile and
 * its header has the version the archive calls accept. */
bool checkProfile(const char *file, Report &report, USHORT *openError)
{
    HPRF raw = nullptr;
    *openError = PrfOpenProfile(nullptr, &raw, file, PRF_OPEN_READONLY);
    if (*openError)
        return false;
    Profile h(raw);
    if (USHORT rc = PrfCheckConsistent(h.get()))
        report.problem("profile", rc);
    USHORT version = 0;
    USHORT rc = PrfQueryProfileUShort(h.get(), kHeader, kVersionKey, &version);
    if (rc)
        report.problem("header: the version cannot be read", rc);
    else if (version != kVersion)
        report.problem("header: version " + std::to_string(version) + ", not " +
                       std::to_string(kVersion));
    return rc == 0 && version == kVersion;
}

/* ---- Slots ---------------------------------------------------------------------- */

struct SlotKind {
    const char *prefix;
    const char *what;
    USHORT (ORINAPI *count)(BrcArchive *, USHORT *);
};

constexpr SlotKind kSlotKinds[] = {
    {"Doc_", "document", BrcGetMaxNrDocs},
    {"Index_", "index", BrcGetMaxNrIx},
    {"View_", "view", BrcGetMaxNrViews},
};

/* The slot number a section name gives after its prefix: decimal digits
 * without leading zeros, up to the end or to a sub-section's dot. */
std::optional<unsigned long> slotNumber(const std::string &digits)
{
    if (digits.empty() || digits.size() > 5 || (digits.size() > 1 && digits[0] == '0') ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoul(digits);
}

void checkSection(BrcArchive *a, const std::string &name, const SlotKind &kind, USHORT slots,
                  Report &report)
{
    std::string rest = name.substr(strlen(kind.prefix));
    size_t dot = rest.find(kSubSection);
    std::optional<unsigned long> n = slotNumber(rest.substr(0, dot));
    if (!n)
        return;   // a name outside the schema
    if (dot != std::string::npos) {
        if (kind.count == BrcGetMaxNrDocs && (*n > 65535 || !BrcQueryDocExist(a, USHORT(*n))))
            report.problem("section " + name + " belongs to no document");
        return;
    }
    if (*n >= slots)
        report.problem("section " + name + " lies beyond the " + kind.what + " slot count " +
                       std::to_string(slots));
}

void checkSlots(BrcArchive *a, Report &report)
{
    std::string list;
    if (USHORT rc = fetch(BrcGetPrfHandle(a), nullptr, nullptr, list)) {
        report.problem("listing the sections", rc);
        return;
    }
    std::vector<std::string> names = splitNames(list);
    for (const SlotKind &kind : kSlotKinds) {
        USHORT slots = 0;
        if (USHORT rc = kind.count(a, &slots)) {
            report.problem(std::string("header: the ") + kind.what + " slot count", rc);
            continue;
        }
        for (const std::string &name : names)
            if (name.compare(0, strlen(kind.prefix), kind.prefix) == 0)
                checkSection(a, name, kind, slots, report);
    }
}

/* ---- Fields --------------------------------------------------------------------- */

void checkKey(HPRF h, USHORT doc, const std::string &field, const char *kind, Report &report)
{
    ULONG size = 0;
    std::string key = std::string(kind) + "." + field;
    USHORT rc = PrfQueryProfileSize(h, docSection(doc).c_str(), key.c_str(), &size);
    if (rc == ORIN_ERR_NO_KEY)
        report.problem("document " + std::to_string(doc) + ": field " + field + " has no " +
                       kind + " key");
    else if (rc)
        report.problem("document " + std::to_string(doc) + ": key " + key, rc);
}

void checkFields(BrcArchive *a, USHORT doc, Report &report)
{
    std::string label = "document " + std::to_string(doc);
    Document d;
    USHORT count = 0;
    USHORT rc = openDocument(a, doc, false, &d);
    if (rc == 0)
        rc = BrdGetNrFields(d.get(), &count);
    if (rc) {
        report.problem(label, rc);
        return;
    }
    for (USHORT i = 0; i < count; i++) {
        char name[BRC_FIELD_NAME_MAX + 1] = {};
        if ((rc = BrdFldGetName(d.get(), i, name, sizeof name)) != 0) {
            report.problem(label + ": field " + std::to_string(i) + " of the list", rc);
            continue;
        }
        checkKey(BrcGetPrfHandle(a), doc, name, "Info", report);
        checkKey(BrcGetPrfHandle(a), doc, name, "Value", report);
        PRFFLDINFO info = {};
        rc = BrdFldGetInfo(d.get(), name, &info);
        if (rc && rc != ORIN_ERR_NO_KEY)
            report.problem(label + ": the information of field " + name, rc);
    }
}

/* The documents that exist, their fields checked on the way. */
std::vector<USHORT> checkDocuments(BrcArchive *a, Report &report)
{
    std::vector<USHORT> docs;
    USHORT slots = 0;
    if (BrcGetMaxNrDocs(a, &slots) != 0)
        return docs;   // reported with the slots
    for (USHORT n = 0; n < slots; n++) {
        if (!BrcQueryDocExist(a, n))
            continue;
        docs.push_back(n);
        checkFields(a, n, report);
    }
    return docs;
}

/* ---- Indexes -------------------------------------------------------------------- */

using StoredPairs = std::multimap<ULONG, std::string>;   // document -> key

/* Every (document, key) pair the index's tree holds, read as stored. */
USHORT readStoredPairs(BrcArchive *a, USHORT number, USHORT keyLength, StoredPairs *pairs)
{
    char name[64];
    snprintf(name, sizeof name, kTreeNameFormat,
             (unsigned long long)(ULONG_PTR)BrcGetPrfHandle(a), number);
    Funcs funcs(PrfFileAllocVbfFuncStruct(nullptr));
    if (!funcs)
        return ORIN_ERR_NO_MEMORY;
    ULONG error = 0;
    IndexFile ix(IxdOpen(name, keyLength, kTreeShared, funcs.get(), &error));
    if (!ix)
        return static_cast<USHORT>(error);
    std::vector<char> key(std::max<size_t>(IxdQueryKeyBufLength(ix.get()), keyLength));
    ULONG record = 0;
    USHORT rc = IxdFirst(ix.get(), key.data(), &record, &error);
    while (rc == 0) {
        pairs->emplace(record, std::string(key.data(), keyLength));
        rc = IxdNext(ix.get(), key.data(), &record, &error);
    }
    return error == IXD_ERR_NOT_FOUND ? 0 : static_cast<USHORT>(error);
}

class IndexCheck {
public:
    IndexCheck(BrcArchive *a, USHORT number, Report &report)
        : a_(a), label_("index " + std::to_string(number)), number_(number), report_(report)
    {
    }

    void run(const std::vector<USHORT> &docs)
    {
        BrcIndexEntry *entry = nullptr;
        if (USHORT rc = BrcIxOpenNr(a_, number_, &entry)) {
            report_.problem(label_ + " cannot be opened", rc);
            return;
        }
        buildKeys(entry, docs);
        StoredPairs stored;
        USHORT rc = readStoredPairs(a_, number_, BrcIxQueryKeyLength(a_, entry), &stored);
        BrcIxClose(a_, entry);
        if (rc) {
            report_.problem(label_ + ": reading its pairs", rc);
            return;
        }
        compareWanted(stored);
        findStrays(stored, docs);
    }

private:
    /* The key each document gives now; a document without one (a required
     * field missing) is left out. */
    void buildKeys(BrcIndexEntry *entry, const std::vector<USHORT> &docs)
    {
        std::vector<char> key(BrcIxQueryKeyLength(a_, entry));
        for (USHORT doc : docs) {
            USHORT rc = BrcIxQueryKeyFromDocNr(a_, entry, doc, key.data());
            if (rc == 0)
                wanted_[doc] = std::string(key.data(), key.size());
            else if (rc != BRC_ERR_GENERAL)
                report_.problem(label_ + ": the key of document " + std::to_string(doc), rc);
            else
                keyless_.insert(doc);
        }
    }

    void compareWanted(const StoredPairs &stored)
    {
        for (const auto &[doc, key] : wanted_) {
            std::string who = label_ + ": document " + std::to_string(doc);
            auto [first, last] = stored.equal_range(doc);
            size_t count = std::distance(first, last);
            if (count == 0) {
                report_.problem(who + " has no key");
                continue;
            }
            if (count > 1)
                report_.problem(who + " has " + std::to_string(count) + " keys");
            bool matched = false;
            for (auto p = first; p != last; ++p)
                matched = matched || p->second == key;
            if (!matched)
                report_.problem(who + " has the key \"" + printable(first->second) +
                                "\", the document gives \"" + printable(key) + "\"");
        }
    }

    /* Pairs of documents that should have none. */
    void findStrays(const StoredPairs &stored, const std::vector<USHORT> &docs)
    {
        std::set<USHORT> existing(docs.begin(), docs.end());
        for (auto p = stored.begin(); p != stored.end(); p = stored.upper_bound(p->first)) {
            std::string who = label_ + ": a key for document " + std::to_string(p->first);
            if (p->first > 65535 || !existing.count(USHORT(p->first)))
                report_.problem(who + ", which does not exist");
            else if (keyless_.count(USHORT(p->first)))
                report_.problem(who + ", which lacks a field the index requires");
        }
    }

    static std::string printable(const std::string &key)
    {
        return printableKey(key.data(), key.size());
    }

    BrcArchive *a_;
    std::string label_;
    USHORT number_;
    Report &report_;
    std::map<USHORT, std::string> wanted_;
    std::set<USHORT> keyless_;
};

void checkIndexes(BrcArchive *a, const std::vector<USHORT> &docs, Report &report)
{
    USHORT slots = 0;
    if (BrcGetMaxNrIx(a, &slots) != 0)
        return;   // reported with the slots
    for (USHORT n = 0; n < slots; n++)
        if (BrcQueryIxExist(a, n))
            IndexCheck(a, n, report).run(docs);
}

}  // namespace

int checkArchive(const char *file)
{
    Report report(file);
    USHORT rc = 0;
    if (!checkProfile(file, report, &rc))
        return rc ? fail(file, rc) : report.finish();
    OpenArchive a;
    if ((rc = openArchive(file, Access::ReadOnly, &a)) != 0) {
        report.problem("the archive cannot be opened", rc);
        return report.finish();
    }
    checkSlots(a.get(), report);
    std::vector<USHORT> docs = checkDocuments(a.get(), report);
    checkIndexes(a.get(), docs, report);
    return report.finish();
}

}  // namespace orintool::arc
