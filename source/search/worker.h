// One search thread: the board it searches and everything a search writes
// besides what the threads share (the transposition table, the moves in
// progress, the iteration board): the killers, the pawn cache, the root
// moves, the poll counters. The single-threaded search is one worker;
// with more threads, helpers run the same code on workers of their own.
#pragma once

#include "board/board.h"
#include "eval/eval.h"
#include "search/inprogress.h"
#include "search/ordering.h"
#include "search/rootmoves.h"
#include "search/search.h"

#include <atomic>
#include <cstdint>
#include <limits>

// Each worker lives on cache lines of its own, so what one thread writes on
// every node never makes another thread's cache line bounce.
inline constexpr std::size_t CACHE_LINE_BYTES = 64;

// What the threads of one search tell each other about their iterations:
// the first thread to complete an iteration settles it for all, and the
// others go on with the next. Each field is written at most once per
// iteration and read once in 1024 nodes.
struct IterationBoard {
    alignas(CACHE_LINE_BYTES) std::atomic<int> mainCompleted{0};    // the main thread's deepest completed iteration
    alignas(CACHE_LINE_BYTES) std::atomic<int> helperCompleted{0};  // the deepest any helper has completed
};

class alignas(CACHE_LINE_BYTES) SearchWorker {
public:
    static constexpr std::uint64_t NO_NODE_LIMIT = std::numeric_limits<std::uint64_t>::max();

    SearchWorker();
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    // The position searched, copied in before each search; its node count
    // is this worker's.
    Board board;
    RootMoves root;
    Killers killers;
    PawnCache pawnCache;
    // The deepest ply the current iteration has reached (quiescence included).
    int selDepth = 0;
    // Helpers search the root moves after the first from another place in the
    // list (this share of it on), so that what they store is what the main
    // thread will need next instead of what it has just searched. 0 for the
    // main thread.
    int rootShare = 0, rootShares = 1;

    // Where the search polls and reports: the driver for the main thread, a
    // silent host that never stops it and prints nothing for the helpers.
    void setHost(SearchHost* host);
    SearchHost& host() const { return *host_; }

    // The worker's stop signal, read on every node. The driver stops every
    // worker of a search at once; a worker may also leave an iteration that
    // another thread has completed first ("overtaken"), and go on with the
    // next. Only a stop ends the search: an overtaken worker resumes, and a
    // stop that arrives meanwhile is never lost (both changes are exchanges).
    bool stopped() const { return run_.load(std::memory_order_relaxed) != RUNNING; }
    void setStopped(bool stopped) { run_.store(stopped ? STOPPED : RUNNING); }
    // Left its iteration because another thread completed it first; true
    // when the worker may search on (no stop came meanwhile).
    bool resumeIfOvertaken() {
        std::uint8_t expected = OVERTAKEN;
        return run_.compare_exchange_strong(expected, RUNNING);
    }
    // Lets this worker take part in a search where the threads share their
    // iterations (null: it searches alone, as the only thread or as a helper
    // of a search whose iterations are not shared).
    void shareIterations(const IterationBoard* shared, bool helper) {
        iterations_ = shared;
        isHelper_ = helper;
    }
    // The table of moves in progress this worker shares with the other
    // threads of its search (null when it searches alone).
    void shareMovesInProgress(MovesInProgress* moves) { movesInProgress_ = moves; }
    // The budget of "go nodes N", counting every thread's nodes; only the
    // main thread keeps it. The driver may change it while the search runs
    // (a "ponderhit"), from the searching thread itself.
    std::uint64_t nodeLimit = NO_NODE_LIMIT;

    // This worker's node count as other threads may read it: brought up to
    // date once per poll block and when a search ends.
    std::uint64_t publishedNodes() const { return published_.load(std::memory_order_relaxed); }
    void publishNodes() { published_.store(board.nodeCount, std::memory_order_relaxed); }
    // A new search counts from zero, its own nodes and what it knows of the others'.
    void startCounting() {
        board.nodeCount = 0;
        otherNodes_ = 0;
        publishNodes();
    }

    // Empties the killers and the pawn cache, as at start.
    void clearMemory();

    // One iteration over the root moves (iterative deepening is the
    // driver's loop). Returns the best score of the iteration; the best
    // move, the move to ponder on and, with several lines wanted, the lines
    // are left in `root`.
    int rootSearch(int depth, std::int64_t searchStart);
    // Fail-hard negamax node. zeroWindow 1 allows table cutoffs and the null
    // move; 0 marks a full-window (principal-variation) node that takes neither.
    int alphaBeta(int depth, int ply, int alpha, int beta, bool nullMoveDone, int zeroWindow);
    // Captures (not in check) or every move (in check) until the position is quiet.
    int quiesce(int depth, int ply, int alpha, int beta);
    // The evaluation from the side to move's point of view.
    int sideToMoveEvaluation() { return evaluateForSideToMove(board, pawnCache); }

private:
    static constexpr std::uint8_t RUNNING = 0, OVERTAKEN = 1, STOPPED = 2;

    // Hears the host: the input poll, the deadline and the node budget.
    // Returns true when the search must end.
    bool pollHost();
    // Another thread has completed the iteration this worker is in (or a
    // deeper one), so finishing it would tell nothing new.
    bool iterationOvertaken() const;

    SearchHost* host_;
    std::atomic<std::uint8_t> run_{RUNNING};
    const IterationBoard* iterations_ = nullptr;
    MovesInProgress* movesInProgress_ = nullptr;
    bool isHelper_ = false;
    // The iteration the current root search belongs to.
    int iterationDepth_ = 0;
    // The block of 1024 made moves in which the deadline was last asked.
    std::uint64_t lastDeadlineBlock_ = 0;
    // The other threads' nodes as last asked, for the node budget.
    std::uint64_t otherNodes_ = 0;
    alignas(CACHE_LINE_BYTES) std::atomic<std::uint64_t> published_{0};
};
