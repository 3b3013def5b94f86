#include "search/tt.h"

#include "search/params.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>

using namespace search_params;

TTSlot* transpositionTable = nullptr;
std::uint64_t ttEntryCount = 0;
std::uint64_t ttMask = 0;

namespace {

int tableMegabytes = 0;
std::size_t allocationLimit = 0;

constexpr TTEntry FRESH_ENTRY = {0, BOUND_EMPTY, NO_MOVE, 0, TT_FRESH_SCORE};

// The words of a slot that holds the entry.
constexpr TTSlot encode(const TTEntry& entry) {
    const std::uint32_t depthAndBound = std::uint32_t(std::uint16_t(entry.depth)) | entry.bound << 16;
    const std::uint32_t mix = entry.move ^ std::uint32_t(entry.score) ^ depthAndBound;
    return {entry.move, std::uint32_t(entry.score), depthAndBound, std::uint32_t(entry.key) ^ mix,
            std::uint32_t(entry.key >> 32) ^ mix, {}};
}

void write(TTSlot& slot, const TTEntry& entry) {
    const TTSlot words = encode(entry);
    ttStoreWord(slot.move, words.move);
    ttStoreWord(slot.score, words.score);
    ttStoreWord(slot.depthAndBound, words.depthAndBound);
    ttStoreWord(slot.keyLow, words.keyLow);
    ttStoreWord(slot.keyHigh, words.keyHigh);
}

TTSlot* tryAllocate(std::uint64_t entries) {
    const std::uint64_t bytes = entries * sizeof(TTSlot);
    if (allocationLimit != 0 && bytes > allocationLimit) return nullptr;
    // An array larger than the address space can index cannot even be asked
    // for: a 32-bit program would get an exception instead of a null pointer.
    if (bytes > std::uint64_t(std::numeric_limits<std::ptrdiff_t>::max())) return nullptr;
    return new (std::nothrow) TTSlot[std::size_t(entries)];
}

// Takes a freshly allocated array of the given size into use.
void install(TTSlot* table, int megabytes) {
    transpositionTable = table;
    tableMegabytes = megabytes;
    ttEntryCount = std::uint64_t(megabytes) * TT_ENTRIES_PER_MB;
    // Only the largest power of two not above the entry count is addressed;
    // for sizes that are not powers of two the rest of the array lies idle.
    ttMask = ~std::uint64_t{0};
    while (ttMask > ttEntryCount) ttMask >>= 1;
    clearTranspositionTable();
}

}  // namespace

bool resizeTranspositionTable(int megabytes) {
    // Sizes outside the option's range never reach here from the protocol;
    // clamp them rather than allocate nothing or something absurd.
    if (megabytes < TT_MIN_MB) megabytes = TT_MIN_MB;
    if (megabytes > TT_MAX_MB) megabytes = TT_MAX_MB;
    const int previousMegabytes = tableMegabytes;

    // Release the old array first: on a tight machine the new one may only
    // fit once the old one is gone.
    delete[] transpositionTable;
    transpositionTable = nullptr;

    if (TTSlot* table = tryAllocate(std::uint64_t(megabytes) * TT_ENTRIES_PER_MB)) {
        install(table, megabytes);
        return true;
    }

    // The request cannot be met. Never run without a table: go back to the
    // previous size if it was smaller, else halve until something fits.
    int fallback = megabytes;
    if (previousMegabytes > 0 && previousMegabytes < megabytes) {
        if (TTSlot* table = tryAllocate(std::uint64_t(previousMegabytes) * TT_ENTRIES_PER_MB)) {
            install(table, previousMegabytes);
            return false;
        }
        fallback = previousMegabytes;
    }
    // Halving from a power of two below the failed size keeps every entry addressed.
    int size = 1;
    while (size * 2 < fallback) size *= 2;
    for (; size >= TT_MIN_MB; size /= 2) {
        if (TTSlot* table = tryAllocate(std::uint64_t(size) * TT_ENTRIES_PER_MB)) {
            install(table, size);
            return false;
        }
    }
    // Not even one megabyte: nothing sensible is left to do.
    throw std::bad_alloc();
}

int transpositionTableMegabytes() { return tableMegabytes; }

void clearTranspositionTable() {
    // No thread searches while the table is cleared, so plain copies of one
    // fresh slot may fill it, as fast as memory takes them.
    constexpr TTSlot fresh = encode(FRESH_ENTRY);
    std::fill(transpositionTable, transpositionTable + ttEntryCount, fresh);
}

int ttHashfull() {
    int used = 0;
    for (std::uint64_t i = 0; i < TT_HASHFULL_SAMPLE; ++i)
        used += (ttLoad(transpositionTable[i].depthAndBound) >> 16) != BOUND_EMPTY;
    return used;
}

void setTableAllocationLimit(std::size_t maxBytes) { allocationLimit = maxBytes; }

void ttStore(std::uint64_t key, int alpha0, int beta, Move move, int depth, int score, int ply) {
    // Draw scores depend on the path that led here, so below the root's
    // children a score of exactly 0 is not worth keeping.
    if (score == 0 && ply > 1) return;

    const std::uint32_t bound = score <= alpha0 ? BOUND_UPPER : score >= beta ? BOUND_LOWER : BOUND_EXACT;
    const TTEntry slot = ttProbe(key);

    // An entry gives way to a result at least as deep and at least as strong
    // (exact > lower > upper > empty). Exact results at the root and its
    // children always get in, unless the slot already holds an exact entry
    // for this very position (which may be deeper, from an earlier search).
    const bool deeperAndStronger = slot.depth <= depth && slot.bound >= bound;
    const bool exactNearRoot = ply <= 1 && bound == BOUND_EXACT && !(slot.key == key && slot.bound == BOUND_EXACT);
    if (!deeperAndStronger && !exactNearRoot) return;

    // A fail-low has no move of its own; keep the one this position had.
    const Move kept = sameMove(move, NO_MOVE) && slot.key == key ? slot.move : move;
    write(transpositionTable[ttIndex(key)], {key, bound, kept, depth, score});
}
