#include "search/threads.h"

#include "search/params.h"

using namespace search_params;

SearchThreads::SearchThreads() {
    workers_.push_back(std::make_unique<SearchWorker>());
    main().shareStop(&stop_);
}

SearchThreads::~SearchThreads() { shutdown(); }

void SearchThreads::setCount(int count) {
    if (count < 1) count = 1;
    if (std::size_t(count) == workers_.size()) return;
    joinHelpers();
    workers_.resize(1);
    for (int i = 1; i < count; ++i) {
        workers_.push_back(std::make_unique<SearchWorker>());
        workers_.back()->shareStop(&stop_);
    }
    exit_ = false;
    // Each helper starts from the searches already counted, so it waits for
    // the next one even if that is started before the thread runs.
    for (std::size_t i = 1; i < workers_.size(); ++i)
        helpers_.emplace_back(&SearchThreads::helperLoop, this, i, generation_);
}

void SearchThreads::startHelpers(std::int64_t searchStart) {
    if (workers_.size() == 1) return;
    const SearchWorker& first = main();
    // Written before the helpers are woken under the lock, so each sees all of it.
    std::lock_guard lock(mutex_);
    for (std::size_t i = 1; i < workers_.size(); ++i) {
        SearchWorker& worker = *workers_[i];
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
    for (int depth = 1; depth <= MAX_ITERATIONS && !worker.stopped(); ++depth) {
        worker.rootSearch(depth, searchStart_);
        if (worker.stopped()) break;
        worker.root.completeIteration();
    }
    worker.publishNodes();
}
