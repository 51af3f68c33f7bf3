/*
 * fal_freeindex.cpp - the mirror of a FAL file's free lists (see
 * fal_freeindex.h) and its place on a handle.
 *
 * Nodes live in one vector and are named by their index (a slot); slots
 * of removed blocks are reused.  Each mirrored list has a segment tree
 * over the total sizes of its class, every leaf holding the sequence
 * number of the newest block of that size (0 when there is none) and every
 * inner node the largest number below it.  Nothing here can throw out: a
 * failed allocation answers false and the caller drops the mirror.
 */
#include <atomic>
#include <new>
#include "profile/fal_freeindex.h"

namespace orin::fal {

namespace {

constexpr ULONG kLastSeq = 0xFFFFFFFFUL;
constexpr int kMaxCover = 2 * 17;           // two nodes per tree level at most

std::atomic<bool> indexEnabled{true};

ULONG powerOfTwoAtLeast(ULONG n)
{
    ULONG w = 1;
    while (w < n)
        w <<= 1;
    return w;
}

}  // namespace

void FreeIndex::clear(List &l) noexcept
{
    for (Slot s = l.head; s != kNone;) {
        Slot next = nodes_[s].next;
        nodes_[s].below = freeSlots_;
        freeSlots_ = s;
        s = next;
    }
    std::vector<Slot>().swap(l.top);
    std::vector<ULONG>().swap(l.tree);
    l.mirrored = false;
    l.head = kNone;
    l.count = 0;
}

void FreeIndex::reset() noexcept
{
    for (List &l : lists_) {
        clear(l);
        l.walked = 0;
    }
    std::vector<Node>().swap(nodes_);
    freeSlots_ = kNone;
    nextSeq_ = 1;
}

bool FreeIndex::mirror(int list, const std::vector<Block> &blocks) noexcept
{
    List &l = lists_[list];
    clear(l);
    l.first = list == 0 ? 0 : falListClass[list - 1] + 1;
    l.last = falListClass[list];
    l.width = powerOfTwoAtLeast(l.last - l.first + 1);
    try {
        l.top.assign(l.last - l.first + 1, kNone);
        l.tree.assign(2 * (size_t)l.width, 0);
    } catch (...) {
        clear(l);
        return false;
    }
    l.mirrored = true;
    for (auto b = blocks.rbegin(); b != blocks.rend(); ++b)
        if (!push(list, b->id, b->totalSize)) {
            clear(l);
            return false;
        }
    return true;
}

FreeIndex::Slot FreeIndex::newNode()
{
    if (freeSlots_ != kNone) {
        Slot s = freeSlots_;
        freeSlots_ = nodes_[s].below;
        return s;
    }
    if (nodes_.size() >= kNone)
        throw std::bad_alloc();
    nodes_.emplace_back();
    return (Slot)(nodes_.size() - 1);
}

bool FreeIndex::push(int list, ULONG id, ULONG totalSize) noexcept
{
    List &l = lists_[list];
    if (totalSize < l.first || totalSize > l.last || nextSeq_ == kLastSeq)
        return false;
    Slot s;
    try {
        s = newNode();
    } catch (...) {
        return false;
    }
    ULONG leaf = totalSize - l.first;
    nodes_[s] = Node{id, nextSeq_++, kNone, l.head, l.top[leaf], totalSize};
    if (l.head != kNone)
        nodes_[l.head].prev = s;
    l.head = s;
    l.top[leaf] = s;
    setLeaf(l, leaf, nodes_[s].seq);
    l.count++;
    return true;
}

void FreeIndex::remove(int list, Slot s) noexcept
{
    List &l = lists_[list];
    const Node n = nodes_[s];
    if (n.prev != kNone)
        nodes_[n.prev].next = n.next;
    else
        l.head = n.next;
    if (n.next != kNone)
        nodes_[n.next].prev = n.prev;
    ULONG leaf = n.totalSize - l.first;
    l.top[leaf] = n.below;
    setLeaf(l, leaf, n.below != kNone ? nodes_[n.below].seq : 0);
    l.count--;
    nodes_[s].below = freeSlots_;
    freeSlots_ = s;
}

void FreeIndex::setLeaf(List &l, ULONG leaf, ULONG seq) noexcept
{
    ULONG i = l.width + leaf;
    l.tree[i] = seq;
    for (i >>= 1; i > 0; i >>= 1)
        l.tree[i] = l.tree[2 * i] > l.tree[2 * i + 1] ? l.tree[2 * i] : l.tree[2 * i + 1];
}

int FreeIndex::cover(const List &l, ULONG low, ULONG high, ULONG *nodes) const noexcept
{
    if (low < l.first)
        low = l.first;
    if (high > l.last)
        high = l.last;
    if (low > high)
        return 0;
    ULONG left[kMaxCover / 2], right[kMaxCover / 2];
    int nl = 0, nr = 0;
    for (ULONG a = low - l.first + l.width, b = high - l.first + l.width + 1; a < b;
         a >>= 1, b >>= 1) {
        if (a & 1)
            left[nl++] = a++;
        if (b & 1)
            right[nr++] = --b;
    }
    int n = 0;
    for (int k = 0; k < nl; k++)
        nodes[n++] = left[k];
    while (nr > 0)
        nodes[n++] = right[--nr];
    return n;
}

FreeIndex::Slot FreeIndex::topOfLeaf(const List &l, ULONG node) const noexcept
{
    return l.top[node - l.width];
}

FreeIndex::Slot FreeIndex::firstBetween(int list, ULONG low, ULONG high) const noexcept
{
    const List &l = lists_[list];
    ULONG nodes[kMaxCover], best = 0, at = 0;
    int n = cover(l, low, high, nodes);
    for (int k = 0; k < n; k++)
        if (l.tree[nodes[k]] > best) {
            best = l.tree[nodes[k]];
            at = nodes[k];
        }
    if (best == 0)
        return kNone;
    while (at < l.width)
        at = l.tree[2 * at] == best ? 2 * at : 2 * at + 1;
    return topOfLeaf(l, at);
}

FreeIndex::Slot FreeIndex::firstOfSmallest(int list, ULONG low) const noexcept
{
    const List &l = lists_[list];
    ULONG nodes[kMaxCover];
    int n = cover(l, low, l.last, nodes);
    for (int k = 0; k < n; k++) {
        ULONG at = nodes[k];
        if (l.tree[at] == 0)
            continue;
        while (at < l.width)
            at = l.tree[2 * at] != 0 ? 2 * at : 2 * at + 1;
        return topOfLeaf(l, at);
    }
    return kNone;
}

FreeIndex::Slot FreeIndex::firstOfLargest(int list) const noexcept
{
    const List &l = lists_[list];
    if (l.tree[1] == 0)
        return kNone;
    ULONG at = 1;
    while (at < l.width)
        at = l.tree[2 * at + 1] != 0 ? 2 * at + 1 : 2 * at;
    return topOfLeaf(l, at);
}

FreeIndex::Entry FreeIndex::entry(Slot s) const noexcept
{
    const Node &n = nodes_[s];
    return Entry{n.id, n.prev != kNone ? nodes_[n.prev].id : 0,
                 n.next != kNone ? nodes_[n.next].id : 0, n.totalSize};
}

ULONG FreeIndex::mirroredLists() const noexcept
{
    ULONG n = 0;
    for (const List &l : lists_)
        n += l.mirrored;
    return n;
}

std::size_t FreeIndex::bytes() const noexcept
{
    std::size_t n = sizeof *this + nodes_.capacity() * sizeof(Node);
    for (const List &l : lists_)
        n += l.top.capacity() * sizeof(Slot) + l.tree.capacity() * sizeof(ULONG);
    return n;
}

/* ---- On a handle ------------------------------------------------------------ */

void FreeIndexDeleter::operator()(FreeIndex *ix) const noexcept
{
    delete ix;
}

void setFreeIndexEnabled(bool on) noexcept
{
    indexEnabled = on;
}

bool freeIndexEnabled() noexcept
{
    return indexEnabled;
}

FreeIndex *freeIndexOf(HFAL h) noexcept
{
    if (!indexEnabled || falIsFixed(h)) {
        dropFreeIndex(h);
        return nullptr;
    }
    if (!h->freeIndex)
        h->freeIndex.reset(new (std::nothrow) FreeIndex);
    return h->freeIndex.get();
}

void dropFreeIndex(HFAL h) noexcept
{
    if (h->freeIndex)
        h->freeIndex->reset();
}

FreeIndexStats freeIndexStats(HFAL h) noexcept
{
    const FreeIndex *ix = h->freeIndex.get();
    if (!ix)
        return FreeIndexStats{0, 0, 0, 0};
    return FreeIndexStats{ix->bytes(), ix->mirroredLists(), ix->picks(), ix->disagreements()};
}

}  // namespace orin::fal
