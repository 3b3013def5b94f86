#include "search/threads.h"

#include "search/params.h"

#include <algorithm>

using namespace search_params;

SearchThreads::SearchThreads() {
    workers_.push_back(std::make_unique<SearchWorker>());
}

SearchThreads::~SearchThreads() { shutdown(); }

void SearchThreads::setCount(int count) {
    if (count < 1) count = 1;
    if (std::size_t(count) == workers_.size()) return;
    joinHelpers();
    workers_.resize(1);
    // Alone, the main thread shares nothing; with helpers, each search says what.
    main().shareIterations(nullptr, false);
    main().shareMovesInProgress(nullptr);
    for (int i = 1; i < count; ++i) {
        workers_.push_back(std::make_unique<SearchWorker>());
    }
    exit_ = false;
    // Each helper starts from the searches already counted, so it waits for
    // the next one even if that is started before the thread runs.
    for (std::size_t i = 1; i < workers_.size(); ++i)
        helpers_.emplace_back(&SearchThreads::helperLoop, this, i, generation_);
}

void SearchThreads::setStopped(bool stopped) {
    for (const auto& worker : workers_) worker->setStopped(stopped);
}

void SearchThreads::startHelpers(std::int64_t searchStart, bool shareIterations, int maxDepth) {
    if (workers_.size() == 1) return;
    SearchWorker& first = main();
    movesInProgress_->clear();
    first.shareMovesInProgress(movesInProgress_.get());
    // Written before the helpers are woken under the lock, so each sees all of it.
    std::lock_guard lock(mutex_);
    iterations_.mainCompleted.store(0, std::memory_order_relaxed);
    iterations_.helperCompleted.store(0, std::memory_order_relaxed);
    deepest_ = {};
    maxDepth_ = maxDepth;
    sharing_ = shareIterations;
    first.shareIterations(shareIterations ? &iterations_ : nullptr, false);
    for (std::size_t i = 1; i < workers_.size(); ++i) {
        SearchWorker& worker = *workers_[i];
        worker.shareIterations(shareIterations ? &iterations_ : nullptr, true);
        worker.shareMovesInProgress(movesInProgress_.get());
        worker.board = first.board;
        worker.startCounting();
        worker.root.reset(1);
        worker.root.allowLike(first.root);
        worker.rootShare = int(i);
        worker.rootShares = int(workers_.size());
    }
    searchStart_ = searchStart;
    searching_ = workers_.size() - 1;
    ++generation_;
    wake_.notify_all();
}

void SearchThreads::stopHelpers() {
    setStopped(true);
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return searching_ == 0; });
}

std::uint64_t SearchThreads::helperNodes() const {
    std::uint64_t nodes = 0;
    for (std::size_t i = 1; i < workers_.size(); ++i) nodes += workers_[i]->publishedNodes();
    return nodes;
}

void SearchThreads::clearMemory() {
    for (const auto& worker : workers_) worker->clearMemory();
}

void SearchThreads::shutdown() {
    stopHelpers();
    joinHelpers();
}

void SearchThreads::joinHelpers() {
    {
        std::lock_guard lock(mutex_);
        exit_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : helpers_) thread.join();
    helpers_.clear();
}

void SearchThreads::helperLoop(std::size_t index, std::uint64_t seen) {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return exit_ || generation_ != seen; });
            if (exit_) return;
            seen = generation_;
        }
        helperSearch(*workers_[index]);
        std::lock_guard lock(mutex_);
        if (--searching_ == 0) idle_.notify_all();
    }
}

void SearchThreads::helperSearch(SearchWorker& worker) {
    const bool shared = sharing_;
    for (int depth = 1; depth <= MAX_ITERATIONS && !worker.stopped(); ++depth) {
        if (shared) {
            // Never behind the main thread: the iteration after the one it
            // has completed is where this one goes on.
            depth = std::max(depth, iterations_.mainCompleted.load(std::memory_order_relaxed) + 1);
            if (depth > maxDepth_) break;
        }
        const int score = worker.rootSearch(depth, searchStart_);
        if (worker.stopped()) {
            if (worker.resumeIfOvertaken()) continue;
            break;
        }
        worker.root.completeIteration();
        if (shared) publish(worker, depth, score);
    }
    worker.publishNodes();
}

void SearchThreads::publish(const SearchWorker& worker, int depth, int score) {
    if (sameMove(worker.root.bestMove, NO_MOVE)) return;
    std::lock_guard lock(mutex_);
    if (depth <= deepest_.depth) return;
    deepest_ = {depth, score, worker.selDepth, worker.root.bestMove, worker.root.ponderMove, worker.root.bestLine};
    iterations_.helperCompleted.store(depth, std::memory_order_relaxed);
}

SearchThreads::HelperIteration SearchThreads::deepestHelperIteration() {
    std::lock_guard lock(mutex_);
    return deepest_;
}
