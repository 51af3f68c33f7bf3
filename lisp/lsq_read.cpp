/*
 * lsq_read.cpp - reading a program from a file: a stored query record by
 * record (lsq_format.h), or source text fed to the reader in blocks.
 *
 * Stored query.  The header and the string table are read whole; each
 * text's start is indexed once.  Records are then read in blocks and each
 * becomes a node placed at the current position: as the first element of
 * the list opened last when it has none yet, else after the node placed
 * last.  A list record with elements stays open on a stack, remembering
 * whether a sibling follows it; a record that ends its chain closes open
 * lists from the innermost outward until one that has a sibling has been
 * closed.  Atoms made from the same string index and type share their
 * converted value (and a long text), so a text is converted once per file.
 *
 * Damage is reported, never followed: a record of an unknown type, the
 * elements flag on an atom, or a partial record at the end is invalid
 * data (ORIN_ERR_INVALID_DATA); a string index beyond the table, or a
 * table holding fewer texts than its count, is LSPERR_STRTABLE; records
 * that end while a sibling is still promised at the top level are
 * LSPERR_UNCLOSED.  Lists still open when the records end stay open, for
 * the caller to refuse (load and lsp2lsq answer LSPERR_UNCLOSED).  Lists
 * nested deeper than kMaxDepth fail with LSPERR_NOMEM, as in the reader.
 *
 * Source.  Blocks of kSourceBlock bytes are fed to the reader, continuing
 * one chain; a Ctrl+Z ends the text.  Source text never holds a NUL byte:
 * a file that has one before its end (a binary file) is refused with
 * ORIN_ERR_INVALID_DATA rather than read in pieces.
 */
#include <cassert>
#include <cstring>
#include <new>
#include <vector>
#include "lisp/lsq.h"
#include "lisp/lsq_file.h"
#include "lisp/lsq_format.h"

namespace orin::lsp {

namespace {

constexpr std::size_t kSourceBlock = 4096;
constexpr char kEndOfText = 0x1A;                 // Ctrl+Z
constexpr unsigned int kDamaged = ORIN_ERR_INVALID_DATA;

template <class T>
using Vector = std::vector<T, Allocator<T>>;

unsigned int fail(unsigned int *err, unsigned int code, const char *text)
{
    return lspFail(err, code, text);
}

/* The string table of a stored query: its bytes and where each text
 * begins (index 0 is the empty text). */
class StringTable {
public:
    /* 0 or LSPERR_STRTABLE (short table, fewer texts than counted). */
    unsigned int load(ProgramFile &f, const lsq::Header &h, long long room)
    {
        if (room < 0 || static_cast<unsigned long long>(room) < h.stringBytes)
            return LSPERR_STRTABLE;
        bytes_ = makeBuffer(h.stringBytes + 1);
        if (!bytes_)
            return LSPERR_NOMEM;
        if (f.read(bytes_.get(), h.stringBytes) != static_cast<long>(h.stringBytes))
            return LSPERR_STRTABLE;
        bytes_[h.stringBytes] = 0;
        starts_.reserve(static_cast<std::size_t>(h.stringCount) + 1);
        starts_.push_back("");
        std::size_t pos = 0;
        for (unsigned i = 1; i <= h.stringCount; i++) {
            const void *nul = pos < h.stringBytes
                                  ? memchr(bytes_.get() + pos, 0, h.stringBytes - pos)
                                  : nullptr;
            if (!nul)
                return LSPERR_STRTABLE;
            starts_.push_back(bytes_.get() + pos);
            pos = static_cast<std::size_t>(static_cast<const char *>(nul) - bytes_.get()) + 1;
        }
        return 0;
    }
    std::size_t count() const { return starts_.size() - 1; }
    const char *text(std::size_t index) const { return starts_[index]; }

private:
    Buffer bytes_;
    Vector<const char *> starts_;
};

/* Builds the node tree from records, one at a time. */
class TreeBuilder {
public:
    explicit TreeBuilder(const StringTable &strings)
        : strings_(strings), made_(strings.count() + 1, nullptr) {}

