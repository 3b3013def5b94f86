// The transposition table: one process-wide, direct-mapped array of search
// results keyed by the position's 64-bit hash. No buckets, no chaining: one
// slot is read per probe and written per store. Every search thread reads and
// writes it at once, without a lock: see TTSlot.
#pragma once

#include "board/types.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Bound codes. Their numeric order matters: the replacement rule compares
// them as integers (exact is the strongest, empty the weakest).
enum TTBound : std::uint32_t { BOUND_EXACT = 0, BOUND_LOWER = 1, BOUND_UPPER = 2, BOUND_EMPTY = 4 };

// One entry as the search reads it: a copy taken from its slot.
struct TTEntry {
    std::uint64_t key;    // full key of the stored position, 0 when fresh
    std::uint32_t bound;  // TTBound
    Move move;            // best or refuting move, NO_MOVE when none
    std::int32_t depth;   // unextended remaining depth of the storing node
    std::int32_t score;   // side-to-move view, mate scores unadjusted
};

// A slot as it is kept: 32-bit words that threads write and read one at a
// time as relaxed atomics (which cost what plain moves cost, on 32-bit
// programs too; plain words underneath, so a new table needs no
// initialisation pass of its own). The key is not kept as it is but mixed
// with the data words, so a slot whose words come from two different stores
// (two threads writing it at once, or a read between the words of a write)
// yields a key that matches no position, and is not used: a torn entry is a miss.
struct alignas(32) TTSlot {
    std::uint32_t move, score, depthAndBound, keyLow, keyHigh;
    std::uint32_t unused[3];  // so a slot copies as one block, when a table is cleared
};

inline std::uint32_t ttLoad(std::uint32_t& word) {
    return std::atomic_ref<std::uint32_t>(word).load(std::memory_order_relaxed);
}
inline void ttStoreWord(std::uint32_t& word, std::uint32_t value) {
    std::atomic_ref<std::uint32_t>(word).store(value, std::memory_order_relaxed);
}
static_assert(sizeof(TTSlot) == 32, "a megabyte holds 32768 slots");

extern TTSlot* transpositionTable;
extern std::uint64_t ttEntryCount;  // entries allocated
extern std::uint64_t ttMask;        // entries addressed - 1 (a power of two minus one)

// Replaces the table by one of the given size, every entry fresh. Returns
// false when that size could not be allocated; a smaller table (the previous
// size, else the largest power-of-two size that fits) is then in place, so
// the search always has a table.
bool resizeTranspositionTable(int megabytes);
// Megabytes of the table now in place (what a failed resize fell back to).
int transpositionTableMegabytes();
// Empties every entry, keeping the size.
void clearTranspositionTable();
// Per mille of the slots in use, read from a fixed sample of the first slots:
// cheap enough to send after every iteration.
int ttHashfull();

// Test seam: pretend that no single allocation larger than this many bytes
// can succeed (0 removes the limit). Lets the fallback path be exercised
// without exhausting the machine.
void setTableAllocationLimit(std::size_t maxBytes);

inline std::uint64_t ttIndex(std::uint64_t key) { return key & ttMask; }
// The entry in the slot of the key, whatever position it belongs to.
inline TTEntry ttProbe(std::uint64_t key) {
    TTSlot& slot = transpositionTable[ttIndex(key)];
    const std::uint32_t move = ttLoad(slot.move), score = ttLoad(slot.score);
    const std::uint32_t depthAndBound = ttLoad(slot.depthAndBound);
    const std::uint32_t mix = move ^ score ^ depthAndBound;
    const std::uint64_t stored = std::uint64_t(ttLoad(slot.keyHigh) ^ mix) << 32 | (ttLoad(slot.keyLow) ^ mix);
    return {stored, depthAndBound >> 16, move, std::int16_t(depthAndBound & 0xFFFF), std::int32_t(score)};
}
// The slot belongs to the position: same full key and written at least once.
inline bool ttMatches(const TTEntry& entry, std::uint64_t key) {
    return entry.key == key && entry.bound != BOUND_EMPTY;
}

// Stores a node result searched with the window (alpha0, beta); the bound
// follows from where score lies in it. See tt.cpp for the replacement rule.
// A search that has been stopped stores nothing more, so an interrupted
// search leaves no half-computed results behind: its callers see to that.
void ttStore(std::uint64_t key, int alpha0, int beta, Move move, int depth, int score, int ply);
