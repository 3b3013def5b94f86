#include "search/rootmoves.h"

#include <algorithm>

void RootMoves::reset(int lines, int shown) {
    wanted_ = std::clamp(lines, 1, MAX_LINES);
    shown_ = shown > 0 ? std::min(shown, wanted_) : wanted_;
    allowedCount_ = 0;
    lineCount_ = completedCount_ = 0;
    bestMove = ponderMove = NO_MOVE;
}

void RootMoves::allow(Move move) {
    if (restricted() && allowed(move)) return;  // listed twice
    allowed_[allowedCount_++] = move;
}

void RootMoves::allowLike(const RootMoves& other) {
    std::copy(other.allowed_, other.allowed_ + other.allowedCount_, allowed_);
    allowedCount_ = other.allowedCount_;
}

bool RootMoves::allowed(Move move) const {
    if (!restricted()) return true;
    return std::any_of(allowed_, allowed_ + allowedCount_, [&](Move m) { return sameMove(m, move); });
}

void RootMoves::putLastLinesFirst(Move* list, int count) const {
    int front = 0;
    for (int k = 0; k < completedCount_; ++k) {
        const Move last = line(k).move;
        Move* found = std::find_if(list + front, list + count, [&](Move m) { return sameMove(m, last); });
        if (found == list + count) continue;
        // Shift the moves before it up by one: the rest keep their order.
        std::rotate(list + front, found, found + 1);
        ++front;
    }
}

int RootMoves::bar() const { return lineCount_ < wanted_ ? -ROOT_INFINITY : lines_[current_][wanted_ - 1].score; }

RootLine& RootMoves::insertLine(Move move, int score) {
    RootLine* lines = lines_[current_];
    int at = std::min(lineCount_, wanted_ - 1);
    // After the lines with a score at least as high: of equal scores, the
    // move searched first stays ahead.
    while (at > 0 && lines[at - 1].score < score) {
        lines[at] = lines[at - 1];
        --at;
    }
    lineCount_ = std::min(lineCount_ + 1, wanted_);
    lines[at].move = move;
    lines[at].score = score;
    return lines[at];
}

void RootMoves::completeIteration() {
    completedCount_ = lineCount_;
    current_ = 1 - current_;
    if (completedCount_ > 0) {
        bestMove = line(0).move;
        ponderMove = line(0).pv.ponder;
    }
}
