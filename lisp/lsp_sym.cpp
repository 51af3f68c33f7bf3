/*
 * lsp_sym.cpp - the symbol table: variables and user functions.
 *
 * One process-wide list of records, newest at the front.  Names are stored
 * in lower case and compared byte-wise after the name looked for is
 * lowered the same way, so lookup ignores case.  Several records may carry
 * the same name; the newest one wins.  Binding a parameter pushes a
 * record, unbinding pops the newest of that name, which is how dynamic
 * scope works.
 *
 * A record owns a copy of its value chain; every empty list in the copy
 * becomes nil, so no record ever holds an empty list node.  Copies share
 * the elements of lists with the original (lsp_node.cpp), so binding and
 * reading a long list cost the same as a short one.
 *
 * Lookup goes through an index beside the list: 256 buckets, chosen by a
 * hash of the name, each holding the names that fall in it, and for every
 * name the records of that name, oldest to newest.  The index matters
 * because every call of a builtin looks its name up here first, behind all
 * the parameters bound by the calls in progress; a bucket count that is a
 * power of two keeps the lookup free of divisions.  A name stays in the
 * index when its last record goes, so binding a parameter again costs no
 * index allocation; the session end (lspSymClear) releases it all.
 *
 * A running user function walks its definition chain in place; it holds a
 * reference on the chain (lsp_eval.cpp), so replacing or unbinding the
 * definition only drops the record's reference and the chain lives until
 * the call lets go of it.
 *
 * The table belongs to the interpreter's one thread (lspint.h).
 */
#include <array>
#include <cstring>
#include <forward_list>
#include <list>
#include <string>
#include <string_view>
#include <vector>
#include "lisp/lspint.h"
#include "str.h"

