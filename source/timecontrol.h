// The time rules and the limits of a search: the parameters of its "go" line
// turned into a time budget with an extra allowance, and the tests that tell
// the driver when the budget or a limit is used up. Knows nothing of threads,
// input or output.
#pragma once

#include "board/types.h"

#include <cstdint>
#include <string>
#include <vector>

// goFlags bits.
enum GoFlag : std::uint32_t {
    GO_CLOCK = 0x01,
    GO_INCREMENT = 0x02,
    GO_MOVESTOGO = 0x04,
    GO_DEPTH = 0x08,
    GO_NODES = 0x10,
    GO_MATE = 0x20,
    GO_MOVETIME = 0x40,
    GO_UNBOUNDED = 0x80,
};

// The parameters of the last "go" line.
struct GoParameters {
    std::uint32_t goFlags = 0;
    std::int32_t goTime[2] = {0, 0};
    std::int32_t goInc[2] = {0, 0};
    std::int32_t goMovesToGo = 0;
    std::int32_t goDepth = 0;
    std::int32_t goNodes = 0;
    std::int32_t goMate = 0;
    std::int32_t goMoveTime = 0;
    // Which words made the search unbounded: only "infinite" and "ponder"
    // mean "wait for stop"; depth, nodes, mate and movetime end by themselves.
    bool infinite = false;
    bool ponder = false;
    // The words after "searchmoves", up to the next word of the "go" line.
    std::vector<std::string> searchMoves;
};


class TimeControl {
public:
    static constexpr std::uint64_t UNBOUNDED = ~std::uint64_t{0};
    // A new search of the given "go" line: every limit and budget from
    // scratch. Returns the diagnostic lines of an over-allocation (a clock
    // already used up), for the GUI to hear.
    std::vector<std::string> begin(const GoParameters& go, Colour side, int overheadMs);
    // The moment the search starts; its times are measured from it.
    void startClock(std::int64_t nowMs) { startMs_ = nowMs; }
    // "ponderhit": the search goes on under the clock given with "go ponder",
    // its budget measured from the start of the ponder search.
    std::vector<std::string> ponderhit(Colour side, int overheadMs);

    const GoParameters& go() const { return go_; }
    std::int64_t startMs() const { return startMs_; }
    // Base budget (UNBOUNDED when none) and the extra allowance, in ms.
    std::uint64_t baseBudget() const { return timeAllocated_; }
    std::uint64_t extraAllowance() const { return extraTime_; }

    // The deepest iteration a "depth" limit allows (every iteration without one).
    int depthLimit() const;
    // Whether the search only ends on "stop" (or "ponderhit" and the clock).
    bool waitsForStop() const;
    // The node budget of "go nodes N" that the search watches at every node;
    // all ones when there is none.
    std::uint64_t nodeBudget() const;
    // The clock budget is used up: the base budget between iterations, with
    // the extra allowance inside one.
    bool overBudget(std::int64_t elapsedMs, bool betweenIterations) const;
    // The hard deadline checked often inside an iteration: the whole budget
    // or the move time.
    bool deadlinePassed(std::int64_t elapsedMs) const;
    // A "depth", "mate", "nodes" or "movetime" limit is used up, judged by the
    // deepest completed iteration, its score and the nodes of every thread.
    bool limitReached(int completedDepth, int completedScore, std::uint64_t nodes, std::int64_t elapsedMs) const;
    // Under a clock: the completed iterations have proved a mate that no
    // deeper one can shorten.
    bool mateProved(int completedDepth, int completedScore) const;
    // Whether the search ends by itself at a point it can still reach: a
    // depth or mate limit within the iterations, a node budget, a move time
    // or a clock, while iterations remain.
    bool hasReachableEnd(int completedDepth) const;

private:
    std::vector<std::string> allocate(Colour side, int overheadMs);
    bool moveTimeUsed(std::int64_t elapsedMs) const;

    GoParameters go_;
    std::int64_t startMs_ = 0;
    std::uint64_t timeAllocated_ = 0;  // all ones: unbounded
    std::uint64_t extraTime_ = 0;
    std::int64_t moveTimeLimit_ = 0;
    std::int32_t depthLimit_ = 0;
    std::int32_t mateLimit_ = 0;
    std::int64_t nodesLimit_ = 0;
};
