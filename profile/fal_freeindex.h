/*
 * fal_freeindex.h - an in-memory mirror of a FAL file's free lists, so that
 * an allocation finds the block its fit strategy names without walking a
 * list one block header at a time.
 *
 * Each mirrored list keeps its blocks in list order (a doubly linked chain
 * of nodes, head first) and, for every total size its class can hold, a
 * stack of the blocks of that size.  Every block gets a sequence number
 * when it enters the mirror, larger for blocks nearer the head, so "the
 * first block in list order among these sizes" is "the largest sequence
 * number among these sizes"; a segment tree over the sizes answers that,
 * the smallest or the largest size present, in steps logarithmic in the
 * class's width.  The block such a question names is always the newest of
 * its size, the top of that size's stack, so taking it and pushing a
 * freed block are both cheap.
 *
 * The mirror holds no file bytes and reads nothing; fal_freelist.cpp fills
 * it from the lists, keeps it in step with every push and unlink and drops
 * it whenever the lists may have changed behind it.
 */
#ifndef ORIN_PROFILE_FAL_FREEINDEX_H
#define ORIN_PROFILE_FAL_FREEINDEX_H

#include <cstddef>
#include <vector>
#include "profile/falint.h"

namespace orin::fal {

class FreeIndex {
public:
    using Slot = ULONG;
    static constexpr Slot kNone = 0xFFFFFFFFUL;

    /* One mirrored free block and its neighbours in list order (0: none). */
    struct Entry {
        ULONG id, prev, next, totalSize;
    };

    /* A block of a list as read from the file. */
    struct Block {
        ULONG id, totalSize;
    };

    bool mirrored(int list) const noexcept { return lists_[list].mirrored; }
    ULONG length(int list) const noexcept { return lists_[list].count; }

    /* Mirrors `list` from its blocks in list order, head first.  False
     * when a size lies outside the list's class or memory ran out; the
     * list is then not mirrored. */
    bool mirror(int list, const std::vector<Block> &blocks) noexcept;

    /* A block freed onto the head of a mirrored list.  False when memory
     * or sequence numbers ran out: the mirror must then be dropped. */
    bool push(int list, ULONG id, ULONG totalSize) noexcept;

    /* Removes a block named by one of the questions below (always the
     * newest of its size) from its mirrored list. */
    void remove(int list, Slot s) noexcept;

    /* The first block in list order whose size lies in [low, high]. */
    Slot firstBetween(int list, ULONG low, ULONG high) const noexcept;
    /* The first block in list order of the smallest size >= low. */
    Slot firstOfSmallest(int list, ULONG low) const noexcept;
    /* The first block in list order of the largest size present. */
    Slot firstOfLargest(int list) const noexcept;

    Entry entry(Slot s) const noexcept;

    /* Blocks read by plain walks of a list that is not mirrored: the
     * mirror is built once they add up to the list's length. */
    void noteWalked(int list, ULONG blocks) noexcept { lists_[list].walked += blocks; }
    ULONG walked(int list) const noexcept { return lists_[list].walked; }
    void forgetWalked(int list) noexcept { lists_[list].walked = 0; }

    /* Forgets every list (the counts below stay). */
    void reset() noexcept;

    void notePick() noexcept { picks_++; }
    ULONG picks() const noexcept { return picks_; }
    void noteDisagreement() noexcept { disagreements_++; }
    ULONG disagreements() const noexcept { return disagreements_; }
    ULONG mirroredLists() const noexcept;
    std::size_t bytes() const noexcept;

private:
    struct Node {
        ULONG id;
        ULONG seq;                  // larger: nearer the head
        Slot prev, next;            // list order
        Slot below;                 // next older block of the same size; free-slot chain
        ULONG totalSize;
    };

    struct List {
        bool mirrored = false;
        ULONG first = 0, last = 0;  // the sizes of the class
        ULONG width = 0;            // tree leaves, a power of two
        Slot head = kNone;
        ULONG count = 0;
        ULONG walked = 0;
        std::vector<Slot> top;      // per size: its newest block
        std::vector<ULONG> tree;    // per node: the largest seq below it; root 1
    };

    void clear(List &l) noexcept;
    void setLeaf(List &l, ULONG leaf, ULONG seq) noexcept;
    Slot topOfLeaf(const List &l, ULONG leaf) const noexcept;
    /* Tree nodes covering sizes [low, high] of l, left to right. */
    int cover(const List &l, ULONG low, ULONG high, ULONG *nodes) const noexcept;
    Slot newNode();

    std::vector<Node> nodes_;
    Slot freeSlots_ = kNone;
    ULONG nextSeq_ = 1;             // 0 marks an empty size
    ULONG picks_ = 0;
    ULONG disagreements_ = 0;
    List lists_[FAL_LIST_COUNT];
};

/* Process-wide switch, on by default; tests compare runs with and without
 * the mirror.  Turning it off drops every handle's mirror on its next use. */
void setFreeIndexEnabled(bool on) noexcept;
bool freeIndexEnabled() noexcept;

/* h's mirror, made when missing; null in fixed mode, when switched off
 * (any mirror is dropped then) or without memory. */
FreeIndex *freeIndexOf(HFAL h) noexcept;

/* Forgets h's mirror (the lists may have changed behind it). */
void dropFreeIndex(HFAL h) noexcept;

/* What h's mirror holds and did, for tests and benchmarks. */
struct FreeIndexStats {
    std::size_t bytes;          // memory held now
    ULONG mirroredLists;
    ULONG picks;                // blocks found through the mirror since open
    ULONG disagreements;        // times the file did not agree with it
};
FreeIndexStats freeIndexStats(HFAL h) noexcept;

}  // namespace orin::fal

#endif  // ORIN_PROFILE_FAL_FREEINDEX_H