    /* 0 or the code of the damage found. */
    unsigned int add(const lsq::Record &r)
    {
        if (!lsq::isStoredType(r.type) || ((r.flags & lsq::kElements) && r.type != LSP_T_LIST))
            return kDamaged;
        if (r.type != LSP_T_LIST && r.text > strings_.count())
            return LSPERR_STRTABLE;
        PLSPLIST n = makeNode(r);
        if (!n || !place(n))
            return LSPERR_NOMEM;
        if (r.flags & lsq::kElements) {
            if (open_.size() >= static_cast<std::size_t>(kMaxDepth))
                return LSPERR_NOMEM;
            open_.push_back(OpenList{ n, (r.flags & lsq::kNext) != 0 });
            firstElementNext_ = true;
            return 0;
        }
        siblingPromised_ = (r.flags & lsq::kNext) != 0;
        if (!siblingPromised_)
            endChain();
        return 0;
    }

    /* 0, or LSPERR_UNCLOSED when the records stopped while a sibling was
     * still promised at the top level. */
    unsigned int finish() const
    {
        return open_.empty() && siblingPromised_ ? LSPERR_UNCLOSED : 0;
    }

    PLSPLIST release() { return chain_.release(); }

private:
    struct OpenList {
        PLSPLIST list;
        bool hasNext;
    };

    /* An atom of the same text and type as one made before is a copy of
     * it: the text is converted once per file. */
    PLSPLIST makeNode(const lsq::Record &r)
    {
        if (r.type == LSP_T_LIST) {
            PLSPLIST list = lspNewList(nullptr);
            if (list && !(r.flags & lsq::kElements))
                lspListClose(list);              // the empty list
            return list;
        }
        if (r.type == LSP_T_NIL)
            return lspNewNil(nullptr);
        PLSPLIST &model = made_[r.text];
        if (model && model->type == r.type)
            return lspNodeCopy(model);
        PLSPLIST n = lspNodeMake(nullptr, strings_.text(r.text), r.type);
        if (n)
            model = n;
        return n;
    }

    bool place(PLSPLIST n)
    {
        // Invariant: a first element is awaited only while a list is open.
        assert(!firstElementNext_ || !open_.empty());
        PLSPLIST parent = firstElementNext_ ? open_.back().list : last_;
        firstElementNext_ = false;
        if (!parent)
            chain_.reset(n);
        else if (!lspAttach(parent, n)) {
            lspNodeFree(n);
            return false;
        }
        last_ = n;
        return true;
    }

    /* The node placed last ends its chain: close lists from the innermost
     * outward until one with a next sibling has been closed. */
    void endChain()
    {
        while (!open_.empty()) {
            OpenList o = open_.back();
            open_.pop_back();
            lspListClose(o.list);
            last_ = o.list;
            if (o.hasNext) {
                siblingPromised_ = true;
                return;
            }
        }
    }

