#include "search/rootmoves.h"

#include <algorithm>

void RootMoves::reset(int lines) {
    wanted_ = std::clamp(lines, 1, MAX_LINES);
    allowedCount_ = 0;
    lineCount_ = 0;
    lastOrderCount_ = 0;
    bestMove = ponderMove = NO_MOVE;
}

void RootMoves::allow(Move move) {
    if (restricted() && allowed(move)) return;  // listed twice
    allowed_[allowedCount_++] = move;
}

bool RootMoves::allowed(Move move) const {
    if (!restricted()) return true;
    return std::any_of(allowed_, allowed_ + allowedCount_, [&](Move m) { return sameMove(m, move); });
}

void RootMoves::putLastLinesFirst(Move* list, int count) const {
    int front = 0;
    for (int k = 0; k < lastOrderCount_; ++k) {
        Move* found = std::find_if(list + front, list + count, [&](Move m) { return sameMove(m, lastOrder_[k]); });
        if (found == list + count) continue;
        // Shift the moves before it up by one: the rest keep their order.
        std::rotate(list + front, found, found + 1);
        ++front;
    }
}

int RootMoves::bar() const { return lineCount_ < wanted_ ? -ROOT_INFINITY : lines_[wanted_ - 1].score; }

RootLine& RootMoves::insertLine(Move move, int score) {
    int at = std::min(lineCount_, wanted_ - 1);
    // After the lines with a score at least as high: of equal scores, the
    // move searched first stays ahead.
    while (at > 0 && lines_[at - 1].score < score) {
        lines_[at] = lines_[at - 1];
        --at;
    }
    lineCount_ = std::min(lineCount_ + 1, wanted_);
    lines_[at].move = move;
    lines_[at].score = score;
    return lines_[at];
}

void RootMoves::completeIteration() {
    if (lineCount_ > 0) {
        bestMove = lines_[0].move;
        ponderMove = lines_[0].pv.ponder;
    }
    for (int k = 0; k < lineCount_; ++k) lastOrder_[k] = lines_[k].move;
    lastOrderCount_ = lineCount_;
}
