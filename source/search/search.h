// The search as the driver sees it. The search never talks to the protocol:
// it reaches input, clock and output only through the SearchHost it is given.
#pragma once

#include "board/board.h"

#include <cstdint>

// Set by the host (on "stop", or when time or a limit is used up); every
// search routine then unwinds at once and nothing more is stored.
extern bool stopSearch;

class SearchHost {
public:
    virtual ~SearchHost() = default;
    // The poll made once in 65,536 made moves inside an iteration (false) and
    // between iterations by the driver (true). Returns true when the search
    // must end; the search stores the result in stopSearch.
    virtual bool checkInputAndClock(bool betweenIterations) = 0;
    // A cheap clock-only test made more often than the input poll, so that a
    // hard deadline ("movetime", a short clock) is not overrun by a poll interval.
    virtual bool deadlinePassed() = 0;
    // A root move became the new best move of the iteration.
    virtual void reportBestLine(int depth, const char* pvText, std::uint64_t elapsedMs, int score) = 0;
    // A drawn root ("info string 50 move reached, DRAW!" and the repetition
    // line); printed straight to standard output, not through the protocol channel.
    virtual void reportRootDraw(const char* text) = 0;
};

// The host the search polls and reports to; set by the driver before a search.
void setSearchHost(SearchHost* host);

// Node budget of "go nodes N": the search stops once nodeCount reaches it.
// All ones when there is none.
extern std::uint64_t searchNodeLimit;

// One iteration over all root moves (iterative deepening is the driver's loop).
int rootSearch(Board& board, int depth, Move& bestMove, Move& ponderMove, std::int64_t searchStart);

// Clears what a deterministic benchmark must not inherit: killers and the
// transposition table.
void resetSearchMemory();
