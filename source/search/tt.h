// The transposition table: one process-wide, direct-mapped array of search
// results keyed by the position's 64-bit hash. No buckets, no chaining: one
// slot is read per probe and written per store.
#pragma once

#include "board/types.h"

#include <cstddef>
#include <cstdint>

// Bound codes. Their numeric order matters: the replacement rule compares
// them as integers (exact is the strongest, empty the weakest).
enum TTBound : std::uint32_t { BOUND_EXACT = 0, BOUND_LOWER = 1, BOUND_UPPER = 2, BOUND_EMPTY = 4 };

struct alignas(32) TTEntry {
    std::uint64_t key;    // full key of the stored position, 0 when fresh
    std::uint32_t bound;  // TTBound
    Move move;            // best or refuting move, NO_MOVE when none
    std::int32_t depth;   // unextended remaining depth of the storing node
    std::int32_t score;   // side-to-move view, mate scores unadjusted
};
static_assert(sizeof(TTEntry) == 32, "a megabyte holds 32768 slots");

extern TTEntry* transpositionTable;
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

inline TTEntry& ttSlot(std::uint64_t key) { return transpositionTable[key & ttMask]; }
// The slot belongs to the position: same full key and written at least once.
inline bool ttMatches(const TTEntry& entry, std::uint64_t key) {
    return entry.key == key && entry.bound != BOUND_EMPTY;
}

// Stores a node result searched with the window (alpha0, beta); the bound
// follows from where score lies in it. See tt.cpp for the replacement rule.
void ttStore(std::uint64_t key, int alpha0, int beta, Move move, int depth, int score, int ply);
