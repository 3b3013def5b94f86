#include "timecontrol.h"

#include "search/params.h"
#include "search/search.h"
#include "variant.h"

#include <algorithm>
#include <sstream>

namespace {

// "movetime" stops this much early, but never more than a tenth of it.
constexpr std::int64_t MOVETIME_MARGIN_MS = 5;
constexpr std::int64_t MOVETIME_MARGIN_DIVISOR = 10;
// The clock share is only topped up from the increment while this much time
// would still remain.
constexpr std::int64_t INCREMENT_RESERVE_MS = 500;

std::uint64_t widen(std::int64_t value) { return static_cast<std::uint64_t>(value); }

// The plies in which "go mate N" looks for a mate: 2N - 1 in 64 bits, since N
// may be any 32-bit number, and never more than a mate score can hold, so
// that a huge N still asks for a mate rather than for any score at all.
std::int64_t goMatePlies(std::int32_t moves) {
    return std::min<std::int64_t>(2 * std::int64_t{moves} - 1, search_params::MAX_SEARCH_PLY);
}

}  // namespace

std::vector<std::string> TimeControl::begin(const GoParameters& go, Colour side, int overheadMs) {
    *this = TimeControl{};
    go_ = go;
    return allocate(side, overheadMs);
}

std::vector<std::string> TimeControl::ponderhit(Colour side, int overheadMs) {
    go_.goFlags &= ~GO_UNBOUNDED;
    go_.ponder = false;
    return allocate(side, overheadMs);
}

bool TimeControl::waitsForStop() const {
    return go_.infinite || go_.ponder || (go_.goFlags & (GO_DEPTH | GO_NODES | GO_MATE | GO_MOVETIME | GO_CLOCK)) == 0;
}

std::vector<std::string> TimeControl::allocate(Colour side, int overheadMs) {
    const GoParameters& go = go_;
    std::vector<std::string> said;
    const bool unbounded =
        (go.goFlags & GO_UNBOUNDED) && (go.infinite || go.ponder || (go.goFlags & GO_CLOCK) == 0);

    if (unbounded) {
        timeAllocated_ = UNBOUNDED;
    } else if (go.goFlags & GO_CLOCK) {
        // 64-bit arithmetic: the same results as 32-bit for every sensible
        // clock, and no overflow for absurd ones. What the GUI or the
        // connection loses on every move is not ours to spend; a clock that
        // still has time keeps at least a millisecond, which gives the
        // smallest budget: the first iteration's move.
        const std::int64_t remaining = go.goTime[side] > 0 && overheadMs > 0
                                           ? std::max<std::int64_t>(go.goTime[side] - overheadMs, 1)
                                           : go.goTime[side];
        std::int64_t base = 0;
        std::int64_t extra = 0;
        // A "movestogo" of 0 or less would divide by zero: it counts as absent.
        if ((go.goFlags & GO_MOVESTOGO) && go.goMovesToGo > 0) {
            const std::int64_t share = remaining / go.goMovesToGo;
            base = share * 7 / 10;
            extra = share * 2 / 10;
        } else {
            base = remaining / 40;
            extra = remaining / 60;
        }
        if (go.goFlags & GO_INCREMENT) {
            const std::int64_t increment = std::max<std::int32_t>(go.goInc[side], 0);
            const std::int64_t half = increment / 2;
            const std::int64_t sixth = increment / 6;
            if (base + extra + half + sixth <= remaining - INCREMENT_RESERVE_MS) {
                base += half;
                extra += sixth;
            }
        }
        timeAllocated_ = widen(base);
        extraTime_ = widen(extra);
        if (timeAllocated_ + extraTime_ >= widen(remaining)) {
            std::ostringstream text;
            text << "alloc: " << timeAllocated_ << " extra: " << extraTime_ << " sum: " << timeAllocated_ + extraTime_
                 << " remaining: " << std::int32_t(remaining);
            said.push_back(text.str());
            if (!(remaining == 0 && activeVariant().zeroTimeRaisesNoError))
                said.emplace_back("too much time has been allocated");
            // Out of time: no budget at all, so the search plays the move of
            // its first completed iteration instead of giving up.
            timeAllocated_ = 0;
            extraTime_ = 0;
        }
    }

    // Every limit given is kept; the first one used up ends the search.
    if (go.goFlags & GO_MATE) mateLimit_ = go.goMate;
    if (go.goFlags & GO_MOVETIME) moveTimeLimit_ = go.goMoveTime;
    if (go.goFlags & GO_DEPTH) depthLimit_ = go.goDepth;
    if (go.goFlags & GO_NODES) nodesLimit_ = go.goNodes;
    return said;
}

