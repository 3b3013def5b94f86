// The threads of a search. The main thread's worker is run by the driver on
// the thread that reads input; helper threads search the same root at the
// same time over the shared table, never read input, never print, and stop
// when the main thread stops. They spread over the tree: each takes the root
// moves in another order, and a node puts off the moves another thread is
// searching (MovesInProgress). The first thread to complete an iteration
// settles it for all. Threads are created when their number
// changes, wait on a condition between searches and are joined at the end.
#pragma once

#include "search/worker.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class SearchThreads {
public:
    SearchThreads();
    ~SearchThreads();
    SearchThreads(const SearchThreads&) = delete;
    SearchThreads& operator=(const SearchThreads&) = delete;

    // The number of threads, the main one included. Changed only between
    // searches; the main worker keeps what it has learnt (its killers).
    void setCount(int count);
    int count() const { return int(workers_.size()); }
    SearchWorker& main() { return *workers_.front(); }

    // Starts the helpers on the main worker's root position, with its root
    // move restrictions, for a search that started at `searchStart`. With
    // `shareIterations`, the threads keep to the main thread's iteration (no
    // deeper than `maxDepth`), and whichever completes an iteration first
    // settles it for all (see IterationBoard).
    void startHelpers(std::int64_t searchStart, bool shareIterations, int maxDepth);
    // The main thread has completed an iteration (or taken a helper's).
    void mainCompleted(int depth) { iterations_.mainCompleted.store(depth, std::memory_order_relaxed); }

    // The deepest iteration a helper has completed in this search.
    struct HelperIteration {
        int depth = 0;
        int score = 0;
        int selDepth = 0;
        Move bestMove = NO_MOVE;
        Move ponderMove = NO_MOVE;
        PrincipalVariation line;
    };
    HelperIteration deepestHelperIteration();
    // Signals the stop to every thread and waits until each helper has
    // stopped; returns at once when none is searching.
    void stopHelpers();
    // The nodes the helpers have searched in the current or last search.
    std::uint64_t helperNodes() const;

    // The stop signal of every worker.
    bool stopped() const { return workers_.front()->stopped(); }
    void setStopped(bool stopped);

    // Empties the killers and pawn caches of every worker.
    void clearMemory();
    // Stops any search and joins every helper thread, for the end of the process.
    void shutdown();

private:
    void helperLoop(std::size_t index, std::uint64_t seen);
    void helperSearch(SearchWorker& worker);
    void publish(const SearchWorker& worker, int depth, int score);
    void joinHelpers();

    std::vector<std::unique_ptr<SearchWorker>> workers_;  // [0] is the main thread's
    std::vector<std::thread> helpers_;                    // helpers_[i] runs workers_[i + 1]
    std::mutex mutex_;
    std::condition_variable wake_;  // helpers wait here for a search or the end
    std::condition_variable idle_;  // the driver waits here for the helpers to stop
    std::uint64_t generation_ = 0;  // searches started
    std::size_t searching_ = 0;     // helpers still in the current search
    bool exit_ = false;
    std::int64_t searchStart_ = 0;
    int maxDepth_ = 0;
    bool sharing_ = false;
    IterationBoard iterations_;
    std::unique_ptr<MovesInProgress> movesInProgress_ = std::make_unique<MovesInProgress>();
    HelperIteration deepest_;  // under mutex_
};