namespace orin::lsp {

namespace {

constexpr ULONGLONG kRecordBytes = 34;      // accounted size of one record
constexpr size_t kBuckets = 256;            // a power of two

using Text = std::basic_string<char, std::char_traits<char>, Allocator<char>>;
using Records = std::list<LSPSYM, Allocator<LSPSYM>>;
using Stack = std::vector<Records::iterator, Allocator<Records::iterator>>;

/* One name of the index and its records, oldest to newest. */
struct Name {
    Text text;
    Stack records;
};
using Bucket = std::forward_list<Name, Allocator<Name>>;
using Index = std::array<Bucket, kBuckets>;

struct Table {
    Records records;                 // newest first
    Index index;
};
constinit Immortal<Table> table;

/* Invariant: every record's name points at the text of its Name, and a
 * Name outlives the records of its name (Names go only at clear). */

/* FNV-1a over a lower-case name, folded to a bucket. */
Bucket &bucketOf(std::string_view low)
{
    unsigned h = 2166136261u;
    for (char c : low)
        h = (h ^ static_cast<BYTE>(c)) * 16777619u;
    return table->index[h & (kBuckets - 1)];
}

Name *nameOf(Bucket &bucket, std::string_view low)
{
    for (Name &n : bucket)
        if (n.text == low)
            return &n;
    return nullptr;
}

Stack *stackOf(std::string_view low)
{
    Name *n = nameOf(bucketOf(low), low);
    return n ? &n->records : nullptr;
}

void freeRecord(Records::iterator rec)
{
    PLSPLIST value = rec->value;
    table->records.erase(rec);
    lspFreeTree(value);
}

bool copyValue(PLSPLIST chain, PLSPLIST *out)
{
    *out = nullptr;
    if (!chain)
        return true;
    *out = lspChainCopyNilEmpty(chain, nullptr);
    return *out != nullptr;
}

/* Replaces a record's value with an owned chain. */
void replaceValue(LSPSYM *s, PLSPLIST owned, USHORT kind)
{
    PLSPLIST old = s->value;
    s->value = owned;
    s->kind = kind;
    lspFreeTree(old);
}

/* Lower-cases a name into out (kSymNameMax + 1 bytes), truncated to
 * kSymNameMax bytes; returns its length. */
size_t lowerName(const char *name, char *out)
{
    size_t n;
    bool ascii = true;
    for (n = 0; name[n] && n < kSymNameMax; n++) {
        char c = name[n];
        if (static_cast<BYTE>(c) >= 0x80)
            ascii = false;
        out[n] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    }
    out[n] = 0;
    if (!ascii) {                 /* the string family knows the code page */
        memcpy(out, name, n);
        StrLwr(out);
        n = strlen(out);
    }
    return n;
}

}  // namespace

LSPSYM *lspSymFind(const char *name)
{
    char low[kSymNameMax + 1];
    size_t len = lowerName(name, low);
    Stack *stack = stackOf(std::string_view(low, len));
    return stack && !stack->empty() ? &*stack->back() : nullptr;
}

/* Pushes a record that takes over `owned` (already a private copy). */
bool lspSymBindOwned(const char *name, PLSPLIST owned, USHORT kind)
{
    char low[kSymNameMax + 1];
    std::string_view key(low, lowerName(name, low));
    try {
        Bucket &bucket = bucketOf(key);
        Name *name = nameOf(bucket, key);
        if (!name)
            name = &bucket.emplace_front(Name{ Text(key), Stack() });
        Stack &stack = name->records;
        if (stack.size() == stack.capacity())
            stack.reserve(stack.empty() ? 4 : 2 * stack.size());
        table->records.push_front(LSPSYM{ name->text.c_str(), owned, kind });
        stack.push_back(table->records.begin());      // room was made above
    } catch (const std::bad_alloc &) {
        return false;            // the table is as it was
    }
    return true;
}

bool lspSymBind(const char *name, PLSPLIST chain, USHORT kind)
{
    PLSPLIST copy;
    if (!copyValue(chain, &copy))
        return false;
    if (!lspSymBindOwned(name, copy, kind)) {
        lspFreeTree(copy);
        return false;
    }
    return true;
}

bool lspSymDefine(const char *name, PLSPLIST chain, USHORT kind)
{
    LSPSYM *s = lspSymFind(name);
    PLSPLIST copy;
    if (!s)
        return lspSymBind(name, chain, kind);
    if (!copyValue(chain, &copy))
        return false;
    replaceValue(s, copy, kind);
    return true;
}

/* Assigns a chain the caller hands over (no copy); on failure the chain
 * is freed. */
bool lspSymAssignOwned(const char *name, PLSPLIST owned)
{
    Tree value(owned);
    if (!lspNilEmptyOwned(owned))
        return false;
    if (LSPSYM *s = lspSymFind(name)) {
        replaceValue(s, value.release(), LSP_SYM_VAR);
        return true;
    }
    if (!lspSymBindOwned(name, owned, LSP_SYM_VAR))
        return false;
    value.release();
    return true;
}

bool lspSymAssign(const char *name, PLSPLIST chain)
{
    return lspSymDefine(name, chain, LSP_SYM_VAR);
}

bool lspSymUnbind(const char *name)
{
    char low[kSymNameMax + 1];
    size_t len = lowerName(name, low);
    Stack *stack = stackOf(std::string_view(low, len));
    if (!stack || stack->empty())
        return false;
    Records::iterator rec = stack->back();
    stack->pop_back();
    freeRecord(rec);
    return true;
}

void lspSymClear()
{
    /* the index still names the records being erased; it goes next */
    while (!table->records.empty())
        freeRecord(table->records.begin());
    for (Bucket &b : table->index)
        Bucket().swap(b);            // gives the names back
}

ULONGLONG lspSymMemUsed()
{
    ULONGLONG total = 0;
    for (const LSPSYM &s : table->records)
        total += kRecordBytes + strlen(s.name) + 1;
    return total;
}

PLSPLIST lspSymNameList()
{
    Tree list(lspNewList(nullptr));
    PLSPLIST last = list.get();
    if (!list)
        return nullptr;
    for (const LSPSYM &s : table->records) {
        last = lspNewText(last, s.name, LSP_T_SYMBOL);
        if (!last)
            return nullptr;
    }
    if (!list->down)
        lspSetNil(list.get());
    else
        lspListClose(list.get());
    return list.release();
}

}  // namespace orin::lsp
