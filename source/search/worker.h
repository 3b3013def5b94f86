// One search thread: the board it searches and everything a search writes
// besides the shared transposition table (the killers, the pawn cache, the
// root moves, the poll counters). The single-threaded search is one worker;
// with more threads, helpers run the same code on workers of their own.
#pragma once

#include "board/board.h"
#include "eval/eval.h"
#include "search/ordering.h"
#include "search/rootmoves.h"
#include "search/search.h"

#include <atomic>
#include <cstdint>
#include <limits>

// Each worker lives on cache lines of its own, so what one thread writes on
// every node never makes another thread's cache line bounce.
inline constexpr std::size_t CACHE_LINE_BYTES = 64;

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
    // The stop signal this worker obeys: its own, or one shared by all the
    // threads of a search. Read on every node, written once per search.
    void shareStop(std::atomic<bool>* stop) { stop_ = stop; }
    bool stopped() const { return stop_->load(std::memory_order_relaxed); }
    void setStopped(bool stopped) { stop_->store(stopped, std::memory_order_relaxed); }
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
    // Hears the host: the input poll, the deadline and the node budget.
    // Returns true when the search must end.
    bool pollHost();

    SearchHost* host_;
    std::atomic<bool> ownStop_{false};
    std::atomic<bool>* stop_ = &ownStop_;
    // The block of 1024 made moves in which the deadline was last asked.
    std::uint64_t lastDeadlineBlock_ = 0;
    // The other threads' nodes as last asked, for the node budget.
    std::uint64_t otherNodes_ = 0;
    alignas(CACHE_LINE_BYTES) std::atomic<std::uint64_t> published_{0};
};
