/*
 * lsq_write.cpp - writing a node chain as a stored query file
 * (lsq_format.h).
 *
 * The whole file is prepared in memory first: one pre-order walk gives
 * every distinct atom text the next string index (from 1, in order of
 * first use, compared exactly) and encodes one record per node.  Only
 * then is the target created and written: header, string table, records
 * in blocks.  A tree that cannot be encoded (more distinct texts than a
 * u16 index reaches) or memory running out leaves an existing target
 * untouched; a failed create is LSPERR_OPEN, a failed write LSPERR_WRITE,
 * and a target that was created is deleted again after any failure.
 *
 * The walk keeps its own stack, so any depth the reader can build is
 * written.  Open lists are written as lists; callers refuse them first.
 */
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include "lisp/lsq.h"
#include "lisp/lsq_file.h"
#include "lisp/lsq_format.h"

namespace orin::lsp {

namespace {

template <class T>
using Vector = std::vector<T, Allocator<T>>;
using String = std::basic_string<char, std::char_traits<char>, Allocator<char>>;

/* The texts of the file in index order, and the index of each. */
class StringTableBuilder {
public:
    /* The 1-based index of text, added when new; 0 when the table is full. */
    uint16_t indexOf(const char *text)
    {
        auto found = index_.find(std::string_view(text));
        if (found != index_.end())
            return found->second;
        if (texts_.size() >= lsq::kMaxStrings)
            return 0;
        const String &kept = texts_.emplace_back(text);
        auto index = static_cast<uint16_t>(texts_.size());
        index_.emplace(std::string_view(kept), index);
        bytes_.insert(bytes_.end(), kept.c_str(), kept.c_str() + kept.size() + 1);
        return index;
    }
    uint16_t count() const { return static_cast<uint16_t>(texts_.size()); }
    const Vector<char> &bytes() const { return bytes_; }

private:
    std::deque<String, Allocator<String>> texts_;     // the keys below point into these
    std::unordered_map<std::string_view, uint16_t, std::hash<std::string_view>,
                       std::equal_to<std::string_view>,
                       Allocator<std::pair<const std::string_view, uint16_t>>> index_;
    Vector<char> bytes_;
};

/* A chain as a string table and records. */
class Encoder {
public:
    /* False when the tree has more distinct texts than the format indexes. */
    bool encode(PLSPLIST chain)
    {
        Vector<PLSPLIST> pending;                 // nodes whose records come next
        if (chain)
            pending.push_back(chain);
        while (!pending.empty()) {
            PLSPLIST n = pending.back();
            pending.pop_back();
            if (!emit(n))
                return false;
            if (n->next)
                pending.push_back(n->next);
            if (isList(n) && n->down)
                pending.push_back(n->down);       // the elements come before the sibling
        }
        return true;
    }
    const StringTableBuilder &strings() const { return strings_; }
    const Vector<unsigned char> &records() const { return records_; }

private:
    bool emit(PLSPLIST n)
    {
        lsq::Record r{};
        r.flags = n->next ? lsq::kNext : 0;
        if (isList(n)) {
            r.type = LSP_T_LIST;
            if (n->down)
                r.flags |= lsq::kElements;
        } else {
            r.type = n->type;
            r.text = strings_.indexOf(lspNodeText(n));
            if (r.text == 0)
                return false;
        }
        std::size_t at = records_.size();
        records_.resize(at + lsq::kRecordSize);
        lsq::encodeRecord(r, records_.data() + at);
        return true;
    }

    StringTableBuilder strings_;
    Vector<unsigned char> records_;
};

bool writeFile(const Encoder &enc, ProgramFile &f)
{
    const Vector<char> &table = enc.strings().bytes();
    const Vector<unsigned char> &records = enc.records();
    unsigned char head[lsq::kHeaderSize];
    lsq::encodeHeader(lsq::Header{ enc.strings().count(), static_cast<uint32_t>(table.size()) }, head);
    if (!f.write(head, sizeof head) || !f.write(table.data(), table.size()))
        return false;
    for (std::size_t at = 0; at < records.size(); at += lsq::kRecordBlock) {
        std::size_t n = std::min(lsq::kRecordBlock, records.size() - at);
        if (!f.write(records.data() + at, n))
            return false;
    }
    return true;
}

bool writeStored(PLSPLIST chain, const char *file, unsigned int *err)
{
    Encoder enc;
    if (!enc.encode(chain)) {
        lspFail(err, LSPERR_WRITE, file);
        return false;
    }
    ProgramFile f;
    if (f.create(file) != 0) {
        lspFail(err, LSPERR_OPEN, file);
        return false;
    }
    if (!writeFile(enc, f)) {
        lspFail(err, LSPERR_WRITE, file);
        return false;                            // f deletes the target
    }
    f.commit();
    return true;
}

}  // namespace

bool lspWriteStored(PLSPLIST chain, const char *file, unsigned int *err)
{
    if (*err)
        return false;
    try {
        return writeStored(chain, file, err);
    } catch (...) {
        lspFailException(err);
        return false;
    }
}

}  // namespace orin::lsp