int TimeControl::depthLimit() const {
    if (!(go_.goFlags & GO_DEPTH) || waitsForStop()) return search_params::MAX_ITERATIONS;
    return std::clamp(depthLimit_, 1, search_params::MAX_ITERATIONS);
}

std::uint64_t TimeControl::nodeBudget() const {
    // Asked again after a "ponderhit" that turns a ponder search into one
    // with a node limit, so it stops on time too.
    return !waitsForStop() && (go_.goFlags & GO_NODES) ? widen(std::max<std::int64_t>(nodesLimit_, 0)) : UNBOUNDED;
}

bool TimeControl::overBudget(std::int64_t elapsedMs, bool betweenIterations) const {
    const std::uint64_t limit = timeAllocated_ + (betweenIterations ? 0 : extraTime_);
    return timeAllocated_ != UNBOUNDED && widen(elapsedMs) > limit;
}

bool TimeControl::moveTimeUsed(std::int64_t elapsedMs) const {
    const std::int64_t margin = std::min(MOVETIME_MARGIN_MS, moveTimeLimit_ / MOVETIME_MARGIN_DIVISOR);
    return elapsedMs >= moveTimeLimit_ - margin;
}

bool TimeControl::deadlinePassed(std::int64_t elapsedMs) const {
    if (overBudget(elapsedMs, false)) return true;
    return (go_.goFlags & GO_MOVETIME) && !waitsForStop() && moveTimeUsed(elapsedMs);
}

bool TimeControl::limitReached(int completedDepth, int completedScore, std::uint64_t nodes,
                               std::int64_t elapsedMs) const {
    if (waitsForStop()) return false;
    const std::uint32_t flags = go_.goFlags;
    if ((flags & GO_DEPTH) && completedDepth >= depthLimit_) return true;
    if (flags & GO_MATE) {
        const std::int64_t plies = goMatePlies(mateLimit_);
        if (completedDepth >= plies) return true;
        if (completedDepth > 0 && completedScore >= MATE_SCORE - plies) return true;
    }
    // Nothing is searched past the last iteration: a depth, node or mate
    // limit it has not reached by then never will be.
    if ((flags & (GO_DEPTH | GO_NODES | GO_MATE)) && completedDepth >= search_params::MAX_ITERATIONS) return true;
    if ((flags & GO_NODES) && nodes >= widen(std::max<std::int64_t>(nodesLimit_, 0))) return true;
    return (flags & GO_MOVETIME) && moveTimeUsed(elapsedMs);
}

bool TimeControl::mateProved(int completedDepth, int completedScore) const {
    // A mate no longer than the completed depth was found by a search that
    // looked at every line that far: a deeper one cannot shorten it, and
    // the clock time is worth more to the games ahead.
    if (!(go_.goFlags & GO_CLOCK) || waitsForStop() || completedDepth == 0) return false;
    return isMateScore(completedScore) && matePlies(completedScore) <= completedDepth;
}

bool TimeControl::hasReachableEnd(int completedDepth) const {
    if (waitsForStop() || completedDepth >= search_params::MAX_ITERATIONS) return false;
    const std::uint32_t flags = go_.goFlags;
    if ((flags & GO_DEPTH) && depthLimit_ <= search_params::MAX_ITERATIONS) return true;
    if ((flags & GO_MATE) && goMatePlies(mateLimit_) <= search_params::MAX_ITERATIONS) return true;
    return (flags & (GO_NODES | GO_MOVETIME)) || timeAllocated_ != UNBOUNDED;
}
