// The moves the threads of a search are searching right now, by the
// position they are made from. With several threads, a node puts off a move
// that another thread is already searching from the same position and takes
// its other moves first, so that threads spread over the moves of a node
// instead of all searching the same one and finding it in the table only
// when it is done. A small table of tags without locks: a lost or
// overwritten tag only makes a thread search a move it could have put off.
#pragma once

#include "board/types.h"

#include <atomic>
#include <cstdint>

class MovesInProgress {
public:
    MovesInProgress() { clear(); }

    bool busy(std::uint64_t key, Move move) const {
        const std::uint64_t t = tag(key, move);
        return slots_[t & MASK].load(std::memory_order_relaxed) == t;
    }
    void start(std::uint64_t key, Move move) {
        const std::uint64_t t = tag(key, move);
        slots_[t & MASK].store(t, std::memory_order_relaxed);
    }
    void finish(std::uint64_t key, Move move) {
        // The slot is cleared only if it still holds this move's tag, not
        // another move's that has taken it since.
        std::uint64_t t = tag(key, move);
        slots_[t & MASK].compare_exchange_strong(t, 0, std::memory_order_relaxed);
    }
    void clear() {
        for (auto& slot : slots_) slot.store(0, std::memory_order_relaxed);
    }

private:
    static constexpr std::size_t SLOTS = std::size_t{1} << 15;
    static constexpr std::uint64_t MASK = SLOTS - 1;
    static std::uint64_t tag(std::uint64_t key, Move move) {
        return key ^ (std::uint64_t(move & MOVE_IDENTITY_MASK) * 0x9E3779B97F4A7C15ULL);
    }
    std::atomic<std::uint64_t> slots_[SLOTS];
};