    const StringTable &strings_;
    Vector<PLSPLIST> made_;              // per string index: the atom made last
    Vector<OpenList> open_;
    Tree chain_;
    PLSPLIST last_ = nullptr;
    bool firstElementNext_ = false;      // the next node is the first element of open_.back()
    bool siblingPromised_ = false;
};

/* Reads the records that follow the string table into builder. */
unsigned int readRecords(ProgramFile &f, TreeBuilder &builder)
{
    Buffer block = makeBuffer(lsq::kRecordBlock);
    if (!block)
        return LSPERR_NOMEM;
    for (;;) {
        long got = f.read(block.get(), lsq::kRecordBlock);
        if (got < 0)
            return LSPERR_OPEN;
        if (got % lsq::kRecordSize != 0)
            return kDamaged;
        for (long i = 0; i < got; i += lsq::kRecordSize) {
            auto rec = lsq::decodeRecord(reinterpret_cast<unsigned char *>(block.get() + i));
            if (unsigned int code = builder.add(rec))
                return code;
        }
        if (got < static_cast<long>(lsq::kRecordBlock))
            return builder.finish();
    }
}

PLSPLIST readStored(const char *file, unsigned int *err)
{
    if (KnlNamQFileExist(KnlNamGetDefaultNS(), file) != 1) {
        fail(err, LSPERR_NOTFOUND, file);
        return nullptr;
    }
    ProgramFile f;
    if (f.openRead(file) != 0) {
        fail(err, LSPERR_OPEN, file);
        return nullptr;
    }
    unsigned char head[lsq::kHeaderSize];
    lsq::Header h{};
    long got = f.read(head, sizeof head);
    if (got <= 0 || !lsq::decodeHeader(head, static_cast<std::size_t>(got), &h)) {
        fail(err, LSPERR_NOTLSQ, file);
        return nullptr;
    }
    StringTable strings;
    unsigned int code = strings.load(f, h, f.size() - static_cast<long long>(lsq::kHeaderSize));
    if (code == 0) {
        TreeBuilder builder(strings);
        code = readRecords(f, builder);
        if (code == 0)
            return builder.release();
    }
    fail(err, code, code == LSPERR_NOMEM ? "" : file);
    return nullptr;
}

/* One block of source text: its length up to a Ctrl+Z, and whether the
 * text ends in it.  A NUL before the end of the text is damage. */
struct SourceBlock {
    std::size_t length;
    bool last;
    bool damaged;
};

SourceBlock scanBlock(const char *text, std::size_t got)
{
    const void *eot = memchr(text, kEndOfText, got);
    std::size_t length = eot ? static_cast<std::size_t>(static_cast<const char *>(eot) - text) : got;
    return SourceBlock{ length, eot != nullptr, memchr(text, 0, length) != nullptr };
}

PLSPLIST readSource(LSPSESSION *s, const char *file, unsigned int *err)
{
    ProgramFile f;
    Buffer block = makeBuffer(kSourceBlock + 1);
    if (!block) {
        lspFailNoMem(err);
        return nullptr;
    }
    if (f.openRead(file) != 0) {
        fail(err, LSPERR_OPEN, file);
        return nullptr;
    }
    lspReaderReset();
    Tree chain;
    for (;;) {
        long got = f.read(block.get(), kSourceBlock);
        if (got < 0) {
            fail(err, LSPERR_OPEN, file);
            break;
        }
        SourceBlock b = scanBlock(block.get(), static_cast<std::size_t>(got));
        if (b.damaged) {
            fail(err, kDamaged, file);
            break;
        }
        block[b.length] = 0;
        std::size_t pos = 0;
        chain.reset(lspReadFeed(s, chain.release(), block.get(), &pos, false, err));
        if (*err || b.last || got < static_cast<long>(kSourceBlock))
            break;
    }
    if (*err) {
        chain.reset();
        lspReaderReset();
        return nullptr;
    }
    std::size_t pos = 0;
    return lspReadFeed(s, chain.release(), " ", &pos, true, err);
}

}  // namespace

PLSPLIST lspReadStored(const char *file, unsigned int *err)
{
    if (*err)
        return nullptr;
    try {
        return readStored(file, err);
    } catch (...) {
        lspFailException(err);
        return nullptr;
    }
}

PLSPLIST lspReadSource(LSPSESSION *s, const char *file, unsigned int *err)
{
    if (*err)
        return nullptr;
    return readSource(s, file, err);
}

PLSPLIST lspFirstOpenList(PLSPLIST chain)
{
    for (PLSPLIST n = chain; n; n = n->next)
        if (n->type == LSP_T_OPENLIST)
            return n;
    return nullptr;
}

}  // namespace orin::lsp
