#include "search/worker.h"

#include "search/params.h"

using namespace search_params;

namespace {

// What helpers and tests of single routines get: the silent defaults.
SearchHost silentHost;

}  // namespace

SearchWorker::SearchWorker() : host_(&silentHost) {}

void SearchWorker::setHost(SearchHost* host) { host_ = host ? host : &silentHost; }

void SearchWorker::clearMemory() {
    killers.clear();
    pawnCache.clear();
}

bool SearchWorker::pollHost() {
    // The input poll is the expensive one, once in 65,536 made moves; the
    // hard deadline and the node budget are checked more often so that
    // neither is overrun by a whole poll interval.
    const std::uint64_t nodes = board.nodeCount;
    if ((nodes & INPUT_POLL_MASK) == INPUT_POLL_MASK && host_->checkInputAndClock(false)) return true;
    // The deadline is asked once per block of 1024 made moves, on the first
    // node entered in a new block: moves made inside quiescence never enter
    // a node, so waiting for one exact count could skip many blocks in a row.
    const std::uint64_t block = nodes & ~DEADLINE_POLL_MASK;
    if (block != lastDeadlineBlock_) {
        lastDeadlineBlock_ = block;
        publishNodes();
        if (nodeLimit != NO_NODE_LIMIT) otherNodes_ = host_->otherThreadsNodes();
        if (host_->deadlinePassed()) return true;
        if (iterations_ && iterationOvertaken()) {
            std::uint8_t expected = RUNNING;
            run_.compare_exchange_strong(expected, OVERTAKEN);
            return true;
        }
    }
    return nodes + otherNodes_ >= nodeLimit;
}

bool SearchWorker::iterationOvertaken() const {
    const int completed = isHelper_ ? iterations_->mainCompleted.load(std::memory_order_relaxed)
                                    : iterations_->helperCompleted.load(std::memory_order_relaxed);
    return completed >= iterationDepth_;
}
