// The root of one search as the driver shapes it: the moves it may search
// ("go searchmoves"), how many best lines it wants (MultiPV), the lines each
// iteration finds, and the move to play with the move to ponder on.
#pragma once

#include "search/pv.h"

struct RootLine {
    Move move = NO_MOVE;
    int score = 0;
    PrincipalVariation pv;
};

class RootMoves {
public:
    // At most this many lines: more than any position has legal moves.
    static constexpr int MAX_LINES = 256;

    // A new search wanting `lines` lines (1 to MAX_LINES) over every root move.
    void reset(int lines);
    // Limits the root to the moves allowed this way ("searchmoves").
    void allow(Move move);
    bool allowed(Move move) const;
    bool restricted() const { return allowedCount_ > 0; }
    int wantedLines() const { return wanted_; }

    // The move to play and the move to ponder on. With one line they change
    // as soon as a root move beats the best one, even in an iteration that
    // is interrupted later; with several, they are the first line's once an
    // iteration has completed, so the move played begins the line shown.
    Move bestMove = NO_MOVE;
    Move ponderMove = NO_MOVE;

    // The lines of the iteration in progress or last searched, best first.
    const RootLine& line(int index) const { return lines_[index]; }
    int lineCount() const { return lineCount_; }

    // Used by the root search, with several lines wanted.
    void beginIteration() { lineCount_ = 0; }
    // Moves the best lines of the last completed iteration to the front of
    // the list, in their order; the other moves keep theirs.
    void putLastLinesFirst(Move* list, int count) const;
    // The score a move must beat to become one of the lines.
    int bar() const;
    // Takes a move whose score beats the bar into the lines, dropping the
    // line that falls out of the wanted number.
    RootLine& insertLine(Move move, int score);
    // The lines found become the order of the next iteration; the first
    // gives the move to play.
    void completeIteration();

private:
    int wanted_ = 1;
    Move allowed_[MAX_MOVES] = {};
    int allowedCount_ = 0;
    RootLine lines_[MAX_LINES];
    int lineCount_ = 0;
    Move lastOrder_[MAX_LINES] = {};
    int lastOrderCount_ = 0;
};
